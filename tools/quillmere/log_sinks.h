#pragma once
// Where the decoded pieces of logs go, in the order of the input.
#include <memory>
#include <string>

#include "log_piece.h"

namespace qmtool {

class Sink {
  public:
    virtual ~Sink() = default;
    virtual void Write(const PieceOutput& piece) = 0;
    virtual void Finish() {}
    // Whether pieces are to be decoded into CSV rows with the table of each (else into text).
    virtual bool MarksRows() const { return false; }
};

// The text of the pieces into one stream: the file at path, or standard output when path is "".
std::unique_ptr<Sink> OpenStreamSink(const std::string& path);

}  // namespace qmtool
