#include "frame_layout.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <ostream>

#include "network_load.h"

namespace qmtool {

namespace {

constexpr int kNone = -1;
constexpr int kShared = -2;  // bits that more than one signal (multiplexed ones) occupy

// Which signal holds each bit of the payload, by bit number 8n + b.
struct BitMap {
    unsigned bytes = 0;
    std::vector<int> owner;
    std::vector<char> mark;  // '<' most significant bit, 'x' least, 'o' both, '-' others
};

unsigned BytesCovered(const FrameView& frame) {
    unsigned bytes = frame.length;
    for (const SignalView& signal : frame.signals) {
        for (unsigned bit : SignalBits(signal.start, signal.length, signal.bigEndian)) {
            bytes = std::max(bytes, bit / 8 + 1);
        }
    }
    return bytes;
}

BitMap MapBits(const FrameView& frame) {
    BitMap map;
    map.bytes = BytesCovered(frame);
    map.owner.assign(map.bytes * 8, kNone);
    map.mark.assign(map.bytes * 8, ' ');
    for (size_t s = 0; s < frame.signals.size(); ++s) {
        const SignalView& signal = frame.signals[s];
        const auto bits = SignalBits(signal.start, signal.length, signal.bigEndian);
        for (size_t i = 0; i < bits.size(); ++i) {
            const unsigned bit = bits[i];
            map.owner[bit] = map.owner[bit] == kNone ? static_cast<int>(s) : kShared;
            const bool msb = i == 0, lsb = i + 1 == bits.size();
            map.mark[bit] = msb && lsb ? 'o' : msb ? '<' : lsb ? 'x' : '-';
        }
    }
    return map;
}

std::string Cell(const BitMap& map, unsigned bit) {
    if (map.owner[bit] == kNone) return "   ";
    if (map.owner[bit] == kShared) return "***";
    switch (map.mark[bit]) {
        case '<':
            return "<--";
        case 'x':
            return "--x";
        case 'o':
            return "<x ";
        default:
            return "---";
    }
}

// Cells of one signal run into each other; a wall stands where the owner changes or where one
// signal's run ends and the next one's starts.
char Separator(const BitMap& map, unsigned left, unsigned right) {
    const int owner = map.owner[left];
    if (owner < 0 || owner != map.owner[right]) return '|';
    return map.mark[left] == 'x' || map.mark[left] == 'o' ? '|' : '-';
}

std::string Row(const BitMap& map, unsigned byte) {
    std::string row = "|";
    for (int b = 7; b >= 0; --b) {
        const unsigned bit = byte * 8 + static_cast<unsigned>(b);
        row += Cell(map, bit);
        row += b == 0 ? '|' : Separator(map, bit, bit - 1);
    }
    return row;
}

// The names of the signals whose least significant bit lies in the byte.
std::string RowNames(const FrameView& frame, unsigned byte) {
    std::string names;
    for (const SignalView& signal : frame.signals) {
        const auto bits = SignalBits(signal.start, signal.length, signal.bigEndian);
        if (bits.empty() || bits.back() / 8 != byte) continue;
        names += names.empty() ? "  " : ", ";
        names += signal.name;
    }
    return names;
}

// The selector value of a multiplexed signal ("m3", "m3M", "m3 Switch:..."); nullopt for the
// others.
std::optional<int64_t> MultiplexValueOf(const SignalView& signal) {
    if (signal.multiplexing.size() < 2 || signal.multiplexing[0] != 'm') return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(signal.multiplexing.c_str() + 1, &end, 10);
    if (end == signal.multiplexing.c_str() + 1) return std::nullopt;
    return value;
}

std::vector<int64_t> MultiplexValues(const FrameView& frame) {
    std::vector<int64_t> values;
    for (const SignalView& signal : frame.signals) {
        if (auto value = MultiplexValueOf(signal)) values.push_back(*value);
    }
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

const SignalView* MultiplexerSwitch(const FrameView& frame) {
    for (const SignalView& signal : frame.signals) {
        if (!signal.multiplexing.empty() && signal.multiplexing.back() == 'M') return &signal;
    }
    return nullptr;
}

// The frame as the selector value shows it: the signals that are not multiplexed and those
// of that value.
FrameView SelectedBy(const FrameView& frame, int64_t value) {
    FrameView selected = frame;
    selected.signals.clear();
    for (const SignalView& signal : frame.signals) {
        const auto own = MultiplexValueOf(signal);
        if (!own || *own == value) selected.signals.push_back(signal);
    }
    return selected;
}

// One row per byte, bit 7 on the left.
void DrawGrid(const FrameView& frame, std::ostream& out) {
    const BitMap map = MapBits(frame);
    out << "\n                         Bit\n\n";
    out << "           7   6   5   4   3   2   1   0\n";
    const std::string rule = "         +---+---+---+---+---+---+---+---+\n";
    out << rule;
    for (unsigned byte = 0; byte < map.bytes; ++byte) {
        char label[24];
        std::snprintf(label, sizeof label, "%s %3u ", byte == 0 ? "Byte" : "    ", byte);
        out << label << Row(map, byte) << RowNames(frame, byte) << '\n' << rule;
    }
}

std::string Hex(uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", id);
    return text;
}

void DrawLegend(const FrameView& frame, std::ostream& out) {
    out << "\n  x least significant bit, < most significant bit, *** bits of several signals\n\n";
    for (const SignalView& signal : frame.signals) {
        out << "  " << signal.name << ": start " << signal.start << ", " << signal.length << " bit"
            << (signal.length == 1 ? "" : "s") << ", "
            << (signal.bigEndian ? "big endian" : "little endian");
        if (!signal.multiplexing.empty()) out << ", multiplexing " << signal.multiplexing;
        out << '\n';
    }
}

const FrameView* FindFrame(const std::vector<NetworkView>& views, const std::string& text) {
    char* end = nullptr;
    const unsigned long long id = std::strtoull(text.c_str(), &end, 0);
    const bool numeric = !text.empty() && end != nullptr && *end == '\0';
    for (const NetworkView& view : views) {
        for (const FrameView& frame : view.frames) {
            if (numeric ? frame.id == id : frame.name == std::string_view(text)) return &frame;
        }
    }
    return nullptr;
}

}  // namespace

void DrawFrameLayout(const FrameView& frame, std::ostream& out) {
    out << frame.name << " (" << Hex(frame.id) << "), " << frame.length << " byte"
        << (frame.length == 1 ? "" : "s") << "\n";
    const std::vector<int64_t> values = MultiplexValues(frame);
    if (values.empty()) {
        DrawGrid(frame, out);
    } else {
        const SignalView* selector = MultiplexerSwitch(frame);
        for (int64_t value : values) {
            out << "\n  " << (selector ? selector->name : std::string_view("multiplexer")) << " = "
                << value << ":\n";
            DrawGrid(SelectedBy(frame, value), out);
        }
    }
    DrawLegend(frame, out);
}

Json FrameLayoutJson(const FrameView& frame) {
    const BitMap map = MapBits(frame);
    Json bytes = Json::array();
    for (unsigned byte = 0; byte < map.bytes; ++byte) {
        Json row = Json::array();
        for (int b = 7; b >= 0; --b) {
            const int owner = map.owner[byte * 8 + static_cast<unsigned>(b)];
            row.push_back(owner >= 0         ? Json(frame.signals[static_cast<size_t>(owner)].name)
                          : owner == kShared ? Json("*")
                                             : Json(nullptr));
        }
        bytes.push_back(row);
    }
    Json signals = Json::array();
    for (const SignalView& signal : frame.signals) {
        signals.push_back({{"name", signal.name},
                           {"start", signal.start},
                           {"length", signal.length},
                           {"byteOrder", signal.bigEndian ? "big_endian" : "little_endian"},
                           {"multiplexing", signal.multiplexing},
                           {"bits", SignalBits(signal.start, signal.length, signal.bigEndian)}});
    }
    return {{"name", frame.name},
            {"id", frame.id},
            {"length", frame.length},
            {"bytes", bytes},
            {"signals", signals}};
}

int RunLayout(const std::string& path, const std::string& frameText, const Options& options) {
    const auto format = NetworkFormatOf(path);
    if (!format) throw ToolError("--layout draws frames of DBC, LDF and ARXML files");
    const std::vector<NetworkView> views = LoadNetworkViews(path, *format, options);
    const FrameView* frame = FindFrame(views, frameText);
    if (frame == nullptr) throw ToolError("no frame '" + frameText + "' in " + path);
    if (options.json) {
        std::cout << FrameLayoutJson(*frame).dump(2) << '\n';
    } else {
        DrawFrameLayout(*frame, std::cout);
    }
    return 0;
}

}  // namespace qmtool
