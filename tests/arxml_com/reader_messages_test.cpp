// The reader's messages and its behaviour on incomplete, wrong and hostile input.
#include <gtest/gtest.h>

#include <string>

#include "arxml_test_support.h"
#include "expect_fields.h"

namespace {

using arxml_test::Autosar3;
using arxml_test::Autosar4;
using arxml_test::CanCluster;
using arxml_test::Frame;
using arxml_test::FrameTriggering;
using arxml_test::LoadText;
using arxml_test::Package;

std::string Pdu(const std::string& name, const std::string& body) {
    return "<I-SIGNAL-I-PDU><SHORT-NAME>" + name + "</SHORT-NAME>" + body + "</I-SIGNAL-I-PDU>";
}

// An ECU instance connected to a CAN cluster through a connector and controller.
std::string ConnectedEcu(const std::string& name, const std::string& properties,
                         const std::string& controllerContent = "") {
    return "<ECU-INSTANCE><SHORT-NAME>" + name + "</SHORT-NAME>" + properties +
           "<COMM-CONTROLLERS><CAN-COMMUNICATION-CONTROLLER><SHORT-NAME>Ctrl</SHORT-NAME>" +
           controllerContent +
           "</CAN-COMMUNICATION-CONTROLLER></COMM-CONTROLLERS><CONNECTORS>"
           "<CAN-COMMUNICATION-CONNECTOR><SHORT-NAME>Conn</SHORT-NAME>"
           "<COMM-CONTROLLER-REF DEST=\"CAN-COMMUNICATION-CONTROLLER\">/ECU/" +
           name +
           "/Ctrl</COMM-CONTROLLER-REF></CAN-COMMUNICATION-CONNECTOR></CONNECTORS>"
           "</ECU-INSTANCE>";
}

std::string ConnectorRef(const std::string& ecu) {
    return "<COMMUNICATION-CONNECTOR-REF-CONDITIONAL><COMMUNICATION-CONNECTOR-REF "
           "DEST=\"CAN-COMMUNICATION-CONNECTOR\">/ECU/" +
           ecu + "/Conn</COMMUNICATION-CONNECTOR-REF></COMMUNICATION-CONNECTOR-REF-CONDITIONAL>";
}

TEST(ArxmlReaderMessages, MissingOrEmptyFileFailsTheLoad) {
    NetConfigArxmlFile file;
    QM_EXPECT_FIELDS(file, (Load("/nonexistent/folder/system.arxml"), false), (IsLoaded(), false));
}

TEST(ArxmlReaderMessages, FrameTriggeringsWithoutAPduOfTheFile) {
    const std::string triggerings =
        "<FRAME-TRIGGERINGS>" + FrameTriggering("ToMissingPdu", "/Frames/F1") +
        FrameTriggering("WithoutPdu", "/Frames/F2") + "</FRAME-TRIGGERINGS>";
    const std::string frames = Frame("F1", "/PDU/Ghost") + Frame("F2", "");
    auto file = LoadText(Autosar4(Package("PDU", Pdu("Real", "<LENGTH>8</LENGTH>")) +
                                  Package("Frames", frames) +
                                  Package("Cluster", CanCluster("Bus", triggerings))));
    EXPECT_STREQ(file->GetMessages(),
                 "Pdu: Ghost not found for frame triggering: ToMissingPdu.\r\n"
                 "No pdu ref for frame triggering: WithoutPdu.\r\n");
    EXPECT_EQ(file->FindPdu("Real")->GetIdentifier(), -1);  // nothing linked
    EXPECT_EQ(file->GetCluster(0)->GetPduCount(), 0u);
}

TEST(ArxmlReaderMessages, PduAndSignalsWithMissingParts) {
    const std::string mappings =
        "<I-SIGNAL-TO-PDU-MAPPINGS>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>m1</SHORT-NAME>"
        "<I-SIGNAL-REF DEST=\"I-SIGNAL\">/Signals/Bare</I-SIGNAL-REF></I-SIGNAL-TO-I-PDU-MAPPING>"
        "</I-SIGNAL-TO-PDU-MAPPINGS>";
    const std::string signals = "<I-SIGNAL><SHORT-NAME>Bare</SHORT-NAME></I-SIGNAL>";
    auto file =
        LoadText(Autosar4(Package("PDU", Pdu("NoLength", mappings)) + Package("Signals", signals)));
    EXPECT_STREQ(file->GetMessages(),
                 "Missing length of pdu: NoLength.\r\n"
                 "Missing bit size of signal: Bare.\r\n"
                 "No system signal for signal: Bare.\r\n"
                 "Missing start bit of signal: Bare.\r\n");
    IArxmlPdu* pdu = file->FindPdu("NoLength");
    ASSERT_NE(pdu, nullptr);
    EXPECT_EQ(pdu->GetLength(), 0u);
    ASSERT_EQ(pdu->GetSignalCount(), 1u);
    EXPECT_EQ(pdu->GetSignal(0)->GetBitLength(), 0u);
}

TEST(ArxmlReaderMessages, EcuPropertiesThatAreNoBooleansOrUnknown) {
    const std::string ecu = ConnectedEcu(
        "Bcm",
        "<CATEGORY>X</CATEGORY><SLEEP-MODE-SUPPORTED>yes</SLEEP-MODE-SUPPORTED>"
        "<WAKE-UP-OVER-BUS-SUPPORTED>TRUE</WAKE-UP-OVER-BUS-SUPPORTED>"
        "<DIAGNOSTIC-ADDRESS>not a number</DIAGNOSTIC-ADDRESS>",
        "<CAN-CONTROLLER-CONFIGURATION-REQUIREMENTS><MAX-SAMPLE-POINT>high</MAX-SAMPLE-POINT>"
        "</CAN-CONTROLLER-CONFIGURATION-REQUIREMENTS>");
    auto file = LoadText(
        Autosar4(Package("ECU", ecu) +
                 Package("Cluster", CanCluster("Bus", "<COMM-CONNECTORS>" + ConnectorRef("Bcm") +
                                                          "</COMM-CONNECTORS>"))));
    EXPECT_STREQ(file->GetMessages(),
                 "Unknown property: CATEGORY of ecu: Bcm.\r\n"
                 "Unknown value: yes of SLEEP-MODE-SUPPORTED tag for ecu: Bcm.\r\n"
                 "Unknown value: TRUE of WAKE-UP-OVER-BUS-SUPPORTED tag for ecu: Bcm.\r\n"
                 "Unknown value: high of MAX-SAMPLE-POINT tag for ecu: Bcm.\r\n");
    IArxmlEcu* bcm = file->GetCluster(0)->FindEcu("Bcm");
    ASSERT_NE(bcm, nullptr);
    QM_EXPECT_FIELDS(*bcm, (IsSleepModeSupported(), false), (GetDiagnosticAddress(), 0u));
    EXPECT_FLOAT_EQ(bcm->GetMaxSamplePoint(), 0.0f);
}

TEST(ArxmlReaderMessages, PduGroupDirectionAndModeTexts) {
    const std::string groups =
        "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>G1</SHORT-NAME>"
        "<COMMUNICATION-DIRECTION>INOUT</COMMUNICATION-DIRECTION>"
        "<COMMUNICATION-MODE>Diagnostic</COMMUNICATION-MODE></I-SIGNAL-I-PDU-GROUP>"
        "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>G2</SHORT-NAME></I-SIGNAL-I-PDU-GROUP>";
    const std::string refs =
        "<ASSOCIATED-COM-I-PDU-GROUP-REFS>"
        "<ASSOCIATED-COM-I-PDU-GROUP-REF DEST=\"I-SIGNAL-I-PDU-GROUP\">/Groups/G1"
        "</ASSOCIATED-COM-I-PDU-GROUP-REF>"
        "<ASSOCIATED-COM-I-PDU-GROUP-REF DEST=\"I-SIGNAL-I-PDU-GROUP\">/Groups/G2"
        "</ASSOCIATED-COM-I-PDU-GROUP-REF></ASSOCIATED-COM-I-PDU-GROUP-REFS>"
        // The AUTOSAR 3 form is skipped silently in an AUTOSAR 4 document.
        "<ASSOCIATED-I-PDU-GROUP-REFS><ASSOCIATED-I-PDU-GROUP-REF DEST=\"I-SIGNAL-I-PDU-GROUP\">"
        "/Groups/G1</ASSOCIATED-I-PDU-GROUP-REF></ASSOCIATED-I-PDU-GROUP-REFS>";
    auto file = LoadText(
        Autosar4(Package("Groups", groups) + Package("ECU", ConnectedEcu("Bcm", refs)) +
                 Package("Cluster", CanCluster("Bus", "<COMM-CONNECTORS>" + ConnectorRef("Bcm") +
                                                          "</COMM-CONNECTORS>"))));
    EXPECT_STREQ(file->GetMessages(),
                 "Unknown communication direction: INOUT for pdu group: G1.\r\n"
                 "Unknown communication mode: Diagnostic for pdu group: G1.\r\n"
                 "Communication direction not defined for pdu group: G2.\r\n"
                 "Communication mode not defined for pdu group: G2.\r\n");
    EXPECT_EQ(file->GetCluster(0)->GetEcu(0)->GetPduGroupCount(), 2u);
}

TEST(ArxmlReaderMessages, Autosar4GroupTagInAnAutosar3Document) {
    const std::string ecu =
        "<ECU-INSTANCE><SHORT-NAME>Old</SHORT-NAME><ASSOCIATED-COM-I-PDU-GROUP-REFS/>"
        "<COMM-CONTROLLERS><CAN-COMMUNICATION-CONTROLLER><SHORT-NAME>Ctrl</SHORT-NAME>"
        "</CAN-COMMUNICATION-CONTROLLER></COMM-CONTROLLERS>"
        "<CONNECTORS><COMMUNICATION-CONNECTOR><SHORT-NAME>Conn</SHORT-NAME>"
        "<COMM-CONTROLLER-REF DEST=\"CAN-COMMUNICATION-CONTROLLER\">/ECU/Old/Ctrl"
        "</COMM-CONTROLLER-REF>"
        "<ECU-COMM-PORT-INSTANCES><FRAME-PORT><SHORT-NAME>Out</SHORT-NAME>"
        "<COMMUNICATION-DIRECTION>OUT</COMMUNICATION-DIRECTION></FRAME-PORT>"
        "</ECU-COMM-PORT-INSTANCES></COMMUNICATION-CONNECTOR></CONNECTORS></ECU-INSTANCE>";
    const std::string cluster =
        "<CAN-CLUSTER><SHORT-NAME>Bus</SHORT-NAME><PHYSICAL-CHANNELS><PHYSICAL-CHANNEL>"
        "<SHORT-NAME>Ch</SHORT-NAME><TP-NODES><TP-NODE-REF DEST=\"COMMUNICATION-CONNECTOR\">"
        "/ECU/Old/Conn</TP-NODE-REF></TP-NODES><FRAME-TRIGGERINGSS><CAN-FRAME-TRIGGERING>"
        "<SHORT-NAME>T</SHORT-NAME><FRAME-PORT-REFS><FRAME-PORT-REF DEST=\"FRAME-PORT\">"
        "/ECU/Old/Conn/Out</FRAME-PORT-REF></FRAME-PORT-REFS>"
        "<FRAME-REF DEST=\"FRAME\">/Frames/F</FRAME-REF><IDENTIFIER>5</IDENTIFIER>"
        "</CAN-FRAME-TRIGGERING></FRAME-TRIGGERINGSS></PHYSICAL-CHANNEL></PHYSICAL-CHANNELS>"
        "<SPEED>125000</SPEED></CAN-CLUSTER>";
    const std::string frame =
        "<FRAME><SHORT-NAME>F</SHORT-NAME><FRAME-LENGTH>4</FRAME-LENGTH><PDU-TO-FRAME-MAPPINGS>"
        "<PDU-TO-FRAME-MAPPING><SHORT-NAME>M</SHORT-NAME><PDU-REF DEST=\"SIGNAL-I-PDU\">/PDUS/P"
        "</PDU-REF></PDU-TO-FRAME-MAPPING></PDU-TO-FRAME-MAPPINGS></FRAME>";
    const std::string pdu =
        "<SIGNAL-I-PDU><SHORT-NAME>P</SHORT-NAME><LENGTH>4</LENGTH></SIGNAL-I-PDU>";
    auto file = LoadText(Autosar3(Package("ECU", ecu) + Package("Cluster", cluster) +
                                  Package("Frames", frame) + Package("PDUS", pdu)));
    EXPECT_STREQ(file->GetMessages(),
                 "ASSOCIATED-COM-I-PDU-GROUP-REFS arxml tag should be for autosar major version "
                 ">= 4. Ecu: Old.\r\n");
    EXPECT_EQ(file->AutosarVersion(), (qm::arxml::AutosarVersion{3, 2, 3}));
    IArxmlCluster* bus = file->GetCluster(0);
    EXPECT_EQ(bus->GetBaudrate(), 125000u);
    // The ECU is connected to the cluster through its TP node's controller; its frame port gives
    // it the PDU.
    ASSERT_EQ(bus->GetEcuCount(), 1u);
    EXPECT_EQ(bus->GetEcu(0)->FindTxPdu("P"), file->FindPdu("P"));
    EXPECT_EQ(file->FindPdu("P")->GetIdentifier(), 5);
}

TEST(ArxmlReaderMessages, Autosar3SignalGroupsAndTiming) {
    const std::string pdu =
        "<SIGNAL-I-PDU><SHORT-NAME>Status</SHORT-NAME><LENGTH>2</LENGTH>"
        "<I-PDU-TIMING-SPECIFICATION><CYCLIC-TIMING><REPEATING-TIME><VALUE>0.5</VALUE>"
        "</REPEATING-TIME><STARTING-TIME><VALUE>0.1</VALUE></STARTING-TIME></CYCLIC-TIMING>"
        "<EVENT-CONTROLLED-TIMING><NUMBER-OF-REPEATS>2</NUMBER-OF-REPEATS>"
        "</EVENT-CONTROLLED-TIMING><MINIMUM-DELAY>0.01</MINIMUM-DELAY>"
        "</I-PDU-TIMING-SPECIFICATION><SIGNAL-TO-PDU-MAPPINGS>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>AMap</SHORT-NAME>"
        "<PACKING-BYTE-ORDER>MOST-SIGNIFICANT-BYTE-FIRST</PACKING-BYTE-ORDER>"
        "<SIGNAL-REF DEST=\"I-SIGNAL\">/ISignals/A</SIGNAL-REF><START-POSITION>7"
        "</START-POSITION></I-SIGNAL-TO-I-PDU-MAPPING>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>GroupMap</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"I-SIGNAL\">/ISignals/G</SIGNAL-REF></I-SIGNAL-TO-I-PDU-MAPPING>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>EmptyMap</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"I-SIGNAL\">/ISignals/E</SIGNAL-REF></I-SIGNAL-TO-I-PDU-MAPPING>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>Direct</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">/Sys/A</SIGNAL-REF></I-SIGNAL-TO-I-PDU-MAPPING>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>Dangling</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"I-SIGNAL\">/ISignals/Nothing</SIGNAL-REF>"
        "</I-SIGNAL-TO-I-PDU-MAPPING></SIGNAL-TO-PDU-MAPPINGS></SIGNAL-I-PDU>";
    const std::string iSignals =
        "<I-SIGNAL><SHORT-NAME>A</SHORT-NAME><SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">"
        "/Sys/A</SYSTEM-SIGNAL-REF></I-SIGNAL>"
        "<I-SIGNAL><SHORT-NAME>G</SHORT-NAME><SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL-GROUP\">"
        "/Sys/G</SYSTEM-SIGNAL-REF></I-SIGNAL>"
        "<I-SIGNAL><SHORT-NAME>E</SHORT-NAME><SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL-GROUP\">"
        "/Sys/Empty</SYSTEM-SIGNAL-REF></I-SIGNAL>";
    const std::string system =
        "<SYSTEM-SIGNAL><SHORT-NAME>A</SHORT-NAME><LENGTH>4</LENGTH></SYSTEM-SIGNAL>"
        "<SYSTEM-SIGNAL-GROUP><SHORT-NAME>G</SHORT-NAME><SYSTEM-SIGNAL-REFS>"
        "<SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">/Sys/A</SYSTEM-SIGNAL-REF>"
        "</SYSTEM-SIGNAL-REFS></SYSTEM-SIGNAL-GROUP>"
        "<SYSTEM-SIGNAL-GROUP><SHORT-NAME>Empty</SHORT-NAME></SYSTEM-SIGNAL-GROUP>";
    auto file = LoadText(
        Autosar3(Package("PDUS", pdu) + Package("ISignals", iSignals) + Package("Sys", system)));
    EXPECT_STREQ(file->GetMessages(),
                 "0 system signals for system signal group: Empty.\r\n"
                 "No system signal or system signal group for: Direct.\r\n"
                 "No system signal or system signal group for: Dangling.\r\n");
    IArxmlPdu* status = file->FindPdu("Status");
    ASSERT_NE(status, nullptr);
    QM_EXPECT_FIELDS(*status, (GetCyclicTimePeriod(), 0.5), (GetTimeOffset(), 0.1),
                     (GetNumberOfRepetitions(), 2u), (GetMinimumDelay(), 0.01));
    ASSERT_EQ(status->GetSignalCount(), 1u);
    IArxmlSignal* a = status->GetSignal(0);
    EXPECT_STREQ(a->GetName(), "A");
    EXPECT_EQ(a->GetBitLength(), 4u);  // from the system signal
    QM_EXPECT_FIELDS(*a, (GetStartPosition(), 7u), (GetByteOrder(), '0'));
    ASSERT_EQ(status->GetSignalGroupCount(), 2u);
    QM_EXPECT_FIELDS(*status->GetSignalGroup(0), (GetName(), "G"), (GetSignal(0), a));
    EXPECT_EQ(status->GetSignalGroup(1)->GetSignalCount(), 0u);
}

// Each mapping entry reports its problems in entry order; groups list the signals of all.
TEST(ArxmlReaderMessages, Autosar3MappingMessagesFollowTheEntryOrder) {
    const std::string pdu =
        "<SIGNAL-I-PDU><SHORT-NAME>P</SHORT-NAME><LENGTH>2</LENGTH><SIGNAL-TO-PDU-MAPPINGS>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>EmptyMap</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"SYSTEM-SIGNAL-GROUP\">/Sys/Empty</SIGNAL-REF>"
        "</I-SIGNAL-TO-I-PDU-MAPPING>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>GroupMap</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"SYSTEM-SIGNAL-GROUP\">/Sys/G</SIGNAL-REF></I-SIGNAL-TO-I-PDU-MAPPING>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>AMap</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"I-SIGNAL\">/ISignals/A</SIGNAL-REF></I-SIGNAL-TO-I-PDU-MAPPING>"
        "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>Dangling</SHORT-NAME>"
        "<SIGNAL-REF DEST=\"I-SIGNAL\">/ISignals/Nothing</SIGNAL-REF>"
        "</I-SIGNAL-TO-I-PDU-MAPPING></SIGNAL-TO-PDU-MAPPINGS></SIGNAL-I-PDU>";
    const std::string iSignals =
        "<I-SIGNAL><SHORT-NAME>A</SHORT-NAME><SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">"
        "/Sys/A</SYSTEM-SIGNAL-REF></I-SIGNAL>";
    const std::string system =
        "<SYSTEM-SIGNAL-GROUP><SHORT-NAME>Empty</SHORT-NAME></SYSTEM-SIGNAL-GROUP>"
        "<SYSTEM-SIGNAL-GROUP><SHORT-NAME>G</SHORT-NAME><SYSTEM-SIGNAL-REFS>"
        "<SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">/Sys/A</SYSTEM-SIGNAL-REF>"
        "</SYSTEM-SIGNAL-REFS></SYSTEM-SIGNAL-GROUP>"
        "<SYSTEM-SIGNAL><SHORT-NAME>A</SHORT-NAME></SYSTEM-SIGNAL>";
    auto file = LoadText(
        Autosar3(Package("PDUS", pdu) + Package("ISignals", iSignals) + Package("Sys", system)));
    EXPECT_STREQ(file->GetMessages(),
                 "0 system signals for system signal group: Empty.\r\n"
                 "Missing bit size of signal: A.\r\n"
                 "Missing start bit of signal: A.\r\n"
                 "No system signal or system signal group for: Dangling.\r\n");
    IArxmlPdu* p = file->FindPdu("P");
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->GetSignalGroupCount(), 2u);
    EXPECT_STREQ(p->GetSignalGroup(0)->GetName(), "Empty");
    IArxmlSignalGroup* g = p->GetSignalGroup(1);
    EXPECT_STREQ(g->GetName(), "G");
    ASSERT_EQ(g->GetSignalCount(), 1u);
    EXPECT_EQ(g->GetSignal(0), p->FindSignal("A"));
}

