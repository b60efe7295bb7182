#pragma once
// The value descriptions of a signal or environment variable, in the order they were given. A
// repeated value replaces the earlier description in place. Long lists get a hash index, so a
// statement with many pairs is never quadratic.
//
// The described list holds each value in its 32-bit form (what strtoul makes of the text: "-1"
// is 0xFFFFFFFF, every value beyond 32 bits is 0xFFFFFFFF too). Next to it the exact list keeps
// every value as written, any 64-bit number, with its own description; it exists only once a
// value was written that its 32-bit form does not hold, and reads as the described list before.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dbc/dbc_text.h"

namespace qm::dbc {

// A value as written in a "VAL_" statement: a signed 64-bit number, or an unsigned one above
// INT64_MAX (kept as its bit pattern with a flag, so that it is written back as read).
struct DbcExactValue {
    int64_t value = 0;
    bool aboveSignedRange = false;

    bool operator==(const DbcExactValue&) const = default;
};

// Reads a "VAL_" value text (base 0, a leading "-" allowed). clamped is set when the text lies
// beyond 64 bits; the value then is the nearest that fits.
DbcExactValue ParseExactValue(std::string_view text, bool& clamped);
// The decimal text of a value, as the reader reads it back.
void AppendExactValue(std::string& out, const DbcExactValue& value);

class DbcValueDescriptions {
  public:
    using Entry = std::pair<uint32_t, DbcText>;
    struct ExactEntry {
        DbcExactValue value;
        DbcText description;
    };

    bool Empty() const { return entries_.empty(); }
    uint64_t Count() const { return entries_.size(); }
    // The value of the index-th entry, 0xFFFFFFFF beyond the end.
    uint32_t ValueAt(uint64_t index) const;
    // The description of a value, null when absent.
    const char* Find(uint32_t value) const;
    void Set(uint32_t value, std::string_view description);
    // Sets a value read from a text: value is its 32-bit form (described list), exact the number
    // as written (exact list).
    void Set(uint32_t value, const DbcExactValue& exact, std::string_view description);

    // The exact list: count, value and description of an entry (a zero value and null beyond
    // the end), and the description of the entry whose value has the bit pattern of value (so a
    // raw value of any signal finds it, signed or not), null when absent.
    uint64_t ExactCount() const;
    DbcExactValue ExactValueAt(uint64_t index) const;
    const char* ExactDescriptionAt(uint64_t index) const;
    const char* FindExact(int64_t value) const;
    void Clear();
    // Room for the pairs of a first statement, so that the list is not grown step by step.
    void ReserveFirst(size_t count) {
        if (entries_.empty()) entries_.reserve(count);
        if (exact_ && exact_->entries.empty()) exact_->entries.reserve(count);
    }
    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    static constexpr size_t kIndexThreshold = 16;
    int64_t PositionOf(uint32_t value) const;

    struct ExactList {
        std::vector<ExactEntry> entries;
        std::unordered_map<int64_t, uint32_t> index;  // filled beyond kIndexThreshold entries
    };
    void SetDescribed(uint32_t value, std::string_view description);
    void SetExact(const DbcExactValue& exact, std::string_view description);

    std::vector<Entry> entries_;
    std::unique_ptr<std::unordered_map<uint32_t, uint32_t>> index_;
    std::unique_ptr<ExactList> exact_;  // null while every value fits its 32-bit form
};

}  // namespace qm::dbc
