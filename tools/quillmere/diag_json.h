#pragma once
// The diagnostic model as JSON, shared by the formats that show diagnostic libraries (the CDD
// file and the container file).
#include <cstdint>
#include <string>
#include <vector>

#include "format.h"
#include "quillmere/diag.h"

namespace qmtool {

std::string HexByte(unsigned value);
std::string HexBytes(const std::vector<uint8_t>& bytes, const char* separator);
// Whether EncodeBytes lays messages out as written (the codec, stated positions) rather than
// by the described Encode; set by the diagnostic loads of the tool.
void SetEncodingAsWritten(bool asWritten);
// The encoded message; throws ToolError for a message too long to show.
std::vector<uint8_t> EncodeBytes(IUDSFunction* function);
uint64_t ServiceCount(IECU* ecu);
Json ServiceJson(IUDSService* service);
// shortName, variant, base and the class (or group), service and DTC counts.
Json EcuSummary(IECU* ecu, bool grouping);
// The summary's names with every class (or group), service and DTC.
Json EcuJson(IECU* ecu, bool grouping);
Json EcuSummaries(IDiagnoseLib& library, bool grouping);
Json EcusJson(IDiagnoseLib& library, bool grouping);
Json ExtDocumentsJson(IDiagnoseLib& library);

}  // namespace qmtool
