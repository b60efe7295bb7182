#pragma once
// A canonical text form of a NanoXML tree for comparisons in tests: one line per node with its
// depth, name, flags, source files, attributes and text, control bytes escaped.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "quillmere/xml.h"

namespace qm::testing {

inline std::string Escaped(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c == '|' || c == '\\' || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// withSources adds the source-file indices of every node.
inline std::string DumpTree(const NanoXML& root, bool withSources = true) {
    std::string out;
    std::vector<std::pair<const NanoXML*, size_t>> pending{{&root, 0}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        out +=
            std::to_string(depth) + "|" + Escaped(node->name) + "|" + std::to_string(node->flags);
        if (withSources) {
            for (uint16_t index : node->sourceFiles.Values()) out += "|s" + std::to_string(index);
        }
        for (const NanoXMLAttribute& attribute : node->attributes) {
            out += "|@" + Escaped(attribute.name) + "=" + Escaped(attribute.value);
        }
        out += "|" + Escaped(node->text) + "\n";
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            pending.emplace_back(*child, depth + 1);
        }
    }
    return out;
}

}  // namespace qm::testing
