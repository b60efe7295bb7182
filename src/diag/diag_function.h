#pragma once
// One message of a diagnostic service.
#include <memory>
#include <string>
#include <vector>

#include "diag/diag_param.h"

namespace qm::diag {
struct CodecScratch;
// Frees the codec's results (defined with them in diag_codec.cpp).
struct CodecScratchDeleter {
    void operator()(CodecScratch* scratch) const;
};
}  // namespace qm::diag

class CUDSFunction : public IUDSFunction, public IUDSFunctionCodec {
  public:
    CUDSFunction();
    ~CUDSFunction() override;
    CUDSFunction(const CUDSFunction& other);
    CUDSFunction& operator=(const CUDSFunction&) = delete;

    static void* operator new(size_t size) { return qm::diag::PooledNew<CUDSFunction>(size); }
    static void operator delete(void* block, size_t size) noexcept {
        qm::diag::PooledDelete<CUDSFunction>(block, size);
    }

    const char* GetType() override { return type.c_str(); }
    const char* GetName() override { return name.c_str(); }
    const char* GetDesc() override { return desc.c_str(); }
    const char* GetQual() override { return qual.c_str(); }
    uint64_t GetParamCount() override { return params.size(); }
    IParam* GetParam(uint64_t index) override;
    IParam* FindParam(const char* name) override;
    uint64_t Encode(uint8_t* buffer, uint64_t size) override;
    const char* GetXmlLocation() override { return xmlLocation.c_str(); }

    int64_t MatchMessage(const uint8_t* data, uint64_t size, const uint8_t* request,
                         uint64_t requestSize) override;
    uint64_t DecodeMessage(const uint8_t* data, uint64_t size) override;
    const DiagDecodedField* GetDecodedFields() override;
    uint8_t EncodeMessage(uint64_t count, const char* const* names, const char* const* values,
                          uint8_t checked) override;
    const uint8_t* GetEncodedBytes() override;
    uint64_t GetEncodedSize() override;
    const char* GetEncodeError() override;

    // Appends a parameter owned by this function.
    CParam* AddParam(std::unique_ptr<CParam> param);
    // Sorts the parameters (and everything below them) by position.
    void SortParameters();
    // Sorts by position and assigns every absolute bit offset.
    void ReLayOut();
    void SetByteOrder(uint32_t order);

    // The type, name and description come from the protocol service's message, alike for
    // every service built from it: shared.
    qm::diag::SharedText type, name, desc, odxId;
    std::string qual, xmlLocation;
    std::vector<std::unique_ptr<CParam>> params;

  private:
    // The codec's results, made on first use (most functions are never decoded).
    qm::diag::CodecScratch& Scratch();
    std::unique_ptr<qm::diag::CodecScratch, qm::diag::CodecScratchDeleter> scratch_;
};
