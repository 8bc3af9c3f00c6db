// Tests of the date-time value: day arithmetic against an independent calendar, the setters'
// range check and normalisation, Julian Date rounding, and every text layout of parseFields.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "platform/platform.h"
#include "record/ATime.h"
#include "record/Numbers.h"

namespace {

struct Fields {
    int year, month, day, hour, minute, second;
};

std::string show(const Fields& f) {
    char text[96];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day,
                  f.hour, f.minute, f.second);
    return text;
}

std::string show(const ATime& t) {
    return show(Fields{t.year, t.month, t.day, t.hour, t.minute, t.second});
}

ATime utc(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setUtc(year, month, day, hour, minute, second);
    return t;
}

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysIn(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

const ATime Sample = utc(2003, 7, 14, 9, 8, 7);

}  // namespace

TEST(ATime, DefaultIsUnset) {
    ATime t;
    EXPECT_EQ(show(t), "1984-01-00 00:00:00");
    EXPECT_EQ(t.julianDate(), 2445699.5);
    EXPECT_FALSE(t.isSet());
    EXPECT_EQ(t.zoneOffset, platform::zoneOffsetSeconds());

    ATime changed = Sample;
    changed.clear();
    EXPECT_EQ(show(changed), "1984-01-00 00:00:00");
}

TEST(ATime, DayNumbersAgreeWithAnIndependentCalendar) {
    // Walk every day of the years the range check admits, and a margin around them, counting
    // days by month lengths alone; both directions of the day-number formula must agree.
    EXPECT_EQ(ATime::mjd(1858, 11, 17), 0);
    EXPECT_EQ(ATime::mjd(2000, 1, 1), 51544);
    EXPECT_EQ(ATime::mjd(1984, 1, 0), 45699);
    std::int64_t n = ATime::mjd(1900, 1, 1);
    EXPECT_EQ(n, 15020);
    for (int year = 1900; year <= 2100; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= daysIn(year, month); ++day, ++n) {
                ASSERT_EQ(ATime::mjd(year, month, day), n) << year << "-" << month << "-" << day;
                std::int32_t y = 0, m = 0, d = 0;
                ATime::civilFromMjd(n, y, m, d);
                ASSERT_EQ(y, year) << n;
                ASSERT_EQ(m, month) << n;
                ASSERT_EQ(d, day) << n;
            }
        }
    }
}

TEST(ATime, DayArithmeticStaysDefinedForAbsurdInput) {
    // Clamped rather than overflowing. The inverse formula gives calendar-shaped dates only
    // from Julian Day 0 on (4713 BC); before that it is merely defined.
    const std::int64_t extremes[] = {INT64_MAX, INT64_MIN, std::int64_t{1} << 50,
                                     -(std::int64_t{1} << 50)};
    for (std::int64_t x : extremes) {
        SCOPED_TRACE(x);
        std::int32_t y = 0, m = 0, d = 0;
        ATime::civilFromMjd(x, y, m, d);
        if (x > 0) {
            EXPECT_GE(m, 1);
            EXPECT_LE(m, 12);
            EXPECT_GE(d, 1);
            EXPECT_LE(d, 31);
        }
        EXPECT_EQ(x > 0, y > 2000);
        std::int64_t day = ATime::mjd(x, x, x);
        EXPECT_EQ(x > 0, day > 0);
    }
}

