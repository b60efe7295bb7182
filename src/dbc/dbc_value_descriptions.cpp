#include "dbc/dbc_value_descriptions.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "dbc/dbc_number.h"

namespace qm::dbc {

namespace {

// A value that its 32-bit form holds: the exact list is needed for no other.
bool FitsDescribedForm(uint32_t value, const DbcExactValue& exact) {
    return !exact.aboveSignedRange && exact.value == static_cast<int64_t>(value);
}

}  // namespace

DbcExactValue ParseExactValue(std::string_view text, bool& clamped) {
    const std::string terminated(text);
    const char* p = terminated.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    DbcExactValue exact;
    errno = 0;
    if (*p == '-') {
        exact.value = std::strtoll(p, nullptr, 0);
    } else {
        const unsigned long long value = std::strtoull(p, nullptr, 0);
        exact.value = static_cast<int64_t>(value);
        exact.aboveSignedRange = value > static_cast<unsigned long long>(INT64_MAX);
    }
    clamped = errno == ERANGE;
    return exact;
}

void AppendExactValue(std::string& out, const DbcExactValue& value) {
    if (value.aboveSignedRange || value.value >= 0) {
        AppendInteger(out, static_cast<uint64_t>(value.value));
    } else {
        AppendSigned(out, value.value);
    }
}

uint64_t DbcValueDescriptions::ExactCount() const {
    return exact_ ? exact_->entries.size() : entries_.size();
}

DbcExactValue DbcValueDescriptions::ExactValueAt(uint64_t index) const {
    if (exact_)
        return index < exact_->entries.size() ? exact_->entries[index].value : DbcExactValue{};
    return index < entries_.size() ? DbcExactValue{entries_[index].first, false} : DbcExactValue{};
}

const char* DbcValueDescriptions::ExactDescriptionAt(uint64_t index) const {
    if (exact_) {
        return index < exact_->entries.size() ? exact_->entries[index].description.c_str()
                                              : nullptr;
    }
    return index < entries_.size() ? entries_[index].second.c_str() : nullptr;
}

const char* DbcValueDescriptions::FindExact(int64_t value) const {
    if (!exact_) {
        if (value < 0 || value > int64_t{0xFFFFFFFF}) return nullptr;
        return Find(static_cast<uint32_t>(value));
    }
    const std::vector<ExactEntry>& entries = exact_->entries;
    if (!exact_->index.empty()) {
        const auto found = exact_->index.find(value);
        return found == exact_->index.end() ? nullptr : entries[found->second].description.c_str();
    }
    for (const ExactEntry& entry : entries) {
        if (entry.value.value == value) return entry.description.c_str();
    }
    return nullptr;
}

void DbcValueDescriptions::Set(uint32_t value, const DbcExactValue& exact,
                               std::string_view description) {
    if (!exact_ && !FitsDescribedForm(value, exact)) {
        // From here on the lists may differ: the exact one starts as a copy of the described.
        exact_ = std::make_unique<ExactList>();
        exact_->entries.reserve(entries_.size() + 1);
        for (const Entry& entry : entries_) {
            exact_->entries.push_back(
                ExactEntry{DbcExactValue{entry.first, false}, DbcText(entry.second.view())});
        }
        for (size_t i = 0; kIndexThreshold < entries_.size() && i < entries_.size(); ++i) {
            exact_->index.emplace(entries_[i].first, static_cast<uint32_t>(i));
        }
    }
    SetDescribed(value, description);
    if (exact_) SetExact(exact, description);
}

void DbcValueDescriptions::SetExact(const DbcExactValue& exact, std::string_view description) {
    std::vector<ExactEntry>& entries = exact_->entries;
    if (!exact_->index.empty()) {
        const auto found = exact_->index.find(exact.value);
        if (found != exact_->index.end()) {
            entries[found->second] = ExactEntry{exact, DbcText(description)};
            return;
        }
    } else {
        for (ExactEntry& entry : entries) {
            if (entry.value.value != exact.value) continue;
            entry = ExactEntry{exact, DbcText(description)};
            return;
        }
    }
    entries.push_back(ExactEntry{exact, DbcText(description)});
    if (!exact_->index.empty()) {
        exact_->index.emplace(exact.value, static_cast<uint32_t>(entries.size() - 1));
    } else if (entries.size() > kIndexThreshold) {
        for (size_t i = 0; i < entries.size(); ++i) {
            exact_->index.emplace(entries[i].value.value, static_cast<uint32_t>(i));
        }
    }
}

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
    SetDescribed(value, description);
    if (exact_) SetExact(DbcExactValue{value, false}, description);
}

void DbcValueDescriptions::SetDescribed(uint32_t value, std::string_view description) {
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
    exact_.reset();
}

}  // namespace qm::dbc
