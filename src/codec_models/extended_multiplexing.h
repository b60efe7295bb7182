#pragma once
// Extended multiplexing as the DBC and network models give it: a signal names the signal that
// selects it and the raw ranges that do.
#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "codec/frame_codec.h"

namespace qm::codec {

// Links frame.signals[index] to its multiplexer (by the multiplexer's index in the message) and
// copies the selecting ranges from `ranges` (GetMultiplexRangeCount/Minimum/Maximum); a
// multiplexer that is not in the message leaves the signal as it is. indexOf starts empty and
// is filled on first use, once per message.
template <class Message, class Signal, class Ranges>
void LinkExtendedMultiplexer(Message& message, FrameCodec& frame, size_t index, Signal* multiplexer,
                             Ranges& ranges, std::unordered_map<Signal*, int>& indexOf) {
    if (indexOf.empty()) {
        for (size_t k = 0; k < frame.signals.size(); ++k)
            indexOf.emplace(message.GetSignal(k), static_cast<int>(k));
    }
    const auto found = indexOf.find(multiplexer);
    if (found == indexOf.end()) return;
    SignalCodec& signal = frame.signals[index];
    signal.extendedMux = found->second;
    signal.muxRanges.resize(ranges.GetMultiplexRangeCount());
    for (uint64_t r = 0; r < signal.muxRanges.size(); ++r) {
        signal.muxRanges[r] = {ranges.GetMultiplexRangeMinimum(r),
                               ranges.GetMultiplexRangeMaximum(r)};
    }
}

}  // namespace qm::codec
