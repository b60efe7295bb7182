#pragma once
// The DBC file object: the root of the DBC model, its reader, writer and edit operations.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dbc/dbc_attribute.h"
#include "dbc/dbc_attribute_definition.h"
#include "dbc/dbc_bit_timing.h"
#include "dbc/dbc_environment_variable.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_node.h"
#include "dbc/dbc_signal.h"
#include "dbc/dbc_text.h"
#include "dbc/dbc_value_table.h"
#include "netfile/net_file_base.h"
#include "platform/input_file.h"
#include "quillmere/dbc.h"

namespace qm::dbc {

// Load status codes.
enum DbcLoadStatus : uint32_t {
    kDbcNotLoaded = 0,
    kDbcLoaded = 1,
    kDbcLoadedWithWarnings = 2,
    kDbcNotSupportedKeyword = 3,
    kDbcUndefinedTag = 4,
    kDbcFileNotOpened = 5,
};

class NetConfigDbcFile : public NetFileBase<INetConfigDbcFile>, public IDbcTolerantReading {
  public:
    NetConfigDbcFile();
    NetConfigDbcFile(const NetConfigDbcFile&) = delete;
    NetConfigDbcFile& operator=(const NetConfigDbcFile&) = delete;
    ~NetConfigDbcFile() override;

    // INetFile
    void Clear() override;
    const char* GetInfoText() override;
    bool Load(const wchar_t* path) override;
    bool Save() override;
    bool Save(const wchar_t* path) override;
    const char* GetVersion() override { return "1.55"; }
    int32_t GetFileType() override { return kNetFileDbc; }
    using NetFileBase::Load;
    using NetFileBase::Save;

    // INetConfigDbcFile
    const char* GetDatabaseName() override { return databaseName_.c_str(); }
    uint32_t GetBaudrate() override;
    bool IsLowSpeed() override { return static_cast<int32_t>(GetBaudrate()) <= 125000; }
    bool IsHighSpeed() override { return static_cast<int32_t>(GetBaudrate()) > 125000; }
    uint32_t GetStatus() override { return status_; }
    const char* GetDbcVersion() override { return version_.c_str(); }
    uint64_t GetNewSymbolCount() override { return newSymbols_.size(); }
    const char* GetNewSymbol(uint64_t index) override;
    IDbcBitTiming* GetBitTiming() override { return bitTiming_.get(); }
    uint64_t GetNodeCount() override { return nodes_.size(); }
    IDbcNode* GetNode(uint64_t index) override;
    IDbcNode* FindNode(const char* name) override;
    uint32_t IndexOfNode(IDbcNode* node) override;
    uint64_t GetValueTableCount() override { return valueTables_.size(); }
    IDbcValueTable* GetValueTable(uint64_t index) override;
    IDbcValueTable* FindValueTable(const char* name) override;
    uint32_t IndexOfValueTable(IDbcValueTable* table) override;
    uint64_t GetMessageCount() override { return dbcMessages_.size(); }
    IDbcMessage* GetMessage(uint64_t index) override;
    IDbcMessage* GetFirstMessage() override;
    IDbcMessage* GetLastMessage() override;
    IDbcMessage* FindMessage(uint32_t rawId) override { return MessageByRawId(rawId); }
    IDbcMessage* FindMessage(const char* name) override;
    uint32_t IndexOfMessage(IDbcMessage* message) override;
    uint64_t GetEnvironmentVariableCount() override { return variables_.size(); }
    IDbcEnvironmentVariable* GetEnvironmentVariable(uint64_t index) override;
    IDbcEnvironmentVariable* FindEnvironmentVariable(const char* name) override;
    uint32_t IndexOfEnvironmentVariable(IDbcEnvironmentVariable* variable) override;
    uint64_t GetAttributeDefinitionCount() override { return definitions_.size(); }
    IDbcAttributeDefinition* GetAttributeDefinition(uint64_t index) override;
    IDbcAttributeDefinition* FindAttributeDefinition(const char* name) override;
    uint64_t GetAttributeCount() override { return networkAttributes_.Count(); }
    IDbcAttribute* GetAttribute(uint64_t index) override { return networkAttributes_.At(index); }
    IDbcAttribute* FindAttribute(const char* name) override {
        return networkAttributes_.Find(name);
    }
    const char* GetComment() override { return networkComment_.c_str(); }
    uint64_t GetSignalCount() override { return allSignals_.size(); }
    IDbcSignal* GetSignal(uint64_t index) override;
    IDbcSignal* FindSignal(uint32_t rawId, const char* name) override;
    uint32_t IndexOfSignal(IDbcSignal* signal) override;
    uint64_t GetTotalSignalCount() override;
    bool SetSignalName(uint32_t rawId, const char* name, const char* newName) override;
    bool SetSignalMultiplexIndicator(uint32_t rawId, const char* name,
                                     const char* indicator) override;
    bool SetSignalStartBit(uint32_t rawId, const char* name, uint16_t startBit) override;
    bool SetSignalBitLength(uint32_t rawId, const char* name, uint16_t length) override;
    bool SetSignalByteOrder(uint32_t rawId, const char* name, char byteOrder) override;
    bool SetSignalValueType(uint32_t rawId, const char* name, char valueType) override;
    bool SetSignalFactor(uint32_t rawId, const char* name, double factor,
                         uint8_t decimals) override;
    bool SetSignalOffset(uint32_t rawId, const char* name, double offset,
                         uint8_t decimals) override;
    bool SetSignalMinimum(uint32_t rawId, const char* name, double minimum,
                          uint8_t decimals) override;
    bool SetSignalMaximum(uint32_t rawId, const char* name, double maximum,
                          uint8_t decimals) override;
    bool SetSignalUnit(uint32_t rawId, const char* name, const char* unit) override;
    bool SetMessageId(uint32_t rawId, uint32_t newRawId) override;
    bool SetMessageName(uint32_t rawId, const char* name) override;
    bool SetMessageSize(uint32_t rawId, uint8_t size) override;

