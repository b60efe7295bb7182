// The corpus in both reading modes, and tolerant reading: each line the exact reader stops at
// becomes a "WARNING. " line; extended multiplexing is read, decoded and written back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "codec_models/model_codecs.h"
#include "corpus_files.h"
#include "dbc/dbc_enums.h"
#include "dbc_model_compare.h"
#include "dbc_test_support.h"
#include "expect_fields.h"

using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;
using namespace qm::dbc;

// The signals the frame codec of the message finds in an 8-byte payload.
size_t CarriedSignals(DbcMessage& message, const uint8_t (&frame)[8]) {
    size_t carried = 0;
    qm::codec::BuildDbcFrame(message)->Decode(frame, 8, [&](size_t, uint64_t) { ++carried; });
    return carried;
}

struct Counts {
    uint32_t status;
    uint64_t messages;
    uint64_t signals;
};

struct CorpusPin {
    const char* file;
    Counts exact;
    Counts tolerant;
    std::vector<uint64_t> toleratedLines;
};

// Status, message and signal counts in both modes, and the lines of the "WARNING. " lines.
const std::vector<CorpusPin> kPins = {
    {"busmaster__vw360e_acan.dbc", {1, 220, 1979}, {1, 220, 1979}, {}},
    {"candbc__sample.dbc", {2, 2, 8}, {2, 2, 8}, {}},
    {"canmatrix__j1939.dbc",
     {11, 12, 165},
     {2, 357, 2390},
     {198, 1680, 1681, 1682, 1683, 1684, 2194, 2195, 2815, 2957, 2958, 2959, 2962}},
    {"cantools__BU_BO_REL_Message.dbc", {1, 1, 1}, {1, 1, 1}, {}},
    {"cantools__abs.dbc", {1, 18, 89}, {1, 18, 89}, {}},
    {"cantools__attributes.dbc", {1, 2, 2}, {1, 2, 2}, {}},
    {"cantools__cp1252.dbc", {1, 0, 0}, {1, 0, 0}, {}},
    {"cantools__emc32.dbc", {1, 1, 5}, {1, 1, 5}, {}},
    {"cantools__empty_ns.dbc", {1, 0, 0}, {1, 0, 0}, {}},
    {"cantools__floating_point.dbc", {1, 2, 3}, {1, 2, 3}, {}},
    {"cantools__foobar.dbc", {4, 0, 0}, {2, 5, 8}, {1}},
    {"cantools__long_names.dbc", {1, 10, 13}, {1, 10, 13}, {}},
    {"cantools__msxii_system_can.dbc", {1, 1, 73}, {1, 1, 73}, {}},
    {"cantools__multiplex_2.dbc", {3, 4, 19}, {1, 4, 19}, {}},
    {"cantools__relation_attributes.dbc", {1, 2, 2}, {1, 2, 2}, {}},
    {"cantools__vehicle.dbc", {1, 217, 462}, {1, 217, 462}, {}},
    // A message of 1940 bytes: its size does not fit the byte the model keeps.
    {"dbcppp__Core_Objects_protocol.dbc", {1, 1, 3038}, {2, 1, 3038}, {40}},
    {"dbcppp__Test.dbc", {2, 2, 64}, {2, 2, 64}, {44}},
    {"ecubus__Model3CAN.dbc", {1, 159, 2752}, {1, 159, 2752}, {}},
    {"ecubus__SCU.dbc", {1, 28, 151}, {1, 28, 151}, {}},
    {"ecubus__TestDbc1.dbc", {1, 1, 15}, {1, 1, 15}, {}},
    {"ecubus__can1-hyundai-kia-uds-v2.4.dbc", {3, 3, 71}, {1, 3, 71}, {}},
    {"ecubus__gbk.dbc", {1, 35, 273}, {1, 35, 273}, {}},
    {"ecubus__sig_group.dbc", {1, 23, 95}, {1, 23, 95}, {}},
    {"opendbc__ESR.dbc", {1, 80, 868}, {1, 80, 868}, {}},
    // Signals laid out as "NaN|NaN": start bit and length are no numbers.
    {"opendbc__RAM_Cummins_2019.dbc",
     {1, 332, 2212},
     {2, 332, 2212},
     {1743, 1743, 1744, 1744, 1745, 1745, 1754, 1754, 1755, 1755, 1756, 1756, 1765, 1765,
      1766, 1766, 1767, 1767, 1776, 1776, 1777, 1777, 1778, 1778, 1787, 1787, 1788, 1788,
      1789, 1789, 1798, 1798, 1799, 1799, 1800, 1800, 2247, 2247, 2248, 2248, 2249, 2249,
      2387, 2387, 2388, 2388, 2389, 2389, 2886, 2886, 2887, 2887, 2888, 2888}},
    {"opendbc__bmw_X5_g05_FA_CAN.dbc",
     {23, 435, 2271},
     {2, 435, 2271},
     {15213, 15214, 15298, 15370, 15458, 15459, 15499, 15503, 15504, 15510, 15604, 15638, 15788,
      15789, 15792, 15799, 15984, 15993, 16023, 16025, 16027, 16029, 16030, 16031, 16032, 16033,
      16034, 16041, 16043, 16046, 16047, 16156, 16171, 16172, 16336, 16346, 16348, 16372, 16373}},
    {"opendbc__ford_lincoln_base_pt.dbc", {2, 331, 2150}, {2, 331, 2150}, {1129, 3620}},
    {"opendbc__generator_acura_ilx_2016_can.dbc", {1, 0, 0}, {1, 0, 0}, {}},
    {"opendbc__generator_gm_global_a_powertrain.dbc", {2, 49, 122}, {2, 49, 122}, {78}},
    {"opendbc__gm_global_a_lowspeed_1818125.dbc", {1, 367, 3210}, {1, 367, 3210}, {}},
    {"opendbc__gm_global_a_object.dbc", {2, 60, 520}, {2, 60, 520}, {87}},
    {"opendbc__psa_aee2010_r3.dbc",
     {2, 108, 536},
     {2, 108, 536},
     {66, 100, 101, 101, 101, 101, 101, 117, 117, 259, 259, 408, 409, 438}},
    {"opendbc__rivian_primary_actuator.dbc", {2, 67, 392}, {2, 67, 392}, {50, 53, 341}},
    {"opendbc__tesla_can.dbc",
     {4, 0, 0},
     {2, 44, 572},
     {37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 220, 436, 517, 615}},
    {"opendbc__vw_mlb.dbc",
     {2, 145, 1442},
     {2, 145, 1442},
     {37, 38, 38, 38, 38, 46, 51, 51, 66, 637, 642, 850, 860}},
    {"opendbc__vw_pq.dbc",
     {3, 86, 1331},
     {2, 86, 1331},
     {334, 335, 345, 375, 379, 394, 406, 406, 491, 1225, 1225, 1225, 1226, 1386}}};

