// Reading as written: references within a document, inheritance with NOT-INHERITED lists,
// own lengths and positions, the CDD language, and the message codec.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "diag/diag_codec.h"
#include "diag/diagnose_lib.h"
#include "diag_test_support.h"
#include "expect_fields.h"
#include "odx_document.h"

namespace qm::diag::test {
namespace as_written {
namespace {

std::unique_ptr<CDiagnoseLib> LoadAsWritten(const std::string& path, bool asWritten = true) {
    auto library = std::make_unique<CDiagnoseLib>();
    LoadDiagFile(*library, path, asWritten);
    return library;
}

CUDSService* ServiceNamed(IECU* ecu, const std::string& name) {
    return dynamic_cast<CUDSService*>(ServiceOf(ecu, name));
}

// ---------------------------------------------------------------------------------------------
// A protocol, a base variant and an ECU variant in one container, without DOCREF.

using odx::Request;
using odx::Service;

// Parameters at a position written by At (byte and bit, or none).
std::string Const(const std::string& name, int value, int bits, const std::string& position) {
    return odx::Param("CODED-CONST", name, -1,
                      position + "<CODED-VALUE>" + std::to_string(value) + "</CODED-VALUE>" +
                          odx::Coded("A_UINT32", bits));
}
std::string Value(const std::string& name, const std::string& dop, const std::string& position) {
    return odx::Param("VALUE", name, -1, position + "<DOP-REF ID-REF=\"" + dop + "\"/>");
}
std::string Reserved(int bits, const std::string& position) {
    return odx::Param("RESERVED", "gap", -1,
                      position + "<BIT-LENGTH>" + std::to_string(bits) + "</BIT-LENGTH>");
}

std::string At(int byte, int bit = -1) {
    std::string text = "<BYTE-POSITION>" + std::to_string(byte) + "</BYTE-POSITION>";
    if (bit >= 0) text += "<BIT-POSITION>" + std::to_string(bit) + "</BIT-POSITION>";
    return text;
}

// A DTC-DOP listing a DTC of its own and one of the protocol's through a DTC-REF.
const char* kDtcDops = R"(<DTC-DOPS><DTC-DOP ID="dop.dtc.base"><SHORT-NAME>baseDtcs</SHORT-NAME>
<DTCS><DTC ID="dtc.own"><SHORT-NAME>Own</SHORT-NAME><TROUBLE-CODE>4660</TROUBLE-CODE></DTC>
<DTC-REF ID-REF="dtc.shared"/></DTCS></DTC-DOP></DTC-DOPS>)";

const char* kDops = R"(<DIAG-DATA-DICTIONARY-SPEC><DATA-OBJECT-PROPS>
  <DATA-OBJECT-PROP ID="dop.session"><SHORT-NAME>session</SHORT-NAME>
    <COMPU-METHOD><CATEGORY>TEXTTABLE</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>
      <COMPU-SCALE><LOWER-LIMIT>1</LOWER-LIMIT><UPPER-LIMIT>1</UPPER-LIMIT>
        <COMPU-CONST><VT>Default</VT></COMPU-CONST></COMPU-SCALE>
      <COMPU-SCALE><LOWER-LIMIT>3</LOWER-LIMIT><UPPER-LIMIT>3</UPPER-LIMIT>
        <COMPU-CONST><VT>Extended &#38; more</VT></COMPU-CONST></COMPU-SCALE>
    </COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>
    <DIAG-CODED-TYPE BASE-DATA-TYPE="A_UINT32" xsi:type="STANDARD-LENGTH-TYPE"><BIT-LENGTH>8</BIT-LENGTH></DIAG-CODED-TYPE>
    <PHYSICAL-TYPE BASE-DATA-TYPE="A_UNICODE2STRING"/></DATA-OBJECT-PROP>
  <DATA-OBJECT-PROP ID="dop.temp"><SHORT-NAME>temp</SHORT-NAME>
    <COMPU-METHOD><CATEGORY>LINEAR</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES><COMPU-SCALE>
      <COMPU-RATIONAL-COEFFS><COMPU-NUMERATOR><V>-40</V><V>0.5</V></COMPU-NUMERATOR>
      <COMPU-DENOMINATOR><V>1</V></COMPU-DENOMINATOR></COMPU-RATIONAL-COEFFS>
    </COMPU-SCALE></COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>
    <DIAG-CODED-TYPE BASE-DATA-TYPE="A_UINT32" xsi:type="STANDARD-LENGTH-TYPE"><BIT-LENGTH>16</BIT-LENGTH></DIAG-CODED-TYPE>
    <PHYSICAL-TYPE BASE-DATA-TYPE="A_FLOAT64"/><UNIT-REF ID-REF="unit.c"/></DATA-OBJECT-PROP>
</DATA-OBJECT-PROPS><UNIT-SPEC><UNITS><UNIT ID="unit.c"><SHORT-NAME>degC</SHORT-NAME>
  <DISPLAY-NAME>°C</DISPLAY-NAME></UNIT></UNITS></UNIT-SPEC>)";

std::string Document() {
    const std::string protocolComms =
        Service("p.shared", "Shared", "rq.p") + Service("p.only", "ProtocolOnly", "rq.p");
    const std::string baseComms =
        Service("b.shared", "Shared", "rq.b") + Service("b.session", "Session", "rq.session") +
        Service("b.gone", "NotForVariant", "rq.b") + Service("b.layout", "Layout", "rq.layout") +
        Service("b.resp", "ResponseOnly", "",
                "<POS-RESPONSE-REFS><POS-RESPONSE-REF ID-REF=\"pr.temp\"/></POS-RESPONSE-REFS>");
    const std::string requests =
        Request("rq.p", Const("sid", 0x31, 8, At(0))) +
        Request("rq.b", Const("sid", 0x32, 8, At(0))) +
        Request("rq.session",
                Const("sid", 0x10, 8, At(0)) + Value("Session", "dop.session", At(1))) +
        // 1 + 16 reserved bits, then a parameter without position after them: 6 bytes in all.
        Request("rq.layout", Const("sid", 0x2E, 8, At(0)) + Reserved(1, At(1, 0)) +
                                 Const("flag", 1, 7, At(1, 1)) + Reserved(16, At(2)) +
                                 Value("Temp", "dop.temp", ""));
    const std::string responses =
        "<POS-RESPONSES><POS-RESPONSE ID=\"pr.temp\"><SHORT-NAME>pr.temp</SHORT-NAME><PARAMS>" +
        Const("sid", 0x62, 8, At(0)) + Value("Temp", "dop.temp", At(1)) +
        "</PARAMS></POS-RESPONSE></POS-RESPONSES>";
    return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<ODX MODEL-VERSION="2.2.0" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<DIAG-LAYER-CONTAINER ID="dlc"><SHORT-NAME>Doc</SHORT-NAME>
<PROTOCOLS><PROTOCOL ID="proto"><SHORT-NAME>Proto</SHORT-NAME>
<DIAG-DATA-DICTIONARY-SPEC><DTC-DOPS><DTC-DOP ID="dop.dtc.proto"><SHORT-NAME>protoDtcs</SHORT-NAME>
<DTCS><DTC ID="dtc.shared"><SHORT-NAME>Shared</SHORT-NAME><TROUBLE-CODE>1</TROUBLE-CODE></DTC>
<DTC ID="dtc.proto"><SHORT-NAME>ProtoOnly</SHORT-NAME><TROUBLE-CODE>2</TROUBLE-CODE></DTC></DTCS>
</DTC-DOP></DTC-DOPS></DIAG-DATA-DICTIONARY-SPEC><DIAG-COMMS>)") +
           protocolComms + "</DIAG-COMMS><REQUESTS>" +
           Request("rq.p", Const("sid", 0x31, 8, At(0))) +
           R"(</REQUESTS></PROTOCOL></PROTOCOLS>
<BASE-VARIANTS><BASE-VARIANT ID="base"><SHORT-NAME>Base</SHORT-NAME><LONG-NAME>Horn &#38; Hazard</LONG-NAME>)" +
           kDops + kDtcDops + "</DIAG-DATA-DICTIONARY-SPEC><DIAG-COMMS>" + baseComms +
           "</DIAG-COMMS><REQUESTS>" + requests + "</REQUESTS>" + responses +
           R"(<PARENT-REFS><PARENT-REF ID-REF="proto" xsi:type="PROTOCOL-REF"/></PARENT-REFS>
</BASE-VARIANT></BASE-VARIANTS>
<ECU-VARIANTS><ECU-VARIANT ID="variant"><SHORT-NAME>Variant</SHORT-NAME>
<DIAG-DATA-DICTIONARY-SPEC><DATA-OBJECT-PROPS><DATA-OBJECT-PROP ID="dop.temp8"><SHORT-NAME>temp</SHORT-NAME>
<COMPU-METHOD><CATEGORY>IDENTICAL</CATEGORY></COMPU-METHOD>
<DIAG-CODED-TYPE BASE-DATA-TYPE="A_UINT32" xsi:type="STANDARD-LENGTH-TYPE"><BIT-LENGTH>8</BIT-LENGTH></DIAG-CODED-TYPE>
</DATA-OBJECT-PROP></DATA-OBJECT-PROPS></DIAG-DATA-DICTIONARY-SPEC><DIAG-COMMS>)" +
           Service("v.own", "Own", "rq.v") + "</DIAG-COMMS><REQUESTS>" +
           Request("rq.v",
                   Const("sid", 0x33, 8, At(0)) +
                       odx::Param("VALUE", "Temp", 1, "<DOP-SNREF SHORT-NAME=\"temp\"/>") +
                       odx::Param("VALUE", "Session", 2, "<DOP-SNREF SHORT-NAME=\"session\"/>")) +
           R"(</REQUESTS><PARENT-REFS><PARENT-REF ID-REF="base" xsi:type="BASE-VARIANT-REF">
