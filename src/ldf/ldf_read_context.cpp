#include "ldf/ldf_read_context.h"

#include "ldf/ldf_numbers.h"

namespace qm::ldf {

void LdfReadContext::AppendRawLine() {
    AppendDecimal(messages, lines.LineNumber());
    messages.append(") ");
    const std::string_view raw = lines.Current().raw;
    messages.append(raw.substr(0, kRawLineLimit));
    messages.append(".\r\n");
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