fs::path CorpusFolder() {
    return qmtest::CorpusFolder("dbc");
}

// The line numbers of the "WARNING. " lines of a reader's messages.
std::vector<uint64_t> WarningLines(const std::string& messages) {
    std::vector<uint64_t> lines;
    size_t at = 0;
    while ((at = messages.find("WARNING. ", at)) != std::string::npos) {
        const size_t open = messages.find("Line(", at);
        if (open == std::string::npos) break;
        lines.push_back(std::stoull(messages.substr(open + 5)));
        at = open;
    }
    return lines;
}

class TolerantCorpus : public ::testing::TestWithParam<CorpusPin> {
  protected:
    void SetUp() override {
        if (!fs::is_directory(CorpusFolder())) GTEST_SKIP() << "no corpus at " << CorpusFolder();
    }
    std::string Path() const { return (CorpusFolder() / GetParam().file).string(); }
};

// Saved and read again in its own mode: the same model, the same text, no new warnings (an
// exact model's warnings were about dropped references the text no longer holds).
void ExpectRoundTrip(NetConfigDbcFile& first, const TempFolder& folder, bool tolerant) {
    const std::string copy = folder.File(tolerant ? "tolerant.dbc" : "copy.dbc");
    ASSERT_TRUE(first.Save(copy.c_str()));
    NetConfigDbcFile second;
    second.SetTolerantReading(tolerant);
    ASSERT_TRUE(second.Load(copy.c_str())) << second.GetMessages();
    EXPECT_LE(second.GetStatus(), tolerant ? 2u : 1u) << second.GetMessages();
    EXPECT_LE(second.GetToleratedLineCount(), first.GetToleratedLineCount())
        << MessagesWithoutTiming(second);
    dbctest::ExpectSameDbcModel(first, second, dbctest::DbcRebuild::kText);
    const std::string again = folder.File("again.dbc");
    ASSERT_TRUE(second.Save(again.c_str()));
    EXPECT_EQ(dbctest::ReadFile(copy), dbctest::ReadFile(again));
}

