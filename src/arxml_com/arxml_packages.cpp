#include "arxml_com/arxml_packages.h"

#include <algorithm>
#include <unordered_set>

#include "arxml_com/arxml_nodes.h"

namespace qm::arxml {

namespace {
// Containers through which packages nest, in AUTOSAR 3 and 4.
bool HoldsPackages(std::string_view name) {
    return name == "AR-PACKAGES" || name == "SUB-PACKAGES" || name == "TOP-LEVEL-PACKAGES";
}
}  // namespace

std::vector<const NanoXML*> AllPackages(const NanoXML* root) {
    std::vector<const NanoXML*> packages;
    if (root == nullptr) return packages;
    // Depth-first in document order: children are pushed in reverse.
    std::vector<const NanoXML*> stack(root->children.rbegin(), root->children.rend());
    while (!stack.empty()) {
        const NanoXML* node = stack.back();
        stack.pop_back();
        const bool package = node->name == "AR-PACKAGE";
        if (package) packages.push_back(node);
        if (!package && !HoldsPackages(node->name)) continue;
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            if ((*it)->name == "AR-PACKAGE" || HoldsPackages((*it)->name)) stack.push_back(*it);
        }
    }
    return packages;
}

std::vector<const NanoXML*> PackagesInReadingOrder(
    const NanoXML* root, std::initializer_list<std::string_view> preferred) {
    const std::vector<const NanoXML*> all = AllPackages(root);
    std::vector<const NanoXML*> ordered;
    std::unordered_set<const NanoXML*> taken;
    for (std::string_view name : preferred) {
        const auto it = std::find_if(all.begin(), all.end(), [&](const NanoXML* package) {
            const NanoXML* shortName = Child(package, "SHORT-NAME");
            return shortName != nullptr && shortName->text == name;
        });
        if (it != all.end() && taken.insert(*it).second) ordered.push_back(*it);
    }
    for (const NanoXML* package : all) {
        if (taken.insert(package).second) ordered.push_back(package);
    }
    return ordered;
}

void ForEachPackageElement(const std::vector<const NanoXML*>& packages,
                           const std::function<bool(const NanoXML*)>& accept,
                           const std::function<void(const NanoXML*)>& visit) {
    for (const NanoXML* package : packages) {
        for (const NanoXML* child : package->children) {
            if (child->name != "ELEMENTS") continue;
            for (const NanoXML* element : child->children) {
                if (accept(element)) visit(element);
            }
        }
    }
}

}  // namespace qm::arxml
