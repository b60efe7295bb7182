// The reader on small documents: several files in one load, merged packages, roles and names
// of service instances, number bases, and what bad input gives.
#include <gtest/gtest.h>

#include <string>

#include "expect_fields.h"
#include "expect_texts.h"
#include "someip_test_support.h"

namespace {

using namespace someip_test;

std::string Instance(const std::string& element, const std::string& name,
                     const std::string& body = "") {
    return "<" + element + "><SHORT-NAME>" + name + "</SHORT-NAME>" + body + "</" + element + ">";
}

std::string Riz(const std::string& instances, const std::string& more = "") {
    return Package("riz", "", Package("instances", instances) + more);
}

std::string Deployment(const std::string& name, const std::string& body) {
    return Instance("SOMEIP-SERVICE-INTERFACE-DEPLOYMENT", name, body);
}

std::string DeploymentRef(const std::string& path) {
    return "<SERVICE-INTERFACE-DEPLOYMENT-REF DEST=\"SOMEIP-SERVICE-INTERFACE-DEPLOYMENT\">" +
           path + "</SERVICE-INTERFACE-DEPLOYMENT-REF>";
}

// The package "ECU" with the ECU "E", associated with the PDU group at `path`.
std::string EcuWithGroup(const std::string& path) {
    return Package("ECU",
                   "<ECU-INSTANCE><SHORT-NAME>E</SHORT-NAME><ASSOCIATED-COM-I-PDU-GROUP-REFS>"
                   "<ASSOCIATED-COM-I-PDU-GROUP-REF DEST=\"I-SIGNAL-I-PDU-GROUP\">" +
                       path +
                       "</ASSOCIATED-COM-I-PDU-GROUP-REF></ASSOCIATED-COM-I-PDU-GROUP-REFS>"
                       "</ECU-INSTANCE>");
}

TEST(ServiceReader, MissingSecondFileStillReadsTheFirst) {
    TempFile first(Document(EcuPackage() +
                            Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "Brake_Provider"))));
    CArxmlDatabase db;
    const std::string missing = first.Path() + ".missing";
    EXPECT_FALSE(LoadPaths(db, {first.Path(), missing}));
    EXPECT_EQ(db.GetLoadedFileCount(), 1u);
    EXPECT_NE(std::string(db.GetMessages())
                  .find("ERROR: Not possible to load ARXML file \"" + missing + "\"\r\n"),
              std::string::npos);
    ASSERT_EQ(db.GetEcuCount(), 1u);
    EXPECT_NE(db.GetEcu(0)->FindService("Brake"), nullptr);
}

TEST(ServiceReader, InstancesOfOneServiceMergeByNamePrefix) {
    auto db = LoadText(
        Document(EcuPackage() + Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "Brake_Provider",
                                             "<SERVICE-INSTANCE-ID>7</SERVICE-INSTANCE-ID>") +
                                    Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "Brake_Other") +
                                    Instance("SOMETHING-ELSE", "Plain"))));
    IEcu* ecu = db->GetEcu(0);
    ASSERT_EQ(ecu->GetServiceCount(), 2u);
    ISomeIpServiceCfg* brake = ecu->GetService(0);
    QM_EXPECT_FIELDS(*brake, (GetName(), "Brake"), (GetRole(), 2u), (GetRoleText(), "provided"),
                     (GetInstanceId(), 7));
    // Every sibling of the instances is read; one that is neither provided nor required has
    // no role.
    QM_EXPECT_FIELDS(*ecu->GetService(1), (GetName(), "Plain"), (GetRole(), 0u),
                     (GetRoleText(), "undefined"));
}

TEST(ServiceReader, InlineDeploymentWithNotifierOnly) {
    const std::string deployment =
        Deployment("D",
                   "<FIELD-DEPLOYMENTS><SOMEIP-FIELD-DEPLOYMENT><SHORT-NAME>F</SHORT-NAME>"
                   "<NOTIFIER><SHORT-NAME>N</SHORT-NAME><EVENT-ID>5</EVENT-ID></NOTIFIER>"
                   "</SOMEIP-FIELD-DEPLOYMENT></FIELD-DEPLOYMENTS>");
    auto db = LoadText(Document(
        EcuPackage() + Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "Other") +
                           Instance("REQUIRED-SOMEIP-SERVICE-INSTANCE", "S", deployment))));
    // The instances are found beside the first provided one.
    ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetFieldDeploymentCount(), 1u);
    IFieldDeployment* field = s->GetFieldDeployment(0);
    QM_EXPECT_FIELDS(*field, (GetGetter(), nullptr), (GetSetter(), nullptr));
    ASSERT_NE(field->GetNotifier(), nullptr);
    QM_EXPECT_FIELDS(*field->GetNotifier(), (GetId(), 5), (GetTransportProtocol(), "UDP"));
    EXPECT_EQ(s->GetRole(), 1u);
}

