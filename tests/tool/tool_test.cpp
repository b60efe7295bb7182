// Runs the quillmere tool as a user would and checks its output and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tool_support.h"

namespace tool {

TEST(Tool, VersionInTextAndJson) {
    ExpectRuns({{"version", 0, {"1.00.40.03"}}});
    const json parsed = RunJson("version --json");
    ExpectJsonHas(parsed, R"({"library": "1.00.40.03", "buildDate": "Apr 25 2022"})");
    EXPECT_TRUE(parsed["fileClasses"].is_object());
}

TEST(Tool, FailuresAreOneLineOnStderrWithNonZeroExit) {
    const auto unknown = tooltest::RunQuillmere("info /nonexistent/file.unknownext");
    EXPECT_NE(unknown.exitCode, 0);
    EXPECT_EQ(unknown.text.rfind("quillmere: ", 0), 0u) << unknown.text;
    EXPECT_EQ(std::count(unknown.text.begin(), unknown.text.end(), '\n'), 1);

    ExpectRuns({{"xml /nonexistent/file.xml", -1, {}, {"cannot read"}}, {"nosuchcommand", -1}});
}

TEST(Tool, XmlPrintsTheDocumentBackThroughTheWriter) {
    const tooltest::ScratchFolder folder("tool_xml");
    const std::string path = (folder / "doc.xml").string();
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n<a x='1'><b>t &lt; u</b><c/></a>";
    ExpectRuns({{"xml " + path, 0, {"=<a x=\"1\">\r\n   <b>t &lt; u</b>\r\n   <c/>\r\n</a>\r\n"}}});
    ExpectJsonHas(RunJson("xml --stats --json " + path),
                  R"({"root": "a", "elements": 3, "attributes": 1})");
}

}  // namespace tool
