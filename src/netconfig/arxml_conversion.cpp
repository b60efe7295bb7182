#include "netconfig/arxml_conversion.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

#include "netconfig/net_text.h"

namespace qm::net {

namespace {

using MessageOfPdu = std::unordered_map<const IArxmlPdu*, NetMessage*>;

uint32_t BusTypeOf(int32_t clusterKind) {
    switch (clusterKind) {
        case kArxmlClusterCan:
            return kNetBusCan;
        case kArxmlClusterLin:
            return kNetBusLin;
        case kArxmlClusterEthernet:
            return kNetBusEthernet;
        default:
            return kNetBusUnknown;
    }
}

// A compu limit as a raw value: infinite or negative limits clamp to the ends of the range.
uint64_t RawLimit(double limit) {
    if (std::isnan(limit) || limit <= 0.0) return 0;
    if (limit >= 1.8446744073709552e19) return UINT64_MAX;
    return static_cast<uint64_t>(limit);
}

void AddCanControllerProperties(IArxmlEcu& ecu, NetAttributeList& properties) {
    properties.Add("CAN wake up over controller supported",
                   BoolText(ecu.IsWakeUpOverControllerSupported()));
    properties.Add("CAN Max number of time quanta per bit",
                   DecimalText(uint64_t{ecu.GetMaxTimeQuantaPerBit()}));
    properties.Add("CAN Max sample point", FixedText(ecu.GetMaxSamplePoint()));
    properties.Add("CAN Max sync jump width", FixedText(ecu.GetMaxSyncJumpWidth()));
    properties.Add("CAN Min number of time quanta per bit",
                   DecimalText(uint64_t{ecu.GetMinTimeQuantaPerBit()}));
    properties.Add("CAN Min sample point", FixedText(ecu.GetMinSamplePoint()));
    properties.Add("CAN Min sync jump width", FixedText(ecu.GetMinSyncJumpWidth()));
    properties.Add("CAN FD supported", BoolText(ecu.HasCanFdRequirements()));
    properties.Add("CAN FD Max number of time quanta per bit",
                   DecimalText(uint64_t{ecu.GetFdMaxTimeQuantaPerBit()}));
    properties.Add("CAN FD Max sample point", FixedText(ecu.GetFdMaxSamplePoint()));
    properties.Add("CAN FD Max sync jump width", FixedText(ecu.GetFdMaxSyncJumpWidth()));
    properties.Add("CAN FD Max trcv delay compensation offset",
                   FixedText(ecu.GetFdMaxTrcvDelayCompensationOffset()));
    properties.Add("CAN FD Min number of time quanta per bit",
                   DecimalText(uint64_t{ecu.GetFdMinTimeQuantaPerBit()}));
    properties.Add("CAN FD Min sample point", FixedText(ecu.GetFdMinSamplePoint()));
    properties.Add("CAN FD Min sync jump width", FixedText(ecu.GetFdMinSyncJumpWidth()));
    properties.Add("CAN FD Min trcv delay compensation offset",
                   FixedText(ecu.GetFdMinTrcvDelayCompensationOffset()));
    properties.Add("CAN FD tx bit rate switch", BoolText(ecu.IsTxBitRateSwitch()));
}

NetEcu* ConvertEcu(IArxmlEcu& source, int32_t clusterKind, NetDataBase& database) {
    auto ecu = std::make_unique<NetEcu>();
    ecu->SetName(Text(source.GetName()));
    NetAttributeList& properties = ecu->Properties();
    properties.Add("Diagnostic address", DecimalText(uint64_t{source.GetDiagnosticAddress()}));
    properties.Add("Sleep mode supported", BoolText(source.IsSleepModeSupported()));
    properties.Add("Wake up over bus supported", BoolText(source.IsWakeUpOverBusSupported()));
    AddCanControllerProperties(source, properties);
    // The LIN master's timing; a generated LDF file takes its master node from it.
    if (clusterKind == kArxmlClusterLin && source.IsLinMaster()) {
        properties.Add("Time base", FixedText(source.GetTimeBase()));
        properties.Add("Jitter", FixedText(source.GetTimeBaseJitter()));
    }
    return database.AddEcu(std::move(ecu));
}

void AddValueTable(IArxmlSignal& source, NetSignal& signal) {
    bool scaled = false;
    for (uint64_t i = 0; i < source.GetCompuEntryCount(); ++i) {
        const ArxmlCompuEntry* entry = source.GetCompuEntry(i);
        if (entry == nullptr) continue;
        if (entry->rational && !scaled) {
            scaled = true;
            signal.SetFactor(entry->factor);
            signal.SetOffset(entry->offset);
        }
        const std::string text = Text(entry->text);
        if (text.empty()) continue;
        signal.AddVTabValue(std::make_unique<NetVTabValue>(
            NetVTabValue::kValueTable, RawLimit(entry->lowerLimit), RawLimit(entry->upperLimit),
            entry->lowerLimit, entry->upperLimit, text));
    }
}

NetSignal* ConvertSignal(IArxmlSignal& source, NetMessage& message, NetDataBase& database) {
    auto signal = std::make_unique<NetSignal>();
    signal->SetName(Text(source.GetName()));
    signal->SetQualifiedName(std::string(message.GetName()) + "." + signal->GetName());
    signal->SetStartBit(source.GetStartPosition());
    signal->SetBitSize(source.GetBitLength());
    signal->SetByteOrder(source.GetByteOrder() == '0' ? kByteOrderBig : kByteOrderLittle);
    signal->SetMinimum(source.GetMinimum());
    signal->SetMaximum(source.GetMaximum());
    signal->SetMinimumInt(Truncated(source.GetMinimum()));
    signal->SetMaximumInt(Truncated(source.GetMaximum()));
    signal->SetUnit(Text(source.GetUnit()));
    signal->SetComment(Text(source.GetDescription()));
    AddValueTable(source, *signal);
    // The base type says how the bits are coded; without one, the limits (physical values) do:
    // a raw minimum below zero makes the signal signed.
    auto* coding = dynamic_cast<IArxmlSignalEncoding*>(&source);
    const std::string encoding = coding ? coding->GetBaseTypeEncoding() : "";
    const double rawMinimum =
        signal->GetFactor() != 0.0
            ? (source.GetMinimum() - signal->GetOffset()) / signal->GetFactor()
            : source.GetMinimum();
    const bool isSigned = encoding.empty()
                              ? rawMinimum < 0.0
                              : encoding == "2C" || encoding == "1C" || encoding == "SM";
    signal->SetSignedness(isSigned ? kSigned : kUnsigned);
    signal->SetValueType(IntegerValueType(source.GetBitLength(), isSigned));
    if (encoding == "IEEE754" && (source.GetBitLength() == 32 || source.GetBitLength() == 64)) {
        signal->SetValueType(source.GetBitLength() == 32 ? kValueFloat32 : kValueFloat64);
    }
    signal->SetMessage(&message);
    NetAttributeList& properties = signal->Properties();
    properties.Reserve(2);
    properties.Add("Start bit", DecimalText(uint64_t{signal->GetStartBit()}));
    properties.Add("Bit size", DecimalText(uint64_t{signal->GetBitSize()}));
    return database.AddSignal(std::move(signal));
}

// The timing properties are always present; a value the PDU does not give reads as zero.
void AddMessageProperties(IArxmlPdu& pdu, NetMessage& message) {
    NetAttributeList& properties = message.Properties();
    properties.Reserve(7);
    properties.Add("Name", message.GetName());
    properties.Add("ID", DecimalText(uint64_t{message.GetId()}));
    properties.Add("Size", DecimalText(uint64_t{message.GetSize()}));
    properties.Add("Starting time value",
                   FixedText(pdu.HasTimeOffset() ? pdu.GetTimeOffset() : 0.0));
    properties.Add("Minimum delay", FixedText(pdu.HasMinimumDelay() ? pdu.GetMinimumDelay() : 0.0));
    properties.Add("Repeating time value",
                   FixedText(pdu.HasCyclicTimePeriod() ? pdu.GetCyclicTimePeriod() : 0.0));
    properties.Add("Event controlled timing number of repeats",
                   DecimalText(uint64_t{pdu.HasNumberOfRepetitions() ? pdu.GetNumberOfRepetitions()
                                                                     : uint8_t{0}}));
}

NetMessage* ConvertPdu(IArxmlPdu& pdu, NetDataBase& database) {
    auto owned = std::make_unique<NetMessage>();
    owned->SetName(Text(pdu.GetName()));
    owned->SetId(static_cast<uint32_t>(pdu.GetIdentifier()));
    owned->SetExtended(pdu.IsExtendedAddressing());
    owned->SetSize(static_cast<uint8_t>(std::min<uint16_t>(pdu.GetLength(), 255)));
    NetMessage* message = database.AddMessage(std::move(owned));
    AddMessageProperties(pdu, *message);
    for (uint64_t i = 0; i < pdu.GetSignalCount(); ++i) {
        message->AddSignal(ConvertSignal(*pdu.GetSignal(i), *message, database));
    }
    return message;
}

NetMessage* MessageOf(const MessageOfPdu& messageOf, IArxmlPdu* pdu) {
    const auto found = messageOf.find(pdu);
    return found == messageOf.end() ? nullptr : found->second;
}

// An ECU transmits the PDUs its frame ports send and receives, with all their signals, the PDUs
// its frame ports receive.
void LinkEcu(IArxmlEcu& source, NetEcu& ecu, const MessageOfPdu& messageOf) {
    for (uint64_t i = 0; i < source.GetTxPduCount(); ++i) {
        NetMessage* message = MessageOf(messageOf, source.GetTxPdu(i));
        if (message == nullptr) continue;
        if (message->Transmitter() == nullptr) message->SetTransmitter(&ecu);
        ecu.AddTxMessage(message);
    }
    for (uint64_t i = 0; i < source.GetRxPduCount(); ++i) {
        NetMessage* message = MessageOf(messageOf, source.GetRxPdu(i));
        if (message == nullptr) continue;
        ecu.AddRxMessage(message);
        message->AddReceiver(&ecu);
        for (NetSignal* signal : message->Signals()) {
            ecu.AddRxSignal(signal);
            signal->AddReceiver(&ecu);
        }
    }
}

// A LIN cluster also carries the timing of its master (the first ECU with a LIN master
// controller; zero without one).
void AddDatabaseProperties(IArxmlCluster& cluster, NetDataBase& database) {
    NetAttributeList& properties = database.Properties();
    properties.Add("Baudrate", DecimalText(cluster.GetBaudrate()));
    properties.Add("Protocol name", Text(cluster.GetProtocolName()));
    properties.Add("Protocol version", Text(cluster.GetProtocolVersion()));
    properties.Add("CAN FD baudrate", DecimalText(cluster.GetCanFdBaudrate()));
    if (cluster.GetClusterKind() != kArxmlClusterLin) return;
    IArxmlEcu* master = nullptr;
    for (uint64_t i = 0; i < cluster.GetEcuCount() && master == nullptr; ++i) {
        if (cluster.GetEcu(i)->IsLinMaster()) master = cluster.GetEcu(i);
    }
    properties.Add("Time base", FixedText(master ? master->GetTimeBase() : 0.0));
    properties.Add("Jitter", FixedText(master ? master->GetTimeBaseJitter() : 0.0));
}

}  // namespace

std::unique_ptr<NetDataBase> ConvertArxmlCluster(IArxmlCluster& cluster) {
    auto database = std::make_unique<NetDataBase>();
    database->SetName(Text(cluster.GetName()));
    database->SetBusType(BusTypeOf(cluster.GetClusterKind()));
    database->SetFromArxml(true);
    AddDatabaseProperties(cluster, *database);
    std::vector<NetEcu*> ecus;
    for (uint64_t i = 0; i < cluster.GetEcuCount(); ++i) {
        ecus.push_back(ConvertEcu(*cluster.GetEcu(i), cluster.GetClusterKind(), *database));
    }
    MessageOfPdu messageOf;
    for (uint64_t i = 0; i < cluster.GetPduCount(); ++i) {
        IArxmlPdu* pdu = cluster.GetPdu(i);
        messageOf.try_emplace(pdu, ConvertPdu(*pdu, *database));
    }
    for (uint64_t i = 0; i < cluster.GetEcuCount(); ++i) {
        LinkEcu(*cluster.GetEcu(i), *ecus[i], messageOf);
    }
    return database;
}

std::vector<std::unique_ptr<NetDataBase>> ConvertArxmlFile(INetConfigArxmlFile& file) {
    std::vector<std::unique_ptr<NetDataBase>> databases;
    for (uint64_t i = 0; i < file.GetClusterCount(); ++i) {
        databases.push_back(ConvertArxmlCluster(*file.GetCluster(i)));
    }
    return databases;
}

}  // namespace qm::net
