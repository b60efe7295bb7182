#pragma once
// The owned lists behind every count / get-by-index / find-by-name triple of the SOME/IP model.
// Finding by name is the first item of that name in list order.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace qm::someip {

template <class T>
class OwnedItems {
  public:
    T* Add(std::unique_ptr<T> item) {
        items_.push_back(std::move(item));
        return items_.back().get();
    }
    uint64_t Count() const { return items_.size(); }
    T* At(uint64_t index) const { return index < items_.size() ? items_[index].get() : nullptr; }
    // T has `const std::string& Name() const`.
    T* Find(const char* name) const {
        if (name == nullptr) return nullptr;
        for (const auto& item : items_) {
            if (item->Name() == name) return item.get();
        }
        return nullptr;
    }
    bool Empty() const { return items_.empty(); }
    void Clear() { items_.clear(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    std::vector<std::unique_ptr<T>> items_;
};

// Items that are not owned (back pointers, views).
template <class T>
class ItemViews {
  public:
    void Add(T* item) { items_.push_back(item); }
    uint64_t Count() const { return items_.size(); }
    T* At(uint64_t index) const { return index < items_.size() ? items_[index] : nullptr; }
    template <class Name>
    T* FindBy(const char* name, Name nameOf) const {
        if (name == nullptr) return nullptr;
        for (T* item : items_) {
            if (nameOf(item) == std::string(name)) return item;
        }
        return nullptr;
    }
    void Clear() { items_.clear(); }
    const std::vector<T*>& Items() const { return items_; }

  private:
    std::vector<T*> items_;
};

// A text list whose entries stay valid as const char* while the list is unchanged.
inline const char* TextAt(const std::vector<std::string>& list, uint64_t index) {
    return index < list.size() ? list[index].c_str() : nullptr;
}

}  // namespace qm::someip
