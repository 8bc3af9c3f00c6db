// The HTML page of result details: a fixed HTML 3.2 document with the work unit's header
// data, one row per spike and per gaussian, and a bar chart of each gaussian's power curve.
#include "present/ResultPage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

#include "clientfiles/ResFile.h"
#include "platform/platform.h"
#include "present/PageSink.h"
#include "record/DateText.h"
#include "store/Batches.h"
#include "text/Numbers.h"

namespace {

// Every text that comes from the result file goes through this, so a crafted work-unit name
// cannot put markup or script into the page. A line feed gets its carriage return, as every
// line end of the page does.
void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '\n': out += "\r\n"; break;
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
}

// A whole number held in a double (already truncated), printed as an integer. Values past the
// int64 range print their full decimal digits instead of being cast (1e300 in a field must
// not be undefined behaviour); non-finite values cannot come from the readers and print as 0.
void appendWhole(std::string& out, double whole) {
    if (!std::isfinite(whole)) whole = 0.0;
    if (std::fabs(whole) < 9.0e18) {
        appendInt(out, static_cast<std::int64_t>(whole));
    } else {
        appendFixed(out, whole, 0);
    }
}

// Minutes and seconds of a fraction of a unit (|fraction| < 1), both truncated toward zero,
// each printed with at least two digits.
void appendMinutesSeconds(std::string& out, double fraction) {
    if (!std::isfinite(fraction)) fraction = 0.0;
    const double minutes = std::trunc(fraction * 60.0);
    const double seconds = std::trunc((fraction * 60.0 - minutes) * 60.0);
    out += ':';
    appendPadded(out, static_cast<std::int64_t>(minutes), 2);
    out += ':';
    appendPadded(out, static_cast<std::int64_t>(seconds), 2);
}

// Right ascension as hours:minutes:seconds, each part truncated toward zero.
void appendRightAscension(std::string& out, double value) {
    const double hours = std::isfinite(value) ? std::trunc(value) : 0.0;
    appendWhole(out, hours);
    appendMinutesSeconds(out, std::isfinite(value) ? value - hours : 0.0);
}

// Declination with its sign always shown, so -0.5 prints as -0:30:00.
void appendDeclination(std::string& out, double value) {
    out += value < 0 ? '-' : '+';
    const double magnitude = std::isfinite(value) ? std::fabs(value) : 0.0;
    const double degrees = std::trunc(magnitude);
    appendWhole(out, degrees);
    appendMinutesSeconds(out, magnitude - degrees);
}

// "h hr m min s" with the seconds in %g notation.
void appendCpuTime(std::string& out, double cpu) {
    if (!std::isfinite(cpu)) cpu = 0.0;
    const double hours = std::trunc(cpu / 3600.0);
    const double rest = cpu - hours * 3600.0;
    const double minutes = std::trunc(rest / 60.0);
    const double seconds = rest - minutes * 60.0;
    appendWhole(out, hours);
    out += " hr ";
    appendWhole(out, minutes);
    out += " min ";
    appendGeneral(out, std::isfinite(seconds) ? seconds : 0.0);
}

// The rows of the head table after the name and CPU time: a label, and its value's text.
struct HeadRow {
    std::string_view label;
    void (*value)(std::string& page, const WorkUnit& w);
};

constexpr HeadRow HeadRows[] = {
    {"Result Received:",
     [](std::string& page, const WorkUnit& w) { appendDateTime(page, w.TimeStamp); }},
    {"Location of Workunit:",
     [](std::string& page, const WorkUnit& w) {
         page += "RA: ";
         appendRightAscension(page, w.start_ra);
         page += "  Dec: ";
         appendDeclination(page, w.start_dec);
     }},
    {"Time Recorded:",
     [](std::string& page, const WorkUnit& w) { appendDateTime(page, w.time_recorded); }},
    {"Subband Number:",
     [](std::string& page, const WorkUnit& w) { appendInt(page, w.subband_number); }},
};

