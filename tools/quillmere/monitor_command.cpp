#include "monitor_command.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "can_frame_source.h"
#include "decode_command.h"
#include "decode_output.h"
#include "log_jobs.h"
#include "monitor_table.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t gStopRequested = 0;

void RequestStop(int) {
    gStopRequested = 1;
}

// SIGINT and SIGTERM end the run cleanly for as long as it lasts: the handler only sets a flag
// (without SA_RESTART, so a waiting poll returns at once), the loop ends and the summary is
// printed.
class StopOnSignals {
  public:
    StopOnSignals() {
        gStopRequested = 0;
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previousInt_);
        ::sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~StopOnSignals() {
        ::sigaction(SIGINT, &previousInt_, nullptr);
        ::sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;
    bool Requested() const { return gStopRequested != 0; }

  private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

// The table drawn in place: the cursor goes home, every line clears its rest, the screen below
// the table is cleared. At most kRedrawSeconds apart; lines beyond the window are left out.
class TableScreen {
  public:
    static constexpr double kRedrawSeconds = 0.1;

    explicit TableScreen(bool terminal) : terminal_(terminal) {
        WriteAll("\x1b[?25l\x1b[H\x1b[2J");  // hide the cursor, clear the screen
    }
    ~TableScreen() {
        try {
            WriteAll("\x1b[?25h");
        } catch (const ToolError&) {
        }
    }
    TableScreen(const TableScreen&) = delete;
    TableScreen& operator=(const TableScreen&) = delete;

    bool Due(Clock::time_point now) const {
        return std::chrono::duration<double>(now - lastDraw_).count() >= kRedrawSeconds;
    }

    void Draw(const std::string& title, const MonitorTable& table, Clock::time_point now) {
        lastDraw_ = now;
        size_t rows = 0, columns = 0;
        winsize size{};
        if (terminal_ && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
            rows = size.ws_row;
            columns = size.ws_col;
        }
        // One line more than the window holds tells the drawing below that some are left out.
        const std::string body =
            CutLines(title + "\n" + table.Render(columns, rows > 1 ? rows : SIZE_MAX), columns);
        std::string screen = "\x1b[H";
        size_t lines = 0, begin = 0;
        while (begin < body.size()) {
            const size_t end = body.find('\n', begin);
            if (rows > 1 && lines + 2 >= rows && end + 1 < body.size()) {
                screen += "... (enlarge the window for the rest)\x1b[K\n";
                break;
            }
            screen.append(body, begin, end - begin);
            screen += "\x1b[K\n";
            ++lines;
            begin = end + 1;
        }
        screen += "\x1b[J";
        WriteAll(screen);
    }

  private:
    bool terminal_;
    Clock::time_point lastDraw_{};
};

std::unique_ptr<FrameSource> OpenSource(const MonitorOptions& monitor) {
    if (monitor.fd >= 0) {
        return std::make_unique<DescriptorFrameSource>(monitor.fd,
                                                       "fd" + std::to_string(monitor.fd));
    }
    return std::make_unique<SocketCanSource>(monitor.interface);
}

std::string Title(const std::string& db, const std::string& channel,
                  const qm::codec::LogCounts& counts, double seconds) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%.1f s: %llu frames (%llu decoded, %llu unknown), %llu remote, %llu error "
                  "frames",
                  seconds, static_cast<unsigned long long>(counts.frames),
                  static_cast<unsigned long long>(counts.decoded),
                  static_cast<unsigned long long>(counts.unknown),
                  static_cast<unsigned long long>(counts.remote),
                  static_cast<unsigned long long>(counts.errorFrames));
    // The counts first: a narrow window cuts the end of the line.
    return channel + " " + text + "  (" + SanitizeUtf8(db) + ")";
}

bool ShowsTable(const MonitorOptions& monitor, const Options& options) {
    if (monitor.view != "auto" && monitor.view != "table" && monitor.view != "lines") {
        throw ToolError("--view takes auto, table or lines, not '" + monitor.view + "'");
    }
    if (monitor.view == "table" && options.json) {
        throw ToolError("--json writes one line per frame: it does not go with --view table");
    }
    if (monitor.view != "auto") return monitor.view == "table";
    return !options.json && ::isatty(STDOUT_FILENO);
}

TextDecoder DecoderOf(const std::string& db, const Options& options) {
    try {
        return TextDecoder::ForFile(db, options.encoding);
    } catch (const UnknownEncoding& e) {
        throw ToolError(e.what());
    }
}

