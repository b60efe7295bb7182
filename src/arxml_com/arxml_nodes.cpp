#include "arxml_com/arxml_nodes.h"

#include <array>
#include <cstdlib>
#include <utility>
#include <vector>

namespace qm::arxml {

namespace {
// Real documents link in one step; a longer chain only arises from a loop.
constexpr int kMaxLinkSteps = 64;
}  // namespace

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

const NanoXML* Child(const NanoXML* node, std::string_view name) {
    if (node == nullptr) return nullptr;
    for (const NanoXML* child : node->children) {
        if (child->name == name) return child;
    }
    return nullptr;
}

const NanoXML* Descendant(const NanoXML* node, std::string_view name) {
    if (node == nullptr) return nullptr;
    // Readers call this for every member and reference they read: the usual few levels stay
    // in a fixed array, so that only a deeply nested subtree allocates.
    constexpr size_t kInlineLevels = 16;
    std::array<std::pair<const NanoXML*, size_t>, kInlineLevels> inlineLevels;
    std::vector<std::pair<const NanoXML*, size_t>> deeperLevels;
    size_t depth = 0;
    auto level = [&](size_t at) -> std::pair<const NanoXML*, size_t>& {
        return at < kInlineLevels ? inlineLevels[at] : deeperLevels[at - kInlineLevels];
    };
    auto push = [&](const NanoXML* element) {
        if (depth < kInlineLevels) {
            inlineLevels[depth] = {element, 0};
        } else {
            deeperLevels.resize(depth - kInlineLevels + 1);
            deeperLevels.back() = {element, 0};
        }
        ++depth;
    };
    push(node);
    while (depth > 0) {
        auto& [current, next] = level(depth - 1);
        if (next == current->children.size()) {
            --depth;
            continue;
        }
        const NanoXML* child = current->children[next++];
        if (child->name == name) return child;
        if (!child->children.empty()) push(child);
    }
    return nullptr;
}

const NanoXML* Target(const NanoXML* reference) {
    if (reference == nullptr || reference->link == nullptr) return nullptr;
    const NanoXML* current = reference->link;
    for (int step = 0; step < kMaxLinkSteps; ++step) {
        if (current->link == nullptr) return current;
        current = current->link;
    }
    return nullptr;
}

const NanoXML* ChildTarget(const NanoXML* node, std::string_view name) {
    return Target(Child(node, name));
}

std::string Text(const NanoXML* node) {
    return node ? node->GetText() : std::string();
}

std::string ChildText(const NanoXML* node, std::string_view name) {
    return Text(Child(node, name));
}

std::string ShortName(const NanoXML* node) {
    return ChildText(node, "SHORT-NAME");
}

std::string MultilingualText(const NanoXML* node) {
    if (node == nullptr) return {};
    for (const NanoXML* child : node->children) {
        if (StartsWith(child->name, "L-")) return child->GetText();
    }
    return node->GetText();
}

std::string LastPathComponent(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

unsigned long ParseUnsigned(const std::string& text) {
    return std::strtoul(text.c_str(), nullptr, 0);
}

unsigned long ParseAutosarUnsigned(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text.size() - first > 2 && text[first] == '0' &&
        (text[first + 1] == 'b' || text[first + 1] == 'B')) {
        return std::strtoul(text.c_str() + first + 2, nullptr, 2);
    }
    return ParseUnsigned(text);
}

long ParseSigned(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 0);
}

double ParseDouble(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

}  // namespace qm::arxml

namespace qm::arxml {

const NanoXML* Ancestor(const NanoXML* node, std::string_view name) {
    for (const NanoXML* current = node; current != nullptr; current = current->parent) {
        if (current->name == name) return current;
    }
    return nullptr;
}

const NanoXML* ReferenceOf(const NanoXML* entry) {
    if (entry == nullptr) return nullptr;
    if (EndsWith(entry->name, "-REF")) return entry;
    for (const NanoXML* child : entry->children) {
        if (EndsWith(child->name, "-REF")) return child;
    }
    return nullptr;
}

}  // namespace qm::arxml
