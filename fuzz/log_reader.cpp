// Bus log lines (candump and Vector ASCII) through the log reader and, for every frame line,
// the frame codec of a small DBC: no input may crash or hang either; a block read line by line
// from its start (ParseFirst) must read as its lines one by one.
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "codec/log_reader.h"
#include "codec_models/model_codecs.h"
#include "dbc/netconfig_dbc_file.h"

namespace {

const qm::codec::FrameCatalog& Catalog() {
    static qm::dbc::NetConfigDbcFile* file = [] {
        auto* dbc = new qm::dbc::NetConfigDbcFile();
        dbc->SetTolerantReading(true);
        static const char kText[] =
            "VERSION \"\"\n\nBU_: A\n\nBO_ 291 F: 8 A\n"
            " SG_ M M : 0|8@1+ (1,0) [0|0] \"\" A\n"
            " SG_ S m1 : 15|12@0- (0.1,-3) [0|0] \"\" A\n"
            " SG_ D : 32|32@1- (1,0) [0|0] \"\" A\n"
            "SIG_VALTYPE_ 291 D : 1;\n"
            "VAL_ 291 M 1 \"one\" 255 \"max\" ;\n";
        dbc->LoadText(kText, L"fuzz.dbc");
        return dbc;
    }();
    static const qm::codec::FrameCatalog catalog = qm::codec::BuildDbcCatalog(*file);
    return catalog;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qm::codec::FrameCatalog& catalog = Catalog();
    int fds[2];
    if (::pipe(fds) != 0) return 0;
    // The input through a pipe (it holds 64 KiB, so at most 60000 bytes go in at once), read in
    // small chunks as a stream arrives.
    const size_t length = size > 60000 ? 60000 : size;
    const ssize_t written = ::write(fds[1], data, length);
    ::close(fds[1]);
    if (written < 0) {
        ::close(fds[0]);
        return 0;
    }
    qm::codec::LineReader reader(fds[0], 97);
    qm::codec::LogLineParser parser;
    qm::codec::LogFrame frame;
    std::string_view block;
    uint64_t sum = 0;
    while (reader.NextBlock(block)) {
        // ParseFirst over the block reads every line as Parse does after ForEachLine.
        qm::codec::LogLineParser lineParser = parser;
        qm::codec::LogLineParser blockParser = parser;
        std::string_view rest = block;
        qm::codec::ForEachLine(block, [&](std::string_view line) {
            qm::codec::LogFrame byLine;
            qm::codec::LogFrame byBlock;
            const auto lineKind = lineParser.Parse(line, byLine);
            if (rest.empty() || blockParser.ParseFirst(rest, byBlock) != lineKind) __builtin_trap();
            if (lineKind == qm::codec::LogLineKind::Frame &&
                (byLine.timestamp != byBlock.timestamp || byLine.channel != byBlock.channel ||
                 byLine.id != byBlock.id || byLine.extended != byBlock.extended ||
                 byLine.fd != byBlock.fd || byLine.size != byBlock.size ||
                 std::memcmp(byLine.data, byBlock.data, byLine.size) != 0)) {
                __builtin_trap();
            }
        });
        if (!rest.empty()) __builtin_trap();
        qm::codec::ForEachLine(block, [&](std::string_view line) {
            if (parser.Parse(line, frame) != qm::codec::LogLineKind::Frame) return;
            if (const auto* codec = catalog.ForId(frame.id, frame.extended)) {
                codec->Decode(frame.data, frame.size, [&](size_t index, uint64_t raw) {
                    // The double's bits: a value out of the integers' range has no conversion.
                    sum += raw + std::bit_cast<uint64_t>(codec->signals[index].PhysicalDouble(raw));
                    (void)codec->signals[index].PhysicalOf(raw);
                    (void)codec->signals[index].TextOf(raw);
                });
            }
        });
    }
    ::close(fds[0]);
    return static_cast<int>(sum & 0);
}
