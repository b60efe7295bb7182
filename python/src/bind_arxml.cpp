// ArxmlFile and the bus communication model: clusters, ECUs, PDU groups, PDUs and signals.
// The file decodes and encodes the PDUs that frames carry through the same frame catalog as
// the tool's `decode` (NetworkConfig decodes through the network model's conversion).
#include <cmath>
#include <unordered_map>

#include "bind_common.h"
#include "codec_models/model_codecs.h"
#include "plan_source.h"

namespace qmpy {

namespace {

class ArxmlDocument : public PlanSource {
  public:
    INetConfigArxmlFile* file = nullptr;
    bool loaded = false;

    // A frame by identifier (bit 31: extended; one of up to 29 bits is also tried with the
    // other addressing, as the tool does) or by the name of the PDU it carries.
    const FramePlan& PlanForKey(const py::handle& key) override {
        const qm::codec::FrameCodec* frame = nullptr;
        if (PyUnicode_Check(key.ptr())) {
            for (const std::string& form : text.Candidates(key)) {
                if ((frame = Catalog().ByName(form))) break;
            }
        } else {
            const uint64_t id = FrameNumber(key);
            if (id <= 0xFFFFFFFFull)
                frame = Catalog().ForId(id & ~uint64_t{qm::codec::kExtendedFlag},
                                        (id & qm::codec::kExtendedFlag) != 0);
        }
        if (!frame) throw py::key_error(py::repr(key).cast<std::string>());
        return PlanFor(*frame);
    }
    const FramePlan* PlanForFrame(uint32_t id, bool extended) override {
        const qm::codec::FrameCodec* frame = Catalog().ForId(id, extended);
        return frame ? &PlanFor(*frame) : nullptr;
    }

  private:
    const qm::codec::FrameCatalog& Catalog() {
        if (!catalog_) {
            catalog_ =
                std::make_unique<qm::codec::FrameCatalog>(qm::codec::BuildArxmlCatalog(*file));
        }
        return *catalog_;
    }
    const FramePlan& PlanFor(const qm::codec::FrameCodec& frame) {
        auto& slot = plans_[frame.CatalogIndex()];
        if (!slot)
            slot =
                std::make_unique<FramePlan>(std::make_unique<qm::codec::FrameCodec>(frame), text);
        return *slot;
    }

