#include "c_code_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <span>

#include "c_code_names.h"
#include "codec/multiplex_selection.h"

namespace qmtool::ccode {

namespace {

using qm::codec::MuxRole;
using qm::codec::SignalCodec;
using qm::codec::ValueKind;

std::string Hex(uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "0x%llxu", static_cast<unsigned long long>(value));
    return buffer;
}

uint64_t LowMask(uint32_t width) {
    return width >= 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
}

uint32_t FieldBits(const CSignal& signal) {
    return std::min<uint32_t>(signal.codec->layout.Length(), 64);
}

// The values a field holds, in the domain of its kind (integer kinds only).
struct Domain {
    int64_t low = 0;   // signed fields
    int64_t high = 0;  // signed fields
    uint64_t top = 0;  // unsigned fields and float bit patterns
};

Domain DomainOf(const CSignal& signal) {
    const uint32_t bits = FieldBits(signal);
    Domain domain;
    domain.top = LowMask(bits);
    if (bits > 0) {
        domain.low = bits >= 64 ? INT64_MIN : -(int64_t{1} << (bits - 1));
        domain.high = bits >= 64 ? INT64_MAX : (int64_t{1} << (bits - 1)) - 1;
    }
    return domain;
}

// How a scaling turns raw values into physical ones, as the codec decides it: exact integers,
// or doubles rounded back to the decimals of the scaling (roundScale = 10^decimals, 0: none).
struct Scaling {
    double factor = 1.0;
    double offset = 0.0;
    bool integer = false;
    double roundScale = 0.0;
};

// Asked of the codec itself (a signal codec of this kind and scaling alone), so that generated
// code rounds where the codec rounds.
Scaling ScalingOf(const SignalCodec& signal, double factor, double offset) {
    SignalCodec probe;
    probe.layout = signal.layout;
    probe.kind = signal.kind;
    probe.factor = factor;
    probe.offset = offset;
    probe.Prepare();
    return {factor, offset, probe.IntegerPhysical(), probe.RoundScale()};
}

// --- Conditions of the multiplexing, over the raw values r<index> of a function. ---

std::string Raw(size_t index) {
    return "r" + std::to_string(index);
}

std::string InRangesCondition(std::span<const qm::codec::MuxRange> ranges, const std::string& raw) {
    std::vector<std::string> terms;
    for (const qm::codec::MuxRange& range : ranges) {
        if (range.minimum > range.maximum) continue;
        const bool open = range.maximum == ~uint64_t{0};
        if (range.minimum == 0 && open) return "1";
        if (range.minimum == range.maximum) {
            terms.push_back(raw + " == " + UnsignedLiteral(range.minimum));
        } else if (range.minimum == 0) {
            terms.push_back(raw + " <= " + UnsignedLiteral(range.maximum));
        } else if (open) {
            terms.push_back(raw + " >= " + UnsignedLiteral(range.minimum));
        } else {
            terms.push_back("(" + raw + " >= " + UnsignedLiteral(range.minimum) + " && " + raw +
                            " <= " + UnsignedLiteral(range.maximum) + ")");
        }
    }
    if (terms.empty()) return "0";
    std::string out;
    for (const std::string& term : terms) out += (out.empty() ? "" : " || ") + term;
    return terms.size() > 1 ? "(" + out + ")" : out;
}

// Whether a payload carries signals[index], the rule of the codec (IsCarried): unpacking, a
// switch that lies beyond the frame selects nothing. The raw values used are added to `used`.
std::string CarriedCondition(const CFrame& frame, size_t index, bool unpacking,
                             std::set<size_t>& used, int depth = 0) {
    if (depth > qm::codec::kMaxMultiplexChainDepth) return "0";
    const SignalCodec& signal = *frame.signals[index].codec;
    if (signal.extendedMux >= 0) {
        const auto multiplexer = static_cast<size_t>(signal.extendedMux);
        const std::string ranges = InRangesCondition(signal.muxRanges, Raw(multiplexer));
        if (ranges == "0") return "0";
        const std::string parent = CarriedCondition(frame, multiplexer, unpacking, used, depth + 1);
        if (parent == "0") return "0";
        if (ranges != "1") used.insert(multiplexer);
        if (parent == "1") return ranges;
        if (ranges == "1") return parent;
        return ranges + " && " + parent;
    }
    if (signal.mux != MuxRole::Multiplexed) return "1";
    const int switchIndex = frame.codec->SwitchIndex();
    if (switchIndex < 0 || (unpacking && !frame.signals[static_cast<size_t>(switchIndex)].fits)) {
        return signal.muxValue == -1 ? "1" : "0";
    }
    used.insert(static_cast<size_t>(switchIndex));
    return Raw(static_cast<size_t>(switchIndex)) +
           " == " + UnsignedLiteral(static_cast<uint64_t>(signal.muxValue));
}

// --- Bits to bytes and back. ---

// The byte a piece of r<index> makes: (r >> fieldShift) & mask, moved to its place.
std::string PieceValue(const std::string& raw, const ByteSegment& piece) {
    std::string value = raw;
    if (piece.fieldShift > 0) value = "(" + value + " >> " + std::to_string(piece.fieldShift) + ")";
    // Bits above the piece fall out of the byte by themselves when it reaches bit 7.
    if (piece.byteShift + piece.width < 8) {
        value = "(" + value + " & " + Hex(LowMask(piece.width)) + ")";
    }
    if (piece.byteShift > 0) value = "(" + value + " << " + std::to_string(piece.byteShift) + ")";
    return "(uint8_t)" + value;
}

// Bits above the 64th of a long field are cleared, as the codec clears them; in a payload
// that starts cleared and where no fields meet, that takes no code.
std::string PieceWrite(const std::string& raw, const ByteSegment& piece, bool clearFirst) {
    const std::string byte = "dst_p[" + std::to_string(piece.byte) + "]";
    const auto keep =
        static_cast<uint8_t>(~(static_cast<unsigned>(LowMask(piece.width)) << piece.byteShift));
    if (piece.fieldShift >= 64) {
        return clearFirst ? "    " + byte + " = (uint8_t)(" + byte + " & " + Hex(keep) + ");\n"
                          : "";
    }
    if (!clearFirst) return "    " + byte + " |= " + PieceValue(raw, piece) + ";\n";
    if (keep == 0) return "    " + byte + " = " + PieceValue(raw, piece) + ";\n";
    return "    " + byte + " = (uint8_t)((" + byte + " & " + Hex(keep) + ") | " +
           PieceValue(raw, piece) + ");\n";
}

std::string PieceRead(const ByteSegment& piece) {
    std::string value = "src_p[" + std::to_string(piece.byte) + "]";
    if (piece.byteShift > 0) value = "(" + value + " >> " + std::to_string(piece.byteShift) + ")";
    if (piece.byteShift + piece.width < 8) {
        value = "(" + value + " & " + Hex(LowMask(piece.width)) + ")";
    }
    value = "(uint64_t)" + value;
    if (piece.fieldShift > 0) value = "(" + value + " << " + std::to_string(piece.fieldShift) + ")";
    return value;
}

// r<index> from the struct member: the bits of the field (two's complement for signed members,
// the IEEE pattern for floats).
std::string RawFromMember(const CSignal& signal, size_t index, const std::string& object) {
    const std::string raw = Raw(index);
    const uint32_t bits = FieldBits(signal);
    const std::string mask =
        bits < signal.typeBits || (signal.isSigned && bits < 64) ? " & " + Hex(LowMask(bits)) : "";
    if (bits == 0) return "    " + raw + " = 0u;\n";
    if (signal.isFloat) {
        const char* type = signal.typeBits == 32 ? "uint32_t" : "uint64_t";
        return "    {\n        " + std::string(type) + " bits;\n        memcpy(&bits, &" + object +
               signal.member + ", sizeof(bits));\n        " + raw + " = (uint64_t)bits" + mask +
               ";\n    }\n";
    }
    if (signal.isSigned) {
        return "    " + raw + " = (uint64_t)(int64_t)" + object + signal.member + mask + ";\n";
    }
    return "    " + raw + " = (uint64_t)" + object + signal.member + mask + ";\n";
}

// The member from r<index>: signed fields sign-extended, floats from their bit pattern.
std::string MemberFromRaw(const CSignal& signal, size_t index, const std::string& indent) {
    const std::string raw = Raw(index);
    const std::string target = "dst_p->" + signal.member;
    const uint32_t bits = FieldBits(signal);
    if (signal.isFloat) {
        const char* type = signal.typeBits == 32 ? "uint32_t" : "uint64_t";
        return indent + "{\n" + indent + "    " + type + " bits = (" + type + ")" + raw + ";\n" +
               indent + "    memcpy(&" + target + ", &bits, sizeof(bits));\n" + indent + "}\n";
    }
    if (signal.isSigned && bits > 0 && bits < 64) {
        const std::string sign = Hex(uint64_t{1} << (bits - 1));
        return indent + target + " = (" + signal.type + ")(int64_t)((" + raw + " ^ " + sign +
               ") - " + sign + ");\n";
    }
    if (signal.isSigned) return indent + target + " = (" + signal.type + ")(int64_t)" + raw + ";\n";
    return indent + target + " = (" + signal.type + ")" + raw + ";\n";
}

// --- Texts of the header. ---

std::string ByteOrderText(const SignalCodec& signal) {
    return signal.layout.Order() == qm::codec::ByteOrder::BigEndian ? "big-endian"
                                                                    : "little-endian";
}

std::string NumberText(double value) {
    std::string text = DoubleLiteral(value);
    if (text.front() == '(') text = text.substr(1, text.size() - 2);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text;
}

std::string MemberComment(const CFrame& frame, const CSignal& signal) {
    const SignalCodec& codec = *signal.codec;
    std::string text = codec.name + ": start bit " + std::to_string(codec.layout.StartBit()) +
                       ", " + std::to_string(codec.layout.Length()) + " bits";
    if (codec.ReadsAsDecimal()) {
        text +=
            "; physical = the decimal of its bytes, a digit a byte, the first byte the most "
            "significant (the bytes as they are when one is no digit)";
    } else {
        text += " " + ByteOrderText(codec) + ", " + qm::codec::ValueKindName(codec.kind) +
                "; physical = raw * " + NumberText(codec.factor) + " + " + NumberText(codec.offset);
    }
    if (codec.ReadsAsText()) text += "; the bytes of a text";
    if (!codec.ranges.empty())
        text += " (or one of " + std::to_string(codec.ranges.size()) + " scaled ranges)";
    if (!(codec.minimum == 0.0 && codec.maximum == 0.0)) {
        text += ", range [" + NumberText(codec.minimum) + ", " + NumberText(codec.maximum) + "]";
    }
    if (!codec.unit.empty()) text += " " + codec.unit;
    if (codec.mux == MuxRole::Switch) text += "; multiplexer";
    if (codec.mux == MuxRole::Multiplexed && codec.extendedMux < 0) {
        text += "; sent when the multiplexer is " + std::to_string(codec.muxValue);
    }
    if (codec.extendedMux >= 0) {
        text += "; sent by its multiplexer " +
                frame.codec->signals[static_cast<size_t>(codec.extendedMux)].name;
    }
    if (!signal.fits) text += "; lies beyond the frame's length: never unpacked";
    return "    /* " + CommentText(text) + " */\n";
}

// --- Signal helpers. ---

std::string KeyCondition(const CSignal& signal, uint64_t low, uint64_t high,
                         const std::string& key) {
    const Domain domain = DomainOf(signal);
    std::vector<std::string> terms;
    if (signal.isSigned) {
        const auto lo = static_cast<int64_t>(low);
        const auto hi = static_cast<int64_t>(high);
        if (lo > hi || lo > domain.high || hi < domain.low) return "0";
        if (lo > domain.low) terms.push_back(key + " >= " + SignedLiteral(lo));
        if (hi < domain.high) terms.push_back(key + " <= " + SignedLiteral(hi));
    } else {
        if (low > high || low > domain.top) return "0";
        if (low > 0) terms.push_back(key + " >= " + UnsignedLiteral(low));
        if (high < domain.top) terms.push_back(key + " <= " + UnsignedLiteral(high));
    }
    if (terms.empty()) return "1";
    return terms.size() == 1 ? terms[0] : terms[0] + " && " + terms[1];
}

}  // namespace

