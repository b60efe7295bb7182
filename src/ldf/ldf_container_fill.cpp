// Filling an LDF model from its "LDF" container element. References are looked up by name
// among the objects already rebuilt, section by section; the references of the slave
// attributes, which name frames and signals stored after the nodes, are bound at the end.
#include <memory>
#include <string>
#include <string_view>

#include "ldf/ldf_container.h"
#include "xml/container_fields.h"

namespace qm::ldf {

namespace {

using xml::ChildText;
using xml::FirstChild;

template <class Visit>
void ForEachNamed(const NanoXML* parent, std::string_view item, Visit visit) {
    if (parent == nullptr) return;
    for (const NanoXML* child : parent->children) {
        if (child->name == item) visit(*child);
    }
}

template <class Visit>
void ForEachChild(const NanoXML* parent, std::string_view section, std::string_view item,
                  Visit visit) {
    ForEachNamed(FirstChild(parent, section), item, visit);
}

// A placed signal's name and offset: its "Name" and "Offset" children (containers written by
// earlier versions carry them as the attributes "name" and "offset").
std::string PlacedName(const NanoXML& placed) {
    if (FirstChild(&placed, "Name") != nullptr) return ChildText(&placed, "Name");
    return placed.GetAttribute("name");
}

std::string PlacedOffset(const NanoXML& placed) {
    if (FirstChild(&placed, "Offset") != nullptr) return ChildText(&placed, "Offset");
    return placed.GetAttribute("offset");
}

// A slave attribute that names a signal or frame rebuilt later.
struct PendingSignals {
    LdfSlaveNode* node;
    std::string responseError;
    std::vector<std::string> faultStateSignals;
};

class LdfFill {
  public:
    LdfFill(NetConfigLdfFile& file) : model_(file.Model()), log_(file.Log()) {}

    void Run(const NanoXML& ldf) {
        ReadHeader(ldf);
        ReadNodes(FirstChild(&ldf, "Nodes"));
        ReadComposite(ldf);
        ReadSignals(ldf);
        ReadFrames(ldf);
        ReadScheduleTables(ldf);
        ReadSignalGroups(ldf);
        ReadEncodings(ldf);
        BindPending();
        if (model_.resultCode == 255) model_.resultCode = 0;
        model_.lastLoadResult = 1;
    }

  private:
    // --- Messages and numbers -------------------------------------------------------------

    void Line(std::string_view what, std::string_view name) {
        log_.append(what);
        log_.append(name.substr(0, 4096));
        log_.append(".\r\n");
    }

    uint64_t Number(std::string_view text, std::string_view field, uint64_t limit) {
        uint64_t value = 0;
        if (!xml::ParseDecimal(text, value, limit)) {
            Line("Container value is not a number: " + std::string(field) + " = ",
                 text.substr(0, 256));
            return 0;
        }
        return value;
    }

    uint64_t Unsigned(const NanoXML& element, std::string_view field, uint64_t limit) {
        const NanoXML* child = FirstChild(&element, field);
        return child ? Number(child->GetText(), field, limit) : 0;
    }

    // A real with an optional unit after it ("50.000000 ms", "38%").
    double Real(const NanoXML& element, std::string_view field, std::string_view unit = {}) {
        const NanoXML* child = FirstChild(&element, field);
        if (child == nullptr) return 0.0;
        std::string text = child->GetText();
        if (!unit.empty() && text.size() >= unit.size() &&
            text.compare(text.size() - unit.size(), unit.size(), unit) == 0) {
            text.resize(text.size() - unit.size());
        }
        double value = 0.0;
        if (!xml::ParseRealText(text, value)) {
            Line("Container value is not a number: " + std::string(field) + " = ",
                 std::string_view(text).substr(0, 256));
        }
        return value;
    }

    uint64_t UnsignedWithUnit(const NanoXML& element, std::string_view field, std::string_view unit,
                              uint64_t limit) {
        const NanoXML* child = FirstChild(&element, field);
        if (child == nullptr) return 0;
        std::string text = child->GetText();
        if (text.size() >= unit.size() &&
            text.compare(text.size() - unit.size(), unit.size(), unit) == 0) {
            text.resize(text.size() - unit.size());
        }
        return Number(text, field, limit);
    }

    // --- Header and nodes -----------------------------------------------------------------

