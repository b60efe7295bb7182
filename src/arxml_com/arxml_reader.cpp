#include "arxml_com/arxml_reader.h"

#include <cctype>
#include <memory>
#include <vector>

#include "arxml_com/arxml_cluster_reader.h"
#include "arxml_com/arxml_composite_pdu_reader.h"
#include "arxml_com/arxml_document_elements.h"
#include "arxml_com/arxml_nodes.h"
#include "arxml_com/arxml_packages.h"
#include "arxml_com/arxml_pdu_reader.h"
#include "arxml_com/arxml_read_context.h"
#include "platform/clock.h"
#include "xml/reference_resolver.h"
#include "xml/text.h"
#include "xml/xml_state.h"

namespace qm::arxml {

namespace {

const NanoXML* FindAutosarElement(const NanoXML* root) {
    if (root->name == "AUTOSAR") return root;
    return Descendant(root, "AUTOSAR");
}

// AUTOSAR 4 reads the PDUs of the packages "PDU" and "Pdus", AUTOSAR 3 those of "PDUS"; every
// element of those packages is read as a PDU.
void ReadPdus(ArxmlReadContext& context, const NanoXML* autosar) {
    const auto lists = context.autosar4 ? PackageElements(autosar, {"PDU", "Pdus"})
                                        : PackageElements(autosar, {"PDUS"});
    ForEachListElement(lists, [&](const NanoXML* element) { ReadPdu(context, element); });
}

// AUTOSAR 4 reads the clusters of the packages "Cluster" and "CommunicationClusters", AUTOSAR 3
// the ELEMENTS that hold the CAN, LIN and Ethernet clusters; every element there is read as a
// cluster.
void ReadClusters(ArxmlReadContext& context, const NanoXML* autosar) {
    const auto lists =
        context.autosar4
            ? PackageElements(autosar, {"Cluster", "CommunicationClusters"})
            : ListsHolding(autosar, {"CAN-CLUSTER", "LIN-CLUSTER", "ETHERNET-CLUSTER"});
    ForEachListElement(lists, [&](const NanoXML* element) { ReadCluster(context, element); });
}

// Whole-document reading: every PDU and cluster of every package, by element kind, each once in
// document order; PDUs first, so that clusters and carriers find every PDU. Elements that stay
// unread are reported last.
void ReadWholeDocument(ArxmlReadContext& context, const NanoXML* autosar) {
    context.wholeDocument = true;
    const DocumentElements elements = CollectDocumentElements(autosar);
    for (const NanoXML* element : elements.pdus) ReadPdu(context, element);
    ReadCompositePdus(context, autosar, elements.pdus);
    for (const NanoXML* element : elements.clusters) ReadCluster(context, element);
    for (const NanoXML* element : elements.unreadCandidates) {
        if (KindOfElement(element->name) == CommunicationKind::kFrame &&
            context.framesTriggered.count(element) != 0) {
            continue;
        }
        context.Message(element->name + " not read: " + ShortName(element));
    }
}

}  // namespace

bool ArxmlReader::IsAutosarDocument(const NanoXML& root, const xml::DocumentEnd& end) {
    if (root.name == "AUTOSAR") return true;
    if (end.rootFound && !root.name.empty()) {
        target_.messages += "Not an ARXML file: the root element is <" + root.name.substr(0, 256) +
                            ">, not <AUTOSAR>.\r\n";
    } else {
        target_.messages += "Not an ARXML file: no XML element found.\r\n";
    }
    return false;
}

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
    const bool parsed = [&] {
        // A whole document is read as its tools write it, a prefix on the AUTOSAR namespace too.
        const xml::LocalElementNamesScope names(mode_ == kArxmlReadWholeDocument);
        return root->LoadFile(path.c_str()) != 0;
    }();
    times_.parse = platform::TickCount() - start;
    if (mode_ == kArxmlReadWholeDocument) {
        // Reading a document whole also tells an empty, foreign or cut document apart.
        const xml::DocumentEnd& end = xml::LastDocumentEnd();
        if (!parsed && end.empty) {
            target_.messages += "WARNING. The file is empty: no ARXML element read.\r\n";
            return true;
        }
        if (parsed && !IsAutosarDocument(*root, end)) return false;
        if (end.Truncated()) target_.messages += "WARNING. The " + end.TruncationText() + ".\r\n";
    }
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
    framesRead_ = 0;
    const NanoXML* autosar = FindAutosarElement(root);
    if (autosar == nullptr) return;
    // A document whose schema location names no version reads as AUTOSAR 3.
    target_.version = ParseAutosarVersion(GetAutosarSchemaVersion(*autosar));

    ArxmlReadContext context(target_.pdus, target_.clusters, target_.messages,
                             target_.version[0] >= 4);
    if (mode_ == kArxmlReadWholeDocument) {
        ReadWholeDocument(context, autosar);
    } else {
        ReadPdus(context, autosar);
        ReadClusters(context, autosar);
    }
    framesRead_ = context.framesRead.size();
}

}  // namespace qm::arxml
