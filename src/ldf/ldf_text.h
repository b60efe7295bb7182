#pragma once
// The texts of the LDF model: compact texts (see platform/text_arena.h). A signal carries four
// texts (name, type, byte order, publisher as written) most of which are empty or a fixed
// default: the defaults point at constant storage (LdfTextConstant) and an empty text at a
// shared empty one. Every text points at characters outside the handle, so its characters stay
// where they are when the handle moves; texts read from a file go to its arena in 1 MiB blocks.
#include <cstddef>

#include "platform/text_arena.h"

namespace qm::ldf {

struct LdfTextFamily : platform::TextFamily<std::size_t{1} << 20, 0> {};
using LdfTextArena = platform::FamilyTextArena<LdfTextFamily>;
using LdfText = platform::CompactText<LdfTextFamily>;
template <std::size_t N>
using LdfTextConstant = platform::TextConstant<N>;

}  // namespace qm::ldf
