// Tests of the platform layer: directory search, date text in several zones, paths, text
// mode, and the safe replace and append under injected write faults.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

void setModified(const std::string& file, std::int64_t utcSeconds) {
    fs::last_write_time(file, std::chrono::file_clock::from_sys(
                                  std::chrono::sys_seconds{std::chrono::seconds{utcSeconds}}));
}

// Every entry a pattern yields, as "name" or "name/" for directories.
std::vector<std::string> listing(const std::string& pattern) {
    std::vector<std::string> names;
    platform::DirEntry entry;
    const int handle = platform::findFirst(pattern, entry);
    if (handle < 0) return names;
    do {
        names.push_back(entry.name + (entry.isDirectory ? "/" : ""));
    } while (platform::findNext(handle, entry));
    platform::findClose(handle);
    return names;
}

// Makes sure no injected fault outlives the test that set it.
struct FaultOff {
    ~FaultOff() { platform::failWriteCallAfter(0); }
};

}  // namespace

TEST(DirectorySearch, YieldsMatchesInByteOrderWithDirectoriesFlagged) {
    TempDir dir;
    for (const char* name : {"b.csv", "a.csv", "C.csv", "a.CSV", "\xc3\xa9.csv", "z.txt", "ab.csv"}) {
        dir.write(name, "x");
    }
    fs::create_directory(dir.path() / "sub.csv");
    fs::create_directory_symlink(dir.path() / "sub.csv", dir.path() / "link.csv");
    fs::create_symlink(dir.path() / "missing", dir.path() / "broken.csv");
    const std::string base = dir.path().string();

    struct Case {
        const char* name;
        std::string pattern;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        // Upper case before lower case, bytes above 127 after ASCII; case-sensitive.
        {"star", base + "/*.csv",
         {"C.csv", "a.csv", "ab.csv", "b.csv", "broken.csv", "link.csv/", "sub.csv/",
          "\xc3\xa9.csv"}},
        {"question mark takes one byte", base + "/?.csv", {"C.csv", "a.csv", "b.csv"}},
        {"upper-case extension", base + "/*.CSV", {"a.CSV"}},
        {"backslashes", base + "\\a*.csv", {"a.csv", "ab.csv"}},
        {"no wildcard finds that entry", base + "/z.txt", {"z.txt"}},
        {"no wildcard, directory", base + "/sub.csv", {"sub.csv/"}},
        {"no wildcard, missing", base + "/y.txt", {}},
        {"nothing matches", base + "/*.xyz", {}},
        {"missing directory", base + "/nowhere/*", {}},
        {"trailing separator", base + "/", {}},
        {"star dot star takes names without a dot", base + "/z*.*", {"z.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(listing(c.pattern), c.expected);
    }

    // "*.*" is "*" as on Windows; "." and ".." come first and are directories.
    const std::vector<std::string> all = listing(base + "/*.*");
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0], "./");
    EXPECT_EQ(all[1], "../");
    EXPECT_EQ(all.size(), listing(base + "/*").size());
}

