// The Signal_encoding_types and Signal_representation sections.
#include <map>
#include <memory>
#include <unordered_map>

#include "ldf/ldf_numbers.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kEncodingHeaderDelimiters(" {\t\r\n");
constexpr Delimiters kEntryDelimiters(", ;\t\r\n");
constexpr Delimiters kRepresentationDelimiters(" :;{\t,\r\n");

constexpr uint64_t kEncodedValueLimit = 65535;

// A number written with a fraction or an exponent (hex numbers aside).
bool LooksFloating(std::string_view token) {
    if (token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) return false;
    return token.find_first_of(".eE") != std::string_view::npos;
}

// What one encoding type has seen so far, for the checks between its entries.
struct EncodingChecks {
    std::unordered_map<uint32_t, std::string> logicalTexts;
    std::map<uint64_t, uint64_t> coveredRanges;  // disjoint physical ranges, first -> last

    // True when [low, high] meets a range seen before; the range is then merged in.
    bool OverlapsAndAdd(uint64_t low, uint64_t high);
};

bool EncodingChecks::OverlapsAndAdd(uint64_t low, uint64_t high) {
    if (high < low) std::swap(low, high);
    bool overlaps = false;
    auto it = coveredRanges.upper_bound(high);
    // Every range starting at or below high that ends at or above low overlaps; merge them.
    while (it != coveredRanges.begin()) {
        auto previous = std::prev(it);
        if (previous->second < low) break;
        overlaps = true;
        low = std::min(low, previous->first);
        high = std::max(high, previous->second);
        it = coveredRanges.erase(previous);
    }
    coveredRanges[low] = high;
    return overlaps;
}

void CheckEncodedNumber(LdfReadContext& ctx, std::string_view token, uint64_t value,
                        std::string_view floatingText, std::string_view bigText) {
    if (LooksFloating(token)) ctx.AddLineMessage({floatingText});
    if (value > kEncodedValueLimit) ctx.AddLineMessage({bigText});
}

bool EncodingRowMalformed(LdfReadContext& ctx) {
    return ctx.Fail({"Malformed Signal Encoding Type row Line("}, kResultEncodingTypes);
}

bool ReadLogicalValue(LdfReadContext& ctx, LdfSignalEncodingType& encoding,
                      EncodingChecks& checks) {
    const Tokens& tokens = ctx.tokens;
    uint64_t value = 0;
    if (!ParseUnsigned(tokens[1], value)) return EncodingRowMalformed(ctx);
    auto logical = std::make_unique<LdfLogicalValue>();
    logical->signalValue = static_cast<uint32_t>(value);
    if (tokens.size() > 2) logical->textInfo.assign(tokens[2]);
    CheckEncodedNumber(
        ctx, tokens[1], value,
        "WARNING. Signal values of encoding are floating point numbers. Warning for "
        "line(",
        "WARNING. Signal values of encoding are bigger than 65535. Warning for line(");
    auto [it, inserted] = checks.logicalTexts.emplace(logical->signalValue, logical->textInfo);
    if (!inserted && it->second != logical->textInfo) {
        ctx.AddLineMessage(
            {"WARNING. Two logic encoding parts have equal values but different "
             "info texts. Warning for line("});
    }
    encoding.values.push_back(std::move(logical));
    return true;
}

bool ReadPhysicalValue(LdfReadContext& ctx, LdfSignalEncodingType& encoding,
                       EncodingChecks& checks) {
    const Tokens& tokens = ctx.tokens;
    uint64_t minimum = 0;
    uint64_t maximum = 0;
    if (!ParseUnsigned(tokens[1], minimum) || !ParseUnsigned(tokens[2], maximum)) {
        return EncodingRowMalformed(ctx);
    }
    auto physical = std::make_unique<LdfPhysicalValue>();
    physical->minimum = static_cast<uint32_t>(minimum);
    physical->maximum = static_cast<uint32_t>(maximum);
    physical->scaleText.assign(tokens[3]);
    physical->offsetText.assign(tokens[4]);
    if (!ParseReal(tokens[3], physical->scale) || !ParseReal(tokens[4], physical->offset)) {
        return ctx.Fail({"Malformed scale or offset value Line("}, kResultEncodingTypes);
    }
    if (tokens.size() > 5) physical->textInfo.assign(tokens[5]);
    CheckEncodedNumber(ctx, tokens[1], minimum,
                       "WARNING. Signal min values of encoding are floating point numbers. Warning "
                       "for line(",
                       "WARNING. Signal min values of encoding are bigger than 65535. Warning for "
                       "line(");
    CheckEncodedNumber(ctx, tokens[2], maximum,
                       "WARNING. Signal max values of encoding are floating point numbers. Warning "
                       "for line(",
                       "WARNING. Signal max values of encoding are bigger than 65535. Warning for "
                       "line(");
    if (checks.OverlapsAndAdd(physical->minimum, physical->maximum)) {
        ctx.AddLineMessage(
            {"WARNING. Two or more physical encoding parts have overlapped value "
             "areas. Warning for line("});
    }
    encoding.values.push_back(std::move(physical));
    return true;
}

