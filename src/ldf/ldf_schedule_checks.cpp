#include "ldf/ldf_schedule_checks.h"

#include <algorithm>

#include "ldf/ldf_numbers.h"

namespace qm::ldf {

namespace {

constexpr std::string_view kEnd = ".\r\n";

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

using Warnings = std::vector<LdfReadContext::SentFrameWarning>;

void Note(Warnings& warnings, std::initializer_list<std::string_view> pieces, bool withLine) {
    std::string text;
    for (std::string_view piece : pieces) text.append(piece);
    warnings.push_back({std::move(text), withLine});
}

// What an unconditional frame holds: its signals, the signals it names that are not defined and
// its publisher's name.
void NoteSignals(LdfReadContext& ctx, const LdfUnconditionalFrame& frame, Warnings& warnings) {
    for (const LdfStandardSignal* signal : frame.signals) {
        if (signal->size == 0) {
            Note(warnings,
                 {"WARNING. Frame, handled by schedule table, contains signal with "
                  "size lower than 1 bits. Warning for line("},
                 true);
        } else if (!signal->byteArray && signal->size > 16) {
            Note(warnings,
                 {"WARNING. Frame, handled by schedule table, contains signal with size "
                  "bigger than 16 bits: ",
                  signal->name, kEnd},
                 false);
        }
        if (ctx.model.IsSignalNameShared(signal->name)) {
            Note(warnings,
                 {"WARNING. At least two signals have the same name: ", signal->name,
                  ". This signal is used by frame, handled by schedule table: ", frame.name, kEnd},
                 false);
        }
    }
    if (ctx.framesWithMissingSignals.Contains(&frame)) {
        Note(warnings,
             {"WARNING. The frame ", frame.name,
              ", which is handled by schedule table, contains not existing signal. "
              "Warning for line("},
             true);
    }
    if (frame.publisher && ctx.model.slaveNodeIndex.IsDuplicated(frame.publisher->name)) {
        Note(warnings,
             {"WARNING. At least two slave nodes with the same name: ", frame.publisher->name,
              ". Frame published by node with this name is handled by schedule table: ", frame.name,
              kEnd},
             false);
    }
}

void NoteEventFrame(LdfReadContext& ctx, const LdfEventTriggeredFrame& frame, Warnings& warnings) {
    if (ctx.model.unconditionalFrameIndex.Find(frame.name)) {
        Note(warnings,
             {"WARNING. An event triggered frame, handled by schedule table, has the same "
              "name as an unconditional frame: ",
              frame.name, kEnd},
             false);
    }
    if (ctx.model.eventTriggeredFrameIndex.IsDuplicated(frame.name)) {
        std::string names;
        for (const auto& same : ctx.model.eventTriggeredFrames) {
            if (same->name != frame.name) continue;
            if (!names.empty()) names.append(", ");
            names.append(same->name);
        }
        Note(warnings,
             {"WARNING. Event triggered frame, handled by schedule table, has two or more "
              "such frames with the same name. Frames are defined as: ",
              names, kEnd},
             false);
    }
    std::unordered_map<const LdfNode*, const LdfUnconditionalFrame*> byPublisher;
    for (const LdfUnconditionalFrame* associated : frame.associated.frames) {
        if (!associated->publisher || associated->publisher->isMaster) continue;
        auto [first, inserted] = byPublisher.emplace(associated->publisher, associated);
        if (inserted) continue;
        Note(warnings,
             {"WARNING. An event triggered frame handled by schedule table has two "
              "unconditional frames published by same slave node: ",
              first->second->name, ", ", associated->name, kEnd},
             false);
    }
}

// What a frame holds that is worth a warning whenever a table sends it.
void NoteContentWarnings(LdfReadContext& ctx, const LdfFrame& frame, Warnings& warnings) {
    switch (frame.frameKind) {
        case kLdfFrameUnconditional:
            NoteSignals(ctx, static_cast<const LdfUnconditionalFrame&>(frame), warnings);
            break;
        case kLdfFrameEventTriggered:
            NoteEventFrame(ctx, static_cast<const LdfEventTriggeredFrame&>(frame), warnings);
            break;
        case kLdfFrameDiagnostic: {
            const auto& diagnostic = static_cast<const LdfDiagnosticFrame&>(frame);
            if ((diagnostic.name == "MasterReq" || diagnostic.name == "SlaveResp") &&
                diagnostic.signals.empty()) {
                Note(warnings,
                     {"WARNING. Diagnostic frame has not defined diagnostic signals: ",
                      diagnostic.name, kEnd},
                     false);
            }
            break;
        }
        default:
            break;
    }
}

// The warnings about what a frame holds, worked out the first time it is sent. Most frames
// have none: only those with warnings get an entry in the map.
const Warnings& SentFrameWarningsOf(LdfReadContext& ctx, const LdfFrame& frame) {
    static const Warnings kNone;
    if (!ctx.framesWithSentWarningsKnown.Insert(&frame)) {
        const auto it = ctx.sentFrameWarnings.find(&frame);
        return it == ctx.sentFrameWarnings.end() ? kNone : it->second;
    }
    Warnings warnings;
    NoteContentWarnings(ctx, frame, warnings);
    if (warnings.empty()) return kNone;
    return ctx.sentFrameWarnings.emplace(&frame, std::move(warnings)).first->second;
}

// Repeats them for an entry that sends the frame.
void AddSentFrameWarnings(LdfReadContext& ctx, const LdfFrame& frame) {
    for (const LdfReadContext::SentFrameWarning& warning : SentFrameWarningsOf(ctx, frame)) {
        if (ctx.LogFull()) return;
        if (warning.withLine) {
            ctx.AddLineMessage({warning.text});
        } else {
            ctx.AddText({warning.text});
        }
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

void CheckDiagnosticFrame(LdfReadContext& ctx, const LdfDiagnosticFrame& frame) {
    const bool request = frame.name == "MasterReq";
    const bool response = frame.name == "SlaveResp";
    if (!request && !response) return;
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
    // Diagnostic frames count too: MasterReq and SlaveResp that tables created both have id 0.
    const int frameId = FrameIdOf(frame);
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

// Every entry that sends a frame gets the warnings about it; the names and ids of the frames
// sent are compared with those sent before.
void CheckScheduledFrame(LdfReadContext& ctx, const LdfFrame& frame) {
    if (frame.frameKind == kLdfFrameUnconditional) {
        CheckLength(ctx, static_cast<const LdfUnconditionalFrame&>(frame));
    }
    AddSentFrameWarnings(ctx, frame);
    if (frame.frameKind == kLdfFrameDiagnostic) {
        CheckDiagnosticFrame(ctx, static_cast<const LdfDiagnosticFrame&>(frame));
    }
    CheckAgainstSentFrames(ctx, frame);
}

namespace {

// Binds the collision tables named by event-triggered frames; a name that no table has yet is
// reported, and stays for the next schedule tables section to bind.
void BindCollisionTables(LdfReadContext& ctx) {
    std::erase_if(ctx.unboundCollisionTables, [&](LdfEventTriggeredFrame* frame) {
        if (LdfScheduleTable* table =
                ctx.model.scheduleTableIndex.Find(frame->collisionTable->name)) {
            frame->collisionTable = table;
            return true;
        }
        ctx.AddText({"WARNING. An event triggered frame uses not defined resolved schedule table: ",
                     frame->collisionTable->name, kEnd});
        return false;
    });
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
