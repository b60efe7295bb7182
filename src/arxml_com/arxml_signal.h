#pragma once
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quillmere/arxml_com.h"

namespace qm::arxml {

class ArxmlPdu;

// A compu scale as read; the public entry points into its texts.
struct CompuScale {
    double lowerLimit = -std::numeric_limits<double>::infinity();
    double upperLimit = std::numeric_limits<double>::infinity();
    std::string text;
    std::string description;
    std::string label;
    bool rational = false;
    double factor = 1.0;
    double offset = 0.0;
};

class ArxmlSignal : public IArxmlSignal,
                    public IArxmlSignalEncoding,
                    public IArxmlSignalMultiplexing {
  public:
    ArxmlSignal() = default;
    ArxmlSignal(const ArxmlSignal&) = delete;
    ArxmlSignal& operator=(const ArxmlSignal&) = delete;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    uint16_t GetBitLength() override { return bitLength_; }
    uint16_t GetStartPosition() override { return startPosition_; }
    uint8_t GetByteOrder() override { return byteOrder_; }
    IArxmlPdu* GetPdu() override;
    double GetMaximum() override { return maximum_; }
    double GetMinimum() override { return minimum_; }
    const char* GetUnit() override { return unit_.c_str(); }
    uint64_t GetCompuEntryCount() override { return entries_.size(); }
    const ArxmlCompuEntry* GetCompuEntry(uint64_t index) override;
    const ArxmlCompuEntry* FindCompuEntry(double rawValue) override;
    const char* GetDescription() override { return description_.c_str(); }
    const char* GetBaseTypeEncoding() override { return baseTypeEncoding_.c_str(); }
    uint32_t GetBaseTypeSize() override { return baseTypeSize_; }
    const char* GetCompuCategory() override { return compuCategory_.c_str(); }
    void SetBaseType(std::string encoding, uint32_t size) {
        baseTypeEncoding_ = std::move(encoding);
        baseTypeSize_ = size;
    }
    void SetCompuCategory(std::string category) { compuCategory_ = std::move(category); }
    bool HasInitValue() override { return initValue_.has_value(); }
    double GetInitValue() override { return initValue_.value_or(0.0); }
    void SetInitValue(double value) { initValue_ = value; }
    IArxmlSignal* GetSelector() override { return selector_; }
    int64_t GetSelectorCode() override { return selectorCode_; }
    bool IsSelector() override { return isSelector_; }
    // The selector field of the signal's PDU and the code that chooses the signal (null and -1
    // for a signal that is always sent).
    void SetSelector(ArxmlSignal* selector, int64_t code) {
        selector_ = selector;
        selectorCode_ = selector != nullptr ? code : -1;
    }
    void MarkSelector() { isSelector_ = true; }
    ArxmlSignal* Selector() const { return selector_; }
    int64_t SelectorCode() const { return selectorCode_; }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetDescription(std::string text) { description_ = std::move(text); }
    void SetLimits(double minimum, double maximum) {
        minimum_ = minimum;
        maximum_ = maximum;
    }
    void SetUnit(std::string unit) { unit_ = std::move(unit); }
    const std::string& Unit() const { return unit_; }
    void AddCompuScale(const CompuScale& scale);
    void SetBitLength(uint16_t bits) { bitLength_ = bits; }
    void SetStartPosition(uint16_t position) { startPosition_ = position; }
    // '0' for most significant byte first (big endian), '1' otherwise, as in DBC.
    void SetByteOrder(uint8_t order) { byteOrder_ = order; }
    void SetPdu(ArxmlPdu* pdu) { pdu_ = pdu; }
    // A copy of everything read for this signal, at another start position and of no PDU yet.
    std::unique_ptr<ArxmlSignal> CopyAt(uint16_t startPosition) const;
    ArxmlPdu* Pdu() const { return pdu_; }
    uint16_t StartPosition() const { return startPosition_; }
    uint16_t BitLength() const { return bitLength_; }
    uint8_t ByteOrder() const { return byteOrder_; }

  private:
    // The scale keeps its strings; the entry handed out points into them.
    struct Entry {
        CompuScale scale;
        ArxmlCompuEntry view{};
    };

    std::string name_;
    std::string description_;
    double maximum_ = 0.0;
    double minimum_ = 0.0;
    std::string unit_;
    std::vector<std::unique_ptr<Entry>> entries_;
    uint16_t bitLength_ = 0;
    uint16_t startPosition_ = 0;
    uint8_t byteOrder_ = '1';
    ArxmlPdu* pdu_ = nullptr;
    std::string baseTypeEncoding_;
    uint32_t baseTypeSize_ = 0;
    std::string compuCategory_;
    std::optional<double> initValue_;
    ArxmlSignal* selector_ = nullptr;  // of the same PDU
    int64_t selectorCode_ = -1;
    bool isSelector_ = false;
};

}  // namespace qm::arxml
