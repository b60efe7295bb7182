#pragma once
// The section parsers of the LDF reader. Each is called with the keyword line as the current
// line of the context, reads the lines of its section itself and returns false when reading
// must stop (its message and result code are then set).
#include <string>
#include <string_view>

#include "ldf/ldf_read_context.h"

namespace qm::ldf {

bool ParseProtocolVersion(LdfReadContext& ctx);
bool ParseLanguageVersion(LdfReadContext& ctx);
bool ParseFileRevision(LdfReadContext& ctx);
bool ParseSpeed(LdfReadContext& ctx);
bool ParseChannelName(LdfReadContext& ctx);
bool ParseNodesSection(LdfReadContext& ctx);
bool ParseCompositeSection(LdfReadContext& ctx);
bool ParseDiagnosticAddressesSection(LdfReadContext& ctx);
bool ParseDynamicFramesSection(LdfReadContext& ctx);
bool ParseSignalsSection(LdfReadContext& ctx);
bool ParseDiagnosticSignalsSection(LdfReadContext& ctx);
bool ParseFramesSection(LdfReadContext& ctx);
bool ParseSporadicFramesSection(LdfReadContext& ctx);
bool ParseEventTriggeredFramesSection(LdfReadContext& ctx);
bool ParseDiagnosticFramesSection(LdfReadContext& ctx);
bool ParseNodeAttributesSection(LdfReadContext& ctx);
// Binds the signals that node attributes named before the file defined them (tolerant reading).
void BindDeferredNodeSignals(LdfReadContext& ctx);
bool ParseScheduleTablesSection(LdfReadContext& ctx);
bool ParseSignalGroupsSection(LdfReadContext& ctx);
bool ParseEncodingTypesSection(LdfReadContext& ctx);
bool ParseRepresentationsSection(LdfReadContext& ctx);

// What the next line inside a block brings.
enum class BlockLine { kStatement, kClose, kEnd };

// Reads up to the next line with content: kClose when it begins with "}", kEnd at the end of the
// text, else kStatement with the assembled statement (a statement cut off by the end of the text
// is still returned; complete tells whether it was finished).
BlockLine NextBlockLine(LdfReadContext& ctx, std::string_view& statement, bool& complete);

// The frame every section shares: the keyword check, the empty one-line section, and the
// statements up to the closing "}". handle(statement) returns false to stop reading.
struct SectionTexts {
    std::string_view keyword;
    std::string_view check;      // message when the line does not begin with the keyword
    std::string_view malformed;  // message when a statement is cut off by the end of the text
    uint8_t resultCode;
};

template <class Handle>
bool RunSection(LdfReadContext& ctx, const SectionTexts& texts, Handle handle) {
    const std::string_view content = ctx.Line().content;
    if (!StartsWith(content, texts.keyword)) return ctx.Fail({texts.check}, texts.resultCode);
    if (!content.empty() && content.back() == '}') return true;
    std::string_view statement;
    bool complete = true;
    // Read tolerantly, statements on the keyword line after its "{" come as lines of their own
    // (LdfLineSource::SplitStatementsOfALine); the described reader goes on with the next line.
    // Read tolerantly, a section whose "{" is missing (its first statement comes straight after
    // the keyword line) is said so; it is read all the same.
    bool awaitingBrace = ctx.tolerant && content.find('{') == std::string_view::npos;
    const uint64_t keywordLine = ctx.LineNumber();
    const std::string keywordRaw(awaitingBrace ? ctx.Line().raw.substr(0, 4096) : "");
    for (;;) {
        switch (NextBlockLine(ctx, statement, complete)) {
            case BlockLine::kEnd:
            case BlockLine::kClose:
                return true;
            case BlockLine::kStatement:
                break;
        }
        if (!complete) return ctx.Fail({texts.malformed}, texts.resultCode);
        if (awaitingBrace && statement.front() != '{')
            ctx.AddMessageAt({"WARNING. Section without its opening brace. Line("}, keywordLine,
                             keywordRaw);
        awaitingBrace = false;
        if (statement == "{") continue;
        if (!handle(statement)) return false;
    }
}

}  // namespace qm::ldf
