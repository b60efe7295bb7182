// The writer's layout, the load-save-load round trip and the editing operations.
#include <gtest/gtest.h>

#include "ldf/ldf_writer.h"
#include "ldf_test_support.h"

namespace qm::ldf::test {
namespace {

std::string Written(NetConfigLdfFile& file) {
    return WriteLdfText(file.Model());
}

const std::string kFull =
    "/* Network: Body */\n" + Header("2.2") +
    "Channel_name = \"DB\";\n"
    "Nodes {\n  Master: CEM, 5 ms, 0.1 ms, 24 bits, 30 %;\n  Slaves: LSM, RSM;\n}\n"
    "Signals {\n  Request: 2, 0, CEM, LSM, RSM;\n  Bytes: 16, {0, 0}, LSM, CEM;\n"
    "  Alone: 8, 5, RSM;\n}\n"
    "Diagnostic_signals {\n  MasterReqB0: 8, 0;\n  MasterReqB1: 8, 0;\n}\n"
    "Frames {\n  CemFrame: 0x01, CEM, 1 {\n    Request, 0;\n  }\n"
    "  LsmFrame: 2, LSM, 2 {\n    Bytes, 0;\n  }\n  RsmFrame: 3, RSM, 1 {\n    Alone, 0;\n  }\n}\n"
    "Sporadic_frames {\n  Spor: CemFrame;\n}\n"
    "Event_triggered_frames {\n  Event: Resolver, 0x06, LsmFrame;\n}\n"
    "Diagnostic_frames {\n  MasterReq: 0x3c {\n    MasterReqB0, 0;\n    MasterReqB1, 8;\n  }\n}\n"
    "Node_attributes {\n  LSM {\n    LIN_protocol = \"2.2\";\n    configured_NAD = 10;\n"
    "    initial_NAD = 0x01;\n    product_id = 0x4A4F, 0x4841, 1;\n    response_error = Bytes;\n"
    "    fault_state_signals = Request;\n    P2_min = 150 ms;\n    ST_min = 0 ms;\n"
    "    response_tolerance = 40;\n"
    "    configurable_frames {\n      CemFrame = 0x0001;\n      LsmFrame;\n    }\n  }\n}\n"
    "Schedule_tables {\n  Resolver {\n    LsmFrame delay 10 ms;\n    AssignNAD { LSM } delay 15 "
    "ms;\n"
    "    ConditionalChangeNAD { 1, 2, 3, 4, 5, 6 } delay 15 ms;\n"
    "    DataDump { LSM, 1, 2, 3, 4, 5 } delay 15 ms;\n    SaveConfiguration { LSM } delay 15 ms;\n"
    "    AssignFrameIdRange { LSM, 0, 1, 2, 3, 4 } delay 15 ms;\n"
    "    FreeFormat { 1, 2, 3, 4, 5, 6, 7, 8 } delay 15 ms;\n"
    "    AssignFrameId { LSM, CemFrame } delay 15 ms;\n"
    "    UnassignFrameId { LSM, CemFrame } delay 15 ms;\n    MasterReq delay 20 ms;\n  }\n}\n"
    "Signal_groups {\n  Group : 16 {\n    Request, 0;\n  }\n}\n"
    "Signal_encoding_types {\n  Enc {\n    logical_value, 0, \"off\";\n"
    "    physical_value, 1, 254, 0.5, -1.25, \"lux\";\n    bcd_value;\n    ascii_value;\n  }\n}\n"
    "Signal_representation {\n  Enc: Request, Alone;\n}\n";

const std::string kExpected =
    "/* Network: Body */\r\n"
    "LIN_description_file ;\r\n"
    "LIN_protocol_version = \"2.2\";\r\n"
    "LIN_language_version = \"2.2\";\r\n"
    "LIN_speed = 19.2 kbps;\r\n"
    "Channel_name = \"DB\";\r\n"
    "Nodes {\r\n\tMaster: CEM, 5 ms, 0.1 ms, 24 bits, 30 %;\r\n\tSlaves: LSM, RSM;\r\n}\r\n"
    "Signals {\r\n\tRequest: 2, 0, CEM, LSM, RSM;\r\n\tBytes: 16, {0,0}, LSM, CEM;\r\n"
    "\tAlone: 8, 5, RSM;\r\n}\r\n"
    "Diagnostic_signals {\r\n\t\tMasterReqB0:8,0;\r\n\t\tMasterReqB1:8,0;\r\n}\r\n"
    "Frames {\r\n\tCemFrame: 1, CEM, 1 {\r\n\t\tRequest, 0;\r\n\t}\r\n"
    "\tLsmFrame: 2, LSM, 2 {\r\n\t\tBytes, 0;\r\n\t}\r\n\tRsmFrame: 3, RSM, 1 {\r\n\t\tAlone, "
    "0;\r\n"
    "\t}\r\n}\r\n"
    "Sporadic_frames {\r\n\tSpor: CemFrame;\r\n}\r\n"
    "Event_triggered_frames {\r\n\tEvent: Resolver, 0x06, LsmFrame;\r\n}\r\n"
    "Diagnostic_frames {\r\n\tMasterReq: 0x3C {\r\n\t\tMasterReqB0, 0;\r\n\t\tMasterReqB1, 8;\r\n"
    "\t}\r\n}\r\n"
    "Node_attributes {\r\n\tLSM {\r\n\t\tLIN_protocol = \"2.2\";\r\n\t\tconfigured_NAD=0x0A;\r\n"
    "\t\tinitial_NAD=0x01;\r\n\t\tproduct_id=0x4A4F, 0x4841, 0x01;\r\n\t\tresponse_error "
    "=Bytes;\r\n"
    "\t\tfault_state_signals = Request;\r\n\t\tP2_min = 150 ms;\r\n\t\tST_min = 0 ms;\r\n"
    "\t\tresponse_tolerance = 40 % ;\r\n"
    "\t\tconfigurable_frames {\r\n\t\t\tCemFrame = "
    "0x0001;\r\n\t\t\tLsmFrame;\r\n\t\t}\r\n\t}\r\n"
    "\tRSM {\r\n\t\tLIN_protocol = ;\r\n\t\tconfigured_NAD=0x00;\r\n\t}\r\n}\r\n"
    "Schedule_tables {\r\n\tResolver {\r\n\t\tLsmFrame delay 10 ms;\r\n"
    "\t\tAssignNAD {LSM} delay 15 ms;\r\n"
    "\t\tConditionalChangeNAD {1, 2, 3, 4, 5, 6} delay 15 ms;\r\n"
    "\t\tDataDump {LSM, 1, 2, 3, 4, 5} delay 15 ms;\r\n\t\tSaveConfiguration {LSM} delay 15 ms;\r\n"
    "\t\tAssignFrameIdRange {LSM, 0, 1, 2, 3, 4} delay 15 ms;\r\n"
    "\t\tFreeFormat {1, 2, 3, 4, 5, 6, 7, 8} delay 15 ms;\r\n"
    "\t\tAssignFrameId {LSM, CemFrame} delay 15 ms;\r\n"
    "\t\tUnassignFrameId {LSM, CemFrame} delay 15 ms;\r\n\t\tMasterReq delay 20 ms;\r\n\t}\r\n}\r\n"
    "Signal_groups {\r\n\tGroup : 16 {\r\n\t\tRequest, 0;\r\n\t}\r\n}\r\n"
    "Signal_encoding_types {\r\n\tEnc {\r\n\t\tlogical_value, 0, \"off\";\r\n"
    "\t\tphysical_value, 1, 254, 0.5, -1.25, \"lux\";\r\n\t\tbcd_value ;\r\n\t\tascii_value ;\r\n"
    "\t}\r\n}\r\n"
    "Signal_representation {\r\n\tEnc: Request, Alone;\r\n}\r\n";

// Every test of the suite starts from a fresh, empty NetConfigLdfFile.
class LdfWriter : public ::testing::Test {
  protected:
    NetConfigLdfFile file;
};

// Save writes every section in its layout; the file reads back to the same text.
TEST_F(LdfWriter, WritesEverySectionInItsLayoutAndReadsBackToTheSameText) {
    ASSERT_TRUE(LoadText(file, kFull));
    const std::string path = (TempDir() / "round.ldf").string();
    ASSERT_TRUE(file.Save(path.c_str()));
    EXPECT_EQ(ReadFile(path), kExpected);
    NetConfigLdfFile again;
    ASSERT_TRUE(again.Load(path.c_str()));
    EXPECT_EQ(again.GetResultCode(), 0);
    // The tolerance is written with its unit, and a value followed by its unit is not read.
    std::string expected = kExpected;
    const std::string tolerance = "\t\tresponse_tolerance = 40 % ;\r\n";
    expected.erase(expected.find(tolerance), tolerance.size());
    EXPECT_EQ(Written(again), expected);
    EXPECT_EQ(again.FindEventTriggeredFrame("Event")->GetCollisionResolvingScheduleTable(),
              again.FindScheduleTable("Resolver"));
}

TEST_F(LdfWriter, GivenFaultStateSignalsAreWrittenEvenWhenNoneWasFound) {
    ASSERT_TRUE(
        LoadText(file, Header() + kNodes +
                           "Node_attributes {\n  LSM {\n    LIN_protocol = \"2.1\";\n"
                           "    configured_NAD = 0x21;\n    fault_state_signals = Nowhere;\n"
                           "  }\n}\n"));
    ASSERT_EQ(file.FindSlaveNode("LSM")->HasFaultStateSignals(), 1);
    ASSERT_EQ(file.FindSlaveNode("LSM")->GetFaultStateSignalCount(), 0u);
    EXPECT_NE(Written(file).find("\t\tconfigured_NAD=0x21;\r\n\t\tfault_state_signals = ;\r\n\t}"),
              std::string::npos);
}

TEST_F(LdfWriter, NumberFormats) {
    ASSERT_TRUE(LoadText(file, Header()));
    EXPECT_NE(Written(file).find("LIN_speed = 19.2 kbps;\r\n"), std::string::npos);
    file.Model().speed = 20.0;
    EXPECT_NE(Written(file).find("LIN_speed = 20 kbps;\r\n"), std::string::npos);
    file.Model().speed = 0.0;
    EXPECT_NE(Written(file).find("LIN_speed = 0 kbps;\r\n"), std::string::npos);
    EXPECT_EQ(Written(file).find("LDF_file_revision"), std::string::npos);
}

// Hex numbers keep only their lowest digits of the width; reals lose trailing zeros and point.
TEST_F(LdfWriter, HexIsCutToItsWidthAndRealsLoseTrailingZeros) {
    ASSERT_TRUE(LoadText(
        file, Header("2.2") +
                  "Nodes {\n  Master: CEM, 1.250, 0.0000001 ms;\n  Slaves: LSM;\n}\n"
                  "Diagnostic_addresses {\n  LSM: 0x10;\n}\n"
                  "Signals {\n  S: 8, 0, LSM, CEM;\n}\n"
                  "Frames {\n  F: 2, LSM, 1 {\n    S, 0;\n  }\n}\n"
                  "Event_triggered_frames {\n  E: 0x3A, F;\n}\n"
                  "Node_attributes {\n  LSM {\n    LIN_protocol = \"2.2\";\n"
                  "    configured_NAD = 0x1FF;\n    product_id = 0x12345, 0xABCDE, 0x101;\n"
                  "    P2_min = -2.50 ms;\n  }\n}\n"));
    const std::string text = Written(file);
    ExpectTexts(
        text, {"\tMaster: CEM, 1.25 ms, 0 ms;\r\n", "Diagnostic_addresses {\r\n\tLSM:16;\r\n}\r\n",
               "\tE: 0x3A, F;\r\n", "\t\tconfigured_NAD=0xFF;\r\n",
               "\t\tproduct_id=0x2345, 0xBCDE, 0x01;\r\n", "\t\tP2_min = -2.5 ms;\r\n"});
    file.Model().speed = -0.0000001;
    EXPECT_NE(Written(file).find("LIN_speed = -0 kbps;\r\n"), std::string::npos);
}

TEST_F(LdfWriter, EmptyModelStillWritesTheMandatorySections) {
    EXPECT_EQ(Written(file),
              "LIN_description_file ;\r\nLIN_protocol_version = \"\";\r\n"
              "LIN_language_version = \"\";\r\nLIN_speed = 0 kbps;\r\nChannel_name = \"\";\r\n"
              "Signals {\r\n}\r\nFrames {\r\n}\r\nSignal_representation {\r\n}\r\n");
    const std::string path = (TempDir() / "empty.ldf").string();
    ASSERT_TRUE(file.Save(path.c_str()));
    NetConfigLdfFile again;
    EXPECT_TRUE(again.Load(path.c_str()));
}

TEST_F(LdfWriter, CommentLinesAreWrittenAsReadBeforeTheHeader) {
    // Only lines that begin with "/*" or "*" are comment lines; the blank-led ones are not kept.
    ASSERT_TRUE(LoadText(file, "/*******\n * banner\n*******/\n// note\n" + Header()));
    ASSERT_EQ(file.GetCommentCount(), 2u);
    EXPECT_EQ(Written(file).substr(0, 52),
              "/*******\r\n*******/\r\nLIN_description_file ;\r\nLIN_prot");
    NetConfigLdfFile open;
    ASSERT_TRUE(LoadText(open, "/*******\n * banner\n *******/\n" + Header()));
    ASSERT_EQ(open.GetCommentCount(), 1u);
    EXPECT_EQ(Written(open).substr(0, 34), "/*******\r\nLIN_description_file ;\r\n");
}

TEST_F(LdfWriter, PublisherThatNamesNoNodeIsWrittenEmpty) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes +
                                   "Signals {\n  S: 4, 0, Ghost, LSM;\n  T: 4, 0, Ghost;\n}\n"
                                   "Frames {\n  F: 1, Ghost, 1 {\n    S, 0;\n  }\n}\n"));
    ASSERT_EQ(file.FindStandardSignal("S")->GetPublisher(), nullptr);
    const std::string text = Written(file);
    EXPECT_NE(text.find("\tS: 4, 0, , LSM;\r\n\tT: 4, 0, ;\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tF: 1, , 1 {\r\n"), std::string::npos);
}

