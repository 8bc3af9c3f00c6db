// Tests of the platform layer: directory search, date text in several zones, paths, text
// mode, copying, the safe replace and append under injected write faults, a real file-size
// limit, other owners' files and several writers at once, and the data file lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/WriteFaults.h"
#include "platform/os/Internal.h"
#include "platform/platform.h"
#include "support/TempDir.h"
#include "tests/platform/LockWait.h"
#include "tests/platform/ReplaceWhole.h"

namespace fs = std::filesystem;
using testsupport::TempDir;
using Names = std::vector<std::string>;

namespace {

// Every entry a pattern yields, as "name" or "name/" for directories.
Names listing(const std::string& pattern) {
    Names names;
    for (const platform::DirEntry& entry : platform::listFiles(pattern))
        names.push_back(entry.name + (entry.isDirectory ? "/" : ""));
    return names;
}

Names filesIn(const fs::path& dir) {
    Names names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs the child program in mode `mode` in `cwd`, after the shell `setup`, and returns the
// lines it marked "child: ". `wrapper` (like a setpriv command) runs the program.
Names runChild(const std::string& mode, const fs::path& cwd, const std::string& env = "TZ=UTC",
               const std::string& setup = "", Names wrapper = {}) {
    wrapper.push_back(testsupport::testProgramPath("test_child"));
    wrapper.push_back(mode);
    const std::string program = wrapper.front();
    wrapper.erase(wrapper.begin());
    Names printed;
    for (const std::string& line :
         testsupport::lines(testsupport::run(program, wrapper, cwd, env, setup).out)) {
        if (line.rfind("child: ", 0) == 0) printed.push_back(line.substr(7));
    }
    return printed;
}

// A shell command's standard output, run in `cwd`.
std::string shell(const std::string& command, const fs::path& cwd = fs::current_path()) {
    return testsupport::run("/bin/sh", {"-c", command}, cwd).out;
}

fs::perms permissionsOf(const std::string& file) {
    return fs::status(file).permissions() & fs::perms::mask;
}

// The names of the temporary files in a directory: those that end in ".tmp~".
Names temporariesIn(const fs::path& dir) {
    Names names;
    for (const std::string& name : filesIn(dir)) {
        if (name.ends_with(".tmp~")) names.push_back(name);
    }
    return names;
}

// The quoted path of the child program, for shell scripts.
std::string childProgram() { return "'" + testsupport::testProgramPath("test_child") + "'"; }

// Runs `action` with the n-th call of the write seam failing, and switches the fault off again.
template <typename Action>
bool withFault(int n, Action action) {
    platform::failWriteCallAfter(n);
    const bool ok = action();
    platform::failWriteCallAfter(0);
    return ok;
}

}  // namespace

TEST(DirectorySearch, YieldsMatchesInNtfsOrderWithDirectoriesFlagged) {
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
    const std::pair<std::string, Names> cases[] = {
        // Letters compared as upper case, bytes above 127 after ASCII; matched case-sensitively.
        {"/*.csv",
         {"a.csv", "ab.csv", "b.csv", "broken.csv", "C.csv", "link.csv/", "sub.csv/",
          "\xc3\xa9.csv"}},
        {"/?.csv", {"a.csv", "b.csv", "C.csv"}},
        {"/*.CSV", {"a.CSV"}},
        {"\\a*.csv", {"a.csv", "ab.csv"}},
        {"/z.txt", {"z.txt"}},
        {"/sub.csv", {"sub.csv/"}},
        {"/y.txt", {}},
        {"/nowhere/*", {}},
        {"/", {}},
        // A directory's names for itself and its parent are no entries of it.
        {"/.", {}},
        {"/..", {}},
        {"/.*", {}},
        // As on Windows, a last ".*" also matches the end of a name without a dot.
        {"/z*.*", {"z.txt", "zfile"}},
        {"/a.*", {"a.CSV", "a.csv"}},
        {"/*v.*", {}},
    };
    for (const auto& [pattern, expected] : cases) {
        EXPECT_EQ(listing(base + pattern), expected) << pattern;
    }

    // The order NTFS keeps: "_" after "Z", "10" before "9", a shorter name before a longer one
    // it begins, and names equal but for case by their plain bytes, upper case first.
    for (const char* name : {"Alpha2", "Beta", "ZZ", "_under", "alpha", "9", "10", "ALPHA"})
        dir.write(std::string("order/") + name, "x");
    EXPECT_EQ(listing(base + "/order/*"),
              (Names{"10", "9", "ALPHA", "alpha", "Alpha2", "Beta", "ZZ", "_under"}));

    // "*.*" is "*" as on Windows.
    EXPECT_EQ(listing(base + "/*.*"), listing(base + "/*"));

    // Each entry carries its time in UTC.
    const std::chrono::sys_seconds lastSecondOfDayOne{std::chrono::seconds{86399}};
    fs::last_write_time(dir.file("zfile"), std::chrono::file_clock::from_sys(lastSecondOfDayOne));
    const auto found = platform::listFiles(base + "/zf*");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].lastWriteUtc, 86399);
}

