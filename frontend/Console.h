// Console output shared by the three programs: usage texts on standard output, progress and
// failure messages on standard error, one whole line at a time.
#pragma once

#include <new>
#include <string>
#include <string_view>

// The second line of every usage text.
inline constexpr std::string_view VersionLine = "Version 1.00  Copyright (C) 2026 the authors\n";

// Writes text to standard output and flushes it.
void printUsageText(std::string_view text);

// Writes prefix, subject and a newline to standard error in one call and flushes it, so a
// message is never split and never waits in a buffer.
void printMessage(std::string_view prefix, std::string_view subject = {});

// Runs a program's body, which keeps `file` naming the file it is reading or writing. Running
// out of memory ends the run with one message line, "Out of Memory: " and that file, instead of
// an abort; the body's objects are gone by then, and every write of the platform layer leaves
// its file whole when it stops partway.
template <typename Body>
void runReportingOutOfMemory(Body body) {
    std::string file;
    try {
        body(file);
    } catch (const std::bad_alloc&) {
        printMessage("Out of Memory: ", file);
    }
}