    void ReadHeader(const NanoXML& ldf) {
        model_.protocolVersion = ChildText(&ldf, "Lin_protocol_version");
        model_.languageVersion = ChildText(&ldf, "Lin_language_version");
        model_.speed = Real(ldf, "Lin_speed");
        model_.networkName = ChildText(&ldf, "Network_name");
        model_.channelName = ChildText(&ldf, "Channel_name");
    }

    void ReadAddress(LdfNode& node, const NanoXML& element) {
        if (FirstChild(&element, "Diagnostic-address") == nullptr) return;
        node.diagnosticAddress =
            static_cast<uint32_t>(Unsigned(element, "Diagnostic-address", UINT32_MAX));
        if (node.HasDiagnosticAddress()) model_.diagnosticAddressesPresent = 1;
    }

    void ReadMaster(const NanoXML& element) {
        auto master = std::make_unique<LdfMasterNode>();
        master->name = ChildText(&element, "Name");
        master->timeBase = Real(element, "Time-base");
        master->jitter = Real(element, "Jitter");
        if (FirstChild(&element, "Bit-length")) {
            master->bitLength = static_cast<uint32_t>(Unsigned(element, "Bit-length", UINT32_MAX));
        }
        if (FirstChild(&element, "Tolerant")) {
            master->tolerant = static_cast<uint8_t>(Unsigned(element, "Tolerant", UINT8_MAX));
        }
        ReadAddress(*master, element);
        model_.AddNode(std::move(master));
    }

    void ReadProductId(LdfSlaveNode& slave, const NanoXML& product) {
        slave.productId = std::make_unique<ProductId>();
        slave.productId->supplierId =
            static_cast<uint16_t>(Unsigned(product, "Supplier-ID", UINT16_MAX));
        slave.productId->functionId =
            static_cast<uint16_t>(Unsigned(product, "Function-ID", UINT16_MAX));
        if (FirstChild(&product, "Variant-ID")) {
            slave.productId->variantGiven = 1;
            slave.productId->variant = static_cast<uint8_t>(Unsigned(product, "Variant-ID", 255));
        }
    }

    void ReadTime(const NanoXML& attributes, const char* field, uint8_t& given, double& value) {
        if (FirstChild(&attributes, field) == nullptr) return;
        given = 1;
        value = Real(attributes, field, " ms");
    }

    void ReadSlaveAttributes(LdfSlaveNode& slave, const NanoXML& attributes) {
        slave.linProtocol = ChildText(&attributes, "Lin_protocol");
        slave.configuredNad = static_cast<uint8_t>(Unsigned(attributes, "Configured_NAD", 255));
        if (FirstChild(&attributes, "Initial_NAD")) {
            slave.initialNadGiven = 1;
            slave.initialNad = static_cast<uint8_t>(Unsigned(attributes, "Initial_NAD", 255));
        }
        if (const NanoXML* product = FirstChild(&attributes, "Product-ID")) {
            ReadProductId(slave, *product);
        }
        PendingSignals pending{&slave, ChildText(&attributes, "Response_error"), {}};
        ForEachChild(&attributes, "Fault_state_signals", "Name", [&](const NanoXML& name) {
            pending.faultStateSignals.push_back(name.GetText());
        });
        if (!pending.responseError.empty() || !pending.faultStateSignals.empty()) {
            pendingSignals_.push_back(std::move(pending));
        }
        ReadTime(attributes, "P2_min", slave.p2MinGiven, slave.p2Min);
        ReadTime(attributes, "ST_min", slave.stMinGiven, slave.stMin);
        ReadTime(attributes, "N_As_Timeout", slave.nAsTimeoutGiven, slave.nAsTimeout);
        ReadTime(attributes, "N_Cr_Timeout", slave.nCrTimeoutGiven, slave.nCrTimeout);
        if (FirstChild(&attributes, "Response_tolerance")) {
            slave.responseToleranceGiven = 1;
            slave.responseTolerance =
                static_cast<uint8_t>(UnsignedWithUnit(attributes, "Response_tolerance", "%", 255));
        }
        ForEachChild(&attributes, "Configurable_frames", "Configurable_frame",
                     [&](const NanoXML& entry) {
                         auto configurable = std::make_unique<ConfigurableFrame>();
                         configurable->frameName = ChildText(&entry, "Name");
                         if (FirstChild(&entry, "Message-ID")) {
                             configurable->messageIdGiven = 1;
                             configurable->messageId =
                                 static_cast<uint16_t>(Unsigned(entry, "Message-ID", UINT16_MAX));
                         }
                         model_.pendingConfigurableFrames.push_back(configurable.get());
                         slave.configurableFrames.push_back(std::move(configurable));
                     });
    }

