// Every real ARXML file of the shared corpus through the SOME/IP database, alone and all in
// one load. None of them follows the package layout of the service reader, so none yields a
// service: the messages say what was missing. What each does yield is pinned.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "someip_test_support.h"

namespace {

const std::filesystem::path kCorpus = qmtest::CorpusFolder("arxml");

struct Yield {
    uint64_t ecus;
    uint64_t pduGroups;
    uint64_t ethernetClusters;
    const char* firstMessage;
};

uint64_t PduGroups(CArxmlDatabase& db) {
    uint64_t count = 0;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) count += db.GetEcu(i)->GetNodeCount();
    return count;
}

uint64_t Services(CArxmlDatabase& db) {
    uint64_t count = 0;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) count += db.GetEcu(i)->GetServiceCount();
    return count;
}

constexpr const char* kNoEcu = "Missing ECU package: no ECU to hold the services.";
constexpr const char* kNoRiz = "Missing AR-PACKAGE riz: no services read.";

const std::map<std::string, Yield> kYields = {
    {"capi_adi_sensoritf_common.arxml", {0, 0, 0, kNoEcu}},
    {"capi_cgd_m1_service_instance_timing.arxml", {0, 0, 0, kNoEcu}},
    {"capi_cgd_m1_someip_instances.arxml", {0, 0, 0, kNoEcu}},
    {"capi_hw_m1_service_instances_someip_deployments.arxml", {0, 0, 0, kNoEcu}},
    {"capi_hw_service_interfaces.arxml", {0, 0, 0, kNoEcu}},
    {"capi_hw_service_interfaces_someip_deployments.arxml", {0, 0, 0, kNoEcu}},
    {"capi_network_manifest.arxml", {0, 0, 1, kNoEcu}},
    {"capi_nm_network_management_someip.arxml", {0, 0, 0, kNoEcu}},
    {"cm_ARXMLContainerTest.arxml", {0, 0, 0, kNoEcu}},
    {"cm_ARXMLSecuredPDUTest.arxml", {2, 0, 0, kNoRiz}},
    {"cm_cluster_arxml_FD.arxml", {0, 0, 0, kNoEcu}},
    {"cm_test_ar323.arxml", {0, 0, 0, kNoEcu}},
    {"cp_Linexample_ecuc.arxml", {0, 0, 0, kNoEcu}},
    {"ct_system-3.2.3.arxml", {0, 0, 0, kNoEcu}},
    {"ct_system-4.2.arxml", {3, 4, 0, kNoRiz}},
    {"ct_system-DAI-3.1.2.arxml", {0, 0, 0, kNoEcu}},
    {"ct_system-dangling-reference-4.2.arxml", {0, 0, 0, kNoEcu}},
    {"ct_system-float-values.arxml", {0, 0, 0, kNoEcu}},
    {"ct_system-missing-denominator-4.2.arxml", {0, 0, 0, kNoEcu}},
    {"lg_extended_vehicle_manifest.arxml", {0, 0, 0, kNoEcu}},
    {"pa_AUTOSAR_Datatypes.arxml", {0, 0, 0, kNoEcu}},
    {"pa_CanSystem.arxml", {0, 0, 0, kNoEcu}},
    {"tpms_ConvertedLegacy_BCM.arxml", {1, 1, 0, kNoRiz}},
};

class SomeIpCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
    }
};

TEST_F(SomeIpCorpus, EachFileAloneYieldsWhatItHolds) {
    const std::vector<std::string> files = qmtest::CorpusPaths("arxml", {".arxml"});
    EXPECT_EQ(files.size(), kYields.size());
    for (const std::string& path : files) {
        const std::string name = std::filesystem::path(path).filename().string();
        SCOPED_TRACE(name);
        CArxmlDatabase db;
        ASSERT_TRUE(someip_test::LoadPaths(db, {path}));
        const auto expected = kYields.find(name);
        ASSERT_NE(expected, kYields.end()) << "a corpus file without pinned yield";
        EXPECT_EQ(db.GetEcuCount(), expected->second.ecus);
        EXPECT_EQ(PduGroups(db), expected->second.pduGroups);
        ASSERT_NE(db.GetClusters(), nullptr);
        EXPECT_EQ(db.GetClusters()->GetEthernetClusterCount(), expected->second.ethernetClusters);
        EXPECT_EQ(Services(db), 0u);
        const std::string messages = db.GetMessages();
        EXPECT_EQ(messages.substr(0, messages.find("\r\n")), expected->second.firstMessage);
        // Every service (none here) renders; the database survives a second load of itself.
        ASSERT_TRUE(someip_test::LoadPaths(db, {path}));
        EXPECT_EQ(db.GetEcuCount(), expected->second.ecus);
    }
}

TEST_F(SomeIpCorpus, AllFilesInOneLoad) {
    const std::vector<std::string> files = qmtest::CorpusPaths("arxml", {".arxml"});
    CArxmlDatabase db;
    ASSERT_TRUE(someip_test::LoadPaths(db, files));
    EXPECT_EQ(db.GetLoadedFileCount(), files.size());
    // The "ECU" packages of three files merge: their ECUs are read together.
    std::vector<std::string> ecus;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) ecus.push_back(db.GetEcu(i)->GetName());
    EXPECT_EQ(ecus, (std::vector<std::string>{"testBU", "recBU", "DJ", "Dancer", "Guard", "BCM"}));
    EXPECT_EQ(PduGroups(db), 5u);
    EXPECT_EQ(db.GetClusters()->GetEthernetClusterCount(), 1u);
    EXPECT_EQ(Services(db), 0u);
    EXPECT_NE(std::string(db.GetMessages()).find("Missing AR-PACKAGE riz"), std::string::npos);
}

// The capi "hw" set holds real SOME/IP deployments: through the reader's layout they give
// nothing, and the set loads together without unresolved deployment references.
TEST_F(SomeIpCorpus, ServiceSetLoadsTogether) {
    std::vector<std::string> set;
    for (const std::string& path : qmtest::CorpusPaths("arxml", {".arxml"})) {
        if (path.find("capi_hw_") != std::string::npos) set.push_back(path);
    }
    ASSERT_EQ(set.size(), 3u);
    CArxmlDatabase db;
    NanoXML::ClearMessageLog();
    ASSERT_TRUE(someip_test::LoadPaths(db, set));
    EXPECT_EQ(db.GetEcuCount(), 0u);
    EXPECT_EQ(NanoXML::MessageLog().find("ServiceHelloWorld\""), std::string::npos);
    NanoXML::ClearMessageLog();
}

}  // namespace
