// Building the "LDF" container element from the model.
#include <string>

#include "ldf/ldf_container.h"
#include "xml/container_fields.h"

namespace qm::ldf {

namespace {

using xml::AddNumberChild;
using xml::AddRealChild;
using xml::AddTextChild;

template <class T>
std::string_view NameOf(const T* object) {
    return object ? std::string_view(object->name) : std::string_view();
}

const char* Flag(bool value) {
    return value ? "true" : "false";
}

// A list of signals with their offsets: children "Signal" holding "Name" and "Offset" (every
// value of the subtree is the text of an element).
NanoXML* AddPlacedSignal(NanoXML* list, std::string_view name, uint64_t offset) {
    NanoXML* element = list->AddChild("Signal", "", 0);
    AddTextChild(element, "Name", name);
    AddNumberChild(element, "Offset", offset);
    return element;
}

void AddMilliseconds(NanoXML* parent, const char* name, uint8_t given, double value) {
    if (!given) return;
    AddTextChild(parent, name, xml::FormatFixed6(value) + " ms");
}

void AddMaster(NanoXML* nodes, const LdfMasterNode& master) {
    NanoXML* element = nodes->AddChild("Master", "", 0);
    AddTextChild(element, "Name", master.name);
    AddRealChild(element, "Time-base", master.timeBase);
    AddRealChild(element, "Jitter", master.jitter);
    if (master.HasBitLength()) AddNumberChild(element, "Bit-length", master.bitLength);
    if (master.HasTolerant()) AddNumberChild(element, "Tolerant", master.tolerant);
    AddNumberChild(element, "Diagnostic-address", master.diagnosticAddress);
}

void AddSlaveAttributes(NanoXML* slave, const LdfSlaveNode& node) {
    NanoXML* attributes = slave->AddChild("Attributes", "", 0);
    AddTextChild(attributes, "Lin_protocol", node.linProtocol);
    AddNumberChild(attributes, "Configured_NAD", node.configuredNad);
    if (node.initialNadGiven) AddNumberChild(attributes, "Initial_NAD", node.initialNad);
    if (node.productId) {
        NanoXML* product = attributes->AddChild("Product-ID", "", 0);
        AddNumberChild(product, "Supplier-ID", node.productId->supplierId);
        AddNumberChild(product, "Function-ID", node.productId->functionId);
        if (node.productId->variantGiven) {
            AddNumberChild(product, "Variant-ID", node.productId->variant);
        }
    }
    if (node.responseErrorSignal) {
        AddTextChild(attributes, "Response_error", node.responseErrorSignal->name);
    }
    NanoXML* faults = attributes->AddChild("Fault_state_signals", "", 0);
    for (const LdfStandardSignal* signal : node.faultStateSignals) {
        AddTextChild(faults, "Name", signal->name);
    }
    AddMilliseconds(attributes, "P2_min", node.p2MinGiven, node.p2Min);
    AddMilliseconds(attributes, "ST_min", node.stMinGiven, node.stMin);
    AddMilliseconds(attributes, "N_As_Timeout", node.nAsTimeoutGiven, node.nAsTimeout);
    AddMilliseconds(attributes, "N_Cr_Timeout", node.nCrTimeoutGiven, node.nCrTimeout);
    if (node.responseToleranceGiven) {
        AddTextChild(attributes, "Response_tolerance",
                     std::to_string(node.responseTolerance) + "%");
    }
    NanoXML* frames = attributes->AddChild("Configurable_frames", "", 0);
    for (const auto& entry : node.configurableFrames) {
        NanoXML* frame = frames->AddChild("Configurable_frame", "", 0);
        AddTextChild(frame, "Name", entry->frame ? entry->frame->name : entry->frameName);
        if (entry->messageIdGiven) AddNumberChild(frame, "Message-ID", entry->messageId);
    }
}

void AddNodes(NanoXML* ldf, const LdfModel& model) {
    NanoXML* nodes = ldf->AddChild("Nodes", "", 0);
    if (model.masterNode) AddMaster(nodes, *model.masterNode);
    NanoXML* slaves = nodes->AddChild("Slaves", "", 0);
    for (const LdfSlaveNode* node : model.slaveNodes) {
        NanoXML* slave = slaves->AddChild("Slave", "", 0);
        AddTextChild(slave, "Name", node->name);
        AddSlaveAttributes(slave, *node);
        AddNumberChild(slave, "Diagnostic-address", node->diagnosticAddress);
    }
}

void AddComposite(NanoXML* ldf, const LdfModel& model) {
    if (model.configurations.empty()) return;
    NanoXML* composite = ldf->AddChild("Composite", "", 0);
    for (const auto& configuration : model.configurations) {
        NanoXML* element = composite->AddChild("Configuration", "", 0);
        AddTextChild(element, "Name", configuration->name);
        NanoXML* composites = element->AddChild("Composite-nodes", "", 0);
        for (const auto& group : configuration->groups) {
            NanoXML* node = composites->AddChild("Composite_node", "", 0);
            AddTextChild(node, "Name", NameOf(group->compositeNode));
            NanoXML* logical = node->AddChild("Logical-nodes", "", 0);
            for (const LdfNode* member : group->logicalNodes) {
                AddTextChild(logical, "Logical-node", NameOf(member));
            }
        }
    }
}

void AddSignals(NanoXML* ldf, const LdfModel& model) {
    NanoXML* signals = ldf->AddChild("Signals", "", 0);
    for (const auto& signal : model.standardSignals) {
        NanoXML* element = signals->AddChild("Signal", "", 0);
        AddTextChild(element, "Name", signal->name);
        AddNumberChild(element, "Size", signal->size);
        NanoXML* values = element->AddChild("Initial-values", "", 0);
        for (uint16_t value : signal->initialValues) AddNumberChild(values, "Initial-value", value);
        AddTextChild(element, "Publisher",
                     signal->publisher ? signal->publisher->name : signal->publisherName);
        NanoXML* subscribers = element->AddChild("Subscribers", "", 0);
        for (const LdfNode* node : signal->subscribers) {
            AddTextChild(subscribers, "Subscriber", node->name);
        }
    }
    NanoXML* diagnostic = ldf->AddChild("Diagnostic-signals", "", 0);
    for (const auto& signal : model.diagnosticSignals) {
        NanoXML* element = diagnostic->AddChild("Diagnostic-signal", "", 0);
        AddTextChild(element, "Name", signal->name);
        AddNumberChild(element, "Size", signal->size);
        AddNumberChild(element, "Initial-value",
                       signal->initialValues.empty() ? 0 : signal->initialValues.front());
    }
}

void AddAssociatedFrames(NanoXML* element, const AssociatedFrames& associated) {
    NanoXML* frames = element->AddChild("Frames", "", 0);
    for (const LdfUnconditionalFrame* frame : associated.frames) {
        AddTextChild(frames, "Frame", frame->name);
    }
}

void AddFrames(NanoXML* ldf, const LdfModel& model) {
    NanoXML* frames = ldf->AddChild("Frames", "", 0);
    for (const auto& frame : model.unconditionalFrames) {
        NanoXML* element = frames->AddChild("Frame", "", 0);
        AddTextChild(element, "Name", frame->name);
        AddNumberChild(element, "ID", frame->frameId);
        AddTextChild(element, "Publisher",
                     frame->publisher ? frame->publisher->name : frame->publisherName);
        AddNumberChild(element, "Size", frame->length);
        NanoXML* signals = element->AddChild("Signals", "", 0);
        for (const LdfStandardSignal* signal : frame->signals) {
            AddPlacedSignal(signals, signal->name, signal->bitOffset);
        }
        AddTextChild(element, "Dynamic", Flag(frame->dynamic != 0));
    }
    if (!model.sporadicFrames.empty()) {
        NanoXML* sporadic = ldf->AddChild("Sporadic-frames", "", 0);
        for (const auto& frame : model.sporadicFrames) {
            NanoXML* element = sporadic->AddChild("Sporadic-frame", "", 0);
            AddTextChild(element, "Name", frame->name);
            AddAssociatedFrames(element, frame->associated);
        }
    }
    if (!model.eventTriggeredFrames.empty()) {
        NanoXML* event = ldf->AddChild("Event-triggered-frames", "", 0);
        for (const auto& frame : model.eventTriggeredFrames) {
            NanoXML* element = event->AddChild("Event-triggered-frame", "", 0);
            AddTextChild(element, "Name", frame->name);
            AddTextChild(element, "Collision_resolving_schedule_table",
                         NameOf(frame->collisionTable));
            AddNumberChild(element, "ID", frame->frameId);
            AddAssociatedFrames(element, frame->associated);
        }
    }
    NanoXML* diagnostic = ldf->AddChild("Diagnostic-frames", "", 0);
    for (const auto& frame : model.diagnosticFrames) {
        NanoXML* element = diagnostic->AddChild("Diagnostic-frame", "", 0);
        AddTextChild(element, "Name", frame->name);
        AddNumberChild(element, "ID", frame->frameId);
        NanoXML* signals = element->AddChild("Diagnostic-signals", "", 0);
        // The model keeps no offsets of diagnostic signals: they follow each other.
        uint64_t offset = 0;
        for (const LdfDiagnosticSignal* signal : frame->signals) {
            AddPlacedSignal(signals, signal->name, offset);
            offset += signal->size;
        }
    }
}

template <size_t N>
void AddBytes(NanoXML* element, const std::array<uint8_t, N>& bytes) {
    for (uint8_t byte : bytes) AddNumberChild(element, "Byte", byte);
}

void AddCommand(NanoXML* task, const ScheduleTableCommand& command) {
    switch (command.commandKind) {
        case kLdfCommandFrame:
            AddTextChild(task, "Command", NameOf(static_cast<const FrameCommand&>(command).frame));
            return;
        case kLdfCommandAssignNad: {
            NanoXML* element = task->AddChild("AssignNAD", "", 0);
            AddTextChild(element, "Node",
                         NameOf(static_cast<const AssignNadCommand&>(command).node));
            return;
        }
        case kLdfCommandConditionalChangeNad: {
            const auto& change = static_cast<const ConditionalChangeNadCommand&>(command);
            NanoXML* element = task->AddChild("ConditionalChangeNAD", "", 0);
            static const char* const kNames[] = {"NAD", "Id", "Byte", "Mask", "Inv", "New_NAD"};
            for (size_t i = 0; i < change.bytes.size(); ++i) {
                AddNumberChild(element, kNames[i], change.bytes[i]);
            }
            return;
        }
        case kLdfCommandDataDump: {
            const auto& dump = static_cast<const DataDumpCommand&>(command);
            NanoXML* element = task->AddChild("DataDump", "", 0);
            AddTextChild(element, "Node", NameOf(dump.node));
            AddBytes(element, dump.data);
            return;
        }
        case kLdfCommandSaveConfiguration: {
            NanoXML* element = task->AddChild("SaveConfiguration", "", 0);
            AddTextChild(element, "Node",
                         NameOf(static_cast<const SaveConfigurationCommand&>(command).node));
            return;
        }
        case kLdfCommandAssignFrameIdRange: {
            const auto& range = static_cast<const AssignFrameIdRangeCommand&>(command);
            NanoXML* element = task->AddChild("AssignFrameIdRange", "", 0);
            AddTextChild(element, "Node", NameOf(range.node));
            AddNumberChild(element, "Frame_index", range.frameIndex);
            // Always there; empty when the command gives no PIDs.
            NanoXML* pids = element->AddChild("Frame_PIDS", "", 0);
            if (range.pidsGiven) {
                for (uint8_t pid : range.pids) AddNumberChild(pids, "Frame_PID", pid);
            }
            return;
        }
        case kLdfCommandFreeFormat: {
            NanoXML* element = task->AddChild("FreeFormat", "", 0);
            AddBytes(element, static_cast<const FreeFormatCommand&>(command).data);
            return;
        }
        case kLdfCommandAssignFrameId: {
            const auto& assign = static_cast<const AssignFrameIdCommand&>(command);
            NanoXML* element = task->AddChild("AssignFrameId", "", 0);
            AddTextChild(element, "Node", NameOf(assign.node));
            AddTextChild(element, "Frame", NameOf(assign.frame));
            return;
        }
        case kLdfCommandUnassignFrameId: {
            const auto& unassign = static_cast<const UnassignFrameIdCommand&>(command);
            NanoXML* element = task->AddChild("UnassignFrameId", "", 0);
            AddTextChild(element, "Node", NameOf(unassign.node));
            AddTextChild(element, "Frame", NameOf(unassign.frame));
            return;
        }
        default:
            return;
    }
}

void AddScheduleTables(NanoXML* ldf, const LdfModel& model) {
    NanoXML* tables = ldf->AddChild("Schedule-tables", "", 0);
    for (const auto& table : model.scheduleTables) {
        NanoXML* element = tables->AddChild("Schedule-table", "", 0);
        AddTextChild(element, "Name", table->name);
        NanoXML* tasks = element->AddChild("Tasks", "", 0);
        for (const auto& task : table->tasks) {
            NanoXML* entry = tasks->AddChild("Task", "", 0);
            if (task->command) AddCommand(entry, *task->command);
            AddTextChild(entry, "Delay", std::to_string(task->delay) + "ms");
        }
    }
}

void AddSignalGroups(NanoXML* ldf, const LdfModel& model) {
    if (model.signalGroups.empty()) return;
    NanoXML* groups = ldf->AddChild("Signal-groups", "", 0);
    for (const auto& group : model.signalGroups) {
        NanoXML* element = groups->AddChild("Signal-Group", "", 0);
        AddTextChild(element, "Name", group->name);
        AddNumberChild(element, "Size", group->size);
        NanoXML* signals = element->AddChild("Signals", "", 0);
        for (const LdfStandardSignal* signal : group->signals) {
            AddPlacedSignal(signals, signal->name, signal->groupOffset);
        }
    }
}

void AddValue(NanoXML* values, const LdfValue& value) {
    switch (value.valueKind) {
        case kLdfValueLogical: {
            const auto& logical = static_cast<const LdfLogicalValue&>(value);
            NanoXML* element = values->AddChild("Logical_value", "", 0);
            AddNumberChild(element, "Signal-value", logical.signalValue);
            AddTextChild(element, "Text-info", logical.textInfo);
            return;
        }
        case kLdfValuePhysical: {
            const auto& physical = static_cast<const LdfPhysicalValue&>(value);
            NanoXML* element = values->AddChild("Physical_value", "", 0);
            AddNumberChild(element, "Min-value", physical.minimum);
            AddNumberChild(element, "Max-value", physical.maximum);
            AddRealChild(element, "Scale", physical.scale);
            AddRealChild(element, "Offset", physical.offset);
            AddTextChild(element, "Text-info", physical.textInfo);
            return;
        }
        case kLdfValueBcd:
            values->AddChild("bcd_value", "", 0);
            return;
        case kLdfValueAscii:
            values->AddChild("ascii_value", "", 0);
            return;
        default:
            return;
    }
}

void AddEncodings(NanoXML* ldf, const LdfModel& model) {
    NanoXML* encodings = ldf->AddChild("Signal-encoding-types", "", 0);
    for (const auto& encoding : model.encodingTypes) {
        NanoXML* element = encodings->AddChild("Signal-encoding-type", "", 0);
        AddTextChild(element, "Name", encoding->name);
        NanoXML* values = element->AddChild("Values", "", 0);
        for (const auto& value : encoding->values) AddValue(values, *value);
    }
    NanoXML* representations = ldf->AddChild("Signal-representation", "", 0);
    for (const auto& representation : model.representations) {
        NanoXML* element = representations->AddChild("Signal-representation", "", 0);
        AddTextChild(element, "Signal-encoding-type", NameOf(representation->encodingType));
        NanoXML* signals = element->AddChild("Signals", "", 0);
        for (const LdfStandardSignal* signal : representation->signals) {
            AddTextChild(signals, "Name", signal->name);
        }
    }
}

}  // namespace

NanoXML* BuildLdfContainer(const LdfModel& model) {
    auto* ldf = new NanoXML("LDF", "", 0);
    ldf->AddChild("Lin_description_file", "", 0);
    AddTextChild(ldf, "Lin_protocol_version", model.protocolVersion);
    AddTextChild(ldf, "Lin_language_version", model.languageVersion);
    AddRealChild(ldf, "Lin_speed", model.speed);
    AddTextChild(ldf, "Network_name", model.networkName);
    if (!model.channelName.empty()) AddTextChild(ldf, "Channel_name", model.channelName);
    AddNodes(ldf, model);
    AddComposite(ldf, model);
    AddSignals(ldf, model);
    AddFrames(ldf, model);
    AddScheduleTables(ldf, model);
    AddSignalGroups(ldf, model);
    AddEncodings(ldf, model);
    return ldf;
}

}  // namespace qm::ldf
