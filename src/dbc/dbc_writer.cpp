#include "dbc/dbc_writer.h"
#include "dbc/dbc_tokens.h"

#include <cstdlib>

#include "dbc/dbc_enums.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr std::string_view kEnd = "\r\n";

class DbcTextWriter {
  public:
    explicit DbcTextWriter(const NetConfigDbcFile& file) : file_(file) {}

    std::string Render() {
        out_.reserve(EstimatedSize());
        WriteVersion();
        WriteNewSymbols();
        WriteBusTiming();
        WriteNodes();
        WriteValueTables();
        WriteMessages();
        WriteTransmitters();
        WriteVariables();
        WriteVariableData();
        WriteComments();
        WriteDefinitions();
        WriteDefaults();
        WriteAttributeValues();
        WriteRelationValues();
        WriteValueDescriptions();
        WriteValueTypes();
        WriteSignalGroups();
        // Last, as editors write them: a reader that stops at them has read everything else.
        WriteExtendedMultiplexing();
        return std::move(out_);
    }

  private:
    size_t EstimatedSize() const { return 4096 + file_.AllSignals().size() * 160; }

    void Line(std::string_view text = {}) {
        out_ += text;
        out_ += kEnd;
    }
    void EndLine() { out_ += kEnd; }
    void Quoted(std::string_view text) {
        out_ += '"';
        out_ += text;
        out_ += '"';
    }
    void Number(uint64_t value) { AppendInteger(out_, value); }

    void WriteVersion() {
        out_ += "VERSION ";
        Quoted(file_.Version());
        EndLine();
        EndLine();
    }

    void WriteNewSymbols() {
        Line("NS_ : ");
        for (const std::string& symbol : file_.NewSymbols()) {
            out_ += '\t';
            Line(symbol);
        }
        EndLine();
    }

    void WriteBusTiming() {
        out_ += "BS_:";
        const DbcBitTiming* timing = file_.BitTiming();
        if (timing && timing->Baudrate() && timing->Btr1() && timing->Btr2()) {
            Number(timing->Baudrate());
            out_ += " : ";
            Number(timing->Btr1());
            out_ += " , ";
            Number(timing->Btr2());
        }
        EndLine();
        EndLine();
    }

    void WriteNodes() {
        out_ += "BU_: ";
        for (const auto& node : file_.Nodes()) {
            out_ += node->Name();
            out_ += ' ';
        }
        EndLine();
        EndLine();
    }

    void WriteValueTables() {
        for (const auto& table : file_.ValueTables()) {
            out_ += "VAL_TABLE_ ";
            out_ += table->Name();
            for (const auto& [value, description] : table->Values()) {
                out_ += ' ';
                Number(value);
                out_ += ' ';
                Quoted(description);
            }
            Line(" ;");
        }
    }

    void WriteSignal(const DbcSignal& signal) {
        out_ += " SG_ ";
        out_ += signal.Name();
        out_ += ' ';
        if (signal.MultiplexingKind() != kNotMultiplexed) {
            out_ += signal.MultiplexIndicator();
            out_ += "  ";
        }
        out_ += ": ";
        Number(signal.StartBit());
        out_ += '|';
        Number(signal.BitLength());
        out_ += '@';
        out_ += signal.ByteOrderChar();
        out_ += signal.ValueTypeChar();
        out_ += " (";
        AppendNumber(signal.Factor());
        out_ += ',';
        AppendNumber(signal.Offset());
        out_ += ") [";
        AppendNumber(signal.Minimum());
        out_ += '|';
        AppendNumber(signal.Maximum());
        out_ += "] ";
        Quoted(signal.Unit());
        out_ += ' ';
        if (signal.Receivers().empty()) {
            out_ += "Vector__XXX";
        } else {
            for (size_t i = 0; i < signal.Receivers().size(); ++i) {
                if (i) out_ += ',';
                out_ += signal.Receivers()[i]->Name();
            }
        }
        EndLine();
    }

    void AppendNumber(const DbcNumber& number) {
        AppendDbcNumber(out_, number.value, number.decimals, number.exponent);
    }

