// Messages, their signals and their further transmitters.
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dbc/dbc_byte_masks.h"
#include "dbc/dbc_enums.h"
#include "dbc/dbc_read_context.h"
#include "dbc/dbc_sections.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

namespace {

constexpr SeparatorSet kMessageSeparators(" \t\n\r:");
constexpr SeparatorSet kColon(":");
constexpr SeparatorSet kBlankTab(" \t");
constexpr SeparatorSet kComma(",");
constexpr SeparatorSet kTransmitterSeparators(" :;,\t\r\n");
constexpr std::string_view kNoNode = "Vector__XXX";
constexpr std::string_view kMalformedSignal = "Malformed signal section. ";

// The piece of text between the first character and the first separator, and the piece after
// that separator up to the closing character: "(factor,offset)" and "[minimum|maximum]".
void SplitPair(std::string_view text, char separator, char closing, std::string_view& first,
               std::string_view& second) {
    const size_t middle = FindByte(text, separator);
    if (middle == std::string_view::npos) {
        const size_t close = FindByte(text, closing);
        first = text.size() > 1
                    ? text.substr(1, close == std::string_view::npos ? close : close - 1)
                    : std::string_view();
        second = {};
        return;
    }
    first = text.substr(1, middle >= 1 ? middle - 1 : 0);
    const size_t close = FindByte(text, closing, middle + 1);
    second = text.substr(middle + 1, close == std::string_view::npos ? close : close - middle - 1);
}

bool ReadNumberPair(std::string_view token, char separator, char closing, DbcNumber& first,
                    DbcNumber& second) {
    std::string_view firstText, secondText;
    SplitPair(token, separator, closing, firstText, secondText);
    return ParseDbcNumber(firstText, first) && ParseDbcNumber(secondText, second);
}

// Tolerant reading: a pair whose numbers are readable but beyond the double range is clamped
// with a warning. False in exact reading, or when a number is no number at all.
bool ReadClampedPair(DbcReadContext& context, std::string_view token, char separator, char closing,
                     DbcNumber& first, DbcNumber& second) {
    if (!context.Tolerant()) return false;
    std::string_view firstText, secondText;
    SplitPair(token, separator, closing, firstText, secondText);
    bool firstClamped = false, secondClamped = false;
    if (!ParseDbcNumberClamped(firstText, first, firstClamped) ||
        !ParseDbcNumberClamped(secondText, second, secondClamped)) {
        return false;
    }
    if (firstClamped || secondClamped) {
        context.Tolerate("Number out of range, clamped to the double range. ");
    }
    return true;
}

// The pieces of "start|length@orderType", cut in one pass up to the "@". Without a "|" before
// it the length reads as "0".
struct LayoutPieces {
    std::string_view start;
    std::string_view length;
    char byteOrder = '\0';
    char valueType = '\0';
};

// False when the text has no "@".
bool CutLayout(std::string_view layout, LayoutPieces& pieces) {
    size_t pipe = std::string_view::npos;
    size_t at = 0;
    for (; at < layout.size() && layout[at] != '@'; ++at) {
        if (layout[at] == '|' && pipe == std::string_view::npos) pipe = at;
    }
    if (at == layout.size()) return false;
    const bool withLength = pipe != std::string_view::npos;
    pieces.start = layout.substr(0, withLength ? pipe : at);
    pieces.length = withLength ? layout.substr(pipe + 1, at - pipe - 1) : std::string_view("0");
    pieces.byteOrder = at + 1 < layout.size() ? layout[at + 1] : '\0';
    pieces.valueType = at + 2 < layout.size() ? layout[at + 2] : '\0';
    return true;
}

// The number a text of the file stands for, beyond the 32 bits the described conversion keeps.
// False when the text is no number at all; clamped when it lies beyond 64 bits too.
bool WideInteger(std::string_view text, long double& value, bool& clamped) {
    clamped = false;
    // Nearly every number of a real file is a few plain digits: no copy, no conversion call.
    if (!text.empty() && text.size() <= 9 && text.front() != '0' &&
        text.find_first_not_of("0123456789") == std::string_view::npos) {
        uint32_t digits = 0;
        for (char c : text) digits = digits * 10 + static_cast<uint32_t>(c - '0');
        value = digits;
        return true;
    }
    const std::string terminated(text);
    const char* p = terminated.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    char* end = nullptr;
    errno = 0;
    if (*p == '-') {
        value = static_cast<long double>(std::strtoll(p, &end, 0));
    } else {
        value = static_cast<long double>(std::strtoull(p, &end, 0));
    }
    clamped = errno == ERANGE;
    return end != p;
}

// Tolerant reading: a number of the file that its field cannot hold as written (or that is no
// number) is read as the described conversion gives it, with one warning naming what became of
// it.
void CheckFieldNumber(DbcReadContext& context, std::string_view what, std::string_view text,
                      long double low, long double high, uint64_t stored) {
    long double value = 0;
    bool clamped = false;
    const bool number = WideInteger(text, value, clamped);
    if (number && !clamped && value >= low && value <= high) return;
    std::string warning(what);
    warning += ' ';
    warning += text;
    warning += number ? " out of range, read as " : " is no number, read as ";
    warning += std::to_string(stored);
    warning += ". ";
    context.Tolerate(warning);
}

// Whether a number of the layout is a few plain digits in [low, high]: nearly every start bit
// and length is, and such a number holds as written without a check.
bool PlainFieldNumber(std::string_view text, uint32_t low, uint32_t high, uint32_t& value) {
    if (text.empty() || text.size() > 5 || (text[0] == '0' && text.size() > 1)) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value >= low && value <= high;
}

// A start bit or length as its 16-bit field holds it. A length of 0 holds nothing; lengths above
// 64 are kept without a word (J1939 files give text signals of hundreds of bits). Tolerant
// reading warns of a number the field cannot hold as written.
uint16_t LayoutNumber(DbcReadContext& context, std::string_view what, std::string_view text,
                      uint32_t low) {
    uint32_t value;
    if (PlainFieldNumber(text, low, 65535, value)) return static_cast<uint16_t>(value);
    const auto stored = static_cast<uint16_t>(ToUnsigned(text));
    if (context.Tolerant()) CheckFieldNumber(context, what, text, low, 65535, stored);
    return stored;
}

// Reads "start|length@orderType" into the signal; false when the text has no "@".
bool ReadLayout(DbcReadContext& context, std::string_view layout, DbcSignal& signal) {
    LayoutPieces pieces;
    if (!CutLayout(layout, pieces)) return false;
    signal.SetStartBit(LayoutNumber(context, "Start bit", pieces.start, 0));
    signal.SetBitLength(LayoutNumber(context, "Bit length", pieces.length, 1));
    signal.SetByteOrderChar(pieces.byteOrder);
    signal.SetValueTypeChar(pieces.valueType);
    return true;
}

// indicator is the third piece of the head, empty when the head has only two.
void ReadMultiplexing(DbcReadContext& context, std::string_view indicator, DbcSignal& signal) {
    if (indicator.empty()) {
        signal.SetMultiplexIndicator(" ");
        signal.SetMultiplexing(kNotMultiplexed, -1);
        return;
    }
    signal.SetMultiplexIndicator(indicator);
    if (indicator.front() == 'M') {
        signal.SetMultiplexing(kMultiplexerSwitch, -1);
    } else if (indicator == "m" && context.Tolerant()) {
        // A bare "m" names no value; the files that write it mean the message's multiplexer.
        signal.SetMultiplexing(kMultiplexerSwitch, -1);
        context.Tolerate("Multiplex indicator without a value, read as the multiplexer. ");
    } else {
        signal.SetMultiplexing(kMultiplexedSignal, ToSigned(indicator.substr(1)));
    }
}

// False when a receiver names no node (the warning is written; the other receivers are linked).
bool LinkReceivers(DbcReadContext& context, const DbcReceiverTexts::Key& key, DbcSignal& signal) {
    const std::string_view list = key.text;
    DbcReceiverTexts::Known known;
    if (context.ReceiverTexts().Find(key, known)) {
        for (uint32_t i = 0; i < known.count; ++i) known.Node(i)->AddRxSignal(&signal);
        signal.ShareReceivers(known.list);
        return true;
    }
    Tokens& names = context.SecondScratch();
    Split(list, kComma, names);
    std::vector<DbcNode*>& receivers = context.ScratchNodes();
    receivers.clear();
    bool allFound = true;
    // A text is remembered only when every name in it named a node: a name that names none
    // now (Vector__XXX too) could name a node of a later BU_ line.
    bool allNodes = true;
    for (std::string_view name : names) {
        if (DbcNode* node = context.NodeNamed(name)) {
            receivers.push_back(node);
            node->AddRxSignal(&signal);
            continue;
        }
        allNodes = false;
        if (name != kNoNode) {
            context.Warn("Missing node definition: ", name);
            allFound = false;
        }
    }
    // Most signals of a file have a receiver list some other signal has too: one copy each.
    std::vector<DbcNode*>* shared = context.File().SharedReceiverList(receivers);
    signal.ShareReceivers(shared);
    if (allNodes) context.ReceiverTexts().Remember(key, shared);
    return allFound;
}

// The pieces of a signal line: the head before the ":" and the five pieces after it.
struct SignalHead {
    std::string_view name;
    std::string_view indicator;  // empty when the head has only two pieces
};
struct SignalBody {
    std::string_view layout;   // "start|length@orderType"
    std::string_view scaling;  // "(factor,offset)"
    std::string_view limits;   // "[minimum|maximum]"
    std::string_view unit;     // quoted
    std::string_view receivers;
    bool fourPieces = false;  // tolerant reading: the unit or the receivers were left out
};

// The key of the receiver text of a body with five pieces, its first slot asked for: the
// lookup comes last, when the slot is in the cache.
DbcReceiverTexts::Key ReceiverKeyOf(DbcReadContext& context, const SignalBody& body) {
    if (body.fourPieces) return {};
    const DbcReceiverTexts::Key key = DbcReceiverTexts::KeyOf(body.receivers);
    context.ReceiverTexts().PrefetchSlot(key);
    return key;
}

// Reads the pieces of a signal's body into the signal, which is attached whatever happens
// here; receiverKey is ReceiverKeyOf the body. Returns 0 for a bad layout, a bad number, or a
// receiver that names no node.
int ReadSignalPieces(DbcReadContext& context, SignalBody& body, DbcReceiverTexts::Key receiverKey,
                     DbcSignal& signal) {
    if (!ReadLayout(context, body.layout, signal)) {
        return context.Fail(kMalformedSignal, 12, "\n");
    }
    if (!ReadNumberPair(body.scaling, ',', ')', signal.Factor(), signal.Offset()) &&
        !ReadClampedPair(context, body.scaling, ',', ')', signal.Factor(), signal.Offset())) {
        signal.Factor().value = 0.0;
        signal.Offset().value = 0.0;
        return context.Fail("Check Factor or Offset inside signal section. ", 11);
    }
    // The slot has arrived meanwhile; the entry it leads to is asked for now.
    if (!body.fourPieces) context.ReceiverTexts().PrefetchEntry(receiverKey);
    if (!ReadNumberPair(body.limits, '|', ']', signal.Minimum(), signal.Maximum()) &&
        !ReadClampedPair(context, body.limits, '|', ']', signal.Minimum(), signal.Maximum())) {
        return context.Fail("Check Min or Max inside signal section. ", 11);
    }
    if (body.fourPieces) {
        // Four pieces: a quoted unit without receivers, or receivers without a unit.
        if (body.unit.front() == '"') {
            context.Tolerate("Signal without receivers, Vector__XXX taken. ");
        } else {
            body.receivers = body.unit;
            body.unit = {};
            context.Tolerate("Signal without unit, an empty unit taken. ");
        }
        receiverKey = DbcReceiverTexts::KeyOf(body.receivers);
    }
    signal.SetUnit(Unquoted(body.unit));
    if (!signal.Unit().empty()) signal.SetDescribed(true);
    // A receiver that names no node is a warning; reading goes on, but the statement reports
    // failure as its result.
    return LinkReceivers(context, receiverKey, signal) ? 1 : 0;
}

// Whether a text holds a backslash before a quote.
bool EscapesAQuote(std::string_view text) {
    // A search for the backslash first (memchr: almost no line has one at all).
    const char* p = text.data();
    const char* const end = p + text.size();
    while (const void* found = std::memchr(p, '\\', static_cast<size_t>(end - p))) {
        p = static_cast<const char*>(found) + 1;
        if (p < end && *p == '"') return true;
    }
    return false;
}

bool HasEscapedQuote(const DbcReadContext& context, std::string_view text) {
    return context.Tolerant() && EscapesAQuote(text);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The first byte after `at` that is no blank, or 0.
char NextNonBlank(std::string_view text, size_t at) {
    while (++at < text.size()) {
        if (!IsBlank(text[at])) return text[at];
    }
    return 0;
}

// A signal body with blanks where the grammar allows them and the split does not: none inside
// the scaling and the limits ("(1, 0)", "[0 | 255]"), one before them and before the unit where
// none was written ("+(1,0)[0|255]"), one after the unit ("\"x\"B"), none around the commas of
// the receivers ("B, C"). A body written the common way comes out as it was.
std::string SpacedSignalBody(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 4);
    int depth = 0;  // inside the scaling or the limits
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            // A quoted run as it was written, escaped quotes and all.
            i = AppendQuotedRunApart(text, i, true, out) - 1;
        } else if (c == '(' || c == '[') {
            if (!out.empty() && !IsBlank(out.back())) out += ' ';
            ++depth;
            out += c;
        } else if (c == ')' || c == ']') {
            depth = std::max(depth - 1, 0);
            out += c;
        } else if (IsBlank(c)) {
            const bool nearComma =
                (!out.empty() && out.back() == ',') || NextNonBlank(text, i) == ',';
            if (depth == 0 && !nearComma) out += c;
        } else {
            out += c;
        }
    }
    return out;
}

