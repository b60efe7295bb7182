// The reader: header values, the dispatcher's line handling, every section's statements and the
// messages and result codes of failing sections.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "expect_fields.h"
#include "ldf/ldf_read_context.h"
#include "ldf/ldf_writer.h"
#include "ldf_test_support.h"

using ::testing::HasSubstr;

namespace qm::ldf::test {
namespace {

// Every test of the suite starts from a fresh, empty NetConfigLdfFile.
class LdfReader : public ::testing::Test {
  protected:
    NetConfigLdfFile file;
};

TEST_F(LdfReader, OnlyCommentsAndDescriptionLineLoadCleanly) {
    EXPECT_TRUE(LoadText(file, "/* a comment */\nLIN_description_file ;\n"));
    QM_EXPECT_FIELDS(file, (GetResultCode(), 0), (GetLastLoadResult(), 1));
    EXPECT_EQ(MessagesOf(file), "");
    ASSERT_EQ(file.GetCommentCount(), 1u);
    EXPECT_STREQ(file.GetComment(0), "/* a comment */");
    EXPECT_EQ(std::string(file.GetMessages()).rfind("Measure time: ", 0), 0u);
}

TEST_F(LdfReader, HeaderValuesAreStoredWithoutQuotes) {
    ASSERT_TRUE(LoadText(file, Header("2.1") + "LDF_file_revision = \"7.3\";\n"
                                               "Channel_name = \"DB\";\n"
                                               "LIN_sig_byte_order_big_endian;\n"));
    QM_EXPECT_FIELDS(file, (GetProtocolVersion(), "2.1"), (GetLanguageVersion(), "2.1"),
                     (GetFileRevision(), "7.3"), (GetSpeed(), 19.2), (GetChannelName(), "DB"));
    EXPECT_EQ(file.Model().bigEndian, 1);
    QM_EXPECT_FIELDS(file, (GetVersion(), "1.42"), (GetFileType(), 0));
}

TEST_F(LdfReader, NetworkNameComesFromTheBannerOrTheFileName) {
    NetConfigLdfFile banner;
    ASSERT_TRUE(LoadText(banner, "/*  Network: LIN_DummyBus */\nLIN_description_file;\n"));
    EXPECT_STREQ(banner.GetName(), "LIN_DummyBus");
    NetConfigLdfFile plain;
    ASSERT_TRUE(LoadText(plain, "LIN_description_file;\n", "door_bus.ldf"));
    EXPECT_STREQ(plain.GetName(), "door_bus");
}

// A statement may spread over several lines with comments, and read tolerantly, share the
// keyword's line; an empty section on one line before it does not stop the reading.
TEST_F(LdfReader, StatementsAreReadWhateverTheirLayout) {
    for (const std::string nodes :
         {"Signal_groups { }\nNodes {\n  Master: CEM, 5 ms, 0.1 ms;\n  Slaves: LSM;\n}\n",
          "Nodes { Master: CEM, 5 ms, 0.1 ms;\n  Slaves: LSM;\n}\n",
          "Nodes\n{\n  Master:\n    CEM, /* name */\n    5 ms,\n    0.1 ms; // jitter\n"
          "  Slaves:\n    LSM;\n}\n"}) {
        SCOPED_TRACE(nodes);
        NetConfigLdfFile file;
        ASSERT_TRUE(LoadTolerantText(file, Header() + nodes));
        ASSERT_NE(file.GetMasterNode(), nullptr);
        QM_EXPECT_FIELDS(*file.GetMasterNode(), (GetName(), "CEM"), (GetTimeBase(), 5.0),
                         (GetJitter(), 0.1));
        EXPECT_EQ(file.GetSlaveNodeCount(), 1u);
    }
    // The described reader goes on with the line after the keyword's: a statement there is not
    // read, and a keyword line that ends in "}" is an empty section.
    const std::string text = Header() + "Nodes { Master: CEM, 5 ms, 0.1 ms;\n  Slaves: LSM;\n}\n" +
                             kSignalsAndFrames + "dynamic_frames { 2 }\n";
    for (const bool tolerant : {false, true}) {
        NetConfigLdfFile file;
        ASSERT_TRUE(tolerant ? LoadTolerantText(file, text) : LoadText(file, text));
        EXPECT_EQ(file.GetMasterNode() != nullptr, tolerant);
        EXPECT_EQ(file.FindUnconditionalFrame("LsmFrame")->IsDynamic(), tolerant ? 1 : 0);
    }
}

// Read tolerantly, blocks and statements written on one line read as if written out, braces
// that hold no ";" staying within their statement; the described reader reads a line at a
// time, so a section written on one line is empty there.
TEST_F(LdfReader, BlocksOnOneLineReadAsWrittenOut) {
    const std::string signals = "Signals {\n  A: 8, 0, S, M;\n  B: 16, {0, 2}, S, M;\n}\n";
    const std::string compact =
        Header("2.2") + "Nodes { Master: M, 5 ms, 0.1 ms; Slaves: S; }\n" + signals +
        "Frames { F: 0x20, S, 3 { A, 0; B, 8; } }\n"
        "Node_attributes { S { LIN_protocol = \"2.1\"; configured_NAD = 0x0A; "
        "configurable_frames { F; } } }\n"
        "Schedule_tables { T { F delay 10 ms; AssignNAD { S } delay 5 ms; } }\n"
        "Signal_encoding_types { E { logical_value, 0, \"off\"; logical_value, 1, \"on\"; } }\n"
        "Signal_representation { E: A; }\n";
    const std::string writtenOut =
        Header("2.2") + "Nodes {\n  Master: M, 5 ms, 0.1 ms;\n  Slaves: S;\n}\n" + signals +
        "Frames {\n  F: 0x20, S, 3 {\n    A, 0;\n    B, 8;\n  }\n}\n"
        "Node_attributes {\n  S {\n    LIN_protocol = \"2.1\";\n    configured_NAD = 0x0A;\n"
        "    configurable_frames {\n      F;\n    }\n  }\n}\n"
        "Schedule_tables {\n  T {\n    F delay 10 ms;\n    AssignNAD { S } delay 5 ms;\n  }\n}\n"
        "Signal_encoding_types {\n  E {\n    logical_value, 0, \"off\";\n"
        "    logical_value, 1, \"on\";\n  }\n}\n"
        "Signal_representation {\n  E: A;\n}\n";
    NetConfigLdfFile expected;
    ASSERT_TRUE(LoadTolerantText(expected, writtenOut));
    NetConfigLdfFile file;
    ASSERT_TRUE(LoadTolerantText(file, compact));
    EXPECT_EQ(MessagesOf(file), MessagesOf(expected));
    EXPECT_EQ(WriteLdfText(file.Model()), WriteLdfText(expected.Model()));
    ASSERT_NE(file.FindUnconditionalFrame("F"), nullptr);
    EXPECT_EQ(file.FindUnconditionalFrame("F")->GetSignalCount(), 2u);

    NetConfigLdfFile described;
    ASSERT_TRUE(LoadText(described, compact));
    EXPECT_EQ(described.FindUnconditionalFrame("F"), nullptr);

    // Which braces open blocks is worked out in one pass: a line of 400,000 unclosed braces
    // took minutes when each brace looked ahead to its end.
    NetConfigLdfFile braces;
    const auto start = std::chrono::steady_clock::now();
    LoadTolerantText(braces, "X " + std::string(400000, '{') + "\n" + Header());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Lines the dispatcher reports: each text loads (or stops) with exactly these messages.
TEST_F(LdfReader, DispatcherLinesAndTheirMessages) {
    struct Case {
        std::string text;
        bool loads;
        std::string messages;
        double speed;
        int sectionCode = -1;  // checked when given
    };
    const std::vector<Case> cases = {
        {"LIN_description_file;\n}\nLIN_speed = 10 kbps;\n", true,
         "Redundant bracket. Line(2) }.\r\n", 10.0},
        {"LIN_description_file;\nBogus_section {\nLIN_speed = 10 kbps;\n", false,
         "Possible undefined tag, check this line: Line(2) Bogus_section {\r\n", 0.0, 71},
        {"node_capability_file ;\n", false,
         "Node capability file format not supported. Line(1) node_capability_file ;.\r\n", 0.0},
        {"LIN_description_file;\n\x1a\n", true, "", 0.0},
        // An unterminated block comment swallows the rest.
        {"LIN_description_file;\n  /* open\nLIN_speed = 10 kbps;\n", true, "", 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        NetConfigLdfFile file;
        EXPECT_EQ(LoadText(file, c.text), c.loads);
        EXPECT_EQ(MessagesOf(file), c.messages);
        EXPECT_DOUBLE_EQ(file.GetSpeed(), c.speed);
        if (c.sectionCode >= 0) {
            EXPECT_EQ(file.Model().sectionCode, c.sectionCode);
        }
    }
}

TEST_F(LdfReader, MissingFileGivesResultCode254) {
    EXPECT_FALSE(file.Load((TempDir() / "does_not_exist.ldf").c_str()));
    EXPECT_EQ(file.GetResultCode(), 254);
    EXPECT_EQ(MessagesOf(file), "");
    EXPECT_STREQ(file.GetName(), "does_not_exist");
}

TEST_F(LdfReader, NodesWithOptionalMasterFields) {
    ASSERT_TRUE(LoadText(file, Header() + "Nodes {\n  Master: CEM, 5 ms, 0.1 ms, 24 bits, 30 %;\n"
                                          "  Slaves: A, B, C;\n}\n"));
    ILdfMasterNode* master = file.GetMasterNode();
    ASSERT_NE(master, nullptr);
    QM_EXPECT_FIELDS(*master, (GetBitLength(), 24u), (GetTolerant(), 30));
    QM_EXPECT_FIELDS(file, (GetNodeCount(), 4u), (IndexOfMasterNode(), 0u));
    EXPECT_STREQ(file.GetLastNode()->GetName(), "C");
    EXPECT_EQ(file.GetSlaveNode(1)->IsSlave(), 1);
}

TEST_F(LdfReader, SignalsBindPublisherSubscribersAndByteArrays) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes +
                                   "Signals {\n  Data: 24, {0x01, 2, 3}, LSM, CEM, RSM;\n"
                                   "  Plain: 4, 0x0A, CEM, LSM;\n}\n"));
    ILdfStandardSignal* data = file.FindStandardSignal("Data");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->IsByteArray(), 1);
    ASSERT_EQ(data->GetInitialValueCount(), 3u);
    QM_EXPECT_FIELDS(*data, (GetInitialValue(0), 1), (GetInitialValue(2), 3),
                     (GetInitialValue(3), 0));
    EXPECT_STREQ(data->GetPublisher()->GetName(), "LSM");
    EXPECT_EQ(data->GetSubscriberCount(), 2u);
    EXPECT_EQ(file.FindNode("CEM")->GetSubscribedSignalCount(), 1u);
    ILdfStandardSignal* plain = file.FindStandardSignal("Plain");
    QM_EXPECT_FIELDS(*plain, (IsByteArray(), 0), (GetInitialValue(0), 10),
                     (GetType(), "unsignedType"), (GetByteOrder(), "littleEndian"),
                     (GetBitOrder(), 1));
}

