#include "network_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <tuple>

#include "netconfig/net_message.h"
#include "quillmere/dbc.h"
#include "quillmere/ldf.h"

namespace qmtool {

namespace {

// The readable fields the conversions copy into every object's properties; they repeat typed
// fields and are not attributes of their own.
bool IsCopiedField(std::string_view name) {
    return name == "Name" || name == "ID" || name == "Size" || name == "Description text";
}

// DBC files carry attributes as assignments; the other formats have their fields as properties.
template <class Object>
AttributeMap AttributesOf(Object& object, SourceFormat format) {
    AttributeMap attributes;
    if (format == SourceFormat::kDbc) {
        for (uint64_t i = 0; i < object.GetFileAttributeCount(); ++i) {
            INetAttribute* attribute = object.GetFileAttribute(i);
            attributes.emplace_back(attribute->GetName(), attribute->GetValue());
        }
    } else {
        for (uint64_t i = 0; i < object.GetPropertyCount(); ++i) {
            INetAttribute* property = object.GetProperty(i);
            if (!IsCopiedField(property->GetName())) {
                attributes.emplace_back(property->GetName(), property->GetValue());
            }
        }
    }
    SortAttributes(attributes);
    return attributes;
}

std::string Multiplexing(INetSignal& signal) {
    auto* multiplexing = dynamic_cast<INetSignalMultiplexing*>(&signal);
    if (multiplexing == nullptr) return "";
    std::string text;
    switch (multiplexing->GetMultiplexingKind()) {
        case 1:
            text = "M";
            break;
        case 2:
            text = "m" + std::to_string(multiplexing->GetMultiplexValue());
            break;
        default:
            break;
    }
    if (INetSignal* multiplexer = multiplexing->GetExtendedMultiplexer()) {
        text += (text.empty() ? "" : " ") + std::string(multiplexer->GetName()) + ":";
        for (uint64_t i = 0; i < multiplexing->GetMultiplexRangeCount(); ++i) {
            if (i != 0) text += ',';
            text += std::to_string(multiplexing->GetMultiplexRangeMinimum(i)) + "-" +
                    std::to_string(multiplexing->GetMultiplexRangeMaximum(i));
        }
    }
    return text;
}

std::vector<ValueText> ValueTexts(INetSignal& signal) {
    std::vector<ValueText> texts;
    texts.reserve(signal.GetVTabValueCount());
    for (uint64_t i = 0; i < signal.GetVTabValueCount(); ++i) {
        INetVTabValue* value = signal.GetVTabValue(i);
        texts.push_back({value->GetRawMin(), value->GetRawMax(), value->GetText()});
    }
    std::sort(texts.begin(), texts.end(), [](const ValueText& a, const ValueText& b) {
        return std::tie(a.rawMin, a.rawMax, a.text) < std::tie(b.rawMin, b.rawMax, b.text);
    });
    return texts;
}

template <class Object>
std::vector<std::string_view> ReceiverNames(Object& object) {
    std::vector<std::string_view> names;
    names.reserve(object.GetReceiverCount());
    for (uint64_t i = 0; i < object.GetReceiverCount(); ++i) {
        names.emplace_back(object.GetReceiver(i)->GetName());
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

// The LDF file a database came from keeps what the network model leaves out.
std::string InitialValue(INetConfigLdfFile* file, const std::string& name) {
    auto* signal =
        file ? dynamic_cast<ILdfStandardSignal*>(file->FindSignal(name.c_str())) : nullptr;
    if (signal == nullptr) return "";
    std::string text;
    for (uint64_t i = 0; i < signal->GetInitialValueCount(); ++i) {
        if (i != 0) text += ',';
        text += std::to_string(signal->GetInitialValue(i));
    }
    return text;
}

bool HasPhysicalRange(INetSignal& signal) {
    for (uint64_t i = 0; i < signal.GetVTabValueCount(); ++i) {
        if (signal.GetVTabValue(i)->GetPhysicalMin() != signal.GetVTabValue(i)->GetPhysicalMax()) {
            return true;
        }
    }
    return false;
}

SignalView SignalViewOf(INetSignal& signal, SourceFormat format, INetConfigLdfFile* ldf) {
    SignalView view;
    view.name = signal.GetName();
    view.start = signal.GetStartBit();
    view.length = signal.GetBitSize();
    view.bigEndian = signal.GetByteOrder() == 1;
    view.isSigned = signal.GetSignedness() == 2;
    view.factor = signal.GetFactor();
    view.offset = signal.GetOffset();
    view.minimum = signal.GetMinimum();
    view.maximum = signal.GetMaximum();
    view.hasLimits = format != SourceFormat::kLdf || HasPhysicalRange(signal);
    view.unit = signal.GetUnit();
    if (format == SourceFormat::kLdf) view.initialValue = InitialValue(ldf, signal.GetName());
    view.receivers = ReceiverNames(signal);
    view.valueTexts = ValueTexts(signal);
    view.multiplexing = Multiplexing(signal);
    if (format == SourceFormat::kDbc) view.attributes = AttributesOf(signal, format);
    return view;
}

// DBC keeps the cycle time as an attribute in milliseconds (its definition's default where a
// frame has none), ARXML as a property in seconds.
double CycleTimeMs(INetMessage& message, SourceFormat format, double dbcDefault) {
    if (format == SourceFormat::kDbc) {
        INetAttribute* cycle = message.FindFileAttribute("GenMsgCycleTime");
        return cycle ? std::strtod(cycle->GetValue(), nullptr) : dbcDefault;
    }
    if (format == SourceFormat::kArxml) {
        INetAttribute* cycle = message.FindProperty("Repeating time value");
        return cycle ? std::round(std::strtod(cycle->GetValue(), nullptr) * 1e6) / 1e3 : 0.0;
    }
    return 0.0;
}

// LIN reserves identifiers 0x3C and 0x3D for the diagnostic frames.
const char* FrameKind(uint32_t id, uint32_t busType, bool extended) {
    if (id == kNoFrameId) return "pdu";
    if (busType == kNetBusLin) return id == 0x3C || id == 0x3D ? "diagnostic" : "unconditional";
    return extended ? "extended" : "standard";
}

// What a database's source file knows beyond the network model.
struct SourceExtras {
    INetConfigLdfFile* ldf = nullptr;
    double dbcCycleTimeDefault = 0.0;
};

SourceExtras ExtrasOf(INetDataBase& database, SourceFormat format) {
    SourceExtras extras;
    if (format == SourceFormat::kLdf) extras.ldf = database.GetLdfFile();
    if (format == SourceFormat::kDbc) {
        INetConfigDbcFile* dbc = database.GetDbcFile();
        IDbcAttributeDefinition* definition =
            dbc ? dbc->FindAttributeDefinition("GenMsgCycleTime") : nullptr;
        if (definition != nullptr && definition->GetDefaultValue() != nullptr) {
            extras.dbcCycleTimeDefault = std::strtod(definition->GetDefaultValue(), nullptr);
        }
    }
    return extras;
}

FrameView FrameViewOf(INetMessage& message, uint32_t busType, SourceFormat format,
                      const SourceExtras& extras) {
    FrameView view;
    auto* concrete = dynamic_cast<NetMessage*>(&message);
    view.id = message.GetId();
    view.extended = concrete != nullptr && concrete->IsExtended();
    // DBC reads the raw identifier 0xFFFFFFFF as extended 0x7FFFFFFF.
    if (view.id == kNoFrameId || (view.extended && view.id == 0x7FFFFFFFu)) {
        view.id = kNoFrameId;
        view.extended = false;
    }
    view.name = message.GetName();
    view.length = message.GetSize();
    INetEcu* sender = message.GetTransmitter();
    if (sender != nullptr) view.sender = sender->GetName();
    view.cycleTimeMs = CycleTimeMs(message, format, extras.dbcCycleTimeDefault);
    view.kind = FrameKind(view.id, busType, view.extended);
    view.signals.reserve(message.GetSignalCount());
    for (uint64_t i = 0; i < message.GetSignalCount(); ++i) {
        view.signals.push_back(SignalViewOf(*message.GetSignal(i), format, extras.ldf));
    }
    IndexSignals(view);
    if (format == SourceFormat::kDbc) view.attributes = AttributesOf(message, format);
    return view;
}

}  // namespace

const char* SourceFormatName(SourceFormat format) {
    switch (format) {
        case SourceFormat::kDbc:
            return "dbc";
        case SourceFormat::kLdf:
            return "ldf";
        default:
            return "arxml";
    }
}

uint64_t FrameKey(const FrameView& frame) {
    return (uint64_t{frame.extended} << 32) | frame.id;
}

NetworkView BuildNetworkView(INetDataBase& database, SourceFormat format) {
    NetworkView view;
    view.name = database.GetName();
    view.format = format;
    view.busType = database.GetBusType();
    view.attributes = AttributesOf(database, format);
    view.nodes.reserve(database.GetEcuCount());
    for (uint64_t i = 0; i < database.GetEcuCount(); ++i) {
        INetEcu* ecu = database.GetEcu(i);
        view.nodes.push_back({ecu->GetName(), AttributesOf(*ecu, format)});
    }
    const SourceExtras extras = ExtrasOf(database, format);
    view.frames.reserve(database.GetMessageCount());
    for (uint64_t i = 0; i < database.GetMessageCount(); ++i) {
        view.frames.push_back(FrameViewOf(*database.GetMessage(i), view.busType, format, extras));
    }
    view.IndexNames();
    return view;
}

std::string DbcIdentifier(std::string_view name) {
    std::string out;
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) out += '_';
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        out += letter || digit || c == '_' ? c : '_';
    }
    return out;
}

// Names that are identifiers already stay views into the model.
void UseDbcNames(NetworkView& view) {
    const auto rename = [&](std::string_view& name) {
        std::string identifier = DbcIdentifier(name);
        if (identifier != name) name = view.Keep(std::move(identifier));
    };
    for (NodeView& node : view.nodes) rename(node.name);
    for (FrameView& frame : view.frames) {
        rename(frame.name);
        if (!frame.sender.empty()) rename(frame.sender);
        for (SignalView& signal : frame.signals) {
            rename(signal.name);
            for (std::string_view& receiver : signal.receivers) rename(receiver);
            std::sort(signal.receivers.begin(), signal.receivers.end());
        }
        IndexSignals(frame);
    }
    view.IndexNames();
}

void SortAttributes(AttributeMap& attributes) {
    if (attributes.size() < 2) return;
    std::stable_sort(attributes.begin(), attributes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // The last of a repeated name wins: keep it, drop the ones before (in place).
    size_t kept = 0;
    for (size_t i = 0; i < attributes.size(); ++i) {
        if (i + 1 < attributes.size() && attributes[i + 1].first == attributes[i].first) continue;
        attributes[kept++] = attributes[i];
    }
    attributes.resize(kept);
}

void IndexSignals(FrameView& frame) {
    frame.signalsByName.resize(frame.signals.size());
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        frame.signalsByName[i] = static_cast<uint32_t>(i);
    }
    std::stable_sort(
        frame.signalsByName.begin(), frame.signalsByName.end(),
        [&](uint32_t a, uint32_t b) { return frame.signals[a].name < frame.signals[b].name; });
}

void NetworkView::IndexNames() {
    nodeByName.clear();
    for (size_t i = 0; i < nodes.size(); ++i) nodeByName.emplace(nodes[i].name, i);
    frameByName.clear();
    frameByKey.clear();
    for (size_t i = 0; i < frames.size(); ++i) {
        frameByName.emplace(frames[i].name, i);
        frameByKey.emplace(FrameKey(frames[i]), i);
    }
}

std::vector<unsigned> SignalBits(uint16_t start, uint16_t length, bool bigEndian) {
    std::vector<unsigned> bits;
    bits.reserve(length);
    if (!bigEndian) {
        for (unsigned i = length; i-- > 0;) bits.push_back(start + i);
        return bits;
    }
    // Motorola: from the most significant bit down within a byte, then on to bit 7 of the
    // next byte.
    unsigned bit = start;
    for (unsigned i = 0; i < length; ++i) {
        bits.push_back(bit);
        bit = bit % 8 == 0 ? bit + 15 : bit - 1;
    }
    return bits;
}

}  // namespace qmtool
