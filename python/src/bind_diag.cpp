// Diagnostic databases: quillmere.load of CDD, ODX and PDX files and folders of ODX files.
// The library reads them as written unless exact=True; services encode their requests and ECUs
// decode any request or response through the library's message codec (IUDSFunctionCodec).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bind_common.h"
#include "session.h"
#include "text.h"

namespace qmpy {

namespace {

struct DiagDocument : DocumentBase {
    IDiagnoseLib* library = nullptr;
    std::string path;
};

// One message a decode may find: its function, the service and the service's request bytes.
struct MessageEntry {
    IUDSService* service;
    IUDSFunctionCodec* codec;
    const char* kind;
    std::vector<uint8_t> requestBytes;
};

// An ECU with its messages indexed, built on the first decode: by the library's finder (the
// messages' constant leading bytes) when the ECU offers one, else by their first byte here.
struct DiagEcu {
    std::shared_ptr<DiagDocument> doc;
    IECU* ecu;
    bool indexed = false;
    std::unique_ptr<IMessageFinder> finder;
    std::unordered_map<uint8_t, std::vector<MessageEntry>> byFirstByte;
    std::vector<MessageEntry> anyFirstByte;
    // The ECU's global negative responses (service null) and the services by identifier.
    std::vector<MessageEntry> globalNegatives;
    std::unordered_map<uint8_t, IUDSService*> byServiceId;
};

struct DiagService {
    std::shared_ptr<DiagDocument> doc;
    IUDSService* service;
};

std::vector<uint8_t> ConstantForm(IUDSFunctionCodec* codec) {
    codec->EncodeMessage(0, nullptr, nullptr, 0);
    const uint8_t* bytes = codec->GetEncodedBytes();
    return std::vector<uint8_t>(bytes, bytes + codec->GetEncodedSize());
}

void Index(DiagEcu& ecu) {
    if (ecu.indexed) return;
    ecu.indexed = true;
    if (auto* finders = dynamic_cast<IECUMessageFinders*>(ecu.ecu))
        ecu.finder.reset(finders->CreateMessageFinder());
    for (uint64_t c = 0; c < ecu.ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu.ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            IUDSService* service = cls->GetService(s);
            auto* request = dynamic_cast<IUDSFunctionCodec*>(service->GetRequest(0));
            if (ecu.finder) {
                if (request) ecu.byServiceId.try_emplace(service->GetServiceId(), service);
                continue;
            }
            const std::vector<uint8_t> requestBytes =
                request ? ConstantForm(request) : std::vector<uint8_t>{};
            auto add = [&](IUDSFunction* function, const char* kind) {
                auto* codec = dynamic_cast<IUDSFunctionCodec*>(function);
                if (codec == nullptr) return;
                MessageEntry entry{service, codec, kind, requestBytes};
                // The first byte of a message whose first parameter is an 8-bit constant.
                IParam* first = function->GetParamCount() ? function->GetParam(0) : nullptr;
                const std::string type = first ? first->GetType() : "";
                if (first != nullptr && first->GetBytePosition() == 0 &&
                    first->GetBitLength() == 8 &&
                    (type == "CODED-CONST" || type == "CONSTCOMP" || type == "PHYS-CONST")) {
                    ecu.byFirstByte[static_cast<uint8_t>(first->GetValue())].push_back(entry);
                } else {
                    ecu.anyFirstByte.push_back(entry);
                }
            };
            if (request) add(service->GetRequest(0), "request");
            if (request) ecu.byServiceId.try_emplace(service->GetServiceId(), service);
            for (uint64_t i = 0; i < service->GetPositiveResponseCount(); ++i)
                add(service->GetPositiveResponse(i), "positiveResponse");
            for (uint64_t i = 0; i < service->GetNegativeResponseCount(); ++i)
                add(service->GetNegativeResponse(i), "negativeResponse");
        }
    }
    if (auto* globals = dynamic_cast<IECUGlobalResponses*>(ecu.ecu)) {
        for (uint64_t i = 0; i < globals->GetGlobalNegativeResponseCount(); ++i) {
            auto* codec = dynamic_cast<IUDSFunctionCodec*>(globals->GetGlobalNegativeResponse(i));
            if (codec) ecu.globalNegatives.push_back({nullptr, codec, "negativeResponse", {}});
        }
    }
}

py::object FieldValue(const DiagDecodedField& field) {
    switch (field.kind) {
        case 0:
            return field.scaled ? py::object(py::float_(field.physical))
                                : py::object(py::int_(field.raw));
        case 1:
            return py::float_(field.physical);
        case 2:
            return py::bytes(reinterpret_cast<const char*>(field.bytes), field.byteCount);
        case 3: {
            // A text parameter holds what the ECU sent: bytes that are no UTF-8 read as U+FFFD
            // (as the tool's JSON shows them) instead of failing the whole decode.
            PyObject* text = PyUnicode_DecodeUTF8(
                field.string, static_cast<Py_ssize_t>(std::strlen(field.string)), "replace");
            if (text == nullptr) throw py::error_already_set();
            return py::reinterpret_steal<py::object>(text);
        }
        default:
            return py::none();
    }
}

py::object FieldRaw(const DiagDecodedField& field) {
    switch (field.kind) {
        case 0:
        case 1:
            return py::int_(field.rawUnsigned);
        case 2:
        case 3:
            return py::bytes(reinterpret_cast<const char*>(field.bytes), field.byteCount);
        default:
            return py::none();
    }
}

// The flat fields as nested dicts: {"name", "raw", "value", "text", "unit"} with "parameters"
// and "items" where the field has them.
py::list Nest(const DiagDecodedField* fields, uint64_t count, const TextRule& text) {
    py::list top;
    std::vector<py::dict> dicts;
    dicts.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        const DiagDecodedField& field = fields[i];
        py::dict entry;
        entry["name"] = text(field.name);
        entry["raw"] = FieldRaw(field);
        entry["value"] = FieldValue(field);
        entry["text"] = field.text[0] ? py::object(text(field.text)) : py::object(py::none());
        entry["unit"] = field.unit[0] ? py::object(text(field.unit)) : py::object(py::none());
        dicts.push_back(entry);
        if (field.parent < 0) {
            top.append(entry);
            continue;
        }
        py::dict& parent = dicts[static_cast<size_t>(field.parent)];
        if (field.item < 0) {
            if (!parent.contains("parameters")) parent["parameters"] = py::list();
            parent["parameters"].cast<py::list>().append(entry);
        } else {
            if (!parent.contains("items")) parent["items"] = py::list();
            py::list items = parent["items"].cast<py::list>();
            while (static_cast<int64_t>(py::len(items)) <= field.item) items.append(py::list());
            items[static_cast<size_t>(field.item)].cast<py::list>().append(entry);
        }
    }
    return top;
}

