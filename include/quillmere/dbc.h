#pragma once
// CAN databases in DBC text: the file object and the model a host walks through it.
// Strings are narrow byte strings as read; a returned text stays valid until its object changes
// or dies. A get by index returns null (0xFFFFFFFF for a number) beyond the end.
#include <cstdint>

#include "quillmere/export.h"
#include "quillmere/netfile.h"

class IDbcMessage;
class IDbcSignal;
class IDbcNode;
class IDbcAttributeDefinition;

class QM_API IDbcAttributeDefinition {
  public:
    virtual ~IDbcAttributeDefinition() = default;      // slot 0
    virtual void Clear() = 0;                          // slot 1
    virtual const char* GetName() = 0;                 // slot 2
    virtual bool IsRelation() = 0;                     // slot 3
    virtual int32_t GetObjectType() = 0;               // slot 4
    virtual const char* GetObjectTypeText() = 0;       // slot 5
    virtual int32_t GetValueType() = 0;                // slot 6
    virtual const char* GetValueTypeText() = 0;        // slot 7
    virtual uint64_t GetValueCount() = 0;              // slot 8
    virtual const char* GetValue(uint64_t index) = 0;  // slot 9
    virtual const char* GetDefaultValue() = 0;         // slot 10
};

class QM_API IDbcAttribute {
  public:
    virtual ~IDbcAttribute() = default;                    // slot 0
    virtual void Clear() = 0;                              // slot 1
    virtual const char* GetName() = 0;                     // slot 2
    virtual IDbcAttributeDefinition* GetDefinition() = 0;  // slot 3
    virtual bool IsRelation() = 0;                         // slot 4
    virtual int32_t GetObjectType() = 0;                   // slot 5
    virtual const char* GetValue() = 0;                    // slot 6
};

class QM_API IDbcNodeTxMsgRelAttribute : public IDbcAttribute {
  public:
    virtual const char* GetNodeName() = 0;  // slot 7
    virtual uint32_t GetMessageId() = 0;    // slot 8
};

class QM_API IDbcNodeRxSigRelAttribute : public IDbcAttribute {
  public:
    virtual const char* GetNodeName() = 0;    // slot 7
    virtual uint32_t GetMessageId() = 0;      // slot 8
    virtual const char* GetSignalName() = 0;  // slot 9
};

class QM_API IDbcNodeEnvVarRelAttribute : public IDbcAttribute {
  public:
    virtual const char* GetNodeName() = 0;                 // slot 7
    virtual const char* GetEnvironmentVariableName() = 0;  // slot 8
};

class QM_API IDbcBitTiming {
  public:
    virtual ~IDbcBitTiming() = default;  // slot 0
    virtual void Clear() = 0;            // slot 1
    virtual uint32_t GetBaudrate() = 0;  // slot 2
    virtual uint32_t GetBtr1() = 0;      // slot 3
    virtual uint32_t GetBtr2() = 0;      // slot 4
};

class QM_API IDbcValueTable {
  public:
    virtual ~IDbcValueTable() = default;                          // slot 0
    virtual void Clear() = 0;                                     // slot 1
    virtual const char* GetName() = 0;                            // slot 2
    virtual bool IsEmpty() = 0;                                   // slot 3
    virtual uint64_t GetValueCount() = 0;                         // slot 4
    virtual uint32_t GetValueAt(uint64_t index) = 0;              // slot 5
    virtual const char* GetValueDescription(uint32_t value) = 0;  // slot 6
};

class QM_API IDbcNode {
  public:
    virtual ~IDbcNode() = default;                               // slot 0
    virtual void Clear() = 0;                                    // slot 1
    virtual const char* GetName() = 0;                           // slot 2
    virtual const char* GetComment() = 0;                        // slot 3
    virtual uint64_t GetAttributeCount() = 0;                    // slot 4
    virtual IDbcAttribute* GetAttribute(uint64_t index) = 0;     // slot 5
    virtual IDbcAttribute* FindAttribute(const char* name) = 0;  // slot 6
    virtual uint64_t GetTxMessageCount() = 0;                    // slot 7
    virtual IDbcMessage* GetTxMessage(uint64_t index) = 0;       // slot 8
    virtual IDbcMessage* FindTxMessage(const char* name) = 0;    // slot 9
    virtual uint64_t GetRxSignalCount() = 0;                     // slot 10
    virtual IDbcSignal* GetRxSignal(uint64_t index) = 0;         // slot 11
    virtual IDbcSignal* FindRxSignal(const char* name) = 0;      // slot 12
    virtual uint64_t GetRxMessageCount() = 0;                    // slot 13
    virtual IDbcMessage* GetRxMessage(uint64_t index) = 0;       // slot 14
    virtual IDbcMessage* FindRxMessage(const char* name) = 0;    // slot 15
};

