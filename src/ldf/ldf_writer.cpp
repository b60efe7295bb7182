#include "ldf/ldf_writer.h"

#include "ldf/ldf_line_source.h"
#include "ldf/ldf_numbers.h"

namespace qm::ldf {

namespace {

constexpr std::string_view kEol = "\r\n";

// Appends pieces to one text; numbers in the formats of the LDF text form.
class LdfTextOut {
  public:
    LdfTextOut& operator<<(std::string_view text) {
        out.append(text);
        return *this;
    }
    LdfTextOut& Decimal(uint64_t value, std::string_view before = {}) {
        out.append(before);
        AppendDecimal(out, value);
        return *this;
    }
    LdfTextOut& Real(double value) {
        AppendReal(out, value);
        return *this;
    }
    LdfTextOut& Hex(uint64_t value, int width, std::string_view before = {}) {
        out.append(before);
        AppendHex(out, value, width);
        return *this;
    }
    template <class List, class Name>
    LdfTextOut& Joined(const List& list, std::string_view separator, Name name) {
        bool first = true;
        for (const auto& item : list) {
            if (!first) out.append(separator);
            out.append(name(item));
            first = false;
        }
        return *this;
    }

    std::string out;
};

template <class T>
std::string_view NameOf(const T* object) {
    return object ? std::string_view(object->name) : std::string_view();
}

void WriteHeader(LdfTextOut& w, const LdfModel& m) {
    for (const std::string& comment : m.comments) w << comment << kEol;
    w << "LIN_description_file ;" << kEol;
    w << "LIN_protocol_version = \"" << m.protocolVersion << "\";" << kEol;
    w << "LIN_language_version = \"" << m.languageVersion << "\";" << kEol;
    if (!m.fileRevision.empty()) w << "LDF_file_revision = \"" << m.fileRevision << "\";" << kEol;
    w << "LIN_speed = ";
    w.Real(m.speed) << " kbps;" << kEol;
    w << "Channel_name = \"" << m.channelName << "\";" << kEol;
    if (m.bigEndian) w << "LIN_sig_byte_order_big_endian;" << kEol;
}

void WriteNodes(LdfTextOut& w, const LdfModel& m) {
    if (!m.masterNode) return;
    const LdfMasterNode& master = *m.masterNode;
    w << "Nodes {" << kEol << "\tMaster: " << master.name << ", ";
    w.Real(master.timeBase) << " ms, ";
    w.Real(master.jitter) << " ms";
    if (master.HasBitLength()) w.Decimal(master.bitLength, ", ") << " bits";
    if (master.HasTolerant()) w.Decimal(master.tolerant, ", ") << " %";
    w << ";" << kEol << "\tSlaves: ";
    w.Joined(m.slaveNodes, ", ", NameOf<LdfSlaveNode>) << ";" << kEol << "}" << kEol;
}

void WriteComposite(LdfTextOut& w, const LdfModel& m) {
    if (m.configurations.empty()) return;
    w << "composite {" << kEol;
    for (const auto& configuration : m.configurations) {
        w << "\tconfiguration " << configuration->name << " {" << kEol;
        for (const auto& group : configuration->groups) {
            w << "\t\t" << NameOf(group->compositeNode) << " {" << kEol << "\t\t\t";
            w.Joined(group->logicalNodes, ", ", NameOf<LdfNode>) << ";" << kEol;
            w << "\t\t}" << kEol;
        }
        w << "\t}" << kEol;
    }
    w << "}" << kEol;
}

void WriteDiagnosticAddresses(LdfTextOut& w, const LdfModel& m) {
    bool any = false;
    for (const auto& node : m.nodes) any = any || node->HasDiagnosticAddress();
    if (!any) return;
    w << "Diagnostic_addresses {" << kEol;
    for (const auto& node : m.nodes) {
        if (!node->HasDiagnosticAddress()) continue;
        w << "\t" << node->name << ":";
        w.Decimal(node->diagnosticAddress) << ";" << kEol;
    }
    w << "}" << kEol;
}

void WriteInitialValues(LdfTextOut& w, const InitialValues& values) {
    if (values.size() == 1) {
        w.Decimal(values[0]) << ",";
        return;
    }
    if (values.empty()) {
        // A signal needs an initial value to be read back; 0 stands for none.
        w << "0,";
        return;
    }
    w << "{";
    w.Joined(values, ",", [](uint16_t value) { return std::to_string(value); }) << "},";
}

void WriteSignals(LdfTextOut& w, const LdfModel& m) {
    w << "Signals {" << kEol;
    for (const auto& signal : m.standardSignals) {
        w << "\t" << signal->name << ": ";
        w.Decimal(signal->size) << ", ";
        WriteInitialValues(w, signal->initialValues);
        w << " " << NameOf(signal->publisher);
        if (!signal->subscribers.empty()) {
            w << ", ";
            w.Joined(signal->subscribers, ", ", NameOf<LdfNode>);
        }
        w << ";" << kEol;
    }
    w << "}" << kEol;
}

void WriteDiagnosticSignals(LdfTextOut& w, const LdfModel& m) {
    if (m.diagnosticSignals.empty()) return;
    w << "Diagnostic_signals {" << kEol;
    for (const auto& signal : m.diagnosticSignals) {
        w << "\t\t" << signal->name << ":";
        w.Decimal(signal->size) << ",";
        if (signal->initialValues.size() == 1) {
            w.Decimal(signal->initialValues[0]);
        } else if (signal->initialValues.empty()) {
            w << "0";
        } else {
            w << "{";
            w.Joined(signal->initialValues, ",", [](uint16_t v) { return std::to_string(v); })
                << "}";
        }
        w << ";" << kEol;
    }
    w << "}" << kEol;
}

void WriteFrames(LdfTextOut& w, const LdfModel& m) {
    w << "Frames {" << kEol;
    for (const auto& frame : m.unconditionalFrames) {
        w << "\t" << frame->name << ": ";
        w.Decimal(frame->frameId) << ", " << NameOf(frame->publisher) << ", ";
        w.Decimal(frame->length) << " {" << kEol;
        for (const LdfStandardSignal* signal : frame->signals) {
            w << "\t\t" << signal->name << ", ";
            w.Decimal(signal->bitOffset) << ";" << kEol;
        }
        w << "\t}" << kEol;
    }
    w << "}" << kEol;
}

void WriteSporadicFrames(LdfTextOut& w, const LdfModel& m) {
    if (m.sporadicFrames.empty()) return;
    w << "Sporadic_frames {" << kEol;
    for (const auto& frame : m.sporadicFrames) {
        w << "\t" << frame->name << ": ";
        w.Joined(frame->associated.frames, ", ", NameOf<LdfUnconditionalFrame>) << ";" << kEol;
    }
    w << "}" << kEol;
}

void WriteEventTriggeredFrames(LdfTextOut& w, const LdfModel& m) {
    if (m.eventTriggeredFrames.empty()) return;
    w << "Event_triggered_frames {" << kEol;
    for (const auto& frame : m.eventTriggeredFrames) {
        w << "\t" << frame->name << ": ";
        if (frame->collisionTable) w << frame->collisionTable->name << ", ";
        w.Hex(frame->frameId, 2) << ", ";
        w.Joined(frame->associated.frames, ", ", NameOf<LdfUnconditionalFrame>) << ";" << kEol;
    }
    w << "}" << kEol;
}

void WriteDiagnosticFrames(LdfTextOut& w, const LdfModel& m) {
    if (m.diagnosticFrames.empty()) return;
    w << "Diagnostic_frames {" << kEol;
    for (const auto& frame : m.diagnosticFrames) {
        w << "\t" << frame->name << ": ";
        w.Hex(frame->frameId, 2) << " {" << kEol;
        // The model keeps no offsets of diagnostic signals: they follow each other.
        uint64_t offset = 0;
        for (const LdfDiagnosticSignal* signal : frame->signals) {
            w << "\t\t" << signal->name << ", ";
            w.Decimal(offset) << ";" << kEol;
            offset += signal->size;
        }
        w << "\t}" << kEol;
    }
    w << "}" << kEol;
}

void WriteTime(LdfTextOut& w, std::string_view label, uint8_t given, double value) {
    if (!given) return;
    w << "\t\t" << label << " = ";
    w.Real(value) << " ms;" << kEol;
}

void WriteSlaveAttributes(LdfTextOut& w, const LdfSlaveNode& slave) {
    w << "\t" << slave.name << " {" << kEol;
    w << "\t\tLIN_protocol = " << slave.linProtocol << ";" << kEol;
    w << "\t\tconfigured_NAD=";
    w.Hex(slave.configuredNad, 2) << ";" << kEol;
    if (slave.initialNadGiven) w.Hex(slave.initialNad, 2, "\t\tinitial_NAD=") << ";" << kEol;
    if (slave.productId) {
        w << "\t\tproduct_id=";
        w.Hex(slave.productId->supplierId, 4) << ", ";
        w.Hex(slave.productId->functionId, 4);
        if (slave.productId->variantGiven) w.Hex(slave.productId->variant, 2, ", ");
        w << ";" << kEol;
    }
    if (slave.responseErrorSignal) {
        w << "\t\tresponse_error =" << slave.responseErrorSignal->name << ";" << kEol;
    }
    if (slave.faultStateSignalsGiven) {
        w << "\t\tfault_state_signals = ";
        w.Joined(slave.faultStateSignals, ", ", NameOf<LdfStandardSignal>) << ";" << kEol;
    }
    WriteTime(w, "P2_min", slave.p2MinGiven, slave.p2Min);
    WriteTime(w, "ST_min", slave.stMinGiven, slave.stMin);
    WriteTime(w, "N_As_timeout", slave.nAsTimeoutGiven, slave.nAsTimeout);
    WriteTime(w, "N_Cr_timeout", slave.nCrTimeoutGiven, slave.nCrTimeout);
    if (slave.responseToleranceGiven) {
        w << "\t\tresponse_tolerance = ";
        w.Decimal(slave.responseTolerance) << " % ;" << kEol;
    }
    if (!slave.configurableFrames.empty()) {
        w << "\t\tconfigurable_frames {" << kEol;
        for (const auto& entry : slave.configurableFrames) {
            w << "\t\t\t"
              << (entry->frame ? std::string_view(entry->frame->name)
                               : std::string_view(entry->frameName));
            if (entry->messageIdGiven) w.Hex(entry->messageId, 4, " = ");
            w << ";" << kEol;
        }
        w << "\t\t}" << kEol;
    }
    w << "\t}" << kEol;
}

void WriteNodeAttributes(LdfTextOut& w, const LdfModel& m) {
    if (m.slaveNodes.empty()) return;
    w << "Node_attributes {" << kEol;
    for (const LdfSlaveNode* slave : m.slaveNodes) WriteSlaveAttributes(w, *slave);
    w << "}" << kEol;
}

template <size_t N>
void WriteBytes(LdfTextOut& w, const std::array<uint8_t, N>& bytes) {
    w.Joined(bytes, ", ", [](uint8_t value) { return std::to_string(value); });
}

void WriteEntry(LdfTextOut& w, const ScheduleTableCommand& command) {
    switch (command.commandKind) {
        case kLdfCommandFrame:
            w << "\t\t" << NameOf(static_cast<const FrameCommand&>(command).frame) << " ";
            return;
        case kLdfCommandAssignNad:
            w << "\t\tAssignNAD {" << NameOf(static_cast<const AssignNadCommand&>(command).node)
              << "} ";
            return;
        case kLdfCommandConditionalChangeNad:
            w << "\t\tConditionalChangeNAD {";
            WriteBytes(w, static_cast<const ConditionalChangeNadCommand&>(command).bytes);
            w << "} ";
            return;
        case kLdfCommandDataDump: {
            const auto& dump = static_cast<const DataDumpCommand&>(command);
            w << "\t\tDataDump {" << NameOf(dump.node) << ", ";
            WriteBytes(w, dump.data);
            w << "} ";
            return;
        }
        case kLdfCommandSaveConfiguration:
            w << "\t\tSaveConfiguration {"
              << NameOf(static_cast<const SaveConfigurationCommand&>(command).node) << "} ";
            return;
        case kLdfCommandAssignFrameIdRange: {
            const auto& range = static_cast<const AssignFrameIdRangeCommand&>(command);
            w << "\t\tAssignFrameIdRange {" << NameOf(range.node) << ", ";
            w.Decimal(range.frameIndex);
            if (range.pidsGiven) {
                w << ", ";
                WriteBytes(w, range.pids);
            }
            w << "} ";
            return;
        }
        case kLdfCommandFreeFormat:
            w << "\t\tFreeFormat {";
            WriteBytes(w, static_cast<const FreeFormatCommand&>(command).data);
            w << "} ";
            return;
        case kLdfCommandAssignFrameId: {
            const auto& assign = static_cast<const AssignFrameIdCommand&>(command);
            w << "\t\tAssignFrameId {" << NameOf(assign.node) << ", " << NameOf(assign.frame)
              << "} ";
            return;
        }
        case kLdfCommandUnassignFrameId: {
            const auto& unassign = static_cast<const UnassignFrameIdCommand&>(command);
            w << "\t\tUnassignFrameId {" << NameOf(unassign.node) << ", " << NameOf(unassign.frame)
              << "} ";
            return;
        }
        default:
            return;
    }
}

void WriteScheduleTables(LdfTextOut& w, const LdfModel& m) {
    if (m.scheduleTables.empty()) return;
    w << "Schedule_tables {" << kEol;
    for (const auto& table : m.scheduleTables) {
        w << "\t" << table->name << " {" << kEol;
        for (const auto& task : table->tasks) {
            if (!task->command) continue;
            WriteEntry(w, *task->command);
            w << "delay ";
            w.Real(task->delay) << " ms;" << kEol;
        }
        w << "\t}" << kEol;
    }
    w << "}" << kEol;
}

void WriteSignalGroups(LdfTextOut& w, const LdfModel& m) {
    if (m.signalGroups.empty()) return;
    w << "Signal_groups {" << kEol;
    for (const auto& group : m.signalGroups) {
        w << "\t" << group->name << " : ";
        w.Decimal(group->size) << " {" << kEol;
        for (const LdfStandardSignal* signal : group->signals) {
            w << "\t\t" << signal->name << ", ";
            w.Decimal(signal->groupOffset) << ";" << kEol;
        }
        w << "\t}" << kEol;
    }
    w << "}" << kEol;
}

void WriteValue(LdfTextOut& w, const LdfValue& value) {
    switch (value.valueKind) {
        case kLdfValueLogical: {
            const auto& logical = static_cast<const LdfLogicalValue&>(value);
            w << "\t\tlogical_value, ";
            w.Decimal(logical.signalValue) << ", \"" << logical.textInfo << "\";" << kEol;
            return;
        }
        case kLdfValuePhysical: {
            const auto& physical = static_cast<const LdfPhysicalValue&>(value);
            w << "\t\tphysical_value, ";
            w.Decimal(physical.minimum) << ", ";
            w.Decimal(physical.maximum) << ", ";
            w.Real(physical.scale) << ", ";
            w.Real(physical.offset) << ", \"" << physical.textInfo << "\";" << kEol;
            return;
        }
        case kLdfValueAscii:
            w << "\t\tascii_value ;" << kEol;
            return;
        case kLdfValueBcd:
            w << "\t\tbcd_value ;" << kEol;
            return;
        default:
            return;
    }
}

void WriteEncodingTypes(LdfTextOut& w, const LdfModel& m) {
    if (m.encodingTypes.empty()) return;
    w << "Signal_encoding_types {" << kEol;
    for (const auto& encoding : m.encodingTypes) {
        w << "\t" << encoding->name << " {" << kEol;
        for (const auto& value : encoding->values) WriteValue(w, *value);
        w << "\t}" << kEol;
    }
    w << "}" << kEol;
}

void WriteRepresentations(LdfTextOut& w, const LdfModel& m) {
    w << "Signal_representation {" << kEol;
    for (const auto& representation : m.representations) {
        w << "\t" << NameOf(representation->encodingType) << ": ";
        w.Joined(representation->signals, ", ", NameOf<LdfStandardSignal>) << ";" << kEol;
    }
    w << "}" << kEol;
}

}  // namespace

std::string WriteLdfText(const LdfModel& model) {
    LdfTextOut w;
    w.out.reserve(4096 + model.standardSignals.size() * 64 +
                  model.unconditionalFrames.size() * 128);
    WriteHeader(w, model);
    WriteNodes(w, model);
    WriteComposite(w, model);
    WriteDiagnosticAddresses(w, model);
    WriteSignals(w, model);
    WriteDiagnosticSignals(w, model);
    WriteFrames(w, model);
    WriteSporadicFrames(w, model);
    WriteEventTriggeredFrames(w, model);
    WriteDiagnosticFrames(w, model);
    WriteNodeAttributes(w, model);
    WriteScheduleTables(w, model);
    WriteSignalGroups(w, model);
    WriteEncodingTypes(w, model);
    WriteRepresentations(w, model);
    return std::move(w.out);
}

}  // namespace qm::ldf