<NOT-INHERITED-DIAG-COMMS><NOT-INHERITED-DIAG-COMM><DIAG-COMM-SNREF SHORT-NAME="NotForVariant"/>
</NOT-INHERITED-DIAG-COMM></NOT-INHERITED-DIAG-COMMS><NOT-INHERITED-DOPS><NOT-INHERITED-DOP>
<DOP-BASE-SNREF SHORT-NAME="session"/></NOT-INHERITED-DOP></NOT-INHERITED-DOPS></PARENT-REF></PARENT-REFS>
</ECU-VARIANT></ECU-VARIANTS></DIAG-LAYER-CONTAINER></ODX>
)";
}

class AsWrittenDocument : public ::testing::Test {
  protected:
    void SetUp() override { library_ = LoadAsWritten(file_.Path()); }
    TempFile file_{"as_written.odx-d", Document()};
    std::unique_ptr<CDiagnoseLib> library_;
};

TEST_F(AsWrittenDocument, InheritanceFollowsOdxWithinTheDocument) {
    IECU* variant = EcuNamed(*library_, "Variant");
    ASSERT_NE(variant, nullptr);
    // Own, the base's but the one not inherited, the protocol's; response-only stays.
    EXPECT_EQ(ServiceNames(variant), (std::set<std::string>{"Own", "Shared", "Session", "Layout",
                                                            "ResponseOnly", "ProtocolOnly"}));
    // The base variant (priority 3) overrides the protocol's namesake.
    CUDSService* shared = ServiceNamed(variant, "Shared");
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(Hex(EncodeDefaults(*shared->requests.front())), "32");
    EXPECT_TRUE(ServiceNamed(variant, "ResponseOnly")->requests.empty());
    EXPECT_STREQ(EcuNamed(*library_, "Base")->GetLongName(), "Horn & Hazard");

    // Described: the parent reference stays unresolved; response-only services are dropped.
    TempFile again("as_written_exact.odx-d", Document());
    auto exact = LoadAsWritten(again.Path(), false);
    EXPECT_EQ(ServiceNames(EcuNamed(*exact, "Variant")), (std::set<std::string>{"Own"}));
    EXPECT_EQ(ServiceNames(EcuNamed(*exact, "Base")).count("ResponseOnly"), 0u);
}

