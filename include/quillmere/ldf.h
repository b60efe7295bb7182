#pragma once
// LIN description files (LDF): the file object and the interfaces of its model. Strings are
// narrow byte strings owned by the model; a pointer stays valid until the object changes or
// dies. Counts are 64-bit, an index-of gives 0xFFFFFFFF when the object is not listed.
#include <cstdint>

#include "quillmere/export.h"
#include "quillmere/netfile.h"

class ILdfNode;
class ILdfMasterNode;
class ILdfSlaveNode;
class ILdfFrame;
class ILdfUnconditionalFrame;
class ILdfSporadicFrame;
class ILdfEventTriggeredFrame;
class ILdfDiagnosticFrame;
class ILdfSignal;
class ILdfStandardSignal;
class ILdfDiagnosticSignal;
class ILdfValue;
class ILdfSignalEncodingType;
class ILdfSignalRepresentation;
class ILdfSignalGroup;
class ILdfScheduleTable;
class ILdfConfiguration;
class IScheduleTableCommand;

// Kind codes of the model families.
enum LdfFrameKind : uint8_t {
    kLdfFrameUnconditional = 0,
    kLdfFrameSporadic = 1,
    kLdfFrameEventTriggered = 2,
    kLdfFrameDiagnostic = 3
};
enum LdfSignalKind : uint8_t { kLdfSignalStandard = 0, kLdfSignalDiagnostic = 1 };
enum LdfValueKind : uint8_t {
    kLdfValueLogical = 0,
    kLdfValuePhysical = 1,
    kLdfValueBcd = 2,
    kLdfValueAscii = 3
};
enum LdfCommandKind : uint8_t {
    kLdfCommandFrame = 0,
    kLdfCommandAssignNad = 1,
    kLdfCommandConditionalChangeNad = 2,
    kLdfCommandDataDump = 3,
    kLdfCommandSaveConfiguration = 4,
    kLdfCommandAssignFrameIdRange = 5,
    kLdfCommandFreeFormat = 6,
    kLdfCommandAssignFrameId = 7,
    kLdfCommandUnassignFrameId = 8
};

class QM_API ILdfNode {
  public:
    virtual ~ILdfNode() = default;                                              // slot 0
    virtual void Clear() = 0;                                                   // slot 1
    virtual const char* GetName() = 0;                                          // slot 2
    virtual uint32_t GetDiagnosticAddress() = 0;                                // slot 3
    virtual uint8_t IsMaster() = 0;                                             // slot 4
    virtual uint8_t IsSlave() = 0;                                              // slot 5
    virtual uint64_t GetPublishedFrameCount() = 0;                              // slot 6
    virtual ILdfUnconditionalFrame* GetPublishedFrame(uint64_t index) = 0;      // slot 7
    virtual ILdfUnconditionalFrame* FindPublishedFrame(const char* name) = 0;   // slot 8
    virtual uint64_t GetSubscribedFrameCount() = 0;                             // slot 9
    virtual ILdfUnconditionalFrame* GetSubscribedFrame(uint64_t index) = 0;     // slot 10
    virtual ILdfUnconditionalFrame* FindSubscribedFrame(const char* name) = 0;  // slot 11
    virtual uint64_t GetSubscribedSignalCount() = 0;                            // slot 12
    virtual ILdfStandardSignal* GetSubscribedSignal(uint64_t index) = 0;        // slot 13
    virtual ILdfStandardSignal* FindSubscribedSignal(const char* name) = 0;     // slot 14
};

class QM_API ILdfMasterNode : public ILdfNode {
  public:
    virtual double GetTimeBase() = 0;     // slot 15
    virtual double GetJitter() = 0;       // slot 16
    virtual uint32_t GetBitLength() = 0;  // slot 17
    virtual uint8_t GetTolerant() = 0;    // slot 18
};

class QM_API IProductId {
  public:
    virtual ~IProductId() = default;       // slot 0
    virtual void Clear() = 0;              // slot 1
    virtual uint16_t GetSupplierId() = 0;  // slot 2
    virtual uint16_t GetFunctionId() = 0;  // slot 3
    virtual uint8_t HasVariant() = 0;      // slot 4
    virtual uint8_t GetVariant() = 0;      // slot 5
};