// Each role reads its own instance id and discovery configuration, even when the instance also
// carries the other role's elements; identifiers are decimal, versions and time to live any base.
TEST(ServiceReader, EachRoleTakesItsOwnInstanceIdAndTiming) {
    const std::string ids =
        "<SERVICE-INSTANCE-ID>3</SERVICE-INSTANCE-ID>"
        "<REQUIRED-SERVICE-INSTANCE-ID>44</REQUIRED-SERVICE-INSTANCE-ID>";
    const std::string server =
        "<SD-SERVER-CONFIG><INITIAL-OFFER-BEHAVIOR><INITIAL-DELAY-MAX-VALUE>0.5"
        "</INITIAL-DELAY-MAX-VALUE><INITIAL-DELAY-MIN-VALUE>0.25</INITIAL-DELAY-MIN-VALUE>"
        "<INITIAL-REPETITIONS-BASE-DELAY>1e-1</INITIAL-REPETITIONS-BASE-DELAY>"
        "<INITIAL-REPETITIONS-MAX>0x3</INITIAL-REPETITIONS-MAX></INITIAL-OFFER-BEHAVIOR>"
        "<SERVICE-OFFER-TIME-TO-LIVE>0x10</SERVICE-OFFER-TIME-TO-LIVE>"
        "<OFFER-CYCLIC-DELAY>2.5</OFFER-CYCLIC-DELAY><REQUEST-RESPONSE-DELAY><MIN-VALUE>0.01"
        "</MIN-VALUE><MAX-VALUE>0.02</MAX-VALUE></REQUEST-RESPONSE-DELAY></SD-SERVER-CONFIG>";
    const std::string client =
        "<SD-CLIENT-CONFIG><INITIAL-FIND-BEHAVIOR><INITIAL-REPETITIONS-MAX>-2"
        "</INITIAL-REPETITIONS-MAX></INITIAL-FIND-BEHAVIOR>"
        "<SERVICE-FIND-TIME-TO-LIVE>010</SERVICE-FIND-TIME-TO-LIVE>"
        "<FIND-CYCLIC-DELAY>3</FIND-CYCLIC-DELAY><REQUEST-RESPONSE-DELAY><MIN-VALUE>0.01"
        "</MIN-VALUE></REQUEST-RESPONSE-DELAY></SD-CLIENT-CONFIG>";
    const std::string deployment =
        Deployment("D",
                   "<SERVICE-INTERFACE-ID>0x10</SERVICE-INTERFACE-ID><SERVICE-INTERFACE-VERSION>"
                   "<MAJOR-VERSION>010</MAJOR-VERSION><MINOR-VERSION>0x20</MINOR-VERSION>"
                   "</SERVICE-INTERFACE-VERSION>");
    auto db = LoadText(
        Document(EcuPackage() +
                 Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "Brake_P",
                              deployment + ids + server + client) +
                     Instance("REQUIRED-SOMEIP-SERVICE-INSTANCE", "Horn_R", ids + server + client) +
                     Instance("SOMEIP-SERVICE-INSTANCE", "Plain", ids + server + client))));
    IEcu* ecu = db->GetEcu(0);
    ASSERT_EQ(ecu->GetServiceCount(), 3u);
    QM_EXPECT_FIELDS(*ecu->GetService(0), (GetName(), "Brake"), (IsProvided(), true),
                     (IsRequired(), false), (GetInstanceId(), 3), (GetServiceInterfaceId(), 0),
                     (GetMajorVersion(), 8), (GetMinorVersion(), 32u), (GetTimeToLive(), 16u),
                     (GetInitialDelayMax(), 0.5), (GetInitialDelayMin(), 0.25),
                     (GetInitialRepetitionsBaseDelay(), 0.1), (GetInitialRepetitionsMax(), 0),
                     (GetCyclicDelay(), 2.5), (GetRequestResponseDelayMin(), 0.01),
                     (GetRequestResponseDelayMax(), 0.02));
    QM_EXPECT_FIELDS(*ecu->GetService(1), (GetName(), "Horn"), (GetRoleText(), "required"),
                     (IsRequired(), true), (GetInstanceId(), 44), (GetTimeToLive(), 8u),
                     (GetInitialDelayMax(), 0.0), (GetInitialRepetitionsMax(), -2),
                     (GetCyclicDelay(), 3.0), (GetRequestResponseDelayMin(), 0.0));
    // Without a role: the provided side's instance id and no discovery timing at all.
    QM_EXPECT_FIELDS(*ecu->GetService(2), (GetRoleText(), "undefined"), (GetInstanceId(), 3),
                     (GetTimeToLive(), 0u), (GetCyclicDelay(), 0.0),
                     (GetInitialRepetitionsMax(), 0));
    EXPECT_STREQ(db->GetMessages(), "");
}

// The described reader says nothing of what it does not find; whole-document reading names what
// it read in a form the model cannot take as it stands.
std::string WholeDocumentMessages(const std::string& text) {
    return LoadTexts({text}, nullptr, kSomeIpReadWholeDocument)->GetMessages();
}

TEST(ServiceReader, MissingOrRepeatedRizPackageReadsNoServices) {
    auto none = LoadText(Document(EcuPackage()));
    EXPECT_EQ(none->GetEcu(0)->GetServiceCount(), 0u);
    EXPECT_STREQ(none->GetMessages(), "");

    // Two riz packages at different levels are not merged: the reader refuses both.
    const std::string riz = Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "S"));
    const std::string text = Document(EcuPackage() + riz + Package("Other", "", riz));
    auto two = LoadText(text);
    EXPECT_EQ(two->GetEcu(0)->GetServiceCount(), 0u);
    EXPECT_STREQ(two->GetMessages(), "");
    EXPECT_NE(WholeDocumentMessages(text).find("2 AR-PACKAGEs named riz"), std::string::npos);
}

TEST(ServiceReader, OneDescriptionSpreadOverTwoFilesMerges) {
    // The riz package of both files merges into one; the ECU comes from the second file.
    const std::string first = Document(Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "Radio_P",
                                                    DeploymentRef("/riz/deployments/RadioD"))));
    const std::string second = Document(
        EcuPackage() +
        Package("riz", "",
                Package("deployments",
                        Deployment("RadioD", "<SERVICE-INTERFACE-ID>12</SERVICE-INTERFACE-ID>"))));
    bool ok = false;
    auto db = LoadTexts({first, second}, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(db->GetLoadedFileCount(), 2u);
    ISomeIpServiceCfg* radio = db->GetEcu(0)->FindService("Radio");
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->GetServiceInterfaceId(), 12);
    // The merged tree holds one riz package with both sub-packages.
    const NanoXML* root = db->Root();
    std::vector<NanoXML*> riz;
    const_cast<NanoXML*>(root)->CollectAll(riz, "SHORT-NAME", "riz", "AR-PACKAGE");
    EXPECT_EQ(riz.size(), 1u);
}

TEST(ServiceReader, OutOfRangeIdentifiersAreReported) {
    const std::string text =
        Document(EcuPackage() +
                 Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "S",
                              "<SERVICE-INSTANCE-ID>70000</SERVICE-INSTANCE-ID>" +
                                  Deployment("D",
                                             "<SERVICE-INTERFACE-VERSION><MAJOR-VERSION>0x1FF"
                                             "</MAJOR-VERSION></SERVICE-INTERFACE-VERSION>"))));
    auto db = LoadText(text);
    ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
    EXPECT_EQ(s->GetInstanceId(), static_cast<uint16_t>(70000));
    EXPECT_EQ(s->GetMajorVersion(), 0xFF);
    EXPECT_STREQ(db->GetMessages(), "");
    const std::string messages = WholeDocumentMessages(text);
    EXPECT_NE(messages.find("WARNING. Value 70000 of SERVICE-INSTANCE-ID is out of range for "
                            "service: S.\r\n"),
              std::string::npos);
    EXPECT_NE(messages.find("Value 0x1FF of MAJOR-VERSION"), std::string::npos);
}

TEST(ServiceReader, EmptyShortNameGivesAServiceWithoutName) {
    const std::string text =
        Document(EcuPackage() + Riz(Instance("PROVIDED-SOMEIP-SERVICE-INSTANCE", "")));
    auto db = LoadText(text);
    ASSERT_EQ(db->GetEcu(0)->GetServiceCount(), 1u);
    EXPECT_STREQ(db->GetEcu(0)->GetService(0)->GetName(), "");
    EXPECT_STREQ(db->GetMessages(), "");
    EXPECT_NE(WholeDocumentMessages(text).find("without a name"), std::string::npos);
}

