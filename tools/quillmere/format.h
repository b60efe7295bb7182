#pragma once
// Every file format the tool knows registers one FileFormat; the generic commands (info, dump,
// check, decode, convert, demo) dispatch to it by file extension or --format.
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace qm::codec {
class FrameCatalog;
}

namespace qmtool {

using Json = nlohmann::ordered_json;

struct Options {
    bool json = false;
    std::string format;       // forced format name, "" to follow the extension
    std::string cluster;      // convert: which cluster of a multi-bus file
    std::string output;       // -o FILE where a command writes a file
    std::string encoding;     // --encoding NAME: the text encoding of the input files, "" to decide
    bool shortNames = false;  // --short-names: names as written, not the long names
    // --exact: the described readers (DBC: stops at unknown lines; ARXML: only the packages of
    // the described names; ODX: every message parameter placed after its predecessor) instead
    // of tolerant and whole-document reading and stated ODX positions
    bool exact = false;
    bool grouping = false;  // diagnostic files: the service groups instead of the classes
    // --recursive: a folder is read with its subfolders even when no ODX or PDX file lies at
    // its top level
    bool recursive = false;
    std::string language;  // --language LANG: the text language of CDD files, "" to decide
};

// Exit codes of "check".
enum CheckExit { kCheckClean = 0, kCheckWarnings = 1, kCheckFailed = 2 };

struct CheckResult {
    int exitCode = kCheckClean;
    std::vector<std::string> messages;  // the reader's lines, one per entry
    std::string status;                 // a short word or code for the load status
};

class FileFormat {
  public:
    virtual ~FileFormat() = default;
    virtual std::string Name() const = 0;
    // The file-class version reported by "quillmere version"; "" when there is none.
    virtual std::string ClassVersion() const { return ""; }
    virtual bool Accepts(const std::filesystem::path& path) const = 0;

    // Short summary: at least "path", "kind" and "status". Throws ToolError when the file
    // cannot be loaded at all.
    virtual Json Info(const std::string& path, const Options& options) = 0;
    // The whole model, as JSON; text output is rendered from it unless DumpText is overridden.
    virtual Json Dump(const std::string& path, const Options& options) = 0;
    virtual bool DumpText(const std::string& path, const Options& options, std::ostream& out);
    virtual CheckResult Check(const std::string& path, const Options& options) = 0;
    // The frame codecs of the file, built once per path, for "decode" and log decoding; null
    // when the format has no frames. Names are those the tool shows (long names of DBC files
    // unless --short-names).
    virtual const qm::codec::FrameCatalog* Frames(const std::string& path, const Options& options);
    // Frames() for a command that needs nothing but the codecs (a log decode): the model is
    // freed, as the catalog is built where the format can, so that the model of a large
    // database and its catalog never take their whole memory side by side. Later calls for the
    // path load the model again.
    virtual const qm::codec::FrameCatalog* FramesOnly(const std::string& path,
                                                      const Options& options);
    // The identifier of the frame a typed name stands for (either name where a file gives long
    // names); nullopt when the format has no such frame.
    virtual std::optional<uint64_t> FrameIdByName(const std::string& path, const std::string& name,
                                                  const Options& options);
    // Rewrites or converts; returns false when this conversion is not offered.
    virtual bool Convert(const std::string& in, const std::string& out, const Options& options);
    // A few lines for "quillmere demo" about the bundled examples.
    virtual void Demo(const std::filesystem::path& examplesDir, std::ostream& out);
};

// A failure the tool reports as one line on stderr with a non-zero exit.
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "cannot write 'PATH': REASON", the reason being the system's text for the last failed write.
ToolError WriteFailure(const std::string& path);

// A folder is read as a folder of ODX files only when an ODX or PDX file lies at its top level,
// or when --recursive says to look below; otherwise this throws ToolError.
void RequireOdxFolder(const std::string& path, bool recursive);

void RegisterFormat(std::unique_ptr<FileFormat> format);
const std::vector<std::unique_ptr<FileFormat>>& Formats();
// The format for a path (or the forced one); throws ToolError when none fits.
FileFormat& FormatFor(const std::string& path, const Options& options);

class TextDecoder;
// The JSON with every text converted to UTF-8 by the decoder (object keys included); "path"
// values are command-line bytes and are only made well-formed.
Json ToUtf8(const Json& value, const TextDecoder& decoder);

// Renders JSON as indented "key: value" lines for people.
void PrintReadable(const Json& value, std::ostream& out, int indent = 0);

// The non-empty lines of a reader's message text, without their line ends ("\n" or "\r\n").
std::vector<std::string> SplitLines(const std::string& text);

// The extension of a path with its dot, in lower case ("" when it has none).
std::string LowerExtension(const std::filesystem::path& path);

// Parses "DEADBEEF", "de ad be ef" or "0xDEADBEEF" into bytes; throws ToolError.
std::vector<uint8_t> ParseHexPayload(const std::string& hex);

// "encode-request FILE ECU SERVICE [PARAM=VALUE...]": the request bytes of a diagnostic
// service, in hex.
int RunDecodeDiag(const std::string& path, const std::string& ecu, const std::string& hex,
                  const Options& options);
int RunEncodeRequest(const std::string& path, const std::string& ecu, const std::string& service,
                     const std::vector<std::string>& assignments, const Options& options);

}  // namespace qmtool

#define QM_REGISTER_FORMAT(Class)                                                                \
    namespace {                                                                                  \
    const bool registered_##Class = (::qmtool::RegisterFormat(std::make_unique<Class>()), true); \
    }
