// Waits on a condition inside a GoogleTest case. Qt's QTRY_* macros report to
// QTest's own log and leave the case without a failure when they time out;
// these fail the case.
#pragma once

#include <QTest>

#include <gtest/gtest.h>

// The condition holds within five seconds, events running meanwhile.
#define EXPECT_SOON(cond) EXPECT_TRUE(QTest::qWaitFor([&] { return bool(cond); }, 5000)) << #cond
#define ASSERT_SOON(cond) ASSERT_TRUE(QTest::qWaitFor([&] { return bool(cond); }, 5000)) << #cond
// `a` equals `b` within five seconds; a failure shows both values.
#define EXPECT_SOON_EQ(a, b)                                  \
    do {                                                      \
        (void)QTest::qWaitFor([&] { return (a) == (b); }, 5000); \
        EXPECT_EQ(a, b);                                      \
    } while (0)
