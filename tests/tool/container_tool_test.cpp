// The container file through the tool: several files into one container, and the container
// read back by info, check and convert.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tool_support.h"

namespace container_tool {
namespace {

const std::string kExamples = std::string(QM_SOURCE_DIR) + "/examples/";

}  // namespace

TEST(ToolContainer, ConvertGathersFilesAndTheContainerReadsBack) {
    const tooltest::ScratchFolder scratch("tool_container");
    const std::string container = (scratch / "all.xml").string();
    ExpectRuns({{"convert " + kExamples + "powertrain.dbc " + kExamples + "body.ldf " + kExamples +
                     "bus_system.arxml " + container,
                 0}});
    const auto info = RunJson("info --json " + container);
    EXPECT_EQ(info["kind"], "container");
    // LIN buses first: the example LDF and the ARXML LIN cluster, then both CAN buses; the
    // ARXML Ethernet cluster is not stored.
    ASSERT_EQ(info["databases"].size(), 4u);
    EXPECT_EQ(info["databases"][0]["busType"], "LIN");
    EXPECT_EQ(info["databases"][3]["busType"], "CAN");
    const std::string dbc = (scratch / "back.dbc").string();
    ExpectRuns({{"check " + container, 0},
                {"convert " + container + " " + dbc + " --cluster Powertrain", 0},
                {"check " + dbc, 0}});
}

TEST(ToolContainer, BadContainersAndInputsFailCleanly) {
    const tooltest::ScratchFolder scratch("tool_container");
    const std::string container = (scratch / "bad.xml").string();
    std::ofstream(container) << "<KOVR><Other/></KOVR>";
    ExpectRuns({
        {"check " + container, 2},
        {"info " + container, -1},
        {"convert " + kExamples + "missing.dbc " + (scratch / "x.xml").string(),
         -1,
         {},
         {"quillmere: "}},
    });
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
    const tooltest::ScratchFolder scratch("tool_container");
    const std::string container = (scratch / "diag.xml").string();
    ExpectRuns(
        {{"convert " + kExamples + "door_ecu.cdd " + kExamples + "powertrain.dbc " + container,
          0}});
    const auto info = RunJson("info --json " + container);
    ASSERT_EQ(info["databases"].size(), 1u);
    ASSERT_EQ(info["diagnostics"]["ecus"].size(), 1u);
    ExpectJsonHas(info,
                  R"({"diagnostics": {"ecus": [{"shortName": "DoorFrontLeft", "services": 3}]}})");
    // The same ECU as the CDD file shows, but for the byte order, which the stored form does
    // not hold.
    const auto dumped =
        WithoutByteOrder(RunJson("dump --json " + container)["diagnostics"]["ecus"][0]);
    EXPECT_EQ(dumped["classes"], WithoutByteOrder(RunJson("dump --json " + kExamples +
                                                          "door_ecu.cdd")["ecus"][0])["classes"]);
    ExpectRuns({{"check " + container, 0}});

    // A stored library with a stray element and no ECU.
    std::ofstream(container)
        << "<KOVR><Quillmere><DiagnoseLib><Ecu shortName=\"x\"/></DiagnoseLib></Quillmere></KOVR>";
    ExpectRuns(
        {{"check " + container,
          1,
          {"element \"Ecu\" in \"DiagnoseLib\" skipped", "the diagnostic library holds no ECU"}}});
}

}  // namespace container_tool
