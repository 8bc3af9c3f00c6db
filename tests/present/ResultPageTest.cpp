// The result page: value formats, signal blocks, escaping of file texts, line ends, and
// failures to write.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "clientfiles/ResFile.h"
#include "platform/platform.h"
#include "present/ResultPage.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// Line numbers of the page, counted from 0.
constexpr std::size_t CpuLine = 13;
constexpr std::size_t ReceivedLine = 14;
constexpr std::size_t LocationLine = 15;
constexpr std::size_t RecordedLine = 16;
constexpr std::size_t SubbandLine = 17;
constexpr std::size_t SpikeBlock = 19;

// Writes the page of `reader` and returns its lines; every line must end in CR LF.
std::vector<std::string> pageLines(const ResFile& reader) {
    TempDir dir;
    EXPECT_TRUE(writeResultPage(reader, dir.file("page.html")));
    const std::string bytes = dir.read("page.html");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line without CR LF";
            break;
        }
        const std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "lone line break in " << line;
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

std::string cell(const std::string& label, const std::string& value) {
    return "<TR><TD COLSPAN=4 ALIGN=right>" + label + "</TD><TD COLSPAN=4 ALIGN=left>" + value +
           "</TD></TR>";
}

void addSpike(ResFile& reader, double power, double freq, double chirp) {
    Spike s;
    s.name = reader.record.name;
    s.power = power;
    s.freq = freq;
    s.chirp_rate = chirp;
    ASSERT_TRUE(reader.spikes.add(s));
}

}  // namespace

