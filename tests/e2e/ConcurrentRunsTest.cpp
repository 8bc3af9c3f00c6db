// End-to-end: runs on one database at the same time. Two merge runs once lost one run's
// records while both reported success; now runs take turns on the database's lock, Brellow's
// append to it among them, and every record of every run is in the database at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
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
    for (int k = 1; k <= Appends; ++k) EXPECT_EQ(t.read("err/b" + std::to_string(k)), "") << k;
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
