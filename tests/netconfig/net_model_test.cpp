#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "expect_fields.h"
#include "netconfig/net_database.h"
#include "netconfig/net_frame_diagnostic.h"

namespace {

std::unique_ptr<NetSignal> MakeSignal(const char* name, uint16_t startBit, uint16_t bitSize,
                                      uint32_t byteOrder) {
    auto signal = std::make_unique<NetSignal>();
    signal->SetName(name);
    signal->SetStartBit(startBit);
    signal->SetBitSize(bitSize);
    signal->SetByteOrder(byteOrder);
    return signal;
}

std::unique_ptr<NetMessage> MakeMessage(const char* name, uint32_t id) {
    auto message = std::make_unique<NetMessage>();
    message->SetName(name);
    message->SetId(id);
    message->SetSize(8);
    return message;
}

}  // namespace

TEST(NetNames, CodeTablesAndUnknownCodes) {
    NetSignal signal;
    QM_EXPECT_FIELDS(signal, (GetValueTypeName(), "other"), (GetByteOrderName(), "Default"),
                     (GetSignednessName(), "undefinedType"));

    const char* valueTypes[] = {"other",   "uint8_t", "uint16_t", "uint32_t", "uint64_t", "int8_t",
                                "int16_t", "int32_t", "int64_t",  "float32",  "float64",  "array"};
    for (uint32_t code = 0; code < 12; ++code) {
        signal.SetValueType(code);
        EXPECT_STREQ(signal.GetValueTypeName(), valueTypes[code]);
    }
    signal.SetValueType(12);
    QM_EXPECT_FIELDS(signal, (GetValueType(), 12u), (GetValueTypeName(), ""));

    const char* byteOrders[] = {"Default", "Big Endian", "Little endian", ""};
    for (uint32_t code = 0; code < 4; ++code) {
        signal.SetByteOrder(code);
        EXPECT_STREQ(signal.GetByteOrderName(), byteOrders[code]);
    }
    const char* signedness[] = {"unsignedType", "signedType", ""};
    for (uint32_t code = 1; code < 4; ++code) {
        signal.SetSignedness(code);
        EXPECT_STREQ(signal.GetSignednessName(), signedness[code - 1]);
    }

    EXPECT_EQ(qm::net::IntegerValueType(1, false), qm::net::kValueUint8);
    EXPECT_EQ(qm::net::IntegerValueType(9, true), qm::net::kValueInt16);
    EXPECT_EQ(qm::net::IntegerValueType(32, false), qm::net::kValueUint32);
    EXPECT_EQ(qm::net::IntegerValueType(33, true), qm::net::kValueInt64);
    EXPECT_EQ(qm::net::IntegerValueType(65, false), qm::net::kValueArray);
}

TEST(NetSignalRawValue, BigEndianWalksEachByteFromBitZero) {
    const uint8_t data[] = {0xA5, 0x3C};  // 1010'0101 0011'1100
    auto signal = MakeSignal("s", 0, 4, qm::net::kByteOrderBig);
    // Bits 0..3 of byte 0: 1,0,1,0 -> result bit0=1, bit2=1.
    EXPECT_EQ(signal->GetRawValue(data, 2), 0x5u);
    signal->SetStartBit(4);
    EXPECT_EQ(signal->GetRawValue(data, 2), 0xAu);
    // Crossing into the second byte: bits 6,7 of byte 0 (0,1) then bits 0,1 of byte 1 (0,0).
    signal->SetStartBit(6);
    EXPECT_EQ(signal->GetRawValue(data, 2), 0x2u);
    signal->SetStartBit(0);
    signal->SetBitSize(16);
    EXPECT_EQ(signal->GetRawValue(data, 2), 0x3CA5u);
}

