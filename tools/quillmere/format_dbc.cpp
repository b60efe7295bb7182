// The DBC format of the tool: CAN databases in DBC text, read, checked, decoded and rewritten.
#include <cmath>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "codec/codec_compaction.h"
#include "codec_models/model_codecs.h"
#include "dbc/dbc_enums.h"
#include "dbc/netconfig_dbc_file.h"
#include "exit_owned.h"
#include "format.h"
#include "huge_pages.h"
#include "netmodel_json.h"
#include "platform/input_file.h"
#include "platform/paths.h"
#include "text_encoding.h"

namespace qmtool {
namespace {

using namespace qm::dbc;

constexpr const char* kDbcExample = "powertrain.dbc";

const char* StatusText(uint32_t status) {
    switch (status) {
        case kDbcLoaded:
            return "loaded";
        case kDbcLoadedWithWarnings:
            return "loaded with warnings";
        case kDbcNotSupportedKeyword:
            return "stopped at a keyword that is not supported";
        case kDbcUndefinedTag:
            return "stopped at an undefined tag";
        case kDbcFileNotOpened:
            return "file not opened";
        default:
            return "stopped at a malformed section";
    }
}

// JSON has no NaN or infinity; such numbers are written as null.
// The tool reads tolerantly unless --exact asks for the reader that stops at the first line it
// does not know.
ExitOwned<NetConfigDbcFile> LoadDbc(const std::string& path, const Options& options) {
    auto file = MakeExitOwned<NetConfigDbcFile>();
    file->SetTolerantReading(!options.exact);
    // The bytes the encoding check has just mapped are read where they are.
    if (const auto input = TakeCheckedInput(path)) {
        file->LoadText(input->Text(), qm::platform::Widen(path), input.get());
    } else {
        file->Load(path.c_str());
    }
    if (file->GetStatus() == kDbcFileNotOpened) throw ToolError("cannot open '" + path + "'");
    return file;
}

Json Attributes(const DbcAttributeList& list) {
    Json attributes = Json::object();
    for (const DbcAttribute* attribute : list.Items()) {
        if (attribute->RelationKind() < 0 && !attributes.contains(attribute->Name())) {
            attributes[attribute->Name()] = attribute->Value();
        }
    }
    return attributes;
}

// Keyed by the value as written ("-1", not its 32-bit form 4294967295).
Json Descriptions(const DbcValueDescriptions& descriptions) {
    Json values = Json::object();
    for (uint64_t i = 0; i < descriptions.ExactCount(); ++i) {
        std::string key;
        qm::dbc::AppendExactValue(key, descriptions.ExactValueAt(i));
        values[key] = descriptions.ExactDescriptionAt(i);
    }
    return values;
}

// Editors cut names at 32 characters and keep the full name in an attribute of the object (those
// of messages and signals are the codec's).
constexpr const char* kNodeLongName = "SystemNodeLongSymbol";
constexpr const char* kVariableLongName = "SystemEnvVarLongSymbol";

const char* LongNameAttribute(const DbcNode&) {
    return kNodeLongName;
}
const char* LongNameAttribute(const DbcMessage&) {
    return qm::codec::kDbcMessageLongName;
}
const char* LongNameAttribute(const DbcSignal&) {
    return qm::codec::kDbcSignalLongName;
}
const char* LongNameAttribute(const DbcEnvironmentVariable&) {
    return kVariableLongName;
}

// The long name of an object, null when its attributes give none.
template <class Object>
const DbcText* LongName(const Object& object) {
    const DbcAttribute* attribute = object.Attributes().Find(LongNameAttribute(object));
    return attribute && !attribute->Value().empty() ? &attribute->Value() : nullptr;
}

// Which name the tool shows: the long name where one is given, or with --short-names the name
// as written.
struct Naming {
    bool shortNames = false;