TEST(ServiceReader, ReferenceCyclesEnd) {
    // Two PDU groups naming each other, and an instance whose deployment refers to itself.
    const std::string com =
        Package("Com",
                "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>A</SHORT-NAME><CONTAINED-I-PDU-GROUP-REFS>"
                "<CONTAINED-I-PDU-GROUP-REF "
                "DEST=\"I-SIGNAL-I-PDU-GROUP\">/Com/B</CONTAINED-I-PDU-GROUP-REF>"
                "</CONTAINED-I-PDU-GROUP-REFS></I-SIGNAL-I-PDU-GROUP>"
                "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>B</SHORT-NAME><CONTAINED-I-PDU-GROUP-REFS>"
                "<CONTAINED-I-PDU-GROUP-REF "
                "DEST=\"I-SIGNAL-I-PDU-GROUP\">/Com/A</CONTAINED-I-PDU-GROUP-REF>"
                "</CONTAINED-I-PDU-GROUP-REFS></I-SIGNAL-I-PDU-GROUP>");
    const std::string ecu = EcuWithGroup("/Com/A");
    auto db = LoadText(Document(ecu + com));
    ASSERT_EQ(db->GetEcuCount(), 1u);
    // Both groups, each once.
    ASSERT_EQ(db->GetEcu(0)->GetNodeCount(), 2u);
    EXPECT_STREQ(db->GetEcu(0)->GetNode(0)->GetName(), "A");
    EXPECT_STREQ(db->GetEcu(0)->GetNode(1)->GetName(), "B");
}

TEST(PduReader, ExactTextsKindsAndBuses) {
    const std::string com = Package(
        "Com",
        "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>G</SHORT-NAME>"
        "<COMMUNICATION-DIRECTION>out</COMMUNICATION-DIRECTION>"
        "<COMMUNICATION-MODE>Normal</COMMUNICATION-MODE><I-SIGNAL-I-PDUS>"
        "<I-SIGNAL-I-PDU-REF-CONDITIONAL><I-SIGNAL-I-PDU-REF DEST=\"SECURED-I-PDU\">/Com/Sec"
        "</I-SIGNAL-I-PDU-REF></I-SIGNAL-I-PDU-REF-CONDITIONAL>"
        "<I-SIGNAL-I-PDU-REF-CONDITIONAL><I-SIGNAL-I-PDU-REF DEST=\"I-SIGNAL-I-PDU-GROUP\">/Com/G"
        "</I-SIGNAL-I-PDU-REF></I-SIGNAL-I-PDU-REF-CONDITIONAL>"
        "</I-SIGNAL-I-PDUS></I-SIGNAL-I-PDU-GROUP>"
        "<SECURED-I-PDU><SHORT-NAME>Sec</SHORT-NAME><LENGTH>0x10</LENGTH>"
        "<I-SIGNAL-TO-PDU-MAPPINGS><I-SIGNAL-TO-I-PDU-MAPPING><I-SIGNAL-REF DEST=\"I-SIGNAL\">"
        "/Com/Light</I-SIGNAL-REF></I-SIGNAL-TO-I-PDU-MAPPING></I-SIGNAL-TO-PDU-MAPPINGS>"
        "</SECURED-I-PDU><I-SIGNAL><SHORT-NAME>Light</SHORT-NAME></I-SIGNAL>");
    const std::string ecu = EcuWithGroup("/Com/G");
    auto db = LoadText(Document(ecu + com));
    INode* group = db->GetEcu(0)->GetNode(0);
    ASSERT_NE(group, nullptr);
    EXPECT_STREQ(group->GetDirectionText(), "");  // "out" is not "OUT"
    EXPECT_STREQ(group->GetModeText(), "");
    ASSERT_EQ(group->GetPduCount(), 2u);
    QM_EXPECT_FIELDS(*group->GetPdu(0), (GetKind(), 12), (GetLength(), 16));
    EXPECT_EQ(group->GetPdu(1)->GetKind(), -1);  // a group met as a PDU
    ISignal* light = db->GetEcu(0)->FindSignal("Light");
    ASSERT_NE(light, nullptr);
    QM_EXPECT_FIELDS(*light, (GetBusText(), ""), (GetValueTable(), nullptr));
}

// A PDU gets the first PDU-TRIGGERING (document order, any channel) whose I-PDU-REF leads to
// it; a triggering naming another element, or an unresolved one, gives none.
TEST(PduReader, TriggeringOfAPduIsTheFirstThatNamesIt) {
    const std::string com = Package(
        "Com",
        "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>G</SHORT-NAME><I-SIGNAL-I-PDUS>"
        "<I-SIGNAL-I-PDU-REF-CONDITIONAL><I-SIGNAL-I-PDU-REF DEST=\"I-SIGNAL-I-PDU\">/Com/A"
        "</I-SIGNAL-I-PDU-REF></I-SIGNAL-I-PDU-REF-CONDITIONAL>"
        "<I-SIGNAL-I-PDU-REF-CONDITIONAL><I-SIGNAL-I-PDU-REF DEST=\"I-SIGNAL-I-PDU\">/Com/B"
        "</I-SIGNAL-I-PDU-REF></I-SIGNAL-I-PDU-REF-CONDITIONAL>"
        "</I-SIGNAL-I-PDUS></I-SIGNAL-I-PDU-GROUP>"
        "<I-SIGNAL-I-PDU><SHORT-NAME>A</SHORT-NAME></I-SIGNAL-I-PDU>"
        "<I-SIGNAL-I-PDU><SHORT-NAME>B</SHORT-NAME></I-SIGNAL-I-PDU>"
        "<I-SIGNAL><SHORT-NAME>S</SHORT-NAME><SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">/Com/Sys"
        "</SYSTEM-SIGNAL-REF></I-SIGNAL><SYSTEM-SIGNAL><SHORT-NAME>Sys</SHORT-NAME></"
        "SYSTEM-SIGNAL>");
    auto triggering = [](const std::string& name, const std::string& pdu,
                         const std::string& signals) {
        return "<PDU-TRIGGERING><SHORT-NAME>" + name +
               "</SHORT-NAME><I-PDU-REF DEST=\"I-SIGNAL-I-PDU\">" + pdu +
               "</I-PDU-REF><I-SIGNAL-TRIGGERINGS>" + signals +
               "</I-SIGNAL-TRIGGERINGS></PDU-TRIGGERING>";
    };
    const std::string signal =
        "<I-SIGNAL-TRIGGERING-REF-CONDITIONAL><I-SIGNAL-TRIGGERING-REF "
        "DEST=\"I-SIGNAL-TRIGGERING\">/Net/Can/Ch1/ST</I-SIGNAL-TRIGGERING-REF>"
        "</I-SIGNAL-TRIGGERING-REF-CONDITIONAL>";
    auto channel = [](const std::string& name, const std::string& body) {
        return "<CAN-PHYSICAL-CHANNEL><SHORT-NAME>" + name + "</SHORT-NAME>" + body +
               "</CAN-PHYSICAL-CHANNEL>";
    };
    const std::string net = Package(
        "Net",
        "<CAN-CLUSTER><SHORT-NAME>Can</SHORT-NAME><CAN-CLUSTER-VARIANTS>"
        "<CAN-CLUSTER-CONDITIONAL><PHYSICAL-CHANNELS>" +
            channel("Ch1",
                    "<I-SIGNAL-TRIGGERINGS><I-SIGNAL-TRIGGERING><SHORT-NAME>ST</SHORT-NAME>"
                    "<I-SIGNAL-REF DEST=\"I-SIGNAL\">/Com/S</I-SIGNAL-REF></I-SIGNAL-TRIGGERING>"
                    "</I-SIGNAL-TRIGGERINGS><PDU-TRIGGERINGS>" +
                        triggering("Missing", "/Com/Nowhere", "") +
                        triggering("FirstA", "/Com/A", signal) + "</PDU-TRIGGERINGS>") +
            channel("Ch2", "<PDU-TRIGGERINGS>" + triggering("SecondA", "/Com/A", "") +
                               "</PDU-TRIGGERINGS>") +
            "</PHYSICAL-CHANNELS></CAN-CLUSTER-CONDITIONAL></CAN-CLUSTER-VARIANTS></CAN-CLUSTER>");
    const std::string ecu = EcuWithGroup("/Com/G");
    auto db = LoadText(Document(ecu + com + net));
    INode* group = db->GetEcu(0)->GetNode(0);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->GetPduCount(), 2u);
    IPduTriggering* a = group->GetPdu(0)->GetPduTriggering();
    ASSERT_NE(a, nullptr);
    QM_EXPECT_FIELDS(*a, (GetName(), "FirstA"), (GetPduName(), "A"),
                     (GetPduKind(), "I-SIGNAL-I-PDU"));
    ASSERT_EQ(a->GetSignalCount(), 1u);
    QM_EXPECT_FIELDS(*a, (GetSignalName(0), "S"), (GetSystemSignalName(0), "Sys"));
    EXPECT_EQ(group->GetPdu(1)->GetPduTriggering(), nullptr);
    group->GetPdu(0)->Clear();
    EXPECT_EQ(group->GetPdu(0)->GetPduTriggering(), nullptr);
}