py::dict Decode(DiagEcu& ecu, const py::bytes& message) {
    const std::string data = message;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    Index(ecu);
    const MessageEntry* best = nullptr;
    int64_t bestScore = 0;
    MessageEntry located{};
    if (ecu.finder) {
        IUDSService* service = nullptr;
        const char* kind = "";
        IUDSFunction* function =
            ecu.finder->FindMessage(bytes, data.size(), &service, &kind, &bestScore);
        if (auto* codec = dynamic_cast<IUDSFunctionCodec*>(function)) {
            located = {service, codec, kind, {}};
            best = &located;
        }
    }
    auto consider = [&](const std::vector<MessageEntry>& entries) {
        for (const MessageEntry& entry : entries) {
            const int64_t score = entry.codec->MatchMessage(
                bytes, data.size(), entry.requestBytes.data(), entry.requestBytes.size());
            if (score > bestScore) {
                bestScore = score;
                best = &entry;
            }
        }
    };
    if (!data.empty()) {
        const auto found = ecu.byFirstByte.find(bytes[0]);
        if (found != ecu.byFirstByte.end()) consider(found->second);
    }
    consider(ecu.anyFirstByte);
    // A negative response its service does not describe: one the ECU gives for every service.
    IUDSService* service = best ? best->service : nullptr;
    if (data.size() >= 3 && bytes[0] == 0x7F &&
        (best == nullptr || std::string(best->kind) != "negativeResponse")) {
        const MessageEntry* before = best;
        consider(ecu.globalNegatives);
        if (best != before) {
            const auto found = ecu.byServiceId.find(bytes[1]);
            service = found == ecu.byServiceId.end() ? nullptr : found->second;
        }
    }
    const TextRule& text = ecu.doc->text;
    py::dict result;
    result["ecu"] = text(ecu.ecu->GetShortName());
    if (best == nullptr) {
        result["service"] = py::none();
        result["kind"] = py::none();
        result["parameters"] = py::list();
        return result;
    }
    result["service"] = service ? py::object(text(service->GetName())) : py::object(py::none());
    result["kind"] = best->kind;
    const uint64_t count = best->codec->DecodeMessage(bytes, data.size());
    result["parameters"] = Nest(best->codec->GetDecodedFields(), count, text);
    return result;
}

