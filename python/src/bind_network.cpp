// NetworkConfig: DBC, LDF and ARXML files gathered into one network model, one database per
// bus, with decoding and encoding of its messages.
#include <pybind11/stl.h>

#include <unordered_map>
#include <vector>

#include "bind_common.h"
#include "codec_models/model_codecs.h"
#include "plan_source.h"

namespace qmpy {

namespace {

class NetworkDocument : public PlanSource {
  public:
    INetConfig* config = nullptr;
    std::vector<uint8_t> results;

    const FramePlan& PlanFor(INetMessage* message) {
        auto& slot = plans_[message];
        if (!slot) slot = std::make_unique<FramePlan>(qm::codec::BuildNetFrame(*message), text);
        return *slot;
    }

    // The first message of an identifier (or name) in the databases [first, end).
    INetMessage* Find(const py::handle& key, uint64_t first, uint64_t end) {
        const bool byName = PyUnicode_Check(key.ptr());
        std::vector<std::string> names;
        uint64_t id = 0;
        if (byName)
            names = text.Candidates(key);
        else
            id = FrameNumber(key);
        if (!byName && id > 0xFFFFFFFFull) return nullptr;
        for (uint64_t i = first; i < end; ++i) {
            INetDataBase* db = config->GetDataBase(i);
            if (byName) {
                for (const std::string& name : names) {
                    if (INetMessage* message = db->FindMessage(name.c_str())) return message;
                }
            } else if (INetMessage* message = db->FindMessage(static_cast<uint32_t>(id))) {
                return message;
            } else if (id <= 0x1FFFFFFF) {
                if (INetMessage* extended =
                        db->FindMessage(static_cast<uint32_t>(id) | 0x80000000u))
                    return extended;
            }
        }
        return nullptr;
    }

    INetMessage* Require(const py::handle& key, uint64_t first, uint64_t end) {
        INetMessage* message = Find(key, first, end);
        if (!message) throw py::key_error("no message " + py::repr(key).cast<std::string>());
        return message;
    }

    const FramePlan& PlanForKey(const py::handle& key) override {
        return PlanFor(Require(key, 0, config->GetDataBaseCount()));
    }
    const FramePlan* PlanForFrame(uint32_t id, bool extended) override {
        py::int_ key(extended ? id | 0x80000000u : id);
        INetMessage* message = Find(key, 0, config->GetDataBaseCount());
        return message ? &PlanFor(message) : nullptr;
    }

    uint8_t Add(const py::handle& pathArgument) {
        const std::string path = PathOf(pathArgument);
        RequireReadable(path);
        const std::string format = FormatOf(path);
        uint8_t result;
        {
            py::gil_scoped_release released;
            result = format == "dbc"   ? config->LoadDbc(path.c_str())
                     : format == "ldf" ? config->LoadLdf(path.c_str())
                                       : config->LoadArxml(path.c_str());
        }
        results.push_back(result);
        return result;
    }

  private:
    std::unordered_map<INetMessage*, std::unique_ptr<FramePlan>> plans_;
};

// One database of a configuration, decoding only its own messages.
class NetworkDatabase : public PlanSource {
  public:
    NetworkDatabase(std::shared_ptr<NetworkDocument> parent, uint64_t index)
        : parent(std::move(parent)), index(index) {
        facade = this->parent->facade;
        text = this->parent->text;
        db = this->parent->config->GetDataBase(index);
    }

    const FramePlan& PlanForKey(const py::handle& key) override {
        return parent->PlanFor(parent->Require(key, index, index + 1));
    }
    const FramePlan* PlanForFrame(uint32_t id, bool extended) override {
        py::int_ key(extended ? id | 0x80000000u : id);
        INetMessage* message = parent->Find(key, index, index + 1);
        return message ? &parent->PlanFor(message) : nullptr;
    }

