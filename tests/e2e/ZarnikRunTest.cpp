// End-to-end tests of the merge tool's run: the mode by program name, the usage text, every
// message, the runs that write nothing, and a failed export that keeps the old database.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

std::string usage(const std::string& program, const std::string& exportFile) {
    return program + " for Win32\n"
                     "Version 1.00  Copyright (C) 2026 the authors\n"
                     "Usage: " + program + " [[[-<opt>=]<datafile or Directory>]...]\n"
           "       -i4wu: I4WU Export File(s)        ex) -i4wu=..\\i4wu\\export*.csv\n"
           "         -sl: SETILog Export File(s)     ex) -sl=..\\SETILog.csv)\n"
           "         -ss: SETI@Support Data File(s)  ex) -ss=..\\ss_past_data.txt\n"
           "         -sh: SETI@home Directory        ex) -sh=\"C:\\Program Files\\SETI@home\"\n"
           "         -ob: Orbelle Directory ex) -ob=..\\\n"
           "\n"
           "       Export file is '" + exportFile + "'.\n"
           "\n";
}

const std::string SupportUsage = usage("Zarnik.exe", ".\\ss_past_data.txt");
const std::string WuInfoUsage = usage("Korvath.exe", ".\\Korvath.csv");

// A copy of the built merge tool under another file name.
std::string copyOfTool(const TempDir& t, const std::string& name) {
    const fs::path to = t.path() / "bin" / name;
    fs::create_directories(to.parent_path());
    fs::copy_file(testsupport::programPath("Zarnik"), to);
    return to.string();
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

const std::string OneUnitExport = "\"Unit Name\",\"Progress\"\r\nwu.one,0.5\r\n";

}  // namespace

TEST(ZarnikRun, ModeFollowsTheProgramName) {
    // Only the tool's own name keeps the support data file; every other name keeps WUInfo.csv.
    struct Case {
        const char* name;
        bool supportMode;
    };
    const Case cases[] = {{"Zarnik", true},   {"Zarnik.exe", true}, {"zarnik", false},
                          {"zarnik.exe", false}, {"Korvath", false},  {"Zarnik2", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir t;
        const std::string program = copyOfTool(t, c.name);
        fs::create_directories(t.path() / "run");

        // No argument: the usage text alone, nothing read or written.
        const auto bare = testsupport::run(program, {}, t.path() / "run");
        EXPECT_EQ(bare.status, 0);
        EXPECT_EQ(bare.out, c.supportMode ? SupportUsage : WuInfoUsage);
        EXPECT_EQ(bare.err, "");
        EXPECT_TRUE(entries(t.path() / "run").empty());

        // With a source the database of the mode is written, and only that one.
        t.write("run/export1.csv", OneUnitExport);
        const auto r = testsupport::run(program, {"export1.csv"}, t.path() / "run");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        const std::string database = c.supportMode ? "ss_past_data.txt" : "WUInfo.csv";
        std::vector<std::string> expectedErr;
        if (!c.supportMode) expectedErr.push_back("Reading File: WUInfo.csv");
        expectedErr.push_back("Append I4WU Format File: .\\export1.csv");
        expectedErr.push_back("1 File(s) are done");
        expectedErr.push_back("Export All Data to File: " + database);
        EXPECT_EQ(testsupport::lines(r.err), expectedErr);
        std::vector<std::string> expectedFiles = {database, "export1.csv"};
        std::sort(expectedFiles.begin(), expectedFiles.end());
        EXPECT_EQ(entries(t.path() / "run"), expectedFiles);
    }
}

TEST(ZarnikRun, BuiltProgramsAndTheirUsage) {
    TempDir t;
    const auto zarnik = testsupport::run(testsupport::programPath("Zarnik"), {}, t.path());
    EXPECT_EQ(zarnik.out, SupportUsage);
    const auto korvath = testsupport::run(testsupport::programPath("Korvath"), {}, t.path());
    EXPECT_EQ(korvath.out, WuInfoUsage);
    EXPECT_EQ(korvath.err, "");
    EXPECT_TRUE(entries(t.path()).empty());
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
                                     "-sh=../empty/", "-ob=../nowhere/", "-ob",
                                     "../in/notes.txt"},
                                    t.path() / "run");
    EXPECT_EQ(r.status, 0);
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

