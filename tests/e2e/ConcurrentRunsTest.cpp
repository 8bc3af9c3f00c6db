// End-to-end: runs on one database, page or copy at the same time. Two merge runs once lost
// one run's records while both reported success; now runs take turns on the database's lock,
// Brellow's append to it among them, and every record of every run is in the database at the
// end. A run that finds the lock held says so before it waits. Runs writing one page or one
// copy at once each put a whole one in place, and a killed run's temporary file goes with the
// next run.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/ExitStatus.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// The names of a support data file's records, in file order.
std::vector<std::string> namesIn(const std::string& bytes) {
    std::vector<std::string> names;
    for (std::size_t at = bytes.find("\rname="); at != std::string::npos;
         at = bytes.find("\rname=", at + 1)) {
        const std::size_t start = at + 6;
        names.push_back(bytes.substr(start, bytes.find('\r', start) - start));
    }
    return names;
}

// How a shell starts a program under test: through the runner for the Windows build.
std::string command(const std::string& program) {
    const char* runner = std::getenv("SETI_RUNNER");
    std::string line = testsupport::windowsPrograms() && runner != nullptr ? runner : "";
    if (!line.empty()) line += ' ';
    return line + "'" + testsupport::programPath(program) + "'";
}

// A shell loop that waits until `condition` holds, for five seconds at the most.
std::string waitUntil(const std::string& condition) {
    return "n=0; until " + condition + " || [ $n -ge 500 ]; do sleep 0.01; n=$((n+1)); done\n";
}

// A result file of the work unit "wu.same.1" with 150 gaussians whose peaks start at
// `peak`, so that its page is large and differs from another start's; `pad` bytes of filler
// make the file itself large.
std::string bigResult(int peak, std::size_t pad) {
    std::string result = "name=wu.same.1\ncpu=59.25\npad=" + std::string(pad, 'p') +
                         "\nend_seti_header\n<ogh ncfft=64 cr=2.25 fl=2048>\n";
    for (int g = 0; g < 150; ++g) {
        result += "gaussian: peak=" + std::to_string(peak + g) +
                  " mean=0.5 ra=14.9 dec=-28.5 time=2451606.8 freq=1418915821.9 sigma=4.25 "
                  "chisqr=1.25 maxpow=9.5 pot=" +
                  std::string(128, static_cast<char>('0' + g % 10)) + "\n";
    }
    return result + "<ogt ncfft=64 cr=2.25 fl=2048>\n";
}

}  // namespace

