// End-to-end tests of Brellow: the built program runs in a temporary directory, and its exit
// status, standard output, every standard-error line and every file it leaves are compared
// byte for byte with expectations written by hand.
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

const std::string Name = "21no99ab.1234.5678.9.10.11";

// A finished result without signal lines: the header alone gives the best signals.
std::string resultFile(const std::string& nameLine = "name=" + Name) {
    return "version=3\n" + nameLine +
           "\n"
           "splitter_version=0x3\n"
           "start_ra=12.5\n"
           "start_dec=-4.5\n"
           "end_ra=12.625\n"
           "end_dec=-4.375\n"
           "time_recorded=2451544.5 (Sat Jan 01 00:00:00 2000)\n"
           "subband_base=1418974609.375\n"
           "subband_number=5\n"
           "cpu=3725.5\n"
           "prog=0.5\n"
           "bs_power=20.5\n"
           "bs_score=1.25\n"
           "bs_bin=7\n"
           "bs_fft_ind=3\n"
           "bs_chirp_rate=-1.5\n"
           "bs_fft_len=8\n"
           "bg_score=0.75\n"
           "bg_power=3.25\n"
           "bg_chisq=1.5\n"
           "bg_sigma=2\n"
           "bg_true_mean=0.25\n"
           "bg_bin=11\n"
           "bg_fft_ind=12\n"
           "bg_chirp_rate=0.125\n"
           "bg_fft_len=16\n"
           "bg_pot 0=1.5\n"
           "bg_pot 63=-0.25\n"
           "end_seti_header\n";
}

// The result file's last-write time, 2000-06-13 23:00:01 UTC, is when the result arrived.
constexpr long long ResultTime = 960937201;

const std::string Usage =
    "Brellow.exe for Win32\n"
    "Version 1.00  Copyright (C) 2026 the authors\n"
    "Usage: Brellow.exe <result.sah path> <Dist. Directry> [-<opt>[=path]]\n"
    "         -ss: SETI@Support Data Path  ex) -ss=..\\ss_past_data.txt\n"
    "       -html: Export File (HTML)      ex) -html=result.html\n"
    "\n";

std::string supportRecord() {
    std::string r =
        "!\r"
        "name=21no99ab.1234.5678.9.10.11\r"
        "start_ra=12.500000\r"
        "start_dec=-4.500000\r"
        "end_ra=12.625000\r"
        "end_dec=-4.375000\r"
        "subband_base=1418974609.375000\r"
        "time_recorded=(2000/01/01 00:00:00)\r"
        "bs_power=20.500000\r"
        "bs_score=1.250000\r"
        "bs_bin=7\r"
        "bs_fft_ind=3\r"
        "bs_chirp_rate=-1.500000\r"
        "bs_fft_len=8\r"
        "bg_power=3.250000\r"
        "bg_chisq=1.500000\r"
        "bg_score=0.750000\r"
        "bg_true_mean=0.250000\r"
        "bg_sigma=2.000000\r"
        "bg_bin=11\r"
        "bg_fft_ind=12\r"
        "bg_chirp_rate=0.125000\r"
        "bg_fft_len=16\r"
        "prog=0.500000\r"
        "cpu=3725.500000\r"
        "started_time=13/06/2000:23:00:01\r"
        "bg_pot 1=1.500000\r";
    for (int i = 2; i <= 63; ++i) r += "bg_pot " + std::to_string(i) + "=0.000000\r";
    return r + "bg_pot 64=-0.250000\r\r";
}

const std::string Page =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n"
    "<HTML>\r\n"
    "<HEAD>\r\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html\">\r\n"
    "<META NAME=\"GENERATOR\" CONTENT=\"Lumivane\">\r\n"
    "<TITLE>Result Details for 21no99ab.1234.5678.9.10.11</title>\r\n"
    "</head>\r\n"
    "<BODY BGCOLOR=\"#000000\" TEXT=\"#FFFFFF\" LINK=\"#cc99ff\" ALINK=\"#cc99ff\" "
    "VLINK=\"#cc99ff\">\r\n"
    "<A HREF=\"https://setiathome.berkeley.edu/\">[SETI@home]</A>\r\n"
    "<HR>\r\n"
    "<H1>Result Details for 21no99ab.1234.5678.9.10.11</H1>\r\n"
    "<TABLE ALIGN=center BORDER=0 BGCOLOR=\"#303030\" CELLPADDING=2 CELLSPACING=1>\r\n"
    "<TR BGCOLOR=\"#303080\"><TH COLSPAN=4 ALIGN=right>Workunit Name:</TH>"
    "<TH COLSPAN=4 ALIGN=left>21no99ab.1234.5678.9.10.11</TH></TR>\r\n"
    "<TR><TD COLSPAN=4 ALIGN=right>CPU Time:</TD><TD COLSPAN=4>1 hr 2 min 5.5 sec</TD></TR>\r\n"
    "<TR><TD COLSPAN=4 ALIGN=right>Result Received:</TD>"
    "<TD COLSPAN=4 ALIGN=left>2000/06/13 23:00:01</TD></TR>\r\n"
    "<TR><TD COLSPAN=4 ALIGN=right>Location of Workunit:</TD>"
    "<TD COLSPAN=4 ALIGN=left>RA: 12:30:00  Dec: -4:30:00</TD></TR>\r\n"
    "<TR><TD COLSPAN=4 ALIGN=right>Time Recorded:</TD>"
    "<TD COLSPAN=4 ALIGN=left>2000/01/01 00:00:00</TD></TR>\r\n"
    "<TR><TD COLSPAN=4 ALIGN=right>Subband Number:</TD><TD COLSPAN=4 ALIGN=left>5</TD></TR>\r\n"
    "<TR><TD COLSPAN=4>&nbsp;</TD><TD COLSPAN=4>&nbsp;</TD></TR>\r\n"
    "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>No Significant Spikes Were Found in Workunit "
    "21no99ab.1234.5678.9.10.11</TH></TR>\r\n"
    "<TR BGCOLOR=\"#303080\"><TH COLSPAN=8>No Significant Gaussians Were Found in Workunit "
    "21no99ab.1234.5678.9.10.11</TH></TR>\r\n"
    "</TABLE>\r\n"
    "</BODY>\r\n"
    "</HTML>\r\n";

