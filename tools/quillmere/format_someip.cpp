// The SOME/IP format of the tool: ECUs with their services (identifiers, versions, discovery
// timing, fields, event groups), PDU groups, the Ethernet topology and the data types, and
// the C++ header of the services' data types.
#include <fstream>
#include <iostream>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "document_checks.h"
#include "exit_owned.h"
#include "format.h"
#include "format_someip.h"

#include "platform/files.h"
#include "quillmere/someip.h"
#include "someip/arxml_database.h"

namespace qmtool {
namespace {

constexpr const char* kSomeipExample = "someip_services.arxml";

struct LoadedDatabase {
    ExitOwned<CArxmlDatabase> database = MakeExitOwned<CArxmlDatabase>();
    bool ok = false;
    std::vector<std::string> unresolved;
};

LoadedDatabase LoadDatabase(const std::vector<std::string>& paths, bool exact) {
    LoadedDatabase loaded;
    loaded.database->SetReadingMode(exact ? kSomeIpReadExact : kSomeIpReadWholeDocument);
    std::vector<const char*> files;
    for (const std::string& path : paths) files.push_back(path.c_str());
    NanoXML::ClearMessageLog();
    ForgetDocumentEnds();
    loaded.ok = loaded.database->Load(files.data(), files.size());
    for (const std::string& line : SplitLines(NanoXML::MessageLog())) {
        if (line.rfind("Unresolved reference of: ", 0) == 0) loaded.unresolved.push_back(line);
    }
    NanoXML::ClearMessageLog();
    return loaded;
}

Json Text(const char* text) {
    return Json(text ? text : "");
}

template <class Accessor>
Json AccessorJson(Accessor* accessor) {
    if (accessor == nullptr) return nullptr;
    return Json{{"name", Text(accessor->GetName())},
                {"id", accessor->GetId()},
                {"transport", Text(accessor->GetTransportProtocol())}};
}

Json ServiceJson(ISomeIpServiceCfg& service) {
    Json fields = Json::array();
    for (uint64_t i = 0; i < service.GetFieldDeploymentCount(); ++i) {
        IFieldDeployment* field = service.GetFieldDeployment(i);
        fields.push_back({{"name", Text(field->GetFieldName())},
                          {"deployment", Text(field->GetDeploymentName())},
                          {"getter", AccessorJson(field->GetGetter())},
                          {"notifier", AccessorJson(field->GetNotifier())},
                          {"setter", AccessorJson(field->GetSetter())}});
    }
    Json groups = Json::array();
    for (uint64_t i = 0; i < service.GetEventGroupCount(); ++i) {
        IEventGroup* group = service.GetEventGroup(i);
        Json events = Json::array();
        for (uint64_t e = 0; e < group->GetEventRefCount(); ++e)
            events.push_back(Text(group->GetEventRef(e)));
        groups.push_back({{"name", Text(group->GetName())},
                          {"id", group->GetEventGroupId()},
                          {"events", events}});
    }
    Json events = Json::array();
    for (uint64_t i = 0; i < service.GetEventCount(); ++i) {
        IEventDeployment* event = service.GetEvent(i);
        events.push_back({{"name", Text(event->GetName())},
                          {"id", event->GetEventId()},
                          {"transport", Text(event->GetTransportProtocol())}});
    }
    Json structures = Json::array();
    for (uint64_t i = 0; i < service.GetStructDatatypeCount(); ++i) {
        IStructDatatype* structure = service.GetStructDatatype(i);
        structures.push_back(
            {{"name", Text(structure->GetName())}, {"members", structure->GetVariableCount()}});
    }
    return Json{{"name", Text(service.GetName())},
                {"role", Text(service.GetRoleText())},
                {"serviceId", service.GetServiceInterfaceId()},
                {"instanceId", service.GetInstanceId()},
                {"majorVersion", service.GetMajorVersion()},
                {"minorVersion", service.GetMinorVersion()},
                {"discovery",
                 {{"timeToLive", service.GetTimeToLive()},
                  {"cyclicDelay", service.GetCyclicDelay()},
                  {"initialDelayMin", service.GetInitialDelayMin()},
                  {"initialDelayMax", service.GetInitialDelayMax()},
                  {"repetitionsBaseDelay", service.GetInitialRepetitionsBaseDelay()},
                  {"repetitionsMax", service.GetInitialRepetitionsMax()},
                  {"requestResponseDelayMin", service.GetRequestResponseDelayMin()},
                  {"requestResponseDelayMax", service.GetRequestResponseDelayMax()}}},
                {"fields", fields},
                {"eventGroups", groups},
                {"events", events},
                {"structures", structures}};
}

Json SignalJson(ISignal& signal) {
    Json table = nullptr;
    if (IValueTableEntry* values = signal.GetValueTable()) {
        Json entries = Json::array();
        for (uint64_t i = 0; i < values->GetEntryCount(); ++i) {
            IPhysicalValue* value = values->GetEntry(i);
            entries.push_back({{"name", Text(value->GetName())},
                               {"lower", value->GetLowerLimit()},
                               {"upper", value->GetUpperLimit()}});
        }
        table = Json{{"lower", values->GetLowerLimit()},
                     {"upper", values->GetUpperLimit()},
                     {"entries", entries}};
    }
    return Json{{"name", Text(signal.GetName())},
                {"systemSignal", Text(signal.GetSystemSignalName())},
                {"bus", Text(signal.GetBusText())},
                {"startPosition", signal.GetStartPosition()},
                {"length", signal.GetLength()},
                {"initValue", signal.GetInitValue()},
                {"baseType", Text(signal.GetBaseTypeName())},
                {"byteOrder", Text(signal.GetByteOrderText())},
                {"valueTable", table}};
}

Json NodeJson(INode& node) {
    Json pdus = Json::array();
    for (uint64_t i = 0; i < node.GetPduCount(); ++i) {
        IPdu* pdu = node.GetPdu(i);
        Json signals = Json::array();
        for (uint64_t s = 0; s < pdu->GetSignalCount(); ++s)
            signals.push_back(SignalJson(*pdu->GetSignal(s)));
        pdus.push_back({{"name", Text(pdu->GetName())},
                        {"kind", Text(pdu->GetKindText())},
                        {"length", pdu->GetLength()},
                        {"timePeriod", pdu->GetTimePeriod()},
                        {"timeOffset", pdu->GetTimeOffset()},
                        {"signals", signals}});
    }
    return Json{{"name", Text(node.GetName())},
                {"direction", Text(node.GetDirectionText())},
                {"mode", Text(node.GetModeText())},
                {"pdus", pdus}};
}

Json NetworkEndpointJson(INetworkEndpoint* endpoint) {
    if (endpoint == nullptr) return nullptr;
    return Json{{"name", Text(endpoint->GetName())},
                {"ipv6Address", Text(endpoint->GetIpv6Address())},
                {"defaultRouter", Text(endpoint->GetDefaultRouter())},
                {"addressSource", Text(endpoint->GetIpv6AddressSource())}};
}

Json SocketAddressJson(ISocketAddress* address) {
    if (address == nullptr) return nullptr;
    Json endpoint = nullptr;
    if (IApplicationEndpoint* app = address->GetApplicationEndpoint()) {
        endpoint = Json{{"name", Text(app->GetName())},
                        {"protocol", Text(app->GetProtocolText())},
                        {"port", app->GetPortNumber()},
                        {"dynamicallyAssigned", app->IsDynamicallyAssigned()},
                        {"priority", app->GetPriority()},
                        {"networkEndpoint", NetworkEndpointJson(app->GetNetworkEndpoint())}};
    }
    Json multicast = nullptr;
    if (IEthCommConn* connector = address->GetMulticastConnector()) {
        Json endpoints = Json::array();
        for (uint64_t i = 0; i < connector->GetNetworkEndpointCount(); ++i) {
            endpoints.push_back(NetworkEndpointJson(connector->GetNetworkEndpoint(i)));
        }
        multicast = Json{{"name", Text(connector->GetName())},
                         {"mtu", connector->GetMtu()},
                         {"pncGatewayType", Text(connector->GetPncGatewayType())},
                         {"networkEndpoints", endpoints}};
    }
    return Json{{"name", Text(address->GetName())},
                {"applicationEndpoint", endpoint},
                {"multicastConnector", multicast}};
}

Json ConnectionJson(ISocketConnection& connection) {
    Json pdus = Json::array();
    for (uint64_t i = 0; i < connection.GetPduCount(); ++i) {
        IPduIdentifier* pdu = connection.GetPdu(i);
        Json triggering = nullptr;
        if (IPduTriggering* t = pdu->GetPduTriggering()) {
            Json signals = Json::array();
            for (uint64_t s = 0; s < t->GetSignalCount(); ++s)
                signals.push_back(Text(t->GetSignalName(s)));
            triggering = Json{{"name", Text(t->GetName())},
                              {"pdu", Text(t->GetPduName())},
                              {"pduKind", Text(t->GetPduKind())},
                              {"signals", signals}};
        }
        pdus.push_back({{"headerId", pdu->GetHeaderId()},
                        {"collectionSemantics", Text(pdu->GetPduCollectionSemantics())},
                        {"collectionTrigger", Text(pdu->GetPduCollectionTrigger())},
                        {"triggering", triggering}});
    }
    return Json{
        {"shortLabel", Text(connection.GetShortLabel())},
        {"clientIpFromConnectionRequest", connection.IsClientIpFromConnectionRequest()},
        {"clientPortFromConnectionRequest", connection.IsClientPortFromConnectionRequest()},
        {"pduCollectionMaxBufferSize", connection.GetPduCollectionMaxBufferSize()},
        {"runtimeIpAddressConfiguration", Text(connection.GetRuntimeIpAddressConfiguration())},
        {"runtimePortConfiguration", Text(connection.GetRuntimePortConfiguration())},
        {"clientPort", SocketAddressJson(connection.GetClientPort())},
        {"pdus", pdus}};
}

Json ClusterJson(IEthernetCluster& cluster) {
    Json channel = nullptr;
    if (IEthernetPhysicalChannel* c = cluster.GetPhysicalChannel()) {
        Json vlan = nullptr;
        if (IVlanConfig* v = c->GetVlan())
            vlan = Json{{"name", Text(v->GetName())}, {"id", v->GetVlanId()}};
        Json bundles = Json::array();
        if (ISoAdConfig* soAd = c->GetSoAdConfig()) {
            for (uint64_t i = 0; i < soAd->GetBundleCount(); ++i) {
                ISocketConnectionBundle* bundle = soAd->GetBundle(i);
                Json connections = Json::array();
                for (uint64_t k = 0; k < bundle->GetConnectionCount(); ++k) {
                    connections.push_back(ConnectionJson(*bundle->GetConnection(k)));
                }
                bundles.push_back({{"name", Text(bundle->GetName())},
                                   {"serverPort", SocketAddressJson(bundle->GetServerPort())},
                                   {"connections", connections}});
            }
        }
        channel =
            Json{{"name", Text(c->GetName())}, {"vlan", vlan}, {"connectionBundles", bundles}};
    }
    return Json{{"name", Text(cluster.GetName())},
                {"protocolName", Text(cluster.GetProtocolName())},
                {"protocolVersion", Text(cluster.GetProtocolVersion())},
                {"physicalChannel", channel}};
}

const char* KindName(uint32_t kind) {
    static const char* const kNames[] = {"structure", "array",  "enumeration",   "value",
                                         "string",    "vector", "configuration", "unset"};
    return kind < 8 ? kNames[kind] : "unknown";
}

Json DataTypeJson(IDataType& type) {
    Json json{{"name", Text(type.GetName())}, {"kind", KindName(type.GetKind())}};
    if (auto* trivial = dynamic_cast<ITrivialDataType*>(&type)) {
        json["baseType"] = Text(trivial->GetBaseTypeName());
        json["nativeDeclaration"] = Text(trivial->GetNativeDeclaration());
        json["size"] = trivial->GetBaseTypeSize();
    } else if (auto* vector = dynamic_cast<IVectorDataType*>(&type)) {
        json["cppType"] = Text(vector->GetCppType());
    } else if (auto* array = dynamic_cast<IArrayDataType*>(&type)) {
        json["elementType"] = Text(array->GetElementTypeName());
        json["size"] = array->GetArraySize();
    } else if (auto* enumeration = dynamic_cast<IEnumDataType*>(&type)) {
        Json values = Json::array();
        for (uint64_t i = 0; i < enumeration->GetEnumeratorCount(); ++i) {
            values.push_back(Text(enumeration->GetEnumerator(i)->GetName()));
        }
        json["enumerators"] = values;
    } else if (auto* structure = dynamic_cast<IStructureDataType*>(&type)) {
        Json members = Json::array();
        for (uint64_t i = 0; i < structure->GetMemberCount(); ++i) {
            members.push_back(Text(structure->GetMember(i)->GetName()));
        }
        json["members"] = members;
    } else if (auto* config = dynamic_cast<IGlobalConfigDataType*>(&type)) {
        Json types = Json::array();
        for (uint64_t i = 0; i < config->GetDataTypeCount(); ++i)
            types.push_back(DataTypeJson(*config->GetDataType(i)));
        json["dataTypes"] = types;
    }
    return json;
}

Json Id(int64_t id) {
    return id < 0 ? Json(nullptr) : Json(id);
}

Json TypeName(ISomeIpType* type) {
    if (type == nullptr) return nullptr;
    const std::string name = Text(type->GetName());
    return name.empty() ? Text(type->GetCppType()) : Json(name);
}

Json InstanceJson(ISomeIpInstance& instance) {
    Json providers = Json::array();
    for (uint64_t i = 0; i < instance.GetProviderCount(); ++i) {
        providers.push_back({{"name", Text(instance.GetProviderName(i))},
                             {"kind", Text(instance.GetProviderKind(i))}});
    }
    Json groups = Json::array();
    for (uint64_t i = 0; i < instance.GetEventGroupCount(); ++i)
        groups.push_back(Text(instance.GetEventGroupName(i)));
    Json discovery = nullptr;
    if (instance.HasDiscoveryTiming()) {
        discovery = Json{{"timeToLive", instance.GetTimeToLive()},
                         {"cyclicDelay", instance.GetCyclicDelay()},
                         {"initialDelayMin", instance.GetInitialDelayMin()},
                         {"initialDelayMax", instance.GetInitialDelayMax()},
                         {"repetitionsBaseDelay", instance.GetInitialRepetitionsBaseDelay()},
                         {"repetitionsMax", instance.GetInitialRepetitionsMax()},
                         {"requestResponseDelayMin", instance.GetRequestResponseDelayMin()},
                         {"requestResponseDelayMax", instance.GetRequestResponseDelayMax()}};
    }
    return Json{{"name", Text(instance.GetName())},
                {"role", Text(instance.GetRoleText())},
                {"instanceId", Id(instance.GetInstanceId())},
                {"deployment", Text(instance.GetDeploymentName())},
                {"providers", providers},
                {"eventGroups", groups},
                {"discovery", discovery}};
}

Json DocumentServiceJson(ISomeIpService& service) {
    Json deployments = Json::array();
    for (uint64_t i = 0; i < service.GetDeploymentCount(); ++i)
        deployments.push_back(Text(service.GetDeploymentName(i)));
    Json methods = Json::array();
    for (uint64_t i = 0; i < service.GetMethodCount(); ++i) {
        ISomeIpMethod* method = service.GetMethod(i);
        Json arguments = Json::array();
        for (uint64_t a = 0; a < method->GetArgumentCount(); ++a) {
            arguments.push_back({{"name", Text(method->GetArgumentName(a))},
                                 {"direction", Text(method->GetArgumentDirection(a))},
                                 {"type", TypeName(method->GetArgumentType(a))}});
        }
        methods.push_back({{"name", Text(method->GetName())},
                           {"id", Id(method->GetId())},
                           {"fireAndForget", method->IsFireAndForget()},
                           {"transport", Text(method->GetTransportProtocol())},
                           {"arguments", arguments}});
    }
    Json events = Json::array();
    for (uint64_t i = 0; i < service.GetEventCount(); ++i) {
        ISomeIpEvent* event = service.GetEvent(i);
        events.push_back({{"name", Text(event->GetName())},
                          {"id", Id(event->GetId())},
                          {"type", TypeName(event->GetType())},
                          {"transport", Text(event->GetTransportProtocol())}});
    }
    Json fields = Json::array();
    for (uint64_t i = 0; i < service.GetFieldCount(); ++i) {
        ISomeIpField* field = service.GetField(i);
        fields.push_back({{"name", Text(field->GetName())},
                          {"type", TypeName(field->GetType())},
                          {"getterId", Id(field->GetGetterId())},
                          {"setterId", Id(field->GetSetterId())},
                          {"notifierId", Id(field->GetNotifierId())},
                          {"transport", Text(field->GetTransportProtocol())}});
    }
    Json groups = Json::array();
    for (uint64_t i = 0; i < service.GetEventGroupCount(); ++i) {
        ISomeIpEventGroup* group = service.GetEventGroup(i);
        Json members = Json::array();
        for (uint64_t e = 0; e < group->GetEventCount(); ++e)
            members.push_back(Text(group->GetEventName(e)));
        groups.push_back(
            {{"name", Text(group->GetName())}, {"id", Id(group->GetId())}, {"events", members}});
    }
    Json instances = Json::array();
    for (uint64_t i = 0; i < service.GetInstanceCount(); ++i)
        instances.push_back(InstanceJson(*service.GetInstance(i)));
    const std::string interfacePath = Text(service.GetInterfacePath());
    return Json{{"name", Text(service.GetName())},
                {"platform", Text(service.GetPlatform())},
                {"interface", interfacePath.empty() ? Json(nullptr) : Json(interfacePath)},
                {"serviceId", Id(service.GetServiceId())},
                {"majorVersion", Id(service.GetMajorVersion())},
                {"minorVersion", Id(service.GetMinorVersion())},
                {"deployments", deployments},
                {"methods", methods},
                {"events", events},
                {"fields", fields},
                {"eventGroups", groups},
                {"instances", instances}};
}

// The services and counts of whole-document reading.
void AddDocumentJson(CArxmlDatabase& db, Json& model) {
    Json services = Json::array();
    for (uint64_t i = 0; i < db.GetSomeIpServiceCount(); ++i)
        services.push_back(DocumentServiceJson(*db.GetSomeIpService(i)));
    model["services"] = services;
    model["counts"] = Json{{"serviceInterfaces", db.GetReadCount(kSomeIpCountServiceInterfaces)},
                           {"serviceDeployments", db.GetReadCount(kSomeIpCountServiceDeployments)},
                           {"serviceInstances", db.GetReadCount(kSomeIpCountServiceInstances)},
                           {"methods", db.GetReadCount(kSomeIpCountMethods)},
                           {"events", db.GetReadCount(kSomeIpCountEvents)},
                           {"fields", db.GetReadCount(kSomeIpCountFields)},
                           {"eventGroups", db.GetReadCount(kSomeIpCountEventGroups)},
                           {"dataTypes", db.GetReadCount(kSomeIpCountDataTypes)}};
}

Json ModelJson(CArxmlDatabase& db, const LoadedDatabase& loaded) {
    Json files = Json::array();
    for (uint64_t i = 0; i < db.GetLoadedFileCount(); ++i)
        files.push_back(Text(db.GetLoadedFileName(i)));
    Json ecus = Json::array();
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) {
        IEcu* ecu = db.GetEcu(i);
        Json services = Json::array();
        for (uint64_t s = 0; s < ecu->GetServiceCount(); ++s)
            services.push_back(ServiceJson(*ecu->GetService(s)));
        Json nodes = Json::array();
        for (uint64_t n = 0; n < ecu->GetNodeCount(); ++n)
            nodes.push_back(NodeJson(*ecu->GetNode(n)));
        ecus.push_back(
            {{"name", Text(ecu->GetName())}, {"services", services}, {"pduGroups", nodes}});
    }
    Json clusters = Json::array();
    if (ICluster* container = db.GetClusters()) {
        for (uint64_t i = 0; i < container->GetEthernetClusterCount(); ++i) {
            clusters.push_back(ClusterJson(*container->GetEthernetCluster(i)));
        }
    }
    Json types = Json::array();
    if (IRizConfig* riz = db.GetRizConfig()) {
        if (IGlobalConfigDataType* global = riz->GetGlobalConfiguration())
            types.push_back(DataTypeJson(*global));
        for (uint64_t i = 0; i < riz->GetDataTypeCount(); ++i)
            types.push_back(DataTypeJson(*riz->GetDataType(i)));
    }
    for (uint64_t i = 0; i < db.GetServiceConfigurationCount(); ++i) {
        types.push_back(DataTypeJson(*db.GetServiceConfiguration(i)));
    }
    Json messages = Json::array();
    for (const std::string& line : SplitLines(db.GetMessages())) messages.push_back(line);
    for (const std::string& line : loaded.unresolved) messages.push_back(line);
    Json model{{"files", files},     {"status", loaded.ok ? "loaded" : "failed"},
               {"ecus", ecus},       {"ethernetClusters", clusters},
               {"dataTypes", types}, {"messages", messages}};
    if (db.GetReadingMode() == kSomeIpReadWholeDocument) AddDocumentJson(db, model);
    return model;
}

uint64_t ServiceCount(CArxmlDatabase& db) {
    uint64_t count = 0;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) count += db.GetEcu(i)->GetServiceCount();
    return count;
}

