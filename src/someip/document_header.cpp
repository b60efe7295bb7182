// The C++ header of the service model. Types are written in an order in which every type is
// declared before it is used: structures are declared up front, so that a vector of a
// structure not yet defined compiles; a structure member or array element needs its
// structure defined first. The order is found without recursion.
#include "someip/document_header.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <set>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "someip/document_reader.h"

namespace qm::someip {

namespace {

constexpr const char* kKeywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break",
    "case", "catch", "char", "char8_t", "char16_t", "char32_t", "class", "compl", "concept",
    "const", "consteval", "constexpr", "constinit", "const_cast", "continue", "co_await",
    "co_return", "co_yield", "decltype", "default", "delete", "do", "double", "dynamic_cast",
    "else", "enum", "explicit", "export", "extern", "false", "float", "for", "friend", "goto", "if",
    "inline", "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq", "nullptr",
    "operator", "or", "or_eq", "private", "protected", "public", "register", "reinterpret_cast",
    "requires", "return", "short", "signed", "sizeof", "static", "static_assert", "static_cast",
    "struct", "switch", "template", "this", "thread_local", "throw", "true", "try", "typedef",
    "typeid", "typename", "union", "unsigned", "using", "virtual", "void", "volatile", "wchar_t",
    "while", "xor", "xor_eq",
    // Names the header itself uses, and macros of the headers it includes.
    "std", "someip_types", "someip_services", "NULL", "EOF", "errno", "assert", "offsetof", "linux",
    "unix", "final", "override", "import", "module"};

bool IsReserved(std::string_view name) {
    static const std::unordered_set<std::string_view> kReserved(std::begin(kKeywords),
                                                                std::end(kKeywords));
    return kReserved.count(name) != 0;
}

bool IsMacroLike(const std::string& name) {
    const bool intName = name.rfind("INT", 0) == 0 || name.rfind("UINT", 0) == 0 ||
                         name.rfind("SIZE_", 0) == 0 || name.rfind("PTRDIFF_", 0) == 0 ||
                         name.rfind("WCHAR_", 0) == 0 || name.rfind("WINT_", 0) == 0 ||
                         name.rfind("SIG_ATOMIC_", 0) == 0;
    return intName &&
           (name.find("_MAX") != std::string::npos || name.find("_MIN") != std::string::npos ||
            (name.size() > 2 && name.compare(name.size() - 2, 2, "_C") == 0));
}

// Names unique within one scope: a second use of a name gets "_2", "_3", …. Small scopes (the
// members of one structure) are searched in a list; large ones (all types) hashed, with the
// next number to try kept per name, so that thousands of equal names stay linear.
class Scope {
  public:
    explicit Scope(std::string_view taken = {}) {
        if (!taken.empty()) Insert(std::string(taken));
    }
    std::string Unique(std::string_view name) {
        std::string base = CppIdentifier(name);
        if (Insert(base)) return base;
        int& next = next_[base];
        for (next = std::max(next, 2);; ++next) {
            std::string candidate = base + "_" + std::to_string(next);
            if (Insert(candidate)) return candidate;
        }
    }

    // A unique name whose derived names (prefix + name + suffix) are all free too; the derived
    // names are taken with it.
    std::string Family(std::string_view name,
                       std::initializer_list<std::pair<const char*, const char*>> derived) {
        for (;;) {
            std::string base = Unique(name);
            bool free = true;
            for (const auto& [prefix, suffix] : derived)
                free = free && !Contains(Compose(prefix, base, suffix));
            if (!free) continue;
            for (const auto& [prefix, suffix] : derived) Insert(Compose(prefix, base, suffix));
            return base;
        }
    }

