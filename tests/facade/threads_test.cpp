// Two facades, one per thread, load the same files over and over: each gets the model a lone
// facade gets (the diagnostic build on threads: the CDD reader test). The process-wide log, file
// list and build context are shared, so these are the tests to run under ThreadSanitizer (make
// tsan).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "quillmere/quillmere.h"

namespace {

const std::string kExamples = std::string(QM_SOURCE_DIR) + "/examples/";

// Runs load ten times on each of two threads; every run must give what a lone run gives.
void ExpectTheSameOnTwoThreads(const std::function<std::vector<uint64_t>()>& load,
                               const std::vector<uint64_t>& expected) {
    ASSERT_EQ(load(), expected);
    std::vector<uint64_t> results[2];
    auto work = [&](int slot) {
        for (int round = 0; round < 10; ++round) {
            results[slot] = load();
            if (results[slot] != expected) return;
        }
    };
    std::thread first(work, 0);
    std::thread second(work, 1);
    first.join();
    second.join();
    EXPECT_EQ(results[0], expected);
    EXPECT_EQ(results[1], expected);
}

// The databases of the bundled examples with their message counts, in order.
TEST(Threads, TwoFacadesLoadOnTwoThreads) {
    auto messageCounts = [] {
        IQuillmere* facade = CreateQuillmereInstance();
        INetConfig* config = facade->CreateNetConfig();
        config->LoadDbc((kExamples + "powertrain.dbc").c_str());
        config->LoadLdf((kExamples + "body.ldf").c_str());
        config->LoadArxml((kExamples + "bus_system.arxml").c_str());
        std::vector<uint64_t> counts;
        for (uint64_t i = 0; i < config->GetDataBaseCount(); ++i) {
            counts.push_back(config->GetDataBase(i)->GetMessageCount());
        }
        DeleteQuillmereInstance(facade);
        return counts;
    };
    const std::vector<uint64_t> lone = messageCounts();
    ASSERT_GE(lone.size(), 3u);
    ExpectTheSameOnTwoThreads(messageCounts, lone);
}

}  // namespace
