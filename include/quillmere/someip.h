#pragma once
// SOME/IP service descriptions read from AUTOSAR ARXML: the database with its ECUs and their
// service configurations (identifiers, versions, fields, event groups, service-discovery
// timing), the ECUs' PDU groups, the Ethernet socket topology, the data type catalogue and the
// per-service structures that render as a C++ header.
#include <cstdint>

#include "quillmere/export.h"

class ICluster;
class IRizConfig;
class IEcu;
class INode;
class IPdu;
class ISignal;
class IValueTableEntry;
class IPhysicalValue;
class ISomeIpServiceCfg;
class IFieldDeployment;
class IFieldGet;
class IFieldNotifier;
class IFieldSet;
class IEventGroup;
class IEventDeployment;
class IStructDatatype;
class IVariable;
class IValue;
class IDataType;
class IGlobalConfigDataType;
class IStructureMember;
class IEthernetCluster;
class IEthernetPhysicalChannel;
class IVlanConfig;
class ISoAdConfig;
class ISocketConnectionBundle;
class ISocketConnection;
class ISocketAddress;
class IApplicationEndpoint;
class INetworkEndpoint;
class IEthCommConn;
class IPduIdentifier;
class IPduTriggering;

// ---------------------------------------------------------------------------------------------
// The database.

class QM_API IArxmlDatabase {
  public:
    virtual ~IArxmlDatabase() = default;                                         // slot 0
    virtual const char* GetVersion() = 0;                                        // slot 1
    virtual const char* GetBuildDate() = 0;                                      // slot 2
    virtual void Clear() = 0;                                                    // slot 3
    virtual const char* GetMessages() = 0;                                       // slot 4
    virtual bool Load(const char* const* files, uint64_t count) = 0;             // slot 5
    virtual uint64_t GetLoadedFileCount() = 0;                                   // slot 6
    virtual const char* GetLoadedFileName(uint64_t index) = 0;                   // slot 7
    virtual uint64_t GetEcuCount() = 0;                                          // slot 8
    virtual IEcu* GetEcu(uint64_t index) = 0;                                    // slot 9
    virtual IEcu* FindEcu(const char* name) = 0;                                 // slot 10
    virtual ICluster* GetClusters() = 0;                                         // slot 11
    virtual IRizConfig* GetRizConfig() = 0;                                      // slot 12
    virtual uint64_t GetServiceConfigurationCount() = 0;                         // slot 13
    virtual IGlobalConfigDataType* GetServiceConfiguration(uint64_t index) = 0;  // slot 14
};

// The Ethernet cluster container.
class QM_API ICluster {
  public:
    virtual ~ICluster() = default;                                        // slot 0
    virtual void Clear() = 0;                                             // slot 1
    virtual uint64_t GetEthernetClusterCount() = 0;                       // slot 2
    virtual IEthernetCluster* GetEthernetCluster(uint64_t index) = 0;     // slot 3
    virtual IEthernetCluster* FindEthernetCluster(const char* name) = 0;  // slot 4
};

class QM_API IRizConfig {
  public:
    virtual ~IRizConfig() = default;                              // slot 0
    virtual void Clear() = 0;                                     // slot 1
    virtual uint64_t GetDataTypeCount() = 0;                      // slot 2
    virtual IDataType* GetDataType(uint64_t index) = 0;           // slot 3
    virtual IDataType* FindDataType(const char* name) = 0;        // slot 4
    virtual IGlobalConfigDataType* GetGlobalConfiguration() = 0;  // slot 5
};

class QM_API IEcu {
  public:
    virtual ~IEcu() = default;                                     // slot 0
    virtual void Clear() = 0;                                      // slot 1
    virtual const char* GetName() = 0;                             // slot 2
    virtual uint64_t GetServiceCount() = 0;                        // slot 3
    virtual ISomeIpServiceCfg* GetService(uint64_t index) = 0;     // slot 4
    virtual ISomeIpServiceCfg* FindService(const char* name) = 0;  // slot 5
    virtual uint64_t GetNodeCount() = 0;                           // slot 6
    virtual INode* GetNode(uint64_t index) = 0;                    // slot 7
    virtual INode* FindNode(const char* name) = 0;                 // slot 8
    virtual IPdu* FindPdu(const char* name) = 0;                   // slot 9
    virtual ISignal* FindSignal(const char* name) = 0;             // slot 10
};

