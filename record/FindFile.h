// The wildcard file finder over the platform's directory search, and the rule that tells an
// input file's format from its name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

class FindFile {
public:
    FindFile() = default;
    FindFile(const FindFile&) = delete;
    FindFile& operator=(const FindFile&) = delete;
    ~FindFile() { close(); }

    std::int32_t handle = -1;  // 0 while a search is open
    std::string pattern;
    std::string directory;  // the pattern up to its last backslash or slash; ".\" if none
    std::string name;       // bare name of the file found last
    std::string modified;   // its last-write time as local C-library date text

    // Starts a new search; returns the first regular file's name or "" (directories are
    // passed over).
    std::string find(const std::string& pattern);
    // The next regular file's name of the current search, or "".
    std::string find();
    void close();

private:
    // Hands out the next entry that is no directory, or "" and closes the search.
    std::string next();

    std::vector<platform::DirEntry> entries_;
    std::size_t next_ = 0;
};

// A directory as the start of a path: a backslash is added when it ends in no separator (a
// slash counts as one), so "C:\\Program Files\\SETI@home" names the files inside it. An
// empty directory stays empty: the current one.
std::string directoryPrefix(const std::string& directory);

// Input types by bare file name: 0 WUInfo.csv, 1 I4WU export, 2 SETILog export,
// 3 support data file, -1 not recognised.
int detectInputType(const std::string& fileName);
