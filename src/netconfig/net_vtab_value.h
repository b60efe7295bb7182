#pragma once
// One entry of a signal's value table or encoding.
#include <string>

#include "quillmere/netconfig.h"

class NetVTabValue : public INetVTabValue, public INetVTabValueKind {
  public:
    // Kinds of entry.
    static constexpr uint8_t kValueTable = 255;
    static constexpr uint8_t kLogical = 0;
    static constexpr uint8_t kPhysicalRange = 1;
    static constexpr uint8_t kBcd = 2;
    static constexpr uint8_t kAscii = 3;

    NetVTabValue() = default;
    NetVTabValue(uint8_t kind, uint64_t rawMin, uint64_t rawMax, double physicalMin,
                 double physicalMax, std::string text);

    void Clear() override;
    uint64_t GetRawMin() override { return rawMin_; }
    uint64_t GetRawMax() override { return rawMax_; }
    double GetPhysicalMin() override { return physicalMin_; }
    double GetPhysicalMax() override { return physicalMax_; }
    const char* GetText() override { return text_.c_str(); }

    uint8_t Kind() const { return kind_; }
    uint8_t GetKind() override { return kind_; }

  private:
    double physicalMin_ = 0.0;
    double physicalMax_ = 0.0;
    uint64_t rawMin_ = 0;
    uint64_t rawMax_ = 0;
    uint8_t kind_ = kValueTable;
    std::string text_;
};