    void ReadSlave(const NanoXML& element) {
        auto slave = std::make_unique<LdfSlaveNode>();
        slave->name = ChildText(&element, "Name");
        if (const NanoXML* attributes = FirstChild(&element, "Attributes")) {
            ReadSlaveAttributes(*slave, *attributes);
        }
        ReadAddress(*slave, element);
        model_.AddNode(std::move(slave));
    }

    void ReadNodes(const NanoXML* nodes) {
        if (nodes == nullptr) return;
        if (const NanoXML* master = FirstChild(nodes, "Master")) ReadMaster(*master);
        ForEachChild(nodes, "Slaves", "Slave", [&](const NanoXML& slave) { ReadSlave(slave); });
    }

    LdfNode* NodeNamed(const std::string& name, std::string_view what) {
        LdfNode* node = model_.nodeIndex.Find(name);
        if (node == nullptr && !name.empty()) Line(what, name);
        return node;
    }

    void ReadComposite(const NanoXML& ldf) {
        ForEachChild(&ldf, "Composite", "Configuration", [&](const NanoXML& element) {
            auto configuration = std::make_unique<LdfConfiguration>();
            configuration->name = ChildText(&element, "Name");
            ForEachChild(&element, "Composite-nodes", "Composite_node", [&](const NanoXML& node) {
                LdfNode* composite =
                    NodeNamed(ChildText(&node, "Name"), "Missing composite node definition: ");
                if (composite == nullptr) return;
                auto group = std::make_unique<CompositeNodeGroup>();
                group->compositeNode = composite;
                ForEachChild(&node, "Logical-nodes", "Logical-node", [&](const NanoXML& logical) {
                    if (LdfNode* member =
                            NodeNamed(logical.GetText(), "Missing node definition: ")) {
                        group->logicalNodes.push_back(member);
                    }
                });
                configuration->groups.push_back(std::move(group));
            });
            model_.configurations.push_back(std::move(configuration));
        });
    }

    // --- Signals and frames ---------------------------------------------------------------

    void ReadSignals(const NanoXML& ldf) {
        ForEachChild(&ldf, "Signals", "Signal", [&](const NanoXML& element) {
            auto signal = std::make_unique<LdfStandardSignal>();
            signal->name = ChildText(&element, "Name");
            signal->size = static_cast<uint8_t>(Unsigned(element, "Size", 255));
            ForEachChild(&element, "Initial-values", "Initial-value", [&](const NanoXML& value) {
                signal->initialValues.push_back(
                    static_cast<uint16_t>(Number(value.GetText(), "Initial-value", UINT16_MAX)));
            });
            // The form keeps no braces: a list of values is what marks a byte array.
            signal->byteArray = signal->initialValues.size() > 1 ? 1 : 0;
            const std::string publisher = ChildText(&element, "Publisher");
            signal->publisher = model_.nodeIndex.Find(publisher);
            if (signal->publisher == nullptr) signal->publisherName = publisher;
            ForEachChild(&element, "Subscribers", "Subscriber", [&](const NanoXML& subscriber) {
                if (LdfNode* node =
                        NodeNamed(subscriber.GetText(), "Missing subscriber node definition: ")) {
                    signal->subscribers.push_back(node);
                    node->subscribedSignals.push_back(signal.get());
                }
            });
            model_.AddStandardSignal(std::move(signal));
        });
        ForEachChild(&ldf, "Diagnostic-signals", "Diagnostic-signal", [&](const NanoXML& element) {
            auto signal = std::make_unique<LdfDiagnosticSignal>();
            signal->name = ChildText(&element, "Name");
            signal->size = static_cast<uint8_t>(Unsigned(element, "Size", 255));
            signal->initialValues.push_back(
                static_cast<uint16_t>(Unsigned(element, "Initial-value", UINT16_MAX)));
            model_.AddDiagnosticSignal(std::move(signal));
        });
        if (FirstChild(&ldf, "Diagnostic-signals")) model_.diagnosticSignalsPresent = 1;
    }

