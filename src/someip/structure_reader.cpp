#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"
#include "xml/text.h"

namespace qm::someip {

namespace {

// How deep structures may nest before the reader stops (real types nest a few levels).
constexpr int kMaxNesting = 32;
// Members written out over all services of a load: a fixed allowance plus a few per element
// read, far above what real descriptions expand to, low enough that a self-multiplying type
// graph cannot exhaust memory or time.
constexpr size_t kMemberAllowance = 100000;
constexpr size_t kMembersPerElement = 4;

// Each "DT_" and then each "_struct" of the name is removed in one left-to-right pass, so that
// what two removals join together stays ("DDT_T_X" gives "DT_X").
std::string StrippedName(std::string name) {
    ReplaceAll(name, "DT_", "");
    ReplaceAll(name, "_struct", "");
    return name;
}

std::string Capitalised(std::string name) {
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 32);
    return name;
}

// Points text at the SHORT-NAME of node as the tree holds it, when it needs no decoding;
// otherwise text gets the decoded copy.
void ReferShortName(TreeText& text, const NanoXML* node) {
    const NanoXML* name = Child(node, "SHORT-NAME");
    if (name != nullptr && !name->text.empty() &&
        ((name->flags & NanoXML::kFlagCData) != 0 || name->text.find('&') == std::string::npos)) {
        text.Refer(name->text);
    } else {
        text = Text(name);
    }
}

const NanoXML* TypeOfMember(const NanoXML* member) {
    return ReferencedType(member);
}

// The scales of an enumeration type, or null when the type has no text table.
const NanoXML* EnumScales(const NanoXML* type) {
    const NanoXML* reference = Descendant(type, "COMPU-METHOD-REF");
    const NanoXML* compu = arxml::Target(reference);
    const NanoXML* scales = Path(compu, {"COMPU-INTERNAL-TO-PHYS", "COMPU-SCALES"});
    return scales != nullptr && !scales->children.empty() ? scales : nullptr;
}

// Fills the variables of one service's structures. Keeps the enumerations declared so far
// (visible to later members and nested structures), the types being expanded (to stop a
// structure that contains itself) and the top-level structures that arrays use as elements
// (to write those first).
class StructureBuilder {
  public:
    StructureBuilder(std::string service, std::string& warnings,
                     const std::unordered_map<const NanoXML*, std::string>& topLevel,
                     size_t& budget)
        : service_(std::move(service)), warnings_(warnings), topLevel_(topLevel), budget_(budget) {}

    std::unique_ptr<CStructDatatype> Build(const NanoXML* type, std::string name,
                                           std::vector<const NanoXML*>& dependencies) {
        dependencies_ = &dependencies;
        auto structure = std::make_unique<CStructDatatype>(std::move(name));
        active_.insert(type);
        FillMembers(*structure, type, 0);
        active_.erase(type);
        return structure;
    }

  private:
    struct DeclaredEnum {
        const NanoXML* type;
        std::string variable;
    };

    void FillMembers(CStructDatatype& structure, const NanoXML* type, int depth) {
        const NanoXML* members = Child(type, "SUB-ELEMENTS");
        if (members == nullptr) return;
        const size_t scope = enums_.size();
        for (const NanoXML* member : members->children) {
            if (budget_ == 0) {
                if (!budgetReported_) {
                    warnings_ += "Structure: " + structure.Name() +
                                 " expands to too many members: the rest is not read.\r\n";
                    budgetReported_ = true;
                }
                break;
            }
            --budget_;
            auto variable = std::make_unique<CVariable>(ShortName(member));
            FillVariable(*variable, member, structure.Name(), depth);
            structure.AddVariable(std::move(variable));
        }
        enums_.resize(scope);  // a nested structure's enumerations are not visible outside
    }

    void FillVariable(CVariable& v, const NanoXML* member, const std::string& owner, int depth) {
        // An inline array or vector member carries its own category and sub-element.
        const std::string memberCategory = ChildText(member, "CATEGORY");
        if (memberCategory == "ARRAY" || memberCategory == "VECTOR") {
            FillArray(v, member, memberCategory == "VECTOR");
            return;
        }
        const NanoXML* type = TypeOfMember(member);
        if (type == nullptr) {
            v.declaredType =
                arxml::LastPathComponent(Text(Descendant(member, "IMPLEMENTATION-DATA-TYPE-REF")));
            warnings_ += "Data type: " + v.Name() + ", category: " + memberCategory +
                         " belong to structure: " + owner + " not found\r\n";
            return;
        }
        FillFromType(v, type, depth);
    }

