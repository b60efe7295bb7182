// Reads arbitrary bytes as XML in every start state, writes the tree back and reads that again:
// nothing may crash, hang or read past the input. Small inputs are also read by the literal
// character-by-character reader of the tests, and both trees must be the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../tests/xml/literal_reader.cpp"
#include "../tests/xml/tree_dump.h"
#include "quillmere/xml.h"
#include "xml/xml_state.h"

namespace {

void ReadWriteRead(const std::string& input, bool mixed, int state) {
    NanoXML root;
    if (state != 0) root.name = "a";
    size_t announced = 0;
    root.onChildParsed =
        std::make_shared<const NanoXML::ChildCallback>([&announced](NanoXML*) { ++announced; });
    const size_t stop = root.Parse(input.data(), mixed, input.size(), 0, state);
    if (stop > input.size()) __builtin_trap();
    if (!mixed && announced != root.CountNodes()) __builtin_trap();
    // The literal reader recurses once per element, so only small inputs are compared.
    if (input.size() <= 4096) {
        NanoXML literal;
        if (state != 0) literal.name = "a";
        qm::testing::LiteralParse(&literal, input.data(), mixed, input.size(), 0, state,
                                  static_cast<uint16_t>(-1));
        NanoXML fast;
        if (state != 0) fast.name = "a";
        fast.Parse(input.data(), mixed, input.size(), 0, state);
        if (qm::testing::DumpTree(fast) != qm::testing::DumpTree(literal)) __builtin_trap();
        // Without a callback the lists are built another way; the tree must not differ.
        if (qm::testing::DumpTree(fast) != qm::testing::DumpTree(root)) __builtin_trap();
    }
    const std::string written = root.Serialize(0, false);
    NanoXML again;
    again.Parse(written.data(), mixed, written.size(), 0, 0);
    (void)again.ToString();
    (void)again.GetText();
    std::vector<NanoXML*> found;
    again.FindMatches(found, "a", 64, 0);
    again.CollectUnique(found, "a", "", "", 64);
}

// Element names read without their namespace prefix (as whole-document ARXML reads them): the
// same bounds, every element announced once, and the tree written back reads again.
void ReadLocalNames(const std::string& input, bool mixed) {
    const qm::xml::LocalElementNamesScope names(true);
    NanoXML root;
    size_t announced = 0;
    root.onChildParsed =
        std::make_shared<const NanoXML::ChildCallback>([&announced](NanoXML*) { ++announced; });
    const size_t stop = root.Parse(input.data(), mixed, input.size(), 0, 0);
    if (stop > input.size()) __builtin_trap();
    if (!mixed && announced != root.CountNodes()) __builtin_trap();
    const std::string written = root.Serialize(0, false);
    NanoXML again;
    again.Parse(written.data(), mixed, written.size(), 0, 0);
    (void)again.ToString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    ReadWriteRead(input, false, 0);
    ReadWriteRead(input, true, 0);
    ReadWriteRead(input, false, 10);
    ReadWriteRead(input, true, 2);
    ReadLocalNames(input, false);
    ReadLocalNames(input, true);
    return 0;
}
