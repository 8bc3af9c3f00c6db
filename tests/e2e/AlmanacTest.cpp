// End-to-end runs of the built Almanac: the usage text, the sources it reads (and never
// changes), the page compared byte for byte with a golden page, and a page that cannot be
// written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/ExitStatus.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

const std::string Usage =
    "Almanac.exe for Win32\n"
    "Version 1.00  Copyright (C) 2026 the authors\n"
    "Usage: Almanac.exe [-page=FILE] [[-<opt>=]<datafile or Directory>]...\n"
    "       -page: Page File (HTML)         ex) -page=..\\Almanac.html\n"
    "       -i4wu: I4WU Export File(s)        ex) -i4wu=..\\i4wu\\export*.csv\n"
    "         -sl: SETILog Export File(s)     ex) -sl=..\\SETILog.csv)\n"
    "         -ss: SETI@Support Data File(s)  ex) -ss=..\\ss_past_data.txt\n"
    "         -sh: SETI@home Directory        ex) -sh=\"C:\\Program Files\\SETI@home\"\n"
    "         -ob: Orbelle Directory ex) -ob=..\\\n"
    "\n"
    "       Without a source, '.\\ss_past_data.txt' and '.\\WUInfo.csv' are read.\n"
    "       Page file is '.\\Almanac.html'.\n"
    "\n";

RunResult runAlmanac(const fs::path& cwd, const std::vector<std::string>& args,
                     const std::string& env = "TZ=CET-1CEST", const std::string& setup = "") {
    return testsupport::run(testsupport::programPath("Almanac"), args, cwd, env, setup);
}

std::string example(const std::string& name) {
    return testsupport::readBytes(fs::path(SETI_SOURCE_DIR) / "examples" / name);
}

// A small history: a unit with a result page beside the almanac page and one without, a
// hostile name, an empty month (February 2001), a unit that arrives at the end of March in UTC
// and in April in the zone, one not finished, one with unset dates, one with an absurd right
// ascension and a negative CPU time, and one of 1998.
const std::string History =
    "\"TimeStamp\",\"name\",\"start_ra\",\"start_dec\",\"receiver\",\"tape_version\","
    "\"cpu\",\"prog\",\"bs_power\",\"bg_score\",\"bg_chisq\"\r\n"
    "2451919.916667,\"01ja01aa.1001.100.1.1.1\",3.5,18.2,\"ao1420\",\"4.11\",36000,1,"
    "30.5,2.5,1.2\r\n"
    "2451970.843750,\"05fe01ab.<b>&'x'.2.3\",17.25,5,\"ao1420\",\"4.0&b\",18000,1,45.25,0.8,"
    "0.9\r\n"
    "2452000.479167,\"12mr01ac.333.4.5.6.7\",23.9,-10.5,\"ao1420\",\"4.11\",7200,1,12,0,0\r\n"
    "2452019.750000,\"20ap01ad.444.5.6.7.8\",12,30,\"ao1420\",\"4.11\",3600,0.5,8.5,1.5,2\r\n"
    ",\"xxunset.1.2.3.4\",5,10,\"ao1420\",\"?\",5000,1,20,0,0\r\n"
    "2452027.281250,\"27ap01ae.55.6.7.8.9\",31.5,12,\"gbt\",\"4.11\",-5,1,0,3.1,1\r\n"
    "2450966.000000,\"01jn98aa.1.1.1.1\",8,20,\"ao1420\",\"4.11\",9000,1,1.5,0,0\r\n";

}  // namespace

TEST(AlmanacTest, PageMatchesGolden) {
    TempDir dir;
    dir.write("in/WUInfo.csv", History);
    dir.write("out/01ja01aa.1001.100.1.1.1.html", "result page");
    const RunResult r = runAlmanac(dir.path(), {"-page=out/almanac.html", "in/WUInfo.csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(testsupport::lines(r.err),
              (std::vector<std::string>{"Orbelle File: in/WUInfo.csv", "1 File(s) are done",
                                        "Export Page to File: out/almanac.html"}));
    EXPECT_EQ(dir.read("out/almanac.html"),
              testsupport::readBytes(fs::path(SETI_SOURCE_DIR) / "tests/e2e/golden/almanac.html"));
}

// -help wins over every other argument; nothing is read or written.
TEST(AlmanacTest, UsageOnHelp) {
    TempDir dir;
    dir.write("WUInfo.csv", example("WUInfo.csv"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-help"}, {"WUInfo.csv", "-help", "-page=x.html"}}) {
        const RunResult r = runAlmanac(dir.path(), args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, Usage);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(dir.exists("Almanac.html"));
    EXPECT_FALSE(dir.exists("x.html"));
}

// No argument reads the databases of the current folder, whichever are there; with neither
// there is nothing to show, and no page is made.
TEST(AlmanacTest, DefaultSourcesFromTheCurrentFolder) {
    struct Case {
        std::vector<std::string> files;
        std::vector<std::string> err;
        int status;
    };
    const Case cases[] = {
        {{}, {"No Import File"}, 1},
        {{"WUInfo.csv"},
         {"Reading File: WUInfo.csv", "1 File(s) are done", "Export Page to File: Almanac.html"},
         0},
        {{"ss_past_data.txt", "WUInfo.csv"},
         {"Reading File: ss_past_data.txt", "Reading File: WUInfo.csv", "2 File(s) are done",
          "Export Page to File: Almanac.html"},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.size());
        TempDir dir;
        for (const std::string& file : c.files) dir.write(file, example(file));
        const RunResult r = runAlmanac(dir.path(), {});
        EXPECT_EQ(testsupport::lines(r.err), c.err);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.status, testsupport::statusFor(r.err));
        EXPECT_EQ(dir.exists("Almanac.html"), c.status == 0);
    }
    // A page option alone names no source either.
    TempDir dir;
    dir.write("WUInfo.csv", example("WUInfo.csv"));
    const RunResult r = runAlmanac(dir.path(), {"-page=p.html"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(dir.exists("p.html"));
}

// The sources keep their bytes and times, nothing but the page is made, and the same sources
// give the same page.
TEST(AlmanacTest, SourcesAreNeverChangedAndGiveTheSameBytes) {
    TempDir dir;
    dir.write("WUInfo.csv", example("WUInfo.csv"));
    dir.write("ss_past_data.txt", example("ss_past_data.txt"));
    dir.write("SETILog.csv", example("SETILog.csv"));
    const std::vector<std::string> sources = {"WUInfo.csv", "ss_past_data.txt", "SETILog.csv"};
    std::vector<fs::file_time_type> times;
    for (const std::string& s : sources) times.push_back(fs::last_write_time(dir.file(s)));
    const std::vector<std::string> args = {"-ss=ss_past_data.txt", "-sl=SETILog.csv", "WUInfo.csv"};
    const RunResult first = runAlmanac(dir.path(), args);
    EXPECT_EQ(first.status, 0) << first.err;
    const std::string page = dir.read("Almanac.html");
    const RunResult second = runAlmanac(dir.path(), args);
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(dir.read("Almanac.html"), page);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(dir.read(sources[i]), example(sources[i])) << sources[i];
        EXPECT_EQ(fs::last_write_time(dir.file(sources[i])), times[i]) << sources[i];
    }
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        entries.push_back(entry.path().filename().string());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"Almanac.html", "SETILog.csv", "WUInfo.csv",
                                                 "ss_past_data.txt"}));
}

