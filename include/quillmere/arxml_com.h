#pragma once
// The bus communication read from AUTOSAR 3 and 4 system descriptions: clusters with their
// ECUs, the ECUs' PDU groups and PDUs, the PDUs with their timing, signals and signal groups.
// The model is read-only for the host; the file cannot be written back.
#include <cstdint>

#include "quillmere/export.h"
#include "quillmere/netfile.h"

class IArxmlPdu;

// One scale of a signal's compu method (COMPU-SCALE).
struct QM_API ArxmlCompuEntry {
    double lowerLimit;        // LOWER-LIMIT; -infinity when not given
    double upperLimit;        // UPPER-LIMIT; +infinity when not given
    const char* text;         // COMPU-CONST / VT; "" when none
    const char* description;  // DESC; "" when none
    const char* label;        // SHORT-LABEL; "" when none
    bool rational;            // COMPU-RATIONAL-COEFFS given
    double factor;            // numerator 1 / denominator 0 (1 without coefficients)
    double offset;            // numerator 0 / denominator 0 (0 without coefficients)
};

class QM_API IArxmlSignal {
  public:
    virtual ~IArxmlSignal() = default;                                   // slot 0
    virtual void Clear() = 0;                                            // slot 1
    virtual const char* GetName() = 0;                                   // slot 2
    virtual uint16_t GetBitLength() = 0;                                 // slot 3
    virtual uint16_t GetStartPosition() = 0;                             // slot 4
    virtual uint8_t GetByteOrder() = 0;                                  // slot 5
    virtual IArxmlPdu* GetPdu() = 0;                                     // slot 6
    virtual double GetMaximum() = 0;                                     // slot 7
    virtual double GetMinimum() = 0;                                     // slot 8
    virtual const char* GetUnit() = 0;                                   // slot 9
    virtual uint64_t GetCompuEntryCount() = 0;                           // slot 10
    virtual const ArxmlCompuEntry* GetCompuEntry(uint64_t index) = 0;    // slot 11
    virtual const ArxmlCompuEntry* FindCompuEntry(double rawValue) = 0;  // slot 12
    virtual const char* GetDescription() = 0;                            // slot 13
};

class QM_API IArxmlSignalGroup {
  public:
    virtual ~IArxmlSignalGroup() = default;                  // slot 0
    virtual void Clear() = 0;                                // slot 1
    virtual const char* GetName() = 0;                       // slot 2
    virtual IArxmlPdu* GetPdu() = 0;                         // slot 3
    virtual uint64_t GetSignalCount() = 0;                   // slot 4
    virtual IArxmlSignal* GetSignal(uint64_t index) = 0;     // slot 5
    virtual IArxmlSignal* FindSignal(const char* name) = 0;  // slot 6
};

class QM_API IArxmlPdu {
  public:
    virtual ~IArxmlPdu() = default;                                    // slot 0
    virtual void Clear() = 0;                                          // slot 1
    virtual const char* GetName() = 0;                                 // slot 2
    virtual int32_t GetIdentifier() = 0;                               // slot 3
    virtual uint16_t GetLength() = 0;                                  // slot 4
    virtual bool IsStandardAddressing() = 0;                           // slot 5
    virtual bool IsExtendedAddressing() = 0;                           // slot 6
    virtual const char* GetRxBehavior() = 0;                           // slot 7
    virtual const char* GetTxBehavior() = 0;                           // slot 8
    virtual uint64_t GetSignalCount() = 0;                             // slot 9
    virtual IArxmlSignal* GetSignal(uint64_t index) = 0;               // slot 10
    virtual IArxmlSignal* FindSignal(const char* name) = 0;            // slot 11
    virtual uint64_t GetSignalGroupCount() = 0;                        // slot 12
    virtual IArxmlSignalGroup* GetSignalGroup(uint64_t index) = 0;     // slot 13
    virtual IArxmlSignalGroup* FindSignalGroup(const char* name) = 0;  // slot 14
    virtual double GetCyclicTimePeriod() = 0;                          // slot 15
    virtual bool HasCyclicTimePeriod() = 0;                            // slot 16
    virtual double GetTimeOffset() = 0;                                // slot 17
    virtual bool HasTimeOffset() = 0;                                  // slot 18
    virtual uint8_t GetNumberOfRepetitions() = 0;                      // slot 19
    virtual bool HasNumberOfRepetitions() = 0;                         // slot 20
    virtual double GetMinimumDelay() = 0;                              // slot 21
    virtual bool HasMinimumDelay() = 0;                                // slot 22
    virtual uint16_t GetUnusedBitPattern() = 0;                        // slot 23
};

