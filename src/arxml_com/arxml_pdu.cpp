#include "arxml_com/arxml_pdu.h"

namespace qm::arxml {

void ArxmlPdu::Clear() {
    name_.clear();
    identifier_ = -1;
    length_ = 0;
    standardAddressing_ = false;
    extendedAddressing_ = false;
    rxBehavior_.clear();
    txBehavior_.clear();
    // Groups list signals, so they go first.
    groups_.Clear();
    signals_.Clear();
    cyclicTimePeriod_ = 0.0;
    hasCyclicTimePeriod_ = false;
    timeOffset_ = 0.0;
    hasTimeOffset_ = false;
    repetitions_ = 0;
    hasRepetitions_ = false;
    minimumDelay_ = 0.0;
    hasMinimumDelay_ = false;
    unusedBitPattern_ = 0;
    headerSize_ = 0;
    headerBigEndian_ = true;
    contained_.clear();
    frameName_.clear();
}

ArxmlSignal* ArxmlPdu::AddSignal(std::unique_ptr<ArxmlSignal> signal) {
    signal->SetPdu(this);
    return signals_.Add(std::move(signal));
}

ArxmlSignalGroup* ArxmlPdu::AddSignalGroup(std::unique_ptr<ArxmlSignalGroup> group) {
    group->SetPdu(this);
    return groups_.Add(std::move(group));
}

}  // namespace qm::arxml