class QM_API IDbcSignal {
  public:
    virtual ~IDbcSignal() = default;                                                   // slot 0
    virtual void Clear() = 0;                                                          // slot 1
    virtual const char* GetName() = 0;                                                 // slot 2
    virtual bool IsNotMultiplexed() = 0;                                               // slot 3
    virtual bool IsMultiplexerSwitch() = 0;                                            // slot 4
    virtual bool IsMultiplexedSignal() = 0;                                            // slot 5
    virtual uint32_t GetMultiplexingKind() = 0;                                        // slot 6
    virtual const char* GetMultiplexingKindText() = 0;                                 // slot 7
    virtual const char* GetMultiplexIndicator() = 0;                                   // slot 8
    virtual int32_t GetMultiplexValue() = 0;                                           // slot 9
    virtual IDbcSignal* GetMultiplexer() = 0;                                          // slot 10
    virtual int32_t GetStartValue() = 0;                                               // slot 11
    virtual uint16_t GetStartBit() = 0;                                                // slot 12
    virtual uint16_t GetBitLength() = 0;                                               // slot 13
    virtual uint8_t GetByteOrderChar() = 0;                                            // slot 14
    virtual uint32_t GetByteOrder() = 0;                                               // slot 15
    virtual const char* GetByteOrderText() = 0;                                        // slot 16
    virtual uint8_t GetValueTypeChar() = 0;                                            // slot 17
    virtual uint32_t GetValueType() = 0;                                               // slot 18
    virtual const char* GetValueTypeText() = 0;                                        // slot 19
    virtual double GetFactor() = 0;                                                    // slot 20
    virtual const char* GetFactorText() = 0;                                           // slot 21
    virtual uint8_t GetFactorDecimals() = 0;                                           // slot 22
    virtual bool IsFactorExponent() = 0;                                               // slot 23
    virtual double GetOffset() = 0;                                                    // slot 24
    virtual const char* GetOffsetText() = 0;                                           // slot 25
    virtual uint8_t GetOffsetDecimals() = 0;                                           // slot 26
    virtual bool IsOffsetExponent() = 0;                                               // slot 27
    virtual double GetMinimum() = 0;                                                   // slot 28
    virtual const char* GetMinimumText() = 0;                                          // slot 29
    virtual uint8_t GetMinimumDecimals() = 0;                                          // slot 30
    virtual bool IsMinimumExponent() = 0;                                              // slot 31
    virtual double GetMaximum() = 0;                                                   // slot 32
    virtual const char* GetMaximumText() = 0;                                          // slot 33
    virtual uint8_t GetMaximumDecimals() = 0;                                          // slot 34
    virtual bool IsMaximumExponent() = 0;                                              // slot 35
    virtual const char* GetUnit() = 0;                                                 // slot 36
    virtual uint64_t GetReceiverCount() = 0;                                           // slot 37
    virtual IDbcNode* GetReceiver(uint64_t index) = 0;                                 // slot 38
    virtual IDbcNode* FindReceiver(const char* name) = 0;                              // slot 39
    virtual uint32_t IndexOfReceiver(IDbcNode* node) = 0;                              // slot 40
    virtual bool HasReceiver(const char* name) = 0;                                    // slot 41
    virtual void ClearReceivers() = 0;                                                 // slot 42
    virtual const char* GetComment() = 0;                                              // slot 43
    virtual bool HasNoValueDescriptions() = 0;                                         // slot 44
    virtual uint64_t GetValueDescriptionCount() = 0;                                   // slot 45
    virtual uint32_t GetValueAt(uint64_t index) = 0;                                   // slot 46
    virtual const char* GetValueDescription(uint32_t value) = 0;                       // slot 47
    virtual uint64_t GetAttributeCount() = 0;                                          // slot 48
    virtual IDbcAttribute* GetAttribute(uint64_t index) = 0;                           // slot 49
    virtual IDbcAttribute* FindAttribute(const char* name) = 0;                        // slot 50
    virtual IDbcMessage* GetMessage() = 0;                                             // slot 51
    virtual int32_t GetExtendedValueType() = 0;                                        // slot 52
    virtual bool HasExtendedValueType() = 0;                                           // slot 53
    virtual const char* GetExtendedValueTypeText() = 0;                                // slot 54
    virtual uint64_t ExtractRawValue(const uint8_t* payload, uint64_t byteCount) = 0;  // slot 55
    virtual void SetDescribed(bool described) = 0;                                     // slot 56
    virtual bool IsDescribed() = 0;                                                    // slot 57
};

