// Value descriptions, extended value types and signal groups.
#include <cctype>

#include "dbc/dbc_enums.h"
#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kDescriptionSeparators(" ;\t\r\n");
constexpr SeparatorSet kValueTypeSeparators(" :;\t\r\n");
constexpr SeparatorSet kGroupSeparators(" :;\t\r\n");

// Each value keeps its 32-bit form (the described list) and the number as written (the exact
// list). Returns true when a value lay beyond 64 bits and was clamped.
bool StorePairs(const Tokens& tokens, size_t first, DbcValueDescriptions& descriptions,
                bool escapedQuotes) {
    descriptions.ReserveFirst((tokens.size() - first) / 2);
    bool anyClamped = false;
    for (size_t i = first; i + 1 < tokens.size(); i += 2) {
        bool clamped = false;
        const DbcExactValue exact = ParseExactValue(tokens[i], clamped);
        anyClamped = anyClamped || clamped;
        if (escapedQuotes) {
            descriptions.Set(ToUnsigned(tokens[i]), exact, UnescapeQuotes(Unquoted(tokens[i + 1])));
        } else {
            descriptions.Set(ToUnsigned(tokens[i]), exact, Unquoted(tokens[i + 1]));
        }
    }
    return anyClamped;
}

}  // namespace

int ReadValueDescriptions(DbcReadContext& context) {
    const std::string_view statement = context.AssembleUntilSemicolon();
    Tokens& tokens = context.Scratch();
    // Tolerant reading keeps an escaped quote inside a description as a quote.
    const bool escapedQuotes =
        context.Tolerant() && statement.find("\\\"") != std::string_view::npos;
    SplitQuoted(statement, kDescriptionSeparators, escapedQuotes, tokens);
    // Tolerant reading cuts a description glued to its value ("a"1) apart, as editors read it.
    std::string spaced;
    if (context.Tolerant()) {
        SplitGluedRunsApart(statement, kDescriptionSeparators, escapedQuotes, 2, spaced, tokens);
    }
    if (tokens.size() < 4) return context.Fail("Malformed value section. ", 23);
    NetConfigDbcFile& file = context.File();
    const bool forSignal = std::isdigit(static_cast<unsigned char>(tokens[1].front())) != 0;
    DbcSignal* signal = forSignal ? file.SignalOf(ToUnsigned(tokens[1]), tokens[2]) : nullptr;
    DbcEnvironmentVariable* variable = forSignal ? nullptr : file.VariableByName(tokens[1]);
    if (!signal && !variable) {
        context.AppendMessage("Missing signal or environment variable definition. ");
        context.MarkWarning();
        return 1;
    }
    const size_t first = forSignal ? 3 : 2;
    if ((tokens.size() - first) % 2 != 0) return context.Fail("Malformed value section. ", 23);
    if (escapedQuotes) context.Tolerate("Escaped quotes kept as quotes. ");
    bool clamped = false;
    if (signal) {
        clamped = StorePairs(tokens, first, signal->MutableValueDescriptions(), escapedQuotes);
        signal->SetDescribed(true);
    } else {
        clamped = StorePairs(tokens, first, variable->ValueDescriptions(), escapedQuotes);
    }
    if (clamped && context.Tolerant()) {
        context.Tolerate("Value beyond 64 bits, clamped to the 64-bit range. ");
    }
    return 1;
}

int ReadSignalValueType(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    Split(context.Line(), kValueTypeSeparators, tokens);
    if (tokens.size() != 4) return context.Fail("Check Dbc Signal Extended Value Type. ", 24);
    if (DbcSignal* signal = context.File().SignalOf(ToUnsigned(tokens[1]), tokens[2])) {
        signal->SetExtendedValueType(ExtendedValueTypeOfNumber(ToSigned(tokens[3])));
    } else {
        context.Warn("Missing signal definition: ", tokens[2]);
    }
    return 1;
}

int ReadSignalGroup(DbcReadContext& context) {
    const std::string_view statement = context.AssembleUntilSemicolon();
    Tokens& tokens = context.Scratch();
    SplitQuoted(statement, kGroupSeparators, tokens);
    if (tokens.size() < 5) return context.Fail("Check Dbc Signal Group Type. ", 25);
    NetConfigDbcFile& file = context.File();
    const uint32_t rawId = ToUnsigned(tokens[1]);
    DbcMessage* message = file.MessageByRawId(rawId);
    if (!message) {
        context.Warn("Missing message definition: ", tokens[1]);
        return 1;
    }
    auto group =
        std::make_unique<DbcSignalGroup>(std::string(tokens[2]), message, ToUnsigned(tokens[3]));
    for (size_t i = 4; i < tokens.size(); ++i) {
        if (DbcSignal* signal = file.SignalOf(rawId, tokens[i])) {
            group->Signals().push_back(signal);
        } else {
            context.Warn("Missing signal definition: ", tokens[i]);
        }
    }
    message->AddSignalGroup(std::move(group));
    return 1;
}

}  // namespace qm::dbc
