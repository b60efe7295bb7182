#include "dbc/dbc_reader.h"

#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

using SectionHandler = int (*)(DbcReadContext&);

struct Section {
    std::string_view keyword;
    SectionHandler handler;
};

// Tried in this order; the first keyword a line begins with decides.
constexpr Section kSections[] = {
    {"VERSION", ReadVersion},
    {"NS_", ReadNewSymbols},
    {"BS_", ReadBusTiming},
    {"BU_:", ReadNodes},
    {"BU_ :", ReadNodes},
    {"VAL_TABLE_", ReadValueTable},
    {"BO_ ", ReadMessage},
    {"SG_ ", ReadSignal},
    {"BO_TX_BU_ ", ReadMessageTransmitters},
    {"EV_ ", ReadEnvironmentVariable},
    {"ENVVAR_DATA_ ", ReadEnvironmentVariableData},
    {"CM_", ReadComment},
    {"BA_DEF_ ", ReadAttributeDefinition},
    {"BA_DEF_REL_ ", ReadRelationAttributeDefinition},
    {"BA_DEF_DEF_ ", ReadAttributeDefault},
    {"BA_DEF_DEF_REL_ ", ReadRelationAttributeDefault},
    {"BA_ ", ReadAttributeValue},
    {"BA_REL_ ", ReadRelationAttributeValue},
    {"VAL_ ", ReadValueDescriptions},
    {"SIG_VALTYPE_ ", ReadSignalValueType},
    {"SIG_GROUP_ ", ReadSignalGroup},
};

constexpr std::string_view kNotSupported[] = {
    "NS_DESC_ ",        "CAT_DEF_ ",    "CAT_ ",           "FILTER",      "EV_DATA_",
    "SGTYPE_ ",         "SGTYPE_VAL_ ", "BA_DEF_SGTYPE_ ", "BA_SGTYPE_ ", "SIGTYPE_REF_ ",
    "SIGTYPE_VALTYPE_", "SG_MUL_VAL_ ",
};

// Keywords are short and mostly differ early, so a plain loop beats a library call here.
bool StartsWith(std::string_view line, std::string_view keyword) {
    if (line.size() < keyword.size()) return false;
    for (size_t i = 0; i < keyword.size(); ++i) {
        if (line[i] != keyword[i]) return false;
    }
    return true;
}

SectionHandler HandlerFor(std::string_view line) {
    // Most lines of a file are signal lines, and no keyword tried before "SG_ " begins with "S":
    // they are dispatched first, with the same result as the walk through the table.
    if (StartsWith(line, "SG_ ")) return ReadSignal;
    for (const Section& section : kSections) {
        if (StartsWith(line, section.keyword)) {
            return section.handler;
        }
    }
    return nullptr;
}

bool IsNotSupported(std::string_view line) {
    for (std::string_view keyword : kNotSupported) {
        if (StartsWith(line, keyword)) return true;
    }
    return false;
}

// Tolerant reading: the lines the exact reader stops at; a line it does not take is skipped
// with a warning. Returns the line's handler result (0 when skipped).
int TolerateLine(DbcReadContext& context, std::string_view line) {
    if (StartsWith(line, "//")) {
        context.Tolerate("Comment line skipped. ");
        return 1;
    }
    if (StartsWith(line, "SG_MUL_VAL_ ")) return ReadExtendedMultiplexing(context);
    if (IsNotSupported(line)) {
        context.Tolerate("Not supported DBC keyword, line skipped. ");
    } else {
        context.Tolerate("Possible undefined tag, line skipped. ");
    }
    return 0;
}

}  // namespace

int DbcReader::Run() {
    DbcLineSource lines(text_, input_);
    DbcReadContext context(file_, lines);
    int result = 1;
    bool anyStatement = false;
    std::string_view line;
    while (lines.ReadLine(line)) {
        if (line.empty()) continue;
        anyStatement = true;
        context.SetLine(line);
        SectionHandler handler = HandlerFor(line);
        // Every other statement sees the signals read so far in their messages.
        if (handler != ReadSignal) context.ListPendingSignals();
        if (handler) {
            result = handler(context);
            if (file_.Status() > kDbcLoadedWithWarnings) break;
            continue;
        }
        if (context.Tolerant()) {
            TolerateLine(context, line);
            continue;
        }
        const bool notSupported = IsNotSupported(line);
        context.AppendMessage(notSupported ? "Not supported DBC keyword, check this line: "
                                           : "Possible undefined tag, check this line: ");
        file_.SetStatus(notSupported ? kDbcNotSupportedKeyword : kDbcUndefinedTag);
        file_.SetStopCode(15);
        result = 0;
        break;
    }
    context.ListPendingSignals();
    // Tolerant reading always reads to the end: the load succeeded, and the status (2 when
    // anything was tolerated or referred to nothing) says how cleanly. An empty file is no
    // database at all, which a clean status would hide.
    if (context.Tolerant() && !anyStatement) {
        file_.Log() += "WARNING. The file is empty: no DBC statement read.\n";
        file_.CountToleratedLine();
        context.MarkWarning();
    }
    return context.Tolerant() ? 1 : result;
}

}  // namespace qm::dbc
