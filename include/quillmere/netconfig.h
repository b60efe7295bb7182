#pragma once
// The format-neutral network model: one database per bus with its ECUs, messages (frames) and
// signals, and the network configuration that builds it from DBC, LDF and ARXML files.
// Strings are narrow byte strings; a returned text stays valid until its object changes or dies.
// A get by index returns null beyond the end; a find by name compares the whole name byte for
// byte and returns the first match or null.
#include <cstddef>
#include <cstdint>

#include "quillmere/export.h"
#include "quillmere/netfile.h"

class INetEcu;
class INetMessage;
class INetSignal;
class INetConfigDbcFile;
class INetConfigLdfFile;
class INetConfigArxmlFile;

// A named text property of a network object.
class QM_API INetAttribute {
  public:
    virtual ~INetAttribute() = default;  // slot 0
    virtual void Clear() = 0;            // slot 1
    virtual const char* GetName() = 0;   // slot 2
    virtual const char* GetValue() = 0;  // slot 3
};

// One value-table or encoding entry of a signal.
class QM_API INetVTabValue {
  public:
    virtual ~INetVTabValue() = default;   // slot 0
    virtual void Clear() = 0;             // slot 1
    virtual uint64_t GetRawMin() = 0;     // slot 2
    virtual uint64_t GetRawMax() = 0;     // slot 3
    virtual double GetPhysicalMin() = 0;  // slot 4
    virtual double GetPhysicalMax() = 0;  // slot 5
    virtual const char* GetText() = 0;    // slot 6
};

class QM_API INetSignal {
  public:
    virtual ~INetSignal() = default;                                       // slot 0
    virtual void Clear() = 0;                                              // slot 1
    virtual const char* GetName() = 0;                                     // slot 2
    virtual uint16_t GetStartBit() = 0;                                    // slot 3
    virtual uint16_t GetBitSize() = 0;                                     // slot 4
    virtual int64_t GetMinimumInt() = 0;                                   // slot 5
    virtual int64_t GetMaximumInt() = 0;                                   // slot 6
    virtual double GetMinimum() = 0;                                       // slot 7
    virtual double GetMaximum() = 0;                                       // slot 8
    virtual const char* GetUnit() = 0;                                     // slot 9
    virtual double GetFactor() = 0;                                        // slot 10
    virtual double GetOffset() = 0;                                        // slot 11
    virtual const char* GetComment() = 0;                                  // slot 12
    virtual uint64_t GetVTabValueCount() = 0;                              // slot 13
    virtual INetVTabValue* GetVTabValue(uint64_t index) = 0;               // slot 14
    virtual uint32_t GetValueType() = 0;                                   // slot 15
    virtual uint32_t GetByteOrder() = 0;                                   // slot 16
    virtual const char* GetValueTypeName() = 0;                            // slot 17
    virtual const char* GetByteOrderName() = 0;                            // slot 18
    virtual uint32_t GetSignedness() = 0;                                  // slot 19
    virtual const char* GetSignednessName() = 0;                           // slot 20
    virtual INetMessage* GetMessage() = 0;                                 // slot 21
    virtual uint64_t GetRawValue(const uint8_t* data, size_t length) = 0;  // slot 22
    virtual uint64_t GetPropertyCount() = 0;                               // slot 23
    virtual INetAttribute* FindProperty(const char* name) = 0;             // slot 24
    virtual INetAttribute* GetProperty(uint64_t index) = 0;                // slot 25
    virtual uint64_t GetFileAttributeCount() = 0;                          // slot 26
    virtual INetAttribute* FindFileAttribute(const char* name) = 0;        // slot 27
    virtual INetAttribute* GetFileAttribute(uint64_t index) = 0;           // slot 28
    virtual uint64_t GetReceiverCount() = 0;                               // slot 29
    virtual INetEcu* FindReceiver(const char* name) = 0;                   // slot 30
    virtual INetEcu* GetReceiver(uint64_t index) = 0;                      // slot 31
    virtual const char* GetQualifiedName() = 0;                            // slot 32
};