    void WriteMessages() {
        for (const auto& message : file_.Messages()) {
            out_ += "BO_ ";
            Number(message->RawId());
            out_ += ' ';
            out_ += message->Name();
            out_ += ": ";
            Number(message->Size());
            out_ += ' ';
            out_ += message->Transmitter() ? std::string_view(message->Transmitter()->Name())
                                           : std::string_view("Vector__XXX");
            EndLine();
            for (const auto& signal : message->Signals()) WriteSignal(*signal);
            EndLine();
        }
    }

    void WriteTransmitters() {
        for (const auto& message : file_.Messages()) {
            const auto& transmitters = message->Transmitters();
            if (transmitters.size() <= 1) continue;
            out_ += "BO_TX_BU_ ";
            Number(message->RawId());
            out_ += " : ";
            for (size_t i = 0; i < transmitters.size(); ++i) {
                if (i) out_ += ',';
                out_ += transmitters[i]->Name();
            }
            Line(";");
        }
        EndLine();
    }

    void WriteVariables() {
        for (const auto& variable : file_.Variables()) {
            out_ += "EV_ ";
            out_ += variable->Name();
            out_ += ": ";
            AppendSigned(out_, variable->Type());
            out_ += " [";
            AppendFixed6(out_, variable->Minimum());
            out_ += '|';
            AppendFixed6(out_, variable->Maximum());
            out_ += "] ";
            Quoted(variable->Unit());
            out_ += ' ';
            AppendFixed6(out_, variable->InitialValue());
            out_ += ' ';
            Number(variable->Id());
            out_ += ' ';
            out_ += variable->AccessTypeToken();
            out_ += ' ';
            const auto& nodes = variable->AccessNodes();
            for (size_t i = 0; i < nodes.size(); ++i) {
                if (i) out_ += ", ";
                out_ += nodes[i];
            }
            Line(";");
        }
        EndLine();
    }

    void WriteVariableData() {
        for (const auto& variable : file_.Variables()) {
            if (!variable->DataSizeGiven()) continue;
            out_ += "ENVVAR_DATA_ ";
            out_ += variable->Name();
            out_ += ": ";
            Number(variable->DataSize());
            Line(";");
        }
        EndLine();
    }

    void CommentLine(std::string_view prefix, std::string_view text) {
        out_ += prefix;
        Quoted(text);
        Line(";");
    }

    void WriteComments() {
        CommentLine("CM_ ", file_.NetworkComment());
        EndLine();
        for (const auto& node : file_.Nodes()) {
            if (node->Comment().empty()) continue;
            out_ += "CM_ BU_ ";
            out_ += node->Name();
            CommentLine(" ", node->Comment());
        }
        EndLine();
        for (const auto& message : file_.Messages()) {
            if (message->Comment().empty()) continue;
            out_ += "CM_ BO_ ";
            Number(message->RawId());
            CommentLine(" ", message->Comment());
        }
        EndLine();
        for (const auto& message : file_.Messages()) {
            for (const auto& signal : message->Signals()) {
                if (signal->Comment().empty()) continue;
                out_ += "CM_ SG_ ";
                Number(message->RawId());
                out_ += ' ';
                out_ += signal->Name();
                CommentLine(" ", signal->Comment());
            }
        }
        EndLine();
        for (const auto& variable : file_.Variables()) {
            if (variable->Comment().empty()) continue;
            out_ += "CM_ EV_ ";
            out_ += variable->Name();
            CommentLine(" ", variable->Comment());
        }
        EndLine();
    }

    void WriteDefinitions() {
        for (const auto& definition : file_.Definitions()) {
            const int32_t objectType = definition->ObjectType();
            out_ += IsRelationObjectType(objectType) ? "BA_DEF_REL_ " : "BA_DEF_ ";
            if (objectType > kObjectNetwork) {
                out_ += ObjectTypeKeyword(objectType);
                out_ += ' ';
            }
            Quoted(definition->Name());
            out_ += ' ';
            const int32_t valueType = definition->ValueType();
            out_ += ValueTypeKeyword(valueType);
            const auto& values = definition->Values();
            if (valueType == kAttributeInteger || valueType == kAttributeHex ||
                valueType == kAttributeFloat) {
                for (size_t i = 0; i < values.size() && i < 2; ++i) {
                    out_ += ' ';
                    out_ += values[i];
                }
            } else if (valueType == kAttributeEnumeration) {
                out_ += ' ';
                for (size_t i = 0; i < values.size(); ++i) {
                    if (i) out_ += ',';
                    Quoted(values[i]);
                }
            }
            Line(";");
        }
        EndLine();
    }

