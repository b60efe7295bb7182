// The SOME/IP example network read through the database: every element the reader takes from
// it, pinned, and the bundled example read without a message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "expect_fields.h"
#include "someip_test_support.h"
#include "temp_files.h"

namespace {

using someip_test::LoadPaths;

// The network of the bundled example with the mistakes of real extracts left in.
const std::string kExample = QM_SOURCE_DIR "/tests/data/someip/services_with_quirks.arxml";

class ExampleTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(LoadPaths(db, {kExample})); }
    ISomeIpServiceCfg* Service(const char* name) { return db.GetEcu(0)->FindService(name); }

    CArxmlDatabase db;
};

// The VehicleSpeed PDU's triggering, reached from its PDU group and from its socket connection.
void ExpectSpeedTriggering(IPduTriggering* triggering) {
    ASSERT_NE(triggering, nullptr);
    QM_EXPECT_FIELDS(*triggering, (GetName(), "VehicleSpeedTriggering"),
                     (GetPduName(), "VehicleSpeed"), (GetPduKind(), "I-SIGNAL-I-PDU"));
    ASSERT_EQ(triggering->GetSignalCount(), 1u);
    QM_EXPECT_FIELDS(*triggering, (GetSignalName(0), "Speed_CAN_Value"),
                     (GetSystemSignalName(0), "VehicleSpeedSignal"));
}

TEST_F(ExampleTest, EcusAndServicesOnTheFirstEcu) {
    ASSERT_EQ(db.GetEcuCount(), 2u);
    EXPECT_STREQ(db.GetEcu(0)->GetName(), "Gateway");
    EXPECT_STREQ(db.GetEcu(1)->GetName(), "HeadUnit");
    EXPECT_EQ(db.FindEcu("HeadUnit"), db.GetEcu(1));
    QM_EXPECT_FIELDS(db, (FindEcu("headunit"), nullptr), (GetEcu(2), nullptr));
    EXPECT_EQ(db.GetEcu(0)->GetServiceCount(), 2u);
    EXPECT_EQ(db.GetEcu(1)->GetServiceCount(), 0u);
    EXPECT_EQ(db.GetLoadedFileCount(), 1u);
    EXPECT_EQ(kExample, db.GetLoadedFileName(0));
    QM_EXPECT_FIELDS(db, (GetLoadedFileName(1), nullptr), (GetVersion(), "1.50"),
                     (GetBuildDate(), "Apr 25 2022"));
}

TEST_F(ExampleTest, ProvidedServiceWithDeploymentAndOfferTiming) {
    ISomeIpServiceCfg* radio = Service("Radio");
    ASSERT_NE(radio, nullptr);
    QM_EXPECT_FIELDS(*radio, (GetRole(), 2u), (GetRoleText(), "provided"), (IsProvided(), true),
                     (IsRequired(), false), (GetInstanceId(), 1), (GetServiceInterfaceId(), 4660));
    EXPECT_EQ(radio->GetMajorVersion(), 2);   // "0x2"
    EXPECT_EQ(radio->GetMinorVersion(), 8u);  // "010" is octal
    EXPECT_EQ(radio->GetTimeToLive(), 3u);    // "0x3"
    QM_EXPECT_FIELDS(*radio, (GetCyclicDelay(), 2.0), (GetInitialDelayMax(), 0.2),
                     (GetInitialDelayMin(), 0.1), (GetInitialRepetitionsBaseDelay(), 0.05),
                     (GetInitialRepetitionsMax(), 3), (GetRequestResponseDelayMin(), 0.5),
                     (GetRequestResponseDelayMax(), 1.5));
}

TEST_F(ExampleTest, RequiredServiceTakesClientTimingAndRequiredInstanceId) {
    ISomeIpServiceCfg* nav = Service("Navigation");
    ASSERT_NE(nav, nullptr);
    QM_EXPECT_FIELDS(*nav, (GetRole(), 1u), (GetRoleText(), "required"));
    EXPECT_EQ(nav->GetInstanceId(), 3);          // not the SERVICE-INSTANCE-ID 99 beside it
    EXPECT_EQ(nav->GetServiceInterfaceId(), 0);  // "0x10" read as decimal stops at the x
    QM_EXPECT_FIELDS(*nav, (GetTimeToLive(), 10u), (GetCyclicDelay(), 1.25),
                     (GetInitialDelayMax(), 0.4), (GetInitialDelayMin(), 0.3),
                     (GetInitialRepetitionsMax(), 5), (GetRequestResponseDelayMin(), 0.0),
                     (GetRequestResponseDelayMax(), 0.0));
}

