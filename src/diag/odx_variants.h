#pragma once
// Variants to ECUs: the services of a layer with those it inherits through its parents,
// duplicates removed by short name, grouped into functional classes; and the layer's DTCs.
#include <memory>
#include <vector>

#include "diag/diag_ecu.h"
#include "diag/odx_context.h"

namespace qm::diag {

// An ECU from a "BASE-VARIANT" or "ECU-VARIANT" element.
std::unique_ptr<CECU> BuildOdxEcu(OdxContext& context, NanoXML* variant);

// The "DIAG-SERVICE" elements of a layer, own ones first, then those of its parents depth
// first, without the later namesakes of an earlier service.
std::vector<NanoXML*> CollectOdxServices(OdxContext& context, NanoXML* layer);

// A DTC from a "DTC" element, with its special data.
std::unique_ptr<CDTC> BuildOdxDtc(NanoXML* element);

}  // namespace qm::diag
