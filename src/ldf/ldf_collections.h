#pragma once
// Helpers for the count / get-by-index / find-by-name / index-of triples of the LDF model.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm::ldf {

inline constexpr uint32_t kNotListed = 0xFFFFFFFFu;

template <class T>
T* AtOrNull(const std::vector<T*>& list, uint64_t index) {
    return index < list.size() ? list[index] : nullptr;
}

// First element whose name equals name (whole name, case-sensitive); for the small lists inside
// one model object, where a linear search is what the list sizes call for.
template <class T>
T* FindFirstByName(const std::vector<T*>& list, const char* name) {
    if (!name) return nullptr;
    const std::string_view wanted(name);
    for (T* item : list) {
        if (item && item->name == wanted) return item;
    }
    return nullptr;
}

template <class T, class U>
uint32_t PositionOf(const std::vector<T*>& list, const U* item) {
    if (!item) return kNotListed;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == item) return static_cast<uint32_t>(i);
    }
    return kNotListed;
}

// A by-name index over a model list that keeps the first object of each name, so that a look-up
// gives what a scan of the list from its start would give, without the scan. Keys view the
// objects' own names: whoever renames an object rebuilds the index.
template <class T>
class NameIndex {
  public:
    void Add(T* item) { map_.emplace(std::string_view(item->name), item); }
    void Clear() { map_.clear(); }
    void Rebuild(const std::vector<T*>& list) {
        map_.clear();
        map_.reserve(list.size());
        for (T* item : list) Add(item);
    }
    T* Find(std::string_view name) const {
        auto it = map_.find(name);
        return it == map_.end() ? nullptr : it->second;
    }
    T* Find(const char* name) const { return name ? Find(std::string_view(name)) : nullptr; }

  private:
    std::unordered_map<std::string_view, T*> map_;
};

}  // namespace qm::ldf
