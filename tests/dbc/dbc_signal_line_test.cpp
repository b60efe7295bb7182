// Signal lines in every form (one-pass cut or general split read the same pieces), and the
// message indexes by identifier and name.
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>

#include "dbc/dbc_byte_masks.h"
#include "dbc/dbc_tokens.h"
#include "dbc_test_support.h"

namespace {

using dbctest::LoadText;
using dbctest::MessagesWithoutTiming;
using dbctest::TempFolder;

// The pieces that the bit masks of a text give, as SplitQuoted would return them.
qm::dbc::Tokens PiecesByMasks(std::string_view text) {
    const qm::dbc::ByteMasks masks = qm::dbc::MasksOf(text.data(), text.size());
    const qm::dbc::PieceBounds bounds =
        qm::dbc::PiecesOf(masks.white & ~qm::dbc::QuotedRuns(masks.quote), text.size());
    qm::dbc::Tokens pieces;
    uint64_t firsts = bounds.firsts, lasts = bounds.lasts;
    while (firsts != 0) {
        const int first = std::countr_zero(firsts), last = std::countr_zero(lasts);
        pieces.push_back(text.substr(first, last - first + 1));
        firsts &= firsts - 1;
        lasts &= lasts - 1;
    }
    return pieces;
}

TEST(DbcByteMasks, PiecesAreThoseOfTheQuotedSplit) {
    std::mt19937 random(7);
    const std::string alphabet = "ab1|@ \t\r\n\"\":,\v";
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const size_t length = random() % (qm::dbc::ByteMasks::kMaxBytes + 1);
        for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        SCOPED_TRACE("text \"" + text + "\"");
        qm::dbc::Tokens expected;
        qm::dbc::SplitQuoted(text, qm::dbc::kWhite, expected);
        ASSERT_EQ(PiecesByMasks(text), expected);
        const qm::dbc::ByteMasks masks = qm::dbc::MasksOf(text.data(), text.size());
        EXPECT_EQ(masks.colon != 0, text.find(':') != std::string::npos);
    }
}

struct SignalLineCase {
    const char* line;
    bool tolerant;
    uint32_t status;
    const char* name;  // null: no signal read
    const char* indicator;
    uint16_t startBit;
    const char* factor;
    const char* unit;
    uint64_t receivers;
};

class DbcSignalLine : public ::testing::TestWithParam<SignalLineCase> {};

TEST_P(DbcSignalLine, ReadsThePiecesAsWritten) {
    const SignalLineCase& form = GetParam();
    TempFolder folder;
    NetConfigDbcFile file;
    file.SetTolerantReading(form.tolerant);
    LoadText(file, folder, std::string("BU_: A B\nBO_ 1 M: 8 A\n") + form.line + "\n");
    SCOPED_TRACE(MessagesWithoutTiming(file));
    EXPECT_EQ(file.GetStatus(), form.status);
    IDbcMessage* message = file.FindMessage(1u);
    ASSERT_NE(message, nullptr);
    if (form.name == nullptr) {
        EXPECT_EQ(message->GetSignalCount(), 0u);
        return;
    }
    ASSERT_EQ(message->GetSignalCount(), 1u);
    IDbcSignal* signal = message->GetSignal(0);
    EXPECT_STREQ(signal->GetName(), form.name);
    EXPECT_STREQ(signal->GetMultiplexIndicator(), form.indicator);
    EXPECT_EQ(signal->GetStartBit(), form.startBit);
    EXPECT_STREQ(signal->GetFactorText(), form.factor);
    EXPECT_STREQ(signal->GetUnit(), form.unit);
    EXPECT_EQ(signal->GetReceiverCount(), form.receivers);
}

// A body over 64 bytes is cut byte by byte.
const std::string kLongBody = " SG_ S : 0|8@1+ (1,0) [0|255] \"" + std::string(60, 'u') + "\" A,B";

