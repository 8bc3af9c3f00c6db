// The almanac page: the document, its sections and tables, the charts from AlmanacCharts.
#include "present/AlmanacPage.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/platform.h"
#include "present/AlmanacCharts.h"
#include "present/AlmanacStats.h"
#include "present/HtmlText.h"
#include "present/PageSink.h"
#include "text/Numbers.h"

using namespace almanac;

namespace {

constexpr std::string_view Eol = "\r\n";
// Rows of the receiver and tape tables; the rest is summed up in one line.
constexpr std::size_t MostNameRows = 50;

constexpr std::string_view Style =
    "body{font-family:system-ui,-apple-system,\"Segoe UI\",sans-serif;color:#1b1b1b;"
    "background:#fff;line-height:1.45;max-width:60rem;margin:0 auto;padding:0 1rem 2rem}\r\n"
    "h1{font-size:1.7rem;margin:1rem 0 .2rem}h2{font-size:1.25rem;border-bottom:1px solid "
    "#ccc;margin-top:2rem}h3{font-size:1rem;margin:1rem 0 .3rem}\r\n"
    "table{border-collapse:collapse;font-size:.9rem}th,td{padding:.2rem .5rem;"
    "border-bottom:1px solid #e2e2e2;text-align:left;vertical-align:top}td.n{text-align:right;"
    "font-variant-numeric:tabular-nums}thead th{border-bottom:2px solid #999}\r\n"
    ".wide{overflow-x:auto;margin-bottom:1rem}.note{color:#555;font-size:.9rem}\r\n"
    "svg.chart{display:block;width:100%;height:auto;max-width:48rem}\r\n"
    ".chart text{font-size:11px;fill:#333}.axis{stroke:#555;stroke-width:1}"
    ".grid{stroke:#e2e2e2;stroke-width:1}.bar{fill:#3a6ea5}circle.mark{fill:#c0392b;"
    "fill-opacity:.6}.sky{fill:#f4f4f4;stroke:#999}\r\n";

constexpr std::string_view PrintStyle =
    "@media print{body{max-width:none;padding:0;font-size:10pt}svg.chart{max-width:100%}"
    "section{break-inside:avoid}h2{break-after:avoid}a{color:inherit;text-decoration:none}"
    ".wide{overflow:visible}}\r\n"
    "@page{margin:12mm}\r\n";

void line(std::string& out, std::string_view text) {
    out += text;
    out += Eol;
}

void appendCount(std::string& out, std::uint64_t n) {
    appendInt(out, static_cast<std::int64_t>(n));
}

// "n unit" or "n units".
void appendUnits(std::string& out, std::uint64_t n) {
    appendCount(out, n);
    out += n == 1 ? " unit" : " units";
}

// A number of a record for a table cell: fixed with three decimals, huge ones in %g
// notation, and a dash where there is none.
void appendValue(std::string& out, double value) {
    if (!std::isfinite(value))
        out += "&ndash;";
    else if (std::fabs(value) >= 1e12)
        appendGeneral(out, value);
    else
        appendFixed(out, value, 3);
}

// "h hr m min s sec", the seconds rounded.
void appendDuration(std::string& out, double seconds) {
    const auto whole = static_cast<std::int64_t>(std::llround(seconds));
    appendInt(out, whole / 3600);
    out += " hr ";
    appendInt(out, whole / 60 % 60);
    out += " min ";
    appendInt(out, whole % 60);
    out += " sec";
}

// Years of 365 days, days and hours (one decimal).
void appendLongDuration(std::string& out, double seconds) {
    double hours = seconds / 3600;
    const double years = std::floor(hours / (365 * 24));
    hours -= years * 365 * 24;
    const double days = std::floor(hours / 24);
    hours -= days * 24;
    appendFixed(out, years, 0);
    out += years == 1 ? " year " : " years ";
    appendFixed(out, days, 0);
    out += days == 1 ? " day " : " days ";
    appendFixed(out, hours, 1);
    out += " hours";
}

void appendArrival(std::string& out, const ATime& time) {
    LocalSeconds local = 0;
    if (time.isSet() && usableArrival(time, local)) {
        appendLocalDateTime(out, local);
        return;
    }
    if (!time.isSet()) {
        out += "unset";
        return;
    }
    // A set date the charts do not take (before 1999) still prints as what it is.
    const std::int64_t days = ATime::mjd(time.year, time.month, time.day) - 40587;
    appendLocalDateTime(out, days * 86400 + std::int64_t{time.hour} * 3600 + time.minute * 60 +
                                 time.second + time.zoneOffset);
}

void appendZone(std::string& out) {
    const int offset = platform::zoneOffsetSeconds();
    out += "UTC";
    out += offset < 0 ? '-' : '+';
    appendPadded(out, std::abs(offset) / 3600, 2);
    out += ':';
    appendPadded(out, std::abs(offset) / 60 % 60, 2);
}

void appendFact(std::string& out, std::string_view label, const std::string& value) {
    out += "<tr><th>";
    out += label;
    out += "</th><td>";
    out += value;
    out += "</td></tr>";
    out += Eol;
}

void appendSummary(std::string& out, const AlmanacStats& s, const AlmanacInput& input) {
    line(out, "<section id=\"summary\">");
    line(out, "<h2>Summary</h2>");
    line(out, "<table class=\"facts\"><tbody>");
    std::string v;
    appendUnits(v, s.units);
    v += ": ";
    appendCount(v, s.finished);
    v += " finished, ";
    appendCount(v, s.units - s.finished);
    v += " in progress";
    appendFact(out, "Work units", v);
    v.clear();
    appendLongDuration(v, s.cpuSeconds);
    appendFact(out, "Total CPU time", v);
    v.clear();
    if (s.finishedWithCpu > 0)
        appendDuration(v, s.finishedCpuSeconds / static_cast<double>(s.finishedWithCpu));
    else
        v = "&ndash;";
    appendFact(out, "Mean CPU time of a finished unit", v);
    v.clear();
    if (s.withArrival > 0)
        appendLocalDateTime(v, s.firstArrival);
    else
        v = "&ndash;";
    appendFact(out, "First arrival", v);
    v.clear();
    if (s.withArrival > 0)
        appendLocalDateTime(v, s.lastArrival);
    else
        v = "&ndash;";
    appendFact(out, "Last arrival", v);
    v.clear();
    if (s.withArrival > 0) {
        const double days =
            std::max(1.0, static_cast<double>(s.lastArrival - s.firstArrival) / 86400.0);
        appendFixed(v, static_cast<double>(s.withArrival) / days, 2);
    } else {
        v = "&ndash;";
    }
    appendFact(out, "Units per day", v);
    v.clear();
    appendInt(v, input.sourcesRead);
    v += input.sourcesRead == 1 ? " file" : " files";
    appendFact(out, "Sources read", v);
    v.clear();
    appendUnits(v, s.units - s.withArrival);
    appendFact(out, "Without a usable arrival date", v);
    line(out, "</tbody></table>");
    line(out, "</section>");
}

// The paragraph that says what a section's charts leave out; none when nothing is.
void appendLeftOut(std::string& out, const std::string& text) {
    if (text.empty()) return;
    out += "<p id=\"left-out\" class=\"note\">Left out: ";
    out += text;
    out += ".</p>";
    out += Eol;
}

// "n units without ..." appended to a list of reasons.
void appendReason(std::string& text, std::uint64_t n, std::string_view why) {
    if (n == 0) return;
    if (!text.empty()) text += "; ";
    appendUnits(text, n);
    text += ' ';
    text += why;
}

void appendMonths(std::string& out, const AlmanacStats& s) {
    line(out, "<section id=\"months\">");
    line(out, "<h2>Per month</h2>");
    line(out, "<h3>Finished units</h3>");
    appendMonthChart(out, s, MonthValue::Finished);
    line(out, "<h3>CPU hours of the finished units</h3>");
    appendMonthChart(out, s, MonthValue::CpuHours);
    std::string why;
    appendReason(why, s.monthsLeftOut, "finished without a usable arrival date (both charts)");
    appendReason(why, s.cpuHoursLeftOut, "without a usable CPU time (CPU hours)");
    appendLeftOut(out, why);
    line(out, "</section>");
}

void appendCpuTime(std::string& out, const AlmanacStats& s) {
    line(out, "<section id=\"cpu-time\">");
    line(out, "<h2>CPU time against arrival</h2>");
    std::string text = "<p class=\"note\">";
    if (s.cpuGrid) {
        text += "The ";
        appendUnits(text, s.cpuPlotted);
        text +=
            " are counted in a grid; each circle stands for the units of its cell, its area "
            "for how many.</p>";
    } else {
        text += "Each point is a finished unit: ";
        appendUnits(text, s.cpuPlotted);
        text += ".</p>";
    }
    line(out, text);
    appendCpuChart(out, s);
    std::string why;
    appendReason(why, s.cpuLeftOut, "finished without a usable arrival date or CPU time");
    appendLeftOut(out, why);
    line(out, "</section>");
}

void appendSky(std::string& out, const AlmanacStats& s) {
    line(out, "<section id=\"sky\">");
    line(out, "<h2>Sky map</h2>");
    std::string text = "<p id=\"sky-count\">";
    appendUnits(text, s.skyUnits);
    text += "</p>";
    line(out, text);
    line(out,
         "<p class=\"note\">Start positions in cells of a quarter hour of right ascension by "
         "three degrees of declination, coloured by the mean best-gaussian score of the "
         "cell's units that have one.</p>");
    appendSkyMap(out, s);
    std::string why;
    appendReason(why, s.skyLeftOut, "without a usable start position");
    appendLeftOut(out, why);
    line(out, "</section>");
}

void appendBestTable(std::string& out, const WorkUnitList& store, const AlmanacInput& input,
                     std::string_view id, std::string_view valueTitle,
                     const std::vector<Best>& rows) {
    out += "<div class=\"wide\"><table id=\"";
    out += id;
    out += "\">";
    out += Eol;
    out +=
        "<thead><tr><th>#</th><th>Work unit</th><th>Arrival</th><th>RA (h)</th>"
        "<th>Dec (&deg;)</th><th>";
    out += valueTitle;
    out += "</th></tr></thead>";
    out += Eol;
    line(out, "<tbody>");
    int rank = 0;
    for (const Best& row : rows) {
        const WorkUnit& w = store[row.record];
        out += "<tr><td class=\"n\">";
        appendInt(out, ++rank);
        out += "</td><td>";
        const bool link = input.hasResultPage && input.hasResultPage(w.name);
        if (link) {
            out += "<a href=\"";
            appendUrlName(out, w.name);
            out += ".html\">";
        }
        appendHtmlText(out, w.name);
        if (link) out += "</a>";
        out += "</td><td>";
        appendArrival(out, w.TimeStamp);
        out += "</td><td class=\"n\">";
        appendValue(out, w.start_ra);
        out += "</td><td class=\"n\">";
        appendValue(out, w.start_dec);
        out += "</td><td class=\"n\">";
        appendValue(out, row.value);
        out += "</td></tr>";
        out += Eol;
    }
    line(out, "</tbody></table></div>");
}

void appendBest(std::string& out, const WorkUnitList& store, const AlmanacStats& s,
                const AlmanacInput& input) {
    line(out, "<section id=\"best\">");
    line(out, "<h2>Best signals</h2>");
    line(out, "<h3>The strongest spikes</h3>");
    appendBestTable(out, store, input, "best-spikes", "Power", s.bestSpikes);
    line(out, "<h3>The best gaussians</h3>");
    appendBestTable(out, store, input, "best-gaussians", "Score", s.bestGaussians);
    line(out, "</section>");
}

void appendNameTable(std::string& out, std::string_view id, std::string_view title,
                     const std::vector<NameCount>& rows) {
    out += "<div class=\"wide\"><table id=\"";
    out += id;
    out += "\">";
    out += Eol;
    out += "<thead><tr><th>";
    out += title;
    out += "</th><th>Units</th></tr></thead>";
    out += Eol;
    line(out, "<tbody>");
    std::uint64_t others = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i >= MostNameRows) {
            others += rows[i].units;
            continue;
        }
        out += "<tr><td>";
        if (rows[i].name.empty())
            out += "(none)";
        else
            appendHtmlText(out, rows[i].name);
        out += "</td><td class=\"n\">";
        appendCount(out, rows[i].units);
        out += "</td></tr>";
        out += Eol;
    }
    line(out, "</tbody>");
    if (rows.size() > MostNameRows) {
        out += "<tfoot><tr><td>";
        appendCount(out, rows.size() - MostNameRows);
        out += " others</td><td class=\"n\">";
        appendCount(out, others);
        out += "</td></tr></tfoot>";
        out += Eol;
    }
    line(out, "</table></div>");
}

