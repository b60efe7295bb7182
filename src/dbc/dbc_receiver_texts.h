#pragma once
// The receiver lists of a read by the text they were written as ("ECU_1,ECU_7"). Most signals
// of a file repeat a receiver text some earlier signal had: that text then names the same
// nodes, found without splitting it and looking each name up again.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::dbc {

class DbcNode;

class DbcReceiverTexts {
  public:
    // What a remembered text made: the shared list (null for none) and its nodes.
    struct Known {
        std::vector<DbcNode*>* list = nullptr;
        const char* nodes = nullptr;  // count node pointers, unaligned
        uint32_t count = 0;
        DbcNode* Node(uint32_t index) const;
    };

    // A receiver text with its hash, made once for the hints, the lookup and the entry.
    struct Key {
        std::string_view text;
        uint32_t hash = 0;  // never 0, which marks a free slot
    };
    static Key KeyOf(std::string_view text);

    // True when the text was remembered.
    bool Find(const Key& key, Known& known) const;
    // Hints for a lookup of the text to come: the first slot it probes, and (once that is in
    // the cache) the entry the slot leads to. They change nothing; called while the rest of a
    // signal line is read, they let the two cache misses of a lookup overlap that work.
    void PrefetchSlot(const Key& key) const;
    void PrefetchEntry(const Key& key) const;
    // Remembers a text Find did not know, whose names all named nodes, with the shared list
    // they made.
    void Remember(const Key& key, std::vector<DbcNode*>* list);

  private:
    // An open-addressed table of 8-byte slots, at most three quarters full: the text's hash and
    // where its entry starts in entries_.
    // An entry holds all a lookup needs one after another: the text's length, the node count,
    // the shared list, the text and the nodes, so that a hit reads one place of memory.
    struct Slot {
        uint32_t hash = 0;
        uint32_t entry = 0;
    };
    struct EntryHead {
        uint32_t length;
        uint32_t count;
        std::vector<DbcNode*>* list;
    };
    bool Matches(const Slot& slot, const Key& key) const;
    const Slot& FirstSlot(const Key& key) const { return slots_[key.hash & (slots_.size() - 1)]; }

    std::vector<Slot> slots_;
    size_t used_ = 0;
    std::string entries_;
};

}  // namespace qm::dbc
