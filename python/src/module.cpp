// The module: load(), the status enumerations and every model class.
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "bind_common.h"
#include "dbc_document.h"
#include "plan_source.h"

namespace qmpy {
void BindLdf(py::module_& m);
py::object LoadLdf(const std::string& path, const TextRule& text, bool tolerant);
void BindArxml(py::module_& m);
py::object LoadArxml(const std::string& path, const TextRule& text, bool exact);
void BindNetwork(py::module_& m);
void BindSomeIp(py::module_& m);
void BindDiag(py::module_& m);
void BindFrameDatabase(py::module_& m);
bool IsDiagnosticPath(const std::string& path);
py::object LoadDiagnostics(const std::string& path, const py::object& encoding, bool exact,
                           const py::object& language);
}  // namespace qmpy

namespace qmpy {
namespace {

void AddEnum(py::module_& m, const char* name, const char* doc,
             std::initializer_list<std::pair<const char*, int>> members) {
    py::list items;
    for (const auto& [member, value] : members) items.append(py::make_tuple(member, value));
    py::object type =
        py::module_::import("enum").attr("IntEnum")(name, items, py::arg("module") = "quillmere");
    type.attr("__doc__") = doc;
    m.attr(name) = type;
}

void BindEnums(py::module_& m) {
    AddEnum(m, "DbcStatus", "Load status of a DBC file.",
            {{"NOT_LOADED", 0},
             {"LOADED", 1},
             {"LOADED_WITH_WARNINGS", 2},
             {"UNSUPPORTED_KEYWORD", 3},
             {"UNDEFINED_TAG", 4},
             {"FILE_NOT_OPENED", 5},
             {"BAD_VERSION", 6},
             {"BAD_NEW_SYMBOLS", 7},
             {"BAD_BUS_TIMING", 8},
             {"BAD_NODES", 9},
             {"BAD_VALUE_TABLE", 10},
             {"BAD_MESSAGE", 11},
             {"BAD_SIGNAL", 12},
             {"BAD_MESSAGE_TRANSMITTERS", 13},
             {"BAD_ENVIRONMENT_VARIABLE", 14},
             {"BAD_ENVIRONMENT_VARIABLE_DATA", 15},
             {"BAD_COMMENT", 16},
             {"BAD_ATTRIBUTE_DEFINITION", 17},
             {"BAD_RELATION_ATTRIBUTE_DEFINITION", 18},
             {"BAD_ATTRIBUTE_DEFAULT", 19},
             {"BAD_RELATION_ATTRIBUTE_DEFAULT", 20},
             {"BAD_ATTRIBUTE_VALUE", 21},
             {"BAD_RELATION_ATTRIBUTE_VALUE", 22},
             {"BAD_VALUE_DESCRIPTIONS", 23},
             {"BAD_SIGNAL_VALUE_TYPE", 24},
             {"BAD_SIGNAL_GROUP", 25}});
    AddEnum(m, "LdfStatus", "Load result of an LDF file.",
            {{"LOADED", 0},
             {"BAD_PROTOCOL_VERSION", 12},
             {"BAD_LANGUAGE_VERSION", 13},
             {"BAD_FILE_REVISION", 14},
             {"BAD_SPEED", 15},
             {"BAD_CHANNEL_NAME", 16},
             {"BAD_NODES", 17},
             {"BAD_COMPOSITE", 18},
             {"BAD_DIAGNOSTIC_ADDRESSES", 19},
             {"BAD_SIGNALS", 20},
             {"BAD_DIAGNOSTIC_SIGNALS", 21},
             {"BAD_DYNAMIC_FRAMES", 22},
             {"BAD_FRAMES", 23},
             {"BAD_SPORADIC_FRAMES", 24},
             {"BAD_EVENT_TRIGGERED_FRAMES", 25},
             {"BAD_DIAGNOSTIC_FRAMES", 26},
             {"BAD_NODE_ATTRIBUTES", 27},
             {"BAD_SCHEDULE_TABLES", 28},
             {"BAD_SIGNAL_GROUPS", 29},
             {"BAD_SIGNAL_ENCODING_TYPES", 30},
             {"BAD_SIGNAL_REPRESENTATIONS", 31},
             {"FILE_NOT_OPENED", 254},
             {"NOT_LOADED", 255}});
    AddEnum(m, "ArxmlStatus", "Load status of an ARXML file.", {{"NOT_LOADED", 0}, {"LOADED", 1}});
    AddEnum(m, "LoadResult", "Result of a load into a network configuration.",
            {{"OK", 0},
             {"WITH_WARNINGS", 1},
             {"UNSUPPORTED_KEYWORD", 2},
             {"UNDEFINED_TAG", 3},
             {"FILE_NOT_OPENED", 4},
             {"FAILED", 6},
             {"FORMAT_NOT_SUPPORTED", 9}});
    AddEnum(m, "BusType", "Bus of a network database.",
            {{"UNKNOWN", 0}, {"CAN", 1}, {"LIN", 2}, {"ETHERNET", 3}});
}

}  // namespace

// The format of a file from its extension, or from its first bytes when the extension says
// nothing.
std::string FormatOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        const std::string extension = Lower(path.substr(dot + 1));
        if (extension == "dbc" || extension == "ldf" || extension == "arxml") return extension;
    }
    std::string head(4096, '\0');
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        head.resize(std::fread(head.data(), 1, head.size(), file));
        std::fclose(file);
    }
    if (head.find("<AUTOSAR") != std::string::npos) return "arxml";
    if (head.find("LIN_description_file") != std::string::npos) return "ldf";
    if (head.find("VERSION") != std::string::npos || head.find("BO_ ") != std::string::npos ||
        head.find("BU_") != std::string::npos) {
        return "dbc";
    }
    throw py::value_error("cannot tell the format of '" + path +
                          "'; give format='dbc', 'ldf' or 'arxml'");
}

