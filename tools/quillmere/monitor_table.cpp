#include "monitor_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "decode_output.h"

namespace qmtool {

namespace {

void AppendHexId(std::string& out, uint32_t id, bool extended) {
    char text[16];
    std::snprintf(text, sizeof text, extended ? "0x%08X" : "0x%03X", id);
    out += text;
}

void AppendBytes(std::string& out, const uint8_t* data, size_t size) {
    char text[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(text, sizeof text, " %02X", data[i]);
        out += text;
    }
}

// "count 12  period 10.0 ms": the mean interval from the first frame to the latest.
void AppendRate(std::string& out, uint64_t count, double first, double last) {
    char text[64];
    if (count > 1) {
        std::snprintf(text, sizeof text, "  count %llu  period %.1f ms",
                      static_cast<unsigned long long>(count),
                      (last - first) * 1000.0 / static_cast<double>(count - 1));
    } else {
        std::snprintf(text, sizeof text, "  count %llu", static_cast<unsigned long long>(count));
    }
    out += text;
}

}  // namespace

const qm::codec::FrameCodec* MonitorTable::Record(const ReceivedFrame& frame) {
    const uint64_t key = (uint64_t{frame.extended} << 32) | frame.id;
    Seen& seen = frames_[key];
    if (seen.count == 0) {
        seen.codec = catalog_.ForId(frame.id, frame.extended);
        seen.id = frame.id;
        seen.extended = frame.extended;
        seen.first = frame.timestamp;
    }
    ++seen.count;
    seen.last = frame.timestamp;
    seen.fd = frame.fd;
    seen.size = frame.size;
    std::memcpy(seen.data, frame.data, frame.size);
    return seen.codec;
}

void MonitorTable::RenderFrame(const Seen& seen, std::string& out) const {
    AppendHexId(out, seen.id, seen.extended);
    out += "  ";
    std::string decoded;
    if (seen.codec != nullptr) {
        // The writer's first line names the frame; the signal lines follow it.
        writer_.Append(decoded, *seen.codec, seen.data, seen.size);
        const size_t headEnd = decoded.find('\n');
        out.append(decoded, 0, headEnd);
        decoded.erase(0, headEnd == std::string::npos ? decoded.size() : headEnd + 1);
    } else {
        out += "(not in the database)";
    }
    AppendRate(out, seen.count, seen.first, seen.last);
    out += seen.fd ? "  fd [" : "  [";
    out += std::to_string(seen.size);
    out += ']';
    if (seen.codec == nullptr) AppendBytes(out, seen.data, seen.size);
    out += '\n';
    out += decoded;
}

std::string MonitorTable::Render(size_t columns, size_t maxLines) const {
    std::string out;
    size_t lines = 0;
    for (const auto& entry : frames_) {
        if (lines >= maxLines) break;
        const size_t before = out.size();
        RenderFrame(entry.second, out);
        lines += static_cast<size_t>(
            std::count(out.begin() + static_cast<std::ptrdiff_t>(before), out.end(), '\n'));
    }
    return CutLines(out, columns);
}

std::string CutLines(const std::string& text, size_t columns) {
    if (columns == 0) return text;
    std::string out;
    out.reserve(text.size());
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        size_t cut = std::min(end, begin + columns);
        // Back off to the start of a UTF-8 sequence.
        while (cut < end && cut > begin && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.append(text, begin, cut - begin);
        out += '\n';
        begin = end + 1;
    }
    return out;
}

}  // namespace qmtool
