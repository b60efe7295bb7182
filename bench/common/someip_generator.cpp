#include "common/someip_generator.h"

#include <random>
#include <string>

namespace qm::bench {

namespace {

constexpr const char* kStdTypes[] = {"UInt8",  "UInt16", "UInt32",  "UInt64", "SInt8",  "SInt16",
                                     "SInt32", "SInt64", "Boolean", "Float",  "Double", "String"};

class Writer {
  public:
    explicit Writer(uint32_t seed) : random_(seed) {}

    std::string text;
    std::mt19937 random_;

    unsigned Pick(unsigned n) { return static_cast<unsigned>(random_() % n); }
    void Open(const char* tag) { text += '<', text += tag, text += '>'; }
    void Close(const char* tag) { text += "</", text += tag, text += '>'; }
    void Leaf(const char* tag, const std::string& value) {
        Open(tag);
        text += value;
        Close(tag);
    }
    void Ref(const char* tag, const char* dest, const std::string& path) {
        text += '<', text += tag, text += " DEST=\"", text += dest, text += "\">", text += path;
        Close(tag);
    }
    void PackageOpen(const std::string& name) {
        Open("AR-PACKAGE");
        Leaf("SHORT-NAME", name);
    }
    void PackageClose() { Close("AR-PACKAGE"); }