// ---------------------------------------------------------------------------------------------
// Service configurations.

class QM_API ISomeIpServiceCfg {
  public:
    virtual ~ISomeIpServiceCfg() = default;                                    // slot 0
    virtual void Clear() = 0;                                                  // slot 1
    virtual uint32_t GetRole() = 0;                                            // slot 2
    virtual const char* GetRoleText() = 0;                                     // slot 3
    virtual const char* GetName() = 0;                                         // slot 4
    virtual uint16_t GetInstanceId() = 0;                                      // slot 5
    virtual uint16_t GetServiceInterfaceId() = 0;                              // slot 6
    virtual uint8_t GetMajorVersion() = 0;                                     // slot 7
    virtual uint32_t GetMinorVersion() = 0;                                    // slot 8
    virtual uint32_t GetTimeToLive() = 0;                                      // slot 9
    virtual double GetInitialDelayMax() = 0;                                   // slot 10
    virtual double GetInitialDelayMin() = 0;                                   // slot 11
    virtual double GetInitialRepetitionsBaseDelay() = 0;                       // slot 12
    virtual int32_t GetInitialRepetitionsMax() = 0;                            // slot 13
    virtual double GetCyclicDelay() = 0;                                       // slot 14
    virtual double GetRequestResponseDelayMin() = 0;                           // slot 15
    virtual double GetRequestResponseDelayMax() = 0;                           // slot 16
    virtual bool IsRequired() = 0;                                             // slot 17
    virtual bool IsProvided() = 0;                                             // slot 18
    virtual uint64_t GetFieldDeploymentCount() = 0;                            // slot 19
    virtual IFieldDeployment* GetFieldDeployment(uint64_t index) = 0;          // slot 20
    virtual uint64_t GetEventGroupCount() = 0;                                 // slot 21
    virtual IEventGroup* GetEventGroup(uint64_t index) = 0;                    // slot 22
    virtual uint64_t GetStructDatatypeCount() = 0;                             // slot 23
    virtual IStructDatatype* GetStructDatatype(uint64_t index) = 0;            // slot 24
    virtual IStructDatatype* FindStructDatatype(const char* name) = 0;         // slot 25
    virtual uint64_t GetEventCount() = 0;                                      // slot 26
    virtual IEventDeployment* GetEvent(uint64_t index) = 0;                    // slot 27
    virtual IFieldDeployment* FindFieldDeployment(const char* fieldName) = 0;  // slot 28
    virtual const char* GenerateCompatibilityDefines() = 0;                    // slot 29
    virtual const char* GenerateHeader() = 0;                                  // slot 30
};

class QM_API IFieldGet {
  public:
    virtual ~IFieldGet() = default;                  // slot 0
    virtual void Clear() = 0;                        // slot 1
    virtual const char* GetName() = 0;               // slot 2
    virtual uint16_t GetId() = 0;                    // slot 3
    virtual const char* GetTransportProtocol() = 0;  // slot 4
};

class QM_API IFieldNotifier {
  public:
    virtual ~IFieldNotifier() = default;             // slot 0
    virtual void Clear() = 0;                        // slot 1
    virtual const char* GetName() = 0;               // slot 2
    virtual uint16_t GetId() = 0;                    // slot 3
    virtual const char* GetTransportProtocol() = 0;  // slot 4
};

class QM_API IFieldSet {
  public:
    virtual ~IFieldSet() = default;                  // slot 0
    virtual void Clear() = 0;                        // slot 1
    virtual const char* GetName() = 0;               // slot 2
    virtual uint16_t GetId() = 0;                    // slot 3
    virtual const char* GetTransportProtocol() = 0;  // slot 4
};

class QM_API IFieldDeployment {
  public:
    virtual ~IFieldDeployment() = default;                             // slot 0
    virtual void Clear() = 0;                                          // slot 1
    virtual const char* GetDeploymentName() = 0;                       // slot 2
    virtual const char* GetFieldName() = 0;                            // slot 3
    virtual IFieldGet* GetGetter() = 0;                                // slot 4
    virtual IFieldNotifier* GetNotifier() = 0;                         // slot 5
    virtual IFieldSet* GetSetter() = 0;                                // slot 6
    virtual uint64_t GetUserCount() = 0;                               // slot 7
    virtual ISomeIpServiceCfg* GetUser(uint64_t index) = 0;            // slot 8
    virtual ISomeIpServiceCfg* FindUser(const char* serviceName) = 0;  // slot 9
};

