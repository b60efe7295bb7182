#include <algorithm>
#include <mutex>

#include "quillmere/xml.h"

namespace {

using IndexList = std::vector<uint16_t>;

// The lists of elements read from more than one file, by slot; freed slots are reused. Guarded,
// since elements of different documents may be built and destroyed on different threads.
class ListTable {
  public:
    uint32_t Add(IndexList list) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!free_.empty()) {
            const uint32_t slot = free_.back();
            free_.pop_back();
            lists_[slot] = std::move(list);
            return slot;
        }
        lists_.push_back(std::move(list));
        return static_cast<uint32_t>(lists_.size() - 1);
    }

    void Remove(uint32_t slot) {
        std::lock_guard<std::mutex> lock(mutex_);
        IndexList().swap(lists_[slot]);
        free_.push_back(slot);
    }

    template <typename Action>
    auto With(uint32_t slot, Action action) {
        std::lock_guard<std::mutex> lock(mutex_);
        return action(lists_[slot]);
    }

  private:
    std::mutex mutex_;
    std::vector<IndexList> lists_;
    std::vector<uint32_t> free_;
};

// Never destroyed: elements may still be destroyed by static destructors at exit.
ListTable& Lists() {
    static ListTable* const table = new ListTable();
    return *table;
}

bool IsInline(uint32_t bits) {
    return (bits & 1) != 0;
}
uint16_t InlineValue(uint32_t bits) {
    return static_cast<uint16_t>(bits >> 1);
}
uint32_t MakeInline(uint16_t index) {
    return (static_cast<uint32_t>(index) << 1) | 1;
}
uint32_t SlotOf(uint32_t bits) {
    return (bits >> 1) - 1;
}
uint32_t MakeListBits(uint32_t slot) {
    return (slot + 1) << 1;
}

}  // namespace

NanoXMLSourceFiles::~NanoXMLSourceFiles() {
    if (bits_ != 0 && !IsInline(bits_)) Lists().Remove(SlotOf(bits_));
}

void NanoXMLSourceFiles::Insert(uint16_t index) {
    if (bits_ == 0) {
        bits_ = MakeInline(index);
        return;
    }
    if (IsInline(bits_)) {
        const uint16_t first = InlineValue(bits_);
        if (first == index) return;
        bits_ =
            MakeListBits(Lists().Add(IndexList{std::min(first, index), std::max(first, index)}));
        return;
    }
    Lists().With(SlotOf(bits_), [index](IndexList& list) {
        const auto position = std::lower_bound(list.begin(), list.end(), index);
        if (position == list.end() || *position != index) list.insert(position, index);
    });
}

size_t NanoXMLSourceFiles::Size() const {
    if (bits_ == 0) return 0;
    if (IsInline(bits_)) return 1;
    return Lists().With(SlotOf(bits_), [](const IndexList& list) { return list.size(); });
}

bool NanoXMLSourceFiles::Contains(uint16_t index) const {
    if (bits_ == 0) return false;
    if (IsInline(bits_)) return InlineValue(bits_) == index;
    return Lists().With(SlotOf(bits_), [index](const IndexList& list) {
        return std::binary_search(list.begin(), list.end(), index);
    });
}

std::vector<uint16_t> NanoXMLSourceFiles::Values() const {
    if (bits_ == 0) return {};
    if (IsInline(bits_)) return {InlineValue(bits_)};
    return Lists().With(SlotOf(bits_), [](const IndexList& list) { return list; });
}
