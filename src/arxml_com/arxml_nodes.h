#pragma once
// Small read-only queries on the element tree that the ARXML section readers share. None of
// them recurses, so deeply nested input cannot exhaust the stack, and only Target() follows
// links, with a bound, so that a reference chain that returns to itself cannot hang a reader.
#include <string>
#include <string_view>
#include <vector>

#include "quillmere/xml.h"

namespace qm::arxml {

bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

// The first child of that name, or null (also for a null node).
const NanoXML* Child(const NanoXML* node, std::string_view name);
// The first element of that name below node in document order (node itself excluded).
const NanoXML* Descendant(const NanoXML* node, std::string_view name);
// The element a reference element stands for: the end of its link chain; null when the
// reference is null, unresolved or part of a cycle.
const NanoXML* Target(const NanoXML* reference);
// Target() of the first child of that name.
const NanoXML* ChildTarget(const NanoXML* node, std::string_view name);

// The decoded text of node; "" for null.
std::string Text(const NanoXML* node);
// The text of the first child of that name; "" when there is none.
std::string ChildText(const NanoXML* node, std::string_view name);
// The SHORT-NAME of an identifiable element.
std::string ShortName(const NanoXML* node);
// A multilingual text (DESC, LONG-NAME): the first language entry, or the element's own text.
std::string MultilingualText(const NanoXML* node);
// The last component of a reference path ("/A/B/Name" gives "Name").
std::string LastPathComponent(const std::string& path);

// Numbers as C's strtoul / strtol (base 0) and strtod read them: leading numbers count, the
// rest of the text is ignored, no number at all gives 0.
unsigned long ParseUnsigned(const std::string& text);
// An AUTOSAR integer (its Integer and PositiveInteger forms): decimal, "0x" hexadecimal, "0b"
// binary or "0" octal, blanks around it allowed; read otherwise as ParseUnsigned reads it.
unsigned long ParseAutosarUnsigned(const std::string& text);
long ParseSigned(const std::string& text);
double ParseDouble(const std::string& text);

}  // namespace qm::arxml

namespace qm::arxml {

// The nearest ancestor of node (node included) with that name; null if none.
const NanoXML* Ancestor(const NanoXML* node, std::string_view name);
// The first child whose name ends in "-REF", or the node itself when its name does: list
// entries are either reference elements or conditionals wrapping one.
const NanoXML* ReferenceOf(const NanoXML* entry);

}  // namespace qm::arxml