TEST(EthernetReader, AnEndpointWithBothProtocolsIsTcp) {
    const std::string cluster =
        "<ETHERNET-CLUSTER><SHORT-NAME>Eth</SHORT-NAME><PHYSICAL-CHANNELS>"
        "<ETHERNET-PHYSICAL-CHANNEL><SHORT-NAME>Ch</SHORT-NAME><SO-AD-CONFIG><CONNECTION-BUNDLES>"
        "<SOCKET-CONNECTION-BUNDLE><SHORT-NAME>B</SHORT-NAME>"
        "<SERVER-PORT-REF DEST=\"SOCKET-ADDRESS\">/Net/Eth/Ch/Both</SERVER-PORT-REF>"
        "</SOCKET-CONNECTION-BUNDLE></CONNECTION-BUNDLES><SOCKET-ADDRESSS><SOCKET-ADDRESS>"
        "<SHORT-NAME>Both</SHORT-NAME><APPLICATION-ENDPOINT><SHORT-NAME>E</SHORT-NAME>"
        "<TP-CONFIGURATION><UDP-TP><UDP-TP-PORT><PORT-NUMBER>1</PORT-NUMBER></UDP-TP-PORT>"
        "</UDP-TP><TCP-TP><TCP-TP-PORT><PORT-NUMBER>2</PORT-NUMBER></TCP-TP-PORT></TCP-TP>"
        "</TP-CONFIGURATION></APPLICATION-ENDPOINT></SOCKET-ADDRESS></SOCKET-ADDRESSS>"
        "</SO-AD-CONFIG></ETHERNET-PHYSICAL-CHANNEL></PHYSICAL-CHANNELS></ETHERNET-CLUSTER>";
    auto db = LoadText(Document(Package("Net", cluster)));
    ASSERT_EQ(db->GetClusters()->GetEthernetClusterCount(), 1u);
    ISocketAddress* address = db->GetClusters()
                                  ->GetEthernetCluster(0)
                                  ->GetPhysicalChannel()
                                  ->GetSoAdConfig()
                                  ->GetBundle(0)
                                  ->GetServerPort();
    ASSERT_NE(address, nullptr);
    EXPECT_STREQ(address->GetApplicationEndpoint()->GetProtocolText(), "tcp");
    EXPECT_EQ(address->GetApplicationEndpoint()->GetPortNumber(), 2u);
    EXPECT_EQ(db->GetClusters()->GetEthernetCluster(0)->GetPhysicalChannel()->GetVlan(), nullptr);
}

