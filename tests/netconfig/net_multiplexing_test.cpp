// Multiplexing of the network model: signals converted from DBC are selected by the switch and,
// for tolerant reading, by the extended-multiplexing ranges, with the rule the DBC decoder uses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "../dbc/dbc_frame_reference.h"
#include "netconfig/net_config.h"
#include "netconfig/net_message.h"
#include "netconfig/net_signal.h"

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

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

    // The names of the signals that a payload, built from little-endian fields {start, length,
    // value}, carries: in signal order.
    static Names Carried(INetDataBase* database, uint32_t id,
                         std::initializer_list<std::array<uint64_t, 3>> fields) {
        dbctest::Payload payload(8, 0);
        for (const auto& field : fields) {
            dbctest::WriteField(payload, static_cast<uint32_t>(field[0]),
                                static_cast<uint32_t>(field[1]), false, field[2]);
        }
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

    static bool Has(const Names& names, const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    }

    NetConfig config_;
};

TEST_F(NetMultiplexing, Multiplex2SelectsByRangesChainsAndSwitches) {
    if (!fs::is_directory(CorpusFolder())) GTEST_SKIP() << "no corpus at " << CorpusFolder();
    INetDataBase* db = Load(CorpusFolder() / "cantools__multiplex_2.dbc");
    ASSERT_NE(db, nullptr);
    // The network model keys messages by the identifier without the extended flag.
    const uint32_t extendedFlag = 0x80000000u;
    // Shared: S0 (bits 0-3) selects S1 for 1 and 3, S2 for 2 to 5 (two ranges, one range).
    const uint32_t shared = 2349006590u & ~extendedFlag;
    EXPECT_EQ(Carried(db, shared, {{{0, 4, 0}}}), (Names{"S0"}));
    EXPECT_EQ(Carried(db, shared, {{{0, 4, 1}}}), (Names{"S1", "S0"}));
    EXPECT_EQ(Carried(db, shared, {{{0, 4, 2}}}), (Names{"S2", "S0"}));
    EXPECT_EQ(Carried(db, shared, {{{0, 4, 3}}}), (Names{"S2", "S1", "S0"}));
    EXPECT_EQ(Carried(db, shared, {{{0, 4, 4}}}), (Names{"S2", "S0"}));
    EXPECT_EQ(Carried(db, shared, {{{0, 4, 5}}}), (Names{"S2", "S0"}));
    EXPECT_EQ(Carried(db, shared, {{{0, 4, 6}}}), (Names{"S0"}));
    // Normal has no SG_MUL_VAL_: the switch S0 selects by multiplex values (S1 m0, S2 m1).
    const uint32_t normal = 2348941054u & ~extendedFlag;
    EXPECT_EQ(Carried(db, normal, {{{0, 4, 0}}}), (Names{"S1", "S0"}));
    EXPECT_EQ(Carried(db, normal, {{{0, 4, 1}}}), (Names{"S2", "S0"}));
    EXPECT_EQ(Carried(db, normal, {{{0, 4, 2}}}), (Names{"S0"}));
    // Extended, two levels: S0 selects S1 (itself a multiplexer) for 0 and S5 for 1; S1 selects
    // S2 and S3 for 0, S4 for 2; S6 selects S7 for 1 and S8 for 2.
    const uint32_t extended = 2348875518u & ~extendedFlag;
    EXPECT_EQ(Carried(db, extended, {{{0, 4, 0}}, {{4, 4, 0}}, {{32, 8, 1}}}),
              (Names{"S7", "S6", "S3", "S2", "S1", "S0"}));
    EXPECT_EQ(Carried(db, extended, {{{0, 4, 0}}, {{4, 4, 2}}, {{32, 8, 2}}}),
              (Names{"S8", "S6", "S4", "S1", "S0"}));
    EXPECT_EQ(Carried(db, extended, {{{0, 4, 0}}, {{4, 4, 1}}, {{32, 8, 3}}}),
              (Names{"S6", "S1", "S0"}));
    // S1 is not carried when S0 is 1, so the signals S1 would select are not either.
    EXPECT_EQ(Carried(db, extended, {{{0, 4, 1}}, {{4, 4, 0}}, {{32, 8, 0}}}),
              (Names{"S6", "S5", "S0"}));
    // ExtendedTypes: S11 (0-4) selects S9 for 5 and S0 (8-11) for 3; S0 selects S10 for 0.
    const uint32_t types = 2349072126u & ~extendedFlag;
    EXPECT_EQ(Carried(db, types, {{{0, 5, 3}}, {{8, 4, 0}}}), (Names{"S10", "S0", "S11"}));
    EXPECT_EQ(Carried(db, types, {{{0, 5, 3}}, {{8, 4, 1}}}), (Names{"S0", "S11"}));
    EXPECT_EQ(Carried(db, types, {{{0, 5, 5}}}), (Names{"S9", "S11"}));
    EXPECT_EQ(Carried(db, types, {{{0, 5, 4}}, {{8, 4, 0}}}), (Names{"S11"}));
}

