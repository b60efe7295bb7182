#include "tool_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

namespace tooltest {

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

Output RunTool(const std::string& arguments) {
    static int counter = 0;
    const fs::path errPath =
        fs::temp_directory_path() /
        ("qm_tool_err_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
    const std::string command =
        std::string(QM_TOOL_PATH) + " " + arguments + " 2>" + Quote(errPath.string());
    Output result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 65536> buffer{};
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadFile(errPath);
    std::error_code ignored;
    fs::remove(errPath, ignored);
    return result;
}

Merged RunQuillmere(const std::string& arguments) {
    const Output output = RunTool(arguments);
    return {output.exitCode, output.out + output.err};
}

nlohmann::json RunJson(const std::string& arguments) {
    const Output output = RunTool(arguments);
    if (output.exitCode != 0) {
        throw std::runtime_error(arguments + ": exit code " + std::to_string(output.exitCode) +
                                 "\n" + output.err);
    }
    return nlohmann::json::parse(output.out);
}

static void ExpectHas(const nlohmann::json& actual, const nlohmann::json& expected,
                      const std::string& at) {
    if (expected.is_object() && actual.is_object()) {
        for (const auto& [key, value] : expected.items()) {
            if (value.is_null() && !actual.contains(key)) continue;
            EXPECT_TRUE(actual.contains(key)) << "no " << at << "/" << key << " in " << actual;
            if (actual.contains(key)) ExpectHas(actual[key], value, at + "/" + key);
        }
    } else if (expected.is_array() && actual.is_array()) {
        EXPECT_LE(expected.size(), actual.size()) << at << ": " << actual;
        for (size_t i = 0; i < std::min(expected.size(), actual.size()); ++i)
            ExpectHas(actual[i], expected[i], at + "/" + std::to_string(i));
    } else {
        EXPECT_EQ(actual, expected) << at;
    }
}

void ExpectJsonHas(const nlohmann::json& actual, const std::string& expected) {
    SCOPED_TRACE(expected);
    ExpectHas(actual, nlohmann::json::parse(expected), "");
}

void ExpectRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        SCOPED_TRACE(run.arguments);
        const Output output = RunTool(run.arguments);
        if (run.exitCode < 0) {
            EXPECT_NE(output.exitCode, 0) << output.err;
        } else {
            EXPECT_EQ(output.exitCode, run.exitCode) << output.out << output.err;
        }
        ExpectTexts(output.out, run.out);
        ExpectTexts(output.err, run.err);
    }
}

}  // namespace tooltest
