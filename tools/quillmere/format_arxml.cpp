// The ARXML communication format of the tool: clusters, ECUs, PDU groups, PDUs and signals of
// an AUTOSAR 3 or 4 system description.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "codec_models/model_codecs.h"
#include "exit_owned.h"
#include "format.h"
#include "netmodel_json.h"

namespace qmtool {
namespace {

using qm::arxml::ArxmlCluster;
using qm::arxml::ArxmlEcu;
using qm::arxml::ArxmlPdu;
using qm::arxml::ArxmlSignal;

constexpr const char* kArxmlExample = "bus_system.arxml";

// A loaded file with the reference lines the resolution wrote to the process-wide log.
struct LoadedArxml {
    ExitOwned<NetConfigArxmlFile> file = MakeExitOwned<NetConfigArxmlFile>();
    bool ok = false;
    std::vector<std::string> unresolved;
};

// Whole-document reading unless --exact asks for the described reader.
int32_t ReadingMode(const Options& options) {
    return options.exact ? kArxmlReadExact : kArxmlReadWholeDocument;
}

const char* ReadingModeText(int32_t mode) {
    return mode == kArxmlReadWholeDocument ? "whole document" : "exact";
}

LoadedArxml LoadArxml(const std::string& path, const Options& options) {
    LoadedArxml loaded;
    loaded.file->SetReadingMode(ReadingMode(options));
    NanoXML::ClearMessageLog();
    loaded.ok = loaded.file->Load(path.c_str());
    for (const std::string& line : SplitLines(NanoXML::MessageLog())) {
        if (line.rfind("Unresolved reference of: ", 0) == 0) loaded.unresolved.push_back(line);
    }
    NanoXML::ClearMessageLog();
    return loaded;
}

// Why a load failed: the reader's first line ("Not an ARXML file: ..."), else unreadable.
std::string FailureText(LoadedArxml& loaded) {
    const std::vector<std::string> lines = SplitLines(loaded.file->GetMessages());
    return lines.empty() ? std::string("cannot read the file") : lines.front();
}

const char* KindText(int32_t kind) {
    switch (kind) {
        case kArxmlClusterCan:
            return "CAN";
        case kArxmlClusterLin:
            return "LIN";
        case kArxmlClusterEthernet:
            return "Ethernet";
        default:
            return "unknown";
    }
}

std::string VersionText(const NetConfigArxmlFile& file) {
    const auto& v = file.AutosarVersion();
    if (v[0] == 0 && v[1] == 0 && v[2] == 0) return "";
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]);
}

// JSON has no infinity; open compu limits are written as null.
// Requirement values are single precision; printed with the digits a float holds, 0.8 stays 0.8.
Json Real(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
    return Number(std::strtod(text, nullptr));
}

template <class List>
Json Names(const List& items) {
    Json names = Json::array();
    for (const auto* item : items) names.push_back(item->Name());
    return names;
}

Json CompuJson(ArxmlSignal& signal) {
    Json scales = Json::array();
    for (uint64_t i = 0; i < signal.GetCompuEntryCount(); ++i) {
        const ArxmlCompuEntry* entry = signal.GetCompuEntry(i);
        Json scale = {{"lowerLimit", Number(entry->lowerLimit)},
                      {"upperLimit", Number(entry->upperLimit)}};
        if (*entry->text) scale["text"] = entry->text;
        if (*entry->label) scale["label"] = entry->label;
        if (*entry->description) scale["description"] = entry->description;
        if (entry->rational) {
            scale["factor"] = entry->factor;
            scale["offset"] = entry->offset;
        }
        scales.push_back(scale);
    }
    return scales;
}

Json SignalJson(ArxmlSignal& signal) {
    return {{"name", signal.Name()},
            {"startPosition", signal.GetStartPosition()},
            {"bitLength", signal.GetBitLength()},
            {"byteOrder", signal.GetByteOrder() == '0' ? "bigEndian" : "littleEndian"},
            {"minimum", Number(signal.GetMinimum())},
            {"maximum", Number(signal.GetMaximum())},
            {"unit", signal.GetUnit()},
            {"description", signal.GetDescription()},
            {"compuScales", CompuJson(signal)}};
}

// What reading a document whole adds to a signal: its initial value, when it has one.
void AddInitValue(ArxmlSignal& signal, Json& json) {
    if (signal.HasInitValue()) json["initValue"] = Number(signal.GetInitValue());
}