TEST(ArxmlReaderMessages, AmbiguousNamesFollowTheReferencedPackage) {
    // Two I-signals "Crc" of different length in two packages; the mapping names the second.
    const std::string mapping =
        "<LENGTH>8</LENGTH><I-SIGNAL-TO-PDU-MAPPINGS><I-SIGNAL-TO-I-PDU-MAPPING>"
        "<SHORT-NAME>m</SHORT-NAME><I-SIGNAL-REF DEST=\"I-SIGNAL\">/FrameB/Crc</I-SIGNAL-REF>"
        "<START-POSITION>0</START-POSITION></I-SIGNAL-TO-I-PDU-MAPPING>"
        "</I-SIGNAL-TO-PDU-MAPPINGS>";
    const auto crc = [](const char* length) {
        return std::string("<I-SIGNAL><SHORT-NAME>Crc</SHORT-NAME><LENGTH>") + length +
               "</LENGTH></I-SIGNAL>";
    };
    auto file = LoadText(Autosar4(Package("FrameA", crc("4")) + Package("FrameB", crc("12")) +
                                  Package("PDU", Pdu("P", mapping))));
    EXPECT_EQ(file->FindPdu("P")->GetSignal(0)->GetBitLength(), 12u);
}

TEST(ArxmlReaderPackages, OnlyTheFirstPduAndPdusPackagesAreRead) {
    const std::string packages =
        Package("Pdus", Pdu("FromPdus", "<LENGTH>1</LENGTH>")) +
        Package("Other", Pdu("Elsewhere", "<LENGTH>1</LENGTH>")) +
        "<AR-PACKAGE><SHORT-NAME>Top</SHORT-NAME><SUB-PACKAGES>" +
        Package("PDU",
                Pdu("Nested", "<LENGTH>2</LENGTH>") +
                    "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>G</SHORT-NAME></I-SIGNAL-I-PDU-GROUP>") +
        "</SUB-PACKAGES></AR-PACKAGE>" + Package("PDU", Pdu("SecondPdu", "<LENGTH>1</LENGTH>"));
    auto file = LoadText(Autosar4(packages));
    // "PDU" first (the first package of that name, at any depth), then "Pdus"; every element of
    // them is a PDU.
    ASSERT_EQ(file->GetPduCount(), 3u);
    EXPECT_STREQ(file->GetPdu(0)->GetName(), "Nested");
    EXPECT_STREQ(file->GetPdu(1)->GetName(), "G");
    EXPECT_STREQ(file->GetPdu(2)->GetName(), "FromPdus");
    EXPECT_STREQ(file->GetMessages(), "Missing length of pdu: G.\r\n");
}

