#include "common/odx_generator.h"

#include <random>

namespace qm::bench {

namespace {

constexpr int kSharedDops = 64;
constexpr int kSharedStructures = 32;
constexpr int kDtcs = 400;
constexpr int kFunctionalClasses = 12;
constexpr int kBases = 4;
constexpr int kEcusPerBase = 1;

const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ODX MODEL-VERSION=\"2.2.0\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";

class Writer {
  public:
    explicit Writer(uint32_t seed) : random_(seed) {}

    std::string& Out() { return out_; }
    uint32_t Next(uint32_t bound) { return static_cast<uint32_t>(random_() % bound); }

    void Open(const std::string& containerName) {
        out_ = kHeader;
        out_ += "<DIAG-LAYER-CONTAINER ID=\"" + containerName + "\"><SHORT-NAME>" + containerName +
                "</SHORT-NAME>\n";
    }
    std::string Close() {
        out_ += "</DIAG-LAYER-CONTAINER>\n</ODX>\n";
        return std::move(out_);
    }

    void Coded(int bits) {
        out_ +=
            "<DIAG-CODED-TYPE xsi:type=\"STANDARD-LENGTH-TYPE\" BASE-DATA-TYPE=\"A_UINT32\">"
            "<BIT-LENGTH>" +
            std::to_string(bits) + "</BIT-LENGTH></DIAG-CODED-TYPE>";
    }

    void Dop(const std::string& id, const std::string& name, int kind) {
        out_ += "<DATA-OBJECT-PROP ID=\"" + id + "\"><SHORT-NAME>" + name + "</SHORT-NAME>";
        if (kind == 0) {
            out_ +=
                "<COMPU-METHOD><CATEGORY>TEXTTABLE</CATEGORY><COMPU-INTERNAL-TO-PHYS>"
                "<COMPU-SCALES>";
            for (int v = 0; v < 6; ++v) {
                out_ += "<COMPU-SCALE><LOWER-LIMIT>" + std::to_string(v) +
                        "</LOWER-LIMIT><UPPER-LIMIT>" + std::to_string(v) +
                        "</UPPER-LIMIT><COMPU-CONST><VT>State " + std::to_string(v) +
                        "</VT></COMPU-CONST></COMPU-SCALE>";
            }
            out_ += "</COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>";
            Coded(8);
        } else if (kind == 1) {
            out_ +=
                "<COMPU-METHOD><CATEGORY>LINEAR</CATEGORY><COMPU-INTERNAL-TO-PHYS>"
                "<COMPU-SCALES><COMPU-SCALE><COMPU-RATIONAL-COEFFS><COMPU-NUMERATOR><V>-40</V>"
                "<V>0.5</V></COMPU-NUMERATOR><COMPU-DENOMINATOR><V>1</V></COMPU-DENOMINATOR>"
                "</COMPU-RATIONAL-COEFFS></COMPU-SCALE></COMPU-SCALES>"
                "</COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>";
            Coded(16);
        } else {
            out_ += "<COMPU-METHOD><CATEGORY>IDENTICAL</CATEGORY></COMPU-METHOD>";
            Coded(kind == 2 ? 8 : 32);
        }
        out_ += "<PHYSICAL-TYPE BASE-DATA-TYPE=\"A_UINT32\"/></DATA-OBJECT-PROP>\n";
    }

    void ValueParam(const std::string& name, int byte, const std::string& dopRef,
                    const std::string& docRef) {
        out_ += "<PARAM xsi:type=\"VALUE\" SEMANTIC=\"DATA\"><SHORT-NAME>" + name +
                "</SHORT-NAME><LONG-NAME>" + name + " value</LONG-NAME><DESC><p>The " + name +
                " value of the record as the ECU reports it; see the data object for its "
                "scaling and unit.</p></DESC><BYTE-POSITION>" +
                std::to_string(byte) + "</BYTE-POSITION><DOP-REF ID-REF=\"" + dopRef + "\"";
        if (!docRef.empty()) out_ += " DOCREF=\"" + docRef + "\" DOCTYPE=\"CONTAINER\"";
        out_ += "/></PARAM>";
    }