TEST_F(LdfReader, FramesBindSignalsSubscribersAndComputeMissingLengths) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes +
                                   "Signals {\n  A: 4, 0, LSM, CEM;\n  B: 9, 0, LSM, CEM;\n}\n"
                                   "Frames {\n  F: 0x10, LSM {\n    A, 0;\n    B, 4;\n  }\n}\n"));
    ILdfUnconditionalFrame* frame = file.FindUnconditionalFrame("F");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetLength(), 2);  // (4 + 9) / 8 rounded up
    EXPECT_EQ(frame->GetFrameId(), 0x10);
    EXPECT_STREQ(frame->GetPublisher()->GetName(), "LSM");
    EXPECT_EQ(frame->GetSignalCount(), 2u);
    EXPECT_STREQ(frame->GetLastSignal()->GetName(), "B");
    QM_EXPECT_FIELDS(*file.FindStandardSignal("B"), (GetBitOffset(), 4), (GetFrame(), frame));
    ILdfNode* cem = file.FindNode("CEM");
    EXPECT_EQ(cem->GetSubscribedFrameCount(), 1u);  // once, although two signals lead there
    EXPECT_EQ(file.FindNode("LSM")->FindPublishedFrame("F"), frame);
    EXPECT_EQ(MessagesOf(file),
              "WARNING. Frame F has not defined length. Line(14)   F: 0x10, LSM {.\r\n");
    EXPECT_EQ(file.FindUnconditionalFrameById(0x10), frame);
}