    void WriteDefaults() {
        for (const auto& definition : file_.Definitions()) {
            if (definition->DefaultValue().empty()) continue;
            out_ += IsRelationObjectType(definition->ObjectType()) ? "BA_DEF_DEF_REL_  "
                                                                   : "BA_DEF_DEF_  ";
            Quoted(definition->Name());
            out_ += ' ';
            const int32_t type = definition->ValueType();
            if (type == kAttributeString || type == kAttributeEnumeration) {
                Quoted(definition->DefaultValue());
            } else {
                out_ += definition->DefaultValue();
            }
            Line(";");
        }
        EndLine();
    }

    // STRING values go in quotes; an ENUM value stays bare when it reads as an index (a number
    // of at least 1, or "0"), otherwise it is quoted; other types stand as they are.
    void AttributeValue(const DbcAttribute& attribute) {
        const auto& value = attribute.Value();
        const int32_t type = attribute.Definition() ? attribute.Definition()->ValueType() : -1;
        if (type == kAttributeString) {
            Quoted(value);
        } else if (type == kAttributeEnumeration) {
            if (StrToI32(value.c_str(), 10) >= 1 || value == "0") {
                out_ += value;
            } else {
                Quoted(value);
            }
        } else {
            out_ += value;
        }
        Line(";");
    }

    void AttributeStart(const DbcAttribute& attribute) {
        out_ += "BA_ ";
        Quoted(attribute.Name());
    }

    // Writes "BA_ "name" <object> value;" for each plain attribute of a list; the object part
    // comes from writeObject.
    template <class WriteObject>
    void ObjectAttributes(const DbcAttributeList& list, WriteObject writeObject) {
        for (const DbcAttribute* attribute : list.Items()) {
            if (attribute->RelationKind() >= 0) continue;
            AttributeStart(*attribute);
            writeObject();
            out_ += ' ';
            AttributeValue(*attribute);
        }
    }

    void WriteAttributeValues() {
        for (const DbcAttribute* attribute : file_.NetworkAttributes().Items()) {
            out_ += "BA_  ";
            Quoted(attribute->Name());
            out_ += ' ';
            AttributeValue(*attribute);
        }
        for (const auto& node : file_.Nodes()) {
            ObjectAttributes(node->Attributes(), [&] {
                out_ += " BU_ ";
                out_ += node->Name();
            });
        }
        for (const auto& message : file_.Messages()) {
            ObjectAttributes(message->Attributes(), [&] {
                out_ += " BO_ ";
                Number(message->RawId());
            });
        }
        for (const auto& message : file_.Messages()) {
            for (const auto& signal : message->Signals()) {
                ObjectAttributes(signal->Attributes(), [&] {
                    out_ += " SG_ ";
                    Number(message->RawId());
                    out_ += ' ';
                    out_ += signal->Name();
                });
            }
        }
        for (const auto& variable : file_.Variables()) {
            ObjectAttributes(variable->Attributes(), [&] {
                out_ += " EV_ ";
                out_ += variable->Name();
            });
        }
    }

    void WriteRelationValue(const DbcNode& node, const DbcAttribute& attribute) {
        out_ += "BA_REL_ ";
        Quoted(attribute.Name());
        switch (attribute.RelationKind()) {
            case kObjectNodeTxMessage: {
                const auto& relation = static_cast<const DbcNodeTxMsgRelAttribute&>(attribute);
                out_ += " BU_BO_REL_ ";
                out_ += node.Name();
                out_ += ' ';
                Number(relation.MessageId());
                break;
            }
            case kObjectNodeRxSignal: {
                const auto& relation = static_cast<const DbcNodeRxSigRelAttribute&>(attribute);
                out_ += " BU_SG_REL_ ";
                out_ += node.Name();
                out_ += " SG_ ";
                Number(relation.MessageId());
                out_ += ' ';
                out_ += relation.SignalName();
                break;
            }
            default: {
                const auto& relation = static_cast<const DbcNodeEnvVarRelAttribute&>(attribute);
                out_ += " BU_EV_REL_ ";
                out_ += node.Name();
                out_ += ' ';
                out_ += relation.VariableName();
                break;
            }
        }
        out_ += ' ';
        AttributeValue(attribute);
    }

