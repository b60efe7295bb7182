#include "diag/cdd_context.h"

#include <charconv>

#include "diag/diag_tables.h"
#include "diag/diagnose_lib.h"
#include "quillmere/xml.h"

namespace qm::diag {

void CddContext::ClearVariant() {
    ecu = templates = faultMemoryTemplate = dataTypes = nullptr;
    negativeResponseCodes = dtcStatusMask = protocolServices = instance = nullptr;
}

NanoXML* CddContext::ById(const std::string& id) const {
    return ids != nullptr ? ids->Find(id) : nullptr;
}

void CddContext::Warn(const std::string& text) const {
    if (library == nullptr || !warned.insert(text).second) return;
    library->AppendMessage("WARNING. " + text + ".\r\n");
}

namespace {

// Attribute names of CDD files are short and often of equal length ("id", "bl", "bo"): a
// comparison in place beats a call to memcmp.
bool SameName(const std::string& stored, std::string_view wanted) {
    if (stored.size() != wanted.size()) return false;
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (stored[i] != wanted[i]) return false;
    }
    return true;
}

}  // namespace

const std::string& AttributeText(const NanoXML& element, std::string_view name) {
    static const std::string kNone;
    for (const NanoXMLAttribute& attribute : element.attributes) {
        if (SameName(attribute.name, name)) return attribute.value;
    }
    return kNone;
}

std::string LanguageText(const NanoXML* element) {
    if (element == nullptr) return "";
    const std::string_view preferred = PreferredLanguage();
    const NanoXML* first = nullptr;
    for (const NanoXML* child : element->children) {
        if (std::string_view(child->name) != "TUV") continue;
        if (first == nullptr) first = child;
        if (AttributeText(*child, "xml:lang").find(preferred) != std::string::npos) {
            return child->GetText();
        }
    }
    return first ? first->GetText() : "";
}

std::string ChildLanguageText(NanoXML* element, const char* child) {
    if (element == nullptr) return "";
    return LanguageText(element->GetChild(child, false));
}

std::string ChildText(NanoXML* element, const char* child) {
    if (element == nullptr) return "";
    const NanoXML* found = element->GetChild(child, false);
    return found ? found->GetText() : "";
}

int64_t DecimalAttribute(const NanoXML* element, const char* name, bool* valid) {
    if (valid) *valid = true;
    const std::string& text = AttributeText(*element, name);
    if (text.empty()) return 0;
    int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        if (valid) *valid = false;
        return 0;
    }
    return value;
}

}  // namespace qm::diag