class QM_API INetMessage {
  public:
    virtual ~INetMessage() = default;                                // slot 0
    virtual void Clear() = 0;                                        // slot 1
    virtual const char* GetName() = 0;                               // slot 2
    virtual uint32_t GetId() = 0;                                    // slot 3
    virtual uint8_t GetSize() = 0;                                   // slot 4
    virtual bool IsPayload(const uint8_t* payload) = 0;              // slot 5
    virtual bool SetData(const uint8_t* payload) = 0;                // slot 6
    virtual INetEcu* GetTransmitter() = 0;                           // slot 7
    virtual uint64_t GetReceiverCount() = 0;                         // slot 8
    virtual INetEcu* FindReceiver(const char* name) = 0;             // slot 9
    virtual INetEcu* GetReceiver(uint64_t index) = 0;                // slot 10
    virtual uint64_t GetSignalCount() = 0;                           // slot 11
    virtual INetSignal* FindSignal(const char* name) = 0;            // slot 12
    virtual INetSignal* GetSignal(uint64_t index) = 0;               // slot 13
    virtual uint64_t GetPropertyCount() = 0;                         // slot 14
    virtual INetAttribute* FindProperty(const char* name) = 0;       // slot 15
    virtual INetAttribute* GetProperty(uint64_t index) = 0;          // slot 16
    virtual uint64_t GetFileAttributeCount() = 0;                    // slot 17
    virtual INetAttribute* FindFileAttribute(const char* name) = 0;  // slot 18
    virtual INetAttribute* GetFileAttribute(uint64_t index) = 0;     // slot 19
};

class QM_API INetEcu {
  public:
    virtual ~INetEcu() = default;                                    // slot 0
    virtual void Clear() = 0;                                        // slot 1
    virtual const char* GetName() = 0;                               // slot 2
    virtual uint64_t GetTxMessageCount() = 0;                        // slot 3
    virtual INetMessage* FindTxMessage(const char* name) = 0;        // slot 4
    virtual INetMessage* FindTxMessage(uint32_t id) = 0;             // slot 5
    virtual INetMessage* GetTxMessage(uint64_t index) = 0;           // slot 6
    virtual uint64_t GetRxMessageCount() = 0;                        // slot 7
    virtual INetMessage* FindRxMessage(const char* name) = 0;        // slot 8
    virtual INetMessage* FindRxMessage(uint32_t id) = 0;             // slot 9
    virtual INetMessage* GetRxMessage(uint64_t index) = 0;           // slot 10
    virtual uint64_t GetRxSignalCount() = 0;                         // slot 11
    virtual INetSignal* FindRxSignal(const char* name) = 0;          // slot 12
    virtual INetSignal* GetRxSignal(uint64_t index) = 0;             // slot 13
    virtual uint64_t GetPropertyCount() = 0;                         // slot 14
    virtual INetAttribute* FindProperty(const char* name) = 0;       // slot 15
    virtual INetAttribute* GetProperty(uint64_t index) = 0;          // slot 16
    virtual uint64_t GetFileAttributeCount() = 0;                    // slot 17
    virtual INetAttribute* FindFileAttribute(const char* name) = 0;  // slot 18
    virtual INetAttribute* GetFileAttribute(uint64_t index) = 0;     // slot 19
    virtual uint8_t IsSlave() = 0;                                   // slot 20
    virtual uint8_t IsMaster() = 0;                                  // slot 21
};

// Values of INetDataBase::GetBusType().
enum NetBusType : uint32_t {
    kNetBusUnknown = 0,
    kNetBusCan = 1,
    kNetBusLin = 2,
    kNetBusEthernet = 3
};

// One bus.
class QM_API INetDataBase {
  public:
    virtual ~INetDataBase() = default;                               // slot 0
    virtual void Clear() = 0;                                        // slot 1
    virtual const char* GetName() = 0;                               // slot 2
    virtual uint32_t GetBusType() = 0;                               // slot 3
    virtual bool IsFromArxml() = 0;                                  // slot 4
    virtual bool IsFromFile() = 0;                                   // slot 5
    virtual bool SaveAs(const char* path) = 0;                       // slot 6
    virtual INetConfigLdfFile* GetLdfFile() = 0;                     // slot 7
    virtual INetConfigDbcFile* GetDbcFile() = 0;                     // slot 8
    virtual uint64_t GetEcuCount() = 0;                              // slot 9
    virtual INetEcu* GetEcu(uint64_t index) = 0;                     // slot 10
    virtual INetEcu* FindEcu(const char* name) = 0;                  // slot 11
    virtual uint64_t GetMessageCount() = 0;                          // slot 12
    virtual INetMessage* FindMessage(const char* name) = 0;          // slot 13
    virtual INetMessage* FindMessage(uint32_t id) = 0;               // slot 14
    virtual INetMessage* GetMessage(uint64_t index) = 0;             // slot 15
    virtual uint64_t GetSignalCount() = 0;                           // slot 16
    virtual INetSignal* FindSignal(const char* name) = 0;            // slot 17
    virtual INetSignal* GetSignal(uint64_t index) = 0;               // slot 18
    virtual uint64_t GetPropertyCount() = 0;                         // slot 19
    virtual INetAttribute* FindProperty(const char* name) = 0;       // slot 20
    virtual INetAttribute* GetProperty(uint64_t index) = 0;          // slot 21
    virtual uint64_t GetFileAttributeCount() = 0;                    // slot 22
    virtual INetAttribute* FindFileAttribute(const char* name) = 0;  // slot 23
    virtual INetAttribute* GetFileAttribute(uint64_t index) = 0;     // slot 24
};

