#include "netconfig/ldf_generation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "ldf/netconfig_ldf_file.h"
#include "netconfig/generated_file.h"

namespace qm::net {

namespace {

bool IsDiagnostic(NetMessage& message) {
    const std::string name = message.GetName();
    return name == "MasterReq" || name == "SlaveResp";
}

// The master is the ECU flagged as master, else the one that carries master timing, else the
// first ECU. A database without ECUs gets a master named "Master".
struct Nodes {
    std::string master;
    std::vector<std::string> slaves;
    double timeBaseMs = 5.0;
    double jitterMs = 0.1;
};

NetEcu* FindMaster(NetDataBase& database) {
    for (const auto& ecu : database.Ecus()) {
        if (ecu->IsMaster()) return ecu.get();
    }
    for (const auto& ecu : database.Ecus()) {
        if (ecu->FindProperty("Time base")) return ecu.get();
    }
    return database.Ecus().empty() ? nullptr : database.Ecus().front().get();
}

// ARXML gives the master timing in seconds, an LDF in milliseconds.
double TimingMs(NetDataBase& database, NetEcu* master, const char* property, double fallback) {
    INetAttribute* attribute = master ? master->FindProperty(property) : nullptr;
    if (attribute == nullptr) return fallback;
    double value = std::strtod(attribute->GetValue(), nullptr);
    if (database.IsFromArxml()) value *= 1000.0;
    return value > 0.0 ? value : fallback;
}

Nodes CollectNodes(NetDataBase& database) {
    Nodes nodes;
    NetEcu* master = FindMaster(database);
    nodes.master = master ? Identifier(master->GetName()) : "Master";
    nodes.timeBaseMs = TimingMs(database, master, "Time base", 5.0);
    nodes.jitterMs = TimingMs(database, master, "Jitter", 0.1);
    for (const auto& ecu : database.Ecus()) {
        if (ecu.get() != master) nodes.slaves.push_back(Identifier(ecu->GetName()));
    }
    return nodes;
}

void RenderHeader(NetDataBase& database, std::string& out) {
    out += "/* Network: " + Identifier(database.GetName()) + " */\n";
    out += "LIN_description_file;\n";
    std::string protocol = PropertyText(database.FindProperty("Protocol version"));
    if (protocol.empty()) protocol = "2.1";
    std::string language = PropertyText(database.FindProperty("Language version"));
    if (language.empty()) language = protocol;
    double kbps = 19.2;
    if (INetAttribute* speed = database.FindProperty("Speed")) {
        kbps = std::strtod(speed->GetValue(), nullptr);
    } else if (INetAttribute* baudrate = database.FindProperty("Baudrate")) {
        const double bps = std::strtod(baudrate->GetValue(), nullptr);
        if (bps > 0.0) kbps = bps / 1000.0;
    }
    out += "LIN_protocol_version = " + Quoted(protocol) + ";\n";
    out += "LIN_language_version = " + Quoted(language) + ";\n";
    out += "LIN_speed = " + Number(kbps) + " kbps;\n";
    const std::string channel = PropertyText(database.FindProperty("Channel name"));
    if (!channel.empty()) out += "Channel_name = " + Quoted(channel) + ";\n";
    out += "\n";
}

void RenderNodes(const Nodes& nodes, std::string& out) {
    out += "Nodes {\n  Master: " + nodes.master + ", " + Number(nodes.timeBaseMs) + " ms, " +
           Number(nodes.jitterMs) + " ms ;\n";
    if (!nodes.slaves.empty()) {
        out += "  Slaves: ";
        for (size_t i = 0; i < nodes.slaves.size(); ++i) {
            out += (i ? ", " : "") + nodes.slaves[i];
        }
        out += " ;\n";
    }
    out += "}\n\n";
}

std::string Publisher(NetMessage& message, const Nodes& nodes) {
    return message.Transmitter() ? Identifier(message.Transmitter()->GetName()) : nodes.master;
}

// Scalars up to 16 bits have one initial value, longer signals are byte arrays.
std::string InitialValue(uint16_t bits) {
    if (bits <= 16) return "0";
    std::string out = "{";
    for (unsigned i = 0; i < (bits + 7u) / 8u; ++i) out += i ? ", 0" : "0";
    return out + "}";
}

// Every signal name is defined once; a signal that several frames carry is defined by the first.
std::vector<NetSignal*> DefinedSignals(NetDataBase& database, bool diagnostic) {
    std::vector<NetSignal*> signals;
    std::set<std::string> names;
    for (const auto& message : database.Messages()) {
        if (IsDiagnostic(*message) != diagnostic) continue;
        for (NetSignal* signal : message->Signals()) {
            if (names.insert(Identifier(signal->GetName())).second) signals.push_back(signal);
        }
    }
    return signals;
}

void RenderSignals(const std::vector<NetSignal*>& signals, const Nodes& nodes, std::string& out) {
    out += "Signals {\n";
    for (NetSignal* signal : signals) {
        const std::string publisher = Publisher(*signal->Message(), nodes);
        out += "  " + Identifier(signal->GetName()) + ": " + std::to_string(signal->GetBitSize()) +
               ", " + InitialValue(signal->GetBitSize()) + ", " + publisher;
        for (uint64_t i = 0; i < signal->GetReceiverCount(); ++i) {
            const std::string receiver = Identifier(signal->GetReceiver(i)->GetName());
            if (receiver != publisher) out += ", " + receiver;
        }
        out += " ;\n";
    }
    out += "}\n\n";
}

void RenderDiagnosticSignals(const std::vector<NetSignal*>& signals, std::string& out) {
    if (signals.empty()) return;
    out += "Diagnostic_signals {\n";
    for (NetSignal* signal : signals) {
        out += "  " + Identifier(signal->GetName()) + ": " + std::to_string(signal->GetBitSize()) +
               ", 0 ;\n";
    }
    out += "}\n\n";
}

// Frame identifiers are one byte; a message without one (0xFFFFFFFF) gets 0.
unsigned FrameId(NetMessage& message) {
    return message.GetId() <= 0xFFu ? message.GetId() : 0u;
}

unsigned FrameLength(NetMessage& message) {
    if (message.GetSize() != 0) return message.GetSize();
    unsigned bits = 0;
    for (NetSignal* signal : message.Signals()) {
        bits = std::max<unsigned>(bits, signal->GetStartBit() + signal->GetBitSize());
    }
    return std::max(1u, (bits + 7u) / 8u);
}

void RenderFrameBody(NetMessage& message, std::string& out) {
    for (NetSignal* signal : message.Signals()) {
        out += "    " + Identifier(signal->GetName()) + ", " +
               std::to_string(signal->GetStartBit()) + " ;\n";
    }
    out += "  }\n";
}

void RenderFrames(NetDataBase& database, const Nodes& nodes, std::string& out) {
    out += "Frames {\n";
    for (const auto& message : database.Messages()) {
        if (IsDiagnostic(*message)) continue;
        out += "  " + Identifier(message->GetName()) + ": " + std::to_string(FrameId(*message)) +
               ", " + Publisher(*message, nodes) + ", " + std::to_string(FrameLength(*message)) +
               " {\n";
        RenderFrameBody(*message, out);
    }
    out += "}\n\n";
    std::string diagnostic;
    for (const auto& message : database.Messages()) {
        if (!IsDiagnostic(*message)) continue;
        diagnostic += "  " + Identifier(message->GetName()) + ": " +
                      std::to_string(FrameId(*message)) + " {\n";
        RenderFrameBody(*message, diagnostic);
    }
    if (!diagnostic.empty()) out += "Diagnostic_frames {\n" + diagnostic + "}\n\n";
}

// The entries of one signal's encoding; empty when the signal has neither value-table entries
// nor a scaling of its own.
std::string EncodingEntries(NetSignal& signal) {
    std::string entries;
    bool physical = false;
    for (uint64_t i = 0; i < signal.GetVTabValueCount(); ++i) {
        auto* value = static_cast<NetVTabValue*>(signal.GetVTabValue(i));
        switch (value->Kind()) {
            case NetVTabValue::kPhysicalRange: {
                physical = true;
                const double rawSpan = static_cast<double>(value->GetRawMax() - value->GetRawMin());
                const double scale =
                    rawSpan != 0.0 ? (value->GetPhysicalMax() - value->GetPhysicalMin()) / rawSpan
                                   : signal.GetFactor();
                const double offset =
                    value->GetPhysicalMin() - static_cast<double>(value->GetRawMin()) * scale;
                entries += "    physical_value, " + std::to_string(value->GetRawMin()) + ", " +
                           std::to_string(value->GetRawMax()) + ", " + Number(scale) + ", " +
                           Number(offset) + ", " + Quoted(value->GetText()) + " ;\n";
                break;
            }
            case NetVTabValue::kBcd:
                entries += "    bcd_value ;\n";
                break;
            case NetVTabValue::kAscii:
                entries += "    ascii_value ;\n";
                break;
            default:
                entries += "    logical_value, " + std::to_string(value->GetRawMin()) + ", " +
                           Quoted(value->GetText()) + " ;\n";
        }
    }
    const bool scaled = signal.GetFactor() != 1.0 || signal.GetOffset() != 0.0;
    if (!physical && scaled && signal.GetBitSize() <= 32) {
        const uint64_t top = (uint64_t{1} << signal.GetBitSize()) - 1;
        entries += "    physical_value, 0, " + std::to_string(top) + ", " +
                   Number(signal.GetFactor()) + ", " + Number(signal.GetOffset()) + ", " +
                   Quoted(signal.GetUnit()) + " ;\n";
    }
    return entries;
}

void RenderEncodings(const std::vector<NetSignal*>& signals, std::string& out) {
    std::string types;
    std::string representations;
    for (NetSignal* signal : signals) {
        const std::string entries = EncodingEntries(*signal);
        if (entries.empty()) continue;
        const std::string name = Identifier(signal->GetName()) + "_Encoding";
        types += "  " + name + " {\n" + entries + "  }\n";
        representations += "  " + name + ": " + Identifier(signal->GetName()) + " ;\n";
    }
    if (types.empty()) return;
    out += "Signal_encoding_types {\n" + types + "}\n\n";
    out += "Signal_representation {\n" + representations + "}\n";
}

}  // namespace

std::string RenderLdfText(NetDataBase& database) {
    const Nodes nodes = CollectNodes(database);
    const std::vector<NetSignal*> signals = DefinedSignals(database, false);
    std::string out;
    RenderHeader(database, out);
    RenderNodes(nodes, out);
    RenderSignals(signals, nodes, out);
    RenderDiagnosticSignals(DefinedSignals(database, true), out);
    RenderFrames(database, nodes, out);
    RenderEncodings(signals, out);
    return out;
}

std::unique_ptr<INetConfigLdfFile> GenerateLdfFile(NetDataBase& database) {
    auto file = std::make_unique<NetConfigLdfFile>();
    if (!LoadGeneratedText(*file, RenderLdfText(database), ".ldf")) return nullptr;
    return file;
}

}  // namespace qm::net