class QM_API IEventGroup {
  public:
    virtual ~IEventGroup() = default;                                  // slot 0
    virtual void Clear() = 0;                                          // slot 1
    virtual const char* GetName() = 0;                                 // slot 2
    virtual uint16_t GetEventGroupId() = 0;                            // slot 3
    virtual uint64_t GetEventRefCount() = 0;                           // slot 4
    virtual const char* GetEventRef(uint64_t index) = 0;               // slot 5
    virtual uint64_t GetUserCount() = 0;                               // slot 6
    virtual ISomeIpServiceCfg* GetUser(uint64_t index) = 0;            // slot 7
    virtual ISomeIpServiceCfg* FindUser(const char* serviceName) = 0;  // slot 8
};

// An event of a service deployment (SOMEIP-EVENT-DEPLOYMENT).
class QM_API IEventDeployment {
  public:
    virtual ~IEventDeployment() = default;           // slot 0
    virtual void Clear() = 0;                        // slot 1
    virtual const char* GetName() = 0;               // slot 2
    virtual uint16_t GetEventId() = 0;               // slot 3
    virtual const char* GetTransportProtocol() = 0;  // slot 4
};

// ---------------------------------------------------------------------------------------------
// Service structures, as the header generator renders them.

class QM_API IValue {
  public:
    virtual ~IValue() = default;         // slot 0
    virtual void Clear() = 0;            // slot 1
    virtual int64_t GetNumber() = 0;     // slot 2
    virtual const char* GetValue() = 0;  // slot 3
    virtual const char* GetName() = 0;   // slot 4
};

class QM_API IVariable {
  public:
    virtual ~IVariable() = default;                   // slot 0
    virtual void Clear() = 0;                         // slot 1
    virtual const char* GetName() = 0;                // slot 2
    virtual bool HasStruct() = 0;                     // slot 3
    virtual IStructDatatype* GetStruct() = 0;         // slot 4
    virtual bool IsArray() = 0;                       // slot 5
    virtual uint32_t GetArraySize() = 0;              // slot 6
    virtual uint64_t GetValueCount() = 0;             // slot 7
    virtual IValue* GetValue(uint64_t index) = 0;     // slot 8
    virtual IValue* FindValue(const char* name) = 0;  // slot 9
    virtual uint32_t GetBaseType() = 0;               // slot 10
    virtual const char* GetElementType() = 0;         // slot 11
    virtual const char* GetEnumTypeName() = 0;        // slot 12
};

class QM_API IStructDatatype {
  public:
    virtual ~IStructDatatype() = default;                   // slot 0
    virtual void Clear() = 0;                               // slot 1
    virtual const char* GetName() = 0;                      // slot 2
    virtual uint64_t GetVariableCount() = 0;                // slot 3
    virtual IVariable* GetVariable(uint64_t index) = 0;     // slot 4
    virtual IVariable* FindVariable(const char* name) = 0;  // slot 5
};

// ---------------------------------------------------------------------------------------------
// The data type catalogue. Every kind interface repeats the operations of IDataType first.

class QM_API IDataType {
  public:
    virtual ~IDataType() = default;                         // slot 0
    virtual void Clear() = 0;                               // slot 1
    virtual uint32_t GetKind() = 0;                         // slot 2
    virtual IGlobalConfigDataType* GetConfiguration() = 0;  // slot 3
    virtual const char* GetName() = 0;                      // slot 4
};

class QM_API ITrivialDataType : public IDataType {
  public:
    virtual const char* GetBaseTypeName() = 0;       // slot 5
    virtual uint32_t GetNativeTypeCode() = 0;        // slot 6
    virtual uint8_t GetBaseTypeSize() = 0;           // slot 7
    virtual uint32_t GetByteOrder() = 0;             // slot 8
    virtual const char* GetNativeDeclaration() = 0;  // slot 9
};

class QM_API IStringDataType : public IDataType {
  public:
    virtual const char* GetCppType() = 0;        // slot 5
    virtual const char* GetCharacterType() = 0;  // slot 6
};