TEST_F(AsWrittenDocument, DtcsFollowTheirReferencesAndInheritance) {
    auto names = [](IECU* ecu) {
        std::set<std::string> found;
        for (uint64_t i = 0; i < ecu->GetDtcCount(); ++i) found.insert(ecu->GetDtc(i)->GetName());
        return found;
    };
    // Own DTC, one by reference and the protocol's DTC-DOP by inheritance: each DTC once.
    const std::set<std::string> all{"Own", "Shared", "ProtoOnly"};
    EXPECT_EQ(names(EcuNamed(*library_, "Base")), all);
    EXPECT_EQ(names(EcuNamed(*library_, "Variant")), all);
    // The described build: the DTC elements below each variant, references skipped.
    auto exact = LoadAsWritten(file_.Path(), false);
    EXPECT_EQ(names(EcuNamed(*exact, "Base")), std::set<std::string>{"Own"});
    EXPECT_TRUE(names(EcuNamed(*exact, "Variant")).empty());
}

TEST_F(AsWrittenDocument, ParametersTakeTheirOwnLengthsAndPositions) {
    CUDSService* layout = ServiceNamed(EcuNamed(*library_, "Base"), "Layout");
    ASSERT_NE(layout, nullptr);
    const CUDSFunction& request = *layout->requests.front();
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(EncodeFunction(request, {{"Temp", "20"}}, bytes, error)) << error;
    // 2E, flag 1 above the reserved bit (0x02), 16 reserved bits, then (20 + 40) / 0.5 = 120.
    EXPECT_EQ(Hex(bytes), "2E0200000078");
    const auto decoded = DecodeFunction(request, bytes.data(), bytes.size());
    ASSERT_EQ(decoded.size(), 5u);
    QM_EXPECT_FIELDS(decoded[4], (name, "Temp"), (physical, 20.0), (unit, "°C"));
}

