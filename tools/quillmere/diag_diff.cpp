#include "diag_diff.h"

#include <map>
#include <ostream>
#include <string>
#include <unordered_map>

namespace qmtool {

namespace {

// The layout of one parameter as every diagnostic format states it: where it sits, how long it
// is and what constant it carries; texts of type names differ between formats and are left out.
Json ParamLayout(const Json& param, int depth) {
    Json layout = {{"name", param.value("name", "")},
                   {"bytePosition", param.value("bytePosition", Json())},
                   {"bitPosition", param.value("bitPosition", Json())},
                   {"bitLength", param.value("bitLength", Json())},
                   {"byteOrder", param.value("byteOrder", Json())},
                   {"value", param.value("value", "")}};
    if (depth < 16 && param.contains("subParams")) {
        Json subs = Json::array();
        for (const Json& sub : param["subParams"]) subs.push_back(ParamLayout(sub, depth + 1));
        layout["subParams"] = subs;
    }
    return layout;
}

Json FunctionLayouts(const Json& functions) {
    Json layouts = Json::array();
    for (const Json& function : functions) {
        Json params = Json::array();
        for (const Json& param : function.value("params", Json::array())) {
            params.push_back(ParamLayout(param, 0));
        }
        layouts.push_back({{"name", function.value("name", "")}, {"params", params}});
    }
    return layouts;
}

// The list under a key, by reference (value() would copy it, and the maps below keep pointers
// into it); an empty list when absent.
const Json& ListAt(const Json& object, const char* key) {
    static const Json kEmpty = Json::array();
    return object.contains(key) && object[key].is_array() ? object[key] : kEmpty;
}

class Counter {
  public:
    explicit Counter(uint64_t& count) : count_(count) {}
    void Add(Json& list, Json entry) {
        list.push_back(std::move(entry));
        ++count_;
    }

