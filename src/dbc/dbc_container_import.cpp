// Filling a cleared DBC model from its "DBC" container element.
#include <memory>
#include <string>
#include <string_view>

#include "dbc/dbc_container.h"
#include "dbc/dbc_enums.h"
#include "dbc/dbc_number.h"
#include "dbc/dbc_signal_group.h"
#include "dbc/dbc_value_table.h"
#include "xml/container_fields.h"

namespace qm::dbc {

namespace {

using xml::ChildText;
using xml::FirstChild;

// Children of the section element of that name; unknown elements (of a later version) are
// skipped by the callers, which pick the children by name.
template <class Visit>
void ForEachChild(const NanoXML* parent, std::string_view section, std::string_view item,
                  Visit visit) {
    const NanoXML* container = FirstChild(parent, section);
    if (container == nullptr) return;
    for (const NanoXML* child : container->children) {
        if (child->name == item) visit(*child);
    }
}

// Reports problems in the file's messages, in the form of the DBC reader's lines.
class ImportLog {
  public:
    explicit ImportLog(NetConfigDbcFile& file) : file_(file) {}

    void Warn(std::string_view what, std::string_view name) {
        std::string& log = file_.Log();
        log.append(what);
        log.append(name.substr(0, 4096));
        log.append(".\n");
        warned_ = true;
    }

    uint64_t Unsigned(const NanoXML& element, std::string_view name, uint64_t limit) {
        const NanoXML* child = FirstChild(&element, name);
        if (child == nullptr) return 0;
        const std::string text = child->GetText();
        uint64_t value = 0;
        if (!xml::ParseDecimal(text, value, limit)) NotANumber(name, text);
        return value;
    }

    double Real(const NanoXML& element, std::string_view name) {
        const NanoXML* child = FirstChild(&element, name);
        if (child == nullptr) return 0.0;
        const std::string text = child->GetText();
        double value = 0.0;
        if (!xml::ParseRealText(text, value)) NotANumber(name, text);
        return value;
    }

    // The number with its text, decimals and exponent flag taken from the stored text, as the
    // reader takes them from a signal line.
    void Number(const NanoXML& element, std::string_view name, DbcNumber& number) {
        const NanoXML* child = FirstChild(&element, name);
        if (child == nullptr) return;
        const std::string text = child->GetText();
        double check = 0.0;
        if (!xml::ParseRealText(text, check) || !ParseDbcNumber(text, number)) {
            NotANumber(name, text);
        }
    }

    bool Warned() const { return warned_; }

  private:
    void NotANumber(std::string_view name, std::string_view text) {
        std::string what = "Container value is not a number: ";
        what.append(name);
        what.append(" = ");
        Warn(what, std::string(text.substr(0, 256)));
    }