class QM_API IVectorDataType : public IDataType {
  public:
    virtual const char* GetCppType() = 0;          // slot 5
    virtual const char* GetElementName() = 0;      // slot 6
    virtual const char* GetElementTypeName() = 0;  // slot 7
};

class QM_API IArrayDataType : public IDataType {
  public:
    virtual const char* GetElementName() = 0;      // slot 5
    virtual const char* GetElementTypeName() = 0;  // slot 6
    virtual uint32_t GetArraySize() = 0;           // slot 7
};

class QM_API IEnumDataType : public IDataType {
  public:
    virtual uint64_t GetEnumeratorCount() = 0;                     // slot 5
    virtual IPhysicalValue* GetEnumerator(uint64_t index) = 0;     // slot 6
    virtual IPhysicalValue* FindEnumerator(const char* name) = 0;  // slot 7
    virtual const char* GetBaseTypeName() = 0;                     // slot 8
};

// One member of a structure in the catalogue.
class QM_API IStructureMember {
  public:
    virtual ~IStructureMember() = default;  // slot 0
    virtual void Clear() = 0;               // slot 1
    virtual const char* GetName() = 0;      // slot 2
    virtual const char* GetTypeName() = 0;  // slot 3
    virtual const char* GetCategory() = 0;  // slot 4
};

class QM_API IStructureDataType : public IDataType {
  public:
    virtual uint64_t GetMemberCount() = 0;                       // slot 5
    virtual IStructureMember* GetMember(uint64_t index) = 0;     // slot 6
    virtual IStructureMember* FindMember(const char* name) = 0;  // slot 7
};

class QM_API IGlobalConfigDataType : public IDataType {
  public:
    virtual uint64_t GetDataTypeCount() = 0;                // slot 5
    virtual IDataType* GetDataType(uint64_t index) = 0;     // slot 6
    virtual IDataType* FindDataType(const char* name) = 0;  // slot 7
};

// ---------------------------------------------------------------------------------------------
// ECU PDU groups, PDUs and signals.

class QM_API IPhysicalValue {
  public:
    virtual ~IPhysicalValue() = default;   // slot 0
    virtual void Clear() = 0;              // slot 1
    virtual const char* GetName() = 0;     // slot 2
    virtual uint64_t GetLowerLimit() = 0;  // slot 3
    virtual uint64_t GetUpperLimit() = 0;  // slot 4
};

class QM_API IValueTableEntry {
  public:
    virtual ~IValueTableEntry() = default;                    // slot 0
    virtual void Clear() = 0;                                 // slot 1
    virtual const char* GetName() = 0;                        // slot 2
    virtual uint64_t GetLowerLimit() = 0;                     // slot 3
    virtual uint64_t GetUpperLimit() = 0;                     // slot 4
    virtual uint64_t GetEntryCount() = 0;                     // slot 5
    virtual IPhysicalValue* GetEntry(uint64_t index) = 0;     // slot 6
    virtual IPhysicalValue* FindEntry(const char* name) = 0;  // slot 7
};

class QM_API ISignal {
  public:
    virtual ~ISignal() = default;                               // slot 0
    virtual void Clear() = 0;                                   // slot 1
    virtual const char* GetSystemSignalName() = 0;              // slot 2
    virtual const char* GetName() = 0;                          // slot 3
    virtual uint32_t GetBus() = 0;                              // slot 4
    virtual const char* GetBusText() = 0;                       // slot 5
    virtual const char* GetDataTypePolicy() = 0;                // slot 6
    virtual uint16_t GetInitValue() = 0;                        // slot 7
    virtual uint16_t GetLength() = 0;                           // slot 8
    virtual const char* GetBaseTypeName() = 0;                  // slot 9
    virtual uint32_t GetLengthKind() = 0;                       // slot 10
    virtual const char* GetLengthKindText() = 0;                // slot 11
    virtual const char* GetBaseTypeEncoding() = 0;              // slot 12
    virtual uint32_t GetByteOrder() = 0;                        // slot 13
    virtual const char* GetByteOrderText() = 0;                 // slot 14
    virtual uint8_t HasUpdateBit() = 0;                         // slot 15
    virtual uint64_t GetUpdateBitPositionCount() = 0;           // slot 16
    virtual uint16_t GetUpdateBitPosition(uint64_t index) = 0;  // slot 17
    virtual uint16_t GetStartPosition() = 0;                    // slot 18
    virtual IValueTableEntry* GetValueTable() = 0;              // slot 19
};

