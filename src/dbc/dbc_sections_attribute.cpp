// Attribute definitions, defaults and values, with the relation attributes that belong to a node
// together with a message, a signal or an environment variable.
#include "dbc/dbc_enums.h"
#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kDefinitionSeparators(" \t\r\n;,");
constexpr SeparatorSet kDefaultSeparators(" ;\r\n\t");
constexpr SeparatorSet kValueSeparators(" ;\t\r\n");
constexpr SeparatorSet kRelationSeparators(" \t\r\n;");

std::string Text(std::string_view token) {
    return std::string(Unquoted(token));
}

bool IsNumericValueType(int32_t type) {
    return type == kAttributeInteger || type == kAttributeHex || type == kAttributeFloat;
}

// Fills value type and values from the type token at typeIndex; false for an unknown type or
// missing limits.
bool ReadDefinitionType(const Tokens& tokens, size_t typeIndex,
                        DbcAttributeDefinition& definition) {
    if (typeIndex >= tokens.size()) return false;
    const int32_t type = ValueTypeOfKeyword(tokens[typeIndex]);
    if (type == kAttributeUndefined) return false;
    definition.SetValueType(type);
    if (IsNumericValueType(type)) {
        if (typeIndex + 2 >= tokens.size()) return false;
        definition.Values().emplace_back(tokens[typeIndex + 1]);
        definition.Values().emplace_back(tokens[typeIndex + 2]);
    } else if (type == kAttributeEnumeration) {
        for (size_t i = typeIndex + 1; i < tokens.size(); ++i)
            definition.Values().push_back(Text(tokens[i]));
    }
    return true;
}

bool IsObjectKeyword(std::string_view token) {
    return token == "BO_" || token == "BU_" || token == "SG_" || token == "EV_";
}

bool IsRelationKeyword(std::string_view token) {
    return token == "BU_BO_REL_" || token == "BU_SG_REL_" || token == "BU_EV_REL_";
}

int ReadDefault(DbcReadContext& context, std::string_view failure, uint32_t status) {
    Tokens& tokens = context.Scratch();
    SplitQuoted(context.Line(), kDefaultSeparators, tokens);
    if (tokens.size() != 3) return context.Fail(failure, status);
    const std::string_view name = Unquoted(tokens[1]);
    if (DbcAttributeDefinition* definition = context.File().DefinitionByName(name)) {
        definition->SetDefaultValue(Text(tokens[2]));
    } else {
        context.Warn("Missing attribute definition: ", name);
    }
    return 1;
}

// Appends an attribute to the object that the tokens after the definition name select, or to
// the network attributes.
void StoreAttributeValue(DbcReadContext& context, const Tokens& tokens,
                         DbcAttributeDefinition* definition) {
    NetConfigDbcFile& file = context.File();
    const std::string_view kind = tokens[2];
    auto make = [&](std::string_view value) {
        return new DbcAttribute(context.AttributeName(*definition), definition, Unquoted(value));
    };
    if (kind == "BU_" && tokens.size() == 5) {
        if (DbcNode* node = file.NodeByName(tokens[3])) {
            node->Attributes().Add(make(tokens[4]));
        } else {
            context.Warn("Missing node definition: ", tokens[3]);
        }
    } else if (kind == "BO_" && tokens.size() == 5) {
        if (DbcMessage* message = file.MessageByRawId(ToUnsigned(tokens[3]))) {
            message->Attributes().Add(make(tokens[4]));
        } else {
            context.Warn("Missing message definition: ", tokens[3]);
        }
    } else if (kind == "SG_" && tokens.size() == 6) {
        if (DbcSignal* signal = file.SignalOf(ToUnsigned(tokens[3]), tokens[4])) {
            signal->Attributes().Add(make(tokens[5]));
        } else {
            context.Warn("Missing signal definition: ", tokens[4]);
        }
    } else if (kind == "EV_" && tokens.size() == 5) {
        if (DbcEnvironmentVariable* variable = file.VariableByName(tokens[3])) {
            variable->Attributes().Add(make(tokens[4]));
        } else {
            context.Warn("Missing environment variable definition: ", tokens[3]);
        }
    } else {
        file.NetworkAttributes().Add(make(tokens[2]));
    }
}

// "Missing node: N", "Missing message: 12", or both: "Missing node: N and message: 12", then
// " definition. Line(...".
void WarnMissingRelation(DbcReadContext& context, bool nodeMissing, std::string_view node,
                         std::string_view objectKind, bool objectMissing, std::string_view object) {
    std::string text = "Missing ";
    if (nodeMissing) {
        text += "node: ";
        text += node;
        if (objectMissing) text += " and ";
    }
    if (objectMissing) {
        text += objectKind;
        text += ": ";
        text += object;
    }
    text += " definition. ";
    context.AppendMessage(text);
    context.MarkWarning();
}

// Stores one relation value: owned by the node, listed by the message, signal or variable it
// names; a missing node or object is a warning and nothing is stored.
struct RelationTarget {
    DbcReadContext& context;
    const Tokens& tokens;
    DbcAttributeDefinition& definition;
    DbcNode* node;

    std::string_view NodeName() const { return tokens[3]; }

    void Attach(DbcAttribute* attribute, DbcAttributeList& related) {
        related.Add(attribute);
        node->Attributes().Add(attribute);
    }