// A container that sends its PDUs behind headers: the header and where each PDU lies.
void AddContainer(ArxmlPdu& pdu, Json& json) {
    if (pdu.GetHeaderSize() == 0) return;
    Json parts = Json::array();
    for (uint64_t i = 0; i < pdu.GetContainedPduCount(); ++i) {
        parts.push_back({{"name", pdu.GetContainedPduName(i)},
                         {"headerId", pdu.GetContainedHeaderId(i)},
                         {"offset", pdu.GetContainedOffset(i)},
                         {"length", pdu.GetContainedLength(i)}});
    }
    json["container"] = {
        {"headerSize", pdu.GetHeaderSize()},
        {"headerByteOrder", pdu.IsHeaderBigEndian() ? "bigEndian" : "littleEndian"},
        {"pdus", parts}};
}

Json TimingJson(ArxmlPdu& pdu) {
    Json timing = Json::object();
    if (pdu.HasCyclicTimePeriod()) timing["cyclicTimePeriod"] = pdu.GetCyclicTimePeriod();
    if (pdu.HasTimeOffset()) timing["timeOffset"] = pdu.GetTimeOffset();
    if (pdu.HasNumberOfRepetitions()) timing["numberOfRepetitions"] = pdu.GetNumberOfRepetitions();
    if (pdu.HasMinimumDelay()) timing["minimumDelay"] = pdu.GetMinimumDelay();
    return timing;
}

Json PduJson(ArxmlPdu& pdu) {
    Json signals = Json::array();
    for (ArxmlSignal* signal : pdu.Signals()) {
        Json json = SignalJson(*signal);
        AddInitValue(*signal, json);
        signals.push_back(std::move(json));
    }
    Json groups = Json::array();
    for (auto* group : pdu.SignalGroups()) {
        groups.push_back({{"name", group->Name()}, {"signals", Names(group->Signals())}});
    }
    const char* addressing = pdu.IsExtendedAddressing()   ? "extended"
                             : pdu.IsStandardAddressing() ? "standard"
                                                          : "";
    Json json = {{"name", pdu.Name()},
                 {"frame", pdu.GetFrameName()},
                 {"identifier", pdu.GetIdentifier()},
                 {"length", pdu.GetLength()},
                 {"addressing", addressing},
                 {"rxBehavior", pdu.GetRxBehavior()},
                 {"txBehavior", pdu.GetTxBehavior()},
                 {"timing", TimingJson(pdu)},
                 {"unusedBitPattern", pdu.GetUnusedBitPattern()},
                 {"signals", signals},
                 {"signalGroups", groups}};
    AddContainer(pdu, json);
    return json;
}

Json RequirementsJson(ArxmlEcu& ecu) {
    Json requirements = Json::object();
    if (ecu.HasCanFdRequirements()) {
        requirements["canFd"] = {
            {"maxTimeQuantaPerBit", ecu.GetFdMaxTimeQuantaPerBit()},
            {"maxSamplePoint", Real(ecu.GetFdMaxSamplePoint())},
            {"maxSyncJumpWidth", Real(ecu.GetFdMaxSyncJumpWidth())},
            {"maxTrcvDelayCompensationOffset", Real(ecu.GetFdMaxTrcvDelayCompensationOffset())},
            {"minTimeQuantaPerBit", ecu.GetFdMinTimeQuantaPerBit()},
            {"minSamplePoint", Real(ecu.GetFdMinSamplePoint())},
            {"minSyncJumpWidth", Real(ecu.GetFdMinSyncJumpWidth())},
            {"minTrcvDelayCompensationOffset", Real(ecu.GetFdMinTrcvDelayCompensationOffset())},
            {"txBitRateSwitch", ecu.IsTxBitRateSwitch()}};
    }
    if (ecu.GetMaxTimeQuantaPerBit() != 0 || ecu.GetMinTimeQuantaPerBit() != 0 ||
        ecu.GetMaxSamplePoint() != 0.0f || ecu.GetMinSamplePoint() != 0.0f) {
        requirements["canConfiguration"] = {{"maxTimeQuantaPerBit", ecu.GetMaxTimeQuantaPerBit()},
                                            {"maxSamplePoint", Real(ecu.GetMaxSamplePoint())},
                                            {"maxSyncJumpWidth", Real(ecu.GetMaxSyncJumpWidth())},
                                            {"minTimeQuantaPerBit", ecu.GetMinTimeQuantaPerBit()},
                                            {"minSamplePoint", Real(ecu.GetMinSamplePoint())},
                                            {"minSyncJumpWidth", Real(ecu.GetMinSyncJumpWidth())}};
    }
    if (ecu.IsLinMaster()) {
        requirements["linMaster"] = {{"protocolVersion", ecu.GetLinProtocolVersion()},
                                     {"timeBase", Real(ecu.GetTimeBase())},
                                     {"timeBaseJitter", Real(ecu.GetTimeBaseJitter())}};
    }
    return requirements;
}

