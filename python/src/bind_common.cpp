#include "bind_common.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace qmpy {

py::object EnumMember(const char* type, int64_t value) {
    py::object enumeration = py::module_::import("quillmere").attr(type);
    try {
        return enumeration(value);
    } catch (const py::error_already_set&) {
        return py::int_(value);
    }
}

py::str EnumName(const char* type, int64_t value) {
    py::object member = EnumMember(type, value);
    if (py::hasattr(member, "name")) return py::str(member.attr("name"));
    return py::str(member);
}

py::list LogLines(const TextRule& text, const char* log) {
    py::list lines;
    if (!log) return lines;
    const char* at = log;
    while (*at) {
        const char* end = std::strchr(at, '\n');
        const char* next = end ? end + 1 : at + std::strlen(at);
        if (!end) end = next;
        const char* stop = end;
        while (stop > at && stop[-1] == '\r') --stop;
        PyObject* line = text.Decode(at, static_cast<size_t>(stop - at));
        if (!line) throw py::error_already_set();
        lines.append(py::reinterpret_steal<py::object>(line));
        at = next;
    }
    return lines;
}

std::string PathOf(const py::handle& path) {
    py::object fspath = py::module_::import("os").attr("fsencode")(path);
    return fspath.cast<std::string>();
}

std::string StoredPath(INetFile* file) {
    std::string narrow;
    if (const wchar_t* wide = file->GetPath()) {
        for (; *wide; ++wide) narrow.push_back(static_cast<char>(*wide & 0xFF));
    }
    return narrow;
}

void SaveOrRaise(INetFile* file, const py::object& path) {
    if (path.is_none()) {
        if (!file->Save()) RaiseNotWritten(StoredPath(file));
        return;
    }
    const std::string target = PathOf(path);
    if (!file->Save(target.c_str())) RaiseNotWritten(target);
}

void RequireReadable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        errno = EISDIR;
    else if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return;
    }
    PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
    throw py::error_already_set();
}

void RaiseNotWritten(const std::string& path) {
    PyErr_Format(PyExc_OSError, "could not write '%s'", path.c_str());
    throw py::error_already_set();
}

uint8_t DecimalsOf(double value) {
    if (!std::isfinite(value)) return 0;
    char text[64];
    std::snprintf(text, sizeof(text), "%.17g", value);
    // The shortest text that reads back as the same double.
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof(text), "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    const char* exponent = std::strpbrk(text, "eE");
    const char* dot = std::strchr(text, '.');
    int decimals = 0;
    if (dot)
        decimals = static_cast<int>((exponent ? exponent : text + std::strlen(text)) - dot - 1);
    if (exponent) decimals -= std::atoi(exponent + 1);
    if (decimals < 0) decimals = 0;
    return static_cast<uint8_t>(decimals > 255 ? 255 : decimals);
}

}  // namespace qmpy
