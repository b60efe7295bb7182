#include "ldf/ldf_signal_group.h"

#include "ldf/ldf_signal.h"

namespace qm::ldf {

void LdfSignalGroup::Clear() {
    name.clear();
    size = 0;
    signals.clear();
}

ILdfStandardSignal* LdfSignalGroup::GetSignal(uint64_t index) {
    return AtOrNull(signals, index);
}

ILdfStandardSignal* LdfSignalGroup::FindSignal(const char* wanted) {
    return FindFirstByName(signals, wanted);
}

}  // namespace qm::ldf
