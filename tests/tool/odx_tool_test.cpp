// The tool on the ODX side: ODX files, PDX archives and folders through info, dump, check and
// encode-request, and the PDX of the demo.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tool_support.h"

namespace odx_tool {
namespace {

const std::string kExamples = std::string(QM_SOURCE_DIR) + "/examples";
const std::string kPdx = kExamples + "/door_ecu.pdx";
const std::string kOdxFolder = kExamples + "/door_ecu_odx";

TEST(OdxTool, PdxInfoCountsDocumentsAndLayers) {
    const auto json = RunJson("info --json " + Quote(kPdx));
    EXPECT_EQ(json["ecus"].size(), 2u);
    // Door's DTCs: the DTC-DOP below the base variant.
    ExpectJsonHas(json, R"({"kind": "PDX", "format": "ODX_2.2.0", "documents": 2, "warnings": 0,
        "ecus": [{"shortName": "Door", "services": 4, "dtcs": 2},
                 {"shortName": "DoorFront", "base": false}]})");
}

TEST(OdxTool, AFolderAndItsArchiveGiveTheSameModel) {
    const json folder = RunJson("dump --json " + Quote(kOdxFolder));
    const json archive = RunJson("dump --json " + Quote(kPdx));
    EXPECT_EQ(folder["kind"], "ODX folder");
    EXPECT_EQ(folder["ecus"], archive["ecus"]);
}

TEST(OdxTool, GroupingAndEncodeRequest) {
    const auto json = RunJson("dump --json --grouping " + Quote(kPdx));
    ASSERT_TRUE(json["ecus"][1].contains("groups"));
    EXPECT_EQ(json["ecus"][1]["groups"][0]["name"], "10  Diagnostic Session Control");

    const std::string odx = Quote(kOdxFolder + "/door_ecu.odx-d");
    ExpectRuns({
        // The front door's own reset overrides the inherited one.
        {"encode-request " + Quote(kPdx) + " DoorFront HardReset", 0, {"=11 03\n"}},
        {"encode-request " + Quote(kPdx) + " Door HardReset", 0, {"=11 01\n"}},
        {"encode-request " + odx + " Door ReadWindowPosition", 0, {"=22 12 34\n"}},
        // --exact places the identifier after the service byte by the predecessor rule: byte 2.
        {"encode-request --exact " + odx + " Door ReadWindowPosition", 0, {"=22 12 34 00\n"}},
    });
}

TEST(OdxTool, CheckAndDemoPrintTheArchiveLinesAndCheckTheBuildWarnings) {
    tooltest::ScratchFolder scratch("odx_tool_check");
    const auto broken = scratch / "broken.odx";
    std::ofstream(broken)
        << "<?xml version='1.0'?><ODX MODEL-VERSION='2.2.0'><DIAG-LAYER-CONTAINER ID='C'>"
           "<SHORT-NAME>C</SHORT-NAME><BASE-VARIANTS><BASE-VARIANT "
           "ID='B'><SHORT-NAME>B</SHORT-NAME>"
           "<PARENT-REFS><PARENT-REF ID-REF='missing'/></PARENT-REFS></BASE-VARIANT>"
           "</BASE-VARIANTS></DIAG-LAYER-CONTAINER></ODX>";
    const auto notZip = scratch / "not.pdx";
    std::ofstream(notZip) << "plain text";
    ExpectRuns({
        {"check " + Quote(kPdx), 0, {"ODX count in PDX file: 2"}},
        {"check --json " + Quote(broken.string()),
         1,
         {"Unresolved REF: \\\"PARENT-REF\\\" ID=\\\"missing\\\""}},
        {"check " + Quote(notZip.string()), 2, {"cannot be read as a PDX file"}},
        {"info " + Quote(notZip.string()), 2, {}, {"cannot read"}},
        // The demo shows the archive.
        {"demo",
         0,
         {"Diagnostics (door_ecu.pdx)", "0x11 HardReset: request 11 03",
          "ODX count in PDX file: 2"}},
    });
}

}  // namespace
}  // namespace odx_tool