void appendHead(PageSink& sink, const WorkUnit& w) {
    std::string& page = sink.block();
    page +=
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n"
        "<HTML>\r\n"
        "<HEAD>\r\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html\">\r\n"
        "<META NAME=\"GENERATOR\" CONTENT=\"Lumivane\">\r\n"
        "<TITLE>Result Details for ";
    appendEscaped(page, w.name);
    page +=
        "</title>\r\n"
        "</head>\r\n"
        "<BODY BGCOLOR=\"#000000\" TEXT=\"#FFFFFF\" LINK=\"#cc99ff\" ALINK=\"#cc99ff\" "
        "VLINK=\"#cc99ff\">\r\n"
        "<A HREF=\"https://setiathome.berkeley.edu/\">[SETI@home]</A>\r\n"
        "<HR>\r\n"
        "<H1>Result Details for ";
    appendEscaped(page, w.name);
    page +=
        "</H1>\r\n"
        "<TABLE ALIGN=center BORDER=0 BGCOLOR=\"#303030\" CELLPADDING=2 CELLSPACING=1>\r\n"
        "<TR BGCOLOR=\"#303080\"><TH COLSPAN=4 ALIGN=right>Workunit Name:</TH>"
        "<TH COLSPAN=4 ALIGN=left>";
    appendEscaped(page, w.name);
    page += "</TH></TR>\r\n";

    page += "<TR><TD COLSPAN=4 ALIGN=right>CPU Time:</TD><TD COLSPAN=4>";
    appendCpuTime(page, w.cpu);
    page += " sec</TD></TR>\r\n";

    for (const HeadRow& row : HeadRows) {
        page += "<TR><TD COLSPAN=4 ALIGN=right>";
        page += row.label;
        page += "</TD><TD COLSPAN=4 ALIGN=left>";
        row.value(page, w);
        page += "</TD></TR>\r\n";
    }

    page += "<TR><TD COLSPAN=4>&nbsp;</TD><TD COLSPAN=4>&nbsp;</TD></TR>\r\n";
    sink.lineDone();
}

void appendBlockHeading(std::string& page, std::string_view text, const std::string& name) {
    page += "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>";
    page += text;
    appendEscaped(page, name);
    page += "</TH></TR>\r\n";
}

// The date text of a row. A result's signals mostly share one time, so the text of the last
// one is kept and copied while the fields stay the same.
class DateCell {
public:
    void append(std::string& page, const ATime& time) {
        if (text_.empty() || !time.sameFields(last_)) {
            text_.clear();
            appendDateTime(text_, time);
            last_ = time;
        }
        page += text_;
    }

private:
    ATime last_;
    std::string text_;
};

// The cells shared by spike and gaussian rows: RA, Dec, Time, Frequency.
void appendPlaceCells(std::string& page, DateCell& date, double ra, double dec, const ATime& time,
                      double freq) {
    page += "<TD>";
    appendRightAscension(page, ra);
    page += "</TD><TD>";
    appendDeclination(page, dec);
    page += "</TD><TD>";
    date.append(page, time);
    page += "</TD><TD>";
    appendFixed(page, freq, 2);
    page += "</TD>";
}

void appendFixedCell(std::string& page, double value) {
    page += "<TD>";
    appendFixed(page, value, 6);
    page += "</TD>";
}

// One bar of a gaussian's chart; the heights of a curve the client wrote (0 to 63 pixels)
// come whole from a table made at compile time, as the bars are most of a long page.
constexpr std::string_view BarStart = "<IMG SRC=\"redbit.png\" HEIGHT=";
constexpr std::string_view BarEnd = " WIDTH=4 ALT=\"Bar\">\r\n";
constexpr int TableHeights = 64;

struct BarLine {
    std::array<char, BarStart.size() + 2 + BarEnd.size()> text{};
    std::size_t size = 0;
};

constexpr std::array<BarLine, TableHeights> BarLines = [] {
    std::array<BarLine, TableHeights> lines{};
    for (int height = 0; height < TableHeights; ++height) {
        BarLine& line = lines[static_cast<std::size_t>(height)];
        auto put = [&line](char c) { line.text[line.size++] = c; };
        for (char c : BarStart) put(c);
        if (height >= 10) put(static_cast<char>('0' + height / 10));
        put(static_cast<char>('0' + height % 10));
        for (char c : BarEnd) put(c);
    }
    return lines;
}();

void appendBar(std::string& page, std::int32_t height) {
    if (height >= 0 && height < TableHeights) {
        const BarLine& line = BarLines[static_cast<std::size_t>(height)];
        page.append(line.text.data(), line.size);
        return;
    }
    page += BarStart;
    appendInt(page, height);
    page += BarEnd;
}

// The headings of a block of signal rows: the one that says there are none, the one above
// the rows, and the column titles.
struct SignalBlock {
    std::string_view none;
    std::string_view found;
    std::string_view titles;
};