// The part after the ":" of a signal line, split as any line may be written: quoted pieces,
// a layout written with blanks inside, four pieces in tolerant reading.
int ReadSignalBody(DbcReadContext& context, std::string_view text, DbcSignal& signal) {
    // Tolerant reading takes blanks where the grammar allows them (the pieces below refer to
    // this text until the signal is read).
    std::string spaced;
    if (context.Tolerant()) {
        spaced = SpacedSignalBody(text);
        text = spaced;
    }
    Tokens& tokens = context.Scratch();
    // Tolerant reading keeps an escaped quote inside the unit ("deg\"C") as written, backslash
    // and all, as in comments; the described split pairs every quote (and the unit would
    // swallow the receivers).
    SplitQuoted(text, kWhite, HasEscapedQuote(context, text), tokens);
    // Tolerant reading also takes a line without receivers (or without unit): four pieces.
    const size_t fewest = context.Tolerant() ? 4 : 5;
    if (tokens.size() < fewest) {
        return context.Fail(kMalformedSignal, 12, "\n");
    }
    if (FindByte(tokens[0], '@') == std::string_view::npos && tokens.size() > fewest) {
        // "0|8 @1+": the layout was written with a blank inside; join the two pieces.
        const char* begin = tokens[0].data();
        const char* end = tokens[1].data() + tokens[1].size();
        tokens[0] = std::string_view(begin, static_cast<size_t>(end - begin));
        tokens.erase(tokens.begin() + 1);
    }
    std::string joined;
    if (FindByte(tokens[0], ' ') != std::string_view::npos ||
        FindByte(tokens[0], '\t') != std::string_view::npos) {
        for (char c : tokens[0]) {
            if (c != ' ' && c != '\t') joined += c;
        }
        tokens[0] = joined;
    }
    SignalBody body;
    body.layout = tokens[0];
    body.scaling = tokens[1];
    body.limits = tokens[2];
    body.unit = tokens[3];
    body.fourPieces = tokens.size() == 4;
    if (!body.fourPieces) body.receivers = tokens[4];
    return ReadSignalPieces(context, body, ReceiverKeyOf(context, body), signal);
}

