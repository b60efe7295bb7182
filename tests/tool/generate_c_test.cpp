// "quillmere generate-c": C names, byte pieces of the codec's bit layout, and for every corpus
// frame strict gcc and a generated harness: pack, unpack, decode, encode and is_in_range must
// agree with the codec.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "c_code_names.h"
#include "c_code_plan.h"
#include "codec_models/model_codecs.h"
#include "corpus_files.h"
#include "dbc/netconfig_dbc_file.h"
#include "expect_fields.h"
#include "ldf/netconfig_ldf_file.h"
#include "tool_support.h"

using qm::codec::BitLayout;
using qm::codec::FrameCatalog;
using qm::codec::FrameCodec;
using qm::codec::SignalCodec;
using qmtool::ccode::ByteSegment;
using qmtool::ccode::CDatabase;
using qmtool::ccode::CFrame;
using qmtool::ccode::CSignal;

namespace generate_c {
namespace {

const std::string kStrictFlags = " -std=c99 -Wall -Wextra -Werror -pedantic -Wconversion";
const std::string kStrictC = "gcc" + kStrictFlags;

// --- Names and byte pieces. ---

TEST(GenerateCNames, MakeIdentifiers) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"EngineSpeed", "engine_speed"},
        {"RPMValue", "rpm_value"},
        {"ABS_Status2", "abs_status2"},
        {"wheel.FL-speed", "wheel_fl_speed"},
        {"__x__", "x"},
        {"2ndGear", "_2nd_gear"},
        {"int", "int_"},
        {"errno", "errno_"},
        {"\xe4\xf6", "unnamed"},
        {"", "unnamed"}};
    for (const auto& [name, member] : cases) {
        EXPECT_EQ(qmtool::ccode::MemberIdentifier(name), member) << name;
    }
    EXPECT_EQ(qmtool::ccode::CommentText("a*/b/*c?\?/\x01"), "a* /b/ *c? ?/?");
    EXPECT_EQ(qmtool::ccode::DoubleLiteral(5), "5.0");
    EXPECT_EQ(qmtool::ccode::DoubleLiteral(-0.1), "(-0.1)");
    EXPECT_EQ(qmtool::ccode::SignedLiteral(INT64_MIN), "(-INT64_C(9223372036854775807) - 1)");
    EXPECT_EQ(qmtool::ccode::UnsignedLiteral(1ull << 32), "UINT64_C(4294967296)");
}

// Frames and signals whose names fold to the same identifier stay apart, and so do functions
// that a frame and a signal would spell alike (frame A's signal B_X and frame A_B's signal X).
TEST(GenerateCNames, StayUnique) {
    FrameCatalog catalog;
    const std::vector<std::pair<const char*, std::vector<const char*>>> frames = {
        {"A", {"B_X", "b.x", "Mode"}}, {"a", {"mode"}}, {"A_B", {"X"}}};
    for (const auto& [name, signals] : frames) {
        auto frame = std::make_unique<FrameCodec>();
        frame->name = name;
        frame->size = 1;
        for (const char* signal : signals) {
            SignalCodec codec;
            codec.name = signal;
            codec.layout = BitLayout::Little(0, 1);
            frame->signals.push_back(codec);
        }
        frame->Prepare();
        catalog.Add(std::move(frame));
    }
    const CDatabase database = qmtool::ccode::PlanCDatabase(catalog, "9Bus", "x.dbc", nullptr);
    EXPECT_EQ(database.prefix, "db_9_bus");
    std::vector<std::string> names;
    for (const CFrame& frame : database.frames) {
        names.push_back(frame.stem);
        for (const CSignal& signal : frame.signals)
            names.push_back(signal.member + ":" + signal.function);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"db_9_bus_a", "b_x:db_9_bus_a_b_x",
                                               "b_x_2:db_9_bus_a_b_x_2", "mode:db_9_bus_a_mode",
                                               "db_9_bus_a_2", "mode:db_9_bus_a_2_mode",
                                               "db_9_bus_a_b", "x:db_9_bus_a_b_x_3"}));
}

struct SegmentCase {
    BitLayout layout;
    size_t frameSize;
    std::vector<std::vector<uint32_t>> pieces;  // byte, byteShift, fieldShift, width
};

