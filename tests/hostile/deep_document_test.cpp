// Deep documents through the writer: written without recursion, the text stays linear in the
// depth, and a million levels go through "quillmere xml" in bounded time and memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "hostile_input.h"
#include "quillmere/xml.h"
#include "xml/xml_writer.h"

namespace qm::hostile {
namespace {

std::string SerializedChain(size_t depth) {
    NanoXML root;
    root.name = "a";
    NanoXML* node = &root;
    for (size_t i = 1; i < depth; ++i) node = node->AddChild("a", "", 0);
    return root.Serialize(0, false);
}

TEST(DeepDocument, IndentationStopsAtItsCapSoTheTextGrowsLinearly) {
    const std::string text = SerializedChain(4000);
    // Twice the depth, about twice the text (an indentation that kept growing: four times).
    EXPECT_LT(static_cast<double>(SerializedChain(8000).size()), 2.1 * text.size());
    const std::string deepest = "\r\n" + std::string(3 * xml::kMaxIndentLevels, ' ') + "<a/>";
    EXPECT_THAT(text, HasSubstr(deepest));
    EXPECT_THAT(text, Not(HasSubstr(std::string(3 * xml::kMaxIndentLevels + 1, ' '))));
    // Shallow trees are written exactly as before: 3 spaces a level.
    EXPECT_EQ(SerializedChain(3), "<a>\r\n   <a>\r\n      <a/>\r\n   </a>\r\n</a>");
    // The text reads back to the whole chain; the display form closes every level.
    NanoXML again;
    again.Parse(text.data(), false, text.size(), 0, 0);
    EXPECT_EQ(again.CountNodes(), 4000u - 1);
    const std::string display = again.ToString();
    EXPECT_EQ(std::count(display.begin(), display.end(), '/'), 4000);
}

TEST(DeepDocument, AMillionLevelsGoThroughTheToolInBoundedTimeAndMemory) {
    const Scratch scratch;
    const std::string path = scratch.File("deep.xml");
    constexpr size_t kDepth = 1000000;
    {
        std::ofstream out(path, std::ios::binary);
        for (size_t i = 0; i < kDepth; ++i) out << "<a>";
        for (size_t i = 0; i < kDepth; ++i) out << "</a>";
    }
    const RunResult run = RunTool({"xml", path}, "/dev/null");
    std::printf("xml of %zu levels: %.2f s, peak %ld MB\n", kDepth, run.seconds,
                run.peakKilobytes / 1024);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.seconds, 30.0);  // about 0.5 s of CPU; generous for a loaded machine
    EXPECT_LT(run.peakKilobytes, 1024 * 1024);
}

}  // namespace
}  // namespace qm::hostile
