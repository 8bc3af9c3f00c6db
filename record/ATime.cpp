// The date-time value: day-number arithmetic, the setters with their range check and
// normalisation, and the free-text date reader.
#include "record/ATime.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "text/Numbers.h"

namespace {

constexpr double MjdToJd = 2400000.5;
constexpr std::int64_t SecondsPerDay = 86400;
constexpr std::int64_t UnixEpochMjd = 40587;         // 1970-01-01
constexpr std::int64_t FirstCalendarMjd = -2400000;  // the day after Julian Day 0

// Bounds that keep the day arithmetic inside int64 and exact in double: |2^40| years is far
// beyond any date, and 365.25 * 2^40 is still an exact double. Larger input is clamped.
constexpr std::int64_t ArgumentLimit = std::int64_t{1} << 40;
// Day numbers whose year still fits an int32 (about 7.5e8 years either way).
constexpr std::int64_t DayLimit = std::int64_t{1} << 38;
// A Julian Date further than this many days from the MJD origin cannot name a year the
// range check accepts; refusing it early keeps every conversion to an integer defined.
constexpr double JulianLimit = 1.0e9;

inline std::int64_t clampTo(std::int64_t value, std::int64_t limit) {
    return value > limit ? limit : (value < -limit ? -limit : value);
}

// Conversion of a real number to an integer, truncating toward zero. Callers keep the
// argument inside the int64 range.
inline std::int64_t trunc64(double value) { return static_cast<std::int64_t>(value); }

inline std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// The opening set is skipped before a token; the closing set ends one.
inline bool isOpening(char c) { return c == '(' || c == '[' || c == '{' || c == ' ' || c == '\t'; }
inline bool isClosing(char c) {
    return c == '/' || c == '.' || c == ':' || c == ')' || c == ']' || c == '}' || c == ' ' ||
           c == '\t';
}
inline bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const char* const MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const WeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

int monthFromName(std::string_view token) {
    for (int i = 0; i < 12; ++i) {
        if (token == MonthNames[i]) return i + 1;
    }
    return 0;
}

// A numeric token; one that does not begin with a number keeps the output's 0.
void readToken(std::string_view token, int& out) {
    std::int32_t value = 0;
    if (readInt(token, value)) out = value;
}

}  // namespace

ATime::ATime() { zoneOffset = platform::zoneOffsetSeconds(); }

void ATime::clear() { *this = ATime(); }

bool ATime::inRange(int year, int month, int hour, int minute) {
    return year >= 1984 && year <= 2049 && month >= 1 && month <= 12 && hour >= 0 && hour <= 23 &&
           minute >= 0 && minute <= 59;
}

std::int64_t ATime::mjd(std::int64_t year, std::int64_t month, std::int64_t day) {
    year = clampTo(year, ArgumentLimit);
    month = clampTo(month, ArgumentLimit);
    day = clampTo(day, ArgumentLimit);
    std::int64_t y = year;
    std::int64_t m = month;
    if (month == 1 || month == 2) {
        y = year - 1;
        m = month + 12;
    }
    return trunc64(365.25 * static_cast<double>(y)) +
           trunc64(30.6001 * static_cast<double>(m + 1)) + day - 679004 + y / 400 - y / 100;
}

void ATime::civilFromMjd(std::int64_t n, std::int32_t& year, std::int32_t& month,
                         std::int32_t& day) {
    n = clampTo(n, DayLimit);
    std::int64_t j = n + 2400001;
    std::int64_t a = trunc64((static_cast<double>(j) - 1867216.25) / 36524.25);
    std::int64_t b = n + a - a / 4 + 2401526;
    std::int64_t c = trunc64((static_cast<double>(b) - 122.1) / 365.25);
    std::int64_t e = b - trunc64(365.25 * static_cast<double>(c));
    std::int64_t f = trunc64(static_cast<double>(e) / 30.6001);
    std::int64_t d = e - trunc64(30.6001 * static_cast<double>(f));
    std::int64_t m = f <= 13 ? f - 1 : f - 13;
    std::int64_t y = m <= 2 ? c - 4715 : c - 4716;
    year = static_cast<std::int32_t>(y);
    month = static_cast<std::int32_t>(m);
    day = static_cast<std::int32_t>(d);
}

// Shared normalisation of setUtc and setLocal: the time of day plus a shift in seconds is
// brought into 0..86399 and whole days move the date. All sums are 64-bit, so int32 inputs
// cannot overflow.
static void normalise(ATime& t, int year, int month, int day, int hour, int minute, int second,
                      std::int64_t shift) {
    std::int64_t total =
        std::int64_t{second} + std::int64_t{minute} * 60 + std::int64_t{hour} * 3600 + shift;
    std::int64_t carry = floorDiv(total, SecondsPerDay);
    std::int64_t rest = total - carry * SecondsPerDay;
    t.hour = static_cast<std::int32_t>(rest / 3600);
    t.minute = static_cast<std::int32_t>((rest % 3600) / 60);
    t.second = static_cast<std::int32_t>(rest % 60);
    ATime::civilFromMjd(ATime::mjd(year, month, day) + carry, t.year, t.month, t.day);
}

void ATime::setUtc(int y, int mo, int d, int h, int mi, int sec) {
    if (!inRange(y, mo, h, mi)) return;
    normalise(*this, y, mo, d, h, mi, sec, 0);
}

void ATime::setLocal(int y, int mo, int d, int h, int mi, int sec) {
    if (!inRange(y, mo, h, mi)) {
        clear();
        return;
    }
    normalise(*this, y, mo, d, h, mi, sec, -std::int64_t{zoneOffset});
}