TEST(GenerateCSegments, FollowTheCodecLayout) {
    std::vector<SegmentCase> cases = {
        {BitLayout::Little(0, 8), 8, {{0, 0, 0, 8}}},
        {BitLayout::Little(4, 12), 8, {{0, 4, 0, 4}, {1, 0, 4, 8}}},
        // Big-endian, most significant bit 7 of byte 0: the low byte lies in byte 1.
        {BitLayout::BigFromMsb(7, 16), 8, {{1, 0, 0, 8}, {0, 0, 8, 8}}},
        {BitLayout::BigFromMsb(3, 6), 8, {{1, 6, 0, 2}, {0, 0, 2, 4}}},
        // Bytes beyond the frame are neither read nor written.
        {BitLayout::Little(4, 12), 1, {{0, 4, 0, 4}}},
        // A field that claims 4 billion bits costs what the frame holds.
        {BitLayout::BigFromMsb(7, 0xFFFFFFF0u),
         2,
         {{1, 0, 0xFFFFFFE0u, 8}, {0, 0, 0xFFFFFFE8u, 8}}},
    };
    // Nine whole bytes, one piece each: bits above 64 are cleared.
    SegmentCase wide{BitLayout::Little(0, 72), 9, {}};
    for (uint32_t byte = 0; byte < 9; ++byte) wide.pieces.push_back({byte, 0, 8 * byte, 8});
    cases.push_back(wide);
    for (const SegmentCase& c : cases) {
        std::vector<std::vector<uint32_t>> pieces;
        for (const ByteSegment& s : qmtool::ccode::SegmentsOf(c.layout, c.frameSize)) {
            pieces.push_back({s.byte, s.byteShift, s.fieldShift, s.width});
        }
        EXPECT_EQ(pieces, c.pieces) << c.layout.StartBit() << "/" << c.layout.Length();
    }
}

// --- The command on the bundled examples. ---

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(GenerateCTool, ExamplesCompileStrictlyAtO2) {
    tooltest::ScratchFolder folder("generate_c_examples");
    std::string sources;
    for (const char* file : {"powertrain.dbc", "body.ldf", "bus_system.arxml"}) {
        const auto json = RunJson("generate-c " + Quote((kExamples / file).string()) + " -o " +
                                  Quote((folder / "out").string()) + " --json");
        EXPECT_GT(json["frames"].get<int>(), 1) << file;
        sources += " " + Quote(json["source"].get<std::string>());
    }
    ExpectTexts(
        ReadFile(folder / "out" / "powertrain.h"),
        {"#define POWERTRAIN_ENGINE_DATA_FRAME_ID (0x100u)",
         "#define POWERTRAIN_ENGINE_DATA_LENGTH (8u)",
         "#define POWERTRAIN_ENGINE_DATA_CYCLE_TIME_MS (10u)",
         "#define POWERTRAIN_ENGINE_DATA_ENGINE_STATE_RUNNING_CHOICE (2u)", "    int16_t torque;",
         "double powertrain_engine_data_torque_decode(int16_t value);"});
    // Strict and optimised, and no libm: the program links without -lm.
    const std::string program = (folder / "program").string();
    std::ofstream(folder / "main.c") << "#include \"powertrain.h\"\nint main(void) { return 0; }\n";
    EXPECT_EQ(Shell(kStrictC + " -O2 -I" + Quote((folder / "out").string()) + " " +
                    Quote((folder / "main.c").string()) + sources + " -o " + Quote(program)),
              0);
    ExpectRuns({{"generate-c " + Quote((kExamples / "door_ecu.cdd").string()) + " -o " +
                     Quote((folder / "cdd").string()),
                 2,
                 {},
                 {"generate-c takes a DBC, LDF or ARXML file"}}});
}

// --- The corpus: generated code against the codec. ---

// The ten largest DBC files make 800k of the million generated lines: by default the files up
// to 100 KB are compiled (24 DBC files); QM_CORPUS_FULL=1 compiles them all.
bool WholeCorpus() {
    return std::getenv("QM_CORPUS_FULL") != nullptr;
}
constexpr std::uintmax_t kDefaultSizeLimit = 100 * 1024;

