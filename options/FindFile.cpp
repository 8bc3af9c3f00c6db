// The wildcard file finder over the platform's directory search, and the rule that tells an
// input file's format from its name.
#include "options/FindFile.h"

#include <array>
#include <string_view>

#include "record/ATime.h"

namespace {

// The lock files the merge tool and the archiver hold beside the two databases while they run.
// A pattern such as "*" must not hand one of them on as a source: it is the run's own.
bool isDatabaseLock(std::string_view name) {
    constexpr std::array<std::string_view, 2> Locks = {"ss_past_data.txt.lock", "WUInfo.csv.lock"};
    for (std::string_view lock : Locks) {
        if (platform::sameNameIgnoringCase(name, lock)) return true;
    }
    return false;
}

bool lastComponentHasWildcard(const std::string& pattern) {
    return pattern.find_first_of("*?", lastPartStart(pattern)) != std::string::npos;
}

}  // namespace

std::string FindFile::find(const std::string& searchPattern) {
    // The pattern is taken before `name` is emptied: the caller may pass this object's own
    // name (a full path kept there), which would otherwise be searched as an empty pattern.
    pattern = searchPattern;
    name.clear();
    // Both separators count, so ../data/*.csv names files in ../data/ and not here.
    const std::size_t start = lastPartStart(pattern);
    directory = start == 0 ? std::string(".\\") : pattern.substr(0, start);
    close();
    entries_ = platform::listFiles(pattern);
    // A file named without a wildcard is read as any file, a lock file too.
    skipLocks_ = lastComponentHasWildcard(pattern);
    if (!entries_.empty()) handle = 0;
    return next();
}

std::string FindFile::find() { return next(); }

std::string FindFile::next() {
    name.clear();
    while (handle >= 0 && next_ < entries_.size()) {
        const platform::DirEntry& entry = entries_[next_++];
        if (entry.isDirectory || (skipLocks_ && isDatabaseLock(entry.name))) continue;
        name = entry.name;
        modified = ATime::fileTimeText(entry.lastWriteUtc, platform::zoneOffsetSeconds());
        return name;
    }
    close();
    return name;
}

void FindFile::close() {
    handle = -1;
    entries_.clear();
    next_ = 0;
}

std::string directoryPrefix(const std::string& directory) {
    if (directory.empty() || directory.back() == '\\' || directory.back() == '/') return directory;
    return directory + '\\';
}

InputType detectInputType(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::string_view extension =
        dot == std::string::npos ? std::string_view() : std::string_view(fileName).substr(dot + 1);
    if (extension == "csv" || extension == "CSV") {
        if (fileName.find("WUInfo") != std::string::npos) return InputType::WuInfo;
        if (fileName.find("SETILog") != std::string::npos) return InputType::SetiLog;
        if (fileName.find("st_") != std::string::npos) return InputType::Unknown;
        return InputType::I4wu;
    }
    return fileName == "ss_past_data.txt" ? InputType::Support : InputType::Unknown;
}

std::size_t lastPartStart(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? 0 : cut + 1;
}
