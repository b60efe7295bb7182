// Every DBC, LDF and ARXML file of the shared corpus goes through a network configuration, DBC
// and ARXML files in both of their readings: the load result follows the file object's own
// status, and every database has as many ECUs, messages and signals as the file object it came
// from.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

INetConfigOptions& OptionsOf(INetConfig& config) {
    auto* options = dynamic_cast<INetConfigOptions*>(&config);
    EXPECT_NE(options, nullptr);
    return *options;
}

// The name as generated DBC writes it: an identifier (other characters become '_', a leading
// digit gets a '_').
std::string DbcName(const std::string& name) {
    std::string result;
    for (char c : name) result += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    if (!result.empty() && std::isdigit(static_cast<unsigned char>(result[0])))
        result.insert(0, "_");
    return result;
}

// A payload whose bits are not all alike, so that a wrong start or byte order shows.
std::vector<uint8_t> Payload(size_t size) {
    std::vector<uint8_t> payload(size);
    for (size_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>(0x5A ^ (i * 37));
    return payload;
}

// The database saved as DBC and read back: the same messages and signals, decoding alike.
void ExpectDbcDecodesAlike(INetDataBase& db, const std::string& dbcPath, size_t& decodedSignals,
                           size_t& nonZeroValues) {
    SCOPED_TRACE(db.GetName());
    ASSERT_TRUE(db.SaveAs(dbcPath.c_str()));
    NetConfig again;
    ASSERT_LE(again.LoadDbc(dbcPath.c_str()), kNetLoadWithWarnings);
    INetDataBase* back = again.GetDataBase(0);
    ASSERT_EQ(back->GetMessageCount(), db.GetMessageCount());
    for (uint64_t m = 0; m < db.GetMessageCount(); ++m) {
        INetMessage* message = db.GetMessage(m);
        INetMessage* read = back->GetMessage(m);
        SCOPED_TRACE(message->GetName());
        EXPECT_EQ(read->GetName(), DbcName(message->GetName()));
        // A PDU without frame has no identifier; DBC keeps 31 bits of it.
        const uint32_t id = message->GetId() == 0xFFFFFFFFu ? 0x7FFFFFFFu : message->GetId();
        EXPECT_EQ(read->GetId(), id);
        EXPECT_EQ(read->GetSize(), message->GetSize());
        ASSERT_EQ(read->GetSignalCount(), message->GetSignalCount());
        const std::vector<uint8_t> payload = Payload(std::max<size_t>(message->GetSize(), 8));
        for (uint64_t s = 0; s < message->GetSignalCount(); ++s) {
            INetSignal* signal = message->GetSignal(s);
            INetSignal* readSignal = read->GetSignal(s);
            EXPECT_EQ(readSignal->GetName(), DbcName(signal->GetName()));
            EXPECT_EQ(readSignal->GetStartBit(), signal->GetStartBit());
            EXPECT_EQ(readSignal->GetBitSize(), signal->GetBitSize());
            EXPECT_EQ(readSignal->GetByteOrder(), signal->GetByteOrder());
            const uint64_t raw = signal->GetRawValue(payload.data(), payload.size());
            EXPECT_EQ(readSignal->GetRawValue(payload.data(), payload.size()), raw)
                << signal->GetName();
            ++decodedSignals;
            nonZeroValues += raw != 0;
        }
    }
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

TEST(NetConfigWholeDocument, TheSwitchIsAnExtensionAndDefaultsToExact) {
    NetConfig concrete;
    INetConfig& config = concrete;
    INetConfigOptions& options = OptionsOf(config);
    EXPECT_EQ(options.GetArxmlReadingMode(), kArxmlReadExact);
    EXPECT_FALSE(options.SetArxmlReadingMode(-1));
    EXPECT_TRUE(options.SetArxmlReadingMode(kArxmlReadWholeDocument));
    config.Clear();  // a setting, not content
    EXPECT_EQ(options.GetArxmlReadingMode(), kArxmlReadWholeDocument);
}

// Every file in both ARXML readings: one database per cluster of the file object read the same
// way; whole-document reading's CAN clusters convert to DBC, read back with the same messages
// and signals, and decode a frame the same way as the database they came from.
TEST(NetConfigCorpus, ArxmlClustersConvertWholeInBothReadings) {
    const auto files = qmtest::CorpusFiles("arxml", {".arxml"});
    if (files.empty()) GTEST_SKIP() << "no ARXML corpus";
    const std::string dbcPath =
        (fs::temp_directory_path() / ("qm_whole_" + std::to_string(::getpid()) + ".dbc")).string();
    size_t clusters = 0, wholeMessages = 0, decodedSignals = 0, nonZeroValues = 0;
    for (const fs::path& path : files) {
        for (const int32_t mode : {kArxmlReadExact, kArxmlReadWholeDocument}) {
            SCOPED_TRACE(path.filename().string() + " mode " + std::to_string(mode));
            NetConfigArxmlFile reference;
            reference.SetReadingMode(mode);
            const bool loaded = reference.Load(path.c_str());
            NetConfig config;
            OptionsOf(config).SetArxmlReadingMode(mode);
            EXPECT_EQ(config.LoadArxml(path.c_str()), loaded ? kNetLoadOk : kNetLoadFailed);
            EXPECT_STREQ(config.GetLastMessages(), reference.GetMessages());
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
                if (mode != kArxmlReadWholeDocument) continue;
                wholeMessages += db->GetMessageCount();
                if (db->GetBusType() != kNetBusCan) continue;
                ++clusters;
                ExpectDbcDecodesAlike(*db, dbcPath, decodedSignals, nonZeroValues);
            }
            NanoXML::ClearMessageLog();
        }
    }
    fs::remove(dbcPath);
    // Whole-document reading brings the CAN clusters of eleven corpus files; their frames decode.
    EXPECT_EQ(clusters, 11u);
    EXPECT_GT(wholeMessages, 0u);
    EXPECT_GT(decodedSignals, 100u);
    EXPECT_GT(nonZeroValues, decodedSignals / 2);
}
