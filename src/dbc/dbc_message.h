#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbc/dbc_attribute.h"
#include "dbc/dbc_signal.h"
#include "dbc/dbc_signal_group.h"
#include "quillmere/dbc.h"

namespace qm::dbc {

class DbcNode;

// A CAN frame: identifier, name, size, transmitters, signals, signal groups and attributes.
class DbcMessage : public IDbcMessage {
  public:
    DbcMessage() = default;
    DbcMessage(const DbcMessage&) = delete;
    DbcMessage& operator=(const DbcMessage&) = delete;
    ~DbcMessage() override;

    void Clear() override;
    uint32_t GetRawId() override { return rawId_; }
    uint32_t GetId() override { return rawId_ & 0x7FFFFFFF; }
    bool IsExtended() override { return (rawId_ & 0x80000000u) != 0; }
    bool IsStandard() override { return (rawId_ & 0x80000000u) == 0; }
    const char* GetName() override { return name_.c_str(); }
    uint8_t GetSize() override { return size_; }
    uint32_t GetCycleTime() override;
    uint32_t GetDelayTime() override;
    IDbcNode* GetTransmitter() override;
    const char* GetComment() override { return comment_.c_str(); }
    uint64_t GetSignalCount() override { return signals_.size(); }
    IDbcSignal* GetSignal(uint64_t index) override;
    IDbcSignal* FindSignal(const char* name) override;
    void SortSignalsByStartBit(bool flag) override;
    void SortSignalsByName(bool flag) override;
    uint64_t GetAttributeCount() override { return attributes_.Count(); }
    IDbcAttribute* GetAttribute(uint64_t index) override { return attributes_.At(index); }
    IDbcAttribute* FindAttribute(const char* name) override { return attributes_.Find(name); }
    uint64_t GetTransmitterCount() override { return transmitters_.size(); }
    IDbcNode* GetTransmitterAt(uint64_t index) override;
    void ClearTransmitters() override { transmitters_.clear(); }
    uint64_t GetSignalGroupCount() override { return signalGroups_.size(); }
    IDbcSignalGroup* GetSignalGroup(uint64_t index) override;
    IDbcSignalGroup* FindSignalGroup(const char* name) override;

    // Model access.
    uint32_t RawId() const { return rawId_; }
    void SetRawId(uint32_t rawId) { rawId_ = rawId; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    uint8_t Size() const { return size_; }
    void SetSize(uint8_t size) { size_ = size; }
    DbcNode* Transmitter() const { return transmitter_; }
    void SetTransmitter(DbcNode* node) { transmitter_ = node; }
    const std::string& Comment() const { return comment_; }
    void SetComment(std::string comment) { comment_ = std::move(comment); }
    const std::vector<DbcSignalPtr>& Signals() const { return signals_; }
    // Gives back the room the signal list grew into while a file was read.
    void TrimLists() { signals_.shrink_to_fit(); }
    // Destroys the signals at once (Clear empties and keeps them): for a model that is discarded
    // right after, whose lists of signals are not read again.
    void DiscardSignals() {
        SignalNamesChanged();
        signals_.clear();
        cleared_.clear();
    }
    // Takes the signal and lists it last.
    DbcSignal* AddSignal(DbcSignalPtr signal);
    // Takes the signals, in their order, and lists them last; signals is left empty. The list
    // grows once for all of them.
    void AddSignals(std::vector<DbcSignalPtr>& signals);
    // The first signal of that name; backed by an index once the message has many signals.
    DbcSignal* SignalByName(std::string_view name) const;
    // Call after a signal was renamed: the name index is rebuilt on the next look-up.
    void SignalNamesChanged() {
        signalSlots_.clear();
        signalSlots_.shrink_to_fit();
        duplicateSignalNames_ = false;
    }
    DbcAttributeList& Attributes() { return attributes_; }
    const DbcAttributeList& Attributes() const { return attributes_; }
    std::vector<DbcNode*>& Transmitters() { return transmitters_; }
    const std::vector<DbcNode*>& Transmitters() const { return transmitters_; }
    const std::vector<std::unique_ptr<DbcSignalGroup>>& SignalGroups() const {
        return signalGroups_;
    }
    void AddSignalGroup(std::unique_ptr<DbcSignalGroup> group) {
        signalGroups_.push_back(std::move(group));
    }

  private:
    static constexpr size_t kIndexThreshold = 16;
    uint32_t AttributeNumber(const char* name);
    void BuildSignalIndex() const;
    // Enters the signal at position into the index; false when an earlier one has its name.
    bool IndexSignal(size_t position) const;
    DbcSignal* IndexedSignal(std::string_view name) const;
    DbcSignal* GuessNextSignal(std::string_view name) const;

    uint32_t rawId_ = 0;
    std::string name_;
    uint8_t size_ = 0;
    DbcNode* transmitter_ = nullptr;
    std::string comment_;
    std::vector<DbcSignalPtr> signals_;
    std::vector<DbcSignalPtr> cleared_;  // signals of an earlier Clear, emptied
    DbcAttributeList attributes_;
    std::vector<DbcNode*> transmitters_;
    std::vector<std::unique_ptr<DbcSignalGroup>> signalGroups_;
    // The name index: an open-addressed table of signal positions + 1 (0 marks a free slot),
    // a power of two in size and at most three quarters full. Four bytes a slot instead of a
    // hash node per signal: a large file has an index in nearly every message.
    mutable std::vector<uint32_t> signalSlots_;
    // Statements that name signals mostly follow the signal order; a look-up first tries the
    // signal after the last one found. Only safe while no two signals share a name.
    mutable bool duplicateSignalNames_ = false;
    mutable size_t lastFound_ = 0;
};

}  // namespace qm::dbc
