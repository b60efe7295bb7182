// The frame sections: Frames, dynamic_frames, Sporadic_frames and Diagnostic_frames.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <unordered_set>

#include "ldf/ldf_numbers.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kFrameHeaderDelimiters(": \t,{\r\n");
constexpr Delimiters kFrameSignalDelimiters(", ;{\t\r\n");
constexpr Delimiters kDynamicFrameDelimiters(" ,:\t;{}\r");
constexpr Delimiters kSporadicDelimiters(" :;\t,\r\n");
constexpr Delimiters kDiagnosticHeaderDelimiters(": \t,{");
constexpr Delimiters kDiagnosticSignalLineDelimiters(" ,:;{\t\r\n");

bool FramesMalformed(LdfReadContext& ctx) {
    return ctx.Fail({"Malformed frames section. Line("}, kResultFrames);
}

void CheckDuplicateFrameId(LdfReadContext& ctx, uint8_t frameId) {
    const bool seen = !ctx.unconditionalFrameIds.insert(frameId).second;
    if (!seen || !ctx.ProtocolIs("2.0")) return;
    for (uint64_t dynamicId : ctx.model.pendingDynamicFrameIds) {
        if (dynamicId == frameId) return;
    }
    ctx.AddLineMessage(
        {"WARNING. Two frames with same ID, which is not defined as dynamic frame ID. Line("});
}

// The names of the frames a node subscribes to, built the first time a frame name turns out to
// be shared and kept up to date from then on.
std::unordered_set<std::string_view>& SubscribedNamesOf(LdfReadContext& ctx, const LdfNode& node) {
    auto [it, created] = ctx.subscribedFrameNames.try_emplace(&node);
    if (created) {
        for (const LdfUnconditionalFrame* frame : node.subscribedFrames)
            it->second.insert(frame->name);
    }
    return it->second;
}

// Every subscriber of the signal subscribes to the frame, each frame once per node by name.
// While a frame's signals are read only that frame is added to nodes, so the last entry tells
// whether it is there already, as long as no two frames share a name.
void AddFrameToSubscribers(LdfReadContext& ctx, LdfUnconditionalFrame& frame,
                           const LdfStandardSignal& signal) {
    const bool sharedName = ctx.model.unconditionalFrameIndex.IsDuplicated(frame.name);
    for (LdfNode* node : signal.subscribers) {
        auto& frames = node->subscribedFrames;
        if (!frames.empty() && frames.back() == &frame) continue;
        if (sharedName || !ctx.subscribedFrameNames.empty()) {
            if (!SubscribedNamesOf(ctx, *node).insert(frame.name).second) continue;
        }
        frames.push_back(&frame);
    }
}

// Frames mostly list their signals in the order the Signals section defined them. The signal
// after the one found last is tried first: it is in cache, where an index slot seldom is. It is
// the answer only when no other signal has its name, since the index keeps the first of a name.
// After a miss the guess waits until an index look-up finds a signal close to it again, so a
// file in another order pays for one look-up only.
LdfStandardSignal* FindFrameSignal(LdfReadContext& ctx, std::string_view name) {
    constexpr size_t kResyncWindow = 8;
    const auto& signals = ctx.model.standardSignals;
    const NameIndex<LdfStandardSignal>& index = ctx.model.standardSignalIndex;
    size_t& next = ctx.nextFrameSignal;
    if (ctx.frameSignalGuessing && next < signals.size() && signals[next]->name == name &&
        !index.IsDuplicated(name)) {
        return signals[next++].get();
    }
    LdfStandardSignal* found = index.Find(name);
    ctx.frameSignalGuessing = false;
    if (!found) return nullptr;
    const size_t end = std::min(signals.size(), next + kResyncWindow);
    for (size_t i = next; i < end; ++i) {
        if (signals[i].get() != found) continue;
        next = i + 1;
        ctx.frameSignalGuessing = true;
        break;
    }
    return found;
}

bool ReadFrameSignal(LdfReadContext& ctx, LdfUnconditionalFrame& frame, std::string_view line) {
    Split(line, kFrameSignalDelimiters, ctx.tokens);
    uint64_t offset = 0;
    if (ctx.tokens.size() < 2 || !ParseUnsigned(ctx.tokens[1], offset)) return FramesMalformed(ctx);
    LdfStandardSignal* signal = FindFrameSignal(ctx, ctx.tokens[0]);
    if (!signal) {
        ctx.AddLineMessage({"WARNING. Missing signal definition: ", ctx.tokens[0], ". Line("});
        ctx.framesWithMissingSignals.Insert(&frame);
        return true;
    }
    signal->bitOffset = static_cast<uint16_t>(offset);
    signal->frame = &frame;
    frame.signals.push_back(signal);
    AddFrameToSubscribers(ctx, frame, *signal);
    return true;
}

