// The CDD reader on small documents written for the tests and on the door ECU example.
#include <gtest/gtest.h>

#include <thread>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"
#include "expect_fields.h"

namespace qm::diag::test {
namespace {

// Every test of the suite starts from a fresh, empty CDiagnoseLib.
class CddReader : public ::testing::Test {
  protected:
    CDiagnoseLib library;
};

// The first parameter of the positive response holding the component (null if the load fails).
IParam* ResponseParamOf(CDiagnoseLib& lib, const std::string& dataTypes,
                        const std::string& component) {
    IUDSService* service = LoadOneService(lib, dataTypes, "<POS>" + component + "</POS>");
    return service ? service->GetPositiveResponse(0)->GetParam(0) : nullptr;
}

TEST_F(CddReader, TwoPhasesParseThenBuild) {
    ASSERT_EQ(library.LoadCddFile(ExamplePath().c_str(), 0), 1);
    QM_EXPECT_FIELDS(library, (GetEcuCount(), 0u), (GetFormat(), ""));
    NanoXML* root = library.SourceTree()->GetChild(std::string("CANDELA"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetAttribute("DiagnoseLibSrc"), ExamplePath());
    EXPECT_EQ(library.BuildModel(), 1);
    EXPECT_STREQ(library.GetFormat(), "CANDELA_7.0");
    ASSERT_EQ(library.GetEcuCount(), 1u);
    // Building again rebuilds from scratch, giving the same model.
    EXPECT_EQ(library.BuildModel(), 1);
    EXPECT_EQ(library.GetEcuCount(), 1u);
    EXPECT_THAT(std::string(library.GetMessages()), HasSubstr("CDD Refs multicore: "));
}

TEST_F(CddReader, DoorExampleByHand) {
    ASSERT_EQ(library.LoadCddFile(ExamplePath().c_str(), 1), 1);
    IECU* ecu = library.GetEcu(0);
    QM_EXPECT_FIELDS(*ecu, (GetShortName(), "DoorFrontLeft"),
                     (GetLongName(), "Door common diagnostics"), (GetQual(), "DoorCommon"),
                     (GetXmlLocation(), "var_door"), (IsJobFile(), 1));
    ASSERT_EQ(ecu->GetFunctionalClassCount(), 2u);
    EXPECT_STREQ(ecu->GetFunctionalClass(1)->GetQual(), "Identification");

    IUDSService* session = ServiceByQual(ecu, "ExtendedSession_Start");
    ASSERT_NE(session, nullptr);
    // The German text is preferred; the service's own name follows the instance's.
    QM_EXPECT_FIELDS(*session, (GetName(), "Erweiterte Sitzung Start"),
                     (GetSecurityExecLevels(), "1,3"),
                     (GetDesc(), "Switches to the extended session."), (GetServiceId(), 0x10),
                     (IsActive(), 1), (IsMandatory(), 1));
    EXPECT_EQ(EncodedBytes(session->GetRequest(0)), (std::vector<uint8_t>{0x10, 0x03}));
    EXPECT_STREQ(session->GetRequest(0)->GetXmlLocation(), "ps_session_rq + inst_extended");
    IParam* code = session->GetNegativeResponse(0)->FindParam("Response Code");
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->GetBytePosition(), 2);
    ASSERT_EQ(code->GetValueCount(), 2u);
    EXPECT_STREQ(code->GetValue(1)->GetText(), "Erweitert");
    EXPECT_EQ(code->GetDisplayFormat(), 3u);  // the physical type shows text

    IUDSService* vin = ServiceByQual(ecu, "VIN_Read");
    ASSERT_NE(vin, nullptr);
    EXPECT_EQ(EncodedBytes(vin->GetRequest(0)), (std::vector<uint8_t>{0x22, 0xF1, 0x90}));
    IParam* data = vin->GetPositiveResponse(0)->FindParam("Data");
    ASSERT_NE(data, nullptr);
    QM_EXPECT_FIELDS(*data, (GetBytePosition(), 3), (GetBitLength(), 8), (GetArraySizeMin(), 17u),
                     (GetDataType(), "ASCII[17]"), (GetBaseTypeCode(), 11u));

    IUDSService* supply = ServiceByQual(ecu, "SupplyVoltage_Read");
    ASSERT_NE(supply, nullptr);
    EXPECT_EQ(supply->IsActive(), 0);
    IParam* structure = supply->GetPositiveResponse(0)->GetParam(2);
    ASSERT_EQ(structure->GetSubParamCount(), 2u);
    EXPECT_EQ(structure->GetBitLength(), 24);
    IParam* voltage = structure->GetSubParam(0);
    QM_EXPECT_FIELDS(*voltage, (GetByteOrder(), 2u), (GetUnit(), "V"));
    double f = 0, d = 0, o = 0;
    ASSERT_EQ(voltage->GetScaling(&f, &d, &o), 1);
    EXPECT_DOUBLE_EQ(f, 0.01);
    EXPECT_EQ(structure->GetSubParam(1)->GetBytePosition(), 2);

    ASSERT_EQ(library.GetExtDocumentCount(), 1u);
    IExtDocument* document = library.GetExtDocument(0);
    QM_EXPECT_FIELDS(*document, (GetFileName(), "readme.txt"), (IsJobFile(), 0),
                     (GetChangedDateTime(), "2026-01-02 11:00:00"));
    ASSERT_EQ(document->GetContentLength(), 11u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(document->GetContent()), 11),
              "hello world");
}

TEST_F(CddReader, LanguageTextRule) {
    const std::string names[][2] = {
        {"<TUV xml:lang='en-US'>Hello</TUV><TUV xml:lang='de-DE'>Hallo</TUV>", "Hallo"},
        {"<TUV xml:lang='en-US'>Hello</TUV>", "Hello"},
        {"", ""},
    };
    for (const auto& [tuvs, expected] : names) {
        CDiagnoseLib library;
        ASSERT_EQ(LoadCddText(library, Cdd("<ECU><NAME>" + tuvs + "</NAME><VAR id='v'/></ECU>")),
                  1);
        ASSERT_EQ(library.GetEcuCount(), 1u);
        EXPECT_EQ(std::string(library.GetEcu(0)->GetShortName()), expected);
    }
}

TEST_F(CddReader, ServiceAttributesAndMissingMessages) {
    IUDSService* service =
        LoadOneService(library, "", "<REQ><CONSTCOMP bl='8' v='49'/></REQ>",
                       "<SERVICE id='s' tmplref='st' act='0' mayBeExec='(1,3)'/>");
    ASSERT_NE(service, nullptr);
    // The instance under the variant and its reference make two classes; a dangling one none.
    ASSERT_EQ(library.GetEcu(0)->GetFunctionalClassCount(), 2u);
    QM_EXPECT_FIELDS(*service, (GetName(), "Inst"), (IsActive(), 0),
                     (GetSecurityExecLevels(), "1,3"));
    EXPECT_STREQ(service->GetQual(), "PS");  // no SHORTCUTQUAL: the protocol service's
    // Every service built from a protocol service has one message of each kind.
    QM_EXPECT_FIELDS(*service, (GetRequestCount(), 1u), (GetPositiveResponseCount(), 1u));
    ASSERT_EQ(service->GetNegativeResponseCount(), 1u);
    EXPECT_EQ(service->GetNegativeResponse(0)->GetParamCount(), 0u);
    EXPECT_STREQ(service->GetRequest(0)->GetQual(), "InstQual");
    EXPECT_EQ(service->GetServiceId(), 0x31);
    // The lookups with creation left empty elements behind in the source tree.
    NanoXML* element = library.SourceTree()->GetChild(std::string("CANDELA"));
    EXPECT_NE(element->FindNode("SHORTCUTQUAL", "", "", 100), nullptr);
    EXPECT_NE(element->FindNode("NEG", "", "", 100), nullptr);
}

TEST_F(CddReader, ServiceWithoutTemplateHasNoMessages) {
    IUDSService* service = LoadOneService(library, "", "", "<SERVICE id='s' tmplref='missing'/>");
    ASSERT_NE(service, nullptr);
    QM_EXPECT_FIELDS(*service, (GetRequestCount(), 0u), (GetServiceId(), 0));
    EXPECT_STREQ(service->GetSecurityExecLevels(), "2");  // from the instance
}

TEST_F(CddReader, PositionsFollowThePredecessor) {
    IUDSService* service =
        LoadOneService(library, "",
                       "<REQ><CONSTCOMP bl='8' v='1'/><CONSTCOMP bl='4' v='2'/><CONSTCOMP bl='4' "
                       "v='3'/><CONSTCOMP bl='12' v='4'/><EOSITERCOMP minNumOfItems='2'>"
                       "<GAPDATAOBJ bl='8'/></EOSITERCOMP><CONSTCOMP bl='8' v='5'/></REQ>");
    ASSERT_NE(service, nullptr);
    IUDSFunction* request = service->GetRequest(0);
    ASSERT_EQ(request->GetParamCount(), 6u);
    // A predecessor at a later byte wins: the iteration's repetitions do not move the constant.
    const int expected[][2] = {{0, 0}, {1, 0}, {1, 4}, {2, 0}, {3, 4}, {4, 4}};
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(request->GetParam(i)->GetBytePosition(), expected[i][0]);
        EXPECT_EQ(request->GetParam(i)->GetBitPosition(), expected[i][1]);
    }
    IParam* iteration = request->GetParam(4);
    QM_EXPECT_FIELDS(*iteration, (GetArraySizeMin(), 2u), (GetArraySizeMax(), 65535u),
                     (IsArray(), 1));
}

