// What the almanac page shows of a store, gathered in one pass over its records: counts and
// totals, the months, the points of the CPU-time chart, the sky cells, the best signals and the
// receivers and tapes. Values a chart cannot place (unset or absurd) are counted apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/WorkUnitList.h"

namespace almanac {

// The first arrival a chart accepts: 1999-01-01, before any work unit was sent out.
inline constexpr std::int64_t FirstUsableDay = 51179;  // Modified Julian Day
// The last year a chart accepts.
inline constexpr int LastUsableYear = 2099;
// The most CPU time a chart accepts for one unit: some 115 days.
inline constexpr double MostUsableCpu = 1.0e7;

// Above this many units the CPU-time chart draws grid cells instead of points.
inline constexpr std::size_t MostPoints = 2000;
// The grid of the CPU-time chart: columns along the arrival, rows along the CPU time.
inline constexpr int GridColumns = 100;
inline constexpr int GridRows = 50;
// The sky map's cells: a quarter hour of right ascension by three degrees of declination.
inline constexpr int SkyColumns = 96;
inline constexpr int SkyRows = 60;
// Rows of each best-signal table.
inline constexpr std::size_t BestCount = 20;

// A moment in the local zone: seconds since 1970-01-01 00:00:00 local time.
using LocalSeconds = std::int64_t;

// A date-time's local seconds (its UTC fields plus its zone offset); false when it is unset or
// outside the years the charts accept.
bool usableArrival(const ATime& time, LocalSeconds& local);
bool usableCpu(double cpu);
bool usableSky(double ra, double dec);

// The months are counted from January 1999 (month 0).
inline int monthOf(int year, int month) { return (year - 1999) * 12 + (month - 1); }

struct MonthTotals {
    std::uint64_t finished = 0;  // finished units that arrived in the month
    double cpuHours = 0;         // their CPU time, of those whose CPU time is usable
};

// A point of the CPU-time chart: a finished unit's arrival and CPU time.
struct CpuPoint {
    LocalSeconds arrival = 0;
    double cpuHours = 0;
};

// A mark of the CPU-time chart as drawn: a unit, or the centre of a grid cell and its units.
struct CpuMark {
    LocalSeconds arrival = 0;
    double cpuHours = 0;
    std::uint64_t units = 1;
};

struct SkyCell {
    int column = 0;  // 0 at 0 h, rising with right ascension
    int row = 0;     // 0 at -90 degrees, rising with declination
    std::uint64_t units = 0;
    std::uint64_t scored = 0;  // its units with a best gaussian
    double meanScore = 0;      // the mean of their best-gaussian scores (a sum while gathered)
};

// A row of a best-signal table: the record's place in the store and the value it is ranked by.
struct Best {
    std::size_t record = 0;
    double value = 0;
};

struct NameCount {
    std::string name;
    std::uint64_t units = 0;
};

struct AlmanacStats {
    std::uint64_t units = 0;
    std::uint64_t finished = 0;  // prog 1 (or more)
    double cpuSeconds = 0;       // of every unit whose CPU time is usable
    double finishedCpuSeconds = 0;
    std::uint64_t finishedWithCpu = 0;
    // First and last arrival of the units whose arrival is usable.
    std::uint64_t withArrival = 0;
    LocalSeconds firstArrival = 0;
    LocalSeconds lastArrival = 0;

    // From the first to the last month a finished unit arrived in, every month present.
    int firstMonth = 0;
    std::vector<MonthTotals> months;
    std::uint64_t monthsLeftOut = 0;    // finished units without a usable arrival
    std::uint64_t cpuHoursLeftOut = 0;  // of those with one, the units without a usable CPU time

    std::vector<CpuMark> cpuMarks;  // in the order of the store, or the grid's row by row
    bool cpuGrid = false;           // the marks are grid cells
    std::uint64_t cpuPlotted = 0;   // finished units the chart stands for
    std::uint64_t cpuLeftOut = 0;   // finished units without a usable arrival or CPU time
    LocalSeconds cpuFirst = 0, cpuLast = 0;
    double cpuMostHours = 0;

    std::vector<SkyCell> skyCells;  // the occupied ones, by row, then column
    std::uint64_t skyUnits = 0;
    std::uint64_t skyLeftOut = 0;
    double skyBestScore = 0;  // the highest mean score of the cells

    std::vector<Best> bestSpikes;     // by bs_power, highest first, ties by name
    std::vector<Best> bestGaussians;  // by bg_score, of the units with a gaussian

    std::vector<NameCount> receivers;  // most units first, ties by name
    std::vector<NameCount> tapes;
};

// Everything the page shows of the store, in one pass over it.
AlmanacStats gatherStats(const WorkUnitList& store);

}  // namespace almanac
