#pragma once
// A readable rendering of the DBC model for display.
#include <string>

namespace qm::dbc {

class NetConfigDbcFile;

std::string RenderInfoText(const NetConfigDbcFile& file);

}  // namespace qm::dbc
