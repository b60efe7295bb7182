#include "decode_output.h"

#include "codec/number_text.h"
#include "text_encoding.h"

namespace qmtool {

using qm::codec::FrameCodec;
using qm::codec::SignalCodec;

void AppendJsonEscaped(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            switch (c) {
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 15];
            }
        } else {
            out += c;
        }
    }
}

std::string DecodeWriter::Quoted(std::string_view text) const {
    const std::string utf8 = decoder_.ToUtf8(std::string(text));
    if (!json_) return utf8;
    std::string out = "\"";
    AppendJsonEscaped(out, utf8);
    out += '"';
    return out;
}

const DecodeWriter::FrameTexts& DecodeWriter::TextsOf(const FrameCodec& frame) {
    const size_t index = frame.CatalogIndex();
    if (index != FrameCodec::kNotCataloged && index < byIndex_.size() && byIndex_[index]) {
        return *byIndex_[index];
    }
    if (index == FrameCodec::kNotCataloged) {
        auto found = cache_.find(&frame);
        if (found != cache_.end()) return found->second;
    }
    FrameTexts texts;
    if (json_) {
        texts.head = "\"id\":" + std::to_string(frame.id) +
                     ",\"extended\":" + (frame.extended ? "true" : "false") +
                     ",\"name\":" + Quoted(frame.name);
    } else {
        texts.head = Quoted(frame.name) + " (id " + std::to_string(frame.id) + ")";
    }
    for (const SignalCodec& signal : frame.signals) {
        SignalTexts entry;
        if (json_) {
            entry.name = "{\"name\":" + Quoted(signal.name) + ",\"raw\":";
            if (!signal.unit.empty()) entry.unit = ",\"unit\":" + Quoted(signal.unit);
        } else {
            entry.name = "  " + Quoted(signal.name) + " = ";
            if (!signal.unit.empty()) entry.unit = " " + Quoted(signal.unit);
        }
        for (const auto& text : signal.texts) entry.texts.push_back(Quoted(text.text));
        for (const auto& range : signal.ranges) {
            entry.ranges.push_back(range.text.empty() ? std::string()
                                   : json_            ? ",\"unit\":" + Quoted(range.text)
                                                      : " " + Quoted(range.text));
        }
        texts.signals.push_back(std::move(entry));
    }
    if (index == FrameCodec::kNotCataloged) {
        return cache_.emplace(&frame, std::move(texts)).first->second;
    }
    if (byIndex_.size() <= index) byIndex_.resize(index + 1);
    byIndex_[index] = std::make_unique<FrameTexts>(std::move(texts));
    return *byIndex_[index];
}

void DecodeWriter::AppendSignal(std::string& out, const SignalCodec& signal,
                                const SignalTexts& texts, uint64_t raw, bool first) {
    const std::string* unit = &texts.unit;
    if (unit->empty() && !signal.ranges.empty()) {
        const int range = signal.RangeIndex(raw);
        if (range >= 0) unit = &texts.ranges[static_cast<size_t>(range)];
    }
    const int textIndex = signal.texts.empty() ? -1 : signal.TextIndex(raw);
    const std::string* valueText =
        textIndex < 0 ? nullptr : &texts.texts[static_cast<size_t>(textIndex)];
    if (json_) {
        if (!first) out += ',';
        out += texts.name;
        qm::codec::AppendUnsigned(out, raw);
        out.append(",\"physical\":", 12);
        signal.PhysicalOf(raw).AppendJsonTo(out);
        out += *unit;
        if (valueText) {
            out += ",\"valueText\":";
            out += *valueText;
        }
        out += '}';
        return;
    }
    out += texts.name;
    signal.PhysicalOf(raw).AppendTo(out);
    out += *unit;
    out += "  (raw ";
    qm::codec::AppendUnsigned(out, raw);
    out += ')';
    if (valueText) {
        out += "  \"";
        out += *valueText;
        out += '"';
    }
    out += '\n';
}

bool DecodeWriter::Append(std::string& out, const FrameCodec& frame, const uint8_t* payload,
                          size_t size, const qm::codec::LogFrame* line) {
    const FrameTexts& texts = TextsOf(frame);
    if (json_) {
        out += '{';
        if (line) {
            if (!line->timestamp.empty()) {
                out += "\"timestamp\":";
                // Written as the log wrote it: a decimal number, exact.
                if (line->timestamp.front() == '.') out += '0';
                out += line->timestamp;
                if (line->timestamp.back() == '.') out += '0';
                out += ',';
            }
            if (!line->channel.empty()) {
                out += "\"channel\":\"";
                AppendJsonEscaped(out, line->channel);
                out += "\",";
            }
        }
        out += texts.head;
        out += ",\"signals\":[";
    } else {
        if (line && !line->timestamp.empty()) {
            out += '(';
            out += line->timestamp;
            out += ") ";
        }
        if (line && !line->channel.empty()) {
            out += line->channel;
            out += ' ';
        }
        out += texts.head;
        out += '\n';
    }
    bool first = true;
    const bool complete = frame.Decode(payload, size, [&](size_t index, uint64_t raw) {
        AppendSignal(out, frame.signals[index], texts.signals[index], raw, first);
        first = false;
    });
    if (json_) {
        out += ']';
        if (!complete) out += ",\"truncated\":true";
        out += "}\n";
    } else if (!complete) {
        out += "  (truncated: " + std::to_string(size) + " of " + std::to_string(frame.size) +
               " bytes)\n";
    }
    return complete;
}

}  // namespace qmtool
