#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "quillmere/quillmere.h"

namespace {

// What one facade makes of the bundled examples: databases with their message counts, in order.
std::vector<uint64_t> LoadExamples() {
    const std::string examples = std::string(QM_SOURCE_DIR) + "/examples/";
    IQuillmere* facade = CreateQuillmereInstance();
    INetConfig* config = facade->CreateNetConfig();
    config->LoadDbc((examples + "powertrain.dbc").c_str());
    config->LoadLdf((examples + "body.ldf").c_str());
    config->LoadArxml((examples + "bus_system.arxml").c_str());
    std::vector<uint64_t> counts;
    for (uint64_t i = 0; i < config->GetDataBaseCount(); ++i) {
        counts.push_back(config->GetDataBase(i)->GetMessageCount());
    }
    DeleteQuillmereInstance(facade);
    return counts;
}

// Two facades, one per thread, load the same files over and over: each gets the model a lone
// facade gets. The process-wide log and file list are shared, so this is the test to run under
// ThreadSanitizer (make tsan).
TEST(Threads, TwoFacadesLoadOnTwoThreads) {
    const std::vector<uint64_t> expected = LoadExamples();
    ASSERT_GE(expected.size(), 3u);
    constexpr int kRounds = 10;
    std::vector<uint64_t> results[2];
    auto work = [&](int slot) {
        for (int round = 0; round < kRounds; ++round) {
            std::vector<uint64_t> counts = LoadExamples();
            if (counts != expected) {
                results[slot] = std::move(counts);
                return;
            }
        }
        results[slot] = expected;
    };
    std::thread first(work, 0);
    std::thread second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(results[0], expected);
    EXPECT_EQ(results[1], expected);
}

}  // namespace