    // Every subscriber of the signal subscribes to the frame, once.
    static void AddFrameToSubscribers(LdfUnconditionalFrame& frame,
                                      const LdfStandardSignal& signal) {
        for (LdfNode* node : signal.subscribers) {
            auto& frames = node->subscribedFrames;
            if (!frames.empty() && frames.back() == &frame) continue;
            frames.push_back(&frame);
        }
    }

    void ReadFrameSignals(LdfUnconditionalFrame& frame, const NanoXML& element) {
        ForEachChild(&element, "Signals", "Signal", [&](const NanoXML& placed) {
            const std::string name = PlacedName(placed);
            LdfStandardSignal* signal = model_.standardSignalIndex.Find(name);
            if (signal == nullptr) {
                Line("Missing signal definition: ", name);
                return;
            }
            signal->bitOffset =
                static_cast<uint16_t>(Number(PlacedOffset(placed), "offset", UINT16_MAX));
            signal->frame = &frame;
            frame.signals.push_back(signal);
            AddFrameToSubscribers(frame, *signal);
        });
    }

    void ReadUnconditionalFrame(const NanoXML& element) {
        auto owned = std::make_unique<LdfUnconditionalFrame>();
        LdfUnconditionalFrame& frame = *owned;
        frame.name = ChildText(&element, "Name");
        frame.frameId = static_cast<uint8_t>(Unsigned(element, "ID", 255));
        const std::string publisher = ChildText(&element, "Publisher");
        if (LdfNode* node = model_.nodeIndex.Find(publisher)) {
            frame.publisher = node;
            node->publishedFrames.push_back(&frame);
        } else {
            frame.publisherName = publisher;
        }
        frame.length = static_cast<uint8_t>(Unsigned(element, "Size", 255));
        frame.dynamic = ChildText(&element, "Dynamic") == "true" ? 1 : 0;
        model_.AddUnconditionalFrame(std::move(owned));
        ReadFrameSignals(frame, element);
    }

    void ReadAssociated(AssociatedFrames& associated, const NanoXML& element) {
        ForEachChild(&element, "Frames", "Frame", [&](const NanoXML& entry) {
            const std::string name = entry.GetText();
            if (LdfUnconditionalFrame* frame = model_.unconditionalFrameIndex.Find(name)) {
                associated.frames.push_back(frame);
            } else {
                Line("Missing frame definition: ", name);
            }
        });
    }

    void ReadEventTriggeredFrame(const NanoXML& element) {
        auto frame = std::make_unique<LdfEventTriggeredFrame>();
        frame->name = ChildText(&element, "Name");
        const std::string table = ChildText(&element, "Collision_resolving_schedule_table");
        if (!table.empty()) {
            // The tables are rebuilt after the frames: a placeholder carries the name until then.
            auto placeholder = std::make_unique<LdfScheduleTable>();
            placeholder->name = table;
            frame->collisionTable = placeholder.get();
            model_.collisionPlaceholders.push_back(std::move(placeholder));
            unboundCollisionTables_.push_back(frame.get());
        }
        frame->frameId = static_cast<uint8_t>(Unsigned(element, "ID", 255));
        ReadAssociated(frame->associated, element);
        model_.AddEventTriggeredFrame(std::move(frame));
    }

    void ReadDiagnosticFrame(const NanoXML& element) {
        auto owned = std::make_unique<LdfDiagnosticFrame>();
        owned->name = ChildText(&element, "Name");
        owned->frameId = static_cast<uint8_t>(Unsigned(element, "ID", 255));
        LdfDiagnosticFrame& frame = *model_.AddDiagnosticFrame(std::move(owned));
        ForEachChild(&element, "Diagnostic-signals", "Signal", [&](const NanoXML& placed) {
            const std::string name = PlacedName(placed);
            LdfDiagnosticSignal* signal = model_.diagnosticSignalIndex.Find(name);
            if (signal == nullptr) {
                Line("Missing diagnostic signal definition: ", name);
                return;
            }
            signal->frame = &frame;
            frame.signals.push_back(signal);
        });
    }

