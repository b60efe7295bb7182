#pragma once
// "quillmere decode DB FRAME HEX" and "quillmere decode DB --log FILE|-": frames decoded through
// the frame codecs of the database's format.
#include <string>

#include "format.h"
#include "log_jobs.h"

namespace CLI {
class App;
}

namespace qm::codec {
class FrameCatalog;
class FrameCodec;
}  // namespace qm::codec

namespace qmtool {

class TextDecoder;

// A frame typed on the command line: a number, or a name as the format knows it (typed in the
// terminal's encoding, UTF-8, and matched in the file's). Throws ToolError when none.
const qm::codec::FrameCodec& FrameOf(FileFormat& format, const qm::codec::FrameCatalog& frames,
                                     const std::string& db, const std::string& text,
                                     const TextDecoder& decoder, const Options& options);

// Writes all of text to standard output; throws ToolError when it cannot.
void WriteAll(const std::string& text);

// The log options of "decode": --log LOG..., --jobs N, --csv, --jsonl (--json's alias), -o OUT.
void AddDecodeLogOptions(CLI::App& decode, LogJobOptions& logs, Options& options);

int RunDecode(const std::string& db, const std::string& frame, const std::string& hex,
              const LogJobOptions& logs, const Options& options);

}  // namespace qmtool
