#pragma once
// Bus logs read as a stream: a LineReader hands out whole lines (or blocks of whole lines, for
// workers that decode in parallel) from a file descriptor in fixed chunks, so memory stays flat
// at any log size and a pipe (candump -L can0 | ...) is decoded as it arrives. A LogLineParser
// turns one line into a frame; it knows
//   candump:  "(1436509052.249713) can0 123#DEADBEEF", "can0 123#DEADBEEF", "123#R" (remote),
//             "123##1DEADBEEF" (CAN FD, flags nibble), "20000080#..." (error frame, CAN_ERR_FLAG),
//             the screen form "can0  123   [4]  DE AD BE EF";
//   Vector ASCII (.asc): "0.010000 1  123  Rx   d 8 01 02 ...", extended "1ABx", remote
//             "Rx r", "ErrorFrame", "CANFD 1 Rx 123 name 1 0 8 8 01 ...", and the header lines
//             ("date", "base hex|dec", "Begin Triggerblock", "// version", ...).
// Comments, blank lines and headers are skipped; nothing in a line is ever fatal.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace qm::codec {

enum class LogLineKind : uint8_t {
    Frame,       // a data frame (CAN or CAN FD)
    Remote,      // a remote frame: no data
    Error,       // an error frame
    Skipped,     // blank, comment, header, or an event that is no frame
    Unreadable,  // looks like nothing known
};

struct LogFrame {
    std::string_view timestamp;  // as written (a decimal number), empty when the line has none
    std::string_view channel;
    uint32_t id = 0;
    bool extended = false;  // 29-bit: written with eight digits, an "x" suffix, or above 0x7FF
    bool fd = false;
    uint8_t size = 0;
    uint8_t data[64] = {};
};

class LogLineParser {
  public:
    // The kind of a line (without its line end); fills frame for Frame and Remote.
    LogLineKind Parse(std::string_view line, LogFrame& frame);
    // Parse() of the first line of a non-empty block, which then starts after that line and its
    // end (as ForEachLine splits it); a candump -L line is read without a search for its end.
    LogLineKind ParseFirst(std::string_view& block, LogFrame& frame);
    // Takes the state that header lines set (".asc" "base dec|hex") from a block of lines
    // without parsing its frames: a parser copied before the block and one that parsed the
    // block read the lines after it alike. Lets workers decode pieces of one log at once.
    void FollowHeaders(std::string_view block);

  private:
    void TakeHeader(std::string_view line);
    LogLineKind ParseCandump(std::string_view first, std::string_view rest, LogFrame& frame);
    LogLineKind ParseAsc(std::string_view rest, LogFrame& frame);
    bool decimalIds_ = false;  // ".asc" "base dec"
};

// What a log held, line by line.
struct LogCounts {
    uint64_t lines = 0;
    uint64_t frames = 0;     // data frames
    uint64_t decoded = 0;    // data frames of a known identifier
    uint64_t unknown = 0;    // data frames of an identifier the database does not have
    uint64_t truncated = 0;  // decoded frames whose payload was too short for some signal
    uint64_t remote = 0;
    uint64_t errorFrames = 0;
    uint64_t skipped = 0;
    uint64_t unreadable = 0;

    void Count(LogLineKind kind);
    LogCounts& operator+=(const LogCounts& other);
};

// Whole lines from a file descriptor, read in chunks. Lines end in "\n" (a "\r" before it is
// dropped); the last line may lack its end. Of a line longer than the chunk, only its first
// chunk is handed out (as one line, which then reads as unreadable) and the rest is dropped, so
// that memory never grows with the input and the line is counted once.
class LineReader {
  public:
    explicit LineReader(int fd, size_t chunkBytes = size_t{1} << 20);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next block of whole lines, line ends included; valid until the next call. False at
    // the end of the input (or on a read error, see Failed()).
    bool NextBlock(std::string_view& block);
    // The next line of the input, without its line end.
    bool NextLine(std::string_view& line);
    bool Failed() const { return failed_; }
    // Where the block NextBlock handed out last begins, in bytes from where reading started
    // (dropped bytes count: offsets stay those of the input).
    uint64_t BlockOffset() const { return blockOffset_; }

  private:
    bool Fill();

    int fd_;
    size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0;  // first byte not handed out
    size_t end_ = 0;    // end of the bytes read
    bool eof_ = false;
    bool failed_ = false;
    bool dropping_ = false;     // the rest of a line longer than the chunk is read and dropped
    uint64_t base_ = 0;         // input offset of the buffer's first byte
    uint64_t blockOffset_ = 0;  // input offset of the last block handed out
    std::string_view block_;    // NextLine's current block
};

// Calls onLine(line) for every line of a block (without line ends).
template <class OnLine>
void ForEachLine(std::string_view block, OnLine&& onLine) {
    while (!block.empty()) {
        const size_t end = block.find('\n');
        std::string_view line = block.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        onLine(line);
        if (end == std::string_view::npos) break;
        block.remove_prefix(end + 1);
    }
}

}  // namespace qm::codec