TEST(ArxmlReaderPackages, ClusterPackagesAndAFrameWhosePduIsElsewhere) {
    const std::string triggerings =
        "<FRAME-TRIGGERINGS>" + FrameTriggering("T", "/Frames/F") + "</FRAME-TRIGGERINGS>";
    const std::string packages =
        Package("CommunicationClusters", CanCluster("Second", triggerings)) +
        Package("Cluster", "<ECU-INSTANCE><SHORT-NAME>E</SHORT-NAME></ECU-INSTANCE>" +
                               CanCluster("First", "")) +
        Package("Clusters", CanCluster("NotRead", "")) +
        Package("Other", Pdu("Elsewhere", "<LENGTH>8</LENGTH>")) +
        Package("Frames", Frame("F", "/Other/Elsewhere"));
    auto file = LoadText(Autosar4(packages));
    EXPECT_STREQ(file->GetMessages(),
                 "Unknown cluster name: ECU-INSTANCE.\r\n"
                 "Pdu: Elsewhere not found for frame triggering: T.\r\n");
    ASSERT_EQ(file->GetClusterCount(), 2u);
    EXPECT_STREQ(file->GetCluster(0)->GetName(), "First");
    EXPECT_STREQ(file->GetCluster(1)->GetName(), "Second");
    EXPECT_EQ(file->GetPduCount(), 0u);
    EXPECT_EQ(file->GetCluster(1)->GetPduCount(), 0u);
}

