// The bundled example: one CAN FD, one LIN and one Ethernet cluster, read into the whole model.
#include <gtest/gtest.h>

#include <filesystem>

#include "arxml_com/netconfig_arxml_file.h"
#include "expect_fields.h"

namespace {

class ExampleSystem : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        file_ = new NetConfigArxmlFile();
        loaded_ = file_->Load(QM_SOURCE_DIR "/examples/bus_system.arxml");
    }
    static void TearDownTestSuite() {
        delete file_;
        file_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(loaded_); }

    static IArxmlCluster* Cluster(const char* name) { return file_->FindCluster(name); }
    static IArxmlPdu* Pdu(const char* name) { return file_->FindPdu(name); }

    static NetConfigArxmlFile* file_;
    static bool loaded_;
};

NetConfigArxmlFile* ExampleSystem::file_ = nullptr;
bool ExampleSystem::loaded_ = false;

TEST_F(ExampleSystem, LoadsCleanlyAsAnAutosar4Document) {
    QM_EXPECT_FIELDS(*file_, (IsLoaded(), true), (GetMessages(), ""));
    EXPECT_EQ(file_->AutosarVersion(), (qm::arxml::AutosarVersion{4, 2, 2}));
    QM_EXPECT_FIELDS(*file_, (GetClusterCount(), 3u), (GetPduCount(), 4u), (GetCluster(3), nullptr),
                     (GetPdu(4), nullptr), (FindPdu("NoSuchPdu"), nullptr),
                     (FindCluster(nullptr), nullptr));
}

TEST_F(ExampleSystem, ClustersCarryKindBaudRatesAndProtocol) {
    IArxmlCluster* can = file_->GetCluster(0);
    QM_EXPECT_FIELDS(*can, (GetName(), "PowertrainCan"), (GetClusterKind(), kArxmlClusterCan),
                     (GetBaudrate(), 500000u), (GetCanFdBaudrate(), 2000000u),
                     (GetProtocolName(), "CAN"), (GetProtocolVersion(), "2.0B"));

    IArxmlCluster* lin = Cluster("BodyLin");
    ASSERT_NE(lin, nullptr);
    QM_EXPECT_FIELDS(*lin, (GetClusterKind(), kArxmlClusterLin), (GetBaudrate(), 19200u),
                     (GetCanFdBaudrate(), 0u));

    IArxmlCluster* ethernet = Cluster("Backbone");
    ASSERT_NE(ethernet, nullptr);
    QM_EXPECT_FIELDS(*ethernet, (GetClusterKind(), kArxmlClusterEthernet),
                     (GetBaudrate(), 100000000u));
    ASSERT_EQ(ethernet->GetPduCount(), 1u);
    EXPECT_STREQ(ethernet->GetPdu(0)->GetName(), "InfotainmentState");
    EXPECT_EQ(ethernet->FindPdu("InfotainmentState"), ethernet->GetPdu(0));
}

TEST_F(ExampleSystem, EcusAreReadPerClusterInConnectorOrder) {
    IArxmlCluster* can = Cluster("PowertrainCan");
    ASSERT_EQ(can->GetEcuCount(), 2u);
    IArxmlEcu* engine = can->GetEcu(0);
    QM_EXPECT_FIELDS(
        *engine, (GetName(), "Engine"), (GetNumber(), 0), (GetLongName(), "Engine control module"),
        (GetDescription(), "Controls injection and ignition"), (GetDiagnosticAddress(), 0x10u),
        (IsSleepModeSupported(), false), (IsWakeUpOverBusSupported(), true));
    EXPECT_EQ(can->FindEcu("Gateway")->GetNumber(), 1);

    // The gateway sits on all three clusters, each time as an ECU of its own.
    IArxmlEcu* linGateway = Cluster("BodyLin")->FindEcu("Gateway");
    ASSERT_NE(linGateway, nullptr);
    EXPECT_NE(linGateway, can->FindEcu("Gateway"));
    EXPECT_EQ(Cluster("Backbone")->GetEcuCount(), 2u);
}

TEST_F(ExampleSystem, CanControllerRequirementsFillTheEcu) {
    IArxmlEcu* engine = Cluster("PowertrainCan")->FindEcu("Engine");
    QM_EXPECT_FIELDS(*engine, (HasCanFdRequirements(), true), (GetFdMaxTimeQuantaPerBit(), 40u),
                     (GetFdMaxSamplePoint(), 0.8f), (GetFdMaxSyncJumpWidth(), 0.25f),
                     (GetFdMaxTrcvDelayCompensationOffset(), 2e-7f),
                     (GetFdMinTimeQuantaPerBit(), 10u), (GetFdMinSamplePoint(), 0.7f),
                     (GetFdMinSyncJumpWidth(), 0.1f),
                     (GetFdMinTrcvDelayCompensationOffset(), 1e-7f));
    // The minimum time quanta are written 0x8.
    QM_EXPECT_FIELDS(*engine, (IsTxBitRateSwitch(), true),
                     (IsWakeUpOverControllerSupported(), true), (GetMaxTimeQuantaPerBit(), 25u),
                     (GetMaxSamplePoint(), 0.875f), (GetMaxSyncJumpWidth(), 0.2f),
                     (GetMinTimeQuantaPerBit(), 8u), (GetMinSamplePoint(), 0.75f),
                     (GetMinSyncJumpWidth(), 0.05f), (IsLinMaster(), false));

    IArxmlEcu* gateway = Cluster("PowertrainCan")->FindEcu("Gateway");
    QM_EXPECT_FIELDS(*gateway, (HasCanFdRequirements(), false), (GetMaxTimeQuantaPerBit(), 0u));
}

