// Fixed key tables: each reader's keys, sorted once at compile time and searched by halving,
// so looking a key up costs no map built at run time and no allocation.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

struct KeyEntry {
    std::string_view key;
    int value = -1;
};

using KeyTable = std::span<const KeyEntry>;

// The tables' order: shorter keys first, keys of one length by their bytes. Most steps of a
// search are then decided by the length alone, without comparing characters.
constexpr bool keyBefore(std::string_view a, std::string_view b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

// The value of an exact, case-sensitive key in a sorted table, or -1.
constexpr int findKey(KeyTable table, std::string_view key) {
    const auto found = std::lower_bound(table.begin(), table.end(), key,
                                        [](const KeyEntry& entry, std::string_view wanted) {
                                            return keyBefore(entry.key, wanted);
                                        });
    return found != table.end() && found->key == key ? found->value : -1;
}

// findKey for files that write their keys in one order: the entry found at the same place
// before is tried first, so most keys are found with one comparison. Only a guess: a wrong
// one costs the search it saves, never a wrong value.
class KeyGuess {
public:
    int find(KeyTable table, std::string_view key, std::size_t place) {
        const bool kept = place < guesses_.size();
        if (kept && guesses_[place] < table.size() && table[guesses_[place]].key == key)
            return table[guesses_[place]].value;
        const auto found = std::lower_bound(table.begin(), table.end(), key,
                                            [](const KeyEntry& entry, std::string_view wanted) {
                                                return keyBefore(entry.key, wanted);
                                            });
        if (found == table.end() || found->key != key) return -1;
        if (kept) guesses_[place] = static_cast<std::uint16_t>(found - table.begin());
        return found->value;
    }

private:
    std::array<std::uint16_t, 128> guesses_{};  // an entry's place in the table, per place
};

// The entries in key order, ready for findKey.
template <std::size_t N>
constexpr std::array<KeyEntry, N> sortedKeys(std::array<KeyEntry, N> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const KeyEntry& a, const KeyEntry& b) { return keyBefore(a.key, b.key); });
    return entries;
}

// True when every entry has a key and no key stands twice; checked at compile time for
// every table, so a table made one entry too long or with a key twice does not build.
template <std::size_t N>
constexpr bool uniqueKeys(const std::array<KeyEntry, N>& sorted) {
    if (N > 0 && sorted[0].key.empty()) return false;
    return std::adjacent_find(
               sorted.begin(), sorted.end(),
               [](const KeyEntry& a, const KeyEntry& b) { return a.key == b.key; }) == sorted.end();
}
