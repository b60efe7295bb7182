// The node sections: Nodes, composite and the LIN 1.3 Diagnostic_addresses.
#include <memory>

#include "ldf/ldf_numbers.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kNodesDelimiters(" ,:;{\t\r\n");
constexpr Delimiters kConfigurationDelimiters(" \t{\r");
constexpr Delimiters kMemberDelimiters(" ,;{");
constexpr Delimiters kDiagnosticAddressDelimiters(" :\t;{\r\n");

void DropUnitWords(Tokens& tokens) {
    std::erase_if(tokens, [](std::string_view token) {
        return token == "ms" || token == "bits" || token == "%";
    });
}

bool ParseMaster(LdfReadContext& ctx, const Tokens& tokens) {
    auto master = std::make_unique<LdfMasterNode>();
    master->name.assign(tokens[1]);
    if (!ParseReal(tokens[2], master->timeBase) || !ParseReal(tokens[3], master->jitter)) {
        return ctx.Fail({"Malformed time base or jitter Line("}, kResultNodes);
    }
    uint64_t number = 0;
    if (tokens.size() > 4) {
        if (!ParseUnsigned(tokens[4], number)) {
            return ctx.Fail({"Malformed Nodes section from : Line("}, kResultNodes);
        }
        master->bitLength = static_cast<uint32_t>(number);
    }
    if (tokens.size() > 5) {
        if (!ParseUnsigned(tokens[5], number)) {
            return ctx.Fail({"Malformed Nodes section from : Line("}, kResultNodes);
        }
        master->tolerant = static_cast<uint8_t>(number);
    }
    ctx.model.AddNode(std::move(master));
    return true;
}

bool HandleNodesStatement(LdfReadContext& ctx, std::string_view statement) {
    Tokens& tokens = ctx.tokens;
    Split(statement, kNodesDelimiters, tokens);
    DropUnitWords(tokens);
    if (!tokens.empty() && tokens[0] == "Master" && tokens.size() >= 4 && tokens.size() <= 6) {
        return ParseMaster(ctx, tokens);
    }
    if (!tokens.empty() && tokens[0] == "Slaves") {
        for (size_t i = 1; i < tokens.size(); ++i) {
            auto slave = std::make_unique<LdfSlaveNode>();
            slave->name.assign(tokens[i]);
            ctx.model.AddNode(std::move(slave));
        }
        return true;
    }
    return ctx.Fail({"Malformed Nodes section from : Line("}, kResultNodes);
}

// One composite node with its logical nodes: "composite { logical, ... }" on one line, or the
// writer's layout with the member list on its own lines up to a closing "}".
bool HandleCompositeGroup(LdfReadContext& ctx, LdfConfiguration& configuration,
                          std::string_view statement) {
    const size_t open = statement.find('{');
    const std::string_view head = statement.substr(0, open);
    Split(head, kConfigurationDelimiters, ctx.tokens);
    if (ctx.tokens.size() != 1)
        return ctx.Fail({"Malformed composite section. Line("}, kResultComposite);
    const std::string compositeName(ctx.tokens[0]);
    std::string members;
    if (open != std::string_view::npos) {
        std::string_view rest = statement.substr(open + 1);
        const size_t close = rest.find('}');
        if (close != std::string_view::npos) {
            members.assign(rest.substr(0, close));
        } else if (!TrimView(rest).empty()) {
            ctx.AddLineMessage({"WARNING. Missing right parenthesis in line "});
            members.assign(rest);
        } else {
            // The member list follows on its own lines, closed by a line beginning with "}".
            std::string_view line;
            bool complete = true;
            while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
                members.push_back(' ');
                members.append(line);
            }
        }
    }
    LdfNode* composite = ctx.model.nodeIndex.Find(std::string_view(compositeName));
    if (!composite) {
        ctx.AddLineMessage({"Missing composite node definition: ", compositeName, ". Line("});
        return true;
    }
    auto group = std::make_unique<CompositeNodeGroup>();
    group->compositeNode = composite;
    Split(members, kMemberDelimiters, ctx.innerTokens);
    for (std::string_view member : ctx.innerTokens) {
        if (LdfNode* logical = ctx.model.nodeIndex.Find(member))
            group->logicalNodes.push_back(logical);
    }
    configuration.groups.push_back(std::move(group));
    return true;
}

