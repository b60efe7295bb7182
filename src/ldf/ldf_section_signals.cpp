// The signal sections: Signals, Diagnostic_signals and Signal_groups.
#include <memory>

#include "ldf/ldf_numbers.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kSignalDelimiters(" :\t,;{\r\n");
constexpr Delimiters kByteArrayDelimiters(", {}\r\n");
constexpr Delimiters kDiagnosticSignalDelimiters(" ,;:{\t\r\n");
constexpr Delimiters kGroupHeaderDelimiters(": {\t");
constexpr Delimiters kGroupMemberDelimiters(", ;{\t\r\n");

bool IsByteArraySize(unsigned size) {
    return size != 0 && size <= 64 && size % 8 == 0;
}

void CheckSignalSize(LdfReadContext& ctx, const LdfStandardSignal& signal) {
    if (!ctx.Protocol20Or22()) return;
    if (signal.byteArray) {
        if (IsByteArraySize(signal.size)) return;
        std::string size;
        AppendDecimal(size, signal.size);
        ctx.AddLineMessage(
            {"WARNING. Byte array signal with size different than required - the "
             "size is equal to ",
             size,
             " bits. It should be a multiply of 8, but not larger than 64. Warning "
             "for line("});
    } else if (signal.size > 16) {
        ctx.AddLineMessage(
            {"WARNING. Scalar signal with size bigger than 16 bits. Warning for line("});
    } else if (signal.size == 0) {
        ctx.AddLineMessage(
            {"WARNING. Scalar signal with size lower than 1 bits. Warning for line("});
    }
}

bool ReadInitialValues(std::string_view token, bool braced, Tokens& parts, InitialValues& values) {
    if (!braced) {
        uint64_t value = 0;
        if (!ParseUnsigned(token, value)) return false;
        values.push_back(static_cast<uint16_t>(value));
        return true;
    }
    Split(token, kByteArrayDelimiters, parts);
    for (std::string_view part : parts) {
        uint64_t value = 0;
        if (!ParseUnsigned(part, value)) return false;
        values.push_back(static_cast<uint16_t>(value));
    }
    return true;
}

void BindSubscribers(LdfReadContext& ctx, LdfStandardSignal& signal, const Tokens& tokens) {
    for (size_t i = 4; i < tokens.size(); ++i) {
        LdfNode* node = ctx.model.nodeIndex.Find(tokens[i]);
        if (!node) continue;
        signal.subscribers.push_back(node);
        node->subscribedSignals.push_back(&signal);
    }
}

bool HandleSignal(LdfReadContext& ctx, std::string_view statement) {
    Tokens& tokens = ctx.tokens;
    SplitKeepingBraces(statement, kSignalDelimiters, tokens);
    const auto malformed = [&] {
        return ctx.Fail({"Malformed signals section. Line("}, kResultSignals);
    };
    if (tokens.size() < 4) return malformed();
    ctx.model.standardSignalIndex.Prefetch(tokens[0]);
    auto signal = std::make_unique<LdfStandardSignal>();
    signal->name.assign(tokens[0]);
    uint64_t size = 0;
    if (!ParseUnsigned(tokens[1], size)) return malformed();
    signal->size = static_cast<uint8_t>(size);
    const bool braced = tokens[2].find('{') != std::string_view::npos;
    ctx.model.byteArrayFlag = braced ? 1 : 0;
    signal->byteArray = braced ? 1 : 0;
    if (!ReadInitialValues(tokens[2], braced, ctx.innerTokens, signal->initialValues)) {
        return malformed();
    }
    CheckSignalSize(ctx, *signal);
    signal->publisher = ctx.model.nodeIndex.Find(tokens[3]);
    if (!signal->publisher) signal->publisherName.assign(tokens[3]);
    BindSubscribers(ctx, *signal, tokens);
    ctx.model.AddStandardSignal(std::move(signal));
    return true;
}

bool HandleDiagnosticSignal(LdfReadContext& ctx, std::string_view statement) {
    Tokens& tokens = ctx.tokens;
    Split(statement, kDiagnosticSignalDelimiters, tokens);
    const auto malformed = [&] {
        return ctx.Fail({"Malformed diagnostic signals section. Line("}, kResultDiagnosticSignals);
    };
    if (tokens.size() < 3) return malformed();
    auto signal = std::make_unique<LdfDiagnosticSignal>();
    signal->name.assign(tokens[0]);
    uint64_t number = 0;
    if (!ParseUnsigned(tokens[1], number)) return malformed();
    signal->size = static_cast<uint8_t>(number);
    for (size_t i = 2; i < tokens.size(); ++i) {
        if (!ParseUnsigned(tokens[i], number)) return malformed();
        signal->initialValues.push_back(static_cast<uint16_t>(number));
    }
    if (signal->size != 8) {
        ctx.AddLineMessage({"WARNING. Diagnostic signal with size not equal 8 bits: ", signal->name,
                            ". Warning for line ("});
    }
    ctx.model.AddDiagnosticSignal(std::move(signal));
    return true;
}

bool HandleSignalGroup(LdfReadContext& ctx, std::string_view statement) {
    const auto malformed = [&] {
        return ctx.Fail({"Malformed signal groups section. Line("}, kResultSignalGroups);
    };
    Split(statement, kGroupHeaderDelimiters, ctx.tokens);
    uint64_t number = 0;
    if (ctx.tokens.size() < 2 || !ParseUnsigned(ctx.tokens[1], number)) return malformed();
    auto group = std::make_unique<LdfSignalGroup>();
    group->name.assign(ctx.tokens[0]);
    group->size = static_cast<uint8_t>(number);
    LdfSignalGroup& target = *group;
    ctx.model.signalGroups.push_back(std::move(group));
    if (statement.back() == '}') return true;
    std::string_view line;
    bool complete = true;
    while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
        if (line == "{") continue;
        Split(line, kGroupMemberDelimiters, ctx.tokens);
        if (!complete || ctx.tokens.size() < 2 || !ParseUnsigned(ctx.tokens[1], number)) {
            return malformed();
        }
        LdfStandardSignal* signal = ctx.model.standardSignalIndex.Find(ctx.tokens[0]);
        if (!signal) {
            ctx.AddLineMessage({"Missing signal definition: ", ctx.tokens[0], ". Line("});
            continue;
        }
        signal->groupOffset = static_cast<uint16_t>(number);
        target.signals.push_back(signal);
    }
    return true;
}

}  // namespace

bool ParseSignalsSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"Signals", "Check signals section. Line(",
                                         "Malformed signals section. Line(", kResultSignals};
    return RunSection(ctx, kTexts,
                      [&](std::string_view statement) { return HandleSignal(ctx, statement); });
}

bool ParseDiagnosticSignalsSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{
        "Diagnostic_signals", "Check diagnostic signals section. Line(",
        "Malformed diagnostic signals section. Line(", kResultDiagnosticSignals};
    ctx.model.diagnosticSignalsPresent = 1;
    return RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleDiagnosticSignal(ctx, statement);
    });
}

bool ParseSignalGroupsSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"Signal_groups", "Check signal groups section. Line(",
                                         "Malformed signal groups section. Line(",
                                         kResultSignalGroups};
    return RunSection(
        ctx, kTexts, [&](std::string_view statement) { return HandleSignalGroup(ctx, statement); });
}

}  // namespace qm::ldf
