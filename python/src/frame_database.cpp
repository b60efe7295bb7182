// quillmere.load_frames(path): the frame codecs of a DBC file and nothing else. Each message
// is cleared once its codec is made (its signals' memory serves the codecs) and the model goes
// before the call returns, so a process that only decodes (log columns, Dask workers) holds
// the codecs (about the size of the model's signals) instead of the model and its plans. The
// codecs are then moved beside each other (codec/codec_compaction.h), so that the model's holes
// among them go back to the system.
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "bind_common.h"
#include "codec/codec_compaction.h"
#include "codec/frame_codec_bytes.h"
#include "codec_models/model_codecs.h"
#include "plan_source.h"

namespace qmpy {

std::string FormatOf(const std::string& path);  // module.cpp: by extension, else by content

namespace {

class FrameDatabase : public PlanSource {
  public:
    FrameDatabase(const std::string& path, const TextRule& rule, bool tolerant, bool longNames,
                  const py::object& frames)
        : longNames_(longNames) {
        text = rule;
        const bool filtered = !frames.is_none();
        if (filtered) Want(frames);
        Facade facade;
        INetConfigDbcFile* file = facade.Get()->CreateDbcFile();
        if (tolerant) {
            if (auto* reading = dynamic_cast<IDbcTolerantReading*>(file)) {
                reading->SetTolerantReading(true);
            }
        }
        {
            py::gil_scoped_release released;
            file->Load(path.c_str());
            status_ = file->GetStatus();
            if (const char* messages = file->GetMessages()) log_ = messages;
            TakeCodecs(*file, filtered);
        }
        facade.Get()->DeleteDbcFile(file);
        {
            py::gil_scoped_release released;
            qm::codec::MoveApart(codecs_);
            MoveIndexesApart();
        }
        if (missing_) throw py::key_error(py::str(wantedKeys_[missingKey_]).cast<std::string>());
    }

    // The database of State() from another process: the codecs come made, nothing is parsed.
    FrameDatabase(const TextRule& rule, uint32_t status, std::string log,
                  std::vector<std::unique_ptr<qm::codec::FrameCodec>> codecs)
        : status_(status), log_(std::move(log)) {
        text = rule;
        for (auto& codec : codecs) Keep(std::move(codec));
        plans_.resize(codecs_.size());
    }

    // What a copy in another process needs (see the pickle support below): the text rule, the
    // load's status and messages, the codecs as bytes.
    py::tuple State() const {
        std::vector<const qm::codec::FrameCodec*> frames;
        frames.reserve(plans_.size());
        for (size_t i = 0; i < plans_.size(); ++i)
            frames.push_back(plans_[i] ? plans_[i]->codec.get() : codecs_[i].get());
        std::string bytes;
        {
            py::gil_scoped_release released;
            bytes = qm::codec::FramesToBytes(frames);
        }
        return py::make_tuple(kStateVersion, text.Codec(), text.Windows1252(), status_,
                              py::bytes(log_), py::bytes(bytes));
    }

    static std::shared_ptr<FrameDatabase> FromState(const py::tuple& state) {
        if (state.size() != 6 || state[0].cast<int>() != kStateVersion)
            throw py::value_error("not the state of a FrameDatabase of this quillmere version");
        const TextRule rule =
            TextRule::Restore(state[1].cast<std::string>(), state[2].cast<bool>());
        const auto frames = state[5].cast<py::bytes>();
        const std::string_view bytes(PyBytes_AS_STRING(frames.ptr()),
                                     static_cast<size_t>(PyBytes_GET_SIZE(frames.ptr())));
        std::vector<std::unique_ptr<qm::codec::FrameCodec>> codecs;
        try {
            py::gil_scoped_release released;
            codecs = qm::codec::FramesFromBytes(bytes);
        } catch (const qm::codec::FrameBytesError& error) {
            throw py::value_error(error.what());
        }
        return std::make_shared<FrameDatabase>(rule, state[3].cast<uint32_t>(),
                                               state[4].cast<std::string>(), std::move(codecs));
    }

    const FramePlan& PlanForKey(const py::handle& key) override {
        int index = -1;
        if (PyUnicode_Check(key.ptr())) {
            for (const std::string& form : text.Candidates(key)) {
                const auto found = byName_.find(form);
                if (found != byName_.end()) {
                    index = found->second;
                    break;
                }
            }
        } else {
            const uint64_t id = FrameNumber(key);
            if (id <= 0xFFFFFFFFull) index = IndexOfKey(static_cast<uint32_t>(id), true);
        }
        if (index < 0) throw py::key_error(py::repr(key).cast<std::string>());
        return PlanAt(static_cast<size_t>(index));
    }

