// Compact model storage: texts across reloads and edits, shared texts and receiver lists, and
// the open-addressed signal name index.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dbc/dbc_line_source.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_node.h"
#include "dbc/dbc_signal.h"
#include "dbc_test_support.h"
#include "expect_fields.h"
#include "platform/input_file.h"

namespace {

using qm::dbc::DbcMessage;
using qm::dbc::DbcSignal;

constexpr const char* kSmallDbc =
    "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: A B\n\n"
    "BO_ 1 Frame: 8 A\n SG_ Speed : 0|16@1+ (0.1,0) [0|6553.5] \"km/h\" B\n\n"
    "CM_ SG_ 1 Speed \"vehicle speed\";\n"
    "VAL_ 1 Speed 0 \"stopped\" 1 \"rolling\" ;\n";

TEST(DbcModelTexts, ReloadAndEditKeepEveryTextOfTheModel) {
    dbctest::TempFolder folder;
    NetConfigDbcFile file;
    ASSERT_TRUE(dbctest::LoadText(file, folder, kSmallDbc));
    // Signals read from the file are destroyed in place by a cleared message; a second load
    // clears the model, the arena and the signal storage of the first.
    file.GetMessage(0)->Clear();
    EXPECT_EQ(file.GetMessage(0)->GetSignalCount(), 0u);
    ASSERT_TRUE(dbctest::LoadText(file, folder, kSmallDbc));
    IDbcSignal* signal = file.GetMessage(0)->GetSignal(0);
    QM_EXPECT_FIELDS(*signal, (GetName(), "Speed"), (GetUnit(), "km/h"),
                     (GetComment(), "vehicle speed"), (GetFactorText(), "0.1"),
                     (GetValueDescription(1), "rolling"));
    ASSERT_TRUE(file.SetSignalName(1, "Speed", "VehicleSpeed"));
    EXPECT_STREQ(file.GetMessage(0)->GetSignal(0)->GetName(), "VehicleSpeed");
    NetConfigDbcFile again;
    ASSERT_TRUE(again.Load(file.GetPath()));
    QM_EXPECT_FIELDS(*again.GetMessage(0)->GetSignal(0), (GetName(), "VehicleSpeed"),
                     (GetComment(), "vehicle speed"));
}

constexpr const char* kSharedDbc =
    "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: A B C\n\n"
    "BO_ 1 First: 8 A\n"
    " SG_ Alpha : 0|8@1+ (1,0) [0|255] \"\" B,C\n"
    " SG_ Beta : 8|8@1+ (1,0) [0|255] \"\" B,C\n"
    " SG_ Gamma : 16|8@1+ (1,0) [0|255] \"\" C,B\n\n"
    "BO_ 2 Second: 8 A\n"
    " SG_ Delta : 0|8@1+ (1,0) [0|255] \"\" B,C\n\n"
    "BA_DEF_ SG_ \"GenSigStartValue\" INT 0 100;\n"
    "BA_DEF_REL_ BU_SG_REL_ \"GenSigTimeoutTime\" INT 0 65535;\n"
    "BA_ \"GenSigStartValue\" SG_ 1 Alpha 5;\n"
    "BA_ \"GenSigStartValue\" SG_ 1 Beta 7;\n"
    "BA_REL_ \"GenSigTimeoutTime\" BU_SG_REL_ B SG_ 1 Gamma 500;\n"
    "BA_REL_ \"GenSigTimeoutTime\" BU_SG_REL_ C SG_ 2 Delta 600;\n";

class DbcSharedStorage : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dbctest::LoadText(file_, folder_, kSharedDbc)); }
    DbcSignal& Signal(uint32_t rawId, const char* name) {
        DbcSignal* signal = file_.SignalOf(rawId, name);
        EXPECT_NE(signal, nullptr) << name;
        return *signal;
    }

    dbctest::TempFolder folder_;
    NetConfigDbcFile file_;
};

