#include "log_piece.h"

namespace qmtool {

using qm::codec::FrameCodec;
using qm::codec::LogCounts;
using qm::codec::LogFrame;
using qm::codec::LogLineParser;

void DecodePieceInto(std::string_view piece, LogLineParser& parser, FrameLookup& lookup,
                     const DecodeWriter& writer, bool csvRows, PieceOutput& out,
                     LogCounts& counts) {
    struct TextOut {
        const DecodeWriter& writer;
        std::string& text;
        void Prefetch(const FrameCodec&, int) const {}
        bool Put(const FrameCodec& codec, const LogFrame& frame) const {
            return writer.Append(text, codec, frame.data, frame.size, &frame);
        }
    };
    struct RowsOut {
        const DecodeWriter& writer;
        PieceOutput& out;
        void Prefetch(const FrameCodec&, int) const {}
        bool Put(const FrameCodec& codec, const LogFrame& frame) const {
            char* at = out.rows.Room(DecodeWriter::CsvRowBound(codec, &frame));
            bool complete = true;
            out.rows.SetEnd(
                writer.WriteCsvRow(at, codec, frame.data, frame.size, &frame, complete));
            out.ends.push_back({static_cast<uint32_t>(codec.CatalogIndex()),
                                static_cast<uint32_t>(out.rows.size())});
            return complete;
        }
    };
    if (csvRows) {
        RowsOut rows{writer, out};
        DecodePiece(piece, parser, lookup, writer, counts, rows);
    } else {
        TextOut text{writer, out.text};
        DecodePiece(piece, parser, lookup, writer, counts, text);
    }
}

}  // namespace qmtool