    void FillFromType(CVariable& v, const NanoXML* type, int depth) {
        const std::string category = ChildText(type, "CATEGORY");
        ReferShortName(v.declaredType, type);
        if (category == "STRUCTURE") {
            FillNested(v, type, depth);
        } else if (category == "ARRAY" || category == "VECTOR") {
            FillArray(v, type, category == "VECTOR");
        } else if (category == "TYPE_REFERENCE") {
            FillReference(v, type, depth);
        } else {
            v.baseType = ScalarCode(type);
        }
    }

    // The code of a plain type: its own name, else its base type's name. Only names count: a
    // string type of another name stays unresolved and the header writes that name.
    uint32_t ScalarCode(const NanoXML* type) {
        const uint32_t code = BaseTypeCodeOf(ShortName(type));
        if (code != kBaseUnresolved) return code;
        return BaseTypeCodeOf(ShortName(ReferencedBaseType(type)));
    }

    // The code behind a chain of type references (an enumeration's underlying type).
    uint32_t UnderlyingCode(const NanoXML* type) {
        for (int step = 0; type != nullptr && step < kMaxNesting; ++step) {
            if (ChildText(type, "CATEGORY") != "TYPE_REFERENCE") return ScalarCode(type);
            const uint32_t own = BaseTypeCodeOf(ShortName(type));
            if (own != kBaseUnresolved) return own;
            type = ReferencedType(type);
        }
        return kBaseUnresolved;
    }

    void FillNested(CVariable& v, const NanoXML* type, int depth) {
        if (depth + 1 >= kMaxNesting || active_.count(type) != 0) {
            warnings_ += "Structure: " + ShortName(type) +
                         " contains itself through member: " + v.Name() + ".\r\n";
            return;
        }
        v.baseType = kBaseStruct;
        auto nested = std::make_unique<CStructDatatype>(v.Name());
        active_.insert(type);
        FillMembers(*nested, type, depth + 1);
        active_.erase(type);
        v.SetNested(std::move(nested));
    }

    void FillReference(CVariable& v, const NanoXML* type, int depth) {
        const NanoXML* referenced = ReferencedType(type);
        const NanoXML* scales = EnumScales(type);
        if (scales == nullptr) {
            // A plain alias: the member is what the referenced type is.
            if (referenced == nullptr || depth + 1 >= kMaxNesting || active_.count(referenced)) {
                v.baseType = BaseTypeCodeOf(ShortName(type));
                return;
            }
            active_.insert(type);
            FillFromType(v, referenced, depth + 1);
            active_.erase(type);
            ReferShortName(v.declaredType, type);
            return;
        }
        v.baseType = referenced ? UnderlyingCode(referenced) : kBaseUnresolved;
        if (referenced != nullptr) ReferShortName(v.declaredType, referenced);
        for (const NanoXML* scale : scales->children) {
            v.AddValue(std::make_unique<CValue>(ChildText(scale, "LOWER-LIMIT"),
                                                Text(Path(scale, {"COMPU-CONST", "VT"}))));
        }
        enums_.push_back(DeclaredEnum{type, v.Name()});
    }

    void FillArray(CVariable& v, const NanoXML* type, bool vector) {
        v.array = true;
        const NanoXML* subElements = Child(type, "SUB-ELEMENTS");
        const NanoXML* element = Child(subElements, "IMPLEMENTATION-DATA-TYPE-ELEMENT");
        std::string size = ChildText(type, "ARRAY-SIZE");
        if (size.empty()) size = ChildText(element, "ARRAY-SIZE");
        v.arraySize = vector ? 0 : static_cast<uint32_t>(ParseAnyBase(size));
        const NanoXML* elementType = element ? TypeOfMember(element) : nullptr;
        if (elementType == nullptr) {
            v.elementType = element ? ShortName(element) + " /* TODO unresolved */" : "uint8";
            const std::string kind = vector ? "vector" : "array";
            // As the array and vector types say it: SUB-ELEMENTS present but without an element
            // is told apart from no SUB-ELEMENTS (or an element of no known type).
            warnings_ += subElements != nullptr && element == nullptr
                             ? "Doesn't exist sub element for " + kind + " "
                             : "Sub element of " + kind + " was not found ";
            warnings_ += ShortName(type) + ".\r\n";
            return;
        }
        ReferShortName(v.declaredType, elementType);
        const std::string category = ChildText(elementType, "CATEGORY");
        if (category == "STRUCTURE") {
            const auto top = topLevel_.find(elementType);
            if (top != topLevel_.end()) {
                v.elementType = "Service_" + service_ + "_" + Capitalised(top->second);
                dependencies_->push_back(elementType);
            } else {
                v.elementType = ShortName(elementType) + " /* TODO unresolved */";
            }
            v.baseType = kBaseStruct;
        } else if (category == "TYPE_REFERENCE" && EnumScales(elementType) != nullptr) {
            v.baseType = UnderlyingCode(ReferencedType(elementType));
            // An enumeration element names the enumeration a member before declared.
            for (auto it = enums_.rbegin(); it != enums_.rend(); ++it) {
                if (it->type == elementType) {
                    v.enumTypeName = it->variable;
                    break;
                }
            }
            v.elementType = BaseTypeText(v.baseType);
        } else {
            v.baseType = category == "TYPE_REFERENCE" ? UnderlyingCode(elementType)
                                                      : ScalarCode(elementType);
            v.elementType =
                v.baseType < kBaseStruct ? BaseTypeText(v.baseType) : ShortName(elementType);
        }
        if (v.elementType.empty())
            v.elementType = ShortName(elementType) + " /* TODO unresolved */";
    }