std::vector<fs::path> CorpusFiles(const std::string& format) {
    std::vector<fs::path> files = qmtest::CorpusFiles(format, {"." + format});
    std::erase_if(files, [&](const fs::path& path) {
        return format == "dbc" && !WholeCorpus() && fs::file_size(path) > kDefaultSizeLimit;
    });
    return files;
}

uint32_t FieldBits(const CSignal& signal) {
    return std::min<uint32_t>(signal.codec->layout.Length(), 64);
}

std::string MaskText(const CSignal& signal) {
    const uint32_t bits = FieldBits(signal);
    const uint64_t mask = bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
    return "UINT64_C(" + std::to_string(mask) + ")";
}

std::string BitsType(const CSignal& signal) {
    return signal.typeBits == 32 ? "uint32_t" : "uint64_t";
}

// C statements: put(the raw bits of `value`), and `target` = the member of raw bits `raw`.
std::string PutRaw(const CSignal& signal, const std::string& value) {
    if (signal.isFloat) {
        return "{ " + BitsType(signal) + " bits; memcpy(&bits, &" + value +
               ", sizeof(bits)); put((uint64_t)bits & " + MaskText(signal) + "); }";
    }
    return "put((uint64_t)(int64_t)" + value + " & " + MaskText(signal) + ");";
}

std::string SetRaw(const CSignal& signal, const std::string& target, const std::string& raw) {
    if (signal.isFloat) {
        const std::string type = BitsType(signal);
        return "{ " + type + " bits = (" + type + ")(" + raw + "); memcpy(&" + target +
               ", &bits, sizeof(bits)); }";
    }
    const uint32_t bits = FieldBits(signal);
    if (signal.isSigned && bits > 0 && bits < 64) {
        const std::string sign = "UINT64_C(" + std::to_string(uint64_t{1} << (bits - 1)) + ")";
        return target + " = (" + signal.type + ")(int64_t)(((" + raw + ") ^ " + sign + ") - " +
               sign + ");";
    }
    return target + " = (" + signal.type + ")(int64_t)(" + raw + ");";
}

// Values that select other signals, so that random frames reach multiplexed signals.
std::vector<std::vector<uint64_t>> SelectingValues(const FrameCodec& frame) {
    std::vector<std::vector<uint64_t>> values(frame.signals.size());
    for (const SignalCodec& signal : frame.signals) {
        if (signal.extendedMux >= 0) {
            for (const auto& range : signal.muxRanges) {
                values[static_cast<size_t>(signal.extendedMux)].push_back(range.minimum);
            }
        } else if (signal.mux == qm::codec::MuxRole::Multiplexed && frame.SwitchIndex() >= 0) {
            values[static_cast<size_t>(frame.SwitchIndex())].push_back(
                static_cast<uint64_t>(signal.muxValue));
        }
    }
    return values;
}

constexpr int kRounds = 6;

// What every subject's checks share: the random numbers and the printing.
std::string HarnessPreamble(size_t longest) {
    std::string out =
        "#include <stdbool.h>\n#include <stdint.h>\n#include <stdio.h>\n#include <string.h>\n";
    out += "static uint64_t state;\n";
    out += "static uint8_t buf[" + std::to_string(longest) + "];\n";
    out +=
        "static uint64_t next(void) { state ^= state >> 12; state ^= state << 25; "
        "state ^= state >> 27; return state * UINT64_C(2685821657736338717); }\n";
    out += "static void put(uint64_t v) { printf(\" %llx\", (unsigned long long)v); }\n";
    out += "static void phys(double d, bool in) { printf(\" %a %d\", d, (int)in); }\n";
    out +=
        "static void hex(size_t n) { size_t i; printf(\" x\"); for (i = 0; i < n; ++i) "
        "printf(\"%02x\", buf[i]); }\n";
    return out;
}

