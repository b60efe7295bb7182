#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "someip/someip_readers.h"

namespace qm::someip {

namespace {

std::string PackageName(const NanoXML* package) {
    for (const NanoXML* child : package->children) {
        if (child->name == "SHORT-NAME") return child->text;
    }
    return {};
}

// The AR-PACKAGE children of node and of its AR-PACKAGES children, in document order.
std::vector<NanoXML*> PackageLevel(NanoXML* node) {
    std::vector<NanoXML*> level;
    for (NanoXML* child : node->children) {
        if (child->name == "AR-PACKAGE") {
            level.push_back(child);
        } else if (child->name == "AR-PACKAGES") {
            for (NanoXML* grandchild : child->children) {
                if (grandchild->name == "AR-PACKAGE") level.push_back(grandchild);
            }
        }
    }
    return level;
}

// The lists a package holds: a later package's lists join the first package's lists of the
// same name instead of standing beside them.
bool IsPackageList(const std::string& name) {
    return name == "ELEMENTS" || name == "AR-PACKAGES";
}

NanoXML* FirstChildNamed(NanoXML* node, const std::string& name) {
    for (NanoXML* child : node->children) {
        if (child->name == name) return child;
    }
    return nullptr;
}

void Adopt(NanoXML* parent, NanoXML* child) {
    child->parent = parent;
    parent->children.push_back(child);
}

// Moves one child of a merged package into the first package.
void MoveChild(NanoXML* first, NanoXML* child, std::vector<std::unique_ptr<NanoXML>>& remnants) {
    NanoXML* list = IsPackageList(child->name) ? FirstChildNamed(first, child->name) : nullptr;
    if (list == nullptr) {
        Adopt(first, child);
        return;
    }
    for (NanoXML* item : child->children) Adopt(list, item);
    child->children.clear();
    child->parent = nullptr;
    child->link = list;
    remnants.emplace_back(child);
}

void MergeInto(NanoXML* first, NanoXML* later, std::vector<std::unique_ptr<NanoXML>>& remnants) {
    std::vector<NanoXML*> kept;
    std::vector<NanoXML*> moving;
    for (NanoXML* child : later->children) {
        (child->name == "SHORT-NAME" ? kept : moving).push_back(child);
    }
    later->children = std::move(kept);
    for (NanoXML* child : moving) MoveChild(first, child, remnants);
    NanoXML* parent = later->parent;
    if (parent != nullptr) std::erase(parent->children, later);
    later->parent = nullptr;
    later->link = first;
    remnants.emplace_back(later);
}

void MergeLevel(NanoXML* node, std::vector<std::unique_ptr<NanoXML>>& remnants) {
    const std::vector<NanoXML*> level = PackageLevel(node);
    if (level.size() < 2) return;  // nothing to merge
    std::unordered_map<std::string, NanoXML*> firstByName;
    for (NanoXML* package : level) {
        const std::string name = PackageName(package);
        const auto [it, inserted] = firstByName.emplace(name, package);
        if (!inserted) MergeInto(it->second, package, remnants);
    }
}

}  // namespace

void MergePackages(NanoXML* root, std::vector<std::unique_ptr<NanoXML>>& remnants,
                   TreeSurvey* survey) {
    if (root == nullptr) return;
    // Pre-order without recursion: a level is merged before its packages are visited, so that
    // what moved into a package is merged again one level down. A merge changes only the
    // elements below the one being visited, so each element's children are final when it is
    // taken: the walk is a pre-order walk of the merged tree, which the survey rides on.
    std::vector<std::pair<NanoXML*, uint8_t>> pending{{root, 0}};
    while (!pending.empty()) {
        const auto [node, above] = pending.back();
        pending.pop_back();
        if (node->children.size() > 1 || node->name == "AR-PACKAGES") MergeLevel(node, remnants);
        const uint8_t below = survey != nullptr ? survey->Visit(node, node == root, above) : 0;
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            pending.emplace_back(*it, below);
        }
    }
}

}  // namespace qm::someip
