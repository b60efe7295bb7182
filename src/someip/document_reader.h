#pragma once
// Whole-document SOME/IP reading: every service interface, SOME/IP deployment, service
// instance, machine mapping and data type of every AR-PACKAGE at any depth, joined across the
// loaded files by reference into the service model.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmere/xml.h"
#include "someip/document_model.h"

namespace qm::someip {

// The package elements of the kinds whole-document reading looks at, each once, in document
// order per list.
struct DocumentElements {
    std::vector<const NanoXML*> types;
    std::vector<const NanoXML*> interfaces;
    std::vector<const NanoXML*> deployments;
    std::vector<const NanoXML*> instances;         // Adaptive provided and required
    std::vector<const NanoXML*> classicInstances;  // Classic provided and consumed
    std::vector<const NanoXML*> mappings;          // instance to machine or process
    std::vector<const NanoXML*> ethernetClusters;  // searched for Classic instances
    std::vector<const NanoXML*> notHeld;
};

DocumentElements CollectServiceElements(const NanoXML* root);

// The data types of the document, and the types that references lead to.
class TypeTable {
  public:
    TypeTable(DocumentModel& model, std::string& messages) : model_(model), messages_(messages) {}

    // Creates a type for every type element, then fills each one, then checks alias loops and
    // structures that contain themselves.
    void Read(const std::vector<const NanoXML*>& elements);
    // The type a reference element (TYPE-TREF, …-REF) leads to: a type read, a primitive of a
    // SW-BASE-TYPE, or a placeholder named after the reference text. Null for null.
    CSomeIpType* FromReference(const NanoXML* reference);

  private:
    void FillImplementation(CSomeIpType& type, const NanoXML* element, int depth);
    void FillStdCpp(CSomeIpType& type);
    void FillApplication(CSomeIpType& type);
    CSomeIpType* SubElementType(const NanoXML* sub, const std::string& owner, int depth);
    CSomeIpType* InlineType(const std::string& name);
    CSomeIpType* Primitive(const std::string& cppType);
    CSomeIpType* FromBaseType(const NanoXML* baseType);
    bool ReadEnumerators(CSomeIpType& type, const NanoXML* props);
    // An "ARRAY" of a stated size in range is fixed; anything else (a "VECTOR", a variable size,
    // a size out of range, said in a line) holds a variable count of its element type.
    void SetArrayShape(CSomeIpType& type, const std::string& category, const std::string& size,
                       bool variableSize);
    void NotRead(const CSomeIpType& type, const std::string& why);
    void CheckAliasLoops();
    void CheckSelfContainment();

    DocumentModel& model_;
    std::string& messages_;
    std::unordered_map<const NanoXML*, CSomeIpType*> byElement_;
    std::unordered_map<std::string, CSomeIpType*> byName_;  // placeholders and primitives
};

// Reads everything below root into model (replacing what it held); returns the message lines.
std::string ReadWholeDocument(const NanoXML* root, DocumentModel& model);

// The C++ primitive a type name stands for ("uint8_t", "UInt8", "float32", "boolean" …), or
// "" when the name is no primitive; "std::string" for string names.
std::string PrimitiveOfName(std::string_view name);
// "/A/B/Name": the SHORT-NAMEs of the element and of its named ancestors.
std::string PackagePath(const NanoXML* element);

// The structure members whose type contains the structure itself by value (directly, through
// aliases, enumerations or fixed arrays), as (structure, member index); found without
// recursion.
std::vector<std::pair<const CSomeIpType*, size_t>> SelfContainingMembers(
    const std::vector<const CSomeIpType*>& structures);

}  // namespace qm::someip
