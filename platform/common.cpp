// The portable half of the platform layer: the order of directory entries, whole-file reads
// and file status on the OS half's input file, the safe replace, copy and append built on the
// OS half's write seam, the temporary files' names and their cleanup, and the data file lock,
// built on the OS half's file identities and locks.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/os/Internal.h"
#include "platform/platform.h"

namespace platform {

namespace {

int faultCountdown = 0;

unsigned char foldedToUpper(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
}

}  // namespace

namespace detail {

bool injectedWriteFault() {
    if (faultCountdown <= 0) return false;
    return --faultCountdown == 0;
}

}  // namespace detail

// True when `a` comes before `b` in the order of listFiles.
static bool directoryOrderLess(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = foldedToUpper(a[i]);
        const unsigned char y = foldedToUpper(b[i]);
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    // Names equal but for case (possible on POSIX): the plain bytes decide, upper case first.
    return a < b;
}

std::vector<DirEntry> listFiles(const std::string& pattern) {
    std::vector<DirEntry> entries;
    if (!detail::listMatches(pattern, entries)) return {};
    // One order on every OS and file system, so that the same sources merge the same way
    // everywhere (the first reading of a work unit keeps its header).
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        return directoryOrderLess(a.name, b.name);
    });
    return entries;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldedToUpper(a[i]) != foldedToUpper(b[i])) return false;
    }
    return true;
}

void failWriteCallAfter(int n) { faultCountdown = n > 0 ? n : 0; }

int zoneOffsetSeconds() {
    static const int offset = detail::runtimeZoneOffset();
    return offset;
}

