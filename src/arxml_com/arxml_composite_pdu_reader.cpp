#include "arxml_com/arxml_composite_pdu_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "arxml_com/arxml_document_elements.h"
#include "arxml_com/arxml_nodes.h"

namespace qm::arxml {

namespace {

// Real documents nest a container, a secured PDU and its payload: three levels.
constexpr int kMaxNesting = 8;
// Carriers copy signals; a few copies of every signal read directly, plus some slack, is more
// than real documents need and keeps hostile ones from multiplying their size.
constexpr size_t kSignalBudgetFactor = 8;
constexpr size_t kSignalBudgetBase = 4096;
constexpr uint64_t kMaxStartPosition = 0xFFFF;

bool IsCarrier(std::string_view elementName) {
    return elementName == "CONTAINER-I-PDU" || elementName == "SECURED-I-PDU" ||
           elementName == "MULTIPLEXED-I-PDU";
}

// Header bytes before each contained PDU: identifier and length.
uint64_t HeaderBytes(const std::string& headerType) {
    if (headerType == "SHORT-HEADER") return 4;
    if (headerType == "LONG-HEADER") return 8;
    return 0;
}

// Whether a header identifier text is a number that fits the header's identifier field.
bool FitsHeader(const std::string& text, uint64_t maximum) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '-') return false;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 0);
    return errno != ERANGE && value <= maximum;
}

// What makes two laid signals the same: name, place, length and byte order.
std::string SignalKey(const ArxmlSignal& signal, uint16_t start) {
    return signal.Name() + '\0' + std::to_string(start) + ':' + std::to_string(signal.BitLength()) +
           ':' + static_cast<char>(signal.ByteOrder());
}

// One carried PDU: the element it was read from and where it lies in its carrier.
struct Part {
    const NanoXML* element = nullptr;
    std::string name;
    uint64_t offset = 0;    // bytes
    int64_t code = -1;      // a multiplexed PDU's dynamic part: its SELECTOR-FIELD-CODE
    int64_t headerId = -1;  // a contained PDU sent behind a header: the header's identifier
    std::string problem;    // why the part is not laid in; empty when it is
};

// The codes of the dynamic parts that laid a signal into a multiplexed PDU; a signal that a
// static part lays, or several dynamic parts, is always sent.
struct LaidCodes {
    int64_t code = -1;
    bool always = false;
};

class CompositeReader {
  public:
    CompositeReader(ArxmlReadContext& context, const NanoXML* root,
                    const std::vector<const NanoXML*>& elements)
        : context_(context), root_(root) {
        size_t direct = 0;
        for (const NanoXML* element : elements) {
            byName_.try_emplace(ShortName(element), element);
            if (!IsCarrier(element->name)) {
                if (ArxmlPdu* pdu = PduOf(element)) direct += pdu->Signals().size();
            }
        }
        budget_ = direct * kSignalBudgetFactor + kSignalBudgetBase;
    }

    void Run(const std::vector<const NanoXML*>& elements) {
        for (const NanoXML* element : elements) {
            if (IsCarrier(element->name)) Fill(element, 0);
        }
    }

  private:
    enum class State { kPending, kActive, kDone };

    ArxmlPdu* PduOf(const NanoXML* element) const {
        const auto it = context_.pduByElement.find(element);
        return it == context_.pduByElement.end() ? nullptr : it->second;
    }

    // The element an unresolved reference names by its last path component: the first PDU of
    // that name, else the first package element of that name (indexed on first need).
    const NanoXML* ElementNamed(const std::string& name) {
        const auto pdu = byName_.find(name);
        if (pdu != byName_.end()) return pdu->second;
        if (!allIndexed_) {
            ForEachPackageElement(root_, [this](const NanoXML* element) {
                allByName_.try_emplace(ShortName(element), element);
            });
            allIndexed_ = true;
        }
        const auto any = allByName_.find(name);
        return any == allByName_.end() ? nullptr : any->second;
    }

