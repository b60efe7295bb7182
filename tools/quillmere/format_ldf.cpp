// The LDF format of the tool: LIN descriptions read, checked, decoded and rewritten.
#include <cmath>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "codec_models/model_codecs.h"
#include "exit_owned.h"
#include "format.h"
#include "ldf/ldf_encoding.h"
#include "ldf/ldf_signal.h"
#include "ldf/netconfig_ldf_file.h"
#include "netmodel_json.h"

namespace qmtool {
namespace {

using namespace qm::ldf;

constexpr const char* kLdfExample = "body.ldf";

// The reader's lines without the closing timing line.
std::vector<std::string> ReaderLines(const std::string& text) {
    std::vector<std::string> lines = SplitLines(text);
    std::erase_if(lines,
                  [](const std::string& line) { return line.rfind("Measure time: ", 0) == 0; });
    return lines;
}

// How many lines ReaderLines would give, counted in place: a big file's log may hold many
// thousands of warnings, and info only reports their number.
size_t CountReaderLines(std::string_view text) {
    constexpr std::string_view kTiming = "Measure time: ";
    size_t count = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && line.substr(0, kTiming.size()) != kTiming) ++count;
    }
    return count;
}

std::string StatusText(const NetConfigLdfFile& file, uint8_t resultCode) {
    if (resultCode == 254) return "file not opened";
    if (file.GetLastLoadResult() == 0)
        return "stopped (result code " + std::to_string(resultCode) + ")";
    return "loaded";
}

// Read tolerantly (a delay's unit glued to its number) unless --exact asks for the described
// reader.
ExitOwned<NetConfigLdfFile> LoadLdf(const std::string& path, const Options& options) {
    auto file = MakeExitOwned<NetConfigLdfFile>();
    file->SetTolerantReading(!options.exact);
    file->Load(path.c_str());
    if (file->GetResultCode() == 254) throw ToolError("cannot open '" + path + "'");
    return file;
}

template <class List>
Json LdfNames(const List& items) {
    Json names = Json::array();
    for (const auto* item : items) names.push_back(item ? item->name : std::string());
    return names;
}

template <class T>
std::string NameOf(const T* object) {
    return object ? object->name : std::string();
}

Json SlaveAttributes(const LdfSlaveNode& slave) {
    Json json{{"linProtocol", slave.linProtocol}, {"configuredNad", slave.configuredNad}};
    if (slave.initialNadGiven) json["initialNad"] = slave.initialNad;
    if (slave.productId) {
        json["productId"] = {{"supplierId", slave.productId->supplierId},
                             {"functionId", slave.productId->functionId}};
        if (slave.productId->variantGiven) json["productId"]["variant"] = slave.productId->variant;
    }
    if (slave.responseErrorSignal) json["responseError"] = slave.responseErrorSignal->name;
    if (slave.faultStateSignalsGiven) json["faultStateSignals"] = LdfNames(slave.faultStateSignals);
    if (slave.p2MinGiven) json["p2Min"] = Number(slave.p2Min);
    if (slave.stMinGiven) json["stMin"] = Number(slave.stMin);
    if (slave.nAsTimeoutGiven) json["nAsTimeout"] = Number(slave.nAsTimeout);
    if (slave.nCrTimeoutGiven) json["nCrTimeout"] = Number(slave.nCrTimeout);
    if (slave.responseToleranceGiven) json["responseTolerance"] = slave.responseTolerance;
    Json configurable = Json::array();
    for (const auto& entry : slave.configurableFrames) {
        Json item{{"frame", entry->frame ? entry->frame->name : entry->frameName}};
        if (entry->messageIdGiven) item["messageId"] = entry->messageId;
        configurable.push_back(item);
    }
    if (!configurable.empty()) json["configurableFrames"] = configurable;
    return json;
}

Json NodesJson(const LdfModel& model) {
    Json nodes = Json::array();
    for (const auto& node : model.nodes) {
        Json json{{"name", node->name}, {"role", node->isMaster ? "master" : "slave"}};
        if (node->HasDiagnosticAddress()) json["diagnosticAddress"] = node->diagnosticAddress;
        if (node->isMaster) {
            const auto& master = static_cast<const LdfMasterNode&>(*node);
            json["timeBase"] = Number(master.timeBase);
            json["jitter"] = Number(master.jitter);
            if (master.HasBitLength()) json["bitLength"] = master.bitLength;
            if (master.HasTolerant()) json["tolerant"] = master.tolerant;
        } else {
            json["attributes"] = SlaveAttributes(static_cast<const LdfSlaveNode&>(*node));
        }
        nodes.push_back(json);
    }
    return nodes;
}

