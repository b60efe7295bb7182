#pragma once
// Reads communication clusters: their properties, the ECUs connected through the physical
// channels, the PDUs triggered on them and the frame data of those PDUs.
#include "arxml_com/arxml_read_context.h"
#include "quillmere/xml.h"

namespace qm::arxml {

// Appends the cluster read from element to the file's clusters; an element of a kind this
// reader does not know is reported and skipped.
void ReadCluster(ArxmlReadContext& context, const NanoXML* element);

}  // namespace qm::arxml