    void ReadFrames(const NanoXML& ldf) {
        ForEachChild(&ldf, "Frames", "Frame",
                     [&](const NanoXML& element) { ReadUnconditionalFrame(element); });
        ForEachChild(&ldf, "Sporadic-frames", "Sporadic-frame", [&](const NanoXML& element) {
            auto frame = std::make_unique<LdfSporadicFrame>();
            frame->name = ChildText(&element, "Name");
            ReadAssociated(frame->associated, element);
            model_.AddSporadicFrame(std::move(frame));
        });
        ForEachChild(&ldf, "Event-triggered-frames", "Event-triggered-frame",
                     [&](const NanoXML& element) { ReadEventTriggeredFrame(element); });
        ForEachChild(&ldf, "Diagnostic-frames", "Diagnostic-frame",
                     [&](const NanoXML& element) { ReadDiagnosticFrame(element); });
    }

    // --- Schedule tables ------------------------------------------------------------------

    LdfSlaveNode* SlaveOf(const NanoXML& command) {
        const std::string name = ChildText(&command, "Node");
        LdfSlaveNode* slave = model_.slaveNodeIndex.Find(name);
        if (slave == nullptr) Line("Missing slave node definition: ", name);
        return slave;
    }

    LdfFrame* FrameOf(const std::string& name) {
        LdfFrame* frame = model_.frameIndex.Find(name);
        if (frame == nullptr) Line("Missing frame definition: ", name);
        return frame;
    }

    template <size_t N>
    void ReadBytes(const NanoXML& command, std::array<uint8_t, N>& bytes) {
        size_t index = 0;
        ForEachNamed(&command, "Byte", [&](const NanoXML& byte) {
            if (index < N)
                bytes[index++] = static_cast<uint8_t>(Number(byte.GetText(), "Byte", 255));
        });
    }

    // The command of a task; null (and the task dropped) when it names no known object.
    std::unique_ptr<ScheduleTableCommand> ReadCommand(const NanoXML& task) {
        for (const NanoXML* element : task.children) {
            if (auto command = ReadCommandElement(*element)) return command;
        }
        return nullptr;
    }

    std::unique_ptr<ScheduleTableCommand> ReadCommandElement(const NanoXML& element) {
        const std::string& kind = element.name;
        if (kind == "Command") {
            LdfFrame* frame = FrameOf(element.GetText());
            if (frame == nullptr) return nullptr;
            auto command = std::make_unique<FrameCommand>();
            command->frame = frame;
            return command;
        }
        if (kind == "AssignNAD") {
            LdfSlaveNode* slave = SlaveOf(element);
            if (slave == nullptr) return nullptr;
            auto command = std::make_unique<AssignNadCommand>();
            command->node = slave;
            command->initialNad = slave->initialNad;
            command->newNad = slave->configuredNad;
            if (slave->productId) {
                command->supplierId = slave->productId->supplierId;
                command->functionId = slave->productId->functionId;
            }
            return command;
        }
        if (kind == "ConditionalChangeNAD") {
            auto command = std::make_unique<ConditionalChangeNadCommand>();
            static const char* const kNames[] = {"NAD", "Id", "Byte", "Mask", "Inv", "New_NAD"};
            for (size_t i = 0; i < command->bytes.size(); ++i) {
                command->bytes[i] = static_cast<uint8_t>(Unsigned(element, kNames[i], 255));
            }
            return command;
        }
        if (kind == "DataDump") {
            LdfSlaveNode* slave = SlaveOf(element);
            if (slave == nullptr) return nullptr;
            auto command = std::make_unique<DataDumpCommand>();
            command->node = slave;
            ReadBytes(element, command->data);
            return command;
        }
        if (kind == "SaveConfiguration") {
            LdfSlaveNode* slave = SlaveOf(element);
            if (slave == nullptr) return nullptr;
            auto command = std::make_unique<SaveConfigurationCommand>();
            command->node = slave;
            return command;
        }
        if (kind == "AssignFrameIdRange") {
            LdfSlaveNode* slave = SlaveOf(element);
            if (slave == nullptr) return nullptr;
            auto command = std::make_unique<AssignFrameIdRangeCommand>();
            command->node = slave;
            command->frameIndex = static_cast<uint8_t>(Unsigned(element, "Frame_index", 255));
            const NanoXML* pids = FirstChild(&element, "Frame_PIDS");
            if (pids != nullptr && FirstChild(pids, "Frame_PID") != nullptr) {
                command->pidsGiven = 1;
                size_t index = 0;
                ForEachNamed(pids, "Frame_PID", [&](const NanoXML& pid) {
                    if (index < command->pids.size()) {
                        command->pids[index++] =
                            static_cast<uint8_t>(Number(pid.GetText(), "Frame_PID", 255));
                    }
                });
            }
            return command;
        }
        if (kind == "FreeFormat") {
            auto command = std::make_unique<FreeFormatCommand>();
            ReadBytes(element, command->data);
            return command;
        }
        if (kind == "AssignFrameId" || kind == "UnassignFrameId") {
            LdfSlaveNode* slave = SlaveOf(element);
            LdfFrame* frame = FrameOf(ChildText(&element, "Frame"));
            if (slave == nullptr || frame == nullptr) return nullptr;
            if (kind == "AssignFrameId") {
                auto command = std::make_unique<AssignFrameIdCommand>();
                command->node = slave;
                command->frame = frame;
                return command;
            }
            auto command = std::make_unique<UnassignFrameIdCommand>();
            command->node = slave;
            command->frame = frame;
            return command;
        }
        return nullptr;
    }

