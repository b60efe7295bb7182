// The sections at the head of a DBC file: version, new symbols, bus timing, nodes and the
// global value tables.
#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kWhite(" \t\r\n");
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

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
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

int ReadNodes(DbcReadContext& context) {
    if (!StartsWith(context.Line(), "BU_:") && !StartsWith(context.Line(), "BU_ :")) {
        return context.Fail("Malformed CAN-Nodes section. ", 9);
    }
    Tokens& tokens = context.Scratch();
    Split(context.Line(), kNodeSeparators, tokens);
    for (size_t i = 1; i < tokens.size(); ++i) context.File().AddNode(std::string(tokens[i]));
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
