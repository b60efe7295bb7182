#pragma once
// A message (frame) of the network model. Its signals belong to the database.
#include <string>
#include <vector>

#include "netconfig/net_attribute.h"
#include "quillmere/netconfig.h"

class NetEcu;
class NetSignal;

class NetMessage : public INetMessage, public INetMessageAddressing {
  public:
    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint32_t GetId() override { return id_; }
    uint8_t GetSize() override { return size_; }
    bool IsPayload(const uint8_t* payload) override { return payload != nullptr; }
    bool SetData(const uint8_t* payload) override;
    INetEcu* GetTransmitter() override;
    uint64_t GetReceiverCount() override { return receivers_.size(); }
    INetEcu* FindReceiver(const char* name) override;
    INetEcu* GetReceiver(uint64_t index) override;
    uint64_t GetSignalCount() override { return signals_.size(); }
    INetSignal* FindSignal(const char* name) override;
    INetSignal* GetSignal(uint64_t index) override;
    uint64_t GetPropertyCount() override { return properties_.Count(); }
    INetAttribute* FindProperty(const char* name) override { return properties_.Find(name); }
    INetAttribute* GetProperty(uint64_t index) override { return properties_.At(index); }
    uint64_t GetFileAttributeCount() override { return fileAttributes_.Count(); }
    INetAttribute* FindFileAttribute(const char* name) override;
    INetAttribute* GetFileAttribute(uint64_t index) override;

    // Building, used by the conversions.
    void SetName(std::string name) { name_ = std::move(name); }
    void SetId(uint32_t id) { id_ = id; }
    void SetSize(uint8_t size) { size_ = size; }
    // Whether the identifier is a 29-bit CAN identifier; kept for the DBC file generated from
    // the database.
    void SetExtended(bool extended) { extended_ = extended; }
    bool IsExtended() const { return extended_; }
    bool IsExtendedId() override { return extended_; }
    void SetTransmitter(NetEcu* ecu) { transmitter_ = ecu; }
    NetEcu* Transmitter() const { return transmitter_; }
    bool AddReceiver(NetEcu* ecu);
    void AddSignal(NetSignal* signal) { signals_.push_back(signal); }
    const std::vector<NetSignal*>& Signals() const { return signals_; }
    const std::vector<NetEcu*>& Receivers() const { return receivers_; }
    NetAttributeList& Properties() { return properties_; }
    NetAttributeList& FileAttributes() { return fileAttributes_; }

  private:
    NetEcu* transmitter_ = nullptr;
    std::vector<NetEcu*> receivers_;
    std::vector<NetSignal*> signals_;
    uint32_t id_ = 0;
    std::string name_;
    uint8_t size_ = 0;
    bool extended_ = false;
    NetAttributeList properties_;
    NetAttributeList fileAttributes_;
};
