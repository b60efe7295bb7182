// "quillmere encode": payloads of the bundled examples decode back to the values given, values
// out of range and unknown texts exit 2 naming the signal; and every frame of every corpus DBC,
// LDF and ARXML file encodes random in-range values that decode back to the same values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "codec_models/model_codecs.h"
#include "corpus_files.h"
#include "dbc/netconfig_dbc_file.h"
#include "ldf/netconfig_ldf_file.h"
#include "tool_support.h"

namespace fs = std::filesystem;
using nlohmann::json;
using qm::codec::BitLayout;
using qm::codec::FrameCodec;
using qm::codec::Physical;
using qm::codec::SignalCodec;
using tooltest::Quote;
using tooltest::RunTool;

namespace {

using tooltest::kExamples;

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

// --- The corpus, through the library codec: decode(encode(values)) == values. ---

bool InRange(const SignalCodec& signal, double value) {
    if ((signal.minimum == 0.0 && signal.maximum == 0.0) || signal.minimum > signal.maximum) {
        return true;
    }
    return value >= signal.minimum && value <= signal.maximum;
}

bool SamePhysical(const Physical& a, const Physical& b) {
    if (a.type == Physical::Type::Double || b.type == Physical::Type::Double) {
        return a.AsDouble() == b.AsDouble();
    }
    return a.type == b.type && a.integer == b.integer && a.natural == b.natural && a.wide == b.wide;
}

struct Tally {
    size_t frames = 0;
    size_t physical = 0;  // values given as physical values (the others as raw values)
};

// Random raw values make the physical values; multiplexers and values that are out of range or
// not finite are given raw, so that every value given is one the signal can carry.
void RoundTrip(const FrameCodec& frame, std::mt19937_64& random, Tally& tally,
               const std::string& where) {
    ++tally.frames;
    std::vector<bool> selects(frame.signals.size(), false);
    if (frame.SwitchIndex() >= 0) selects[static_cast<size_t>(frame.SwitchIndex())] = true;
    for (const SignalCodec& signal : frame.signals) {
        if (signal.extendedMux >= 0) selects[static_cast<size_t>(signal.extendedMux)] = true;
    }
    for (int round = 0; round < 3; ++round) {
        std::vector<uint64_t> raws(frame.signals.size());
        for (size_t i = 0; i < raws.size(); ++i) {
            const uint32_t length = frame.signals[i].layout.Length();
            raws[i] = length >= 64 ? random() : random() & ((uint64_t{1} << length) - 1);
        }
        const auto rawOf = [&](size_t i) { return raws[i]; };
        const int64_t selected =
            frame.SwitchIndex() >= 0 ? static_cast<int64_t>(raws[frame.SwitchIndex()]) : -1;
        std::vector<std::optional<uint64_t>> given(raws.size());
        std::vector<std::optional<Physical>> expected(raws.size());
        // Only signals that share no bit with another carried signal (overlapping fields of a
        // frame overwrite each other), and multiplexers, which must be given.
        std::vector<std::vector<uint8_t>> footprints(raws.size());
        std::vector<uint8_t> users(frame.size * 8, 0);
        for (size_t i = 0; i < raws.size(); ++i) {
            const BitLayout& layout = frame.signals[i].layout;
            if (!frame.Carries(i, selected, rawOf)) continue;
            footprints[i].assign(frame.size, 0);
            layout.Insert(footprints[i].data(), frame.size, ~uint64_t{0});
            for (size_t bit = 0; bit < users.size(); ++bit) {
                users[bit] += (footprints[i][bit / 8] >> (bit % 8)) & 1;
            }
        }
        for (size_t i = 0; i < raws.size(); ++i) {
            if (footprints[i].empty() || !frame.signals[i].layout.FitsIn(frame.size)) continue;
            bool shared = false;
            for (size_t bit = 0; bit < users.size(); ++bit) {
                shared |= ((footprints[i][bit / 8] >> (bit % 8)) & 1) && users[bit] > 1;
            }
            if (shared && !selects[i]) continue;
            const SignalCodec& signal = frame.signals[i];
            const Physical physical = signal.PhysicalOf(raws[i]);
            const double value = physical.AsDouble();
            if (selects[i] || signal.byteArray || !std::isfinite(value) ||
                !InRange(signal, value) ||
                (!signal.ranges.empty() && signal.RangeIndex(raws[i]) < 0)) {
                given[i] = raws[i];
                continue;
            }
            try {
                given[i] = physical.type == Physical::Type::Integer
                               ? signal.RawForInteger(physical.integer)
                           : physical.type == Physical::Type::Unsigned
                               ? signal.RawForInteger(physical.natural)
                           : physical.type == Physical::Type::Wide
                               ? signal.RawForInteger(physical.wide)
                               : signal.RawForPhysical(physical.real);
            } catch (const qm::codec::CodecError& error) {
                ADD_FAILURE() << where << ": " << error.what();
                return;
            }
            expected[i] = physical;
            ++tally.physical;
        }
        std::vector<uint8_t> payload;
        try {
            payload = frame.Encode(given, true);
        } catch (const qm::codec::CodecError& error) {
            ADD_FAILURE() << where << ": " << error.what();
            return;
        }
        size_t decoded = 0;
        frame.Decode(payload.data(), payload.size(), [&](size_t i, uint64_t raw) {
            if (!given[i]) return;  // left to its default value
            ++decoded;
            if (!expected[i]) {
                EXPECT_EQ(raw, *given[i]) << where << " " << frame.signals[i].name;
                return;
            }
            const Physical back = frame.signals[i].PhysicalOf(raw);
            EXPECT_TRUE(SamePhysical(back, *expected[i]))
                << where << " " << frame.signals[i].name << ": " << back.AsDouble() << " vs "
                << expected[i]->AsDouble();
        });
        EXPECT_EQ(decoded,
                  static_cast<size_t>(std::count_if(given.begin(), given.end(),
                                                    [](const auto& g) { return g.has_value(); })))
            << where;
    }
}

TEST(EncodeCorpus, EveryFrameDecodesToTheValuesEncoded) {
    const auto dbcFiles = qmtest::CorpusFiles("dbc", {".dbc"});
    if (dbcFiles.empty()) GTEST_SKIP() << "no corpus";
    std::mt19937_64 random(20261206);
    std::map<std::string, Tally> tallies;
    const auto roundTrip = [&](const qm::codec::FrameCatalog& catalog, const fs::path& path,
                               const std::string& format) {
        for (size_t f = 0; f < catalog.Count(); ++f) {
            RoundTrip(catalog.At(f), random, tallies[format],
                      path.filename().string() + " " + catalog.At(f).name);
        }
    };
    for (const fs::path& path : dbcFiles) {
        qm::dbc::NetConfigDbcFile file;
        file.SetTolerantReading(true);
        file.Load(path.string().c_str());
        roundTrip(qm::codec::BuildDbcCatalog(file), path, "dbc");
    }
    for (const fs::path& path : qmtest::CorpusFiles("ldf", {".ldf"})) {
        qm::ldf::NetConfigLdfFile file;
        file.Load(path.string().c_str());
        roundTrip(qm::codec::BuildLdfCatalog(file), path, "ldf");
    }
    for (const fs::path& path : qmtest::CorpusFiles("arxml", {".arxml"})) {
        NetConfigArxmlFile file;
        file.SetReadingMode(kArxmlReadWholeDocument);
        if (!file.Load(path.string().c_str())) continue;
        roundTrip(qm::codec::BuildArxmlCatalog(file), path, "arxml");
    }
    // Every frame of each format, and most values given as physical values.
    EXPECT_EQ(tallies["dbc"].frames, 3198u);
    EXPECT_EQ(tallies["ldf"].frames, 134u);
    EXPECT_EQ(tallies["arxml"].frames, 50u);
    EXPECT_GT(tallies["dbc"].physical, 50000u);
    EXPECT_GT(tallies["ldf"].physical, 500u);
    EXPECT_GT(tallies["arxml"].physical, 100u);
}

// A chain of extended multiplexers: S10 is sent when S0 is 0, S0 when S11 is 3; giving S10 alone
// selects both.
TEST(EncodeCorpus, AGivenSignalSelectsItsChainOfMultiplexers) {
    const auto files = qmtest::CorpusFiles("dbc", {".dbc"});
    const auto file = std::find_if(files.begin(), files.end(), [](const fs::path& path) {
        return path.filename() == "cantools__multiplex_2.dbc";
    });
    if (file == files.end()) GTEST_SKIP() << "no corpus";
    const auto encoded = RunTool("encode " + Quote(file->string()) + " ExtendedTypes S10=7 --json");
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    const json decoded = json::parse(encoded.out);
    EXPECT_EQ(decoded["payload"], "03000000E0400000");
    EXPECT_EQ(DecodedSignal(decoded, "S11")["raw"], 3);
    EXPECT_EQ(DecodedSignal(decoded, "S0")["raw"], 0);
    EXPECT_EQ(DecodedSignal(decoded, "S10")["physical"], 7);
    // A multiplexer given a value that does not select the signal is an error.
    const auto conflict = RunTool("encode " + Quote(file->string()) + " ExtendedTypes S10=7 S11=4");
    EXPECT_EQ(conflict.exitCode, 2);
    EXPECT_NE(conflict.err.find("signal 'S10'"), std::string::npos) << conflict.err;
}

}  // namespace
