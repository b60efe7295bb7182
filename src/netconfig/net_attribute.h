#pragma once
// A named text property, and the owning list of them that every network object carries twice:
// readable properties filled by the conversions and attribute assignments copied from the file.
#include <memory>
#include <string>
#include <vector>

#include "quillmere/netconfig.h"

class NetAttribute : public INetAttribute {
  public:
    NetAttribute() = default;
    NetAttribute(std::string name, std::string value)
        : name_(std::move(name)), value_(std::move(value)) {}

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    const char* GetValue() override { return value_.c_str(); }

  private:
    std::string name_;
    std::string value_;
};

class NetAttributeList {
  public:
    NetAttribute* Add(std::string name, std::string value);
    void Clear() { items_.clear(); }
    uint64_t Count() const { return items_.size(); }
    NetAttribute* At(uint64_t index) const;
    NetAttribute* Find(const char* name) const;

  private:
    std::vector<std::unique_ptr<NetAttribute>> items_;
};
