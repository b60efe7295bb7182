#pragma once
// Builds the command of one schedule-table entry.
#include <memory>

#include "ldf/ldf_read_context.h"

namespace qm::ldf {

// Fills task with the command of the given kind and the delay after the word "delay", from the
// entry's tokens (the first is the frame name or the command keyword). False when the entry does
// not make a command; task is then left for the caller to discard.
bool BuildScheduleCommand(LdfReadContext& ctx, uint8_t kind, Task& task, const Tokens& tokens);

// The command kind an entry's first token names, or -1 when it names none.
int CommandKindOf(const LdfModel& model, std::string_view firstToken);

}  // namespace qm::ldf