TEST_F(ExampleTest, FieldsWithAccessorsAndTheirUsers) {
    ISomeIpServiceCfg* radio = Service("Radio");
    ASSERT_EQ(radio->GetFieldDeploymentCount(), 2u);
    IFieldDeployment* volume = radio->GetFieldDeployment(0);
    QM_EXPECT_FIELDS(*volume, (GetDeploymentName(), "RadioDeployment"), (GetFieldName(), "Volume"));
    ASSERT_NE(volume->GetGetter(), nullptr);
    QM_EXPECT_FIELDS(*volume->GetGetter(), (GetName(), "GetVolume"), (GetId(), 1),
                     (GetTransportProtocol(), "UDP"));
    ASSERT_NE(volume->GetNotifier(), nullptr);
    EXPECT_EQ(volume->GetNotifier()->GetId(), 32770);
    ASSERT_NE(volume->GetSetter(), nullptr);
    QM_EXPECT_FIELDS(*volume->GetSetter(), (GetName(), "SetVolume"), (GetId(), 2));
    ASSERT_EQ(volume->GetUserCount(), 1u);
    QM_EXPECT_FIELDS(*volume, (GetUser(0), radio), (FindUser("Radio"), radio),
                     (FindUser("Navigation"), nullptr));

    IFieldDeployment* station = radio->FindFieldDeployment("Station");
    ASSERT_NE(station, nullptr);
    QM_EXPECT_FIELDS(*station, (GetGetter(), nullptr), (GetSetter(), nullptr));
    ASSERT_NE(station->GetNotifier(), nullptr);
    EXPECT_STREQ(station->GetNotifier()->GetTransportProtocol(), "UDP");
    EXPECT_EQ(radio->FindFieldDeployment("Missing"), nullptr);
}

TEST_F(ExampleTest, EventGroupsAndEvents) {
    ISomeIpServiceCfg* radio = Service("Radio");
    ASSERT_EQ(radio->GetEventGroupCount(), 1u);
    IEventGroup* group = radio->GetEventGroup(0);
    QM_EXPECT_FIELDS(*group, (GetName(), "RadioEvents"), (GetEventGroupId(), 1));
    ASSERT_EQ(group->GetEventRefCount(), 2u);
    QM_EXPECT_FIELDS(*group, (GetEventRef(0), "/riz/deployments/RadioDeployment/StationChanged"),
                     (GetEventRef(2), nullptr), (FindUser("Radio"), radio));
    ASSERT_EQ(radio->GetEventCount(), 1u);
    QM_EXPECT_FIELDS(*radio->GetEvent(0), (GetName(), "StationChanged"), (GetEventId(), 32769),
                     (GetTransportProtocol(), "UDP"));
    EXPECT_EQ(Service("Navigation")->GetEventGroup(0)->GetEventRefCount(), 0u);
}

