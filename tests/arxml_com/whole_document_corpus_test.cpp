// Whole-document reading of the corpus against the element tree read here: every PDU, frame and
// cluster element found once, with its signals; the counts of both modes pinned per file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "arxml_test_support.h"
#include "corpus_files.h"
#include "expect_fields.h"
#include "expect_texts.h"

namespace fs = std::filesystem;

namespace {

using arxml_test::kCorpus;
using qmtest::Occurrences;

bool IsPduKind(const std::string& name) {
    static const std::set<std::string> kinds = {
        // carrying signals or other PDUs
        "I-SIGNAL-I-PDU", "SIGNAL-I-PDU", "CONTAINER-I-PDU", "SECURED-I-PDU", "MULTIPLEXED-I-PDU",
        // carrying other data
        "N-PDU", "DCM-I-PDU", "NM-PDU", "GENERAL-PURPOSE-I-PDU", "GENERAL-PURPOSE-PDU", "XCP-PDU",
        "USER-DEFINED-PDU", "USER-DEFINED-I-PDU", "J-1939-DCM-I-PDU"};
    return kinds.count(name) != 0;
}

bool IsClusterKind(const std::string& name) {
    return name == "CAN-CLUSTER" || name == "LIN-CLUSTER" || name == "ETHERNET-CLUSTER";
}

bool IsFrameKind(const std::string& name) {
    return name == "CAN-FRAME" || name == "FRAME" || name == "LIN-UNCONDITIONAL-FRAME";
}

const NanoXML* ChildOf(const NanoXML* node, const std::string& name) {
    if (node == nullptr) return nullptr;
    for (const NanoXML* child : node->children) {
        if (child->name == name) return child;
    }
    return nullptr;
}

std::string TextOf(const NanoXML* node) {
    return node ? node->GetText() : std::string();
}

// A number as the documents write it (decimal, 0x... or 0b...); 0 for no number.
unsigned Number(const NanoXML* node) {
    const std::string text = TextOf(node);
    if (text.rfind("0b", 0) == 0)
        return static_cast<unsigned>(std::stoul(text.substr(2), nullptr, 2));
    return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 0));
}

// A signal as the comparison sees it: name, start position, bit length, byte order.
using SignalTuple = std::tuple<std::string, unsigned, unsigned, char>;

// The document: every element by its full path, communication elements in document order.
struct Document {
    NanoXML root;
    std::unordered_map<std::string, const NanoXML*> byPath;
    std::vector<const NanoXML*> pdus, clusters, frames, frameTriggerings;