TEST_F(LdfReader, FramesSharingANameAreSubscribedOnce) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes +
                                   "Signals {\n  A: 4, 0, LSM, CEM;\n  B: 4, 0, LSM, CEM;\n"
                                   "  C: 4, 0, RSM, CEM;\n}\n"
                                   "Frames {\n  F: 1, LSM, 1 {\n    A, 0;\n  }\n"
                                   "  G: 2, RSM, 1 {\n    C, 0;\n  }\n"
                                   "  F: 3, LSM, 1 {\n    B, 0;\n  }\n}\n"));
    ILdfNode* cem = file.FindNode("CEM");
    ASSERT_EQ(cem->GetSubscribedFrameCount(), 2u);
    EXPECT_STREQ(cem->GetSubscribedFrame(0)->GetName(), "F");
    EXPECT_STREQ(cem->GetSubscribedFrame(1)->GetName(), "G");
    EXPECT_EQ(file.FindUnconditionalFrame("F")->GetFrameId(), 1);
}

TEST_F(LdfReader, UnknownSignalInFrameIsSkippedWithAWarning) {
    ASSERT_TRUE(
        LoadText(file, Header() + kNodes +
                           "Signals {\n  A: 4, 0, LSM, CEM;\n}\n"
                           "Frames {\n  F: 1, LSM, 1 {\n    Ghost, 0;\n    A, 0;\n  }\n}\n"));
    EXPECT_EQ(MessagesOf(file),
              "WARNING. Missing signal definition: Ghost. Line(14)     Ghost, 0;.\r\n");
    EXPECT_EQ(file.FindUnconditionalFrame("F")->GetSignalCount(), 1u);
}

TEST_F(LdfReader, DiagnosticSignalsAndFrames) {
    ASSERT_TRUE(LoadText(
        file, Header() + "Diagnostic_signals {\n  MasterReqB0: 8, 0;\n  MasterReqB1: 8, 0;\n}\n"
                         "Diagnostic_frames {\n  MasterReq: 0x3c {\n    MasterReqB0, 0;\n"
                         "    MasterReqB1, 8;\n  }\n}\n"));
    EXPECT_EQ(file.Model().diagnosticSignalsPresent, 1);
    ILdfDiagnosticFrame* request = file.FindDiagnosticFrame("MasterReq");
    ASSERT_NE(request, nullptr);
    QM_EXPECT_FIELDS(*request, (GetFrameId(), 0x3C), (IsMasterRequest(), 1), (IsSlaveResponse(), 0),
                     (GetDiagnosticSignalCount(), 2u));
    EXPECT_EQ(file.FindDiagnosticSignal("MasterReqB1")->GetFrame(), request);
    QM_EXPECT_FIELDS(file, (GetSignalCount(), 2u), (GetFrameDiagnosticSignalCount(), 2u),
                     (GetUnusedDiagnosticSignalCount(), 0u),
                     (FindDiagnosticFrameById(0x3C), request));
}