using Files = std::map<std::string, std::string>;

// Every regular file under the directory, by its relative path, with its bytes.
Files filesUnder(const fs::path& root) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(root).generic_string()] =
                testsupport::readBytes(entry.path());
    }
    return files;
}

void writeResult(const TempDir& dir, const std::string& bytes) {
    dir.write("in/result.sah", bytes);
    const auto arrival = std::chrono::sys_seconds(std::chrono::seconds(ResultTime));
    fs::last_write_time(dir.file("in/result.sah"), std::chrono::file_clock::from_sys(arrival));
}

// A temporary directory with the result at in/result.sah and an empty directory out/.
struct Workspace {
    TempDir dir;
    explicit Workspace(const std::string& result = resultFile()) {
        writeResult(dir, result);
        fs::create_directory(dir.file("out"));
    }
    Files base() const { return {{"in/result.sah", dir.read("in/result.sah")}}; }
    testsupport::RunResult run(const std::vector<std::string>& args) const {
        return testsupport::run(testsupport::programPath("Brellow"), args, dir.path());
    }
};

struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string err;    // standard error, every line
    bool usage;         // standard output holds the usage text (else nothing)
    Files written;      // files the run adds to in/result.sah
};

void runCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Workspace ws;
        testsupport::RunResult r = ws.run(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.usage ? Usage : "");
        EXPECT_EQ(r.err, c.err);
        Files expected = ws.base();
        expected.insert(c.written.begin(), c.written.end());
        EXPECT_EQ(filesUnder(ws.dir.path()), expected);
    }
}

const std::string Copy = Name + ".result";

TEST(BrellowTest, ArgumentErrorsPrintTheUsageAndWriteNothing) {
    runCases({
        {"no argument", {}, "", true, {}},
        {"one argument", {"in/result.sah"}, "", true, {}},
        {"options only", {"-ss", "-html"}, "Too Few Parameter\n", true, {}},
        {"one plain argument", {"in/result.sah", "-ss"}, "Too Few Parameter\n", true, {}},
        {"three plain arguments", {"in/result.sah", "out", "extra", "-ss"},
         "Too Many Parameter: extra\n", true, {}},
        {"-i4wu is not allowed", {"in/result.sah", "out", "-i4wu=x"},
         "Illegal Option: -i4wu=x\n", true, {}},
        {"-sl is not allowed", {"-sl=y", "in/result.sah", "out"}, "Illegal Option: -sl=y\n",
         true, {}},
        {"unknown option", {"in/result.sah", "out", "-bogus"}, "Illegal Option: -bogus\n", true,
         {}},
        {"the first error ends the run", {"-bogus", "a", "b", "c", "-x"},
         "Illegal Option: -bogus\n", true, {}},
        {"missing result file", {"in/none.sah", "out", "-ss", "-html"},
         "File not found: in/none.sah\n", true, {}},
        {"a directory is no result file", {"in", "out", "-ss"}, "File not found: in\n", true,
         {}},
    });
}

TEST(BrellowTest, CopiesTheResultUnderTheWorkUnitName) {
    const std::string result = resultFile();
    runCases({
        {"directory without separator", {"in/result.sah", "out"}, "", false,
         {{"out/" + Copy, result}}},
        {"directory with backslash", {"in/result.sah", "out\\"}, "", false,
         {{"out/" + Copy, result}}},
        {"directory with slash", {"in/result.sah", "out/"}, "", false, {{"out/" + Copy, result}}},
        {"options before the plain arguments", {"-ss", "in/result.sah", "out"}, "", false,
         {{"out/" + Copy, result}, {"ss_past_data.txt", supportRecord()}}},
        {"empty directory means the current one", {"in/result.sah", ""}, "", false,
         {{Copy, result}}},
        {"missing directory: the copy fails and the run goes on",
         {"in/result.sah", "nodir", "-ss"}, "Illegal File: nodir\\" + Copy + "\n", false,
         {{"ss_past_data.txt", supportRecord()}}},
    });
}

