// LdfFile and the LIN model: frames, signals, nodes, encodings, schedule tables.
#include <pybind11/stl.h>

#include <unordered_map>

#include "bind_common.h"
#include "codec_models/model_codecs.h"
#include "plan_source.h"

namespace qmpy {

namespace {

class LdfDocument : public PlanSource {
  public:
    INetConfigLdfFile* file = nullptr;

    ILdfUnconditionalFrame* FrameByName(const py::handle& name) {
        for (const std::string& form : text.Candidates(name)) {
            if (auto* frame = file->FindUnconditionalFrame(form.c_str())) return frame;
        }
        return nullptr;
    }
    ILdfUnconditionalFrame* FrameById(uint64_t id) {
        if (id > 63) return nullptr;
        return file->FindUnconditionalFrameById(static_cast<int8_t>(id));
    }
    ILdfStandardSignal* SignalByName(const py::handle& name) {
        for (const std::string& form : text.Candidates(name)) {
            if (auto* signal = file->FindStandardSignal(form.c_str())) return signal;
        }
        return nullptr;
    }
    ILdfUnconditionalFrame* RequireFrame(const py::handle& key) {
        ILdfUnconditionalFrame* frame =
            PyUnicode_Check(key.ptr()) ? FrameByName(key) : FrameById(FrameNumber(key));
        if (!frame) throw py::key_error("no frame " + py::repr(key).cast<std::string>());
        return frame;
    }

    const FramePlan& PlanFor(ILdfUnconditionalFrame* frame);
    const FramePlan& PlanForKey(const py::handle& key) override {
        return PlanFor(RequireFrame(key));
    }
    const FramePlan* PlanForFrame(uint32_t id, bool) override {
        ILdfUnconditionalFrame* frame = FrameById(id);
        return frame ? &PlanFor(frame) : nullptr;
    }
    void Invalidate() { plans_.clear(); }

