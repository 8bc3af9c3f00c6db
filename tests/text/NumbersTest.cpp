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

#include "text/Numbers.h"

namespace {

constexpr std::int32_t Untouched = 777;

struct IntCase {
    const char* text;
    bool ok;
    std::int32_t value;  // expected output; Untouched when the read must fail
};

void checkInts(bool (*reader)(std::string_view, std::int32_t&), const std::vector<IntCase>& cases) {
    for (const IntCase& c : cases) {
        std::int32_t value = Untouched;
        EXPECT_EQ(reader(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

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
    checkInts(readInt, {
                           {" \t\r\n\v\f-17", true, -17},
                           {"+8", true, 8},
                           {"12.5", true, 12},
                           {"0x1A", true, 0},
                           {"-2147483648", true, INT32_MIN},
                           {"2147483647", true, INT32_MAX},
                           {"2147483648", false, Untouched},  // fits 32 bits unsigned, not signed
                           {"-2147483649", false, Untouched},
                           {"99999999999999999999", false, Untouched},
                           {"", false, Untouched},
                           {"abc", false, Untouched},
                           {"-", false, Untouched},
                           {"+-5", false, Untouched},
                           {".5", false, Untouched},
                       });
    // The view may end inside a longer buffer: the digits after it are not part of the number.
    std::int32_t value = 0;
    ASSERT_TRUE(readInt(std::string_view("12345", 2), value));
    EXPECT_EQ(value, 12);
}

TEST(ReadHex, PrefixSignAndThirtyTwoBitPattern) {
    checkInts(readHex,
              {
                  {"1a", true, 26},
                  {"0XfF", true, 255},
                  {"  -0x10", true, -16},
                  {"12 34", true, 0x12},
                  {"FFFFFFFF", true, -1},
                  {"0x80000000", true, INT32_MIN},
                  {"-0x80000000", true, INT32_MIN},
                  {"0xfffffedd", true, -0x123},  // what the writers print for a negative value
                  {"0xg", true, 0},              // "0x" is a prefix only before a digit
                  {"0x100000000", false, Untouched},
                  {"-0x80000001", false, Untouched},
                  {"x10", false, Untouched},
                  {"", false, Untouched},
                  {"+-1", false, Untouched},
              });
}

TEST(ReadReal, LongestNumericPrefix) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const double kept = -777.25;
    const Case cases[] = {
        {"  -1.5e3", true, -1500.0},
        {"+2", true, 2.0},
        {"1e5x", true, 100000.0},
        {"1e", true, 1.0},
        {".5", true, 0.5},
        {"-.25", true, -0.25},
        {"2451544.500000,", true, 2451544.5},
        {"0x1p3", true, 0.0},   // a hexadecimal float is a 0 followed by text
        {"1e-400", true, 0.0},  // underflow reads as zero, as a stream does
        {"4.9e-324", true, 4.9e-324},
        {"inf", false, kept},
        {"+infinity", false, kept},
        {"nan", false, kept},
        {"+-1", false, kept},
        {"-.", false, kept},
        {".e5", false, kept},
        {"", false, kept},
        {"1e400", false, kept},
        {"-1e400", false, kept},
    };
    for (const Case& c : cases) {
        double value = kept;
        EXPECT_EQ(readReal(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(AppendFixed, MatchesPrintf) {
    // Chosen values at the precisions the writers offer.
    const double values[] = {0.0,     -0.0,    2.5,       -1e-9,   1e-320,   2451544.5, -1e308,
                             DBL_MAX, DBL_MIN, 9.9999995, 1.0 / 3, INFINITY, -INFINITY, NAN};
    for (double v : values) {
        for (int decimals : {0, 1, 6, 9}) {
            EXPECT_EQ(fixed(v, decimals), printfFixed(v, decimals))
                << printfGeneral(v) << " with " << decimals << " decimals";
        }
    }
    std::mt19937_64 random(20240601);
    for (int compared = 0; compared < 3000;) {
        std::uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        ++compared;
        ASSERT_EQ(fixed(v, 6), printfFixed(v, 6)) << printfGeneral(v);
        ASSERT_EQ(fixed(v, 5), printfFixed(v, 5)) << printfGeneral(v);
    }
    // printf takes a negative precision as none given; output is appended.
    std::string out = "x=";
    appendFixed(out, 1.5, -3);
    EXPECT_EQ(out, "x=1.500000");
    // More than nine decimals count as nine.
    EXPECT_EQ(fixed(1.0 / 3, 12), "0.333333333");
}

// The values a database is made of: below ten thousand million, with up to nine decimals. A
// rounding that is a tie in binary (j / 2^k) goes to the even neighbour; values one unit in
// the last place either side of a rounding boundary go their own ways.
TEST(AppendFixed, PlainRangeRoundsAsPrintf) {
    std::vector<double> values;
    for (int k = 1; k <= 14; ++k) {
        for (int j = 1; j < 300; j += 2) values.push_back(std::ldexp(j, -k));
    }
    for (int k = 0; k < 2000; ++k) {
        const double boundary = (k + 0.5) / 1e6;
        values.push_back(boundary);
        values.push_back(std::nextafter(boundary, 0.0));
        values.push_back(std::nextafter(boundary, 1.0));
    }
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> wide(-1e10, 1e10);
    std::uniform_real_distribution<double> narrow(-10.0, 10.0);
    for (int i = 0; i < 4000; ++i) {
        values.push_back(wide(random));
        values.push_back(narrow(random));
        values.push_back(std::round(narrow(random) * 1e6) / 1e6);
    }
    values.push_back(8589934591.999999);  // just under the top of the exact path
    values.push_back(8589934592.5);       // just over it
    for (double v : values) {
        for (double signed_ : {v, -v}) {
            for (int decimals : {0, 5, 6, 9}) {
                ASSERT_EQ(fixed(signed_, decimals), printfFixed(signed_, decimals))
                    << printfFixed(signed_, 20) << " with " << decimals << " decimals";
            }
        }
    }
}

// Plain decimals of every length read as the C library reads them, whichever path they take.
TEST(ReadReal, PlainDecimalsReadAsStrtod) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 2 != 0 ? "-" : "";
        const int integerDigits = static_cast<int>(random() % 12);
        const int decimals = static_cast<int>(random() % 24);
        for (int d = 0; d < integerDigits; ++d) text += static_cast<char>('0' + random() % 10);
        if (integerDigits == 0) text += '0';
        if (decimals > 0) text += '.';
        for (int d = 0; d < decimals; ++d) text += static_cast<char>('0' + random() % 10);
        double value = 0;
        ASSERT_TRUE(readReal(text, value)) << text;
        const double expected = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(value, expected) << text;
        ASSERT_EQ(std::signbit(value), std::signbit(expected)) << text;
    }
    // What follows a number: a second point and text end it, an exponent belongs to it.
    const std::pair<const char*, double> tails[] = {
        {"1.5.5", 1.5}, {"12.25abc", 12.25}, {"2.5e2", 250.0}, {"3.E1", 30.0}, {"7.", 7.0}};
    for (const auto& [text, expected] : tails) {
        double value = 0;
        EXPECT_TRUE(readReal(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

TEST(AppendGeneral, MatchesPrintf) {
    for (double v :
         {0.0, -0.0, 123456.0, 1234567.0, 1e-5, 0.0001234, 1e308, 4.9e-324, HUGE_VAL, -2451544.5}) {
        std::string out;
        appendGeneral(out, v);
        EXPECT_EQ(out, printfGeneral(v));
    }
}

TEST(AppendInt, PlainAndPadded) {
    std::string out = "#";
    appendInt(out, INT64_MIN);
    EXPECT_EQ(out, "#-9223372036854775808");
    struct Case {
        std::int64_t value;
        int width;
        const char* expected;
    };
    const Case cases[] = {
        {5, 2, "05"},
        {123, 2, "123"},
        {-5, 2, "-05"},
        {7, -4, "7"},
        {INT64_MIN, 0, "-9223372036854775808"},
    };
    for (const Case& c : cases) {
        std::string padded;
        appendPadded(padded, c.value, c.width);
        EXPECT_EQ(padded, c.expected);
    }
}
