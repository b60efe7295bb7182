// Every CDD file of the shared corpus builds a model with the counts it deserves and only the
// messages it deserves; a handful of services are checked by hand against the files.
#include <gtest/gtest.h>

#include <map>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"

namespace qm::diag::test {
namespace {

// The reader's lines without the timing lines.
std::string WarningLines(const std::string& messages) {
    std::string kept;
    size_t start = 0;
    while (start < messages.size()) {
        size_t end = messages.find('\n', start);
        if (end == std::string::npos) end = messages.size() - 1;
        const std::string line = messages.substr(start, end - start + 1);
        if (line.rfind("CDD Refs multicore: ", 0) != 0) kept += line;
        start = end + 1;
    }
    return kept;
}

struct Expected {
    const char* format;
    ModelCounts counts;
    const char* messages;
};

const std::map<std::string, Expected> kExpected = {
    {"Bootloader.cdd", {"CANDELA_6.0.130", {1, 11, 61, 183, 506, 631}, ""}},
    {"example-diddatarefs.cdd", {"CANDELA_10.0.108", {1, 6, 12, 36, 94, 102}, ""}},
    {"example.cdd", {"CANDELA_2.0.5", {1, 10, 32, 96, 247, 352}, ""}},
    // The one data type whose byte order is "4321" is reported once; the model is complete.
    {"invalid-bo-example.cdd",
     {"CANDELA_2.0.5",
      {1, 10, 32, 96, 247, 352},
      "WARNING. Unknown byte order \"4321\" in data type _0x01dbd120.\r\n"}},
};

class CddCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (CorpusCddFiles().empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
    }
    void Load(const char* name) {
        ASSERT_EQ(library.LoadCddFile((CorpusDir() / name).string().c_str(), 1), 1);
    }
    CDiagnoseLib library;
};

TEST_F(CddCorpus, EveryFileBuildsWithItsCountsAndMessages) {
    for (const auto& path : CorpusCddFiles()) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        CDiagnoseLib file;
        ASSERT_EQ(file.LoadCddFile(path.string().c_str(), 1), 1);
        const auto expected = kExpected.find(name);
        ASSERT_NE(expected, kExpected.end()) << "a corpus file without pinned counts";
        EXPECT_STREQ(file.GetFormat(), expected->second.format);
        const ModelCounts counts = CountModel(file);
        const ModelCounts& pinned = expected->second.counts;
        EXPECT_EQ(counts.ecus, pinned.ecus);
        EXPECT_EQ(counts.classes, pinned.classes);
        EXPECT_EQ(counts.services, pinned.services);
        EXPECT_EQ(counts.functions, pinned.functions);
        EXPECT_EQ(counts.params, pinned.params);
        EXPECT_EQ(counts.allParams, pinned.allParams);
        EXPECT_EQ(WarningLines(file.GetMessages()), expected->second.messages);
        EXPECT_EQ(file.GetExtDocumentCount(), 0u);  // their documents are storage items
        // Every service has one message of each kind and a request that encodes.
        for (uint64_t c = 0; c < file.GetEcu(0)->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* cls = file.GetEcu(0)->GetFunctionalClass(c);
            for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
                IUDSService* service = cls->GetService(s);
                ASSERT_EQ(service->GetRequestCount(), 1u) << service->GetQual();
                EXPECT_EQ(EncodedBytes(service->GetRequest(0)).front(), service->GetServiceId());
            }
        }
    }
}

TEST_F(CddCorpus, ExampleServicesByHand) {
    Load("example.cdd");
    IECU* ecu = library.GetEcu(0);
    // Latin-1 bytes, as the file holds them; the German text is preferred.
    EXPECT_STREQ(ecu->GetShortName(), "Ein Beispiel-Steuerger\xE4t");
    // "Programming Session": STDS with the static value 133.
    IUDSService* session = nullptr;
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            if (std::string(cls->GetService(s)->GetName()) == "Programming Session Starten") {
                session = cls->GetService(s);
            }
        }
    }
    ASSERT_NE(session, nullptr);
    EXPECT_STREQ(session->GetQual(), "STDS");
    EXPECT_EQ(EncodedBytes(session->GetRequest(0)), (std::vector<uint8_t>{0x10, 0x85}));
    IUDSFunction* negative = session->GetNegativeResponse(0);
    ASSERT_EQ(negative->GetParamCount(), 3u);
    IParam* code = negative->GetParam(2);
    EXPECT_STREQ(code->GetName(), "RESPONSE CODE");
    EXPECT_EQ(code->GetBytePosition(), 2);
    EXPECT_EQ(code->GetValueCount(), 4u);  // the instance's local table
    EXPECT_EQ(code->GetDisplayFormat(), 3u);

    IUDSService* ident = ServiceByQual(library, "REI");
    ASSERT_NE(ident, nullptr);
    EXPECT_EQ(ident->GetServiceId(), 0x1A);
    EXPECT_EQ(EncodedBytes(ident->GetRequest(0)), (std::vector<uint8_t>{0x1A, 0x90}));
    IParam* data = ident->GetPositiveResponse(0)->GetParam(2);
    EXPECT_EQ(data->GetBytePosition(), 2);
    EXPECT_EQ(data->GetSubParamCount(), 5u);  // the five data objects of the instance
}

TEST_F(CddCorpus, BootloaderServicesByHand) {
    Load("Bootloader.cdd");
    IUDSService* extended = ServiceByQual(library, "ExtendedDiagnosticSession_Start");
    ASSERT_NE(extended, nullptr);
    EXPECT_EQ(EncodedBytes(extended->GetRequest(0)), (std::vector<uint8_t>{0x10, 0x03}));
    IUDSFunction* positive = extended->GetPositiveResponse(0);
    ASSERT_EQ(positive->GetParamCount(), 3u);
    EXPECT_EQ(positive->GetParam(2)->GetBytePosition(), 2);
    EXPECT_EQ(positive->GetParam(2)->GetBitLength(), 32);

    struct Request {
        const char* file;
        const char* qual;
        std::vector<uint8_t> bytes;
    };
    for (const Request& r : std::vector<Request>{
             {"Bootloader.cdd", "Application_Software_Identification_Read_1", {0x22, 0xF1, 0x94}},
             {"example-diddatarefs.cdd", "Control_Digital_IO_Control", {0x2F, 3, 0, 3, 0}},
             {"example-diddatarefs.cdd", "TesterPresent_Send", {0x3E, 0x00}}}) {
        CDiagnoseLib other;
        other.LoadCddFile((CorpusDir() / r.file).string().c_str(), 1);
        IUDSService* service = ServiceByQual(other, r.qual);
        ASSERT_NE(service, nullptr) << r.qual;
        EXPECT_EQ(EncodedBytes(service->GetRequest(0)), r.bytes) << r.qual;
    }

    // Grouping splits the identifier services: each read keeps its identifier in its name.
    library.SetGrouping(1);
    IECU* ecu = library.GetEcu(0);
    IFunctionalClass* reads = nullptr;
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        if (std::string(ecu->GetFunctionalClass(c)->GetName()) == "22  Read Data By Identifier") {
            reads = ecu->GetFunctionalClass(c);
        }
    }
    ASSERT_NE(reads, nullptr);
    bool found = false;
    for (uint64_t s = 0; s < reads->GetServiceCount(); ++s) {
        if (std::string(reads->GetService(s)->GetName()).rfind("F194 ", 0) == 0) found = true;
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace qm::diag::test
