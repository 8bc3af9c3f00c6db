// The fields of a spike and of a gaussian: for each its key on a signal line and its place in
// the signal. The signal-line reader and the duplicate hash take their fields from here.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "record/KeyTable.h"
#include "record/Signals.h"

enum class SignalFieldKind : std::uint8_t { Text, Int, Real, Time, Curve };

template <class Signal>
struct SignalField {
    std::string_view key;  // empty for a field no signal line gives
    SignalFieldKind kind = SignalFieldKind::Real;
    // The one member of the field's kind.
    std::string Signal::*text = nullptr;
    std::int32_t Signal::*integer = nullptr;
    double Signal::*real = nullptr;
    ATime Signal::*time = nullptr;
    PotCurve Signal::*curve = nullptr;
};

namespace detail {

// The field of `member`, its kind told by the member's type.
template <class S, class T>
constexpr SignalField<S> signalField(std::string_view key, T S::*member) {
    SignalField<S> f;
    f.key = key;
    if constexpr (std::is_same_v<T, std::string>) {
        f.kind = SignalFieldKind::Text;
        f.text = member;
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
        f.kind = SignalFieldKind::Int;
        f.integer = member;
    } else if constexpr (std::is_same_v<T, double>) {
        f.kind = SignalFieldKind::Real;
        f.real = member;
    } else if constexpr (std::is_same_v<T, ATime>) {
        f.kind = SignalFieldKind::Time;
        f.time = member;
    } else {
        static_assert(std::is_same_v<T, PotCurve>, "no field kind for this member type");
        f.kind = SignalFieldKind::Curve;
        f.curve = member;
    }
    return f;
}

}  // namespace detail

// Every field of a signal, in declaration order. The name comes from the header and ncfft
// from the context line, so no signal line sets them.
template <class Signal>
struct SignalTable;

template <>
struct SignalTable<Spike> {
    static constexpr std::array<SignalField<Spike>, 9> fields{{
        detail::signalField("", &Spike::name),
        detail::signalField("", &Spike::ncfft),
        detail::signalField("chirp_rate", &Spike::chirp_rate),
        detail::signalField("fft_len", &Spike::fft_len),
        detail::signalField("power", &Spike::power),
        detail::signalField("ra", &Spike::ra),
        detail::signalField("dec", &Spike::dec),
        detail::signalField("time", &Spike::time),
        detail::signalField("freq", &Spike::freq),
    }};
};

template <>
struct SignalTable<Gaussian> {
    // "pot" is the whole curve as hexadecimal pairs.
    static constexpr std::array<SignalField<Gaussian>, 14> fields{{
        detail::signalField("", &Gaussian::name),
        detail::signalField("", &Gaussian::ncfft),
        detail::signalField("chirprate", &Gaussian::chirprate),
        detail::signalField("fft_len", &Gaussian::fft_len),
        detail::signalField("peak", &Gaussian::peak),
        detail::signalField("mean", &Gaussian::mean),
        detail::signalField("ra", &Gaussian::ra),
        detail::signalField("dec", &Gaussian::dec),
        detail::signalField("time", &Gaussian::time),
        detail::signalField("freq", &Gaussian::freq),
        detail::signalField("sigma", &Gaussian::sigma),
        detail::signalField("chisqr", &Gaussian::chisqr),
        detail::signalField("maxpow", &Gaussian::maxpow),
        detail::signalField("pot", &Gaussian::pot),
    }};
};

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
