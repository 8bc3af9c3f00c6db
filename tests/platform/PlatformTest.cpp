// Tests of the platform layer: directory search, date text in several zones, paths, text
// mode, copying, and the safe replace and append under injected write faults, a real
// file-size limit and other owners' files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs a DISABLED_Child test of this very program in `cwd`, after the shell `setup`, and
// returns the lines it marked "child: ". `wrapper` (like a setpriv command) runs the program.
std::vector<std::string> runChild(const std::string& test, const fs::path& cwd,
                                  const std::string& env = "TZ=UTC", const std::string& setup = "",
                                  std::vector<std::string> wrapper = {}) {
    std::string program = testsupport::programPath("platform_tests");
    if (!wrapper.empty()) {
        wrapper.push_back(program);
        program = wrapper.front();
        wrapper.erase(wrapper.begin());
    }
    wrapper.push_back("--gtest_also_run_disabled_tests");
    wrapper.push_back("--gtest_filter=DISABLED_Child." + test);
    const auto result = testsupport::run(program, wrapper, cwd, env, setup);
    std::vector<std::string> printed;
    for (const std::string& line : testsupport::lines(result.out)) {
        if (line.rfind("child: ", 0) == 0) printed.push_back(line.substr(7));
    }
    return printed;
}

void childSays(bool ok) { std::printf("child: %s\n", ok ? "true" : "false"); }

// A shell command's standard output, run in `cwd`.
std::string shell(const std::string& command, const fs::path& cwd) {
    return testsupport::run("/bin/sh", {"-c", command}, cwd).out;
}

bool runningAsRoot() { return shell("id -u", fs::current_path()) == "0\n"; }

fs::perms permissionsOf(const std::string& file) {
    return fs::status(file).permissions() & fs::perms::mask;
}

}  // namespace

