// ODX reference resolution: exact keys by (value, document), the container fallback, the first
// element of a key, short-name references and the lines for unresolved references.
#include <gtest/gtest.h>

#include <string>

#include "quillmere/xml.h"
#include "xml/reference_resolver.h"

namespace qm::xml {
namespace {

struct Resolved {
    NanoXML root;
    OdxReferenceResolver resolver;
    uint64_t pending = 0;  // references collected before resolving
    explicit Resolved(const std::string& text, unsigned workers = 0) {
        NanoXML::ClearMessageLog();
        root.Parse(text.data(), false, text.size(), 0, 0);
        resolver.CollectTree(&root);
        pending = resolver.PendingCount();
        resolver.Resolve(&root, workers);
    }
    // The n-th element of that name in document order.
    NanoXML* Nth(const std::string& name, size_t n = 0) {
        std::vector<NanoXML*> found;
        root.FindAll(found, name, "", "", "", "", static_cast<uint8_t>(-1));
        return n < found.size() ? found[n] : nullptr;
    }
};

// Two layers in container "C" both define ID "X"; layer "L2" refers to X with and without a
// document, and to Y, which only L1 defines; a short name of its own is linked.
const char* kTwoLayers =
    "<ODX><DIAG-LAYER-CONTAINER><SHORT-NAME>C</SHORT-NAME>"
    "<BASE-VARIANT><SHORT-NAME>L1</SHORT-NAME><A ID='X'/><A ID='Y'/><A ID='X'/></BASE-VARIANT>"
    "<BASE-VARIANT><SHORT-NAME>L2</SHORT-NAME><A ID='X'/>"
    "<R-REF ID-REF='X'/><R-REF ID-REF='X' DOCREF='L1'/><R-REF ID-REF='Y' DOCREF='C'/>"
    "<R-REF ID-REF=''/><R-REF ID-REF='Z'/><T-SNREF SHORT-NAME='L1'/>"
    "<S><SHORT-NAME>Svc</SHORT-NAME></S><S-SNREF SHORT-NAME='Svc'/>"
    "<PARENT-REF DOCREF='L1'><DIAG-COMM-SNREF SHORT-NAME='L1'/></PARENT-REF>"
    "</BASE-VARIANT></DIAG-LAYER-CONTAINER></ODX>";

TEST(OdxResolution, LayersToldApartByDocumentAndFallbackThroughTheContainer) {
    Resolved r(kTwoLayers);
    NanoXML* ownX = r.Nth("A", 3);
    EXPECT_EQ(r.pending, 7u);                  // the empty ID-REF is no reference
    EXPECT_EQ(r.Nth("R-REF", 0)->link, ownX);  // no DOCREF: its own layer
    EXPECT_EQ(r.Nth("R-REF", 0)->flags & 3, NanoXML::kFlagReference);
    EXPECT_EQ(r.Nth("R-REF", 1)->link, r.Nth("A", 0));  // the first X of L1, not the second
    EXPECT_EQ(r.Nth("R-REF", 2)->link, r.Nth("A", 1));  // Y found in container C
    // An empty ID-REF is neither resolved nor reported; Z is reported once.
    EXPECT_EQ(r.Nth("R-REF", 3)->link, nullptr);
    EXPECT_EQ(r.Nth("R-REF", 3)->flags & NanoXML::kFlagUnresolved, 0);
    EXPECT_NE(r.Nth("R-REF", 4)->flags & NanoXML::kFlagUnresolved, 0);
    EXPECT_EQ(NanoXML::MessageLog(),
              "Unresolved REF: \"R-REF\" ID=\"Z\"\r\nUnresolved SNREF: \"T-SNREF\" ID=\"L1\"\r\n");
    ASSERT_EQ(r.resolver.Unresolved().size(), 2u);
    EXPECT_EQ(r.resolver.Unresolved()[0], r.Nth("R-REF", 4));
    // Short names link the element that carries them.
    EXPECT_EQ(r.Nth("T-SNREF")->link, nullptr);  // "L1" is no short name inside L2
    EXPECT_EQ(r.Nth("DIAG-COMM-SNREF")->link, r.Nth("BASE-VARIANT", 0));
    EXPECT_EQ(r.Nth("S-SNREF")->link, r.Nth("S"));
}

// A reference that names the container instead of a layer is looked up among the entries of its
// value ordered by document name, as the index keeps them: layer "AB" comes before layer "ZB"
// even though "ZB" is read first. Only the kept entry of a key (the first "ZB" one) takes part.
TEST(OdxResolution, ContainerFallbackTakesTheEntriesInDocumentNameOrder) {
    Resolved r(
        "<ODX><DIAG-LAYER-CONTAINER><SHORT-NAME>C</SHORT-NAME>"
        "<BASE-VARIANT><SHORT-NAME>ZB</SHORT-NAME><A ID='X'/><S><SHORT-NAME>Svc</SHORT-NAME></S>"
        "<R-REF ID-REF='X' DOCREF='C'/><S-SNREF SHORT-NAME='Svc' DOCREF='C'/></BASE-VARIANT>"
        "<BASE-VARIANT><SHORT-NAME>AB</SHORT-NAME><A ID='X'/><S><SHORT-NAME>Svc</SHORT-NAME></S>"
        "</BASE-VARIANT></DIAG-LAYER-CONTAINER>"
        "<DIAG-LAYER-CONTAINER><SHORT-NAME>D</SHORT-NAME><BASE-VARIANT><SHORT-NAME>ZB</SHORT-NAME>"
        "<A ID='Y'/></BASE-VARIANT></DIAG-LAYER-CONTAINER>"
        "<DIAG-LAYER-CONTAINER><SHORT-NAME>C</SHORT-NAME><BASE-VARIANT><SHORT-NAME>ZB</SHORT-NAME>"
        "<A ID='Y'/></BASE-VARIANT></DIAG-LAYER-CONTAINER>"
        "<R-REF ID-REF='Y' DOCREF='C'/></ODX>");
    EXPECT_EQ(r.Nth("R-REF", 0)->link, r.Nth("A", 1));
    EXPECT_EQ(r.Nth("S-SNREF")->link, r.Nth("S", 1));
    // (Y, "ZB") is held by container D's element; the one in the second "C" is not indexed.
    EXPECT_EQ(r.Nth("R-REF", 1)->link, nullptr);
    EXPECT_EQ(NanoXML::MessageLog(), "Unresolved REF: \"R-REF\" ID=\"Y\"\r\n");
}

// Collected while the document is read, an element takes the document name its layer has at
// that moment: a layer whose SHORT-NAME follows an element with an ID names every element from
// its SHORT-NAME on.
TEST(OdxResolution, CollectedWhileReadingALayerIsNamedOnceItsShortNameIsRead) {
    const std::string text =
        "<ODX><DIAG-LAYER-CONTAINER><SHORT-NAME>C</SHORT-NAME><BASE-VARIANT><A ID='X'/>"
        "<SHORT-NAME>L</SHORT-NAME><A ID='Y'/><S><SHORT-NAME>Svc</SHORT-NAME></S>"
        "</BASE-VARIANT><R-REF ID-REF='Y' DOCREF='L'/><R-REF ID-REF='X' DOCREF='L'/>"
        "<T-SNREF SHORT-NAME='L' DOCREF='L'/></DIAG-LAYER-CONTAINER></ODX>";
    NanoXML::ClearMessageLog();
    NanoXML root;
    OdxReferenceResolver resolver;
    root.onChildParsed = resolver.MakeCallback();
    root.Parse(text.data(), false, text.size(), 0, 0);
    resolver.Resolve(&root, 1);
    const NanoXML* variant = root.children[0]->children[1];
    EXPECT_EQ(root.children[0]->children[2]->link, variant->children[2]);
    EXPECT_EQ(root.children[0]->children[4]->link, variant);
    // X was read before its layer had a name.
    EXPECT_EQ(NanoXML::MessageLog(), "Unresolved REF: \"R-REF\" ID=\"X\"\r\n");
}

TEST(OdxResolution, OneWorkerAndManyGiveTheSameLinks) {
    std::string text =
        "<ODX><DIAG-LAYER-CONTAINER><SHORT-NAME>C</SHORT-NAME><BASE-VARIANT>"
        "<SHORT-NAME>L</SHORT-NAME>";
    for (int i = 0; i < 500; ++i) text += "<A ID='I" + std::to_string(i) + "'/>";
    for (int i = 0; i < 1000; ++i) text += "<R-REF ID-REF='I" + std::to_string(i % 600) + "'/>";
    text += "</BASE-VARIANT></DIAG-LAYER-CONTAINER></ODX>";
    Resolved one(text, 1);
    Resolved many(text, 4);
    EXPECT_EQ(one.resolver.Unresolved().size(), 100u);  // I500 to I599
    EXPECT_EQ(many.resolver.Unresolved().size(), 100u);
    // The lines come in work-list order whatever the workers did.
    const std::string log = NanoXML::MessageLog();
    EXPECT_EQ(log.rfind("Unresolved REF: \"R-REF\" ID=\"I500\"\r\n", 0), 0u);
    EXPECT_NE(log.find("ID=\"I599\"\r\n", log.size() - 14), std::string::npos);
    for (size_t i = 0; i < 1000; ++i) {
        const bool linkedOne = one.Nth("R-REF", i)->link != nullptr;
        ASSERT_EQ(linkedOne, many.Nth("R-REF", i)->link != nullptr) << i;
    }
}

}  // namespace
}  // namespace qm::xml
