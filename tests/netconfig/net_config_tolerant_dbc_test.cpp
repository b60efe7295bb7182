// The network configuration's switch for tolerant DBC reading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "netconfig/net_config.h"

namespace {

TEST(TolerantNetConfig, TheConfigurationSwitchReadsDbcFilesTolerantly) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("qm_tolerant_" + std::to_string(::getpid()) + ".dbc"))
                                 .string();
    std::ofstream(path, std::ios::binary)
        << "// hand-written\nBU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" A\n";
    NetConfig exact;
    EXPECT_EQ(exact.LoadDbc(path.c_str()), kNetLoadUndefinedTag);
    NetConfig tolerant;
    auto* reading = dynamic_cast<INetConfigDbcReading*>(static_cast<INetConfig*>(&tolerant));
    ASSERT_NE(reading, nullptr);
    EXPECT_FALSE(reading->IsTolerantDbcReading());
    reading->SetTolerantDbcReading(true);
    EXPECT_EQ(tolerant.LoadDbc(path.c_str()), kNetLoadWithWarnings);
    ASSERT_EQ(tolerant.GetDataBaseCount(), 1u);
    EXPECT_EQ(tolerant.GetDataBase(0)->GetMessageCount(), 1u);
    EXPECT_NE(std::string(tolerant.GetLastMessages()).find("WARNING. Comment line skipped."),
              std::string::npos);
    std::filesystem::remove(path);
}

}  // namespace