TEST_F(ExampleTest, PduGroupsPdusSignalsAndValueTables) {
    IEcu* gateway = db.GetEcu(0);
    ASSERT_EQ(gateway->GetNodeCount(), 1u);
    INode* group = gateway->GetNode(0);
    QM_EXPECT_FIELDS(*group, (GetName(), "GatewayTx"), (GetDirection(), 0u),
                     (GetDirectionText(), "out"), (GetMode(), 0u),
                     (GetModeText(), "canTransmitAll"));
    INode* rx = db.GetEcu(1)->FindNode("HeadUnitRx");
    ASSERT_NE(rx, nullptr);
    QM_EXPECT_FIELDS(*rx, (GetDirectionText(), "in"), (GetModeText(), "canReceiveAll"));

    ASSERT_EQ(group->GetPduCount(), 1u);
    IPdu* pdu = group->GetPdu(0);
    EXPECT_EQ(gateway->FindPdu("VehicleSpeed"), pdu);
    QM_EXPECT_FIELDS(*pdu, (GetKindText(), "I-SIGNAL-I-PDU"), (GetKind(), 0), (GetLength(), 8),
                     (GetUnusedBitPattern(), 0xFF), (GetTimeOffset(), 0.005),
                     (GetTimePeriod(), 0.1));
    // A timing without its offset ends there: the period is not read either.
    std::string text = qmtest::ReadFile(kExample);
    const size_t offset = text.find("<TIME-OFFSET>");
    ASSERT_NE(offset, std::string::npos);
    text.erase(offset, text.find("</TIME-OFFSET>") + 14 - offset);
    auto withoutOffset = someip_test::LoadText(text);
    QM_EXPECT_FIELDS(*withoutOffset->GetEcu(0)->FindPdu("VehicleSpeed"), (GetTimeOffset(), 0.0),
                     (GetTimePeriod(), 0.0));
    // The channel's PDU-TRIGGERING whose I-PDU-REF names this PDU.
    ExpectSpeedTriggering(pdu->GetPduTriggering());

    ISignal* speed = gateway->FindSignal("Speed_CAN_Value");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(pdu->FindSignal("Speed_CAN_Value"), speed);
    QM_EXPECT_FIELDS(*speed, (GetSystemSignalName(), "VehicleSpeedSignal"), (GetBus(), 0u),
                     (GetBusText(), "can"), (GetDataTypePolicy(), "LEGACY"), (GetInitValue(), 16),
                     (GetLength(), 16), (GetStartPosition(), 8), (GetBaseTypeName(), "uint16"),
                     (GetLengthKind(), 0u), (GetLengthKindText(), "fixedLength"),
                     (GetBaseTypeEncoding(), "NONE"), (GetByteOrder(), 0u),
                     (GetByteOrderText(), "msb"), (HasUpdateBit(), 1));
    ASSERT_EQ(speed->GetUpdateBitPositionCount(), 1u);
    EXPECT_EQ(speed->GetUpdateBitPosition(0), 7);

    IValueTableEntry* table = speed->GetValueTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetLowerLimit(), 0u);
    EXPECT_EQ(table->GetUpperLimit(), 300u);  // the physical limits replace the internal ones
    ASSERT_EQ(table->GetEntryCount(), 2u);
    QM_EXPECT_FIELDS(*table->GetEntry(0), (GetName(), "Error"), (GetLowerLimit(), 0xFFFEu));
    EXPECT_EQ(table->FindEntry("NotAvailable")->GetUpperLimit(), 65535u);

    ISignal* gear = pdu->FindSignal("Infotainment_Gear");
    ASSERT_NE(gear, nullptr);
    QM_EXPECT_FIELDS(*gear, (GetBus(), 1u), (GetBusText(), "ethernet"));
    EXPECT_EQ(gear->GetStartPosition(), 24);  // "0x18"
    QM_EXPECT_FIELDS(*gear, (GetValueTable(), nullptr), (HasUpdateBit(), 0),
                     (GetUpdateBitPositionCount(), 0u));
}

