// The writer's layout, number forms, round trips and the edit operations that rewrite the file.
#include <gtest/gtest.h>

#include "dbc/dbc_number.h"
#include "dbc_model_compare.h"
#include "dbc_test_support.h"
#include "expect_fields.h"

namespace {

std::string LayoutInput() {
    return ReadFile(std::string(QM_SOURCE_DIR) + "/tests/data/dbc/layout_input.dbc");
}

const char* const kLayoutExpected =
    "VERSION \"1.2\"\r\n\r\n"
    "NS_ : \r\n\tCM_\r\n\r\n"
    "BS_:500 : 12 , 34\r\n\r\n"
    "BU_: ECU GW \r\n\r\n"
    "VAL_TABLE_ OnOff 0 \"Off\" 1 \"On\" ;\r\n"
    "BO_ 2147483748 Ext: 8 ECU\r\n"
    " SG_ Mux M  : 0|4@1+ (1,0) [0|15] \"\" GW\r\n"
    " SG_ Val m1  : 8|16@0- (0.01,-40) [-40|615.35] \"degC\" GW,ECU\r\n"
    " SG_ Exp : 24|8@1+ (1E-5,0) [0|0E-5] \"\" Vector__XXX\r\n\r\n"
    "BO_ 200 Plain: 2 Vector__XXX\r\n\r\n"
    "BO_TX_BU_ 2147483748 : ECU,GW;\r\n\r\n"
    "EV_ Var: 0 [0.000000|10.000000] \"\" 2.000000 7 DUMMY_NODE_VECTOR0 ECU;\r\n\r\n"
    "ENVVAR_DATA_ Var: 4;\r\n\r\n"
    "CM_ \"net\";\r\n\r\n"
    "CM_ BU_ ECU \"node\";\r\n\r\n"
    "CM_ BO_ 2147483748 \"msg\r\non two lines\";\r\n\r\n"
    "CM_ SG_ 2147483748 Val \"sig\";\r\n\r\n"
    "CM_ EV_ Var \"ev\";\r\n\r\n"
    "BA_DEF_ BO_ \"Cycle\" INT 0 1000;\r\n"
    "BA_DEF_ \"Label\" STRING;\r\n"
    "BA_DEF_ SG_ \"Mode\" ENUM \"Off\",\"On\";\r\n"
    "BA_DEF_REL_ BU_BO_REL_ \"Tx\" HEX 0 255;\r\n\r\n"
    "BA_DEF_DEF_  \"Cycle\" 100;\r\n"
    "BA_DEF_DEF_  \"Mode\" \"On\";\r\n"
    "BA_DEF_DEF_REL_  \"Tx\" 1;\r\n\r\n"
    "BA_  \"Label\" \"a b\";\r\n"
    "BA_ \"Cycle\" BO_ 2147483748 10;\r\n"
    "BA_ \"Mode\" SG_ 2147483748 Val 1;\r\n"
    "BA_ \"Mode\" SG_ 2147483748 Exp \"On\";\r\n"
    "BA_REL_ \"Tx\" BU_BO_REL_ GW 2147483748 5;\r\n"
    "VAL_ 2147483748 Mux 0 \"zero\" 1 \"one\";\r\n"
    "VAL_ Var 1 \"x\";\r\n\r\n"
    "SIG_VALTYPE_ 2147483748 Exp : 1;\r\n"
    "SIG_GROUP_ 2147483748 Grp 1 : Mux Val;\r\n";

TEST(DbcWriter, WritesEverySectionInItsLayoutAndReadsBackIntoTheSameModel) {
    TempFolder folder;
    NetConfigDbcFile file;
    ASSERT_TRUE(LoadText(file, folder, LayoutInput()));
    ASSERT_EQ(file.GetStatus(), 1u) << file.GetMessages();
    EXPECT_EQ(SavedText(file, folder), kLayoutExpected);
    NetConfigDbcFile reread;
    ASSERT_TRUE(reread.Load(folder.File("out.dbc").c_str()));
    EXPECT_EQ(reread.GetStatus(), 1u) << reread.GetMessages();
    dbctest::ExpectSameDbcModel(file, reread, dbctest::DbcRebuild::kText);
}

TEST(DbcWriter, NumbersKeepTheirForm) {
    // Pairs: a text, then the form it is written in.
    const char* const cases[] = {
        "0.5", "0.5", "-10", "-10", "0.100", "0.100", "1.", "1", "1E-05", "1E-5", "1e-05", "1E-5",
        "1.50E-005", "1.50E-5", "5.96e-8", "5.96E-8", "1.84467440737096E+019",
        "1.84467440737096E+19", "0E-5", "0E-5", "0.0E+00", "0E-1", "-2.5E3", "-2.5E+3",
        // Mantissas with more than one digit before the point keep their value.
        "12E-3", "1.2E-2", "15E1", "1.5E+2", "-25E-1", "-2.5E+0", "1234E2", "1.234E+5", "12.5E-3",
        "1.25E-2", "0.0125E1", "1.25E-1", "123456789012", "123456789012"};
    for (size_t i = 0; i < std::size(cases); i += 2) {
        SCOPED_TRACE(cases[i]);
        qm::dbc::DbcNumber number;
        ASSERT_TRUE(qm::dbc::ParseDbcNumber(cases[i], number));
        std::string written;
        qm::dbc::AppendDbcNumber(written, number.value, number.decimals, number.exponent);
        EXPECT_EQ(written, cases[i + 1]);
        qm::dbc::DbcNumber again;
        ASSERT_TRUE(qm::dbc::ParseDbcNumber(written, again));
        EXPECT_EQ(again.value, number.value);
        EXPECT_EQ(again.decimals, number.decimals);
        EXPECT_EQ(again.exponent, number.exponent);
    }
    qm::dbc::DbcNumber bad;
    EXPECT_FALSE(qm::dbc::ParseDbcNumber("abc", bad));
    EXPECT_FALSE(qm::dbc::ParseDbcNumber("1e999", bad));
    EXPECT_FALSE(qm::dbc::ParseDbcNumber("", bad));
}

// An empty model still writes the fixed lines, their empty lines and the network comment.
TEST(DbcWriter, EmptyModelWritesTheFixedLines) {
    TempFolder folder;
    NetConfigDbcFile file;
    EXPECT_EQ(SavedText(file, folder),
              "VERSION \"\"\r\n\r\nNS_ : \r\n\r\nBS_:\r\n\r\nBU_: \r\n\r\n"
              "\r\n\r\n\r\n"                       // transmitters, variables, data
              "CM_ \"\";\r\n\r\n\r\n\r\n\r\n\r\n"  // comment groups
              "\r\n\r\n\r\n");                     // definitions, defaults, value descriptions
}

TEST(DbcWriter, MessageAndSignalWithoutNodesWriteNoNode) {
    TempFolder folder;
    NetConfigDbcFile file;
    LoadText(file, folder, "BO_ 1 M: 8 Ghost\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Ghost\n");
    ASSERT_EQ(file.GetStatus(), 2u);
    ExpectTexts(SavedText(file, folder), {"BO_ 1 M: 8 Vector__XXX\r\n",
                                          " SG_ S : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\r\n"});
}

// An enumeration value stays bare only when it reads as an index ("0" or from 1); else quoted.
TEST(DbcWriter, EnumerationValuesStayBareOnlyWhenTheyReadAsAnIndex) {
    struct Case {
        const char* value;
        const char* written;
    };
    const Case cases[] = {{"0", "0"},       {"2", "2"},         {"3abc", "3abc"}, {"00", "\"00\""},
                          {"-1", "\"-1\""}, {"0x2", "\"0x2\""}, {"On", "\"On\""}, {"\"\"", "\"\""}};
    for (const Case& c : cases) {
        TempFolder folder;
        NetConfigDbcFile file;
        ASSERT_TRUE(LoadText(file, folder,
                             std::string("BU_: N\nBO_ 1 M: 8 N\n"
                                         "BA_DEF_ BU_ \"E\" ENUM \"a\",\"b\",\"c\";\n"
                                         "BA_ \"E\" BU_ N ") +
                                 c.value + ";\n"))
            << c.value;
        ExpectTexts(SavedText(file, folder),
                    {std::string("BA_ \"E\" BU_ N ") + c.written + ";\r\n"});
    }
}

// The numbers of an environment variable are written as "%f" prints them, whatever their text.
TEST(DbcWriter, EnvironmentVariableNumbersHaveSixDecimals) {
    TempFolder folder;
    NetConfigDbcFile file;
    ASSERT_TRUE(LoadText(file, folder,
                         "BU_: A B\nEV_ V: 1 [1e20|-0] \"m s\" -0.1234567 4294967295 "
                         "DUMMY_NODE_VECTOR8000 A,B;\n"));
    ASSERT_EQ(file.GetStatus(), 1u) << file.GetMessages();
    ExpectTexts(SavedText(file, folder),
                {"\r\n\r\nEV_ V: 1 [100000000000000000000.000000|-0.000000] \"m s\" "
                 "-0.123457 4294967295 DUMMY_NODE_VECTOR8000 A, B;\r\n\r\n"});
}

class DbcEdits : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = folder_.File("edit.dbc");
        dbctest::WriteText(path_,
                           "BU_: A\nBO_ 100 M: 8 A\n SG_ S : 0|8@1+ (0.5,0) [0|127.5] \"\" A\n");
        ASSERT_TRUE(file_.Load(path_.c_str()));
    }
    IDbcSignal* Signal(const char* name = "S") { return file_.FindSignal(100, name); }
    // Makes every save fail: the stored path now names a folder.
    void BreakThePath() {
        const std::string blocked = folder_.File("blocked.dbc");
        std::filesystem::create_directory(blocked);
        file_.SetPath(qm::platform::Widen(blocked).c_str());
    }

    TempFolder folder_;
    std::string path_;
    NetConfigDbcFile file_;
};