TEST_P(TolerantCorpus, BothModesGiveTheirPinnedCountsAndRoundTrip) {
    const CorpusPin& pin = GetParam();
    NetConfigDbcFile exact;
    EXPECT_EQ(exact.Load(Path().c_str()), pin.exact.status <= 2);
    EXPECT_EQ(exact.GetStatus(), pin.exact.status) << exact.GetMessages();
    QM_EXPECT_FIELDS(exact, (GetMessageCount(), pin.exact.messages),
                     (GetSignalCount(), pin.exact.signals),
                     (GetTotalSignalCount(), pin.exact.signals));
    EXPECT_EQ(WarningLines(exact.GetMessages()).size(), 0u);

    NetConfigDbcFile tolerant;
    tolerant.SetTolerantReading(true);
    EXPECT_TRUE(tolerant.Load(Path().c_str()));
    EXPECT_EQ(tolerant.GetStatus(), pin.tolerant.status) << tolerant.GetMessages();
    QM_EXPECT_FIELDS(tolerant, (GetMessageCount(), pin.tolerant.messages),
                     (GetSignalCount(), pin.tolerant.signals));
    EXPECT_EQ(WarningLines(tolerant.GetMessages()), pin.toleratedLines);
    EXPECT_EQ(tolerant.GetToleratedLineCount(), pin.toleratedLines.size());
    TempFolder folder;
    // A file that stops early promises no exact round trip.
    if (exact.GetStatus() <= 2) ExpectRoundTrip(exact, folder, false);
    ExpectRoundTrip(tolerant, folder, true);
}

INSTANTIATE_TEST_SUITE_P(AllFiles, TolerantCorpus, ::testing::ValuesIn(kPins),
                         [](const ::testing::TestParamInfo<CorpusPin>& info) {
                             return qmtest::TestName(info.param.file);
                         });

// Small texts: what tolerant reading does with each kind of line the exact reader stops at.
class TolerantLines : public ::testing::Test {
  protected:
    // Loads the text in both modes into exact_ and tolerant_.
    void LoadBoth(const std::string& text) {
        LoadText(exact_, folder_, text);
        tolerant_.SetTolerantReading(true);
        LoadText(tolerant_, folder_, text);
    }
    TempFolder folder_;
    NetConfigDbcFile exact_;
    NetConfigDbcFile tolerant_;
};

const char* const kHead = "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: A B\n\n";
// kHead and message 1 with signal S (lines 9 and 10), then an empty line.
const std::string kOneSignal =
    std::string(kHead) + "BO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" B\n\n";

TEST_F(TolerantLines, CommentsAndUnsupportedKeywordsAreSkippedWithOneWarningEach) {
    LoadBoth("// written by hand\n" + kOneSignal +
             "SGTYPE_ T : 8@1+ (1,0) [0|0] \"\" ;\nSIG_TYPE_REF_ 1 S : T;\n"
             "CAT_DEF_ 1 C 0;\nCAT_ BO_ 1 1;\nFILTER 0 BO_ 1;\nsomething else\n"
             "CM_ SG_ 1 S \"after them\";\n");
    QM_EXPECT_FIELDS(exact_, (GetStatus(), kDbcUndefinedTag), (GetMessageCount(), 0u));
    QM_EXPECT_FIELDS(tolerant_, (GetStatus(), kDbcLoadedWithWarnings),
                     (GetToleratedLineCount(), 7u));
    EXPECT_EQ(WarningLines(tolerant_.GetMessages()),
              (std::vector<uint64_t>{1, 13, 14, 15, 16, 17, 18}));
    ExpectTexts(MessagesWithoutTiming(tolerant_),
                {"WARNING. Comment line skipped. Line(1) // written by hand.\n",
                 "WARNING. Not supported DBC keyword, line skipped. Line(17) FILTER",
                 "WARNING. Possible undefined tag, line skipped. Line(18) something"});
    EXPECT_STREQ(tolerant_.FindSignal(1, "S")->GetComment(), "after them");
}

TEST_F(TolerantLines, FailedSectionsBecomeWarningsAndReadingGoesOn) {
    LoadBoth(std::string(kHead) + "BO_ 1 M: 8 A\n SG_ S 0|8@1+ (1,0) [0|255] \"\" B\n" +
             " SG_ T : 8|8@1+ (1,0) [0|255] \"\" B\nBO_ bad\nBO_ 2 N: 8 A\n");
    QM_EXPECT_FIELDS(exact_, (GetStatus(), 12u), (GetMessageCount(), 1u));
    QM_EXPECT_FIELDS(tolerant_, (GetStatus(), kDbcLoadedWithWarnings), (GetMessageCount(), 2u));
    EXPECT_NE(tolerant_.FindSignal(1, "T"), nullptr);
    // The exact reader's own text, after "WARNING. ".
    ExpectTexts(MessagesWithoutTiming(tolerant_),
                {"WARNING. Malformed signal section. Line(10) SG_ S 0|8@1+",
                 "WARNING. Malformed message section. Line(12) BO_ bad.\n"});
}

