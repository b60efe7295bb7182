#pragma once
// The LDF writer: the model as LDF text, every line ended by "\r\n".
#include <string>

#include "ldf/netconfig_ldf_file.h"

namespace qm::ldf {

std::string WriteLdfText(const LdfModel& model);

}  // namespace qm::ldf
