// End-to-end tests of the merge tool's run: the mode by program name, the usage text, every
// message, the runs that write nothing, and exports that must leave the old database alone.
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

std::string usage(const std::string& program, const std::string& exportFile) {
    return program +
           " for Win32\n"
           "Version 1.00  Copyright (C) 2026 the authors\n"
           "Usage: " +
           program +
           " [[[-<opt>=]<datafile or Directory>]...]\n"
           "       -i4wu: I4WU Export File(s)        ex) -i4wu=..\\i4wu\\export*.csv\n"
           "         -sl: SETILog Export File(s)     ex) -sl=..\\SETILog.csv)\n"
           "         -ss: SETI@Support Data File(s)  ex) -ss=..\\ss_past_data.txt\n"
           "         -sh: SETI@home Directory        ex) -sh=\"C:\\Program Files\\SETI@home\"\n"
           "         -ob: Orbelle Directory ex) -ob=..\\\n"
           "\n"
           "       Export file is '" +
           exportFile +
           "'.\n"
           "\n";
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

const std::string OneUnitExport = "\"Unit Name\",\"Progress\"\r\nwu.one,0.5\r\n";

// The new database cannot be written (files may not grow past 512 bytes, and the signal that
// would stop the tool is ignored), or the old one is there but will not read (a link to a
// missing file, as on an unmounted drive): it holds records the run never saw. The export is
// reported as failed and the old database stays as it was.
void expectDatabaseKept(bool sizeLimit) {
    const std::pair<std::string, std::string> databases[] = {{"Zarnik", "ss_past_data.txt"},
                                                             {"Korvath", "WUInfo.csv"}};
    for (const auto& [program, database] : databases) {
        SCOPED_TRACE(program);
        const bool supportMode = program == "Zarnik";
        TempDir t;
        t.write("in/export1.csv", OneUnitExport);
        const fs::path path = t.path() / "run" / database;
        // Small, but either database written anew is larger than 512 bytes.
        const std::string old = supportMode ? "!\rname=old.unit\rprog=0.25\r\r"
                                            : "\"name\",\"prog\"\r\n\"old.unit\",0.25\r\n";
        if (sizeLimit) {
            t.write("run/" + database, old);
        } else {
            fs::create_directories(path.parent_path());
            fs::create_symlink("../gone/db", path);
        }
        const auto r = testsupport::run(testsupport::programPath(program), {"../in/export1.csv"},
                                        t.path() / "run", "TZ=UTC",
                                        sizeLimit ? "ulimit -f 1 && trap '' XFSZ" : "");
        EXPECT_EQ(r.status, 1);
        std::vector<std::string> err;
        // Only a support data file that opened is said to be read.
        if (!supportMode || sizeLimit) err.push_back("Reading File: " + database);
        err.push_back("Append I4WU Format File: ../in/export1.csv");
        err.push_back(sizeLimit ? "2 File(s) are done" : "1 File(s) are done");
        err.push_back("Export All Data to File: " + database);
        err.push_back("Fail Export File: " + database);
        EXPECT_EQ(testsupport::lines(r.err), err);
        EXPECT_EQ(entries(t.path() / "run"), (std::vector<std::string>{database}));
        if (sizeLimit)
            EXPECT_EQ(t.read("run/" + database), old);
        else
            EXPECT_TRUE(fs::is_symlink(path));
    }
}

}  // namespace