// The signed types the structures use are not among the compatibility defines.
constexpr const char* kSignedDefines =
    "#ifndef int8\n#define int8 int8_t\n#endif\n"
    "#ifndef int16\n#define int16 int16_t\n#endif\n"
    "#ifndef int32\n#define int32 int32_t\n#endif\n"
    "#ifndef int64\n#define int64 int64_t\n#endif\n";

class SomeIpFormat : public FileFormat {
  public:
    std::string Name() const override { return "someip"; }
    std::string ClassVersion() const override { return CArxmlDatabase::kVersion; }
    // .arxml files are read as bus communication unless --format someip is given.
    bool Accepts(const std::filesystem::path&) const override { return false; }

    Json Info(const std::string& path, const Options& options) override {
        LoadedDatabase loaded = Require(path, options);
        CArxmlDatabase& db = *loaded.database;
        return Json{{"path", path},
                    {"kind", "SOME/IP"},
                    {"status", "loaded"},
                    {"ecus", db.GetEcuCount()},
                    {"services", db.GetReadingMode() == kSomeIpReadWholeDocument
                                     ? db.GetSomeIpServiceCount()
                                     : ServiceCount(db)},
                    {"ethernetClusters",
                     db.GetClusters() ? db.GetClusters()->GetEthernetClusterCount() : 0},
                    {"messages", SplitLines(db.GetMessages()).size() + loaded.unresolved.size()}};
    }

