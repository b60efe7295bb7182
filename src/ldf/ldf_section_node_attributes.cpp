// The Node_attributes section: one block of LIN 2.x attributes per slave node.
#include <memory>

#include "ldf/ldf_numbers.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kBlockHeaderDelimiters(" {\t\r\n");
constexpr Delimiters kAttributeDelimiters(" =;{\t\r\n");
// Read tolerantly, lists are split at their commas too ("fault_state_signals = A,B;").
constexpr Delimiters kTolerantAttributeDelimiters(" =;{,\t\r\n");
constexpr Delimiters kConfigurableEntryDelimiters(" =\t\r\n");

const Delimiters& AttributeDelimiters(const LdfReadContext& ctx) {
    return ctx.tolerant ? kTolerantAttributeDelimiters : kAttributeDelimiters;
}

enum class Attribute {
    kLinProtocol,
    kConfiguredNad,
    kInitialNad,
    kProductId,
    kResponseError,
    kFaultStateSignals,
    kP2Min,
    kStMin,
    kNAsTimeout,
    kNCrTimeout,
    kResponseTolerance,
    kConfigurableFrames,
    kUnknown
};

Attribute AttributeOf(std::string_view word) {
    static constexpr std::pair<std::string_view, Attribute> kWords[] = {
        {"LIN_protocol", Attribute::kLinProtocol},
        {"configured_NAD", Attribute::kConfiguredNad},
        {"initial_NAD", Attribute::kInitialNad},
        {"product_id", Attribute::kProductId},
        {"response_error", Attribute::kResponseError},
        {"fault_state_signals", Attribute::kFaultStateSignals},
        {"P2_min", Attribute::kP2Min},
        {"ST_min", Attribute::kStMin},
        {"N_As_timeout", Attribute::kNAsTimeout},
        {"N_Cr_timeout", Attribute::kNCrTimeout},
        {"response_tolerance", Attribute::kResponseTolerance},
        {"configurable_frames", Attribute::kConfigurableFrames},
    };
    for (const auto& [text, attribute] : kWords) {
        if (word == text) return attribute;
    }
    return Attribute::kUnknown;
}

bool NodeAttributesMalformed(LdfReadContext& ctx, std::string_view what, std::string_view node) {
    return ctx.Fail({"Malformed ", what, " for node: ", node, " Line("}, kResultNodeAttributes);
}

// A time in ms: taken when the statement has a token count in [minTokens, maxTokens].
bool ReadTime(LdfReadContext& ctx, const LdfSlaveNode& node, std::string_view what,
              size_t maxTokens, double& value, uint8_t& given) {
    const Tokens& tokens = ctx.tokens;
    if (tokens.size() < 2 || tokens.size() > maxTokens) return true;
    double parsed = 0.0;
    if (!ParseReal(tokens[1], parsed)) return NodeAttributesMalformed(ctx, what, node.name);
    value = parsed;
    given = 1;
    return true;
}

// The most tokens of an N_As_timeout, N_Cr_timeout or response_tolerance statement that is
// taken: the described reader takes the value alone ("N_As_timeout = 1000;"), so the common
// "N_As_timeout = 1000 ms;" keeps the default; read tolerantly, the unit word may follow.
size_t UnitTimeTokens(const LdfReadContext& ctx) {
    return ctx.tolerant ? 3 : 2;
}

bool ReadNad(LdfReadContext& ctx, const LdfSlaveNode& node, std::string_view what, uint8_t& value) {
    uint64_t number = 0;
    if (!ParseUnsigned(ctx.tokens[1], number)) return NodeAttributesMalformed(ctx, what, node.name);
    value = static_cast<uint8_t>(number);
    return true;
}

bool ReadProductId(LdfReadContext& ctx, LdfSlaveNode& node) {
    const Tokens& tokens = ctx.tokens;
    if (tokens.size() < 3) return true;
    uint64_t supplier = 0;
    uint64_t function = 0;
    uint64_t variant = 0;
    if (!ParseUnsigned(tokens[1], supplier) || !ParseUnsigned(tokens[2], function) ||
        (tokens.size() > 3 && !ParseUnsigned(tokens[3], variant))) {
        return NodeAttributesMalformed(ctx, "product_id", node.name);
    }
    auto product = std::make_unique<ProductId>();
    product->supplierId = static_cast<uint16_t>(supplier);
    product->functionId = static_cast<uint16_t>(function);
    if (tokens.size() > 3) {
        product->variantGiven = 1;
        product->variant = static_cast<uint8_t>(variant);
    }
    node.productId = std::move(product);
    return true;
}

