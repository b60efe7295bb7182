// The sections at the head of a DBC file: version, new symbols, bus timing, nodes and the
// global value tables.
#include <cctype>
#include <string>

#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kBusTimingSeparators(" :,\t\r\n");
constexpr SeparatorSet kNodeSeparators(" :\n\t\r");
constexpr SeparatorSet kValueTableSeparators(" :;,\t\r\n");

int ReadOneVersionLine(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    Split(context.Line(), kWhite, tokens);
    if (tokens.size() < 2) return context.Fail("Check Dbc Version. ", 6);
    context.File().SetVersionText(WithoutQuotes(tokens[1]));
    return 1;
}

int ReadOneBusTimingLine(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    Split(context.Line(), kBusTimingSeparators, tokens);
    if (tokens.empty()) return context.Fail("Check Dbc Bus Configuration. ", 8);
    if (tokens.size() == 4) {
        context.File().SetBitTiming(std::make_unique<DbcBitTiming>(
            ToUnsigned(tokens[1]), ToUnsigned(tokens[2]), ToUnsigned(tokens[3])));
    }
    return 1;
}

// The version and bus timing sections go on until an empty line; every further line is read
// as another line of the same section.
int ReadUntilEmptyLine(DbcReadContext& context, int (*readOne)(DbcReadContext&)) {
    if (!readOne(context)) return 0;
    std::string_view next;
    while (context.Lines().ReadLine(next) && !next.empty()) {
        context.SetLine(next);
        if (!readOne(context)) return 0;
    }
    return 1;
}

}  // namespace

int ReadVersion(DbcReadContext& context) {
    return ReadUntilEmptyLine(context, ReadOneVersionLine);
}

int ReadNewSymbols(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    std::string_view next;
    while (context.Lines().ReadLine(next) && !next.empty()) {
        context.SetLine(next);
        Split(next, kWhite, tokens);
        if (tokens.empty()) return context.Fail("Check Dbc New symbol entries. ", 7);
        for (std::string_view symbol : tokens) context.File().NewSymbols().emplace_back(symbol);
    }
    return 1;
}

int ReadBusTiming(DbcReadContext& context) {
    return ReadUntilEmptyLine(context, ReadOneBusTimingLine);
}

namespace {

bool IsNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// Keywords are upper-case words ending in "_" ("BO_", "VAL_TABLE_") or "VERSION".
bool LooksLikeKeyword(std::string_view token) {
    if (token == "VERSION") return true;
    if (token.empty() || token.back() != '_') return false;
    for (char c : token) {
        if (!(std::isupper(static_cast<unsigned char>(c)) || c == '_')) return false;
    }
    return true;
}

// A line that holds node names only: names made of letters, digits and "_", no keyword.
bool IsNodeNameLine(const Tokens& tokens) {
    if (tokens.empty() || LooksLikeKeyword(tokens.front())) return false;
    for (std::string_view token : tokens) {
        for (char c : token) {
            if (!IsNameCharacter(c)) return false;
        }
    }
    return true;
}

// Tolerant reading: after an empty "BU_:" some files list their nodes one per line. Those
// lines, up to the first empty line or the first line of anything else, are taken as nodes.
void ReadNodeLines(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    std::string_view next;
    while (context.Lines().ReadLine(next)) {
        if (next.empty()) return;
        Split(next, kWhite, tokens);
        if (!IsNodeNameLine(tokens)) {
            context.Lines().PushBack(next);
            return;
        }
        context.SetLine(next);
        for (std::string_view name : tokens) context.File().AddNode(std::string(name));
        context.Tolerate("Node names on a line after an empty BU_:, taken as nodes. ");
    }
}

}  // namespace

int ReadNodes(DbcReadContext& context) {
    if (!context.Line().starts_with("BU_:") && !context.Line().starts_with("BU_ :")) {
        return context.Fail("Malformed CAN-Nodes section. ", 9);
    }
    Tokens& tokens = context.Scratch();
    Split(context.Line(), kNodeSeparators, tokens);
    for (size_t i = 1; i < tokens.size(); ++i) context.File().AddNode(std::string(tokens[i]));
    if (tokens.size() == 1 && context.Tolerant()) ReadNodeLines(context);
    return 1;
}

int ReadValueTable(DbcReadContext& context) {
    constexpr std::string_view keyword = "VAL_TABLE_";
    if (context.Line().size() <= keyword.size() || context.Line()[keyword.size()] != ' ') {
        return context.Fail("Malformed val table section. ", 10);
    }
    const std::string_view statement = context.AssembleUntilSemicolon();
    Tokens& tokens = context.Scratch();
    SplitQuoted(statement, kValueTableSeparators, tokens);
    // Tolerant reading cuts a description glued to its value ("one"0) apart, as in VAL_.
    std::string spaced;
    if (context.Tolerant()) {
        SplitGluedRunsApart(statement, kValueTableSeparators, false, 2, spaced, tokens);
    }
    if (tokens.size() < 2 || tokens.size() % 2 != 0) {
        return context.Fail("Malformed val table section. ", 10);
    }
    auto table = std::make_unique<DbcValueTable>(std::string(tokens[1]));
    for (size_t i = 2; i + 1 < tokens.size(); i += 2) {
        table->Values()[ToUnsigned(tokens[i])] = std::string(Unquoted(tokens[i + 1]));
    }
    context.File().AddValueTable(std::move(table));
    return 1;
}

}  // namespace qm::dbc
