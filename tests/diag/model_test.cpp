// The model on its own: types, masks, choices, encoding, grouping and edit operations.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "diag/diag_tables.h"
#include "diag/diagnose_lib.h"
#include "diag_test_support.h"
#include "expect_fields.h"

namespace qm::diag::test {
namespace {

std::unique_ptr<CParam> Param(const char* name, int bits, const char* value = "") {
    auto param = std::make_unique<CParam>();
    param->name = name;
    param->bitLength = bits;
    param->valueStr = value;
    return param;
}

void AddEntry(CParam& param, const char* text, uint32_t start, uint32_t end) {
    param.valueTable.push_back(std::make_unique<CVTabValue>(text, start, end));
}

TEST(DiagTypes, BaseTypeCodeFromNameTakesTheFirstHit) {
    // Case is ignored; "UINT" alone is a byte field; "UINT8" is searched before "ASCII".
    const std::pair<const char*, uint32_t> cases[] = {
        {"A_UINT16", 3u},    {"a_uint16", 3u},    {"UINT", 16u},      {"uint", 16u},
        {"Uint", 16u},       {"UINTX", 0u},       {"", 0u},           {"STRING", 0u},
        {"A_INT32", 6u},     {"ASCII_UINT8", 1u}, {"A_FLOAT64", 10u}, {"float", 9u},
        {"A_BYTEFIELD", 16u}};
    for (const auto& [name, code] : cases) EXPECT_EQ(BaseTypeCodeOf(name), code) << name;
}

TEST(DiagTypes, CompletionFromBitLengthAndArraySize) {
    auto param = Param("p", 12);
    param->CompleteType();
    QM_EXPECT_FIELDS(*param, (baseDataType, "UINT16"), (dataType, "UINT16"), (baseTypeCode, 3u));

    auto array = Param("a", 12);
    array->arraySizeMax = 4;
    array->CompleteType();
    EXPECT_EQ(array->dataType, "UINT16[4]");

    auto wide = Param("w", 80);
    wide->typeSigned = 1;
    wide->CompleteType();
    EXPECT_EQ(wide->baseDataType, "INT");  // no suffix above 64 bits
    EXPECT_EQ(wide->baseTypeCode, 0u);

    // A named type with no length takes the table's default length and signedness.
    auto named = Param("n", 0);
    named->baseDataType = "A_INT16";
    named->CompleteType();
    QM_EXPECT_FIELDS(*named, (bitLength, 16), (typeSigned, 1));
}

TEST(DiagTypes, LengthFromSubParametersLeavesThemAsTheyAre) {
    // A length-less sub-parameter counts its own sub-parameters' sum, not its type's default.
    auto parent = Param("s", 0);
    parent->subParams.push_back(Param("a", 8));
    parent->subParams.push_back(Param("named", 0));
    parent->subParams.back()->baseDataType = "A_UINT16";
    parent->subParams.push_back(Param("nested", 0));
    parent->subParams.back()->subParams.push_back(Param("x", 3));
    parent->subParams.back()->subParams.push_back(Param("y", 5));
    parent->CompleteType();
    EXPECT_EQ(parent->bitLength, 8 + 0 + 8);
    QM_EXPECT_FIELDS(*parent->subParams[1], (bitLength, 0), (baseTypeCode, 0u), (dataType, ""));
    QM_EXPECT_FIELDS(*parent->subParams[2], (bitLength, 0), (baseDataType, ""));
}

TEST(DiagTypes, StructureLengthSumsSubParametersTimesArraySize) {
    auto parent = Param("s", 0);
    parent->subParams.push_back(Param("a", 8));
    parent->subParams.push_back(Param("b", 4));
    parent->subParams.back()->arraySizeMin = 3;
    parent->subParams.back()->arraySizeMax = 3;
    parent->subParams.push_back(Param("c", 2));
    parent->subParams.back()->arraySizeMin = 5;  // no max: counts once
    parent->CompleteStructType();
    EXPECT_EQ(parent->bitLength, 8 + 12 + 2);
    QM_EXPECT_FIELDS(*parent, (baseDataType, "STRUCT"), (baseTypeCode, 14u));
}

TEST(DiagTypes, PresentationMarksProxiesAndStructures) {
    auto proxy = Param("p", 8);
    proxy->type = "SimpleProxyComp";
    proxy->FinishPresentationType();
    QM_EXPECT_FIELDS(*proxy, (baseDataType, "PROXY"), (baseTypeCode, 15u));

    auto ordered = Param("o", 0);
    ordered->byteOrder = 2;
    ordered->subParams.push_back(Param("a", 8));
    ordered->subParams.push_back(Param("b", 8));
    ordered->FinishPresentationType();
    EXPECT_EQ(ordered->baseTypeCode, 0u);  // a byte order keeps it from being a structure
}

TEST(DiagValues, MasksAndNumbersInText) {
    auto param = Param("p", 5, "255");
    EXPECT_EQ(param->GetBitMask(), 31u);
    EXPECT_EQ(param->bitMask, 31u);  // stored once derived
    EXPECT_EQ(param->GetValue(), 31u);
    for (const auto& [text, value] : {std::pair{"1A", 0x1Au}, {"0x1B", 0x1Bu}, {"-3", 0u}}) {
        param->SetValueText(text);
        EXPECT_EQ(param->GetValue(), value) << text;
    }
    param->defaultText = "zz";
    EXPECT_EQ(param->GetDefaultValue(), 0u);
    EXPECT_EQ(Param("w", 40)->GetBitMask(), 0xFFFFFFFFu);
    EXPECT_EQ(Param("z", 0)->GetBitMask(), 0u);
}

TEST(DiagValues, ValueTextAndValueTableLookup) {
    auto param = Param("p", 8);
    AddEntry(*param, "low", 1, 3);
    AddEntry(*param, "single", 7, 7);
    AddEntry(*param, "wide", 0, 10);
    AddEntry(*param, "reversed", 9, 2);
    AddEntry(*param, "again", 7, 7);
    EXPECT_STREQ(param->GetValueText(), "1");  // empty text takes the first entry's start
    // The last entry with start >= value >= end: single values or reversed ranges.
    bool found = true;
    EXPECT_STREQ(param->FindValueText(5, &found), "reversed");
    EXPECT_TRUE(found);
    QM_EXPECT_FIELDS(*param, (FindValueText(7, &found), "again"), (FindValueText(1, &found), ""));
    EXPECT_FALSE(found);

    auto outer = Param("o", 8);
    outer->subParams.push_back(Param("inner", 8, "42"));
    EXPECT_STREQ(outer->GetValueText(), "42");

    // The value of a single sub-parameter comes first; still empty, the table's first entry.
    auto wrapped = Param("w", 8);
    wrapped->subParams.push_back(Param("inner", 8));
    AddEntry(*wrapped, "first", 4, 6);
    EXPECT_STREQ(wrapped->GetValueText(), "4");

    double f = 0, d = 0, o = 0;
    EXPECT_EQ(param->GetScaling(&f, &d, &o), 0);
    EXPECT_EQ(f, 0.0);  // not written without scaling
    uint32_t a = 0, b = 0;
    param->rangeFirst = 5;
    EXPECT_FALSE(param->GetRange(&a, &b));
    param->rangeSecond = 9;
    EXPECT_TRUE(param->GetRange(&a, &b));
    EXPECT_EQ(b, 9u);
}

TEST(DiagValues, ChoicesOfKeysAndMultiplexers) {
    auto key = Param("key", 8);
    key->isKey = 1;
    AddEntry(*key, "A", 10, 10);
    AddEntry(*key, "B", 20, 29);
    EXPECT_EQ(key->GetChoiceCount(), 2u);
    EXPECT_EQ(key->SelectChoice(1), key.get());
    EXPECT_EQ(key->valueStr, "20");

    auto mux = Param("mux", 8);
    mux->isConditional = 1;
    mux->conditionalParams.push_back(Param("case0", 16));
    mux->conditionalParams.push_back(Param("case1", 24));
    EXPECT_EQ(mux->GetChoiceCount(), 2u);
    EXPECT_EQ(mux->SelectChoice(1), mux->conditionalParams[1].get());
    EXPECT_EQ(mux->bitLength, 24);

    auto plain = Param("plain", 8);
    EXPECT_EQ(plain->GetChoiceCount(), 0u);
    EXPECT_EQ(plain->SelectChoice(0), plain.get());
}

TEST(DiagEncode, BytesOfARequest) {
    CUDSFunction single;
    EXPECT_EQ(single.Encode(nullptr, 0), 0u);
    single.AddParam(Param("sid", 8, "34"));
    uint8_t byte = 0xFF;
    ASSERT_EQ(single.Encode(&byte, 1), 1u);
    EXPECT_EQ(byte, 0x22);

    CUDSFunction request;
    request.AddParam(Param("sid", 8, "34"));
    auto did = Param("did", 16, "0xF190");
    did->bytePosition = 1;
    request.AddParam(std::move(did));
    auto array = Param("arr", 8, "7");
    array->bytePosition = 3;
    array->arraySizeMin = 2;
    request.AddParam(std::move(array));
    ASSERT_EQ(request.Encode(nullptr, 0), 5u);
    uint8_t bytes[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(request.Encode(bytes, 0), 5u);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 5),
              (std::vector<uint8_t>{0x22, 0xF1, 0x90, 7, 7}));

