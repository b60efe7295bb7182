#pragma once
// The DBC writer: renders the whole model as DBC text, section by section, in the order the
// reader expects, so that the text reads back into the same model.
#include <string>

namespace qm::dbc {

class NetConfigDbcFile;

std::string RenderDbcText(const NetConfigDbcFile& file);

}  // namespace qm::dbc
