// A receiver text read again links what its first reading linked; unknown names are looked up
// again each time.
#include <gtest/gtest.h>

#include <string>

#include "dbc/dbc_node.h"
#include "dbc/dbc_signal.h"
#include "dbc_test_support.h"

namespace {

std::string Receivers(NetConfigDbcFile& file, uint64_t signal) {
    std::string names;
    IDbcSignal* read = file.GetSignal(signal);
    for (uint64_t i = 0; i < read->GetReceiverCount(); ++i) {
        names += std::string(i ? "," : "") + read->GetReceiver(i)->GetName();
    }
    return names;
}

TEST(DbcReceiverTexts, RepeatedTextsLinkWhatTheirFirstReadingLinked) {
    TempFolder folder;
    NetConfigDbcFile file;
    file.SetTolerantReading(false);
    LoadText(file, folder,
             "BU_: A B\n\n"
             "BO_ 1 M: 8 A\n"
             " SG_ S1 : 0|8@1+ (1,0) [0|0] \"\" A,B\n"
             " SG_ S2 : 8|8@1+ (1,0) [0|0] \"\" A,B\n"
             " SG_ S3 : 16|8@1+ (1,0) [0|0] \"\" B,Ghost\n"
             " SG_ S4 : 24|8@1+ (1,0) [0|0] \"\" B,Ghost\n"
             " SG_ S5 : 32|8@1+ (1,0) [0|0] \"\" Vector__XXX,A\n"
             "BU_: Vector__XXX\n"
             " SG_ S6 : 40|8@1+ (1,0) [0|0] \"\" Vector__XXX,A\n");
    ASSERT_EQ(file.GetStatus(), 2u);
    EXPECT_EQ(Receivers(file, 0), "A,B");
    EXPECT_EQ(Receivers(file, 1), "A,B");
    EXPECT_EQ(Receivers(file, 2), "B");
    EXPECT_EQ(Receivers(file, 3), "B");
    // The placeholder names no node until a later BU_ line defines one of that name.
    EXPECT_EQ(Receivers(file, 4), "A");
    EXPECT_EQ(Receivers(file, 5), "Vector__XXX,A");
    EXPECT_EQ(file.FindNode("A")->GetRxSignalCount(), 4u);
    EXPECT_EQ(file.FindNode("B")->GetRxSignalCount(), 4u);
    EXPECT_EQ(file.FindNode("Vector__XXX")->GetRxSignalCount(), 1u);
    // The unknown name is reported for each signal that names it.
    EXPECT_EQ(MessagesWithoutTiming(file),
              "Missing node definition: Ghost. Line(6) SG_ S3 : 16|8@1+ (1,0) [0|0] \"\" "
              "B,Ghost.\n"
              "Missing node definition: Ghost. Line(7) SG_ S4 : 24|8@1+ (1,0) [0|0] \"\" "
              "B,Ghost.\n");
}

}  // namespace
