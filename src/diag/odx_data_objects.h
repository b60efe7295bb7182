#pragma once
// The data objects a parameter refers to: data object properties (with text tables),
// structures, end-of-PDU fields, DTC data objects and multiplexers.
#include "diag/diag_param.h"
#include "diag/odx_context.h"

namespace qm::diag {

// Finds the data object of a "PARAM" ("DOP-REF", "DATA-OBJECT-PROP-REF" or "DOP-SNREF") and
// applies it to the parameter; logs the unresolved and unhandled cases.
void ApplyParamDataObject(OdxContext& context, NanoXML* element, CParam& param, int depth);

// Applies one data object element of any handled kind; false for a kind that is not handled.
bool ApplyDataObject(OdxContext& context, NanoXML* target, CParam& param, int depth);

// The coded type, computation method, unit and display of a "DATA-OBJECT-PROP".
// Reading as written decodes character references in its value-table texts and takes the
// coded type's encoding of whole numbers.
void ApplyDataObjectProp(NanoXML* dop, CParam& param, bool asWritten = false);

// Every "PARAM" of a structure becomes a sub-parameter of param; the bit length follows.
void ApplyStructure(OdxContext& context, NanoXML* structure, CParam& param, int depth);

}  // namespace qm::diag
