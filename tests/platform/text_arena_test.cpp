// Compact texts and their arenas, for both kinds of family: one that keeps short texts inside the
// handle (as the DBC model does) and one that keeps every text outside (as the LDF model does).
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "expect_fields.h"
#include "platform/text_arena.h"

namespace {

using qm::platform::CompactText;
using qm::platform::FamilyTextArena;
using qm::platform::TextConstant;

struct ShortTextsInside : qm::platform::TextFamily<std::size_t{2} << 20, 6> {};
struct EveryTextOutside : qm::platform::TextFamily<std::size_t{1} << 20, 0> {};

template <class Family>
class CompactTextTest : public ::testing::Test {
  protected:
    using Text = CompactText<Family>;
    using Arena = FamilyTextArena<Family>;
};

using Families = ::testing::Types<ShortTextsInside, EveryTextOutside>;
TYPED_TEST_SUITE(CompactTextTest, Families);

TYPED_TEST(CompactTextTest, EveryLengthKeepsItsBytesAndOnlyLongTextsUseTheArena) {
    using Text = typename TestFixture::Text;
    typename TestFixture::Arena arena;
    const std::string bytes("ab\0cdefghij", 11);
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        SCOPED_TRACE(length);
        const std::string_view text(bytes.data(), length);
        Text onHeap(text);
        Text inArena;
        {
            const typename TestFixture::Arena::Scope scope(arena);
            inArena.Assign(text);
        }
        for (const Text* stored : {&onHeap, &inArena}) {
            EXPECT_EQ(stored->size(), length);
            EXPECT_EQ(stored->view(), text);
            EXPECT_EQ(stored->c_str()[length], '\0');
        }
        EXPECT_EQ(onHeap.empty(), length == 0);
        // The first long text opens the arena's first block; short and empty ones never do.
        EXPECT_EQ(arena.BytesReserved() > 0, length > Text::kInlineCapacity);
    }
    Text empty;
    QM_EXPECT_FIELDS(empty, (empty(), true), (c_str(), ""));
}

TYPED_TEST(CompactTextTest, AssigningAPieceOfItselfInEveryForm) {
    using Text = typename TestFixture::Text;
    // The new characters are stored before the old are released.
    Text text("Engine_Speed");
    text = text.view().substr(7);
    EXPECT_EQ(text, "Speed");
    text = text.view().substr(1, 3);
    EXPECT_EQ(text, "pee");
    text = text.view().substr(1);
    EXPECT_EQ(text, "ee");
    text = std::string(40, 'x');
    text = text.substr(2, 30);
    EXPECT_EQ(text, std::string(30, 'x'));
    text = "";
    QM_EXPECT_FIELDS(text, (empty(), true), (c_str(), ""));
    text = std::string("again");
    text.clear();
    EXPECT_TRUE(text.empty());
}

TYPED_TEST(CompactTextTest, CopiesOutliveTheArenaAndMovesLeaveEmpty) {
    using Text = typename TestFixture::Text;
    Text copy;
    Text moved;
    Text edited;
    {
        typename TestFixture::Arena arena;
        Text original;
        Text transferred;
        {
            const typename TestFixture::Arena::Scope scope(arena);
            original.Assign("SignalName");
            transferred.Assign("ReadInTheScope");
            edited.Assign("Before");
        }
        copy = original;
        moved = std::move(transferred);
        EXPECT_TRUE(transferred.empty());  // NOLINT(bugprone-use-after-move): defined state
        EXPECT_STREQ(transferred.c_str(), "");
        // An edit after the read owns its characters and leaves the arena as it was.
        const std::size_t reserved = arena.BytesReserved();
        edited.Assign("AfterTheLoad");
        EXPECT_EQ(arena.BytesReserved(), reserved);
        EXPECT_EQ(moved, "ReadInTheScope");
        moved = Text("OwnedOnTheHeap");
        arena.Reset();
        EXPECT_EQ(arena.BytesReserved(), 0u);
    }
    EXPECT_EQ(copy, "SignalName");
    EXPECT_EQ(edited, "AfterTheLoad");
    EXPECT_EQ(moved, "OwnedOnTheHeap");
    // A copy is its own: changing the source leaves it.
    Text first("Engine");
    Text second = first;
    first = "Brake";
    EXPECT_EQ(second, "Engine");
    second = second;  // NOLINT(clang-diagnostic-self-assign-overloaded): self-assignment is safe
    EXPECT_EQ(second, "Engine");
}

TYPED_TEST(CompactTextTest, ReadsComparesAndJoinsLikeAString) {
    using Text = typename TestFixture::Text;
    const Text text("Vehicle.Speed");
    QM_EXPECT_FIELDS(text, (find('.'), 7u), (find("Speed"), 8u));
    EXPECT_EQ(text.find('x'), std::string_view::npos);
    QM_EXPECT_FIELDS(text, (substr(8), "Speed"), (front(), 'V'), (back(), 'd'));
    EXPECT_EQ(text[3], 'i');
    EXPECT_EQ(std::string(text.begin(), text.end()), "Vehicle.Speed");
    EXPECT_EQ(static_cast<std::string>(text), "Vehicle.Speed");
    EXPECT_LT(Text("A"), Text("B"));
    EXPECT_LT(Text("Ab"), Text("Abc"));
    EXPECT_GT(Text("B"), std::string_view("A"));
    EXPECT_LT(Text("Alpha_1"), std::string_view("Alpha_2"));
    EXPECT_EQ(Text("x"), std::string("x"));
    EXPECT_FALSE(Text("x") == Text(std::string_view("x\0", 2)));
    EXPECT_LT(text.compare("Vehicle.Speee"), 0);
    EXPECT_EQ(std::string("x") + Text("y"), "xy");
    EXPECT_EQ("long prefix " + Text("and a long text"), "long prefix and a long text");
    EXPECT_EQ(Text("a") + std::string_view("b"), "ab");
    std::ostringstream out;
    out << Text("shown") << '|' << Text("shown in full");
    EXPECT_EQ(out.str(), "shown|shown in full");
}

