// The "DBC" container element: its layout, and what the import makes of it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dbc/dbc_container.h"
#include "dbc_model_compare.h"
#include "dbc_test_support.h"
#include "expect_fields.h"
#include "quillmere/xml.h"

namespace {

const char* kText = R"(VERSION "1"

NS_ :
	CM_

BS_:

BU_: Engine Dash

VAL_TABLE_ Switch 0 "Off" 1 "On" ;

BO_ 100 Status: 8 Engine
 SG_ Speed : 0|16@1+ (0.5,-10) [-10|32757.5] "km/h" Dash
 SG_ Mode : 16|2@0- (1,0) [0|3] "" Dash

EV_ Volume: 0 [0|100] "dB" 5 12 DUMMY_NODE_VECTOR3 Dash;

CM_ "Net <a> &lt;b&gt; &auml;";
CM_ BU_ Dash "Dashboard";
BA_DEF_ BU_ "NodeLayer" STRING;
BA_DEF_ SG_ "Start" INT 0 100;
BA_DEF_ "Kind" ENUM "A","B";
BA_DEF_REL_ BU_SG_REL_ "Timeout" INT 0 65535;
BA_DEF_REL_ BU_BO_REL_ "TxTime" INT 0 10;
BA_ "Kind" 1;
BA_ "NodeLayer" BU_ Dash "top";
BA_ "Start" SG_ 100 Speed 7;
BA_REL_ "Timeout" BU_SG_REL_ Dash SG_ 100 Speed 250;
BA_REL_ "TxTime" BU_BO_REL_ Engine 100 3;
VAL_ 100 Mode 0 "Idle" 3 "Run" ;
SIG_GROUP_ 100 Group 2 : Speed Mode;
)";

// The text loaded, exported into a container element, and a file to import into.
class DbcContainer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dbctest::LoadText(source, folder, kText));
        dbc.reset(qm::dbc::ExportDbcContainer(source));
    }
    TempFolder folder;
    NetConfigDbcFile source;
    std::unique_ptr<NanoXML> dbc;
    NetConfigDbcFile restored;
};

std::vector<std::string> ChildNames(const NanoXML* element) {
    std::vector<std::string> names;
    for (const NanoXML* child : element->children) names.push_back(child->name);
    return names;
}

// Through text, as the container file does: written, read back, imported.
std::unique_ptr<NanoXML> Reread(const NanoXML& element) {
    auto copy = std::make_unique<NanoXML>();
    const std::string text = element.Serialize(0, false);
    copy->Parse(text.c_str(), false, text.size(), 0, 0);
    return copy;
}

}  // namespace

