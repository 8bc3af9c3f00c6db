// The one seam between the programs and the operating system: file search, file times,
// the time zone, reading and writing files, copying and replacing them safely, and memory
// for large working stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class OutFile;  // internal to the platform layer

// Internal to the platform layer too: an open file as the OS half keeps it, defined there, and
// its owner, which closes it when it lets it go.
struct OsFile;
struct OsFileCloser {
    void operator()(OsFile* file) const;
};
using OsFileHandle = std::unique_ptr<OsFile, OsFileCloser>;

// One entry of a directory search.
struct DirEntry {
    std::string name;               // bare name, no directory part
    bool isDirectory = false;       // links to directories count as directories
    std::int64_t lastWriteUtc = 0;  // seconds since 1970-01-01 00:00:00 UTC
};

// The entries a pattern whose last component may hold * and ? matches, directories among
// them (flagged), or none when nothing matches or the directory cannot be read. A directory's
// names for itself and its parent are no entries. They come in one order on every OS and file
// system, the order NTFS keeps: names compared with ASCII letters folded to upper case, byte by
// byte ("_" after "Z", "10" before "9"), a name before a longer one it begins, ties broken by the
// plain bytes. Matching is the OS's own. POSIX: wildcards only in the last component, matched
// case-sensitively; a pattern without wildcards finds that one entry; a last ".*" also matches the
// end of a name without a dot, as on Windows ("*.*" matches every name, "z*.*" also "zfile"). A
// name that holds a backslash is passed over: every backslash of a path is a separator here, so
// such a file could not be named again. Windows: FindFirstFileA / FindNextFileA, case-insensitive.
// Every function that takes a path hands it to the OS through nativePath.
std::vector<DirEntry> listFiles(const std::string& pattern);

// True when two bare names are one name to Windows: equal with ASCII letters compared without
// regard to case, the folding of listFiles' order.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

// What every program does first. POSIX: a write past the file-size limit (ulimit -f) fails
// with EFBIG instead of ending the process with SIGXFSZ, so a cut-off append is still cut
// back and a temporary file still removed. Windows: nothing.
void startProgram();

// The standard zone offset in seconds east of Greenwich: minus the C runtime's `timezone`
// after tzset(). Read once per process: the zone does not change during a run.
int zoneOffsetSeconds();

// The current time in seconds since 1970-01-01 00:00:00 UTC.
std::int64_t nowUtc();

// The program's own file name. POSIX: argv[0] after its last backslash or slash, so a copy or
// link under another name counts by that name. Windows: the running executable's file name as
// the file system spells it (GetModuleFileNameA), whatever was typed; argv0 is not used.
std::string programName(const std::string& argv0);

// The file-name ending this platform gives its programs: ".exe" on Windows, none elsewhere.
extern const char* const ExecutableSuffix;

// Reads a whole file as its bytes, under the rules of InputFile. False when it cannot be
// opened or read; `bytes` is then untouched.
bool readFile(const std::string& path, std::string& bytes);

// A regular file read front to back a piece at a time, so a file of any size costs only the
// caller's buffer. Only a regular file opens, not a directory, a FIFO or a device such as
// /dev/zero (none has an end to read to), and opening a FIFO never waits.
class InputFile {
public:
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    // The file's length when it was opened; it may have grown since, and a file such as one
    // of /proc reports none.
    std::int64_t sizeAtOpen() const { return sizeAtOpen_; }
    // Reads up to `size` bytes into `buffer`: the count, 0 at the end of the file, -1 when
    // the read failed or no file is open.
    std::int64_t read(char* buffer, std::size_t size);
    void close() {
        file_.reset();
        sizeAtOpen_ = 0;
    }

private:
    friend bool copyFile(const std::string& from, const std::string& to);

    OsFileHandle file_;
    std::int64_t sizeAtOpen_ = 0;
};

// Zeroed memory for a large working store, whole pages straight from the OS. Linux backs it
// with 2 MiB pages where it can, so filling a store of a million work units costs a few
// hundred page faults instead of a few hundred thousand. nullptr when the OS refuses.
void* allocateLarge(std::size_t bytes);
// Gives back a block of allocateLarge, with the size it was asked for.
void freeLarge(void* block, std::size_t bytes);

// What a path names: nothing (Missing), a file that InputFile opens (Readable), or anything
// else that is there (Unreadable): a file this process may not read, a directory, a FIFO, a
// device, a broken symbolic link. Tells a file that is not there from
// one that would not read.
enum class FileStatus { Missing, Readable, Unreadable };
FileStatus fileStatus(const std::string& path);

