#include "diag/cdd_context.h"

#include <charconv>

#include "diag/diag_tables.h"
#include "diag/diagnose_lib.h"
#include "quillmere/xml.h"
#include "xml/attribute_lookup.h"

namespace qm::diag {

void CddContext::ClearVariant() {
    ecu = templates = faultMemoryTemplate = dataTypes = nullptr;
    negativeResponseCodes = dtcStatusMask = protocolServices = instance = nullptr;
}

NanoXML* CddContext::ById(const std::string& id) const {
    if (id.empty()) return nullptr;
    const auto found = ids.find(id);
    return found == ids.end() ? nullptr : found->second;
}

void CddContext::Warn(const std::string& text) const {
    if (library == nullptr || !warned.insert(text).second) return;
    library->AppendMessage("WARNING. " + text + ".\r\n");
}

std::string LanguageText(const NanoXML* element) {
    if (element == nullptr) return "";
    const NanoXML* first = nullptr;
    for (const NanoXML* child : element->children) {
        if (child->name != "TUV") continue;
        if (first == nullptr) first = child;
        if (qm::xml::AttributeValueOf(*child, "xml:lang").find(PreferredLanguage()) !=
            std::string::npos) {
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
    const std::string& text = qm::xml::AttributeValueOf(*element, name);
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
