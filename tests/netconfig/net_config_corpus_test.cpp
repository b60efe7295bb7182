// Every DBC, LDF and ARXML file of the shared corpus goes through a network configuration: the
// load result follows the file object's own status, and every database has as many ECUs,
// messages and signals as the file object it came from.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "corpus_files.h"
#include "dbc/netconfig_dbc_file.h"
#include "ldf/netconfig_ldf_file.h"
#include "netconfig/net_config.h"

namespace fs = std::filesystem;

namespace {

uint8_t ExpectedDbcResult(bool loaded, uint32_t status) {
    if (loaded) return status == 2 ? kNetLoadWithWarnings : kNetLoadOk;
    switch (status) {
        case 5:
            return kNetLoadFileNotOpened;
        case 3:
            return kNetLoadUnsupportedKeyword;
        case 4:
            return kNetLoadUndefinedTag;
        default:
            return kNetLoadFailed;
    }
}

}  // namespace

TEST(NetConfigCorpus, DbcFilesConvertWhole) {
    const auto files = qmtest::CorpusPaths("dbc", {".dbc"});
    if (files.empty()) GTEST_SKIP() << "no DBC corpus";
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        NetConfigDbcFile reference;
        const bool loaded = reference.Load(path.c_str());
        NetConfig config;
        EXPECT_EQ(config.LoadDbc(path.c_str()), ExpectedDbcResult(loaded, reference.GetStatus()));
        EXPECT_EQ(config.GetDbcFileCount(), 1u);
        if (!loaded) {
            EXPECT_EQ(config.GetDataBaseCount(), 0u);
            continue;
        }
        ASSERT_EQ(config.GetDataBaseCount(), 1u);
        INetDataBase* db = config.GetDataBase(0);
        EXPECT_EQ(db->GetEcuCount(), reference.GetNodeCount());
        EXPECT_EQ(db->GetMessageCount(), reference.GetMessageCount());
        EXPECT_EQ(db->GetSignalCount(), reference.GetTotalSignalCount());
        EXPECT_EQ(db->GetFileAttributeCount(), reference.GetAttributeCount());
    }
}

TEST(NetConfigCorpus, LdfFilesConvertWhole) {
    const auto files = qmtest::CorpusPaths("ldf", {".ldf"});
    if (files.empty()) GTEST_SKIP() << "no LDF corpus";
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        NetConfigLdfFile reference;
        const bool loaded = reference.Load(path.c_str());
        NetConfig config;
        const uint8_t expected = loaded                             ? kNetLoadOk
                                 : reference.GetResultCode() == 254 ? kNetLoadFileNotOpened
                                                                    : kNetLoadFailed;
        EXPECT_EQ(config.LoadLdf(path.c_str()), expected);
        EXPECT_EQ(config.GetLdfFileCount(), 1u);
        if (!loaded) {
            EXPECT_EQ(config.GetDataBaseCount(), 0u);
            continue;
        }
        ASSERT_EQ(config.GetDataBaseCount(), 1u);
        INetDataBase* db = config.GetDataBase(0);
        EXPECT_EQ(db->GetEcuCount(), reference.GetNodeCount());
        EXPECT_EQ(db->GetMessageCount(),
                  reference.GetUnconditionalFrameCount() + reference.GetDiagnosticFrameCount());
        // A signal that several frames carry is a signal of each of their messages.
        uint64_t signals = 0;
        for (uint64_t i = 0; i < reference.GetUnconditionalFrameCount(); ++i) {
            signals += reference.GetUnconditionalFrame(i)->GetSignalCount();
        }
        for (uint64_t i = 0; i < reference.GetDiagnosticFrameCount(); ++i) {
            signals += reference.GetDiagnosticFrame(i)->GetDiagnosticSignalCount();
        }
        EXPECT_EQ(db->GetSignalCount(), signals);
    }
}

TEST(NetConfigCorpus, ArxmlClustersConvertWhole) {
    const auto files = qmtest::CorpusPaths("arxml", {".arxml"});
    if (files.empty()) GTEST_SKIP() << "no ARXML corpus";
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        NetConfigArxmlFile reference;
        const bool loaded = reference.Load(path.c_str());
        NetConfig config;
        EXPECT_EQ(config.LoadArxml(path.c_str()), loaded ? kNetLoadOk : kNetLoadFailed);
        EXPECT_EQ(config.GetFile(0), nullptr);
        ASSERT_EQ(config.GetDataBaseCount(), loaded ? reference.GetClusterCount() : 0u);
        for (uint64_t i = 0; i < config.GetDataBaseCount(); ++i) {
            INetDataBase* db = config.GetDataBase(i);
            IArxmlCluster* cluster = reference.GetCluster(i);
            EXPECT_STREQ(db->GetName(), cluster->GetName());
            EXPECT_TRUE(db->IsFromArxml());
            EXPECT_EQ(db->GetEcuCount(), cluster->GetEcuCount());
            EXPECT_EQ(db->GetMessageCount(), cluster->GetPduCount());
            uint64_t signals = 0;
            for (uint64_t p = 0; p < cluster->GetPduCount(); ++p) {
                signals += cluster->GetPdu(p)->GetSignalCount();
            }
            EXPECT_EQ(db->GetSignalCount(), signals);
        }
    }
}
