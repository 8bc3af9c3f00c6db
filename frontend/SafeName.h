// The check that a name taken from inside a data file is fit to become a file name in the
// current or a given directory.
#pragma once

#include <string_view>

// True when `name` can be used as a bare file name: not empty, not "." or "..", and free of
// backslashes, slashes, colons and control bytes (0x00 to 0x1F and 0x7F), so it can neither
// leave the target directory, name a drive or stream, nor carry a line break.
bool isSafeFileName(std::string_view name);
