#pragma once
// Reads ECU instances, their communication controllers and their PDU groups.
#include "arxml_com/arxml_ecu.h"
#include "arxml_com/arxml_read_context.h"
#include "quillmere/xml.h"

namespace qm::arxml {

// Fills ecu from an ECU-INSTANCE element, child by child, with its PDU groups.
void ReadEcuInstance(ArxmlReadContext& context, const NanoXML* instance, ArxmlEcu& ecu);

// Fills the ECU's CAN requirements, wake-up support and LIN master timing from a controller.
void ReadController(ArxmlReadContext& context, const NanoXML* controller, ArxmlEcu& ecu);

// A PDU group read from an I-SIGNAL-I-PDU-GROUP (AUTOSAR 4) or I-PDU-GROUP (AUTOSAR 3).
std::unique_ptr<ArxmlPduGroup> ReadPduGroup(ArxmlReadContext& context, const NanoXML* element);

}  // namespace qm::arxml