TEST(BrellowTest, WritesThePageAndTheSupportRecordOnRequest) {
    const std::string result = resultFile();
    const Files copy = {{"out/" + Copy, result}};
    auto with = [&copy](Files more) {
        more.insert(copy.begin(), copy.end());
        return more;
    };
    runCases({
        {"-ss without value", {"in/result.sah", "out", "-ss"}, "", false,
         with({{"ss_past_data.txt", supportRecord()}})},
        {"-ss with value", {"in/result.sah", "out", "-ss=out/my_data.txt"}, "", false,
         with({{"out/my_data.txt", supportRecord()}})},
        {"-ss given twice: the later wins", {"-ss=a.txt", "in/result.sah", "out", "-ss=b.txt"},
         "", false, with({{"b.txt", supportRecord()}})},
        {"-html without value", {"in/result.sah", "out", "-html"}, "", false,
         with({{Name + ".html", Page}})},
        {"-html with value", {"in/result.sah", "out", "-html=page.html"}, "", false,
         with({{"page.html", Page}})},
        {"-html given twice: the later wins",
         {"-html=first.html", "in/result.sah", "out", "-html=second.html"}, "", false,
         with({{"second.html", Page}})},
        {"-sh shares a bit with -html", {"in/result.sah", "out", "-sh=anything"}, "", false,
         with({{Name + ".html", Page}})},
        {"-ob shares a bit with -html", {"-ob=x", "in/result.sah", "out"}, "", false,
         with({{Name + ".html", Page}})},
        {"both", {"in/result.sah", "out", "-html", "-ss"}, "", false,
         with({{Name + ".html", Page}, {"ss_past_data.txt", supportRecord()}})},
        {"page that cannot be written", {"in/result.sah", "out", "-html=nodir/p.html", "-ss"},
         "Illegal File: nodir/p.html\n", false, with({{"ss_past_data.txt", supportRecord()}})},
        {"support file that cannot be written", {"in/result.sah", "out", "-html", "-ss=nodir/s"},
         "Illegal File: nodir/s\n", false, with({{Name + ".html", Page}})},
    });
}

TEST(BrellowTest, ASecondRunReplacesTheCopyAndAppendsAgain) {
    Workspace ws;
    const std::string old = "!\rname=older.wu\rprog=1.000000\r\r";
    ws.dir.write("ss_past_data.txt", old);
    ws.dir.write("out/" + Copy, "stale copy");
    for (int run = 0; run < 2; ++run) {
        testsupport::RunResult r = ws.run({"in/result.sah", "out", "-ss"});
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(ws.dir.read("out/" + Copy), resultFile());
    EXPECT_EQ(ws.dir.read("ss_past_data.txt"), old + supportRecord() + supportRecord());
}

TEST(BrellowTest, DiskFullDuringAppendKeepsTheOldRecords) {
    // The disk fills in the middle of the appended record: the part that got written is cut
    // off again and the run says so.
    Workspace ws;
    const std::string old(1000, '\r');
    ws.dir.write("ss_past_data.txt", old);
    const testsupport::RunResult r =
        testsupport::run(testsupport::programPath("Brellow"), {"in/result.sah", "out", "-ss"},
                         ws.dir.path(), "TZ=UTC", "ulimit -f 2 && trap '' XFSZ");
    const std::vector<std::string> err = testsupport::lines(r.err);
    EXPECT_NE(std::find(err.begin(), err.end(), "Illegal File: ss_past_data.txt"), err.end())
        << r.err;
    EXPECT_EQ(ws.dir.read("ss_past_data.txt"), old);
}

TEST(BrellowTest, RefusesWorkUnitNamesThatAreNoPlainFileNames) {
    const std::vector<std::pair<const char*, std::string>> names = {
        {"no name line", "version=3"},
        {"empty name", "name="},
        {"dot", "name=."},
        {"dot dot", "name=.."},
        {"slash", "name=../escaped"},
        {"backslash", "name=..\\escaped"},
        {"colon", "name=c:escaped"},
        {"control byte", "name=bad\x01name"},
        {"tab inside", "name=bad\tname"},
    };
    for (const auto& [what, nameLine] : names) {
        SCOPED_TRACE(what);
        Workspace ws(resultFile(nameLine));
        testsupport::RunResult r = ws.run({"in/result.sah", "out", "-ss", "-html"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, Usage);
        EXPECT_EQ(r.err, "Illegal File: in/result.sah\n");
        EXPECT_EQ(filesUnder(ws.dir.path()), ws.base());
        EXPECT_FALSE(fs::exists(ws.dir.path().parent_path() / "escaped.html"));
    }
}

}  // namespace
