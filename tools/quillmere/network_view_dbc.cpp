// The view of a DBC file built from the DBC model itself: a DBC is the format large files come
// in, and the model holds everything the view needs, so the conversion into the network model
// (three times the reading's cost on a 50 MB file) is skipped. It gives the view that the
// network model of the same file would give.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <tuple>

#include "network_view.h"
#include "quillmere/dbc.h"

namespace qmtool {

namespace {

// The placeholder DBC writes where a frame has no sender or a signal no receiver.
constexpr std::string_view kNoNode = "Vector__XXX";

std::string_view Text(const char* text) {
    return text ? std::string_view(text) : std::string_view();
}

template <class Object>
AttributeMap DbcAttributes(Object& object) {
    AttributeMap attributes;
    for (uint64_t i = 0; i < object.GetAttributeCount(); ++i) {
        IDbcAttribute* attribute = object.GetAttribute(i);
        if (attribute != nullptr) {
            attributes.emplace_back(Text(attribute->GetName()), Text(attribute->GetValue()));
        }
    }
    SortAttributes(attributes);
    return attributes;
}

std::string Multiplexing(IDbcSignal& signal) {
    std::string text;
    if (signal.IsMultiplexerSwitch()) text = "M";
    if (signal.IsMultiplexedSignal()) text = "m" + std::to_string(signal.GetMultiplexValue());
    auto* extended = dynamic_cast<IDbcExtendedMultiplexing*>(&signal);
    if (IDbcSignal* multiplexer = extended ? extended->GetExtendedMultiplexer() : nullptr) {
        text += (text.empty() ? "" : " ") + std::string(Text(multiplexer->GetName())) + ":";
        for (uint64_t i = 0; i < extended->GetMultiplexRangeCount(); ++i) {
            if (i != 0) text += ',';
            text += std::to_string(extended->GetMultiplexRangeMinimum(i)) + "-" +
                    std::to_string(extended->GetMultiplexRangeMaximum(i));
        }
    }
    return text;
}

std::vector<std::string_view> Receivers(IDbcSignal& signal) {
    std::vector<std::string_view> names;
    names.reserve(signal.GetReceiverCount());
    for (uint64_t i = 0; i < signal.GetReceiverCount(); ++i) {
        IDbcNode* node = signal.GetReceiver(i);
        if (node != nullptr && node->GetName() != kNoNode) names.emplace_back(node->GetName());
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<ValueText> ValueTexts(IDbcSignal& signal) {
    std::vector<ValueText> texts;
    texts.reserve(signal.GetValueDescriptionCount());
    for (uint64_t i = 0; i < signal.GetValueDescriptionCount(); ++i) {
        const uint32_t value = signal.GetValueAt(i);
        texts.push_back({value, value, Text(signal.GetValueDescription(value))});
    }
    std::sort(texts.begin(), texts.end(), [](const ValueText& a, const ValueText& b) {
        return std::tie(a.rawMin, a.text) < std::tie(b.rawMin, b.text);
    });
    return texts;
}

SignalView DbcSignalView(IDbcSignal& signal) {
    SignalView view;
    view.name = Text(signal.GetName());
    view.start = signal.GetStartBit();
    view.length = signal.GetBitLength();
    view.bigEndian = signal.GetByteOrder() == 1;
    view.isSigned = signal.GetValueType() == 2;
    view.factor = signal.GetFactor();
    view.offset = signal.GetOffset();
    view.minimum = signal.GetMinimum();
    view.maximum = signal.GetMaximum();
    view.unit = Text(signal.GetUnit());
    view.receivers = Receivers(signal);
    view.valueTexts = ValueTexts(signal);
    view.multiplexing = Multiplexing(signal);
    view.attributes = DbcAttributes(signal);
    return view;
}

double CycleTimeMs(IDbcMessage& message, double fallback) {
    IDbcAttribute* cycle = message.FindAttribute("GenMsgCycleTime");
    return cycle && cycle->GetValue() ? std::strtod(cycle->GetValue(), nullptr) : fallback;
}

FrameView DbcFrameView(IDbcMessage& message, double cycleTimeDefault) {
    FrameView view;
    view.id = message.GetId();
    view.extended = message.IsExtended();
    if (view.extended && view.id == 0x7FFFFFFFu) {  // the raw identifier 0xFFFFFFFF
        view.id = kNoFrameId;
        view.extended = false;
    }
    view.name = Text(message.GetName());
    view.length = message.GetSize();
    IDbcNode* sender = message.GetTransmitter();
    if (sender != nullptr && sender->GetName() != kNoNode) view.sender = sender->GetName();
    view.cycleTimeMs = CycleTimeMs(message, cycleTimeDefault);
    view.kind = view.id == kNoFrameId ? "pdu" : view.extended ? "extended" : "standard";
    view.signals.reserve(message.GetSignalCount());
    for (uint64_t i = 0; i < message.GetSignalCount(); ++i) {
        view.signals.push_back(DbcSignalView(*message.GetSignal(i)));
    }
    IndexSignals(view);
    view.attributes = DbcAttributes(message);
    return view;
}

double CycleTimeDefault(INetConfigDbcFile& file) {
    IDbcAttributeDefinition* definition = file.FindAttributeDefinition("GenMsgCycleTime");
    if (definition == nullptr || definition->GetDefaultValue() == nullptr) return 0.0;
    return std::strtod(definition->GetDefaultValue(), nullptr);
}

}  // namespace

NetworkView BuildDbcView(INetConfigDbcFile& file, const std::string& path) {
    NetworkView view;
    view.name = std::string(Text(file.GetDatabaseName()));
    if (view.name.empty()) view.name = std::filesystem::path(path).stem().string();
    view.format = SourceFormat::kDbc;
    view.busType = kNetBusCan;
    view.attributes = DbcAttributes(file);
    for (uint64_t i = 0; i < file.GetNodeCount(); ++i) {
        IDbcNode* node = file.GetNode(i);
        view.nodes.push_back({Text(node->GetName()), DbcAttributes(*node)});
    }
    const double cycleTimeDefault = CycleTimeDefault(file);
    view.frames.reserve(file.GetMessageCount());
    for (uint64_t i = 0; i < file.GetMessageCount(); ++i) {
        view.frames.push_back(DbcFrameView(*file.GetMessage(i), cycleTimeDefault));
    }
    view.IndexNames();
    return view;
}

}  // namespace qmtool
