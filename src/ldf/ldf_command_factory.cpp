#include "ldf/ldf_command_factory.h"

#include "ldf/ldf_numbers.h"

namespace qm::ldf {

namespace {

// Reads tokens[index] as a byte.
bool ByteAt(const Tokens& tokens, size_t index, uint8_t& value) {
    uint64_t number = 0;
    if (index >= tokens.size() || !ParseUnsigned(tokens[index], number)) return false;
    value = static_cast<uint8_t>(number);
    return true;
}

// The delay is the number after the first "delay" at or after position from.
bool ReadDelay(const Tokens& tokens, size_t from, uint8_t& delay) {
    for (size_t i = from; i < tokens.size(); ++i) {
        if (tokens[i] == "delay") return ByteAt(tokens, i + 1, delay);
    }
    return false;
}

LdfSlaveNode* SlaveAt(LdfReadContext& ctx, const Tokens& tokens, size_t index) {
    return index < tokens.size() ? ctx.model.slaveNodeIndex.Find(tokens[index]) : nullptr;
}

LdfFrame* FrameAt(LdfReadContext& ctx, const Tokens& tokens, size_t index) {
    return index < tokens.size() ? ctx.model.frameIndex.Find(tokens[index]) : nullptr;
}

LdfFrame* FrameOrDiagnosticPlaceholder(LdfReadContext& ctx, std::string_view name) {
    if (LdfFrame* frame = ctx.model.frameIndex.Find(name)) return frame;
    if (name != "MasterReq" && name != "SlaveResp") return nullptr;
    auto frame = std::make_unique<LdfDiagnosticFrame>();
    frame->name.assign(name);
    // The described reader leaves the id 0; read tolerantly, the frame gets the id LIN gives it.
    if (ctx.tolerant) frame->frameId = name == "MasterReq" ? 0x3C : 0x3D;
    return ctx.model.AddDiagnosticFrame(std::move(frame));
}

std::unique_ptr<ScheduleTableCommand> BuildFrame(LdfReadContext& ctx, const Tokens& tokens) {
    LdfFrame* frame = FrameOrDiagnosticPlaceholder(ctx, tokens[0]);
    if (!frame) return nullptr;
    auto command = std::make_unique<FrameCommand>();
    command->frame = frame;
    return command;
}

void CopyFromSlave(AssignNadCommand& command, const LdfSlaveNode& slave) {
    command.initialNad = slave.initialNad;
    command.newNad = slave.configuredNad;
    if (slave.productId) {
        command.supplierId = slave.productId->supplierId;
        command.functionId = slave.productId->functionId;
    }
}

LdfSlaveNode* SlaveByNad(LdfReadContext& ctx, uint8_t newNad, uint8_t initialNad) {
    for (LdfSlaveNode* slave : ctx.model.slaveNodes) {
        if (slave->configuredNad == newNad) return slave;
    }
    for (LdfSlaveNode* slave : ctx.model.slaveNodes) {
        if (slave->initialNadGiven && slave->initialNad == initialNad) return slave;
    }
    return nullptr;
}

// AssignNAD { node } or the long form AssignNAD { initial NAD, supplier, function, new NAD },
// whose node is the slave with that configured NAD (else that initial NAD).
std::unique_ptr<ScheduleTableCommand> BuildAssignNad(LdfReadContext& ctx, const Tokens& tokens) {
    auto command = std::make_unique<AssignNadCommand>();
    uint64_t number = 0;
    if (tokens.size() >= 7 && ParseUnsigned(tokens[1], number)) {
        uint64_t supplier = 0;
        uint64_t function = 0;
        if (!ByteAt(tokens, 1, command->initialNad) || !ParseUnsigned(tokens[2], supplier) ||
            !ParseUnsigned(tokens[3], function) || !ByteAt(tokens, 4, command->newNad)) {
            return nullptr;
        }
        command->supplierId = static_cast<uint16_t>(supplier);
        command->functionId = static_cast<uint16_t>(function);
        command->node = SlaveByNad(ctx, command->newNad, command->initialNad);
        return command->node ? std::move(command) : nullptr;
    }
    command->node = SlaveAt(ctx, tokens, 1);
    if (!command->node) return nullptr;
    CopyFromSlave(*command, *command->node);
    return command;
}

std::unique_ptr<ScheduleTableCommand> BuildConditionalChangeNad(const Tokens& tokens) {
    auto command = std::make_unique<ConditionalChangeNadCommand>();
    for (size_t i = 0; i < command->bytes.size(); ++i) {
        if (!ByteAt(tokens, i + 1, command->bytes[i])) return nullptr;
    }
    return command;
}

std::unique_ptr<ScheduleTableCommand> BuildDataDump(LdfReadContext& ctx, const Tokens& tokens) {
    auto command = std::make_unique<DataDumpCommand>();
    command->node = SlaveAt(ctx, tokens, 1);
    if (!command->node) return nullptr;
    for (size_t i = 0; i < command->data.size(); ++i) {
        if (!ByteAt(tokens, i + 2, command->data[i])) return nullptr;
    }
    return command;
}

std::unique_ptr<ScheduleTableCommand> BuildSaveConfiguration(LdfReadContext& ctx,
                                                             const Tokens& tokens) {
    auto command = std::make_unique<SaveConfigurationCommand>();
    command->node = SlaveAt(ctx, tokens, 1);
    return command->node ? std::move(command) : nullptr;
}

// Whether count tokens are written from position from on, all of them before the word "delay".
bool WrittenBeforeDelay(const Tokens& tokens, size_t from, size_t count) {
    if (from + count > tokens.size()) return false;
    for (size_t i = from; i < from + count; ++i) {
        if (tokens[i] == "delay") return false;
    }
    return true;
}

// AssignFrameIdRange { node, frame index [, PID, PID, PID, PID] }: the PIDs count only when all
// four are written; an entry with fewer is read as one without them.
std::unique_ptr<ScheduleTableCommand> BuildAssignFrameIdRange(LdfReadContext& ctx,
                                                              const Tokens& tokens) {
    auto command = std::make_unique<AssignFrameIdRangeCommand>();
    command->node = SlaveAt(ctx, tokens, 1);
    if (!command->node || !ByteAt(tokens, 2, command->frameIndex)) return nullptr;
    const bool pidsGiven = WrittenBeforeDelay(tokens, 3, command->pids.size());
    if (pidsGiven) {
        for (size_t i = 0; i < command->pids.size(); ++i) {
            if (!ByteAt(tokens, i + 3, command->pids[i])) return nullptr;
        }
        command->pidsGiven = 1;
    }
    return command;
}

// FreeFormat has no least count of bytes: those written before "delay" are read, the others
// are 0.
std::unique_ptr<ScheduleTableCommand> BuildFreeFormat(const Tokens& tokens) {
    auto command = std::make_unique<FreeFormatCommand>();
    for (size_t i = 0; i < command->data.size(); ++i) {
        if (i + 1 >= tokens.size() || tokens[i + 1] == "delay") break;
        if (!ByteAt(tokens, i + 1, command->data[i])) return nullptr;
    }
    return command;
}

// The slave's LIN_protocol is kept as written; the described reader compares that text as a
// whole, so only an unquoted 1.3 matches. Read tolerantly, the quoted "1.3" matches too.
bool IsLin13Slave(const LdfReadContext& ctx, const LdfSlaveNode& slave) {
    return slave.linProtocol == "1.3" || (ctx.tolerant && slave.linProtocol == "\"1.3\"");
}

void WarnAssignFrameIdToLin13(LdfReadContext& ctx, const LdfSlaveNode& slave) {
    if (!ctx.ProtocolIs("2.2") || !IsLin13Slave(ctx, slave)) return;
    ctx.AddText(
        {"WARNING. AssignFrameId, which is handled in schedule table, applies node from LIN "
         "1.3 protocol. That request cannot be used for such nodes.\r\n"});
}

template <class Command>
std::unique_ptr<ScheduleTableCommand> BuildNodeFrame(LdfReadContext& ctx, const Tokens& tokens) {
    auto command = std::make_unique<Command>();
    command->node = SlaveAt(ctx, tokens, 1);
    command->frame = FrameAt(ctx, tokens, 2);
    if (!command->node || !command->frame) return nullptr;
    return command;
}

// Tokens an entry of each kind needs at least, keyword and delay included.
constexpr size_t kMinimumTokens[] = {3, 5, 10, 10, 5, 6, 1, 6, 6};

std::unique_ptr<ScheduleTableCommand> BuildCommand(LdfReadContext& ctx, uint8_t kind,
                                                   const Tokens& tokens) {
    switch (kind) {
        case kLdfCommandFrame:
            return BuildFrame(ctx, tokens);
        case kLdfCommandAssignNad:
            return BuildAssignNad(ctx, tokens);
        case kLdfCommandConditionalChangeNad:
            return BuildConditionalChangeNad(tokens);
        case kLdfCommandDataDump:
            return BuildDataDump(ctx, tokens);
        case kLdfCommandSaveConfiguration:
            return BuildSaveConfiguration(ctx, tokens);
        case kLdfCommandAssignFrameIdRange:
            return BuildAssignFrameIdRange(ctx, tokens);
        case kLdfCommandFreeFormat:
            return BuildFreeFormat(tokens);
        case kLdfCommandAssignFrameId: {
            auto command = BuildNodeFrame<AssignFrameIdCommand>(ctx, tokens);
            if (command)
                WarnAssignFrameIdToLin13(ctx, *static_cast<AssignFrameIdCommand&>(*command).node);
            return command;
        }
        case kLdfCommandUnassignFrameId:
            return BuildNodeFrame<UnassignFrameIdCommand>(ctx, tokens);
        default:
            return nullptr;
    }
}

}  // namespace

int CommandKindOf(const LdfModel& model, std::string_view first) {
    if (model.frameIndex.Find(first)) return kLdfCommandFrame;
    if (first == "MasterReq" || first == "SlaveResp") return kLdfCommandFrame;
    static constexpr std::pair<std::string_view, uint8_t> kKeywords[] = {
        {"AssignNAD", kLdfCommandAssignNad},
        {"ConditionalChangeNAD", kLdfCommandConditionalChangeNad},
        {"DataDump", kLdfCommandDataDump},
        {"SaveConfiguration", kLdfCommandSaveConfiguration},
        {"AssignFrameIdRange", kLdfCommandAssignFrameIdRange},
        {"FreeFormat", kLdfCommandFreeFormat},
        {"AssignFrameId", kLdfCommandAssignFrameId},
        {"UnassignFrameId", kLdfCommandUnassignFrameId},
    };
    for (const auto& [keyword, kind] : kKeywords) {
        if (first == keyword) return kind;
    }
    return -1;
}

bool BuildScheduleCommand(LdfReadContext& ctx, uint8_t kind, Task& task, const Tokens& tokens) {
    if (kind > kLdfCommandUnassignFrameId || tokens.size() < kMinimumTokens[kind]) return false;
    size_t argumentCount = 0;
    while (argumentCount + 1 < tokens.size() && tokens[argumentCount + 1] != "delay")
        ++argumentCount;
    if (!ReadDelay(tokens, argumentCount + 1, task.delay)) return false;
    task.command = BuildCommand(ctx, kind, tokens);
    return task.command != nullptr;
}

}  // namespace qm::ldf
