#include "xml/id_table.h"

#include <cstring>

#include "platform/open_table.h"

namespace qm::xml {

namespace {
constexpr size_t kFirstCapacity = 1024;
}  // namespace

void IdTable::Clear() {
    std::vector<Slot>().swap(slots_);
    count_ = 0;
    repeats_ = false;
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
    platform::GrowTable(slots_, kFirstCapacity,
                        [](const Slot& slot) { return slot.node != nullptr; });
}

void IdTable::Add(const std::string& id, NanoXML* element) {
    // An id holding a zero byte could not be told from a shorter one: such ids are not indexed.
    if (id.empty() || element == nullptr || id.find('\0') != std::string::npos) return;
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const uint64_t hash = platform::ShortTextHash(id);
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
    return slots_[SlotOf(id, platform::ShortTextHash(id))].node;
}

}  // namespace qm::xml
