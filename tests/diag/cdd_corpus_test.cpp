// CDD files of the shared corpus checked by hand: a handful of services against the files (the
// counts of every file are pinned by the corpus test).
#include <gtest/gtest.h>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"

namespace qm::diag::test {
namespace {

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