class QM_API IConfigurableFrame {
  public:
    virtual ~IConfigurableFrame() = default;  // slot 0
    virtual void Clear() = 0;                 // slot 1
    virtual ILdfFrame* GetFrame() = 0;        // slot 2
    virtual uint8_t HasMessageId() = 0;       // slot 3
    virtual uint16_t GetMessageId() = 0;      // slot 4
};

class QM_API ILdfSlaveNode : public ILdfNode {
  public:
    virtual const char* GetLinProtocol() = 0;                                    // slot 15
    virtual uint8_t GetConfiguredNad() = 0;                                      // slot 16
    virtual uint8_t HasInitialNad() = 0;                                         // slot 17
    virtual uint8_t GetInitialNad() = 0;                                         // slot 18
    virtual IProductId* GetProductId() = 0;                                      // slot 19
    virtual ILdfStandardSignal* GetResponseErrorSignal() = 0;                    // slot 20
    virtual uint8_t HasFaultStateSignals() = 0;                                  // slot 21
    virtual uint64_t GetFaultStateSignalCount() = 0;                             // slot 22
    virtual ILdfStandardSignal* GetFaultStateSignal(uint64_t index) = 0;         // slot 23
    virtual ILdfStandardSignal* FindFaultStateSignal(const char* name) = 0;      // slot 24
    virtual uint8_t HasP2Min() = 0;                                              // slot 25
    virtual double GetP2Min() = 0;                                               // slot 26
    virtual uint8_t HasStMin() = 0;                                              // slot 27
    virtual double GetStMin() = 0;                                               // slot 28
    virtual uint8_t HasNAsTimeout() = 0;                                         // slot 29
    virtual double GetNAsTimeout() = 0;                                          // slot 30
    virtual uint8_t HasNCrTimeout() = 0;                                         // slot 31
    virtual double GetNCrTimeout() = 0;                                          // slot 32
    virtual uint8_t HasResponseTolerance() = 0;                                  // slot 33
    virtual uint8_t GetResponseTolerance() = 0;                                  // slot 34
    virtual uint64_t GetConfigurableFrameCount() = 0;                            // slot 35
    virtual IConfigurableFrame* GetConfigurableFrame(uint64_t index) = 0;        // slot 36
    virtual uint16_t GetConfigurableMessageIdByFrameId(uint8_t frameId) = 0;     // slot 37
    virtual uint16_t GetConfigurableMessageIdByFrameName(const char* name) = 0;  // slot 38
};

class QM_API ICompositeNodeGroup {
  public:
    virtual ~ICompositeNodeGroup() = default;                 // slot 0
    virtual void Clear() = 0;                                 // slot 1
    virtual ILdfNode* GetCompositeNode() = 0;                 // slot 2
    virtual uint64_t GetLogicalNodeCount() = 0;               // slot 3
    virtual ILdfNode* GetLogicalNode(uint64_t index) = 0;     // slot 4
    virtual ILdfNode* FindLogicalNode(const char* name) = 0;  // slot 5
};

class QM_API ILdfConfiguration {
  public:
    virtual ~ILdfConfiguration() = default;                                  // slot 0
    virtual void Clear() = 0;                                                // slot 1
    virtual const char* GetName() = 0;                                       // slot 2
    virtual uint64_t GetCompositeNodeGroupCount() = 0;                       // slot 3
    virtual ICompositeNodeGroup* GetCompositeNodeGroup(uint64_t index) = 0;  // slot 4
    virtual ICompositeNodeGroup* FindCompositeNodeGroup(
        const char* compositeNodeName) = 0;  // slot 5
};

class QM_API ILdfFrame {
  public:
    virtual ~ILdfFrame() = default;      // slot 0
    virtual void Clear() = 0;            // slot 1
    virtual const char* GetName() = 0;   // slot 2
    virtual uint8_t GetFrameKind() = 0;  // slot 3
};