TEST_F(CddReader, AStaticComponentWithChildrenIsAStructure) {
    IUDSService* service = LoadOneService(
        library, "",
        "<REQ><STATICCOMP bl='8'><GAPDATAOBJ bl='8'/><GAPDATAOBJ bl='16'/></STATICCOMP></REQ>");
    ASSERT_NE(service, nullptr);
    IParam* structure = service->GetRequest(0)->GetParam(0);
    QM_EXPECT_FIELDS(*structure, (GetSubParamCount(), 2u), (GetBitLength(), 24));
}

TEST_F(CddReader, MultiplexerCasesFromItsDataType) {
    IParam* mux =
        ResponseParamOf(library,
                        "<MUXDT id='mx'><CASE s='1' e='1'><NAME><TUV>one</TUV></NAME>"
                        "<STRUCTURE><GAPDATAOBJ bl='8'/></STRUCTURE></CASE>"
                        "<CASE s='2' e='2'><NAME><TUV>two</TUV></NAME><STRUCTURE>"
                        "<GAPDATAOBJ bl='8'/><GAPDATAOBJ bl='8'/></STRUCTURE></CASE></MUXDT>",
                        "<MUXCOMP id='m' dtref='mx' minbl='8'/>");
    ASSERT_NE(mux, nullptr);
    EXPECT_EQ(mux->IsConditional(), 1);
    ASSERT_EQ(mux->GetChoiceCount(), 2u);
    IParam* two = mux->SelectChoice(1);
    QM_EXPECT_FIELDS(*two, (GetName(), "two"), (GetBitLength(), 16));
    EXPECT_EQ(mux->GetBitLength(), 16);
}

