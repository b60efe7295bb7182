#include "dbc/dbc_receiver_texts.h"

#include <cstring>

#include "platform/open_table.h"

namespace qm::dbc {

namespace {

bool IsUsed(uint32_t hash) {
    return hash != 0;
}

template <typename Word>
Word LoadWord(const char* p) {
    Word word;
    std::memcpy(&word, p, sizeof(word));
    return word;
}

// The last 1 to 8 bytes of a text as one word, byte i of them at bit 8 * i and zeros above:
// made from whole-word loads within the text (overlapping where it is short). A tail copied
// byte by byte and read back as one word stalled each lookup on the forwarding of its stores.
uint64_t TailWord(const char* p, size_t size, size_t tail) {
    if (size >= sizeof(uint64_t)) {
        return LoadWord<uint64_t>(p + size - sizeof(uint64_t)) >> (8 * (sizeof(uint64_t) - tail));
    }
    if (size >= sizeof(uint32_t)) {
        return uint64_t{LoadWord<uint32_t>(p)} |
               uint64_t{LoadWord<uint32_t>(p + size - sizeof(uint32_t))} << (8 * (size - 4));
    }
    const auto byte = [p](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])}; };
    return byte(0) | byte(size / 2) << (8 * (size / 2)) | byte(size - 1) << (8 * (size - 1));
}

}  // namespace

// A quick mix of the bytes, eight at a time, folded to 32 bits.
DbcReceiverTexts::Key DbcReceiverTexts::KeyOf(std::string_view text) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
    const auto mix = [&hash](uint64_t chunk) {
        hash = (hash ^ chunk) * 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 31;
    };
    const char* p = text.data();
    const size_t size = text.size();
    size_t i = 0;
    for (; i + sizeof(uint64_t) < size; i += sizeof(uint64_t)) mix(LoadWord<uint64_t>(p + i));
    if (size > 0) mix(TailWord(p, size, size - i));
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