class QM_API IPdu {
  public:
    virtual ~IPdu() = default;                          // slot 0
    virtual void Clear() = 0;                           // slot 1
    virtual const char* GetName() = 0;                  // slot 2
    virtual uint16_t GetLength() = 0;                   // slot 3
    virtual uint64_t GetSignalCount() = 0;              // slot 4
    virtual ISignal* GetSignal(uint64_t index) = 0;     // slot 5
    virtual ISignal* FindSignal(const char* name) = 0;  // slot 6
    virtual double GetTimeOffset() = 0;                 // slot 7
    virtual double GetTimePeriod() = 0;                 // slot 8
    virtual uint16_t GetUnusedBitPattern() = 0;         // slot 9
    virtual IPduTriggering* GetPduTriggering() = 0;     // slot 10
    virtual int32_t GetKind() = 0;                      // slot 11
    virtual const char* GetKindText() = 0;              // slot 12
};

// A PDU group of an ECU.
class QM_API INode {
  public:
    virtual ~INode() = default;                   // slot 0
    virtual void Clear() = 0;                     // slot 1
    virtual const char* GetName() = 0;            // slot 2
    virtual uint32_t GetDirection() = 0;          // slot 3
    virtual const char* GetDirectionText() = 0;   // slot 4
    virtual uint32_t GetMode() = 0;               // slot 5
    virtual const char* GetModeText() = 0;        // slot 6
    virtual uint64_t GetPduCount() = 0;           // slot 7
    virtual IPdu* GetPdu(uint64_t index) = 0;     // slot 8
    virtual IPdu* FindPdu(const char* name) = 0;  // slot 9
};

// ---------------------------------------------------------------------------------------------
// Ethernet topology.

class QM_API IEthernetCluster {
  public:
    virtual ~IEthernetCluster() = default;                       // slot 0
    virtual void Clear() = 0;                                    // slot 1
    virtual const char* GetName() = 0;                           // slot 2
    virtual IEthernetPhysicalChannel* GetPhysicalChannel() = 0;  // slot 3
    virtual const char* GetProtocolName() = 0;                   // slot 4
    virtual const char* GetProtocolVersion() = 0;                // slot 5
};

class QM_API IEthernetPhysicalChannel {
  public:
    virtual ~IEthernetPhysicalChannel() = default;  // slot 0
    virtual void Clear() = 0;                       // slot 1
    virtual const char* GetName() = 0;              // slot 2
    virtual ISoAdConfig* GetSoAdConfig() = 0;       // slot 3
    virtual IVlanConfig* GetVlan() = 0;             // slot 4
};

class QM_API IVlanConfig {
  public:
    virtual ~IVlanConfig() = default;   // slot 0
    virtual void Clear() = 0;           // slot 1
    virtual const char* GetName() = 0;  // slot 2
    virtual uint16_t GetVlanId() = 0;   // slot 3
};

class QM_API ISoAdConfig {
  public:
    virtual ~ISoAdConfig() = default;                                // slot 0
    virtual void Clear() = 0;                                        // slot 1
    virtual uint64_t GetBundleCount() = 0;                           // slot 2
    virtual ISocketConnectionBundle* GetBundle(uint64_t index) = 0;  // slot 3
};

class QM_API ISocketConnectionBundle {
  public:
    virtual ~ISocketConnectionBundle() = default;                  // slot 0
    virtual void Clear() = 0;                                      // slot 1
    virtual const char* GetName() = 0;                             // slot 2
    virtual uint64_t GetConnectionCount() = 0;                     // slot 3
    virtual ISocketConnection* GetConnection(uint64_t index) = 0;  // slot 4
    virtual ISocketAddress* GetServerPort() = 0;                   // slot 5
};

class QM_API ISocketConnection {
  public:
    virtual ~ISocketConnection() = default;                      // slot 0
    virtual void Clear() = 0;                                    // slot 1
    virtual bool IsClientIpFromConnectionRequest() = 0;          // slot 2
    virtual bool IsClientPortFromConnectionRequest() = 0;        // slot 3
    virtual uint8_t GetPduCollectionMaxBufferSize() = 0;         // slot 4
    virtual ISocketAddress* GetClientPort() = 0;                 // slot 5
    virtual uint64_t GetPduCount() = 0;                          // slot 6
    virtual IPduIdentifier* GetPdu(uint64_t index) = 0;          // slot 7
    virtual const char* GetRuntimeIpAddressConfiguration() = 0;  // slot 8
    virtual const char* GetRuntimePortConfiguration() = 0;       // slot 9
    virtual const char* GetShortLabel() = 0;                     // slot 10
};