void ATime::setJulian(double jd) {
    if (jd == 0.0) {
        clear();
        return;
    }
    if (!std::isfinite(jd)) return;
    double m = jd - MjdToJd;
    if (!(std::fabs(m) < JulianLimit)) return;
    std::int64_t n = trunc64(m);
    double f = (m - static_cast<double>(n)) * 86400.0;
    std::int64_t secs = trunc64(f);
    if (f - static_cast<double>(secs) >= 0.5) ++secs;
    // A time of day that rounds up to a whole day is midnight of the next one.
    if (secs == SecondsPerDay) {
        ++n;
        secs = 0;
    }
    std::int32_t y = 0, mo = 0, d = 0;
    civilFromMjd(n, y, mo, d);
    setUtc(y, mo, d, static_cast<int>(secs / 3600), static_cast<int>((secs % 3600) / 60),
           static_cast<int>(secs % 60));
}

void ATime::setNow() {
    zoneOffset = platform::zoneOffsetSeconds();
    std::int64_t now = platform::nowUtc();
    std::int64_t days = floorDiv(now, SecondsPerDay);
    std::int64_t rest = now - days * SecondsPerDay;
    civilFromMjd(days + UnixEpochMjd, year, month, day);
    hour = static_cast<std::int32_t>(rest / 3600);
    minute = static_cast<std::int32_t>((rest % 3600) / 60);
    second = static_cast<std::int32_t>(rest % 60);
}

void ATime::parseUtc(std::string_view text) {
    int f[6];
    if (parseFields(text, f)) setUtc(f[0], f[1], f[2], f[3], f[4], f[5]);
}

void ATime::parseLocal(std::string_view text) {
    int f[6];
    if (parseFields(text, f)) setLocal(f[0], f[1], f[2], f[3], f[4], f[5]);
}

bool ATime::parseFields(std::string_view text, int fields[6]) {
    std::size_t pos = 0;
    const std::size_t size = text.size();
    while (pos < size && isOpening(text[pos])) ++pos;
    if (pos == size) return false;
    const bool wordLayout = isLetter(text[pos]);
    int& year = fields[0];
    int& month = fields[1];
    int& day = fields[2];
    for (int i = 0; i < 6; ++i) fields[i] = 0;

    for (int position = 0;; ++position) {
        while (pos < size && isOpening(text[pos])) ++pos;
        if (pos == size) return true;
        std::size_t stop = pos;
        while (stop < size && !isClosing(text[stop])) ++stop;
        std::string_view token = text.substr(pos, stop - pos);
        pos = stop < size ? stop + 1 : size;  // the closing character goes with the token

        // Day or year by the token's length: "05" is a day, "2000" a year.
        int& dayOrYear = token.size() <= 2 ? day : year;
        if (wordLayout) {
            switch (position) {
                case 0: break;  // the weekday
                case 1: month = monthFromName(token); break;
                case 2: readToken(token, day); break;
                case 3: readToken(token, fields[3]); break;
                case 4: readToken(token, fields[4]); break;
                case 5: readToken(token, fields[5]); break;
                case 6: readToken(token, year); break;
                default: return true;
            }
        } else {
            switch (position) {
                case 0: readToken(token, dayOrYear); break;
                case 1: readToken(token, month); break;
                case 2: readToken(token, dayOrYear); break;
                case 3: readToken(token, fields[3]); break;
                case 4: readToken(token, fields[4]); break;
                case 5: readToken(token, fields[5]); break;
                default: return true;
            }
        }
    }
}

double ATime::julianDate() const {
    std::int64_t seconds =
        std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + std::int64_t{second};
    return static_cast<double>(mjd(year, month, day)) + static_cast<double>(seconds) / 86400.0 +
           MjdToJd;
}

std::string ATime::fileTimeText(std::int64_t utcSeconds, std::int32_t zoneOffset) {
    // Clamped far beyond any file time, so adding the offset cannot overflow.
    const std::int64_t local = clampTo(utcSeconds, ArgumentLimit * SecondsPerDay) + zoneOffset;
    // The day is kept where the calendar is shaped (from Julian Day 0 on), so every field
    // printed is a real one.
    const std::int64_t day =
        std::max<std::int64_t>(UnixEpochMjd + floorDiv(local, SecondsPerDay), FirstCalendarMjd);
    const auto secondOfDay =
        static_cast<int>(local - floorDiv(local, SecondsPerDay) * SecondsPerDay);
    std::int32_t year = 0;
    std::int32_t month = 1;
    std::int32_t dayOfMonth = 1;
    civilFromMjd(day, year, month, dayOfMonth);
    // MJD 0, 1858-11-17, was a Wednesday.
    const auto weekday = static_cast<int>(floorDiv(day + 3, 7) * -7 + day + 3);
    std::string text;
    text.reserve(32);
    text += WeekdayNames[weekday];
    text += ' ';
    text += MonthNames[month - 1];
    text += ' ';
    appendPadded(text, dayOfMonth, 2);
    text += ' ';
    appendPadded(text, secondOfDay / 3600, 2);
    text += ':';
    appendPadded(text, secondOfDay / 60 % 60, 2);
    text += ':';
    appendPadded(text, secondOfDay % 60, 2);
    text += ' ';
    if (year < 0) text += '-';
    appendPadded(text, year < 0 ? -static_cast<std::int64_t>(year) : year, 4);
    text += '\n';
    return text;
}
