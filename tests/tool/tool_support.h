#pragma once
// Running the quillmere binary from tests, with stdout and stderr kept apart.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "expect_texts.h"
#include "temp_files.h"

namespace tooltest {

struct Output {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The bundled examples and the shared corpus.
inline const std::filesystem::path kExamples = std::filesystem::path(QM_SOURCE_DIR) / "examples";
inline const std::filesystem::path kCorpus = std::filesystem::path(QM_SHARED_DIR) / "corpus";

// Runs the tool with the given argument text (already quoted as a shell needs it).
Output RunTool(const std::string& arguments);

// The exit code and everything the tool printed: standard output, then standard error.
struct Merged {
    int exitCode = -1;
    std::string text;
};
Merged RunQuillmere(const std::string& arguments);

// The JSON a run of the tool prints; a run that fails or prints no JSON throws, which fails the
// test with the tool's standard error.
nlohmann::json RunJson(const std::string& arguments);

// Every value of `expected` (JSON text) stands at its place in `actual`: members by key, array
// items by index ({} leaves an item out), null also by its absence; other members are free.
void ExpectJsonHas(const nlohmann::json& actual, const std::string& expected);

// One run of the tool: its arguments, its exit code (-1: any but 0) and texts of its standard
// output and standard error, as qmtest::ExpectTexts takes them.
struct Run {
    std::string arguments;
    int exitCode;
    std::vector<std::string> out = {};
    std::vector<std::string> err = {};
};
void ExpectRuns(const std::vector<Run>& runs);

// A path quoted for the shell.
std::string Quote(const std::string& text);

// A fresh folder under the temporary directory, removed with its content at the end of scope.
using ScratchFolder = qmtest::TempFolder;

using qmtest::ReadFile;

}  // namespace tooltest

// The names every test of the folder uses, declared once for the folder.
namespace fs = std::filesystem;
using nlohmann::json;
using qmtest::ExpectTexts;
using tooltest::ExpectJsonHas;
using tooltest::ExpectRuns;
using tooltest::kCorpus;
using tooltest::kExamples;
using tooltest::Output;
using tooltest::Quote;
using tooltest::ReadFile;
using tooltest::RunJson;
using tooltest::RunQuillmere;
using tooltest::RunTool;
using tooltest::ScratchFolder;
