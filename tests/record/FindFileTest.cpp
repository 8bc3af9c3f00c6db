// Tests of the file finder over a real temporary directory, and of the file-type rule.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "record/ATime.h"
#include "record/FindFile.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

std::vector<std::string> allNames(FindFile& finder, const std::string& pattern) {
    std::vector<std::string> names;
    for (std::string name = finder.find(pattern); !name.empty(); name = finder.find()) {
        names.push_back(name);
    }
    return names;
}

}  // namespace

TEST(FindFile, DirectoryPartOfThePattern) {
    struct Case {
        const char* pattern;
        const char* directory;
    };
    const std::vector<Case> cases = {
        {"*.csv", ".\\"},
        {"..\\data\\*.csv", "..\\data\\"},
        {"../data/*.csv", "../data/"},
        {"a\\b/c*.csv", "a\\b/"},
        {"C:\\seti\\", "C:\\seti\\"},
        {"", ".\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        FindFile finder;
        finder.find(c.pattern);
        EXPECT_EQ(finder.pattern, c.pattern);
        EXPECT_EQ(finder.directory, c.directory);
    }
}

TEST(FindFile, YieldsRegularFilesInByteOrder) {
    TempDir dir;
    for (const char* name : {"b.csv", "a.csv", "B.csv", "notes.txt"}) dir.write(name, "x");
    fs::create_directory(dir.path() / "0dir.csv");
    fs::create_directory(dir.path() / "z.csv");
    const std::int64_t when = 1000000000;
    fs::last_write_time(dir.file("a.csv"), std::chrono::file_clock::from_sys(
                                               std::chrono::sys_seconds{std::chrono::seconds{when}}));
    const std::string base = dir.path().string();

    struct Case {
        const char* name;
        std::string pattern;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"slashes", base + "/*.csv", {"B.csv", "a.csv", "b.csv"}},
        {"backslashes", base + "\\*.csv", {"B.csv", "a.csv", "b.csv"}},
        {"everything", base + "/*", {"B.csv", "a.csv", "b.csv", "notes.txt"}},
        {"one file", base + "/notes.txt", {"notes.txt"}},
        {"a directory by name", base + "/z.csv", {}},
        {"nothing matches", base + "/*.xyz", {}},
        {"missing directory", base + "/none/*.csv", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FindFile finder;
        EXPECT_EQ(allNames(finder, c.pattern), c.names);
        EXPECT_EQ(finder.handle, -1);  // closed when the search ran out
        EXPECT_EQ(finder.name, "");
        EXPECT_EQ(finder.find(), "");
    }

    // The time text of the file found, and the directory to open it by.
    FindFile finder;
    ASSERT_EQ(finder.find(base + "/a*"), "a.csv");
    EXPECT_EQ(finder.modified, platform::localTimeText(when));
    EXPECT_EQ(finder.directory, base + "/");
    EXPECT_EQ(testsupport::readBytes(finder.directory + finder.name), "x");
    EXPECT_NE(finder.handle, -1);

    // A new search ends the old one.
    ASSERT_EQ(finder.find(base + "/n*"), "notes.txt");
    EXPECT_EQ(finder.find(), "");
    // The pattern may be one of the finder's own texts, here a full path kept in `name`.
    finder.name = base + "/b.csv";
    EXPECT_EQ(finder.find(finder.name), "b.csv");
    EXPECT_EQ(finder.pattern, base + "/b.csv");
    finder.close();
    EXPECT_EQ(finder.handle, -1);
}

TEST(FindFile, DirectoryWithOnlyDotEntriesGivesNothing) {
    TempDir dir;
    FindFile finder;
    EXPECT_EQ(finder.find(dir.path().string() + "\\*"), "");
    EXPECT_EQ(finder.find(dir.path().string() + "/*.*"), "");
    EXPECT_EQ(finder.handle, -1);
}

TEST(FindFile, ManySearchesDoNotRunOutOfHandles) {
    TempDir dir;
    dir.write("f", "");
    for (int i = 0; i < 3000; ++i) {
        FindFile finder;
        ASSERT_EQ(finder.find(dir.file("*")), "f");
    }
}

// Run as a child with TZ set by the test below: each file time's text read back as local time.
TEST(DISABLED_ModifiedChild, PrintReadBack) {
    for (std::int64_t utc : {993988800LL, 978305400LL, 951782400LL, 1700000000LL}) {
        ATime time;
        time.parseLocal(platform::localTimeText(utc));
        std::printf("utc: %04d-%02d-%02d %02d:%02d:%02d\n", time.year, time.month, time.day,
                    time.hour, time.minute, time.second);
    }
}

TEST(FindFile, ModifiedTextReadsBackAsTheExactUtcTimeInEveryZone) {
    const std::vector<std::string> expected = {"2001-07-01 12:00:00", "2000-12-31 23:30:00",
                                               "2000-02-29 00:00:00", "2023-11-14 22:13:20"};
    TempDir cwd;
    for (const char* tz : {"UTC", "EST5EDT", "CET-1CEST", "NZST-12NZDT", "IST-5:30", "HST10"}) {
        SCOPED_TRACE(tz);
        const auto result = testsupport::run(
            testsupport::programPath("record_tests"),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=DISABLED_ModifiedChild.*"},
            cwd.path(), std::string("TZ=") + tz);
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<std::string> printed;
        for (const std::string& line : testsupport::lines(result.out)) {
            if (line.rfind("utc: ", 0) == 0) printed.push_back(line.substr(5));
        }
        EXPECT_EQ(printed, expected);
    }
}

TEST(DetectInputType, ByBareName) {
    struct Case {
        const char* name;
        int type;
    };
    const std::vector<Case> cases = {
        {"WUInfo.csv", 0},          {"WUInfo.CSV", 0},        {"my WUInfo copy.csv", 0},
        {"wuinfo.csv", 1},          {"export.csv", 1},        {"export.Csv", -1},
        {"st_export.csv", -1},      {"SETILog.csv", 2},       {"old SETILog.CSV", 2},
        {"WUInfo SETILog.csv", 0},  {"SETILog st_.csv", 2},   {"setilog.csv", 1},
        {"ss_past_data.txt", 3},    {"SS_PAST_DATA.TXT", -1}, {"x/ss_past_data.txt", -1},
        {"WUInfo.csv.bak", -1},     {"csv", -1},              {".csv", 1},
        {"", -1},                   {"WUInfo", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(detectInputType(c.name), c.type);
    }
}
