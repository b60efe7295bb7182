// The tool on real files: well-formed UTF-8 and JSON from every command on every corpus file,
// code-page and GBK texts as their characters, long names shown and accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "text_encoding.h"
#include "tool_support.h"

namespace {

std::vector<fs::path> CorpusFiles() {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& folder : fs::directory_iterator(kCorpus, error)) {
        if (!folder.is_directory()) continue;
        for (const auto& entry : fs::directory_iterator(folder.path(), error)) {
            if (entry.path().filename() != "MANIFEST.md") files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Joined(const std::vector<fs::path>& files) {
    std::string text;
    for (const auto& file : files) text += " " + Quote(file.string());
    return text;
}

// Every number under an "id" key: the frames a dump names, whatever the format nests them in.
void CollectIds(const json& value, std::set<uint64_t>& ids) {
    if (value.is_object()) {
        for (const auto& [key, item] : value.items()) {
            // Beyond 29 bits lie pseudo-messages (0xC0000000 holds the unsent signals of a DBC).
            if (key == "id" && item.is_number_unsigned() && item.get<uint64_t>() <= 0x1FFFFFFF) {
                ids.insert(item.get<uint64_t>());
            }
            CollectIds(item, ids);
        }
    } else if (value.is_array()) {
        for (const auto& item : value) CollectIds(item, ids);
    }
}

// Exit codes above 2 are crashes or unexpected exceptions; every byte printed is UTF-8.
void ExpectSane(const Output& output, const std::string& what) {
    EXPECT_LE(output.exitCode, 2) << what << "\n" << output.err;
    EXPECT_GE(output.exitCode, 0) << what;
    EXPECT_TRUE(qmtool::IsValidUtf8(output.out)) << what;
    EXPECT_TRUE(qmtool::IsValidUtf8(output.err)) << what;
}

json ParseJson(const Output& output, const std::string& what) {
    json parsed;
    EXPECT_NO_THROW(parsed = json::parse(output.out)) << what << "\n" << output.err;
    return parsed;
}

class ToolOnCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    }
};

TEST_F(ToolOnCorpus, SummaryCommandsOverAllFilesAtOnce) {
    const std::vector<fs::path> files = CorpusFiles();
    ASSERT_FALSE(files.empty());
    const std::string all = Joined(files);
    for (const char* command : {"info", "check", "dump"}) {
        const Output text = RunTool(std::string(command) + all);
        ExpectSane(text, command);
        const Output data = RunTool(std::string(command) + " --json" + all);
        ExpectSane(data, std::string(command) + " --json");
        const json parsed = ParseJson(data, command);
        ASSERT_TRUE(parsed.is_array()) << command;
        // check reports every file; info and dump report failures on stderr instead.
        if (std::string(command) == "check") {
            EXPECT_EQ(parsed.size(), files.size());
        }
        for (const json& entry : parsed) EXPECT_TRUE(entry.contains("path")) << command;
    }
}

TEST_F(ToolOnCorpus, EveryFrameDecodesAsTextAndEveryFileConvertsToItsOwnFormat) {
    tooltest::ScratchFolder scratch("tool_corpus");
    std::mt19937 random(20261205);
    const std::vector<fs::path> files = CorpusFiles();
    // The frames of every file, from one dump of all of them (files without a reader are left
    // out of the array and reported on stderr).
    const Output dumped = RunTool("dump --json" + Joined(files));
    ExpectSane(dumped, "dump");
    std::map<std::string, std::set<uint64_t>> framesOf;
    for (const json& dump : ParseJson(dumped, "dump")) {
        std::set<uint64_t>& ids = framesOf[dump.value("path", std::string())];
        // A DBC's frames are its messages (environment variables carry ids too).
        CollectIds(
            dump.contains("messages") && dump.value("kind", "") == "dbc" ? dump["messages"] : dump,
            ids);
    }
    for (const fs::path& file : files) {
        const std::string path = Quote(file.string());
        const std::set<uint64_t>& ids = framesOf[file.string()];

        // One candump line per frame, with a payload long enough for any frame.
        std::string log;
        for (uint64_t id : ids) {
            char line[64];
            std::snprintf(line, sizeof(line), "(0.0) can0 %llX#",
                          static_cast<unsigned long long>(id));
            log += line;
            for (int i = 0; i < 64; ++i) {
                char byte[3];
                std::snprintf(byte, sizeof(byte), "%02X", static_cast<unsigned>(random() & 0xFF));
                log += byte;
            }
            log += '\n';
        }
        const fs::path logPath = scratch / "frames.log";
        std::ofstream(logPath, std::ios::binary) << log;
        const Output text = RunTool("decode " + path + " --log " + Quote(logPath.string()));
        ExpectSane(text, "decode " + file.string());
        // The JSON form of every frame is checked against a bit reference by the codec tests.

        const fs::path out = scratch / ("converted" + file.extension().string());
        const Output converted = RunTool("convert " + path + " " + Quote(out.string()));
        ExpectSane(converted, "convert " + file.string());
    }
}

// The texts of files in other encodings come out as the characters they are.
TEST_F(ToolOnCorpus, CodePageTextsBecomeTheirCharacters) {
    const std::string dbc = (kCorpus / "dbc").string() + "/";

    ExpectRuns({
        {"dump --json " + Quote(dbc + "cantools__vehicle.dbc"),
         0,
         {"range 0 - 360\xC2\xB0, the direction"}},
        {"dump --json --encoding gbk " + Quote(dbc + "ecubus__gbk.dbc"),
         0,
         {"\xE8\xB5\xB7\xE5\xA7\x8B\xE6\x9E\x81\xE6\x9F\xB1"}},  // 起始极柱
    });
    const json nodes = RunJson("dump --json " + Quote(dbc + "cantools__cp1252.dbc"))["nodes"];
    ASSERT_FALSE(nodes.empty());
    // 0x80 is the euro sign, 0x82 the low quote (the file leaves out the holes of cp1252); ÿ is
    // the last byte.
    ExpectTexts(nodes[0]["comment"], {"~\x7F\xE2\x82\xAC\xE2\x80\x9A", "\xC3\xBF"});
    // Without the option the same file is read as cp1252: well-formed, but not Chinese.
    const Output guessed = RunTool("dump --json " + Quote(dbc + "ecubus__gbk.dbc"));
    EXPECT_EQ(guessed.out.find("\xE8\xB5\xB7\xE5\xA7\x8B"), std::string::npos);
    EXPECT_TRUE(qmtool::IsValidUtf8(guessed.out));
}

TEST_F(ToolOnCorpus, InfoNamesTheEncodingItDecided) {
    const std::string dbc = (kCorpus / "dbc").string() + "/";
    const auto encodingOf = [](const std::string& arguments) {
        return RunJson("info --json " + arguments).value("encoding", std::string());
    };
    EXPECT_EQ(encodingOf(Quote(dbc + "cantools__cp1252.dbc")), "CP1252");
    EXPECT_EQ(encodingOf(Quote(dbc + "cantools__abs.dbc")), "CP1252");
    EXPECT_EQ(encodingOf(Quote(dbc + "cantools__empty_ns.dbc")), "UTF-8");
    EXPECT_EQ(encodingOf("--encoding gbk " + Quote(dbc + "ecubus__gbk.dbc")), "gbk");
    ExpectRuns({{"info --encoding no-such-code-page " + Quote(dbc + "cantools__abs.dbc"),
                 2,
                 {},
                 {"unknown encoding 'no-such-code-page'"}}});
}

// A DBC rewritten by convert keeps its code page: the bytes of the texts are the ones read.
TEST_F(ToolOnCorpus, ConvertKeepsTheBytesOfTheCodePage) {
    tooltest::ScratchFolder scratch("tool_cp");
    const fs::path in = kCorpus / "dbc" / "cantools__cp1252.dbc";
    const fs::path out = scratch / "again.dbc";
    ExpectRuns({{"convert " + Quote(in.string()) + " " + Quote(out.string()), 0}});
    const std::string original = ReadFile(in), written = ReadFile(out);
    const size_t start = original.find("~\x7F\x80");
    ASSERT_NE(start, std::string::npos);
    const std::string high = original.substr(start, 120);
    EXPECT_NE(written.find(high), std::string::npos);
    EXPECT_FALSE(qmtool::IsValidUtf8(written));

    EXPECT_EQ(RunJson("info --json " + Quote(out.string()))["encoding"], "CP1252");
}

class LongNames : public ::testing::Test {
  protected:
    std::string fixture_ = Quote(std::string(QM_SOURCE_DIR) + "/tests/data/tool/long_names.dbc");
};

TEST_F(LongNames, DumpShowsTheLongNamesWithTheWrittenOnesBeside) {
    const json dump = RunJson("dump --json " + fixture_);
    EXPECT_FALSE(dump["nodes"][1].contains("shortName"));  // no long name given
    ExpectJsonHas(dump, R"({"nodes": [{"name": "Powertrain_Control_Module_Front_Axle_Left",
                                       "shortName": "Powertrain_Control_Module_Front_"}],
        "messages": [{"name": "Engine_Speed_And_Torque_Status_Frame_Extended",
            "shortName": "Engine_Speed_And_Torque_Status_F",
            "transmitter": "Powertrain_Control_Module_Front_Axle_Left",
            "signals": [{"name": "Requested_Engine_Torque_Limit_Maximum_Value",
                         "shortName": "Requested_Engine_Torque_Limit_Ma"}, {"name": "Speed"}]}]})");

    const json plain = RunJson("dump --json --short-names " + fixture_);
    EXPECT_FALSE(plain["messages"][0].contains("shortName"));
    ExpectJsonHas(plain, R"({"messages": [{"name": "Engine_Speed_And_Torque_Status_F"}],
                            "nodes": [{"name": "Powertrain_Control_Module_Front_"}]})");

    EXPECT_EQ(RunJson("info --json " + fixture_)["longNames"], 3);
}

