#include "dbc/dbc_info_text.h"

#include <cstdio>

#include "dbc/dbc_enums.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

std::string Real(double value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof(buffer), "%f", value);
    return n > 0 && n < static_cast<int>(sizeof(buffer))
               ? std::string(buffer, static_cast<size_t>(n))
               : std::to_string(value);
}

class InfoTextWriter {
  public:
    explicit InfoTextWriter(const NetConfigDbcFile& file) : file_(file) {}

    std::string Render() {
        WriteNodes();
        WriteValueTables();
        WriteMessages();
        WriteVariables();
        return std::move(out_);
    }

  private:
    void Field(std::string_view label, std::string_view value) {
        out_ += label;
        out_ += value;
        out_ += '\n';
    }

    void WriteNodes() {
        size_t index = 0;
        for (const auto& node : file_.Nodes()) {
            out_ += "Node[" + std::to_string(index++) + "]: ";
            Field("", node->Name());
        }
    }

    void WriteValueTables() {
        if (file_.ValueTables().empty()) return;
        out_ += "Global value table:\n";
        for (const auto& table : file_.ValueTables()) {
            Field("\tName: ", table->Name());
            for (const auto& [value, description] : table->Values()) {
                Field("\t\t[" + std::to_string(value) + "]   ", description);
            }
        }
    }

    void WriteSignal(size_t index, const DbcSignal& signal) {
        Field("\t\tSignal[" + std::to_string(index) + "]: ", signal.Name());
        Field("\t\t\tMux signal type: ", MultiplexingKindText(signal.MultiplexingKind()));
        Field("\t\t\tMultiplex value: ", std::to_string(signal.MultiplexValue()));
        Field("\t\t\tMux indicator: ", signal.MultiplexIndicator());
        Field("\t\t\tBit length: ", std::to_string(signal.BitLength()));
        Field("\t\t\tStart bit: ", std::to_string(signal.StartBit()));
        Field("\t\t\tMin value: ", Real(signal.Minimum().value));
        Field("\t\t\tMax value: ", Real(signal.Maximum().value));
        Field("\t\t\tFactor: ", Real(signal.Factor().value));
        Field("\t\t\tOffset: ", Real(signal.Offset().value));
        Field("\t\t\tByte order: ", ByteOrderText(signal.ByteOrder()));
        Field("\t\t\tExtended value type: ", ExtendedValueTypeText(signal.ExtendedValueType()));
        Field("\t\t\tEncoding: ", ValueTypeText(signal.ValueType()));
    }

    void WriteMessages() {
        size_t index = 0;
        for (const auto& message : file_.Messages()) {
            Field("Msg[" + std::to_string(index++) + "]: ", message->Name());
            Field("\tID: ", std::to_string(message->RawId() & 0x7FFFFFFF));
            Field("\tByte length: ", std::to_string(message->Size()));
            Field("\tSender: ", message->Transmitter() ? message->Transmitter()->Name() : "");
            out_ += "\tSignals:\n";
            size_t signalIndex = 0;
            for (const auto& signal : message->Signals()) WriteSignal(signalIndex++, *signal);
        }
    }

    void WriteVariables() {
        size_t index = 0;
        for (const auto& variable : file_.Variables()) {
            Field("Ev[" + std::to_string(index++) + "]: ", variable->Name());
            Field("\tType: ", EnvironmentTypeText(variable->Type()));
            Field("\tMinimum: ", Real(variable->Minimum()));
            Field("\tMaximum: ", Real(variable->Maximum()));
            Field("\tUnit: \"", variable->Unit() + "\"");
            Field("\tInitial value: ", Real(variable->InitialValue()));
            Field("\tId: ", std::to_string(variable->Id()));
            Field("\tAccess type: ", variable->AccessTypeToken());
            std::string nodes;
            for (const std::string& node : variable->AccessNodes()) {
                if (!nodes.empty()) nodes += ", ";
                nodes += node;
            }
            Field("\tAccess nodes: ", nodes);
            Field("\tData size: ", std::to_string(variable->DataSize()));
            Field("\tDescription text: \"", variable->Comment() + "\"");
            std::string values;
            for (const auto& [value, text] : variable->ValueDescriptions().Entries()) {
                values += "[" + std::to_string(value) + "] " + text + " ";
            }
            Field("\tValue table: ", values);
        }
    }

    const NetConfigDbcFile& file_;
    std::string out_;
};

}  // namespace

std::string RenderInfoText(const NetConfigDbcFile& file) {
    return InfoTextWriter(file).Render();
}

}  // namespace qm::dbc
