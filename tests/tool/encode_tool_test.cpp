// "quillmere encode": payloads decode back to the values given, values out of range and unknown
// texts exit 2 naming the signal, a signal selects its chain of multiplexers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "tool_support.h"

namespace {

struct EncodeCase {
    std::string file;
    std::string frame;
    std::string values;  // SIGNAL=VALUE ...
    bool raw;
    std::vector<std::string> errorPieces;  // empty: the payload decodes back to the values
};

std::ostream& operator<<(std::ostream& out, const EncodeCase& c) {
    return out << c.file << " " << c.frame << " " << c.values << (c.raw ? " --raw" : "");
}

class EncodeTool : public testing::TestWithParam<EncodeCase> {};

// The decoded signal of a name in "decode --json" output.
const json& DecodedSignal(const json& decoded, const std::string& name) {
    for (const json& signal : decoded["signals"]) {
        if (signal["name"] == name) return signal;
    }
    static const json none;
    ADD_FAILURE() << name << " not decoded in " << decoded.dump();
    return none;
}

TEST_P(EncodeTool, DecodesBackOrNamesTheSignal) {
    const EncodeCase& c = GetParam();
    const std::string db = Quote((kExamples / c.file).string());
    const auto encoded = RunTool("encode " + db + " " + c.frame + " " + c.values + " --json" +
                                 (c.raw ? " --raw" : ""));
    if (!c.errorPieces.empty()) {
        EXPECT_EQ(encoded.exitCode, 2) << encoded.out;
        for (const std::string& piece : c.errorPieces) {
            EXPECT_NE(encoded.err.find(piece), std::string::npos) << encoded.err;
        }
        return;
    }
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    const std::string payload = json::parse(encoded.out)["payload"];
    // Plain output is the same payload, alone on its line.
    EXPECT_EQ(
        RunTool("encode " + db + " " + c.frame + " " + c.values + (c.raw ? " --raw" : "")).out,
        payload + "\n");
    const auto decodedRun = RunTool("decode " + db + " " + c.frame + " " + payload + " --json");
    ASSERT_EQ(decodedRun.exitCode, 0) << decodedRun.err;
    const json decoded = json::parse(decodedRun.out);
    EXPECT_EQ(json::parse(encoded.out)["signals"], decoded["signals"]);
    std::istringstream settings(c.values);
    std::string setting;
    while (settings >> setting) {
        const size_t equals = setting.find('=');
        const std::string value = setting.substr(equals + 1);
        const json& signal = DecodedSignal(decoded, setting.substr(0, equals));
        if (c.raw) {
            EXPECT_EQ(signal["raw"].get<uint64_t>(), std::stoull(value, nullptr, 0)) << setting;
        } else if (value.find_first_not_of("-.0123456789") == std::string::npos) {
            EXPECT_EQ(signal["physical"].get<double>(), std::stod(value)) << setting;
        } else {
            EXPECT_EQ(signal.value("valueText", ""), value) << setting;
        }
    }
}

using E = EncodeCase;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Examples, EncodeTool, testing::Values(
    E{"powertrain.dbc", "EngineData", "EngineSpeed=1000.25 CoolantTemp=90 Torque=-12.5 "
      "ThrottlePos=42.7 EngineState=Running OilPressure=3.2", false, {}},
    // A multiplexed signal selects its multiplexer value (Page 1).
    E{"powertrain.dbc", "768", "BatteryVoltage=12.5 FuelRate=300", false, {}},
    E{"powertrain.dbc", "DashboardStatus", "AmbientTemp=-20", false, {}},
    E{"powertrain.dbc", "EngineData", "EngineState=2 Torque=0xFFF", true, {}},
    E{"body.ldf", "LightCommand", "LightRequest=auto Dimming=50", false, {}},
    E{"body.ldf", "0x11", "LeftError=error LeftTemperature=25", false, {}},
    E{"bus_system.arxml", "EngineData", "EngineSpeed=1200 CoolantTemperature=90 GearPosition=R",
      false, {}},
    E{"bus_system.arxml", "DoorStatus", "DoorOpen=1 WindowPosition=40", false, {}},
    E{"powertrain.dbc", "EngineData", "CoolantTemp=300", false,
      {"signal 'CoolantTemp'", "[-40, 215]"}},
    E{"powertrain.dbc", "EngineData", "EngineState=Flying", false,
      {"signal 'EngineState'", "'Flying'", "[0, 3]"}},
    E{"body.ldf", "LightCommand", "LightRequest=dark", false, {"signal 'LightRequest'", "'dark'"}},
    E{"bus_system.arxml", "EngineData", "EngineSpeed=99999999", false,
      {"signal 'EngineSpeed'", "[0, 16383.75]"}},
    E{"powertrain.dbc", "768", "Page=1 Odometer=5", false, {"signal 'Odometer'"}},
    E{"powertrain.dbc", "EngineData", "EngineState=4", true, {"signal 'EngineState'", "2 bits"}},
    E{"powertrain.dbc", "EngineData", "Boost=1", false, {"no signal 'Boost'"}}));
