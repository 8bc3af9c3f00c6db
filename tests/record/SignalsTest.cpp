// Tests of the signal records: key tables, equality, the conversions to and from the work
// unit's best signals (with their guarded divisions), and the lists' duplicates and order.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "record/Signals.h"

namespace {

Gaussian gaussian(const std::string& name, double peak, double chisqr, double freq = 0) {
    Gaussian g;
    g.name = name;
    g.peak = peak;
    g.chisqr = chisqr;
    g.freq = freq;
    return g;
}

Spike spike(const std::string& name, double power, double freq = 0) {
    Spike s;
    s.name = name;
    s.power = power;
    s.freq = freq;
    return s;
}

}  // namespace

TEST(SignalKeys, TablesAndLookup) {
    EXPECT_EQ(SpikeKeys[9], nullptr);
    EXPECT_EQ(GaussianKeys[77], nullptr);
    EXPECT_STREQ(SpikeKeys[2], "chirp_rate");
    EXPECT_STREQ(GaussianKeys[2], "chirprate");
    EXPECT_STREQ(GaussianKeys[12], "maxpow");
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(GaussianKeys[13 + i], "pot " + std::to_string(i));
    }
    SpikeList spikes;
    GaussianList gaussians;
    for (int i = 0; i < 9; ++i) EXPECT_EQ(spikes.keyIndex(SpikeKeys[i]), i);
    for (int i = 0; i < 77; ++i) EXPECT_EQ(gaussians.keyIndex(GaussianKeys[i]), i);
    for (const char* key : {"chirprate", "Power", "pot 0", "", "power "}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(spikes.keyIndex(key), -1);
    }
    for (const char* key : {"chirp_rate", "pot 64", "pot 07", "Peak", "pot"}) {
        SCOPED_TRACE(key);
        EXPECT_EQ(gaussians.keyIndex(key), -1);
    }
}

TEST(Signals, ScoreGuardsChiSquareZero) {
    EXPECT_EQ(gaussian("wu", 6, 3).score(), 2.0);
    EXPECT_EQ(gaussian("wu", 6, 0).score(), 0.0);
    EXPECT_EQ(gaussian("wu", -6, 3).score(), -2.0);
}

namespace {

// Adds `base` and `variant` to a fresh list, each twice, and returns the count kept.
template <typename List, typename Signal>
std::size_t keptOf(const Signal& base, const Signal& variant) {
    List list;
    EXPECT_TRUE(list.add(base));
    list.add(variant);
    EXPECT_FALSE(list.add(variant));
    EXPECT_FALSE(list.add(base));
    return list.size();
}

// A gaussian with every field set; ra and mean stay 0 for the -0.0 cases below.
Gaussian fullGaussian() {
    Gaussian g = gaussian("wu", 5, 2, 1420.5);
    g.ncfft = 8;
    g.chirprate = -1.5;
    g.fft_len = 64;
    g.dec = 12.25;
    g.time.setUtc(2000, 2, 29, 6, 0, 0);
    g.sigma = 3;
    g.maxpow = 9.5;
    for (std::size_t i = 0; i < g.pot.size(); ++i) g.pot[i] = static_cast<std::int32_t>(i * 3);
    return g;
}

}  // namespace

