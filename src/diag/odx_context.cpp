#include "diag/odx_context.h"

#include <cstring>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "diag/diag_service.h"
#include "platform/code_pages.h"
#include "quillmere/xml.h"

namespace qm::diag {

namespace {

// How deep below a container data object properties are looked for (the container, its
// layer list, the layer, its dictionary and the property list).
constexpr int kDataObjectDepth = 5;
// How deep below a container tables are looked for.
constexpr int kTableDepth = 6;

NanoXML* EnclosingContainer(NanoXML* from) {
    return NanoXML::FindAncestor(from, "DIAG-LAYER-CONTAINER");
}

// Elements named `name` up to `depth` levels below root, in document order, into `index`
// under their SHORT-NAME (the first of each name kept). Iterative: no recursion on input.
void IndexByShortName(NanoXML* root, std::string_view name, int depth,
                      std::unordered_map<std::string_view, NanoXML*>& index,
                      std::unordered_map<std::string_view, NanoXML*>* byId) {
    std::vector<std::pair<NanoXML*, int>> pending;
    for (auto it = root->children.rbegin(); it != root->children.rend(); ++it)
        pending.emplace_back(*it, 1);
    while (!pending.empty()) {
        auto [node, level] = pending.back();
        pending.pop_back();
        if (node->name == name) {
            const std::string_view shortName = ShortNameOf(node);
            if (!shortName.empty()) index.try_emplace(shortName, node);
            if (byId != nullptr) {
                const std::string_view id = AttributeOf(node, "ID");
                if (!id.empty()) byId->try_emplace(id, node);
            }
        }
        if (level >= depth) continue;
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            pending.emplace_back(*it, level + 1);
    }
}

// The slot of `message`, or the empty one where it belongs.
template <typename Slot>
Slot* FindBuiltSlot(std::vector<Slot>& slots, const NanoXML* message) {
    const size_t mask = slots.size() - 1;
    size_t at = static_cast<size_t>(
                    (reinterpret_cast<uintptr_t>(message) >> 4) * 0x9e3779b97f4a7c15ULL >> 20) &
                mask;
    while (slots[at].message != nullptr && slots[at].message != message) at = (at + 1) & mask;
    return &slots[at];
}

}  // namespace

OdxContext::OdxContext() = default;
OdxContext::~OdxContext() = default;

void OdxContext::Log(const std::string& line) {
    if (recordedLines != nullptr) recordedLines->push_back(line);
    NanoXML::AppendMessage(line);
}

void OdxContext::LogOnce(const std::string& line) {
    // Not recorded: a copy of the build must not repeat it.
    if (warned.insert(line).second) NanoXML::AppendMessage(line);
}

OdxContext::BuiltFunction& OdxContext::BuiltFunctionOf(const NanoXML* message) {
    if ((built_.size() + 1) * 2 > builtSlots_.size()) {
        std::vector<BuiltSlot> old = std::move(builtSlots_);
        builtSlots_.assign(old.empty() ? 1024 : old.size() * 2, BuiltSlot{});
        for (const BuiltSlot& slot : old) {
            if (slot.message != nullptr) *FindBuiltSlot(builtSlots_, slot.message) = slot;
        }
    }
    BuiltSlot* slot = FindBuiltSlot(builtSlots_, message);
    if (slot->message == nullptr) {
        slot->message = message;
        built_.emplace_back();
        slot->entry = static_cast<uint32_t>(built_.size() - 1);
    }
    return built_[slot->entry];
}

bool OdxContext::TakeBudget() {
    if (parameterBudget > 0) {
        --parameterBudget;
        return true;
    }
    if (!budgetReported) {
        budgetReported = true;
        Log("ODX Warning: parameter expansion limit reached, further parameters skipped\r\n");
    }
    return false;
}

void OdxContext::CollectDataObjects(NanoXML* container) {
    ContainerNames& names = containers[container];
    IndexByShortName(container, "DATA-OBJECT-PROP", kDataObjectDepth, names.dops, &dopsById);
}

NanoXML* OdxContext::DataObjectByShortName(NanoXML* from, std::string_view shortName) {
    NanoXML* container = EnclosingContainer(from);
    const auto found = containers.find(container);
    if (found == containers.end()) return nullptr;
    const auto dop = found->second.dops.find(shortName);
    return dop == found->second.dops.end() ? nullptr : dop->second;
}

NanoXML* OdxContext::TableByShortName(NanoXML* from, std::string_view shortName) {
    NanoXML* container = EnclosingContainer(from);
    if (container == nullptr) return nullptr;
    ContainerNames& names = containers[container];
    if (!names.tablesIndexed) {
        names.tablesIndexed = true;
        IndexByShortName(container, "TABLE", kTableDepth, names.tables, nullptr);
    }
    const auto table = names.tables.find(shortName);
    return table == names.tables.end() ? nullptr : table->second;
}

namespace {

bool IsLayer(std::string_view name) {
    return name == "BASE-VARIANT" || name == "ECU-VARIANT" || name == "PROTOCOL" ||
           name == "FUNCTIONAL-GROUP" || name == "ECU-SHARED-DATA";
}

int LayerPriority(std::string_view name) {
    if (name == "PROTOCOL") return 1;
    if (name == "FUNCTIONAL-GROUP") return 2;
    if (name == "BASE-VARIANT") return 3;
    if (name == "ECU-VARIANT") return 4;
    return 0;
}

bool IsDataObjectElement(std::string_view name) {
    return name == "DATA-OBJECT-PROP" || name == "STRUCTURE" || name == "END-OF-PDU-FIELD" ||
           name == "DTC-DOP" || name == "MUX" || name == "STATIC-FIELD" ||
           name == "DYNAMIC-LENGTH-FIELD" || name == "DYNAMIC-ENDMARKER-FIELD" ||
           name == "ENV-DATA-DESC" || name == "ENV-DATA";
}

std::unordered_set<std::string_view> ExcludedNames(NanoXML* parentRef, std::string_view list) {
    std::unordered_set<std::string_view> names;
    if (NanoXML* entries = Child(parentRef, list)) {
        for (NanoXML* entry : entries->children) {
            for (NanoXML* reference : entry->children) {
                const std::string_view name = AttributeOf(reference, "SHORT-NAME");
                if (!name.empty()) names.insert(name);
            }
        }
    }
    return names;
}

NanoXML* EnclosingLayer(NanoXML* from) {
    for (NanoXML* node = from; node != nullptr; node = node->parent) {
        if (IsLayer(node->name)) return node;
    }
    return nullptr;
}

// Deeper inheritance than this is a cycle or a hostile file.
constexpr int kMaxLayerDepth = 64;

}  // namespace

const OdxContext::LayerItems& OdxContext::ItemsOf(NanoXML* layer, int depth) {
    static const LayerItems kNone;
    const auto known = layerItems.find(layer);
    if (known != layerItems.end()) return known->second;
    if (depth > kMaxLayerDepth) return kNone;
    LayerItems items;
    if (NanoXML* dictionary = Child(layer, "DIAG-DATA-DICTIONARY-SPEC")) {
        for (NanoXML* list : dictionary->children) {
            for (NanoXML* item : list->children) {
                const std::string_view name = ShortNameOf(item);
                if (name.empty()) continue;
                if (IsDataObjectElement(item->name)) items.dops.try_emplace(name, item);
                if (item->name == "TABLE") items.tables.try_emplace(name, item);
            }
        }
    }
    // Marked before the parents are read: a cycle back here sees what is known so far.
    layerItems[layer] = items;
    std::vector<NanoXML*> parents;
    if (NanoXML* list = Child(layer, "PARENT-REFS")) {
        for (NanoXML* reference : list->children) {
            if (reference->name == "PARENT-REF" && LinkEnd(reference->link) != nullptr)
                parents.push_back(reference);
        }
    }
    std::stable_sort(parents.begin(), parents.end(), [](NanoXML* a, NanoXML* b) {
        return LayerPriority(LinkEnd(a->link)->name) > LayerPriority(LinkEnd(b->link)->name);
    });
    for (NanoXML* reference : parents) {
        const LayerItems inherited = ItemsOf(LinkEnd(reference->link), depth + 1);
        const auto noDops = ExcludedNames(reference, "NOT-INHERITED-DOPS");
        const auto noTables = ExcludedNames(reference, "NOT-INHERITED-TABLES");
        for (const auto& [name, item] : inherited.dops) {
            if (noDops.count(name) == 0) items.dops.try_emplace(name, item);
        }
        for (const auto& [name, item] : inherited.tables) {
            if (noTables.count(name) == 0) items.tables.try_emplace(name, item);
        }
    }
    return layerItems[layer] = std::move(items);
}

NanoXML* OdxContext::LayerDataObject(NanoXML* from, std::string_view shortName) {
    NanoXML* layer = EnclosingLayer(from);
    if (layer == nullptr) return nullptr;
    const LayerItems& items = ItemsOf(layer, 0);
    const auto found = items.dops.find(shortName);
    return found == items.dops.end() ? nullptr : found->second;
}

NanoXML* OdxContext::LayerTable(NanoXML* from, std::string_view shortName) {
    NanoXML* layer = EnclosingLayer(from);
    if (layer == nullptr) return nullptr;
    const LayerItems& items = ItemsOf(layer, 0);
    const auto found = items.tables.find(shortName);
    return found == items.tables.end() ? nullptr : found->second;
}

NanoXML* LinkEnd(NanoXML* node) {
    // A link chain never loops in a resolved tree, but a bound keeps a broken one harmless.
    for (int steps = 0; node != nullptr && node->link != nullptr && steps < 64; ++steps)
        node = node->link;
    return node;
}

NanoXML* Child(NanoXML* element, std::string_view name) {
    if (element == nullptr || name.empty()) return nullptr;
    // The build asks for children by name millions of times: length and last character tell
    // most names apart before the characters are compared.
    const char last = name.back();
    for (NanoXML* child : element->children) {
        const std::string& own = child->name;
        if (own.size() == name.size() && own.back() == last &&
            std::memcmp(own.data(), name.data(), name.size()) == 0)
            return child;
    }
    return nullptr;
}

std::string TextOf(NanoXML* element, std::string_view name) {
    NanoXML* child = Child(element, name);
    return child ? child->GetText() : std::string();
}

std::string_view ShortNameOf(const NanoXML* element) {
    if (element == nullptr) return {};
    for (const NanoXML* child : element->children) {
        if (child->name == "SHORT-NAME") return child->text;
    }
    return {};
}

std::string_view AttributeOf(const NanoXML* element, std::string_view name) {
    if (element == nullptr) return {};
    for (const NanoXMLAttribute& attribute : element->attributes) {
        if (attribute.name == name) return attribute.value;
    }
    return {};
}

bool ParseInteger(std::string_view text, int64_t& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ParseLimit(std::string_view text, uint32_t& value) {
    int64_t whole = 0;
    if (ParseInteger(text, whole)) {
        value = static_cast<uint32_t>(std::clamp<int64_t>(whole, 0, UINT32_MAX));
        return true;
    }
    const std::string copy(text);
    char* end = nullptr;
    const double number = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || !std::isfinite(number)) return false;
    value = static_cast<uint32_t>(std::clamp(number, 0.0, 4294967295.0));
    return true;
}

std::string NameText(const OdxContext& context, NanoXML* element, std::string_view name) {
    std::string text = TextOf(element, name);
    return context.asWritten ? DecodeCharacterReferences(std::move(text)) : text;
}

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append("\"").append(text).append("\"");
    return quoted;
}

}  // namespace qm::diag