TEST(NetSignalRawValue, OtherOrdersWalkEachByteFromBitSeven) {
    const uint8_t data[] = {0xA5, 0x3C};
    for (uint32_t order :
         {uint32_t{qm::net::kByteOrderLittle}, uint32_t{qm::net::kByteOrderDefault}, 9u}) {
        auto signal = MakeSignal("s", 0, 4, order);
        // Bits 7,6,5,4 of 0xA5 are 1,0,1,0 -> result 0b0101.
        EXPECT_EQ(signal->GetRawValue(data, 2), 0x5u) << order;
        // Counter 8..15 are bits 7..0 of 0x3C: 0,0,1,1,1,1,0,0 -> reversed into 0b00111100.
        signal->SetStartBit(8);
        signal->SetBitSize(8);
        EXPECT_EQ(signal->GetRawValue(data, 2), 0x3Cu) << order;
    }
}

TEST(NetSignalRawValue, EdgesOfTheData) {
    const uint8_t data[] = {0xFF, 0xFF};
    auto signal = MakeSignal("s", 12, 8, qm::net::kByteOrderBig);
    QM_EXPECT_FIELDS(*signal, (GetRawValue(data, 0), 0u), (GetRawValue(nullptr, 2), 0u));
    // Only the bits that exist are collected.
    EXPECT_EQ(signal->GetRawValue(data, 2), 0xFu);
    signal->SetStartBit(0);
    signal->SetBitSize(0);
    EXPECT_EQ(signal->GetRawValue(data, 2), 0u);

    std::vector<uint8_t> wide(10, 0xFF);
    signal->SetBitSize(64);
    EXPECT_EQ(signal->GetRawValue(wide.data(), wide.size()), ~uint64_t{0});
    signal->SetBitSize(70);  // bits beyond 64 do not fit the result
    EXPECT_EQ(signal->GetRawValue(wide.data(), wide.size()), ~uint64_t{0});
}

TEST(NetSignalWords, SizingKeepsTheSameBitCountInEveryWord) {
    struct Case {
        uint16_t bits;
        size_t words;
    } cases[] = {{0, 0},  {1, 1},  {16, 1}, {17, 17}, {20, 2},   {24, 2},
                 {32, 2}, {33, 3}, {48, 3}, {64, 4},  {255, 17}, {256, 0}};
    for (const Case& c : cases) {
        NetSignal signal;
        signal.SetBitSize(c.bits);
        ASSERT_EQ(signal.RawWords().size(), c.words) << c.bits;
        if (c.words != 0) {
            EXPECT_EQ(c.bits % c.words, 0u) << c.bits;
            EXPECT_LE(c.bits / c.words, 16u) << c.bits;
        }
    }
}

TEST(NetMessageSetData, DistributesIntoWordsByByteOrder) {
    NetDataBase db;
    NetMessage* message = db.AddMessage(MakeMessage("m", 1));
    // 12 bits from bit 4: byte 0 bits 4..7 then byte 1 bits 0..7.
    NetSignal* big = db.AddSignal(MakeSignal("big", 4, 12, qm::net::kByteOrderBig));
    NetSignal* little = db.AddSignal(MakeSignal("little", 4, 12, qm::net::kByteOrderLittle));
    NetSignal* neither = db.AddSignal(MakeSignal("neither", 4, 12, qm::net::kByteOrderDefault));
    for (NetSignal* s : {big, little, neither}) message->AddSignal(s);

    const uint8_t payload[] = {0x50,
                               0x81};  // byte0 bits4..7 = 1,0,1,0; byte1 bits0..7 = 1,0,0,0,0,0,0,1
    EXPECT_FALSE(message->SetData(nullptr));
    EXPECT_TRUE(message->SetData(payload));

    // The bit sequence read is 1010 1000 0001 (i = 0..11).
    ASSERT_EQ(big->RawWords().size(), 1u);
    // Big endian: bit i goes to bit 11 - i.
    EXPECT_EQ(big->RawWords()[0], 0b101010000001u);
    // Little endian: bit i goes to bit i.
    EXPECT_EQ(little->RawWords()[0], 0b100000010101u);
    EXPECT_EQ(neither->RawWords()[0], 0u);
    QM_EXPECT_FIELDS(*message, (IsPayload(payload), true), (IsPayload(nullptr), false));
}

