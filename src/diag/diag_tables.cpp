#include "diag/diag_tables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace qm::diag {

namespace {

const std::map<uint8_t, const char*> kUdsNames = {
    {0x10, "Diagnostic Session Control"},
    {0x11, "ECU Reset"},
    {0x27, "Security Access"},
    {0x28, "Communication Control"},
    {0x29, "Authentication"},
    {0x3E, "Tester Present"},
    {0x83, "Access Timing Parameters"},
    {0x84, "Secured Data Transmission"},
    {0x85, "Control DTC Settings"},
    {0x86, "Response On Event"},
    {0x87, "Link Control"},
    {0x22, "Read Data By Identifier"},
    {0x23, "Read Memory By Address"},
    {0x24, "Read Scaling Data By Identifier"},
    {0x2A, "Read Data By Identifier Periodic"},
    {0x2C, "Dynamically Define Data Identifier"},
    {0x2E, "Write Data By Identifier"},
    {0x3D, "Write Memory By Address"},
    {0x14, "Clear Diagnostic Information"},
    {0x19, "Read DTC Information"},
    {0x2F, "Input Output Control By Identifier"},
    {0x31, "Routine Control"},
    {0x34, "Request Download"},
    {0x35, "Request Upload"},
    {0x36, "Transfer Data"},
    {0x37, "Request Transfer Exit"},
    {0x38, "Request File Transfer"},
};

const std::map<uint8_t, std::vector<IdentifierParam>> kIdentifierParams = {
    {0x22,
     {{"Record Data Identifier", 1, 0, 1},
      {"Record Data Identifier", 1, 1, 1},
      {"Data Record", 2, 1, 0}}},
    {0x2E,
     {{"Record Data Identifier", 1, 0, 1},
      {"Record Data Identifier", 1, 1, 1},
      {"Data Record", 2, 0, 0}}},
    {0x31,
     {{"Routine Identifier", 3, 0, 1},
      {"Routine Identifier", 3, 1, 1},
      {"Routine Control Option Record", 4, 0, 0},
      {"Routine Control Option Record", 4, 1, 0}}},
};

struct NamedCode {
    const char* text;
    uint32_t code;
};

// Searched in this order; the first substring found decides.
constexpr NamedCode kTypeNames[] = {
    {"UINT8", kTypeUint8},         {"INT8", kTypeInt8},     {"UINT16", kTypeUint16},
    {"INT16", kTypeInt16},         {"UINT32", kTypeUint32}, {"INT32", kTypeInt32},
    {"UINT64", kTypeUint64},       {"INT64", kTypeInt64},   {"ASCII", kTypeAscii},
    {"BYTEFIELD", kTypeByteField},
};
constexpr NamedCode kLaterTypeNames[] = {
    {"UTF8STRING", kTypeUtf8}, {"UTF16STRING", kTypeUtf16}, {"FLOAT32", kTypeFloat32},
    {"FLOAT64", kTypeFloat64}, {"FLOAT", kTypeFloat32},     {"DOUBLE", kTypeFloat64},
    {"STRUCT", kTypeStruct},
};

}  // namespace

BaseTypeDefaults DefaultsOf(uint32_t code) {
    switch (code) {
        case kTypeUint8:
            return {8, 0};
        case kTypeInt8:
            return {8, 1};
        case kTypeUint16:
            return {16, 0};
        case kTypeInt16:
            return {16, 1};
        case kTypeUint32:
            return {32, 0};
        case kTypeInt32:
            return {32, 1};
        case kTypeUint64:
            return {64, 0};
        case kTypeInt64:
            return {64, 1};
        case kTypeFloat32:
            return {32, 1};
        case kTypeFloat64:
            return {64, 1};
        case kTypeAscii:
            return {8, 1};
        case kTypeUtf8:
            return {8, 1};
        case kTypeUtf16:
            return {16, 1};
        case kTypeByteField:
            return {8, 0};
        default:
            return {};
    }
}

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// Whether the upper-cased text holds the (upper-case) word, without an upper-cased copy.
bool HoldsUpper(std::string_view text, std::string_view word) {
    if (word.size() > text.size()) return false;
    for (size_t i = 0; i + word.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < word.size() && Upper(text[i + k]) == word[k]) ++k;
        if (k == word.size()) return true;
    }
    return false;
}

}  // namespace

