#include "dbc/dbc_attribute.h"

#include <algorithm>

#include "dbc/dbc_enums.h"
#include "dbc/dbc_lists.h"

namespace qm::dbc {

DbcAttribute::DbcAttribute(std::string_view name, DbcAttributeDefinition* definition,
                           std::string_view value)
    : name_(name), definition_(definition), value_(value) {}

DbcAttribute::DbcAttribute(const DbcText& name, DbcAttributeDefinition* definition,
                           std::string_view value)
    : definition_(definition), value_(value) {
    name_.Share(name);
}

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

DbcNodeTxMsgRelAttribute::DbcNodeTxMsgRelAttribute(const DbcText& name,
                                                   DbcAttributeDefinition* definition,
                                                   std::string_view value,
                                                   std::string_view nodeName, uint32_t messageId)
    : CDbcRelAttributeImpl(kObjectNodeTxMessage, name, definition, value),
      nodeName_(nodeName),
      messageId_(messageId) {}

void DbcNodeTxMsgRelAttribute::Clear() {
    DbcAttribute::Clear();
    nodeName_.clear();
    messageId_ = 0;
}

DbcNodeRxSigRelAttribute::DbcNodeRxSigRelAttribute(const DbcText& name,
                                                   DbcAttributeDefinition* definition,
                                                   std::string_view value,
                                                   std::string_view nodeName, uint32_t messageId,
                                                   const DbcText& signalName)
    : CDbcRelAttributeImpl(kObjectNodeRxSignal, name, definition, value),
      nodeName_(nodeName),
      messageId_(messageId) {
    signalName_.Share(signalName);
}

void DbcNodeRxSigRelAttribute::Clear() {
    DbcAttribute::Clear();
    nodeName_.clear();
    messageId_ = 0;
    signalName_.clear();
}

DbcNodeEnvVarRelAttribute::DbcNodeEnvVarRelAttribute(const DbcText& name,
                                                     DbcAttributeDefinition* definition,
                                                     std::string_view value,
                                                     std::string_view nodeName,
                                                     std::string_view variableName)
    : CDbcRelAttributeImpl(kObjectNodeEnvironmentVariable, name, definition, value),
      nodeName_(nodeName),
      variableName_(variableName) {}

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