// Text encodings give their base type, others the integer of the coded length; as written,
// floating-point encodings name their type.
TEST_F(CddReader, CodedEncodingGivesTheBaseType) {
    struct Case {
        const char* coding;
        bool asWritten;
        const char* baseDataType;
        uint32_t code;
    };
    const Case cases[] = {
        {"bl='8' enc='asc'", false, "ASCII", 11},
        {"bl='8' enc='utf'", false, "UTF8STRING", 12},
        {"bl='32' enc='flt'", false, "UINT32", 5},
        {"bl='64' enc='dbl'", false, "UINT64", 7},
        {"bl='16' enc='sgn' sig='1'", false, "INT16", 4},
        {"bl='32' enc='flt'", true, "FLOAT32", 9},
        {"bl='64' enc='dbl'", true, "FLOAT64", 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.coding) + (c.asWritten ? " as written" : ""));
        CDiagnoseLib library;
        library.SetReadingAsWritten(c.asWritten ? 1 : 0);
        IParam* param = ResponseParamOf(
            library, "<IDENT id='d'><CVALUETYPE " + std::string(c.coding) + "/></IDENT>",
            "<SIMPLEPROXYCOMP id='p' dtref='d'/>");
        ASSERT_NE(param, nullptr);
        QM_EXPECT_FIELDS(*param, (GetBaseDataType(), std::string(c.baseDataType)),
                         (GetDataType(), std::string(c.baseDataType)), (GetBaseTypeCode(), c.code));
    }
}