  private:
    static constexpr size_t kListed = 16;
    // prefix + base + suffix in a buffer kept between calls.
    const std::string& Compose(const char* prefix, const std::string& base, const char* suffix) {
        composed_.assign(prefix);
        composed_ += base;
        composed_ += suffix;
        return composed_;
    }
    std::string composed_;
    bool Contains(const std::string& name) const {
        if (hashed_.empty())
            return std::find(listed_.begin(), listed_.end(), name) != listed_.end();
        return hashed_.count(name) != 0;
    }
    bool Insert(const std::string& name) {
        if (hashed_.empty()) {
            if (std::find(listed_.begin(), listed_.end(), name) != listed_.end()) return false;
            listed_.push_back(name);
            if (listed_.size() > kListed) hashed_.insert(listed_.begin(), listed_.end());
            return true;
        }
        return hashed_.insert(name).second;
    }
    std::vector<std::string> listed_;
    std::unordered_set<std::string> hashed_;
    std::unordered_map<std::string, int> next_;
};

const CSomeIpType* HeldStructure(const CSomeIpType* type) {
    for (int step = 0; type != nullptr && step < 4096; ++step) {
        if (type->kind == kSomeIpTypeStructure) return type;
        if (type->kind != kSomeIpTypeAlias && type->kind != kSomeIpTypeArray) return nullptr;
        type = type->element;
    }
    return nullptr;
}

// The primitive an enumeration's values are stored in: the one its base leads to, widened when
// a value does not fit.
std::string Underlying(const CSomeIpType& enumeration) {
    const CSomeIpType* base = enumeration.element;
    for (int step = 0; base != nullptr && step < 4096 && base->kind != kSomeIpTypePrimitive;
         ++step) {
        if (base->kind != kSomeIpTypeAlias && base->kind != kSomeIpTypeEnumeration) {
            base = nullptr;
            break;
        }
        base = base->element;
    }
    struct Range {
        const char* cpp;
        int64_t min;
        uint64_t max;
    };
    static const Range kRanges[] = {
        {"std::uint8_t", 0, 0xFF},
        {"std::uint16_t", 0, 0xFFFF},
        {"std::uint32_t", 0, 0xFFFFFFFF},
        {"std::uint64_t", 0, UINT64_MAX},
        {"std::int8_t", INT8_MIN, INT8_MAX},
        {"std::int16_t", INT16_MIN, INT16_MAX},
        {"std::int32_t", INT32_MIN, INT32_MAX},
        {"std::int64_t", INT64_MIN, INT64_MAX},
    };
    int64_t low = 0;
    int64_t high = 0;
    for (const auto& e : enumeration.enumerators) {
        low = std::min(low, e.value);
        high = std::max(high, e.value);
    }
    if (base != nullptr) {
        for (const Range& range : kRanges) {
            if (base->cppType == range.cpp && low >= range.min &&
                static_cast<uint64_t>(high) <= range.max) {
                return range.cpp;
            }
        }
    }
    if (low < 0) return "std::int64_t";
    return high <= 0xFFFFFFFF ? "std::uint32_t" : "std::uint64_t";
}

// Types of the standard library from the global namespace, so that no name of a description
// can hide them.
std::string Qualified(const std::string& cppType) {
    return cppType.rfind("std::", 0) == 0 ? "::" + cppType : cppType;
}

std::string Integer(int64_t value) {
    if (value == INT64_MIN) return "(-9223372036854775807 - 1)";
    return std::to_string(value);
}

class HeaderWriter {
  public:
    HeaderWriter(const DocumentModel& model, std::string& out) : model_(model), out_(out) {}

    void Write(const char* serviceName);

  private:
    void NameTypes();
    std::string Use(const CSomeIpType* type) const;
    void AppendUse(const CSomeIpType* type);
    // Appends each part: texts as they are, integers in decimal.
    template <class... Parts>
    void Put(const Parts&... parts) {
        (Append(parts), ...);
    }
    void Append(std::string_view text) { out_.append(text); }
    void Append(const char* text) { out_.append(text); }
    template <class Number>
    requires std::is_integral_v<Number>
    void Append(Number number) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        out_.append(digits, end);
    }
    void WriteTypes();
    std::vector<const CSomeIpType*> Requirements(const CSomeIpType& type) const;
    void Declare(const CSomeIpType& type, bool broken);
    void WriteService(const CSomeIpService& service, Scope& services);

    const DocumentModel& model_;
    std::string& out_;
    std::vector<const CSomeIpType*> declared_;  // the types that get a declaration of their own
    std::unordered_map<const CSomeIpType*, std::string> names_;
    std::set<std::pair<const CSomeIpType*, size_t>> dropped_;
};

