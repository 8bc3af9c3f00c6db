// The expected bytes of one support data record, built from the file's hand-written layout, for
// the end-to-end tests of the programs that write the file.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// Every key in file order with the text an all-zero record carries; `values` replaces the texts
// of the keys it names and adds the keys it does not, "bg_pot" lines among them, at the end.
inline std::string supportRecord(const KeyValues& values) {
    KeyValues lines = {{"name", ""},
                       {"start_ra", "0.000000"},
                       {"start_dec", "0.000000"},
                       {"end_ra", "0.000000"},
                       {"end_dec", "0.000000"},
                       {"subband_base", "0.000000"},
                       {"time_recorded", "(1984/01/00 00:00:00)"},
                       {"bs_power", "0.000000"},
                       {"bs_score", "0.000000"},
                       {"bs_bin", "0"},
                       {"bs_fft_ind", "0"},
                       {"bs_chirp_rate", "0.000000"},
                       {"bs_fft_len", "0"},
                       {"bg_power", "0.000000"},
                       {"bg_chisq", "0.000000"},
                       {"bg_score", "0.000000"},
                       {"bg_true_mean", "0.000000"},
                       {"bg_sigma", "0.000000"},
                       {"bg_bin", "0"},
                       {"bg_fft_ind", "0"},
                       {"bg_chirp_rate", "0.000000"},
                       {"bg_fft_len", "0"},
                       {"prog", "0.000000"},
                       {"cpu", "0.000000"},
                       {"started_time", "00/01/1984:00:00:00"}};
    for (const auto& entry : values) {
        // A named pair, not a structured binding: clang 14 cannot capture a binding.
        const std::string& key = entry.first;
        auto line = std::find_if(lines.begin(), lines.end(),
                                 [&key](const auto& l) { return l.first == key; });
        if (line != lines.end())
            line->second = entry.second;
        else
            lines.emplace_back(key, entry.second);
    }
    std::string out = "!\r";
    for (const auto& [key, value] : lines) out += key + "=" + value + "\r";
    return out + "\r";
}

}  // namespace testsupport
