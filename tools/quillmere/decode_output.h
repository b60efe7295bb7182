#pragma once
// Decoded frames as the tool prints them: one JSON object per frame (the "decode --json" shape,
// one line each in a log), a CSV row per frame (one table per frame layout: timestamp, channel,
// one column per signal), or readable text. The texts of a frame codec (names, units, value
// texts) are converted to UTF-8 and escaped once, on the first frame of that codec, so that a
// log costs only numbers per frame. One writer may serve several threads at once.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "codec/frame_codec.h"
#include "codec/log_reader.h"

namespace qmtool {

class TextDecoder;

enum class DecodeStyle : uint8_t { Text, Json, Csv };

class DecodeWriter {
  public:
    DecodeWriter(const TextDecoder& decoder, bool json)
        : DecodeWriter(decoder, json ? DecodeStyle::Json : DecodeStyle::Text) {}
    DecodeWriter(const TextDecoder& decoder, DecodeStyle style);
    ~DecodeWriter();
    DecodeStyle Style() const { return style_; }
    DecodeWriter(const DecodeWriter&) = delete;
    DecodeWriter& operator=(const DecodeWriter&) = delete;

    // Appends the frame (with the log line's timestamp and channel when given) and a line end.
    // Returns false when the payload was too short for some signal (the frame is marked
    // "truncated"; a CSV row leaves the cells of the missing signals empty).
    bool Append(std::string& out, const qm::codec::FrameCodec& frame, const uint8_t* payload,
                size_t size, const qm::codec::LogFrame* line = nullptr) const;

    // Keeps the texts of the catalog's frames in a table by catalog index (lock-free reads);
    // call before the writer is shared between threads.
    void ServeCatalog(const qm::codec::FrameCatalog& frames);

    // Asks the processor to fetch what Append(frame) reads first: called for a batch of
    // frames ahead of their Append, it overlaps the cache misses of a large database.
    // Level 0 fetches the fields a payload of `size` bytes holds and the entry of the frame's
    // texts, level 1 the signals that payload holds and the texts.
    void Prefetch(const qm::codec::FrameCodec& frame, size_t size, int level) const {
        const size_t index = frame.CatalogIndex();
        // A CSV row has no texts (its table's header has them).
        FrameTexts* texts = style_ != DecodeStyle::Csv && index < indexSlots_
                                ? byIndex_[index].load(std::memory_order_acquire)
                                : nullptr;
        if (level == 0) {
            frame.PrefetchFields(size);
            if (texts) __builtin_prefetch(texts);
        } else {
            // A CSV row reads a signal only when its step has no decimal form.
            frame.PrefetchSignals(size, style_ != DecodeStyle::Csv);
            if (texts) {
                __builtin_prefetch(texts->blob.data());
                __builtin_prefetch(texts->signals.data());
            }
        }
    }

    // CSV rows written straight into a caller's buffer (a log's tables take millions of rows:
    // no appends one cell at a time). CsvRowBound is the most bytes WriteCsvRow writes for the
    // frame and line; WriteCsvRow writes the row Append would append and returns its end;
    // complete is Append's result.
    static size_t CsvRowBound(const qm::codec::FrameCodec& frame, const qm::codec::LogFrame* line);
    char* WriteCsvRow(char* at, const qm::codec::FrameCodec& frame, const uint8_t* payload,
                      size_t size, const qm::codec::LogFrame* line, bool& complete) const;

    // JSON Lines written the same way, into a buffer that gives room for a bound (Room(bytes))
    // and takes the end written (SetEnd(end)), such as a piece's TextBuffer: the object and line
    // end Append would append, the frame's texts looked up once. Returns Append's result.
    template <class Buffer>
    bool AppendJsonTo(Buffer& buffer, const qm::codec::FrameCodec& frame, const uint8_t* payload,
                      size_t size, const qm::codec::LogFrame* line) const {
        const FrameTexts& texts = TextsOf(frame);
        bool complete = true;
        char* at = buffer.Room(JsonBound(texts, line));
        buffer.SetEnd(WriteJson(at, texts, frame, payload, size, line, complete));
        return complete;
    }

    // CSV: the header line of a frame's table ("timestamp,channel,signal,...").
    std::string CsvHeader(const qm::codec::FrameCodec& frame) const;
    // The frame's name in UTF-8.
    std::string NameOf(const qm::codec::FrameCodec& frame) const;

