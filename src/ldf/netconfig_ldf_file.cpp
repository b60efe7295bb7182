#include "ldf/netconfig_ldf_file.h"

#include "ldf/ldf_describe.h"
#include "ldf/ldf_reader.h"
#include "ldf/ldf_writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "xml/text.h"

namespace qm::ldf {

namespace {

std::string NetworkNameFromPath(const std::wstring& path) {
    return platform::Narrow(StripExtension(FileNameOfPath(path)));
}

// The concrete object behind any interface pointer of a family, or null.
template <class Concrete, class Interface>
const Concrete* ConcreteOf(Interface* object) {
    return object ? dynamic_cast<const Concrete*>(object) : nullptr;
}

template <class T, class U>
uint32_t PositionInOwned(const std::vector<std::unique_ptr<T>>& list, const U* item) {
    if (!item) return kNotListed;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].get() == item) return static_cast<uint32_t>(i);
    }
    return kNotListed;
}

template <class T>
T* OwnedAt(const std::vector<std::unique_ptr<T>>& list, uint64_t index) {
    return index < list.size() ? list[index].get() : nullptr;
}

template <class T>
T* FirstWithId(const std::vector<std::unique_ptr<T>>& list, int8_t frameId) {
    for (const auto& frame : list) {
        if (frame->frameId == static_cast<uint8_t>(frameId)) return frame.get();
    }
    return nullptr;
}

}  // namespace

void NetConfigLdfFile::Clear() {
    model_ = LdfModel();
    // Every object that pointed into the arena is gone.
    textArena_.Reset();
    messages_.clear();
    path_.clear();
}

bool NetConfigLdfFile::Load(const wchar_t* path) {
    Clear();
    path_ = path ? path : L"";
    platform::InputFile input;
    uint8_t result = 0;
    const uint32_t start = platform::TickCount();
    const platform::FileStatus status = input.Open(path_);
    if (status.ok) {
        const LdfTextArena::Scope texts(textArena_);
        result = ReadLdfText(model_, messages_, input.Text(), &input, tolerant_);
    } else {
        model_.resultCode = 254;
    }
    BindPendingReferences(model_);
    if (model_.networkName.empty()) model_.networkName = NetworkNameFromPath(path_);
    messages_.append("Measure time: ");
    messages_.append(FormatMilliseconds(start, platform::TickCount()));
    if (model_.resultCode == 255) model_.resultCode = 0;
    model_.lastLoadResult = result;
    return result != 0;
}

bool NetConfigLdfFile::Save() {
    return Save(path_.c_str());
}

bool NetConfigLdfFile::Save(const wchar_t* path) {
    if (!path) return false;
    const std::string text = WriteLdfText(model_);
    return platform::WriteFileAtomic(std::wstring(path), text).ok;
}

const char* NetConfigLdfFile::GetInfoText() {
    if (!model_.unconditionalFrames.empty()) model_.describeText = DescribeLdf(model_);
    return model_.describeText.c_str();
}

const char* NetConfigLdfFile::GetComment(uint64_t index) {
    return index < model_.comments.size() ? model_.comments[index].c_str() : nullptr;
}

uint64_t NetConfigLdfFile::GetFrameSignalCount() {
    return GetFrameStandardSignalCount() + GetFrameDiagnosticSignalCount();
}

uint64_t NetConfigLdfFile::GetUnusedSignalCount() {
    return GetUnusedStandardSignalCount() + GetUnusedDiagnosticSignalCount();
}

ILdfSignal* NetConfigLdfFile::GetSignal(uint64_t index) {
    return AtOrNull(model_.allSignals, index);
}

ILdfSignal* NetConfigLdfFile::FindSignal(const char* name) {
    return name ? model_.FindSignal(name) : nullptr;
}

uint32_t NetConfigLdfFile::IndexOfSignal(ILdfSignal* signal) {
    return PositionOf(model_.allSignals, ConcreteOf<LdfSignal>(signal));
}

uint64_t NetConfigLdfFile::GetFrameStandardSignalCount() {
    uint64_t count = 0;
    for (const auto& signal : model_.standardSignals) count += signal->frame ? 1 : 0;
    return count;
}

uint64_t NetConfigLdfFile::GetUnusedStandardSignalCount() {
    return model_.standardSignals.size() - GetFrameStandardSignalCount();
}

ILdfStandardSignal* NetConfigLdfFile::GetStandardSignal(uint64_t index) {
    return OwnedAt(model_.standardSignals, index);
}

ILdfStandardSignal* NetConfigLdfFile::FindStandardSignal(const char* name) {
    return model_.standardSignalIndex.Find(name);
}