TEST(ArxmlReaderPackages, Autosar3ClustersAreReadFromTheElementsHoldingThem) {
    const std::string clusters =
        "<CAN-CLUSTER><SHORT-NAME>Can</SHORT-NAME><SPEED>500000</SPEED></CAN-CLUSTER>"
        "<FLEXRAY-CLUSTER><SHORT-NAME>Fr</SHORT-NAME></FLEXRAY-CLUSTER>";
    const std::string lin = "<LIN-CLUSTER><SHORT-NAME>Lin</SHORT-NAME></LIN-CLUSTER>";
    auto file = LoadText(Autosar3(Package("Anything", clusters) + Package("Lin", lin) +
                                  Package("Other",
                                          "<CAN-CLUSTER><SHORT-NAME>Late</SHORT-NAME>"
                                          "</CAN-CLUSTER>")));
    EXPECT_STREQ(file->GetMessages(), "Unknown cluster name: FLEXRAY-CLUSTER.\r\n");
    ASSERT_EQ(file->GetClusterCount(), 2u);
    QM_EXPECT_FIELDS(*file->GetCluster(0), (GetName(), "Can"), (GetBaudrate(), 500000u));
    QM_EXPECT_FIELDS(*file->GetCluster(1), (GetName(), "Lin"), (GetClusterKind(), 1));
}

