// The object model: look-ups, index-of on either side of an object, raw value extraction,
// describe.
#include <gtest/gtest.h>

#include "expect_fields.h"
#include "ldf/ldf_signal.h"
#include "ldf_test_support.h"

namespace qm::ldf::test {
namespace {

class LdfModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(LoadText(file_, Header() + kNodes + kSignalsAndFrames +
                                        "Signal_encoding_types {\n  Enc {\n"
                                        "    logical_value, 0, \"off\";\n"
                                        "    physical_value, 1, 254, 1, 0, \"lux\";\n"
                                        "    bcd_value;\n    ascii_value;\n  }\n}\n"
                                        "Signal_representation {\n  Enc: Request;\n}\n"));
    }
    NetConfigLdfFile file_;
};

// Finds compare whole names, case-sensitively; signals are counted by their frame use.
TEST_F(LdfModelTest, FindsAndCounts) {
    EXPECT_NE(file_.FindStandardSignal("Request"), nullptr);
    QM_EXPECT_FIELDS(file_, (FindStandardSignal("request"), nullptr),
                     (FindStandardSignal("Reques"), nullptr), (FindFrame("cemframe"), nullptr),
                     (FindNode(nullptr), nullptr), (GetStandardSignal(4), nullptr),
                     (GetComment(0), nullptr));
    QM_EXPECT_FIELDS(file_, (GetSignalCount(), 4u), (GetFrameStandardSignalCount(), 4u),
                     (GetUnusedStandardSignalCount(), 0u), (GetFrameSignalCount(), 4u),
                     (GetUnusedSignalCount(), 0u));
}

TEST_F(LdfModelTest, IndexOfAcceptsBothSidesOfAnObject) {
    ILdfStandardSignal* derived = file_.FindStandardSignal("LeftSwitch");
    ILdfSignal* base = file_.FindSignal("LeftSwitch");
    QM_EXPECT_FIELDS(file_, (IndexOfSignal(base), 1u), (IndexOfSignal(derived), 1u),
                     (IndexOfStandardSignal(derived), 1u), (IndexOfSignal(nullptr), 0xFFFFFFFFu));
    // A node of another list is not found.
    EXPECT_EQ(file_.IndexOfSlaveNode(dynamic_cast<ILdfSlaveNode*>(file_.FindNode("CEM"))),
              0xFFFFFFFFu);
    ILdfNode* master = file_.GetNode(0);
    auto* asMaster = dynamic_cast<ILdfMasterNode*>(master);
    ASSERT_NE(asMaster, nullptr);
    EXPECT_EQ(asMaster, file_.GetMasterNode());
    QM_EXPECT_FIELDS(file_, (IndexOfNode(asMaster), 0u), (IndexOfNode(file_.GetSlaveNode(1)), 2u),
                     (IndexOfUnconditionalFrame(file_.FindUnconditionalFrame("RsmFrame")), 2u),
                     (IndexOfFrame(file_.FindFrame("RsmFrame")), 2u));
}

TEST(LdfRawValue, BitNumberingFollowsTheBitOrderFlag) {
    const uint8_t data[] = {0xA5, 0x3C};
    // Most significant bit first: bits 0..3 of the data are 1, 0, 1, 0.
    EXPECT_EQ(ExtractRawValue(data, 2, 0, 4, true), 0b0101u);
    // Least significant bit first: bits 0..3 are 1, 0, 1, 0 of 0xA5 read upwards.
    EXPECT_EQ(ExtractRawValue(data, 2, 0, 4, false), 0x5u);
    EXPECT_EQ(ExtractRawValue(data, 2, 8, 8, false), 0x3Cu);
    EXPECT_EQ(ExtractRawValue(data, 2, 4, 8, false), 0xCAu);
    EXPECT_EQ(ExtractRawValue(data, 0, 0, 8, false), 0u);
    EXPECT_EQ(ExtractRawValue(data, 2, 12, 8, false), 0x3u);  // cut at the end of the data
    LdfStandardSignal signal;
    signal.size = 8;
    const uint8_t one[] = {0x01};
    signal.bitOffset = 0;
    EXPECT_EQ(signal.GetRawValue(one, 1), 0x80u);  // the text reader's bit order: bit 7 first
    signal.bitOrder = 0;
    EXPECT_EQ(signal.GetRawValue(one, 1), 0x01u);
    signal.bitOrder = 1;
    signal.size = 4;
    EXPECT_EQ(signal.GetRawValue(data, 2), 0x5u);  // 1,0,1,0 from the top collected upwards
}

TEST_F(LdfModelTest, DescribeListsFramesSignalsAndEncodings) {
    const std::string text = file_.GetInfoText();
    EXPECT_EQ(text.rfind("Msg[0]: CemFrame\n\tID: 1\n\tByte length: 1\n\tSender: CEM\n\tSignals:\n"
                         "\t\tSignal[0]: Request\n\t\t\tBit length: 2\n\t\t\tBit offset: 0\n"
                         "\t\t\tEncoding: \n\t\t\t\tName: Enc\n\t\t\t\t[0] off\n"
                         "\t\t\t\t[1..254] lux\n\t\t\t\tbcd value\n\t\t\t\tascii value\n"
                         "Msg[1]: LsmFrame\n",
                         0),
              0u);
    NetConfigLdfFile empty;
    EXPECT_STREQ(empty.GetInfoText(), "");
}

}  // namespace
}  // namespace qm::ldf::test