void appendReceivers(std::string& out, const AlmanacStats& s) {
    line(out, "<section id=\"receivers\">");
    line(out, "<h2>Receivers and tapes</h2>");
    appendNameTable(out, "receiver-counts", "Receiver", s.receivers);
    appendNameTable(out, "tape-counts", "Tape version", s.tapes);
    line(out, "</section>");
}

std::string pageOf(const WorkUnitList& store, const AlmanacInput& input) {
    const AlmanacStats stats = gatherStats(store);
    std::string out;
    line(out, "<!DOCTYPE html>");
    line(out, "<html lang=\"en\">");
    line(out, "<head>");
    line(out, "<meta charset=\"utf-8\">");
    line(out, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    out += "<title>Almanac of ";
    appendUnits(out, stats.units);
    out += "</title>";
    out += Eol;
    line(out, "<style>");
    out += Style;
    appendSkyStyle(out);
    out += Eol;
    out += PrintStyle;
    line(out, "</style>");
    line(out, "</head>");
    line(out, "<body>");
    line(out, "<h1>Almanac</h1>");
    out += "<p class=\"note\">The whole history of ";
    appendUnits(out, stats.units);
    out += ". Dates are local time, ";
    appendZone(out);
    out += ".</p>";
    out += Eol;
    appendSummary(out, stats, input);
    appendMonths(out, stats);
    appendCpuTime(out, stats);
    appendSky(out, stats);
    appendBest(out, store, stats, input);
    appendReceivers(out, stats);
    line(out, "</body>");
    line(out, "</html>");
    return out;
}

}  // namespace

bool writeAlmanacPage(const WorkUnitList& store, const AlmanacInput& input,
                      const std::string& path) {
    platform::ReplacingFile file;
    if (!file.open(path)) return false;
    PageSink sink(file);
    return sink.write(pageOf(store, input)) && sink.flush() && file.commit();
}

std::string almanacPageBytes(const WorkUnitList& store, const AlmanacInput& input) {
    return pageOf(store, input);
}