TEST_F(AsWrittenDocument, ShortNameReferencesFindTheLayersDataObjects) {
    // The variant's "temp" (8 bits) hides the base's; the not-inherited "session" falls back.
    const CUDSFunction& own =
        *ServiceNamed(EcuNamed(*library_, "Variant"), "Own")->requests.front();
    ASSERT_EQ(own.params.size(), 3u);
    EXPECT_EQ(own.params[1]->bitLength, 8);
    const CUDSFunction& layout =
        *ServiceNamed(EcuNamed(*library_, "Variant"), "Layout")->requests.front();
    EXPECT_EQ(layout.params.back()->bitLength, 16);
}

TEST_F(AsWrittenDocument, EncodingChecksEveryValue) {
    IECU* base = EcuNamed(*library_, "Base");
    const CUDSFunction& session = *ServiceNamed(base, "Session")->requests.front();
    const CUDSFunction& layout = *ServiceNamed(base, "Layout")->requests.front();
    ExpectEncodes(
        session,
        {{{{"Session", "Default"}}, "10 01"},
         {{{"Session", "Extended & more"}}, "10 03"},
         {{{"Session", "0x03"}}, "10 03"},
         {{{"Session", "3"}}, "10 03"},
         {{{"Session", "256"}}, "parameter 'Session': 256 is outside its valid range 0..255"},
         {{{"Session", "-1"}}, "parameter 'Session': -1 is outside its valid range 0..255"},
         {{{"Session", "Fast"}},
          "parameter 'Session': unknown text 'Fast'; valid texts: 'Default', 'Extended & more'"},
         {{}, "missing parameter 'Session' (valid texts: 'Default', 'Extended & more')"},
         {{{"Nope", "1"}}, "the request has no parameter 'Nope'"}});
    ExpectEncodes(
        layout,
        {{{{"Temp", "1e6"}},
          "parameter 'Temp': 1e6 is outside its valid range 0..65535 (physical -40..32727.5)"},
         {{{"Temp", "1e3"}}, "2E 02 00 00 08 20"},
         {{{"Temp", "0x0102"}}, "2E 02 00 00 01 02"},
         {{{"Temp", "-40"}}, "2E 02 00 00 00 00"}});
}

