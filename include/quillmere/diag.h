#pragma once
// The diagnostic model: ECU variants with their functional classes, UDS services, request and
// response messages, parameters with value tables and multiplexed cases, DTCs and external
// documents, built by the diagnostic library from CDD, ODX and container input.
// Strings are narrow byte strings; a returned text stays valid until its object changes or dies.
// A get by index returns null at or beyond the count; counts are 64-bit.
#include <cstdint>

#include "quillmere/export.h"

class NanoXML;
class IECU;
class IFunctionalClass;
class IUDSService;
class IUDSFunction;
class IParam;
class IVTabValue;
class IDTC;
class IDTCStatusFlag;
class IExtDocument;

// One value-table entry: a text for the raw values rangeStart to rangeEnd.
class QM_API IVTabValue {
  public:
    virtual ~IVTabValue() = default;             // slot 0
    virtual const char* GetText() = 0;           // slot 1
    virtual uint32_t GetRangeStart() = 0;        // slot 2
    virtual uint32_t GetRangeEnd() = 0;          // slot 3
    virtual const char* GetXmlLocation() = 0;    // slot 4
    virtual void SetText(const char* text) = 0;  // slot 5
    virtual NanoXML* ToXml() = 0;                // slot 6
};

// One parameter of a message, or a sub-parameter or multiplexed case of a parameter.
class QM_API IParam {
  public:
    virtual ~IParam() = default;                                                      // slot 0
    virtual uint64_t GetOwner() = 0;                                                  // slot 1
    virtual uint64_t GetSubParamCount() = 0;                                          // slot 2
    virtual IParam* GetSubParam(uint64_t index) = 0;                                  // slot 3
    virtual uint8_t IsKey() = 0;                                                      // slot 4
    virtual uint8_t IsConditional() = 0;                                              // slot 5
    virtual uint64_t GetChoiceCount() = 0;                                            // slot 6
    virtual IParam* SelectChoice(uint64_t index) = 0;                                 // slot 7
    virtual const char* GetName() = 0;                                                // slot 8
    virtual const char* GetSemantic() = 0;                                            // slot 9
    virtual int32_t GetBytePosition() = 0;                                            // slot 10
    virtual int32_t GetBitPosition() = 0;                                             // slot 11
    virtual int64_t GetAbsoluteBitOffset() = 0;                                       // slot 12
    virtual int32_t GetBitLength() = 0;                                               // slot 13
    virtual uint32_t GetByteOrder() = 0;                                              // slot 14
    virtual uint32_t GetBaseTypeCode() = 0;                                           // slot 15
    virtual uint32_t GetDisplayFormat() = 0;                                          // slot 16
    virtual const char* GetBaseDataType() = 0;                                        // slot 17
    virtual const char* GetDataType() = 0;                                            // slot 18
    virtual const char* GetType() = 0;                                                // slot 19
    virtual const char* GetUnit() = 0;                                                // slot 20
    virtual const char* GetValueText() = 0;                                           // slot 21
    virtual bool EncodeInto(uint8_t* buffer, uint64_t* cursor, uint64_t size) = 0;    // slot 22
    virtual uint64_t GetValue() = 0;                                                  // slot 23
    virtual const char* GetDefaultText() = 0;                                         // slot 24
    virtual uint64_t GetDefaultValue() = 0;                                           // slot 25
    virtual uint32_t GetBitMask() = 0;                                                // slot 26
    virtual uint32_t GetArraySizeMin() = 0;                                           // slot 27
    virtual uint32_t GetArraySizeMax() = 0;                                           // slot 28
    virtual const char* GetQual() = 0;                                                // slot 29
    virtual uint8_t IsVisible() = 0;                                                  // slot 30
    virtual uint8_t IsArray() = 0;                                                    // slot 31
    virtual uint8_t IsOptional() = 0;                                                 // slot 32
    virtual uint8_t GetScaling(double* factor, double* divisor, double* offset) = 0;  // slot 33
    virtual bool GetRange(uint32_t* first, uint32_t* second) = 0;                     // slot 34
    virtual void SetBitMask(uint32_t mask) = 0;                                       // slot 35
    virtual void SetBitLength(int32_t bits) = 0;                                      // slot 36
    virtual uint64_t GetValueCount() = 0;                                             // slot 37
    virtual IVTabValue* GetValue(uint64_t index) = 0;                                 // slot 38
    virtual const char* FindValueText(uint64_t value, bool* found) = 0;               // slot 39
    virtual const char* GetXmlLocation() = 0;                                         // slot 40
    virtual NanoXML* ToXml() = 0;                                                     // slot 41
    virtual bool FromXml(NanoXML* node) = 0;                                          // slot 42
    virtual void SetName(const char* text) = 0;                                       // slot 43
    virtual void SetValueText(const char* text) = 0;                                  // slot 44
};