    explicit Document(const fs::path& path) {
        EXPECT_EQ(root.LoadFile(path.string().c_str()), 1);
        std::vector<std::pair<const NanoXML*, std::string>> stack = {{&root, ""}};
        while (!stack.empty()) {
            auto [node, parentPath] = stack.back();
            stack.pop_back();
            std::string path = parentPath;
            if (const NanoXML* shortName = ChildOf(node, "SHORT-NAME")) {
                path += "/" + shortName->GetText();
                byPath.emplace(path, node);
            }
            if (IsPduKind(node->name)) pdus.push_back(node);
            if (IsClusterKind(node->name)) clusters.push_back(node);
            if (IsFrameKind(node->name)) frames.push_back(node);
            if (node->name.size() >= 16 &&
                node->name.compare(node->name.size() - 16, 16, "FRAME-TRIGGERING") == 0) {
                frameTriggerings.push_back(node);
            }
            for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
                stack.emplace_back(*it, path);
            }
        }
    }

    const NanoXML* Follow(const NanoXML* reference) const {
        const auto it = byPath.find(TextOf(reference));
        return it == byPath.end() ? nullptr : it->second;
    }

    // The signals an I-signal PDU's mappings give, in mapping order.
    std::vector<SignalTuple> MappedSignals(const NanoXML* pdu) const {
        std::vector<SignalTuple> signals;
        const NanoXML* list = ChildOf(pdu, "I-SIGNAL-TO-PDU-MAPPINGS");
        if (list == nullptr) list = ChildOf(pdu, "I-SIGNAL-TO-I-PDU-MAPPINGS");
        if (list == nullptr) list = ChildOf(pdu, "SIGNAL-TO-PDU-MAPPINGS");
        if (list == nullptr) return signals;
        for (const NanoXML* mapping : list->children) {
            const NanoXML* reference = ChildOf(mapping, "I-SIGNAL-REF");
            if (reference == nullptr) reference = ChildOf(mapping, "SIGNAL-REF");
            const NanoXML* signal = Follow(reference);
            const NanoXML* system = Follow(ChildOf(signal, "SYSTEM-SIGNAL-REF"));
            // Signal groups are no signals of their own.
            if (signal == nullptr || signal->name.find("GROUP") != std::string::npos ||
                (system != nullptr && system->name.find("GROUP") != std::string::npos)) {
                continue;
            }
            const NanoXML* length = ChildOf(signal, "LENGTH");
            if (length == nullptr) {
                length = ChildOf(Follow(ChildOf(signal, "SYSTEM-SIGNAL-REF")), "LENGTH");
            }
            const bool msbFirst =
                TextOf(ChildOf(mapping, "PACKING-BYTE-ORDER")) == "MOST-SIGNIFICANT-BYTE-FIRST";
            signals.emplace_back(TextOf(ChildOf(signal, "SHORT-NAME")),
                                 Number(ChildOf(mapping, "START-POSITION")), Number(length),
                                 msbFirst ? '0' : '1');
        }
        return signals;
    }

    // The PDU a part reference names: directly, or through a PDU triggering's I-PDU-REF.
    const NanoXML* PartPdu(const NanoXML* reference) const {
        const NanoXML* target = Follow(reference);
        if (target != nullptr && !IsPduKind(target->name)) {
            target = Follow(ChildOf(target, "I-PDU-REF"));
        }
        return target;
    }

    static void AddShifted(std::vector<SignalTuple>& into, const std::vector<SignalTuple>& from,
                           unsigned shiftBits) {
        for (auto [name, start, length, order] : from) {
            const SignalTuple shifted{name, start + shiftBits, length, order};
            if (std::find(into.begin(), into.end(), shifted) == into.end()) into.push_back(shifted);
        }
    }

    // A secured PDU's freshness value and authenticator after its payload, most significant
    // bit first, one after the other.
    void AddTrailer(std::vector<SignalTuple>& into, const NanoXML* pdu,
                    unsigned payloadBits) const {
        const std::string name = TextOf(ChildOf(pdu, "SHORT-NAME"));
        const unsigned freshness = Number(
            ChildOf(Follow(ChildOf(pdu, "FRESHNESS-PROPS-REF")), "FRESHNESS-VALUE-TX-LENGTH"));
        const unsigned authenticator = Number(
            ChildOf(Follow(ChildOf(pdu, "AUTHENTICATION-PROPS-REF")), "AUTH-INFO-TX-LENGTH"));
        if (freshness == 0) return;
        into.emplace_back(name + "_Freshness", payloadBits + 7, freshness, '0');
        const unsigned next = payloadBits + freshness;  // the next bit, counted from the MSB on
        if (authenticator != 0)
            into.emplace_back(name + "_Authenticator", next / 8 * 8 + 7 - next % 8, authenticator,
                              '0');
    }

    // What a PDU element holds: its mapped signals, or those of the PDUs it carries, each at
    // the place where it lies (contained PDUs one after the other behind their headers).
    std::vector<SignalTuple> Signals(const NanoXML* pdu) const {
        std::vector<SignalTuple> signals;
        if (pdu->name == "SECURED-I-PDU") {
            if (const NanoXML* payload = PartPdu(ChildOf(pdu, "PAYLOAD-REF"))) {
                AddShifted(signals, Signals(payload), 0);
                AddTrailer(signals, pdu, Number(ChildOf(payload, "LENGTH")) * 8);
            }
        } else if (pdu->name == "MULTIPLEXED-I-PDU") {
            const NanoXML* statics = ChildOf(pdu, "STATIC-PARTS");
            const NanoXML* dynamics = ChildOf(ChildOf(pdu, "DYNAMIC-PARTS"), "DYNAMIC-PART");
            for (const NanoXML* part :
                 {ChildOf(statics, "STATIC-PART"), ChildOf(pdu, "STATIC-PART")}) {
                if (const NanoXML* carried = PartPdu(ChildOf(part, "I-PDU-REF"))) {
                    AddShifted(signals, Signals(carried), 0);
                }
            }
            for (const NanoXML* dynamic : {dynamics, ChildOf(pdu, "DYNAMIC-PART")}) {
                const NanoXML* alternatives = ChildOf(dynamic, "DYNAMIC-PART-ALTERNATIVES");
                if (alternatives == nullptr) continue;
                for (const NanoXML* alternative : alternatives->children) {
                    if (const NanoXML* carried = PartPdu(ChildOf(alternative, "I-PDU-REF"))) {
                        AddShifted(signals, Signals(carried), 0);
                    }
                }
            }
        } else if (pdu->name == "CONTAINER-I-PDU") {
            const std::string header = TextOf(ChildOf(pdu, "HEADER-TYPE"));
            const unsigned headerBytes = header == "SHORT-HEADER"  ? 4
                                         : header == "LONG-HEADER" ? 8
                                                                   : 0;
            unsigned end = 0;
            const NanoXML* list = ChildOf(pdu, "CONTAINED-PDU-TRIGGERING-REFS");
            for (const NanoXML* reference : list ? list->children : std::vector<NanoXML*>{}) {
                const NanoXML* carried = PartPdu(reference);
                if (carried == nullptr) continue;
                const unsigned offset = end + headerBytes;
                AddShifted(signals, Signals(carried), offset * 8);
                end = offset + Number(ChildOf(carried, "LENGTH"));
            }
        } else {
            signals = MappedSignals(pdu);
        }
        return signals;
    }
};

