#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "expect_fields.h"
#include "quillmere/xml.h"

namespace {

using ::testing::HasSubstr;

std::unique_ptr<NanoXML> Parse(const std::string& text) {
    auto root = std::make_unique<NanoXML>();
    root->Parse(text.data(), false, text.size(), 0, 0);
    return root;
}

TEST(NodeModel, ChildCreationAndLookup) {
    NanoXML root("r", "", 0);
    NanoXML* first = root.GetChild("c", true);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parent, &root);
    EXPECT_EQ(root.GetChild("c", true), first);
    EXPECT_EQ(root.children.size(), 1u);
    QM_EXPECT_FIELDS(root, (GetChild("d", false), nullptr), (GetChild(std::string("c")), first));

    EXPECT_EQ(root.AddChild(nullptr), nullptr);
    root.onChildParsed = std::make_shared<const NanoXML::ChildCallback>([](NanoXML*) {});
    NanoXML* added = root.AddChild("k", "v", 0);
    EXPECT_EQ(added->text, "v");
    EXPECT_EQ(added->onChildParsed, root.onChildParsed);
    EXPECT_EQ(root.GetChild("e", true)->onChildParsed, nullptr);  // not copied by GetChild

    for (int i = 0; i < 2; ++i) root.AddChild("x", "", 0);
    EXPECT_EQ(root.children.size(), 5u);
    EXPECT_EQ(root.GetChildAt(4, false)->name, "x");
    EXPECT_EQ(root.GetChildAt(5, false), nullptr);
}

TEST(NodeModel, LinksAreFollowedToTheEndOfTheChain) {
    NanoXML root("r", "", 0);
    NanoXML* ref = root.AddChild("REF", "", 0);
    NanoXML* middle = root.AddChild("MIDDLE", "", 0);
    NanoXML* target = root.AddChild("TARGET", "", 0);
    ref->link = middle;
    middle->link = target;
    QM_EXPECT_FIELDS(root, (GetChildAt(0, true), target), (GetChildAt(0, false), ref),
                     (GetLinkedChild("TARGET"), target), (GetLinkedChild("REF"), nullptr),
                     (FindByLinkedPath({"TARGET"}), target));
    // A cycle of links ends after the step limit instead of hanging.
    target->link = ref;
    EXPECT_NE(root.GetChildAt(0, true), nullptr);
    EXPECT_NE(ref->Match("none", "none", 1), ref);
}

TEST(NodeModel, AncestorsAndPaths) {
    auto root = Parse("<A><B/><C><D k='v'><E/></D></C><B><F/></B></A>");
    NanoXML* secondB = root->children[2];
    QM_EXPECT_FIELDS(*secondB, (GetPath(""), "/A/B[1]"), (SiblingIndex(), 1));
    EXPECT_EQ(root->children[0]->SiblingIndex(), 0);
    EXPECT_EQ(root->children[1]->SiblingIndex(), -1);
    EXPECT_EQ(root->SiblingIndex(), -1);
    NanoXML* e = root->FindByPath({"C", "D", "E"});
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(root->FindByPath({"C", "X"}), nullptr);
    QM_EXPECT_FIELDS(*e, (GetPath("k"), "/A/C/D[k='v']/E"), (GetPath(""), "/A/C/D/E"));
    EXPECT_EQ(NanoXML::FindAncestor(e, "C"), root->children[1]);
    EXPECT_EQ(NanoXML::FindAncestor(e, "E"), e);
    EXPECT_EQ(NanoXML::FindAncestor(e, "Z"), nullptr);
    EXPECT_EQ(NanoXML::FindAncestor(nullptr, "A"), nullptr);
}