TEST(DirectorySearch, YieldsMatchesInByteOrderWithDirectoriesFlagged) {
    TempDir dir;
    // A name with a backslash cannot be named again through a path here: passed over.
    for (const char* name : {"b.csv", "a.csv", "C.csv", "a.CSV", "\xc3\xa9.csv", "z.txt", "ab.csv",
                             "zfile", "back\\slash.csv"}) {
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
        {"star",
         base + "/*.csv",
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
        // As on Windows, a last ".*" also matches the end of a name without a dot.
        {"star dot star takes names without a dot", base + "/z*.*", {"z.txt", "zfile"}},
        {"name dot star", base + "/zfile.*", {"zfile"}},
        {"dot star needs a dot there", base + "/a.*", {"a.CSV", "a.csv"}},
        {"a name with a dot elsewhere needs the dot", base + "/*v.*", {}},
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

// Run as children by the tests below, each in the directory the parent prepared.
// With TZ set: prints the offset and date texts, one per line.
TEST(DISABLED_Child, PrintDateTexts) {
    std::printf("child: %d\n", platform::zoneOffsetSeconds());
    for (std::int64_t utc : {993988800LL, 978305400LL, 951782400LL, -1LL, 0LL}) {
        std::printf("child: %s", platform::localTimeText(utc).c_str());
    }
}

TEST(DISABLED_Child, ReplaceData) {
    childSays(platform::replaceFileContents("data.txt", std::string(100000, 'n')));
}

TEST(DISABLED_Child, AppendData) {
    childSays(platform::appendFileContents("data.txt", std::string(100000, 'a')));
}

TEST(DISABLED_Child, CopySource) { childSays(platform::copyFile("source.bin", "data.txt")); }

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
        EXPECT_EQ(runChild("PrintDateTexts", cwd.path(), std::string("TZ=") + c.tz), c.expected);
    }
}

TEST(LocalTimeText, SurvivesExtremeTimes) {
    for (std::int64_t utc :
         std::vector<std::int64_t>{INT64_MIN, INT64_MAX, -62135596800LL, 253402300799LL}) {
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
    struct Case {
        std::string text;
        std::string bytes;
    };
    for (const Case& c : std::vector<Case>{
             {"", ""},
             {"a\nb", "a\r\nb"},
             {"\n\n", "\r\n\r\n"},
             // A carriage return already there is kept, as the C runtime keeps it.
             {"a\r\n", "a\r\r\n"},
             {std::string("x\0y\n", 4), std::string("x\0y\r\n", 5)},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(platform::textModeBytes(c.text), c.bytes);
    }
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
    // Onto itself, however it is named: refused, and the file keeps its bytes (a copy would
    // cut it to nothing before reading it).
    fs::create_hard_link(dir.path() / "in.bin", dir.path() / "hard.bin");
    fs::create_symlink(dir.path() / "in.bin", dir.path() / "soft.bin");
    for (const std::string& same : {dir.file("in.bin"), dir.path().string() + "\\in.bin",
                                    dir.file("hard.bin"), dir.file("soft.bin")}) {
        SCOPED_TRACE(same);
        EXPECT_FALSE(platform::copyFile(dir.file("in.bin"), same));
        EXPECT_EQ(dir.read("in.bin"), bytes);
    }

    EXPECT_TRUE(platform::isDirectory(dir.path().string()));
    EXPECT_FALSE(platform::isDirectory(dir.file("in.bin")));
    EXPECT_FALSE(platform::isDirectory(dir.file("missing")));
    EXPECT_TRUE(platform::removeFile(dir.file("out.bin")));
    EXPECT_FALSE(dir.exists("out.bin"));
    EXPECT_FALSE(platform::removeFile(dir.file("out.bin")));
}

TEST(Copy, AnyFailingStepLeavesNoCutOffCopy) {
    FaultOff off;
    // 600000 bytes: three 256 KiB blocks, so open, three writes and close.
    std::string source(600000, 's');
    for (std::size_t i = 0; i < source.size(); i += 997) source[i] = static_cast<char>(i % 251);
    const std::string old = "an earlier copy";
    struct Case {
        const char* step;
        int failingCall;
    };
    for (const Case& c : std::vector<Case>{{"open", 1},
                                           {"first write", 2},
                                           {"second write", 3},
                                           {"third write", 4},
                                           {"close", 5},
                                           {"none", 6}}) {
        SCOPED_TRACE(c.step);
        TempDir dir;
        dir.write("source.bin", source);
        dir.write("copy.bin", old);
        platform::failWriteCallAfter(c.failingCall);
        const bool ok = platform::copyFile(dir.file("source.bin"), dir.file("copy.bin"));
        platform::failWriteCallAfter(0);
        EXPECT_EQ(ok, c.failingCall == 6);
        EXPECT_EQ(dir.read("source.bin"), source);
        if (ok) {
            EXPECT_EQ(dir.read("copy.bin"), source);
        } else if (c.failingCall == 1) {
            // Refused before the target was touched.
            EXPECT_EQ(dir.read("copy.bin"), old);
        } else {
            // The old bytes went when the copy began, as with CopyFileA; no partial copy stays.
            EXPECT_FALSE(dir.exists("copy.bin"));
        }
    }
    // Only the file written is removed, not a link that led to it.
    TempDir dir;
    dir.write("source.bin", source);
    dir.write("elsewhere.bin", old);
    fs::create_symlink(dir.path() / "elsewhere.bin", dir.path() / "copy.bin");
    platform::failWriteCallAfter(2);
    EXPECT_FALSE(platform::copyFile(dir.file("source.bin"), dir.file("copy.bin")));
    platform::failWriteCallAfter(0);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "copy.bin"));
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
    // A directory in the target's place is not replaced.
    fs::create_directory(dir.path() / "sub");
    EXPECT_FALSE(platform::replaceFileContents(dir.file("sub"), "x"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "sub"));
}

// A database kept elsewhere behind a symbolic link stays linked: the file it points to gets
// the new bytes, and its temporary file is made beside that file.
TEST(SafeReplace, ALinkStaysALink) {
    TempDir dir;
    dir.write("store/real.txt", "old");
    fs::create_symlink(dir.path() / "store" / "real.txt", dir.path() / "data.txt");
    ASSERT_TRUE(platform::replaceFileContents(dir.file("data.txt"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "data.txt"));
    EXPECT_EQ(dir.read("store/real.txt"), "new");
    EXPECT_EQ(filesIn(dir.path() / "store"), std::vector<std::string>{"real.txt"});
    // A link to nothing is replaced by the file itself.
    fs::create_symlink(dir.path() / "missing", dir.path() / "dangling.txt");
    ASSERT_TRUE(platform::replaceFileContents(dir.file("dangling.txt"), "new"));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "dangling.txt"));
    EXPECT_EQ(dir.read("dangling.txt"), "new");
}

