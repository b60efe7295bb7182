#pragma once
// Decoded frames as the tool prints them: one JSON object per frame (the "decode --json" shape,
// one line each in a log) or readable text. The texts of a frame codec (names, units, value
// texts) are converted to UTF-8 and escaped once, on the first frame of that codec, so that a
// log costs only numbers per frame. Reusable by any front end that writes decoded frames.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "codec/frame_codec.h"
#include "codec/log_reader.h"

namespace qmtool {

class TextDecoder;

class DecodeWriter {
  public:
    DecodeWriter(const TextDecoder& decoder, bool json) : decoder_(decoder), json_(json) {}

    // Appends the frame (with the log line's timestamp and channel when given) and a line end.
    // Returns false when the payload was too short for some signal (the frame is marked
    // "truncated").
    bool Append(std::string& out, const qm::codec::FrameCodec& frame, const uint8_t* payload,
                size_t size, const qm::codec::LogFrame* line = nullptr);

  private:
    struct SignalTexts {
        std::string name;  // JSON: "{\"name\":\"...\""; text: "  name = "
        std::string unit;  // JSON: ",\"unit\":\"...\""; text: " unit"; empty without a unit
        std::vector<std::string> texts;   // per value text, rendered
        std::vector<std::string> ranges;  // per scaled range with a text (LIN units), rendered
    };
    struct FrameTexts {
        std::string head;  // JSON: "\"id\":..,\"extended\":..,\"name\":\"..\""; text: "name (id N)"
        std::vector<SignalTexts> signals;
    };

    const FrameTexts& TextsOf(const qm::codec::FrameCodec& frame);
    std::string Quoted(std::string_view text) const;
    void AppendSignal(std::string& out, const qm::codec::SignalCodec& signal,
                      const SignalTexts& texts, uint64_t raw, bool first);

    const TextDecoder& decoder_;
    bool json_;
    // By the frame's catalog index (a writer serves the frames of one catalog), else by
    // address.
    std::vector<std::unique_ptr<FrameTexts>> byIndex_;
    std::unordered_map<const qm::codec::FrameCodec*, FrameTexts> cache_;
};

// Appends text as the inside of a JSON string (UTF-8 in, escapes for quotes, backslashes and
// control characters).
void AppendJsonEscaped(std::string& out, std::string_view text);

}  // namespace qmtool
