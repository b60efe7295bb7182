#pragma once
// Text encodings of input files. The library keeps the bytes of a file as read; whatever shows
// them to people (the tool, the Python package) decides once per file which encoding they are in
// and converts every text of that file to UTF-8 through this module:
//   - the encoding named by the user (any name iconv knows), else
//   - UTF-8 when the file's bytes are valid UTF-8, else
//   - cp1252, the code page most DBC editors write.
// Bytes that do not convert become U+FFFD; conversion never throws once a decoder exists.
// Depends only on the C library's iconv, so that other front ends can reuse it as it is.
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qm::platform {
class InputFile;
}

namespace qmtool {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The bytes with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

// An encoding name iconv does not know.
struct UnknownEncoding : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

class TextDecoder {
  public:
    static constexpr const char* kUtf8 = "UTF-8";
    static constexpr const char* kCp1252 = "CP1252";

    // A decoder for the named encoding; throws UnknownEncoding when iconv does not know it.
    explicit TextDecoder(const std::string& name);

    // The decoder for a file's bytes: the forced name when not empty, else UTF-8 or cp1252.
    static TextDecoder ForBytes(std::string_view bytes, const std::string& forcedName);
    // Reads the file to decide; a file that cannot be read (or a folder) counts as UTF-8.
    // keepMapped: the file is about to be loaded; its mapping stays for TakeCheckedInput.
    static TextDecoder ForFile(const std::string& path, const std::string& forcedName,
                               bool keepMapped = false);

    // The encoding's name: "UTF-8", "CP1252" or the name the user gave.
    const std::string& Name() const { return name_; }

    // The text as UTF-8; unconvertible bytes become U+FFFD.
    std::string ToUtf8(std::string_view text) const;
    // UTF-8 text in this encoding, for writing; characters it cannot hold become "?".
    std::string FromUtf8(std::string_view text) const;

  private:
    struct Converter;
    std::string name_;
    bool isUtf8_ = false;
    bool asciiCompatible_ = false;
    std::shared_ptr<Converter> toUtf8_;
    std::shared_ptr<Converter> fromUtf8_;
};

// The mapped bytes of the file the last ForFile call of this thread kept mapped, when that was
// path: a reader loading the file right after its check reads them instead of mapping (and
// populating) the file a second time. Null for any other path; the mapping goes with the result.
std::unique_ptr<qm::platform::InputFile> TakeCheckedInput(const std::string& path);

}  // namespace qmtool
