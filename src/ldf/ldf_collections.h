#pragma once
// Helpers for the count / get-by-index / find-by-name / index-of triples of the LDF model.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
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

// A hash of a name, taken eight bytes at a time.
inline uint64_t HashName(std::string_view name) {
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, name.data() + i, 8);
        hash = (hash ^ chunk) * 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 31;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, name.data() + i, name.size() - i);
    hash = (hash ^ tail) * 0x94D049BB133111EBull;
    return hash ^ (hash >> 29);
}

// A by-name index over a model list that keeps the first object of each name, so that a look-up
// gives what a scan of the list from its start would give, without the scan. It is an open
// addressing table of (hash, object) pairs; names are compared on the objects themselves, so
// whoever renames an object rebuilds the index. Names given to more than one object are noted.
template <class T>
class NameIndex {
  public:
    // False when an object of that name was indexed before (the index keeps the first).
    bool Add(T* item) {
        if ((count_ + 1) * 2 > slots_.size()) Grow();
        const uint64_t hash = HashName(item->name);
        size_t at = static_cast<size_t>(hash) & (slots_.size() - 1);
        while (slots_[at].item) {
            if (slots_[at].hash == hash && slots_[at].item->name == item->name) {
                duplicates_.emplace(item->name);
                return false;
            }
            at = (at + 1) & (slots_.size() - 1);
        }
        slots_[at] = {hash, item};
        ++count_;
        return true;
    }

    void Clear() {
        slots_.clear();
        count_ = 0;
        duplicates_.clear();
    }

    template <class List>
    void Rebuild(const List& list) {
        Clear();
        for (const auto& item : list) Add(&*item);
    }

    T* Find(std::string_view name) const {
        if (slots_.empty()) return nullptr;
        const uint64_t hash = HashName(name);
        size_t at = static_cast<size_t>(hash) & (slots_.size() - 1);
        while (T* item = slots_[at].item) {
            if (slots_[at].hash == hash && item->name == name) return item;
            at = (at + 1) & (slots_.size() - 1);
        }
        return nullptr;
    }
    T* Find(const char* name) const { return name ? Find(std::string_view(name)) : nullptr; }

    // True when more than one indexed object has this name.
    bool IsDuplicated(std::string_view name) const {
        return !duplicates_.empty() && duplicates_.count(std::string(name)) != 0;
    }

  private:
    struct Slot {
        uint64_t hash = 0;
        T* item = nullptr;
    };

    void Grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, Slot());
        for (const Slot& slot : old) {
            if (!slot.item) continue;
            size_t at = static_cast<size_t>(slot.hash) & (slots_.size() - 1);
            while (slots_[at].item) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = slot;
        }
    }

    std::vector<Slot> slots_;
    size_t count_ = 0;
    std::unordered_set<std::string> duplicates_;
};

// A set of object addresses in an open addressing table: membership of model objects that a
// load looks up many times.
class PointerSet {
  public:
    // False when the pointer was in the set already.
    bool Insert(const void* pointer) {
        if ((count_ + 1) * 2 > slots_.size()) Grow();
        size_t at = SlotOf(pointer);
        while (slots_[at]) {
            if (slots_[at] == pointer) return false;
            at = (at + 1) & (slots_.size() - 1);
        }
        slots_[at] = pointer;
        ++count_;
        return true;
    }

    bool Contains(const void* pointer) const {
        if (slots_.empty()) return false;
        size_t at = SlotOf(pointer);
        while (slots_[at]) {
            if (slots_[at] == pointer) return true;
            at = (at + 1) & (slots_.size() - 1);
        }
        return false;
    }

  private:
    size_t SlotOf(const void* pointer) const {
        const uint64_t mixed = reinterpret_cast<uintptr_t>(pointer) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(mixed >> 20) & (slots_.size() - 1);
    }

    void Grow() {
        std::vector<const void*> old = std::move(slots_);
        slots_.assign(old.empty() ? 64 : old.size() * 2, nullptr);
        count_ = 0;
        for (const void* pointer : old) {
            if (pointer) Insert(pointer);
        }
    }

    std::vector<const void*> slots_;
    size_t count_ = 0;
};

}  // namespace qm::ldf