TYPED_TEST(CompactTextTest, SharingTakesStoredCharactersAndCopiesOwnedOnes) {
    using Text = typename TestFixture::Text;
    typename TestFixture::Arena arena;
    Text read;
    {
        const typename TestFixture::Arena::Scope scope(arena);
        read = "GenSigStartValue";
    }
    Text shared;
    shared.Share(read);
    EXPECT_EQ(shared.c_str(), read.c_str());
    // An owned text is copied: the source may change or go.
    auto owned = std::make_unique<Text>("NodeLayerModules");
    Text copied;
    copied.Share(*owned);
    EXPECT_NE(copied.c_str(), owned->c_str());
    owned.reset();
    EXPECT_EQ(copied, "NodeLayerModules");
    Text small;
    small.Share(Text("ECU_1"));
    EXPECT_EQ(small, "ECU_1");
    shared.Share(shared);
    EXPECT_EQ(shared, "GenSigStartValue");
}

constexpr TextConstant kDefaultText("littleEndian");

TYPED_TEST(CompactTextTest, ConstantsArePointedAtNotCopied) {
    using Text = typename TestFixture::Text;
    Text text(kDefaultText);
    EXPECT_EQ(text.c_str(), kDefaultText.characters);
    EXPECT_EQ(text.size(), 12u);
    text = "bigEndian";
    text = kDefaultText;
    EXPECT_EQ(text.c_str(), kDefaultText.characters);
    Text moved(std::move(text));
    EXPECT_EQ(moved.c_str(), kDefaultText.characters);
    EXPECT_TRUE(text.empty());  // NOLINT(bugprone-use-after-move): defined state
    // A copy takes the characters, as from any other text.
    const Text copy = moved;
    EXPECT_NE(copy.c_str(), kDefaultText.characters);
    EXPECT_EQ(copy, "littleEndian");
}

TYPED_TEST(CompactTextTest, ALargeTextThatDoesNotFitGetsABlockOfItsOwn) {
    using Text = typename TestFixture::Text;
    typename TestFixture::Arena arena;
    const typename TestFixture::Arena::Scope scope(arena);
    Text first("first text");
    const std::size_t oneBlock = arena.BytesReserved();
    EXPECT_EQ(oneBlock, TypeParam::kArenaBlockSize);
    // Texts of a quarter block each (prefix and terminator included) fill three quarters.
    const std::string quarter(oneBlock / 4 - 5, 'q');
    std::vector<Text> quarters;
    for (int i = 0; i < 3; ++i) quarters.emplace_back(quarter);
    EXPECT_EQ(arena.BytesReserved(), oneBlock);
    // Over a quarter block and more than the room left: a block of exactly its own size
    // (prefix, terminator, 4-byte steps), and the room left in the current block stays in use.
    const std::string big(oneBlock / 4 + 1, 'b');
    const std::size_t bigBlock = (big.size() + 8) & ~std::size_t{3};
    Text large(big);
    EXPECT_EQ(arena.BytesReserved(), oneBlock + bigBlock);
    Text next("next text");
    EXPECT_EQ(arena.BytesReserved(), oneBlock + bigBlock);
    // A quarter block that does not fit opens the next shared block.
    quarters.emplace_back(quarter);
    EXPECT_EQ(arena.BytesReserved(), 2 * oneBlock + bigBlock);
    EXPECT_EQ(first, "first text");
    EXPECT_EQ(large.view(), big);
    EXPECT_EQ(next, "next text");
    for (const Text& text : quarters) EXPECT_EQ(text.view(), quarter);
    arena.Reset();
    EXPECT_EQ(arena.BytesReserved(), 0u);
}

TEST(FamilyTextArena, NestedScopesRestoreThePreviousArenaPerFamily) {
    using Inside = FamilyTextArena<ShortTextsInside>;
    using Outside = FamilyTextArena<EveryTextOutside>;
    EXPECT_EQ(Inside::Current(), nullptr);
    Inside outer;
    Inside inner;
    Outside other;
    {
        const Inside::Scope first(outer);
        {
            const Inside::Scope second(inner);
            EXPECT_EQ(Inside::Current(), &inner);
            // Another family's read never takes these texts into its arena.
            const Outside::Scope another(other);
            EXPECT_EQ(Inside::Current(), &inner);
            CompactText<ShortTextsInside> text("a text of the inner read");
            EXPECT_EQ(other.BytesReserved(), 0u);
            EXPECT_GT(inner.BytesReserved(), 0u);
        }
        EXPECT_EQ(Inside::Current(), &outer);
        EXPECT_EQ(Outside::Current(), nullptr);
    }
    EXPECT_EQ(Inside::Current(), nullptr);
}

}  // namespace
