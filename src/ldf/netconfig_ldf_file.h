#pragma once
// NetConfigLdfFile: one LIN description file, its whole model and the operations that load,
// describe, edit and save it.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ldf/ldf_collections.h"
#include "ldf/ldf_configuration.h"
#include "ldf/ldf_encoding.h"
#include "ldf/ldf_frame.h"
#include "ldf/ldf_node.h"
#include "ldf/ldf_schedule.h"
#include "ldf/ldf_signal.h"
#include "ldf/ldf_signal_group.h"
#include "netfile/net_file_base.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

// Everything a load fills, apart from the message log and the path the file base keeps.
struct LdfModel {
    uint8_t sectionCode = 0;
    std::string describeText;
    std::string networkName;
    std::vector<std::string> comments;
    std::string protocolVersion;
    std::string languageVersion;
    std::string fileRevision;
    double speed = 0.0;
    std::string channelName;

    std::vector<LdfSignal*> allSignals;
    std::vector<std::unique_ptr<LdfStandardSignal>> standardSignals;
    std::vector<LdfFrame*> allFrames;
    std::vector<std::unique_ptr<LdfUnconditionalFrame>> unconditionalFrames;
    std::vector<std::unique_ptr<LdfSporadicFrame>> sporadicFrames;
    std::vector<std::unique_ptr<LdfEventTriggeredFrame>> eventTriggeredFrames;
    std::vector<std::unique_ptr<LdfDiagnosticFrame>> diagnosticFrames;
    std::vector<std::unique_ptr<LdfDiagnosticSignal>> diagnosticSignals;
    std::vector<std::unique_ptr<LdfNode>> nodes;
    std::vector<LdfSlaveNode*> slaveNodes;
    LdfMasterNode* masterNode = nullptr;
    std::vector<std::unique_ptr<LdfConfiguration>> configurations;
    std::vector<std::unique_ptr<LdfScheduleTable>> scheduleTables;
    std::vector<std::unique_ptr<LdfSignalGroup>> signalGroups;
    std::vector<std::unique_ptr<LdfSignalEncodingType>> encodingTypes;
    std::vector<std::unique_ptr<LdfSignalRepresentation>> representations;
    // Tables named by event-triggered frames that no Schedule_tables section has bound (yet).
    std::vector<std::unique_ptr<LdfScheduleTable>> collisionPlaceholders;

    uint8_t resultCode = 255;
    uint8_t lastLoadResult = 0;
    uint8_t diagnosticAddressesPresent = 0;
    uint8_t diagnosticSignalsPresent = 0;
    uint8_t byteArrayFlag = 0;
    uint8_t bigEndian = 0;

    // Pending references, bound once the whole file is read.
    std::vector<ConfigurableFrame*> pendingConfigurableFrames;
    std::vector<uint64_t> pendingDynamicFrameIds;

    // First-match indexes over the lists above.
    NameIndex<LdfStandardSignal> standardSignalIndex;
    NameIndex<LdfDiagnosticSignal> diagnosticSignalIndex;
    NameIndex<LdfFrame> frameIndex;
    NameIndex<LdfUnconditionalFrame> unconditionalFrameIndex;
    NameIndex<LdfSporadicFrame> sporadicFrameIndex;
    NameIndex<LdfEventTriggeredFrame> eventTriggeredFrameIndex;
    NameIndex<LdfDiagnosticFrame> diagnosticFrameIndex;
    NameIndex<LdfNode> nodeIndex;
    NameIndex<LdfSlaveNode> slaveNodeIndex;
    NameIndex<LdfScheduleTable> scheduleTableIndex;
    NameIndex<LdfSignalEncodingType> encodingTypeIndex;
    std::array<LdfUnconditionalFrame*, 256> unconditionalFrameById{};  // first frame of each id

    void AddStandardSignal(std::unique_ptr<LdfStandardSignal> signal);
    void AddDiagnosticSignal(std::unique_ptr<LdfDiagnosticSignal> signal);
    void AddUnconditionalFrame(std::unique_ptr<LdfUnconditionalFrame> frame);
    void AddSporadicFrame(std::unique_ptr<LdfSporadicFrame> frame);
    void AddEventTriggeredFrame(std::unique_ptr<LdfEventTriggeredFrame> frame);
    LdfDiagnosticFrame* AddDiagnosticFrame(std::unique_ptr<LdfDiagnosticFrame> frame);
    void AddNode(std::unique_ptr<LdfNode> node);
    void RebuildSignalIndexes();
    // The first signal of that name in the all-signals order, standard or diagnostic.
    LdfSignal* FindSignal(std::string_view name) const;
    // True when more than one signal, of either kind, has this name.
    bool IsSignalNameShared(std::string_view name) const;
    void RebuildFrameIndexes();
    uint64_t TaskCount() const;
};