// Endpoints as written: port and priority in any base, the VLAN identifier decimal, a
// DYNAMICALLY-ASSIGNED other than exactly "false" keeps the port dynamic, a connection flag
// counts by its presence, and the multicast connector brings its network endpoints.
TEST(EthernetReader, EndpointsConnectorsAndNumberBases) {
    auto address = [](const std::string& name, const std::string& tp, const std::string& more) {
        return Instance(
            "SOCKET-ADDRESS", name,
            Instance("APPLICATION-ENDPOINT", name + "E",
                     "<NETWORK-ENDPOINT-REF DEST=\"NETWORK-ENDPOINT\">/Net/NE"
                     "</NETWORK-ENDPOINT-REF><PRIORITY>0x7</PRIORITY><TP-CONFIGURATION>" +
                         tp + "</TP-CONFIGURATION>") +
                more);
    };
    const std::string endpoint = Instance(
        "NETWORK-ENDPOINT", "NE",
        "<NETWORK-ENDPOINT-ADDRESSES><IPV-6-CONFIGURATION><DEFAULT-ROUTER>fe80::1"
        "</DEFAULT-ROUTER><IPV-6-ADDRESS>FD00::5</IPV-6-ADDRESS><IPV-6-ADDRESS-SOURCE>FIXED"
        "</IPV-6-ADDRESS-SOURCE></IPV-6-CONFIGURATION></NETWORK-ENDPOINT-ADDRESSES>");
    const std::string connector = Instance(
        "ETHERNET-COMMUNICATION-CONNECTOR", "Conn",
        "<PNC-GATEWAY-TYPE>NONE</PNC-GATEWAY-TYPE><MAXIMUM-TRANSMISSION-UNIT>0x5DC"
        "</MAXIMUM-TRANSMISSION-UNIT><NETWORK-ENDPOINT-REFS><NETWORK-ENDPOINT-REF "
        "DEST=\"NETWORK-ENDPOINT\">/Net/NE</NETWORK-ENDPOINT-REF></NETWORK-ENDPOINT-REFS>");
    const std::string server =
        address("Srv",
                "<UDP-TP><UDP-TP-PORT><DYNAMICALLY-ASSIGNED>FALSE</DYNAMICALLY-ASSIGNED>"
                "<PORT-NUMBER>0x10</PORT-NUMBER></UDP-TP-PORT></UDP-TP>",
                "<MULTICAST-CONNECTOR-REFS><MULTICAST-CONNECTOR-REF "
                "DEST=\"ETHERNET-COMMUNICATION-CONNECTOR\">/Net/Conn</MULTICAST-CONNECTOR-REF>"
                "</MULTICAST-CONNECTOR-REFS>");
    const std::string client =
        address("Cli",
                "<TCP-TP><TCP-TP-PORT><DYNAMICALLY-ASSIGNED>false</DYNAMICALLY-ASSIGNED>"
                "<PORT-NUMBER>010</PORT-NUMBER></TCP-TP-PORT></TCP-TP>",
                "");
    const std::string bundle = Instance(
        "SOCKET-CONNECTION-BUNDLE", "B",
        "<SERVER-PORT-REF DEST=\"SOCKET-ADDRESS\">/Net/Srv</SERVER-PORT-REF>"
        "<BUNDLED-CONNECTIONS><SOCKET-CONNECTION><CLIENT-IP-ADDR-FROM-CONNECTION-REQUEST>false"
        "</CLIENT-IP-ADDR-FROM-CONNECTION-REQUEST>"
        "<CLIENT-PORT-REF DEST=\"SOCKET-ADDRESS\">/Net/Cli</CLIENT-PORT-REF>"
        "<PDU-COLLECTION-MAX-BUFFER-SIZE>0x20</PDU-COLLECTION-MAX-BUFFER-SIZE>"
        "<RUNTIME-IP-ADDRESS-CONFIGURATION>NONE</RUNTIME-IP-ADDRESS-CONFIGURATION>"
        "<RUNTIME-PORT-CONFIGURATION>R</RUNTIME-PORT-CONFIGURATION><SHORT-LABEL>L</SHORT-LABEL>"
        "</SOCKET-CONNECTION></BUNDLED-CONNECTIONS>");
    const std::string cluster = Instance(
        "ETHERNET-CLUSTER", "Eth",
        "<ETHERNET-CLUSTER-VARIANTS><ETHERNET-CLUSTER-CONDITIONAL><PROTOCOL-NAME>SOME/IP"
        "</PROTOCOL-NAME><PROTOCOL-VERSION>1</PROTOCOL-VERSION><PHYSICAL-CHANNELS>" +
            Instance("ETHERNET-PHYSICAL-CHANNEL", "Ch",
                     Instance("VLAN", "V", "<VLAN-IDENTIFIER>0x10</VLAN-IDENTIFIER>") +
                         "<SO-AD-CONFIG><CONNECTION-BUNDLES>" + bundle +
                         "</CONNECTION-BUNDLES></SO-AD-CONFIG>") +
            "</PHYSICAL-CHANNELS></ETHERNET-CLUSTER-CONDITIONAL></ETHERNET-CLUSTER-VARIANTS>");
    auto db = LoadText(Document(Package("Net", endpoint + connector + server + client + cluster)));
    ASSERT_EQ(db->GetClusters()->GetEthernetClusterCount(), 1u);
    IEthernetCluster* eth = db->GetClusters()->GetEthernetCluster(0);
    QM_EXPECT_FIELDS(*eth, (GetName(), "Eth"), (GetProtocolName(), "SOME/IP"),
                     (GetProtocolVersion(), "1"));
    IEthernetPhysicalChannel* channel = eth->GetPhysicalChannel();
    ASSERT_NE(channel, nullptr);
    ASSERT_NE(channel->GetVlan(), nullptr);
    QM_EXPECT_FIELDS(*channel->GetVlan(), (GetName(), "V"), (GetVlanId(), 0));
    ISocketConnectionBundle* read = channel->GetSoAdConfig()->GetBundle(0);
    ASSERT_NE(read, nullptr);
    ISocketAddress* serverPort = read->GetServerPort();
    ASSERT_NE(serverPort, nullptr);
    IApplicationEndpoint* udp = serverPort->GetApplicationEndpoint();
    QM_EXPECT_FIELDS(*udp, (GetName(), "SrvE"), (GetPriority(), 7), (GetProtocol(), 1u),
                     (GetProtocolText(), "udp"), (IsDynamicallyAssigned(), true),
                     (GetPortNumber(), 16u));
    ASSERT_NE(udp->GetNetworkEndpoint(), nullptr);
    QM_EXPECT_FIELDS(*udp->GetNetworkEndpoint(), (GetName(), "NE"), (GetDefaultRouter(), "fe80::1"),
                     (GetIpv6Address(), "FD00::5"), (GetIpv6AddressSource(), "FIXED"));
    IEthCommConn* multicast = serverPort->GetMulticastConnector();
    ASSERT_NE(multicast, nullptr);
    QM_EXPECT_FIELDS(*multicast, (GetName(), "Conn"), (GetPncGatewayType(), "NONE"),
                     (GetMtu(), 1500u), (GetNetworkEndpointCount(), 1u),
                     (GetNetworkEndpoint(1), nullptr));
    EXPECT_STREQ(multicast->GetNetworkEndpoint(0)->GetIpv6Address(), "FD00::5");
    ASSERT_EQ(read->GetConnectionCount(), 1u);
    ISocketConnection* connection = read->GetConnection(0);
    QM_EXPECT_FIELDS(
        *connection, (IsClientIpFromConnectionRequest(), true),
        (IsClientPortFromConnectionRequest(), false), (GetPduCollectionMaxBufferSize(), 32),
        (GetRuntimeIpAddressConfiguration(), "NONE"), (GetRuntimePortConfiguration(), "R"),
        (GetShortLabel(), "L"), (GetPduCount(), 0u));
    ASSERT_NE(connection->GetClientPort(), nullptr);
    IApplicationEndpoint* tcp = connection->GetClientPort()->GetApplicationEndpoint();
    QM_EXPECT_FIELDS(*tcp, (GetProtocol(), 0u), (GetProtocolText(), "tcp"),
                     (IsDynamicallyAssigned(), false), (GetPortNumber(), 8u));
    EXPECT_EQ(connection->GetClientPort()->GetMulticastConnector(), nullptr);
    // Reset: the endpoint is back at its defaults, its network endpoint gone.
    udp->Clear();
    QM_EXPECT_FIELDS(*udp, (GetName(), ""), (GetNetworkEndpoint(), nullptr), (GetPriority(), 0),
                     (GetProtocol(), 2u), (GetProtocolText(), ""), (IsDynamicallyAssigned(), true),
                     (GetPortNumber(), 0u));
    EXPECT_STREQ(db->GetMessages(), "");
}

