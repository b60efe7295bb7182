#pragma once
// The C++ text of a service's data types and the fixed compatibility block.
#include <string>

#include "someip/owned_items.h"
#include "someip/struct_datatype.h"

namespace qm::someip {

// One structure per top-level structure of the service, nested structures, enumerations and
// arrays inside; lines end in "\n".
std::string StructureText(const std::string& serviceName,
                          const OwnedItems<CStructDatatype>& structures);
// The type definitions the structure text relies on; lines end in "\r\n".
std::string CompatibilityBlock();

}  // namespace qm::someip
