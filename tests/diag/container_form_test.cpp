// The model's XML form: elements, attributes, statistics, saving and reading back.
#include <gtest/gtest.h>

#include "diag/diag_xml.h"
#include "diag/diagnose_lib.h"
#include "diag_test_support.h"
#include "expect_fields.h"

namespace qm::diag::test {
namespace {

std::vector<std::string> AttributeNames(const NanoXML* node) {
    std::vector<std::string> names;
    for (const auto& attribute : node->attributes) names.push_back(attribute.name);
    return names;
}

// Every test of the suite starts from a fresh, empty CDiagnoseLib.
class DiagContainerForm : public ::testing::Test {
  protected:
    CDiagnoseLib library;
};

TEST_F(DiagContainerForm, ParamAttributesInOrder) {
    CParam param;
    param.name = "p";
    param.bitLength = 4;
    std::unique_ptr<NanoXML> node(param.ToXml());
    EXPECT_EQ(node->name, "Param");
    EXPECT_EQ(AttributeNames(node.get()),
              (std::vector<std::string>{
                  "name",      "semantic",      "dataType",         "baseDataType", "type",
                  "valueStr",  "qual",          "bitLength",        "bitPosition",  "bytePosition",
                  "bitMask",   "arraySizeMin",  "arraySizeMax",     "typeSigned",   "isVisible",
                  "isKey",     "isConditional", "isVariableLength", "dtrefId",      "unit",
                  "isOptional"}));
    EXPECT_EQ(node->GetAttribute("bitMask"), "15");  // derived when 0
    ASSERT_EQ(node->children.size(), 1u);
    EXPECT_EQ(node->children[0]->name, "ValueTable");  // always written
    EXPECT_EQ(node->GetChild(std::string("ConditionalParams")), nullptr);
}

TEST_F(DiagContainerForm, ServiceAlwaysWritesItsFourLists) {
    CUDSService service;
    service.sessions = {1, 3};
    std::unique_ptr<NanoXML> node(ServiceToElement(service));
    std::vector<std::string> children;
    for (const NanoXML* child : node->children) children.push_back(child->name);
    EXPECT_EQ(children, (std::vector<std::string>{"Requests", "PositiveResponses",
                                                  "NegativeResponses", "SessionsAllowed"}));
    EXPECT_EQ(node->children[3]->children[1]->GetAttribute("id"), "3");
    EXPECT_EQ(AttributeNames(node.get()),
              (std::vector<std::string>{"name", "longName", "desc", "type", "qual", "isMandatory",
                                        "isActive", "securityExecLevels", "odxIdRef"}));
}

TEST_F(DiagContainerForm, StatisticsCountEveryElementBelow) {
    for (const char* name : {"A", "B"}) {
        library.Ecus().push_back(std::make_unique<CECU>());
        CECU* ecu = library.Ecus().back().get();
        ecu->shortName = name;
        library.AddFunctionalClass("C", ecu);
        library.AddService("S", 0x10, ecu->functionalClasses.back().get());
    }
    std::unique_ptr<NanoXML> node(library.NewContainerNode());
    for (auto& ecu : library.Ecus()) node->AddChild(EcuToElement(*ecu));
    ASSERT_TRUE(library.AddStatistics(node.get()));
    EXPECT_FALSE(library.AddStatistics(nullptr));
    // Per ECU: ECU, class, service, 3 lists, function, param, value table, sessions.
    EXPECT_EQ(node->GetAttribute("totalSubCount"), "20");
    EXPECT_EQ(AttributeNames(node.get()),
              (std::vector<std::string>{"version", "dateCreated", "totalSubCount",
                                        "totalParamsCount", "timeXml", "timeCdd", "timeOdx"}));
    EXPECT_EQ(node->GetAttribute("version"), "03.07 (Development)");
    // 3 of the element itself, and per ECU 5 + 4 + 9 + 5 (function) + 21 (param).
    EXPECT_EQ(node->GetAttribute("totalParamsCount"), std::to_string(3 + 2 * (5 + 4 + 9 + 5 + 21)));
}

TEST_F(DiagContainerForm, ObjectExportsAndNullArguments) {
    ASSERT_EQ(library.LoadCddFile(ExamplePath().c_str(), 1), 1);
    IECU* ecu = library.GetEcu(0);
    std::unique_ptr<NanoXML> ecuNode(library.EcuToXml(ecu));
    ASSERT_NE(ecuNode, nullptr);
    EXPECT_EQ(ecuNode->name, "DiagnoseLib");
    EXPECT_EQ(ecuNode->children[0]->name, "ECU");
    QM_EXPECT_FIELDS(library, (EcuToXml(nullptr), nullptr), (ServiceToXml(nullptr), nullptr));
    EXPECT_FALSE(library.SaveEcuXml("/tmp/never-written.xml", nullptr));

    TempFile serviceFile("service.xml");
    IUDSService* service = ecu->GetFunctionalClass(0)->GetService(0);
    ASSERT_TRUE(library.SaveServiceXml(serviceFile.Path().c_str(), service));
    const std::string text = serviceFile.Read();
    EXPECT_EQ(
        text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<DiagnoseLib ",
                   0),
        0u);
    CDiagnoseLib reader;
    reader.AddEcu("Target");
    IECU* target = reader.GetEcu(0);
    NanoXML document("doc", text.substr(text.find("<DiagnoseLib")), 1);
    NanoXML* container = document.children.front();
    EXPECT_EQ(reader.LoadServices(container, nullptr), 0);
    reader.AddFunctionalClass("Class", target);
    EXPECT_EQ(reader.LoadServices(container, target->GetFunctionalClass(0)), 1);
    EXPECT_STREQ(target->GetFunctionalClass(0)->GetService(0)->GetName(), service->GetName());

