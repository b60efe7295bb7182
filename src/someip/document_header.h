#pragma once
// The C++ header of whole-document reading: every data type read (structures with their
// members, enumerations, arrays, vectors, aliases) in namespace someip_types, and per service
// its ids, versions, instances, method arguments, event and field types in namespace
// someip_services. The text compiles as C++11 and later.
#include <string>
#include <string_view>

#include "someip/document_model.h"

namespace qm::someip {

// serviceName null or empty: every service with an interface, a deployment or a Classic
// instance; otherwise that service alone (the types are always all written). The text
// replaces what `out` held, reusing its memory.
void GenerateDocumentHeader(const DocumentModel& model, const char* serviceName, std::string& out);

// A C++ identifier for a name: other characters become '_', keywords, reserved names and
// macros of the standard headers get a trailing '_', a leading digit a leading 'n'.
std::string CppIdentifier(std::string_view name);

}  // namespace qm::someip
