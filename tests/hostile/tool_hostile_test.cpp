// What a user trips on: interrupted writes, command lines the tool does not know, folders that
// are no ODX folders, writes that fail.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "hostile_input.h"
#include "platform/files.h"

namespace qm::hostile {
namespace {

namespace fs = std::filesystem;

class ToolHostile : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const { return scratch_.File(name); }
    size_t EntriesIn() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }
    Scratch scratch_;
    const fs::path& dir_ = scratch_.Path();
};

// A write interrupted by each signal the tool handles leaves neither target nor temporary.
TEST_F(ToolHostile, AnInterruptedWriteLeavesNoTemporaryBehind) {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string target = Path("target.dbc");
        const pid_t child = ::fork();
        if (child == 0) {
            platform::RemoveTemporariesOnSignals();
            platform::WriteFileAtomic(target, [&](const platform::PieceWriter& write) {
                write("VERSION \"\"\n");
                ::raise(signalNumber);
                return write("never\n");
            });
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << signalNumber;
        EXPECT_EQ(WTERMSIG(status), signalNumber);
        EXPECT_EQ(EntriesIn(), 0u) << signalNumber;
    }
}

TEST_F(ToolHostile, UsageErrorsExitTwoInTheToolsVoiceWithAHint) {
    const std::vector<std::vector<std::string>> lines = {
        {}, {"frobnicate", "a", "b"}, {"check"}, {"check", "--bogus", "x"}, {"info", "--format"}};
    for (const auto& arguments : lines) {
        const RunResult run = RunTool(arguments, Path("out.txt"));
        EXPECT_EQ(run.exitCode, 2) << run.output;
        EXPECT_EQ(run.output.rfind("quillmere: ", 0), 0u) << run.output;
        EXPECT_THAT(run.output, HasSubstr("--help")) << run.output;
    }
    EXPECT_THAT(RunTool({"frobnicate", "a", "b"}, Path("out.txt")).output,
                HasSubstr("unknown command 'frobnicate'"));
    EXPECT_EQ(RunTool({"--help"}, Path("out.txt")).exitCode, 0);
}

TEST_F(ToolHostile, AFolderWithoutOdxFilesAtItsTopIsRefusedUnlessRecursive) {
    fs::create_directories(dir_ / "deep" / "er");
    fs::copy_file(fs::path(QM_SOURCE_DIR) / "examples/door_ecu_odx/door_ecu.odx-d",
                  dir_ / "deep/er/door_ecu.odx-d");
    const RunResult refused = RunTool({"info", dir_.string()}, Path("out.txt"));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_THAT(refused.output, HasSubstr("without ODX or PDX files at its top level"))
        << refused.output;
    const RunResult recursive = RunTool({"info", "--recursive", dir_.string()}, Path("out.txt"));
    EXPECT_EQ(recursive.exitCode, 0) << recursive.output;
}

TEST_F(ToolHostile, AFailedWriteSaysWhy) {
    const std::string missing = Path("missing/out.dbc");
    const RunResult run =
        RunTool({"convert", std::string(QM_SOURCE_DIR) + "/examples/powertrain.dbc", missing},
                Path("out.txt"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.output, HasSubstr("cannot write '" + missing + "': No such file or directory"))
        << run.output;
}

}  // namespace
}  // namespace qm::hostile
