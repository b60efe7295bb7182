// Every real file of the shared corpus: the status it deserves, its message and signal counts,
// and a load-save-load round trip into the same model.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbc_test_support.h"

namespace {

namespace fs = std::filesystem;
using dbctest::TempFolder;

struct CorpusExpectation {
    const char* file;
    uint32_t status;
    uint64_t messages;
    uint64_t signals;
};

// Statuses: 1 clean, 2 with warnings (names of nodes, signals or variables that are not
// defined), 3 stops at an extended-multiplexing line, 4 stops at a line that is no keyword,
// 11 a number out of range, 23 a value description with escaped quotes splits into an odd count.
const CorpusExpectation kCorpus[] = {
    {"busmaster__vw360e_acan.dbc", 1, 220, 1979},
    {"candbc__sample.dbc", 2, 2, 8},
    {"canmatrix__j1939.dbc", 11, 12, 165},
    {"cantools__BU_BO_REL_Message.dbc", 1, 1, 1},
    {"cantools__abs.dbc", 1, 18, 89},
    {"cantools__attributes.dbc", 1, 2, 2},
    {"cantools__cp1252.dbc", 1, 0, 0},
    {"cantools__emc32.dbc", 1, 1, 5},
    {"cantools__empty_ns.dbc", 1, 0, 0},
    {"cantools__floating_point.dbc", 1, 2, 3},
    {"cantools__foobar.dbc", 4, 0, 0},
    {"cantools__long_names.dbc", 1, 10, 13},
    {"cantools__msxii_system_can.dbc", 1, 1, 73},
    {"cantools__multiplex_2.dbc", 3, 4, 19},
    {"cantools__relation_attributes.dbc", 1, 2, 2},
    {"cantools__vehicle.dbc", 1, 217, 462},
    {"dbcppp__Core_Objects_protocol.dbc", 1, 1, 3038},
    {"dbcppp__Test.dbc", 2, 2, 64},
    {"ecubus__Model3CAN.dbc", 1, 159, 2752},
    {"ecubus__SCU.dbc", 1, 28, 151},
    {"ecubus__TestDbc1.dbc", 1, 1, 15},
    {"ecubus__can1-hyundai-kia-uds-v2.4.dbc", 3, 3, 71},
    {"ecubus__gbk.dbc", 1, 35, 273},
    {"ecubus__sig_group.dbc", 1, 23, 95},
    {"opendbc__ESR.dbc", 1, 80, 868},
    {"opendbc__RAM_Cummins_2019.dbc", 1, 332, 2212},
    {"opendbc__bmw_X5_g05_FA_CAN.dbc", 23, 435, 2271},
    {"opendbc__ford_lincoln_base_pt.dbc", 2, 331, 2150},
    {"opendbc__generator_acura_ilx_2016_can.dbc", 1, 0, 0},
    {"opendbc__generator_gm_global_a_powertrain.dbc", 2, 49, 122},
    {"opendbc__gm_global_a_lowspeed_1818125.dbc", 1, 367, 3210},
    {"opendbc__gm_global_a_object.dbc", 2, 60, 520},
    {"opendbc__psa_aee2010_r3.dbc", 2, 108, 536},
    {"opendbc__rivian_primary_actuator.dbc", 2, 67, 392},
    {"opendbc__tesla_can.dbc", 4, 0, 0},
    {"opendbc__vw_mlb.dbc", 2, 145, 1442},
    {"opendbc__vw_pq.dbc", 3, 86, 1331},
};

fs::path CorpusFolder() {
    return fs::path(QM_SHARED_DIR) / "corpus" / "dbc";
}

class DbcCorpus : public ::testing::TestWithParam<CorpusExpectation> {
  protected:
    void SetUp() override {
        if (!fs::is_directory(CorpusFolder())) GTEST_SKIP() << "no corpus at " << CorpusFolder();
    }
    std::string PathOf(const char* name) const { return (CorpusFolder() / name).string(); }
};

TEST_P(DbcCorpus, LoadsWithItsStatusAndCounts) {
    const CorpusExpectation& expected = GetParam();
    NetConfigDbcFile file;
    const bool loaded = file.Load(PathOf(expected.file).c_str());
    EXPECT_EQ(file.GetStatus(), expected.status) << file.GetMessages();
    EXPECT_EQ(loaded, expected.status <= 2);
    EXPECT_EQ(file.GetMessageCount(), expected.messages);
    EXPECT_EQ(file.GetSignalCount(), expected.signals);
    EXPECT_EQ(file.GetTotalSignalCount(), expected.signals);
}

TEST_P(DbcCorpus, RoundTripKeepsTheModel) {
    const CorpusExpectation& expected = GetParam();
    NetConfigDbcFile original;
    original.Load(PathOf(expected.file).c_str());
    if (original.GetStatus() > 2) GTEST_SKIP() << "the file stops early; no round trip promised";
    TempFolder folder;
    const std::string copy = folder.File("copy.dbc");
    ASSERT_TRUE(original.Save(copy.c_str()));
    NetConfigDbcFile reread;
    ASSERT_TRUE(reread.Load(copy.c_str())) << reread.GetMessages();
    // Warnings of the original are about references that were dropped; the rewritten text
    // only holds what was kept, so it reads back clean.
    EXPECT_EQ(reread.GetStatus(), 1u) << reread.GetMessages();
    dbctest::ExpectSameModel(original, reread);
    // A second save of the reread model gives the same text.
    const std::string again = folder.File("again.dbc");
    ASSERT_TRUE(reread.Save(again.c_str()));
    EXPECT_EQ(dbctest::ReadText(copy), dbctest::ReadText(again));
}

INSTANTIATE_TEST_SUITE_P(AllFiles, DbcCorpus, ::testing::ValuesIn(kCorpus),
                         [](const ::testing::TestParamInfo<CorpusExpectation>& info) {
                             std::string name = info.param.file;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST(DbcCorpusStops, ModelKeepsWhatCameBeforeTheStop) {
    if (!fs::is_directory(CorpusFolder())) GTEST_SKIP();
    NetConfigDbcFile file;
    EXPECT_FALSE(file.Load((CorpusFolder() / "opendbc__vw_pq.dbc").string().c_str()));
    EXPECT_EQ(file.GetStatus(), 3u);
    EXPECT_EQ(file.StopCode(), 15u);
    const std::string messages = file.GetMessages();
    EXPECT_NE(messages.find("Not supported DBC keyword, check this line: Line("),
              std::string::npos);
    EXPECT_NE(messages.find(") SG_MUL_VAL_ "), std::string::npos);

    NetConfigDbcFile tesla;
    tesla.Load((CorpusFolder() / "opendbc__tesla_can.dbc").string().c_str());
    EXPECT_EQ(tesla.GetStatus(), 4u);
    EXPECT_EQ(tesla.GetNodeCount(), 0u);
    EXPECT_NE(std::string(tesla.GetMessages())
                  .find("Possible undefined tag, check this line: Line(37) NEO.\n"),
              std::string::npos);
}

}  // namespace