void HeaderWriter::NameTypes() {
    Scope scope("UnknownType");
    auto add = [&](const CSomeIpType* type) {
        // Primitives and strings that stand for a reference or a base type are written inline.
        if (type->source == nullptr && type->kind == kSomeIpTypePrimitive) return;
        if (type->source == nullptr && type->kind == kSomeIpTypeString) return;
        names_.emplace(type, scope.Unique(type->name.empty() ? "Type" : type->name));
        declared_.push_back(type);
    };
    for (const auto& type : model_.types) add(type.get());
    for (const auto& type : model_.helperTypes) add(type.get());
    std::vector<const CSomeIpType*> structures;
    for (const CSomeIpType* type : declared_) {
        if (type->kind == kSomeIpTypeStructure) structures.push_back(type);
    }
    for (const auto& member : SelfContainingMembers(structures)) dropped_.insert(member);
}

void HeaderWriter::AppendUse(const CSomeIpType* type) {
    auto named = names_.find(type);
    if (type != nullptr && named != names_.end()) {
        out_ += "::someip_types::";
        out_ += named->second;
    } else {
        out_ += Use(type);
    }
}

std::string HeaderWriter::Use(const CSomeIpType* type) const {
    if (type == nullptr) return "::someip_types::UnknownType";
    auto named = names_.find(type);
    if (named != names_.end()) return "::someip_types::" + named->second;
    return Qualified(type->cppType);
}

std::vector<const CSomeIpType*> HeaderWriter::Requirements(const CSomeIpType& type) const {
    std::vector<const CSomeIpType*> needs;
    auto need = [&](const CSomeIpType* used) {
        if (used == nullptr) return;
        if (used->kind != kSomeIpTypeStructure) needs.push_back(used);
    };
    auto needComplete = [&](const CSomeIpType* used) {
        need(used);
        if (const CSomeIpType* held = HeldStructure(used)) needs.push_back(held);
    };
    switch (type.kind) {
        case kSomeIpTypeStructure:
            for (size_t i = 0; i < type.members.size(); ++i) {
                if (dropped_.count({&type, i}) == 0) needComplete(type.members[i].type);
            }
            break;
        case kSomeIpTypeArray:
            needComplete(type.element);
            break;
        case kSomeIpTypeVector:
        case kSomeIpTypeAlias:
            need(type.element);
            break;
        default:
            break;
    }
    return needs;
}

void HeaderWriter::Declare(const CSomeIpType& type, bool broken) {
    const std::string& name = names_.at(&type);
    if (broken || type.kind == kSomeIpTypeUnresolved) {
        out_ += "struct " + name + " {};  // not resolved" +
                (type.path.empty() ? std::string() : ": " + type.path) + "\n";
        return;
    }
    switch (type.kind) {
        case kSomeIpTypeStructure: {
            Put("struct ", name, " {\n");
            Scope members(name);
            for (size_t i = 0; i < type.members.size(); ++i) {
                const auto& member = type.members[i];
                if (dropped_.count({&type, i}) != 0) {
                    out_ += "    // " + CppIdentifier(member.name) + ": contains " + name +
                            " itself, not written\n";
                    continue;
                }
                out_ += "    ";
                AppendUse(member.type);
                out_ += ' ';
                out_ += members.Unique(member.name);
                out_ += ";\n";
            }
            out_ += "};\n";
            return;
        }
        case kSomeIpTypeEnumeration: {
            out_ += "enum class " + name + " : " + Underlying(type) + " {\n";
            Scope enumerators;
            for (const auto& e : type.enumerators) {
                Put("    ", enumerators.Unique(e.name), " = ", Integer(e.value), ",\n");
            }
            out_ += "};\n";
            return;
        }
        case kSomeIpTypeArray:
            out_ += "using " + name + " = ::std::array<" + Use(type.element) + ", " +
                    std::to_string(type.arraySize) + ">;\n";
            return;
        case kSomeIpTypeVector:
            Put("using ", name, " = ::std::vector<");
            AppendUse(type.element);
            out_ += ">;\n";
            return;
        case kSomeIpTypeString:
            Put("using ", name, " = ::std::string;\n");
            return;
        case kSomeIpTypeAlias:
            Put("using ", name, " = ");
            AppendUse(type.element);
            out_ += ";\n";
            return;
        default:
            out_ += "using " + name + " = " + Qualified(type.cppType) + ";\n";
            return;
    }
}

