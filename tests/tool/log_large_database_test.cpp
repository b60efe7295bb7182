// Log decoding at scale: frames found by identifier on both sides of the direct table and in
// both addressings, and CSV tables whose rows outgrow the write budget many times over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool_support.h"

namespace {

// The same identifier as a standard and as an extended frame; identifiers below and above
// 16384; an identifier only the other addressing has.
const char* const kWideIdDbc =
    "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n"
    "BO_ 291 Std: 8 ECU\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" ECU\n"
    " SG_ A1 : 8|8@1+ (1,0) [0|0] \"\" ECU\n SG_ A2 : 16|8@1+ (1,0) [0|0] \"\" ECU\n"
    " SG_ A3 : 24|8@1+ (1,0) [0|0] \"\" ECU\n SG_ A4 : 32|8@1+ (1,0) [0|0] \"\" ECU\n"
    " SG_ A5 : 40|8@1+ (1,0) [0|0] \"\" ECU\n SG_ A6 : 48|8@1+ (1,0) [0|0] \"\" ECU\n"
    " SG_ A7 : 56|8@1+ (1,0) [0|0] \"\" ECU\n\n"
    "BO_ 2147483939 Ext: 8 ECU\n SG_ B : 0|8@1+ (2,0) [0|0] \"\" ECU\n\n"
    "BO_ 16383 Edge: 8 ECU\n SG_ C : 0|8@1+ (3,0) [0|0] \"\" ECU\n\n"
    "BO_ 2147500032 High: 8 ECU\n SG_ D : 0|8@1+ (4,0) [0|0] \"\" ECU\n\n"
    "BO_ 2147483904 Rare: 8 ECU\n SG_ E : 0|16@1+ (0.5,0) [0|0] \"\" ECU\n"
    " SG_ F : 16|16@1- (0.01,-1) [0|0] \"\" ECU\n\n"
    "VAL_ 291 A 1 \"one\" ;\n";

// The folder of CSV tables that decoding the scratch folder's in.log with db.dbc gives.
fs::path DecodeToTables(const ScratchFolder& scratch, const char* jobs,
                        const std::string& options) {
    const fs::path folder = scratch / (std::string("tables") + jobs);
    const Output run =
        RunTool("decode " + Quote((scratch / "db.dbc").string()) + " --csv -j " + jobs + " --log " +
                Quote((scratch / "in.log").string()) + " -o " + Quote(folder.string()) + options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return folder;
}

struct LookupCase {
    const char* line;
    const char* frame;  // "" when no frame has the identifier
};

class FrameLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FrameLookupTest, FindsTheFrameOfEachIdentifierAndAddressing) {
    ScratchFolder scratch("log_lookup");
    // The line twice: the second look-up is answered from what the first remembered.
    const std::string line = std::string(GetParam().line) + "\n";
    const Output run =
        RunTool("decode " + Quote(scratch.Write("db.dbc", kWideIdDbc)) + " --jsonl -j 1 --log " +
                Quote(scratch.Write("in.log", line + line)));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string name = std::string("\"name\":\"") + GetParam().frame + "\"";
    if (*GetParam().frame == 0) {
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("2 unknown"), std::string::npos) << run.err;
        return;
    }
    EXPECT_GE(qmtest::Occurrences(run.out, name), 2u) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Identifiers, FrameLookupTest,
                         ::testing::Values(LookupCase{"(1.0) can0 123#01", "Std"},
                                           LookupCase{"(1.0) can0 00000123#01", "Ext"},
                                           LookupCase{"(1.0) can0 3FFF#01", "Edge"},
                                           LookupCase{"(1.0) can0 00004000#01", "High"},
                                           LookupCase{"(1.0) can0 4000#01", "High"},
                                           LookupCase{"(1.0) can0 100#0100", "Rare"},
                                           LookupCase{"(1.0) can0 4001#01", ""},
                                           LookupCase{"(1.0) can0 1FFFFFFF#01", ""}),
                         [](const auto& info) { return "Line" + std::to_string(info.index); });

