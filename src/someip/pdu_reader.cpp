#include <memory>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"

namespace qm::someip {

namespace {

void ReadValueTable(CSignal& signal, const NanoXML* systemSignal) {
    auto table = std::make_unique<CValueTableEntry>();
    table->name = signal.systemSignalName;
    const NanoXML* props = FindLinked(systemSignal, "PHYSICAL-PROPS", 2);
    const NanoXML* constr = FindLinked(props, "DATA-CONSTR", 8);
    const NanoXML* rule = Path(constr, {"DATA-CONSTR-RULES", "DATA-CONSTR-RULE"});
    for (const char* limits : {"INTERNAL-CONSTRS", "PHYS-CONSTRS"}) {
        const NanoXML* constrs = Child(rule, limits);
        if (constrs == nullptr) continue;
        table->lower = ParseAnyBase(ChildText(constrs, "LOWER-LIMIT"));
        table->upper = ParseAnyBase(ChildText(constrs, "UPPER-LIMIT"));
    }
    const NanoXML* compu = FindLinked(props, "COMPU-METHOD", 8);
    const NanoXML* scales = Path(compu, {"COMPU-INTERNAL-TO-PHYS", "COMPU-SCALES"});
    if (scales != nullptr) {
        for (const NanoXML* scale : scales->children) {
            table->entries.Add(
                std::make_unique<CPhysicalValue>(Text(Path(scale, {"COMPU-CONST", "VT"})),
                                                 ParseAnyBase(ChildText(scale, "LOWER-LIMIT")),
                                                 ParseAnyBase(ChildText(scale, "UPPER-LIMIT"))));
        }
    }
    if (!table->entries.Empty()) signal.valueTable = std::move(table);
}

void ReadBaseType(CSignal& signal, const NanoXML* iSignal) {
    const NanoXML* props = Child(iSignal, "NETWORK-REPRESENTATION-PROPS");
    const NanoXML* conditional =
        Path(props, {"SW-DATA-DEF-PROPS-VARIANTS", "SW-DATA-DEF-PROPS-CONDITIONAL"});
    const NanoXML* baseType = FindLinked(conditional, "SW-BASE-TYPE", 2);
    if (baseType == nullptr) return;
    signal.baseTypeName = ShortName(baseType);
    const std::string category = ChildText(baseType, "CATEGORY");
    if (category == "FIXED_LENGTH") {
        signal.lengthKind = 0;
        signal.lengthKindText = "fixedLength";
    } else if (category == "VARIABLE_LENGTH") {
        signal.lengthKind = 1;
        signal.lengthKindText = "variableLength";
    }
    signal.baseTypeEncoding = ChildText(baseType, "BASE-TYPE-ENCODING");
    const std::string order = ChildText(baseType, "BYTE-ORDER");
    if (order == "MOST-SIGNIFICANT-BYTE-FIRST") {
        signal.byteOrder = 0;
        signal.byteOrderText = "msb";
    } else if (order == "MOST-SIGNIFICANT-BYTE-LAST") {
        signal.byteOrder = 1;
        signal.byteOrderText = "lsb";
    }
}

void ReadSignal(CSignal& signal, const NanoXML* iSignal) {
    signal.dataTypePolicy = ChildText(iSignal, "DATA-TYPE-POLICY");
    signal.initValue = static_cast<uint16_t>(ParseAnyBase(
        Text(Path(iSignal, {"INIT-VALUE", "NUMERICAL-VALUE-SPECIFICATION", "VALUE"}))));
    signal.length = static_cast<uint16_t>(ParseAnyBase(ChildText(iSignal, "LENGTH")));
    ReadBaseType(signal, iSignal);
    const NanoXML* systemSignal = LinkedChild(iSignal, "SYSTEM-SIGNAL");
    if (systemSignal == nullptr) return;
    signal.systemSignalName = ShortName(systemSignal);
    ReadValueTable(signal, systemSignal);
}

void ReadTiming(CPdu& pdu, const NanoXML* element) {
    const NanoXML* cyclic = Path(
        element, {"I-PDU-TIMING-SPECIFICATIONS", "I-PDU-TIMING", "TRANSMISSION-MODE-DECLARATION",
                  "TRANSMISSION-MODE-TRUE-TIMING", "CYCLIC-TIMING"});
    if (cyclic == nullptr) return;
    // The offset and then the period: a missing step ends the reading, so a timing without an
    // offset keeps its period at 0 too.
    const NanoXML* offset = Path(cyclic, {"TIME-OFFSET", "VALUE"});
    if (offset == nullptr) return;
    pdu.timeOffset = ParseReal(Text(offset));
    const NanoXML* period = Path(cyclic, {"TIME-PERIOD", "VALUE"});
    if (period == nullptr) return;
    pdu.timePeriod = ParseReal(Text(period));
}

void ReadPdu(CPdu& pdu, const NanoXML* element) {
    pdu.length = static_cast<uint16_t>(ParseAnyBase(ChildText(element, "LENGTH")));
    pdu.unusedBitPattern =
        static_cast<uint16_t>(ParseAnyBase(ChildText(element, "UNUSED-BIT-PATTERN")));
    const NanoXML* mappings = Child(element, "I-SIGNAL-TO-PDU-MAPPINGS");
    if (mappings != nullptr) {
        for (const NanoXML* mapping : mappings->children) {
            const NanoXML* iSignal = LinkedChild(mapping, "I-SIGNAL");
            if (iSignal == nullptr) continue;
            CSignal* signal = pdu.signals.Add(std::make_unique<CSignal>(ShortName(iSignal)));
            ReadSignal(*signal, iSignal);
            signal->startPosition =
                static_cast<uint16_t>(ParseAnyBase(ChildText(mapping, "START-POSITION")));
            const NanoXML* updateBit = Child(mapping, "UPDATE-INDICATION-BIT-POSITION");
            if (updateBit != nullptr) {
                signal->updateBit = 1;
                signal->updateBitPositions.push_back(
                    static_cast<uint16_t>(ParseAnyBase(updateBit->GetText())));
            }
        }
    }
    ReadTiming(pdu, element);
}

}  // namespace

void ReadPduGroup(CNode& group, const NanoXML* element, const TreeSurvey& survey) {
    if (const NanoXML* direction = Child(element, "COMMUNICATION-DIRECTION")) {
        group.SetDirectionFrom(direction->GetText());
    }
    if (const NanoXML* mode = Child(element, "COMMUNICATION-MODE")) {
        group.SetModeFrom(mode->GetText());
    }
    const NanoXML* pdus = Child(element, "I-SIGNAL-I-PDUS");
    if (pdus == nullptr) return;
    for (const NanoXML* entry : pdus->children) {
        if (entry->name.rfind("I-SIGNAL-I-PDU", 0) != 0) continue;
        // The entry is a reference or a conditional wrapping one.
        const NanoXML* target = Resolved(entry);
        if (target == entry) {
            const NanoXML* reference = arxml::ReferenceOf(entry);
            target = reference ? arxml::Target(reference) : nullptr;
        }
        if (target == nullptr || target == entry) continue;
        CPdu* pdu = group.pdus.Add(std::make_unique<CPdu>(ShortName(target), target->name));
        ReadPdu(*pdu, target);
        const auto triggering = survey.triggeringOfPdu.find(target);
        if (triggering != survey.triggeringOfPdu.end()) {
            pdu->triggering = ReadPduTriggering(triggering->second);
        }
    }
}

}  // namespace qm::someip
