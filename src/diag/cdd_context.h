#pragma once
// What the CDD build knows while it builds one ECU variant: the sections of the document it
// reads from, the diagnostic instance whose services are being built, and an index of the
// document's identifiers.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "diag/diag_param.h"
#include "diag/shared_text.h"
#include "xml/id_table.h"

class CDiagnoseLib;
class NanoXML;

namespace qm::diag {

// What the build learnt about each data type named by "dtref": the type's element, looked up
// once, and for a type without nested components the facts it gives every fresh parameter,
// worked out once and copied from then on. Keyed by the reference text in one flat table that
// keeps short references inline, so that a repeated reference costs a probe into a small array
// and no walk through scattered nodes.
class DataTypeMemos {
  public:
    struct Memo {
        NanoXML* type = nullptr;
        std::unique_ptr<CParam> facts;  // null for types with nested components
    };
    // The memo of the reference, made empty when there is none yet (created says so). The
    // reference must stay in place while the table is used (an attribute value of the
    // document); a memo stays where it is until Clear().
    Memo& Find(std::string_view reference, bool& created);
    void Clear();
    size_t Size() const { return memos_.size(); }

  private:
    static constexpr size_t kInline = 16;
    struct Slot {
        uint64_t hash = 0;
        uint32_t memo = 0;  // index + 1 into memos_, 0 for an empty slot
        uint32_t size = 0;
        union {
            char chars[kInline];  // references up to kInline characters
            const char* text;     // longer ones, in place
        };
    };
    static bool Holds(const Slot& slot, std::string_view reference, uint64_t hash);
    void Grow();

    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::deque<Memo> memos_;   // a deque: memos stay in place while the table grows
};

struct CddContext {
    CDiagnoseLib* library = nullptr;
    NanoXML* root = nullptr;  // the "CANDELA" element
    // Reading as CANdela tools read it (byte order, signedness, unions); else as described.
    bool asWritten = false;

    // The seven element references of one ECU variant.
    NanoXML* ecu = nullptr;
    NanoXML* templates = nullptr;
    NanoXML* faultMemoryTemplate = nullptr;
    NanoXML* dataTypes = nullptr;
    NanoXML* negativeResponseCodes = nullptr;
    NanoXML* dtcStatusMask = nullptr;
    NanoXML* protocolServices = nullptr;
    NanoXML* instance = nullptr;

    // Every element of the document with an "id", the first of each value in document order:
    // the reference resolution's table where that holds the same, else the build's own.
    const xml::IdTable* ids = nullptr;
    xml::IdTable ownIds;
    // Parameters that may still be made from this document: nested and re-used data types
    // cannot blow up beyond a multiple of the document's size.
    size_t parameterBudget = 0;
    bool budgetReported = false;
    // Warnings already given for this build: a data type used many times is reported once.
    mutable std::unordered_set<std::string> warned;
    // One buffer per distinct text the parameters share (type names, units, data types).
    TextCache texts;
    DataTypeMemos dataTypeMemos;

    void ClearVariant();
    // The element with that id, or null.
    NanoXML* ById(const std::string& id) const;
    // The element with that id below (or, for direct, right under) the container, or null.
    NanoXML* FindIn(NanoXML* container, const std::string& id, bool direct) const;
    // The data type a "dtref" names: an element of the data types, never one elsewhere.
    NanoXML* DataType(const std::string& id) const { return FindIn(dataTypes, id, false); }
    void Warn(const std::string& text) const;
};

// The value of the element's first attribute of that name, "" when it has none (the name is
// compared in place, without making a string of it).
const std::string& AttributeText(const NanoXML& element, std::string_view name);

// The language text of a multilingual element: the first "TUV" child whose "xml:lang"
// contains the preferred language, else the first "TUV", else "".
std::string LanguageText(const NanoXML* element);
// The language LanguageText prefers during the build ("" for the described "de").
void SetBuildLanguage(std::string language);
// The first language of the document's "uptodateLanguages" (else "languages"), "" when none.
std::string FirstUpToDateLanguage(const NanoXML* root);
// The language text of the named child of element ("" when there is none).
std::string ChildLanguageText(NanoXML* element, const char* child);
// The text of the named child ("" when there is none).
std::string ChildText(NanoXML* element, const char* child);
// A decimal attribute; `valid` is false when it is present but not a number.
int64_t DecimalAttribute(const NanoXML* element, const char* name, bool* valid = nullptr);

}  // namespace qm::diag