    const FramePlan* PlanForFrame(uint32_t id, bool extended) override {
        return FindEitherAddressing(id, extended, [this](uint32_t key) -> const FramePlan* {
            const int index = IndexOfKey(key, false);
            return index < 0 ? nullptr : &PlanAt(static_cast<size_t>(index));
        });
    }

    uint32_t Status() const { return status_; }
    const std::string& Log() const { return log_; }
    size_t Count() const { return plans_.size(); }
    // The frame names in file order (the first frame of a name is the one decoded).
    py::list Names() const {
        py::list names;
        for (const std::string& name : names_) names.append(text(name.c_str()));
        return names;
    }
    py::list Ids() const {
        py::list ids;
        for (const uint32_t key : keys_) ids.append(key);
        return ids;
    }

  private:
    static constexpr int kStateVersion = 1;

    // The frames asked for, by the byte forms of their names and by identifier.
    void Want(const py::object& frames) {
        for (const py::handle frame : frames) {
            if (PyUnicode_Check(frame.ptr())) {
                wantedNames_.push_back(text.Candidates(frame));
            } else {
                const uint64_t id = FrameNumber(frame);
                if (id > 0xFFFFFFFFull) throw py::key_error(py::repr(frame).cast<std::string>());
                wantedIds_.push_back(static_cast<uint32_t>(id));
            }
        }
        for (const py::handle frame : frames) {
            if (PyUnicode_Check(frame.ptr())) wantedKeys_.push_back(py::repr(frame));
        }
        for (const py::handle frame : frames) {
            if (!PyUnicode_Check(frame.ptr())) wantedKeys_.push_back(py::repr(frame));
        }
    }

    // The look-up tables were filled among the codecs too: copied beside them on a heap of their
    // own (as MoveApart does for a FrameCatalog), so that their small blocks do not keep the old
    // pages resident.
    void MoveIndexesApart() {
        decltype(byKey_) byKey;
        decltype(byName_) byName;
        decltype(names_) names;
        qm::codec::OnOwnHeap([&] {
            byKey = byKey_;
            byName = byName_;
            names = names_;
        });
        byKey_.swap(byKey);
        byName_.swap(byName);
        names_.swap(names);
        byKey = {};
        byName = {};
        names = {};
        qm::codec::TrimHeaps();
    }

    // Whether a frame is asked for (by its name, the written one too, or its identifier);
    // marks what asked for it as found.
    bool Wanted(const qm::codec::FrameCodec& codec, const std::string& writtenName) {
        bool wanted = false;
        for (size_t i = 0; i < wantedNames_.size(); ++i) {
            for (const std::string& form : wantedNames_[i]) {
                if (form == codec.name || form == writtenName) {
                    found_.insert(i);
                    wanted = true;
                }
            }
        }
        for (size_t i = 0; i < wantedIds_.size(); ++i) {
            const uint32_t id = wantedIds_[i];
            // As a user names frames: the number alone also finds the extended frame.
            if (id == codec.Key() || (id <= 0x1FFFFFFFu && id == codec.id)) {
                found_.insert(wantedNames_.size() + i);
                wanted = true;
            }
        }
        return wanted;
    }

    void TakeCodecs(INetConfigDbcFile& file, bool filtered) {
        const uint64_t count = file.GetMessageCount();
        if (!filtered) codecs_.reserve(count);
        for (uint64_t i = 0; i < count; ++i) {
            IDbcMessage* message = file.GetMessage(i);
            auto codec = qm::codec::BuildDbcFrame(*message);
            std::string writtenName;
            if (longNames_) {
                if (filtered) writtenName = codec->name;
                qm::codec::UseDbcLongNames(*message, *codec);
            }
            message->Clear();
            if (filtered && !Wanted(*codec, writtenName)) continue;
            Keep(std::move(codec));
        }
        plans_.resize(codecs_.size());
        for (size_t i = 0; filtered && i < wantedKeys_.size(); ++i) {
            if (!found_.count(i)) {
                missing_ = true;
                missingKey_ = i;
                break;
            }
        }
    }

