#pragma once
// Two address-ordered sets, of messages and of signals, that a host fills for its own use.
#include "netconfig/net_lookup.h"
#include "quillmere/netconfig.h"

class NetFrameDiagnostic : public INetFrameDiagnostic {
  public:
    void Clear() override;
    void AddMessage(INetMessage* message) override;
    void AddFrame(INetMessage* message) override;
    void AddSignal(INetSignal* signal) override;
    uint64_t GetMessageCount() override { return messages_.Count(); }
    INetMessage* FindMessage(const char* name) override { return messages_.FindName(name); }
    INetMessage* GetMessage(uint64_t index) override { return messages_.At(index); }
    uint64_t GetSignalCount() override { return signals_.Count(); }
    INetSignal* FindSignal(const char* name) override { return signals_.FindName(name); }
    INetSignal* GetSignal(uint64_t index) override { return signals_.At(index); }

  private:
    qm::net::PointerSet<INetMessage> messages_;
    qm::net::PointerSet<INetSignal> signals_;
};
