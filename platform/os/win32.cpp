// Windows half of the platform layer: FindFirstFileA directory search, the C runtime's zone,
// file identities and LockFileEx, and the write seam on CreateFileA / WriteFile / SetFileTime /
// FlushFileBuffers / SetEndOfFile / MoveFileExA. Paths go to the ANSI (A) functions as given,
// backslashes and all.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <time.h>
#include <windows.h>

#include <string_view>
#include <utility>
#include <vector>

#include "platform/os/Internal.h"
#include "platform/platform.h"

namespace platform {

struct OsFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

void OsFileCloser::operator()(OsFile* file) const {
    CloseHandle(file->handle);
    delete file;
}

namespace {

// `handle` as an OsFile to own, or none when it is INVALID_HANDLE_VALUE.
OsFileHandle adopt(HANDLE handle) {
    return OsFileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : new OsFile{handle});
}

// Takes the HANDLE out of `file`, which holds none then; the caller closes it.
HANDLE takeHandle(OsFileHandle& file) {
    const HANDLE handle = file->handle;
    delete file.release();
    return handle;
}

// FILETIME counts 100 ns steps from 1601-01-01; 11644473600 seconds lie before 1970.
constexpr std::int64_t SecondsBefore1970 = 11644473600LL;
constexpr std::int64_t TicksBefore1970 = SecondsBefore1970 * 10000000LL;

std::uint64_t ticksOf(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::int64_t unixSeconds(const FILETIME& time) {
    return static_cast<std::int64_t>(ticksOf(time) / 10000000ULL) - SecondsBefore1970;
}

// 100 ns steps since 1970.
std::int64_t unixTicks(const FILETIME& time) {
    return static_cast<std::int64_t>(ticksOf(time)) - TicksBefore1970;
}

void toEntry(const WIN32_FIND_DATAA& data, DirEntry& entry) {
    entry.name = data.cFileName;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.lastWriteUtc = unixSeconds(data.ftLastWriteTime);
}

bool seamFails() {
    if (!detail::injectedWriteFault()) return false;
    SetLastError(ERROR_WRITE_FAULT);
    return true;
}

// Writes every byte, going on after short writes.
bool writeFully(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        // WriteFile takes a 32-bit length: 1 GiB steps.
        const DWORD chunk =
            static_cast<DWORD>(bytes.size() < (1u << 30) ? bytes.size() : (1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Opens `path` for writing with the given creation rule and sharing; none when it fails.
OsFileHandle openForWriting(const std::string& path, DWORD creation, DWORD sharing) {
    return adopt(CreateFileA(path.c_str(), GENERIC_WRITE, sharing, nullptr, creation,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

detail::FileId idOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// The reparse points (symbolic links, junctions) and directories that a lock never opens.
constexpr DWORD NoLockFile = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;

}  // namespace

namespace detail {

bool listMatches(const std::string& pattern, std::vector<DirEntry>& entries) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        // "." and "..": the directory's names for itself and its parent, no entries of it.
        const std::string_view name = data.cFileName;
        if (name == "." || name == "..") continue;
        DirEntry entry;
        toEntry(data, entry);
        entries.push_back(std::move(entry));
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return true;
}

}  // namespace detail

void startProgram() {}

namespace detail {

int runtimeZoneOffset() {
    _tzset();
    return static_cast<int>(-_timezone);
}

bool anythingAt(const std::string& path) {
    // Only "not found" says nothing is there; a refusal says something is.
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace detail

std::string nativePath(const std::string& path) { return path; }

const char* const ExecutableSuffix = ".exe";

std::string programName(const std::string&) {
    // The C runtime gives argv[0] as it was typed ("zarnik", ".\\Zarnik"); the mode follows
    // the executable's own file name, as the file system spells it.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut off: try a larger buffer
    }
    WIN32_FIND_DATAA data;
    HANDLE found = FindFirstFileA(path.c_str(), &data);
    if (found != INVALID_HANDLE_VALUE) {
        FindClose(found);
        return data.cFileName;
    }
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool InputFile::open(const std::string& path) {
    close();
    OsFileHandle file =
        adopt(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    // Only a file on a disk is read: a pipe or a device such as CON has no end. A directory
    // does not open here (that takes FILE_FLAG_BACKUP_SEMANTICS).
    LARGE_INTEGER size;
    if (file == nullptr || GetFileType(file->handle) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file->handle, &size)) {
        return false;
    }
    file_ = std::move(file);
    sizeAtOpen_ = size.QuadPart;
    return true;
}

std::int64_t InputFile::read(char* buffer, std::size_t size) {
    if (file_ == nullptr) return -1;
    // ReadFile takes at most 1 GiB a call.
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    if (!ReadFile(file_->handle, buffer, wanted, &got, nullptr)) return -1;
    return static_cast<std::int64_t>(got);
}

void* allocateLarge(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLarge(void* block, std::size_t /*bytes*/) {
    if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

bool OutFile::openAppend(const std::string& path) {
    if (file_ != nullptr || seamFails()) return false;
    OsFileHandle file = openForWriting(path, OPEN_ALWAYS, FILE_SHARE_READ);
    LARGE_INTEGER size;
    const LARGE_INTEGER zero{};
    // Only a file on a disk is appended to, not a pipe or a device.
    if (file == nullptr || GetFileType(file->handle) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file->handle, &size) ||
        !SetFilePointerEx(file->handle, zero, nullptr, FILE_END)) {
        return false;
    }
    file_ = std::move(file);
    sizeAtOpen_ = size.QuadPart;
    return true;
}

bool OutFile::openNew(const std::string& path, const OsFile* /*model*/) {
    if (file_ != nullptr || seamFails()) return false;
    // Shared for deletion, so that MoveFileExA can rename it while its lock is still held.
    file_ = openForWriting(path, CREATE_NEW, FILE_SHARE_READ | FILE_SHARE_DELETE);
    sizeAtOpen_ = 0;
    return file_ != nullptr;
}

bool OutFile::write(std::string_view bytes) {
    if (file_ == nullptr) return false;
    if (seamFails()) {
        // As a write that meets a full disk: part of the bytes land before the failure.
        writeFully(file_->handle, bytes.substr(0, bytes.size() / 2));
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return writeFully(file_->handle, bytes);
}

bool OutFile::keepAccessOf(const std::string& path) {
    if (file_ == nullptr || seamFails()) return false;
    // The new file takes the rights its directory hands down. A read-only target, or a
    // directory, is refused here, as MoveFileExA would refuse it after all the writing.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

bool OutFile::setModified(std::int64_t nanoseconds) {
    if (file_ == nullptr || seamFails()) return false;
    const auto ticks = static_cast<std::uint64_t>(nanoseconds / 100 + TicksBefore1970);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return SetFileTime(file_->handle, nullptr, nullptr, &time) != 0;
}

bool OutFile::sync() {
    if (file_ == nullptr || seamFails()) return false;
    return FlushFileBuffers(file_->handle) != 0;
}

bool OutFile::close() {
    if (file_ == nullptr) return false;
    const HANDLE file = takeHandle(file_);
    if (seamFails()) {
        CloseHandle(file);
        return false;
    }
    return CloseHandle(file) != 0;
}

bool OutFile::truncate(std::int64_t length) {
    if (file_ == nullptr || length < 0 || seamFails()) return false;
    LARGE_INTEGER position;
    position.QuadPart = length;
    return SetFilePointerEx(file_->handle, position, nullptr, FILE_BEGIN) &&
           SetEndOfFile(file_->handle);
}

bool renameReplace(const std::string& from, const std::string& to) {
    if (seamFails()) return false;
    // A target that another process has open without sharing it for deletion (or that another
    // run is renaming over at this moment) refuses the rename for a while: tried again for up
    // to a second. No MOVEFILE_COPY_ALLOWED: a copy across volumes would not replace in one step.
    for (int tries = 1;; ++tries) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION &&
             error != ERROR_LOCK_VIOLATION) ||
            tries == 100) {
            return false;
        }
        Sleep(10);
    }
}

bool removeFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

namespace detail {

// MoveFileExA replaces a symbolic link itself; such links are rare on Windows data folders.
std::string replaceTarget(const std::string& path) { return path; }

std::size_t bareNameStart(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? 0 : cut + 1;
}

bool fileIdOf(const OsFile& file, FileId& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.handle, &info)) return false;
    id = idOf(info);
    return true;
}

bool fileIdAt(const std::string& path, bool followLink, FileId& id) {
    // No access asked and every sharing granted: the file is only looked at.
    const OsFileHandle file = adopt(CreateFileA(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
        nullptr));
    return file != nullptr && fileIdOf(*file, id);
}

OsFileHandle openLockable(const std::string& path, bool create) {
    // A lock file its holder removed cannot be opened while waiting runs still have it open,
    // a moment at most: tried again, 200 times at the most.
    for (int refused = 0;;) {
        // FILE_FLAG_OPEN_REPARSE_POINT: a link at the name opens as itself, never where it leads.
        OsFileHandle file =
            adopt(CreateFileA(path.c_str(), create ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              create ? OPEN_ALWAYS : OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (file != nullptr) {
            BY_HANDLE_FILE_INFORMATION info;
            if (GetFileType(file->handle) == FILE_TYPE_DISK &&
                GetFileInformationByHandle(file->handle, &info) &&
                (info.dwFileAttributes & NoLockFile) == 0) {
                return file;
            }
            return nullptr;
        }
        if (!create || GetLastError() != ERROR_ACCESS_DENIED || ++refused > 200) return nullptr;
        // Refused for good: a directory or a link to one.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & NoLockFile) != 0) return nullptr;
        Sleep(10);
    }
}

Lock lockWhole(const OsFile& file, bool wait) {
    OVERLAPPED whole{};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (LockFileEx(file.handle, flags, 0, MAXDWORD, MAXDWORD, &whole)) return Lock::Held;
    return GetLastError() == ERROR_LOCK_VIOLATION ? Lock::Busy : Lock::Failed;
}

OsFileHandle duplicateHandle(const OsFile& file) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, file.handle, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return adopt(copy);
}

bool sourceFacts(const OsFile& file, SourceFacts& facts) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.handle, &info)) return false;
    facts.id = idOf(info);
    facts.modifiedNanoseconds = unixTicks(info.ftLastWriteTime) * 100;
    return true;
}

}  // namespace detail

}  // namespace platform