class QM_API ISocketAddress {
  public:
    virtual ~ISocketAddress() = default;                         // slot 0
    virtual void Clear() = 0;                                    // slot 1
    virtual const char* GetName() = 0;                           // slot 2
    virtual IApplicationEndpoint* GetApplicationEndpoint() = 0;  // slot 3
    virtual IEthCommConn* GetMulticastConnector() = 0;           // slot 4
};

class QM_API IApplicationEndpoint {
  public:
    virtual ~IApplicationEndpoint() = default;           // slot 0
    virtual void Clear() = 0;                            // slot 1
    virtual const char* GetName() = 0;                   // slot 2
    virtual INetworkEndpoint* GetNetworkEndpoint() = 0;  // slot 3
    virtual uint8_t GetPriority() = 0;                   // slot 4
    virtual uint32_t GetProtocol() = 0;                  // slot 5
    virtual const char* GetProtocolText() = 0;           // slot 6
    virtual bool IsDynamicallyAssigned() = 0;            // slot 7
    virtual uint32_t GetPortNumber() = 0;                // slot 8
};

class QM_API INetworkEndpoint {
  public:
    virtual ~INetworkEndpoint() = default;           // slot 0
    virtual void Clear() = 0;                        // slot 1
    virtual const char* GetName() = 0;               // slot 2
    virtual const char* GetDefaultRouter() = 0;      // slot 3
    virtual const char* GetIpv6Address() = 0;        // slot 4
    virtual const char* GetIpv6AddressSource() = 0;  // slot 5
};

class QM_API IEthCommConn {
  public:
    virtual ~IEthCommConn() = default;                                 // slot 0
    virtual void Clear() = 0;                                          // slot 1
    virtual const char* GetName() = 0;                                 // slot 2
    virtual const char* GetPncGatewayType() = 0;                       // slot 3
    virtual uint32_t GetMtu() = 0;                                     // slot 4
    virtual uint64_t GetNetworkEndpointCount() = 0;                    // slot 5
    virtual INetworkEndpoint* GetNetworkEndpoint(uint64_t index) = 0;  // slot 6
};

// The PDU triggering a socket connection's PDU identifier names.
class QM_API IPduTriggering {
  public:
    virtual ~IPduTriggering() = default;                          // slot 0
    virtual void Clear() = 0;                                     // slot 1
    virtual const char* GetName() = 0;                            // slot 2
    virtual const char* GetPduName() = 0;                         // slot 3
    virtual const char* GetPduKind() = 0;                         // slot 4
    virtual uint64_t GetSignalCount() = 0;                        // slot 5
    virtual const char* GetSignalName(uint64_t index) = 0;        // slot 6
    virtual const char* GetSystemSignalName(uint64_t index) = 0;  // slot 7
};

class QM_API IPduIdentifier {
  public:
    virtual ~IPduIdentifier() = default;                  // slot 0
    virtual void Clear() = 0;                             // slot 1
    virtual uint32_t GetHeaderId() = 0;                   // slot 2
    virtual const char* GetPduCollectionSemantics() = 0;  // slot 3
    virtual const char* GetPduCollectionTrigger() = 0;    // slot 4
    virtual IPduTriggering* GetPduTriggering() = 0;       // slot 5
};

// ---------------------------------------------------------------------------------------------
// Whole-document reading: an extension beyond the interfaces above. Exact reading (the
// default) finds services, ECUs and data types by the package names of the described layout;
// whole-document reading also reads every service interface, SOME/IP deployment and service
// instance (Adaptive and Classic Platform), data type, machine mapping and socket placement
// of every package at any depth, joined across the loaded files by reference, into the
// service model below. The described model is read in both modes.

enum SomeIpReadingMode : int32_t { kSomeIpReadExact = 0, kSomeIpReadWholeDocument = 1 };

