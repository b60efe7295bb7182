#pragma once
// Element-by-element comparison of two lists of owned objects, for the model comparisons.
#include <gtest/gtest.h>

#include <cstddef>

namespace qmtest {

// Checks that the lists are equally long, then calls check on each pair of elements.
template <class List, class Check>
void ForEachPair(const List& a, const List& b, Check check) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) check(*a[i], *b[i]);
}

}  // namespace qmtest
