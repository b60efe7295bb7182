#include "netmodel_json.h"

#include <cmath>

namespace qmtool {

const char* BusTypeText(uint32_t busType) {
    switch (busType) {
        case kNetBusCan:
            return "CAN";
        case kNetBusLin:
            return "LIN";
        case kNetBusEthernet:
            return "Ethernet";
        default:
            return "unknown";
    }
}

Json Number(double value) {
    return std::isfinite(value) ? Json(value) : Json(nullptr);
}

namespace {

bool IsExtendedId(INetMessage& message) {
    auto* addressing = dynamic_cast<INetMessageAddressing*>(&message);
    return addressing != nullptr && addressing->IsExtendedId();
}

template <class Object>
Json PropertiesJson(Object& object) {
    Json properties = Json::object();
    for (uint64_t i = 0; i < object.GetPropertyCount(); ++i) {
        INetAttribute* property = object.GetProperty(i);
        properties[property->GetName()] = property->GetValue();
    }
    return properties;
}

Json ValueTableJson(INetSignal& signal) {
    Json entries = Json::array();
    for (uint64_t i = 0; i < signal.GetVTabValueCount(); ++i) {
        INetVTabValue* value = signal.GetVTabValue(i);
        entries.push_back({{"rawMin", value->GetRawMin()},
                           {"rawMax", value->GetRawMax()},
                           {"physicalMin", Number(value->GetPhysicalMin())},
                           {"physicalMax", Number(value->GetPhysicalMax())},
                           {"text", value->GetText()}});
    }
    return entries;
}

Json SignalJson(INetSignal& signal) {
    Json receivers = Json::array();
    for (uint64_t i = 0; i < signal.GetReceiverCount(); ++i) {
        receivers.push_back(signal.GetReceiver(i)->GetName());
    }
    return Json{{"name", signal.GetName()},
                {"startBit", signal.GetStartBit()},
                {"bitSize", signal.GetBitSize()},
                {"byteOrder", signal.GetByteOrderName()},
                {"valueType", signal.GetValueTypeName()},
                {"signedness", signal.GetSignednessName()},
                {"factor", Number(signal.GetFactor())},
                {"offset", Number(signal.GetOffset())},
                {"minimum", Number(signal.GetMinimum())},
                {"maximum", Number(signal.GetMaximum())},
                {"unit", signal.GetUnit()},
                {"receivers", receivers},
                {"valueTable", ValueTableJson(signal)}};
}

Json MessageJson(INetMessage& message) {
    Json signals = Json::array();
    for (uint64_t i = 0; i < message.GetSignalCount(); ++i) {
        signals.push_back(SignalJson(*message.GetSignal(i)));
    }
    Json receivers = Json::array();
    for (uint64_t i = 0; i < message.GetReceiverCount(); ++i) {
        receivers.push_back(message.GetReceiver(i)->GetName());
    }
    INetEcu* transmitter = message.GetTransmitter();
    return Json{{"name", message.GetName()},
                {"id", message.GetId()},
                {"extended", IsExtendedId(message)},
                {"size", message.GetSize()},
                {"transmitter", transmitter ? Json(transmitter->GetName()) : Json(nullptr)},
                {"receivers", receivers},
                {"properties", PropertiesJson(message)},
                {"signals", signals}};
}

}  // namespace

Json DatabaseSummary(INetDataBase& db) {
    return Json{{"name", db.GetName()},
                {"busType", BusTypeText(db.GetBusType())},
                {"fromArxml", db.IsFromArxml()},
                {"ecus", db.GetEcuCount()},
                {"messages", db.GetMessageCount()},
                {"signals", db.GetSignalCount()}};
}

Json DatabaseJson(INetDataBase& db) {
    Json result = DatabaseSummary(db);
    result["properties"] = PropertiesJson(db);
    Json ecus = Json::array();
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) {
        INetEcu* ecu = db.GetEcu(i);
        ecus.push_back({{"name", ecu->GetName()},
                        {"txMessages", ecu->GetTxMessageCount()},
                        {"rxMessages", ecu->GetRxMessageCount()},
                        {"rxSignals", ecu->GetRxSignalCount()},
                        {"properties", PropertiesJson(*ecu)}});
    }
    result["ecuList"] = ecus;
    Json messages = Json::array();
    for (uint64_t i = 0; i < db.GetMessageCount(); ++i) {
        messages.push_back(MessageJson(*db.GetMessage(i)));
    }
    result["messageList"] = messages;
    return result;
}

}  // namespace qmtool