// A DTC type of a fault memory lists its trouble codes as records of its record data object.
TEST_F(CddReader, FaultMemoryRecordsBecomeTheValueTable) {
    const std::string records =
        "<CVALUETYPE bl='24'/><RECORDDATAOBJ id='r'><RECORDDT id='rt'>"
        "<RECORD v='4660'><TEXT><TUV xml:lang='en-US'>Open</TUV>"
        "<TUV xml:lang='de-DE'>Offen</TUV></TEXT></RECORD>"
        "<RECORD v='17'><TEXT><TUV xml:lang='en-US'>Short</TUV></TEXT></RECORD>"
        "</RECORDDT></RECORDDATAOBJ>";
    const std::string types[] = {
        "<IDENT id='d' dtc='1' faultMemory='primary' rtSpec='faultMemory'>" + records + "</IDENT>",
        // Without the fault memory attributes the records name nothing.
        "<IDENT id='d' dtc='1'>" + records + "</IDENT>",
    };
    for (const std::string& type : types) {
        SCOPED_TRACE(type);
        CDiagnoseLib library;
        IParam* param = ResponseParamOf(library, type, "<GROUPOFDTCPROXYCOMP id='g' dtref='d'/>");
        ASSERT_NE(param, nullptr);
        EXPECT_EQ(param->GetBitLength(), 24);
        if (type.find("faultMemory=") == std::string::npos) {
            EXPECT_EQ(param->GetValueCount(), 0u);
            continue;
        }
        ASSERT_EQ(param->GetValueCount(), 2u);
        QM_EXPECT_FIELDS(*param->GetValue(0), (GetText(), "Offen"), (GetRangeStart(), 4660u),
                         (GetRangeEnd(), 4660u));
        QM_EXPECT_FIELDS(*param->GetValue(1), (GetText(), "Short"), (GetRangeStart(), 17u),
                         (GetRangeEnd(), 17u));
    }
}

// A "dtref" finds data types only, never another element holding the id.
TEST_F(CddReader, DataTypesAreFoundAmongTheDataTypesOnly) {
    const std::string elsewhere =
        "<NEGRESCODES><X id='d'><CVALUETYPE bl='24'/></X><MUXDT id='m'><CASE><STRUCTURE>"
        "<GAPDATAOBJ bl='8'/></STRUCTURE></CASE></MUXDT></NEGRESCODES>";
    const std::pair<std::string, int> cases[] = {
        {"", 0},
        {"<IDENT id='d'><CVALUETYPE bl='16'/></IDENT>", 16},
    };
    for (const auto& [dataTypes, bits] : cases) {
        SCOPED_TRACE(dataTypes);
        CDiagnoseLib library;
        ASSERT_EQ(LoadCddText(library, Cdd(elsewhere + "<DATATYPES>" + dataTypes + "</DATATYPES>" +
                                           OneService("<SERVICE id='s' tmplref='st'/>",
                                                      "<POS><SIMPLEPROXYCOMP id='p' dtref='d'/>"
                                                      "<MUXCOMP id='x' dtref='m'/></POS>"))),
                  1);
        IUDSFunction* response = FirstService(library)->GetPositiveResponse(0);
        EXPECT_EQ(response->GetParam(0)->GetBitLength(), bits);
        EXPECT_EQ(response->GetParam(1)->GetChoiceCount(), 0u);
        if (bits == 0) {
            EXPECT_THAT(std::string(library.GetMessages()),
                        HasSubstr("WARNING. Data type d of SIMPLEPROXYCOMP not found.\r\n"));
        }
    }
}

