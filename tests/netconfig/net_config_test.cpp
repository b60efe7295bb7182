#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "dbc/netconfig_dbc_file.h"
#include "expect_fields.h"
#include "ldf/netconfig_ldf_file.h"
#include "netconfig/net_config.h"
#include "platform/paths.h"
#include "quillmere/xml.h"
#include "temp_files.h"

namespace fs = std::filesystem;

namespace {

std::string DataPath(const std::string& name) {
    return std::string(QM_SOURCE_DIR) + "/tests/data/netconfig/" + name;
}

using qmtest::TempPath;

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string Property(INetAttribute* attribute) {
    return attribute ? attribute->GetValue() : "<missing>";
}

}  // namespace

TEST(NetConfigDbc, ConvertsNodesMessagesSignalsAndProperties) {
    NetConfig config;
    ASSERT_EQ(config.LoadDbc(DataPath("small.dbc").c_str()), kNetLoadOk)
        << config.GetLastMessages();
    EXPECT_NE(std::string(config.GetLastMessages()).find("Dbc parser measured time: "),
              std::string::npos);
    ASSERT_EQ(config.GetDataBaseCount(), 1u);
    INetDataBase* db = config.GetDataBase(0);
    QM_EXPECT_FIELDS(*db, (GetName(), "small"), (GetBusType(), kNetBusCan), (IsFromFile(), true),
                     (GetDbcFile(), config.GetDbcFile()), (GetLdfFile(), nullptr));
    EXPECT_EQ(static_cast<INetFile*>(db->GetDbcFile()), config.GetFile(0));
    EXPECT_EQ(config.FindDataBase("small"), db);
    EXPECT_EQ(Property(db->FindProperty("Description text")), "Small test network");
    EXPECT_EQ(Property(db->FindFileAttribute("BusType")), "CAN");

    ASSERT_EQ(db->GetEcuCount(), 3u);
    ASSERT_EQ(db->GetMessageCount(), 3u);
    ASSERT_EQ(db->GetSignalCount(), 5u);
    INetEcu* engine = db->FindEcu("Engine");
    INetEcu* gateway = db->FindEcu("Gateway");
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(gateway, nullptr);
    EXPECT_EQ(Property(engine->FindProperty("Description text")), "Engine controller");
    QM_EXPECT_FIELDS(*engine, (IsMaster(), 0), (IsSlave(), 0));

    // Two messages share identifier 100: the first one is found.
    INetMessage* engineData = db->FindMessage(100u);
    ASSERT_NE(engineData, nullptr);
    EXPECT_STREQ(engineData->GetName(), "EngineData");
    EXPECT_EQ(Property(engineData->FindProperty("ID")), "100");
    EXPECT_EQ(Property(engineData->FindProperty("Size")), "8");
    EXPECT_EQ(Property(engineData->FindProperty("Description text")), "Engine values");
    EXPECT_EQ(Property(engineData->FindFileAttribute("GenMsgCycleTime")), "20");
    EXPECT_EQ(engineData->GetTransmitter(), engine);
    EXPECT_EQ(engine->FindTxMessage("EngineData"), engineData);
    EXPECT_EQ(engineData->GetReceiverCount(), 2u);

    INetMessage* ext = db->FindMessage("ExtFrame");
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(ext->GetId(), 352u);  // the extended flag is not part of the identifier
    QM_EXPECT_FIELDS(*ext, (GetTransmitter(), gateway), (FindReceiver("Engine"), engine));
    EXPECT_EQ(engine->FindRxMessage(352u), ext);
    EXPECT_EQ(db->FindMessage("SameId")->GetTransmitter(), nullptr);

    INetSignal* temp = engineData->FindSignal("Temp");
    ASSERT_NE(temp, nullptr);
    QM_EXPECT_FIELDS(*temp, (GetMessage(), engineData), (GetStartBit(), 23), (GetBitSize(), 8),
                     (GetByteOrder(), 1u), (GetByteOrderName(), "Big Endian"),
                     (GetSignedness(), 2u), (GetValueTypeName(), "float64"));
    EXPECT_EQ(temp->GetOffset(), -40.0);
    QM_EXPECT_FIELDS(*temp, (GetMinimumInt(), -40), (GetMaximumInt(), 215), (GetUnit(), "degC"),
                     (GetQualifiedName(), "EngineData.Temp"));
    EXPECT_EQ(Property(temp->FindProperty("Minimum")), "-40.000000");
    EXPECT_EQ(Property(temp->FindProperty("Start bit")), "23");
    EXPECT_EQ(Property(temp->FindProperty("Byte order")), "bigEndian");
    EXPECT_EQ(Property(temp->FindProperty("Value Type")), "signedType");
    EXPECT_EQ(temp->FindReceiver("Dash"), db->FindEcu("Dash"));
    EXPECT_EQ(temp->FindReceiver("Gateway"), nullptr);

    INetSignal* speed = db->FindSignal("Speed");
    EXPECT_EQ(speed, engineData->GetSignal(0));
    QM_EXPECT_FIELDS(*speed, (GetComment(), "Vehicle speed"), (GetByteOrder(), 2u));
    EXPECT_EQ(speed->GetFactor(), 0.1);
    QM_EXPECT_FIELDS(*gateway, (FindRxSignal("Speed"), speed), (GetRxSignalCount(), 2u));

    INetSignal* gear = engineData->FindSignal("Gear");
    ASSERT_EQ(gear->GetVTabValueCount(), 3u);
    bool sawSecond = false;
    for (uint64_t i = 0; i < gear->GetVTabValueCount(); ++i) {
        INetVTabValue* value = gear->GetVTabValue(i);
        EXPECT_EQ(value->GetRawMin(), value->GetRawMax());
        EXPECT_EQ(value->GetPhysicalMin(), static_cast<double>(value->GetRawMin()));
        if (std::string(value->GetText()) == "Second") {
            sawSecond = true;
            EXPECT_EQ(value->GetRawMin(), 2u);
        }
    }
    EXPECT_TRUE(sawSecond);

    // Decoding through the model: Speed is 16 bits from bit 0, read from bit 7 down in each byte.
    const uint8_t payload[8] = {0x80, 0x00, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(speed->GetRawValue(payload, 8), 1u);
}

TEST(NetConfigDbc, LoadResultsFollowTheFileStatus) {
    NetConfig config;
    EXPECT_EQ(config.LoadDbc(TempPath("missing.dbc").c_str()), kNetLoadFileNotOpened);
    EXPECT_EQ(config.LoadDbc(static_cast<const char*>(nullptr)), kNetLoadFileNotOpened);
    QM_EXPECT_FIELDS(config, (GetDataBaseCount(), 0u), (GetDbcFileCount(), 2u));
    EXPECT_EQ(config.GetFile(0)->GetFileType(), kNetFileDbc);

    // A missing receiver in the last statement read fails the load although the status is
    // only a warning (the corpus test maps every other status).
    const std::string warnLast = WriteTemp("warn_last.dbc",
                                           "BU_: A\n\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|0] "
                                           "\"\" Nobody\n");
    EXPECT_EQ(config.LoadDbc(warnLast.c_str()), kNetLoadFailed);
    QM_EXPECT_FIELDS(config, (GetDataBaseCount(), 0u), (GetDbcFileCount(), 3u),
                     (GetLdfFileCount(), 0u));

    // The wide form narrows the path.
    EXPECT_EQ(config.LoadDbc(qm::platform::Widen(DataPath("small.dbc")).c_str()), kNetLoadOk);
    EXPECT_EQ(config.GetDataBaseCount(), 1u);
    fs::remove(warnLast);
}

TEST(NetConfigDbc, ReceiversFollowNodeOrderAndOnlyTheSenderTransmits) {
    const std::string path = WriteTemp("receivers.dbc",
                                       "BU_: A B C\n\n"
                                       "BO_ 5 M: 8 A\n"
                                       " SG_ S1 : 0|8@1+ (1,0) [0|255] \"\" C,B\n"
                                       " SG_ S2 : 8|8@1+ (1,0) [0|255] \"\" C\n\n"
                                       "BO_TX_BU_ 5 : A,B;\n");
    NetConfig config;
    ASSERT_EQ(config.LoadDbc(path.c_str()), kNetLoadOk) << config.GetLastMessages();
    fs::remove(path);
    INetDataBase* db = config.GetDataBase(0);
    INetEcu* a = db->FindEcu("A");
    INetEcu* b = db->FindEcu("B");
    INetEcu* c = db->FindEcu("C");
    INetMessage* m = db->FindMessage("M");
    ASSERT_NE(m, nullptr);

    // The BO_ line names the one transmitter; BO_TX_BU_ does not make B a sender.
    EXPECT_EQ(m->GetTransmitter(), a);
    EXPECT_EQ(a->GetTxMessageCount(), 1u);
    EXPECT_EQ(b->GetTxMessageCount(), 0u);

    // Receivers are listed in node order, whatever order a signal names them in.
    ASSERT_EQ(m->GetReceiverCount(), 2u);
    QM_EXPECT_FIELDS(*m, (GetReceiver(0), b), (GetReceiver(1), c));
    INetSignal* s1 = m->FindSignal("S1");
    ASSERT_EQ(s1->GetReceiverCount(), 2u);
    QM_EXPECT_FIELDS(*s1, (GetReceiver(0), b), (GetReceiver(1), c));
    EXPECT_EQ(b->GetRxSignalCount(), 1u);
    EXPECT_EQ(c->GetRxSignalCount(), 2u);
    EXPECT_EQ(b->FindRxMessage(5u), m);
    EXPECT_EQ(a->GetRxMessageCount(), 0u);
}

// Finds answer for the names and identifiers elements have now: a host that clears an ECU,
// message or signal (name "" and identifier 0 after that) is seen by the next find.
TEST(NetConfigDbc, FindsFollowClearedElements) {
    NetConfig config;
    ASSERT_EQ(config.LoadDbc(DataPath("small.dbc").c_str()), kNetLoadOk);
    INetDataBase* db = config.GetDataBase(0);
    INetEcu* engine = db->FindEcu("Engine");
    INetMessage* engineData = db->FindMessage("EngineData");
    INetSignal* speed = db->FindSignal("Speed");  // EngineData's, the first of that name
    ASSERT_TRUE(engine && engineData && speed);
    EXPECT_EQ(db->FindMessage(100u), engineData);
    engine->Clear();
    engineData->Clear();
    speed->Clear();
    EXPECT_EQ(db->FindEcu("Engine"), nullptr);
    EXPECT_EQ(db->FindEcu(""), engine);
    EXPECT_EQ(db->FindMessage("EngineData"), nullptr);
    EXPECT_EQ(db->FindMessage(100u), db->FindMessage("SameId"));
    EXPECT_EQ(db->FindMessage(0u), engineData);
    INetSignal* other = db->FindSignal("Speed");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, speed);
    EXPECT_STREQ(other->GetQualifiedName(), "SameId.Speed");
}

