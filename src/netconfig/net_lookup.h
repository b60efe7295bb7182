#pragma once
// The collection operations every network object offers: get by index (null beyond the end),
// first match by exact name, and an ordered pointer set that can also be walked by index.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace qm::net {

template <class T>
T* ItemAt(const std::vector<T*>& items, uint64_t index) {
    return index < items.size() ? items[index] : nullptr;
}

template <class T>
T* ItemAt(const std::vector<std::unique_ptr<T>>& items, uint64_t index) {
    return index < items.size() ? items[index].get() : nullptr;
}

// First element (in the range's order) whose GetName() equals name byte for byte.
template <class Range>
auto FindByName(const Range& items, const char* name) -> decltype(&**items.begin()) {
    if (name == nullptr) return nullptr;
    for (const auto& item : items) {
        if (std::strcmp(item->GetName(), name) == 0) return &*item;
    }
    return nullptr;
}

// First element whose GetId() equals id.
template <class Range>
auto FindById(const Range& items, uint32_t id) -> decltype(&**items.begin()) {
    for (const auto& item : items) {
        if (item->GetId() == id) return &*item;
    }
    return nullptr;
}

// A set of non-owned pointers ordered by address. Insertions are collected and sorted once
// when the set is next read, so that a conversion that offers the same pointer many times (a
// message once per received signal) stays cheap; access by index walks the address order.
template <class T>
class PointerSet {
  public:
    void Insert(T* item) {
        if (item == nullptr) return;
        if (!items_.empty() && items_.back() == item) return;
        items_.push_back(item);
        sorted_ = false;
    }
    void Clear() {
        items_.clear();
        sorted_ = true;
    }
    uint64_t Count() const { return Items().size(); }
    bool Contains(T* item) const {
        const auto& items = Items();
        return std::binary_search(items.begin(), items.end(), item, std::less<T*>());
    }
    T* At(uint64_t index) const { return ItemAt(Items(), index); }
    T* FindName(const char* name) const { return FindByName(Items(), name); }
    T* FindId(uint32_t id) const { return FindById(Items(), id); }
    // The members in address order.
    const std::vector<T*>& Items() const {
        if (!sorted_) {
            std::sort(items_.begin(), items_.end(), std::less<T*>());
            items_.erase(std::unique(items_.begin(), items_.end()), items_.end());
            sorted_ = true;
        }
        return items_;
    }

  private:
    mutable std::vector<T*> items_;
    mutable bool sorted_ = true;
};

// Counts the times a host cleared an ECU, message or signal, which empties its name and
// identifier: every first-match index is built anew on its next find after that.
inline std::atomic<uint64_t>& KeyEpoch() {
    static std::atomic<uint64_t> epoch{0};
    return epoch;
}
inline void KeysChanged() {
    KeyEpoch().fetch_add(1, std::memory_order_relaxed);
}

// A first-match index over an owning list that only grows: a find indexes the entries added
// since the last one, keeping the first entry of every key, so that building a large database
// and looking things up in it both stay linear. Keys are taken once; a cleared element (see
// KeysChanged) makes the next find index the list again.
template <class Key, class T>
class FirstMatchIndex {
  public:
    template <class KeyOf>
    T* Find(const std::vector<std::unique_ptr<T>>& items, const Key& key, KeyOf keyOf) {
        const uint64_t epoch = KeyEpoch().load(std::memory_order_relaxed);
        if (items.size() < indexed_ || epoch != epoch_) {
            Reset();
            epoch_ = epoch;
        }
        for (; indexed_ < items.size(); ++indexed_) {
            map_.try_emplace(keyOf(*items[indexed_]), items[indexed_].get());
        }
        const auto found = map_.find(key);
        return found == map_.end() ? nullptr : found->second;
    }
    void Reset() {
        map_.clear();
        indexed_ = 0;
    }

  private:
    std::unordered_map<Key, T*> map_;
    size_t indexed_ = 0;
    uint64_t epoch_ = 0;
};

}  // namespace qm::net
