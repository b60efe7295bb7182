#pragma once
// Reads PDU elements (AUTOSAR 3 and 4) into the PDUs of the file: name, length, timing,
// signals and signal groups.
#include "arxml_com/arxml_read_context.h"
#include "quillmere/xml.h"

namespace qm::arxml {

// Appends a new PDU read from element to the file's PDUs and returns it.
ArxmlPdu* ReadPdu(ArxmlReadContext& context, const NanoXML* element);

}  // namespace qm::arxml
