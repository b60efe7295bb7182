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

uint64_t IdIndex::HashOf(std::string_view id) {
    // FNV-1a, then the high bits folded in: ids are short and differ in their last characters.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : id) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

bool IdIndex::Holds(const Slot& slot, std::string_view id) {
    // strncmp stops at the stored id's end, so a shorter stored id is never read beyond.
    return slot.id[0] == id[0] && std::strncmp(slot.id, id.data(), id.size()) == 0 &&
           slot.id[id.size()] == '\0';
}

size_t IdIndex::SlotOf(std::string_view id) const {
    const size_t mask = slots_.size() - 1;
    for (size_t at = HashOf(id) & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.node == nullptr || Holds(slot, id)) return at;
    }
}

void IdIndex::Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? kFirstCapacity : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
        if (slot.node != nullptr) slots_[SlotOf(slot.id)] = slot;
    }
}

void IdIndex::Add(const std::string& id, NanoXML* element) {
    // An id holding a zero byte could not be told from a shorter one: such ids are not indexed.
    if (id.empty() || element == nullptr || id.find('\0') != std::string::npos) return;
    if ((count_ + 1) * 8 > slots_.size() * 7) Grow();
    Slot& slot = slots_[SlotOf(id)];
    if (slot.node != nullptr) return;
    slot = Slot{id.c_str(), element};
    ++count_;
}

NanoXML* IdIndex::Find(std::string_view id) const {
    if (id.empty() || slots_.empty() || id.find('\0') != std::string_view::npos) return nullptr;
    return slots_[SlotOf(id)].node;
}

}  // namespace qm::diag
