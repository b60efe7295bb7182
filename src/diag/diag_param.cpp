#include "diag/diag_param.h"

#include <algorithm>

#include "diag/diag_tables.h"

namespace qm::diag {

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

uint64_t NumberOfText(std::string_view text) {
    uint64_t value = 0;
    if (AllDigits(text)) {
        for (char c : text) value = value * 10 + static_cast<uint64_t>(c - '0');
        return value;
    }
    size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) start = 2;
    if (start >= text.size()) return 0;
    for (size_t i = start; i < text.size(); ++i) {
        const int digit = HexValue(text[i]);
        if (digit < 0) return 0;
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return value;
}

uint32_t MaskOfLength(int32_t bits) {
    if (bits <= 0) return 0;
    if (bits >= 32) return 0xFFFFFFFFu;
    return (1u << bits) - 1u;
}

void SortParamsByPosition(std::vector<std::unique_ptr<CParam>>& params) {
    const auto byKey = [](const std::unique_ptr<CParam>& a, const std::unique_ptr<CParam>& b) {
        return a->SortKey() < b->SortKey();
    };
    // Readers append in position order: most lists are sorted already.
    if (std::is_sorted(params.begin(), params.end(), byKey)) return;
    std::stable_sort(params.begin(), params.end(), byKey);
}

// Every parameter is placed at its own byte and bit position from the start; a parameter
// that does not say where it goes (both positions 0 after the first) takes the next free bit
// of the running allocation instead.
void LayOutParams(std::vector<std::unique_ptr<CParam>>& params, int64_t start) {
    int64_t running = start;
    bool first = true;
    for (auto& param : params) {
        const int64_t declared = start + param->SortKey();
        int64_t offset = declared;
        if (!first && param->SortKey() == 0) offset = running;
        param->absoluteBitOffset = offset;
        const int64_t span = int64_t{std::max(param->bitLength, 0)} * param->RepeatCount();
        running = std::max(running, offset + span);
        param->LayOutChildren(offset);
        first = false;
    }
}

}  // namespace qm::diag

namespace {

// Whether the upper-cased text holds "PROXY", without making the upper-cased copy.
bool ContainsProxy(std::string_view text) {
    static constexpr char kWord[] = "PROXY";
    for (size_t i = 0; i + 5 <= text.size(); ++i) {
        size_t k = 0;
        while (k < 5) {
            char c = text[i + k];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            if (c != kWord[k]) break;
            ++k;
        }
        if (k == 5) return true;
    }
    return false;
}

}  // namespace

using qm::diag::MaskOfLength;
using qm::diag::NumberOfText;

CParam::CParam(const CParam& other)
    : IParam(),
      name(other.name),
      valueStr(other.valueStr),
      qual(other.qual),
      xmlLocation(other.xmlLocation),
      semantic(other.semantic),
      dataType(other.dataType),
      baseDataType(other.baseDataType),
      type(other.type),
      defaultText(other.defaultText),
      dtrefId(other.dtrefId),
      unit(other.unit),
      factor(other.factor),
      divisor(other.divisor),
      offset(other.offset),
      absoluteBitOffset(other.absoluteBitOffset),
      bitLength(other.bitLength),
      bitPosition(other.bitPosition),
      bytePosition(other.bytePosition),
      bitMask(other.bitMask),
      arraySizeMin(other.arraySizeMin),
      arraySizeMax(other.arraySizeMax),
      rangeFirst(other.rangeFirst),
      rangeSecond(other.rangeSecond),
      baseTypeCode(other.baseTypeCode),
      displayFormat(other.displayFormat),
      byteOrder(other.byteOrder),
      isVisible(other.isVisible),
      typeSigned(other.typeSigned),
      isKey(other.isKey),
      isConditional(other.isConditional),
      isVariableLength(other.isVariableLength),
      isOptional(other.isOptional),
      hasScaling(other.hasScaling),
      lengthKind(other.lengthKind),
      termination(other.termination),
      positionStated(other.positionStated),
      overlaid(other.overlaid),
      codedForm(other.codedForm),
      troubleCodes(other.troubleCodes),
      wholePhysical(other.wholePhysical),
      computation(other.computation),
      requestBytePosition(other.requestBytePosition),
      lengthKeyId(other.lengthKeyId) {
    const uint64_t self = reinterpret_cast<uint64_t>(this);
    subParams.reserve(other.subParams.size());
    conditionalParams.reserve(other.conditionalParams.size());
    valueTable.reserve(other.valueTable.size());
    for (const auto& sub : other.subParams) {
        subParams.push_back(std::make_unique<CParam>(*sub));
        subParams.back()->owner = self;
    }
    for (const auto& sub : other.conditionalParams) {
        conditionalParams.push_back(std::make_unique<CParam>(*sub));
        conditionalParams.back()->owner = self;
    }
    for (const auto& entry : other.valueTable) {
        valueTable.push_back(std::make_unique<CVTabValue>(*entry));
    }
}