    void TypeRef(const std::string& path) {
        text += "<SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS><SW-DATA-DEF-PROPS-CONDITIONAL>";
        Ref("IMPLEMENTATION-DATA-TYPE-REF", "IMPLEMENTATION-DATA-TYPE", path);
        text += "</SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS></SW-DATA-DEF-PROPS>";
    }
    void Member(const std::string& name, const std::string& typePath, const char* size = nullptr) {
        Open("IMPLEMENTATION-DATA-TYPE-ELEMENT");
        Leaf("SHORT-NAME", name);
        Leaf("CATEGORY", "TYPE_REFERENCE");
        if (size) Leaf("ARRAY-SIZE", size);
        TypeRef(typePath);
        Close("IMPLEMENTATION-DATA-TYPE-ELEMENT");
    }
};

void StdTypes(Writer& w) {
    w.PackageOpen("stdtypes");
    w.Open("ELEMENTS");
    for (const char* name : kStdTypes) {
        w.Open("IMPLEMENTATION-DATA-TYPE");
        w.Leaf("SHORT-NAME", name);
        w.Leaf("CATEGORY", std::string(name) == "String" ? "STRING" : "VALUE");
        w.text += "<SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS><SW-DATA-DEF-PROPS-CONDITIONAL>";
        w.Ref("BASE-TYPE-REF", "SW-BASE-TYPE", std::string("/BaseTypes/") + name);
        w.text +=
            "</SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS></SW-DATA-DEF-PROPS>";
        w.Close("IMPLEMENTATION-DATA-TYPE");
    }
    w.Close("ELEMENTS");
    w.PackageClose();
}

void BaseTypes(Writer& w) {
    w.PackageOpen("BaseTypes");
    w.Open("ELEMENTS");
    for (const char* name : kStdTypes) {
        w.Open("SW-BASE-TYPE");
        w.Leaf("SHORT-NAME", name);
        w.Leaf("BASE-TYPE-SIZE", "8");
        w.Leaf("BYTE-ORDER", "MOST-SIGNIFICANT-BYTE-FIRST");
        w.Leaf("NATIVE-DECLARATION", "std::uint8_t");
        w.Close("SW-BASE-TYPE");
    }
    w.Close("ELEMENTS");
    w.PackageClose();
}

// One service's data types: an enumeration, an array, a vector and structures whose members
// use them and nest the previous structure.
void ServiceTypes(Writer& w, const std::string& service, size_t structures, size_t members) {
    const std::string base = "/riz/services/" + service + "/datatypes/";
    w.PackageOpen(service);
    w.Open("AR-PACKAGES");
    w.PackageOpen("datatypes");
    w.Open("ELEMENTS");
    w.Open("IMPLEMENTATION-DATA-TYPE");
    w.Leaf("SHORT-NAME", "Mode");
    w.Leaf("CATEGORY", "TYPE_REFERENCE");
    w.text += "<SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS><SW-DATA-DEF-PROPS-CONDITIONAL>";
    w.Ref("COMPU-METHOD-REF", "COMPU-METHOD", base + "ModeValues");
    w.Ref("IMPLEMENTATION-DATA-TYPE-REF", "IMPLEMENTATION-DATA-TYPE", "/riz/stdtypes/UInt8");
    w.text += "</SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS></SW-DATA-DEF-PROPS>";
    w.Close("IMPLEMENTATION-DATA-TYPE");
    w.Open("COMPU-METHOD");
    w.Leaf("SHORT-NAME", "ModeValues");
    w.text += "<COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>";
    for (int v = 0; v < 4; ++v) {
        w.text += "<COMPU-SCALE><LOWER-LIMIT>" + std::to_string(v) + "</LOWER-LIMIT><UPPER-LIMIT>" +
                  std::to_string(v) + "</UPPER-LIMIT><COMPU-CONST><VT>Mode" + std::to_string(v) +
                  "</VT></COMPU-CONST></COMPU-SCALE>";
    }
    w.text += "</COMPU-SCALES></COMPU-INTERNAL-TO-PHYS>";
    w.Close("COMPU-METHOD");
    for (const char* kind : {"ARRAY", "VECTOR"}) {
        w.Open("IMPLEMENTATION-DATA-TYPE");
        w.Leaf("SHORT-NAME", std::string(kind) == "ARRAY" ? "Samples" : "Payload");
        w.Leaf("CATEGORY", kind);
        w.Open("SUB-ELEMENTS");
        w.Member("element", std::string("/riz/stdtypes/") + kStdTypes[w.Pick(11)],
                 std::string(kind) == "ARRAY" ? "8" : nullptr);
        w.Close("SUB-ELEMENTS");
        w.Close("IMPLEMENTATION-DATA-TYPE");
    }
    for (size_t s = 0; s < structures; ++s) {
        w.Open("IMPLEMENTATION-DATA-TYPE");
        w.Leaf("SHORT-NAME", "DT_Record" + std::to_string(s) + "_struct");
        w.Leaf("CATEGORY", "STRUCTURE");
        w.Open("SUB-ELEMENTS");
        for (size_t m = 0; m < members; ++m) {
            const std::string name = "member" + std::to_string(m);
            switch (w.Pick(8)) {
                case 0:
                    w.Member(name, base + "Mode");
                    break;
                case 1:
                    w.Member(name, base + "Samples");
                    break;
                case 2:
                    // The first four structures are leaves the others nest, one level deep.
                    if (s >= 4) {
                        w.Member(name, base + "DT_Record" + std::to_string(w.Pick(4)) + "_struct");
                        break;
                    }
                    [[fallthrough]];
                default:
                    w.Member(name, std::string("/riz/stdtypes/") + kStdTypes[w.Pick(12)]);
            }
        }
        w.Member("payload", base + "Payload");
        w.Close("SUB-ELEMENTS");
        w.Close("IMPLEMENTATION-DATA-TYPE");
    }
    w.Close("ELEMENTS");
    w.PackageClose();
    w.Close("AR-PACKAGES");
    w.PackageClose();
}

void Deployment(Writer& w, const std::string& service, size_t index, size_t fields, size_t events,
                size_t groups) {
    w.Open("SOMEIP-SERVICE-INTERFACE-DEPLOYMENT");
    w.Leaf("SHORT-NAME", service + "Deployment");
    w.Open("EVENT-DEPLOYMENTS");
    for (size_t e = 0; e < events; ++e) {
        w.Open("SOMEIP-EVENT-DEPLOYMENT");
        w.Leaf("SHORT-NAME", "Event" + std::to_string(e));
        w.Leaf("EVENT-ID", std::to_string(32768 + e));
        w.Leaf("TRANSPORT-PROTOCOL", e % 2 ? "TCP" : "UDP");
        w.Close("SOMEIP-EVENT-DEPLOYMENT");
    }
    w.Close("EVENT-DEPLOYMENTS");
    w.Open("FIELD-DEPLOYMENTS");
    for (size_t f = 0; f < fields; ++f) {
        const std::string name = "Field" + std::to_string(f);
        w.Open("SOMEIP-FIELD-DEPLOYMENT");
        w.Leaf("SHORT-NAME", name);
        w.text += "<GET><SHORT-NAME>Get" + name + "</SHORT-NAME><METHOD-ID>" +
                  std::to_string(2 * f + 1) + "</METHOD-ID></GET>";
        w.text += "<NOTIFIER><SHORT-NAME>" + name + "Changed</SHORT-NAME><EVENT-ID>" +
                  std::to_string(36000 + f) + "</EVENT-ID></NOTIFIER>";
        if (f % 2 == 0) {
            w.text += "<SET><SHORT-NAME>Set" + name + "</SHORT-NAME><METHOD-ID>" +
                      std::to_string(2 * f + 2) + "</METHOD-ID></SET>";
        }
        w.Close("SOMEIP-FIELD-DEPLOYMENT");
    }
    w.Close("FIELD-DEPLOYMENTS");
    w.Leaf("SERVICE-INTERFACE-ID", std::to_string(1000 + index));
    w.text += "<SERVICE-INTERFACE-VERSION><MAJOR-VERSION>1</MAJOR-VERSION><MINOR-VERSION>" +
              std::to_string(index % 7) + "</MINOR-VERSION></SERVICE-INTERFACE-VERSION>";
    w.Open("EVENT-GROUPS");
    for (size_t g = 0; g < groups; ++g) {
        w.Open("SOMEIP-EVENT-GROUP");
        w.Leaf("SHORT-NAME", "Group" + std::to_string(g));
        w.Leaf("EVENT-GROUP-ID", std::to_string(g + 1));
        w.Open("EVENT-REFS");
        for (size_t e = g; e < events; e += groups) {
            w.Ref("EVENT-REF", "SOMEIP-EVENT-DEPLOYMENT",
                  "/riz/deployments/" + service + "Deployment/Event" + std::to_string(e));
        }
        w.Close("EVENT-REFS");
        w.Close("SOMEIP-EVENT-GROUP");
    }
    w.Close("EVENT-GROUPS");
    w.Close("SOMEIP-SERVICE-INTERFACE-DEPLOYMENT");
}

void Instance(Writer& w, const std::string& service, size_t index) {
    const bool provided = index % 3 != 1;
    const char* tag =
        provided ? "PROVIDED-SOMEIP-SERVICE-INSTANCE" : "REQUIRED-SOMEIP-SERVICE-INSTANCE";
    w.Open(tag);
    w.Leaf("SHORT-NAME", service + (provided ? "_Provider" : "_Consumer"));
    w.Ref("SERVICE-INTERFACE-DEPLOYMENT-REF", "SOMEIP-SERVICE-INTERFACE-DEPLOYMENT",
          "/riz/deployments/" + service + "Deployment");
    if (provided) {
        w.Leaf("SERVICE-INSTANCE-ID", std::to_string(index + 1));
        w.text +=
            "<SD-SERVER-CONFIG><INITIAL-OFFER-BEHAVIOR><INITIAL-DELAY-MAX-VALUE>0.2"
            "</INITIAL-DELAY-MAX-VALUE><INITIAL-DELAY-MIN-VALUE>0.1</INITIAL-DELAY-MIN-VALUE>"
            "<INITIAL-REPETITIONS-BASE-DELAY>0.05</INITIAL-REPETITIONS-BASE-DELAY>"
            "<INITIAL-REPETITIONS-MAX>3</INITIAL-REPETITIONS-MAX></INITIAL-OFFER-BEHAVIOR>"
            "<OFFER-CYCLIC-DELAY>2</OFFER-CYCLIC-DELAY><REQUEST-RESPONSE-DELAY><MAX-VALUE>1.5"
            "</MAX-VALUE><MIN-VALUE>0.5</MIN-VALUE></REQUEST-RESPONSE-DELAY>"
            "<SERVICE-OFFER-TIME-TO-LIVE>3</SERVICE-OFFER-TIME-TO-LIVE></SD-SERVER-CONFIG>";
    } else {
        w.Leaf("REQUIRED-SERVICE-INSTANCE-ID", std::to_string(index + 1));
        w.text +=
            "<SD-CLIENT-CONFIG><FIND-CYCLIC-DELAY>1</FIND-CYCLIC-DELAY><INITIAL-FIND-BEHAVIOR>"
            "<INITIAL-DELAY-MAX-VALUE>0.4</INITIAL-DELAY-MAX-VALUE></INITIAL-FIND-BEHAVIOR>"
            "<SERVICE-FIND-TIME-TO-LIVE>10</SERVICE-FIND-TIME-TO-LIVE></SD-CLIENT-CONFIG>";
    }
    w.Close(tag);
}

void SocketAddress(Writer& w, const std::string& name, size_t port, bool udp) {
    w.Open("SOCKET-ADDRESS");
    w.Leaf("SHORT-NAME", name);
    w.Open("APPLICATION-ENDPOINT");
    w.Leaf("SHORT-NAME", name + "Endpoint");
    w.Ref("NETWORK-ENDPOINT-REF", "NETWORK-ENDPOINT",
          "/Cluster/Eth/Channel/Endpoint" + std::to_string(port % 16));
    w.Leaf("PRIORITY", std::to_string(port % 8));
    const char* tp = udp ? "UDP-TP" : "TCP-TP";
    const std::string portTag = std::string(tp) + "-PORT";
    w.text += "<TP-CONFIGURATION><" + std::string(tp) + "><" + portTag +
              "><DYNAMICALLY-ASSIGNED>false</DYNAMICALLY-ASSIGNED><PORT-NUMBER>" +
              std::to_string(30000 + port) + "</PORT-NUMBER></" + portTag + "></" + tp +
              "></TP-CONFIGURATION>";
    w.Close("APPLICATION-ENDPOINT");
    w.Close("SOCKET-ADDRESS");
}

void Cluster(Writer& w, size_t services) {
    w.PackageOpen("Cluster");
    w.Open("ELEMENTS");
    w.Open("ETHERNET-CLUSTER");
    w.Leaf("SHORT-NAME", "Eth");
    w.text += "<ETHERNET-CLUSTER-VARIANTS><ETHERNET-CLUSTER-CONDITIONAL><PHYSICAL-CHANNELS>";
    w.Open("ETHERNET-PHYSICAL-CHANNEL");
    w.Leaf("SHORT-NAME", "Channel");
    w.Open("NETWORK-ENDPOINTS");
    for (int e = 0; e < 16; ++e) {
        w.text +=
            "<NETWORK-ENDPOINT><SHORT-NAME>Endpoint" + std::to_string(e) +
            "</SHORT-NAME><NETWORK-ENDPOINT-ADDRESSES><IPV-6-CONFIGURATION><IPV-6-ADDRESS>fd00::" +
            std::to_string(e + 1) +
            "</IPV-6-ADDRESS><IPV-6-ADDRESS-SOURCE>FIXED</IPV-6-ADDRESS-SOURCE>"
            "</IPV-6-CONFIGURATION></NETWORK-ENDPOINT-ADDRESSES></NETWORK-ENDPOINT>";
    }
    w.Close("NETWORK-ENDPOINTS");
    w.Open("SO-AD-CONFIG");
    w.Open("CONNECTION-BUNDLES");
    for (size_t s = 0; s < services; ++s) {
        const std::string name = "Bundle" + std::to_string(s);
        w.Open("SOCKET-CONNECTION-BUNDLE");
        w.Leaf("SHORT-NAME", name);
        w.Open("BUNDLED-CONNECTIONS");
        for (int c = 0; c < 2; ++c) {
            w.Open("SOCKET-CONNECTION");
            w.Ref("CLIENT-PORT-REF", "SOCKET-ADDRESS",
                  "/Cluster/Eth/Channel/Client" + std::to_string(s) + "_" + std::to_string(c));
            w.Leaf("SHORT-LABEL", name + "_" + std::to_string(c));
            w.Close("SOCKET-CONNECTION");
        }
        w.Close("BUNDLED-CONNECTIONS");
        w.Ref("SERVER-PORT-REF", "SOCKET-ADDRESS",
              "/Cluster/Eth/Channel/Server" + std::to_string(s));
        w.Close("SOCKET-CONNECTION-BUNDLE");
    }
    w.Close("CONNECTION-BUNDLES");
    w.Open("SOCKET-ADDRESSS");
    for (size_t s = 0; s < services; ++s) {
        SocketAddress(w, "Server" + std::to_string(s), s, true);
        for (int c = 0; c < 2; ++c) {
            SocketAddress(w, "Client" + std::to_string(s) + "_" + std::to_string(c), s + c, c == 0);
        }
    }
    w.Close("SOCKET-ADDRESSS");
    w.Close("SO-AD-CONFIG");
    w.text += "<VLAN><SHORT-NAME>Vlan</SHORT-NAME><VLAN-IDENTIFIER>10</VLAN-IDENTIFIER></VLAN>";
    w.Close("ETHERNET-PHYSICAL-CHANNEL");
    w.text +=
        "</PHYSICAL-CHANNELS><PROTOCOL-NAME>SOME/IP</PROTOCOL-NAME>"
        "</ETHERNET-CLUSTER-CONDITIONAL></ETHERNET-CLUSTER-VARIANTS>";
    w.Close("ETHERNET-CLUSTER");
    w.Close("ELEMENTS");
    w.PackageClose();
}

}  // namespace

std::string GenerateSomeIpDescription(size_t targetBytes, uint32_t seed, SomeIpFigures* figures) {
    // One service with its types, deployment and sockets is about 170 KB.
    constexpr size_t kFields = 40, kEvents = 40, kGroups = 8, kStructures = 24, kMembers = 12;
    const size_t services = targetBytes / 170000 + 1;
    Writer w(seed);
    w.text.reserve(targetBytes + targetBytes / 8);
    w.text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AUTOSAR><AR-PACKAGES>";
    w.PackageOpen("ECU");
    w.text +=
        "<ELEMENTS><ECU-INSTANCE><SHORT-NAME>Gateway</SHORT-NAME></ECU-INSTANCE>"
        "<ECU-INSTANCE><SHORT-NAME>HeadUnit</SHORT-NAME></ECU-INSTANCE></ELEMENTS>";
    w.PackageClose();
    BaseTypes(w);
    w.PackageOpen("riz");
    w.Open("AR-PACKAGES");
    w.PackageOpen("instances");
    w.Open("ELEMENTS");
    for (size_t s = 0; s < services; ++s) Instance(w, "Service" + std::to_string(s), s);
    w.Close("ELEMENTS");
    w.PackageClose();
    w.PackageOpen("deployments");
    w.Open("ELEMENTS");
    for (size_t s = 0; s < services; ++s) {
        Deployment(w, "Service" + std::to_string(s), s, kFields, kEvents, kGroups);
    }
    w.Close("ELEMENTS");
    w.PackageClose();
    StdTypes(w);
    w.PackageOpen("services");
    w.Open("AR-PACKAGES");
    for (size_t s = 0; s < services; ++s) {
        ServiceTypes(w, "Service" + std::to_string(s), kStructures, kMembers);
    }
    w.Close("AR-PACKAGES");
    w.PackageClose();
    w.Close("AR-PACKAGES");
    w.PackageClose();
    Cluster(w, services);
    w.text += "</AR-PACKAGES></AUTOSAR>\n";
    if (figures != nullptr) {
        figures->bytes = w.text.size();
        figures->services = services;
        figures->fields = services * kFields;
        figures->eventGroups = services * kGroups;
        figures->structures = services * kStructures;
        figures->bundles = services;
    }
    return std::move(w.text);
}

}  // namespace qm::bench