TEST_F(ExampleTest, EthernetTopology) {
    ICluster* container = db.GetClusters();
    ASSERT_NE(container, nullptr);
    ASSERT_EQ(container->GetEthernetClusterCount(), 1u);
    IEthernetCluster* cluster = container->FindEthernetCluster("Infotainment");
    ASSERT_NE(cluster, nullptr);
    QM_EXPECT_FIELDS(*cluster, (GetProtocolName(), "SOME/IP"), (GetProtocolVersion(), "1"));
    IEthernetPhysicalChannel* channel = cluster->GetPhysicalChannel();
    ASSERT_NE(channel, nullptr);
    EXPECT_STREQ(channel->GetName(), "InfotainmentChannel");
    ASSERT_NE(channel->GetVlan(), nullptr);
    QM_EXPECT_FIELDS(*channel->GetVlan(), (GetName(), "InfotainmentVlan"), (GetVlanId(), 10));
    ISoAdConfig* soAd = channel->GetSoAdConfig();
    ASSERT_NE(soAd, nullptr);
    ASSERT_EQ(soAd->GetBundleCount(), 1u);
    EXPECT_EQ(soAd->GetBundle(1), nullptr);
    ISocketConnectionBundle* bundle = soAd->GetBundle(0);
    EXPECT_STREQ(bundle->GetName(), "RadioBundle");

    ISocketAddress* server = bundle->GetServerPort();
    ASSERT_NE(server, nullptr);
    EXPECT_STREQ(server->GetName(), "GatewayServer");
    IApplicationEndpoint* endpoint = server->GetApplicationEndpoint();
    ASSERT_NE(endpoint, nullptr);
    QM_EXPECT_FIELDS(*endpoint, (GetProtocol(), 1u), (GetProtocolText(), "udp"),
                     (GetPortNumber(), 30501u), (IsDynamicallyAssigned(), false),
                     (GetPriority(), 3));
    ASSERT_NE(endpoint->GetNetworkEndpoint(), nullptr);
    QM_EXPECT_FIELDS(*endpoint->GetNetworkEndpoint(), (GetIpv6Address(), "fd00::10"),
                     (GetDefaultRouter(), "fe80::1"), (GetIpv6AddressSource(), "FIXED"));
    IEthCommConn* multicast = server->GetMulticastConnector();
    ASSERT_NE(multicast, nullptr);
    QM_EXPECT_FIELDS(*multicast, (GetName(), "GatewayConnector"), (GetMtu(), 1500u),
                     (GetPncGatewayType(), "ACTIVE"));
    ASSERT_EQ(multicast->GetNetworkEndpointCount(), 1u);
    EXPECT_STREQ(multicast->GetNetworkEndpoint(0)->GetName(), "GatewayEndpoint");

    ASSERT_EQ(bundle->GetConnectionCount(), 1u);
    ISocketConnection* connection = bundle->GetConnection(0);
    QM_EXPECT_FIELDS(*connection, (IsClientIpFromConnectionRequest(), true),
                     (IsClientPortFromConnectionRequest(), false),
                     (GetPduCollectionMaxBufferSize(), 0x40),
                     (GetRuntimeIpAddressConfiguration(), "NONE"),
                     (GetRuntimePortConfiguration(), "NONE"), (GetShortLabel(), "RadioToHeadUnit"));
    ISocketAddress* client = connection->GetClientPort();
    ASSERT_NE(client, nullptr);
    IApplicationEndpoint* clientEndpoint = client->GetApplicationEndpoint();
    QM_EXPECT_FIELDS(*clientEndpoint, (GetProtocolText(), "tcp"), (GetPortNumber(), 0x7531u));
    EXPECT_TRUE(clientEndpoint->IsDynamicallyAssigned());  // "FALSE" is not "false"
    EXPECT_EQ(client->GetMulticastConnector(), nullptr);

    ASSERT_EQ(connection->GetPduCount(), 1u);
    IPduIdentifier* pdu = connection->GetPdu(0);
    QM_EXPECT_FIELDS(*pdu, (GetHeaderId(), 0x12348001u),
                     (GetPduCollectionSemantics(), "LAST-IS-BEST"),
                     (GetPduCollectionTrigger(), "ALWAYS"));
    ExpectSpeedTriggering(pdu->GetPduTriggering());
}

TEST_F(ExampleTest, AraAndStandardDataTypes) {
    IRizConfig* riz = db.GetRizConfig();
    ASSERT_NE(riz, nullptr);
    IGlobalConfigDataType* ara = riz->GetGlobalConfiguration();
    ASSERT_NE(ara, nullptr);
    EXPECT_EQ(ara->GetKind(), 6u);
    ASSERT_EQ(ara->GetDataTypeCount(), 4u);  // the ARRAY is not read from "ara"

    auto* u16 = dynamic_cast<ITrivialDataType*>(ara->FindDataType("uint16_t"));
    ASSERT_NE(u16, nullptr);
    QM_EXPECT_FIELDS(*u16, (GetKind(), 3u), (GetConfiguration(), ara),
                     (GetBaseTypeName(), "uint16"), (GetNativeTypeCode(), 1u),
                     (GetBaseTypeSize(), 16));
    EXPECT_EQ(u16->GetByteOrder(), 0u);  // "MOST..." keeps 0
    auto* u32 = dynamic_cast<ITrivialDataType*>(ara->FindDataType("uint32_t"));
    ASSERT_NE(u32, nullptr);
    EXPECT_EQ(u32->GetNativeTypeCode(), 11u);  // "uint32" is not a native declaration
    EXPECT_EQ(u32->GetByteOrder(), 1u);        // "LEAS..."
    auto* text = dynamic_cast<IStringDataType*>(ara->FindDataType("string"));
    ASSERT_NE(text, nullptr);
    QM_EXPECT_FIELDS(*text, (GetCppType(), "std::string"), (GetCharacterType(), "utf8"));
    auto* bytes = dynamic_cast<IVectorDataType*>(ara->FindDataType("ByteVector"));
    ASSERT_NE(bytes, nullptr);
    EXPECT_STREQ(bytes->GetCppType(), "std::vector<UInt8>");
    EXPECT_STREQ(bytes->GetElementName(), "byte");

    auto* stdtypes = dynamic_cast<IGlobalConfigDataType*>(riz->FindDataType("stdtypes"));
    ASSERT_NE(stdtypes, nullptr);
    EXPECT_EQ(stdtypes->GetDataTypeCount(), 7u);  // DT_uuid is a TYPE_REFERENCE
    EXPECT_NE(stdtypes->FindDataType("UInt8"), nullptr);
}