TEST(SignalLists, AddKeepsSignalsThatDifferInAnyOneField) {
    // Each change touches one field only: the list must keep both signals, whatever its index
    // does with that field. Equal signals, even with differently spelt values, are refused.
    using GaussianChange = void (*)(Gaussian&);
    const std::pair<const char*, GaussianChange> different[] = {
        {"name", [](Gaussian& g) { g.name = "wv"; }},
        {"ncfft", [](Gaussian& g) { g.ncfft = 9; }},
        {"chirprate", [](Gaussian& g) { g.chirprate = 1.5; }},
        {"fft_len", [](Gaussian& g) { g.fft_len = 128; }},
        {"peak", [](Gaussian& g) { g.peak = 5.000001; }},
        {"mean", [](Gaussian& g) { g.mean = 1e-300; }},
        {"ra", [](Gaussian& g) { g.ra = 1; }},
        {"dec", [](Gaussian& g) { g.dec = -12.25; }},
        {"time by a second", [](Gaussian& g) { g.time.setUtc(2000, 2, 29, 6, 0, 1); }},
        {"freq", [](Gaussian& g) { g.freq = 1420.25; }},
        {"sigma", [](Gaussian& g) { g.sigma = 4; }},
        {"chisqr", [](Gaussian& g) { g.chisqr = 3; }},
        {"maxpow", [](Gaussian& g) { g.maxpow = 10; }},
        {"pot 0", [](Gaussian& g) { g.pot[0] = 1; }},
        {"pot 63", [](Gaussian& g) { g.pot[63] = -1; }},
        {"pots swapped", [](Gaussian& g) { std::swap(g.pot[1], g.pot[2]); }},
    };
    const std::pair<const char*, GaussianChange> equal[] = {
        {"copy", [](Gaussian&) {}},
        {"-0.0 for 0.0", [](Gaussian& g) { g.mean = -0.0; g.ra = -0.0; }},
        // 2000-03-00 is 2000-02-29; another zone offset plays no part.
        {"time spelt otherwise",
         [](Gaussian& g) { g.time.month = 3; g.time.day = 0; g.time.zoneOffset += 7200; }},
    };
    const Gaussian base = fullGaussian();
    for (const auto& [label, change] : different) {
        SCOPED_TRACE(label);
        Gaussian variant = base;
        change(variant);
        EXPECT_EQ((keptOf<GaussianList>(base, variant)), 2u);
    }
    for (const auto& [label, change] : equal) {
        SCOPED_TRACE(label);
        Gaussian variant = base;
        change(variant);
        EXPECT_EQ((keptOf<GaussianList>(base, variant)), 1u);
    }

    using SpikeChange = void (*)(Spike&);
    const std::pair<const char*, SpikeChange> spikeCases[] = {
        {"name", [](Spike& s) { s.name = "wv"; }},
        {"ncfft", [](Spike& s) { s.ncfft = 2; }},
        {"chirp_rate", [](Spike& s) { s.chirp_rate = 0.5; }},
        {"fft_len", [](Spike& s) { s.fft_len = 8; }},
        {"power", [](Spike& s) { s.power = 3.5; }},
        {"ra", [](Spike& s) { s.ra = 2; }},
        {"dec", [](Spike& s) { s.dec = 3; }},
        {"time", [](Spike& s) { s.time.setJulian(2451544.5); }},
        {"freq", [](Spike& s) { s.freq = 1; }},
    };
    const Spike spikeBase = spike("wu", 3);
    for (const auto& [label, change] : spikeCases) {
        SCOPED_TRACE(std::string("spike ") + label);
        Spike variant = spikeBase;
        change(variant);
        EXPECT_EQ((keptOf<SpikeList>(spikeBase, variant)), 2u);
    }
    Spike negativeZero = spikeBase;
    negativeZero.chirp_rate = -0.0;
    negativeZero.time.day = 0;  // the unset value, however its fields read
    negativeZero.time.month = 1;
    negativeZero.time.year = 1984;
    negativeZero.time.zoneOffset = -3600;
    EXPECT_EQ((keptOf<SpikeList>(spikeBase, negativeZero)), 1u);

    // An empty name is never stored.
    GaussianList gaussians;
    SpikeList spikes;
    EXPECT_FALSE(gaussians.add(gaussian("", 5, 2)));
    EXPECT_FALSE(spikes.add(spike("", 1)));
    EXPECT_EQ(gaussians.size() + spikes.size(), 0u);
}

TEST(SignalLists, DuplicatesAreFoundAfterSortAndForgottenAfterReset) {
    // Many signals told apart by their last power value only, in mixed strengths.
    GaussianList list;
    const int count = 3000;
    for (int i = 0; i < count; ++i) {
        Gaussian g = fullGaussian();
        g.peak = i % 7;
        g.pot[63] = i;
        ASSERT_TRUE(list.add(g)) << i;
    }
    list.sort();
    ASSERT_EQ(list.size(), static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < list.size(); ++i) {
        Gaussian copy = list[i];
        ASSERT_FALSE(list.add(copy)) << i;
    }
    Gaussian fresh = fullGaussian();
    fresh.pot[63] = count;
    EXPECT_TRUE(list.add(fresh));
    EXPECT_EQ(list.size(), static_cast<std::size_t>(count + 1));

    list.working = fresh;
    list.reset();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(list.working.name.empty());
    EXPECT_TRUE(list.add(fresh));
    EXPECT_EQ(list.keyIndex("pot 63"), 76);  // the key map survives a reset

    SpikeList spikes;
    for (double power : {1.0, 3.0, 2.0}) ASSERT_TRUE(spikes.add(spike("wu", power)));
    spikes.sort();
    EXPECT_FALSE(spikes.add(spike("wu", 1.0)));
    spikes.reset();
    EXPECT_TRUE(spikes.add(spike("wu", 1.0)));
}

