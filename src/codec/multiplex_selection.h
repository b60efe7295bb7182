#pragma once
// Which signals a frame carries, the one rule every decoder of the project follows (the frame
// codec and the network model's IsCarried): a signal of extended multiplexing is
// carried when its multiplexer is carried and holds a value of one of its ranges; otherwise a
// multiplexed signal is carried when the message's switch holds its multiplex value; every other
// signal always is. Header only and free of the rest of the library, so that the Python package
// compiles the same rule over its own frame plans.
//
// The decoders keep their signals differently (objects, plan entries), so the rule walks a
// signal handle through an access object that offers:
//   Handle Multiplexer(Handle) const;          the extended multiplexer, or a null handle
//   bool IsNull(Handle) const;
//   bool IsMultiplexed(Handle) const;          multiplexed by the message's switch
//   int64_t MultiplexValue(Handle) const;
//   bool InRanges(Handle, uint64_t raw) const; raw lies in one of the signal's ranges
//   uint64_t Raw(Handle) const;                the raw value the payload holds for the signal
#include <cstdint>

namespace qm::codec {

// Multiplexer chains longer than this select nothing. The DBC reader refuses loops, but a host
// can build any chain by hand; the bound keeps decoding finite whatever the chain.
constexpr int kMaxMultiplexChainDepth = 64;

// Whether a value lies in one of the ranges [minimum, maximum] of a sequence of ranges with
// the members minimum and maximum. A reversed range holds nothing.
template <class Ranges>
bool InMultiplexRanges(const Ranges& ranges, uint64_t raw) {
    for (const auto& range : ranges) {
        if (raw >= range.minimum && raw <= range.maximum) return true;
    }
    return false;
}

// selected: the raw value of the message's multiplexer switch, -1 without one.
template <class Access, class Handle>
bool IsCarried(const Access& access, Handle signal, int64_t selected) {
    for (int depth = 0; depth <= kMaxMultiplexChainDepth; ++depth) {
        const Handle multiplexer = access.Multiplexer(signal);
        if (access.IsNull(multiplexer)) {
            return !access.IsMultiplexed(signal) || access.MultiplexValue(signal) == selected;
        }
        if (!access.InRanges(signal, access.Raw(multiplexer))) return false;
        signal = multiplexer;
    }
    return false;
}

}  // namespace qm::codec
