// The diagnostic library inside the container file: where its element goes, what loading does
// with the stored children, and bad input. (Every corpus file goes through the container form
// in the diagnostic corpus test.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "diag/diag_test_support.h"
#include "expect_fields.h"
#include "facade/quillmere.h"

namespace diag_container {
namespace {

namespace fs = std::filesystem;

const std::string kCdd = std::string(QM_SOURCE_DIR) + "/examples/door_ecu.cdd";
const std::string kDbc = std::string(QM_SOURCE_DIR) + "/examples/powertrain.dbc";

using Scratch = qm::diag::test::TempFile;

std::string Wrapped(const std::string& libraryContent) {
    return "<KOVR><Quillmere><DiagnoseLib version=\"03.07 (Development)\">" + libraryContent +
           "</DiagnoseLib></Quillmere></KOVR>";
}

// A facade with one diagnostic library, as the container needs one to load into.
struct Holder {
    Holder() : library(static_cast<CDiagnoseLib*>(facade.CreateDiagnoseLib())) {}
    // Loads a container whose library element holds `content`.
    bool LoadLibrary(const std::string& content) {
        const Scratch file("library.xml", Wrapped(content));
        return facade.LoadFromFile(file.CPath());
    }
    Quillmere facade;
    CDiagnoseLib* library;
};

TEST(DiagContainer, LibrariesFollowEveryConfigurationInCreationOrder) {
    Quillmere facade;
    auto* first = static_cast<CDiagnoseLib*>(facade.CreateDiagnoseLib());
    facade.CreateNetConfig()->LoadDbc(kDbc.c_str());
    facade.CreateDiagnoseLib();
    ASSERT_EQ(first->LoadCddFile(kCdd.c_str(), 1), 1);
    Scratch saved("order.xml");
    ASSERT_TRUE(facade.SaveToFile(saved.CPath()));

    NanoXML document;
    ASSERT_EQ(document.LoadFile(saved.CPath()), 1);
    NanoXML* frame = document.GetChild(std::string("Quillmere"));
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->attributes.empty());
    std::vector<std::string> names;
    for (NanoXML* child : frame->children) names.push_back(child->name);
    EXPECT_EQ(names, (std::vector<std::string>{"NetConfig", "DiagnoseLib", "DiagnoseLib"}));
    // The first library holds the example, the second nothing but its frame.
    NanoXML* stored = frame->children[1];
    EXPECT_EQ(stored->GetAttribute("version"), "03.07 (Development)");
    ASSERT_FALSE(stored->children.empty());
    EXPECT_EQ(stored->children.front()->name, "ECU");
    EXPECT_EQ(stored->children.back()->name, "ExtDocument");
    EXPECT_TRUE(frame->children[2]->children.empty());
    EXPECT_EQ(frame->children[2]->GetAttribute("totalSubCount"), "0");
    // The libraries' own elements stay where they were.
    EXPECT_EQ(facade.GetXml()->children.size(), 3u);
}

TEST(DiagContainer, StoredChildrenMoveIntoTheNewestLibrary) {
    Holder source;
    ASSERT_EQ(source.library->LoadCddFile(kCdd.c_str(), 1), 1);
    Scratch saved("newest.xml");
    ASSERT_TRUE(source.facade.SaveToFile(saved.CPath()));

    Quillmere facade;
    auto* older = static_cast<CDiagnoseLib*>(facade.CreateDiagnoseLib());
    auto* newest = static_cast<CDiagnoseLib*>(facade.CreateDiagnoseLib());
    ASSERT_TRUE(facade.LoadFromFile(saved.CPath()));
    EXPECT_TRUE(older->SourceTree()->children.empty());
    // The children come in order, directly under the source tree and without a source mark;
    // the model comes with the next build.
    NanoXML* tree = newest->SourceTree();
    ASSERT_EQ(tree->children.size(), 2u);
    QM_EXPECT_FIELDS(*tree->children[0], (name, "ECU"), (parent, tree),
                     (GetAttribute("DiagnoseLibSrc"), ""));
    EXPECT_EQ(tree->children[1]->name, "ExtDocument");
    EXPECT_EQ(newest->GetEcuCount(), 0u);
    ASSERT_EQ(newest->BuildModel(), 1);
    qm::diag::test::ExpectSameModel(*source.library, *newest);
    EXPECT_EQ(older->GetEcuCount(), 0u);
    // Stored external documents are not read back.
    EXPECT_EQ(newest->GetExtDocumentCount(), 0u);
}

// A facade without a library or configuration leaves the stored ones unused.
TEST(DiagContainer, ElementsWithoutAnObjectOfTheirKindAreUnused) {
    Holder source;
    ASSERT_EQ(source.library->LoadCddFile(kCdd.c_str(), 1), 1);
    source.facade.CreateNetConfig()->LoadDbc(kDbc.c_str());
    Scratch saved("unused.xml");
    ASSERT_TRUE(source.facade.SaveToFile(saved.CPath()));
    Quillmere bare;
    ASSERT_TRUE(bare.LoadFromFile(saved.CPath()));
    EXPECT_TRUE(bare.GetXml()->children.empty()) << "nothing is created";
    Quillmere facade;
    INetConfig* config = facade.CreateNetConfig();
    ASSERT_TRUE(facade.LoadFromFile(saved.CPath()));
    EXPECT_EQ(config->GetDataBaseCount(), 1u);
    ASSERT_EQ(facade.GetXml()->children.size(), 1u) << "no library is created";
}

// Both libraries' elements of one file go into the one library; loading twice doubles what it
// holds; after Clear it starts over. Under AddressSanitizer this also proves that the adopted
// elements are freed exactly once and the document read is released.
TEST(DiagContainer, LoadingTwiceOrAfterClearIsSafe) {
    Quillmere source;
    auto* first = static_cast<CDiagnoseLib*>(source.CreateDiagnoseLib());
    auto* second = static_cast<CDiagnoseLib*>(source.CreateDiagnoseLib());
    ASSERT_EQ(first->LoadCddFile(kCdd.c_str(), 1), 1);
    ASSERT_EQ(second->LoadCddFile(kCdd.c_str(), 1), 1);
    Scratch saved("twice.xml");
    ASSERT_TRUE(source.SaveToFile(saved.CPath()));

    Holder holder;
    ASSERT_TRUE(holder.facade.LoadFromFile(saved.CPath()));
    ASSERT_TRUE(holder.facade.LoadFromFile(saved.CPath()));
    ASSERT_EQ(holder.library->BuildModel(), 1);
    EXPECT_EQ(holder.library->GetEcuCount(), 4u);
    // A rebuild gives the same model again.
    ASSERT_EQ(holder.library->BuildModel(), 1);
    EXPECT_EQ(holder.library->GetEcuCount(), 4u);

    holder.facade.Clear();
    auto* fresh = static_cast<CDiagnoseLib*>(holder.facade.CreateDiagnoseLib());
    ASSERT_TRUE(holder.facade.LoadFromFile(saved.CPath()));
    ASSERT_EQ(fresh->BuildModel(), 1);
    ASSERT_EQ(fresh->GetEcuCount(), 2u);
    EXPECT_STREQ(fresh->GetEcu(1)->GetShortName(), first->GetEcu(0)->GetShortName());
    // Deleting the library frees what it adopted; the library's Clear does too.
    fresh->Clear();
    EXPECT_EQ(fresh->GetEcuCount(), 0u);
    EXPECT_TRUE(fresh->SourceTree()->children.empty());
    ASSERT_TRUE(holder.facade.LoadFromFile(saved.CPath()));
    EXPECT_TRUE(holder.facade.DeleteDiagnoseLib(fresh));
    EXPECT_TRUE(holder.facade.GetXml()->children.empty());
}

TEST(DiagContainerBadInput, ALibraryWithoutEcusBuildsNothing) {
    Holder holder;
    ASSERT_TRUE(holder.LoadLibrary("<ExtDocument fileName=\"a\">QUJD</ExtDocument>"));
    EXPECT_EQ(holder.library->BuildModel(), 0);
    QM_EXPECT_FIELDS(*holder.library, (GetEcuCount(), 0u), (GetExtDocumentCount(), 0u));
}

// Elements of the wrong name are skipped where they stand; what is right around them loads.
TEST(DiagContainerBadInput, WrongElementNamesAreSkipped) {
    Holder holder;
    ASSERT_TRUE(
        holder.LoadLibrary("<Ecu shortName=\"lower\"/>"
                           "<ECU shortName=\"E\"><FunctionalClas name=\"typo\"/>"
                           "<FunctionalClass name=\"C\"><Srv name=\"x\"/>"
                           "<Service name=\"S\"><Requests><Param name=\"stray\"/>"
                           "<Function name=\"F\"><Parameter name=\"no\"/><Param name=\"P\"/>"
                           "</Function></Requests><Answers/></Service></FunctionalClass>"
                           "<DTC name=\"D\"><SDG><SD name=\"n\"/><Sd name=\"no\"/></SDG></DTC>"
                           "</ECU>"));
    ASSERT_EQ(holder.library->BuildModel(), 1);
    ASSERT_EQ(holder.library->GetEcuCount(), 1u);
    IECU* ecu = holder.library->GetEcu(0);
    EXPECT_STREQ(ecu->GetShortName(), "E");
    ASSERT_EQ(ecu->GetFunctionalClassCount(), 1u);
    ASSERT_EQ(ecu->GetFunctionalClass(0)->GetServiceCount(), 1u);
    IUDSService* service = ecu->GetFunctionalClass(0)->GetService(0);
    ASSERT_EQ(service->GetRequestCount(), 1u);
    EXPECT_EQ(service->GetPositiveResponseCount(), 0u);
    ASSERT_EQ(service->GetRequest(0)->GetParamCount(), 1u);
    EXPECT_STREQ(service->GetRequest(0)->GetParam(0)->GetName(), "P");
    ASSERT_EQ(ecu->GetDtcCount(), 1u);
    EXPECT_EQ(ecu->GetDtc(0)->GetSdCount(), 1u);
}

TEST(DiagContainerBadInput, NumbersThatAreNoNumbersReadAsZero) {
    Holder holder;
    ASSERT_TRUE(holder.LoadLibrary(
        "<ECU shortName=\"E\" isJobFile=\"yes\"><FunctionalClass name=\"C\">"
        "<Service name=\"S\" isMandatory=\"1x\"><Requests><Function name=\"F\">"
        "<Param name=\"P\" bitLength=\"eight\" bytePosition=\"-\" "
        "bitMask=\"0x\" arraySizeMax=\"99999999999999999999\"><ValueTable>"
        "<Value text=\"v\" rangeStart=\"1e3\" rangeEnd=\"\"/></ValueTable></Param>"
        "</Function></Requests><SessionsAllowed><Session id=\"one\"/>"
        "<Session id=\"300\"/></SessionsAllowed></Service></FunctionalClass>"
        "<DTC name=\"D\" value=\"P0100\" level=\"high\"/></ECU>"));
    ASSERT_EQ(holder.library->BuildModel(), 1);
    IECU* ecu = holder.library->GetEcu(0);
    EXPECT_EQ(ecu->IsJobFile(), 0);
    IUDSService* service = ecu->GetFunctionalClass(0)->GetService(0);
    EXPECT_EQ(service->IsMandatory(), 0);
    IParam* param = service->GetRequest(0)->GetParam(0);
    QM_EXPECT_FIELDS(*param, (GetBitLength(), 0), (GetBytePosition(), 0));
    ASSERT_EQ(param->GetValueCount(), 1u);
    EXPECT_EQ(param->GetValue(0)->GetRangeEnd(), 0u);
    QM_EXPECT_FIELDS(*ecu->GetDtc(0), (GetValue(), 0u), (GetLevel(), 0u));
    // The function still encodes, to nothing but what its parameters say.
    EXPECT_LT(service->GetRequest(0)->Encode(nullptr, 0), 1u << 20);
}

// A text element of 100 MB and an attribute of 1 MB, of a network configuration and a library.
TEST(DiagContainerBadInput, AHugeTextIsKeptWhole) {
    const std::string huge(100u * 1024 * 1024, 'x');
    const std::string longName(1u << 20, 'n');
    Holder holder;
    INetConfig* config = holder.facade.CreateNetConfig();
    const Scratch file(
        "huge.xml", "<KOVR><Quillmere><NetConfig><DBC><Network_name>" + huge +
                        "</Network_name></DBC></NetConfig><DiagnoseLib><ECU "
                        "shortName=\"E\" longName=\"" +
                        longName + "\"/><ECU shortName=\"F\"/></DiagnoseLib></Quillmere></KOVR>");
    ASSERT_TRUE(holder.facade.LoadFromFile(file.CPath()));
    ASSERT_EQ(config->GetDataBaseCount(), 1u);
    EXPECT_EQ(std::string(config->GetDataBase(0)->GetName()).size(), huge.size());
    ASSERT_EQ(holder.library->BuildModel(), 1);
    ASSERT_EQ(holder.library->GetEcuCount(), 2u);
    EXPECT_EQ(std::string(holder.library->GetEcu(0)->GetLongName()), longName);
}

}  // namespace
}  // namespace diag_container
