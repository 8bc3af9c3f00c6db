// What the three programs share at the console: usage texts on standard output, progress and
// failure messages on standard error, one whole line at a time, and the frame of a run.
#pragma once

#include <string>
#include <string_view>

// The second line of every usage text.
inline constexpr std::string_view VersionLine = "Version 1.00  Copyright (C) 2026 the authors\n";

// Writes text to standard output and flushes it.
void printUsageText(std::string_view text);

// Writes prefix, subject and a newline to standard error in one call and flushes it, so a
// message is never split and never waits in a buffer.
void printMessage(std::string_view prefix, std::string_view subject = {});

// A message that tells of a failure: written as printMessage writes it, and the run then ends
// with exit status 1, so scripts and `a && b` lines see what the user reads.
void printFailure(std::string_view prefix, std::string_view subject = {});

// What every program's main does: the platform's start, then the body, which keeps `file`
// naming the file it is reading or writing. Running out of memory ends the run with one
// message line, "Out of Memory: " and that file, instead of an abort; the body's objects are
// gone by then, and every write of the platform layer leaves its file whole when it stops
// partway. The exit status: 1 when the run printed a failure (printFailure, or running out of
// memory), 0 otherwise.
int runProgram(int argc, char** argv, void (*body)(int argc, char** argv, std::string& file));