TEST(NodeModel, AttributeRules) {
    NanoXML node;
    node.AddAttribute("a", "", 1);
    EXPECT_EQ(node.CountAttributes(), 0u);
    node.AddAttribute("a", "", 0);
    node.AddAttribute("a", "1", 0);  // first one is empty: a second one is appended
    node.AddAttribute("a", "2", 0);  // the first is still empty
    EXPECT_EQ(node.attributes.size(), 3u);
    node.AddAttribute("b", "x", 0);
    node.AddAttribute("b", "y", 0);
    node.AddAttribute("b", "z", 7);
    node.AddAttribute(nullptr, "z", 0);
    EXPECT_EQ(node.GetAttribute("b"), "x");
    EXPECT_EQ(node.attributes.size(), 4u);
    node.SetAttribute("b", "changed");
    node.SetAttribute("c", "new");
    QM_EXPECT_FIELDS(node, (GetAttribute("b"), "changed"), (GetAttributeNameAt(4), "c"),
                     (GetAttributeValueAt(4), "new"), (GetAttributeNameAt(5), ""),
                     (GetAttribute("missing"), ""));
    node.DeleteAttributes();
    EXPECT_TRUE(node.attributes.empty());
}

TEST(NodeModel, TextDecodingAndFragments) {
    NanoXML node("n", "a &lt;b&gt; &amp; &quot; &#60; &&lltt;; &&ggtt;;", 0);
    EXPECT_EQ(node.GetText(), "a <b> &amp; &quot; &#60; &lt; &gt;");
    node.flags |= NanoXML::kFlagCData;
    EXPECT_EQ(node.GetText(), node.text);

    NanoXML mixed("p", "x &lt;<b/>y", 2);
    mixed.text.clear();
    EXPECT_EQ(mixed.GetText(), "x &lt;");
    mixed.SetText("plain");
    EXPECT_EQ(mixed.children.size(), 1u);
    EXPECT_EQ(mixed.children[0]->name, "b");
    EXPECT_EQ(mixed.text, "plain");
    EXPECT_EQ(mixed.flags & NanoXML::kFlagCData, 0);
}

TEST(NodeModel, ClearKeepsTheCallback) {
    auto root = Parse("<a x='1'><b/></a>");
    root->link = root.get();
    root->flags = 7;
    auto callback = std::make_shared<const NanoXML::ChildCallback>([](NanoXML*) {});
    root->onChildParsed = callback;
    NanoXML::AppendMessage("line\r\n");
    root->Clear();
    EXPECT_EQ(NanoXML::MessageLog(), "");
    EXPECT_TRUE(root->name.empty());
    EXPECT_TRUE(root->children.empty());
    EXPECT_TRUE(root->attributes.empty());
    QM_EXPECT_FIELDS(*root, (flags, 0), (link, nullptr));
    EXPECT_EQ(root->onChildParsed, callback);
}

