#include "arxml_com/arxml_signal_reader.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "arxml_com/arxml_nodes.h"
#include "xml/text.h"

namespace qm::arxml {

namespace {

// The places that describe a signal, most specific first.
struct SignalSources {
    std::array<const NanoXML*, 3> nodes{};

    // The target of the first reference of that name found in any source.
    const NanoXML* FirstTarget(std::string_view referenceName) const {
        for (const NanoXML* node : nodes) {
            if (const NanoXML* target = Target(Descendant(node, referenceName))) return target;
        }
        return nullptr;
    }
};

SignalSources SourcesOf(const NanoXML* systemSignal, const NanoXML* iSignal) {
    SignalSources sources;
    sources.nodes[0] = systemSignal;
    sources.nodes[1] = iSignal;
    // AUTOSAR 3 keeps compu method and limits on the data type of the system signal.
    sources.nodes[2] = ChildTarget(systemSignal, "DATA-TYPE-REF");
    return sources;
}

std::optional<double> Limit(const NanoXML* holder, std::string_view name) {
    const std::string text = ChildText(holder, name);
    if (text.empty()) return std::nullopt;
    return ParseDouble(text);
}

std::string UnitName(const NanoXML* unit) {
    if (unit == nullptr) return {};
    std::string display = ChildText(unit, "DISPLAY-NAME");
    return display.empty() ? ShortName(unit) : display;
}

// A signal's limits and whether they are raw values: internal constraints and the limits of an
// older schema's data type bound the raw value, physical constraints the physical one.
struct SignalLimits {
    std::optional<double> minimum;
    std::optional<double> maximum;
    bool rawMinimum = false;
    bool rawMaximum = false;
};

// Physical constraints describe the limits a user sees; internal ones and the limits of an
// AUTOSAR 3 data type stand in for them when they are missing.
SignalLimits ReadLimits(const SignalSources& sources, const NanoXML* constraint,
                        ArxmlSignal& signal) {
    const NanoXML* physical = Descendant(constraint, "PHYS-CONSTRS");
    const NanoXML* internal = Descendant(constraint, "INTERNAL-CONSTRS");
    const std::array<const NanoXML*, 3> holders = {physical, internal, sources.nodes[2]};
    SignalLimits limits;
    for (const NanoXML* holder : holders) {
        if (!limits.minimum) {
            limits.minimum = Limit(holder, "LOWER-LIMIT");
            limits.rawMinimum = limits.minimum && holder != physical;
        }
        if (!limits.maximum) {
            limits.maximum = Limit(holder, "UPPER-LIMIT");
            limits.rawMaximum = limits.maximum && holder != physical;
        }
    }
    signal.SetLimits(limits.minimum.value_or(0.0), limits.maximum.value_or(0.0));
    return limits;
}

// Raw limits as the physical values a rational scale makes of them (swapped for a negative
// factor when both are raw); a limit that is physical already stays.
void ScaleLimits(const ArxmlCompuEntry& scale, bool rawMinimum, bool rawMaximum, double& minimum,
                 double& maximum) {
    if (rawMinimum) minimum = minimum * scale.factor + scale.offset;
    if (rawMaximum) maximum = maximum * scale.factor + scale.offset;
    if (scale.factor < 0 && rawMinimum && rawMaximum) std::swap(minimum, maximum);
}

// A signal without constraints whose compu method has one scale without a text takes that
// scale's limits, as physical values (the raw limits through its coefficients, when rational),
// as cantools reads it: "RANGE" -128..127 bounds the values an encode takes.
void LimitsFromTheScale(ArxmlSignal& signal) {
    if (signal.GetCompuEntryCount() != 1) return;
    const ArxmlCompuEntry* scale = signal.GetCompuEntry(0);
    if ((scale->text != nullptr && scale->text[0] != '\0') || !std::isfinite(scale->lowerLimit) ||
        !std::isfinite(scale->upperLimit)) {
        return;
    }
    double minimum = scale->lowerLimit;
    double maximum = scale->upperLimit;
    if (scale->rational) ScaleLimits(*scale, true, true, minimum, maximum);
    signal.SetLimits(minimum, maximum);
}

// Whole-document reading gives raw limits as the physical values they stand for when the
// compu method has one linear scale (an older schema's data type of 0..3 with factor 2.5 and
// offset 10 bounds the physical value to 10..17.5, as cantools reads it), so that a value a
// user encodes is checked against what it means.
void ScaleRawLimits(const SignalLimits& limits, ArxmlSignal& signal) {
    if (!limits.minimum && !limits.maximum) {
        LimitsFromTheScale(signal);
        return;
    }
    if (!limits.rawMinimum && !limits.rawMaximum) return;
    const ArxmlCompuEntry* linear = nullptr;
    for (uint64_t i = 0; i < signal.GetCompuEntryCount(); ++i) {
        const ArxmlCompuEntry* entry = signal.GetCompuEntry(i);
        if (!entry->rational) continue;
        if (linear != nullptr) return;  // several scales: no one scaling
        linear = entry;
    }
    if (linear == nullptr) return;
    double minimum = signal.GetMinimum();
    double maximum = signal.GetMaximum();
    ScaleLimits(*linear, limits.rawMinimum, limits.rawMaximum, minimum, maximum);
    signal.SetLimits(minimum, maximum);
}

void ReadUnit(const SignalSources& sources, const NanoXML* constraint, const NanoXML* compuMethod,
              ArxmlSignal& signal) {
    const NanoXML* unit = Target(Descendant(Descendant(constraint, "PHYS-CONSTRS"), "UNIT-REF"));
    if (unit == nullptr) unit = ChildTarget(compuMethod, "UNIT-REF");
    if (unit == nullptr) unit = sources.FirstTarget("UNIT-REF");
    signal.SetUnit(UnitName(unit));
}

std::vector<double> CoefficientValues(const NanoXML* coefficients) {
    std::vector<double> values;
    if (coefficients == nullptr) return values;
    for (const NanoXML* child : coefficients->children) {
        if (child->name == "V") values.push_back(ParseDouble(child->GetText()));
    }
    return values;
}

// Text as the file writes it; with decode (whole-document reading), its character references
// ("&#228;", "&amp;") become the characters they stand for, as XML tools read them.
std::string TextAsRead(std::string text, bool decode) {
    return decode ? DecodeCharacterReferences(std::move(text)) : text;
}

CompuScale ReadScale(const NanoXML* scale, bool decode) {
    CompuScale result;
    if (auto lower = Limit(scale, "LOWER-LIMIT")) result.lowerLimit = *lower;
    if (auto upper = Limit(scale, "UPPER-LIMIT")) result.upperLimit = *upper;
    result.label = ChildText(scale, "SHORT-LABEL");
    result.description = TextAsRead(MultilingualText(Child(scale, "DESC")), decode);
    if (const NanoXML* constant = Child(scale, "COMPU-CONST")) {
        const NanoXML* value = Child(constant, "VT");
        result.text = TextAsRead(Text(value ? value : Child(constant, "V")), decode);
    }
    if (const NanoXML* coefficients = Child(scale, "COMPU-RATIONAL-COEFFS")) {
        const std::vector<double> numerator =
            CoefficientValues(Child(coefficients, "COMPU-NUMERATOR"));
        const std::vector<double> denominator =
            CoefficientValues(Child(coefficients, "COMPU-DENOMINATOR"));
        // A missing or zero denominator is read as 1, as the common tools do.
        const double divisor = denominator.empty() || denominator[0] == 0.0 ? 1.0 : denominator[0];
        result.rational = true;
        result.offset = numerator.empty() ? 0.0 : numerator[0] / divisor;
        result.factor = numerator.size() < 2 ? 1.0 : numerator[1] / divisor;
    }
    return result;
}

// The coding of the bits: the base type of the I-signal's network representation (AUTOSAR 4),
// else the AUTOSAR 3 data type of the system signal.
void ReadBaseType(const SignalSources& sources, ArxmlSignal& signal) {
    const NanoXML* baseType = Target(Descendant(sources.nodes[1], "BASE-TYPE-REF"));
    if (baseType == nullptr) baseType = Target(Descendant(sources.nodes[0], "BASE-TYPE-REF"));
    if (baseType != nullptr) {
        const std::string size = ChildText(baseType, "BASE-TYPE-SIZE");
        const unsigned long bits = size.empty() ? 0 : std::strtoul(size.c_str(), nullptr, 0);
        signal.SetBaseType(ChildText(baseType, "BASE-TYPE-ENCODING"),
                           bits > 0xFFFFFFFFul ? 0 : static_cast<uint32_t>(bits));
        return;
    }
    const NanoXML* dataType = sources.nodes[2];
    if (dataType == nullptr) return;
    if (dataType->name == "REAL-TYPE") {
        signal.SetBaseType("IEEE754", ChildText(dataType, "ENCODING") == "SINGLE" ? 32 : 64);
    } else if (dataType->name == "INTEGER-TYPE") {
        const std::optional<double> lower = Limit(dataType, "LOWER-LIMIT");
        signal.SetBaseType(lower && *lower < 0 ? "2C" : "NONE", 0);
    }
}

// The node itself when it has the name (an older schema's reference leads to the literal),
// else its first descendant of the name.
const NanoXML* SelfOrDescendant(const NanoXML* node, std::string_view name) {
    return node != nullptr && node->name == name ? node : Descendant(node, name);
}

// The number a value holder gives: the VALUE of its NUMERICAL-VALUE-SPECIFICATION,
// INTEGER-LITERAL, REAL-LITERAL or BOOLEAN-LITERAL, or that of the constant it refers to; none
// for texts and records of several values.
std::optional<double> InitNumber(const NanoXML* holder) {
    if (const NanoXML* constant = Target(Descendant(holder, "CONSTANT-REF"))) holder = constant;
    if (holder == nullptr) return std::nullopt;
    if (const NanoXML* literal = SelfOrDescendant(holder, "BOOLEAN-LITERAL")) {
        const std::string text = ChildText(literal, "VALUE");
        if (text == "true" || text == "1") return 1.0;
        if (text == "false" || text == "0") return 0.0;
        return std::nullopt;
    }
    const NanoXML* number = SelfOrDescendant(holder, "NUMERICAL-VALUE-SPECIFICATION");
    if (number == nullptr) number = SelfOrDescendant(holder, "INTEGER-LITERAL");
    if (number == nullptr) number = SelfOrDescendant(holder, "REAL-LITERAL");
    const std::string text = ChildText(number, "VALUE");
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::nullopt;
    const char* begin = text.c_str() + first;
    // Numbers as AUTOSAR writes them (0x..., 0b..., decimals); tools write booleans too.
    if (std::strncmp(begin, "true", 4) == 0) return 1.0;
    if (std::strncmp(begin, "false", 5) == 0) return 0.0;
    char* end = nullptr;
    const bool prefixed = begin[0] == '0' && begin[1] != '\0';
    const char base = prefixed ? static_cast<char>(begin[1] | 0x20) : '\0';
    double value;
    if (base == 'x' || base == 'b') {
        const char* digits = begin + 2;
        value = static_cast<double>(std::strtoull(digits, &end, base == 'x' ? 16 : 2));
        if (end == digits) return std::nullopt;
    } else {
        value = std::strtod(begin, &end);
        if (end == begin) return std::nullopt;
    }
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// The I-signal's INIT-VALUE, else the system signal's INIT-VALUE-REF (older schemas).
void ReadInitValue(const NanoXML* systemSignal, const NanoXML* iSignal, ArxmlSignal& signal) {
    std::optional<double> number = InitNumber(Child(iSignal, "INIT-VALUE"));
    if (!number) number = InitNumber(ChildTarget(systemSignal, "INIT-VALUE-REF"));
    if (number) signal.SetInitValue(*number);
}

}  // namespace

void ReadCompuScales(const NanoXML* compuMethod, bool decode, ArxmlSignal& signal) {
    const NanoXML* scales = Child(Child(compuMethod, "COMPU-INTERNAL-TO-PHYS"), "COMPU-SCALES");
    if (scales == nullptr) return;
    for (const NanoXML* scale : scales->children) {
        if (scale->name == "COMPU-SCALE") signal.AddCompuScale(ReadScale(scale, decode));
    }
}

void ReadSystemSignalData(const NanoXML* systemSignal, const NanoXML* iSignal, bool wholeDocument,
                          ArxmlSignal& signal) {
    // Exact reading takes the description, constraints and compu method of the system signal
    // (and of the AUTOSAR 3 data type it refers to); whole-document reading also those of the
    // I-signal's network representation, where AUTOSAR 4 tools often put them.
    const SignalSources sources = SourcesOf(systemSignal, iSignal);
    SignalSources described = sources;
    if (!wholeDocument) described.nodes[1] = nullptr;

    std::string description = MultilingualText(Child(systemSignal, "DESC"));
    if (description.empty()) description = MultilingualText(Child(described.nodes[1], "DESC"));
    signal.SetDescription(TextAsRead(std::move(description), wholeDocument));

    const NanoXML* constraint = described.FirstTarget("DATA-CONSTR-REF");
    const NanoXML* compuMethod = described.FirstTarget("COMPU-METHOD-REF");
    const SignalLimits limits = ReadLimits(described, constraint, signal);
    ReadUnit(described, constraint, compuMethod, signal);
    // AUTOSAR tools name the unit of a dimensionless value "NoUnit"; read as a whole document it
    // is no unit, as cantools reads it (decodes would print "5 NoUnit").
    if (wholeDocument && signal.Unit() == "NoUnit") signal.SetUnit({});
    ReadCompuScales(compuMethod, wholeDocument, signal);
    if (wholeDocument) ScaleRawLimits(limits, signal);
    signal.SetCompuCategory(ChildText(compuMethod, "CATEGORY"));
    // The coding of the bits is no described field: every reading takes it where it is found.
    ReadBaseType(sources, signal);
    if (wholeDocument) ReadInitValue(systemSignal, iSignal, signal);
}

}  // namespace qm::arxml
