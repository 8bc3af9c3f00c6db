// Console output shared by the three programs: usage texts on standard output, progress and
// failure messages on standard error, one whole line at a time.
#pragma once

#include <string_view>

// The second line of every usage text.
inline constexpr std::string_view VersionLine = "Version 1.00  Copyright (C) 2026 the authors\n";

// Writes text to standard output and flushes it.
void printUsageText(std::string_view text);

// Writes prefix, subject and a newline to standard error in one call and flushes it, so a
// message is never split and never waits in a buffer.
void printMessage(std::string_view prefix, std::string_view subject = {});
