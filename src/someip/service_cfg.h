#pragma once
// A SOME/IP service of an ECU with its deployment: identifiers, version, discovery timing,
// fields with their accessors, events and event groups, and the structures of its data types.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmere/someip.h"
#include "someip/owned_items.h"
#include "someip/struct_datatype.h"

namespace qm::someip {

// Getter, notifier and setter share their shape: a name, an identifier and a transport text.
template <class Interface>
class CFieldAccessorImpl : public Interface {
  public:
    explicit CFieldAccessorImpl(std::string name = {}, uint16_t id = 0)
        : name_(std::move(name)), id_(id) {}
    void Clear() override {
        name_.clear();
        id_ = 0;
        transport_ = "UDP";
    }
    const char* GetName() override { return name_.c_str(); }
    uint16_t GetId() override { return id_; }
    const char* GetTransportProtocol() override { return transport_.c_str(); }

  private:
    std::string name_;
    uint16_t id_ = 0;
    std::string transport_ = "UDP";
};

class CFieldGet : public CFieldAccessorImpl<IFieldGet> {
    using CFieldAccessorImpl::CFieldAccessorImpl;
};
class CFieldNotifier : public CFieldAccessorImpl<IFieldNotifier> {
    using CFieldAccessorImpl::CFieldAccessorImpl;
};
class CFieldSet : public CFieldAccessorImpl<IFieldSet> {
    using CFieldAccessorImpl::CFieldAccessorImpl;
};

// Finds a service configuration among back pointers by its name.
ISomeIpServiceCfg* FindServiceByName(const ItemViews<ISomeIpServiceCfg>& users, const char* name);

class CFieldDeployment : public IFieldDeployment {
  public:
    CFieldDeployment(std::string deploymentName, std::string fieldName)
        : deploymentName_(std::move(deploymentName)), fieldName_(std::move(fieldName)) {}
    void Clear() override;
    const char* GetDeploymentName() override { return deploymentName_.c_str(); }
    const char* GetFieldName() override { return fieldName_.c_str(); }
    IFieldGet* GetGetter() override { return getter_.get(); }
    IFieldNotifier* GetNotifier() override { return notifier_.get(); }
    IFieldSet* GetSetter() override { return setter_.get(); }
    uint64_t GetUserCount() override { return users_.Count(); }
    ISomeIpServiceCfg* GetUser(uint64_t index) override { return users_.At(index); }
    ISomeIpServiceCfg* FindUser(const char* serviceName) override {
        return FindServiceByName(users_, serviceName);
    }

    const std::string& Name() const { return fieldName_; }
    void SetGetter(std::unique_ptr<CFieldGet> getter) { getter_ = std::move(getter); }
    void SetNotifier(std::unique_ptr<CFieldNotifier> notifier) { notifier_ = std::move(notifier); }
    void SetSetter(std::unique_ptr<CFieldSet> setter) { setter_ = std::move(setter); }
    void AddUser(ISomeIpServiceCfg* user) { users_.Add(user); }

  private:
    std::string deploymentName_;
    std::string fieldName_;
    std::unique_ptr<CFieldGet> getter_;
    std::unique_ptr<CFieldNotifier> notifier_;
    std::unique_ptr<CFieldSet> setter_;
    ItemViews<ISomeIpServiceCfg> users_;
};

class CEventGroup : public IEventGroup {
  public:
    CEventGroup(std::string name, uint16_t id) : name_(std::move(name)), id_(id) {}
    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint16_t GetEventGroupId() override { return id_; }
    uint64_t GetEventRefCount() override { return eventRefs_.size(); }
    const char* GetEventRef(uint64_t index) override { return TextAt(eventRefs_, index); }
    uint64_t GetUserCount() override { return users_.Count(); }
    ISomeIpServiceCfg* GetUser(uint64_t index) override { return users_.At(index); }
    ISomeIpServiceCfg* FindUser(const char* serviceName) override {
        return FindServiceByName(users_, serviceName);
    }

    const std::string& Name() const { return name_; }
    void AddEventRef(std::string ref) { eventRefs_.push_back(std::move(ref)); }
    void AddUser(ISomeIpServiceCfg* user) { users_.Add(user); }