// Whether two paths name one file or folder that is there, by whatever names or links they
// reach it; false when either names nothing.
bool sameFile(const std::string& a, const std::string& b);

// Copies a regular file, replacing the target when it exists, by way of the safe replace of
// ReplacingFile: the bytes go to this run's own temporary file beside the target, which is
// renamed over it once whole. True when the copy is in place; a copy that fails at any step
// leaves the old target as it was. The copy keeps the source's last-write time. A new copy
// gets the source's access rights (POSIX: its permission bits less the umask; Windows: the
// rights its folder hands down), an existing one keeps its own. A copy of a file onto itself is
// refused. Every step goes through the write seam.
bool copyFile(const std::string& from, const std::string& to);

// The safe replace of a file, for bytes that come a piece at a time. They go to a temporary
// file in the same directory, in blocks of 256 KiB, and commit renames it over the target only
// after every byte was written, synced and closed. The new file keeps the old one's access
// rights (see OutFile::keepAccessOf); a target this process may not write is refused, and so
// is one that is no regular file (a FIFO, a device, a directory stays what it is). On POSIX a
// symbolic link at the path stays a link: the file it points to is the one replaced. On any
// failure the target keeps its old bytes and the temporary file is removed; so it is when the
// object is destroyed without a commit (after a failed step, or while an exception unwinds its
// owner). Every step goes through the write seam.
//
// Runs that write one target at the same time never take each other's bytes: the target is
// always the old file or one run's whole output, the last one renamed. Each run makes its own
// temporary file, "<target>.<8 hex digits>.tmp~" (exclusively, with a new random tag when the
// name is taken), and holds a lock on it from its making until it is renamed or removed. Where
// that name would pass the 255-byte limit of a bare name, a shorter form of the target's name
// (its front and a hash of the whole) stands in its place, so the temporary file's name is never
// longer than the target's own. A temporary file of that pattern beside the target that no run
// holds, such as one a killed run left, is removed by the next run that writes the target; no
// other file is touched.
class ReplacingFile {
public:
    ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile();

    // Bytes are gathered into blocks of this size and written a block at a time; a piece of a
    // whole block or more goes to the file as it is, without a copy.
    static constexpr std::size_t BlockSize = 256 * 1024;

    // Makes the temporary file with the target's access rights, and removes the ones no run
    // holds. A target that does not exist yet gets the rights the OS gives a new file. False
    // when refused or failed.
    bool open(const std::string& path);
    // False once any step has failed; nothing is put in place then.
    bool write(std::string_view bytes);
    // Puts the new bytes in place: true once renamed, even when the directory sync after the
    // rename failed. False when anything failed; the target then keeps its old bytes.
    bool commit();

private:
    friend bool copyFile(const std::string& from, const std::string& to);

    // open for a copy: a target that does not exist yet gets the access rights of `source`.
    bool open(const std::string& path, const OsFile* source);
    bool makeTemporary(const OsFile* source);
    bool writeBlock();

    std::unique_ptr<OutFile> out_;
    std::string target_;
    std::string temporary_;  // empty when there is none to remove
    std::string block_;
    bool failed_ = false;
    bool keepModified_ = false;  // a copy's: the new file gets the time below at the commit
    std::int64_t modifiedNanoseconds_ = 0;
};

// An exclusive lock on a data file for one run: held while a run reads and rewrites the
// file, or appends to it; a second run waits until the first releases it. It is held on the
// lock file "<file>.lock" beside the file (beside the file a link leads to), made when missing
// and removed on release, so none stays behind but after a crash (the next run takes that one
// over and removes it). The lock file is never opened through a link: a link at its name (or a
// directory, or anything but a regular file) refuses the lock, so nothing is made, cut or
// removed where such a link leads. POSIX: flock; Windows: LockFileEx.
class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { release(); }

    // Waits until the lock of `path` is held. When another run holds it, `onWait` (if given)
    // is called once, with the lock file's path, before the wait begins. False when the lock
    // file cannot be made or locked (a directory this process may not write, a file system
    // without locks, a link at the lock file's name).
    bool lock(const std::string& path, void (*onWait)(const std::string& lockPath) = nullptr);
    // Removes the lock file, then releases the lock; nothing when none is held. In that
    // order: a run that waited on the file then finds it gone and locks the one at the path,
    // so no two runs ever hold the lock at once.
    void release();

private:
    OsFileHandle file_;  // the lock file, open and locked
    std::string lockPath_;
};

// Appends `bytes` to `path` (created when missing). On a failed write or sync the file is cut
// back to its former length, so the old contents stay intact. Once the bytes are synced the
// append counts as done, whatever close then says.
bool appendFileContents(const std::string& path, std::string_view bytes);

}  // namespace platform
