#include "text.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cctype>
#include <cstring>

#include <string_view>

#include "platform/code_pages.h"

namespace qmpy {

namespace {

bool IsAscii(const char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
    }
    return true;
}

}  // namespace

PyObject* DecodeWindows1252(const char* bytes, size_t size) {
    std::u16string wide(size, u'\0');
    for (size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        wide[i] = static_cast<char16_t>(qm::platform::Windows1252CodePoint(byte));
    }
    return PyUnicode_FromKindAndData(PyUnicode_2BYTE_KIND, wide.data(),
                                     static_cast<Py_ssize_t>(wide.size()));
}

TextRule::TextRule(std::string codec) : codec_(std::move(codec)) {
    if (!codec_.empty()) {
        // An unknown codec is refused at load time rather than at the first text.
        PyObject* probe = PyCodec_Decoder(codec_.c_str());
        if (!probe) throw py::error_already_set();
        Py_DECREF(probe);
    }
}

namespace {

// True when text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
// Calls passed(p) every megabyte or so with the start of the next sequence.
template <class Passed>
bool IsValidUtf8(std::string_view text, Passed&& passed) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    const unsigned char* report = p + (size_t{1} << 20);
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        if (p >= report) {
            passed(reinterpret_cast<const char*>(p));
            report = p + (size_t{1} << 20);
        }
        size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) < length) return false;
        if (p[1] < low || p[1] > high) return false;
        for (size_t i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) return false;
        }
        p += length;
    }
    return true;
}

}  // namespace

TextRule TextRule::ForFile(const std::string& path) {
    // The file is mapped, not copied, and the pages passed leave the resident set as it is
    // read (a 50 MB DBC was a 50 MB string read a character at a time).
    TextRule rule;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return rule;
    struct stat info {};
    void* mapping = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        mapping = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapping == MAP_FAILED) return rule;
    const auto* base = static_cast<const char*>(mapping);
    const size_t size = static_cast<size_t>(info.st_size);
    ::madvise(mapping, size, MADV_SEQUENTIAL);
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    rule.windows1252_ = !IsValidUtf8({base, size}, [&](const char* passed) {
        const size_t whole = static_cast<size_t>(passed - base) / page * page;
        ::madvise(mapping, whole, MADV_DONTNEED);
    });
    ::munmap(mapping, size);
    return rule;
}

PyObject* TextRule::Decode(const char* bytes) const {
    return Decode(bytes, bytes ? std::strlen(bytes) : 0);
}

PyObject* TextRule::Decode(const char* bytes, size_t size) const {
    if (!bytes) bytes = "";
    const auto length = static_cast<Py_ssize_t>(size);
    if (!codec_.empty()) return PyUnicode_Decode(bytes, length, codec_.c_str(), "replace");
    if (IsAscii(bytes, size)) return PyUnicode_FromStringAndSize(bytes, length);
    if (windows1252_) return DecodeWindows1252(bytes, size);
    PyObject* text = PyUnicode_DecodeUTF8(bytes, length, "strict");
    if (text) return text;
    PyErr_Clear();
    return DecodeWindows1252(bytes, size);
}

py::str TextRule::operator()(const char* bytes) const {
    PyObject* text = Decode(bytes);
    if (!text) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

std::vector<std::string> TextRule::Candidates(const py::handle& text) const {
    std::vector<std::string> forms;
    if (!codec_.empty()) {
        PyObject* encoded = PyUnicode_AsEncodedString(text.ptr(), codec_.c_str(), "strict");
        if (encoded) {
            forms.emplace_back(PyBytes_AS_STRING(encoded), PyBytes_GET_SIZE(encoded));
            Py_DECREF(encoded);
        } else {
            PyErr_Clear();
        }
        return forms;
    }
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (!utf8) throw py::error_already_set();
    forms.emplace_back(utf8, static_cast<size_t>(size));
    if (!IsAscii(utf8, static_cast<size_t>(size))) {
        PyObject* encoded = PyUnicode_AsEncodedString(text.ptr(), "cp1252", "strict");
        if (encoded) {
            forms.emplace_back(PyBytes_AS_STRING(encoded), PyBytes_GET_SIZE(encoded));
            Py_DECREF(encoded);
        } else {
            PyErr_Clear();
        }
    }
    return forms;
}

std::string TextRule::Encode(const py::handle& text) const {
    if (!PyUnicode_Check(text.ptr())) throw py::type_error("a name must be a str");
    if (codec_.empty()) {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
        if (!utf8) throw py::error_already_set();
        return std::string(utf8, static_cast<size_t>(size));
    }
    PyObject* encoded = PyUnicode_AsEncodedString(text.ptr(), codec_.c_str(), "strict");
    if (!encoded) throw py::error_already_set();
    std::string bytes(PyBytes_AS_STRING(encoded), PyBytes_GET_SIZE(encoded));
    Py_DECREF(encoded);
    return bytes;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace qmpy
