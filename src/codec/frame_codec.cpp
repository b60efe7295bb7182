#include "codec/frame_codec.h"

#include <algorithm>
#include <cstring>

namespace qm::codec {

const FrameCodec::Step FrameCodec::kNoStep{};

FrameCodec::Step FrameCodec::MakeStep(size_t index) const {
    const SignalCodec& signal = signals[index];
    Step step;
    step.field = signal.layout.Load();
    step.selectedBy =
        signal.mux == MuxRole::Multiplexed ? static_cast<int32_t>(signal.muxValue) : kAlways;
    step.index = static_cast<uint16_t>(index);
    step.signedField = signal.kind == ValueKind::Signed;
    int64_t factor = 0;
    int64_t offset = 0;
    int decimals = 0;
    if (step.field.Fast() && signal.ExactScaling(factor, offset, decimals) && factor >= INT32_MIN &&
        factor <= INT32_MAX) {
        step.decimal = true;
        step.factor = static_cast<int32_t>(factor);
        step.offset = offset;
        step.decimals = static_cast<int8_t>(decimals);
    }
    return step;
}

void FrameCodec::Prepare() {
    switchIndex_ = -1;
    extendedMux_ = false;
    size_t fieldEnd = 0;
    bySignals_ = false;
    steps_.clear();
    steps_.reserve(signals.size());
    for (size_t i = 0; i < signals.size(); ++i) {
        SignalCodec& signal = signals[i];
        signal.Prepare();
        fieldEnd = std::max(fieldEnd, signal.layout.EndByte());
        if (switchIndex_ < 0 && signal.mux == MuxRole::Switch) switchIndex_ = static_cast<int>(i);
        if (signal.extendedMux >= 0 && static_cast<size_t>(signal.extendedMux) < signals.size()) {
            extendedMux_ = true;
        } else {
            signal.extendedMux = -1;
        }
        // What the compact steps cannot stand for is decoded signal by signal.
        const bool multiplexed = signal.mux == MuxRole::Multiplexed;
        if (multiplexed && (signal.muxValue <= kAlways || signal.muxValue > INT32_MAX))
            bySignals_ = true;
        if (signal.layout.EndByte() > signal.layout.Load().EndByte()) bySignals_ = true;
    }
    // A field end past 4 GiB (not a frame any bus carries) is decoded signal by signal.
    // So is a frame of more signals than the chains of steps in signal order can number (their
    // end mark is UINT16_MAX).
    // A container's payload is laid out before its signals are read (DecodeContainer).
    bySignals_ = bySignals_ || extendedMux_ || container != nullptr ||
                 signals.size() >= UINT16_MAX || fieldEnd > UINT32_MAX;
    fieldEnd_ = static_cast<uint32_t>(std::min<size_t>(fieldEnd, UINT32_MAX));
    for (size_t i = 0; i < signals.size(); ++i) steps_.push_back(MakeStep(i));
    OrderSteps();
}

void FrameCodec::OrderSteps() {
    // Signal order among equal ends, as a stable sort would keep it; a stable sort's buffer
    // would not be aligned as steps are.
    std::sort(steps_.begin(), steps_.end(), [](const Step& a, const Step& b) {
        const size_t endA = a.field.EndByte();
        const size_t endB = b.field.EndByte();
        return endA != endB ? endA < endB : a.index < b.index;
    });
    classicSteps_ = 0;
    while (classicSteps_ < steps_.size() && steps_[classicSteps_].field.FitsIn(8)) ++classicSteps_;
    switchStep_ = 0;
    for (size_t i = 0; i < steps_.size(); ++i) {
        if (static_cast<int>(steps_[i].index) == switchIndex_)
            switchStep_ = static_cast<uint32_t>(i);
    }
    classicEnd_ = classicSteps_ < steps_.size()
                      ? static_cast<uint32_t>(steps_[classicSteps_].field.EndByte())
                      : UINT32_MAX;
    // The first step out of signal order: payloads that end before its field do not reach it.
    inOrderBelow_ = UINT32_MAX;
    for (size_t i = 1; i < steps_.size(); ++i) {
        if (steps_[i].index < steps_[i - 1].index) {
            inOrderBelow_ = static_cast<uint32_t>(steps_[i].field.EndByte());
            break;
        }
    }
    // The chains in signal order: the places of the steps by signal, linked (all steps, then
    // the classic ones where their places fit a byte).
    firstInOrder_ = kLastInOrder;
    firstClassic_ = kLastClassic;
    if (steps_.size() >= kLastInOrder) return;  // decoded signal by signal (bySignals_)
    std::vector<size_t> placeOf(steps_.size());
    for (size_t i = 0; i < steps_.size(); ++i) placeOf[steps_[i].index] = i;
    for (size_t index = steps_.size(); index-- > 0;) {
        const size_t place = placeOf[index];
        Step& step = steps_[place];
        step.nextInOrder = firstInOrder_;
        firstInOrder_ = static_cast<uint16_t>(place);
        if (classicSteps_ < kLastClassic && place < classicSteps_) {
            step.nextClassic = firstClassic_;
            firstClassic_ = static_cast<uint8_t>(place);
        }
    }
}

int FrameCodec::IndexOf(std::string_view signalName) const {
    for (size_t i = 0; i < signals.size(); ++i) {
        if (signals[i].name == signalName) return static_cast<int>(i);
    }
    return -1;
}

std::vector<uint8_t> FrameCodec::Encode(const std::vector<std::optional<uint64_t>>& raws,
                                        bool strict) const {
    if (container) return EncodeContainer(raws, strict);
    std::vector<uint8_t> payload(size, 0);
    EncodeInto(raws, strict, payload);
    return payload;
}

std::vector<uint8_t> FrameCodec::EncodeContainer(const std::vector<std::optional<uint64_t>>& raws,
                                                 bool strict) const {
    std::vector<uint8_t> laid(fieldEnd_, 0);
    EncodeInto(raws, strict, laid);
    const auto given = [&](const ContainedLayout& part) {
        const size_t end =
            std::min<size_t>(raws.size(), size_t{part.firstSignal} + part.signalCount);
        for (size_t i = part.firstSignal; i < end; ++i) {
            if (raws[i]) return true;
        }
        return false;
    };
    const bool all =
        std::none_of(raws.begin(), raws.end(), [](const auto& raw) { return raw.has_value(); });
    std::vector<uint8_t> payload;
    for (const ContainedLayout& part : container->parts) {
        if (!all && !given(part)) continue;
        // Without values, the PDUs that fit the frame's length one after the other.
        if (all && payload.size() + container->headerSize + part.length > size) break;
        container->AppendHeader(payload, part.headerId, part.length);
        for (size_t at = part.offset; at < size_t{part.offset} + part.length; ++at)
            payload.push_back(at < laid.size() ? laid[at] : 0);
    }
    return payload;
}

void FrameCodec::EncodeInto(const std::vector<std::optional<uint64_t>>& raws, bool strict,
                            std::vector<uint8_t>& payload) const {
    const auto rawOf = [&](size_t index) {
        return index < raws.size() && raws[index] ? *raws[index] : signals[index].defaultRaw;
    };
    int64_t selected = -1;
    if (switchIndex_ >= 0)
        selected = static_cast<int64_t>(rawOf(static_cast<size_t>(switchIndex_)));
    for (size_t i = 0; i < signals.size(); ++i) {
        const SignalCodec& signal = signals[i];
        const bool given = i < raws.size() && raws[i].has_value();
        if (!Carries(i, selected, rawOf)) {
            if (given && strict) {
                if (signal.extendedMux >= 0) {
                    throw CodecError("signal '" + signal.name + "': its multiplexer '" +
                                     signals[static_cast<size_t>(signal.extendedMux)].name +
                                     "' does not select it");
                }
                throw CodecError(
                    "signal '" + signal.name + "': it is sent with multiplexer value " +
                    std::to_string(signal.muxValue) + ", not " + std::to_string(selected));
            }
            continue;
        }
        signal.layout.Insert(payload.data(), payload.size(), signal.CheckedRaw(rawOf(i)));
    }
}

void FrameCatalog::Add(std::unique_ptr<FrameCodec> frame) {
    frame->catalogIndex_ = static_cast<uint32_t>(frames_.size());
    const uint32_t key = frame->Key();
    if (key < standard_.size()) {
        if (standard_[key] == nullptr) standard_[key] = frame.get();
    } else {
        byKey_.try_emplace(key, frame.get());
    }
    byName_.try_emplace(frame->name, frame.get());
    frames_.push_back(std::move(frame));
}

const FrameCodec* FrameCatalog::ByKey(uint32_t key) const {
    if (key < standard_.size()) return standard_[key];
    if (byKey_.empty()) return nullptr;
    const auto found = byKey_.find(key);
    return found == byKey_.end() ? nullptr : found->second;
}

const FrameCodec* FrameCatalog::ForId(uint64_t id, bool extended) const {
    if (id > 0xFFFFFFFFull) return nullptr;
    const auto key = static_cast<uint32_t>(id);
    if ((key & kExtendedFlag) != 0 || key > 0x1FFFFFFF) return ByKey(key);
    const uint32_t first = extended ? key | kExtendedFlag : key;
    const uint32_t second = extended ? key : key | kExtendedFlag;
    if (const FrameCodec* frame = ByKey(first)) return frame;
    return ByKey(second);
}

void FrameCatalog::AddAlias(std::string name, size_t index) {
    if (index >= frames_.size()) return;
    byName_.try_emplace(name, frames_[index].get());
    aliases_.emplace_back(std::move(name), index);
}

const FrameCodec* FrameCatalog::ByName(std::string_view name) const {
    const auto found = byName_.find(std::string(name));
    return found == byName_.end() ? nullptr : found->second;
}

}  // namespace qm::codec