class LdfEdits : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = WriteTemp("edit.ldf", Header() + kNodes + kSignalsAndFrames);
        ASSERT_TRUE(file_.Load(path_.c_str()));
    }

    // Points the stored path at a folder that does not exist, so that every save fails.
    void BreakSaving() {
        const std::string broken = (TempDir() / "missing" / "edit.ldf").string();
        file_.SetPath(std::wstring(broken.begin(), broken.end()).c_str());
    }

    NetConfigLdfFile file_;
    std::string path_;
};

TEST_F(LdfEdits, EachEditChangesModelAndFileTogether) {
    EXPECT_EQ(file_.RenameSignal("Request", "Order"), 1);
    EXPECT_EQ(file_.FindStandardSignal("Request"), nullptr);
    ASSERT_NE(file_.FindStandardSignal("Order"), nullptr);
    EXPECT_NE(ReadFile(path_).find("\tOrder: 2, 0, CEM, LSM, RSM;"), std::string::npos);
    EXPECT_EQ(file_.SetSignalSize("Order", 3), 1);
    EXPECT_EQ(file_.FindStandardSignal("Order")->GetSize(), 3);
    const uint16_t values[] = {1, 2};
    EXPECT_EQ(file_.SetSignalInitialValues("Order", values, 2), 1);
    EXPECT_NE(ReadFile(path_).find("\tOrder: 3, {1,2}, CEM"), std::string::npos);
    EXPECT_EQ(file_.SetSignalInitialValue("Order", 9, 1), 1);
    EXPECT_EQ(file_.FindStandardSignal("Order")->GetInitialValue(1), 9);
    EXPECT_EQ(file_.SetSignalBitOffset("Order", 4), 1);
    EXPECT_NE(ReadFile(path_).find("\t\tOrder, 4;"), std::string::npos);
    EXPECT_EQ(file_.RenameFrame("CemFrame", "Command"), 1);
    EXPECT_NE(file_.FindFrame("Command"), nullptr);
    EXPECT_EQ(file_.SetFrameLength("Command", 8), 1);
    EXPECT_EQ(file_.SetFrameId("Command", 0x30), 1);
    EXPECT_EQ(file_.FindUnconditionalFrameById(0x30), file_.FindUnconditionalFrame("Command"));
    EXPECT_EQ(file_.FindUnconditionalFrameById(0x01), nullptr);
    EXPECT_NE(ReadFile(path_).find("\tCommand: 48, CEM, 8 {"), std::string::npos);
}

