#include "network_diff.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <ostream>
#include <unordered_map>

#include "netmodel_json.h"

namespace qmtool {

namespace {

// Numbers that went through a file's text come back rounded in the last digits.
bool SameNumber(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (a == b) return true;
    const double scale = std::max({1.0, std::abs(a), std::abs(b)});
    return std::abs(a - b) <= 1e-9 * scale;
}

// Lists of differences start as null and become arrays with their first entry: a comparison of
// two equal signals or frames builds no JSON (a 50 MB file has 200,000 signals). AsList gives the
// array the report shows.
class Collector {
  public:
    explicit Collector(uint64_t& count) : count_(count) {}

    void Field(Json& fields, const char* field, Json a, Json b) {
        fields.push_back({{"field", field}, {"a", std::move(a)}, {"b", std::move(b)}});
        ++count_;
    }
    void Entry(Json& list, Json entry) {
        list.push_back(std::move(entry));
        ++count_;
    }

  private:
    uint64_t& count_;
};

Json AsList(Json list) {
    return list.is_null() ? Json::array() : std::move(list);
}

Json AttributeValue(const AttributeMap& map, std::string_view name) {
    const auto found =
        std::lower_bound(map.begin(), map.end(), name,
                         [](const auto& pair, std::string_view key) { return pair.first < key; });
    return found == map.end() || found->first != name ? Json(nullptr)
                                                      : Json(std::string(found->second));
}

// Both maps are sorted: one merge walk. Null when they are equal.
Json DiffAttributes(const AttributeMap& a, const AttributeMap& b, Collector& collect) {
    Json changes;
    auto left = a.begin();
    auto right = b.begin();
    while (left != a.end() || right != b.end()) {
        std::string_view name;
        if (right == b.end() || (left != a.end() && left->first < right->first)) {
            name = (left++)->first;
        } else if (left == a.end() || right->first < left->first) {
            name = (right++)->first;
        } else {
            const bool same = left->second == right->second;
            name = left->first;
            ++left;
            ++right;
            if (same) continue;
        }
        collect.Entry(
            changes,
            {{"name", name}, {"a", AttributeValue(a, name)}, {"b", AttributeValue(b, name)}});
    }
    return changes;
}

Json ValueTextJson(const ValueText& value) {
    if (value.rawMin == value.rawMax) return {{"raw", value.rawMin}, {"text", value.text}};
    return {{"min", value.rawMin}, {"max", value.rawMax}, {"text", value.text}};
}

// Whether two sorted lists of value texts are equal, leaving out the entries over raw ranges
// when ranges is false; compared in place.
bool SameTexts(const std::vector<ValueText>& a, const std::vector<ValueText>& b, bool ranges) {
    if (ranges) return a == b;
    const auto single = [](const ValueText& value) { return value.rawMin == value.rawMax; };
    auto left = std::find_if(a.begin(), a.end(), single);
    auto right = std::find_if(b.begin(), b.end(), single);
    while (left != a.end() && right != b.end()) {
        if (!(*left == *right)) return false;
        left = std::find_if(left + 1, a.end(), single);
        right = std::find_if(right + 1, b.end(), single);
    }
    return left == a.end() && right == b.end();
}

std::vector<ValueText> ComparableTexts(const std::vector<ValueText>& texts, bool ranges) {
    if (ranges) return texts;
    std::vector<ValueText> singles;
    for (const ValueText& value : texts) {
        if (value.rawMin == value.rawMax) singles.push_back(value);
    }
    return singles;
}

// The entries of one side that the other lacks.
Json OnlyIn(const std::vector<ValueText>& side, const std::vector<ValueText>& other) {
    Json entries = Json::array();
    for (const ValueText& value : side) {
        if (std::find(other.begin(), other.end(), value) == other.end()) {
            entries.push_back(ValueTextJson(value));
        }
    }
    return entries;
}

void DiffValueTexts(const SignalView& a, const SignalView& b, const ComparedFields& compared,
                    Json& fields, Collector& collect) {
    if (SameTexts(a.valueTexts, b.valueTexts, compared.valueTextRanges)) return;
    const auto left = ComparableTexts(a.valueTexts, compared.valueTextRanges);
    const auto right = ComparableTexts(b.valueTexts, compared.valueTextRanges);
    collect.Field(fields, "valueTexts", OnlyIn(left, right), OnlyIn(right, left));
}

void DiffNumber(const char* field, double a, double b, Json& fields, Collector& collect) {
    if (!SameNumber(a, b)) collect.Field(fields, field, Number(a), Number(b));
}

const char* ByteOrderText(bool bigEndian) {
    return bigEndian ? "big_endian" : "little_endian";
}

Json DiffSignalFields(const SignalView& a, const SignalView& b, const ComparedFields& compared,
                      Collector& collect) {
    Json fields;
    if (a.start != b.start) collect.Field(fields, "start", a.start, b.start);
    if (a.length != b.length) collect.Field(fields, "length", a.length, b.length);
    if (a.bigEndian != b.bigEndian) {
        collect.Field(fields, "byteOrder", ByteOrderText(a.bigEndian), ByteOrderText(b.bigEndian));
    }
    if (a.isSigned != b.isSigned) collect.Field(fields, "signed", a.isSigned, b.isSigned);
    DiffNumber("factor", a.factor, b.factor, fields, collect);
    DiffNumber("offset", a.offset, b.offset, fields, collect);
    if (a.hasLimits && b.hasLimits) {
        DiffNumber("minimum", a.minimum, b.minimum, fields, collect);
        DiffNumber("maximum", a.maximum, b.maximum, fields, collect);
    }
    if (a.unit != b.unit) collect.Field(fields, "unit", a.unit, b.unit);
    if (a.receivers != b.receivers) collect.Field(fields, "receivers", a.receivers, b.receivers);
    DiffValueTexts(a, b, compared, fields, collect);
    if (compared.initialValue && a.initialValue != b.initialValue) {
        collect.Field(fields, "initialValue", a.initialValue, b.initialValue);
    }
    if (compared.multiplexing && a.multiplexing != b.multiplexing) {
        collect.Field(fields, "multiplexing", a.multiplexing, b.multiplexing);
    }
    return fields;
}

// One signal difference: the field changes and attribute changes; null when there are none.
Json DiffSignal(const SignalView& a, const SignalView& b, const ComparedFields& compared,
                Collector& collect) {
    Json fields = DiffSignalFields(a, b, compared, collect);
    Json attributes =
        compared.attributes ? DiffAttributes(a.attributes, b.attributes, collect) : Json();
    if (fields.is_null() && attributes.is_null()) return nullptr;
    Json change = {{"name", b.name}, {"fields", AsList(std::move(fields))}};
    if (!attributes.is_null()) change["attributes"] = std::move(attributes);
    return change;
}

// A signal of a only and one of b only with the same layout are one renamed signal: the signals
// of b left over after pairing by name, by layout in signal order, each taken once.
class RenameCandidates {
  public:
    RenameCandidates(const FrameView& b, const std::vector<bool>& matchedB) {
        for (size_t j = 0; j < b.signals.size(); ++j) {
            if (!matchedB[j]) byLayout_[LayoutKey(b.signals[j])].indexes.push_back(j);
        }
    }
    std::optional<size_t> Take(const SignalView& removed) {
        const auto found = byLayout_.find(LayoutKey(removed));
        if (found == byLayout_.end()) return std::nullopt;
        Candidates& candidates = found->second;
        if (candidates.next == candidates.indexes.size()) return std::nullopt;
        return candidates.indexes[candidates.next++];
    }

