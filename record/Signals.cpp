// Spikes and gaussians of a result file: conversion to and from the work unit's best-signal
// fields, and the duplicate-free lists sorted strongest first.
#include "record/Signals.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>
#include <type_traits>
#include <utility>

#include "text/Numbers.h"

namespace {

// numerator / denominator for the FFT-length ratios, 0 for a zero denominator. The one
// quotient an int32 cannot hold, INT_MIN / -1, is clamped to INT_MAX.
std::int32_t ratio(std::int32_t numerator, std::int32_t denominator) {
    if (denominator == 0) return 0;
    std::int64_t q = std::int64_t{numerator} / std::int64_t{denominator};
    return q > INT_MAX ? INT_MAX : static_cast<std::int32_t>(q);
}

// Truncation to int32 that is defined for every double: NaN gives 0, values beyond the
// range give its ends.
std::int32_t truncClamped(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT_MAX;
    if (value <= -2147483648.0) return INT_MIN;
    return static_cast<std::int32_t>(value);
}

// value × factor / divisor, computed as value / divisor × factor only where the product
// would overflow to infinity (values near the largest double).
double scale(double value, double factor, double divisor) {
    double product = value * factor;
    if (std::isinf(product) && std::isfinite(value)) return value / divisor * factor;
    return product / divisor;
}

// Descending strength: the ascending order of the negated values, so NaN, as the weakest,
// still comes last.
bool stronger(double a, double b) { return lessNumber(-a, -b); }

// A hash over a signal's fields that agrees with operator==: values that compare equal
// feed the same bits (0.0 and -0.0 alike, a time by its Julian Date), so an equal signal is
// always found; each value is mixed so that signals differing in one field rarely collide.
class SignalHasher {
public:
    void text(const std::string& value) { bits(std::hash<std::string_view>{}(value)); }
    void integer(std::int32_t value) { bits(static_cast<std::uint32_t>(value)); }
    void real(double value) {
        if (value == 0.0) value = 0.0;  // -0.0 equals 0.0
        std::uint64_t raw = 0;
        std::memcpy(&raw, &value, sizeof raw);
        bits(raw);
    }
    void time(const ATime& value) { real(value.julianDate()); }
    // Two values at a time: a curve is most of a gaussian's bits.
    void curve(const PotCurve& values) {
        static_assert(std::tuple_size_v<PotCurve> % 2 == 0, "a curve hashes in pairs");
        for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
            bits(static_cast<std::uint64_t>(static_cast<std::uint32_t>(values[i])) << 32 |
                 static_cast<std::uint32_t>(values[i + 1]));
        }
    }
    std::size_t result() const { return static_cast<std::size_t>(state_); }

private:
    // The splitmix64 finaliser spreads every input bit over the whole word.
    static std::uint64_t spread(std::uint64_t x) {
        x += 0x9E3779B97F4A7C15ULL;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
        return x ^ (x >> 31);
    }
    void bits(std::uint64_t value) { state_ = spread(state_ ^ spread(value)); }
    std::uint64_t state_ = 0;
};

// The fields both kinds take from the work unit's header: its name, where the telescope
// pointed, when and at which frequency.
template <class Signal>
void seedFromHeader(Signal& signal, const WorkUnit& w, std::int32_t fftLen, std::int32_t fftInd) {
    signal.name = w.name;
    signal.ra = w.start_ra;
    signal.dec = w.start_dec;
    signal.time = w.time_recorded;
    signal.freq = w.subband_base;
    signal.ncfft = ratio(fftLen, fftInd);
    signal.fft_len = fftLen;
}

// Every field of the signal's table goes into its hash.
template <class Signal>
std::size_t hashOf(const Signal& signal) {
    SignalHasher h;
    for (const SignalField<Signal>& f : SignalTable<Signal>::fields) {
        switch (f.kind) {
            case SignalFieldKind::Text: h.text(signal.*f.text); break;
            case SignalFieldKind::Int: h.integer(signal.*f.integer); break;
            case SignalFieldKind::Real: h.real(signal.*f.real); break;
            case SignalFieldKind::Time: h.time(signal.*f.time); break;
            case SignalFieldKind::Curve: h.curve(signal.*f.curve); break;
        }
    }
    return h.result();
}

}  // namespace

// ---- Spike ----

void Spike::clear() { *this = Spike(); }

void Spike::fromWorkUnit(const WorkUnit& w) {
    seedFromHeader(*this, w, w.bs_fft_len, w.bs_fft_ind);
    chirp_rate = w.bs_chirp_rate;
    power = w.bs_power;
}

bool Spike::applyAsBest(WorkUnit& w) const {
    if (name != w.name) return false;
    w.bs_power = power;
    w.bs_fft_ind = ratio(fft_len, ncfft);
    w.bs_fft_len = fft_len;
    w.bs_chirp_rate = chirp_rate;
    return true;
}

// ---- Gaussian ----

void Gaussian::clear() { *this = Gaussian(); }

double Gaussian::score() const { return chisqr == 0.0 ? 0.0 : peak / chisqr; }

