#include "netconfig/net_ecu.h"

#include "netconfig/net_lookup.h"
#include "netconfig/net_message.h"
#include "netconfig/net_signal.h"

void NetEcu::Clear() {
    qm::net::KeysChanged();
    name_.clear();
    txMessages_.Clear();
    rxMessages_.Clear();
    rxSignals_.Clear();
    properties_.Clear();
    fileAttributes_.Clear();
    slave_ = 0;
    master_ = 0;
}

INetMessage* NetEcu::FindTxMessage(const char* name) {
    return txMessages_.FindName(name);
}
INetMessage* NetEcu::FindTxMessage(uint32_t id) {
    return txMessages_.FindId(id);
}
INetMessage* NetEcu::GetTxMessage(uint64_t index) {
    return txMessages_.At(index);
}
INetMessage* NetEcu::FindRxMessage(const char* name) {
    return rxMessages_.FindName(name);
}
INetMessage* NetEcu::FindRxMessage(uint32_t id) {
    return rxMessages_.FindId(id);
}
INetMessage* NetEcu::GetRxMessage(uint64_t index) {
    return rxMessages_.At(index);
}
INetSignal* NetEcu::FindRxSignal(const char* name) {
    return rxSignals_.FindName(name);
}
INetSignal* NetEcu::GetRxSignal(uint64_t index) {
    return rxSignals_.At(index);
}

INetAttribute* NetEcu::FindFileAttribute(const char* name) {
    return fileAttributes_.Find(name);
}
INetAttribute* NetEcu::GetFileAttribute(uint64_t index) {
    return fileAttributes_.At(index);
}
