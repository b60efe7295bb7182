#pragma once
// Helpers of the open-addressed tables that readers build over large documents: linear
// probing in one array whose size is a power of two, each slot keeping its key's hash.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::platform {

// FNV-1a, then the high bits folded into the low ones that pick the slot: identifiers and
// references are short and differ in their last characters.
inline uint64_t ShortTextHash(std::string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

// Puts a slot at the first free place from its hash; the table must have a free slot.
template <typename Slot, typename IsOccupied>
void PlaceInTable(std::vector<Slot>& slots, const Slot& slot, IsOccupied occupied) {
    const size_t mask = slots.size() - 1;
    size_t at = slot.hash & mask;
    while (occupied(slots[at])) at = (at + 1) & mask;
    slots[at] = slot;
}

// Doubles the table (or gives it firstSize slots) and puts every occupied slot back at the
// first free place from its hash. The keys in a table are distinct, so nothing is compared.
template <typename Slot, typename IsOccupied>
void GrowTable(std::vector<Slot>& slots, size_t firstSize, IsOccupied occupied) {
    std::vector<Slot> old = std::move(slots);
    slots.assign(old.empty() ? firstSize : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
        if (occupied(slot)) PlaceInTable(slots, slot, occupied);
    }
}

}  // namespace qm::platform