TEST_F(DbcSharedStorage, ValuesOfOneDefinitionShareItsName) {
    IDbcAttribute* alpha = Signal(1, "Alpha").GetAttribute(0);
    IDbcAttribute* beta = Signal(1, "Beta").GetAttribute(0);
    QM_EXPECT_FIELDS(*alpha, (GetName(), "GenSigStartValue"), (GetName(), beta->GetName()),
                     (GetValue(), "5"));
    EXPECT_STREQ(beta->GetValue(), "7");
    auto* gamma = dynamic_cast<IDbcNodeRxSigRelAttribute*>(Signal(1, "Gamma").GetAttribute(0));
    auto* delta = dynamic_cast<IDbcNodeRxSigRelAttribute*>(Signal(2, "Delta").GetAttribute(0));
    ASSERT_NE(gamma, nullptr);
    ASSERT_NE(delta, nullptr);
    QM_EXPECT_FIELDS(*gamma, (GetName(), "GenSigTimeoutTime"), (GetName(), delta->GetName()),
                     (GetSignalName(), "Gamma"));
    EXPECT_STREQ(delta->GetNodeName(), "C");
}

TEST_F(DbcSharedStorage, EqualReceiverListsAreOneUntilASignalChangesItsOwn) {
    DbcSignal& alpha = Signal(1, "Alpha");
    DbcSignal& beta = Signal(1, "Beta");
    DbcSignal& gamma = Signal(1, "Gamma");
    DbcSignal& delta = Signal(2, "Delta");
    const DbcSignal& alphaRead = alpha;
    EXPECT_EQ(&alphaRead.Receivers(), &std::as_const(beta).Receivers());
    EXPECT_EQ(&alphaRead.Receivers(), &std::as_const(delta).Receivers());
    // Another order is another list.
    EXPECT_NE(&alphaRead.Receivers(), &std::as_const(gamma).Receivers());
    ASSERT_EQ(alpha.GetReceiverCount(), 2u);
    EXPECT_STREQ(alpha.GetReceiver(1)->GetName(), "C");
    EXPECT_EQ(alpha.IndexOfReceiver(file_.FindNode("C")), 1u);
    // Reading through the interface leaves the list shared.
    EXPECT_EQ(&alphaRead.Receivers(), &std::as_const(beta).Receivers());

    // A change of one signal's list leaves the others as they were.
    alpha.Receivers().pop_back();
    EXPECT_EQ(alpha.GetReceiverCount(), 1u);
    EXPECT_EQ(beta.GetReceiverCount(), 2u);
    EXPECT_EQ(delta.GetReceiverCount(), 2u);
    beta.ClearReceivers();
    QM_EXPECT_FIELDS(beta, (GetReceiverCount(), 0u), (GetReceiver(0), nullptr));
    EXPECT_EQ(delta.GetReceiverCount(), 2u);
    EXPECT_STREQ(delta.GetReceiver(0)->GetName(), "B");
}

TEST_F(DbcSharedStorage, ReloadAndWriteKeepSharedListsAndNames) {
    const std::string written = file_.RenderText();
    EXPECT_NE(written.find(" SG_ Gamma : 16|8@1+ (1,0) [0|255] \"\" C,B"), std::string::npos);
    ASSERT_TRUE(dbctest::LoadText(file_, folder_, written, "again.dbc"));
    EXPECT_STREQ(Signal(2, "Delta").GetReceiver(1)->GetName(), "C");
    EXPECT_STREQ(Signal(1, "Beta").GetAttribute(0)->GetName(), "GenSigStartValue");
}

qm::dbc::DbcSignalPtr Named(const std::string& name) {
    qm::dbc::DbcSignalPtr signal(new DbcSignal());
    signal->SetName(name);
    return signal;
}

