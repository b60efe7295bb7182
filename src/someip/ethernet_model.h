#pragma once
// The Ethernet topology: clusters with their physical channel, VLAN, socket adaptor
// configuration, connection bundles, connections, socket addresses and endpoints.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmere/someip.h"
#include "someip/owned_items.h"

namespace qm::someip {

class CNetworkEndpoint : public INetworkEndpoint {
  public:
    void Clear() override { *this = CNetworkEndpoint(); }
    const char* GetName() override { return name.c_str(); }
    const char* GetDefaultRouter() override { return defaultRouter.c_str(); }
    const char* GetIpv6Address() override { return ipv6Address.c_str(); }
    const char* GetIpv6AddressSource() override { return ipv6AddressSource.c_str(); }
    const std::string& Name() const { return name; }

    std::string name;
    std::string defaultRouter;
    std::string ipv6Address;
    std::string ipv6AddressSource;
};

class CEthCommConn : public IEthCommConn {
  public:
    void Clear() override {
        name.clear();
        pncGatewayType.clear();
        mtu = 0;
        endpoints.Clear();
    }
    const char* GetName() override { return name.c_str(); }
    const char* GetPncGatewayType() override { return pncGatewayType.c_str(); }
    uint32_t GetMtu() override { return mtu; }
    uint64_t GetNetworkEndpointCount() override { return endpoints.Count(); }
    INetworkEndpoint* GetNetworkEndpoint(uint64_t index) override { return endpoints.At(index); }

    std::string name;
    std::string pncGatewayType;
    uint32_t mtu = 0;
    OwnedItems<CNetworkEndpoint> endpoints;
};

// Transport protocol codes of an application endpoint.
enum TransportProtocol : uint32_t { kProtocolTcp = 0, kProtocolUdp = 1, kProtocolUndefined = 2 };

class CApplicationEndpoint : public IApplicationEndpoint {
  public:
    void Clear() override;
    const char* GetName() override { return name.c_str(); }
    INetworkEndpoint* GetNetworkEndpoint() override { return networkEndpoint.get(); }
    uint8_t GetPriority() override { return priority; }
    uint32_t GetProtocol() override { return protocol_; }
    const char* GetProtocolText() override { return protocolText_.c_str(); }
    bool IsDynamicallyAssigned() override { return dynamicallyAssigned != 0; }
    uint32_t GetPortNumber() override { return portNumber; }

    // Stores the code and its text together: 0 "tcp", 1 "udp", anything else "undefined".
    void SetProtocol(uint32_t code);

    std::string name;
    std::unique_ptr<CNetworkEndpoint> networkEndpoint;
    uint8_t priority = 0;
    uint8_t dynamicallyAssigned = 1;
    uint32_t portNumber = 0;

  private:
    uint32_t protocol_ = kProtocolUndefined;
    std::string protocolText_;
};

class CSocketAddress : public ISocketAddress {
  public:
    void Clear() override {
        name.clear();
        applicationEndpoint.reset();
        multicastConnector.reset();
    }
    const char* GetName() override { return name.c_str(); }
    IApplicationEndpoint* GetApplicationEndpoint() override { return applicationEndpoint.get(); }
    IEthCommConn* GetMulticastConnector() override { return multicastConnector.get(); }

    std::string name;
    std::unique_ptr<CApplicationEndpoint> applicationEndpoint;
    std::unique_ptr<CEthCommConn> multicastConnector;
};

class CPduTriggering : public IPduTriggering {
  public:
    void Clear() override {
        name.clear();
        pduName.clear();
        pduKind.clear();
        signalNames.clear();
        systemSignalNames.clear();
    }
    const char* GetName() override { return name.c_str(); }
    const char* GetPduName() override { return pduName.c_str(); }
    const char* GetPduKind() override { return pduKind.c_str(); }
    uint64_t GetSignalCount() override { return signalNames.size(); }
    const char* GetSignalName(uint64_t index) override { return TextAt(signalNames, index); }
    const char* GetSystemSignalName(uint64_t index) override {
        return TextAt(systemSignalNames, index);
    }

    std::string name;
    std::string pduName;
    std::string pduKind;
    std::vector<std::string> signalNames;        // one per signal triggering
    std::vector<std::string> systemSignalNames;  // parallel to signalNames, "" when none
};

class CPduIdentifier : public IPduIdentifier {
  public:
    void Clear() override {
        headerId = 0;
        collectionSemantics.clear();
        collectionTrigger.clear();
        triggering.reset();
    }
    uint32_t GetHeaderId() override { return headerId; }
    const char* GetPduCollectionSemantics() override { return collectionSemantics.c_str(); }
    const char* GetPduCollectionTrigger() override { return collectionTrigger.c_str(); }
    IPduTriggering* GetPduTriggering() override { return triggering.get(); }

