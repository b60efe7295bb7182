#pragma once
// The signals frames of two corpus files carry, by their (extended) multiplexing: checked on
// the DBC decoder and on the network model, which must follow the same rule. `carried` gives
// the names of the signals a payload carries, built from little-endian fields {start, length,
// value}, of the message of a raw identifier as the file writes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "dbc_frame_reference.h"

namespace dbctest {

using Names = std::vector<std::string>;
using Fields = std::vector<std::array<uint64_t, 3>>;
using CarriedNames = std::function<Names(uint32_t rawId, const Fields& fields)>;

inline Payload PayloadOf(const Fields& fields) {
    Payload payload(8, 0);
    for (const auto& field : fields) {
        WriteField(payload, static_cast<uint32_t>(field[0]), static_cast<uint32_t>(field[1]), false,
                   field[2]);
    }
    return payload;
}

inline bool Has(const Names& names, const char* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// cantools__multiplex_2.dbc, in the order of the message's signals.
inline void ExpectMultiplex2(const CarriedNames& carried) {
    struct Case {
        uint32_t rawId;
        Fields fields;
        Names names;
    };
    const uint32_t shared = 2349006590u, normal = 2348941054u, extended = 2348875518u,
                   types = 2349072126u;
    const std::vector<Case> cases = {
        // Shared: S0 (bits 0-3) selects S1 for 1 and 3, S2 for 2 to 5 (two ranges, one range).
        {shared, {{0, 4, 0}}, {"S0"}},
        {shared, {{0, 4, 1}}, {"S1", "S0"}},
        {shared, {{0, 4, 2}}, {"S2", "S0"}},
        {shared, {{0, 4, 3}}, {"S2", "S1", "S0"}},
        {shared, {{0, 4, 4}}, {"S2", "S0"}},
        {shared, {{0, 4, 5}}, {"S2", "S0"}},
        {shared, {{0, 4, 6}}, {"S0"}},
        // Normal has no SG_MUL_VAL_: the switch S0 selects by multiplex values (S1 m0, S2 m1).
        {normal, {{0, 4, 0}}, {"S1", "S0"}},
        {normal, {{0, 4, 1}}, {"S2", "S0"}},
        {normal, {{0, 4, 2}}, {"S0"}},
        // Extended, two levels: S0 selects S1 (itself a multiplexer) for 0 and S5 for 1; S1
        // selects S2 and S3 for 0, S4 for 2; S6 (32-39) selects S7 for 1 and S8 for 2. When S1
        // is not carried, neither are the signals it would select.
        {extended, {{0, 4, 0}, {4, 4, 0}, {32, 8, 1}}, {"S7", "S6", "S3", "S2", "S1", "S0"}},
        {extended, {{0, 4, 0}, {4, 4, 2}, {32, 8, 2}}, {"S8", "S6", "S4", "S1", "S0"}},
        {extended, {{0, 4, 0}, {4, 4, 1}, {32, 8, 3}}, {"S6", "S1", "S0"}},
        {extended, {{0, 4, 1}, {4, 4, 0}, {32, 8, 0}}, {"S6", "S5", "S0"}},
        // ExtendedTypes: S11 (0-4) selects S9 for 5 and S0 (8-11) for 3; S0 selects S10 for 0.
        {types, {{0, 5, 3}, {8, 4, 0}}, {"S10", "S0", "S11"}},
        {types, {{0, 5, 3}, {8, 4, 1}}, {"S0", "S11"}},
        {types, {{0, 5, 5}}, {"S9", "S11"}},
        {types, {{0, 5, 4}, {8, 4, 0}}, {"S11"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(carried(c.rawId, c.fields), c.names) << c.rawId << " " << c.fields[0][2];
    }
}

// opendbc__vw_pq.dbc: multiplexers that select one of a few variants.
inline void ExpectVwPqVariants(const CarriedNames& carried) {
    // Bremse_1 (416): BR1_MSR_Anf (bit 1) selects BR1_ASRMo_fa for 0, BR1_MSR_Mo_inv for 1.
    const Names off = carried(416, {{1, 1, 0}});
    const Names on = carried(416, {{1, 1, 1}});
    EXPECT_TRUE(Has(off, "BR1_ASRMo_fa") && !Has(off, "BR1_MSR_Mo_inv"));
    EXPECT_TRUE(!Has(on, "BR1_ASRMo_fa") && Has(on, "BR1_MSR_Mo_inv"));
    EXPECT_EQ(off.size(), on.size());
    // Motor_3 (896): MO3_Sta_FPG (bit 5) selects MO3_DKW for 0, the gradient and its sign for 1.
    const Names idle = carried(896, {{5, 1, 0}});
    const Names gradient = carried(896, {{5, 1, 1}});
    EXPECT_TRUE(Has(idle, "MO3_DKW"));
    EXPECT_FALSE(Has(idle, "MO3_FPGradient") || Has(idle, "MO3_Sign_FPG"));
    EXPECT_FALSE(Has(gradient, "MO3_DKW"));
    EXPECT_TRUE(Has(gradient, "MO3_FPGradient") && Has(gradient, "MO3_Sign_FPG"));
    // Motor_2 (648): MO2_Mp_Code (bits 6-7) selects one of four codes sharing bits 0-5.
    const char* codes[] = {"MO2_CAN_Vers", "MO2_Motor_Code", "MO2_Getr_Code", "MO2_max_Mo"};
    for (uint64_t value = 0; value < 4; ++value) {
        const Names names = carried(648, {{6, 2, value}});
        for (uint64_t other = 0; other < 4; ++other) {
            EXPECT_EQ(Has(names, codes[other]), other == value) << value << " " << codes[other];
        }
        EXPECT_TRUE(Has(names, "MO2_Mp_Code") && Has(names, "MO2_Kuehlm_T"));
    }
}

}  // namespace dbctest