// The checks of one subject: run_<prefix>() prints "S subject", then per frame and round
// "P f payload a... b..." (random raws a packed, unpacked as b) and "D f payload raw phys
// in-range encoded ..." (a random payload unpacked, each signal decoded and encoded back).
std::string HarnessText(const CDatabase& database, size_t subject, uint64_t seed) {
    std::string out;
    for (size_t f = 0; f < database.frames.size(); ++f) {
        const CFrame& frame = database.frames[f];
        const std::string length = std::to_string(frame.codec->size);
        const std::string type = "struct " + frame.stem + "_t";
        const auto selecting = SelectingValues(*frame.codec);
        out += "static void check_" + frame.stem + "(void)\n{\n    " + type + " a, b;\n";
        out += "    int round;\n    for (round = 0; round < " + std::to_string(kRounds) +
               "; ++round) {\n";
        out += "        memset(&a, 0, sizeof(a));\n";
        for (size_t i = 0; i < frame.signals.size(); ++i) {
            const CSignal& signal = frame.signals[i];
            out += "        " +
                   SetRaw(signal, "a." + signal.member, "next() & " + MaskText(signal)) + "\n";
            if (selecting[i].empty()) continue;
            out += "        if (next() % 4u != 0u) {\n            static const uint64_t v[] = {";
            for (uint64_t value : selecting[i]) out += "UINT64_C(" + std::to_string(value) + "),";
            out += "};\n            " +
                   SetRaw(signal, "a." + signal.member,
                          "v[next() % " + std::to_string(selecting[i].size()) + "u] & " +
                              MaskText(signal)) +
                   "\n        }\n";
        }
        out += "        if (" + frame.stem + "_pack(buf, &a, sizeof(buf)) != " + length +
               ") { printf(\"pack failed\\n\"); }\n";
        out += "        if (" + frame.stem + "_unpack(&b, buf, " + length + "u) != " + length +
               ") { printf(\"unpack failed\\n\"); }\n";
        out += "        printf(\"P " + std::to_string(f) + "\");\n        hex(" + length + "u);\n";
        for (const CSignal& signal : frame.signals)
            out += "        " + PutRaw(signal, "a." + signal.member) + "\n";
        for (const CSignal& signal : frame.signals)
            out += "        " + PutRaw(signal, "b." + signal.member) + "\n";
        out += "        putchar('\\n');\n";
        if (frame.codec->size > 0) {
            out += "        { size_t i; for (i = 0; i < " + length +
                   "u; ++i) buf[i] = (uint8_t)next(); }\n";
        }
        out += "        " + frame.stem + "_unpack(&b, buf, " + length + "u);\n";
        out += "        printf(\"D " + std::to_string(f) + "\");\n        hex(" + length + "u);\n";
        for (const CSignal& signal : frame.signals) {
            const std::string& fn = signal.function;
            out += "        " + PutRaw(signal, "b." + signal.member) + "\n";
            out += "        phys(" + fn + "_decode(b." + signal.member + "), " + fn +
                   "_is_in_range(b." + signal.member + "));\n";
            const std::string encoded = fn + "_encode(" + fn + "_decode(b." + signal.member + "))";
            out += signal.isFloat ? "        { " + signal.type + " e = " + encoded + "; " +
                                        PutRaw(signal, "e") + " }\n"
                                  : "        " + PutRaw(signal, encoded) + "\n";
        }
        out += "        putchar('\\n');\n    }\n}\n";
    }
    out += "static void run_" + database.prefix + "(void)\n{\n    state = UINT64_C(" +
           std::to_string(seed | 1) + ");\n    printf(\"S " + std::to_string(subject) + "\\n\");\n";
    for (const CFrame& frame : database.frames) out += "    check_" + frame.stem + "();\n";
    return out + "}\n";
}

// One corpus file: its model and codecs as the tool builds them, the plan the tool made, and
// what its checks printed.
struct Subject {
    fs::path path;
    std::string format;
    std::shared_ptr<void> model;
    FrameCatalog catalog;
    CDatabase database;
    size_t index = 0;
    std::string source;   // the generated .c
    std::string harness;  // its checks
    int buildExit = -1;
    std::string output;
};

// A DBC or LDF file, read tolerantly.
template <class File, class Build>
void LoadTolerantly(Subject& subject, const Build& build) {
    auto file = std::make_shared<File>();
    file->SetTolerantReading(true);
    file->Load(subject.path.string().c_str());
    subject.catalog = build(*file);
    subject.model = file;
}