TEST(SignalLists, SortIsStrongestFirstAndStable) {
    // Enough signals that an unstable sort would show: equal strengths keep file order,
    // told apart by freq, which holds the insertion number.
    GaussianList gaussians;
    SpikeList spikes;
    const double strengths[] = {1, 3, 2, 3, 0, 1};
    for (int i = 0; i < 120; ++i) {
        double s = strengths[i % 6];
        // chisqr 0 gives score 0 even with a large peak.
        Gaussian g = s == 0 ? gaussian("wu", 1000, 0, i) : gaussian("wu", s * 2, 2, i);
        ASSERT_TRUE(gaussians.add(g));
        ASSERT_TRUE(spikes.add(spike("wu", s, i)));
    }
    gaussians.sort();
    spikes.sort();
    ASSERT_EQ(gaussians.size(), 120u);
    for (std::size_t i = 1; i < gaussians.size(); ++i) {
        SCOPED_TRACE(i);
        const Gaussian& before = gaussians[i - 1];
        const Gaussian& after = gaussians[i];
        ASSERT_GE(before.score(), after.score());
        if (before.score() == after.score()) {
            ASSERT_LT(before.freq, after.freq);
        }
        ASSERT_GE(spikes[i - 1].power, spikes[i].power);
        if (spikes[i - 1].power == spikes[i].power) {
            ASSERT_LT(spikes[i - 1].freq, spikes[i].freq);
        }
    }
    EXPECT_EQ(gaussians[0].freq, 1);  // the first of the strongest in the file
    EXPECT_EQ(gaussians[119].peak, 1000);
    EXPECT_EQ(gaussians[119].score(), 0.0);
}

TEST(SignalConversion, GaussianFromWorkUnit) {
    WorkUnit w;
    w.name = "wu";
    w.bg_chirp_rate = 1.5;
    w.bg_fft_len = 64;
    w.bg_fft_ind = 8;
    w.bg_power = 3.5;
    w.bg_true_mean = 0.75;
    w.start_ra = 12.25;
    w.start_dec = -3.5;
    w.time_recorded.setJulian(2451544.5);
    w.subband_base = 1420.0;
    w.bg_sigma = 4.5;
    w.bg_chisq = 2.5;
    w.bg_pot.fill(0.0);
    w.bg_pot[0] = 2.0;
    w.bg_pot[1] = 1.0;
    w.bg_pot[2] = 0.5;
    w.bg_pot[3] = -1.0;
    w.bg_pot[4] = 1.999;

    Gaussian g;
    g.fromWorkUnit(w);
    EXPECT_EQ(g.name, "wu");
    EXPECT_EQ(g.ncfft, 8);
    EXPECT_EQ(g.chirprate, 1.5);
    EXPECT_EQ(g.fft_len, 64);
    EXPECT_EQ(g.peak, 3.5);
    EXPECT_EQ(g.mean, 0.75);
    EXPECT_EQ(g.ra, 12.25);
    EXPECT_EQ(g.dec, -3.5);
    EXPECT_EQ(g.time, w.time_recorded);
    EXPECT_EQ(g.freq, 1420.0);
    EXPECT_EQ(g.sigma, 4.5);
    EXPECT_EQ(g.chisqr, 2.5);
    EXPECT_EQ(g.maxpow, 2.0);
    EXPECT_EQ(g.pot[0], 255);
    EXPECT_EQ(g.pot[1], 127);
    EXPECT_EQ(g.pot[2], 63);
    EXPECT_EQ(g.pot[3], -127);
    EXPECT_EQ(g.pot[4], 254);
    EXPECT_EQ(g.pot[5], 0);

    // Back into a record: steps of maxpow / 255, each rounded down, the largest kept.
    WorkUnit back;
    back.name = "wu";
    back.bg_bin = 77;
    ASSERT_TRUE(g.applyAsBest(back));
    EXPECT_EQ(back.bg_pot[0], 2.0);
    EXPECT_DOUBLE_EQ(back.bg_pot[1], 127 * 2.0 / 255.0);
    EXPECT_EQ(back.bg_score, 3.5 / 2.5);
    EXPECT_EQ(back.bg_power, 3.5);
    EXPECT_EQ(back.bg_chisq, 2.5);
    EXPECT_EQ(back.bg_sigma, 4.5);
    EXPECT_EQ(back.bg_fft_ind, 8);
    EXPECT_EQ(back.bg_fft_len, 64);
    EXPECT_EQ(back.bg_chirp_rate, 1.5);
    EXPECT_EQ(back.bg_true_mean, 0.75);
    EXPECT_EQ(back.bg_bin, 77);
}