// The body of a signal line cut at white space outside quoted runs, as SplitQuoted cuts it:
// false unless it has exactly five pieces and no ":" (which would make the line malformed).
bool CutBodyByteByByte(const char* p, const char* end, std::string_view (&pieces)[5]) {
    size_t count = 0;
    for (;;) {
        while (p < end && kWhite.Contains(*p)) ++p;
        if (p == end) break;
        if (count == 5) return false;
        const char* start = p;
        while (p < end && !kWhite.Contains(*p)) {
            const char c = *p++;
            if (c == ':') return false;
            if (c == '"') {
                // A quoted run ends at the next quote, blanks and all.
                while (p < end && *p != '"') {
                    if (*p++ == ':') return false;
                }
                if (p < end) ++p;
            }
        }
        pieces[count++] = std::string_view(start, static_cast<size_t>(p - start));
    }
    return count == 5;
}

// The same for a body of at most ByteMasks::kMaxBytes bytes, by bit masks of its separators.
bool CutBodyByMasks(const char* body, size_t bytes, std::string_view (&pieces)[5]) {
    const ByteMasks masks = MasksOf(body, bytes);
    if (masks.colon != 0) return false;
    const PieceBounds bounds = PiecesOf(masks.white & ~QuotedRuns(masks.quote), bytes);
    uint64_t firsts = bounds.firsts;
    uint64_t lasts = bounds.lasts;
    for (std::string_view& piece : pieces) {
        if (firsts == 0) return false;
        const int first = std::countr_zero(firsts);
        const int last = std::countr_zero(lasts);
        piece = std::string_view(body + first, static_cast<size_t>(last - first + 1));
        firsts &= firsts - 1;
        lasts &= lasts - 1;
    }
    return firsts == 0;
}

