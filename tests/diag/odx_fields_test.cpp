// Message layouts of ODX read as written, through the message codec: fields, lengths, negative
// responses, end markers, multiplexers, the message index and the coded forms of numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "diag/diag_codec.h"
#include "diag/message_index.h"
#include "odx_document.h"

namespace qm::diag::test {

// A message's bytes (hex, blanks ignored), its decoded form and the problem the decode names.
struct DecodeCase {
    const CUDSFunction* function;
    const char* hex;
    std::string_view decoded;
    const char* problem;
};

inline void ExpectDecodes(const std::vector<DecodeCase>& cases) {
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.hex);
        std::string problem;
        EXPECT_EQ(Render(DecodeHex(*c.function, c.hex, &problem)), c.decoded);
        EXPECT_EQ(problem, c.problem);
    }
}

namespace odx_fields {
namespace {

using namespace odx;

std::string Nrc(int byte, const std::vector<int>& codes) {
    std::string values;
    for (int code : codes) values += "<CODED-VALUE>" + std::to_string(code) + "</CODED-VALUE>";
    return Param("NRC-CONST", "NRC", byte,
                 "<CODED-VALUES>" + values + "</CODED-VALUES>" + Coded("A_UINT32", 8));
}
std::string EnvData(const std::string& id, const std::string& params, const std::string& tail) {
    std::string text = Message("ENV-DATA", id, params);
    return text.insert(text.size() - std::string("</ENV-DATA>").size(), tail);
}
std::string Negative(const std::string& element, const std::string& id, int code) {
    return Message(element, id,
                   Const("SID", 0, 0x7F) +
                       Param("RESERVED", "RQ", 1, "<BIT-LENGTH>8</BIT-LENGTH>") + Nrc(2, {code}));
}

std::string Document() {
    const std::string dops =
        Dop("u8", Coded("A_UINT32", 8)) + Dop("u16", Coded("A_UINT32", 16)) +
        Dop("text",
            "<DIAG-CODED-TYPE BASE-DATA-TYPE=\"A_ASCIISTRING\" TERMINATION=\"ZERO\" "
            "xsi:type=\"MIN-MAX-LENGTH-TYPE\"><MAX-LENGTH>6</MAX-LENGTH>"
            "<MIN-LENGTH>2</MIN-LENGTH></DIAG-CODED-TYPE>") +
        Dop("blob", Coded("A_BYTEFIELD", 8, "LEADING-LENGTH-INFO-TYPE")) +
        Dop("keyed",
            "<DIAG-CODED-TYPE BASE-DATA-TYPE=\"A_BYTEFIELD\" "
            "xsi:type=\"PARAM-LENGTH-INFO-TYPE\"><LENGTH-KEY-REF ID-REF=\"p.len\"/>"
            "</DIAG-CODED-TYPE>");
    const std::string dictionary =
        "<DIAG-DATA-DICTIONARY-SPEC><DTC-DOPS><DTC-DOP ID=\"dtcs\"><SHORT-NAME>dtcs</SHORT-NAME>" +
        Coded("A_UINT32", 24) +
        "<DTCS><DTC ID=\"d1\"><SHORT-NAME>P1234</SHORT-NAME><TROUBLE-CODE>1193046</TROUBLE-CODE>"
        "<TEXT>Pump</TEXT></DTC></DTCS></DTC-DOP></DTC-DOPS>"
        "<ENV-DATA-DESCS><ENV-DATA-DESC ID=\"env\"><SHORT-NAME>env</SHORT-NAME>"
        "<PARAM-SNREF SHORT-NAME=\"Dtc\"/><ENV-DATAS>" +
        EnvData("all", Value("Km", 0, "u16"), "<ALL-VALUE/>") +
        "</ENV-DATAS><ENV-DATA-REFS><ENV-DATA-REF ID-REF=\"pump\"/></ENV-DATA-REFS>"
        "</ENV-DATA-DESC></ENV-DATA-DESCS><DATA-OBJECT-PROPS>" +
        dops + "</DATA-OBJECT-PROPS><STRUCTURES>" +
        Message("STRUCTURE", "item", Value("A", 0, "u8") + Value("B", 1, "u8")) +
        Message("STRUCTURE", "pair", Value("X", 0, "u8")) +
        "</STRUCTURES><END-OF-PDU-FIELDS><END-OF-PDU-FIELD ID=\"rest\"><SHORT-NAME>rest"
        "</SHORT-NAME><BASIC-STRUCTURE-REF ID-REF=\"item\"/></END-OF-PDU-FIELD></END-OF-PDU-FIELDS>"
        "<STATIC-FIELDS><STATIC-FIELD ID=\"fixed\"><SHORT-NAME>fixed</SHORT-NAME>"
        "<BASIC-STRUCTURE-REF ID-REF=\"item\"/><FIXED-NUMBER-OF-ITEMS>2</FIXED-NUMBER-OF-ITEMS>"
        "<ITEM-BYTE-SIZE>3</ITEM-BYTE-SIZE></STATIC-FIELD></STATIC-FIELDS>"
        "<DYNAMIC-LENGTH-FIELDS><DYNAMIC-LENGTH-FIELD ID=\"dyn\"><SHORT-NAME>dyn</SHORT-NAME>"
        "<BASIC-STRUCTURE-REF ID-REF=\"pair\"/><OFFSET>1</OFFSET><DETERMINE-NUMBER-OF-ITEMS>"
        "<BYTE-POSITION>0</BYTE-POSITION><DATA-OBJECT-PROP-REF ID-REF=\"u8\"/>"
        "</DETERMINE-NUMBER-OF-ITEMS></DYNAMIC-LENGTH-FIELD></DYNAMIC-LENGTH-FIELDS>"
        "<ENV-DATAS>" +
        EnvData("pump", Value("Volt", 0, "u8"),
                "<DTC-VALUES><DTC-VALUE>1193046</DTC-VALUE></DTC-VALUES>") +
        "</ENV-DATAS>" + "</DIAG-DATA-DICTIONARY-SPEC>";
    const std::string comms =
        Service("Fields", PositiveResponseRef("pr.fields") +
                              "<NEG-RESPONSE-REFS><NEG-RESPONSE-REF ID-REF=\"nr.fields\"/>"
                              "</NEG-RESPONSE-REFS>") +
        Service("Lengths") + Service("Dtc", PositiveResponseRef("pr.dtc"));
    const std::string requests =
        Message("REQUEST", "rq.Fields", Const("SID", 0, 0x31)) +
        Message("REQUEST", "rq.Dtc", Const("SID", 0, 0x19)) +
        Message("REQUEST", "rq.Lengths",
                Const("SID", 0, 0x2E) +
                    Param("LENGTH-KEY", "Len", 1, "<DOP-REF ID-REF=\"u8\"/>", " ID=\"p.len\"") +
                    Value("Text", -1, "text") +
                    // A byte field's default is its bytes in hex.
                    Param("VALUE", "Blob", -1,
                          "<DOP-REF ID-REF=\"blob\"/>"
                          "<PHYSICAL-DEFAULT-VALUE>00</PHYSICAL-DEFAULT-VALUE>") +
                    Value("Keyed", -1, "keyed"));
    const std::string positives =
        Message("POS-RESPONSE", "pr.fields",
                Const("SID", 0, 0x71) + Value("Fixed", 1, "fixed") + Value("Dyn", 7, "dyn") +
                    Value("Rest", -1, "rest")) +
        Message("POS-RESPONSE", "pr.dtc",
                Const("SID", 0, 0x59) + Value("Dtc", 1, "dtcs") + Value("Env", -1, "env"));
    const std::string negatives =
        Message("NEG-RESPONSE", "nr.fields",
                Const("SID", 0, 0x7F) + Const("RQ", 1, 0x31) + Nrc(2, {0x12, 0x31}));
    return BaseVariantDocument(
        "Fields",
        dictionary + "<DIAG-COMMS>" + comms + "</DIAG-COMMS><REQUESTS>" + requests +
            "</REQUESTS><POS-RESPONSES>" + positives + "</POS-RESPONSES><NEG-RESPONSES>" +
            negatives + "</NEG-RESPONSES><GLOBAL-NEG-RESPONSES>" +
            Negative("GLOBAL-NEG-RESPONSE", "GBusy", 0x21) +
            Negative("GLOBAL-NEG-RESPONSE", "GKeep", 0x22) + "</GLOBAL-NEG-RESPONSES>",
        R"(<ECU-VARIANTS><ECU-VARIANT ID="variant"><SHORT-NAME>Variant</SHORT-NAME><GLOBAL-NEG-RESPONSES>)" +
            Negative("GLOBAL-NEG-RESPONSE", "GOwn", 0x78) +
            R"(</GLOBAL-NEG-RESPONSES><PARENT-REFS><PARENT-REF ID-REF="base" xsi:type="BASE-VARIANT-REF">
<NOT-INHERITED-GLOBAL-NEG-RESPONSES><NOT-INHERITED-GLOBAL-NEG-RESPONSE>
<GLOBAL-NEG-RESPONSE-SNREF SHORT-NAME="GBusy"/></NOT-INHERITED-GLOBAL-NEG-RESPONSE>
</NOT-INHERITED-GLOBAL-NEG-RESPONSES></PARENT-REF></PARENT-REFS>
</ECU-VARIANT></ECU-VARIANTS>)");
}

using OdxFields = AsWrittenSuite<Document>;

TEST_F(OdxFields, MessagesDecodeWithEveryFieldKind) {
    const CUDSFunction& fields = *Service("Fields").positiveResponses.front();
    const CUDSFunction& dtc = *Service("Dtc").positiveResponses.front();
    const CUDSFunction& lengths = *Service("Lengths").requests.front();
    ExpectDecodes({
        // Static items of three bytes; the dynamic field counts its items first; the rest follows.
        {&fields, "71 0102FF 0304FF 02 AA BB 0506 0708",
         "SID=71 Fixed[A=1 B=2|A=3 B=4] Dyn[X=AA|X=BB] Rest[A=5 B=6|A=7 B=8]", ""},
        {&fields, "71 0102FF 0304FF 00 0506", "SID=71 Fixed[A=1 B=2|A=3 B=4] Dyn Rest[A=5 B=6]",
         ""},
        {&fields, "71 0102FF 0304FF 03 AA", "SID=71 Fixed[A=1 B=2|A=3 B=4] Dyn[X=AA] Rest",
         "parameter 'Dyn': 3 items announced, 1 in the message"},
        {&fields, "71 0102FF 03", "SID=71 Fixed[A=1 B=2]",
         "parameter 'Fixed': 2 items expected, 1 in the message"},
        // The environment data of all DTCs, then the DTC's own.
        {&dtc, "59 123456 0102 07",
         "SID=59 Dtc=123456'P1234 - 1193046 : Pump' Env{all{Km=102} pump{Volt=7}}", ""},
        {&dtc, "59 000001 0102", "SID=59 Dtc=1 Env{all{Km=102}}", ""},
        // Zero-terminated text, a leading length, a length key in bits.
        {&lengths, "2E 10 414200 03C0FFEE 1234", "SID=2E Len=10 Text=\"AB\" Blob=C0FFEE Keyed=1234",
         ""},
        {&lengths, "2E 08 414243444546 00 12", "SID=2E Len=8 Text=\"ABCDEF\" Blob= Keyed=12", ""},
        {&lengths, "2E 08 4100 00 12", "SID=2E Len=8",
         "parameter 'Text': 1 bytes, at least 2 expected"},
        {&lengths, "2E 08 414200 05C0", "SID=2E Len=8 Text=\"AB\"",
         "parameter 'Blob': its leading length gives 5 bytes, the message has 1 left"},
        {&lengths, "2E 20 414200 00 12", "SID=2E Len=20 Text=\"AB\" Blob=",
         "parameter 'Keyed': its length key gives 32 bits, the message has 1 bytes left"},
    });
}

TEST_F(OdxFields, VariableLengthsEncodeAsTheyDecode) {
    const CUDSFunction& lengths = *Service("Lengths").requests.front();
    const std::vector<EncodeValuesCase> cases = {
        {{{"Text", "AB"}, {"Blob", "0xC0FFEE"}, {"Keyed", "0x1234"}},
         "2E 10 41 42 00 03 C0 FF EE 12 34"},
        // At its maximum the text has no terminator; the blob left out is its default.
        {{{"Text", "ABCDEF"}, {"Keyed", "0x12"}}, "2E 08 41 42 43 44 45 46 01 00 12"},
        {{{"Text", "A"}}, "parameter 'Text': 1 bytes, at least 2"},
        {{{"Text", "ABCDEFG"}}, "parameter 'Text': 7 bytes, at most 6"},
        {{}, "missing parameter 'Text' (at least 2 bytes)"},
    };
    ExpectEncodes(lengths, cases);
    // What encodes decodes without a problem.
    for (const EncodeValuesCase& c : cases) {
        if (c.bytesOrError.rfind("2E", 0) != 0) continue;
        std::string problem;
        DecodeHex(lengths, c.bytesOrError, &problem);
        EXPECT_EQ(problem, "") << c.bytesOrError;
    }
}

// A trouble code its DTC-DOP does not list still fits whole, as a fully named one does.
TEST_F(OdxFields, AnUnlistedTroubleCodeStillFitsWhole) {
    const CUDSFunction& dtc = *Service("Dtc").positiveResponses.front();
    for (const char* hex : {"59 123456 0102 07", "59 000001 0102"})
        EXPECT_EQ(DecodeFitHex(dtc, hex), 2) << hex;
}

TEST_F(OdxFields, NegativeResponsesAcceptEveryListedCode) {
    const CUDSFunction& negative = *Service("Fields").negativeResponses.front();
    for (const auto& [hex, score] : std::vector<std::pair<const char*, int64_t>>{
             {"7F 31 31", 24}, {"7F 31 12", 24}, {"7F 31 22", -1}, {"7F 22 31", -1}})
        EXPECT_EQ(MatchHex(negative, hex), score) << hex;
    EXPECT_EQ(Render(DecodeHex(negative, "7F 31 12")),
              "SID=7F RQ=31 NRC=12'subFunctionNotSupported'");
}

TEST_F(OdxFields, GlobalNegativeResponsesAreInherited) {
    const auto names = [](CECU& ecu) {
        std::string list;
        for (uint64_t i = 0; i < ecu.GetGlobalNegativeResponseCount(); ++i)
            list +=
                std::string(list.empty() ? "" : " ") + ecu.GetGlobalNegativeResponse(i)->GetName();
        return list;
    };
    EXPECT_EQ(names(Ecu("Base")), "GBusy GKeep");
    // Inherited first; the one the parent reference excludes stays out.
    EXPECT_EQ(names(Ecu("Variant")), "GKeep GOwn");
    const CUDSFunction& own = *Ecu("Variant").globalNegativeResponses.back();
    EXPECT_EQ(MatchHex(own, "7F 10 78"), 16);
    EXPECT_EQ(Render(DecodeHex(own, "7F 10 78")),
              "SID=7F RQ=10 NRC=78'requestCorrectlyReceived-ResponsePending'");
    // The described build reads none.
    CDiagnoseLib exact;
    exact.LoadOdxFile(file_->Path().c_str(), 1);
    for (const auto& ecu : exact.Ecus()) EXPECT_TRUE(ecu->globalNegativeResponses.empty());
}

}  // namespace
}  // namespace odx_fields