// Read tolerantly, an attribute that names a signal not defined yet is bound after the file:
// returns true when it was put off so.
bool DeferUnknownSignals(LdfReadContext& ctx, LdfSlaveNode& node, bool responseError,
                         size_t lastToken) {
    if (!ctx.tolerant) return false;
    bool unknown = false;
    for (size_t i = 1; i <= lastToken && !unknown; ++i)
        unknown = ctx.model.standardSignalIndex.Find(ctx.tokens[i]) == nullptr;
    if (!unknown) return false;
    LdfReadContext::DeferredNodeSignals deferred{
        &node, responseError, {}, ctx.LineNumber(), std::string(ctx.Line().raw.substr(0, 4096))};
    for (size_t i = 1; i <= lastToken; ++i) deferred.names.emplace_back(ctx.tokens[i]);
    ctx.deferredNodeSignals.push_back(std::move(deferred));
    return true;
}

void ReadResponseError(LdfReadContext& ctx, LdfSlaveNode& node) {
    if (DeferUnknownSignals(ctx, node, true, 1)) return;
    LdfStandardSignal* signal = ctx.model.standardSignalIndex.Find(ctx.tokens[1]);
    if (!signal) {
        ctx.AddLineMessage({"Missing response error definition. Line("});
        return;
    }
    node.responseErrorSignal = signal;
}

void ReadFaultStateSignals(LdfReadContext& ctx, LdfSlaveNode& node) {
    node.faultStateSignalsGiven = 1;
    if (DeferUnknownSignals(ctx, node, false, ctx.tokens.size() - 1)) return;
    for (size_t i = 1; i < ctx.tokens.size(); ++i) {
        LdfStandardSignal* signal = ctx.model.standardSignalIndex.Find(ctx.tokens[i]);
        if (!signal) {
            ctx.AddLineMessage({"Missing fault state signal definition. Line("});
            continue;
        }
        node.faultStateSignals.push_back(signal);
    }
}

// One "frame [= message id]" entry of a configurable_frames list.
bool ReadConfigurableEntry(LdfReadContext& ctx, LdfSlaveNode& node, std::string_view entry) {
    Split(entry, kConfigurableEntryDelimiters, ctx.innerTokens);
    if (ctx.innerTokens.empty()) return true;
    auto configurable = std::make_unique<ConfigurableFrame>();
    configurable->frameName.assign(ctx.innerTokens[0]);
    if (ctx.innerTokens.size() > 1) {
        uint64_t messageId = 0;
        if (!ParseUnsigned(ctx.innerTokens[1], messageId)) {
            return NodeAttributesMalformed(ctx, "configurable_frames", node.name);
        }
        configurable->messageIdGiven = 1;
        configurable->messageId = static_cast<uint16_t>(messageId);
    }
    ctx.model.pendingConfigurableFrames.push_back(configurable.get());
    node.configurableFrames.push_back(std::move(configurable));
    return true;
}

// Entries separated by ";" on one line; returns false to stop reading.
bool ReadConfigurableEntries(LdfReadContext& ctx, LdfSlaveNode& node, std::string_view text) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t stop = text.find(';', start);
        if (stop == std::string_view::npos) stop = text.size();
        if (!ReadConfigurableEntry(ctx, node, text.substr(start, stop - start))) return false;
        start = stop + 1;
    }
    return true;
}

// The configurable_frames list: entries inside its braces, on the statement's line or on the
// lines that follow up to "}". A line that is an attribute of its own ends an unclosed list; it
// is handed back in next for the node's block to handle.
bool ReadConfigurableFrames(LdfReadContext& ctx, LdfSlaveNode& node, std::string_view statement,
                            std::string& next) {
    const size_t open = statement.find('{');
    if (open != std::string_view::npos) {
        std::string_view rest = statement.substr(open + 1);
        const size_t close = rest.find('}');
        if (!ReadConfigurableEntries(ctx, node, rest.substr(0, close))) return false;
        if (close != std::string_view::npos) return true;
    }
    std::string_view line;
    bool complete = true;
    while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
        Split(line, AttributeDelimiters(ctx), ctx.tokens);
        if (!ctx.tokens.empty() && AttributeOf(ctx.tokens[0]) != Attribute::kUnknown) {
            ctx.AddLineMessage({"WARNING. Missing right parenthesis in line "});
            next.assign(line);
            return true;
        }
        const size_t close = line.find('}');
        if (!ReadConfigurableEntries(ctx, node, line.substr(0, close))) return false;
        if (close != std::string_view::npos) return true;
    }
    return true;
}

