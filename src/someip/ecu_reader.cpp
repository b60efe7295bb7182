#include <unordered_set>
#include <utility>
#include <vector>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"

namespace qm::someip {

namespace {

// How many link steps deep the PDU groups of an ECU are looked for.
constexpr int kGroupSearchDepth = 20;

// Every I-SIGNAL-I-PDU-GROUP reached from node through children and links, at most `depth`
// levels down, in pre-order of first visit. Each element is expanded once, so that shared or
// cyclic references cannot make the walk grow beyond the size of the tree.
std::vector<const NanoXML*> PduGroupsBelow(const NanoXML* node, int depth) {
    std::vector<const NanoXML*> groups;
    std::unordered_set<const NanoXML*> seen;
    std::vector<std::pair<const NanoXML*, int>> pending{{Resolved(node), depth}};
    while (!pending.empty()) {
        auto [current, remaining] = pending.back();
        pending.pop_back();
        if (current == nullptr || !seen.insert(current).second) continue;
        if (current->name == "I-SIGNAL-I-PDU-GROUP") groups.push_back(current);
        if (remaining < 1) continue;
        for (auto it = current->children.rbegin(); it != current->children.rend(); ++it) {
            pending.emplace_back(Resolved(*it), remaining - 1);
        }
    }
    return groups;
}

void ReadEcuElement(const NanoXML* element, const TreeSurvey& survey, OwnedItems<CEcu>& ecus) {
    const NanoXML* nameNode = Child(element, "SHORT-NAME");
    if (nameNode == nullptr) return;
    const std::string name = nameNode->GetText();
    CEcu* ecu = ecus.Find(name.c_str());
    if (ecu == nullptr) ecu = ecus.Add(std::make_unique<CEcu>(name));
    const NanoXML* refs = Child(element, "ASSOCIATED-COM-I-PDU-GROUP-REFS");
    if (refs == nullptr) return;
    for (const NanoXML* group : PduGroupsBelow(refs, kGroupSearchDepth)) {
        CNode* node = ecu->nodes.Add(std::make_unique<CNode>(ShortName(group)));
        ReadPduGroup(*node, group, survey);
    }
}

void ReadEcuPackage(const NanoXML* candidate, const TreeSurvey& survey, OwnedItems<CEcu>& ecus) {
    const NanoXML* nameNode = Child(candidate, "SHORT-NAME");
    if (nameNode == nullptr || nameNode->text != "ECU") return;
    const NanoXML* elements = Child(candidate, "ELEMENTS");
    if (elements == nullptr) return;
    for (const NanoXML* element : elements->children) ReadEcuElement(element, survey, ecus);
}

}  // namespace

void ReadEcus(NanoXML* root, const TreeSurvey& survey, OwnedItems<CEcu>& ecus) {
    if (root == nullptr) return;
    for (const NanoXML* child : root->children) {
        ReadEcuPackage(child, survey, ecus);
        for (const NanoXML* grandchild : child->children) {
            ReadEcuPackage(grandchild, survey, ecus);
        }
    }
}

}  // namespace qm::someip
