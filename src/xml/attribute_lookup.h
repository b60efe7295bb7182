#pragma once
#include <string>

#include "quillmere/xml.h"

namespace qm::xml {

// The value of a node's first attribute of that name without copying it, or an empty string.
inline const std::string& AttributeValueOf(const NanoXML& node, const std::string& name) {
    static const std::string kNone;
    for (const NanoXMLAttribute& attribute : node.attributes) {
        if (attribute.name == name) return attribute.value;
    }
    return kNone;
}

}  // namespace qm::xml
