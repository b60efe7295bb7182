#pragma once
// Small ODX documents for the tests, and a suite fixture reading one as written.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "diag/diagnose_lib.h"
#include "diag_test_support.h"

namespace qm::diag::test::odx {

inline std::string Coded(const std::string& type, int bits, const std::string& kind = "") {
    return "<DIAG-CODED-TYPE BASE-DATA-TYPE=\"" + type + "\" xsi:type=\"" +
           (kind.empty() ? "STANDARD-LENGTH-TYPE" : kind) + "\">" +
           (bits > 0 ? "<BIT-LENGTH>" + std::to_string(bits) + "</BIT-LENGTH>" : "") +
           "</DIAG-CODED-TYPE>";
}
// A data object of the identical computation.
inline std::string Dop(const std::string& id, const std::string& coded) {
    return "<DATA-OBJECT-PROP ID=\"" + id + "\"><SHORT-NAME>" + id +
           "</SHORT-NAME><COMPU-METHOD><CATEGORY>IDENTICAL</CATEGORY></COMPU-METHOD>" + coded +
           "</DATA-OBJECT-PROP>";
}
// kind "VALUE" refers to a data object, "CODED-CONST" and "NRC-CONST" carry `content`; a
// negative byte leaves the position out.
inline std::string Param(const std::string& kind, const std::string& name, int byte,
                         const std::string& content, const std::string& attributes = "") {
    return "<PARAM xsi:type=\"" + kind + "\"" + attributes + "><SHORT-NAME>" + name +
           "</SHORT-NAME>" +
           (byte >= 0 ? "<BYTE-POSITION>" + std::to_string(byte) + "</BYTE-POSITION>" : "") +
           content + "</PARAM>";
}
inline std::string Value(const std::string& name, int byte, const std::string& dop) {
    return Param("VALUE", name, byte, "<DOP-REF ID-REF=\"" + dop + "\"/>");
}
inline std::string Const(const std::string& name, int byte, int value, int bits = 8) {
    return Param(
        "CODED-CONST", name, byte,
        "<CODED-VALUE>" + std::to_string(value) + "</CODED-VALUE>" + Coded("A_UINT32", bits));
}
inline std::string Message(const std::string& element, const std::string& id,
                           const std::string& params) {
    return "<" + element + " ID=\"" + id + "\"><SHORT-NAME>" + id + "</SHORT-NAME><PARAMS>" +
           params + "</PARAMS></" + element + ">";
}
// A service whose request is "rq.<name>", with what `extra` adds (response references).
inline std::string Service(const std::string& name, const std::string& extra = "") {
    return "<DIAG-SERVICE ID=\"s." + name + "\"><SHORT-NAME>" + name +
           "</SHORT-NAME><REQUEST-REF ID-REF=\"rq." + name + "\"/>" + extra + "</DIAG-SERVICE>";
}
// A service of its own id, request (none when empty) and `extra` (names, references).
inline std::string Service(const std::string& id, const std::string& name,
                           const std::string& request, const std::string& extra = "") {
    return "<DIAG-SERVICE ID=\"" + id + "\"><SHORT-NAME>" + name + "</SHORT-NAME>" + extra +
           (request.empty() ? "" : "<REQUEST-REF ID-REF=\"" + request + "\"/>") + "</DIAG-SERVICE>";
}
inline std::string Request(const std::string& id, const std::string& params) {
    return Message("REQUEST", id, params);
}
inline std::string PositiveResponseRef(const std::string& id) {
    return "<POS-RESPONSE-REFS><POS-RESPONSE-REF ID-REF=\"" + id + "\"/></POS-RESPONSE-REFS>";
}
// A container "dlc" holding the base variant "Base" with `content`, then `after` (more layers).
inline std::string BaseVariantDocument(const std::string& container, const std::string& content,
                                       const std::string& after = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ODX MODEL-VERSION=\"2.2.0\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n<DIAG-LAYER-CONTAINER "
           "ID=\"dlc\"><SHORT-NAME>" +
           container +
           "</SHORT-NAME>\n<BASE-VARIANTS><BASE-VARIANT ID=\"base\"><SHORT-NAME>Base</SHORT-NAME>" +
           content + "</BASE-VARIANT></BASE-VARIANTS>" + after + "</DIAG-LAYER-CONTAINER></ODX>\n";
}

// Reads the document MakeDocument writes as written, once for the suite.
template <std::string (*MakeDocument)()>
class AsWrittenSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        NanoXML::ClearMessageLog();
        file_ = std::make_unique<TempFile>("suite.odx-d", MakeDocument());
        library_ = std::make_unique<CDiagnoseLib>();
        library_->SetReadingAsWritten(1);
        library_->LoadOdxFile(file_->Path().c_str(), 1);
    }
    static void TearDownTestSuite() {
        library_.reset();
        file_.reset();
    }
    static CECU& Ecu(const std::string& name = "Base") {
        return dynamic_cast<CECU&>(*EcuNamed(*library_, name));
    }
    static CUDSService& Service(const std::string& name) {
        return dynamic_cast<CUDSService&>(*ServiceOf(&Ecu(), name));
    }
    static inline std::unique_ptr<TempFile> file_;
    static inline std::unique_ptr<CDiagnoseLib> library_;
};

}  // namespace qm::diag::test::odx