  private:
    std::string name_;
    uint16_t id_ = 0;
    std::vector<std::string> eventRefs_;
    ItemViews<ISomeIpServiceCfg> users_;
};

class CEventDeployment : public IEventDeployment {
  public:
    CEventDeployment(std::string name, uint16_t id, std::string transport)
        : name_(std::move(name)), id_(id), transport_(std::move(transport)) {}
    void Clear() override {
        name_.clear();
        id_ = 0;
        transport_.clear();
    }
    const char* GetName() override { return name_.c_str(); }
    uint16_t GetEventId() override { return id_; }
    const char* GetTransportProtocol() override { return transport_.c_str(); }
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
    uint16_t id_ = 0;
    std::string transport_;
};

// Role codes of a service configuration.
enum ServiceRole : uint32_t { kRoleUndefined = 0, kRoleRequired = 1, kRoleProvided = 2 };

class CSomeIpServiceCfg : public ISomeIpServiceCfg {
  public:
    explicit CSomeIpServiceCfg(std::string name) : name_(std::move(name)) {}
    void Clear() override;
    uint32_t GetRole() override { return role_; }
    const char* GetRoleText() override { return roleText_.c_str(); }
    const char* GetName() override { return name_.c_str(); }
    uint16_t GetInstanceId() override { return instanceId; }
    uint16_t GetServiceInterfaceId() override { return serviceInterfaceId; }
    uint8_t GetMajorVersion() override { return majorVersion; }
    uint32_t GetMinorVersion() override { return minorVersion; }
    uint32_t GetTimeToLive() override { return timeToLive; }
    double GetInitialDelayMax() override { return initialDelayMax; }
    double GetInitialDelayMin() override { return initialDelayMin; }
    double GetInitialRepetitionsBaseDelay() override { return initialRepetitionsBaseDelay; }
    int32_t GetInitialRepetitionsMax() override { return initialRepetitionsMax; }
    double GetCyclicDelay() override { return cyclicDelay; }
    double GetRequestResponseDelayMin() override { return requestResponseDelayMin; }
    double GetRequestResponseDelayMax() override { return requestResponseDelayMax; }
    bool IsRequired() override { return role_ == kRoleRequired; }
    bool IsProvided() override { return role_ == kRoleProvided; }
    uint64_t GetFieldDeploymentCount() override { return fields_.Count(); }
    IFieldDeployment* GetFieldDeployment(uint64_t index) override { return fields_.At(index); }
    uint64_t GetEventGroupCount() override { return eventGroups_.Count(); }
    IEventGroup* GetEventGroup(uint64_t index) override { return eventGroups_.At(index); }
    uint64_t GetStructDatatypeCount() override { return structures_.Count(); }
    IStructDatatype* GetStructDatatype(uint64_t index) override { return structures_.At(index); }
    IStructDatatype* FindStructDatatype(const char* name) override {
        return structures_.Find(name);
    }
    uint64_t GetEventCount() override { return events_.Count(); }
    IEventDeployment* GetEvent(uint64_t index) override { return events_.At(index); }
    IFieldDeployment* FindFieldDeployment(const char* fieldName) override {
        return fields_.Find(fieldName);
    }
    const char* GenerateCompatibilityDefines() override;
    const char* GenerateHeader() override;

    const std::string& Name() const { return name_; }
    void SetRole(uint32_t role);
    CFieldDeployment* AddField(std::unique_ptr<CFieldDeployment> field);
    CEventGroup* AddEventGroup(std::unique_ptr<CEventGroup> group);
    CEventDeployment* AddEvent(std::unique_ptr<CEventDeployment> event) {
        return events_.Add(std::move(event));
    }
    CStructDatatype* AddStructure(std::unique_ptr<CStructDatatype> structure) {
        return structures_.Add(std::move(structure));
    }
    const OwnedItems<CStructDatatype>& Structures() const { return structures_; }

    // Plain values, filled by the service reader.
    uint16_t instanceId = 0;
    uint16_t serviceInterfaceId = 0;
    uint8_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t timeToLive = 0;
    double cyclicDelay = 0;
    double requestResponseDelayMin = 0;
    double requestResponseDelayMax = 0;
    double initialDelayMax = 0;
    double initialDelayMin = 0;
    double initialRepetitionsBaseDelay = 0;
    int32_t initialRepetitionsMax = 0;

  private:
    std::string name_;
    uint32_t role_ = kRoleUndefined;
    std::string roleText_;
    OwnedItems<CFieldDeployment> fields_;
    OwnedItems<CEventGroup> eventGroups_;
    OwnedItems<CStructDatatype> structures_;
    OwnedItems<CEventDeployment> events_;
    std::string header_;
    std::string compatibility_;
};

}  // namespace qm::someip