TEST_F(TolerantLines, NodesAfterAnEmptyNodeLineAndMessagesWithoutTransmitter) {
    LoadBoth(
        "BU_:\n\tECU_One\n\tECU_Two Third\nBO_ 5 M: 8\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" "
        "ECU_Two\n");
    EXPECT_EQ(exact_.GetStatus(), kDbcUndefinedTag);
    EXPECT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings) << tolerant_.GetMessages();
    ASSERT_EQ(tolerant_.GetNodeCount(), 3u);
    EXPECT_STREQ(tolerant_.GetNode(2)->GetName(), "Third");
    ASSERT_EQ(tolerant_.GetMessageCount(), 1u);
    EXPECT_EQ(tolerant_.Messages()[0]->Transmitter(), nullptr);
    EXPECT_EQ(tolerant_.FindSignal(5, "S")->GetReceiverCount(), 1u);
    // The node lines end at the first line that is not one: the message line.
    EXPECT_EQ(WarningLines(tolerant_.GetMessages()), (std::vector<uint64_t>{2, 3, 4}));
    EXPECT_EQ(tolerant_.GetTotalSignalCount(), 1u);
}

TEST_F(TolerantLines, EscapedQuotesAreKeptAndWrittenBackEscaped) {
    // The last description is glued to its value, as editors also write it.
    LoadBoth(kOneSignal + "VAL_ 1 S 0 \"say \\\"hi\\\"\" 1 \"plain\" 2\"x\";\n");
    ASSERT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings);
    QM_EXPECT_FIELDS(*tolerant_.FindSignal(1, "S"), (GetValueDescription(0), "say \"hi\""),
                     (GetValueDescription(1), "plain"), (GetValueDescription(2), "x"));
    ExpectTexts(SavedText(tolerant_, folder_),
                {"VAL_ 1 S 0 \"say \\\"hi\\\"\" 1 \"plain\" 2 \"x\";"});
    NetConfigDbcFile again;
    again.SetTolerantReading(true);
    again.Load(folder_.File("out.dbc").c_str());
    EXPECT_STREQ(again.FindSignal(1, "S")->GetValueDescription(0), "say \"hi\"");
}

// Quoted texts glued to the value after them: value descriptions, value tables, the unit of an
// environment variable.
TEST_F(TolerantLines, TextsGluedToTheirValuesAreCutApart) {
    LoadBoth(kOneSignal + "VAL_ 1 S 0 \"a\"1 \"b\" ;\nVAL_TABLE_ T 1 \"one\"0 \"zero\" ;\n" +
             "EV_ V: 0 [0|100] \"u\"0 1 DUMMY_NODE_VECTOR0 Vector__XXX;\n");
    EXPECT_EQ(exact_.GetStatus(), 23u);
    ASSERT_EQ(tolerant_.GetStatus(), kDbcLoaded) << tolerant_.GetMessages();
    QM_EXPECT_FIELDS(*tolerant_.FindSignal(1, "S"), (GetValueDescription(0), "a"),
                     (GetValueDescription(1), "b"));
    ASSERT_EQ(tolerant_.GetValueTableCount(), 1u);
    EXPECT_STREQ(tolerant_.GetValueTable(0)->GetValueDescription(0), "zero");
    ASSERT_EQ(tolerant_.GetEnvironmentVariableCount(), 1u);
    EXPECT_STREQ(tolerant_.GetEnvironmentVariable(0)->GetUnit(), "u");
}

// Comments and units keep escaped quotes as written, backslash and all, and are written back so;
// a comment glued to the name before it is read too.
TEST_F(TolerantLines, EscapedQuotesInCommentsAndUnitsKeepThem) {
    LoadBoth(kOneSignal + " SG_ U : 8|8@1+ (1,0) [0|255] \"deg\\\"C\" B\n" +
             "CM_ BO_ 1 \"the \\\"ARS\\\" function,\r\nsee \\\"Active roll\\\".\";\n" +
             "CM_ SG_ 1 S \"a 5\\\" screen\";\nCM_ BU_ A\"after them\";\n");
    EXPECT_EQ(exact_.Messages()[0]->Comment(), "");
    EXPECT_STREQ(exact_.GetNode(0)->GetComment(), "");
    ASSERT_EQ(tolerant_.GetStatus(), kDbcLoaded) << tolerant_.GetMessages();
    EXPECT_EQ(tolerant_.Messages()[0]->Comment(),
              "the \\\"ARS\\\" function,\r\nsee \\\"Active roll\\\".");
    EXPECT_STREQ(tolerant_.FindSignal(1, "S")->GetComment(), "a 5\\\" screen");
    EXPECT_STREQ(tolerant_.GetNode(0)->GetComment(), "after them");
    auto* unit = tolerant_.FindSignal(1, "U");
    ASSERT_NE(unit, nullptr);
    EXPECT_STREQ(unit->GetUnit(), "deg\\\"C");
    EXPECT_EQ(unit->GetReceiverCount(), 1u);
    ExpectTexts(SavedText(tolerant_, folder_),
                {"CM_ SG_ 1 S \"a 5\\\" screen\";", "[0|255] \"deg\\\"C\" B"});
}

