// Internal to the platform layer: what the portable half asks of either OS half beyond
// platform.h, and the counter behind failWriteCallAfter that every call of the write seam asks.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

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
