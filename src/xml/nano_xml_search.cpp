// Searches over NanoXML trees. They keep the visiting order of a plain recursive descent but
// run on explicit stacks, so that deep documents cannot exhaust the call stack, and searches
// that follow links remember where they have been, so that a cycle of links cannot hang them.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "quillmere/xml.h"
#include "xml/attribute_lookup.h"
#include "xml/link_chain.h"

namespace {

using qm::xml::EndOfLinkChain;

struct ChildFilter {
    const std::string& name;
    const std::string& attrName;
    const std::string& attrValue;

    bool Accepts(const NanoXML& node) const {
        if (!name.empty() && node.name != name) return false;
        if (attrName.empty() || attrValue.empty()) return true;
        return qm::xml::AttributeValueOf(node, attrName) == attrValue;
    }

    NanoXML* FirstAcceptedChild(const NanoXML& node) const {
        for (NanoXML* child : node.children) {
            if (Accepts(*child)) return child;
        }
        return nullptr;
    }
};

// A walk position: a node and the index of the next child to descend into.
template <typename Extra = int>
struct WalkFrame {
    NanoXML* node;
    size_t nextChild;
    Extra extra;
};

// Remembers the largest remaining depth with which a node reached through a link was searched.
// A search of a node with some depth covers every search of it with less depth, so a repeated
// visit with no more depth can be skipped without changing any result.
template <typename Depth>
class LinkVisits {
  public:
    bool FirstWithDepth(const NanoXML* node, Depth depth) {
        auto [entry, inserted] = visits_.emplace(node, depth);
        if (inserted) return true;
        if (entry->second >= depth) return false;
        entry->second = depth;
        return true;
    }