py::bytes EncodeRequest(DiagService& service, const py::kwargs& params) {
    auto* codec = dynamic_cast<IUDSFunctionCodec*>(service.service->GetRequest(0));
    if (codec == nullptr) throw py::value_error("the service has no request");
    std::vector<std::string> names, values;
    for (const auto& [key, value] : params) {
        names.push_back(service.doc->text.Encode(key));
        if (py::isinstance<py::bool_>(value)) {
            values.push_back(value.cast<bool>() ? "1" : "0");
        } else if (py::isinstance<py::bytes>(value)) {
            std::string hex;
            char buffer[3];
            for (unsigned char c : value.cast<std::string>()) {
                std::snprintf(buffer, sizeof buffer, "%02X", c);
                hex += buffer;
            }
            values.push_back("0x" + hex);
        } else if (py::isinstance<py::str>(value)) {
            values.push_back(service.doc->text.Encode(value));
        } else {
            values.push_back(py::str(value).cast<std::string>());
        }
    }
    std::vector<const char*> namePointers, valuePointers;
    for (size_t i = 0; i < names.size(); ++i) {
        namePointers.push_back(names[i].c_str());
        valuePointers.push_back(values[i].c_str());
    }
    if (codec->EncodeMessage(names.size(), namePointers.data(), valuePointers.data(), 1) == 0)
        throw py::value_error(codec->GetEncodeError());
    return py::bytes(reinterpret_cast<const char*>(codec->GetEncodedBytes()),
                     codec->GetEncodedSize());
}

}  // namespace

bool IsDiagnosticPath(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return true;
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    return extension == ".cdd" || extension == ".pdx" || extension.rfind(".odx", 0) == 0;
}

py::object LoadDiagnostics(const std::string& path, const py::object& encoding, bool exact,
                           const py::object& language) {
    auto doc = std::make_shared<DiagDocument>();
    doc->facade = std::make_shared<Facade>();
    doc->path = path;
    std::error_code error;
    const bool folder = std::filesystem::is_directory(path, error);
    doc->text = encoding.is_none() ? (folder ? TextRule() : TextRule::ForFile(path))
                                   : TextRule(encoding.cast<std::string>());
    doc->library = doc->facade->Get()->CreateDiagnoseLib();
    if (auto* reading = dynamic_cast<IDiagnoseLibReading*>(doc->library)) {
        reading->SetReadingAsWritten(exact ? 0 : 1);
        if (!language.is_none()) reading->SetCddLanguage(language.cast<std::string>().c_str());
    }
    if (!folder) RequireReadable(path);
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    uint8_t loaded = 0;
    {
        py::gil_scoped_release released;
        if (folder) {
            loaded = doc->library->LoadOdxFolder((path + "/*.*").c_str(), 1, 1) != 0;
        } else if (extension == ".cdd") {
            loaded = doc->library->LoadCddFile(path.c_str(), 1);
        } else if (extension == ".pdx") {
            loaded = doc->library->LoadPdxFile(path.c_str(), 1);
        } else {
            loaded = doc->library->LoadOdxFile(path.c_str(), 1);
        }
    }
    if (loaded == 0) throw py::value_error("cannot read '" + path + "' as a diagnostic file");
    return py::cast(doc);
}

