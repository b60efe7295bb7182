#include "dbc/dbc_attribute_definition.h"

#include "dbc/dbc_enums.h"

namespace qm::dbc {

void DbcAttributeDefinition::Clear() {
    name_.clear();
    SetObjectType(kObjectUndefined);
    SetValueType(kAttributeUndefined);
    values_.clear();
    defaultValue_.clear();
}

bool DbcAttributeDefinition::IsRelation() {
    return IsRelationObjectType(objectType_);
}

const char* DbcAttributeDefinition::GetValue(uint64_t index) {
    return index < values_.size() ? values_[index].c_str() : nullptr;
}

void DbcAttributeDefinition::SetObjectType(int32_t type) {
    objectType_ = type;
    objectTypeText_ = ObjectTypeText(type);
}

void DbcAttributeDefinition::SetValueType(int32_t type) {
    valueType_ = type;
    valueTypeText_ = AttributeValueTypeText(type);
}

}  // namespace qm::dbc
