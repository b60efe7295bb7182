#pragma once
// One frame layout, prepared once: its signals (SignalCodec), the multiplexing that selects
// them, decoding of payloads and encoding of values. Every decode and encode path of the
// project (the tool's decode and logs, the Python package, encode) uses these; builders in
// src/codec_models/ make them from the DBC, LDF, ARXML and network models.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "codec/container_layout.h"
#include "codec/multiplex_selection.h"
#include "codec/signal_codec.h"

namespace qm::codec {

// Bit 31 of a frame key marks an extended (29-bit) CAN identifier.
constexpr uint32_t kExtendedFlag = 0x80000000u;

class alignas(64) FrameCodec {
  public:
    class Step;

    std::string name;
    uint32_t id = 0;        // without the extended flag
    bool extended = false;  // a 29-bit CAN identifier
    size_t size = 0;        // bytes the frame has (and an encode produces)
    std::vector<SignalCodec> signals;
    // A frame that sends PDUs behind headers: where their signals lie (null for other frames).
    // Set (and prepared) before Prepare().
    std::shared_ptr<const ContainerLayout> container;

    // Works out the multiplexer and the bytes the signals reach; call once signals are set.
    void Prepare();
    uint32_t Key() const { return extended ? id | kExtendedFlag : id; }
    int SwitchIndex() const { return switchIndex_; }
    bool HasExtendedMultiplexing() const { return extendedMux_; }
    // The payload bytes the signals reach.
    size_t FieldEnd() const { return fieldEnd_; }

    // Calls visit(index, raw) for every signal the payload carries, in signal order. A signal
    // that lies (partly) beyond a short payload is left out; the result is then false (the
    // frame is truncated), else true. A visit that takes a third argument gets the signal's
    // decode step (const Step&), whose Decimal() gives its physical value without reading the
    // signal: a writer of decimal text then reads a few bytes per signal.
    template <class Visit>
    bool Decode(const uint8_t* payload, size_t size, Visit&& visit) const;
    // Decode of a payload in a buffer of `readable` bytes (bytes past `size` are read but do
    // not matter): a log line's buffer is decoded where it lies, without a padded copy, when
    // the fields the payload holds leave room for a 64-bit load.
    template <class Visit>
    bool Decode(const uint8_t* payload, size_t size, size_t readable, Visit&& visit) const;

    // Whether a frame carries signals[index]: selected is the switch's raw value (-1 without
    // a switch); rawOf(i) gives the raw value of signals[i] (for extended multiplexing).
    template <class RawOf>
    bool Carries(size_t index, int64_t selected, const RawOf& rawOf) const;

    // The payload for raw values by signal index (nullopt: the signal's default raw value).
    // Signals the multiplexers do not select are not written; with strict, a value given for
    // one of them throws CodecError.
    // A container frame's payload holds the contained PDUs that a value is given for (when
    // none is, those that fit the frame's size one after the other), each behind its header,
    // in the order of the layout.
    std::vector<uint8_t> Encode(const std::vector<std::optional<uint64_t>>& raws,
                                bool strict) const;

    // The index of the first signal of a name, -1 when none.
    int IndexOf(std::string_view signalName) const;
    // The frame's place in the catalog that holds it (for tables kept beside a catalog), or
    // kNotCataloged.
    static constexpr size_t kNotCataloged = ~size_t{0};
    size_t CatalogIndex() const {
        return catalogIndex_ == kUncataloged ? kNotCataloged : catalogIndex_;
    }

