// The warnings the reader adds while it checks the description: their limits, the protocol
// versions they apply to and their exact texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ldf_test_support.h"

using ::testing::HasSubstr;

namespace qm::ldf::test {
namespace {

std::string SignalWarnings(const std::string& protocol, const std::string& signalLine) {
    NetConfigLdfFile file;
    LoadText(file, Header(protocol) + kNodes + "Signals {\n" + signalLine + "\n}\n");
    return MessagesOf(file);
}

// Every test of the suite starts from a fresh, empty NetConfigLdfFile.
class LdfValidation : public ::testing::Test {
  protected:
    NetConfigLdfFile file;
};

TEST_F(LdfValidation, ScalarSignalSizeLimits) {
    EXPECT_EQ(SignalWarnings("2.0", "  S: 16, 0, CEM, LSM;"), "");
    EXPECT_EQ(SignalWarnings("2.0", "  S: 17, 0, CEM, LSM;"),
              "WARNING. Scalar signal with size bigger than 16 bits. Warning for line(10)   S: 17, "
              "0, CEM, LSM;.\r\n");
    EXPECT_EQ(SignalWarnings("2.2", "  S: 0, 0, CEM, LSM;"),
              "WARNING. Scalar signal with size lower than 1 bits. Warning for line(10)   S: 0, 0, "
              "CEM, LSM;.\r\n");
    // Other protocol versions are not checked.
    EXPECT_EQ(SignalWarnings("2.1", "  S: 17, 0, CEM, LSM;"), "");
    EXPECT_EQ(SignalWarnings("1.3", "  S: 0, 0, CEM, LSM;"), "");
}

TEST_F(LdfValidation, ByteArraySizeLimits) {
    EXPECT_EQ(SignalWarnings("2.0", "  S: 64, {0,0,0,0,0,0,0,0}, CEM, LSM;"), "");
    EXPECT_EQ(
        SignalWarnings("2.2", "  S: 72, {0}, CEM, LSM;"),
        "WARNING. Byte array signal with size different than required - the size is equal to "
        "72 bits. It should be a multiply of 8, but not larger than 64. Warning for line(10)  "
        " S: 72, {0}, CEM, LSM;.\r\n");
    EXPECT_THAT(SignalWarnings("2.2", "  S: 12, {0, 0}, CEM, LSM;"), HasSubstr("equal to 12 bits"));
    EXPECT_THAT(SignalWarnings("2.0", "  S: 0, {0}, CEM, LSM;"), HasSubstr("equal to 0 bits"));
    EXPECT_EQ(SignalWarnings("2.1", "  S: 72, {0}, CEM, LSM;"), "");
}

TEST_F(LdfValidation, DiagnosticSignalsMustHave8Bits) {
    auto warnings = [](const std::string& size) {
        NetConfigLdfFile file;
        LoadText(file, Header("2.1") + "Diagnostic_signals {\n  D: " + size + ", 0;\n}\n");
        return MessagesOf(file);
    };
    EXPECT_EQ(warnings("8"), "");
    EXPECT_EQ(warnings("7"),
              "WARNING. Diagnostic signal with size not equal 8 bits: D. Warning for line (6)   D: "
              "7, 0;.\r\n");
    EXPECT_NE(warnings("9"), "");
}

TEST_F(LdfValidation, DuplicateFrameIdUnderLin20UnlessDynamic) {
    const std::string frames =
        "Signals {\n  A: 8, 0, CEM, LSM;\n  B: 8, 0, CEM, LSM;\n}\n"
        "Frames {\n  F1: 5, CEM, 1 {\n    A, 0;\n  }\n  F2: 5, CEM, 1 {\n    B, 0;\n  }\n}\n";
    NetConfigLdfFile lin20;
    LoadText(lin20, Header("2.0") + kNodes + frames);
    EXPECT_EQ(MessagesOf(lin20),
              "WARNING. Two frames with same ID, which is not defined as dynamic frame ID. "
              "Line(17)   F2: 5, CEM, 1 {.\r\n");
    NetConfigLdfFile dynamic;
    LoadText(dynamic, Header("2.0") + kNodes + "dynamic_frames {\n  5;\n}\n" + frames);
    EXPECT_EQ(MessagesOf(dynamic), "");
    NetConfigLdfFile lin21;
    LoadText(lin21, Header("2.1") + kNodes + frames);
    EXPECT_EQ(MessagesOf(lin21), "");
    EXPECT_EQ(lin21.FindUnconditionalFrameById(5), lin21.FindUnconditionalFrame("F1"));
}

TEST_F(LdfValidation, SporadicFrameChecks) {
    LoadText(file, Header("2.0") + kNodes + kSignalsAndFrames +
                       "Sporadic_frames {\n  S: CemFrame, CemFrame;\n  S: LsmFrame;\n}\n");
    EXPECT_EQ(MessagesOf(file),
              "WARNING. Sporadic frame with name S already exists. Line(29)   S: LsmFrame;.\r\n"
              "WARNING. Sporadic frame: S with two applied frames using same name: CemFrame.\r\n");
    EXPECT_EQ(file.GetSporadicFrameCount(), 2u);
}

TEST_F(LdfValidation, EventTriggeredFrameWithoutKnownFrames) {
    const std::string body =
        kSignalsAndFrames + std::string("Event_triggered_frames {\n  E: 0x10, Ghost;\n}\n");
    NetConfigLdfFile lin21;
    EXPECT_TRUE(LoadText(lin21, Header("2.1") + kNodes + body));
    EXPECT_EQ(MessagesOf(lin21),
              "WARNING. No unconditional frame defined to send by event triggered frame E. Warning "
              "for line(28)   E: 0x10, Ghost;.\r\n");
    // A warning leaves the result as it was; under LIN 1.3 and 2.0 the section stops.
    EXPECT_EQ(lin21.GetResultCode(), 0);
    NetConfigLdfFile lin20;
    EXPECT_FALSE(LoadText(lin20, Header("2.0") + kNodes + body));
    EXPECT_EQ(lin20.GetResultCode(), 25);
    EXPECT_EQ(lin20.GetEventTriggeredFrameCount(), 1u);
}

TEST_F(LdfValidation, EventTriggeredFrameChecksAfterTheSection) {
    LoadText(file, Header("2.2") + kNodes + kSignalsAndFrames +
                       "Event_triggered_frames {\n  CemFrame: 0x10, LsmFrame, RsmFrame;\n"
                       "  E: T, 0x11, CemFrame, LsmFrame;\n  E: T, 0x12, LsmFrame;\n}\n");
    ExpectTexts(MessagesOf(file),
                {"WARNING. At least two of event triggered frames have the same name but "
                 "different IDs: E.\r\n",
                 "WARNING. An event triggered frame has same name as an unconditional frame: "
                 "CemFrame.\r\n",
                 "WARNING. An event triggered frame E uses two frames with different size. "
                 "Warning for line(29)   E: T, 0x11, CemFrame, LsmFrame;.\r\n",
                 "WARNING. An event triggered frame CemFrame do not refers to any schedule table. "
                 "Warning for line(28)",
                 "has not reserved data in the first byte of signal - it must be reserved! "
                 "CemFrame: Request. Warning for line(29)"});
}

TEST_F(LdfValidation, DiagnosticAddressChecks) {
    LoadText(file, Header("1.3") + kNodes +
                       "Diagnostic_addresses {\n  LSM: 0;\n  RSM: 5;\n  RSM: 6;\n  CEM: 0;\n}\n");
    EXPECT_EQ(MessagesOf(file),
              "WARNING. Diagnostic address node is reserved. NAD of node named LSM = 0. Warning "
              "for line(10)   LSM: 0;.\r\n"
              "WARNING. Two different diagnostic addresses applied to the same slave node RSM. "
              "Warning for line(12)   RSM: 6;.\r\n"
              "WARNING. Diagnostic address node is reserved. NAD of node named CEM = 0. Warning "
              "for line(13)   CEM: 0;.\r\n");
    EXPECT_EQ(file.FindNode("RSM")->GetDiagnosticAddress(), 5u);
    NetConfigLdfFile shared;
    LoadText(shared, Header("1.3") + kNodes + "Diagnostic_addresses {\n  LSM: 7;\n  RSM: 7;\n}\n");
    EXPECT_EQ(MessagesOf(shared),
              "WARNING. The same diagnostic address is applied to at least two different nodes. "
              "Slave nodes have same diagnostic addresses = 7. Warning for line(12)\r\n");
    // Under LIN 2.1 the entries are read and not applied.
    NetConfigLdfFile lin21;
    LoadText(lin21, Header("2.1") + kNodes + "Diagnostic_addresses {\n  LSM: 7;\n}\n");
    EXPECT_EQ(lin21.FindNode("LSM")->GetDiagnosticAddress(), 0xFFFFFFFFu);
}

std::string EncodingWarnings(const std::string& entries) {
    NetConfigLdfFile file;
    LoadText(file, Header() + "Signal_encoding_types {\n  E {\n" + entries + "  }\n}\n");
    return MessagesOf(file);
}

TEST_F(LdfValidation, EncodingValueLimits) {
    EXPECT_EQ(EncodingWarnings("    logical_value, 65535, \"max\";\n"), "");
    EXPECT_EQ(EncodingWarnings("    logical_value, 65536, \"over\";\n"),
              "WARNING. Signal values of encoding are bigger than 65535. Warning for line(7)     "
              "logical_value, 65536, \"over\";.\r\n");
    EXPECT_EQ(EncodingWarnings("    logical_value, 1.5, \"half\";\n"),
              "WARNING. Signal values of encoding are floating point numbers. Warning for line(7)  "
              "   logical_value, 1.5, \"half\";.\r\n");
    EXPECT_EQ(EncodingWarnings("    physical_value, 0, 65535, 1, 0;\n"), "");
    EXPECT_THAT(EncodingWarnings("    physical_value, 65536, 70000, 1, 0;\n"),
                HasSubstr("WARNING. Signal min values of encoding are bigger than 65535."));
    EXPECT_THAT(EncodingWarnings("    physical_value, 0, 70000, 1, 0;\n"),
                HasSubstr("WARNING. Signal max values of encoding are bigger than 65535."));
    EXPECT_THAT(EncodingWarnings("    physical_value, 0.5, 7, 1, 0;\n"),
                HasSubstr("WARNING. Signal min values of encoding are floating point numbers."));
    EXPECT_EQ(EncodingWarnings("    physical_value, 0x00, 0xFF, 1, 0;\n"), "");
}

TEST_F(LdfValidation, EncodingEntriesThatContradictEachOther) {
    EXPECT_EQ(EncodingWarnings("    logical_value, 1, \"a\";\n    logical_value, 1, \"a\";\n"), "");
    EXPECT_EQ(EncodingWarnings("    logical_value, 1, \"a\";\n    logical_value, 1, \"b\";\n"),
              "WARNING. Two logic encoding parts have equal values but different info texts. "
              "Warning for line(8)     logical_value, 1, \"b\";.\r\n");
    EXPECT_EQ(EncodingWarnings("    physical_value, 0, 9, 1, 0;\n    physical_value, 10, 20, 1, "
                               "0;\n    physical_value, 21, 30, 1, 0;\n"),
              "");
    EXPECT_EQ(EncodingWarnings("    physical_value, 10, 20, 1, 0;\n    physical_value, 0, 9, 1, "
                               "0;\n    physical_value, 9, 10, 1, 0;\n"),
              "WARNING. Two or more physical encoding parts have overlapped value areas. Warning "
              "for line(9)     physical_value, 9, 10, 1, 0;.\r\n");
}

TEST_F(LdfValidation, RepresentationReferences) {
    LoadText(file, Header() + kNodes + kSignalsAndFrames +
                       "Signal_encoding_types {\n  E {\n    logical_value, 0, \"zero\";\n  }\n}\n"
                       "Signal_representation {\n  Ghost: Request;\n  E: Request, Nothing;\n}\n");
    EXPECT_EQ(MessagesOf(file),
              "WARNING. Missing signal encoding type definition: Ghost. Line(33)   Ghost: "
              "Request;.\r\n"
              "WARNING. Missing signal definition: Nothing. Line(34)   E: Request, Nothing;.\r\n");
}

std::string ScheduleWarnings(const std::string& protocol, const std::string& beforeTables,
                             const std::string& entries) {
    NetConfigLdfFile file;
    LoadText(file, Header(protocol) + kNodes + beforeTables + "Schedule_tables {\n  T {\n" +
                       entries + "  }\n}\n");
    return MessagesOf(file);
}

TEST_F(LdfValidation, ScheduledFrameLengthLimits) {
    const std::string frames =
        "Signals {\n  A: 8, 0, CEM, LSM;\n}\n"
        "Frames {\n  Eight: 1, CEM, 8 {\n    A, 0;\n  }\n  Nine: 2, CEM, 9 {\n  }\n"
        "  Empty: 3, CEM, 0 {\n  }\n}\n";
    EXPECT_EQ(ScheduleWarnings("2.1", frames, "    Eight delay 10 ms;\n"), "");
    EXPECT_EQ(ScheduleWarnings("2.1", frames, "    Nine delay 10 ms;\n"),
              "WARNING. Frame, which is handled by schedule table, has length bigger than 8. Nine "
              "with size of 9.\n");
    EXPECT_EQ(ScheduleWarnings("2.1", frames, "    Empty delay 10 ms;\n"),
              "WARNING. The frame has size of 0: Empty. Warning for line(23)     Empty delay 10 "
              "ms;.\r\n"
              "WARNING. Frame, which is handled by schedule table, has length lower than 1. Empty "
              "with size of 0.\n");
}

using qmtest::Occurrences;

TEST_F(LdfValidation, EveryEntryThatSendsAFrameGetsItsWarnings) {
    const std::string frames =
        "Signals {\n  Wide: 20, 0, CEM, LSM;\n  Zero: 0, 0, CEM, LSM;\n  A: 8, 0, CEM, LSM;\n"
        "  A: 8, 0, CEM, LSM;\n}\n"
        "Frames {\n  F: 1, CEM, 4 {\n    Wide, 0;\n    Zero, 20;\n    A, 24;\n    Ghost, 32;\n  "
        "}\n}\n";
    const std::string messages =
        ScheduleWarnings("2.1", frames,
                         "    F delay 10 ms;\n    F delay 10 ms;\n    MasterReq delay 10 ms;\n"
                         "    MasterReq delay 10 ms;\n");
    EXPECT_EQ(Occurrences(messages,
                          "WARNING. Frame, handled by schedule table, contains signal "
                          "with size bigger than 16 bits: Wide.\r\n"),
              2u);
    EXPECT_EQ(Occurrences(messages,
                          "contains signal with size lower than 1 bits. Warning for "
                          "line(25)     F delay 10 ms;.\r\n"),
              1u);
    EXPECT_EQ(Occurrences(messages,
                          "contains signal with size lower than 1 bits. Warning for "
                          "line(26)     F delay 10 ms;.\r\n"),
              1u);
    EXPECT_EQ(Occurrences(messages, "WARNING. At least two signals have the same name: A."), 2u);
    EXPECT_EQ(Occurrences(messages,
                          "WARNING. The frame F, which is handled by schedule table, "
                          "contains not existing signal. Warning for line("),
              2u);
    // The first MasterReq entry creates the frame after its checks: only the second is checked.
    EXPECT_EQ(Occurrences(messages, "has not defined diagnostic signals: MasterReq.\r\n"), 1u);
}

TEST_F(LdfValidation, AnEntryIsCheckedBeforeItsCommandIsBuilt) {
    const std::string frames =
        "Signals {\n  A: 8, 0, CEM, LSM;\n}\nFrames {\n  Nine: 2, CEM, 9 {\n    A, 0;\n  }\n}\n";
    EXPECT_EQ(ScheduleWarnings("2.1", frames, "    Nine delay;\n"),
              "WARNING. Frame, which is handled by schedule table, has length bigger than 8. Nine "
              "with size of 9.\n"
              "Check Schedule Table Command: Nine Line(19)     Nine delay;.\r\n");
}

TEST_F(LdfValidation, FirstByteIsCheckedForEveryEventTriggeredFrame) {
    LoadText(file, Header("2.1") + kNodes + kSignalsAndFrames +
                       "Event_triggered_frames {\n  E1: 0x10, CemFrame;\n  E2: 0x11, CemFrame;\n"
                       "}\n");
    const std::string messages = MessagesOf(file);
    EXPECT_EQ(Occurrences(messages,
                          "reserved! CemFrame: Request. Warning for line(28)   E1: "
                          "0x10, CemFrame;.\r\n"),
              1u);
    EXPECT_EQ(Occurrences(messages,
                          "reserved! CemFrame: Request. Warning for line(29)   E2: "
                          "0x11, CemFrame;.\r\n"),
              1u);
}

TEST_F(LdfValidation, ScheduledFramesSharingNamesOrIds) {
    const std::string frames =
        "Signals {\n  A: 8, 0, CEM, LSM;\n  A: 8, 0, CEM, LSM;\n}\n"
        "Frames {\n  F: 1, CEM, 1 {\n    A, 0;\n  }\n  G: 1, CEM, 1 {\n  }\n}\n";
    ExpectTexts(
        ScheduleWarnings("2.1", frames,
                         "    F delay 10 ms;\n    G delay 10 ms;\n    F delay 5 ms;\n"),
        {"WARNING. At least two signals have the same name: A. This signal is used by frame, "
         "handled by schedule table: F.\r\n",
         "WARNING. At least two different frames with the same ID, which are handled by schedule "
         "table: F, G.\r\n",
         // Sending the same frame again is no second frame.
         "!which are handled by schedule table, have the same name"});
}

TEST_F(LdfValidation, DiagnosticFramesSentByTables) {
    const std::string messages =
        ScheduleWarnings("2.1",
                         "Diagnostic_signals {\n  B0: 8, 0;\n  B1: 7, 0;\n}\n"
                         "Diagnostic_frames {\n  MasterReq: 0x3C {\n    B0, 0;\n  }\n"
                         "  SlaveResp: 0x3D {\n    B1, 0;\n  }\n}\n",
                         "    MasterReq delay 10 ms;\n    SlaveResp delay 10 ms;\n");
    EXPECT_THAT(
        messages,
        HasSubstr("WARNING. Master request and slave response are handled by schedule "
                  "table but not all Master request and Slave response signals are "
                  "defined as 8 bit. Warning for line(24)     SlaveResp delay 10 ms;.\r\n"));
    // Frames the table creates are checked from their second entry on, and share id 0.
    EXPECT_EQ(ScheduleWarnings("2.1", "",
                               "    MasterReq delay 10 ms;\n    SlaveResp delay 10 ms;\n"
                               "    MasterReq delay 10 ms;\n    SlaveResp delay 10 ms;\n"),
              "WARNING. Diagnostic frame has not defined diagnostic signals: MasterReq.\r\n"
              "WARNING. Diagnostic frame has not defined diagnostic signals: SlaveResp.\r\n"
              "WARNING. At least two different frames with the same ID, which are handled by "
              "schedule table: MasterReq, SlaveResp.\r\n");
}

TEST_F(LdfValidation, MissingDiagnosticAddressesBeforeTables) {
    EXPECT_EQ(
        ScheduleWarnings("2.2", "", ""),
        "WARNING. No NAD applied to slave node. Master request and slave response are handled "
        "by schedule table.\n");
    EXPECT_EQ(ScheduleWarnings("2.1", "", ""), "");
    EXPECT_EQ(ScheduleWarnings("1.3", "Diagnostic_addresses {\n  LSM: 1;\n}\n", ""), "");
}

TEST_F(LdfValidation, EventTriggeredFramesSentByTables) {
    const std::string frames = std::string(kSignalsAndFrames) +
                               "Event_triggered_frames {\n  E: Missing, 0x10, LsmFrame, RsmFrame;\n"
                               "  F: 0x11, LsmFrame;\n}\n"
                               "Sporadic_frames {\n  S: CemFrame;\n}\n";
    ExpectTexts(ScheduleWarnings("2.1", frames, "    E delay 10 ms;\n    CemFrame delay 10 ms;\n"),
                {"WARNING. An event triggered frame uses not defined resolved schedule table: "
                 "Missing.\r\n",
                 "WARNING. Unconditional frame, CemFrame, is already handled by schedule table "
                 "but it is also used in sporadic frame: S.\r\n"});
}

}  // namespace
}  // namespace qm::ldf::test
