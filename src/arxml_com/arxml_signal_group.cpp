#include "arxml_com/arxml_signal_group.h"

#include "arxml_com/arxml_pdu.h"

namespace qm::arxml {

void ArxmlSignalGroup::Clear() {
    name_.clear();
    signals_.Clear();
    pdu_ = nullptr;
}

IArxmlPdu* ArxmlSignalGroup::GetPdu() {
    return pdu_;
}

}  // namespace qm::arxml
