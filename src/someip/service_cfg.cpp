#include "someip/service_cfg.h"

#include "someip/header_generator.h"

namespace qm::someip {

ISomeIpServiceCfg* FindServiceByName(const ItemViews<ISomeIpServiceCfg>& users, const char* name) {
    return users.FindBy(name, [](ISomeIpServiceCfg* user) { return std::string(user->GetName()); });
}

void CFieldDeployment::Clear() {
    deploymentName_.clear();
    fieldName_.clear();
    getter_.reset();
    notifier_.reset();
    setter_.reset();
    users_.Clear();
}

void CEventGroup::Clear() {
    name_.clear();
    id_ = 0;
    eventRefs_.clear();
    users_.Clear();
}

void CSomeIpServiceCfg::Clear() {
    instanceId = 0;
    serviceInterfaceId = 0;
    majorVersion = 0;
    minorVersion = 0;
    timeToLive = 0;
    cyclicDelay = 0;
    requestResponseDelayMin = 0;
    requestResponseDelayMax = 0;
    initialDelayMax = 0;
    initialDelayMin = 0;
    initialRepetitionsBaseDelay = 0;
    initialRepetitionsMax = 0;
    name_.clear();
    role_ = kRoleUndefined;
    roleText_.clear();
    fields_.Clear();
    eventGroups_.Clear();
    structures_.Clear();
    events_.Clear();
    header_.clear();
    compatibility_.clear();
}

void CSomeIpServiceCfg::SetRole(uint32_t role) {
    role_ = role;
    roleText_ = role == kRoleRequired   ? "required"
                : role == kRoleProvided ? "provided"
                                        : "undefined";
}

CFieldDeployment* CSomeIpServiceCfg::AddField(std::unique_ptr<CFieldDeployment> field) {
    CFieldDeployment* added = fields_.Add(std::move(field));
    added->AddUser(this);
    return added;
}

CEventGroup* CSomeIpServiceCfg::AddEventGroup(std::unique_ptr<CEventGroup> group) {
    CEventGroup* added = eventGroups_.Add(std::move(group));
    added->AddUser(this);
    return added;
}

const char* CSomeIpServiceCfg::GenerateCompatibilityDefines() {
    compatibility_ = CompatibilityBlock();
    return compatibility_.c_str();
}

const char* CSomeIpServiceCfg::GenerateHeader() {
    header_ = StructureText(name_, structures_);
    return header_.c_str();
}

}  // namespace qm::someip
