// Internal to the platform layer: what the portable half asks of either OS half beyond
// platform.h, and the counter behind failWriteCallAfter that every call of the write seam asks.
#pragma once

#include <string>

namespace platform::detail {

// True when this call of the write seam is the one a test asked to fail; it then acts as if
// the OS refused it. Each call counts once.
bool injectedWriteFault();

// The file a safe replace of `path` writes: on POSIX the file a symbolic link there points to
// (so the link stays a link), otherwise `path` itself.
std::string replaceTarget(const std::string& path);

}  // namespace platform::detail
