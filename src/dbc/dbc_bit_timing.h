#pragma once
#include <cstdint>

#include "quillmere/dbc.h"

namespace qm::dbc {

// The bus timing of a BS_ line.
class DbcBitTiming : public IDbcBitTiming {
  public:
    DbcBitTiming(uint32_t baudrate, uint32_t btr1, uint32_t btr2)
        : baudrate_(baudrate), btr1_(btr1), btr2_(btr2) {}

    void Clear() override { baudrate_ = btr1_ = btr2_ = 0; }
    uint32_t GetBaudrate() override { return baudrate_; }
    uint32_t GetBtr1() override { return btr1_; }
    uint32_t GetBtr2() override { return btr2_; }

    uint32_t Baudrate() const { return baudrate_; }
    uint32_t Btr1() const { return btr1_; }
    uint32_t Btr2() const { return btr2_; }

  private:
    uint32_t baudrate_ = 0;
    uint32_t btr1_ = 0;
    uint32_t btr2_ = 0;
};

}  // namespace qm::dbc