// A structure used as an array element by one read before it: exact reading lists the service's
// structures in reading order; whole-document reading puts the element first (the header then
// compiles).
TEST(StructureReader, StructuresInReadingOrderOrElementsFirst) {
    const std::string datatypes =
        DataType("DT_Route_struct", "STRUCTURE",
                 "<SUB-ELEMENTS><IMPLEMENTATION-DATA-TYPE-ELEMENT><SHORT-NAME>points</SHORT-NAME>"
                 "<CATEGORY>ARRAY</CATEGORY><SUB-ELEMENTS><IMPLEMENTATION-DATA-TYPE-ELEMENT>"
                 "<SHORT-NAME>point</SHORT-NAME><CATEGORY>TYPE_REFERENCE</CATEGORY>"
                 "<ARRAY-SIZE>2</ARRAY-SIZE>" +
                     TypeRef("/riz/services/S/datatypes/DT_Point_struct") +
                     "</IMPLEMENTATION-DATA-TYPE-ELEMENT></SUB-ELEMENTS>"
                     "</IMPLEMENTATION-DATA-TYPE-ELEMENT></SUB-ELEMENTS>") +
        DataType("DT_Point_struct", "STRUCTURE",
                 "<SUB-ELEMENTS>" + Member("x", "/riz/stdtypes/UInt8") + "</SUB-ELEMENTS>");
    const std::string text =
        Document(EcuPackage() + RizWithService("S", datatypes, DataType("UInt8", "VALUE")));
    for (const int32_t mode : {kSomeIpReadExact, kSomeIpReadWholeDocument}) {
        auto db = someip_test::LoadTexts({text}, nullptr, mode);
        ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(s->GetStructDatatypeCount(), 2u);
        EXPECT_STREQ(s->GetStructDatatype(0)->GetName(),
                     mode == kSomeIpReadExact ? "Route" : "Point");
    }
}

// A structure's name loses every "DT_" and every "_struct" its SHORT-NAME holds; what the
// removals join together stays.
TEST(StructureReader, NamesLoseEachPrefixAndSuffixOfTheShortNameOnce) {
    const std::string member =
        "<SUB-ELEMENTS>" + Member("x", "/riz/stdtypes/UInt8") + "</SUB-ELEMENTS>";
    const std::string datatypes = DataType("DT_Position_struct", "STRUCTURE", member) +
                                  DataType("DDT_T_Pos_st_structruct", "STRUCTURE", member);
    auto db = LoadText(
        Document(EcuPackage() + RizWithService("S", datatypes, DataType("UInt8", "VALUE"))));
    ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetStructDatatypeCount(), 2u);
    EXPECT_STREQ(s->GetStructDatatype(0)->GetName(), "Position");
    EXPECT_STREQ(s->GetStructDatatype(1)->GetName(), "DT_Pos_struct");
}

// Service structures with a structure that contains itself and an array of an unknown type.
TEST(StructureReader, SelfContainingStructureAndUnknownArrayElement) {
    const std::string datatypes =
        DataType("DT_Node_struct", "STRUCTURE",
                 "<SUB-ELEMENTS>" + Member("value", "/riz/stdtypes/UInt8") +
                     Member("next", "/riz/services/S/datatypes/DT_Node_struct") +
                     "</SUB-ELEMENTS>") +
        DataType("Broken", "ARRAY",
                 "<SUB-ELEMENTS><IMPLEMENTATION-DATA-TYPE-ELEMENT><SHORT-NAME>e</SHORT-NAME>"
                 "<ARRAY-SIZE>2</ARRAY-SIZE>" +
                     TypeRef("/nowhere/Unknown") +
                     "</IMPLEMENTATION-DATA-TYPE-ELEMENT></SUB-ELEMENTS>") +
        DataType("DT_Holder_struct", "STRUCTURE",
                 "<SUB-ELEMENTS>" + Member("broken", "/riz/services/S/datatypes/Broken") +
                     "</SUB-ELEMENTS>");
    auto db = LoadText(
        Document(EcuPackage() + RizWithService("S", datatypes, DataType("UInt8", "VALUE"))));
    ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetStructDatatypeCount(), 2u);
    IStructDatatype* node = s->FindStructDatatype("Node");
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->GetVariableCount(), 2u);
    EXPECT_EQ(node->GetVariable(0)->GetBaseType(), 1u);
    QM_EXPECT_FIELDS(*node->GetVariable(1), (HasStruct(), false), (GetBaseType(), 14u));
    IVariable* broken = s->FindStructDatatype("Holder")->FindVariable("broken");
    ASSERT_NE(broken, nullptr);
    QM_EXPECT_FIELDS(*broken, (IsArray(), true), (GetArraySize(), 2u));
    qmtest::ExpectTexts(db->GetMessages(),
                        {"Structure: DT_Node_struct contains itself through member: next.\r\n",
                         "Sub element of array was not found Broken.\r\n", "!Unresolved"});
    // The header of such a service is still produced.
    EXPECT_NE(std::string(s->GenerateHeader()).find("struct Service_S_Node\n"), std::string::npos);
}

// An array or vector member reads its element as the array and vector types do: a type without
// SUB-ELEMENTS has no sub element, one whose SUB-ELEMENTS hold no element has none to take.
struct MissingElementCase {
    const char* category;
    const char* subElements;
    const char* message;
};

class StructureElementMessages : public ::testing::TestWithParam<MissingElementCase> {};

TEST_P(StructureElementMessages, NameTheMissingPart) {
    const MissingElementCase& c = GetParam();
    const std::string datatypes =
        DataType("Seq", c.category, c.subElements) +
        DataType(
            "DT_Holder_struct", "STRUCTURE",
            "<SUB-ELEMENTS>" + Member("seq", "/riz/services/S/datatypes/Seq") + "</SUB-ELEMENTS>");
    auto db = LoadText(Document(EcuPackage() + RizWithService("S", datatypes)));
    ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetStructDatatypeCount(), 1u);
    EXPECT_EQ(s->GetStructDatatype(0)->GetVariable(0)->IsArray(), true);
    // The service structure step, then the service's data type configuration: the same line.
    const std::string line = std::string(c.message) + "Seq.\r\n";
    EXPECT_EQ(std::string(db->GetMessages()), line + line);
}

INSTANTIATE_TEST_SUITE_P(
    StructureReader, StructureElementMessages,
    ::testing::Values(
        MissingElementCase{"VECTOR", "", "Sub element of vector was not found "},
        MissingElementCase{"VECTOR", "<SUB-ELEMENTS/>", "Doesn't exist sub element for vector "},
        MissingElementCase{"ARRAY", "", "Sub element of array was not found "},
        MissingElementCase{"ARRAY", "<SUB-ELEMENTS/>", "Doesn't exist sub element for array "}),
    [](const ::testing::TestParamInfo<MissingElementCase>& info) {
        return std::string(info.param.category) +
               (info.param.subElements[0] == '\0' ? "WithoutSubElements" : "WithoutElement");
    });

