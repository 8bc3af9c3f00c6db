// The result page: value formats, extreme values, escaping in the signal headings, and
// failures to write. (Whole ordinary pages, CR LF line ends included, are the golden pages of
// the Quillet runs.)
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "clientfiles/ResFile.h"
#include "platform/WriteFaults.h"
#include "platform/platform.h"
#include "present/ResultPage.h"
#include "record/DateText.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

// Line numbers of the page, counted from 0.
constexpr std::size_t CpuLine = 13, ReceivedLine = 14, LocationLine = 15, SubbandLine = 17,
                      SpikeBlock = 19;

// Writes the page of `reader` and returns its lines without their CR LF.
std::vector<std::string> pageLines(const ResFile& reader) {
    TempDir dir;
    EXPECT_TRUE(writeResultPage(reader, dir.file("page.html")));
    std::vector<std::string> lines = testsupport::lines(dir.read("page.html"));
    for (auto& line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    return lines;
}

std::string cell(const std::string& label, const std::string& value) {
    return "<TR><TD COLSPAN=4 ALIGN=right>" + label + "</TD><TD COLSPAN=4 ALIGN=left>" + value +
           "</TD></TR>";
}

}  // namespace

// CPU time in hours, minutes and %g seconds (six significant digits, two-digit exponents, so
// 119.9999999 shows 60 seconds). RA and declination truncate each part toward zero; the
// declination always shows its sign; values beyond the int64 range print all their digits.
TEST(ResultPageTest, CpuTimeAndLocationFormats) {
    struct Case {
        double cpu, ra, dec;
        const char* cpuShown;
        const char* location;
    };
    const Case cases[] = {
        {0.0, 12.5, 0.0, "0 hr 0 min 0", "12:30:00  Dec: +0:00:00"},
        {3600.0, 23.999999, -12.5, "1 hr 0 min 0", "23:59:59  Dec: -12:30:00"},
        {-3725.5, -1e19, 1e-300, "-1 hr -2 min -5.5", "-10000000000000000000:00:00  Dec: +0:00:00"},
        {1e-300, 0, 0, "0 hr 0 min 1e-300", "0:00:00  Dec: +0:00:00"},
        {0.00001, 0, 0, "0 hr 0 min 1e-05", "0:00:00  Dec: +0:00:00"},
        {119.9999999, 0, 0, "0 hr 1 min 60", "0:00:00  Dec: +0:00:00"},
        {25316.734375, 0, 0, "7 hr 1 min 56.7344", "0:00:00  Dec: +0:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cpuShown);
        ResFile reader;
        reader.record.name = "wu";
        reader.record.cpu = c.cpu;
        reader.record.start_ra = c.ra;
        reader.record.start_dec = c.dec;
        const auto lines = pageLines(reader);
        ASSERT_GT(lines.size(), LocationLine);
        EXPECT_EQ(lines[CpuLine], std::string("<TR><TD COLSPAN=4 ALIGN=right>CPU Time:</TD>"
                                              "<TD COLSPAN=4>") +
                                      c.cpuShown + " sec</TD></TR>");
        EXPECT_EQ(lines[LocationLine],
                  cell("Location of Workunit:", std::string("RA: ") + c.location));
    }
}

// Values far outside anything a client writes print without overflow or undefined behaviour;
// bar heights truncate toward zero, negative ones too; an unset date prints the default
// fields whatever its own fields hold; the name is escaped in the signal headings too.
TEST(ResultPageTest, ExtremeValuesUnsetDatesAndEscapedHeadings) {
    ResFile reader;
    reader.record.name = "a<b>&\"c\"";
    reader.record.cpu = 1e300;
    reader.record.start_ra = 1e300;
    reader.record.start_dec = -1e300;
    reader.record.subband_number = INT_MIN;
    reader.record.TimeStamp.setUtc(1984, 1, 0, 0, 0, 0);  // unset, held as 1983-12-31
    Spike s;
    s.name = reader.record.name;
    s.chirp_rate = 1e300;
    ASSERT_TRUE(reader.spikes.add(s));
    Gaussian g;
    g.name = reader.record.name;
    g.pot[0] = -5;
    g.pot[1] = INT_MIN;
    g.pot[2] = INT_MAX;
    ASSERT_TRUE(reader.gaussians.add(g));
    const auto lines = pageLines(reader);
    ASSERT_EQ(lines.size(), 19u + 3 + 2 + 67 + 3);

    const std::string cpu = "<TR><TD COLSPAN=4 ALIGN=right>CPU Time:</TD><TD COLSPAN=4>2777";
    EXPECT_EQ(lines[CpuLine].rfind(cpu, 0), 0u);
    const std::string e300 = "10000000000000000525047602552044202487044685811081591549158541";
    EXPECT_NE(lines[LocationLine].find("RA: " + e300), std::string::npos);
    EXPECT_NE(lines[LocationLine].find(":00:00  Dec: -" + e300), std::string::npos);
    EXPECT_EQ(lines[ReceivedLine], cell("Result Received:", "1984/01/00 00:00:00"));
    EXPECT_EQ(lines[SubbandLine], cell("Subband Number:", "-2147483648"));
    EXPECT_NE(lines[SpikeBlock + 2].find("<TD>0.00</TD><TD>" + e300), std::string::npos);
    // After the spike block, the gaussian heading, titles, row and <CENTER>.
    const std::size_t bars = SpikeBlock + 7;
    EXPECT_EQ(lines[bars], "<IMG SRC=\"redbit.png\" HEIGHT=-1 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[bars + 1], "<IMG SRC=\"redbit.png\" HEIGHT=-536870912 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[bars + 2], "<IMG SRC=\"redbit.png\" HEIGHT=536870911 WIDTH=4 ALT=\"Bar\">");

    const std::string heading = "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>Significant ";
    const std::string escaped = "a&lt;b&gt;&amp;&quot;c&quot;</TH></TR>";
    EXPECT_EQ(lines[SpikeBlock], heading + "Spikes Detected in Workunit " + escaped);
    EXPECT_EQ(lines[SpikeBlock + 3], heading + "Gaussians Detected in Workunit " + escaped);
    for (const auto& line : lines) EXPECT_EQ(line.find("a<b>"), std::string::npos) << line;
}

// Every bar height prints as the value / 4 truncated toward zero, at the ends of the usual
// 0 to 255 scale and past them; each row shows its own date, also when a row between has
// another or only the zone differs.
TEST(ResultPageTest, BarHeightsAndRowDates) {
    const std::pair<std::int32_t, const char*> heights[] = {
        {0, "0"},
        {3, "0"},
        {4, "1"},
        {39, "9"},
        {40, "10"},
        {252, "63"},
        {255, "63"},
        {256, "64"},
        {1000, "250"},
        {-3, "0"},
        {-4, "-1"},
        {-255, "-63"},
        {-256, "-64"},
        {INT_MAX, "536870911"},
        {INT_MIN, "-536870912"},
    };
    ResFile reader;
    reader.record.name = "wu";
    Gaussian g;
    g.name = "wu";
    for (std::size_t i = 0; i < std::size(heights); ++i) g.pot[i] = heights[i].first;
    ASSERT_TRUE(reader.gaussians.add(g));

    ATime first;
    first.setUtc(2001, 8, 11, 19, 30, 43);
    ATime second;
    second.setUtc(2001, 8, 11, 19, 30, 44);
    ATime otherZone = first;
    otherZone.zoneOffset = 3600;
    const ATime times[] = {first, first, second, first, otherZone};
    for (std::size_t i = 0; i < std::size(times); ++i) {
        Spike s;
        s.name = "wu";
        s.power = 10.0 - static_cast<double>(i);  // rows in this order
        s.time = times[i];
        ASSERT_TRUE(reader.spikes.add(s));
    }
    const auto lines = pageLines(reader);
    ASSERT_EQ(lines.size(), 19u + 2 + std::size(times) + 2 + 67 + 3);
    for (std::size_t i = 0; i < std::size(times); ++i) {
        SCOPED_TRACE(i);
        std::string date;
        appendDateTime(date, times[i]);
        EXPECT_NE(lines[SpikeBlock + 2 + i].find("</TD><TD>" + date + "</TD>"), std::string::npos);
    }
    const std::size_t bars = SpikeBlock + 2 + std::size(times) + 4;
    for (std::size_t i = 0; i < 64; ++i) {
        SCOPED_TRACE(i);
        const std::string height = i < std::size(heights) ? heights[i].second : "0";
        EXPECT_EQ(lines[bars + i],
                  "<IMG SRC=\"redbit.png\" HEIGHT=" + height + " WIDTH=4 ALT=\"Bar\">");
    }
    EXPECT_EQ(lines[bars + 64], "</CENTER></TD></TR>");
}

// A page larger than one 64 KiB block of the page and one 256 KiB block of the file: the
// blocks join to the page the memory form gives, every line ended by CR LF exactly once.
TEST(ResultPageTest, PagesOfManyBlocksAreWholeInFileAndMemory) {
    ResFile reader;
    reader.record.name = "wu";
    // Spikes and gaussians over several batches of rows each, made on two threads.
    for (int i = 0; i < 5000; ++i) {
        Spike s;
        s.name = "wu";
        s.power = i;
        ASSERT_TRUE(reader.spikes.add(s));
    }
    reader.spikes.sort();
    for (int i = 0; i < 300; ++i) {
        Gaussian g;
        g.name = "wu";
        g.peak = i;
        g.pot[0] = i;
        ASSERT_TRUE(reader.gaussians.add(g));
    }
    TempDir dir;
    ASSERT_TRUE(writeResultPage(reader, dir.file("page.html")));
    const std::string page = dir.read("page.html");
    EXPECT_GT(page.size(), 3 * 256 * 1024u);
    EXPECT_EQ(page, resultPageBytes(reader));
    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] != '\n') continue;
        ++lineEnds;
        ASSERT_TRUE(i >= 2 && page[i - 1] == '\r' && page[i - 2] != '\r') << i;
    }
    EXPECT_EQ(lineEnds, 19u + 2 + 5000 + 2 + 300 * 67 + 3);
    // Every spike once, strongest first, whatever batch its row was made in.
    const std::string powerCell = "<TD COLSPAN=3>";
    int expected = 4999;
    for (std::size_t at = page.find(powerCell, page.find(powerCell + "Power") + 1);
         at != std::string::npos; at = page.find(powerCell, at + 1)) {
        ASSERT_EQ(page.substr(at + powerCell.size(), 4 + std::to_string(expected).size()),
                  std::to_string(expected) + ".000")
            << at;
        --expected;
    }
    EXPECT_EQ(expected, -1);
    EXPECT_EQ(page.substr(page.size() - 9), "</HTML>\r\n");
    EXPECT_NE(page.find("<IMG SRC=\"redbit.png\" HEIGHT=74 WIDTH=4 ALT=\"Bar\">\r\n"),
              std::string::npos);  // the last gaussian's first bar: 299 / 4
}

