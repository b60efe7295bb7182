#pragma once
// The model's XML form: one element per object, attributes in a fixed order, and the
// reading side that rebuilds objects from such elements.
#include <string>

#include "diag/diag_ecu.h"
#include "diag/diag_ext_document.h"

class NanoXML;

namespace qm::diag {

NanoXML* EcuToElement(CECU& ecu);
NanoXML* FunctionalClassToElement(CFunctionalClass& cls);
NanoXML* ServiceToElement(CUDSService& service);
NanoXML* FunctionToElement(CUDSFunction& function);
NanoXML* DtcToElement(CDTC& dtc);
NanoXML* ExtDocumentToElement(CExtDocument& document);

// Fill an object from its element; false (and the object is to be discarded) when the
// element has another name.
bool EcuFromElement(NanoXML* node, CECU& ecu);
bool FunctionalClassFromElement(NanoXML* node, CFunctionalClass& cls);
bool ServiceFromElement(NanoXML* node, CUDSService& service);
bool FunctionFromElement(NanoXML* node, CUDSFunction& function);
bool DtcFromElement(NanoXML* node, CDTC& dtc);
bool ValueFromElement(NanoXML* node, CVTabValue& value);

// Attribute values are stored with "&", "<", ">" and the double quote escaped, so that the
// written file is well-formed whatever the texts hold; reading undoes exactly that.
std::string EscapeAttribute(const std::string& text);
std::string UnescapeAttribute(const std::string& text);

}  // namespace qm::diag
