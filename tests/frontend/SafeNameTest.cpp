// The check on file names taken from inside data files.
#include <gtest/gtest.h>

#include <string>

#include "frontend/SafeName.h"

TEST(SafeNameTest, RefusesNamesThatLeaveTheDirectoryOrNameADevice) {
    struct Case {
        std::string name;
        bool safe;
    };
    const Case cases[] = {
        {"03ja00ab.12345.6789.5.3.210", true},
        {"a b&'c'", true},
        {"\xe9t\xe9", true},  // bytes above 0x7F are ordinary characters
        {"...", true},
        {"", false},
        {".", false},
        {"..", false},
        {"..\\x", false},
        {"a/b", false},
        {"C:x", false},
        {std::string("a\0b", 3), false},
        {"\x1f", false},
        {"del\x7f", false},
        // Windows cannot store these characters in a file name.
        {"a<b", false},
        {"a>b", false},
        {"a\"b", false},
        {"a|b", false},
        {"a?b", false},
        {"a*b", false},
        // Device names before the first dot, in any case; longer or shorter stems are names.
        {"NUL", false},
        {"nul.result", false},
        {"Con.html", false},
        {"prn.a.b", false},
        {"aux", false},
        {"COM1", false},
        {"lpt9.x", false},
        {"COM0", true},
        {"COM10", true},
        {"LPT", true},
        {"nula", true},
        {"x.NUL", true},
        {"CONSOLE.result", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isSafeFileName(c.name), c.safe);
    }
}
