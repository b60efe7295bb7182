// Corpus files read exactly (some with a package renamed for the reader), checked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "arxml_test_support.h"
#include "expect_fields.h"
#include "xml/reference_resolver.h"

namespace {

using arxml_test::kCorpus;

class Corpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    }

    static std::unique_ptr<NetConfigArxmlFile> Load(const std::string& name) {
        auto file = std::make_unique<NetConfigArxmlFile>();
        EXPECT_TRUE(file->Load((kCorpus / name).string().c_str())) << name;
        return file;
    }

    // Loads a copy of a corpus file (a temporary file) in which the package named `from` is
    // renamed `to`, so that the reader takes its elements.
    static std::unique_ptr<NetConfigArxmlFile> LoadRenamed(const std::string& name,
                                                           const std::string& from,
                                                           const std::string& to) {
        std::string text = qmtest::ReadFile(kCorpus / name);
        const std::string old = "<SHORT-NAME>" + from + "</SHORT-NAME>";
        const size_t at = text.find(old);
        EXPECT_NE(at, std::string::npos) << name << " " << from;
        if (at != std::string::npos)
            text.replace(at, old.size(), "<SHORT-NAME>" + to + "</SHORT-NAME>");
        bool ok = false;
        auto file = arxml_test::LoadText(text, &ok);
        EXPECT_TRUE(ok) << name;
        return file;
    }
};

TEST_F(Corpus, Autosar3SystemFromCantools) {
    // The file keeps its PDUs in "PDUs"; an AUTOSAR 3 document is read from "PDUS".
    EXPECT_EQ(Load("ct_system-3.2.3.arxml")->GetPduCount(), 0u);
    auto file = LoadRenamed("ct_system-3.2.3.arxml", "PDUs", "PDUS");
    EXPECT_STREQ(file->GetMessages(), "");
    // No schema location: the version stays 0.0.0 and the document reads as AUTOSAR 3.
    EXPECT_EQ(file->AutosarVersion(), (qm::arxml::AutosarVersion{0, 0, 0}));
    IArxmlCluster* network = file->FindCluster("Network");
    ASSERT_NE(network, nullptr);
    QM_EXPECT_FIELDS(*network, (GetBaudrate(), 250000u), (GetProtocolName(), "CAN"),
                     (GetProtocolVersion(), "can2.0b"));
    // The file has frame triggerings but no I-PDU triggerings: no PDU is the cluster's.
    EXPECT_EQ(network->GetPduCount(), 0u);

    IArxmlPdu* status = file->FindPdu("Status");
    ASSERT_NE(status, nullptr);
    QM_EXPECT_FIELDS(*status, (GetIdentifier(), 123), (GetLength(), 3u),
                     (GetCyclicTimePeriod(), 0.5), (GetNumberOfRepetitions(), 0u),
                     (HasNumberOfRepetitions(), true), (GetMinimumDelay(), 0.01));
    IArxmlSignal* checksum = status->FindSignal("Checksum");
    ASSERT_NE(checksum, nullptr);
    QM_EXPECT_FIELDS(*checksum, (GetBitLength(), 8u), (GetByteOrder(), '1'));
    EXPECT_STREQ(checksum->GetDescription(),
                 "AUTOSAR end-to-end protection CRC according to profile 2");
    IArxmlSignal* position = status->FindSignal("Position");
    QM_EXPECT_FIELDS(*position, (GetStartPosition(), 19u), (GetCompuEntryCount(), 3u));
    EXPECT_DOUBLE_EQ(position->GetMaximum(), 7.0);  // the data type's limit
    ASSERT_EQ(status->GetSignalGroupCount(), 1u);
    IArxmlSignalGroup* group = status->GetSignalGroup(0);
    QM_EXPECT_FIELDS(*group, (GetName(), "PositionMovementGroup"), (GetSignalCount(), 2u));
    EXPECT_EQ(group->FindSignal("Movement"), status->FindSignal("Movement"));

    IArxmlSignal* movement = status->FindSignal("Movement");
    ASSERT_EQ(movement->GetCompuEntryCount(), 1u);
    EXPECT_DOUBLE_EQ(movement->GetCompuEntry(0)->factor, 2.5);  // 10 / 4
    EXPECT_DOUBLE_EQ(movement->GetCompuEntry(0)->offset, 10.0);
}

TEST_F(Corpus, Autosar4SystemFromCantools) {
    auto file = LoadRenamed("ct_system-4.2.arxml", "ISignalIPdu", "PDU");
    EXPECT_EQ(file->GetPduCount(), 7u);
    EXPECT_EQ(file->AutosarVersion()[0], 4u);
    IArxmlCluster* cluster = file->FindCluster("Cluster0");
    ASSERT_NE(cluster, nullptr);
    QM_EXPECT_FIELDS(*cluster, (GetBaudrate(), 500000u), (GetCanFdBaudrate(), 2000000u));
    IArxmlPdu* message2 = file->FindPdu("message2");
    QM_EXPECT_FIELDS(*message2, (GetIdentifier(), 6), (IsExtendedAddressing(), true),
                     (GetTxBehavior(), "CAN-FD"), (GetRxBehavior(), ""));
    // A relative system-signal reference with a BASE still finds its target.
    EXPECT_STREQ(message2->FindSignal("signal2")->GetDescription(), "Signal comment!");
    EXPECT_EQ(file->FindPdu("message1")->FindSignalGroup("message1Group")->GetSignalCount(), 3u);
}

