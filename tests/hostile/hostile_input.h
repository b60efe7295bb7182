#pragma once
// Hostile inputs built at test time: ZIP archives whose directory lies, and a helper that runs
// the tool on them in a child process and measures its time and peak memory.
#include <gmock/gmock.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "temp_files.h"

namespace qm::hostile {

using ::testing::HasSubstr;
using ::testing::Not;

inline void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A raw deflate stream that inflates to `mebibytes` MiB of zeros: one full-flushed block of a
// MiB repeated (each is independent of what came before), then an empty final block.
inline std::string DeflatedZeros(uint32_t mebibytes) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1u << 20, '\0');
    std::string block(deflateBound(&z, zeros.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(zeros.data());
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = static_cast<uInt>(block.size());
    deflate(&z, Z_FULL_FLUSH);
    block.resize(block.size() - z.avail_out);
    deflateEnd(&z);
    std::string out;
    out.reserve(block.size() * mebibytes + 2);
    for (uint32_t i = 0; i < mebibytes; ++i) out += block;
    out += std::string("\x03\x00", 2);  // final fixed-Huffman block holding nothing
    return out;
}

// The CRC-32 of `mebibytes` MiB of zeros, without making them.
inline uint32_t ZerosCrc(uint32_t mebibytes) {
    const std::string zeros(1u << 20, '\0');
    const uLong one = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
    uLong crc = crc32(0, nullptr, 0);
    for (uint32_t i = 0; i < mebibytes; ++i) crc = crc32_combine(crc, one, 1 << 20);
    return static_cast<uint32_t>(crc);
}

inline uint32_t Crc(const std::string& data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Entry {
    std::string name;
    uint32_t offset;  // of the local header
    uint32_t crc;
    uint32_t compressed;
    uint32_t size;  // as stated
    uint16_t method = 8;
    uint32_t external = 0;
    uint16_t madeBy = 20;
};

// A ZIP file written by hand: local headers and data as the test places them, then a central
// directory listing whatever entries it is given.
class ZipBuilder {
  public:
    // Appends a local header with its data; returns its offset.
    uint32_t AddLocal(const Entry& entry, const std::string& data) {
        const uint32_t offset = static_cast<uint32_t>(bytes_.size());
        bytes_ += LocalHeader(entry);
        bytes_ += data;
        return offset;
    }
    static std::string LocalHeader(const Entry& entry) {
        std::string out;
        Put32(out, 0x04034b50);
        Put16(out, 20), Put16(out, 0), Put16(out, entry.method), Put16(out, 0), Put16(out, 0x21);
        Put32(out, entry.crc), Put32(out, entry.compressed), Put32(out, entry.size);
        Put16(out, static_cast<uint32_t>(entry.name.size())), Put16(out, 0);
        return out + entry.name;
    }
    size_t Size() const { return bytes_.size(); }
    // One stored member whose headers state `statedSize` as its size.
    static std::string StoredMember(const std::string& name, const std::string& data,
                                    uint32_t statedSize) {
        const Entry entry{name, 0, Crc(data), static_cast<uint32_t>(data.size()), statedSize, 0};
        ZipBuilder zip;
        zip.AddLocal(entry, data);
        return zip.Finish({entry});
    }
    std::string Finish(const std::vector<Entry>& entries) const {
        std::string out = bytes_;
        const uint32_t start = static_cast<uint32_t>(out.size());
        for (const Entry& e : entries) {
            Put32(out, 0x02014b50);
            Put16(out, e.madeBy), Put16(out, 20), Put16(out, 0), Put16(out, e.method);
            Put16(out, 0), Put16(out, 0x21);
            Put32(out, e.crc), Put32(out, e.compressed), Put32(out, e.size);
            Put16(out, static_cast<uint32_t>(e.name.size())), Put16(out, 0), Put16(out, 0);
            Put16(out, 0), Put16(out, 0), Put32(out, e.external), Put32(out, e.offset);
            out += e.name;
        }
        const uint32_t length = static_cast<uint32_t>(out.size()) - start;
        Put32(out, 0x06054b50);
        Put16(out, 0), Put16(out, 0);
        Put16(out, static_cast<uint32_t>(entries.size()));
        Put16(out, static_cast<uint32_t>(entries.size()));
        Put32(out, length), Put32(out, start), Put16(out, 0);
        return out;
    }

  private:
    std::string bytes_;
};

// A fresh folder of scratch files, removed with everything in it.
using Scratch = qmtest::TempFolder;

struct RunResult {
    int exitCode = -1;  // -1 when killed by a signal
    int signal = 0;
    double seconds = 0;
    long peakKilobytes = 0;
    std::string output;  // stdout and stderr
};

// Runs the tool with the arguments in a child process, output collected in a file.
inline RunResult RunTool(const std::vector<std::string>& arguments, const std::string& outputFile) {
    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        FILE* out = std::freopen(outputFile.c_str(), "w", stdout);
        if (out == nullptr) ::_exit(127);
        ::dup2(::fileno(stdout), STDERR_FILENO);
        ::setenv("QUILLMERE_HUGEPAGES", "0", 1);
        std::vector<char*> argv;
        std::string tool = QM_TOOL_PATH;
        argv.push_back(tool.data());
        std::vector<std::string> copies = arguments;
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(tool.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKilobytes = usage.ru_maxrss;
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (FILE* in = std::fopen(outputFile.c_str(), "rb")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
            result.output.append(buffer, got);
        std::fclose(in);
    }
    return result;
}

}  // namespace qm::hostile
