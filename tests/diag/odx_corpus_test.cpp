// Every single-file ODX document of the shared corpus builds with the ECUs, services and DTCs
// it deserves; a few are checked by hand against the files.
#include <gtest/gtest.h>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"

namespace qm::diag::test {
namespace odx_corpus {
namespace {

class OdxCorpus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (CorpusDiagFiles().empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
        NanoXML::ClearMessageLog();
    }
    void Load(const char* name) {
        ASSERT_EQ(library.LoadOdxFile((CorpusDir() / name).string().c_str(), 1), 1);
    }
    CDiagnoseLib library;
};

TEST_F(OdxCorpus, BootloaderTableKeyAndStruct) {
    Load("Bootloader.odx");
    IUDSService* download = FindService(library.GetEcu(0), [](IUDSService* s) {
        return s->GetRequestCount() > 0 &&
               s->GetRequest(0)->FindParam("AddressAndLengthFormatIdentifier");
    });
    ASSERT_NE(download, nullptr);
    EXPECT_EQ(download->GetServiceId(), 0x34);
    IUDSFunction* request = download->GetRequest(0);
    IParam* key = request->FindParam("AddressAndLengthFormatIdentifier");
    EXPECT_EQ(key->IsKey(), 1);
    EXPECT_EQ(key->GetBytePosition(), 3);  // stated 2, behind the 8-bit format at byte 2
    // Sixteen rows whose keys are the texts of the key's text table ("S=1 A=1" is 0x11).
    ASSERT_EQ(key->GetValueCount(), 16u);
    EXPECT_STREQ(key->GetValue(uint64_t{0})->GetText(), "TR_0x11");
    EXPECT_EQ(key->GetValue(uint64_t{0})->GetRangeStart(), 0x11u);
    EXPECT_EQ(key->GetValue(uint64_t{15})->GetRangeStart(), 0x44u);
    IParam* data = request->FindParam("MultiplexedData");
    EXPECT_EQ(data->IsConditional(), 1);
    ASSERT_EQ(data->GetChoiceCount(), 16u);
    IParam* first = data->SelectChoice(0);
    ASSERT_EQ(first->GetSubParamCount(), 2u);
    EXPECT_STREQ(first->GetSubParam(0)->GetName(), "Address");
    EXPECT_STREQ(first->GetSubParam(1)->GetName(), "Length");
    EXPECT_EQ(first->GetSubParam(1)->GetBytePosition(), 1);
    // No key of this table is left without a number.
    EXPECT_THAT(NanoXML::MessageLog(), Not(HasSubstr("Non-numerical key value")));
}

TEST_F(OdxCorpus, OldModelVersionFile) {
    Load("Hardi_v2-r15153.odx");
    EXPECT_STREQ(library.GetFormat(), "ODX_2.0.1");
    IECU* ecu = library.GetEcu(0);
    EXPECT_STREQ(ecu->GetShortName(), "Hardi_ECU");
    // Every service of this file names a functional class: there is no "Others".
    EXPECT_EQ(ecu->GetFunctionalClassCount(), 11u);
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c)
        EXPECT_STRNE(ecu->GetFunctionalClass(c)->GetName(), "Others");
    // Every request starts with its service identifier.
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            IUDSService* service = cls->GetService(s);
            ASSERT_EQ(service->GetRequestCount(), 1u) << service->GetName();
            EXPECT_STREQ(service->GetRequest(0)->GetParam(0)->GetSemantic(), "SERVICE-ID");
        }
    }
}

TEST_F(OdxCorpus, DtcDataObjectOfTheOldEbcFile) {
    Load("EBC-Diagnostics_old.odx");
    IECU* ecu = library.GetEcu(0);
    ASSERT_EQ(ecu->GetDtcCount(), 34u);
    IDTC* dtc = ecu->GetDtc(0);
    EXPECT_STRNE(dtc->GetName(), "");
    EXPECT_NE(dtc->GetValue(), 0u);
    // The ENV-DATA-DESC that a parameter names is no kind the model takes up: one line each.
    EXPECT_THAT(
        NanoXML::MessageLog(),
        HasSubstr(
            "ODX Warning: unhandled DOP-REF type: \"ENV-DATA-DESC\" : with ID=\"_140\" \r\n"));
}

TEST_F(OdxCorpus, LenientBaseGivesItsWarningAndAModel) {
    Load("lenient-base.odx-d");
    ASSERT_EQ(library.GetEcuCount(), 1u);
    EXPECT_THAT(NanoXML::MessageLog(),
                HasSubstr("ODX Warning: TABLE-KEY \"MultiEntryKey\" holds more than "
                          "one table entry, the first is used\r\n"));
    IUDSService* service = library.GetEcu(0)->GetFunctionalClass(0)->GetService(0);
    EXPECT_STREQ(service->GetName(), "ReadWithMultiEntryTableKey");
    IParam* key = service->GetRequest(0)->FindParam("MultiEntryKey");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->GetValueCount(), 2u);
    // The table structure follows its key by short name, to rows without structures.
    EXPECT_EQ(service->GetRequest(0)->FindParam("StructForMultiKey")->GetChoiceCount(), 2u);
}

TEST_F(OdxCorpus, ComparamDocumentsAddNothingToOtherDocuments) {
    Load("Diagnostics.odx-d");
    ASSERT_EQ(library.LoadOdxFile((CorpusDir() / "ISO_15765_3_CPSS.odx-cs").string().c_str(), 1),
              1);
    EXPECT_EQ(library.GetEcuCount(), 1u);
    EXPECT_STREQ(library.GetFormat(), "ODX_2.2.0");
}

}  // namespace
}  // namespace odx_corpus
}  // namespace qm::diag::test
