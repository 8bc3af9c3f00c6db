// Internal to the platform layer: the open file, rename and remove that the safe replace and
// append are made of, what the portable half asks of either OS half beyond platform.h, and
// the counter behind failWriteCallAfter that every call of the write seam asks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform {

// A file opened for writing. Bytes are written as they are; callers that write text mode
// put "\r\n" in place themselves. Every call goes through the write
// seam, so a test can make any one of them fail.
class OutFile {
public:
    OutFile() = default;
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;
    ~OutFile();  // closes without syncing

    // Opens for appending, creating the file when missing; sizeAtOpen() tells the old length.
    // Only a regular file opens (a FIFO never makes the call wait).
    bool openAppend(const std::string& path);
    // Creates a new file that must not exist yet (for temporary files). POSIX gives it the
    // permission bits `mode` less the umask; Windows ignores `mode`.
    bool openNew(const std::string& path, unsigned mode = 0666);
    bool isOpen() const { return handle_ != -1; }
    bool write(std::string_view bytes);
    // Gives this newly made file the access rights of the existing file at `path`, so that a
    // replace changes no one's access. POSIX: its permission bits, and its owner and group
    // where the OS allows; when the group cannot be kept the group gets no rights (they were
    // granted to the old group). False when `path` exists but this process may not write it,
    // as an in-place write could not (Windows leaves that refusal to MoveFileExA), or when the
    // rights cannot be set. A missing `path` leaves the defaults and is no failure; on POSIX
    // one that is no regular file is refused.
    bool keepAccessOf(const std::string& path);
    // Flushes the OS buffers to the disk (fsync / FlushFileBuffers).
    bool sync();
    bool close();
    // Cuts an open file back to `length` bytes (undoes a failed append).
    bool truncate(std::int64_t length);
    std::int64_t sizeAtOpen() const { return sizeAtOpen_; }

private:
    std::intptr_t handle_ = -1;  // the OS's own: a POSIX descriptor or a Windows HANDLE
    std::int64_t sizeAtOpen_ = 0;
    std::int64_t unsynced_ = 0;  // bytes written since the OS was last asked to write back
};

// Renames `from` over `to` in one step (MoveFileExA with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH on Windows); the target is never deleted first. True once renamed.
// POSIX then syncs the directory so the rename survives a crash; that sync is a step of the
// write seam, but its failure cannot undo the rename and does not count as one: after a crash
// the target holds either the old or the new bytes, whole.
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

// Appends every entry that `pattern` matches, in whatever order the OS yields them; false
// when the search cannot start (no such directory, an empty last component). The portable
// half sorts them.
bool listMatches(const std::string& pattern, std::vector<DirEntry>& entries);

}  // namespace platform::detail