// A response with byte orders "21" and "12", signed and significant-digit encodings, a union
// and a record behind a DIDDATAREF.
std::string CandelaFields() {
    auto type = [](const std::string& id, const std::string& coded) {
        return "<IDENT id='" + id + "'><CVALUETYPE " + coded + "/><PVALUETYPE df='dec'/></IDENT>";
    };
    auto field = [](const std::string& name, const std::string& type) {
        return "<DATAOBJ dtref='" + type + "'><NAME><TUV>" + name + "</TUV></NAME></DATAOBJ>";
    };
    return Cdd("<DATATYPES>" + type("be", "bl='16' bo='21' enc='uns' sig='0'") +
               type("le", "bl='16' bo='12' enc='uns' sig='0'") +
               type("s8", "bl='8' bo='21' enc='sgn' sig='2'") +
               type("u8", "bl='8' bo='21' enc='uns' sig='1'") +
               "</DATATYPES><DIDS><DID id='did' n='768'><NAME><TUV>Rec</TUV></NAME><STRUCTURE>" +
               field("State", "u8") + field("Pin", "u8") + "</STRUCTURE></DID></DIDS>" +
               OneService("<SERVICE id='s' tmplref='st'/>",
                          "<POS><CONSTCOMP bl='8' v='98'/><STATICCOMP><NAME><TUV>All</TUV></NAME>" +
                              field("Be", "be") + field("Le", "le") + field("S", "s8") +
                              field("U", "u8") + "<UNION><NAME><TUV>Coding</TUV></NAME>" +
                              field("Word", "be") + "<STRUCT><NAME><TUV>Bytes</TUV></NAME>" +
                              field("Hi", "u8") + field("Lo", "u8") +
                              "</STRUCT></UNION><DIDDATAREF didRef='did'/></STATICCOMP></POS>"));
}

TEST(AsWrittenCdd, FieldsReadAsCandelaToolsReadThem) {
    for (const bool asWritten : {true, false}) {
        SCOPED_TRACE(asWritten);
        CDiagnoseLib library;
        library.SetReadingAsWritten(asWritten ? 1 : 0);
        ASSERT_EQ(LoadCddText(library, CandelaFields()), 1);
        const auto decoded =
            DecodeHex(*dynamic_cast<CUDSService&>(*FirstService(library)).positiveResponses.front(),
                      "62 1234 1234 FE 81 ABCD 0506");
        ASSERT_EQ(decoded.size(), 2u);
        const auto& fields = decoded[1].parameters;
        if (asWritten) {
            // "21" is high byte first, "12" low; "sig" is no sign; union views share bytes.
            EXPECT_EQ(Render(decoded),
                      "=62 All{Be=1234 Le=3412 S=FE U=81 Coding{Word=ABCD Bytes{Hi=AB Lo=CD}} "
                      "Rec{State=5 Pin=6}}");
            ASSERT_EQ(fields.size(), 6u);
            EXPECT_EQ(fields[2].raw, -2);
            EXPECT_EQ(fields[3].raw, 0x81);
        } else {
            // The described build: "21" is byte order 1 (low byte first), "sig" 1 signs.
            EXPECT_THAT(Render(decoded), testing::StartsWith("=62 All{Be=3412 Le=1234 S=FE U=81"));
            ASSERT_GE(fields.size(), 4u);
            EXPECT_EQ(fields[2].raw, 0xFE);
            EXPECT_EQ(fields[3].raw, -127);
        }
    }
}

TEST(AsWrittenCdd, LanguageFollowsTheFileOrTheChoice) {
    const auto path = CorpusDir() / "example.cdd";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no corpus";
    auto described = LoadAsWritten(path.string(), false);
    auto written = LoadAsWritten(path.string(), true);
    auto chosen = std::make_unique<CDiagnoseLib>();
    chosen->SetCddLanguage("de");
    chosen->SetReadingAsWritten(1);
    chosen->LoadCddFile(path.string().c_str(), 1);
    ASSERT_GT(written->GetEcuCount(), 0u);
    const std::string german = described->GetEcu(0)->GetFunctionalClass(0)->GetName();
    const std::string english = written->GetEcu(0)->GetFunctionalClass(0)->GetName();
    EXPECT_NE(german, english);
    EXPECT_EQ(chosen->GetEcu(0)->GetFunctionalClass(0)->GetName(), german);
}

}  // namespace
}  // namespace as_written
}  // namespace qm::diag::test
