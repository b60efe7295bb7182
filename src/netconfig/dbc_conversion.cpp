#include "netconfig/dbc_conversion.h"

#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "netconfig/net_text.h"
#include "platform/paths.h"
#include "xml/text.h"

namespace qm::net {

namespace {

using DbcEcuOfNode = std::unordered_map<IDbcNode*, NetEcu*>;

std::string DatabaseName(INetConfigDbcFile& file) {
    const std::string name = file.GetDatabaseName();
    if (!name.empty()) return name;
    const wchar_t* path = file.GetPath();
    return platform::Narrow(StripExtension(FileNameOfPath(path ? path : L"")));
}

// Attribute assignments of a DBC object, copied as name and value text.
template <class Object>
void CopyAttributes(Object& object, NetAttributeList& target) {
    for (uint64_t i = 0; i < object.GetAttributeCount(); ++i) {
        IDbcAttribute* attribute = object.GetAttribute(i);
        if (attribute != nullptr) {
            target.Add(Text(attribute->GetName()), Text(attribute->GetValue()));
        }
    }
}

// Doubles beyond the 64-bit range keep the nearest representable integer.
void ConvertEcus(INetConfigDbcFile& file, NetDataBase& database, DbcEcuOfNode& ecuOf) {
    for (uint64_t i = 0; i < file.GetNodeCount(); ++i) {
        IDbcNode* node = file.GetNode(i);
        auto ecu = std::make_unique<NetEcu>();
        ecu->SetName(Text(node->GetName()));
        ecu->Properties().Add("Description text", Text(node->GetComment()));
        CopyAttributes(*node, ecu->FileAttributes());
        ecuOf[node] = database.AddEcu(std::move(ecu));
    }
}

NetEcu* EcuOf(const DbcEcuOfNode& ecuOf, IDbcNode* node) {
    const auto found = ecuOf.find(node);
    return found == ecuOf.end() ? nullptr : found->second;
}

void AddValueDescriptions(IDbcSignal& source, NetSignal& signal) {
    for (uint64_t i = 0; i < source.GetValueDescriptionCount(); ++i) {
        const uint32_t value = source.GetValueAt(i);
        const double physical = static_cast<double>(value);
        signal.AddVTabValue(
            std::make_unique<NetVTabValue>(NetVTabValue::kValueTable, value, value, physical,
                                           physical, Text(source.GetValueDescription(value))));
    }
}

void AddSignalProperties(IDbcSignal& source, NetSignal& signal) {
    NetAttributeList& properties = signal.Properties();
    properties.Reserve(9);
    properties.Add("Name", signal.GetName());
    properties.Add("Start bit", DecimalText(uint64_t{signal.GetStartBit()}));
    properties.Add("Bit size", DecimalText(uint64_t{signal.GetBitSize()}));
    properties.Add("Minimum", FixedText(signal.GetMinimum()));
    properties.Add("Maximum", FixedText(signal.GetMaximum()));
    properties.Add("Factor", FixedText(signal.GetFactor()));
    properties.Add("Offset", FixedText(signal.GetOffset()));
    properties.Add("Byte order", Text(source.GetByteOrderText()));
    properties.Add("Value Type", Text(source.GetValueTypeText()));
}

NetSignal* ConvertSignal(IDbcSignal& source, NetMessage& message, NetDataBase& database) {
    auto signal = std::make_unique<NetSignal>();
    signal->SetName(Text(source.GetName()));
    signal->SetQualifiedName(std::string(message.GetName()) + "." + signal->GetName());
    signal->SetStartBit(source.GetStartBit());
    signal->SetBitSize(source.GetBitLength());
    signal->SetMinimum(source.GetMinimum());
    signal->SetMaximum(source.GetMaximum());
    signal->SetMinimumInt(Truncated(source.GetMinimum()));
    signal->SetMaximumInt(Truncated(source.GetMaximum()));
    signal->SetFactor(source.GetFactor());
    signal->SetOffset(source.GetOffset());
    signal->SetUnit(Text(source.GetUnit()));
    signal->SetComment(Text(source.GetComment()));
    signal->SetValueType(kValueFloat64);
    const uint32_t byteOrder = source.GetByteOrder();
    signal->SetByteOrder(byteOrder == 1 || byteOrder == 2 ? byteOrder : kByteOrderDefault);
    const uint32_t valueType = source.GetValueType();
    signal->SetSignedness(valueType == 1 || valueType == 2 ? valueType : kSignednessUndefined);
    signal->SetMessage(&message);
    signal->SetMultiplexing(source.GetMultiplexingKind(),
                            source.IsMultiplexedSignal() ? source.GetMultiplexValue() : -1);
    AddValueDescriptions(source, *signal);
    AddSignalProperties(source, *signal);
    CopyAttributes(source, signal->FileAttributes());
    return database.AddSignal(std::move(signal));
}

// Extended multiplexing links a signal to another signal of the same message; the converted
// signals are in the source's order, so the multiplexer is found by its index there.
void ConvertExtendedMultiplexing(IDbcMessage& source, NetMessage& message) {
    std::unordered_map<IDbcSignal*, uint64_t> indexOf;
    for (uint64_t i = 0; i < source.GetSignalCount(); ++i) {
        auto* extended = dynamic_cast<IDbcExtendedMultiplexing*>(source.GetSignal(i));
        IDbcSignal* multiplexer = extended ? extended->GetExtendedMultiplexer() : nullptr;
        if (multiplexer == nullptr) continue;
        if (indexOf.empty()) {
            for (uint64_t k = 0; k < source.GetSignalCount(); ++k) indexOf[source.GetSignal(k)] = k;
        }
        const auto found = indexOf.find(multiplexer);
        if (found == indexOf.end()) continue;
        std::vector<NetSignal::MultiplexRange> ranges(extended->GetMultiplexRangeCount());
        for (uint64_t r = 0; r < ranges.size(); ++r) {
            ranges[r] = {extended->GetMultiplexRangeMinimum(r),
                         extended->GetMultiplexRangeMaximum(r)};
        }
        static_cast<NetSignal*>(message.GetSignal(i))
            ->SetExtendedMultiplexing(static_cast<NetSignal*>(message.GetSignal(found->second)),
                                      std::move(ranges));
    }
}

// One signal that names a node as receiver, with the converted message that carries it.
struct Reception {
    NetMessage* message;
    NetSignal* signal;
};
using ReceptionsOfNode = std::unordered_map<IDbcNode*, std::vector<Reception>>;

// The node of the BO_ line sends the message; further transmitters of BO_TX_BU_ are not
// transmitters of the network message. Receptions are only collected here: the receivers are
// linked node by node once every message is converted.
void LinkTransmitter(IDbcMessage& source, NetMessage& message, const DbcEcuOfNode& ecuOf) {
    if (NetEcu* transmitter = EcuOf(ecuOf, source.GetTransmitter())) {
        message.SetTransmitter(transmitter);
        transmitter->AddTxMessage(&message);
    }
}

void CollectReceptions(IDbcMessage& source, NetMessage& message, ReceptionsOfNode& receptions) {
    for (uint64_t i = 0; i < source.GetSignalCount(); ++i) {
        IDbcSignal* dbcSignal = source.GetSignal(i);
        auto* signal = static_cast<NetSignal*>(message.GetSignal(i));
        for (uint64_t r = 0; r < dbcSignal->GetReceiverCount(); ++r) {
            IDbcNode* node = dbcSignal->GetReceiver(r);
            if (node != nullptr) receptions[node].push_back({&message, signal});
        }
    }
}

// For every node in file order: each message it receives gets the node as receiver and goes to
// the node's received messages; each signal of it that names the node gets the node as receiver
// and goes to the node's received signals. Receiver lists are thus in node order.
void LinkReceivers(INetConfigDbcFile& file, const DbcEcuOfNode& ecuOf,
                   const ReceptionsOfNode& receptions) {
    for (uint64_t i = 0; i < file.GetNodeCount(); ++i) {
        IDbcNode* node = file.GetNode(i);
        NetEcu* ecu = EcuOf(ecuOf, node);
        const auto found = receptions.find(node);
        if (ecu == nullptr || found == receptions.end()) continue;
        for (const Reception& reception : found->second) {
            ecu->AddRxMessage(reception.message);
            reception.message->AddReceiver(ecu);
            ecu->AddRxSignal(reception.signal);
            reception.signal->AddReceiver(ecu);
        }
    }
}

void ConvertMessage(IDbcMessage& source, NetDataBase& database, const DbcEcuOfNode& ecuOf,
                    ReceptionsOfNode& receptions) {
    auto owned = std::make_unique<NetMessage>();
    owned->SetName(Text(source.GetName()));
    owned->SetId(source.GetId());
    owned->SetExtended(source.IsExtended());
    owned->SetSize(source.GetSize());
    NetMessage* message = database.AddMessage(std::move(owned));
    NetAttributeList& properties = message->Properties();
    properties.Reserve(4);
    properties.Add("Name", message->GetName());
    properties.Add("ID", DecimalText(uint64_t{message->GetId()}));
    properties.Add("Size", DecimalText(uint64_t{message->GetSize()}));
    properties.Add("Description text", Text(source.GetComment()));
    CopyAttributes(source, message->FileAttributes());
    for (uint64_t i = 0; i < source.GetSignalCount(); ++i) {
        message->AddSignal(ConvertSignal(*source.GetSignal(i), *message, database));
    }
    ConvertExtendedMultiplexing(source, *message);
    LinkTransmitter(source, *message, ecuOf);
    CollectReceptions(source, *message, receptions);
}

}  // namespace

void ConvertDbcFile(INetConfigDbcFile& file, NetDataBase& database) {
    database.SetName(DatabaseName(file));
    database.SetBusType(kNetBusCan);
    database.SetFromArxml(false);
    database.SetSourceFile(&file, &file);
    database.Properties().Add("Description text", Text(file.GetComment()));
    CopyAttributes(file, database.FileAttributes());
    DbcEcuOfNode ecuOf;
    ConvertEcus(file, database, ecuOf);
    ReceptionsOfNode receptions;
    for (uint64_t i = 0; i < file.GetMessageCount(); ++i) {
        ConvertMessage(*file.GetMessage(i), database, ecuOf, receptions);
    }
    LinkReceivers(file, ecuOf, receptions);
}

}  // namespace qm::net
