// Message layouts of ODX read as written, decoded and encoded through the message codec: static
// and dynamic length fields, end-of-PDU repetition, environment data of DTCs, variable lengths
// (min-max with termination, leading length, a length key), negative response codes with
// several admissible values and the global negative responses a layer gives or inherits.
#include <gtest/gtest.h>

#include <map>

#include "decoded_render.h"
#include "diag/diag_codec.h"
#include "odx_document.h"

namespace qm::diag::test {
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
                    Value("Text", -1, "text") + Value("Blob", -1, "blob") +
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
    struct Case {
        const CUDSFunction* function;
        const char* hex;
        const char* decoded;
        const char* problem;
    };
    const std::vector<Case> cases = {
        // Static items take three bytes each; the dynamic field counts its items at its start and
        // lists them from its offset; the field after it follows it to the end of the message.
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        const std::vector<uint8_t> bytes = BytesOfHex(c.hex);
        std::string problem;
        EXPECT_EQ(Render(DecodeFunction(*c.function, bytes.data(), bytes.size(), &problem)),
                  c.decoded);
        EXPECT_EQ(problem, c.problem);
    }
}

TEST_F(OdxFields, VariableLengthsEncodeAsTheyDecode) {
    const CUDSFunction& lengths = *Service("Lengths").requests.front();
    struct Case {
        std::map<std::string, std::string> values;
        const char* bytesOrError;
    };
    const std::vector<Case> cases = {
        {{{"Text", "AB"}, {"Blob", "0xC0FFEE"}, {"Keyed", "0x1234"}},
         "2E 10 41 42 00 03 C0 FF EE 12 34"},
        // At its maximum the text has no terminator.
        {{{"Text", "ABCDEF"}, {"Keyed", "0x12"}}, "2E 08 41 42 43 44 45 46 00 12"},
        {{{"Text", "A"}}, "parameter 'Text': 1 bytes, at least 2"},
        {{{"Text", "ABCDEFG"}}, "parameter 'Text': 7 bytes, at most 6"},
        {{}, "missing parameter 'Text' (at least 2 bytes)"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        std::string error;
        const bool ok = EncodeFunction(lengths, c.values, bytes, error);
        EXPECT_EQ(ok ? Hex(bytes, " ") : error, c.bytesOrError);
        if (!ok) continue;
        std::string problem;
        DecodeFunction(lengths, bytes.data(), bytes.size(), &problem);
        EXPECT_EQ(problem, "");
    }
}

TEST_F(OdxFields, NegativeResponsesAcceptEveryListedCode) {
    const CUDSFunction& negative = *Service("Fields").negativeResponses.front();
    for (const auto& [hex, score] : std::vector<std::pair<const char*, int64_t>>{
             {"7F 31 31", 24}, {"7F 31 12", 24}, {"7F 31 22", -1}, {"7F 22 31", -1}}) {
        const std::vector<uint8_t> bytes = BytesOfHex(hex);
        EXPECT_EQ(MatchFunction(negative, bytes.data(), bytes.size(), {}), score) << hex;
    }
    const std::vector<uint8_t> bytes = BytesOfHex("7F 31 12");
    EXPECT_EQ(Render(DecodeFunction(negative, bytes.data(), bytes.size())),
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
    const std::vector<uint8_t> bytes = BytesOfHex("7F 10 78");
    EXPECT_EQ(MatchFunction(own, bytes.data(), bytes.size(), {}), 16);
    EXPECT_EQ(Render(DecodeFunction(own, bytes.data(), bytes.size())),
              "SID=7F RQ=10 NRC=78'requestCorrectlyReceived-ResponsePending'");
    // The described build reads none.
    CDiagnoseLib exact;
    exact.LoadOdxFile(file_->Path().c_str(), 1);
    for (const auto& ecu : exact.Ecus()) EXPECT_TRUE(ecu->globalNegativeResponses.empty());
}

}  // namespace
}  // namespace odx_fields
}  // namespace qm::diag::test
