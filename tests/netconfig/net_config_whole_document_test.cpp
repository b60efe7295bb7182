// The network configuration's switch to whole-document reading of ARXML: every CAN cluster of
// every corpus file converts to DBC, reads back with the same messages and signals, and
// decodes a frame the same way as the database it came from.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "corpus_files.h"
#include "netconfig/net_config.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCorpus = fs::path(QM_SHARED_DIR) / "corpus" / "arxml";

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

}  // namespace

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

TEST(NetConfigWholeDocument, LoadsFollowTheSwitch) {
    const fs::path path = kCorpus / "cm_test_ar323.arxml";
    if (!fs::exists(path)) GTEST_SKIP() << "no corpus";
    NetConfigArxmlFile file;
    file.SetReadingMode(kArxmlReadWholeDocument);
    ASSERT_TRUE(file.Load(path.c_str()));
    ASSERT_EQ(file.GetClusterCount(), 1u);

    NetConfig config;
    ASSERT_EQ(config.LoadArxml(path.c_str()), kNetLoadOk);
    ASSERT_EQ(config.GetDataBaseCount(), 1u);
    EXPECT_EQ(config.GetDataBase(0)->GetMessageCount(), 0u);
    OptionsOf(config).SetArxmlReadingMode(kArxmlReadWholeDocument);
    ASSERT_EQ(config.LoadArxml(path.c_str()), kNetLoadOk);
    ASSERT_EQ(config.GetDataBaseCount(), 2u);
    EXPECT_EQ(config.GetDataBase(1)->GetMessageCount(), file.GetCluster(0)->GetPduCount());
    EXPECT_GT(config.GetDataBase(1)->GetMessageCount(), 0u);
    EXPECT_STREQ(config.GetLastMessages(), file.GetMessages());
    NanoXML::ClearMessageLog();
}

TEST(NetConfigWholeDocument, EveryCanClusterConvertsToDbcAndDecodesAlike) {
    const auto files = qmtest::CorpusFiles("arxml", {".arxml"});
    if (files.empty()) GTEST_SKIP() << "no ARXML corpus";
    const std::string dbcPath =
        (fs::temp_directory_path() / ("qm_whole_" + std::to_string(::getpid()) + ".dbc")).string();
    size_t clusters = 0;
    size_t decodedSignals = 0;
    size_t nonZeroValues = 0;
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.filename().string());
        NetConfig config;
        OptionsOf(config).SetArxmlReadingMode(kArxmlReadWholeDocument);
        ASSERT_EQ(config.LoadArxml(path.c_str()), kNetLoadOk);
        for (uint64_t d = 0; d < config.GetDataBaseCount(); ++d) {
            INetDataBase* db = config.GetDataBase(d);
            if (db->GetBusType() != kNetBusCan) continue;
            SCOPED_TRACE(db->GetName());
            ++clusters;
            ASSERT_TRUE(db->SaveAs(dbcPath.c_str()));
            NetConfig again;
            ASSERT_LE(again.LoadDbc(dbcPath.c_str()), kNetLoadWithWarnings);
            INetDataBase* back = again.GetDataBase(0);
            ASSERT_EQ(back->GetMessageCount(), db->GetMessageCount());
            for (uint64_t m = 0; m < db->GetMessageCount(); ++m) {
                INetMessage* message = db->GetMessage(m);
                INetMessage* read = back->GetMessage(m);
                SCOPED_TRACE(message->GetName());
                EXPECT_EQ(read->GetName(), DbcName(message->GetName()));
                // A PDU without frame has no identifier; DBC keeps 31 bits of it.
                const uint32_t id =
                    message->GetId() == 0xFFFFFFFFu ? 0x7FFFFFFFu : message->GetId();
                EXPECT_EQ(read->GetId(), id);
                EXPECT_EQ(read->GetSize(), message->GetSize());
                ASSERT_EQ(read->GetSignalCount(), message->GetSignalCount());
                const std::vector<uint8_t> payload =
                    Payload(std::max<size_t>(message->GetSize(), 8));
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
    }
    fs::remove(dbcPath);
    NanoXML::ClearMessageLog();
    // Whole-document reading brings the CAN clusters of eleven corpus files; their frames decode.
    EXPECT_EQ(clusters, 11u);
    EXPECT_GT(decodedSignals, 100u);
    EXPECT_GT(nonZeroValues, decodedSignals / 2);
}
