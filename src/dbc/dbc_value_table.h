#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "quillmere/dbc.h"

namespace qm::dbc {

// A global value table: descriptions by value, in ascending value order.
class DbcValueTable : public IDbcValueTable {
  public:
    explicit DbcValueTable(std::string name) : name_(std::move(name)) {}

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    bool IsEmpty() override { return values_.empty(); }
    uint64_t GetValueCount() override { return values_.size(); }
    uint32_t GetValueAt(uint64_t index) override;
    const char* GetValueDescription(uint32_t value) override;

    const std::string& Name() const { return name_; }
    std::map<uint32_t, std::string>& Values() { return values_; }
    const std::map<uint32_t, std::string>& Values() const { return values_; }

  private:
    std::string name_;
    std::map<uint32_t, std::string> values_;
};

}  // namespace qm::dbc