void HeaderWriter::WriteTypes() {
    out_ += "namespace someip_types {\n\nstruct UnknownType {};\n";
    for (const CSomeIpType* type : declared_) {
        if (type->kind == kSomeIpTypeStructure) Put("struct ", names_.at(type), ";\n");
    }
    out_ += "\n";
    // Post-order over the requirements; 1 while a type's requirements are written, 2 after.
    std::unordered_map<const CSomeIpType*, int> state;
    state.reserve(declared_.size());
    struct Frame {
        const CSomeIpType* type;
        std::vector<const CSomeIpType*> needs;
        size_t next = 0;
        bool broken = false;
    };
    for (const CSomeIpType* start : declared_) {
        if (state[start] != 0) continue;
        std::vector<Frame> stack;
        stack.push_back({start, Requirements(*start)});
        state[start] = 1;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.broken || frame.next == frame.needs.size()) {
                Declare(*frame.type, frame.broken);
                state[frame.type] = 2;
                stack.pop_back();
                continue;
            }
            const CSomeIpType* need = frame.needs[frame.next++];
            if (names_.count(need) == 0) continue;  // written inline
            const int needState = state[need];
            if (needState == 1) {
                // A type that needs itself through vectors or aliases cannot be written.
                if (frame.type->kind != kSomeIpTypeStructure) frame.broken = true;
                continue;
            }
            if (needState == 2) continue;
            state[need] = 1;
            Frame next{need, Requirements(*need)};
            stack.push_back(std::move(next));
        }
    }
    out_ += "\n}  // namespace someip_types\n\n";
}

void HeaderWriter::WriteService(const CSomeIpService& service, Scope& services) {
    const std::string name = services.Unique(service.name.empty() ? "Service" : service.name);
    Put("namespace ", name, " {\n");
    if (!service.interfacePath.empty()) Put("// interface ", service.interfacePath, "\n");
    if (service.serviceId >= 0)
        Put("constexpr std::uint16_t kServiceId = ", service.serviceId, ";\n");
    if (service.majorVersion >= 0)
        Put("constexpr std::uint8_t kMajorVersion = ", service.majorVersion, ";\n");
    if (service.minorVersion >= 0)
        Put("constexpr std::uint32_t kMinorVersion = ", service.minorVersion, ";\n");
    out_ += "namespace instances {\n";
    Scope instances;
    for (const auto& instance : service.instances) {
        const std::string id = instances.Unique(
            "k" + (instance->name.empty() ? std::string("Instance") : instance->name));
        Put("// ", instance->role == 2 ? "provided" : "required");
        for (const auto& provider : instance->providers)
            Put(", ", provider.kind, " ", provider.name);
        out_ += "\n";
        if (instance->instanceId >= 0)
            Put("constexpr std::uint16_t ", id, " = ", instance->instanceId, ";\n");
    }
    out_ += "}  // namespace instances\nnamespace methods {\n";
    Scope methods;
    for (const auto& method : service.methods) {
        const std::string base =
            methods.Family(method->name, {{"k", "Id"}, {"", "Input"}, {"", "Output"}});
        if (method->id >= 0) Put("constexpr std::uint16_t k", base, "Id = ", method->id, ";\n");
        for (const char* direction : {"Input", "Output"}) {
            const std::string structName = base + direction;
            Put("struct ", structName, " {\n");
            Scope members(structName);
            for (const auto& argument : method->arguments) {
                const bool input = argument.direction != "out";
                const bool output = argument.direction == "out" || argument.direction == "inout";
                if ((direction[0] == 'I' && input) || (direction[0] == 'O' && output)) {
                    out_ += "    ";
                    AppendUse(argument.type);
                    Put(" ", members.Unique(argument.name), ";\n");
                }
            }
            out_ += "};\n";
        }
    }
    out_ += "}  // namespace methods\nnamespace events {\n";
    Scope events;
    for (const auto& event : service.events) {
        const std::string base = events.Family(event->name, {{"k", "Id"}, {"", "Type"}});
        if (event->id >= 0) Put("constexpr std::uint16_t k", base, "Id = ", event->id, ";\n");
        if (event->type != nullptr) {
            Put("using ", base, "Type = ");
            AppendUse(event->type);
            out_ += ";\n";
        }
    }
    out_ += "}  // namespace events\nnamespace fields {\n";
    Scope fields;
    for (const auto& field : service.fields) {
        const std::string base = fields.Family(
            field->name, {{"k", "GetterId"}, {"k", "SetterId"}, {"k", "NotifierId"}, {"", "Type"}});
        if (field->type != nullptr) {
            Put("using ", base, "Type = ");
            AppendUse(field->type);
            out_ += ";\n";
        }
        const std::pair<const char*, int32_t> ids[] = {{"GetterId", field->getterId},
                                                       {"SetterId", field->setterId},
                                                       {"NotifierId", field->notifierId}};
        for (const auto& [suffix, id] : ids) {
            if (id >= 0) Put("constexpr std::uint16_t k", base, suffix, " = ", id, ";\n");
        }
    }
    out_ += "}  // namespace fields\nnamespace eventgroups {\n";
    Scope groups;
    for (const auto& group : service.eventGroups) {
        const std::string id = groups.Unique("k" + group->name + "Id");
        if (group->id >= 0) Put("constexpr std::uint16_t ", id, " = ", group->id, ";\n");
    }
    Put("}  // namespace eventgroups\n}  // namespace ", name, "\n\n");
}

