// The names of the 64 power values of a gaussian, in the three numberings the files use:
// "bg_pot 0" to "bg_pot 63" in the record, "bg_pot 1" to "bg_pot 64" in the support data file,
// "pot 0" to "pot 63" in the result file's gaussians. Made at compile time, spelled only here.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

constexpr std::size_t PowerCount = 64;

struct PowerKey {
    char text[12]{};
    std::size_t size = 0;
    constexpr std::string_view view() const { return {text, size}; }
};

using PowerKeyList = std::array<PowerKey, PowerCount>;

constexpr PowerKeyList makePowerKeys(std::string_view prefix, int first) {
    PowerKeyList keys{};
    for (std::size_t i = 0; i < PowerCount; ++i) {
        PowerKey& key = keys[i];
        for (char c : prefix) key.text[key.size++] = c;
        const int number = first + static_cast<int>(i);
        if (number >= 10) key.text[key.size++] = static_cast<char>('0' + number / 10);
        key.text[key.size++] = static_cast<char>('0' + number % 10);
    }
    return keys;
}

inline constexpr PowerKeyList RecordPowerKeys = makePowerKeys("bg_pot ", 0);
inline constexpr PowerKeyList SupportPowerKeys = makePowerKeys("bg_pot ", 1);
inline constexpr PowerKeyList GaussianPowerKeys = makePowerKeys("pot ", 0);