TEST(ArxmlReaderPackages, FramePortsOfUnconnectedEcusAddNoEcu) {
    // The ECU owns the frame port, but no connector of the cluster leads to it.
    const std::string ecu =
        "<ECU-INSTANCE><SHORT-NAME>Lonely</SHORT-NAME><CONNECTORS><CAN-COMMUNICATION-CONNECTOR>"
        "<SHORT-NAME>Conn</SHORT-NAME><ECU-COMM-PORT-INSTANCES><FRAME-PORT><SHORT-NAME>Out"
        "</SHORT-NAME><COMMUNICATION-DIRECTION>OUT</COMMUNICATION-DIRECTION></FRAME-PORT>"
        "</ECU-COMM-PORT-INSTANCES></CAN-COMMUNICATION-CONNECTOR></CONNECTORS></ECU-INSTANCE>";
    const std::string triggerings =
        "<FRAME-TRIGGERINGS><CAN-FRAME-TRIGGERING><SHORT-NAME>T</SHORT-NAME><FRAME-PORT-REFS>"
        "<FRAME-PORT-REF DEST=\"FRAME-PORT\">/ECU/Lonely/Conn/Out</FRAME-PORT-REF>"
        "</FRAME-PORT-REFS><FRAME-REF DEST=\"CAN-FRAME\">/Frames/F</FRAME-REF>"
        "<IDENTIFIER>9</IDENTIFIER></CAN-FRAME-TRIGGERING></FRAME-TRIGGERINGS>";
    auto file = LoadText(Autosar4(Package("PDU", Pdu("P", "<LENGTH>8</LENGTH>")) +
                                  Package("ECU", ecu) + Package("Frames", Frame("F", "/PDU/P")) +
                                  Package("Cluster", CanCluster("Bus", triggerings))));
    EXPECT_STREQ(file->GetMessages(), "");
    EXPECT_EQ(file->GetCluster(0)->GetEcuCount(), 0u);
    EXPECT_EQ(file->FindPdu("P")->GetIdentifier(), 9);
    // Without a PDU triggering the PDU is not one of the cluster's, though its frame is there.
    EXPECT_EQ(file->GetCluster(0)->GetPduCount(), 0u);
}

