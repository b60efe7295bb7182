#include "someip/someip_nodes.h"

#include <cctype>
#include <cstdlib>
#include <unordered_set>
#include <utility>
#include <vector>

#include "xml/link_chain.h"

namespace qm::someip {

const NanoXML* Resolved(const NanoXML* node) {
    return xml::EndOfLinkChain(node);
}

const NanoXML* LinkedChild(const NanoXML* node, std::string_view name) {
    if (node == nullptr) return nullptr;
    for (const NanoXML* child : node->children) {
        const NanoXML* end = Resolved(child);
        if (end != nullptr && end->name == name) return end;
    }
    return nullptr;
}

const NanoXML* RefTarget(const NanoXML* node, std::string_view referenceName) {
    return arxml::Target(Child(node, referenceName));
}

const NanoXML* FindLinked(const NanoXML* node, std::string_view name, int maxDepth) {
    if (node == nullptr) return nullptr;
    // Breadth first over (element, remaining depth); visited set bounds link cycles.
    std::vector<std::pair<const NanoXML*, int>> queue{{node, maxDepth}};
    std::unordered_set<const NanoXML*> seen{node};
    for (size_t next = 0; next < queue.size(); ++next) {
        const auto [current, depth] = queue[next];
        if (depth <= 0) continue;
        for (const NanoXML* child : current->children) {
            const NanoXML* end = Resolved(child);
            if (end == nullptr) continue;
            if (end->name == name) return end;
            if (!seen.insert(end).second) continue;
            queue.emplace_back(end, depth - 1);
        }
    }
    return nullptr;
}

const NanoXML* ReferencedType(const NanoXML* node) {
    const NanoXML* direct = arxml::Target(Descendant(node, "IMPLEMENTATION-DATA-TYPE-REF"));
    if (direct != nullptr && direct->name == "IMPLEMENTATION-DATA-TYPE") return direct;
    return FindLinked(node, "IMPLEMENTATION-DATA-TYPE", 20);
}

const NanoXML* ReferencedBaseType(const NanoXML* node) {
    const NanoXML* direct = arxml::Target(Descendant(node, "BASE-TYPE-REF"));
    if (direct != nullptr && direct->name == "SW-BASE-TYPE") return direct;
    return FindLinked(node, "SW-BASE-TYPE", 8);
}

const NanoXML* Path(const NanoXML* node, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        node = Child(node, name);
        if (node == nullptr) return nullptr;
    }
    return node;
}

unsigned long ParseDecimal(const std::string& text) {
    return std::strtoul(text.c_str(), nullptr, 10);
}

long ParseDecimalSigned(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

unsigned long long ParseAnyBase(const std::string& text) {
    return std::strtoull(text.c_str(), nullptr, 0);
}

double ParseReal(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

bool HasNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}

}  // namespace qm::someip
