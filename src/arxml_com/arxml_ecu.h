#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "arxml_com/arxml_pdu.h"
#include "arxml_com/arxml_pdu_group.h"
#include "arxml_com/named_list.h"
#include "quillmere/arxml_com.h"

namespace qm::arxml {

// CAN-CONTROLLER-FD-REQUIREMENTS of a controller.
struct CanFdRequirements {
    bool present = false;
    uint32_t maxTimeQuantaPerBit = 0;
    float maxSamplePoint = 0.0f;
    float maxSyncJumpWidth = 0.0f;
    float maxTrcvDelayCompensationOffset = 0.0f;
    uint32_t minTimeQuantaPerBit = 0;
    float minSamplePoint = 0.0f;
    float minSyncJumpWidth = 0.0f;
    float minTrcvDelayCompensationOffset = 0.0f;
    bool txBitRateSwitch = false;
};

// CAN-CONTROLLER-CONFIGURATION-REQUIREMENTS of a controller.
struct CanConfigurationRequirements {
    uint32_t maxTimeQuantaPerBit = 0;
    float maxSamplePoint = 0.0f;
    float maxSyncJumpWidth = 0.0f;
    uint32_t minTimeQuantaPerBit = 0;
    float minSamplePoint = 0.0f;
    float minSyncJumpWidth = 0.0f;
};

// LIN-MASTER-CONDITIONAL of a LIN controller.
struct LinMasterTiming {
    std::string protocolVersion;
    float timeBase = 0.0f;
    float timeBaseJitter = 0.0f;
};

// An ECU as connected to one cluster, with its controller's requirements.
class ArxmlEcu : public IArxmlEcu {
  public:
    ArxmlEcu() = default;
    ArxmlEcu(const ArxmlEcu&) = delete;
    ArxmlEcu& operator=(const ArxmlEcu&) = delete;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    int32_t GetNumber() override { return number_; }
    const char* GetLongName() override { return longName_.c_str(); }
    const char* GetDescription() override { return description_.c_str(); }
    uint32_t GetDiagnosticAddress() override { return diagnosticAddress_; }
    bool IsSleepModeSupported() override { return sleepModeSupported_; }
    bool IsWakeUpOverBusSupported() override { return wakeUpOverBusSupported_; }
    uint64_t GetPduGroupCount() override { return pduGroups_.Count(); }
    IArxmlPduGroup* GetPduGroup(uint64_t index) override { return pduGroups_.At(index); }
    IArxmlPduGroup* FindPduGroup(const char* name) override { return pduGroups_.Find(name); }
    uint64_t GetTxPduCount() override { return txPdus_.Count(); }
    IArxmlPdu* GetTxPdu(uint64_t index) override { return txPdus_.At(index); }
    IArxmlPdu* FindTxPdu(const char* name) override { return txPdus_.Find(name); }
    uint64_t GetRxPduCount() override { return rxPdus_.Count(); }
    IArxmlPdu* GetRxPdu(uint64_t index) override { return rxPdus_.At(index); }
    IArxmlPdu* FindRxPdu(const char* name) override { return rxPdus_.Find(name); }
    bool HasCanFdRequirements() override { return fd_.present; }
    uint32_t GetFdMaxTimeQuantaPerBit() override { return fd_.maxTimeQuantaPerBit; }
    float GetFdMaxSamplePoint() override { return fd_.maxSamplePoint; }
    float GetFdMaxSyncJumpWidth() override { return fd_.maxSyncJumpWidth; }
    float GetFdMaxTrcvDelayCompensationOffset() override {
        return fd_.maxTrcvDelayCompensationOffset;
    }
    uint32_t GetFdMinTimeQuantaPerBit() override { return fd_.minTimeQuantaPerBit; }
    float GetFdMinSamplePoint() override { return fd_.minSamplePoint; }
    float GetFdMinSyncJumpWidth() override { return fd_.minSyncJumpWidth; }
    float GetFdMinTrcvDelayCompensationOffset() override {
        return fd_.minTrcvDelayCompensationOffset;
    }
    bool IsTxBitRateSwitch() override { return fd_.txBitRateSwitch; }
    bool IsWakeUpOverControllerSupported() override { return wakeUpOverControllerSupported_; }
    uint32_t GetMaxTimeQuantaPerBit() override { return configuration_.maxTimeQuantaPerBit; }
    float GetMaxSamplePoint() override { return configuration_.maxSamplePoint; }
    float GetMaxSyncJumpWidth() override { return configuration_.maxSyncJumpWidth; }
    uint32_t GetMinTimeQuantaPerBit() override { return configuration_.minTimeQuantaPerBit; }
    float GetMinSamplePoint() override { return configuration_.minSamplePoint; }
    float GetMinSyncJumpWidth() override { return configuration_.minSyncJumpWidth; }
    const char* GetLinProtocolVersion() override { return linMaster_.protocolVersion.c_str(); }
    float GetTimeBase() override { return linMaster_.timeBase; }
    float GetTimeBaseJitter() override { return linMaster_.timeBaseJitter; }
    bool IsLinMaster() override { return isLinMaster_; }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetNumber(int32_t number) { number_ = number; }
    void SetLongName(std::string text) { longName_ = std::move(text); }
    void SetDescription(std::string text) { description_ = std::move(text); }
    void SetDiagnosticAddress(uint32_t address) { diagnosticAddress_ = address; }
    void SetSleepModeSupported(bool value) { sleepModeSupported_ = value; }
    void SetWakeUpOverBusSupported(bool value) { wakeUpOverBusSupported_ = value; }
    void SetWakeUpOverControllerSupported(bool value) { wakeUpOverControllerSupported_ = value; }
    CanFdRequirements& FdRequirements() { return fd_; }
    CanConfigurationRequirements& ConfigurationRequirements() { return configuration_; }
    void SetLinMaster(LinMasterTiming timing) {
        isLinMaster_ = true;
        linMaster_ = std::move(timing);
    }

    ArxmlPduGroup* AddPduGroup(std::unique_ptr<ArxmlPduGroup> group) {
        return pduGroups_.Add(std::move(group));
    }
    void AddTxPdu(ArxmlPdu* pdu, bool once) { txPdus_.Add(pdu, once); }
    void AddRxPdu(ArxmlPdu* pdu, bool once) { rxPdus_.Add(pdu, once); }
    const std::vector<ArxmlPduGroup*>& PduGroups() const { return pduGroups_.Items(); }
    const std::vector<ArxmlPdu*>& TxPdus() const { return txPdus_.Items(); }
    const std::vector<ArxmlPdu*>& RxPdus() const { return rxPdus_.Items(); }

  private:
    std::string name_;
    int32_t number_ = -1;
    std::string longName_;
    std::string description_;
    uint32_t diagnosticAddress_ = 0;
    bool isLinMaster_ = false;
    bool sleepModeSupported_ = false;
    bool wakeUpOverBusSupported_ = false;
    OwnedNamedList<ArxmlPduGroup> pduGroups_;
    NamedList<ArxmlPdu> txPdus_;
    NamedList<ArxmlPdu> rxPdus_;
    CanFdRequirements fd_;
    bool wakeUpOverControllerSupported_ = false;
    CanConfigurationRequirements configuration_;
    LinMasterTiming linMaster_;
};

}  // namespace qm::arxml