namespace {

// The expression of a physical value of `value` under a scaling; the helpers' statements.
std::string ScaledReturn(const CSignal& signal, const Scaling& scaling, const std::string& prefix,
                         const std::string& indent) {
    if (scaling.integer) {
        if (scaling.factor == 1.0 && scaling.offset == 0.0)
            return indent + "return (double)value;\n";
        const Domain domain = DomainOf(signal);
        const double largest = signal.isSigned
                                   ? std::max(std::fabs(static_cast<double>(domain.low)),
                                              std::fabs(static_cast<double>(domain.high)))
                                   : static_cast<double>(domain.top);
        // Exact in 64-bit integers when no product can overflow them.
        if (std::fabs(scaling.factor) * largest + std::fabs(scaling.offset) < 9.0e18) {
            return indent + "return (double)((int64_t)value * " +
                   SignedLiteral(static_cast<int64_t>(scaling.factor)) + " + " +
                   SignedLiteral(static_cast<int64_t>(scaling.offset)) + ");\n";
        }
    }
    const std::string physical =
        "(double)value * " + DoubleLiteral(scaling.factor) + " + " + DoubleLiteral(scaling.offset);
    if (scaling.roundScale > 0.0) {
        return indent + "return " + prefix + "_round_to(" + physical + ", " +
               DoubleLiteral(scaling.roundScale) + ");\n";
    }
    return indent + "return " + physical + ";\n";
}

// A BCD array: the digits of the value rounded to the nearest and held to [0, 10^bytes), the
// last digit in the last byte.
void AppendBcdEncode(std::string& out, const CSignal& signal, const std::string& prefix) {
    const size_t bytes = signal.codec->ArrayBytes();
    double largest = 1.0;
    for (size_t i = 0; i < bytes; ++i) largest *= 10.0;
    out += "    uint64_t number;\n    uint64_t raw = 0;\n    int i;\n\n";
    out += "    value = " + prefix + "_round(value);\n";
    out += "    if (!(value >= 0.0)) {\n        value = 0.0;\n    }\n";
    out += "    if (value > " + DoubleLiteral(largest - 1.0) +
           ") {\n        value = " + DoubleLiteral(largest - 1.0) + ";\n    }\n";
    out += "    number = (uint64_t)value;\n";
    out += "    for (i = " + std::to_string(bytes - 1) + "; i >= 0; i--) {\n";
    out += "        raw |= (number % 10u) << (8 * i);\n        number /= 10u;\n    }\n";
    out += "    return (" + signal.type + ")raw;\n}\n\n";
}

// A BCD array: the decimal of its digits; the bytes as they are when one is no digit.
void AppendBcdDecode(std::string& out, const CSignal& signal) {
    out += "    uint64_t digits = 0;\n    int i;\n\n";
    out += "    for (i = 0; i < " + std::to_string(signal.codec->ArrayBytes()) + "; i++) {\n";
    out += "        const uint64_t digit = ((uint64_t)value >> (8 * i)) & 0xFFu;\n\n";
    out += "        if (digit > 9u) {\n            return (double)value;\n        }\n";
    out += "        digits = digits * 10u + digit;\n    }\n";
    out += "    return (double)digits;\n}\n\n";
}

// encode: the raw value of a physical value, rounded to the nearest and held to the field; a
// value in one of the scaled ranges takes that range's scaling, as in the codec.
void AppendEncode(std::string& out, const CSignal& signal, const std::string& prefix) {
    const SignalCodec& codec = *signal.codec;
    const std::string& type = signal.type;
    out += type + " " + signal.function + "_encode(double value)\n{\n";
    if (codec.ReadsAsDecimal()) {
        AppendBcdEncode(out, signal, prefix);
        return;
    }
    if (signal.isFloat) {
        if (codec.factor == 0.0) {
            out += "    (void)value;\n    return 0;\n}\n\n";
            return;
        }
        out += "    return (" + type + ")((value - " + DoubleLiteral(codec.offset) + ") / " +
               DoubleLiteral(codec.factor) + ");\n}\n\n";
        return;
    }
    const auto asBound = [&](uint64_t bound) {
        return signal.isSigned ? static_cast<double>(static_cast<int64_t>(bound))
                               : static_cast<double>(bound);
    };
    bool declared = false;
    for (const auto& range : codec.ranges) {
        if (range.factor == 0.0) continue;
        if (!declared) out += "    double raw;\n\n";
        declared = true;
        double low = asBound(range.low) * range.factor + range.offset;
        double high = asBound(range.high) * range.factor + range.offset;
        if (low > high) std::swap(low, high);
        const double tolerance = 1e-9 * std::max({1.0, std::fabs(low), std::fabs(high)});
        const std::string rawLow = DoubleLiteral(asBound(range.low));
        const std::string rawHigh = DoubleLiteral(asBound(range.high));
        out += "    if (value >= " + DoubleLiteral(low - tolerance) +
               " && value <= " + DoubleLiteral(high + tolerance) + ") {\n";
        out += "        raw = " + prefix + "_round((value - " + DoubleLiteral(range.offset) +
               ") / " + DoubleLiteral(range.factor) + ");\n";
        out +=
            "        if (raw < " + rawLow + ") {\n            raw = " + rawLow + ";\n        }\n";
        out +=
            "        if (raw > " + rawHigh + ") {\n            raw = " + rawHigh + ";\n        }\n";
        out += "        return (" + type + ")raw;\n    }\n";
    }
    std::string raw = "0.0";
    if (codec.factor != 0.0) {
        raw = prefix + "_round((value - " + DoubleLiteral(codec.offset) + ") / " +
              DoubleLiteral(codec.factor) + ")";
    } else if (!declared) {
        out += "    (void)value;\n";
    }
    // Held to the field: [0, 2^bits) unsigned, [-2^(bits-1), 2^(bits-1)) signed.
    const Domain domain = DomainOf(signal);
    const auto bits = static_cast<int>(FieldBits(signal));
    if (signal.isSigned) {
        const double limit = bits == 0 ? 0.0 : std::ldexp(1.0, bits - 1);
        out += "    return (" + type + ")" + prefix + "_signed_raw(" + raw + ", " +
               DoubleLiteral(limit) + ", " + SignedLiteral(domain.low) + ", " +
               SignedLiteral(domain.high) + ");\n}\n\n";
    } else {
        out += "    return (" + type + ")" + prefix + "_unsigned_raw(" + raw + ", " +
               DoubleLiteral(std::ldexp(1.0, bits)) + ", " + UnsignedLiteral(domain.top) +
               ");\n}\n\n";
    }
}

// decode: the physical value as the codec gives it (PhysicalDouble): the scaled range that
// holds the raw value, else the signal's scaling.
void AppendDecode(std::string& out, const CSignal& signal, const std::string& prefix) {
    const SignalCodec& codec = *signal.codec;
    out += "double " + signal.function + "_decode(" + signal.type + " value)\n{\n";
    if (codec.ReadsAsDecimal()) {
        AppendBcdDecode(out, signal);
        return;
    }
    std::string key = "value";
    if (signal.isFloat && !codec.ranges.empty()) {
        const std::string bitsType = signal.typeBits == 32 ? "uint32_t" : "uint64_t";
        out += "    " + bitsType + " bits;\n\n    memcpy(&bits, &value, sizeof(bits));\n";
        key = "bits";
    }
    for (const auto& range : codec.ranges) {
        const std::string condition = KeyCondition(signal, range.low, range.high, key);
        if (condition == "0") continue;
        const Scaling scaling = ScalingOf(codec, range.factor, range.offset);
        if (condition == "1") {
            out += ScaledReturn(signal, scaling, prefix, "    ") + "}\n\n";
            return;
        }
        out += "    if (" + condition + ") {\n" +
               ScaledReturn(signal, scaling, prefix, "        ") + "    }\n";
    }
    out += ScaledReturn(signal, ScalingOf(codec, codec.factor, codec.offset), prefix, "    ");
    out += "}\n\n";
}

// is_in_range: the physical value lies in [minimum, maximum] with the codec's tolerance;
// always, when the signal gives no range.
void AppendRangeCheck(std::string& out, const CSignal& signal) {
    const SignalCodec& codec = *signal.codec;
    out += "bool " + signal.function + "_is_in_range(" + signal.type + " value)\n{\n";
    if ((codec.minimum == 0.0 && codec.maximum == 0.0) || codec.minimum > codec.maximum) {
        out += "    (void)value;\n    return true;\n}\n\n";
        return;
    }
    const double tolerance =
        1e-9 * std::max({1.0, std::fabs(codec.minimum), std::fabs(codec.maximum)});
    out += "    const double physical = " + signal.function + "_decode(value);\n\n";
    out += "    return physical >= " + DoubleLiteral(codec.minimum - tolerance) +
           " && physical <= " + DoubleLiteral(codec.maximum + tolerance) + ";\n}\n\n";
}

// The static helpers that the functions call, and only those (an unused static function is a
// warning).
void AppendSupport(std::string& out, const std::string& functions, const std::string& prefix) {
    const auto calls = [&](const char* name) {
        return functions.find(prefix + name + "(") != std::string::npos;
    };
    const bool roundTo = calls("_round_to");
    if (roundTo || calls("_round")) {
        out +=
            "/* The nearest integer, ties to even, without libm: adding 2^52 leaves no bits "
            "for a fraction. */\n";
        out += "static double " + prefix + "_round(double x)\n{\n";
        out += "    const double big = 4503599627370496.0;\n\n";
        out += "    if (x >= big || x <= -big) {\n        return x;\n    }\n";
        out += "    if (x >= 0.0) {\n        return (x + big) - big;\n    }\n";
        out += "    return -((-x + big) - big);\n}\n\n";
    }
    if (roundTo) {
        out +=
            "/* A physical value rounded to the decimals of its scaling (scale = "
            "10^decimals). */\n";
        out += "static double " + prefix + "_round_to(double physical, double scale)\n{\n";
        out += "    const double scaled = physical * scale;\n\n";
        out += "    if (scaled < 9007199254740992.0 && scaled > -9007199254740992.0) {\n";
        // "+ 0.0": a value that rounds to zero is 0, not -0 (as the codec gives it).
        out += "        return " + prefix + "_round(scaled) / scale + 0.0;\n    }\n";
        out += "    return physical;\n}\n\n";
    }
    if (calls("_unsigned_raw")) {
        out += "/* A raw value held to a field of [0, limit): NaN gives 0. */\n";
        out += "static uint64_t " + prefix +
               "_unsigned_raw(double raw, double limit, uint64_t top)\n{\n";
        out += "    if (!(raw >= 0.0)) {\n        return 0u;\n    }\n";
        out += "    if (raw >= limit) {\n        return top;\n    }\n";
        out += "    return (uint64_t)raw;\n}\n\n";
    }
    if (calls("_signed_raw")) {
        out += "/* A raw value held to a field of [-limit, limit): NaN gives the lowest. */\n";
        out += "static int64_t " + prefix +
               "_signed_raw(double raw, double limit, int64_t low, int64_t high)\n{\n";
        out += "    if (!(raw >= -limit)) {\n        return low;\n    }\n";
        out += "    if (raw >= limit) {\n        return high;\n    }\n";
        out += "    return (int64_t)raw;\n}\n\n";
    }
}

}  // namespace