    Json Dump(const std::string& path, const Options& options) override {
        LoadedDatabase loaded = Require(path, options);
        Json model = ModelJson(*loaded.database, loaded);
        model["path"] = path;
        return model;
    }

    CheckResult Check(const std::string& path, const Options& options) override {
        LoadedDatabase loaded = LoadDatabase({path}, options.exact);
        CheckResult result;
        result.messages = SplitLines(loaded.database->GetMessages());
        result.messages.insert(result.messages.end(), loaded.unresolved.begin(),
                               loaded.unresolved.end());
        // An empty, foreign or cut document reads without a word from the reader.
        const DocumentFindings findings = ExamineDocuments("an ARXML", {"AUTOSAR"}, true);
        if (!loaded.ok) {
            result.exitCode = kCheckFailed;
            result.status = "failed";
            ApplyFindings(findings, result);
            return result;
        }
        result.status = "loaded";
        result.exitCode = result.messages.empty() ? kCheckClean : kCheckWarnings;
        ApplyFindings(findings, result);
        return result;
    }

    void Demo(const std::filesystem::path& examplesDir, std::ostream& out) override {
        const std::filesystem::path example = examplesDir / kSomeipExample;
        out << "SOME/IP services (" << example.filename().string() << ")\n";
        LoadedDatabase loaded = LoadDatabase({example.string()}, false);
        if (!loaded.ok) {
            out << "  cannot read " << example.string() << '\n';
            return;
        }
        CArxmlDatabase& db = *loaded.database;
        for (uint64_t i = 0; i < db.GetEcuCount(); ++i) {
            IEcu* ecu = db.GetEcu(i);
            out << "  ECU " << ecu->GetName() << ": " << ecu->GetServiceCount() << " services, "
                << ecu->GetNodeCount() << " PDU groups\n";
            for (uint64_t s = 0; s < ecu->GetServiceCount(); ++s) {
                ISomeIpServiceCfg* service = ecu->GetService(s);
                out << "    " << service->GetRoleText() << " " << service->GetName()
                    << " (service 0x" << std::hex << service->GetServiceInterfaceId()
                    << ", instance 0x" << service->GetInstanceId() << std::dec << ", version "
                    << int(service->GetMajorVersion()) << "." << service->GetMinorVersion()
                    << "): " << service->GetFieldDeploymentCount() << " fields, "
                    << service->GetEventGroupCount() << " event groups, "
                    << service->GetStructDatatypeCount() << " structures\n";
            }
        }
        if (ICluster* clusters = db.GetClusters()) {
            for (uint64_t i = 0; i < clusters->GetEthernetClusterCount(); ++i) {
                IEthernetCluster* cluster = clusters->GetEthernetCluster(i);
                IEthernetPhysicalChannel* channel = cluster->GetPhysicalChannel();
                const uint64_t bundles = channel && channel->GetSoAdConfig()
                                             ? channel->GetSoAdConfig()->GetBundleCount()
                                             : 0;
                out << "  Ethernet cluster " << cluster->GetName() << " ("
                    << cluster->GetProtocolName() << "): " << bundles << " connection bundles\n";
            }
        }
    }

