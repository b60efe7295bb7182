#include "someip/pdu_model.h"

#include <string_view>

namespace qm::someip {

CSignal::CSignal(std::string name) : name_(std::move(name)) {
    SetBusFromName();
}

void CSignal::SetBusFromName() {
    if (name_.find("CAN") != std::string::npos) {
        bus_ = 0;
        busText_ = "can";
    } else if (name_.find("Infotainment") != std::string::npos) {
        bus_ = 1;
        busText_ = "ethernet";
    } else {
        bus_ = kUnset;
        busText_.clear();
    }
}

void CSignal::Clear() {
    systemSignalName.clear();
    dataTypePolicy.clear();
    initValue = 0;
    length = 0;
    baseTypeName.clear();
    lengthKind = kUnset;
    lengthKindText.clear();
    baseTypeEncoding.clear();
    byteOrder = kUnset;
    byteOrderText.clear();
    updateBit = 0;
    updateBitPositions.clear();
    startPosition = 0;
    valueTable.reset();
    name_.clear();
    bus_ = kUnset;
    busText_.clear();
}

int32_t PduKindOf(const std::string& elementName) {
    static constexpr std::string_view kKinds[] = {
        "I-SIGNAL-I-PDU",
        "NM-PDU",
        "N-PDU",
        "MULTIPLEXED-I-PDU",
        "XCP-PDU",
        "CONTAINER-I-PDU",
        "DCM-I-PDU",
        "USER-DEFINED-PDU",
        "USER-DEFINED-I-PDU",
        "GENERAL-PURPOSE-PDU",
        "GENERAL-PURPOSE-I-PDU",
        "J1939-DCM-I-PDU",
        "SECURED-I-PDU",
    };
    for (size_t i = 0; i < std::size(kKinds); ++i) {
        if (kKinds[i] == elementName) return static_cast<int32_t>(i);
    }
    return -1;
}

CPdu::CPdu(std::string name, std::string kindText)
    : name_(std::move(name)), kindText_(std::move(kindText)), kind_(PduKindOf(kindText_)) {}

void CPdu::Clear() {
    length = 0;
    signals.Clear();
    timeOffset = 0;
    timePeriod = 0;
    unusedBitPattern = 0;
    triggering.reset();
    name_.clear();
    kindText_.clear();
    kind_ = -1;
}

void CNode::Clear() {
    pdus.Clear();
    name_.clear();
    direction_ = CSignal::kUnset;
    directionText_.clear();
    mode_ = CSignal::kUnset;
    modeText_.clear();
}

void CNode::SetDirectionFrom(const std::string& text) {
    if (text == "OUT") {
        direction_ = 0;
        directionText_ = "out";
    } else if (text == "IN") {
        direction_ = 1;
        directionText_ = "in";
    }
}

void CNode::SetModeFrom(const std::string& text) {
    if (text == "CAN_Transmit_All") {
        mode_ = 0;
        modeText_ = "canTransmitAll";
    } else if (text == "CAN_Receive_All") {
        mode_ = 1;
        modeText_ = "canReceiveAll";
    }
}

}  // namespace qm::someip
