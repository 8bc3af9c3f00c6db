// The wildcard file finder over the platform's directory search, and the rule that tells an
// input file's format from its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

// A plain value: a search's entries are listed whole when it starts, so no OS handle stays
// open between calls and nothing needs releasing.
class FindFile {
public:
    std::int32_t handle = -1;  // 0 while a search is open
    std::string pattern;
    std::string directory;  // the pattern up to its last backslash or slash; ".\" if none
    std::string name;       // bare name of the file found last
    std::string modified;   // its last-write time as local C-library date text

    // Starts a new search; returns the first regular file's name or "" (directories are
    // passed over, and so are the databases' lock files when the last component of the
    // pattern holds a wildcard: "ss_past_data.txt.lock" and "WUInfo.csv.lock" in any case).
    std::string find(const std::string& pattern);
    // The next regular file's name of the current search, or "".
    std::string find();
    void close();

private:
    // Hands out the next entry that is no directory, or "" and closes the search.
    std::string next();

    std::vector<platform::DirEntry> entries_;
    std::size_t next_ = 0;
    bool skipLocks_ = false;
};

// A directory as the start of a path: a backslash is added when it ends in no separator (a
// slash counts as one), so "C:\\Program Files\\SETI@home" names the files inside it. An
// empty directory stays empty: the current one.
std::string directoryPrefix(const std::string& directory);

// Where the last part of a path starts: after its last backslash or slash (both separate
// parts on every system), 0 when it has none.
std::size_t lastPartStart(std::string_view path);

// The kinds of input file the merge tool reads.
enum class InputType { Unknown, WuInfo, I4wu, SetiLog, Support };

// An input file's kind by its bare name: a .csv (or .CSV) holding "WUInfo" is a WUInfo.csv
// table, one holding "SETILog" a SETILog export, one holding "st_" nothing known, any other
// an I4WU export; "ss_past_data.txt" is a support data file.
InputType detectInputType(const std::string& fileName);
