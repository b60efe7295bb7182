// Attribute definitions, defaults, values, relation attributes and the getters they back.
#include <gtest/gtest.h>

#include <chrono>

#include "dbc_test_support.h"
#include "expect_fields.h"

namespace attribute {
namespace {

const char* const kHead =
    "BU_: ECU GW\n"
    "BO_ 100 M: 8 ECU\n"
    " SG_ S : 0|8@1+ (1,0) [0|255] \"\" GW\n"
    "EV_ Var: 0 [0|10] \"\" 0 1 DUMMY_NODE_VECTOR0 ECU;\n";

class DbcAttributes : public ::testing::Test {
  protected:
    bool Load(const std::string& text) { return LoadText(file_, folder_, kHead + text); }
    std::string Messages() { return MessagesWithoutTiming(file_); }

    TempFolder folder_;
    NetConfigDbcFile file_;
};

TEST_F(DbcAttributes, DefinitionsOfEveryTypeAndObject) {
    ASSERT_TRUE(
        Load("BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n"
             "BA_DEF_ \"Baudrate\" HEX 0 1000000;\n"
             "BA_DEF_ SG_ \"Scale\" FLOAT -1.5 1.5;\n"
             "BA_DEF_ BU_ \"Label\" STRING;\n"
             "BA_DEF_ EV_ \"Mode\" ENUM \"Off\",\"On\",\"Not used\";\n"
             "BA_DEF_REL_ BU_SG_REL_ \"Rx\" INT 0 10;\n"
             "BA_DEF_ SG_ \"Label\" INT 0 1;\n"));
    // A second definition of a name is kept; the first is found.
    ASSERT_EQ(file_.GetAttributeDefinitionCount(), 7u);
    EXPECT_EQ(file_.FindAttributeDefinition("Label"), file_.GetAttributeDefinition(3));
    IDbcAttributeDefinition* cycle = file_.FindAttributeDefinition("GenMsgCycleTime");
    QM_EXPECT_FIELDS(*cycle, (GetObjectType(), 2), (GetObjectTypeText(), "message"),
                     (GetValueTypeText(), "integer"), (GetValue(1), "65535"),
                     (GetValue(2), nullptr));
    QM_EXPECT_FIELDS(*file_.FindAttributeDefinition("Baudrate"), (GetObjectTypeText(), "network"),
                     (GetValueTypeText(), "hex"));
    EXPECT_STREQ(file_.FindAttributeDefinition("Scale")->GetValueTypeText(), "floating_point");
    EXPECT_EQ(file_.FindAttributeDefinition("Label")->GetValueCount(), 0u);
    IDbcAttributeDefinition* mode = file_.FindAttributeDefinition("Mode");
    EXPECT_STREQ(mode->GetValueTypeText(), "enumeration");
    ASSERT_EQ(mode->GetValueCount(), 3u);
    QM_EXPECT_FIELDS(*mode, (GetValue(0), "Off"), (GetValue(2), "Not used"));
    IDbcAttributeDefinition* rx = file_.FindAttributeDefinition("Rx");
    QM_EXPECT_FIELDS(*rx, (IsRelation(), true), (GetObjectTypeText(), "nodeRxSignal"));
    EXPECT_FALSE(mode->IsRelation());
}

TEST_F(DbcAttributes, ValuesOnEveryObjectAndTheGettersTheyBack) {
    ASSERT_TRUE(
        Load("BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n"
             "BA_DEF_ BO_ \"GenMsgDelayTime\" INT 0 65535;\n"
             "BA_DEF_ SG_ \"GenSigStartValue\" INT 0 65535;\n"
             "BA_DEF_ \"Baudrate\" INT 0 1000000;\n"
             "BA_DEF_ BU_ \"Label\" STRING;\n"
             "BA_DEF_ EV_ \"Mode\" ENUM \"Off\",\"On\";\n"
             "BA_DEF_DEF_ \"GenMsgCycleTime\" 100;\n"
             "BA_ \"GenMsgCycleTime\" BO_ 100 0x20;\n"
             "BA_ \"GenSigStartValue\" SG_ 100 S 7;\n"
             "BA_ \"Baudrate\" 500000;\n"
             "BA_ \"Label\" BU_ ECU \"front left\";\n"
             "BA_ \"Mode\" EV_ Var 1;\n"));
    EXPECT_EQ(file_.GetStatus(), 1u) << Messages();
    IDbcMessage* message = file_.GetMessage(0);
    EXPECT_EQ(message->GetCycleTime(), 32u);
    EXPECT_EQ(message->GetDelayTime(), 0xFFFFFFFFu) << "defaults are not applied";
    EXPECT_STREQ(file_.FindAttributeDefinition("GenMsgCycleTime")->GetDefaultValue(), "100");
    EXPECT_EQ(file_.FindSignal(100, "S")->GetStartValue(), 7);
    QM_EXPECT_FIELDS(file_, (GetBaudrate(), 500000u), (IsHighSpeed(), true), (IsLowSpeed(), false));
    EXPECT_STREQ(file_.FindNode("ECU")->FindAttribute("Label")->GetValue(), "front left");
    IDbcAttribute* mode = file_.FindEnvironmentVariable("Var")->FindAttribute("Mode");
    ASSERT_NE(mode, nullptr);
    QM_EXPECT_FIELDS(*mode, (GetValue(), "1"), (GetObjectType(), 4));
    EXPECT_EQ(mode->GetDefinition(), file_.FindAttributeDefinition("Mode"));
}

TEST_F(DbcAttributes, MissingAttributesGiveTheGettersTheirFallbacks) {
    ASSERT_TRUE(Load(""));
    EXPECT_EQ(file_.GetMessage(0)->GetCycleTime(), 0xFFFFFFFFu);
    EXPECT_EQ(file_.FindSignal(100, "S")->GetStartValue(), 0);
    QM_EXPECT_FIELDS(file_, (GetBaudrate(), 0xFFFFFFFFu), (IsLowSpeed(), true),
                     (IsHighSpeed(), false));
}

TEST_F(DbcAttributes, NumbersBeyondThirtyTwoBitsSaturate) {
    ASSERT_TRUE(
        Load("BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 0;\n"
             "BA_DEF_ SG_ \"GenSigStartValue\" INT 0 0;\n"
             "BA_DEF_ \"Baudrate\" INT 0 0;\n"
             "BA_ \"GenMsgCycleTime\" BO_ 100 4294967296;\n"
             "BA_ \"GenSigStartValue\" SG_ 100 S -3000000000;\n"
             "BA_ \"Baudrate\" 0x100000000;\n"
             "BO_ 4294967396 Big: 8 Vector__XXX\n"
             "BO_ -1 Minus: 8 Vector__XXX\n"
             " SG_ Sel m5000000000 : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\n"));
    EXPECT_EQ(file_.GetMessage(0)->GetCycleTime(), 0x7FFFFFFFu);
    EXPECT_EQ(file_.FindSignal(100, "S")->GetStartValue(), INT32_MIN);
    QM_EXPECT_FIELDS(file_, (GetBaudrate(), 0x7FFFFFFFu), (IsLowSpeed(), false));
    EXPECT_EQ(file_.GetMessage(1)->GetRawId(), 0xFFFFFFFFu);
    EXPECT_EQ(file_.GetMessage(2)->GetRawId(), 0xFFFFFFFFu);
    EXPECT_EQ(file_.GetMessage(2)->GetSignal(0)->GetMultiplexValue(), INT32_MAX);
}

TEST_F(DbcAttributes, ObjectKeywordWithoutValueIsANetworkAttribute) {
    ASSERT_TRUE(Load("BA_DEF_ BU_ \"Label\" STRING;\nBA_ \"Label\" BU_ ECU;\n"));
    ASSERT_EQ(file_.GetAttributeCount(), 1u);
    EXPECT_STREQ(file_.GetAttribute(0)->GetValue(), "BU_");
    EXPECT_EQ(file_.FindNode("ECU")->GetAttributeCount(), 0u);
}

// Values for unknown objects, and a value before its definition, are dropped with a warning.
TEST_F(DbcAttributes, ValuesForUnknownObjectsWarn) {
    ASSERT_TRUE(
        Load("BA_ \"Late\" BO_ 100 1;\nBA_DEF_ BO_ \"Late\" INT 0 1;\n"
             "BA_DEF_ BO_ \"A\" INT 0 1;\nBA_ \"A\" BO_ 7 1;\nBA_ \"A\" SG_ 100 Nope 1;\n"
             "BA_DEF_DEF_ \"Nope\" 1;\n"));
    EXPECT_EQ(file_.GetStatus(), 2u);
    EXPECT_EQ(Messages(),
              "Missing attribute definition: Late. Line(5) BA_ \"Late\" BO_ 100 1;.\n"
              "Missing message definition: 7. Line(8) BA_ \"A\" BO_ 7 1;.\n"
              "Missing signal definition: Nope. Line(9) BA_ \"A\" SG_ 100 Nope 1;.\n"
              "Missing attribute definition: Nope. Line(10) BA_DEF_DEF_ \"Nope\" 1;.\n");
    EXPECT_EQ(file_.GetMessage(0)->GetAttributeCount(), 0u);
}

TEST_F(DbcAttributes, RelationValuesBelongToTheNodeAndAreListedByTheObject) {
    ASSERT_TRUE(
        Load("BA_DEF_REL_ BU_SG_REL_ \"Rx\" INT 0 10;\n"
             "BA_DEF_REL_ BU_BO_REL_ \"Tx\" ENUM \"No\",\"Yes\";\n"
             "BA_DEF_REL_ BU_EV_REL_ \"Ev\" STRING;\n"
             "BA_DEF_DEF_REL_ \"Rx\" 3;\n"
             "BA_REL_ \"Rx\" BU_SG_REL_ GW SG_ 100 S 5;\n"
             "BA_REL_ \"Tx\" BU_BO_REL_ ECU 100 1;\n"
             "BA_REL_ \"Ev\" BU_EV_REL_ ECU Var \"text\";\n"));
    EXPECT_EQ(file_.GetStatus(), 1u) << Messages();
    EXPECT_STREQ(file_.FindAttributeDefinition("Rx")->GetDefaultValue(), "3");
    IDbcSignal* signal = file_.FindSignal(100, "S");
    ASSERT_EQ(signal->GetAttributeCount(), 1u);
    auto* rx = dynamic_cast<IDbcNodeRxSigRelAttribute*>(signal->GetAttribute(0));
    ASSERT_NE(rx, nullptr);
    QM_EXPECT_FIELDS(*rx, (GetNodeName(), "GW"), (GetMessageId(), 100u), (GetSignalName(), "S"),
                     (GetValue(), "5"), (IsRelation(), true));
    EXPECT_EQ(file_.FindNode("GW")->GetAttribute(0), signal->GetAttribute(0));
    auto* tx = dynamic_cast<IDbcNodeTxMsgRelAttribute*>(file_.GetMessage(0)->GetAttribute(0));
    ASSERT_NE(tx, nullptr);
    QM_EXPECT_FIELDS(*tx, (GetNodeName(), "ECU"), (GetObjectType(), 5));
    auto* ev = dynamic_cast<IDbcNodeEnvVarRelAttribute*>(
        file_.FindEnvironmentVariable("Var")->GetAttribute(0));
    ASSERT_NE(ev, nullptr);
    QM_EXPECT_FIELDS(*ev, (GetEnvironmentVariableName(), "Var"), (GetValue(), "text"));
    EXPECT_EQ(dynamic_cast<IDbcNodeTxMsgRelAttribute*>(signal->GetAttribute(0)), nullptr);

    // Clearing the node takes its relation attributes out of every list that shows them.
    file_.FindNode("GW")->Clear();
    EXPECT_EQ(signal->GetAttributeCount(), 0u);
    file_.Clear();
    QM_EXPECT_FIELDS(file_, (GetMessageCount(), 0u), (GetStatus(), 0u));
}

// After an edit of the identifier a relation was read with, Clear still finds its relations.
TEST_F(DbcAttributes, RelationsLeaveTheirListsAfterEditsAndClears) {
    ASSERT_TRUE(
        Load("BA_DEF_REL_ BU_SG_REL_ \"Rx\" INT 0 10;\n"
             "BA_DEF_REL_ BU_BO_REL_ \"Tx\" INT 0 1;\n"
             "BA_REL_ \"Rx\" BU_SG_REL_ GW SG_ 100 S 5;\n"
             "BA_REL_ \"Tx\" BU_BO_REL_ GW 100 1;\n"));
    IDbcMessage* message = file_.GetMessage(0);
    IDbcSignal* signal = message->GetSignal(0);
    ASSERT_TRUE(file_.SetMessageId(100, 5));
    ASSERT_EQ(message->GetAttributeCount(), 1u);
    ASSERT_EQ(signal->GetAttributeCount(), 1u);
    file_.FindNode("GW")->Clear();
    EXPECT_EQ(message->GetAttributeCount(), 0u);
    EXPECT_EQ(signal->GetAttributeCount(), 0u);

    // A cleared message empties its signals but leaves them to the lists that name them.
    message->Clear();
    EXPECT_EQ(message->GetSignalCount(), 0u);
    ASSERT_EQ(file_.GetSignalCount(), 1u);
    QM_EXPECT_FIELDS(*file_.GetSignal(0), (GetName(), ""), (GetAttributeCount(), 0u));
}

TEST_F(DbcAttributes, RelationValueWithUnknownNodeAndObjectNamesBoth) {
    ASSERT_TRUE(
        Load("BA_DEF_REL_ BU_BO_REL_ \"Tx\" INT 0 1;\nBA_DEF_REL_ BU_SG_REL_ \"Rx\" INT 0 1;\n"
             "BA_REL_ \"Tx\" BU_BO_REL_ Ghost 5 1;\n"
             "BA_REL_ \"Tx\" BU_BO_REL_ Ghost 100 1;\n"
             "BA_REL_ \"Rx\" BU_SG_REL_ GW SG_ 100 Nope 1;\n"
             "BA_REL_ \"Missing\" BU_SG_REL_ GW SG_ 100 S 1;\n"));
    EXPECT_EQ(file_.GetStatus(), 2u);
    EXPECT_EQ(
        Messages(),
        "Missing node: Ghost and message: 5 definition. Line(7) BA_REL_ \"Tx\" BU_BO_REL_ Ghost 5 "
        "1;.\n"
        "Missing node: Ghost definition. Line(8) BA_REL_ \"Tx\" BU_BO_REL_ Ghost 100 1;.\n"
        "Missing signal: Nope definition. Line(9) BA_REL_ \"Rx\" BU_SG_REL_ GW SG_ 100 Nope 1;.\n"
        "Missing attribute definition: Missing. Line(10) BA_REL_ \"Missing\" BU_SG_REL_ GW SG_ 100 "
        "S 1;.\n");
}

TEST_F(DbcAttributes, RelationValueOnEnvironmentVariableWarnsLikeTheOthers) {
    ASSERT_TRUE(
        Load("BA_DEF_REL_ BU_EV_REL_ \"Ev\" STRING;\n"
             "BA_REL_ \"Ev\" BU_EV_REL_ Ghost Nope \"v\";\n"
             "BA_REL_ \"Ev\" BU_EV_REL_ ECU Nope \"v\";\n"
             "BA_REL_ \"Ev\" BU_EV_REL_ Ghost Var \"v\";\n"
             "BA_REL_ \"Ev\" BU_EV_REL_ ECU Var \"v\";\n"));
    EXPECT_EQ(file_.GetStatus(), 2u);
    EXPECT_EQ(Messages(),
              "Missing node: Ghost and environment variable: Nope definition. Line(6) BA_REL_ "
              "\"Ev\" BU_EV_REL_ Ghost Nope \"v\";.\n"
              "Missing environment variable: Nope definition. Line(7) BA_REL_ \"Ev\" BU_EV_REL_ "
              "ECU Nope \"v\";.\n"
              "Missing node: Ghost definition. Line(8) BA_REL_ \"Ev\" BU_EV_REL_ Ghost Var "
              "\"v\";.\n");
    IDbcEnvironmentVariable* variable = file_.FindEnvironmentVariable("Var");
    ASSERT_EQ(variable->GetAttributeCount(), 1u);
    auto* relation = dynamic_cast<IDbcNodeEnvVarRelAttribute*>(variable->GetAttribute(0));
    ASSERT_NE(relation, nullptr);
    QM_EXPECT_FIELDS(*relation, (GetNodeName(), "ECU"), (GetEnvironmentVariableName(), "Var"),
                     (GetValue(), "v"), (GetObjectType(), 7));
    EXPECT_EQ(file_.FindNode("ECU")->GetAttribute(0), variable->GetAttribute(0));
}

// Attribute statements of a wrong form stop reading with their status; fitting ones load.
struct StatementForm {
    const char* line;
    uint32_t status;
};

class DbcAttributeStatementForm : public ::testing::TestWithParam<StatementForm> {};

TEST_P(DbcAttributeStatementForm, StopsOrLoadsByItsForm) {
    TempFolder folder;
    NetConfigDbcFile file;
    LoadText(file, folder, std::string(kHead) + GetParam().line + "\nBO_ 2 Later: 8 ECU\n");
    EXPECT_EQ(file.GetStatus(), GetParam().status) << GetParam().line;
    EXPECT_EQ(file.GetMessageCount(), GetParam().status == 1 ? 2u : 1u) << GetParam().line;
}

const StatementForm kStatementForms[] = {
    {"BA_DEF_ BO_ \"x\" INT 0;", 17},
    {"BA_DEF_ \"x\" HEX 0;", 17},
    {"BA_DEF_ BO_ \"x\";", 17},
    {"BA_DEF_ \"x\" STRING;", 1},
    {"BA_DEF_ BU_EV_REL_ \"x\" INT 0 1;", 17},
    {"BA_DEF_REL_ BU_BO_REL_ \"x\" INT 0 1 2;", 18},
    {"BA_DEF_REL_ BU_EV_REL_ \"x\" FLOAT 0;", 18},
    {"BA_DEF_REL_ BU_BO_REL_ \"x\" STRING 1;", 18},
    {"BA_DEF_REL_ BO_ \"x\" INT 0 1;", 18},
    {"BA_DEF_REL_ BU_SG_REL_ \"x\" FOO;", 18},
    {"BA_DEF_REL_ BU_SG_REL_ \"x\" ENUM;", 1},
    {"BA_DEF_DEF_REL_ \"x\";", 20},
    {"BA_REL_ \"x\" BU_BO_REL_ ECU 100;", 22},
    {"BA_REL_ \"x\" BU_EV_REL_ ECU Var 1 2;", 22},
    {"BA_REL_ \"x\" BU_SG_REL_ ECU BO_ 100 S 1;", 22},
    {"BA_REL_ \"x\" BU_SG_REL_ ECU SG_ 100 S;", 22},
};

INSTANTIATE_TEST_SUITE_P(Lines, DbcAttributeStatementForm, ::testing::ValuesIn(kStatementForms));

TEST(DbcModel, LookupsAndIndexes) {
    TempFolder folder;
    NetConfigDbcFile file;
    QM_EXPECT_FIELDS(file, (GetFirstMessage(), nullptr), (GetLastMessage(), nullptr));
    ASSERT_TRUE(LoadText(file, folder,
                         "BU_: A B A\nVAL_TABLE_ T 0 \"x\" ;\nBO_ 1 First: 8 A\nBO_ 2 Second: 8 B\n"
                         "BO_ 1 Again: 8 A\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" B\n"));
    QM_EXPECT_FIELDS(file, (GetNodeCount(), 3u), (FindNode("A"), file.GetNode(0)));
    QM_EXPECT_FIELDS(file, (IndexOfNode(file.GetNode(2)), 2u),
                     (IndexOfNode(reinterpret_cast<IDbcNode*>(file.GetMessage(0))), 0xFFFFFFFFu),
                     (IndexOfNode(nullptr), 0xFFFFFFFFu), (GetNode(3), nullptr),
                     (IndexOfValueTable(file.FindValueTable("T")), 0u));
    EXPECT_STREQ(file.GetFirstMessage()->GetName(), "First");
    EXPECT_STREQ(file.GetLastMessage()->GetName(), "Again");
    EXPECT_STREQ(file.FindMessage(1u)->GetName(), "First");
    QM_EXPECT_FIELDS(file, (FindMessage("Again"), file.GetMessage(2)),
                     (IndexOfMessage(file.FindMessage("Second")), 1u));
    // The signal belongs to the last message read; a look-up by identifier finds the first one.
    QM_EXPECT_FIELDS(file, (FindSignal(1, "S"), nullptr), (GetSignalCount(), 1u),
                     (IndexOfSignal(file.GetSignal(0)), 0u));
    EXPECT_EQ(file.GetSignal(0)->GetMessage(), file.GetMessage(2));
    EXPECT_EQ(file.GetMessage(2)->GetSignal(1), nullptr);
    QM_EXPECT_FIELDS(file, (GetMessage(99), nullptr), (GetVersion(), "1.55"), (GetFileType(), 1));
}

TEST(DbcScale, ManyRelationValuesOnOneSignalLoadAndClearInLinearTime) {
    TempFolder folder;
    std::string text = std::string(kHead) +
                       "BA_DEF_REL_ BU_SG_REL_ \"Rx\" INT 0 10;\nBA_DEF_ SG_ \"Plain\" INT 0 1;\n";
    for (int i = 0; i < 100000; ++i) {
        text += "BA_REL_ \"Rx\" BU_SG_REL_ GW SG_ 100 S 1;\nBA_ \"Plain\" SG_ 100 S 0;\n";
    }
    NetConfigDbcFile file;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(LoadText(file, folder, text));
    EXPECT_EQ(file.FindSignal(100, "S")->GetAttributeCount(), 200000u);
    file.Clear();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(file.GetNodeCount(), 0u);
}

}  // namespace
}  // namespace attribute