TEST(NodeModel, CallbackIsSharedByEveryChildAndReleasedWithTheLast) {
    int calls = 0;
    auto callback = std::make_shared<const NanoXML::ChildCallback>([&calls](NanoXML*) { ++calls; });
    std::weak_ptr<const NanoXML::ChildCallback> watch = callback;
    auto root = std::make_unique<NanoXML>();
    root->onChildParsed = callback;
    callback.reset();
    const std::string text = "<a><b><c/></b><d/></a>";
    root->Parse(text.data(), false, text.size(), 0, 0);
    EXPECT_EQ(calls, 3);
    NanoXML* b = root->GetChild("b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->onChildParsed, watch.lock());  // the same callback, not a copy
    (*b->onChildParsed)(b);
    EXPECT_EQ(calls, 4);
    root->onChildParsed = nullptr;
    EXPECT_FALSE(watch.expired());  // the children still hold it
    root.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(NodeModel, CountsAndSorting) {
    auto root =
        Parse("<r a='1'><z/><b name='2'><y/><x/></b><b name='1'><q/><p k='1'/></b><b/></r>");
    QM_EXPECT_FIELDS(*root, (CountNodes(), 8u), (CountAttributes(), 4u));
    auto names = [](const NanoXML* node) {
        std::string out;
        for (const NanoXML* child : node->children) {
            out += child->name + child->GetAttribute("name") + ",";
        }
        return out;
    };
    root->SortChildren(0);
    EXPECT_EQ(names(root.get()), "b,b1,b2,z,");
    EXPECT_EQ(names(root->children[2]), "y,x,");  // one level only
    root->SortChildren(2);
    EXPECT_EQ(names(root->children[2]), "x,y,");
    auto deep = Parse("<r><c><b><z/><y/></b></c><a/></r>");
    deep->SortChildren(2);
    EXPECT_EQ(names(deep->children[1]->children[0]), "z,y,");
    deep->SortChildren(-1);
    EXPECT_EQ(names(deep->children[1]->children[0]), "y,z,");
}

TEST(NodeModel, SourceFilesStaySortedAndUnique) {
    NanoXMLSourceFiles files;
    EXPECT_EQ(files.Size(), 0u);
    files.Insert(7);
    files.Insert(7);
    EXPECT_EQ(files.Size(), 1u);
    files.Insert(65535);
    files.Insert(3);
    files.Insert(7);
    EXPECT_EQ(files.Values(), (std::vector<uint16_t>{3, 7, 65535}));
    QM_EXPECT_FIELDS(files, (Contains(65535), true), (Contains(4), false));
    EXPECT_LE(sizeof(NanoXML), 144u);

    // Many sets of several files, made and destroyed in turn, each keep their own values.
    std::vector<std::unique_ptr<NanoXMLSourceFiles>> sets;
    for (uint16_t i = 0; i < 100; ++i) {
        sets.push_back(std::make_unique<NanoXMLSourceFiles>());
        sets.back()->Insert(i);
        sets.back()->Insert(static_cast<uint16_t>(i + 1000));
        if (i % 3 == 0) sets[i / 2].reset();
    }
    for (uint16_t i = 0; i < 100; ++i) {
        if (!sets[i]) continue;
        sets[i]->Insert(static_cast<uint16_t>(i + 1));
        EXPECT_EQ(sets[i]->Values(), (std::vector<uint16_t>{i, static_cast<uint16_t>(i + 1),
                                                            static_cast<uint16_t>(i + 1000)}));
    }
}

class SearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = Parse(
            "<root>"
            "<pkg name='p1'><SHORT-NAME>A</SHORT-NAME><item kind='x'>1</item></pkg>"
            "<pkg name='p2'><SHORT-NAME>B</SHORT-NAME><sub><item kind='y'>2</item></sub></pkg>"
            "<ref>B</ref>"
            "</root>");
        p1_ = root_->children[0];
        p2_ = root_->children[1];
        ref_ = root_->children[2];
    }
    std::unique_ptr<NanoXML> root_;
    NanoXML* p1_ = nullptr;
    NanoXML* p2_ = nullptr;
    NanoXML* ref_ = nullptr;
};

TEST_F(SearchTest, FindChildLooksAtChildrenBeforeDescending) {
    EXPECT_EQ(root_->FindChild("pkg", "name", "p2", false), p2_);
    EXPECT_EQ(root_->FindChild("item", "", "", false), nullptr);
    EXPECT_EQ(root_->FindChild("item", "kind", "y", true)->text, "2");
    EXPECT_EQ(root_->FindChild("", "", "", false), p1_);
    EXPECT_EQ(root_->FindChild("pkg", "name", "none", true), nullptr);
}

TEST_F(SearchTest, FindNodeRespectsDepthAndFollowsLinks) {
    EXPECT_EQ(root_->FindNode("root", "", "", 0), root_.get());
    EXPECT_EQ(root_->FindNode("pkg", "", "", 0), p1_);
    EXPECT_EQ(root_->FindNode("item", "", "", 0), nullptr);
    EXPECT_EQ(root_->FindNode("item", "", "", 1)->text, "1");
    EXPECT_EQ(root_->FindNode("item", "kind", "y", 1), nullptr);
    EXPECT_EQ(root_->FindNode("item", "kind", "y", 2)->text, "2");
    EXPECT_EQ(root_->FindNode("item", "kind", "y", static_cast<uint64_t>(-1))->text, "2");
    // Through a link, the target's subtree is searched in place of the reference.
    ref_->AddChild("lone", "", 0);
    ref_->link = p2_;
    EXPECT_EQ(ref_->FindNode("sub", "", "", 0), nullptr);
    NanoXML holder("h", "", 0);
    NanoXML* pointer = holder.AddChild("pointer", "", 0);
    pointer->link = p2_;
    EXPECT_EQ(holder.FindNode("sub", "", "", 1), p2_->children[1]);
    pointer->link = nullptr;
}

