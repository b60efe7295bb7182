#pragma once
// The collection operations every network object offers: get by index (null beyond the end),
// first match by exact name, and an ordered pointer set that can also be walked by index.
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
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

// A set of non-owned pointers ordered by address. Access by index walks the set in that order;
// a snapshot vector, rebuilt after an insertion, keeps that access constant-time when a host
// walks the whole set.
template <class T>
class PointerSet {
  public:
    bool Insert(T* item) {
        if (item == nullptr || !items_.insert(item).second) return false;
        snapshot_.clear();
        return true;
    }
    void Clear() {
        items_.clear();
        snapshot_.clear();
    }
    uint64_t Count() const { return items_.size(); }
    bool Contains(T* item) const { return items_.count(item) != 0; }
    T* At(uint64_t index) const {
        if (index >= items_.size()) return nullptr;
        if (snapshot_.size() != items_.size()) snapshot_.assign(items_.begin(), items_.end());
        return snapshot_[index];
    }
    T* FindName(const char* name) const { return FindByName(items_, name); }
    T* FindId(uint32_t id) const { return FindById(items_, id); }
    const std::set<T*>& Items() const { return items_; }

  private:
    std::set<T*> items_;
    mutable std::vector<T*> snapshot_;
};

// A first-match index over an owning list that only grows: a find indexes the entries added
// since the last one, keeping the first entry of every key, so that building a large database
// and looking things up in it both stay linear.
template <class Key, class T>
class FirstMatchIndex {
  public:
    template <class KeyOf>
    T* Find(const std::vector<std::unique_ptr<T>>& items, const Key& key, KeyOf keyOf) {
        if (items.size() < indexed_) Reset();
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
};

}  // namespace qm::net
