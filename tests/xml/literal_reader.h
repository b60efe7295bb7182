#pragma once
// A deliberately slow reader for tests: it feeds one character at a time into a tokenizer and
// a token state machine, with one level of recursion per element, exactly as the reader's
// behaviour is described. The fast reader must build the same trees.
#include <cstddef>
#include <cstdint>

#include "quillmere/xml.h"

namespace qm::testing {

// Fills node from buffer[start, length) like NanoXML::Parse (reading stops at the first NUL).
size_t LiteralParse(NanoXML* node, const char* buffer, bool mixed, size_t length, size_t start,
                    int state, uint16_t sourceFileIndex);

}  // namespace qm::testing
