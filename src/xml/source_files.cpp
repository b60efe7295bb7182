#include <algorithm>

#include "quillmere/xml.h"

namespace {

using IndexList = std::vector<uint16_t>;

bool IsInline(uintptr_t bits) {
    return (bits & 1) != 0;
}
uint16_t InlineValue(uintptr_t bits) {
    return static_cast<uint16_t>(bits >> 1);
}
uintptr_t MakeInline(uint16_t index) {
    return (static_cast<uintptr_t>(index) << 1) | 1;
}
IndexList* AsList(uintptr_t bits) {
    return reinterpret_cast<IndexList*>(bits);
}

}  // namespace

NanoXMLSourceFiles::~NanoXMLSourceFiles() {
    if (bits_ != 0 && !IsInline(bits_)) delete AsList(bits_);
}

void NanoXMLSourceFiles::Insert(uint16_t index) {
    if (bits_ == 0) {
        bits_ = MakeInline(index);
        return;
    }
    if (IsInline(bits_)) {
        const uint16_t first = InlineValue(bits_);
        if (first == index) return;
        auto* list = new IndexList{std::min(first, index), std::max(first, index)};
        bits_ = reinterpret_cast<uintptr_t>(list);
        return;
    }
    IndexList& list = *AsList(bits_);
    const auto position = std::lower_bound(list.begin(), list.end(), index);
    if (position == list.end() || *position != index) list.insert(position, index);
}

size_t NanoXMLSourceFiles::Size() const {
    if (bits_ == 0) return 0;
    if (IsInline(bits_)) return 1;
    return AsList(bits_)->size();
}

bool NanoXMLSourceFiles::Contains(uint16_t index) const {
    if (bits_ == 0) return false;
    if (IsInline(bits_)) return InlineValue(bits_) == index;
    const IndexList& list = *AsList(bits_);
    return std::binary_search(list.begin(), list.end(), index);
}

std::vector<uint16_t> NanoXMLSourceFiles::Values() const {
    if (bits_ == 0) return {};
    if (IsInline(bits_)) return {InlineValue(bits_)};
    return *AsList(bits_);
}