// End-marker fields, multiplexers and the index of messages by their constant leading bytes.
namespace odx_item_fields {
namespace {

using namespace odx;

std::string EndMarkerField(const std::string& id, const std::string& dop, int termination) {
    return "<DYNAMIC-ENDMARKER-FIELD ID=\"" + id + "\"><SHORT-NAME>" + id +
           "</SHORT-NAME><BASIC-STRUCTURE-REF ID-REF=\"entry\"/><DYN-END-DOP-REF ID-REF=\"" + dop +
           "\"><TERMINATION-VALUE>" + std::to_string(termination) +
           "</TERMINATION-VALUE></DYN-END-DOP-REF></DYNAMIC-ENDMARKER-FIELD>";
}

// "List": items ended by FF or 0000; "Mux": a multiplexer; "Read"/"ReadOther": one service
// id, two identifiers; "Any": no constant.
std::string Document() {
    const std::string dictionary =
        "<DIAG-DATA-DICTIONARY-SPEC><DATA-OBJECT-PROPS>" + Dop("u8", Coded("A_UINT32", 8)) +
        Dop("u16", Coded("A_UINT32", 16)) + "</DATA-OBJECT-PROPS><STRUCTURES>" +
        Message("STRUCTURE", "entry", Value("Id", 0, "u8") + Value("Level", 1, "u8")) +
        Message("STRUCTURE", "small", Value("S", 0, "u8")) +
        Message("STRUCTURE", "wide", Value("W", 0, "u16")) +
        "</STRUCTURES><DYNAMIC-ENDMARKER-FIELDS>" + EndMarkerField("byEnd", "u8", 255) +
        EndMarkerField("byWord", "u16", 0) + EndMarkerField("broken", "nowhere", 0) +
        "</DYNAMIC-ENDMARKER-FIELDS><MUXS><MUX ID=\"mux\"><SHORT-NAME>mux</SHORT-NAME>"
        "<BYTE-POSITION>1</BYTE-POSITION><SWITCH-KEY><BYTE-POSITION>0</BYTE-POSITION>"
        "<DATA-OBJECT-PROP-REF ID-REF=\"u8\"/></SWITCH-KEY><DEFAULT-CASE><SHORT-NAME>Other"
        "</SHORT-NAME><STRUCTURE-REF ID-REF=\"small\"/></DEFAULT-CASE><CASES><CASE><SHORT-NAME>"
        "Wide</SHORT-NAME><STRUCTURE-REF ID-REF=\"wide\"/><LOWER-LIMIT>2</LOWER-LIMIT>"
        "<UPPER-LIMIT>3</UPPER-LIMIT></CASE></CASES></MUX></MUXS></DIAG-DATA-DICTIONARY-SPEC>";
    const std::string comms = Service("List", PositiveResponseRef("pr.List")) +
                              Service("Mux", PositiveResponseRef("pr.Mux")) +
                              Service("Read", PositiveResponseRef("pr.Read")) +
                              Service("ReadOther", PositiveResponseRef("pr.ReadOther")) +
                              Service("Echo", PositiveResponseRef("pr.Echo")) + Service("Any");
    const std::string requests =
        Message("REQUEST", "rq.List", Const("SID", 0, 0x31)) +
        Message("REQUEST", "rq.Mux", Const("SID", 0, 0x32)) +
        Message("REQUEST", "rq.Read", Const("SID", 0, 0x22) + Const("DID", 1, 0xF190, 16)) +
        Message("REQUEST", "rq.ReadOther", Const("SID", 0, 0x22) + Const("DID", 1, 0xF191, 16)) +
        Message("REQUEST", "rq.Echo", Const("SID", 0, 0x2F) + Value("N", 1, "u8")) +
        Message("REQUEST", "rq.Any", Value("Free", 0, "u8"));
    const std::string positives =
        Message("POS-RESPONSE", "pr.List",
                Const("SID", 0, 0x71) + Value("Events", 1, "byEnd") + Value("Pairs", -1, "byWord") +
                    Value("Tail", -1, "u8")) +
        Message("POS-RESPONSE", "pr.Mux",
                Const("SID", 0, 0x72) + Value("Data", 1, "mux") + Value("Broken", -1, "broken")) +
        Message("POS-RESPONSE", "pr.Read",
                Const("SID", 0, 0x62) + Const("DID", 1, 0xF190, 16) + Value("Data", 3, "u8")) +
        Message("POS-RESPONSE", "pr.ReadOther",
                Const("SID", 0, 0x62) + Const("DID", 1, 0xF191, 16) + Value("Data", 3, "u16")) +
        // Echoes the request's value, which no request template knows.
        Message("POS-RESPONSE", "pr.Echo",
                Const("SID", 0, 0x6F) +
                    Param("MATCHING-REQUEST-PARAM", "N", 1,
                          "<REQUEST-BYTE-POS>1</REQUEST-BYTE-POS><BYTE-LENGTH>1</BYTE-LENGTH>") +
                    Value("Data", 2, "u8"));
    return BaseVariantDocument(
        "Items", dictionary + "<DIAG-COMMS>" + comms + "</DIAG-COMMS><REQUESTS>" + requests +
                     "</REQUESTS><POS-RESPONSES>" + positives + "</POS-RESPONSES>");
}

using OdxItemFields = AsWrittenSuite<Document>;

TEST_F(OdxItemFields, EndMarkerAndMultiplexerItemsDecode) {
    const CUDSFunction& list = *Service("List").positiveResponses.front();
    const CUDSFunction& mux = *Service("Mux").positiveResponses.front();
    ExpectDecodes({
        // Items until the one-byte mark, then until the two-byte mark, then the rest.
        {&list, "71 0102 0304 FF 0506 0000 09",
         "SID=71 Events[Id=1 Level=2|Id=3 Level=4] Pairs[Id=5 Level=6] Tail=9", ""},
        {&list, "71 FF 0000 09", "SID=71 Events Pairs Tail=9", ""},
        // A mark of the wrong width is an item; a two-byte mark needs both bytes.
        {&list, "71 FF 00FF 0000 07", "SID=71 Events Pairs[Id=0 Level=FF] Tail=7", ""},
        // The message may end instead of the mark.
        {&list, "71 0102", "SID=71 Events[Id=1 Level=2] Pairs", ""},
        {&list, "71 0102 03", "SID=71 Events[Id=1 Level=2] Pairs Tail=3",
         "parameter 'Events': an item ends with the message, before the termination value"},
        // The switch key picks the case; other keys take the default case.
        {&mux, "72 02 1234", "SID=72 Data{MuxSwitchKey=2'Wide' Case Wide{W=1234}}", ""},
        {&mux, "72 07 AB", "SID=72 Data{MuxSwitchKey=7 Case Other{S=AB}}", ""},
    });
}

TEST_F(OdxItemFields, EndMarkerFieldEncodesItsMarkAndWarnsWhenUnresolved) {
    const CUDSFunction& list = *Service("List").positiveResponses.front();
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(EncodeFunction(list, {{"Tail", "9"}}, bytes, error)) << error;
    EXPECT_EQ(Hex(bytes, " "), "71 FF 00 00 09");
    ASSERT_TRUE(EncodeFunction(list, {{"Events", "0x0102FF"}, {"Tail", "9"}}, bytes, error));
    EXPECT_EQ(Render(DecodeFunction(list, bytes.data(), bytes.size())),
              "SID=71 Events[Id=1 Level=2] Pairs Tail=9");
    EXPECT_THAT(NanoXML::MessageLog(),
                HasSubstr("unresolved DYNAMIC-ENDMARKER-FIELD entry: \"broken\""))
        << NanoXML::MessageLog();
    // The described build leaves the field unhandled, as before.
    CDiagnoseLib exact;
    exact.LoadOdxFile(file_->Path().c_str(), 1);
    auto& events = *dynamic_cast<CUDSService&>(*ServiceOf(EcuNamed(exact, "Base"), "List"))
                        .positiveResponses.front()
                        ->params[1];
    EXPECT_NE(events.lengthKind, CParam::kLengthEndMarker);
}

// The index must choose what trying every message chooses.
TEST_F(OdxItemFields, IndexFindsWhatEveryMessageTriedFinds) {
    const MessageIndex index(Ecu());
    EXPECT_EQ(index.Messages().size(), 11u);
    struct Case {
        const char* hex;
        const char* service;  // "" for no match
        const char* kind;
    };
    for (const Case& c : std::vector<Case>{{"22 F1 90", "Read", "request"},
                                           {"22 F1 91", "ReadOther", "request"},
                                           {"62 F1 91 00 01", "ReadOther", "positiveResponse"},
                                           {"62 F1 90 05", "Read", "positiveResponse"},
                                           {"71 FF 00 00 01", "List", "positiveResponse"},
                                           {"6F 05 AA", "Echo", "positiveResponse"},
                                           {"22 F1", "", ""},
                                           {"62 F1 92 00", "", ""}}) {
        SCOPED_TRACE(c.hex);
        const std::vector<uint8_t> bytes = BytesOfHex(c.hex);
        int64_t score = 0;
        const IndexedMessage* best = index.Best(bytes.data(), bytes.size(), &score);
        // Every message tried in the ECU's order: the first of the highest score.
        const IndexedMessage* tried = nullptr;
        int64_t triedScore = 0;
        for (uint32_t ordinal = 0; ordinal < index.Messages().size(); ++ordinal) {
            for (const IndexedMessage& message : index.Messages()) {
                if (message.ordinal != ordinal) continue;
                const int64_t own =
                    MatchFunction(*message.function, bytes.data(), bytes.size(), {});
                if (own > triedScore) {
                    triedScore = own;
                    tried = &message;
                }
            }
        }
        EXPECT_EQ(best, tried);
        EXPECT_EQ(score, triedScore);
        EXPECT_EQ(best ? std::string(best->service->GetName()) : "", c.service);
        EXPECT_EQ(best ? std::string(best->kind) : "", c.kind);
    }
    EXPECT_EQ(index.ServiceWithId(0x22), ServiceOf(&Ecu(), "Read"));
    EXPECT_EQ(index.ServiceWithId(0x10), nullptr);
}

TEST(LeadingConstantBytes, StopAtTheFirstByteNoConstantOwns) {
    CUDSFunction function;
    const auto add = [&function](int byte, int bits, const char* type, const char* value,
                                 int bitPosition = 0) {
        auto param = std::make_unique<CParam>();
        param->bytePosition = byte;
        param->bitPosition = bitPosition;
        param->bitLength = bits;
        param->type = type;
        param->valueStr = value;
        param->baseDataType = "A_UINT32";
        function.AddParam(std::move(param));
    };
    add(0, 8, "CODED-CONST", "49");
    add(1, 16, "CODED-CONST", "258");
    add(3, 4, "CODED-CONST", "1");  // half a byte: compared, but no key byte
    add(4, 8, "CODED-CONST", "7");  // after the gap
    uint8_t key[MessageIndex::kMaxKeyBytes];
    ASSERT_EQ(LeadingConstantBytes(function, key), 3u);
    EXPECT_EQ(Hex(std::vector<uint8_t>(key, key + 3), " "), "31 01 02");
    function.params[0]->type = "VALUE";  // no constant at byte 0: no key
    EXPECT_EQ(LeadingConstantBytes(function, key), 0u);
}

}  // namespace
}  // namespace odx_item_fields

