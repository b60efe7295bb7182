// The global header values: protocol and language version, file revision, speed, channel name.
#include "ldf/ldf_numbers.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kHeaderValueDelimiters("\" =\t;\r\n");
constexpr Delimiters kSpeedDelimiters(" =\t;\r\n");
constexpr Delimiters kChannelDelimiters(" =;\"\r\n");

// Stores the second token of a "keyword = "value";" line.
bool ParseQuotedHeaderValue(LdfReadContext& ctx, std::string_view keyword,
                            std::string_view checkText, uint8_t code, std::string& target) {
    const std::string_view content = ctx.Line().content;
    if (!StartsWith(content, keyword)) return ctx.Fail({checkText}, code);
    Split(content, kHeaderValueDelimiters, ctx.tokens);
    // An empty quoted value (as the writer puts it for a model without one) stays empty.
    if (ctx.tokens.size() == 1 && content.find("\"\"") != std::string_view::npos) {
        target.clear();
        return true;
    }
    if (ctx.tokens.size() < 2) return ctx.Fail({checkText}, code);
    target.assign(ctx.tokens[1]);
    return true;
}

}  // namespace

bool ParseProtocolVersion(LdfReadContext& ctx) {
    return ParseQuotedHeaderValue(ctx, "LIN_protocol_version", "Check LIN_protocol_version. Line(",
                                  kResultProtocolVersion, ctx.model.protocolVersion);
}

bool ParseLanguageVersion(LdfReadContext& ctx) {
    return ParseQuotedHeaderValue(ctx, "LIN_language_version", "Check LIN_language_version. Line(",
                                  kResultLanguageVersion, ctx.model.languageVersion);
}

bool ParseFileRevision(LdfReadContext& ctx) {
    return ParseQuotedHeaderValue(ctx, "LDF_file_revision", "Check LDF_file_revision. Line(",
                                  kResultFileRevision, ctx.model.fileRevision);
}

bool ParseSpeed(LdfReadContext& ctx) {
    const std::string_view content = ctx.Line().content;
    if (!StartsWith(content, "LIN_speed"))
        return ctx.Fail({"Check LIN_speed. Line("}, kResultSpeed);
    Split(content, kSpeedDelimiters, ctx.tokens);
    double speed = 0.0;
    if (ctx.tokens.size() < 2 || !ParseReal(ctx.tokens[1], speed)) {
        return ctx.Fail({"Malformed LDF speed. Line("}, kResultSpeed);
    }
    ctx.model.speed = speed;
    return true;
}

bool ParseChannelName(LdfReadContext& ctx) {
    const std::string_view content = ctx.Line().content;
    if (!StartsWith(content, "Channel_name")) {
        return ctx.Fail({"No channel_name Line("}, kResultChannelName);
    }
    Split(content, kChannelDelimiters, ctx.tokens);
    // An empty quoted name (as the writer puts it for a file without one) leaves the name empty.
    if (ctx.tokens.size() == 1 && content.find("\"\"") != std::string_view::npos) {
        ctx.model.channelName.clear();
        return true;
    }
    if (ctx.tokens.size() != 2) return ctx.Fail({"Check Channel_name. Line("}, kResultChannelName);
    ctx.model.channelName.assign(ctx.tokens[1]);
    return true;
}

}  // namespace qm::ldf