    template <class Object>
    std::string Of(const Object& object) const {
        const DbcText* longName = shortNames ? nullptr : LongName(object);
        return longName ? longName->str() : std::string(object.Name());
    }
    // Sets "name", and "shortName" beside it when the shown name is not the written one.
    template <class Object>
    void Put(Json& json, const Object& object) const {
        json["name"] = Of(object);
        if (Of(object) != object.Name()) json["shortName"] = object.Name();
    }
    template <class Items>
    Json Names(const Items& items) const {
        Json names = Json::array();
        for (const auto* item : items) names.push_back(Of(*item));
        return names;
    }
};

Json SignalJson(const DbcSignal& signal, const Naming& naming) {
    Json json = Json::object();
    naming.Put(json, signal);
    json.update(Json{{"startBit", signal.StartBit()},
                     {"bitLength", signal.BitLength()},
                     {"byteOrder", ByteOrderText(signal.ByteOrder())},
                     {"valueType", ValueTypeText(signal.ValueType())},
                     {"factor", Number(signal.Factor().value)},
                     {"offset", Number(signal.Offset().value)},
                     {"minimum", Number(signal.Minimum().value)},
                     {"maximum", Number(signal.Maximum().value)},
                     {"unit", signal.Unit()},
                     {"multiplexing", MultiplexingKindText(signal.MultiplexingKind())}});
    if (signal.MultiplexingKind() == kMultiplexedSignal)
        json["multiplexValue"] = signal.MultiplexValue();
    if (const DbcSignal* multiplexer = signal.ExtendedMultiplexer()) {
        json["multiplexer"] = naming.Of(*multiplexer);
        Json ranges = Json::array();
        for (const auto& range : signal.MultiplexRanges())
            ranges.push_back(Json::array({range.minimum, range.maximum}));
        json["multiplexRanges"] = ranges;
    }
    if (signal.ExtendedValueTypeGiven())
        json["extendedValueType"] = ExtendedValueTypeText(signal.ExtendedValueType());
    json["receivers"] = naming.Names(signal.Receivers());
    if (!signal.Comment().empty()) json["comment"] = signal.Comment();
    if (!signal.ValueDescriptions().Empty())
        json["values"] = Descriptions(signal.ValueDescriptions());
    if (signal.Attributes().Count()) json["attributes"] = Attributes(signal.Attributes());
    return json;
}

Json MessageJson(const DbcMessage& message, const Naming& naming) {
    Json json{{"id", message.RawId() & 0x7FFFFFFF},
              {"extended", (message.RawId() & 0x80000000u) != 0}};
    naming.Put(json, message);
    json["size"] = message.Size();
    json["transmitter"] = message.Transmitter() ? naming.Of(*message.Transmitter()) : "";
    json["transmitters"] = naming.Names(message.Transmitters());
    if (!message.Comment().empty()) json["comment"] = message.Comment();
    if (message.Attributes().Count()) json["attributes"] = Attributes(message.Attributes());
    Json signals = Json::array();
    for (const auto& signal : message.Signals()) signals.push_back(SignalJson(*signal, naming));
    json["signals"] = signals;
    if (!message.SignalGroups().empty()) {
        Json groups = Json::array();
        for (const auto& group : message.SignalGroups()) {
            groups.push_back({{"name", group->Name()},
                              {"repetitions", group->Repetitions()},
                              {"signals", naming.Names(group->Signals())}});
        }
        json["signalGroups"] = groups;
    }
    return json;
}

Json DefinitionJson(const DbcAttributeDefinition& definition) {
    Json json{{"name", definition.Name()},
              {"object", ObjectTypeText(definition.ObjectType())},
              {"type", AttributeValueTypeText(definition.ValueType())},
              {"values", definition.Values()}};
    if (!definition.DefaultValue().empty()) json["default"] = definition.DefaultValue();
    return json;
}

Json VariableJson(const DbcEnvironmentVariable& variable, const Naming& naming) {
    Json json = Json::object();
    naming.Put(json, variable);
    json.update(Json{{"type", EnvironmentTypeText(variable.Type())},
                     {"minimum", Number(variable.Minimum())},
                     {"maximum", Number(variable.Maximum())},
                     {"unit", variable.Unit()},
                     {"initialValue", Number(variable.InitialValue())},
                     {"id", variable.Id()},
                     {"access", AccessTypeText(AccessTypeOfToken(variable.AccessTypeToken()))},
                     {"accessNodes", variable.AccessNodes()}});
    if (variable.DataSizeGiven()) json["dataSize"] = variable.DataSize();
    if (!variable.Comment().empty()) json["comment"] = variable.Comment();
    if (!variable.ValueDescriptions().Empty())
        json["values"] = Descriptions(variable.ValueDescriptions());
    return json;
}

Json DumpJson(const std::string& path, NetConfigDbcFile& file, const Naming& naming) {
    Json json{{"path", path},
              {"kind", "dbc"},
              {"status", file.GetStatus()},
              {"statusText", StatusText(file.GetStatus())},
              {"reader", file.Tolerant() ? "tolerant" : "exact"},
              {"database", file.DatabaseName()},
              {"version", file.Version()},
              {"newSymbols", file.NewSymbols()}};
    if (const DbcBitTiming* timing = file.BitTiming()) {
        json["bitTiming"] = {
            {"baudrate", timing->Baudrate()}, {"btr1", timing->Btr1()}, {"btr2", timing->Btr2()}};
    }
    if (!file.NetworkComment().empty()) json["comment"] = file.NetworkComment();
    json["attributes"] = Attributes(file.NetworkAttributes());
    Json nodes = Json::array();
    for (const auto& node : file.Nodes()) {
        Json entry = Json::object();
        naming.Put(entry, *node);
        if (!node->Comment().empty()) entry["comment"] = node->Comment();
        if (node->Attributes().Count()) entry["attributes"] = Attributes(node->Attributes());
        nodes.push_back(entry);
    }
    json["nodes"] = nodes;
    Json tables = Json::array();
    for (const auto& table : file.ValueTables()) {
        Json values = Json::object();
        for (const auto& [value, text] : table->Values()) values[std::to_string(value)] = text;
        tables.push_back({{"name", table->Name()}, {"values", values}});
    }
    json["valueTables"] = tables;
    Json messages = Json::array();
    for (const auto& message : file.Messages()) messages.push_back(MessageJson(*message, naming));
    json["messages"] = messages;
    Json variables = Json::array();
    for (const auto& variable : file.Variables())
        variables.push_back(VariableJson(*variable, naming));
    json["environmentVariables"] = variables;
    Json definitions = Json::array();
    for (const auto& definition : file.Definitions())
        definitions.push_back(DefinitionJson(*definition));
    json["attributeDefinitions"] = definitions;
    return json;
}

// The frame codecs of a file, with the names the tool shows.
// The codecs of the file's messages; with clearMessages each message is cleared (its signals
// freed) once its codec is made.
qm::codec::FrameCatalog FramesOf(NetConfigDbcFile& file, const Naming& naming,
                                 bool clearMessages = false) {
    qm::codec::FrameCatalog catalog;
    for (const auto& message : file.Messages()) {
        auto frame = qm::codec::BuildDbcFrame(*message);
        if (!naming.shortNames) qm::codec::UseDbcLongNames(*message, *frame);
        catalog.Add(std::move(frame));
        if (clearMessages) {
            message->DiscardSignals();
            message->Clear();
        }
    }
    return catalog;
}

uint64_t CountLongNames(const NetConfigDbcFile& file) {
    // The reader keeps an attribute only with its definition: without one of the long-name
    // definitions no object has that attribute, and the walk over every signal (a cache miss
    // each in a large file) is left out.
    const auto defined = [&file](const char* name) {
        return file.DefinitionByName(name) != nullptr;
    };
    uint64_t count = 0;
    if (defined(kNodeLongName)) {
        for (const auto& node : file.Nodes()) count += LongName(*node) != nullptr;
    }
    const bool messageNames = defined(qm::codec::kDbcMessageLongName);
    const bool signalNames = defined(qm::codec::kDbcSignalLongName);
    for (const auto& message : file.Messages()) {
        if (messageNames) count += LongName(*message) != nullptr;
        if (!signalNames) continue;
        for (const auto& signal : message->Signals()) count += LongName(*signal) != nullptr;
    }
    if (defined(kVariableLongName)) {
        for (const auto& variable : file.Variables()) count += LongName(*variable) != nullptr;
    }
    return count;
}

class DbcFormat : public FileFormat {
  public:
    std::string Name() const override { return "dbc"; }
    std::string ClassVersion() const override { return "1.55"; }

