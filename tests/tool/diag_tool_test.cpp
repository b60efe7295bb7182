// The tool on CDD files: info, dump with and without grouping, check and encode-request.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "expect_fields.h"
#include "tool_support.h"

namespace {

const std::string kExample = std::string(QM_SOURCE_DIR) + "/examples/door_ecu.cdd";

TEST(DiagTool, InfoAndDumpAsJson) {
    ExpectJsonHas(RunJson("info --json " + kExample),
                  R"({"format": "CANDELA_7.0", "ecus": [{"services": 3, "base": true}]})");
    const auto grouped = RunJson("dump --json --grouping " + kExample);
    ASSERT_EQ(grouped["ecus"][0]["groups"].size(), 2u);
    ExpectJsonHas(grouped, R"({"ecus": [{"groups": [{}, {"name": "22  Read Data By Identifier",
        "services": [{"name": "1100 Supply Voltage Read"},
                     {"requests": [{"bytes": "22F190"}]}]}]}]})");
}

TEST(DiagTool, EncodeRequestWithParameterValues) {
    const std::string encode = "encode-request " + kExample;
    EXPECT_EQ(RunJson("encode-request --json " + kExample +
                      " DoorCommon ExtendedSession_Start Session=0x01")["bytes"],
              "1001");
    const std::string session = encode + " DoorFrontLeft ExtendedSession_Start Session=";
    const std::string range = " is outside its valid range 0..255\n";
    ExpectRuns({
        {encode + " DoorFrontLeft VIN_Read", 0, {"=22 F1 90\n"}, {"="}},
        {encode + " DoorCommon NoSuchService", -1},
        {encode + " DoorCommon VIN_Read Nope=1", -1},
        // What the parameter cannot hold is refused, naming it (every refusal of the encoder:
        // the diagnostic tests).
        {session + "1e3", 2, {"="}, {"=quillmere: parameter 'Session': 1e3" + range}},
        {session + "Fast",
         2,
         {"="},
         {"=quillmere: parameter 'Session': 'Fast' is no number; valid range 0..255\n"}},
        // The described encoder takes the text as it is.
        {"encode-request --exact " + kExample + " DoorFrontLeft ExtendedSession_Start Session=256",
         0},
    });
}

TEST(DiagTool, DecodeDiagFindsTheMessageAndItsParameters) {
    const std::string decode = "decode-diag --json " + kExample + " DoorFrontLeft ";
    const auto json = RunJson(decode + "62F1905756575A5A5A314B5A3644313233343536");
    EXPECT_EQ(json["parameters"].size(), 3u);
    ExpectJsonHas(json, R"({"service": "Vehicle Identification Number Read",
        "kind": "positiveResponse", "parameters": [{}, {"raw": 61840},
        {"value": "WVWZZZ1KZ6D123456", "raw": "5756575A5A5A314B5A3644313233343536"}]})");
    const auto decoded = [](const std::string& arguments) {
        return nlohmann::json::parse(RunQuillmere(arguments).text);
    };
    ExpectJsonHas(decoded(decode + "'22 11 00'"),
                  R"({"service": "Supply Voltage Read", "kind": "request"})");
    // A negative response the description leaves empty is the UDS one, code named.
    ExpectJsonHas(decoded(decode + "7F2231"), R"({"kind": "negativeResponse",
        "parameters": [{}, {}, {"text": "requestOutOfRange"}]})");

    ExpectRuns({{"decode-diag " + kExample + " DoorFrontLeft 221000",
                 1,
                 {},
                 {"closest: Vehicle Identification Number Read (request 22 F1 90)"}}});

    // ODX: the base variant's global negative response, not inherited by the variant (which
    // gets the UDS form); a message that breaks its description names the problem.
    const std::string synthetic = "decode-diag --json " + std::string(QM_SHARED_DIR) +
                                  "/corpus/diag/odx-converter_synthetic.pdx ";
    if (!std::filesystem::exists(std::string(QM_SHARED_DIR) + "/corpus/diag")) return;
    ExpectJsonHas(decoded(synthetic + "SynthECU 7F9921"), R"({"service": null,
        "parameters": [{}, {"name": "BusyNRC", "text": "busyRepeatRequest"}]})");
    ExpectJsonHas(decoded(synthetic + "SynthVariantA 7F9921"),
                  R"({"parameters": [{"name": "SID-NR"}]})");
    ExpectJsonHas(decoded(synthetic + "SynthECU 72" + std::string(58, '0') + "05"),
                  R"({"service": "ReadComplexDops",
        "problem": "parameter 'DynLenData': 5 items announced, 0 in the message"})");
}

TEST(DiagTool, CheckGivesTheDeservedMessages) {
    EXPECT_EQ(RunQuillmere("check " + kExample).exitCode, 0);
    const std::string invalid = std::string(QM_SHARED_DIR) + "/corpus/diag/invalid-bo-example.cdd";
    if (!std::filesystem::exists(invalid)) GTEST_SKIP() << "no corpus";
    auto check = RunQuillmere("check --json " + invalid);
    EXPECT_EQ(check.exitCode, 1);
    const auto json = nlohmann::json::parse(check.text);
    ASSERT_EQ(json["messages"].size(), 1u);
    // Latin-1 texts come out as UTF-8 (the described build prefers the German texts).
    auto dump = RunQuillmere("dump --exact --json " + invalid);
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_NE(dump.text.find("Steuerger\xC3\xA4t"), std::string::npos);
}

}  // namespace