TEST_F(CddReader, DocumentsWithoutCandelaContributeNothing) {
    TempFile other("other.cdd", "<?xml version='1.0'?><ODX><X/></ODX>");
    EXPECT_EQ(library.LoadCddFile(other.Path().c_str(), 1), 0);
    EXPECT_TRUE(library.SourceTree()->children.empty());
    EXPECT_EQ(library.LoadCddFile("/nonexistent/file.cdd", 1), 0);
    EXPECT_EQ(library.GetEcuCount(), 0u);
}

TEST_F(CddReader, TwoFilesBuiltOnceGiveBothInLoadOrder) {
    TempFile first("first.cdd",
                   Cdd("<ECU><NAME><TUV>First</TUV></NAME><VAR id='a'/></ECU>", "dtdvers='1.0'"));
    TempFile second("second.cdd", Cdd("<ECU><NAME><TUV>Second</TUV></NAME><VAR id='b'/></ECU>"));
    ASSERT_EQ(library.LoadCddFile(first.Path().c_str(), 0), 1);
    ASSERT_EQ(library.LoadCddFile(second.Path().c_str(), 0), 1);
    EXPECT_EQ(library.BuildModel(), 1);
    ASSERT_EQ(library.GetEcuCount(), 2u);
    EXPECT_STREQ(library.GetEcu(0)->GetShortName(), "First");
    EXPECT_STREQ(library.GetEcu(1)->GetShortName(), "Second");
    EXPECT_STREQ(library.GetFormat(), "CANDELA_7.0");  // the last root processed
}

TEST_F(CddReader, BadInputGivesAMessageAndAModel) {
    const std::string cases[] = {
        // absurd and negative bit lengths, a bit mask that is not a number
        Cdd("<DATATYPES><IDENT id='d' bm='x1'><CVALUETYPE bl='-5' bo='99'/></IDENT></DATATYPES>" +
            OneService("<SERVICE id='s' tmplref='st'/>",
                       "<REQ><CONSTCOMP bl='1000000000' v='1'/><CONSTCOMP bl='abc'/></REQ>"
                       "<POS><SIMPLEPROXYCOMP id='p' dtref='d'/></POS>")),
        // a data type that contains itself
        Cdd("<DATATYPES><STRUCTDT id='loop'><DATAOBJ dtref='loop'/><DATAOBJ dtref='loop'/>"
            "</STRUCTDT></DATATYPES>" +
            OneService("<SERVICE id='s' tmplref='st'/>",
                       "<POS><SIMPLEPROXYCOMP id='p' dtref='loop'/></POS>")),
        // Base64 that is not Base64
        Cdd("<ECUSHAREDDATA><EXTDOC><FILENAME>x</FILENAME><FILECONTENTS "
            "len='99'>!!**</FILECONTENTS>"
            "</EXTDOC></ECUSHAREDDATA>"),
        // a CANDELA root without ECUDOC
        "<CANDELA dtdvers='3'><NOTHING/></CANDELA>",
    };
    for (const std::string& text : cases) {
        CDiagnoseLib library;
        EXPECT_EQ(LoadCddText(library, text), 1);
        std::string messages = library.GetMessages();
        if (text.find("NOTHING") != std::string::npos) {
            QM_EXPECT_FIELDS(library, (GetEcuCount(), 0u), (GetFormat(), "CANDELA_3"));
        } else if (text.find("EXTDOC") == std::string::npos) {
            EXPECT_THAT(messages, HasSubstr("WARNING. ")) << messages;
            EXPECT_EQ(library.GetEcuCount(), 1u);
        } else {
            EXPECT_THAT(messages, HasSubstr("External document x holds")) << messages;
        }
    }
}

