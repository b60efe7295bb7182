#pragma once
#include <cstdint>
#include <string>

#include "arxml_com/arxml_pdu.h"
#include "arxml_com/named_list.h"
#include "quillmere/arxml_com.h"

namespace qm::arxml {

// A PDU group of an ECU: direction, mode and the PDUs it switches (owned by the file).
class ArxmlPduGroup : public IArxmlPduGroup {
  public:
    ArxmlPduGroup() = default;
    ArxmlPduGroup(const ArxmlPduGroup&) = delete;
    ArxmlPduGroup& operator=(const ArxmlPduGroup&) = delete;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    int32_t GetDirection() override { return direction_; }
    const char* GetDirectionText() override { return directionText_.c_str(); }
    int32_t GetMode() override { return mode_; }
    const char* GetModeText() override { return modeText_.c_str(); }
    uint64_t GetPduCount() override { return pdus_.Count(); }
    IArxmlPdu* GetPdu(uint64_t index) override { return pdus_.At(index); }
    IArxmlPdu* FindPdu(const char* name) override { return pdus_.Find(name); }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetDirection(int32_t direction, std::string text) {
        direction_ = direction;
        directionText_ = std::move(text);
    }
    void SetMode(int32_t mode, std::string text) {
        mode_ = mode;
        modeText_ = std::move(text);
    }
    void AddPdu(ArxmlPdu* pdu, bool once) { pdus_.Add(pdu, once); }
    const std::vector<ArxmlPdu*>& Pdus() const { return pdus_.Items(); }

  private:
    std::string name_;
    int32_t direction_ = kArxmlDirectionOut;
    std::string directionText_;
    int32_t mode_ = kArxmlModeNormal;
    std::string modeText_;
    NamedList<ArxmlPdu> pdus_;
};

}  // namespace qm::arxml
