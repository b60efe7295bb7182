#include "ldf/ldf_sections.h"

namespace qm::ldf {

BlockLine NextBlockLine(LdfReadContext& ctx, std::string_view& statement, bool& complete) {
    LdfLine line;
    do {
        if (!ctx.lines.ReadLine(line)) return BlockLine::kEnd;
    } while (line.content.empty());
    if (line.content.front() == '}') return BlockLine::kClose;
    complete = ctx.lines.AssembleStatement(line.content, statement);
    return BlockLine::kStatement;
}

}  // namespace qm::ldf
