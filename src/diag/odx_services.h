#pragma once
// Diagnostic services from "DIAG-SERVICE" elements: names and description, the request and
// response messages as functions, and the sessions the service is allowed in.
#include <memory>

#include "diag/diag_service.h"
#include "diag/odx_context.h"

namespace qm::diag {

// A service from a "DIAG-SERVICE"; null when it has no "REQUEST-REF" and is read as described
// (such a service is read, then kept aside in the context: it is not part of the model).
std::unique_ptr<CUDSService> BuildOdxService(OdxContext& context, NanoXML* element);

// A function from a request or response element, of the given type ("REQ", "POS", "NEG").
std::unique_ptr<CUDSFunction> BuildOdxFunction(OdxContext& context, NanoXML* message,
                                               const char* type);

}  // namespace qm::diag