TEST_F(LdfReader, SporadicAndEventTriggeredFrames) {
    ASSERT_TRUE(LoadText(file, Header("2.1") + kNodes + kSignalsAndFrames +
                                   "Sporadic_frames {\n  Spor: CemFrame, Ghost;\n}\n"
                                   "Event_triggered_frames {\n"
                                   "  Event: Resolver, 0x06, LsmFrame, RsmFrame;\n"
                                   "  Old: 0x07, LsmFrame;\n}\n"));
    ILdfSporadicFrame* sporadic = file.FindSporadicFrame("Spor");
    ASSERT_NE(sporadic, nullptr);
    EXPECT_EQ(sporadic->GetAssociatedFrameCount(), 1u);
    EXPECT_EQ(sporadic->FindAssociatedFrameById(1), file.FindUnconditionalFrame("CemFrame"));
    ILdfEventTriggeredFrame* event = file.FindEventTriggeredFrame("Event");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->GetFrameId(), 6);
    ASSERT_NE(event->GetCollisionResolvingScheduleTable(), nullptr);
    EXPECT_STREQ(event->GetCollisionResolvingScheduleTable()->GetName(), "Resolver");
    EXPECT_EQ(event->GetAssociatedFrameCount(), 2u);
    ILdfEventTriggeredFrame* old = file.FindEventTriggeredFrame("Old");
    QM_EXPECT_FIELDS(*old, (GetFrameId(), 7), (GetCollisionResolvingScheduleTable(), nullptr));
    EXPECT_EQ(file.FindEventTriggeredFrameById(7), old);
    EXPECT_EQ(MessagesOf(file),
              "Missing frame definition: Ghost. Line(28)   Spor: CemFrame, Ghost;.\r\n");
    EXPECT_EQ(file.GetFrameCount(), 6u);
}

TEST_F(LdfReader, NodeAttributesOfASlave) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes + kSignalsAndFrames +
                                   "Node_attributes {\n  LSM {\n"
                                   "    LIN_protocol = \"2.1\";\n"
                                   "    configured_NAD = 0x0A;\n"
                                   "    initial_NAD = 0x01;\n"
                                   "    product_id = 0x4A4F, 0x4841, 2;\n"
                                   "    response_error = LsmError;\n"
                                   "    fault_state_signals = LeftSwitch, LsmError;\n"
                                   "    P2_min = 150 ms;\n"
                                   "    ST_min = 20;\n"
                                   "    N_As_timeout = 900 ms;\n"
                                   "    N_Cr_timeout = 800;\n"
                                   "    response_tolerance = 38;\n"
                                   "    configurable_frames {\n"
                                   "      CemFrame = 0x0010; LsmFrame;\n"
                                   "      Ghost = 3;\n"
                                   "    }\n  }\n}\n"));
    ILdfSlaveNode* lsm = file.FindSlaveNode("LSM");
    ASSERT_NE(lsm, nullptr);
    QM_EXPECT_FIELDS(*lsm, (GetLinProtocol(), "\"2.1\""), (GetConfiguredNad(), 10),
                     (HasInitialNad(), 1), (GetInitialNad(), 1));
    ASSERT_NE(lsm->GetProductId(), nullptr);
    QM_EXPECT_FIELDS(*lsm->GetProductId(), (GetSupplierId(), 0x4A4F), (GetFunctionId(), 0x4841),
                     (HasVariant(), 1), (GetVariant(), 2));
    EXPECT_STREQ(lsm->GetResponseErrorSignal()->GetName(), "LsmError");
    QM_EXPECT_FIELDS(*lsm, (GetFaultStateSignalCount(), 1u), (GetP2Min(), 150.0),
                     (GetStMin(), 20.0));
    // A timeout followed by its unit is not taken; without it, it is.
    QM_EXPECT_FIELDS(*lsm, (HasNAsTimeout(), 0), (GetNAsTimeout(), 1000.0), (HasNCrTimeout(), 1),
                     (GetNCrTimeout(), 800.0), (GetResponseTolerance(), 38));
    ASSERT_EQ(lsm->GetConfigurableFrameCount(), 3u);
    EXPECT_EQ(lsm->GetConfigurableFrame(0)->GetFrame(), file.FindFrame("CemFrame"));
    EXPECT_EQ(lsm->GetConfigurableFrame(2)->GetFrame(), nullptr);
    QM_EXPECT_FIELDS(*lsm, (GetConfigurableMessageIdByFrameName("CemFrame"), 0x10),
                     (GetConfigurableMessageIdByFrameId(1), 0x10),
                     (GetConfigurableMessageIdByFrameName("LsmFrame"), 65535));
    // The list is split at blanks, not commas: "LeftSwitch," names no signal.
    EXPECT_EQ(MessagesOf(file),
              "Missing fault state signal definition. Line(34)     fault_state_signals = "
              "LeftSwitch, LsmError;.\r\n");
    NetConfigLdfFile tolerant;
    ASSERT_TRUE(LoadTolerantText(tolerant, Header() + kNodes + kSignalsAndFrames +
                                               "Node_attributes {\n  LSM {\n"
                                               "    fault_state_signals = LeftSwitch,LsmError;\n"
                                               "    product_id = 0x4A4F,0x4841;\n  }\n}\n"));
    QM_EXPECT_FIELDS(*tolerant.FindSlaveNode("LSM"), (GetFaultStateSignalCount(), 2u),
                     (GetProductId()->GetFunctionId(), 0x4841));
    EXPECT_EQ(MessagesOf(tolerant), "");
}