std::string CCodeWriter::Header() const {
    const std::string& guard = database_.macroPrefix + "_H";
    std::string out;
    out += "/* " + CommentText(database_.sourceName) +
           ": the frames as C structs of raw signal values, with pack and unpack per frame and\n"
           " * encode, decode and range check per signal. Generated by quillmere generate-c; do "
           "not edit. */\n";
    out += "#ifndef " + guard + "\n#define " + guard + "\n\n";
    out += "#include <stdbool.h>\n#include <stddef.h>\n#include <stdint.h>\n\n";
    out += "#ifdef __cplusplus\nextern \"C\" {\n#endif\n\n";
    for (const CFrame& frame : database_.frames) AppendFrameDeclarations(out, frame);
    out += "#ifdef __cplusplus\n}\n#endif\n\n#endif\n";
    return out;
}

void CCodeWriter::AppendFrameDeclarations(std::string& out, const CFrame& frame) const {
    const qm::codec::FrameCodec& codec = *frame.codec;
    out += "/* Frame " + CommentText(codec.name) + " */\n";
    out += "#define " + frame.macro + "_FRAME_ID (" + Hex(codec.id) + ")\n";
    out += "#define " + frame.macro + "_LENGTH (" + std::to_string(codec.size) + "u)\n";
    out += "#define " + frame.macro + "_IS_EXTENDED (" + (codec.extended ? "1" : "0") + ")\n";
    if (frame.cycleTimeMs) {
        const double ms = *frame.cycleTimeMs;
        out += "#define " + frame.macro + "_CYCLE_TIME_MS (" +
               (ms == std::floor(ms) && ms >= 0 && ms < 4294967296.0
                    ? UnsignedLiteral(static_cast<uint64_t>(ms))
                    : DoubleLiteral(ms)) +
               ")\n";
    }
    for (const CSignal& signal : frame.signals) {
        for (const CChoice& choice : signal.choices) {
            out += "#define " + choice.macro + " (" + choice.literal + ")\n";
        }
    }
    out += "\nstruct " + frame.stem + "_t {\n";
    for (const CSignal& signal : frame.signals) {
        out += MemberComment(frame, signal);
        out += "    " + signal.type + " " + signal.member + ";\n";
    }
    if (frame.signals.empty()) out += "    uint8_t _unused;\n";
    out += "};\n\n";
    out += "/* The payload of *src_p in dst_p[0.." + std::to_string(codec.size) +
           "): the length, or -EINVAL when size is shorter. */\n";
    out += "int " + frame.stem + "_pack(uint8_t *dst_p, const struct " + frame.stem +
           "_t *src_p, size_t size);\n";
    out +=
        "/* The signals of a payload of size bytes: the length, or -EINVAL when size is shorter. "
        "Signals\n * the multiplexers do not select are 0. */\n";
    out += "int " + frame.stem + "_unpack(struct " + frame.stem +
           "_t *dst_p, const uint8_t *src_p, size_t size);\n";
    out += "/* Every signal at its initial value: 0, or -EINVAL for a null pointer. */\n";
    out += "int " + frame.stem + "_init(struct " + frame.stem + "_t *msg_p);\n";
    for (const CSignal& signal : frame.signals) {
        out += signal.type + " " + signal.function + "_encode(double value);\n";
        out += "double " + signal.function + "_decode(" + signal.type + " value);\n";
        out += "bool " + signal.function + "_is_in_range(" + signal.type + " value);\n";
    }
    out += "\n";
}