TEST(NetMessageSetData, SplitsLongSignalsOverWordsAndOverwritesOldBits) {
    NetDataBase db;
    NetMessage* message = db.AddMessage(MakeMessage("m", 1));
    NetSignal* wide = db.AddSignal(MakeSignal("wide", 0, 32, qm::net::kByteOrderLittle));
    NetSignal* twenty = db.AddSignal(MakeSignal("twenty", 0, 20, qm::net::kByteOrderBig));
    message->AddSignal(wide);
    message->AddSignal(twenty);

    const uint8_t ones[] = {0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t mixed[] = {0x34, 0x12, 0x78, 0x56};
    ASSERT_TRUE(message->SetData(ones));
    EXPECT_EQ(wide->RawWords(), (std::vector<uint16_t>{0xFFFF, 0xFFFF}));
    ASSERT_TRUE(message->SetData(mixed));
    EXPECT_EQ(wide->RawWords(), (std::vector<uint16_t>{0x1234, 0x5678}));
    // 20 bits in two words of 10: word 0 takes payload bits 0..9 (10'0011'0100) reversed, word 1
    // bits 10..19 (10'0000'0100) reversed.
    EXPECT_EQ(twenty->RawWords(), (std::vector<uint16_t>{0b0010110001, 0b0010000001}));
}

TEST(NetMessageSetData, SkipsSignalsWithoutWords) {
    NetDataBase db;
    NetMessage* message = db.AddMessage(MakeMessage("m", 1));
    NetSignal* empty = db.AddSignal(MakeSignal("empty", 0, 0, qm::net::kByteOrderBig));
    NetSignal* huge = db.AddSignal(MakeSignal("huge", 0, 300, qm::net::kByteOrderBig));
    message->AddSignal(empty);
    message->AddSignal(huge);
    const uint8_t payload[64] = {0xFF};
    EXPECT_TRUE(message->SetData(payload));
    EXPECT_TRUE(empty->RawWords().empty());
    EXPECT_TRUE(huge->RawWords().empty());
}

TEST(NetDataBaseFinds, FirstMatchWinsForDuplicateNamesAndIds) {
    NetDataBase db;
    NetMessage* first = db.AddMessage(MakeMessage("Dup", 0x100));
    NetMessage* second = db.AddMessage(MakeMessage("Dup", 0x100));
    NetMessage* other = db.AddMessage(MakeMessage("Other", 0x200));
    QM_EXPECT_FIELDS(db, (FindMessage("Dup"), first), (FindMessage(0x100u), first),
                     (FindMessage(0x200u), other), (FindMessage(0x300u), nullptr),
                     (FindMessage("dup"), nullptr),
                     (FindMessage(static_cast<const char*>(nullptr)), nullptr),
                     (GetMessage(1), second), (GetMessage(3), nullptr));

    // Entries added after a find are found too, without displacing the first match.
    NetMessage* late = db.AddMessage(MakeMessage("Late", 0x100));
    QM_EXPECT_FIELDS(db, (FindMessage("Late"), late), (FindMessage(0x100u), first));

    auto ecu = std::make_unique<NetEcu>();
    ecu->SetName("ECU");
    NetEcu* firstEcu = db.AddEcu(std::move(ecu));
    ecu = std::make_unique<NetEcu>();
    ecu->SetName("ECU");
    db.AddEcu(std::move(ecu));
    QM_EXPECT_FIELDS(db, (FindEcu("ECU"), firstEcu), (FindEcu("ECU2"), nullptr));

    NetSignal* s1 = db.AddSignal(MakeSignal("Sig", 0, 1, 1));
    db.AddSignal(MakeSignal("Sig", 1, 1, 1));
    QM_EXPECT_FIELDS(db, (FindSignal("Sig"), s1), (GetSignalCount(), 2u));

    db.Clear();
    QM_EXPECT_FIELDS(db, (GetMessageCount(), 0u), (FindMessage("Dup"), nullptr),
                     (FindMessage(0x100u), nullptr));
    db.AddMessage(MakeMessage("Dup", 0x100));
    EXPECT_NE(db.FindMessage(0x100u), nullptr);
}

TEST(NetDataBaseFinds, LargeDatabaseLooksUpEveryMessage) {
    NetDataBase db;
    constexpr uint32_t kCount = 10000;
    for (uint32_t i = 0; i < kCount; ++i) {
        db.AddMessage(MakeMessage(("M" + std::to_string(i)).c_str(), i));
    }
    for (uint32_t i = 0; i < kCount; ++i) {
        ASSERT_EQ(db.FindMessage(i), db.GetMessage(i));
        ASSERT_EQ(db.FindMessage(("M" + std::to_string(i)).c_str()), db.GetMessage(i));
    }
}

TEST(NetEcu, SetsAreOrderedByAddressAndFindTheFirstInThatOrder) {
    std::vector<std::unique_ptr<NetMessage>> messages;
    for (int i = 0; i < 4; ++i) messages.push_back(MakeMessage(i < 2 ? "Same" : "Other", 7));
    NetEcu ecu;
    // Insert in reverse order; the set walks by address.
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) ecu.AddTxMessage(it->get());
    ecu.AddTxMessage(messages[2].get());
    ecu.AddTxMessage(messages[0].get());
    ASSERT_EQ(ecu.GetTxMessageCount(), 4u);
    std::vector<INetMessage*> walked;
    for (uint64_t i = 0; i < 4; ++i) walked.push_back(ecu.GetTxMessage(i));
    EXPECT_TRUE(std::is_sorted(walked.begin(), walked.end()));
    EXPECT_EQ(ecu.GetTxMessage(4), nullptr);
    INetMessage* lowestSame = std::min(messages[0].get(), messages[1].get());
    EXPECT_EQ(ecu.FindTxMessage("Same"), lowestSame);
    EXPECT_EQ(ecu.FindTxMessage(7u), walked[0]);
    EXPECT_EQ(ecu.FindRxMessage(7u), nullptr);

    ecu.SetLinRole(1, 0);
    QM_EXPECT_FIELDS(ecu, (IsMaster(), 1), (IsSlave(), 0));
    ecu.Clear();
    QM_EXPECT_FIELDS(ecu, (GetTxMessageCount(), 0u), (IsMaster(), 0));
}

TEST(NetFrameDiagnostic, TwoSetsFilledByTheHost) {
    NetDataBase db;
    NetMessage* a = db.AddMessage(MakeMessage("A", 1));
    NetMessage* b = db.AddMessage(MakeMessage("B", 2));
    NetSignal* s = db.AddSignal(MakeSignal("S", 0, 1, 1));
    NetFrameDiagnostic diagnostic;
    diagnostic.AddMessage(a);
    diagnostic.AddFrame(b);
    diagnostic.AddFrame(a);
    diagnostic.AddMessage(nullptr);
    diagnostic.AddSignal(s);
    QM_EXPECT_FIELDS(diagnostic, (GetMessageCount(), 2u), (FindMessage("B"), b));
    EXPECT_EQ(diagnostic.GetMessage(0), std::min<INetMessage*>(a, b));
    QM_EXPECT_FIELDS(diagnostic, (GetSignalCount(), 1u), (FindSignal("S"), s),
                     (GetSignal(1), nullptr));
    diagnostic.Clear();
    QM_EXPECT_FIELDS(diagnostic, (GetMessageCount(), 0u), (GetSignalCount(), 0u));
}