TEST(Paths, NativePathAndProgramName) {
    EXPECT_EQ(platform::nativePath("..\\data/*.csv"), "../data/*.csv");
    const std::pair<const char*, const char*> names[] = {
        {"C:\\tools\\Zarnik.exe", "Zarnik.exe"},
        {"./build/bin/Korvath", "Korvath"},
        {"bin/x\\Zarnik.exe", "Zarnik.exe"},
        {"Quillet", "Quillet"},
        {"dir/", ""},
    };
    for (const auto& [argv0, name] : names) EXPECT_EQ(platform::programName(argv0), name) << argv0;
}

TEST(Files, ReadAndCopy) {
    TempDir dir;
    const std::string bytes("a\r\nb\x1a\0c", 7);
    dir.write("in.bin", bytes);
    std::string read = "old";
    EXPECT_TRUE(platform::readFile(dir.file("in.bin"), read));
    EXPECT_EQ(read, bytes);
    EXPECT_FALSE(platform::readFile(dir.file("missing"), read));
    // A directory is no file (it once reported a huge size and ended in bad_alloc).
    EXPECT_FALSE(platform::readFile(dir.path().string(), read));
    EXPECT_EQ(read, bytes);  // untouched on failure

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
        EXPECT_FALSE(platform::copyFile(dir.file("in.bin"), same)) << same;
        EXPECT_EQ(dir.read("in.bin"), bytes);
    }
}

TEST(Files, OnlyRegularFilesAreReadCopiedAppendedToOrReplaced) {
    // A FIFO once kept a reader waiting for ever and /dev/zero filled the memory; a FIFO that
    // was replaced became a plain file. Each is now refused at once and stays what it is.
    TempDir dir;
    shell("mkfifo fifo", dir.path());
    ASSERT_TRUE(fs::is_fifo(dir.path() / "fifo"));
    dir.write("plain.txt", "plain");
    for (const std::string& odd : {dir.file("fifo"), std::string("/dev/zero")}) {
        SCOPED_TRACE(odd);
        std::string read = "untouched";
        EXPECT_FALSE(platform::readFile(odd, read));
        EXPECT_EQ(read, "untouched");
        EXPECT_FALSE(platform::copyFile(odd, dir.file("copy.txt")));
        platform::InputFile input;
        EXPECT_FALSE(input.open(odd));
    }
    EXPECT_FALSE(platform::copyFile(dir.file("plain.txt"), dir.file("fifo")));
    EXPECT_FALSE(testsupport::replaceFileContents(dir.file("fifo"), "new"));
    EXPECT_FALSE(platform::appendFileContents(dir.file("fifo"), "more"));
    EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo"));
    EXPECT_EQ(filesIn(dir.path()), (Names{"fifo", "plain.txt"}));
}

// A file read a piece at a time gives its bytes in order and then 0; a directory or a
// missing file does not open, and a closed one reads nothing.
TEST(Files, InputFileReadsAPieceAtATime) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes += static_cast<char>('a' + i % 26);
    dir.write("in.bin", bytes);
    platform::InputFile input;
    ASSERT_TRUE(input.open(dir.file("in.bin")));
    std::string read;
    char piece[4096];
    for (std::int64_t got; (got = input.read(piece, sizeof piece)) > 0;)
        read.append(piece, static_cast<std::size_t>(got));
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(input.read(piece, sizeof piece), 0);
    input.close();
    EXPECT_EQ(input.read(piece, sizeof piece), -1);
    EXPECT_FALSE(input.open(dir.path().string()));
    EXPECT_FALSE(input.open(dir.file("missing.bin")));
    EXPECT_FALSE(input.isOpen());
}

// Memory for large stores comes zeroed and whole, however large.
TEST(Memory, LargeBlocksAreZeroedAndWritable) {
    EXPECT_EQ(platform::allocateLarge(0), nullptr);
    for (std::size_t size : {std::size_t{1}, std::size_t{4096}, (std::size_t{3} << 20) + 5}) {
        auto* block = static_cast<unsigned char*>(platform::allocateLarge(size));
        ASSERT_NE(block, nullptr) << size;
        EXPECT_TRUE(std::all_of(block, block + size, [](unsigned char c) { return c == 0; }));
        for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<unsigned char>(i);
        EXPECT_EQ(block[size - 1], static_cast<unsigned char>(size - 1));
        platform::freeLarge(block, size);
    }
}