  private:
    std::unordered_map<ILdfUnconditionalFrame*, std::unique_ptr<FramePlan>> plans_;
};

using LdfFrameRef = Ref<LdfDocument, ILdfUnconditionalFrame>;
using LdfSignalRef = Ref<LdfDocument, ILdfStandardSignal>;
using LdfDiagnosticSignalRef = Ref<LdfDocument, ILdfDiagnosticSignal>;
using LdfNodeRef = Ref<LdfDocument, ILdfNode>;
using LdfEncodingRef = Ref<LdfDocument, ILdfSignalEncodingType>;
using LdfScheduleRef = Ref<LdfDocument, ILdfScheduleTable>;
using LdfGroupRef = Ref<LdfDocument, ILdfSignalGroup>;
using LdfSporadicRef = Ref<LdfDocument, ILdfSporadicFrame>;
using LdfEventRef = Ref<LdfDocument, ILdfEventTriggeredFrame>;
using LdfDiagnosticFrameRef = Ref<LdfDocument, ILdfDiagnosticFrame>;

const FramePlan& LdfDocument::PlanFor(ILdfUnconditionalFrame* frame) {
    auto& slot = plans_[frame];
    if (!slot) slot = std::make_unique<FramePlan>(qm::codec::BuildLdfFrame(*frame), text);
    return *slot;
}

py::list InitialValues(uint64_t count, const std::function<uint16_t(uint64_t)>& get) {
    py::list values;
    for (uint64_t i = 0; i < count; ++i) values.append(get(i));
    return values;
}

py::list EncodingEntries(const TextRule& text, ILdfSignalEncodingType* encoding) {
    py::list entries;
    for (uint64_t i = 0; i < encoding->GetValueCount(); ++i) {
        ILdfValue* value = encoding->GetValue(i);
        py::dict entry;
        if (auto* logical = dynamic_cast<ILdfLogicalValue*>(value)) {
            entry["kind"] = "logical";
            entry["value"] = logical->GetSignalValue();
            entry["text"] = text(logical->GetTextInfo());
        } else if (auto* physical = dynamic_cast<ILdfPhysicalValue*>(value)) {
            entry["kind"] = "physical";
            entry["minimum"] = physical->GetMinimum();
            entry["maximum"] = physical->GetMaximum();
            entry["scale"] = physical->GetScale();
            entry["offset"] = physical->GetOffset();
            entry["text"] = text(physical->GetTextInfo());
        } else {
            entry["kind"] = value->GetValueKind() == kLdfValueBcd ? "bcd" : "ascii";
        }
        entries.append(entry);
    }
    return entries;
}

const char* CommandName(uint8_t kind) {
    static const char* const kNames[] = {
        "frame",       "assign_nad",         "conditional_change_nad",
        "data_dump",   "save_configuration", "assign_frame_id_range",
        "free_format", "assign_frame_id",    "unassign_frame_id"};
    return kind < 9 ? kNames[kind] : "unknown";
}

// Runs an edit: KeyError when the object is not there, OSError when the file could not be
// rewritten (the model then keeps its old value).
template <class Edit>
void RunEdit(LdfDocument& doc, bool found, const py::handle& name, Edit edit) {
    if (!found) throw py::key_error(py::repr(name).cast<std::string>());
    const uint8_t done = edit();
    doc.Invalidate();
    if (!done) RaiseNotWritten(StoredPath(doc.file));
}

void BindFrameAndSignal(py::module_& m) {
    py::class_<LdfFrameRef> frame(m, "LdfFrame", "An unconditional LIN frame.");
    AddIdentity(frame);
    frame
        .def_property_readonly(
            "name", [](const LdfFrameRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("frame_id",
                               [](const LdfFrameRef& r) { return r.object->GetFrameId(); })
        .def_property_readonly("length", [](const LdfFrameRef& r) { return r.object->GetLength(); })
        .def_property_readonly("is_dynamic",
                               [](const LdfFrameRef& r) { return r.object->IsDynamic() != 0; })
        .def_property_readonly("publisher",
                               [](const LdfFrameRef& r) {
                                   return WrapOrNone<LdfNodeRef>(r.doc, r.object->GetPublisher());
                               })
        .def_property_readonly("signals",
                               [](const LdfFrameRef& r) {
                                   return ListOf<LdfSignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def(
            "signal",
            [](const LdfFrameRef& r, const py::str& name) {
                for (const std::string& form : r.doc->text.Candidates(name)) {
                    if (auto* signal = r.object->FindSignal(form.c_str()))
                        return py::cast(LdfSignalRef{r.doc, signal});
                }
                return py::object(py::none());
            },
            py::arg("name"))
        .def("__len__", [](const LdfFrameRef& r) { return r.object->GetSignalCount(); })
        .def("__iter__",
             [](const LdfFrameRef& r) {
                 return py::iter(
                     ListOf<LdfSignalRef>(r.doc, r.object->GetSignalCount(),
                                          [&](uint64_t i) { return r.object->GetSignal(i); }));
             })
        .def("__repr__", [](const LdfFrameRef& r) {
            return py::str("<LdfFrame {!r} id=0x{:02X} length={} signals={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetFrameId(),
                        r.object->GetLength(), r.object->GetSignalCount());
        });
    AddFrameMethods(
        frame, [](const LdfFrameRef& r) -> const FramePlan& { return r.doc->PlanFor(r.object); });

    py::class_<LdfSignalRef> signal(m, "LdfSignal", "A standard LIN signal.");
    AddIdentity(signal);
    signal
        .def_property_readonly(
            "name", [](const LdfSignalRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "size", [](const LdfSignalRef& r) { return r.object->GetSize(); }, "Size in bits.")
        .def_property_readonly("bit_offset",
                               [](const LdfSignalRef& r) { return r.object->GetBitOffset(); })
        .def_property_readonly("initial_values",
                               [](const LdfSignalRef& r) {
                                   return InitialValues(
                                       r.object->GetInitialValueCount(),
                                       [&](uint64_t i) { return r.object->GetInitialValue(i); });
                               })
        .def_property_readonly("is_byte_array",
                               [](const LdfSignalRef& r) { return r.object->IsByteArray() != 0; })
        .def_property_readonly(
            "byte_order",
            [](const LdfSignalRef& r) { return r.doc->text(r.object->GetByteOrder()); })
        .def_property_readonly("publisher",
                               [](const LdfSignalRef& r) {
                                   return WrapOrNone<LdfNodeRef>(r.doc, r.object->GetPublisher());
                               })
        .def_property_readonly("subscribers",
                               [](const LdfSignalRef& r) {
                                   return ListOf<LdfNodeRef>(
                                       r.doc, r.object->GetSubscriberCount(),
                                       [&](uint64_t i) { return r.object->GetSubscriber(i); });
                               })
        .def_property_readonly("encoding",
                               [](const LdfSignalRef& r) {
                                   return WrapOrNone<LdfEncodingRef>(r.doc,
                                                                     r.object->GetEncodingType());
                               })
        .def_property_readonly("frame",
                               [](const LdfSignalRef& r) {
                                   return WrapOrNone<LdfFrameRef>(r.doc, r.object->GetFrame());
                               })
        .def_property_readonly(
            "choices",
            [](const LdfSignalRef& r) {
                py::dict choices;
                ILdfSignalEncodingType* encoding = r.object->GetEncodingType();
                for (uint64_t i = 0; encoding && i < encoding->GetValueCount(); ++i) {
                    if (auto* logical = dynamic_cast<ILdfLogicalValue*>(encoding->GetValue(i))) {
                        py::int_ key(logical->GetSignalValue());
                        if (!choices.contains(key))
                            choices[key] = r.doc->text(logical->GetTextInfo());
                    }
                }
                return choices;
            },
            "Logical values of the signal's encoding: dict of raw value to text.")
        .def(
            "raw_value",
            [](const LdfSignalRef& r, const py::handle& data) {
                ByteView bytes(data);
                return r.object->GetRawValue(bytes.data(), bytes.size());
            },
            py::arg("data"), "The signal's raw bits in a payload, as the library extracts them.")
        .def("__repr__", [](const LdfSignalRef& r) {
            return py::str("<LdfSignal {!r} size={} offset={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetSize(),
                        r.object->GetBitOffset());
        });

    py::class_<LdfDiagnosticSignalRef> diagnostic(m, "LdfDiagnosticSignal",
                                                  "A diagnostic LIN signal.");
    AddIdentity(diagnostic);
    diagnostic
        .def_property_readonly(
            "name",
            [](const LdfDiagnosticSignalRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("size",
                               [](const LdfDiagnosticSignalRef& r) { return r.object->GetSize(); })
        .def_property_readonly("initial_values",
                               [](const LdfDiagnosticSignalRef& r) {
                                   return InitialValues(
                                       r.object->GetInitialValueCount(),
                                       [&](uint64_t i) { return r.object->GetInitialValue(i); });
                               })
        .def("__repr__", [](const LdfDiagnosticSignalRef& r) {
            return py::str("<LdfDiagnosticSignal {!r} size={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetSize());
        });
}

// A slave's value, or None for the master.
template <class Value>
py::object OfSlave(const LdfNodeRef& r, Value&& value) {
    auto* slave = dynamic_cast<ILdfSlaveNode*>(r.object);
    return slave ? py::object(value(*slave)) : py::object(py::none());
}

// A slave's time in ms (the reader's default where the file gives none).
void AddSlaveTime(py::class_<LdfNodeRef>& node, const char* name, double (ILdfSlaveNode::*time)(),
                  const char* doc) {
    node.def_property_readonly(
        name,
        [time](const LdfNodeRef& r) {
            return OfSlave(r, [time](ILdfSlaveNode& s) { return py::float_((s.*time)()); });
        },
        doc);
}

// A slave's number that the file may leave out: None when not given.
void AddSlaveNumber(py::class_<LdfNodeRef>& node, const char* name, uint8_t (ILdfSlaveNode::*has)(),
                    uint8_t (ILdfSlaveNode::*get)(), const char* doc) {
    node.def_property_readonly(
        name,
        [has, get](const LdfNodeRef& r) {
            return OfSlave(r, [has, get](ILdfSlaveNode& s) {
                return (s.*has)() ? py::object(py::int_((s.*get)())) : py::object(py::none());
            });
        },
        doc);
}

// The node attributes of a slave that ldfparser users read: NADs, timing in ms (the reader's
// defaults where the file gives none), response error and fault state signals, configurable
// frames.
void AddSlaveAttributes(py::class_<LdfNodeRef>& node) {
    AddSlaveTime(node, "p2_min", &ILdfSlaveNode::GetP2Min, "Slave only: P2_min in ms.");
    AddSlaveTime(node, "st_min", &ILdfSlaveNode::GetStMin, "Slave only: ST_min in ms.");
    AddSlaveTime(node, "n_as_timeout", &ILdfSlaveNode::GetNAsTimeout,
                 "Slave only: N_As_timeout in ms.");
    AddSlaveTime(node, "n_cr_timeout", &ILdfSlaveNode::GetNCrTimeout,
                 "Slave only: N_Cr_timeout in ms.");
    AddSlaveNumber(node, "initial_nad", &ILdfSlaveNode::HasInitialNad,
                   &ILdfSlaveNode::GetInitialNad, "Slave only: initial_NAD, None when not given.");
    AddSlaveNumber(node, "response_tolerance", &ILdfSlaveNode::HasResponseTolerance,
                   &ILdfSlaveNode::GetResponseTolerance,
                   "Slave only: response_tolerance in %, None when not given.");
    node.def_property_readonly(
            "response_error",
            [](const LdfNodeRef& r) {
                return OfSlave(r, [&](ILdfSlaveNode& s) {
                    return WrapOrNone<LdfSignalRef>(r.doc, s.GetResponseErrorSignal());
                });
            },
            "Slave only: the response error signal, None when not given.")
        .def_property_readonly(
            "fault_state_signals",
            [](const LdfNodeRef& r) {
                return OfSlave(r, [&](ILdfSlaveNode& s) {
                    return ListOf<LdfSignalRef>(
                        r.doc, s.GetFaultStateSignalCount(),
                        [&](uint64_t i) { return s.GetFaultStateSignal(i); });
                });
            },
            "Slave only: the fault state signals.")
        .def_property_readonly(
            "configurable_frames",
            [](const LdfNodeRef& r) {
                return OfSlave(r, [&](ILdfSlaveNode& s) {
                    py::list frames;
                    for (uint64_t i = 0; i < s.GetConfigurableFrameCount(); ++i) {
                        IConfigurableFrame* entry = s.GetConfigurableFrame(i);
                        ILdfFrame* frame = entry ? entry->GetFrame() : nullptr;
                        if (frame == nullptr) continue;
                        frames.append(py::make_tuple(
                            r.doc->text(frame->GetName()),
                            entry->HasMessageId() ? py::object(py::int_(entry->GetMessageId()))
                                                  : py::object(py::none())));
                    }
                    return frames;
                });
            },
            "Slave only: (frame name, message id or None) per configurable frame the file "
            "defines, in order.");
}

void BindNodesAndTables(py::module_& m) {
    py::class_<LdfNodeRef> node(m, "LdfNode", "A LIN node: the master or a slave.");
    AddIdentity(node);
    node.def_property_readonly("name",
                               [](const LdfNodeRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("is_master",
                               [](const LdfNodeRef& r) { return r.object->IsMaster() != 0; })
        .def_property_readonly("diagnostic_address",
                               [](const LdfNodeRef& r) { return r.object->GetDiagnosticAddress(); })
        .def_property_readonly("published_frames",
                               [](const LdfNodeRef& r) {
                                   return ListOf<LdfFrameRef>(
                                       r.doc, r.object->GetPublishedFrameCount(),
                                       [&](uint64_t i) { return r.object->GetPublishedFrame(i); });
                               })
        .def_property_readonly("subscribed_frames",
                               [](const LdfNodeRef& r) {
                                   return ListOf<LdfFrameRef>(
                                       r.doc, r.object->GetSubscribedFrameCount(),
                                       [&](uint64_t i) { return r.object->GetSubscribedFrame(i); });
                               })
        .def_property_readonly(
            "subscribed_signals",
            [](const LdfNodeRef& r) {
                return ListOf<LdfSignalRef>(
                    r.doc, r.object->GetSubscribedSignalCount(),
                    [&](uint64_t i) { return r.object->GetSubscribedSignal(i); });
            })
        .def_property_readonly(
            "time_base",
            [](const LdfNodeRef& r) {
                auto* master = dynamic_cast<ILdfMasterNode*>(r.object);
                return master ? py::object(py::float_(master->GetTimeBase()))
                              : py::object(py::none());
            },
            "Master only: time base in ms.")
        .def_property_readonly(
            "jitter",
            [](const LdfNodeRef& r) {
                auto* master = dynamic_cast<ILdfMasterNode*>(r.object);
                return master ? py::object(py::float_(master->GetJitter()))
                              : py::object(py::none());
            },
            "Master only: jitter in ms.")
        .def_property_readonly(
            "protocol",
            [](const LdfNodeRef& r) {
                auto* slave = dynamic_cast<ILdfSlaveNode*>(r.object);
                if (slave == nullptr) return py::object(py::none());
                // The model keeps the version as the statement's token, quotes and all
                // ("\"2.1\""); the quotes are the file's syntax, not the version.
                std::string_view version = slave->GetLinProtocol();
                if (version.size() >= 2 && version.front() == '"' && version.back() == '"') {
                    version = version.substr(1, version.size() - 2);
                }
                return py::object(r.doc->text(std::string(version).c_str()));
            },
            "Slave only: LIN protocol of the node attributes (\"2.1\").")
        .def_property_readonly("configured_nad",
                               [](const LdfNodeRef& r) {
                                   auto* slave = dynamic_cast<ILdfSlaveNode*>(r.object);
                                   return slave ? py::object(py::int_(slave->GetConfiguredNad()))
                                                : py::object(py::none());
                               })
        .def_property_readonly(
            "product_id",
            [](const LdfNodeRef& r) {
                auto* slave = dynamic_cast<ILdfSlaveNode*>(r.object);
                IProductId* id = slave ? slave->GetProductId() : nullptr;
                if (!id) return py::object(py::none());
                return py::object(py::make_tuple(id->GetSupplierId(), id->GetFunctionId(),
                                                 id->HasVariant()
                                                     ? py::object(py::int_(id->GetVariant()))
                                                     : py::object(py::none())));
            },
            "Slave only: (supplier id, function id, variant or None).");
    AddSlaveAttributes(node);
    node.def("__repr__", [](const LdfNodeRef& r) {
        return py::str("<LdfNode {!r} {}>")
            .format(r.doc->text(r.object->GetName()), r.object->IsMaster() ? "master" : "slave");
    });

    py::class_<LdfEncodingRef> encoding(m, "LdfEncodingType", "A signal encoding type.");
    AddIdentity(encoding);
    encoding
        .def_property_readonly(
            "name", [](const LdfEncodingRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "entries",
            [](const LdfEncodingRef& r) { return EncodingEntries(r.doc->text, r.object); },
            "The entries as dicts with 'kind' ('logical', 'physical', 'bcd', 'ascii') and their "
            "fields.")
        .def_property_readonly("signals",
                               [](const LdfEncodingRef& r) {
                                   return ListOf<LdfSignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def("__repr__", [](const LdfEncodingRef& r) {
            return py::str("<LdfEncodingType {!r} entries={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetValueCount());
        });

    py::class_<LdfScheduleRef> schedule(m, "LdfScheduleTable", "A schedule table.");
    AddIdentity(schedule);
    schedule
        .def_property_readonly(
            "name", [](const LdfScheduleRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "entries",
            [](const LdfScheduleRef& r) {
                py::list entries;
                for (uint64_t i = 0; i < r.object->GetTaskCount(); ++i) {
                    ITask* task = r.object->GetTask(i);
                    IScheduleTableCommand* command = task->GetCommand();
                    // The frame an entry names: a frame entry's, or the one an
                    // AssignFrameId / UnassignFrameId command (re)assigns, as ldfparser
                    // gives it.
                    ILdfFrame* frame = nullptr;
                    if (auto* frameCommand = dynamic_cast<IFrameCommand*>(command)) {
                        frame = frameCommand->GetFrame();
                    } else if (auto* assign = dynamic_cast<IAssignFrameIdCommand*>(command)) {
                        frame = assign->GetFrame();
                    } else if (auto* unassign = dynamic_cast<IUnassignFrameIdCommand*>(command)) {
                        frame = unassign->GetFrame();
                    }
                    py::object frameName = py::none();
                    if (frame) frameName = r.doc->text(frame->GetName());
                    entries.append(
                        py::make_tuple(command ? CommandName(command->GetCommandKind()) : "unknown",
                                       frameName, task->GetDelay()));
                }
                return entries;
            },
            "(command kind, frame name or None, delay in ms) per entry; the frame name of an "
            "assign_frame_id or unassign_frame_id entry is the frame it names.")
        .def("__len__", [](const LdfScheduleRef& r) { return r.object->GetTaskCount(); })
        .def("__repr__", [](const LdfScheduleRef& r) {
            return py::str("<LdfScheduleTable {!r} entries={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetTaskCount());
        });

    py::class_<LdfGroupRef> group(m, "LdfSignalGroup", "A signal group.");
    AddIdentity(group);
    group
        .def_property_readonly(
            "name", [](const LdfGroupRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("size", [](const LdfGroupRef& r) { return r.object->GetSize(); })
        .def_property_readonly("signals",
                               [](const LdfGroupRef& r) {
                                   return ListOf<LdfSignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def("__repr__", [](const LdfGroupRef& r) {
            return py::str("<LdfSignalGroup {!r}>").format(r.doc->text(r.object->GetName()));
        });

    py::class_<LdfSporadicRef> sporadic(m, "LdfSporadicFrame", "A sporadic frame.");
    AddIdentity(sporadic);
    sporadic
        .def_property_readonly(
            "name", [](const LdfSporadicRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("frames",
                               [](const LdfSporadicRef& r) {
                                   return ListOf<LdfFrameRef>(
                                       r.doc, r.object->GetAssociatedFrameCount(),
                                       [&](uint64_t i) { return r.object->GetAssociatedFrame(i); });
                               })
        .def("__repr__", [](const LdfSporadicRef& r) {
            return py::str("<LdfSporadicFrame {!r}>").format(r.doc->text(r.object->GetName()));
        });

    py::class_<LdfEventRef> event(m, "LdfEventTriggeredFrame", "An event-triggered frame.");
    AddIdentity(event);
    event
        .def_property_readonly(
            "name", [](const LdfEventRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("frame_id",
                               [](const LdfEventRef& r) { return r.object->GetFrameId(); })
        .def_property_readonly("frames",
                               [](const LdfEventRef& r) {
                                   return ListOf<LdfFrameRef>(
                                       r.doc, r.object->GetAssociatedFrameCount(),
                                       [&](uint64_t i) { return r.object->GetAssociatedFrame(i); });
                               })
        .def_property_readonly("collision_schedule",
                               [](const LdfEventRef& r) {
                                   return WrapOrNone<LdfScheduleRef>(
                                       r.doc, r.object->GetCollisionResolvingScheduleTable());
                               })
        .def("__repr__", [](const LdfEventRef& r) {
            return py::str("<LdfEventTriggeredFrame {!r}>")
                .format(r.doc->text(r.object->GetName()));
        });

    py::class_<LdfDiagnosticFrameRef> diagnostic(m, "LdfDiagnosticFrame",
                                                 "A diagnostic frame (MasterReq, SlaveResp).");
    AddIdentity(diagnostic);
    diagnostic
        .def_property_readonly(
            "name", [](const LdfDiagnosticFrameRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "frame_id", [](const LdfDiagnosticFrameRef& r) { return r.object->GetFrameId(); })
        .def_property_readonly(
            "is_master_request",
            [](const LdfDiagnosticFrameRef& r) { return r.object->IsMasterRequest() != 0; })
        .def_property_readonly(
            "signals",
            [](const LdfDiagnosticFrameRef& r) {
                return ListOf<LdfDiagnosticSignalRef>(
                    r.doc, r.object->GetDiagnosticSignalCount(),
                    [&](uint64_t i) { return r.object->GetDiagnosticSignal(i); });
            })
        .def("__repr__", [](const LdfDiagnosticFrameRef& r) {
            return py::str("<LdfDiagnosticFrame {!r}>").format(r.doc->text(r.object->GetName()));
        });
}

}  // namespace

py::object LoadLdf(const std::string& path, const TextRule& text, bool tolerant) {
    auto doc = std::make_shared<LdfDocument>();
    doc->facade = std::make_shared<Facade>();
    doc->text = text;
    doc->file = doc->facade->Get()->CreateLdfFile();
    if (auto* reading = dynamic_cast<ILdfTolerantReading*>(doc->file)) {
        reading->SetTolerantReading(tolerant);
    }
    {
        py::gil_scoped_release released;
        doc->file->Load(path.c_str());
    }
    if (doc->file->GetResultCode() == 254) RequireReadable(path);
    return py::cast(doc);
}

void BindLdf(py::module_& m) {
    BindFrameAndSignal(m);
    BindNodesAndTables(m);
    using D = std::shared_ptr<LdfDocument>;
    py::class_<LdfDocument, PlanSource, std::shared_ptr<LdfDocument>> cls(
        m, "LdfFile", "A LIN description read from an LDF file (quillmere.load).");
    cls.def_property_readonly("path", [](LdfDocument& d) { return StoredPath(d.file); })
        .def_property_readonly(
            "status",
            [](LdfDocument& d) { return EnumMember("LdfStatus", d.file->GetResultCode()); },
            "The load result (LdfStatus).")
        .def_property_readonly("ok", [](LdfDocument& d) { return d.file->GetResultCode() == 0; })
        .def_property_readonly(
            "log", [](LdfDocument& d) { return LogLines(d.text, d.file->GetMessages()); },
            "The reader's messages, one str a line.")
        .def_property_readonly("name", [](LdfDocument& d) { return d.text(d.file->GetName()); })
        .def_property_readonly("protocol_version",
                               [](LdfDocument& d) { return d.text(d.file->GetProtocolVersion()); })
        .def_property_readonly("language_version",
                               [](LdfDocument& d) { return d.text(d.file->GetLanguageVersion()); })
        .def_property_readonly("file_revision",
                               [](LdfDocument& d) { return d.text(d.file->GetFileRevision()); })
        .def_property_readonly(
            "speed", [](LdfDocument& d) { return d.file->GetSpeed(); }, "Bus speed in kbit/s.")
        .def_property_readonly("channel_name",
                               [](LdfDocument& d) { return d.text(d.file->GetChannelName()); })
        .def_property_readonly("comments",
                               [](LdfDocument& d) {
                                   py::list comments;
                                   for (uint64_t i = 0; i < d.file->GetCommentCount(); ++i)
                                       comments.append(d.text(d.file->GetComment(i)));
                                   return comments;
                               })
        .def_property_readonly("info_text",
                               [](LdfDocument& d) { return d.text(d.file->GetInfoText()); })
        .def_property_readonly(
            "frames",
            [](D d) {
                return ListOf<LdfFrameRef>(
                    d, d->file->GetUnconditionalFrameCount(),
                    [&](uint64_t i) { return d->file->GetUnconditionalFrame(i); });
            },
            "The unconditional frames.")
        .def(
            "frame",
            [](D d, const py::str& name) {
                return WrapOrNone<LdfFrameRef>(d, d->FrameByName(name));
            },
            py::arg("name"))
        .def(
            "frame_by_id",
            [](D d, uint64_t id) { return WrapOrNone<LdfFrameRef>(d, d->FrameById(id)); },
            py::arg("frame_id"))
        .def_property_readonly("sporadic_frames",
                               [](D d) {
                                   return ListOf<LdfSporadicRef>(
                                       d, d->file->GetSporadicFrameCount(),
                                       [&](uint64_t i) { return d->file->GetSporadicFrame(i); });
                               })
        .def_property_readonly("event_triggered_frames",
                               [](D d) {
                                   return ListOf<LdfEventRef>(
                                       d, d->file->GetEventTriggeredFrameCount(), [&](uint64_t i) {
                                           return d->file->GetEventTriggeredFrame(i);
                                       });
                               })
        .def_property_readonly("diagnostic_frames",
                               [](D d) {
                                   return ListOf<LdfDiagnosticFrameRef>(
                                       d, d->file->GetDiagnosticFrameCount(),
                                       [&](uint64_t i) { return d->file->GetDiagnosticFrame(i); });
                               })
        .def_property_readonly(
            "signals",
            [](D d) {
                return ListOf<LdfSignalRef>(d, d->file->GetStandardSignalCount(), [&](uint64_t i) {
                    return d->file->GetStandardSignal(i);
                });
            },
            "The standard signals.")
        .def(
            "signal",
            [](D d, const py::str& name) {
                return WrapOrNone<LdfSignalRef>(d, d->SignalByName(name));
            },
            py::arg("name"))
        .def_property_readonly("diagnostic_signals",
                               [](D d) {
                                   return ListOf<LdfDiagnosticSignalRef>(
                                       d, d->file->GetDiagnosticSignalCount(),
                                       [&](uint64_t i) { return d->file->GetDiagnosticSignal(i); });
                               })
        .def_property_readonly("nodes",
                               [](D d) {
                                   return ListOf<LdfNodeRef>(
                                       d, d->file->GetNodeCount(),
                                       [&](uint64_t i) { return d->file->GetNode(i); });
                               })
        .def(
            "node",
            [](D d, const py::str& name) {
                for (const std::string& form : d->text.Candidates(name)) {
                    if (ILdfNode* node = d->file->FindNode(form.c_str()))
                        return py::cast(LdfNodeRef{d, node});
                }
                return py::object(py::none());
            },
            py::arg("name"))
        .def_property_readonly("master",
                               [](D d) {
                                   return WrapOrNone<LdfNodeRef>(
                                       d, static_cast<ILdfNode*>(d->file->GetMasterNode()));
                               })
        .def_property_readonly("slaves",
                               [](D d) {
                                   return ListOf<LdfNodeRef>(
                                       d, d->file->GetSlaveNodeCount(), [&](uint64_t i) {
                                           return static_cast<ILdfNode*>(d->file->GetSlaveNode(i));
                                       });
                               })
        .def_property_readonly("encoding_types",
                               [](D d) {
                                   return ListOf<LdfEncodingRef>(
                                       d, d->file->GetEncodingTypeCount(),
                                       [&](uint64_t i) { return d->file->GetEncodingType(i); });
                               })
        .def_property_readonly("schedule_tables",
                               [](D d) {
                                   return ListOf<LdfScheduleRef>(
                                       d, d->file->GetScheduleTableCount(),
                                       [&](uint64_t i) { return d->file->GetScheduleTable(i); });
                               })
        .def_property_readonly("signal_groups",
                               [](D d) {
                                   return ListOf<LdfGroupRef>(
                                       d, d->file->GetSignalGroupCount(),
                                       [&](uint64_t i) { return d->file->GetSignalGroup(i); });
                               })
        .def(
            "save", [](LdfDocument& d, const py::object& path) { SaveOrRaise(d.file, path); },
            py::arg("path") = py::none(),
            "Writes the file as LDF text (to its own path when none is given); OSError on failure.")
        .def(
            "rename_signal",
            [](LdfDocument& d, const py::str& name, const py::str& new_name) {
                ILdfStandardSignal* signal = d.SignalByName(name);
                const std::string bytes = d.text.Encode(new_name);
                RunEdit(d, signal, name, [&] {
                    const std::string old = signal->GetName();
                    return d.file->RenameSignal(old.c_str(), bytes.c_str());
                });
            },
            py::arg("name"), py::arg("new_name"), "Renames a signal and rewrites the file.")
        .def(
            "set_signal_size",
            [](LdfDocument& d, const py::str& name, uint8_t bits) {
                ILdfStandardSignal* signal = d.SignalByName(name);
                RunEdit(d, signal, name,
                        [&] { return d.file->SetSignalSize(signal->GetName(), bits); });
            },
            py::arg("name"), py::arg("bits"))
        .def(
            "set_signal_initial_values",
            [](LdfDocument& d, const py::str& name, const std::vector<uint16_t>& values) {
                ILdfStandardSignal* signal = d.SignalByName(name);
                RunEdit(d, signal, name, [&] {
                    return d.file->SetSignalInitialValues(signal->GetName(), values.data(),
                                                          values.size());
                });
            },
            py::arg("name"), py::arg("values"))
        .def(
            "set_signal_bit_offset",
            [](LdfDocument& d, const py::str& name, uint16_t offset) {
                ILdfStandardSignal* signal = d.SignalByName(name);
                RunEdit(d, signal, name,
                        [&] { return d.file->SetSignalBitOffset(signal->GetName(), offset); });
            },
            py::arg("name"), py::arg("bit_offset"))
        .def(
            "rename_frame",
            [](LdfDocument& d, const py::str& name, const py::str& new_name) {
                ILdfUnconditionalFrame* frame = d.FrameByName(name);
                const std::string bytes = d.text.Encode(new_name);
                RunEdit(d, frame, name, [&] {
                    const std::string old = frame->GetName();
                    return d.file->RenameFrame(old.c_str(), bytes.c_str());
                });
            },
            py::arg("name"), py::arg("new_name"))
        .def(
            "set_frame_length",
            [](LdfDocument& d, const py::str& name, uint8_t length) {
                ILdfUnconditionalFrame* frame = d.FrameByName(name);
                RunEdit(d, frame, name,
                        [&] { return d.file->SetFrameLength(frame->GetName(), length); });
            },
            py::arg("name"), py::arg("length"))
        .def(
            "set_frame_id",
            [](LdfDocument& d, const py::str& name, uint8_t id) {
                ILdfUnconditionalFrame* frame = d.FrameByName(name);
                RunEdit(d, frame, name, [&] { return d.file->SetFrameId(frame->GetName(), id); });
            },
            py::arg("name"), py::arg("frame_id"))
        .def("__len__", [](LdfDocument& d) { return d.file->GetUnconditionalFrameCount(); })
        .def("__iter__",
             [](D d) {
                 return py::iter(ListOf<LdfFrameRef>(
                     d, d->file->GetUnconditionalFrameCount(),
                     [&](uint64_t i) { return d->file->GetUnconditionalFrame(i); }));
             })
        .def(
            "__getitem__",
            [](D d, const py::handle& key) {
                return LdfFrameRef{d, d->RequireFrame(key)};
            },
            "A frame by name (str) or identifier (int); KeyError when there is none.")
        .def("__repr__", [](LdfDocument& d) {
            return py::str("<LdfFile protocol={!r} frames={} signals={} status={}>")
                .format(d.text(d.file->GetProtocolVersion()), d.file->GetUnconditionalFrameCount(),
                        d.file->GetStandardSignalCount(),
                        EnumName("LdfStatus", d.file->GetResultCode()));
        });
}

}  // namespace qmpy
