// The almanac's SVG charts. Coordinates are printed with one decimal, which keeps a chart of
// thousands of marks small and is finer than any screen draws it.
#include "present/AlmanacCharts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "record/ATime.h"
#include "text/Numbers.h"

namespace almanac {

namespace {

constexpr std::string_view Eol = "\r\n";
constexpr std::int64_t SecondsPerDay = 86400;
constexpr std::int64_t UnixEpochMjd = 40587;

// The frame shared by the month and CPU-time charts, in SVG units.
struct Frame {
    double width = 720;
    double height = 260;
    double left = 60;
    double right = 12;
    double top = 14;
    double bottom = 46;
    double plotWidth() const { return width - left - right; }
    double plotHeight() const { return height - top - bottom; }
    double base() const { return height - bottom; }
};

void appendCoordinate(std::string& out, double value) { appendFixed(out, value, 1); }

// An attribute ` name="value"` with a coordinate value.
void appendAttribute(std::string& out, std::string_view name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    appendCoordinate(out, value);
    out += '"';
}

void appendLine(std::string& out, std::string_view cls, double x1, double y1, double x2,
                double y2) {
    out += "<line class=\"";
    out += cls;
    out += '"';
    appendAttribute(out, "x1", x1);
    appendAttribute(out, "y1", y1);
    appendAttribute(out, "x2", x2);
    appendAttribute(out, "y2", y2);
    out += "/>";
    out += Eol;
}

void appendText(std::string& out, double x, double y, std::string_view anchor,
                std::string_view text, std::string_view extra = {}) {
    out += "<text";
    appendAttribute(out, "x", x);
    appendAttribute(out, "y", y);
    out += " text-anchor=\"";
    out += anchor;
    out += '"';
    out += extra;
    out += '>';
    out += text;
    out += "</text>";
    out += Eol;
}

void appendSvgStart(std::string& out, std::string_view id, std::size_t marks, double width,
                    double height, std::string_view title) {
    out += "<svg class=\"chart\" id=\"";
    out += id;
    out += "\" data-marks=\"";
    appendInt(out, static_cast<std::int64_t>(marks));
    out += "\" viewBox=\"0 0 ";
    appendCoordinate(out, width);
    out += ' ';
    appendCoordinate(out, height);
    out += "\" role=\"img\" aria-label=\"";
    out += title;
    out += "\">";
    out += Eol;
    out += "<title>";
    out += title;
    out += "</title>";
    out += Eol;
}

// A step of 1, 2 or 5 times a power of ten that divides 0 to `most` into about four parts.
double niceStep(double most) {
    if (!(most > 0) || !std::isfinite(most)) return 1;
    const double raw = most / 4;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double factor = norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10;
    return factor * magnitude;
}

// The decimals a tick label of this step needs.
int decimalsFor(double step) {
    return step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

// The value axis: ticks from 0 up to the top of the scale, with grid lines and labels, and the
// axis title turned along it. Returns the top of the scale.
double appendValueAxis(std::string& out, const Frame& f, double most, bool whole,
                       std::string_view title) {
    double step = niceStep(most);
    if (whole) step = std::max(1.0, std::round(step));
    const double top = std::max(step, std::ceil(most / step - 1e-9) * step);
    const int decimals = decimalsFor(step);
    const int ticks = static_cast<int>(std::llround(top / step));
    for (int i = 0; i <= ticks; ++i) {
        const double value = i * step;
        const double y = f.base() - value / top * f.plotHeight();
        if (i > 0) appendLine(out, "grid", f.left, y, f.left + f.plotWidth(), y);
        std::string label;
        appendFixed(label, value, decimals);
        appendText(out, f.left - 4, y + 4, "end", label);
    }
    appendLine(out, "axis", f.left, f.top, f.left, f.base());
    appendLine(out, "axis", f.left, f.base(), f.left + f.plotWidth(), f.base());
    std::string turn = " transform=\"rotate(-90 14 ";
    appendCoordinate(turn, f.top + f.plotHeight() / 2);
    turn += ")\"";
    appendText(out, 14, f.top + f.plotHeight() / 2, "middle", title, turn);
    return top;
}

void civilOf(LocalSeconds local, std::int32_t& year, std::int32_t& month, std::int32_t& day,
             std::int64_t& secondOfDay) {
    std::int64_t days = local / SecondsPerDay;
    secondOfDay = local % SecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += SecondsPerDay;
        --days;
    }
    ATime::civilFromMjd(days + UnixEpochMjd, year, month, day);
}

LocalSeconds startOfMonth(int year, int month) {
    return (ATime::mjd(year, month, 1) - UnixEpochMjd) * SecondsPerDay;
}

// The time axis of the CPU-time chart: a tick at each year's start inside [low, high], or at
// month starts when the span holds no more than two years' starts; at most about eight labels.
void appendTimeAxis(std::string& out, const Frame& f, LocalSeconds low, LocalSeconds high) {
    std::int32_t firstYear = 0, firstMonth = 0, day = 0, lastYear = 0, lastMonth = 0;
    std::int64_t second = 0;
    civilOf(low, firstYear, firstMonth, day, second);
    civilOf(high, lastYear, lastMonth, day, second);
    const auto x = [&](LocalSeconds t) {
        return f.left +
               static_cast<double>(t - low) / static_cast<double>(high - low) * f.plotWidth();
    };
    const int months = (lastYear - firstYear) * 12 + (lastMonth - firstMonth) + 1;
    const bool byYear = lastYear - firstYear >= 2;
    const int count = byYear ? lastYear - firstYear + 1 : months;
    const int every = std::max(1, (count + 7) / 8);
    for (int i = 0, shown = 0; i <= count; ++i) {
        const int year = byYear ? firstYear + i : firstYear + (firstMonth - 1 + i) / 12;
        const int month = byYear ? 1 : (firstMonth - 1 + i) % 12 + 1;
        const LocalSeconds t = startOfMonth(year, month);
        if (t < low || t > high) continue;
        appendLine(out, "axis", x(t), f.base(), x(t), f.base() + 4);
        if (shown++ % every != 0) continue;
        std::string label;
        appendInt(label, year);
        if (!byYear) {
            label += '-';
            appendPadded(label, month, 2);
        }
        appendText(out, x(t), f.base() + 16, "middle", label);
    }
}

}  // namespace

void appendLocalDateTime(std::string& out, LocalSeconds local) {
    std::int32_t year = 0, month = 0, day = 0;
    std::int64_t second = 0;
    civilOf(local, year, month, day, second);
    appendInt(out, year);
    out += '/';
    appendPadded(out, month, 2);
    out += '/';
    appendPadded(out, day, 2);
    out += ' ';
    appendPadded(out, second / 3600, 2);
    out += ':';
    appendPadded(out, second / 60 % 60, 2);
    out += ':';
    appendPadded(out, second % 60, 2);
}

void appendMonth(std::string& out, int month) {
    appendInt(out, 1999 + month / 12);
    out += '-';
    appendPadded(out, month % 12 + 1, 2);
}

void appendMonthChart(std::string& out, const AlmanacStats& stats, MonthValue value) {
    const bool finished = value == MonthValue::Finished;
    const Frame f;
    const std::size_t count = stats.months.size();
    appendSvgStart(out, finished ? "finished-per-month" : "cpu-hours-per-month", count, f.width,
                   f.height, finished ? "Finished units per month" : "CPU hours per month");
    const auto valueOf = [finished](const MonthTotals& m) {
        return finished ? static_cast<double>(m.finished) : m.cpuHours;
    };
    double most = 0;
    for (const MonthTotals& m : stats.months) most = std::max(most, valueOf(m));
    const double top =
        appendValueAxis(out, f, most, finished, finished ? "finished units" : "CPU hours");
    const double slot = count == 0 ? 0 : f.plotWidth() / static_cast<double>(count);
    const int every = std::max(1, static_cast<int>((count + 7) / 8));
    for (std::size_t i = 0; i < count; ++i) {
        const int month = stats.firstMonth + static_cast<int>(i);
        const double v = valueOf(stats.months[i]);
        const double height = v / top * f.plotHeight();
        const double x = f.left + slot * static_cast<double>(i);
        std::string name;
        appendMonth(name, month);
        std::string shown;
        if (finished)
            appendInt(shown, static_cast<std::int64_t>(stats.months[i].finished));
        else
            appendFixed(shown, v, 1);
        out += "<rect class=\"mark bar\" data-month=\"";
        out += name;
        out += "\" data-value=\"";
        out += shown;
        out += '"';
        appendAttribute(out, "x", x + slot * 0.1);
        appendAttribute(out, "y", f.base() - height);
        appendAttribute(out, "width", std::max(0.1, slot * 0.8));
        appendAttribute(out, "height", height);
        out += "><title>";
        out += name;
        out += ": ";
        out += shown;
        out += "</title></rect>";
        out += Eol;
        if (i % static_cast<std::size_t>(every) == 0)
            appendText(out, x + slot / 2, f.base() + 16, "middle", name);
    }
    appendText(out, f.left + f.plotWidth() / 2, f.height - 8, "middle", "month of arrival");
    out += "</svg>";
    out += Eol;
}

void appendCpuChart(std::string& out, const AlmanacStats& stats) {
    Frame f;
    f.height = 300;
    appendSvgStart(out, "cpu-vs-arrival", stats.cpuMarks.size(), f.width, f.height,
                   "CPU time of each finished unit against its arrival");
    const double top = appendValueAxis(out, f, stats.cpuMostHours, false, "CPU hours");
    // A day either side, so the first and last points do not sit on the frame.
    const LocalSeconds low = stats.cpuFirst - SecondsPerDay;
    const LocalSeconds high = stats.cpuLast + SecondsPerDay;
    if (!stats.cpuMarks.empty()) appendTimeAxis(out, f, low, high);
    std::uint64_t mostUnits = 1;
    for (const CpuMark& m : stats.cpuMarks) mostUnits = std::max(mostUnits, m.units);
    for (const CpuMark& m : stats.cpuMarks) {
        const double x = f.left + static_cast<double>(m.arrival - low) /
                                      static_cast<double>(high - low) * f.plotWidth();
        const double y = f.base() - m.cpuHours / top * f.plotHeight();
        // A cell's circle grows with the square root of its units, so its area tells them.
        const double r = stats.cpuGrid ? 1.5 + 2.5 * std::sqrt(static_cast<double>(m.units) /
                                                               static_cast<double>(mostUnits))
                                       : 3.0;
        out += "<circle class=\"mark\" data-units=\"";
        appendInt(out, static_cast<std::int64_t>(m.units));
        out += '"';
        appendAttribute(out, "cx", x);
        appendAttribute(out, "cy", y);
        appendAttribute(out, "r", r);
        out += "/>";
        out += Eol;
    }
    appendText(out, f.left + f.plotWidth() / 2, f.height - 8, "middle", "arrival");
    out += "</svg>";
    out += Eol;
}

namespace {

// The sky map's colour steps, dark blue for the lowest scores to yellow for the highest.
constexpr int ScoreSteps = 6;
constexpr std::string_view StepColours[ScoreSteps] = {"#440154", "#414487", "#2a788e",
                                                      "#22a884", "#7ad151", "#fde725"};

int stepOf(const SkyCell& cell, double best) {
    if (!(best > 0) || cell.meanScore <= 0) return 0;
    const int step = static_cast<int>(cell.meanScore / best * ScoreSteps);
    return std::clamp(step, 0, ScoreSteps - 1);
}

}  // namespace

void appendSkyStyle(std::string& out) {
    for (int i = 0; i < ScoreSteps; ++i) {
        out += ".s";
        appendInt(out, i);
        out += "{fill:";
        out += StepColours[i];
        out += '}';
    }
    out += ".sn{fill:#b8b8b8}";
}

void appendSkyMap(std::string& out, const AlmanacStats& stats) {
    constexpr double Left = 44, Top = 10, CellWidth = 7, CellHeight = 6;
    constexpr double PlotWidth = SkyColumns * CellWidth, PlotHeight = SkyRows * CellHeight;
    constexpr double Width = Left + PlotWidth + 12, Height = Top + PlotHeight + 80;
    appendSvgStart(out, "sky-map", stats.skyCells.size(), Width, Height,
                   "Sky map of the units' start positions, coloured by best gaussian score");
    out += "<rect class=\"sky\"";
    appendAttribute(out, "x", Left);
    appendAttribute(out, "y", Top);
    appendAttribute(out, "width", PlotWidth);
    appendAttribute(out, "height", PlotHeight);
    out += "/>";
    out += Eol;
    for (const SkyCell& cell : stats.skyCells) {
        out += "<rect class=\"mark ";
        if (cell.scored > 0) {
            out += 's';
            appendInt(out, stepOf(cell, stats.skyBestScore));
        } else {
            out += "sn";
        }
        out += "\" data-units=\"";
        appendInt(out, static_cast<std::int64_t>(cell.units));
        out += '"';
        // Right ascension runs from 24 h on the left to 0 h on the right, as on the sky.
        appendAttribute(out, "x", Left + (SkyColumns - 1 - cell.column) * CellWidth);
        appendAttribute(out, "y", Top + (SkyRows - 1 - cell.row) * CellHeight);
        appendAttribute(out, "width", CellWidth);
        appendAttribute(out, "height", CellHeight);
        out += "/>";
        out += Eol;
    }
    for (int hours = 24; hours >= 0; hours -= 2) {
        const double x = Left + (24 - hours) / 24.0 * PlotWidth;
        appendLine(out, "axis", x, Top + PlotHeight, x, Top + PlotHeight + 4);
        std::string label;
        appendInt(label, hours);
        label += 'h';
        appendText(out, x, Top + PlotHeight + 16, "middle", label);
    }
    for (int degrees = -90; degrees <= 90; degrees += 30) {
        const double y = Top + (90 - degrees) / 180.0 * PlotHeight;
        appendLine(out, "axis", Left - 4, y, Left, y);
        std::string label;
        if (degrees > 0) label += '+';
        appendInt(label, degrees);
        appendText(out, Left - 6, y + 4, "end", label);
    }
    appendText(out, Left + PlotWidth / 2, Top + PlotHeight + 30, "middle", "right ascension");
    std::string turn = " transform=\"rotate(-90 12 ";
    appendCoordinate(turn, Top + PlotHeight / 2);
    turn += ")\"";
    appendText(out, 12, Top + PlotHeight / 2, "middle", "declination", turn);
    // The legend: each colour step with the scores it stands for, and the cells of units
    // without a gaussian.
    const double legendY = Top + PlotHeight + 44;
    const double step = stats.skyBestScore > 0 ? stats.skyBestScore / ScoreSteps : 0;
    for (int i = 0; i <= ScoreSteps; ++i) {
        const double x = Left + i * 92;
        out += "<rect class=\"";
        if (i < ScoreSteps) {
            out += 's';
            appendInt(out, i);
        } else {
            out += "sn";
        }
        out += '"';
        appendAttribute(out, "x", x);
        appendAttribute(out, "y", legendY);
        appendAttribute(out, "width", 12);
        appendAttribute(out, "height", 12);
        out += "/>";
        out += Eol;
        std::string label;
        if (i < ScoreSteps) {
            appendFixed(label, i * step, 2);
            label += "&ndash;";
            appendFixed(label, (i + 1) * step, 2);
        } else {
            label = "no gaussian";
        }
        appendText(out, x + 16, legendY + 10, "start", label);
    }
    appendText(out, Left, legendY + 30, "start",
               "colour: the mean best-gaussian score of a cell's units that have one");
    out += "</svg>";
    out += Eol;
}

}  // namespace almanac
