#include "ldf/ldf_node.h"

#include "ldf/ldf_frame.h"
#include "ldf/ldf_signal.h"

namespace qm::ldf {

void LdfNode::Clear() {
    name.clear();
    diagnosticAddress = kNoAddress;
    publishedFrames.clear();
    subscribedFrames.clear();
    subscribedSignals.clear();
}

ILdfUnconditionalFrame* LdfNode::GetPublishedFrame(uint64_t index) {
    return AtOrNull(publishedFrames, index);
}

ILdfUnconditionalFrame* LdfNode::FindPublishedFrame(const char* wanted) {
    return FindFirstByName(publishedFrames, wanted);
}

ILdfUnconditionalFrame* LdfNode::GetSubscribedFrame(uint64_t index) {
    return AtOrNull(subscribedFrames, index);
}

ILdfUnconditionalFrame* LdfNode::FindSubscribedFrame(const char* wanted) {
    return FindFirstByName(subscribedFrames, wanted);
}

ILdfStandardSignal* LdfNode::GetSubscribedSignal(uint64_t index) {
    return AtOrNull(subscribedSignals, index);
}

ILdfStandardSignal* LdfNode::FindSubscribedSignal(const char* wanted) {
    return FindFirstByName(subscribedSignals, wanted);
}

void LdfMasterNode::Clear() {
    LdfNode::Clear();
    timeBase = 0.0;
    jitter = 0.0;
    bitLength = 0xFFFFFFFFu;
    tolerant = 255;
}

void ConfigurableFrame::Clear() {
    frame = nullptr;
    frameName.clear();
    messageIdGiven = 0;
    messageId = 0;
}

ILdfFrame* ConfigurableFrame::GetFrame() {
    return frame;
}

void LdfSlaveNode::Clear() {
    LdfNode::Clear();
    linProtocol.clear();
    configuredNad = 0;
    initialNadGiven = 0;
    initialNad = 0;
    productId.reset();
    responseErrorSignal = nullptr;
    faultStateSignalsGiven = 0;
    faultStateSignals.clear();
    p2MinGiven = 0;
    p2Min = 50.0;
    stMinGiven = 0;
    stMin = 0.0;
    nAsTimeoutGiven = 0;
    nAsTimeout = 1000.0;
    nCrTimeoutGiven = 0;
    nCrTimeout = 1000.0;
    responseToleranceGiven = 0;
    responseTolerance = 0;
    configurableFrames.clear();
}

ILdfStandardSignal* LdfSlaveNode::GetResponseErrorSignal() {
    return responseErrorSignal;
}

ILdfStandardSignal* LdfSlaveNode::GetFaultStateSignal(uint64_t index) {
    return AtOrNull(faultStateSignals, index);
}

ILdfStandardSignal* LdfSlaveNode::FindFaultStateSignal(const char* wanted) {
    return FindFirstByName(faultStateSignals, wanted);
}

IConfigurableFrame* LdfSlaveNode::GetConfigurableFrame(uint64_t index) {
    return index < configurableFrames.size() ? configurableFrames[index].get() : nullptr;
}

uint16_t LdfSlaveNode::GetConfigurableMessageIdByFrameId(uint8_t frameId) {
    for (const auto& entry : configurableFrames) {
        if (entry->frame && entry->messageIdGiven && FrameIdOf(*entry->frame) == frameId) {
            return entry->messageId;
        }
    }
    return 65535;
}

uint16_t LdfSlaveNode::GetConfigurableMessageIdByFrameName(const char* wanted) {
    if (!wanted) return 65535;
    for (const auto& entry : configurableFrames) {
        if (entry->frame && entry->messageIdGiven && entry->frame->name == wanted) {
            return entry->messageId;
        }
    }
    return 65535;
}

}  // namespace qm::ldf
