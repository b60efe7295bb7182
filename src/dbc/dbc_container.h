#pragma once
// The container form of a DBC model: the "DBC" element that the container file holds for a CAN
// bus, built from the model and read back into a cleared model without the DBC text.
#include "dbc/netconfig_dbc_file.h"

class NanoXML;

namespace qm::dbc {

// A new "DBC" element (the caller owns it) holding the whole model.
NanoXML* ExportDbcContainer(const NetConfigDbcFile& file);

// Fills a cleared file object from a "DBC" element; false (and nothing filled) for any other
// element. References to objects that do not exist and texts that are no numbers are reported
// in the file's messages; the rest of the element is still read.
bool ImportDbcContainer(NetConfigDbcFile& file, const NanoXML* element);

}  // namespace qm::dbc
