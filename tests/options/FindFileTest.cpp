// Tests of the file finder over a real temporary directory, and of the file-type rule.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "options/FindFile.h"
#include "platform/platform.h"
#include "record/ATime.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

// Every name a search of `pattern` yields, in order.
static std::vector<std::string> namesFound(FindFile& finder, const std::string& pattern) {
    std::vector<std::string> names;
    for (std::string name = finder.find(pattern); !name.empty(); name = finder.find())
        names.push_back(name);
    return names;
}

TEST(FindFile, DirectoryPartOfThePattern) {
    // Backslash and slash both separate directories.
    const std::pair<const char*, const char*> cases[] = {
        {"*.csv", ".\\"},
        {"..\\data\\*.csv", "..\\data\\"},
        {"../data/*.csv", "../data/"},
        {"a\\b/c*.csv", "a\\b/"},
        {"", ".\\"},
    };
    for (const auto& [pattern, directory] : cases) {
        SCOPED_TRACE(pattern);
        FindFile finder;
        finder.find(pattern);
        EXPECT_EQ(finder.pattern, pattern);
        EXPECT_EQ(finder.directory, directory);
    }
}

TEST(FindFile, YieldsRegularFilesOnly) {
    TempDir dir;
    for (const char* name : {"b.csv", "a.csv", "B.csv"}) dir.write(name, "x");
    fs::create_directory(dir.path() / "0dir.csv");
    fs::create_directory(dir.path() / "z.csv");
    const std::int64_t when = 1000000000;
    fs::last_write_time(
        dir.file("a.csv"),
        std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{when}}));
    const std::string base = dir.path().string();

    const std::pair<std::string, std::vector<std::string>> cases[] = {
        // "." and ".." and the directories are passed over, wherever they stand.
        {base + "\\*", {"a.csv", "B.csv", "b.csv"}},
        {base + "/z.csv", {}},
        {base + "/none/*.csv", {}},
    };
    for (const auto& [pattern, expected] : cases) {
        SCOPED_TRACE(pattern);
        FindFile finder;
        EXPECT_EQ(namesFound(finder, pattern), expected);
        EXPECT_EQ(finder.handle, -1);  // closed when the search ran out
        EXPECT_EQ(finder.find(), "");
    }

    // The time text of the file found, and the directory to open it by.
    FindFile finder;
    ASSERT_EQ(finder.find(base + "/a*"), "a.csv");
    EXPECT_EQ(finder.modified, ATime::fileTimeText(when, platform::zoneOffsetSeconds()));
    EXPECT_EQ(testsupport::readBytes(finder.directory + finder.name), "x");
    // The pattern may be one of the finder's own texts, here a full path kept in `name`.
    finder.name = base + "/b.csv";
    EXPECT_EQ(finder.find(finder.name), "b.csv");
    EXPECT_EQ(finder.pattern, base + "/b.csv");
    finder.close();
    EXPECT_EQ(finder.handle, -1);

    // Searches that end early give their handles back.
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(FindFile().find(base + "/a*"), "a.csv");
}

TEST(FindFile, WildcardsPassOverTheDatabasesLockFiles) {
    TempDir dir;
    for (const char* name : {"a.csv", "ss_past_data.txt.lock", "WUInfo.csv.lock", "WUINFO.CSV.LOCK",
                             "x.csv.lock", "ss_past_data.txt.lock2"})
        dir.write(name, "x");
    const std::string base = dir.path().string();
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {base + "/*", {"a.csv", "ss_past_data.txt.lock2", "x.csv.lock"}},
        {base + "\\*.lock", {"x.csv.lock"}},
        {base + "/ss_past_data.txt.loc?", {}},
        // Named without a wildcard, a lock file is read as any file.
        {base + "/ss_past_data.txt.lock", {"ss_past_data.txt.lock"}},
        {base + "/WUInfo.csv.lock", {"WUInfo.csv.lock"}},
    };
    for (const auto& [pattern, expected] : cases) {
        SCOPED_TRACE(pattern);
        FindFile finder;
        EXPECT_EQ(namesFound(finder, pattern), expected);
    }
}

TEST(FindFile, ModifiedTextReadsBackAsTheExactUtcTimeInEveryZone) {
    const std::vector<std::string> expected = {"2001-07-01 12:00:00", "2000-12-31 23:30:00",
                                               "2000-02-29 00:00:00"};
    TempDir cwd;
    for (const char* tz : {"UTC", "EST5EDT", "NZST-12NZDT", "IST-5:30"}) {
        SCOPED_TRACE(tz);
        const auto result = testsupport::run(testsupport::testProgramPath("test_child"),
                                             {"FileTimes"}, cwd.path(), std::string("TZ=") + tz);
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<std::string> printed;
        for (const std::string& line : testsupport::lines(result.out)) {
            if (line.rfind("child: ", 0) == 0) printed.push_back(line.substr(7));
        }
        EXPECT_EQ(printed, expected);
    }
}

TEST(DetectInputType, ByBareName) {
    const std::pair<const char*, InputType> cases[] = {
        {"WUInfo.CSV", InputType::WuInfo},        {"wuinfo.csv", InputType::I4wu},
        {"export.Csv", InputType::Unknown},       {"st_export.csv", InputType::Unknown},
        {"SETILog.csv", InputType::SetiLog},      {"ss_past_data.txt", InputType::Support},
        {"SS_PAST_DATA.TXT", InputType::Unknown}, {"WUInfo SETILog.csv", InputType::WuInfo},
        {"SETILog st_.csv", InputType::SetiLog},  {"x/ss_past_data.txt", InputType::Unknown},
        {"WUInfo.csv.bak", InputType::Unknown},   {"csv", InputType::Unknown},
    };
    for (const auto& [name, type] : cases) EXPECT_EQ(detectInputType(name), type) << name;
}