TEST(ConcurrentRuns, NoRunLosesARecord) {
    constexpr int MergeRuns = 6;
    constexpr int RecordsPerRun = 300;
    constexpr int Appends = 3;
    TempDir t;
    t.write("run/ss_past_data.txt", "!\rname=start.unit\rprog=0.5\r\r");
    std::set<std::string> expected = {"start.unit"};
    for (int run = 1; run <= MergeRuns; ++run) {
        std::string source;
        for (int i = 0; i < RecordsPerRun; ++i) {
            const std::string name = "u" + std::to_string(run) + "." + std::to_string(i);
            source += "!\rname=" + name + "\rprog=0.25\r\r";
            expected.insert(name);
        }
        t.write("in/s" + std::to_string(run) + ".txt", source);
    }
    for (int k = 1; k <= Appends; ++k) {
        const std::string name = "wu.archived." + std::to_string(k);
        t.write("in/r" + std::to_string(k) + ".sah", "name=" + name + "\nend_seti_header\n");
        expected.insert(name);
    }
    fs::create_directories(t.path() / "out");
    fs::create_directories(t.path() / "err");
    // All at once: each merge run imports its own source, each archiver run appends its
    // result to the database.
    std::string script;
    for (int run = 1; run <= MergeRuns; ++run) {
        const std::string n = std::to_string(run);
        script += command("Zarnik") + " -ss=../in/s" + n + ".txt 2>../err/z" + n + " &\n";
    }
    for (int k = 1; k <= Appends; ++k) {
        const std::string n = std::to_string(k);
        script += command("Brellow") + " ../in/r" + n + ".sah ../out -ss 2>../err/b" + n + " &\n";
    }
    script += "wait\n";
    testsupport::run("/bin/sh", {"-c", script}, t.path() / "run");

    for (int run = 1; run <= MergeRuns; ++run) {
        const std::string n = std::to_string(run);
        SCOPED_TRACE("merge run " + n);
        auto err = testsupport::lines(t.read("err/z" + n));
        ASSERT_FALSE(err.empty());
        // The Windows programs' console ends its lines with CR LF.
        if (!err.back().empty() && err.back().back() == '\r') err.back().pop_back();
        EXPECT_EQ(err.back(), "Export All Data to File: ss_past_data.txt");
    }
    // An archiver run says nothing, or that it waited for another run.
    for (int k = 1; k <= Appends; ++k) {
        std::string err = t.read("err/b" + std::to_string(k));
        err.erase(std::remove(err.begin(), err.end(), '\r'), err.end());
        if (!err.empty()) {
            EXPECT_EQ(err, "Waiting for Another Run: ss_past_data.txt.lock\n") << k;
        }
    }
    const std::vector<std::string> names = namesIn(t.read("run/ss_past_data.txt"));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
    EXPECT_EQ(names.size(), expected.size());  // each record once
    // No lock file or temporary file stays behind.
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(t.path() / "run"))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"ss_past_data.txt"});
}

TEST(ConcurrentRuns, NoExportWithoutTheLock) {
    // A lock that cannot be had (here a directory stands where the lock file goes): the run
    // reads, but it may not rewrite the database another run could be rewriting.
    TempDir t;
    const std::string database = "!\rname=start.unit\rprog=0.5\r\r";
    t.write("run/ss_past_data.txt", database);
    fs::create_directories(t.path() / "run/ss_past_data.txt.lock");
    t.write("in/s.txt", "!\rname=new.unit\rprog=0.25\r\r");
    const auto r =
        testsupport::run(testsupport::programPath("Zarnik"), {"-ss=../in/s.txt"}, t.path() / "run");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(testsupport::lines(r.err),
              (std::vector<std::string>{
                  "Reading File: ss_past_data.txt", "Append SETI@Supprt Format File: ../in/s.txt",
                  "2 File(s) are done", "Export All Data to File: ss_past_data.txt",
                  "Fail Export File: ss_past_data.txt"}));
    EXPECT_EQ(t.read("run/ss_past_data.txt"), database);
}

TEST(ConcurrentRuns, ALockFileNameThatIsALinkRefusesTheExport) {
    // A link planted where the lock file goes once made every run create the file it leads to
    // (or open one there). The export is refused now, and nothing is made where it leads.
    if (testsupport::windowsPrograms())
        GTEST_SKIP() << "a link here is a POSIX symbolic link, which Wine follows";
    for (const bool toAFile : {false, true}) {
        SCOPED_TRACE(toAFile ? "a link to a file" : "a link to nothing");
        TempDir t;
        const std::string database = "!\rname=start.unit\rprog=0.5\r\r";
        t.write("run/ss_past_data.txt", database);
        if (toAFile) t.write("elsewhere/victim.txt", "precious");
        fs::create_symlink(t.path() / "elsewhere" / "victim.txt",
                           t.path() / "run/ss_past_data.txt.lock");
        t.write("in/s.txt", "!\rname=new.unit\rprog=0.25\r\r");
        const auto r = testsupport::run(testsupport::programPath("Zarnik"), {"-ss=../in/s.txt"},
                                        t.path() / "run");
        EXPECT_EQ(testsupport::lines(r.err).back(), "Fail Export File: ss_past_data.txt");
        EXPECT_EQ(t.read("run/ss_past_data.txt"), database);
        EXPECT_EQ(t.exists("elsewhere/victim.txt"), toAFile);
        if (toAFile) {
            EXPECT_EQ(t.read("elsewhere/victim.txt"), "precious");
        }
        EXPECT_TRUE(fs::is_symlink(t.path() / "run/ss_past_data.txt.lock"));
    }
}

