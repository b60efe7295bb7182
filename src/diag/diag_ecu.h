#pragma once
// ECU variants with their functional classes, service groups and DTCs.
#include <memory>
#include <string>
#include <vector>

#include "diag/diag_service.h"

class CDTCStatusFlag : public IDTCStatusFlag {
  public:
    CDTCStatusFlag() = default;
    CDTCStatusFlag(std::string name, std::string descr)
        : name(std::move(name)), descr(std::move(descr)) {}
    const char* GetName() override { return name.c_str(); }
    const char* GetDescr() override { return descr.c_str(); }

    std::string name, descr;
};

class CDTC : public IDTC {
  public:
    const char* GetName() override { return name.c_str(); }
    uint32_t GetValue() override { return value; }
    const char* GetDisp() override { return disp.c_str(); }
    const char* GetText() override { return text.c_str(); }
    uint32_t GetLevel() override { return level; }
    uint64_t GetSdCount() override { return sdg.size(); }
    IDTCStatusFlag* GetSd(uint64_t index) override {
        return index < sdg.size() ? sdg[index].get() : nullptr;
    }

    std::string name, text, disp;
    std::vector<std::unique_ptr<CDTCStatusFlag>> sdg;
    uint32_t value = 0;
    uint32_t level = 0;
};

class CECU : public IECU, public IECUGlobalResponses, public IECUMessageFinders, public IECULayer {
  public:
    ~CECU() override;

    const char* GetLongName() override { return longName.c_str(); }
    const char* GetShortName() override { return shortName.c_str(); }
    const char* GetVariantName() override { return variantName.c_str(); }
    const char* GetQual() override { return qual.c_str(); }
    uint8_t IsJobFile() override { return isJobFile; }
    const char* GetLayerKind() override { return layerKind.c_str(); }
    uint64_t GetFunctionalClassCount() override { return VisibleClasses().size(); }
    IFunctionalClass* GetFunctionalClass(uint64_t index) override;
    uint64_t GetDtcCount() override { return dtcs.size(); }
    IDTC* GetDtc(uint64_t index) override {
        return index < dtcs.size() ? dtcs[index].get() : nullptr;
    }
    const char* GetXmlLocation() override { return xmlLocation.c_str(); }
    void SetShortName(const char* text) override;
    uint64_t GetGlobalNegativeResponseCount() override { return globalNegativeResponses.size(); }
    IUDSFunction* GetGlobalNegativeResponse(uint64_t index) override {
        return index < globalNegativeResponses.size() ? globalNegativeResponses[index].get()
                                                      : nullptr;
    }
    IMessageFinder* CreateMessageFinder() override;

    // Rebuilds the service groups from copies of the file's services.
    void BuildServiceGroups();
    // Calls fn on every function of the groups (when grouping) and of the file's classes.
    template <typename Fn>
    void ForEachFunction(bool includeGroups, Fn&& fn) {
        if (includeGroups) {
            for (auto& group : serviceGroups) {
                for (auto& service : group->services) service->ForEachFunction(fn);
            }
        }
        for (auto& cls : functionalClasses) {
            for (auto& service : cls->services) service->ForEachFunction(fn);
        }
    }

    std::string shortName, longName, variantName, qual, xmlLocation;
    // The ODX layer element's name, read as written (IECULayer).
    std::string layerKind;
    uint8_t isJobFile = 0;
    std::vector<std::unique_ptr<CFunctionalClass>> functionalClasses;
    std::vector<std::unique_ptr<CFunctionalClass>> serviceGroups;
    std::vector<std::unique_ptr<CUDSService>> serviceCopies;
    std::vector<std::unique_ptr<CDTC>> dtcs;
    // ODX read as written: the responses the layer gives for every service (GLOBAL-NEG-RESPONSES).
    std::vector<std::unique_ptr<CUDSFunction>> globalNegativeResponses;
    uint8_t grouping = 0;

  private:
    const std::vector<std::unique_ptr<CFunctionalClass>>& VisibleClasses() const {
        return grouping ? serviceGroups : functionalClasses;
    }
};