    bool Accepts(const std::filesystem::path& path) const override {
        return LowerExtension(path) == ".dbc";
    }

    Json Info(const std::string& path, const Options& options) override {
        auto file = LoadDbc(path, options);
        uint64_t warnings = 0;
        for (const std::string& line : SplitLines(file->GetMessages())) {
            if (line.rfind("Dbc parser measured time: ", 0) != 0) ++warnings;
        }
        return Json{{"path", path},
                    {"kind", "dbc"},
                    {"status", file->GetStatus()},
                    {"statusText", StatusText(file->GetStatus())},
                    {"database", file->DatabaseName()},
                    {"version", file->Version()},
                    {"nodes", file->GetNodeCount()},
                    {"messages", file->GetMessageCount()},
                    {"signals", file->GetSignalCount()},
                    {"environmentVariables", file->GetEnvironmentVariableCount()},
                    {"valueTables", file->GetValueTableCount()},
                    {"attributeDefinitions", file->GetAttributeDefinitionCount()},
                    {"readerMessages", warnings},
                    {"longNames", CountLongNames(*file)},
                    {"reader", file->Tolerant() ? "tolerant" : "exact"},
                    {"toleratedLines", file->ToleratedLines()}};
    }

    Json Dump(const std::string& path, const Options& options) override {
        auto file = LoadDbc(path, options);
        return DumpJson(path, *file, Naming{options.shortNames});
    }