    // A part reference leads to the PDU directly or to an element (a PDU triggering) whose
    // I-PDU-REF names it.
    Part Resolve(const NanoXML* reference) {
        Part part;
        std::string name = LastPathComponent(Text(reference));
        const NanoXML* target = Target(reference);
        if (target == nullptr) target = ElementNamed(name);
        if (target != nullptr && KindOfElement(target->name) != CommunicationKind::kPdu) {
            const NanoXML* inner = Child(target, "I-PDU-REF");
            if (inner == nullptr) {
                part.name = ShortName(target);
                part.problem = "not found";
                return part;
            }
            name = LastPathComponent(Text(inner));
            target = Target(inner);
            if (target == nullptr) target = ElementNamed(name);
        }
        part.name = target ? ShortName(target) : name;
        if (target == nullptr || PduOf(target) == nullptr) {
            part.problem = "not found";
        } else {
            part.element = target;
        }
        return part;
    }

    // Contained PDUs lie one after the other, each behind its header, unless their
    // CONTAINED-I-PDU-PROPS give an OFFSET.
    std::vector<Part> ContainerParts(const NanoXML* element) {
        std::vector<Part> parts;
        const NanoXML* list = Child(element, "CONTAINED-PDU-TRIGGERING-REFS");
        if (list == nullptr) return parts;
        const uint64_t header = HeaderBytes(ChildText(element, "HEADER-TYPE"));
        const std::string_view idName =
            header == 8 ? "HEADER-ID-LONG-HEADER" : "HEADER-ID-SHORT-HEADER";
        const uint64_t idMaximum = header == 8 ? 0xFFFFFFFFull : 0xFFFFFFull;
        uint64_t end = 0;
        for (const NanoXML* reference : list->children) {
            if (reference->name.empty()) continue;
            Part part = Resolve(reference);
            if (part.element != nullptr) {
                const NanoXML* props = Child(part.element, "CONTAINED-I-PDU-PROPS");
                const NanoXML* id = header != 0 ? Child(props, idName) : nullptr;
                if (id != nullptr && !FitsHeader(id->GetText(), idMaximum)) {
                    part.problem = "header id " + id->GetText() + " out of range";
                } else if (id != nullptr) {
                    part.headerId = static_cast<int64_t>(context_.Unsigned(id->GetText()));
                }
                // Every part that names a PDU takes its room, laid in or not.
                const NanoXML* offset = Child(props, "OFFSET");
                part.offset = offset ? ParseUnsigned(offset->GetText()) : end + header;
                end = part.offset + OwnLength(part.element);
            }
            parts.push_back(std::move(part));
        }
        return parts;
    }

    // Static parts first, then every alternative of the dynamic parts; all lie at offset 0,
    // since their signal positions count from the start of the multiplexed PDU.
    std::vector<Part> MultiplexedParts(const NanoXML* element) {
        std::vector<const NanoXML*> staticRefs;
        std::vector<const NanoXML*> dynamicRefs;
        std::vector<const NanoXML*> stack(element->children.rbegin(), element->children.rend());
        while (!stack.empty()) {
            const NanoXML* node = stack.back();
            stack.pop_back();
            if (node->name == "I-PDU-REF") {
                (Ancestor(node, "STATIC-PART") ? staticRefs : dynamicRefs).push_back(node);
                continue;
            }
            stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
        }
        std::vector<Part> parts;
        for (const NanoXML* reference : staticRefs) parts.push_back(Resolve(reference));
        for (const NanoXML* reference : dynamicRefs) {
            Part part = Resolve(reference);
            const NanoXML* alternative = Ancestor(reference, "DYNAMIC-PART-ALTERNATIVE");
            const NanoXML* code = Child(alternative, "SELECTOR-FIELD-CODE");
            if (code != nullptr)
                part.code = static_cast<int64_t>(context_.Unsigned(code->GetText()));
            parts.push_back(std::move(part));
        }
        return parts;
    }