// Values of IArxmlPduGroup::GetDirection() and GetMode().
enum ArxmlPduGroupDirection : int32_t { kArxmlDirectionOut = 0, kArxmlDirectionIn = 1 };
enum ArxmlPduGroupMode : int32_t { kArxmlModeNormal = 0, kArxmlModeMeasurement = 1 };

class QM_API IArxmlPduGroup {
  public:
    virtual ~IArxmlPduGroup() = default;               // slot 0
    virtual void Clear() = 0;                          // slot 1
    virtual const char* GetName() = 0;                 // slot 2
    virtual int32_t GetDirection() = 0;                // slot 3
    virtual const char* GetDirectionText() = 0;        // slot 4
    virtual int32_t GetMode() = 0;                     // slot 5
    virtual const char* GetModeText() = 0;             // slot 6
    virtual uint64_t GetPduCount() = 0;                // slot 7
    virtual IArxmlPdu* GetPdu(uint64_t index) = 0;     // slot 8
    virtual IArxmlPdu* FindPdu(const char* name) = 0;  // slot 9
};

class QM_API IArxmlEcu {
  public:
    virtual ~IArxmlEcu() = default;                              // slot 0
    virtual void Clear() = 0;                                    // slot 1
    virtual const char* GetName() = 0;                           // slot 2
    virtual int32_t GetNumber() = 0;                             // slot 3
    virtual const char* GetLongName() = 0;                       // slot 4
    virtual const char* GetDescription() = 0;                    // slot 5
    virtual uint32_t GetDiagnosticAddress() = 0;                 // slot 6
    virtual bool IsSleepModeSupported() = 0;                     // slot 7
    virtual bool IsWakeUpOverBusSupported() = 0;                 // slot 8
    virtual uint64_t GetPduGroupCount() = 0;                     // slot 9
    virtual IArxmlPduGroup* GetPduGroup(uint64_t index) = 0;     // slot 10
    virtual IArxmlPduGroup* FindPduGroup(const char* name) = 0;  // slot 11
    virtual uint64_t GetTxPduCount() = 0;                        // slot 12
    virtual IArxmlPdu* GetTxPdu(uint64_t index) = 0;             // slot 13
    virtual IArxmlPdu* FindTxPdu(const char* name) = 0;          // slot 14
    virtual uint64_t GetRxPduCount() = 0;                        // slot 15
    virtual IArxmlPdu* GetRxPdu(uint64_t index) = 0;             // slot 16
    virtual IArxmlPdu* FindRxPdu(const char* name) = 0;          // slot 17
    virtual bool HasCanFdRequirements() = 0;                     // slot 18
    virtual uint32_t GetFdMaxTimeQuantaPerBit() = 0;             // slot 19
    virtual float GetFdMaxSamplePoint() = 0;                     // slot 20
    virtual float GetFdMaxSyncJumpWidth() = 0;                   // slot 21
    virtual float GetFdMaxTrcvDelayCompensationOffset() = 0;     // slot 22
    virtual uint32_t GetFdMinTimeQuantaPerBit() = 0;             // slot 23
    virtual float GetFdMinSamplePoint() = 0;                     // slot 24
    virtual float GetFdMinSyncJumpWidth() = 0;                   // slot 25
    virtual float GetFdMinTrcvDelayCompensationOffset() = 0;     // slot 26
    virtual bool IsTxBitRateSwitch() = 0;                        // slot 27
    virtual bool IsWakeUpOverControllerSupported() = 0;          // slot 28
    virtual uint32_t GetMaxTimeQuantaPerBit() = 0;               // slot 29
    virtual float GetMaxSamplePoint() = 0;                       // slot 30
    virtual float GetMaxSyncJumpWidth() = 0;                     // slot 31
    virtual uint32_t GetMinTimeQuantaPerBit() = 0;               // slot 32
    virtual float GetMinSamplePoint() = 0;                       // slot 33
    virtual float GetMinSyncJumpWidth() = 0;                     // slot 34
    virtual const char* GetLinProtocolVersion() = 0;             // slot 35
    virtual float GetTimeBase() = 0;                             // slot 36
    virtual float GetTimeBaseJitter() = 0;                       // slot 37
    virtual bool IsLinMaster() = 0;                              // slot 38
};