std::int64_t nowUtc() {
    // The system clock counts from 1970-01-01 00:00:00 UTC (guaranteed since C++20).
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool readFile(const std::string& path, std::string& bytes) {
    // Only a regular file is read: a FIFO or a device such as /dev/zero has no end, a
    // directory no bytes.
    InputFile in;
    if (!in.open(path)) return false;
    std::string data(static_cast<std::size_t>(in.sizeAtOpen()), '\0');
    std::size_t filled = 0;
    // Files that report no size (/proc) or grew since are read on to their real end.
    char more[65536];
    for (;;) {
        const bool inData = filled < data.size();
        const std::int64_t got = inData ? in.read(data.data() + filled, data.size() - filled)
                                        : in.read(more, sizeof more);
        if (got < 0) return false;
        if (got == 0) break;
        if (!inData) data.append(more, static_cast<std::size_t>(got));
        filled += static_cast<std::size_t>(got);
    }
    data.resize(filled);
    bytes = std::move(data);
    return true;
}

FileStatus fileStatus(const std::string& path) {
    if (!detail::anythingAt(path)) return FileStatus::Missing;
    InputFile in;
    return in.open(path) ? FileStatus::Readable : FileStatus::Unreadable;
}

bool sameFile(const std::string& a, const std::string& b) {
    detail::FileId first, second;
    return detail::fileIdAt(a, true, first) && detail::fileIdAt(b, true, second) && first == second;
}

namespace {

// Few system calls, and little memory held while a page or a copy is written.
constexpr std::size_t ReplaceBlockSize = ReplacingFile::BlockSize;

// A temporary file's name: the target's bare name (or its stand-in), a dot, a tag of
// TagDigits hex digits and TemporaryEnding.
constexpr std::string_view TemporaryEnding = ".tmp~";
constexpr std::size_t TagDigits = 8;
constexpr std::size_t TemporaryAdded = 1 + TagDigits + TemporaryEnding.size();
// The longest bare name that Linux file systems and NTFS take (bytes; NTFS counts UTF-16
// units, never more than the bytes of an ANSI name).
constexpr std::size_t NameLimit = 255;
constexpr std::size_t HashDigits = 16;

void appendHex(std::string& text, std::uint64_t value, std::size_t digits) {
    for (std::size_t shift = digits * 4; shift > 0; shift -= 4)
        text += "0123456789abcdef"[(value >> (shift - 4)) & 0xF];
}

// FNV-1a: the same 64 bits for the same name in every run and on every OS.
std::uint64_t nameHash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return hash;
}

// What a temporary file's name begins with: the target's bare name while the temporary name
// stays within the limit; otherwise a stand-in that makes it no longer than the bare name (nor
// the limit): the name's front, cut after an ASCII byte so that no character of several bytes
// is split, then "~" and the hash of the whole name, which keeps different long names apart.
std::string temporaryStem(std::string_view bare) {
    if (bare.size() + TemporaryAdded <= NameLimit) return std::string(bare);
    const std::size_t length = std::min(bare.size(), NameLimit);
    std::size_t front = length - TemporaryAdded - 1 - HashDigits;
    while (front > 0 && static_cast<unsigned char>(bare[front - 1]) >= 0x80) --front;
    std::string stem(bare.substr(0, front));
    stem += '~';
    appendHex(stem, nameHash(bare), HashDigits);
    return stem;
}

// A new tag for each temporary file: random per process, then stepped, so runs started in the
// same moment make different names; a clash only costs a retry of the exclusive create.
std::string temporaryTag() {
    static std::atomic<std::uint64_t> state{[] {
        std::uint64_t seed =
            static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        try {
            std::random_device device;
            seed ^= (std::uint64_t{device()} << 32) ^ device();
        } catch (...) {
            // No random source: the clock alone still differs between runs.
        }
        return seed;
    }()};
    // splitmix64 of the next step: neighbouring steps give unrelated tags.
    std::uint64_t z = state.fetch_add(0x9E3779B97F4A7C15ULL) + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    std::string tag;
    appendHex(tag, z ^ (z >> 31), TagDigits);
    return tag;
}

// True when `path` names the open file `handle` itself, as it did when the file was opened:
// neither removed nor replaced by another file since.
bool stillNamedBy(const OsFile& file, const std::string& path) {
    detail::FileId open;
    detail::FileId named;
    return detail::fileIdOf(file, open) && detail::fileIdAt(path, false, named) && open == named;
}

// The temporary files of one target: "<folder><stem>.<tag>.tmp~".
struct TemporaryNames {
    explicit TemporaryNames(const std::string& target) {
        const std::size_t start = detail::bareNameStart(target);
        folder = target.substr(0, start);
        stem = temporaryStem(std::string_view(target).substr(start));
    }

    std::string make() const {
        return folder + stem + "." + temporaryTag() + std::string(TemporaryEnding);
    }

    // True for a bare name of this pattern: the stem, a dot, the hex tag and the ending.
    bool matches(const std::string& name) const {
        if (name.size() != stem.size() + TemporaryAdded ||
            name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '.' ||
            !name.ends_with(TemporaryEnding)) {
            return false;
        }
        return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size() + 1),
                           name.begin() + static_cast<std::ptrdiff_t>(stem.size() + 1 + TagDigits),
                           [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    }

    // Removes every temporary file of this target that no run holds: one whose lock can be
    // had, and that still is the file at its name once it is locked (a run that made a file of
    // the same name since then keeps it). Such a file belongs to no live run: a run holds the
    // lock from its making on, and checks after locking that no cleanup removed it meanwhile.
    void removeUnheld(const std::string& own) const {
        std::vector<DirEntry> entries;
        const std::string pattern = folder + stem + ".*" + std::string(TemporaryEnding);
        if (!detail::listMatches(pattern, entries)) return;
        for (const DirEntry& entry : entries) {
            const std::string path = folder + entry.name;
            if (entry.isDirectory || !matches(entry.name) || path == own) continue;
            const OsFileHandle file = detail::openLockable(path, false);
            if (file != nullptr && detail::lockWhole(*file, false) == detail::Lock::Held &&
                stillNamedBy(*file, path)) {
                removeFile(path);
            }
        }
    }

    std::string folder;  // up to and with the last separator; empty for the current directory
    std::string stem;
};

}  // namespace

bool OutFile::lock() {
    if (file_ == nullptr || locked_ != nullptr ||
        detail::lockWhole(*file_, true) != detail::Lock::Held) {
        return false;
    }
    locked_ = detail::duplicateHandle(*file_);
    return locked_ != nullptr;
}

void OutFile::unlock() { locked_.reset(); }

bool OutFile::isAt(const std::string& path) const {
    return file_ != nullptr && stillNamedBy(*file_, path);
}

ReplacingFile::ReplacingFile() : out_(std::make_unique<OutFile>()) {}

ReplacingFile::~ReplacingFile() {
    // Removed while still locked and open: no cleanup can take the name in between.
    if (!temporary_.empty()) removeFile(temporary_);
}

bool ReplacingFile::makeTemporary(const OsFile* source) {
    const TemporaryNames names(target_);
    // 100 tries: each one that fails was beaten by another run to the same random name, or
    // lost its new file to a cleanup before it was locked.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = names.make();
        if (!out_->openNew(temporary, source)) {
            detail::FileId taken;
            if (detail::fileIdAt(temporary, false, taken)) continue;  // the name was taken
            return false;
        }
        // Locked at once; a cleanup that caught the file unlocked removed it, and another name
        // is made. Where the file system has no locks, no cleanup can lock it either.
        if (!out_->lock() || out_->isAt(temporary)) {
            temporary_ = temporary;
            names.removeUnheld(temporary_);
            return true;
        }
        out_->close();
        out_->unlock();
    }
    return false;
}

