#pragma once
// An ECU (node) of the network model: the messages it sends and receives and the signals it
// receives, each an address-ordered set of objects the database owns.
#include <string>

#include "netconfig/net_attribute.h"
#include "netconfig/net_lookup.h"
#include "quillmere/netconfig.h"

class NetMessage;
class NetSignal;

class NetEcu : public INetEcu {
  public:
    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint64_t GetTxMessageCount() override { return txMessages_.Count(); }
    INetMessage* FindTxMessage(const char* name) override;
    INetMessage* FindTxMessage(uint32_t id) override;
    INetMessage* GetTxMessage(uint64_t index) override;
    uint64_t GetRxMessageCount() override { return rxMessages_.Count(); }
    INetMessage* FindRxMessage(const char* name) override;
    INetMessage* FindRxMessage(uint32_t id) override;
    INetMessage* GetRxMessage(uint64_t index) override;
    uint64_t GetRxSignalCount() override { return rxSignals_.Count(); }
    INetSignal* FindRxSignal(const char* name) override;
    INetSignal* GetRxSignal(uint64_t index) override;
    uint64_t GetPropertyCount() override { return properties_.Count(); }
    INetAttribute* FindProperty(const char* name) override { return properties_.Find(name); }
    INetAttribute* GetProperty(uint64_t index) override { return properties_.At(index); }
    uint64_t GetFileAttributeCount() override { return fileAttributes_.Count(); }
    INetAttribute* FindFileAttribute(const char* name) override;
    INetAttribute* GetFileAttribute(uint64_t index) override;
    uint8_t IsSlave() override { return slave_; }
    uint8_t IsMaster() override { return master_; }

    // Building, used by the conversions.
    void SetName(std::string name) { name_ = std::move(name); }
    void SetLinRole(uint8_t master, uint8_t slave) {
        master_ = master;
        slave_ = slave;
    }
    void AddTxMessage(NetMessage* message) { txMessages_.Insert(message); }
    void AddRxMessage(NetMessage* message) { rxMessages_.Insert(message); }
    void AddRxSignal(NetSignal* signal) { rxSignals_.Insert(signal); }
    const qm::net::PointerSet<NetMessage>& TxMessages() const { return txMessages_; }
    const qm::net::PointerSet<NetMessage>& RxMessages() const { return rxMessages_; }
    const qm::net::PointerSet<NetSignal>& RxSignals() const { return rxSignals_; }
    NetAttributeList& Properties() { return properties_; }
    NetAttributeList& FileAttributes() { return fileAttributes_; }

  private:
    std::string name_;
    qm::net::PointerSet<NetMessage> txMessages_;
    qm::net::PointerSet<NetMessage> rxMessages_;
    qm::net::PointerSet<NetSignal> rxSignals_;
    NetAttributeList properties_;
    NetAttributeList fileAttributes_;
    uint8_t slave_ = 0;
    uint8_t master_ = 0;
};
