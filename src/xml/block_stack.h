#pragma once
// A stack kept in fixed blocks, for the open elements of a deep document: growing never copies
// what is already on it (a vector of a million frames would move them all at every doubling
// and hold the old copy meanwhile), an element stays where it is while others are pushed above
// it, and the blocks are large enough that allocating them costs nothing beside the elements.
#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace qm::xml {

template <typename T>
class BlockStack {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

  public:
    void push_back(const T& value) {
        if (size_ == blocks_.size() * kPerBlock) {
            blocks_.push_back(std::make_unique_for_overwrite<T[]>(kPerBlock));
        }
        (*this)[size_++] = value;
    }
    // With releaseWhileUnwinding, a block two below the top is handed back, so that the memory
    // of a deep stack goes to what is built while it unwinds (a reader's lists of children).
    // Without, the blocks stay until the stack goes: handing them back one by one would have the
    // heap trim and regrow at every block.
    explicit BlockStack(bool releaseWhileUnwinding = false)
        : releaseWhileUnwinding_(releaseWhileUnwinding) {}

    void pop_back() {
        --size_;
        if (releaseWhileUnwinding_ && size_ % kPerBlock == 0 &&
            blocks_.size() > size_ / kPerBlock + 2) {
            blocks_.pop_back();
        }
    }
    T& back() { return (*this)[size_ - 1]; }
    T& operator[](size_t index) { return blocks_[index / kPerBlock][index % kPerBlock]; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // Keeps the blocks for the next use.
    void clear() { size_ = 0; }

  private:
    static constexpr size_t kPerBlock = 1024;
    std::vector<std::unique_ptr<T[]>> blocks_;
    size_t size_ = 0;
    bool releaseWhileUnwinding_;
};

}  // namespace qm::xml
