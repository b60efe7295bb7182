// The data types of whole-document reading: implementation data types (Classic and Adaptive
// up to R19-11), the C++ implementation data types of R20-11 and later, and application data
// types, each turned into one CSomeIpType.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <unordered_set>

#include "arxml_com/arxml_nodes.h"
#include "someip/document_reader.h"

namespace qm::someip {

using arxml::Ancestor;
using arxml::Child;
using arxml::ChildText;
using arxml::Descendant;
using arxml::LastPathComponent;
using arxml::ShortName;
using arxml::Target;
using arxml::Text;

namespace {

// Inline array and structure elements nest inside one another; deeper than this is no real
// description and would only run down the stack.
constexpr int kMaxInlineDepth = 16;
// Array sizes beyond this are read as variable size: a std::array of it would not compile.
constexpr uint64_t kMaxArraySize = 1u << 24;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

struct NamedPrimitive {
    const char* name;
    const char* cpp;
};

constexpr NamedPrimitive kPrimitives[] = {
    {"uint8", "std::uint8_t"},
    {"uint8_t", "std::uint8_t"},
    {"std::uint8_t", "std::uint8_t"},
    {"uint16", "std::uint16_t"},
    {"uint16_t", "std::uint16_t"},
    {"std::uint16_t", "std::uint16_t"},
    {"uint32", "std::uint32_t"},
    {"uint32_t", "std::uint32_t"},
    {"std::uint32_t", "std::uint32_t"},
    {"uint64", "std::uint64_t"},
    {"uint64_t", "std::uint64_t"},
    {"std::uint64_t", "std::uint64_t"},
    {"sint8", "std::int8_t"},
    {"int8", "std::int8_t"},
    {"int8_t", "std::int8_t"},
    {"std::int8_t", "std::int8_t"},
    {"sint16", "std::int16_t"},
    {"int16", "std::int16_t"},
    {"int16_t", "std::int16_t"},
    {"std::int16_t", "std::int16_t"},
    {"sint32", "std::int32_t"},
    {"int32", "std::int32_t"},
    {"int32_t", "std::int32_t"},
    {"std::int32_t", "std::int32_t"},
    {"sint64", "std::int64_t"},
    {"int64", "std::int64_t"},
    {"int64_t", "std::int64_t"},
    {"std::int64_t", "std::int64_t"},
    {"float", "float"},
    {"float32", "float"},
    {"double", "double"},
    {"float64", "double"},
    {"boolean", "bool"},
    {"bool", "bool"},
    {"string", "std::string"},
    {"std::string", "std::string"},
};

// The primitive of a SW-BASE-TYPE from its encoding and size when its names say nothing.
std::string PrimitiveOfEncoding(const std::string& encoding, unsigned long bits) {
    if (encoding == "BOOLEAN") return "bool";
    if (encoding == "IEEE754") return bits > 32 ? "double" : "float";
    const bool isSigned = encoding == "2C" || encoding == "1C" || encoding == "SM";
    const char* width = bits <= 8 ? "8" : bits <= 16 ? "16" : bits <= 32 ? "32" : "64";
    return std::string(isSigned ? "std::int" : "std::uint") + width + "_t";
}

// A number as C reads it in any base; false when the text holds none or more than a number.
bool ParseInteger(std::string text, int64_t& value) {
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    if (text[0] == '-') {
        value = std::strtoll(text.c_str(), &end, 0);
    } else {
        const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
        if (v > static_cast<unsigned long long>(INT64_MAX)) return false;
        value = static_cast<int64_t>(v);
    }
    return errno == 0 && end != nullptr && *end == '\0';
}

// The SW-DATA-DEF-PROPS-CONDITIONAL of an element's own properties (not of its sub-elements).
const NanoXML* OwnProps(const NanoXML* element) {
    return Descendant(Child(element, "SW-DATA-DEF-PROPS"), "SW-DATA-DEF-PROPS-CONDITIONAL");
}

}  // namespace

std::string PrimitiveOfName(std::string_view name) {
    const std::string lower = Lower(name);
    for (const NamedPrimitive& entry : kPrimitives) {
        if (lower == entry.name) return entry.cpp;
    }
    return {};
}

std::string PackagePath(const NanoXML* element) {
    std::vector<const NanoXML*> named;
    for (const NanoXML* node = element; node != nullptr; node = node->parent) {
        if (Child(node, "SHORT-NAME") != nullptr) named.push_back(node);
    }
    std::string path;
    for (auto it = named.rbegin(); it != named.rend(); ++it) path += "/" + ShortName(*it);
    return path;
}

void TypeTable::Read(const std::vector<const NanoXML*>& elements) {
    for (const NanoXML* element : elements) {
        auto type = std::make_unique<CSomeIpType>();
        type->name = ShortName(element);
        type->source = element;
        byElement_.emplace(element, type.get());
        model_.types.push_back(std::move(type));
    }
    for (const auto& type : model_.types) {
        const std::string& element = type->source->name;
        if (element == "STD-CPP-IMPLEMENTATION-DATA-TYPE") {
            FillStdCpp(*type);
        } else if (element == "IMPLEMENTATION-DATA-TYPE") {
            FillImplementation(*type, type->source, 0);
        } else {
            FillApplication(*type);
        }
    }
    CheckAliasLoops();
    CheckSelfContainment();
}

CSomeIpType* TypeTable::FromReference(const NanoXML* reference) {
    if (reference == nullptr) return nullptr;
    const NanoXML* target = Target(reference);
    if (target != nullptr) {
        auto found = byElement_.find(target);
        if (found != byElement_.end()) return found->second;
        if (target->name == "SW-BASE-TYPE") return FromBaseType(target);
    }
    // A reference to nothing read: a placeholder per reference text, a primitive when the
    // last name of the path is one.
    const std::string path = Text(reference);
    auto known = byName_.find("ref:" + path);
    if (known != byName_.end()) return known->second;
    auto type = std::make_unique<CSomeIpType>();
    type->name = LastPathComponent(path);
    type->path = path;
    const std::string primitive = PrimitiveOfName(type->name);
    if (primitive == "std::string") {
        type->kind = kSomeIpTypeString;
        type->cppType = primitive;
    } else if (!primitive.empty()) {
        type->kind = kSomeIpTypePrimitive;
        type->cppType = primitive;
    }
    messages_ += "Data type reference not resolved: " + path + ".\r\n";
    CSomeIpType* result = type.get();
    byName_.emplace("ref:" + path, result);
    model_.helperTypes.push_back(std::move(type));
    return result;
}

CSomeIpType* TypeTable::Primitive(const std::string& cppType) {
    auto known = byName_.find("cpp:" + cppType);
    if (known != byName_.end()) return known->second;
    auto type = std::make_unique<CSomeIpType>();
    type->name = cppType;
    type->cppType = cppType;
    type->kind = cppType == "std::string" ? kSomeIpTypeString : kSomeIpTypePrimitive;
    CSomeIpType* result = type.get();
    byName_.emplace("cpp:" + cppType, result);
    model_.helperTypes.push_back(std::move(type));
    return result;
}

CSomeIpType* TypeTable::FromBaseType(const NanoXML* baseType) {
    std::string cpp = PrimitiveOfName(ShortName(baseType));
    if (cpp.empty()) cpp = PrimitiveOfName(ChildText(baseType, "NATIVE-DECLARATION"));
    if (cpp.empty()) {
        cpp = PrimitiveOfEncoding(
            ChildText(baseType, "BASE-TYPE-ENCODING"),
            std::strtoul(ChildText(baseType, "BASE-TYPE-SIZE").c_str(), nullptr, 10));
    }
    return Primitive(cpp);
}

CSomeIpType* TypeTable::InlineType(const std::string& name) {
    auto type = std::make_unique<CSomeIpType>();
    type->name = name;
    CSomeIpType* result = type.get();
    model_.helperTypes.push_back(std::move(type));
    return result;
}

void TypeTable::NotRead(const CSomeIpType& type, const std::string& why) {
    const std::string element = type.source ? type.source->name : "Data type";
    messages_ += element + " not read: " + type.name + " (" + why + ").\r\n";
}

void TypeTable::SetArrayShape(CSomeIpType& type, const std::string& category,
                              const std::string& size, bool variableSize) {
    int64_t count = 0;
    const bool fixed = category == "ARRAY" && !variableSize && ParseInteger(size, count) &&
                       count > 0 && static_cast<uint64_t>(count) <= kMaxArraySize;
    if (category == "ARRAY" && !variableSize && !fixed) {
        messages_ +=
            "Array size " + size + " of " + type.name + " out of range: read as variable size.\r\n";
    }
    type.kind = fixed ? kSomeIpTypeArray : kSomeIpTypeVector;
    type.arraySize = fixed ? static_cast<uint64_t>(count) : 0;
    if (type.element == nullptr) NotRead(type, "no element type");
}

bool TypeTable::ReadEnumerators(CSomeIpType& type, const NanoXML* props) {
    const NanoXML* method = Target(Child(props, "COMPU-METHOD-REF"));
    if (method == nullptr || ChildText(method, "CATEGORY") != "TEXTTABLE") return false;
    const NanoXML* scales = Descendant(Child(method, "COMPU-INTERNAL-TO-PHYS"), "COMPU-SCALES");
    if (scales == nullptr) return false;
    for (const NanoXML* scale : scales->children) {
        if (scale->name != "COMPU-SCALE") continue;
        CSomeIpType::Enumerator enumerator;
        enumerator.name = ChildText(Child(scale, "COMPU-CONST"), "VT");
        if (enumerator.name.empty()) enumerator.name = ChildText(scale, "SYMBOL");
        if (enumerator.name.empty()) enumerator.name = ChildText(scale, "SHORT-LABEL");
        const std::string limit = ChildText(scale, "LOWER-LIMIT");
        if (enumerator.name.empty() || !ParseInteger(limit, enumerator.value)) {
            messages_ += "Enumerator of " + type.name +
                         " not read: " + (enumerator.name.empty() ? "(no name)" : enumerator.name) +
                         " (value " + limit + ").\r\n";
            continue;
        }
        type.enumerators.push_back(std::move(enumerator));
    }
    type.kind = kSomeIpTypeEnumeration;
    return true;
}

CSomeIpType* TypeTable::SubElementType(const NanoXML* sub, const std::string& owner, int depth) {
    const std::string category = ChildText(sub, "CATEGORY");
    if (category == "ARRAY" || category == "VECTOR" || category == "STRUCTURE") {
        CSomeIpType* inlineType = InlineType(owner + "_" + ShortName(sub));
        if (depth >= kMaxInlineDepth) {
            NotRead(*inlineType, "nested too deeply");
            return inlineType;
        }
        FillImplementation(*inlineType, sub, depth + 1);
        return inlineType;
    }
    const NanoXML* props = OwnProps(sub);
    if (const NanoXML* ref = Child(props, "IMPLEMENTATION-DATA-TYPE-REF"))
        return FromReference(ref);
    if (const NanoXML* ref = Child(props, "BASE-TYPE-REF")) return FromReference(ref);
    return nullptr;
}

void TypeTable::FillImplementation(CSomeIpType& type, const NanoXML* element, int depth) {
    const std::string category = ChildText(element, "CATEGORY");
    const NanoXML* props = OwnProps(element);
    if (category == "STRUCTURE" || category == "UNION") {
        if (category == "UNION") NotRead(type, "a union is read as a structure");
        type.kind = kSomeIpTypeStructure;
        if (const NanoXML* subs = Child(element, "SUB-ELEMENTS")) {
            for (const NanoXML* sub : subs->children) {
                if (sub->name != "IMPLEMENTATION-DATA-TYPE-ELEMENT") continue;
                type.members.push_back({ShortName(sub), SubElementType(sub, type.name, depth)});
            }
        }
        return;
    }
    if (category == "ARRAY" || category == "VECTOR") {
        const NanoXML* sub =
            Descendant(Child(element, "SUB-ELEMENTS"), "IMPLEMENTATION-DATA-TYPE-ELEMENT");
        type.element = sub ? SubElementType(sub, type.name, depth) : nullptr;
        std::string size = ChildText(sub, "ARRAY-SIZE");
        if (size.empty()) size = ChildText(element, "ARRAY-SIZE");
        SetArrayShape(type, category, size,
                      ChildText(sub, "ARRAY-SIZE-SEMANTICS") == "VARIABLE-SIZE");
        return;
    }
    if (category == "STRING") {
        type.kind = kSomeIpTypeString;
        return;
    }
    if (category == "TYPE_REFERENCE") {
        CSomeIpType* target = FromReference(Child(props, "IMPLEMENTATION-DATA-TYPE-REF"));
        type.element = target;
        if (ReadEnumerators(type, props)) return;
        type.kind = target ? kSomeIpTypeAlias : kSomeIpTypeUnresolved;
        if (target == nullptr) NotRead(type, "no referenced type");
        return;
    }
    if (category == "VALUE" || category.empty()) {
        CSomeIpType* base = FromReference(Child(props, "BASE-TYPE-REF"));
        if (base == nullptr) {
            const std::string primitive = PrimitiveOfName(type.name);
            if (!primitive.empty()) base = Primitive(primitive);
        }
        if (ReadEnumerators(type, props)) {
            type.element = base;
            return;
        }
        if (base == nullptr) {
            NotRead(type, "no base type");
            return;
        }
        // A value type is another name of its primitive.
        type.kind = kSomeIpTypeAlias;
        type.element = base;
        return;
    }
    NotRead(type, "category " + category);
}

void TypeTable::FillStdCpp(CSomeIpType& type) {
    const NanoXML* element = type.source;
    const std::string category = ChildText(element, "CATEGORY");
    const NanoXML* props = OwnProps(element);
    const NanoXML* templateRef =
        Descendant(Child(element, "TEMPLATE-ARGUMENTS"), "TEMPLATE-TYPE-REF");
    if (category == "STRUCTURE") {
        type.kind = kSomeIpTypeStructure;
        if (const NanoXML* subs = Child(element, "SUB-ELEMENTS")) {
            for (const NanoXML* sub : subs->children) {
                if (sub->name != "CPP-IMPLEMENTATION-DATA-TYPE-ELEMENT") continue;
                type.members.push_back(
                    {ShortName(sub), FromReference(Descendant(sub, "TYPE-REFERENCE-REF"))});
            }
        }
        return;
    }
    if (category == "VECTOR" || category == "ARRAY") {
        type.element = FromReference(templateRef);
        SetArrayShape(type, category, ChildText(element, "ARRAY-SIZE"), false);
        return;
    }
    if (category == "STRING") {
        type.kind = kSomeIpTypeString;
        return;
    }
    if (category == "TYPE_REFERENCE" || category == "VALUE") {
        CSomeIpType* target = FromReference(Descendant(element, "TYPE-REFERENCE-REF"));
        if (target == nullptr) {
            const std::string primitive = PrimitiveOfName(type.name);
            if (!primitive.empty()) target = Primitive(primitive);
        }
        type.element = target;
        if (ReadEnumerators(type, props)) return;
        type.kind = target ? kSomeIpTypeAlias : kSomeIpTypeUnresolved;
        if (target == nullptr) NotRead(type, "no referenced type");
        return;
    }
    NotRead(type, "category " + category);
}

void TypeTable::FillApplication(CSomeIpType& type) {
    const NanoXML* element = type.source;
    const std::string category = ChildText(element, "CATEGORY");
    if (element->name == "APPLICATION-RECORD-DATA-TYPE") {
        type.kind = kSomeIpTypeStructure;
        if (const NanoXML* elements = Child(element, "ELEMENTS")) {
            for (const NanoXML* member : elements->children) {
                if (member->name != "APPLICATION-RECORD-ELEMENT") continue;
                type.members.push_back(
                    {ShortName(member), FromReference(Child(member, "TYPE-TREF"))});
            }
        }
        return;
    }
    if (element->name == "APPLICATION-ARRAY-DATA-TYPE") {
        const NanoXML* item = Child(element, "ELEMENT");
        type.element = FromReference(Child(item, "TYPE-TREF"));
        int64_t count = 0;
        const bool fixed = ParseInteger(ChildText(item, "MAX-NUMBER-OF-ELEMENTS"), count) &&
                           count > 0 && static_cast<uint64_t>(count) <= kMaxArraySize &&
                           ChildText(item, "ARRAY-SIZE-SEMANTICS") != "VARIABLE-SIZE";
        type.kind = fixed ? kSomeIpTypeArray : kSomeIpTypeVector;
        type.arraySize = fixed ? static_cast<uint64_t>(count) : 0;
        if (type.element == nullptr) NotRead(type, "no element type");
        return;
    }
    // APPLICATION-PRIMITIVE-DATA-TYPE: no implementation, so the widest fitting C++ type.
    if (category == "BOOLEAN") {
        type.kind = kSomeIpTypeAlias;
        type.element = Primitive("bool");
    } else if (category == "STRING") {
        type.kind = kSomeIpTypeString;
    } else if (ReadEnumerators(type, OwnProps(element))) {
        type.element = Primitive("std::uint32_t");
    } else {
        type.kind = kSomeIpTypeAlias;
        type.element = Primitive("double");
    }
}

void TypeTable::CheckAliasLoops() {
    // 0 not seen, 1 on the current chain, 2 done.
    std::unordered_map<const CSomeIpType*, int> state;
    for (const auto& start : model_.types) {
        std::vector<CSomeIpType*> chain;
        CSomeIpType* type = start.get();
        while (type != nullptr && type->kind == kSomeIpTypeAlias && state[type] == 0) {
            state[type] = 1;
            chain.push_back(type);
            type = type->element;
        }
        if (type != nullptr && type->kind == kSomeIpTypeAlias && state[type] == 1) {
            // The chain returned to itself: every alias of the loop names no type.
            const auto loopStart = std::find(chain.begin(), chain.end(), type);
            for (auto it = loopStart; it != chain.end(); ++it) {
                messages_ +=
                    "Data type: " + (*it)->name + " not read: its type references form a loop.\r\n";
                (*it)->kind = kSomeIpTypeUnresolved;
            }
            for (auto it = loopStart; it != chain.end(); ++it) (*it)->element = nullptr;
        }
        for (CSomeIpType* done : chain) state[done] = 2;
    }
}

std::vector<std::pair<const CSomeIpType*, size_t>> SelfContainingMembers(
    const std::vector<const CSomeIpType*>& structures) {
    // The structure a member holds by value, through aliases, enumerations and fixed arrays.
    auto heldStructure = [](const CSomeIpType* type) -> const CSomeIpType* {
        for (int step = 0; type != nullptr && step < 4096; ++step) {
            if (type->kind == kSomeIpTypeStructure) return type;
            if (type->kind != kSomeIpTypeAlias && type->kind != kSomeIpTypeArray) return nullptr;
            type = type->element;
        }
        return nullptr;
    };
    std::vector<std::pair<const CSomeIpType*, size_t>> found;
    std::unordered_map<const CSomeIpType*, int> state;  // 1 on the path, 2 done
    struct Frame {
        const CSomeIpType* type;
        size_t next;
    };
    for (const CSomeIpType* start : structures) {
        if (state[start] != 0) continue;
        std::vector<Frame> stack{{start, 0}};
        state[start] = 1;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == frame.type->members.size()) {
                state[frame.type] = 2;
                stack.pop_back();
                continue;
            }
            const size_t index = frame.next++;
            const CSomeIpType* held = heldStructure(frame.type->members[index].type);
            if (held == nullptr) continue;
            const int heldState = state[held];
            if (heldState == 1) {
                found.emplace_back(frame.type, index);
            } else if (heldState == 0) {
                state[held] = 1;
                stack.push_back({held, 0});
            }
        }
    }
    return found;
}

void TypeTable::CheckSelfContainment() {
    std::vector<const CSomeIpType*> structures;
    for (const auto& type : model_.types) {
        if (type->kind == kSomeIpTypeStructure) structures.push_back(type.get());
    }
    for (const auto& type : model_.helperTypes) {
        if (type->kind == kSomeIpTypeStructure) structures.push_back(type.get());
    }
    for (const auto& [structure, member] : SelfContainingMembers(structures)) {
        messages_ += "Structure: " + structure->name +
                     " contains itself through member: " + structure->members[member].name +
                     ".\r\n";
    }
}

}  // namespace qm::someip
