// The check on file names taken from inside data files.
#include <gtest/gtest.h>

#include <string>

#include "frontend/SafeName.h"

TEST(SafeNameTest, RefusesNamesThatLeaveTheDirectory) {
    struct Case {
        std::string name;
        bool safe;
    };
    const Case cases[] = {
        {"03ja00ab.12345.6789.5.3.210", true},
        {"a b&<c>", true},
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isSafeFileName(c.name), c.safe);
    }
}