namespace {

py::object LoadDbc(const std::string& path, const TextRule& text, bool tolerant, bool shortNames) {
    auto doc = std::make_shared<DbcDocument>();
    doc->longNames = !shortNames;
    doc->facade = std::make_shared<Facade>();
    doc->text = text;
    doc->file = doc->facade->Get()->CreateDbcFile();
    if (tolerant) {
        if (auto* reading = dynamic_cast<IDbcTolerantReading*>(doc->file)) {
            reading->SetTolerantReading(true);
        }
    }
    {
        py::gil_scoped_release released;
        doc->file->Load(path.c_str());
    }
    if (doc->file->GetStatus() == 5) RequireReadable(path);
    return py::cast(doc);
}

py::object Load(const py::object& pathArgument, const py::object& format,
                const py::object& encoding, bool exact, const py::object& tolerantArgument,
                const py::object& language, bool shortNames) {
    // Real files are read as the tool reads them: DBC tolerantly, ARXML whole, diagnostics as
    // written; exact=True gives the described readers. tolerant= still chooses the DBC reader.
    const bool tolerant = tolerantArgument.is_none() ? !exact : tolerantArgument.cast<bool>();
    const std::string path = PathOf(pathArgument);
    if (format.is_none() && IsDiagnosticPath(path))
        return LoadDiagnostics(path, encoding, exact, language);
    RequireReadable(path);
    const TextRule text =
        encoding.is_none() ? TextRule::ForFile(path) : TextRule(encoding.cast<std::string>());
    const std::string kind = format.is_none() ? FormatOf(path) : Lower(format.cast<std::string>());
    if (kind == "dbc") return LoadDbc(path, text, tolerant, shortNames);
    if (kind == "ldf") return LoadLdf(path, text, !exact);
    if (kind == "arxml") return LoadArxml(path, text, exact);
    throw py::value_error("unknown format '" + kind + "'; use 'dbc', 'ldf' or 'arxml'");
}

}  // namespace
}  // namespace qmpy

PYBIND11_MODULE(quillmere, m) {
    using namespace qmpy;
    m.doc() =
        "Quillmere: fast reading, checking, editing and writing of DBC, LDF and ARXML "
        "network descriptions, with frame decoding and encoding.";
    BindEnums(m);
    BindCodec(m);
    BindDbc(m);
    BindLdf(m);
    BindArxml(m);
    BindNetwork(m);
    BindSomeIp(m);
    BindDiag(m);
    BindFrameDatabase(m);
    m.def("load", &Load, py::arg("path"), py::arg("format") = py::none(),
          py::arg("encoding") = py::none(), py::kw_only(), py::arg("exact") = false,
          py::arg("tolerant") = py::none(), py::arg("language") = py::none(),
          py::arg("short_names") = false,
          R"(Reads a network description file and returns its model.

path      a str or os.PathLike.
format    'dbc', 'ldf' or 'arxml'; by default taken from the extension (or the content).
encoding  codec for the texts of the file; by default UTF-8 when the whole file is valid
          UTF-8 and Windows-1252 otherwise (the rule of the command-line tool).
exact     the described readers: DBC stops at the first line it does not know, ARXML reads
          only the packages of the described names. By default files are read as the
          command-line tool reads them: DBC tolerantly (every line the exact reader stops at
          becomes a "WARNING. " line of `log`; "SG_MUL_VAL_" lines give extended multiplexing,
          which decode, decode_many and encode follow), LDF with a delay's unit glued to its
          number ("delay 10ms", with a warning), ARXML whole (every PDU and cluster of every
          package).
tolerant  DBC only: overrides the choice of exact for the DBC reader.
short_names  DBC only: decode, encode and log columns name frames and signals as written
          instead of by the long names of "SystemMessageLongSymbol" and
          "SystemSignalLongSymbol" (the names cantools and canmatrix show; editors cut names
          at 32 characters). Frames are found by either name; the model keeps the written
          names.

CDD, ODX (.odx*), PDX files and folders give a DiagDatabase, read as written unless
exact=True (the described build); language picks the CDD text language.

Returns a DbcFile, LdfFile, ArxmlFile or DiagDatabase. A file that cannot be opened raises
FileNotFoundError (or another OSError); a file the reader stops in does not raise: its
`status` says where it stopped and `log` holds the reader's messages.)");
    m.attr("__version__") = QM_PYTHON_VERSION;
    m.def(
        "version",
        [] {
            qmpy::Facade facade;
            return std::string(facade.Get()->GetVersion());
        },
        "The library's version text.");
}
