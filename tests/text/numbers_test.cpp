// Number operations: "%.13g", reading numbers from (full-width) text, truncation, floor, rounding.

#include "text/gbk_text.h"
#include "text_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(Numbers, IntToText) {
    EXPECT_EQ(intToText(0), "0");
    EXPECT_EQ(intToText(38), "38");
    EXPECT_EQ(intToText(-5), "-5");
    EXPECT_EQ(intToText(INT_MAX), "2147483647");
    EXPECT_EQ(intToText(INT_MIN), "-2147483648");
}

TEST(Numbers, RealToTextExamples) {
    struct Row {
        double x;
        const char* want;
    };
    const Row rows[] = {
        {100.0 / 38, "2.631578947368"},
        {2.0, "2"},
        {0.0, "0"},
        {0.6667 * 100, "66.67"},
        {2.0 / 3, "0.6666666666667"},
        {100.0 / 76, "1.315789473684"},
        {152.0 / 76, "2"},
        {0.0313 * 100.0, "3.13"},
        {-2.5, "-2.5"},
        {1e13, "1e+13"},
        {0.00001, "1e-05"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.want);
        EXPECT_EQ(realToText(r.x), r.want);
    }
}

// realToText promises printf's "%.13g"; compare over the quotients the segmenter formats and a few
// awkward values (the tests run in the "C" locale).
TEST(Numbers, RealToTextAgreesWithPrintf) {
    auto printfText = [](double x) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.13g", x);
        return std::string(buf);
    };
    for (int length = 0; length <= 3000; length += 7) {
        for (int size = 1; size <= 80; ++size) {
            const double q = static_cast<double>(length) / size;
            ASSERT_EQ(realToText(q), printfText(q)) << length << " / " << size;
        }
    }
    for (const double x : {0.1, 1.0 / 3, 123456789012.5, 9999999999999.5, 1e300, 5e-324, -0.0, inf, -inf}) {
        EXPECT_EQ(realToText(x), printfText(x));
    }
}

TEST(Numbers, TextToReal) {
    struct Row {
        const char* name;
        GbkText t;
        double want;
    };
    const Row rows[] = {
        {"decimal", "2.5", 2.5},
        {"the segmenter's quotient", "2.631578947368", 2.631578947368},
        {"white space, sign, exponent, trailing text", " \t-1.5e2xyz", -150.0},
        {"full-width digits and point", gbk("３．５"), 3.5},
        {"full-width sign", gbk("－２"), -2.0},
        {"plus sign", "+7", 7.0},
        {"point without fraction", "5.", 5.0},
        {"fraction without integer part", ".5", 0.5},
        {"exponent without digits is not read", "1e", 1.0},
        {"signed exponent without digits", "1e+", 1.0},
        {"lone point", ".", 0.0},
        {"lone sign", "-", 0.0},
        {"empty", "", 0.0},
        {"letters", "abc", 0.0},
        {"no infinity words", "inf", 0.0},
        {"no NaN words", "nan", 0.0},
        {"no hexadecimal", "0x10", 0.0},
        {"overflow", "1e400", inf},
        {"negative overflow", "-1e400", -inf},
        {"underflow", "1e-400", 0.0},
        {"underflow without exponent", "0." + std::string(400, '0') + "1", 0.0},
        {"huge without exponent", "1" + std::string(400, '0'), inf},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(textToReal(r.t), r.want);
    }
}

TEST(Numbers, TextToInt) {
    struct Row {
        const char* name;
        GbkText t;
        int want;
    };
    const Row rows[] = {
        {"full-width 3 and 8", gbk("３８"), 38},
        {"empty", "", 0},
        {"trailing letters ignored", "38abc", 38},
        {"white space and sign", " \r\n-12", -12},
        {"plus sign", "+5", 5},
        {"full-width minus", gbk("－３"), -3},
        {"full-width space before", gbk("　７"), 7},
        {"fraction ignored", "1.9", 1},
        {"letters", "abc", 0},
        {"largest", "2147483647", INT_MAX},
        {"smallest", "-2147483648", INT_MIN},
        {"saturates high", "99999999999999999999", INT_MAX},
        {"saturates low", "-99999999999999999999", INT_MIN},
        {"Chinese digits are no digits", gbk("三十八"), 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(textToInt(r.t), r.want);
    }
}

TEST(Numbers, RealToIntAndFloorToInt) {
    EXPECT_EQ(realToInt(2.9), 2);
    EXPECT_EQ(realToInt(-2.9), -2);
    EXPECT_EQ(realToInt(50.5), 50);
    EXPECT_EQ(realToInt(1e20), INT_MAX);
    EXPECT_EQ(realToInt(-1e20), INT_MIN);
    EXPECT_EQ(realToInt(inf), INT_MAX);
    EXPECT_EQ(realToInt(nan), 0);

    EXPECT_EQ(floorToInt(2.6315789), 2);
    EXPECT_EQ(floorToInt(2.9999999999995), 3) << "a hair below a whole number floors to it";
    EXPECT_EQ(floorToInt(2.999999999), 2);
    EXPECT_EQ(floorToInt(0.0), 0);
    EXPECT_EQ(floorToInt(5.0), 5);
    EXPECT_EQ(floorToInt(1e20), INT_MAX);
    EXPECT_EQ(floorToInt(nan), 0);
}

TEST(Numbers, RoundTo) {
    struct Row {
        double x;
        int n;
        double want;
    };
    const Row rows[] = {
        {0.66666, 4, 0.6667}, {0.12345, 4, 0.1235}, {-0.12345, 4, -0.1235},    {0.0, 4, 0.0},        {2.5, 0, 3.0},
        {-2.5, 0, -3.0},      {1234.0, -2, 1200.0}, {1250.0, -2, 1300.0},      {0.03125, 4, 0.0313}, {1.0, 4, 1.0},
        {1e300, 400, 1e300},  {5.0, -400, 0.0},     {0.1234, INT_MAX, 0.1234},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.x) + " to " + std::to_string(r.n));
        EXPECT_DOUBLE_EQ(roundTo(r.x, r.n), r.want);
    }
    EXPECT_TRUE(std::isnan(roundTo(nan, 4)));
    EXPECT_EQ(roundTo(inf, 4), inf);
    EXPECT_EQ(roundTo(0.1, INT_MIN), 0.0);
}

// The engine's value caption: the share rounded to four places, times 100, in "%.13g".
TEST(Numbers, ScoreCaptionRounding) {
    struct Row {
        int original;
        int total;
        const char* caption;
    };
    const Row rows[] = {
        {2, 3, "66.67%"}, {1, 3, "33.33%"}, {1, 8, "12.5%"}, {1, 32, "3.13%"},
        {19, 20, "95%"},  {5, 5, "100%"},   {0, 5, "0%"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.caption);
        const double q = roundTo(static_cast<double>(r.original) / r.total, 4);
        EXPECT_EQ(realToText(q * 100.0) + "%", r.caption);
    }
}

} // namespace
