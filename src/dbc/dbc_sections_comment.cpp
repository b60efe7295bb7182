// Comments (CM_) on the network, nodes, messages, signals and environment variables. A comment
// may run over several lines; its lines are joined with "\r\n".
#include "dbc/dbc_number.h"
#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kCommentSeparators(" \t\n\r;");

// The comment text is the last token less its first and last character (the quotes).
std::string CommentText(std::string_view token) {
    return token.size() >= 2 ? std::string(token.substr(1, token.size() - 2)) : std::string();
}

void WarnCount(DbcReadContext& context, std::string_view expectation, size_t count) {
    std::string text = "Malformed description field section. ";
    text += expectation;
    text += " but there is: ";
    AppendInteger(text, count);
    text += " elements. ";
    context.AppendMessage(text);
    context.MarkWarning();
}

void ReadSignalComment(DbcReadContext& context, const Tokens& tokens) {
    if (tokens.size() != 5) {
        WarnCount(context, "There should be 5 elements for signal description field section,",
                  tokens.size());
        return;
    }
    if (DbcSignal* signal = context.File().SignalOf(ToUnsigned(tokens[2]), tokens[3])) {
        signal->SetComment(CommentText(tokens[4]));
    } else {
        context.Warn("Missing signal definition: ", tokens[3]);
    }
}

void ReadVariableComment(DbcReadContext& context, const Tokens& tokens) {
    if (tokens.size() != 4) {
        WarnCount(context,
                  "There should be 4 elements for environment variable description field section,",
                  tokens.size());
        return;
    }
    if (DbcEnvironmentVariable* variable = context.File().VariableByName(tokens[2])) {
        variable->SetComment(CommentText(tokens[3]));
    } else {
        context.Warn("Missing environment variable definition: ", tokens[2]);
    }
}

void ReadMessageComment(DbcReadContext& context, const Tokens& tokens) {
    if (tokens.size() != 4) {
        WarnCount(context, "There should be 4 elements for message description field section,",
                  tokens.size());
        return;
    }
    if (DbcMessage* message = context.File().MessageByRawId(ToUnsigned(tokens[2]))) {
        message->SetComment(CommentText(tokens[3]));
    } else {
        context.Warn("Missing message definition: ", tokens[2]);
    }
}

void ReadNodeComment(DbcReadContext& context, const Tokens& tokens) {
    if (tokens.size() != 4) {
        // The text names 5 elements although a node comment has 4; kept as users know it.
        WarnCount(context, "There should be 5 elements for node description field section,",
                  tokens.size());
        return;
    }
    if (DbcNode* node = context.File().NodeByName(tokens[2])) {
        node->SetComment(CommentText(tokens[3]));
    } else {
        context.Warn("Missing node definition: ", tokens[2]);
    }
}

}  // namespace

int ReadComment(DbcReadContext& context) {
    const std::string_view statement = context.AssembleQuotedStatement();
    Tokens& tokens = context.Scratch();
    // Tolerant reading keeps an escaped quote inside the text ("the \"ARS\" function"), as the
    // statement's end was found; the described split pairs every quote.
    const bool escapes = context.Tolerant() && statement.find("\\\"") != std::string_view::npos;
    SplitQuoted(statement, kCommentSeparators, escapes, tokens);
    // Tolerant reading also cuts a text glued to the name before it apart (S1"text"), which
    // leaves the last piece half quoted.
    std::string spaced;
    if (context.Tolerant() && !tokens.empty()) {
        SplitGluedRunsApart(statement, kCommentSeparators, escapes, tokens.size() - 1, spaced,
                            tokens);
    }
    const std::string_view kind = tokens.size() > 1 ? tokens[1] : std::string_view();
    if (kind == "SG_") {
        ReadSignalComment(context, tokens);
    } else if (kind == "EV_") {
        ReadVariableComment(context, tokens);
    } else if (kind == "BO_") {
        ReadMessageComment(context, tokens);
    } else if (kind == "BU_") {
        ReadNodeComment(context, tokens);
    } else if (tokens.size() == 2) {
        context.File().SetNetworkComment(CommentText(tokens[1]));
    } else {
        return context.Fail("Malformed description field section. ", 16);
    }
    return 1;
}

}  // namespace qm::dbc