    void WriteRelationValues() {
        for (const auto& node : file_.Nodes()) {
            for (const DbcAttribute* attribute : node->Attributes().Items()) {
                if (attribute->RelationKind() >= 0) WriteRelationValue(*node, *attribute);
            }
        }
    }

    // The described writer writes each value's 32-bit form ("-1" as 4294967295); a file read
    // tolerantly writes the values as read (a "-1" stays "-1"), which for values that all fit
    // their 32-bit form is the same text.
    void DescriptionPairs(const DbcValueDescriptions& descriptions) {
        if (!file_.Tolerant()) {
            for (const auto& [value, description] : descriptions.Entries()) {
                out_ += ' ';
                Number(value);
                out_ += ' ';
                Quoted(description);
            }
            Line(";");
            return;
        }
        for (uint64_t i = 0; i < descriptions.ExactCount(); ++i) {
            const std::string_view text = descriptions.ExactDescriptionAt(i);
            out_ += ' ';
            AppendExactValue(out_, descriptions.ExactValueAt(i));
            out_ += ' ';
            EscapedQuoted(text);
        }
        Line(";");
    }

    // Tolerant reading keeps "\"" of a description as a quote; it is written escaped again.
    void EscapedQuoted(std::string_view text) {
        out_ += '"';
        for (char c : text) {
            if (c == '"') out_ += '\\';
            out_ += c;
        }
        out_ += '"';
    }

    // "SG_MUL_VAL_" lines; only tolerant reading fills extended multiplexing, so a file of the
    // exact reader writes none.
    void WriteExtendedMultiplexing() {
        bool any = false;
        for (const auto& message : file_.Messages()) {
            for (const auto& signal : message->Signals()) {
                const DbcSignal* multiplexer = signal->ExtendedMultiplexer();
                if (!multiplexer || signal->MultiplexRanges().empty()) continue;
                out_ += "SG_MUL_VAL_ ";
                Number(message->RawId());
                out_ += ' ';
                out_ += signal->Name();
                out_ += ' ';
                out_ += multiplexer->Name();
                const char* separator = " ";
                for (const DbcSignal::MultiplexRange& range : signal->MultiplexRanges()) {
                    out_ += separator;
                    Number(range.minimum);
                    out_ += '-';
                    Number(range.maximum);
                    separator = ", ";
                }
                Line(";");
                any = true;
            }
        }
        if (any) EndLine();
    }

    void WriteValueDescriptions() {
        for (const auto& message : file_.Messages()) {
            for (const auto& signal : message->Signals()) {
                if (signal->ValueDescriptions().Empty()) continue;
                out_ += "VAL_ ";
                Number(message->RawId());
                out_ += ' ';
                out_ += signal->Name();
                DescriptionPairs(signal->ValueDescriptions());
            }
        }
        for (const auto& variable : file_.Variables()) {
            if (variable->ValueDescriptions().Empty()) continue;
            out_ += "VAL_ ";
            out_ += variable->Name();
            DescriptionPairs(variable->ValueDescriptions());
        }
        EndLine();
    }

    void WriteValueTypes() {
        for (const auto& message : file_.Messages()) {
            for (const auto& signal : message->Signals()) {
                if (!signal->ExtendedValueTypeGiven()) continue;
                out_ += "SIG_VALTYPE_ ";
                Number(message->RawId());
                out_ += ' ';
                out_ += signal->Name();
                out_ += " : ";
                AppendSigned(out_, signal->ExtendedValueType());
                Line(";");
            }
        }
    }

    void WriteSignalGroups() {
        for (const auto& message : file_.Messages()) {
            for (const auto& group : message->SignalGroups()) {
                out_ += "SIG_GROUP_ ";
                Number(message->RawId());
                out_ += ' ';
                out_ += group->Name();
                out_ += ' ';
                Number(group->Repetitions());
                out_ += " :";
                for (const DbcSignal* signal : group->Signals()) {
                    out_ += ' ';
                    out_ += signal->Name();
                }
                Line(";");
            }
        }
    }

    const NetConfigDbcFile& file_;
    std::string out_;
};

}  // namespace

std::string RenderDbcText(const NetConfigDbcFile& file) {
    return DbcTextWriter(file).Render();
}

}  // namespace qm::dbc
