#include "arxml_com/arxml_cluster.h"

namespace qm::arxml {

void ArxmlCluster::Clear() {
    name_.clear();
    kind_ = kArxmlClusterNone;
    baudrate_ = 0;
    canFdBaudrate_ = 0;
    protocolName_.clear();
    protocolVersion_.clear();
    ecus_.Clear();
    pdus_.Clear();
}

}  // namespace qm::arxml
