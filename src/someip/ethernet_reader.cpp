#include <memory>
#include <string>
#include <vector>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"

namespace qm::someip {

namespace {

std::unique_ptr<CNetworkEndpoint> ReadNetworkEndpoint(const NanoXML* element) {
    auto endpoint = std::make_unique<CNetworkEndpoint>();
    endpoint->name = ShortName(element);
    const NanoXML* ipv6 = Path(element, {"NETWORK-ENDPOINT-ADDRESSES", "IPV-6-CONFIGURATION"});
    endpoint->defaultRouter = ChildText(ipv6, "DEFAULT-ROUTER");
    endpoint->ipv6Address = ChildText(ipv6, "IPV-6-ADDRESS");
    endpoint->ipv6AddressSource = ChildText(ipv6, "IPV-6-ADDRESS-SOURCE");
    return endpoint;
}

void ReadPort(CApplicationEndpoint& endpoint, const NanoXML* port) {
    if (port == nullptr) return;
    if (const NanoXML* dynamic = Child(port, "DYNAMICALLY-ASSIGNED")) {
        endpoint.dynamicallyAssigned = dynamic->GetText() == "false" ? 0 : 1;
    }
    if (const NanoXML* number = Child(port, "PORT-NUMBER")) {
        endpoint.portNumber = static_cast<uint32_t>(ParseAnyBase(number->GetText()));
    }
}

std::unique_ptr<CApplicationEndpoint> ReadApplicationEndpoint(const NanoXML* element) {
    auto endpoint = std::make_unique<CApplicationEndpoint>();
    endpoint->name = ShortName(element);
    if (const NanoXML* network = LinkedChild(element, "NETWORK-ENDPOINT")) {
        endpoint->networkEndpoint = ReadNetworkEndpoint(network);
    }
    if (const NanoXML* priority = Child(element, "PRIORITY")) {
        endpoint->priority = static_cast<uint8_t>(ParseAnyBase(priority->GetText()));
    }
    const NanoXML* tp = Child(element, "TP-CONFIGURATION");
    if (const NanoXML* udp = Child(tp, "UDP-TP")) {
        endpoint->SetProtocol(kProtocolUdp);
        ReadPort(*endpoint, LinkedChild(udp, "UDP-TP-PORT"));
    }
    if (const NanoXML* tcp = Child(tp, "TCP-TP")) {
        endpoint->SetProtocol(kProtocolTcp);
        ReadPort(*endpoint, LinkedChild(tcp, "TCP-TP-PORT"));
    }
    return endpoint;
}

std::unique_ptr<CEthCommConn> ReadConnector(const NanoXML* element) {
    auto connector = std::make_unique<CEthCommConn>();
    connector->name = ShortName(element);
    connector->pncGatewayType = ChildText(element, "PNC-GATEWAY-TYPE");
    connector->mtu =
        static_cast<uint32_t>(ParseAnyBase(ChildText(element, "MAXIMUM-TRANSMISSION-UNIT")));
    if (const NanoXML* refs = Child(element, "NETWORK-ENDPOINT-REFS")) {
        for (const NanoXML* ref : refs->children) {
            const NanoXML* target = arxml::Target(ref);
            if (target != nullptr) connector->endpoints.Add(ReadNetworkEndpoint(target));
        }
    }
    return connector;
}

std::unique_ptr<CSocketAddress> ReadSocketAddress(const NanoXML* element) {
    if (element == nullptr) return nullptr;
    auto address = std::make_unique<CSocketAddress>();
    address->name = ShortName(element);
    if (const NanoXML* endpoint = Child(element, "APPLICATION-ENDPOINT")) {
        address->applicationEndpoint = ReadApplicationEndpoint(endpoint);
    }
    if (const NanoXML* refs = Child(element, "MULTICAST-CONNECTOR-REFS")) {
        for (const NanoXML* ref : refs->children) {
            const NanoXML* target = arxml::Target(ref);
            if (target != nullptr && target->name == "ETHERNET-COMMUNICATION-CONNECTOR") {
                address->multicastConnector = ReadConnector(target);
                break;
            }
        }
    }
    return address;
}

std::unique_ptr<CPduIdentifier> ReadPduIdentifier(const NanoXML* element) {
    auto identifier = std::make_unique<CPduIdentifier>();
    identifier->headerId = static_cast<uint32_t>(ParseAnyBase(ChildText(element, "HEADER-ID")));
    identifier->collectionSemantics = ChildText(element, "PDU-COLLECTION-SEMANTICS");
    identifier->collectionTrigger = ChildText(element, "PDU-COLLECTION-TRIGGER");
    if (const NanoXML* triggering = LinkedChild(element, "PDU-TRIGGERING")) {
        identifier->triggering = ReadPduTriggering(triggering);
    }
    return identifier;
}

std::unique_ptr<CSocketConnection> ReadConnection(const NanoXML* element) {
    auto connection = std::make_unique<CSocketConnection>();
    if (Child(element, "CLIENT-IP-ADDR-FROM-CONNECTION-REQUEST"))
        connection->clientIpFromRequest = 1;
    if (Child(element, "CLIENT-PORT-FROM-CONNECTION-REQUEST"))
        connection->clientPortFromRequest = 1;
    connection->maxBufferSize =
        static_cast<uint8_t>(ParseAnyBase(ChildText(element, "PDU-COLLECTION-MAX-BUFFER-SIZE")));
    connection->runtimeIp = ChildText(element, "RUNTIME-IP-ADDRESS-CONFIGURATION");
    connection->runtimePort = ChildText(element, "RUNTIME-PORT-CONFIGURATION");
    connection->shortLabel = ChildText(element, "SHORT-LABEL");
    connection->clientPort = ReadSocketAddress(LinkedChild(element, "SOCKET-ADDRESS"));
    if (const NanoXML* pdus = Child(element, "PDUS")) {
        for (const NanoXML* pdu : pdus->children) connection->pdus.Add(ReadPduIdentifier(pdu));
    }
    return connection;
}

std::unique_ptr<CSocketConnectionBundle> ReadBundle(const NanoXML* element) {
    auto bundle = std::make_unique<CSocketConnectionBundle>();
    bundle->name = ShortName(element);
    bundle->serverPort = ReadSocketAddress(LinkedChild(element, "SOCKET-ADDRESS"));
    if (const NanoXML* connections = Child(element, "BUNDLED-CONNECTIONS")) {
        for (const NanoXML* connection : connections->children) {
            bundle->connections.Add(ReadConnection(connection));
        }
    }
    return bundle;
}

std::unique_ptr<CEthernetPhysicalChannel> ReadChannel(const NanoXML* element) {
    auto channel = std::make_unique<CEthernetPhysicalChannel>();
    channel->name = ShortName(element);
    if (const NanoXML* vlan = Child(element, "VLAN")) {
        channel->vlan = std::make_unique<CVlanConfig>();
        channel->vlan->name = ShortName(vlan);
        channel->vlan->vlanId =
            static_cast<uint16_t>(ParseDecimal(ChildText(vlan, "VLAN-IDENTIFIER")));
    }
    if (const NanoXML* soAd = Child(element, "SO-AD-CONFIG")) {
        channel->soAd = std::make_unique<CSoAdConfig>();
        if (const NanoXML* bundles = Child(soAd, "CONNECTION-BUNDLES")) {
            for (const NanoXML* bundle : bundles->children) {
                channel->soAd->bundles.Add(ReadBundle(bundle));
            }
        }
    }
    return channel;
}

std::unique_ptr<CEthernetCluster> ReadCluster(const NanoXML* element) {
    auto cluster = std::make_unique<CEthernetCluster>();
    cluster->name = ShortName(element);
    const NanoXML* channels = Descendant(element, "PHYSICAL-CHANNELS");
    if (channels == nullptr) return cluster;
    cluster->protocolName = ChildText(channels->parent, "PROTOCOL-NAME");
    cluster->protocolVersion = ChildText(channels->parent, "PROTOCOL-VERSION");
    if (const NanoXML* channel = Child(channels, "ETHERNET-PHYSICAL-CHANNEL")) {
        cluster->channel = ReadChannel(channel);
    }
    return cluster;
}

bool InClusterPackage(const NanoXML* node) {
    for (const NanoXML* at = node; at != nullptr; at = at->parent) {
        if (at->name == "AR-PACKAGE" && ShortName(at) == "Cluster") return true;
    }
    return false;
}

}  // namespace

std::unique_ptr<CPduTriggering> ReadPduTriggering(const NanoXML* element) {
    auto triggering = std::make_unique<CPduTriggering>();
    triggering->name = ShortName(element);
    if (const NanoXML* pdu = RefTarget(element, "I-PDU-REF")) {
        triggering->pduName = ShortName(pdu);
        triggering->pduKind = pdu->name;
    }
    const NanoXML* signals = Child(element, "I-SIGNAL-TRIGGERINGS");
    if (signals == nullptr) return triggering;
    for (const NanoXML* entry : signals->children) {
        const NanoXML* signalTriggering = arxml::Target(arxml::ReferenceOf(entry));
        const NanoXML* signal = RefTarget(signalTriggering, "I-SIGNAL-REF");
        triggering->signalNames.push_back(ShortName(signal));
        triggering->systemSignalNames.push_back(ShortName(LinkedChild(signal, "SYSTEM-SIGNAL")));
    }
    return triggering;
}

void ReadEthernetClusters(const TreeSurvey& survey, CCluster& container, bool inClusterPackage) {
    for (const NanoXML* cluster : survey.ethernetClusters) {
        if (InClusterPackage(cluster) == inClusterPackage)
            container.clusters.Add(ReadCluster(cluster));
    }
}

}  // namespace qm::someip