    // The selector field of a multiplexed PDU: the signal that a part lays on the field's bits,
    // else one made for it ("<pdu>_selector"). Every signal that one dynamic part alone laid is
    // chosen by it with that part's code.
    void LinkSelector(const NanoXML* element, ArxmlPdu& pdu) {
        const NanoXML* startText = Child(element, "SELECTOR-FIELD-START-POSITION");
        const NanoXML* lengthText = Child(element, "SELECTOR-FIELD-LENGTH");
        auto& codes = codes_[&pdu];
        if (startText == nullptr || lengthText == nullptr || codes.empty()) return;
        const unsigned long start = context_.Unsigned(startText->GetText());
        const unsigned long length = context_.Unsigned(lengthText->GetText());
        if (start > kMaxStartPosition || length == 0 || length > 64) return;
        ArxmlSignal* selector = nullptr;
        for (ArxmlSignal* signal : pdu.Signals()) {
            if (signal->StartPosition() == start && signal->BitLength() == length) {
                selector = signal;
                break;
            }
        }
        if (selector == nullptr) {
            auto made = std::make_unique<ArxmlSignal>();
            made->SetName(pdu.Name() + "_selector");
            made->SetStartPosition(static_cast<uint16_t>(start));
            made->SetBitLength(static_cast<uint16_t>(length));
            const bool msbFirst =
                ChildText(element, "SELECTOR-FIELD-BYTE-ORDER") == "MOST-SIGNIFICANT-BYTE-FIRST";
            made->SetByteOrder(msbFirst ? '0' : '1');
            selector = pdu.AddSignal(std::move(made));
        }
        selector->MarkSelector();
        // A sender starts with the dynamic part marked initial: its code is the selector's
        // initial value, unless the selector's signal has one of its own.
        if (!selector->HasInitValue()) {
            if (const auto initial = InitialCode(element)) selector->SetInitValue(*initial);
        }
        for (ArxmlSignal* signal : pdu.Signals()) {
            const auto it = codes.find(signal);
            if (signal == selector || it == codes.end() || it->second.always) continue;
            if (it->second.code >= 0) signal->SetSelector(selector, it->second.code);
        }
    }

    // A carried PDU's own LENGTH (the PDU read from it takes the length of a frame that also
    // carries it directly).
    uint64_t OwnLength(const NanoXML* element) const {
        const NanoXML* length = Child(element, "LENGTH");
        // At most what a PDU's length holds (the model's lengths are 16 bits).
        return length ? std::min<uint64_t>(context_.Unsigned(length->GetText()), 0xFFFF)
                      : PduOf(element)->GetLength();
    }

    // The system's CONTAINER-I-PDU-HEADER-BYTE-ORDER: most significant byte first unless it says
    // MOST-SIGNIFICANT-BYTE-LAST (looked up once).
    bool HeadersBigEndian() {
        if (headerOrder_ == 0) {
            headerOrder_ = 1;
            ForEachPackageElement(root_, [this](const NanoXML* element) {
                if (element->name != "SYSTEM") return;
                const NanoXML* order = Child(element, "CONTAINER-I-PDU-HEADER-BYTE-ORDER");
                if (order != nullptr && headerOrder_ == 1)
                    headerOrder_ = order->GetText() == "MOST-SIGNIFICANT-BYTE-LAST" ? 2 : 3;
            });
        }
        return headerOrder_ != 2;
    }

    // The SELECTOR-FIELD-CODE of the dynamic part alternative marked INITIAL-DYNAMIC-PART.
    std::optional<double> InitialCode(const NanoXML* element) const {
        std::optional<double> code;
        std::vector<const NanoXML*> stack{element};
        while (!stack.empty() && !code) {
            const NanoXML* node = stack.back();
            stack.pop_back();
            if (node->name == "DYNAMIC-PART-ALTERNATIVE") {
                const NanoXML* text = Child(node, "SELECTOR-FIELD-CODE");
                if (ChildText(node, "INITIAL-DYNAMIC-PART") == "true" && text != nullptr)
                    code = static_cast<double>(context_.Unsigned(text->GetText()));
                continue;
            }
            stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
        }
        return code;
    }

