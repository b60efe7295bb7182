#pragma once
// The per-service structures that the header generator renders: a structure holds variables;
// a variable is a plain member, an enumeration (with values), an array or a nested structure.
#include <cstdint>
#include <memory>
#include <string>

#include "quillmere/someip.h"
#include "someip/owned_items.h"
#include "someip/sparse_text.h"
#include "someip/tree_text.h"

namespace qm::someip {

// Base type codes of a variable; kBaseUnresolved writes the declared type name instead.
enum BaseTypeCode : uint32_t {
    kBaseBoolean = 0,
    kBaseUInt8 = 1,
    kBaseUInt16 = 2,
    kBaseUInt32 = 3,
    kBaseUInt64 = 4,
    kBaseInt8 = 5,
    kBaseInt16 = 6,
    kBaseInt32 = 7,
    kBaseInt64 = 8,
    kBaseFloat32 = 9,
    kBaseFloat64 = 10,
    kBaseString = 11,
    kBaseUuid = 12,
    kBaseStruct = 13,
    kBaseUnresolved = 14,
};

// The code of an ARXML base type name ("UInt8" 1, "SInt8" or "Int8" 5, ...); 14 when unknown.
uint32_t BaseTypeCodeOf(const std::string& name);
// The C++ type text the header writes for a code; "" for codes outside the table.
const char* BaseTypeText(uint32_t code);

class CValue : public IValue {
  public:
    CValue(std::string value, std::string name)
        : value_(std::move(value)), name_(std::move(name)) {}
    void Clear() override {
        value_.clear();
        name_.clear();
    }
    int64_t GetNumber() override;
    const char* GetValue() override { return value_.c_str(); }
    const char* GetName() override { return name_.c_str(); }
    const std::string& Name() const { return name_; }
    const std::string& Value() const { return value_; }

  private:
    std::string value_;
    std::string name_;
};

class CStructDatatype;

class CVariable : public IVariable {
  public:
    explicit CVariable(std::string name) : name_(std::move(name)) {}
    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    bool HasStruct() override { return nested_ != nullptr; }
    IStructDatatype* GetStruct() override;
    bool IsArray() override { return array; }
    uint32_t GetArraySize() override { return arraySize; }
    uint64_t GetValueCount() override { return Values().Count(); }
    IValue* GetValue(uint64_t index) override { return Values().At(index); }
    IValue* FindValue(const char* name) override { return Values().Find(name); }
    uint32_t GetBaseType() override { return baseType; }
    const char* GetElementType() override { return elementType.c_str(); }
    const char* GetEnumTypeName() override { return enumTypeName.c_str(); }

    const std::string& Name() const { return name_; }
    CStructDatatype* Nested() const { return nested_.get(); }
    void SetNested(std::unique_ptr<CStructDatatype> nested);
    CValue* AddValue(std::unique_ptr<CValue> value);
    const OwnedItems<CValue>& Values() const;

    // Most members are plain: what only arrays, enumerations and nested structures have costs a
    // pointer each until it is set (a structure-heavy description holds some 300 000 members).
    TreeText declaredType;
    SparseText elementType;
    SparseText enumTypeName;
    uint32_t baseType = kBaseUnresolved;
    uint32_t arraySize = 1;
    bool array = false;

  private:
    std::string name_;
    std::unique_ptr<OwnedItems<CValue>> values_;
    std::unique_ptr<CStructDatatype> nested_;
};

class CStructDatatype : public IStructDatatype {
  public:
    explicit CStructDatatype(std::string name) : name_(std::move(name)) {}
    void Clear() override {
        name_.clear();
        variables_.Clear();
    }
    const char* GetName() override { return name_.c_str(); }
    uint64_t GetVariableCount() override { return variables_.Count(); }
    IVariable* GetVariable(uint64_t index) override { return variables_.At(index); }
    IVariable* FindVariable(const char* name) override { return variables_.Find(name); }

    const std::string& Name() const { return name_; }
    CVariable* AddVariable(std::unique_ptr<CVariable> variable) {
        return variables_.Add(std::move(variable));
    }
    const OwnedItems<CVariable>& Variables() const { return variables_; }

  private:
    std::string name_;
    OwnedItems<CVariable> variables_;
};

}  // namespace qm::someip