std::vector<SignalTuple> ModelSignals(IArxmlPdu& pdu) {
    std::vector<SignalTuple> signals;
    for (uint64_t i = 0; i < pdu.GetSignalCount(); ++i) {
        IArxmlSignal* signal = pdu.GetSignal(i);
        signals.emplace_back(signal->GetName(), signal->GetStartPosition(), signal->GetBitLength(),
                             static_cast<char>(signal->GetByteOrder()));
    }
    return signals;
}

struct Counts {
    uint64_t clusters, pdus, frames, signals;
    bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << "{" << c.clusters << ", " << c.pdus << ", " << c.frames << ", " << c.signals
               << "}";
}

Counts CountsOf(NetConfigArxmlFile& file) {
    Counts counts{file.GetClusterCount(), file.GetPduCount(), file.GetFrameCount(), 0};
    for (auto* pdu : file.Pdus()) counts.signals += pdu->GetSignalCount();
    return counts;
}

std::unique_ptr<NetConfigArxmlFile> Load(const fs::path& path, int32_t mode) {
    auto file = std::make_unique<NetConfigArxmlFile>();
    EXPECT_TRUE(file->SetReadingMode(mode));
    EXPECT_TRUE(file->Load(path.string().c_str())) << path;
    NanoXML::ClearMessageLog();
    return file;
}

// Per file: exact counts, ECUs, signal groups, unresolved references and messages (null: 28
// "Pdu: " lines), then the whole-document counts.
struct Pinned {
    Counts exact;
    size_t ecus, signalGroups, unresolvedReferences;
    const char* messages;
    Counts whole;
};

const char* const kSecuredMessages =
    "Pdu: secPdu not found for frame triggering: testFrame1.\r\n"
    "Pdu: PDU_extendedFrame not found for frame triggering: extendedFrame.\r\n";
const char* const kSystem323Messages =
    "Pdu: Multiplexed not found for frame triggering: MultiplexedTriggering.\r\n"
    "Pdu: Status not found for frame triggering: StatusTriggering.\r\n";
// The PDUs live in packages named after their kinds ("ISignalIPdu", ...), which are not read.
const char* const kSystem42Messages =
    "Pdu: multiplexed_message not found for frame triggering: multiplexed_message.\r\n"
    "Pdu: message1 not found for frame triggering: message1.\r\n"
    "Pdu: message2 not found for frame triggering: message2.\r\n"
    "Pdu: message3_secured not found for frame triggering: message3.\r\n"
    "Pdu: message4 not found for frame triggering: message4.\r\n"
    "Pdu: OneToContainThemAll not found for frame triggering: OneToContainThemAll.\r\n"
    "Pdu: alarm_status not found for frame triggering: AlarmStatus.\r\n"
    "No pdu ref for frame triggering: MessageWithoutPDU.\r\n";