    // Asks the processor for what Decode reads of the codec itself (its first two cache lines,
    // see the members): the first level of a batch's fetches ahead of their Decode.
    void PrefetchCodec() const {
        __builtin_prefetch(this);
        __builtin_prefetch(reinterpret_cast<const char*>(this) + 64);
    }
    // Asks the processor for what Decode reads of this frame (the fields of its signals), and
    // then for the signals a payload of `size` bytes holds (what a caller's visit reads of
    // them): called for a batch of frames ahead of their Decode, it overlaps the cache misses
    // of a database larger than the caches.
    // The fields a payload of `size` bytes holds: of a classic frame (8 bytes or fewer) the
    // steps that fit 8 bytes, counted ahead (counting here would wait for the very lines asked
    // for).
    void PrefetchFields(size_t size = ~size_t{0}) const {
        const auto data = reinterpret_cast<uintptr_t>(steps_.data());
        const uintptr_t end = data + (size <= 8 ? classicSteps_ : steps_.size()) * sizeof(Step);
        // Every line the steps touch (they need not start on one).
        for (uintptr_t line = data & ~uintptr_t{63}; line < end; line += 64)
            __builtin_prefetch(reinterpret_cast<const void*>(line));
    }
    // withDecimal: also those whose step's Decimal() stands for them.
    void PrefetchSignals(size_t size, bool withDecimal = true) const {
        const size_t count = FittingSteps(size);  // reads no step PrefetchFields left out
        for (size_t i = 0; i < count; ++i) {
            if (withDecimal || !steps_[i].decimal) __builtin_prefetch(&signals[steps_[i].index]);
        }
    }

    // What Decode reads of each signal, side by side in 32 bytes: its field, the switch value
    // that selects it (kAlways when every frame carries it, as far as simple multiplexing goes),
    // its index in signals and its scaling in integers (SignalCodec::ExactScaling). Steps are
    // ordered by the byte their field ends at (signal order among equals), so that a short
    // payload reads the fields it holds and stops at the first it does not: the steps of most
    // frames of a bus are a few cache lines. Each step also names the step of the next signal
    // it is carried with (of all steps, and of the steps an 8-byte payload holds), so that the
    // payloads whose fields end out of signal order are visited in it without sorting.
    class alignas(32) Step {
      public:
        // The physical value of a raw value as mantissa x 10^-Decimals(), when the signal's
        // scaling has that form and PhysicalOf(raw) is exactly it: an Integer (Decimals() 0),
        // +0, or the double nearest to a decimal of at most 15 digits, whose shortest text is
        // that decimal's. False: PhysicalOf(raw) has the value.
        bool Decimal(uint64_t raw, int64_t& mantissa) const {
            if (!decimal) return false;
            int64_t value;
            if (signedField) {
                value = SignExtend(raw, field.Length());
            } else {
                if (raw > uint64_t{INT64_MAX}) return false;
                value = static_cast<int64_t>(raw);
            }
            if (__builtin_mul_overflow(value, int64_t{factor}, &mantissa) ||
                __builtin_add_overflow(mantissa, offset, &mantissa)) {
                return false;
            }
            if (decimals == 0) return true;
            // Zero only when the double computation meets no rounding (a zero value or
            // factor, so a zero offset): it is then +0, where rounding might leave a -0.
            if (mantissa == 0) return value == 0 || factor == 0;
            constexpr int64_t kMost = 999'999'999'999'999;  // 15 digits
            return mantissa >= -kMost && mantissa <= kMost;
        }
        int Decimals() const { return decimals; }

      private:
        friend class FrameCodec;
        FieldLoad field;
        int64_t offset = 0;  // the scaling's offset over 10^decimals
        int32_t factor = 0;  // the scaling's factor over 10^decimals
        int32_t selectedBy = 0;
        uint16_t index = 0;
        int8_t decimals = 0;
        bool decimal = false;  // the scaling has the integer form above
        bool signedField = false;
        uint8_t nextClassic = kLastClassic;   // among the classic steps (OrderSteps)
        uint16_t nextInOrder = kLastInOrder;  // among all steps
    };
    static_assert(sizeof(Step) == 32, "a step is half a cache line");

