#pragma once
// Parameters from ODX "PARAM" elements: names, positions, coded constants, the coded type,
// the data object they refer to, and the finishing rules that complete their type.
#include <memory>
#include <vector>

#include "diag/diag_param.h"
#include "diag/odx_context.h"

namespace qm::diag {

// Deeper nesting of data objects than this is a reference cycle or a hostile file.
constexpr int kOdxMaxDepth = 32;

// A parameter from one "PARAM" (null once the build's parameter budget is spent).
std::unique_ptr<CParam> ReadOdxParam(OdxContext& context, NanoXML* element, int depth);

// Every "PARAM" of the "PARAMS" child of element into `into` with `owner` as their owner
// reference. The parameters of a message take their position from their predecessor (the same
// rule as CDD components, applied to every parameter whether or not it states a byte
// position); those of a structure stand where they say.
enum class OdxPlacement { kFromPredecessor, kAsStated };
void ReadOdxParams(OdxContext& context, NanoXML* element,
                   std::vector<std::unique_ptr<CParam>>& into, uint64_t owner, int depth,
                   OdxPlacement placement);

// The coding of a "DIAG-CODED-TYPE": base data type, byte order, lengths and mask; read as
// written also how the bits hold a whole number (its BASE-TYPE-ENCODING).
void ApplyCodedType(NanoXML* coded, CParam& param, bool asWritten);

// The base type code of an ODX base data type; names that the model's table does not know
// map to the nearest base type ("A_UNICODE2STRING" to UTF16STRING, for example).
uint32_t OdxBaseTypeCode(std::string_view baseDataType);

// The finishing rules: constant-component type for service identifiers and subfunctions,
// a base data type and code when none was given, a bit length when none was given.
void FinishOdxParam(CParam& param);

}  // namespace qm::diag
