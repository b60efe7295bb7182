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

DbcAttributeList::~DbcAttributeList() {
    DeleteAll(false);
    ::operator delete(block_);
}

DbcAttribute* DbcAttributeList::At(uint64_t index) const {
    return index < Count() ? Entries()[index] : nullptr;
}

DbcAttribute* DbcAttributeList::Find(const char* name) const {
    return FindByName(Items(), name);
}

void DbcAttributeList::Add(DbcAttribute* attribute) {
    if (!block_ || block_->count == block_->capacity) {
        const uint32_t count = block_ ? block_->count : 0;
        const uint32_t capacity = count == 0 ? 2 : count * 2;
        auto* grown =
            static_cast<Block*>(::operator new(sizeof(Block) + capacity * sizeof(DbcAttribute*)));
        grown->count = count;
        grown->capacity = capacity;
        if (count > 0) {
            std::copy_n(Entries(), count, reinterpret_cast<DbcAttribute**>(grown + 1));
        }
        ::operator delete(block_);
        block_ = grown;
    }
    Entries()[block_->count++] = attribute;
}

template <class Keep>
void DbcAttributeList::KeepOnly(Keep keep) {
    if (!block_) return;
    DbcAttribute** entries = Entries();
    DbcAttribute** end =
        std::remove_if(entries, entries + block_->count,
                       [&keep](const DbcAttribute* entry) { return !keep(entry); });
    block_->count = static_cast<uint32_t>(end - entries);
}

bool DbcAttributeList::Remove(const DbcAttribute* attribute) {
    const size_t before = block_ ? block_->count : 0;
    KeepOnly([attribute](const DbcAttribute* entry) { return entry != attribute; });
    return (block_ ? block_->count : 0) != before;
}

void DbcAttributeList::RemoveRelations() {
    KeepOnly([](const DbcAttribute* entry) { return entry->RelationKind() < 0; });
}

void DbcAttributeList::DeleteAll(bool ownsRelations) {
    for (DbcAttribute* attribute : Items()) {
        if (ownsRelations || attribute->RelationKind() < 0) delete attribute;
    }
    if (block_) block_->count = 0;
}

}  // namespace qm::dbc