  private:
    struct Candidates {
        std::vector<size_t> indexes;
        size_t next = 0;
    };
    static uint64_t LayoutKey(const SignalView& signal) {
        return (uint64_t{signal.start} << 17) | (uint64_t{signal.length} << 1) |
               uint64_t{signal.bigEndian};
    }
    std::unordered_map<uint64_t, Candidates> byLayout_;
};

// The signal of b of that name not matched yet: a frame may repeat a name.
std::optional<size_t> SameNamed(std::string_view name, const FrameView& b,
                                const std::vector<bool>& matchedB) {
    return FindSignal(b, name, [&](size_t j) { return !matchedB[j]; });
}

// Null when the signals are equal.
Json DiffSignals(const FrameView& a, const FrameView& b, const ComparedFields& compared,
                 Collector& collect) {
    Json added, removed, renamed, changed;
    std::vector<bool> matchedB(b.signals.size(), false);
    std::vector<size_t> unmatchedA;
    for (size_t i = 0; i < a.signals.size(); ++i) {
        const auto target = SameNamed(a.signals[i].name, b, matchedB);
        if (!target) {
            unmatchedA.push_back(i);
            continue;
        }
        matchedB[*target] = true;
        Json change = DiffSignal(a.signals[i], b.signals[*target], compared, collect);
        if (!change.is_null()) changed.push_back(std::move(change));
    }
    std::optional<RenameCandidates> candidates;
    if (!unmatchedA.empty()) candidates.emplace(b, matchedB);
    for (size_t i : unmatchedA) {
        const SignalView& signal = a.signals[i];
        if (auto target = candidates->Take(signal)) {
            matchedB[*target] = true;
            collect.Entry(renamed, {{"a", signal.name}, {"b", b.signals[*target].name}});
            Json change = DiffSignal(signal, b.signals[*target], compared, collect);
            if (!change.is_null()) changed.push_back(std::move(change));
        } else {
            collect.Entry(removed, {{"name", signal.name}});
        }
    }
    for (size_t j = 0; j < b.signals.size(); ++j) {
        if (!matchedB[j]) collect.Entry(added, {{"name", b.signals[j].name}});
    }
    if (added.is_null() && removed.is_null() && renamed.is_null() && changed.is_null()) {
        return nullptr;
    }
    return {{"added", AsList(std::move(added))},
            {"removed", AsList(std::move(removed))},
            {"renamed", AsList(std::move(renamed))},
            {"changed", AsList(std::move(changed))}};
}

Json FrameFields(const FrameView& a, const FrameView& b, const ComparedFields& compared,
                 Collector& collect) {
    Json fields;
    if (a.id != b.id) collect.Field(fields, "id", a.id, b.id);
    if (a.name != b.name) collect.Field(fields, "name", a.name, b.name);
    if (a.length != b.length) collect.Field(fields, "length", a.length, b.length);
    if (a.sender != b.sender) collect.Field(fields, "sender", a.sender, b.sender);
    if (a.kind != b.kind) collect.Field(fields, "kind", a.kind, b.kind);
    if (compared.cycleTime) DiffNumber("cycleTime", a.cycleTimeMs, b.cycleTimeMs, fields, collect);
    return fields;
}

Json DiffFrame(const FrameView& a, const FrameView& b, const ComparedFields& compared,
               Collector& collect) {
    Json fields = FrameFields(a, b, compared, collect);
    Json attributes =
        compared.attributes ? DiffAttributes(a.attributes, b.attributes, collect) : Json();
    Json signals = DiffSignals(a, b, compared, collect);
    if (fields.is_null() && attributes.is_null() && signals.is_null()) return nullptr;
    Json change = {{"id", b.id}, {"name", b.name}, {"fields", AsList(std::move(fields))}};
    if (!attributes.is_null()) change["attributes"] = std::move(attributes);
    change["signals"] = signals.is_null() ? Json{{"added", Json::array()},
                                                 {"removed", Json::array()},
                                                 {"renamed", Json::array()},
                                                 {"changed", Json::array()}}
                                          : std::move(signals);
    return change;
}

Json FrameRef(const FrameView& frame) {
    return {{"id", frame.id}, {"name", frame.name}};
}

// Frames pair by identifier and name, then by identifier (a renamed frame), then by name (a
// frame whose identifier changed). Several frames may share an identifier (PDUs that no frame
// carries): the name decides between them.
std::vector<std::optional<size_t>> MatchFrames(const NetworkView& a, const NetworkView& b,
                                               std::vector<bool>& matchedB) {
    std::vector<std::optional<size_t>> match(a.frames.size());
    matchedB.assign(b.frames.size(), false);
    const auto pair = [&](size_t i, const auto& index, const auto& key, bool sameKey) {
        const auto found = index.find(key);
        if (found == index.end() || matchedB[found->second]) return;
        if (sameKey && FrameKey(b.frames[found->second]) != FrameKey(a.frames[i])) return;
        match[i] = found->second;
        matchedB[found->second] = true;
    };
    for (size_t i = 0; i < a.frames.size(); ++i) pair(i, b.frameByName, a.frames[i].name, true);
    for (size_t i = 0; i < a.frames.size(); ++i) {
        if (!match[i]) pair(i, b.frameByKey, FrameKey(a.frames[i]), false);
    }
    for (size_t i = 0; i < a.frames.size(); ++i) {
        if (!match[i]) pair(i, b.frameByName, a.frames[i].name, false);
    }
    return match;
}

Json DiffFrames(const NetworkView& a, const NetworkView& b, const ComparedFields& compared,
                Collector& collect) {
    Json added, removed, changed;
    std::vector<bool> matchedB;
    const auto match = MatchFrames(a, b, matchedB);
    for (size_t i = 0; i < a.frames.size(); ++i) {
        if (!match[i]) {
            collect.Entry(removed, FrameRef(a.frames[i]));
            continue;
        }
        Json change = DiffFrame(a.frames[i], b.frames[*match[i]], compared, collect);
        if (!change.is_null()) changed.push_back(std::move(change));
    }
    for (size_t j = 0; j < b.frames.size(); ++j) {
        if (!matchedB[j]) collect.Entry(added, FrameRef(b.frames[j]));
    }
    return {{"added", AsList(std::move(added))},
            {"removed", AsList(std::move(removed))},
            {"changed", AsList(std::move(changed))}};
}

Json DiffNodes(const NetworkView& a, const NetworkView& b, const ComparedFields& compared,
               Collector& collect) {
    Json added, removed, changed;
    for (const NodeView& node : a.nodes) {
        const auto found = b.nodeByName.find(node.name);
        if (found == b.nodeByName.end()) {
            collect.Entry(removed, node.name);
            continue;
        }
        if (!compared.attributes) continue;
        Json attributes =
            DiffAttributes(node.attributes, b.nodes[found->second].attributes, collect);
        if (!attributes.is_null())
            changed.push_back({{"name", node.name}, {"attributes", std::move(attributes)}});
    }
    for (const NodeView& node : b.nodes) {
        if (a.nodeByName.find(node.name) == a.nodeByName.end()) collect.Entry(added, node.name);
    }
    return {{"added", AsList(std::move(added))},
            {"removed", AsList(std::move(removed))},
            {"changed", AsList(std::move(changed))}};
}

Json Side(const NetworkView& view) {
    return {{"name", view.name}, {"format", SourceFormatName(view.format)}};
}

Json ComparedJson(const ComparedFields& compared) {
    return {{"attributes", compared.attributes},
            {"cycleTime", compared.cycleTime},
            {"multiplexing", compared.multiplexing},
            {"valueTextRanges", compared.valueTextRanges},
            {"initialValue", compared.initialValue}};
}

}  // namespace

ComparedFields FieldsComparedFor(SourceFormat a, SourceFormat b) {
    const auto timed = [](SourceFormat f) { return f != SourceFormat::kLdf; };
    ComparedFields compared;
    compared.attributes = a == b;
    compared.cycleTime = timed(a) && timed(b);
    compared.multiplexing = a == SourceFormat::kDbc && b == SourceFormat::kDbc;
    compared.valueTextRanges = a != SourceFormat::kDbc && b != SourceFormat::kDbc;
    compared.initialValue = a == SourceFormat::kLdf && b == SourceFormat::kLdf;
    return compared;
}

NetworkDiff DiffNetworks(const NetworkView& a, const NetworkView& b) {
    NetworkDiff diff;
    Collector collect(diff.differences);
    const ComparedFields compared = FieldsComparedFor(a.format, b.format);
    Json report = {{"a", Side(a)}, {"b", Side(b)}, {"compared", ComparedJson(compared)}};
    Json fields;
    if (a.busType != b.busType) {
        collect.Field(fields, "busType", BusTypeText(a.busType), BusTypeText(b.busType));
    }
    report["fields"] = AsList(std::move(fields));
    report["attributes"] =
        AsList(compared.attributes ? DiffAttributes(a.attributes, b.attributes, collect) : Json());
    report["nodes"] = DiffNodes(a, b, compared, collect);
    report["frames"] = DiffFrames(a, b, compared, collect);
    report["differences"] = diff.differences;
    diff.report = std::move(report);
    return diff;
}

namespace {

std::string Hex(uint64_t id) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(id));
    return text;
}