const SignalLineCase kForms[] = {
    {" SG_ S : 0|8@1+ (1,0) [0|255] \"km/h\" A,B", false, 1, "S", " ", 0, "1", "km/h", 2},
    {"\tSG_ S\tm2\t:\t8|4@0-\t(0.5,-1)\t[0|7]\t\"u\"\tA", false, 1, "S", "m2", 8, "0.5", "u", 1},
    {"SG_ S M : 1|8@1+ (2,0)\r[0|255] \"deg C\" B", false, 1, "S", "M", 1, "2", "deg C", 1},
    // A fourth piece before the ":" is passed over; a sixth after it too.
    {"SG_ S m1 x : 3|8@1+ (1,0) [0|255] \"\" A extra", false, 1, "S", "m1", 3, "1", "", 1},
    {kLongBody.c_str(), false, 1, "S", " ", 0, "1",
     "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu", 2},
    {"SG_ S : 0|8 @1+ (1,0) [0|255] \"\" A", false, 1, "S", " ", 0, "1", "", 1},
    // A second ":" cuts the line in three: malformed, no signal. Tolerant reading passes over
    // one inside quotes (one outside still fails).
    {"SG_ S : 0|8@1+ (1,0) [0|255] \"m:s\" A", false, 12, nullptr, "", 0, "", "", 0},
    {"SG_ S : 0|8@1+ (1,0) [0|255] \"m:s\" A", true, 1, "S", " ", 0, "1", "m:s", 1},
    {"SG_ S : 0|8@1+ (1,0) [0|255] \"m:s\" A:", true, 2, nullptr, "", 0, "", "", 0},
    // A quote left open takes the rest of the line into the unit: four pieces.
    {"SG_ S : 0|8@1+ (1,0) [0|255] \"km/h A", false, 12, "S", " ", 0, "", "", 0},
    {"SG_ S : 0|8@1+ (1,0) [0|255] \"km/h A", true, 2, "S", " ", 0, "1", "\"km/h A", 0},
    {"SG_ S : 0|8 @1+ (1,0) [0|255] \"\"", true, 2, "S", " ", 0, "1", "", 0},
    {"SG_ S : 0|8@1+ (1E-05,0) [0|255] \"\" \"A\"", false, 2, "S", " ", 0, "1E-05", "", 0},
    // Blanks where the grammar allows them and the split does not: the exact reader fails the
    // scaling or limits, tolerant reading takes them (and "B, A" as two receivers).
    {"SG_ S : 0|8@1+(0.5, 0)[0 | 255]\"u\"B, A", false, 11, "S", " ", 0, "", "", 0},
    {"SG_ S : 0|8@1+(0.5, 0)[0 | 255]\"u\"B, A", true, 1, "S", " ", 0, "0.5", "u", 2},
    {"SG_ S : 0|8@1+ ( 2 ,1 ) [ 0|255 ] \"(a) [b]\" B ,A", true, 1, "S", " ", 0, "2", "(a) [b]",
     2}};

INSTANTIATE_TEST_SUITE_P(Forms, DbcSignalLine, ::testing::ValuesIn(kForms));

TEST(DbcMessageIndex, FirstMessageOfAnIdentifierOrNameAcrossGrowthAndRenames) {
    TempFolder folder;
    NetConfigDbcFile file;
    std::string text = "BU_: A\n";
    for (int i = 0; i < 200; ++i) {
        text += "BO_ " + std::to_string(i * 7919) + " M" + std::to_string(i) + ": 8 A\n";
    }
    text += "BO_ 7919 Twin: 8 A\nBO_ 5 M3: 8 A\n";
    ASSERT_TRUE(LoadText(file, folder, text));
    for (int i = 0; i < 200; i += 13) {
        IDbcMessage* byId = file.FindMessage(static_cast<uint32_t>(i * 7919));
        ASSERT_NE(byId, nullptr) << i;
        EXPECT_EQ(byId, file.GetMessage(i));
        EXPECT_EQ(file.FindMessage(("M" + std::to_string(i)).c_str()), byId);
    }
    EXPECT_STREQ(file.FindMessage(7919u)->GetName(), "M1");
    QM_EXPECT_FIELDS(file, (FindMessage("M3"), file.GetMessage(3)),
                     (FindMessage("Twin"), file.GetMessage(200)), (FindMessage(1u), nullptr),
                     (FindMessage("M200"), nullptr));
    ASSERT_TRUE(file.SetMessageName(14u * 7919, "Renamed"));
    QM_EXPECT_FIELDS(file, (FindMessage("Renamed"), file.GetMessage(14)),
                     (FindMessage("M14"), nullptr), (FindMessage(14u * 7919), file.GetMessage(14)));
}

}  // namespace
