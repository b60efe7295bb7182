#include "dbc/dbc_receiver_texts.h"

#include <cstring>

namespace qm::dbc {

namespace {

// A quick mix of the bytes, eight at a time, folded to 32 bits; never 0.
uint32_t TagOfText(std::string_view text) {
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
    return static_cast<uint32_t>(hash >> 32) | 1;
}

// The slot probing starts at: the tag's bits above its lowest, which is always set.
size_t FirstSlot(uint32_t tag, size_t mask) {
    return static_cast<size_t>(tag >> 1) & mask;
}

}  // namespace

DbcNode* DbcReceiverTexts::Known::Node(uint32_t index) const {
    DbcNode* node;
    std::memcpy(&node, nodes + index * sizeof(node), sizeof(node));
    return node;
}

bool DbcReceiverTexts::Matches(const Slot& slot, uint32_t tag, std::string_view text) const {
    if (slot.tag != tag) return false;
    EntryHead head;
    std::memcpy(&head, entries_.data() + slot.entry, sizeof(head));
    return head.length == text.size() &&
           std::memcmp(entries_.data() + slot.entry + sizeof(head), text.data(), text.size()) == 0;
}

bool DbcReceiverTexts::Find(std::string_view text, Known& known) const {
    if (slots_.empty()) return false;
    const uint32_t tag = TagOfText(text);
    const size_t mask = slots_.size() - 1;
    for (size_t i = FirstSlot(tag, mask); slots_[i].tag != 0; i = (i + 1) & mask) {
        if (!Matches(slots_[i], tag, text)) continue;
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

void DbcReceiverTexts::PrefetchSlot(std::string_view text) const {
    if (slots_.empty()) return;
    __builtin_prefetch(&slots_[FirstSlot(TagOfText(text), slots_.size() - 1)]);
}

void DbcReceiverTexts::PrefetchEntry(std::string_view text) const {
    if (slots_.empty()) return;
    const uint32_t tag = TagOfText(text);
    const Slot& slot = slots_[FirstSlot(tag, slots_.size() - 1)];
    if (slot.tag == tag) __builtin_prefetch(entries_.data() + slot.entry);
}

void DbcReceiverTexts::Enter(const Slot& slot) {
    const size_t mask = slots_.size() - 1;
    size_t i = FirstSlot(slot.tag, mask);
    while (slots_[i].tag != 0) i = (i + 1) & mask;
    slots_[i] = slot;
}

void DbcReceiverTexts::Remember(std::string_view text, std::vector<DbcNode*>* list) {
    Known known;
    if (Find(text, known)) return;
    if ((used_ + 1) * 4 > slots_.size() * 3) {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
        for (const Slot& kept : old) {
            if (kept.tag != 0) Enter(kept);
        }
    }
    Slot slot;
    slot.tag = TagOfText(text);
    slot.entry = static_cast<uint32_t>(entries_.size());
    EntryHead head;
    head.length = static_cast<uint32_t>(text.size());
    head.count = list != nullptr ? static_cast<uint32_t>(list->size()) : 0;
    head.list = list;
    entries_.append(reinterpret_cast<const char*>(&head), sizeof(head));
    entries_.append(text);
    if (list != nullptr) {
        entries_.append(reinterpret_cast<const char*>(list->data()),
                        list->size() * sizeof(DbcNode*));
    }
    Enter(slot);
    ++used_;
}

}  // namespace qm::dbc