// What GetReadCount counts: elements read by whole-document reading in the last load.
enum SomeIpReadCount : int32_t {
    kSomeIpCountServiceInterfaces = 0,
    kSomeIpCountServiceDeployments = 1,
    kSomeIpCountServiceInstances = 2,
    kSomeIpCountMethods = 3,
    kSomeIpCountEvents = 4,
    kSomeIpCountFields = 5,
    kSomeIpCountEventGroups = 6,
    kSomeIpCountDataTypes = 7,
};

// The kind of an ISomeIpType.
enum SomeIpTypeKind : int32_t {
    kSomeIpTypePrimitive = 0,    // a C++ arithmetic type (GetCppType)
    kSomeIpTypeString = 1,       // std::string
    kSomeIpTypeArray = 2,        // fixed size: element type and size
    kSomeIpTypeVector = 3,       // variable size: element type
    kSomeIpTypeStructure = 4,    // members
    kSomeIpTypeEnumeration = 5,  // enumerators over an underlying type (GetElementType)
    kSomeIpTypeAlias = 6,        // another name of GetElementType
    kSomeIpTypeUnresolved = 7,   // named by a reference that leads to no type read
};

class ISomeIpService;
class ISomeIpType;

// Reached with dynamic_cast<IArxmlDatabaseOptions*>(database). The mode applies to the next
// Load; Clear keeps it.
class QM_API IArxmlDatabaseOptions {
  public:
    virtual ~IArxmlDatabaseOptions() = default;                       // slot 0
    virtual bool SetReadingMode(int32_t mode) = 0;                    // slot 1
    virtual int32_t GetReadingMode() = 0;                             // slot 2
    virtual uint64_t GetReadCount(int32_t what) = 0;                  // slot 3
    virtual uint64_t GetSomeIpServiceCount() = 0;                     // slot 4
    virtual ISomeIpService* GetSomeIpService(uint64_t index) = 0;     // slot 5
    virtual ISomeIpService* FindSomeIpService(const char* name) = 0;  // slot 6
    virtual uint64_t GetSomeIpTypeCount() = 0;                        // slot 7
    virtual ISomeIpType* GetSomeIpType(uint64_t index) = 0;           // slot 8
    // The C++ header of every service with an interface or a deployment (of the one named,
    // when serviceName is neither null nor empty) and of every data type read.
    virtual const char* GenerateServicesHeader(const char* serviceName) = 0;  // slot 9
};

class QM_API ISomeIpType {
  public:
    virtual ~ISomeIpType() = default;                           // slot 0
    virtual const char* GetName() = 0;                          // slot 1
    virtual const char* GetPath() = 0;                          // slot 2
    virtual int32_t GetKind() = 0;                              // slot 3
    virtual const char* GetCppType() = 0;                       // slot 4
    virtual ISomeIpType* GetElementType() = 0;                  // slot 5
    virtual uint64_t GetArraySize() = 0;                        // slot 6
    virtual uint64_t GetMemberCount() = 0;                      // slot 7
    virtual const char* GetMemberName(uint64_t index) = 0;      // slot 8
    virtual ISomeIpType* GetMemberType(uint64_t index) = 0;     // slot 9
    virtual uint64_t GetEnumeratorCount() = 0;                  // slot 10
    virtual const char* GetEnumeratorName(uint64_t index) = 0;  // slot 11
    virtual int64_t GetEnumeratorValue(uint64_t index) = 0;     // slot 12
};

// Identifiers are -1 when no element gives them (or the text is out of range).
class QM_API ISomeIpMethod {
  public:
    virtual ~ISomeIpMethod() = default;                            // slot 0
    virtual const char* GetName() = 0;                             // slot 1
    virtual int32_t GetId() = 0;                                   // slot 2
    virtual bool IsFireAndForget() = 0;                            // slot 3
    virtual const char* GetTransportProtocol() = 0;                // slot 4
    virtual uint64_t GetArgumentCount() = 0;                       // slot 5
    virtual const char* GetArgumentName(uint64_t index) = 0;       // slot 6
    virtual const char* GetArgumentDirection(uint64_t index) = 0;  // slot 7
    virtual ISomeIpType* GetArgumentType(uint64_t index) = 0;      // slot 8
};

