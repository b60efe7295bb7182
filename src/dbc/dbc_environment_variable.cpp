#include "dbc/dbc_environment_variable.h"

#include "dbc/dbc_enums.h"

namespace qm::dbc {

void DbcEnvironmentVariable::Clear() {
    name_.clear();
    SetType(-1);
    maximum_ = minimum_ = initialValue_ = 0.0;
    unit_.clear();
    id_ = 0;
    SetAccessTypeToken("");
    accessNodes_.clear();
    dataSizeGiven_ = false;
    dataSize_ = 0;
    valueDescriptions_.Clear();
    comment_.clear();
    attributes_.DeleteAll(false);
}

const char* DbcEnvironmentVariable::GetAccessNode(uint64_t index) {
    return index < accessNodes_.size() ? accessNodes_[index].c_str() : nullptr;
}

void DbcEnvironmentVariable::SetType(int32_t type) {
    type_ = type;
    typeText_ = EnvironmentTypeText(type);
}

void DbcEnvironmentVariable::SetAccessTypeToken(std::string token) {
    accessType_ = AccessTypeOfToken(token);
    accessTypeText_ = AccessTypeText(accessType_);
    accessTypeToken_ = std::move(token);
}

}  // namespace qm::dbc
