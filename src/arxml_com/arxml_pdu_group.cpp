#include "arxml_com/arxml_pdu_group.h"

namespace qm::arxml {

void ArxmlPduGroup::Clear() {
    name_.clear();
    direction_ = kArxmlDirectionOut;
    directionText_.clear();
    mode_ = kArxmlModeNormal;
    modeText_.clear();
    pdus_.Clear();
}

}  // namespace qm::arxml