TEST_F(LongNames, DecodeAcceptsEitherNameAndShowsTheLongOne) {
    const std::string payload = " 0A00E803";
    const Output byLong = RunTool("decode --json " + fixture_ +
                                  " Engine_Speed_And_Torque_Status_Frame_Extended" + payload);
    const Output byShort =
        RunTool("decode --json " + fixture_ + " Engine_Speed_And_Torque_Status_F" + payload);
    const Output byId = RunTool("decode --json " + fixture_ + " 0x123" + payload);
    ASSERT_EQ(byId.exitCode, 0) << byId.err;
    EXPECT_EQ(byLong.out, byId.out);
    EXPECT_EQ(byShort.out, byId.out);
    ExpectJsonHas(json::parse(byId.out),
                  R"({"name": "Engine_Speed_And_Torque_Status_Frame_Extended",
        "signals": [{"name": "Requested_Engine_Torque_Limit_Maximum_Value", "physical": 5.0},
                    {"physical": 1000.0}]})");

    ExpectRuns({
        {"decode --short-names " + fixture_ + " 291" + payload,
         0,
         {"Requested_Engine_Torque_Limit_Ma = 5"}},
        {"decode " + fixture_ + " No_Such_Frame" + payload, 2, {}, {"no frame 'No_Such_Frame'"}},
    });
}

