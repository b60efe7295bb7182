#include "arxml_com/arxml_pdu_reader.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "arxml_com/arxml_nodes.h"
#include "arxml_com/arxml_signal_reader.h"

namespace qm::arxml {

namespace {

// Element names of the timing parts, which AUTOSAR 3 and 4 spell differently.
struct TimingNames {
    std::string_view timing;
    std::string_view period;
    std::string_view offset;
    std::string_view repetitions;
};
constexpr TimingNames kTiming4 = {"I-PDU-TIMING", "TIME-PERIOD", "TIME-OFFSET",
                                  "NUMBER-OF-REPETITIONS"};
constexpr TimingNames kTiming3 = {"I-PDU-TIMING-SPECIFICATION", "REPEATING-TIME", "STARTING-TIME",
                                  "NUMBER-OF-REPEATS"};

// A time value: its VALUE child where the schema wraps it; whole-document reading also takes
// the element's own text (older tools wrote the number bare).
const NanoXML* TimeValue(const NanoXML* element, bool bare) {
    if (element == nullptr) return nullptr;
    const NanoXML* value = Child(element, "VALUE");
    return value != nullptr || !bare ? value : element;
}

// The timing of the transmission mode a PDU is sent in by default: AUTOSAR 4 writes a
// TRANSMISSION-MODE-FALSE-TIMING (the mode's condition false) beside the TRUE one, often first.
// Whole-document reading takes the TRUE one's, as the common tools do; the exact reader the
// first timing it meets.
const NanoXML* DefaultModeTiming(const NanoXML* timing, bool wholeDocument) {
    if (!wholeDocument) return timing;
    const NanoXML* trueTiming = Descendant(timing, "TRANSMISSION-MODE-TRUE-TIMING");
    return trueTiming != nullptr ? trueTiming : timing;
}

void ReadTiming(const NanoXML* element, const TimingNames& names, bool wholeDocument,
                ArxmlPdu& pdu) {
    const bool bare = wholeDocument;
    const NanoXML* timing = Descendant(element, names.timing);
    if (timing == nullptr) return;
    const NanoXML* mode = DefaultModeTiming(timing, wholeDocument);
    if (const NanoXML* cyclic = Descendant(mode, "CYCLIC-TIMING")) {
        if (const NanoXML* period = TimeValue(Child(cyclic, names.period), bare)) {
            pdu.SetCyclicTimePeriod(ParseDouble(period->GetText()));
        }
        if (const NanoXML* offset = TimeValue(Child(cyclic, names.offset), bare)) {
            pdu.SetTimeOffset(ParseDouble(offset->GetText()));
        }
    }
    if (const NanoXML* event = Descendant(mode, "EVENT-CONTROLLED-TIMING")) {
        if (const NanoXML* repetitions = Child(event, names.repetitions)) {
            pdu.SetNumberOfRepetitions(static_cast<uint8_t>(ParseUnsigned(repetitions->GetText())));
        }
    }
    // The minimum delay is a bare number in every schema.
    if (const NanoXML* delay = TimeValue(Descendant(timing, "MINIMUM-DELAY"), true)) {
        pdu.SetMinimumDelay(ParseDouble(delay->GetText()));
    }
}

// Signals of one PDU by the element they were read from, so that groups can list them.
using SignalsByElement = std::unordered_map<const NanoXML*, ArxmlSignal*>;

// Creates a signal from a mapping entry, its I-signal and system signal.
ArxmlSignal* AddMappedSignal(ArxmlReadContext& context, ArxmlPdu& pdu, const NanoXML* mapping,
                             const NanoXML* iSignal, const NanoXML* systemSignal) {
    auto signal = std::make_unique<ArxmlSignal>();
    const std::string name = ShortName(iSignal);
    signal->SetName(name);
    const NanoXML* length = Child(iSignal, "LENGTH");
    if (length == nullptr) length = Child(systemSignal, "LENGTH");
    if (length != nullptr) {
        signal->SetBitLength(static_cast<uint16_t>(context.Unsigned(length->GetText())));
    } else {
        context.Message("Missing bit size of signal: " + name);
    }
    // Without a system signal the I-signal still tells how its bits are coded (its base type)
    // and, read as a whole document, its network representation's scaling and limits.
    ReadSystemSignalData(systemSignal, iSignal, context.wholeDocument, *signal);
    if (systemSignal == nullptr) context.Message("No system signal for signal: " + name);
    const bool msbFirst = ChildText(mapping, "PACKING-BYTE-ORDER") == "MOST-SIGNIFICANT-BYTE-FIRST";
    signal->SetByteOrder(msbFirst ? '0' : '1');
    if (const NanoXML* start = Child(mapping, "START-POSITION")) {
        signal->SetStartPosition(static_cast<uint16_t>(context.Unsigned(start->GetText())));
    } else {
        context.Message("Missing start bit of signal: " + name);
    }
    return pdu.AddSignal(std::move(signal));
}

// A group named after groupElement whose members are the PDU's signals read from the targets
// of the member references.
void AddGroup(ArxmlPdu& pdu, const NanoXML* groupElement, const NanoXML* memberList,
              const SignalsByElement& signals) {
    auto group = std::make_unique<ArxmlSignalGroup>();
    group->SetName(ShortName(groupElement));
    if (memberList != nullptr) {
        for (const NanoXML* member : memberList->children) {
            const auto it = signals.find(Target(member));
            if (it != signals.end()) group->AddSignal(it->second);
        }
    }
    pdu.AddSignalGroup(std::move(group));
}

// The signal mappings of an AUTOSAR 4 PDU. NM PDUs spell the list I-SIGNAL-TO-I-PDU-MAPPINGS;
// whole-document reading takes that spelling too.
const NanoXML* Mappings4(const ArxmlReadContext& context, const NanoXML* element) {
    const NanoXML* mappings = Child(element, "I-SIGNAL-TO-PDU-MAPPINGS");
    if (mappings == nullptr && context.wholeDocument) {
        mappings = Child(element, "I-SIGNAL-TO-I-PDU-MAPPINGS");
    }
    return mappings;
}

void ReadSignals4(ArxmlReadContext& context, const NanoXML* element, ArxmlPdu& pdu) {
    const NanoXML* mappings = Mappings4(context, element);
    if (mappings == nullptr) return;
    SignalsByElement signals;
    std::vector<const NanoXML*> groups;
    for (const NanoXML* mapping : mappings->children) {
        if (const NanoXML* iSignal = ChildTarget(mapping, "I-SIGNAL-REF")) {
            const NanoXML* systemSignal = ChildTarget(iSignal, "SYSTEM-SIGNAL-REF");
            signals.emplace(iSignal, AddMappedSignal(context, pdu, mapping, iSignal, systemSignal));
        } else if (const NanoXML* group = ChildTarget(mapping, "I-SIGNAL-GROUP-REF")) {
            groups.push_back(group);
        }
    }
    // Groups come last, when every signal they may list exists.
    for (const NanoXML* group : groups) {
        AddGroup(pdu, group, Child(group, "I-SIGNAL-REFS"), signals);
    }
}

void ReadSignals3(ArxmlReadContext& context, const NanoXML* element, ArxmlPdu& pdu) {
    const NanoXML* mappings = Child(element, "SIGNAL-TO-PDU-MAPPINGS");
    if (mappings == nullptr) return;
    SignalsByElement signals;  // keyed by system signal
    std::vector<const NanoXML*> groups;
    for (const NanoXML* mapping : mappings->children) {
        const NanoXML* target = ChildTarget(mapping, "SIGNAL-REF");
        const NanoXML* iSignal = target && target->name == "I-SIGNAL" ? target : nullptr;
        // An entry names an I-signal (with its system signal) or a system signal group; whole-
        // document reading also takes a system signal named directly, as older tools wrote.
        const NanoXML* system = iSignal ? ChildTarget(iSignal, "SYSTEM-SIGNAL-REF") : target;
        if (iSignal == nullptr && system != nullptr && system->name == "SYSTEM-SIGNAL" &&
            !context.wholeDocument) {
            system = nullptr;
        }
        if (system != nullptr && system->name == "SYSTEM-SIGNAL") {
            ArxmlSignal* signal =
                AddMappedSignal(context, pdu, mapping, iSignal ? iSignal : system, system);
            signals.emplace(system, signal);
        } else if (system != nullptr && system->name == "SYSTEM-SIGNAL-GROUP") {
            // A group without members is reported at its entry, like every other entry.
            const NanoXML* members = Child(system, "SYSTEM-SIGNAL-REFS");
            if (members == nullptr || members->children.empty()) {
                context.Message("0 system signals for system signal group: " + ShortName(system));
            }
            groups.push_back(system);
        } else {
            context.Message("No system signal or system signal group for: " + ShortName(mapping));
        }
    }
    // Groups are made last, when every signal they may list exists.
    for (const NanoXML* group : groups) {
        AddGroup(pdu, group, Child(group, "SYSTEM-SIGNAL-REFS"), signals);
    }
}

}  // namespace

ArxmlPdu* ReadPdu(ArxmlReadContext& context, const NanoXML* element) {
    auto created = std::make_unique<ArxmlPdu>();
    const std::string name = ShortName(element);
    created->SetName(name);
    if (const NanoXML* length = Child(element, "LENGTH")) {
        created->SetLength(static_cast<uint16_t>(context.Unsigned(length->GetText())));
    } else {
        context.Message("Missing length of pdu: " + name);
    }
    if (const NanoXML* pattern = Child(element, "UNUSED-BIT-PATTERN")) {
        created->SetUnusedBitPattern(static_cast<uint16_t>(ParseUnsigned(pattern->GetText())));
    }
    ReadTiming(element, context.autosar4 ? kTiming4 : kTiming3, context.wholeDocument, *created);

    ArxmlPdu* pdu = context.pdus.Add(std::move(created));
    if (context.wholeDocument) context.pduByElement.emplace(element, pdu);
    if (context.autosar4) {
        ReadSignals4(context, element, *pdu);
    } else {
        ReadSignals3(context, element, *pdu);
    }
    return pdu;
}

}  // namespace qm::arxml