    // Reads DBC text held in memory as Load reads a file; path names it (for the database name).
    // input, when given, is the file the text is mapped from.
    bool LoadText(std::string_view text, const std::wstring& path,
                  platform::InputFile* input = nullptr);
    // The DBC text Save writes.
    std::string RenderText() const;

    // --- Model access for the reader, the writer and the conversions built on this model. ---
    // Tolerant reading
    void SetTolerantReading(bool tolerant) override { tolerant_ = tolerant; }
    bool IsTolerantReading() override { return tolerant_; }
    uint64_t GetToleratedLineCount() override { return toleratedLines_; }
    bool Tolerant() const { return tolerant_; }
    void CountToleratedLine() { ++toleratedLines_; }
    uint64_t ToleratedLines() const { return toleratedLines_; }

    std::string& Log() { return messages_; }
    uint32_t Status() const { return status_; }
    void SetStatus(uint32_t status) { status_ = status; }
    void SetStopCode(uint32_t code) { stopCode_ = code; }
    uint32_t StopCode() const { return stopCode_; }
    uint32_t LastHandlerResult() const { return lastHandlerResult_; }
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(std::string name) { databaseName_ = std::move(name); }
    const std::string& Version() const { return version_; }
    void SetVersionText(std::string version) { version_ = std::move(version); }
    std::vector<std::string>& NewSymbols() { return newSymbols_; }
    const std::vector<std::string>& NewSymbols() const { return newSymbols_; }
    const DbcBitTiming* BitTiming() const { return bitTiming_.get(); }
    void SetBitTiming(std::unique_ptr<DbcBitTiming> timing) { bitTiming_ = std::move(timing); }
    const std::vector<std::unique_ptr<DbcNode>>& Nodes() const { return nodes_; }
    const std::vector<std::unique_ptr<DbcValueTable>>& ValueTables() const { return valueTables_; }
    const std::vector<std::unique_ptr<DbcMessage>>& Messages() const { return dbcMessages_; }
    const std::vector<std::unique_ptr<DbcEnvironmentVariable>>& Variables() const {
        return variables_;
    }
    const std::vector<std::unique_ptr<DbcAttributeDefinition>>& Definitions() const {
        return definitions_;
    }
    DbcAttributeList& NetworkAttributes() { return networkAttributes_; }
    const DbcAttributeList& NetworkAttributes() const { return networkAttributes_; }
    const std::string& NetworkComment() const { return networkComment_; }
    void SetNetworkComment(std::string comment) { networkComment_ = std::move(comment); }
    const std::vector<DbcSignal*>& AllSignals() const { return allSignals_; }

    DbcNode* AddNode(std::string name);
    void AddValueTable(std::unique_ptr<DbcValueTable> table) {
        valueTables_.push_back(std::move(table));
    }
    DbcMessage* AddMessage(std::unique_ptr<DbcMessage> message);
    DbcEnvironmentVariable* AddVariable(std::unique_ptr<DbcEnvironmentVariable> variable);
    DbcAttributeDefinition* AddDefinition(std::unique_ptr<DbcAttributeDefinition> definition);
    // A new signal in the file's storage, freed with the model (see DbcSignalPool).
    DbcSignalPtr MakeSignal() { return signalPool_.Make(); }
    // Lists a signal of a message in the all-signals list.
    void ListSignal(DbcSignal* signal) { allSignals_.push_back(signal); }
    // The file's one copy of a receiver list equal to receivers, kept until the model is
    // cleared; null for an empty list. Equal lists of a read are found through an index that
    // the end of the read drops.
    std::vector<DbcNode*>* SharedReceiverList(const std::vector<DbcNode*>& receivers);