TEST_F(SearchTest, LinkCyclesDoNotHangSearches) {
    // Every reference points back up to the root.
    NanoXML* back = p2_->children[1]->AddChild("back", "", 0);
    back->link = root_.get();
    ref_->link = p1_;
    p1_->children[1]->link = p2_;
    EXPECT_EQ(root_->FindNode("nothing", "", "", static_cast<uint64_t>(-1)), nullptr);
    std::vector<NanoXML*> found;
    root_->CollectUnique(found, "item", "", "", 1000000);
    EXPECT_EQ(found.size(), 1u);  // p1's item links to p2, so only p2's item is collected
    const std::string display = root_->ToString();
    EXPECT_THAT(display, HasSubstr("<root></root>"));
    back->link = nullptr;
}

TEST_F(SearchTest, FindAllAndFindWithChild) {
    std::vector<NanoXML*> found;
    EXPECT_EQ(root_->FindAll(found, "item", "", "", "", "", 255), 2u);
    found.clear();
    EXPECT_EQ(root_->FindAll(found, "item", "2", "kind", "", "", 255), 1u);
    found.clear();
    QM_EXPECT_FIELDS(*root_, (FindAll(found, "item", "", "", "", "", 2), 1u),
                     (FindWithChild("pkg", "SHORT-NAME", "B"), p2_),
                     (FindWithChild("pkg", "SHORT-NAME", "C"), nullptr),
                     (FindWithChildIn("pkg", {"X", "SHORT-NAME"}, "A"), p1_));
}

TEST_F(SearchTest, MatchesStopAtTheTopmostHit) {
    std::vector<NanoXML*> found;
    root_->FindMatches(found, "pkg", 5, 1);
    EXPECT_EQ(found, (std::vector<NanoXML*>{p1_, p2_}));
    found.clear();
    root_->FindMatches(found, "item", 1, 1);
    EXPECT_TRUE(found.empty());
    root_->FindMatches(found, "ite", 3, 0);
    EXPECT_EQ(found.size(), 2u);
    found.clear();
    root_->FindMatches(found, "root", 3, 1);  // the start itself is not collected
    EXPECT_TRUE(found.empty());
    ref_->link = p1_;
    ref_->FindMatches(found, "pkg", 0, 1);  // but a link target of the start is
    EXPECT_EQ(found, std::vector<NanoXML*>{p1_});
    EXPECT_EQ(p1_->Match("x", "y", 2), nullptr);
}

TEST_F(SearchTest, CollectUniqueAndCollectAll) {
    NanoXML* dup = root_->AddChild("alias", "", 0);
    dup->link = p2_->children[0];
    std::vector<NanoXML*> found;
    root_->CollectUnique(found, "SHORT-NAME", "", "", 3);
    ASSERT_EQ(found.size(), 2u);
    found.clear();
    root_->CollectUnique(found, "SHORT-NAME", "B", "root", 3);  // parent of the alias
    EXPECT_EQ(found, std::vector<NanoXML*>{p2_->children[0]});
    found.clear();
    root_->CollectUnique(found, "SHORT-NAME", "", "", 1);
    EXPECT_EQ(found.size(), 1u);  // only the alias is within one level

    std::vector<NanoXML*> all;
    root_->CollectAll(all, "pkg", "", "root");
    EXPECT_EQ(all.size(), 2u);
    all.clear();
    root_->CollectAll(all, "item", "2", "sub");
    EXPECT_EQ(all.size(), 1u);
}

TEST_F(SearchTest, FindNearestSearchesOutwards) {
    NanoXML* item2 = p2_->children[1]->children[0];
    QM_EXPECT_FIELDS(*item2, (FindNearest("SHORT-NAME", "", "", nullptr), p2_->children[0]),
                     (FindNearest("SHORT-NAME", "A", "", nullptr), p1_->children[0]),
                     (FindNearest("item", "", "pkg", nullptr), p1_->children[1]),
                     (FindNearest("", "", "", nullptr), item2));
    EXPECT_EQ(p2_->FindNearest("SHORT-NAME", "A", "", root_.get()), nullptr);
}

}  // namespace
