#pragma once
// A vector in one pointer: the size and the capacity lie in the block before the items, and an
// empty vector holds no block. Signal codecs keep their lists (value texts, scaled ranges,
// multiplex ranges) in these: a large database holds hundreds of thousands of signals, most of
// whose lists are empty, and a std::vector costs three pointers each.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

namespace qm::codec {

template <class T>
class CompactVector {
    static_assert(alignof(T) <= 8, "items follow an 8-byte head");

  public:
    using value_type = T;
    using size_type = size_t;
    using iterator = T*;
    using const_iterator = const T*;
    using reference = T&;
    using const_reference = const T&;

    CompactVector() = default;
    CompactVector(std::initializer_list<T> items) { Append(items.begin(), items.size()); }
    CompactVector(const std::vector<T>& items) { Append(items.data(), items.size()); }
    CompactVector(const CompactVector& other) { Append(other.data(), other.size()); }
    CompactVector(CompactVector&& other) noexcept : items_(std::exchange(other.items_, nullptr)) {}
    ~CompactVector() { Free(); }

    CompactVector& operator=(const CompactVector& other) {
        if (this != &other) {
            CompactVector copy(other);
            swap(copy);
        }
        return *this;
    }
    CompactVector& operator=(CompactVector&& other) noexcept {
        if (this != &other) {
            Free();
            items_ = std::exchange(other.items_, nullptr);
        }
        return *this;
    }
    CompactVector& operator=(std::initializer_list<T> items) {
        CompactVector copy(items);
        swap(copy);
        return *this;
    }
    CompactVector& operator=(const std::vector<T>& items) {
        CompactVector copy(items);
        swap(copy);
        return *this;
    }
    void swap(CompactVector& other) noexcept { std::swap(items_, other.items_); }

    size_t size() const { return items_ ? HeadOf()->size : 0; }
    size_t capacity() const { return items_ ? HeadOf()->capacity : 0; }
    bool empty() const { return size() == 0; }
    T* data() { return items_; }
    const T* data() const { return items_; }
    T* begin() { return items_; }
    T* end() { return items_ + size(); }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + size(); }
    T& operator[](size_t index) { return items_[index]; }
    const T& operator[](size_t index) const { return items_[index]; }
    T& front() { return items_[0]; }
    const T& front() const { return items_[0]; }
    T& back() { return items_[size() - 1]; }
    const T& back() const { return items_[size() - 1]; }
    operator std::span<const T>() const { return {items_, size()}; }

    bool operator==(const CompactVector& other) const {
        if (size() != other.size()) return false;
        for (size_t i = 0; i < size(); ++i) {
            if (!(items_[i] == other.items_[i])) return false;
        }
        return true;
    }

    void reserve(size_t count) {
        if (count > capacity()) Reallocate(count);
    }
    void resize(size_t count) {
        reserve(count);
        while (size() > count) pop_back();
        while (size() < count) emplace_back();
    }
    void assign(size_t count, const T& value) {
        clear();
        reserve(count);
        for (size_t i = 0; i < count; ++i) push_back(value);
    }
    void clear() {
        while (!empty()) pop_back();
    }
    void pop_back() {
        items_[size() - 1].~T();
        --HeadOf()->size;
    }
    void push_back(const T& item) { emplace_back(item); }
    void push_back(T&& item) { emplace_back(std::move(item)); }
    template <class... Args>
    T& emplace_back(Args&&... args) {
        if (size() == capacity()) {
            // The item may lie in this vector: made before the move.
            T item{std::forward<Args>(args)...};
            Reallocate(Grown());
            return *new (items_ + HeadOf()->size++) T(std::move(item));
        }
        return *new (items_ + HeadOf()->size++) T{std::forward<Args>(args)...};
    }
    T* insert(const T* position, T item) {
        const size_t at = static_cast<size_t>(position - items_);
        emplace_back(std::move(item));
        for (size_t i = size() - 1; i > at; --i) std::swap(items_[i], items_[i - 1]);
        return items_ + at;
    }

  private:
    struct Head {
        uint32_t size;
        uint32_t capacity;
    };
    static constexpr size_t kHead = 8;

    Head* HeadOf() const {
        return reinterpret_cast<Head*>(reinterpret_cast<char*>(items_) - kHead);
    }
    size_t Grown() const { return size() < 2 ? size() + 1 : size() + size() / 2; }

    void Append(const T* items, size_t count) {
        reserve(count);
        for (size_t i = 0; i < count; ++i) push_back(items[i]);
    }
    void Reallocate(size_t count) {
        if (count > std::numeric_limits<uint32_t>::max()) throw std::length_error("CompactVector");
        char* block = static_cast<char*>(::operator new(kHead + count * sizeof(T)));
        auto* head = reinterpret_cast<Head*>(block);
        head->size = 0;
        head->capacity = static_cast<uint32_t>(count);
        T* items = reinterpret_cast<T*>(block + kHead);
        const size_t old = size();
        for (size_t i = 0; i < old; ++i) {
            new (items + i) T(std::move(items_[i]));
            ++head->size;
        }
        Free();
        items_ = items;
    }
    void Free() {
        if (!items_) return;
        clear();
        ::operator delete(reinterpret_cast<char*>(items_) - kHead);
        items_ = nullptr;
    }

    T* items_ = nullptr;
};

}  // namespace qm::codec
