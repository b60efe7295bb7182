#include <algorithm>
#include <atomic>
#include <string_view>

#include "quillmere/xml.h"
#include "xml/attribute_lookup.h"
#include "xml/link_chain.h"
#include "xml/text.h"
#include "xml/xml_state.h"

namespace {

// Deletes a list of owned nodes and all their descendants without recursion, so that a
// document nested a million levels deep is destroyed without exhausting the stack.
void DestroyNodes(std::vector<NanoXML*>&& nodes) {
    std::vector<NanoXML*> pending(nodes.rbegin(), nodes.rend());
    nodes.clear();
    while (!pending.empty()) {
        NanoXML* node = pending.back();
        pending.pop_back();
        if (node == nullptr) continue;
        // Children go on in reverse so that nodes are freed in the order they were made,
        // which is the cheapest order for the allocator.
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
        node->children.clear();
        delete node;
    }
}

// Calls visit for root and every descendant, without recursion. Large documents spread their
// nodes and child lists over hundreds of megabytes, so the walk asks for each node's memory
// when it is put on the stack and for its child list a few steps before it is read.
template <typename Visit>
void VisitSubtree(const NanoXML* root, Visit visit) {
    constexpr size_t kLookAhead = 4;
    std::vector<const NanoXML*> pending{root};
    while (!pending.empty()) {
        const NanoXML* node = pending.back();
        pending.pop_back();
        if (pending.size() > kLookAhead) {
            const NanoXML* ahead = pending[pending.size() - kLookAhead];
            __builtin_prefetch(ahead->children.data());
        }
        visit(node);
        for (const NanoXML* child : node->children) {
            __builtin_prefetch(&child->children);
            pending.push_back(child);
        }
    }
}

bool ChildOrderLess(const NanoXML* a, const NanoXML* b) {
    const int byName = a->name.compare(b->name);
    if (byName != 0) return byName < 0;
    static const std::string kNameAttribute = "name";
    return qm::xml::AttributeValueOf(*a, kNameAttribute) <
           qm::xml::AttributeValueOf(*b, kNameAttribute);
}

void SortOneLevel(NanoXML* node) {
    std::sort(node->children.begin(), node->children.end(), ChildOrderLess);
}

void ReplaceInPlace(std::string& s, std::string_view from, std::string_view to) {
    if (s.find(from) == std::string::npos) return;
    qm::ReplaceAll(s, std::string(from), std::string(to));
}

}  // namespace

struct NanoXMLCallback::Box {
    std::atomic<size_t> references{1};
    std::shared_ptr<const Function> function;
};

NanoXMLCallback::NanoXMLCallback(std::shared_ptr<const Function> function) {
    if (function) box_ = new Box{{1}, std::move(function)};
}

NanoXMLCallback::NanoXMLCallback(const NanoXMLCallback& other) noexcept : box_(other.box_) {
    if (box_ != nullptr) box_->references.fetch_add(1, std::memory_order_relaxed);
}

NanoXMLCallback& NanoXMLCallback::operator=(const NanoXMLCallback& other) noexcept {
    NanoXMLCallback copy(other);
    std::swap(box_, copy.box_);
    return *this;
}

NanoXMLCallback& NanoXMLCallback::operator=(NanoXMLCallback&& other) noexcept {
    NanoXMLCallback taken(std::move(other));
    std::swap(box_, taken.box_);
    return *this;
}

NanoXMLCallback::~NanoXMLCallback() {
    if (box_ != nullptr && box_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete box_;
    }
}

const NanoXMLCallback::Function* NanoXMLCallback::get() const {
    return box_ != nullptr ? box_->function.get() : nullptr;
}

NanoXMLCallback::operator std::shared_ptr<const Function>() const {
    return box_ != nullptr ? box_->function : nullptr;
}

NanoXML::NanoXML() = default;

NanoXML::NanoXML(const std::string& name, const std::string& content, int mode) : name(name) {
    if (mode == 1 || mode == 2) {
        Parse(content.data(), mode == 2, content.size(), 0, 10);
    } else {
        text = content;
    }
}

NanoXML::NanoXML(const std::string& name, const std::string& content, bool parse)
    : NanoXML(name, content, parse ? 1 : 0) {}

NanoXML::~NanoXML() {
    DestroyNodes(std::move(children));
}

void NanoXML::Clear() {
    ClearMessageLog();
    DeleteAttributes();
    DeleteChildren();
    flags = 0;
    name.clear();
    text.clear();
    link = nullptr;
    parent = nullptr;
}

NanoXML* NanoXML::AddChild(NanoXML* child) {
    if (child == nullptr) return nullptr;
    child->parent = this;
    child->onChildParsed = onChildParsed;
    children.push_back(child);
    return child;
}

NanoXML* NanoXML::AddChild(const char* childName, const char* content, int mode) {
    return AddChild(new NanoXML(childName ? childName : "", content ? content : "", mode));
}

NanoXML* NanoXML::GetChild(const char* childName, bool create) {
    const std::string_view wanted = childName ? childName : "";
    for (NanoXML* child : children) {
        if (child->name == wanted) return child;
    }
    if (!create) return nullptr;
    auto* child = new NanoXML();
    child->name = wanted;
    child->parent = this;
    children.push_back(child);
    return child;
}

NanoXML* NanoXML::GetChild(const std::string& childName) {
    return GetChild(childName.c_str(), false);
}

NanoXML* NanoXML::GetChildAt(size_t index, bool followLink) {
    if (index >= children.size()) return nullptr;
    NanoXML* child = children[index];
    return followLink ? qm::xml::EndOfLinkChain(child) : child;
}