std::string JsonValueText(const Json& value) {
    return value.is_string() ? value.get<std::string>() : value.dump();
}

void PrintFields(const Json& fields, const std::string& indent, std::ostream& out) {
    for (const Json& field : fields) {
        out << indent << field["field"].get<std::string>() << ": " << JsonValueText(field["a"])
            << " -> " << JsonValueText(field["b"]) << '\n';
    }
}

void PrintAttributes(const Json& attributes, const std::string& indent, std::ostream& out) {
    for (const Json& attribute : attributes) {
        out << indent << "attribute " << attribute["name"].get<std::string>() << ": "
            << JsonValueText(attribute["a"]) << " -> " << JsonValueText(attribute["b"]) << '\n';
    }
}

void PrintSignals(const Json& signals, std::ostream& out) {
    for (const Json& signal : signals["added"]) {
        out << "    + signal " << signal["name"].get<std::string>() << '\n';
    }
    for (const Json& signal : signals["removed"]) {
        out << "    - signal " << signal["name"].get<std::string>() << '\n';
    }
    for (const Json& signal : signals["renamed"]) {
        out << "    signal " << signal["a"].get<std::string>() << " renamed to "
            << signal["b"].get<std::string>() << '\n';
    }
    for (const Json& signal : signals["changed"]) {
        out << "    signal " << signal["name"].get<std::string>() << '\n';
        PrintFields(signal["fields"], "      ", out);
        if (signal.contains("attributes")) PrintAttributes(signal["attributes"], "      ", out);
    }
}