// The tool reads DBC files tolerantly; --exact gives the reader that stops.
TEST_F(ToolOnCorpus, DbcFilesAreReadTolerantlyUnlessExactIsAsked) {
    const std::string tesla = Quote((kCorpus / "dbc" / "opendbc__tesla_can.dbc").string());
    // 4 of the tolerated lines name nodes no BU_ line declares.
    ExpectJsonHas(json::parse(RunTool("info --json " + tesla).out),
                  R"({"reader": "tolerant", "status": 2, "messages": 44, "toleratedLines": 15})");
    ExpectJsonHas(json::parse(RunTool("info --json --exact " + tesla).out),
                  R"({"reader": "exact", "status": 4, "messages": 0})");

    // A file with extended multiplexing: the exact reader refuses to convert it; into a
    // container, the file goes in as the other commands read it.
    tooltest::ScratchFolder scratch("tool_tolerant");
    const std::string convert = Quote((kCorpus / "dbc" / "cantools__multiplex_2.dbc").string()) +
                                " " + Quote((scratch / "again.dbc").string());
    const std::string container = Quote((scratch / "tesla.xml").string());
    ExpectRuns({
        {"check " + tesla, 1, {"WARNING. Node names on a line after an empty BU_:"}},
        {"check --exact " + tesla, 2},
        {"convert --exact " + convert, 2},
        {"convert " + convert, 0},
        {"convert --exact " + tesla + " " + container, 2, {}, {"did not load; not converted"}},
        {"convert " + tesla + " " + container, 0},
    });
    EXPECT_EQ(RunJson("info --json " + container)["databases"][0]["messages"], 44);
}