// One message of a service: a request, a positive or a negative response.
class QM_API IUDSFunction {
  public:
    virtual ~IUDSFunction() = default;                            // slot 0
    virtual const char* GetType() = 0;                            // slot 1
    virtual const char* GetName() = 0;                            // slot 2
    virtual const char* GetDesc() = 0;                            // slot 3
    virtual const char* GetQual() = 0;                            // slot 4
    virtual uint64_t GetParamCount() = 0;                         // slot 5
    virtual IParam* GetParam(uint64_t index) = 0;                 // slot 6
    virtual IParam* FindParam(const char* name) = 0;              // slot 7
    virtual uint64_t Encode(uint8_t* buffer, uint64_t size) = 0;  // slot 8
    virtual const char* GetXmlLocation() = 0;                     // slot 9
};

class QM_API IUDSService {
  public:
    virtual ~IUDSService() = default;                               // slot 0
    virtual const char* GetName() = 0;                              // slot 1
    virtual const char* GetLongName() = 0;                          // slot 2
    virtual const char* GetType() = 0;                              // slot 3
    virtual const char* GetDesc() = 0;                              // slot 4
    virtual const char* GetQual() = 0;                              // slot 5
    virtual const char* GetSecurityExecLevels() = 0;                // slot 6
    virtual uint8_t IsMandatory() = 0;                              // slot 7
    virtual uint8_t IsActive() = 0;                                 // slot 8
    virtual uint8_t GetServiceId() = 0;                             // slot 9
    virtual uint64_t GetRequestCount() = 0;                         // slot 10
    virtual IUDSFunction* GetRequest(uint64_t index) = 0;           // slot 11
    virtual uint64_t GetPositiveResponseCount() = 0;                // slot 12
    virtual IUDSFunction* GetPositiveResponse(uint64_t index) = 0;  // slot 13
    virtual uint64_t GetNegativeResponseCount() = 0;                // slot 14
    virtual IUDSFunction* GetNegativeResponse(uint64_t index) = 0;  // slot 15
    virtual uint8_t GetSession(uint64_t index) = 0;                 // slot 16
    virtual uint64_t GetSessionCount() = 0;                         // slot 17
    virtual bool HasSession(uint8_t id) = 0;                        // slot 18
    virtual const char* GetXmlLocation() = 0;                       // slot 19
    virtual void SetName(const char* text) = 0;                     // slot 20
};

class QM_API IFunctionalClass {
  public:
    virtual ~IFunctionalClass() = default;                // slot 0
    virtual const char* GetName() = 0;                    // slot 1
    virtual const char* GetDesc() = 0;                    // slot 2
    virtual const char* GetQual() = 0;                    // slot 3
    virtual uint64_t GetServiceCount() = 0;               // slot 4
    virtual IUDSService* GetService(uint64_t index) = 0;  // slot 5
    virtual const char* GetXmlLocation() = 0;             // slot 6
    virtual void SetName(const char* text) = 0;           // slot 7
};

