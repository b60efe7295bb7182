#include "someip/data_types.h"

#include <string_view>

namespace qm::someip {

namespace {
struct NativeName {
    std::string_view declaration;
    uint32_t code;
};
// Built once: the native declarations a trivial type may name.
constexpr NativeName kNativeNames[] = {
    {"std::uint8_t", 0}, {"std::uint16_t", 1}, {"std::uint32_t", 2}, {"std::uint64_t", 3},
    {"std::int8_t", 4},  {"std::int16_t", 5},  {"std::int32_t", 6},  {"std::int64_t", 7},
    {"float", 8},        {"double", 9},        {"bool", 10},
};
}  // namespace

uint32_t NativeTypeCodeOf(const std::string& declaration) {
    for (const NativeName& entry : kNativeNames) {
        if (entry.declaration == declaration) return entry.code;
    }
    return kNativeUnsupported;
}

IDataType* CGlobalConfigDataType::GetDataType(uint64_t index) {
    return index < types_.size() ? types_[index].type.get() : nullptr;
}

IDataType* CGlobalConfigDataType::FindDataType(const char* name) {
    if (name == nullptr) return nullptr;
    for (const Entry& entry : types_) {
        if (entry.type->GetName() == std::string_view(name)) return entry.type.get();
    }
    return nullptr;
}

IDataType* CRizConfig::FindDataType(const char* name) {
    if (name == nullptr) return nullptr;
    for (const auto& type : types_) {
        if (type->Name() == name) return type.get();
    }
    return nullptr;
}

CGlobalConfigDataType* CRizConfig::EnsureGlobal() {
    if (!global_) global_ = std::make_unique<CGlobalConfigDataType>("");
    return global_.get();
}

CGlobalConfigDataType* CRizConfig::ConfigurationNamed(const std::string& name) {
    for (const auto& type : types_) {
        if (type->Name() == name) return type.get();
    }
    types_.push_back(std::make_unique<CGlobalConfigDataType>(name));
    return types_.back().get();
}

}  // namespace qm::someip