// Undeclared senders and receivers become nodes with a warning each (the exact reader drops them).
TEST_F(TolerantLines, UndeclaredSendersAndReceiversBecomeNodes) {
    LoadBoth(std::string(kHead) + "BO_ 1 M: 8 Motor\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" " +
             "Gateway,B,ESP\n SG_ T : 8|8@1+ (1,0) [0|255] \"\" Gateway\n\nBO_TX_BU_ 1 : ESP;\n");
    QM_EXPECT_FIELDS(exact_, (GetNodeCount(), 2u), (FindSignal(1, "S")->GetReceiverCount(), 1u));
    ASSERT_EQ(tolerant_.GetNodeCount(), 5u);
    EXPECT_STREQ(tolerant_.Messages()[0]->GetTransmitter()->GetName(), "Motor");
    IDbcSignal* s = tolerant_.FindSignal(1, "S");
    ASSERT_EQ(s->GetReceiverCount(), 3u);
    QM_EXPECT_FIELDS(*s, (GetReceiver(0)->GetName(), "Gateway"),
                     (GetReceiver(2)->GetName(), "ESP"));
    EXPECT_EQ(tolerant_.Messages()[0]->GetTransmitterCount(), 2u);
    EXPECT_EQ(WarningLines(tolerant_.GetMessages()), (std::vector<uint64_t>{9, 10, 10}));
    ExpectTexts(MessagesWithoutTiming(tolerant_),
                {"WARNING. Node Motor is not declared in BU_, added as a node. Line(9) BO_ 1"});
    // Saved, the file declares them.
    ExpectTexts(SavedText(tolerant_, folder_), {"BU_: A B Motor Gateway ESP"});
}

TEST_F(TolerantLines, NumbersBeyondTheDoubleRangeAreClamped) {
    LoadBoth(std::string(kHead) +
             "BO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [-1E+400|4.5E+481] \"\" B\n"
             " SG_ T : 8|8@1+ (1E-400,0) [0|1] \"\" B\n");
    EXPECT_EQ(exact_.GetStatus(), 11u);
    EXPECT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings);
    IDbcSignal* s = tolerant_.FindSignal(1, "S");
    EXPECT_EQ(s->GetMaximum(), std::numeric_limits<double>::max());
    EXPECT_EQ(s->GetMinimum(), -std::numeric_limits<double>::max());
    EXPECT_EQ(tolerant_.SignalOf(1, "T")->Factor().value, 0.0);
    EXPECT_EQ(WarningLines(tolerant_.GetMessages()), (std::vector<uint64_t>{10, 11}));
}

const char* const kMultiplexed =
    "BO_ 1 M: 8 A\n SG_ Mux M : 0|8@1+ (1,0) [0|255] \"\" B\n"
    " SG_ Sub m1M : 8|8@1+ (1,0) [0|255] \"\" B\n SG_ Leaf m2 : 16|8@1+ (1,0) [0|255] \"\" B\n\n";

TEST_F(TolerantLines, ExtendedMultiplexingIsReadOnlyWhenTolerant) {
    LoadBoth(std::string(kHead) + kMultiplexed + "VAL_ 1 Mux 1 \"one\";\n" +
             "SG_MUL_VAL_ 1 Sub Mux 1-1, 4-6;\n" +
             "SG_MUL_VAL_ 1 Leaf Sub 2-2;\nSG_MUL_VAL_ 1 Leaf Sub 9-9;\n" +
             "SIG_GROUP_ 1 G 1 : Mux Sub;\n");
    EXPECT_EQ(exact_.GetStatus(), kDbcNotSupportedKeyword);
    EXPECT_EQ(tolerant_.GetStatus(), kDbcLoaded) << tolerant_.GetMessages();
    auto* leaf = dynamic_cast<IDbcExtendedMultiplexing*>(tolerant_.FindSignal(1, "Leaf"));
    ASSERT_NE(leaf, nullptr);
    EXPECT_STREQ(leaf->GetExtendedMultiplexer()->GetName(), "Sub");
    ASSERT_EQ(leaf->GetMultiplexRangeCount(), 2u);
    QM_EXPECT_FIELDS(*leaf, (GetMultiplexRangeMinimum(1), 9u), (GetMultiplexRangeMaximum(5), 0u));
    auto* sub = dynamic_cast<IDbcExtendedMultiplexing*>(tolerant_.FindSignal(1, "Sub"));
    QM_EXPECT_FIELDS(*sub, (GetMultiplexRangeCount(), 2u), (GetMultiplexRangeMaximum(1), 6u));

    // Written last, one line per signal, and read back the same.
    const std::string text = SavedText(tolerant_, folder_);
    ExpectTexts(text, {"SG_MUL_VAL_ 1 Sub Mux 1-1, 4-6;\r\nSG_MUL_VAL_ 1 Leaf Sub 2-2, 9-9;"});
    EXPECT_LT(text.find("\nVAL_ 1 Mux"), text.find("SG_MUL_VAL_"));
    EXPECT_LT(text.find("SIG_GROUP_ 1 G"), text.find("SG_MUL_VAL_"));
    // A model of the exact reader writes no such line.
    ExpectTexts(SavedText(exact_, folder_, "exact.dbc"), {"!SG_MUL_VAL_"});
}