TEST(Files, StatusTellsMissingFromUnreadable) {
    TempDir dir;
    dir.write("data.txt", "x");
    fs::create_directory(dir.file("folder"));
    fs::create_symlink(dir.file("gone"), dir.file("broken"));
    ASSERT_EQ(shell("mkfifo fifo", dir.path()), "");
    dir.write("secret.txt", "x");
    fs::permissions(dir.file("secret.txt"), fs::perms::none);
    // Root reads a file whatever its permission bits say.
    const bool secretReads = std::ifstream(dir.file("secret.txt")).is_open();
    using platform::FileStatus;
    const std::pair<const char*, FileStatus> cases[] = {
        {"data.txt", FileStatus::Readable},
        {"missing.txt", FileStatus::Missing},
        {"missing/data.txt", FileStatus::Missing},
        {"folder", FileStatus::Unreadable},
        {"broken", FileStatus::Unreadable},
        {"fifo", FileStatus::Unreadable},
        {"secret.txt", secretReads ? FileStatus::Readable : FileStatus::Unreadable},
    };
    for (const auto& [name, status] : cases) {
        EXPECT_EQ(platform::fileStatus(dir.file(name)), status) << name;
    }
    EXPECT_EQ(platform::fileStatus("/dev/null"), FileStatus::Unreadable);
}

TEST(Copy, AnyFailingStepKeepsTheOldCopy) {
    // 600000 bytes: three 256 KiB blocks. Open, access rights, three writes, the modification
    // time, sync, close and rename fail the copy, and the old copy stays whole (it once went as
    // the copy began); the directory sync after the rename no longer counts.
    std::string source(600000, 's');
    for (std::size_t i = 0; i < source.size(); i += 997) source[i] = static_cast<char>(i % 251);
    const std::string old = "an earlier copy";
    int failures = 0;
    for (int call = 1; call <= 20; ++call) {
        SCOPED_TRACE(call);
        TempDir dir;
        dir.write("source.bin", source);
        dir.write("copy.bin", old);
        const bool ok = withFault(
            call, [&] { return platform::copyFile(dir.file("source.bin"), dir.file("copy.bin")); });
        EXPECT_EQ(dir.read("source.bin"), source);
        EXPECT_EQ(dir.read("copy.bin"), ok ? source : old);
        EXPECT_EQ(filesIn(dir.path()), (Names{"copy.bin", "source.bin"}));
        if (ok) break;
        ++failures;
    }
    EXPECT_EQ(failures, 9);
    // A copy kept elsewhere behind a link stays linked, failed or not.
    TempDir dir;
    dir.write("source.bin", source);
    dir.write("elsewhere.bin", old);
    fs::create_symlink(dir.path() / "elsewhere.bin", dir.path() / "copy.bin");
    EXPECT_FALSE(withFault(
        3, [&] { return platform::copyFile(dir.file("source.bin"), dir.file("copy.bin")); }));
    EXPECT_EQ(dir.read("elsewhere.bin"), old);
    EXPECT_TRUE(platform::copyFile(dir.file("source.bin"), dir.file("copy.bin")));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "copy.bin"));
    EXPECT_EQ(dir.read("elsewhere.bin"), source);
    EXPECT_EQ(filesIn(dir.path()), (Names{"copy.bin", "elsewhere.bin", "source.bin"}));
}

TEST(Copy, NewCopiesTakeTheSourcesRightsOldOnesKeepTheirOwn) {
    TempDir dir;
    dir.write("private.sah", "result");
    fs::permissions(dir.file("private.sah"), fs::perms(0600));
    dir.write("old.copy", "old");
    fs::permissions(dir.file("old.copy"), fs::perms(0644));
    ASSERT_TRUE(platform::copyFile(dir.file("private.sah"), dir.file("new.copy")));
    ASSERT_TRUE(platform::copyFile(dir.file("private.sah"), dir.file("old.copy")));
    EXPECT_EQ(permissionsOf(dir.file("new.copy")), fs::perms(0600));
    EXPECT_EQ(permissionsOf(dir.file("old.copy")), fs::perms(0644));
    EXPECT_EQ(dir.read("old.copy"), "result");
}