TEST_F(ExampleTest, ServiceConfigurationsOfTheServicePackages) {
    ASSERT_EQ(db.GetServiceConfigurationCount(), 2u);
    IGlobalConfigDataType* radio = db.GetServiceConfiguration(0);
    EXPECT_STREQ(radio->GetName(), "Global data type configuration for Radio service");
    EXPECT_EQ(radio->GetDataTypeCount(), 6u);
    auto* band = dynamic_cast<IEnumDataType*>(radio->FindDataType("Band"));
    ASSERT_NE(band, nullptr);
    QM_EXPECT_FIELDS(*band, (GetKind(), 2u), (GetBaseTypeName(), "UInt8"));
    ASSERT_EQ(band->GetEnumeratorCount(), 3u);
    EXPECT_STREQ(band->GetEnumerator(2)->GetName(), "Digital");
    EXPECT_EQ(band->FindEnumerator("FM")->GetLowerLimit(), 1u);
    auto* presets = dynamic_cast<IArrayDataType*>(radio->FindDataType("Presets"));
    ASSERT_NE(presets, nullptr);
    QM_EXPECT_FIELDS(*presets, (GetArraySize(), 4u), (GetElementTypeName(), "UInt16"));
    auto* tuner = dynamic_cast<IStructureDataType*>(radio->FindDataType("DT_tuner_struct"));
    ASSERT_NE(tuner, nullptr);
    ASSERT_EQ(tuner->GetMemberCount(), 6u);
    EXPECT_STREQ(tuner->GetMember(1)->GetTypeName(), "Band");
    EXPECT_STREQ(tuner->FindMember("station")->GetCategory(), "STRUCTURE");
    EXPECT_EQ(db.GetServiceConfiguration(2), nullptr);
}

TEST_F(ExampleTest, MessagesNameWhatWasNotRead) {
    EXPECT_EQ(std::string(db.GetMessages()),
              "Unsupported native declaration uint32.\r\n"
              "Unsupported ara implementation data type category: ARRAY.\r\n"
              "Unsupported native declaration .\r\n"
              "Unsupported native declaration .\r\n"
              "Unsupported native declaration .\r\n"
              "Unsupported native declaration .\r\n"
              "Unsupported riz implementation data type category: TYPE_REFERENCE.\r\n");
}

TEST_F(ExampleTest, ClearEmptiesAndTheDatabaseLoadsAgain) {
    db.Clear();
    QM_EXPECT_FIELDS(db, (GetEcuCount(), 0u), (GetLoadedFileCount(), 0u), (GetClusters(), nullptr),
                     (GetRizConfig(), nullptr), (GetMessages(), ""));
    // The further list of configurations outlives Clear.
    EXPECT_EQ(db.GetServiceConfigurationCount(), 2u);
    ASSERT_TRUE(LoadPaths(db, {kExample}));
    EXPECT_EQ(db.GetEcu(0)->GetServiceCount(), 2u);
    EXPECT_EQ(db.GetEcu(0)->FindService("Radio")->GetFieldDeploymentCount(), 2u);
}

TEST_F(ExampleTest, ASecondLoadAppendsTheDeploymentsAgain) {
    ASSERT_TRUE(LoadPaths(db, {}));
    ISomeIpServiceCfg* radio = Service("Radio");
    EXPECT_EQ(db.GetEcu(0)->GetServiceCount(), 2u);
    QM_EXPECT_FIELDS(*radio, (GetFieldDeploymentCount(), 4u), (GetEventGroupCount(), 2u));
    EXPECT_EQ(db.GetClusters()->GetEthernetClusterCount(), 1u);  // rebuilt, not doubled
}

TEST(BundledExample, ReadsWithoutAMessage) {
    CArxmlDatabase db;
    ASSERT_TRUE(LoadPaths(db, {QM_SOURCE_DIR "/examples/someip_services.arxml"}));
    EXPECT_STREQ(db.GetMessages(), "");
    // What the fixture gets wrong reads right here: the standard types all have a base type,
    // the service id is decimal and DT_uuid is a type of its own.
    EXPECT_EQ(db.GetEcu(0)->FindService("Navigation")->GetServiceInterfaceId(), 16);
    auto* stdtypes =
        dynamic_cast<IGlobalConfigDataType*>(db.GetRizConfig()->FindDataType("stdtypes"));
    ASSERT_NE(stdtypes, nullptr);
    EXPECT_EQ(stdtypes->GetDataTypeCount(), 8u);
}

}  // namespace
