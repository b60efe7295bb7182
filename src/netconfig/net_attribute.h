#pragma once
// A named text property, and the owning list of them that every network object carries twice:
// readable properties filled by the conversions and attribute assignments copied from the file.
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
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
    std::string value_;
};

// The attributes are stored in place. A list is filled completely by the conversion that builds
// its object before any address is handed out, so growing the vector moves nothing a host holds.
class NetAttributeList {
  public:
    NetAttribute* Add(std::string name, std::string value);
    void Clear() { items_.clear(); }
    void Reserve(size_t count) { items_.reserve(count); }
    uint64_t Count() const { return items_.size(); }
    NetAttribute* At(uint64_t index);
    NetAttribute* Find(const char* name);

  private:
    std::vector<NetAttribute> items_;
};