    std::shared_ptr<NetworkDocument> parent;
    uint64_t index;
    INetDataBase* db;
};

using NetMessageRef = Ref<NetworkDocument, INetMessage>;
using NetSignalRef = Ref<NetworkDocument, INetSignal>;
using NetEcuRef = Ref<NetworkDocument, INetEcu>;

template <class Object>
py::dict PropertiesOf(const TextRule& text, Object* object) {
    py::dict properties;
    for (uint64_t i = 0; i < object->GetPropertyCount(); ++i) {
        INetAttribute* attribute = object->GetProperty(i);
        py::str name = text(attribute->GetName());
        if (!properties.contains(name)) properties[name] = text(attribute->GetValue());
    }
    return properties;
}

template <class Object>
py::dict FileAttributesOf(const TextRule& text, Object* object) {
    py::dict attributes;
    for (uint64_t i = 0; i < object->GetFileAttributeCount(); ++i) {
        INetAttribute* attribute = object->GetFileAttribute(i);
        py::str name = text(attribute->GetName());
        if (!attributes.contains(name)) attributes[name] = text(attribute->GetValue());
    }
    return attributes;
}

const char* ByteOrderName(uint32_t code) {
    return code == 1 ? "big_endian" : code == 2 ? "little_endian" : "default";
}

void BindModel(py::module_& m) {
    py::class_<NetSignalRef> signal(m, "NetSignal", "A signal of the network model.");
    AddIdentity(signal);
    signal
        .def_property_readonly(
            "name", [](const NetSignalRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("start_bit",
                               [](const NetSignalRef& r) { return r.object->GetStartBit(); })
        .def_property_readonly("length",
                               [](const NetSignalRef& r) { return r.object->GetBitSize(); })
        .def_property_readonly(
            "byte_order",
            [](const NetSignalRef& r) { return ByteOrderName(r.object->GetByteOrder()); })
        .def_property_readonly("is_signed",
                               [](const NetSignalRef& r) { return r.object->GetSignedness() == 2; })
        .def_property_readonly(
            "value_type",
            [](const NetSignalRef& r) { return r.doc->text(r.object->GetValueTypeName()); })
        .def_property_readonly("factor",
                               [](const NetSignalRef& r) { return r.object->GetFactor(); })
        .def_property_readonly("offset",
                               [](const NetSignalRef& r) { return r.object->GetOffset(); })
        .def_property_readonly("minimum",
                               [](const NetSignalRef& r) { return r.object->GetMinimum(); })
        .def_property_readonly("maximum",
                               [](const NetSignalRef& r) { return r.object->GetMaximum(); })
        .def_property_readonly(
            "unit", [](const NetSignalRef& r) { return r.doc->text(r.object->GetUnit()); })
        .def_property_readonly(
            "comment", [](const NetSignalRef& r) { return r.doc->text(r.object->GetComment()); })
        .def_property_readonly(
            "choices",
            [](const NetSignalRef& r) {
                py::dict choices;
                for (uint64_t i = 0; i < r.object->GetVTabValueCount(); ++i) {
                    INetVTabValue* value = r.object->GetVTabValue(i);
                    py::int_ key(value->GetRawMin());
                    if (value->GetRawMin() == value->GetRawMax() && !choices.contains(key))
                        choices[key] = r.doc->text(value->GetText());
                }
                return choices;
            },
            "Value-table entries of one raw value: dict of raw value to text.")
        .def_property_readonly(
            "value_table",
            [](const NetSignalRef& r) {
                py::list entries;
                for (uint64_t i = 0; i < r.object->GetVTabValueCount(); ++i) {
                    INetVTabValue* value = r.object->GetVTabValue(i);
                    entries.append(py::make_tuple(value->GetRawMin(), value->GetRawMax(),
                                                  value->GetPhysicalMin(), value->GetPhysicalMax(),
                                                  r.doc->text(value->GetText())));
                }
                return entries;
            },
            "(raw min, raw max, physical min, physical max, text) per entry.")
        .def_property_readonly("receivers",
                               [](const NetSignalRef& r) {
                                   return ListOf<NetEcuRef>(
                                       r.doc, r.object->GetReceiverCount(),
                                       [&](uint64_t i) { return r.object->GetReceiver(i); });
                               })
        .def_property_readonly("message",
                               [](const NetSignalRef& r) {
                                   return WrapOrNone<NetMessageRef>(r.doc, r.object->GetMessage());
                               })
        .def_property_readonly(
            "properties", [](const NetSignalRef& r) { return PropertiesOf(r.doc->text, r.object); })
        .def_property_readonly(
            "file_attributes",
            [](const NetSignalRef& r) { return FileAttributesOf(r.doc->text, r.object); })
        .def(
            "raw_value",
            [](const NetSignalRef& r, const py::handle& data) {
                ByteView bytes(data);
                return r.object->GetRawValue(bytes.data(), bytes.size());
            },
            py::arg("data"),
            "The raw bits by the network model's own bit walk (see the API documentation).")
        .def("__repr__", [](const NetSignalRef& r) {
            return py::str("<NetSignal {!r} start={} length={} {}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetStartBit(),
                        r.object->GetBitSize(), ByteOrderName(r.object->GetByteOrder()));
        });

    py::class_<NetMessageRef> message(m, "NetMessage", "A message (frame) of the network model.");
    AddIdentity(message);
    message
        .def_property_readonly(
            "name", [](const NetMessageRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("frame_id", [](const NetMessageRef& r) { return r.object->GetId(); })
        .def_property_readonly("size", [](const NetMessageRef& r) { return r.object->GetSize(); })
        .def_property_readonly("transmitter",
                               [](const NetMessageRef& r) {
                                   return WrapOrNone<NetEcuRef>(r.doc, r.object->GetTransmitter());
                               })
        .def_property_readonly("receivers",
                               [](const NetMessageRef& r) {
                                   return ListOf<NetEcuRef>(
                                       r.doc, r.object->GetReceiverCount(),
                                       [&](uint64_t i) { return r.object->GetReceiver(i); });
                               })
        .def_property_readonly("signals",
                               [](const NetMessageRef& r) {
                                   return ListOf<NetSignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def(
            "signal",
            [](const NetMessageRef& r, const py::str& name) {
                for (const std::string& form : r.doc->text.Candidates(name)) {
                    if (INetSignal* found = r.object->FindSignal(form.c_str()))
                        return py::cast(NetSignalRef{r.doc, found});
                }
                return py::object(py::none());
            },
            py::arg("name"))
        .def_property_readonly(
            "properties",
            [](const NetMessageRef& r) { return PropertiesOf(r.doc->text, r.object); })
        .def_property_readonly(
            "file_attributes",
            [](const NetMessageRef& r) { return FileAttributesOf(r.doc->text, r.object); })
        .def("__len__", [](const NetMessageRef& r) { return r.object->GetSignalCount(); })
        .def("__iter__",
             [](const NetMessageRef& r) {
                 return py::iter(
                     ListOf<NetSignalRef>(r.doc, r.object->GetSignalCount(),
                                          [&](uint64_t i) { return r.object->GetSignal(i); }));
             })
        .def("__repr__", [](const NetMessageRef& r) {
            return py::str("<NetMessage {!r} id=0x{:X} size={} signals={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetId(), r.object->GetSize(),
                        r.object->GetSignalCount());
        });
    AddFrameMethods(message, [](const NetMessageRef& r) -> const FramePlan& {
        return r.doc->PlanFor(r.object);
    });

    py::class_<NetEcuRef> ecu(m, "NetEcu", "An ECU of the network model.");
    AddIdentity(ecu);
    ecu.def_property_readonly("name",
                              [](const NetEcuRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("tx_messages",
                               [](const NetEcuRef& r) {
                                   return ListOf<NetMessageRef>(
                                       r.doc, r.object->GetTxMessageCount(),
                                       [&](uint64_t i) { return r.object->GetTxMessage(i); });
                               })
        .def_property_readonly("rx_messages",
                               [](const NetEcuRef& r) {
                                   return ListOf<NetMessageRef>(
                                       r.doc, r.object->GetRxMessageCount(),
                                       [&](uint64_t i) { return r.object->GetRxMessage(i); });
                               })
        .def_property_readonly("rx_signals",
                               [](const NetEcuRef& r) {
                                   return ListOf<NetSignalRef>(
                                       r.doc, r.object->GetRxSignalCount(),
                                       [&](uint64_t i) { return r.object->GetRxSignal(i); });
                               })
        .def_property_readonly("is_master",
                               [](const NetEcuRef& r) { return r.object->IsMaster() != 0; })
        .def_property_readonly("is_slave",
                               [](const NetEcuRef& r) { return r.object->IsSlave() != 0; })
        .def_property_readonly(
            "properties", [](const NetEcuRef& r) { return PropertiesOf(r.doc->text, r.object); })
        .def_property_readonly(
            "file_attributes",
            [](const NetEcuRef& r) { return FileAttributesOf(r.doc->text, r.object); })
        .def("__repr__", [](const NetEcuRef& r) {
            return py::str("<NetEcu {!r}>").format(r.doc->text(r.object->GetName()));
        });
}

py::list DatabasesOf(const std::shared_ptr<NetworkDocument>& doc) {
    py::list databases;
    for (uint64_t i = 0; i < doc->config->GetDataBaseCount(); ++i) {
        databases.append(py::cast(std::make_shared<NetworkDatabase>(doc, i)));
    }
    return databases;
}

}  // namespace

void BindNetwork(py::module_& m) {
    BindModel(m);
    using DB = std::shared_ptr<NetworkDatabase>;
    py::class_<NetworkDatabase, PlanSource, std::shared_ptr<NetworkDatabase>>(
        m, "NetDatabase", "One bus of a network configuration.")
        .def_property_readonly("name", [](NetworkDatabase& d) { return d.text(d.db->GetName()); })
        .def_property_readonly(
            "bus_type",
            [](NetworkDatabase& d) { return EnumMember("BusType", d.db->GetBusType()); })
        .def_property_readonly("from_arxml", [](NetworkDatabase& d) { return d.db->IsFromArxml(); })
        .def_property_readonly("ecus",
                               [](DB d) {
                                   return ListOf<NetEcuRef>(
                                       d->parent, d->db->GetEcuCount(),
                                       [&](uint64_t i) { return d->db->GetEcu(i); });
                               })
        .def_property_readonly("messages",
                               [](DB d) {
                                   return ListOf<NetMessageRef>(
                                       d->parent, d->db->GetMessageCount(),
                                       [&](uint64_t i) { return d->db->GetMessage(i); });
                               })
        .def(
            "message",
            [](DB d, const py::str& name) {
                return WrapOrNone<NetMessageRef>(d->parent,
                                                 d->parent->Find(name, d->index, d->index + 1));
            },
            py::arg("name"))
        .def(
            "message_by_id",
            [](DB d, uint64_t id) {
                return WrapOrNone<NetMessageRef>(
                    d->parent, d->parent->Find(py::int_(id), d->index, d->index + 1));
            },
            py::arg("frame_id"))
        .def_property_readonly("signals",
                               [](DB d) {
                                   return ListOf<NetSignalRef>(
                                       d->parent, d->db->GetSignalCount(),
                                       [&](uint64_t i) { return d->db->GetSignal(i); });
                               })
        .def_property_readonly("properties",
                               [](NetworkDatabase& d) { return PropertiesOf(d.text, d.db); })
        .def_property_readonly("file_attributes",
                               [](NetworkDatabase& d) { return FileAttributesOf(d.text, d.db); })
        .def(
            "save",
            [](NetworkDatabase& d, const py::object& path) {
                const std::string target = PathOf(path);
                if (!d.db->SaveAs(target.c_str())) RaiseNotWritten(target);
            },
            py::arg("path"), "Writes the bus as a DBC (CAN) or LDF (LIN) file; OSError on failure.")
        .def("__len__", [](NetworkDatabase& d) { return d.db->GetMessageCount(); })
        .def("__iter__",
             [](DB d) {
                 return py::iter(
                     ListOf<NetMessageRef>(d->parent, d->db->GetMessageCount(),
                                           [&](uint64_t i) { return d->db->GetMessage(i); }));
             })
        .def("__getitem__",
             [](DB d, const py::handle& key) {
                 return NetMessageRef{d->parent, d->parent->Require(key, d->index, d->index + 1)};
             })
        .def("__repr__", [](NetworkDatabase& d) {
            return py::str("<NetDatabase {!r} {} messages={} signals={}>")
                .format(d.text(d.db->GetName()), EnumName("BusType", d.db->GetBusType()),
                        d.db->GetMessageCount(), d.db->GetSignalCount());
        });

    using D = std::shared_ptr<NetworkDocument>;
    py::class_<NetworkDocument, PlanSource, std::shared_ptr<NetworkDocument>>(
        m, "NetworkConfig",
        "DBC, LDF and ARXML files gathered into one network model, one database per bus.")
        .def(
            py::init([](const py::object& paths, const py::object& encoding, bool exact,
                        const py::object& tolerant) {
                auto doc = std::make_shared<NetworkDocument>();
                doc->facade = std::make_shared<Facade>();
                doc->text =
                    TextRule(encoding.is_none() ? std::string() : encoding.cast<std::string>());
                doc->config = doc->facade->Get()->CreateNetConfig();
                const bool tolerantDbc = tolerant.is_none() ? !exact : tolerant.cast<bool>();
                if (auto* reading = dynamic_cast<INetConfigDbcReading*>(doc->config)) {
                    reading->SetTolerantDbcReading(tolerantDbc);
                }
                if (auto* reading = dynamic_cast<INetConfigLdfReading*>(doc->config)) {
                    reading->SetTolerantLdfReading(!exact);
                }
                if (auto* options = dynamic_cast<INetConfigOptions*>(doc->config)) {
                    options->SetArxmlReadingMode(exact ? kArxmlReadExact : kArxmlReadWholeDocument);
                }
                const bool single =
                    py::isinstance<py::str>(paths) || py::isinstance<py::bytes>(paths) ||
                    py::isinstance(paths, py::module_::import("os").attr("PathLike"));
                if (single) {
                    doc->Add(paths);
                } else if (!paths.is_none()) {
                    for (py::handle path : paths) doc->Add(path);
                }
                return doc;
            }),
            py::arg("paths") = py::none(), py::arg("encoding") = py::none(), py::kw_only(),
            py::arg("exact") = false, py::arg("tolerant") = py::none(),
            "Loads each path (DBC, LDF or ARXML by extension) into one configuration. A file that "
            "cannot be opened raises FileNotFoundError; other failures show in `results`. "
            "Files are read as quillmere.load reads them (DBC tolerantly, ARXML whole) unless "
            "exact=True; tolerant= chooses the DBC reader on its own. The multiplexing of DBC "
            "signals, simple and extended, selects the signals decode gives.")
        .def(
            "add",
            [](NetworkDocument& d, const py::object& path) {
                return EnumMember("LoadResult", d.Add(path));
            },
            py::arg("path"), "Loads one more file; returns its LoadResult.")
        .def_property_readonly(
            "results",
            [](NetworkDocument& d) {
                py::list results;
                for (uint8_t result : d.results) results.append(EnumMember("LoadResult", result));
                return results;
            },
            "The LoadResult of each file, in load order.")
        .def_property_readonly(
            "log", [](NetworkDocument& d) { return LogLines(d.text, d.config->GetLastMessages()); },
            "The reader's messages of the last file loaded.")
        .def_property_readonly("databases", [](D d) { return DatabasesOf(d); })
        .def(
            "database",
            [](D d, const py::str& name) {
                for (const std::string& form : d->text.Candidates(name)) {
                    for (uint64_t i = 0; i < d->config->GetDataBaseCount(); ++i) {
                        if (form == d->config->GetDataBase(i)->GetName())
                            return py::cast(std::make_shared<NetworkDatabase>(d, i));
                    }
                }
                return py::object(py::none());
            },
            py::arg("name"))
        .def(
            "message",
            [](D d, const py::str& name) {
                return WrapOrNone<NetMessageRef>(d,
                                                 d->Find(name, 0, d->config->GetDataBaseCount()));
            },
            py::arg("name"), "The first message of that name in any database, or None.")
        .def(
            "message_by_id",
            [](D d, uint64_t id) {
                return WrapOrNone<NetMessageRef>(
                    d, d->Find(py::int_(id), 0, d->config->GetDataBaseCount()));
            },
            py::arg("frame_id"), "The first message of that identifier in any database, or None.")
        .def("__len__", [](NetworkDocument& d) { return d.config->GetDataBaseCount(); })
        .def("__iter__", [](D d) { return py::iter(DatabasesOf(d)); })
        .def(
            "__getitem__",
            [](D d, const py::handle& key) {
                if (PyUnicode_Check(key.ptr())) {
                    for (const std::string& form : d->text.Candidates(key)) {
                        for (uint64_t i = 0; i < d->config->GetDataBaseCount(); ++i) {
                            if (form == d->config->GetDataBase(i)->GetName())
                                return std::make_shared<NetworkDatabase>(d, i);
                        }
                    }
                    throw py::key_error(key.cast<std::string>());
                }
                int64_t index = key.cast<int64_t>();
                const auto count = static_cast<int64_t>(d->config->GetDataBaseCount());
                if (index < 0) index += count;
                if (index < 0 || index >= count)
                    throw py::index_error("database index out of range");
                return std::make_shared<NetworkDatabase>(d, static_cast<uint64_t>(index));
            },
            "A database by name (str) or position (int).")
        .def("__repr__", [](NetworkDocument& d) {
            return py::str("<NetworkConfig databases={}>").format(d.config->GetDataBaseCount());
        });
}

}  // namespace qmpy