// One pass over the source until a stop: the table is updated (and redrawn when due) or each
// decoded frame is written as a line.
class MonitorLoop {
  public:
    MonitorLoop(const std::string& db, const qm::codec::FrameCatalog& frames,
                const TextDecoder& decoder, const MonitorOptions& monitor, const Options& options,
                FrameSource& source, bool table)
        : db_(db),
          frames_(frames),
          monitor_(monitor),
          source_(source),
          lineWriter_(decoder, options.json),
          tableWriter_(decoder, false),
          table_(frames, tableWriter_) {
        if (table) screen_ = std::make_unique<TableScreen>(::isatty(STDOUT_FILENO) != 0);
    }

    qm::codec::LogCounts Run() {
        const StopOnSignals stop;
        const Clock::time_point start = Clock::now();
        uint64_t received = 0;
        bool dirty = screen_ != nullptr;
        for (;;) {
            ReceivedFrame frame;
            const auto result = source_.Next(frame, 100);
            if (result == FrameSource::Result::Unreadable) ++counts_.unreadable;
            if (result == FrameSource::Result::Frame) {
                Take(frame);
                ++received;
                dirty = true;
            }
            const Clock::time_point now = Clock::now();
            const double seconds = std::chrono::duration<double>(now - start).count();
            const bool done = stop.Requested() || result == FrameSource::Result::End ||
                              (monitor_.count > 0 && received >= monitor_.count) ||
                              (monitor_.duration > 0 && seconds >= monitor_.duration);
            if (screen_ && dirty && (done || screen_->Due(now))) {
                screen_->Draw(Title(db_, source_.Channel(), counts_, seconds), table_, now);
                dirty = false;
            }
            if (done) break;
        }
        return counts_;
    }

  private:
    void Take(const ReceivedFrame& frame) {
        if (frame.error) {
            ++counts_.errorFrames;
            return;
        }
        if (frame.remote) {
            ++counts_.remote;
            return;
        }
        ++counts_.frames;
        const qm::codec::FrameCodec* codec =
            screen_ ? table_.Record(frame) : frames_.ForId(frame.id, frame.extended);
        if (codec == nullptr) {
            ++counts_.unknown;
            return;
        }
        ++counts_.decoded;
        if (screen_) {
            if (!codec->signals.empty() && frame.size < codec->FieldEnd()) ++counts_.truncated;
            return;
        }
        WriteLine(frame, *codec);
    }

    // As "decode --log" writes a candump line: "(seconds) channel" before the frame.
    void WriteLine(const ReceivedFrame& frame, const qm::codec::FrameCodec& codec) {
        char timestamp[32];
        const int length = std::snprintf(timestamp, sizeof timestamp, "%.6f", frame.timestamp);
        qm::codec::LogFrame line;
        line.timestamp = std::string_view(timestamp, static_cast<size_t>(length));
        line.channel = source_.Channel();
        out_.clear();
        if (!lineWriter_.Append(out_, codec, frame.data, frame.size, &line)) ++counts_.truncated;
        WriteAll(out_);
    }

    const std::string& db_;
    const qm::codec::FrameCatalog& frames_;
    const MonitorOptions& monitor_;
    FrameSource& source_;
    DecodeWriter lineWriter_;
    DecodeWriter tableWriter_;
    MonitorTable table_;
    std::unique_ptr<TableScreen> screen_;
    qm::codec::LogCounts counts_;
    std::string out_;
};

}  // namespace

void AddMonitorOptions(CLI::App& command, std::string& db, MonitorOptions& monitor) {
    command.add_option("db", db, "database file (DBC, LDF, ARXML)")->required();
    command.add_option("--interface", monitor.interface,
                       "SocketCAN interface (default can0; any: every CAN interface)");
    command.add_option("--count", monitor.count, "stop after this many frames");
    command.add_option("--duration", monitor.duration, "stop after this many seconds");
    command.add_option("--view", monitor.view,
                       "table (redrawn in place), lines (one per decoded frame, as decode --log "
                       "writes them) or auto: a table on a terminal, else lines");
    // Frames from a descriptor handed over by the caller (a socket pair in tests).
    command
        .add_option("--fd", monitor.fd, "read struct can_frame/canfd_frame from this descriptor")
        ->group("");
}

int RunMonitor(const std::string& db, const MonitorOptions& monitor, const Options& options) {
    const bool table = ShowsTable(monitor, options);
    if (monitor.duration < 0) throw ToolError("--duration takes a positive number of seconds");
    FileFormat& format = FormatFor(db, options);
    const qm::codec::FrameCatalog* frames = format.Frames(db, options);
    if (frames == nullptr) throw ToolError("the " + format.Name() + " format has no frames");
    const TextDecoder decoder = DecoderOf(db, options);
    const std::unique_ptr<FrameSource> source = OpenSource(monitor);
    qm::codec::LogCounts counts;
    {
        MonitorLoop loop(db, *frames, decoder, monitor, options, *source, table);
        counts = loop.Run();
    }
    PrintCountsLine(counts, source->Channel(), false);
    return 0;
}

}  // namespace qmtool