class QM_API ILdfUnconditionalFrame : public ILdfFrame {
  public:
    virtual uint8_t GetFrameId() = 0;                              // slot 4
    virtual ILdfNode* GetPublisher() = 0;                          // slot 5
    virtual uint8_t GetLength() = 0;                               // slot 6
    virtual uint8_t IsDynamic() = 0;                               // slot 7
    virtual uint64_t GetSignalCount() = 0;                         // slot 8
    virtual ILdfStandardSignal* GetSignal(uint64_t index) = 0;     // slot 9
    virtual ILdfStandardSignal* GetFirstSignal() = 0;              // slot 10
    virtual ILdfStandardSignal* GetLastSignal() = 0;               // slot 11
    virtual ILdfStandardSignal* FindSignal(const char* name) = 0;  // slot 12
};

class QM_API ILdfSporadicFrame : public ILdfFrame {
  public:
    virtual uint64_t GetAssociatedFrameCount() = 0;                                // slot 4
    virtual ILdfUnconditionalFrame* GetAssociatedFrame(uint64_t index) = 0;        // slot 5
    virtual ILdfUnconditionalFrame* FindAssociatedFrame(const char* name) = 0;     // slot 6
    virtual ILdfUnconditionalFrame* FindAssociatedFrameById(uint8_t frameId) = 0;  // slot 7
};

class QM_API ILdfEventTriggeredFrame : public ILdfFrame {
  public:
    virtual ILdfScheduleTable* GetCollisionResolvingScheduleTable() = 0;           // slot 4
    virtual uint8_t GetFrameId() = 0;                                              // slot 5
    virtual uint64_t GetAssociatedFrameCount() = 0;                                // slot 6
    virtual ILdfUnconditionalFrame* GetAssociatedFrame(uint64_t index) = 0;        // slot 7
    virtual ILdfUnconditionalFrame* FindAssociatedFrame(const char* name) = 0;     // slot 8
    virtual ILdfUnconditionalFrame* FindAssociatedFrameById(uint8_t frameId) = 0;  // slot 9
};

class QM_API ILdfDiagnosticFrame : public ILdfFrame {
  public:
    virtual uint8_t GetFrameId() = 0;                                          // slot 4
    virtual uint64_t GetDiagnosticSignalCount() = 0;                           // slot 5
    virtual ILdfDiagnosticSignal* GetDiagnosticSignal(uint64_t index) = 0;     // slot 6
    virtual ILdfDiagnosticSignal* FindDiagnosticSignal(const char* name) = 0;  // slot 7
    virtual uint8_t IsMasterRequest() = 0;                                     // slot 8
    virtual uint8_t IsSlaveResponse() = 0;                                     // slot 9
};

class QM_API ILdfSignal {
  public:
    virtual ~ILdfSignal() = default;      // slot 0
    virtual void Clear() = 0;             // slot 1
    virtual const char* GetName() = 0;    // slot 2
    virtual uint8_t GetSignalKind() = 0;  // slot 3
};

class QM_API ILdfStandardSignal : public ILdfSignal {
  public:
    virtual uint8_t GetSize() = 0;                                              // slot 4
    virtual uint64_t GetInitialValueCount() = 0;                                // slot 5
    virtual uint16_t GetInitialValue(uint64_t index) = 0;                       // slot 6
    virtual void ClearInitialValues() = 0;                                      // slot 7
    virtual uint8_t IsByteArray() = 0;                                          // slot 8
    virtual const char* GetType() = 0;                                          // slot 9
    virtual uint8_t GetBitOrder() = 0;                                          // slot 10
    virtual const char* GetByteOrder() = 0;                                     // slot 11
    virtual uint16_t GetBitOffset() = 0;                                        // slot 12
    virtual uint16_t GetGroupOffset() = 0;                                      // slot 13
    virtual ILdfNode* GetPublisher() = 0;                                       // slot 14
    virtual uint64_t GetSubscriberCount() = 0;                                  // slot 15
    virtual ILdfNode* GetSubscriber(uint64_t index) = 0;                        // slot 16
    virtual void ClearSubscribers() = 0;                                        // slot 17
    virtual ILdfSignalEncodingType* GetEncodingType() = 0;                      // slot 18
    virtual ILdfUnconditionalFrame* GetFrame() = 0;                             // slot 19
    virtual uint64_t GetReference() = 0;                                        // slot 20
    virtual uint64_t GetRawValue(const uint8_t* data, uint64_t byteCount) = 0;  // slot 21
};

