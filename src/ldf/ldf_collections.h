#pragma once
// Helpers for the count / get-by-index / find-by-name / index-of triples of the LDF model.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "platform/open_table.h"

namespace qm::ldf {

inline constexpr uint32_t kNotListed = 0xFFFFFFFFu;

// A list of plain values that keeps its first Inline elements inside the object. Most signals
// have one initial value and one subscriber: a std::vector for each would be 24 bytes in the
// signal and a heap block besides, for hundreds of thousands of signals.
template <class T, uint32_t Inline>
class SmallList {
    static_assert(std::is_trivially_copyable_v<T> && Inline > 0);

  public:
    using value_type = T;
    using size_type = size_t;
    using iterator = T*;
    using const_iterator = const T*;
    using reference = T&;
    using const_reference = const T&;

    SmallList() = default;
    SmallList(std::initializer_list<T> values) { assign(values.begin(), values.end()); }
    SmallList(const SmallList& other) { assign(other.begin(), other.end()); }
    SmallList(SmallList&& other) noexcept { TakeFrom(other); }
    SmallList& operator=(const SmallList& other) {
        if (this != &other) assign(other.begin(), other.end());
        return *this;
    }
    SmallList& operator=(SmallList&& other) noexcept {
        if (this != &other) {
            Free();
            TakeFrom(other);
        }
        return *this;
    }
    ~SmallList() { Free(); }

    template <class Iterator>
    void assign(Iterator first, Iterator last) {
        clear();
        for (; first != last; ++first) push_back(*first);
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return OnHeap() ? heap_ : inline_; }
    const T* data() const { return OnHeap() ? heap_ : inline_; }
    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }
    T& operator[](size_t i) { return data()[i]; }
    const T& operator[](size_t i) const { return data()[i]; }
    const T& front() const { return data()[0]; }
    const T& back() const { return data()[size_ - 1]; }

    void push_back(T value) {
        if (size_ == capacity_) Grow();
        data()[size_++] = value;
    }
    // Keeps the storage, as std::vector does.
    void clear() { size_ = 0; }

    friend bool operator==(const SmallList& a, const SmallList& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

  private:
    bool OnHeap() const { return capacity_ > Inline; }

    void Grow() {
        if (capacity_ > UINT32_MAX / 2) throw std::length_error("SmallList too long");
        const uint32_t capacity = capacity_ * 2;
        T* grown = static_cast<T*>(::operator new(sizeof(T) * capacity));
        std::memcpy(grown, data(), sizeof(T) * size_);
        Free();
        heap_ = grown;
        capacity_ = capacity;
    }

    void Free() {
        if (OnHeap()) ::operator delete(heap_);
        capacity_ = Inline;
    }

    // other is left empty, with its inline room.
    void TakeFrom(SmallList& other) {
        size_ = other.size_;
        capacity_ = other.capacity_;
        if (other.OnHeap()) {
            heap_ = other.heap_;
        } else {
            std::memcpy(inline_, other.inline_, sizeof(inline_));
        }
        other.size_ = 0;
        other.capacity_ = Inline;
    }

    uint32_t size_ = 0;
    uint32_t capacity_ = Inline;
    union {
        T inline_[Inline]{};
        T* heap_;
    };
};

template <class T>
T* AtOrNull(const std::vector<T*>& list, uint64_t index) {
    return index < list.size() ? list[index] : nullptr;
}

template <class T, uint32_t Inline>
T* AtOrNull(const SmallList<T*, Inline>& list, uint64_t index) {
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

    // Starts loading the slot where name would be added or found: a big index seldom has it in
    // cache, and a reader can go on parsing the rest of a statement meanwhile.
    void Prefetch(std::string_view name) const {
        if (slots_.empty()) return;
        const size_t at = static_cast<size_t>(HashName(name)) & (slots_.size() - 1);
        __builtin_prefetch(&slots_[at]);
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
        platform::GrowTable(slots_, 64, [](const Slot& slot) { return slot.item != nullptr; });
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
