// The Event_triggered_frames section and the checks that follow it.
#include <memory>
#include <unordered_map>

#include "ldf/ldf_numbers.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kEventFrameDelimiters(" :;\t,\r\n");

// Where an event-triggered frame was defined, for the checks made after the section.
struct EventFrameOrigin {
    const LdfEventTriggeredFrame* frame;
    uint64_t lineNumber;
    std::string rawLine;
};

// The frame id is the first token after the name that is wholly a number from 1 to 59 in
// `base` (0: base detection, as the id is then read).
size_t FindFrameIdToken(const Tokens& tokens, int base) {
    for (size_t i = 1; i < tokens.size(); ++i) {
        uint64_t value = 0;
        size_t used = 0;
        if (ParseUnsigned(tokens[i], value, base, &used) && used == tokens[i].size() &&
            value >= 1 && value <= 59) {
            return i;
        }
    }
    return 0;
}

// The described reader picks the id token as a base-16 number, so a decimal id from 40 up
// ("ETF : 58, ...") is no id and the frame keeps id 0. Read tolerantly, the token is picked as
// it is read (decimal, or base 16 after "0x"); a token that only base 16 reads still counts.
size_t FrameIdToken(const LdfReadContext& ctx, const Tokens& tokens) {
    const size_t asRead = ctx.tolerant ? FindFrameIdToken(tokens, 0) : 0;
    return asRead != 0 ? asRead : FindFrameIdToken(tokens, 16);
}

LdfScheduleTable* CollisionPlaceholder(LdfModel& model, std::string_view name) {
    auto table = std::make_unique<LdfScheduleTable>();
    table->name.assign(name);
    model.collisionPlaceholders.push_back(std::move(table));
    return model.collisionPlaceholders.back().get();
}

// The signals of an associated frame that sit in its first byte are reported for every
// event-triggered frame that lists it; they are looked up once per frame, so that a frame listed
// many times costs only what is reported.
void WarnUnreservedFirstByte(LdfReadContext& ctx, const LdfUnconditionalFrame& frame) {
    auto [it, created] = ctx.firstByteSignals.try_emplace(&frame);
    if (created) {
        for (const LdfStandardSignal* signal : frame.signals) {
            if (signal->bitOffset == 0) it->second.push_back(signal);
        }
    }
    for (const LdfStandardSignal* signal : it->second) {
        if (ctx.LogFull()) return;
        ctx.AddLineMessage(
            {"WARNING. Unconditional frame, which depends on event triggered frame, "
             "has not reserved data in the first byte of signal - it must be "
             "reserved! ",
             frame.name, ": ", signal->name, ". Warning for line("});
    }
}

bool HandleEventFrame(LdfReadContext& ctx, std::string_view statement,
                      std::vector<EventFrameOrigin>& origins) {
    Tokens& tokens = ctx.tokens;
    Split(statement, kEventFrameDelimiters, tokens);
    if (tokens.size() < 2) {
        return ctx.Fail({"Malformed event triggered frames section. Line("},
                        kResultEventTriggeredFrames);
    }
    auto owned = std::make_unique<LdfEventTriggeredFrame>();
    LdfEventTriggeredFrame& frame = *owned;
    frame.name.assign(tokens[0]);
    const size_t idToken = FrameIdToken(ctx, tokens);
    if (idToken != 0) {
        uint64_t frameId = 0;
        ParseUnsigned(tokens[idToken], frameId);
        frame.frameId = static_cast<uint8_t>(frameId);
    }
    if (tokens[1] != frame.name && (idToken == 0 || tokens[1] != tokens[idToken])) {
        frame.collisionTable = CollisionPlaceholder(ctx.model, tokens[1]);
        ctx.unboundCollisionTables.push_back(&frame);
    }
    bool anyKnown = false;
    for (size_t i = 2; i < tokens.size(); ++i) {
        LdfUnconditionalFrame* associated = ctx.model.unconditionalFrameIndex.Find(tokens[i]);
        if (!associated) continue;
        anyKnown = true;
        frame.associated.frames.push_back(associated);
        WarnUnreservedFirstByte(ctx, *associated);
    }
    origins.push_back({&frame, ctx.LineNumber(), std::string(ctx.Line().raw.substr(0, 4096))});
    ctx.model.AddEventTriggeredFrame(std::move(owned));
    if (anyKnown) return true;
    ctx.AddLineMessage({"WARNING. No unconditional frame defined to send by event triggered frame ",
                        frame.name, ". Warning for line("});
    if (ctx.ProtocolIs("1.3") || ctx.ProtocolIs("2.0")) {
        ctx.model.resultCode = kResultEventTriggeredFrames;
        return false;
    }
    return true;
}

void AddOriginWarning(LdfReadContext& ctx, const EventFrameOrigin& origin, std::string_view before,
                      std::string_view after) {
    ctx.AddMessageAt({before, origin.frame->name, after}, origin.lineNumber, origin.rawLine);
}

bool AssociatedLengthsDiffer(const LdfEventTriggeredFrame& frame) {
    const auto& frames = frame.associated.frames;
    for (size_t i = 1; i < frames.size(); ++i) {
        if (frames[i]->length != frames[0]->length) return true;
    }
    return false;
}

void CheckEventFramesAfterSection(LdfReadContext& ctx,
                                  const std::vector<EventFrameOrigin>& origins) {
    if (!ctx.Protocol20Or22()) return;
    // Frames of earlier sections were compared when their section ended; these are compared
    // with them and with each other.
    for (const EventFrameOrigin& origin : origins) {
        const LdfEventTriggeredFrame* frame = origin.frame;
        auto [it, inserted] = ctx.eventFrameIds.emplace(frame->name, frame->frameId);
        if (!inserted && it->second != frame->frameId) {
            ctx.AddText(
                {"WARNING. At least two of event triggered frames have the same name but "
                 "different IDs: ",
                 frame->name, ".\r\n"});
        }
        if (ctx.model.unconditionalFrameIndex.Find(frame->name)) {
            ctx.AddText(
                {"WARNING. An event triggered frame has same name as an unconditional "
                 "frame: ",
                 frame->name, ".\r\n"});
        }
    }
    for (const EventFrameOrigin& origin : origins) {
        if (AssociatedLengthsDiffer(*origin.frame)) {
            AddOriginWarning(ctx, origin, "WARNING. An event triggered frame ",
                             " uses two frames with different size. Warning for line(");
        }
        if (ctx.ProtocolIs("2.2") && !origin.frame->collisionTable) {
            AddOriginWarning(ctx, origin, "WARNING. An event triggered frame ",
                             " do not refers to any schedule table. Warning for line(");
        }
    }
}

}  // namespace

bool ParseEventTriggeredFramesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{
        "Event_triggered_frames", "Check event triggered frames section. Line(",
        "Malformed event triggered frames section. Line(", kResultEventTriggeredFrames};
    std::vector<EventFrameOrigin> origins;
    const bool ok = RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleEventFrame(ctx, statement, origins);
    });
    if (ok) CheckEventFramesAfterSection(ctx, origins);
    return ok;
}

}  // namespace qm::ldf