TEST_F(CddReader, TwoLibrariesBuildOnTwoThreads) {
    std::vector<std::thread> threads;
    std::vector<uint64_t> services(4, 0);
    for (size_t t = 0; t < services.size(); ++t) {
        threads.emplace_back([t, &services] {
            for (int round = 0; round < 5; ++round) {
                CDiagnoseLib library;
                if (library.LoadCddFile(ExamplePath().c_str(), 1) != 1) return;
                services[t] += CountModel(library).services;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (uint64_t count : services) EXPECT_EQ(count, 5u * 3u);
}

// Instances under the variant make classes before diagnostic classes; German text preferred.
TEST_F(CddReader, InstancesBeforeDiagnosticClasses) {
    const std::string variant =
        "<DIAGCLASS id='dc'><NAME><TUV xml:lang='en-US'>Class</TUV><TUV xml:lang='de'>Klasse</TUV>"
        "</NAME><QUAL>DCQ</QUAL><DIAGINSTREF idref='i'/></DIAGCLASS>"
        "<DIAGINST id='i'><NAME><TUV xml:lang='en-US'>Inst</TUV><TUV xml:lang='de-AT'>InstDe</TUV>"
        "</NAME><SERVICE tmplref='st'><NAME><TUV>Own</TUV></NAME></SERVICE></DIAGINST>";
    const std::string document =
        "<PROTOCOLSERVICES><PROTOCOLSERVICE id='ps'><QUAL>PS</QUAL><REQ><CONSTCOMP bl='8' "
        "v='16'/></REQ></PROTOCOLSERVICE></PROTOCOLSERVICES><DCLTMPLS><DCLTMPL id='t'><X>"
        "<DCLSRVTMPL id='st' tmplref='ps'/></X></DCLTMPL></DCLTMPLS><ECU><NAME><TUV>E</TUV>"
        "</NAME><VAR id='v'>" +
        variant + "</VAR></ECU>";
    ASSERT_EQ(LoadCddText(library, Cdd(document)), 1);
    IECU* ecu = library.GetEcu(0);
    ASSERT_EQ(ecu->GetFunctionalClassCount(), 2u);
    QM_EXPECT_FIELDS(*ecu->GetFunctionalClass(0), (GetName(), "InstDe"), (GetXmlLocation(), "i"),
                     (GetQual(), ""));
    QM_EXPECT_FIELDS(*ecu->GetFunctionalClass(1), (GetName(), "Klasse"), (GetXmlLocation(), "dc"),
                     (GetQual(), "DCQ"));
    for (size_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        IUDSService* service = ecu->GetFunctionalClass(c)->GetService(0);
        ASSERT_NE(service, nullptr);
        // The template is found anywhere below the template list.
        QM_EXPECT_FIELDS(*service, (GetName(), "InstDe Own"), (GetQual(), "PS"),
                         (GetRequestCount(), 1u));
    }
}

// Shared documents come from the first ECUSHAREDDATA only, job files from every JOBFILE.
TEST_F(CddReader, ExternalDocumentsOfSharedDataAndJobFiles) {
    ASSERT_EQ(
        LoadCddText(library,
                    Cdd("<ECUSHAREDDATA><EXTDOC id='x1'><FILENAME>a.txt</FILENAME>"
                        "<FILECONTENTS len='5'>aGVs\n bG8=</FILECONTENTS></EXTDOC></ECUSHAREDDATA>"
                        "<ECUSHAREDDATA><EXTDOC id='x2'/></ECUSHAREDDATA><JOBFILES><JOBFILE>"
                        "<EXTDOC id='j1'/><EXTDOC id='j2'/></JOBFILE><JOBFILE><EXTDOC id='j3'/>"
                        "</JOBFILE></JOBFILES>")),
        1);
    const std::pair<const char*, uint8_t> expected[] = {{"x1", 0}, {"j1", 1}, {"j2", 1}, {"j3", 1}};
    ASSERT_EQ(library.GetExtDocumentCount(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        QM_EXPECT_FIELDS(*library.GetExtDocument(i), (GetId(), std::string(expected[i].first)),
                         (IsJobFile(), expected[i].second));
    }
    ASSERT_EQ(library.GetExtDocument(0)->GetContentLength(), 5u);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(library.GetExtDocument(0)->GetContent()), 5),
        "hello");
}

}  // namespace
}  // namespace qm::diag::test