TEST_F(ExampleSystem, LinMasterTimingComesFromTheMasterController) {
    IArxmlCluster* lin = Cluster("BodyLin");
    IArxmlEcu* gateway = lin->FindEcu("Gateway");
    QM_EXPECT_FIELDS(*gateway, (IsLinMaster(), true), (GetLinProtocolVersion(), "2.1"),
                     (GetTimeBase(), 0.005f), (GetTimeBaseJitter(), 0.0001f));
    IArxmlEcu* door = lin->FindEcu("DoorLeft");
    QM_EXPECT_FIELDS(*door, (IsLinMaster(), false), (GetLinProtocolVersion(), ""));
}

TEST_F(ExampleSystem, PduGroupsFollowContainedGroups) {
    IArxmlEcu* gateway = Cluster("PowertrainCan")->FindEcu("Gateway");
    ASSERT_EQ(gateway->GetPduGroupCount(), 2u);
    IArxmlPduGroup* rx = gateway->FindPduGroup("Gateway_Rx");
    ASSERT_NE(rx, nullptr);
    QM_EXPECT_FIELDS(*rx, (GetDirection(), kArxmlDirectionIn), (GetDirectionText(), "in"),
                     (GetMode(), kArxmlModeNormal), (GetModeText(), "normal"));
    ASSERT_EQ(rx->GetPduCount(), 2u);
    EXPECT_STREQ(rx->GetPdu(0)->GetName(), "EngineData");
    EXPECT_STREQ(rx->GetPdu(1)->GetName(), "DoorStatus");  // from the contained group

    IArxmlPduGroup* measurement =
        Cluster("Backbone")->FindEcu("Infotainment")->FindPduGroup("Infotainment_Rx");
    QM_EXPECT_FIELDS(*measurement, (GetMode(), kArxmlModeMeasurement), (GetModeText(), ""),
                     (GetPdu(0), file_->FindPdu("InfotainmentState")));
}

TEST_F(ExampleSystem, FramePortsDecideTransmittedAndReceivedPdus) {
    IArxmlEcu* engine = Cluster("PowertrainCan")->FindEcu("Engine");
    ASSERT_EQ(engine->GetTxPduCount(), 1u);
    EXPECT_EQ(engine->GetTxPdu(0), Pdu("EngineData"));
    ASSERT_EQ(engine->GetRxPduCount(), 1u);
    EXPECT_EQ(engine->FindRxPdu("GatewayStatus"), Pdu("GatewayStatus"));
    EXPECT_EQ(engine->FindTxPdu("GatewayStatus"), nullptr);
    IArxmlEcu* door = Cluster("BodyLin")->FindEcu("DoorLeft");
    EXPECT_EQ(door->FindTxPdu("DoorStatus"), Pdu("DoorStatus"));
}

TEST_F(ExampleSystem, PdusTakeFrameDataFromTheirTriggering) {
    IArxmlPdu* engine = Pdu("EngineData");
    QM_EXPECT_FIELDS(*engine, (GetIdentifier(), 256), (GetLength(), 8u),
                     (IsStandardAddressing(), true), (IsExtendedAddressing(), false),
                     (GetRxBehavior(), "CAN-FD"), (GetTxBehavior(), "CAN-FD"),
                     (GetUnusedBitPattern(), 255u));

    IArxmlPdu* status = Pdu("GatewayStatus");
    QM_EXPECT_FIELDS(*status, (GetIdentifier(), 0x18FF0020), (IsExtendedAddressing(), true),
                     (IsStandardAddressing(), false));

    EXPECT_EQ(Pdu("DoorStatus")->GetIdentifier(), 16);
    // Carried only on Ethernet, without a frame triggering.
    QM_EXPECT_FIELDS(*Pdu("InfotainmentState"), (GetIdentifier(), -1), (GetLength(), 4u));
}

TEST_F(ExampleSystem, TimingValuesCarryTheirGivenFlags) {
    IArxmlPdu* engine = Pdu("EngineData");
    QM_EXPECT_FIELDS(*engine, (HasCyclicTimePeriod(), true), (GetCyclicTimePeriod(), 0.01),
                     (HasTimeOffset(), true), (GetTimeOffset(), 0.002), (HasMinimumDelay(), true),
                     (GetMinimumDelay(), 0.005), (HasNumberOfRepetitions(), false));

    IArxmlPdu* status = Pdu("GatewayStatus");
    QM_EXPECT_FIELDS(*status, (HasCyclicTimePeriod(), false), (HasNumberOfRepetitions(), true),
                     (GetNumberOfRepetitions(), 3u));
}

