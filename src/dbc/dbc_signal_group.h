#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "quillmere/dbc.h"

namespace qm::dbc {

class DbcMessage;
class DbcSignal;

// A named set of signals of one message.
class DbcSignalGroup : public IDbcSignalGroup {
  public:
    DbcSignalGroup(std::string name, DbcMessage* message, uint32_t repetitions)
        : name_(std::move(name)), message_(message), repetitions_(repetitions) {}

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    IDbcMessage* GetMessage() override;
    uint64_t GetSignalCount() override { return signals_.size(); }
    IDbcSignal* GetSignal(uint64_t index) override;
    IDbcSignal* FindSignal(const char* name) override;
    uint32_t GetRepetitions() override { return repetitions_; }

    const std::string& Name() const { return name_; }
    uint32_t Repetitions() const { return repetitions_; }
    std::vector<DbcSignal*>& Signals() { return signals_; }
    const std::vector<DbcSignal*>& Signals() const { return signals_; }

  private:
    std::string name_;
    DbcMessage* message_ = nullptr;
    std::vector<DbcSignal*> signals_;
    uint32_t repetitions_ = 0;
};

}  // namespace qm::dbc
