#pragma once
// Signal groups: a named size with the standard signals placed in it.
#include <string>
#include <vector>

#include "ldf/ldf_collections.h"
#include "ldf/ldf_text.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

class LdfStandardSignal;

class LdfSignalGroup : public ILdfSignalGroup {
  public:
    void Clear() override;
    const char* GetName() override { return name.c_str(); }
    uint8_t GetSize() override { return size; }
    uint64_t GetSignalCount() override { return signals.size(); }
    ILdfStandardSignal* GetSignal(uint64_t index) override;
    ILdfStandardSignal* FindSignal(const char* name) override;

    LdfText name;
    uint8_t size = 0;
    std::vector<LdfStandardSignal*> signals;
};

}  // namespace qm::ldf
