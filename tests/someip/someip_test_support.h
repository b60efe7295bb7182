#pragma once
// Helpers of the SOME/IP tests: documents written to temporary files and loaded into a
// database, and the small package layouts the reader looks for.
#include <memory>
#include <string>
#include <vector>

#include "arxml_com/arxml_test_support.h"
#include "someip/arxml_database.h"

namespace someip_test {

using arxml_test::TempFile;

inline bool LoadPaths(CArxmlDatabase& db, const std::vector<std::string>& paths) {
    std::vector<const char*> files;
    for (const std::string& path : paths) files.push_back(path.c_str());
    return db.Load(files.data(), files.size());
}

// Loads documents (each written to its own file) in one Load, in the given reading mode.
inline std::unique_ptr<CArxmlDatabase> LoadTexts(const std::vector<std::string>& texts,
                                                 bool* ok = nullptr,
                                                 int32_t mode = kSomeIpReadExact) {
    std::vector<std::unique_ptr<TempFile>> files;
    std::vector<std::string> paths;
    for (const std::string& text : texts) {
        files.push_back(std::make_unique<TempFile>(text));
        paths.push_back(files.back()->Path());
    }
    auto db = std::make_unique<CArxmlDatabase>();
    db->SetReadingMode(mode);
    const bool loaded = LoadPaths(*db, paths);
    if (ok) *ok = loaded;
    return db;
}

inline std::unique_ptr<CArxmlDatabase> LoadText(const std::string& text, bool* ok = nullptr) {
    return LoadTexts({text}, ok);
}

inline std::string Document(const std::string& packages) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AUTOSAR><AR-PACKAGES>" + packages +
           "</AR-PACKAGES></AUTOSAR>\n";
}

inline std::string Package(const std::string& name, const std::string& elements,
                           const std::string& subPackages = "") {
    std::string text = "<AR-PACKAGE><SHORT-NAME>" + name + "</SHORT-NAME>";
    if (!elements.empty()) text += "<ELEMENTS>" + elements + "</ELEMENTS>";
    if (!subPackages.empty()) text += "<AR-PACKAGES>" + subPackages + "</AR-PACKAGES>";
    return text + "</AR-PACKAGE>";
}

inline std::string EcuPackage(const std::string& ecus = "Gateway") {
    return Package("ECU", "<ECU-INSTANCE><SHORT-NAME>" + ecus + "</SHORT-NAME></ECU-INSTANCE>");
}

// A data type reference as the members of structures and arrays write it.
inline std::string TypeRef(const std::string& path) {
    return "<SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS><SW-DATA-DEF-PROPS-CONDITIONAL>"
           "<IMPLEMENTATION-DATA-TYPE-REF DEST=\"IMPLEMENTATION-DATA-TYPE\">" +
           path +
           "</IMPLEMENTATION-DATA-TYPE-REF></SW-DATA-DEF-PROPS-CONDITIONAL>"
           "</SW-DATA-DEF-PROPS-VARIANTS></SW-DATA-DEF-PROPS>";
}

// A member of a structure; extra goes before its type reference.
inline std::string Member(const std::string& name, const std::string& typePath,
                          const std::string& extra = "") {
    return "<IMPLEMENTATION-DATA-TYPE-ELEMENT><SHORT-NAME>" + name +
           "</SHORT-NAME><CATEGORY>TYPE_REFERENCE</CATEGORY>" + extra + TypeRef(typePath) +
           "</IMPLEMENTATION-DATA-TYPE-ELEMENT>";
}

inline std::string DataType(const std::string& name, const std::string& category,
                            const std::string& body = "") {
    return "<IMPLEMENTATION-DATA-TYPE><SHORT-NAME>" + name + "</SHORT-NAME><CATEGORY>" + category +
           "</CATEGORY>" + body + "</IMPLEMENTATION-DATA-TYPE>";
}

// A riz package with one provided instance of `service` and its data types.
inline std::string RizWithService(const std::string& service, const std::string& datatypes,
                                  const std::string& stdtypes = "") {
    const std::string instance = "<PROVIDED-SOMEIP-SERVICE-INSTANCE><SHORT-NAME>" + service +
                                 "_Provider</SHORT-NAME></PROVIDED-SOMEIP-SERVICE-INSTANCE>";
    std::string subs = Package("instances", instance);
    if (!stdtypes.empty()) subs += Package("stdtypes", stdtypes);
    subs += Package("services", "", Package(service, "", Package("datatypes", datatypes)));
    return Package("riz", "", subs);
}

}  // namespace someip_test
