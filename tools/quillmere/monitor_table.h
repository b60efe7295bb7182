#pragma once
// What "quillmere monitor" shows on a terminal: every frame seen so far, sorted by identifier
// (standard before extended), with how often it came and its mean period, and the latest value
// of each of its signals as "decode" prints them. Frames the database does not have are shown
// with their bytes.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "can_frame_source.h"
#include "codec/frame_codec.h"

namespace qmtool {

class DecodeWriter;

class MonitorTable {
  public:
    // writer renders signal lines (text form); it must serve the frames of catalog.
    MonitorTable(const qm::codec::FrameCatalog& catalog, DecodeWriter& writer)
        : catalog_(catalog), writer_(writer) {}

    // Keeps a data frame as the latest of its identifier; returns its codec (null: unknown).
    const qm::codec::FrameCodec* Record(const ReceivedFrame& frame);

    // The table as lines ending in '\n', each cut to columns bytes (0: not cut). Frames after
    // the first maxLines lines are left out (a window shows no more).
    std::string Render(size_t columns, size_t maxLines = SIZE_MAX) const;
    size_t FrameCount() const { return frames_.size(); }

  private:
    struct Seen {
        const qm::codec::FrameCodec* codec = nullptr;
        uint32_t id = 0;
        bool extended = false;
        bool fd = false;
        uint64_t count = 0;
        double first = 0.0;
        double last = 0.0;
        uint8_t size = 0;
        uint8_t data[64] = {};
    };

    void RenderFrame(const Seen& seen, std::string& out) const;

    const qm::codec::FrameCatalog& catalog_;
    DecodeWriter& writer_;
    // By (extended << 32 | id): the order of the table.
    std::map<uint64_t, Seen> frames_;
};

// Text cut to at most columns bytes per line, never inside a UTF-8 sequence (0: not cut).
std::string CutLines(const std::string& text, size_t columns);

}  // namespace qmtool