TEST(DirectorySearch, ReportsLastWriteTimeInUtcAndKeepsSearchesApart) {
    TempDir dir;
    dir.write("one", "1");
    dir.write("two", "2");
    setModified(dir.file("one"), 1000000000);
    setModified(dir.file("two"), 86399);

    platform::DirEntry first;
    platform::DirEntry second;
    const int a = platform::findFirst(dir.file("*"), first);
    const int b = platform::findFirst(dir.file("t*"), second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(second.name, "two");
    EXPECT_EQ(second.lastWriteUtc, 86399);
    EXPECT_FALSE(platform::findNext(b, second));
    EXPECT_FALSE(platform::findNext(b, second));  // stays at the end
    platform::findClose(b);

    std::vector<std::string> names;
    while (platform::findNext(a, first)) {
        names.push_back(first.name);
        if (first.name == "one") {
            EXPECT_EQ(first.lastWriteUtc, 1000000000);
        }
    }
    platform::findClose(a);
    EXPECT_EQ(names, (std::vector<std::string>{"..", "one", "two"}));

    // A closed or unknown handle yields nothing and closing it again is harmless.
    EXPECT_FALSE(platform::findNext(a, first));
    EXPECT_FALSE(platform::findNext(-1, first));
    EXPECT_FALSE(platform::findNext(12345, first));
    platform::findClose(a);
    platform::findClose(-1);
}

// Run as a child by the test below with TZ set: prints the offset and date texts, one per line.
TEST(DISABLED_ZoneChild, PrintDateTexts) {
    std::printf("zone: %d\n", platform::zoneOffsetSeconds());
    for (std::int64_t utc : {993988800LL, 978305400LL, 951782400LL, -1LL, 0LL}) {
        std::printf("zone: %s", platform::localTimeText(utc).c_str());
    }
}

TEST(LocalTimeText, UsesTheStandardOffsetInEveryZone) {
    TempDir cwd;
    struct Case {
        const char* tz;
        std::vector<std::string> expected;
    };
    // Times: 2001-07-01 12:00:00 (summer in the north), 2000-12-31 23:30:00,
    // 2000-02-29 00:00:00, one second before 1970, the epoch. Summer time never counts.
    const std::vector<Case> cases = {
        {"UTC",
         {"0", "Sun Jul 01 12:00:00 2001", "Sun Dec 31 23:30:00 2000", "Tue Feb 29 00:00:00 2000",
          "Wed Dec 31 23:59:59 1969", "Thu Jan 01 00:00:00 1970"}},
        {"EST5EDT",
         {"-18000", "Sun Jul 01 07:00:00 2001", "Sun Dec 31 18:30:00 2000",
          "Mon Feb 28 19:00:00 2000", "Wed Dec 31 18:59:59 1969", "Wed Dec 31 19:00:00 1969"}},
        {"NZST-12NZDT",
         {"43200", "Mon Jul 02 00:00:00 2001", "Mon Jan 01 11:30:00 2001",
          "Tue Feb 29 12:00:00 2000", "Thu Jan 01 11:59:59 1970", "Thu Jan 01 12:00:00 1970"}},
        {"IST-5:30",
         {"19800", "Sun Jul 01 17:30:00 2001", "Mon Jan 01 05:00:00 2001",
          "Tue Feb 29 05:30:00 2000", "Thu Jan 01 05:29:59 1970", "Thu Jan 01 05:30:00 1970"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tz);
        const auto result = testsupport::run(
            testsupport::programPath("platform_tests"),
            {"--gtest_also_run_disabled_tests", "--gtest_filter=DISABLED_ZoneChild.*"}, cwd.path(),
            std::string("TZ=") + c.tz);
        ASSERT_EQ(result.status, 0) << result.err;
        // The child's own lines, among gtest's, are the ones marked "zone: ".
        std::vector<std::string> printed;
        for (const std::string& line : testsupport::lines(result.out)) {
            if (line.rfind("zone: ", 0) == 0) printed.push_back(line.substr(6));
        }
        EXPECT_EQ(printed, c.expected);
    }
}

TEST(LocalTimeText, SurvivesExtremeTimes) {
    for (std::int64_t utc : std::vector<std::int64_t>{INT64_MIN, INT64_MAX, -62135596800LL,
                                                      253402300799LL}) {
        SCOPED_TRACE(utc);
        const std::string text = platform::localTimeText(utc);
        ASSERT_GE(text.size(), 25u);
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(text[3], ' ');
        EXPECT_EQ(text[13], ':');
    }
}

TEST(Paths, NativePathAndProgramName) {
    EXPECT_EQ(platform::nativePath("..\\data\\*.csv"), "../data/*.csv");
    EXPECT_EQ(platform::nativePath("a/b\\c"), "a/b/c");
    EXPECT_EQ(platform::nativePath(""), "");

    struct Case {
        const char* argv0;
        const char* name;
    };
    for (const Case& c : std::vector<Case>{{"C:\\tools\\Zarnik.exe", "Zarnik.exe"},
                                           {"./build/bin/Korvath", "Korvath"},
                                           {"bin/x\\Zarnik.exe", "Zarnik.exe"},
                                           {"Quillet", "Quillet"},
                                           {"dir/", ""},
                                           {"", ""}}) {
        SCOPED_TRACE(c.argv0);
        EXPECT_EQ(platform::programName(c.argv0), c.name);
    }
}

TEST(TextMode, EveryLineFeedBecomesCrLf) {
    EXPECT_EQ(platform::textModeBytes(""), "");
    EXPECT_EQ(platform::textModeBytes("a\nb"), "a\r\nb");
    EXPECT_EQ(platform::textModeBytes("\n\n"), "\r\n\r\n");
    // A carriage return already there is kept, as the C runtime keeps it.
    EXPECT_EQ(platform::textModeBytes("a\r\n"), "a\r\r\n");
    EXPECT_EQ(platform::textModeBytes(std::string("x\0y\n", 4)), std::string("x\0y\r\n", 5));
}

TEST(Files, ReadCopyRemoveAndIsDirectory) {
    TempDir dir;
    const std::string bytes("a\r\nb\x1a\0c", 7);
    dir.write("in.bin", bytes);
    std::string read = "old";
    EXPECT_TRUE(platform::readFile(dir.file("in.bin"), read));
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(platform::readFile(dir.file("missing"), read));
    EXPECT_EQ(read, bytes);  // untouched on failure
    // A directory is no file (it once reported a huge size and ended in bad_alloc).
    EXPECT_FALSE(platform::readFile(dir.path().string(), read));
    dir.write("empty", "");
    EXPECT_TRUE(platform::readFile(dir.file("empty"), read));
    EXPECT_EQ(read, "");

    dir.write("out.bin", "longer old contents");
    EXPECT_TRUE(platform::copyFile(dir.path().string() + "\\in.bin", dir.file("out.bin")));
    EXPECT_EQ(dir.read("out.bin"), bytes);
    EXPECT_FALSE(platform::copyFile(dir.file("missing"), dir.file("x")));
    EXPECT_FALSE(dir.exists("x"));
    // Onto itself: refused, and the file keeps its bytes.
    EXPECT_FALSE(platform::copyFile(dir.file("in.bin"), dir.file("in.bin")));
    EXPECT_EQ(dir.read("in.bin"), bytes);

    EXPECT_TRUE(platform::isDirectory(dir.path().string()));
    EXPECT_FALSE(platform::isDirectory(dir.file("in.bin")));
    EXPECT_FALSE(platform::isDirectory(dir.file("missing")));
    EXPECT_TRUE(platform::removeFile(dir.file("out.bin")));
    EXPECT_FALSE(dir.exists("out.bin"));
    EXPECT_FALSE(platform::removeFile(dir.file("out.bin")));
}

TEST(SafeReplace, WritesNewFilesAndReplacesOldOnes) {
    TempDir dir;
    const std::string target = dir.file("data.txt");
    EXPECT_TRUE(platform::replaceFileContents(target, "first"));
    EXPECT_EQ(dir.read("data.txt"), "first");
    // A temporary file left by a crashed run does not stand in the way.
    dir.write("data.txt.tmp~", "stale");
    EXPECT_TRUE(platform::replaceFileContents(target, ""));
    EXPECT_EQ(dir.read("data.txt"), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    EXPECT_FALSE(platform::replaceFileContents(dir.file("nowhere/data.txt"), "x"));
}

TEST(SafeReplace, AnyFailingStepLeavesTheOldFileAsItWas) {
    FaultOff off;
    const std::string oldBytes = "old line 1\r\nold line 2\r\n";
    const std::string newBytes(100000, 'n');
    // open, write, sync, close, rename: each can fail; the sixth call is never reached.
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        TempDir dir;
        dir.write("data.txt", oldBytes);
        platform::failWriteCallAfter(n);
        const bool ok = platform::replaceFileContents(dir.file("data.txt"), newBytes);
        platform::failWriteCallAfter(0);
        EXPECT_EQ(ok, n == 6);
        EXPECT_EQ(dir.read("data.txt"), ok ? newBytes : oldBytes);
        EXPECT_FALSE(dir.exists("data.txt.tmp~"));
    }
}

TEST(SafeAppend, AnyFailingStepLeavesTheOldFileAsItWas) {
    FaultOff off;
    const std::string oldBytes = "record 1\r\n";
    const std::string added = "record 2\r\n";
    // open, write, sync fail the append; a failing close comes after the sync and no longer
    // matters; the fifth call is never reached.
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n));
        TempDir dir;
        dir.write("data.txt", oldBytes);
        platform::failWriteCallAfter(n);
        const bool ok = platform::appendFileContents(dir.file("data.txt"), added);
        platform::failWriteCallAfter(0);
        EXPECT_EQ(ok, n >= 4);
        EXPECT_EQ(dir.read("data.txt"), ok ? oldBytes + added : oldBytes);
    }
    TempDir dir;
    EXPECT_TRUE(platform::appendFileContents(dir.file("new.txt"), "a"));
    EXPECT_TRUE(platform::appendFileContents(dir.file("new.txt"), "b"));
    EXPECT_EQ(dir.read("new.txt"), "ab");
}

TEST(OutFile, OpenRulesAndTruncate) {
    FaultOff off;
    TempDir dir;
    dir.write("f", "123456");
    platform::OutFile file;
    EXPECT_FALSE(file.openNew(dir.file("f")));  // must not exist yet
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.write("x"));
    ASSERT_TRUE(file.openAppend(dir.file("f")));
    EXPECT_EQ(file.sizeAtOpen(), 6);
    EXPECT_FALSE(file.openTruncate(dir.file("g")));  // already open
    EXPECT_TRUE(file.write("789"));
    EXPECT_TRUE(file.truncate(4));
    EXPECT_TRUE(file.write("X"));  // appends at the new end
    EXPECT_FALSE(file.truncate(-1));
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(file.close());
    EXPECT_EQ(dir.read("f"), "1234X");

    ASSERT_TRUE(file.openTruncate(dir.file("f")));
    EXPECT_EQ(file.sizeAtOpen(), 0);
    platform::failWriteCallAfter(2);
    EXPECT_TRUE(file.write("a"));
    EXPECT_FALSE(file.write("b"));  // the second call from now
    EXPECT_TRUE(file.write("c"));   // one fault only
    EXPECT_TRUE(file.close());
    EXPECT_EQ(dir.read("f"), "ac");
}
