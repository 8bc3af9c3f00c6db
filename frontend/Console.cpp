// Usage texts and message lines of the three programs.
#include "frontend/Console.h"

#include <cstdio>
#include <string>

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