class QM_API IDbcSignalGroup {
  public:
    virtual ~IDbcSignalGroup() = default;                  // slot 0
    virtual void Clear() = 0;                              // slot 1
    virtual const char* GetName() = 0;                     // slot 2
    virtual IDbcMessage* GetMessage() = 0;                 // slot 3
    virtual uint64_t GetSignalCount() = 0;                 // slot 4
    virtual IDbcSignal* GetSignal(uint64_t index) = 0;     // slot 5
    virtual IDbcSignal* FindSignal(const char* name) = 0;  // slot 6
    virtual uint32_t GetRepetitions() = 0;                 // slot 7
};

class QM_API IDbcMessage {
  public:
    virtual ~IDbcMessage() = default;                                // slot 0
    virtual void Clear() = 0;                                        // slot 1
    virtual uint32_t GetRawId() = 0;                                 // slot 2
    virtual uint32_t GetId() = 0;                                    // slot 3
    virtual bool IsExtended() = 0;                                   // slot 4
    virtual bool IsStandard() = 0;                                   // slot 5
    virtual const char* GetName() = 0;                               // slot 6
    virtual uint8_t GetSize() = 0;                                   // slot 7
    virtual uint32_t GetCycleTime() = 0;                             // slot 8
    virtual uint32_t GetDelayTime() = 0;                             // slot 9
    virtual IDbcNode* GetTransmitter() = 0;                          // slot 10
    virtual const char* GetComment() = 0;                            // slot 11
    virtual uint64_t GetSignalCount() = 0;                           // slot 12
    virtual IDbcSignal* GetSignal(uint64_t index) = 0;               // slot 13
    virtual IDbcSignal* FindSignal(const char* name) = 0;            // slot 14
    virtual void SortSignalsByStartBit(bool flag) = 0;               // slot 15
    virtual void SortSignalsByName(bool flag) = 0;                   // slot 16
    virtual uint64_t GetAttributeCount() = 0;                        // slot 17
    virtual IDbcAttribute* GetAttribute(uint64_t index) = 0;         // slot 18
    virtual IDbcAttribute* FindAttribute(const char* name) = 0;      // slot 19
    virtual uint64_t GetTransmitterCount() = 0;                      // slot 20
    virtual IDbcNode* GetTransmitterAt(uint64_t index) = 0;          // slot 21
    virtual void ClearTransmitters() = 0;                            // slot 22
    virtual uint64_t GetSignalGroupCount() = 0;                      // slot 23
    virtual IDbcSignalGroup* GetSignalGroup(uint64_t index) = 0;     // slot 24
    virtual IDbcSignalGroup* FindSignalGroup(const char* name) = 0;  // slot 25
};

class QM_API IDbcEnvironmentVariable {
  public:
    virtual ~IDbcEnvironmentVariable() = default;                 // slot 0
    virtual void Clear() = 0;                                     // slot 1
    virtual const char* GetName() = 0;                            // slot 2
    virtual int32_t GetType() = 0;                                // slot 3
    virtual const char* GetTypeText() = 0;                        // slot 4
    virtual double GetMinimum() = 0;                              // slot 5
    virtual double GetMaximum() = 0;                              // slot 6
    virtual const char* GetUnit() = 0;                            // slot 7
    virtual double GetInitialValue() = 0;                         // slot 8
    virtual uint32_t GetId() = 0;                                 // slot 9
    virtual int32_t GetAccessType() = 0;                          // slot 10
    virtual const char* GetAccessTypeText() = 0;                  // slot 11
    virtual const char* GetAccessTypeToken() = 0;                 // slot 12
    virtual uint64_t GetAccessNodeCount() = 0;                    // slot 13
    virtual const char* GetAccessNode(uint64_t index) = 0;        // slot 14
    virtual bool HasDataSize() = 0;                               // slot 15
    virtual uint32_t GetDataSize() = 0;                           // slot 16
    virtual bool HasNoValueDescriptions() = 0;                    // slot 17
    virtual uint64_t GetValueDescriptionCount() = 0;              // slot 18
    virtual uint32_t GetValueAt(uint64_t index) = 0;              // slot 19
    virtual const char* GetValueDescription(uint32_t value) = 0;  // slot 20
    virtual const char* GetComment() = 0;                         // slot 21
    virtual uint64_t GetAttributeCount() = 0;                     // slot 22
    virtual IDbcAttribute* GetAttribute(uint64_t index) = 0;      // slot 23
    virtual IDbcAttribute* FindAttribute(const char* name) = 0;   // slot 24
};

