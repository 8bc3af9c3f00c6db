// POSIX half of the platform layer: directory search, time zone, paths, file identities and
// flock, and the write seam on open / fchmod / write / futimens / fsync / close / ftruncate /
// rename / directory fsync.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <utility>
#include <vector>

#include "platform/os/Internal.h"
#include "platform/platform.h"

namespace platform {

struct OsFile {
    int fd = -1;
    std::int64_t unsynced = 0;  // bytes written since the OS was last asked to write back
};

void OsFileCloser::operator()(OsFile* file) const {
    ::close(file->fd);
    delete file;
}

namespace {

// The descriptor `fd` as an OsFile to own, or none when it is -1.
OsFileHandle adopt(int fd) { return OsFileHandle(fd < 0 ? nullptr : new OsFile{fd}); }

// Takes the descriptor out of `file`, which holds none then; the caller closes it.
int takeDescriptor(OsFileHandle& file) {
    const int fd = file->fd;
    delete file.release();
    return fd;
}

bool hasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// "." and "..": a directory's names for itself and its parent, never an entry of a search.
bool isDotName(const std::string& name) { return name == "." || name == ".."; }

// Case-sensitive match of * (any run of bytes) and ? (one byte), by backtracking to the last *.
bool wildcardMatch(const std::string& pattern, const std::string& name) {
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// As on Windows, a pattern that ends in ".*" also matches a name without any dot: "*.*"
// takes every name, "z*.*" takes "zfile" too.
bool lastComponentMatch(const std::string& pattern, const std::string& name) {
    if (wildcardMatch(pattern, name)) return true;
    const std::size_t size = pattern.size();
    return size >= 2 && pattern.compare(size - 2, 2, ".*") == 0 &&
           name.find('.') == std::string::npos && wildcardMatch(pattern.substr(0, size - 2), name);
}

// Fills the directory flag and time of `entry` from the file at `path`; a link counts as
// what it points to, a broken link as itself. False when the entry is gone.
bool describe(const std::string& path, DirEntry& entry) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return false;
    entry.isDirectory = S_ISDIR(info.st_mode);
    entry.lastWriteUtc = static_cast<std::int64_t>(info.st_mtime);
    return true;
}

// The directory that holds `path` (native form), for syncing it after a rename.
std::string parentDirectory(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

detail::FileId idOf(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool seamFails() {
    if (!detail::injectedWriteFault()) return false;
    errno = EIO;
    return true;
}

// Writes every byte, going on after short writes and interrupted calls.
bool writeFully(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// One write call of the seam. An injected fault first writes half the bytes, as a write
// that meets a full disk does, so the callers' clean-up of a partial write is tested too.
bool seamWrite(int fd, std::string_view bytes) {
    if (seamFails()) {
        writeFully(fd, bytes.substr(0, bytes.size() / 2));
        errno = EIO;
        return false;
    }
    return writeFully(fd, bytes);
}

}  // namespace

namespace detail {

bool listMatches(const std::string& pattern, std::vector<DirEntry>& entries) {
    const std::string native = nativePath(pattern);
    const std::size_t cut = native.find_last_of('/');
    const std::string dirPart =
        cut == std::string::npos ? std::string() : native.substr(0, cut + 1);
    const std::string last = cut == std::string::npos ? native : native.substr(cut + 1);
    if (last.empty() || isDotName(last)) return false;

    if (!hasWildcard(last)) {
        DirEntry one;
        one.name = last;
        if (!describe(native, one)) return false;
        entries.push_back(std::move(one));
        return true;
    }
    DIR* dir = opendir(dirPart.empty() ? "." : dirPart.c_str());
    if (dir == nullptr) return false;
    while (const dirent* item = readdir(dir)) {
        std::string name = item->d_name;
        if (isDotName(name) || name.find('\\') != std::string::npos ||
            !lastComponentMatch(last, name)) {
            continue;
        }
        DirEntry found;
        found.name = std::move(name);
        if (describe(dirPart + found.name, found)) entries.push_back(std::move(found));
    }
    closedir(dir);
    return true;
}

}  // namespace detail

void startProgram() { signal(SIGXFSZ, SIG_IGN); }

namespace detail {

int runtimeZoneOffset() {
    tzset();
    return static_cast<int>(-timezone);
}

bool anythingAt(const std::string& path) {
    struct stat info {};
    return lstat(nativePath(path).c_str(), &info) == 0;
}

}  // namespace detail

const char* const ExecutableSuffix = "";

std::string programName(const std::string& argv0) {
    // A copy or link of the program under another name picks its mode by that name.
    const std::size_t cut = argv0.find_last_of("\\/");
    return cut == std::string::npos ? argv0 : argv0.substr(cut + 1);
}

std::string nativePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool InputFile::open(const std::string& path) {
    close();
    // Non-blocking, so that opening a FIFO cannot hang; only a regular file is kept open.
    OsFileHandle file = adopt(::open(nativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (file == nullptr || fstat(file->fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    file_ = std::move(file);
    sizeAtOpen_ = static_cast<std::int64_t>(info.st_size);
    return true;
}

std::int64_t InputFile::read(char* buffer, std::size_t size) {
    if (file_ == nullptr) return -1;
    for (;;) {
        const ssize_t got = ::read(file_->fd, buffer, size);
        if (got < 0 && errno == EINTR) continue;
        return got < 0 ? -1 : static_cast<std::int64_t>(got);
    }
}

namespace {

// The size of a large page on Linux: blocks are laid out on it so the kernel can back them
// with such pages.
constexpr std::size_t LargePage = std::size_t{2} << 20;

std::size_t roundedToLargePages(std::size_t bytes) {
    return (bytes + LargePage - 1) / LargePage * LargePage;
}

}  // namespace

void* allocateLarge(std::size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * LargePage) return nullptr;
    const std::size_t size = roundedToLargePages(bytes);
    // One large page more than needed, so the block can start on a large-page boundary;
    // what lies before and after it goes back at once.
    const std::size_t mapped = size + LargePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + LargePage - 1) / LargePage * LargePage;
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t tail = aligned + size;
    if (start + mapped > tail) munmap(reinterpret_cast<void*>(tail), start + mapped - tail);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    // Only advice: where the kernel has no large pages the block is backed as usual.
    madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
}

void freeLarge(void* block, std::size_t bytes) {
    if (block != nullptr) munmap(block, roundedToLargePages(bytes));
}

bool OutFile::openAppend(const std::string& path) {
    if (file_ != nullptr || seamFails()) return false;
    // Non-blocking, so that opening a FIFO cannot hang; only a regular file is appended to.
    OsFileHandle file = adopt(::open(nativePath(path).c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666));
    struct stat info {};
    if (file == nullptr || fstat(file->fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    file_ = std::move(file);
    sizeAtOpen_ = static_cast<std::int64_t>(info.st_size);
    return true;
}

bool OutFile::openNew(const std::string& path, const OsFile* model) {
    if (file_ != nullptr || seamFails()) return false;
    struct stat rights {};
    rights.st_mode = 0666;
    if (model != nullptr && fstat(model->fd, &rights) != 0) return false;
    // O_EXCL: a link at the name counts as taken and is never followed.
    file_ = adopt(::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         rights.st_mode & 0777));
    sizeAtOpen_ = 0;
    return file_ != nullptr;
}

bool OutFile::write(std::string_view bytes) {
    if (file_ == nullptr) return false;
    if (!seamWrite(file_->fd, bytes)) return false;
#ifdef __linux__
    // A large file starts on its way to the disk while the rest is still being made, so the
    // sync at the end has little left to wait for. Only a hint: its outcome changes nothing.
    constexpr std::int64_t WriteBackStep = std::int64_t{8} << 20;
    file_->unsynced += static_cast<std::int64_t>(bytes.size());
    if (file_->unsynced >= WriteBackStep) {
        sync_file_range(file_->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        file_->unsynced = 0;
    }
#endif
    return true;
}

bool OutFile::keepAccessOf(const std::string& path) {
    if (file_ == nullptr || seamFails()) return false;
    const std::string native = nativePath(path);
    struct stat old {};
    if (stat(native.c_str(), &old) != 0) return errno == ENOENT;
    // Only a regular file is replaced: renaming over a FIFO or a device would put a plain file
    // in its place (and a directory refuses the rename anyway).
    if (!S_ISREG(old.st_mode)) return false;
    // A database the user made read-only stays as it is, as with an in-place write.
    if (faccessat(AT_FDCWD, native.c_str(), W_OK, AT_EACCESS) != 0) return false;
    mode_t mode = old.st_mode & 0777;
    // Owner and group first: changing them may clear bits that fchmod then sets. Only root
    // may give the file away; an owner may pick any group it belongs to.
    if (fchown(file_->fd, old.st_uid, old.st_gid) != 0 &&
        fchown(file_->fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        mode &= static_cast<mode_t>(~S_IRWXG);
    }
    return fchmod(file_->fd, mode) == 0;
}

bool OutFile::setModified(std::int64_t nanoseconds) {
    if (file_ == nullptr || seamFails()) return false;
    constexpr std::int64_t PerSecond = 1000000000;
    // Floored, so that a time before 1970 keeps its nanoseconds within 0 and a second.
    std::int64_t seconds = nanoseconds / PerSecond;
    std::int64_t rest = nanoseconds % PerSecond;
    if (rest < 0) {
        --seconds;
        rest += PerSecond;
    }
    struct timespec times[2] = {};
    times[0].tv_nsec = UTIME_OMIT;  // the access time stays as it is
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(rest);
    return futimens(file_->fd, times) == 0;
}

bool OutFile::sync() {
    if (file_ == nullptr || seamFails()) return false;
    return fsync(file_->fd) == 0;
}

bool OutFile::close() {
    if (file_ == nullptr) return false;
    const int fd = takeDescriptor(file_);
    if (seamFails()) {
        ::close(fd);
        return false;
    }
    return ::close(fd) == 0;
}

bool OutFile::truncate(std::int64_t length) {
    if (file_ == nullptr || length < 0 || seamFails()) return false;
    return ftruncate(file_->fd, static_cast<off_t>(length)) == 0;
}

bool renameReplace(const std::string& from, const std::string& to) {
    if (seamFails()) return false;
    const std::string target = nativePath(to);
    if (rename(nativePath(from).c_str(), target.c_str()) != 0) return false;
    // Sync the directory so the rename itself survives a crash. The new bytes are in place
    // whatever this does: a directory we cannot open or sync (some file systems refuse with
    // EINVAL) at worst brings the whole old file back after a crash, so it is no failure, and
    // calling it one would tell the user that the old file was kept when it was not.
    if (seamFails()) return true;
    const int dir = open(parentDirectory(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

bool removeFile(const std::string& path) { return unlink(nativePath(path).c_str()) == 0; }

namespace detail {

std::size_t bareNameStart(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? 0 : cut + 1;
}

bool fileIdOf(const OsFile& file, FileId& id) {
    struct stat info {};
    if (fstat(file.fd, &info) != 0) return false;
    id = idOf(info);
    return true;
}

bool fileIdAt(const std::string& path, bool followLink, FileId& id) {
    const std::string native = nativePath(path);
    struct stat info {};
    if ((followLink ? stat(native.c_str(), &info) : lstat(native.c_str(), &info)) != 0)
        return false;
    id = idOf(info);
    return true;
}

OsFileHandle openLockable(const std::string& path, bool create) {
    const std::string native = nativePath(path);
    // O_NOFOLLOW: a link at the name fails (ELOOP), so nothing is made where it leads.
    // O_NONBLOCK: a FIFO there cannot make the open wait.
    constexpr int NoLinkNoWait = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(native.c_str(), (create ? O_RDWR | O_CREAT : O_RDONLY) | NoLinkNoWait, 0666);
    // flock needs no write access: another user's lock file opens read-only.
    if (fd < 0 && create && errno == EACCES) fd = ::open(native.c_str(), O_RDONLY | NoLinkNoWait);
    OsFileHandle file = adopt(fd);
    struct stat info {};
    if (file == nullptr || fstat(file->fd, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    return file;
}

Lock lockWhole(const OsFile& file, bool wait) {
    int locked = 0;
    while ((locked = flock(file.fd, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    if (locked == 0) return Lock::Held;
    return errno == EWOULDBLOCK ? Lock::Busy : Lock::Failed;
}

OsFileHandle duplicateHandle(const OsFile& file) {
    return adopt(fcntl(file.fd, F_DUPFD_CLOEXEC, 0));
}

bool sourceFacts(const OsFile& file, SourceFacts& facts) {
    struct stat info {};
    if (fstat(file.fd, &info) != 0) return false;
    facts.id = idOf(info);
    facts.modifiedNanoseconds =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

std::string replaceTarget(const std::string& path) {
    const std::string native = nativePath(path);
    struct stat info {};
    if (lstat(native.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return native;
    // A link that leads nowhere is replaced as it stands, as rename would do.
    char* resolved = realpath(native.c_str(), nullptr);
    if (resolved == nullptr) return native;
    std::string target = resolved;
    std::free(resolved);
    return target;
}

}  // namespace detail

}  // namespace platform