namespace odx_coded_forms {
namespace {

using namespace odx;

std::string Encoded(const std::string& type, int bits, const std::string& encoding) {
    std::string coded = Coded(type, bits);
    return coded.insert(std::string("<DIAG-CODED-TYPE").size(),
                        " BASE-TYPE-ENCODING=\"" + encoding + "\"");
}

std::string Scale(const char* lower, const char* upper, int offset, int factor, int divisor = 1) {
    return std::string("<COMPU-SCALE>") + lower + upper +
           "<COMPU-RATIONAL-COEFFS><COMPU-NUMERATOR><V>" + std::to_string(offset) + "</V><V>" +
           std::to_string(factor) + "</V></COMPU-NUMERATOR>" +
           (divisor == 1
                ? ""
                : "<COMPU-DENOMINATOR><V>" + std::to_string(divisor) + "</V></COMPU-DENOMINATOR>") +
           "</COMPU-RATIONAL-COEFFS></COMPU-SCALE>";
}

// A separation time as UDS codes it: 0-127 ms (in microseconds here), 100-900 us at F1-F9.
std::string PiecewiseDop() {
    return "<DATA-OBJECT-PROP ID=\"stmin\"><SHORT-NAME>stmin</SHORT-NAME><COMPU-METHOD>"
           "<CATEGORY>SCALE-LINEAR</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>" +
           Scale("<LOWER-LIMIT>0</LOWER-LIMIT>", "<UPPER-LIMIT>127</UPPER-LIMIT>", 0, 1000) +
           // A lone limit holds its one value: 128 only, not everything from 128 on.
           Scale("<LOWER-LIMIT>128</LOWER-LIMIT>", "", -127, 1) +
           Scale("<LOWER-LIMIT INTERVAL-TYPE=\"OPEN\">240</LOWER-LIMIT>",
                 "<UPPER-LIMIT>249</UPPER-LIMIT>", -24000, 100) +
           "</COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>" + Coded("A_UINT32", 8) +
           "</DATA-OBJECT-PROP>";
}

// A characteristic curve: the square root, interpolated between its points.
std::string CurveDop() {
    std::string points;
    for (int y = 0; y <= 3; ++y) {
        points += "<COMPU-SCALE><LOWER-LIMIT>" + std::to_string(y * y) +
                  "</LOWER-LIMIT><COMPU-CONST><V>" + std::to_string(y) +
                  "</V></COMPU-CONST></COMPU-SCALE>";
    }
    return "<DATA-OBJECT-PROP ID=\"curve\"><SHORT-NAME>curve</SHORT-NAME><COMPU-METHOD>"
           "<CATEGORY>TAB-INTP</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>" +
           points + "</COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>" +
           Coded("A_UINT32", 8) + "</DATA-OBJECT-PROP>";
}

// A speed in whole km/h from tenths.
std::string SpeedDop() {
    return "<DATA-OBJECT-PROP ID=\"speed\"><SHORT-NAME>speed</SHORT-NAME><COMPU-METHOD>"
           "<CATEGORY>LINEAR</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>" +
           Scale("", "", 0, 1, 10) + "</COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>" +
           Coded("A_UINT32", 8) + "<PHYSICAL-TYPE BASE-DATA-TYPE=\"A_INT32\"/></DATA-OBJECT-PROP>";
}

// A text table with a default text; ON covers 1-3 and encodes as 2, the default as FF.
std::string StateDop() {
    const auto entry = [](const char* limits, const char* text, const char* inverse) {
        return std::string("<COMPU-SCALE>") + limits + "<COMPU-INVERSE-VALUE><V>" + inverse +
               "</V></COMPU-INVERSE-VALUE><COMPU-CONST><VT>" + text + "</VT></COMPU-CONST>" +
               "</COMPU-SCALE>";
    };
    return "<DATA-OBJECT-PROP ID=\"state\"><SHORT-NAME>state</SHORT-NAME><COMPU-METHOD>"
           "<CATEGORY>TEXTTABLE</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>" +
           entry("<LOWER-LIMIT>0</LOWER-LIMIT>", "OFF", "0") +
           entry("<LOWER-LIMIT>1</LOWER-LIMIT><UPPER-LIMIT>3</UPPER-LIMIT>", "ON", "2") +
           "</COMPU-SCALES><COMPU-DEFAULT-VALUE><VT>UNKNOWN</VT><COMPU-INVERSE-VALUE><V>255</V>"
           "</COMPU-INVERSE-VALUE></COMPU-DEFAULT-VALUE></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>" +
           Coded("A_UINT32", 8) + "</DATA-OBJECT-PROP>";
}

std::string Document() {
    const std::string dops =
        SpeedDop() + StateDop() + CurveDop() + PiecewiseDop() +
        Dop("bcd", Encoded("A_UINT32", 16, "BCD-P")) +
        Dop("bcdu", Encoded("A_UINT32", 16, "BCD-UP")) + Dop("ones", Encoded("A_INT32", 8, "1C")) +
        Dop("sm", Encoded("A_INT32", 8, "SM")) + Dop("twos", Encoded("A_INT32", 8, "2C")) +
        Dop("latin", Coded("A_ASCIISTRING", 24)) +
        Dop("cp1252", Encoded("A_ASCIISTRING", 16, "WINDOWS-1252")) +
        Dop("wide", Coded("A_UNICODE2STRING", 32));
    // A constant's coded value is a number the coded type writes: 1234 is "12 34" in BCD.
    const std::string id =
        Param("CODED-CONST", "Id", 1,
              "<CODED-VALUE>1234</CODED-VALUE>" + Encoded("A_UINT32", 16, "BCD-P"));
    const std::string requests =
        Message("REQUEST", "rq.Forms",
                Const("SID", 0, 0x2E) + id + Value("Bcd", 3, "bcd") + Value("Unpacked", 5, "bcdu") +
                    Value("Ones", 7, "ones") + Value("Sm", 8, "sm") + Value("Twos", 9, "twos")) +
        Message("REQUEST", "rq.Texts",
                Const("SID", 0, 0x2F) + Value("Latin", 1, "latin") + Value("Cp", 4, "cp1252") +
                    Value("Wide", 6, "wide")) +
        Message("REQUEST", "rq.Pieces",
                Const("SID", 0, 0x30) + Value("StMin", 1, "stmin") + Value("State", 2, "state") +
                    Value("Curve", 3, "curve")) +
        Message("REQUEST", "rq.Whole", Const("SID", 0, 0x31) + Value("Speed", 1, "speed"));
    return BaseVariantDocument(
        "Forms", "<DIAG-DATA-DICTIONARY-SPEC><DATA-OBJECT-PROPS>" + dops +
                     "</DATA-OBJECT-PROPS></DIAG-DATA-DICTIONARY-SPEC><DIAG-COMMS>" +
                     Service("Forms") + Service("Texts") + Service("Pieces") + Service("Whole") +
                     "</DIAG-COMMS><REQUESTS>" + requests + "</REQUESTS>");
}

using OdxCodedForms = AsWrittenSuite<Document>;

TEST_F(OdxCodedForms, NumbersDecodeAndEncodeInTheirCodedForm) {
    const CUDSFunction& forms = *Service("Forms").requests.front();
    // Values print in hex, signed ones as their two's complement: 921 (399) and -1 (FF) here.
    ExpectDecodes({
        {&forms, "2E 1234 0921 0305 FE 81 FF",
         "SID=2E Id=4D2 Bcd=399 Unpacked=23 Ones=FF Sm=FF Twos=FF", ""},
        // Minus zero of the complements is zero; a nibble above 9 counts as its value.
        {&forms, "2E 1234 9999 0909 FF 80 80",
         "SID=2E Id=4D2 Bcd=270F Unpacked=63 Ones=0 Sm=0 Twos=80", ""},
        {&forms, "2E 1234 00A0 0000 7F 7F 7F",
         "SID=2E Id=4D2 Bcd=64 Unpacked=0 Ones=7F Sm=7F Twos=7F", ""},
    });
    ExpectEncodes(
        forms,
        {
            {{{"Bcd", "921"}, {"Unpacked", "35"}, {"Ones", "-1"}, {"Sm", "-1"}, {"Twos", "-1"}},
             "2E 12 34 09 21 03 05 FE 81 FF"},
            {{{"Bcd", "9999"},
              {"Unpacked", "0"},
              {"Ones", "-127"},
              {"Sm", "-127"},
              {"Twos", "-128"}},
             "2E 12 34 99 99 00 00 80 FF 80"},
            {{{"Bcd", "10000"}}, "parameter 'Bcd': 10000 is outside its valid range 0..9999"},
            {{{"Bcd", "1"}, {"Unpacked", "100"}},
             "parameter 'Unpacked': 100 is outside its valid range 0..99"},
            {{{"Bcd", "1"}, {"Unpacked", "1"}, {"Ones", "-128"}},
             "parameter 'Ones': -128 is outside its valid range -127..127"},
            {{{"Bcd", "1"}, {"Unpacked", "1"}, {"Ones", "1"}, {"Sm", "-128"}},
             "parameter 'Sm': -128 is outside its valid range -127..127"},
        },
        {{"Ones", "0"}, {"Sm", "0"}, {"Twos", "0"}, {"Unpacked", "0"}});
    // The constant is found by its coded bytes.
    uint8_t key[MessageIndex::kMaxKeyBytes];
    ASSERT_EQ(LeadingConstantBytes(forms, key), 3u);
    EXPECT_EQ(Hex(std::vector<uint8_t>(key, key + 3), " "), "2E 12 34");
    EXPECT_GT(MatchHex(forms, "2E 1234 0921 0305 FE 81 FF"), 0);
}

// Texts are UTF-8 in the model, ISO-8859-1, Windows-1252 or UTF-16 (surrogates) in the message.
TEST_F(OdxCodedForms, TextsConvertToAndFromTheirCharacters) {
    const CUDSFunction& texts = *Service("Texts").requests.front();
    const std::string euro = "\xE2\x82\xAC", aUmlaut = "\xC3\xA4", smiley = "\xF0\x9F\x98\x80";
    const std::string wrong = "\xEF\xBF\xBD";
    // The zeros that fill a field are characters of its text.
    const std::string nul(1, '\0');
    const std::string decoded[] = {
        "SID=2F Latin=\"A" + aUmlaut + nul + "\" Cp=\"" + euro + "A\" Wide=\"" + aUmlaut + "A\"",
        "SID=2F Latin=\"ABC\" Cp=\"A" + nul + "\" Wide=\"" + smiley + "\"",
        "SID=2F Latin=\"" + nul + nul + nul + "\" Cp=\"" + nul + nul + "\" Wide=\"" + wrong + "A\"",
    };
    ExpectDecodes({
        {&texts, "2F 41E400 8041 00E4 0041", decoded[0], ""},
        {&texts, "2F 414243 4100 D83D DE00", decoded[1], ""},
        {&texts, "2F 000000 0000 D83D 0041", decoded[2], ""},  // a lone surrogate
    });
    ExpectEncodes(
        texts,
        {
            {{{"Latin", "A" + aUmlaut}, {"Cp", euro + "A"}, {"Wide", aUmlaut + "A"}},
             "2F 41 E4 00 80 41 00 E4 00 41"},
            {{{"Latin", "ABC"}, {"Cp", "A"}, {"Wide", smiley}}, "2F 41 42 43 41 00 D8 3D DE 00"},
            {{{"Latin", euro}, {"Cp", "A"}, {"Wide", "A"}},
             "parameter 'Latin': '" + euro + "' is no character of ISO-8859-1"},
            {{{"Latin", "A"}, {"Cp", "\xC4\x81"}, {"Wide", "A"}},
             "parameter 'Cp': '\xC4\x81' is no character of Windows-1252"},
        });
}

// Scale-linear and interpolation pieces decode per piece, uncovered values are a problem, and a
// physical value encodes by the first piece that reaches it.
TEST_F(OdxCodedForms, PiecewiseComputationsScaleEachPiece) {
    const CUDSFunction& pieces = *Service("Pieces").requests.front();
    const auto physical = [&](const char* hex, size_t index, std::string* problem) {
        const std::vector<DecodedParam> decoded = DecodeHex(pieces, hex, problem);
        return decoded.size() == 4 && decoded[index].scaled ? decoded[index].physical : -1.0;
    };
    std::string problem;
    EXPECT_EQ(physical("30 7F 00 00", 1, &problem), 127000.0);
    EXPECT_EQ(physical("30 F1 00 00", 1, &problem), 100.0);
    EXPECT_EQ(physical("30 F9 00 00", 1, &problem), 900.0);
    // The curve interpolates between its points: 6 lies 2/5 of the way from 4 to 9.
    EXPECT_EQ(physical("30 00 00 04", 3, &problem), 2.0);
    EXPECT_DOUBLE_EQ(physical("30 00 00 06", 3, &problem), 2.4);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(physical("30 80 00 00", 1, &problem), 1.0);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(physical("30 F0 00 00", 1, &problem), -1.0);  // the open limit leaves F0 out
    EXPECT_EQ(problem, "parameter 'StMin': no scale of its computation covers 240");
    problem.clear();
    EXPECT_EQ(physical("30 81 00 00", 1, &problem), -1.0);
    EXPECT_EQ(problem, "parameter 'StMin': no scale of its computation covers 129");
    problem.clear();
    EXPECT_EQ(physical("30 00 00 0A", 3, &problem), -1.0);  // beyond the last point
    EXPECT_EQ(problem, "parameter 'Curve': no scale of its computation covers 10");
    ExpectEncodes(pieces,
                  {{{{"StMin", "5000"}}, "30 05 02 06"},
                   {{{"StMin", "127000"}}, "30 7F 02 06"},
                   {{{"StMin", "130000"}},
                    "parameter 'StMin': 130000 is outside its valid range 0..255 (physical "
                    "0..127000, 1..1, 100..900)"}},
                  {{"State", "ON"}, {"Curve", "2.4"}});
}

// A text table's default text names the unlisted values, which fit whole; texts encode inverse.
TEST_F(OdxCodedForms, ATextTableDefaultNamesTheOtherValues) {
    const CUDSFunction& pieces = *Service("Pieces").requests.front();
    for (const auto& [hex, text] : std::vector<std::pair<const char*, const char*>>{
             {"30 00 03 00", "ON"}, {"30 00 07 00", "UNKNOWN"}}) {
        const std::vector<DecodedParam> decoded = DecodeHex(pieces, hex);
        ASSERT_EQ(decoded.size(), 4u);
        EXPECT_EQ(decoded[2].text, text);
        EXPECT_EQ(DecodeFitHex(pieces, hex), 2) << hex;
    }
    ExpectEncodes(pieces,
                  {{{{"State", "OFF"}}, "30 00 00 00"},
                   {{{"State", "ON"}}, "30 00 02 00"},
                   {{{"State", "UNKNOWN"}}, "30 00 FF 00"}},
                  {{"StMin", "0"}, {"Curve", "0"}});
}

// An integer physical type makes the computation's result whole: rounded, ties to even.
TEST_F(OdxCodedForms, AnIntegerPhysicalTypeRoundsTheResult) {
    const CUDSFunction& whole = *Service("Whole").requests.front();
    for (const auto& [hex, speed] : std::vector<std::pair<const char*, double>>{
             {"31 7B", 12.0}, {"31 7D", 12.0}, {"31 87", 14.0}, {"31 7F", 13.0}}) {
        const std::vector<DecodedParam> decoded = DecodeHex(whole, hex);
        ASSERT_EQ(decoded.size(), 2u);
        EXPECT_EQ(decoded[1].physical, speed) << hex;
    }
}

}  // namespace
}  // namespace odx_coded_forms
}  // namespace qm::diag::test
