#include "decode_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "codec/frame_codec.h"
#include "codec/log_reader.h"
#include "decode_output.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

using qm::codec::FrameCatalog;
using qm::codec::FrameCodec;
using qm::codec::LogCounts;
using qm::codec::LogFrame;
using qm::codec::LogLineKind;

std::optional<uint64_t> ParseNumber(const std::string& text) {
    try {
        size_t used = 0;
        const uint64_t id = std::stoull(text, &used, 0);
        if (used == text.size() && !text.empty() && text[0] != '-') return id;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

void PrintCounts(const LogCounts& counts, const std::string& source) {
    std::fprintf(stderr,
                 "quillmere: %s: %llu lines, %llu frames (%llu decoded, %llu unknown, %llu "
                 "truncated), %llu remote, %llu error frames, %llu skipped, %llu unreadable\n",
                 source.c_str(), static_cast<unsigned long long>(counts.lines),
                 static_cast<unsigned long long>(counts.frames),
                 static_cast<unsigned long long>(counts.decoded),
                 static_cast<unsigned long long>(counts.unknown),
                 static_cast<unsigned long long>(counts.truncated),
                 static_cast<unsigned long long>(counts.remote),
                 static_cast<unsigned long long>(counts.errorFrames),
                 static_cast<unsigned long long>(counts.skipped),
                 static_cast<unsigned long long>(counts.unreadable));
}

// The log is read in blocks of whole lines; each block's output is written before the next
// block is read, so a pipe is decoded as it flows and memory stays flat.
int DecodeLog(const FrameCatalog& frames, const std::string& logPath, DecodeWriter& writer) {
    const bool standardInput = logPath == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(logPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw ToolError("cannot open log '" + logPath + "': " + std::strerror(errno));
    qm::codec::LineReader reader(fd);
    qm::codec::LogLineParser parser;
    LogCounts counts;
    LogFrame frame;
    std::string out;
    out.reserve(size_t{4} << 20);
    std::string_view block;
    while (reader.NextBlock(block)) {
        qm::codec::ForEachLine(block, [&](std::string_view line) {
            const LogLineKind kind = parser.Parse(line, frame);
            counts.Count(kind);
            if (kind != LogLineKind::Frame) return;
            const FrameCodec* codec = frames.ForId(frame.id, frame.extended);
            if (codec == nullptr) {
                ++counts.unknown;
                return;
            }
            ++counts.decoded;
            if (!writer.Append(out, *codec, frame.data, frame.size, &frame)) ++counts.truncated;
        });
        WriteAll(out);
        out.clear();
    }
    if (!standardInput) ::close(fd);
    PrintCounts(counts, standardInput ? "stdin" : logPath);
    if (reader.Failed()) throw ToolError("cannot read log '" + logPath + "'");
    return 0;
}

}  // namespace

void WriteAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            throw ToolError(std::string("cannot write the output: ") + std::strerror(errno));
        }
        done += static_cast<size_t>(wrote);
    }
}

// A frame typed on the command line: a number, or a name as the format knows it (typed in the
// terminal's encoding, UTF-8, and matched in the file's).
const FrameCodec& FrameOf(FileFormat& format, const FrameCatalog& frames, const std::string& db,
                          const std::string& text, const TextDecoder& decoder,
                          const Options& options) {
    if (auto id = ParseNumber(text)) {
        if (const FrameCodec* frame = frames.ForId(*id)) return *frame;
        throw ToolError("frame " + text + " is not in " + db);
    }
    const std::string name = decoder.FromUtf8(text);
    if (auto key = format.FrameIdByName(db, name, options)) {
        if (const FrameCodec* frame = frames.ForId(*key)) return *frame;
    }
    if (const FrameCodec* frame = frames.ByName(name)) return *frame;
    throw ToolError("no frame '" + text + "' in " + db);
}

int RunDecode(const std::string& db, const std::string& frameText, const std::string& hex,
              const std::string& logPath, const Options& options) {
    FileFormat& format = FormatFor(db, options);
    const FrameCatalog* frames = format.Frames(db, options);
    if (frames == nullptr) throw ToolError("the " + format.Name() + " format has no frames");
    const TextDecoder decoder = [&] {
        try {
            return TextDecoder::ForFile(db, options.encoding);
        } catch (const UnknownEncoding& e) {
            throw ToolError(e.what());
        }
    }();
    DecodeWriter writer(decoder, options.json);
    if (!logPath.empty()) return DecodeLog(*frames, logPath, writer);
    if (frameText.empty() || hex.empty()) {
        throw ToolError("decode needs FRAME and HEX, or --log FILE");
    }
    const FrameCodec& frame = FrameOf(format, *frames, db, frameText, decoder, options);
    const std::vector<uint8_t> payload = ParseHexPayload(hex);
    std::string out;
    writer.Append(out, frame, payload.data(), payload.size());
    WriteAll(out);
    return 0;
}

}  // namespace qmtool
