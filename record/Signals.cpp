// Spikes and gaussians of a result file: their key tables, equality, conversion to and from
// the work unit's best-signal fields, and the duplicate-free lists sorted strongest first.
#include "record/Signals.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>

const char* const SpikeKeys[10] = {"name", "ncfft", "chirp_rate", "fft_len", "power",
                                   "ra",   "dec",   "time",       "freq",    nullptr};

const char* const GaussianKeys[78] = {
    "name", "ncfft", "chirprate", "fft_len", "peak", "mean", "ra", "dec", "time", "freq",
    "sigma", "chisqr", "maxpow",
    "pot 0", "pot 1", "pot 2", "pot 3", "pot 4", "pot 5", "pot 6", "pot 7", "pot 8", "pot 9",
    "pot 10", "pot 11", "pot 12", "pot 13", "pot 14", "pot 15", "pot 16", "pot 17", "pot 18",
    "pot 19", "pot 20", "pot 21", "pot 22", "pot 23", "pot 24", "pot 25", "pot 26", "pot 27",
    "pot 28", "pot 29", "pot 30", "pot 31", "pot 32", "pot 33", "pot 34", "pot 35", "pot 36",
    "pot 37", "pot 38", "pot 39", "pot 40", "pot 41", "pot 42", "pot 43", "pot 44", "pot 45",
    "pot 46", "pot 47", "pot 48", "pot 49", "pot 50", "pot 51", "pot 52", "pot 53", "pot 54",
    "pot 55", "pot 56", "pot 57", "pot 58", "pot 59", "pot 60", "pot 61", "pot 62", "pot 63",
    nullptr};

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

void buildKeyMap(std::map<std::string, int>& keys, const char* const* table) {
    for (int i = 0; table[i] != nullptr; ++i) keys.emplace(table[i], i);
}

int findKey(const std::map<std::string, int>& keys, const std::string& key) {
    auto found = keys.find(key);
    return found == keys.end() ? -1 : found->second;
}

// Descending strength; NaN counts as the weakest so the order stays strict and weak.
bool stronger(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a > b;
}

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

std::size_t hashOf(const Spike& s) {
    SignalHasher h;
    h.text(s.name);
    h.integer(s.ncfft);
    h.real(s.chirp_rate);
    h.integer(s.fft_len);
    h.real(s.power);
    h.real(s.ra);
    h.real(s.dec);
    h.time(s.time);
    h.real(s.freq);
    return h.result();
}

std::size_t hashOf(const Gaussian& g) {
    SignalHasher h;
    h.text(g.name);
    h.integer(g.ncfft);
    h.real(g.chirprate);
    h.integer(g.fft_len);
    h.real(g.peak);
    h.real(g.mean);
    h.real(g.ra);
    h.real(g.dec);
    h.time(g.time);
    h.real(g.freq);
    h.real(g.sigma);
    h.real(g.chisqr);
    h.real(g.maxpow);
    for (std::int32_t value : g.pot) h.integer(value);
    return h.result();
}

// Appends `signal` unless the list holds an equal one. The index maps a signal's hash to its
// positions; only signals of the same hash are compared in full.
template <typename Signal>
bool addUnique(std::vector<Signal>& items,
               std::unordered_multimap<std::size_t, std::size_t>& byHash, const Signal& signal) {
    if (signal.name.empty()) return false;
    const std::size_t hash = hashOf(signal);
    const auto [first, last] = byHash.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        if (items[it->second] == signal) return false;
    }
    items.push_back(signal);
    byHash.emplace(hash, items.size() - 1);
    return true;
}

// After the records moved, the index is rebuilt from their new positions.
template <typename Signal>
void rebuildIndex(const std::vector<Signal>& items,
                  std::unordered_multimap<std::size_t, std::size_t>& byHash) {
    byHash.clear();
    for (std::size_t i = 0; i < items.size(); ++i) byHash.emplace(hashOf(items[i]), i);
}

}  // namespace

// ---- Spike ----

void Spike::clear() { *this = Spike(); }

bool Spike::operator==(const Spike& other) const {
    return name == other.name && ncfft == other.ncfft && chirp_rate == other.chirp_rate &&
           fft_len == other.fft_len && power == other.power && ra == other.ra &&
           dec == other.dec && time == other.time && freq == other.freq;
}

void Spike::fromWorkUnit(const WorkUnit& w) {
    name = w.name;
    ncfft = ratio(w.bs_fft_len, w.bs_fft_ind);
    chirp_rate = w.bs_chirp_rate;
    fft_len = w.bs_fft_len;
    power = w.bs_power;
    ra = w.start_ra;
    dec = w.start_dec;
    time = w.time_recorded;
    freq = w.subband_base;
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

bool Gaussian::operator==(const Gaussian& other) const {
    return name == other.name && ncfft == other.ncfft && chirprate == other.chirprate &&
           fft_len == other.fft_len && peak == other.peak && mean == other.mean &&
           ra == other.ra && dec == other.dec && time == other.time && freq == other.freq &&
           sigma == other.sigma && chisqr == other.chisqr && maxpow == other.maxpow &&
           pot == other.pot;
}

double Gaussian::score() const { return chisqr == 0.0 ? 0.0 : peak / chisqr; }

void Gaussian::fromWorkUnit(const WorkUnit& w) {
    name = w.name;
    ncfft = ratio(w.bg_fft_len, w.bg_fft_ind);
    chirprate = w.bg_chirp_rate;
    fft_len = w.bg_fft_len;
    peak = w.bg_power;
    mean = w.bg_true_mean;
    ra = w.start_ra;
    dec = w.start_dec;
    time = w.time_recorded;
    freq = w.subband_base;
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

// ---- SpikeList ----

SpikeList::SpikeList() { buildKeyMap(keys_, SpikeKeys); }

void SpikeList::reset() {
    working.clear();
    items_.clear();
    byHash_.clear();
}

bool SpikeList::add(const Spike& spike) { return addUnique(items_, byHash_, spike); }

void SpikeList::sort() {
    // Stable: of equally strong spikes the first in the file stays first.
    std::stable_sort(items_.begin(), items_.end(),
                     [](const Spike& a, const Spike& b) { return stronger(a.power, b.power); });
    rebuildIndex(items_, byHash_);
}

int SpikeList::keyIndex(const std::string& key) const { return findKey(keys_, key); }

// ---- GaussianList ----

GaussianList::GaussianList() { buildKeyMap(keys_, GaussianKeys); }

void GaussianList::reset() {
    working.clear();
    items_.clear();
    byHash_.clear();
}

bool GaussianList::add(const Gaussian& gaussian) { return addUnique(items_, byHash_, gaussian); }

void GaussianList::sort() {
    std::stable_sort(items_.begin(), items_.end(), [](const Gaussian& a, const Gaussian& b) {
        return stronger(a.score(), b.score());
    });
    rebuildIndex(items_, byHash_);
}

int GaussianList::keyIndex(const std::string& key) const { return findKey(keys_, key); }
