#include "xml/id_table.h"

#include <cstring>

namespace qm::xml {

namespace {
constexpr size_t kFirstCapacity = 1024;
}  // namespace

void IdTable::Clear() {
    std::vector<Slot>().swap(slots_);
    count_ = 0;
    repeats_ = false;
}

uint64_t IdTable::HashOf(std::string_view id) {
    // FNV-1a, then the high bits folded in: ids are short and differ in their last characters.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : id) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

bool IdTable::Holds(const Slot& slot, std::string_view id, uint64_t hash) {
    // strncmp stops at the stored id's end, so a shorter stored id is never read beyond.
    return slot.hash == hash && std::strncmp(slot.id, id.data(), id.size()) == 0 &&
           slot.id[id.size()] == '\0';
}

size_t IdTable::SlotOf(std::string_view id, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.node == nullptr || Holds(slot, id, hash)) return at;
    }
}

void IdTable::Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? kFirstCapacity : old.size() * 2, Slot{});
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.node == nullptr) continue;
        // Every id is distinct: the first empty slot is its place.
        size_t at = slot.hash & mask;
        while (slots_[at].node != nullptr) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

void IdTable::Add(const std::string& id, NanoXML* element) {
    // An id holding a zero byte could not be told from a shorter one: such ids are not indexed.
    if (id.empty() || element == nullptr || id.find('\0') != std::string::npos) return;
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const uint64_t hash = HashOf(id);
    Slot& slot = slots_[SlotOf(id, hash)];
    if (slot.node != nullptr) {
        repeats_ = true;
        return;
    }
    slot = Slot{id.c_str(), element, hash};
    ++count_;
}

NanoXML* IdTable::Find(std::string_view id) const {
    if (id.empty() || slots_.empty() || id.find('\0') != std::string_view::npos) return nullptr;
    return slots_[SlotOf(id, HashOf(id))].node;
}

}  // namespace qm::xml