bool ReplacingFile::open(const std::string& path) { return open(path, nullptr); }

bool ReplacingFile::open(const std::string& path, const OsFile* source) {
    if (!temporary_.empty()) return false;
    // The temporary file sits beside the target so the rename never crosses file systems.
    target_ = detail::replaceTarget(path);
    if (!makeTemporary(source)) return false;
    block_.reserve(ReplaceBlockSize);
    failed_ = !out_->keepAccessOf(target_);
    return !failed_;
}

bool ReplacingFile::writeBlock() {
    if (!failed_ && !block_.empty()) failed_ = !out_->write(block_);
    block_.clear();
    return !failed_;
}

bool ReplacingFile::write(std::string_view bytes) {
    if (temporary_.empty() || failed_) return false;
    if (block_.size() + bytes.size() > ReplaceBlockSize) {
        if (!writeBlock()) return false;
        // A piece of a whole block or more goes out as it is, without a copy.
        if (bytes.size() >= ReplaceBlockSize) {
            failed_ = !out_->write(bytes);
            return !failed_;
        }
    }
    block_.append(bytes);
    return true;
}

bool ReplacingFile::commit() {
    if (temporary_.empty()) return false;
    const bool written =
        writeBlock() && (!keepModified_ || out_->setModified(modifiedNanoseconds_)) && out_->sync();
    const bool closed = out_->close();
    // The lock stays held through the rename (on the second handle): a closed temporary file
    // without it would look like a killed run's to another run's cleanup.
    const bool renamed = written && closed && renameReplace(temporary_, target_);
    if (!renamed) {
        failed_ = true;
        removeFile(temporary_);
    }
    out_->unlock();
    temporary_.clear();
    return renamed;
}

bool copyFile(const std::string& from, const std::string& to) {
    // Only a regular file is copied (a FIFO or a device has no end to copy to), and opening a
    // FIFO never waits.
    InputFile in;
    detail::SourceFacts source;
    if (!in.open(from) || !detail::sourceFacts(*in.file_, source)) return false;
    // A copy onto the file itself, by any name of it, is refused, as CopyFileA refuses it.
    detail::FileId target;
    if (detail::fileIdAt(to, true, target) && target == source.id) return false;
    ReplacingFile out;
    bool ok = out.open(to, in.file_.get());
    out.keepModified_ = true;
    out.modifiedNanoseconds_ = source.modifiedNanoseconds;
    std::vector<char> block(ReplaceBlockSize);
    while (ok) {
        const std::int64_t got = in.read(block.data(), block.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = out.write(std::string_view(block.data(), static_cast<std::size_t>(got)));
    }
    in.close();
    return ok && out.commit();
}

bool FileLock::lock(const std::string& path, void (*onWait)(const std::string& lockPath)) {
    release();
    const std::string lockPath = detail::replaceTarget(path) + ".lock";
    bool told = false;
    // A holder removes the file before it unlocks, so a run that waited on it may have locked
    // a file that is gone: then it locks the one at the path now. Each wait is another run's
    // turn; a file lost without any wait (a race with a holder's removal) may recur, but not
    // for ever.
    for (int lostWithoutWait = 0; lostWithoutWait < 1000;) {
        OsFileHandle file = detail::openLockable(lockPath, true);
        if (file == nullptr) return false;
        detail::Lock got = detail::lockWhole(*file, false);
        const bool waited = got == detail::Lock::Busy;
        if (waited) {
            if (!told && onWait != nullptr) onWait(lockPath);
            told = true;
            got = detail::lockWhole(*file, true);
        }
        if (got == detail::Lock::Held && stillNamedBy(*file, lockPath)) {
            file_ = std::move(file);
            lockPath_ = lockPath;
            return true;
        }
        file.reset();
        if (got != detail::Lock::Held) return false;
        if (!waited) ++lostWithoutWait;
    }
    return false;
}

void FileLock::release() {
    if (file_ == nullptr) return;
    // Removed while still locked: a run that waits on this file then sees it gone.
    removeFile(lockPath_);
    file_.reset();
    lockPath_.clear();
}

bool appendFileContents(const std::string& path, std::string_view bytes) {
    OutFile out;
    if (!out.openAppend(path)) return false;
    if (out.write(bytes) && out.sync()) {
        // The bytes are on the disk now; a failing close cannot take them back, and calling
        // the append failed would lead the caller to append the same record twice.
        out.close();
        return true;
    }
    // Cut the partial record off again so the old contents stay as they were.
    out.truncate(out.sizeAtOpen());
    out.sync();
    out.close();
    return false;
}

}  // namespace platform
