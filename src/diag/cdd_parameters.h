#pragma once
// Parameters from CDD components, data objects and data types.
#include <memory>

#include "diag/cdd_context.h"
#include "diag/diag_param.h"

namespace qm::diag {

// The components a message lists as its parameters.
bool IsMessageComponent(const std::string& name);

// A parameter made from one component or data object (null once the document's parameter
// budget is spent). depth counts the structures it is nested in.
std::unique_ptr<CParam> ReadComponent(CddContext& context, NanoXML* element, int depth);

// Derives P's byte and bit position from the parameter before it (null for the first).
void PlaceAfter(CParam& param, const CParam* previous);

}  // namespace qm::diag
