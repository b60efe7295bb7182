#include "netconfig/net_attribute.h"

#include "netconfig/net_lookup.h"

void NetAttribute::Clear() {
    name_.clear();
    value_.clear();
}

NetAttribute* NetAttributeList::Add(std::string name, std::string value) {
    items_.push_back(std::make_unique<NetAttribute>(std::move(name), std::move(value)));
    return items_.back().get();
}

NetAttribute* NetAttributeList::At(uint64_t index) const {
    return qm::net::ItemAt(items_, index);
}

NetAttribute* NetAttributeList::Find(const char* name) const {
    return qm::net::FindByName(items_, name);
}
