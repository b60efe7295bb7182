// The container file through the tool: several files into one container, and the container
// read back by info, check and convert.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace container_tool {
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

nlohmann::json WithoutByteOrder(nlohmann::json json) {
    if (json.is_object()) {
        json.erase("byteOrder");
        for (auto& [key, value] : json.items()) value = WithoutByteOrder(value);
    } else if (json.is_array()) {
        for (auto& value : json) value = WithoutByteOrder(value);
    }
    return json;
}

// Diagnostic files go into the one library of the container; info and dump show its ECUs in
// the shapes of the CDD format, check names what the library skipped.
TEST(ToolContainer, DiagnosticFilesGoIntoOneLibrary) {
    const std::string container = Temp("diag.xml");
    ASSERT_EQ(RunQuillmere("convert " + kExamples + "door_ecu.cdd " + kExamples +
                           "powertrain.dbc " + container),
              0);
    std::string out;
    ASSERT_EQ(RunQuillmere("info --json " + container, &out), 0) << out;
    auto info = nlohmann::json::parse(out);
    ASSERT_EQ(info["databases"].size(), 1u);
    ASSERT_EQ(info["diagnostics"]["ecus"].size(), 1u);
    EXPECT_EQ(info["diagnostics"]["ecus"][0]["shortName"], "DoorFrontLeft");
    EXPECT_EQ(info["diagnostics"]["ecus"][0]["services"], 3);
    // The same ECU as the CDD file shows, but for the byte order, which the stored form does
    // not hold.
    ASSERT_EQ(RunQuillmere("dump --json " + container, &out), 0) << out;
    const auto dumped = WithoutByteOrder(nlohmann::json::parse(out)["diagnostics"]["ecus"][0]);
    ASSERT_EQ(RunQuillmere("dump --json " + kExamples + "door_ecu.cdd", &out), 0) << out;
    EXPECT_EQ(dumped["classes"],
              WithoutByteOrder(nlohmann::json::parse(out)["ecus"][0])["classes"]);
    EXPECT_EQ(RunQuillmere("check " + container, &out), 0) << out;

    // A stored library with a stray element and no ECU.
    FILE* file = std::fopen(container.c_str(), "wb");
    std::fputs(
        "<KOVR><Quillmere><DiagnoseLib><Ecu shortName=\"x\"/></DiagnoseLib></Quillmere></KOVR>",
        file);
    std::fclose(file);
    EXPECT_EQ(RunQuillmere("check " + container, &out), 1) << out;
    EXPECT_NE(out.find("element \"Ecu\" in \"DiagnoseLib\" skipped"), std::string::npos) << out;
    EXPECT_NE(out.find("the diagnostic library holds no ECU"), std::string::npos) << out;
    fs::remove(container);
}

}  // namespace container_tool
