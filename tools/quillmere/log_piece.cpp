#include "log_piece.h"

namespace qmtool {

using qm::codec::FrameCodec;
using qm::codec::LogCounts;
using qm::codec::LogFrame;
using qm::codec::LogLineParser;

void DecodePieceInto(std::string_view piece, LogLineParser& parser, FrameLookup& lookup,
                     const DecodeWriter& writer, bool csvRows, PieceOutput& out,
                     LogCounts& counts) {
    // JSON Lines straight into the piece's buffer; text lines through a scratch string.
    struct TextOut {
        const DecodeWriter& writer;
        TextBuffer& text;
        std::string scratch;
        void Prefetch(const FrameCodec&, int) const {}
        bool Put(const FrameCodec& codec, const LogFrame& frame) {
            if (writer.Style() == DecodeStyle::Json) {
                return writer.AppendJsonTo(text, codec, frame.data, frame.size, &frame);
            }
            scratch.clear();
            const bool complete = writer.Append(scratch, codec, frame.data, frame.size, &frame);
            text.Append(scratch.data(), scratch.size());
            return complete;
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
        TextOut text{writer, out.text, {}};
        DecodePiece(piece, parser, lookup, writer, counts, text);
    }
}

}  // namespace qmtool