class QM_API ISomeIpEvent {
  public:
    virtual ~ISomeIpEvent() = default;               // slot 0
    virtual const char* GetName() = 0;               // slot 1
    virtual int32_t GetId() = 0;                     // slot 2
    virtual const char* GetTransportProtocol() = 0;  // slot 3
    virtual ISomeIpType* GetType() = 0;              // slot 4
};

class QM_API ISomeIpField {
  public:
    virtual ~ISomeIpField() = default;               // slot 0
    virtual const char* GetName() = 0;               // slot 1
    virtual ISomeIpType* GetType() = 0;              // slot 2
    virtual int32_t GetGetterId() = 0;               // slot 3
    virtual int32_t GetSetterId() = 0;               // slot 4
    virtual int32_t GetNotifierId() = 0;             // slot 5
    virtual const char* GetTransportProtocol() = 0;  // slot 6
};

class QM_API ISomeIpEventGroup {
  public:
    virtual ~ISomeIpEventGroup() = default;                // slot 0
    virtual const char* GetName() = 0;                     // slot 1
    virtual int32_t GetId() = 0;                           // slot 2
    virtual uint64_t GetEventCount() = 0;                  // slot 3
    virtual const char* GetEventName(uint64_t index) = 0;  // slot 4
};

// A provided or required (consumed) service instance and where it runs.
class QM_API ISomeIpInstance {
  public:
    virtual ~ISomeIpInstance() = default;                       // slot 0
    virtual const char* GetName() = 0;                          // slot 1
    virtual uint32_t GetRole() = 0;                             // slot 2: 1 required, 2 provided
    virtual const char* GetRoleText() = 0;                      // slot 3
    virtual int32_t GetInstanceId() = 0;                        // slot 4: 0xFFFF for ANY
    virtual const char* GetDeploymentName() = 0;                // slot 5
    virtual uint64_t GetProviderCount() = 0;                    // slot 6
    virtual const char* GetProviderName(uint64_t index) = 0;    // slot 7
    virtual const char* GetProviderKind(uint64_t index) = 0;    // slot 8
    virtual bool HasDiscoveryTiming() = 0;                      // slot 9
    virtual uint32_t GetTimeToLive() = 0;                       // slot 10
    virtual double GetInitialDelayMin() = 0;                    // slot 11
    virtual double GetInitialDelayMax() = 0;                    // slot 12
    virtual double GetInitialRepetitionsBaseDelay() = 0;        // slot 13
    virtual int32_t GetInitialRepetitionsMax() = 0;             // slot 14
    virtual double GetCyclicDelay() = 0;                        // slot 15
    virtual double GetRequestResponseDelayMin() = 0;            // slot 16
    virtual double GetRequestResponseDelayMax() = 0;            // slot 17
    virtual uint64_t GetEventGroupCount() = 0;                  // slot 18
    virtual const char* GetEventGroupName(uint64_t index) = 0;  // slot 19
};

class QM_API ISomeIpService {
  public:
    virtual ~ISomeIpService() = default;                           // slot 0
    virtual const char* GetName() = 0;                             // slot 1
    virtual const char* GetInterfacePath() = 0;                    // slot 2: "" without one
    virtual const char* GetPlatform() = 0;                         // slot 3: "adaptive", "classic"
    virtual int32_t GetServiceId() = 0;                            // slot 4
    virtual int32_t GetMajorVersion() = 0;                         // slot 5
    virtual int64_t GetMinorVersion() = 0;                         // slot 6
    virtual uint64_t GetDeploymentCount() = 0;                     // slot 7
    virtual const char* GetDeploymentName(uint64_t index) = 0;     // slot 8
    virtual uint64_t GetMethodCount() = 0;                         // slot 9
    virtual ISomeIpMethod* GetMethod(uint64_t index) = 0;          // slot 10
    virtual uint64_t GetEventCount() = 0;                          // slot 11
    virtual ISomeIpEvent* GetEvent(uint64_t index) = 0;            // slot 12
    virtual uint64_t GetFieldCount() = 0;                          // slot 13
    virtual ISomeIpField* GetField(uint64_t index) = 0;            // slot 14
    virtual uint64_t GetEventGroupCount() = 0;                     // slot 15
    virtual ISomeIpEventGroup* GetEventGroup(uint64_t index) = 0;  // slot 16
    virtual uint64_t GetInstanceCount() = 0;                       // slot 17
    virtual ISomeIpInstance* GetInstance(uint64_t index) = 0;      // slot 18
};