IParam* CParam::GetSubParam(uint64_t index) {
    return index < subParams.size() ? subParams[index].get() : nullptr;
}

IVTabValue* CParam::GetValue(uint64_t index) {
    return index < valueTable.size() ? valueTable[index].get() : nullptr;
}

uint64_t CParam::GetChoiceCount() {
    if (isKey) return valueTable.size();
    if (isConditional) return conditionalParams.size();
    return 0;
}

IParam* CParam::SelectChoice(uint64_t index) {
    if (isKey) {
        if (index >= valueTable.size()) return this;
        valueStr = std::to_string(valueTable[index]->rangeStart);
        return this;
    }
    if (isConditional) {
        if (index >= conditionalParams.size()) return this;
        CParam* chosen = conditionalParams[index].get();
        bitLength = chosen->bitLength;
        return chosen;
    }
    return this;
}

const char* CParam::GetValueText() {
    if (subParams.size() == 1) valueStr = subParams.front()->valueStr;
    // Also after a single sub-parameter gave an empty text.
    if (valueStr.empty() && !valueTable.empty()) {
        valueStr = std::to_string(valueTable.front()->rangeStart);
    }
    return valueStr.c_str();
}

uint32_t CParam::GetBitMask() {
    if (bitMask == 0) bitMask = MaskOfLength(bitLength);
    return bitMask;
}

uint64_t CParam::GetValue() {
    return NumberOfText(valueStr) & GetBitMask();
}

uint64_t CParam::GetDefaultValue() {
    return NumberOfText(defaultText) & GetBitMask();
}

uint8_t CParam::GetScaling(double* f, double* d, double* o) {
    if (hasScaling) {
        if (f) *f = factor;
        if (d) *d = divisor;
        if (o) *o = offset;
    }
    return hasScaling;
}

bool CParam::GetRange(uint32_t* first, uint32_t* second) {
    if (rangeFirst == 0 || rangeSecond == 0) return false;
    if (first) *first = rangeFirst;
    if (second) *second = rangeSecond;
    return true;
}

const char* CParam::FindValueText(uint64_t value, bool* found) {
    const CVTabValue* match = nullptr;
    for (const auto& entry : valueTable) {
        if (entry->Names(value)) match = entry.get();
    }
    if (found) *found = match != nullptr;
    return match ? match->text.c_str() : "";
}

void CParam::CompleteType() {
    if (bitLength == 0) {
        bitLength = static_cast<int32_t>(std::clamp<int64_t>(SubParamBits(), 0, INT32_MAX));
    }
    if (bitLength > 0 && baseDataType.empty()) {
        if (byteOrder == 0 && subParams.size() > 1) {
            baseDataType = qm::diag::StructTypeName();
        } else {
            baseDataType = qm::diag::IntegerTypeName(typeSigned != 0, bitLength);
        }
    }
    if (baseTypeCode == 0) {
        baseTypeCode = qm::diag::BaseTypeCodeOf(baseDataType);
        const qm::diag::BaseTypeDefaults defaults = qm::diag::DefaultsOf(baseTypeCode);
        if (bitLength == 0 && defaults.bitLength != 0) {
            bitLength = defaults.bitLength;
            typeSigned = defaults.typeSigned;
        }
    }
    dataType =
        arraySizeMax > 1 ? qm::diag::ArrayTypeName(baseDataType, arraySizeMax) : baseDataType;
}