uint32_t BaseTypeCodeOf(std::string_view typeName) {
    for (const NamedCode& entry : kTypeNames) {
        if (HoldsUpper(typeName, entry.text)) return entry.code;
    }
    if (typeName.size() == 4 && HoldsUpper(typeName, "UINT")) return kTypeByteField;
    for (const NamedCode& entry : kLaterTypeNames) {
        if (HoldsUpper(typeName, entry.text)) return entry.code;
    }
    return kTypeUnknown;
}

const SharedText& IntegerTypeName(bool isSigned, int32_t bitLength) {
    static const SharedText kNames[2][5] = {
        {"UINT8", "UINT16", "UINT32", "UINT64", "UINT"},
        {"INT8", "INT16", "INT32", "INT64", "INT"},
    };
    const int column = bitLength <= 8    ? 0
                       : bitLength <= 16 ? 1
                       : bitLength <= 32 ? 2
                       : bitLength <= 64 ? 3
                                         : 4;
    return kNames[isSigned ? 1 : 0][column];
}

const SharedText& StructTypeName() {
    static const SharedText kName("STRUCT");
    return kName;
}

const SharedText& ProxyTypeName() {
    static const SharedText kName("PROXY");
    return kName;
}

SharedText ArrayTypeName(const SharedText& base, uint32_t count) {
    // Names repeat across the parameters of a file: the usual short ones are put together on
    // the stack and found among the recent texts.
    char suffix[16];
    const int length = std::snprintf(suffix, sizeof suffix, "[%u]", count);
    const std::string_view tail(suffix, static_cast<size_t>(std::max(length, 0)));
    char buffer[64];
    if (base.size() + tail.size() <= sizeof buffer) {
        std::memcpy(buffer, base.c_str(), base.size());
        std::memcpy(buffer + base.size(), tail.data(), tail.size());
        return RecentText(std::string_view(buffer, base.size() + tail.size()));
    }
    return RecentText(base.str() + std::string(tail));
}

const char* UdsServiceName(uint8_t serviceId) {
    const auto found = kUdsNames.find(serviceId);
    return found == kUdsNames.end() ? nullptr : found->second;
}

const std::vector<IdentifierParam>& IdentifierParams(uint8_t serviceId) {
    static const std::vector<IdentifierParam> kNone;
    const auto found = kIdentifierParams.find(serviceId);
    return found == kIdentifierParams.end() ? kNone : found->second;
}

const char* PreferredLanguage() {
    return "de";
}

std::string LibraryVersionText(const char* suffix) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d", 3, 7);
    return std::string(buffer) + suffix;
}

const char* UdsNegativeResponseName(uint64_t code) {
    switch (code) {
        case 0x10:
            return "generalReject";
        case 0x11:
            return "serviceNotSupported";
        case 0x12:
            return "subFunctionNotSupported";
        case 0x13:
            return "incorrectMessageLengthOrInvalidFormat";
        case 0x14:
            return "responseTooLong";
        case 0x21:
            return "busyRepeatRequest";
        case 0x22:
            return "conditionsNotCorrect";
        case 0x24:
            return "requestSequenceError";
        case 0x25:
            return "noResponseFromSubnetComponent";
        case 0x26:
            return "failurePreventsExecutionOfRequestedAction";
        case 0x31:
            return "requestOutOfRange";
        case 0x33:
            return "securityAccessDenied";
        case 0x35:
            return "invalidKey";
        case 0x36:
            return "exceedNumberOfAttempts";
        case 0x37:
            return "requiredTimeDelayNotExpired";
        case 0x70:
            return "uploadDownloadNotAccepted";
        case 0x71:
            return "transferDataSuspended";
        case 0x72:
            return "generalProgrammingFailure";
        case 0x73:
            return "wrongBlockSequenceCounter";
        case 0x78:
            return "requestCorrectlyReceived-ResponsePending";
        case 0x7E:
            return "subFunctionNotSupportedInActiveSession";
        case 0x7F:
            return "serviceNotSupportedInActiveSession";
        default:
            return nullptr;
    }
}

}  // namespace qm::diag
