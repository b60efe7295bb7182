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
    ASSERT_EQ(json["ecus"].size(), 2u);
    EXPECT_EQ(json["ecus"][0]["services"][0]["eventGroups"][0]["events"].size(), 2u);
    // The services of whole-document reading, by default beside those of the described reader.
    ASSERT_EQ(json["services"].size(), 2u);
    ExpectJsonHas(json, R"({"status": "loaded", "dataTypes": [{"kind": "configuration"}],
        "services": [{"serviceId": 4660}], "counts": {"serviceDeployments": 2},
        "ecus": [{"services": [{"name": "Radio", "role": "provided", "serviceId": 4660,
            "fields": [{"setter": {"id": 2}}, {"getter": null}],
            "discovery": {"requestResponseDelayMax": 1.5}}]}],
        "ethernetClusters": [{"physicalChannel": {"connectionBundles": [{
            "serverPort": {"applicationEndpoint": {"port": 30501, "protocol": "udp"}},
            "connections": [{"pdus": [{"triggering": {"pdu": "VehicleSpeed"}}]}]}]}}]})");
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
    ExpectJsonHas(RunJson("info --format someip --json " + kExample),
                  R"({"kind": "SOME/IP", "services": 2})");
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