    // A short buffer is never written beyond its size.
    uint8_t shortBuffer[2] = {0, 0};
    EXPECT_EQ(request.Encode(shortBuffer, 2), 5u);
    EXPECT_EQ(shortBuffer[1], 0xF1);
}

// A parameter without a value writes nothing and leaves the cursor for the next one.
TEST(DiagEncode, AParameterWithoutValueLeavesTheCursor) {
    CUDSFunction request;
    request.AddParam(Param("sid", 8, "34"));
    auto empty = Param("empty", 8);
    empty->bytePosition = 1;
    request.AddParam(std::move(empty));
    auto last = Param("last", 8, "5");
    last->bytePosition = 2;
    request.AddParam(std::move(last));
    EXPECT_EQ(EncodedBytes(&request), (std::vector<uint8_t>{0x22, 5, 0}));
}

TEST(DiagEncode, BitFieldsShareAByte) {
    CUDSFunction request;
    request.AddParam(Param("low", 4, "5"));
    auto high = Param("high", 4, "3");
    high->bitPosition = 4;
    request.AddParam(std::move(high));
    EXPECT_EQ(EncodedBytes(&request), (std::vector<uint8_t>{0x35}));
}

TEST(DiagEncode, KeyValueSelectsTheMultiplexerCase) {
    CUDSFunction request;
    auto key = Param("key", 8, "2");
    key->isKey = 1;
    AddEntry(*key, "one", 1, 1);
    AddEntry(*key, "two", 2, 2);
    request.AddParam(std::move(key));
    auto mux = Param("mux", 8);
    mux->bytePosition = 1;
    mux->isConditional = 1;
    mux->conditionalParams.push_back(Param("case one", 8, "17"));
    mux->conditionalParams.push_back(Param("case two", 16, "4660"));
    mux->conditionalParams.back()->bytePosition = 1;
    request.AddParam(std::move(mux));
    EXPECT_EQ(EncodedBytes(&request), (std::vector<uint8_t>{2, 0x12, 0x34}));
}

// One parameter's bytes: partial bytes, wider than the mask or 64 bits, odd bit positions.
struct EncodeCase {
    const char* label;
    int bits;
    int bitPosition;
    int bytePosition;
    const char* value;
    std::vector<uint8_t> bytes;  // the parameter's bytes followed by a second one of value 0x5A
};

class DiagEncodeWidths : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(DiagEncodeWidths, WritesTheMaskedValueFromTheTop) {
    const EncodeCase& c = GetParam();
    CUDSFunction request;
    auto param = Param("p", c.bits, c.value);
    param->bitPosition = c.bitPosition;
    param->bytePosition = c.bytePosition;
    request.AddParam(std::move(param));
    auto next = Param("next", 8, "90");
    next->bytePosition = 20;  // far enough: only the length counts it there
    request.AddParam(std::move(next));
    std::vector<uint8_t> bytes(request.Encode(nullptr, 0), 0xEE);
    ASSERT_EQ(bytes.size(), 21u);
    EXPECT_EQ(request.Encode(bytes.data(), bytes.size()), 21u);
    bytes.resize(c.bytes.size());
    EXPECT_EQ(bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, DiagEncodeWidths,
    ::testing::Values(
        // The top byte first, the low bits at the bit position in the next; ending a byte moves on.
        EncodeCase{"TwelveBits", 12, 7, 0, "2737", {0xAB, 0x80, 0x5A}},
        EncodeCase{"TwelveBitsInsideAByte", 12, 0, 0, "2748", {0xAB, 0x5A, 0}},
        // The mask holds 32 bits: the upper half of a 64-bit value is lost.
        EncodeCase{"SixtyFourBits",
                   64,
                   0,
                   0,
                   "0x1122334455667788",
                   {0, 0, 0, 0, 0x55, 0x66, 0x77, 0x88, 0x5A}},
        EncodeCase{"SeventyTwoBits", 72, 0, 0, "5", {0, 0, 0, 0, 0, 0, 0, 0, 5, 0x5A}},
        // Bits that end a byte move the cursor; bits that do not leave it for the next value.
        EncodeCase{"LastBitOfAByte", 1, 7, 0, "1", {0x80, 0x5A}},
        EncodeCase{"BitsInsideAByte", 3, 2, 0, "7", {0x5A, 0}},
        // A text that is no number writes a zero byte and still takes its place.
        EncodeCase{"NegativeText", 8, 0, 0, "-1", {0, 0x5A}},
        // A byte position is only a length: the next value follows at the cursor.
        EncodeCase{"LaterBytePosition", 8, 0, 3, "1", {1, 0x5A, 0}}),
    [](const ::testing::TestParamInfo<EncodeCase>& info) { return info.param.label; });

// A library with one ECU whose class holds the given services.
struct Fixture {
    CDiagnoseLib library;
    CECU* ecu = nullptr;
    CFunctionalClass* cls = nullptr;

