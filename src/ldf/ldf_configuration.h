#pragma once
// Composite node configurations: per configuration the composite nodes and their logical nodes.
#include <memory>
#include <string>
#include <vector>

#include "ldf/ldf_collections.h"
#include "ldf/ldf_text.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

class LdfNode;

class CompositeNodeGroup : public ICompositeNodeGroup {
  public:
    void Clear() override;
    ILdfNode* GetCompositeNode() override;
    uint64_t GetLogicalNodeCount() override { return logicalNodes.size(); }
    ILdfNode* GetLogicalNode(uint64_t index) override;
    ILdfNode* FindLogicalNode(const char* name) override;

    LdfNode* compositeNode = nullptr;
    std::vector<LdfNode*> logicalNodes;
};

class LdfConfiguration : public ILdfConfiguration {
  public:
    void Clear() override;
    const char* GetName() override { return name.c_str(); }
    uint64_t GetCompositeNodeGroupCount() override { return groups.size(); }
    ICompositeNodeGroup* GetCompositeNodeGroup(uint64_t index) override;
    ICompositeNodeGroup* FindCompositeNodeGroup(const char* compositeNodeName) override;

    LdfText name;
    std::vector<std::unique_ptr<CompositeNodeGroup>> groups;
};

}  // namespace qm::ldf
