#include "someip/ecu.h"

namespace qm::someip {

IPdu* CEcu::FindPdu(const char* name) {
    for (const auto& node : nodes) {
        if (IPdu* pdu = node->pdus.Find(name)) return pdu;
    }
    return nullptr;
}

ISignal* CEcu::FindSignal(const char* name) {
    for (const auto& node : nodes) {
        for (const auto& pdu : node->pdus) {
            if (ISignal* signal = pdu->signals.Find(name)) return signal;
        }
    }
    return nullptr;
}

CSomeIpServiceCfg* CEcu::ServiceNamed(const std::string& name) {
    if (CSomeIpServiceCfg* found = services.Find(name.c_str())) return found;
    return services.Add(std::make_unique<CSomeIpServiceCfg>(name));
}

}  // namespace qm::someip
