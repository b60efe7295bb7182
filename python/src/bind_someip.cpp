// load_someip(): SOME/IP services read from ARXML files (whole-document reading by default),
// with their ids, methods, events, fields, event groups, instances and data types.
#include <pybind11/stl.h>

#include <string>
#include <vector>

#include "bind_common.h"
#include "quillmere/someip.h"

namespace qmpy {

namespace {

struct SomeIpDocument : DocumentBase {
    IArxmlDatabase* database = nullptr;
    IArxmlDatabaseOptions* options = nullptr;
};

using DocPtr = std::shared_ptr<SomeIpDocument>;
using ServiceRef = Ref<SomeIpDocument, ISomeIpService>;
using MethodRef = Ref<SomeIpDocument, ISomeIpMethod>;
using EventRef = Ref<SomeIpDocument, ISomeIpEvent>;
using FieldRef = Ref<SomeIpDocument, ISomeIpField>;
using GroupRef = Ref<SomeIpDocument, ISomeIpEventGroup>;
using InstanceRef = Ref<SomeIpDocument, ISomeIpInstance>;
using TypeRef = Ref<SomeIpDocument, ISomeIpType>;

py::object IdOrNone(int64_t id) {
    return id < 0 ? py::object(py::none()) : py::object(py::int_(id));
}

const char* KindName(int32_t kind) {
    static const char* const kNames[] = {"primitive", "string",      "array", "vector",
                                         "structure", "enumeration", "alias", "unresolved"};
    return kind >= 0 && kind < 8 ? kNames[kind] : "unknown";
}

py::object TypeOrNone(const DocPtr& doc, ISomeIpType* type) {
    return WrapOrNone<TypeRef>(doc, type);
}

// How a type is shown inside another repr: its name, else its C++ spelling.
std::string TypeLabel(ISomeIpType* type) {
    if (type == nullptr) return "None";
    const std::string name = type->GetName();
    return name.empty() ? type->GetCppType() : name;
}

std::string Quoted(const py::str& text) {
    return py::repr(text).cast<std::string>();
}

void BindTypes(py::module_& m) {
    py::class_<TypeRef> type(m, "SomeIpType",
                             "A data type of a SOME/IP description (whole-document reading).");
    AddIdentity(type);
    type.def_property_readonly("name",
                               [](const TypeRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("path",
                               [](const TypeRef& r) { return r.doc->text(r.object->GetPath()); })
        .def_property_readonly(
            "kind", [](const TypeRef& r) { return std::string(KindName(r.object->GetKind())); })
        .def_property_readonly("cpp_type",
                               [](const TypeRef& r) { return std::string(r.object->GetCppType()); })
        .def_property_readonly(
            "element",
            [](const TypeRef& r) { return TypeOrNone(r.doc, r.object->GetElementType()); },
            "The element type of an array or vector, the target of an alias, the base of an "
            "enumeration.")
        .def_property_readonly("size", [](const TypeRef& r) { return r.object->GetArraySize(); })
        .def_property_readonly(
            "members",
            [](const TypeRef& r) {
                py::list members;
                for (uint64_t i = 0; i < r.object->GetMemberCount(); ++i) {
                    members.append(py::make_tuple(r.doc->text(r.object->GetMemberName(i)),
                                                  TypeOrNone(r.doc, r.object->GetMemberType(i))));
                }
                return members;
            },
            "(name, type) of each structure member.")
        .def_property_readonly("enumerators",
                               [](const TypeRef& r) {
                                   py::dict values;
                                   for (uint64_t i = 0; i < r.object->GetEnumeratorCount(); ++i) {
                                       values[r.doc->text(r.object->GetEnumeratorName(i))] =
                                           r.object->GetEnumeratorValue(i);
                                   }
                                   return values;
                               })
        .def("__repr__", [](const TypeRef& r) {
            std::string text = "SomeIpType(" + Quoted(r.doc->text(r.object->GetName())) +
                               ", kind='" + KindName(r.object->GetKind()) + "'";
            switch (r.object->GetKind()) {
                case kSomeIpTypeStructure:
                    text += ", members=" + std::to_string(r.object->GetMemberCount());
                    break;
                case kSomeIpTypeEnumeration:
                    text += ", enumerators=" + std::to_string(r.object->GetEnumeratorCount());
                    break;
                case kSomeIpTypeArray:
                    text += ", element=" + TypeLabel(r.object->GetElementType()) +
                            ", size=" + std::to_string(r.object->GetArraySize());
                    break;
                case kSomeIpTypeVector:
                case kSomeIpTypeAlias:
                    text += ", element=" + TypeLabel(r.object->GetElementType());
                    break;
                case kSomeIpTypePrimitive:
                    text += std::string(", cpp_type='") + r.object->GetCppType() + "'";
                    break;
                default:
                    break;
            }
            return text + ")";
        });
}

void BindMembers(py::module_& m) {
    py::class_<MethodRef> method(m, "SomeIpMethod", "A method of a SOME/IP service.");
    AddIdentity(method);
    method
        .def_property_readonly("name",
                               [](const MethodRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("id", [](const MethodRef& r) { return IdOrNone(r.object->GetId()); })
        .def_property_readonly("fire_and_forget",
                               [](const MethodRef& r) { return r.object->IsFireAndForget(); })
        .def_property_readonly(
            "transport",
            [](const MethodRef& r) { return std::string(r.object->GetTransportProtocol()); })
        .def_property_readonly(
            "arguments",
            [](const MethodRef& r) {
                py::list arguments;
                for (uint64_t i = 0; i < r.object->GetArgumentCount(); ++i) {
                    arguments.append(
                        py::make_tuple(r.doc->text(r.object->GetArgumentName(i)),
                                       std::string(r.object->GetArgumentDirection(i)),
                                       TypeOrNone(r.doc, r.object->GetArgumentType(i))));
                }
                return arguments;
            },
            "(name, direction, type) of each argument; direction 'in', 'out' or 'inout'.")
        .def("__repr__", [](const MethodRef& r) {
            std::string arguments;
            for (uint64_t i = 0; i < r.object->GetArgumentCount(); ++i) {
                if (i) arguments += ", ";
                arguments += std::string(r.object->GetArgumentDirection(i)) + " " +
                             r.object->GetArgumentName(i) + ": " +
                             TypeLabel(r.object->GetArgumentType(i));
            }
            return "SomeIpMethod(" + Quoted(r.doc->text(r.object->GetName())) +
                   ", id=" + py::repr(IdOrNone(r.object->GetId())).cast<std::string>() + ", (" +
                   arguments + "))";
        });

    py::class_<EventRef> event(m, "SomeIpEvent", "An event of a SOME/IP service.");
    AddIdentity(event);
    event
        .def_property_readonly("name",
                               [](const EventRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("id", [](const EventRef& r) { return IdOrNone(r.object->GetId()); })
        .def_property_readonly(
            "transport",
            [](const EventRef& r) { return std::string(r.object->GetTransportProtocol()); })
        .def_property_readonly(
            "type", [](const EventRef& r) { return TypeOrNone(r.doc, r.object->GetType()); })
        .def("__repr__", [](const EventRef& r) {
            return "SomeIpEvent(" + Quoted(r.doc->text(r.object->GetName())) +
                   ", id=" + py::repr(IdOrNone(r.object->GetId())).cast<std::string>() +
                   ", type=" + TypeLabel(r.object->GetType()) + ")";
        });

    py::class_<FieldRef> field(m, "SomeIpField", "A field of a SOME/IP service.");
    AddIdentity(field);
    field
        .def_property_readonly("name",
                               [](const FieldRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "type", [](const FieldRef& r) { return TypeOrNone(r.doc, r.object->GetType()); })
        .def_property_readonly("getter_id",
                               [](const FieldRef& r) { return IdOrNone(r.object->GetGetterId()); })
        .def_property_readonly("setter_id",
                               [](const FieldRef& r) { return IdOrNone(r.object->GetSetterId()); })
        .def_property_readonly(
            "notifier_id", [](const FieldRef& r) { return IdOrNone(r.object->GetNotifierId()); })
        .def_property_readonly(
            "transport",
            [](const FieldRef& r) { return std::string(r.object->GetTransportProtocol()); })
        .def("__repr__", [](const FieldRef& r) {
            auto id = [](int32_t value) { return py::repr(IdOrNone(value)).cast<std::string>(); };
            return "SomeIpField(" + Quoted(r.doc->text(r.object->GetName())) +
                   ", getter=" + id(r.object->GetGetterId()) +
                   ", setter=" + id(r.object->GetSetterId()) +
                   ", notifier=" + id(r.object->GetNotifierId()) + ")";
        });

    py::class_<GroupRef> group(m, "SomeIpEventGroup", "An event group of a SOME/IP service.");
    AddIdentity(group);
    group
        .def_property_readonly("name",
                               [](const GroupRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("id", [](const GroupRef& r) { return IdOrNone(r.object->GetId()); })
        .def_property_readonly("events",
                               [](const GroupRef& r) {
                                   py::list events;
                                   for (uint64_t i = 0; i < r.object->GetEventCount(); ++i)
                                       events.append(r.doc->text(r.object->GetEventName(i)));
                                   return events;
                               })
        .def("__repr__", [](const GroupRef& r) {
            return "SomeIpEventGroup(" + Quoted(r.doc->text(r.object->GetName())) +
                   ", id=" + py::repr(IdOrNone(r.object->GetId())).cast<std::string>() +
                   ", events=" + std::to_string(r.object->GetEventCount()) + ")";
        });

    py::class_<InstanceRef> instance(m, "SomeIpInstance",
                                     "A provided or required instance of a SOME/IP service.");
    AddIdentity(instance);
    instance
        .def_property_readonly(
            "name", [](const InstanceRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "role", [](const InstanceRef& r) { return std::string(r.object->GetRoleText()); })
        .def_property_readonly(
            "instance_id", [](const InstanceRef& r) { return IdOrNone(r.object->GetInstanceId()); })
        .def_property_readonly(
            "deployment",
            [](const InstanceRef& r) { return r.doc->text(r.object->GetDeploymentName()); })
        .def_property_readonly(
            "providers",
            [](const InstanceRef& r) {
                py::list providers;
                for (uint64_t i = 0; i < r.object->GetProviderCount(); ++i) {
                    providers.append(py::make_tuple(r.doc->text(r.object->GetProviderName(i)),
                                                    std::string(r.object->GetProviderKind(i))));
                }
                return providers;
            },
            "(name, kind) of the machines, processes, ECUs or sockets the instance runs on; "
            "kind 'machine', 'process', 'ecu' or 'socket'.")
        .def_property_readonly("event_groups",
                               [](const InstanceRef& r) {
                                   py::list groups;
                                   for (uint64_t i = 0; i < r.object->GetEventGroupCount(); ++i)
                                       groups.append(r.doc->text(r.object->GetEventGroupName(i)));
                                   return groups;
                               })
        .def_property_readonly(
            "discovery",
            [](const InstanceRef& r) -> py::object {
                ISomeIpInstance* i = r.object;
                if (!i->HasDiscoveryTiming()) return py::none();
                py::dict timing;
                timing["time_to_live"] = i->GetTimeToLive();
                timing["cyclic_delay"] = i->GetCyclicDelay();
                timing["initial_delay_min"] = i->GetInitialDelayMin();
                timing["initial_delay_max"] = i->GetInitialDelayMax();
                timing["repetitions_base_delay"] = i->GetInitialRepetitionsBaseDelay();
                timing["repetitions_max"] = i->GetInitialRepetitionsMax();
                timing["request_response_delay_min"] = i->GetRequestResponseDelayMin();
                timing["request_response_delay_max"] = i->GetRequestResponseDelayMax();
                return timing;
            },
            "Service-discovery timing, or None when the description gives none.")
        .def("__repr__", [](const InstanceRef& r) {
            std::string providers;
            for (uint64_t i = 0; i < r.object->GetProviderCount(); ++i) {
                providers += std::string(i ? ", " : "") + r.object->GetProviderName(i);
            }
            return "SomeIpInstance(" + Quoted(r.doc->text(r.object->GetName())) + ", " +
                   r.object->GetRoleText() +
                   ", id=" + py::repr(IdOrNone(r.object->GetInstanceId())).cast<std::string>() +
                   (providers.empty() ? std::string() : ", on " + providers) + ")";
        });
}

void BindService(py::module_& m) {
    py::class_<ServiceRef> service(m, "SomeIpService",
                                   "A SOME/IP service: its interface, deployments and instances.");
    AddIdentity(service);
    service
        .def_property_readonly("name",
                               [](const ServiceRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("interface",
                               [](const ServiceRef& r) -> py::object {
                                   const std::string path = r.object->GetInterfacePath();
                                   if (path.empty()) return py::none();
                                   return r.doc->text(path.c_str());
                               })
        .def_property_readonly(
            "platform", [](const ServiceRef& r) { return std::string(r.object->GetPlatform()); })
        .def_property_readonly(
            "service_id", [](const ServiceRef& r) { return IdOrNone(r.object->GetServiceId()); })
        .def_property_readonly(
            "major_version",
            [](const ServiceRef& r) { return IdOrNone(r.object->GetMajorVersion()); })
        .def_property_readonly(
            "minor_version",
            [](const ServiceRef& r) { return IdOrNone(r.object->GetMinorVersion()); })
        .def_property_readonly("deployments",
                               [](const ServiceRef& r) {
                                   py::list names;
                                   for (uint64_t i = 0; i < r.object->GetDeploymentCount(); ++i)
                                       names.append(r.doc->text(r.object->GetDeploymentName(i)));
                                   return names;
                               })
        .def_property_readonly("methods",
                               [](const ServiceRef& r) {
                                   return ListOf<MethodRef>(
                                       r.doc, r.object->GetMethodCount(),
                                       [&](uint64_t i) { return r.object->GetMethod(i); });
                               })
        .def_property_readonly("events",
                               [](const ServiceRef& r) {
                                   return ListOf<EventRef>(
                                       r.doc, r.object->GetEventCount(),
                                       [&](uint64_t i) { return r.object->GetEvent(i); });
                               })
        .def_property_readonly("fields",
                               [](const ServiceRef& r) {
                                   return ListOf<FieldRef>(
                                       r.doc, r.object->GetFieldCount(),
                                       [&](uint64_t i) { return r.object->GetField(i); });
                               })
        .def_property_readonly("event_groups",
                               [](const ServiceRef& r) {
                                   return ListOf<GroupRef>(
                                       r.doc, r.object->GetEventGroupCount(),
                                       [&](uint64_t i) { return r.object->GetEventGroup(i); });
                               })
        .def_property_readonly("instances",
                               [](const ServiceRef& r) {
                                   return ListOf<InstanceRef>(
                                       r.doc, r.object->GetInstanceCount(),
                                       [&](uint64_t i) { return r.object->GetInstance(i); });
                               })
        .def("__repr__", [](const ServiceRef& r) {
            ISomeIpService* s = r.object;
            return "SomeIpService(" + Quoted(r.doc->text(s->GetName())) +
                   ", id=" + py::repr(IdOrNone(s->GetServiceId())).cast<std::string>() +
                   ", methods=" + std::to_string(s->GetMethodCount()) +
                   ", events=" + std::to_string(s->GetEventCount()) +
                   ", fields=" + std::to_string(s->GetFieldCount()) +
                   ", instances=" + std::to_string(s->GetInstanceCount()) + ")";
        });
}

const char* const kCountNames[] = {
    "service_interfaces", "service_deployments", "service_instances", "methods", "events", "fields",
    "event_groups",       "data_types"};

void BindDatabase(py::module_& m) {
    py::class_<SomeIpDocument, DocPtr> database(
        m, "SomeIpDatabase",
        "SOME/IP services, deployments, instances and data types of ARXML files.");
    database
        .def_property_readonly("services",
                               [](const DocPtr& doc) {
                                   return ListOf<ServiceRef>(
                                       doc, doc->options->GetSomeIpServiceCount(), [&](uint64_t i) {
                                           return doc->options->GetSomeIpService(i);
                                       });
                               })
        .def_property_readonly("types",
                               [](const DocPtr& doc) {
                                   return ListOf<TypeRef>(
                                       doc, doc->options->GetSomeIpTypeCount(),
                                       [&](uint64_t i) { return doc->options->GetSomeIpType(i); });
                               })
        .def_property_readonly("counts",
                               [](const DocPtr& doc) {
                                   py::dict counts;
                                   for (int32_t i = 0; i < 8; ++i)
                                       counts[kCountNames[i]] = doc->options->GetReadCount(i);
                                   return counts;
                               })
        .def_property_readonly(
            "files",
            [](const DocPtr& doc) {
                py::list files;
                for (uint64_t i = 0; i < doc->database->GetLoadedFileCount(); ++i)
                    files.append(std::string(doc->database->GetLoadedFileName(i)));
                return files;
            })
        .def_property_readonly(
            "log",
            [](const DocPtr& doc) { return LogLines(doc->text, doc->database->GetMessages()); })
        .def(
            "service",
            [](const DocPtr& doc, const py::str& name) -> py::object {
                for (const std::string& form : doc->text.Candidates(name)) {
                    if (auto* found = doc->options->FindSomeIpService(form.c_str()))
                        return py::cast(ServiceRef{doc, found});
                }
                return py::none();
            },
            py::arg("name"), "The service of that name, or None.")
        .def(
            "header",
            [](const DocPtr& doc, const py::object& service) {
                const std::string name =
                    service.is_none() ? std::string() : doc->text.Encode(service);
                return std::string(doc->options->GenerateServicesHeader(name.c_str()));
            },
            py::arg("service") = py::none(),
            "The C++ header of every service (or of the one named) and of every data type.")
        .def("__repr__", [](const DocPtr& doc) {
            return "SomeIpDatabase(services=" +
                   std::to_string(doc->options->GetSomeIpServiceCount()) +
                   ", types=" + std::to_string(doc->options->GetSomeIpTypeCount()) +
                   ", files=" + std::to_string(doc->database->GetLoadedFileCount()) + ")";
        });
}

py::object LoadSomeIp(const py::object& pathsArgument, bool exact) {
    std::vector<std::string> paths;
    if (py::isinstance<py::str>(pathsArgument) || py::hasattr(pathsArgument, "__fspath__")) {
        paths.push_back(PathOf(pathsArgument));
    } else {
        for (const py::handle& path : pathsArgument) paths.push_back(PathOf(path));
    }
    if (paths.empty()) throw py::value_error("load_someip needs at least one path");
    for (const std::string& path : paths) RequireReadable(path);
    auto doc = std::make_shared<SomeIpDocument>();
    doc->facade = std::make_shared<Facade>();
    doc->text = TextRule::ForFile(paths.front());
    doc->database = doc->facade->Get()->CreateArxmlDatabase();
    doc->options = dynamic_cast<IArxmlDatabaseOptions*>(doc->database);
    if (doc->options == nullptr)
        throw std::runtime_error("the library has no whole-document SOME/IP reading");
    doc->options->SetReadingMode(exact ? kSomeIpReadExact : kSomeIpReadWholeDocument);
    std::vector<const char*> files;
    for (const std::string& path : paths) files.push_back(path.c_str());
    {
        py::gil_scoped_release released;
        doc->database->Load(files.data(), files.size());
    }
    return py::cast(doc);
}

}  // namespace

void BindSomeIp(py::module_& m) {
    BindTypes(m);
    BindMembers(m);
    BindService(m);
    BindDatabase(m);
    m.def("load_someip", &LoadSomeIp, py::arg("paths"), py::kw_only(), py::arg("exact") = false,
          R"(Reads ARXML files together into one SOME/IP database.

paths  one path or a list of paths (str or os.PathLike), read in one load so that references
       between them resolve.
exact  read only what the described package layout gives (no services here); by default
       every service interface, deployment, instance and data type of every package is read.

Returns a SomeIpDatabase. A file that cannot be opened raises FileNotFoundError (or another
OSError).)");
}

}  // namespace qmpy