TEST(NetConfigLdf, ConvertsNodesFramesSignalsAndEncodings) {
    NetConfig config;
    ASSERT_EQ(config.LoadLdf(DataPath("small.ldf").c_str()), kNetLoadOk)
        << config.GetLastMessages();
    EXPECT_EQ(config.FileFlag(), 1);
    EXPECT_STREQ(config.GetLastMessages(), config.GetLdfFile()->GetMessages());
    ASSERT_EQ(config.GetDataBaseCount(), 1u);
    INetDataBase* db = config.GetFirstDataBase();
    QM_EXPECT_FIELDS(*db, (GetBusType(), kNetBusLin), (GetName(), "small"),
                     (GetLdfFile(), config.GetLdfFile()), (GetDbcFile(), nullptr));
    EXPECT_EQ(Property(db->FindProperty("Protocol version")), "2.1");
    EXPECT_EQ(Property(db->FindProperty("Speed")), "19.200000");
    EXPECT_EQ(Property(db->FindProperty("Channel name")), "Body");

    ASSERT_EQ(db->GetEcuCount(), 3u);
    INetEcu* bcm = db->FindEcu("BCM");
    INetEcu* door = db->FindEcu("Door");
    QM_EXPECT_FIELDS(*bcm, (IsMaster(), 1), (IsSlave(), 0));
    QM_EXPECT_FIELDS(*door, (IsMaster(), 0), (IsSlave(), 1));
    EXPECT_EQ(Property(bcm->FindProperty("Time base")), "5.000000");
    EXPECT_EQ(Property(bcm->FindProperty("Jitter")), "0.100000");
    EXPECT_NE(bcm->FindProperty("Diagnostic address"), nullptr);
    EXPECT_EQ(Property(door->FindProperty("Configured NAD")), "16");

    // Three unconditional and two diagnostic frames; 3 standard and 4 diagnostic signals.
    ASSERT_EQ(db->GetMessageCount(), 5u);
    ASSERT_EQ(db->GetSignalCount(), 7u);
    INetMessage* seat = db->FindMessage(0x12u);
    ASSERT_NE(seat, nullptr);
    QM_EXPECT_FIELDS(*seat, (GetName(), "SeatStatus"), (GetSize(), 2));
    EXPECT_EQ(Property(seat->FindProperty("ID")), "18");
    EXPECT_EQ(seat->GetTransmitter(), db->FindEcu("Seat"));
    EXPECT_EQ(seat->FindReceiver("BCM"), bcm);

    INetSignal* lock = db->FindSignal("Lock");
    EXPECT_EQ(lock->GetReceiverCount(), 2u);
    EXPECT_EQ(door->FindRxSignal("Lock"), lock);
    QM_EXPECT_FIELDS(*lock, (GetByteOrder(), 2u), (GetValueTypeName(), "uint8_t"),
                     (GetSignednessName(), "unsignedType"));

    INetSignal* window = db->FindSignal("WindowPos");
    ASSERT_EQ(window->GetVTabValueCount(), 3u);
    INetVTabValue* range = window->GetVTabValue(1);
    QM_EXPECT_FIELDS(*range, (GetRawMin(), 1u), (GetRawMax(), 200u), (GetPhysicalMin(), 0.5),
                     (GetPhysicalMax(), 100.0), (GetText(), "percent"));
    EXPECT_STREQ(window->GetVTabValue(2)->GetText(), "error");
    QM_EXPECT_FIELDS(*window, (GetMinimumInt(), 0), (GetMaximumInt(), 255));

    INetSignal* seatTemp = db->FindSignal("SeatTemp");
    QM_EXPECT_FIELDS(*seatTemp, (GetStartBit(), 4), (GetValueTypeName(), "uint16_t"),
                     (GetFactor(), 0.1), (GetOffset(), -40.0));
    ASSERT_EQ(seatTemp->GetVTabValueCount(), 2u);
    EXPECT_STREQ(seatTemp->GetVTabValue(1)->GetText(), "bcd value");
    EXPECT_EQ(Property(seatTemp->FindProperty("Bit size")), "10");

    INetMessage* request = db->FindMessage("MasterReq");
    ASSERT_NE(request, nullptr);
    QM_EXPECT_FIELDS(*request, (GetId(), 0x3Cu), (GetTransmitter(), bcm));
    ASSERT_EQ(request->GetSignalCount(), 2u);
    EXPECT_EQ(request->GetSignal(1)->GetStartBit(), 8);
}