TEST_F(ExampleSystem, SignalsCarryLayoutLimitsUnitAndConversion) {
    IArxmlPdu* engine = Pdu("EngineData");
    ASSERT_EQ(engine->GetSignalCount(), 3u);
    IArxmlSignal* speed = engine->FindSignal("EngineSpeed");
    ASSERT_NE(speed, nullptr);
    QM_EXPECT_FIELDS(*speed, (GetStartPosition(), 0u), (GetBitLength(), 16u), (GetByteOrder(), '1'),
                     (GetPdu(), engine), (GetMinimum(), 0.0), (GetMaximum(), 16383.75),
                     (GetUnit(), "1/min"), (GetDescription(), "Crankshaft speed"));
    ASSERT_EQ(speed->GetCompuEntryCount(), 1u);
    const ArxmlCompuEntry* linear = speed->GetCompuEntry(0);
    QM_EXPECT_FIELDS(*linear, (rational, true), (factor, 0.25), (offset, 0.0));
    EXPECT_EQ(speed->GetCompuEntry(1), nullptr);

    // Internal constraints stand in for missing physical ones; no denominator means 1.
    IArxmlSignal* coolant = engine->FindSignal("CoolantTemperature");
    QM_EXPECT_FIELDS(*coolant, (GetMaximum(), 255.0), (GetUnit(), "degC"));
    QM_EXPECT_FIELDS(*coolant->GetCompuEntry(0), (offset, -40.0), (factor, 1.0));

    IArxmlSignal* gear = engine->FindSignal("GearPosition");
    QM_EXPECT_FIELDS(*gear, (GetByteOrder(), '0'), (GetStartPosition(), 31u));
    ASSERT_EQ(gear->GetCompuEntryCount(), 3u);
    QM_EXPECT_FIELDS(*gear->GetCompuEntry(1), (text, "R"), (label, "Reverse"), (rational, false));
    ASSERT_NE(gear->FindCompuEntry(4), nullptr);
    QM_EXPECT_FIELDS(*gear->FindCompuEntry(4), (text, "D"), (description, "Any forward gear"));
    EXPECT_EQ(gear->FindCompuEntry(9), nullptr);

    // A unit without display name is shown by its short name.
    EXPECT_STREQ(Pdu("DoorStatus")->FindSignal("WindowPosition")->GetUnit(), "percent");
}

TEST_F(ExampleSystem, SignalGroupsListTheirPdusSignals) {
    IArxmlPdu* engine = Pdu("EngineData");
    ASSERT_EQ(engine->GetSignalGroupCount(), 1u);
    IArxmlSignalGroup* group = engine->GetSignalGroup(0);
    QM_EXPECT_FIELDS(*group, (GetName(), "EngineGroup"), (GetPdu(), engine));
    ASSERT_EQ(group->GetSignalCount(), 2u);
    EXPECT_EQ(group->GetSignal(0), engine->FindSignal("EngineSpeed"));
    EXPECT_EQ(group->FindSignal("CoolantTemperature"), engine->FindSignal("CoolantTemperature"));
    EXPECT_EQ(group->FindSignal("GearPosition"), nullptr);
    EXPECT_EQ(engine->FindSignalGroup("EngineGroup"), group);
}

TEST(ArxmlFileObject, IsReadOnly) {
    NetConfigArxmlFile file;
    QM_EXPECT_FIELDS(file, (GetInfoText(), nullptr), (Save(), false),
                     (Save(L"/tmp/never_written.arxml"), false),
                     (Save("/tmp/never_written.arxml"), false));
    EXPECT_FALSE(std::filesystem::exists("/tmp/never_written.arxml"));
    EXPECT_FALSE(file.IsLoaded());
}

// A reload replaces the model, a cleared PDU keeps look-ups consistent, Clear forgets it.
TEST(ArxmlFileObject, ReloadAndClearReplaceAndForgetTheModel) {
    NetConfigArxmlFile file;
    ASSERT_TRUE(file.Load(QM_SOURCE_DIR "/examples/bus_system.arxml"));
    ASSERT_TRUE(file.Load(QM_SOURCE_DIR "/examples/bus_system.arxml"));
    EXPECT_EQ(file.GetClusterCount(), 3u);  // not doubled
    IArxmlPdu* engine = file.FindPdu("EngineData");
    engine->Clear();
    QM_EXPECT_FIELDS(*engine, (GetSignalCount(), 0u), (GetIdentifier(), -1));
    QM_EXPECT_FIELDS(file, (FindPdu("EngineData"), nullptr), (FindPdu(""), engine));
    file.Clear();
    QM_EXPECT_FIELDS(file, (IsLoaded(), false), (GetClusterCount(), 0u), (GetPduCount(), 0u),
                     (GetMessages(), ""));
}

}  // namespace