std::string CCodeWriter::Source(const std::string& headerName) const {
    const std::string& prefix = database_.prefix;
    std::string out;
    out += "/* Generated by quillmere generate-c from " + CommentText(database_.sourceName) +
           "; do not edit. */\n";
    out += "#include <errno.h>\n#include <math.h>\n#include <string.h>\n\n";
    out += "#include \"" + headerName + "\"\n\n";
    out += "#ifndef EINVAL\n#define EINVAL 22\n#endif\n\n";
    std::string functions;
    for (const CFrame& frame : database_.frames) {
        AppendPack(functions, frame);
        AppendUnpack(functions, frame);
        AppendInit(functions, frame);
        for (const CSignal& signal : frame.signals) AppendSignalHelpers(functions, signal);
    }
    AppendSupport(out, functions, prefix);
    out += functions;
    return out;
}

void CCodeWriter::AppendPack(std::string& out, const CFrame& frame) const {
    const size_t length = frame.codec->size;
    std::set<size_t> used;
    std::vector<std::string> conditions;
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        conditions.push_back(
            frame.signals[i].segments.empty() ? "0" : CarriedCondition(frame, i, false, used));
        // A field whose value bits all lie beyond the frame only clears bits: no raw value.
        if (conditions.back() != "0" && frame.signals[i].HasValueBits()) used.insert(i);
    }
    out += "int " + frame.stem + "_pack(uint8_t *dst_p, const struct " + frame.stem +
           "_t *src_p, size_t size)\n{\n";
    for (size_t i : used) out += "    uint64_t " + Raw(i) + ";\n";
    if (!used.empty()) out += "\n";
    if (length > 0) {
        out +=
            "    if (size < " + std::to_string(length) + "u) {\n        return -EINVAL;\n    }\n";
        out += "    memset(dst_p, 0, " + std::to_string(length) + "u);\n";
    } else {
        out += "    (void)size;\n    (void)dst_p;\n";
    }
    if (used.empty()) out += "    (void)src_p;\n";
    for (size_t i : used) out += RawFromMember(frame.signals[i], i, "src_p->");
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        if (conditions[i] == "0") continue;
        std::string writes;
        for (const ByteSegment& piece : frame.signals[i].segments) {
            writes += PieceWrite(Raw(i), piece, frame.overlapping);
        }
        if (writes.empty()) continue;
        if (conditions[i] == "1") {
            out += writes;
            continue;
        }
        out += "    if (" + conditions[i] + ") {\n";
        for (size_t at = 0; at < writes.size();) {
            const size_t end = writes.find('\n', at);
            out += "    " + writes.substr(at, end + 1 - at);
            at = end + 1;
        }
        out += "    }\n";
    }
    out += "    return " + std::to_string(length) + ";\n}\n\n";
}