    std::unique_ptr<qm::codec::FrameCatalog> catalog_;
    std::unordered_map<size_t, std::unique_ptr<FramePlan>> plans_;
};

using ClusterRef = Ref<ArxmlDocument, IArxmlCluster>;
using EcuRef = Ref<ArxmlDocument, IArxmlEcu>;
using PduRef = Ref<ArxmlDocument, IArxmlPdu>;
using PduGroupRef = Ref<ArxmlDocument, IArxmlPduGroup>;
using SignalRef = Ref<ArxmlDocument, IArxmlSignal>;
using GroupRef = Ref<ArxmlDocument, IArxmlSignalGroup>;

const char* ClusterKindName(int32_t kind) {
    switch (kind) {
        case kArxmlClusterCan:
            return "can";
        case kArxmlClusterLin:
            return "lin";
        case kArxmlClusterEthernet:
            return "ethernet";
        default:
            return "none";
    }
}

py::object Limit(double value) {
    return std::isinf(value) ? py::object(py::none()) : py::object(py::float_(value));
}

template <class Get>
py::object Optional(bool present, Get get) {
    return present ? py::cast(get()) : py::object(py::none());
}

template <class Object, class Find>
py::object FindByName(const std::shared_ptr<ArxmlDocument>& doc, const py::str& name, Find find) {
    for (const std::string& form : doc->text.Candidates(name)) {
        if (auto* found = find(form.c_str()))
            return py::cast(Ref<ArxmlDocument, Object>{doc, found});
    }
    return py::none();
}

void BindSignals(py::module_& m) {
    py::class_<SignalRef> signal(m, "ArxmlSignal", "A signal of a PDU.");
    AddIdentity(signal);
    signal
        .def_property_readonly("name",
                               [](const SignalRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("length",
                               [](const SignalRef& r) { return r.object->GetBitLength(); })
        .def_property_readonly("start_position",
                               [](const SignalRef& r) { return r.object->GetStartPosition(); })
        .def_property_readonly("byte_order",
                               [](const SignalRef& r) {
                                   return r.object->GetByteOrder() == '0' ? "big_endian"
                                                                          : "little_endian";
                               })
        .def_property_readonly("minimum", [](const SignalRef& r) { return r.object->GetMinimum(); })
        .def_property_readonly("maximum", [](const SignalRef& r) { return r.object->GetMaximum(); })
        .def_property_readonly("unit",
                               [](const SignalRef& r) { return r.doc->text(r.object->GetUnit()); })
        .def_property_readonly(
            "description",
            [](const SignalRef& r) { return r.doc->text(r.object->GetDescription()); })
        .def_property_readonly(
            "pdu", [](const SignalRef& r) { return WrapOrNone<PduRef>(r.doc, r.object->GetPdu()); })
        .def_property_readonly(
            "init_value",
            [](const SignalRef& r) -> py::object {
                auto* encoding = dynamic_cast<IArxmlSignalEncoding*>(r.object);
                if (encoding == nullptr || !encoding->HasInitValue()) return py::none();
                return py::float_(encoding->GetInitValue());
            },
            "The raw initial value (INIT-VALUE), None without one.")
        .def_property_readonly(
            "compu_scales",
            [](const SignalRef& r) {
                py::list scales;
                for (uint64_t i = 0; i < r.object->GetCompuEntryCount(); ++i) {
                    const ArxmlCompuEntry* entry = r.object->GetCompuEntry(i);
                    py::dict scale;
                    scale["lower_limit"] = Limit(entry->lowerLimit);
                    scale["upper_limit"] = Limit(entry->upperLimit);
                    scale["text"] = r.doc->text(entry->text);
                    scale["description"] = r.doc->text(entry->description);
                    scale["label"] = r.doc->text(entry->label);
                    scale["rational"] = entry->rational;
                    scale["factor"] = entry->factor;
                    scale["offset"] = entry->offset;
                    scales.append(scale);
                }
                return scales;
            },
            "The compu method's scales as dicts (limits are None when open).")
        .def("__repr__", [](const SignalRef& r) {
            return py::str("<ArxmlSignal {!r} start={} length={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetStartPosition(),
                        r.object->GetBitLength());
        });

    py::class_<GroupRef> group(m, "ArxmlSignalGroup", "A signal group of a PDU.");
    AddIdentity(group);
    group
        .def_property_readonly("name",
                               [](const GroupRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("signals",
                               [](const GroupRef& r) {
                                   return ListOf<SignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def("__repr__", [](const GroupRef& r) {
            return py::str("<ArxmlSignalGroup {!r}>").format(r.doc->text(r.object->GetName()));
        });

    py::class_<PduRef> pdu(m, "ArxmlPdu", "A PDU with its timing and signals.");
    AddIdentity(pdu);
    pdu.def_property_readonly("name",
                              [](const PduRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "frame_name",
            [](const PduRef& r) {
                auto* carried = dynamic_cast<IArxmlPduFrame*>(r.object);
                return r.doc->text(carried != nullptr ? carried->GetFrameName() : "");
            },
            "Name of the frame that carries the PDU (the name cantools and canmatrix give the "
            "message), \"\" when no frame does.")
        .def_property_readonly("identifier",
                               [](const PduRef& r) { return r.object->GetIdentifier(); })
        .def_property_readonly("length", [](const PduRef& r) { return r.object->GetLength(); })
        .def_property_readonly("is_extended",
                               [](const PduRef& r) { return r.object->IsExtendedAddressing(); })
        .def_property_readonly(
            "rx_behavior", [](const PduRef& r) { return r.doc->text(r.object->GetRxBehavior()); })
        .def_property_readonly(
            "tx_behavior", [](const PduRef& r) { return r.doc->text(r.object->GetTxBehavior()); })
        .def_property_readonly(
            "cycle_time",
            [](const PduRef& r) {
                return Optional(r.object->HasCyclicTimePeriod(),
                                [&] { return r.object->GetCyclicTimePeriod(); });
            },
            "Cyclic time period in seconds, None when not given.")
        .def_property_readonly("time_offset",
                               [](const PduRef& r) {
                                   return Optional(r.object->HasTimeOffset(),
                                                   [&] { return r.object->GetTimeOffset(); });
                               })
        .def_property_readonly("repetitions",
                               [](const PduRef& r) {
                                   return Optional(r.object->HasNumberOfRepetitions(), [&] {
                                       return r.object->GetNumberOfRepetitions();
                                   });
                               })
        .def_property_readonly("minimum_delay",
                               [](const PduRef& r) {
                                   return Optional(r.object->HasMinimumDelay(),
                                                   [&] { return r.object->GetMinimumDelay(); });
                               })
        .def_property_readonly("unused_bit_pattern",
                               [](const PduRef& r) { return r.object->GetUnusedBitPattern(); })
        .def_property_readonly("signals",
                               [](const PduRef& r) {
                                   return ListOf<SignalRef>(
                                       r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); });
                               })
        .def(
            "signal",
            [](const PduRef& r, const py::str& name) {
                return FindByName<IArxmlSignal>(
                    r.doc, name, [&](const char* n) { return r.object->FindSignal(n); });
            },
            py::arg("name"))
        .def_property_readonly("signal_groups",
                               [](const PduRef& r) {
                                   return ListOf<GroupRef>(
                                       r.doc, r.object->GetSignalGroupCount(),
                                       [&](uint64_t i) { return r.object->GetSignalGroup(i); });
                               })
        .def("__len__", [](const PduRef& r) { return r.object->GetSignalCount(); })
        .def("__iter__",
             [](const PduRef& r) {
                 return py::iter(
                     ListOf<SignalRef>(r.doc, r.object->GetSignalCount(),
                                       [&](uint64_t i) { return r.object->GetSignal(i); }));
             })
        .def("__repr__", [](const PduRef& r) {
            return py::str("<ArxmlPdu {!r} id={} length={} signals={}>")
                .format(r.doc->text(r.object->GetName()), r.object->GetIdentifier(),
                        r.object->GetLength(), r.object->GetSignalCount());
        });
}

void BindTopology(py::module_& m) {
    py::class_<PduGroupRef> group(m, "ArxmlPduGroup", "An ECU's PDU group.");
    AddIdentity(group);
    group
        .def_property_readonly(
            "name", [](const PduGroupRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "direction",
            [](const PduGroupRef& r) { return r.doc->text(r.object->GetDirectionText()); })
        .def_property_readonly(
            "mode", [](const PduGroupRef& r) { return r.doc->text(r.object->GetModeText()); })
        .def_property_readonly("pdus",
                               [](const PduGroupRef& r) {
                                   return ListOf<PduRef>(
                                       r.doc, r.object->GetPduCount(),
                                       [&](uint64_t i) { return r.object->GetPdu(i); });
                               })
        .def("__repr__", [](const PduGroupRef& r) {
            return py::str("<ArxmlPduGroup {!r}>").format(r.doc->text(r.object->GetName()));
        });

    py::class_<EcuRef> ecu(m, "ArxmlEcu", "An ECU connected to a cluster.");
    AddIdentity(ecu);
    ecu.def_property_readonly("name",
                              [](const EcuRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly("long_name",
                               [](const EcuRef& r) { return r.doc->text(r.object->GetLongName()); })
        .def_property_readonly(
            "description", [](const EcuRef& r) { return r.doc->text(r.object->GetDescription()); })
        .def_property_readonly("diagnostic_address",
                               [](const EcuRef& r) { return r.object->GetDiagnosticAddress(); })
        .def_property_readonly("sleep_mode_supported",
                               [](const EcuRef& r) { return r.object->IsSleepModeSupported(); })
        .def_property_readonly("wake_up_over_bus_supported",
                               [](const EcuRef& r) { return r.object->IsWakeUpOverBusSupported(); })
        .def_property_readonly("pdu_groups",
                               [](const EcuRef& r) {
                                   return ListOf<PduGroupRef>(
                                       r.doc, r.object->GetPduGroupCount(),
                                       [&](uint64_t i) { return r.object->GetPduGroup(i); });
                               })
        .def_property_readonly("tx_pdus",
                               [](const EcuRef& r) {
                                   return ListOf<PduRef>(
                                       r.doc, r.object->GetTxPduCount(),
                                       [&](uint64_t i) { return r.object->GetTxPdu(i); });
                               })
        .def_property_readonly("rx_pdus",
                               [](const EcuRef& r) {
                                   return ListOf<PduRef>(
                                       r.doc, r.object->GetRxPduCount(),
                                       [&](uint64_t i) { return r.object->GetRxPdu(i); });
                               })
        .def("__repr__", [](const EcuRef& r) {
            return py::str("<ArxmlEcu {!r}>").format(r.doc->text(r.object->GetName()));
        });

    py::class_<ClusterRef> cluster(m, "ArxmlCluster", "A communication cluster (bus).");
    AddIdentity(cluster);
    cluster
        .def_property_readonly("name",
                               [](const ClusterRef& r) { return r.doc->text(r.object->GetName()); })
        .def_property_readonly(
            "kind", [](const ClusterRef& r) { return ClusterKindName(r.object->GetClusterKind()); },
            "'can', 'lin', 'ethernet' or 'none'.")
        .def_property_readonly("baudrate",
                               [](const ClusterRef& r) { return r.object->GetBaudrate(); })
        .def_property_readonly("can_fd_baudrate",
                               [](const ClusterRef& r) { return r.object->GetCanFdBaudrate(); })
        .def_property_readonly(
            "protocol_name",
            [](const ClusterRef& r) { return r.doc->text(r.object->GetProtocolName()); })
        .def_property_readonly(
            "protocol_version",
            [](const ClusterRef& r) { return r.doc->text(r.object->GetProtocolVersion()); })
        .def_property_readonly("ecus",
                               [](const ClusterRef& r) {
                                   return ListOf<EcuRef>(
                                       r.doc, r.object->GetEcuCount(),
                                       [&](uint64_t i) { return r.object->GetEcu(i); });
                               })
        .def_property_readonly("pdus",
                               [](const ClusterRef& r) {
                                   return ListOf<PduRef>(
                                       r.doc, r.object->GetPduCount(),
                                       [&](uint64_t i) { return r.object->GetPdu(i); });
                               })
        .def(
            "pdu",
            [](const ClusterRef& r, const py::str& name) {
                return FindByName<IArxmlPdu>(r.doc, name,
                                             [&](const char* n) { return r.object->FindPdu(n); });
            },
            py::arg("name"))
        .def("__repr__", [](const ClusterRef& r) {
            return py::str("<ArxmlCluster {!r} {} ecus={} pdus={}>")
                .format(r.doc->text(r.object->GetName()),
                        ClusterKindName(r.object->GetClusterKind()), r.object->GetEcuCount(),
                        r.object->GetPduCount());
        });
}

}  // namespace

py::object LoadArxml(const std::string& path, const TextRule& text, bool exact) {
    auto doc = std::make_shared<ArxmlDocument>();
    doc->facade = std::make_shared<Facade>();
    doc->text = text;
    doc->file = doc->facade->Get()->CreateArxmlFile();
    if (auto* options = dynamic_cast<INetConfigArxmlFileOptions*>(doc->file)) {
        options->SetReadingMode(exact ? kArxmlReadExact : kArxmlReadWholeDocument);
    }
    {
        py::gil_scoped_release released;
        doc->loaded = doc->file->Load(path.c_str());
    }
    if (!doc->loaded) RequireReadable(path);
    return py::cast(doc);
}

void BindArxml(py::module_& m) {
    BindSignals(m);
    BindTopology(m);
    using D = std::shared_ptr<ArxmlDocument>;
    py::class_<ArxmlDocument, PlanSource, std::shared_ptr<ArxmlDocument>>(
        m, "ArxmlFile", "The bus communication of an AUTOSAR system description (quillmere.load).")
        .def_property_readonly(
            "status",
            [](ArxmlDocument& d) { return EnumMember("ArxmlStatus", d.file->IsLoaded() ? 1 : 0); })
        .def_property_readonly("ok", [](ArxmlDocument& d) { return d.file->IsLoaded(); })
        .def_property_readonly(
            "log", [](ArxmlDocument& d) { return LogLines(d.text, d.file->GetMessages()); },
            "The reader's messages, one str a line.")
        .def_property_readonly("clusters",
                               [](D d) {
                                   return ListOf<ClusterRef>(
                                       d, d->file->GetClusterCount(),
                                       [&](uint64_t i) { return d->file->GetCluster(i); });
                               })
        .def(
            "cluster",
            [](D d, const py::str& name) {
                return FindByName<IArxmlCluster>(
                    d, name, [&](const char* n) { return d->file->FindCluster(n); });
            },
            py::arg("name"))
        .def_property_readonly("pdus",
                               [](D d) {
                                   return ListOf<PduRef>(
                                       d, d->file->GetPduCount(),
                                       [&](uint64_t i) { return d->file->GetPdu(i); });
                               })
        .def(
            "pdu",
            [](D d, const py::str& name) {
                return FindByName<IArxmlPdu>(d, name,
                                             [&](const char* n) { return d->file->FindPdu(n); });
            },
            py::arg("name"))
        .def_property_readonly(
            "ecus",
            [](D d) {
                py::list ecus;
                for (uint64_t c = 0; c < d->file->GetClusterCount(); ++c) {
                    IArxmlCluster* cluster = d->file->GetCluster(c);
                    for (uint64_t i = 0; i < cluster->GetEcuCount(); ++i)
                        ecus.append(py::cast(EcuRef{d, cluster->GetEcu(i)}));
                }
                return ecus;
            },
            "The ECUs of every cluster.")
        .def_property_readonly(
            "signals",
            [](D d) {
                py::list signals;
                for (uint64_t p = 0; p < d->file->GetPduCount(); ++p) {
                    IArxmlPdu* pdu = d->file->GetPdu(p);
                    for (uint64_t i = 0; i < pdu->GetSignalCount(); ++i)
                        signals.append(py::cast(SignalRef{d, pdu->GetSignal(i)}));
                }
                return signals;
            },
            "The signals of every PDU.")
        .def("__len__", [](ArxmlDocument& d) { return d.file->GetPduCount(); })
        .def("__iter__",
             [](D d) {
                 return py::iter(ListOf<PduRef>(d, d->file->GetPduCount(),
                                                [&](uint64_t i) { return d->file->GetPdu(i); }));
             })
        .def("__repr__", [](ArxmlDocument& d) {
            return py::str("<ArxmlFile clusters={} pdus={} status={}>")
                .format(d.file->GetClusterCount(), d.file->GetPduCount(),
                        EnumName("ArxmlStatus", d.file->IsLoaded() ? 1 : 0));
        });
}

}  // namespace qmpy
