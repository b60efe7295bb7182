// The compact texts of the DBC model: arena storage while a file is read, a heap block of its
// own for a text set afterwards, exact lengths and zero-terminated characters throughout.
#include <gtest/gtest.h>

#include <string>

#include "dbc/dbc_text.h"
#include "dbc_test_support.h"

namespace {

using qm::dbc::DbcText;
using qm::dbc::DbcTextArena;

TEST(DbcText, EmptyAndOwnedTextsKeepLengthAndTerminator) {
    DbcText text;
    EXPECT_TRUE(text.empty());
    EXPECT_STREQ(text.c_str(), "");
    text = std::string_view("a\0b", 3);
    EXPECT_EQ(text.size(), 3u);
    EXPECT_EQ(text.view(), std::string_view("a\0b", 3));
    EXPECT_EQ(text.c_str()[3], '\0');
    // Assigning a part of itself: the new characters are stored before the old are released.
    text = "Signal_1";
    text = text.view().substr(7);
    EXPECT_EQ(text, "1");
    text.clear();
    EXPECT_TRUE(text.empty());
}

TEST(DbcText, CopiesAreIndependentAndMovesLeaveEmpty) {
    DbcText first("Engine");
    DbcText copy = first;
    first = "Brake";
    EXPECT_EQ(copy, "Engine");
    DbcText moved = std::move(copy);
    EXPECT_EQ(moved, "Engine");
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
    EXPECT_LT(DbcText("A"), DbcText("B"));
    EXPECT_EQ(std::string("x") + DbcText("y"), "xy");
}

TEST(DbcTextArena, TextsOfAReadGoToTheArenaAndEditsMoveOut) {
    DbcTextArena arena;
    DbcText kept;
    DbcText edited;
    const std::string large(std::size_t{3} << 20, 'x');
    DbcText big;
    {
        const DbcTextArena::Scope scope(arena);
        EXPECT_EQ(DbcTextArena::Current(), &arena);
        kept = "read from the file";
        edited = "old name";
        big = large;
    }
    EXPECT_EQ(DbcTextArena::Current(), nullptr);
    EXPECT_GE(arena.BytesReserved(), (std::size_t{2} << 20) + large.size());
    EXPECT_EQ(kept, "read from the file");
    EXPECT_EQ(big.size(), large.size());
    // An edit after the read owns its characters: they outlive the arena.
    edited = "new name";
    DbcText copied = kept;
    arena.Reset();
    EXPECT_EQ(edited, "new name");
    EXPECT_EQ(copied, "read from the file");
    EXPECT_EQ(arena.BytesReserved(), 0u);
}

TEST(DbcTextArena, NestedScopesRestoreThePreviousArena) {
    DbcTextArena outer;
    DbcTextArena inner;
    const DbcTextArena::Scope first(outer);
    {
        const DbcTextArena::Scope second(inner);
        EXPECT_EQ(DbcTextArena::Current(), &inner);
    }
    EXPECT_EQ(DbcTextArena::Current(), &outer);
}

constexpr const char* kSmallDbc =
    "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: A B\n\n"
    "BO_ 1 Frame: 8 A\n SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] \"km/h\" B\n\n"
    "CM_ SG_ 1 Speed \"vehicle speed\";\n"
    "VAL_ 1 Speed 0 \"stopped\" 1 \"rolling\" ;\n";

TEST(DbcTextArena, ReloadAndEditKeepEveryTextOfTheModel) {
    dbctest::TempFolder folder;
    NetConfigDbcFile file;
    ASSERT_TRUE(dbctest::LoadText(file, folder, kSmallDbc));
    // A second load clears the model and the arena of the first.
    ASSERT_TRUE(dbctest::LoadText(file, folder, kSmallDbc));
    IDbcSignal* signal = file.GetMessage(0)->GetSignal(0);
    EXPECT_STREQ(signal->GetName(), "Speed");
    EXPECT_STREQ(signal->GetUnit(), "km/h");
    EXPECT_STREQ(signal->GetComment(), "vehicle speed");
    EXPECT_STREQ(signal->GetFactorText(), "0.1");
    EXPECT_STREQ(signal->GetValueDescription(1), "rolling");
    ASSERT_TRUE(file.SetSignalName(1, "Speed", "VehicleSpeed"));
    EXPECT_STREQ(file.GetMessage(0)->GetSignal(0)->GetName(), "VehicleSpeed");
    NetConfigDbcFile again;
    ASSERT_TRUE(again.Load(file.GetPath()));
    EXPECT_STREQ(again.GetMessage(0)->GetSignal(0)->GetName(), "VehicleSpeed");
    EXPECT_STREQ(again.GetMessage(0)->GetSignal(0)->GetComment(), "vehicle speed");
}

}  // namespace
