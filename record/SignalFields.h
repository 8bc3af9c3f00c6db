// The keys of a signal line: each key of a signal's field table (record/Signals.h) to the
// field's index there, for the signal-line reader.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

#include "record/Signals.h"
#include "text/KeyTable.h"

// The keys of a signal line, each to its index in SignalTable<Signal>::fields.
template <class Signal>
inline constexpr auto SignalLineKeys = [] {
    constexpr auto& fields = SignalTable<Signal>::fields;
    constexpr auto keyed = static_cast<std::size_t>(std::count_if(
        fields.begin(), fields.end(), [](const SignalField<Signal>& f) { return !f.key.empty(); }));
    std::array<KeyEntry, keyed> keys{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!fields[i].key.empty()) keys[n++] = {fields[i].key, static_cast<int>(i)};
    }
    return sortedKeys(keys);
}();
static_assert(uniqueKeys(SignalLineKeys<Spike>));
static_assert(uniqueKeys(SignalLineKeys<Gaussian>));