  private:
    // A piece of a frame's text blob.
    struct Span {
        uint32_t at = 0;
        uint32_t size = 0;
    };
    struct SignalTexts {
        Span name;  // JSON: "{\"name\":\"...\",\"raw\":"; text: "  name = "; CSV: the cell
        Span unit;  // JSON: ",\"unit\":\"...\""; text: " unit"; empty without a unit
        uint32_t firstText = 0;   // in FrameTexts::values: per value text, rendered
        uint32_t firstRange = 0;  // in FrameTexts::values: per scaled range's text, rendered
        // Whether the signal has value texts and scaled ranges: known here, a value needs the
        // signal's own lists (cold in a large database) only when it has them.
        bool hasTexts = false;
        bool hasRanges = false;
    };
    // Every text of a frame in one blob, so that a frame of a large database costs a few
    // cache misses, not one per signal and text.
    struct FrameTexts {
        std::string blob;
        Span head;  // JSON: "\"id\":..,\"extended\":..,\"name\":\"..\""; text: "name (id N)"
        std::vector<SignalTexts> signals;
        std::vector<Span> values;
        size_t jsonBound = 0;  // JSON: the most bytes of an object, without the line's parts
        std::string_view View(Span span) const { return {blob.data() + span.at, span.size}; }
        Span Keep(std::string_view text) {
            const Span span{static_cast<uint32_t>(blob.size()), static_cast<uint32_t>(text.size())};
            blob += text;
            return span;
        }
    };

    const FrameTexts& TextsOf(const qm::codec::FrameCodec& frame) const;
    std::unique_ptr<FrameTexts> MakeTexts(const qm::codec::FrameCodec& frame) const;
    std::string Quoted(std::string_view text) const;
    void AppendSignal(std::string& out, const qm::codec::SignalCodec& signal,
                      const FrameTexts& frameTexts, const SignalTexts& texts, uint64_t raw) const;
    // The most bytes WriteJson writes for a frame of these texts and the line.
    static size_t JsonBound(const FrameTexts& texts, const qm::codec::LogFrame* line);
    char* WriteJson(char* at, const FrameTexts& texts, const qm::codec::FrameCodec& frame,
                    const uint8_t* payload, size_t size, const qm::codec::LogFrame* line,
                    bool& complete) const;
    char* WriteJsonSignal(char* at, const qm::codec::SignalCodec& signal,
                          const FrameTexts& frameTexts, const SignalTexts& texts,
                          uint64_t raw) const;
    bool AppendJson(std::string& out, const qm::codec::FrameCodec& frame, const uint8_t* payload,
                    size_t size, const qm::codec::LogFrame* line) const;
    bool AppendCsvRow(std::string& out, const qm::codec::FrameCodec& frame, const uint8_t* payload,
                      size_t size, const qm::codec::LogFrame* line) const;

    const TextDecoder& decoder_;
    DecodeStyle style_;
    bool json_;
    // By the frame's catalog index (a writer serves the frames of one catalog), else by
    // address. Entries are made once, under the mutex, and read without it.
    mutable std::mutex mutex_;
    mutable std::unique_ptr<std::atomic<FrameTexts*>[]> byIndex_;
    mutable size_t indexSlots_ = 0;
    mutable std::vector<std::unique_ptr<FrameTexts>> owned_;
    mutable std::unordered_map<const qm::codec::FrameCodec*, FrameTexts*> byAddress_;
};

// Appends text as the inside of a JSON string (UTF-8 in, escapes for quotes, backslashes and
// control characters).
void AppendJsonEscaped(std::string& out, std::string_view text);
// Appends text as a CSV field: as it is, or in double quotes (quotes doubled) when it holds a
// comma, a quote or a line end.
void AppendCsvField(std::string& out, std::string_view text);

// Writes a physical double at `at` (room for kMostNumberBytes) as AppendDouble appends it (the
// shortest text that reads back the same), faster when the value is a decimal of at most
// `decimals` places (10^decimals = roundScale): such values are written from their integer
// digits without the general shortest-form search. Returns its end.
char* WritePhysicalDouble(char* at, double value, double roundScale, int decimals);
// The longest text of a physical value: an integer of 128 bits with its sign.
constexpr size_t kMostNumberBytes = 48;

}  // namespace qmtool