    // A secured PDU's trailer after its payload, as signals of their own: the truncated
    // freshness value ("<pdu>_Freshness", FRESHNESS-VALUE-TX-LENGTH bits) and after it the
    // truncated authenticator ("<pdu>_Authenticator", AUTH-INFO-TX-LENGTH bits), most
    // significant bit first, from the props the PDU refers to (or holds, in older schemas).
    void AddSecuredTrailer(const NanoXML* element, ArxmlPdu& pdu, const NanoXML* payload) {
        const auto lengthIn = [&](const char* reference, const char* name) -> uint64_t {
            const NanoXML* props = Target(Child(element, reference));
            if (props == nullptr) props = Child(element, "SECURE-COMMUNICATION-PROPS");
            const NanoXML* text = Child(props, name);
            return text ? context_.Unsigned(text->GetText()) : 0;
        };
        const uint64_t freshness = lengthIn("FRESHNESS-PROPS-REF", "FRESHNESS-VALUE-TX-LENGTH");
        const uint64_t authenticator = lengthIn("AUTHENTICATION-PROPS-REF", "AUTH-INFO-TX-LENGTH");
        const NanoXML* lengthText = Child(payload, "LENGTH");
        if (freshness == 0 || lengthText == nullptr) return;
        const uint64_t payloadBits = context_.Unsigned(lengthText->GetText()) * 8;
        const auto add = [&](const std::string& suffix, uint64_t msb, uint64_t bits) {
            if (bits == 0 || bits > 64 || msb > kMaxStartPosition) return;
            auto made = std::make_unique<ArxmlSignal>();
            made->SetName(pdu.Name() + suffix);
            made->SetStartPosition(static_cast<uint16_t>(msb));
            made->SetBitLength(static_cast<uint16_t>(bits));
            made->SetByteOrder('0');
            pdu.AddSignal(std::move(made));
        };
        add("_Freshness", payloadBits + 7, freshness);
        // The bit after the freshness value's last, in the numbering of most significant bit
        // first (7 is a byte's first bit).
        add("_Authenticator", payloadBits + freshness / 8 * 8 + (7 - freshness % 8), authenticator);
    }

    std::vector<Part> PartsOf(const NanoXML* element) {
        if (element->name == "CONTAINER-I-PDU") return ContainerParts(element);
        if (element->name == "MULTIPLEXED-I-PDU") return MultiplexedParts(element);
        // A secured PDU carries its payload at its start; the authentication data follows.
        const NanoXML* payload = Child(element, "PAYLOAD-REF");
        if (payload == nullptr) return {};
        return {Resolve(payload)};
    }

    void Fill(const NanoXML* element, int depth) {
        State& state = states_[element];
        if (state != State::kPending) return;
        state = State::kActive;
        ArxmlPdu* pdu = PduOf(element);
        if (pdu != nullptr) {
            if (element->name == "CONTAINER-I-PDU") {
                const auto header =
                    static_cast<uint32_t>(HeaderBytes(ChildText(element, "HEADER-TYPE")));
                if (header != 0) pdu->SetContainerHeader(header, HeadersBigEndian());
            }
            std::vector<Part> parts = PartsOf(element);
            for (Part& part : parts) LayIn(*pdu, part, depth);
            if (element->name == "MULTIPLEXED-I-PDU") LinkSelector(element, *pdu);
            if (element->name == "SECURED-I-PDU" && !parts.empty() && parts[0].problem.empty())
                AddSecuredTrailer(element, *pdu, parts[0].element);
        }
        states_[element] = State::kDone;
    }

