#pragma once
// The one rule by which the byte strings of a model become Python text, and back.
#include <pybind11/pybind11.h>

#include <string>
#include <utility>
#include <vector>

namespace qmpy {

namespace py = pybind11;

// Model texts are the bytes as read. By default a text is UTF-8 when it is valid UTF-8 and
// Windows-1252 otherwise; a codec named at load time decodes every text instead.
class TextRule {
  public:
    TextRule() = default;
    explicit TextRule(std::string codec);
    // The rule the tool follows too: decided once for the whole file. A file whose bytes are not
    // all valid UTF-8 has every text read as Windows-1252.
    static TextRule ForFile(const std::string& path);

    const std::string& Codec() const { return codec_; }
    // Whether every text is read as Windows-1252 (a file that is not UTF-8, by ForFile).
    bool Windows1252() const { return windows1252_; }
    // The rule of Codec() and Windows1252() of another process (a pickled document).
    static TextRule Restore(std::string codec, bool windows1252) {
        TextRule rule(std::move(codec));
        rule.windows1252_ = windows1252;
        return rule;
    }

    // A new reference to the text of the bytes (an empty string for null).
    PyObject* Decode(const char* bytes) const;
    PyObject* Decode(const char* bytes, size_t size) const;
    py::str operator()(const char* bytes) const;

    // The byte forms under which a Python name may be stored in the model, most likely first:
    // UTF-8, then Windows-1252 when that differs, or the codec's own form.
    std::vector<std::string> Candidates(const py::handle& text) const;
    // The bytes that an edit stores for a Python text.
    std::string Encode(const py::handle& text) const;

  private:
    std::string codec_;         // empty: UTF-8 when valid, else Windows-1252
    bool windows1252_ = false;  // the file is not UTF-8: every text is Windows-1252
};

// Windows-1252 bytes as a new Python text; the five bytes the code page leaves undefined map
// to the code points of the same number, as the platform's own conversion does.
PyObject* DecodeWindows1252(const char* bytes, size_t size);

// The text with ASCII letters in lower case.
std::string Lower(std::string text);

}  // namespace qmpy
