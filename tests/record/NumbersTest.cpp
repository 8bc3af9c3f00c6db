// Tests of the number readers (stream-extraction rules, refusals that keep the old value) and
// of the writers against the C library's printf.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "record/Numbers.h"

namespace {

constexpr std::int32_t Untouched = 777;

struct IntCase {
    const char* text;
    bool ok;
    std::int32_t value;  // expected output; Untouched when the read must fail
};

std::string printfFixed(double value, int decimals) {
    std::vector<char> buffer(static_cast<std::size_t>(decimals) + 400);
    int n = std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string printfGeneral(double value) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%g", value);
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string fixed(double value, int decimals) {
    std::string out;
    appendFixed(out, value, decimals);
    return out;
}

}  // namespace

TEST(ReadInt, StreamRulesAndRefusals) {
    const IntCase cases[] = {
        {"42", true, 42},
        {" \t\r\n\v\f-17", true, -17},
        {"+8", true, 8},
        {"12.5", true, 12},
        {"007", true, 7},
        {"5abc", true, 5},
        {"0x1A", true, 0},
        {"2147483647", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, Untouched},
        {"-2147483649", false, Untouched},
        {"99999999999999999999", false, Untouched},
        {"", false, Untouched},
        {"   ", false, Untouched},
        {"abc", false, Untouched},
        {"-", false, Untouched},
        {"+-5", false, Untouched},
        {"--5", false, Untouched},
        {"- 5", false, Untouched},
        {".5", false, Untouched},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        std::int32_t value = Untouched;
        EXPECT_EQ(readInt(c.text, value), c.ok);
        EXPECT_EQ(value, c.value);
    }
}

TEST(ReadInt, StopsAtTheEndOfTheView) {
    // The view ends inside a longer buffer: the digits after it are not part of the number.
    const char buffer[] = "12345";
    std::int32_t value = 0;
    ASSERT_TRUE(readInt(std::string_view(buffer, 2), value));
    EXPECT_EQ(value, 12);
}

TEST(ReadHex, PrefixSignAndThirtyTwoBitPattern) {
    const IntCase cases[] = {
        {"1a", true, 26},
        {"0x1A", true, 26},
        {"0XfF", true, 255},
        {"  -0x10", true, -16},
        {"+0x10", true, 16},
        {"12 34", true, 0x12},
        {"FFFFFFFF", true, -1},
        {"0xffffffff", true, -1},
        {"0x80000000", true, INT32_MIN},
        {"-0x80000000", true, INT32_MIN},
        {"0x7fffffff", true, INT32_MAX},
        {"0xfffffedd", true, -0x123},  // what the writers print for a negative value
        {"0x", true, 0},
        {"0xg", true, 0},
        {"0x100000000", false, Untouched},
        {"-0x80000001", false, Untouched},
        {"xyz", false, Untouched},
        {"g", false, Untouched},
        {"", false, Untouched},
        {"+-1", false, Untouched},
        {"x10", false, Untouched},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        std::int32_t value = Untouched;
        EXPECT_EQ(readHex(c.text, value), c.ok);
        EXPECT_EQ(value, c.value);
    }
}

TEST(ReadReal, LongestNumericPrefix) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const double untouched = -777.25;
    const Case cases[] = {
        {"3.25", true, 3.25},
        {"  -1.5e3", true, -1500.0},
        {"+2", true, 2.0},
        {"1e5x", true, 100000.0},
        {"1e", true, 1.0},
        {"1e+", true, 1.0},
        {".5", true, 0.5},
        {"5.", true, 5.0},
        {"-.25", true, -0.25},
        {"2451544.500000,", true, 2451544.5},
        {"1.E2", true, 100.0},
        {"0x1p3", true, 0.0},  // a hexadecimal float is a 0 followed by text
        {"1e-400", true, 0.0},  // underflow reads as zero, as a stream does
        {"4.9e-324", true, 4.9e-324},
        {"inf", false, untouched},
        {"-inf", false, untouched},
        {"+infinity", false, untouched},
        {"nan", false, untouched},
        {"NaN", false, untouched},
        {"+-1", false, untouched},
        {"-+1", false, untouched},
        {".", false, untouched},
        {"-.", false, untouched},
        {".e5", false, untouched},
        {"", false, untouched},
        {" \t", false, untouched},
        {"e5", false, untouched},
        {"1e400", false, untouched},
        {"-1e400", false, untouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        double value = untouched;
        EXPECT_EQ(readReal(c.text, value), c.ok);
        EXPECT_EQ(value, c.value);
    }
}

TEST(AppendFixed, MatchesPrintfOnChosenValues) {
    const double values[] = {0.0,      -0.0,     0.5,     2.5,       0.125,   -1e-9,
                             1e-320,   123.456,  -0.25,   2451544.5, 1e308,   -1e308,
                             DBL_MAX,  -DBL_MAX, DBL_MIN, 0.1234567, 9.9999995, 1.0 / 3};
    for (double v : values) {
        for (int decimals : {0, 1, 2, 5, 6, 17, 60, 100}) {
            SCOPED_TRACE(printfGeneral(v) + " with " + std::to_string(decimals) + " decimals");
            EXPECT_EQ(fixed(v, decimals), printfFixed(v, decimals));
        }
    }
}

TEST(AppendFixed, MatchesPrintfOnRandomBitPatterns) {
    std::mt19937_64 random(20240601);
    int compared = 0;
    while (compared < 3000) {
        std::uint64_t bits = random();
        double v;
        static_assert(sizeof v == sizeof bits);
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        ++compared;
        SCOPED_TRACE(printfGeneral(v));
        ASSERT_EQ(fixed(v, 6), printfFixed(v, 6));
        ASSERT_EQ(fixed(v, 5), printfFixed(v, 5));
    }
}

TEST(AppendFixed, NonFiniteHugePrecisionAndAppending) {
    EXPECT_EQ(fixed(INFINITY, 6), "inf");
    EXPECT_EQ(fixed(-INFINITY, 6), "-inf");
    EXPECT_EQ(fixed(std::nan(""), 6), printfFixed(std::nan(""), 6));
    // Past the exact binary expansion only zeros remain.
    EXPECT_EQ(fixed(4.9e-324, 1100), printfFixed(4.9e-324, 1100));
    EXPECT_EQ(fixed(-0.1, 1080), printfFixed(-0.1, 1080));
    // printf takes a negative precision as none given: six decimals.
    EXPECT_EQ(fixed(1.5, -3), "1.500000");

    std::string out = "x=";
    appendFixed(out, -2.5, 2);
    EXPECT_EQ(out, "x=-2.50");
}

TEST(AppendGeneral, MatchesPrintf) {
    const double values[] = {0.0,  -0.0,    1.0,       0.5,     123456.0, 1234567.0, 1e-5,
                             1e-4, 0.0001234, 100000.0, 1e308,   -DBL_MIN, 4.9e-324, 2451544.5,
                             INFINITY, -INFINITY};
    for (double v : values) {
        SCOPED_TRACE(printfGeneral(v));
        std::string out;
        appendGeneral(out, v);
        EXPECT_EQ(out, printfGeneral(v));
    }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-30.0, 30.0);
    for (int i = 0; i < 2000; ++i) {
        double v = std::pow(10.0, exponent(random)) * (i % 2 ? -1 : 1);
        SCOPED_TRACE(i);
        std::string out;
        appendGeneral(out, v);
        ASSERT_EQ(out, printfGeneral(v));
    }
}

TEST(AppendInt, PlainDecimal) {
    const std::int64_t values[] = {0, 7, -1, 1234567890123LL, INT64_MAX, INT64_MIN};
    for (std::int64_t v : values) {
        SCOPED_TRACE(v);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(v));
        std::string out = "#";
        appendInt(out, v);
        EXPECT_EQ(out, std::string("#") + expected);
    }
}

TEST(AppendPadded, WidthCountsDigitsOnly) {
    struct Case {
        std::int64_t value;
        int width;
        const char* expected;
    };
    const Case cases[] = {
        {5, 2, "05"},
        {0, 2, "00"},
        {123, 2, "123"},
        {-5, 2, "-05"},
        {7, 0, "7"},
        {7, -4, "7"},
        {42, 6, "000042"},
        {INT64_MIN, 0, "-9223372036854775808"},
        {INT64_MAX, 20, "09223372036854775807"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        std::string out;
        appendPadded(out, c.value, c.width);
        EXPECT_EQ(out, c.expected);
    }
}
