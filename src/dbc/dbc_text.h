#pragma once
// The texts of the DBC model: compact texts (see platform/text_arena.h) whose short forms, up to
// six characters, live inside the handle, so that most units, number texts, indicators and
// short values cost no storage beyond the object; longer texts read from a file go to its arena
// in 2 MiB blocks.
#include <cstddef>

#include "platform/text_arena.h"

namespace qm::dbc {

struct DbcTextFamily : platform::TextFamily<std::size_t{2} << 20, 6> {};
using DbcTextArena = platform::FamilyTextArena<DbcTextFamily>;
using DbcText = platform::CompactText<DbcTextFamily>;

}  // namespace qm::dbc
