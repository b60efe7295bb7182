#include "arxml_com/arxml_ecu_reader.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "arxml_com/arxml_nodes.h"
#include "xml/text.h"

namespace qm::arxml {

namespace {

// A boolean element of an ECU or its controller; text that is no boolean is reported and
// gives no value.
std::optional<bool> ReadBool(ArxmlReadContext& context, const NanoXML* element,
                             const ArxmlEcu& ecu) {
    if (element == nullptr) return std::nullopt;
    const std::string text = element->GetText();
    try {
        return qm::ParseBool(text);
    } catch (const std::invalid_argument&) {
        context.Message("Unknown value: " + text + " of " + element->name +
                        " tag for ecu: " + ecu.Name());
        return std::nullopt;
    }
}

void ReadFloat(ArxmlReadContext& context, const NanoXML* holder, std::string_view name,
               const ArxmlEcu& ecu, float& value) {
    const NanoXML* element = Child(holder, name);
    if (element == nullptr) return;
    const std::string text = element->GetText();
    try {
        value = std::stof(text);
    } catch (const std::exception&) {  // invalid_argument or out_of_range
        context.Message("Unknown value: " + text + " of " + element->name +
                        " tag for ecu: " + ecu.Name());
    }
}

void ReadInteger(const NanoXML* holder, std::string_view name, uint32_t& value) {
    if (const NanoXML* element = Child(holder, name)) {
        value = static_cast<uint32_t>(ParseSigned(element->GetText()));
    }
}

void ReadFdRequirements(ArxmlReadContext& context, const NanoXML* fd, ArxmlEcu& ecu) {
    CanFdRequirements& r = ecu.FdRequirements();
    r.present = true;
    ReadInteger(fd, "MAX-NUMBER-OF-TIME-QUANTA-PER-BIT", r.maxTimeQuantaPerBit);
    ReadFloat(context, fd, "MAX-SAMPLE-POINT", ecu, r.maxSamplePoint);
    ReadFloat(context, fd, "MAX-SYNC-JUMP-WIDTH", ecu, r.maxSyncJumpWidth);
    ReadFloat(context, fd, "MAX-TRCV-DELAY-COMPENSATION-OFFSET", ecu,
              r.maxTrcvDelayCompensationOffset);
    ReadInteger(fd, "MIN-NUMBER-OF-TIME-QUANTA-PER-BIT", r.minTimeQuantaPerBit);
    ReadFloat(context, fd, "MIN-SAMPLE-POINT", ecu, r.minSamplePoint);
    ReadFloat(context, fd, "MIN-SYNC-JUMP-WIDTH", ecu, r.minSyncJumpWidth);
    ReadFloat(context, fd, "MIN-TRCV-DELAY-COMPENSATION-OFFSET", ecu,
              r.minTrcvDelayCompensationOffset);
    if (auto value = ReadBool(context, Child(fd, "TX-BIT-RATE-SWITCH"), ecu)) {
        r.txBitRateSwitch = *value;
    }
}

void ReadConfigurationRequirements(ArxmlReadContext& context, const NanoXML* requirements,
                                   ArxmlEcu& ecu) {
    CanConfigurationRequirements& r = ecu.ConfigurationRequirements();
    ReadInteger(requirements, "MAX-NUMBER-OF-TIME-QUANTA-PER-BIT", r.maxTimeQuantaPerBit);
    ReadFloat(context, requirements, "MAX-SAMPLE-POINT", ecu, r.maxSamplePoint);
    ReadFloat(context, requirements, "MAX-SYNC-JUMP-WIDTH", ecu, r.maxSyncJumpWidth);
    ReadInteger(requirements, "MIN-NUMBER-OF-TIME-QUANTA-PER-BIT", r.minTimeQuantaPerBit);
    ReadFloat(context, requirements, "MIN-SAMPLE-POINT", ecu, r.minSamplePoint);
    ReadFloat(context, requirements, "MIN-SYNC-JUMP-WIDTH", ecu, r.minSyncJumpWidth);
}

void ReadLinMaster(ArxmlReadContext& context, const NanoXML* master, ArxmlEcu& ecu) {
    LinMasterTiming timing;
    timing.protocolVersion = ChildText(master, "PROTOCOL-VERSION");
    ReadFloat(context, master, "TIME-BASE", ecu, timing.timeBase);
    ReadFloat(context, master, "TIME-BASE-JITTER", ecu, timing.timeBaseJitter);
    ecu.SetLinMaster(std::move(timing));
}

void SetDirection(ArxmlReadContext& context, const NanoXML* group, ArxmlPduGroup& result) {
    const NanoXML* element = Child(group, "COMMUNICATION-DIRECTION");
    if (element == nullptr) {
        context.Message("Communication direction not defined for pdu group: " + result.Name());
        return;
    }
    const std::string text = element->GetText();
    if (text == "OUT") {
        result.SetDirection(kArxmlDirectionOut, "out");
    } else if (text == "IN") {
        result.SetDirection(kArxmlDirectionIn, "in");
    } else {
        context.Message("Unknown communication direction: " + text +
                        " for pdu group: " + result.Name());
    }
}

void SetMode(ArxmlReadContext& context, const NanoXML* group, ArxmlPduGroup& result) {
    const NanoXML* element = Child(group, "COMMUNICATION-MODE");
    if (element == nullptr) {
        context.Message("Communication mode not defined for pdu group: " + result.Name());
        return;
    }
    const std::string text = element->GetText();
    if (text == "Normal") {
        result.SetMode(kArxmlModeNormal, "normal");
    } else if (text == "Measurement") {
        result.SetMode(kArxmlModeMeasurement, "");
    } else {
        context.Message("Unknown communication mode: " + text + " for pdu group: " + result.Name());
    }
}

void AddPduOf(ArxmlReadContext& context, const NanoXML* pduElement, ArxmlPduGroup& result) {
    if (pduElement == nullptr) return;
    if (ArxmlPdu* pdu = context.PduOf(pduElement, ShortName(pduElement))) {
        result.AddPdu(pdu, context.OnceEach());
    }
}

// The PDUs of the group and of the groups it contains; a group met twice (contained twice, or
// containing itself) is read once.
void AddGroupPdus(ArxmlReadContext& context, const NanoXML* group, ArxmlPduGroup& result) {
    std::vector<const NanoXML*> pending = {group};
    std::unordered_set<const NanoXML*> seen = {group};
    while (!pending.empty()) {
        const NanoXML* current = pending.back();
        pending.pop_back();
        if (const NanoXML* list = Child(current, "I-SIGNAL-I-PDUS")) {
            for (const NanoXML* entry : list->children) {
                const NanoXML* reference = entry->name == "I-SIGNAL-I-PDU-REF"
                                               ? entry
                                               : Child(entry, "I-SIGNAL-I-PDU-REF");
                AddPduOf(context, Target(reference), result);
            }
        }
        if (const NanoXML* list = Child(current, "I-PDU-REFS")) {
            for (const NanoXML* reference : list->children) {
                AddPduOf(context, Target(reference), result);
            }
        }
        if (const NanoXML* list = Child(current, "CONTAINED-I-PDU-GROUP-REFS")) {
            // Reversed so that contained groups are read in document order.
            for (auto it = list->children.rbegin(); it != list->children.rend(); ++it) {
                const NanoXML* contained = Target(*it);
                if (contained != nullptr && seen.insert(contained).second) {
                    pending.push_back(contained);
                }
            }
        }
    }
}

void ReadAssociatedGroups(ArxmlReadContext& context, const NanoXML* list, ArxmlEcu& ecu) {
    for (const NanoXML* reference : list->children) {
        if (const NanoXML* group = Target(reference)) {
            ecu.AddPduGroup(ReadPduGroup(context, group));
        }
    }
}

}  // namespace

std::unique_ptr<ArxmlPduGroup> ReadPduGroup(ArxmlReadContext& context, const NanoXML* element) {
    auto group = std::make_unique<ArxmlPduGroup>();
    group->SetName(ShortName(element));
    SetDirection(context, element, *group);
    SetMode(context, element, *group);
    AddGroupPdus(context, element, *group);
    return group;
}

void ReadEcuInstance(ArxmlReadContext& context, const NanoXML* instance, ArxmlEcu& ecu) {
    for (const NanoXML* child : instance->children) {
        const std::string& name = child->name;
        if (name == "SHORT-NAME") {
            ecu.SetName(child->GetText());
        } else if (name == "LONG-NAME") {
            ecu.SetLongName(MultilingualText(child));
        } else if (name == "DESC") {
            ecu.SetDescription(MultilingualText(child));
        } else if (name == "DIAGNOSTIC-ADDRESS") {
            ecu.SetDiagnosticAddress(static_cast<uint32_t>(ParseUnsigned(child->GetText())));
        } else if (name == "SLEEP-MODE-SUPPORTED") {
            if (auto value = ReadBool(context, child, ecu)) ecu.SetSleepModeSupported(*value);
        } else if (name == "WAKE-UP-OVER-BUS-SUPPORTED") {
            if (auto value = ReadBool(context, child, ecu)) ecu.SetWakeUpOverBusSupported(*value);
        } else if (name == "ASSOCIATED-COM-I-PDU-GROUP-REFS") {
            if (context.autosar4) {
                ReadAssociatedGroups(context, child, ecu);
            } else {
                context.Message(
                    "ASSOCIATED-COM-I-PDU-GROUP-REFS arxml tag should be for autosar major "
                    "version >= 4. Ecu: " +
                    ecu.Name());
            }
        } else if (name == "ASSOCIATED-I-PDU-GROUP-REFS") {
            if (!context.autosar4) ReadAssociatedGroups(context, child, ecu);
        } else if (name != "ADMIN-DATA" && name != "COMM-CONTROLLERS" && name != "CONNECTORS") {
            context.Message("Unknown property: " + name + " of ecu: " + ecu.Name());
        }
    }
}

void ReadController(ArxmlReadContext& context, const NanoXML* controller, ArxmlEcu& ecu) {
    if (controller == nullptr) return;
    if (const NanoXML* fd = Descendant(controller, "CAN-CONTROLLER-FD-REQUIREMENTS")) {
        ReadFdRequirements(context, fd, ecu);
    }
    if (const NanoXML* requirements =
            Descendant(controller, "CAN-CONTROLLER-CONFIGURATION-REQUIREMENTS")) {
        ReadConfigurationRequirements(context, requirements, ecu);
    }
    const NanoXML* wakeUp = Descendant(controller, "WAKE-UP-OVER-CONTROLLER-SUPPORTED");
    if (auto value = ReadBool(context, wakeUp, ecu)) ecu.SetWakeUpOverControllerSupported(*value);
    if (const NanoXML* master = Descendant(controller, "LIN-MASTER-CONDITIONAL")) {
        ReadLinMaster(context, master, ecu);
    }
}

}  // namespace qm::arxml