// One special-data entry of a DTC.
class QM_API IDTCStatusFlag {
  public:
    virtual ~IDTCStatusFlag() = default;  // slot 0
    virtual const char* GetName() = 0;    // slot 1
    virtual const char* GetDescr() = 0;   // slot 2
};

class QM_API IDTC {
  public:
    virtual ~IDTC() = default;                          // slot 0
    virtual const char* GetName() = 0;                  // slot 1
    virtual uint32_t GetValue() = 0;                    // slot 2
    virtual const char* GetDisp() = 0;                  // slot 3
    virtual const char* GetText() = 0;                  // slot 4
    virtual uint32_t GetLevel() = 0;                    // slot 5
    virtual uint64_t GetSdCount() = 0;                  // slot 6
    virtual IDTCStatusFlag* GetSd(uint64_t index) = 0;  // slot 7
};

// One ECU variant.
class QM_API IECU {
  public:
    virtual ~IECU() = default;                                         // slot 0
    virtual const char* GetLongName() = 0;                             // slot 1
    virtual const char* GetShortName() = 0;                            // slot 2
    virtual const char* GetVariantName() = 0;                          // slot 3
    virtual const char* GetQual() = 0;                                 // slot 4
    virtual uint8_t IsJobFile() = 0;                                   // slot 5
    virtual uint64_t GetFunctionalClassCount() = 0;                    // slot 6
    virtual IFunctionalClass* GetFunctionalClass(uint64_t index) = 0;  // slot 7
    virtual uint64_t GetDtcCount() = 0;                                // slot 8
    virtual IDTC* GetDtc(uint64_t index) = 0;                          // slot 9
    virtual const char* GetXmlLocation() = 0;                          // slot 10
    virtual void SetShortName(const char* text) = 0;                   // slot 11
};

// A document embedded in or referenced by a diagnostic description.
class QM_API IExtDocument {
  public:
    virtual ~IExtDocument() = default;              // slot 0
    virtual const char* GetFileName() = 0;          // slot 1
    virtual uint8_t IsJobFile() = 0;                // slot 2
    virtual const char* GetCreationDateTime() = 0;  // slot 3
    virtual const char* GetChangedDateTime() = 0;   // slot 4
    virtual const char* GetSyntax() = 0;            // slot 5
    virtual const char* GetVersion() = 0;           // slot 6
    virtual const char* GetUsage() = 0;             // slot 7
    virtual uint64_t GetContentLength() = 0;        // slot 8
    virtual const uint8_t* GetContent() = 0;        // slot 9
    virtual const char* GetId() = 0;                // slot 10
};

