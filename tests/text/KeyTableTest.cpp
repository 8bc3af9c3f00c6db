// The guessing key lookup: whatever order the keys come in, it gives what the plain search
// gives, and a guess left from another order never gives a wrong value.
#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <vector>

#include "text/KeyTable.h"

namespace {

constexpr auto Keys = sortedKeys(std::array<KeyEntry, 6>{{
    {"bg_pot 1", 1},
    {"bg_pot 2", 2},
    {"bg_pot 10", 10},
    {"name", 20},
    {"prog", 21},
    {"cpu", 22},
}});

}  // namespace

TEST(KeyGuess, AgreesWithTheSearchInEveryOrder) {
    const std::vector<std::vector<std::string_view>> runs = {
        {"name", "prog", "cpu", "bg_pot 1", "bg_pot 2", "bg_pot 10"},
        {"name", "prog", "cpu", "bg_pot 1", "bg_pot 2", "bg_pot 10"},  // all guessed right
        {"cpu", "name", "bg_pot 10", "prog", "bg_pot 2", "bg_pot 1"},  // every guess stale
        {"name", "bogus", "cpu", "", "bg_pot 3", "prog"},              // unknown keys in between
    };
    KeyGuess guess;
    for (const auto& run : runs) {
        for (std::size_t place = 0; place < run.size(); ++place) {
            EXPECT_EQ(guess.find(Keys, run[place], place), findKey(Keys, run[place]))
                << run[place] << " at " << place;
        }
    }
    // Places past those it keeps are searched every time.
    EXPECT_EQ(guess.find(Keys, "prog", 100000), 21);
    EXPECT_EQ(guess.find(Keys, "bg_pot", 100000), -1);
}
