// The compact texts of the structure model: a text that costs a pointer until it is set, and one
// that refers to the tree's text instead of copying it.
#include <gtest/gtest.h>

#include <string>

#include "expect_fields.h"
#include "someip/sparse_text.h"
#include "someip/tree_text.h"

namespace {

using qm::someip::SparseText;
using qm::someip::TreeText;

TEST(SparseText, EmptyUntilSetAndEmptyAgainWhenSetToNothing) {
    SparseText text;
    QM_EXPECT_FIELDS(text, (empty(), true), (c_str(), ""));
    text = "uint8";
    QM_EXPECT_FIELDS(text, (empty(), false), (c_str(), "uint8"));
    text = std::string("Service_A_Point");
    EXPECT_EQ(text.str(), "Service_A_Point");
    text = "";
    EXPECT_TRUE(text.empty());
    text = static_cast<const char*>(nullptr);
    EXPECT_TRUE(text.empty());
}

TEST(SparseText, CopiesAreIndependent) {
    SparseText first;
    first = "colour";
    SparseText second = first;
    first = "shade";
    EXPECT_STREQ(second.c_str(), "colour");
    second = first;
    first.clear();
    EXPECT_STREQ(second.c_str(), "shade");
}

TEST(TreeText, ReferringCostsNoCopyAndAssigningCopies) {
    const std::string tree = "DT_Position";
    TreeText text;
    QM_EXPECT_FIELDS(text, (empty(), true), (c_str(), ""));
    text.Refer(tree);
    EXPECT_EQ(text.c_str(), tree.c_str());
    EXPECT_EQ(text.view(), "DT_Position");

    std::string source = "Temporary_Name";
    text = source;
    source.assign("changed afterwards");
    EXPECT_STREQ(text.c_str(), "Temporary_Name");
    EXPECT_EQ(text.view().size(), 14u);
    EXPECT_FALSE(text.empty());
}

TEST(TreeText, SelfAssignmentAndCopiesOfAView) {
    TreeText text;
    text = "a rather long owned text";
    const TreeText& same = text;
    text = same;
    EXPECT_STREQ(text.c_str(), "a rather long owned text");
    text = text.view().substr(2, 6);
    EXPECT_STREQ(text.c_str(), "rather");

    std::string tree = "Shared";
    TreeText view;
    view.Refer(tree);
    TreeText copy = view;  // a copy owns its text: it may outlive what the view refers to
    tree.assign("gone");
    EXPECT_STREQ(copy.c_str(), "Shared");
    view.clear();
    QM_EXPECT_FIELDS(view, (empty(), true), (c_str(), ""));
}

}  // namespace
