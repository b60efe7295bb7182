#include "dbc/dbc_value_table.h"

#include <iterator>

namespace qm::dbc {

void DbcValueTable::Clear() {
    name_.clear();
    values_.clear();
}

uint32_t DbcValueTable::GetValueAt(uint64_t index) {
    if (index >= values_.size()) return 0xFFFFFFFF;
    return std::next(values_.begin(), static_cast<std::ptrdiff_t>(index))->first;
}

const char* DbcValueTable::GetValueDescription(uint32_t value) {
    auto found = values_.find(value);
    return found == values_.end() ? nullptr : found->second.c_str();
}

}  // namespace qm::dbc
