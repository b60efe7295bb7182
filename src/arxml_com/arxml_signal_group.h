#pragma once
#include <string>

#include "arxml_com/arxml_signal.h"
#include "arxml_com/named_list.h"
#include "quillmere/arxml_com.h"

namespace qm::arxml {

class ArxmlPdu;

// Signals of one PDU that belong together; it lists signals its PDU owns.
class ArxmlSignalGroup : public IArxmlSignalGroup {
  public:
    ArxmlSignalGroup() = default;
    ArxmlSignalGroup(const ArxmlSignalGroup&) = delete;
    ArxmlSignalGroup& operator=(const ArxmlSignalGroup&) = delete;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    IArxmlPdu* GetPdu() override;
    uint64_t GetSignalCount() override { return signals_.Count(); }
    IArxmlSignal* GetSignal(uint64_t index) override { return signals_.At(index); }
    IArxmlSignal* FindSignal(const char* name) override { return signals_.Find(name); }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetPdu(ArxmlPdu* pdu) { pdu_ = pdu; }
    void AddSignal(ArxmlSignal* signal) { signals_.AddUnique(signal); }
    const std::vector<ArxmlSignal*>& Signals() const { return signals_.Items(); }

  private:
    std::string name_;
    NamedList<ArxmlSignal> signals_;
    ArxmlPdu* pdu_ = nullptr;
};

}  // namespace qm::arxml
