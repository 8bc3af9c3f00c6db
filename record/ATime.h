// The date-time value: six calendar fields in UTC with the local zone offset beside them,
// ordered and compared by its Julian Date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class ATime {
public:
    static constexpr double UnsetJulianDate = 2445699.5;  // 1984-01-00 00:00:00

    std::int32_t year = 1984;
    std::int32_t month = 1;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t zoneOffset = 0;  // seconds east of Greenwich

    // The default value is "unset": 1984-01-00 00:00:00, Julian Date 2445699.5.
    ATime();

    void clear();
    // From UTC fields. Out-of-range input (see inRange) leaves the value unchanged.
    void setUtc(int year, int month, int day, int hour, int minute, int second);
    // From local fields, shifted by -zoneOffset. Out-of-range input resets to unset.
    void setLocal(int year, int month, int day, int hour, int minute, int second);
    // From a Julian Date; exactly 0.0 resets to unset. A time of day that rounds up to
    // 86400 seconds carries into the next day at 00:00:00. Non-finite or absurd values
    // leave the value unchanged.
    void setJulian(double jd);
    // From the clock, in UTC; refreshes zoneOffset.
    void setNow();
    // Free text through parseFields, then setUtc / setLocal; unchanged when parsing fails.
    void parseUtc(std::string_view text);
    void parseLocal(std::string_view text);
    // Reads year, month, day, hour, minute, second (in that order into `fields`) from
    // date text in the layouts yyyy/mm/dd hh:mm:ss, dd/mm/yyyy hh:mm:ss and
    // "Www Mmm dd hh:mm:ss yyyy". False only for empty text or text of opening characters.
    static bool parseFields(std::string_view text, int fields[6]);

    double julianDate() const;
    // Set means: a Julian Date other than the default's.
    bool isSet() const { return isSetJulian(julianDate()); }
    // Whether a Julian Date of julianDate() is that of a set value.
    static bool isSetJulian(double jd) { return jd != UnsetJulianDate; }

    // Compared by Julian Date alone.
    bool operator==(const ATime& other) const { return julianDate() == other.julianDate(); }
    bool operator<(const ATime& other) const { return julianDate() < other.julianDate(); }
    // Whether every field, the zone offset too, is the same: what a value read or printed
    // once can be told again by.
    bool sameFields(const ATime& other) const {
        return year == other.year && month == other.month && day == other.day &&
               hour == other.hour && minute == other.minute && second == other.second &&
               zoneOffset == other.zoneOffset;
    }

    // Range check shared by setUtc and setLocal.
    static bool inRange(int year, int month, int hour, int minute);
    // Modified Julian Day of a civil date (day 0 and days past the month's end allowed).
    // Arguments beyond +-2^40 are clamped to it, so the arithmetic never overflows.
    static std::int64_t mjd(std::int64_t year, std::int64_t month, std::int64_t day);
    // Civil date of a Modified Julian Day; n beyond +-2^38 is clamped so the year fits an
    // int32. Calendar-shaped from Julian Day 0 (MJD -2400001) on; defined but meaningless
    // before.
    static void civilFromMjd(std::int64_t n, std::int32_t& year, std::int32_t& month,
                             std::int32_t& day);

    // A file's last-write time (seconds since 1970 UTC) as the C library's date text in local
    // time, the UTC time plus `zoneOffset` seconds: "Www Mmm dd hh:mm:ss yyyy\n", the day two
    // digits, the year at least four. Times no file system holds still give the layout.
    static std::string fileTimeText(std::int64_t utcSeconds, std::int32_t zoneOffset);
};
