// Multiplexing of the network model: signals converted from DBC are selected by the switch and,
// for tolerant reading, by the extended-multiplexing ranges, with the rule the DBC decoder uses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../dbc/multiplexing_cases.h"
#include "expect_fields.h"
#include "netconfig/net_config.h"
#include "netconfig/net_message.h"
#include "netconfig/net_signal.h"

namespace fs = std::filesystem;

namespace {

using dbctest::Names;

fs::path CorpusFolder() {
    return fs::path(QM_SHARED_DIR) / "corpus" / "dbc";
}

class NetMultiplexing : public ::testing::Test {
  protected:
    INetDataBase* Load(const fs::path& path, bool tolerant = true) {
        config_.SetTolerantDbcReading(tolerant);
        const uint8_t code = config_.LoadDbc(path.string().c_str());
        EXPECT_LE(code, kNetLoadWithWarnings) << config_.GetLastMessages();
        return config_.GetDataBaseCount() ? config_.GetDataBase(config_.GetDataBaseCount() - 1)
                                          : nullptr;
    }

    // The names of the signals that a payload carries, in signal order.
    static Names Carried(INetDataBase* database, uint32_t id, const dbctest::Fields& fields) {
        const dbctest::Payload payload = dbctest::PayloadOf(fields);
        Names names;
        INetMessage* message = database ? database->FindMessage(id) : nullptr;
        EXPECT_NE(message, nullptr) << id;
        if (message == nullptr) return names;
        for (uint64_t i = 0; i < message->GetSignalCount(); ++i) {
            auto* multiplexing = dynamic_cast<INetSignalMultiplexing*>(message->GetSignal(i));
            EXPECT_NE(multiplexing, nullptr);
            if (multiplexing && multiplexing->IsCarried(payload.data(), payload.size()))
                names.push_back(message->GetSignal(i)->GetName());
        }
        return names;
    }

    // The same for the corpus file's messages, keyed as the file writes them: the network model
    // keys messages by the identifier without the extended flag.
    dbctest::CarriedNames CarriedFrom(const char* name) {
        INetDataBase* db = Load(CorpusFolder() / name);
        EXPECT_NE(db, nullptr);
        return [db](uint32_t rawId, const dbctest::Fields& fields) {
            return Carried(db, rawId & ~0x80000000u, fields);
        };
    }

    NetConfig config_;
};

// Ranges, chains and switches of multiplex_2; the motor and brake variants of vw_pq.
TEST_F(NetMultiplexing, CorpusFilesSelectByTheirMultiplexers) {
    if (!fs::is_directory(CorpusFolder())) GTEST_SKIP() << "no corpus at " << CorpusFolder();
    dbctest::ExpectMultiplex2(CarriedFrom("cantools__multiplex_2.dbc"));
    dbctest::ExpectVwPqVariants(CarriedFrom("opendbc__vw_pq.dbc"));
}

TEST_F(NetMultiplexing, ExactReadingKeepsTheSwitchRule) {
    const fs::path path =
        fs::temp_directory_path() / ("qm_netmux_" + std::to_string(::getpid()) + ".dbc");
    std::ofstream(path, std::ios::binary)
        << "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: A\n\nBO_ 5 M: 8 A\n"
           " SG_ Mux M : 0|4@1+ (1,0) [0|15] \"\" A\n"
           " SG_ Low m1 : 8|8@1+ (1,0) [0|255] \"\" A\n"
           " SG_ High m2 : 8|8@1+ (1,0) [0|255] \"\" A\n"
           " SG_ Plain : 16|8@1+ (1,0) [0|255] \"\" A\n";
    INetDataBase* db = Load(path, false);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(Carried(db, 5, {{{0, 4, 1}}}), (Names{"Mux", "Low", "Plain"}));
    EXPECT_EQ(Carried(db, 5, {{{0, 4, 2}}}), (Names{"Mux", "High", "Plain"}));
    EXPECT_EQ(Carried(db, 5, {{{0, 4, 3}}}), (Names{"Mux", "Plain"}));
    auto* low = dynamic_cast<INetSignalMultiplexing*>(db->FindMessage(5)->GetSignal(1));
    QM_EXPECT_FIELDS(*low, (GetMultiplexingKind(), 2u), (GetMultiplexValue(), 1),
                     (GetExtendedMultiplexer(), nullptr), (GetMultiplexRangeCount(), 0u));
    fs::remove(path);
}

// A chain that loops cannot come from the reader, but a model built by hand may hold one:
// deciding must end, and a looping chain carries nothing.
TEST(NetMultiplexingByHand, ALoopingChainEndsAndSelectsNothing) {
    NetMessage message;
    NetSignal first;
    NetSignal second;
    NetSignal plain;
    for (NetSignal* signal : {&first, &second, &plain}) {
        signal->SetBitSize(4);
        signal->SetByteOrder(2);
        signal->SetMessage(&message);
        message.AddSignal(signal);
    }
    first.SetExtendedMultiplexing(&second, {{0, 15}});
    second.SetExtendedMultiplexing(&first, {{0, 15}});
    const uint8_t payload[8] = {};
    EXPECT_FALSE(first.IsCarried(payload, sizeof(payload)));
    EXPECT_FALSE(second.IsCarried(payload, sizeof(payload)));
    EXPECT_TRUE(plain.IsCarried(payload, sizeof(payload)));
    // Reversed ranges hold nothing; a null payload reads as zeros.
    plain.SetExtendedMultiplexing(&plain, {{5, 1}});
    EXPECT_FALSE(plain.IsCarried(nullptr, 0));
    first.SetExtendedMultiplexing(nullptr, {});
    second.SetExtendedMultiplexing(&first, {{0, 0}, {3, 3}});
    EXPECT_TRUE(second.IsCarried(nullptr, 0));
}

}  // namespace