TEST(ZarnikRun, NothingReadWritesNothing) {
    struct Case {
        const char* program;
        std::vector<std::string> err;
    };
    const std::vector<std::string> failures = {
        "Illegal Option: -x=1",
        "Cannot Open File(s): nomatch*.csv",
        "Append SETI@home System FIles: ../empty/*.sah",
        "Fail Import Files: ../empty/*.sah",
        "No Import File",
    };
    std::vector<std::string> wuInfoErr = {"Reading File: WUInfo.csv"};
    wuInfoErr.insert(wuInfoErr.end(), failures.begin(), failures.end());
    const Case cases[] = {{"Zarnik", failures}, {"Korvath", wuInfoErr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        TempDir t;
        fs::create_directories(t.path() / "run");
        fs::create_directories(t.path() / "empty");
        const auto r = testsupport::run(testsupport::programPath(c.program),
                                        {"-x=1", "nomatch*.csv", "-sh=../empty/"},
                                        t.path() / "run");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(testsupport::lines(r.err), c.err);
        EXPECT_TRUE(entries(t.path() / "run").empty());
    }
}

TEST(ZarnikRun, FailedExportKeepsTheOldDatabase) {
    // Files may not grow past 512 bytes for the tool (the signal that would stop it is
    // ignored), so the new database cannot be written: the old one stays byte for byte and
    // no temporary file is left.
    struct Case {
        const char* program;
        const char* database;
        std::string bytes;
    };
    std::string wuInfo = "\"name\",\"prog\"\r\n";
    for (int i = 0; i < 40; ++i) wuInfo += "\"old.unit." + std::to_string(i) + "\",0.25\r\n";
    std::string support;
    for (int i = 0; i < 40; ++i) support += "!\rname=old.unit." + std::to_string(i) + "\rprog=0.25\r\r";
    const Case cases[] = {{"Zarnik", "ss_past_data.txt", support},
                          {"Korvath", "WUInfo.csv", wuInfo}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        TempDir t;
        t.write("run/" + std::string(c.database), c.bytes);
        t.write("in/export1.csv", OneUnitExport);
        t.write("limited.sh", "trap '' XFSZ\nulimit -f 1\nexec \"$@\"\n");
        const auto r = testsupport::run("/bin/sh",
                                        {t.file("limited.sh"), testsupport::programPath(c.program),
                                         "../in/export1.csv"},
                                        t.path() / "run");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(testsupport::lines(r.err),
                  (std::vector<std::string>{
                      std::string("Reading File: ") + c.database,
                      "Append I4WU Format File: ../in/export1.csv",
                      "2 File(s) are done",
                      std::string("Export All Data to File: ") + c.database,
                      std::string("Fail Export File: ") + c.database,
                  }));
        EXPECT_EQ(t.read("run/" + std::string(c.database)), c.bytes);
        EXPECT_EQ(entries(t.path() / "run"), (std::vector<std::string>{c.database}));
    }
}

TEST(ZarnikRun, DatabaseThatWillNotReadIsNeverReplaced) {
    // The database is there but cannot be read: it holds records the run never saw, so the
    // run reads its sources and reports the export as failed instead of rewriting it.
    struct Case {
        const char* program;
        const char* database;
        // A link to a missing file (an unmounted drive, say), else a file without read permission.
        bool asLink;
    };
    const Case cases[] = {{"Zarnik", "ss_past_data.txt", true},
                          {"Korvath", "WUInfo.csv", true},
                          {"Zarnik", "ss_past_data.txt", false},
                          {"Korvath", "WUInfo.csv", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + (c.asLink ? ": dangling link" : ": unreadable"));
        TempDir t;
        t.write("in/export1.csv", OneUnitExport);
        const fs::path database = t.path() / "run" / c.database;
        if (c.asLink) {
            fs::create_directories(database.parent_path());
            fs::create_symlink("../gone/db", database);
        } else {
            t.write(std::string("run/") + c.database, "!\rname=old.unit\rprog=0.5\r\r");
            fs::permissions(database, fs::perms::owner_write);
            // With privileges that read every file this case shows nothing: leave it out.
            if (std::ifstream(database).is_open()) continue;
        }
        const auto r = testsupport::run(testsupport::programPath(c.program), {"../in/export1.csv"},
                                        t.path() / "run");
        std::vector<std::string> expectedErr;
        if (std::string(c.program) == "Korvath") expectedErr.push_back("Reading File: WUInfo.csv");
        expectedErr.push_back("Append I4WU Format File: ../in/export1.csv");
        expectedErr.push_back("1 File(s) are done");
        expectedErr.push_back(std::string("Export All Data to File: ") + c.database);
        expectedErr.push_back(std::string("Fail Export File: ") + c.database);
        EXPECT_EQ(testsupport::lines(r.err), expectedErr);
        EXPECT_EQ(entries(t.path() / "run"), (std::vector<std::string>{c.database}));
        if (c.asLink) {
            EXPECT_TRUE(fs::is_symlink(database));
        } else {
            fs::permissions(database, fs::perms::owner_read | fs::perms::owner_write);
            EXPECT_EQ(t.read(std::string("run/") + c.database), "!\rname=old.unit\rprog=0.5\r\r");
        }
    }
}
