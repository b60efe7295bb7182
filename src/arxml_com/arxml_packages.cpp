#include "arxml_com/arxml_packages.h"

#include <algorithm>

#include "arxml_com/arxml_nodes.h"

namespace qm::arxml {

namespace {

bool HasShortName(const NanoXML* node, std::string_view shortName) {
    for (const NanoXML* child : node->children) {
        if (child->name == "SHORT-NAME" && child->text == shortName) return true;
    }
    return false;
}

void AddOnce(std::vector<const NanoXML*>& list, const NanoXML* node) {
    if (node != nullptr && std::find(list.begin(), list.end(), node) == list.end()) {
        list.push_back(node);
    }
}

}  // namespace

const NanoXML* FindPackage(const NanoXML* root, std::string_view shortName) {
    if (root == nullptr) return nullptr;
    // Pre-order without recursion: children are pushed in reverse.
    std::vector<const NanoXML*> stack(root->children.rbegin(), root->children.rend());
    while (!stack.empty()) {
        const NanoXML* node = stack.back();
        stack.pop_back();
        if (node->name == "AR-PACKAGE" && HasShortName(node, shortName)) return node;
        stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
    }
    return nullptr;
}

std::vector<const NanoXML*> PackageElements(const NanoXML* root,
                                            std::initializer_list<std::string_view> shortNames) {
    std::vector<const NanoXML*> packages;
    for (std::string_view name : shortNames) AddOnce(packages, FindPackage(root, name));
    std::vector<const NanoXML*> lists;
    for (const NanoXML* package : packages) {
        for (const NanoXML* child : package->children) {
            if (child->name == "ELEMENTS") lists.push_back(child);
        }
    }
    return lists;
}

std::vector<const NanoXML*> ListsHolding(const NanoXML* root,
                                         std::initializer_list<std::string_view> elementNames) {
    std::vector<const NanoXML*> lists;
    for (std::string_view name : elementNames) {
        if (const NanoXML* element = Descendant(root, name)) AddOnce(lists, element->parent);
    }
    return lists;
}

void ForEachListElement(const std::vector<const NanoXML*>& lists,
                        const std::function<void(const NanoXML*)>& visit) {
    for (const NanoXML* list : lists) {
        for (const NanoXML* element : list->children) {
            if (!element->name.empty()) visit(element);  // text fragments are no elements
        }
    }
}

}  // namespace qm::arxml
