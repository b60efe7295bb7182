#pragma once
// The elements of a document by their "id", the first holder of each value: open addressing in
// one array, so that indexing a large document costs no allocation per element.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class NanoXML;

namespace qm::diag {

class IdIndex {
  public:
    void Clear();
    // Adds the element unless the id is known already (the first holder stays). An empty id
    // or a null element is ignored.
    void Add(std::string_view id, NanoXML* element);
    // The first holder of the id, or null.
    NanoXML* Find(std::string_view id) const;
    size_t Size() const { return count_; }

  private:
    // A view of the id (it lives in the document) with its hash; empty while node is null.
    struct Slot {
        const char* data = nullptr;
        uint32_t size = 0;
        uint32_t hash = 0;
        NanoXML* node = nullptr;
    };
    static uint32_t HashOf(std::string_view id);
    // The slot holding the id, or the empty slot where it would go.
    size_t SlotOf(std::string_view id, uint32_t hash) const;
    void Grow();

    std::vector<Slot> slots_;  // a power of two in size, at most three quarters full
    size_t count_ = 0;
};

}  // namespace qm::diag
