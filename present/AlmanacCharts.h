// The almanac page's charts as inline SVG: bars per month, the CPU time of each finished unit
// against its arrival, and the sky map. Each mark (bar, point, cell) carries class="mark" and
// the svg element counts them in data-marks.
#pragma once

#include <string>

#include "present/AlmanacStats.h"

namespace almanac {

// Local date-time texts as the result page prints them, "yyyy/mm/dd hh:mm:ss".
void appendLocalDateTime(std::string& out, LocalSeconds local);
// A month "yyyy-mm" of the months counted from January 1999.
void appendMonth(std::string& out, int month);

// Which of the two month charts.
enum class MonthValue { Finished, CpuHours };
void appendMonthChart(std::string& out, const AlmanacStats& stats, MonthValue value);
void appendCpuChart(std::string& out, const AlmanacStats& stats);
void appendSkyMap(std::string& out, const AlmanacStats& stats);
// The style rules of the sky map's colour steps, for the page's style sheet.
void appendSkyStyle(std::string& out);

}  // namespace almanac
