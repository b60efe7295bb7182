#include "encode_command.h"

#include <charconv>
#include <iostream>
#include <optional>
#include <type_traits>

#include "codec/frame_codec.h"
#include "decode_command.h"
#include "decode_output.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

using qm::codec::CodecError;
using qm::codec::FrameCodec;
using qm::codec::SignalCodec;

template <class Number>
std::optional<Number> WholeNumber(const std::string& text, int base = 10) {
    Number value{};
    const char* end = text.data() + text.size();
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<Number>) {
        result = std::from_chars(text.data(), end, value);
    } else {
        result = std::from_chars(text.data(), end, value, base);
    }
    const auto [at, error] = result;
    if (error != std::errc() || at != end || text.empty()) return std::nullopt;
    return value;
}

// A raw value as typed: decimal (negative for signed fields) or hex with 0x.
uint64_t RawFromText(const SignalCodec& signal, const std::string& text) {
    std::optional<uint64_t> raw;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        raw = WholeNumber<uint64_t>(text.substr(2), 16);
    } else if (auto value = WholeNumber<uint64_t>(text)) {
        raw = value;
    } else if (auto negative = WholeNumber<int64_t>(text)) {
        raw = static_cast<uint64_t>(*negative);
    }
    if (!raw) throw CodecError("signal '" + signal.name + "': '" + text + "' is no raw value");
    return signal.CheckedRaw(*raw);
}

// A physical value as typed (integers exactly, then any decimal number), else a value text.
uint64_t RawFromValue(const SignalCodec& signal, const std::string& text,
                      const TextDecoder& decoder) {
    // An ASCII array takes any text as its bytes, digits too.
    if (signal.ReadsAsText()) return signal.RawForText(text);
    if (auto value = WholeNumber<int64_t>(text)) return signal.RawForInteger(*value);
    if (auto value = WholeNumber<uint64_t>(text)) return signal.RawForInteger(*value);
    if (auto value = WholeNumber<double>(text)) return signal.RawForPhysical(*value);
    try {
        return signal.RawForText(decoder.FromUtf8(text));
    } catch (const CodecError& error) {
        std::string known;
        for (const auto& entry : signal.texts) {
            known += (known.empty() ? "" : ", ") + ("'" + entry.text + "'");
        }
        throw CodecError(std::string(error.what()) + "; its range is " + signal.RangeText() +
                         (known.empty() ? "" : " and its value texts are " + known));
    }
}

// A multiplexed signal that is given selects itself: its multiplexer, when not given, takes the
// value that carries it (repeated up a chain of extended multiplexers).
void SelectMultiplexers(const FrameCodec& frame, std::vector<std::optional<uint64_t>>& raws) {
    for (size_t round = 0; round < frame.signals.size(); ++round) {
        bool changed = false;
        for (size_t i = 0; i < frame.signals.size(); ++i) {
            const SignalCodec& signal = frame.signals[i];
            if (!raws[i] || signal.mux != qm::codec::MuxRole::Multiplexed) continue;
            const int selector = signal.extendedMux >= 0 ? signal.extendedMux : frame.SwitchIndex();
            if (selector < 0 || raws[static_cast<size_t>(selector)]) continue;
            raws[static_cast<size_t>(selector)] = signal.muxRanges.empty()
                                                      ? static_cast<uint64_t>(signal.muxValue)
                                                      : signal.muxRanges.front().minimum;
            changed = true;
        }
        if (!changed) return;
    }
}

std::vector<std::optional<uint64_t>> RawsOf(const FrameCodec& frame,
                                            const std::vector<std::string>& assignments, bool raw,
                                            const TextDecoder& decoder) {
    std::vector<std::optional<uint64_t>> raws(frame.signals.size());
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            throw ToolError("'" + assignment + "' is no SIGNAL=VALUE setting");
        }
        const std::string name = assignment.substr(0, equals);
        const std::string value = assignment.substr(equals + 1);
        const int index = frame.IndexOf(decoder.FromUtf8(name));
        if (index < 0) {
            throw ToolError("no signal '" + name + "' in frame '" + decoder.ToUtf8(frame.name) +
                            "'");
        }
        const SignalCodec& signal = frame.signals[static_cast<size_t>(index)];
        raws[static_cast<size_t>(index)] =
            raw ? RawFromText(signal, value) : RawFromValue(signal, value, decoder);
    }
    SelectMultiplexers(frame, raws);
    return raws;
}

std::string HexOf(const std::vector<uint8_t>& payload) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t byte : payload) {
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    return out;
}

}  // namespace

int RunEncode(const std::string& db, const std::string& frameText,
              const std::vector<std::string>& assignments, bool raw, const Options& options) {
    FileFormat& format = FormatFor(db, options);
    const qm::codec::FrameCatalog* frames = format.Frames(db, options);
    if (frames == nullptr) throw ToolError("the " + format.Name() + " format has no frames");
    const TextDecoder decoder = [&] {
        try {
            return TextDecoder::ForFile(db, options.encoding);
        } catch (const UnknownEncoding& e) {
            throw ToolError(e.what());
        }
    }();
    const FrameCodec& frame = FrameOf(format, *frames, db, frameText, decoder, options);
    std::vector<uint8_t> payload;
    try {
        payload = frame.Encode(RawsOf(frame, assignments, raw, decoder), true);
    } catch (const CodecError& error) {
        throw ToolError(decoder.ToUtf8(error.what()));
    }
    if (!options.json) {
        std::cout << HexOf(payload) << '\n';
        return 0;
    }
    // The decode shape of the payload, with the payload itself first.
    std::string decoded;
    DecodeWriter(decoder, true).Append(decoded, frame, payload.data(), payload.size());
    std::cout << "{\"payload\":\"" << HexOf(payload) << "\"," << decoded.substr(1);
    return 0;
}

}  // namespace qmtool
