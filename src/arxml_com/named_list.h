#pragma once
// The list behind every count / get-by-index / find-by-name triple of the ARXML model. Finding
// by name means the first item of that name in list order; a name index keeps that answer
// without a scan, so that a reader looking up thousands of names never turns quadratic.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qm::arxml {

// A list of items that it does not own. T has `const std::string& Name() const`.
template <class T>
class NamedList {
  public:
    // Appends item; the item's name must be final, since the index keeps it.
    void Add(T* item) {
        items_.push_back(item);
        names_.try_emplace(item->Name(), item);
    }
    // Appends item; with once, only when the list does not hold it yet. Returns whether it was
    // added.
    bool Add(T* item, bool once) {
        if (!members_.insert(item).second && once) return false;
        Add(item);
        return true;
    }
    bool AddUnique(T* item) { return Add(item, true); }
    bool Contains(const T* item) const { return members_.count(const_cast<T*>(item)) != 0; }

    uint64_t Count() const { return items_.size(); }
    T* At(uint64_t index) const { return index < items_.size() ? items_[index] : nullptr; }
    T* Find(const char* name) const {
        if (name == nullptr) return nullptr;
        // A host's Clear renames an item to "" without the index knowing, so an earlier item
        // may have become the first one named "": that name is always scanned for.
        const auto it = name[0] == '\0' ? names_.end() : names_.find(name);
        // An item renamed since makes the index stale: scan instead.
        if (it != names_.end() && it->second->Name() == name) return it->second;
        for (T* item : items_) {
            if (item->Name() == name) return item;
        }
        return nullptr;
    }
    const std::vector<T*>& Items() const { return items_; }
    void Clear() {
        items_.clear();
        names_.clear();
        members_.clear();
    }

  private:
    std::vector<T*> items_;
    std::unordered_map<std::string, T*> names_;
    std::unordered_set<T*> members_;
};

// A NamedList that owns its items.
template <class T>
class OwnedNamedList {
  public:
    T* Add(std::unique_ptr<T> item) {
        T* raw = item.get();
        owned_.push_back(std::move(item));
        list_.Add(raw);
        return raw;
    }
    uint64_t Count() const { return list_.Count(); }
    T* At(uint64_t index) const { return list_.At(index); }
    T* Find(const char* name) const { return list_.Find(name); }
    const std::vector<T*>& Items() const { return list_.Items(); }
    void Clear() {
        list_.Clear();
        owned_.clear();
    }

  private:
    std::vector<std::unique_ptr<T>> owned_;
    NamedList<T> list_;
};

}  // namespace qm::arxml