TEST(NetConfigLdf, FailuresKeepTheFileAndAddNoDatabase) {
    NetConfig config;
    EXPECT_EQ(config.LoadLdf(TempPath("missing.ldf").c_str()), kNetLoadFileNotOpened);
    const std::string broken =
        WriteTemp("broken.ldf", "LIN_description_file;\nNodes {\n  Master\n");
    EXPECT_EQ(config.LoadLdf(broken.c_str()), kNetLoadFailed);
    QM_EXPECT_FIELDS(config, (GetDataBaseCount(), 0u), (GetLdfFileCount(), 2u));
    EXPECT_EQ(config.GetFile(1)->GetFileType(), kNetFileLdf);
    fs::remove(broken);
}

TEST(NetConfig, SavesOnlyMatchingBusTypes) {
    NetConfig config;
    ASSERT_EQ(config.LoadDbc(DataPath("small.dbc").c_str()), kNetLoadOk);
    ASSERT_EQ(config.LoadLdf(DataPath("small.ldf").c_str()), kNetLoadOk);
    const std::string dbcOut = TempPath("saved.dbc");
    const std::string ldfOut = TempPath("saved.ldf");
    EXPECT_FALSE(config.SaveDbc(dbcOut.c_str(), 1));
    EXPECT_FALSE(config.SaveLdf(ldfOut.c_str(), 0));
    EXPECT_FALSE(config.SaveDbc(dbcOut.c_str(), 2));
    ASSERT_TRUE(config.SaveDbc(dbcOut.c_str(), 0));
    ASSERT_TRUE(config.SaveLdf(ldfOut.c_str(), 1));

    NetConfig again;
    EXPECT_EQ(again.LoadDbc(dbcOut.c_str()), kNetLoadOk);
    EXPECT_EQ(again.LoadLdf(ldfOut.c_str()), kNetLoadOk);
    EXPECT_EQ(again.GetDataBase(0)->GetSignalCount(), 5u);
    EXPECT_EQ(again.GetDataBase(1)->GetSignalCount(), 7u);

    // The info text is that of the last database's file.
    const std::string info = config.GetInfoText();
    EXPECT_FALSE(info.empty());
    EXPECT_EQ(info, config.GetLdfFile()->GetInfoText());
    fs::remove(dbcOut);
    fs::remove(ldfOut);
}