TEST(ConcurrentRuns, ARunThatFindsTheLockHeldSaysSoAndWaits) {
    // Another run (here the child program) holds the database's lock. A merge run and an
    // archiver run appending to the database each say they wait, with the lock file's path, and
    // touch nothing; once the lock is released both finish, and the database holds every record.
    if (testsupport::windowsPrograms())
        GTEST_SKIP() << "the holder is a Linux process: its flock means nothing to Wine's locks";
    TempDir t;
    const std::string database = "!\rname=start.unit\rprog=0.5\r\r";
    t.write("run/ss_past_data.txt", database);
    t.write("in/s.txt", "!\rname=new.unit\rprog=0.25\r\r");
    t.write("in/r.sah", "name=wu.archived\nend_seti_header\n");
    fs::create_directories(t.path() / "out");
    fs::create_directories(t.path() / "err");
    const std::string child = "'" + testsupport::testProgramPath("test_child") + "'";
    const std::string script =
        child + " HoldLock ss_past_data.txt >../child.out & child=$!\n" +
        waitUntil("grep -q child log.txt 2>/dev/null") + command("Zarnik") +
        " -ss=../in/s.txt 2>../err/z & " + command("Brellow") +
        " ../in/r.sah ../out -ss 2>../err/b &\n" +
        waitUntil("grep -q Waiting ../err/z && grep -q Waiting ../err/b") +
        // A moment longer, to see that neither goes on while it waits.
        "sleep 0.3; cp ../err/z ../err/z.during; cp ../err/b ../err/b.during;"
        " cp ss_past_data.txt ../during.txt; rm log.txt; touch done; wait\n";
    testsupport::run("/bin/sh", {"-c", script}, t.path() / "run");
    const std::string waiting = "Waiting for Another Run: ss_past_data.txt.lock\n";
    EXPECT_EQ(t.read("child.out"), "child: true\n");
    EXPECT_EQ(t.read("err/z.during"), waiting);
    EXPECT_EQ(t.read("err/b.during"), waiting);
    EXPECT_EQ(t.read("during.txt"), database);
    EXPECT_EQ(t.read("err/z"), waiting +
                                   "Reading File: ss_past_data.txt\n"
                                   "Append SETI@Supprt Format File: ../in/s.txt\n"
                                   "2 File(s) are done\n"
                                   "Export All Data to File: ss_past_data.txt\n");
    EXPECT_EQ(t.read("err/b"), waiting);
    const std::vector<std::string> names = namesIn(t.read("run/ss_past_data.txt"));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"start.unit", "new.unit", "wu.archived"}));
    EXPECT_EQ(names.size(), 3u);
}