TEST_F(TolerantLines, BadExtendedMultiplexingWarnsAndKeepsAModel) {
    LoadBoth(std::string(kHead) + kMultiplexed +
             "SG_MUL_VAL_ 1 Sub Mux 6-4;\n"      // reversed: read as 4-6
             "SG_MUL_VAL_ 1 Sub Mux 5-9;\n"      // overlaps 4-6
             "SG_MUL_VAL_ 1 Mux Sub 1-1;\n"      // Sub already hangs on Mux: a loop
             "SG_MUL_VAL_ 1 Leaf Nobody 1-1;\n"  // unknown multiplexer
             "SG_MUL_VAL_ 1 Leaf Leaf 1-1;\n"    // itself
             "SG_MUL_VAL_ 9 Leaf Sub 1-1;\n"     // unknown message
             "SG_MUL_VAL_ 1 Leaf Sub x-y;\n"     // no range
             "SG_MUL_VAL_ 1 Leaf;\n");           // too short
    EXPECT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings);
    ExpectTexts(
        MessagesWithoutTiming(tolerant_),
        {"range reversed, read as swapped. Line(14)", "ranges overlap. Line(15)",
         "chain loops, line skipped. Line(16)", "Missing signal definition: Nobody. Line(17)",
         "chain loops, line skipped. Line(18)", "Missing message definition: 9. Line(19)",
         "without a range, line skipped. Line(20)",
         "Malformed extended multiplexing, line skipped. Line(21)"});
    const DbcSignal* sub = tolerant_.SignalOf(1, "Sub");
    ASSERT_EQ(sub->MultiplexRanges().size(), 2u);
    QM_EXPECT_FIELDS(sub->MultiplexRanges()[0], (minimum, 4u), (maximum, 6u));
    EXPECT_EQ(tolerant_.SignalOf(1, "Mux")->ExtendedMultiplexer(), nullptr);
    EXPECT_EQ(tolerant_.SignalOf(1, "Leaf")->ExtendedMultiplexer(), nullptr);
    // Decoding the model stays finite and follows what was kept: Sub for 4 to 9.
    const uint8_t frame[8] = {7, 2, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(CarriedSignals(*tolerant_.MessageByRawId(1), frame), 2u);  // Leaf is m2, switch 7
}

TEST_F(TolerantLines, ThousandsOfLinesForOneSignalStayLinear) {
    std::string text = std::string(kHead) + kMultiplexed;
    constexpr int kLines = 20000;
    for (int i = 0; i < kLines; ++i) {
        text +=
            "SG_MUL_VAL_ 1 Leaf Sub " + std::to_string(2 * i) + "-" + std::to_string(2 * i) + ";\n";
    }
    text += "SG_MUL_VAL_ 1 Leaf Sub 0-40000;\n";  // overlaps all of them at once
    const auto start = std::chrono::steady_clock::now();
    tolerant_.SetTolerantReading(true);
    LoadText(tolerant_, folder_, text);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0);  // generous for a loaded machine; quadratic would take minutes
    EXPECT_EQ(tolerant_.SignalOf(1, "Leaf")->MultiplexRanges().size(), kLines + 1u);
    EXPECT_EQ(tolerant_.GetToleratedLineCount(), 1u);  // the one overlap
    uint8_t frame[8] = {1, 2 * 777 % 256, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(CarriedSignals(*tolerant_.MessageByRawId(1), frame), 3u);
}

TEST(TolerantSwitch, IsReachedFromTheFileInterfaceAndSurvivesClear) {
    NetConfigDbcFile file;
    INetConfigDbcFile* host = &file;
    auto* tolerant = dynamic_cast<IDbcTolerantReading*>(host);
    ASSERT_NE(tolerant, nullptr);
    EXPECT_FALSE(tolerant->IsTolerantReading());
    tolerant->SetTolerantReading(true);
    host->Clear();
    QM_EXPECT_FIELDS(*tolerant, (IsTolerantReading(), true), (GetToleratedLineCount(), 0u));
}