// A page that cannot be written whole leaves the old one as it was, and the run fails; so
// does one whose folder is missing. An empty page name is refused before anything is read.
TEST(AlmanacTest, PageCutByTheFileSizeLimitLeavesTheOldOne) {
    if (testsupport::windowsPrograms())
        GTEST_SKIP() << "the file-size signal is POSIX: under Wine it ends Wine's own process";
    TempDir dir;
    dir.write("WUInfo.csv", example("WUInfo.csv"));
    dir.write("Almanac.html", "old page");
    // 8 KiB: the page is larger.
    const RunResult cut = runAlmanac(dir.path(), {"WUInfo.csv"}, "TZ=UTC", "ulimit -f 16");
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(testsupport::lines(cut.err).back(), "Fail Export File: Almanac.html");
    EXPECT_EQ(dir.read("Almanac.html"), "old page");
}

TEST(AlmanacTest, PageWrittenWholeOrNotAtAll) {
    TempDir dir;
    dir.write("WUInfo.csv", example("WUInfo.csv"));
    dir.write("Almanac.html", "old page");
    const RunResult missing = runAlmanac(dir.path(), {"-page=no/such/page.html", "WUInfo.csv"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(testsupport::lines(missing.err).back(), "Fail Export File: no/such/page.html");

    const RunResult empty = runAlmanac(dir.path(), {"-page=", "WUInfo.csv"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "Illegal Option: -page=\n");

    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        entries.push_back(entry.path().filename().string());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"Almanac.html", "WUInfo.csv"}));
}

// A page named as one of the sources read, by any name, is refused before anything is
// written: the source keeps every byte.
TEST(AlmanacTest, APageNeverTakesTheNameOfASourceRead) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string page;  // the path the page names, as the message prints it
        bool posixOnly;
    };
    const Case cases[] = {
        {"the database read by default", {"-page=WUInfo.csv"}, "WUInfo.csv", false},
        {"an export by another path",
         {"-page=sub/../SETILog.csv", "-sl=SETILog.csv"},
         "sub/../SETILog.csv",
         false},
        {"a database named as a plain file",
         {"-page=ss_past_data.txt", "ss_past_data.txt"},
         "ss_past_data.txt",
         false},
        {"a client file", {"-sh=client/", "-page=client/STATE.SAH"}, "client/STATE.SAH", false},
        {"a link to the database", {"-page=link.html"}, "link.html", true},
    };
    for (const Case& c : cases) {
        if (c.posixOnly && testsupport::windowsPrograms()) continue;
        TempDir dir;
        dir.write("WUInfo.csv", example("WUInfo.csv"));
        dir.write("SETILog.csv", example("SETILog.csv"));
        dir.write("ss_past_data.txt", example("ss_past_data.txt"));
        fs::create_directories(dir.path() / "sub");
        fs::create_directories(dir.path() / "client");
        for (const char* name : {"result.sah", "state.sah", "work_unit.sah"})
            dir.write(std::string("client/") + name, example(std::string("client/") + name));
        fs::create_symlink("WUInfo.csv", dir.path() / "link.html");
        const RunResult run = runAlmanac(dir.path(), c.args);
        EXPECT_EQ(run.status, 1) << c.what;
        EXPECT_EQ(testsupport::lines(run.err).back(), "Illegal File: " + c.page) << c.what;
        EXPECT_EQ(dir.read("WUInfo.csv"), example("WUInfo.csv")) << c.what;
        EXPECT_EQ(dir.read("SETILog.csv"), example("SETILog.csv")) << c.what;
        EXPECT_EQ(dir.read("ss_past_data.txt"), example("ss_past_data.txt")) << c.what;
        EXPECT_EQ(dir.read("client/state.sah"), example("client/state.sah")) << c.what;
    }
}
