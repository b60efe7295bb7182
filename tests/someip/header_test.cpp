// The C++ text of a service's data types: the exact form of each kind of member, the
// compatibility block, and a header of every fixture service that a compiler accepts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "expect_fields.h"
#include "expect_texts.h"
#include "someip/header_generator.h"
#include "someip/service_cfg.h"
#include "someip_test_support.h"

namespace {

using namespace qm::someip;

CVariable* AddPlain(CStructDatatype& s, const std::string& name, uint32_t code) {
    auto v = std::make_unique<CVariable>(name);
    v->baseType = code;
    return s.AddVariable(std::move(v));
}

TEST(HeaderText, EveryBaseCodeHasItsTypeName) {
    CSomeIpServiceCfg service("S");
    auto s = std::make_unique<CStructDatatype>("All");
    const char* expected[] = {"boolean", "uint8", "uint16",  "uint32",  "uint64", "int8", "int16",
                              "int32",   "int64", "float32", "float64", "String", "uuid", "struct"};
    for (uint32_t code = 0; code < 14; ++code) AddPlain(*s, "m" + std::to_string(code), code);
    service.AddStructure(std::move(s));
    std::string text = service.GenerateHeader();
    for (uint32_t code = 0; code < 14; ++code) {
        const std::string line =
            std::string("    ") + expected[code] + " m" + std::to_string(code) + ";\n";
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

TEST(HeaderText, UnresolvedTypeKeepsItsDeclaredName) {
    CSomeIpServiceCfg service("S");
    auto s = std::make_unique<CStructDatatype>("Holder");
    CVariable* v = AddPlain(*s, "value", kBaseUnresolved);
    v->declaredType = "T";
    service.AddStructure(std::move(s));
    EXPECT_EQ(std::string(service.GenerateHeader()),
              "struct Service_S_Holder\n{\n    T /* TODO unresolved */  value;\n};\n\n");
}

TEST(HeaderText, EnumerationsPadTheirNamesToTheLongest) {
    CSomeIpServiceCfg service("S");
    auto s = std::make_unique<CStructDatatype>("Mode");
    CVariable* v = AddPlain(*s, "mode", kBaseUInt16);
    v->AddValue(std::make_unique<CValue>("0", "Off"));
    v->AddValue(std::make_unique<CValue>("0x2", "Standby"));
    service.AddStructure(std::move(s));
    EXPECT_EQ(std::string(service.GenerateHeader()),
              "struct Service_S_Mode\n{\n"
              "    enum class e_mode : uint16\n    {\n"
              "        Off     = 0,\n        Standby = 0x2\n"
              "    } mode;\n};\n\n");
}

TEST(HeaderText, ArraysTakeTheElementTextAndOpenArraysEndEarly) {
    CSomeIpServiceCfg service("S");
    auto s = std::make_unique<CStructDatatype>("Arrays");
    CVariable* fixed = AddPlain(*s, "fixed", kBaseUInt8);
    fixed->array = true;
    fixed->arraySize = 2;
    fixed->elementType = "float32";  // the element text wins over the code
    fixed->AddValue(std::make_unique<CValue>("0", "first"));
    fixed->AddValue(std::make_unique<CValue>("1", "second"));
    CVariable* colours = AddPlain(*s, "colours", kBaseUInt8);
    colours->array = true;
    colours->arraySize = 1;
    colours->enumTypeName = "colour";
    colours->AddValue(std::make_unique<CValue>("0", "Red"));
    CVariable* open = AddPlain(*s, "open", kBaseUInt8);
    open->array = true;
    open->arraySize = 0;
    open->elementType = "uint8";
    service.AddStructure(std::move(s));
    EXPECT_EQ(std::string(service.GenerateHeader()),
              "struct Service_S_Arrays\n{\n"
              "    float32 fixed[2] =\n    {\n        first,\n        second\n    };\n"
              "    e_colour colours[1] =\n    {\n        e_colour::Red\n    };\n"
              "    uint8 open[];\n"
              "};\n\n");
}

TEST(HeaderText, NestedStructuresIndentByDepth) {
    CSomeIpServiceCfg service("S");
    auto outer = std::make_unique<CStructDatatype>("outer");
    auto variable = std::make_unique<CVariable>("inner");
    auto inner = std::make_unique<CStructDatatype>("inner");
    AddPlain(*inner, "x", kBaseInt32);
    variable->SetNested(std::move(inner));
    outer->AddVariable(std::move(variable));
    AddPlain(*outer, "after", kBaseBoolean);
    service.AddStructure(std::move(outer));
    EXPECT_EQ(std::string(service.GenerateHeader()),
              "struct Service_S_Outer\n{\n"
              "    struct inner_s\n    {\n        int32 x;\n    } inner;\n\n"
              "    boolean after;\n};\n\n");
}

TEST(HeaderText, CompatibilityBlockIsFixedAndUsesCrLf) {
    CSomeIpServiceCfg service("S");
    const std::string block = service.GenerateCompatibilityDefines();
    EXPECT_EQ(block.rfind("\r\n//----------------------- compatibility defines "
                          "-----------------------\r\n#ifndef uint8\r\n#define uint8 uint8_t\r\n"
                          "#endif\r\n",
                          0),
              0u);
    qmtest::ExpectTexts(block, {"#ifndef sint16\r\n#define sint16 int16_t\r\n#endif\r\n",
                                "!#define int16", "#define String std::string\r\n"});
    const std::string tail = "#ifndef uuid\r\nusing uuid = char[17];\r\n#endif\r\n\r\n";
    EXPECT_EQ(block.substr(block.size() - tail.size()), tail);
    EXPECT_EQ(block.find('\n', 0), 1u);  // every line end is "\r\n"
    EXPECT_EQ(qmtest::Occurrences(block, "\r\n"), 2u + 12u * 3u + 3u + 1u);
}

TEST(HeaderText, EachCallReplacesTheStoredText) {
    CSomeIpServiceCfg service("S");
    const std::string empty = service.GenerateHeader();
    EXPECT_EQ(empty, "");
    auto s = std::make_unique<CStructDatatype>("a");
    AddPlain(*s, "v", kBaseUInt8);
    service.AddStructure(std::move(s));
    EXPECT_EQ(std::string(service.GenerateHeader()).rfind("struct Service_S_A\n", 0), 0u);
}

// The reader's structures of the example service, rendered.
TEST(HeaderFromReader, ExampleRadioService) {
    CArxmlDatabase db;
    ASSERT_TRUE(someip_test::LoadPaths(db, {QM_SOURCE_DIR "/examples/someip_services.arxml"}));
    ISomeIpServiceCfg* radio = db.GetEcu(0)->FindService("Radio");
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(
        std::string(radio->GenerateHeader()),
        "struct Service_Radio_StationInfo\n{\n"
        "    String title;\n    boolean stereo;\n    int8 quality;\n    uuid id;\n};\n\n"
        "struct Service_Radio_Tuner\n{\n"
        "    uint32 frequency;\n"
        "    enum class e_band : uint8\n    {\n"
        "        AM      = 0,\n        FM      = 1,\n        Digital = 2\n    } band;\n"
        "    uint16 presets[4] =\n    {\n    };\n"
        "    e_band history[2] =\n    {\n    };\n"
        "    struct station_s\n    {\n"
        "        String title;\n        boolean stereo;\n        int8 quality;\n        uuid id;\n"
        "    } station;\n\n"
        "    uint8 name[];\n"
        "};\n\n");
    // An array of structures names the structure written before it.
    ISomeIpServiceCfg* nav = db.GetEcu(0)->FindService("Navigation");
    ASSERT_EQ(nav->GetStructDatatypeCount(), 2u);
    EXPECT_STREQ(nav->GetStructDatatype(0)->GetName(), "Point");
    IVariable* waypoints = nav->FindStructDatatype("Route")->FindVariable("waypoints");
    ASSERT_NE(waypoints, nullptr);
    QM_EXPECT_FIELDS(*waypoints, (IsArray(), true), (GetArraySize(), 3u),
                     (GetElementType(), "Service_Navigation_Point"));
}

// Every service of the example compiles as the tool writes it.
TEST(HeaderFromReader, ToolHeaderOfEveryServiceCompiles) {
    if (std::system("command -v g++ > /dev/null 2>&1") != 0) GTEST_SKIP() << "no g++";
    for (const char* service : {"Radio", "Navigation", ""}) {
        someip_test::TempFile out("", ".h");
        std::string command =
            std::string(QM_TOOL_PATH) +
            " header --exact " QM_SOURCE_DIR "/examples/someip_services.arxml -o " + out.Path();
        if (*service) command += std::string(" --service ") + service;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string compile = "g++ -std=c++17 -Wall -Werror -fsyntax-only " + out.Path();
        EXPECT_EQ(std::system(compile.c_str()), 0) << "service " << service;
    }
}

}  // namespace