  private:
    std::unordered_map<const NanoXML*, Depth> visits_;
};

bool HasChildWithText(const NanoXML& node, const std::string& childName,
                      const std::string& childText) {
    for (const NanoXML* child : node.children) {
        if (child->name == childName && child->text == childText) return true;
    }
    return false;
}

bool HasChildWithTextIn(const NanoXML& node, const std::vector<std::string>& childNames,
                        const std::string& childText) {
    for (const NanoXML* child : node.children) {
        if (child->text != childText) continue;
        if (std::find(childNames.begin(), childNames.end(), child->name) != childNames.end()) {
            return true;
        }
    }
    return false;
}

// Pre-order search of a subtree, the root first.
template <typename Predicate>
NanoXML* FindPreOrder(NanoXML* root, Predicate accepts) {
    std::vector<NanoXML*> pending{root};
    while (!pending.empty()) {
        NanoXML* node = pending.back();
        pending.pop_back();
        if (accepts(*node)) return node;
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
    return nullptr;
}

}  // namespace

NanoXML* NanoXML::FindByPath(const std::vector<std::string>& path) {
    NanoXML* node = this;
    for (const std::string& component : path) {
        node = node->GetChild(component);
        if (node == nullptr) return nullptr;
    }
    return node;
}

NanoXML* NanoXML::FindByLinkedPath(const std::vector<std::string>& path) {
    NanoXML* node = this;
    for (const std::string& component : path) {
        node = node->GetLinkedChild(component.c_str());
        if (node == nullptr) return nullptr;
    }
    return node;
}

NanoXML* NanoXML::FindChild(const std::string& childName, const std::string& attrName,
                            const std::string& attrValue, bool recursive) {
    const ChildFilter filter{childName, attrName, attrValue};
    if (NanoXML* hit = filter.FirstAcceptedChild(*this)) return hit;
    if (!recursive) return nullptr;
    // Each node first looks at its own children, then searches below each child in turn.
    std::vector<WalkFrame<>> open{{this, 0, 0}};
    while (!open.empty()) {
        WalkFrame<>& frame = open.back();
        if (frame.nextChild >= frame.node->children.size()) {
            open.pop_back();
            continue;
        }
        NanoXML* child = frame.node->children[frame.nextChild++];
        if (NanoXML* hit = filter.FirstAcceptedChild(*child)) return hit;
        open.push_back({child, 0, 0});
    }
    return nullptr;
}

NanoXML* NanoXML::FindNode(const std::string& nodeName, const std::string& attrName,
                           const std::string& attrValue, uint64_t depth) {
    const ChildFilter filter{nodeName, attrName, attrValue};
    LinkVisits<uint64_t> visits;
    std::vector<WalkFrame<uint64_t>> open;
    // Entering a node tests it and its children; its link-resolved children are searched
    // afterwards, one level less deep.
    auto enter = [&](NanoXML* node, uint64_t levels) -> NanoXML* {
        if (filter.Accepts(*node)) return node;
        if (NanoXML* hit = filter.FirstAcceptedChild(*node)) return hit;
        if (levels != 0) open.push_back({node, 0, levels});
        return nullptr;
    };
    if (NanoXML* hit = enter(this, depth)) return hit;
    while (!open.empty()) {
        WalkFrame<uint64_t>& frame = open.back();
        if (frame.nextChild >= frame.node->children.size()) {
            open.pop_back();
            continue;
        }
        NanoXML* child = frame.node->children[frame.nextChild++];
        NanoXML* target = EndOfLinkChain(child);
        const uint64_t levels = frame.extra - 1;
        if (target != child && !visits.FirstWithDepth(target, levels)) continue;
        if (NanoXML* hit = enter(target, levels)) return hit;
    }
    return nullptr;
}

size_t NanoXML::FindAll(std::vector<NanoXML*>& result, const std::string& nodeName,
                        const std::string& nodeText, const std::string& attrName,
                        const std::string& attrValue, const std::string& extra, uint8_t depth) {
    if (name == nodeName) {
        if (nodeText.empty() || nodeText == text) {
            result.push_back(this);
        } else if (!attrName.empty()) {
            (void)GetAttribute(attrName);  // looked up, but such a node is not collected
        }
    }
    if (depth != 0) {
        // At most 255 levels, so plain recursion is safe here.
        for (NanoXML* child : children) {
            child->FindAll(result, nodeName, nodeText, attrName, attrValue, extra,
                           static_cast<uint8_t>(depth - 1));
        }
    }
    return result.size();
}

NanoXML* NanoXML::Match(const std::string& key1, const std::string& key2, int mode) {
    NanoXML* target = EndOfLinkChain(this);
    if (mode == 1) {
        if (target->name == key1 || target->text == key2) return target;
    } else if (mode == 0) {
        if (target->name.find(key1) != std::string::npos ||
            target->text.find(key2) != std::string::npos) {
            return target;
        }
    }
    return nullptr;
}

void NanoXML::FindMatches(std::vector<NanoXML*>& result, const std::string& key, int depth,
                          int mode) {
    if (NanoXML* match = Match(key, key, mode)) {
        if (match != this) result.push_back(match);
        return;
    }
    std::vector<WalkFrame<int>> open;
    if (depth >= 1) open.push_back({this, 0, depth});
    while (!open.empty()) {
        WalkFrame<int>& frame = open.back();
        if (frame.nextChild >= frame.node->children.size()) {
            open.pop_back();
            continue;
        }
        NanoXML* child = frame.node->children[frame.nextChild++];
        const int levels = frame.extra - 1;
        if (NanoXML* match = child->Match(key, key, mode)) {
            result.push_back(match);
        } else if (levels >= 1) {
            open.push_back({child, 0, levels});
        }
    }
}

void NanoXML::CollectUnique(std::vector<NanoXML*>& result, const std::string& nodeName,
                            const std::string& nodeText, const std::string& parentName, int depth) {
    std::unordered_set<const NanoXML*> collected(result.begin(), result.end());
    LinkVisits<int> visits;
    std::vector<WalkFrame<int>> open;
    // Visiting a node tests the end of its link chain, whose children are searched next; the
    // parent condition looks at the unresolved node.
    auto visit = [&](NanoXML* node, int levels) {
        if (node->link != nullptr && !visits.FirstWithDepth(node, levels)) return;
        NanoXML* target = EndOfLinkChain(node);
        const bool parentMatches =
            parentName.empty() || (node->parent != nullptr && node->parent->name == parentName);
        if (target->name == nodeName && (nodeText.empty() || nodeText == target->text) &&
            parentMatches && collected.insert(target).second) {
            result.push_back(target);
        }
        if (levels >= 1) open.push_back({target, 0, levels});
    };
    visit(this, depth);
    while (!open.empty()) {
        WalkFrame<int>& frame = open.back();
        if (frame.nextChild >= frame.node->children.size()) {
            open.pop_back();
            continue;
        }
        NanoXML* child = frame.node->children[frame.nextChild++];
        visit(child, frame.extra - 1);
    }
}

void NanoXML::CollectAll(std::vector<NanoXML*>& result, const std::string& nodeName,
                         const std::string& nodeText, const std::string& parentName) {
    std::vector<NanoXML*> pending{this};
    while (!pending.empty()) {
        NanoXML* node = pending.back();
        pending.pop_back();
        const bool parentMatches =
            parentName.empty() || (node->parent != nullptr && node->parent->name == parentName);
        if (node->name == nodeName && node->text == nodeText && parentMatches) {
            result.push_back(node);
            continue;
        }
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
}

NanoXML* NanoXML::FindWithChild(const std::string& nodeName, const std::string& childName,
                                const std::string& childText) {
    return FindPreOrder(this, [&](const NanoXML& node) {
        return node.name == nodeName && HasChildWithText(node, childName, childText);
    });
}

NanoXML* NanoXML::FindWithChildIn(const std::string& nodeName,
                                  const std::vector<std::string>& childNames,
                                  const std::string& childText) {
    return FindPreOrder(this, [&](const NanoXML& node) {
        return node.name == nodeName && HasChildWithTextIn(node, childNames, childText);
    });
}

NanoXML* NanoXML::FindNearest(const std::string& nodeName, const std::string& nodeText,
                              const std::string& parentName, NanoXML* cameFrom) {
    auto accepts = [&](const NanoXML& node) {
        return (nodeName.empty() || node.name == nodeName) &&
               (nodeText.empty() || node.text == nodeText) &&
               (parentName.empty() || (node.parent != nullptr && node.parent->name == parentName));
    };
    // Search this subtree (skipping the branch we came from), then climb one level and repeat.
    NanoXML* node = this;
    NanoXML* from = cameFrom;
    for (;;) {
        if (accepts(*node)) return node;
        for (NanoXML* child : node->children) {
            if (child == from) continue;
            if (NanoXML* hit = FindPreOrder(child, accepts)) return hit;
        }
        if (node->parent == nullptr || node->parent == from) return nullptr;
        from = node;
        node = node->parent;
    }
}