    CheckResult Check(const std::string& path, const Options& options) override {
        auto file = LoadDbc(path, options);
        CheckResult result;
        result.messages = SplitLines(file->GetMessages());
        const uint32_t status = file->GetStatus();
        result.status = std::to_string(status) + " " + StatusText(status);
        result.exitCode = status == kDbcLoaded               ? kCheckClean
                          : status == kDbcLoadedWithWarnings ? kCheckWarnings
                                                             : kCheckFailed;
        return result;
    }

    const qm::codec::FrameCatalog* Frames(const std::string& path,
                                          const Options& options) override {
        auto& slot = frames_[path];
        if (!slot) {
            slot = std::make_unique<qm::codec::FrameCatalog>(
                FramesOf(Cached(path, options), Naming{options.shortNames}));
        }
        return slot.get();
    }

    // Each message's signals are cleared once its codec is made, so that the memory of the
    // model's signals serves the codecs; the rest of the model goes at the end. The codecs are
    // then moved apart from the model's holes, which go back to the system.
    const qm::codec::FrameCatalog* FramesOnly(const std::string& path,
                                              const Options& options) override {
        auto& slot = frames_[path];
        if (slot) return slot.get();
        NetConfigDbcFile& file = Cached(path, options);
        slot = std::make_unique<qm::codec::FrameCatalog>(
            FramesOf(file, Naming{options.shortNames}, true));
        const auto cached = cache_.find(path);
        delete cached->second.release();  // now, even when models are otherwise left to exit
        cache_.erase(cached);
        KeepFreedHeapInSmallPages();  // before the moves below hand its pages back
        const ThreadHeapsInHugePages hugePages;
        qm::codec::MoveApart(*slot);
        return slot.get();
    }

    // The written name first, as lookups by name do; then the long names.
    std::optional<uint64_t> FrameIdByName(const std::string& path, const std::string& name,
                                          const Options& options) override {
        NetConfigDbcFile& file = Cached(path, options);
        for (const auto& message : file.Messages()) {
            if (message->Name() == name) return message->RawId();
        }
        for (const auto& message : file.Messages()) {
            const DbcText* longName = LongName(*message);
            if (longName && *longName == name) return message->RawId();
        }
        return std::nullopt;
    }

    bool Convert(const std::string& in, const std::string& out, const Options& options) override {
        if (!Accepts(out) && options.format.empty()) return false;
        auto file = LoadDbc(in, options);
        if (file->GetStatus() > kDbcLoadedWithWarnings) {
            throw ToolError("'" + in + "' " + StatusText(file->GetStatus()) + " (status " +
                            std::to_string(file->GetStatus()) + "); not converted");
        }
        if (!file->Save(out.c_str())) throw WriteFailure(out);
        return true;
    }

    void Demo(const std::filesystem::path& examplesDir, std::ostream& out) override {
        const std::filesystem::path example = examplesDir / kDbcExample;
        out << "DBC (" << example.filename().string() << ")\n";
        NetConfigDbcFile file;
        if (!file.Load(example.string().c_str())) {
            out << "  cannot read " << example.string() << '\n';
            return;
        }
        out << "  database " << file.DatabaseName() << ", " << file.GetNodeCount() << " nodes, "
            << file.GetMessageCount() << " messages, " << file.GetSignalCount() << " signals\n";
        for (const auto& message : file.Messages()) {
            out << "  " << message->Name() << " (0x" << std::hex << (message->RawId() & 0x7FFFFFFF)
                << std::dec << ", " << message->Signals().size() << " signals)\n";
        }
        const uint8_t payload[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
        if (DbcMessage* message = file.MessageByRawId(0x100)) {
            out << "  decode 0x100 \"11 22 33 44 55 66 77 88\":\n";
            const auto frame = qm::codec::BuildDbcFrame(*message);
            frame->Decode(payload, sizeof(payload), [&](size_t index, uint64_t raw) {
                const qm::codec::SignalCodec& signal = frame->signals[index];
                std::string value;
                signal.PhysicalOf(raw).AppendTo(value);
                out << "    " << signal.name << " = " << value;
                if (!signal.unit.empty()) out << ' ' << signal.unit;
                if (const std::string* text = signal.TextOf(raw)) out << " \"" << *text << '"';
                out << '\n';
            });
        }
    }

  private:
    // A candump log decodes many frames against one database; it is read once.
    NetConfigDbcFile& Cached(const std::string& path, const Options& options) {
        auto& slot = cache_[path];
        if (!slot) slot = LoadDbc(path, options);
        return *slot;
    }

    std::map<std::string, ExitOwned<NetConfigDbcFile>> cache_;
    std::map<std::string, std::unique_ptr<qm::codec::FrameCatalog>> frames_;
};

}  // namespace
}  // namespace qmtool

using qmtool::DbcFormat;
QM_REGISTER_FORMAT(DbcFormat)
