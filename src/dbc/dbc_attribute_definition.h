#pragma once
#include <string>
#include <vector>

#include "quillmere/dbc.h"

namespace qm::dbc {

// The declaration of an attribute: the kind of object it applies to, its value type with the
// limits or enumerators, and its default.
class DbcAttributeDefinition : public IDbcAttributeDefinition {
  public:
    DbcAttributeDefinition() = default;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    bool IsRelation() override;
    int32_t GetObjectType() override { return objectType_; }
    const char* GetObjectTypeText() override { return objectTypeText_; }
    int32_t GetValueType() override { return valueType_; }
    const char* GetValueTypeText() override { return valueTypeText_; }
    uint64_t GetValueCount() override { return values_.size(); }
    const char* GetValue(uint64_t index) override;
    const char* GetDefaultValue() override { return defaultValue_.c_str(); }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetObjectType(int32_t type);
    void SetValueType(int32_t type);
    int32_t ObjectType() const { return objectType_; }
    int32_t ValueType() const { return valueType_; }
    std::vector<std::string>& Values() { return values_; }
    const std::vector<std::string>& Values() const { return values_; }
    const std::string& DefaultValue() const { return defaultValue_; }
    void SetDefaultValue(std::string value) { defaultValue_ = std::move(value); }

  private:
    std::string name_;
    int32_t objectType_ = -1;
    const char* objectTypeText_ = "undefined";
    int32_t valueType_ = -1;
    const char* valueTypeText_ = "undefined";
    std::vector<std::string> values_;
    std::string defaultValue_;
};

}  // namespace qm::dbc