// Two sets of frames and signals that a host collects for its own diagnosis of a bus. The host
// owns it and fills it; the sets are ordered by object address.
class QM_API INetFrameDiagnostic {
  public:
    virtual ~INetFrameDiagnostic() = default;                // slot 0
    virtual void Clear() = 0;                                // slot 1
    virtual void AddMessage(INetMessage* message) = 0;       // slot 2
    virtual void AddFrame(INetMessage* message) = 0;         // slot 3
    virtual void AddSignal(INetSignal* signal) = 0;          // slot 4
    virtual uint64_t GetMessageCount() = 0;                  // slot 5
    virtual INetMessage* FindMessage(const char* name) = 0;  // slot 6
    virtual INetMessage* GetMessage(uint64_t index) = 0;     // slot 7
    virtual uint64_t GetSignalCount() = 0;                   // slot 8
    virtual INetSignal* FindSignal(const char* name) = 0;    // slot 9
    virtual INetSignal* GetSignal(uint64_t index) = 0;       // slot 10
};

// Results of the load operations of INetConfig.
enum NetLoadResult : uint8_t {
    kNetLoadOk = 0,
    kNetLoadWithWarnings = 1,        // DBC: a reference named a missing object
    kNetLoadUnsupportedKeyword = 2,  // DBC
    kNetLoadUndefinedTag = 3,        // DBC
    kNetLoadFileNotOpened = 4,       // DBC and LDF
    kNetLoadFailed = 6,
    kNetLoadFormatNotSupported = 9
};

// The network configuration: loads DBC, LDF and ARXML files and holds one database per bus.
class QM_API INetConfig {
  public:
    virtual ~INetConfig() = default;                             // slot 0
    virtual void Clear() = 0;                                    // slot 1
    virtual const char* GetLastMessages() = 0;                   // slot 2
    virtual uint8_t LoadLdf(const wchar_t* path) = 0;            // slot 3
    virtual uint8_t LoadLdf(const char* path) = 0;               // slot 4
    virtual uint8_t LoadDbc(const wchar_t* path) = 0;            // slot 5
    virtual uint8_t LoadDbc(const char* path) = 0;               // slot 6
    virtual uint8_t LoadArxml(const wchar_t* path) = 0;          // slot 7
    virtual uint8_t LoadArxml(const char* path) = 0;             // slot 8
    virtual uint8_t LoadFibex(const wchar_t* path) = 0;          // slot 9
    virtual uint8_t LoadFibex(const char* path) = 0;             // slot 10
    virtual INetFile* GetFile(uint64_t index) = 0;               // slot 11
    virtual uint64_t GetDbcFileCount() = 0;                      // slot 12
    virtual INetConfigDbcFile* GetDbcFile() = 0;                 // slot 13
    virtual INetConfigArxmlFile* GetArxmlFile() = 0;             // slot 14
    virtual uint64_t GetLdfFileCount() = 0;                      // slot 15
    virtual INetConfigLdfFile* GetLdfFile() = 0;                 // slot 16
    virtual INetFile* GetFibexFile() = 0;                        // slot 17
    virtual bool SaveLdf(const char* path, uint64_t index) = 0;  // slot 18
    virtual bool SaveDbc(const char* path, uint64_t index) = 0;  // slot 19
    virtual const char* GetInfoText() = 0;                       // slot 20
    virtual uint64_t GetDataBaseCount() = 0;                     // slot 21
    virtual INetDataBase* GetDataBase(uint64_t index) = 0;       // slot 22
    virtual INetDataBase* GetFirstDataBase() = 0;                // slot 23
    virtual INetDataBase* GetLastDataBase() = 0;                 // slot 24
    virtual INetDataBase* FindDataBase(const char* name) = 0;    // slot 25
    virtual INetFrameDiagnostic* CreateFrameDiagnostic() = 0;    // slot 26
    virtual const char* GetVersion() = 0;                        // slot 27
    virtual const char* GetFibexInfoText() = 0;                  // slot 28
};