void BindDiag(py::module_& m) {
    py::class_<DiagDocument, std::shared_ptr<DiagDocument>>(
        m, "DiagDatabase", "Diagnostic descriptions read by quillmere.load (CDD, ODX, PDX).")
        .def_property_readonly("path", [](DiagDocument& d) { return d.path; })
        .def_property_readonly("format",
                               [](DiagDocument& d) { return d.text(d.library->GetFormat()); })
        .def_property_readonly("log",
                               [](DiagDocument& d) {
                                   py::list lines;
                                   std::string text = d.library->GetMessages();
                                   size_t start = 0;
                                   while (start < text.size()) {
                                       size_t end = text.find('\n', start);
                                       if (end == std::string::npos) end = text.size();
                                       std::string line = text.substr(start, end - start);
                                       if (!line.empty() && line.back() == '\r') line.pop_back();
                                       if (!line.empty()) lines.append(d.text(line.c_str()));
                                       start = end + 1;
                                   }
                                   return lines;
                               })
        .def_property_readonly("ecus", [](const std::shared_ptr<DiagDocument>& d) {
            py::list ecus;
            for (uint64_t i = 0; i < d->library->GetEcuCount(); ++i) {
                auto ecu = std::make_shared<DiagEcu>();
                ecu->doc = d;
                ecu->ecu = d->library->GetEcu(i);
                ecus.append(py::cast(ecu));
            }
            return ecus;
        });
    py::class_<DiagEcu, std::shared_ptr<DiagEcu>>(m, "DiagEcu", "An ECU variant or base variant.")
        .def_property_readonly("name",
                               [](DiagEcu& e) { return e.doc->text(e.ecu->GetShortName()); })
        .def_property_readonly("long_name",
                               [](DiagEcu& e) { return e.doc->text(e.ecu->GetLongName()); })
        .def_property_readonly("is_base", [](DiagEcu& e) { return e.ecu->IsJobFile() != 0; })
        .def_property_readonly(
            "layer",
            [](DiagEcu& e) -> py::object {
                auto* layer = dynamic_cast<IECULayer*>(e.ecu);
                if (layer == nullptr || *layer->GetLayerKind() == '\0') return py::none();
                return py::str(layer->GetLayerKind());
            },
            "The ODX diagnostic layer kind read as written ('BASE-VARIANT', 'ECU-VARIANT', "
            "'PROTOCOL', 'FUNCTIONAL-GROUP', 'ECU-SHARED-DATA'); None for CDD and exact reads.")
        .def_property_readonly("services",
                               [](DiagEcu& e) {
                                   py::list services;
                                   for (uint64_t c = 0; c < e.ecu->GetFunctionalClassCount(); ++c) {
                                       IFunctionalClass* cls = e.ecu->GetFunctionalClass(c);
                                       for (uint64_t s = 0; s < cls->GetServiceCount(); ++s)
                                           services.append(py::cast(std::make_shared<DiagService>(
                                               DiagService{e.doc, cls->GetService(s)})));
                                   }
                                   return services;
                               })
        .def("decode", &Decode, py::arg("message"),
             "The service and kind the bytes are, with every parameter decoded (service None "
             "when nothing matches).");
    py::class_<DiagService, std::shared_ptr<DiagService>>(m, "DiagService", "A diagnostic service.")
        .def_property_readonly("name",
                               [](DiagService& s) { return s.doc->text(s.service->GetName()); })
        .def_property_readonly("service_id",
                               [](DiagService& s) { return s.service->GetServiceId(); })
        .def_property_readonly("has_request",
                               [](DiagService& s) { return s.service->GetRequest(0) != nullptr; })
        .def("encode_request", &EncodeRequest,
             "The request bytes; parameters by name (numbers, value-table texts, physical "
             "values). ValueError names a parameter out of range, an unknown text or a missing "
             "value.");
}

}  // namespace qmpy