class QM_API INetConfigDbcFile : public INetFile {
  public:
    virtual const char* GetDatabaseName() = 0;                                           // slot 13
    virtual uint32_t GetBaudrate() = 0;                                                  // slot 14
    virtual bool IsLowSpeed() = 0;                                                       // slot 15
    virtual bool IsHighSpeed() = 0;                                                      // slot 16
    virtual uint32_t GetStatus() = 0;                                                    // slot 17
    virtual const char* GetDbcVersion() = 0;                                             // slot 18
    virtual uint64_t GetNewSymbolCount() = 0;                                            // slot 19
    virtual const char* GetNewSymbol(uint64_t index) = 0;                                // slot 20
    virtual IDbcBitTiming* GetBitTiming() = 0;                                           // slot 21
    virtual uint64_t GetNodeCount() = 0;                                                 // slot 22
    virtual IDbcNode* GetNode(uint64_t index) = 0;                                       // slot 23
    virtual IDbcNode* FindNode(const char* name) = 0;                                    // slot 24
    virtual uint32_t IndexOfNode(IDbcNode* node) = 0;                                    // slot 25
    virtual uint64_t GetValueTableCount() = 0;                                           // slot 26
    virtual IDbcValueTable* GetValueTable(uint64_t index) = 0;                           // slot 27
    virtual IDbcValueTable* FindValueTable(const char* name) = 0;                        // slot 28
    virtual uint32_t IndexOfValueTable(IDbcValueTable* table) = 0;                       // slot 29
    virtual uint64_t GetMessageCount() = 0;                                              // slot 30
    virtual IDbcMessage* GetMessage(uint64_t index) = 0;                                 // slot 31
    virtual IDbcMessage* GetFirstMessage() = 0;                                          // slot 32
    virtual IDbcMessage* GetLastMessage() = 0;                                           // slot 33
    virtual IDbcMessage* FindMessage(uint32_t rawId) = 0;                                // slot 34
    virtual IDbcMessage* FindMessage(const char* name) = 0;                              // slot 35
    virtual uint32_t IndexOfMessage(IDbcMessage* message) = 0;                           // slot 36
    virtual uint64_t GetEnvironmentVariableCount() = 0;                                  // slot 37
    virtual IDbcEnvironmentVariable* GetEnvironmentVariable(uint64_t index) = 0;         // slot 38
    virtual IDbcEnvironmentVariable* FindEnvironmentVariable(const char* name) = 0;      // slot 39
    virtual uint32_t IndexOfEnvironmentVariable(IDbcEnvironmentVariable* variable) = 0;  // slot 40
    virtual uint64_t GetAttributeDefinitionCount() = 0;                                  // slot 41
    virtual IDbcAttributeDefinition* GetAttributeDefinition(uint64_t index) = 0;         // slot 42
    virtual IDbcAttributeDefinition* FindAttributeDefinition(const char* name) = 0;      // slot 43
    virtual uint64_t GetAttributeCount() = 0;                                            // slot 44
    virtual IDbcAttribute* GetAttribute(uint64_t index) = 0;                             // slot 45
    virtual IDbcAttribute* FindAttribute(const char* name) = 0;                          // slot 46
    virtual const char* GetComment() = 0;                                                // slot 47
    virtual uint64_t GetSignalCount() = 0;                                               // slot 48
    virtual IDbcSignal* GetSignal(uint64_t index) = 0;                                   // slot 49
    virtual IDbcSignal* FindSignal(uint32_t rawId, const char* name) = 0;                // slot 50
    virtual uint32_t IndexOfSignal(IDbcSignal* signal) = 0;                              // slot 51
    virtual uint64_t GetTotalSignalCount() = 0;                                          // slot 52
    virtual bool SetSignalName(uint32_t rawId, const char* name,
                               const char* newName) = 0;  // slot 53
    virtual bool SetSignalMultiplexIndicator(uint32_t rawId, const char* name,
                                             const char* indicator) = 0;  // slot 54
    virtual bool SetSignalStartBit(uint32_t rawId, const char* name,
                                   uint16_t startBit) = 0;  // slot 55
    virtual bool SetSignalBitLength(uint32_t rawId, const char* name,
                                    uint16_t length) = 0;  // slot 56
    virtual bool SetSignalByteOrder(uint32_t rawId, const char* name,
                                    char byteOrder) = 0;  // slot 57
    virtual bool SetSignalValueType(uint32_t rawId, const char* name,
                                    char valueType) = 0;  // slot 58
    virtual bool SetSignalFactor(uint32_t rawId, const char* name, double factor,
                                 uint8_t decimals) = 0;  // slot 59
    virtual bool SetSignalOffset(uint32_t rawId, const char* name, double offset,
                                 uint8_t decimals) = 0;  // slot 60
    virtual bool SetSignalMinimum(uint32_t rawId, const char* name, double minimum,
                                  uint8_t decimals) = 0;  // slot 61
    virtual bool SetSignalMaximum(uint32_t rawId, const char* name, double maximum,
                                  uint8_t decimals) = 0;                                 // slot 62
    virtual bool SetSignalUnit(uint32_t rawId, const char* name, const char* unit) = 0;  // slot 63
    virtual bool SetMessageId(uint32_t rawId, uint32_t newRawId) = 0;                    // slot 64
    virtual bool SetMessageName(uint32_t rawId, const char* name) = 0;                   // slot 65
    virtual bool SetMessageSize(uint32_t rawId, uint8_t size) = 0;                       // slot 66
};

