#pragma once
// Table parameters: a "TABLE-KEY" selects a row of a "TABLE" (its rows become the key's
// value table) and a "TABLE-STRUCT" follows its key to the same table (its rows become
// conditional cases whose structures are the row's parameters).
#include "diag/diag_param.h"
#include "diag/odx_context.h"

namespace qm::diag {

// Applies the table parts of a "PARAM" (key or table structure); nothing for other params.
void ApplyTableParts(OdxContext& context, NanoXML* element, CParam& param, int depth);

}  // namespace qm::diag
