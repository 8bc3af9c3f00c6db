// Tests of the Windows half of the platform layer, built with MinGW-w64 and run under Wine (or
// Windows): the program's own name, the order of directory entries, file times in a zone with
// summer time, the safe replace through MoveFileExA and the copy to a temporary file renamed
// over the target, writers of one file at once, and the data file lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "options/FindFile.h"
#include "platform/WriteFaults.h"
#include "platform/platform.h"
#include "record/ATime.h"
#include "support/TempDir.h"
#include "tests/platform/LockWait.h"
#include "tests/platform/ReplaceWhole.h"

namespace fs = std::filesystem;
using testsupport::TempDir;
using Names = std::vector<std::string>;

namespace {

// Every regular file a pattern yields, in the finder's order.
Names found(const std::string& pattern) {
    Names names;
    FindFile finder;
    for (std::string name = finder.find(pattern); !name.empty(); name = finder.find())
        names.push_back(name);
    return names;
}

std::string windowsPath(const fs::path& path) { return path.string(); }

void setModified(const fs::path& file, std::int64_t utcSeconds) {
    const std::chrono::sys_seconds when{std::chrono::seconds{utcSeconds}};
    fs::last_write_time(file, std::chrono::file_clock::from_sys(when));
}

// The names of the temporary files in a directory: those that end in ".tmp~".
Names temporariesIn(const fs::path& dir) {
    Names names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".tmp~")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(Win32Platform, ProgramNameIsTheExecutablesOwnWhateverWasTyped) {
    // argv[0] is what was typed ("zarnik", ".\\Zarnik"); the name is the file's own spelling.
    const std::string own = platform::programName("");
    EXPECT_EQ(own, "windows_tests.exe");
    for (const char* typed : {"windows_tests", ".\\WINDOWS_TESTS", "C:\\x\\Zarnik.exe", "zarnik"})
        EXPECT_EQ(platform::programName(typed), own) << typed;
}

TEST(Win32Platform, DirectoryEntriesComeInNtfsOrder) {
    // The file system below Wine (or a FAT stick) yields its own order; the layer sorts.
    TempDir dir;
    for (const char* name : {"b.csv", "Alpha2.csv", "_under.csv", "ZZ.csv", "alpha.csv", "9.csv",
                             "10.csv", "Beta.csv", "notes.txt"})
        dir.write(name, "x");
    fs::create_directory(dir.path() / "sub.csv");
    const std::string base = windowsPath(dir.path());
    EXPECT_EQ(found(base + "\\*.csv"), (Names{"10.csv", "9.csv", "alpha.csv", "Alpha2.csv", "b.csv",
                                              "Beta.csv", "ZZ.csv", "_under.csv"}));
    // Matching is the OS's own: case-insensitive here.
    EXPECT_EQ(found(base + "\\A*.CSV"), (Names{"alpha.csv", "Alpha2.csv"}));
    EXPECT_EQ(found(base + "\\*.txt"), (Names{"notes.txt"}));
    // The search itself yields the directory too, but not the folder's "." and "..".
    Names all;
    for (const platform::DirEntry& entry : platform::listFiles(base + "\\*"))
        all.push_back(entry.name + (entry.isDirectory ? "\\" : ""));
    EXPECT_EQ(all, (Names{"10.csv", "9.csv", "alpha.csv", "Alpha2.csv", "b.csv", "Beta.csv",
                          "notes.txt", "sub.csv\\", "ZZ.csv", "_under.csv"}));
}

TEST(Win32Platform, FileTimesReadBackAsTheExactUtcTimeAcrossSummerTime) {
    // A file written in winter and one written in summer: both read back as the UTC moment they
    // were written, through the standard offset on either side of the change.
    TempDir dir;
    const std::int64_t winter = 1074168000;  // 2004-01-15 12:00:00 UTC
    const std::int64_t summer = 1089892800;  // 2004-07-15 12:00:00 UTC
    dir.write("winter.txt", "w");
    dir.write("summer.txt", "s");
    setModified(dir.path() / "winter.txt", winter);
    setModified(dir.path() / "summer.txt", summer);
    const char* zone = std::getenv("TZ");
    const bool cet = zone != nullptr && std::string(zone).rfind("CET-1CEST", 0) == 0;
    const struct {
        const char* file;
        std::int64_t utc;
        const char* cetText;
        std::array<int, 6> expected;
    } cases[] = {
        {"winter.txt", winter, "Thu Jan 15 13:00:00 2004\n", {2004, 1, 15, 12, 0, 0}},
        {"summer.txt", summer, "Thu Jul 15 13:00:00 2004\n", {2004, 7, 15, 12, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        FindFile finder;
        ASSERT_EQ(finder.find(windowsPath(dir.path() / c.file)), c.file);
        EXPECT_EQ(finder.modified, ATime::fileTimeText(c.utc, platform::zoneOffsetSeconds()));
        if (cet) {
            EXPECT_EQ(finder.modified, c.cetText);
        }
        ATime time;
        time.parseLocal(finder.modified);
        EXPECT_EQ((std::array<int, 6>{time.year, time.month, time.day, time.hour, time.minute,
                                      time.second}),
                  c.expected);
    }
    if (cet) {
        EXPECT_EQ(platform::zoneOffsetSeconds(), 3600);
    }
}

TEST(Win32Platform, SafeReplaceThroughMoveFileEx) {
    TempDir dir;
    const std::string target = windowsPath(dir.path() / "WUInfo.csv");
    // A new file, then a replace of an existing one; no temporary file stays behind.
    ASSERT_TRUE(testsupport::replaceFileContents(target, "first"));
    ASSERT_TRUE(testsupport::replaceFileContents(target, "second, longer"));
    EXPECT_EQ(dir.read("WUInfo.csv"), "second, longer");
    EXPECT_FALSE(dir.exists("WUInfo.csv.tmp~"));
    // Every step of the write seam failing in turn leaves the old bytes and no temporary file.
    for (int step = 1; step <= 6; ++step) {
        SCOPED_TRACE(step);
        platform::failWriteCallAfter(step);
        const bool replaced = testsupport::replaceFileContents(target, "third");
        platform::failWriteCallAfter(0);
        EXPECT_FALSE(replaced);
        EXPECT_EQ(dir.read("WUInfo.csv"), "second, longer");
        EXPECT_FALSE(dir.exists("WUInfo.csv.tmp~"));
    }
    // A read-only database is refused, as an in-place write would be, and stays as it was.
    fs::permissions(target,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(testsupport::replaceFileContents(target, "fourth"));
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(dir.read("WUInfo.csv"), "second, longer");
    // A target that is a directory is no file to replace.
    fs::create_directory(dir.path() / "folder");
    EXPECT_FALSE(testsupport::replaceFileContents(windowsPath(dir.path() / "folder"), "x"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
}

TEST(Win32Platform, CopyThroughATemporaryFile) {
    TempDir dir;
    const std::string bytes("result\r\n\0\x1a tail", 15);
    dir.write("result.sah", bytes);
    dir.write("old.result", "stale copy, longer than the new one will be");
    const std::string source = windowsPath(dir.path() / "result.sah");
    const std::string copy = windowsPath(dir.path() / "old.result");
    ASSERT_TRUE(platform::copyFile(source, copy));
    EXPECT_EQ(dir.read("old.result"), bytes);
    ASSERT_TRUE(platform::copyFile(source, windowsPath(dir.path() / "new.result")));
    EXPECT_EQ(dir.read("new.result"), bytes);
    // Onto itself, by another spelling too, the file stays whole.
    platform::copyFile(source, source);
    platform::copyFile(source, windowsPath(dir.path()) + "\\.\\RESULT.SAH");
    EXPECT_EQ(dir.read("result.sah"), bytes);
    // A missing source or destination directory fails.
    EXPECT_FALSE(platform::copyFile(windowsPath(dir.path() / "none.sah"), copy));
    EXPECT_FALSE(platform::copyFile(source, windowsPath(dir.path() / "nodir" / "x.result")));
    EXPECT_EQ(dir.read("old.result"), bytes);
    // The copy goes by way of a temporary file: a failure at any step (open, access rights,
    // write, modification time, sync, close, rename) keeps the old copy whole and leaves
    // nothing beside it.
    dir.write("result.sah", "a newer result");
    for (int step = 1; step <= 7; ++step) {
        SCOPED_TRACE(step);
        platform::failWriteCallAfter(step);
        const bool copied = platform::copyFile(source, copy);
        platform::failWriteCallAfter(0);
        EXPECT_FALSE(copied);
        EXPECT_EQ(dir.read("old.result"), bytes);
        EXPECT_EQ(temporariesIn(dir.path()), Names{});
    }
    ASSERT_TRUE(platform::copyFile(source, copy));
    EXPECT_EQ(dir.read("old.result"), "a newer result");
    EXPECT_EQ(temporariesIn(dir.path()), Names{});
}

TEST(Win32Platform, CopyKeepsTheSourcesModificationTime) {
    // New or replacing an older copy, the copy keeps the result's time (the C runtime under
    // the test reads and sets it in whole seconds).
    TempDir dir;
    dir.write("result.sah", "result");
    setModified(dir.path() / "result.sah", 993988800);
    const auto time = fs::last_write_time(dir.path() / "result.sah");
    dir.write("old.result", "an older copy");
    for (const char* copy : {"new.result", "old.result"}) {
        SCOPED_TRACE(copy);
        ASSERT_TRUE(platform::copyFile(windowsPath(dir.path() / "result.sah"),
                                       windowsPath(dir.path() / copy)));
        EXPECT_EQ(fs::last_write_time(dir.path() / copy), time);
        EXPECT_EQ(platform::listFiles(windowsPath(dir.path() / copy)).at(0).lastWriteUtc,
                  993988800);
        EXPECT_EQ(dir.read(copy), "result");
    }
}

TEST(Win32Platform, WritersOfOneFileAtOnceEachPutAWholeOutputInPlace) {
    // Four writers replace one file 6 times each, all at once, two by the safe replace and two
    // by copies of their own source, while a fifth reads it again and again: every replace and
    // copy succeeds, every reading is one writer's whole output, no temporary file stays.
    TempDir dir;
    const std::string target = windowsPath(dir.path() / "WUInfo.csv");
    std::vector<std::string> outputs;
    for (char c : {'a', 'b', 'c', 'd'}) outputs.push_back(std::string(300000, c));
    dir.write("c.src", outputs[2]);
    dir.write("d.src", outputs[3]);
    std::atomic<int> failures{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> writers;
    for (std::size_t w = 0; w < outputs.size(); ++w) {
        writers.emplace_back([&, w] {
            for (int round = 0; round < 6; ++round) {
                const bool ok =
                    w < 2 ? testsupport::replaceFileContents(target, outputs[w])
                          : platform::copyFile(
                                windowsPath(dir.path() / (w == 2 ? "c.src" : "d.src")), target);
                if (!ok) ++failures;
            }
        });
    }
    int readings = 0;
    int torn = 0;
    std::thread reader([&] {
        while (!done) {
            std::string bytes;
            if (!platform::readFile(target, bytes)) continue;
            ++readings;
            if (std::find(outputs.begin(), outputs.end(), bytes) == outputs.end()) ++torn;
        }
    });
    for (std::thread& writer : writers) writer.join();
    done = true;
    reader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(readings, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_NE(std::find(outputs.begin(), outputs.end(), dir.read("WUInfo.csv")), outputs.end());
    EXPECT_EQ(temporariesIn(dir.path()), Names{});
}

TEST(Win32Platform, ATemporaryFileNoRunHoldsIsRemovedByTheNextRun) {
    TempDir dir;
    const std::string target = windowsPath(dir.path() / "page.html");
    // One a writer still holds stays; one no writer holds goes; other names stay (names
    // differ only in case are one name here).
    platform::ReplacingFile writing;
    ASSERT_TRUE(writing.open(target));
    const Names held = temporariesIn(dir.path());
    ASSERT_EQ(held.size(), 1u);
    dir.write("page.html.0123abcd.tmp~", "left by a killed run");
    const Names others = {"page.html.tmp~", "page.html.0123abc.tmp~", "other.html.0123abcd.tmp~"};
    for (const std::string& name : others) dir.write(name, "not ours");
    ASSERT_TRUE(testsupport::replaceFileContents(target, "page"));
    EXPECT_EQ(dir.read("page.html"), "page");
    EXPECT_FALSE(dir.exists("page.html.0123abcd.tmp~"));
    EXPECT_TRUE(dir.exists(held[0]));
    for (const std::string& name : others) EXPECT_EQ(dir.read(name), "not ours") << name;
    EXPECT_TRUE(writing.write("a later page"));
    EXPECT_TRUE(writing.commit());
    EXPECT_EQ(dir.read("page.html"), "a later page");
    EXPECT_FALSE(dir.exists(held[0]));
}

TEST(Win32Platform, LongNamesGetTemporaryFilesThatFit) {
    // The ANSI calls take paths of up to 259 characters, so the target lies in a folder at the
    // drive's root: 250 characters of name fit beside "C:\\tNNNN\\", and "<name>.tmp~" once did
    // not. The temporary file's name is no longer than the target's then.
    std::random_device random;
    const fs::path root = fs::temp_directory_path().root_path();
    fs::path folder;
    do {
        folder = root / ("t" + std::to_string(1000 + random() % 9000));
    } while (!fs::create_directory(folder));
    for (std::size_t length : {245u, 250u}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 7, 'w') + ".result";
        testsupport::writeBytes(folder / "result.sah", "result");
        const std::string target = windowsPath(folder / name);
        ASSERT_LE(target.size(), 259u);
        EXPECT_TRUE(testsupport::replaceFileContents(target, "first"));
        EXPECT_EQ(testsupport::readBytes(folder / name), "first");
        EXPECT_TRUE(platform::copyFile(windowsPath(folder / "result.sah"), target));
        EXPECT_EQ(testsupport::readBytes(folder / name), "result");
        EXPECT_EQ(temporariesIn(folder), Names{});
    }
    fs::remove_all(folder);
}

TEST(Win32Platform, OnlyFilesOnADiskAreReadOrAppendedTo) {
    // A device has no end to read to; a directory holds no bytes.
    TempDir dir;
    const std::string bytes("a\r\nb\x1a\0c", 7);
    dir.write("in.bin", bytes);
    std::string read = "untouched";
    ASSERT_TRUE(platform::readFile(windowsPath(dir.path() / "in.bin"), read));
    EXPECT_EQ(read, bytes);
    for (const std::string& odd :
         {std::string("NUL"), std::string("CON"), windowsPath(dir.path())}) {
        SCOPED_TRACE(odd);
        read = "untouched";
        EXPECT_FALSE(platform::readFile(odd, read));
        EXPECT_EQ(read, "untouched");
    }
    EXPECT_FALSE(platform::appendFileContents("NUL", "more"));
    // What is there but does not read as a file is told from what is not there at all.
    using platform::FileStatus;
    const std::pair<std::string, FileStatus> statuses[] = {
        {windowsPath(dir.path() / "in.bin"), FileStatus::Readable},
        {windowsPath(dir.path() / "none.bin"), FileStatus::Missing},
        {windowsPath(dir.path() / "nodir" / "in.bin"), FileStatus::Missing},
        {windowsPath(dir.path()), FileStatus::Unreadable},
        {"NUL", FileStatus::Unreadable},
    };
    for (const auto& [path, status] : statuses)
        EXPECT_EQ(platform::fileStatus(path), status) << path;
}

TEST(Win32Platform, LockFileBesideTheFileGoesOnRelease) {
    TempDir dir;
    const std::string data = windowsPath(dir.path() / "ss_past_data.txt");
    {
        platform::FileLock lock;
        ASSERT_TRUE(lock.lock(data));
        EXPECT_TRUE(dir.exists("ss_past_data.txt.lock"));
    }
    EXPECT_FALSE(dir.exists("ss_past_data.txt.lock"));
    // One left by a crashed run is taken over and removed.
    dir.write("ss_past_data.txt.lock", "");
    {
        platform::FileLock lock;
        ASSERT_TRUE(lock.lock(data));
        lock.release();
        EXPECT_FALSE(dir.exists("ss_past_data.txt.lock"));
        // Taken again after a release, and by a second lock once the first is gone.
        ASSERT_TRUE(lock.lock(data));
    }
    platform::FileLock second;
    EXPECT_TRUE(second.lock(data));
    second.release();
    EXPECT_FALSE(dir.exists("ss_past_data.txt.lock"));
    platform::FileLock nowhere;
    EXPECT_FALSE(nowhere.lock(windowsPath(dir.path() / "missing" / "data.txt")));
}

namespace {

// The lock file's path each call of onWait brought, in order.

}  // namespace

TEST(Win32Platform, ALockThatIsHeldIsWaitedForAfterTellingTheCaller) {
    TempDir dir;
    testsupport::expectWaitToldOnceBeforeItWaits(windowsPath(dir.path() / "ss_past_data.txt"));
    EXPECT_FALSE(dir.exists("ss_past_data.txt.lock"));
}

TEST(Win32Platform, NoTwoHoldersOfTheLockAtOnce) {
    // Four holders take and release the lock 50 times each, all at once; each checks that
    // the lock file is there and that it alone holds the lock.
    TempDir dir;
    const std::string data = windowsPath(dir.path() / "ss_past_data.txt");
    std::atomic<int> holders{0};
    std::atomic<int> wrong{0};
    int count = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 50; ++round) {
                platform::FileLock lock;
                if (!lock.lock(data)) {
                    ++wrong;
                    continue;
                }
                if (++holders != 1 || !dir.exists("ss_past_data.txt.lock")) ++wrong;
                ++count;
                std::this_thread::yield();
                --holders;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(count, 200);
    EXPECT_FALSE(dir.exists("ss_past_data.txt.lock"));
}
