#pragma once
// The checks made on frames that schedule tables send.
#include "ldf/ldf_read_context.h"

namespace qm::ldf {

// Checks the frame of one frame entry of a schedule table.
void CheckScheduledFrame(LdfReadContext& ctx, const LdfFrame& frame);

// After the section: collision tables that name no table, and unconditional frames that tables
// send and sporadic frames use as well.
void CheckAfterScheduleTables(LdfReadContext& ctx);

}  // namespace qm::ldf
