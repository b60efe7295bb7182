// Environment variables and their data sizes.
#include <string>

#include "dbc/dbc_enums.h"
#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kVariableSeparators(" :;,\t\r\n");
constexpr SeparatorSet kDataSeparators(" :;\t\r\n");

// "[minimum|maximum]": the texts between the first character, the first "|" and the first "]".
bool ReadLimits(std::string_view token, double& minimum, double& maximum) {
    const size_t pipe = token.find('|');
    if (pipe == std::string_view::npos || token.empty()) return false;
    const size_t close = token.find(']', pipe + 1);
    const std::string_view low = token.substr(1, pipe >= 1 ? pipe - 1 : 0);
    const std::string_view high =
        token.substr(pipe + 1, close == std::string_view::npos ? close : close - pipe - 1);
    return ToReal(low, minimum) && ToReal(high, maximum);
}

}  // namespace

int ReadEnvironmentVariable(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    SplitQuoted(context.Line(), kVariableSeparators, tokens);
    // Tolerant reading cuts the unit apart from what is glued to it ("unit"0).
    std::string spaced;
    if (context.Tolerant()) {
        SplitGluedRunsApart(context.Line(), kVariableSeparators, false, 1, spaced, tokens);
    }
    if (tokens.size() < 9) return context.Fail("Check Dbc Environment Variable. ", 14);
    auto variable = std::make_unique<DbcEnvironmentVariable>();
    variable->SetName(std::string(tokens[1]));
    variable->SetType(EnvironmentTypeOfToken(tokens[2]));
    double minimum = 0.0;
    double maximum = 0.0;
    if (!ReadLimits(tokens[3], minimum, maximum)) {
        return context.Fail("Check Min or Max inside Dbc Environment Variable. ", 14);
    }
    variable->SetLimits(minimum, maximum);
    variable->SetUnit(std::string(Unquoted(tokens[4])));
    double initial = 0.0;
    if (!ToReal(tokens[5], initial)) {
        return context.Fail("Check Initial value inside Dbc Environment Variable. ", 14);
    }
    variable->SetInitialValue(initial);
    variable->SetId(ToUnsigned(tokens[6]));
    variable->SetAccessTypeToken(std::string(tokens[7]));
    for (size_t i = 8; i < tokens.size(); ++i) variable->AccessNodes().emplace_back(tokens[i]);
    context.File().AddVariable(std::move(variable));
    return 1;
}

int ReadEnvironmentVariableData(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    Split(context.Line(), kDataSeparators, tokens);
    if (tokens.size() < 3) {
        return context.Fail("Malformed environment variable data section. ", 15);
    }
    if (DbcEnvironmentVariable* variable = context.File().VariableByName(tokens[1])) {
        variable->SetDataSize(ToUnsigned(tokens[2]));
    } else {
        context.Warn("Missing environment variable definition: ", tokens[1]);
    }
    return 1;
}

}  // namespace qm::dbc
