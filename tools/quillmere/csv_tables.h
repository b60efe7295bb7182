#pragma once
// A folder of CSV tables, one per frame layout, that the rows of decoded logs go into.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "codec/frame_codec.h"
#include "codec/log_reader.h"
#include "decode_output.h"
#include "log_piece.h"
#include "log_sinks.h"
#include "table_files.h"

namespace qmtool {

// A name that is safe as a file name: letters, digits, "_", "-" and "." kept, others "_".
std::string FileNameOf(const std::string& name);

// One CSV table per frame layout in a folder: FOLDER/NAME.csv, made when the frame first
// appears. Rows wait in their tables' chains of chunks; when they hold the budget together, the
// chains of the largest tables are handed to the writing thread (TableFiles), so a log of many
// frames costs few writes and the decode does not wait for them. The chains are written where
// they lie (no copy into a batch), and their chunks serve other tables' rows once written.
class TableFolderSink : public Sink {
  public:
    TableFolderSink(const std::string& folder, const qm::codec::FrameCatalog& frames,
                    const DecodeWriter& writer, size_t budget);
    bool MarksRows() const override { return true; }

    // The rows of a piece that a worker decoded, into their tables; the tables of the rows a
    // few ahead and then the ends of their rows are fetched first, as in DecodePiece.
    void Write(const PieceOutput& piece) override;

    // One thread decodes straight into the tables (DecodePiece's out): a frame's row goes into
    // its table's last chunk when that has room for the longest row, else through a scratch
    // buffer into as many chunks as it needs. The table's rows and their end are fetched ahead,
    // as they are cold in a large database.
    void Prefetch(const qm::codec::FrameCodec& codec, int level) const {
        const Rows& rows = rows_[codec.CatalogIndex()];
        if (level == 0) {
            __builtin_prefetch(&rows);
        } else if (rows.at != nullptr) {
            __builtin_prefetch(rows.at, 1);
        }
    }
    bool Put(const qm::codec::FrameCodec& codec, const qm::codec::LogFrame& frame) {
        Rows& rows = DirtyRows(static_cast<uint32_t>(codec.CatalogIndex()));
        if (rows.last == nullptr) NewChunk(rows);
        const size_t bound = DecodeWriter::CsvRowBound(codec, &frame);
        bool complete = true;
        if (Room(rows) >= bound) {
            char* end =
                writer_.WriteCsvRow(rows.at, codec, frame.data, frame.size, &frame, complete);
            const auto bytes = static_cast<size_t>(end - rows.at);
            rows.at = end;
            rows.bytes += static_cast<uint32_t>(bytes);
            pendingBytes_ += bytes;
        } else {
            scratch_.clear();
            char* at = scratch_.Room(bound);
            char* end = writer_.WriteCsvRow(at, codec, frame.data, frame.size, &frame, complete);
            Append(rows, at, static_cast<size_t>(end - at));
        }
        return complete;
    }
    // After a piece: the chunks written meanwhile back to the pool, and the largest tables
    // handed over when the rows waiting hold the budget; throws the first error of a write.
    void EndPiece();
    void Finish() override;

  private:
    // The rows a table has waiting: what every row touches is 32 bytes a table, side by side.
    struct Rows {
        RowChunk* first = nullptr;
        RowChunk* last = nullptr;
        char* at = nullptr;  // where the next row goes in last
        uint32_t bytes = 0;  // waiting (less than the budget and a piece's rows)
        bool made = false;   // the table's path is set and its header is waiting or written
        bool dirty = false;  // listed in dirty_
    };

    static size_t Room(const Rows& rows) {
        return rows.last == nullptr
                   ? 0
                   : static_cast<size_t>(rows.last->data + RowChunk::kBytes - rows.at);
    }
    void NewChunk(Rows& rows);
    void Append(Rows& rows, const char* text, size_t size) {
        rows.bytes += static_cast<uint32_t>(size);
        pendingBytes_ += size;
        size_t room = Room(rows);
        if (room >= size) {
            CopyRow(rows.at, text, size);
            rows.at += size;
            return;
        }
        while (size > 0) {
            if (room == 0) {
                NewChunk(rows);
                room = RowChunk::kBytes;
            }
            const size_t part = std::min(room, size);
            std::memcpy(rows.at, text, part);
            rows.at += part;
            text += part;
            size -= part;
            room -= part;
        }
    }

    // The rows of a frame's table, listed for the next flush.
    Rows& DirtyRows(uint32_t index) {
        Rows& rows = rows_[index];
        if (!rows.made) MakeTable(index);
        if (!rows.dirty) {
            rows.dirty = true;
            dirty_.push_back(index);
        }
        return rows;
    }
    void MakeTable(uint32_t index);

    // The chunks written since the last call back to the pool; with wait, waits for some
    // unless the writer is idle.
    void TakeWritten(bool wait);

    // The chains of the first `count` tables of dirty_ handed to the writing thread, once the
    // batch before is written.
    void HandOver(size_t count);

    // The tables that hold the most are handed over until half the budget is left: a log of
    // thousands of frames then costs few, large writes, and the tables of rare frames gather
    // rows for several rounds instead of one small write each round.
    // keep: a table whose rows are being appended, which stays.
    void FlushLargest(const Rows* keep = nullptr);

    std::string folder_;
    const qm::codec::FrameCatalog& frames_;
    const DecodeWriter& writer_;
    size_t budget_;  // bytes of rows that wait before the largest tables are handed over
    std::vector<Rows> rows_;
    std::set<std::string> names_;
    std::vector<uint32_t> dirty_;
    TextBuffer scratch_;
    size_t pendingBytes_ = 0;
    ChunkPool pool_;
    TableFiles::Batch batch_;
    std::vector<RowChunk*> written_;     // taken back from the writer, for the pool
    std::unique_ptr<TableFiles> files_;  // last: its thread ends before the batch goes
};

}  // namespace qmtool
