#include "diag/diag_service.h"

#include <algorithm>

namespace {

void CopyFunctions(const std::vector<std::unique_ptr<CUDSFunction>>& from,
                   std::vector<std::unique_ptr<CUDSFunction>>& to) {
    to.reserve(from.size());
    for (const auto& function : from) to.push_back(std::make_unique<CUDSFunction>(*function));
}

}  // namespace

CUDSService::CUDSService(const CUDSService& other)
    : IUDSService(),
      name(other.name),
      longName(other.longName),
      desc(other.desc),
      type(other.type),
      odxIdRef(other.odxIdRef),
      qual(other.qual),
      xmlLocation(other.xmlLocation),
      securityExecLevels(other.securityExecLevels),
      serviceId(other.serviceId),
      isMandatory(other.isMandatory),
      isActive(other.isActive),
      sessions(other.sessions) {
    CopyFunctions(other.requests, requests);
    CopyFunctions(other.positiveResponses, positiveResponses);
    CopyFunctions(other.negativeResponses, negativeResponses);
}

uint8_t CUDSService::GetServiceId() {
    if (serviceId != 0) return serviceId;
    if (requests.empty() || requests.front()->params.empty()) return 0;
    serviceId = static_cast<uint8_t>(requests.front()->params.front()->GetValue() & 0xFF);
    return serviceId;
}

uint8_t CUDSService::GetSession(uint64_t index) {
    return index < sessions.size() ? sessions[index] : 255;
}

bool CUDSService::HasSession(uint8_t id) {
    return std::find(sessions.begin(), sessions.end(), id) != sessions.end();
}

IUDSService* CFunctionalClass::GetService(uint64_t index) {
    return index < services.size() ? services[index].get() : nullptr;
}
