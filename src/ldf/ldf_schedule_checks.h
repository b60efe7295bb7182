#pragma once
// The checks made on frames that schedule tables send.
#include "ldf/ldf_read_context.h"

namespace qm::ldf {

// Names counted over the model, for the "at least two ... with the same name" checks.
struct NameCounts {
    std::unordered_map<std::string_view, int> slaves;
    std::unordered_map<std::string_view, int> signals;
    std::unordered_map<std::string_view, std::vector<const LdfEventTriggeredFrame*>> eventFrames;

    void Count(const LdfModel& model);
};

// Checks the frame of one frame entry of a schedule table.
void CheckScheduledFrame(LdfReadContext& ctx, const NameCounts& counts, const LdfFrame& frame);

// After the section: collision tables that name no table, and unconditional frames that tables
// send and sporadic frames use as well.
void CheckAfterScheduleTables(LdfReadContext& ctx);

}  // namespace qm::ldf
