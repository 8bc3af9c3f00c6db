// The portable half of the platform layer: the order of directory entries, and the
// safe replace and append built on the OS half's write seam.
#include <algorithm>
#include <chrono>
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

std::int64_t nowUtc() {
    // The system clock counts from 1970-01-01 00:00:00 UTC (guaranteed since C++20).
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

namespace {

// 256 KiB writes: few system calls, and little memory held while a page or a copy is written.
constexpr std::size_t ReplaceBlockSize = 256 * 1024;

}  // namespace

ReplacingFile::~ReplacingFile() {
    if (temporary_.empty()) return;
    // Closed first: Windows removes no file that is still open.
    out_->close();
    removeFile(temporary_);
}

ReplacingFile::ReplacingFile() : out_(std::make_unique<OutFile>()) {}

bool ReplacingFile::open(const std::string& path, unsigned newFileMode) {
    if (!temporary_.empty()) return false;
    // The temporary file sits beside the target so the rename never crosses file systems.
    // One left behind by a crashed run is removed first.
    target_ = detail::replaceTarget(path);
    const std::string temporary = target_ + ".tmp~";
    removeFile(temporary);
    if (!out_->openNew(temporary, newFileMode)) return false;
    temporary_ = temporary;
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
    const bool written = writeBlock() && out_->sync();
    const bool closed = out_->close();
    if (!written || !closed || !renameReplace(temporary_, target_)) {
        failed_ = true;
        removeFile(temporary_);
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    return true;
}

bool replaceFileContents(const std::string& path, std::string_view bytes) {
    ReplacingFile out;
    return out.open(path) && out.write(bytes) && out.commit();
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
