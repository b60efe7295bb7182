#include "common/cdd_generator.h"

#include <random>

namespace qm::bench {

namespace {

struct Writer {
    std::string out;
    std::mt19937 random;

    explicit Writer(uint32_t seed) : random(seed) {}

    unsigned Pick(unsigned below) { return static_cast<unsigned>(random() % below); }

    void Name(const std::string& english, const std::string& german) {
        out += "<NAME><TUV xml:lang='en-US'>" + english + "</TUV><TUV xml:lang='de-DE'>" + german +
               "</TUV></NAME>";
    }
    void Qual(const std::string& qual) { out += "<QUAL>" + qual + "</QUAL>"; }
};

const char* const kProtocols[][4] = {
    // id, service byte, response byte, name
    {"ps_read", "34", "98", "ReadDataByIdentifier"},
    {"ps_write", "46", "110", "WriteDataByIdentifier"},
    {"ps_routine", "49", "113", "RoutineControl"},
    {"ps_session", "16", "80", "DiagnosticSessionControl"},
};

void WriteDataTypes(Writer& w, size_t count, CddFigures& figures) {
    w.out += "<DATATYPES>\n";
    for (size_t i = 0; i < count; ++i) {
        const std::string id = "dt" + std::to_string(i);
        switch (i % 3) {
            case 0: {
                w.out += "<TEXTTBL id='" + id + "' bm='255'>";
                w.Name("Table " + std::to_string(i), "Tabelle " + std::to_string(i));
                w.Qual("Table" + std::to_string(i));
                w.out +=
                    "<CVALUETYPE bl='8' bo='21' enc='uns' sig='0' df='hex' qty='atom'/>"
                    "<PVALUETYPE bl='8' bo='21' enc='asc' sig='0' df='text' qty='atom'/>";
                const unsigned entries = 3 + w.Pick(6);
                for (unsigned e = 0; e < entries; ++e) {
                    w.out += "<TEXTMAP s='" + std::to_string(e) + "' e='" + std::to_string(e) +
                             "'><TEXT><TUV xml:lang='en-US'>State " + std::to_string(e) +
                             "</TUV><TUV xml:lang='de-DE'>Zustand " + std::to_string(e) +
                             "</TUV></TEXT></TEXTMAP>";
                }
                w.out += "</TEXTTBL>\n";
                break;
            }
            case 1:
                w.out += "<LINCOMP id='" + id + "' bm='65535'>";
                w.Name("Value " + std::to_string(i), "Wert " + std::to_string(i));
                w.Qual("Value" + std::to_string(i));
                w.out +=
                    "<CVALUETYPE bl='16' bo='12' enc='uns' sig='0' df='dec' qty='atom'/>"
                    "<PVALUETYPE bl='64' bo='21' enc='dbl' sig='1' df='flt' qty='atom'>"
                    "<UNIT>V</UNIT></PVALUETYPE><COMP f='0.01' o='" +
                    std::to_string(w.Pick(100)) + "'/></LINCOMP>\n";
                break;
            default:
                w.out += "<IDENT id='" + id + "' bm='255'>";
                w.Name("Text " + std::to_string(i), "Text " + std::to_string(i));
                w.Qual("Text" + std::to_string(i));
                w.out +=
                    "<CVALUETYPE bl='8' bo='21' enc='asc' sig='0' df='text' qty='field' "
                    "minsz='" +
                    std::to_string(4 + w.Pick(16)) + "' maxsz='20'/></IDENT>\n";
        }
    }
    w.out += "</DATATYPES>\n";
    figures.dataTypes = count;
}

void WriteProtocolServices(Writer& w) {
    w.out += "<PROTOCOLSERVICES>\n";
    for (const auto& p : kProtocols) {
        const std::string id = p[0];
        w.out += "<PROTOCOLSERVICE id='" + id + "'>";
        w.Name(p[3], p[3]);
        w.Qual(p[3]);
        w.out += "<REQ id='" + id + "_rq'>";
        w.Name("RQ", "RQ");
        w.out += "<CONSTCOMP id='" + id + "_sid' must='1' spec='sid' bl='8' v='" + p[1] + "'>";
        w.Name("SID-RQ", "SID-RQ");
        w.out += "</CONSTCOMP><STATICCOMP id='" + id + "_key_rq' must='1' spec='id' bl='16'>";
        w.Name("Identifier", "Kennung");
        w.out += "</STATICCOMP></REQ><POS id='" + id + "_pr'>";
        w.Name("PR", "PR");
        w.out += "<CONSTCOMP id='" + id + "_sid_pr' must='1' spec='sid' bl='8' v='" + p[2] + "'>";
        w.Name("SID-PR", "SID-PR");
        w.out += "</CONSTCOMP><STATICCOMP id='" + id + "_key_pr' must='1' spec='id' bl='16'>";
        w.Name("Identifier", "Kennung");
        w.out += "</STATICCOMP><SIMPLEPROXYCOMP id='" + id +
                 "_data' must='1' dest='data' minbl='0' maxbl='4294967295'>";
        w.Name("Data", "Daten");
        w.out += "</SIMPLEPROXYCOMP></POS><NEG id='" + id + "_nr'>";
        w.Name("NR", "NR");
        w.out += "<CONSTCOMP id='" + id + "_sid_nr' must='1' spec='sid' bl='8' v='127'>";
        w.Name("SID-NR", "SID-NR");
        w.out += "</CONSTCOMP></NEG></PROTOCOLSERVICE>\n";
    }
    w.out += "</PROTOCOLSERVICES>\n";
}

void WriteTemplates(Writer& w) {
    w.out += "<DCLTMPLS>\n";
    for (const auto& p : kProtocols) {
        const std::string id = p[0];
        w.out += "<DCLTMPL id='t_" + id + "' cls='idn'>";
        w.Name(p[3], p[3]);
        w.out += "<DCLSRVTMPL id='st_" + id + "' tmplref='" + id + "'>";
        w.Name("Run", "Ausführen");
        w.out += "</DCLSRVTMPL><SHSTATIC id='ss_" + id + "'><STATICCOMPREF idref='" + id +
                 "_key_rq'/><STATICCOMPREF idref='" + id + "_key_pr'/></SHSTATIC><SHPROXY id='sp_" +
                 id + "' dest='data'><PROXYCOMPREF idref='" + id + "_data'/></SHPROXY></DCLTMPL>\n";
    }
    w.out += "</DCLTMPLS>\n";
}

void WriteInstance(Writer& w, size_t index, size_t dataTypes, CddFigures& figures) {
    const auto& p = kProtocols[w.Pick(4)];
    const std::string id = p[0];
    const std::string n = std::to_string(index);
    w.out += "<DIAGINST id='i" + n + "' tmplref='t_" + id + "'>";
    w.Name("Instance " + n, "Instanz " + n);
    w.out += "<DESC><TUV xml:lang='en-US'>Generated instance " + n +
             "</TUV><TUV xml:lang='de-DE'>Erzeugte Instanz " + n + "</TUV></DESC>";
    w.Qual("Instance" + n);
    w.out += "<SERVICE id='s" + n + "' tmplref='st_" + id + "' mayBeExec='(1,3)'>";
    w.Name("Run", "Ausführen");
    w.out += "<QUAL>Run</QUAL><SHORTCUTQUAL>Instance" + n + "_Run</SHORTCUTQUAL></SERVICE>";
    w.out += "<STATICVALUE shstaticref='ss_" + id + "' v='" + std::to_string(256 + index % 60000) +
             "'/><SIMPLECOMPCONT shproxyref='sp_" + id + "'>";
    const unsigned objects = 1 + w.Pick(5);
    for (unsigned o = 0; o < objects; ++o) {
        w.out += "<DATAOBJ id='o" + n + "_" + std::to_string(o) + "' spec='no' dtref='dt" +
                 std::to_string(w.Pick(static_cast<unsigned>(dataTypes))) + "'>";
        w.Name("Object " + std::to_string(o), "Objekt " + std::to_string(o));
        w.Qual("Object" + std::to_string(o));
        w.out += "</DATAOBJ>";
    }
    w.out += "</SIMPLECOMPCONT></DIAGINST>\n";
    ++figures.instances;
    ++figures.services;
}

}  // namespace

std::string GenerateCdd(size_t targetBytes, uint32_t seed, CddFigures* figures) {
    CddFigures local;
    CddFigures& f = figures ? *figures : local;
    f = CddFigures{};
    Writer w(seed);
    w.out.reserve(targetBytes + (1u << 20));
    w.out +=
        "<?xml version='1.0' encoding='utf-8' standalone='no'?>\n<CANDELA "
        "dtdvers='7.0'>\n<ECUDOC>\n";
    const size_t dataTypes = std::max<size_t>(30, targetBytes / 4000);
    WriteDataTypes(w, dataTypes, f);
    WriteProtocolServices(w);
    WriteTemplates(w);
    w.out += "<ECU id='ecu'>";
    w.Name("Generated ECU", "Erzeugtes Steuergerät");
    w.out += "<VAR id='var' base='1'>";
    w.Name("Generated variant", "Erzeugte Variante");
    w.Qual("Variant");
    size_t index = 0;
    for (size_t cls = 0; w.out.size() < targetBytes; ++cls) {
        w.out += "<DIAGCLASS id='c" + std::to_string(cls) + "'>";
        w.Name("Class " + std::to_string(cls), "Klasse " + std::to_string(cls));
        w.Qual("Class" + std::to_string(cls));
        for (int i = 0; i < 200 && w.out.size() < targetBytes; ++i)
            WriteInstance(w, index++, dataTypes, f);
        w.out += "</DIAGCLASS>\n";
    }
    w.out += "</VAR></ECU>\n</ECUDOC>\n</CANDELA>\n";
    f.bytes = w.out.size();
    return std::move(w.out);
}

}  // namespace qm::bench
