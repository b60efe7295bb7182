// The compact storage of the LDF model: small inline lists, and what a load relies on them for
// (first-match look-ups, edits after a load, reloads).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expect_fields.h"
#include "ldf/ldf_collections.h"
#include "ldf/ldf_signal.h"
#include "ldf_test_support.h"

namespace qm::ldf::test {
namespace {

TEST(SmallList, GrowsFromInlineToHeapAndBack) {
    SmallList<uint16_t, 4> values;
    for (uint16_t i = 0; i < 4; ++i) values.push_back(i);
    const uint16_t* inlineData = values.data();
    values.push_back(4);
    EXPECT_NE(values.data(), inlineData);
    ASSERT_EQ(values.size(), 5u);
    for (uint16_t i = 0; i < 5; ++i) EXPECT_EQ(values[i], i);

    SmallList<uint16_t, 4> copy = values;
    EXPECT_EQ(copy, values);
    copy[4] = 9;
    EXPECT_FALSE(copy == values);

    SmallList<uint16_t, 4> moved = std::move(copy);
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(moved.back(), 9);
    copy.push_back(7);  // the moved-from list is usable again
    EXPECT_EQ(copy.front(), 7);

    moved = SmallList<uint16_t, 4>{1, 2};
    EXPECT_EQ(std::vector<uint16_t>(moved.begin(), moved.end()), (std::vector<uint16_t>{1, 2}));
    moved.clear();
    EXPECT_TRUE(moved.empty());
}

TEST(SmallList, SubscriberListsAnswerByIndex) {
    SmallList<LdfNode*, 1> nodes;
    EXPECT_EQ(AtOrNull(nodes, 0), nullptr);
    LdfMasterNode first;
    LdfSlaveNode second;
    nodes.push_back(&first);
    nodes.push_back(&second);
    EXPECT_EQ(AtOrNull(nodes, 1), &second);
    EXPECT_EQ(AtOrNull(nodes, 2), nullptr);
}

// The frames section first tries the signal defined after the one found last; whatever the
// order, a name resolves to the first signal of that name, also where the signal tried is a
// later one of the name looked up.
TEST(LdfStorage, FrameSignalsResolveToTheFirstOfANameInAnyOrder) {
    NetConfigLdfFile file;
    ASSERT_TRUE(LoadText(file, Header() + kNodes +
                                   "Signals {\n"
                                   "  A: 1, 0, CEM, LSM;\n"
                                   "  B: 1, 0, CEM, LSM;\n"
                                   "  B: 2, 0, CEM, RSM;\n"
                                   "  C: 1, 0, CEM, LSM;\n"
                                   "  D: 1, 0, CEM, LSM;\n"
                                   "  A: 2, 0, CEM, RSM;\n"
                                   "}\n"
                                   "Frames {\n"
                                   "  F1: 0x01, CEM, 1 {\n    A, 0;\n    B, 1;\n    C, 2;\n  }\n"
                                   "  F2: 0x02, CEM, 1 {\n    D, 0;\n    A, 1;\n  }\n"
                                   "}\n"));
    const LdfModel& model = file.Model();
    ASSERT_EQ(model.standardSignals.size(), 6u);
    const auto& f1 = *model.unconditionalFrames[0];
    ASSERT_EQ(f1.signals.size(), 3u);
    // B after A: the guess would be the first B, which is right; the second B stays unplaced.
    EXPECT_EQ(f1.signals[1], model.standardSignals[1].get());
    EXPECT_EQ(model.standardSignals[2]->frame, nullptr);
    EXPECT_EQ(f1.signals[2], model.standardSignals[3].get());
    const auto& f2 = *model.unconditionalFrames[1];
    ASSERT_EQ(f2.signals.size(), 2u);
    EXPECT_EQ(f2.signals[0], model.standardSignals[4].get());
    // A after D: the signal tried is the second A; the index's first A wins.
    EXPECT_EQ(f2.signals[1], model.standardSignals[0].get());
    EXPECT_EQ(model.standardSignals[0]->bitOffset, 1);
    EXPECT_EQ(model.standardSignals[5]->frame, nullptr);
}

TEST(LdfStorage, NamesSurviveReloadRenameAndClear) {
    NetConfigLdfFile file;
    ASSERT_TRUE(LoadText(file, Header() + kNodes + kSignalsAndFrames));
    ILdfStandardSignal* signal = file.FindStandardSignal("LeftSwitch");
    ASSERT_NE(signal, nullptr);
    QM_EXPECT_FIELDS(*signal, (GetName(), "LeftSwitch"), (GetByteOrder(), "littleEndian"));
    // A rename after the load stores the new name outside the file's arena.
    EXPECT_EQ(file.RenameSignal("LeftSwitch", "LeftSwitchRenamed"), 1);
    EXPECT_STREQ(signal->GetName(), "LeftSwitchRenamed");
    // The same object loads another text: nothing of the first load is reachable.
    ASSERT_TRUE(LoadText(file, Header("2.2") + kNodes + kSignalsAndFrames, "again.ldf"));
    EXPECT_STREQ(file.GetProtocolVersion(), "2.2");
    EXPECT_STREQ(file.GetStandardSignal(1)->GetName(), "LeftSwitch");
    file.Clear();
    EXPECT_EQ(file.GetStandardSignalCount(), 0u);
}

// A log reserved up front is only room: it holds exactly the messages, however many.
TEST(LdfStorage, BigFileLogHoldsEveryWarning) {
    std::string text = Header("2.0") + kNodes + "Signals {\n";
    for (int i = 0; text.size() < (size_t(1) << 20) + 4096; ++i) {
        text += "  Signal" + std::to_string(i) + ": 20, 0, CEM, LSM;\n";
    }
    text += "}\n";
    NetConfigLdfFile file;
    ASSERT_TRUE(LoadText(file, text, "big.ldf"));
    EXPECT_EQ(qmtest::Occurrences(MessagesOf(file), "Scalar signal"),
              file.GetStandardSignalCount());
}

}  // namespace
}  // namespace qm::ldf::test
