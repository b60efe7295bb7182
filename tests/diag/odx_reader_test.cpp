// The ODX build on small documents: inheritance, classes, sessions, data objects, tables, DTCs,
// messages and reference cycles.
#include <gtest/gtest.h>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"
#include "expect_fields.h"
#include "odx_document.h"

namespace qm::diag::test {
namespace {

std::string Odx(const std::string& layers, const std::string& version = "2.2.0") {
    return "<?xml version='1.0' encoding='UTF-8'?>\n<ODX MODEL-VERSION='" + version +
           "' xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'>"
           "<DIAG-LAYER-CONTAINER ID='DLC'><SHORT-NAME>Container</SHORT-NAME>" +
           layers + "</DIAG-LAYER-CONTAINER></ODX>\n";
}

std::string Sid(int value) {
    return odx::Param(
        "CODED-CONST", "SID", 0,
        "<CODED-VALUE>" + std::to_string(value) + "</CODED-VALUE>" + odx::Coded("A_UINT32", 8),
        " SEMANTIC='SERVICE-ID'");
}

using odx::Request;
using odx::Service;

std::string Layer(const std::string& kind, const std::string& id, const std::string& name,
                  const std::string& content) {
    return "<" + kind + " ID='" + id + "'><SHORT-NAME>" + name + "</SHORT-NAME>" + content + "</" +
           kind + ">";
}

// The base variant "Base" with the content, alone in its document.
std::string BaseOdx(const std::string& content) {
    return Odx("<BASE-VARIANTS>" + Layer("BASE-VARIANT", "BV", "Base", content) +
               "</BASE-VARIANTS>");
}

// A layer's services and requests.
std::string Comms(const std::string& services, const std::string& requests) {
    return "<DIAG-COMMS>" + services + "</DIAG-COMMS><REQUESTS>" + requests + "</REQUESTS>";
}

// Loads the text as an ODX file and builds the model; the XML log is emptied first.
class OdxBuild : public ::testing::Test {
  protected:
    void Build(const std::string& text, uint8_t expected = 1) {
        NanoXML::ClearMessageLog();
        file_ = std::make_unique<TempFile>("odx_test.odx-d", text);
        ASSERT_EQ(library.LoadOdxFile(file_->Path().c_str(), 1), expected);
    }
    std::string Log() const { return NanoXML::MessageLog(); }
    // The first request parameter of the named service of the first ECU.
    IParam* RequestParam(const std::string& service, uint64_t index) {
        IUDSService* found = ServiceOf(library.GetEcu(0), service);
        if (found == nullptr || found->GetRequestCount() == 0) return nullptr;
        return found->GetRequest(0)->GetParam(index);
    }

    CDiagnoseLib library;