class NetConfigLdfFile : public NetFileBase<INetConfigLdfFile>, public ILdfTolerantReading {
  public:
    using NetFileBase::Load;
    using NetFileBase::Save;

    NetConfigLdfFile() = default;
    ~NetConfigLdfFile() override = default;

    void Clear() override;
    const char* GetInfoText() override;
    bool Load(const wchar_t* path) override;
    bool Save() override;
    bool Save(const wchar_t* path) override;
    const char* GetVersion() override { return "1.42"; }
    int32_t GetFileType() override { return kNetFileLdf; }

    const char* GetName() override { return model_.networkName.c_str(); }
    uint64_t GetCommentCount() override { return model_.comments.size(); }
    const char* GetComment(uint64_t index) override;
    const char* GetProtocolVersion() override { return model_.protocolVersion.c_str(); }
    const char* GetLanguageVersion() override { return model_.languageVersion.c_str(); }
    const char* GetFileRevision() override { return model_.fileRevision.c_str(); }
    double GetSpeed() override { return model_.speed; }
    const char* GetChannelName() override { return model_.channelName.c_str(); }
    uint64_t GetSignalCount() override { return model_.allSignals.size(); }
    uint64_t GetFrameSignalCount() override;
    uint64_t GetUnusedSignalCount() override;
    ILdfSignal* GetSignal(uint64_t index) override;
    ILdfSignal* FindSignal(const char* name) override;
    uint32_t IndexOfSignal(ILdfSignal* signal) override;
    uint64_t GetFrameStandardSignalCount() override;
    uint64_t GetUnusedStandardSignalCount() override;
    uint64_t GetStandardSignalCount() override { return model_.standardSignals.size(); }
    ILdfStandardSignal* GetStandardSignal(uint64_t index) override;
    ILdfStandardSignal* FindStandardSignal(const char* name) override;
    uint32_t IndexOfStandardSignal(ILdfStandardSignal* signal) override;
    uint64_t GetFrameCount() override { return model_.allFrames.size(); }
    ILdfFrame* GetFrame(uint64_t index) override;
    ILdfFrame* FindFrame(const char* name) override;
    uint32_t IndexOfFrame(ILdfFrame* frame) override;
    uint64_t GetUnconditionalFrameCount() override { return model_.unconditionalFrames.size(); }
    ILdfUnconditionalFrame* GetUnconditionalFrame(uint64_t index) override;
    ILdfUnconditionalFrame* FindUnconditionalFrame(const char* name) override;
    ILdfUnconditionalFrame* FindUnconditionalFrameById(int8_t frameId) override;
    uint32_t IndexOfUnconditionalFrame(ILdfUnconditionalFrame* frame) override;
    uint64_t GetSporadicFrameCount() override { return model_.sporadicFrames.size(); }
    ILdfSporadicFrame* GetSporadicFrame(uint64_t index) override;
    ILdfSporadicFrame* FindSporadicFrame(const char* name) override;
    uint32_t IndexOfSporadicFrame(ILdfSporadicFrame* frame) override;
    uint64_t GetEventTriggeredFrameCount() override { return model_.eventTriggeredFrames.size(); }
    ILdfEventTriggeredFrame* GetEventTriggeredFrame(uint64_t index) override;
    ILdfEventTriggeredFrame* FindEventTriggeredFrame(const char* name) override;
    ILdfEventTriggeredFrame* FindEventTriggeredFrameById(int8_t frameId) override;
    uint32_t IndexOfEventTriggeredFrame(ILdfEventTriggeredFrame* frame) override;
    uint64_t GetDiagnosticFrameCount() override { return model_.diagnosticFrames.size(); }
    ILdfDiagnosticFrame* GetDiagnosticFrame(uint64_t index) override;
    ILdfDiagnosticFrame* FindDiagnosticFrame(const char* name) override;
    ILdfDiagnosticFrame* FindDiagnosticFrameById(int8_t frameId) override;
    uint32_t IndexOfDiagnosticFrame(ILdfDiagnosticFrame* frame) override;
    uint64_t GetFrameDiagnosticSignalCount() override;
    uint64_t GetUnusedDiagnosticSignalCount() override;
    uint64_t GetDiagnosticSignalCount() override { return model_.diagnosticSignals.size(); }
    ILdfDiagnosticSignal* GetDiagnosticSignal(uint64_t index) override;
    ILdfDiagnosticSignal* FindDiagnosticSignal(const char* name) override;
    uint32_t IndexOfDiagnosticSignal(ILdfDiagnosticSignal* signal) override;
    uint64_t GetNodeCount() override { return model_.nodes.size(); }
    ILdfNode* GetNode(uint64_t index) override;
    ILdfNode* FindNode(const char* name) override;
    ILdfNode* GetFirstNode() override;
    ILdfNode* GetLastNode() override;
    uint32_t IndexOfNode(ILdfNode* node) override;
    ILdfMasterNode* GetMasterNode() override { return model_.masterNode; }
    uint32_t IndexOfMasterNode() override;
    uint64_t GetSlaveNodeCount() override { return model_.slaveNodes.size(); }
    ILdfSlaveNode* GetSlaveNode(uint64_t index) override;
    ILdfSlaveNode* FindSlaveNode(const char* name) override;
    ILdfSlaveNode* FindSlaveNodeByNad(int8_t configuredNad) override;
    uint32_t IndexOfSlaveNode(ILdfSlaveNode* node) override;
    uint64_t GetConfigurationCount() override { return model_.configurations.size(); }
    ILdfConfiguration* GetConfiguration(uint64_t index) override;
    ILdfConfiguration* FindConfiguration(const char* name) override;
    uint32_t IndexOfConfiguration(ILdfConfiguration* configuration) override;
    uint64_t GetScheduleTableCount() override { return model_.scheduleTables.size(); }
    ILdfScheduleTable* GetScheduleTable(uint64_t index) override;
    ILdfScheduleTable* FindScheduleTable(const char* name) override;
    uint32_t IndexOfScheduleTable(ILdfScheduleTable* table) override;
    uint64_t GetTaskCount() override { return model_.TaskCount(); }
    uint64_t GetSignalGroupCount() override { return model_.signalGroups.size(); }
    ILdfSignalGroup* GetSignalGroup(uint64_t index) override;
    ILdfSignalGroup* FindSignalGroup(const char* name) override;
    uint32_t IndexOfSignalGroup(ILdfSignalGroup* group) override;
    uint64_t GetEncodingTypeCount() override { return model_.encodingTypes.size(); }
    ILdfSignalEncodingType* GetEncodingType(uint64_t index) override;
    ILdfSignalEncodingType* FindEncodingType(const char* name) override;
    uint32_t IndexOfEncodingType(ILdfSignalEncodingType* encoding) override;
    uint64_t GetRepresentationCount() override { return model_.representations.size(); }
    ILdfSignalRepresentation* GetRepresentation(uint64_t index) override;
    uint8_t GetResultCode() override { return model_.resultCode; }
    uint8_t RenameSignal(const char* oldName, const char* newName) override;
    uint8_t SetSignalSize(const char* name, uint8_t bits) override;
    uint8_t SetSignalInitialValues(const char* name, const uint16_t* values,
                                   uint64_t count) override;
    uint8_t SetSignalInitialValue(const char* name, uint16_t value, uint64_t index) override;
    uint8_t SetSignalBitOffset(const char* name, uint16_t bitOffset) override;
    uint8_t RenameFrame(const char* oldName, const char* newName) override;
    uint8_t SetFrameLength(const char* name, uint8_t bytes) override;
    uint8_t SetFrameId(const char* name, uint8_t frameId) override;

    // The model as the reader, writer and converters see it.
    const LdfModel& Model() const { return model_; }
    LdfModel& Model() { return model_; }
    uint8_t GetLastLoadResult() const { return model_.lastLoadResult; }
    // The message log that GetMessages returns.
    std::string& Log() { return messages_; }

    void SetTolerantReading(bool tolerant) override { tolerant_ = tolerant; }
    bool IsTolerantReading() override { return tolerant_; }

  private:
    // Applies change, saves in place and undoes the change when the save fails.
    template <class Apply, class Undo>
    uint8_t EditAndSave(Apply apply, Undo undo);

    // The texts of the file read last; declared before the model, so that it outlives every
    // text that points into it.
    LdfTextArena textArena_;
    LdfModel model_;
    bool tolerant_ = false;
};

}  // namespace qm::ldf

using qm::ldf::NetConfigLdfFile;