bool IsHeadBlank(char c) {
    return c == ' ' || c == '\t';
}

// Whether a layout piece has its "@" and no blank (which a quoted run inside it could hold):
// one pass over its few bytes.
bool IsJoinedLayout(std::string_view layout) {
    bool at = false;
    for (char c : layout) {
        if (IsHeadBlank(c)) return false;
        at |= c == '@';
    }
    return at;
}

// A line cut at its one ":" outside quoted runs; false when there are none or several.
bool CutOutsideQuotes(std::string_view line, std::string_view& head, std::string_view& body) {
    size_t colon = std::string_view::npos;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] != ':' || quoted) continue;
        if (colon != std::string_view::npos) return false;
        colon = i;
    }
    if (colon == std::string_view::npos || colon + 1 == line.size()) return false;
    head = line.substr(0, colon);
    body = line.substr(colon + 1);
    return true;
}

// Reads a signal line written the common way in one pass: one ":" in the whole line, a head of
// "SG_", a name and at most an indicator, a body of exactly five pieces whose layout has its
// "@". The pieces are those that splitting the line as below would give. False for any other
// form, which the general path then reads.
bool ScanCommonSignalLine(std::string_view line, SignalHead& head, SignalBody& body) {
    const char* p = line.data() + 3;  // after "SG_"
    const char* const end = line.data() + line.size();
    const auto headPiece = [&p, end]() {
        while (p < end && IsHeadBlank(*p)) ++p;
        const char* start = p;
        while (p < end && !IsHeadBlank(*p) && *p != ':') ++p;
        return std::string_view(start, static_cast<size_t>(p - start));
    };
    head.name = headPiece();
    head.indicator = headPiece();
    while (p < end && IsHeadBlank(*p)) ++p;
    // No name, no ":", or more than three pieces before it.
    if (head.name.empty() || p == end || *p != ':') return false;
    ++p;
    std::string_view pieces[5];
    const size_t bytes = static_cast<size_t>(end - p);
    if (bytes <= ByteMasks::kMaxBytes) {
        if (!CutBodyByMasks(p, bytes, pieces)) return false;
    } else if (!CutBodyByteByByte(p, end, pieces)) {
        return false;
    }
    if (!IsJoinedLayout(pieces[0])) return false;
    body.layout = pieces[0];
    body.scaling = pieces[1];
    body.limits = pieces[2];
    body.unit = pieces[3];
    body.receivers = pieces[4];
    body.fourPieces = false;
    return true;
}

