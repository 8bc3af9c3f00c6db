// The safe replace of a whole file in one call, for the tests and the benchmark's data: the
// programs stream what they write through platform::ReplacingFile.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace testsupport {

// Puts `bytes` in place of the file at `path` by way of platform::ReplacingFile, under its
// rules: true once they are in place, and the old bytes stay on any failure.
inline bool replaceFileContents(const std::string& path, std::string_view bytes) {
    platform::ReplacingFile out;
    return out.open(path) && out.write(bytes) && out.commit();
}

}  // namespace testsupport
