#include "dbc/dbc_receiver_texts.h"

#include <cstring>

#include "platform/open_table.h"

namespace qm::dbc {

namespace {

bool IsUsed(uint32_t hash) {
    return hash != 0;
}

}  // namespace

// A quick mix of the bytes, eight at a time, folded to 32 bits.
DbcReceiverTexts::Key DbcReceiverTexts::KeyOf(std::string_view text) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        uint64_t chunk = 0;
        const size_t bytes = left < sizeof(chunk) ? left : sizeof(chunk);
        std::memcpy(&chunk, p, bytes);
        hash = (hash ^ chunk) * 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 31;
        p += bytes;
        left -= bytes;
    }
    const auto folded = static_cast<uint32_t>(hash ^ (hash >> 32));
    return Key{text, folded != 0 ? folded : 1};
}

DbcNode* DbcReceiverTexts::Known::Node(uint32_t index) const {
    DbcNode* node;
    std::memcpy(&node, nodes + index * sizeof(node), sizeof(node));
    return node;
}

bool DbcReceiverTexts::Matches(const Slot& slot, const Key& key) const {
    if (slot.hash != key.hash) return false;
    EntryHead head;
    std::memcpy(&head, entries_.data() + slot.entry, sizeof(head));
    // An empty text (a signal line without receivers) may have no characters at all: memcmp
    // must not see its null pointer.
    return head.length == key.text.size() &&
           (key.text.empty() || std::memcmp(entries_.data() + slot.entry + sizeof(head),
                                            key.text.data(), key.text.size()) == 0);
}

bool DbcReceiverTexts::Find(const Key& key, Known& known) const {
    if (slots_.empty()) return false;
    const size_t mask = slots_.size() - 1;
    for (size_t i = key.hash & mask; IsUsed(slots_[i].hash); i = (i + 1) & mask) {
        if (!Matches(slots_[i], key)) continue;
        const char* entry = entries_.data() + slots_[i].entry;
        EntryHead head;
        std::memcpy(&head, entry, sizeof(head));
        known.list = head.list;
        known.count = head.count;
        known.nodes = entry + sizeof(head) + head.length;
        return true;
    }
    return false;
}

void DbcReceiverTexts::PrefetchSlot(const Key& key) const {
    if (!slots_.empty()) __builtin_prefetch(&FirstSlot(key));
}

void DbcReceiverTexts::PrefetchEntry(const Key& key) const {
    if (slots_.empty()) return;
    const Slot& slot = FirstSlot(key);
    if (slot.hash == key.hash) __builtin_prefetch(entries_.data() + slot.entry);
}

void DbcReceiverTexts::Remember(const Key& key, std::vector<DbcNode*>* list) {
    const auto isUsed = [](const Slot& slot) { return IsUsed(slot.hash); };
    if ((used_ + 1) * 4 > slots_.size() * 3) platform::GrowTable(slots_, 64, isUsed);
    Slot slot;
    slot.hash = key.hash;
    slot.entry = static_cast<uint32_t>(entries_.size());
    EntryHead head;
    head.length = static_cast<uint32_t>(key.text.size());
    head.count = list != nullptr ? static_cast<uint32_t>(list->size()) : 0;
    head.list = list;
    entries_.append(reinterpret_cast<const char*>(&head), sizeof(head));
    entries_.append(key.text);
    if (list != nullptr) {
        entries_.append(reinterpret_cast<const char*>(list->data()),
                        list->size() * sizeof(DbcNode*));
    }
    platform::PlaceInTable(slots_, slot, isUsed);
    ++used_;
}

}  // namespace qm::dbc
