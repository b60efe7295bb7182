#pragma once
// File objects generated from a network database: the database is rendered as file text, and
// the file class's own reader builds its model from that text, so a generated object is exactly
// what the reader makes of the rendering.
#include <string>

#include "quillmere/netconfig.h"
#include "quillmere/netfile.h"

namespace qm::net {

// Reads text into the file object through a temporary file beside the other temporary files of
// the system, which is removed again. The object keeps an empty path. True when the reader
// succeeded.
bool LoadGeneratedText(INetFile& file, const std::string& text, const char* extension);

// A name as DBC and LDF texts allow it: every character other than a letter, digit or '_'
// becomes '_', and a name that is empty or starts with a digit gets a leading '_'.
std::string Identifier(const std::string& name);

// A text in double quotes. Neither format has an escape for the double quote, so one inside
// the text becomes a single quote.
std::string Quoted(const std::string& text);

// The shortest text that reads back as the same double.
std::string Number(double value);

// The value of a property, or "" when the object has none of that name.
std::string PropertyText(INetAttribute* attribute);

}  // namespace qm::net