// The diagnostic library: reads CDD, ODX, PDX and container input into its source tree and
// builds the model from it.
class QM_API IDiagnoseLib {
  public:
    virtual ~IDiagnoseLib() = default;                                   // slot 0
    virtual void Clear() = 0;                                            // slot 1
    virtual const char* GetMessages() = 0;                               // slot 2
    virtual const char* GetFormat() = 0;                                 // slot 3
    virtual const char* GetVersion() = 0;                                // slot 4
    virtual const char* GetBuildDate() = 0;                              // slot 5
    virtual uint8_t IsExtended() = 0;                                    // slot 6
    virtual uint8_t LoadOdxFile(const char* path, uint8_t process) = 0;  // slot 7
    virtual uint8_t LoadPdxFile(const char* path, uint8_t process) = 0;  // slot 8
    virtual uint8_t LoadCddFile(const char* path, uint8_t process) = 0;  // slot 9
    virtual uint8_t LoadOdxFolder(const char* pattern, uint8_t recursive,
                                  uint8_t process) = 0;                                // slot 10
    virtual uint16_t BuildModel() = 0;                                                 // slot 11
    virtual void SetByteOrder(uint32_t order) = 0;                                     // slot 12
    virtual bool SaveServiceXml(const char* path, IUDSService* service) = 0;           // slot 13
    virtual bool SaveFunctionalClassXml(const char* path, IFunctionalClass* cls) = 0;  // slot 14
    virtual bool SaveEcuXml(const char* path, IECU* ecu) = 0;                          // slot 15
    virtual bool SaveXml(const char* path) = 0;                                        // slot 16
    virtual uint8_t LoadAttachedContainers() = 0;                                      // slot 17
    virtual uint8_t LoadEcus(NanoXML* node) = 0;                                       // slot 18
    virtual uint8_t LoadFunctionalClasses(NanoXML* node, IECU* ecu) = 0;               // slot 19
    virtual uint8_t LoadServices(NanoXML* node, IFunctionalClass* cls) = 0;            // slot 20
    virtual NanoXML* NewContainerNode() = 0;                                           // slot 21
    virtual bool AddStatistics(NanoXML* node) = 0;                                     // slot 22
    virtual uint32_t AttachContainer(NanoXML* root, const char* source) = 0;           // slot 23
    virtual uint8_t LoadContainerText(const char* text, uint8_t process) = 0;          // slot 24
    virtual NanoXML* ServiceToXml(IUDSService* service) = 0;                           // slot 25
    virtual NanoXML* FunctionalClassToXml(IFunctionalClass* cls) = 0;                  // slot 26
    virtual NanoXML* EcuToXml(IECU* ecu) = 0;                                          // slot 27
    virtual uint8_t AddFunctionalClass(const char* name, IECU* ecu) = 0;               // slot 28
    virtual uint8_t AddService(const char* name, uint8_t serviceId,
                               IFunctionalClass* cls) = 0;         // slot 29
    virtual void SortParameters() = 0;                             // slot 30
    virtual void SetGrouping(uint8_t flag, uint32_t order) = 0;    // slot 31
    virtual void SetGrouping(uint8_t flag) = 0;                    // slot 32
    virtual uint64_t GetEcuCount() = 0;                            // slot 33
    virtual IECU* GetEcu(uint64_t index) = 0;                      // slot 34
    virtual uint8_t AddEcu(const char* name) = 0;                  // slot 35
    virtual uint64_t GetExtDocumentCount() = 0;                    // slot 36
    virtual IExtDocument* GetExtDocument(uint64_t index) = 0;      // slot 37
    virtual const char* GetUdsServiceName(uint8_t serviceId) = 0;  // slot 38
};

// An option of the diagnostic library beyond the described interface, reached by dynamic_cast
// from IDiagnoseLib. By default every parameter of an ODX request or response takes its position
// from its predecessor, as CDD components do, even when it states a "BYTE-POSITION" (which
// moves a parameter stated at byte 1 behind an 8-bit service identifier to byte 2). With stated
// positions kept, a parameter that states a "BYTE-POSITION" stands there and only the others
// follow their predecessor. Takes effect at the next BuildModel.
class IDiagnoseLibOdxPositions {
  public:
    virtual ~IDiagnoseLibOdxPositions() = default;
    virtual void SetOdxStatedPositions(uint8_t keep) = 0;
    virtual uint8_t GetOdxStatedPositions() = 0;
};

// Reading "as written", an option of the diagnostic library beyond the described interface,
// reached by dynamic_cast from IDiagnoseLib. Off (0) by default: the described build. On (1),
// the next BuildModel reads ODX as real tools do: references without DOCREF resolve within
// their own ODX document first, inheritance follows ODX 2.2 value inheritance with the
// NOT-INHERITED-* lists, parameters take the length rule of their kind and stated positions,
// services without a request are kept, and XML character references in names and
// descriptions are decoded. The CDD language picks the text of multilingual CDD names ("" is
// the file's first up-to-date language when reading as written, else the described "de").
// Both survive Clear.
class IDiagnoseLibReading {
  public:
    virtual ~IDiagnoseLibReading() = default;
    virtual void SetReadingAsWritten(uint8_t asWritten) = 0;
    virtual uint8_t GetReadingAsWritten() = 0;
    virtual void SetCddLanguage(const char* language) = 0;
    virtual const char* GetCddLanguage() = 0;
};