  private:
    std::unique_ptr<TempFile> file_;
};

// "Base" with A (0x10) and B (0x11); "Lazy" inherits them and overrides B (0x31).
std::string InheritanceDocument() {
    const std::string base =
        Layer("BASE-VARIANT", "BV", "Base",
              "<DIAG-COMMS>" + Service("BV.A", "A", "BV.RA") + Service("BV.B", "B", "BV.RB") +
                  "</DIAG-COMMS><REQUESTS>" + Request("BV.RA", Sid(0x10)) +
                  Request("BV.RB", Sid(0x11)) + "</REQUESTS>");
    const std::string variant =
        Layer("ECU-VARIANT", "EV", "Lazy",
              "<DIAG-COMMS>" + Service("EV.B", "B", "EV.RB") + "</DIAG-COMMS><REQUESTS>" +
                  Request("EV.RB", Sid(0x31)) +
                  "</REQUESTS><PARENT-REFS><PARENT-REF ID-REF='BV' DOCREF='Container' "
                  "DOCTYPE='CONTAINER' xsi:type='BASE-VARIANT-REF'/></PARENT-REFS>");
    return Odx("<ECU-VARIANTS>" + variant + "</ECU-VARIANTS><BASE-VARIANTS>" + base +
               "</BASE-VARIANTS>");
}

TEST_F(OdxBuild, BaseVariantsComeFirstAndOwnServicesOverrideInheritedOnes) {
    Build(InheritanceDocument());
    EXPECT_STREQ(library.GetFormat(), "ODX_2.2.0");
    ASSERT_EQ(library.GetEcuCount(), 2u);
    // Base variants first, although the file lists the ECU variants first.
    QM_EXPECT_FIELDS(*library.GetEcu(0), (GetShortName(), "Base"), (IsJobFile(), 1),
                     (GetXmlLocation(), "BV"));
    IECU* lazy = library.GetEcu(1);
    QM_EXPECT_FIELDS(*lazy, (GetShortName(), "Lazy"), (IsJobFile(), 0));
    ASSERT_EQ(ServiceCount(lazy), 2u);
    // Own services first, inherited ones after; the inherited B is dropped.
    IFunctionalClass* others = lazy->GetFunctionalClass(0);
    EXPECT_STREQ(others->GetName(), "Others");
    QM_EXPECT_FIELDS(*others->GetService(0), (GetName(), "B"), (GetServiceId(), 0x31));
    QM_EXPECT_FIELDS(*others->GetService(1), (GetName(), "A"), (GetServiceId(), 0x10));
    // The reference statistics after the timing line.
    const std::string messages = library.GetMessages();
    EXPECT_EQ(messages.rfind("ODX Refs multicore: ", 0), 0u) << messages;
    EXPECT_THAT(messages, HasSubstr("ms\r\nNEW: Resolved REFS:4 Unresolved REFS:0\r\n"))
        << messages;
    // One collection line per ECU in the XML log.
    EXPECT_EQ(Occurrences(Log(), "Services collection time: "), 2u);
    // A CDD file built with the document comes after it.
    const std::string cdd = std::string(QM_SOURCE_DIR) + "/examples/door_ecu.cdd";
    ASSERT_EQ(library.LoadCddFile(cdd.c_str(), 1), 1);
    EXPECT_EQ(library.GetEcuCount(), 3u);
    EXPECT_STREQ(library.GetEcu(0)->GetShortName(), "Base");
}

TEST_F(OdxBuild, UnresolvedReferencesAreCountedAndTheBuildGoesOn) {
    Build(BaseOdx("<DIAG-COMMS>" + Service("S1", "Lost", "NOWHERE") + "</DIAG-COMMS>"));
    ASSERT_EQ(library.GetEcuCount(), 1u);
    EXPECT_THAT(std::string(library.GetMessages()),
                HasSubstr("NEW: Resolved REFS:0 Unresolved REFS:1\r\n"));
    EXPECT_THAT(Log(), HasSubstr("Unresolved REF: \"REQUEST-REF\" ID=\"NOWHERE\"\r\n"));
    // The service has its REQUEST-REF and is kept, without a request.
    IUDSService* lost = ServiceOf(library.GetEcu(0), "Lost");
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->GetRequestCount(), 0u);
}

// A service without a request is read, then dropped; one sharing its response keeps all of it.
TEST_F(OdxBuild, AServiceWithoutRequestIsReadAndDropped) {
    const std::string response =
        "<POS-RESPONSES><POS-RESPONSE ID='P'><SHORT-NAME>PR</SHORT-NAME><PARAMS>"
        "<PARAM xsi:type='VALUE'><SHORT-NAME>Echo</SHORT-NAME><BYTE-POSITION>1</BYTE-POSITION>"
        "<DOP-REF ID-REF='GONE'/></PARAM></PARAMS></POS-RESPONSE></POS-RESPONSES>";
    Build(BaseOdx(Comms(Service("S0", "NoRequest", "", odx::PositiveResponseRef("P")) +
                            Service("S1", "Kept", "R", odx::PositiveResponseRef("P")),
                        Request("R", Sid(0x3E))) +
                  response));
    ASSERT_EQ(library.GetEcuCount(), 1u);
    EXPECT_EQ(ServiceOf(library.GetEcu(0), "NoRequest"), nullptr);
    EXPECT_EQ(ServiceCount(library.GetEcu(0)), 1u);
    IUDSService* kept = ServiceOf(library.GetEcu(0), "Kept");
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(kept->GetPositiveResponseCount(), 1u);
    QM_EXPECT_FIELDS(*kept->GetPositiveResponse(0), (GetName(), "PR"), (GetParamCount(), 1u));
    EXPECT_STREQ(kept->GetPositiveResponse(0)->GetParam(0)->GetName(), "Echo");
    // Once for each service that reads the response.
    EXPECT_EQ(Occurrences(Log(),
                          "ODX Warning: unresolved DOP-REF of \"Echo\" : with "
                          "ID=\"GONE\" \r\n"),
              2u)
        << Log();
}

TEST_F(OdxBuild, FunctionalClassesFromReferencesWithOthersLast) {
    const std::string classes =
        "<FUNCT-CLASSS><FUNCT-CLASS ID='FC1'><SHORT-NAME>Ident</SHORT-NAME><LONG-NAME>"
        "Identification</LONG-NAME></FUNCT-CLASS><FUNCT-CLASS ID='FC2'><SHORT-NAME>Mem"
        "</SHORT-NAME></FUNCT-CLASS></FUNCT-CLASSS>";
    const std::string refs1 =
        "<FUNCT-CLASS-REFS><FUNCT-CLASS-REF ID-REF='FC1'/></FUNCT-CLASS-REFS>";
    const std::string refs2 =
        "<FUNCT-CLASS-REFS><FUNCT-CLASS-REF ID-REF='FC2'/><FUNCT-CLASS-REF "
        "ID-REF='FC1'/></FUNCT-CLASS-REFS>";
    Build(BaseOdx(classes +
                  Comms(Service("S0", "Loose", "R", "") + Service("S1", "ReadIdent", "R", refs1) +
                            Service("S2", "Memory", "R", refs2) +
                            Service("S3", "ReadMore", "R", refs1),
                        Request("R", Sid(0x22)))));
    IECU* ecu = library.GetEcu(0);
    ASSERT_EQ(ecu->GetFunctionalClassCount(), 3u);
    // The long name, else the short name.
    QM_EXPECT_FIELDS(*ecu->GetFunctionalClass(0), (GetName(), "Identification"),
                     (GetXmlLocation(), "FC1"), (GetServiceCount(), 2u));
    // Named by its short name, located by its identifier; "Others" has no element.
    QM_EXPECT_FIELDS(*ecu->GetFunctionalClass(1), (GetName(), "Mem"), (GetXmlLocation(), "FC2"));
    QM_EXPECT_FIELDS(*ecu->GetFunctionalClass(2), (GetName(), "Others"), (GetXmlLocation(), ""));
    EXPECT_STREQ(ecu->GetFunctionalClass(2)->GetService(0)->GetName(), "Loose");
}

// Shared data "Shared" (service S) as parent of "Base", optionally with a service of its own.
std::string SharedDataDocument(bool ownService) {
    const std::string shared =
        Layer("ECU-SHARED-DATA", "ESD", "Shared",
              Comms(Service("ESD.S", "S", "ESD.R"), Request("ESD.R", Sid(0x19))));
    const std::string own =
        ownService ? Comms(Service("BV.O", "Own", "BV.R"), Request("BV.R", Sid(0x14))) : "";
    const std::string base = Layer("BASE-VARIANT", "BV", "Base",
                                   own +
                                       "<PARENT-REFS><PARENT-REF ID-REF='ESD' DOCREF='Container' "
                                       "xsi:type='ECU-SHARED-DATA-REF'/></PARENT-REFS>");
    return Odx("<ECU-SHARED-DATAS>" + shared + "</ECU-SHARED-DATAS><BASE-VARIANTS>" + base +
               "</BASE-VARIANTS>");
}

TEST_F(OdxBuild, SharedDataIsFollowedOnlyWhileNothingWasCollected) {
    Build(SharedDataDocument(false));
    ASSERT_EQ(library.GetEcuCount(), 1u);  // shared data is no variant
    EXPECT_EQ(ServiceCount(library.GetEcu(0)), 1u);
    EXPECT_NE(ServiceOf(library.GetEcu(0), "S"), nullptr);

    CDiagnoseLib second;
    TempFile file("odx_shared.odx-d", SharedDataDocument(true));
    ASSERT_EQ(second.LoadOdxFile(file.Path().c_str(), 1), 1);
    EXPECT_EQ(ServiceCount(second.GetEcu(0)), 1u);
    EXPECT_EQ(ServiceOf(second.GetEcu(0), "S"), nullptr);
    EXPECT_NE(ServiceOf(second.GetEcu(0), "Own"), nullptr);
}

// A parent reference of the given kind, optionally with a NOT-INHERITED-DIAG-COMMS list.
std::string ParentRef(const std::string& id, const std::string& kind,
                      const std::string& notInherited = "") {
    return "<PARENT-REF ID-REF='" + id + "' DOCREF='Container' xsi:type='" + kind + "'>" +
           (notInherited.empty()
                ? ""
                : "<NOT-INHERITED-DIAG-COMMS><NOT-INHERITED-DIAG-COMM>"
                  "<DIAG-COMM-SNREF SHORT-NAME='" +
                      notInherited + "'/></NOT-INHERITED-DIAG-COMM></NOT-INHERITED-DIAG-COMMS>") +
           "</PARENT-REF>";
}

// Services of the layer `prefix`, each named and coded by one entry of `names`.
std::string OwnServices(const std::string& prefix,
                        const std::vector<std::pair<std::string, int>>& names) {
    std::string comms, requests;
    for (const auto& [name, sid] : names) {
        comms += Service(prefix + ".S" + name, name, prefix + ".R" + name);
        requests += Request(prefix + ".R" + name, Sid(sid));
    }
    return Comms(comms, requests);
}

// Every layer kind as a parent: own services, then parents depth first; first namesake stays;
// shared data only while nothing was collected; not-inherited lists are not consulted.
TEST_F(OdxBuild, InheritanceThroughEveryLayerKind) {
    const std::string protocol =
        Layer("PROTOCOL", "PR", "Proto", OwnServices("PR", {{"W", 0x01}, {"X", 0x02}}));
    const std::string group =
        Layer("FUNCTIONAL-GROUP", "FG", "Group",
              OwnServices("FG", {{"Y", 0x03}, {"Z", 0x04}}) + "<PARENT-REFS>" +
                  ParentRef("PR", "PROTOCOL-REF") + "</PARENT-REFS>");
    const std::string shared =
        Layer("ECU-SHARED-DATA", "ESD", "Shared", OwnServices("ESD", {{"V", 0x05}}));
    const std::string base = Layer("BASE-VARIANT", "BV", "Base",
                                   OwnServices("BV", {{"X", 0x12}, {"Y", 0x13}}) + "<PARENT-REFS>" +
                                       ParentRef("PR", "PROTOCOL-REF") +
                                       ParentRef("ESD", "ECU-SHARED-DATA-REF") + "</PARENT-REFS>");
    const std::string variant =
        Layer("ECU-VARIANT", "EV", "Variant",
              "<PARENT-REFS>" + ParentRef("ESD", "ECU-SHARED-DATA-REF") +
                  ParentRef("BV", "BASE-VARIANT-REF", "X") +
                  ParentRef("FG", "FUNCTIONAL-GROUP-REF") + "</PARENT-REFS>");
    Build(Odx("<PROTOCOLS>" + protocol + "</PROTOCOLS><FUNCTIONAL-GROUPS>" + group +
              "</FUNCTIONAL-GROUPS><ECU-SHARED-DATAS>" + shared +
              "</ECU-SHARED-DATAS><ECU-VARIANTS>" + variant + "</ECU-VARIANTS><BASE-VARIANTS>" +
              base + "</BASE-VARIANTS>"));
    ASSERT_EQ(library.GetEcuCount(), 2u);  // only the variants become ECUs
    const auto expect = [](IECU* ecu, const std::vector<std::pair<std::string, int>>& services) {
        ASSERT_EQ(ecu->GetFunctionalClassCount(), 1u);
        IFunctionalClass* others = ecu->GetFunctionalClass(0);
        ASSERT_EQ(others->GetServiceCount(), services.size());
        for (size_t i = 0; i < services.size(); ++i) {
            QM_EXPECT_FIELDS(*others->GetService(i), (GetName(), services[i].first),
                             (GetServiceId(), services[i].second));
        }
    };
    // The base variant's shared data comes after its own services: skipped.
    expect(library.GetEcu(0), {{"X", 0x12}, {"Y", 0x13}, {"W", 0x01}});
    // The variant's shared data comes first; the base's X and Y win over the namesakes.
    expect(library.GetEcu(1), {{"V", 0x05}, {"X", 0x12}, {"Y", 0x13}, {"W", 0x01}, {"Z", 0x04}});
}

// Several documents: base variants, then ECU variants each; DOCREF finds a parent elsewhere.
TEST_F(OdxBuild, LayersInSeveralDocuments) {
    TempFile first("odx_first.odx-d",
                   Odx("<BASE-VARIANTS>" +
                           Layer("BASE-VARIANT", "BV", "Base", OwnServices("BV", {{"A", 0x10}})) +
                           "</BASE-VARIANTS>",
                       "2.2.0"));
    const std::string second =
        "<?xml version='1.0' encoding='UTF-8'?>\n<ODX MODEL-VERSION='2.0.1' "
        "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'><DIAG-LAYER-CONTAINER "
        "ID='DLC2'><SHORT-NAME>Other</SHORT-NAME><ECU-VARIANTS>" +
        Layer("ECU-VARIANT", "EV", "Var",
              OwnServices("EV", {{"B", 0x11}}) +
                  "<PARENT-REFS><PARENT-REF ID-REF='BV' DOCREF='Base' DOCTYPE='LAYER' "
                  "xsi:type='BASE-VARIANT-REF'/></PARENT-REFS>") +
        "</ECU-VARIANTS><BASE-VARIANTS>" +
        Layer("BASE-VARIANT", "BV2", "Base2", OwnServices("BV2", {{"C", 0x12}})) +
        "</BASE-VARIANTS></DIAG-LAYER-CONTAINER></ODX>\n";
    TempFile other("odx_second.odx-d", second);
    NanoXML::ClearMessageLog();
    ASSERT_EQ(library.LoadOdxFile(first.Path().c_str(), 0), 1);
    ASSERT_EQ(library.LoadOdxFile(other.Path().c_str(), 1), 1);
    EXPECT_STREQ(library.GetFormat(), "ODX_2.0.1");
    ASSERT_EQ(library.GetEcuCount(), 3u);
    EXPECT_STREQ(library.GetEcu(0)->GetShortName(), "Base");
    EXPECT_STREQ(library.GetEcu(1)->GetShortName(), "Base2");
    IECU* variant = library.GetEcu(2);
    EXPECT_STREQ(variant->GetShortName(), "Var");
    ASSERT_EQ(ServiceCount(variant), 2u);
    EXPECT_STREQ(variant->GetFunctionalClass(0)->GetService(0)->GetName(), "B");
    EXPECT_STREQ(variant->GetFunctionalClass(0)->GetService(1)->GetName(), "A");
    EXPECT_THAT(std::string(library.GetMessages()),
                HasSubstr("NEW: Resolved REFS:4 Unresolved REFS:0\r\n"));
    EXPECT_EQ(Occurrences(Log(), "Services collection time: "), 3u);
}

TEST_F(OdxBuild, ParentRefsThatLoopEndWithALine) {
    const std::string parentsOf =
        "<PARENT-REFS><PARENT-REF ID-REF='%' DOCREF='Container' xsi:type='BASE-VARIANT-REF'/>"
        "</PARENT-REFS>";
    auto parents = [&](const std::string& target) {
        std::string text = parentsOf;
        text.replace(text.find('%'), 1, target);
        return text;
    };
    Build(Odx("<BASE-VARIANTS>" +
              Layer("BASE-VARIANT", "B1", "One",
                    Comms(Service("S1", "S1", "R"), Request("R", Sid(0x10))) + parents("B2")) +
              Layer("BASE-VARIANT", "B2", "Two",
                    "<DIAG-COMMS>" + Service("S2", "S2", "R") + "</DIAG-COMMS>" + parents("B1")) +
              Layer("BASE-VARIANT", "B3", "Self", parents("B3")) + "</BASE-VARIANTS>"));
    ASSERT_EQ(library.GetEcuCount(), 3u);
    EXPECT_EQ(ServiceCount(library.GetEcu(0)), 2u);
    EXPECT_EQ(ServiceCount(library.GetEcu(1)), 2u);
    EXPECT_EQ(ServiceCount(library.GetEcu(2)), 0u);
    ExpectTexts(Log(), {"ODX Warning: PARENT-REFS cycle at \"One\", not followed\r\n",
                        "ODX Warning: PARENT-REFS cycle at \"Self\", not followed\r\n"});
}

TEST_F(OdxBuild, NoVariantNoEcu) {
    Build(
        "<ODX MODEL-VERSION='2.2.0'><COMPARAM-SUBSET ID='CS'><SHORT-NAME>CS</SHORT-NAME>"
        "</COMPARAM-SUBSET></ODX>");
    QM_EXPECT_FIELDS(library, (GetEcuCount(), 0u), (GetFormat(), ""));
    EXPECT_THAT(std::string(library.GetMessages()),
                HasSubstr("NEW: Resolved REFS:0 Unresolved REFS:0"));
    CDiagnoseLib empty;
    EXPECT_EQ(empty.BuildModel(), 0);  // no tree, no build
    EXPECT_STREQ(empty.GetMessages(), "");
    EXPECT_EQ(empty.LoadOdxFile("/nonexistent/file.odx", 1), 0);
    EXPECT_EQ(empty.SourceTree()->children.size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Parameters and data objects

std::string Dictionary(const std::string& content) {
    return "<DIAG-DATA-DICTIONARY-SPEC>" + content + "</DIAG-DATA-DICTIONARY-SPEC>";
}

std::string Dop(const std::string& id, const std::string& name, int bits,
                const std::string& compu =
                    "<COMPU-METHOD><CATEGORY>IDENTICAL</CATEGORY>"
                    "</COMPU-METHOD>") {
    return "<DATA-OBJECT-PROP ID='" + id + "'><SHORT-NAME>" + name + "</SHORT-NAME>" + compu +
           "<DIAG-CODED-TYPE xsi:type='STANDARD-LENGTH-TYPE' BASE-DATA-TYPE='A_UINT32'>"
           "<BIT-LENGTH>" +
           std::to_string(bits) + "</BIT-LENGTH></DIAG-CODED-TYPE></DATA-OBJECT-PROP>";
}

std::string TextTable() {
    return "<COMPU-METHOD><CATEGORY>TEXTTABLE</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>"
           "<COMPU-SCALE><LOWER-LIMIT>1</LOWER-LIMIT><UPPER-LIMIT>1</UPPER-LIMIT><COMPU-CONST>"
           "<VT>Default</VT></COMPU-CONST></COMPU-SCALE><COMPU-SCALE><LOWER-LIMIT>2"
           "</LOWER-LIMIT><UPPER-LIMIT>3</UPPER-LIMIT><COMPU-CONST><VT>Programming</VT>"
           "</COMPU-CONST></COMPU-SCALE></COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>";
}

std::string ValueParam(const std::string& name, int byte, const std::string& dopRef) {
    return "<PARAM xsi:type='VALUE'><SHORT-NAME>" + name + "</SHORT-NAME><BYTE-POSITION>" +
           std::to_string(byte) + "</BYTE-POSITION>" + dopRef + "</PARAM>";
}

// "Base" with the dictionary and service "T" whose request holds SID 0x22 and the params.
std::string ParamDocument(const std::string& dictionary, const std::string& params,
                          const std::string& extraLayer = "") {
    return BaseOdx(Dictionary(dictionary) +
                   Comms(Service("S", "T", "R"), Request("R", Sid(0x22) + params)) + extraLayer);
}

TEST_F(OdxBuild, CodedConstantsPositionsAndFinishing) {
    Build(ParamDocument(
        "<DATA-OBJECT-PROPS>" + Dop("D16", "Word", 16) + "</DATA-OBJECT-PROPS>",
        odx::Const("DID", 1, 61840, 16) +
            "<PARAM xsi:type='CODED-CONST'><SHORT-NAME>Masked</SHORT-NAME><BYTE-POSITION>5"
            "</BYTE-POSITION><CODED-VALUE>255</CODED-VALUE><DIAG-CODED-TYPE "
            "xsi:type='STANDARD-LENGTH-TYPE' BASE-DATA-TYPE='A_UNICODE2STRING' "
            "IS-HIGHLOW-BYTE-ORDER='false'><BIT-LENGTH>8</BIT-LENGTH><BIT-MASK>0F</BIT-MASK>"
            "</DIAG-CODED-TYPE></PARAM>"
            "<PARAM xsi:type='RESERVED'><SHORT-NAME>Gap</SHORT-NAME><BYTE-POSITION>3"
            "</BYTE-POSITION><BIT-POSITION>4</BIT-POSITION></PARAM>"));
    IParam* sid = RequestParam("T", 0);
    ASSERT_NE(sid, nullptr);
    EXPECT_STREQ(sid->GetType(), "CONSTCOMP");  // SERVICE-ID semantic
    QM_EXPECT_FIELDS(*sid, (GetBaseDataType(), "A_UINT32"), (GetBaseTypeCode(), 5u),
                     (GetBitLength(), 8));
    // Positions follow the predecessor: the identifier moves to byte 2, "Masked" to 7, "Gap" to 8.
    IParam* did = RequestParam("T", 1);
    QM_EXPECT_FIELDS(*did, (GetType(), "CODED-CONST"), (GetBytePosition(), 2),
                     (GetBitPosition(), 0), (GetValue(), 61840u));
    // A hex mask, an unlisted base type mapped to its nearest code, the byte order flag.
    IParam* masked = RequestParam("T", 2);
    QM_EXPECT_FIELDS(*masked, (GetName(), "Masked"), (GetBytePosition(), 7), (GetBitMask(), 0x0Fu),
                     (GetValue(), 0x0Fu), (GetBaseTypeCode(), 13u), (GetByteOrder(), 1u));
    // No coded type: finished as one byte of UINT8.
    IParam* gap = RequestParam("T", 3);
    QM_EXPECT_FIELDS(*gap, (GetName(), "Gap"), (GetBitLength(), 8), (GetBaseDataType(), "UINT8"),
                     (GetBaseTypeCode(), 1u), (GetBytePosition(), 8), (GetBitPosition(), 0));
    IUDSService* service = ServiceOf(library.GetEcu(0), "T");
    EXPECT_EQ(service->GetServiceId(), 0x22);
    // Nine bytes long (the last parameter ends at byte 8); values go at a running cursor.
    EXPECT_EQ(EncodedBytes(service->GetRequest(0)),
              (std::vector<uint8_t>{0x22, 0xF1, 0x90, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(OdxBuild, StatedPositionsKeptWhenAsked) {
    dynamic_cast<IDiagnoseLibOdxPositions&>(library).SetOdxStatedPositions(1);
    Build(
        ParamDocument("", odx::Const("DID", 1, 61840, 16) +
                              "<PARAM xsi:type='RESERVED'><SHORT-NAME>After</SHORT-NAME></PARAM>"));
    EXPECT_EQ(RequestParam("T", 1)->GetBytePosition(), 1);
    // A parameter that states nothing still follows its predecessor.
    EXPECT_EQ(RequestParam("T", 2)->GetBytePosition(), 3);
    EXPECT_EQ(EncodedBytes(ServiceOf(library.GetEcu(0), "T")->GetRequest(0)),
              (std::vector<uint8_t>{0x22, 0xF1, 0x90, 0x00}));
}

// Data objects by reference and by short name; missing and unhandled ones are reported.
TEST_F(OdxBuild, DataObjectsByReferenceAndByShortName) {
    Build(ParamDocument(
        "<DATA-OBJECT-PROPS>" + Dop("DT", "Mode", 8, TextTable()) +
            "</DATA-OBJECT-PROPS><ENV-DATA-DESCS><ENV-DATA-DESC ID='ENV'><SHORT-NAME>Env"
            "</SHORT-NAME></ENV-DATA-DESC></ENV-DATA-DESCS>",
        odx::Value("ByRef", 1, "DT") + ValueParam("ByName", 2, "<DOP-SNREF SHORT-NAME='Mode'/>") +
            ValueParam("Nameless", 3, "<DOP-SNREF SHORT-NAME='Nothing'/>") +
            odx::Value("Lost", 4, "GONE") + odx::Value("Env", 5, "ENV")));
    for (int index : {1, 2}) {
        IParam* param = RequestParam("T", index);
        ASSERT_EQ(param->GetValueCount(), 2u) << index;
        QM_EXPECT_FIELDS(*param->GetValue(uint64_t{1}), (GetText(), "Programming"),
                         (GetRangeStart(), 2u), (GetRangeEnd(), 3u));
        EXPECT_EQ(param->GetBitLength(), 8);
    }
    EXPECT_EQ(static_cast<CParam*>(RequestParam("T", 1))->dtrefId, "DT");
    ExpectTexts(Log(), {"ODX Warning: unresolved DOP-SNREF of \"Nameless\" : with "
                        "SHORT-NAME=\"Nothing\" \r\n",
                        "ODX Warning: unresolved DOP-REF of \"Lost\" : with ID=\"GONE\" \r\n",
                        "ODX Warning: unhandled DOP-REF type: \"ENV-DATA-DESC\" : with "
                        "ID=\"ENV\" \r\n"});
}

std::string Structure(const std::string& id, const std::string& name, const std::string& params) {
    return "<STRUCTURE ID='" + id + "'><SHORT-NAME>" + name + "</SHORT-NAME><PARAMS>" + params +
           "</PARAMS></STRUCTURE>";
}

// A structure's length is the sum of its parameters, whatever size it states for itself.
TEST_F(OdxBuild, StructuresAndEndOfPduFields) {
    const std::string pair = odx::Value("First", 0, "D8") + odx::Value("Second", 1, "D16");
    const std::string dictionary =
        "<DATA-OBJECT-PROPS>" + Dop("D8", "Byte", 8) + Dop("D16", "Word", 16) +
        "</DATA-OBJECT-PROPS><STRUCTURES>" + Structure("ST", "Pair", pair) +
        "<STRUCTURE ID='SZ'><SHORT-NAME>Sized</SHORT-NAME><BYTE-SIZE>5</BYTE-SIZE><PARAMS>" + pair +
        "</PARAMS></STRUCTURE></STRUCTURES><END-OF-PDU-FIELDS><END-OF-PDU-FIELD "
        "ID='EF'><SHORT-NAME>Pairs"
        "</SHORT-NAME><BASIC-STRUCTURE-REF ID-REF='ST'/><MIN-NUMBER-OF-ITEMS>1"
        "</MIN-NUMBER-OF-ITEMS><MAX-NUMBER-OF-ITEMS>4</MAX-NUMBER-OF-ITEMS></END-OF-PDU-FIELD>"
        "<END-OF-PDU-FIELD ID='EB'><SHORT-NAME>Broken</SHORT-NAME><BASIC-STRUCTURE-SNREF "
        "SHORT-NAME='Missing'/></END-OF-PDU-FIELD></END-OF-PDU-FIELDS>";
    Build(ParamDocument(dictionary, odx::Value("Record", 1, "ST") + odx::Value("Sized", 4, "SZ") +
                                        odx::Value("Items", 7, "EF") +
                                        odx::Value("Bad", 10, "EB")));
    IParam* record = RequestParam("T", 1);
    ASSERT_EQ(record->GetSubParamCount(), 2u);
    QM_EXPECT_FIELDS(*record->GetSubParam(1), (GetName(), "Second"), (GetBitLength(), 16));
    QM_EXPECT_FIELDS(*record, (GetBitLength(), 24), (GetBaseDataType(), "STRUCT"));
    ASSERT_NE(RequestParam("T", 2), nullptr);
    QM_EXPECT_FIELDS(*RequestParam("T", 2), (GetSubParamCount(), 2u), (GetBitLength(), 24),
                     (GetBaseDataType(), "STRUCT"), (GetDataType(), "STRUCT"));
    IParam* items = RequestParam("T", 3);
    QM_EXPECT_FIELDS(*items, (GetArraySizeMin(), 1u), (GetArraySizeMax(), 4u), (IsArray(), 1),
                     (GetSubParamCount(), 2u), (GetBitLength(), 24));
    EXPECT_THAT(Log(), HasSubstr("ODX Warning: unresolved END-OF-PDU-FIELD entry: \"Broken\"\r\n"))
        << Log();
}

TEST_F(OdxBuild, SelfReferencingStructuresDoNotHang) {
    const std::string dictionary = "<STRUCTURES>" +
                                   Structure("LOOP", "Loop", odx::Value("Again", 0, "LOOP")) +
                                   Structure("A", "A", odx::Value("ToB", 0, "B")) +
                                   Structure("B", "B", odx::Value("ToA", 0, "A")) + "</STRUCTURES>";
    Build(ParamDocument(dictionary, odx::Value("L", 1, "LOOP") + odx::Value("X", 2, "A")));
    IParam* loop = RequestParam("T", 1);
    ASSERT_EQ(loop->GetSubParamCount(), 1u);
    EXPECT_EQ(loop->GetSubParam(0)->GetSubParamCount(), 0u);
    ExpectTexts(Log(), {"ODX Warning: recursive data object \"Loop\" not expanded\r\n",
                        "ODX Warning: recursive data object \"A\" not expanded\r\n"});
}

TEST_F(OdxBuild, StructuresThatDoubleAtEveryLevelStopAtTheBudget) {
    // Each structure holds its successor twice: 2^30 parameters if nothing stopped it.
    std::string structures = "<STRUCTURES>";
    for (int level = 0; level < 30; ++level) {
        const std::string next = "<DOP-REF ID-REF='S" + std::to_string(level + 1) + "'/>";
        structures += Structure("S" + std::to_string(level), "S" + std::to_string(level),
                                ValueParam("L", 0, next) + ValueParam("R", 1, next));
    }
    structures += "</STRUCTURES>";
    Build(ParamDocument(structures, odx::Value("Tree", 1, "S0")));
    ASSERT_EQ(library.GetEcuCount(), 1u);
    EXPECT_THAT(Log(),
                HasSubstr("ODX Warning: parameter expansion limit reached, further parameters "
                          "skipped\r\n"));
}

TEST_F(OdxBuild, DtcDataObjectTextsAndVariantDtcs) {
    const std::string dtcs =
        "<DTC-DOPS><DTC-DOP ID='DD'><SHORT-NAME>Faults</SHORT-NAME><DIAG-CODED-TYPE "
        "xsi:type='STANDARD-LENGTH-TYPE' BASE-DATA-TYPE='A_UINT32'><BIT-LENGTH>24</BIT-LENGTH>"
        "</DIAG-CODED-TYPE><COMPU-METHOD><CATEGORY>IDENTICAL</CATEGORY></COMPU-METHOD><DTCS>"
        "<DTC ID='D1'><SHORT-NAME>DTC1</SHORT-NAME><TROUBLE-CODE>4660</TROUBLE-CODE>"
        "<DISPLAY-TROUBLE-CODE>P1234</DISPLAY-TROUBLE-CODE><TEXT>Sensor open</TEXT><LEVEL>2"
        "</LEVEL><SDGS><SDG><SDG-CAPTION ID='C'><SHORT-NAME>Action</SHORT-NAME></SDG-CAPTION>"
        "<SD>Replace sensor</SD></SDG></SDGS></DTC><DTC-REF ID-REF='D2'/><NOT-A-DTC/></DTCS>"
        "</DTC-DOP></DTC-DOPS>";
    // A DTC data object codes its trouble codes through its computation method as well.
    const std::string scaled =
        "<DTC-DOPS><DTC-DOP ID='DL'><SHORT-NAME>Scaled</SHORT-NAME><DIAG-CODED-TYPE "
        "xsi:type='STANDARD-LENGTH-TYPE' BASE-DATA-TYPE='A_UINT32'><BIT-LENGTH>16</BIT-LENGTH>"
        "</DIAG-CODED-TYPE><COMPU-METHOD><CATEGORY>LINEAR</CATEGORY><COMPU-INTERNAL-TO-PHYS>"
        "<COMPU-SCALES><COMPU-SCALE><COMPU-RATIONAL-COEFFS><COMPU-NUMERATOR><V>1</V><V>2</V>"
        "</COMPU-NUMERATOR><COMPU-DENOMINATOR><V>4</V></COMPU-DENOMINATOR>"
        "</COMPU-RATIONAL-COEFFS></COMPU-SCALE></COMPU-SCALES></COMPU-INTERNAL-TO-PHYS>"
        "</COMPU-METHOD><DTCS><DTC ID='D3'><SHORT-NAME>DTC3</SHORT-NAME><TROUBLE-CODE>7"
        "</TROUBLE-CODE></DTC></DTCS></DTC-DOP></DTC-DOPS>";
    const std::string shared =
        "<DTC-DOPS><DTC-DOP ID='OTHER'><SHORT-NAME>Other</SHORT-NAME><DTCS><DTC ID='D2'>"
        "<SHORT-NAME>DTC2</SHORT-NAME><TROUBLE-CODE>17</TROUBLE-CODE></DTC></DTCS></DTC-DOP>"
        "</DTC-DOPS>";
    Build(ParamDocument(dtcs + shared + scaled,
                        odx::Value("Code", 1, "DD") + odx::Value("Scaled", 4, "DL")));
    IParam* code = RequestParam("T", 1);
    EXPECT_EQ(code->GetBitLength(), 24);
    ASSERT_EQ(code->GetValueCount(), 2u);
    QM_EXPECT_FIELDS(*code->GetValue(uint64_t{0}), (GetText(), "DTC1 - 4660 : Sensor open"),
                     (GetRangeStart(), 4660u));
    EXPECT_STREQ(code->GetValue(uint64_t{1})->GetText(), "DTC2 - 17");
    IParam* scaledCode = RequestParam("T", 2);
    ASSERT_NE(scaledCode, nullptr);
    double factor = 0.0, divisor = 0.0, offset = 0.0;
    ASSERT_TRUE(scaledCode->GetScaling(&factor, &divisor, &offset));
    EXPECT_EQ(factor, 2.0);
    EXPECT_EQ(divisor, 4.0);
    EXPECT_EQ(offset, 1.0);
    QM_EXPECT_FIELDS(*scaledCode, (GetBitLength(), 16), (GetValueCount(), 1u));
    // The variant's DTCs: every DTC element of every DTCS list below it.
    IECU* ecu = library.GetEcu(0);
    ASSERT_EQ(ecu->GetDtcCount(), 3u);
    IDTC* first = ecu->GetDtc(0);
    QM_EXPECT_FIELDS(*first, (GetName(), "DTC1"), (GetValue(), 4660u), (GetDisp(), "P1234"),
                     (GetText(), "Sensor open"), (GetLevel(), 2u));
    ASSERT_EQ(first->GetSdCount(), 1u);
    QM_EXPECT_FIELDS(*first->GetSd(0), (GetName(), "Action"), (GetDescr(), "Replace sensor"));
    EXPECT_STREQ(ecu->GetDtc(1)->GetName(), "DTC2");
    EXPECT_STREQ(ecu->GetDtc(2)->GetName(), "DTC3");
}

TEST_F(OdxBuild, MultiplexerCasesAndDefault) {
    const std::string dictionary =
        "<DATA-OBJECT-PROPS>" + Dop("D8", "Byte", 8) + Dop("D16", "Word", 16) +
        "</DATA-OBJECT-PROPS><STRUCTURES>" + Structure("S1", "One", odx::Value("V1", 0, "D8")) +
        Structure("S2", "Two", odx::Value("V2", 0, "D16")) +
        "</STRUCTURES><MUXS><MUX ID='M'><SHORT-NAME>Mux</SHORT-NAME><BYTE-POSITION>1"
        "</BYTE-POSITION><SWITCH-KEY><BYTE-POSITION>0</BYTE-POSITION><DATA-OBJECT-PROP-REF "
        "ID-REF='D8'/></SWITCH-KEY><DEFAULT-CASE><SHORT-NAME>Fallback</SHORT-NAME>"
        "<STRUCTURE-REF ID-REF='S1'/></DEFAULT-CASE><CASES><CASE><SHORT-NAME>First</SHORT-NAME>"
        "<STRUCTURE-REF ID-REF='S1'/><LOWER-LIMIT>1</LOWER-LIMIT><UPPER-LIMIT>1</UPPER-LIMIT>"
        "</CASE><CASE><SHORT-NAME>Second</SHORT-NAME><STRUCTURE-REF ID-REF='S2'/><LOWER-LIMIT>2"
        "</LOWER-LIMIT><UPPER-LIMIT>5</UPPER-LIMIT></CASE></CASES></MUX></MUXS>";
    Build(ParamDocument(dictionary, odx::Value("Data", 1, "M")));
    IParam* mux = RequestParam("T", 1);
    ASSERT_EQ(mux->GetSubParamCount(), 2u);
    IParam* key = mux->GetSubParam(0);
    QM_EXPECT_FIELDS(*key, (GetName(), "MuxSwitchKey"), (IsKey(), 1), (GetBitLength(), 8));
    ASSERT_EQ(key->GetChoiceCount(), 2u);
    EXPECT_EQ(key->GetValue(uint64_t{1})->GetRangeEnd(), 5u);
    IParam* cases = mux->GetSubParam(1);
    QM_EXPECT_FIELDS(*cases, (GetName(), "Cases"), (IsConditional(), 1), (GetBytePosition(), 1));
    ASSERT_EQ(cases->GetChoiceCount(), 3u);
    EXPECT_EQ(cases->GetBitLength(), 16);  // the longest case
    IParam* second = cases->SelectChoice(1);
    QM_EXPECT_FIELDS(*second, (GetName(), "Case Second"), (GetType(), "OdxMuxCase"));
    uint32_t low = 0, high = 0;
    ASSERT_TRUE(second->GetRange(&low, &high));
    EXPECT_EQ(low, 2u);
    EXPECT_EQ(high, 5u);
    EXPECT_EQ(second->GetBitLength(), 16);
    EXPECT_STREQ(cases->SelectChoice(2)->GetName(), "Case Fallback");
    EXPECT_EQ(cases->GetBitLength(), 8);  // a selected case lends its length
}

std::string Table(const std::string& rows) {
    return "<TABLES><TABLE ID='TB'><SHORT-NAME>Records</SHORT-NAME><KEY-DOP-REF ID-REF='KD'/>" +
           rows + "</TABLE></TABLES>";
}

TEST_F(OdxBuild, TableKeyAndTableStruct) {
    const std::string dictionary =
        "<DATA-OBJECT-PROPS>" + Dop("KD", "Key", 16, TextTable()) + Dop("D8", "Byte", 8) +
        "</DATA-OBJECT-PROPS><STRUCTURES>" + Structure("S1", "One", odx::Value("V1", 0, "D8")) +
        "</STRUCTURES>" +
        Table(
            "<TABLE-ROW ID='R1'><SHORT-NAME>Row1</SHORT-NAME><KEY>258</KEY><STRUCTURE-REF "
            "ID-REF='S1'/></TABLE-ROW><TABLE-ROW ID='R2'><SHORT-NAME>Row2</SHORT-NAME><KEY>"
            "Programming</KEY><DATA-OBJECT-PROP-REF ID-REF='D8'/></TABLE-ROW><TABLE-ROW "
            "ID='R3'><SHORT-NAME>Row3</SHORT-NAME><KEY>not a key</KEY></TABLE-ROW>");
    Build(ParamDocument(dictionary,
                        "<PARAM xsi:type='TABLE-KEY' ID='TK'><SHORT-NAME>Id</SHORT-NAME>"
                        "<BYTE-POSITION>1</BYTE-POSITION><TABLE-REF ID-REF='TB'/></PARAM>"
                        "<PARAM xsi:type='TABLE-STRUCT'><SHORT-NAME>Data</SHORT-NAME>"
                        "<BYTE-POSITION>3</BYTE-POSITION><TABLE-KEY-REF ID-REF='TK'/></PARAM>"
                        "<PARAM xsi:type='TABLE-STRUCT'><SHORT-NAME>Orphan</SHORT-NAME>"
                        "<BYTE-POSITION>4</BYTE-POSITION><TABLE-KEY-REF ID-REF='NOPE'/></PARAM>"
                        "<PARAM xsi:type='TABLE-KEY'><SHORT-NAME>ByName</SHORT-NAME>"
                        "<BYTE-POSITION>5</BYTE-POSITION><TABLE-SNREF SHORT-NAME='Missing'/>"
                        "</PARAM><PARAM xsi:type='TABLE-KEY'><SHORT-NAME>ByRow</SHORT-NAME>"
                        "<BYTE-POSITION>6</BYTE-POSITION><TABLE-ROW-REF ID-REF='R2'/></PARAM>"));
    IParam* key = RequestParam("T", 1);
    QM_EXPECT_FIELDS(*key, (IsKey(), 1), (GetBitLength(), 16));
    ASSERT_EQ(key->GetValueCount(), 2u);
    QM_EXPECT_FIELDS(*key->GetValue(uint64_t{0}), (GetText(), "Row1"), (GetRangeStart(), 258u));
    // A physical key text goes through the key's text table, and is reported as no number.
    EXPECT_EQ(key->GetValue(uint64_t{1})->GetRangeStart(), 2u);
    // The key-value lines have no line end: the next line follows at once.
    EXPECT_THAT(Log(), HasSubstr("Warning: Non-numerical key value: ProgrammingWarning: "
                                 "Non-numerical key value: not a key"))
        << Log();
    EXPECT_THAT(Log(), Not(HasSubstr("key value: not a key\r\n"))) << Log();
    IParam* data = RequestParam("T", 2);
    EXPECT_EQ(data->IsConditional(), 1);
    ASSERT_EQ(data->GetChoiceCount(), 2u);
    EXPECT_STREQ(data->SelectChoice(0)->GetName(), "Row1");
    EXPECT_EQ(data->SelectChoice(0)->GetSubParamCount(), 1u);
    EXPECT_THAT(Log(), HasSubstr("Unresolved: TABLE-KEY-REF : NOPE\r\n"));
    EXPECT_THAT(Log(), HasSubstr("ODX Warning: unresolved TABLE-SNREF: \"Missing\"\r\n"));
    EXPECT_EQ(RequestParam("T", 5)->GetValue(), 2u);  // the row it names
    // Encoding picks the case of the key's value.
    IUDSFunction* request = ServiceOf(library.GetEcu(0), "T")->GetRequest(0);
    EXPECT_EQ(EncodedBytes(request).size(), 10u);  // the last key, two bytes, pushed to byte 8
}

TEST_F(OdxBuild, SessionsFromRelatedSessionServices) {
    const std::string dictionary =
        "<DATA-OBJECT-PROPS>" + Dop("SESS", "Session", 8, TextTable()) + "</DATA-OBJECT-PROPS>";
    const std::string sessionRequest =
        Request("RS", Sid(0x10) +
                          "<PARAM xsi:type='PHYS-CONST' SEMANTIC='SUBFUNCTION'><SHORT-NAME>Sub"
                          "</SHORT-NAME><BYTE-POSITION>1</BYTE-POSITION><PHYS-CONSTANT-VALUE>"
                          "Programming</PHYS-CONSTANT-VALUE><DOP-REF ID-REF='SESS'/></PARAM>");
    const std::string related =
        "<RELATED-DIAG-COMM-REFS><RELATED-DIAG-COMM-REF ID-REF='SP'><RELATION-TYPE>SESSION"
        "</RELATION-TYPE></RELATED-DIAG-COMM-REF><RELATED-DIAG-COMM-REF ID-REF='SP'>"
        "<RELATION-TYPE>OTHER</RELATION-TYPE></RELATED-DIAG-COMM-REF></RELATED-DIAG-COMM-REFS>";
    Build(BaseOdx(Dictionary(dictionary) +
                  Comms(Service("SP", "Prog", "RS") + Service("W", "Write", "RW", related),
                        sessionRequest + Request("RW", Sid(0x2E)))));
    IUDSService* write = ServiceOf(library.GetEcu(0), "Write");
    ASSERT_EQ(write->GetSessionCount(), 1u);
    QM_EXPECT_FIELDS(*write, (GetSession(0), 2), (HasSession(2), true));
    IParam* sub = ServiceOf(library.GetEcu(0), "Prog")->GetRequest(0)->GetParam(1);
    EXPECT_STREQ(sub->GetType(), "CONSTCOMP");
}

TEST_F(OdxBuild, ResponsesAndDescription) {
    Build(BaseOdx(Comms(Service("S", "T", "R",
                                "<LONG-NAME>Tester</LONG-NAME><DESC><p>one</p><p>two</p></DESC>" +
                                    odx::PositiveResponseRef("PR") +
                                    "<NEG-RESPONSE-REFS><NEG-RESPONSE-REF ID-REF='NR'/>"
                                    "</NEG-RESPONSE-REFS>"),
                        Request("R", Sid(0x3E))) +
                  "<POS-RESPONSES>" + odx::Message("POS-RESPONSE", "PR", Sid(0x7E)) +
                  "</POS-RESPONSES><NEG-RESPONSES>" +
                  odx::Message("NEG-RESPONSE", "NR", Sid(0x7F)) + "</NEG-RESPONSES>"));
    IUDSService* service = ServiceOf(library.GetEcu(0), "T");
    QM_EXPECT_FIELDS(*service, (GetLongName(), "Tester"), (GetDesc(), "\r\none\r\ntwo"),
                     (GetXmlLocation(), "S"));
    ASSERT_EQ(service->GetPositiveResponseCount(), 1u);
    ASSERT_EQ(service->GetNegativeResponseCount(), 1u);
    EXPECT_STREQ(service->GetPositiveResponse(0)->GetName(), "PR");
    EXPECT_EQ(EncodedBytes(service->GetNegativeResponse(0)), (std::vector<uint8_t>{0x7F}));
}

}  // namespace
}  // namespace qm::diag::test
