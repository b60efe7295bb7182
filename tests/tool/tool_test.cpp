// Runs the quillmere tool as a user would and checks its output and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
};

// Runs the tool with the given arguments; stderr is folded into the output when asked.
RunResult RunTool(const std::string& arguments, bool withStderr = false) {
    std::string command = std::string(QM_TOOL_PATH) + " " + arguments;
    command += withStderr ? " 2>&1" : " 2>/dev/null";
    RunResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string WriteTemp(const std::string& name, const std::string& content) {
    const fs::path path =
        fs::temp_directory_path() / ("qm_tool_" + std::to_string(::getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

}  // namespace

TEST(Tool, VersionInTextAndJson) {
    RunResult text = RunTool("version");
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("1.00.40.03"), std::string::npos);

    RunResult json = RunTool("version --json");
    ASSERT_EQ(json.exitCode, 0);
    auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["library"], "1.00.40.03");
    EXPECT_EQ(parsed["buildDate"], "Apr 25 2022");
    EXPECT_TRUE(parsed["fileClasses"].is_object());
}

TEST(Tool, FailuresAreOneLineOnStderrWithNonZeroExit) {
    RunResult unknown = RunTool("info /nonexistent/file.unknownext", true);
    EXPECT_NE(unknown.exitCode, 0);
    EXPECT_EQ(unknown.out.rfind("quillmere: ", 0), 0u) << unknown.out;
    EXPECT_EQ(std::count(unknown.out.begin(), unknown.out.end(), '\n'), 1);

    RunResult missing = RunTool("xml /nonexistent/file.xml", true);
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.out.find("cannot read"), std::string::npos);

    EXPECT_NE(RunTool("nosuchcommand").exitCode, 0);
}

TEST(Tool, XmlPrintsTheDocumentBackThroughTheWriter) {
    const std::string path =
        WriteTemp("doc.xml", "<?xml version=\"1.0\"?>\n<a x='1'><b>t &lt; u</b><c/></a>");
    RunResult printed = RunTool("xml " + path);
    ASSERT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.out, "<a x=\"1\">\r\n   <b>t &lt; u</b>\r\n   <c/>\r\n</a>\r\n");

    RunResult stats = RunTool("xml --stats --json " + path);
    ASSERT_EQ(stats.exitCode, 0);
    auto parsed = nlohmann::json::parse(stats.out);
    EXPECT_EQ(parsed["root"], "a");
    EXPECT_EQ(parsed["elements"], 3);
    EXPECT_EQ(parsed["attributes"], 1);
    fs::remove(path);
}

TEST(Tool, DemoRunsOverTheBundledExamples) {
    RunResult demo = RunTool(std::string("demo --examples ") + QM_SOURCE_DIR + "/examples");
    EXPECT_EQ(demo.exitCode, 0);
    EXPECT_NE(demo.out.find("Quillmere demo"), std::string::npos);
}
