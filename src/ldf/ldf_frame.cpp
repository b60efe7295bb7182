#include "ldf/ldf_frame.h"

#include "ldf/ldf_node.h"
#include "ldf/ldf_schedule.h"
#include "ldf/ldf_signal.h"

namespace qm::ldf {

void LdfUnconditionalFrame::Clear() {
    LdfFrame::Clear();
    frameId = 0;
    publisher = nullptr;
    publisherName.clear();
    length = 0;
    dynamic = 0;
    signals.clear();
}

ILdfNode* LdfUnconditionalFrame::GetPublisher() {
    return publisher;
}

ILdfStandardSignal* LdfUnconditionalFrame::GetSignal(uint64_t index) {
    return AtOrNull(signals, index);
}

ILdfStandardSignal* LdfUnconditionalFrame::GetFirstSignal() {
    return signals.empty() ? nullptr : signals.front();
}

ILdfStandardSignal* LdfUnconditionalFrame::GetLastSignal() {
    return signals.empty() ? nullptr : signals.back();
}

ILdfStandardSignal* LdfUnconditionalFrame::FindSignal(const char* wanted) {
    return FindFirstByName(signals, wanted);
}

ILdfUnconditionalFrame* AssociatedFrames::At(uint64_t index) const {
    return AtOrNull(frames, index);
}

ILdfUnconditionalFrame* AssociatedFrames::Find(const char* wanted) const {
    return FindFirstByName(frames, wanted);
}

ILdfUnconditionalFrame* AssociatedFrames::FindById(uint8_t frameId) const {
    for (LdfUnconditionalFrame* frame : frames) {
        if (frame->frameId == frameId) return frame;
    }
    return nullptr;
}

void LdfSporadicFrame::Clear() {
    LdfFrame::Clear();
    associated.frames.clear();
}

void LdfEventTriggeredFrame::Clear() {
    LdfFrame::Clear();
    collisionTable = nullptr;
    frameId = 0;
    associated.frames.clear();
}

ILdfScheduleTable* LdfEventTriggeredFrame::GetCollisionResolvingScheduleTable() {
    return collisionTable;
}

void LdfDiagnosticFrame::Clear() {
    LdfFrame::Clear();
    frameId = 0;
    signals.clear();
}

ILdfDiagnosticSignal* LdfDiagnosticFrame::GetDiagnosticSignal(uint64_t index) {
    return AtOrNull(signals, index);
}

ILdfDiagnosticSignal* LdfDiagnosticFrame::FindDiagnosticSignal(const char* wanted) {
    return FindFirstByName(signals, wanted);
}

uint8_t FrameLengthOf(const LdfFrame& frame) {
    switch (frame.frameKind) {
        case kLdfFrameUnconditional:
            return static_cast<const LdfUnconditionalFrame&>(frame).length;
        case kLdfFrameDiagnostic:
            return 8;
        default:
            return 0;
    }
}

int FrameIdOf(const LdfFrame& frame) {
    switch (frame.frameKind) {
        case kLdfFrameUnconditional:
            return static_cast<const LdfUnconditionalFrame&>(frame).frameId;
        case kLdfFrameEventTriggered:
            return static_cast<const LdfEventTriggeredFrame&>(frame).frameId;
        case kLdfFrameDiagnostic:
            return static_cast<const LdfDiagnosticFrame&>(frame).frameId;
        default:
            return -1;
    }
}

}  // namespace qm::ldf