// One attribute statement; an attribute statement met after it (see ReadConfigurableFrames)
// is left in next.
bool HandleAttribute(LdfReadContext& ctx, LdfSlaveNode& node, std::string_view statement,
                     std::string& next) {
    Split(statement, AttributeDelimiters(ctx), ctx.tokens);
    if (ctx.tokens.empty()) return true;
    const size_t count = ctx.tokens.size();
    switch (AttributeOf(ctx.tokens[0])) {
        case Attribute::kLinProtocol:
            if (count >= 2) node.linProtocol.assign(ctx.tokens[1]);
            return true;
        case Attribute::kConfiguredNad:
            return count < 2 || ReadNad(ctx, node, "configured_NAD", node.configuredNad);
        case Attribute::kInitialNad:
            if (count < 2) return true;
            if (!ReadNad(ctx, node, "initial_NAD", node.initialNad)) return false;
            node.initialNadGiven = 1;
            return true;
        case Attribute::kProductId:
            return ReadProductId(ctx, node);
        case Attribute::kResponseError:
            if (count >= 2) ReadResponseError(ctx, node);
            return true;
        case Attribute::kFaultStateSignals:
            if (count >= 2) ReadFaultStateSignals(ctx, node);
            return true;
        case Attribute::kP2Min:
            return ReadTime(ctx, node, "P2_min", 3, node.p2Min, node.p2MinGiven);
        case Attribute::kStMin:
            return ReadTime(ctx, node, "ST_min", 3, node.stMin, node.stMinGiven);
        case Attribute::kNAsTimeout:
            return ReadTime(ctx, node, "N_As_timeout", UnitTimeTokens(ctx), node.nAsTimeout,
                            node.nAsTimeoutGiven);
        case Attribute::kNCrTimeout:
            return ReadTime(ctx, node, "N_Cr_timeout", UnitTimeTokens(ctx), node.nCrTimeout,
                            node.nCrTimeoutGiven);
        case Attribute::kResponseTolerance:
            if (count < 2 || count > UnitTimeTokens(ctx)) return true;
            if (!ReadNad(ctx, node, "response_tolerance", node.responseTolerance)) return false;
            node.responseToleranceGiven = 1;
            return true;
        case Attribute::kConfigurableFrames:
            return ReadConfigurableFrames(ctx, node, statement, next);
        case Attribute::kUnknown:
            return true;
    }
    return true;
}

// Reads the lines of a block that is not applied, up to its closing "}".
void SkipBlock(LdfReadContext& ctx) {
    int depth = 1;
    LdfLine line;
    while (depth > 0 && ctx.lines.ReadLine(line)) {
        for (char c : line.content) {
            if (c == '{') ++depth;
            if (c == '}') --depth;
        }
    }
}

bool HandleNodeBlock(LdfReadContext& ctx, std::string_view statement) {
    Split(statement, kBlockHeaderDelimiters, ctx.tokens);
    if (ctx.tokens.size() != 1) {
        const std::string_view name = ctx.tokens.empty() ? std::string_view() : ctx.tokens[0];
        return ctx.Fail({"Check Node attributes for node: ", name, " Line("},
                        kResultNodeAttributes);
    }
    const std::string name(ctx.tokens[0]);
    LdfSlaveNode* slave = ctx.model.slaveNodeIndex.Find(std::string_view(name));
    if (!slave) {
        if (ctx.model.masterNode && ctx.model.masterNode->name == name) {
            ctx.AddLineMessage(
                {"WARNING. Node attributes is not for master node. Only slave nodes "
                 "can be configured. Line("});
        } else {
            ctx.AddLineMessage({"WARNING. Missing slave node definition: ", name, ". Line("});
        }
        if (statement.back() != '}') SkipBlock(ctx);
        return true;
    }
    if (statement.back() == '}') return true;
    std::string_view line;
    bool complete = true;
    while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
        if (line == "{") continue;
        std::string next;
        if (!HandleAttribute(ctx, *slave, line, next)) return false;
        while (!next.empty()) {
            const std::string statement = std::move(next);
            next.clear();
            if (!HandleAttribute(ctx, *slave, statement, next)) return false;
        }
    }
    return true;
}

}  // namespace

void BindDeferredNodeSignals(LdfReadContext& ctx) {
    for (const LdfReadContext::DeferredNodeSignals& deferred : ctx.deferredNodeSignals) {
        for (const std::string& name : deferred.names) {
            LdfStandardSignal* signal = ctx.model.standardSignalIndex.Find(name);
            if (signal == nullptr) {
                ctx.AddMessageAt(
                    {deferred.responseError ? "Missing response error definition. Line("
                                            : "Missing fault state signal definition. Line("},
                    deferred.lineNumber, deferred.rawLine);
            } else if (deferred.responseError) {
                deferred.node->responseErrorSignal = signal;
            } else {
                deferred.node->faultStateSignals.push_back(signal);
            }
        }
    }
    ctx.deferredNodeSignals.clear();
}

bool ParseNodeAttributesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"Node_attributes", "Check node attributes section. Line(",
                                         "Check node attributes section. Line(",
                                         kResultNodeAttributes};
    return RunSection(ctx, kTexts,
                      [&](std::string_view statement) { return HandleNodeBlock(ctx, statement); });
}

}  // namespace qm::ldf