TEST(SafeReplace, WritesNewFilesReplacesOldOnesAndFollowsLinks) {
    TempDir dir;
    EXPECT_TRUE(testsupport::replaceFileContents(dir.file("data.txt"), "first"));
    EXPECT_EQ(dir.read("data.txt"), "first");
    // A temporary file left by a crashed run does not stand in the way.
    dir.write("data.txt.0123abcd.tmp~", "stale");
    EXPECT_TRUE(testsupport::replaceFileContents(dir.file("data.txt"), ""));
    EXPECT_EQ(dir.read("data.txt"), "");
    EXPECT_EQ(filesIn(dir.path()), Names{"data.txt"});
    EXPECT_FALSE(testsupport::replaceFileContents(dir.file("nowhere/data.txt"), "x"));
    // A directory in the target's place is not replaced.
    fs::create_directory(dir.path() / "sub");
    EXPECT_FALSE(testsupport::replaceFileContents(dir.file("sub"), "x"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "sub"));

    // A database kept elsewhere behind a link stays linked: the file it points to gets the new
    // bytes, and its temporary file is made beside that file. A link to nothing is replaced.
    dir.write("store/real.txt", "old");
    fs::create_symlink(dir.path() / "store" / "real.txt", dir.path() / "link.txt");
    ASSERT_TRUE(testsupport::replaceFileContents(dir.file("link.txt"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));
    EXPECT_EQ(dir.read("store/real.txt"), "new");
    EXPECT_EQ(filesIn(dir.path() / "store"), Names{"real.txt"});
    fs::create_symlink(dir.path() / "missing", dir.path() / "dangling.txt");
    ASSERT_TRUE(testsupport::replaceFileContents(dir.file("dangling.txt"), "new"));
    EXPECT_FALSE(fs::is_symlink(dir.path() / "dangling.txt"));
}

TEST(SafeReplace, KeepsTheAccessRightsOfTheOldFile) {
    // The new file has the old one's permission bits, whatever the umask would have given it.
    TempDir dir;
    for (const fs::perms mode : {fs::perms(0600), fs::perms(0604), fs::perms(0755)}) {
        dir.write("data.txt", "old");
        fs::permissions(dir.file("data.txt"), mode);
        ASSERT_TRUE(testsupport::replaceFileContents(dir.file("data.txt"), "new"));
        EXPECT_EQ(permissionsOf(dir.file("data.txt")), mode) << static_cast<int>(mode);
    }
    // A read-only file is replaced only by a process that could also write it in place (root
    // can); otherwise it is refused and stays as it was.
    dir.write("ro.txt", "old");
    fs::permissions(dir.file("ro.txt"), fs::perms(0444));
    const bool writable = std::ofstream(dir.file("ro.txt"), std::ios::app).is_open();
    EXPECT_EQ(testsupport::replaceFileContents(dir.file("ro.txt"), "new"), writable);
    EXPECT_EQ(dir.read("ro.txt"), writable ? "new" : "old");
    EXPECT_EQ(permissionsOf(dir.file("ro.txt")), fs::perms(0444));
    EXPECT_EQ(filesIn(dir.path()), (Names{"data.txt", "ro.txt"}));

    if (shell("id -u") != "0\n") GTEST_SKIP() << "needs root to give files away";
    // Run by root on another user's file, the new file stays that user's.
    fs::permissions(dir.file("data.txt"), fs::perms(0640));
    shell("chown 65534:65534 data.txt", dir.path());
    ASSERT_TRUE(testsupport::replaceFileContents(dir.file("data.txt"), "new"));
    EXPECT_EQ(shell("stat -c '%u:%g %a' data.txt", dir.path()), "65534:65534 640\n");

    // A user who cannot keep the old file's group (not a member) gets no group rights on the
    // new file: they were granted to the old group, not to the user's own.
    if (shell("command -v setpriv").empty()) GTEST_SKIP() << "needs setpriv";
    fs::permissions(dir.file("data.txt"), fs::perms(0664));
    shell("chown 65534:65534 . && chown 65534:0 data.txt", dir.path());
    const Names asNobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    const Names said = runChild("ReplaceData", dir.path(), "TZ=UTC", "", asNobody);
    if (said.empty()) GTEST_SKIP() << "the test program cannot run as another user here";
    EXPECT_EQ(said, Names{"true"});
    EXPECT_EQ(dir.read("data.txt"), std::string(100000, 'n'));
    EXPECT_EQ(shell("stat -c '%u:%g %a' data.txt", dir.path()), "65534:65534 604\n");
    // Read-only to its owner: refused, as an in-place write would be.
    fs::permissions(dir.file("data.txt"), fs::perms(0444));
    EXPECT_EQ(runChild("ReplaceData", dir.path(), "TZ=UTC", "", asNobody), Names{"false"});
    EXPECT_EQ(dir.read("data.txt"), std::string(100000, 'n'));
    EXPECT_EQ(filesIn(dir.path()), (Names{"data.txt", "ro.txt"}));
}

TEST(SafeReplace, AnyFailingStepLeavesTheOldFileAsItWas) {
    const std::string oldBytes = "old line 1\r\nold line 2\r\n";
    const std::string newBytes(100000, 'n');
    // After the rename the new bytes are in place: a failed directory sync cannot undo that,
    // and reporting failure would tell the caller the old file was kept.
    const std::pair<const char*, bool> steps[] = {
        {"open", false},  {"access rights", false}, {"write", false},         {"sync", false},
        {"close", false}, {"rename", false},        {"directory sync", true}, {"none", true}};
    for (int call = 1; call <= 8; ++call) {
        const auto& [step, expected] = steps[call - 1];
        SCOPED_TRACE(step);
        TempDir dir;
        dir.write("data.txt", oldBytes);
        fs::permissions(dir.file("data.txt"), fs::perms(0640));
        const bool ok = withFault(
            call, [&] { return testsupport::replaceFileContents(dir.file("data.txt"), newBytes); });
        EXPECT_EQ(ok, expected);
        EXPECT_EQ(dir.read("data.txt"), ok ? newBytes : oldBytes);
        EXPECT_EQ(permissionsOf(dir.file("data.txt")), fs::perms(0640));
        EXPECT_EQ(filesIn(dir.path()), Names{"data.txt"});
    }
}

TEST(SafeReplace, StreamedPiecesGoOutInWholeBlocks) {
    // 600000 bytes in pieces of 1000: three writes (two whole 256 KiB blocks and the rest at the
    // commit), not six hundred. Before those, open and access rights; after them sync, close and
    // rename fail the replace; the directory sync after the rename does not.
    const std::string oldBytes = "old";
    std::string newBytes(600000, 'n');
    for (std::size_t i = 0; i < newBytes.size(); i += 991) newBytes[i] = static_cast<char>(i);
    int failures = 0;
    for (int call = 1; call <= 20; ++call) {
        SCOPED_TRACE(call);
        TempDir dir;
        dir.write("data.txt", oldBytes);
        const bool ok = withFault(call, [&] {
            platform::ReplacingFile out;
            bool written = out.open(dir.file("data.txt"));
            for (std::size_t at = 0; at < newBytes.size(); at += 1000)
                written = out.write(std::string_view(newBytes).substr(at, 1000)) && written;
            return out.commit() && written;
        });
        EXPECT_EQ(dir.read("data.txt"), ok ? newBytes : oldBytes);
        EXPECT_EQ(filesIn(dir.path()), Names{"data.txt"});
        if (ok) break;
        ++failures;
    }
    EXPECT_EQ(failures, 8);

    // Given up without a commit (a failed step in the caller, an exception): the temporary
    // file goes and the old bytes stay. A second open of the same object is refused.
    TempDir dir;
    dir.write("data.txt", oldBytes);
    {
        platform::ReplacingFile out;
        ASSERT_TRUE(out.open(dir.file("data.txt")));
        EXPECT_FALSE(out.open(dir.file("data.txt")));
        EXPECT_TRUE(out.write(newBytes));
        const Names temporaries = temporariesIn(dir.path());
        ASSERT_EQ(temporaries.size(), 1u);
        EXPECT_EQ(filesIn(dir.path()), (Names{"data.txt", temporaries[0]}));
    }
    EXPECT_EQ(dir.read("data.txt"), oldBytes);
    EXPECT_EQ(filesIn(dir.path()), Names{"data.txt"});
}

TEST(SafeAppend, AnyFailingStepLeavesTheOldFileAsItWas) {
    const std::string oldBytes = "record 1\r\n";
    const std::string added = "record 2\r\n";
    // open, write, sync fail the append (a failing write leaves half its bytes, which must be
    // cut off again); a failing close comes after the sync and no longer matters; the fifth
    // call is never reached.
    for (int call = 1; call <= 5; ++call) {
        TempDir dir;
        dir.write("data.txt", oldBytes);
        const bool ok = withFault(
            call, [&] { return platform::appendFileContents(dir.file("data.txt"), added); });
        EXPECT_EQ(ok, call >= 4) << call;
        EXPECT_EQ(dir.read("data.txt"), ok ? oldBytes + added : oldBytes) << call;
    }
    TempDir dir;
    EXPECT_TRUE(platform::appendFileContents(dir.file("new.txt"), "a"));
    EXPECT_TRUE(platform::appendFileContents(dir.file("new.txt"), "b"));
    EXPECT_EQ(dir.read("new.txt"), "ab");
}

// A real write failure, not an injected one: the file-size limit of the shell (8 KiB) stops
// each operation partway, as a full disk would. Nothing may be left cut off.
TEST(DiskFull, NoOperationLeavesAPartialFile) {
    const std::string old(1000, 'o');
    for (const char* child : {"ReplaceData", "AppendData", "CopySource"}) {
        SCOPED_TRACE(child);
        TempDir dir;
        dir.write("data.txt", old);
        const bool source = std::string(child) != "ReplaceData";
        if (source) dir.write("source.bin", std::string(100000, 's'));
        EXPECT_EQ(runChild(child, dir.path(), "TZ=UTC", "ulimit -f 16 && trap '' XFSZ"),
                  Names{"false"});
        EXPECT_EQ(filesIn(dir.path()),
                  source ? (Names{"data.txt", "source.bin"}) : Names{"data.txt"});
        EXPECT_EQ(dir.read("data.txt"), old);
    }
}

TEST(FileLock, HeldOnALockFileBesideTheFileThatGoesOnRelease) {
    TempDir dir;
    const bool flockTool = !shell("command -v flock").empty();
    // flock(1) takes the same lock: while it is held, flock -n fails ("held").
    const std::string probe = "flock -n data.txt.lock true && echo free || echo held";
    {
        platform::FileLock lock;
        ASSERT_TRUE(lock.lock(dir.file("data.txt")));
        EXPECT_EQ(filesIn(dir.path()), Names{"data.txt.lock"});
        if (flockTool) {
            EXPECT_EQ(shell(probe, dir.path()), "held\n");
        }
        lock.release();
        EXPECT_TRUE(filesIn(dir.path()).empty());
        lock.release();  // harmless
    }
    // One left by a crashed run is taken over and removed.
    dir.write("data.txt.lock", "");
    {
        platform::FileLock lock;
        ASSERT_TRUE(lock.lock(dir.file("data.txt")));
    }
    EXPECT_TRUE(filesIn(dir.path()).empty());
    // A file kept elsewhere behind a link is locked beside the file it points to.
    dir.write("store/real.txt", "data");
    fs::create_symlink(dir.path() / "store" / "real.txt", dir.path() / "link.txt");
    {
        platform::FileLock lock;
        ASSERT_TRUE(lock.lock(dir.file("link.txt")));
        EXPECT_EQ(filesIn(dir.path() / "store"), (Names{"real.txt", "real.txt.lock"}));
    }
    EXPECT_EQ(filesIn(dir.path() / "store"), Names{"real.txt"});
    platform::FileLock nowhere;
    EXPECT_FALSE(nowhere.lock(dir.file("missing/data.txt")));
}

TEST(FileLock, ASecondRunWaitsAndLocksTheFileThatIsThereThen) {
    // The shell holds the lock as a run would, on a descriptor the child does not inherit.
    // Once the child has the lock file open, the shell notes "shell", removes the file and
    // unlocks, as every holder does. The child, woken on a file that is gone, must lock the
    // one at the path instead: while it holds the lock, flock -n on the path fails.
    if (shell("command -v flock").empty()) GTEST_SKIP() << "needs flock(1)";
    TempDir dir;
    const std::string child =
        "'" + testsupport::testProgramPath("test_child") + "' HoldLock 9>&- >child.out &";
    // Each wait ends too when the child is gone, so a broken lock cannot hang the test.
    const std::string script =
        "exec 9>data.txt.lock; flock 9\n" + child +
        "\nchild=$!\n"
        "until ls -l /proc/$child/fd 2>/dev/null | grep -q data.txt.lock; do\n"
        "  kill -0 $child 2>/dev/null || break; sleep 0.01; done\n"
        "echo shell >>log.txt; rm data.txt.lock; exec 9>&-\n"
        "until grep -q child log.txt 2>/dev/null; do\n"
        "  kill -0 $child 2>/dev/null || break; sleep 0.01; done\n"
        "flock -n data.txt.lock true && echo free || echo held\n"
        "touch done; wait $child; grep '^child: ' child.out\n";
    EXPECT_EQ(shell(script, dir.path()), "held\nchild: true\n");
    EXPECT_EQ(dir.read("log.txt"), "shell\nchild\n");
    EXPECT_EQ(filesIn(dir.path()), (Names{"child.out", "done", "log.txt"}));
}

TEST(OutFile, OpenRulesAndTruncate) {
    TempDir dir;
    dir.write("f", "123456");
    platform::OutFile file;
    EXPECT_FALSE(file.openNew(dir.file("f")));  // must not exist yet
    ASSERT_TRUE(file.openAppend(dir.file("f")));
    EXPECT_EQ(file.sizeAtOpen(), 6);
    EXPECT_FALSE(file.openNew(dir.file("g")));  // already open
    EXPECT_TRUE(file.write("789"));
    EXPECT_TRUE(file.truncate(4));
    EXPECT_FALSE(file.truncate(-1));
    // One injected fault only; the failing write lands half its bytes.
    EXPECT_TRUE(withFault(2, [&] {
        return file.write("a") && !file.write("bbbb") && file.write("c") && file.close();
    }));
    EXPECT_FALSE(file.close());
    EXPECT_EQ(dir.read("f"), "1234abbc");
}

TEST(SafeReplace, RunsWritingOneFileAtOnceEachPutAWholeOutputInPlace) {
    // Four runs replace data.txt 25 times each, all at once, while a fifth reads it again and
    // again, and once more at the end. With one fixed temporary name, runs removed each other's
    // temporary files: one renamed another's half-written file into place and reported success,
    // the other failed. Now every replace succeeds, every reading is one run's whole output,
    // and no temporary file stays behind.
    TempDir dir;
    const std::string script =
        "for i in 1 2 3 4; do " + childProgram() +
        " ReplaceRounds >w$i.out & writers=\"$writers $!\"; done\n" + childProgram() +
        " WatchData >watch.out & watcher=$!\n"
        "wait $writers; touch done; wait $watcher; cat w1.out w2.out w3.out w4.out watch.out\n";
    EXPECT_EQ(shell(script, dir.path()),
              "child: true\nchild: true\nchild: true\nchild: true\nchild: true\n");
    EXPECT_EQ(temporariesIn(dir.path()), Names{});
}

TEST(SafeReplace, ATemporaryFileNoRunHoldsIsRemovedByTheNextRun) {
    TempDir dir;
    dir.write("data.txt", "old");
    // A run that is still writing keeps its temporary file while another run replaces the
    // target, and removes it itself when it gives up.
    const std::string holder = childProgram() + " HoldTemporary >holder.out & holder=$!\n" +
                               "until [ -f ready ] || ! kill -0 $holder 2>/dev/null; do "
                               "sleep 0.01; done\n";
    const std::string replace = childProgram() + " ReplaceData\n";
    EXPECT_EQ(
        shell(holder + replace + "ls | grep -c 'tmp~$'; touch done; wait $holder\n", dir.path()),
        "child: true\n1\n");
    EXPECT_EQ(dir.read("holder.out"), "child: true\n");
    EXPECT_EQ(temporariesIn(dir.path()), Names{});
    // A killed run's temporary file stays behind until the next run that writes the target.
    fs::remove(dir.path() / "ready");
    fs::remove(dir.path() / "done");
    EXPECT_EQ(shell(holder + "kill -9 $holder; wait $holder; ls | grep -c 'tmp~$'\n", dir.path()),
              "1\n");
    EXPECT_EQ(runChild("ReplaceData", dir.path()), Names{"true"});
    EXPECT_EQ(dir.read("data.txt"), std::string(100000, 'n'));
    EXPECT_EQ(temporariesIn(dir.path()), Names{});

    // Only files of the pattern beside that target go: the target's name, a dot, eight hex
    // digits and ".tmp~". A directory of that name stays too.
    const Names others = {"data.txt.tmp~",           "data.txt.0123abc.tmp~",
                          "data.txt.0123ABCD.tmp~",  "data.txt.0123abcd.tmp~x",
                          "xdata.txt.0123abcd.tmp~", "other.txt.0123abcd.tmp~"};
    for (const std::string& name : others) dir.write(name, "not ours");
    fs::create_directory(dir.path() / "data.txt.fedcba98.tmp~");
    dir.write("data.txt.0123abcd.tmp~", "stale");
    dir.write("data.txt.99999999.tmp~", "stale");
    ASSERT_TRUE(testsupport::replaceFileContents(dir.file("data.txt"), "new"));
    for (const std::string& name : others) EXPECT_EQ(dir.read(name), "not ours") << name;
    EXPECT_TRUE(fs::is_directory(dir.path() / "data.txt.fedcba98.tmp~"));
    EXPECT_FALSE(dir.exists("data.txt.0123abcd.tmp~"));
    EXPECT_FALSE(dir.exists("data.txt.99999999.tmp~"));
}

TEST(SafeReplace, TemporaryNamesFitWhereTheTargetsNameFits) {
    // "<name>.tmp~" once passed the 255-byte limit of a bare name for names of 251 bytes and
    // more, and the page or copy of a long work-unit name could not be written. The
    // temporary file's name now fits wherever the target's does: never longer than 255 bytes,
    // and no longer than the target's own name once that is long.
    const std::string twoByte = "\xc3\xa9";  // one character in two bytes of UTF-8
    std::string utf8 = "x";
    while (utf8.size() + 2 <= 254) utf8 += twoByte;
    const std::string names[] = {
        "a",
        std::string(241, 'b'),
        std::string(242, 'c'),
        std::string(250, 'd'),
        std::string(255, 'e'),
        utf8,
        std::string(218, 'f') + twoByte + twoByte + std::string(22, 'g') + ".result"};
    for (const std::string& name : names) {
        SCOPED_TRACE(std::to_string(name.size()) + " bytes");
        TempDir dir;
        dir.write("source.bin", "copied");
        {
            platform::ReplacingFile out;
            ASSERT_TRUE(out.open(dir.file(name)));
            const Names temporaries = temporariesIn(dir.path());
            ASSERT_EQ(temporaries.size(), 1u);
            const std::string& temporary = temporaries[0];
            EXPECT_LE(temporary.size(), 255u);
            if (name.size() > 241) {
                EXPECT_LE(temporary.size(), name.size());
                // Its front is the name's front, cut after an ASCII byte, so no character of
                // several bytes is split.
                const std::size_t front = temporary.find('~');
                ASSERT_NE(front, std::string::npos);
                EXPECT_EQ(temporary.substr(0, front), name.substr(0, front));
                EXPECT_LT(static_cast<unsigned char>(temporary[front - 1]), 0x80);
            }
            EXPECT_TRUE(out.write("replaced"));
            EXPECT_TRUE(out.commit());
        }
        EXPECT_EQ(dir.read(name), "replaced");
        ASSERT_TRUE(platform::copyFile(dir.file("source.bin"), dir.file(name)));
        EXPECT_EQ(dir.read(name), "copied");
        EXPECT_EQ(temporariesIn(dir.path()), Names{});
    }
    // Two long names alike but for their end get temporary names apart, and a stale one of
    // the one is no file of the other.
    TempDir dir;
    const std::string first = std::string(250, 'h') + "1";
    const std::string second = std::string(250, 'h') + "2";
    platform::ReplacingFile out;
    ASSERT_TRUE(out.open(dir.file(first)));
    const std::string firstTemporary = temporariesIn(dir.path()).at(0);
    ASSERT_TRUE(testsupport::replaceFileContents(dir.file(second), "second"));
    EXPECT_EQ(temporariesIn(dir.path()), Names{firstTemporary});
    EXPECT_TRUE(out.write("first"));
    EXPECT_TRUE(out.commit());
    EXPECT_EQ(filesIn(dir.path()), (Names{first, second}));
}

TEST(Copy, KeepsTheSourcesModificationTime) {
    // The copy once took the time it was made; it now keeps the source's, to the nanosecond,
    // whether it is new, replaces an older copy, or lies behind a link.
    TempDir dir;
    dir.write("result.sah", "result");
    const auto time =
        std::chrono::file_clock::from_sys(std::chrono::sys_time<std::chrono::nanoseconds>(
            std::chrono::nanoseconds(993988800123456789)));
    fs::last_write_time(dir.path() / "result.sah", time);
    dir.write("old.result", "an older copy");
    dir.write("store/linked.result", "an older copy");
    fs::create_symlink(dir.path() / "store" / "linked.result", dir.path() / "link.result");
    for (const char* copy : {"new.result", "old.result", "link.result"}) {
        SCOPED_TRACE(copy);
        ASSERT_TRUE(platform::copyFile(dir.file("result.sah"), dir.file(copy)));
        EXPECT_EQ(fs::last_write_time(dir.path() / copy), time);
        EXPECT_EQ(dir.read(copy), "result");
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.result"));
}

namespace {

// The lock file's path each call of onWait brought, in order.

}  // namespace

TEST(FileLock, TellsTheCallerOnceBeforeItWaits) {
    TempDir dir;
    testsupport::expectWaitToldOnceBeforeItWaits(dir.file("data.txt"));
}

TEST(FileLock, ALinkAtTheLockFilesNameIsNeverFollowed) {
    // A link planted at the lock file's name once made every run create (or open) the file it
    // leads to. The lock is refused now, and nothing where the link leads is made, cut or
    // removed; nor is anything but a regular file used as the lock file.
    TempDir dir;
    dir.write("elsewhere/victim.txt", "precious");
    fs::create_symlink(dir.path() / "elsewhere" / "created.txt", dir.path() / "a.txt.lock");
    fs::create_symlink(dir.path() / "elsewhere" / "victim.txt", dir.path() / "b.txt.lock");
    ASSERT_EQ(shell("mkfifo c.txt.lock", dir.path()), "");
    for (const char* data : {"a.txt", "b.txt", "c.txt"}) {
        SCOPED_TRACE(data);
        platform::FileLock lock;
        EXPECT_FALSE(lock.lock(dir.file(data)));
    }
    EXPECT_EQ(filesIn(dir.path() / "elsewhere"), Names{"victim.txt"});
    EXPECT_EQ(dir.read("elsewhere/victim.txt"), "precious");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "a.txt.lock"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "b.txt.lock"));
    EXPECT_TRUE(fs::is_fifo(dir.path() / "c.txt.lock"));
}

TEST(FileLock, NoTwoRunsEverHoldItAtOnce) {
    // Four runs take and release the lock 150 times each, all at once. A holder that let go of
    // the lock before it removed the lock file let a waiting run in on a file that was then
    // removed, and a third run made a new one and held the lock at the same time. Each holder
    // checks that the lock file is there and that it alone holds the lock, and counts.
    TempDir dir;
    std::string script;
    for (int i = 1; i <= 4; ++i)
        script += childProgram() + " LockRounds >r" + std::to_string(i) + ".out & ";
    script += "wait; cat r1.out r2.out r3.out r4.out\n";
    EXPECT_EQ(shell(script, dir.path()), "child: true\nchild: true\nchild: true\nchild: true\n");
    EXPECT_EQ(dir.read("count"), "600\n");
    EXPECT_EQ(filesIn(dir.path()), (Names{"count", "r1.out", "r2.out", "r3.out", "r4.out"}));
}
