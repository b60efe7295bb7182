// Building the "DBC" container element from the model.
#include <string>

#include "dbc/dbc_container.h"
#include "dbc/dbc_enums.h"
#include "xml/container_fields.h"
#include "xml/text.h"

namespace qm::dbc {

namespace {

using xml::AddNumberChild;
using xml::AddRealChild;
using xml::AddTextChild;

std::string Decoded(std::string_view text) {
    std::string copy(text);
    DecodeEntities(copy);
    return copy;
}

// One child per entry, named by the value in decimal, its text the description.
template <class Entries>
void AddValues(NanoXML* parent, const Entries& entries, bool decode) {
    NanoXML* values = parent->AddChild("Values", "", 0);
    for (const auto& [value, description] : entries) {
        const std::string name = std::to_string(value);
        if (decode) {
            AddTextChild(values, name.c_str(), Decoded(description));
        } else {
            AddTextChild(values, name.c_str(), description);
        }
    }
}

void AddNodes(NanoXML* dbc, const NetConfigDbcFile& file) {
    NanoXML* nodes = dbc->AddChild("Nodes", "", 0);
    for (const auto& node : file.Nodes()) {
        NanoXML* element = nodes->AddChild("Node", "", 0);
        AddTextChild(element, "Name", node->Name());
        AddTextChild(element, "Description_text", node->Comment());
    }
}

void AddValueTables(NanoXML* dbc, const NetConfigDbcFile& file) {
    NanoXML* tables = dbc->AddChild("Value_tables", "", 0);
    for (const auto& table : file.ValueTables()) {
        NanoXML* element = tables->AddChild("Value_table", "", 0);
        AddTextChild(element, "Name", table->Name());
        AddValues(element, table->Values(), true);
    }
}

void AddSignal(NanoXML* signals, const DbcSignal& signal) {
    NanoXML* element = signals->AddChild("Signal", "", 0);
    AddTextChild(element, "Name", signal.Name());
    AddNumberChild(element, "Start_bit", signal.StartBit());
    AddNumberChild(element, "Size", signal.BitLength());
    AddTextChild(element, "Byte_order", signal.ByteOrderShownText());
    AddTextChild(element, "Value_type", ValueTypeText(signal.ValueType()));
    AddRealChild(element, "Factor", signal.Factor().value);
    AddRealChild(element, "Offset", signal.Offset().value);
    AddRealChild(element, "Minimum", signal.Minimum().value);
    AddRealChild(element, "Maximum", signal.Maximum().value);
    AddTextChild(element, "Unit", signal.Unit());
    NanoXML* receivers = element->AddChild("Receivers", "", 0);
    for (const DbcNode* node : signal.Receivers())
        AddTextChild(receivers, "Receiver", node->Name());
    AddTextChild(element, "Description_text", signal.Comment());
    AddValues(element, signal.ValueDescriptions().Entries(), false);
}

void AddSignalGroup(NanoXML* groups, const DbcSignalGroup& group) {
    NanoXML* element = groups->AddChild("Signal_group", "", 0);
    AddTextChild(element, "Name", group.Name());
    AddNumberChild(element, "Repetitions", group.Repetitions());
    NanoXML* signals = element->AddChild("Signals", "", 0);
    for (const DbcSignal* signal : group.Signals()) AddTextChild(signals, "Signal", signal->Name());
}

void AddMessages(NanoXML* dbc, const NetConfigDbcFile& file) {
    NanoXML* messages = dbc->AddChild("Messages", "", 0);
    for (const auto& message : file.Messages()) {
        NanoXML* element = messages->AddChild("Message", "", 0);
        AddNumberChild(element, "Can_ID", message->RawId());
        AddTextChild(element, "Name", message->Name());
        AddNumberChild(element, "Size", message->Size());
        AddTextChild(element, "Transmitter",
                     message->Transmitter() ? message->Transmitter()->Name() : std::string());
        AddTextChild(element, "Description_text", message->Comment());
        NanoXML* signals = element->AddChild("Signals", "", 0);
        for (const auto& signal : message->Signals()) AddSignal(signals, *signal);
        NanoXML* groups = element->AddChild("Signal_groups", "", 0);
        for (const auto& group : message->SignalGroups()) AddSignalGroup(groups, *group);
    }
}

void AddVariables(NanoXML* dbc, const NetConfigDbcFile& file) {
    NanoXML* variables = dbc->AddChild("Environment_variables", "", 0);
    for (const auto& variable : file.Variables()) {
        NanoXML* element = variables->AddChild("Environment_variable", "", 0);
        AddTextChild(element, "Name", variable->Name());
        AddTextChild(element, "Type", EnvironmentTypeText(variable->Type()));
        AddRealChild(element, "Minimum", variable->Minimum());
        AddRealChild(element, "Maximum", variable->Maximum());
        AddRealChild(element, "Initial_value", variable->InitialValue());
        AddNumberChild(element, "ID", variable->Id());
        AddTextChild(element, "Access_type",
                     AccessTypeText(AccessTypeOfToken(variable->AccessTypeToken())));
        NanoXML* nodes = element->AddChild("Access_nodes", "", 0);
        for (const std::string& name : variable->AccessNodes()) {
            AddTextChild(nodes, "Access_node", name);
        }
        AddTextChild(element, "Description_text", variable->Comment());
        AddValues(element, variable->ValueDescriptions().Entries(), false);
    }
}

bool HasLimits(int32_t valueType) {
    return valueType == kAttributeInteger || valueType == kAttributeHex ||
           valueType == kAttributeFloat;
}

void AddDefinitions(NanoXML* dbc, const NetConfigDbcFile& file) {
    NanoXML* definitions = dbc->AddChild("Attribute_definitions", "", 0);
    for (const auto& definition : file.Definitions()) {
        NanoXML* element = definitions->AddChild("Attribute_definition", "", 0);
        AddTextChild(element, "Name", definition->Name());
        AddTextChild(element, "Object_type", ObjectTypeText(definition->ObjectType()));
        AddTextChild(element, "Value_type", AttributeValueTypeText(definition->ValueType()));
        AddTextChild(element, "Relation",
                     ToBoolString(IsRelationObjectType(definition->ObjectType())));
        const auto& values = definition->Values();
        if (HasLimits(definition->ValueType())) {
            AddTextChild(element, "Minimum", values.size() > 0 ? values[0] : std::string());
            AddTextChild(element, "Maximum", values.size() > 1 ? values[1] : std::string());
        } else if (definition->ValueType() == kAttributeEnumeration) {
            NanoXML* enumerators = element->AddChild("Enumerators", "", 0);
            for (const std::string& value : values) AddTextChild(enumerators, "Enumerator", value);
        }
        AddTextChild(element, "Default_value", definition->DefaultValue());
    }
}

void AddAttribute(NanoXML* attributes, const DbcAttribute& attribute) {
    NanoXML* element = nullptr;
    switch (attribute.RelationKind()) {
        case kObjectNodeTxMessage: {
            const auto& relation = static_cast<const DbcNodeTxMsgRelAttribute&>(attribute);
            element = attributes->AddChild("NodeTxMsgRelAttribute", "", 0);
            AddTextChild(element, "Name", relation.Name());
            AddTextChild(element, "Node_name", relation.NodeName());
            AddNumberChild(element, "Tx_msg_id", relation.MessageId());
            break;
        }
        case kObjectNodeRxSignal: {
            const auto& relation = static_cast<const DbcNodeRxSigRelAttribute&>(attribute);
            element = attributes->AddChild("NodeRxSigRelAttribute", "", 0);
            AddTextChild(element, "Name", relation.Name());
            AddTextChild(element, "Node_name", relation.NodeName());
            AddNumberChild(element, "Rx_msg_id", relation.MessageId());
            AddTextChild(element, "Rx_sig_name", relation.SignalName());
            break;
        }
        case kObjectNodeEnvironmentVariable: {
            const auto& relation = static_cast<const DbcNodeEnvVarRelAttribute&>(attribute);
            element = attributes->AddChild("NodeEnvVarRelAttribute", "", 0);
            AddTextChild(element, "Name", relation.Name());
            AddTextChild(element, "Node_name", relation.NodeName());
            AddTextChild(element, "Env_var_name", relation.VariableName());
            break;
        }
        default:
            element = attributes->AddChild("Attribute", "", 0);
            AddTextChild(element, "Name", attribute.Name());
            break;
    }
    AddTextChild(element, "Value", attribute.Value());
}

// Relation attributes are owned by their node and only shown by the message, signal or
// variable they name: they are written with the node, once.
void AddOwnedAttributes(NanoXML* attributes, const DbcAttributeList& list, bool withRelations) {
    for (const DbcAttribute* attribute : list.Items()) {
        if (!withRelations && attribute->RelationKind() >= 0) continue;
        AddAttribute(attributes, *attribute);
    }
}

void AddAttributes(NanoXML* dbc, const NetConfigDbcFile& file) {
    NanoXML* attributes = dbc->AddChild("Attributes", "", 0);
    AddOwnedAttributes(attributes, file.NetworkAttributes(), true);
    for (const auto& node : file.Nodes()) AddOwnedAttributes(attributes, node->Attributes(), true);
    for (const auto& message : file.Messages()) {
        AddOwnedAttributes(attributes, message->Attributes(), false);
    }
    for (const DbcSignal* signal : file.AllSignals()) {
        AddOwnedAttributes(attributes, signal->Attributes(), false);
    }
    for (const auto& variable : file.Variables()) {
        AddOwnedAttributes(attributes, variable->Attributes(), false);
    }
}

}  // namespace

NanoXML* ExportDbcContainer(const NetConfigDbcFile& file) {
    auto* dbc = new NanoXML("DBC", "", 0);
    AddTextChild(dbc, "Network_name", file.DatabaseName());
    AddNodes(dbc, file);
    AddValueTables(dbc, file);
    AddMessages(dbc, file);
    AddVariables(dbc, file);
    AddTextChild(dbc, "Description_text", Decoded(file.NetworkComment()));
    AddDefinitions(dbc, file);
    AddAttributes(dbc, file);
    return dbc;
}

}  // namespace qm::dbc