// Reading to the end is a successful load, even when the last line was tolerated.
TEST_F(TolerantLines, ALoadThatReachesTheEndSucceeds) {
    tolerant_.SetTolerantReading(true);
    EXPECT_TRUE(LoadText(tolerant_, folder_, std::string(kHead) + "BO_ 1 M: 8 A\n// the end\n"));
    EXPECT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings);
    EXPECT_FALSE(LoadText(exact_, folder_, std::string(kHead) + "BO_ 1 M: 8 A\n// the end\n"));
}

// A number its field cannot hold gives one warning; the exact reader reads it silently.
TEST_F(TolerantLines, NumbersTheFieldsCannotHoldAreNamed) {
    struct Case {
        std::string line;
        std::string warning;  // the text after "WARNING. ", up to "Line("
    };
    const std::vector<Case> cases = {
        {" SG_ S : 9223372036854775807|8@1+ (1,0) [0|1] \"\" B",
         "Start bit 9223372036854775807 out of range, read as 65535. "},
        {" SG_ S : -5|8@1+ (1,0) [0|1] \"\" B", "Start bit -5 out of range, read as 65531. "},
        {" SG_ S : 0|0@1+ (1,0) [0|1] \"\" B", "Bit length 0 out of range, read as 0. "},
        {" SG_ S : NaN|8@1+ (1,0) [0|1] \"\" B", "Start bit NaN is no number, read as 0. "},
        {" SG_ S : 0|4294967295@1+ (1,0) [0|1] \"\" B",
         "Bit length 4294967295 out of range, read as 65535. "},
        {" SG_ S : 0|99999999999999999999999@1+ (1,0) [0|1] \"\" B",
         "Bit length 99999999999999999999999 out of range, read as 65535. "},
        {" SG_ S : 0|8@1+ (1e999,0) [0|1] \"\" B",
         "Number out of range, clamped to the double range. "},
        {"BO_ 18446744073709551615 N: 8 A",
         "Message id 18446744073709551615 out of range, "
         "read as 4294967295. "},
        {"BO_ 2 N: 300 A", "Message size 300 out of range, read as 44. "},
        {"BO_ 1 N: 8 A", "Message id 1 given twice, the first message is found by it. "},
        {"VAL_ 1 S 99999999999999999999 \"big\" ;",
         "Value beyond 64 bits, clamped to the 64-bit range. "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string text = std::string(kHead) +
                                 "BO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" B\n" + c.line +
                                 "\n";
        LoadBoth(text);
        // Lines are read trimmed.
        const std::string trimmed = c.line[0] == ' ' ? c.line.substr(1) : c.line;
        const std::string messages = MessagesWithoutTiming(tolerant_);
        EXPECT_THAT(messages, HasSubstr("WARNING. " + c.warning + "Line(11) " + trimmed))
            << messages;
        EXPECT_EQ(WarningLines(messages), (std::vector<uint64_t>{11}));
        EXPECT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings);
        // The exact reader keeps its described results: no line of its own for these.
        EXPECT_EQ(WarningLines(exact_.GetMessages()), std::vector<uint64_t>{});
    }
}

TEST_F(TolerantLines, SignalsWithoutReceiversOrUnitKeepTheirLayout) {
    LoadBoth(std::string(kHead) + "BO_ 1 M: 8 A\n SG_ S : 12|4@0- (0.5,-1) [-8|7] \"km\"\n" +
             " SG_ T : 16|8@1+ (1,0) [0|255] B\n");
    EXPECT_EQ(exact_.GetStatus(), 12u);
    ASSERT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings);
    const DbcSignal& s = *tolerant_.SignalOf(1, "S");
    EXPECT_EQ(s.StartBit(), 12u);
    QM_EXPECT_FIELDS(s, (BitLength(), 4u), (ByteOrderChar(), '0'), (ValueTypeChar(), '-'));
    EXPECT_EQ(s.Factor().value, 0.5);
    EXPECT_EQ(s.Unit().view(), "km");
    EXPECT_TRUE(s.Receivers().empty());
    const DbcSignal& t = *tolerant_.SignalOf(1, "T");
    EXPECT_EQ(t.BitLength(), 8u);
    EXPECT_EQ(t.Receivers().size(), 1u);
    ExpectTexts(MessagesWithoutTiming(tolerant_),
                {"WARNING. Signal without receivers, Vector__XXX taken. Line(10)",
                 "WARNING. Signal without unit, an empty unit taken. Line(11)"});
}

TEST_F(TolerantLines, AnEmptyFileIsNamed) {
    for (const std::string text : {"", "\n  \n\t\n"}) {
        LoadBoth(text);
        EXPECT_EQ(exact_.GetStatus(), kDbcLoaded);
        EXPECT_EQ(tolerant_.GetStatus(), kDbcLoadedWithWarnings);
        EXPECT_EQ(MessagesWithoutTiming(tolerant_),
                  "WARNING. The file is empty: no DBC statement read.\n");
        EXPECT_EQ(tolerant_.GetToleratedLineCount(), 1u);
    }
}