bool HandleConfiguration(LdfReadContext& ctx, std::string_view statement) {
    Split(statement, kConfigurationDelimiters, ctx.tokens);
    if (ctx.tokens.size() != 2 || ctx.tokens[0] != "configuration") {
        return ctx.Fail({"Malformed composite section. Line("}, kResultComposite);
    }
    auto configuration = std::make_unique<LdfConfiguration>();
    configuration->name.assign(ctx.tokens[1]);
    LdfConfiguration& target = *configuration;
    ctx.model.configurations.push_back(std::move(configuration));
    if (!statement.empty() && statement.back() == '}') return true;
    std::string_view line;
    bool complete = true;
    while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
        if (!complete) return ctx.Fail({"Malformed composite section. Line("}, kResultComposite);
        if (line == "{") continue;
        if (!HandleCompositeGroup(ctx, target, line)) return false;
    }
    return true;
}

// A diagnostic address that two slaves have: reported once per address, after the section in
// which it reached its second slave.
void CheckSharedDiagnosticAddresses(LdfReadContext& ctx) {
    for (uint32_t shared : ctx.sharedDiagnosticAddresses) {
        std::string address;
        AppendDecimal(address, shared);
        std::string line;
        AppendDecimal(line, ctx.LineNumber());
        ctx.AddText(
            {"WARNING. The same diagnostic address is applied to at least two different "
             "nodes. Slave nodes have same diagnostic addresses = ",
             address, ". Warning for line(", line, ")\r\n"});
    }
    ctx.sharedDiagnosticAddresses.clear();
}

bool HandleDiagnosticAddress(LdfReadContext& ctx, std::string_view statement) {
    Split(statement, kDiagnosticAddressDelimiters, ctx.tokens);
    uint64_t nad = 0;
    if (ctx.tokens.size() != 2 || !ParseUnsigned(ctx.tokens[1], nad)) {
        return ctx.Fail({"Malformed diagnostic addresses section. Line("},
                        kResultDiagnosticAddresses);
    }
    const std::string_view name = ctx.tokens[0];
    LdfNode* node = ctx.model.nodeIndex.Find(name);
    if (!node) {
        ctx.AddLineMessage({"Missing node definition: ", name, ". Line("});
        return true;
    }
    if (!ctx.Protocol13Or22()) return true;
    if (nad == 0) {
        ctx.AddLineMessage({"WARNING. Diagnostic address node is reserved. NAD of node named ",
                            name, " = 0", ". Warning for line("});
    }
    if (node->HasDiagnosticAddress()) {
        ctx.AddLineMessage(
            {"WARNING. Two different diagnostic addresses applied to the same slave node ", name,
             ". Warning for line("});
        return true;
    }
    node->diagnosticAddress = static_cast<uint32_t>(nad);
    if (!node->isMaster && ++ctx.diagnosticAddressUsers[node->diagnosticAddress] == 2) {
        ctx.sharedDiagnosticAddresses.push_back(node->diagnosticAddress);
    }
    return true;
}

}  // namespace

bool ParseNodesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"Nodes", "Check Nodes section Line(",
                                         "Malformed Nodes section from : Line(", kResultNodes};
    return RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleNodesStatement(ctx, statement);
    });
}

bool ParseCompositeSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"composite", "Check composite section. Line(",
                                         "Malformed composite section. Line(", kResultComposite};
    return RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleConfiguration(ctx, statement);
    });
}

bool ParseDiagnosticAddressesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{
        "Diagnostic_addresses", "Check diagnostic addresses section Line(",
        "Malformed diagnostic addresses section. Line(", kResultDiagnosticAddresses};
    ctx.model.diagnosticAddressesPresent = 1;
    const bool ok = RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleDiagnosticAddress(ctx, statement);
    });
    if (ok) CheckSharedDiagnosticAddresses(ctx);
    return ok;
}

}  // namespace qm::ldf