  private:
    friend class FrameCatalog;
    static constexpr int32_t kAlways = INT32_MIN;
    static constexpr uint32_t kUncataloged = UINT32_MAX;
    // The ends of the chains of Step::nextClassic and Step::nextInOrder.
    static constexpr uint8_t kLastClassic = UINT8_MAX;
    static constexpr uint16_t kLastInOrder = UINT16_MAX;
    // A step that has no decimal form (the visits of the signal-by-signal decode).
    static const Step kNoStep;
    Step MakeStep(size_t index) const;
    // The raw value of a step's field from a padded payload.
    [[gnu::always_inline]] uint64_t StepRaw(const Step& step, const uint8_t* bytes) const {
        return step.field.Fast() ? step.field.ExtractFast(bytes)
                                 : signals[step.index].layout.ExtractPadded(bytes);
    }
    // Calls visit with the step when it takes one (kNoStep where the signal has none).
    template <class Visit>
    [[gnu::always_inline]] static void VisitWith(Visit& visit, size_t index, uint64_t raw,
                                                 const Step& step) {
        if constexpr (std::is_invocable_v<Visit&, size_t, uint64_t, const Step&>) {
            visit(index, raw, step);
        } else {
            visit(index, raw);
        }
    }
    // The steps a payload of `size` bytes holds (a prefix of steps_).
    size_t FittingSteps(size_t size) const {
        if (size >= fieldEnd_) return steps_.size();
        // The steps of a classic payload are counted once (an 8-byte payload of a larger frame is
        // the most frequent short payload), and the end of the step after them is kept here: a
        // payload that ends before it reads no step past them (nor waits for one).
        if (size < classicEnd_) {
            if (size >= 8) return classicSteps_;
            size_t count = 0;
            while (count < classicSteps_ && steps_[count].field.FitsIn(size)) ++count;
            return count;
        }
        size_t count = classicSteps_;
        while (steps_[count].field.FitsIn(size)) ++count;
        return count;
    }
    // Orders the steps by the byte their fields end at (signal order among equals) and works
    // out what the decode keeps of that order: the classic steps, the switch's step, where
    // payloads leave signal order, the chains in it.
    void OrderSteps();
    // Decode of a container frame's payload: the signals of the contained PDUs it sends.
    template <class Visit>
    bool DecodeContainer(const uint8_t* payload, size_t size, Visit& visit) const;

    // Encode of the signals into `payload` as laid out (the frame's bytes, or a container's
    // laid-out contained PDUs).
    void EncodeInto(const std::vector<std::optional<uint64_t>>& raws, bool strict,
                    std::vector<uint8_t>& payload) const;
    std::vector<uint8_t> EncodeContainer(const std::vector<std::optional<uint64_t>>& raws,
                                         bool strict) const;
    // Decode of the fields a payload of `size` bytes holds from `bytes`, which has room for a
    // 64-bit load past the first min(size, FieldEnd()) bytes (simple multiplexing only).
    template <class Visit>
    bool DecodeOrdered(const uint8_t* bytes, size_t size, Visit& visit) const;
    // Visits the carried fields of the first `count` steps, whose indexes are out of signal
    // order, sorted back into it.
    template <class Visit>
    void VisitSorted(const uint8_t* bytes, size_t count, int64_t selected, Visit& visit) const;
    // Visits the carried fields along a chain of steps in signal order, from steps_[first].
    template <class Next, Next Step::*kNext, class Visit>
    void VisitChain(const uint8_t* bytes, size_t first, int64_t selected, Visit& visit) const;
    // What a decode reads of the codec (signals' size and the members below but extendedMux_)
    // lies in its first two cache lines.
    std::vector<Step> steps_;
    uint32_t fieldEnd_ = 0;
    uint32_t catalogIndex_ = kUncataloged;
    // Payloads of fewer bytes than this hold steps in signal order (no sorting back).
    uint32_t inOrderBelow_ = 0;
    uint32_t classicSteps_ = 0;         // the steps a payload of 8 bytes holds
    uint32_t classicEnd_ = UINT32_MAX;  // the end byte of steps_[classicSteps_], if any
    uint32_t switchStep_ = 0;           // the switch's place in steps_
    int switchIndex_ = -1;
    uint16_t firstInOrder_ = kLastInOrder;  // the step of signal 0
    uint8_t firstClassic_ = kLastClassic;   // the classic step of the lowest signal
    bool bySignals_ = false;  // Carries() decides (extended multiplexing, or a kAlways value)
    bool extendedMux_ = false;
};

// The signals of a frame codec as the multiplexing rule walks them.
template <class RawOf>
struct CodecMuxAccess {
    const FrameCodec& frame;
    const RawOf& rawOf;