    void Keep(std::unique_ptr<qm::codec::FrameCodec> codec) {
        const int index = static_cast<int>(codecs_.size());
        byKey_.emplace(codec->Key(), index);  // the first of a key or name stays
        byName_.emplace(codec->name, index);
        names_.push_back(codec->name);
        keys_.push_back(codec->Key());
        codecs_.push_back(std::move(codec));
    }

    // A frame by key; an identifier without the extended flag also finds the extended frame
    // of the same number when `eitherAddressing` (as a user names frames).
    int IndexOfKey(uint32_t key, bool eitherAddressing) const {
        auto found = byKey_.find(key);
        if (found == byKey_.end() && eitherAddressing && key <= 0x1FFFFFFFu)
            found = byKey_.find(key | qm::codec::kExtendedFlag);
        return found == byKey_.end() ? -1 : found->second;
    }

    // Python texts of a frame are made on its first use; the codec moves into its plan.
    const FramePlan& PlanAt(size_t index) {
        auto& plan = plans_[index];
        if (!plan) plan = std::make_unique<FramePlan>(std::move(codecs_[index]), text);
        return *plan;
    }

    std::vector<std::vector<std::string>> wantedNames_;
    std::vector<uint32_t> wantedIds_;
    std::vector<py::object> wantedKeys_;  // names first, then identifiers
    std::unordered_set<size_t> found_;    // indexes into wantedKeys_
    bool missing_ = false;
    size_t missingKey_ = 0;
    uint32_t status_ = 0;
    std::string log_;
    // Frames and signals take the DBC long names (cantools' names) unless short_names=True.
    bool longNames_ = true;
    std::vector<std::unique_ptr<qm::codec::FrameCodec>> codecs_;
    std::vector<std::unique_ptr<FramePlan>> plans_;
    std::unordered_map<uint32_t, int> byKey_;
    std::unordered_map<std::string, int> byName_;
    std::vector<std::string> names_;
    std::vector<uint32_t> keys_;
};

}  // namespace

void BindFrameDatabase(py::module_& m) {
    py::class_<FrameDatabase, PlanSource, std::shared_ptr<FrameDatabase>>(
        m, "FrameDatabase",
        "The frame codecs of a DBC file without its model (quillmere.load_frames): decode, "
        "decode_many, encode, decode_log and column_types as a DbcFile offers them.")
        .def_property_readonly("status", &FrameDatabase::Status, "The load status (DbcStatus).")
        .def_property_readonly("log", &FrameDatabase::Log, "The reader's messages.")
        .def_property_readonly("frame_names", &FrameDatabase::Names,
                               "The frame names in file order.")
        .def_property_readonly("frame_ids", &FrameDatabase::Ids,
                               "The raw identifiers in file order (bit 31: extended).")
        .def("__len__", &FrameDatabase::Count)
        // Pickled as its codecs (a few hundred bytes a signal): a Dask worker that receives the
        // database of the client parses no file.
        .def(py::pickle([](const FrameDatabase& self) { return self.State(); },
                        [](const py::tuple& state) { return FrameDatabase::FromState(state); }));
    m.def(
        "load_frames",
        [](const py::object& pathArgument, const py::object& encoding, bool exact,
           const py::object& tolerantArgument, bool shortNames, const py::object& frames) {
            const bool tolerant =
                tolerantArgument.is_none() ? !exact : tolerantArgument.cast<bool>();
            const std::string path = PathOf(pathArgument);
            RequireReadable(path);
            if (FormatOf(path) != "dbc") {
                throw py::value_error("load_frames reads DBC files; '" + path +
                                      "' is no DBC (quillmere.load reads it)");
            }
            const TextRule rule = encoding.is_none() ? TextRule::ForFile(path)
                                                     : TextRule(encoding.cast<std::string>());
            return std::make_shared<FrameDatabase>(path, rule, tolerant, !shortNames, frames);
        },
        py::arg("path"), py::arg("encoding") = py::none(), py::kw_only(), py::arg("exact") = false,
        py::arg("tolerant") = py::none(), py::arg("short_names") = false,
        py::arg("frames") = py::none(),
        R"(Reads a DBC file for decoding only and returns a FrameDatabase: the frame codecs,
without the model (which goes before the call returns). Options as for load(). Decodes,
encodes and log columns are those of the DbcFile that load() gives. frames (names or
identifiers) keeps only those frames' codecs, so that what stays after the load is small
whatever the size of the file; KeyError names one the file does not have.)");
}

}  // namespace qmpy
