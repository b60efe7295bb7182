// Writes the generated 50 MB benchmark DBC (the one of bench_dbc) to a path and prints, as one
// JSON object, the C++ figures that bench/python_decode.py sets the Python figures beside: the
// load of the file, and the decoding of one message's frames into physical values.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codec_models/model_codecs.h"
#include "common/dbc_generator.h"
#include "common/timing.h"
#include "dbc/dbc_message.h"
#include "dbc/netconfig_dbc_file.h"

namespace {

constexpr size_t kTargetBytes = 50u << 20;
constexpr size_t kMessages = 10000;
constexpr size_t kSignalsPerMessage = 20;
constexpr size_t kFrames = 200000;

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The message with the most signals and no multiplexing: every frame decodes all of them.
qm::dbc::DbcMessage* BusiestPlainMessage(NetConfigDbcFile& file) {
    qm::dbc::DbcMessage* best = nullptr;
    for (uint64_t i = 0; i < file.GetMessageCount(); ++i) {
        auto* message = static_cast<qm::dbc::DbcMessage*>(file.GetMessage(i));
        bool plain = message->GetSize() == 8;
        for (uint64_t s = 0; s < message->GetSignalCount() && plain; ++s) {
            plain = message->GetSignal(s)->IsNotMultiplexed();
        }
        if (plain && (!best || message->GetSignalCount() > best->GetSignalCount())) best = message;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.dbc\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    qm::bench::DbcFigures figures;
    const std::string text =
        qm::bench::GenerateDbc(kTargetBytes, kMessages, kSignalsPerMessage, 42, &figures);
    std::ofstream(path, std::ios::binary) << text;

    double loadWall = 1e9;
    double loadCpu = 1e9;
    NetConfigDbcFile file;
    for (int round = 0; round < 3; ++round) {
        NetConfigDbcFile again;
        const double wall = WallSeconds();
        const double cpu = qm::bench::ThreadCpuSeconds();
        again.Load(path.c_str());
        loadCpu = std::min(loadCpu, qm::bench::ThreadCpuSeconds() - cpu);
        loadWall = std::min(loadWall, WallSeconds() - wall);
    }
    file.Load(path.c_str());

    qm::dbc::DbcMessage* message = BusiestPlainMessage(file);
    if (!message) {
        std::fprintf(stderr, "no plain message in the generated file\n");
        return 1;
    }
    std::mt19937 random(7);
    std::vector<uint8_t> payloads(kFrames * 8);
    for (uint8_t& byte : payloads) byte = static_cast<uint8_t>(random());
    double checksum = 0.0;
    size_t values = 0;
    // The frame codec that the tool and Python decode with, built once as they build it.
    const auto frame = qm::codec::BuildDbcFrame(*message);
    const double cpu = qm::bench::ThreadCpuSeconds();
    for (size_t f = 0; f < kFrames; ++f) {
        frame->Decode(payloads.data() + f * 8, 8, [&](size_t index, uint64_t raw) {
            checksum += frame->signals[index].PhysicalDouble(raw);
            ++values;
        });
    }
    const double decodeCpu = qm::bench::ThreadCpuSeconds() - cpu;
    std::printf(
        "{\"path\": \"%s\", \"bytes\": %zu, \"messages\": %zu, \"signals\": %zu, "
        "\"load_seconds\": %.6f, \"load_cpu_seconds\": %.6f, \"frame_id\": %u, "
        "\"frame_signals\": %llu, \"decode_frames\": %zu, \"decode_cpu_seconds\": %.6f, "
        "\"decode_frames_per_second\": %.1f, \"decode_values_per_second\": %.1f, "
        "\"checksum\": %.6g}\n",
        path.c_str(), figures.bytes, figures.messages, figures.signals, loadWall, loadCpu,
        message->GetRawId(), static_cast<unsigned long long>(message->GetSignalCount()), kFrames,
        decodeCpu, kFrames / decodeCpu, values / decodeCpu, checksum);
    return 0;
}
