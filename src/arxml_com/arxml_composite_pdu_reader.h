#pragma once
// Whole-document reading: the PDUs that carry other PDUs (container, secured and multiplexed
// PDUs) get the signals of the PDUs they carry, at the places where those lie.
#include <vector>

#include "arxml_com/arxml_read_context.h"
#include "quillmere/xml.h"

namespace qm::arxml {

// Runs once every PDU element of the document below root (pduElements, in document order) has
// been read into the context's PDUs, so that a carrier finds the signals of PDUs that follow it.
void ReadCompositePdus(ArxmlReadContext& context, const NanoXML* root,
                       const std::vector<const NanoXML*>& pduElements);

}  // namespace qm::arxml
