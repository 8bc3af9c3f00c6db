// The exit status a run's standard error calls for: 1 when any line is one of the failure
// messages, 0 otherwise (a usage text alone, progress lines, a file passed over as of no known
// kind). Written from the messages users and scripts see, independently of the programs.
#pragma once

#include <string>
#include <string_view>

#include "support/TempDir.h"

namespace testsupport {

inline int statusFor(const std::string& err) {
    constexpr std::string_view Failures[] = {
        "Illegal Option: ",   "Cannot Open File(s): ", "Fail Import File: ", "Fail Import Files: ",
        "Fail Export File: ", "No Import File",        "Illegal File: ",     "File not found: ",
        "Too Few Parameter",  "Too Many Parameter: ",  "Out of Memory: "};
    for (const std::string& line : lines(err)) {
        for (std::string_view failure : Failures) {
            if (std::string_view(line).substr(0, failure.size()) == failure) return 1;
        }
    }
    return 0;
}

}  // namespace testsupport