TEST(ConcurrentRuns, RunsWritingOnePageAndOneCopyEachPutAWholeOneInPlace) {
    // Four archiver runs at a time, three rounds each, write the page and the copy of one work
    // unit, each from a result of its own, while the shell reads both again and again. With
    // one fixed temporary name, runs removed each other's temporary files: one put another's
    // half-written file in place, the other failed. Now no run reports a failure, and every
    // reading is the old file or one run's whole page or copy.
    constexpr int Writers = 4;
    TempDir t;
    std::set<std::string> pages = {"old page"};
    std::set<std::string> copies = {"old copy"};
    for (int w = 1; w <= Writers; ++w) {
        const std::string result = bigResult(10 * w, 300000);
        t.write("in/r" + std::to_string(w) + ".sah", result);
        copies.insert(result);
        // The page each result makes, from a run of its own first.
        const std::string alone = "alone" + std::to_string(w);
        fs::create_directories(t.path() / alone);
        testsupport::run(testsupport::programPath("Brellow"),
                         {"../in/r" + std::to_string(w) + ".sah", ".", "-html=page.html"},
                         t.path() / alone);
        pages.insert(t.read(alone + "/page.html"));
    }
    ASSERT_EQ(pages.size(), Writers + 1u);
    t.write("out/page.html", "old page");
    t.write("out/wu.same.1.result", "old copy");
    fs::create_directories(t.path() / "err");
    fs::create_directories(t.path() / "seen");
    std::string script;
    for (int w = 1; w <= Writers; ++w) {
        const std::string n = std::to_string(w);
        script += "(for round in 1 2 3; do " + command("Brellow") + " ../in/r" + n +
                  ".sah . -html=page.html; done) 2>../err/w" + n + " & writers=\"$writers $!\"\n";
    }
    script +=
        "(i=0; while [ ! -f ../stop ] && [ $i -lt 400 ]; do cat page.html >../seen/p$i;"
        " cat wu.same.1.result >../seen/c$i; i=$((i+1)); done) & reader=$!\n"
        "wait $writers; touch ../stop; wait $reader\n";
    testsupport::run("/bin/sh", {"-c", script}, t.path() / "out");
    for (int w = 1; w <= Writers; ++w) EXPECT_EQ(t.read("err/w" + std::to_string(w)), "") << w;
    int readings = 0;
    for (const auto& entry : fs::directory_iterator(t.path() / "seen")) {
        const std::string name = entry.path().filename().string();
        const std::string bytes = testsupport::readBytes(entry.path());
        const auto& whole = name[0] == 'p' ? pages : copies;
        EXPECT_TRUE(whole.count(bytes) == 1)
            << name << " is no whole file, " << bytes.size() << " bytes";
        ++readings;
    }
    EXPECT_GT(readings, 0);
    EXPECT_EQ(pages.count(t.read("out/page.html")), 1u);
    EXPECT_EQ(copies.count(t.read("out/wu.same.1.result")), 1u);
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(t.path() / "out"))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"page.html", "wu.same.1.result"}));
}

TEST(ConcurrentRuns, ATemporaryFileAKilledRunLeftGoesWithTheNextRun) {
    // A run killed while it wrote leaves its temporary file behind; the next run that writes
    // the same page, copy or database removes it. Files of other names stay.
    TempDir t;
    t.write("in/result.sah", "name=wu.left\nend_seti_header\n");
    const std::map<std::string, std::string> stale = {
        {"wu.left.html.0123abcd.tmp~", "part of a page"},
        {"out/wu.left.result.89abcdef.tmp~", "part of a copy"},
        {"ss_past_data.txt.fedcba98.tmp~", "part of a database"},
    };
    const std::map<std::string, std::string> others = {
        {"wu.left.html.tmp~", "not of this run's kind"},
        {"out/other.result.0123abcd.tmp~", "of another target"},
    };
    for (const auto& [name, bytes] : stale) t.write(name, bytes);
    for (const auto& [name, bytes] : others) t.write(name, bytes);
    const auto archived = testsupport::run(testsupport::programPath("Brellow"),
                                           {"in/result.sah", "out", "-html"}, t.path());
    EXPECT_EQ(archived.err, "");
    const auto merged = testsupport::run(testsupport::programPath("Zarnik"), {"-sh=in"}, t.path());
    EXPECT_EQ(testsupport::lines(merged.err).back(), "Export All Data to File: ss_past_data.txt");
    for (const auto& [name, bytes] : stale) EXPECT_FALSE(t.exists(name)) << name;
    for (const auto& [name, bytes] : others) EXPECT_EQ(t.read(name), bytes) << name;
    EXPECT_TRUE(t.exists("wu.left.html"));
    EXPECT_TRUE(t.exists("out/wu.left.result"));
    EXPECT_EQ(namesIn(t.read("ss_past_data.txt")), std::vector<std::string>{"wu.left"});
}
