#include "netconfig/dbc_generation.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dbc/netconfig_dbc_file.h"
#include "netconfig/generated_file.h"

namespace qm::net {

namespace {

constexpr uint32_t kExtendedFlag = 0x80000000u;

// A message keeps bit 31 as its extended-frame flag; identifiers above 11 bits need it anyway.
uint32_t RawId(NetMessage& message) {
    const uint32_t id = message.GetId();
    if (id == 0xFFFFFFFFu) return id;
    return message.IsExtended() || id > 0x7FFu ? (id | kExtendedFlag) : id;
}

std::string ReceiverList(NetSignal& signal) {
    std::string list;
    for (uint64_t i = 0; i < signal.GetReceiverCount(); ++i) {
        if (!list.empty()) list += ',';
        list += Identifier(signal.GetReceiver(i)->GetName());
    }
    return list.empty() ? "Vector__XXX" : list;
}

void RenderSignal(NetSignal& signal, std::string& out) {
    out += " SG_ ";
    out += Identifier(signal.GetName());
    out += " : " + std::to_string(signal.GetStartBit()) + "|" + std::to_string(signal.GetBitSize());
    out += signal.GetByteOrder() == kByteOrderBig ? "@0" : "@1";
    out += signal.GetSignedness() == kSigned ? "-" : "+";
    out += " (" + Number(signal.GetFactor()) + "," + Number(signal.GetOffset()) + ")";
    out += " [" + Number(signal.GetMinimum()) + "|" + Number(signal.GetMaximum()) + "] ";
    out += Quoted(signal.GetUnit()) + " " + ReceiverList(signal) + "\n";
}

void RenderMessages(NetDataBase& database, std::string& out) {
    for (const auto& message : database.Messages()) {
        out +=
            "BO_ " + std::to_string(RawId(*message)) + " " + Identifier(message->GetName()) + ": ";
        out += std::to_string(message->GetSize()) + " ";
        out +=
            message->Transmitter() ? Identifier(message->Transmitter()->GetName()) : "Vector__XXX";
        out += "\n";
        for (NetSignal* signal : message->Signals()) RenderSignal(*signal, out);
        out += "\n";
    }
}

void RenderComments(NetDataBase& database, std::string& out) {
    const std::string network = PropertyText(database.FindProperty("Description text"));
    if (!network.empty()) out += "CM_ " + Quoted(network) + ";\n";
    for (const auto& ecu : database.Ecus()) {
        const std::string comment = PropertyText(ecu->FindProperty("Description text"));
        if (!comment.empty()) {
            out += "CM_ BU_ " + Identifier(ecu->GetName()) + " " + Quoted(comment) + ";\n";
        }
    }
    for (const auto& message : database.Messages()) {
        const std::string id = std::to_string(RawId(*message));
        const std::string comment = PropertyText(message->FindProperty("Description text"));
        if (!comment.empty()) out += "CM_ BO_ " + id + " " + Quoted(comment) + ";\n";
        for (NetSignal* signal : message->Signals()) {
            if (*signal->GetComment() == '\0') continue;
            out += "CM_ SG_ " + id + " " + Identifier(signal->GetName()) + " " +
                   Quoted(signal->GetComment()) + ";\n";
        }
    }
}

// Message timing attributes: name, property, whether the property holds seconds.
struct TimingAttribute {
    const char* attribute;
    const char* property;
    bool seconds;
};
constexpr TimingAttribute kTimingAttributes[] = {
    {"GenMsgCycleTime", "Repeating time value", true},
    {"GenMsgStartDelayTime", "Starting time value", true},
    {"GenMsgDelayTime", "Minimum delay", true},
    {"GenMsgNrOfRepetition", "Event controlled timing number of repeats", false},
};

void RenderAttributes(NetDataBase& database, std::string& out) {
    out += "BA_DEF_  \"DBName\" STRING ;\n";
    out += "BA_DEF_  \"BusType\" STRING ;\n";
    out += "BA_DEF_  \"Baudrate\" INT 0 1000000000;\n";
    for (const TimingAttribute& timing : kTimingAttributes) {
        out += "BA_DEF_ BO_  \"" + std::string(timing.attribute) + "\" INT 0 2147483647;\n";
    }
    out += "BA_DEF_DEF_  \"DBName\" \"\";\n";
    out += "BA_DEF_DEF_  \"BusType\" \"CAN\";\n";
    out += "BA_DEF_DEF_  \"Baudrate\" 0;\n";
    for (const TimingAttribute& timing : kTimingAttributes) {
        out += "BA_DEF_DEF_  \"" + std::string(timing.attribute) + "\" 0;\n";
    }
    out += "BA_ \"DBName\" " + Quoted(database.GetName()) + ";\n";
    const std::string fdBaudrate = PropertyText(database.FindProperty("CAN FD baudrate"));
    const bool fd = !fdBaudrate.empty() && fdBaudrate != "0";
    out += std::string("BA_ \"BusType\" ") + (fd ? "\"CAN FD\"" : "\"CAN\"") + ";\n";
    const std::string baudrate = PropertyText(database.FindProperty("Baudrate"));
    if (!baudrate.empty()) out += "BA_ \"Baudrate\" " + baudrate + ";\n";
    for (const auto& message : database.Messages()) {
        for (const TimingAttribute& timing : kTimingAttributes) {
            INetAttribute* property = message->FindProperty(timing.property);
            if (property == nullptr) continue;
            const double number = std::strtod(property->GetValue(), nullptr);
            const long value = std::lround(timing.seconds ? number * 1000.0 : number);
            if (value == 0) continue;  // the declared default
            out += "BA_ \"" + std::string(timing.attribute) + "\" BO_ " +
                   std::to_string(RawId(*message)) + " " + std::to_string(value) + ";\n";
        }
    }
}

// Plain value-table and logical entries name one raw value each.
void RenderValueDescriptions(NetDataBase& database, std::string& out) {
    for (const auto& message : database.Messages()) {
        for (NetSignal* signal : message->Signals()) {
            std::string pairs;
            for (uint64_t i = 0; i < signal->GetVTabValueCount(); ++i) {
                auto* value = static_cast<NetVTabValue*>(signal->GetVTabValue(i));
                const bool single = value->Kind() == NetVTabValue::kValueTable ||
                                    value->Kind() == NetVTabValue::kLogical;
                if (!single || value->GetRawMin() != value->GetRawMax()) continue;
                if (value->GetRawMin() > 0xFFFFFFFFu) continue;
                pairs += " " + std::to_string(value->GetRawMin()) + " " + Quoted(value->GetText());
            }
            if (pairs.empty()) continue;
            out += "VAL_ " + std::to_string(RawId(*message)) + " " + Identifier(signal->GetName()) +
                   pairs + " ;\n";
        }
    }
}

}  // namespace

std::string RenderDbcText(NetDataBase& database) {
    std::string out = "VERSION \"\"\n\n\nNS_ :\n\nBS_:\n\nBU_:";
    for (const auto& ecu : database.Ecus()) out += " " + Identifier(ecu->GetName());
    out += "\n\n\n";
    RenderMessages(database, out);
    out += "\n";
    RenderComments(database, out);
    RenderAttributes(database, out);
    RenderValueDescriptions(database, out);
    return out;
}

std::unique_ptr<INetConfigDbcFile> GenerateDbcFile(NetDataBase& database) {
    auto file = std::make_unique<NetConfigDbcFile>();
    if (!LoadGeneratedText(*file, RenderDbcText(database), ".dbc")) return nullptr;
    return file;
}

}  // namespace qm::net