// The new file has the old one's permission bits, whatever the umask would have given it.
TEST(SafeReplace, KeepsThePermissionBitsOfTheOldFile) {
    TempDir dir;
    for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0664), fs::perms(0604),
                                 fs::perms(0666), fs::perms(0755)}) {
        SCOPED_TRACE(static_cast<int>(mode));
        dir.write("data.txt", "old");
        fs::permissions(dir.file("data.txt"), mode);
        ASSERT_TRUE(platform::replaceFileContents(dir.file("data.txt"), "new"));
        EXPECT_EQ(dir.read("data.txt"), "new");
        EXPECT_EQ(permissionsOf(dir.file("data.txt")), mode);
    }
    // A new file gets what any newly made file gets here.
    dir.write("plain.txt", "");
    ASSERT_TRUE(platform::replaceFileContents(dir.file("fresh.txt"), "new"));
    EXPECT_EQ(permissionsOf(dir.file("fresh.txt")), permissionsOf(dir.file("plain.txt")));
}

// A read-only database is replaced only by a process that could also write it in place
// (root can); otherwise it is refused and stays as it was.
TEST(SafeReplace, ReadOnlyTargetOnlyWhereAnInPlaceWriteCouldGo) {
    TempDir dir;
    dir.write("data.txt", "old");
    fs::permissions(dir.file("data.txt"), fs::perms(0444));
    const bool writable = std::ofstream(dir.file("data.txt"), std::ios::app).is_open();
    EXPECT_EQ(platform::replaceFileContents(dir.file("data.txt"), "new"), writable);
    EXPECT_EQ(dir.read("data.txt"), writable ? "new" : "old");
    EXPECT_EQ(permissionsOf(dir.file("data.txt")), fs::perms(0444));
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"data.txt"});
}

// Run by root on another user's file, the new file stays that user's.
TEST(SafeReplace, RootKeepsTheOwnerAndGroup) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs root to give files away";
    TempDir dir;
    dir.write("data.txt", "old");
    fs::permissions(dir.file("data.txt"), fs::perms(0640));
    shell("chown 65534:65534 data.txt", dir.path());
    ASSERT_TRUE(platform::replaceFileContents(dir.file("data.txt"), "new"));
    EXPECT_EQ(dir.read("data.txt"), "new");
    EXPECT_EQ(shell("stat -c '%u:%g %a' data.txt", dir.path()), "65534:65534 640\n");
}