TEST(NetConfig, LoadingTwiceGivesTwoDatabasesOfTheSameName) {
    NetConfig config;
    ASSERT_EQ(config.LoadDbc(DataPath("small.dbc").c_str()), kNetLoadOk);
    ASSERT_EQ(config.LoadDbc(DataPath("small.dbc").c_str()), kNetLoadOk);
    ASSERT_EQ(config.GetDataBaseCount(), 2u);
    EXPECT_EQ(config.FindDataBase("small"), config.GetFirstDataBase());
    EXPECT_NE(config.GetFirstDataBase(), config.GetLastDataBase());
    EXPECT_EQ(config.GetDbcFile(), config.GetFirstDataBase()->GetDbcFile());
    EXPECT_NE(config.GetLastDataBase()->GetDbcFile(), config.GetDbcFile());
}

TEST(NetConfig, ClearDetachesTheElementAndEmptiesEverything) {
    NanoXML info("Quillmere", "", 0);
    {
        NetConfig config;
        NanoXML* node = config.GetXmlNode();
        info.AddChild(node);
        node->SetAttribute("Stale", "1");
        node->AddChild("Child", "", 0);
        node->name = "Renamed";
        NanoXML::AppendMessage("old line\r\n");
        ASSERT_EQ(config.LoadDbc(DataPath("small.dbc").c_str()), kNetLoadOk);
        ASSERT_EQ(info.children.size(), 1u);

        config.Clear();
        EXPECT_TRUE(info.children.empty());
        QM_EXPECT_FIELDS(*node, (parent, nullptr), (name, "NetConfig"));
        EXPECT_TRUE(node->attributes.empty());
        EXPECT_TRUE(node->children.empty());
        EXPECT_EQ(NanoXML::MessageLog(), "");
        QM_EXPECT_FIELDS(config, (GetDataBaseCount(), 0u), (GetFile(0), nullptr),
                         (GetLastMessages(), ""), (FileFlag(), 1));

        // Destruction detaches the element as well.
        info.AddChild(node);
    }
    EXPECT_TRUE(info.children.empty());
}

