#pragma once
// The read-only tables of the diagnostic model: UDS service names, the identifier parameters
// of the identifier services, the preferred text language and the base type codes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diag/shared_text.h"

namespace qm::diag {

// Base type codes of a parameter.
enum BaseTypeCode : uint32_t {
    kTypeUnknown = 0,
    kTypeUint8 = 1,
    kTypeInt8 = 2,
    kTypeUint16 = 3,
    kTypeInt16 = 4,
    kTypeUint32 = 5,
    kTypeInt32 = 6,
    kTypeUint64 = 7,
    kTypeInt64 = 8,
    kTypeFloat32 = 9,
    kTypeFloat64 = 10,
    kTypeAscii = 11,
    kTypeUtf8 = 12,
    kTypeUtf16 = 13,
    kTypeStruct = 14,
    kTypeProxy = 15,
    kTypeByteField = 16,
};

// The default bit length and signedness of a base type code; bitLength 0 when there is none.
struct BaseTypeDefaults {
    int32_t bitLength = 0;
    uint8_t typeSigned = 0;
};
BaseTypeDefaults DefaultsOf(uint32_t code);

// The code named by a type name (upper-cased, first matching substring), 0 for none.
uint32_t BaseTypeCodeOf(std::string_view typeName);

// The type names the model derives, each one buffer shared by every parameter that has it.
// "UINT" or "INT" and the smallest of 8, 16, 32 and 64 bits that holds the length (no number
// beyond 64 bits).
const SharedText& IntegerTypeName(bool isSigned, int32_t bitLength);
const SharedText& StructTypeName();
const SharedText& ProxyTypeName();
// "<base>[<count>]"; repeated names share a buffer.
SharedText ArrayTypeName(const SharedText& base, uint32_t count);

// The UDS name of a service identifier, or null.
const char* UdsServiceName(uint8_t serviceId);

// The ISO 14229-1 name of a negative response code, or null.
const char* UdsNegativeResponseName(uint64_t code);

// One identifier parameter of an identifier service.
struct IdentifierParam {
    const char* name;
    uint32_t index;  // position in the message's parameter list
    uint8_t side;    // 0 request, 1 positive response
    uint8_t key;
};
// The identifier parameters of a service identifier (empty for other services).
const std::vector<IdentifierParam>& IdentifierParams(uint8_t serviceId);

// The language whose texts are preferred in multilingual CDD texts.
const char* PreferredLanguage();

// The library version text: "%02d.%02d" of 3 and 7 and the suffix given.
std::string LibraryVersionText(const char* suffix);

}  // namespace qm::diag