// Whether tolerant reading takes the pieces of a body cut at its blanks as they are: the
// scaling, limits and unit bracketed and quoted as they should be, and no escaped quote in the
// unit (where a quoted run may hide a blank) or after it. Otherwise the body is spaced out and
// split again (ReadSignalBody).
bool TakesTheCutAsItIs(const SignalBody& body) {
    const auto enclosed = [](std::string_view piece, char open, char close) {
        return piece.size() >= 2 && piece.front() == open && piece.back() == close;
    };
    // The unit and the receivers lie one after the other in the line.
    const char* const from = body.unit.data();
    const char* const end = body.receivers.data() + body.receivers.size();
    return enclosed(body.scaling, '(', ')') && enclosed(body.limits, '[', ']') &&
           enclosed(body.unit, '"', '"') &&
           !EscapesAQuote(std::string_view(from, static_cast<size_t>(end - from)));
}

// A new signal named by the head, attached to the message (listed in it when the message's
// signal lines end).
DbcSignal& AttachNewSignal(DbcReadContext& context, DbcMessage& message, const SignalHead& head) {
    DbcSignalPtr signal = context.File().MakeSignal();
    signal->SetName(head.name);
    ReadMultiplexing(context, head.indicator, *signal);
    signal->SetMessage(&message);
    context.File().ListSignal(signal.get());
    return context.PendSignal(message, std::move(signal));
}

// Tolerant reading: an identifier or size the fields cannot hold as written, and an identifier
// that an earlier message has already (as written or after clamping), each give a warning.
void CheckMessageNumbers(DbcReadContext& context, const Tokens& tokens, const DbcMessage& message) {
    CheckFieldNumber(context, "Message id", tokens[1], 0, 0xFFFFFFFF, message.RawId());
    CheckFieldNumber(context, "Message size", tokens[3], 0, 255, message.Size());
    if (context.File().MessageByRawId(message.RawId()) != nullptr) {
        context.Tolerate("Message id " + std::to_string(message.RawId()) +
                         " given twice, the first message is found by it. ");
    }
}

}  // namespace