int64_t CParam::SubParamBits() const {
    // Only reads: a sub-parameter without a length is counted, not completed.
    int64_t sum = 0;
    for (const auto& sub : subParams)
        sum += sub->bitLength != 0 ? sub->bitLength : sub->SubParamBits();
    return sum;
}

void CParam::CompleteStructType() {
    int64_t sum = 0;
    for (const auto& sub : subParams) sum += sub->BitsInAll();
    bitLength = static_cast<int32_t>(std::clamp<int64_t>(sum, 0, INT32_MAX));
    CompleteType();
}

void CParam::FinishPresentationType() {
    if (ContainsProxy(type)) {
        baseDataType = qm::diag::ProxyTypeName();
        baseTypeCode = qm::diag::kTypeProxy;
    } else if (byteOrder == 0 && subParams.size() > 1) {
        baseDataType = qm::diag::StructTypeName();
        baseTypeCode = qm::diag::kTypeStruct;
    }
    for (auto& sub : subParams) sub->FinishPresentationType();
    for (auto& sub : conditionalParams) sub->FinishPresentationType();
}

void CParam::SortByPosition() {
    qm::diag::SortParamsByPosition(subParams);
    qm::diag::SortParamsByPosition(conditionalParams);
    for (auto& sub : subParams) sub->SortByPosition();
    for (auto& sub : conditionalParams) sub->SortByPosition();
}

void CParam::SetByteOrderDeep(uint32_t order) {
    byteOrder = order;
    for (auto& sub : subParams) sub->SetByteOrderDeep(order);
    for (auto& sub : conditionalParams) sub->SetByteOrderDeep(order);
}

void CParam::LayOutChildren(int64_t start) {
    if (!subParams.empty()) {
        qm::diag::SortParamsByPosition(subParams);
        qm::diag::LayOutParams(subParams, start);
    }
    // Each case of a multiplexer starts where the multiplexer does.
    for (auto& sub : conditionalParams) {
        sub->absoluteBitOffset = start;
        sub->LayOutChildren(start);
    }
}

void CParam::EncodeOccurrence(uint8_t* buffer, uint64_t& cursor, uint64_t limit) {
    const std::string text = GetValueText();
    const uint64_t value = GetValue();
    if (value == 0 && text.empty()) {
        EncodeInto(buffer, &cursor, limit);
        return;
    }
    const int32_t bits = std::max(bitLength, 0);
    const int32_t whole = bits / 8;
    const int32_t rest = bits % 8;
    for (int32_t k = whole - 1; k >= 0; --k) {
        if (cursor >= limit) {
            // Nothing more fits: the remaining bytes only move the cursor.
            cursor += static_cast<uint64_t>(k) + 1;
            break;
        }
        const int shift = rest + 8 * k;
        buffer[cursor] = shift < 64 ? static_cast<uint8_t>(value >> shift) : 0;
        ++cursor;
    }
    if (rest > 0) {
        const uint64_t low = value & ((uint64_t{1} << rest) - 1);
        const int shift = ((bitPosition % 8) + 8) % 8;
        if (cursor < limit) buffer[cursor] = static_cast<uint8_t>(buffer[cursor] + (low << shift));
        if ((bitPosition + 1) % 8 == 0) ++cursor;
    }
}

bool CParam::EncodeInto(uint8_t* buffer, uint64_t* cursor, uint64_t size) {
    if (buffer == nullptr || cursor == nullptr) return false;
    // A leaf without a value writes nothing and leaves the cursor where it is: the parameters
    // after it move up (the checked encoder, the message codec, lays every parameter at its
    // place instead).
    for (auto& sub : subParams) {
        for (uint32_t i = 0; i < sub->RepeatCount() && *cursor < size; ++i) {
            sub->EncodeOccurrence(buffer, *cursor, size);
        }
    }
    return true;
}