// Value descriptions keep any 64-bit value beside the 32-bit form, in both reading modes.
TEST_F(TolerantLines, ValueDescriptionsKeepEvery64BitValue) {
    const std::string statement =
        "VAL_ 1 S -1 \"SNA\" 5000000000 \"big\" 6000000000 \"bigger\" "
        "18446744073709551615 \"top\" -9223372036854775808 \"bottom\" 0x10 \"hex\" 7 \"seven\";";
    LoadBoth(std::string(kHead) + "BO_ 1 M: 8 A\n SG_ S : 0|64@1- (1,0) [0|1] \"\" B\n\n" +
             "EV_ V: 0 [0|1] \"\" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;\n" + statement +
             "\nVAL_ V -2 \"minus two\" 2 \"two\";\n");
    for (NetConfigDbcFile* file : {&exact_, &tolerant_}) {
        SCOPED_TRACE(file == &exact_ ? "exact" : "tolerant");
        ASSERT_EQ(file->GetStatus(), kDbcLoaded) << file->GetMessages();
        IDbcSignal* signal = file->FindSignal(1, "S");
        // The described list: 32-bit forms; every value beyond 32 bits is 0xFFFFFFFF, so the
        // later ones replaced "SNA".
        QM_EXPECT_FIELDS(*signal, (GetValueDescriptionCount(), 3u),
                         (GetValueDescription(0xFFFFFFFF), "bottom"));
        auto* exact = dynamic_cast<IDbcExactValueDescriptions*>(signal);
        ASSERT_NE(exact, nullptr);
        // 18446744073709551615 has the bit pattern of -1: it replaced "SNA" in place.
        ASSERT_EQ(exact->GetExactValueCount(), 6u);
        QM_EXPECT_FIELDS(*exact, (FindExactValueDescription(-1), "top"),
                         (IsExactValueUnsigned(0), true), (GetExactValueAt(1), 5000000000),
                         (IsExactValueUnsigned(1), false));
        EXPECT_EQ(exact->GetExactValueAt(3), INT64_MIN);
        QM_EXPECT_FIELDS(*exact, (GetExactValueDescriptionAt(3), "bottom"),
                         (FindExactValueDescription(6000000000), "bigger"),
                         (FindExactValueDescription(16), "hex"),
                         (FindExactValueDescription(0xFFFFFFFF), nullptr), (GetExactValueAt(6), 0),
                         (GetExactValueDescriptionAt(6), nullptr));
        auto* variable =
            dynamic_cast<IDbcExactValueDescriptions*>(file->FindEnvironmentVariable("V"));
        ASSERT_NE(variable, nullptr);
        EXPECT_STREQ(variable->FindExactValueDescription(-2), "minus two");
        EXPECT_STREQ(file->FindEnvironmentVariable("V")->GetValueDescription(0xFFFFFFFE),
                     "minus two");

        const std::string text = SavedText(*file, folder_);
        // Read tolerantly the values are written as read, else their 32-bit forms.
        if (file == &tolerant_) {
            ExpectTexts(text,
                        {"VAL_ 1 S 18446744073709551615 \"top\" 5000000000 \"big\" 6000000000 "
                         "\"bigger\" -9223372036854775808 \"bottom\" 16 \"hex\" 7 \"seven\";",
                         "VAL_ V -2 \"minus two\" 2 \"two\";"});
        } else {
            ExpectTexts(text, {"VAL_ 1 S 4294967295 \"bottom\" 16 \"hex\" 7 \"seven\";",
                               "VAL_ V 4294967294 \"minus two\" 2 \"two\";"});
        }
    }
}

// A signal whose values all fit their 32-bit form writes exactly what it wrote before.
TEST_F(TolerantLines, ValuesWithinThirtyTwoBitsWriteTheDescribedList) {
    LoadBoth(std::string(kHead) + "BO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" B\n\n" +
             "VAL_ 1 S 3 \"three\" 0x1 \"one\" 4294967295 \"max\";\n");
    auto* exact = dynamic_cast<IDbcExactValueDescriptions*>(exact_.FindSignal(1, "S"));
    ASSERT_EQ(exact->GetExactValueCount(), 3u);
    QM_EXPECT_FIELDS(*exact, (GetExactValueAt(2), 4294967295), (IsExactValueUnsigned(2), false));
    ExpectTexts(SavedText(exact_, folder_), {"VAL_ 1 S 3 \"three\" 1 \"one\" 4294967295 \"max\";"});
}

}  // namespace