// A member's base type code comes from the name of the type it names, matched exactly; a
// name outside the table is unresolved whatever the type's category, and the header then
// writes the declared name.
struct BaseNameCase {
    const char* type;
    const char* category;
    uint32_t code;
    const char* line;
};

class MemberBaseCodes : public ::testing::TestWithParam<BaseNameCase> {};

TEST_P(MemberBaseCodes, FollowTheTypeNameOnly) {
    const BaseNameCase& c = GetParam();
    const std::string datatypes = DataType(
        "DT_Holder_struct", "STRUCTURE",
        "<SUB-ELEMENTS>" + Member("m", std::string("/riz/stdtypes/") + c.type) + "</SUB-ELEMENTS>");
    auto db = LoadText(
        Document(EcuPackage() + RizWithService("S", datatypes, DataType(c.type, c.category))));
    ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetStructDatatypeCount(), 1u);
    EXPECT_EQ(s->GetStructDatatype(0)->GetVariable(0)->GetBaseType(), c.code);
    EXPECT_EQ(std::string(s->GenerateHeader()),
              "struct Service_S_Holder\n{\n    " + std::string(c.line) + "\n};\n\n");
}

INSTANTIATE_TEST_SUITE_P(
    StructureReader, MemberBaseCodes,
    ::testing::Values(BaseNameCase{"UInt8", "VALUE", 1, "uint8 m;"},
                      BaseNameCase{"Int16", "VALUE", 6, "int16 m;"},
                      BaseNameCase{"SInt64", "VALUE", 8, "int64 m;"},
                      BaseNameCase{"Float", "VALUE", 9, "float32 m;"},
                      BaseNameCase{"String", "STRING", 11, "String m;"},
                      BaseNameCase{"DT_uuid", "STRING", 12, "uuid m;"},
                      BaseNameCase{"uint8", "VALUE", 14, "uint8 /* TODO unresolved */  m;"},
                      BaseNameCase{"Text", "STRING", 14, "Text /* TODO unresolved */  m;"}),
    [](const ::testing::TestParamInfo<BaseNameCase>& info) {
        return std::string(info.param.type) + info.param.category;
    });

// A type graph in which every level names the next one ten times would write out 10^7
// members: the reader stops at its bound and says so, instead of exhausting memory.
TEST(StructureReader, SelfMultiplyingTypesAreBounded) {
    std::string datatypes;
    for (int level = 0; level < 7; ++level) {
        std::string members;
        for (int m = 0; m < 10; ++m) {
            members += level == 6 ? Member("v" + std::to_string(m), "/riz/stdtypes/UInt8")
                                  : Member("m" + std::to_string(m), "/riz/services/S/datatypes/L" +
                                                                        std::to_string(level + 1));
        }
        datatypes += DataType(level == 0 ? "DT_Top_struct" : "L" + std::to_string(level),
                              "STRUCTURE", "<SUB-ELEMENTS>" + members + "</SUB-ELEMENTS>");
    }
    auto db = LoadText(
        Document(EcuPackage() + RizWithService("S", datatypes, DataType("UInt8", "VALUE"))));
    ISomeIpServiceCfg* s = db->GetEcu(0)->FindService("S");
    ASSERT_NE(s, nullptr);
    EXPECT_NE(std::string(db->GetMessages())
                  .find("expands to too many members: the rest is not read.\r\n"),
              std::string::npos);
}

TEST(DataTypeReader, CategoryMessagesOfEachStep) {
    const std::string ara = Package(
        "ara", DataType("A", "ARRAY") + DataType("V", "VECTOR") +
                   DataType("T", "VALUE",
                            "<SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS>"
                            "<SW-DATA-DEF-PROPS-CONDITIONAL><BASE-TYPE-REF DEST=\"SW-BASE-TYPE\">"
                            "/ara/b</BASE-TYPE-REF></SW-DATA-DEF-PROPS-CONDITIONAL>"
                            "</SW-DATA-DEF-PROPS-VARIANTS></SW-DATA-DEF-PROPS>") +
                   "<SW-BASE-TYPE><SHORT-NAME>b</SHORT-NAME><NATIVE-DECLARATION>uint16"
                   "</NATIVE-DECLARATION></SW-BASE-TYPE>" +
                   DataType("S", "STRING"));
    const std::string datatypes = DataType("X", "VALUE") + DataType("E", "TYPE_REFERENCE") +
                                  DataType("Vec", "VECTOR", "<SUB-ELEMENTS/>");
    auto db = LoadText(
        Document(EcuPackage() + ara + RizWithService("S", datatypes, DataType("R", "ARRAY"))));
    EXPECT_EQ(std::string(db->GetMessages()),
              "Unsupported ara implementation data type category: ARRAY.\r\n"
              "Sub element of vector was not found V.\r\n"
              "Unsupported native declaration uint16.\r\n"
              "Character type of string was not found S.\r\n"
              "Unsupported riz implementation data type category: ARRAY.\r\n"
              "Unsupported implementation data type category: VALUE\r\n"
              "Base of enum: E was not found.\r\n"
              "Enumarators of enum: E not extracted.\r\n"
              "Doesn't exist sub element for vector Vec.\r\n");
}

// The "ara" types come from the first ELEMENTS below the package, its own before those of its
// sub-packages, wherever they stand among its children.
TEST(DataTypeReader, AraTypesComeFromThePackagesOwnElementsFirst) {
    const std::string ara = "<AR-PACKAGE><SHORT-NAME>ara</SHORT-NAME><AR-PACKAGES>" +
                            Package("inner", DataType("Inner", "STRING")) +
                            "</AR-PACKAGES><ELEMENTS>" + DataType("Own", "STRING") +
                            "</ELEMENTS></AR-PACKAGE>";
    auto db = LoadText(Document(EcuPackage() + ara));
    IGlobalConfigDataType* global = db->GetRizConfig()->GetGlobalConfiguration();
    ASSERT_NE(global, nullptr);
    ASSERT_EQ(global->GetDataTypeCount(), 1u);
    EXPECT_STREQ(global->GetDataType(0)->GetName(), "Own");
    EXPECT_EQ(std::string(db->GetMessages()), "Character type of string was not found Own.\r\n");
}

