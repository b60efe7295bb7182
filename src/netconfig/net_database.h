#pragma once
// One bus of the network model: owns its ECUs, messages and signals, and refers to the DBC or
// LDF file object it came from (or owns one generated from it on demand).
#include <memory>
#include <string>
#include <vector>

#include "netconfig/net_attribute.h"
#include "netconfig/net_ecu.h"
#include "netconfig/net_lookup.h"
#include "netconfig/net_message.h"
#include "netconfig/net_signal.h"
#include "quillmere/netconfig.h"

class NetDataBase : public INetDataBase {
  public:
    NetDataBase() = default;
    ~NetDataBase() override;
    NetDataBase(const NetDataBase&) = delete;
    NetDataBase& operator=(const NetDataBase&) = delete;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint32_t GetBusType() override { return busType_; }
    bool IsFromArxml() override { return fromArxml_ != 0; }
    bool IsFromFile() override { return fromArxml_ == 0; }
    bool SaveAs(const char* path) override;
    INetConfigLdfFile* GetLdfFile() override;
    INetConfigDbcFile* GetDbcFile() override;
    uint64_t GetEcuCount() override { return ecus_.size(); }
    INetEcu* GetEcu(uint64_t index) override;
    INetEcu* FindEcu(const char* name) override;
    uint64_t GetMessageCount() override { return messages_.size(); }
    INetMessage* FindMessage(const char* name) override;
    INetMessage* FindMessage(uint32_t id) override;
    INetMessage* GetMessage(uint64_t index) override;
    uint64_t GetSignalCount() override { return signals_.size(); }
    INetSignal* FindSignal(const char* name) override;
    INetSignal* GetSignal(uint64_t index) override;
    uint64_t GetPropertyCount() override { return properties_.Count(); }
    INetAttribute* FindProperty(const char* name) override { return properties_.Find(name); }
    INetAttribute* GetProperty(uint64_t index) override { return properties_.At(index); }
    uint64_t GetFileAttributeCount() override { return fileAttributes_.Count(); }
    INetAttribute* FindFileAttribute(const char* name) override;
    INetAttribute* GetFileAttribute(uint64_t index) override;

    // Building, used by the conversions. Names are indexed on the first find after an addition,
    // so a conversion sets an object's name before anyone looks it up.
    void SetName(std::string name) { name_ = std::move(name); }
    void SetBusType(uint32_t busType) { busType_ = busType; }
    void SetFromArxml(bool fromArxml) { fromArxml_ = fromArxml ? 1 : 0; }
    NetEcu* AddEcu(std::unique_ptr<NetEcu> ecu);
    NetMessage* AddMessage(std::unique_ptr<NetMessage> message);
    NetSignal* AddSignal(std::unique_ptr<NetSignal> signal);
    NetEcu* EcuByName(const std::string& name);
    const std::vector<std::unique_ptr<NetEcu>>& Ecus() const { return ecus_; }
    const std::vector<std::unique_ptr<NetMessage>>& Messages() const { return messages_; }
    const std::vector<std::unique_ptr<NetSignal>>& Signals() const { return signals_; }
    NetAttributeList& Properties() { return properties_; }
    NetAttributeList& FileAttributes() { return fileAttributes_; }

    // The file object the database was converted from; the configuration owns it.
    void SetSourceFile(INetConfigDbcFile* dbc, INetFile* asFile);
    void SetSourceFile(INetConfigLdfFile* ldf, INetFile* asFile);
    // The file object of the database's bus kind held right now (source or generated), without
    // generating one.
    INetFile* CurrentFile() const;

  private:
    // A file object of one kind: the source (not owned) or one generated from the model (owned).
    template <class File>
    struct FileSlot {
        File* file = nullptr;
        INetFile* asFile = nullptr;
        bool owned = false;
        void Reset();
    };

    // Keeps a generated file object of the database's kind for later calls.
    void GenerateDbcFile();
    void GenerateLdfFile();
    // A new DBC (CAN) or LDF (LIN) file object describing the model; null for other buses.
    std::unique_ptr<INetFile> NewGeneratedFile();

    std::string name_;
    uint32_t busType_ = kNetBusUnknown;
    uint8_t fromArxml_ = 0;
    std::vector<std::unique_ptr<NetEcu>> ecus_;
    std::vector<std::unique_ptr<NetMessage>> messages_;
    std::vector<std::unique_ptr<NetSignal>> signals_;
    NetAttributeList properties_;
    NetAttributeList fileAttributes_;
    FileSlot<INetConfigDbcFile> dbcFile_;
    FileSlot<INetConfigLdfFile> ldfFile_;

    qm::net::FirstMatchIndex<std::string, NetEcu> ecuByName_;
    qm::net::FirstMatchIndex<std::string, NetMessage> messageByName_;
    qm::net::FirstMatchIndex<uint32_t, NetMessage> messageById_;
    qm::net::FirstMatchIndex<std::string, NetSignal> signalByName_;
};