// What ldfparser and the LIN texts read where the described reader reads less: timeouts with
// their unit, signals named before their section, decimal event-triggered ids from 40 up, the
// LIN 2.0 length of a frame that gives none, and the ids of the diagnostic frames that schedule
// tables make. Each row: the text, then what each mode gives.
TEST(LdfTolerantReading, ReadsWhatTheDescribedReaderLeaves) {
    const std::string attributesFirst =
        Header() + kNodes +
        "Node_attributes {\n  LSM {\n    N_As_timeout = 900 ms;\n    N_Cr_timeout = 700 ms;\n"
        "    response_tolerance = 40 %;\n    response_error = LsmError;\n"
        "    fault_state_signals = LeftSwitch, Nowhere, LsmError;\n  }\n}\n" +
        kSignalsAndFrames;
    for (const bool tolerant : {false, true}) {
        NetConfigLdfFile file;
        ASSERT_TRUE(tolerant ? LoadTolerantText(file, attributesFirst)
                             : LoadText(file, attributesFirst));
        ILdfSlaveNode* lsm = file.FindSlaveNode("LSM");
        QM_EXPECT_FIELDS(*lsm, (HasNAsTimeout(), tolerant),
                         (GetNAsTimeout(), tolerant ? 900.0 : 1000.0), (HasNCrTimeout(), tolerant),
                         (HasResponseTolerance(), tolerant),
                         (GetResponseTolerance(), tolerant ? 40 : 0),
                         (GetFaultStateSignalCount(), tolerant ? 2u : 0u));
        EXPECT_EQ(lsm->GetResponseErrorSignal() != nullptr, tolerant);
        // Every name is looked up once the file is read; one the file never defines is
        // reported with the line that names it.
        const std::string faultLine =
            "Missing fault state signal definition. Line(15)     fault_state_signals = "
            "LeftSwitch, Nowhere, LsmError;.\r\n";
        EXPECT_EQ(MessagesOf(file),
                  tolerant ? faultLine
                           : "Missing response error definition. Line(14)     response_error = "
                             "LsmError;.\r\n" +
                                 faultLine + faultLine + faultLine);
        if (tolerant) {
            EXPECT_STREQ(lsm->GetFaultStateSignal(1)->GetName(), "LsmError");
        }
    }
    const std::string lin20 =
        Header("2.0") + kNodes +
        "Signals {\n  Request: 2, 0, CEM, LSM;\n  Wide: 8, 0, CEM, LSM;\n}\n"
        "Frames {\n  Short: 0x01, CEM {\n    Request, 0;\n  }\n"
        "  Long: 0x21, CEM {\n    Request, 0;\n    Wide, 40;\n  }\n}\n"
        "Event_triggered_frames {\n  Event58: 58, Short;\n  Event39: 39, Short;\n}\n"
        "Schedule_tables {\n  Diag {\n    MasterReq delay 10 ms;\n    SlaveResp delay 10 ms;\n"
        "  }\n}\n";
    for (const bool tolerant : {false, true}) {
        NetConfigLdfFile file;
        ASSERT_TRUE(tolerant ? LoadTolerantText(file, lin20) : LoadText(file, lin20));
        // Up to LIN 2.0 a frame without a length has the one of its id (2 bytes below 32, 4
        // below 48), unless its signals reach further.
        EXPECT_EQ(file.FindUnconditionalFrame("Short")->GetLength(), tolerant ? 2 : 1);
        EXPECT_EQ(file.FindUnconditionalFrame("Long")->GetLength(), 6);
        EXPECT_EQ(file.FindEventTriggeredFrame("Event58")->GetFrameId(), tolerant ? 58 : 0);
        EXPECT_EQ(file.FindEventTriggeredFrame("Event39")->GetFrameId(), 39);
        EXPECT_EQ(file.FindDiagnosticFrame("MasterReq")->GetFrameId(), tolerant ? 0x3C : 0);
        EXPECT_EQ(file.FindDiagnosticFrame("SlaveResp")->GetFrameId(), tolerant ? 0x3D : 0);
    }
    // A section without its "{" is read in both modes; read tolerantly, it is said.
    for (const bool tolerant : {false, true}) {
        NetConfigLdfFile file;
        const std::string text =
            Header() + "Nodes\n  Master: CEM, 5 ms, 0.1 ms;\n  Slaves: LSM;\n}\n";
        ASSERT_TRUE(tolerant ? LoadTolerantText(file, text) : LoadText(file, text));
        EXPECT_NE(file.FindSlaveNode("LSM"), nullptr);
        EXPECT_EQ(MessagesOf(file),
                  tolerant ? "WARNING. Section without its opening brace. Line(5) Nodes.\r\n" : "");
    }
    // From LIN 2.1 on the length comes from the signals in both modes.
    NetConfigLdfFile lin21;
    ASSERT_TRUE(
        LoadTolerantText(lin21, Header() + kNodes +
                                    "Signals {\n  Request: 2, 0, CEM, LSM;\n}\n"
                                    "Frames {\n  Short: 0x01, CEM {\n    Request, 0;\n  }\n}\n"));
    EXPECT_EQ(lin21.FindUnconditionalFrame("Short")->GetLength(), 1);
}

