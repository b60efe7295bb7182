#pragma once
// The text of generated C code for a planned database: a C99 header (frame constants, value
// names, one struct of raw values per frame, the prototypes) and its source (pack, unpack and
// init per frame; encode, decode and range check per signal). The code needs no dynamic memory
// and no libm, and compiles warning-free with -std=c99 -Wall -Wextra -pedantic -Wconversion.
#include <string>

#include "c_code_plan.h"

namespace qmtool::ccode {

class CCodeWriter {
  public:
    explicit CCodeWriter(const CDatabase& database) : database_(database) {}

    std::string Header() const;
    // The source, which includes the header by this file name.
    std::string Source(const std::string& headerName) const;

  private:
    void AppendFrameDeclarations(std::string& out, const CFrame& frame) const;
    void AppendPack(std::string& out, const CFrame& frame) const;
    void AppendUnpack(std::string& out, const CFrame& frame) const;
    void AppendInit(std::string& out, const CFrame& frame) const;
    void AppendSignalHelpers(std::string& out, const CSignal& signal) const;

    const CDatabase& database_;
};

}  // namespace qmtool::ccode
