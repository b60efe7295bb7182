#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "arxml_com/arxml_ecu.h"
#include "arxml_com/arxml_pdu.h"
#include "arxml_com/named_list.h"
#include "quillmere/arxml_com.h"

namespace qm::arxml {

// A CAN, LIN or Ethernet cluster with the ECUs connected to it and the PDUs triggered on it.
class ArxmlCluster : public IArxmlCluster {
  public:
    ArxmlCluster() = default;
    ArxmlCluster(const ArxmlCluster&) = delete;
    ArxmlCluster& operator=(const ArxmlCluster&) = delete;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    int32_t GetClusterKind() override { return kind_; }
    uint64_t GetBaudrate() override { return baudrate_; }
    uint64_t GetCanFdBaudrate() override { return canFdBaudrate_; }
    const char* GetProtocolName() override { return protocolName_.c_str(); }
    const char* GetProtocolVersion() override { return protocolVersion_.c_str(); }
    uint64_t GetEcuCount() override { return ecus_.Count(); }
    IArxmlEcu* GetEcu(uint64_t index) override { return ecus_.At(index); }
    IArxmlEcu* FindEcu(const char* name) override { return ecus_.Find(name); }
    uint64_t GetPduCount() override { return pdus_.Count(); }
    IArxmlPdu* GetPdu(uint64_t index) override { return pdus_.At(index); }
    IArxmlPdu* FindPdu(const char* name) override { return pdus_.Find(name); }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetKind(int32_t kind) { kind_ = kind; }
    void SetBaudrate(uint64_t baudrate) { baudrate_ = baudrate; }
    void SetCanFdBaudrate(uint64_t baudrate) { canFdBaudrate_ = baudrate; }
    void SetProtocolName(std::string text) { protocolName_ = std::move(text); }
    void SetProtocolVersion(std::string text) { protocolVersion_ = std::move(text); }
    ArxmlEcu* AddEcu(std::unique_ptr<ArxmlEcu> ecu) { return ecus_.Add(std::move(ecu)); }
    void AddPdu(ArxmlPdu* pdu, bool once) { pdus_.Add(pdu, once); }
    const std::vector<ArxmlEcu*>& Ecus() const { return ecus_.Items(); }
    const std::vector<ArxmlPdu*>& Pdus() const { return pdus_.Items(); }

  private:
    std::string name_;
    int32_t kind_ = kArxmlClusterNone;
    uint64_t baudrate_ = 0;
    uint64_t canFdBaudrate_ = 0;
    std::string protocolName_;
    std::string protocolVersion_;
    OwnedNamedList<ArxmlEcu> ecus_;
    NamedList<ArxmlPdu> pdus_;
};

}  // namespace qm::arxml
