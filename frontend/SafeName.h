// The check that a name taken from inside a data file is fit to become a file name in the
// current or a given directory.
#pragma once

#include <string_view>

// True when `name` can be used as a bare file name on every OS the programs run on, so the
// same result archives alike everywhere: not empty, not "." or "..", free of backslashes,
// slashes, colons and control bytes (0x00 to 0x1F and 0x7F), so it can neither leave the target
// directory, name a drive or stream, nor carry a line break; free of < > " | ? *, which Windows
// cannot store; and not a Windows device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 in any
// case) before its first dot, which would send the file to a device ("NUL.result" into nothing).
bool isSafeFileName(std::string_view name);
