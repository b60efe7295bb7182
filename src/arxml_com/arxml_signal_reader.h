#pragma once
// The data a signal takes from its system signal: description, limits, unit and compu scales.
#include "arxml_com/arxml_signal.h"
#include "quillmere/xml.h"

namespace qm::arxml {

// Looks through the system signal first, then (whole-document reading) the I-signal, whose
// network representation may name the compu method and constraints, then an AUTOSAR 3 data
// type; either may be null.
void ReadSystemSignalData(const NanoXML* systemSignal, const NanoXML* iSignal, bool wholeDocument,
                          ArxmlSignal& signal);

// The scales of a COMPU-METHOD's internal-to-physical conversion, in document order; with
// decode, their texts' character references are decoded.
void ReadCompuScales(const NanoXML* compuMethod, bool decode, ArxmlSignal& signal);

}  // namespace qm::arxml
