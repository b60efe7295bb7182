#include "netconfig/net_message.h"

#include <algorithm>

#include "netconfig/net_ecu.h"
#include "netconfig/net_lookup.h"
#include "netconfig/net_signal.h"

void NetMessage::Clear() {
    qm::net::KeysChanged();
    transmitter_ = nullptr;
    receivers_.clear();
    signals_.clear();
    id_ = 0;
    name_.clear();
    size_ = 0;
    extended_ = false;
    properties_.Clear();
    fileAttributes_.Clear();
}

bool NetMessage::SetData(const uint8_t* payload) {
    if (payload == nullptr) return false;
    for (NetSignal* signal : signals_) signal->Distribute(payload);
    return true;
}

INetEcu* NetMessage::GetTransmitter() {
    return transmitter_;
}

INetEcu* NetMessage::FindReceiver(const char* name) {
    return qm::net::FindByName(receivers_, name);
}

INetEcu* NetMessage::GetReceiver(uint64_t index) {
    return qm::net::ItemAt(receivers_, index);
}

INetSignal* NetMessage::FindSignal(const char* name) {
    return qm::net::FindByName(signals_, name);
}

INetSignal* NetMessage::GetSignal(uint64_t index) {
    return qm::net::ItemAt(signals_, index);
}

INetAttribute* NetMessage::FindFileAttribute(const char* name) {
    return fileAttributes_.Find(name);
}

INetAttribute* NetMessage::GetFileAttribute(uint64_t index) {
    return fileAttributes_.At(index);
}

bool NetMessage::AddReceiver(NetEcu* ecu) {
    if (ecu == nullptr) return false;
    if (std::find(receivers_.begin(), receivers_.end(), ecu) != receivers_.end()) return false;
    receivers_.push_back(ecu);
    return true;
}
