// Logs decoded by several workers give the output of one job byte for byte; CSV tables per
// frame; several logs; -o. And the fast text of physical doubles equals the shortest text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "codec/number_text.h"
#include "decode_output.h"
#include "tool_support.h"

namespace {

// Standard, extended (multiplexed), CAN FD frames; a value table; a name a CSV must quote.
const char* const kDbc =
    "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n"
    "BO_ 291 Engine: 8 ECU\n"
    " SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] \"km/h\" ECU\n"
    " SG_ Gear : 16|4@1+ (1,0) [0|15] \"\" ECU\n"
    " SG_ Temp : 24|8@1- (0.5,-40) [0|0] \"degC\" ECU\n\n"
    "BO_ 2566844672 Body: 8 ECU\n"
    " SG_ Mode M : 0|8@1+ (1,0) [0|0] \"\" ECU\n"
    " SG_ Door m1 : 8|8@1+ (1,0) [0|0] \"\" ECU\n"
    " SG_ Lamp m2 : 8|8@1+ (0.25,0) [0|0] \"\" ECU\n\n"
    "BO_ 1024 Fd: 64 ECU\n"
    " SG_ Big : 0|32@1+ (0.001,0) [0|0] \"\" ECU\n"
    " SG_ Tail : 504|8@1+ (1,0) [0|0] \"\" ECU\n\n"
    "VAL_ 291 Gear 0 \"Park\" 1 \"Drive\" ;\n";

// candump lines of every kind, some of them odd.
const std::string kCandump[] = {
    "(1436509052.249713) can0 123#E803010203040506",
    "(1436509052.25) can1 18FEF100#0107",
    "(1436509052.3) can1 18FEF100#02FF",
    "# a comment",
    "",
    "(1436509053.0) can0 123#R",
    "(1436509053.1) can0 20000080#0000000000000000",
    "(1436509053.2) vcan0 400##1" + std::string(128, 'A'),
    "(1436509053.3) can0 123#E803",
    "(1436509053.4) can0 7FF#00",
    "can0 123#0000",
    "  can0  123   [8]  10 27 00 50 00 00 00 00",
    "(.5) can0 123#FFFF0F7F00000000",
    "not a frame line",
};

// Vector ASCII with a header switching to decimal identifiers in the middle.
const std::string kAsc[] = {
    "date Sat Dec 6 10:00:00.000 am 2026",
    "base hex  timestamps absolute",
    "// version 13.0.0",
    "Begin Triggerblock Sat Dec 6 10:00:00.000 am 2026",
    "   0.010000 1  123             Rx   d 8 E8 03 01 02 03 04 05 06",
    "   0.020000 2  18FEF100x       Rx   d 2 02 10",
    "   0.030000 1  123             Rx   r",
    "   0.040000 1  ErrorFrame",
    "   0.050000 CANFD   1 Rx        400  Fd  1 0 f 64 " +
        [] {
            std::string bytes;
            for (int i = 0; i < 64; ++i) bytes += (i ? " " : "") + std::string("0A");
            return bytes;
        }(),
    "base dec  timestamps absolute",
    "   0.060000 1  291             Rx   d 8 10 27 00 50 00 00 00 00",
    "   0.070000 1  123             Rx   d 8 10 27 00 50 00 00 00 00",
    "End TriggerBlock",
};

enum class Ending { Lf, CrLf, NoFinalNewline };

struct LogCase {
    const char* name;
    bool asc;
    Ending ending;
};

std::string MakeLog(const LogCase& kind, int repeats) {
    using Lines = std::span<const std::string>;
    const Lines table = kind.asc ? Lines(kAsc) : Lines(kCandump);
    std::string log;
    for (int r = 0; r < repeats; ++r) {
        for (const std::string& line : table)
            log += line + (kind.ending == Ending::CrLf ? "\r\n" : "\n");
    }
    if (kind.ending == Ending::NoFinalNewline) log.pop_back();
    return log;
}

class LogJobsTest : public ::testing::TestWithParam<LogCase> {
  protected:
    LogJobsTest() : scratch_("log_jobs") {
        std::ofstream(scratch_ / "net.dbc", std::ios::binary) << kDbc;
        db_ = Quote((scratch_ / "net.dbc").string());
    }
    fs::path Write(const std::string& name, const std::string& text) {
        const fs::path path = scratch_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    Output Decode(const std::string& arguments) {
        return RunTool("decode " + db_ + " " + arguments);
    }
    // Every CSV table of a folder, by file name, in name order.
    std::string Tables(const fs::path& folder) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        std::string all;
        for (const auto& file : files) all += file.filename().string() + ":\n" + ReadFile(file);
        return all;
    }

