#pragma once
#include <cstddef>

#include "quillmere/xml.h"

namespace qm::xml {

// Longest link chain that is followed. Real documents have chains of one or two steps; the
// limit only keeps a cycle of links from hanging a lookup.
constexpr size_t kMaxLinkSteps = 4096;

// The end of a node's link chain: the node reached by following `link` until a node without
// link (or the step limit) is reached.
template <typename Node>
Node* EndOfLinkChain(Node* node) {
    for (size_t step = 0; node != nullptr && node->link != nullptr && step < kMaxLinkSteps;
         ++step) {
        node = node->link;
    }
    return node;
}

}  // namespace qm::xml
