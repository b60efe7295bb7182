#pragma once
// Schedule tables: tables of tasks, each task one command (a frame slot or a node
// configuration request) with the delay until the next slot.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ldf/ldf_text.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

class LdfFrame;
class LdfSlaveNode;

class ScheduleTableCommand : public IScheduleTableCommand {
  public:
    explicit ScheduleTableCommand(uint8_t kind) : commandKind(kind) {}
    void Clear() override {}
    uint8_t GetCommandKind() override { return commandKind; }

    uint8_t commandKind = 0xFF;
};

// Joins ScheduleTableCommand with one kind's interface and forwards the shared operation.
template <class Interface>
class CScheduleTableCommandImpl : public ScheduleTableCommand, public Interface {
  public:
    explicit CScheduleTableCommandImpl(uint8_t kind) : ScheduleTableCommand(kind) {}
    uint8_t GetCommandKind() override { return ScheduleTableCommand::GetCommandKind(); }
};

class FrameCommand : public CScheduleTableCommandImpl<IFrameCommand> {
  public:
    FrameCommand() : CScheduleTableCommandImpl(kLdfCommandFrame) {}
    void Clear() override { frame = nullptr; }
    ILdfFrame* GetFrame() override;

    LdfFrame* frame = nullptr;
};

class AssignNadCommand : public CScheduleTableCommandImpl<IAssignNadCommand> {
  public:
    AssignNadCommand() : CScheduleTableCommandImpl(kLdfCommandAssignNad) {}
    void Clear() override;
    ILdfSlaveNode* GetNode() override;
    uint8_t GetInitialNad() override { return initialNad; }
    uint8_t GetNewNad() override { return newNad; }
    uint16_t GetSupplierId() override { return supplierId; }
    uint16_t GetFunctionId() override { return functionId; }

    LdfSlaveNode* node = nullptr;
    uint8_t initialNad = 0;
    uint8_t newNad = 0;
    uint16_t supplierId = 0;
    uint16_t functionId = 0;
};

class ConditionalChangeNadCommand : public CScheduleTableCommandImpl<IConditionalChangeNadCommand> {
  public:
    ConditionalChangeNadCommand() : CScheduleTableCommandImpl(kLdfCommandConditionalChangeNad) {}
    void Clear() override { bytes.fill(0); }
    uint8_t GetNad() override { return bytes[0]; }
    uint8_t GetId() override { return bytes[1]; }
    uint8_t GetByte() override { return bytes[2]; }
    uint8_t GetMask() override { return bytes[3]; }
    uint8_t GetInv() override { return bytes[4]; }
    uint8_t GetNewNad() override { return bytes[5]; }

    std::array<uint8_t, 6> bytes{};  // NAD, Id, Byte, Mask, Inv, New_NAD
};

class DataDumpCommand : public CScheduleTableCommandImpl<IDataDumpCommand> {
  public:
    DataDumpCommand() : CScheduleTableCommandImpl(kLdfCommandDataDump) {}
    void Clear() override;
    ILdfSlaveNode* GetNode() override;
    uint8_t GetDataByte(uint64_t index) override { return index < data.size() ? data[index] : 0; }

    LdfSlaveNode* node = nullptr;
    std::array<uint8_t, 5> data{};
};

class SaveConfigurationCommand : public CScheduleTableCommandImpl<ISaveConfigurationCommand> {
  public:
    SaveConfigurationCommand() : CScheduleTableCommandImpl(kLdfCommandSaveConfiguration) {}
    void Clear() override { node = nullptr; }
    ILdfSlaveNode* GetNode() override;

    LdfSlaveNode* node = nullptr;
};

class AssignFrameIdRangeCommand : public CScheduleTableCommandImpl<IAssignFrameIdRangeCommand> {
  public:
    AssignFrameIdRangeCommand() : CScheduleTableCommandImpl(kLdfCommandAssignFrameIdRange) {}
    void Clear() override;
    ILdfSlaveNode* GetNode() override;
    uint8_t GetFrameIndex() override { return frameIndex; }
    uint8_t HasPids() override { return pidsGiven; }
    uint8_t GetPid(uint64_t index) override { return index < pids.size() ? pids[index] : 0; }

    LdfSlaveNode* node = nullptr;
    uint8_t frameIndex = 0;
    uint8_t pidsGiven = 0;
    std::array<uint8_t, 4> pids{};
};

class FreeFormatCommand : public CScheduleTableCommandImpl<IFreeFormatCommand> {
  public:
    FreeFormatCommand() : CScheduleTableCommandImpl(kLdfCommandFreeFormat) {}
    void Clear() override { data.fill(0); }
    uint8_t GetDataByte(uint64_t index) override { return index < data.size() ? data[index] : 0; }

    std::array<uint8_t, 8> data{};
};

class AssignFrameIdCommand : public CScheduleTableCommandImpl<IAssignFrameIdCommand> {
  public:
    AssignFrameIdCommand() : CScheduleTableCommandImpl(kLdfCommandAssignFrameId) {}
    void Clear() override;
    ILdfSlaveNode* GetNode() override;
    ILdfFrame* GetFrame() override;

    LdfSlaveNode* node = nullptr;
    LdfFrame* frame = nullptr;
};

class UnassignFrameIdCommand : public CScheduleTableCommandImpl<IUnassignFrameIdCommand> {
  public:
    UnassignFrameIdCommand() : CScheduleTableCommandImpl(kLdfCommandUnassignFrameId) {}
    void Clear() override;
    ILdfSlaveNode* GetNode() override;
    ILdfFrame* GetFrame() override;

    LdfSlaveNode* node = nullptr;
    LdfFrame* frame = nullptr;
};

class Task : public ITask {
  public:
    void Clear() override;
    IScheduleTableCommand* GetCommand() override;
    uint8_t GetDelay() override { return delay; }

    std::unique_ptr<ScheduleTableCommand> command;
    uint8_t delay = 0;
};

class LdfScheduleTable : public ILdfScheduleTable {
  public:
    void Clear() override;
    const char* GetName() override { return name.c_str(); }
    uint64_t GetTaskCount() override { return tasks.size(); }
    ITask* GetTask(uint64_t index) override;

    LdfText name;
    std::vector<std::unique_ptr<Task>> tasks;
};

}  // namespace qm::ldf