TEST_F(LdfEdits, RefusedEditsChangeNothing) {
    const std::string before = ReadFile(path_);
    EXPECT_EQ(file_.RenameSignal("Nobody", "X"), 0);
    EXPECT_EQ(file_.RenameSignal(nullptr, "X"), 0);
    EXPECT_EQ(file_.RenameSignal("Request", nullptr), 0);
    EXPECT_EQ(file_.SetSignalInitialValue("Request", 1, 1), 0);  // one value only
    EXPECT_EQ(file_.SetFrameId("request", 5), 0);                // names are case-sensitive
    EXPECT_EQ(file_.SetSignalInitialValues("Request", nullptr, 2), 0);
    EXPECT_EQ(ReadFile(path_), before);
}

TEST_F(LdfEdits, FailedSaveRestoresTheOldValue) {
    const std::string before = ReadFile(path_);
    BreakSaving();
    EXPECT_EQ(file_.RenameSignal("Request", "Order"), 0);
    EXPECT_NE(file_.FindStandardSignal("Request"), nullptr);
    EXPECT_EQ(file_.FindStandardSignal("Order"), nullptr);
    EXPECT_EQ(file_.SetSignalSize("Request", 7), 0);
    EXPECT_EQ(file_.FindStandardSignal("Request")->GetSize(), 2);
    const uint16_t values[] = {4, 5, 6};
    EXPECT_EQ(file_.SetSignalInitialValues("Request", values, 3), 0);
    EXPECT_EQ(file_.FindStandardSignal("Request")->GetInitialValueCount(), 1u);
    EXPECT_EQ(file_.SetSignalBitOffset("Request", 3), 0);
    EXPECT_EQ(file_.FindStandardSignal("Request")->GetBitOffset(), 0);
    EXPECT_EQ(file_.RenameFrame("CemFrame", "Command"), 0);
    EXPECT_NE(file_.FindFrame("CemFrame"), nullptr);
    EXPECT_EQ(file_.SetFrameLength("CemFrame", 4), 0);
    EXPECT_EQ(file_.FindUnconditionalFrame("CemFrame")->GetLength(), 1);
    EXPECT_EQ(file_.SetFrameId("CemFrame", 9), 0);
    EXPECT_EQ(file_.FindUnconditionalFrameById(1), file_.FindUnconditionalFrame("CemFrame"));
    EXPECT_EQ(ReadFile(path_), before);
}

}  // namespace
}  // namespace qm::ldf::test
