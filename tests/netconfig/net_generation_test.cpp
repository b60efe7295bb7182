// Databases without a source file (ARXML clusters, or built here by hand) generate DBC and LDF
// file objects whose text our readers load back into an equivalent database.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "corpus_files.h"
#include "dbc/netconfig_dbc_file.h"
#include "expect_fields.h"
#include "ldf/netconfig_ldf_file.h"
#include "netconfig/arxml_conversion.h"
#include "netconfig/dbc_generation.h"
#include "netconfig/generated_file.h"
#include "netconfig/ldf_generation.h"
#include "netconfig/net_config.h"
#include "pair_compare.h"
#include "temp_files.h"

namespace fs = std::filesystem;

namespace net_generation {
namespace {

using qmtest::TempPath;

NetEcu* AddEcu(NetDataBase& db, const char* name) {
    auto ecu = std::make_unique<NetEcu>();
    ecu->SetName(name);
    return db.AddEcu(std::move(ecu));
}

NetMessage* AddMessage(NetDataBase& db, const char* name, uint32_t id, uint8_t size,
                       NetEcu* transmitter) {
    auto message = std::make_unique<NetMessage>();
    message->SetName(name);
    message->SetId(id);
    message->SetSize(size);
    message->SetTransmitter(transmitter);
    if (transmitter) transmitter->AddTxMessage(message.get());
    return db.AddMessage(std::move(message));
}

NetSignal* AddSignal(NetDataBase& db, NetMessage* message, const char* name, uint16_t start,
                     uint16_t size, uint32_t byteOrder, uint32_t signedness) {
    auto signal = std::make_unique<NetSignal>();
    signal->SetName(name);
    signal->SetStartBit(start);
    signal->SetBitSize(size);
    signal->SetByteOrder(byteOrder);
    signal->SetSignedness(signedness);
    signal->SetMessage(message);
    NetSignal* added = db.AddSignal(std::move(signal));
    message->AddSignal(added);
    return added;
}

void Receive(NetEcu* ecu, NetMessage* message, NetSignal* signal) {
    ecu->AddRxMessage(message);
    message->AddReceiver(ecu);
    EXPECT_FALSE(message->AddReceiver(ecu));  // a receiver is listed once
    ecu->AddRxSignal(signal);
    EXPECT_TRUE(signal->AddReceiver(ecu));
    EXPECT_FALSE(signal->AddReceiver(ecu));
}

// A CAN bus as an ARXML cluster gives it: no source file.
void BuildCanBus(NetDataBase& db) {
    db.SetName("Chassis");
    db.SetBusType(kNetBusCan);
    db.SetFromArxml(true);
    db.Properties().Add("Baudrate", "500000");
    NetEcu* brake = AddEcu(db, "Brake");
    NetEcu* body = AddEcu(db, "Body");
    brake->Properties().Add("Description text", "Brake controller");
    NetMessage* wheels = AddMessage(db, "Wheels", 0x120, 8, brake);
    wheels->Properties().Add("Repeating time value", "0.010000");
    wheels->Properties().Add("Description text", "Wheel speeds");
    NetSignal* front = AddSignal(db, wheels, "FrontLeft", 0, 16, qm::net::kByteOrderLittle, 1);
    front->SetFactor(0.01);
    front->SetOffset(-5.5);
    front->SetMinimum(-5.5);
    front->SetMaximum(649.85);
    front->SetUnit("km/h");
    front->SetComment("Front left wheel");
    Receive(body, wheels, front);
    NetSignal* state = AddSignal(db, wheels, "State", 23, 4, qm::net::kByteOrderBig, 2);
    state->SetMinimum(-8);
    state->SetMaximum(7);
    state->AddVTabValue(
        std::make_unique<NetVTabValue>(NetVTabValue::kValueTable, 1, 1, 1.0, 1.0, "Ok"));
    state->AddVTabValue(
        std::make_unique<NetVTabValue>(NetVTabValue::kValueTable, 2, 2, 2.0, 2.0, "Fault"));
    NetMessage* ext = AddMessage(db, "Extended", 0x18FF0010, 64, nullptr);
    ext->SetExtended(true);
    NetSignal* wide = AddSignal(db, ext, "Wide", 8, 64, qm::net::kByteOrderLittle, 1);
    Receive(brake, ext, wide);
    Receive(body, ext, wide);
}

// How a generated file may differ from its database.
enum class Generated {
    kDbc,  // a message without identifier reads back as 0x7FFFFFFF
    kLdf,  // a scaled signal gains a physical range entry
};

// The name as the generated texts write it: an identifier (other characters become '_', a
// leading digit gets a '_').
std::string Name(const std::string& name) {
    std::string result;
    for (char c : name) result += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    if (!result.empty() && std::isdigit(static_cast<unsigned char>(result[0])))
        result.insert(0, "_");
    return result;
}

// Names (as the file texts allow them), layout and links of two databases agree.
void ExpectEquivalent(INetDataBase& expected, INetDataBase& actual, Generated kind) {
    ASSERT_EQ(actual.GetEcuCount(), expected.GetEcuCount());
    for (uint64_t i = 0; i < expected.GetEcuCount(); ++i) {
        EXPECT_EQ(actual.GetEcu(i)->GetName(), Name(expected.GetEcu(i)->GetName()));
        QM_EXPECT_SAME(*actual.GetEcu(i), *expected.GetEcu(i), GetTxMessageCount(),
                       GetRxMessageCount(), GetRxSignalCount());
    }
    ASSERT_EQ(actual.GetMessageCount(), expected.GetMessageCount());
    ASSERT_EQ(actual.GetSignalCount(), expected.GetSignalCount());
    for (uint64_t m = 0; m < expected.GetMessageCount(); ++m) {
        INetMessage* want = expected.GetMessage(m);
        INetMessage* got = actual.GetMessage(m);
        SCOPED_TRACE(want->GetName());
        EXPECT_EQ(got->GetName(), Name(want->GetName()));
        if (want->GetId() != 0xFFFFFFFFu) {
            EXPECT_EQ(got->GetId(), want->GetId());
        } else if (kind == Generated::kDbc) {
            EXPECT_EQ(got->GetId(), 0x7FFFFFFFu);
        }
        QM_EXPECT_SAME(*got, *want, GetSize(), GetReceiverCount());
        if (want->GetTransmitter() != nullptr) {
            ASSERT_NE(got->GetTransmitter(), nullptr);
            EXPECT_EQ(got->GetTransmitter()->GetName(), Name(want->GetTransmitter()->GetName()));
        } else if (kind == Generated::kDbc) {
            EXPECT_EQ(got->GetTransmitter(), nullptr);
        }
        ASSERT_EQ(got->GetSignalCount(), want->GetSignalCount());
        for (uint64_t s = 0; s < want->GetSignalCount(); ++s) {
            INetSignal* a = want->GetSignal(s);
            INetSignal* b = got->GetSignal(s);
            SCOPED_TRACE(a->GetName());
            EXPECT_EQ(b->GetName(), Name(a->GetName()));
            EXPECT_EQ(b->GetStartBit(), a->GetStartBit());
            EXPECT_EQ(b->GetBitSize(), a->GetBitSize());
            EXPECT_EQ(b->GetByteOrder() == qm::net::kByteOrderBig,
                      a->GetByteOrder() == qm::net::kByteOrderBig);
            EXPECT_EQ(b->GetSignedness(), a->GetSignedness());
            EXPECT_DOUBLE_EQ(b->GetFactor(), a->GetFactor());
            EXPECT_DOUBLE_EQ(b->GetOffset(), a->GetOffset());
            // A given range is kept; an LDF file gives one of its own to a signal without.
            if (kind == Generated::kDbc || a->GetMinimum() != 0.0 || a->GetMaximum() != 0.0) {
                EXPECT_DOUBLE_EQ(b->GetMinimum(), a->GetMinimum());
                EXPECT_DOUBLE_EQ(b->GetMaximum(), a->GetMaximum());
            }
            EXPECT_EQ(b->GetReceiverCount(), a->GetReceiverCount());
            for (uint64_t r = 0; r < a->GetReceiverCount(); ++r) {
                EXPECT_NE(b->FindReceiver(Name(a->GetReceiver(r)->GetName()).c_str()), nullptr);
            }
            const bool gainsRange =
                kind == Generated::kLdf && (a->GetFactor() != 1.0 || a->GetOffset() != 0.0);
            EXPECT_EQ(b->GetVTabValueCount(), a->GetVTabValueCount() + (gainsRange ? 1 : 0));
        }
    }
}

INetConfigOptions& OptionsOf(INetConfig& config) {
    auto* options = dynamic_cast<INetConfigOptions*>(&config);
    EXPECT_NE(options, nullptr);
    return *options;
}

// Every signal of b (read back from a's text) takes the raw value a takes from a payload whose
// bits are not all alike, so that a wrong start or byte order shows.
void ExpectDecodesAlike(INetDataBase& a, INetDataBase& b, size_t& decoded, size_t& nonZero) {
    for (uint64_t m = 0; m < a.GetMessageCount(); ++m) {
        INetMessage* message = a.GetMessage(m);
        std::vector<uint8_t> payload(std::max<size_t>(message->GetSize(), 8));
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<uint8_t>(0x5A ^ (i * 37));
        for (uint64_t s = 0; s < message->GetSignalCount(); ++s) {
            const uint64_t raw = message->GetSignal(s)->GetRawValue(payload.data(), payload.size());
            EXPECT_EQ(b.GetMessage(m)->GetSignal(s)->GetRawValue(payload.data(), payload.size()),
                      raw)
                << message->GetName() << "." << message->GetSignal(s)->GetName();
            ++decoded;
            nonZero += raw != 0;
        }
    }
}

}  // namespace

TEST(NetGeneration, CanDatabaseGeneratesAKeptDbcFile) {
    NetDataBase db;
    BuildCanBus(db);
    EXPECT_EQ(db.GetLdfFile(), nullptr);
    INetConfigDbcFile* file = db.GetDbcFile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(db.GetDbcFile(), file);
    EXPECT_EQ(file->GetStatus(), 1u) << file->GetMessages();
    QM_EXPECT_FIELDS(*file, (GetDatabaseName(), "Chassis"), (GetBaudrate(), 500000u),
                     (GetNodeCount(), 2u));
    ASSERT_EQ(file->GetMessageCount(), 2u);
    IDbcMessage* wheels = file->GetMessage(0);
    QM_EXPECT_FIELDS(*wheels, (GetComment(), "Wheel speeds"), (GetCycleTime(), 10u));
    EXPECT_STREQ(wheels->FindSignal("FrontLeft")->GetUnit(), "km/h");
    EXPECT_STREQ(wheels->FindSignal("FrontLeft")->GetComment(), "Front left wheel");
    EXPECT_STREQ(wheels->FindSignal("State")->GetValueDescription(2), "Fault");
    EXPECT_EQ(wheels->FindSignal("State")->GetValueType(), 2u);  // signed
    QM_EXPECT_FIELDS(*file->GetMessage(1), (IsExtended(), true), (GetId(), 0x18FF0010u));
    EXPECT_STREQ(file->GetNode(0)->GetComment(), "Brake controller");
}

TEST(NetGeneration, SaveAsWritesADbcFileThatLoadsBackEquivalent) {
    NetDataBase db;
    BuildCanBus(db);
    const std::string path = TempPath("chassis.dbc");
    ASSERT_TRUE(db.SaveAs(path.c_str()));
    NetConfig config;
    ASSERT_EQ(config.LoadDbc(path.c_str()), kNetLoadOk) << config.GetLastMessages();
    INetDataBase* reloaded = config.GetDataBase(0);
    QM_EXPECT_FIELDS(*reloaded, (GetName(), "Chassis"), (IsFromArxml(), false));
    ExpectEquivalent(db, *reloaded, Generated::kDbc);
    INetSignal* state = reloaded->FindSignal("State");
    QM_EXPECT_FIELDS(*state, (GetSignedness(), 2u), (GetMinimumInt(), -8));
    EXPECT_DOUBLE_EQ(reloaded->FindSignal("FrontLeft")->GetMaximum(), 649.85);
    fs::remove(path);

    // A database of another bus kind has nothing to write.
    db.SetBusType(kNetBusEthernet);
    EXPECT_FALSE(db.SaveAs(path.c_str()));
    EXPECT_EQ(db.GetDbcFile(), nullptr);
    EXPECT_FALSE(fs::exists(path));
}

TEST(NetGeneration, SaveAsOfASourcedDatabaseWritesTheSourceFile) {
    NetConfig config;
    ASSERT_EQ(
        config.LoadDbc((std::string(QM_SOURCE_DIR) + "/tests/data/netconfig/small.dbc").c_str()),
        kNetLoadOk);
    const std::string path = TempPath("small_copy.dbc");
    INetDataBase* db = config.GetDataBase(0);
    ASSERT_TRUE(db->SaveAs(path.c_str()));
    NetConfigDbcFile copy;
    ASSERT_TRUE(copy.Load(path.c_str()));
    EXPECT_EQ(copy.GetMessageCount(), 3u);
    EXPECT_EQ(db->GetDbcFile(), config.GetDbcFile());
    EXPECT_FALSE(db->SaveAs("/nonexistent-directory/x.dbc"));
    fs::remove(path);
}

TEST(NetGeneration, LinDatabaseGeneratesAnLdfThatLoadsBackEquivalent) {
    NetDataBase db;
    db.SetName("Seats");
    db.SetBusType(kNetBusLin);
    db.SetFromArxml(true);
    db.Properties().Add("Baudrate", "19200");
    db.Properties().Add("Protocol version", "2.1");
    NetEcu* master = AddEcu(db, "Gateway");
    master->Properties().Add("Time base", "0.010000");
    master->Properties().Add("Jitter", "0.000100");
    NetEcu* seat = AddEcu(db, "SeatLeft");
    NetMessage* status = AddMessage(db, "SeatStatus", 0x21, 4, seat);
    NetSignal* heat = AddSignal(db, status, "Heat", 0, 3, qm::net::kByteOrderLittle, 1);
    heat->AddVTabValue(
        std::make_unique<NetVTabValue>(NetVTabValue::kValueTable, 0, 0, 0.0, 0.0, "Off"));
    Receive(master, status, heat);
    NetSignal* position = AddSignal(db, status, "Position", 8, 24, qm::net::kByteOrderLittle, 1);
    Receive(master, status, position);
    NetSignal* temperature =
        AddSignal(db, status, "Temperature", 4, 4, qm::net::kByteOrderLittle, 1);
    temperature->SetFactor(2.5);
    temperature->SetOffset(-10);
    NetMessage* command = AddMessage(db, "SeatCommand", 0x20, 1, master);
    Receive(seat, command, AddSignal(db, command, "Move", 0, 2, qm::net::kByteOrderLittle, 1));

    EXPECT_EQ(db.GetDbcFile(), nullptr);
    INetConfigLdfFile* file = db.GetLdfFile();
    ASSERT_NE(file, nullptr) << qm::net::RenderLdfText(db);
    EXPECT_EQ(db.GetLdfFile(), file);
    EXPECT_EQ(file->GetResultCode(), 0) << file->GetMessages();
    QM_EXPECT_FIELDS(*file, (GetName(), "Seats"), (GetSpeed(), 19.2));
    ASSERT_NE(file->GetMasterNode(), nullptr);
    QM_EXPECT_FIELDS(*file->GetMasterNode(), (GetName(), "Gateway"), (GetTimeBase(), 10.0));

    const std::string path = TempPath("seats.ldf");
    ASSERT_TRUE(db.SaveAs(path.c_str()));
    NetConfig config;
    ASSERT_EQ(config.LoadLdf(path.c_str()), kNetLoadOk) << config.GetLastMessages();
    ExpectEquivalent(db, *config.GetDataBase(0), Generated::kLdf);
    EXPECT_EQ(config.GetDataBase(0)->FindEcu("Gateway")->IsMaster(), 1);
    fs::remove(path);
}

TEST(NetConfigWholeDocument, TheSwitchIsAnExtensionAndDefaultsToExact) {
    NetConfig concrete;
    INetConfig& config = concrete;
    INetConfigOptions& options = OptionsOf(config);
    EXPECT_EQ(options.GetArxmlReadingMode(), kArxmlReadExact);
    EXPECT_FALSE(options.SetArxmlReadingMode(-1));
    EXPECT_TRUE(options.SetArxmlReadingMode(kArxmlReadWholeDocument));
    config.Clear();  // a setting, not content
    EXPECT_EQ(options.GetArxmlReadingMode(), kArxmlReadWholeDocument);
}

// Every corpus ARXML file in both readings: one database per cluster of the file object read
// the same way; every CAN and LIN bus converts to DBC or LDF text our readers load back into an
// equivalent database, and a CAN frame decodes as in the database it came from.
TEST(NetGenerationCorpus, EveryArxmlBusOfBothReadingsConvertsToTextOurReadersLoadBack) {
    const auto files = qmtest::CorpusFiles("arxml", {".arxml"});
    if (files.empty()) GTEST_SKIP() << "no ARXML corpus";
    size_t buses = 0, wholeCanBuses = 0, wholeMessages = 0, decodedSignals = 0, nonZero = 0;
    for (const fs::path& path : files) {
        for (const int32_t mode : {kArxmlReadExact, kArxmlReadWholeDocument}) {
            SCOPED_TRACE(path.filename().string() + " mode " + std::to_string(mode));
            NetConfigArxmlFile reference;
            reference.SetReadingMode(mode);
            const bool loaded = reference.Load(path.c_str());
            NetConfig config;
            OptionsOf(config).SetArxmlReadingMode(mode);
            EXPECT_EQ(config.LoadArxml(path.c_str()), loaded ? kNetLoadOk : kNetLoadFailed);
            EXPECT_STREQ(config.GetLastMessages(), reference.GetMessages());
            EXPECT_EQ(config.GetFile(0), nullptr);
            ASSERT_EQ(config.GetDataBaseCount(), loaded ? reference.GetClusterCount() : 0u);
            for (uint64_t i = 0; i < config.GetDataBaseCount(); ++i) {
                INetDataBase* db = config.GetDataBase(i);
                IArxmlCluster* cluster = reference.GetCluster(i);
                SCOPED_TRACE(db->GetName());
                EXPECT_STREQ(db->GetName(), cluster->GetName());
                EXPECT_TRUE(db->IsFromArxml());
                EXPECT_EQ(db->GetEcuCount(), cluster->GetEcuCount());
                EXPECT_EQ(db->GetMessageCount(), cluster->GetPduCount());
                uint64_t signals = 0;
                for (uint64_t p = 0; p < cluster->GetPduCount(); ++p) {
                    signals += cluster->GetPdu(p)->GetSignalCount();
                }
                EXPECT_EQ(db->GetSignalCount(), signals);
                if (mode == kArxmlReadWholeDocument) wholeMessages += db->GetMessageCount();
                const bool can = db->GetBusType() == kNetBusCan;
                if (!can && db->GetBusType() != kNetBusLin) {
                    QM_EXPECT_FIELDS(*db, (GetDbcFile(), nullptr), (GetLdfFile(), nullptr));
                    continue;
                }
                ++buses;
                if (can) {
                    ASSERT_NE(db->GetDbcFile(), nullptr);
                    EXPECT_LE(db->GetDbcFile()->GetStatus(), 2u) << db->GetDbcFile()->GetMessages();
                } else {
                    ASSERT_NE(db->GetLdfFile(), nullptr);
                }
                const std::string text = TempPath(can ? "corpus.dbc" : "corpus.ldf");
                ASSERT_TRUE(db->SaveAs(text.c_str()));
                NetConfig again;
                if (can) {
                    ASSERT_LE(again.LoadDbc(text.c_str()), kNetLoadWithWarnings);
                } else {
                    ASSERT_EQ(again.LoadLdf(text.c_str()), kNetLoadOk);
                }
                fs::remove(text);
                ExpectEquivalent(*db, *again.GetDataBase(0),
                                 can ? Generated::kDbc : Generated::kLdf);
                if (!can || mode != kArxmlReadWholeDocument) continue;
                ++wholeCanBuses;
                ExpectDecodesAlike(*db, *again.GetDataBase(0), decodedSignals, nonZero);
            }
            NanoXML::ClearMessageLog();
        }
    }
    EXPECT_GT(buses, 0u);
    // Whole-document reading brings the CAN clusters of eleven corpus files; their frames decode.
    EXPECT_EQ(wholeCanBuses, 11u);
    EXPECT_GT(wholeMessages, 0u);
    EXPECT_GT(decodedSignals, 100u);
    EXPECT_GT(nonZero, decodedSignals / 2);
}

}  // namespace net_generation