// An ARXML container of PDUs behind headers: dump shows where each lies (whole-document reading
// only) and its frame, encode and decode find them there, generate-c leaves the container out.
TEST_F(ToolOnCorpus, ArxmlContainersWithHeadersEncodeDecodeAndDump) {
    const std::string file = Quote((kCorpus / "arxml" / "ct_system-4.2.arxml").string());
    const auto containerOf = [&](const std::string& options) {
        const json dump = RunJson("dump --json " + options + file);
        json container;
        for (const json& pdu : dump["pdus"]) {
            if (pdu["name"] == "OneToContainThemAll") container = pdu.value("container", json());
            if (pdu["name"] == "message1") {
                EXPECT_EQ(pdu["frame"], "Message1") << options;
            }
        }
        return container;
    };
    const json container = containerOf("");
    ASSERT_EQ(container["pdus"].size(), 5u);
    EXPECT_EQ(container["pdus"][1], json::parse(R"({"name": "message2", "headerId": 1912383,
                                                    "offset": 17, "length": 7})"));
    EXPECT_TRUE(containerOf("--exact ").is_null());
    const std::string payload = RunTool("encode " + file + " OneToContainThemAll signal3=1").out;
    EXPECT_EQ(payload.substr(0, 8), "1D2E3F07");  // message2 alone, behind its header
    const json decoded = RunJson("decode --json " + file + " OneToContainThemAll " + payload);
    EXPECT_EQ(decoded["signals"].size(), 3u);  // signal2, signal3, signal4
    EXPECT_EQ(decoded["signals"][1]["physical"], 1);
    tooltest::ScratchFolder scratch("tool_container_c");
    ExpectRuns({{"generate-c " + file + " -o " + Quote(scratch.Path().string()),
                 0,
                 {},
                 {"OneToContainThemAll sends PDUs behind headers"}}});
}

// LDF: a delay written "10ms" stops the described reader; the tool reads it with a warning.
TEST_F(ToolOnCorpus, LdfFilesAreReadTolerantlyUnlessExactIsAsked) {
    const std::string ldf = Quote((kCorpus / "ldf" / "ldfparser__lin_schedules.ldf").string());
    ExpectRuns({
        {"check " + ldf, 1, {"WARNING. Delay written without a blank before its unit"}},
        {"check --exact " + ldf, 2, {"Check Schedule Table Command: AssignFrameId"}},
        {"decode " + ldf + " LeftLightStatus 00", 0},
    });
}

}  // namespace