void PrintFrames(const Json& frames, std::ostream& out) {
    const auto name = [](const Json& frame) {
        return Hex(frame["id"].get<uint64_t>()) + " " + frame["name"].get<std::string>();
    };
    for (const Json& frame : frames["added"]) out << "  + frame " << name(frame) << '\n';
    for (const Json& frame : frames["removed"]) out << "  - frame " << name(frame) << '\n';
    for (const Json& frame : frames["changed"]) {
        out << "  frame " << name(frame) << '\n';
        PrintFields(frame["fields"], "    ", out);
        if (frame.contains("attributes")) PrintAttributes(frame["attributes"], "    ", out);
        PrintSignals(frame["signals"], out);
    }
}

}  // namespace

void PrintNetworkDiff(const Json& report, std::ostream& out) {
    out << "database " << report["a"]["name"].get<std::string>() << " ("
        << report["a"]["format"].get<std::string>() << ") -> "
        << report["b"]["name"].get<std::string>() << " ("
        << report["b"]["format"].get<std::string>() << "): " << report["differences"].dump()
        << " difference(s)\n";
    PrintFields(report["fields"], "  ", out);
    PrintAttributes(report["attributes"], "  ", out);
    for (const Json& node : report["nodes"]["added"]) {
        out << "  + node " << node.get<std::string>() << '\n';
    }
    for (const Json& node : report["nodes"]["removed"]) {
        out << "  - node " << node.get<std::string>() << '\n';
    }
    for (const Json& node : report["nodes"]["changed"]) {
        out << "  node " << node["name"].get<std::string>() << '\n';
        PrintAttributes(node["attributes"], "    ", out);
    }
    PrintFrames(report["frames"], out);
}

}  // namespace qmtool
