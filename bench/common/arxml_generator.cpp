#include "common/arxml_generator.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/xml_generator.h"

namespace qm::bench {

namespace {

enum ClusterKind { kCan, kCanFd, kLin, kEthernet };

struct ClusterPlan {
    const char* name;
    ClusterKind kind;
    const char* element;  // CAN-CLUSTER, ...
    const char* channel;  // CAN-PHYSICAL-CHANNEL, ...
    const char* prefix;   // CAN, LIN, ETHERNET
    const char* frame;    // frame element, "" for Ethernet
};

const ClusterPlan kClusters[] = {
    {"PowertrainCan", kCan, "CAN-CLUSTER", "CAN-PHYSICAL-CHANNEL", "CAN", "CAN-FRAME"},
    {"ChassisCanFd", kCanFd, "CAN-CLUSTER", "CAN-PHYSICAL-CHANNEL", "CAN", "CAN-FRAME"},
    {"BodyLin", kLin, "LIN-CLUSTER", "LIN-PHYSICAL-CHANNEL", "LIN", "LIN-UNCONDITIONAL-FRAME"},
    {"Backbone", kEthernet, "ETHERNET-CLUSTER", "ETHERNET-PHYSICAL-CHANNEL", "ETHERNET", ""},
};
constexpr size_t kClusterCount = 4;
constexpr size_t kEcuCount = 48;

struct SignalPlan {
    std::string name;
    unsigned length;
    unsigned start;
    bool msbFirst;
    bool textTable;
    bool described;
};

struct PduPlan {
    std::string name;
    size_t cluster;
    size_t sender;
    std::vector<size_t> receivers;
    unsigned bytes;
    unsigned identifier;
    unsigned cycleMs;
    std::vector<SignalPlan> signals;
};

struct EcuPlan {
    std::string name;
    std::vector<size_t> clusters;
};

struct SystemPlan {
    std::vector<EcuPlan> ecus;
    std::vector<PduPlan> pdus;
    std::vector<std::vector<size_t>> ecusOfCluster;
};

// Writes indented XML the way authoring tools do: one element per line, UUIDs on
// identifiables, counting the references it writes.
class Writer {
  public:
    explicit Writer(uint32_t seed) : random_(seed ^ 0x5bd1e995u) {}

    void Open(const char* name, const std::string& attributes = "") {
        Indent();
        text_.append("<").append(name).append(attributes).append(">\n");
        ++depth_;
    }
    void OpenNamed(const char* name, const std::string& shortName) {
        Open(name, Uuid());
        Leaf("SHORT-NAME", shortName);
    }
    void Close(const char* name) {
        --depth_;
        Indent();
        text_.append("</").append(name).append(">\n");
    }
    void Leaf(const char* name, const std::string& value, const std::string& attributes = "") {
        Indent();
        text_.append("<").append(name).append(attributes).append(">");
        text_.append(value).append("</").append(name).append(">\n");
    }
    void Reference(const char* name, const char* dest, const std::string& path) {
        Leaf(name, path, std::string(" DEST=\"") + dest + "\"");
        ++references_;
    }
    std::string& Text() { return text_; }
    size_t References() const { return references_; }

  private:
    void Indent() { text_.append(static_cast<size_t>(depth_) * 2, ' '); }
    std::string Uuid() { return UuidAttribute(random_); }

