// DbcFile and its model: messages, signals, nodes, value tables, environment variables,
// attribute definitions and signal groups.
#include <pybind11/stl.h>
#include <cstdlib>
#include <string_view>

#include "bind_common.h"
#include "dbc_document.h"

namespace qmpy {

namespace {

using Doc = std::shared_ptr<DbcDocument>;
using DbcMessageRef = Ref<DbcDocument, IDbcMessage>;
using DbcSignalRef = Ref<DbcDocument, IDbcSignal>;
using DbcNodeRef = Ref<DbcDocument, IDbcNode>;
using DbcValueTableRef = Ref<DbcDocument, IDbcValueTable>;
using DbcVariableRef = Ref<DbcDocument, IDbcEnvironmentVariable>;
using DbcDefinitionRef = Ref<DbcDocument, IDbcAttributeDefinition>;
using DbcGroupRef = Ref<DbcDocument, IDbcSignalGroup>;

// Attributes of an object as a dict of name to value text; the first of a name wins, as the
// library's own look-up does.
template <class Object>
py::dict AttributesOf(const TextRule& text, Object* object) {
    py::dict attributes;
    const uint64_t count = object->GetAttributeCount();
    for (uint64_t i = 0; i < count; ++i) {
        IDbcAttribute* attribute = object->GetAttribute(i);
        py::str name = text(attribute->GetName());
        if (!attributes.contains(name)) attributes[name] = text(attribute->GetValue());
    }
    return attributes;
}

// Value descriptions (raw value to text) in the model's own order.
uint64_t ChoiceCount(IDbcValueTable* table) {
    return table->GetValueCount();
}
template <class Object>
uint64_t ChoiceCount(Object* object) {
    return object->GetValueDescriptionCount();
}

template <class Object>
py::dict ChoicesOf(const TextRule& text, Object* object) {
    py::dict choices;
    const uint64_t count = ChoiceCount(object);
    for (uint64_t i = 0; i < count; ++i) {
        const uint32_t value = object->GetValueAt(i);
        choices[py::int_(value)] = text(object->GetValueDescription(value));
    }
    return choices;
}

py::object OptionalMs(uint32_t value) {
    if (value == 0xFFFFFFFFu) return py::none();
    return py::int_(static_cast<int32_t>(value));
}

// GenMsgCycleTime of a message; a message without the attribute takes the default of its
// definition (BA_DEF_DEF_), as cantools and canmatrix read it. None when neither gives one (a
// default of 0 names no cycle).
py::object CycleTimeOf(IDbcMessage& message, INetConfigDbcFile& file) {
    const uint32_t own = message.GetCycleTime();
    if (own != 0xFFFFFFFFu) return OptionalMs(own);
    IDbcAttributeDefinition* definition = file.FindAttributeDefinition("GenMsgCycleTime");
    const char* text = definition != nullptr ? definition->GetDefaultValue() : nullptr;
    const long value = text != nullptr ? std::strtol(text, nullptr, 0) : 0;
    return value > 0 && value <= INT32_MAX ? py::object(py::int_(value)) : py::object(py::none());
}

IDbcSignal* ExtendedMultiplexerOf(IDbcSignal* signal) {
    auto* extended = dynamic_cast<IDbcExtendedMultiplexing*>(signal);
    return extended ? extended->GetExtendedMultiplexer() : nullptr;
}

// The signal that selects a signal: its SG_MUL_VAL_ multiplexer when it has one, else the
// message's multiplexer (the model's own answer, which knows one switch a message).
IDbcSignal* SelectingMultiplexer(IDbcSignal* signal) {
    IDbcSignal* multiplexer = ExtendedMultiplexerOf(signal);
    return multiplexer ? multiplexer : signal->GetMultiplexer();
}

// A switch ("M"), or a signal of extended multiplexing that selects others in turn ("m0M";
// the exact reader reads no SG_MUL_VAL_, so its signals keep the model's answer).
bool SelectsSignals(IDbcSignal* signal) {
    if (signal->IsMultiplexerSwitch()) return true;
    const std::string_view indicator = signal->GetMultiplexIndicator();
    return indicator.size() > 1 && indicator.front() == 'm' && indicator.back() == 'M' &&
           ExtendedMultiplexerOf(signal) != nullptr;
}

const char* ByteOrderName(uint32_t code) {
    return code == 1 ? "big_endian" : code == 2 ? "little_endian" : "undefined";
}

IDbcMessage* RequireMessage(DbcDocument& doc, const py::handle& frame) {
    IDbcMessage* message = nullptr;
    if (PyUnicode_Check(frame.ptr())) {
        message = doc.MessageByName(frame);
    } else {
        const uint64_t id = FrameNumber(frame);
        if (id <= 0xFFFFFFFFull) message = doc.MessageById(static_cast<uint32_t>(id));
    }
    if (!message) throw py::key_error("no message " + py::repr(frame).cast<std::string>());
    return message;
}

IDbcSignal* RequireSignal(DbcDocument& doc, IDbcMessage* message, const py::handle& name) {
    IDbcSignal* signal = doc.SignalByName(message, name);
    if (!signal) {
        throw py::key_error("no signal " + py::repr(name).cast<std::string>() + " in " +
                            doc.text(message->GetName()).cast<std::string>());
    }
    return signal;
}

// Runs an edit of a signal: KeyError for an unknown message or signal, OSError when the file
// could not be rewritten (the model then keeps its old value).
template <class Edit>
void EditSignal(DbcDocument& doc, const py::handle& frame, const py::handle& name, Edit edit) {
    IDbcMessage* message = RequireMessage(doc, frame);
    IDbcSignal* signal = RequireSignal(doc, message, name);
    const std::string signalName = signal->GetName();
    const bool done = edit(message->GetRawId(), signalName.c_str());
    doc.Invalidate();
    if (!done) RaiseNotWritten(StoredPath(doc.file));
}

template <class Edit>
void EditMessage(DbcDocument& doc, const py::handle& frame, Edit edit) {
    IDbcMessage* message = RequireMessage(doc, frame);
    const bool done = edit(message->GetRawId());
    doc.Invalidate();
    if (!done) RaiseNotWritten(StoredPath(doc.file));
}

void BindMessage(py::module_& m) {
    py::class_<DbcMessageRef> cls(m, "DbcMessage", "A CAN message (BO_) of a DBC file.");
    AddIdentity(cls);
    cls.def_property_readonly(
           "name", [](const DbcMessageRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "frame_id", [](const DbcMessageRef& r) { return r.object->GetId(); },
            "Identifier without the extended flag.")
        .def_property_readonly(
            "raw_id", [](const DbcMessageRef& r) { return r.object->GetRawId(); },
            "Identifier as written in the file: bit 31 marks an extended frame.")
        .def_property_readonly("is_extended",
                               [](const DbcMessageRef& r) { return r.object->IsExtended(); })
        .def_property_readonly("size", [](const DbcMessageRef& r) { return r.object->GetSize(); })
        .def_property_readonly(
            "cycle_time",
            [](const DbcMessageRef& r) { return CycleTimeOf(*r.object, *r.doc->file); },
            "GenMsgCycleTime in ms, else the attribute's default (BA_DEF_DEF_); None when "
            "neither gives one.")
        .def_property_readonly(
            "delay_time",
            [](const DbcMessageRef& r) { return OptionalMs(r.object->GetDelayTime()); })
        .def_property_readonly(
            "comment", [](const DbcMessageRef& r) { return r.doc->text(r.object->GetComment()); })
        .def_property_readonly("transmitter",
                               [](const DbcMessageRef& r) {
                                   return WrapOrNone<DbcNodeRef>(r.doc, r.object->GetTransmitter());
                               })
        .def_property_readonly("transmitters",
                               [](const DbcMessageRef& r) {
                                   return ListOf<DbcNodeRef>(
                                       r.doc, r.object->GetTransmitterCount(),
                                       [&](uint64_t i) { return r.object->GetTransmitterAt(i); });
                               })
        .def_property_readonly("signals",
                               [](const DbcMessageRef& r) {
                                   return ListOf<DbcSignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def(
            "signal",
            [](const DbcMessageRef& r, const py::str& name) {
                return WrapOrNone<DbcSignalRef>(r.doc, r.doc->SignalByName(r.object, name));
            },
            py::arg("name"), "The first signal of that name, or None.")
        .def_property_readonly(
            "multiplexer",
            [](const DbcMessageRef& r) {
                for (uint64_t i = 0; i < r.object->GetSignalCount(); ++i) {
                    if (r.object->GetSignal(i)->IsMultiplexerSwitch()) {
                        return py::cast(DbcSignalRef{r.doc, r.object->GetSignal(i)});
                    }
                }
                return py::object(py::none());
            },
            "The multiplexer switch signal, or None.")
        .def_property_readonly(
            "attributes",
            [](const DbcMessageRef& r) { return AttributesOf(r.doc->text, r.object); })
        .def_property_readonly("signal_groups",
                               [](const DbcMessageRef& r) {
                                   return ListOf<DbcGroupRef>(
                                       r.doc, r.object->GetSignalGroupCount(),
                                       [&](uint64_t i) { return r.object->GetSignalGroup(i); });
                               })
        .def("__len__", [](const DbcMessageRef& r) { return r.object->GetSignalCount(); })
        .def("__iter__",
             [](const DbcMessageRef& r) {
                 py::list signals =
                     ListOf<DbcSignalRef>(r.doc, r.object->GetSignalCount(),
                                          [&](uint64_t i) { return r.object->GetSignal(i); });
                 return py::iter(signals);
             })
        .def("__getitem__",
             [](const DbcMessageRef& r, const py::str& name) {
                 IDbcSignal* signal = r.doc->SignalByName(r.object, name);
                 if (!signal) throw py::key_error(name.cast<std::string>());
                 return DbcSignalRef{r.doc, signal};
             })
        .def("__contains__",
             [](const DbcMessageRef& r, const py::str& name) {
                 return r.doc->SignalByName(r.object, name) != nullptr;
             })
        .def("__repr__", [](const DbcMessageRef& r) {
            return py::str("<DbcMessage {!r} id=0x{:X}{} size={} signals={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetId(),
                        r.object->IsExtended() ? " extended" : "", r.object->GetSize(),
                        r.object->GetSignalCount());
        });
    AddFrameMethods(
        cls, [](const DbcMessageRef& r) -> const FramePlan& { return r.doc->PlanFor(r.object); });
}

void BindSignal(py::module_& m) {
    py::class_<DbcSignalRef> cls(m, "DbcSignal", "A signal (SG_) of a DBC message.");
    AddIdentity(cls);
    cls.def_property_readonly(
           "name", [](const DbcSignalRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("start_bit",
                               [](const DbcSignalRef& r) { return r.object->GetStartBit(); })
        .def_property_readonly("length",
                               [](const DbcSignalRef& r) { return r.object->GetBitLength(); })
        .def_property_readonly(
            "byte_order",
            [](const DbcSignalRef& r) { return ByteOrderName(r.object->GetByteOrder()); },
            "'big_endian' (@0), 'little_endian' (@1) or 'undefined'.")
        .def_property_readonly("is_signed",
                               [](const DbcSignalRef& r) { return r.object->GetValueType() == 2; })
        .def_property_readonly("is_float",
                               [](const DbcSignalRef& r) {
                                   return r.object->HasExtendedValueType() &&
                                          (r.object->GetExtendedValueType() == 1 ||
                                           r.object->GetExtendedValueType() == 2);
                               })
        .def_property_readonly("factor",
                               [](const DbcSignalRef& r) { return r.object->GetFactor(); })
        .def_property_readonly("offset",
                               [](const DbcSignalRef& r) { return r.object->GetOffset(); })
        .def_property_readonly("minimum",
                               [](const DbcSignalRef& r) { return r.object->GetMinimum(); })
        .def_property_readonly("maximum",
                               [](const DbcSignalRef& r) { return r.object->GetMaximum(); })
        .def_property_readonly(
            "unit", [](const DbcSignalRef& r) { return r.doc->text(r.object->GetUnit()); })
        .def_property_readonly(
            "comment", [](const DbcSignalRef& r) { return r.doc->text(r.object->GetComment()); })
        .def_property_readonly(
            "choices", [](const DbcSignalRef& r) { return ChoicesOf(r.doc->text, r.object); },
            "Value descriptions: dict of raw value to text.")
        .def_property_readonly("receivers",
                               [](const DbcSignalRef& r) {
                                   return ListOf<DbcNodeRef>(
                                       r.doc, r.object->GetReceiverCount(),
                                       [&](uint64_t i) { return r.object->GetReceiver(i); });
                               })
        .def_property_readonly(
            "multiplexing",
            [](const DbcSignalRef& r) {
                return r.object->IsMultiplexerSwitch()   ? "switch"
                       : r.object->IsMultiplexedSignal() ? "multiplexed"
                                                         : "none";
            },
            "'none', 'switch' (the multiplexer) or 'multiplexed'.")
        .def_property_readonly(
            "is_multiplexer", [](const DbcSignalRef& r) { return SelectsSignals(r.object); },
            "True for a switch (\"M\") and for a multiplexed signal that is a multiplexer too "
            "(\"m0M\").")
        .def_property_readonly(
            "multiplexer_value",
            [](const DbcSignalRef& r) {
                return r.object->IsMultiplexedSignal()
                           ? py::object(py::int_(r.object->GetMultiplexValue()))
                           : py::object(py::none());
            },
            "The multiplexer value that selects this signal, None when it is not multiplexed.")
        .def_property_readonly(
            "multiplexer",
            [](const DbcSignalRef& r) {
                return WrapOrNone<DbcSignalRef>(r.doc, SelectingMultiplexer(r.object));
            },
            "The signal that selects this one: its SG_MUL_VAL_ multiplexer, else the message's.")
        .def_property_readonly(
            "start_value", [](const DbcSignalRef& r) { return r.object->GetStartValue(); },
            "GenSigStartValue (raw), 0 when not given.")
        .def_property_readonly(
            "attributes", [](const DbcSignalRef& r) { return AttributesOf(r.doc->text, r.object); })
        .def_property_readonly("message",
                               [](const DbcSignalRef& r) {
                                   return WrapOrNone<DbcMessageRef>(r.doc, r.object->GetMessage());
                               })
        .def(
            "raw_value",
            [](const DbcSignalRef& r, const py::handle& data) {
                ByteView bytes(data);
                return r.object->ExtractRawValue(bytes.data(), bytes.size());
            },
            py::arg("data"), "The signal's raw bits in a payload, as the library extracts them.")
        .def("__repr__", [](const DbcSignalRef& r) {
            return py::str("<DbcSignal {!r} start={} length={} {} factor={} offset={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetStartBit(),
                        r.object->GetBitLength(), ByteOrderName(r.object->GetByteOrder()),
                        r.object->GetFactor(), r.object->GetOffset());
        });
}

void BindModelParts(py::module_& m) {
    py::class_<DbcNodeRef> node(m, "DbcNode", "A node (ECU) of a DBC file.");
    AddIdentity(node);
    node.def_property_readonly("name",
                               [](const DbcNodeRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "comment", [](const DbcNodeRef& r) { return r.doc->text(r.object->GetComment()); })
        .def_property_readonly(
            "attributes", [](const DbcNodeRef& r) { return AttributesOf(r.doc->text, r.object); })
        .def_property_readonly("tx_messages",
                               [](const DbcNodeRef& r) {
                                   return ListOf<DbcMessageRef>(
                                       r.doc, r.object->GetTxMessageCount(),
                                       [&](uint64_t i) { return r.object->GetTxMessage(i); });
                               })
        .def_property_readonly("rx_messages",
                               [](const DbcNodeRef& r) {
                                   return ListOf<DbcMessageRef>(
                                       r.doc, r.object->GetRxMessageCount(),
                                       [&](uint64_t i) { return r.object->GetRxMessage(i); });
                               })
        .def_property_readonly("rx_signals",
                               [](const DbcNodeRef& r) {
                                   return ListOf<DbcSignalRef>(
                                       r.doc, r.object->GetRxSignalCount(),
                                       [&](uint64_t i) { return r.object->GetRxSignal(i); });
                               })
        .def("__repr__", [](const DbcNodeRef& r) {
            return py::str("<DbcNode {!r}>").format(r.doc->text(r.object->GetName()));
        });

    py::class_<DbcValueTableRef> table(m, "DbcValueTable", "A global value table (VAL_TABLE_).");
    AddIdentity(table);
    table
        .def_property_readonly(
            "name", [](const DbcValueTableRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "choices", [](const DbcValueTableRef& r) { return ChoicesOf(r.doc->text, r.object); })
        .def("__len__", [](const DbcValueTableRef& r) { return r.object->GetValueCount(); })
        .def("__repr__", [](const DbcValueTableRef& r) {
            return py::str("<DbcValueTable {!r} values={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetValueCount());
        });

    py::class_<DbcVariableRef> variable(m, "DbcEnvironmentVariable",
                                        "An environment variable (EV_).");
    AddIdentity(variable);
    variable
        .def_property_readonly(
            "name", [](const DbcVariableRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "type", [](const DbcVariableRef& r) { return r.doc->text(r.object->GetTypeText()); })
        .def_property_readonly("minimum",
                               [](const DbcVariableRef& r) { return r.object->GetMinimum(); })
        .def_property_readonly("maximum",
                               [](const DbcVariableRef& r) { return r.object->GetMaximum(); })
        .def_property_readonly(
            "unit", [](const DbcVariableRef& r) { return r.doc->text(r.object->GetUnit()); })
        .def_property_readonly("initial_value",
                               [](const DbcVariableRef& r) { return r.object->GetInitialValue(); })
        .def_property_readonly("id", [](const DbcVariableRef& r) { return r.object->GetId(); })
        .def_property_readonly(
            "access_type",
            [](const DbcVariableRef& r) { return r.doc->text(r.object->GetAccessTypeText()); })
        .def_property_readonly("access_nodes",
                               [](const DbcVariableRef& r) {
                                   py::list names;
                                   for (uint64_t i = 0; i < r.object->GetAccessNodeCount(); ++i)
                                       names.append(r.doc->text(r.object->GetAccessNode(i)));
                                   return names;
                               })
        .def_property_readonly("data_size",
                               [](const DbcVariableRef& r) {
                                   return r.object->HasDataSize()
                                              ? py::object(py::int_(r.object->GetDataSize()))
                                              : py::object(py::none());
                               })
        .def_property_readonly(
            "choices", [](const DbcVariableRef& r) { return ChoicesOf(r.doc->text, r.object); })
        .def_property_readonly(
            "comment", [](const DbcVariableRef& r) { return r.doc->text(r.object->GetComment()); })
        .def_property_readonly(
            "attributes",
            [](const DbcVariableRef& r) { return AttributesOf(r.doc->text, r.object); })
        .def("__repr__", [](const DbcVariableRef& r) {
            return py::str("<DbcEnvironmentVariable {!r} {}>")
                .format(r.doc->text(r.object->GetName()), r.doc->text(r.object->GetTypeText()));
        });

    py::class_<DbcDefinitionRef> definition(m, "DbcAttributeDefinition",
                                            "An attribute definition (BA_DEF_, BA_DEF_REL_).");
    AddIdentity(definition);
    definition
        .def_property_readonly(
            "name", [](const DbcDefinitionRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("is_relation",
                               [](const DbcDefinitionRef& r) { return r.object->IsRelation(); })
        .def_property_readonly(
            "object_type",
            [](const DbcDefinitionRef& r) { return r.doc->text(r.object->GetObjectTypeText()); })
        .def_property_readonly(
            "value_type",
            [](const DbcDefinitionRef& r) { return r.doc->text(r.object->GetValueTypeText()); })
        .def_property_readonly(
            "values",
            [](const DbcDefinitionRef& r) {
                py::list values;
                for (uint64_t i = 0; i < r.object->GetValueCount(); ++i)
                    values.append(r.doc->text(r.object->GetValue(i)));
                return values;
            },
            "Bounds of a number type, or the names of an enumeration.")
        .def_property_readonly(
            "default",
            [](const DbcDefinitionRef& r) { return r.doc->text(r.object->GetDefaultValue()); })
        .def("__repr__", [](const DbcDefinitionRef& r) {
            return py::str("<DbcAttributeDefinition {!r} {} {}>")
                .format(r.doc->text(r.object->GetName()),
                        r.doc->text(r.object->GetObjectTypeText()),
                        r.doc->text(r.object->GetValueTypeText()));
        });

    py::class_<DbcGroupRef> group(m, "DbcSignalGroup", "A signal group (SIG_GROUP_).");
    AddIdentity(group);
    group
        .def_property_readonly(
            "name", [](const DbcGroupRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("repetitions",
                               [](const DbcGroupRef& r) { return r.object->GetRepetitions(); })
        .def_property_readonly("signals",
                               [](const DbcGroupRef& r) {
                                   return ListOf<DbcSignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def("__repr__", [](const DbcGroupRef& r) {
            return py::str("<DbcSignalGroup {!r} signals={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetSignalCount());
        });
}

void BindEdits(py::class_<DbcDocument, PlanSource, std::shared_ptr<DbcDocument>>& cls) {
    // Every edit rewrites the file at the stored path at once; OSError when it cannot, and the
    // model keeps its old value.
    cls.def(
           "set_signal_name",
           [](DbcDocument& d, const py::handle& frame, const py::str& name,
              const py::str& new_name) {
               const std::string bytes = d.text.Encode(new_name);
               EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                   return d.file->SetSignalName(id, s, bytes.c_str());
               });
           },
           py::arg("frame_id"), py::arg("name"), py::arg("new_name"),
           "Renames a signal and rewrites the file.")
        .def(
            "set_signal_multiplex_indicator",
            [](DbcDocument& d, const py::handle& frame, const py::str& name,
               const py::str& indicator) {
                const std::string bytes = d.text.Encode(indicator);
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalMultiplexIndicator(id, s, bytes.c_str());
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("indicator"))
        .def(
            "set_signal_start_bit",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, uint16_t value) {
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalStartBit(id, s, value);
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("start_bit"))
        .def(
            "set_signal_length",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, uint16_t value) {
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalBitLength(id, s, value);
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("length"))
        .def(
            "set_signal_byte_order",
            [](DbcDocument& d, const py::handle& frame, const py::str& name,
               const std::string& order) {
                char code = order == "big_endian" || order == "0"      ? '0'
                            : order == "little_endian" || order == "1" ? '1'
                                                                       : 0;
                if (!code)
                    throw py::value_error("byte order must be 'big_endian' or 'little_endian'");
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalByteOrder(id, s, code);
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("byte_order"))
        .def(
            "set_signal_signed",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, bool is_signed) {
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalValueType(id, s, is_signed ? '-' : '+');
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("is_signed"))
        .def(
            "set_signal_factor",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, double value,
               std::optional<uint8_t> decimals) {
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalFactor(id, s, value,
                                                   decimals.value_or(DecimalsOf(value)));
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("factor"),
            py::arg("decimals") = py::none(),
            "Sets the factor; decimals (how many the file shows) default to the shortest exact "
            "text.")
        .def(
            "set_signal_offset",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, double value,
               std::optional<uint8_t> decimals) {
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalOffset(id, s, value,
                                                   decimals.value_or(DecimalsOf(value)));
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("offset"),
            py::arg("decimals") = py::none())
        .def(
            "set_signal_minimum",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, double value,
               std::optional<uint8_t> decimals) {
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalMinimum(id, s, value,
                                                    decimals.value_or(DecimalsOf(value)));
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("minimum"),
            py::arg("decimals") = py::none())
        .def(
            "set_signal_maximum",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, double value,
               std::optional<uint8_t> decimals) {
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalMaximum(id, s, value,
                                                    decimals.value_or(DecimalsOf(value)));
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("maximum"),
            py::arg("decimals") = py::none())
        .def(
            "set_signal_unit",
            [](DbcDocument& d, const py::handle& frame, const py::str& name, const py::str& unit) {
                const std::string bytes = d.text.Encode(unit);
                EditSignal(d, frame, name, [&](uint32_t id, const char* s) {
                    return d.file->SetSignalUnit(id, s, bytes.c_str());
                });
            },
            py::arg("frame_id"), py::arg("name"), py::arg("unit"))
        .def(
            "set_message_id",
            [](DbcDocument& d, const py::handle& frame, uint32_t new_raw_id) {
                EditMessage(d, frame,
                            [&](uint32_t id) { return d.file->SetMessageId(id, new_raw_id); });
            },
            py::arg("frame_id"), py::arg("new_raw_id"),
            "Sets the identifier as written (bit 31: extended).")
        .def(
            "set_message_name",
            [](DbcDocument& d, const py::handle& frame, const py::str& name) {
                const std::string bytes = d.text.Encode(name);
                EditMessage(d, frame,
                            [&](uint32_t id) { return d.file->SetMessageName(id, bytes.c_str()); });
            },
            py::arg("frame_id"), py::arg("name"))
        .def(
            "set_message_size",
            [](DbcDocument& d, const py::handle& frame, uint8_t size) {
                EditMessage(d, frame,
                            [&](uint32_t id) { return d.file->SetMessageSize(id, size); });
            },
            py::arg("frame_id"), py::arg("size"));
}

}  // namespace

void BindDbc(py::module_& m) {
    BindMessage(m);
    BindSignal(m);
    BindModelParts(m);
    py::class_<DbcDocument, PlanSource, std::shared_ptr<DbcDocument>> cls(
        m, "DbcFile", "A CAN database read from a DBC file (quillmere.load).");
    cls.def_property_readonly("path", [](DbcDocument& d) { return StoredPath(d.file); })
        .def_property_readonly(
            "status", [](DbcDocument& d) { return EnumMember("DbcStatus", d.file->GetStatus()); },
            "The load status (DbcStatus).")
        .def_property_readonly(
            "ok",
            [](DbcDocument& d) {
                const uint32_t status = d.file->GetStatus();
                return status == 1 || status == 2;
            },
            "True when the file was read to its end (possibly with warnings).")
        .def_property_readonly(
            "log", [](DbcDocument& d) { return LogLines(d.text, d.file->GetMessages()); },
            "The reader's messages, one str a line.")
        .def_property_readonly("database_name",
                               [](DbcDocument& d) { return d.text(d.file->GetDatabaseName()); })
        .def_property_readonly(
            "version", [](DbcDocument& d) { return d.text(d.file->GetDbcVersion()); },
            "The VERSION text of the file.")
        .def_property_readonly(
            "baudrate",
            [](DbcDocument& d) {
                const int32_t value = static_cast<int32_t>(d.file->GetBaudrate());
                return value < 0 ? py::object(py::none()) : py::object(py::int_(value));
            })
        .def_property_readonly(
            "bit_timing",
            [](DbcDocument& d) {
                IDbcBitTiming* timing = d.file->GetBitTiming();
                if (!timing) return py::object(py::none());
                return py::object(
                    py::make_tuple(timing->GetBaudrate(), timing->GetBtr1(), timing->GetBtr2()));
            },
            "(baudrate, btr1, btr2) of the BS_ line, or None.")
        .def_property_readonly("comment",
                               [](DbcDocument& d) { return d.text(d.file->GetComment()); })
        .def_property_readonly("new_symbols",
                               [](DbcDocument& d) {
                                   py::list symbols;
                                   for (uint64_t i = 0; i < d.file->GetNewSymbolCount(); ++i)
                                       symbols.append(d.text(d.file->GetNewSymbol(i)));
                                   return symbols;
                               })
        .def_property_readonly("info_text",
                               [](DbcDocument& d) { return d.text(d.file->GetInfoText()); })
        .def_property_readonly("nodes",
                               [](std::shared_ptr<DbcDocument> d) {
                                   return ListOf<DbcNodeRef>(
                                       d, d->file->GetNodeCount(),
                                       [&](uint64_t i) { return d->file->GetNode(i); });
                               })
        .def(
            "node",
            [](std::shared_ptr<DbcDocument> d, const py::str& name) {
                for (const std::string& form : d->text.Candidates(name)) {
                    if (IDbcNode* node = d->file->FindNode(form.c_str()))
                        return py::cast(DbcNodeRef{d, node});
                }
                return py::object(py::none());
            },
            py::arg("name"))
        .def_property_readonly("messages",
                               [](std::shared_ptr<DbcDocument> d) {
                                   return ListOf<DbcMessageRef>(
                                       d, d->file->GetMessageCount(),
                                       [&](uint64_t i) { return d->file->GetMessage(i); });
                               })
        .def(
            "message",
            [](std::shared_ptr<DbcDocument> d, const py::str& name) {
                return WrapOrNone<DbcMessageRef>(d, d->MessageByName(name));
            },
            py::arg("name"), "The first message of that name, or None.")
        .def(
            "message_by_id",
            [](std::shared_ptr<DbcDocument> d, uint64_t id) {
                return WrapOrNone<DbcMessageRef>(
                    d, id <= 0xFFFFFFFFull ? d->MessageById(static_cast<uint32_t>(id)) : nullptr);
            },
            py::arg("frame_id"),
            "The first message of that identifier (an identifier without bit 31 also finds an "
            "extended message), or None.")
        .def_property_readonly(
            "signals",
            [](std::shared_ptr<DbcDocument> d) {
                return ListOf<DbcSignalRef>(d, d->file->GetSignalCount(),
                                            [&](uint64_t i) { return d->file->GetSignal(i); });
            },
            "Every signal of the file, in file order.")
        .def_property_readonly("value_tables",
                               [](std::shared_ptr<DbcDocument> d) {
                                   return ListOf<DbcValueTableRef>(
                                       d, d->file->GetValueTableCount(),
                                       [&](uint64_t i) { return d->file->GetValueTable(i); });
                               })
        .def_property_readonly("environment_variables",
                               [](std::shared_ptr<DbcDocument> d) {
                                   return ListOf<DbcVariableRef>(
                                       d, d->file->GetEnvironmentVariableCount(), [&](uint64_t i) {
                                           return d->file->GetEnvironmentVariable(i);
                                       });
                               })
        .def_property_readonly("attribute_definitions",
                               [](std::shared_ptr<DbcDocument> d) {
                                   return ListOf<DbcDefinitionRef>(
                                       d, d->file->GetAttributeDefinitionCount(), [&](uint64_t i) {
                                           return d->file->GetAttributeDefinition(i);
                                       });
                               })
        .def_property_readonly(
            "attributes", [](DbcDocument& d) { return AttributesOf(d.text, d.file); },
            "Network attributes: dict of name to value text.")
        .def(
            "save", [](DbcDocument& d, const py::object& path) { SaveOrRaise(d.file, path); },
            py::arg("path") = py::none(),
            "Writes the file as DBC text (to its own path when none is given); OSError on failure.")
        .def("__len__", [](DbcDocument& d) { return d.file->GetMessageCount(); })
        .def("__iter__",
             [](std::shared_ptr<DbcDocument> d) {
                 return py::iter(
                     ListOf<DbcMessageRef>(d, d->file->GetMessageCount(),
                                           [&](uint64_t i) { return d->file->GetMessage(i); }));
             })
        .def(
            "__getitem__",
            [](std::shared_ptr<DbcDocument> d, const py::handle& key) {
                return DbcMessageRef{d, RequireMessage(*d, key)};
            },
            "A message by name (str) or identifier (int); KeyError when there is none.")
        .def("__contains__",
             [](std::shared_ptr<DbcDocument> d, const py::handle& key) {
                 try {
                     RequireMessage(*d, key);
                     return true;
                 } catch (const py::key_error&) {
                     return false;
                 }
             })
        .def("__repr__", [](DbcDocument& d) {
            return py::str("<DbcFile {!r} messages={} signals={} status={}>")
                .format(d.text(d.file->GetDatabaseName()), d.file->GetMessageCount(),
                        d.file->GetSignalCount(), EnumName("DbcStatus", d.file->GetStatus()));
        });
    BindEdits(cls);
}

}  // namespace qmpy