TEST_F(LdfReader, UnclosedConfigurableFramesListEndsAtTheNextAttribute) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes + kSignalsAndFrames +
                                   "Node_attributes {\n  LSM {\n    configurable_frames {\n"
                                   "      CemFrame;\n    configurable_frames {\n      LsmFrame;\n"
                                   "    P2_min = 60 ms;\n    configured_NAD = 3;\n  }\n}\n"));
    ILdfSlaveNode* lsm = file.FindSlaveNode("LSM");
    QM_EXPECT_FIELDS(*lsm, (GetConfigurableFrameCount(), 2u), (GetP2Min(), 60.0),
                     (GetConfiguredNad(), 3));
    EXPECT_EQ(MessagesOf(file),
              "WARNING. Missing right parenthesis in line 31)     configurable_frames {.\r\n"
              "WARNING. Missing right parenthesis in line 33)     P2_min = 60 ms;.\r\n");
}

TEST_F(LdfReader, NodeAttributesForMasterOrUnknownNodesAreSkipped) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes +
                                   "Node_attributes {\n  CEM {\n    configured_NAD = 1;\n  }\n"
                                   "  Nobody {\n    configured_NAD = 2;\n  }\n"
                                   "  RSM {\n    configured_NAD = 3;\n  }\n}\n"));
    EXPECT_EQ(
        MessagesOf(file),
        "WARNING. Node attributes is not for master node. Only slave nodes can be configured. "
        "Line(10)   CEM {.\r\n"
        "WARNING. Missing slave node definition: Nobody. Line(13)   Nobody {.\r\n");
    EXPECT_EQ(file.FindSlaveNode("RSM")->GetConfiguredNad(), 3);
}

TEST_F(LdfReader, EncodingTypesAndRepresentations) {
    ASSERT_TRUE(
        LoadText(file, Header() + kNodes + kSignalsAndFrames +
                           "Signal_encoding_types {\n  Light {\n"
                           "    logical_value, 0, \"Off, really\";\n"
                           "    physical_value, 1, 254, 0.5, -10, \"lux\";\n"
                           "    bcd_value;\n    ascii_value;\n  }\n}\n"
                           "Signal_representation {\n  Light: LeftSwitch, RightSwitch;\n}\n"));
    ILdfSignalEncodingType* light = file.FindEncodingType("Light");
    ASSERT_NE(light, nullptr);
    ASSERT_EQ(light->GetValueCount(), 4u);
    auto* logical = dynamic_cast<ILdfLogicalValue*>(light->GetValue(0));
    ASSERT_NE(logical, nullptr);
    EXPECT_STREQ(logical->GetTextInfo(), "Off, really");
    auto* physical = dynamic_cast<ILdfPhysicalValue*>(light->GetValue(1));
    ASSERT_NE(physical, nullptr);
    QM_EXPECT_FIELDS(*physical, (GetMaximum(), 254u), (GetScale(), 0.5), (GetScaleText(), "0.5"),
                     (GetOffset(), -10.0));
    EXPECT_EQ(light->GetValue(2)->GetValueKind(), kLdfValueBcd);
    EXPECT_EQ(light->GetValue(3)->GetValueKind(), kLdfValueAscii);
    EXPECT_EQ(light->GetSignalCount(), 2u);
    EXPECT_EQ(file.FindStandardSignal("LeftSwitch")->GetEncodingType(), light);
    EXPECT_EQ(file.GetRepresentationCount(), 1u);
    EXPECT_EQ(MessagesOf(file), "");
}

TEST_F(LdfReader, SignalGroupsCompositeAndDiagnosticAddresses) {
    ASSERT_TRUE(LoadText(file, Header("1.3") + kNodes + kSignalsAndFrames +
                                   "Diagnostic_addresses {\n  LSM: 0x21;\n  RSM: 0x22;\n}\n"
                                   "Signal_groups {\n  Group : 16 {\n    LeftSwitch, 0;\n"
                                   "    RightSwitch, 8;\n  }\n}\n"
                                   "composite {\n  configuration Cfg {\n"
                                   "    LSM { RSM, CEM }\n  }\n}\n"));
    EXPECT_EQ(file.FindNode("LSM")->GetDiagnosticAddress(), 0x21u);
    EXPECT_EQ(file.FindNode("CEM")->GetDiagnosticAddress(), 0xFFFFFFFFu);
    ILdfSignalGroup* group = file.FindSignalGroup("Group");
    ASSERT_NE(group, nullptr);
    QM_EXPECT_FIELDS(*group, (GetSize(), 16), (GetSignalCount(), 2u));
    EXPECT_EQ(file.FindStandardSignal("RightSwitch")->GetGroupOffset(), 8);
    ILdfConfiguration* configuration = file.FindConfiguration("Cfg");
    ASSERT_NE(configuration, nullptr);
    ICompositeNodeGroup* composite = configuration->FindCompositeNodeGroup("LSM");
    ASSERT_NE(composite, nullptr);
    EXPECT_EQ(composite->GetLogicalNodeCount(), 2u);
    EXPECT_NE(composite->FindLogicalNode("CEM"), nullptr);
    EXPECT_EQ(MessagesOf(file), "");
}