uint32_t NetConfigLdfFile::IndexOfStandardSignal(ILdfStandardSignal* signal) {
    return PositionInOwned(model_.standardSignals, ConcreteOf<LdfStandardSignal>(signal));
}

ILdfFrame* NetConfigLdfFile::GetFrame(uint64_t index) {
    return AtOrNull(model_.allFrames, index);
}

ILdfFrame* NetConfigLdfFile::FindFrame(const char* name) {
    return model_.frameIndex.Find(name);
}

uint32_t NetConfigLdfFile::IndexOfFrame(ILdfFrame* frame) {
    return PositionOf(model_.allFrames, ConcreteOf<LdfFrame>(frame));
}

ILdfUnconditionalFrame* NetConfigLdfFile::GetUnconditionalFrame(uint64_t index) {
    return OwnedAt(model_.unconditionalFrames, index);
}

ILdfUnconditionalFrame* NetConfigLdfFile::FindUnconditionalFrame(const char* name) {
    return model_.unconditionalFrameIndex.Find(name);
}

ILdfUnconditionalFrame* NetConfigLdfFile::FindUnconditionalFrameById(int8_t frameId) {
    return model_.unconditionalFrameById[static_cast<uint8_t>(frameId)];
}

uint32_t NetConfigLdfFile::IndexOfUnconditionalFrame(ILdfUnconditionalFrame* frame) {
    return PositionInOwned(model_.unconditionalFrames, ConcreteOf<LdfUnconditionalFrame>(frame));
}

ILdfSporadicFrame* NetConfigLdfFile::GetSporadicFrame(uint64_t index) {
    return OwnedAt(model_.sporadicFrames, index);
}

ILdfSporadicFrame* NetConfigLdfFile::FindSporadicFrame(const char* name) {
    return model_.sporadicFrameIndex.Find(name);
}

uint32_t NetConfigLdfFile::IndexOfSporadicFrame(ILdfSporadicFrame* frame) {
    return PositionInOwned(model_.sporadicFrames, ConcreteOf<LdfSporadicFrame>(frame));
}

ILdfEventTriggeredFrame* NetConfigLdfFile::GetEventTriggeredFrame(uint64_t index) {
    return OwnedAt(model_.eventTriggeredFrames, index);
}

ILdfEventTriggeredFrame* NetConfigLdfFile::FindEventTriggeredFrame(const char* name) {
    return model_.eventTriggeredFrameIndex.Find(name);
}

ILdfEventTriggeredFrame* NetConfigLdfFile::FindEventTriggeredFrameById(int8_t frameId) {
    return FirstWithId(model_.eventTriggeredFrames, frameId);
}

uint32_t NetConfigLdfFile::IndexOfEventTriggeredFrame(ILdfEventTriggeredFrame* frame) {
    return PositionInOwned(model_.eventTriggeredFrames, ConcreteOf<LdfEventTriggeredFrame>(frame));
}

ILdfDiagnosticFrame* NetConfigLdfFile::GetDiagnosticFrame(uint64_t index) {
    return OwnedAt(model_.diagnosticFrames, index);
}

ILdfDiagnosticFrame* NetConfigLdfFile::FindDiagnosticFrame(const char* name) {
    return model_.diagnosticFrameIndex.Find(name);
}

ILdfDiagnosticFrame* NetConfigLdfFile::FindDiagnosticFrameById(int8_t frameId) {
    return FirstWithId(model_.diagnosticFrames, frameId);
}

uint32_t NetConfigLdfFile::IndexOfDiagnosticFrame(ILdfDiagnosticFrame* frame) {
    return PositionInOwned(model_.diagnosticFrames, ConcreteOf<LdfDiagnosticFrame>(frame));
}

uint64_t NetConfigLdfFile::GetFrameDiagnosticSignalCount() {
    uint64_t count = 0;
    for (const auto& signal : model_.diagnosticSignals) count += signal->frame ? 1 : 0;
    return count;
}

uint64_t NetConfigLdfFile::GetUnusedDiagnosticSignalCount() {
    return model_.diagnosticSignals.size() - GetFrameDiagnosticSignalCount();
}

ILdfDiagnosticSignal* NetConfigLdfFile::GetDiagnosticSignal(uint64_t index) {
    return OwnedAt(model_.diagnosticSignals, index);
}

ILdfDiagnosticSignal* NetConfigLdfFile::FindDiagnosticSignal(const char* name) {
    return model_.diagnosticSignalIndex.Find(name);
}

