#include "someip/struct_datatype.h"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace qm::someip {

namespace {
struct BaseName {
    std::string_view name;
    uint32_t code;
};
constexpr BaseName kBaseNames[] = {
    {"Boolean", kBaseBoolean}, {"UInt8", kBaseUInt8},   {"UInt16", kBaseUInt16},
    {"UInt32", kBaseUInt32},   {"UInt64", kBaseUInt64}, {"SInt8", kBaseInt8},
    {"Int8", kBaseInt8},       {"SInt16", kBaseInt16},  {"Int16", kBaseInt16},
    {"SInt32", kBaseInt32},    {"Int32", kBaseInt32},   {"SInt64", kBaseInt64},
    {"Int64", kBaseInt64},     {"Float", kBaseFloat32}, {"Double", kBaseFloat64},
    {"String", kBaseString},   {"DT_uuid", kBaseUuid},
};
constexpr const char* kBaseTexts[] = {"boolean", "uint8",  "uint16", "uint32", "uint64",
                                      "int8",    "int16",  "int32",  "int64",  "float32",
                                      "float64", "String", "uuid",   "struct"};
}  // namespace

uint32_t BaseTypeCodeOf(const std::string& name) {
    for (const BaseName& entry : kBaseNames) {
        if (entry.name == name) return entry.code;
    }
    return kBaseUnresolved;
}

const char* BaseTypeText(uint32_t code) {
    return code < std::size(kBaseTexts) ? kBaseTexts[code] : "";
}

int64_t CValue::GetNumber() {
    return std::strtoll(value_.c_str(), nullptr, 0);
}

void CVariable::Clear() {
    name_.clear();
    declaredType.clear();
    baseType = kBaseUnresolved;
    elementType.clear();
    array = false;
    arraySize = 1;
    enumTypeName.clear();
    values_.reset();
    nested_.reset();
}

CValue* CVariable::AddValue(std::unique_ptr<CValue> value) {
    if (!values_) values_ = std::make_unique<OwnedItems<CValue>>();
    return values_->Add(std::move(value));
}

const OwnedItems<CValue>& CVariable::Values() const {
    static const OwnedItems<CValue> kNone;
    return values_ ? *values_ : kNone;
}

IStructDatatype* CVariable::GetStruct() {
    return nested_.get();
}

void CVariable::SetNested(std::unique_ptr<CStructDatatype> nested) {
    nested_ = std::move(nested);
}

}  // namespace qm::someip