    std::string service_;
    std::string& warnings_;
    const std::unordered_map<const NanoXML*, std::string>& topLevel_;
    std::vector<const NanoXML*>* dependencies_ = nullptr;
    std::vector<DeclaredEnum> enums_;
    std::unordered_set<const NanoXML*> active_;
    // Nested structures are written out in full; the budget, shared by all services of a load,
    // bounds a type graph that would expand exponentially (every level naming the next one
    // many times).
    size_t& budget_;
    bool budgetReported_ = false;
};

struct PendingStructure {
    const NanoXML* type = nullptr;
    std::unique_ptr<CStructDatatype> structure;
    std::vector<const NanoXML*> dependencies;
    int state = 0;  // 0 not placed, 1 being placed, 2 placed
};

// Appends the structures so that a structure used as an array element comes before its user;
// otherwise document order.
void PlaceInDependencyOrder(std::vector<PendingStructure>& pending, CSomeIpServiceCfg& service) {
    std::unordered_map<const NanoXML*, size_t> index;
    for (size_t i = 0; i < pending.size(); ++i) index.emplace(pending[i].type, i);
    std::vector<std::pair<size_t, size_t>> stack;
    for (size_t start = 0; start < pending.size(); ++start) {
        if (pending[start].state != 0) continue;
        stack.emplace_back(start, 0);
        pending[start].state = 1;
        while (!stack.empty()) {
            auto& [at, next] = stack.back();
            PendingStructure& current = pending[at];
            if (next < current.dependencies.size()) {
                const auto found = index.find(current.dependencies[next++]);
                if (found != index.end() && pending[found->second].state == 0) {
                    pending[found->second].state = 1;
                    stack.emplace_back(found->second, 0);
                }
                continue;
            }
            current.state = 2;
            service.AddStructure(std::move(current.structure));
            stack.pop_back();
        }
    }
}

// dependencyOrder: a structure used as an array element comes before its user, so that the
// header compiles (whole-document reading); else reading order, as described.
void ReadServiceStructuresOf(const NanoXML* servicePackage, CSomeIpServiceCfg& service,
                             std::string& warnings, size_t& budget, bool dependencyOrder) {
    const NanoXML* elements = Child(SubPackage(servicePackage, "datatypes"), "ELEMENTS");
    if (elements == nullptr) return;
    std::unordered_map<const NanoXML*, std::string> topLevel;
    std::vector<const NanoXML*> structures;
    for (const NanoXML* element : elements->children) {
        if (element->name != "IMPLEMENTATION-DATA-TYPE") continue;
        if (ChildText(element, "CATEGORY") != "STRUCTURE") continue;
        structures.push_back(element);
        topLevel.emplace(element, StrippedName(ShortName(element)));
    }
    StructureBuilder builder(service.Name(), warnings, topLevel, budget);
    std::vector<PendingStructure> pending;
    for (const NanoXML* element : structures) {
        PendingStructure entry;
        entry.type = element;
        entry.structure = builder.Build(element, topLevel[element], entry.dependencies);
        pending.push_back(std::move(entry));
    }
    if (dependencyOrder) {
        PlaceInDependencyOrder(pending, service);
        return;
    }
    for (PendingStructure& entry : pending) service.AddStructure(std::move(entry.structure));
}

}  // namespace

std::string ReadServiceStructures(const TreeSurvey& survey, CEcu* firstEcu, bool wholeDocument) {
    const std::vector<NanoXML*>& riz = survey.rizPackages;
    if (riz.size() != 1) return {};
    const NanoXML* services = SubPackage(riz.front(), "services");
    std::string warnings;
    size_t budget = kMemberAllowance + kMembersPerElement * survey.elementCount;
    for (const NanoXML* package : SubPackages(services)) {
        const std::string name = ShortName(package);
        CSomeIpServiceCfg* service =
            firstEcu ? static_cast<CSomeIpServiceCfg*>(firstEcu->FindService(name.c_str()))
                     : nullptr;
        if (service == nullptr) {
            if (wholeDocument) {
                warnings += "Missing service instance of service package: " + name + ".\r\n";
            }
            continue;
        }
        ReadServiceStructuresOf(package, *service, warnings, budget, wholeDocument);
    }
    return warnings;
}

}  // namespace qm::someip