// A user who cannot keep the old file's group (not a member) gets no group rights on the new
// file: they were granted to the old group, not to the user's own.
TEST(SafeReplace, AGroupThatCannotBeKeptGetsNoRights) {
    if (!runningAsRoot() || shell("command -v setpriv", fs::current_path()).empty()) {
        GTEST_SKIP() << "needs root and setpriv to act as another user";
    }
    TempDir dir;
    dir.write("data.txt", "old");
    fs::permissions(dir.file("data.txt"), fs::perms(0664));
    shell("chown 65534:65534 . && chown 65534:0 data.txt", dir.path());
    const std::vector<std::string> said =
        runChild("ReplaceData", dir.path(), "TZ=UTC", "",
                 {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    if (said.empty()) GTEST_SKIP() << "the test program cannot run as another user here";
    EXPECT_EQ(said, std::vector<std::string>{"true"});
    EXPECT_EQ(dir.read("data.txt"), std::string(100000, 'n'));
    EXPECT_EQ(shell("stat -c '%u:%g %a' data.txt", dir.path()), "65534:65534 604\n");
}

TEST(SafeReplace, AnyFailingStepLeavesTheOldFileAsItWas) {
    FaultOff off;
    const std::string oldBytes = "old line 1\r\nold line 2\r\n";
    const std::string newBytes(100000, 'n');
    struct Case {
        const char* step;
        int failingCall;
        bool ok;
    };
    // After the rename the new bytes are in place: a failed directory sync cannot undo that,
    // and reporting failure would tell the caller the old file was kept.
    for (const Case& c : std::vector<Case>{{"open", 1, false},
                                           {"access rights", 2, false},
                                           {"write", 3, false},
                                           {"sync", 4, false},
                                           {"close", 5, false},
                                           {"rename", 6, false},
                                           {"directory sync", 7, true},
                                           {"none", 8, true}}) {
        SCOPED_TRACE(c.step);
        TempDir dir;
        dir.write("data.txt", oldBytes);
        fs::permissions(dir.file("data.txt"), fs::perms(0640));
        platform::failWriteCallAfter(c.failingCall);
        const bool ok = platform::replaceFileContents(dir.file("data.txt"), newBytes);
        platform::failWriteCallAfter(0);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(dir.read("data.txt"), ok ? newBytes : oldBytes);
        EXPECT_EQ(permissionsOf(dir.file("data.txt")), fs::perms(0640));
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"data.txt"});
    }
}

// A real write failure, not an injected one: the file-size limit of the shell (8 KiB) stops
// each operation partway, as a full disk would. Nothing may be left cut off.
TEST(DiskFull, NoOperationLeavesAPartialFile) {
    const std::string old(1000, 'o');
    const std::string source(100000, 's');
    struct Case {
        const char* child;
        std::string dataAfter;  // empty: data.txt is gone
        std::vector<std::string> files;
    };
    for (const Case& c : std::vector<Case>{
             {"ReplaceData", old, {"data.txt"}},
             {"AppendData", old, {"data.txt", "source.bin"}},
             // A copy that did not finish leaves no copy (the old one went, as with CopyFileA).
             {"CopySource", "", {"source.bin"}},
         }) {
        SCOPED_TRACE(c.child);
        TempDir dir;
        dir.write("data.txt", old);
        if (std::string(c.child) != "ReplaceData") dir.write("source.bin", source);
        EXPECT_EQ(runChild(c.child, dir.path(), "TZ=UTC", "ulimit -f 16 && trap '' XFSZ"),
                  std::vector<std::string>{"false"});
        if (c.dataAfter.empty()) {
            EXPECT_FALSE(dir.exists("data.txt"));
        } else {
            EXPECT_EQ(dir.read("data.txt"), c.dataAfter);
        }
        EXPECT_EQ(filesIn(dir.path()), c.files);
    }
}

TEST(SafeAppend, AnyFailingStepLeavesTheOldFileAsItWas) {
    FaultOff off;
    const std::string oldBytes = "record 1\r\n";
    const std::string added = "record 2\r\n";
    // open, write, sync fail the append (a failing write leaves half its bytes, which must be
    // cut off again); a failing close comes after the sync and no longer matters; the fifth
    // call is never reached.
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
    EXPECT_FALSE(file.write("bbbb"));  // the second call from now; half of it lands
    EXPECT_TRUE(file.write("c"));      // one fault only
    EXPECT_TRUE(file.close());
    EXPECT_EQ(dir.read("f"), "abbc");
}
