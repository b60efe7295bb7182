// The reader: keyword dispatch, section handlers, message texts and statuses.
#include <gtest/gtest.h>

#include "dbc_test_support.h"
#include "expect_fields.h"

namespace {

class DbcReader : public ::testing::Test {
  protected:
    bool Load(const std::string& text) { return LoadText(file_, folder_, text); }
    std::string Messages() { return MessagesWithoutTiming(file_); }

    TempFolder folder_;
    NetConfigDbcFile file_;
};

TEST_F(DbcReader, EmptyFileLoadsCleanWithOnlyTheTimingLine) {
    EXPECT_TRUE(Load(""));
    EXPECT_EQ(file_.GetStatus(), 1u);
    EXPECT_EQ(Messages(), "");
    const std::string messages = file_.GetMessages();
    QM_EXPECT_FIELDS(messages, (rfind("Dbc parser measured time: ", 0), 0u), (back(), '\n'));
    EXPECT_EQ(messages.substr(messages.size() - 3), "ms\n");
    EXPECT_STREQ(file_.GetDatabaseName(), "test");
}

TEST_F(DbcReader, UnopenableFileLeavesModelAndMessagesUntouched) {
    ASSERT_TRUE(Load("VERSION \"kept\"\n"));
    const std::string before = file_.GetMessages();
    EXPECT_FALSE(file_.Load(folder_.File("missing.dbc").c_str()));
    QM_EXPECT_FIELDS(file_, (GetStatus(), 5u), (LastHandlerResult(), 0u),
                     (GetDbcVersion(), "kept"));
    EXPECT_EQ(file_.GetMessages(), before);
}

TEST_F(DbcReader, ExtendedMessageWithoutTransmitter) {
    ASSERT_TRUE(Load("BO_ 2147484672 Ext: 8 Vector__XXX\n"));
    EXPECT_EQ(file_.GetStatus(), 1u);
    IDbcMessage* message = file_.GetMessage(0);
    ASSERT_NE(message, nullptr);
    QM_EXPECT_FIELDS(*message, (IsExtended(), true), (IsStandard(), false), (GetId(), 1024u),
                     (GetRawId(), 0x80000400u), (GetTransmitter(), nullptr),
                     (GetTransmitterCount(), 0u));
    QM_EXPECT_FIELDS(file_, (FindMessage(1024u), nullptr), (FindMessage(0x80000400u), message));
    EXPECT_EQ(Messages(), "");
}

TEST_F(DbcReader, ReceiversLinkKnownNodesSkipNoNodeAndWarnAboutOthers) {
    // The signal statement with an unknown receiver reports failure as the last result.
    EXPECT_FALSE(Load(
        "BU_: ECU\nBO_ 100 M: 8 ECU\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" ECU,Vector__XXX,Ghost\n"));
    QM_EXPECT_FIELDS(file_, (LastHandlerResult(), 0u), (GetStatus(), 2u));
    EXPECT_EQ(Messages(),
              "Missing node definition: Ghost. Line(3) SG_ S : 0|8@1+ (1,0) [0|255] \"\" "
              "ECU,Vector__XXX,Ghost.\n");
    IDbcSignal* signal = file_.FindSignal(100, "S");
    ASSERT_NE(signal, nullptr);
    ASSERT_EQ(signal->GetReceiverCount(), 1u);
    EXPECT_STREQ(signal->GetReceiver(0)->GetName(), "ECU");
    IDbcNode* node = file_.FindNode("ECU");
    QM_EXPECT_FIELDS(*node, (GetRxSignalCount(), 1u), (GetRxMessageCount(), 1u),
                     (GetTxMessageCount(), 1u));
    EXPECT_EQ(node->FindTxMessage("M"), file_.GetMessage(0));
    // A statement after the one with the unknown receiver decides the result.
    EXPECT_TRUE(
        Load("BU_: ECU\nBO_ 100 M: 8 ECU\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Ghost\n"
             "BO_ 200 N: 8 Vector__XXX\n"));
    QM_EXPECT_FIELDS(file_, (LastHandlerResult(), 1u), (GetStatus(), 2u), (GetSignalCount(), 1u));
}

TEST_F(DbcReader, EveryReceivedSignalListsItsMessageWithTheNode) {
    ASSERT_TRUE(
        Load("BU_: ECU\nBO_ 1 A: 8 Vector__XXX\n SG_ S1 : 0|8@1+ (1,0) [0|255] \"\" ECU\n"
             " SG_ S2 : 8|8@1+ (1,0) [0|255] \"\" ECU\n"
             "BO_ 2 B: 8 Vector__XXX\n SG_ S3 : 0|8@1+ (1,0) [0|255] \"\" ECU\n"));
    IDbcNode* node = file_.FindNode("ECU");
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->GetRxSignalCount(), 3u);
    ASSERT_EQ(node->GetRxMessageCount(), 3u);
    QM_EXPECT_FIELDS(*node, (GetRxMessage(0), file_.GetMessage(0)),
                     (GetRxMessage(1), file_.GetMessage(0)), (GetRxMessage(2), file_.GetMessage(1)),
                     (FindRxMessage("B"), file_.GetMessage(1)));
}

TEST_F(DbcReader, FactorWithoutOffsetIsABadNumber) {
    EXPECT_FALSE(Load("BO_ 1 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1) [0|255] \"\" Vector__XXX\n"));
    EXPECT_EQ(file_.GetStatus(), 11u);
    EXPECT_EQ(Messages(),
              "Check Factor or Offset inside signal section. Line(2) SG_ S : 0|8@1+ (1) [0|255] "
              "\"\" Vector__XXX.\n");
    ASSERT_EQ(file_.GetSignalCount(), 1u);
    EXPECT_EQ(file_.GetSignal(0)->GetFactor(), 0.0);
    EXPECT_FALSE(Load("BO_ 1 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1,0) [0] \"\" Vector__XXX\n"));
    EXPECT_EQ(file_.GetStatus(), 11u);
}

TEST_F(DbcReader, MultiplexedSignalLine) {
    ASSERT_TRUE(
        Load("BO_ 1 M: 8 Vector__XXX\n SG_ Mux M : 0|4@1+ (1,0) [0|15] \"\" Vector__XXX\n"
             "\t SG_ Sig m3 : 8|8@1- (0.5,-10) [-10|117.5] \"\" Vector__XXX\n"));
    IDbcSignal* mux = file_.FindSignal(1, "Mux");
    IDbcSignal* sig = file_.FindSignal(1, "Sig");
    ASSERT_TRUE(mux && sig);
    QM_EXPECT_FIELDS(*mux, (IsMultiplexerSwitch(), true),
                     (GetMultiplexingKindText(), "multiplexerSwitch"), (GetMultiplexValue(), -1));
    QM_EXPECT_FIELDS(*sig, (IsMultiplexedSignal(), true), (GetMultiplexValue(), 3),
                     (GetMultiplexIndicator(), "m3"), (GetMultiplexer(), mux));
    EXPECT_EQ(mux->GetMultiplexer(), nullptr);
    QM_EXPECT_FIELDS(*sig, (GetStartBit(), 8), (GetBitLength(), 8), (GetByteOrder(), 2u),
                     (GetByteOrderText(), "littleEndian"), (GetValueType(), 2u),
                     (GetValueTypeText(), "signedType"), (GetFactor(), 0.5),
                     (GetFactorDecimals(), 1), (GetOffset(), -10.0), (GetOffsetDecimals(), 0),
                     (GetOffsetText(), "-10"), (GetMaximumDecimals(), 1), (IsDescribed(), false));
}

TEST_F(DbcReader, PlainSignalKeepsABlankIndicatorAndUnitSetsDescribed) {
    ASSERT_TRUE(
        Load("BO_ 1 M: 8 Vector__XXX\n SG_ S : 7|12@0+ (1E-05,0) [0|4095] \"km/h\" Vector__XXX\n"));
    IDbcSignal* signal = file_.FindSignal(1, "S");
    ASSERT_NE(signal, nullptr);
    QM_EXPECT_FIELDS(*signal, (IsNotMultiplexed(), true), (GetMultiplexIndicator(), " "),
                     (GetByteOrder(), 1u), (GetByteOrderText(), "bigEndian"), (GetUnit(), "km/h"),
                     (IsDescribed(), true), (IsFactorExponent(), true), (GetFactorText(), "1E-05"),
                     (GetExtendedValueType(), -1), (HasExtendedValueType(), false));
}

TEST_F(DbcReader, ExtendedMultiplexingStopsAndKeepsWhatCameBefore) {
    EXPECT_FALSE(
        Load("BO_ 1 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\n\n"
             "SG_MUL_VAL_ 1 S M 0-0;\nBO_ 2 N: 8 Vector__XXX\n"));
    QM_EXPECT_FIELDS(file_, (GetStatus(), 3u), (StopCode(), 15u));
    EXPECT_EQ(Messages(),
              "Not supported DBC keyword, check this line: Line(4) SG_MUL_VAL_ 1 S M 0-0;.\n");
    QM_EXPECT_FIELDS(file_, (GetMessageCount(), 1u), (GetSignalCount(), 1u));
}

// Text after a comment is the next statement; a comment's lines are joined with CR LF.
TEST_F(DbcReader, CommentsEndAtTheirSemicolonAndSpanLines) {
    ASSERT_TRUE(
        Load("BU_: A\nBO_ 5 M: 8 A\nCM_ BU_ A \"node\"; CM_ BO_ 5 \"first line\r\n"
             "second; line\";\n"));
    EXPECT_STREQ(file_.FindNode("A")->GetComment(), "node");
    EXPECT_STREQ(file_.GetMessage(0)->GetComment(), "first line\r\nsecond; line");
    EXPECT_EQ(file_.GetStatus(), 1u);
}

TEST_F(DbcReader, CommentFormsAndTheirWarnings) {
    ASSERT_TRUE(
        Load("BO_ 5 M: 8 Vector__XXX\nCM_ \"network\";\nCM_ SG_ 5 Nope \"x\";\n"
             "CM_ BO_ 5 extra \"x\";\nCM_ BU_ A B \"x\";\n"));
    QM_EXPECT_FIELDS(file_, (GetComment(), "network"), (GetStatus(), 2u));
    EXPECT_EQ(
        Messages(),
        "Missing signal definition: Nope. Line(3) CM_ SG_ 5 Nope \"x\";.\n"
        "Malformed description field section. There should be 4 elements for message "
        "description field section, but there is: 5 elements. Line(4) CM_ BO_ 5 extra \"x\";.\n"
        "Malformed description field section. There should be 5 elements for node description "
        "field section, but there is: 5 elements. Line(5) CM_ BU_ A B \"x\";.\n");
}

TEST_F(DbcReader, VersionLineFollowedDirectlyByNewSymbols) {
    ASSERT_TRUE(Load("VERSION \"1.0\"\nNS_ :\n\nBS_:\n"));
    QM_EXPECT_FIELDS(file_, (GetDbcVersion(), ":"), (GetNewSymbolCount(), 0u));
    // A one-word line inside the version section is a broken version line.
    EXPECT_FALSE(Load("VERSION \"1.0\"\nNS_ :\n\tCM_\n"));
    EXPECT_EQ(file_.GetStatus(), 6u);
    EXPECT_EQ(Messages(), "Check Dbc Version. Line(3) CM_.\n");
}

TEST_F(DbcReader, NewSymbolsRunUntilAnEmptyLine) {
    ASSERT_TRUE(
        Load("VERSION \"\"\n\nNS_ :\n\tNS_DESC_\n\tCM_ BA_DEF_\n\nBS_: 500 : 1, 2\n\nBU_: A B\n"));
    ASSERT_EQ(file_.GetNewSymbolCount(), 3u);
    QM_EXPECT_FIELDS(file_, (GetNewSymbol(0), "NS_DESC_"), (GetNewSymbol(2), "BA_DEF_"),
                     (GetNewSymbol(3), nullptr));
    ASSERT_NE(file_.GetBitTiming(), nullptr);
    QM_EXPECT_FIELDS(*file_.GetBitTiming(), (GetBaudrate(), 500u), (GetBtr2(), 2u));
    EXPECT_EQ(file_.GetNodeCount(), 2u);
}

TEST_F(DbcReader, ValueTablesAndValueDescriptions) {
    ASSERT_TRUE(
        Load("VAL_TABLE_ Onoff 1 \"On\" 0 \"Off\" 1 \"Again\" ;\n"
             "BO_ 3 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\n"
             "VAL_ 3 S 2 \"two\" 1 \"one a\"\n 2 \"two again\" ;\n"));
    IDbcValueTable* table = file_.FindValueTable("Onoff");
    ASSERT_NE(table, nullptr);
    QM_EXPECT_FIELDS(*table, (GetValueCount(), 2u), (GetValueAt(0), 0u),
                     (GetValueDescription(1), "Again"), (GetValueAt(2), 0xFFFFFFFFu));
    IDbcSignal* signal = file_.FindSignal(3, "S");
    ASSERT_EQ(signal->GetValueDescriptionCount(), 2u);
    QM_EXPECT_FIELDS(*signal, (GetValueAt(0), 2u), (GetValueDescription(2), "two again"),
                     (GetValueDescription(1), "one a"), (GetValueDescription(9), nullptr),
                     (IsDescribed(), true));
}

TEST_F(DbcReader, ManyValueDescriptionsKeepOrderAndReplaceRepeats) {
    std::string line =
        "BO_ 3 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\nVAL_ 3 S";
    for (int i = 99; i >= 0; --i)
        line += " " + std::to_string(i) + " \"v" + std::to_string(i) + "\"";
    line += " 50 \"fifty\";\n";
    ASSERT_TRUE(Load(line));
    IDbcSignal* signal = file_.FindSignal(3, "S");
    ASSERT_EQ(signal->GetValueDescriptionCount(), 100u);
    QM_EXPECT_FIELDS(*signal, (GetValueAt(0), 99u), (GetValueDescription(50), "fifty"),
                     (GetValueDescription(0), "v0"));
}

TEST_F(DbcReader, FileEndingInsideACommentNeitherCrashesNorHangs) {
    EXPECT_TRUE(Load("BO_ 3 M: 8 Vector__XXX\nCM_ BO_ 3 \"never closed\nstill; open"));
    EXPECT_EQ(file_.GetStatus(), 1u);
    EXPECT_STREQ(file_.GetMessage(0)->GetComment(), "never closed\r\nstill; ope");
}

TEST_F(DbcReader, EnvironmentVariablesWithDataAndDescriptions) {
    ASSERT_TRUE(
        Load("EV_ Speed: 1 [-5|250.5] \"km/h\" 3.5 12 DUMMY_NODE_VECTOR3 A, B;\n"
             "ENVVAR_DATA_ Speed: 4;\nVAL_ Speed 0 \"stop\" 1 \"go\";\nCM_ EV_ Speed \"ev\";\n"));
    IDbcEnvironmentVariable* variable = file_.FindEnvironmentVariable("Speed");
    ASSERT_NE(variable, nullptr);
    QM_EXPECT_FIELDS(*variable, (GetType(), 1), (GetTypeText(), "float"), (GetMinimum(), -5.0),
                     (GetMaximum(), 250.5), (GetUnit(), "km/h"), (GetInitialValue(), 3.5),
                     (GetId(), 12u), (GetAccessType(), 3), (GetAccessTypeText(), "readWrite"),
                     (GetAccessTypeToken(), "DUMMY_NODE_VECTOR3"));
    ASSERT_EQ(variable->GetAccessNodeCount(), 2u);
    QM_EXPECT_FIELDS(*variable, (GetAccessNode(1), "B"), (HasDataSize(), true), (GetDataSize(), 4u),
                     (GetValueDescription(1), "go"), (GetComment(), "ev"));
}

TEST_F(DbcReader, TransmittersAndSignalGroupsAndValueTypes) {
    ASSERT_TRUE(
        Load("BU_: A B C\nBO_ 9 M: 8 A\n SG_ X : 0|32@1- (1,0) [0|0] \"\" B\n"
             " SG_ Y : 32|32@1+ (1,0) [0|0] \"\" B\nBO_TX_BU_ 9 : A,B,Ghost;\n"
             // A signal line after another statement still belongs to the last message.
             " SG_ Z : 40|8@1+ (1,0) [0|0] \"\" C\n"
             "SIG_VALTYPE_ 9 X : 1;\nSIG_GROUP_ 9 G 2 : X Z Nope;\n"));
    IDbcMessage* message = file_.FindMessage("M");
    ASSERT_EQ(message->GetSignalCount(), 3u);
    EXPECT_STREQ(message->GetSignal(2)->GetName(), "Z");
    EXPECT_EQ(file_.GetSignal(2), message->GetSignal(2));
    ASSERT_EQ(message->GetTransmitterCount(), 2u);
    EXPECT_STREQ(message->GetTransmitterAt(1)->GetName(), "B");
    IDbcSignal* x = message->FindSignal("X");
    QM_EXPECT_FIELDS(*x, (HasExtendedValueType(), true), (GetExtendedValueType(), 1),
                     (GetExtendedValueTypeText(), "IEEEfloat32bit"));
    IDbcSignalGroup* group = message->FindSignalGroup("G");
    ASSERT_NE(group, nullptr);
    QM_EXPECT_FIELDS(*group, (GetRepetitions(), 2u), (GetSignalCount(), 2u));
    EXPECT_EQ(group->FindSignal("Z"), message->FindSignal("Z"));
    EXPECT_EQ(group->GetMessage(), message);
    EXPECT_EQ(file_.GetStatus(), 2u);
    EXPECT_EQ(Messages(),
              "Missing node definition: Ghost. Line(5) BO_TX_BU_ 9 : A,B,Ghost;.\n"
              "Missing signal definition: Nope. Line(8) SIG_GROUP_ 9 G 2 : X Z Nope;.\n");
}

// Whole texts whose reading ends with a status and exact messages, and the messages kept.
struct Outcome {
    const char* text;
    uint32_t status;
    const char* messages;
    uint64_t messageCount;
};

class DbcReadOutcome : public ::testing::TestWithParam<Outcome> {};

TEST_P(DbcReadOutcome, GivesItsStatusMessagesAndMessageCount) {
    TempFolder folder;
    NetConfigDbcFile file;
    EXPECT_EQ(LoadText(file, folder, GetParam().text), GetParam().status <= 2);
    EXPECT_EQ(file.GetStatus(), GetParam().status);
    EXPECT_EQ(MessagesWithoutTiming(file), GetParam().messages);
    EXPECT_EQ(file.GetMessageCount(), GetParam().messageCount);
}

const Outcome kOutcomes[] = {
    {" SG_ A : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\nBO_ 1 M: 8 Vector__XXX\n", 12,
     "Signal section has to be after message section. Line(1) SG_ A : 0|8@1+ (1,0) [0|255] \"\" "
     "Vector__XXX.\n",
     0},
    {"VERSION \"\"\n\n// a comment\nBO_ 1 M: 8 Vector__XXX\n", 4,
     "Possible undefined tag, check this line: Line(3) // a comment.\n", 0},
    {"CM_ XX_ 1 \"x\";\n", 16, "Malformed description field section. Line(1) CM_ XX_ 1 \"x\";.\n",
     0},
    {"BO_ 3 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\nVAL_ 3 S 0 \"a\" 1",
     23, "Malformed value section. Line(3) VAL_ 3 S 0 \"a\" 1.\n", 1},
    {"VAL_ 7 Nope 0 \"a\" ;\nVAL_ NoVar 0 \"a\" ;\n", 2,
     "Missing signal or environment variable definition. Line(1) VAL_ 7 Nope 0 \"a\" ;.\n"
     "Missing signal or environment variable definition. Line(2) VAL_ NoVar 0 \"a\" ;.\n",
     0},
    {"BO_TX_BU_ 9 : A;\n", 2, "Message message definition: 9. Line(1) BO_TX_BU_ 9 : A;.\n", 0},
    // A warning does not hide a later failure.
    {"BO_ 1 M: 8 Ghost\nBO_ 2 N 8\nBO_ 3 O: 8 Vector__XXX\n", 11,
     "Missing node definition: Ghost. Line(1) BO_ 1 M: 8 Ghost.\n"
     "Malformed message section. Line(2) BO_ 2 N 8.\n",
     1},
};

INSTANTIATE_TEST_SUITE_P(Texts, DbcReadOutcome, ::testing::ValuesIn(kOutcomes));

// The message is `what`, " Line(4) ", the line and `end`.
struct Malformed {
    const char* text;
    uint32_t status;
    const char* what;
    const char* end = ".\n";
};

class DbcMalformedSection : public ::testing::TestWithParam<Malformed> {};

TEST_P(DbcMalformedSection, StopsWithItsStatusAndMessage) {
    TempFolder folder;
    NetConfigDbcFile file;
    const std::string prefix = "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" A\n";
    EXPECT_FALSE(LoadText(file, folder, prefix + GetParam().text + "\nBO_ 2 Later: 8 A\n"));
    EXPECT_EQ(file.GetStatus(), GetParam().status);
    EXPECT_EQ(MessagesWithoutTiming(file),
              std::string(GetParam().what) + " Line(4) " + GetParam().text + GetParam().end);
    EXPECT_EQ(file.LastHandlerResult(), 0u);
    EXPECT_EQ(file.GetMessageCount(), 1u) << "reading stops at the failing line";
}

const Malformed kMalformed[] = {
    {"VERSION", 6, "Check Dbc Version."},
    {"VAL_TABLE_X 1 \"a\";", 10, "Malformed val table section."},
    {"VAL_TABLE_ T 1;", 10, "Malformed val table section."},
    {"BO_ 2 N 8", 11, "Malformed message section."},
    {"SG_ T : 0|8@1+ (1,0) [0|255]", 12, "Malformed signal section.", "\n"},
    {"SG_ T 0|8@1+ (1,0) [0|255] \"\" A", 12, "Malformed signal section.", "\n"},
    {"SG_ T : 0|8@1+ (x,0) [0|255] \"\" A", 11, "Check Factor or Offset inside signal section."},
    {"SG_ T : 0|8@1+ (1,0) [0|1e999] \"\" A", 11, "Check Min or Max inside signal section."},
    {"BO_TX_BU_ 1;", 13, "Check Dbc Message Transmitters."},
    {"EV_ V: 0 [0|1] \"\" 0 1;", 14, "Check Dbc Environment Variable."},
    {"EV_ V: 0 [a|1] \"\" 0 1 DUMMY_NODE_VECTOR0 A;", 14,
     "Check Min or Max inside Dbc Environment Variable."},
    {"EV_ V: 0 [0|1] \"\" z 1 DUMMY_NODE_VECTOR0 A;", 14,
     "Check Initial value inside Dbc Environment Variable."},
    {"ENVVAR_DATA_ V;", 15, "Malformed environment variable data section."},
    {"BA_DEF_ BO_ \"X\" INT 0;", 17, "Check Dbc Attribute Definition."},
    {"BA_DEF_ \"X\" BOOL;", 17, "Check Dbc Attribute Definition."},
    {"BA_DEF_REL_ BU_XX_REL_ \"X\" STRING;", 18, "Check Dbc Attribute Definition Rel."},
    {"BA_DEF_REL_ BU_SG_REL_ \"X\" INT 0;", 18, "Check Dbc Attribute Definition Rel."},
    {"BA_DEF_DEF_ \"X\";", 19, "Check Dbc Attribute Default Value."},
    {"BA_DEF_DEF_REL_ \"X\" 1 2;", 20, "Check Dbc Attribute Default Value Rel."},
    {"BA_ \"X\";", 21, "Check Dbc Attribute."},
    {"BA_REL_ \"X\" BU_SG_REL_ A XX_ 1 S 3;", 22, "Check Dbc Attribute Rel."},
    {"VAL_ 1 S;", 23, "Malformed value section."},
    {"SIG_VALTYPE_ 1 S : 1 2;", 24, "Check Dbc Signal Extended Value Type."},
    {"SIG_GROUP_ 1 G 1;", 25, "Check Dbc Signal Group Type."},
    {"CAT_DEF_ 1 x;", 3, "Not supported DBC keyword, check this line:"},
    {"\x01\x02\xff garbage", 4, "Possible undefined tag, check this line:"},
};

INSTANTIATE_TEST_SUITE_P(EverySection, DbcMalformedSection, ::testing::ValuesIn(kMalformed));

TEST_F(DbcReader, BinaryGarbageNeverCrashes) {
    std::string garbage;
    uint32_t seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245 + 12345;
        garbage += static_cast<char>(seed >> 16);
    }
    for (const char* prefix : {"", "CM_ \"", "VAL_ 1 S ", "BO_ 1 M: 8 X\n SG_ ", "VAL_TABLE_ T "}) {
        NetConfigDbcFile file;
        LoadText(file, folder_, prefix + garbage);
        EXPECT_GE(file.GetStatus(), 1u);
    }
}

TEST_F(DbcReader, DatabaseNameComesFromDBNameOrTheFileName) {
    NetConfigDbcFile file;
    ASSERT_TRUE(LoadText(file, folder_,
                         "BA_DEF_ \"DBName\" STRING;\nBA_ \"DBName\" \"Powertrain\";\n", "x.dbc"));
    EXPECT_STREQ(file.GetDatabaseName(), "Powertrain");
    ASSERT_TRUE(LoadText(file, folder_, "", "Body_CAN.dbc"));
    EXPECT_STREQ(file.GetDatabaseName(), "Body_CAN");
}

}  // namespace