TEST_F(LdfReader, DynamicFrameIdsMarkTheirFrames) {
    ASSERT_TRUE(
        LoadText(file, Header() + kNodes + "dynamic_frames {\n  2, 3;\n}\n" + kSignalsAndFrames));
    EXPECT_EQ(file.FindUnconditionalFrame("CemFrame")->IsDynamic(), 0);
    EXPECT_EQ(file.FindUnconditionalFrame("LsmFrame")->IsDynamic(), 1);
    EXPECT_EQ(file.FindUnconditionalFrame("RsmFrame")->IsDynamic(), 1);
}

// Each failing section leaves its message, its result code and the model read before it.
struct FailureCase {
    const char* name;
    std::string text;
    std::string message;
    uint8_t resultCode;
};

class LdfReaderFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(LdfReaderFailure, StopsWithMessageAndResultCode) {
    const FailureCase& failure = GetParam();
    NetConfigLdfFile file;
    EXPECT_FALSE(LoadText(file, failure.text));
    EXPECT_EQ(MessagesOf(file), failure.message);
    EXPECT_EQ(file.GetResultCode(), failure.resultCode);
    EXPECT_EQ(file.GetLastLoadResult(), 0);
}

const std::string kTwoLines = "LIN_description_file;\n";

INSTANTIATE_TEST_SUITE_P(
    Sections, LdfReaderFailure,
    ::testing::Values(
        FailureCase{"protocol", kTwoLines + "LIN_protocol_version;\n",
                    "Check LIN_protocol_version. Line(2) LIN_protocol_version;.\r\n", 12},
        FailureCase{"language", kTwoLines + "LIN_language_version = ;\n",
                    "Check LIN_language_version. Line(2) LIN_language_version = ;.\r\n", 13},
        FailureCase{"revision", kTwoLines + "LDF_file_revision;\n",
                    "Check LDF_file_revision. Line(2) LDF_file_revision;.\r\n", 14},
        FailureCase{"speed", kTwoLines + "LIN_speed = fast kbps;\n",
                    "Malformed LDF speed. Line(2) LIN_speed = fast kbps;.\r\n", 15},
        FailureCase{"channel", kTwoLines + "Channel_name = \"a\" \"b\";\n",
                    "Check Channel_name. Line(2) Channel_name = \"a\" \"b\";.\r\n", 16},
        FailureCase{"master timing", kTwoLines + "Nodes {\n  Master: M, x ms, 1 ms;\n}\n",
                    "Malformed time base or jitter Line(3)   Master: M, x ms, 1 ms;.\r\n", 17},
        FailureCase{"nodes statement", kTwoLines + "Nodes {\n  Chief: M;\n}\n",
                    "Malformed Nodes section from : Line(3)   Chief: M;.\r\n", 17},
        FailureCase{"composite", kTwoLines + "composite {\n  setup Cfg {\n  }\n}\n",
                    "Malformed composite section. Line(3)   setup Cfg {.\r\n", 18},
        FailureCase{"diagnostic addresses", kTwoLines + "Diagnostic_addresses {\n  A: 1: 2;\n}\n",
                    "Malformed diagnostic addresses section. Line(3)   A: 1: 2;.\r\n", 19},
        FailureCase{"signals", kTwoLines + "Signals {\n  S: 8, 0;\n}\n",
                    "Malformed signals section. Line(3)   S: 8, 0;.\r\n", 20},
        FailureCase{"signal size", kTwoLines + "Signals {\n  S: eight, 0, A, B;\n}\n",
                    "Malformed signals section. Line(3)   S: eight, 0, A, B;.\r\n", 20},
        FailureCase{"diagnostic signals", kTwoLines + "Diagnostic_signals {\n  D: 8;\n}\n",
                    "Malformed diagnostic signals section. Line(3)   D: 8;.\r\n", 21},
        FailureCase{"dynamic frames", kTwoLines + "dynamic_frames {\n  1, x;\n}\n",
                    "Malformed dynamic frames section. Line(3)   1, x;.\r\n", 22},
        FailureCase{"frames", kTwoLines + "Frames {\n  F: 1 {\n  }\n}\n",
                    "Malformed frames section. Line(3)   F: 1 {.\r\n", 23},
        FailureCase{"frame signal offset", kTwoLines + "Frames {\n  F: 1, M, 1 {\n    S;\n  }\n}\n",
                    "Malformed frames section. Line(4)     S;.\r\n", 23},
        FailureCase{"event frames", kTwoLines + "Event_triggered_frames {\n  E;\n}\n",
                    "Malformed event triggered frames section. Line(3)   E;.\r\n", 25},
        FailureCase{"diagnostic frames", kTwoLines + "Diagnostic_frames {\n  MasterReq {\n}\n",
                    "Malformed diagnostic frames section. Line(3)   MasterReq {.\r\n", 26},
        FailureCase{"node attributes", kTwoLines + "Node_attributes {\n  A B {\n  }\n}\n",
                    "Check Node attributes for node: A Line(3)   A B {.\r\n", 27},
        FailureCase{"node attribute time",
                    kTwoLines + "Nodes {\n  Slaves: S;\n}\nNode_attributes {\n  S {\n"
                                "    P2_min = soon;\n  }\n}\n",
                    "Malformed P2_min for node: S Line(7)     P2_min = soon;.\r\n", 27},
        FailureCase{"schedule header", kTwoLines + "Schedule_tables {\n  A B {\n  }\n}\n",
                    "Check Schedule Table: A Line(3)   A B {.\r\n", 28},
        FailureCase{"signal groups", kTwoLines + "Signal_groups {\n  G {\n  }\n}\n",
                    "Malformed signal groups section. Line(3)   G {.\r\n", 29},
        FailureCase{"encoding header", kTwoLines + "Signal_encoding_types {\n  E F {\n  }\n}\n",
                    "Check Signal Encoding Type: E Line(3)   E F {.\r\n", 30},
        FailureCase{"logical value without text",
                    kTwoLines + "Signal_encoding_types {\n  E {\n    logical_value, 1;\n  }\n}\n",
                    "Malformed Signal Encoding Type row Line(4)     logical_value, 1;.\r\n", 30},
        FailureCase{"encoding row",
                    kTwoLines + "Signal_encoding_types {\n  E {\n    fancy_value, 1;\n  }\n}\n",
                    "Malformed Signal Encoding Type row Line(4)     fancy_value, 1;.\r\n", 30},
        FailureCase{
            "encoding scale",
            kTwoLines + "Signal_encoding_types {\n  E {\n    physical_value, 0, 1, k, 0;\n  }\n}\n",
            "Malformed scale or offset value Line(4)     physical_value, 0, 1, k, 0;.\r\n", 30},
        FailureCase{"representation", kTwoLines + "Signal_representation {\n  E;\n}\n",
                    "Check Signal Representation for Signal Encoding Type: E Line(3)   E;.\r\n",
                    31},
        FailureCase{"truncated statement", kTwoLines + "Signals {\n  S: 8, 0, A",
                    "Malformed signals section. Line(3)   S: 8, 0, A.\r\n", 20}),
    [](const ::testing::TestParamInfo<FailureCase>& info) {
        return qmtest::TestName(info.param.name);
    });

