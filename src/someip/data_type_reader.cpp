#include <memory>
#include <string>
#include <vector>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"

namespace qm::someip {

const NanoXML* FindPackage(const NanoXML* under, const std::string& name) {
    if (under == nullptr) return nullptr;
    std::vector<const NanoXML*> pending{under};
    while (!pending.empty()) {
        const NanoXML* node = pending.back();
        pending.pop_back();
        if (node->name == "AR-PACKAGE" && ShortName(node) == name) return node;
        if (node->name == "ELEMENTS") continue;  // packages do not live among elements
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            pending.push_back(*it);
        }
    }
    return nullptr;
}

std::vector<const NanoXML*> SubPackages(const NanoXML* package) {
    std::vector<const NanoXML*> packages;
    if (package == nullptr) return packages;
    for (const NanoXML* child : package->children) {
        if (child->name != "AR-PACKAGES") continue;
        for (const NanoXML* sub : child->children) {
            if (sub->name == "AR-PACKAGE") packages.push_back(sub);
        }
    }
    return packages;
}

const NanoXML* SubPackage(const NanoXML* package, const std::string& name) {
    for (const NanoXML* sub : SubPackages(package)) {
        if (ShortName(sub) == name) return sub;
    }
    return nullptr;
}

namespace {

// The first SW-BASE-TYPE reached from a type through its properties and references.
const NanoXML* BaseTypeOf(const NanoXML* type) {
    return ReferencedBaseType(type);
}

void ReadTrivial(CTrivialDataType& type, const NanoXML* element, std::string& warnings) {
    const NanoXML* base = BaseTypeOf(element);
    type.baseTypeName = ShortName(base);
    type.baseTypeSize = static_cast<uint8_t>(ParseDecimal(ChildText(base, "BASE-TYPE-SIZE")));
    const std::string order = ChildText(base, "BYTE-ORDER");
    if (order.rfind("MOST", 0) != 0 && order.rfind("LEAS", 0) == 0) type.byteOrder = 1;
    type.nativeDeclaration = ChildText(base, "NATIVE-DECLARATION");
    type.nativeTypeCode = NativeTypeCodeOf(type.nativeDeclaration);
    if (type.nativeTypeCode == kNativeUnsupported) {
        warnings += "Unsupported native declaration " + type.nativeDeclaration + ".\r\n";
    }
}

void ReadString(CStringDataType& type, const NanoXML* element, std::string& warnings) {
    const NanoXML* base = BaseTypeOf(element);
    if (base == nullptr) {
        warnings += "Character type of string was not found " + type.Name() + ".\r\n";
        return;
    }
    type.characterType = ShortName(base);
}

// The element of an array or vector type and the name of the type it references.
struct SubElement {
    const NanoXML* element = nullptr;
    std::string typeName;
};

SubElement ReadSubElement(const NanoXML* element, const std::string& name, const char* kind,
                          std::string& warnings) {
    SubElement sub;
    const NanoXML* list = Child(element, "SUB-ELEMENTS");
    if (list == nullptr) {
        warnings += std::string("Sub element of ") + kind + " was not found " + name + ".\r\n";
        return sub;
    }
    sub.element = Child(list, "IMPLEMENTATION-DATA-TYPE-ELEMENT");
    if (sub.element == nullptr) {
        warnings += std::string("Doesn't exist sub element for ") + kind + " " + name + ".\r\n";
        return sub;
    }
    const NanoXML* type = ReferencedType(sub.element);
    sub.typeName = type ? ShortName(type) : ShortName(sub.element);
    return sub;
}

void ReadVector(CVectorDataType& type, const NanoXML* element, std::string& warnings) {
    const SubElement sub = ReadSubElement(element, type.Name(), "vector", warnings);
    if (sub.element == nullptr) return;
    type.elementName = ShortName(sub.element);
    type.elementTypeName = sub.typeName;
    type.cppType += sub.typeName + ">";
}

void ReadArray(CArrayDataType& type, const NanoXML* element, std::string& warnings) {
    const SubElement sub = ReadSubElement(element, type.Name(), "array", warnings);
    std::string size = ChildText(element, "ARRAY-SIZE");
    if (sub.element == nullptr) {
        type.arraySize = static_cast<uint32_t>(ParseAnyBase(size));
        return;
    }
    if (size.empty()) size = ChildText(sub.element, "ARRAY-SIZE");
    type.arraySize = static_cast<uint32_t>(ParseAnyBase(size));
    type.elementName = ShortName(sub.element);
    type.elementTypeName = sub.typeName;
}

void ReadEnum(CEnumDataType& type, const NanoXML* element, std::string& warnings) {
    const NanoXML* base = ReferencedType(element);
    if (base == nullptr) {
        warnings += "Base of enum: " + type.Name() + " was not found.\r\n";
    } else {
        type.baseTypeName = ShortName(base);
    }
    const NanoXML* compu = FindLinked(element, "COMPU-METHOD", 8);
    const NanoXML* scales = Path(compu, {"COMPU-INTERNAL-TO-PHYS", "COMPU-SCALES"});
    if (scales == nullptr || scales->children.empty()) {
        warnings += "Enumarators of enum: " + type.Name() + " not extracted.\r\n";
        return;
    }
    for (const NanoXML* scale : scales->children) {
        type.enumerators.Add(std::make_unique<CPhysicalValue>(
            Text(Path(scale, {"COMPU-CONST", "VT"})), ParseAnyBase(ChildText(scale, "LOWER-LIMIT")),
            ParseAnyBase(ChildText(scale, "UPPER-LIMIT"))));
    }
}

void ReadStructure(CStructureDataType& type, const NanoXML* element, std::string& warnings) {
    const NanoXML* list = Child(element, "SUB-ELEMENTS");
    if (list == nullptr) {
        warnings += "Implementation data type inside struct: " + type.Name() + " not found.\r\n";
        return;
    }
    for (const NanoXML* member : list->children) {
        // Only elements are members (a variation point or the like among them is not).
        if (member->name != "IMPLEMENTATION-DATA-TYPE-ELEMENT") continue;
        const std::string memberName = ShortName(member);
        const std::string category = ChildText(member, "CATEGORY");
        const NanoXML* memberType = ReferencedType(member);
        if (memberType == nullptr) {
            warnings += "Data type: " + memberName + ", category: " + category +
                        " belong to structure: " + type.Name() + " not found\r\n";
        }
        type.members.Add(std::make_unique<CStructureMember>(
            memberName, memberType ? ShortName(memberType) : std::string(),
            memberType ? ChildText(memberType, "CATEGORY") : category));
    }
}

// Which categories a package step reads.
enum class Flavour { kAra, kRiz, kService };

void ReadTypeElement(const NanoXML* element, CGlobalConfigDataType& config, Flavour flavour,
                     std::string& warnings) {
    const std::string category = ChildText(element, "CATEGORY");
    const std::string name = ShortName(element);
    const bool standard = flavour != Flavour::kService;
    if (standard && category == "VALUE") {
        auto type = std::make_unique<CTrivialDataType>(name, &config);
        ReadTrivial(*type, element, warnings);
        config.Add(std::move(type));
    } else if (standard && category == "STRING") {
        auto type = std::make_unique<CStringDataType>(name, &config);
        ReadString(*type, element, warnings);
        config.Add(std::move(type));
    } else if (category == "VECTOR") {
        auto type = std::make_unique<CVectorDataType>(name, &config);
        ReadVector(*type, element, warnings);
        config.Add(std::move(type));
    } else if (!standard && category == "STRUCTURE") {
        auto type = std::make_unique<CStructureDataType>(name, &config);
        ReadStructure(*type, element, warnings);
        config.Add(std::move(type));
    } else if (!standard && category == "TYPE_REFERENCE") {
        auto type = std::make_unique<CEnumDataType>(name, &config);
        ReadEnum(*type, element, warnings);
        config.Add(std::move(type));
    } else if (!standard && category == "ARRAY") {
        auto type = std::make_unique<CArrayDataType>(name, &config);
        ReadArray(*type, element, warnings);
        config.Add(std::move(type));
    } else if (flavour == Flavour::kAra) {
        warnings += "Unsupported ara implementation data type category: " + category + ".\r\n";
    } else if (flavour == Flavour::kRiz) {
        warnings += "Unsupported riz implementation data type category: " + category + ".\r\n";
    } else {
        warnings += "Unsupported implementation data type category: " + category + "\r\n";
    }
}

void ReadTypeList(const NanoXML* elements, CGlobalConfigDataType& config, Flavour flavour,
                  std::string& warnings) {
    if (elements == nullptr) return;
    for (const NanoXML* element : elements->children) {
        if (element->name == "IMPLEMENTATION-DATA-TYPE") {
            ReadTypeElement(element, config, flavour, warnings);
        }
    }
}

const NanoXML* UniqueRiz(const TreeSurvey& survey) {
    const std::vector<NanoXML*>& riz = survey.rizPackages;
    return riz.size() == 1 ? riz.front() : nullptr;
}

}  // namespace

