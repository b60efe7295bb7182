// "quillmere diff" and "dump --layout": each DBC or LDF edit is reported once as the field it
// changed; a DBC converted from an ARXML cluster equals it; layouts mark every bit of a signal.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dbc/netconfig_dbc_file.h"
#include "ldf/netconfig_ldf_file.h"
#include "tool_support.h"

namespace {

// The differences below `change` as "owner.kind", e.g. "frame.length" or "signal.renamed": its
// changed fields and attributes, then what its lists added, removed, renamed and changed.
void AddKinds(const json& change, const std::string& owner, std::vector<std::string>& kinds) {
    for (const json& field : change.value("fields", json::array()))
        kinds.push_back(owner + "." + field["field"].get<std::string>());
    for (size_t i = 0; i < change.value("attributes", json::array()).size(); ++i)
        kinds.push_back(owner + ".attribute");
    const std::pair<const char*, std::string> lists[] = {
        {"nodes", "node"}, {"frames", "frame"}, {"signals", "signal"}};
    for (const auto& [list, member] : lists) {
        const json set = change.value(list, json::object());
        for (const char* kind : {"added", "removed", "renamed"}) {
            for (size_t i = 0; i < set.value(kind, json::array()).size(); ++i)
                kinds.push_back(member + "." + kind);
        }
        for (const json& child : set.value("changed", json::array()))
            AddKinds(child, member, kinds);
    }
}

std::vector<std::string> DifferenceKinds(const json& report) {
    std::vector<std::string> kinds;
    for (const json& database : report["databases"]) AddKinds(database, "database", kinds);
    return kinds;
}

struct Diff {
    int exitCode = -1;
    json report;
};

Diff RunDiff(const fs::path& a, const fs::path& b, const std::string& extra = "") {
    const auto output =
        RunTool("diff --json " + extra + " " + Quote(a.string()) + " " + Quote(b.string()));
    Diff diff;
    diff.exitCode = output.exitCode;
    if (!output.out.empty()) diff.report = json::parse(output.out, nullptr, false);
    return diff;
}

// Both sides are copies of an example rewritten by the format's writer, so that only the edit
// tells them apart; the edit rewrites the file the object was loaded from (after).
template <class File, class Edit>
void WriteBeforeAndAfter(const fs::path& example, const fs::path& before, const fs::path& after,
                         const Edit& edit) {
    fs::copy_file(example, before);
    fs::copy_file(example, after);
    File rewritten;
    ASSERT_TRUE(rewritten.Load(before.string().c_str())) << before;
    ASSERT_TRUE(rewritten.Save(before.string().c_str()));
    File edited;
    ASSERT_TRUE(edited.Load(after.string().c_str())) << after;
    ASSERT_TRUE(edited.Save(after.string().c_str()));
    ASSERT_TRUE(edit(edited));
}

struct DbcEdit {
    const char* name;
    std::function<bool(NetConfigDbcFile&)> edit;
    const char* kind;
};

const DbcEdit kDbcEdits[] = {
    {"SignalName", [](auto& f) { return f.SetSignalName(256, "CoolantTemp", "WaterTemp"); },
     "signal.renamed"},
    {"MultiplexIndicator",
     [](auto& f) { return f.SetSignalMultiplexIndicator(768, "FuelRate", "m0"); },
     "signal.multiplexing"},
    {"StartBit", [](auto& f) { return f.SetSignalStartBit(256, "EngineState", 48); },
     "signal.start"},
    {"BitLength", [](auto& f) { return f.SetSignalBitLength(256, "EngineState", 1); },
     "signal.length"},
    {"ByteOrder", [](auto& f) { return f.SetSignalByteOrder(256, "CoolantTemp", '0'); },
     "signal.byteOrder"},
    {"ValueType", [](auto& f) { return f.SetSignalValueType(256, "CoolantTemp", '-'); },
     "signal.signed"},
    {"Factor", [](auto& f) { return f.SetSignalFactor(256, "Torque", 0.25, 2); }, "signal.factor"},
    {"Offset", [](auto& f) { return f.SetSignalOffset(256, "CoolantTemp", -50, 0); },
     "signal.offset"},
    {"Minimum", [](auto& f) { return f.SetSignalMinimum(256, "CoolantTemp", -30, 0); },
     "signal.minimum"},
    {"Maximum", [](auto& f) { return f.SetSignalMaximum(256, "CoolantTemp", 150, 0); },
     "signal.maximum"},
    {"Unit", [](auto& f) { return f.SetSignalUnit(256, "CoolantTemp", "K"); }, "signal.unit"},
    {"MessageId", [](auto& f) { return f.SetMessageId(512, 513); }, "frame.id"},
    {"MessageName", [](auto& f) { return f.SetMessageName(512, "Transmission"); }, "frame.name"},
    {"MessageSize", [](auto& f) { return f.SetMessageSize(512, 6); }, "frame.length"},
};

// The two sides differ by one edit: it is reported once, as `kind`.
void ExpectOneDifference(const fs::path& before, const fs::path& after, const std::string& kind) {
    const Diff diff = RunDiff(before, after);
    ASSERT_EQ(diff.exitCode, 1);
    EXPECT_EQ(DifferenceKinds(diff.report), std::vector<std::string>{kind}) << diff.report.dump(1);
    EXPECT_EQ(diff.report["differences"], 1);
    EXPECT_FALSE(diff.report["equal"].get<bool>());
}

class DbcEditDiff : public ::testing::TestWithParam<DbcEdit> {};

TEST_P(DbcEditDiff, IsReportedOnceAsTheFieldItChanged) {
    tooltest::ScratchFolder folder("diff_dbc");
    const fs::path before = folder / "before.dbc", after = folder / "after.dbc";
    WriteBeforeAndAfter<NetConfigDbcFile>(kExamples / "powertrain.dbc", before, after,
                                          GetParam().edit);
    ExpectOneDifference(before, after, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Edits, DbcEditDiff, ::testing::ValuesIn(kDbcEdits),
                         [](const auto& info) { return std::string(info.param.name); });

struct LdfEdit {
    const char* name;
    std::function<uint8_t(NetConfigLdfFile&)> edit;
    const char* kind;
};

const uint16_t kDimming[] = {50};

const LdfEdit kLdfEdits[] = {
    {"RenameSignal", [](auto& f) { return f.RenameSignal("Dimming", "Brightness"); },
     "signal.renamed"},
    {"SignalSize", [](auto& f) { return f.SetSignalSize("LeftTemperature", 7); }, "signal.length"},
    {"InitialValues", [](auto& f) { return f.SetSignalInitialValues("Dimming", kDimming, 1); },
     "signal.initialValue"},
    {"BitOffset", [](auto& f) { return f.SetSignalBitOffset("LightRequest", 2); }, "signal.start"},
    {"RenameFrame", [](auto& f) { return f.RenameFrame("LeftStatus", "LeftDoorStatus"); },
     "frame.name"},
    {"FrameLength", [](auto& f) { return f.SetFrameLength("LeftStatus", 5); }, "frame.length"},
    {"FrameId", [](auto& f) { return f.SetFrameId("LeftStatus", 0x13); }, "frame.id"},
};

class LdfEditDiff : public ::testing::TestWithParam<LdfEdit> {};

TEST_P(LdfEditDiff, IsReportedOnceAsTheFieldItChanged) {
    tooltest::ScratchFolder folder("diff_ldf");
    const fs::path before = folder / "before.ldf", after = folder / "after.ldf";
    WriteBeforeAndAfter<NetConfigLdfFile>(
        kExamples / "body.ldf", before, after,
        [this](NetConfigLdfFile& file) { return GetParam().edit(file) != 0; });
    ExpectOneDifference(before, after, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Edits, LdfEditDiff, ::testing::ValuesIn(kLdfEdits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Diff, EqualFilesExitZeroAndErrorsExitTwo) {
    for (const char* name : {"powertrain.dbc", "body.ldf", "bus_system.arxml", "door_ecu.cdd"}) {
        const Diff same = RunDiff(kExamples / name, kExamples / name);
        EXPECT_EQ(same.exitCode, 0) << name;
        EXPECT_TRUE(same.report["equal"].get<bool>()) << name;
    }
    const std::string powertrain = Quote((kExamples / "powertrain.dbc").string()) + " ";
    ExpectRuns({
        {"diff --json " + powertrain + "/nonexistent/x.dbc", 2},
        {"diff --json " + powertrain + Quote((kExamples / "door_ecu.cdd").string()), 2},
        {"diff " + powertrain + Quote((kExamples / "body.ldf").string()),
         1,
         {"- frame 0x100 EngineData"}},
    });
}

// Diagnostic files: a renamed qualifier is a service removed and one added; a renamed service
// a changed field.
TEST(Diff, DiagnosticServicesByQualifier) {
    tooltest::ScratchFolder folder("diff_diag");
    const std::string original = tooltest::ReadFile(kExamples / "door_ecu.cdd");
    const auto variant = [&](const std::string& from, const std::string& to) {
        std::string text = original;
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
            text.replace(at, from.size(), to);
            at += to.size();
        }
        const fs::path path = folder / (to.substr(0, to.find('<')) + ".cdd");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    };
    const Diff requalified =
        RunDiff(kExamples / "door_ecu.cdd", variant("ExtendedSession_Start", "Extended_Begin"));
    ASSERT_EQ(requalified.exitCode, 1);
    const json& ecu = requalified.report["ecus"]["changed"][0];
    EXPECT_EQ(ecu["services"]["removed"][0]["qual"], "ExtendedSession_Start");
    EXPECT_EQ(ecu["services"]["added"][0]["qual"], "Extended_Begin");
    EXPECT_EQ(requalified.report["differences"], 2);

    const Diff renamed =
        RunDiff(kExamples / "door_ecu.cdd", variant("Extended Session<", "Session<"));
    ASSERT_EQ(renamed.exitCode, 1);
    const json& change = renamed.report["ecus"]["changed"][0]["services"]["changed"][0];
    EXPECT_EQ(change["fields"][0]["field"], "name");
    EXPECT_EQ(renamed.report["differences"], 1);
}

TEST(Diff, DemoShowsALayoutAnEditedCopyAndAConvertedCluster) {
    const auto demo = RunTool("demo --examples " + Quote(kExamples.string()));
    ASSERT_EQ(demo.exitCode, 0);
    const size_t at = demo.out.find("Frame layouts and comparisons");
    ASSERT_NE(at, std::string::npos);
    ExpectTexts(demo.out.substr(at),
                {"Byte   0 |------------------------------x|  EngineSpeed", "3 difference(s)",
                 "signal CoolantTemp renamed to WaterTemp", "PowertrainCan (dbc): 0 difference(s)",
                 // The payload that decode reads back as the values given.
                 "CoolantTemp=90:\n    7017820000000000\n"});
}

// Checks a --layout --json drawing: one row per byte at least, every bit of every signal in the
// row of its byte (or marked as shared by multiplexed signals).
void ExpectLayoutMarksEveryBit(const json& layout, const std::string& where) {
    for (const json& signal : layout["signals"]) {
        ASSERT_EQ(signal["bits"].size(), signal["length"].get<size_t>()) << where;
        for (unsigned bit : signal["bits"]) {
            ASSERT_LT(bit / 8, layout["bytes"].size()) << where;
            const json& cell = layout["bytes"][bit / 8][7 - bit % 8];
            EXPECT_TRUE(cell == signal["name"] || cell == "*") << where << " " << signal;
        }
    }
}

// Each corpus network file compares equal to itself, and the layout of its first frame with
// signals marks every bit.
TEST(DiffCorpus, EveryFileEqualsItselfAndItsFirstFrameIsDrawn) {
    if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no corpus";
    std::map<std::string, int> compared, drawn;
    for (const char* kind : {"dbc", "ldf", "arxml"}) {
        for (const auto& entry : fs::directory_iterator(kCorpus / kind)) {
            const fs::path& file = entry.path();
            if (file.extension() != std::string(".") + kind || fs::file_size(file) > (4u << 20)) {
                continue;
            }
            const Diff self = RunDiff(file, file);
            if (self.exitCode == 2) continue;  // a file the readers refuse
            EXPECT_EQ(self.exitCode, 0) << file;
            ++compared[kind];
            const auto dump = RunTool("dump --json --format netconfig " + Quote(file.string()));
            const json model = json::parse(dump.out, nullptr, false);
            if (!model.contains("databases")) continue;
            std::string frame;
            for (const json& database : model["databases"]) {
                for (const json& message : database["messageList"]) {
                    if (frame.empty() && !message["signals"].empty()) frame = message["name"];
                }
            }
            if (frame.empty()) continue;
            const auto layout =
                RunTool("dump --json --layout " + Quote(frame) + " " + Quote(file.string()));
            ASSERT_EQ(layout.exitCode, 0) << file << " " << frame;
            ExpectLayoutMarksEveryBit(json::parse(layout.out), file.string() + " " + frame);
            ++drawn[kind];
        }
    }
    EXPECT_EQ(compared, (std::map<std::string, int>{{"arxml", 23}, {"dbc", 37}, {"ldf", 25}}));
    EXPECT_EQ(drawn, (std::map<std::string, int>{{"arxml", 8}, {"dbc", 34}, {"ldf", 25}}));
}

// Every bit of every signal is drawn in the row of its byte, whatever the format.
TEST(Layout, MarksEveryBitOfEverySignal) {
    struct Case {
        fs::path file;
        const char* frame;
        size_t rows;
    };
    const Case cases[] = {{kExamples / "powertrain.dbc", "EngineData", 8},
                          {kExamples / "powertrain.dbc", "0x200", 4},
                          {kExamples / "body.ldf", "LeftStatus", 4},
                          {kExamples / "bus_system.arxml", "0", 0}};
    for (const Case& c : cases) {
        const auto out =
            RunTool("dump --json --layout " + Quote(c.frame) + " " + Quote(c.file.string()));
        if (c.rows == 0) {
            EXPECT_NE(out.exitCode, 0);
            continue;
        }
        ASSERT_EQ(out.exitCode, 0) << c.file << " " << c.frame;
        const json layout = json::parse(out.out);
        EXPECT_EQ(layout["bytes"].size(), c.rows);
        ExpectLayoutMarksEveryBit(layout, c.file.string() + " " + c.frame);
    }
}

TEST(Layout, DrawsMotorolaSignalsFromMostToLeastSignificantBit) {
    ExpectRuns({{"dump --layout EngineData " + Quote((kExamples / "powertrain.dbc").string()),
                 0,
                 {// OilPressure: 55|8@0+, bits 55..48 of byte 6: a whole row from < to x.
                  "      6 |<-----------------------------x|  OilPressure",
                  // EngineSpeed: 0|16@1+: x at bit 0 of byte 0, < at bit 7 of byte 1.
                  "Byte   0 |------------------------------x|  EngineSpeed",
                  "      1 |<------------------------------|"}}});
}

// A multiplexed frame is drawn once per selector value, each with its own signals.
TEST(Layout, MultiplexedFramesOncePerSelectorValue) {
    const auto out =
        RunTool("dump --layout Diagnostics " + Quote((kExamples / "powertrain.dbc").string()));
    ASSERT_EQ(out.exitCode, 0);
    const size_t page0 = out.out.find("Page = 0:"), page1 = out.out.find("Page = 1:");
    ASSERT_NE(page0, std::string::npos);
    ASSERT_NE(page1, std::string::npos);
    EXPECT_EQ(out.out.find("|***|"), std::string::npos);  // no bits shared within one value
    const std::string first = out.out.substr(page0, page1 - page0);
    EXPECT_NE(first.find("  Odometer"), std::string::npos);
    EXPECT_EQ(first.find("  FuelRate"), std::string::npos);
    EXPECT_NE(out.out.find("  FuelRate", page1), std::string::npos);
}

}  // namespace