class QM_API ILdfDiagnosticSignal : public ILdfSignal {
  public:
    virtual uint8_t GetSize() = 0;                         // slot 4
    virtual uint64_t GetInitialValueCount() = 0;           // slot 5
    virtual uint16_t GetInitialValue(uint64_t index) = 0;  // slot 6
    virtual void ClearInitialValues() = 0;                 // slot 7
    virtual const char* GetText() = 0;                     // slot 8
    virtual ILdfDiagnosticFrame* GetFrame() = 0;           // slot 9
};

class QM_API ILdfValue {
  public:
    virtual ~ILdfValue() = default;      // slot 0
    virtual void Clear() = 0;            // slot 1
    virtual uint8_t GetValueKind() = 0;  // slot 2
};

class QM_API ILdfLogicalValue : public ILdfValue {
  public:
    virtual uint32_t GetSignalValue() = 0;  // slot 3
    virtual const char* GetTextInfo() = 0;  // slot 4
};

class QM_API ILdfPhysicalValue : public ILdfValue {
  public:
    virtual uint32_t GetMinimum() = 0;        // slot 3
    virtual uint32_t GetMaximum() = 0;        // slot 4
    virtual double GetScale() = 0;            // slot 5
    virtual const char* GetScaleText() = 0;   // slot 6
    virtual double GetOffset() = 0;           // slot 7
    virtual const char* GetOffsetText() = 0;  // slot 8
    virtual const char* GetTextInfo() = 0;    // slot 9
};

class QM_API ILdfSignalEncodingType {
  public:
    virtual ~ILdfSignalEncodingType() = default;                // slot 0
    virtual void Clear() = 0;                                   // slot 1
    virtual const char* GetName() = 0;                          // slot 2
    virtual uint64_t GetValueCount() = 0;                       // slot 3
    virtual ILdfValue* GetValue(uint64_t index) = 0;            // slot 4
    virtual uint64_t GetSignalCount() = 0;                      // slot 5
    virtual ILdfStandardSignal* GetSignal(uint64_t index) = 0;  // slot 6
};

class QM_API ILdfSignalRepresentation {
  public:
    virtual ~ILdfSignalRepresentation() = default;              // slot 0
    virtual void Clear() = 0;                                   // slot 1
    virtual ILdfSignalEncodingType* GetEncodingType() = 0;      // slot 2
    virtual uint64_t GetSignalCount() = 0;                      // slot 3
    virtual ILdfStandardSignal* GetSignal(uint64_t index) = 0;  // slot 4
};

class QM_API ILdfSignalGroup {
  public:
    virtual ~ILdfSignalGroup() = default;                          // slot 0
    virtual void Clear() = 0;                                      // slot 1
    virtual const char* GetName() = 0;                             // slot 2
    virtual uint8_t GetSize() = 0;                                 // slot 3
    virtual uint64_t GetSignalCount() = 0;                         // slot 4
    virtual ILdfStandardSignal* GetSignal(uint64_t index) = 0;     // slot 5
    virtual ILdfStandardSignal* FindSignal(const char* name) = 0;  // slot 6
};

class QM_API IScheduleTableCommand {
  public:
    virtual ~IScheduleTableCommand() = default;  // slot 0
    virtual void Clear() = 0;                    // slot 1
    virtual uint8_t GetCommandKind() = 0;        // slot 2
};

class QM_API IFrameCommand : public IScheduleTableCommand {
  public:
    virtual ILdfFrame* GetFrame() = 0;  // slot 3
};

class QM_API IAssignNadCommand : public IScheduleTableCommand {
  public:
    virtual ILdfSlaveNode* GetNode() = 0;  // slot 3
    virtual uint8_t GetInitialNad() = 0;   // slot 4
    virtual uint8_t GetNewNad() = 0;       // slot 5
    virtual uint16_t GetSupplierId() = 0;  // slot 6
    virtual uint16_t GetFunctionId() = 0;  // slot 7
};