void HeaderWriter::Write(const char* serviceName) {
    // Roughly what the text takes, so that it grows once at most.
    size_t estimate = 4096 + 64 * (model_.types.size() + model_.helperTypes.size());
    for (const auto& type : model_.types) estimate += 48 * type->members.size();
    for (const auto& service : model_.services) {
        estimate += 512 + 64 * (service->methods.size() + service->events.size() +
                                4 * service->fields.size() + service->eventGroups.size() +
                                service->instances.size());
    }
    out_.clear();
    out_.reserve(estimate);
    names_.reserve(model_.types.size() + model_.helperTypes.size());
    out_ +=
        "// C++ types and identifiers of SOME/IP services, written by quillmere.\n"
        "#ifndef QUILLMERE_SOMEIP_SERVICES_H\n#define QUILLMERE_SOMEIP_SERVICES_H\n"
        "#include <array>\n#include <cstdint>\n#include <string>\n#include <vector>\n\n";
    NameTypes();
    WriteTypes();
    out_ += "namespace someip_services {\n\n";
    Scope services;
    const bool all = serviceName == nullptr || *serviceName == '\0';
    for (const auto& service : model_.services) {
        if (!service->HasDescription() && !service->classic) continue;
        if (!all && service->name != serviceName) continue;
        WriteService(*service, services);
    }
    out_ += "}  // namespace someip_services\n\n#endif\n";
}

}  // namespace

std::string CppIdentifier(std::string_view name) {
    std::string id;
    id.reserve(name.size() + 1);
    for (char c : name) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        id += ok ? c : '_';
    }
    if (id.empty()) return "unnamed";
    if (id[0] >= '0' && id[0] <= '9') id.insert(0, "n");
    if (id.size() > 1 && id[0] == '_' && (id[1] == '_' || (id[1] >= 'A' && id[1] <= 'Z')))
        id.insert(0, "n");
    if (id.find("__") != std::string::npos) {
        // A double underscore anywhere is reserved to the implementation.
        std::string single;
        for (char c : id) {
            if (c == '_' && !single.empty() && single.back() == '_') continue;
            single += c;
        }
        id = single;
    }
    if (IsReserved(id) || IsMacroLike(id)) return id + "_";
    return id;
}

void GenerateDocumentHeader(const DocumentModel& model, const char* serviceName, std::string& out) {
    HeaderWriter(model, out).Write(serviceName);
}

}  // namespace qm::someip
