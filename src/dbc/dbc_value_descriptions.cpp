#include "dbc/dbc_value_descriptions.h"

namespace qm::dbc {

uint32_t DbcValueDescriptions::ValueAt(uint64_t index) const {
    return index < entries_.size() ? entries_[index].first : 0xFFFFFFFF;
}

int64_t DbcValueDescriptions::PositionOf(uint32_t value) const {
    if (index_) {
        auto found = index_->find(value);
        return found == index_->end() ? -1 : static_cast<int64_t>(found->second);
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first == value) return static_cast<int64_t>(i);
    }
    return -1;
}

const char* DbcValueDescriptions::Find(uint32_t value) const {
    const int64_t position = PositionOf(value);
    return position < 0 ? nullptr : entries_[static_cast<size_t>(position)].second.c_str();
}

void DbcValueDescriptions::Set(uint32_t value, std::string_view description) {
    const int64_t position = PositionOf(value);
    if (position >= 0) {
        entries_[static_cast<size_t>(position)].second.assign(description);
        return;
    }
    entries_.emplace_back(value, DbcText(description));
    if (index_) {
        index_->emplace(value, static_cast<uint32_t>(entries_.size() - 1));
    } else if (entries_.size() > kIndexThreshold) {
        index_ = std::make_unique<std::unordered_map<uint32_t, uint32_t>>();
        for (size_t i = 0; i < entries_.size(); ++i) {
            index_->emplace(entries_[i].first, static_cast<uint32_t>(i));
        }
    }
}

void DbcValueDescriptions::Clear() {
    entries_.clear();
    index_.reset();
}

}  // namespace qm::dbc
