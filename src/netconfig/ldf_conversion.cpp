#include "netconfig/ldf_conversion.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>

#include "netconfig/net_text.h"
#include "platform/paths.h"
#include "xml/text.h"

namespace qm::net {

namespace {

// Keyed by the complete node object: the model hands a node out through more than one
// interface side (ILdfNode of the base class, ILdfMasterNode or ILdfSlaveNode of the kind).
using LdfEcuOfNode = std::unordered_map<const void*, NetEcu*>;

const void* NodeKey(ILdfNode* node) {
    return node ? dynamic_cast<const void*>(node) : nullptr;
}

NetEcu* EcuOf(const LdfEcuOfNode& ecuOf, ILdfNode* node) {
    const auto found = ecuOf.find(NodeKey(node));
    return found == ecuOf.end() ? nullptr : found->second;
}

std::string DatabaseName(INetConfigLdfFile& file) {
    const std::string name = Text(file.GetName());
    if (!name.empty()) return name;
    const wchar_t* path = file.GetPath();
    return platform::Narrow(StripExtension(FileNameOfPath(path ? path : L"")));
}

void AddMasterProperties(ILdfMasterNode& master, NetAttributeList& properties) {
    properties.Add("Time base", FixedText(master.GetTimeBase()));
    properties.Add("Jitter", FixedText(master.GetJitter()));
    properties.Add("Bit length", DecimalText(uint64_t{master.GetBitLength()}));
    properties.Add("Tolerant", DecimalText(uint64_t{master.GetTolerant()}));
}

void AddSlaveProperties(ILdfSlaveNode& slave, NetAttributeList& properties) {
    properties.Add("LIN protocol", Text(slave.GetLinProtocol()));
    properties.Add("Configured NAD", DecimalText(uint64_t{slave.GetConfiguredNad()}));
    if (slave.HasInitialNad()) {
        properties.Add("Initial NAD", DecimalText(uint64_t{slave.GetInitialNad()}));
    }
    if (IProductId* product = slave.GetProductId()) {
        properties.Add("Supplier id", DecimalText(uint64_t{product->GetSupplierId()}));
        properties.Add("Function id", DecimalText(uint64_t{product->GetFunctionId()}));
        if (product->HasVariant()) {
            properties.Add("Variant", DecimalText(uint64_t{product->GetVariant()}));
        }
    }
    if (ILdfStandardSignal* error = slave.GetResponseErrorSignal()) {
        properties.Add("Response error", Text(error->GetName()));
    }
    properties.Add("P2_min", FixedText(slave.GetP2Min()));
    properties.Add("ST_min", FixedText(slave.GetStMin()));
    properties.Add("N_As_timeout", FixedText(slave.GetNAsTimeout()));
    properties.Add("N_Cr_timeout", FixedText(slave.GetNCrTimeout()));
}

void ConvertEcus(INetConfigLdfFile& file, NetDataBase& database, LdfEcuOfNode& ecuOf) {
    for (uint64_t i = 0; i < file.GetNodeCount(); ++i) {
        ILdfNode* node = file.GetNode(i);
        auto ecu = std::make_unique<NetEcu>();
        ecu->SetName(Text(node->GetName()));
        ecu->SetLinRole(node->IsMaster(), node->IsSlave());
        NetAttributeList& properties = ecu->Properties();
        properties.Add("Diagnostic address", DecimalText(uint64_t{node->GetDiagnosticAddress()}));
        if (auto* master = dynamic_cast<ILdfMasterNode*>(node)) {
            AddMasterProperties(*master, properties);
        } else if (auto* slave = dynamic_cast<ILdfSlaveNode*>(node)) {
            AddSlaveProperties(*slave, properties);
        }
        ecuOf.try_emplace(NodeKey(node), database.AddEcu(std::move(ecu)));
    }
}

// One value-table entry per encoding entry; the physical ranges also give the signal its
// scaling, unit and limits.
void ConvertEncoding(ILdfSignalEncodingType& encoding, NetSignal& signal) {
    uint64_t rawMin = std::numeric_limits<uint64_t>::max();
    uint64_t rawMax = 0;
    bool scaled = false;
    for (uint64_t i = 0; i < encoding.GetValueCount(); ++i) {
        ILdfValue* value = encoding.GetValue(i);
        std::unique_ptr<NetVTabValue> entry;
        if (auto* logical = dynamic_cast<ILdfLogicalValue*>(value)) {
            const uint32_t raw = logical->GetSignalValue();
            entry = std::make_unique<NetVTabValue>(NetVTabValue::kLogical, raw, raw, raw, raw,
                                                   Text(logical->GetTextInfo()));
        } else if (auto* physical = dynamic_cast<ILdfPhysicalValue*>(value)) {
            const double low =
                physical->GetMinimum() * physical->GetScale() + physical->GetOffset();
            const double high =
                physical->GetMaximum() * physical->GetScale() + physical->GetOffset();
            entry = std::make_unique<NetVTabValue>(NetVTabValue::kPhysicalRange,
                                                   physical->GetMinimum(), physical->GetMaximum(),
                                                   low, high, Text(physical->GetTextInfo()));
            if (!scaled) {
                scaled = true;
                signal.SetFactor(physical->GetScale());
                signal.SetOffset(physical->GetOffset());
                signal.SetUnit(Text(physical->GetTextInfo()));
                signal.SetMinimum(std::min(low, high));
                signal.SetMaximum(std::max(low, high));
            } else {
                signal.SetMinimum(std::min({signal.GetMinimum(), low, high}));
                signal.SetMaximum(std::max({signal.GetMaximum(), low, high}));
            }
        } else if (value->GetValueKind() == kLdfValueBcd) {
            entry = std::make_unique<NetVTabValue>(NetVTabValue::kBcd, 0, 0, 0.0, 0.0, "bcd value");
        } else {
            entry =
                std::make_unique<NetVTabValue>(NetVTabValue::kAscii, 0, 0, 0.0, 0.0, "ascii value");
        }
        rawMin = std::min(rawMin, entry->GetRawMin());
        rawMax = std::max(rawMax, entry->GetRawMax());
        signal.AddVTabValue(std::move(entry));
    }
    if (encoding.GetValueCount() != 0) {
        signal.SetMinimumInt(static_cast<int64_t>(rawMin));
        signal.SetMaximumInt(static_cast<int64_t>(rawMax));
    }
}

void AddSignalProperties(NetSignal& signal) {
    NetAttributeList& properties = signal.Properties();
    properties.Reserve(6);
    properties.Add("Name", signal.GetName());
    properties.Add("Start bit", DecimalText(uint64_t{signal.GetStartBit()}));
    properties.Add("Bit size", DecimalText(uint64_t{signal.GetBitSize()}));
    properties.Add("Byte order", signal.GetByteOrderName());
    properties.Add("Value type", signal.GetValueTypeName());
    properties.Add("Signedness", signal.GetSignednessName());
}

NetSignal* ConvertStandardSignal(ILdfStandardSignal& source, NetMessage& message,
                                 NetDataBase& database) {
    auto signal = std::make_unique<NetSignal>();
    signal->SetName(Text(source.GetName()));
    signal->SetQualifiedName(std::string(message.GetName()) + "." + signal->GetName());
    signal->SetStartBit(source.GetBitOffset());
    signal->SetBitSize(source.GetSize());
    const bool isSigned = Text(source.GetType()) == "signedType";
    signal->SetSignedness(isSigned ? kSigned : kUnsigned);
    signal->SetByteOrder(Text(source.GetByteOrder()) == "bigEndian" ? kByteOrderBig
                                                                    : kByteOrderLittle);
    signal->SetValueType(source.IsByteArray() ? kValueArray
                                              : IntegerValueType(source.GetSize(), isSigned));
    const uint64_t top =
        source.GetSize() >= 63 ? uint64_t{INT64_MAX} : (uint64_t{1} << source.GetSize()) - 1;
    signal->SetMaximumInt(static_cast<int64_t>(top));
    signal->SetMaximum(static_cast<double>(top));
    signal->SetMessage(&message);
    if (ILdfSignalEncodingType* encoding = source.GetEncodingType()) {
        ConvertEncoding(*encoding, *signal);
    }
    AddSignalProperties(*signal);
    return database.AddSignal(std::move(signal));
}

void AddMessageProperties(NetMessage& message) {
    NetAttributeList& properties = message.Properties();
    properties.Add("Name", message.GetName());
    properties.Add("ID", DecimalText(uint64_t{message.GetId()}));
    properties.Add("Size", DecimalText(uint64_t{message.GetSize()}));
}

NetMessage* NewMessage(const char* name, uint8_t id, uint8_t size, NetDataBase& database) {
    auto message = std::make_unique<NetMessage>();
    message->SetName(Text(name));
    message->SetId(id);
    message->SetSize(size);
    AddMessageProperties(*message);
    return database.AddMessage(std::move(message));
}

// The publisher transmits the frame; every subscriber of one of its signals receives the frame
// and that signal.
void ConvertUnconditionalFrame(ILdfUnconditionalFrame& frame, NetDataBase& database,
                               const LdfEcuOfNode& ecuOf) {
    NetMessage* message =
        NewMessage(frame.GetName(), frame.GetFrameId(), frame.GetLength(), database);
    if (NetEcu* publisher = EcuOf(ecuOf, frame.GetPublisher())) {
        message->SetTransmitter(publisher);
        publisher->AddTxMessage(message);
    }
    for (uint64_t i = 0; i < frame.GetSignalCount(); ++i) {
        ILdfStandardSignal* source = frame.GetSignal(i);
        NetSignal* signal = ConvertStandardSignal(*source, *message, database);
        message->AddSignal(signal);
        for (uint64_t s = 0; s < source->GetSubscriberCount(); ++s) {
            NetEcu* ecu = EcuOf(ecuOf, source->GetSubscriber(s));
            if (ecu == nullptr) continue;
            ecu->AddRxMessage(message);
            message->AddReceiver(ecu);
            ecu->AddRxSignal(signal);
            signal->AddReceiver(ecu);
        }
    }
}

// Diagnostic signals have no offset of their own: they follow each other in the frame.
void ConvertDiagnosticFrame(ILdfDiagnosticFrame& frame, NetDataBase& database, NetEcu* master) {
    NetMessage* message = NewMessage(frame.GetName(), frame.GetFrameId(), 8, database);
    if (master != nullptr) {
        if (frame.IsMasterRequest()) {
            message->SetTransmitter(master);
            master->AddTxMessage(message);
        } else if (frame.IsSlaveResponse()) {
            master->AddRxMessage(message);
            message->AddReceiver(master);
        }
    }
    uint16_t offset = 0;
    for (uint64_t i = 0; i < frame.GetDiagnosticSignalCount(); ++i) {
        ILdfDiagnosticSignal* source = frame.GetDiagnosticSignal(i);
        auto owned = std::make_unique<NetSignal>();
        owned->SetName(Text(source->GetName()));
        owned->SetQualifiedName(std::string(message->GetName()) + "." + owned->GetName());
        owned->SetStartBit(offset);
        owned->SetBitSize(source->GetSize());
        owned->SetByteOrder(kByteOrderLittle);
        owned->SetSignedness(kUnsigned);
        owned->SetValueType(IntegerValueType(source->GetSize(), false));
        owned->SetComment(Text(source->GetText()));
        owned->SetMessage(message);
        AddSignalProperties(*owned);
        NetSignal* signal = database.AddSignal(std::move(owned));
        message->AddSignal(signal);
        if (frame.IsSlaveResponse() && master != nullptr) {
            master->AddRxSignal(signal);
            signal->AddReceiver(master);
        }
        offset = static_cast<uint16_t>(offset + source->GetSize());
    }
}

void AddDatabaseProperties(INetConfigLdfFile& file, NetDataBase& database) {
    NetAttributeList& properties = database.Properties();
    properties.Add("Name", Text(file.GetName()));
    properties.Add("Protocol version", Text(file.GetProtocolVersion()));
    properties.Add("Language version", Text(file.GetLanguageVersion()));
    properties.Add("Speed", FixedText(file.GetSpeed()));
    properties.Add("Channel name", Text(file.GetChannelName()));
}

}  // namespace

void ConvertLdfFile(INetConfigLdfFile& file, NetDataBase& database) {
    database.SetName(DatabaseName(file));
    database.SetBusType(kNetBusLin);
    database.SetFromArxml(false);
    database.SetSourceFile(&file, &file);
    AddDatabaseProperties(file, database);
    LdfEcuOfNode ecuOf;
    ConvertEcus(file, database, ecuOf);
    NetEcu* master = EcuOf(ecuOf, file.GetMasterNode());
    for (uint64_t i = 0; i < file.GetUnconditionalFrameCount(); ++i) {
        ConvertUnconditionalFrame(*file.GetUnconditionalFrame(i), database, ecuOf);
    }
    for (uint64_t i = 0; i < file.GetDiagnosticFrameCount(); ++i) {
        ConvertDiagnosticFrame(*file.GetDiagnosticFrame(i), database, master);
    }
}

}  // namespace qm::net
