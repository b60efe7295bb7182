#include <utility>
#include <vector>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"

namespace qm::someip {

namespace {

// What the walk no longer collects below an element: a "riz" SHORT-NAME is not searched
// further for more of them, an Ethernet cluster is not searched for clusters.
constexpr uint8_t kBelowRiz = 1;
constexpr uint8_t kBelowCluster = 2;

bool IsRizName(const NanoXML* node) {
    return node->name == "SHORT-NAME" && node->text == "riz" && node->parent != nullptr &&
           node->parent->name == "AR-PACKAGE";
}

void NotePduTriggering(const NanoXML* triggering, TreeSurvey& survey) {
    const NanoXML* pdu = RefTarget(triggering, "I-PDU-REF");
    if (pdu != nullptr) survey.triggeringOfPdu.emplace(pdu, triggering);
}

}  // namespace

TreeSurvey SurveyTree(NanoXML* root) {
    TreeSurvey survey;
    if (root == nullptr) return survey;
    // Pre-order, the order in which each search alone would meet its elements.
    std::vector<std::pair<NanoXML*, uint8_t>> pending{{root, 0}};
    while (!pending.empty()) {
        auto [node, below] = pending.back();
        pending.pop_back();
        if (node != root) ++survey.elementCount;
        if ((below & kBelowRiz) == 0 && IsRizName(node)) {
            survey.rizPackages.push_back(node->parent);
            below |= kBelowRiz;
        }
        if ((below & kBelowCluster) == 0 && node->name == "ETHERNET-CLUSTER") {
            survey.ethernetClusters.push_back(node);
            below |= kBelowCluster;
        }
        if (node->name == "PDU-TRIGGERING") NotePduTriggering(node, survey);
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            pending.emplace_back(*it, below);
        }
    }
    return survey;
}

}  // namespace qm::someip
