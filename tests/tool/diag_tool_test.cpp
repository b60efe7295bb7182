// The tool on CDD files: info, dump with and without grouping, check and encode-request.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace {

struct Output {
    int exitCode = -1;
    std::string text;
};

Output RunQuillmere(const std::string& arguments) {
    const std::string command = std::string(QM_TOOL_PATH) + " " + arguments + " 2>&1";
    Output output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    std::array<char, 4096> buffer{};
    size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.text.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    output.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

const std::string kExample = std::string(QM_SOURCE_DIR) + "/examples/door_ecu.cdd";

TEST(DiagTool, InfoAndDumpAsJson) {
    Output info = RunQuillmere("info --json " + kExample);
    ASSERT_EQ(info.exitCode, 0) << info.text;
    const auto json = nlohmann::json::parse(info.text);
    EXPECT_EQ(json["format"], "CANDELA_7.0");
    EXPECT_EQ(json["ecus"][0]["services"], 3);
    EXPECT_EQ(json["ecus"][0]["base"], true);

    Output dump = RunQuillmere("dump --json --grouping " + kExample);
    ASSERT_EQ(dump.exitCode, 0) << dump.text;
    const auto grouped = nlohmann::json::parse(dump.text);
    const auto& groups = grouped["ecus"][0]["groups"];
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1]["name"], "22  Read Data By Identifier");
    EXPECT_EQ(groups[1]["services"][0]["name"], "1100 Supply Voltage Read");
    EXPECT_EQ(groups[1]["services"][1]["requests"][0]["bytes"], "22F190");
}

TEST(DiagTool, EncodeRequestWithParameterValues) {
    Output plain = RunQuillmere("encode-request " + kExample + " DoorFrontLeft VIN_Read");
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.text, "22 F1 90\n");
    Output set = RunQuillmere("encode-request --json " + kExample +
                              " DoorCommon ExtendedSession_Start Session=0x01");
    ASSERT_EQ(set.exitCode, 0) << set.text;
    EXPECT_EQ(nlohmann::json::parse(set.text)["bytes"], "1001");
    EXPECT_NE(RunQuillmere("encode-request " + kExample + " DoorCommon NoSuchService").exitCode, 0);
    EXPECT_NE(RunQuillmere("encode-request " + kExample + " DoorCommon VIN_Read Nope=1").exitCode,
              0);
}

TEST(DiagTool, CheckGivesTheDeservedMessages) {
    EXPECT_EQ(RunQuillmere("check " + kExample).exitCode, 0);
    const std::string invalid = std::string(QM_SHARED_DIR) + "/corpus/diag/invalid-bo-example.cdd";
    if (!std::filesystem::exists(invalid)) GTEST_SKIP() << "no corpus";
    Output check = RunQuillmere("check --json " + invalid);
    EXPECT_EQ(check.exitCode, 1);
    const auto json = nlohmann::json::parse(check.text);
    ASSERT_EQ(json["messages"].size(), 1u);
    // Latin-1 texts come out as UTF-8.
    Output dump = RunQuillmere("dump --json " + invalid);
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_NE(dump.text.find("Steuerger\xC3\xA4t"), std::string::npos);
}

}  // namespace