TEST(ZarnikRun, ModeFollowsTheProgramName) {
    // Only the tool's own name keeps the support data file; every other name keeps WUInfo.csv.
    struct Case {
        const char* name;
        bool supportMode;
    };
    const Case cases[] = {{"Zarnik", true},
                          {"Zarnik.exe", true},
                          {"zarnik", false},
                          {"Zarnik2", false},
                          {"Korvath", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir t;
        // Windows programs carry their suffix: "Zarnik" is the file Zarnik.exe there.
        std::string file = c.name;
        const std::string suffix = testsupport::programSuffix();
        if (file.size() < suffix.size() ||
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
            file += suffix;
        const std::string program = (t.path() / "bin" / file).string();
        fs::create_directories(t.path() / "bin");
        fs::copy_file(testsupport::programPath("Zarnik"), program,
                      fs::copy_options::overwrite_existing);
        const fs::path run = t.path() / "run";
        fs::create_directories(run);
        const std::string database = c.supportMode ? "ss_past_data.txt" : "WUInfo.csv";
        std::vector<std::string> reading;
        if (!c.supportMode) reading.push_back("Reading File: WUInfo.csv");

        // No argument: the usage text alone, nothing read or written.
        const auto bare = testsupport::run(program, {}, run);
        EXPECT_EQ(bare.status, 0);
        EXPECT_EQ(bare.out, c.supportMode ? usage("Zarnik.exe", ".\\ss_past_data.txt")
                                          : usage("Korvath.exe", ".\\Korvath.csv"));
        EXPECT_EQ(bare.err, "");

        // Nothing read: "No Import File", and no database is made.
        const auto none = testsupport::run(program, {"nomatch*.csv"}, run);
        std::vector<std::string> err = reading;
        err.insert(err.end(), {"Cannot Open File(s): nomatch*.csv", "No Import File"});
        EXPECT_EQ(testsupport::lines(none.err), err);
        EXPECT_EQ(none.status, 1);
        EXPECT_TRUE(entries(run).empty());

        // With a source the database of the mode is written, and only that one.
        t.write("run/export1.csv", OneUnitExport);
        const auto r = testsupport::run(program, {"export1.csv"}, run);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        err = reading;
        err.insert(err.end(), {"Append I4WU Format File: .\\export1.csv", "1 File(s) are done",
                               "Export All Data to File: " + database});
        EXPECT_EQ(testsupport::lines(r.err), err);
        std::vector<std::string> expectedFiles = {database, "export1.csv"};
        std::sort(expectedFiles.begin(), expectedFiles.end());
        EXPECT_EQ(entries(run), expectedFiles);
    }
}

TEST(ZarnikRun, ModeFollowsTheExecutableHoweverItIsTyped) {
    // At a prompt the program is typed in any spelling that finds it; the mode follows the
    // executable's own file name, not the spelling (Windows: cmd finds Zarnik.exe as
    // "zarnik" or ".\\Zarnik" too).
    TempDir t;
    const std::string suffix = testsupport::programSuffix();
    const fs::path bin = t.path() / "bin";
    fs::create_directories(bin);
    fs::copy_file(testsupport::programPath("Zarnik"), bin / ("Zarnik" + suffix));
    fs::copy_file(testsupport::programPath("Zarnik"), bin / ("Korvath" + suffix));
    const std::pair<std::string, bool> windows[] = {{"Zarnik", true},     {"zarnik", true},
                                                    {".\\Zarnik", true},  {"ZARNIK.EXE", true},
                                                    {"Zarnik.exe", true}, {"korvath", false}};
    const std::pair<std::string, bool> posix[] = {
        {"Zarnik", true},   {"./Zarnik", true},   {(bin / "Zarnik").string(), true},
        {"Korvath", false}, {"./Korvath", false}, {(bin / "Korvath").string(), false}};
    const bool onWindows = testsupport::windowsPrograms();
    for (const auto& [typed, supportMode] : onWindows ? windows : posix) {
        SCOPED_TRACE(typed);
        const auto r = testsupport::runTyped(typed, bin);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(testsupport::lines(r.out).at(0),
                  supportMode ? "Zarnik.exe for Win32" : "Korvath.exe for Win32");
    }
}

TEST(ZarnikRun, EveryFailureMessage) {
    // Nothing reads, but a report directory counts even when it fails, so the (empty)
    // database is written.
    TempDir t;
    fs::create_directories(t.path() / "run");
    fs::create_directories(t.path() / "empty");
    t.write("in/notes.txt", "not a log\n");
    const auto r = testsupport::run(testsupport::programPath("Zarnik"),
                                    {"-x=1", "-SS=x", "nomatch*.csv", "-html=page.html", "../in",
                                     "-sh=../empty/", "-ob=../nowhere/", "-ob", "../in/notes.txt"},
                                    t.path() / "run");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(testsupport::lines(r.err),
              (std::vector<std::string>{
                  "Illegal Option: -x=1",
                  "Illegal Option: -SS=x",
                  "Cannot Open File(s): nomatch*.csv",
                  "Cannot Open File(s): -html=page.html",
                  "Cannot Open File(s): ../in",
                  "Append SETI@home System FIles: ../empty/*.sah",
                  "Fail Import Files: ../empty/*.sah",
                  "Append Orbelle Format File: ../nowhere/WUInfo.csv",
                  "Fail Import File: ../nowhere/WUInfo.csv",
                  // Without a value the report directory is empty: the bare name is read.
                  "Append Orbelle Format File: WUInfo.csv",
                  "Fail Import File: WUInfo.csv",
                  "No kind of SETI@home Apprication data: ../in/notes.txt",
                  "2 File(s) are done",
                  "Export All Data to File: ss_past_data.txt",
              }));
    EXPECT_EQ(t.read("run/ss_past_data.txt"), "");
}

TEST(ZarnikRun, DatabaseIsNeverLostToAFailedExport) { expectDatabaseKept(true); }

TEST(ZarnikRun, DatabaseBehindADanglingLinkIsNeverReplaced) {
    if (testsupport::windowsPrograms())
        GTEST_SKIP()
            << "symbolic links: Windows data folders hold none, and Wine sees through them";
    expectDatabaseKept(false);
}