    void ConstParam(const std::string& name, int byte, int bits, uint32_t value,
                    const char* semantic) {
        out_ += std::string("<PARAM xsi:type=\"CODED-CONST\" SEMANTIC=\"") + semantic +
                "\"><SHORT-NAME>" + name + "</SHORT-NAME><LONG-NAME>" + name +
                " constant</LONG-NAME><BYTE-POSITION>" + std::to_string(byte) +
                "</BYTE-POSITION><CODED-VALUE>" + std::to_string(value) + "</CODED-VALUE>";
        Coded(bits);
        out_ += "</PARAM>";
    }

  private:
    std::mt19937 random_;
    std::string out_;
};

const char* kSharedContainer = "DLC_Shared";

// Shared data: data objects of every kind, DTCs, functional classes and a few services.
std::string SharedDocument(Writer& w, OdxFigures& figures) {
    w.Open(kSharedContainer);
    std::string& out = w.Out();
    out += "<ECU-SHARED-DATAS><ECU-SHARED-DATA ID=\"ESD\"><SHORT-NAME>SharedData</SHORT-NAME>\n";
    out += "<FUNCT-CLASSS>";
    for (int c = 0; c < kFunctionalClasses; ++c) {
        out += "<FUNCT-CLASS ID=\"FC" + std::to_string(c) + "\"><SHORT-NAME>Class" +
               std::to_string(c) + "</SHORT-NAME><LONG-NAME>Functional class " + std::to_string(c) +
               "</LONG-NAME></FUNCT-CLASS>";
    }
    out +=
        "</FUNCT-CLASSS>\n<DIAG-DATA-DICTIONARY-SPEC>\n<DTC-DOPS><DTC-DOP ID=\"DTCDOP\">"
        "<SHORT-NAME>FaultMemory</SHORT-NAME>";
    w.Coded(24);
    out +=
        "<PHYSICAL-TYPE BASE-DATA-TYPE=\"A_UINT32\"/><COMPU-METHOD><CATEGORY>IDENTICAL"
        "</CATEGORY></COMPU-METHOD><DTCS>\n";
    for (int d = 0; d < kDtcs; ++d) {
        const std::string n = std::to_string(d);
        out += "<DTC ID=\"DTC" + n + "\"><SHORT-NAME>DTC_" + n + "</SHORT-NAME><TROUBLE-CODE>" +
               std::to_string(0x100000 + d * 17) + "</TROUBLE-CODE><DISPLAY-TROUBLE-CODE>P" + n +
               "</DISPLAY-TROUBLE-CODE><TEXT>Fault number " + n + "</TEXT><LEVEL>" +
               std::to_string(d % 4) + "</LEVEL><SDGS><SDG><SDG-CAPTION ID=\"CAP" + n +
               "\"><SHORT-NAME>Action</SHORT-NAME>"
               "</SDG-CAPTION><SD>Check wiring " +
               n + "</SD></SDG></SDGS></DTC>\n";
    }
    figures.dtcs += kDtcs;
    out += "</DTCS></DTC-DOP></DTC-DOPS>\n<DATA-OBJECT-PROPS>\n";
    for (int d = 0; d < kSharedDops; ++d)
        w.Dop("SD" + std::to_string(d), "SharedDop" + std::to_string(d), d % 4);
    out += "</DATA-OBJECT-PROPS>\n<STRUCTURES>\n";
    for (int s = 0; s < kSharedStructures; ++s) {
        out += "<STRUCTURE ID=\"ST" + std::to_string(s) + "\"><SHORT-NAME>Record" +
               std::to_string(s) + "</SHORT-NAME><PARAMS>";
        for (int p = 0; p < 4; ++p)
            w.ValueParam("Field" + std::to_string(p), p,
                         "SD" + std::to_string((s + p) % kSharedDops), "");
        out += "</PARAMS></STRUCTURE>\n";
    }
    out += "</STRUCTURES>\n<END-OF-PDU-FIELDS>";
    for (int f = 0; f < 8; ++f) {
        out += "<END-OF-PDU-FIELD ID=\"EF" + std::to_string(f) + "\"><SHORT-NAME>Records" +
               std::to_string(f) + "</SHORT-NAME><BASIC-STRUCTURE-REF ID-REF=\"ST" +
               std::to_string(f) +
               "\"/><MIN-NUMBER-OF-ITEMS>1</MIN-NUMBER-OF-ITEMS><MAX-NUMBER-OF-ITEMS>16"
               "</MAX-NUMBER-OF-ITEMS></END-OF-PDU-FIELD>";
    }
    out += "</END-OF-PDU-FIELDS>\n<MUXS>";
    for (int m = 0; m < 8; ++m) {
        out +=
            "<MUX ID=\"MX" + std::to_string(m) + "\"><SHORT-NAME>Mux" + std::to_string(m) +
            "</SHORT-NAME><BYTE-POSITION>1</BYTE-POSITION><SWITCH-KEY><BYTE-POSITION>0"
            "</BYTE-POSITION><DATA-OBJECT-PROP-REF ID-REF=\"SD2\"/></SWITCH-KEY><DEFAULT-CASE>"
            "<SHORT-NAME>Other</SHORT-NAME><STRUCTURE-REF ID-REF=\"ST0\"/></DEFAULT-CASE><CASES>";
        for (int c = 0; c < 4; ++c) {
            out += "<CASE><SHORT-NAME>Case" + std::to_string(c) +
                   "</SHORT-NAME><STRUCTURE-REF ID-REF=\"ST" +
                   std::to_string((m + c) % kSharedStructures) + "\"/><LOWER-LIMIT>" +
                   std::to_string(c) + "</LOWER-LIMIT><UPPER-LIMIT>" + std::to_string(c) +
                   "</UPPER-LIMIT></CASE>";
        }
        out += "</CASES></MUX>";
    }
    out +=
        "</MUXS>\n<TABLES><TABLE ID=\"TB0\"><SHORT-NAME>Identifiers</SHORT-NAME><KEY-DOP-REF "
        "ID-REF=\"SD3\"/>";
    for (int r = 0; r < 32; ++r) {
        out += "<TABLE-ROW ID=\"TR" + std::to_string(r) + "\"><SHORT-NAME>Row" + std::to_string(r) +
               "</SHORT-NAME><KEY>" + std::to_string(0xF100 + r) +
               "</KEY><STRUCTURE-REF ID-REF=\"ST" + std::to_string(r % kSharedStructures) +
               "\"/></TABLE-ROW>";
    }
    out += "</TABLE></TABLES>\n</DIAG-DATA-DICTIONARY-SPEC>\n";
    out += "</ECU-SHARED-DATA></ECU-SHARED-DATAS>\n";
    return w.Close();
}

// The data object reference of one value parameter, from the shared data or the own layer.
struct DopChoice {
    std::string id;
    std::string docRef;
};

// Mostly plain data object properties, as in real exports; now and then a structure, a
// multiplexer or a field of repeated records.
DopChoice ChooseDop(Writer& w, int ownDops) {
    const uint32_t pick = w.Next(100);
    if (pick < 2) return {"MX" + std::to_string(w.Next(8)), kSharedContainer};
    if (pick < 5) return {"EF" + std::to_string(w.Next(8)), kSharedContainer};
    if (pick < 10) return {"ST" + std::to_string(w.Next(kSharedStructures)), kSharedContainer};
    if (pick < 40) return {"SD" + std::to_string(w.Next(kSharedDops)), kSharedContainer};
    return {"OD" + std::to_string(w.Next(static_cast<uint32_t>(ownDops))), ""};
}

// Services of one layer: requests, positive and negative responses. `prefix` keeps the
// identifiers unique; `names` numbers the short names so that variants can override them.
void WriteServices(Writer& w, const std::string& prefix, int first, int count, int ownDops,
                   size_t targetBytes, OdxFigures& figures) {
    std::string& out = w.Out();
    std::string requests, positives, negatives;
    out += "<DIAG-COMMS>\n";
    int written = 0;
    for (int s = first;
         s < first + count ||
         (targetBytes != 0 &&
          out.size() + requests.size() + positives.size() + negatives.size() < targetBytes);
         ++s) {
        const std::string n = std::to_string(s);
        const std::string id = prefix + "." + n;
        out += "<DIAG-SERVICE ID=\"DS" + id + "\" SEMANTIC=\"DATA\"><SHORT-NAME>Service_" + n +
               "</SHORT-NAME><LONG-NAME>Service number " + n +
               "</LONG-NAME><DESC><p>Reads record " + n + "</p></DESC>";
        // Every thirteenth service names no class and lands in "Others".
        if (s % (kFunctionalClasses + 1) != kFunctionalClasses) {
            out += "<FUNCT-CLASS-REFS><FUNCT-CLASS-REF ID-REF=\"FC" +
                   std::to_string(s % (kFunctionalClasses + 1)) + "\" DOCREF=\"" +
                   kSharedContainer + "\" DOCTYPE=\"CONTAINER\"/></FUNCT-CLASS-REFS>";
        }
        out += "<REQUEST-REF ID-REF=\"RQ" + id +
               "\"/><POS-RESPONSE-REFS><POS-RESPONSE-REF ID-REF=\"PR" + id +
               "\"/></POS-RESPONSE-REFS><NEG-RESPONSE-REFS><NEG-RESPONSE-REF ID-REF=\"NR" + id +
               "\"/></NEG-RESPONSE-REFS></DIAG-SERVICE>\n";
        std::swap(out, requests);
        out += "<REQUEST ID=\"RQ" + id + "\"><SHORT-NAME>RQ_" + n + "</SHORT-NAME><PARAMS>";
        w.ConstParam("SID", 0, 8, 0x22, "SERVICE-ID");
        w.ConstParam("DID", 1, 16, static_cast<uint32_t>(s & 0xFFFF), "ID");
        out += "</PARAMS></REQUEST>\n";
        std::swap(out, requests);
        std::swap(out, positives);
        out += "<POS-RESPONSE ID=\"PR" + id + "\"><SHORT-NAME>PR_" + n + "</SHORT-NAME><PARAMS>";
        w.ConstParam("SID", 0, 8, 0x62, "SERVICE-ID");
        w.ConstParam("DID", 1, 16, static_cast<uint32_t>(s & 0xFFFF), "ID");
        for (int p = 0; p < 3; ++p) {
            const DopChoice dop = ChooseDop(w, ownDops);
            w.ValueParam("Value" + std::to_string(p), 3 + p * 4, dop.id, dop.docRef);
        }
        if (s % 64 == 1) {
            // The fault memory: every DTC of the shared DTC data object.
            w.ValueParam("Dtc", 15, "DTCDOP", kSharedContainer);
        } else if (s % 256 == 0) {
            out += "<PARAM xsi:type=\"TABLE-KEY\" ID=\"TK" + id +
                   "\"><SHORT-NAME>Key</SHORT-NAME>"
                   "<BYTE-POSITION>16</BYTE-POSITION><TABLE-REF ID-REF=\"TB0\" DOCREF=\"" +
                   std::string(kSharedContainer) +
                   "\" DOCTYPE=\"CONTAINER\"/></PARAM><PARAM xsi:type=\"TABLE-STRUCT\"><SHORT-NAME>"
                   "Data</SHORT-NAME><BYTE-POSITION>18</BYTE-POSITION><TABLE-KEY-REF ID-REF=\"TK" +
                   id + "\"/></PARAM>";
        }
        out += "</PARAMS></POS-RESPONSE>\n";
        std::swap(out, positives);
        std::swap(out, negatives);
        out += "<NEG-RESPONSE ID=\"NR" + id + "\"><SHORT-NAME>NR_" + n + "</SHORT-NAME><PARAMS>";
        w.ConstParam("SID", 0, 8, 0x7F, "SERVICE-ID");
        w.ConstParam("RequestSID", 1, 8, 0x22, "SERVICEIDRQ");
        out += "</PARAMS></NEG-RESPONSE>\n";
        std::swap(out, negatives);
        ++written;
    }
    out += "</DIAG-COMMS>\n<REQUESTS>\n" + requests + "</REQUESTS>\n<POS-RESPONSES>\n" + positives +
           "</POS-RESPONSES>\n<NEG-RESPONSES>\n" + negatives + "</NEG-RESPONSES>\n";
    figures.services += static_cast<size_t>(written);
}

void WriteOwnDops(Writer& w, int count) {
    w.Out() += "<DIAG-DATA-DICTIONARY-SPEC><DATA-OBJECT-PROPS>\n";
    for (int d = 0; d < count; ++d)
        w.Dop("OD" + std::to_string(d), "OwnDop" + std::to_string(d), d % 4);
    w.Out() += "</DATA-OBJECT-PROPS></DIAG-DATA-DICTIONARY-SPEC>\n";
}

std::string BaseDocument(Writer& w, int base, size_t targetBytes, OdxFigures& figures) {
    const std::string container = "DLC_Base" + std::to_string(base);
    w.Open(container);
    w.Out() += "<BASE-VARIANTS><BASE-VARIANT ID=\"BV" + std::to_string(base) +
               "\"><SHORT-NAME>Base" + std::to_string(base) +
               "</SHORT-NAME><LONG-NAME>Base variant " + std::to_string(base) + "</LONG-NAME>\n";
    WriteOwnDops(w, 32);
    WriteServices(w, "B" + std::to_string(base), 0, 0, 32, targetBytes, figures);
    w.Out() += "<PARENT-REFS><PARENT-REF ID-REF=\"ESD\" DOCREF=\"" + std::string(kSharedContainer) +
               "\" DOCTYPE=\"CONTAINER\" xsi:type=\"ECU-SHARED-DATA-REF\"/></PARENT-REFS>\n";
    w.Out() += "</BASE-VARIANT></BASE-VARIANTS>\n";
    ++figures.variants;
    return w.Close();
}

std::string EcuDocument(Writer& w, int base, int ecu, size_t targetBytes, OdxFigures& figures) {
    const std::string name = std::to_string(base) + "_" + std::to_string(ecu);
    w.Open("DLC_Ecu" + name);
    w.Out() += "<ECU-VARIANTS><ECU-VARIANT ID=\"EV" + name + "\"><SHORT-NAME>Ecu" + name +
               "</SHORT-NAME>\n";
    WriteOwnDops(w, 16);
    // Overrides the base's first services by short name and adds some of its own.
    WriteServices(w, "E" + name, 0, 0, 16, targetBytes, figures);
    w.Out() += "<PARENT-REFS><PARENT-REF ID-REF=\"BV" + std::to_string(base) +
               "\" DOCREF=\"DLC_Base" + std::to_string(base) +
               "\" DOCTYPE=\"CONTAINER\" xsi:type=\"BASE-VARIANT-REF\"/></PARENT-REFS>\n";
    w.Out() += "</ECU-VARIANT></ECU-VARIANTS>\n";
    ++figures.variants;
    return w.Close();
}

}  // namespace

std::vector<OdxDocument> GenerateOdxSet(size_t targetBytes, uint32_t seed, OdxFigures* figures) {
    OdxFigures counted;
    Writer writer(seed);
    std::vector<OdxDocument> documents;
    documents.push_back({"shared.odx-d", SharedDocument(writer, counted)});
    const size_t rest = targetBytes > documents.front().content.size()
                            ? targetBytes - documents.front().content.size()
                            : 0;
    // Four fifths of the rest to the bases, one fifth to the ECU variants.
    const size_t perBase = std::max<size_t>(rest * 4 / 5 / kBases, 1);
    const size_t perEcu = std::max<size_t>(rest / 5 / (kBases * kEcusPerBase), 1);
    for (int b = 0; b < kBases; ++b) {
        documents.push_back(
            {"base_" + std::to_string(b) + ".odx-d", BaseDocument(writer, b, perBase, counted)});
        for (int e = 0; e < kEcusPerBase; ++e) {
            documents.push_back({"ecu_" + std::to_string(b) + "_" + std::to_string(e) + ".odx-d",
                                 EcuDocument(writer, b, e, perEcu, counted)});
        }
    }
    for (const OdxDocument& document : documents) counted.bytes += document.content.size();
    counted.documents = documents.size();
    if (figures != nullptr) *figures = counted;
    return documents;
}

}  // namespace qm::bench