// Extensions beyond the interfaces above, reached by dynamic_cast from them; the slot layout of
// the interfaces above does not change.

// Extended multiplexing of a DBC signal (the "SG_MUL_VAL_" lines): the signal is present in a
// frame when its multiplexer is present and the multiplexer's raw value lies in one of the
// ranges. Reached from IDbcSignal.
class QM_API IDbcExtendedMultiplexing {
  public:
    virtual ~IDbcExtendedMultiplexing() = default;
    // The signal whose value selects this one; null when the signal has no extended multiplexing.
    virtual IDbcSignal* GetExtendedMultiplexer() = 0;
    virtual uint64_t GetMultiplexRangeCount() = 0;
    // The bounds of range index (inclusive); 0 beyond the end.
    virtual uint64_t GetMultiplexRangeMinimum(uint64_t index) = 0;
    virtual uint64_t GetMultiplexRangeMaximum(uint64_t index) = 0;
};

// The value descriptions of a signal or environment variable with their values exactly as
// written in the "VAL_" statement: any 64-bit number, "-1" and 5000000000 included, where the
// described GetValueAt gives the 32-bit form (0xFFFFFFFF for both). Reached from IDbcSignal and
// IDbcEnvironmentVariable. Entries are in the order first given; a repeated value replaces the
// earlier description.
class QM_API IDbcExactValueDescriptions {
  public:
    virtual ~IDbcExactValueDescriptions() = default;
    virtual uint64_t GetExactValueCount() = 0;
    // The value of entry index as a signed 64-bit number (0 beyond the end). A value written
    // above INT64_MAX is given as its bit pattern and IsExactValueUnsigned is true for it.
    virtual int64_t GetExactValueAt(uint64_t index) = 0;
    virtual bool IsExactValueUnsigned(uint64_t index) = 0;
    virtual const char* GetExactValueDescriptionAt(uint64_t index) = 0;  // null beyond the end
    // The description of the value whose 64-bit pattern is value (a raw value of any signal,
    // signed ones sign-extended to 64 bits); null when absent.
    virtual const char* FindExactValueDescription(int64_t value) = 0;
};

// Tolerant reading of a DBC file object, reached from INetConfigDbcFile. Off by default: the
// reader then stops at the first line it cannot read. On, every such line becomes a "WARNING. "
// line of the messages and reading goes on (load status 2 when anything was tolerated);
// "SG_MUL_VAL_" lines are read into the extended multiplexing of the signals and written back.
// The switch stays set across Clear and loads.
class QM_API IDbcTolerantReading {
  public:
    virtual ~IDbcTolerantReading() = default;
    virtual void SetTolerantReading(bool tolerant) = 0;
    virtual bool IsTolerantReading() = 0;
    // How many lines the last load tolerated (each is one "WARNING. " line).
    virtual uint64_t GetToleratedLineCount() = 0;
};
