#pragma once
// Diagnostic services and the functional classes that hold them.
#include <memory>
#include <string>
#include <vector>

#include "diag/diag_function.h"

class CUDSService : public IUDSService {
  public:
    CUDSService() = default;
    // Deep copy of the three message lists and the sessions.
    CUDSService(const CUDSService& other);
    CUDSService& operator=(const CUDSService&) = delete;

    static void* operator new(size_t size) { return qm::diag::PooledNew<CUDSService>(size); }
    static void operator delete(void* block, size_t size) noexcept {
        qm::diag::PooledDelete<CUDSService>(block, size);
    }

    const char* GetName() override { return name.c_str(); }
    const char* GetLongName() override { return longName.c_str(); }
    const char* GetType() override { return type.c_str(); }
    const char* GetDesc() override { return desc.c_str(); }
    const char* GetQual() override { return qual.c_str(); }
    const char* GetSecurityExecLevels() override { return securityExecLevels.c_str(); }
    uint8_t IsMandatory() override { return isMandatory; }
    uint8_t IsActive() override { return isActive; }
    uint8_t GetServiceId() override;
    uint64_t GetRequestCount() override { return requests.size(); }
    IUDSFunction* GetRequest(uint64_t index) override { return At(requests, index); }
    uint64_t GetPositiveResponseCount() override { return positiveResponses.size(); }
    IUDSFunction* GetPositiveResponse(uint64_t index) override {
        return At(positiveResponses, index);
    }
    uint64_t GetNegativeResponseCount() override { return negativeResponses.size(); }
    IUDSFunction* GetNegativeResponse(uint64_t index) override {
        return At(negativeResponses, index);
    }
    uint8_t GetSession(uint64_t index) override;
    uint64_t GetSessionCount() override { return sessions.size(); }
    bool HasSession(uint8_t id) override;
    const char* GetXmlLocation() override { return xmlLocation.c_str(); }
    void SetName(const char* text) override { name = text ? text : ""; }

    // Calls fn on every request and response function.
    template <typename Fn>
    void ForEachFunction(Fn&& fn) {
        for (auto& f : requests) fn(*f);
        for (auto& f : positiveResponses) fn(*f);
        for (auto& f : negativeResponses) fn(*f);
    }

    std::string name, longName, desc, type, odxIdRef, qual, xmlLocation, securityExecLevels;
    uint8_t serviceId = 0;
    uint8_t isMandatory = 0;
    uint8_t isActive = 1;
    std::vector<std::unique_ptr<CUDSFunction>> requests;
    std::vector<std::unique_ptr<CUDSFunction>> positiveResponses;
    std::vector<std::unique_ptr<CUDSFunction>> negativeResponses;
    std::vector<uint8_t> sessions;

  private:
    static IUDSFunction* At(const std::vector<std::unique_ptr<CUDSFunction>>& list,
                            uint64_t index) {
        return index < list.size() ? list[index].get() : nullptr;
    }
};

class CFunctionalClass : public IFunctionalClass {
  public:
    const char* GetName() override { return name.c_str(); }
    const char* GetDesc() override { return desc.c_str(); }
    const char* GetQual() override { return qual.c_str(); }
    uint64_t GetServiceCount() override { return services.size(); }
    IUDSService* GetService(uint64_t index) override;
    const char* GetXmlLocation() override { return xmlLocation.c_str(); }
    void SetName(const char* text) override { name = text ? text : ""; }

    std::string name, desc, odxId, qual, xmlLocation;
    std::vector<std::unique_ptr<CUDSService>> services;
};
