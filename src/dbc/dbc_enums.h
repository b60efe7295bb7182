#pragma once
// Every enumerated field of the DBC model is kept as a number and its display text; the
// conversions between characters, keywords, numbers and texts all live here.
#include <cstdint>
#include <string_view>

namespace qm::dbc {

enum MultiplexingKind : uint32_t {
    kNotMultiplexed = 0,
    kMultiplexerSwitch = 1,
    kMultiplexedSignal = 2
};
enum ByteOrder : uint32_t { kByteOrderUndefined = 0, kBigEndian = 1, kLittleEndian = 2 };
enum ValueType : uint32_t { kUndefinedType = 0, kUnsignedType = 1, kSignedType = 2 };
enum ExtendedValueType : int32_t {
    kExtendedUndefined = -1,
    kExtendedInteger = 0,
    kExtendedFloat = 1,
    kExtendedDouble = 2
};
enum AttributeObjectType : int32_t {
    kObjectUndefined = -1,
    kObjectNetwork = 0,
    kObjectNode = 1,
    kObjectMessage = 2,
    kObjectSignal = 3,
    kObjectEnvironmentVariable = 4,
    kObjectNodeTxMessage = 5,
    kObjectNodeRxSignal = 6,
    kObjectNodeEnvironmentVariable = 7
};
enum AttributeValueType : int32_t {
    kAttributeUndefined = -1,
    kAttributeInteger = 0,
    kAttributeHex = 1,
    kAttributeFloat = 2,
    kAttributeString = 3,
    kAttributeEnumeration = 4
};

const char* MultiplexingKindText(uint32_t kind);

// '0' big-endian, '1' little-endian; anything else undefined with an empty text.
uint32_t ByteOrderOfChar(char c);
const char* ByteOrderText(uint32_t order);
// '+' unsigned, '-' signed; anything else undefined.
uint32_t ValueTypeOfChar(char c);
const char* ValueTypeText(uint32_t type);

int32_t ExtendedValueTypeOfNumber(int32_t number);
const char* ExtendedValueTypeText(int32_t type);

// Environment variable type from its token ("0", "1", "2"), and access type from its token
// ("DUMMY_NODE_VECTOR0" to "DUMMY_NODE_VECTOR3").
int32_t EnvironmentTypeOfToken(std::string_view token);
const char* EnvironmentTypeText(int32_t type);
int32_t AccessTypeOfToken(std::string_view token);
const char* AccessTypeText(int32_t type);

// "BU_", "BO_", "SG_", "EV_", "BU_BO_REL_", "BU_SG_REL_", "BU_EV_REL_"; network otherwise.
int32_t ObjectTypeOfKeyword(std::string_view keyword);
const char* ObjectTypeKeyword(int32_t type);
const char* ObjectTypeText(int32_t type);
bool IsRelationObjectType(int32_t type);

// "INT", "HEX", "FLOAT", "STRING", "ENUM"; undefined otherwise.
int32_t ValueTypeOfKeyword(std::string_view keyword);
const char* ValueTypeKeyword(int32_t type);
const char* AttributeValueTypeText(int32_t type);

}  // namespace qm::dbc
