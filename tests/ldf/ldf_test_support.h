#pragma once
// Helpers of the LDF tests: texts written to temporary files and loaded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "expect_texts.h"
#include "ldf/netconfig_ldf_file.h"
#include "temp_files.h"

namespace qm::ldf::test {

inline std::filesystem::path TempDir() {
    static const std::filesystem::path dir = [] {
        auto path =
            std::filesystem::temp_directory_path() / ("qm_ldf_test_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

inline std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = (TempDir() / name).string();
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
}

using qmtest::ExpectTexts;
using qmtest::ReadFile;

// Loads text as an LDF file; returns the load result.
inline bool LoadText(NetConfigLdfFile& file, const std::string& text,
                     const std::string& name = "test.ldf") {
    return file.Load(WriteTemp(name, text).c_str());
}

// Loads text as an LDF file read tolerantly (ILdfTolerantReading); returns the load result.
inline bool LoadTolerantText(NetConfigLdfFile& file, const std::string& text) {
    file.SetTolerantReading(true);
    return LoadText(file, text);
}

// The messages without the closing timing line.
inline std::string MessagesOf(NetConfigLdfFile& file) {
    std::string messages = file.GetMessages();
    const size_t timing = messages.rfind("Measure time: ");
    return timing == std::string::npos ? messages : messages.substr(0, timing);
}

// A LIN 2.1 header; the protocol version is given by the caller.
inline std::string Header(const std::string& protocol = "2.1") {
    return "LIN_description_file;\n"
           "LIN_protocol_version = \"" +
           protocol +
           "\";\n"
           "LIN_language_version = \"" +
           protocol +
           "\";\n"
           "LIN_speed = 19.2 kbps;\n";
}

inline const char* kNodes =
    "Nodes {\n"
    "  Master: CEM, 5 ms, 0.1 ms;\n"
    "  Slaves: LSM, RSM;\n"
    "}\n";

inline const char* kSignalsAndFrames =
    "Signals {\n"
    "  Request: 2, 0, CEM, LSM, RSM;\n"
    "  LeftSwitch: 8, 0, LSM, CEM;\n"
    "  RightSwitch: 8, 0, RSM, CEM;\n"
    "  LsmError: 1, 0, LSM, CEM;\n"
    "}\n"
    "Frames {\n"
    "  CemFrame: 0x01, CEM, 1 {\n"
    "    Request, 0;\n"
    "  }\n"
    "  LsmFrame: 0x02, LSM, 2 {\n"
    "    LeftSwitch, 8;\n"
    "    LsmError, 1;\n"
    "  }\n"
    "  RsmFrame: 0x03, RSM, 2 {\n"
    "    RightSwitch, 8;\n"
    "  }\n"
    "}\n";

}  // namespace qm::ldf::test