TEST(ResultPageTest, CpuTimeFormat) {
    struct Case {
        double cpu;
        const char* shown;
    };
    const Case cases[] = {
        {3725.5, "1 hr 2 min 5.5 sec"},    {0.0, "0 hr 0 min 0 sec"},
        {59.25, "0 hr 0 min 59.25 sec"},   {3600.0, "1 hr 0 min 0 sec"},
        {1234567.125, "342 hr 56 min 7.125 sec"},
        {-3725.5, "-1 hr -2 min -5.5 sec"},  {1e-300, "0 hr 0 min 1e-300 sec"},
        {36000000.0, "10000 hr 0 min 0 sec"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        ResFile reader;
        reader.record.name = "wu";
        reader.record.cpu = c.cpu;
        const auto lines = pageLines(reader);
        ASSERT_GT(lines.size(), CpuLine);
        EXPECT_EQ(lines[CpuLine], std::string("<TR><TD COLSPAN=4 ALIGN=right>CPU Time:</TD>"
                                              "<TD COLSPAN=4>") + c.shown + "</TD></TR>");
    }
}

TEST(ResultPageTest, RightAscensionAndDeclination) {
    const std::string huge =
        "1000000000000000052504760255204420248704468581108159154915854115511802457988908195786"
        "3713750804478640437044438328838781769425232353604305756447921847867069828483872009265"
        "7580373783023379478809005936895323497079994508111903896764088007465274278014249457925"
        "8788820056842838115669472196386865459400540160";
    struct Case {
        double ra;
        double dec;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {12.5, 45.25, "RA: 12:30:00  Dec: +45:15:00"},
        {23.999999, -12.5, "RA: 23:59:59  Dec: -12:30:00"},
        {0.0, -0.5, "RA: 0:00:00  Dec: -0:30:00"},
        {14.853, 0.0, "RA: 14:51:10  Dec: +0:00:00"},
        {1e300, -1e300, "RA: " + huge + ":00:00  Dec: -" + huge + ":00:00"},
        {-1e19, 1e-300, "RA: -10000000000000000000:00:00  Dec: +0:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        ResFile reader;
        reader.record.name = "wu";
        reader.record.start_ra = c.ra;
        reader.record.start_dec = c.dec;
        const auto lines = pageLines(reader);
        ASSERT_GT(lines.size(), LocationLine);
        EXPECT_EQ(lines[LocationLine], cell("Location of Workunit:", c.shown));
    }
}

// A huge CPU time has no meaningful split, but it must print as numbers, not crash.
TEST(ResultPageTest, HugeCpuTimePrints) {
    ResFile reader;
    reader.record.name = "wu";
    reader.record.cpu = 1e300;
    const auto lines = pageLines(reader);
    ASSERT_GT(lines.size(), CpuLine);
    EXPECT_EQ(lines[CpuLine].rfind("<TR><TD COLSPAN=4 ALIGN=right>CPU Time:</TD><TD COLSPAN=4>2777", 0),
              0u);
    EXPECT_NE(lines[CpuLine].find(" hr "), std::string::npos);
    EXPECT_NE(lines[CpuLine].find(" sec</TD></TR>"), std::string::npos);
}

TEST(ResultPageTest, DatesAndIntegers) {
    ResFile reader;
    reader.record.name = "wu";
    reader.record.time_recorded.setJulian(2451606.85836);
    reader.record.subband_number = INT_MIN;
    const auto lines = pageLines(reader);
    ASSERT_GT(lines.size(), SubbandLine);
    EXPECT_EQ(lines[ReceivedLine], cell("Result Received:", "1984/01/00 00:00:00"));
    EXPECT_EQ(lines[RecordedLine], cell("Time Recorded:", "2000/03/03 08:36:02"));
    EXPECT_EQ(lines[SubbandLine], cell("Subband Number:", "-2147483648"));
}

// Without signals: 19 head lines, one line per empty block, three closing lines.
TEST(ResultPageTest, PageWithoutSignals) {
    ResFile reader;
    reader.record.name = "wu";
    const auto lines = pageLines(reader);
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines[0], "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">");
    EXPECT_EQ(lines[8], "<A HREF=\"https://setiathome.berkeley.edu/\">[SETI@home]</A>");
    EXPECT_EQ(lines[SpikeBlock],
              "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>No Significant Spikes Were Found in "
              "Workunit wu</TH></TR>");
    EXPECT_EQ(lines[SpikeBlock + 1],
              "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>No Significant Gaussians Were Found in "
              "Workunit wu</TH></TR>");
    EXPECT_EQ(lines[21], "</TABLE>");
    EXPECT_EQ(lines[23], "</HTML>");
}

TEST(ResultPageTest, SpikeRowsInListOrder) {
    ResFile reader;
    reader.record.name = "wu";
    addSpike(reader, 2.5, 1420123456.789, -1.5);
    addSpike(reader, 1.0, 0.004, 1e300);
    const auto lines = pageLines(reader);
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[SpikeBlock + 2],
              "<TR><TD>0:00:00</TD><TD>+0:00:00</TD><TD>1984/01/00 00:00:00</TD>"
              "<TD>1420123456.79</TD><TD>-1.500000</TD><TD COLSPAN=3>2.500000</TD></TR>");
    EXPECT_NE(lines[SpikeBlock + 3].find("<TD>0.00</TD><TD>10000000000000000525047602552044"),
              std::string::npos);
    EXPECT_NE(lines[SpikeBlock + 3].find(".000000</TD><TD COLSPAN=3>1.000000</TD></TR>"),
              std::string::npos);
}

TEST(ResultPageTest, GaussianRowsAndBars) {
    ResFile reader;
    reader.record.name = "wu";
    Gaussian g;
    g.name = "wu";
    g.peak = 3.5;
    g.chisqr = 1.25;
    g.chirprate = 2.25;
    g.ra = 14.875;
    g.dec = -28.5625;
    g.time.setJulian(2451606.75);
    g.freq = 1418916000.37;
    g.pot[0] = 255;
    g.pot[1] = 3;
    g.pot[2] = 4;
    g.pot[63] = INT_MIN;
    ASSERT_TRUE(reader.gaussians.add(g));
    g.chisqr = 0;
    ASSERT_TRUE(reader.gaussians.add(g));
    const auto lines = pageLines(reader);
    // Head, empty spike block, two gaussian headings, 2 x 67 lines, closing lines.
    ASSERT_EQ(lines.size(), 19u + 1 + 2 + 2 * 67 + 3);
    const std::size_t first = SpikeBlock + 3;
    EXPECT_EQ(lines[first],
              "<TR><TD>14:52:30</TD><TD>-28:33:45</TD><TD>2000/03/03 06:00:00</TD>"
              "<TD>1418916000.37</TD><TD>2.250000</TD><TD>3.500000</TD><TD>1.250000</TD>"
              "<TD>2.800000</TD></TR>");
    EXPECT_EQ(lines[first + 1], "<TR><TD COLSPAN=8><CENTER>");
    EXPECT_EQ(lines[first + 2], "<IMG SRC=\"redbit.png\" HEIGHT=63 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[first + 3], "<IMG SRC=\"redbit.png\" HEIGHT=0 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[first + 4], "<IMG SRC=\"redbit.png\" HEIGHT=1 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[first + 65],
              "<IMG SRC=\"redbit.png\" HEIGHT=-536870912 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[first + 66], "</CENTER></TD></TR>");
    // The second gaussian has chisqr 0 and so score 0.
    EXPECT_NE(lines[first + 67].find("<TD>0.000000</TD><TD>0.000000</TD></TR>"),
              std::string::npos);
}

// Every text from the file is escaped; the page's own markup is not.
TEST(ResultPageTest, NameIsEscapedEverywhere) {
    ResFile reader;
    reader.record.name = "a<b>&\"c\"";
    addSpike(reader, 1.0, 0.0, 0.0);
    const auto lines = pageLines(reader);
    const std::string escaped = "a&lt;b&gt;&amp;&quot;c&quot;";
    std::string page;
    for (const auto& line : lines) page += line + "\n";
    EXPECT_EQ(page.find("a<b>"), std::string::npos);
    EXPECT_EQ(lines[5], "<TITLE>Result Details for " + escaped + "</title>");
    EXPECT_EQ(lines[10], "<H1>Result Details for " + escaped + "</H1>");
    EXPECT_EQ(lines[12], "<TR BGCOLOR=\"#303080\"><TH COLSPAN=4 ALIGN=right>Workunit Name:</TH>"
                         "<TH COLSPAN=4 ALIGN=left>" + escaped + "</TH></TR>");
    EXPECT_EQ(lines[SpikeBlock],
              "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>Significant Spikes Detected in Workunit " +
                  escaped + "</TH></TR>");
    EXPECT_NE(lines[SpikeBlock + 3].find("Gaussians Were Found in Workunit " + escaped + "<"),
              std::string::npos);
}

TEST(ResultPageTest, ReplacesAnExistingLongerFile) {
    TempDir dir;
    dir.write("page.html", std::string(100000, 'x'));
    ResFile reader;
    reader.record.name = "wu";
    ASSERT_TRUE(writeResultPage(reader, dir.file("page.html")));
    const std::string bytes = dir.read("page.html");
    EXPECT_EQ(bytes.find("xx"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 9), "</HTML>\r\n");
}

// Failing to open, to write or to close is reported; a failed open leaves no file.
TEST(ResultPageTest, WriteFailuresReturnFalse) {
    ResFile reader;
    reader.record.name = "wu";
    TempDir dir;
    EXPECT_FALSE(writeResultPage(reader, dir.file("missing/page.html")));
    EXPECT_FALSE(writeResultPage(reader, dir.path().string()));

    struct Case {
        const char* what;
        int failingCall;  // open is call 1, the write call 2, close call 3
    };
    for (const Case& c : {Case{"open", 1}, Case{"write", 2}, Case{"close", 3}}) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.file(std::string(c.what) + ".html");
        platform::failWriteCallAfter(c.failingCall);
        const bool written = writeResultPage(reader, path);
        platform::failWriteCallAfter(0);
        EXPECT_FALSE(written);
        if (c.failingCall == 1) {
            EXPECT_FALSE(fs::exists(path));
        }
    }
    EXPECT_TRUE(writeResultPage(reader, dir.file("after.html")));
}