TEST_F(DbcContainer, ElementsFollowTheFixedLayout) {
    EXPECT_EQ(dbc->name, "DBC");
    EXPECT_EQ(ChildNames(dbc.get()),
              (std::vector<std::string>{"Network_name", "Nodes", "Value_tables", "Messages",
                                        "Environment_variables", "Description_text",
                                        "Attribute_definitions", "Attributes"}));
    NanoXML* signal = dbc->FindByPath({"Messages", "Message", "Signals", "Signal"});
    ASSERT_NE(signal, nullptr);
    EXPECT_EQ(ChildNames(signal),
              (std::vector<std::string>{"Name", "Start_bit", "Size", "Byte_order", "Value_type",
                                        "Factor", "Offset", "Minimum", "Maximum", "Unit",
                                        "Receivers", "Description_text", "Values"}));
    EXPECT_EQ(signal->GetChild(std::string("Factor"))->text, "0.500000");
    EXPECT_EQ(signal->GetChild(std::string("Offset"))->text, "-10.000000");
    EXPECT_EQ(signal->GetChild(std::string("Byte_order"))->text, "littleEndian");
    // A value table's entries are elements named by their values.
    NanoXML* values = dbc->FindByPath({"Value_tables", "Value_table", "Values"});
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(ChildNames(values), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(values->children[1]->GetText(), "On");
    NanoXML* variable = dbc->FindByPath({"Environment_variables", "Environment_variable"});
    EXPECT_EQ(variable->GetChild(std::string("Access_type"))->text, "readWrite");
    EXPECT_EQ(variable->GetChild(std::string("Type"))->text, "integer");
}

// Enumerated texts are the model's: a cleared signal has an undefined byte order, not "".
TEST_F(DbcContainer, EnumeratedTextsAreTheOnesTheModelShows) {
    IDbcSignal* mode = source.FindSignal(100, "Mode");
    ASSERT_NE(mode, nullptr);
    mode->Clear();
    std::unique_ptr<NanoXML> stored(qm::dbc::ExportDbcContainer(source));
    NanoXML* signals = stored->FindByPath({"Messages", "Message", "Signals"});
    ASSERT_EQ(signals->children.size(), 2u);
    NanoXML* cleared = signals->children[1];
    EXPECT_EQ(cleared->GetChild(std::string("Byte_order"))->text, mode->GetByteOrderText());
    EXPECT_EQ(cleared->GetChild(std::string("Value_type"))->text, mode->GetValueTypeText());
    EXPECT_EQ(signals->children[0]->GetChild(std::string("Byte_order"))->text, "littleEndian");
}

TEST_F(DbcContainer, RelationAttributesAreWrittenOnceWithTheirNode) {
    NanoXML* attributes = dbc->GetChild(std::string("Attributes"));
    EXPECT_EQ(ChildNames(attributes),
              (std::vector<std::string>{"Attribute", "NodeTxMsgRelAttribute", "Attribute",
                                        "NodeRxSigRelAttribute", "Attribute"}));
    NanoXML* relation = attributes->children[3];
    EXPECT_EQ(ChildNames(relation),
              (std::vector<std::string>{"Name", "Node_name", "Rx_msg_id", "Rx_sig_name", "Value"}));
    EXPECT_EQ(relation->GetChild(std::string("Rx_sig_name"))->text, "Speed");
    NanoXML* definition = dbc->FindByPath({"Attribute_definitions", "Attribute_definition"});
    EXPECT_EQ(definition->GetChild(std::string("Relation"))->text, "false");
    EXPECT_EQ(definition->GetChild(std::string("Object_type"))->text, "node");
}

TEST_F(DbcContainer, ImportRebuildsTheModel) {
    ASSERT_TRUE(qm::dbc::ImportDbcContainer(restored, Reread(*dbc).get()));
    dbctest::ExpectSameDbcModel(source, restored, dbctest::DbcRebuild::kContainer);
    QM_EXPECT_FIELDS(restored, (GetStatus(), 1u), (GetMessages(), ""));
    // Markup characters in texts survive; the network comment is stored decoded.
    EXPECT_STREQ(restored.GetComment(), "Net <a> <b> \xE4");
}

TEST_F(DbcContainer, AttributesComeBackAsNetworkAttributes) {
    ASSERT_TRUE(qm::dbc::ImportDbcContainer(restored, dbc.get()));
    EXPECT_EQ(restored.FindNode("Dash")->FindAttribute("NodeLayer"), nullptr);
    IDbcAttribute* layer = restored.FindAttribute("NodeLayer");
    ASSERT_NE(layer, nullptr);
    EXPECT_STREQ(layer->GetValue(), "top");
    auto* timeout = dynamic_cast<IDbcNodeRxSigRelAttribute*>(restored.FindAttribute("Timeout"));
    ASSERT_NE(timeout, nullptr);
    QM_EXPECT_FIELDS(*timeout, (GetNodeName(), "Dash"), (GetMessageId(), 100u),
                     (GetSignalName(), "Speed"), (IsRelation(), true));
    EXPECT_EQ(restored.GetAttributeCount(), 5u);
    // Exported again, each attribute is still written once.
    std::unique_ptr<NanoXML> again(qm::dbc::ExportDbcContainer(restored));
    EXPECT_EQ(again->GetChild(std::string("Attributes"))->children.size(), 5u);
    restored.Clear();  // owns the relation attributes it lists (AddressSanitizer checks)
    EXPECT_EQ(restored.GetAttributeCount(), 0u);
}

// Decimals come from the stored "%f" text: a saved restored model writes six, read back alike.
TEST_F(DbcContainer, RestoredNumbersTakeTheirFormFromTheStoredText) {
    ASSERT_TRUE(qm::dbc::ImportDbcContainer(restored, dbc.get()));
    IDbcSignal* speed = restored.FindSignal(100, "Speed");
    ASSERT_NE(speed, nullptr);
    QM_EXPECT_FIELDS(*speed, (GetFactorText(), "0.500000"), (GetFactorDecimals(), 6),
                     (IsFactorExponent(), false));
    const std::string path = folder.File("restored.dbc");
    ASSERT_TRUE(restored.Save(path.c_str()));
    EXPECT_NE(dbctest::ReadFile(path).find("(0.500000,-10.000000) [-10.000000|32757.500000]"),
              std::string::npos);
    NetConfigDbcFile reread;
    ASSERT_TRUE(reread.Load(path.c_str()));
    EXPECT_DOUBLE_EQ(reread.FindSignal(100, "Speed")->GetOffset(), -10.0);
}

// A restored variable whose token names no access type still writes a readable line.
TEST(DbcContainerVariables, RestoredAccessTypesWriteReadableLines) {
    TempFolder folder;
    NetConfigDbcFile source;
    ASSERT_TRUE(dbctest::LoadText(source, folder,
                                  "BU_: A\n\n"
                                  "EV_ Data: 0 [0|0] \"\" 0 2 DUMMY_NODE_VECTOR8000 A;\n"
                                  "EV_ Level: 1 [0|9] \"\" 1 3 DUMMY_NODE_VECTOR2 A;\n"));
    std::unique_ptr<NanoXML> stored(qm::dbc::ExportDbcContainer(source));
    NetConfigDbcFile restored;
    ASSERT_TRUE(qm::dbc::ImportDbcContainer(restored, Reread(*stored).get()));
    const std::string path = folder.File("restored.dbc");
    ASSERT_TRUE(restored.Save(path.c_str()));
    NetConfigDbcFile reread;
    ASSERT_TRUE(reread.Load(path.c_str()));
    EXPECT_EQ(reread.GetStatus(), 1u) << reread.GetMessages();
    ASSERT_EQ(reread.GetEnvironmentVariableCount(), 2u);
    for (uint64_t i = 0; i < 2; ++i) {
        IDbcEnvironmentVariable* expected = source.GetEnvironmentVariable(i);
        IDbcEnvironmentVariable* variable = reread.GetEnvironmentVariable(i);
        QM_EXPECT_FIELDS(*variable, (GetName(), std::string(expected->GetName())),
                         (GetAccessType(), expected->GetAccessType()), (GetAccessNodeCount(), 1u),
                         (GetAccessNode(0), "A"));
    }
}

TEST_F(DbcContainer, OnlyADbcElementIsImported) {
    NanoXML other("LDF", "", 0);
    other.AddChild("Network_name", "X", 0);
    EXPECT_FALSE(qm::dbc::ImportDbcContainer(restored, &other));
    EXPECT_FALSE(qm::dbc::ImportDbcContainer(restored, nullptr));
    QM_EXPECT_FIELDS(restored, (GetDatabaseName(), ""), (GetStatus(), 0u));
}
