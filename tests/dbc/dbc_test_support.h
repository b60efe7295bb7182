#pragma once
// Helpers shared by the DBC tests: temporary files, loading and saving texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "dbc/netconfig_dbc_file.h"
#include "expect_texts.h"
#include "temp_files.h"

namespace dbctest {

namespace fs = std::filesystem;

using TempFolder = qmtest::TempFolder;

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

using qmtest::ReadFile;

// Loads a DBC text through a file in folder; returns the load result.
inline bool LoadText(NetConfigDbcFile& file, const TempFolder& folder, const std::string& text,
                     const std::string& name = "test.dbc") {
    const std::string path = folder.File(name);
    WriteText(path, text);
    return file.Load(path.c_str());
}

// Saves the model as folder's file name and returns the text written.
inline std::string SavedText(NetConfigDbcFile& file, const TempFolder& folder,
                             const std::string& name = "out.dbc") {
    const std::string path = folder.File(name);
    EXPECT_TRUE(file.Save(path.c_str())) << path;
    return ReadFile(path);
}

// The messages without the timing line at the end.
inline std::string MessagesWithoutTiming(NetConfigDbcFile& file) {
    std::string messages = file.GetMessages();
    const size_t timing = messages.rfind("Dbc parser measured time: ");
    return timing == std::string::npos ? messages : messages.substr(0, timing);
}

}  // namespace dbctest

// The helpers every test of the folder uses, declared once for the folder.
using dbctest::LoadText;
using dbctest::MessagesWithoutTiming;
using dbctest::ReadFile;
using dbctest::SavedText;
using dbctest::TempFolder;
using qmtest::ExpectTexts;
