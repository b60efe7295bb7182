// "check" on files that are empty, of another kind or cut short, in every format: the readers
// keep what they read without a word, so these must not pass as clean.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tool_support.h"

namespace {

std::string RandomBytes(size_t size) {
    std::mt19937 random(24);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

class BrokenInput : public ::testing::Test {
  protected:
    fs::path Write(const std::string& name, const std::string& content) {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // The first percent of a file's bytes, written under a new name.
    fs::path Cut(const fs::path& source, unsigned percent, const std::string& name) {
        const std::string text = ReadFile(source);
        return Write(name, text.substr(0, text.size() * percent / 100));
    }

    tooltest::ScratchFolder folder_{"broken_input"};
};

struct Expectation {
    int exitCode;
    std::string line;  // a text the output must hold
};

void ExpectCheck(const fs::path& path, const std::string& flags, const Expectation& expected) {
    SCOPED_TRACE(path.filename().string() + " " + flags);
    const auto output = RunQuillmere("check " + flags + " " + Quote(path.string()));
    EXPECT_EQ(output.exitCode, expected.exitCode) << output.text;
    EXPECT_NE(output.text.find(expected.line), std::string::npos) << output.text;
}

TEST_F(BrokenInput, CutDocumentsOfEveryXmlFormatAreNotClean) {
    struct Case {
        fs::path source;
        std::string name;
        std::string flags;
    };
    const std::vector<Case> cases = {
        {kExamples / "door_ecu.cdd", "cut.cdd", ""},
        {kExamples / "bus_system.arxml", "cut.arxml", ""},
        {kExamples / "someip_services.arxml", "cut_services.arxml", "--format someip"},
        {kExamples / "door_ecu_odx" / "door_ecu.odx-d", "cut.odx-d", ""},
        {kCorpus / "diag" / "Bootloader.cdd", "bootloader.cdd", ""},
        {kCorpus / "diag" / "EBC-Diagnostics_old.odx", "ebc.odx", ""},
    };
    for (const Case& c : cases) {
        if (!fs::exists(c.source)) continue;  // a corpus file without ../shared
        const fs::path cut = Cut(c.source, 37, c.name);
        const auto output = RunQuillmere("check " + c.flags + " " + cut.string());
        SCOPED_TRACE(c.name);
        EXPECT_GE(output.exitCode, 1) << output.text;
        ExpectTexts(output.text, {"document ends inside <", "> at line "});
    }
}

TEST_F(BrokenInput, ACutContainerIsNotClean) {
    const fs::path container = folder_ / "whole.xml";
    ExpectRuns({{"convert " + (kExamples / "powertrain.dbc").string() + " " +
                     (kExamples / "door_ecu.cdd").string() + " " + container.string(),
                 0}});
    ExpectCheck(container, "", {0, ": loaded"});
    ExpectCheck(Cut(container, 37, "cut.xml"), "--format container", {1, "document ends inside <"});
}

TEST_F(BrokenInput, BytesOfAnotherKindAreRefused) {
    const std::string random = RandomBytes(64 * 1024);
    ExpectCheck(Write("random.arxml", random), "", {2, "Not an ARXML file: "});
    ExpectCheck(Write("random_services.arxml", random), "--format someip",
                {2, "not an ARXML file: "});
    ExpectCheck(Write("random.cdd", random), "", {2, "not a CDD file: "});
    ExpectCheck(Write("random.odx", random), "", {2, "not an ODX file: "});
    const std::string foreign = "<?xml version=\"1.0\"?>\n<html><body/></html>\n";
    ExpectCheck(Write("page.arxml", foreign), "",
                {2, "Not an ARXML file: the root element is <html>, not <AUTOSAR>."});
    ExpectCheck(Write("page.cdd", foreign), "", {2, "not a CDD file: the root element is <html>"});
    ExpectCheck(Write("page.odx", foreign), "", {2, "not an ODX file: the root element is <html>"});
}

TEST_F(BrokenInput, EmptyFilesAreWarnings) {
    for (const char* name : {"empty.dbc", "empty.ldf", "empty.arxml", "empty.cdd", "empty.odx"}) {
        ExpectCheck(Write(name, ""), "", {1, "empty"});
    }
    ExpectCheck(Write("empty_services.arxml", ""), "--format someip", {1, "the file is empty"});
}

// Value descriptions keep negative and wide values in the dump (the DBC tests check how they
// are written back).
TEST_F(BrokenInput, ValueDescriptionsKeepTheirValuesInTheDump) {
    const fs::path dbc = Write("values.dbc",
                               "VERSION \"\"\n\nBU_: A\n\nBO_ 1 M: 8 A\n"
                               " SG_ S : 0|8@1- (1,0) [0|1] \"\" A\n\n"
                               "VAL_ 1 S -1 \"SNA\" 5000000000 \"wide\" 3 \"three\" ;\n");
    const auto dump = nlohmann::json::parse(RunTool("dump --json " + Quote(dbc.string())).out);
    const auto& values = dump["messages"][0]["signals"][0]["values"];
    EXPECT_EQ(values["-1"], "SNA");
    EXPECT_EQ(values["5000000000"], "wide");
}

TEST_F(BrokenInput, TheXmlCommandWarnsOnCutAndRefusesGarbage) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += "<a>\n";
    ExpectRuns({
        {"xml --stats " + Write("deep.xml", deep).string(),
         1,
         {},
         {"document ends inside <a> at line 20000"}},
        {"xml " + Write("noise.xml", "no markup here").string(),
         2,
         {},
         {"not an XML file: no XML element found"}},
        {"xml " + Write("empty.xml", "").string(), 1, {}, {"the file is empty"}},
        {"xml " + (kExamples / "bus_system.arxml").string(), 0},
    });
}

}  // namespace