bool ReadEncodingEntry(LdfReadContext& ctx, LdfSignalEncodingType& encoding, EncodingChecks& checks,
                       std::string_view line) {
    SplitKeepingQuotes(line, kEntryDelimiters, ctx.tokens);
    const Tokens& tokens = ctx.tokens;
    const std::string_view kind = tokens.empty() ? std::string_view() : tokens[0];
    if (kind == "logical_value" && tokens.size() >= 3) {
        return ReadLogicalValue(ctx, encoding, checks);
    }
    if (kind == "physical_value" && tokens.size() >= 5) {
        return ReadPhysicalValue(ctx, encoding, checks);
    }
    if (kind == "bcd_value") {
        encoding.values.push_back(std::make_unique<LdfValue>(kLdfValueBcd));
        return true;
    }
    if (kind == "ascii_value") {
        encoding.values.push_back(std::make_unique<LdfValue>(kLdfValueAscii));
        return true;
    }
    return EncodingRowMalformed(ctx);
}

bool HandleEncodingType(LdfReadContext& ctx, std::string_view statement) {
    Split(statement, kEncodingHeaderDelimiters, ctx.tokens);
    if (ctx.tokens.size() != 1) {
        const std::string_view name = ctx.tokens.empty() ? std::string_view() : ctx.tokens[0];
        return ctx.Fail({"Check Signal Encoding Type: ", name, " Line("}, kResultEncodingTypes);
    }
    auto owned = std::make_unique<LdfSignalEncodingType>();
    owned->name.assign(ctx.tokens[0]);
    LdfSignalEncodingType& encoding = *owned;
    ctx.model.encodingTypes.push_back(std::move(owned));
    // Both are kept, as written; a look-up by name finds the first (read tolerantly, with a
    // warning).
    if (!ctx.model.encodingTypeIndex.Add(&encoding) && ctx.tolerant) {
        ctx.AddLineMessage({"WARNING. Signal encoding type ", encoding.name,
                            " defined twice, the first definition is used. Line("});
    }
    if (statement.back() == '}') return true;
    EncodingChecks checks;
    std::string_view line;
    bool complete = true;
    while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
        if (line == "{") continue;
        if (!complete) return EncodingRowMalformed(ctx);
        if (!ReadEncodingEntry(ctx, encoding, checks, line)) return false;
    }
    return true;
}

bool HandleRepresentation(LdfReadContext& ctx, std::string_view statement) {
    Tokens& tokens = ctx.tokens;
    Split(statement, kRepresentationDelimiters, tokens);
    if (tokens.size() < 2) {
        const std::string_view name = tokens.empty() ? std::string_view() : tokens[0];
        return ctx.Fail({"Check Signal Representation for Signal Encoding Type: ", name, " Line("},
                        kResultRepresentations);
    }
    LdfSignalEncodingType* encoding = ctx.model.encodingTypeIndex.Find(tokens[0]);
    if (!encoding) {
        ctx.AddLineMessage(
            {"WARNING. Missing signal encoding type definition: ", tokens[0], ". Line("});
        return true;
    }
    auto representation = std::make_unique<LdfSignalRepresentation>();
    representation->encodingType = encoding;
    for (size_t i = 1; i < tokens.size(); ++i) {
        LdfStandardSignal* signal = ctx.model.standardSignalIndex.Find(tokens[i]);
        if (!signal) {
            ctx.AddLineMessage({"WARNING. Missing signal definition: ", tokens[i], ". Line("});
            continue;
        }
        representation->signals.push_back(signal);
        encoding->signals.push_back(signal);
        signal->encodingType = encoding;
    }
    ctx.model.representations.push_back(std::move(representation));
    return true;
}

}  // namespace

bool ParseEncodingTypesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{
        "Signal_encoding_types", "Check signal encoding types section Line(",
        "Malformed Signal Encoding Type row Line(", kResultEncodingTypes};
    return RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleEncodingType(ctx, statement);
    });
}

bool ParseRepresentationsSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{
        "Signal_representation", "Check signal representation section Line(",
        "Check signal representation section Line(", kResultRepresentations};
    return RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleRepresentation(ctx, statement);
    });
}

}  // namespace qm::ldf
