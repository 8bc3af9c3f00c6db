// The one pass over the store that gathers what the almanac page shows.
#include "present/AlmanacStats.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>

namespace almanac {

namespace {

constexpr std::int64_t SecondsPerDay = 86400;
constexpr std::int64_t UnixEpochMjd = 40587;

bool finished(const WorkUnit& w) { return w.prog >= 1.0; }

// Keeps the `BestCount` best records by one value, highest first, ties by name: a record
// joins only when it beats the last of the table, so the pass costs little more than the
// compare.
class BestTable {
public:
    BestTable(const WorkUnitList& store, std::vector<Best>& rows) : store_(store), rows_(rows) {}

    void offer(std::size_t record, double value) {
        if (!std::isfinite(value)) return;
        const Best row{record, value};
        if (rows_.size() == BestCount && !better(row, rows_.back())) return;
        const auto place =
            std::upper_bound(rows_.begin(), rows_.end(), row,
                             [this](const Best& a, const Best& b) { return better(a, b); });
        rows_.insert(place, row);
        if (rows_.size() > BestCount) rows_.pop_back();
    }

private:
    bool better(const Best& a, const Best& b) const {
        if (a.value != b.value) return a.value > b.value;
        return store_[a.record].name < store_[b.record].name;
    }

    const WorkUnitList& store_;
    std::vector<Best>& rows_;
};

// Units per text, the run of equal texts of neighbouring records counted without a lookup.
class TextCounts {
public:
    void add(const std::string& text) {
        if (last_ == counts_.end() || last_->first != text)
            last_ = counts_.try_emplace(text, 0).first;
        ++last_->second;
    }
    // Most units first, ties by the text's bytes.
    std::vector<NameCount> sorted() const {
        std::vector<NameCount> rows;
        rows.reserve(counts_.size());
        for (const auto& [text, units] : counts_) rows.push_back({text, units});
        std::stable_sort(rows.begin(), rows.end(),
                         [](const NameCount& a, const NameCount& b) { return a.units > b.units; });
        return rows;
    }

private:
    std::map<std::string, std::uint64_t, std::less<>> counts_;
    std::map<std::string, std::uint64_t, std::less<>>::iterator last_ = counts_.end();
};

int monthOfLocal(LocalSeconds local) {
    std::int32_t year = 0, month = 0, day = 0;
    ATime::civilFromMjd(local / SecondsPerDay + UnixEpochMjd - (local % SecondsPerDay < 0 ? 1 : 0),
                        year, month, day);
    return monthOf(year, month);
}

// The cell of a value in [low, high] among `count` cells; the high end falls in the last.
int cellOf(double value, double low, double high, int count) {
    if (!(high > low)) return 0;
    const int cell = static_cast<int>((value - low) / (high - low) * count);
    return std::clamp(cell, 0, count - 1);
}

// The finished units' points, as they are or, when they are many, counted into grid cells
// drawn at the cells' centres.
void placeCpuMarks(const std::vector<CpuPoint>& points, AlmanacStats& stats) {
    stats.cpuPlotted = points.size();
    if (points.empty()) return;
    stats.cpuFirst = stats.cpuLast = points.front().arrival;
    for (const CpuPoint& p : points) {
        stats.cpuFirst = std::min(stats.cpuFirst, p.arrival);
        stats.cpuLast = std::max(stats.cpuLast, p.arrival);
        stats.cpuMostHours = std::max(stats.cpuMostHours, p.cpuHours);
    }
    if (points.size() <= MostPoints) {
        stats.cpuMarks.reserve(points.size());
        for (const CpuPoint& p : points) stats.cpuMarks.push_back({p.arrival, p.cpuHours, 1});
        return;
    }
    stats.cpuGrid = true;
    std::vector<std::uint64_t> cells(static_cast<std::size_t>(GridColumns) * GridRows, 0);
    const auto first = static_cast<double>(stats.cpuFirst);
    const auto last = static_cast<double>(stats.cpuLast);
    for (const CpuPoint& p : points) {
        const int column = cellOf(static_cast<double>(p.arrival), first, last, GridColumns);
        const int row = cellOf(p.cpuHours, 0.0, stats.cpuMostHours, GridRows);
        ++cells[static_cast<std::size_t>(row) * GridColumns + static_cast<std::size_t>(column)];
    }
    const double columnWidth = (last - first) / GridColumns;
    const double rowHeight = stats.cpuMostHours / GridRows;
    for (int row = 0; row < GridRows; ++row) {
        for (int column = 0; column < GridColumns; ++column) {
            const std::uint64_t units = cells[static_cast<std::size_t>(row) * GridColumns +
                                              static_cast<std::size_t>(column)];
            if (units == 0) continue;
            const double x = first + (column + 0.5) * columnWidth;
            stats.cpuMarks.push_back(
                {static_cast<LocalSeconds>(std::llround(x)), (row + 0.5) * rowHeight, units});
        }
    }
}

}  // namespace

bool usableArrival(const ATime& time, LocalSeconds& local) {
    if (!time.isSet() || time.year > LastUsableYear) return false;
    const std::int64_t days = ATime::mjd(time.year, time.month, time.day);
    const std::int64_t seconds = (days - UnixEpochMjd) * SecondsPerDay +
                                 std::int64_t{time.hour} * 3600 + std::int64_t{time.minute} * 60 +
                                 time.second + time.zoneOffset;
    if (seconds < (FirstUsableDay - UnixEpochMjd) * SecondsPerDay) return false;
    local = seconds;
    return true;
}

bool usableCpu(double cpu) { return std::isfinite(cpu) && cpu >= 0.0 && cpu <= MostUsableCpu; }

bool usableSky(double ra, double dec) {
    return std::isfinite(ra) && std::isfinite(dec) && ra >= 0.0 && ra < 24.0 && dec >= -90.0 &&
           dec <= 90.0;
}

AlmanacStats gatherStats(const WorkUnitList& store) {
    AlmanacStats stats;
    std::vector<CpuPoint> points;
    std::map<int, MonthTotals> months;
    std::vector<SkyCell> sky(static_cast<std::size_t>(SkyColumns) * SkyRows);
    BestTable spikes(store, stats.bestSpikes);
    BestTable gaussians(store, stats.bestGaussians);
    TextCounts receivers;
    TextCounts tapes;

    for (std::size_t i = 0; i < store.size(); ++i) {
        const WorkUnit& w = store[i];
        ++stats.units;
        const bool done = finished(w);
        const bool cpuKnown = usableCpu(w.cpu);
        LocalSeconds arrival = 0;
        const bool arrived = usableArrival(w.TimeStamp, arrival);
        if (cpuKnown) stats.cpuSeconds += w.cpu;
        if (arrived) {
            if (stats.withArrival == 0 || arrival < stats.firstArrival)
                stats.firstArrival = arrival;
            if (stats.withArrival == 0 || arrival > stats.lastArrival) stats.lastArrival = arrival;
            ++stats.withArrival;
        }
        if (done) {
            ++stats.finished;
            if (cpuKnown) {
                stats.finishedCpuSeconds += w.cpu;
                ++stats.finishedWithCpu;
            }
            if (!arrived) {
                ++stats.monthsLeftOut;
                ++stats.cpuLeftOut;
            } else {
                MonthTotals& month = months[monthOfLocal(arrival)];
                ++month.finished;
                if (cpuKnown) {
                    month.cpuHours += w.cpu / 3600.0;
                    points.push_back({arrival, w.cpu / 3600.0});
                } else {
                    ++stats.cpuHoursLeftOut;
                    ++stats.cpuLeftOut;
                }
            }
        }
        if (usableSky(w.start_ra, w.start_dec)) {
            ++stats.skyUnits;
            const int column = cellOf(w.start_ra, 0.0, 24.0, SkyColumns);
            const int row = cellOf(w.start_dec, -90.0, 90.0, SkyRows);
            SkyCell& cell =
                sky[static_cast<std::size_t>(row) * SkyColumns + static_cast<std::size_t>(column)];
            ++cell.units;
            if (w.hasGaussian() && std::isfinite(w.bg_score) && std::fabs(w.bg_score) < 1e12) {
                cell.meanScore += w.bg_score;
                ++cell.scored;
            }
        } else {
            ++stats.skyLeftOut;
        }
        if (w.bs_power > 0.0) spikes.offer(i, w.bs_power);
        if (w.hasGaussian()) gaussians.offer(i, w.bg_score);
        receivers.add(w.receiver);
        tapes.add(w.tape_version);
    }

    if (!months.empty()) {
        stats.firstMonth = months.begin()->first;
        stats.months.resize(
            static_cast<std::size_t>(months.rbegin()->first - stats.firstMonth + 1));
        for (const auto& [month, totals] : months)
            stats.months[static_cast<std::size_t>(month - stats.firstMonth)] = totals;
    }
    placeCpuMarks(points, stats);
    for (int row = 0; row < SkyRows; ++row) {
        for (int column = 0; column < SkyColumns; ++column) {
            SkyCell cell =
                sky[static_cast<std::size_t>(row) * SkyColumns + static_cast<std::size_t>(column)];
            if (cell.units == 0) continue;
            cell.column = column;
            cell.row = row;
            if (cell.scored > 0) {
                cell.meanScore /= static_cast<double>(cell.scored);
                stats.skyBestScore = std::max(stats.skyBestScore, cell.meanScore);
            }
            stats.skyCells.push_back(cell);
        }
    }
    stats.receivers = receivers.sorted();
    stats.tapes = tapes.sorted();
    return stats;
}

}  // namespace almanac