TEST(ATime, SetUtcNormalises) {
    struct Case {
        Fields in;
        const char* expected;
    };
    const Case cases[] = {
        {{2000, 3, 0, 0, 0, 0}, "2000-02-29 00:00:00"},
        {{2001, 3, 0, 0, 0, 0}, "2001-02-28 00:00:00"},
        {{2000, 12, 31, 23, 59, 60}, "2001-01-01 00:00:00"},
        {{2000, 2, 30, 0, 0, 0}, "2000-03-01 00:00:00"},
        {{2001, 2, 30, 0, 0, 0}, "2001-03-02 00:00:00"},
        {{2000, 1, 1, 0, 0, 75}, "2000-01-01 00:01:15"},
        {{2000, 1, 1, 0, 0, -1}, "1999-12-31 23:59:59"},
        {{2000, 1, 1, 23, 59, 86400 * 3}, "2000-01-04 23:59:00"},
        {{1984, 1, 1, 0, 0, 0}, "1984-01-01 00:00:00"},
        {{2049, 12, 31, 23, 59, 59}, "2049-12-31 23:59:59"},
        {{2010, 6, -5, 12, 0, 0}, "2010-05-26 12:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(show(c.in));
        EXPECT_EQ(show(utc(c.in.year, c.in.month, c.in.day, c.in.hour, c.in.minute, c.in.second)),
                  c.expected);
    }
}

TEST(ATime, RangeCheckKeepsOrResets) {
    const Fields outOfRange[] = {
        {2050, 1, 1, 0, 0, 0},   {1983, 12, 31, 23, 59, 59}, {2000, 0, 1, 0, 0, 0},
        {2000, 13, 1, 0, 0, 0},  {2000, 1, 1, 24, 0, 0},     {2000, 1, 1, -1, 0, 0},
        {2000, 1, 1, 0, 60, 0},  {2000, 1, 1, 0, -1, 0},     {INT_MIN, INT_MIN, 1, 0, 0, 0},
    };
    for (const Fields& f : outOfRange) {
        SCOPED_TRACE(show(f));
        EXPECT_FALSE(ATime::inRange(f.year, f.month, f.hour, f.minute));
        ATime kept = Sample;
        kept.setUtc(f.year, f.month, f.day, f.hour, f.minute, f.second);
        EXPECT_EQ(show(kept), show(Sample));
        ATime reset = Sample;
        reset.setLocal(f.year, f.month, f.day, f.hour, f.minute, f.second);
        EXPECT_FALSE(reset.isSet());
        EXPECT_EQ(show(reset), "1984-01-00 00:00:00");
    }
    // Day and second have no limit; extreme ones still land on a calendar date.
    ATime far = utc(2000, 1, INT_MAX, 23, 59, INT_MAX);
    EXPECT_GT(far.year, 5000000);
    ATime early = utc(2000, 1, INT_MIN, 0, 0, INT_MIN);
    EXPECT_LT(early.year, -5000000);
}

TEST(ATime, SetLocalShiftsByTheZone) {
    struct Case {
        int zone;
        Fields local;
        const char* utcText;
    };
    const Case cases[] = {
        {32400, {2000, 1, 1, 8, 0, 0}, "1999-12-31 23:00:00"},
        {32400, {2000, 3, 1, 0, 30, 0}, "2000-02-29 15:30:00"},
        {-18000, {2000, 1, 1, 20, 0, 0}, "2000-01-02 01:00:00"},
        {0, {2000, 1, 1, 20, 0, 0}, "2000-01-01 20:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.zone) + " " + show(c.local));
        ATime t;
        t.zoneOffset = c.zone;
        t.setLocal(c.local.year, c.local.month, c.local.day, c.local.hour, c.local.minute,
                   c.local.second);
        EXPECT_EQ(show(t), c.utcText);
        EXPECT_EQ(t.zoneOffset, c.zone);
    }
}

TEST(ATime, SetJulianRoundsToTheSecond) {
    struct Case {
        double jd;
        const char* expected;
    };
    const double second = 1.0 / 86400.0;
    const Case cases[] = {
        {2451544.5, "2000-01-01 00:00:00"},
        {2451545.0, "2000-01-01 12:00:00"},
        {2451544.5 + 0.4 * second, "2000-01-01 00:00:00"},
        {2451544.5 + 0.6 * second, "2000-01-01 00:00:01"},
        {2451544.5 + 3723 * second, "2000-01-01 01:02:03"},
        // A time of day that rounds up to a whole day carries into the next one.
        {2451545.5 - 0.3 * second, "2000-01-02 00:00:00"},
        {2451575.5 - 0.2 * second, "2000-02-01 00:00:00"},
        {2455197.5 - 0.1 * second, "2010-01-01 00:00:00"},
        {2445700.5, "1984-01-01 00:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.jd));
        ATime t;
        t.setJulian(c.jd);
        EXPECT_EQ(show(t), c.expected);
    }
}

TEST(ATime, SetJulianZeroResetsAndNonsenseKeeps) {
    ATime t = Sample;
    t.setJulian(0.0);
    EXPECT_FALSE(t.isSet());
    EXPECT_EQ(show(t), "1984-01-00 00:00:00");

    const double nonsense[] = {std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN(),
                               1e300,
                               -1e300,
                               9.3e18,
                               -9.3e18,
                               2415020.5 /* 1900, outside the range */,
                               2469807.5 /* 2050-01-01 */,
                               -0.25,
                               1.0};
    for (double jd : nonsense) {
        SCOPED_TRACE(jd);
        ATime kept = Sample;
        kept.setJulian(jd);
        EXPECT_EQ(show(kept), show(Sample));
    }
}

TEST(ATime, JulianDateRoundTripsEverySecondOfADay) {
    // What the writers print with six and five decimals reads back to the same second.
    for (int s = 0; s < 86400; s += 7) {
        ATime t = utc(2004, 2, 29, 0, 0, s);
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

TEST(ATime, ComparesByJulianDateAlone) {
    ATime a = utc(2000, 2, 29, 0, 0, 0);
    ATime b;
    b.year = 2000;
    b.month = 3;
    b.day = 0;
    b.zoneOffset = a.zoneOffset + 3600;
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < b);
    ATime later = utc(2000, 2, 29, 0, 0, 1);
    EXPECT_TRUE(a < later);
    EXPECT_FALSE(later < a);

    // The default fields read back through the setters move to 1983-12-31, still unset.
    ATime normalised;
    normalised.year = 1984;
    normalised.month = 1;
    normalised.day = 0;
    normalised.setUtc(1984, 1, 0, 0, 0, 0);
    EXPECT_EQ(show(normalised), "1983-12-31 00:00:00");
    EXPECT_FALSE(normalised.isSet());
    EXPECT_TRUE(utc(1984, 1, 1, 0, 0, 0).isSet());
    EXPECT_TRUE(utc(1984, 1, 0, 0, 0, 1).isSet());
}

TEST(ATime, SetNowFollowsTheClock) {
    ATime t;
    t.zoneOffset = 12345;
    std::int64_t before = platform::nowUtc();
    t.setNow();
    std::int64_t after = platform::nowUtc();
    EXPECT_EQ(t.zoneOffset, platform::zoneOffsetSeconds());
    double jdBefore = static_cast<double>(before) / 86400.0 + 2440587.5;
    double jdAfter = static_cast<double>(after) / 86400.0 + 2440587.5;
    EXPECT_GE(t.julianDate(), jdBefore - 1e-9);
    EXPECT_LE(t.julianDate(), jdAfter + 1e-9);
    EXPECT_GE(t.hour, 0);
    EXPECT_LE(t.hour, 23);
}

TEST(ATime, ParseFieldsLayouts) {
    struct Case {
        const char* text;
        bool ok;
        Fields expected;
    };
    const Case cases[] = {
        {"2000/01/05", true, {2000, 1, 5, 0, 0, 0}},
        {"2000/01/05 12:34:56", true, {2000, 1, 5, 12, 34, 56}},
        {"2000.01.05 12:34:56", true, {2000, 1, 5, 12, 34, 56}},
        {"(2000/01/05 12:34:56)", true, {2000, 1, 5, 12, 34, 56}},
        {"[ {2000/01/05 12:34:56}]", true, {2000, 1, 5, 12, 34, 56}},
        {"(1984/01/00 00:00:00)", true, {1984, 1, 0, 0, 0, 0}},
        {"05/01/2000 12:34:56", true, {2000, 1, 5, 12, 34, 56}},
        {"5/1/2000 1:2:3", true, {2000, 1, 5, 1, 2, 3}},
        {"Wed Jan 05 12:34:56 2000", true, {2000, 1, 5, 12, 34, 56}},
        {"(Wed Jan 05 12:34:56 2000)", true, {2000, 1, 5, 12, 34, 56}},
        {"Wed Jan  5 12:34:56 2000\n", true, {2000, 1, 5, 12, 34, 56}},
        {"\tSun Dec 31 23:59:59 2049\n", true, {2049, 12, 31, 23, 59, 59}},
        {"Wed Nov 01 00:00:00 2000", true, {2000, 11, 1, 0, 0, 0}},
        {"wed nov 01 00:00:00 2000", true, {2000, 0, 1, 0, 0, 0}},
        {"Wed JAN 01 00:00:00 2000", true, {2000, 0, 1, 0, 0, 0}},
        {"Wed Janx 01 00:00:00 2000", true, {2000, 0, 1, 0, 0, 0}},
        // Hyphens end no token: the first token is the year, the rest shifts along.
        {"2000-01-05 12:34:56", true, {2000, 12, 34, 56, 0, 0}},
        // Month first: the month lands in the day, is overwritten, and the year stays 0.
        {"01/05/00", true, {0, 5, 0, 0, 0, 0}},
        {"2000/xx/05", true, {2000, 0, 5, 0, 0, 0}},
        // Two closing characters in a row make an empty token, which reads nothing.
        {"2000//05", true, {2000, 0, 5, 0, 0, 0}},
        // In the word layout the third token is the day whatever its length.
        {"Wed Jan 2000", true, {0, 1, 2000, 0, 0, 0}},
        {"2000/01/05 12:34:56 99 98", true, {2000, 1, 5, 12, 34, 56}},
        {"Wed Jan 05 12:34:56 2000 1999", true, {2000, 1, 5, 12, 34, 56}},
        {"hello", true, {0, 0, 0, 0, 0, 0}},
        {"42", true, {0, 0, 42, 0, 0, 0}},
        {"-7/+3/2000", true, {2000, 3, -7, 0, 0, 0}},
        {"99999999999/1/2000", true, {2000, 1, 0, 0, 0, 0}},
        {"", false, {0, 0, 0, 0, 0, 0}},
        {" ([{\t}", true, {0, 0, 0, 0, 0, 0}},
        {" ([{\t", false, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        int f[6] = {-1, -1, -1, -1, -1, -1};
        ASSERT_EQ(ATime::parseFields(c.text, f), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(show(Fields{f[0], f[1], f[2], f[3], f[4], f[5]}), show(c.expected));
    }
}

TEST(ATime, ParseUtcAndLocal) {
    ATime t = Sample;
    t.parseUtc("Wed Jan  5 12:34:56 2000\n");
    EXPECT_EQ(show(t), "2000-01-05 12:34:56");

    // Empty text: unchanged through both.
    ATime empty = Sample;
    empty.parseUtc("");
    EXPECT_EQ(show(empty), show(Sample));
    empty.parseLocal("  ");
    EXPECT_EQ(show(empty), show(Sample));

    // Text with no usable date: unchanged through parseUtc, unset through parseLocal.
    for (const char* text : {"hello", "42", "2000-01-05 12:34:56", "wed nov 01 00:00:00 2000"}) {
        SCOPED_TRACE(text);
        ATime kept = Sample;
        kept.parseUtc(text);
        EXPECT_EQ(show(kept), show(Sample));
        ATime reset = Sample;
        reset.parseLocal(text);
        EXPECT_FALSE(reset.isSet());
    }

    ATime local;
    local.zoneOffset = 3600;
    local.parseLocal("(2000/01/01 00:30:00)");
    EXPECT_EQ(show(local), "1999-12-31 23:30:00");
}