Json SignalsJson(const LdfModel& model) {
    Json signals = Json::array();
    for (const auto& signal : model.standardSignals) {
        Json json{
            {"name", signal->name},
            {"size", signal->size},
            {"initialValues",
             std::vector<uint16_t>(signal->initialValues.begin(), signal->initialValues.end())},
            {"byteArray", signal->byteArray != 0},
            {"publisher", signal->publisher ? signal->publisher->name : signal->publisherName},
            {"subscribers", LdfNames(signal->subscribers)}};
        if (signal->frame) json["frame"] = signal->frame->name;
        if (signal->encodingType) json["encoding"] = signal->encodingType->name;
        signals.push_back(json);
    }
    return signals;
}

Json FramesJson(const LdfModel& model) {
    Json frames = Json::array();
    for (const LdfFrame* frame : model.allFrames) {
        Json json{{"name", frame->name}};
        switch (frame->frameKind) {
            case kLdfFrameUnconditional: {
                const auto& unconditional = static_cast<const LdfUnconditionalFrame&>(*frame);
                json["kind"] = "unconditional";
                json["id"] = unconditional.frameId;
                json["publisher"] = unconditional.publisher ? unconditional.publisher->name
                                                            : unconditional.publisherName;
                json["length"] = unconditional.length;
                if (unconditional.dynamic) json["dynamic"] = true;
                Json signals = Json::array();
                for (const LdfStandardSignal* signal : unconditional.signals) {
                    signals.push_back({{"name", signal->name}, {"offset", signal->bitOffset}});
                }
                json["signals"] = signals;
                break;
            }
            case kLdfFrameSporadic:
                json["kind"] = "sporadic";
                json["frames"] =
                    LdfNames(static_cast<const LdfSporadicFrame&>(*frame).associated.frames);
                break;
            case kLdfFrameEventTriggered: {
                const auto& event = static_cast<const LdfEventTriggeredFrame&>(*frame);
                json["kind"] = "eventTriggered";
                json["id"] = event.frameId;
                if (event.collisionTable) json["collisionTable"] = event.collisionTable->name;
                json["frames"] = LdfNames(event.associated.frames);
                break;
            }
            case kLdfFrameDiagnostic: {
                const auto& diagnostic = static_cast<const LdfDiagnosticFrame&>(*frame);
                json["kind"] = "diagnostic";
                json["id"] = diagnostic.frameId;
                json["signals"] = LdfNames(diagnostic.signals);
                break;
            }
            default:
                break;
        }
        frames.push_back(json);
    }
    return frames;
}