    Fixture() {
        library.Ecus().push_back(std::make_unique<CECU>());
        ecu = library.Ecus().back().get();
        ecu->shortName = "ECU";
        library.AddFunctionalClass("Class", ecu);
        cls = ecu->functionalClasses.back().get();
    }

    CUDSService* AddService(const char* name, uint8_t id) {
        library.AddService(name, id, cls);
        return cls->services.back().get();
    }
};

// The service names of a class, in order.
std::vector<std::string> ClassServiceNames(IFunctionalClass* cls) {
    std::vector<std::string> names;
    for (uint64_t s = 0; s < cls->GetServiceCount(); ++s)
        names.push_back(cls->GetService(s)->GetName());
    return names;
}

TEST(DiagGrouping, ServicesGroupedByIdentifierWithUnclassifiedLast) {
    Fixture f;
    f.AddService("reset", 0x11);
    f.AddService("session", 0x10);
    f.AddService("odd", 0xFF);
    f.AddService("empty", 0);
    f.cls->services.back()->requests.front()->params.clear();
    f.library.SetGrouping(1);
    ASSERT_EQ(f.ecu->GetFunctionalClassCount(), 3u);
    EXPECT_STREQ(f.ecu->GetFunctionalClass(0)->GetName(), "10  Diagnostic Session Control");
    EXPECT_STREQ(f.ecu->GetFunctionalClass(1)->GetName(), "11  ECU Reset");
    IFunctionalClass* rest = f.ecu->GetFunctionalClass(2);
    EXPECT_STREQ(rest->GetName(), "Unclassified services");
    ASSERT_EQ(rest->GetServiceCount(), 2u);
    EXPECT_STREQ(rest->GetService(0)->GetName(), "odd");
    // The file's classes are untouched and come back when grouping is switched off.
    f.library.SetGrouping(0);
    ASSERT_EQ(f.ecu->GetFunctionalClassCount(), 1u);
    EXPECT_EQ(f.ecu->GetFunctionalClass(0)->GetServiceCount(), 4u);
}

// Identifier services: split per entry in identifier order, narrowed or renamed.
TEST(DiagGrouping, IdentifierServicesAreSplitNarrowedOrRenamed) {
    Fixture f;
    CUDSService* read = f.AddService("Read", 0x22);
    read->desc = "reads data";
    auto did = Param("Record Data Identifier", 16);
    did->isKey = 1;
    AddEntry(*did, "Serial", 0xF18C, 0xF18C);
    AddEntry(*did, "Part", 0xF187, 0xF187);
    AddEntry(*did, "Boot", 0x0100, 0x0100);
    read->requests.front()->AddParam(std::move(did));
    read->positiveResponses.push_back(std::make_unique<CUDSFunction>());
    CUDSService* named = f.AddService("Named", 0x22);
    named->desc = "reads the Part number";
    auto part = Param("did", 16);
    AddEntry(*part, "Serial", 1, 1);
    AddEntry(*part, "Part", 2, 2);
    named->requests.front()->AddParam(std::move(part));
    f.AddService("VIN Read", 0x22)->requests.front()->AddParam(Param("did", 16, "61840"));
    f.AddService("Zero", 0x22)->requests.front()->AddParam(Param("did", 16, "0"));

    f.library.SetGrouping(1);
    ASSERT_EQ(f.ecu->GetFunctionalClassCount(), 1u);
    IFunctionalClass* group = f.ecu->GetFunctionalClass(0);
    EXPECT_STREQ(group->GetName(), "22  Read Data By Identifier");
    // The copies in identifier order; "Zero" keeps its name and its place.
    EXPECT_EQ(ClassServiceNames(group),
              (std::vector<std::string>{"Zero", "0002 Part", "0100 Boot", "F187 Part",
                                        "F18C Serial", "F190 VIN Read"}));
    IParam* narrowed = group->GetService(3)->GetRequest(0)->GetParam(1);
    ASSERT_EQ(narrowed->GetValueCount(), 1u);
    EXPECT_STREQ(narrowed->GetValue(0)->GetText(), "Part");
}

// No identifier parameter: kept; above four hex digits: written in full; empty text: named.
TEST(DiagGrouping, IdentifierEdgesKeepOrNameServices) {
    Fixture f;
    f.AddService("Bare", 0x2E)->desc = "no identifier";
    CUDSService* wide = f.AddService("Wide", 0x31);
    for (int i = 1; i < 3; ++i) wide->requests.front()->AddParam(Param("pad", 8, "1"));
    wide->requests.front()->AddParam(Param("Routine Identifier", 32, "74565"));
    CUDSService* blank = f.AddService("Blank", 0x22);
    blank->desc = "anything";
    auto did = Param("did", 16);
    AddEntry(*did, "Named", 0x10, 0x10);
    AddEntry(*did, "", 0x20, 0x20);
    AddEntry(*did, "Other", 0x30, 0x30);
    blank->requests.front()->AddParam(std::move(did));

    f.library.SetGrouping(1);
    ASSERT_EQ(f.ecu->GetFunctionalClassCount(), 3u);
    const auto names = [&](uint64_t g) { return ClassServiceNames(f.ecu->GetFunctionalClass(g)); };
    EXPECT_EQ(names(0), (std::vector<std::string>{"0020 "}));
    EXPECT_EQ(names(1), (std::vector<std::string>{"Bare"}));
    EXPECT_EQ(names(2), (std::vector<std::string>{"12345 Wide"}));
    IParam* narrowed = f.ecu->GetFunctionalClass(0)->GetService(0)->GetRequest(0)->GetParam(1);
    ASSERT_EQ(narrowed->GetValueCount(), 1u);
    EXPECT_EQ(narrowed->GetValue(0)->GetRangeStart(), 0x20u);
}

// 20000 identifiers: each copy keeps only its own entries and record; the split stays linear.
TEST(DiagGrouping, ThousandsOfIdentifiersSplitLinearlyAndKeepTheirOwnParts) {
    Fixture f;
    CUDSService* read = f.AddService("Read", 0x22);
    constexpr uint32_t kIdentifiers = 20000;
    auto requestDid = Param("Record Data Identifier", 16);
    requestDid->isKey = 1;
    auto responseDid = Param("Record Data Identifier", 16);
    responseDid->isKey = 1;
    auto record = Param("Data Record", 0);
    for (uint32_t i = 0; i < kIdentifiers; ++i) {
        const std::string text = "DID" + std::to_string(i);
        AddEntry(*requestDid, text.c_str(), i, i);
        AddEntry(*responseDid, text.c_str(), i, i);
        auto condition = Param(text.c_str(), 8);
        record->conditionalParams.push_back(std::move(condition));
    }
    AddEntry(*responseDid, "DID7", 99999, 99999);  // a second entry of one text stays with it
    read->requests.front()->AddParam(std::move(requestDid));
    auto response = std::make_unique<CUDSFunction>();
    response->AddParam(Param("Response Service ID", 8, "98"));
    response->AddParam(std::move(responseDid));
    response->AddParam(std::move(record));
    read->positiveResponses.push_back(std::move(response));

    const auto start = std::chrono::steady_clock::now();
    f.library.SetGrouping(1);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);  // generous for a loaded machine; quadratic takes minutes

