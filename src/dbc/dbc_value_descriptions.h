#pragma once
// The value descriptions of a signal or environment variable, in the order they were given. A
// repeated value replaces the earlier description in place. Long lists get a hash index, so a
// statement with many pairs is never quadratic.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dbc/dbc_text.h"

namespace qm::dbc {

class DbcValueDescriptions {
  public:
    using Entry = std::pair<uint32_t, DbcText>;

    bool Empty() const { return entries_.empty(); }
    uint64_t Count() const { return entries_.size(); }
    // The value of the index-th entry, 0xFFFFFFFF beyond the end.
    uint32_t ValueAt(uint64_t index) const;
    // The description of a value, null when absent.
    const char* Find(uint32_t value) const;
    void Set(uint32_t value, std::string_view description);
    void Clear();
    // Room for the pairs of a first statement, so that the list is not grown step by step.
    void ReserveFirst(size_t count) {
        if (entries_.empty()) entries_.reserve(count);
    }
    const std::vector<Entry>& Entries() const { return entries_; }

  private:
    static constexpr size_t kIndexThreshold = 16;
    int64_t PositionOf(uint32_t value) const;

    std::vector<Entry> entries_;
    std::unique_ptr<std::unordered_map<uint32_t, uint32_t>> index_;
};

}  // namespace qm::dbc