uint8_t LengthFromLastSignal(const LdfUnconditionalFrame& frame) {
    if (frame.signals.empty()) return 0;
    const LdfStandardSignal& last = *frame.signals.back();
    return static_cast<uint8_t>((uint32_t(last.bitOffset) + last.size + 7) / 8);
}

// Whether the file's language is LIN 2.0 or earlier (or a J2602 version, which builds on 2.0):
// a version that reads as a number above 2.0 is later.
bool LanguageUpTo20(const LdfModel& model) {
    const std::string& version = model.languageVersion;
    char* end = nullptr;
    const double number = std::strtod(version.c_str(), &end);
    return version.empty() || end != version.c_str() + version.size() || number <= 2.0;
}

// The length of a frame whose header gives none. The described reader takes it from the frame's
// last signal. Up to LIN 2.0 the length is the identifier's (2 bytes for ids 0-31, 4 for 32-47,
// 8 for 48-63), as ldfparser reads it; read tolerantly, such a frame gets that length, or the
// signals' when they reach beyond it.
uint8_t UnwrittenLength(const LdfReadContext& ctx, const LdfUnconditionalFrame& frame) {
    const uint8_t fromSignals = LengthFromLastSignal(frame);
    if (!ctx.tolerant || frame.frameId > 63 || !LanguageUpTo20(ctx.model)) return fromSignals;
    const uint8_t fromId = frame.frameId < 32 ? 2 : frame.frameId < 48 ? 4 : 8;
    return std::max(fromId, fromSignals);
}

bool HandleFrame(LdfReadContext& ctx, std::string_view statement) {
    Tokens& tokens = ctx.tokens;
    Split(statement, kFrameHeaderDelimiters, tokens);
    uint64_t number = 0;
    if (tokens.size() < 3 || !ParseUnsigned(tokens[1], number)) return FramesMalformed(ctx);
    ctx.model.frameIndex.Prefetch(tokens[0]);
    ctx.model.unconditionalFrameIndex.Prefetch(tokens[0]);
    auto owned = std::make_unique<LdfUnconditionalFrame>();
    LdfUnconditionalFrame& frame = *owned;
    frame.name.assign(tokens[0]);
    frame.frameId = static_cast<uint8_t>(number);

    const bool lengthGiven = tokens.size() > 3;
    if (lengthGiven) {
        if (!ParseUnsigned(tokens[3], number)) return FramesMalformed(ctx);
        frame.length = static_cast<uint8_t>(number);
    }
    if (LdfNode* publisher = ctx.model.nodeIndex.Find(tokens[2])) {
        frame.publisher = publisher;
        publisher->publishedFrames.push_back(&frame);
    } else {
        frame.publisherName.assign(tokens[2]);
    }
    CheckDuplicateFrameId(ctx, frame.frameId);
    if (!lengthGiven) {
        ctx.AddLineMessage({"WARNING. Frame ", frame.name, " has not defined length. Line("});
    }
    ctx.model.AddUnconditionalFrame(std::move(owned));
    if (statement.back() != '}') {
        std::string_view line;
        bool complete = true;
        while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
            if (line == "{") continue;
            if (!complete || !ReadFrameSignal(ctx, frame, line)) {
                return complete ? false : FramesMalformed(ctx);
            }
        }
    }
    if (!lengthGiven) frame.length = UnwrittenLength(ctx, frame);
    return true;
}

bool HandleDynamicFrames(LdfReadContext& ctx, std::string_view statement) {
    Split(statement, kDynamicFrameDelimiters, ctx.tokens);
    for (std::string_view token : ctx.tokens) {
        uint64_t frameId = 0;
        if (!ParseUnsigned(token, frameId)) {
            return ctx.Fail({"Malformed dynamic frames section. Line("}, kResultDynamicFrames);
        }
        ctx.model.pendingDynamicFrameIds.push_back(frameId);
    }
    return true;
}

bool HandleSporadicFrame(LdfReadContext& ctx, std::string_view statement) {
    Tokens& tokens = ctx.tokens;
    Split(statement, kSporadicDelimiters, tokens);
    if (tokens.empty()) {
        return ctx.Fail({"Malformed sporadic frames section. Line("}, kResultSporadicFrames);
    }
    auto frame = std::make_unique<LdfSporadicFrame>();
    frame->name.assign(tokens[0]);
    if (ctx.model.sporadicFrameIndex.Find(tokens[0])) {
        ctx.AddLineMessage(
            {"WARNING. Sporadic frame with name ", tokens[0], " already exists. Line("});
    }
    for (size_t i = 1; i < tokens.size(); ++i) {
        if (LdfUnconditionalFrame* associated = ctx.model.unconditionalFrameIndex.Find(tokens[i])) {
            frame->associated.frames.push_back(associated);
        } else {
            ctx.AddLineMessage({"Missing frame definition: ", tokens[i], ". Line("});
        }
    }
    ctx.model.AddSporadicFrame(std::move(frame));
    return true;
}