Json EcuJson(ArxmlEcu& ecu) {
    Json groups = Json::array();
    for (auto* group : ecu.PduGroups()) {
        groups.push_back({{"name", group->Name()},
                          {"direction", group->GetDirectionText()},
                          {"mode", group->GetModeText()},
                          {"pdus", Names(group->Pdus())}});
    }
    return {{"name", ecu.Name()},
            {"number", ecu.GetNumber()},
            {"longName", ecu.GetLongName()},
            {"description", ecu.GetDescription()},
            {"diagnosticAddress", ecu.GetDiagnosticAddress()},
            {"sleepModeSupported", ecu.IsSleepModeSupported()},
            {"wakeUpOverBusSupported", ecu.IsWakeUpOverBusSupported()},
            {"wakeUpOverControllerSupported", ecu.IsWakeUpOverControllerSupported()},
            {"controller", RequirementsJson(ecu)},
            {"pduGroups", groups},
            {"txPdus", Names(ecu.TxPdus())},
            {"rxPdus", Names(ecu.RxPdus())}};
}

Json ClusterSummary(ArxmlCluster& cluster) {
    return {{"name", cluster.Name()},
            {"kind", KindText(cluster.GetClusterKind())},
            {"baudrate", cluster.GetBaudrate()},
            {"canFdBaudrate", cluster.GetCanFdBaudrate()},
            {"protocolName", cluster.GetProtocolName()},
            {"protocolVersion", cluster.GetProtocolVersion()}};
}

Json ClusterJson(ArxmlCluster& cluster) {
    Json json = ClusterSummary(cluster);
    Json ecus = Json::array();
    for (ArxmlEcu* ecu : cluster.Ecus()) ecus.push_back(EcuJson(*ecu));
    json["ecus"] = ecus;
    json["pdus"] = Names(cluster.Pdus());
    return json;
}

struct Counts {
    size_t ecus = 0, pduGroups = 0, signals = 0, signalGroups = 0;
};

Counts CountModel(const NetConfigArxmlFile& file) {
    Counts counts;
    for (ArxmlCluster* cluster : file.Clusters()) {
        counts.ecus += cluster->Ecus().size();
        for (ArxmlEcu* ecu : cluster->Ecus()) counts.pduGroups += ecu->PduGroups().size();
    }
    for (ArxmlPdu* pdu : file.Pdus()) {
        counts.signals += pdu->Signals().size();
        counts.signalGroups += pdu->SignalGroups().size();
    }
    return counts;
}

class ArxmlFormat : public FileFormat {
  public:
    std::string Name() const override { return "arxml"; }
    std::string ClassVersion() const override { return NetConfigArxmlFile::kVersion; }
    bool Accepts(const std::filesystem::path& path) const override {
        return LowerExtension(path) == ".arxml";
    }

    Json Info(const std::string& path, const Options& options) override {
        LoadedArxml loaded = Require(path, options);
        NetConfigArxmlFile& file = *loaded.file;
        const Counts counts = CountModel(file);
        Json clusters = Json::array();
        for (ArxmlCluster* cluster : file.Clusters()) {
            Json summary = ClusterSummary(*cluster);
            summary["ecus"] = cluster->Ecus().size();
            summary["pdus"] = cluster->Pdus().size();
            clusters.push_back(summary);
        }
        return {{"path", path},
                {"kind", "ARXML communication"},
                {"status", "loaded"},
                {"readingMode", ReadingModeText(file.GetReadingMode())},
                {"autosarVersion", VersionText(file)},
                {"clusters", clusters},
                {"counts",
                 {{"clusters", file.Clusters().size()},
                  {"ecus", counts.ecus},
                  {"pduGroups", counts.pduGroups},
                  {"pdus", file.Pdus().size()},
                  {"frames", file.GetFrameCount()},
                  {"signals", counts.signals},
                  {"signalGroups", counts.signalGroups}}},
                {"messages", SplitLines(file.GetMessages()).size()},
                {"unresolvedReferences", loaded.unresolved.size()}};
    }