// Rows of every table in log order, whatever the number of jobs, when the tables together
// take several times the write budget: one frequent frame, two rarer ones.
TEST(LogCsvBudgetTest, EveryRowOnceInLogOrder) {
    ScratchFolder scratch("log_budget");
    std::ofstream(scratch / "db.dbc") << kWideIdDbc;
    constexpr int kLines = 60000;  // about 2.5 MB of tables, ten times the budget given
    std::vector<std::string> expectedStd{"timestamp,channel,A,A1,A2,A3,A4,A5,A6,A7"};
    std::vector<std::string> expectedRare{"timestamp,channel,E,F"};
    int edgeRows = 0;
    {
        std::ofstream log(scratch / "in.log");
        char line[96];
        for (int i = 0; i < kLines; ++i) {
            const unsigned value = static_cast<unsigned>(i) & 0xFFFF;
            if (i % 97 == 0) {
                std::snprintf(line, sizeof line, "(%d.5) can1 100#%02X%02X0000", i, value & 0xFF,
                              value >> 8);
                log << line << '\n';
                std::snprintf(line, sizeof line, "%d.5,can1,%g,-1", i, value * 0.5);
                expectedRare.push_back(line);
            } else if (i % 5 == 0) {
                log << "(" << i << ".25) can2 3FFF#07\n";
                ++edgeRows;
            } else {
                const std::string byte = std::to_string(value & 0xFF);
                std::snprintf(line, sizeof line, "(%d) can0 123#", i);
                log << line;
                for (int b = 0; b < 8; ++b) {
                    std::snprintf(line, sizeof line, "%02X", value & 0xFF);
                    log << line;
                }
                log << '\n';
                std::string row = std::to_string(i) + ",can0";
                for (int b = 0; b < 8; ++b) row += "," + byte;
                expectedStd.push_back(row);
            }
        }
    }
    const auto join = [](const std::vector<std::string>& rows) {
        std::string text;
        for (const std::string& row : rows) text += row + '\n';
        return text;
    };
    for (const char* jobs : {"1", "2"}) {
        const fs::path folder = DecodeToTables(scratch, jobs, " --table-bytes 262144");
        EXPECT_EQ(ReadFile(folder / "Std.csv"), join(expectedStd)) << jobs;
        EXPECT_EQ(ReadFile(folder / "Rare.csv"), join(expectedRare)) << jobs;
        const std::string edge = ReadFile(folder / "Edge.csv");
        EXPECT_EQ(std::count(edge.begin(), edge.end(), '\n'), 1 + edgeRows) << jobs;
    }
}

// Rows four times as long as their lines, so that one piece of log fills the pool's first slab
// before the first write: the other table is then handed over from within a row's append.
TEST(LogCsvBudgetTest, APoolFilledWithinOnePieceHandsTheOtherTablesOver) {
    ScratchFolder scratch("log_pool");
    std::string dbc = "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n";
    for (const char* frame : {"BO_ 256 Left: 8 ECU\n", "BO_ 257 Right: 8 ECU\n"}) {
        dbc += frame;
        for (int bit = 0; bit < 64; ++bit) {
            dbc += " SG_ S" + std::to_string(bit) + " : " + std::to_string(bit) +
                   "|1@1+ (1,0) [0|1] \"\" ECU\n";
        }
    }
    std::ofstream(scratch / "db.dbc") << dbc;
    std::string ones, left = "timestamp,channel";
    for (int bit = 0; bit < 64; ++bit) {
        ones += ",1";
        left += ",S" + std::to_string(bit);
    }
    left += '\n';
    std::string right = left;  // the same signal names
    {
        std::ofstream log(scratch / "in.log");
        for (int i = 0; i < 40000; ++i) {
            const bool isLeft = i % 3 != 0;
            log << "(" << i << ") can0 " << (isLeft ? "100" : "101") << "#FFFFFFFFFFFFFFFF\n";
            (isLeft ? left : right) += std::to_string(i) + ",can0" + ones + '\n';
        }
    }
    for (const char* jobs : {"1", "2"}) {
        const fs::path folder =
            DecodeToTables(scratch, jobs, " --piece-size 1048576 --table-bytes 65536");
        EXPECT_EQ(ReadFile(folder / "Left.csv"), left) << jobs;
        EXPECT_EQ(ReadFile(folder / "Right.csv"), right) << jobs;
    }
}

}  // namespace