// Checks the sporadic frames from position first on: those of the section just read.
void CheckSporadicDuplicates(LdfReadContext& ctx, size_t first) {
    if (!ctx.Protocol20Or22()) return;
    std::unordered_set<std::string_view> names;
    const auto& frames = ctx.model.sporadicFrames;
    for (size_t i = first; i < frames.size(); ++i) {
        const auto& sporadic = frames[i];
        names.clear();
        for (const LdfUnconditionalFrame* frame : sporadic->associated.frames) {
            if (names.insert(frame->name).second) continue;
            ctx.AddText({"WARNING. Sporadic frame: ", sporadic->name,
                         " with two applied frames using same name: ", frame->name, ".\r\n"});
        }
    }
}

bool HandleDiagnosticFrame(LdfReadContext& ctx, std::string_view statement) {
    const auto malformed = [&] {
        return ctx.Fail({"Malformed diagnostic frames section. Line("}, kResultDiagnosticFrames);
    };
    Split(statement, kDiagnosticHeaderDelimiters, ctx.tokens);
    uint64_t number = 0;
    if (ctx.tokens.size() < 2 || !ParseUnsigned(ctx.tokens[1], number)) return malformed();
    auto owned = std::make_unique<LdfDiagnosticFrame>();
    owned->name.assign(ctx.tokens[0]);
    owned->frameId = static_cast<uint8_t>(number);
    LdfDiagnosticFrame& frame = *ctx.model.AddDiagnosticFrame(std::move(owned));
    if (statement.back() == '}') return true;
    std::string_view line;
    bool complete = true;
    while (NextBlockLine(ctx, line, complete) == BlockLine::kStatement) {
        if (line == "{") continue;
        Split(line, kDiagnosticSignalLineDelimiters, ctx.tokens);
        if (!complete || ctx.tokens.empty()) return malformed();
        LdfDiagnosticSignal* signal = ctx.model.diagnosticSignalIndex.Find(ctx.tokens[0]);
        if (!signal) {
            ctx.AddLineMessage(
                {"WARNING. Missing diagnostic signal definition: ", ctx.tokens[0], ". Line("});
            continue;
        }
        signal->frame = &frame;
        frame.signals.push_back(signal);
    }
    return true;
}

}  // namespace

bool ParseFramesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"Frames", "Check frames section. Line(",
                                         "Malformed frames section. Line(", kResultFrames};
    return RunSection(ctx, kTexts,
                      [&](std::string_view statement) { return HandleFrame(ctx, statement); });
}

bool ParseDynamicFramesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"dynamic_frames", "Check dynamic frames section. Line(",
                                         "Malformed dynamic frames section. Line(",
                                         kResultDynamicFrames};
    const std::string_view content = ctx.Line().content;
    // Read tolerantly, the ids may stand on the keyword line itself: "dynamic_frames { 10, 11 }"
    // (the described reader takes such a line for an empty section).
    if (ctx.tolerant && StartsWith(content, kTexts.keyword) && content.back() == '}') {
        const size_t open = content.find('{');
        if (open == std::string_view::npos) return true;
        return HandleDynamicFrames(ctx, content.substr(open));
    }
    return RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleDynamicFrames(ctx, statement);
    });
}

bool ParseSporadicFramesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{"Sporadic_frames", "Check sporadic frames section. Line(",
                                         "Malformed sporadic frames section. Line(",
                                         kResultSporadicFrames};
    const size_t first = ctx.model.sporadicFrames.size();
    const bool ok = RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleSporadicFrame(ctx, statement);
    });
    if (ok) CheckSporadicDuplicates(ctx, first);
    return ok;
}

bool ParseDiagnosticFramesSection(LdfReadContext& ctx) {
    static constexpr SectionTexts kTexts{
        "Diagnostic_frames", "Check diagnostic frames section. Line(",
        "Malformed diagnostic frames section. Line(", kResultDiagnosticFrames};
    return RunSection(ctx, kTexts, [&](std::string_view statement) {
        return HandleDiagnosticFrame(ctx, statement);
    });
}

}  // namespace qm::ldf