  private:
    static LoadedDatabase Require(const std::string& path, const Options& options) {
        LoadedDatabase loaded = LoadDatabase({path}, options.exact);
        if (!loaded.ok) throw ToolError("cannot read the file");
        return loaded;
    }
};

}  // namespace

int RunSomeIp(const std::vector<std::string>& paths, const Options& options) {
    LoadedDatabase loaded = LoadDatabase(paths, options.exact);
    if (!loaded.ok && loaded.database->GetLoadedFileCount() == 0) {
        throw ToolError("cannot read " + paths.front());
    }
    Json model = ModelJson(*loaded.database, loaded);
    if (options.json) {
        std::cout << model.dump(2) << '\n';
    } else {
        PrintReadable(model, std::cout);
    }
    return loaded.ok ? 0 : 2;
}

namespace {

void WriteText(const std::string& text, const Options& options) {
    if (options.output.empty()) {
        std::cout << text;
        return;
    }
    std::ofstream out(options.output, std::ios::binary);
    out << text;
    if (!out) throw ToolError("cannot write " + options.output);
}

// The header of whole-document reading: every service with an interface, a deployment or a
// Classic instance, or the one named.
int WriteServicesHeader(CArxmlDatabase& db, const std::string& service, const Options& options) {
    bool any = false;
    for (uint64_t i = 0; i < db.GetSomeIpServiceCount(); ++i) {
        const auto* found = db.Document().services[i].get();
        if (!found->HasDescription() && !found->classic) continue;
        if (service.empty() || found->name == service) any = true;
    }
    if (!any) {
        throw ToolError(service.empty() ? "no SOME/IP service found"
                                        : "no service named " + service);
    }
    WriteText(db.GenerateServicesHeader(service.c_str()), options);
    return 0;
}

}  // namespace

