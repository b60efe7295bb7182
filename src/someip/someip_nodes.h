#pragma once
// Element-tree queries of the SOME/IP readers, on top of the shared ARXML ones.
#include <cstdint>
#include <string>
#include <string_view>

#include "arxml_com/arxml_nodes.h"
#include "quillmere/xml.h"

namespace qm::someip {

using arxml::Child;
using arxml::ChildText;
using arxml::Descendant;
using arxml::ShortName;
using arxml::Text;

// The end of the node's link chain (the node itself when it has no link); null for null.
const NanoXML* Resolved(const NanoXML* node);
// The first child of that name, reached through links: the end of each child's link chain is
// compared (GetLinkedChild of the element model).
const NanoXML* LinkedChild(const NanoXML* node, std::string_view name);
// The element a reference child names, or null when it is absent or unresolved.
const NanoXML* RefTarget(const NanoXML* node, std::string_view referenceName);
// The first element of that name at most maxDepth levels below node, following links of the
// elements passed on the way; bounded, so that reference cycles end.
const NanoXML* FindLinked(const NanoXML* node, std::string_view name, int maxDepth);
// The IMPLEMENTATION-DATA-TYPE a type or member names: its own type reference when that
// resolves to one, else the first such element within 20 levels through links.
const NanoXML* ReferencedType(const NanoXML* node);
// The SW-BASE-TYPE a type names: its own base type reference, else a linked search.
const NanoXML* ReferencedBaseType(const NanoXML* node);
// Child-by-child path; null as soon as one step is missing.
const NanoXML* Path(const NanoXML* node, std::initializer_list<std::string_view> names);

// Number conversions as the C library reads them: leading digits count, the rest is ignored.
unsigned long ParseDecimal(const std::string& text);
long ParseDecimalSigned(const std::string& text);
unsigned long long ParseAnyBase(const std::string& text);
double ParseReal(const std::string& text);
// True when the text holds a number (after leading blanks) that the conversion would read.
bool HasNumber(const std::string& text);

}  // namespace qm::someip