// clang-format off
const std::map<std::string, Pinned> kPinned = {
    {"capi_adi_sensoritf_common.arxml",                       {{0, 0, 0, 0}, 0, 0, 284, "", {0, 0, 0, 0}}},
    {"capi_cgd_m1_service_instance_timing.arxml",             {{0, 0, 0, 0}, 0, 0, 0, "", {0, 0, 0, 0}}},
    {"capi_cgd_m1_someip_instances.arxml",                    {{0, 0, 0, 0}, 0, 0, 14, "", {0, 0, 0, 0}}},
    {"capi_hw_m1_service_instances_someip_deployments.arxml", {{0, 0, 0, 0}, 0, 0, 4, "", {0, 0, 0, 0}}},
    {"capi_hw_service_interfaces.arxml",                      {{0, 0, 0, 0}, 0, 0, 3, "", {0, 0, 0, 0}}},
    {"capi_hw_service_interfaces_someip_deployments.arxml",   {{0, 0, 0, 0}, 0, 0, 3, "", {0, 0, 0, 0}}},
    // The Ethernet cluster lives in the package "Network", which exact reading does not read.
    {"capi_network_manifest.arxml",                           {{0, 0, 0, 0}, 0, 0, 0, "", {1, 0, 0, 0}}},
    {"capi_nm_network_management_someip.arxml",               {{0, 0, 0, 0}, 0, 0, 18, "", {0, 0, 0, 0}}},
    // Vector extracts keep PDUs in "PDUS" and the cluster in "New_CanCluster".
    {"cm_ARXMLContainerTest.arxml",                           {{0, 0, 0, 0}, 0, 0, 0, "", {1, 17, 5, 46}}},
    // AUTOSAR 3 reads "PDUS"; this file names its PDU package "PDU".
    {"cm_ARXMLSecuredPDUTest.arxml",                          {{1, 0, 0, 0}, 0, 0, 1, kSecuredMessages, {1, 3, 2, 4}}},
    {"cm_cluster_arxml_FD.arxml",                             {{0, 0, 0, 0}, 0, 0, 0, "", {1, 3, 1, 8}}},
    {"cm_test_ar323.arxml",                                   {{1, 0, 0, 0}, 0, 0, 0, nullptr, {1, 28, 28, 158}}},
    {"cp_Linexample_ecuc.arxml",                              {{0, 0, 0, 0}, 0, 0, 584, "", {0, 0, 0, 0}}},
    {"ct_system-3.2.3.arxml",                                 {{1, 0, 0, 0}, 0, 0, 0, kSystem323Messages, {1, 5, 2, 19}}},
    {"ct_system-4.2.arxml",                                   {{1, 0, 0, 0}, 0, 0, 0, kSystem42Messages, {1, 11, 7, 51}}},
    {"ct_system-DAI-3.1.2.arxml",                             {{0, 0, 0, 0}, 0, 0, 0, "", {0, 0, 0, 0}}},
    {"ct_system-dangling-reference-4.2.arxml",                {{1, 0, 0, 0}, 0, 0, 1, "No pdu ref for frame triggering: message1.\r\n", {1, 0, 0, 0}}},
    // "Communication/PDUs" and "Topology/Clusters" are not the packages exact reading reads.
    {"ct_system-float-values.arxml",                          {{0, 0, 0, 0}, 0, 0, 0, "", {1, 1, 1, 2}}},
    {"ct_system-missing-denominator-4.2.arxml",               {{1, 0, 0, 0}, 0, 0, 0, "Pdu: message1 not found for frame triggering: message1.\r\n", {1, 1, 1, 1}}},
    {"lg_extended_vehicle_manifest.arxml",                    {{0, 0, 0, 0}, 0, 0, 0, "", {0, 0, 0, 0}}},
    {"pa_AUTOSAR_Datatypes.arxml",                            {{0, 0, 0, 0}, 0, 0, 0, "", {0, 0, 0, 0}}},
    {"pa_CanSystem.arxml",                                    {{0, 0, 0, 0}, 0, 0, 12, "", {1, 2, 2, 2}}},
    {"tpms_ConvertedLegacy_BCM.arxml",                        {{1, 1, 1, 1}, 1, 0, 0, "Communication mode not defined for pdu group: BCM_oCAN00_Tx.\r\n", {1, 1, 1, 1}}},
};
// clang-format on

class WholeDocumentCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    }
};

