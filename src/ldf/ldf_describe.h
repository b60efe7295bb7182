#pragma once
// A readable summary of the unconditional frames, their signals and encodings.
#include <string>

#include "ldf/netconfig_ldf_file.h"

namespace qm::ldf {

std::string DescribeLdf(const LdfModel& model);

}  // namespace qm::ldf
