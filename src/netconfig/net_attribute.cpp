#include "netconfig/net_attribute.h"

void NetAttribute::Clear() {
    name_.clear();
    value_.clear();
}

NetAttribute* NetAttributeList::Add(std::string name, std::string value) {
    return &items_.emplace_back(std::move(name), std::move(value));
}

NetAttribute* NetAttributeList::At(uint64_t index) {
    return index < items_.size() ? &items_[index] : nullptr;
}

NetAttribute* NetAttributeList::Find(const char* name) {
    if (name == nullptr) return nullptr;
    for (NetAttribute& item : items_) {
        if (item.Name() == name) return &item;
    }
    return nullptr;
}