// Extension of the network configuration beyond INetConfig, reached with
// dynamic_cast<INetConfigOptions*>(config): the reading mode (ArxmlReadingMode of
// quillmere/arxml_com.h: 0 exact, the default; 1 whole document) of the ARXML file objects its
// ARXML loads create.
class QM_API INetConfigOptions {
  public:
    virtual ~INetConfigOptions() = default;              // slot 0
    virtual bool SetArxmlReadingMode(int32_t mode) = 0;  // slot 1
    virtual int32_t GetArxmlReadingMode() = 0;           // slot 2
};

// Extension of the network configuration, reached by dynamic_cast from INetConfig (the slot
// layout above does not change): DBC files loaded by LoadDbc are read tolerantly when set (see
// IDbcTolerantReading in quillmere/dbc.h); off by default.
class QM_API INetConfigDbcReading {
  public:
    virtual ~INetConfigDbcReading() = default;
    virtual void SetTolerantDbcReading(bool tolerant) = 0;
    virtual bool IsTolerantDbcReading() = 0;
};

// Extension of the network configuration, reached by dynamic_cast from INetConfig: LDF files
// loaded by LoadLdf are read tolerantly when set (see ILdfTolerantReading in
// quillmere/ldf.h); off by default.
class QM_API INetConfigLdfReading {
  public:
    virtual ~INetConfigLdfReading() = default;
    virtual void SetTolerantLdfReading(bool tolerant) = 0;
    virtual bool IsTolerantLdfReading() = 0;
};

// The kind of a value-table or encoding entry, reached from INetVTabValue by dynamic_cast: 255
// a plain value-table entry, 0 a logical value, 1 a physical range, 2 a BCD encoding, 3 an
// ASCII encoding (an LDF encoding's entries).
class QM_API INetVTabValueKind {
  public:
    virtual ~INetVTabValueKind() = default;
    virtual uint8_t GetKind() = 0;
};

// Multiplexing of a network-model signal, reached by dynamic_cast from INetSignal (the slot
// layout above does not change). Signals converted from DBC keep their multiplexing, simple
// (switch and multiplex value) and extended ("SG_MUL_VAL_" of tolerant reading: a multiplexer
// per signal and its value ranges, chains of multiplexers included); signals of other buses are
// not multiplexed. IsCarried decides with the rule of the DBC decoder: a signal of extended
// multiplexing is carried when its multiplexer is carried and holds a value of its ranges;
// otherwise a multiplexed signal when the first multiplexer switch of its message holds its
// multiplex value; every other signal always. Multiplexer values are read from the payload in
// the DBC numbering of start bits (GetRawValue keeps its own counting).
class QM_API INetSignalMultiplexing {
  public:
    virtual ~INetSignalMultiplexing() = default;
    // 0 not multiplexed, 1 multiplexer switch, 2 multiplexed signal.
    virtual uint32_t GetMultiplexingKind() = 0;
    // The switch value that selects a multiplexed signal; -1 for the others.
    virtual int64_t GetMultiplexValue() = 0;
    // The signal whose value selects this one by ranges; null without extended multiplexing.
    virtual INetSignal* GetExtendedMultiplexer() = 0;
    virtual uint64_t GetMultiplexRangeCount() = 0;
    // The bounds of range index (inclusive); 0 beyond the end.
    virtual uint64_t GetMultiplexRangeMinimum(uint64_t index) = 0;
    virtual uint64_t GetMultiplexRangeMaximum(uint64_t index) = 0;
    // Whether a payload of length bytes carries the signal.
    virtual bool IsCarried(const uint8_t* data, size_t length) = 0;
};

// Extension: the addressing of a network-model message, reached by `dynamic_cast` from
// `INetMessage`. GetId() gives the identifier without any flag; a CAN message converted from a
// DBC file (identifier bit 31) or from ARXML (CAN-ADDRESSING-MODE EXTENDED) has a 29-bit one.
class QM_API INetMessageAddressing {
  public:
    virtual ~INetMessageAddressing() = default;
    virtual bool IsExtendedId() = 0;
};
