#pragma once
// QM_EXPECT_FIELDS(object, (Call(), expected), (field, expected), ...): one expectation per pair
// on `(object).Call()`, the failure naming the call. `true`/`false` test the value as a
// condition (EXPECT_TRUE/EXPECT_FALSE), a string literal compares C strings by content
// (EXPECT_STREQ), a floating expected value as EXPECT_DOUBLE_EQ, anything else with EXPECT_EQ. Pass
// a pointer as `*pointer`. Up to 16 pairs.
#include <gtest/gtest.h>

#include <type_traits>

namespace qmtest {

template <class A, class E>
void ExpectField(const A& actual, const E& expected, const char* what) {
    if constexpr (std::is_same_v<E, bool>) {
        EXPECT_EQ(static_cast<bool>(actual), expected) << what;
    } else if constexpr (std::is_array_v<E> && !std::is_class_v<A>) {
        EXPECT_STREQ(actual, expected) << what;
    } else if constexpr (std::is_floating_point_v<E>) {
        EXPECT_DOUBLE_EQ(actual, expected) << what;
    } else {
        EXPECT_EQ(actual, expected) << what;
    }
}

}  // namespace qmtest

#define QM_FIELD_ARGS(...) __VA_ARGS__
#define QM_FIELD_CHECK(o, call, value) qmtest::ExpectField((o).call, value, #call);
#define QM_FIELD_APPLY(o, ...) QM_FIELD_CHECK(o, __VA_ARGS__)
#define QM_FIELD_1(o, p) QM_FIELD_APPLY(o, QM_FIELD_ARGS p)
#define QM_FIELD_2(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_1(o, __VA_ARGS__)
#define QM_FIELD_3(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_2(o, __VA_ARGS__)
#define QM_FIELD_4(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_3(o, __VA_ARGS__)
#define QM_FIELD_5(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_4(o, __VA_ARGS__)
#define QM_FIELD_6(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_5(o, __VA_ARGS__)
#define QM_FIELD_7(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_6(o, __VA_ARGS__)
#define QM_FIELD_8(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_7(o, __VA_ARGS__)
#define QM_FIELD_9(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_8(o, __VA_ARGS__)
#define QM_FIELD_10(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_9(o, __VA_ARGS__)
#define QM_FIELD_11(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_10(o, __VA_ARGS__)
#define QM_FIELD_12(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_11(o, __VA_ARGS__)
#define QM_FIELD_13(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_12(o, __VA_ARGS__)
#define QM_FIELD_14(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_13(o, __VA_ARGS__)
#define QM_FIELD_15(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_14(o, __VA_ARGS__)
#define QM_FIELD_16(o, p, ...) QM_FIELD_1(o, p) QM_FIELD_15(o, __VA_ARGS__)
#define QM_FIELD_PICK(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, _13, _14, _15, _16, name, \
                      ...)                                                                         \
    name
#define QM_EXPECT_FIELDS(o, ...)                                                                 \
    do {                                                                                         \
        QM_FIELD_PICK(__VA_ARGS__, QM_FIELD_16, QM_FIELD_15, QM_FIELD_14, QM_FIELD_13,           \
                      QM_FIELD_12, QM_FIELD_11, QM_FIELD_10, QM_FIELD_9, QM_FIELD_8, QM_FIELD_7, \
                      QM_FIELD_6, QM_FIELD_5, QM_FIELD_4, QM_FIELD_3, QM_FIELD_2, QM_FIELD_1)    \
        (o, __VA_ARGS__)                                                                         \
    } while (false)
