#include "dbc/dbc_attribute.h"

#include <algorithm>

#include "dbc/dbc_enums.h"
#include "dbc/dbc_lists.h"

namespace qm::dbc {

DbcAttribute::DbcAttribute(std::string name, DbcAttributeDefinition* definition, std::string value)
    : name_(std::move(name)), definition_(definition), value_(std::move(value)) {}

void DbcAttribute::Clear() {
    name_.clear();
    definition_ = nullptr;
    value_.clear();
}

bool DbcAttribute::IsRelation() {
    return definition_ != nullptr && IsRelationObjectType(definition_->ObjectType());
}

int32_t DbcAttribute::GetObjectType() {
    return definition_ ? definition_->ObjectType() : kObjectUndefined;
}

DbcNodeTxMsgRelAttribute::DbcNodeTxMsgRelAttribute(std::string name,
                                                   DbcAttributeDefinition* definition,
                                                   std::string value, std::string nodeName,
                                                   uint32_t messageId)
    : CDbcRelAttributeImpl(kObjectNodeTxMessage, std::move(name), definition, std::move(value)),
      nodeName_(std::move(nodeName)),
      messageId_(messageId) {}

void DbcNodeTxMsgRelAttribute::Clear() {
    DbcAttribute::Clear();
    nodeName_.clear();
    messageId_ = 0;
}

DbcNodeRxSigRelAttribute::DbcNodeRxSigRelAttribute(std::string name,
                                                   DbcAttributeDefinition* definition,
                                                   std::string value, std::string nodeName,
                                                   uint32_t messageId, std::string signalName)
    : CDbcRelAttributeImpl(kObjectNodeRxSignal, std::move(name), definition, std::move(value)),
      nodeName_(std::move(nodeName)),
      messageId_(messageId),
      signalName_(std::move(signalName)) {}

void DbcNodeRxSigRelAttribute::Clear() {
    DbcAttribute::Clear();
    nodeName_.clear();
    messageId_ = 0;
    signalName_.clear();
}

DbcNodeEnvVarRelAttribute::DbcNodeEnvVarRelAttribute(std::string name,
                                                     DbcAttributeDefinition* definition,
                                                     std::string value, std::string nodeName,
                                                     std::string variableName)
    : CDbcRelAttributeImpl(kObjectNodeEnvironmentVariable, std::move(name), definition,
                           std::move(value)),
      nodeName_(std::move(nodeName)),
      variableName_(std::move(variableName)) {}

void DbcNodeEnvVarRelAttribute::Clear() {
    DbcAttribute::Clear();
    nodeName_.clear();
    variableName_.clear();
}

DbcAttribute* DbcAttributeList::At(uint64_t index) const {
    return ItemAt(items_, index);
}

DbcAttribute* DbcAttributeList::Find(const char* name) const {
    return FindByName(items_, name);
}

void DbcAttributeList::Remove(const DbcAttribute* attribute) {
    items_.erase(std::remove(items_.begin(), items_.end(), attribute), items_.end());
}

void DbcAttributeList::RemoveRelations() {
    items_.erase(std::remove_if(
                     items_.begin(), items_.end(),
                     [](const DbcAttribute* attribute) { return attribute->RelationKind() >= 0; }),
                 items_.end());
}

void DbcAttributeList::DeleteAll(bool ownsRelations) {
    for (DbcAttribute* attribute : items_) {
        if (ownsRelations || attribute->RelationKind() < 0) delete attribute;
    }
    items_.clear();
}

}  // namespace qm::dbc
