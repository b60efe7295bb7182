#pragma once
// The writer's text of a subtree handed over piece by piece, for callers that print or store
// large trees without holding their whole text.
#include <functional>
#include <string_view>

#include "quillmere/xml.h"

namespace qm::xml {

// Indentation grows by 3 spaces a level up to this many levels below the node written; deeper
// elements are written at that column.
constexpr size_t kMaxIndentLevels = 64;

// The text NanoXML::Serialize(indent, newlineBefore) returns, in pieces of about 64 KiB.
void SerializeTo(const NanoXML& node, int indent, bool newlineBefore,
                 const std::function<void(std::string_view)>& sink);

}  // namespace qm::xml