template <size_t N>
Json Bytes(const std::array<uint8_t, N>& bytes) {
    return Json(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

Json CommandJson(const ScheduleTableCommand& command) {
    static const char* const kKinds[] = {"frame",      "AssignNAD",         "ConditionalChangeNAD",
                                         "DataDump",   "SaveConfiguration", "AssignFrameIdRange",
                                         "FreeFormat", "AssignFrameId",     "UnassignFrameId"};
    Json json{{"kind", command.commandKind < 9 ? kKinds[command.commandKind] : "unknown"}};
    switch (command.commandKind) {
        case kLdfCommandFrame:
            json["frame"] = NameOf(static_cast<const FrameCommand&>(command).frame);
            break;
        case kLdfCommandAssignNad: {
            const auto& assign = static_cast<const AssignNadCommand&>(command);
            json["node"] = NameOf(assign.node);
            json["initialNad"] = assign.initialNad;
            json["newNad"] = assign.newNad;
            json["supplierId"] = assign.supplierId;
            json["functionId"] = assign.functionId;
            break;
        }
        case kLdfCommandConditionalChangeNad:
            json["bytes"] = Bytes(static_cast<const ConditionalChangeNadCommand&>(command).bytes);
            break;
        case kLdfCommandDataDump: {
            const auto& dump = static_cast<const DataDumpCommand&>(command);
            json["node"] = NameOf(dump.node);
            json["data"] = Bytes(dump.data);
            break;
        }
        case kLdfCommandSaveConfiguration:
            json["node"] = NameOf(static_cast<const SaveConfigurationCommand&>(command).node);
            break;
        case kLdfCommandAssignFrameIdRange: {
            const auto& range = static_cast<const AssignFrameIdRangeCommand&>(command);
            json["node"] = NameOf(range.node);
            json["frameIndex"] = range.frameIndex;
            if (range.pidsGiven) json["pids"] = Bytes(range.pids);
            break;
        }
        case kLdfCommandFreeFormat:
            json["data"] = Bytes(static_cast<const FreeFormatCommand&>(command).data);
            break;
        case kLdfCommandAssignFrameId: {
            const auto& assign = static_cast<const AssignFrameIdCommand&>(command);
            json["node"] = NameOf(assign.node);
            json["frame"] = NameOf(assign.frame);
            break;
        }
        case kLdfCommandUnassignFrameId: {
            const auto& unassign = static_cast<const UnassignFrameIdCommand&>(command);
            json["node"] = NameOf(unassign.node);
            json["frame"] = NameOf(unassign.frame);
            break;
        }
        default:
            break;
    }
    return json;
}

Json ScheduleTablesJson(const LdfModel& model) {
    Json tables = Json::array();
    for (const auto& table : model.scheduleTables) {
        Json tasks = Json::array();
        for (const auto& task : table->tasks) {
            Json entry = task->command ? CommandJson(*task->command) : Json::object();
            entry["delay"] = task->delay;
            tasks.push_back(entry);
        }
        tables.push_back({{"name", table->name}, {"tasks", tasks}});
    }
    return tables;
}

Json EncodingsJson(const LdfModel& model) {
    Json encodings = Json::array();
    for (const auto& encoding : model.encodingTypes) {
        Json values = Json::array();
        for (const auto& value : encoding->values) {
            switch (value->valueKind) {
                case kLdfValueLogical: {
                    const auto& logical = static_cast<const LdfLogicalValue&>(*value);
                    values.push_back({{"kind", "logical"},
                                      {"value", logical.signalValue},
                                      {"text", logical.textInfo}});
                    break;
                }
                case kLdfValuePhysical: {
                    const auto& physical = static_cast<const LdfPhysicalValue&>(*value);
                    values.push_back({{"kind", "physical"},
                                      {"minimum", physical.minimum},
                                      {"maximum", physical.maximum},
                                      {"scale", Number(physical.scale)},
                                      {"offset", Number(physical.offset)},
                                      {"text", physical.textInfo}});
                    break;
                }
                case kLdfValueBcd:
                    values.push_back({{"kind", "bcd"}});
                    break;
                case kLdfValueAscii:
                    values.push_back({{"kind", "ascii"}});
                    break;
                default:
                    break;
            }
        }
        encodings.push_back({{"name", encoding->name},
                             {"values", values},
                             {"signals", LdfNames(encoding->signals)}});
    }
    return encodings;
}

Json DumpJson(const std::string& path, NetConfigLdfFile& file) {
    const LdfModel& model = file.Model();
    Json json{{"path", path},
              {"kind", "ldf"},
              {"resultCode", file.GetResultCode()},
              {"status", StatusText(file, file.GetResultCode())},
              {"network", model.networkName},
              {"protocolVersion", model.protocolVersion},
              {"languageVersion", model.languageVersion},
              {"speed", Number(model.speed)},
              {"channel", model.channelName}};
    if (!model.fileRevision.empty()) json["fileRevision"] = model.fileRevision;
    json["nodes"] = NodesJson(model);
    json["signals"] = SignalsJson(model);
    Json diagnosticSignals = Json::array();
    for (const auto& signal : model.diagnosticSignals) {
        diagnosticSignals.push_back({{"name", signal->name},
                                     {"size", signal->size},
                                     {"initialValues", signal->initialValues}});
    }
    json["diagnosticSignals"] = diagnosticSignals;
    json["frames"] = FramesJson(model);
    json["scheduleTables"] = ScheduleTablesJson(model);
    Json groups = Json::array();
    for (const auto& group : model.signalGroups) {
        groups.push_back(
            {{"name", group->name}, {"size", group->size}, {"signals", LdfNames(group->signals)}});
    }
    json["signalGroups"] = groups;
    json["encodings"] = EncodingsJson(model);
    json["messages"] = ReaderLines(file.GetMessages());
    return json;
}

class LdfFormat : public FileFormat {
  public:
    std::string Name() const override { return "ldf"; }
    std::string ClassVersion() const override { return "1.42"; }

    bool Accepts(const std::filesystem::path& path) const override {
        return LowerExtension(path) == ".ldf";
    }

    Json Info(const std::string& path, const Options& options) override {
        auto file = LoadLdf(path, options);
        return Json{{"path", path},
                    {"kind", "ldf"},
                    {"resultCode", file->GetResultCode()},
                    {"status", StatusText(*file, file->GetResultCode())},
                    {"network", file->GetName()},
                    {"protocolVersion", file->GetProtocolVersion()},
                    {"speed", Number(file->GetSpeed())},
                    {"nodes", file->GetNodeCount()},
                    {"signals", file->GetSignalCount()},
                    {"frames", file->GetFrameCount()},
                    {"scheduleTables", file->GetScheduleTableCount()},
                    {"tasks", file->GetTaskCount()},
                    {"encodings", file->GetEncodingTypeCount()},
                    {"readerMessages", CountReaderLines(file->GetMessages())}};
    }

    Json Dump(const std::string& path, const Options& options) override {
        auto file = LoadLdf(path, options);
        return DumpJson(path, *file);
    }

    CheckResult Check(const std::string& path, const Options& options) override {
        auto file = LoadLdf(path, options);
        CheckResult result;
        result.messages = ReaderLines(file->GetMessages());
        result.status =
            std::to_string(file->GetResultCode()) + " " + StatusText(*file, file->GetResultCode());
        result.exitCode = file->GetLastLoadResult() == 0 ? kCheckFailed
                          : result.messages.empty()      ? kCheckClean
                                                         : kCheckWarnings;
        return result;
    }

    const qm::codec::FrameCatalog* Frames(const std::string& path,
                                          const Options& options) override {
        auto& slot = frames_[path];
        if (!slot) {
            slot = std::make_unique<qm::codec::FrameCatalog>(
                qm::codec::BuildLdfCatalog(Cached(path, options)));
        }
        return slot.get();
    }

    bool Convert(const std::string& in, const std::string& out, const Options& options) override {
        if (!Accepts(out) && options.format.empty()) return false;
        auto file = LoadLdf(in, options);
        if (file->GetLastLoadResult() == 0) {
            throw ToolError("'" + in + "' " + StatusText(*file, file->GetResultCode()) +
                            "; not converted");
        }
        if (!file->Save(out.c_str())) throw WriteFailure(out);
        return true;
    }

    void Demo(const std::filesystem::path& examplesDir, std::ostream& out) override {
        const std::filesystem::path example = examplesDir / kLdfExample;
        out << "LDF (" << example.filename().string() << ")\n";
        NetConfigLdfFile file;
        if (!file.Load(example.string().c_str())) {
            out << "  cannot read " << example.string() << '\n';
            return;
        }
        const LdfModel& model = file.Model();
        out << "  LIN " << model.protocolVersion << " at " << model.speed << " kbit/s, "
            << file.GetNodeCount() << " nodes, " << file.GetSignalCount() << " signals, "
            << file.GetFrameCount() << " frames, " << file.GetScheduleTableCount()
            << " schedule tables with " << file.GetTaskCount() << " tasks\n";
        for (const auto& frame : model.unconditionalFrames) {
            out << "  " << frame->name << " (id " << int(frame->frameId) << ", "
                << int(frame->length) << " bytes, from " << NameOf(frame->publisher) << ")\n";
        }
        if (!model.unconditionalFrames.empty()) {
            const LdfUnconditionalFrame& frame = *model.unconditionalFrames.front();
            const uint8_t payload[4] = {0x05, 0x64, 0x00, 0x00};
            out << "  decode id " << int(frame.frameId) << " \"05 64 00 00\":\n";
            const auto codec = qm::codec::BuildLdfFrame(*file.GetUnconditionalFrame(0));
            codec->Decode(payload, sizeof(payload), [&](size_t index, uint64_t raw) {
                const qm::codec::SignalCodec& signal = codec->signals[index];
                std::string value;
                signal.PhysicalOf(raw).AppendTo(value);
                out << "    " << signal.name << " = " << value;
                const int range = signal.RangeIndex(raw);
                if (range >= 0 && !signal.ranges[static_cast<size_t>(range)].text.empty())
                    out << ' ' << signal.ranges[static_cast<size_t>(range)].text;
                if (const std::string* text = signal.TextOf(raw)) out << " \"" << *text << '"';
                out << '\n';
            });
        }
        const std::vector<std::string> lines = ReaderLines(file.GetMessages());
        out << "  check: "
            << (lines.empty() ? "no warnings" : std::to_string(lines.size()) + " warnings") << '\n';
    }

  private:
    NetConfigLdfFile& Cached(const std::string& path, const Options& options) {
        auto& slot = cache_[path];
        if (!slot) slot = LoadLdf(path, options);
        return *slot;
    }

    std::map<std::string, ExitOwned<NetConfigLdfFile>> cache_;
    std::map<std::string, std::unique_ptr<qm::codec::FrameCatalog>> frames_;
};

}  // namespace
}  // namespace qmtool

using qmtool::LdfFormat;
QM_REGISTER_FORMAT(LdfFormat)