    void ToMessage() {
        DbcMessage* message = context.File().MessageByRawId(ToUnsigned(tokens[4]));
        if (!node || !message) {
            WarnMissingRelation(context, !node, NodeName(), "message", !message, tokens[4]);
            return;
        }
        Attach(new DbcNodeTxMsgRelAttribute(context.AttributeName(definition), &definition,
                                            Unquoted(tokens[5]), NodeName(), message->RawId()),
               message->Attributes());
    }

    void ToVariable() {
        DbcEnvironmentVariable* variable = context.File().VariableByName(tokens[4]);
        if (!node || !variable) {
            WarnMissingRelation(context, !node, NodeName(), "environment variable", !variable,
                                tokens[4]);
            return;
        }
        Attach(new DbcNodeEnvVarRelAttribute(context.AttributeName(definition), &definition,
                                             Unquoted(tokens[5]), NodeName(), variable->Name()),
               variable->Attributes());
    }

    void ToSignal() {
        const uint32_t rawId = ToUnsigned(tokens[5]);
        DbcSignal* signal = context.File().SignalOf(rawId, tokens[6]);
        if (!node || !signal) {
            WarnMissingRelation(context, !node, NodeName(), "signal", !signal, tokens[6]);
            return;
        }
        Attach(new DbcNodeRxSigRelAttribute(context.AttributeName(definition), &definition,
                                            Unquoted(tokens[7]), NodeName(), rawId, signal->Name()),
               signal->Attributes());
    }
};

}  // namespace

int ReadAttributeDefinition(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    SplitQuoted(context.Line(), kDefinitionSeparators, tokens);
    constexpr std::string_view failure = "Check Dbc Attribute Definition. ";
    if (tokens.size() < 3) return context.Fail(failure, 17);
    auto definition = std::make_unique<DbcAttributeDefinition>();
    size_t nameIndex = 1;
    if (IsObjectKeyword(tokens[1])) {
        definition->SetObjectType(ObjectTypeOfKeyword(tokens[1]));
        nameIndex = 2;
    } else {
        definition->SetObjectType(kObjectNetwork);
    }
    definition->SetName(Text(tokens[nameIndex]));
    if (!ReadDefinitionType(tokens, nameIndex + 1, *definition)) return context.Fail(failure, 17);
    context.File().AddDefinition(std::move(definition));
    return 1;
}

int ReadRelationAttributeDefinition(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    SplitQuoted(context.Line(), kDefinitionSeparators, tokens);
    constexpr std::string_view failure = "Check Dbc Attribute Definition Rel. ";
    if (tokens.size() < 4 || !IsRelationKeyword(tokens[1])) return context.Fail(failure, 18);
    const int32_t type = ValueTypeOfKeyword(tokens[3]);
    const bool countFits = IsNumericValueType(type)   ? tokens.size() == 6
                           : type == kAttributeString ? tokens.size() == 4
                                                      : type == kAttributeEnumeration;
    if (!countFits) return context.Fail(failure, 18);
    auto definition = std::make_unique<DbcAttributeDefinition>();
    definition->SetObjectType(ObjectTypeOfKeyword(tokens[1]));
    definition->SetName(Text(tokens[2]));
    ReadDefinitionType(tokens, 3, *definition);
    context.File().AddDefinition(std::move(definition));
    return 1;
}

int ReadAttributeDefault(DbcReadContext& context) {
    return ReadDefault(context, "Check Dbc Attribute Default Value. ", 19);
}

int ReadRelationAttributeDefault(DbcReadContext& context) {
    return ReadDefault(context, "Check Dbc Attribute Default Value Rel. ", 20);
}

int ReadAttributeValue(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    SplitQuoted(context.Line(), kValueSeparators, tokens);
    if (tokens.size() < 3) return context.Fail("Check Dbc Attribute. ", 21);
    const std::string_view name = Unquoted(tokens[1]);
    DbcAttributeDefinition* definition = context.File().DefinitionByName(name);
    if (!definition) {
        context.Warn("Missing attribute definition: ", name);
        return 1;
    }
    StoreAttributeValue(context, tokens, definition);
    return 1;
}

int ReadRelationAttributeValue(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    SplitQuoted(context.Line(), kRelationSeparators, tokens);
    const std::string_view kind = tokens.size() > 2 ? tokens[2] : std::string_view();
    const bool formFits = ((kind == "BU_BO_REL_" || kind == "BU_EV_REL_") && tokens.size() == 6) ||
                          (kind == "BU_SG_REL_" && tokens.size() == 8 && tokens[4] == "SG_");
    if (!formFits) return context.Fail("Check Dbc Attribute Rel. ", 22);
    const std::string_view name = Unquoted(tokens[1]);
    DbcAttributeDefinition* definition = context.File().DefinitionByName(name);
    if (!definition) {
        context.Warn("Missing attribute definition: ", name);
        return 1;
    }
    RelationTarget target{context, tokens, *definition, context.File().NodeByName(tokens[3])};
    if (kind == "BU_BO_REL_") {
        target.ToMessage();
    } else if (kind == "BU_EV_REL_") {
        target.ToVariable();
    } else {
        target.ToSignal();
    }
    return 1;
}

}  // namespace qm::dbc