    // A failed save leaves the previous file in place.
    EXPECT_FALSE(library.SaveXml("/nonexistent-folder/x.xml"));
}

TEST_F(DiagContainerForm, AttachAndLoadContainerText) {
    EXPECT_EQ(library.LoadContainerText("", 1), 0);
    EXPECT_EQ(library.LoadContainerText("<Other><DiagnoseLib/></Other>", 1), 0);
    EXPECT_TRUE(library.SourceTree()->children.empty());
    const char* text =
        "<KOVR><DiagnoseLib><ECU shortName='Door' isJobFile='1'><FunctionalClass name='C'>"
        "<Service name='S' isActive='0'><Requests><Function name='RQ'><Param name='SID' "
        "bitLength='8' valueStr='34'/></Function></Requests><SessionsAllowed><Session id='3'/>"
        "</SessionsAllowed></Service></FunctionalClass><DTC name='P0100' value='256'><SDG>"
        "<SD name='n' descr='d'/></SDG></DTC></ECU></DiagnoseLib></KOVR>";
    // Without processing, the ECUs come at the next build.
    EXPECT_EQ(library.LoadContainerText(text, 0), 1);
    EXPECT_EQ(library.GetEcuCount(), 0u);
    EXPECT_EQ(library.BuildModel(), 1);
    ASSERT_EQ(library.GetEcuCount(), 1u);
    IECU* ecu = library.GetEcu(0);
    EXPECT_EQ(ecu->IsJobFile(), 1);
    EXPECT_STREQ(ecu->GetLongName(), "");  // absent attributes keep the defaults
    IUDSService* service = ecu->GetFunctionalClass(0)->GetService(0);
    QM_EXPECT_FIELDS(*service, (IsActive(), 0), (IsMandatory(), 0), (HasSession(3), true),
                     (GetServiceId(), 0x22));
    ASSERT_EQ(ecu->GetDtcCount(), 1u);
    EXPECT_EQ(ecu->GetDtc(0)->GetValue(), 256u);
    EXPECT_STREQ(ecu->GetDtc(0)->GetSd(0)->GetDescr(), "d");

    CDiagnoseLib processed;
    EXPECT_EQ(processed.LoadContainerText(text, 1), 1);
    EXPECT_EQ(processed.GetEcuCount(), 1u);
}

TEST_F(DiagContainerForm, TextsThatNeedEscapingSurviveTheRoundTrip) {
    library.AddEcu("A \"quoted\" <b> & c");
    library.BuildModel();
    ExpectSameThroughTheContainerForm(library, "escaping");
    EXPECT_EQ(UnescapeAttribute(EscapeAttribute("&amp; \"x\" <y>")), "&amp; \"x\" <y>");
}

TEST_F(DiagContainerForm, ExampleRoundTrip) {
    ASSERT_EQ(library.LoadCddFile(ExamplePath().c_str(), 1), 1);
    ExpectSameThroughTheContainerForm(library, "example");
    library.SetGrouping(1);
    // The form holds the file's classes, never the groups.
    TempFile saved("grouped.xml");
    ASSERT_TRUE(library.SaveXml(saved.Path().c_str()));
    EXPECT_THAT(saved.Read(), Not(HasSubstr("Unclassified")));
    EXPECT_THAT(saved.Read(), HasSubstr("<ExtDocument fileName=\"readme.txt\""));
}

TEST_F(DiagContainerForm, HostileContainersStayBounded) {
    // Parameters nested far deeper than any model: cut, never a stack overflow.
    std::string nested;
    for (int i = 0; i < 100000; ++i) nested += "<Param name='p'>";
    for (int i = 0; i < 100000; ++i) nested += "</Param>";
    const std::string text =
        "<KOVR><DiagnoseLib><ECU shortName='E'><FunctionalClass name='C'>"
        "<Service name='S'><Requests><Function name='F'>" +
        nested +
        "</Function></Requests></Service></FunctionalClass></ECU>"
        "</DiagnoseLib></KOVR>";
    ASSERT_EQ(library.LoadContainerText(text.c_str(), 1), 1);
    IParam* param = FirstService(library)->GetRequest(0)->GetParam(0);
    int depth = 1;
    while (param->GetSubParamCount() > 0) {
        param = param->GetSubParam(0);
        ++depth;
    }
    EXPECT_EQ(depth, 64);

    // A huge repeated length encodes in bounded time and writes only what fits.
    CDiagnoseLib huge;
    ASSERT_EQ(
        huge.LoadContainerText(
            "<KOVR><DiagnoseLib><ECU shortName='E'><FunctionalClass name='C'><Service name='S'>"
            "<Requests><Function name='F'><Param name='a' bitLength='16000000' valueStr='1' "
            "arraySizeMin='65535'/></Function></Requests></Service></FunctionalClass></ECU>"
            "</DiagnoseLib></KOVR>",
            1),
        1);
    IUDSFunction* request = FirstService(huge)->GetRequest(0);
    EXPECT_EQ(request->Encode(nullptr, 0), 65535ull * 2000000ull);
    uint8_t bytes[4] = {9, 9, 9, 9};
    request->Encode(bytes, 4);
    EXPECT_EQ(bytes[3], 0);
}

}  // namespace
}  // namespace qm::diag::test
