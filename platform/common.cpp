// The portable half of the platform layer: date text, text mode, whole-file helpers and the
// safe replace and append built on the OS half's write seam.
#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <memory>
#include <vector>

#include "platform/os/WriteSeam.h"
#include "platform/platform.h"

namespace platform {

namespace {

int faultCountdown = 0;

// One open directory search: every matching entry, found and sorted at findFirst.
struct Search {
    std::vector<DirEntry> entries;
    std::size_t next = 0;
};

std::vector<std::unique_ptr<Search>>& searches() {
    static std::vector<std::unique_ptr<Search>> table;
    return table;
}

Search* searchOf(int handle) {
    auto& table = searches();
    if (handle < 0 || static_cast<std::size_t>(handle) >= table.size()) return nullptr;
    return table[static_cast<std::size_t>(handle)].get();
}

unsigned char foldedToUpper(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
}

// Days since 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's civil_from_days).
void civilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

void appendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

namespace detail {

bool injectedWriteFault() {
    if (faultCountdown <= 0) return false;
    return --faultCountdown == 0;
}

}  // namespace detail

bool directoryOrderLess(const std::string& a, const std::string& b) {
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

int findFirst(const std::string& pattern, DirEntry& entry) {
    auto search = std::make_unique<Search>();
    if (!detail::listMatches(pattern, search->entries) || search->entries.empty()) return -1;
    // One order on every OS and file system, the one NTFS keeps, so that the same sources
    // merge the same way everywhere (the first reading of a work unit keeps its header).
    std::sort(search->entries.begin(), search->entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return directoryOrderLess(a.name, b.name); });
    entry = search->entries[0];
    search->next = 1;
    auto& table = searches();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i]) {
            table[i] = std::move(search);
            return static_cast<int>(i);
        }
    }
    table.push_back(std::move(search));
    return static_cast<int>(table.size() - 1);
}

bool findNext(int handle, DirEntry& entry) {
    Search* search = searchOf(handle);
    if (search == nullptr || search->next >= search->entries.size()) return false;
    entry = search->entries[search->next++];
    return true;
}

void findClose(int handle) {
    if (searchOf(handle) != nullptr) searches()[static_cast<std::size_t>(handle)].reset();
}

void failWriteCallAfter(int n) { faultCountdown = n > 0 ? n : 0; }

std::string localTimeText(std::int64_t utcSeconds) {
    // Saturate rather than overflow for times no file system can hold.
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 2;
    std::int64_t local = utcSeconds;
    if (local > limit) local = limit;
    if (local < -limit) local = -limit;
    local += zoneOffsetSeconds();

    std::int64_t days = local / 86400;
    std::int64_t secondOfDay = local % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    std::int64_t year = 0;
    int month = 1;
    int day = 1;
    civilFromDays(days, year, month, day);
    // 1970-01-01 was a Thursday.
    const int weekday = static_cast<int>(((days % 7) + 7 + 4) % 7);

    static constexpr std::array<const char*, 7> weekdays = {"Sun", "Mon", "Tue", "Wed",
                                                            "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> months = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string text;
    text.reserve(32);
    text += weekdays[weekday];
    text += ' ';
    text += months[month - 1];
    text += ' ';
    appendTwoDigits(text, day);
    text += ' ';
    const int second = static_cast<int>(secondOfDay);
    appendTwoDigits(text, second / 3600);
    text += ':';
    appendTwoDigits(text, second / 60 % 60);
    text += ':';
    appendTwoDigits(text, second % 60);
    text += ' ';
    // The year takes at least four digits.
    std::string digits = std::to_string(year < 0 ? -year : year);
    if (year < 0) text += '-';
    if (digits.size() < 4) text.append(4 - digits.size(), '0');
    text += digits;
    text += '\n';
    return text;
}

std::int64_t nowUtc() {
    // The system clock counts from 1970-01-01 00:00:00 UTC (guaranteed since C++20).
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string textModeBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) break;
        out.append(text, start, nl - start);
        out += "\r\n";
        start = nl + 1;
    }
    out.append(text, start, std::string_view::npos);
    return out;
}

namespace {

// 256 KiB writes: few system calls, and little memory held while a page or a copy is written.
constexpr std::size_t ReplaceBlockSize = 256 * 1024;

}  // namespace

ReplacingFile::~ReplacingFile() {
    if (temporary_.empty()) return;
    // Closed first: Windows removes no file that is still open.
    out_.close();
    removeFile(temporary_);
}

bool ReplacingFile::open(const std::string& path, unsigned newFileMode) {
    if (!temporary_.empty()) return false;
    // The temporary file sits beside the target so the rename never crosses file systems.
    // One left behind by a crashed run is removed first.
    target_ = detail::replaceTarget(path);
    const std::string temporary = target_ + ".tmp~";
    removeFile(temporary);
    if (!out_.openNew(temporary, newFileMode)) return false;
    temporary_ = temporary;
    block_.reserve(ReplaceBlockSize);
    failed_ = !out_.keepAccessOf(target_);
    return !failed_;
}

bool ReplacingFile::writeBlock() {
    if (!failed_ && !block_.empty()) failed_ = !out_.write(block_);
    block_.clear();
    return !failed_;
}

bool ReplacingFile::write(std::string_view bytes) {
    if (temporary_.empty() || failed_) return false;
    if (block_.size() + bytes.size() > ReplaceBlockSize) {
        if (!writeBlock()) return false;
        // A piece of a whole block or more goes out as it is, without a copy.
        if (bytes.size() >= ReplaceBlockSize) {
            failed_ = !out_.write(bytes);
            return !failed_;
        }
    }
    block_.append(bytes);
    return true;
}

bool ReplacingFile::commit() {
    if (temporary_.empty()) return false;
    const bool written = writeBlock() && out_.sync();
    const bool closed = out_.close();
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