int RunHeader(const std::vector<std::string>& paths, const std::string& service,
              const Options& options) {
    LoadedDatabase loaded = LoadDatabase(paths, options.exact);
    if (!loaded.ok) throw ToolError("cannot read every file of " + paths.front() + "...");
    CArxmlDatabase& db = *loaded.database;
    if (!options.exact) return WriteServicesHeader(db, service, options);
    std::string text =
        "// C++ types of SOME/IP services, written by quillmere.\n"
        "#ifndef QUILLMERE_SOMEIP_SERVICES_H\n#define QUILLMERE_SOMEIP_SERVICES_H\n"
        "#include <cstdint>\n#include <string>\n";
    std::string structures;
    std::string compatibility;
    std::set<std::string> written;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) {
        IEcu* ecu = db.GetEcu(i);
        for (uint64_t s = 0; s < ecu->GetServiceCount(); ++s) {
            ISomeIpServiceCfg* cfg = ecu->GetService(s);
            const std::string name = cfg->GetName();
            if (!service.empty() && name != service) continue;
            if (!written.insert(name).second) continue;
            if (compatibility.empty()) compatibility = cfg->GenerateCompatibilityDefines();
            structures += cfg->GenerateHeader();
        }
    }
    if (written.empty()) {
        throw ToolError(service.empty() ? "no SOME/IP service found"
                                        : "no service named " + service);
    }
    text += compatibility + kSignedDefines + "\n" + structures + "#endif\n";
    if (options.output.empty()) {
        std::cout << text;
        return 0;
    }
    if (!qm::platform::WriteFileAtomic(options.output, text).ok) {
        throw WriteFailure(options.output);
    }
    return 0;
}

}  // namespace qmtool

using SomeIpFormat = qmtool::SomeIpFormat;
QM_REGISTER_FORMAT(SomeIpFormat)