    Json Dump(const std::string& path, const Options& options) override {
        LoadedArxml loaded = Require(path, options);
        NetConfigArxmlFile& file = *loaded.file;
        Json clusters = Json::array();
        for (ArxmlCluster* cluster : file.Clusters()) clusters.push_back(ClusterJson(*cluster));
        Json pdus = Json::array();
        for (ArxmlPdu* pdu : file.Pdus()) pdus.push_back(PduJson(*pdu));
        return {{"path", path},
                {"kind", "ARXML communication"},
                {"readingMode", ReadingModeText(file.GetReadingMode())},
                {"autosarVersion", VersionText(file)},
                {"clusters", clusters},
                {"pdus", pdus}};
    }

    CheckResult Check(const std::string& path, const Options& options) override {
        LoadedArxml loaded = LoadArxml(path, options);
        CheckResult result;
        if (!loaded.ok) {
            result.exitCode = kCheckFailed;
            result.status = "failed";
            // The reader names why ("Not an ARXML file: ..."); otherwise the file is unreadable.
            result.messages = SplitLines(loaded.file->GetMessages());
            if (result.messages.empty()) result.messages.push_back("the file cannot be read");
            return result;
        }
        result.messages = SplitLines(loaded.file->GetMessages());
        result.messages.insert(result.messages.end(), loaded.unresolved.begin(),
                               loaded.unresolved.end());
        result.status = "loaded";
        result.exitCode = result.messages.empty() ? kCheckClean : kCheckWarnings;
        return result;
    }

    void Demo(const std::filesystem::path& examplesDir, std::ostream& out) override {
        const std::filesystem::path example = examplesDir / kArxmlExample;
        out << "ARXML communication (" << example.filename().string() << ")\n";
        LoadedArxml loaded = LoadArxml(example.string(), Options{});
        if (!loaded.ok) {
            out << "  cannot read " << example.string() << '\n';
            return;
        }
        NetConfigArxmlFile& file = *loaded.file;
        out << "  AUTOSAR " << VersionText(file) << ", " << file.Clusters().size() << " clusters, "
            << file.Pdus().size() << " PDUs\n";
        for (ArxmlCluster* cluster : file.Clusters()) {
            out << "  " << KindText(cluster->GetClusterKind()) << " cluster " << cluster->Name()
                << " at " << cluster->GetBaudrate() << " bit/s: " << cluster->Ecus().size()
                << " ECUs, " << cluster->Pdus().size() << " PDUs\n";
            for (ArxmlPdu* pdu : cluster->Pdus()) {
                std::ostringstream id;
                if (pdu->GetIdentifier() >= 0) {
                    id << "id 0x" << std::hex << std::uppercase << pdu->GetIdentifier();
                } else {
                    id << "no frame";
                }
                out << "    " << pdu->Name() << " (" << id.str() << ", " << pdu->GetLength()
                    << " bytes, " << pdu->Signals().size() << " signals)\n";
            }
        }
    }

    // Frames are decoded from the PDUs that frames carry, with the packing and coding the
    // document gives them; clusters are converted through a network configuration.
    const qm::codec::FrameCatalog* Frames(const std::string& path,
                                          const Options& options) override {
        auto& slot = frames_[path];
        if (!slot) {
            LoadedArxml loaded = Require(path, options);
            slot = std::make_unique<qm::codec::FrameCatalog>(
                qm::codec::BuildArxmlCatalog(*loaded.file));
            loaded_.push_back(std::move(loaded.file));
        }
        return slot.get();
    }

    bool Convert(const std::string& in, const std::string& out, const Options& options) override {
        return NetworkView().Convert(in, out, options);
    }

  private:
    static FileFormat& NetworkView() {
        Options network;
        network.format = "netconfig";
        return FormatFor("", network);
    }

    static LoadedArxml Require(const std::string& path, const Options& options) {
        LoadedArxml loaded = LoadArxml(path, options);
        if (!loaded.ok) throw ToolError(FailureText(loaded));
        return loaded;
    }

    std::map<std::string, std::unique_ptr<qm::codec::FrameCatalog>> frames_;
    std::vector<ExitOwned<NetConfigArxmlFile>> loaded_;
};

}  // namespace
}  // namespace qmtool

using ArxmlFormat = qmtool::ArxmlFormat;
QM_REGISTER_FORMAT(ArxmlFormat)
