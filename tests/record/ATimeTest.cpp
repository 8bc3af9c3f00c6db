// Tests of the date-time value: day arithmetic against an independent calendar, the setters'
// range check and normalisation, Julian Date rounding, and every text layout of parseFields.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "record/ATime.h"
#include "text/Numbers.h"

namespace {

struct Fields {
    int year, month, day, hour, minute, second;
};

std::string show(const Fields& f) {
    char text[96];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                  f.minute, f.second);
    return text;
}

std::string show(const ATime& t) {
    return show(Fields{t.year, t.month, t.day, t.hour, t.minute, t.second});
}

ATime utc(const Fields& f) {
    ATime t;
    t.setUtc(f.year, f.month, f.day, f.hour, f.minute, f.second);
    return t;
}

int daysIn(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

const ATime Sample = utc({2003, 7, 14, 9, 8, 7});
const char* const Unset = "1984-01-00 00:00:00";

}  // namespace

TEST(ATime, DayNumbersAgreeWithAnIndependentCalendar) {
    // Every day of 1900 to 2100, counted by month lengths alone; both directions must agree.
    EXPECT_EQ(ATime::mjd(1858, 11, 17), 0);
    std::int64_t n = ATime::mjd(1900, 1, 1);
    EXPECT_EQ(n, 15020);
    for (int year = 1900; year <= 2100; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= daysIn(year, month); ++day, ++n) {
                ASSERT_EQ(ATime::mjd(year, month, day), n) << year << "-" << month << "-" << day;
                std::int32_t y = 0, m = 0, d = 0;
                ATime::civilFromMjd(n, y, m, d);
                ASSERT_EQ(show(Fields{y, m, d, 0, 0, 0}), show(Fields{year, month, day, 0, 0, 0}));
            }
        }
    }
    // Absurd arguments are clamped rather than overflowing.
    for (std::int64_t x : {INT64_MAX, INT64_MIN}) {
        SCOPED_TRACE(x);
        std::int32_t y = 0, m = 0, d = 0;
        ATime::civilFromMjd(x, y, m, d);
        EXPECT_EQ(x > 0, y > 2000);
        EXPECT_EQ(x > 0, ATime::mjd(x, x, x) > 0);
    }
}

TEST(ATime, SetUtcNormalisesAndChecksTheRange) {
    const std::pair<Fields, const char*> cases[] = {
        {{2000, 3, 0, 0, 0, 0}, "2000-02-29 00:00:00"},
        {{2001, 3, 0, 0, 0, 0}, "2001-02-28 00:00:00"},
        {{2001, 2, 30, 0, 0, 0}, "2001-03-02 00:00:00"},
        {{2000, 12, 31, 23, 59, 60}, "2001-01-01 00:00:00"},
        {{2000, 1, 1, 0, 0, -1}, "1999-12-31 23:59:59"},
        {{2000, 1, 1, 23, 59, 86400 * 3}, "2000-01-04 23:59:00"},
        {{2010, 6, -5, 12, 0, 0}, "2010-05-26 12:00:00"},
        {{1984, 1, 1, 0, 0, 0}, "1984-01-01 00:00:00"},
        {{2049, 12, 31, 23, 59, 59}, "2049-12-31 23:59:59"},
    };
    for (const auto& [in, expected] : cases) EXPECT_EQ(show(utc(in)), expected) << show(in);
    // Out of range: setUtc keeps the value, setLocal resets it to unset.
    const Fields outOfRange[] = {
        {2050, 1, 1, 0, 0, 0},  {1983, 12, 31, 23, 59, 59}, {2000, 0, 1, 0, 0, 0},
        {2000, 13, 1, 0, 0, 0}, {2000, 1, 1, 24, 0, 0},     {2000, 1, 1, -1, 0, 0},
        {2000, 1, 1, 0, 60, 0}, {2000, 1, 1, 0, -1, 0},     {INT_MIN, INT_MIN, 1, 0, 0, 0},
    };
    for (const Fields& f : outOfRange) {
        SCOPED_TRACE(show(f));
        ATime kept = Sample;
        kept.setUtc(f.year, f.month, f.day, f.hour, f.minute, f.second);
        EXPECT_EQ(show(kept), show(Sample));
        ATime reset = Sample;
        reset.setLocal(f.year, f.month, f.day, f.hour, f.minute, f.second);
        EXPECT_EQ(show(reset), Unset);
    }
    // Day and second have no limit; extreme ones still land on a calendar date.
    EXPECT_GT(utc({2000, 1, INT_MAX, 23, 59, INT_MAX}).year, 5000000);
    EXPECT_LT(utc({2000, 1, INT_MIN, 0, 0, INT_MIN}).year, -5000000);

    // Local fields are shifted by minus the zone offset, which the value keeps.
    ATime east;
    east.zoneOffset = 32400;
    east.setLocal(2000, 3, 1, 0, 30, 0);
    EXPECT_EQ(show(east), "2000-02-29 15:30:00");
    EXPECT_EQ(east.zoneOffset, 32400);
    ATime west;
    west.zoneOffset = -18000;
    west.setLocal(2000, 1, 1, 20, 0, 0);
    EXPECT_EQ(show(west), "2000-01-02 01:00:00");
}

