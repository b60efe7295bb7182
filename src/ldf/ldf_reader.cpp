#include "ldf/ldf_reader.h"

#include <string>

#include <unordered_set>

#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

using SectionParser = bool (*)(LdfReadContext&);

struct Keyword {
    std::string_view text;
    uint8_t sectionCode;
    SectionParser parser;
};

bool AcceptDescriptionFile(LdfReadContext&) {
    return true;
}

bool SetBigEndian(LdfReadContext& ctx) {
    ctx.model.bigEndian = 1;
    return true;
}

bool RefuseNodeCapabilityFile(LdfReadContext& ctx) {
    ctx.AddLineMessage({"Node capability file format not supported. Line("});
    return false;
}

// Tried in this order; the first keyword the raw line begins with decides.
constexpr Keyword kKeywords[] = {
    {"LIN_description_file", 2, AcceptDescriptionFile},
    {"LIN_sig_byte_order_big_endian", 8, SetBigEndian},
    {"node_capability_file", 0, RefuseNodeCapabilityFile},
    {"LIN_protocol_version", 3, ParseProtocolVersion},
    {"LIN_language_version", 4, ParseLanguageVersion},
    {"LDF_file_revision", 7, ParseFileRevision},
    {"LIN_speed", 5, ParseSpeed},
    {"Channel_name", 6, ParseChannelName},
    {"Nodes", 10, ParseNodesSection},
    {"composite", 12, ParseCompositeSection},
    {"Diagnostic_addresses", 15, ParseDiagnosticAddressesSection},
    {"dynamic_frames", 26, ParseDynamicFramesSection},
    {"Signals", 20, ParseSignalsSection},
    {"Diagnostic_signals", 25, ParseDiagnosticSignalsSection},
    {"Frames", 30, ParseFramesSection},
    {"Sporadic_frames", 40, ParseSporadicFramesSection},
    {"Event_triggered_frames", 45, ParseEventTriggeredFramesSection},
    {"Diagnostic_frames", 50, ParseDiagnosticFramesSection},
    {"Node_attributes", 51, ParseNodeAttributesSection},
    {"Schedule_tables", 52, ParseScheduleTablesSection},
    {"Signal_groups", 53, ParseSignalGroupsSection},
    {"Signal_encoding_types", 54, ParseEncodingTypesSection},
    {"Signal_representation", 70, ParseRepresentationsSection},
};

constexpr uint8_t kSectionComment = 1;
constexpr uint8_t kSectionUnknown = 71;

const Keyword* KeywordOf(std::string_view raw) {
    for (const Keyword& keyword : kKeywords) {
        if (StartsWith(raw, keyword.text)) return &keyword;
    }
    return nullptr;
}

constexpr Delimiters kNetworkNameDelimiters("/*: \t\n\r");

void RecordComment(LdfReadContext& ctx, std::string_view raw) {
    ctx.model.comments.emplace_back(raw);
    ctx.model.sectionCode = kSectionComment;
    if (raw.find("Network:") == std::string_view::npos) return;
    Split(raw, kNetworkNameDelimiters, ctx.tokens);
    if (ctx.tokens.size() >= 2) ctx.model.networkName.assign(ctx.tokens[1]);
}

// Handles one top-level line; false when reading stops.
bool HandleTopLevelLine(LdfReadContext& ctx, const LdfLine& line) {
    if (line.raw.empty()) return true;
    if (StartsWith(line.raw, "/*") || line.raw.front() == '*') {
        RecordComment(ctx, line.raw);
        return true;
    }
    if (line.content.empty()) return true;
    if (line.raw.front() == '\x1a') return true;
    if (line.raw.front() == '{' || line.raw.front() == '}') {
        ctx.AddLineMessage({"Redundant bracket. Line("});
        return true;
    }
    const Keyword* keyword = KeywordOf(line.raw);
    if (!keyword) {
        ctx.AddText({"Possible undefined tag, check this line: Line("});
        ctx.AddText({std::to_string(ctx.LineNumber()), ") ", line.raw.substr(0, 4096), "\r\n"});
        ctx.model.sectionCode = kSectionUnknown;
        return false;
    }
    if (keyword->sectionCode != 0) ctx.model.sectionCode = keyword->sectionCode;
    return keyword->parser(ctx);
}

}  // namespace

bool IsTopLevelKeyword(std::string_view raw) {
    return KeywordOf(raw) != nullptr;
}

uint8_t ReadLdfText(LdfModel& model, std::string& messages, std::string_view text,
                    platform::InputFile* input, bool tolerant) {
    LdfReadContext ctx(model, messages, text, input);
    ctx.tolerant = tolerant;
    ctx.lines.SplitStatementsOfALine(tolerant);
    LdfLine line;
    bool anyContent = false;
    while (ctx.lines.ReadLine(line)) {
        anyContent = anyContent || !line.content.empty();
        // A section reads its lines up to its closing "}": one that meets the end of the text
        // instead belongs to a file cut short, which reads like a whole one up to there.
        const uint64_t endsBefore = ctx.lines.EndsMet();
        const uint64_t sectionLine = ctx.lines.LineNumber();
        const std::string sectionStart(ctx.tolerant ? line.raw.substr(0, 4096) : "");
        if (!HandleTopLevelLine(ctx, line)) {
            BindDeferredNodeSignals(ctx);
            return 0;
        }
        if (ctx.tolerant && ctx.lines.EndsMet() != endsBefore) {
            ctx.AddText({"WARNING. The file ends inside the section that begins at Line(",
                         std::to_string(sectionLine), ") ", sectionStart, ".\r\n"});
        }
    }
    if (ctx.tolerant && !anyContent)
        ctx.AddText({"WARNING. The file is empty: no LDF statement read.\r\n"});
    BindDeferredNodeSignals(ctx);
    return 1;
}

void BindPendingReferences(LdfModel& model) {
    for (ConfigurableFrame* entry : model.pendingConfigurableFrames) {
        entry->frame = model.frameIndex.Find(entry->frameName);
    }
    model.pendingConfigurableFrames.clear();
    if (!model.pendingDynamicFrameIds.empty()) {
        const std::unordered_set<uint64_t> ids(model.pendingDynamicFrameIds.begin(),
                                               model.pendingDynamicFrameIds.end());
        for (const auto& frame : model.unconditionalFrames) {
            if (ids.count(frame->frameId)) frame->dynamic = 1;
        }
    }
    model.pendingDynamicFrameIds.clear();
}

}  // namespace qm::ldf