class QM_API IConditionalChangeNadCommand : public IScheduleTableCommand {
  public:
    virtual uint8_t GetNad() = 0;     // slot 3
    virtual uint8_t GetId() = 0;      // slot 4
    virtual uint8_t GetByte() = 0;    // slot 5
    virtual uint8_t GetMask() = 0;    // slot 6
    virtual uint8_t GetInv() = 0;     // slot 7
    virtual uint8_t GetNewNad() = 0;  // slot 8
};

class QM_API IDataDumpCommand : public IScheduleTableCommand {
  public:
    virtual ILdfSlaveNode* GetNode() = 0;             // slot 3
    virtual uint8_t GetDataByte(uint64_t index) = 0;  // slot 4
};

class QM_API ISaveConfigurationCommand : public IScheduleTableCommand {
  public:
    virtual ILdfSlaveNode* GetNode() = 0;  // slot 3
};

class QM_API IAssignFrameIdRangeCommand : public IScheduleTableCommand {
  public:
    virtual ILdfSlaveNode* GetNode() = 0;        // slot 3
    virtual uint8_t GetFrameIndex() = 0;         // slot 4
    virtual uint8_t HasPids() = 0;               // slot 5
    virtual uint8_t GetPid(uint64_t index) = 0;  // slot 6
};

class QM_API IFreeFormatCommand : public IScheduleTableCommand {
  public:
    virtual uint8_t GetDataByte(uint64_t index) = 0;  // slot 3
};

class QM_API IAssignFrameIdCommand : public IScheduleTableCommand {
  public:
    virtual ILdfSlaveNode* GetNode() = 0;  // slot 3
    virtual ILdfFrame* GetFrame() = 0;     // slot 4
};

class QM_API IUnassignFrameIdCommand : public IScheduleTableCommand {
  public:
    virtual ILdfSlaveNode* GetNode() = 0;  // slot 3
    virtual ILdfFrame* GetFrame() = 0;     // slot 4
};

class QM_API ITask {
  public:
    virtual ~ITask() = default;                       // slot 0
    virtual void Clear() = 0;                         // slot 1
    virtual IScheduleTableCommand* GetCommand() = 0;  // slot 2
    virtual uint8_t GetDelay() = 0;                   // slot 3
};

class QM_API ILdfScheduleTable {
  public:
    virtual ~ILdfScheduleTable() = default;      // slot 0
    virtual void Clear() = 0;                    // slot 1
    virtual const char* GetName() = 0;           // slot 2
    virtual uint64_t GetTaskCount() = 0;         // slot 3
    virtual ITask* GetTask(uint64_t index) = 0;  // slot 4
};

// Tolerant reading of an LDF file object, reached from INetConfigLdfFile by dynamic_cast. Off by
// default: the reader then reads as described. On, it reads what LIN tools accept: a
// schedule-table delay with its unit glued to the number ("delay 10ms;") as "delay 10 ms", a
// statement after the "{" of a section's keyword line, node attribute lists split at commas; and
// it names a cut or empty file and an encoding type defined twice. Each such reading adds a
// "WARNING. " line to the messages (see docs/API.md). The switch stays set across Clear and loads.
class QM_API ILdfTolerantReading {
  public:
    virtual ~ILdfTolerantReading() = default;
    virtual void SetTolerantReading(bool tolerant) = 0;
    virtual bool IsTolerantReading() = 0;
};