  private:
    uint64_t& count_;
};

// Services keyed by qualifier (else name); a repeated key gets "#2", "#3", ...
std::map<std::string, const Json*> ServicesByKey(const Json& ecu) {
    std::map<std::string, const Json*> services;
    for (const char* list : {"classes", "groups"}) {
        if (!ecu.contains(list)) continue;
        for (const Json& cls : ecu[list]) {
            for (const Json& service : ListAt(cls, "services")) {
                std::string key = service.value("qual", "");
                if (key.empty()) key = service.value("name", "");
                std::string unique = key;
                for (int n = 2; services.count(unique) != 0; ++n)
                    unique = key + "#" + std::to_string(n);
                services.emplace(unique, &service);
            }
        }
    }
    return services;
}

Json ServiceRef(const std::string& key, const Json& service) {
    return {{"qual", key}, {"name", service.value("name", "")}, {"id", service.value("id", "")}};
}

Json DiffService(const Json& a, const Json& b, Counter& count) {
    Json fields = Json::array();
    for (const char* field : {"id", "name", "sessions", "securityExecLevels"}) {
        const Json left = a.value(field, Json()), right = b.value(field, Json());
        if (left != right) count.Add(fields, {{"field", field}, {"a", left}, {"b", right}});
    }
    for (const char* field : {"requests", "positiveResponses", "negativeResponses"}) {
        const Json left = FunctionLayouts(a.value(field, Json::array()));
        const Json right = FunctionLayouts(b.value(field, Json::array()));
        if (left != right) count.Add(fields, {{"field", field}, {"a", left}, {"b", right}});
    }
    return fields;
}

Json DiffServices(const Json& a, const Json& b, Counter& count) {
    const auto left = ServicesByKey(a), right = ServicesByKey(b);
    Json added = Json::array(), removed = Json::array(), changed = Json::array();
    for (const auto& [key, service] : left) {
        const auto found = right.find(key);
        if (found == right.end()) {
            count.Add(removed, ServiceRef(key, *service));
            continue;
        }
        Json fields = DiffService(*service, *found->second, count);
        if (!fields.empty()) {
            Json change = ServiceRef(key, *found->second);
            change["fields"] = fields;
            changed.push_back(change);
        }
    }
    for (const auto& [key, service] : right) {
        if (left.count(key) == 0) count.Add(added, ServiceRef(key, *service));
    }
    return {{"added", added}, {"removed", removed}, {"changed", changed}};
}

std::map<uint64_t, const Json*> DtcsByCode(const Json& ecu) {
    std::map<uint64_t, const Json*> dtcs;
    for (const Json& dtc : ListAt(ecu, "dtcs")) {
        dtcs.emplace(dtc.value("value", uint64_t{0}), &dtc);
    }
    return dtcs;
}

Json DiffDtcs(const Json& a, const Json& b, Counter& count) {
    const auto left = DtcsByCode(a), right = DtcsByCode(b);
    Json added = Json::array(), removed = Json::array(), changed = Json::array();
    for (const auto& [code, dtc] : left) {
        const auto found = right.find(code);
        if (found == right.end()) {
            count.Add(removed, *dtc);
        } else if (*dtc != *found->second) {
            count.Add(changed, {{"value", code}, {"a", *dtc}, {"b", *found->second}});
        }
    }
    for (const auto& [code, dtc] : right) {
        if (left.count(code) == 0) count.Add(added, *dtc);
    }
    return {{"added", added}, {"removed", removed}, {"changed", changed}};
}

bool AllEmpty(const Json& set) {
    for (const auto& [key, list] : set.items()) {
        if (!list.empty()) return false;
    }
    return true;
}

std::string EcuKey(const Json& ecu) {
    std::string key = ecu.value("shortName", "");
    return key.empty() ? ecu.value("qual", "") : key;
}

}  // namespace

DiagDiff DiffDiagnostics(const Json& a, const Json& b) {
    DiagDiff diff;
    Counter count(diff.differences);
    std::unordered_map<std::string, const Json*> right;
    for (const Json& ecu : b) right.emplace(EcuKey(ecu), &ecu);
    std::unordered_map<std::string, bool> seen;
    Json added = Json::array(), removed = Json::array(), changed = Json::array();
    for (const Json& ecu : a) {
        const std::string key = EcuKey(ecu);
        seen[key] = true;
        const auto found = right.find(key);
        if (found == right.end()) {
            count.Add(removed, key);
            continue;
        }
        Json services = DiffServices(ecu, *found->second, count);
        Json dtcs = DiffDtcs(ecu, *found->second, count);
        if (!AllEmpty(services) || !AllEmpty(dtcs)) {
            changed.push_back({{"name", key}, {"services", services}, {"dtcs", dtcs}});
        }
    }
    for (const Json& ecu : b) {
        if (seen.count(EcuKey(ecu)) == 0) count.Add(added, EcuKey(ecu));
    }
    diff.report = {{"ecus", {{"added", added}, {"removed", removed}, {"changed", changed}}},
                   {"differences", diff.differences}};
    return diff;
}

void PrintDiagDiff(const Json& report, std::ostream& out) {
    const Json& ecus = report["ecus"];
    for (const Json& name : ecus["added"]) out << "+ ECU " << name.get<std::string>() << '\n';
    for (const Json& name : ecus["removed"]) out << "- ECU " << name.get<std::string>() << '\n';
    for (const Json& ecu : ecus["changed"]) {
        out << "ECU " << ecu["name"].get<std::string>() << '\n';
        const Json& services = ecu["services"];
        const auto ref = [](const Json& s) {
            return s["qual"].get<std::string>() + " (" + s["id"].get<std::string>() + ")";
        };
        for (const Json& s : services["added"]) out << "  + service " << ref(s) << '\n';
        for (const Json& s : services["removed"]) out << "  - service " << ref(s) << '\n';
        for (const Json& s : services["changed"]) {
            out << "  service " << ref(s) << '\n';
            for (const Json& field : s["fields"]) {
                out << "    " << field["field"].get<std::string>() << ": " << field["a"].dump()
                    << " -> " << field["b"].dump() << '\n';
            }
        }
        const Json& dtcs = ecu["dtcs"];
        for (const Json& d : dtcs["added"]) out << "  + DTC " << d.dump() << '\n';
        for (const Json& d : dtcs["removed"]) out << "  - DTC " << d.dump() << '\n';
        for (const Json& d : dtcs["changed"]) {
            out << "  DTC " << d["value"].dump() << ": " << d["a"].dump() << " -> " << d["b"].dump()
                << '\n';
        }
    }
    out << report["differences"].dump() << " difference(s)\n";
}

}  // namespace qmtool
