#include "diag/diag_function.h"

#include <cstring>

CUDSFunction::CUDSFunction(const CUDSFunction& other)
    : IUDSFunction(),
      IUDSFunctionCodec(),
      type(other.type),
      name(other.name),
      desc(other.desc),
      odxId(other.odxId),
      qual(other.qual),
      xmlLocation(other.xmlLocation) {
    for (const auto& param : other.params) AddParam(std::make_unique<CParam>(*param));
}

IParam* CUDSFunction::GetParam(uint64_t index) {
    return index < params.size() ? params[index].get() : nullptr;
}

IParam* CUDSFunction::FindParam(const char* wanted) {
    if (wanted == nullptr) return nullptr;
    for (const auto& param : params) {
        if (param->name == wanted) return param.get();
    }
    return nullptr;
}

CParam* CUDSFunction::AddParam(std::unique_ptr<CParam> param) {
    param->owner = reinterpret_cast<uint64_t>(this);
    params.push_back(std::move(param));
    return params.back().get();
}

void CUDSFunction::SortParameters() {
    qm::diag::SortParamsByPosition(params);
    for (auto& param : params) param->SortByPosition();
}

void CUDSFunction::ReLayOut() {
    SortParameters();
    qm::diag::LayOutParams(params, 0);
}

void CUDSFunction::SetByteOrder(uint32_t order) {
    for (auto& param : params) param->SetByteOrderDeep(order);
}

uint64_t CUDSFunction::Encode(uint8_t* buffer, uint64_t size) {
    if (params.empty()) return 0;

    // The choice: the entry of a key parameter's value table that its value falls in; a later
    // key parameter overrides an earlier one.
    bool chosen = false;
    uint64_t choice = 0;
    for (const auto& param : params) {
        if (!param->isKey || param->valueTable.empty()) continue;
        const uint64_t value = param->GetValue();
        for (size_t i = 0; i < param->valueTable.size(); ++i) {
            if (param->valueTable[i]->Names(value)) {
                chosen = true;
                choice = i;
                break;
            }
        }
    }
    std::vector<CParam*> parts;
    parts.reserve(params.size());
    for (const auto& param : params) {
        CParam* part = param.get();
        if (chosen && param->isConditional)
            part = static_cast<CParam*>(param->SelectChoice(choice));
        parts.push_back(part);
    }

    uint64_t bits = 0;
    for (const CParam* part : parts) {
        const uint64_t start = static_cast<uint64_t>(std::max(part->bytePosition, 0)) * 8;
        if (bits < start) bits = start;
        const uint64_t length = static_cast<uint64_t>(std::max(part->bitLength, 0));
        bits += length;
        if (part->arraySizeMin > 1) bits += length * (part->arraySizeMin - 1);
    }
    const uint64_t byteCount = (bits + 7) / 8;
    if (buffer == nullptr) return byteCount;

    const uint64_t limit = size == 0 ? byteCount : size;
    std::memset(buffer, 0, static_cast<size_t>(std::min(limit, byteCount)));
    uint64_t cursor = 0;
    for (CParam* part : parts) {
        // Writes beyond the limit are skipped: once it is reached nothing more is written.
        for (uint32_t i = 0; i < part->RepeatCount() && cursor < limit; ++i) {
            part->EncodeOccurrence(buffer, cursor, limit);
        }
    }
    return byteCount;
}
