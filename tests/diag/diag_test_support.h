#pragma once
// Helpers shared by the diagnostic tests: corpus, files, look-ups, codec and model comparison.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "diag/diag_codec.h"
#include "expect_texts.h"
#include "quillmere/diag.h"
#include "temp_files.h"

class CDiagnoseLib;

namespace qm::diag::test {

using ::testing::HasSubstr;
using ::testing::Not;

inline std::filesystem::path CorpusDir() {
    return qmtest::CorpusFolder("diag");
}

// Every diagnostic file of the corpus: CDD, ODX of every category, PDX.
inline std::vector<std::filesystem::path> CorpusDiagFiles() {
    return qmtest::CorpusFiles("diag", {".cdd", ".odx", ".odx-c", ".odx-cs", ".odx-d", ".pdx"});
}

// Loads a file by its extension and builds the model, as written or as described.
inline uint8_t LoadDiagFile(IDiagnoseLib& library, const std::filesystem::path& path,
                            bool asWritten = false) {
    if (auto* reading = dynamic_cast<IDiagnoseLibReading*>(&library))
        reading->SetReadingAsWritten(asWritten ? 1 : 0);
    const std::string extension = path.extension().string();
    if (extension == ".cdd") return library.LoadCddFile(path.string().c_str(), 1);
    if (extension == ".pdx") return library.LoadPdxFile(path.string().c_str(), 1);
    return library.LoadOdxFile(path.string().c_str(), 1);
}

// The stored ECUs of a saved container, without the statistics and date of its frame.
inline std::string StoredEcus(const std::string& container) {
    const size_t first = container.find("<ECU ");
    const size_t last = container.rfind("</ECU>");
    if (first == std::string::npos || last == std::string::npos) return "";
    return container.substr(first, last - first);
}

// Empty when both texts are equal, else the first line where they differ.
inline std::string FirstDifference(const std::string& a, const std::string& b) {
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    if (at == a.size() && at == b.size()) return "";
    auto lineAround = [at](const std::string& text) {
        const size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
        const size_t from = begin == std::string::npos ? 0 : begin + 1;
        return text.substr(from, std::min<size_t>(text.find('\n', at) - from, 600));
    };
    return "first:  " + lineAround(a) + "\nsecond: " + lineAround(b);
}

// The door ECU example the project ships.
inline std::string ExamplePath() {
    return std::string(QM_SOURCE_DIR) + "/examples/door_ecu.cdd";
}

using qmtest::ExpectTexts;
using qmtest::Occurrences;
using qmtest::TempFile;

// Compares every getter the container form carries of two models (not byte order, display
// format, scaling, range or default text).
void ExpectSameModel(IDiagnoseLib& expected, IDiagnoseLib& actual);

// Saved in the container form and read back, the model answers as the original and saves to
// the same stored ECUs (what the form leaves out by design is not compared).
void ExpectSameThroughTheContainerForm(CDiagnoseLib& original, const std::string& name);

// The first service of the ECU the predicate accepts, and look-ups built on it.
template <typename Accept>
IUDSService* FindService(IECU* ecu, Accept accept) {
    for (uint64_t c = 0; ecu != nullptr && c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            if (accept(cls->GetService(s))) return cls->GetService(s);
        }
    }
    return nullptr;
}
inline IUDSService* ServiceOf(IECU* ecu, const std::string& name) {
    return FindService(ecu, [&](IUDSService* s) { return name == s->GetName(); });
}
inline IUDSService* ServiceByQual(IECU* ecu, const std::string& qual) {
    return FindService(ecu, [&](IUDSService* s) { return qual == s->GetQual(); });
}
inline IUDSService* ServiceByQual(IDiagnoseLib& library, const std::string& qual) {
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        if (IUDSService* found = ServiceByQual(library.GetEcu(e), qual)) return found;
    }
    return nullptr;
}
inline IECU* EcuNamed(IDiagnoseLib& library, const std::string& name) {
    for (uint64_t i = 0; i < library.GetEcuCount(); ++i) {
        if (name == library.GetEcu(i)->GetShortName()) return library.GetEcu(i);
    }
    return nullptr;
}
// The distinct service names of an ECU.
inline std::set<std::string> ServiceNames(IECU* ecu) {
    std::set<std::string> names;
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s)
            names.insert(cls->GetService(s)->GetName());
    }
    return names;
}
// The first service of the first class of the first ECU.
inline IUDSService* FirstService(IDiagnoseLib& library) {
    return library.GetEcu(0)->GetFunctionalClass(0)->GetService(0);
}
inline uint64_t ServiceCount(IECU* ecu) {
    uint64_t count = 0;
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c)
        count += ecu->GetFunctionalClass(c)->GetServiceCount();
    return count;
}
inline std::vector<uint8_t> EncodedBytes(IUDSFunction* function) {
    std::vector<uint8_t> bytes(function->Encode(nullptr, 0));
    function->Encode(bytes.data(), bytes.size());
    return bytes;
}
// Bytes as hex ("2E0102", or with a separator "2E 01 02") and back (blanks ignored).
inline std::string Hex(const std::vector<uint8_t>& bytes, const char* separator = "") {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t byte : bytes) {
        if (!out.empty()) out += separator;
        out += {kDigits[byte >> 4], kDigits[byte & 15]};
    }
    return out;
}
inline std::vector<uint8_t> BytesOfHex(const std::string& hex) {
    std::string digits;
    for (char c : hex) {
        if (c != ' ') digits += c;
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The codec on bytes given as hex: decoded tree (and problem), fit, match without request.
inline std::vector<DecodedParam> DecodeHex(const CUDSFunction& function, const std::string& hex,
                                           std::string* problem = nullptr) {
    const std::vector<uint8_t> bytes = BytesOfHex(hex);
    return DecodeFunction(function, bytes.data(), bytes.size(), problem);
}
inline int DecodeFitHex(const CUDSFunction& function, const std::string& hex) {
    const std::vector<uint8_t> bytes = BytesOfHex(hex);
    return DecodeFit(function, bytes.data(), bytes.size());
}
inline int64_t MatchHex(const CUDSFunction& function, const std::string& hex) {
    const std::vector<uint8_t> bytes = BytesOfHex(hex);
    return MatchFunction(function, bytes.data(), bytes.size(), {});
}
// The bytes the values encode to (hex with the separator), or the error the encoding names.
inline std::string EncodedOrError(const CUDSFunction& function,
                                  const std::map<std::string, std::string>& values,
                                  const char* separator = " ") {
    std::vector<uint8_t> bytes;
    std::string error;
    return EncodeFunction(function, values, bytes, error) ? Hex(bytes, separator) : error;
}

// Values to encode (with the defaults where a case gives none) and the bytes or the error.
struct EncodeValuesCase {
    std::map<std::string, std::string> values;
    std::string bytesOrError;
};
inline void ExpectEncodes(const CUDSFunction& function, const std::vector<EncodeValuesCase>& cases,
                          const std::map<std::string, std::string>& defaults = {}) {
    for (const EncodeValuesCase& c : cases) {
        std::map<std::string, std::string> values = c.values;
        values.insert(defaults.begin(), defaults.end());
        EXPECT_EQ(EncodedOrError(function, values), c.bytesOrError);
    }
}

// A CDD document around the ECUDOC content.
inline std::string Cdd(const std::string& ecuDoc,
                       const std::string& rootAttributes = "dtdvers='7.0'") {
    return "<?xml version='1.0' encoding='utf-8'?>\n<CANDELA " + rootAttributes + "><ECUDOC>" +
           ecuDoc + "</ECUDOC></CANDELA>\n";
}

// A protocol service, one template and one variant whose instance has the given service element.
inline std::string OneService(const std::string& serviceElement, const std::string& protocolBody) {
    return "<PROTOCOLSERVICES><PROTOCOLSERVICE id='ps'><QUAL>PS</QUAL>" + protocolBody +
           "</PROTOCOLSERVICE></PROTOCOLSERVICES>"
           "<DCLTMPLS><DCLTMPL id='t'><DCLSRVTMPL id='st' tmplref='ps'/></DCLTMPL></DCLTMPLS>"
           "<ECU><NAME><TUV>E</TUV></NAME><VAR id='v'><DIAGINST id='i' mayBeExec='(2)'>"
           "<NAME><TUV>Inst</TUV></NAME><QUAL>InstQual</QUAL>" +
           serviceElement +
           "</DIAGINST><DIAGINSTREF idref='i'/><DIAGINSTREF idref='nowhere'/>"
           "</VAR></ECU>";
}

// A decoded tree in one line: numbers raw hex ('text'), strings quoted, {groups}, [items].
inline std::string Render(const std::vector<DecodedParam>& params) {
    std::string out;
    for (const DecodedParam& param : params) {
        if (!out.empty()) out += ' ';
        out += param.name;
        char buffer[32];
        switch (param.kind) {
            case DecodedParam::Kind::kNumber:
            case DecodedParam::Kind::kFloat:
                std::snprintf(buffer, sizeof buffer, "=%llX",
                              static_cast<unsigned long long>(param.rawUnsigned));
                out += buffer;
                if (!param.text.empty()) out += "'" + param.text + "'";
                break;
            case DecodedParam::Kind::kText:
                out += "=\"" + param.string + "\"";
                break;
            case DecodedParam::Kind::kBytes:
                out += '=';
                for (uint8_t byte : param.bytes) {
                    std::snprintf(buffer, sizeof buffer, "%02X", byte);
                    out += buffer;
                }
                break;
            case DecodedParam::Kind::kGroup:
                if (!param.parameters.empty()) out += "{" + Render(param.parameters) + "}";
                if (!param.items.empty()) {
                    out += '[';
                    for (size_t i = 0; i < param.items.size(); ++i)
                        out += (i ? "|" : "") + Render(param.items[i]);
                    out += ']';
                }
                break;
        }
    }
    return out;
}

// Loads a CDD text through a temporary file and builds the model.
inline uint8_t LoadCddText(IDiagnoseLib& library, const std::string& text) {
    const TempFile file("text.cdd", text);
    return library.LoadCddFile(file.Path().c_str(), 1);
}

// Loads the data types (none when empty) and one service whose protocol service has `body`;
// that service, null when the load or the build fails.
inline IUDSService* LoadOneService(IDiagnoseLib& library, const std::string& dataTypes,
                                   const std::string& body,
                                   const std::string& instance = "<SERVICE id='s' tmplref='st'/>") {
    const std::string types = dataTypes.empty() ? "" : "<DATATYPES>" + dataTypes + "</DATATYPES>";
    if (LoadCddText(library, Cdd(types + OneService(instance, body))) != 1 ||
        library.GetEcuCount() == 0 || library.GetEcu(0)->GetFunctionalClassCount() == 0)
        return nullptr;
    return FirstService(library);
}

// Total counts over a model, for pinning corpus files.
struct ModelCounts {
    uint64_t ecus = 0, classes = 0, services = 0, functions = 0, params = 0, allParams = 0;
    bool operator==(const ModelCounts&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const ModelCounts& c) {
    return out << "{" << c.ecus << ", " << c.classes << ", " << c.services << ", " << c.functions
               << ", " << c.params << ", " << c.allParams << "}";
}
ModelCounts CountModel(IDiagnoseLib& library);

}  // namespace qm::diag::test