    ScratchFolder scratch_;
    std::string db_;
};

TEST_P(LogJobsTest, AnyJobsAndPiecesGiveTheOutputOfOneJob) {
    const std::string log = Quote(Write("in.log", MakeLog(GetParam(), 40)).string());
    for (const char* style : {"--jsonl", "", "--csv"}) {
        const bool csv = std::string(style) == "--csv";
        const std::string one = csv ? Quote((scratch_ / "one").string()) : "";
        const Output single =
            Decode("--log " + log + " --jobs 1 " + style + (csv ? " -o " + one : ""));
        ASSERT_EQ(single.exitCode, 0) << single.err;
        const std::string expected = csv ? Tables(scratch_ / "one") : single.out;
        ASSERT_GT(expected.size(), 1000u) << style;
        // Pieces of a line each, of a few lines, of many lines; CSV tables written while the
        // log decodes (rows of a chunk let wait, of a few chunks) and at the end.
        struct Run {
            const char* jobs;
            const char* piece;
            const char* tableBytes;  // "": the default
        };
        for (const auto& [jobs, piece, tableBytes] :
             {Run{"2", "1", "1"}, {"3", "97", "3000"}, {"1", "97", "2000"}, {"7", "4096", ""}}) {
            const std::string many = Quote((scratch_ / "many").string());
            const std::string budget =
                *tableBytes != '\0' ? std::string(" --table-bytes ") + tableBytes : "";
            const Output multi = Decode("--log " + log + " --jobs " + jobs + " --piece-size " +
                                        piece + " " + style + (csv ? " -o " + many + budget : ""));
            ASSERT_EQ(multi.exitCode, 0) << multi.err;
            EXPECT_EQ(csv ? Tables(scratch_ / "many") : multi.out, expected)
                << style << " jobs " << jobs << " piece " << piece;
            EXPECT_EQ(multi.err, single.err) << style << " jobs " << jobs;
        }
    }
}

TEST_P(LogJobsTest, SeveralLogsComeOutInArgumentOrder) {
    const LogCase other{"other", !GetParam().asc, Ending::Lf};
    const std::string a = Quote(Write("a.log", MakeLog(GetParam(), 3)).string());
    const std::string b = Quote(Write("b.log", MakeLog(other, 2)).string());
    const Output first = Decode("--jsonl --jobs 1 --log " + a);
    const Output second = Decode("--jsonl --jobs 1 --log " + b);
    const Output both = Decode("--jsonl --jobs 2 --piece-size 64 --log " + a + " " + b + " " + a);
    ASSERT_EQ(both.exitCode, 0) << both.err;
    EXPECT_EQ(both.out, first.out + second.out + first.out);
    EXPECT_EQ(both.err, first.err + second.err + first.err);
    // -o FILE holds what standard output would.
    const fs::path file = scratch_ / "out.jsonl";
    const Output toFile =
        Decode("--json -j 3 --log " + a + " " + b + " " + a + " -o " + Quote(file.string()));
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_TRUE(toFile.out.empty());
    EXPECT_EQ(ReadFile(file), both.out);
}

INSTANTIATE_TEST_SUITE_P(Logs, LogJobsTest,
                         ::testing::Values(LogCase{"candump_lf", false, Ending::Lf},
                                           LogCase{"candump_crlf", false, Ending::CrLf},
                                           LogCase{"candump_open_end", false,
                                                   Ending::NoFinalNewline},
                                           LogCase{"asc_lf", true, Ending::Lf},
                                           LogCase{"asc_crlf_open_end", true, Ending::CrLf}),
                         [](const auto& info) { return std::string(info.param.name); });

class LogCsvTest : public LogJobsTest {
  protected:
    // A candump log of `repeats` rounds, LF line ends, quoted.
    std::string PlainLog(int repeats) {
        return Quote(Write("in.log", MakeLog({"lf", false, Ending::Lf}, repeats)).string());
    }
};

TEST_F(LogCsvTest, OneTablePerFrameWithAColumnPerSignal) {
    const std::string log = PlainLog(1);
    const fs::path folder = scratch_ / "tables";
    const Output run = Decode("--csv -j 2 --log " + log + " -o " + Quote(folder.string()));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Timestamps as written; a short payload leaves the signals it lacks empty; value texts are
    // not written (the number is).
    EXPECT_EQ(ReadFile(folder / "Engine.csv"),
              "timestamp,channel,Speed,Gear,Temp\n"
              "1436509052.249713,can0,100,1,-39\n"
              "1436509053.3,can0,100,,\n"
              ",can0,0,,\n"
              ",can0,1000,0,0\n"
              ".5,can0,6553.5,15,23.5\n");
    // Multiplexed signals: the cell of a signal that the multiplexer does not select is empty.
    EXPECT_EQ(ReadFile(folder / "Body.csv"),
              "timestamp,channel,Mode,Door,Lamp\n"
              "1436509052.25,can1,1,7,\n"
              "1436509052.3,can1,2,,63.75\n");
    EXPECT_EQ(ReadFile(folder / "Fd.csv"),
              "timestamp,channel,Big,Tail\n1436509053.2,vcan0,2863311.53,170\n");
    // No table for a frame the log does not hold; --csv needs a folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
    EXPECT_NE(Decode("--csv --log " + log).exitCode, 0);
}

// A table that cannot be made or written fails the run with the system's reason, written at the
// end or (2,000 repeats, far beyond the 16 KB let wait) while decoding, which then stops soon.
TEST_F(LogCsvTest, ATableThatCannotBeWrittenFailsTheRun) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const fs::path folder = scratch_ / "tables";
    const std::string table = (folder / "Engine.csv").string();
    for (const int repeats : {1, 2000}) {
        const std::string log = PlainLog(repeats);
        const bool early = repeats > 1;
        for (const char* jobs : {"1", "2"}) {
            fs::remove_all(folder);
            fs::create_directories(folder);
            if (early) {
                fs::create_symlink("/dev/full", table);
            } else {
                fs::create_directories(table);
            }
            const Output run =
                Decode("--csv -j " + std::string(jobs) + " --log " + log + " -o " +
                       Quote(folder.string()) + " --piece-size 4096 --table-bytes 16384");
            EXPECT_EQ(run.exitCode, 2) << jobs << " " << repeats;
            const std::string reason = early ? "cannot write " + table + ": No space left on device"
                                             : "cannot create " + table + ": Is a directory";
            EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
            EXPECT_EQ(run.err.find(" lines, ") == std::string::npos, early) << run.err;
        }
    }
}

