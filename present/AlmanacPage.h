// The almanac page: one self-contained HTML file of a whole history, with its charts as inline
// SVG, no script and nothing fetched from elsewhere.
#pragma once

#include <functional>
#include <string>

#include "store/WorkUnitList.h"

struct AlmanacInput {
    int sourcesRead = 0;  // the files the records came from
    // Whether the result page of the unit named stands beside the almanac page; the best
    // signals' names then link to it. Unset: no name links.
    std::function<bool(const std::string& name)> hasResultPage;
};

// Writes the page in text mode (CR LF line ends on every OS), creating or replacing the file
// safely (see platform::ReplacingFile): a failed write leaves an old page as it was. False when
// refused or when any step fails.
bool writeAlmanacPage(const WorkUnitList& store, const AlmanacInput& input,
                      const std::string& path);
// The bytes writeAlmanacPage writes, in memory.
std::string almanacPageBytes(const WorkUnitList& store, const AlmanacInput& input);