uint32_t NetConfigLdfFile::IndexOfDiagnosticSignal(ILdfDiagnosticSignal* signal) {
    return PositionInOwned(model_.diagnosticSignals, ConcreteOf<LdfDiagnosticSignal>(signal));
}

ILdfNode* NetConfigLdfFile::GetNode(uint64_t index) {
    return OwnedAt(model_.nodes, index);
}

ILdfNode* NetConfigLdfFile::FindNode(const char* name) {
    return model_.nodeIndex.Find(name);
}

ILdfNode* NetConfigLdfFile::GetFirstNode() {
    return model_.nodes.empty() ? nullptr : model_.nodes.front().get();
}

ILdfNode* NetConfigLdfFile::GetLastNode() {
    return model_.nodes.empty() ? nullptr : model_.nodes.back().get();
}

uint32_t NetConfigLdfFile::IndexOfNode(ILdfNode* node) {
    return PositionInOwned(model_.nodes, ConcreteOf<LdfNode>(node));
}

uint32_t NetConfigLdfFile::IndexOfMasterNode() {
    for (size_t i = 0; i < model_.nodes.size(); ++i) {
        if (model_.nodes[i]->isMaster) return static_cast<uint32_t>(i);
    }
    return kNotListed;
}

ILdfSlaveNode* NetConfigLdfFile::GetSlaveNode(uint64_t index) {
    return AtOrNull(model_.slaveNodes, index);
}

ILdfSlaveNode* NetConfigLdfFile::FindSlaveNode(const char* name) {
    return model_.slaveNodeIndex.Find(name);
}

ILdfSlaveNode* NetConfigLdfFile::FindSlaveNodeByNad(int8_t configuredNad) {
    for (LdfSlaveNode* slave : model_.slaveNodes) {
        if (slave->configuredNad == static_cast<uint8_t>(configuredNad)) return slave;
    }
    return nullptr;
}

uint32_t NetConfigLdfFile::IndexOfSlaveNode(ILdfSlaveNode* node) {
    return PositionOf(model_.slaveNodes, ConcreteOf<LdfSlaveNode>(node));
}

ILdfConfiguration* NetConfigLdfFile::GetConfiguration(uint64_t index) {
    return OwnedAt(model_.configurations, index);
}

ILdfConfiguration* NetConfigLdfFile::FindConfiguration(const char* name) {
    if (!name) return nullptr;
    for (const auto& configuration : model_.configurations) {
        if (configuration->name == name) return configuration.get();
    }
    return nullptr;
}

uint32_t NetConfigLdfFile::IndexOfConfiguration(ILdfConfiguration* configuration) {
    return PositionInOwned(model_.configurations, ConcreteOf<LdfConfiguration>(configuration));
}

ILdfScheduleTable* NetConfigLdfFile::GetScheduleTable(uint64_t index) {
    return OwnedAt(model_.scheduleTables, index);
}

ILdfScheduleTable* NetConfigLdfFile::FindScheduleTable(const char* name) {
    return model_.scheduleTableIndex.Find(name);
}

uint32_t NetConfigLdfFile::IndexOfScheduleTable(ILdfScheduleTable* table) {
    return PositionInOwned(model_.scheduleTables, ConcreteOf<LdfScheduleTable>(table));
}

ILdfSignalGroup* NetConfigLdfFile::GetSignalGroup(uint64_t index) {
    return OwnedAt(model_.signalGroups, index);
}

ILdfSignalGroup* NetConfigLdfFile::FindSignalGroup(const char* name) {
    if (!name) return nullptr;
    for (const auto& group : model_.signalGroups) {
        if (group->name == name) return group.get();
    }
    return nullptr;
}

uint32_t NetConfigLdfFile::IndexOfSignalGroup(ILdfSignalGroup* group) {
    return PositionInOwned(model_.signalGroups, ConcreteOf<LdfSignalGroup>(group));
}

ILdfSignalEncodingType* NetConfigLdfFile::GetEncodingType(uint64_t index) {
    return OwnedAt(model_.encodingTypes, index);
}

ILdfSignalEncodingType* NetConfigLdfFile::FindEncodingType(const char* name) {
    return model_.encodingTypeIndex.Find(name);
}

uint32_t NetConfigLdfFile::IndexOfEncodingType(ILdfSignalEncodingType* encoding) {
    return PositionInOwned(model_.encodingTypes, ConcreteOf<LdfSignalEncodingType>(encoding));
}

ILdfSignalRepresentation* NetConfigLdfFile::GetRepresentation(uint64_t index) {
    return OwnedAt(model_.representations, index);
}

}  // namespace qm::ldf
