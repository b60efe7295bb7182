#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "arxml_com/arxml_signal.h"
#include "arxml_com/arxml_signal_group.h"
#include "arxml_com/named_list.h"
#include "quillmere/arxml_com.h"

namespace qm::arxml {

// One PDU that a container sends behind a header, as IArxmlContainerPdu gives it.
struct ContainedPdu {
    std::string name;
    uint32_t headerId = 0;
    uint32_t offset = 0;  // bytes, after the header
    uint32_t length = 0;
    uint64_t firstSignal = 0;
    uint64_t signalCount = 0;
};

// A PDU with its frame data (when a frame triggering carries it), timing, signals and groups.
class ArxmlPdu : public IArxmlPdu, public IArxmlContainerPdu, public IArxmlPduFrame {
  public:
    ArxmlPdu() = default;
    ArxmlPdu(const ArxmlPdu&) = delete;
    ArxmlPdu& operator=(const ArxmlPdu&) = delete;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    int32_t GetIdentifier() override { return identifier_; }
    uint16_t GetLength() override { return length_; }
    bool IsStandardAddressing() override { return standardAddressing_; }
    bool IsExtendedAddressing() override { return extendedAddressing_; }
    const char* GetRxBehavior() override { return rxBehavior_.c_str(); }
    const char* GetTxBehavior() override { return txBehavior_.c_str(); }
    uint64_t GetSignalCount() override { return signals_.Count(); }
    IArxmlSignal* GetSignal(uint64_t index) override { return signals_.At(index); }
    IArxmlSignal* FindSignal(const char* name) override { return signals_.Find(name); }
    uint64_t GetSignalGroupCount() override { return groups_.Count(); }
    IArxmlSignalGroup* GetSignalGroup(uint64_t index) override { return groups_.At(index); }
    IArxmlSignalGroup* FindSignalGroup(const char* name) override { return groups_.Find(name); }
    double GetCyclicTimePeriod() override { return cyclicTimePeriod_; }
    bool HasCyclicTimePeriod() override { return hasCyclicTimePeriod_; }
    double GetTimeOffset() override { return timeOffset_; }
    bool HasTimeOffset() override { return hasTimeOffset_; }
    uint8_t GetNumberOfRepetitions() override { return repetitions_; }
    bool HasNumberOfRepetitions() override { return hasRepetitions_; }
    double GetMinimumDelay() override { return minimumDelay_; }
    bool HasMinimumDelay() override { return hasMinimumDelay_; }
    uint16_t GetUnusedBitPattern() override { return unusedBitPattern_; }

    const char* GetFrameName() override { return frameName_.c_str(); }
    uint32_t GetHeaderSize() override { return headerSize_; }
    bool IsHeaderBigEndian() override { return headerBigEndian_; }
    uint64_t GetContainedPduCount() override { return contained_.size(); }
    const char* GetContainedPduName(uint64_t index) override {
        return ContainedAt(index).name.c_str();
    }
    uint32_t GetContainedHeaderId(uint64_t index) override { return ContainedAt(index).headerId; }
    uint32_t GetContainedOffset(uint64_t index) override { return ContainedAt(index).offset; }
    uint32_t GetContainedLength(uint64_t index) override { return ContainedAt(index).length; }
    uint64_t GetContainedFirstSignal(uint64_t index) override {
        return ContainedAt(index).firstSignal;
    }
    uint64_t GetContainedSignalCount(uint64_t index) override {
        return ContainedAt(index).signalCount;
    }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetIdentifier(int32_t identifier) { identifier_ = identifier; }
    void SetLength(uint16_t length) { length_ = length; }
    void SetAddressing(bool standard, bool extended) {
        standardAddressing_ = standard;
        extendedAddressing_ = extended;
    }
    void SetRxBehavior(std::string text) { rxBehavior_ = std::move(text); }
    void SetTxBehavior(std::string text) { txBehavior_ = std::move(text); }
    void SetCyclicTimePeriod(double seconds) {
        cyclicTimePeriod_ = seconds;
        hasCyclicTimePeriod_ = true;
    }
    void SetTimeOffset(double seconds) {
        timeOffset_ = seconds;
        hasTimeOffset_ = true;
    }
    void SetNumberOfRepetitions(uint8_t count) {
        repetitions_ = count;
        hasRepetitions_ = true;
    }
    void SetMinimumDelay(double seconds) {
        minimumDelay_ = seconds;
        hasMinimumDelay_ = true;
    }
    void SetUnusedBitPattern(uint16_t pattern) { unusedBitPattern_ = pattern; }
    void SetContainerHeader(uint32_t size, bool bigEndian) {
        headerSize_ = size;
        headerBigEndian_ = bigEndian;
    }
    void AddContainedPdu(ContainedPdu part) { contained_.push_back(std::move(part)); }
    // The first frame that carries the PDU names it; later ones do not.
    void NoteFrame(const std::string& frame) {
        if (frameName_.empty()) frameName_ = frame;
    }

    ArxmlSignal* AddSignal(std::unique_ptr<ArxmlSignal> signal);
    ArxmlSignalGroup* AddSignalGroup(std::unique_ptr<ArxmlSignalGroup> group);
    const std::vector<ArxmlSignal*>& Signals() const { return signals_.Items(); }
    const std::vector<ArxmlSignalGroup*>& SignalGroups() const { return groups_.Items(); }

  private:
    // The contained PDU of an index; an empty one past the end.
    const ContainedPdu& ContainedAt(uint64_t index) const {
        static const ContainedPdu kNone;
        return index < contained_.size() ? contained_[index] : kNone;
    }

    std::string name_;
    int32_t identifier_ = -1;
    uint16_t length_ = 0;
    bool standardAddressing_ = false;
    bool extendedAddressing_ = false;
    std::string rxBehavior_;
    std::string txBehavior_;
    OwnedNamedList<ArxmlSignal> signals_;
    OwnedNamedList<ArxmlSignalGroup> groups_;
    double cyclicTimePeriod_ = 0.0;
    bool hasCyclicTimePeriod_ = false;
    double timeOffset_ = 0.0;
    bool hasTimeOffset_ = false;
    uint8_t repetitions_ = 0;
    bool hasRepetitions_ = false;
    double minimumDelay_ = 0.0;
    bool hasMinimumDelay_ = false;
    uint16_t unusedBitPattern_ = 0;
    uint32_t headerSize_ = 0;
    bool headerBigEndian_ = true;
    std::vector<ContainedPdu> contained_;
    std::string frameName_;
};

}  // namespace qm::arxml