// A structure type's members are its IMPLEMENTATION-DATA-TYPE-ELEMENTs; other children of its
// SUB-ELEMENTS are not members.
TEST(DataTypeReader, StructureMembersAreItsElementsOnly) {
    const std::string datatypes =
        DataType("DT_Pair_struct", "STRUCTURE",
                 "<SUB-ELEMENTS>" + Member("first", "/riz/stdtypes/UInt8") +
                     "<VARIATION-POINT><SHORT-NAME>odd</SHORT-NAME></VARIATION-POINT>" +
                     Member("second", "/riz/stdtypes/UInt8") + "</SUB-ELEMENTS>");
    auto db = LoadText(
        Document(EcuPackage() + RizWithService("S", datatypes, DataType("UInt8", "VALUE"))));
    ASSERT_EQ(db->GetServiceConfigurationCount(), 1u);
    IGlobalConfigDataType* config = db->GetServiceConfiguration(0);
    EXPECT_STREQ(config->GetName(), "Global data type configuration for S service");
    ASSERT_EQ(config->GetDataTypeCount(), 1u);
    auto* pair = dynamic_cast<IStructureDataType*>(config->GetDataType(0));
    ASSERT_NE(pair, nullptr);
    ASSERT_EQ(pair->GetMemberCount(), 2u);
    QM_EXPECT_FIELDS(*pair->GetMember(1), (GetName(), "second"), (GetTypeName(), "UInt8"));
    EXPECT_EQ(std::string(db->GetMessages()).find("belong to structure: DT_Pair_struct"),
              std::string::npos);
}

// A trivial "ara" type reads its base type: the native code by the exact declaration, the size
// in decimal, and byte order 1 only for a text beginning with "LEAS".
struct TrivialCase {
    const char* declaration;
    const char* size;
    const char* order;
    uint32_t code;
    uint8_t sizeRead;
    uint32_t orderRead;
};

class TrivialBaseTypes : public ::testing::TestWithParam<TrivialCase> {};

TEST_P(TrivialBaseTypes, ReadCodeSizeAndOrder) {
    const TrivialCase& c = GetParam();
    const std::string ara = Package(
        "ara", DataType("T", "VALUE",
                        "<SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS>"
                        "<SW-DATA-DEF-PROPS-CONDITIONAL><BASE-TYPE-REF DEST=\"SW-BASE-TYPE\">"
                        "/ara/b</BASE-TYPE-REF></SW-DATA-DEF-PROPS-CONDITIONAL>"
                        "</SW-DATA-DEF-PROPS-VARIANTS></SW-DATA-DEF-PROPS>") +
                   "<SW-BASE-TYPE><SHORT-NAME>b</SHORT-NAME><BASE-TYPE-SIZE>" + c.size +
                   "</BASE-TYPE-SIZE><BYTE-ORDER>" + c.order + "</BYTE-ORDER><NATIVE-DECLARATION>" +
                   c.declaration + "</NATIVE-DECLARATION></SW-BASE-TYPE>");
    auto db = LoadText(Document(EcuPackage() + ara));
    IGlobalConfigDataType* global = db->GetRizConfig()->GetGlobalConfiguration();
    ASSERT_EQ(global->GetDataTypeCount(), 1u);
    auto* type = dynamic_cast<ITrivialDataType*>(global->GetDataType(0));
    ASSERT_NE(type, nullptr);
    QM_EXPECT_FIELDS(*type, (GetKind(), 3u), (GetBaseTypeName(), "b"),
                     (GetNativeTypeCode(), c.code), (GetBaseTypeSize(), c.sizeRead),
                     (GetByteOrder(), c.orderRead),
                     (GetNativeDeclaration(), std::string(c.declaration)));
    EXPECT_EQ(std::string(db->GetMessages()),
              c.code == 11
                  ? "Unsupported native declaration " + std::string(c.declaration) + ".\r\n"
                  : "");
}

INSTANTIATE_TEST_SUITE_P(
    DataTypeReader, TrivialBaseTypes,
    ::testing::Values(TrivialCase{"std::uint8_t", "8", "MOST-SIGNIFICANT-BYTE-LAST", 0, 8, 0},
                      TrivialCase{"std::uint16_t", "16", "LEAST-SIGNIFICANT-BYTE-FIRST", 1, 16, 1},
                      TrivialCase{"std::int64_t", "64", "LEAS", 7, 64, 1},
                      TrivialCase{"double", "0x40", "least-significant", 9, 0, 0},
                      TrivialCase{"bool", "8", "OPAQUE", 10, 8, 0},
                      TrivialCase{"uint16", "16", "", 11, 16, 0}),
    [](const ::testing::TestParamInfo<TrivialCase>& info) {
        return "Case" + std::to_string(info.index);
    });

// An enumeration of a service package takes each scale's text and both limits in any base.
TEST(DataTypeReader, EnumeratorsTakeTextAndLimits) {
    const std::string datatypes =
        DataType("Mode", "TYPE_REFERENCE",
                 TypeRef("/riz/stdtypes/UInt8") +
                     "<SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS>"
                     "<SW-DATA-DEF-PROPS-CONDITIONAL><COMPU-METHOD-REF DEST=\"COMPU-METHOD\">"
                     "/riz/services/S/datatypes/M</COMPU-METHOD-REF>"
                     "</SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS>"
                     "</SW-DATA-DEF-PROPS>") +
        "<COMPU-METHOD><SHORT-NAME>M</SHORT-NAME><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>"
        "<COMPU-SCALE><LOWER-LIMIT INTERVAL-TYPE=\"CLOSED\">0</LOWER-LIMIT>"
        "<UPPER-LIMIT INTERVAL-TYPE=\"CLOSED\">0</UPPER-LIMIT>"
        "<COMPU-CONST><VT>OFF</VT></COMPU-CONST></COMPU-SCALE>"
        "<COMPU-SCALE><LOWER-LIMIT>0x10</LOWER-LIMIT><UPPER-LIMIT>20</UPPER-LIMIT>"
        "<COMPU-CONST><VT>ON</VT></COMPU-CONST></COMPU-SCALE>"
        "</COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>";
    auto db = LoadText(
        Document(EcuPackage() + RizWithService("S", datatypes, DataType("UInt8", "VALUE"))));
    ASSERT_EQ(db->GetServiceConfigurationCount(), 1u);
    auto* mode = dynamic_cast<IEnumDataType*>(db->GetServiceConfiguration(0)->GetDataType(0));
    ASSERT_NE(mode, nullptr);
    QM_EXPECT_FIELDS(*mode, (GetKind(), 2u), (GetBaseTypeName(), "UInt8"),
                     (GetEnumeratorCount(), 2u));
    QM_EXPECT_FIELDS(*mode->GetEnumerator(0), (GetName(), "OFF"), (GetLowerLimit(), 0u),
                     (GetUpperLimit(), 0u));
    QM_EXPECT_FIELDS(*mode->GetEnumerator(1), (GetName(), "ON"), (GetLowerLimit(), 16u),
                     (GetUpperLimit(), 20u));
    EXPECT_EQ(std::string(db->GetMessages()), "Unsupported native declaration .\r\n");
}

}  // namespace
