#include "diag/cdd_context.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "diag/diag_tables.h"
#include "diag/diagnose_lib.h"
#include "platform/open_table.h"
#include "quillmere/xml.h"

namespace qm::diag {

bool DataTypeMemos::Holds(const Slot& slot, std::string_view reference, uint64_t hash) {
    if (slot.hash != hash || slot.size != reference.size()) return false;
    const char* stored = reference.size() <= kInline ? slot.chars : slot.text;
    return std::memcmp(stored, reference.data(), reference.size()) == 0;
}

void DataTypeMemos::Grow() {
    platform::GrowTable(slots_, 256, [](const Slot& slot) { return slot.memo != 0; });
}

DataTypeMemos::Memo& DataTypeMemos::Find(std::string_view reference, bool& created) {
    if ((memos_.size() + 1) * 2 > slots_.size()) Grow();
    const uint64_t hash = platform::ShortTextHash(reference);
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    for (; slots_[at].memo != 0; at = (at + 1) & mask) {
        if (Holds(slots_[at], reference, hash)) {
            created = false;
            return memos_[slots_[at].memo - 1];
        }
    }
    Slot& slot = slots_[at];
    slot.hash = hash;
    slot.size = static_cast<uint32_t>(reference.size());
    if (reference.size() <= kInline) {
        std::memcpy(slot.chars, reference.data(), reference.size());
    } else {
        slot.text = reference.data();
    }
    memos_.emplace_back();
    slot.memo = static_cast<uint32_t>(memos_.size());
    created = true;
    return memos_.back();
}

void DataTypeMemos::Clear() {
    std::vector<Slot>().swap(slots_);
    memos_.clear();
}

void CddContext::ClearVariant() {
    ecu = templates = faultMemoryTemplate = dataTypes = nullptr;
    negativeResponseCodes = dtcStatusMask = protocolServices = instance = nullptr;
}

NanoXML* CddContext::ById(const std::string& id) const {
    return ids != nullptr ? ids->Find(id) : nullptr;
}

namespace {

bool IsBelow(const NanoXML* node, const NanoXML* ancestor) {
    for (const NanoXML* up = node ? node->parent : nullptr; up != nullptr; up = up->parent) {
        if (up == ancestor) return true;
    }
    return false;
}

}  // namespace

// The index answers; a scan settles ids that the document uses twice.
NanoXML* CddContext::FindIn(NanoXML* container, const std::string& id, bool direct) const {
    if (container == nullptr || id.empty()) return nullptr;
    NanoXML* found = ById(id);
    if (found != nullptr && (direct ? found->parent == container : IsBelow(found, container))) {
        return found;
    }
    if (found == nullptr) return nullptr;
    // The id is used more than once, or elsewhere: the first holder inside the container wins.
    std::vector<NanoXML*> pending(container->children.rbegin(), container->children.rend());
    while (!pending.empty()) {
        NanoXML* node = pending.back();
        pending.pop_back();
        if (AttributeText(*node, "id") == id) return node;
        if (!direct) pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
    return nullptr;
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

namespace {
// The language of the build running now ("" for the described preference); the CDD build is
// one at a time in the process (its mutex), so one value serves.
std::string& BuildLanguage() {
    static std::string language;
    return language;
}
}  // namespace

void SetBuildLanguage(std::string language) {
    BuildLanguage() = std::move(language);
}

std::string FirstUpToDateLanguage(const NanoXML* root) {
    for (const NanoXML* child : root->children) {
        if (child->name != "ECUDOC") continue;
        std::string list = AttributeText(*child, "uptodateLanguages");
        if (list.empty()) list = AttributeText(*child, "languages");
        std::string first;
        for (const char c : list) {
            if (c == '(' || c == ' ') continue;
            if (c == ',' || c == ')') {
                if (!first.empty()) break;
                continue;
            }
            first += c;
        }
        if (!first.empty()) return first;
    }
    // No list: the language of the document's first text.
    std::vector<const NanoXML*> pending{root};
    while (!pending.empty()) {
        const NanoXML* node = pending.back();
        pending.pop_back();
        if (node->name == "TUV") return AttributeText(*node, "xml:lang");
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            pending.push_back(*it);
    }
    return "";
}

std::string LanguageText(const NanoXML* element) {
    if (element == nullptr) return "";
    const std::string_view preferred =
        BuildLanguage().empty() ? std::string_view(PreferredLanguage()) : BuildLanguage();
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
