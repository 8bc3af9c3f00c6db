// Internal to the platform layer: the open file, rename and remove that the safe replace and
// append are made of, the file identities and whole-file locks that the lock and the
// temporary files rest on, what the portable half asks of either OS half beyond platform.h,
// and the counter behind failWriteCallAfter that every call of the write seam asks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform {

// A file opened for writing. Bytes are written as they are; callers that write text mode
// put "\r\n" in place themselves. Every call goes through the write seam, so a test can make
// any one of them fail. Destroyed, it closes without syncing, and lets go of the lock.
class OutFile {
public:
    // Opens for appending, creating the file when missing; sizeAtOpen() tells the old length.
    // Only a regular file opens (a FIFO never makes the call wait).
    bool openAppend(const std::string& path);
    // Creates a new file that must not exist yet (for temporary files); never through a link.
    // POSIX gives it the permission bits of the open file `model` (0666 without one) less the
    // umask; Windows the rights its folder hands down, whatever `model`, and lets the file be
    // renamed while it is open.
    bool openNew(const std::string& path, const OsFile* model = nullptr);
    bool isOpen() const { return file_ != nullptr; }
    // Takes the whole-file lock that tells a cleanup this file is being written, waiting while
    // a cleanup holds it for a moment. It stays held after close() until unlock(), so the file
    // can be closed before it is renamed. False where the file system has no locks.
    bool lock();
    // Lets go of the lock of lock(), once the file is renamed or removed.
    void unlock();
    // True when `path` names this open file itself (a link there is not followed).
    bool isAt(const std::string& path) const;
    bool write(std::string_view bytes);
    // Gives this newly made file the access rights of the existing file at `path`, so that a
    // replace changes no one's access. POSIX: its permission bits, and its owner and group
    // where the OS allows; when the group cannot be kept the group gets no rights (they were
    // granted to the old group). False when `path` exists but this process may not write it,
    // as an in-place write could not (Windows leaves that refusal to MoveFileExA), or when the
    // rights cannot be set. A missing `path` leaves the defaults and is no failure; one that is
    // no regular file is refused (Windows: a directory).
    bool keepAccessOf(const std::string& path);
    // Sets the last-write time, in nanoseconds since 1970-01-01 00:00:00 UTC (Windows keeps
    // it to 100 ns). Written bytes change the time again, so it comes after the last write.
    bool setModified(std::int64_t nanoseconds);
    // Flushes the OS buffers to the disk (fsync / FlushFileBuffers).
    bool sync();
    bool close();
    // Cuts an open file back to `length` bytes (undoes a failed append).
    bool truncate(std::int64_t length);
    std::int64_t sizeAtOpen() const { return sizeAtOpen_; }

private:
    OsFileHandle file_;
    OsFileHandle locked_;  // a second handle on the same open file, holding its lock
    std::int64_t sizeAtOpen_ = 0;
};

// Renames `from` over `to` in one step (MoveFileExA with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH on Windows, tried again for a second while another process has the
// target open); the target is never deleted first, and `from` may still be open. True once
// renamed. POSIX then syncs the directory so the rename survives a crash; that sync is a
// step of the write seam, but its failure cannot undo the rename and does not count as one:
// after a crash the target holds either the old or the new bytes, whole.
bool renameReplace(const std::string& from, const std::string& to);
bool removeFile(const std::string& path);

// The path as the OS wants it: on POSIX every backslash becomes a slash.
std::string nativePath(const std::string& path);

}  // namespace platform

namespace platform::detail {

// True when this call of the write seam is the one a test asked to fail; it then acts as if
// the OS refused it. Each call counts once.
bool injectedWriteFault();

// The file a safe replace of `path` writes: on POSIX the file a symbolic link there points to
// (so the link stays a link), otherwise `path` itself.
std::string replaceTarget(const std::string& path);

// Where the bare name begins in `path`: after its last directory separator (POSIX: the
// slash of the native path; Windows: a backslash, a slash or a drive's colon).
std::size_t bareNameStart(const std::string& path);

// The standard zone offset of the C runtime, in seconds east of Greenwich, after it read the
// zone (tzset): minus its `timezone`.
int runtimeZoneOffset();

// True when anything is at `path`, a broken link too, whether or not it would read: the
// difference between FileStatus::Missing and FileStatus::Unreadable.
bool anythingAt(const std::string& path);

// Appends every entry that `pattern` matches, in whatever order the OS yields them, but for
// "." and ".."; false when the search cannot start (no such directory, an empty last
// component). The portable half sorts them.
bool listMatches(const std::string& pattern, std::vector<DirEntry>& entries);

// Which file a handle or a path names, the same for every name of it: device and inode on
// POSIX, volume and file index on Windows.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};
bool fileIdOf(const OsFile& file, FileId& id);
// False when nothing is there. `followLink`: a link counts as the file it leads to, else
// as itself.
bool fileIdAt(const std::string& path, bool followLink, FileId& id);

// Opens the regular file at `path` to take its lock, never through a link: none when a link,
// a directory or anything but a regular file is there, or it cannot be opened. `create` makes
// a missing one (for a lock file); otherwise it must exist (a temporary file to clean up).
// The lock goes with the last handle on the open file.
OsFileHandle openLockable(const std::string& path, bool create);
// The exclusive whole-file lock of an open file (flock / LockFileEx): Busy when another
// holds it and `wait` is false; Failed when the file system has no locks.
enum class Lock { Held, Busy, Failed };
Lock lockWhole(const OsFile& file, bool wait);
// Another handle on the same open file, which shares its lock; none when it cannot be made.
OsFileHandle duplicateHandle(const OsFile& file);

// What a copy takes from its open source: which file it is, and its last-write time.
struct SourceFacts {
    FileId id;
    std::int64_t modifiedNanoseconds = 0;
};
bool sourceFacts(const OsFile& file, SourceFacts& facts);

}  // namespace platform::detail