// Values of IArxmlCluster::GetClusterKind().
enum ArxmlClusterKind : int32_t {
    kArxmlClusterNone = -1,
    kArxmlClusterCan = 0,
    kArxmlClusterLin = 1,
    kArxmlClusterEthernet = 2
};

class QM_API IArxmlCluster {
  public:
    virtual ~IArxmlCluster() = default;                // slot 0
    virtual void Clear() = 0;                          // slot 1
    virtual const char* GetName() = 0;                 // slot 2
    virtual int32_t GetClusterKind() = 0;              // slot 3
    virtual uint64_t GetBaudrate() = 0;                // slot 4
    virtual uint64_t GetCanFdBaudrate() = 0;           // slot 5
    virtual const char* GetProtocolName() = 0;         // slot 6
    virtual const char* GetProtocolVersion() = 0;      // slot 7
    virtual uint64_t GetEcuCount() = 0;                // slot 8
    virtual IArxmlEcu* GetEcu(uint64_t index) = 0;     // slot 9
    virtual IArxmlEcu* FindEcu(const char* name) = 0;  // slot 10
    virtual uint64_t GetPduCount() = 0;                // slot 11
    virtual IArxmlPdu* GetPdu(uint64_t index) = 0;     // slot 12
    virtual IArxmlPdu* FindPdu(const char* name) = 0;  // slot 13
};

class QM_API INetConfigArxmlFile : public INetFile {
  public:
    virtual bool IsLoaded() = 0;                               // slot 13
    virtual uint64_t GetClusterCount() = 0;                    // slot 14
    virtual IArxmlCluster* GetCluster(uint64_t index) = 0;     // slot 15
    virtual IArxmlCluster* FindCluster(const char* name) = 0;  // slot 16
    virtual uint64_t GetPduCount() = 0;                        // slot 17
    virtual IArxmlPdu* GetPdu(uint64_t index) = 0;             // slot 18
    virtual IArxmlPdu* FindPdu(const char* name) = 0;          // slot 19
};

// How an ARXML communication file reads a document. Exact reading (the default) takes PDUs and
// clusters from the packages of the described names only; whole-document reading takes them
// from every AR-PACKAGE at any depth by element kind, and also reads the container, secured,
// multiplexed, N-, DCM-, NM- and general-purpose PDUs.
enum ArxmlReadingMode : int32_t { kArxmlReadExact = 0, kArxmlReadWholeDocument = 1 };

// Extension of the ARXML communication file beyond INetConfigArxmlFile, reached with
// dynamic_cast<INetConfigArxmlFileOptions*>(file). The mode applies to the next load.
class QM_API INetConfigArxmlFileOptions {
  public:
    virtual ~INetConfigArxmlFileOptions() = default;  // slot 0
    virtual bool SetReadingMode(int32_t mode) = 0;    // slot 1
    virtual int32_t GetReadingMode() = 0;             // slot 2
    virtual uint64_t GetFrameCount() = 0;             // slot 3
};

// Extension of an ARXML signal beyond IArxmlSignal, reached with
// dynamic_cast<IArxmlSignalEncoding*>(signal): how its bits are coded on the bus, for decoding.
class QM_API IArxmlSignalEncoding {
  public:
    virtual ~IArxmlSignalEncoding() = default;  // slot 0
    // BASE-TYPE-ENCODING of the I-signal's base type ("2C", "IEEE754", "NONE", ...); for an
    // AUTOSAR 3 data type "IEEE754" for a REAL-TYPE and "2C" for an INTEGER-TYPE with a negative
    // lower limit; "" when nothing says.
    virtual const char* GetBaseTypeEncoding() = 0;  // slot 1
    // BASE-TYPE-SIZE in bits; 0 when not given.
    virtual uint32_t GetBaseTypeSize() = 0;  // slot 2
    // CATEGORY of the compu method ("LINEAR", "SCALE_LINEAR", "TEXTTABLE",
    // "SCALE_LINEAR_AND_TEXTTABLE", "RAT_FUNC", "IDENTICAL", ...); "" without one.
    virtual const char* GetCompuCategory() = 0;  // slot 3
    // The raw value a sender puts on the bus before it has one of its own: the I-signal's
    // INIT-VALUE (a number or the constant it refers to), else the constant of the system
    // signal's INIT-VALUE-REF (older schemas). Read as a whole document only.
    virtual bool HasInitValue() = 0;    // slot 4
    virtual double GetInitValue() = 0;  // slot 5; 0 without one
};

