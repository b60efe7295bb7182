#include "diag/id_index.h"

#include <cstring>

namespace qm::diag {

namespace {
constexpr size_t kFirstCapacity = 1024;
}  // namespace

void IdIndex::Clear() {
    std::vector<Slot>().swap(slots_);
    count_ = 0;
}

uint32_t IdIndex::HashOf(std::string_view id) {
    // FNV-1a, then the high bits folded in: ids are short and differ in their last characters.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : id) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    hash ^= hash >> 29;
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

size_t IdIndex::SlotOf(std::string_view id, uint32_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.node == nullptr) return at;
        if (slot.hash == hash && slot.size == id.size() &&
            std::memcmp(slot.data, id.data(), id.size()) == 0) {
            return at;
        }
    }
}

void IdIndex::Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? kFirstCapacity : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
        if (slot.node == nullptr) continue;
        slots_[SlotOf(std::string_view(slot.data, slot.size), slot.hash)] = slot;
    }
}

void IdIndex::Add(std::string_view id, NanoXML* element) {
    // Ids beyond 4 GiB cannot come from a document this process holds.
    if (id.empty() || element == nullptr || id.size() > UINT32_MAX) return;
    if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
    const uint32_t hash = HashOf(id);
    Slot& slot = slots_[SlotOf(id, hash)];
    if (slot.node != nullptr) return;
    slot = Slot{id.data(), static_cast<uint32_t>(id.size()), hash, element};
    ++count_;
}

NanoXML* IdIndex::Find(std::string_view id) const {
    if (id.empty() || slots_.empty() || id.size() > UINT32_MAX) return nullptr;
    return slots_[SlotOf(id, HashOf(id))].node;
}

}  // namespace qm::diag
