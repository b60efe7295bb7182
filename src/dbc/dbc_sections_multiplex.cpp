// Extended multiplexing ("SG_MUL_VAL_"), read in tolerant reading only:
//   SG_MUL_VAL_ <raw message id> <signal> <multiplexer> <min>-<max>[, <min>-<max>]... ;
// Several lines for one signal add ranges; the signal is then present in a frame when its
// multiplexer is present and holds a value of one of the ranges.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>

#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kHeadSeparators(" \t,;");
constexpr SeparatorSet kRangeSeparators(",;");
// A chain of multiplexers deeper than this is treated as a loop: no real file comes near it,
// and decoding stays bounded.
constexpr int kMaxChainDepth = 64;

bool ReadUnsigned(std::string_view text, uint64_t& value) {
    std::string_view digits = TrimView(text);
    if (digits.empty() || digits.size() > 20) return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        const uint64_t next = value * 10 + static_cast<uint64_t>(c - '0');
        if (next / 10 != value) return false;  // beyond 64 bits
        value = next;
    }
    return true;
}

// "a-b" with blanks allowed around the numbers.
bool ReadRange(std::string_view text, DbcSignal::MultiplexRange& range) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) return false;
    return ReadUnsigned(text.substr(0, dash), range.minimum) &&
           ReadUnsigned(text.substr(dash + 1), range.maximum);
}

// True when following the multiplexers from `from` comes back to `signal` (or goes on too long).
bool MakesLoop(const DbcSignal& signal, const DbcSignal* from) {
    for (int depth = 0; from != nullptr; ++depth) {
        if (from == &signal || depth >= kMaxChainDepth) return true;
        from = from->ExtendedMultiplexer();
    }
    return false;
}

// The ranges read so far are kept as their union, disjoint intervals by start: a new range
// overlaps when it meets one of them, and is merged in. Logarithmic per range, so thousands of
// lines for one signal stay cheap.
bool AddToUnion(std::map<uint64_t, uint64_t>& merged, DbcSignal::MultiplexRange range) {
    bool overlap = false;
    auto next = merged.upper_bound(range.maximum);
    while (next != merged.begin()) {
        auto previous = std::prev(next);
        if (previous->second < range.minimum) break;
        overlap = true;
        range.minimum = std::min(range.minimum, previous->first);
        range.maximum = std::max(range.maximum, previous->second);
        next = merged.erase(previous);
    }
    merged.emplace(range.minimum, range.maximum);
    return overlap;
}

}  // namespace

int ReadExtendedMultiplexing(DbcReadContext& context) {
    const std::string_view statement = context.AssembleUntilSemicolon();
    Tokens& head = context.Scratch();
    Split(statement, kHeadSeparators, head);
    if (head.size() < 5) {
        context.Tolerate("Malformed extended multiplexing, line skipped. ");
        return 0;
    }
    NetConfigDbcFile& file = context.File();
    const uint32_t rawId = ToUnsigned(head[1]);
    if (!file.MessageByRawId(rawId)) {
        context.Warn("Missing message definition: ", head[1]);
        return 0;
    }
    DbcSignal* signal = file.SignalOf(rawId, head[2]);
    if (!signal) {
        context.Warn("Missing signal definition: ", head[2]);
        return 0;
    }
    DbcSignal* multiplexer = file.SignalOf(rawId, head[3]);
    if (!multiplexer) {
        context.Warn("Missing signal definition: ", head[3]);
        return 0;
    }
    if (signal->ExtendedMultiplexer() && signal->ExtendedMultiplexer() != multiplexer) {
        context.Tolerate("Signal has another multiplexer already, line skipped. ");
        return 0;
    }
    if (MakesLoop(*signal, multiplexer)) {
        context.Tolerate("Multiplexer chain loops, line skipped. ");
        return 0;
    }
    // The ranges are what follows the multiplexer's name.
    const size_t rangesStart =
        static_cast<size_t>(head[3].data() + head[3].size() - statement.data());
    Tokens& pieces = context.SecondScratch();
    Split(statement.substr(rangesStart), kRangeSeparators, pieces);
    std::map<uint64_t, uint64_t>& seen = context.RangesSeen(signal);
    bool reversed = false, overlapping = false, malformed = false, any = false;
    for (std::string_view piece : pieces) {
        if (TrimView(piece).empty()) continue;
        DbcSignal::MultiplexRange range;
        if (!ReadRange(piece, range)) {
            malformed = true;
            continue;
        }
        if (range.minimum > range.maximum) {
            std::swap(range.minimum, range.maximum);
            reversed = true;
        }
        overlapping = AddToUnion(seen, range) || overlapping;
        signal->MutableMultiplexRanges().push_back(range);
        any = true;
    }
    if (!any) {
        context.Tolerate("Extended multiplexing without a range, line skipped. ");
        return 0;
    }
    signal->SetExtendedMultiplexer(multiplexer);
    if (malformed) context.Tolerate("Extended multiplexing range not readable, range skipped. ");
    if (reversed) context.Tolerate("Extended multiplexing range reversed, read as swapped. ");
    if (overlapping) context.Tolerate("Extended multiplexing ranges overlap. ");
    return 1;
}

}  // namespace qm::dbc
