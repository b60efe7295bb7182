#pragma once
// Helpers of the ARXML tests: documents written to temporary files and loaded.
#include <filesystem>
#include <memory>
#include <string>

#include "arxml_com/netconfig_arxml_file.h"
#include "temp_files.h"

namespace arxml_test {

// The real ARXML files of the shared corpus.
inline const std::filesystem::path kCorpus = QM_SHARED_DIR "/corpus/arxml";

// A file in the temporary folder that is removed again.
class TempFile : public qmtest::TempFile {
  public:
    explicit TempFile(const std::string& content, const std::string& suffix = ".arxml")
        : qmtest::TempFile("document" + suffix, content) {}
};

inline std::unique_ptr<NetConfigArxmlFile> LoadText(const std::string& text, bool* ok = nullptr) {
    TempFile file(text);
    auto arxml = std::make_unique<NetConfigArxmlFile>();
    const bool loaded = arxml->Load(file.Path().c_str());
    if (ok) *ok = loaded;
    return arxml;
}

// An AUTOSAR 4 document around the given packages.
inline std::string Autosar4(const std::string& packages) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<AUTOSAR xmlns=\"http://autosar.org/schema/r4.0\" "
           "xsi:schemaLocation=\"http://autosar.org/schema/r4.0 AUTOSAR_4-2-2.xsd\">"
           "<AR-PACKAGES>" +
           packages + "</AR-PACKAGES></AUTOSAR>\n";
}

// An AUTOSAR 3 document around the given packages.
inline std::string Autosar3(const std::string& packages) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<AUTOSAR xmlns=\"http://autosar.org/3.2.3\" "
           "xsi:schemaLocation=\"http://autosar.org/3.2.3 AUTOSAR_3-2-3.xsd\">"
           "<TOP-LEVEL-PACKAGES>" +
           packages + "</TOP-LEVEL-PACKAGES></AUTOSAR>\n";
}

inline std::string Package(const std::string& name, const std::string& elements) {
    return "<AR-PACKAGE><SHORT-NAME>" + name + "</SHORT-NAME><ELEMENTS>" + elements +
           "</ELEMENTS></AR-PACKAGE>";
}

// A CAN cluster of 500000 baud whose one physical channel "Ch" holds channelContent.
inline std::string CanCluster(const std::string& name, const std::string& channelContent) {
    return "<CAN-CLUSTER><SHORT-NAME>" + name +
           "</SHORT-NAME><CAN-CLUSTER-VARIANTS><CAN-CLUSTER-CONDITIONAL>"
           "<BAUDRATE>500000</BAUDRATE><PHYSICAL-CHANNELS><CAN-PHYSICAL-CHANNEL>"
           "<SHORT-NAME>Ch</SHORT-NAME>" +
           channelContent +
           "</CAN-PHYSICAL-CHANNEL></PHYSICAL-CHANNELS></CAN-CLUSTER-CONDITIONAL>"
           "</CAN-CLUSTER-VARIANTS></CAN-CLUSTER>";
}

inline std::string FrameTriggering(const std::string& name, const std::string& framePath,
                                   int id = 17) {
    return "<CAN-FRAME-TRIGGERING><SHORT-NAME>" + name +
           "</SHORT-NAME><FRAME-REF DEST=\"CAN-FRAME\">" + framePath +
           "</FRAME-REF><CAN-ADDRESSING-MODE>STANDARD</CAN-ADDRESSING-MODE><IDENTIFIER>" +
           std::to_string(id) + "</IDENTIFIER></CAN-FRAME-TRIGGERING>";
}

inline std::string PduTriggering(const std::string& name, const std::string& pduPath,
                                 const std::string& kind = "I-SIGNAL-I-PDU") {
    return "<PDU-TRIGGERING><SHORT-NAME>" + name + "</SHORT-NAME><I-PDU-REF DEST=\"" + kind +
           "\">" + pduPath + "</I-PDU-REF></PDU-TRIGGERING>";
}

// A CAN frame carrying the PDU at pduPath (none for an empty path).
inline std::string Frame(const std::string& name, const std::string& pduPath, int length = 8,
                         const std::string& kind = "I-SIGNAL-I-PDU") {
    return "<CAN-FRAME><SHORT-NAME>" + name + "</SHORT-NAME><FRAME-LENGTH>" +
           std::to_string(length) + "</FRAME-LENGTH>" +
           (pduPath.empty() ? std::string()
                            : "<PDU-TO-FRAME-MAPPINGS><PDU-TO-FRAME-MAPPING><SHORT-NAME>x"
                              "</SHORT-NAME><PDU-REF DEST=\"" +
                                  kind + "\">" + pduPath +
                                  "</PDU-REF></PDU-TO-FRAME-MAPPING></PDU-TO-FRAME-MAPPINGS>") +
           "</CAN-FRAME>";
}

}  // namespace arxml_test
