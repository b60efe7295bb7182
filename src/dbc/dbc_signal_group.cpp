#include "dbc/dbc_signal_group.h"

#include "dbc/dbc_lists.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_signal.h"

namespace qm::dbc {

void DbcSignalGroup::Clear() {
    name_.clear();
    message_ = nullptr;
    signals_.clear();
    repetitions_ = 0;
}

IDbcMessage* DbcSignalGroup::GetMessage() {
    return message_;
}

IDbcSignal* DbcSignalGroup::GetSignal(uint64_t index) {
    return ItemAt(signals_, index);
}

IDbcSignal* DbcSignalGroup::FindSignal(const char* name) {
    return FindByName(signals_, name);
}

}  // namespace qm::dbc
