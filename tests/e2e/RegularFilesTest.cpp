// End-to-end runs with FIFOs and a device where files belong: a FIFO once kept the programs
// waiting for ever, /dev/zero filled the memory, and a FIFO database was replaced by a plain
// file. Each now counts as a file that would not open, with the message for that, at once,
// and stays what it is.
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
using Lines = std::vector<std::string>;

void makeFifo(const TempDir& t, const std::string& relative) {
    fs::create_directories((t.path() / relative).parent_path());
    testsupport::run("/bin/sh", {"-c", "mkfifo '" + relative + "'"}, t.path());
    ASSERT_TRUE(fs::is_fifo(t.path() / relative)) << relative;
}

Lines entries(const fs::path& dir) {
    Lines out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(RegularFiles, MergeToolPassesOverFifosAndDevices) {
    if (testsupport::windowsPrograms()) GTEST_SKIP() << "FIFOs and /dev/zero are POSIX files";
    for (const std::string program : {"Zarnik", "Korvath"}) {
        SCOPED_TRACE(program);
        const std::string database = program == "Zarnik" ? "ss_past_data.txt" : "WUInfo.csv";
        TempDir t;
        makeFifo(t, "run/" + database);
        makeFifo(t, "in/source.txt");
        makeFifo(t, "in/client/result.sah");
        makeFifo(t, "in/report/WUInfo.csv");
        t.write("in/export1.csv", "\"Unit Name\",\"Progress\"\r\nwu.one,0.5\r\n");
        const auto r =
            testsupport::run(testsupport::programPath(program),
                             {"-ss=../in/source.txt", "-i4wu=../in/source.txt", "-sl=/dev/zero",
                              "-sh=../in/client/", "-ob=../in/report/", "../in/export1.csv"},
                             t.path() / "run");
        EXPECT_EQ(r.status, 1);
        Lines err;
        if (program == "Korvath") err.push_back("Reading File: WUInfo.csv");
        err.insert(err.end(), {"Append SETI@home System FIles: ../in/client/*.sah",
                               "Fail Import Files: ../in/client/*.sah",
                               "Append Orbelle Format File: ../in/report/WUInfo.csv",
                               "Fail Import File: ../in/report/WUInfo.csv",
                               "Append I4WU Format File: ../in/export1.csv",
                               // The report directory counts whether or not it was read.
                               "2 File(s) are done", "Export All Data to File: " + database,
                               // A database that is there but was not read is not replaced.
                               "Fail Export File: " + database});
        EXPECT_EQ(testsupport::lines(r.err), err);
        EXPECT_TRUE(fs::is_fifo(t.path() / "run" / database));
        EXPECT_EQ(entries(t.path() / "run"), Lines{database});
    }
}

// Files typed by their names: a WUInfo.csv table is reported before it is opened, so it gets
// its message also when it does not open; the other kinds only once they opened. None of
// them counts as read.
TEST(RegularFiles, MergeToolReportsATableThatWouldNotOpenOnlyByItsKind) {
    if (testsupport::windowsPrograms()) GTEST_SKIP() << "FIFOs are POSIX files";
    TempDir t;
    fs::create_directories(t.path() / "run");
    for (const char* name : {"WUInfo.csv", "SETILog.csv", "export1.csv", "ss_past_data.txt"})
        makeFifo(t, std::string("in/") + name);
    const auto r = testsupport::run(
        testsupport::programPath("Zarnik"),
        {"../in/SETILog.csv", "../in/WUInfo.csv", "../in/export1.csv", "../in/ss_past_data.txt"},
        t.path() / "run");
    EXPECT_EQ(testsupport::lines(r.err),
              (Lines{"Orbelle File: ../in/WUInfo.csv", "No Import File"}));
    EXPECT_EQ(entries(t.path() / "run"), Lines{});
}

TEST(RegularFiles, ResultToolsRefuseFifosAsResultPageCopyOrSupportFile) {
    if (testsupport::windowsPrograms()) GTEST_SKIP() << "FIFOs are POSIX files";
    struct Case {
        const char* what;
        std::string program;
        Lines args;
        std::string err;
        bool usage;
        Lines fifos;  // under the run's directory, each still a FIFO afterwards
    };
    const Case cases[] = {
        {"Quillet, FIFO result",
         "Quillet",
         {"result.fifo"},
         "File not found: result.fifo\n",
         true,
         {"result.fifo"}},
        {"Quillet, FIFO page",
         "Quillet",
         {"in/result.sah", "page.fifo"},
         "Illegal File: page.fifo\n",
         false,
         {"page.fifo"}},
        {"Brellow, FIFO result",
         "Brellow",
         {"result.fifo", "out", "-ss", "-html"},
         "File not found: result.fifo\n",
         true,
         {"result.fifo"}},
        {"Brellow, FIFO page, copy and support file",
         "Brellow",
         {"in/result.sah", "out", "-html=page.fifo", "-ss=ss.fifo"},
         "Illegal File: page.fifo\nIllegal File: out\\wu.one.result\nIllegal File: ss.fifo\n",
         false,
         {"page.fifo", "out/wu.one.result", "ss.fifo"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir t;
        t.write("in/result.sah", "name=wu.one\nend_seti_header\n");
        fs::create_directories(t.path() / "out");
        for (const std::string& fifo : c.fifos) makeFifo(t, fifo);
        const auto r = testsupport::run(testsupport::programPath(c.program), c.args, t.path());
        EXPECT_EQ(r.status, testsupport::statusFor(c.err));
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out.find("Usage: " + c.program + ".exe") != std::string::npos, c.usage);
        for (const std::string& fifo : c.fifos) EXPECT_TRUE(fs::is_fifo(t.path() / fifo)) << fifo;
        EXPECT_EQ(entries(t.path() / "in"), Lines{"result.sah"});
        // No temporary file stays beside a refused target.
        for (const auto& e : fs::recursive_directory_iterator(t.path()))
            EXPECT_NE(e.path().filename().string().back(), '~') << e.path();
    }
}
