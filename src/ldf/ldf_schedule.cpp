#include "ldf/ldf_schedule.h"

#include "ldf/ldf_frame.h"
#include "ldf/ldf_node.h"

namespace qm::ldf {

ILdfFrame* FrameCommand::GetFrame() {
    return frame;
}

void AssignNadCommand::Clear() {
    *this = AssignNadCommand();
}
ILdfSlaveNode* AssignNadCommand::GetNode() {
    return node;
}

void DataDumpCommand::Clear() {
    node = nullptr;
    data.fill(0);
}
ILdfSlaveNode* DataDumpCommand::GetNode() {
    return node;
}

ILdfSlaveNode* SaveConfigurationCommand::GetNode() {
    return node;
}

void AssignFrameIdRangeCommand::Clear() {
    node = nullptr;
    frameIndex = 0;
    pidsGiven = 0;
    pids.fill(0);
}
ILdfSlaveNode* AssignFrameIdRangeCommand::GetNode() {
    return node;
}

void AssignFrameIdCommand::Clear() {
    node = nullptr;
    frame = nullptr;
}
ILdfSlaveNode* AssignFrameIdCommand::GetNode() {
    return node;
}
ILdfFrame* AssignFrameIdCommand::GetFrame() {
    return frame;
}

void UnassignFrameIdCommand::Clear() {
    node = nullptr;
    frame = nullptr;
}
ILdfSlaveNode* UnassignFrameIdCommand::GetNode() {
    return node;
}
ILdfFrame* UnassignFrameIdCommand::GetFrame() {
    return frame;
}

void Task::Clear() {
    command.reset();
    delay = 0;
}

IScheduleTableCommand* Task::GetCommand() {
    return command.get();
}

void LdfScheduleTable::Clear() {
    name.clear();
    tasks.clear();
}

ITask* LdfScheduleTable::GetTask(uint64_t index) {
    return index < tasks.size() ? tasks[index].get() : nullptr;
}

}  // namespace qm::ldf
