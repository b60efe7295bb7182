#include "ldf/ldf_schedule_checks.h"

#include <algorithm>

#include "ldf/ldf_numbers.h"

namespace qm::ldf {

namespace {

constexpr std::string_view kEnd = ".\r\n";
const std::vector<LdfStandardSignal*> kNoSignals;

std::string Decimal(uint64_t value) {
    std::string text;
    AppendDecimal(text, value);
    return text;
}

void CheckLength(LdfReadContext& ctx, const LdfUnconditionalFrame& frame) {
    if (frame.length == 0) {
        ctx.AddLineMessage(
            {"WARNING. The frame has size of 0: ", frame.name, ". Warning for line("});
    }
    if (frame.length < 1) {
        ctx.AddText(
            {"WARNING. Frame, which is handled by schedule table, has length lower than 1. ",
             frame.name, " with size of ", Decimal(frame.length), ".\n"});
    }
    if (frame.length > 8) {
        ctx.AddText(
            {"WARNING. Frame, which is handled by schedule table, has length bigger than 8. ",
             frame.name, " with size of ", Decimal(frame.length), ".\n"});
    }
}

// The signals are looked at when a frame is first sent: a frame sent by many entries must not
// make the checks run over its signals again and again.
void CheckSignals(LdfReadContext& ctx, const LdfUnconditionalFrame& frame, bool firstSend) {
    for (const LdfStandardSignal* signal : firstSend ? frame.signals : kNoSignals) {
        if (signal->size == 0) {
            ctx.AddLineMessage(
                {"WARNING. Frame, handled by schedule table, contains signal with "
                 "size lower than 1 bits. Warning for line("});
        } else if (!signal->byteArray && signal->size > 16) {
            ctx.AddText(
                {"WARNING. Frame, handled by schedule table, contains signal with size "
                 "bigger than 16 bits: ",
                 signal->name, kEnd});
        }
        if (ctx.model.IsSignalNameShared(signal->name)) {
            ctx.AddText({"WARNING. At least two signals have the same name: ", signal->name,
                         ". This signal is used by frame, handled by schedule table: ", frame.name,
                         kEnd});
        }
    }
    if (ctx.framesWithMissingSignals.Contains(&frame)) {
        ctx.AddLineMessage({"WARNING. The frame ", frame.name,
                            ", which is handled by schedule table, contains not existing signal. "
                            "Warning for line("});
    }
    if (firstSend && frame.publisher) {
        if (ctx.model.slaveNodeIndex.IsDuplicated(frame.publisher->name)) {
            ctx.AddText(
                {"WARNING. At least two slave nodes with the same name: ", frame.publisher->name,
                 ". Frame published by node with this name is handled by schedule table: ",
                 frame.name, kEnd});
        }
    }
}

void CheckEventFrame(LdfReadContext& ctx, const LdfEventTriggeredFrame& frame) {
    if (ctx.model.unconditionalFrameIndex.Find(frame.name)) {
        ctx.AddText(
            {"WARNING. An event triggered frame, handled by schedule table, has the same "
             "name as an unconditional frame: ",
             frame.name, kEnd});
    }
    if (ctx.model.eventTriggeredFrameIndex.IsDuplicated(frame.name)) {
        std::string names;
        for (const auto& same : ctx.model.eventTriggeredFrames) {
            if (same->name != frame.name) continue;
            if (!names.empty()) names.append(", ");
            names.append(same->name);
        }
        ctx.AddText(
            {"WARNING. Event triggered frame, handled by schedule table, has two or more "
             "such frames with the same name. Frames are defined as: ",
             names, kEnd});
    }
    std::unordered_map<const LdfNode*, const LdfUnconditionalFrame*> byPublisher;
    for (const LdfUnconditionalFrame* associated : frame.associated.frames) {
        if (!associated->publisher || associated->publisher->isMaster) continue;
        auto [first, inserted] = byPublisher.emplace(associated->publisher, associated);
        if (inserted) continue;
        ctx.AddText(
            {"WARNING. An event triggered frame handled by schedule table has two "
             "unconditional frames published by same slave node: ",
             first->second->name, ", ", associated->name, kEnd});
    }
}

bool AllDiagnosticSignalsHave8Bits(const LdfModel& model) {
    for (const auto& frame : model.diagnosticFrames) {
        if (!frame->IsMasterRequest() && !frame->IsSlaveResponse()) continue;
        for (const LdfDiagnosticSignal* signal : frame->signals) {
            if (signal->size != 8) return false;
        }
    }
    return true;
}

void CheckDiagnosticFrame(LdfReadContext& ctx, const LdfDiagnosticFrame& frame, bool firstSend) {
    const bool request = frame.name == "MasterReq";
    const bool response = frame.name == "SlaveResp";
    if (!request && !response) return;
    if (firstSend && frame.signals.empty()) {
        ctx.AddText(
            {"WARNING. Diagnostic frame has not defined diagnostic signals: ", frame.name, kEnd});
    }
    ctx.masterRequestSent = ctx.masterRequestSent || request;
    ctx.slaveResponseSent = ctx.slaveResponseSent || response;
    if (ctx.diagnosticSizeChecked || !ctx.masterRequestSent || !ctx.slaveResponseSent) return;
    ctx.diagnosticSizeChecked = true;
    if (AllDiagnosticSignalsHave8Bits(ctx.model)) return;
    ctx.AddLineMessage(
        {"WARNING. Master request and slave response are handled by schedule table "
         "but not all Master request and Slave response signals are defined as 8 "
         "bit.",
         " Warning for line("});
}

// Frames sent by the tables: another frame of the same name or the same id sent before.
void CheckAgainstSentFrames(LdfReadContext& ctx, const LdfFrame& frame) {
    if (!ctx.sentFrames.Insert(&frame)) return;
    ctx.framesFirstSentInSection.push_back(&frame);
    // Look-ups by name give the first frame of a name; only a shared name can mean a second one.
    if (ctx.model.frameIndex.IsDuplicated(frame.name)) {
        auto [byName, newName] = ctx.sentFramesByName.emplace(frame.name, &frame);
        if (!newName && byName->second != &frame) {
            ctx.AddText(
                {"WARNING. At least two frames, which are handled by schedule table, have "
                 "the same name: ",
                 frame.name, kEnd});
        }
    }
    // MasterReq and SlaveResp have their ids by definition (and 0 when a table created them).
    const int frameId = frame.frameKind == kLdfFrameDiagnostic ? -1 : FrameIdOf(frame);
    if (frameId < 0) return;
    const LdfFrame*& first = ctx.sentFramesById[static_cast<size_t>(frameId) & 0xFF];
    if (!first) {
        first = &frame;
    } else if (first != &frame) {
        ctx.AddText(
            {"WARNING. At least two different frames with the same ID, which are handled "
             "by schedule table: ",
             first->name, ", ", frame.name, kEnd});
    }
}

}  // namespace

// The length of a frame is checked for every entry that sends it; its signals and the names it
// shares with other objects for the first entry only.
void CheckScheduledFrame(LdfReadContext& ctx, const LdfFrame& frame) {
    const bool firstSend = !ctx.sentFrames.Contains(&frame);
    switch (frame.frameKind) {
        case kLdfFrameUnconditional: {
            const auto& unconditional = static_cast<const LdfUnconditionalFrame&>(frame);
            CheckLength(ctx, unconditional);
            CheckSignals(ctx, unconditional, firstSend);
            break;
        }
        case kLdfFrameEventTriggered:
            if (firstSend) CheckEventFrame(ctx, static_cast<const LdfEventTriggeredFrame&>(frame));
            break;
        case kLdfFrameDiagnostic:
            CheckDiagnosticFrame(ctx, static_cast<const LdfDiagnosticFrame&>(frame), firstSend);
            break;
        default:
            break;
    }
    CheckAgainstSentFrames(ctx, frame);
}

namespace {

// Binds the collision tables named by event-triggered frames; a name that no table has is
// reported once.
void BindCollisionTables(LdfReadContext& ctx) {
    for (LdfEventTriggeredFrame* frame : ctx.unboundCollisionTables) {
        if (LdfScheduleTable* table =
                ctx.model.scheduleTableIndex.Find(frame->collisionTable->name)) {
            frame->collisionTable = table;
            continue;
        }
        ctx.AddText({"WARNING. An event triggered frame uses not defined resolved schedule table: ",
                     frame->collisionTable->name, kEnd});
    }
    ctx.unboundCollisionTables.clear();
}

// Indexes, by unconditional frame, the places in sporadic frames not indexed before.
void IndexSporadicUsers(LdfReadContext& ctx) {
    const auto& sporadicFrames = ctx.model.sporadicFrames;
    for (; ctx.sporadicFramesIndexed < sporadicFrames.size(); ++ctx.sporadicFramesIndexed) {
        const auto& frames = sporadicFrames[ctx.sporadicFramesIndexed]->associated.frames;
        for (size_t position = 0; position < frames.size(); ++position) {
            ctx.sporadicUsers[frames[position]].push_back({ctx.sporadicFramesIndexed, position});
        }
    }
}

// Unconditional frames that the tables of this section sent first and a sporadic frame uses too,
// in the order of the sporadic frames and their lists.
void CheckSentFramesOfSporadicFrames(LdfReadContext& ctx) {
    if (ctx.framesFirstSentInSection.empty() || ctx.model.sporadicFrames.empty()) return;
    IndexSporadicUsers(ctx);
    std::vector<std::pair<size_t, size_t>> places;
    for (const LdfFrame* frame : ctx.framesFirstSentInSection) {
        auto it = ctx.sporadicUsers.find(frame);
        if (it != ctx.sporadicUsers.end())
            places.insert(places.end(), it->second.begin(), it->second.end());
    }
    std::sort(places.begin(), places.end());
    for (const auto& [sporadicIndex, position] : places) {
        const LdfSporadicFrame& sporadic = *ctx.model.sporadicFrames[sporadicIndex];
        ctx.AddText({"WARNING. Unconditional frame, ", sporadic.associated.frames[position]->name,
                     ", is already handled by schedule table but it is also used in sporadic "
                     "frame: ",
                     sporadic.name, kEnd});
    }
}

}  // namespace

void CheckAfterScheduleTables(LdfReadContext& ctx) {
    BindCollisionTables(ctx);
    CheckSentFramesOfSporadicFrames(ctx);
    ctx.framesFirstSentInSection.clear();
}

}  // namespace qm::ldf
