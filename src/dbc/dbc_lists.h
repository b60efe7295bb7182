#pragma once
// The count / get by index / find by name / index-of triples every DBC collection offers.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace qm::dbc {

inline constexpr uint32_t kNoIndex = 0xFFFFFFFF;

template <class T>
T* ItemAt(const std::vector<T*>& items, uint64_t index) {
    return index < items.size() ? items[index] : nullptr;
}

template <class T, class Deleter>
T* ItemAt(const std::vector<std::unique_ptr<T, Deleter>>& items, uint64_t index) {
    return index < items.size() ? items[index].get() : nullptr;
}

// First item whose name equals name byte for byte.
template <class List>
auto FindByName(const List& items, const char* name) -> decltype(&*items[0]) {
    if (!name) return nullptr;
    const size_t length = std::strlen(name);
    for (const auto& item : items) {
        const auto& itemName = item->Name();
        if (itemName.size() == length && std::memcmp(itemName.data(), name, length) == 0) {
            return &*item;
        }
    }
    return nullptr;
}

template <class List, class T>
uint32_t PositionOf(const List& items, const T* wanted) {
    if (!wanted) return kNoIndex;
    for (size_t i = 0; i < items.size(); ++i) {
        if (&*items[i] == wanted) return static_cast<uint32_t>(i);
    }
    return kNoIndex;
}

}  // namespace qm::dbc