bool LoadAsTheTool(Subject& subject) {
    const std::string path = subject.path.string();
    if (subject.format == "dbc") {
        LoadTolerantly<qm::dbc::NetConfigDbcFile>(subject, qm::codec::BuildDbcCatalog);
    } else if (subject.format == "ldf") {
        LoadTolerantly<qm::ldf::NetConfigLdfFile>(subject, qm::codec::BuildLdfCatalog);
    } else {
        auto file = std::make_shared<NetConfigArxmlFile>();
        file->SetReadingMode(kArxmlReadWholeDocument);
        if (!file->Load(path.c_str())) return false;
        subject.catalog = qm::codec::BuildArxmlCatalog(*file);
        subject.model = file;
    }
    return true;
}

// Compiles several subjects with their checks as one unit and runs it; each subject gets the
// output after its "S" line, or the compiler's complaints.
void BuildAndRun(const std::vector<Subject*>& batch, const fs::path& folder) {
    size_t longest = 1;
    for (const Subject* subject : batch) {
        for (const CFrame& frame : subject->database.frames)
            longest = std::max(longest, frame.codec->size);
    }
    std::string unit = HarnessPreamble(longest);
    std::string main = "int main(void)\n{\n";
    for (const Subject* subject : batch) {
        unit += "#include \"" + subject->source + "\"\n" + subject->harness;
        main += "    run_" + subject->database.prefix + "();\n";
    }
    std::ofstream(folder / "unit.c") << unit << main << "    return 0;\n}\n";
    const fs::path program = folder / "harness";
    const fs::path output = folder / "output.txt";
    const std::string unitPath = Quote((folder / "unit.c").string());
    const std::string log = Quote((folder / "gcc.txt").string());
    // gcc judges the code; clang, where there is one, builds it in a third of gcc's time.
    static const bool haveClang = Shell("command -v clang > /dev/null 2>&1") == 0;
    const int exit = Shell(kStrictC + " -fsyntax-only " + unitPath + " > " + log + " 2>&1 && " +
                           (haveClang ? "clang" : "gcc") + kStrictFlags + " -O0 " + unitPath +
                           " -o " + Quote(program.string()) + " >> " + log + " 2>&1 && " +
                           Quote(program.string()) + " > " + Quote(output.string()));
    const std::string text = tooltest::ReadFile(exit == 0 ? output : folder / "gcc.txt");
    Subject* current = nullptr;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (exit == 0 && line.rfind("S ", 0) == 0) {
            const size_t index = std::stoul(line.substr(2));
            for (Subject* subject : batch) {
                if (subject->index == index) current = subject;
            }
        } else if (current != nullptr || exit != 0) {
            (current ? current->output : batch.front()->output) += line + "\n";
        }
    }
    for (Subject* subject : batch) subject->buildExit = exit;
}

std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t byte : bytes) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

// The raw value of every signal an unpack gives: what the codec decodes, 0 where it decodes
// nothing.
std::vector<uint64_t> CodecUnpack(const FrameCodec& frame, const std::vector<uint8_t>& payload,
                                  std::vector<bool>& carried) {
    std::vector<uint64_t> raws(frame.signals.size(), 0);
    carried.assign(frame.signals.size(), false);
    frame.Decode(payload.data(), payload.size(), [&](size_t i, uint64_t raw) {
        raws[i] = raw;
        carried[i] = true;
    });
    return raws;
}

bool SameDouble(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

struct Tally {
    size_t files = 0, frames = 0, packed = 0, roundTrips = 0, decoded = 0, encoded = 0;
};

// Signals that share no payload bit with another signal the payload carries.
std::vector<bool> Alone(const CFrame& frame, const std::vector<bool>& carried) {
    std::vector<int> users(frame.codec->size * 8, 0);
    const auto eachBit = [&](size_t i, const auto& visit) {
        for (const ByteSegment& s : frame.signals[i].segments) {
            for (uint32_t b = 0; b < s.width; ++b) visit(users[s.byte * 8 + s.byteShift + b]);
        }
    };
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        if (carried[i]) eachBit(i, [](int& n) { ++n; });
    }
    std::vector<bool> alone = carried;
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        eachBit(i, [&](int n) { alone[i] = alone[i] && n <= 1; });
    }
    return alone;
}

// "x" and the payload's hex digits (none for a frame of no bytes).
std::string PayloadToken(std::istringstream& line) {
    std::string token;
    line >> token;
    EXPECT_EQ(token.substr(0, 1), "x");
    return token.substr(1);
}

