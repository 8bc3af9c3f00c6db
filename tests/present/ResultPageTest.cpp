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
        // %g: six significant digits, two-digit exponents, so 59.9999999 rounds up to 60.
        {0.00001, "0 hr 0 min 1e-05 sec"},  {119.9999999, "0 hr 1 min 60 sec"},
        {25316.734375, "7 hr 1 min 56.7344 sec"},
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

// Values far outside anything a client writes print as plain numbers, without overflow or
// undefined behaviour; bar heights truncate toward zero, negative ones too. (The ordinary rows
// and bars are in the golden pages of the Quillet runs.)
TEST(ResultPageTest, ExtremeValuesPrint) {
    ResFile reader;
    reader.record.name = "wu";
    reader.record.cpu = 1e300;
    Spike s;
    s.name = "wu";
    s.freq = 0.004;
    s.chirp_rate = 1e300;
    ASSERT_TRUE(reader.spikes.add(s));
    Gaussian g;
    g.name = "wu";
    g.pot[0] = -5;
    g.pot[1] = INT_MIN;
    g.pot[2] = INT_MAX;
    ASSERT_TRUE(reader.gaussians.add(g));
    const auto lines = pageLines(reader);
    ASSERT_EQ(lines.size(), 19u + 3 + 2 + 67 + 3);

    const std::string cpuStart = "<TR><TD COLSPAN=4 ALIGN=right>CPU Time:</TD><TD COLSPAN=4>2777";
    EXPECT_EQ(lines[CpuLine].rfind(cpuStart, 0), 0u);
    EXPECT_NE(lines[CpuLine].find(" hr "), std::string::npos);
    EXPECT_NE(lines[CpuLine].find(" sec</TD></TR>"), std::string::npos);

    const std::string& spike = lines[SpikeBlock + 2];
    EXPECT_NE(spike.find("<TD>0.00</TD><TD>10000000000000000525047602552044"), std::string::npos);
    EXPECT_NE(spike.find(".000000</TD><TD COLSPAN=3>0.000000</TD></TR>"), std::string::npos);

    // After the spike block, the gaussian heading, titles, row and <CENTER>.
    const std::size_t bars = SpikeBlock + 7;
    EXPECT_EQ(lines[bars], "<IMG SRC=\"redbit.png\" HEIGHT=-1 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[bars + 1], "<IMG SRC=\"redbit.png\" HEIGHT=-536870912 WIDTH=4 ALT=\"Bar\">");
    EXPECT_EQ(lines[bars + 2], "<IMG SRC=\"redbit.png\" HEIGHT=536870911 WIDTH=4 ALT=\"Bar\">");
}

// The work-unit name is escaped in the headings of the signal blocks too (the page without
// signals, with its title, heading and table row, is a golden page of the Quillet runs).
TEST(ResultPageTest, NameIsEscapedInSignalHeadings) {
    ResFile reader;
    reader.record.name = "a<b>&\"c\"";
    Spike s;
    s.name = reader.record.name;
    ASSERT_TRUE(reader.spikes.add(s));
    Gaussian g;
    g.name = reader.record.name;
    ASSERT_TRUE(reader.gaussians.add(g));
    const auto lines = pageLines(reader);
    ASSERT_EQ(lines.size(), 19u + 3 + 2 + 67 + 3);
    const std::string heading = "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>Significant ";
    const std::string escaped = "a&lt;b&gt;&amp;&quot;c&quot;</TH></TR>";
    EXPECT_EQ(lines[SpikeBlock], heading + "Spikes Detected in Workunit " + escaped);
    EXPECT_EQ(lines[SpikeBlock + 3], heading + "Gaussians Detected in Workunit " + escaped);
    for (const auto& line : lines) EXPECT_EQ(line.find("a<b>"), std::string::npos) << line;
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