    int Multiplexer(int index) const {
        return frame.signals[static_cast<size_t>(index)].extendedMux;
    }
    bool IsNull(int index) const { return index < 0; }
    bool IsMultiplexed(int index) const {
        return frame.signals[static_cast<size_t>(index)].mux == MuxRole::Multiplexed;
    }
    int64_t MultiplexValue(int index) const {
        return frame.signals[static_cast<size_t>(index)].muxValue;
    }
    bool InRanges(int index, uint64_t raw) const {
        return InMultiplexRanges(frame.signals[static_cast<size_t>(index)].muxRanges, raw);
    }
    uint64_t Raw(int index) const { return rawOf(static_cast<size_t>(index)); }
};

template <class RawOf>
bool FrameCodec::Carries(size_t index, int64_t selected, const RawOf& rawOf) const {
    const SignalCodec& signal = signals[index];
    if (!extendedMux_) return signal.mux != MuxRole::Multiplexed || signal.muxValue == selected;
    return IsCarried(CodecMuxAccess<RawOf>{*this, rawOf}, static_cast<int>(index), selected);
}

template <class Visit>
void FrameCodec::VisitSorted(const uint8_t* bytes, size_t count, int64_t selected,
                             Visit& visit) const {
    struct Field {
        const Step* step;
        uint64_t raw;
    };
    Field onStack[256];
    std::unique_ptr<Field[]> onHeap;
    Field* fields = onStack;
    if (count > std::size(onStack)) {
        onHeap = std::make_unique<Field[]>(count);
        fields = onHeap.get();
    }
    size_t carried = 0;
    for (size_t i = 0; i < count; ++i) {
        const Step& step = steps_[i];
        if (step.selectedBy != kAlways && step.selectedBy != selected) continue;
        // Insertion into signal order: the steps are nearly in it.
        const Field field{&step, StepRaw(step, bytes)};
        size_t at = carried++;
        for (; at > 0 && fields[at - 1].step->index > step.index; --at) fields[at] = fields[at - 1];
        fields[at] = field;
    }
    for (size_t i = 0; i < carried; ++i)
        VisitWith(visit, fields[i].step->index, fields[i].raw, *fields[i].step);
}

template <class Next, Next FrameCodec::Step::*kNext, class Visit>
void FrameCodec::VisitChain(const uint8_t* bytes, size_t first, int64_t selected,
                            Visit& visit) const {
    const Step* const steps = steps_.data();
    for (size_t at = first; at != size_t{Next(~Next{0})};) {
        const Step& step = steps[at];
        at = step.*kNext;
        if (step.selectedBy != kAlways && step.selectedBy != selected) continue;
        VisitWith(visit, step.index, StepRaw(step, bytes), step);
    }
}

template <class Visit>
bool FrameCodec::DecodeContainer(const uint8_t* payload, size_t size, Visit& visit) const {
    const LaidContainer laid(*container, payload, size, fieldEnd_);
    const uint8_t* bytes = laid.data();
    const auto rawOf = [&](size_t index) { return signals[index].layout.ExtractPadded(bytes); };
    int64_t selected = -1;
    const auto switchAt = static_cast<size_t>(switchIndex_);
    if (switchIndex_ >= 0 && laid.Holds(switchAt, signals[switchAt].layout.EndByte()))
        selected = static_cast<int64_t>(rawOf(switchAt));
    for (size_t i = 0; i < signals.size(); ++i) {
        const BitLayout& field = signals[i].layout;
        if (!laid.Holds(i, field.EndByte()) || !Carries(i, selected, rawOf)) continue;
        VisitWith(visit, i, field.ExtractPadded(bytes), kNoStep);
    }
    return laid.Complete();
}

template <class Visit>
bool FrameCodec::Decode(const uint8_t* payload, size_t size, Visit&& visit) const {
    if (container) return DecodeContainer(payload, size, visit);
    const bool complete = size >= fieldEnd_;
    if (bySignals_) {
        // Extended multiplexing reads multiplexers the payload may not hold (as zero bits).
        const PaddedPayload padded(payload, size, fieldEnd_);
        const uint8_t* bytes = padded.data();
        const auto rawOf = [&](size_t index) { return signals[index].layout.ExtractPadded(bytes); };
        int64_t selected = -1;
        if (switchIndex_ >= 0 && signals[static_cast<size_t>(switchIndex_)].layout.FitsIn(size))
            selected = static_cast<int64_t>(rawOf(static_cast<size_t>(switchIndex_)));
        for (size_t i = 0; i < signals.size(); ++i) {
            const BitLayout& field = signals[i].layout;
            if (!field.FitsIn(size) || !Carries(i, selected, rawOf)) continue;
            VisitWith(visit, i, field.ExtractPadded(bytes), kNoStep);
        }
        return complete;
    }
    const PaddedPayload padded(payload, size, complete ? fieldEnd_ : size);
    return DecodeOrdered(padded.data(), size, visit);
}

template <class Visit>
bool FrameCodec::Decode(const uint8_t* payload, size_t size, size_t readable, Visit&& visit) const {
    if (bySignals_ || std::min<size_t>(size, fieldEnd_) + 8 > readable)
        return Decode(payload, size, visit);
    return DecodeOrdered(payload, size, visit);
}

template <class Visit>
bool FrameCodec::DecodeOrdered(const uint8_t* bytes, size_t size, Visit& visit) const {
    const bool complete = size >= fieldEnd_;
    const Step* steps = steps_.data();
    int64_t selected = -1;
    if (switchIndex_ >= 0) {
        const Step& step = steps[switchStep_];
        if (step.field.FitsIn(size)) selected = static_cast<int64_t>(StepRaw(step, bytes));
    }
    if (size >= inOrderBelow_) {
        // Whole payloads and 8-byte ones follow the chains made once, others are sorted.
        const size_t count = FittingSteps(size);
        if (count == steps_.size()) {
            VisitChain<uint16_t, &Step::nextInOrder>(bytes, firstInOrder_, selected, visit);
        } else if (count == classicSteps_ && classicSteps_ < kLastClassic) {
            VisitChain<uint8_t, &Step::nextClassic>(bytes, firstClassic_, selected, visit);
        } else {
            VisitSorted(bytes, count, selected, visit);
        }
        return complete;
    }
    const Step* const end = steps + (complete ? steps_.size() : FittingSteps(size));
    for (const Step* step = steps; step != end; ++step) {
        if (step->selectedBy != kAlways && step->selectedBy != selected) continue;
        VisitWith(visit, step->index, StepRaw(*step, bytes), *step);
    }
    return complete;
}

// The frames of one database, found by key (identifier with the extended flag) or by name.
// The first frame of a key or name wins.
class FrameCatalog {
  public:
    void Add(std::unique_ptr<FrameCodec> frame);
    size_t Count() const { return frames_.size(); }
    const FrameCodec& At(size_t index) const { return *frames_[index]; }
    const FrameCodec* ByKey(uint32_t key) const;
    // A frame as a bus or a user names it: an identifier of up to 29 bits that no frame has is
    // also tried with the other addressing (candump marks no extended flag, and a user typing
    // an identifier does not either). `extended` says which to try first.
    const FrameCodec* ForId(uint64_t id, bool extended = false) const;
    const FrameCodec* ByName(std::string_view name) const;
    // Another name the frame at index answers to (ByName), after the frames' own names: an
    // ARXML PDU's is its frame's.
    void AddAlias(std::string name, size_t index);

  private:
    friend void MoveApart(FrameCatalog& catalog);  // codec_compaction.h
    std::vector<std::unique_ptr<FrameCodec>> frames_;
    // Standard identifiers (the most frequent on a bus) in a table, the others in a map.
    std::vector<const FrameCodec*> standard_ = std::vector<const FrameCodec*>(0x800, nullptr);
    std::unordered_map<uint32_t, const FrameCodec*> byKey_;
    std::unordered_map<std::string, const FrameCodec*> byName_;
    std::vector<std::pair<std::string, size_t>> aliases_;  // as added, for a rebuilt catalog
};

}  // namespace qm::codec
