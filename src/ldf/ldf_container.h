#pragma once
// The container form of an LDF model: the "LDF" element that the container file holds for a LIN
// bus, built from the model and filled back into a model without the LDF text.
#include <cstdint>

#include "ldf/netconfig_ldf_file.h"

class NanoXML;

namespace qm::ldf {

// A new "LDF" element (the caller owns it) holding the whole model.
NanoXML* BuildLdfContainer(const LdfModel& model);

// Fills the file's model from an "LDF" element and returns 1. A missing element, or one of
// another name, is not read: the model stays as it was and the result is still 1. Problems
// (references to objects that do not exist, texts that are no numbers) are reported in the
// file's messages; the rest of the element is still read.
uint8_t FillLdfFromContainer(NetConfigLdfFile& file, const NanoXML* element);

}  // namespace qm::ldf