// A line feed inside a name gets its carriage return like every other line end, in the file
// and in memory alike; a carriage return of its own stays.
TEST(ResultPageTest, LineFeedsInsideANameEndInCarriageReturns) {
    ResFile reader;
    reader.record.name = "a\nb\r\nc";
    TempDir dir;
    ASSERT_TRUE(writeResultPage(reader, dir.file("page.html")));
    const std::string page = dir.read("page.html");
    EXPECT_EQ(page, resultPageBytes(reader));
    EXPECT_NE(page.find("<TITLE>Result Details for a\r\nb\r\r\nc</title>\r\n"), std::string::npos);
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\n') {
            ASSERT_TRUE(i > 0 && page[i - 1] == '\r') << i;
        }
    }
}

// A failure at any step of writing the page keeps the old page whole and leaves no temporary
// file; the pages are written through the safe replace (open, access rights, writes, sync,
// close, rename).
TEST(ResultPageTest, AnyFailingStepKeepsTheOldPage) {
    ResFile reader;
    reader.record.name = "wu";
    const std::string expected = resultPageBytes(reader);
    TempDir dir;
    int failures = 0;
    for (int call = 1; call <= 20; ++call) {
        SCOPED_TRACE(call);
        dir.write("page.html", "old page");
        platform::failWriteCallAfter(call);
        const bool written = writeResultPage(reader, dir.file("page.html"));
        platform::failWriteCallAfter(0);
        EXPECT_EQ(dir.read("page.html"), written ? expected : "old page");
        EXPECT_FALSE(dir.exists("page.html.tmp~"));
        if (written) break;
        ++failures;
    }
    // Open, access rights, the one write, sync, close and rename failed; the directory sync
    // after the rename no longer counts.
    EXPECT_EQ(failures, 6);
}