constexpr SignalBlock SpikeBlock = {
    "No Significant Spikes Were Found in Workunit ", "Significant Spikes Detected in Workunit ",
    "<TR><TD>RA</TD><TD>Dec</TD><TD>Time</TD><TD>Frequency (Hz)</TD>"
    "<TD>Chirp Rate (Hz/sec)</TD><TD COLSPAN=3>Power</TD></TR>\r\n"};

constexpr SignalBlock GaussianBlock = {
    "No Significant Gaussians Were Found in Workunit ",
    "Significant Gaussians Detected in Workunit ",
    "<TR><TD>RA</TD><TD>Dec</TD><TD>Time</TD><TD>Frequency (Hz)</TD>"
    "<TD>Chirp Rate (Hz/sec)</TD><TD>Peak Power</TD><TD>Chi Squared (Fit)</TD>"
    "<TD>Score</TD></TR>\r\n"};

// A block's heading, then its column titles and a row per signal, or only the heading that
// says there are none. The rows are made in batches of `perBatch` on two threads and handed
// on in their order.
template <class Signal, class Row>
void appendSignals(PageSink& sink, const SignalList<Signal>& signals, const std::string& name,
                   const SignalBlock& block, Row appendRow, std::size_t perBatch) {
    std::string& page = sink.block();
    if (signals.size() == 0) {
        appendBlockHeading(page, block.none, name);
        return;
    }
    appendBlockHeading(page, block.found, name);
    page += block.titles;
    auto rows = [&signals, &appendRow, perBatch](std::string& text, std::size_t batch) {
        Signal signal;
        DateCell date;
        const std::size_t end = std::min(signals.size(), (batch + 1) * perBatch);
        for (std::size_t i = batch * perBatch; i < end; ++i) {
            signals.copyTo(i, signal);
            appendRow(text, date, signal);
        }
    };
    // A failed write is kept by the sink and reported when the page is done.
    writeInBatches((signals.size() + perBatch - 1) / perBatch, rows,
                   [&sink](std::string_view text) { return sink.write(text); });
}

void appendSpikeRow(std::string& page, DateCell& date, const Spike& s) {
    page += "<TR>";
    appendPlaceCells(page, date, s.ra, s.dec, s.time, s.freq);
    appendFixedCell(page, s.chirp_rate);
    page += "<TD COLSPAN=3>";
    appendFixed(page, s.power, 6);
    page += "</TD></TR>\r\n";
}

void appendGaussianRow(std::string& page, DateCell& date, const Gaussian& g) {
    page += "<TR>";
    appendPlaceCells(page, date, g.ra, g.dec, g.time, g.freq);
    appendFixedCell(page, g.chirprate);
    appendFixedCell(page, g.peak);
    appendFixedCell(page, g.chisqr);
    appendFixedCell(page, g.score());
    page += "</TR>\r\n";
    // One 4-pixel bar per power value: the 0 to 255 scale becomes 0 to 63 pixels.
    page += "<TR><TD COLSPAN=8><CENTER>\r\n";
    for (std::int32_t value : g.pot) appendBar(page, value / 4);
    page += "</CENTER></TD></TR>\r\n";
}

// Rows a batch holds: a batch comes to about one of the sink's blocks or more, so that it goes
// to the file as it is, without a copy. A spike's row is some 150 bytes; a gaussian's holds
// its chart, a bar of one line per power value.
constexpr std::size_t SpikesPerBatch = PageSink::BlockSize / 128;
constexpr std::size_t GaussiansPerBatch = 96;
constexpr std::size_t ShortestChart =
    std::tuple_size_v<decltype(Gaussian::pot)> * (BarStart.size() + 1 + BarEnd.size());
static_assert(GaussiansPerBatch * ShortestChart >= PageSink::BlockSize);

void writePage(PageSink& sink, const ResFile& reader) {
    appendHead(sink, reader.record);
    appendSignals(sink, reader.spikes, reader.record.name, SpikeBlock, appendSpikeRow,
                  SpikesPerBatch);
    appendSignals(sink, reader.gaussians, reader.record.name, GaussianBlock, appendGaussianRow,
                  GaussiansPerBatch);
    sink.block() += "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
}

}  // namespace

bool writeResultPage(const ResFile& reader, const std::string& path) {
    platform::ReplacingFile file;
    if (!file.open(path)) return false;
    PageSink sink(file);
    writePage(sink, reader);
    return sink.flush() && file.commit();
}

std::string resultPageBytes(const ResFile& reader) {
    std::string bytes;
    PageSink sink(bytes);
    writePage(sink, reader);
    sink.flush();
    return bytes;
}