TEST(NetConfigArxml, ConvertsEveryClusterAndKeepsNoFile) {
    NetConfig config;
    EXPECT_EQ(config.LoadArxml(TempPath("missing.arxml").c_str()), kNetLoadFailed);
    QM_EXPECT_FIELDS(config, (GetDataBaseCount(), 0u), (GetFile(0), nullptr));

    const std::string example = std::string(QM_SOURCE_DIR) + "/examples/bus_system.arxml";
    if (!fs::exists(example)) GTEST_SKIP() << "no example system";
    ASSERT_EQ(config.LoadArxml(example.c_str()), kNetLoadOk);
    EXPECT_EQ(config.GetFile(0), nullptr);
    ASSERT_EQ(config.GetDataBaseCount(), 3u);
    EXPECT_EQ(config.GetDataBase(0)->GetBusType(), kNetBusCan);
    EXPECT_EQ(config.GetDataBase(1)->GetBusType(), kNetBusLin);
    INetDataBase* lin = config.GetDataBase(1);
    EXPECT_EQ(Property(lin->FindProperty("Time base")),
              Property(lin->FindEcu("Gateway")->FindProperty("Time base")));
    EXPECT_NE(lin->FindProperty("Jitter"), nullptr);
    // Every ECU carries the controller properties, whatever the kind of its cluster.
    INetEcu* linGateway = lin->FindEcu("Gateway");
    ASSERT_NE(linGateway, nullptr);
    EXPECT_EQ(Property(linGateway->FindProperty("CAN FD supported")), "false");
    EXPECT_EQ(Property(linGateway->FindProperty("CAN wake up over controller supported")), "false");
    EXPECT_NE(linGateway->FindProperty("CAN FD Min trcv delay compensation offset"), nullptr);
    INetAttribute* third = linGateway->GetProperty(3);
    ASSERT_NE(third, nullptr);
    EXPECT_STREQ(third->GetName(), "CAN wake up over controller supported");
    EXPECT_EQ(config.GetDataBase(0)->FindProperty("Time base"), nullptr);
    EXPECT_EQ(config.GetDataBase(2)->GetBusType(), kNetBusEthernet);
    EXPECT_EQ(config.GetDataBase(2)->GetDbcFile(), nullptr);
    EXPECT_FALSE(config.GetDataBase(2)->SaveAs(TempPath("never.dbc").c_str()));

    INetDataBase* can = config.GetDataBase(0);
    QM_EXPECT_FIELDS(*can, (IsFromArxml(), true), (GetName(), "PowertrainCan"));
    EXPECT_EQ(Property(can->FindProperty("Baudrate")), "500000");
    EXPECT_EQ(Property(can->FindProperty("CAN FD baudrate")), "2000000");
    EXPECT_EQ(Property(can->FindProperty("Protocol name")), "CAN");
    INetEcu* engine = can->FindEcu("Engine");
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(Property(engine->FindProperty("Diagnostic address")), "16");
    EXPECT_EQ(Property(engine->FindProperty("Sleep mode supported")), "false");
    EXPECT_EQ(Property(engine->FindProperty("CAN Max number of time quanta per bit")), "25");
    EXPECT_EQ(Property(engine->FindProperty("CAN FD tx bit rate switch")), "true");
    EXPECT_EQ(engine->IsMaster(), 0);

    INetMessage* data = can->FindMessage(256u);
    ASSERT_NE(data, nullptr);
    QM_EXPECT_FIELDS(*data, (GetName(), "EngineData"), (GetTransmitter(), engine));
    EXPECT_EQ(Property(data->FindProperty("Repeating time value")), "0.010000");
    EXPECT_EQ(Property(data->FindProperty("Starting time value")), "0.002000");
    EXPECT_EQ(Property(data->FindProperty("Minimum delay")), "0.005000");
    // Every timing property is present; one the PDU does not give is zero.
    EXPECT_EQ(Property(data->FindProperty("Event controlled timing number of repeats")), "0");
    ASSERT_EQ(data->GetPropertyCount(), 7u);
    const char* names[] = {"Name",
                           "ID",
                           "Size",
                           "Starting time value",
                           "Minimum delay",
                           "Repeating time value",
                           "Event controlled timing number of repeats"};
    for (uint64_t i = 0; i < 7; ++i) EXPECT_STREQ(data->GetProperty(i)->GetName(), names[i]);
    INetSignal* speed = data->FindSignal("EngineSpeed");
    ASSERT_NE(speed, nullptr);
    QM_EXPECT_FIELDS(*speed, (GetFactor(), 0.25), (GetUnit(), "1/min"));
    ASSERT_EQ(speed->GetPropertyCount(), 2u);
    EXPECT_STREQ(speed->GetProperty(0)->GetName(), "Start bit");
    EXPECT_EQ(Property(speed->FindProperty("Bit size")), "16");
    EXPECT_STREQ(speed->GetQualifiedName(), "EngineData.EngineSpeed");
    INetSignal* gear = data->FindSignal("GearPosition");
    EXPECT_EQ(gear->GetByteOrder(), 1u);
    ASSERT_EQ(gear->GetVTabValueCount(), 3u);
    EXPECT_EQ(gear->GetVTabValue(2)->GetRawMax(), 6u);
    EXPECT_EQ(gear->FindReceiver("Gateway"), can->FindEcu("Gateway"));
    EXPECT_EQ(can->FindEcu("Gateway")->FindRxSignal("GearPosition"), gear);
}