void CheckPacked(const CFrame& frame, std::istringstream& line, Tally& tally,
                 const std::string& where) {
    const FrameCodec& codec = *frame.codec;
    const std::string hex = PayloadToken(line);
    std::vector<uint64_t> given(codec.signals.size()), back(codec.signals.size());
    for (uint64_t& raw : given) line >> std::hex >> raw;
    for (uint64_t& raw : back) line >> std::hex >> raw;
    std::vector<std::optional<uint64_t>> raws(given.begin(), given.end());
    try {
        EXPECT_EQ(hex, Hex(codec.Encode(raws, false))) << where << ": pack";
    } catch (const qm::codec::CodecError& error) {
        ADD_FAILURE() << where << ": " << error.what();
    }
    std::vector<bool> carried;
    EXPECT_EQ(back, CodecUnpack(codec, Bytes(hex), carried)) << where << ": unpack of pack";
    // What pack wrote: every signal the multiplexers select, also those beyond the frame.
    const auto rawOf = [&](size_t i) { return given[i]; };
    const int64_t selected =
        codec.SwitchIndex() >= 0 ? static_cast<int64_t>(given[codec.SwitchIndex()]) : -1;
    std::vector<bool> written(given.size());
    for (size_t i = 0; i < given.size(); ++i) written[i] = codec.Carries(i, selected, rawOf);
    const std::vector<bool> alone = Alone(frame, written);
    for (size_t i = 0; i < given.size(); ++i) {
        if (!alone[i] || !frame.signals[i].fits) continue;
        EXPECT_EQ(back[i], given[i]) << where << " " << codec.signals[i].name << ": round trip";
        ++tally.roundTrips;
    }
    ++tally.packed;
}

void CheckDecoded(const CFrame& frame, std::istringstream& line, Tally& tally,
                  const std::string& where) {
    const FrameCodec& codec = *frame.codec;
    const std::string hex = PayloadToken(line);
    std::vector<bool> carried;
    const std::vector<uint64_t> expected = CodecUnpack(codec, Bytes(hex), carried);
    for (size_t i = 0; i < codec.signals.size(); ++i) {
        const SignalCodec& signal = codec.signals[i];
        uint64_t raw = 0, encoded = 0;
        std::string physicalText;
        int inRange = 0;
        line >> std::hex >> raw >> physicalText >> std::dec >> inRange >> std::hex >> encoded;
        EXPECT_EQ(raw, expected[i]) << where << " " << signal.name << " of " << hex;
        if (!carried[i]) continue;
        ++tally.decoded;
        const double physical = std::strtod(physicalText.c_str(), nullptr);
        EXPECT_TRUE(SameDouble(physical, signal.PhysicalDouble(raw)))
            << where << " " << signal.name << ": " << physicalText << " vs "
            << signal.PhysicalDouble(raw);
        const double tolerance =
            1e-9 * std::max({1.0, std::fabs(signal.minimum), std::fabs(signal.maximum)});
        const bool unchecked =
            (signal.minimum == 0.0 && signal.maximum == 0.0) || signal.minimum > signal.maximum;
        EXPECT_EQ(inRange != 0, unchecked || (physical >= signal.minimum - tolerance &&
                                              physical <= signal.maximum + tolerance))
            << where << " " << signal.name << ": is_in_range of " << physical;
        try {
            const uint64_t ours = signal.RawForPhysical(physical);
            // A NaN's payload does not survive its text: both sides need only give a NaN.
            if (std::isnan(physical)) {
                EXPECT_TRUE(std::isnan(signal.PhysicalDouble(encoded)) &&
                            std::isnan(signal.PhysicalDouble(ours)))
                    << where << " " << signal.name << ": encode of NaN";
            } else {
                EXPECT_EQ(encoded, ours)
                    << where << " " << signal.name << ": encode of " << physical;
            }
            ++tally.encoded;
        } catch (const qm::codec::CodecError&) {
            // The codec refuses the value (out of range, NaN); generated code saturates.
        }
    }
}

