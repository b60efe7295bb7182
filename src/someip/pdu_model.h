#pragma once
// The PDU groups of an ECU (communication objects) with their PDUs, signals and value tables.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmere/someip.h"
#include "someip/ethernet_model.h"
#include "someip/owned_items.h"

namespace qm::someip {

class CPhysicalValue : public IPhysicalValue {
  public:
    CPhysicalValue(std::string name, uint64_t lower, uint64_t upper)
        : name_(std::move(name)), lower_(lower), upper_(upper) {}
    void Clear() override {
        name_.clear();
        lower_ = 0;
        upper_ = 0;
    }
    const char* GetName() override { return name_.c_str(); }
    uint64_t GetLowerLimit() override { return lower_; }
    uint64_t GetUpperLimit() override { return upper_; }
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
    uint64_t lower_ = 0;
    uint64_t upper_ = 0;
};

class CValueTableEntry : public IValueTableEntry {
  public:
    void Clear() override {
        name.clear();
        lower = 0;
        upper = 0;
        entries.Clear();
    }
    const char* GetName() override { return name.c_str(); }
    uint64_t GetLowerLimit() override { return lower; }
    uint64_t GetUpperLimit() override { return upper; }
    uint64_t GetEntryCount() override { return entries.Count(); }
    IPhysicalValue* GetEntry(uint64_t index) override { return entries.At(index); }
    IPhysicalValue* FindEntry(const char* entryName) override { return entries.Find(entryName); }

    std::string name;
    uint64_t lower = 0;
    uint64_t upper = 0;
    OwnedItems<CPhysicalValue> entries;
};

class CSignal : public ISignal {
  public:
    explicit CSignal(std::string name);
    void Clear() override;
    const char* GetSystemSignalName() override { return systemSignalName.c_str(); }
    const char* GetName() override { return name_.c_str(); }
    uint32_t GetBus() override { return bus_; }
    const char* GetBusText() override { return busText_.c_str(); }
    const char* GetDataTypePolicy() override { return dataTypePolicy.c_str(); }
    uint16_t GetInitValue() override { return initValue; }
    uint16_t GetLength() override { return length; }
    const char* GetBaseTypeName() override { return baseTypeName.c_str(); }
    uint32_t GetLengthKind() override { return lengthKind; }
    const char* GetLengthKindText() override { return lengthKindText.c_str(); }
    const char* GetBaseTypeEncoding() override { return baseTypeEncoding.c_str(); }
    uint32_t GetByteOrder() override { return byteOrder; }
    const char* GetByteOrderText() override { return byteOrderText.c_str(); }
    uint8_t HasUpdateBit() override { return updateBit; }
    uint64_t GetUpdateBitPositionCount() override { return updateBitPositions.size(); }
    uint16_t GetUpdateBitPosition(uint64_t index) override {
        return index < updateBitPositions.size() ? updateBitPositions[index] : 0;
    }
    uint16_t GetStartPosition() override { return startPosition; }
    IValueTableEntry* GetValueTable() override { return valueTable.get(); }

    const std::string& Name() const { return name_; }

    static constexpr uint32_t kUnset = 0xFFFFFFFFu;
    std::string systemSignalName;
    std::string dataTypePolicy;
    uint16_t initValue = 0;
    uint16_t length = 0;
    std::string baseTypeName;
    uint32_t lengthKind = kUnset;
    std::string lengthKindText;
    std::string baseTypeEncoding;
    uint32_t byteOrder = kUnset;
    std::string byteOrderText;
    uint8_t updateBit = 0;
    std::vector<uint16_t> updateBitPositions;
    uint16_t startPosition = 0;
    std::unique_ptr<CValueTableEntry> valueTable;

  private:
    void SetBusFromName();

    std::string name_;
    uint32_t bus_ = kUnset;
    std::string busText_;
};

// PDU kind codes by element name; -1 for any other element.
int32_t PduKindOf(const std::string& elementName);

class CPdu : public IPdu {
  public:
    CPdu(std::string name, std::string kindText);
    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint16_t GetLength() override { return length; }
    uint64_t GetSignalCount() override { return signals.Count(); }
    ISignal* GetSignal(uint64_t index) override { return signals.At(index); }
    ISignal* FindSignal(const char* name) override { return signals.Find(name); }
    double GetTimeOffset() override { return timeOffset; }
    double GetTimePeriod() override { return timePeriod; }
    uint16_t GetUnusedBitPattern() override { return unusedBitPattern; }
    // The first PDU-TRIGGERING whose I-PDU-REF leads to this PDU's element; null when none does.
    IPduTriggering* GetPduTriggering() override { return triggering.get(); }
    int32_t GetKind() override { return kind_; }
    const char* GetKindText() override { return kindText_.c_str(); }

    const std::string& Name() const { return name_; }

    uint16_t length = 0;
    OwnedItems<CSignal> signals;
    double timeOffset = 0;
    double timePeriod = 0;
    uint16_t unusedBitPattern = 0;
    std::unique_ptr<CPduTriggering> triggering;

  private:
    std::string name_;
    std::string kindText_;
    int32_t kind_ = -1;
};

class CNode : public INode {
  public:
    explicit CNode(std::string name) : name_(std::move(name)) {}
    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint32_t GetDirection() override { return direction_; }
    const char* GetDirectionText() override { return directionText_.c_str(); }
    uint32_t GetMode() override { return mode_; }
    const char* GetModeText() override { return modeText_.c_str(); }
    uint64_t GetPduCount() override { return pdus.Count(); }
    IPdu* GetPdu(uint64_t index) override { return pdus.At(index); }
    IPdu* FindPdu(const char* name) override { return pdus.Find(name); }

    const std::string& Name() const { return name_; }
    // "OUT" and "IN" set the direction, other texts leave it.
    void SetDirectionFrom(const std::string& text);
    // "CAN_Transmit_All" and "CAN_Receive_All" set the mode, other texts leave it.
    void SetModeFrom(const std::string& text);

    OwnedItems<CPdu> pdus;

  private:
    std::string name_;
    uint32_t direction_ = CSignal::kUnset;
    std::string directionText_;
    uint32_t mode_ = CSignal::kUnset;
    std::string modeText_;
};

}  // namespace qm::someip
