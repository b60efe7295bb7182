#pragma once
// The elements of a document by their "id", the first holder of each value: open addressing in
// one array of 16-byte slots, so that indexing a large document costs no allocation per
// element and little memory beside the document.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class NanoXML;

namespace qm::diag {

class IdIndex {
  public:
    void Clear();
    // Adds the element unless the id is known already (the first holder stays). An empty id
    // or a null element is ignored. The id's text is not copied: it must stay in place (an
    // attribute value of the document) while the index is used.
    void Add(const std::string& id, NanoXML* element);
    // The first holder of the id, or null.
    NanoXML* Find(std::string_view id) const;
    size_t Size() const { return count_; }

  private:
    // The id's characters (zero-terminated, as a std::string's are) and its element; empty
    // while node is null.
    struct Slot {
        const char* id = nullptr;
        NanoXML* node = nullptr;
    };
    static uint64_t HashOf(std::string_view id);
    static bool Holds(const Slot& slot, std::string_view id);
    // The slot holding the id, or the empty slot where it would go.
    size_t SlotOf(std::string_view id) const;
    void Grow();

    std::vector<Slot> slots_;  // a power of two in size, at most seven eighths full
    size_t count_ = 0;
};

}  // namespace qm::diag
