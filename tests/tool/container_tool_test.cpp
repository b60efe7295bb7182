// The container file through the tool: several files into one container, and the container
// read back by info, check and convert.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace {

namespace fs = std::filesystem;

int RunQuillmere(const std::string& arguments, std::string* out = nullptr) {
    FILE* pipe = ::popen((std::string(QM_TOOL_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t got = 0;
    std::string text;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, got);
    const int status = ::pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Temp(const std::string& name) {
    return (fs::temp_directory_path() / ("qm_tool_container_" + std::to_string(::getpid()) + name))
        .string();
}

const std::string kExamples = std::string(QM_SOURCE_DIR) + "/examples/";

}  // namespace

TEST(ToolContainer, ConvertGathersFilesAndTheContainerReadsBack) {
    const std::string container = Temp("all.xml");
    ASSERT_EQ(RunQuillmere("convert " + kExamples + "powertrain.dbc " + kExamples + "body.ldf " +
                           kExamples + "bus_system.arxml " + container),
              0);
    std::string out;
    ASSERT_EQ(RunQuillmere("info --json " + container, &out), 0) << out;
    const auto info = nlohmann::json::parse(out);
    EXPECT_EQ(info["kind"], "container");
    // LIN buses first: the example LDF and the ARXML LIN cluster, then both CAN buses; the
    // ARXML Ethernet cluster is not stored.
    ASSERT_EQ(info["databases"].size(), 4u);
    EXPECT_EQ(info["databases"][0]["busType"], "LIN");
    EXPECT_EQ(info["databases"][3]["busType"], "CAN");
    EXPECT_EQ(RunQuillmere("check " + container, &out), 0) << out;

    const std::string dbc = Temp("back.dbc");
    EXPECT_EQ(RunQuillmere("convert " + container + " " + dbc + " --cluster Powertrain"), 0);
    EXPECT_EQ(RunQuillmere("check " + dbc, &out), 0) << out;
    fs::remove(dbc);
    fs::remove(container);
}

TEST(ToolContainer, BadContainersAndInputsFailCleanly) {
    const std::string container = Temp("bad.xml");
    FILE* file = std::fopen(container.c_str(), "wb");
    std::fputs("<KOVR><Other/></KOVR>", file);
    std::fclose(file);
    std::string out;
    EXPECT_EQ(RunQuillmere("check " + container, &out), 2) << out;
    EXPECT_NE(RunQuillmere("info " + container, &out), 0);
    EXPECT_NE(RunQuillmere("convert " + kExamples + "missing.dbc " + Temp("x.xml"), &out), 0);
    EXPECT_NE(out.find("quillmere: "), std::string::npos);
    fs::remove(container);
}