NanoXML* NanoXML::GetLinkedChild(const char* childName) {
    const std::string_view wanted = childName ? childName : "";
    for (NanoXML* child : children) {
        NanoXML* target = qm::xml::EndOfLinkChain(child);
        if (target->name == wanted) return target;
    }
    return nullptr;
}

NanoXML* NanoXML::FindAncestor(NanoXML* node, const std::string& ancestorName) {
    for (; node != nullptr; node = node->parent) {
        if (node->name == ancestorName) return node;
    }
    return nullptr;
}

void NanoXML::SetText(std::string newText) {
    std::vector<NanoXML*> fragments;
    auto isFragment = [](const NanoXML* child) { return child->name.empty(); };
    std::copy_if(children.begin(), children.end(), std::back_inserter(fragments), isFragment);
    children.erase(std::remove_if(children.begin(), children.end(), isFragment), children.end());
    DestroyNodes(std::move(fragments));
    flags &= static_cast<uint8_t>(~kFlagCData);
    text = std::move(newText);
}

void NanoXML::DeleteChildren() {
    DestroyNodes(std::move(children));
}

void NanoXML::DeleteAttributes() {
    attributes.clear();
    attributes.shrink_to_fit();
}

std::string NanoXML::GetAttribute(const std::string& attributeName) const {
    for (const NanoXMLAttribute& attribute : attributes) {
        if (attribute.name == attributeName) return attribute.value;
    }
    return "";
}

void NanoXML::SetAttribute(const char* attributeName, const char* value) {
    if (attributeName == nullptr || value == nullptr) return;
    for (NanoXMLAttribute& attribute : attributes) {
        if (attribute.name == attributeName) {
            attribute.value = value;
            return;
        }
    }
    AddAttribute(attributeName, value, 0);
}

void NanoXML::AddAttribute(const char* attributeName, const char* value, int mode) {
    if (attributeName == nullptr || value == nullptr) return;
    if (mode == 1 && *value == '\0') return;
    if (mode != 0 && mode != 1) return;
    for (const NanoXMLAttribute& attribute : attributes) {
        if (attribute.name == attributeName) {
            // An existing non-empty value is never overwritten; an empty one gets a successor.
            if (!attribute.value.empty()) return;
            break;
        }
    }
    attributes.push_back(NanoXMLAttribute{attributeName, value});
}

std::string NanoXML::GetAttributeNameAt(size_t index) const {
    return index < attributes.size() ? attributes[index].name : std::string();
}

std::string NanoXML::GetAttributeValueAt(size_t index) const {
    return index < attributes.size() ? attributes[index].value : std::string();
}

std::string NanoXML::GetText() const {
    if (text.empty()) {
        std::string joined;
        for (const NanoXML* child : children) {
            if (child->name.empty()) joined += child->text;
        }
        return joined;
    }
    std::string result = text;
    if ((flags & kFlagCData) != 0 || result.find('&') == std::string::npos) return result;
    // The doubled forms let a stored text carry a literal "&lt;" or "&gt;" through decoding.
    ReplaceInPlace(result, "&lt;", "<");
    ReplaceInPlace(result, "&gt;", ">");
    ReplaceInPlace(result, "&&lltt;;", "&lt;");
    ReplaceInPlace(result, "&&ggtt;;", "&gt;");
    return result;
}

size_t NanoXML::CountNodes() const {
    size_t count = 0;
    VisitSubtree(this, [&count](const NanoXML*) { ++count; });
    return count - 1;  // this node is not counted
}

size_t NanoXML::CountAttributes() const {
    size_t count = 0;
    VisitSubtree(this, [&count](const NanoXML* node) { count += node->attributes.size(); });
    return count;
}

void NanoXML::SortChildren(int depth) {
    // A negative depth sorts the whole subtree; depth n > 1 sorts n levels.
    std::vector<std::pair<NanoXML*, int>> pending{{this, depth}};
    while (!pending.empty()) {
        auto [node, levels] = pending.back();
        pending.pop_back();
        SortOneLevel(node);
        if (levels > 1 || levels < 0) {
            for (NanoXML* child : node->children) {
                pending.emplace_back(child, levels < 0 ? levels : levels - 1);
            }
        }
    }
}

int NanoXML::SiblingIndex() const {
    if (parent == nullptr || parent->children.size() < 2) return -1;
    int sameName = 0;
    int position = -1;
    for (const NanoXML* sibling : parent->children) {
        if (sibling == this) position = sameName;
        if (sibling->name == name) ++sameName;
    }
    if (sameName < 2) return -1;
    return position;
}

std::string NanoXML::GetPath(const std::string& keyAttribute) const {
    std::vector<std::string> segments;
    for (const NanoXML* node = this; node != nullptr; node = node->parent) {
        std::string segment = node->name;
        if (node == this || keyAttribute.empty()) {
            const int index = node->SiblingIndex();
            if (index != -1) segment += "[" + std::to_string(index) + "]";
        } else {
            const std::string key = node->GetAttribute(keyAttribute);
            if (!key.empty()) segment += "[" + keyAttribute + "='" + key + "']";
        }
        segments.push_back(std::move(segment));
    }
    std::string path;
    for (auto segment = segments.rbegin(); segment != segments.rend(); ++segment) {
        path += "/";
        path += *segment;
    }
    return path;
}

void NanoXML::AddSourceFile(uint16_t index) {
    sourceFiles.Insert(index);
}
