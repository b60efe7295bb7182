#include "ldf/ldf_read_context.h"

#include <algorithm>

#include "ldf/ldf_numbers.h"

namespace qm::ldf {

void LdfReadContext::ReserveLog(size_t inputSize) {
    // A file with a warning on most lines has a log as long as itself. Growing the log by
    // doubling would copy it each time and briefly hold it twice; room reserved at once is only
    // address space until the messages are written into it.
    if (inputSize < kReserveFrom) return;
    messages.reserve(messages.size() + std::min(inputSize, kMessageLimit));
}

void LdfReadContext::AppendRawLine() {
    AppendLine(lines.LineNumber(), lines.Current().raw);
}

void LdfReadContext::AppendLine(uint64_t lineNumber, std::string_view raw) {
    AppendDecimal(messages, lineNumber);
    messages.append(") ");
    messages.append(raw.substr(0, kRawLineLimit));
    messages.append(".\r\n");
}

void LdfReadContext::AddMessageAt(std::initializer_list<std::string_view> pieces,
                                  uint64_t lineNumber, std::string_view raw) {
    if (!HasRoom()) return;
    for (std::string_view piece : pieces) messages.append(piece);
    AppendLine(lineNumber, raw);
}

void LdfReadContext::AddLineMessage(std::initializer_list<std::string_view> pieces) {
    if (!HasRoom()) return;
    for (std::string_view piece : pieces) messages.append(piece);
    AppendRawLine();
}

void LdfReadContext::AddText(std::initializer_list<std::string_view> pieces) {
    if (!HasRoom()) return;
    for (std::string_view piece : pieces) messages.append(piece);
}

bool LdfReadContext::Fail(std::initializer_list<std::string_view> pieces, uint8_t code) {
    for (std::string_view piece : pieces) messages.append(piece);
    AppendRawLine();
    model.resultCode = code;
    return false;
}

}  // namespace qm::ldf
