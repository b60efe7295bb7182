#include "netconfig/net_vtab_value.h"

NetVTabValue::NetVTabValue(uint8_t kind, uint64_t rawMin, uint64_t rawMax, double physicalMin,
                           double physicalMax, std::string text)
    : physicalMin_(physicalMin),
      physicalMax_(physicalMax),
      rawMin_(rawMin),
      rawMax_(rawMax),
      kind_(kind),
      text_(std::move(text)) {}

void NetVTabValue::Clear() {
    physicalMin_ = 0.0;
    physicalMax_ = 0.0;
    rawMin_ = 0;
    rawMax_ = 0;
    kind_ = kValueTable;
    text_.clear();
}