    void ReadScheduleTables(const NanoXML& ldf) {
        ForEachChild(&ldf, "Schedule-tables", "Schedule-table", [&](const NanoXML& element) {
            auto table = std::make_unique<LdfScheduleTable>();
            table->name = ChildText(&element, "Name");
            ForEachChild(&element, "Tasks", "Task", [&](const NanoXML& entry) {
                auto command = ReadCommand(entry);
                if (!command) return;
                auto task = std::make_unique<Task>();
                task->command = std::move(command);
                task->delay = static_cast<uint8_t>(UnsignedWithUnit(entry, "Delay", "ms", 255));
                table->tasks.push_back(std::move(task));
            });
            model_.scheduleTableIndex.Add(table.get());
            model_.scheduleTables.push_back(std::move(table));
        });
        for (LdfEventTriggeredFrame* frame : unboundCollisionTables_) {
            if (LdfScheduleTable* table =
                    model_.scheduleTableIndex.Find(frame->collisionTable->name)) {
                frame->collisionTable = table;
            }
        }
    }

    // --- Groups, encodings, representations -----------------------------------------------

    void ReadSignalGroups(const NanoXML& ldf) {
        ForEachChild(&ldf, "Signal-groups", "Signal-Group", [&](const NanoXML& element) {
            auto group = std::make_unique<LdfSignalGroup>();
            group->name = ChildText(&element, "Name");
            group->size = static_cast<uint8_t>(Unsigned(element, "Size", 255));
            ForEachChild(&element, "Signals", "Signal", [&](const NanoXML& placed) {
                const std::string name = PlacedName(placed);
                LdfStandardSignal* signal = model_.standardSignalIndex.Find(name);
                if (signal == nullptr) {
                    Line("Missing signal definition: ", name);
                    return;
                }
                signal->groupOffset =
                    static_cast<uint16_t>(Number(PlacedOffset(placed), "offset", UINT16_MAX));
                group->signals.push_back(signal);
            });
            model_.signalGroups.push_back(std::move(group));
        });
    }

    std::unique_ptr<LdfValue> ReadValue(const NanoXML& element) {
        if (element.name == "Logical_value") {
            auto logical = std::make_unique<LdfLogicalValue>();
            logical->signalValue =
                static_cast<uint32_t>(Unsigned(element, "Signal-value", UINT32_MAX));
            logical->textInfo = ChildText(&element, "Text-info");
            return logical;
        }
        if (element.name == "Physical_value") {
            auto physical = std::make_unique<LdfPhysicalValue>();
            physical->minimum = static_cast<uint32_t>(Unsigned(element, "Min-value", UINT32_MAX));
            physical->maximum = static_cast<uint32_t>(Unsigned(element, "Max-value", UINT32_MAX));
            physical->scaleText = ChildText(&element, "Scale");
            physical->scale = Real(element, "Scale");
            physical->offsetText = ChildText(&element, "Offset");
            physical->offset = Real(element, "Offset");
            physical->textInfo = ChildText(&element, "Text-info");
            return physical;
        }
        if (element.name == "bcd_value") return std::make_unique<LdfValue>(kLdfValueBcd);
        if (element.name == "ascii_value") return std::make_unique<LdfValue>(kLdfValueAscii);
        return nullptr;
    }

