#include "csv_tables.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "format.h"

namespace qmtool {

using qm::codec::FrameCatalog;
using qm::codec::FrameCodec;

std::string FileNameOf(const std::string& name) {
    std::string out;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool keep = std::isalnum(byte) || c == '_' || c == '-' || c == '.' || byte >= 0x80;
        out += keep ? c : '_';
    }
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

TableFolderSink::TableFolderSink(const std::string& folder, const FrameCatalog& frames,
                                 const DecodeWriter& writer, size_t budget)
    : folder_(folder),
      frames_(frames),
      writer_(writer),
      budget_(std::max(budget, RowChunk::kBytes)),
      rows_(frames.Count()) {
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (!std::filesystem::is_directory(folder_)) {
        throw ToolError("cannot make the folder " + folder + (error ? ": " + error.message() : ""));
    }
    files_ = std::make_unique<TableFiles>(frames.Count());
}

void TableFolderSink::Write(const PieceOutput& piece) {
    constexpr size_t kAhead = 8;
    const std::vector<RowMark>& ends = piece.ends;
    for (size_t i = 0; i < ends.size() && i < 2 * kAhead; ++i) {
        __builtin_prefetch(&rows_[ends[i].frame]);
    }
    uint32_t begin = 0;
    for (size_t i = 0; i < ends.size(); ++i) {
        if (i + 2 * kAhead < ends.size()) __builtin_prefetch(&rows_[ends[i + 2 * kAhead].frame]);
        if (i + kAhead < ends.size()) {
            const Rows& ahead = rows_[ends[i + kAhead].frame];
            if (ahead.at != nullptr) __builtin_prefetch(ahead.at, 1);
        }
        const RowMark& row = ends[i];
        Append(DirtyRows(row.frame), piece.rows.data() + begin, row.end - begin);
        begin = row.end;
    }
    EndPiece();
}

void TableFolderSink::EndPiece() {
    // Written chunks serve the next rows at once. A writer still busy is waited for only
    // when twice the budget waits (rows go on into the pool meanwhile, up to what it may
    // hold), so that a failed write stops the decode within that many rows.
    TakeWritten(false);
    if (pendingBytes_ >= budget_ && (files_->Idle() || pendingBytes_ >= 2 * budget_)) {
        FlushLargest();
    }
    files_->ThrowIfFailed();
}

void TableFolderSink::Finish() {
    HandOver(dirty_.size());
    files_->Finish();
}

void TableFolderSink::NewChunk(Rows& rows) {
    // Beyond the budget, an eighth more and the unfilled half of a chunk per table, the pool
    // takes chunks back from the writer instead of growing: it waits for those of the batch
    // being written, or hands the largest other tables over first when the writer is idle
    // (growing then, as a slow writer left the rows past the budget, would keep a slab more
    // after every batch).
    if (pool_.Full()) TakeWritten(false);
    if (pool_.Full() &&
        pool_.Bytes() >= budget_ + budget_ / 8 + rows_.size() * RowChunk::kBytes / 2) {
        if (files_->Idle()) FlushLargest(&rows);
        if (!files_->Idle()) TakeWritten(true);
    }
    RowChunk* chunk = pool_.Take();
    if (rows.last == nullptr) {
        rows.first = chunk;
    } else {
        rows.last->next = chunk;
    }
    rows.last = chunk;
    rows.at = chunk->data;
}

void TableFolderSink::MakeTable(uint32_t index) {
    const FrameCodec& frame = frames_.At(index);
    std::string name = FileNameOf(writer_.NameOf(frame));
    if (!names_.insert(name).second) name += "_" + std::to_string(index);
    names_.insert(name);
    files_->SetPath(index, (std::filesystem::path(folder_) / (name + ".csv")).string());
    const std::string header = writer_.CsvHeader(frame);
    Append(rows_[index], header.data(), header.size());
    rows_[index].made = true;
}

void TableFolderSink::TakeWritten(bool wait) {
    files_->TakeWritten(written_, wait);
    pool_.Give(written_);
    written_.clear();
}

void TableFolderSink::HandOver(size_t count) {
    files_->WaitIdle();
    TakeWritten(false);
    batch_.chains.clear();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t index = dirty_[i];
        Rows& rows = rows_[index];
        if (rows.first != nullptr) batch_.chains.push_back({index, rows.first, rows.at});
        pendingBytes_ -= rows.bytes;
        rows = Rows{nullptr, nullptr, nullptr, 0, true, false};
    }
    dirty_.erase(dirty_.begin(), dirty_.begin() + static_cast<std::ptrdiff_t>(count));
    if (!batch_.chains.empty()) files_->Hand(batch_);
}

void TableFolderSink::FlushLargest(const Rows* keep) {
    std::sort(dirty_.begin(), dirty_.end(),
              [&](uint32_t a, uint32_t b) { return rows_[a].bytes > rows_[b].bytes; });
    size_t count = 0;
    size_t left = pendingBytes_;
    for (size_t i = 0; i < dirty_.size() && left > budget_ / 2; ++i) {
        if (&rows_[dirty_[i]] == keep) continue;
        left -= rows_[dirty_[i]].bytes;
        std::swap(dirty_[count++], dirty_[i]);
    }
    HandOver(count);
}

}  // namespace qmtool
