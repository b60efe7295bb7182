#pragma once
// Elements by the value of an identifying attribute, the first holder of each value: open
// addressing in one array of slots, so that indexing a large document costs no allocation per
// element. A slot keeps the id's hash beside the pointer to its text: a probe reads the text
// (a cache miss into the document) only when the hashes agree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class NanoXML;

namespace qm::xml {

class IdTable {
  public:
    void Clear();
    // Adds the element unless the id is known already (the first holder stays; the id then
    // counts as repeated). An empty id or a null element is ignored. The id's text is not
    // copied: it must stay in place (an attribute value of the document) while the table is
    // used.
    void Add(const std::string& id, NanoXML* element);
    // The first holder of the id, or null.
    NanoXML* Find(std::string_view id) const;
    size_t Size() const { return count_; }
    // Whether some id was added for a second element (which the table did not take).
    bool HasRepeats() const { return repeats_; }

  private:
    // The id's characters (zero-terminated, as a std::string's are), its hash and its
    // element; empty while node is null.
    struct Slot {
        const char* id = nullptr;
        NanoXML* node = nullptr;
        uint64_t hash = 0;
    };
    static bool Holds(const Slot& slot, std::string_view id, uint64_t hash);
    // The slot holding the id, or the empty slot where it would go.
    size_t SlotOf(std::string_view id, uint64_t hash) const;
    void Grow();

    // A power of two in size and at most half full: new ids are misses, whose probe runs grow
    // quickly with the load.
    std::vector<Slot> slots_;
    size_t count_ = 0;
    bool repeats_ = false;
};

}  // namespace qm::xml
