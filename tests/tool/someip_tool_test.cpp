// The SOME/IP commands of the tool: the JSON of "someip", the files of "header", and the
// generic commands with --format someip.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

namespace someip_tool {
namespace {

// The example's network with the mistakes of real extracts left in; the bundled example itself
// is clean.
const std::string kExample = QM_SOURCE_DIR "/tests/data/someip/services_with_quirks.arxml";
const std::string kBundledExample = QM_SOURCE_DIR "/examples/someip_services.arxml";

struct ToolRun {
    int exit = -1;
    std::string out;
};

ToolRun Tool(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string(QM_TOOL_PATH) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(SomeIpTool, ServicesTopologyAndTypesAsJson) {
    const ToolRun run = Tool("someip " + kExample + " --json");
    ASSERT_EQ(run.exit, 0);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["status"], "loaded");
    ASSERT_EQ(json["ecus"].size(), 2u);
    const auto& radio = json["ecus"][0]["services"][0];
    EXPECT_EQ(radio["name"], "Radio");
    EXPECT_EQ(radio["role"], "provided");
    EXPECT_EQ(radio["serviceId"], 4660);
    EXPECT_EQ(radio["fields"][0]["setter"]["id"], 2);
    EXPECT_TRUE(radio["fields"][1]["getter"].is_null());
    EXPECT_EQ(radio["eventGroups"][0]["events"].size(), 2u);
    EXPECT_EQ(radio["discovery"]["requestResponseDelayMax"], 1.5);
    const auto& bundle = json["ethernetClusters"][0]["physicalChannel"]["connectionBundles"][0];
    EXPECT_EQ(bundle["serverPort"]["applicationEndpoint"]["port"], 30501);
    EXPECT_EQ(bundle["serverPort"]["applicationEndpoint"]["protocol"], "udp");
    EXPECT_EQ(bundle["connections"][0]["pdus"][0]["triggering"]["pdu"], "VehicleSpeed");
    EXPECT_EQ(json["dataTypes"][0]["kind"], "configuration");
}

TEST(SomeIpTool, ReadableOutputAndAMissingFile) {
    const ToolRun readable = Tool("someip " + kExample);
    EXPECT_EQ(readable.exit, 0);
    EXPECT_NE(readable.out.find("Radio"), std::string::npos);
    EXPECT_NE(Tool("someip /nonexistent/file.arxml").exit, 0);
}

TEST(SomeIpTool, HeaderOfOneServiceToAFile) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() /
                                      ("qm_someip_tool_" + std::to_string(::getpid()) + ".h");
    ASSERT_EQ(Tool("header --exact " + kExample + " --service Navigation -o " + out.string()).exit,
              0);
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::remove(out);
    EXPECT_NE(text.str().find("struct Service_Navigation_Route\n"), std::string::npos);
    EXPECT_EQ(text.str().find("Service_Radio"), std::string::npos);
    EXPECT_NE(text.str().find("compatibility defines"), std::string::npos);
    EXPECT_NE(Tool("header --exact " + kExample + " --service Nothing").exit, 0);
}

TEST(SomeIpTool, WholeDocumentServicesCountsAndHeaderByDefault) {
    const auto json = nlohmann::json::parse(Tool("someip " + kExample + " --json").out);
    ASSERT_EQ(json["services"].size(), 2u);
    EXPECT_EQ(json["services"][0]["serviceId"], 4660);
    EXPECT_EQ(json["counts"]["serviceDeployments"], 2);
    EXPECT_FALSE(nlohmann::json::parse(Tool("someip --exact " + kExample + " --json").out)
                     .contains("services"));
    const ToolRun header = Tool("header " + kExample + " --service NavigationDeployment");
    ASSERT_EQ(header.exit, 0);
    EXPECT_NE(header.out.find("namespace NavigationDeployment {"), std::string::npos);
    EXPECT_EQ(header.out.find("namespace RadioDeployment {"), std::string::npos);
    EXPECT_NE(Tool("header " + kExample + " --service Nothing").exit, 0);
}

TEST(SomeIpTool, GenericCommandsWithTheFormat) {
    const ToolRun info = Tool("info --format someip --json " + kExample);
    ASSERT_EQ(info.exit, 0);
    const auto json = nlohmann::json::parse(info.out);
    EXPECT_EQ(json["kind"], "SOME/IP");
    EXPECT_EQ(json["services"], 2);
    // The fixture carries deliberate warnings: check reports them with exit 1.
    const ToolRun check = Tool("check --format someip " + kExample);
    EXPECT_EQ(check.exit, 1);
    EXPECT_NE(check.out.find("Unsupported native declaration uint32."), std::string::npos);
    EXPECT_EQ(Tool("dump --format someip --json " + kExample).exit, 0);
}

// What a newcomer runs first: the bundled example passes its own checks in every reading.
TEST(SomeIpTool, TheBundledExampleChecksClean) {
    for (const char* flags : {"", "--exact", "--format someip", "--format someip --exact"}) {
        const ToolRun check = Tool("check " + std::string(flags) + " " + kBundledExample);
        EXPECT_EQ(check.exit, 0) << flags << "\n" << check.out;
        EXPECT_EQ(check.out, kBundledExample + ": loaded\n") << flags;
    }
}

}  // namespace
}  // namespace someip_tool
