#include "diag/diag_ecu.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

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

// A copy of the service that keeps only what belongs to one identifier (value-table entry).
std::unique_ptr<CUDSService> NarrowedCopy(const CUDSService& service, const CVTabValue& entry,
                                          uint8_t serviceId) {
    auto copy = std::make_unique<CUDSService>(service);
    copy->name = IdentifierText(entry.rangeStart) + " " + entry.text;
    for (const qm::diag::IdentifierParam& row : qm::diag::IdentifierParams(serviceId)) {
        CParam* param =
            ParamAt(row.side == 0 ? copy->requests : copy->positiveResponses, row.index);
        if (param == nullptr) continue;
        if (row.key) {
            std::erase_if(param->valueTable, [&](const std::unique_ptr<CVTabValue>& value) {
                return value->text != entry.text;
            });
        } else {
            std::erase_if(param->conditionalParams, [&](const std::unique_ptr<CParam>& cond) {
                return cond->name != entry.text;
            });
        }
    }
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
        const CVTabValue* named = nullptr;
        for (const auto& entry : param->valueTable) {
            if (service->desc.find(entry->text) != std::string::npos) {
                named = entry.get();
                break;
            }
        }
        if (named != nullptr) {
            collected.push_back(NarrowedCopy(*service, *named, serviceId));
        } else {
            for (const auto& entry : param->valueTable) {
                collected.push_back(NarrowedCopy(*service, *entry, serviceId));
            }
        }
        if (!param->valueTable.empty()) continue;  // replaced by its copies
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
