#pragma once
// An ECU of the SOME/IP database: its service configurations and its PDU groups.
#include <memory>
#include <string>

#include "quillmere/someip.h"
#include "someip/owned_items.h"
#include "someip/pdu_model.h"
#include "someip/service_cfg.h"

namespace qm::someip {

class CEcu : public IEcu {
  public:
    explicit CEcu(std::string name) : name_(std::move(name)) {}
    void Clear() override {
        name_.clear();
        services.Clear();
        nodes.Clear();
    }
    const char* GetName() override { return name_.c_str(); }
    uint64_t GetServiceCount() override { return services.Count(); }
    ISomeIpServiceCfg* GetService(uint64_t index) override { return services.At(index); }
    ISomeIpServiceCfg* FindService(const char* name) override { return services.Find(name); }
    uint64_t GetNodeCount() override { return nodes.Count(); }
    INode* GetNode(uint64_t index) override { return nodes.At(index); }
    INode* FindNode(const char* name) override { return nodes.Find(name); }
    IPdu* FindPdu(const char* name) override;
    ISignal* FindSignal(const char* name) override;

    const std::string& Name() const { return name_; }
    // The service configuration of that name, created (empty) and appended when missing.
    CSomeIpServiceCfg* ServiceNamed(const std::string& name);

    OwnedItems<CSomeIpServiceCfg> services;
    OwnedItems<CNode> nodes;

  private:
    std::string name_;
};

}  // namespace qm::someip
