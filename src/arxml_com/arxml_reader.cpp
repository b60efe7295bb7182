#include "arxml_com/arxml_reader.h"

#include <cctype>
#include <memory>
#include <vector>

#include "arxml_com/arxml_cluster_reader.h"
#include "arxml_com/arxml_nodes.h"
#include "arxml_com/arxml_packages.h"
#include "arxml_com/arxml_pdu_reader.h"
#include "arxml_com/arxml_read_context.h"
#include "platform/clock.h"
#include "xml/reference_resolver.h"
#include "xml/text.h"

namespace qm::arxml {

namespace {

const NanoXML* FindAutosarElement(const NanoXML* root) {
    if (root->name == "AUTOSAR") return root;
    return Descendant(root, "AUTOSAR");
}

void ReadPdus(ArxmlReadContext& context, const NanoXML* autosar) {
    const auto packages = context.autosar4 ? PackagesInReadingOrder(autosar, {"PDU", "Pdus"})
                                           : PackagesInReadingOrder(autosar, {"PDUS"});
    ForEachPackageElement(packages, IsPduElement,
                          [&](const NanoXML* element) { ReadPdu(context, element); });
}

void ReadClusters(ArxmlReadContext& context, const NanoXML* autosar) {
    const auto packages =
        context.autosar4 ? PackagesInReadingOrder(autosar, {"Cluster", "CommunicationClusters"})
                         : PackagesInReadingOrder(autosar, {});
    ForEachPackageElement(packages, IsClusterElement,
                          [&](const NanoXML* element) { ReadCluster(context, element); });
}

// Documents without a schema location still name their generation in the namespace
// ("http://autosar.org/schema/r4.0", "http://autosar.org/3.2.3").
AutosarVersion VersionFromNamespace(const NanoXML* autosar) {
    const std::string space = autosar->GetAttribute("xmlns");
    const size_t release = space.find("/r4.");
    if (release != std::string::npos) return AutosarVersion{4, 0, 0};
    for (size_t i = 0; i + 5 <= space.size(); ++i) {
        const auto digit = [&](size_t at) {
            return std::isdigit(static_cast<unsigned char>(space[at]));
        };
        if (digit(i) && space[i + 1] == '.' && digit(i + 2) && space[i + 3] == '.' &&
            digit(i + 4)) {
            return ParseAutosarVersion(space.substr(i, 5));
        }
    }
    return AutosarVersion{0, 0, 0};
}

}  // namespace

AutosarVersion ParseAutosarVersion(const std::string& text) {
    AutosarVersion version{0, 0, 0};
    std::vector<unsigned> parts;
    const bool separated = text.find_first_of(".-") != std::string::npos;
    unsigned current = 0;
    bool inNumber = false;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            current = separated ? current * 10 + static_cast<unsigned>(c - '0')
                                : static_cast<unsigned>(c - '0');
            inNumber = true;
            if (!separated) {
                parts.push_back(current);
                inNumber = false;
            }
        } else if (inNumber) {
            parts.push_back(current);
            current = 0;
            inNumber = false;
        }
    }
    if (inNumber) parts.push_back(current);
    for (size_t i = 0; i < parts.size() && i < version.size(); ++i) {
        version[i] = static_cast<uint8_t>(parts[i] > 255 ? 255 : parts[i]);
    }
    return version;
}

bool ArxmlReader::Load(const std::wstring& path) {
    times_ = ArxmlLoadTimes{};
    auto root = std::make_unique<NanoXML>();
    auto resolver = std::make_unique<xml::ArxmlReferenceResolver>();
    root->onChildParsed = resolver->MakeCallback();

    uint32_t start = platform::TickCount();
    const bool parsed = root->LoadFile(path.c_str()) != 0;
    times_.parse = platform::TickCount() - start;
    if (!parsed) return false;

    start = platform::TickCount();
    times_.references = resolver->PendingCount();
    resolver->Resolve(root.get(), workers_);
    times_.resolve = platform::TickCount() - start;
    // The index refers into the tree: it goes first.
    resolver.reset();

    start = platform::TickCount();
    ReadDocument(root.get());
    times_.read = platform::TickCount() - start;
    return true;
}

void ArxmlReader::ReadDocument(const NanoXML* root) {
    const NanoXML* autosar = FindAutosarElement(root);
    if (autosar == nullptr) return;
    const std::string schemaVersion = GetAutosarSchemaVersion(*autosar);
    target_.version =
        schemaVersion.empty() ? VersionFromNamespace(autosar) : ParseAutosarVersion(schemaVersion);

    ArxmlReadContext context(target_.pdus, target_.clusters, target_.messages,
                             target_.version[0] >= 4);
    ReadPdus(context, autosar);
    ReadClusters(context, autosar);
}

}  // namespace qm::arxml