    uint32_t headerId = 0;
    std::string collectionSemantics;
    std::string collectionTrigger;
    std::unique_ptr<CPduTriggering> triggering;
};

class CSocketConnection : public ISocketConnection {
  public:
    void Clear() override;
    bool IsClientIpFromConnectionRequest() override { return clientIpFromRequest != 0; }
    bool IsClientPortFromConnectionRequest() override { return clientPortFromRequest != 0; }
    uint8_t GetPduCollectionMaxBufferSize() override { return maxBufferSize; }
    ISocketAddress* GetClientPort() override { return clientPort.get(); }
    uint64_t GetPduCount() override { return pdus.Count(); }
    IPduIdentifier* GetPdu(uint64_t index) override { return pdus.At(index); }
    const char* GetRuntimeIpAddressConfiguration() override { return runtimeIp.c_str(); }
    const char* GetRuntimePortConfiguration() override { return runtimePort.c_str(); }
    const char* GetShortLabel() override { return shortLabel.c_str(); }

    uint8_t clientIpFromRequest = 0;
    uint8_t clientPortFromRequest = 0;
    uint8_t maxBufferSize = 0;
    std::unique_ptr<CSocketAddress> clientPort;
    OwnedItems<CPduIdentifier> pdus;
    std::string runtimeIp;
    std::string runtimePort;
    std::string shortLabel;
};

class CSocketConnectionBundle : public ISocketConnectionBundle {
  public:
    void Clear() override {
        name.clear();
        connections.Clear();
        serverPort.reset();
    }
    const char* GetName() override { return name.c_str(); }
    uint64_t GetConnectionCount() override { return connections.Count(); }
    ISocketConnection* GetConnection(uint64_t index) override { return connections.At(index); }
    ISocketAddress* GetServerPort() override { return serverPort.get(); }
    const std::string& Name() const { return name; }

    std::string name;
    OwnedItems<CSocketConnection> connections;
    std::unique_ptr<CSocketAddress> serverPort;
};

class CSoAdConfig : public ISoAdConfig {
  public:
    void Clear() override { bundles.Clear(); }
    uint64_t GetBundleCount() override { return bundles.Count(); }
    ISocketConnectionBundle* GetBundle(uint64_t index) override { return bundles.At(index); }

    OwnedItems<CSocketConnectionBundle> bundles;
};

class CVlanConfig : public IVlanConfig {
  public:
    void Clear() override {
        name.clear();
        vlanId = 0;
    }
    const char* GetName() override { return name.c_str(); }
    uint16_t GetVlanId() override { return vlanId; }

    std::string name;
    uint16_t vlanId = 0;
};

class CEthernetPhysicalChannel : public IEthernetPhysicalChannel {
  public:
    void Clear() override {
        name.clear();
        soAd.reset();
        vlan.reset();
    }
    const char* GetName() override { return name.c_str(); }
    ISoAdConfig* GetSoAdConfig() override { return soAd.get(); }
    IVlanConfig* GetVlan() override { return vlan.get(); }

    std::string name;
    std::unique_ptr<CSoAdConfig> soAd;
    std::unique_ptr<CVlanConfig> vlan;
};

class CEthernetCluster : public IEthernetCluster {
  public:
    void Clear() override {
        channel.reset();
        name.clear();
        protocolName.clear();
        protocolVersion.clear();
    }
    const char* GetName() override { return name.c_str(); }
    IEthernetPhysicalChannel* GetPhysicalChannel() override { return channel.get(); }
    const char* GetProtocolName() override { return protocolName.c_str(); }
    const char* GetProtocolVersion() override { return protocolVersion.c_str(); }
    const std::string& Name() const { return name; }

    std::unique_ptr<CEthernetPhysicalChannel> channel;
    std::string name;
    std::string protocolName;
    std::string protocolVersion;
};

class CCluster : public ICluster {
  public:
    void Clear() override { clusters.Clear(); }
    uint64_t GetEthernetClusterCount() override { return clusters.Count(); }
    IEthernetCluster* GetEthernetCluster(uint64_t index) override { return clusters.At(index); }
    IEthernetCluster* FindEthernetCluster(const char* name) override { return clusters.Find(name); }

    OwnedItems<CEthernetCluster> clusters;
};

}  // namespace qm::someip
