#include "arxml_com/arxml_signal.h"

#include "arxml_com/arxml_pdu.h"

namespace qm::arxml {

void ArxmlSignal::Clear() {
    name_.clear();
    description_.clear();
    maximum_ = 0.0;
    minimum_ = 0.0;
    unit_.clear();
    entries_.clear();
    bitLength_ = 0;
    startPosition_ = 0;
    byteOrder_ = '1';
    pdu_ = nullptr;
    baseTypeEncoding_.clear();
    baseTypeSize_ = 0;
    compuCategory_.clear();
    initValue_.reset();
    selector_ = nullptr;
    selectorCode_ = -1;
    isSelector_ = false;
}

IArxmlPdu* ArxmlSignal::GetPdu() {
    return pdu_;
}

const ArxmlCompuEntry* ArxmlSignal::GetCompuEntry(uint64_t index) {
    return index < entries_.size() ? &entries_[index]->view : nullptr;
}

const ArxmlCompuEntry* ArxmlSignal::FindCompuEntry(double rawValue) {
    for (const auto& entry : entries_) {
        if (rawValue >= entry->view.lowerLimit && rawValue <= entry->view.upperLimit) {
            return &entry->view;
        }
    }
    return nullptr;
}

void ArxmlSignal::AddCompuScale(const CompuScale& scale) {
    auto entry = std::make_unique<Entry>();
    entry->scale = scale;
    const CompuScale& kept = entry->scale;
    entry->view = ArxmlCompuEntry{
        kept.lowerLimit,    kept.upperLimit, kept.text.c_str(), kept.description.c_str(),
        kept.label.c_str(), kept.rational,   kept.factor,       kept.offset};
    entries_.push_back(std::move(entry));
}

std::unique_ptr<ArxmlSignal> ArxmlSignal::CopyAt(uint16_t startPosition) const {
    auto copy = std::make_unique<ArxmlSignal>();
    copy->name_ = name_;
    copy->description_ = description_;
    copy->maximum_ = maximum_;
    copy->minimum_ = minimum_;
    copy->unit_ = unit_;
    for (const auto& entry : entries_) copy->AddCompuScale(entry->scale);
    copy->bitLength_ = bitLength_;
    copy->startPosition_ = startPosition;
    copy->byteOrder_ = byteOrder_;
    copy->baseTypeEncoding_ = baseTypeEncoding_;
    copy->baseTypeSize_ = baseTypeSize_;
    copy->compuCategory_ = compuCategory_;
    copy->initValue_ = initValue_;
    // The selector is a signal of this signal's PDU: the carrier links the copies.
    copy->isSelector_ = isSelector_;
    return copy;
}

}  // namespace qm::arxml