    NetConfigDbcFile& file_;
    bool warned_ = false;
};

template <class Descriptions>
void ImportValueDescriptions(const NanoXML& owner, Descriptions& descriptions, ImportLog& log) {
    const NanoXML* values = FirstChild(&owner, "Values");
    if (values == nullptr) return;
    for (const NanoXML* entry : values->children) {
        if (entry->name.empty()) continue;  // a stray text fragment
        uint64_t value = 0;
        if (!xml::ParseDecimal(entry->name, value, UINT32_MAX)) {
            log.Warn("Container value description without a number: ", entry->name);
            continue;
        }
        descriptions.Set(static_cast<uint32_t>(value), entry->GetText());
    }
}

// The value table keeps its entries in a map; Set gives it the interface of the lists above.
struct TableValues {
    std::map<uint32_t, std::string>& values;
    void Set(uint32_t value, std::string description) { values[value] = std::move(description); }
};

void ImportNodes(NetConfigDbcFile& file, const NanoXML& dbc) {
    ForEachChild(&dbc, "Nodes", "Node", [&](const NanoXML& element) {
        DbcNode* node = file.AddNode(ChildText(&element, "Name"));
        node->SetComment(ChildText(&element, "Description_text"));
    });
}

void ImportValueTables(NetConfigDbcFile& file, const NanoXML& dbc, ImportLog& log) {
    ForEachChild(&dbc, "Value_tables", "Value_table", [&](const NanoXML& element) {
        auto table = std::make_unique<DbcValueTable>(ChildText(&element, "Name"));
        TableValues values{table->Values()};
        ImportValueDescriptions(element, values, log);
        file.AddValueTable(std::move(table));
    });
}

char ByteOrderCharOf(const std::string& text) {
    if (text == "bigEndian") return '0';
    if (text == "littleEndian") return '1';
    return '\0';
}

char ValueTypeCharOf(const std::string& text) {
    if (text == "unsignedType") return '+';
    if (text == "signedType") return '-';
    return '\0';
}

void ImportSignal(NetConfigDbcFile& file, DbcMessage& message, const NanoXML& element,
                  ImportLog& log) {
    DbcSignalPtr owned = file.MakeSignal();
    DbcSignal& signal = *owned;
    signal.SetName(ChildText(&element, "Name"));
    // Plain signals carry a single blank as their indicator, as the reader gives them.
    signal.SetMultiplexIndicator(" ");
    signal.SetStartBit(static_cast<uint16_t>(log.Unsigned(element, "Start_bit", UINT16_MAX)));
    signal.SetBitLength(static_cast<uint16_t>(log.Unsigned(element, "Size", UINT16_MAX)));
    signal.SetByteOrderChar(ByteOrderCharOf(ChildText(&element, "Byte_order")));
    signal.SetValueTypeChar(ValueTypeCharOf(ChildText(&element, "Value_type")));
    log.Number(element, "Factor", signal.Factor());
    log.Number(element, "Offset", signal.Offset());
    log.Number(element, "Minimum", signal.Minimum());
    log.Number(element, "Maximum", signal.Maximum());
    signal.SetUnit(ChildText(&element, "Unit"));
    signal.SetComment(ChildText(&element, "Description_text"));
    DbcValueDescriptions descriptions;
    ImportValueDescriptions(element, descriptions, log);
    // Only a signal with descriptions gets the block they live in.
    if (!descriptions.Empty()) signal.MutableValueDescriptions() = std::move(descriptions);
    if (!signal.Unit().empty() || !signal.ValueDescriptions().Empty()) signal.SetDescribed(true);
    ForEachChild(&element, "Receivers", "Receiver", [&](const NanoXML& receiver) {
        const std::string name = receiver.GetText();
        if (DbcNode* node = file.NodeByName(name)) {
            signal.Receivers().push_back(node);
            node->AddRxSignal(&signal);
        } else {
            log.Warn("Missing node definition: ", name);
        }
    });
    signal.SetMessage(&message);
    file.ListSignal(message.AddSignal(std::move(owned)));
}

void ImportSignalGroup(DbcMessage& message, const NanoXML& element, ImportLog& log) {
    auto group = std::make_unique<DbcSignalGroup>(
        ChildText(&element, "Name"), &message,
        static_cast<uint32_t>(log.Unsigned(element, "Repetitions", UINT32_MAX)));
    ForEachChild(&element, "Signals", "Signal", [&](const NanoXML& member) {
        const std::string name = member.GetText();
        if (DbcSignal* signal = message.SignalByName(name)) {
            group->Signals().push_back(signal);
        } else {
            log.Warn("Missing signal definition: ", name);
        }
    });
    message.AddSignalGroup(std::move(group));
}

void ImportMessages(NetConfigDbcFile& file, const NanoXML& dbc, ImportLog& log) {
    ForEachChild(&dbc, "Messages", "Message", [&](const NanoXML& element) {
        auto owned = std::make_unique<DbcMessage>();
        owned->SetRawId(static_cast<uint32_t>(log.Unsigned(element, "Can_ID", UINT32_MAX)));
        owned->SetName(ChildText(&element, "Name"));
        owned->SetSize(static_cast<uint8_t>(log.Unsigned(element, "Size", UINT8_MAX)));
        owned->SetComment(ChildText(&element, "Description_text"));
        const std::string transmitter = ChildText(&element, "Transmitter");
        DbcMessage& message = *owned;
        if (DbcNode* node = file.NodeByName(transmitter)) {
            message.SetTransmitter(node);
            message.Transmitters().push_back(node);
            node->TxMessages().push_back(&message);
        } else if (!transmitter.empty() && transmitter != "Vector__XXX") {
            log.Warn("Missing node definition: ", transmitter);
        }
        file.AddMessage(std::move(owned));
        ForEachChild(&element, "Signals", "Signal",
                     [&](const NanoXML& signal) { ImportSignal(file, message, signal, log); });
        ForEachChild(&element, "Signal_groups", "Signal_group",
                     [&](const NanoXML& group) { ImportSignalGroup(message, group, log); });
    });
}

int32_t EnvironmentTypeOfText(const std::string& text) {
    for (int32_t type = 0; type < 3; ++type) {
        if (text == EnvironmentTypeText(type)) return type;
    }
    return -1;
}

// The token the reader would have read for an access-type text. The container keeps no token,
// so an access type of none of the four texts gets the token files give their data variables:
// it reads back as that same undefined type, where an empty token would make the saved line
// unreadable.
std::string AccessTokenOfText(const std::string& text) {
    for (int32_t type = 0; type < 4; ++type) {
        if (text == AccessTypeText(type)) return "DUMMY_NODE_VECTOR" + std::to_string(type);
    }
    return "DUMMY_NODE_VECTOR8000";
}

void ImportVariables(NetConfigDbcFile& file, const NanoXML& dbc, ImportLog& log) {
    ForEachChild(
        &dbc, "Environment_variables", "Environment_variable", [&](const NanoXML& element) {
            auto variable = std::make_unique<DbcEnvironmentVariable>();
            variable->SetName(ChildText(&element, "Name"));
            variable->SetType(EnvironmentTypeOfText(ChildText(&element, "Type")));
            const double minimum = log.Real(element, "Minimum");
            const double maximum = log.Real(element, "Maximum");
            variable->SetLimits(minimum, maximum);
            variable->SetInitialValue(log.Real(element, "Initial_value"));
            variable->SetId(static_cast<uint32_t>(log.Unsigned(element, "ID", UINT32_MAX)));
            variable->SetAccessTypeToken(AccessTokenOfText(ChildText(&element, "Access_type")));
            ForEachChild(&element, "Access_nodes", "Access_node", [&](const NanoXML& node) {
                variable->AccessNodes().push_back(node.GetText());
            });
            variable->SetComment(ChildText(&element, "Description_text"));
            ImportValueDescriptions(element, variable->ValueDescriptions(), log);
            file.AddVariable(std::move(variable));
        });
}

int32_t ObjectTypeOfText(const std::string& text) {
    for (int32_t type = kObjectNetwork; type <= kObjectNodeEnvironmentVariable; ++type) {
        if (text == ObjectTypeText(type)) return type;
    }
    return kObjectUndefined;
}

int32_t AttributeValueTypeOfText(const std::string& text) {
    for (int32_t type = kAttributeInteger; type <= kAttributeEnumeration; ++type) {
        if (text == AttributeValueTypeText(type)) return type;
    }
    return kAttributeUndefined;
}

void ImportDefinitions(NetConfigDbcFile& file, const NanoXML& dbc) {
    ForEachChild(
        &dbc, "Attribute_definitions", "Attribute_definition", [&](const NanoXML& element) {
            auto definition = std::make_unique<DbcAttributeDefinition>();
            definition->SetName(ChildText(&element, "Name"));
            definition->SetObjectType(ObjectTypeOfText(ChildText(&element, "Object_type")));
            const int32_t valueType = AttributeValueTypeOfText(ChildText(&element, "Value_type"));
            definition->SetValueType(valueType);
            if (valueType == kAttributeInteger || valueType == kAttributeHex ||
                valueType == kAttributeFloat) {
                definition->Values().push_back(ChildText(&element, "Minimum"));
                definition->Values().push_back(ChildText(&element, "Maximum"));
            } else if (valueType == kAttributeEnumeration) {
                ForEachChild(&element, "Enumerators", "Enumerator", [&](const NanoXML& enumerator) {
                    definition->Values().push_back(enumerator.GetText());
                });
            }
            definition->SetDefaultValue(ChildText(&element, "Default_value"));
            file.AddDefinition(std::move(definition));
        });
}

// Every attribute comes back among the network attributes: its element names no owner.
void ImportAttribute(NetConfigDbcFile& file, const NanoXML& element, ImportLog& log) {
    std::string name = ChildText(&element, "Name");
    DbcAttributeDefinition* definition = file.DefinitionByName(name);
    if (definition == nullptr) {
        log.Warn("Missing attribute definition: ", name);
        return;
    }
    std::string value = ChildText(&element, "Value");
    DbcAttribute* attribute = nullptr;
    if (element.name == "Attribute") {
        attribute = new DbcAttribute(std::move(name), definition, std::move(value));
    } else if (element.name == "NodeTxMsgRelAttribute") {
        attribute = new DbcNodeTxMsgRelAttribute(
            DbcText(name), definition, std::move(value), ChildText(&element, "Node_name"),
            static_cast<uint32_t>(log.Unsigned(element, "Tx_msg_id", UINT32_MAX)));
    } else if (element.name == "NodeRxSigRelAttribute") {
        attribute = new DbcNodeRxSigRelAttribute(
            DbcText(name), definition, std::move(value), ChildText(&element, "Node_name"),
            static_cast<uint32_t>(log.Unsigned(element, "Rx_msg_id", UINT32_MAX)),
            DbcText(ChildText(&element, "Rx_sig_name")));
    } else {
        attribute = new DbcNodeEnvVarRelAttribute(DbcText(name), definition, std::move(value),
                                                  ChildText(&element, "Node_name"),
                                                  ChildText(&element, "Env_var_name"));
    }
    file.NetworkAttributes().Add(attribute);
}

void ImportAttributes(NetConfigDbcFile& file, const NanoXML& dbc, ImportLog& log) {
    const NanoXML* attributes = FirstChild(&dbc, "Attributes");
    if (attributes == nullptr) return;
    for (const NanoXML* element : attributes->children) {
        const std::string& kind = element->name;
        if (kind == "Attribute" || kind == "NodeTxMsgRelAttribute" ||
            kind == "NodeRxSigRelAttribute" || kind == "NodeEnvVarRelAttribute") {
            ImportAttribute(file, *element, log);
        }
    }
}

}  // namespace

bool ImportDbcContainer(NetConfigDbcFile& file, const NanoXML* element) {
    if (element == nullptr || element->name != "DBC") return false;
    ImportLog log(file);
    file.SetDatabaseName(ChildText(element, "Network_name"));
    ImportNodes(file, *element);
    ImportValueTables(file, *element, log);
    ImportMessages(file, *element, log);
    ImportVariables(file, *element, log);
    file.SetNetworkComment(ChildText(element, "Description_text"));
    ImportDefinitions(file, *element);
    ImportAttributes(file, *element, log);
    file.SetStatus(log.Warned() ? kDbcLoadedWithWarnings : kDbcLoaded);
    return true;
}

}  // namespace qm::dbc