TEST_F(LogCsvTest, AMissingLogIsReportedAfterTheOthers) {
    const std::string log = PlainLog(1);
    ExpectRuns({{"decode " + db_ + " --jsonl -j 2 --log " + log + " /nonexistent/x.log " + log,
                 2,
                 {"=" + Decode("--jsonl -j 1 --log " + log + " " + log).out},
                 {"cannot open log '/nonexistent/x.log'"}}});
}

// The fast text of a physical double (from its integer digits) is the shortest text of
// std::to_chars, notation included.
bool FastTextIsShortest(double value, double roundScale, int decimals) {
    char text[qmtool::kMostNumberBytes];
    const std::string fast(text, qmtool::WritePhysicalDouble(text, value, roundScale, decimals));
    std::string shortest;
    qm::codec::AppendDouble(shortest, value);
    EXPECT_EQ(fast, shortest) << decimals;
    return fast == shortest;
}

// Values at the edges of a digit count, of trailing zeros, of fixed and scientific notation.

TEST(PhysicalDoubleText, EqualsTheShortestText) {
    // Each with the decimals it needs and with up to three more (trailing zeros).
    const double edges[] = {9.9,     10.0,     99.99,     100.0,        37.0,        -37.5,
                            0.5,     0.05,     -0.25,     0.0001,       0.00012,     0.00001,
                            0.00123, 1.5e-10,  5e-7,      10000.0,      100000.0,    -200000.0,
                            2500000, 25000000, 120000000, 1e14,         1.000001,    -0.1,
                            1e13,    -3e12,    12345e7,   999999999.99, 123456789.5, 1234.5678};
    for (const double value : edges) {
        const int needs = std::max(1, qm::codec::DecimalPlaces(value));
        for (int decimals = needs; decimals <= std::min(15, needs + 3); ++decimals)
            FastTextIsShortest(value, std::pow(10.0, decimals), decimals);
    }
    std::mt19937_64 random(7);
    for (int decimals = 0; decimals <= 15; ++decimals) {
        const double scale = std::pow(10.0, decimals);
        for (int i = 0; i < 20000; ++i) {
            const int digits = 1 + static_cast<int>(random() % 17);
            int64_t integer =
                static_cast<int64_t>(random() % static_cast<uint64_t>(std::pow(10.0, digits)));
            if (i % 3 == 0) integer = -integer;
            if (i % 7 == 0 && digits <= 15) integer *= 1000;  // stays within int64
            const double values[] = {static_cast<double>(integer) / scale,
                                     static_cast<double>(integer) * 0.1 / scale,
                                     std::ldexp(static_cast<double>(random() >> 11), -40)};
            for (const double value : values) {
                ASSERT_TRUE(FastTextIsShortest(value, decimals ? scale : 0.0, decimals)) << integer;
            }
        }
    }
}

}  // namespace