TEST(ArxmlReaderPackages, PduElementsNameTheFirstPduOfTheirName) {
    // Two PDUs "Dup"; the triggerings reference the second one's element, which names the first.
    const std::string channel = "<PDU-TRIGGERINGS>" + arxml_test::PduTriggering("PT", "/Pdus/Dup") +
                                "</PDU-TRIGGERINGS><FRAME-TRIGGERINGS>" +
                                FrameTriggering("T", "/Frames/F") + "</FRAME-TRIGGERINGS>";
    auto file = LoadText(Autosar4(Package("PDU", Pdu("Dup", "<LENGTH>1</LENGTH>")) +
                                  Package("Pdus", Pdu("Dup", "<LENGTH>2</LENGTH>")) +
                                  Package("Frames", Frame("F", "/Pdus/Dup")) +
                                  Package("Cluster", CanCluster("Bus", channel))));
    EXPECT_STREQ(file->GetMessages(), "");
    ASSERT_EQ(file->GetPduCount(), 2u);
    IArxmlCluster* bus = file->GetCluster(0);
    ASSERT_EQ(bus->GetPduCount(), 1u);
    EXPECT_EQ(bus->GetPdu(0), file->GetPdu(0));
    EXPECT_EQ(file->GetPdu(0)->GetIdentifier(), 17);
    EXPECT_EQ(file->GetPdu(1)->GetIdentifier(), -1);
}

