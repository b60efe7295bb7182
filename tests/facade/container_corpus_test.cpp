// Every network file of the shared corpus that loads goes through the container file: loaded
// into a facade, saved, loaded into a fresh facade, and compared model by model.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "dbc/dbc_model_compare.h"
#include "facade/quillmere.h"
#include "ldf/ldf_model_compare.h"

namespace {

namespace fs = std::filesystem;

std::string ContainerPath(const fs::path& source) {
    return (fs::temp_directory_path() /
            ("qm_container_" + std::to_string(::getpid()) + "_" + source.stem().string() + ".xml"))
        .string();
}

// A facade with one network configuration, as the container needs one to load into.
struct Side {
    Side() : config(static_cast<NetConfig*>(facade.CreateNetConfig())) {}
    Quillmere facade;
    NetConfig* config;
};

// Saves a's configuration and loads it into b; false when either step failed.
bool RoundTrip(Side& a, Side& b, const fs::path& source) {
    const std::string path = ContainerPath(source);
    const bool saved = a.facade.SaveToFile(path.c_str());
    const bool loaded = saved && b.facade.LoadFromFile(path.c_str());
    fs::remove(path);
    return saved && loaded;
}

std::string TestName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string name = info.param.stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name + "_" + std::to_string(info.index);
}

// The restored bus is the stored one as the DBC or LDF model behind it (its database is
// converted from that model as a loaded file's is).
void ExpectSameBus(INetDataBase& stored, INetDataBase& restored) {
    EXPECT_STREQ(stored.GetName(), restored.GetName());
    if (auto* dbc = dynamic_cast<NetConfigDbcFile*>(stored.GetDbcFile())) {
        auto* copy = dynamic_cast<NetConfigDbcFile*>(restored.GetDbcFile());
        ASSERT_NE(copy, nullptr);
        dbctest::ExpectSameDbcModel(*dbc, *copy, dbctest::DbcRebuild::kContainer);
    } else {
        auto* ldf = dynamic_cast<NetConfigLdfFile*>(stored.GetLdfFile());
        auto* copy = dynamic_cast<NetConfigLdfFile*>(restored.GetLdfFile());
        ASSERT_TRUE(ldf != nullptr && copy != nullptr);
        qm::ldf::test::ExpectSameLdfModel(ldf->Model(), copy->Model());
    }
}

// Every DBC file, then every LDF file.
std::vector<fs::path> BusFiles() {
    std::vector<fs::path> files = qmtest::CorpusFiles("dbc", {".dbc"});
    for (const fs::path& ldf : qmtest::CorpusFiles("ldf", {".ldf"})) files.push_back(ldf);
    return files;
}

class BusCorpus : public ::testing::TestWithParam<fs::path> {};
class ArxmlCorpus : public ::testing::TestWithParam<fs::path> {};

}  // namespace

// DBC files that stop with an error (status 3 and above) and LDF files with any finding have no
// model to store.
TEST_P(BusCorpus, ComesBackWithTheSameModel) {
    const bool dbc = GetParam().extension() == ".dbc";
    Side a;
    const uint8_t code = dbc ? a.config->LoadDbc(GetParam().string().c_str())
                             : a.config->LoadLdf(GetParam().string().c_str());
    if (code != kNetLoadOk && !(dbc && code == kNetLoadWithWarnings)) {
        GTEST_SKIP() << "does not load";
    }
    Side b;
    ASSERT_TRUE(RoundTrip(a, b, GetParam()));
    ASSERT_EQ(b.config->GetDataBaseCount(), 1u);
    ExpectSameBus(*a.config->GetDataBase(0), *b.config->GetDataBase(0));
}

// ARXML buses come back as DBC- or LDF-derived databases (the container form holds DBC and LDF
// content only; other bus kinds are not stored), LIN buses first. Each comes back as the DBC or
// LDF model that the database generated for the save.
TEST_P(ArxmlCorpus, BusesComeBackAsTheGeneratedFiles) {
    Side a;
    if (a.config->LoadArxml(GetParam().string().c_str()) != kNetLoadOk) {
        GTEST_SKIP() << "does not load";
    }
    std::vector<INetDataBase*> stored;
    for (uint32_t busType : {kNetBusLin, kNetBusCan}) {
        for (uint64_t i = 0; i < a.config->GetDataBaseCount(); ++i) {
            if (a.config->GetDataBase(i)->GetBusType() == busType) {
                stored.push_back(a.config->GetDataBase(i));
            }
        }
    }
    Side b;
    ASSERT_TRUE(RoundTrip(a, b, GetParam()));
    ASSERT_EQ(b.config->GetDataBaseCount(), stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        ExpectSameBus(*stored[i], *b.config->GetDataBase(i));
    }
}

INSTANTIATE_TEST_SUITE_P(Files, BusCorpus, ::testing::ValuesIn(BusFiles()), TestName);
INSTANTIATE_TEST_SUITE_P(Files, ArxmlCorpus,
                         ::testing::ValuesIn(qmtest::CorpusFiles("arxml", {".arxml"})), TestName);
// Without ../shared the lists are empty and nothing runs.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BusCorpus);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ArxmlCorpus);
