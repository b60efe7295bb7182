// Every DBC and LDF file of the shared corpus goes through a network configuration, DBC files
// in both of their readings: the load result follows the file object's own status, and every
// database has as many ECUs, messages and signals as the file object it came from (the ARXML
// files are converted in net_generation_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

// The one database a load made, or null (and no database at all) when the file did not load.
INetDataBase* OnlyDataBase(NetConfig& config, bool loaded) {
    if (!loaded) {
        EXPECT_EQ(config.GetDataBaseCount(), 0u);
        return nullptr;
    }
    EXPECT_EQ(config.GetDataBaseCount(), 1u);
    return config.GetDataBaseCount() == 1 ? config.GetDataBase(0) : nullptr;
}

}  // namespace

// Both DBC readers: the configuration's switch gives the tolerant file object's results.
TEST(NetConfigCorpus, DbcFilesConvertWholeInBothReadings) {
    const auto files = qmtest::CorpusPaths("dbc", {".dbc"});
    if (files.empty()) GTEST_SKIP() << "no DBC corpus";
    for (const std::string& path : files) {
        for (const bool tolerant : {false, true}) {
            SCOPED_TRACE(path + (tolerant ? " tolerant" : " exact"));
            NetConfigDbcFile reference;
            reference.SetTolerantReading(tolerant);
            const bool loaded = reference.Load(path.c_str());
            NetConfig config;
            auto* reading = dynamic_cast<INetConfigDbcReading*>(static_cast<INetConfig*>(&config));
            ASSERT_NE(reading, nullptr);
            EXPECT_FALSE(reading->IsTolerantDbcReading());
            reading->SetTolerantDbcReading(tolerant);
            EXPECT_EQ(config.LoadDbc(path.c_str()),
                      ExpectedDbcResult(loaded, reference.GetStatus()));
            EXPECT_EQ(config.GetDbcFileCount(), 1u);
            EXPECT_EQ(std::string(config.GetLastMessages()).find("WARNING. ") != std::string::npos,
                      reference.GetToleratedLineCount() > 0);
            INetDataBase* db = OnlyDataBase(config, loaded);
            if (db == nullptr) continue;
            EXPECT_EQ(db->GetEcuCount(), reference.GetNodeCount());
            EXPECT_EQ(db->GetMessageCount(), reference.GetMessageCount());
            EXPECT_EQ(db->GetSignalCount(), reference.GetTotalSignalCount());
            EXPECT_EQ(db->GetFileAttributeCount(), reference.GetAttributeCount());
        }
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
        INetDataBase* db = OnlyDataBase(config, loaded);
        if (db == nullptr) continue;
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