    // First-match look-ups, backed by indexes.
    DbcNode* NodeByName(std::string_view name) const;
    DbcMessage* MessageByRawId(uint32_t rawId) const;
    DbcMessage* MessageByName(std::string_view name) const;
    DbcSignal* SignalOf(uint32_t rawId, std::string_view name) const;
    DbcEnvironmentVariable* VariableByName(std::string_view name) const;
    DbcAttributeDefinition* DefinitionByName(std::string_view name) const;

  private:
    template <class T>
    using NameIndex = std::unordered_map<std::string_view, T*>;

    void UnregisterAttribute(DbcAttribute* attribute);
    void DropRelationViews();
    void RebuildMessageIndexes();
    void SetDatabaseNameAfterLoad();
    // Stores a change, saves, and puts the old state back when the save fails.
    template <class Apply, class Restore>
    bool EditAndSave(Apply apply, Restore restore);
    bool EditSignalNumber(uint32_t rawId, const char* name, DbcNumber& (DbcSignal::*number)(),
                          double value, uint8_t decimals);

    // Texts read from the file; declared first so that it outlives every object of the model.
    DbcTextArena textArena_;
    // The signals read from the file, released after every message.
    DbcSignalPool signalPool_;
    // The receiver lists signals share; like the texts, they outlive every signal. A deque
    // keeps each in place, a few hundred to a block.
    std::deque<std::vector<DbcNode*>> receiverLists_;
    // Finds them again during a read: an open-addressed table of (hash, list), a free slot
    // without a list, at most three quarters full. A slot also says where a copy of the list's
    // nodes lies in receiverListKeys_: comparing there stays within a few cache lines, where
    // each list of its own lies somewhere among the signals.
    struct ReceiverListSlot {
        uint64_t hash = 0;
        uint32_t keys = 0;   // first node in receiverListKeys_
        uint32_t count = 0;  // nodes in the list
        std::vector<DbcNode*>* list = nullptr;
    };
    std::vector<ReceiverListSlot> receiverListSlots_;
    std::vector<DbcNode*> receiverListKeys_;
    ReceiverListSlot lastReceiverList_;  // the list found or made last
    // Drops the table and the copies once no more lists are looked up (after a read).
    void ForgetReceiverListIndex() {
        receiverListSlots_ = {};
        receiverListKeys_ = {};
        lastReceiverList_ = {};
    }
    bool SameNodes(const ReceiverListSlot& entry, const std::vector<DbcNode*>& receivers) const;
    bool tolerant_ = false;
    uint64_t toleratedLines_ = 0;
    uint32_t stopCode_ = 0;
    std::string databaseName_;
    uint32_t status_ = kDbcNotLoaded;
    std::string version_;
    std::vector<std::string> newSymbols_;
    std::unique_ptr<DbcBitTiming> bitTiming_;
    std::vector<std::unique_ptr<DbcNode>> nodes_;
    std::vector<std::unique_ptr<DbcValueTable>> valueTables_;
    std::vector<std::unique_ptr<DbcMessage>> dbcMessages_;
    std::vector<std::unique_ptr<DbcEnvironmentVariable>> variables_;
    std::vector<std::unique_ptr<DbcAttributeDefinition>> definitions_;
    DbcAttributeList networkAttributes_;
    std::string networkComment_;
    uint32_t lastHandlerResult_ = 1;
    std::vector<DbcSignal*> allSignals_;
    std::string infoText_;

    NameIndex<DbcNode> nodeIndex_;
    // The first message of each raw identifier: an open-addressed table of (hash, position + 1,
    // identifier), a free slot with position 0, at most three quarters full.
    struct MessageIdSlot {
        uint32_t hash = 0;
        uint32_t position = 0;
        uint32_t rawId = 0;
    };
    std::vector<MessageIdSlot> messageIdSlots_;
    // False when the identifier was indexed already (the first message keeps it).
    bool IndexMessageId(uint32_t rawId, size_t position);
    // Statements that name messages mostly follow the message order; a look-up first tries the
    // message after the last one found, which is the first match while no identifier repeats.
    bool duplicateMessageIds_ = false;
    mutable size_t lastMessage_ = 0;
    bool clearingAll_ = false;
    // Reading never looks messages up by name: the index is made on the first look-up.
    mutable NameIndex<DbcMessage> messageNameIndex_;
    mutable bool messageNamesIndexed_ = false;
    NameIndex<DbcEnvironmentVariable> variableIndex_;
    NameIndex<DbcAttributeDefinition> definitionIndex_;
};

}  // namespace qm::dbc

// The facade and the network configuration create the file object by this name.
using qm::dbc::NetConfigDbcFile;