void CCodeWriter::AppendUnpack(std::string& out, const CFrame& frame) const {
    const size_t length = frame.codec->size;
    std::set<size_t> used;
    std::vector<std::string> conditions;
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        conditions.push_back(frame.signals[i].fits ? CarriedCondition(frame, i, true, used) : "0");
        if (conditions.back() != "0") used.insert(i);
    }
    out += "int " + frame.stem + "_unpack(struct " + frame.stem +
           "_t *dst_p, const uint8_t *src_p, size_t size)\n{\n";
    for (size_t i : used) out += "    uint64_t " + Raw(i) + ";\n";
    if (!used.empty()) out += "\n";
    if (length > 0) {
        out +=
            "    if (size < " + std::to_string(length) + "u) {\n        return -EINVAL;\n    }\n";
    } else {
        out += "    (void)size;\n";
    }
    bool reads = false;
    for (size_t i : used) {
        bool first = true;
        for (const ByteSegment& piece : frame.signals[i].segments) {
            if (piece.fieldShift >= 64) continue;
            out += "    " + Raw(i) + (first ? " = " : " |= ") + PieceRead(piece) + ";\n";
            first = false;
            reads = true;
        }
        if (first) out += "    " + Raw(i) + " = 0u;\n";
    }
    if (!reads) out += "    (void)src_p;\n";
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        const CSignal& signal = frame.signals[i];
        if (conditions[i] == "0") {
            out += "    dst_p->" + signal.member + " = 0;\n";
        } else if (conditions[i] == "1") {
            out += MemberFromRaw(signal, i, "    ");
        } else {
            out += "    if (" + conditions[i] + ") {\n" + MemberFromRaw(signal, i, "        ") +
                   "    } else {\n        dst_p->" + signal.member + " = 0;\n    }\n";
        }
    }
    if (frame.signals.empty()) out += "    dst_p->_unused = 0;\n";
    out += "    return " + std::to_string(length) + ";\n}\n\n";
}

