#pragma once
// Small pieces every binding file uses: enumerations, reader logs, paths, lists of wrappers.
#include <pybind11/pybind11.h>

#include <cstdint>
#include <memory>
#include <string>

#include "quillmere/netfile.h"
#include "session.h"

namespace qmpy {

namespace py = pybind11;

// The member of the module's IntEnum `type` with this value, or the plain int when the
// enumeration has no such member.
py::object EnumMember(const char* type, int64_t value);

// The member's name of EnumMember(type, value), or the number.
py::str EnumName(const char* type, int64_t value);

// A reader's message log as one str per line, line ends removed.
py::list LogLines(const TextRule& text, const char* log);

// The path of a str or os.PathLike argument.
std::string PathOf(const py::handle& path);

// Raises FileNotFoundError, IsADirectoryError or PermissionError when the file cannot be read.
void RequireReadable(const std::string& path);

// Raises OSError for a save or edit whose file could not be written.
[[noreturn]] void RaiseNotWritten(const std::string& path);

// The path a file was loaded from or last saved to, its wide characters narrowed bytewise.
std::string StoredPath(INetFile* file);

// Writes the file to path, or to its own path when path is None; OSError when not written.
void SaveOrRaise(INetFile* file, const py::object& path);

// 'dbc', 'ldf' or 'arxml' from a path's extension, else from the file's first bytes;
// ValueError when neither tells.
std::string FormatOf(const std::string& path);

// Decimals for the writer from the shortest text of a double ("2.5" has 1, "3" has 0).
uint8_t DecimalsOf(double value);

// A list of wrappers of `count` objects that `get(i)` gives.
template <class Wrapper, class Doc, class Get>
py::list ListOf(const std::shared_ptr<Doc>& doc, uint64_t count, Get get) {
    py::list list;
    for (uint64_t i = 0; i < count; ++i) {
        auto* object = get(i);
        if (object) list.append(py::cast(Wrapper{doc, object}));
    }
    return list;
}

// A wrapper or None.
template <class Wrapper, class Doc, class Object>
py::object WrapOrNone(const std::shared_ptr<Doc>& doc, Object* object) {
    if (!object) return py::none();
    return py::cast(Wrapper{doc, object});
}

// __eq__ and __hash__ by the identity of the model object.
template <class Class>
void AddIdentity(Class& cls) {
    using T = typename Class::type;
    cls.def("__eq__", [](const T& a, const py::object& b) {
        if (!py::isinstance<T>(b)) return false;
        return a.object == b.cast<const T&>().object;
    });
    cls.def("__hash__", [](const T& a) { return std::hash<const void*>()(a.object); });
}

}  // namespace qmpy
