#include "diag/diag_ecu.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <unordered_map>

#include "diag/diag_tables.h"

namespace {

using ServiceList = std::vector<std::unique_ptr<CUDSService>>;

// "%02X" of the value, left-padded with "0" to at least four characters.
std::string IdentifierText(uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04llX", static_cast<unsigned long long>(value));
    return buffer;
}

CParam* ParamAt(std::vector<std::unique_ptr<CUDSFunction>>& functions, uint32_t index) {
    if (functions.empty()) return nullptr;
    auto& params = functions.front()->params;
    return index < params.size() ? params[index].get() : nullptr;
}

// The lists that the identifier split narrows, taken out of a service before it is copied once
// per identifier: each copy then receives only its own entries instead of copying the whole list
// and erasing the rest, which made the split quadratic in the number of identifiers.
class IdentifierLists {
  public:
    // Takes the value table of every key row's parameter and the conditional parameters of
    // every other row's parameter out of the service (which the copies replace).
    IdentifierLists(CUDSService& service, uint8_t serviceId) {
        for (const qm::diag::IdentifierParam& row : qm::diag::IdentifierParams(serviceId)) {
            CParam* param =
                ParamAt(row.side == 0 ? service.requests : service.positiveResponses, row.index);
            if (param == nullptr || AlreadyTaken(row)) continue;
            Taken& taken = taken_.emplace_back();
            taken.row = row;
            if (row.key) {
                taken.values = std::move(param->valueTable);
                param->valueTable.clear();
                for (size_t i = 0; i < taken.values.size(); ++i)
                    taken.byText[taken.values[i]->text].push_back(i);
            } else {
                taken.conditions = std::move(param->conditionalParams);
                param->conditionalParams.clear();
                for (size_t i = 0; i < taken.conditions.size(); ++i)
                    taken.byText[taken.conditions[i]->name].push_back(i);
            }
        }
    }

    // Gives the copy's parameters the entries (key rows) or the conditional parameters (the
    // other rows) whose text is the identifier's, in their original order.
    void Narrow(CUDSService& copy, std::string_view text) const {
        for (const Taken& taken : taken_) {
            CParam* param = ParamAt(taken.row.side == 0 ? copy.requests : copy.positiveResponses,
                                    taken.row.index);
            const auto found = taken.byText.find(text);
            if (param == nullptr || found == taken.byText.end()) continue;
            for (const size_t i : found->second) {
                if (taken.row.key) {
                    param->valueTable.push_back(std::make_unique<CVTabValue>(*taken.values[i]));
                } else {
                    param->conditionalParams.push_back(
                        std::make_unique<CParam>(*taken.conditions[i]));
                    param->conditionalParams.back()->owner = reinterpret_cast<uint64_t>(param);
                }
            }
        }
    }

  private:
    struct Taken {
        qm::diag::IdentifierParam row{};
        std::vector<std::unique_ptr<CVTabValue>> values;
        std::vector<std::unique_ptr<CParam>> conditions;
        std::unordered_map<std::string_view, std::vector<size_t>> byText;
    };

    // Rows that name the same parameter and list as an earlier row filter it once.
    bool AlreadyTaken(const qm::diag::IdentifierParam& row) const {
        return std::any_of(taken_.begin(), taken_.end(), [&](const auto& taken) {
            return taken.row.side == row.side && taken.row.index == row.index &&
                   (taken.row.key != 0) == (row.key != 0);
        });
    }

    std::vector<Taken> taken_;
};

// A copy of the service that keeps only what belongs to one identifier (value-table entry).
std::unique_ptr<CUDSService> NarrowedCopy(const CUDSService& service, const CVTabValue& entry,
                                          const IdentifierLists& lists) {
    auto copy = std::make_unique<CUDSService>(service);
    copy->name = IdentifierText(entry.rangeStart) + " " + entry.text.str();
    lists.Narrow(*copy, entry.text);
    return copy;
}

// Replaces each identifier service of the group by one service per identifier.
void SplitIdentifierServices(CFunctionalClass& group) {
    ServiceList kept;
    ServiceList collected;
    for (auto& service : group.services) {
        const uint8_t serviceId = service->GetServiceId();
        const auto& rows = qm::diag::IdentifierParams(serviceId);
        CParam* param = rows.empty() ? nullptr : ParamAt(service->requests, rows.front().index);
        if (param == nullptr) {
            kept.push_back(std::move(service));
            continue;
        }
        if (!param->valueTable.empty()) {
            // Replaced by its copies: one for the identifier its description names, else one
            // per entry.
            const CVTabValue* named = nullptr;
            for (const auto& entry : param->valueTable) {
                if (service->desc.find(entry->text) != std::string::npos) {
                    named = entry.get();
                    break;
                }
            }
            std::vector<const CVTabValue*> entries;
            if (named != nullptr) {
                entries.push_back(named);
            } else {
                for (const auto& entry : param->valueTable) entries.push_back(entry.get());
            }
            // The entries stay alive in the lists taken out of the service.
            const IdentifierLists lists(*service, serviceId);
            for (const CVTabValue* entry : entries)
                collected.push_back(NarrowedCopy(*service, *entry, lists));
            continue;
        }
        const uint64_t value = param->GetValue();
        if (value != 0) {
            service->name = IdentifierText(value) + " " + service->name;
            collected.push_back(std::move(service));
        } else {
            kept.push_back(std::move(service));
        }
    }
    std::stable_sort(collected.begin(), collected.end(),
                     [](const std::unique_ptr<CUDSService>& a,
                        const std::unique_ptr<CUDSService>& b) { return a->name < b->name; });
    group.services = std::move(kept);
    for (auto& service : collected) group.services.push_back(std::move(service));
}

}  // namespace

CECU::~CECU() {
    serviceCopies.clear();
}

IFunctionalClass* CECU::GetFunctionalClass(uint64_t index) {
    const auto& classes = VisibleClasses();
    return index < classes.size() ? classes[index].get() : nullptr;
}

void CECU::SetShortName(const char* text) {
    shortName = text ? text : "";
    longName.clear();
}

void CECU::BuildServiceGroups() {
    serviceGroups.clear();
    serviceCopies.clear();
    for (auto& cls : functionalClasses) {
        for (auto& service : cls->services) {
            serviceCopies.push_back(std::make_unique<CUDSService>(*service));
        }
    }
    // Bucket the copies by identifier once, so that grouping stays linear.
    std::vector<std::vector<size_t>> byId(256);
    for (size_t i = 0; i < serviceCopies.size(); ++i) {
        byId[serviceCopies[i]->GetServiceId()].push_back(i);
    }
    for (unsigned id = 0; id < 255; ++id) {
        const char* udsName = qm::diag::UdsServiceName(static_cast<uint8_t>(id));
        if (udsName == nullptr || byId[id].empty()) continue;
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%02X ", id);
        auto group = std::make_unique<CFunctionalClass>();
        group->name = std::string(prefix) + " " + udsName;
        for (size_t i : byId[id]) group->services.push_back(std::move(serviceCopies[i]));
        serviceGroups.push_back(std::move(group));
    }
    auto rest = std::make_unique<CFunctionalClass>();
    rest->name = "Unclassified services";
    for (auto& copy : serviceCopies) {
        if (copy) rest->services.push_back(std::move(copy));
    }
    serviceCopies.clear();
    if (!rest->services.empty()) serviceGroups.push_back(std::move(rest));
    for (auto& group : serviceGroups) SplitIdentifierServices(*group);
}