    IFunctionalClass* group = f.ecu->GetFunctionalClass(0);
    ASSERT_EQ(group->GetServiceCount(), kIdentifiers);
    for (uint64_t s : {uint64_t{0}, uint64_t{7}, uint64_t{12345}, uint64_t{kIdentifiers - 1}}) {
        IUDSService* service = group->GetService(s);
        const std::string text = "DID" + std::to_string(s);
        char name[32];
        std::snprintf(name, sizeof name, "%04llX ", static_cast<unsigned long long>(s));
        EXPECT_EQ(service->GetName(), name + text);
        IParam* request = service->GetRequest(0)->GetParam(1);
        ASSERT_EQ(request->GetValueCount(), 1u);
        EXPECT_EQ(request->GetValue(0)->GetText(), text);
        auto* response = static_cast<CParam*>(service->GetPositiveResponse(0)->GetParam(1));
        ASSERT_EQ(response->valueTable.size(), s == 7 ? 2u : 1u);
        EXPECT_EQ(response->valueTable.back()->rangeEnd, s == 7 ? 99999u : s);
        auto* data = static_cast<CParam*>(service->GetPositiveResponse(0)->GetParam(2));
        ASSERT_EQ(data->conditionalParams.size(), 1u);
        EXPECT_EQ(data->conditionalParams.front()->name, text);
        EXPECT_EQ(data->conditionalParams.front()->owner, reinterpret_cast<uint64_t>(data));
    }
}

TEST(DiagLibrary, EditOperations) {
    CDiagnoseLib library;
    CECU foreign;
    EXPECT_EQ(library.AddFunctionalClass("x", &foreign), 0);
    EXPECT_EQ(library.AddEcu("Door"), 1);
    ASSERT_EQ(library.GetEcuCount(), 1u);
    IECU* ecu = library.GetEcu(0);
    EXPECT_STREQ(ecu->GetShortName(), "Door");
    EXPECT_EQ(library.AddFunctionalClass("Class", ecu), 1);
    IFunctionalClass* cls = ecu->GetFunctionalClass(0);
    EXPECT_EQ(library.AddService("Reset", 0x11, cls), 1);
    EXPECT_EQ(library.AddService("Reset", 0x11, nullptr), 0);
    IUDSService* service = cls->GetService(0);
    EXPECT_EQ(service->GetServiceId(), 0x11);
    IParam* sid = service->GetRequest(0)->GetParam(0);
    QM_EXPECT_FIELDS(*sid, (GetName(), "Request Service ID"), (GetBitMask(), 255u));
    QM_EXPECT_FIELDS(*service, (GetSession(0), 255), (GetRequest(1), nullptr));
    QM_EXPECT_FIELDS(library, (GetEcu(1), nullptr),
                     (GetUdsServiceName(0x22), "Read Data By Identifier"),
                     (GetUdsServiceName(0x01), nullptr));
    // The ECU's subtree was attached: the next build brings the ECU back.
    EXPECT_EQ(library.BuildModel(), 1);
    ASSERT_EQ(library.GetEcuCount(), 1u);
    EXPECT_STREQ(library.GetEcu(0)->GetShortName(), "Door");
    ecu = library.GetEcu(0);
    ecu->SetShortName("Front");
    EXPECT_STREQ(ecu->GetLongName(), "");
}

TEST(DiagLibrary, ClearKeepsTheSourceTreeUnderItsParent) {
    NanoXML info("Quillmere", "", 0);
    CDiagnoseLib library;
    info.AddChild(library.SourceTree());
    library.AddEcu("Door");
    library.AppendMessage("line\r\n");
    library.Clear();
    ASSERT_EQ(info.children.size(), 1u);
    NanoXML* tree = info.children.front();
    EXPECT_EQ(tree->name, "DiagnoseLib");
    EXPECT_TRUE(tree->children.empty());
    EXPECT_EQ(tree->GetAttribute("Version"), "03.07 (Development)");
    EXPECT_EQ(tree->GetAttribute("BuildDate"), "Apr 25 2022");
    QM_EXPECT_FIELDS(library, (GetMessages(), ""), (GetEcuCount(), 0u),
                     (GetVersion(), "03.07 Extended"));
    info.children.clear();  // the library detaches its own tree
}

}  // namespace
}  // namespace qm::diag::test
