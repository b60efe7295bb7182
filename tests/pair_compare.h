#pragma once
// Element-by-element comparison of two objects and of two lists of owned objects, for the model
// comparisons.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <type_traits>

namespace qmtest {

// The text without blanks, tabs, CR and LF at both ends, as the XML reader stores character data.
inline std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// EXPECT_EQ of two values; C strings by their text, a null pointer as "(null)".
template <class A, class B>
void ExpectSame(const A& a, const B& b, const char* what) {
    if constexpr (std::is_pointer_v<A> && std::is_convertible_v<A, const char*>) {
        const auto text = [](const char* t) { return std::string(t ? t : "(null)"); };
        EXPECT_EQ(text(a), text(b)) << what;
    } else {
        EXPECT_EQ(a, b) << what;
    }
}

// Checks that the lists are equally long, then calls check on each pair of elements.
template <class List, class Check>
void ForEachPair(const List& a, const List& b, Check check) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) check(*a[i], *b[i]);
}

}  // namespace qmtest

// QM_EXPECT_SAME(a, b, F1, F2, ...): ExpectSame(a.F, b.F) for each field or call F (up to 12),
// the failure naming F. Fields are written as members (`size`) or calls (`Name()`).
#define QM_SAME_1(a, b, f) qmtest::ExpectSame((a).f, (b).f, #f);
#define QM_SAME_2(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_1(a, b, __VA_ARGS__)
#define QM_SAME_3(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_2(a, b, __VA_ARGS__)
#define QM_SAME_4(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_3(a, b, __VA_ARGS__)
#define QM_SAME_5(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_4(a, b, __VA_ARGS__)
#define QM_SAME_6(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_5(a, b, __VA_ARGS__)
#define QM_SAME_7(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_6(a, b, __VA_ARGS__)
#define QM_SAME_8(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_7(a, b, __VA_ARGS__)
#define QM_SAME_9(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_8(a, b, __VA_ARGS__)
#define QM_SAME_10(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_9(a, b, __VA_ARGS__)
#define QM_SAME_11(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_10(a, b, __VA_ARGS__)
#define QM_SAME_12(a, b, f, ...) QM_SAME_1(a, b, f) QM_SAME_11(a, b, __VA_ARGS__)
#define QM_SAME_PICK(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, name, ...) name
#define QM_EXPECT_SAME(a, b, ...)                                                                  \
    QM_SAME_PICK(__VA_ARGS__, QM_SAME_12, QM_SAME_11, QM_SAME_10, QM_SAME_9, QM_SAME_8, QM_SAME_7, \
                 QM_SAME_6, QM_SAME_5, QM_SAME_4, QM_SAME_3, QM_SAME_2, QM_SAME_1)                 \
    (a, b, __VA_ARGS__)