TEST(ATime, SetJulianRoundsToTheSecond) {
    const double second = 1.0 / 86400.0;
    const std::pair<double, const char*> cases[] = {
        {2451545.0, "2000-01-01 12:00:00"},
        {2451544.5 + 0.4 * second, "2000-01-01 00:00:00"},
        {2451544.5 + 0.6 * second, "2000-01-01 00:00:01"},
        // A time of day that rounds up to a whole day carries into the next one.
        {2455197.5 - 0.1 * second, "2010-01-01 00:00:00"},
        {0.0, Unset},
    };
    for (const auto& [jd, expected] : cases) {
        ATime t = Sample;
        t.setJulian(jd);
        EXPECT_EQ(show(t), expected) << std::to_string(jd);
    }
    // Non-finite, absurd (beyond int64 once in seconds) or out-of-range dates keep the value.
    for (double jd :
         {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(), 1e300,
          -9.3e18, 2469807.5 /* 2050-01-01 */, 1.0}) {
        ATime kept = Sample;
        kept.setJulian(jd);
        EXPECT_EQ(show(kept), show(Sample)) << jd;
    }
}

TEST(ATime, SetJulianRoundsAnExactHalfSecondUp) {
    // Fractions of a day in 1024ths are exact in a double, and 86400 / 1024 = 84.375 s, so
    // these times of day fall on eighths of a second: exactly half a second rounds up, the
    // eighths either side of it go to the nearer second.
    const struct {
        double jd;
        const char* expected;
    } cases[] = {
        {2451544.5 + 4 / 1024.0, "2000-01-01 00:05:38"},     // 337.5 s
        {2451544.5 + 12 / 1024.0, "2000-01-01 00:16:53"},    // 1012.5 s
        {2451545.0 + 4 / 1024.0, "2000-01-01 12:05:38"},     // 43537.5 s
        {2451544.5 + 1020 / 1024.0, "2000-01-01 23:54:23"},  // 86062.5 s
        {2453064.5 + 508 / 1024.0, "2004-02-29 11:54:23"},   // 42862.5 s
        {2451544.5 + 6 / 1024.0, "2000-01-01 00:08:26"},     // 506.25 s
        {2451544.5 + 10 / 1024.0, "2000-01-01 00:14:04"},    // 843.75 s
        {2451544.5 + 1 / 1024.0, "2000-01-01 00:01:24"},     // 84.375 s
        {2451544.5 + 5 / 1024.0, "2000-01-01 00:07:02"},     // 421.875 s
    };
    for (const auto& c : cases) {
        ATime t = Sample;
        t.setJulian(c.jd);
        EXPECT_EQ(show(t), c.expected) << std::to_string(c.jd);
    }
}

TEST(ATime, JulianDateRoundTripsEverySecondOfADay) {
    // What the writers print with six and five decimals reads back to the same second.
    for (int s = 0; s < 86400; s += 7) {
        ATime t = utc({2004, 2, 29, 0, 0, s});
        for (int decimals : {6, 5}) {
            std::string text;
            appendFixed(text, t.julianDate(), decimals);
            double printed = 0;
            ASSERT_TRUE(readReal(text, printed));
            ATime back;
            back.setJulian(printed);
            ASSERT_EQ(show(back), show(t)) << text;
        }
    }
}

TEST(ATime, ComparesAndCountsAsSetByJulianDateAlone) {
    ATime unset;
    EXPECT_EQ(show(unset), Unset);
    EXPECT_EQ(unset.julianDate(), 2445699.5);
    EXPECT_FALSE(unset.isSet());
    ATime cleared = Sample;
    cleared.clear();
    EXPECT_EQ(show(cleared), Unset);

    ATime a = utc({2000, 2, 29, 0, 0, 0});
    ATime b;
    b.year = 2000;
    b.month = 3;
    b.day = 0;
    b.zoneOffset = a.zoneOffset + 3600;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < b);
    ATime later = utc({2000, 2, 29, 0, 0, 1});
    EXPECT_TRUE(a < later);
    EXPECT_FALSE(later < a);

    // The default fields read back through the setters move to 1983-12-31, still unset.
    ATime normalised = utc({1984, 1, 0, 0, 0, 0});
    EXPECT_EQ(show(normalised), "1983-12-31 00:00:00");
    EXPECT_FALSE(normalised.isSet());
    EXPECT_TRUE(utc({1984, 1, 0, 0, 0, 1}).isSet());
}

TEST(ATime, SetNowFollowsTheClock) {
    ATime t;
    t.zoneOffset = 12345;
    const std::int64_t before = platform::nowUtc();
    t.setNow();
    const std::int64_t after = platform::nowUtc();
    EXPECT_EQ(t.zoneOffset, platform::zoneOffsetSeconds());
    EXPECT_GE(t.julianDate(), static_cast<double>(before) / 86400.0 + 2440587.5 - 1e-9);
    EXPECT_LE(t.julianDate(), static_cast<double>(after) / 86400.0 + 2440587.5 + 1e-9);
}

