#include "someip/header_generator.h"

#include <algorithm>

namespace qm::someip {

namespace {

void Indent(std::string& out, int level) {
    out.append(static_cast<size_t>(level) * 4, ' ');
}

std::string TypeText(const CVariable& variable) {
    if (variable.baseType < kBaseUnresolved) return BaseTypeText(variable.baseType);
    return std::string(variable.declaredType.view()) + " /* TODO unresolved */ ";
}

std::string CapitalisedFirst(std::string name) {
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 32);
    return name;
}

void AppendBlock(std::string& out, const std::string& serviceName, const CStructDatatype& s,
                 int depth);

void AppendEnumeration(std::string& out, const CVariable& v, int depth) {
    Indent(out, depth + 1);
    out += "enum class e_" + v.Name() + " : " + TypeText(v) + "\n";
    Indent(out, depth + 1);
    out += "{\n";
    size_t width = 0;
    for (const auto& value : v.Values()) width = std::max(width, value->Name().size());
    const uint64_t count = v.Values().Count();
    uint64_t index = 0;
    for (const auto& value : v.Values()) {
        Indent(out, 2);
        out += value->Name();
        out.append(width - value->Name().size(), ' ');
        out += " = " + value->Value();
        if (++index < count) out += ",";
        out += "\n";
    }
    Indent(out, depth + 1);
    out += "} " + v.Name() + ";\n";
}

void AppendArray(std::string& out, const CVariable& v, int depth) {
    const bool isEnum = !v.enumTypeName.empty();
    Indent(out, depth + 1);
    out += (isEnum ? "e_" + v.enumTypeName.str() : v.elementType.str()) + " " + v.Name();
    if (v.arraySize == 0) {
        out += "[];\n";
        return;
    }
    out += "[" + std::to_string(v.arraySize) + "] =\n";
    Indent(out, depth + 1);
    out += "{\n";
    const uint64_t count = v.Values().Count();
    uint64_t index = 0;
    for (const auto& value : v.Values()) {
        Indent(out, depth + 2);
        if (isEnum) out += "e_" + v.enumTypeName.str() + "::";
        out += value->Name();
        if (++index < count) out += ",";
        out += "\n";
    }
    Indent(out, depth + 1);
    out += "};\n";
}

void AppendMember(std::string& out, const std::string& serviceName, const CVariable& v, int depth) {
    if (v.Nested() != nullptr) {
        AppendBlock(out, serviceName, *v.Nested(), depth + 1);
    } else if (v.array) {
        AppendArray(out, v, depth);
    } else if (v.Values().Empty()) {
        Indent(out, depth + 1);
        out += TypeText(v) + " " + v.Name() + ";\n";
    } else {
        AppendEnumeration(out, v, depth);
    }
}

void AppendBlock(std::string& out, const std::string& serviceName, const CStructDatatype& s,
                 int depth) {
    if (depth == 0) {
        out += "struct Service_" + serviceName + "_" + CapitalisedFirst(s.Name()) + "\n{\n";
    } else {
        Indent(out, depth);
        out += "struct " + s.Name() + "_s\n";
        Indent(out, depth);
        out += "{\n";
    }
    for (const auto& variable : s.Variables()) AppendMember(out, serviceName, *variable, depth);
    Indent(out, depth);
    out += "}";
    out += depth == 0 ? ";\n\n" : " " + s.Name() + ";\n\n";
}

}  // namespace

std::string StructureText(const std::string& serviceName,
                          const OwnedItems<CStructDatatype>& structures) {
    std::string out;
    for (const auto& structure : structures) AppendBlock(out, serviceName, *structure, 0);
    return out;
}

std::string CompatibilityBlock() {
    static const char* const kDefines[][2] = {
        {"uint8", "uint8_t"},   {"uint16", "uint16_t"}, {"uint32", "uint32_t"},
        {"uint64", "uint64_t"}, {"sint8", "int8_t"},    {"sint16", "int16_t"},
        {"sint32", "int32_t"},  {"sint64", "int64_t"},  {"float32", "float"},
        {"float64", "double"},  {"boolean", "bool"},    {"String", "std::string"},
    };
    std::string out =
        "\r\n//----------------------- compatibility defines -----------------------\r\n";
    for (const auto& define : kDefines) {
        out += std::string("#ifndef ") + define[0] + "\r\n";
        out += std::string("#define ") + define[0] + " " + define[1] + "\r\n";
        out += "#endif\r\n";
    }
    out += "#ifndef uuid\r\nusing uuid = char[17];\r\n#endif\r\n\r\n";
    return out;
}

}  // namespace qm::someip