// clang-format on

// A chain of extended multiplexers: S10 is sent when S0 is 0, S0 when S11 is 3; giving S10 alone
// selects both.
TEST(EncodeCorpus, AGivenSignalSelectsItsChainOfMultiplexers) {
    const auto files = qmtest::CorpusFiles("dbc", {".dbc"});
    const auto file = std::find_if(files.begin(), files.end(), [](const fs::path& path) {
        return path.filename() == "cantools__multiplex_2.dbc";
    });
    if (file == files.end()) GTEST_SKIP() << "no corpus";
    const json decoded = RunJson("encode " + Quote(file->string()) + " ExtendedTypes S10=7 --json");
    EXPECT_EQ(decoded["payload"], "03000000E0400000");
    EXPECT_EQ(DecodedSignal(decoded, "S11")["raw"], 3);
    EXPECT_EQ(DecodedSignal(decoded, "S0")["raw"], 0);
    EXPECT_EQ(DecodedSignal(decoded, "S10")["physical"], 7);
    // A multiplexer given a value that does not select the signal is an error.
    ExpectRuns({{"encode " + Quote(file->string()) + " ExtendedTypes S10=7 S11=4",
                 2,
                 {},
                 {"signal 'S10'"}}});
}

// A byte array of an ASCII encoding takes any text as its bytes (digits too) and decodes to
// it; one of a BCD encoding takes a whole number, a digit a byte.
TEST(EncodeByteArrays, TakeTextOrDigits) {
    std::string text = ReadFile(kExamples / "body.ldf");
    const auto insert = [&text](const std::string& after, const std::string& what) {
        text.insert(text.find(after) + after.size(), what);
    };
    insert("Signal_encoding_types {", "\n    Serial {\n        ascii_value;\n    }");
    insert("Signal_representation {", "\n    Serial: DoorSerial;");
    qmtest::TempFile ascii("ascii.ldf", text);
    const json decoded =
        RunJson("encode " + Quote(ascii.Path()) + " LeftSerial DoorSerial=12 --json");
    EXPECT_EQ(decoded["payload"], "31320000");
    EXPECT_EQ(DecodedSignal(decoded, "DoorSerial")["valueText"], std::string("12\0\0", 4));
    ExpectRuns({{"decode " + Quote(ascii.Path()) + " LeftSerial 41424344",
                 0,
                 {"DoorSerial = 1145258561  (raw 1145258561)  \"ABCD\""},
                 {}},
                {"encode " + Quote(ascii.Path()) + " LeftSerial DoorSerial=ABCDE",
                 2,
                 {},
                 {"'ABCDE' takes 5 bytes; the array holds 4"}}});
    text.replace(text.find("ascii_value"), 11, "bcd_value");
    qmtest::TempFile bcd("bcd.ldf", text);
    const json digits =
        RunJson("encode " + Quote(bcd.Path()) + " LeftSerial DoorSerial=1234 --json");
    EXPECT_EQ(digits["payload"], "01020304");
    EXPECT_EQ(DecodedSignal(digits, "DoorSerial")["physical"], 1234);
}

}  // namespace