TEST_F(DbcEdits, ASuccessfulEditRewritesTheFile) {
    EXPECT_TRUE(file_.SetSignalByteOrder(100, "S", '0'));
    EXPECT_EQ(Signal()->GetByteOrder(), 1u);
    EXPECT_TRUE(file_.SetSignalByteOrder(100, "S", '1'));
    QM_EXPECT_FIELDS(*Signal(), (GetByteOrder(), 2u), (GetByteOrderText(), "littleEndian"));
    QM_EXPECT_FIELDS(file_, (SetSignalFactor(100, "S", 0.25, 2), true),
                     (SetSignalUnit(100, "S", "km/h"), true),
                     (SetSignalName(100, "S", "Speed"), true));
    EXPECT_EQ(Signal(), nullptr);
    ASSERT_NE(Signal("Speed"), nullptr);
    QM_EXPECT_FIELDS(file_, (SetMessageName(100, "Renamed"), true), (SetMessageSize(100, 4), true),
                     (SetMessageId(100, 0x80000123), true), (FindMessage(100u), nullptr));
    EXPECT_STREQ(file_.FindMessage(0x80000123u)->GetName(), "Renamed");
    EXPECT_EQ(dbctest::ReadFile(path_),
              "VERSION \"\"\r\n\r\nNS_ : \r\n\r\nBS_:\r\n\r\nBU_: A \r\n\r\n"
              "BO_ 2147483939 Renamed: 4 A\r\n"
              " SG_ Speed : 0|8@1+ (0.25,0) [0|127.5] \"km/h\" "
              "A\r\n\r\n\r\n\r\n\r\nCM_ \"\";\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(DbcEdits, RejectedArgumentsChangeNothing) {
    const std::string before = dbctest::ReadFile(path_);
    QM_EXPECT_FIELDS(file_, (SetSignalByteOrder(100, "S", 'x'), false),
                     (SetSignalValueType(100, "S", '*'), false),
                     (SetSignalName(100, "Nope", "X"), false),
                     (SetSignalName(100, nullptr, "X"), false), (SetMessageSize(7, 1), false));
    EXPECT_EQ(Signal()->GetByteOrder(), 2u);
    EXPECT_EQ(dbctest::ReadFile(path_), before);
}

TEST_F(DbcEdits, AFailedSaveRestoresTheModel) {
    BreakThePath();
    EXPECT_FALSE(file_.SetSignalByteOrder(100, "S", '0'));
    QM_EXPECT_FIELDS(*Signal(), (GetByteOrder(), 2u), (GetByteOrderChar(), '1'));
    EXPECT_FALSE(file_.SetSignalValueType(100, "S", '-'));
    EXPECT_STREQ(Signal()->GetValueTypeText(), "unsignedType");
    EXPECT_FALSE(file_.SetSignalFactor(100, "S", 3.0, 4));
    EXPECT_EQ(Signal()->GetFactor(), 0.5);
    EXPECT_EQ(Signal()->GetFactorDecimals(), 1);
    EXPECT_FALSE(file_.SetSignalStartBit(100, "S", 9));
    EXPECT_EQ(Signal()->GetStartBit(), 0);
    EXPECT_FALSE(file_.SetSignalName(100, "S", "Other"));
    EXPECT_NE(Signal(), nullptr);
    EXPECT_FALSE(file_.SetMessageId(100, 5));
    EXPECT_NE(file_.FindMessage(100u), nullptr);
    EXPECT_FALSE(file_.SetMessageName(100, "Other"));
    EXPECT_NE(file_.FindMessage("M"), nullptr);
    EXPECT_EQ(dbctest::ReadFile(path_),
              "BU_: A\nBO_ 100 M: 8 A\n SG_ S : 0|8@1+ (0.5,0) [0|127.5] \"\" A\n");
}

TEST(DbcInfoText, ListsNodesMessagesSignalsAndVariables) {
    TempFolder folder;
    NetConfigDbcFile file;
    ASSERT_TRUE(LoadText(file, folder, LayoutInput()));
    const std::string info = file.GetInfoText();
    for (const char* piece :
         {"Node[0]: ECU\n", "Global value table:\n", "\tName: OnOff\n", "\t\t[1]   On\n", "Msg[0]",
          "\tID: 100\n", "\tByte length: 8\n", "\tSender: ECU\n", "\tSignals:\n", "\t\tSignal[1]",
          "\t\t\tMux signal type: multiplexedSignal\n", "\t\t\tFactor: 0.010000\n",
          "\t\t\tByte order: bigEndian\n", "Ev[0]", "\tUnit: \"\"\n", "\tData size: 4\n"}) {
        EXPECT_NE(info.find(piece), std::string::npos) << piece;
    }
    // Every signal shows every field, whatever its multiplexing.
    for (const char* label :
         {"\t\t\tMux signal type: ", "\t\t\tMultiplex value: ", "\t\t\tMux indicator: ",
          "\t\t\tBit length: ", "\t\t\tStart bit: ", "\t\t\tMin value: ", "\t\t\tMax value: ",
          "\t\t\tFactor: ", "\t\t\tOffset: ", "\t\t\tByte order: ", "\t\t\tExtended value type: ",
          "\t\t\tEncoding: "}) {
        EXPECT_EQ(qmtest::Occurrences(info, label), file.GetSignalCount()) << label;
    }
    EXPECT_NE(info.find("\t\t\tMultiplex value: -1\n"), std::string::npos);
}

// The narrow forms of every file kind (DBC, LDF, ARXML) widen the path and forward alike.
TEST(DbcNetFile, NarrowAndWidePathsLoadAlikeAndSaveToTheStoredPath) {
    TempFolder folder;
    const std::string path = folder.File("plain.dbc");
    dbctest::WriteText(path,
                       "BO_ 7 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\n");
    NetConfigDbcFile narrow;
    NetConfigDbcFile wide;
    ASSERT_TRUE(narrow.Load(path.c_str()));
    ASSERT_TRUE(wide.Load(qm::platform::Widen(path).c_str()));
    dbctest::ExpectSameDbcModel(narrow, wide, dbctest::DbcRebuild::kText);
    EXPECT_EQ(std::wstring(narrow.GetPath()), qm::platform::Widen(path));

    // Save() writes to the stored path; what it wrote reads back into the same model.
    ASSERT_TRUE(narrow.SetMessageSize(7, 2));
    NetConfigDbcFile reread;
    ASSERT_TRUE(reread.Load(path.c_str()));
    EXPECT_EQ(reread.GetMessage(0)->GetSize(), 2);
    dbctest::ExpectSameDbcModel(narrow, reread, dbctest::DbcRebuild::kText);
}

}  // namespace
