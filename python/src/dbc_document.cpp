#include "dbc_document.h"

#include <unordered_map>

namespace qmpy {

namespace {

RawKind KindOf(IDbcSignal* signal) {
    if (signal->HasExtendedValueType()) {
        if (signal->GetExtendedValueType() == 1) return RawKind::Float32;
        if (signal->GetExtendedValueType() == 2) return RawKind::Float64;
    }
    return signal->GetValueType() == 2 ? RawKind::Signed : RawKind::Unsigned;
}

SignalPlan PlanOf(IDbcSignal* signal, const TextRule& text) {
    SignalPlan plan;
    plan.name = text(signal->GetName());
    plan.field =
        BitField(signal->GetStartBit(), signal->GetBitLength(), signal->GetByteOrder() == 1);
    plan.kind = KindOf(signal);
    plan.factor = signal->GetFactor();
    plan.offset = signal->GetOffset();
    plan.minimum = signal->GetMinimum();
    plan.maximum = signal->GetMaximum();
    if (signal->IsMultiplexerSwitch()) plan.mux = MuxRole::Switch;
    if (signal->IsMultiplexedSignal()) {
        plan.mux = MuxRole::Multiplexed;
        plan.muxValue = signal->GetMultiplexValue();
    }
    plan.defaultRaw = static_cast<uint32_t>(signal->GetStartValue());
    if (plan.kind == RawKind::Signed && signal->GetBitLength() < 64) {
        plan.defaultRaw &= (uint64_t{1} << signal->GetBitLength()) - 1;
    }
    const uint64_t count = signal->GetValueDescriptionCount();
    plan.entries.reserve(count);
    for (uint64_t i = 0; i < count; ++i) {
        ValueEntry entry;
        const uint32_t value = signal->GetValueAt(i);
        entry.rawMin = entry.rawMax = value;
        entry.text = text(signal->GetValueDescription(value));
        plan.entries.push_back(std::move(entry));
    }
    return plan;
}

// Extended multiplexing of the tolerant reader: each signal's multiplexer by its index in the
// message, with its ranges.
void PlanExtendedMultiplexing(IDbcMessage* message, FramePlan& plan) {
    std::unordered_map<IDbcSignal*, int> indexOf;
    for (uint64_t i = 0; i < plan.signals.size(); ++i) {
        auto* extended = dynamic_cast<IDbcExtendedMultiplexing*>(message->GetSignal(i));
        IDbcSignal* multiplexer = extended ? extended->GetExtendedMultiplexer() : nullptr;
        if (multiplexer == nullptr) continue;
        if (indexOf.empty()) {
            for (uint64_t k = 0; k < plan.signals.size(); ++k)
                indexOf[message->GetSignal(k)] = static_cast<int>(k);
        }
        const auto found = indexOf.find(multiplexer);
        if (found == indexOf.end()) continue;
        SignalPlan& signal = plan.signals[i];
        signal.extendedMux = found->second;
        signal.muxRanges.resize(extended->GetMultiplexRangeCount());
        for (uint64_t r = 0; r < signal.muxRanges.size(); ++r) {
            signal.muxRanges[r] = {extended->GetMultiplexRangeMinimum(r),
                                   extended->GetMultiplexRangeMaximum(r)};
        }
    }
}

}  // namespace

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
    return nullptr;
}

IDbcSignal* DbcDocument::SignalByName(IDbcMessage* message, const py::handle& name) {
    for (const std::string& form : text.Candidates(name)) {
        if (IDbcSignal* signal = message->FindSignal(form.c_str())) return signal;
    }
    return nullptr;
}

const FramePlan& DbcDocument::PlanFor(IDbcMessage* message) {
    auto& slot = plans_[message];
    if (!slot) {
        auto plan = std::make_unique<FramePlan>();
        plan->name = text(message->GetName());
        plan->id = message->GetRawId();
        plan->size = message->GetSize();
        const uint64_t count = message->GetSignalCount();
        plan->signals.reserve(count);
        for (uint64_t i = 0; i < count; ++i)
            plan->signals.push_back(PlanOf(message->GetSignal(i), text));
        PlanExtendedMultiplexing(message, *plan);
        plan->Prepare();
        slot = std::move(plan);
    }
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
    IDbcMessage* message = MessageById(extended ? id | 0x80000000u : id);
    return message ? &PlanFor(message) : nullptr;
}

void DbcDocument::Invalidate() {
    indexed_ = false;
    byId_.clear();
    plans_.clear();
}

}  // namespace qmpy