// Find by name gives the first item named "", a cleared one ahead of one read without a name.
TEST(ArxmlReaderPackages, ClearedItemsAreFoundInListOrder) {
    auto file = LoadText(
        Autosar4(Package("PDU", Pdu("A", "<LENGTH>1</LENGTH>") +
                                    "<I-SIGNAL-I-PDU><LENGTH>1</LENGTH></I-SIGNAL-I-PDU>")));
    ASSERT_EQ(file->GetPduCount(), 2u);
    EXPECT_EQ(file->FindPdu(""), file->GetPdu(1));
    file->GetPdu(0)->Clear();
    EXPECT_EQ(file->FindPdu(""), file->GetPdu(0));
}

TEST(ArxmlReaderHostileInput, ReferenceCyclesDoNotHang) {
    // A frame reference that names itself, and two PDU groups that contain each other.
    const std::string triggering =
        "<FRAME-TRIGGERINGS><CAN-FRAME-TRIGGERING><SHORT-NAME>T</SHORT-NAME>"
        "<FRAME-REF DEST=\"FRAME-REF\">/Cluster/Bus/Loop<SHORT-NAME>Loop</SHORT-NAME></FRAME-REF>"
        "</CAN-FRAME-TRIGGERING></FRAME-TRIGGERINGS>";
    const std::string groups =
        "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>A</SHORT-NAME>"
        "<COMMUNICATION-DIRECTION>IN</COMMUNICATION-DIRECTION>"
        "<COMMUNICATION-MODE>Normal</COMMUNICATION-MODE><CONTAINED-I-PDU-GROUP-REFS>"
        "<CONTAINED-I-PDU-GROUP-REF DEST=\"I-SIGNAL-I-PDU-GROUP\">/G/B</CONTAINED-I-PDU-GROUP-REF>"
        "</CONTAINED-I-PDU-GROUP-REFS></I-SIGNAL-I-PDU-GROUP>"
        "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>B</SHORT-NAME>"
        "<COMMUNICATION-DIRECTION>IN</COMMUNICATION-DIRECTION>"
        "<COMMUNICATION-MODE>Normal</COMMUNICATION-MODE><I-SIGNAL-I-PDUS>"
        "<I-SIGNAL-I-PDU-REF-CONDITIONAL><I-SIGNAL-I-PDU-REF DEST=\"I-SIGNAL-I-PDU\">/PDU/P"
        "</I-SIGNAL-I-PDU-REF></I-SIGNAL-I-PDU-REF-CONDITIONAL></I-SIGNAL-I-PDUS>"
        "<CONTAINED-I-PDU-GROUP-REFS>"
        "<CONTAINED-I-PDU-GROUP-REF DEST=\"I-SIGNAL-I-PDU-GROUP\">/G/A</CONTAINED-I-PDU-GROUP-REF>"
        "</CONTAINED-I-PDU-GROUP-REFS></I-SIGNAL-I-PDU-GROUP>";
    const std::string refs =
        "<ASSOCIATED-COM-I-PDU-GROUP-REFS><ASSOCIATED-COM-I-PDU-GROUP-REF "
        "DEST=\"I-SIGNAL-I-PDU-GROUP\">/G/A</ASSOCIATED-COM-I-PDU-GROUP-REF>"
        "</ASSOCIATED-COM-I-PDU-GROUP-REFS>";
    auto file = LoadText(
        Autosar4(Package("PDU", Pdu("P", "<LENGTH>1</LENGTH>")) + Package("G", groups) +
                 Package("ECU", ConnectedEcu("E", refs)) +
                 Package("Cluster", CanCluster("Bus", "<COMM-CONNECTORS>" + ConnectorRef("E") +
                                                          "</COMM-CONNECTORS>" + triggering))));
    EXPECT_STREQ(file->GetMessages(), "No pdu ref for frame triggering: T.\r\n");
    IArxmlPduGroup* a = file->GetCluster(0)->GetEcu(0)->GetPduGroup(0);
    ASSERT_EQ(a->GetPduCount(), 1u);
    EXPECT_STREQ(a->GetPdu(0)->GetName(), "P");
}

TEST(ArxmlReaderHostileInput, TruncatedDocumentsLoadWhatTheyHold) {
    const std::string whole = qmtest::ReadFile(QM_SOURCE_DIR "/examples/bus_system.arxml");
    ASSERT_GT(whole.size(), 1000u);
    for (size_t cut : {size_t{10}, whole.size() / 7, whole.size() / 2, whole.size() - 20}) {
        bool ok = false;
        auto file = LoadText(whole.substr(0, cut), &ok);
        EXPECT_TRUE(ok) << cut;
        EXPECT_LE(file->GetPduCount(), 4u) << cut;
    }
    // Cut inside the cluster package: every PDU is there, some clusters are not complete.
    auto file = LoadText(whole.substr(0, whole.size() - 2000));
    EXPECT_EQ(file->GetPduCount(), 4u);
}

TEST(ArxmlReaderHostileInput, DeepNestingDoesNotExhaustTheStack) {
    std::string deep = "<AUTOSAR><AR-PACKAGES>";
    for (int i = 0; i < 200000; ++i) deep += "<X>";
    auto file = LoadText(deep);
    EXPECT_EQ(file->GetClusterCount(), 0u);
}

}  // namespace
