// The codec of a diagnostic function behind IUDSFunctionCodec: the decoder (diag_decoder.cpp)
// and the encoder (diag_encoder.cpp) with the results kept in the function until the next call.
#include "diag/diag_codec.h"

#include "diag/diag_conversions.h"

namespace qm::diag {

bool IsConstant(const CParam& param) {
    return IsConstantKind(param) || param.type == "RESERVED";
}

struct CodecScratch {
    std::vector<DecodedParam> tree;
    std::vector<DiagDecodedField> flat;
    std::vector<uint8_t> encoded;
    std::string error;
};

void CodecScratchDeleter::operator()(CodecScratch* scratch) const {
    delete scratch;
}

namespace {

void Flatten(const std::vector<DecodedParam>& params, int64_t parent, int64_t item,
             std::vector<DiagDecodedField>& flat) {
    for (const DecodedParam& param : params) {
        DiagDecodedField field{};
        field.name = param.name.c_str();
        field.text = param.text.c_str();
        field.unit = param.unit.c_str();
        field.string = param.string.c_str();
        field.bytes = param.bytes.data();
        field.byteCount = param.bytes.size();
        field.raw = param.raw;
        field.rawUnsigned = param.rawUnsigned;
        field.physical = param.physical;
        field.kind = static_cast<uint32_t>(param.kind);
        field.scaled = param.scaled ? 1 : 0;
        field.parent = parent;
        field.item = item;
        const auto self = static_cast<int64_t>(flat.size());
        flat.push_back(field);
        Flatten(param.parameters, self, -1, flat);
        for (size_t i = 0; i < param.items.size(); ++i)
            Flatten(param.items[i], self, static_cast<int64_t>(i), flat);
    }
}

}  // namespace
}  // namespace qm::diag

CUDSFunction::CUDSFunction() = default;
CUDSFunction::~CUDSFunction() = default;

qm::diag::CodecScratch& CUDSFunction::Scratch() {
    if (!scratch_) scratch_.reset(new qm::diag::CodecScratch());
    return *scratch_;
}

int64_t CUDSFunction::MatchMessage(const uint8_t* data, uint64_t size, const uint8_t* request,
                                   uint64_t requestSize) {
    if (data == nullptr) return -1;
    const std::vector<uint8_t> requestBytes =
        request ? std::vector<uint8_t>(request, request + requestSize) : std::vector<uint8_t>{};
    return qm::diag::MatchFunction(*this, data, size, requestBytes);
}

uint64_t CUDSFunction::DecodeMessage(const uint8_t* data, uint64_t size) {
    qm::diag::CodecScratch& scratch = Scratch();
    scratch.tree =
        data ? qm::diag::DecodeFunction(*this, data, size) : std::vector<qm::diag::DecodedParam>{};
    scratch.flat.clear();
    qm::diag::Flatten(scratch.tree, -1, -1, scratch.flat);
    return scratch.flat.size();
}

const DiagDecodedField* CUDSFunction::GetDecodedFields() {
    return Scratch().flat.data();
}

uint8_t CUDSFunction::EncodeMessage(uint64_t count, const char* const* names,
                                    const char* const* values, uint8_t checked) {
    qm::diag::CodecScratch& scratch = Scratch();
    scratch.error.clear();
    if (checked == 0) {
        scratch.encoded = qm::diag::EncodeDefaults(*this);
        return 1;
    }
    std::map<std::string, std::string> given;
    for (uint64_t i = 0; i < count; ++i) {
        if (names == nullptr || values == nullptr || names[i] == nullptr || values[i] == nullptr)
            continue;
        given[names[i]] = values[i];
    }
    return qm::diag::EncodeFunction(*this, given, scratch.encoded, scratch.error) ? 1 : 0;
}

const uint8_t* CUDSFunction::GetEncodedBytes() {
    return Scratch().encoded.data();
}

uint64_t CUDSFunction::GetEncodedSize() {
    return Scratch().encoded.size();
}

const char* CUDSFunction::GetEncodeError() {
    return Scratch().error.c_str();
}
