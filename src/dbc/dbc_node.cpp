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
    rxMessages_.clear();
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
    return ItemAt(rxMessages_, index);
}

IDbcMessage* DbcNode::FindRxMessage(const char* name) {
    return FindByName(rxMessages_, name);
}

void DbcNode::AddRxSignal(DbcSignal* signal, DbcMessage* message) {
    // Each received signal lists its message too, so the two lists run side by side: a message
    // appears once for every signal of it that the node receives.
    rxSignals_.push_back(signal);
    rxMessages_.push_back(message);
}

}  // namespace qm::dbc