// Every file: its pinned counts, and every PDU, cluster and frame element found once.
TEST_F(WholeDocumentCorpus, EveryFileYieldsItsPinnedCountsAndEveryElementOnce) {
    const std::vector<fs::path> files = qmtest::CorpusFiles("arxml", {".arxml"});
    EXPECT_EQ(files.size(), kPinned.size());
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        const auto it = kPinned.find(name);
        ASSERT_NE(it, kPinned.end()) << "a corpus file without pinned counts";
        const Pinned& expected = it->second;
        NanoXML::ClearMessageLog();
        NetConfigArxmlFile exact;
        EXPECT_TRUE(exact.Load(path.string().c_str()));
        const std::string log = NanoXML::MessageLog();
        NanoXML::ClearMessageLog();
        EXPECT_EQ(CountsOf(exact), expected.exact);
        size_t ecus = 0, groups = 0;
        for (auto* cluster : exact.Clusters()) ecus += cluster->GetEcuCount();
        for (auto* pdu : exact.Pdus()) groups += pdu->GetSignalGroupCount();
        EXPECT_EQ(ecus, expected.ecus);
        EXPECT_EQ(groups, expected.signalGroups);
        EXPECT_EQ(Occurrences(log, "Unresolved reference of: "), expected.unresolvedReferences);
        if (expected.messages != nullptr) {
            EXPECT_EQ(exact.GetMessages(), std::string(expected.messages));
        } else {
            EXPECT_EQ(Occurrences(exact.GetMessages(), "Pdu: "), 28u);
        }
        const Document document(path);
        auto file = Load(path, kArxmlReadWholeDocument);
        EXPECT_EQ(CountsOf(*file), expected.whole);
        const std::string messages = file->GetMessages();

        // PDUs: one model PDU per element, in document order, with the element's signals.
        ASSERT_EQ(file->GetPduCount(), document.pdus.size());
        for (size_t i = 0; i < document.pdus.size(); ++i) {
            IArxmlPdu* pdu = file->GetPdu(i);
            const NanoXML* element = document.pdus[i];
            EXPECT_EQ(pdu->GetName(), TextOf(ChildOf(element, "SHORT-NAME")));
            EXPECT_EQ(ModelSignals(*pdu), document.Signals(element)) << pdu->GetName();
        }

        // Clusters: one per CAN, LIN or Ethernet cluster element.
        ASSERT_EQ(file->GetClusterCount(), document.clusters.size());
        for (size_t i = 0; i < document.clusters.size(); ++i) {
            EXPECT_EQ(file->GetCluster(i)->GetName(),
                      TextOf(ChildOf(document.clusters[i], "SHORT-NAME")));
        }

        // Frames: each reaches its PDU through its triggering, or is reported once.
        size_t triggeringsWithoutPdu = 0;
        std::set<const NanoXML*> framesWithoutPdu;
        for (const NanoXML* triggering : document.frameTriggerings) {
            const NanoXML* frame = document.Follow(ChildOf(triggering, "FRAME-REF"));
            const NanoXML* mappings = ChildOf(frame, "PDU-TO-FRAME-MAPPINGS");
            const NanoXML* pduElement =
                mappings && !mappings->children.empty()
                    ? document.Follow(ChildOf(mappings->children.front(), "PDU-REF"))
                    : nullptr;
            if (pduElement == nullptr) {
                ++triggeringsWithoutPdu;
                if (frame != nullptr) framesWithoutPdu.insert(frame);
                continue;
            }
            const auto at = std::find(document.pdus.begin(), document.pdus.end(), pduElement);
            ASSERT_NE(at, document.pdus.end());
            IArxmlPdu* pdu = file->GetPdu(static_cast<uint64_t>(at - document.pdus.begin()));
            EXPECT_EQ(pdu->GetIdentifier(),
                      static_cast<int32_t>(Number(ChildOf(triggering, "IDENTIFIER"))))
                << pdu->GetName();
        }
        EXPECT_EQ(Occurrences(messages, "No pdu ref for frame triggering: "),
                  triggeringsWithoutPdu);
        EXPECT_EQ(file->GetFrameCount() + framesWithoutPdu.size() +
                      Occurrences(messages, "FRAME not read: "),
                  document.frames.size())
            << messages;
    }
}

TEST_F(WholeDocumentCorpus, TheExactReaderIsUnchangedByTheSwitch) {
    // The same file object reads differently by mode, and back again.
    NetConfigArxmlFile file;
    const std::string path = (kCorpus / "cm_test_ar323.arxml").string();
    ASSERT_TRUE(file.Load(path.c_str()));
    EXPECT_EQ(file.GetPduCount(), 0u);
    const std::string exactMessages = file.GetMessages();
    ASSERT_TRUE(file.SetReadingMode(kArxmlReadWholeDocument));
    ASSERT_TRUE(file.Load(path.c_str()));
    QM_EXPECT_FIELDS(file, (GetPduCount(), 28u), (GetMessages(), ""));
    ASSERT_TRUE(file.SetReadingMode(kArxmlReadExact));
    ASSERT_TRUE(file.Load(path.c_str()));
    QM_EXPECT_FIELDS(file, (GetPduCount(), 0u), (GetMessages(), exactMessages));
    NanoXML::ClearMessageLog();
}

}  // namespace
