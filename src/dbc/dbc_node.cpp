#include "dbc/dbc_node.h"

#include "dbc/dbc_lists.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_signal.h"

namespace qm::dbc {

DbcNode::~DbcNode() {
    Clear();
}

void DbcNode::Clear() {
    if (unregister_) {
        for (DbcAttribute* attribute : attributes_.Items()) unregister_(attribute);
    }
    attributes_.DeleteAll(true);
    name_.clear();
    comment_.clear();
    txMessages_.clear();
    rxSignals_.clear();
}

IDbcMessage* DbcNode::GetTxMessage(uint64_t index) {
    return ItemAt(txMessages_, index);
}

IDbcMessage* DbcNode::FindTxMessage(const char* name) {
    return FindByName(txMessages_, name);
}

IDbcSignal* DbcNode::GetRxSignal(uint64_t index) {
    return ItemAt(rxSignals_, index);
}

IDbcSignal* DbcNode::FindRxSignal(const char* name) {
    return FindByName(rxSignals_, name);
}

IDbcMessage* DbcNode::GetRxMessage(uint64_t index) {
    DbcSignal* signal = ItemAt(rxSignals_, index);
    return signal ? signal->Message() : nullptr;
}

IDbcMessage* DbcNode::FindRxMessage(const char* name) {
    if (!name) return nullptr;
    // The first received signal whose message has the name, as a search of a list of the
    // messages (one entry per received signal) finds it.
    for (DbcSignal* signal : rxSignals_) {
        DbcMessage* message = signal->Message();
        if (message && message->Name() == name) return message;
    }
    return nullptr;
}

void DbcNode::AddRxSignal(DbcSignal* signal) {
    rxSignals_.push_back(signal);
}

void DbcNode::TrimLists() {
    rxSignals_.shrink_to_fit();
    txMessages_.shrink_to_fit();
}

}  // namespace qm::dbc
