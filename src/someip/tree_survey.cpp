#include <utility>
#include <vector>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"

namespace qm::someip {

namespace {

bool IsRizName(const NanoXML* node) {
    return node->name == "SHORT-NAME" && node->text == "riz" && node->parent != nullptr &&
           node->parent->name == "AR-PACKAGE";
}

// What the walk no longer collects below an element: a "riz" SHORT-NAME is not searched
// further for more of them, an Ethernet cluster is not searched for clusters.
constexpr uint8_t kBelowRiz = 1;
constexpr uint8_t kBelowCluster = 2;

void NotePduTriggering(const NanoXML* triggering, TreeSurvey& survey) {
    const NanoXML* pdu = RefTarget(triggering, "I-PDU-REF");
    if (pdu != nullptr) survey.triggeringOfPdu.emplace(pdu, triggering);
}

}  // namespace

uint8_t TreeSurvey::Visit(NanoXML* node, bool isRoot, uint8_t below) {
    if (!isRoot) ++elementCount;
    if ((below & kBelowRiz) == 0 && IsRizName(node)) {
        rizPackages.push_back(node->parent);
        below |= kBelowRiz;
    }
    if ((below & kBelowCluster) == 0 && node->name == "ETHERNET-CLUSTER") {
        ethernetClusters.push_back(node);
        below |= kBelowCluster;
    }
    if (node->name == "PDU-TRIGGERING") NotePduTriggering(node, *this);
    return below;
}

}  // namespace qm::someip