int ReadMessage(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    Split(context.Line(), kMessageSeparators, tokens);
    // Tolerant reading takes a message line without transmitter as sent by no node.
    const bool withoutTransmitter = context.Tolerant() && tokens.size() == 4;
    if (tokens.size() < 5 && !withoutTransmitter) {
        return context.Fail("Malformed message section. ", 11);
    }
    NetConfigDbcFile& file = context.File();
    auto message = std::make_unique<DbcMessage>();
    message->SetRawId(ToUnsigned(tokens[1]));
    message->SetName(std::string(tokens[2]));
    message->SetSize(static_cast<uint8_t>(ToUnsigned(tokens[3])));
    if (context.Tolerant()) CheckMessageNumbers(context, tokens, *message);
    const std::string_view transmitter = withoutTransmitter ? kNoNode : tokens[4];
    if (withoutTransmitter) context.Tolerate("Message without transmitter, Vector__XXX taken. ");
    if (DbcNode* node = context.NodeNamed(transmitter)) {
        message->SetTransmitter(node);
        message->Transmitters().push_back(node);
        node->TxMessages().push_back(message.get());
    } else if (transmitter != kNoNode) {
        context.Warn("Missing node definition: ", transmitter);
    }
    file.AddMessage(std::move(message));
    return 1;
}

// A signal line cut at its ":" into head and body; false unless there is exactly one. Tolerant
// reading also takes a line whose other ":" lie inside quoted runs (a unit "h:min", as editors
// write it).
bool CutSignalLine(DbcReadContext& context, std::string_view& head, std::string_view& body) {
    const std::string_view line = context.Line();
    Tokens& parts = context.SecondScratch();
    Split(line, kColon, parts);
    if (parts.size() == 2) {
        head = parts[0];
        body = parts[1];
        return true;
    }
    return context.Tolerant() && CutOutsideQuotes(line, head, body);
}

int ReadSignal(DbcReadContext& context) {
    NetConfigDbcFile& file = context.File();
    if (file.Messages().empty()) {
        return context.Fail("Signal section has to be after message section. ", 12);
    }
    DbcMessage& message = *file.Messages().back();
    SignalHead head;
    SignalBody body;
    if (ScanCommonSignalLine(context.Line(), head, body) &&
        (!context.Tolerant() || TakesTheCutAsItIs(body))) {
        const DbcReceiverTexts::Key receiverKey = ReceiverKeyOf(context, body);
        DbcSignal& signal = AttachNewSignal(context, message, head);
        return ReadSignalPieces(context, body, receiverKey, signal);
    }
    std::string_view headText;
    std::string_view bodyText;
    if (!CutSignalLine(context, headText, bodyText)) {
        return context.Fail(kMalformedSignal, 12, "\n");
    }
    Tokens& headTokens = context.Scratch();
    Split(headText, kBlankTab, headTokens);
    if (headTokens.size() < 2) {
        return context.Fail(kMalformedSignal, 12, "\n");
    }
    head.name = headTokens[1];
    head.indicator = headTokens.size() > 2 ? headTokens[2] : std::string_view();
    return ReadSignalBody(context, bodyText, AttachNewSignal(context, message, head));
}

int ReadMessageTransmitters(DbcReadContext& context) {
    Tokens& tokens = context.Scratch();
    SplitQuoted(context.Line(), kTransmitterSeparators, tokens);
    if (tokens.size() < 3) return context.Fail("Check Dbc Message Transmitters. ", 13);
    NetConfigDbcFile& file = context.File();
    DbcMessage* message = file.MessageByRawId(ToUnsigned(tokens[1]));
    if (!message) {
        context.Warn("Message message definition: ", tokens[1]);
        return 1;
    }
    const std::string_view own = message->Transmitter()
                                     ? std::string_view(message->Transmitter()->Name())
                                     : std::string_view();
    for (size_t i = 2; i < tokens.size(); ++i) {
        if (message->Transmitter() && tokens[i] == own) continue;
        if (DbcNode* node = context.NodeNamed(tokens[i])) {
            message->Transmitters().push_back(node);
        } else {
            context.Warn("Missing node definition: ", tokens[i]);
        }
    }
    return 1;
}

}  // namespace qm::dbc