// Extension of an ARXML signal beyond IArxmlSignal, reached with
// dynamic_cast<IArxmlSignalMultiplexing*>(signal): which dynamic part of a MULTIPLEXED-I-PDU a
// signal belongs to. Whole-document reading lays a multiplexed PDU's parts into it (and into the
// containers that carry it); a signal of a dynamic part is on the bus only while the PDU's
// selector field holds the part's SELECTOR-FIELD-CODE.
class QM_API IArxmlSignalMultiplexing {
  public:
    virtual ~IArxmlSignalMultiplexing() = default;  // slot 0
    // The selector field of the signal's PDU that chooses it; null for a signal of a static part
    // or of a PDU that is not multiplexed.
    virtual IArxmlSignal* GetSelector() = 0;  // slot 1
    // The SELECTOR-FIELD-CODE that chooses the signal; -1 without a selector.
    virtual int64_t GetSelectorCode() = 0;  // slot 2
    // Whether the signal is the selector field of a multiplexed PDU.
    virtual bool IsSelector() = 0;  // slot 3
};

// Extension of an ARXML PDU beyond IArxmlPdu, reached with dynamic_cast<IArxmlPduFrame*>(pdu):
// the frame that carries it, as tools that name a bus's messages after their frames know it.
class QM_API IArxmlPduFrame {
  public:
    virtual ~IArxmlPduFrame() = default;  // slot 0
    // The SHORT-NAME of the first frame whose triggering carries the PDU; "" when none does.
    virtual const char* GetFrameName() = 0;  // slot 1
};

// Extension of an ARXML PDU beyond IArxmlPdu, reached with dynamic_cast<IArxmlContainerPdu*>(pdu):
// the contained PDUs of a CONTAINER-I-PDU that sends each behind a header (its identifier and
// length), so that a frame carries any of them in any order. Whole-document reading lays their
// signals into the container one after the other (each behind its header); a decode finds the
// contained PDUs of a payload by their headers and reads each one's signals where it lies.
class QM_API IArxmlContainerPdu {
  public:
    virtual ~IArxmlContainerPdu() = default;  // slot 0
    // Bytes of each header: 4 for "SHORT-HEADER" (3 of identifier, 1 of length), 8 for
    // "LONG-HEADER" (4 and 4); 0 when the PDU sends no headers (or is no container).
    virtual uint32_t GetHeaderSize() = 0;  // slot 1
    // Whether header fields are sent most significant byte first (the system's
    // CONTAINER-I-PDU-HEADER-BYTE-ORDER; so when it says nothing).
    virtual bool IsHeaderBigEndian() = 0;                         // slot 2
    virtual uint64_t GetContainedPduCount() = 0;                  // slot 3
    virtual const char* GetContainedPduName(uint64_t index) = 0;  // slot 4
    virtual uint32_t GetContainedHeaderId(uint64_t index) = 0;    // slot 5
    // Where the contained PDU's bytes start in the container's laid-out signals (after its
    // header), and how many bytes it has.
    virtual uint32_t GetContainedOffset(uint64_t index) = 0;  // slot 6
    virtual uint32_t GetContainedLength(uint64_t index) = 0;  // slot 7
    // Its signals: GetSignal(first) to GetSignal(first + count - 1) of the container.
    virtual uint64_t GetContainedFirstSignal(uint64_t index) = 0;  // slot 8
    virtual uint64_t GetContainedSignalCount(uint64_t index) = 0;  // slot 9
};
