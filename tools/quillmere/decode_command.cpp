#include "decode_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "codec/frame_codec.h"
#include "decode_output.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

using qm::codec::FrameCatalog;
using qm::codec::FrameCodec;

std::optional<uint64_t> ParseNumber(const std::string& text) {
    try {
        size_t used = 0;
        const uint64_t id = std::stoull(text, &used, 0);
        if (used == text.size() && !text.empty() && text[0] != '-') return id;
    } catch (const std::exception&) {
    }
    return std::nullopt;
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

void AddDecodeLogOptions(CLI::App& decode, LogJobOptions& logs, Options& options) {
    decode.add_option("--log", logs.logs,
                      "decode candump or Vector ASCII (.asc) logs, one after the other in the "
                      "output; - reads standard input (with --json: JSON Lines, one object per "
                      "frame)");
    decode.add_option("--jobs,-j", logs.jobs,
                      "threads that decode pieces of the logs at once (default: one per core); "
                      "the output is the same for any number");
    decode.add_flag("--csv", logs.csv,
                    "logs: one CSV table per frame (timestamp, channel, a column per signal) "
                    "in the folder -o names");
    decode.add_flag("--jsonl", options.json, "logs: JSON Lines, one object per frame (= --json)");
    decode.add_option("-o,--output", logs.output,
                      "logs: write to this file (JSON Lines, text) or folder (--csv) instead "
                      "of standard output");
    // Pieces far smaller than the default put many piece boundaries into a small log (tests).
    decode.add_option("--piece-size", logs.pieceBytes, "bytes of log a worker takes at once")
        ->group("");
    // A small budget has small logs write their tables while they decode (tests).
    decode
        .add_option("--table-bytes", logs.tableBytes,
                    "--csv: bytes of rows that wait before the largest tables are written")
        ->group("");
}

int RunDecode(const std::string& db, const std::string& frameText, const std::string& hex,
              const LogJobOptions& logs, const Options& options) {
    FileFormat& format = FormatFor(db, options);
    // The encoding first: it reads the whole file, best before the model takes its memory.
    const TextDecoder decoder = [&] {
        try {
            return TextDecoder::ForFile(db, options.encoding);
        } catch (const UnknownEncoding& e) {
            throw ToolError(e.what());
        }
    }();
    const FrameCatalog* frames =
        logs.logs.empty() ? format.Frames(db, options) : format.FramesOnly(db, options);
    if (frames == nullptr) throw ToolError("the " + format.Name() + " format has no frames");
    if (!logs.logs.empty()) {
        if (logs.csv && options.json) throw ToolError("choose one of --csv and --jsonl");
        DecodeWriter writer(decoder, logs.csv       ? DecodeStyle::Csv
                                     : options.json ? DecodeStyle::Json
                                                    : DecodeStyle::Text);
        DecodeLogs(*frames, writer, logs);
        return 0;
    }
    if (logs.csv || !logs.output.empty()) throw ToolError("--csv and -o go with --log");
    DecodeWriter writer(decoder, options.json);
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