// The container form holds one element per CAN or LIN bus, in database order; on import the LIN
// buses are rebuilt first, and every bus comes back as a file-derived database.
TEST(NetConfigContainer, StoresBusesInOrderAndRebuildsLinFirst) {
    NetConfig config;
    ASSERT_EQ(config.LoadDbc(DataPath("small.dbc").c_str()), kNetLoadOk);
    ASSERT_EQ(config.LoadLdf(DataPath("small.ldf").c_str()), kNetLoadOk);
    std::unique_ptr<NanoXML> stored(config.ExportContainer());
    ASSERT_EQ(stored->children.size(), 2u);
    QM_EXPECT_FIELDS(*stored, (name, "NetConfig"), (text, ""), (children[0]->name, "DBC"),
                     (children[1]->name, "LDF"));

    NetConfig again;
    ASSERT_TRUE(again.ImportContainer(stored.get()));
    ASSERT_EQ(again.GetDataBaseCount(), 2u);
    EXPECT_EQ(again.GetDataBase(0)->GetBusType(), kNetBusLin);
    EXPECT_EQ(again.GetDataBase(1)->GetBusType(), kNetBusCan);
    EXPECT_EQ(again.GetDataBase(1)->GetSignalCount(), config.GetDataBase(0)->GetSignalCount());

    NanoXML other("Other", "", 0);
    other.AddChild("DBC", "", 0);
    EXPECT_TRUE(again.ImportContainer(&other));
    EXPECT_TRUE(again.ImportContainer(nullptr));
    EXPECT_EQ(again.GetDataBaseCount(), 2u);
}

TEST(NetConfigContainer, ArxmlBusesAreStoredAsGeneratedFiles) {
    const std::string example = std::string(QM_SOURCE_DIR) + "/examples/bus_system.arxml";
    if (!fs::exists(example)) GTEST_SKIP() << "no example system";
    NetConfig config;
    ASSERT_EQ(config.LoadArxml(example.c_str()), kNetLoadOk);
    std::unique_ptr<NanoXML> stored(config.ExportContainer());
    // The Ethernet cluster is not stored.
    ASSERT_EQ(stored->children.size(), 2u);
    QM_EXPECT_FIELDS(*stored, (children[0]->name, "DBC"), (children[1]->name, "LDF"));
    NetConfig again;
    ASSERT_TRUE(again.ImportContainer(stored.get()));
    ASSERT_EQ(again.GetDataBaseCount(), 2u);
    INetDataBase* can = again.GetDataBase(1);
    QM_EXPECT_FIELDS(*can, (GetBusType(), kNetBusCan), (IsFromArxml(), false));
    ASSERT_NE(can->FindMessage(256u), nullptr);
    EXPECT_NE(can->FindMessage(256u)->FindSignal("EngineSpeed"), nullptr);
}