// One decoded field of a message, flattened in document order: a field's parts follow it;
// `parent` is the index of the field it belongs to (-1 at the top), `item` its repetition
// within the parent's items (-1 for a structure's or case's own parts). Texts and bytes stay
// valid until the next DecodeMessage of the same function.
struct DiagDecodedField {
    const char* name;
    const char* text;    // value-table text, "" when none
    const char* unit;    // "" when none
    const char* string;  // the decoded string of a text field, "" otherwise
    const uint8_t* bytes;
    uint64_t byteCount;
    int64_t raw;           // numbers: sign-extended for signed types
    uint64_t rawUnsigned;  // numbers and floats: the coded bits
    double physical;       // scaled numbers and floats
    uint32_t kind;         // 0 number, 1 float, 2 bytes, 3 text, 4 group
    uint32_t scaled;       // 1 when physical holds a scaled number
    int64_t parent;
    int64_t item;
};

// The negative responses an ODX layer read as written gives for every service (its own and
// inherited GLOBAL-NEG-RESPONSES), reached by dynamic_cast from IECU.
class IECUGlobalResponses {
  public:
    virtual ~IECUGlobalResponses() = default;
    virtual uint64_t GetGlobalNegativeResponseCount() = 0;
    virtual IUDSFunction* GetGlobalNegativeResponse(uint64_t index) = 0;
};

// The kind of diagnostic layer an ODX ECU read as written is: "BASE-VARIANT", "ECU-VARIANT",
// "PROTOCOL", "FUNCTIONAL-GROUP" or "ECU-SHARED-DATA"; empty otherwise (CDD ECUs, the described
// build). Reached by dynamic_cast from IECU.
class IECULayer {
  public:
    virtual ~IECULayer() = default;
    virtual const char* GetLayerKind() = 0;
};

// Which request or response of an ECU's services some bytes are, through an index of the
// messages' constant leading bytes (see docs/API.md, "Message index").
class IMessageFinder {
  public:
    virtual ~IMessageFinder() = default;
    // The best message for the bytes, or null when none matches: its service in *service,
    // "request", "positiveResponse" or "negativeResponse" in *kind, the matched constant bits
    // in *score (each out-pointer may be null).
    virtual IUDSFunction* FindMessage(const uint8_t* data, uint64_t size, IUDSService** service,
                                      const char** kind, int64_t* score) = 0;
};

// Makes message finders over an ECU as it is at that moment (a finder must be made again after
// the ECU's services change); reached by dynamic_cast from IECU. The caller deletes the finder.
class IECUMessageFinders {
  public:
    virtual ~IECUMessageFinders() = default;
    virtual IMessageFinder* CreateMessageFinder() = 0;
};

// The message codec of a function read as written (see docs/API.md, "Reading as written"),
// reached by dynamic_cast from IUDSFunction.
class IUDSFunctionCodec {
  public:
    virtual ~IUDSFunctionCodec() = default;
    // Constant bits the message matches (-1: a constant differs); `request` supplies what
    // matching-request parameters copy (may be null).
    virtual int64_t MatchMessage(const uint8_t* data, uint64_t size, const uint8_t* request,
                                 uint64_t requestSize) = 0;
    // Decodes a message; returns the number of fields GetDecodedFields holds.
    virtual uint64_t DecodeMessage(const uint8_t* data, uint64_t size) = 0;
    virtual const DiagDecodedField* GetDecodedFields() = 0;
    // Encodes with checked values (names and texts, `count` of each); 1 on success, else 0 and
    // GetEncodeError says why. count 0 with null arrays gives the constant form unchecked when
    // `checked` is 0.
    virtual uint8_t EncodeMessage(uint64_t count, const char* const* names,
                                  const char* const* values, uint8_t checked) = 0;
    virtual const uint8_t* GetEncodedBytes() = 0;
    virtual uint64_t GetEncodedSize() = 0;
    virtual const char* GetEncodeError() = 0;
};
