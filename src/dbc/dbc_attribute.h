#pragma once
// Attribute values: plain ones owned by the object they describe, and the three relation kinds
// that belong to a node together with a message, a signal or an environment variable.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dbc/dbc_attribute_definition.h"
#include "dbc/dbc_text.h"
#include "quillmere/dbc.h"

namespace qm::dbc {

class DbcAttribute : public IDbcAttribute {
  public:
    DbcAttribute() = default;
    DbcAttribute(std::string_view name, DbcAttributeDefinition* definition, std::string_view value);
    // The name shares the characters of a text of the same file where it can (DbcText::Share):
    // the many values of one definition then hold one copy of its name.
    DbcAttribute(const DbcText& name, DbcAttributeDefinition* definition, std::string_view value);

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    IDbcAttributeDefinition* GetDefinition() override { return definition_; }
    bool IsRelation() override;
    int32_t GetObjectType() override;
    const char* GetValue() override { return value_.c_str(); }

    const DbcText& Name() const { return name_; }
    const DbcText& Value() const { return value_; }
    DbcAttributeDefinition* Definition() const { return definition_; }
    // The relation kind this object was made as (5, 6 or 7), or -1 for a plain attribute; it
    // decides ownership and does not depend on the definition.
    int32_t RelationKind() const { return relationKind_; }

  protected:
    explicit DbcAttribute(int32_t relationKind) : relationKind_(relationKind) {}

    DbcText name_;
    DbcAttributeDefinition* definition_ = nullptr;
    DbcText value_;
    int32_t relationKind_ = -1;
};

// Joins the DbcAttribute base with a relation interface, forwarding the common operations.
template <class I>
class CDbcRelAttributeImpl : public DbcAttribute, public I {
  public:
    void Clear() override { DbcAttribute::Clear(); }
    const char* GetName() override { return DbcAttribute::GetName(); }
    IDbcAttributeDefinition* GetDefinition() override { return DbcAttribute::GetDefinition(); }
    bool IsRelation() override { return DbcAttribute::IsRelation(); }
    int32_t GetObjectType() override { return DbcAttribute::GetObjectType(); }
    const char* GetValue() override { return DbcAttribute::GetValue(); }

  protected:
    CDbcRelAttributeImpl(int32_t kind, const DbcText& name, DbcAttributeDefinition* definition,
                         std::string_view value)
        : DbcAttribute(kind) {
        name_.Share(name);
        definition_ = definition;
        value_ = value;
    }
};

class DbcNodeTxMsgRelAttribute : public CDbcRelAttributeImpl<IDbcNodeTxMsgRelAttribute> {
  public:
    DbcNodeTxMsgRelAttribute(const DbcText& name, DbcAttributeDefinition* definition,
                             std::string_view value, std::string_view nodeName, uint32_t messageId);
    void Clear() override;
    const char* GetNodeName() override { return nodeName_.c_str(); }
    uint32_t GetMessageId() override { return messageId_; }

    const DbcText& NodeName() const { return nodeName_; }
    uint32_t MessageId() const { return messageId_; }

  private:
    DbcText nodeName_;
    uint32_t messageId_ = 0;
};

class DbcNodeRxSigRelAttribute : public CDbcRelAttributeImpl<IDbcNodeRxSigRelAttribute> {
  public:
    DbcNodeRxSigRelAttribute(const DbcText& name, DbcAttributeDefinition* definition,
                             std::string_view value, std::string_view nodeName, uint32_t messageId,
                             const DbcText& signalName);
    void Clear() override;
    const char* GetNodeName() override { return nodeName_.c_str(); }
    uint32_t GetMessageId() override { return messageId_; }
    const char* GetSignalName() override { return signalName_.c_str(); }

    const DbcText& NodeName() const { return nodeName_; }
    uint32_t MessageId() const { return messageId_; }
    const DbcText& SignalName() const { return signalName_; }

  private:
    DbcText nodeName_;
    uint32_t messageId_ = 0;
    DbcText signalName_;
};

class DbcNodeEnvVarRelAttribute : public CDbcRelAttributeImpl<IDbcNodeEnvVarRelAttribute> {
  public:
    DbcNodeEnvVarRelAttribute(const DbcText& name, DbcAttributeDefinition* definition,
                              std::string_view value, std::string_view nodeName,
                              std::string_view variableName);
    void Clear() override;
    const char* GetNodeName() override { return nodeName_.c_str(); }
    const char* GetEnvironmentVariableName() override { return variableName_.c_str(); }

    const DbcText& NodeName() const { return nodeName_; }
    const DbcText& VariableName() const { return variableName_; }

  private:
    DbcText nodeName_;
    DbcText variableName_;
};

// The attribute list of a model object. Plain attributes are owned; relation attributes are
// owned by their node and only listed by the message, signal or variable they name. Most
// objects of a large file have no attribute: an empty list is one null pointer, and a list
// with entries is one block (its count, its room and the entries).
class DbcAttributeList {
  public:
    DbcAttributeList() = default;
    DbcAttributeList(const DbcAttributeList&) = delete;
    DbcAttributeList& operator=(const DbcAttributeList&) = delete;
    ~DbcAttributeList();

    uint64_t Count() const { return block_ ? block_->count : 0; }
    DbcAttribute* At(uint64_t index) const;
    DbcAttribute* Find(const char* name) const;
    void Add(DbcAttribute* attribute);
    // Removes every occurrence of the pointer (without destroying it).
    // Takes attribute out of the list; returns whether the list held it.
    bool Remove(const DbcAttribute* attribute);
    // Removes the relation attributes, which this list only shows.
    void RemoveRelations();
    // Destroys the owned entries and empties the list; relation entries are destroyed only when
    // ownsRelations is set (the node's list).
    void DeleteAll(bool ownsRelations);
    std::span<DbcAttribute* const> Items() const {
        return block_ ? std::span<DbcAttribute* const>(Entries(), block_->count)
                      : std::span<DbcAttribute* const>();
    }

  private:
    struct Block {
        uint32_t count;
        uint32_t capacity;
    };
    // The entries follow the block's two counts.
    DbcAttribute** Entries() const { return reinterpret_cast<DbcAttribute**>(block_ + 1); }
    // Keeps the entries for which keep is true, in their order.
    template <class Keep>
    void KeepOnly(Keep keep);

    Block* block_ = nullptr;
};

}  // namespace qm::dbc
