#include "ldf/ldf_configuration.h"

#include "ldf/ldf_node.h"

namespace qm::ldf {

void CompositeNodeGroup::Clear() {
    compositeNode = nullptr;
    logicalNodes.clear();
}

ILdfNode* CompositeNodeGroup::GetCompositeNode() {
    return compositeNode;
}

ILdfNode* CompositeNodeGroup::GetLogicalNode(uint64_t index) {
    return AtOrNull(logicalNodes, index);
}

ILdfNode* CompositeNodeGroup::FindLogicalNode(const char* wanted) {
    return FindFirstByName(logicalNodes, wanted);
}

void LdfConfiguration::Clear() {
    name.clear();
    groups.clear();
}

ICompositeNodeGroup* LdfConfiguration::GetCompositeNodeGroup(uint64_t index) {
    return index < groups.size() ? groups[index].get() : nullptr;
}

ICompositeNodeGroup* LdfConfiguration::FindCompositeNodeGroup(const char* compositeNodeName) {
    if (!compositeNodeName) return nullptr;
    for (const auto& group : groups) {
        if (group->compositeNode && group->compositeNode->name == compositeNodeName) {
            return group.get();
        }
    }
    return nullptr;
}

}  // namespace qm::ldf
