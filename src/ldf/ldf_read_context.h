#pragma once
// The state one LDF load shares between its section parsers: the model being filled, the line
// source, the message log and the bookkeeping of the checks that span sections.
#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ldf/ldf_line_source.h"
#include "ldf/ldf_tokens.h"
#include "ldf/netconfig_ldf_file.h"

namespace qm::ldf {

// Result codes of the failing sections.
enum LdfResultCode : uint8_t {
    kResultSuccess = 0,
    kResultProtocolVersion = 12,
    kResultLanguageVersion = 13,
    kResultFileRevision = 14,
    kResultSpeed = 15,
    kResultChannelName = 16,
    kResultNodes = 17,
    kResultComposite = 18,
    kResultDiagnosticAddresses = 19,
    kResultSignals = 20,
    kResultDiagnosticSignals = 21,
    kResultDynamicFrames = 22,
    kResultFrames = 23,
    kResultSporadicFrames = 24,
    kResultEventTriggeredFrames = 25,
    kResultDiagnosticFrames = 26,
    kResultNodeAttributes = 27,
    kResultScheduleTables = 28,
    kResultSignalGroups = 29,
    kResultEncodingTypes = 30,
    kResultRepresentations = 31,
    kResultNotOpened = 254,
    kResultNone = 255
};

class LdfReadContext {
  public:
    LdfReadContext(LdfModel& target, std::string& log, std::string_view text,
                   platform::InputFile* input = nullptr)
        : model(target), lines(text, input), messages(log) {
        ReserveLog(text.size());
    }

    const LdfLine& Line() const { return lines.Current(); }
    uint64_t LineNumber() const { return lines.LineNumber(); }

    // pieces, then the line number, ") ", the raw line and ".\r\n".
    void AddLineMessage(std::initializer_list<std::string_view> pieces);
    // The same for a line read earlier: pieces, then lineNumber, ") ", raw and ".\r\n".
    void AddMessageAt(std::initializer_list<std::string_view> pieces, uint64_t lineNumber,
                      std::string_view raw);
    // pieces as they are.
    void AddText(std::initializer_list<std::string_view> pieces);
    // A message that stops the load: AddLineMessage, the result code set, false returned.
    bool Fail(std::initializer_list<std::string_view> pieces, uint8_t code);
    // True once the log takes no more warnings.
    bool LogFull() const { return !HasRoom(); }

    bool ProtocolIs(std::string_view version) const { return model.protocolVersion == version; }
    bool Protocol20Or22() const { return ProtocolIs("2.0") || ProtocolIs("2.2"); }
    bool Protocol13Or22() const { return ProtocolIs("1.3") || ProtocolIs("2.2"); }

    LdfModel& model;
    LdfLineSource lines;
    std::string& messages;
    bool tolerant = false;  // see ILdfTolerantReading
    Tokens tokens;
    Tokens innerTokens;

    // Bookkeeping of checks that look back over what was read before.
    std::unordered_set<uint8_t> unconditionalFrameIds;
    PointerSet framesWithMissingSignals;
    // Per unconditional frame, its signals at bit offset 0: found once, reported for every
    // event-triggered frame that lists the frame.
    std::unordered_map<const LdfFrame*, std::vector<const LdfStandardSignal*>> firstByteSignals;
    std::unordered_map<const LdfNode*, std::unordered_set<std::string_view>> subscribedFrameNames;
    std::unordered_map<std::string_view, uint8_t> eventFrameIds;  // first id of each name
    std::unordered_map<uint32_t, int> diagnosticAddressUsers;
    std::vector<uint32_t> sharedDiagnosticAddresses;  // reached two users in this section
    std::vector<LdfEventTriggeredFrame*> unboundCollisionTables;
    std::vector<const LdfFrame*> framesFirstSentInSection;
    // Where unconditional frames stand in sporadic frames: (sporadic frame, position) pairs.
    std::unordered_map<const LdfFrame*, std::vector<std::pair<size_t, size_t>>> sporadicUsers;
    size_t sporadicFramesIndexed = 0;
    // Where the frames section expects the next signal of a frame in the signal list.
    size_t nextFrameSignal = 0;
    bool frameSignalGuessing = true;

    // A warning about a frame sent by a schedule table: its text, and whether the line number
    // and the line follow it.
    struct SentFrameWarning {
        std::string text;
        bool withLine;
    };
    // Frames sent by schedule tables.
    // The warnings about what a frame holds, worked out when it is first sent and repeated for
    // every entry that sends it.
    std::unordered_map<const LdfFrame*, std::vector<SentFrameWarning>> sentFrameWarnings;
    PointerSet framesWithSentWarningsKnown;
    std::unordered_map<std::string_view, const LdfFrame*> sentFramesByName;
    std::array<const LdfFrame*, 256> sentFramesById{};
    PointerSet sentFrames;
    // Read tolerantly, a response_error or fault_state_signals attribute may name signals that
    // the file defines further down (a Node_attributes section before Signals); its names are
    // bound once the whole file is read (BindDeferredNodeSignals).
    struct DeferredNodeSignals {
        LdfSlaveNode* node;
        bool responseError;  // else fault state signals
        std::vector<std::string> names;
        uint64_t lineNumber;
        std::string rawLine;
    };
    std::vector<DeferredNodeSignals> deferredNodeSignals;
    bool masterRequestSent = false;
    bool slaveResponseSent = false;
    bool diagnosticSizeChecked = false;

  private:
    void ReserveLog(size_t inputSize);
    void AppendRawLine();
    void AppendLine(uint64_t lineNumber, std::string_view raw);
    bool HasRoom() const { return messages.size() < kMessageLimit; }

    // A log beyond this size takes only the messages that stop the load: a hostile input must not
    // make the log grow far beyond the input.
    static constexpr size_t kMessageLimit = size_t(64) << 20;
    static constexpr size_t kRawLineLimit = 4096;
    // Logs of smaller files are left to grow as they need: their copies cost nothing.
    static constexpr size_t kReserveFrom = size_t(1) << 20;
};

}  // namespace qm::ldf
