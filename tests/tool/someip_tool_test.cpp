// The SOME/IP commands of the tool: the JSON of "someip", the files of "header", and the
// generic commands with --format someip.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tool_support.h"

namespace someip_tool {
namespace {

// The example's network with the mistakes of real extracts left in; the bundled example itself
// is clean.
const std::string kExample = QM_SOURCE_DIR "/tests/data/someip/services_with_quirks.arxml";
const std::string kBundledExample = QM_SOURCE_DIR "/examples/someip_services.arxml";

TEST(SomeIpTool, ServicesTopologyAndTypesAsJson) {
    const auto json = RunJson("someip " + kExample + " --json");
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
    // The services of whole-document reading, by default beside those of the described reader.
    ASSERT_EQ(json["services"].size(), 2u);
    EXPECT_EQ(json["services"][0]["serviceId"], 4660);
    EXPECT_EQ(json["counts"]["serviceDeployments"], 2);
    EXPECT_FALSE(RunJson("someip --exact " + kExample + " --json").contains("services"));
}

TEST(SomeIpTool, ReadableOutputAMissingFileAndTheGenericCommands) {
    ExpectRuns({
        {"someip " + kExample, 0, {"Radio"}},
        {"someip /nonexistent/file.arxml", -1},
        // The fixture carries deliberate warnings: check reports them with exit 1.
        {"check --format someip " + kExample, 1, {"Unsupported native declaration uint32."}},
        {"dump --format someip --json " + kExample, 0},
    });
    const auto info = RunJson("info --format someip --json " + kExample);
    EXPECT_EQ(info["kind"], "SOME/IP");
    EXPECT_EQ(info["services"], 2);
}

TEST(SomeIpTool, HeaderOfOneServiceToAFile) {
    const tooltest::ScratchFolder folder("someip_tool");
    const std::string out = (folder / "services.h").string();
    ASSERT_EQ(RunTool("header --exact " + kExample + " --service Navigation -o " + out).exitCode,
              0);
    ExpectTexts(ReadFile(out),
                {"struct Service_Navigation_Route\n", "!Service_Radio", "compatibility defines"});
}

TEST(SomeIpTool, WholeDocumentHeaderByDefault) {
    ExpectRuns({
        {"header " + kExample + " --service NavigationDeployment",
         0,
         {"namespace NavigationDeployment {", "!namespace RadioDeployment {"}},
        {"header " + kExample + " --service Nothing", -1},
        {"header --exact " + kExample + " --service Nothing", -1},
    });
}

// What a newcomer runs first: the bundled example passes its own checks in every reading.
TEST(SomeIpTool, TheBundledExampleChecksClean) {
    for (const char* flags : {"", "--exact", "--format someip", "--format someip --exact"}) {
        ExpectRuns({{"check " + std::string(flags) + " " + kBundledExample,
                     0,
                     {"=" + kBundledExample + ": loaded\n"}}});
    }
}

}  // namespace
}  // namespace someip_tool
