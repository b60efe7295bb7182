#include "someip/ethernet_model.h"

namespace qm::someip {

void CApplicationEndpoint::Clear() {
    name.clear();
    networkEndpoint.reset();
    priority = 0;
    dynamicallyAssigned = 1;
    portNumber = 0;
    protocol_ = kProtocolUndefined;
    protocolText_.clear();
}

void CApplicationEndpoint::SetProtocol(uint32_t code) {
    protocol_ = code;
    protocolText_ = code == kProtocolTcp ? "tcp" : code == kProtocolUdp ? "udp" : "undefined";
}

void CSocketConnection::Clear() {
    clientIpFromRequest = 0;
    clientPortFromRequest = 0;
    maxBufferSize = 0;
    clientPort.reset();
    pdus.Clear();
    runtimeIp.clear();
    runtimePort.clear();
    shortLabel.clear();
}

}  // namespace qm::someip