std::string ReadAraTypes(NanoXML* root, CRizConfig& riz) {
    CGlobalConfigDataType* global = riz.EnsureGlobal();
    const NanoXML* ara = FindPackage(root, "ara");
    if (ara == nullptr) return {};
    // The recursive child search looks at the package's own children before it goes below any
    // of them, so the package's own ELEMENTS win over those of its sub-packages wherever they
    // stand (a merged package gets its ELEMENTS after its AR-PACKAGES). The search changes
    // nothing.
    const NanoXML* elements = const_cast<NanoXML*>(ara)->FindChild("ELEMENTS", "", "", true);
    std::string warnings;
    ReadTypeList(elements, *global, Flavour::kAra, warnings);
    return warnings;
}

std::string ReadRizStandardTypes(const TreeSurvey& survey, CRizConfig& riz) {
    const NanoXML* stdtypes = SubPackage(UniqueRiz(survey), "stdtypes");
    if (stdtypes == nullptr) return {};
    std::string warnings;
    ReadTypeList(Child(stdtypes, "ELEMENTS"), *riz.ConfigurationNamed("stdtypes"), Flavour::kRiz,
                 warnings);
    return warnings;
}

std::string ReadServiceConfigurations(const TreeSurvey& survey,
                                      std::vector<std::unique_ptr<CGlobalConfigDataType>>& out) {
    const NanoXML* services = SubPackage(UniqueRiz(survey), "services");
    std::string warnings;
    for (const NanoXML* service : SubPackages(services)) {
        const std::string name = ShortName(service);
        out.push_back(std::make_unique<CGlobalConfigDataType>(
            "Global data type configuration for " + name + " service"));
        const NanoXML* datatypes = SubPackage(service, "datatypes");
        ReadTypeList(Child(datatypes, "ELEMENTS"), *out.back(), Flavour::kService, warnings);
    }
    return warnings;
}

}  // namespace qm::someip
