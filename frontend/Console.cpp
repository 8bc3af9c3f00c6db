// Usage texts, message lines and the frame of a run of the three programs.
#include "frontend/Console.h"

#include <cstdio>
#include <new>
#include <string>

#include "platform/platform.h"

namespace {

// Set by the first failure message of the run; the program's exit status.
bool runFailed = false;

}  // namespace

void printUsageText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void printMessage(std::string_view prefix, std::string_view subject) {
    std::string line;
    line.reserve(prefix.size() + subject.size() + 1);
    line += prefix;
    line += subject;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void printFailure(std::string_view prefix, std::string_view subject) {
    runFailed = true;
    printMessage(prefix, subject);
}

int runProgram(int argc, char** argv, void (*body)(int argc, char** argv, std::string& file)) {
    platform::startProgram();
    std::string file;
    try {
        body(argc, argv, file);
    } catch (const std::bad_alloc&) {
        printFailure("Out of Memory: ", file);
    }
    return runFailed ? 1 : 0;
}