    // One "Signal-representation" entry; a representation naming anything unknown is skipped.
    void ReadRepresentation(const NanoXML* element) {
        static constexpr std::string_view kExpected = "Signal-representation";
        if (element == nullptr) {
            log_.append("Xml element for signal representation is nullptr.\r\n");
            return;
        }
        if (element->name != kExpected) {
            Line("Signal representation element is different that ", kExpected);
            return;
        }
        const NanoXML* encodingElement = FirstChild(element, "Signal-encoding-type");
        if (encodingElement == nullptr) {
            log_.append("Missing signal encoding type element.\r\n");
            return;
        }
        const std::string encodingName = encodingElement->GetText();
        LdfSignalEncodingType* encoding = model_.encodingTypeIndex.Find(encodingName);
        if (encoding == nullptr) {
            Line("Missing signal encoding type definition: ", encodingName);
            return;
        }
        std::vector<LdfStandardSignal*> signals;
        bool complete = true;
        ForEachChild(element, "Signals", "Name", [&](const NanoXML& entry) {
            const std::string name = entry.GetText();
            LdfStandardSignal* signal = model_.standardSignalIndex.Find(name);
            if (signal == nullptr) {
                if (complete) Line("Missing signal definition: ", name);
                complete = false;
                return;
            }
            signals.push_back(signal);
        });
        if (!complete) return;
        auto representation = std::make_unique<LdfSignalRepresentation>();
        representation->encodingType = encoding;
        for (LdfStandardSignal* signal : signals) {
            representation->signals.push_back(signal);
            encoding->signals.push_back(signal);
            signal->encodingType = encoding;
        }
        model_.representations.push_back(std::move(representation));
    }

    void ReadEncodings(const NanoXML& ldf) {
        ForEachChild(&ldf, "Signal-encoding-types", "Signal-encoding-type",
                     [&](const NanoXML& element) {
                         auto encoding = std::make_unique<LdfSignalEncodingType>();
                         encoding->name = ChildText(&element, "Name");
                         if (const NanoXML* values = FirstChild(&element, "Values")) {
                             for (const NanoXML* entry : values->children) {
                                 if (auto value = ReadValue(*entry)) {
                                     encoding->values.push_back(std::move(value));
                                 }
                             }
                         }
                         model_.encodingTypeIndex.Add(encoding.get());
                         model_.encodingTypes.push_back(std::move(encoding));
                     });
        if (const NanoXML* representations = FirstChild(&ldf, "Signal-representation")) {
            for (const NanoXML* element : representations->children) {
                if (element->name.empty()) continue;  // a stray text fragment
                ReadRepresentation(element);
            }
        }
    }

    // --- Pending references ---------------------------------------------------------------

    void BindPending() {
        for (ConfigurableFrame* entry : model_.pendingConfigurableFrames) {
            entry->frame = model_.frameIndex.Find(entry->frameName);
        }
        model_.pendingConfigurableFrames.clear();
        for (const PendingSignals& pending : pendingSignals_) {
            if (pending.responseError.empty()) continue;
            pending.node->responseErrorSignal =
                model_.standardSignalIndex.Find(pending.responseError);
            if (!pending.node->responseErrorSignal) {
                Line("Missing response error definition: ", pending.responseError);
            }
        }
        for (const PendingSignals& pending : pendingSignals_) {
            if (pending.faultStateSignals.empty()) continue;
            pending.node->faultStateSignalsGiven = 1;
            for (const std::string& name : pending.faultStateSignals) {
                if (LdfStandardSignal* signal = model_.standardSignalIndex.Find(name)) {
                    pending.node->faultStateSignals.push_back(signal);
                } else {
                    Line("Missing fault state signal definition: ", name);
                }
            }
        }
    }

    LdfModel& model_;
    std::string& log_;
    std::vector<PendingSignals> pendingSignals_;
    std::vector<LdfEventTriggeredFrame*> unboundCollisionTables_;
};

}  // namespace

uint8_t FillLdfFromContainer(NetConfigLdfFile& file, const NanoXML* element) {
    if (element == nullptr || element->name != "LDF") return 1;
    LdfFill(file).Run(*element);
    return 1;
}

}  // namespace qm::ldf