TEST(ATime, ParseFieldsLayouts) {
    const std::pair<const char*, Fields> cases[] = {
        {"2000/01/05", {2000, 1, 5, 0, 0, 0}},
        {"5/1/2000 1:2:3", {2000, 1, 5, 1, 2, 3}},
        {"2000.01.05 12:34:56", {2000, 1, 5, 12, 34, 56}},
        {"[ {2000/01/05 12:34:56}]", {2000, 1, 5, 12, 34, 56}},
        {"(1984/01/00 00:00:00)", {1984, 1, 0, 0, 0, 0}},
        // The C library's time stamp: two blanks before a one-digit day, a newline at the end.
        {"Wed Jan  5 12:34:56 2000\n", {2000, 1, 5, 12, 34, 56}},
        {"(Sun Dec 31 23:59:59 2049)", {2049, 12, 31, 23, 59, 59}},
        // Month names are exact and case-sensitive.
        {"wed nov 01 00:00:00 2000", {2000, 0, 1, 0, 0, 0}},
        {"Wed Janx 01 00:00:00 2000", {2000, 0, 1, 0, 0, 0}},
        // Hyphens end no token: the first token is the year, the rest shifts along.
        {"2000-01-05 12:34:56", {2000, 12, 34, 56, 0, 0}},
        // Month first: the month lands in the day, is overwritten, and the year stays 0.
        {"01/05/00", {0, 5, 0, 0, 0, 0}},
        // An empty, non-numeric or overflowing token reads nothing; signs are read.
        {"2000//05", {2000, 0, 5, 0, 0, 0}},
        {"-7/+3/99999999999", {0, 3, -7, 0, 0, 0}},
        // In the word layout the third token is the day whatever its length.
        {"Wed Jan 2000", {0, 1, 2000, 0, 0, 0}},
        {"2000/01/05 12:34:56 99 98", {2000, 1, 5, 12, 34, 56}},
        {"Wed Jan 05 12:34:56 2000 1999", {2000, 1, 5, 12, 34, 56}},
        {"42", {0, 0, 42, 0, 0, 0}},
        {" ([{\t}", {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& [text, expected] : cases) {
        int f[6] = {-1, -1, -1, -1, -1, -1};
        ASSERT_TRUE(ATime::parseFields(text, f)) << text;
        EXPECT_EQ(show(Fields{f[0], f[1], f[2], f[3], f[4], f[5]}), show(expected)) << text;
    }
    int f[6];
    EXPECT_FALSE(ATime::parseFields("", f));
    EXPECT_FALSE(ATime::parseFields(" ([{\t", f));
}

TEST(ATime, ParseUtcAndLocal) {
    ATime t = Sample;
    t.parseUtc("Wed Jan  5 12:34:56 2000\n");
    EXPECT_EQ(show(t), "2000-01-05 12:34:56");
    ATime local;
    local.zoneOffset = 3600;
    local.parseLocal("(2000/01/01 00:30:00)");
    EXPECT_EQ(show(local), "1999-12-31 23:30:00");

    // Empty text changes nothing; text without a usable date is kept by parseUtc and unset by
    // parseLocal.
    ATime kept = Sample;
    kept.parseUtc("");
    kept.parseLocal("  ");
    kept.parseUtc("2000-01-05 12:34:56");
    EXPECT_EQ(show(kept), show(Sample));
    kept.parseLocal("2000-01-05 12:34:56");
    EXPECT_EQ(show(kept), Unset);
}

TEST(ATime, FileTimeTextUsesTheGivenStandardOffset) {
    // Times: 2001-07-01 12:00:00 (summer in the north), 2000-12-31 23:30:00,
    // 2000-02-29 00:00:00, one second before 1970, 0001-01-01 00:00:00 (the year takes at
    // least four digits). Summer time never counts: the offset is the standard one.
    const std::int64_t times[] = {993988800LL, 978305400LL, 951782400LL, -1LL, -62135596800LL};
    const std::pair<std::int32_t, std::vector<std::string>> cases[] = {
        {-18000,
         {"Sun Jul 01 07:00:00 2001\n", "Sun Dec 31 18:30:00 2000\n", "Mon Feb 28 19:00:00 2000\n",
          "Wed Dec 31 18:59:59 1969\n", "Sun Dec 31 19:00:00 0000\n"}},
        {19800,
         {"Sun Jul 01 17:30:00 2001\n", "Mon Jan 01 05:00:00 2001\n", "Tue Feb 29 05:30:00 2000\n",
          "Thu Jan 01 05:29:59 1970\n", "Mon Jan 01 05:30:00 0001\n"}},
    };
    for (const auto& [offset, expected] : cases) {
        SCOPED_TRACE(offset);
        std::vector<std::string> texts;
        for (std::int64_t utc : times) texts.push_back(ATime::fileTimeText(utc, offset));
        EXPECT_EQ(texts, expected);
    }
    // Times no file system holds still give the layout, without overflow.
    for (std::int64_t utc : {INT64_MIN, INT64_MAX}) {
        const std::string text = ATime::fileTimeText(utc, 50400);
        ASSERT_GE(text.size(), 25u);
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(text[13], ':');
    }
}