void CCodeWriter::AppendInit(std::string& out, const CFrame& frame) const {
    out += "int " + frame.stem + "_init(struct " + frame.stem + "_t *msg_p)\n{\n";
    out += "    if (msg_p == NULL) {\n        return -EINVAL;\n    }\n";
    out += "    memset(msg_p, 0, sizeof(*msg_p));\n";
    for (const CSignal& signal : frame.signals) {
        const uint64_t raw = signal.codec->defaultRaw & LowMask(FieldBits(signal));
        if (raw == 0) continue;
        const std::string target = "msg_p->" + signal.member;
        if (signal.isFloat) {
            const char* type = signal.typeBits == 32 ? "uint32_t" : "uint64_t";
            out += "    {\n        " + std::string(type) + " bits = " + UnsignedLiteral(raw) +
                   ";\n        memcpy(&" + target + ", &bits, sizeof(bits));\n    }\n";
        } else if (signal.isSigned) {
            out += "    " + target + " = (" + signal.type + ")" +
                   SignedLiteral(signal.codec->SignedValue(raw)) + ";\n";
        } else {
            out += "    " + target + " = (" + signal.type + ")" + UnsignedLiteral(raw) + ";\n";
        }
    }
    out += "    return 0;\n}\n\n";
}

void CCodeWriter::AppendSignalHelpers(std::string& out, const CSignal& signal) const {
    AppendEncode(out, signal, database_.prefix);
    AppendDecode(out, signal, database_.prefix);
    AppendRangeCheck(out, signal);
}

}  // namespace qmtool::ccode