class QM_API INetConfigLdfFile : public INetFile {
  public:
    virtual const char* GetName() = 0;                                                 // slot 13
    virtual uint64_t GetCommentCount() = 0;                                            // slot 14
    virtual const char* GetComment(uint64_t index) = 0;                                // slot 15
    virtual const char* GetProtocolVersion() = 0;                                      // slot 16
    virtual const char* GetLanguageVersion() = 0;                                      // slot 17
    virtual const char* GetFileRevision() = 0;                                         // slot 18
    virtual double GetSpeed() = 0;                                                     // slot 19
    virtual const char* GetChannelName() = 0;                                          // slot 20
    virtual uint64_t GetSignalCount() = 0;                                             // slot 21
    virtual uint64_t GetFrameSignalCount() = 0;                                        // slot 22
    virtual uint64_t GetUnusedSignalCount() = 0;                                       // slot 23
    virtual ILdfSignal* GetSignal(uint64_t index) = 0;                                 // slot 24
    virtual ILdfSignal* FindSignal(const char* name) = 0;                              // slot 25
    virtual uint32_t IndexOfSignal(ILdfSignal* signal) = 0;                            // slot 26
    virtual uint64_t GetFrameStandardSignalCount() = 0;                                // slot 27
    virtual uint64_t GetUnusedStandardSignalCount() = 0;                               // slot 28
    virtual uint64_t GetStandardSignalCount() = 0;                                     // slot 29
    virtual ILdfStandardSignal* GetStandardSignal(uint64_t index) = 0;                 // slot 30
    virtual ILdfStandardSignal* FindStandardSignal(const char* name) = 0;              // slot 31
    virtual uint32_t IndexOfStandardSignal(ILdfStandardSignal* signal) = 0;            // slot 32
    virtual uint64_t GetFrameCount() = 0;                                              // slot 33
    virtual ILdfFrame* GetFrame(uint64_t index) = 0;                                   // slot 34
    virtual ILdfFrame* FindFrame(const char* name) = 0;                                // slot 35
    virtual uint32_t IndexOfFrame(ILdfFrame* frame) = 0;                               // slot 36
    virtual uint64_t GetUnconditionalFrameCount() = 0;                                 // slot 37
    virtual ILdfUnconditionalFrame* GetUnconditionalFrame(uint64_t index) = 0;         // slot 38
    virtual ILdfUnconditionalFrame* FindUnconditionalFrame(const char* name) = 0;      // slot 39
    virtual ILdfUnconditionalFrame* FindUnconditionalFrameById(int8_t frameId) = 0;    // slot 40
    virtual uint32_t IndexOfUnconditionalFrame(ILdfUnconditionalFrame* frame) = 0;     // slot 41
    virtual uint64_t GetSporadicFrameCount() = 0;                                      // slot 42
    virtual ILdfSporadicFrame* GetSporadicFrame(uint64_t index) = 0;                   // slot 43
    virtual ILdfSporadicFrame* FindSporadicFrame(const char* name) = 0;                // slot 44
    virtual uint32_t IndexOfSporadicFrame(ILdfSporadicFrame* frame) = 0;               // slot 45
    virtual uint64_t GetEventTriggeredFrameCount() = 0;                                // slot 46
    virtual ILdfEventTriggeredFrame* GetEventTriggeredFrame(uint64_t index) = 0;       // slot 47
    virtual ILdfEventTriggeredFrame* FindEventTriggeredFrame(const char* name) = 0;    // slot 48
    virtual ILdfEventTriggeredFrame* FindEventTriggeredFrameById(int8_t frameId) = 0;  // slot 49
    virtual uint32_t IndexOfEventTriggeredFrame(ILdfEventTriggeredFrame* frame) = 0;   // slot 50
    virtual uint64_t GetDiagnosticFrameCount() = 0;                                    // slot 51
    virtual ILdfDiagnosticFrame* GetDiagnosticFrame(uint64_t index) = 0;               // slot 52
    virtual ILdfDiagnosticFrame* FindDiagnosticFrame(const char* name) = 0;            // slot 53
    virtual ILdfDiagnosticFrame* FindDiagnosticFrameById(int8_t frameId) = 0;          // slot 54
    virtual uint32_t IndexOfDiagnosticFrame(ILdfDiagnosticFrame* frame) = 0;           // slot 55
    virtual uint64_t GetFrameDiagnosticSignalCount() = 0;                              // slot 56
    virtual uint64_t GetUnusedDiagnosticSignalCount() = 0;                             // slot 57
    virtual uint64_t GetDiagnosticSignalCount() = 0;                                   // slot 58
    virtual ILdfDiagnosticSignal* GetDiagnosticSignal(uint64_t index) = 0;             // slot 59
    virtual ILdfDiagnosticSignal* FindDiagnosticSignal(const char* name) = 0;          // slot 60
    virtual uint32_t IndexOfDiagnosticSignal(ILdfDiagnosticSignal* signal) = 0;        // slot 61
    virtual uint64_t GetNodeCount() = 0;                                               // slot 62
    virtual ILdfNode* GetNode(uint64_t index) = 0;                                     // slot 63
    virtual ILdfNode* FindNode(const char* name) = 0;                                  // slot 64
    virtual ILdfNode* GetFirstNode() = 0;                                              // slot 65
    virtual ILdfNode* GetLastNode() = 0;                                               // slot 66
    virtual uint32_t IndexOfNode(ILdfNode* node) = 0;                                  // slot 67
    virtual ILdfMasterNode* GetMasterNode() = 0;                                       // slot 68
    virtual uint32_t IndexOfMasterNode() = 0;                                          // slot 69
    virtual uint64_t GetSlaveNodeCount() = 0;                                          // slot 70
    virtual ILdfSlaveNode* GetSlaveNode(uint64_t index) = 0;                           // slot 71
    virtual ILdfSlaveNode* FindSlaveNode(const char* name) = 0;                        // slot 72
    virtual ILdfSlaveNode* FindSlaveNodeByNad(int8_t configuredNad) = 0;               // slot 73
    virtual uint32_t IndexOfSlaveNode(ILdfSlaveNode* node) = 0;                        // slot 74
    virtual uint64_t GetConfigurationCount() = 0;                                      // slot 75
    virtual ILdfConfiguration* GetConfiguration(uint64_t index) = 0;                   // slot 76
    virtual ILdfConfiguration* FindConfiguration(const char* name) = 0;                // slot 77
    virtual uint32_t IndexOfConfiguration(ILdfConfiguration* configuration) = 0;       // slot 78
    virtual uint64_t GetScheduleTableCount() = 0;                                      // slot 79
    virtual ILdfScheduleTable* GetScheduleTable(uint64_t index) = 0;                   // slot 80
    virtual ILdfScheduleTable* FindScheduleTable(const char* name) = 0;                // slot 81
    virtual uint32_t IndexOfScheduleTable(ILdfScheduleTable* table) = 0;               // slot 82
    virtual uint64_t GetTaskCount() = 0;                                               // slot 83
    virtual uint64_t GetSignalGroupCount() = 0;                                        // slot 84
    virtual ILdfSignalGroup* GetSignalGroup(uint64_t index) = 0;                       // slot 85
    virtual ILdfSignalGroup* FindSignalGroup(const char* name) = 0;                    // slot 86
    virtual uint32_t IndexOfSignalGroup(ILdfSignalGroup* group) = 0;                   // slot 87
    virtual uint64_t GetEncodingTypeCount() = 0;                                       // slot 88
    virtual ILdfSignalEncodingType* GetEncodingType(uint64_t index) = 0;               // slot 89
    virtual ILdfSignalEncodingType* FindEncodingType(const char* name) = 0;            // slot 90
    virtual uint32_t IndexOfEncodingType(ILdfSignalEncodingType* encoding) = 0;        // slot 91
    virtual uint64_t GetRepresentationCount() = 0;                                     // slot 92
    virtual ILdfSignalRepresentation* GetRepresentation(uint64_t index) = 0;           // slot 93
    virtual uint8_t GetResultCode() = 0;                                               // slot 94
    virtual uint8_t RenameSignal(const char* oldName, const char* newName) = 0;        // slot 95
    virtual uint8_t SetSignalSize(const char* name, uint8_t bits) = 0;                 // slot 96
    // clang-format off
    virtual uint8_t SetSignalInitialValues(const char* name, const uint16_t* values, uint64_t count) = 0; // slot 97
    virtual uint8_t SetSignalInitialValue(const char* name, uint16_t value, uint64_t index) = 0;  // slot 98
    // clang-format on
    virtual uint8_t SetSignalBitOffset(const char* name, uint16_t bitOffset) = 0;  // slot 99
    virtual uint8_t RenameFrame(const char* oldName, const char* newName) = 0;     // slot 100
    virtual uint8_t SetFrameLength(const char* name, uint8_t bytes) = 0;           // slot 101
    virtual uint8_t SetFrameId(const char* name, uint8_t frameId) = 0;             // slot 102
};