TEST_F(NetMultiplexing, VwPqSelectsTheMotorAndBrakeVariants) {
    if (!fs::is_directory(CorpusFolder())) GTEST_SKIP() << "no corpus at " << CorpusFolder();
    INetDataBase* db = Load(CorpusFolder() / "opendbc__vw_pq.dbc");
    ASSERT_NE(db, nullptr);
    // Bremse_1 (416): BR1_MSR_Anf (bit 1) selects BR1_ASRMo_fa for 0, BR1_MSR_Mo_inv for 1.
    const Names off = Carried(db, 416, {{{1, 1, 0}}});
    const Names on = Carried(db, 416, {{{1, 1, 1}}});
    EXPECT_TRUE(Has(off, "BR1_ASRMo_fa"));
    EXPECT_FALSE(Has(off, "BR1_MSR_Mo_inv"));
    EXPECT_FALSE(Has(on, "BR1_ASRMo_fa"));
    EXPECT_TRUE(Has(on, "BR1_MSR_Mo_inv"));
    EXPECT_EQ(off.size(), on.size());
    // Motor_3 (896): MO3_Sta_FPG (bit 5) selects MO3_DKW for 0, the gradient and its sign for 1.
    const Names idle = Carried(db, 896, {{{5, 1, 0}}});
    const Names gradient = Carried(db, 896, {{{5, 1, 1}}});
    EXPECT_TRUE(Has(idle, "MO3_DKW"));
    EXPECT_FALSE(Has(idle, "MO3_FPGradient") || Has(idle, "MO3_Sign_FPG"));
    EXPECT_FALSE(Has(gradient, "MO3_DKW"));
    EXPECT_TRUE(Has(gradient, "MO3_FPGradient") && Has(gradient, "MO3_Sign_FPG"));
    // Motor_2 (648): MO2_Mp_Code (bits 6-7) selects one of four codes sharing bits 0-5.
    const char* codes[] = {"MO2_CAN_Vers", "MO2_Motor_Code", "MO2_Getr_Code", "MO2_max_Mo"};
    for (uint64_t value = 0; value < 4; ++value) {
        const Names names = Carried(db, 648, {{{6, 2, value}}});
        for (uint64_t other = 0; other < 4; ++other) {
            EXPECT_EQ(Has(names, codes[other]), other == value) << value << " " << codes[other];
        }
        EXPECT_TRUE(Has(names, "MO2_Mp_Code"));
        EXPECT_TRUE(Has(names, "MO2_Kuehlm_T"));
    }
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
    EXPECT_EQ(low->GetMultiplexingKind(), 2u);
    EXPECT_EQ(low->GetMultiplexValue(), 1);
    EXPECT_EQ(low->GetExtendedMultiplexer(), nullptr);
    EXPECT_EQ(low->GetMultiplexRangeCount(), 0u);
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
