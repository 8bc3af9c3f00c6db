// End-to-end tests of the exit status: each failure message ends its run with status 1, even
// when the rest of the run went well; a usage text alone, progress lines and a file passed
// over as of no known kind leave it at 0. The Windows programs are held to the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/ExitStatus.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

const std::string Export = "\"Unit Name\",\"Progress\"\r\nwu.one,0.5\r\n";
const std::string Result = "name=wu.one\ncpu=5\nend_seti_header\n";

struct Case {
    const char* program;
    std::vector<std::string> args;
    std::string message;  // a line of standard error that starts so; "" for none expected
    int status;
    std::string setup = "";
};

TEST(ExitStatus, OneForEveryFailureMessageZeroOtherwise) {
    const Case cases[] = {
        // The merge tool: one failure among sources that read still fails the run.
        {"Zarnik", {"export1.csv"}, "Export All Data to File: ", 0},
        {"Zarnik", {}, "", 0},  // the usage text
        {"Zarnik", {"export1.csv", "notes.txt"}, "No kind of SETI@home Apprication data: ", 0},
        {"Zarnik", {"-x=1", "export1.csv"}, "Illegal Option: -x=1", 1},
        {"Zarnik", {"nomatch*.csv", "export1.csv"}, "Cannot Open File(s): nomatch*.csv", 1},
        {"Zarnik", {"-ob=../nowhere/", "export1.csv"}, "Fail Import File: ", 1},
        {"Zarnik", {"-sh=empty/", "export1.csv"}, "Fail Import Files: ", 1},
        {"Zarnik", {"notes.txt"}, "No Import File", 1},
        {"Korvath",
         {"export1.csv"},
         "Fail Export File: WUInfo.csv",
         1,
         "ulimit -f 1 && trap '' XFSZ"},
        // The archiver.
        {"Brellow", {"result.sah", "out"}, "", 0},
        {"Brellow", {"result.sah"}, "", 0},  // the usage text
        {"Brellow", {"result.sah", "-ss"}, "Too Few Parameter", 1},
        {"Brellow", {"result.sah", "out", "x"}, "Too Many Parameter: x", 1},
        {"Brellow", {"result.sah", "out", "-x"}, "Illegal Option: -x", 1},
        {"Brellow", {"missing.sah", "out"}, "File not found: missing.sah", 1},
        {"Brellow", {"result.sah", "nowhere"}, "Illegal File: ", 1},
        // The page tool.
        {"Quillet", {"result.sah"}, "", 0},
        {"Quillet", {}, "", 0},  // the usage text
        {"Quillet", {"missing.sah"}, "File not found: missing.sah", 1},
        {"Quillet", {"notes.txt"}, "Illegal File: notes.txt", 1},
        {"Quillet", {"result.sah", "nowhere/page.html"}, "Illegal File: ", 1},
    };
    for (const Case& c : cases) {
        std::string what = c.program;
        for (const std::string& arg : c.args) what += " " + arg;
        SCOPED_TRACE(what);
        TempDir t;
        t.write("export1.csv", Export);
        t.write("notes.txt", "not a log\n");
        t.write("result.sah", Result);
        fs::create_directories(t.path() / "empty");
        fs::create_directories(t.path() / "out");
        const auto r = testsupport::run(testsupport::programPath(c.program), c.args, t.path(),
                                        "TZ=UTC", c.setup);
        EXPECT_EQ(r.status, c.status) << r.err;
        // The status the messages call for is the status the run gave.
        EXPECT_EQ(testsupport::statusFor(r.err), c.status) << r.err;
        bool found = c.message.empty();
        for (const std::string& line : testsupport::lines(r.err)) {
            if (line.rfind(c.message, 0) == 0) found = true;
        }
        EXPECT_TRUE(found) << r.err;
    }
}

TEST(ExitStatus, ChainedRunsStopAtTheFirstFailure) {
    // What a script or scheduler sees: `a && b` goes on only after a run that succeeded.
    if (testsupport::windowsPrograms())
        GTEST_SKIP() << "Wine's cmd starts the command after && before the first one's status is in"
                        " (the status itself is checked above)";
    TempDir t;
    t.write("result.sah", Result);
    const std::string program = "Quillet" + testsupport::programSuffix();
    fs::copy_file(testsupport::programPath("Quillet"), t.path() / program);
    const auto ok =
        testsupport::runTyped("Quillet result.sah && Quillet result.sah b.html", t.path());
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_TRUE(t.exists("b.html"));
    const auto failed = testsupport::runTyped(
        "Quillet missing.sah > out.txt && Quillet result.sah c.html", t.path());
    EXPECT_EQ(failed.status, 1);
    EXPECT_FALSE(t.exists("c.html"));
}

TEST(ExitStatus, WildcardsNeverReadTheRunsOwnLockFile) {
    // The merge tool holds ss_past_data.txt.lock (WUInfo.csv.lock) beside its database while it
    // reads the sources; a pattern over that folder passes it over.
    const std::pair<std::string, std::string> modes[] = {{"Zarnik", "ss_past_data.txt"},
                                                         {"Korvath", "WUInfo.csv"}};
    for (const auto& [program, database] : modes) {
        for (const char* pattern : {"*", "-i4wu=*"}) {
            SCOPED_TRACE(program + " " + std::string(pattern));
            TempDir t;
            t.write("export1.csv", Export);
            const auto first =
                testsupport::run(testsupport::programPath(program), {"export1.csv"}, t.path());
            ASSERT_EQ(first.status, 0) << first.err;
            const auto r = testsupport::run(testsupport::programPath(program), {pattern}, t.path());
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err.find(".lock"), std::string::npos) << r.err;
            // The database at the start, the export, and the database again as a source of
            // its kind (or as an I4WU export under -i4wu): the lock file adds nothing.
            const std::vector<std::string> err = testsupport::lines(r.err);
            EXPECT_NE(std::find(err.begin(), err.end(), "3 File(s) are done"), err.end()) << r.err;
            EXPECT_FALSE(t.exists(database + ".lock"));
        }
    }
}

}  // namespace