    std::mt19937 random_;
    std::string text_;
    int depth_ = 0;
    size_t references_ = 0;
};

std::string Text(size_t value) {
    return std::to_string(value);
}

SystemPlan MakePlan(size_t pduCount, uint32_t seed) {
    std::mt19937 random(seed);
    SystemPlan plan;
    plan.ecusOfCluster.resize(kClusterCount);
    for (size_t e = 0; e < kEcuCount; ++e) {
        EcuPlan ecu{"Ecu" + Text(e), {}};
        // The first ECU is the gateway on every cluster; the others sit on one or two.
        if (e == 0) {
            for (size_t c = 0; c < kClusterCount; ++c) ecu.clusters.push_back(c);
        } else {
            ecu.clusters.push_back(e % kClusterCount);
            if (e % 5 == 0) ecu.clusters.push_back((e + 1) % kClusterCount);
        }
        for (size_t c : ecu.clusters) plan.ecusOfCluster[c].push_back(e);
        plan.ecus.push_back(ecu);
    }
    for (size_t p = 0; p < pduCount; ++p) {
        PduPlan pdu;
        pdu.name = "Pdu" + Text(p);
        pdu.cluster = random() % 10 < 1 ? size_t{kLin} : random() % kClusterCount;
        const auto& members = plan.ecusOfCluster[pdu.cluster];
        pdu.sender = members[random() % members.size()];
        for (size_t r = 0, n = 1 + random() % 2; r < n; ++r) {
            const size_t receiver = members[random() % members.size()];
            if (receiver != pdu.sender && std::find(pdu.receivers.begin(), pdu.receivers.end(),
                                                    receiver) == pdu.receivers.end()) {
                pdu.receivers.push_back(receiver);
            }
        }
        pdu.bytes = pdu.cluster == kCanFd || pdu.cluster == kEthernet ? 32 : 8;
        pdu.identifier = pdu.cluster == kLin ? static_cast<unsigned>(p % 60) : 0x100 + p;
        pdu.cycleMs = 10u * (1 + random() % 10);
        unsigned position = 0;
        const size_t signals = 6 + random() % 13;
        for (size_t s = 0; s < signals && position < pdu.bytes * 8; ++s) {
            SignalPlan signal;
            signal.name = "Sig" + Text(p) + "_" + Text(s);
            signal.length = std::min<unsigned>(1 + random() % 16, pdu.bytes * 8 - position);
            signal.start = position;
            signal.msbFirst = random() % 4 == 0;
            signal.textTable = random() % 5 == 0;
            signal.described = random() % 3 == 0;
            position += signal.length;
            pdu.signals.push_back(signal);
        }
        plan.pdus.push_back(std::move(pdu));
    }
    return plan;
}

std::string ConnectorName(const EcuPlan& ecu, size_t cluster) {
    return ecu.name + "_" + kClusters[cluster].name;
}

std::string ConnectorPath(const EcuPlan& ecu, size_t cluster) {
    return "/Topology/Ecus/" + ecu.name + "/" + ConnectorName(ecu, cluster);
}

// ----- Data types ----------------------------------------------------------------------------

void WriteCompuMethod(Writer& w, const SignalPlan& signal) {
    w.OpenNamed("COMPU-METHOD", "CM_" + signal.name);
    w.Leaf("CATEGORY", signal.textTable ? "TEXTTABLE" : "LINEAR");
    w.Reference("UNIT-REF", "UNIT",
                signal.textTable ? "/DataTypes/Units/NoUnit" : "/DataTypes/Units/Km_h");
    w.Open("COMPU-INTERNAL-TO-PHYS");
    w.Open("COMPU-SCALES");
    const size_t scales = signal.textTable ? 3 : 1;
    for (size_t i = 0; i < scales; ++i) {
        w.Open("COMPU-SCALE");
        if (signal.textTable) w.Leaf("SHORT-LABEL", "State" + Text(i));
        w.Leaf("LOWER-LIMIT", Text(i));
        w.Leaf("UPPER-LIMIT", signal.textTable ? Text(i) : Text((1u << signal.length) - 1));
        if (signal.textTable) {
            w.Open("COMPU-CONST");
            w.Leaf("VT", "STATE_" + Text(i));
            w.Close("COMPU-CONST");
        } else {
            w.Open("COMPU-RATIONAL-COEFFS");
            w.Open("COMPU-NUMERATOR");
            w.Leaf("V", "0");
            w.Leaf("V", "0.5");
            w.Close("COMPU-NUMERATOR");
            w.Open("COMPU-DENOMINATOR");
            w.Leaf("V", "1");
            w.Close("COMPU-DENOMINATOR");
            w.Close("COMPU-RATIONAL-COEFFS");
        }
        w.Close("COMPU-SCALE");
    }
    w.Close("COMPU-SCALES");
    w.Close("COMPU-INTERNAL-TO-PHYS");
    w.Close("COMPU-METHOD");
}

void WriteDataConstr(Writer& w, const SignalPlan& signal) {
    w.OpenNamed("DATA-CONSTR", "DC_" + signal.name);
    w.Open("DATA-CONSTR-RULES");
    w.Open("DATA-CONSTR-RULE");
    w.Open("PHYS-CONSTRS");
    w.Leaf("LOWER-LIMIT", "0", " INTERVAL-TYPE=\"CLOSED\"");
    w.Leaf("UPPER-LIMIT", Text(((1u << signal.length) - 1) / 2), " INTERVAL-TYPE=\"CLOSED\"");
    w.Reference("UNIT-REF", "UNIT", "/DataTypes/Units/Km_h");
    w.Close("PHYS-CONSTRS");
    w.Close("DATA-CONSTR-RULE");
    w.Close("DATA-CONSTR-RULES");
    w.Close("DATA-CONSTR");
}

// ----- Communication -------------------------------------------------------------------------

void WritePdu(Writer& w, const PduPlan& pdu) {
    w.OpenNamed("I-SIGNAL-I-PDU", pdu.name);
    w.Leaf("LENGTH", Text(pdu.bytes));
    w.Open("I-PDU-TIMING-SPECIFICATIONS");
    w.Open("I-PDU-TIMING");
    w.Leaf("MINIMUM-DELAY", "0");
    w.Open("TRANSMISSION-MODE-DECLARATION");
    w.Open("TRANSMISSION-MODE-TRUE-TIMING");
    w.Open("CYCLIC-TIMING");
    w.Open("TIME-OFFSET");
    w.Leaf("VALUE", "0");
    w.Close("TIME-OFFSET");
    w.Open("TIME-PERIOD");
    w.Leaf("VALUE", pdu.cycleMs >= 100 ? "0.1" : "0.0" + Text(pdu.cycleMs / 10));
    w.Close("TIME-PERIOD");
    w.Close("CYCLIC-TIMING");
    w.Close("TRANSMISSION-MODE-TRUE-TIMING");
    w.Close("TRANSMISSION-MODE-DECLARATION");
    w.Close("I-PDU-TIMING");
    w.Close("I-PDU-TIMING-SPECIFICATIONS");
    w.Open("I-SIGNAL-TO-PDU-MAPPINGS");
    for (const SignalPlan& signal : pdu.signals) {
        w.OpenNamed("I-SIGNAL-TO-I-PDU-MAPPING", signal.name);
        w.Reference("I-SIGNAL-REF", "I-SIGNAL", "/Communication/Signals/" + signal.name);
        w.Leaf("PACKING-BYTE-ORDER",
               signal.msbFirst ? "MOST-SIGNIFICANT-BYTE-FIRST" : "MOST-SIGNIFICANT-BYTE-LAST");
        w.Leaf("START-POSITION", Text(signal.start));
        w.Close("I-SIGNAL-TO-I-PDU-MAPPING");
    }
    w.Close("I-SIGNAL-TO-PDU-MAPPINGS");
    w.Leaf("UNUSED-BIT-PATTERN", "0");
    w.Close("I-SIGNAL-I-PDU");
}

void WriteSignal(Writer& w, const SignalPlan& signal) {
    w.OpenNamed("I-SIGNAL", signal.name);
    w.Leaf("LENGTH", Text(signal.length));
    w.Reference("SYSTEM-SIGNAL-REF", "SYSTEM-SIGNAL",
                "/Communication/SystemSignals/" + signal.name);
    w.Close("I-SIGNAL");
}

void WriteSystemSignal(Writer& w, const SignalPlan& signal) {
    w.OpenNamed("SYSTEM-SIGNAL", signal.name);
    if (signal.described) {
        w.Open("DESC");
        w.Leaf("L-2", "Generated signal " + signal.name, " L=\"EN\"");
        w.Close("DESC");
    }
    w.Open("PHYSICAL-PROPS");
    w.Open("SW-DATA-DEF-PROPS-VARIANTS");
    w.Open("SW-DATA-DEF-PROPS-CONDITIONAL");
    w.Reference("COMPU-METHOD-REF", "COMPU-METHOD", "/DataTypes/CompuMethods/CM_" + signal.name);
    w.Reference("DATA-CONSTR-REF", "DATA-CONSTR", "/DataTypes/DataConstrs/DC_" + signal.name);
    w.Close("SW-DATA-DEF-PROPS-CONDITIONAL");
    w.Close("SW-DATA-DEF-PROPS-VARIANTS");
    w.Close("PHYSICAL-PROPS");
    w.Close("SYSTEM-SIGNAL");
}

void WriteFrame(Writer& w, const PduPlan& pdu) {
    w.OpenNamed(kClusters[pdu.cluster].frame, "F_" + pdu.name);
    w.Leaf("FRAME-LENGTH", Text(pdu.bytes));
    w.Open("PDU-TO-FRAME-MAPPINGS");
    w.OpenNamed("PDU-TO-FRAME-MAPPING", pdu.name);
    w.Leaf("PACKING-BYTE-ORDER", "MOST-SIGNIFICANT-BYTE-LAST");
    w.Reference("PDU-REF", "I-SIGNAL-I-PDU", "/Communication/Pdus/" + pdu.name);
    w.Leaf("START-POSITION", "0");
    w.Close("PDU-TO-FRAME-MAPPING");
    w.Close("PDU-TO-FRAME-MAPPINGS");
    w.Close(kClusters[pdu.cluster].frame);
}

void WritePduGroup(Writer& w, const SystemPlan& plan, size_t ecu, bool out) {
    w.OpenNamed("I-SIGNAL-I-PDU-GROUP", plan.ecus[ecu].name + (out ? "_Tx" : "_Rx"));
    w.Leaf("COMMUNICATION-DIRECTION", out ? "OUT" : "IN");
    w.Leaf("COMMUNICATION-MODE", "Normal");
    w.Open("I-SIGNAL-I-PDUS");
    for (const PduPlan& pdu : plan.pdus) {
        const bool sends = pdu.sender == ecu;
        const bool receives =
            std::find(pdu.receivers.begin(), pdu.receivers.end(), ecu) != pdu.receivers.end();
        if (out ? !sends : !receives) continue;
        w.Open("I-SIGNAL-I-PDU-REF-CONDITIONAL");
        w.Reference("I-SIGNAL-I-PDU-REF", "I-SIGNAL-I-PDU", "/Communication/Pdus/" + pdu.name);
        w.Close("I-SIGNAL-I-PDU-REF-CONDITIONAL");
    }
    w.Close("I-SIGNAL-I-PDUS");
    w.Close("I-SIGNAL-I-PDU-GROUP");
}

// ----- Topology ------------------------------------------------------------------------------

void WritePort(Writer& w, const char* element, const std::string& name, bool out) {
    w.OpenNamed(element, name);
    w.Leaf("COMMUNICATION-DIRECTION", out ? "OUT" : "IN");
    w.Close(element);
}

bool OnPdu(const PduPlan& pdu, size_t ecu) {
    return pdu.sender == ecu ||
           std::find(pdu.receivers.begin(), pdu.receivers.end(), ecu) != pdu.receivers.end();
}

void WriteEcu(Writer& w, const SystemPlan& plan, size_t e) {
    const EcuPlan& ecu = plan.ecus[e];
    w.OpenNamed("ECU-INSTANCE", ecu.name);
    w.Open("ASSOCIATED-COM-I-PDU-GROUP-REFS");
    w.Reference("ASSOCIATED-COM-I-PDU-GROUP-REF", "I-SIGNAL-I-PDU-GROUP",
                "/Communication/PduGroups/" + ecu.name + "_Tx");
    w.Reference("ASSOCIATED-COM-I-PDU-GROUP-REF", "I-SIGNAL-I-PDU-GROUP",
                "/Communication/PduGroups/" + ecu.name + "_Rx");
    w.Close("ASSOCIATED-COM-I-PDU-GROUP-REFS");
    w.Open("COMM-CONTROLLERS");
    for (size_t c : ecu.clusters) {
        const bool lin = kClusters[c].kind == kLin;
        const char* element = lin ? (e == 0 ? "LIN-MASTER" : "LIN-SLAVE")
                              : kClusters[c].kind == kEthernet ? "ETHERNET-COMMUNICATION-CONTROLLER"
                                                               : "CAN-COMMUNICATION-CONTROLLER";
        w.OpenNamed(element, ecu.name + "_Ctrl_" + kClusters[c].name);
        if (kClusters[c].kind == kCanFd) {
            w.Open("CAN-COMMUNICATION-CONTROLLER-VARIANTS");
            w.Open("CAN-COMMUNICATION-CONTROLLER-CONDITIONAL");
            w.Open("CAN-CONTROLLER-ATTRIBUTES");
            w.Open("CAN-CONTROLLER-CONFIGURATION-REQUIREMENTS");
            w.Open("CAN-CONTROLLER-FD-REQUIREMENTS");
            w.Leaf("MAX-NUMBER-OF-TIME-QUANTA-PER-BIT", "40");
            w.Leaf("MAX-SAMPLE-POINT", "0.8");
            w.Leaf("MIN-NUMBER-OF-TIME-QUANTA-PER-BIT", "10");
            w.Leaf("MIN-SAMPLE-POINT", "0.7");
            w.Leaf("TX-BIT-RATE-SWITCH", "true");
            w.Close("CAN-CONTROLLER-FD-REQUIREMENTS");
            w.Leaf("MAX-NUMBER-OF-TIME-QUANTA-PER-BIT", "25");
            w.Leaf("MAX-SAMPLE-POINT", "0.875");
            w.Leaf("MIN-NUMBER-OF-TIME-QUANTA-PER-BIT", "8");
            w.Leaf("MIN-SAMPLE-POINT", "0.75");
            w.Close("CAN-CONTROLLER-CONFIGURATION-REQUIREMENTS");
            w.Close("CAN-CONTROLLER-ATTRIBUTES");
            w.Close("CAN-COMMUNICATION-CONTROLLER-CONDITIONAL");
            w.Close("CAN-COMMUNICATION-CONTROLLER-VARIANTS");
        } else if (lin && e == 0) {
            w.Open("LIN-MASTER-VARIANTS");
            w.Open("LIN-MASTER-CONDITIONAL");
            w.Leaf("PROTOCOL-VERSION", "2.1");
            w.Leaf("TIME-BASE", "0.005");
            w.Leaf("TIME-BASE-JITTER", "0.0001");
            w.Close("LIN-MASTER-CONDITIONAL");
            w.Close("LIN-MASTER-VARIANTS");
        }
        w.Close(element);
    }
    w.Close("COMM-CONTROLLERS");
    w.Open("CONNECTORS");
    for (size_t c : ecu.clusters) {
        const char* element = kClusters[c].kind == kLin        ? "LIN-COMMUNICATION-CONNECTOR"
                              : kClusters[c].kind == kEthernet ? "ETHERNET-COMMUNICATION-CONNECTOR"
                                                               : "CAN-COMMUNICATION-CONNECTOR";
        w.OpenNamed(element, ConnectorName(ecu, c));
        const char* controller = kClusters[c].kind == kLin ? (e == 0 ? "LIN-MASTER" : "LIN-SLAVE")
                                 : kClusters[c].kind == kEthernet
                                     ? "ETHERNET-COMMUNICATION-CONTROLLER"
                                     : "CAN-COMMUNICATION-CONTROLLER";
        w.Reference("COMM-CONTROLLER-REF", controller,
                    "/Topology/Ecus/" + ecu.name + "/" + ecu.name + "_Ctrl_" + kClusters[c].name);
        w.Open("ECU-COMM-PORT-INSTANCES");
        for (const PduPlan& pdu : plan.pdus) {
            if (pdu.cluster != c || !OnPdu(pdu, e)) continue;
            const bool out = pdu.sender == e;
            if (kClusters[c].kind != kEthernet) WritePort(w, "FRAME-PORT", "FP_" + pdu.name, out);
            WritePort(w, "I-PDU-PORT", "PP_" + pdu.name, out);
            for (const SignalPlan& signal : pdu.signals) {
                WritePort(w, "I-SIGNAL-PORT", "SP_" + signal.name, out);
            }
        }
        w.Close("ECU-COMM-PORT-INSTANCES");
        w.Close(element);
    }
    w.Close("CONNECTORS");
    w.Leaf("SLEEP-MODE-SUPPORTED", "false");
    w.Leaf("WAKE-UP-OVER-BUS-SUPPORTED", "true");
    w.Close("ECU-INSTANCE");
}

void WritePortRefs(Writer& w, const SystemPlan& plan, const PduPlan& pdu, const char* list,
                   const char* element, const char* dest, const std::string& port) {
    w.Open(list);
    std::vector<size_t> ecus = {pdu.sender};
    ecus.insert(ecus.end(), pdu.receivers.begin(), pdu.receivers.end());
    for (size_t e : ecus) {
        w.Reference(element, dest, ConnectorPath(plan.ecus[e], pdu.cluster) + "/" + port);
    }
    w.Close(list);
}

void WriteChannel(Writer& w, const SystemPlan& plan, size_t c) {
    const ClusterPlan& cluster = kClusters[c];
    const std::string channel = std::string(cluster.name) + "_Channel";
    const std::string channelPath =
        "/Topology/Cluster/" + std::string(cluster.name) + "/" + channel;
    w.OpenNamed(cluster.channel, channel);
    w.Open("COMM-CONNECTORS");
    for (size_t e : plan.ecusOfCluster[c]) {
        w.Open("COMMUNICATION-CONNECTOR-REF-CONDITIONAL");
        const char* dest = cluster.kind == kLin        ? "LIN-COMMUNICATION-CONNECTOR"
                           : cluster.kind == kEthernet ? "ETHERNET-COMMUNICATION-CONNECTOR"
                                                       : "CAN-COMMUNICATION-CONNECTOR";
        w.Reference("COMMUNICATION-CONNECTOR-REF", dest, ConnectorPath(plan.ecus[e], c));
        w.Close("COMMUNICATION-CONNECTOR-REF-CONDITIONAL");
    }
    w.Close("COMM-CONNECTORS");
    if (cluster.kind != kEthernet) {
        w.Open("FRAME-TRIGGERINGS");
        const char* triggering =
            cluster.kind == kLin ? "LIN-FRAME-TRIGGERING" : "CAN-FRAME-TRIGGERING";
        for (const PduPlan& pdu : plan.pdus) {
            if (pdu.cluster != c) continue;
            w.OpenNamed(triggering, "FT_" + pdu.name);
            WritePortRefs(w, plan, pdu, "FRAME-PORT-REFS", "FRAME-PORT-REF", "FRAME-PORT",
                          "FP_" + pdu.name);
            w.Reference("FRAME-REF", cluster.frame, "/Communication/Frames/F_" + pdu.name);
            w.Open("PDU-TRIGGERINGS");
            w.Open("PDU-TRIGGERING-REF-CONDITIONAL");
            w.Reference("PDU-TRIGGERING-REF", "PDU-TRIGGERING", channelPath + "/PT_" + pdu.name);
            w.Close("PDU-TRIGGERING-REF-CONDITIONAL");
            w.Close("PDU-TRIGGERINGS");
            if (cluster.kind != kLin) {
                w.Leaf("CAN-ADDRESSING-MODE", "STANDARD");
                const char* behavior = cluster.kind == kCanFd ? "CAN-FD" : "CAN-20";
                w.Leaf("CAN-FRAME-RX-BEHAVIOR", behavior);
                w.Leaf("CAN-FRAME-TX-BEHAVIOR", behavior);
            }
            w.Leaf("IDENTIFIER", Text(pdu.identifier));
            w.Close(triggering);
        }
        w.Close("FRAME-TRIGGERINGS");
    }
    w.Open("I-SIGNAL-TRIGGERINGS");
    for (const PduPlan& pdu : plan.pdus) {
        if (pdu.cluster != c) continue;
        for (const SignalPlan& signal : pdu.signals) {
            w.OpenNamed("I-SIGNAL-TRIGGERING", "ST_" + signal.name);
            WritePortRefs(w, plan, pdu, "I-SIGNAL-PORT-REFS", "I-SIGNAL-PORT-REF", "I-SIGNAL-PORT",
                          "SP_" + signal.name);
            w.Reference("I-SIGNAL-REF", "I-SIGNAL", "/Communication/Signals/" + signal.name);
            w.Close("I-SIGNAL-TRIGGERING");
        }
    }
    w.Close("I-SIGNAL-TRIGGERINGS");
    w.Open("PDU-TRIGGERINGS");
    for (const PduPlan& pdu : plan.pdus) {
        if (pdu.cluster != c) continue;
        w.OpenNamed("PDU-TRIGGERING", "PT_" + pdu.name);
        WritePortRefs(w, plan, pdu, "I-PDU-PORT-REFS", "I-PDU-PORT-REF", "I-PDU-PORT",
                      "PP_" + pdu.name);
        w.Reference("I-PDU-REF", "I-SIGNAL-I-PDU", "/Communication/Pdus/" + pdu.name);
        w.Open("I-SIGNAL-TRIGGERINGS");
        for (const SignalPlan& signal : pdu.signals) {
            w.Open("I-SIGNAL-TRIGGERING-REF-CONDITIONAL");
            w.Reference("I-SIGNAL-TRIGGERING-REF", "I-SIGNAL-TRIGGERING",
                        channelPath + "/ST_" + signal.name);
            w.Close("I-SIGNAL-TRIGGERING-REF-CONDITIONAL");
        }
        w.Close("I-SIGNAL-TRIGGERINGS");
        w.Close("PDU-TRIGGERING");
    }
    w.Close("PDU-TRIGGERINGS");
    w.Close(cluster.channel);
}

void WriteCluster(Writer& w, const SystemPlan& plan, size_t c) {
    const ClusterPlan& cluster = kClusters[c];
    w.OpenNamed(cluster.element, cluster.name);
    const std::string variants = std::string(cluster.prefix) + "-CLUSTER-VARIANTS";
    const std::string conditional = std::string(cluster.prefix) + "-CLUSTER-CONDITIONAL";
    w.Open(variants.c_str());
    w.Open(conditional.c_str());
    const char* baudrate = cluster.kind == kLin        ? "19200"
                           : cluster.kind == kEthernet ? "100000000"
                                                       : "500000";
    w.Leaf("BAUDRATE", baudrate);
    w.Open("PHYSICAL-CHANNELS");
    WriteChannel(w, plan, c);
    w.Close("PHYSICAL-CHANNELS");
    w.Leaf("PROTOCOL-NAME", cluster.prefix);
    if (cluster.kind == kCanFd) w.Leaf("CAN-FD-BAUDRATE", "2000000");
    w.Close(conditional.c_str());
    w.Close(variants.c_str());
    w.Close(cluster.element);
}

// ----- Document ------------------------------------------------------------------------------

template <class Body>
void Package(Writer& w, const char* name, Body body) {
    w.OpenNamed("AR-PACKAGE", name);
    w.Open("ELEMENTS");
    body();
    w.Close("ELEMENTS");
    w.Close("AR-PACKAGE");
}

template <class Body>
void ParentPackage(Writer& w, const char* name, Body body) {
    w.OpenNamed("AR-PACKAGE", name);
    w.Open("AR-PACKAGES");
    body();
    w.Close("AR-PACKAGES");
    w.Close("AR-PACKAGE");
}

std::string WriteDocument(const SystemPlan& plan, uint32_t seed, ArxmlSystemFigures* figures) {
    Writer w(seed);
    w.Text() += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    w.Open("AUTOSAR",
           " xmlns=\"http://autosar.org/schema/r4.0\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:schemaLocation=\"http://autosar.org/schema/r4.0 AUTOSAR_4-2-2.xsd\"");
    w.Open("AR-PACKAGES");
    ParentPackage(w, "Topology", [&] {
        Package(w, "Cluster", [&] {
            for (size_t c = 0; c < kClusterCount; ++c) WriteCluster(w, plan, c);
        });
        Package(w, "Ecus", [&] {
            for (size_t e = 0; e < plan.ecus.size(); ++e) WriteEcu(w, plan, e);
        });
    });
    ParentPackage(w, "Communication", [&] {
        Package(w, "Pdus", [&] {
            for (const PduPlan& pdu : plan.pdus) WritePdu(w, pdu);
        });
        Package(w, "Frames", [&] {
            for (const PduPlan& pdu : plan.pdus) {
                if (kClusters[pdu.cluster].kind != kEthernet) WriteFrame(w, pdu);
            }
        });
        Package(w, "Signals", [&] {
            for (const PduPlan& pdu : plan.pdus) {
                for (const SignalPlan& signal : pdu.signals) WriteSignal(w, signal);
            }
        });
        Package(w, "SystemSignals", [&] {
            for (const PduPlan& pdu : plan.pdus) {
                for (const SignalPlan& signal : pdu.signals) WriteSystemSignal(w, signal);
            }
        });
        Package(w, "PduGroups", [&] {
            for (size_t e = 0; e < plan.ecus.size(); ++e) {
                WritePduGroup(w, plan, e, true);
                WritePduGroup(w, plan, e, false);
            }
        });
    });
    ParentPackage(w, "DataTypes", [&] {
        Package(w, "CompuMethods", [&] {
            for (const PduPlan& pdu : plan.pdus) {
                for (const SignalPlan& signal : pdu.signals) WriteCompuMethod(w, signal);
            }
        });
        Package(w, "DataConstrs", [&] {
            for (const PduPlan& pdu : plan.pdus) {
                for (const SignalPlan& signal : pdu.signals) WriteDataConstr(w, signal);
            }
        });
        Package(w, "Units", [&] {
            w.OpenNamed("UNIT", "Km_h");
            w.Leaf("DISPLAY-NAME", "km/h");
            w.Close("UNIT");
            w.OpenNamed("UNIT", "NoUnit");
            w.Close("UNIT");
        });
    });
    w.Close("AR-PACKAGES");
    w.Close("AUTOSAR");
    if (figures != nullptr) {
        figures->bytes = w.Text().size();
        figures->clusters = kClusterCount;
        figures->ecus = plan.ecus.size();
        figures->pdus = plan.pdus.size();
        figures->signals = 0;
        for (const PduPlan& pdu : plan.pdus) figures->signals += pdu.signals.size();
        figures->references = w.References();
    }
    return std::move(w.Text());
}

}  // namespace

std::string GenerateArxmlSystem(size_t targetBytes, uint32_t seed, ArxmlSystemFigures* figures) {
    // Ports and PDU groups grow with the PDUs of each ECU; a sample gives the size per PDU.
    constexpr size_t kSamplePdus = 200;
    ArxmlSystemFigures sample;
    WriteDocument(MakePlan(kSamplePdus, seed), seed, &sample);
    const size_t perPdu = std::max<size_t>(1, sample.bytes / kSamplePdus);
    const size_t pdus = std::max<size_t>(8, targetBytes / perPdu);
    return WriteDocument(MakePlan(pdus, seed), seed, figures);
}

}  // namespace qm::bench
