#include "dbc_document.h"

#include "codec_models/model_codecs.h"
#include "log_scan.h"

#include <unordered_map>

namespace qmpy {

IDbcMessage* DbcDocument::MessageById(uint32_t id) {
    if (!indexed_) {
        byId_.clear();
        const uint64_t count = file->GetMessageCount();
        byId_.reserve(count);
        for (uint64_t i = 0; i < count; ++i) {
            IDbcMessage* message = file->GetMessage(i);
            byId_.emplace(message->GetRawId(), message);  // the first of an identifier stays
        }
        indexed_ = true;
    }
    auto found = byId_.find(id);
    if (found != byId_.end()) return found->second;
    if (id <= 0x1FFFFFFF) {
        found = byId_.find(id | 0x80000000u);
        if (found != byId_.end()) return found->second;
    }
    return nullptr;
}

IDbcMessage* DbcDocument::MessageByName(const py::handle& name) {
    for (const std::string& form : text.Candidates(name)) {
        if (IDbcMessage* message = file->FindMessage(form.c_str())) return message;
    }
    return longNames ? MessageByLongName(name) : nullptr;
}

IDbcMessage* DbcDocument::MessageByLongName(const py::handle& name) {
    if (!longNamesIndexed_) {
        longNamesIndexed_ = true;
        for (uint64_t i = 0; i < file->GetMessageCount(); ++i) {
            IDbcMessage* message = file->GetMessage(i);
            const char* longName = message ? qm::codec::DbcLongName(*message) : nullptr;
            if (longName) byLongName_.emplace(longName, message);  // the first stays
        }
    }
    for (const std::string& form : text.Candidates(name)) {
        const auto found = byLongName_.find(form);
        if (found != byLongName_.end()) return found->second;
    }
    return nullptr;
}

IDbcSignal* DbcDocument::SignalByName(IDbcMessage* message, const py::handle& name) {
    for (const std::string& form : text.Candidates(name)) {
        if (IDbcSignal* signal = message->FindSignal(form.c_str())) return signal;
    }
    return nullptr;
}

std::unique_ptr<qm::codec::FrameCodec> DbcDocument::CodecOf(IDbcMessage* message) const {
    auto frame = qm::codec::BuildDbcFrame(*message);
    if (longNames) qm::codec::UseDbcLongNames(*message, *frame);
    return frame;
}

const FramePlan& DbcDocument::PlanFor(IDbcMessage* message) {
    auto& slot = plans_[message];
    if (!slot) slot = std::make_unique<FramePlan>(CodecOf(message), text);
    return *slot;
}

const FramePlan& DbcDocument::PlanForKey(const py::handle& key) {
    IDbcMessage* message = nullptr;
    if (PyUnicode_Check(key.ptr())) {
        message = MessageByName(key);
    } else {
        const uint64_t id = FrameNumber(key);
        if (id <= 0xFFFFFFFFull) message = MessageById(static_cast<uint32_t>(id));
    }
    if (!message) throw py::key_error(py::repr(key).cast<std::string>());
    return PlanFor(message);
}

const FramePlan* DbcDocument::PlanForFrame(uint32_t id, bool extended) {
    IDbcMessage* message =
        FindEitherAddressing(id, extended, [this](uint32_t key) { return MessageById(key); });
    return message ? &PlanFor(message) : nullptr;
}

std::shared_ptr<const LogColumnLayout> DbcDocument::ColumnsForFrame(uint32_t id, bool extended) {
    IDbcMessage* message =
        FindEitherAddressing(id, extended, [this](uint32_t key) { return MessageById(key); });
    if (!message) return nullptr;
    // A message keeps the layout it was first given (a scan tells frames apart by it).
    const auto lean = columns_.find(message);
    if (lean != columns_.end()) return lean->second;
    const auto plan = plans_.find(message);
    if (plan != plans_.end()) return ColumnsOf(*plan->second);
    return columns_[message] = LeanColumns(CodecOf(message), text);
}

void DbcDocument::Invalidate() {
    indexed_ = false;
    byId_.clear();
    longNamesIndexed_ = false;
    byLongName_.clear();
    plans_.clear();
    columns_.clear();
}

}  // namespace qmpy