    void LayIn(ArxmlPdu& pdu, Part& part, int depth) {
        if (part.problem.empty()) {
            const auto it = states_.find(part.element);
            const State state = it == states_.end() ? State::kPending : it->second;
            if (state == State::kActive) {
                part.problem = "the parts form a cycle";
            } else if (IsCarrier(part.element->name) && state == State::kPending) {
                if (depth + 1 > kMaxNesting) {
                    part.problem = "nested too deeply";
                } else {
                    Fill(part.element, depth + 1);
                }
            }
        }
        const size_t signalsBefore = pdu.Signals().size();
        if (part.problem.empty()) part.problem = CopySignals(pdu, *PduOf(part.element), part);
        if (part.problem.empty() && part.headerId >= 0 && pdu.GetHeaderSize() != 0) {
            pdu.AddContainedPdu({part.name, static_cast<uint32_t>(part.headerId),
                                 static_cast<uint32_t>(part.offset),
                                 static_cast<uint32_t>(OwnLength(part.element)), signalsBefore,
                                 pdu.Signals().size() - signalsBefore});
        }
        if (!part.problem.empty()) {
            context_.Message("Pdu part not read: " + part.name + " of pdu: " + pdu.Name() + " (" +
                             part.problem + ")");
        }
    }

    // Copies the part's signals into the carrier, all or none; returns why none, if so.
    std::string CopySignals(ArxmlPdu& carrier, const ArxmlPdu& carried, const Part& part) {
        if (part.offset > kMaxStartPosition) return "start position out of range";
        const uint64_t shift = part.offset * 8;
        for (const ArxmlSignal* signal : carried.Signals()) {
            if (signal->StartPosition() + shift > kMaxStartPosition) {
                return "start position out of range";
            }
        }
        if (carried.Signals().size() > budget_) return "too many signals";
        budget_ -= carried.Signals().size();
        auto& laid = laid_[&carrier];
        auto& codes = codes_[&carrier];
        std::unordered_map<const ArxmlSignal*, ArxmlSignal*> copies;
        for (const ArxmlSignal* signal : carried.Signals()) {
            const auto start = static_cast<uint16_t>(signal->StartPosition() + shift);
            // A signal that several parts lay at the same place (the selector of every
            // dynamic part of a multiplexed PDU) is one signal of the carrier.
            auto [it, added] = laid.try_emplace(SignalKey(*signal, start), nullptr);
            if (added) it->second = carrier.AddSignal(signal->CopyAt(start));
            copies.emplace(signal, it->second);
            LaidCodes& laidCodes = codes[it->second];
            laidCodes.always =
                laidCodes.always || part.code < 0 || (!added && laidCodes.code != part.code);
            laidCodes.code = part.code;
        }
        // A multiplexed PDU carried here keeps choosing its signals by its own selector.
        for (const ArxmlSignal* signal : carried.Signals()) {
            if (signal->Selector() == nullptr) continue;
            const auto selector = copies.find(signal->Selector());
            if (selector != copies.end()) {
                copies[signal]->SetSelector(selector->second, signal->SelectorCode());
            }
        }
        return {};
    }

    ArxmlReadContext& context_;
    const NanoXML* root_;
    std::unordered_map<std::string, const NanoXML*> byName_;
    std::unordered_map<std::string, const NanoXML*> allByName_;
    bool allIndexed_ = false;
    int headerOrder_ = 0;  // 0 not looked up, 1 not given, 2 little-endian, 3 big-endian
    std::unordered_map<const NanoXML*, State> states_;
    // Per carrier, its signals by what makes two laid signals the same (SignalKey), and the
    // parts that laid each.
    std::unordered_map<const ArxmlPdu*, std::unordered_map<std::string, ArxmlSignal*>> laid_;
    std::unordered_map<const ArxmlPdu*, std::unordered_map<const ArxmlSignal*, LaidCodes>> codes_;
    size_t budget_ = 0;
};

}  // namespace

void ReadCompositePdus(ArxmlReadContext& context, const NanoXML* root,
                       const std::vector<const NanoXML*>& pduElements) {
    // Most documents carry no carriers: then nothing is indexed.
    const bool anyCarrier = std::any_of(pduElements.begin(), pduElements.end(),
                                        [](const NanoXML* e) { return IsCarrier(e->name); });
    if (!anyCarrier) return;
    CompositeReader reader(context, root, pduElements);
    reader.Run(pduElements);
}

}  // namespace qm::arxml