TEST_F(Corpus, Autosar3FramePortsAssignOnlyConnectedEcus) {
    // The ECUs of this AUTOSAR 3 file reach the cluster only through frame ports, not through
    // connectors: the cluster has no ECU to give the PDUs to.
    auto file = LoadRenamed("cm_ARXMLSecuredPDUTest.arxml", "PDU", "PDUS");
    // Every element of the package is read as a PDU, the PAYLOAD beside them too.
    EXPECT_STREQ(file->GetMessages(),
                 "Missing length of pdu: secPdu.\r\n"
                 "Missing length of pdu: myPayLoad.\r\n");
    ASSERT_EQ(file->GetPduCount(), 4u);
    IArxmlCluster* can = file->GetCluster(0);
    EXPECT_EQ(can->GetEcuCount(), 0u);
    // Two I-PDU triggerings; the third PDU's reference does not resolve (its DEST names
    // another element type).
    EXPECT_EQ(can->GetPduCount(), 2u);
    EXPECT_NE(file->FindPdu("PDU_extendedFrame")->GetIdentifier(), -1);
}

TEST_F(Corpus, MissingDenominatorReadsAsOne) {
    auto file = LoadRenamed("ct_system-missing-denominator-4.2.arxml", "ISignalIPdu", "PDU");
    ASSERT_EQ(file->GetPduCount(), 1u);
    IArxmlSignal* signal = file->GetPdu(0)->GetSignal(0);
    ASSERT_NE(signal, nullptr);
    ASSERT_GE(signal->GetCompuEntryCount(), 1u);
    EXPECT_TRUE(signal->GetCompuEntry(0)->rational);
    EXPECT_TRUE(std::isfinite(signal->GetCompuEntry(0)->factor));
}

// The package path of an element: the short names of it and its named ancestors.
std::string PackagePath(const NanoXML* element) {
    std::vector<std::string> names;
    for (const NanoXML* node = element; node != nullptr; node = node->parent) {
        for (const NanoXML* child : node->children) {
            if (child->name == "SHORT-NAME") {
                names.push_back(child->text);
                break;
            }
        }
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) path += "/" + *it;
    return path;
}

// Reference elements and, per (short name, element name), the named elements.
struct DocumentIndex {
    std::vector<NanoXML*> references;
    std::map<std::pair<std::string, std::string>, std::vector<NanoXML*>> named;
};

DocumentIndex IndexDocument(NanoXML* root) {
    DocumentIndex index;
    std::vector<NanoXML*> stack = {root};
    while (!stack.empty()) {
        NanoXML* current = stack.back();
        stack.pop_back();
        if (!current->GetAttribute("DEST").empty() && current->children.empty()) {
            index.references.push_back(current);
        }
        if (current->name == "SHORT-NAME" && current->parent) {
            index.named[{current->text, current->parent->name}].push_back(current->parent);
        }
        for (NanoXML* child : current->children) stack.push_back(child);
    }
    return index;
}

TEST_F(Corpus, AmbiguousReferencesResolveToTheElementAtTheirPath) {
    // Files with several elements of one short name and type. In the cantools files the first
    // such element in document order is the wrong one for half of these references; canmatrix
    // writes identical duplicates, where any choice is right.
    const std::map<std::string, size_t> ambiguousByFile = {{"cm_test_ar323.arxml", 305},
                                                           {"ct_system-4.2.arxml", 6},
                                                           {"ct_system-3.2.3.arxml", 6},
                                                           {"cm_ARXMLSecuredPDUTest.arxml", 4}};
    for (const auto& [name, expectedAmbiguous] : ambiguousByFile) {
        for (unsigned workers : {1u, 2u}) {
            NanoXML root;
            qm::xml::ArxmlReferenceResolver resolver;
            root.onChildParsed = resolver.MakeCallback();
            ASSERT_EQ(root.LoadFile((kCorpus / name).string().c_str()), 1);
            resolver.Resolve(&root, workers);
            const DocumentIndex index = IndexDocument(&root);
            size_t ambiguous = 0;
            for (NanoXML* reference : index.references) {
                const std::string text = reference->GetText();
                const std::string shortName = text.substr(text.rfind('/') + 1);
                const auto found = index.named.find({shortName, reference->GetAttribute("DEST")});
                if (found == index.named.end() || found->second.size() < 2) continue;
                ++ambiguous;
                ASSERT_NE(reference->link, nullptr) << name << " " << text;
                EXPECT_EQ(PackagePath(reference->link), text) << name << " " << workers;
            }
            EXPECT_EQ(ambiguous, expectedAmbiguous) << name;
        }
    }
}

}  // namespace
