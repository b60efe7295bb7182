#include "dbc/dbc_enums.h"

namespace qm::dbc {

namespace {

template <size_t N>
const char* TextAt(const char* const (&texts)[N], int64_t index, const char* fallback) {
    return index >= 0 && static_cast<size_t>(index) < N ? texts[index] : fallback;
}

}  // namespace

const char* MultiplexingKindText(uint32_t kind) {
    static const char* const texts[] = {"notMultiplexed", "multiplexerSwitch", "multiplexedSignal"};
    return TextAt(texts, kind, "");
}

uint32_t ByteOrderOfChar(char c) {
    if (c == '0') return kBigEndian;
    if (c == '1') return kLittleEndian;
    return kByteOrderUndefined;
}

const char* ByteOrderText(uint32_t order) {
    if (order == kBigEndian) return "bigEndian";
    if (order == kLittleEndian) return "littleEndian";
    return "";
}

uint32_t ValueTypeOfChar(char c) {
    if (c == '+') return kUnsignedType;
    if (c == '-') return kSignedType;
    return kUndefinedType;
}

const char* ValueTypeText(uint32_t type) {
    static const char* const texts[] = {"undefinedType", "unsignedType", "signedType"};
    return TextAt(texts, type, "undefinedType");
}

int32_t ExtendedValueTypeOfNumber(int32_t number) {
    return number >= 0 && number <= 2 ? number : kExtendedUndefined;
}

const char* ExtendedValueTypeText(int32_t type) {
    static const char* const texts[] = {"signedOrUnsignedInteger", "IEEEfloat32bit",
                                        "IEEEdouble64bit"};
    return TextAt(texts, type, "undefined");
}

int32_t EnvironmentTypeOfToken(std::string_view token) {
    if (token == "0") return 0;
    if (token == "1") return 1;
    if (token == "2") return 2;
    return -1;
}

const char* EnvironmentTypeText(int32_t type) {
    static const char* const texts[] = {"integer", "float", "string"};
    return TextAt(texts, type, "undefined");
}

int32_t AccessTypeOfToken(std::string_view token) {
    static const char* const tokens[] = {"DUMMY_NODE_VECTOR0", "DUMMY_NODE_VECTOR1",
                                         "DUMMY_NODE_VECTOR2", "DUMMY_NODE_VECTOR3"};
    for (int32_t i = 0; i < 4; ++i) {
        if (token == tokens[i]) return i;
    }
    return -1;
}

const char* AccessTypeText(int32_t type) {
    static const char* const texts[] = {"unrestricted", "read", "write", "readWrite"};
    return TextAt(texts, type, "undefined");
}

namespace {
const char* const kObjectKeywords[] = {"",    "BU_",        "BO_",        "SG_",
                                       "EV_", "BU_BO_REL_", "BU_SG_REL_", "BU_EV_REL_"};
}

int32_t ObjectTypeOfKeyword(std::string_view keyword) {
    for (int32_t i = 1; i < 8; ++i) {
        if (keyword == kObjectKeywords[i]) return i;
    }
    return kObjectNetwork;
}

const char* ObjectTypeKeyword(int32_t type) {
    return TextAt(kObjectKeywords, type, "");
}

const char* ObjectTypeText(int32_t type) {
    static const char* const texts[] = {"network",
                                        "node",
                                        "message",
                                        "signal",
                                        "environmentVariable",
                                        "nodeTxMessage",
                                        "nodeRxSignal",
                                        "nodeEnvironmentVariable"};
    return TextAt(texts, type, "undefined");
}

bool IsRelationObjectType(int32_t type) {
    return type == kObjectNodeTxMessage || type == kObjectNodeRxSignal ||
           type == kObjectNodeEnvironmentVariable;
}

namespace {
const char* const kValueTypeKeywords[] = {"INT", "HEX", "FLOAT", "STRING", "ENUM"};
}

int32_t ValueTypeOfKeyword(std::string_view keyword) {
    for (int32_t i = 0; i < 5; ++i) {
        if (keyword == kValueTypeKeywords[i]) return i;
    }
    return kAttributeUndefined;
}

const char* ValueTypeKeyword(int32_t type) {
    return TextAt(kValueTypeKeywords, type, "UNDEFINED");
}

const char* AttributeValueTypeText(int32_t type) {
    static const char* const texts[] = {"integer", "hex", "floating_point", "string",
                                        "enumeration"};
    return TextAt(texts, type, "undefined");
}

}  // namespace qm::dbc