TEST_F(LdfReader, LoadThatStopsKeepsWhatWasReadBefore) {
    EXPECT_FALSE(LoadText(file, Header() + kNodes + "Signals {\n  A: 8, 0, CEM, LSM;\n  B;\n}\n"));
    QM_EXPECT_FIELDS(file, (GetNodeCount(), 3u), (GetStandardSignalCount(), 1u),
                     (GetResultCode(), 20));
}

TEST_F(LdfReader, BinaryGarbageStopsCleanly) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    EXPECT_FALSE(LoadText(file, garbage));
    EXPECT_THAT(std::string(file.GetMessages()), HasSubstr("Line("));
}

// A file cut short reads like a whole one up to where it ends; a section that meets the end of
// the file before its closing "}" is named, and so is a file with nothing in it.
TEST_F(LdfReader, CutAndEmptyFilesAreNamed) {
    struct Case {
        std::string text;
        std::string messages;
    };
    const std::string whole = Header() + kNodes;
    const std::vector<Case> cases = {
        {"", "WARNING. The file is empty: no LDF statement read.\r\n"},
        {"\n   \n// only a comment\n", "WARNING. The file is empty: no LDF statement read.\r\n"},
        {whole.substr(0, whole.find("Slaves")),
         "WARNING. The file ends inside the section that begins at Line(5) Nodes {.\r\n"},
        {Header() + kNodes + "Node_attributes {\n  LSM {\n    LIN_protocol = \"2.1\";\n",
         "WARNING. The file ends inside the section that begins at Line(9) Node_attributes "
         "{.\r\n"},
        {Header() + kNodes + "Schedule_tables {\n  Normal {\n",
         "WARNING. The file ends inside the section that begins at Line(9) Schedule_tables "
         "{.\r\n"},
        {whole, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        NetConfigLdfFile file;
        EXPECT_TRUE(LoadTolerantText(file, c.text));
        EXPECT_EQ(file.GetResultCode(), 0);
        EXPECT_EQ(MessagesOf(file), c.messages);
        // The described reader reads such a file without a word.
        NetConfigLdfFile described;
        EXPECT_TRUE(LoadText(described, c.text));
        EXPECT_EQ(MessagesOf(described), "");
    }
}

TEST_F(LdfReader, AnEncodingTypeDefinedTwiceIsNamedAndTheFirstIsUsed) {
    const std::string text = Header() + kNodes + kSignalsAndFrames +
                             "Signal_encoding_types {\n  Light {\n    bcd_value;\n  }\n"
                             "  Light {\n    ascii_value;\n  }\n}\n"
                             "Signal_representation {\n  Light: LeftSwitch;\n}\n";
    for (const bool tolerant : {false, true}) {
        NetConfigLdfFile file;
        ASSERT_TRUE(tolerant ? LoadTolerantText(file, text) : LoadText(file, text));
        EXPECT_EQ(MessagesOf(file),
                  tolerant ? "WARNING. Signal encoding type Light defined twice, the first "
                             "definition is used. Line(31)   Light {.\r\n"
                           : "");
        ASSERT_EQ(file.GetEncodingTypeCount(), 2u);
        EXPECT_EQ(file.FindEncodingType("Light"), file.GetEncodingType(0));
        EXPECT_EQ(file.FindStandardSignal("LeftSwitch")->GetEncodingType(),
                  file.GetEncodingType(0));
    }
}

}  // namespace
}  // namespace qm::ldf::test