TEST(DbcSignalIndex, FirstMatchAcrossGrowthDuplicatesAndRenames) {
    DbcMessage message;
    for (int i = 0; i < 20; ++i) message.AddSignal(Named("S" + std::to_string(i)));
    // The first look-up builds the index; later signals, one by one or in a batch, are entered
    // as they are added, and the table grows past three quarters full.
    EXPECT_EQ(message.SignalByName("S19"), message.Signals()[19].get());
    std::vector<qm::dbc::DbcSignalPtr> batch;
    for (int i = 20; i < 100; ++i) batch.push_back(Named("S" + std::to_string(i)));
    message.AddSignals(batch);
    for (int i = 99; i >= 0; i -= 7) {
        EXPECT_EQ(message.SignalByName("S" + std::to_string(i)), message.Signals()[i].get()) << i;
    }
    QM_EXPECT_FIELDS(message, (SignalByName("S100"), nullptr), (SignalByName(""), nullptr));

    // A repeated name: the first signal of that name, even right after its twin was found.
    message.AddSignal(Named("S42"));
    QM_EXPECT_FIELDS(message, (SignalByName("S41"), message.Signals()[41].get()),
                     (SignalByName("S42"), message.Signals()[42].get()),
                     (FindSignal("S42"), message.Signals()[42].get()));

    // A rename is seen after SignalNamesChanged.
    message.Signals()[42]->SetName("Renamed");
    message.SignalNamesChanged();
    QM_EXPECT_FIELDS(message, (SignalByName("Renamed"), message.Signals()[42].get()),
                     (SignalByName("S42"), message.Signals()[100].get()));
}

TEST(DbcSignalIndex, SortingKeepsLookUpsRight) {
    DbcMessage message;
    for (int i = 30; i > 0; --i) {
        auto signal = Named("N" + std::to_string(i));
        signal->SetStartBit(static_cast<uint16_t>(i));
        message.AddSignal(std::move(signal));
    }
    EXPECT_EQ(message.SignalByName("N30"), message.Signals()[0].get());
    message.SortSignalsByStartBit(true);
    QM_EXPECT_FIELDS(message, (SignalByName("N30"), message.Signals()[29].get()),
                     (SignalByName("N1"), message.Signals()[0].get()));
    message.SortSignalsByName(true);
    EXPECT_EQ(message.SignalByName("N1"), message.Signals()[0].get());
    EXPECT_STREQ(message.GetSignal(1)->GetName(), "N10");
    EXPECT_EQ(message.SignalByName("N10"), message.Signals()[1].get());
}

TEST(DbcInputRelease, SmallStepsKeepEarlierViewsAndALargeFileReadsWhole) {
    dbctest::TempFolder folder;
    // About 3 MiB of signals: the reader drops passed pages several times on the way.
    std::string text = "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: A B\n\n";
    const int messages = 1400;
    for (int m = 0; m < messages; ++m) {
        text += "BO_ " + std::to_string(m) + " Frame" + std::to_string(m) + ": 8 A\n";
        for (int s = 0; s < 64; ++s) {
            text += " SG_ Sig" + std::to_string(s) + " : " + std::to_string(s) +
                    "|1@1+ (1,0) [0|1] \"\" B\n";
        }
    }
    text += "CM_ SG_ 0 Sig0 \"first signal\";\n";
    const std::string path = folder.File("large.dbc");
    dbctest::WriteText(path, text);
    ASSERT_GT(text.size(), 3 * qm::dbc::DbcLineSource::kReleaseStep);

    qm::platform::InputFile input;
    ASSERT_TRUE(input.Open(path).ok);
    input.SetReleaseStep(4096);
    const std::string_view all = input.Text();
    const std::string_view early = all.substr(0, 64);
    input.ReleaseBefore(all.data() + all.size() / 2);
    input.ReleaseBefore(all.data() + all.size());
    // Dropped pages come back when touched: views into them still read the file.
    EXPECT_EQ(early, std::string_view(text).substr(0, 64));
    EXPECT_EQ(all.back(), '\n');

    NetConfigDbcFile file;
    ASSERT_TRUE(file.Load(path.c_str()));
    QM_EXPECT_FIELDS(file, (GetMessageCount(), static_cast<uint64_t>(messages)),
                     (GetSignalCount(), static_cast<uint64_t>(messages) * 64));
    EXPECT_STREQ(file.GetMessage(0)->GetSignal(0)->GetComment(), "first signal");
    EXPECT_STREQ(file.GetMessage(messages - 1)->GetSignal(63)->GetName(), "Sig63");
}

}  // namespace
