#pragma once
// Helpers shared by the container forms of the file models: every value of a container element
// is the text of a child element, numbers in decimal, reals with six decimals.
#include <cstdint>
#include <string>
#include <string_view>

#include "quillmere/xml.h"

namespace qm::xml {

// The text as it is stored so that GetText gives it back: the writer escapes nothing, so "<" and
// ">" are kept as "&lt;" and "&gt;", and a text that already holds "&lt;" or "&gt;" keeps them as
// "&&lltt;;" and "&&ggtt;;", the forms GetText turns back into them.
std::string EscapeStoredText(std::string_view text);

// Appends a child with the text (escaped as above) and returns it.
NanoXML* AddTextChild(NanoXML* parent, const char* name, std::string_view text);
NanoXML* AddNumberChild(NanoXML* parent, const char* name, uint64_t value);
NanoXML* AddSignedChild(NanoXML* parent, const char* name, int64_t value);
// "%f" of the value.
NanoXML* AddRealChild(NanoXML* parent, const char* name, double value);
std::string FormatFixed6(double value);

// The decoded text of the first child of that name, or "" when there is none.
std::string ChildText(const NanoXML* element, std::string_view name);
// The first child of that name, or null.
NanoXML* FirstChild(const NanoXML* element, std::string_view name);

// A whole text that is a decimal number (leading and trailing blanks allowed). False for
// anything else, and for a value beyond the limit.
bool ParseDecimal(std::string_view text, uint64_t& value, uint64_t limit = UINT64_MAX);
bool ParseSignedDecimal(std::string_view text, int64_t& value);
// A whole text that is a real number (as strtod reads it; blanks around it allowed).
bool ParseRealText(std::string_view text, double& value);

}  // namespace qm::xml