void Verify(const Subject& subject, Tally& tally) {
    std::istringstream lines(subject.output);
    std::string text;
    std::vector<int> rows(subject.database.frames.size(), 0);
    while (std::getline(lines, text)) {
        std::istringstream line(text);
        std::string kind;
        size_t f = 0;
        line >> kind >> f;
        ASSERT_LT(f, subject.database.frames.size()) << text;
        const CFrame& frame = subject.database.frames[f];
        const std::string where = subject.path.filename().string() + " " + frame.codec->name;
        ASSERT_TRUE(kind == "P" || kind == "D") << where << ": " << text;
        kind == "P" ? CheckPacked(frame, line, tally, where)
                    : CheckDecoded(frame, line, tally, where);
        ++rows[f];
    }
    for (size_t f = 0; f < rows.size(); ++f) {
        EXPECT_EQ(rows[f], 2 * kRounds) << subject.path.filename() << " frame " << f;
    }
    tally.frames += rows.size();
    ++tally.files;
}

TEST(GenerateCCorpus, GeneratedCodeAgreesWithTheCodec) {
    if (CorpusFiles("dbc").empty()) GTEST_SKIP() << "no corpus";
    tooltest::ScratchFolder scratch("generate_c_corpus");
    std::vector<std::unique_ptr<Subject>> subjects;
    for (const std::string format : {"dbc", "ldf", "arxml"}) {
        for (const fs::path& path : CorpusFiles(format)) {
            auto subject = std::make_unique<Subject>();
            subject->path = path;
            subject->format = format;
            if (!LoadAsTheTool(*subject) || subject->catalog.Count() == 0) continue;
            // A prefix of its own for every file, so that all of them compile together;
            // --short-names: the names as written, which the catalog built here has too.
            const std::string prefix = "db" + std::to_string(subjects.size());
            const auto run = RunTool("generate-c " + Quote(path.string()) + " -o " +
                                     Quote((scratch / "gen").string()) + " --prefix " + prefix +
                                     " --short-names --json");
            ASSERT_EQ(run.exitCode, 0) << path << ": " << run.err;
            subject->source = nlohmann::json::parse(run.out)["source"].get<std::string>();
            subject->database = qmtool::ccode::PlanCDatabase(subject->catalog, prefix,
                                                             path.filename().string(), nullptr);
            ASSERT_EQ(subject->database.prefix, prefix);
            subject->index = subjects.size();
            subject->harness =
                HarnessText(subject->database, subject->index, subject->index * 7919 + 1);
            subjects.push_back(std::move(subject));
        }
    }
    // Two compilers at a time, each over half of the files in one translation unit; the
    // libraries are not used on these threads.
    std::vector<Subject*> halves[2];
    for (size_t i = 0; i < subjects.size(); ++i) halves[i % 2].push_back(subjects[i].get());
    fs::create_directories(scratch / "half0");
    fs::create_directories(scratch / "half1");
    std::thread second([&] { BuildAndRun(halves[1], scratch / "half1"); });
    BuildAndRun(halves[0], scratch / "half0");
    second.join();
    std::map<std::string, Tally> tallies;
    for (const auto& subject : subjects) {
        EXPECT_EQ(subject->buildExit, 0) << subject->path << ":\n"
                                         << subject->output.substr(0, 4000);
        if (subject->buildExit == 0) Verify(*subject, tallies[subject->format]);
    }
    // Every file with frames, every frame but the six containers that send PDUs behind headers;
    // most signals of the random payloads decode, and most of those encode back.
    const Tally& dbc = tallies["dbc"];
    EXPECT_EQ(dbc.files, WholeCorpus() ? 34u : 24u);
    EXPECT_EQ(dbc.frames, WholeCorpus() ? 3198u : 765u);
    QM_EXPECT_FIELDS(tallies["ldf"], (files, 25u), (frames, 134u));
    QM_EXPECT_FIELDS(tallies["arxml"], (files, 10u), (frames, 44u));
    EXPECT_GT(dbc.roundTrips, WholeCorpus() ? 100000u : 20000u);
    EXPECT_GT(dbc.decoded, WholeCorpus() ? 130000u : 20000u);
    EXPECT_GT(dbc.encoded, WholeCorpus() ? 125000u : 20000u);
    EXPECT_GT(tallies["ldf"].encoded, 3500u);
    EXPECT_GT(tallies["arxml"].encoded, 1100u);
}

}  // namespace
}  // namespace generate_c