TEST(SignalConversion, GaussianEdgeValues) {
    struct Case {
        const char* label;
        double pots[3];  // the rest of the 64 stay 0
        std::int32_t fftLen, fftInd;
        double maxpow;
        std::int32_t pot[3];
        std::int32_t ncfft;
    };
    const Case cases[] = {
        {"all zero", {0, 0, 0}, 64, 0, 0.0, {0, 0, 0}, 0},
        {"all negative", {-1, -2, -3}, 64, 8, 0.0, {0, 0, 0}, 8},
        {"INT_MIN / -1", {1, 0, 0}, INT_MIN, -1, 1.0, {255, 0, 0}, INT_MAX},
        {"INT_MIN / 1", {1, 0, 0}, INT_MIN, 1, 1.0, {255, 0, 0}, INT_MIN},
        // The product with 255 would overflow to infinity at the largest values.
        {"near the largest double", {1.7e308, 0.85e308, 0}, 1, 1, 1.7e308, {255, 127, 0}, 1},
        // Far below the maximum the scaled value leaves the int32 range: clamped.
        {"huge negative", {1, -1e300, 0}, 1, 1, 1.0, {255, INT_MIN, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WorkUnit w;
        w.name = "wu";
        w.bg_fft_len = c.fftLen;
        w.bg_fft_ind = c.fftInd;
        for (int i = 0; i < 3; ++i) w.bg_pot[static_cast<std::size_t>(i)] = c.pots[i];
        Gaussian g;
        g.fromWorkUnit(w);
        EXPECT_EQ(g.maxpow, c.maxpow);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(g.pot[static_cast<std::size_t>(i)], c.pot[i]) << i;
        EXPECT_EQ(g.ncfft, c.ncfft);
    }

    // The largest value survives the way back without becoming infinite.
    Gaussian big;
    big.name = "wu";
    big.maxpow = 1.7e308;
    big.pot[0] = 255;
    WorkUnit w;
    w.name = "wu";
    ASSERT_TRUE(big.applyAsBest(w));
    EXPECT_DOUBLE_EQ(w.bg_pot[0], 1.7e308);

    // A signal with ncfft 0 writes bg_fft_ind 0; INT_MIN / -1 is clamped.
    Gaussian zero;
    zero.name = "wu";
    zero.fft_len = 64;
    ASSERT_TRUE(zero.applyAsBest(w));
    EXPECT_EQ(w.bg_fft_ind, 0);
    zero.fft_len = INT_MIN;
    zero.ncfft = -1;
    ASSERT_TRUE(zero.applyAsBest(w));
    EXPECT_EQ(w.bg_fft_ind, INT_MAX);
}

TEST(SignalConversion, SpikeRoundTrip) {
    WorkUnit w;
    w.name = "wu";
    w.bs_chirp_rate = -2.5;
    w.bs_fft_len = 128;
    w.bs_fft_ind = 0;
    w.bs_power = 21.5;
    w.bs_score = 9;
    w.bs_bin = 5;
    w.start_ra = 1;
    w.start_dec = 2;
    w.subband_base = 3;
    w.time_recorded.setJulian(2451544.75);
    w.TimeStamp.setJulian(2451600.5);
    Spike s;
    s.fromWorkUnit(w);
    EXPECT_EQ(s.name, "wu");
    EXPECT_EQ(s.ncfft, 0);
    EXPECT_EQ(s.chirp_rate, -2.5);
    EXPECT_EQ(s.fft_len, 128);
    EXPECT_EQ(s.power, 21.5);
    EXPECT_EQ(s.ra, 1);
    EXPECT_EQ(s.dec, 2);
    EXPECT_EQ(s.freq, 3);
    EXPECT_EQ(s.time.julianDate(), 2451544.75);  // the recording time, not the arrival

    s.power = 30;
    s.ncfft = 4;
    s.chirp_rate = 1.25;
    ASSERT_TRUE(s.applyAsBest(w));
    EXPECT_EQ(w.bs_power, 30);
    EXPECT_EQ(w.bs_fft_ind, 32);
    EXPECT_EQ(w.bs_fft_len, 128);
    EXPECT_EQ(w.bs_chirp_rate, 1.25);
    EXPECT_EQ(w.bs_score, 9);  // not touched
    EXPECT_EQ(w.bs_bin, 5);

    w.bs_fft_len = INT_MIN;
    w.bs_fft_ind = -1;
    s.fromWorkUnit(w);
    EXPECT_EQ(s.ncfft, INT_MAX);
}

TEST(SignalConversion, OtherNameChangesNothing) {
    WorkUnit w;
    w.name = "wu";
    w.bs_power = 1;
    w.bg_score = 2;
    w.bg_pot[0] = 3;
    Spike s = spike("other", 50);
    Gaussian g = gaussian("other", 10, 2);
    g.maxpow = 9;
    g.pot[0] = 255;
    EXPECT_FALSE(s.applyAsBest(w));
    EXPECT_FALSE(g.applyAsBest(w));
    EXPECT_EQ(w.bs_power, 1);
    EXPECT_EQ(w.bg_score, 2);
    EXPECT_EQ(w.bg_pot[0], 3);
}