void Gaussian::fromWorkUnit(const WorkUnit& w) {
    seedFromHeader(*this, w, w.bg_fft_len, w.bg_fft_ind);
    chirprate = w.bg_chirp_rate;
    peak = w.bg_power;
    mean = w.bg_true_mean;
    sigma = w.bg_sigma;
    chisqr = w.bg_chisq;
    maxpow = 0.0;
    for (double value : w.bg_pot) {
        if (value > maxpow) maxpow = value;
    }
    for (std::size_t i = 0; i < pot.size(); ++i) {
        pot[i] = maxpow != 0.0 ? truncClamped(scale(w.bg_pot[i], 255.0, maxpow)) : 0;
    }
}

bool Gaussian::applyAsBest(WorkUnit& w) const {
    if (name != w.name) return false;
    w.bg_score = score();
    w.bg_power = peak;
    w.bg_chisq = chisqr;
    w.bg_sigma = sigma;
    w.bg_fft_ind = ratio(fft_len, ncfft);
    w.bg_fft_len = fft_len;
    w.bg_chirp_rate = chirprate;
    w.bg_true_mean = mean;
    for (std::size_t i = 0; i < pot.size(); ++i) {
        w.bg_pot[i] = scale(static_cast<double>(pot[i]), maxpow, 255.0);
    }
    return true;
}

// ---- SignalList ----

template <class Signal>
void SignalList<Signal>::reset() {
    chunks_.clear();
    count_ = 0;
    names_.clear();
    wideCurves_.clear();
    order_.clear();
    index_.clear();
}

template <class Signal>
Signal SignalList<Signal>::operator[](std::size_t i) const {
    Signal signal;
    copyTo(i, signal);
    return signal;
}

namespace {

// True when every value of the curve fits a byte, so the packed form holds it itself.
bool fitsBytes(const PotCurve& pot) {
    for (std::int32_t value : pot) {
        if (value < 0 || value > 255) return false;
    }
    return true;
}

}  // namespace

template <class Signal>
void SignalList<Signal>::pack(const Signal& signal, PackedSignal<Signal>& packed) {
    // A file's signals all carry its name: the last one is the one to check.
    if (names_.empty() || names_.back() != signal.name) names_.push_back(signal.name);
    packed.name = static_cast<std::uint32_t>(names_.size() - 1);
    PackedSignal<Signal>::forEachPlace(signal, packed,
                                       [](const auto& member, auto& place) { place = member; });
    constexpr auto curve = PackedSignal<Signal>::Curve;
    if constexpr (curve != nullptr) {
        const PotCurve& pot = signal.*curve;
        if (fitsBytes(pot)) {
            for (std::size_t i = 0; i < pot.size(); ++i) {
                packed.pot[i] = static_cast<std::uint8_t>(pot[i]);
            }
        } else {
            wideCurves_.push_back(pot);
            packed.wideCurve = static_cast<std::uint32_t>(wideCurves_.size());
        }
    }
}

template <class Signal>
void SignalList<Signal>::unpack(const PackedSignal<Signal>& packed, Signal& out) const {
    out.name = names_[packed.name];
    PackedSignal<Signal>::forEachPlace(out, packed,
                                       [](auto& member, const auto& place) { member = place; });
    constexpr auto curve = PackedSignal<Signal>::Curve;
    if constexpr (curve != nullptr) {
        PotCurve& pot = out.*curve;
        if (packed.wideCurve != 0) {
            pot = wideCurves_[packed.wideCurve - 1];
        } else {
            for (std::size_t i = 0; i < pot.size(); ++i) pot[i] = packed.pot[i];
        }
    }
}

template <class Signal>
bool SignalList<Signal>::add(const Signal& signal) {
    if (signal.name.empty()) return false;
    // Positions are kept in 32 bits: a list stops taking signals at four thousand million.
    if (count_ >= 0xFFFFFFFEu) return false;
    index_.reserve(count_ + 1);
    // Only signals of the same hash are compared in full, as signals, so equality is the
    // signal's own.
    const auto hash = static_cast<std::uint32_t>(hashOf(signal));
    const std::size_t slot = index_.find(hash, [&](std::uint32_t position) {
        Signal held;
        unpack(entryAt(position).packed, held);
        return held == signal;
    });
    if (index_.holds(slot)) return false;
    if ((count_ & (ChunkEntries - 1)) == 0) {
        chunks_.emplace_back();
        chunks_.back().reserve(ChunkEntries);
    }
    Entry& entry = chunks_.back().emplace_back();
    pack(signal, entry.packed);
    entry.strength = signal.strength();
    const auto position = static_cast<std::uint32_t>(count_);
    order_.push_back(position);
    ++count_;
    index_.put(slot, position, hash);
    return true;
}

template <class Signal>
void SignalList<Signal>::sort() {
    // Stable: of equally strong signals the first in the file stays first. Only the positions
    // move, each with its strength beside it.
    std::vector<std::pair<double, std::uint32_t>> keyed;
    keyed.reserve(order_.size());
    for (std::uint32_t position : order_) keyed.emplace_back(entryAt(position).strength, position);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return stronger(a.first, b.first); });
    for (std::size_t i = 0; i < keyed.size(); ++i) order_[i] = keyed[i].second;
}

template class SignalList<Spike>;
template class SignalList<Gaussian>;
