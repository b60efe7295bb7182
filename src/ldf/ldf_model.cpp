#include "ldf/netconfig_ldf_file.h"

namespace qm::ldf {

void LdfModel::AddStandardSignal(std::unique_ptr<LdfStandardSignal> signal) {
    allSignals.push_back(signal.get());
    standardSignalIndex.Add(signal.get());
    standardSignals.push_back(std::move(signal));
}

void LdfModel::AddDiagnosticSignal(std::unique_ptr<LdfDiagnosticSignal> signal) {
    allSignals.push_back(signal.get());
    diagnosticSignalIndex.Add(signal.get());
    diagnosticSignals.push_back(std::move(signal));
}

void LdfModel::AddUnconditionalFrame(std::unique_ptr<LdfUnconditionalFrame> frame) {
    allFrames.push_back(frame.get());
    frameIndex.Add(frame.get());
    unconditionalFrameIndex.Add(frame.get());
    if (!unconditionalFrameById[frame->frameId])
        unconditionalFrameById[frame->frameId] = frame.get();
    unconditionalFrames.push_back(std::move(frame));
}

void LdfModel::AddSporadicFrame(std::unique_ptr<LdfSporadicFrame> frame) {
    allFrames.push_back(frame.get());
    frameIndex.Add(frame.get());
    sporadicFrameIndex.Add(frame.get());
    sporadicFrames.push_back(std::move(frame));
}

void LdfModel::AddEventTriggeredFrame(std::unique_ptr<LdfEventTriggeredFrame> frame) {
    allFrames.push_back(frame.get());
    frameIndex.Add(frame.get());
    eventTriggeredFrameIndex.Add(frame.get());
    eventTriggeredFrames.push_back(std::move(frame));
}

LdfDiagnosticFrame* LdfModel::AddDiagnosticFrame(std::unique_ptr<LdfDiagnosticFrame> frame) {
    allFrames.push_back(frame.get());
    frameIndex.Add(frame.get());
    diagnosticFrameIndex.Add(frame.get());
    diagnosticFrames.push_back(std::move(frame));
    return diagnosticFrames.back().get();
}

void LdfModel::AddNode(std::unique_ptr<LdfNode> node) {
    nodeIndex.Add(node.get());
    if (node->isMaster) {
        masterNode = static_cast<LdfMasterNode*>(node.get());
    } else {
        auto* slave = static_cast<LdfSlaveNode*>(node.get());
        slaveNodes.push_back(slave);
        slaveNodeIndex.Add(slave);
    }
    nodes.push_back(std::move(node));
}

void LdfModel::RebuildSignalIndexes() {
    standardSignalIndex.Rebuild(standardSignals);
    diagnosticSignalIndex.Rebuild(diagnosticSignals);
}

void LdfModel::RebuildFrameIndexes() {
    frameIndex.Rebuild(allFrames);
    unconditionalFrameIndex.Clear();
    unconditionalFrameById.fill(nullptr);
    for (const auto& frame : unconditionalFrames) {
        unconditionalFrameIndex.Add(frame.get());
        if (!unconditionalFrameById[frame->frameId])
            unconditionalFrameById[frame->frameId] = frame.get();
    }
}

LdfSignal* LdfModel::FindSignal(std::string_view name) const {
    LdfSignal* standard = standardSignalIndex.Find(name);
    LdfSignal* diagnostic = diagnosticSignalIndex.Find(name);
    if (!standard || !diagnostic) return standard ? standard : diagnostic;
    // Both kinds have the name: the one read first wins.
    for (LdfSignal* signal : allSignals) {
        if (signal == standard || signal == diagnostic) return signal;
    }
    return standard;
}

bool LdfModel::IsSignalNameShared(std::string_view name) const {
    if (standardSignalIndex.IsDuplicated(name) || diagnosticSignalIndex.IsDuplicated(name)) {
        return true;
    }
    // The diagnostic signals are few: their index answers most names at once.
    return diagnosticSignalIndex.Find(name) && standardSignalIndex.Find(name);
}

uint64_t LdfModel::TaskCount() const {
    uint64_t count = 0;
    for (const auto& table : scheduleTables) count += table->tasks.size();
    return count;
}

}  // namespace qm::ldf
