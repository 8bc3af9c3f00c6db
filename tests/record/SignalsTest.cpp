// Tests of the signal records: equality and the duplicate index, the conversions to
// and from the work unit's best signals (with their guarded divisions), and the lists' order.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "record/Signals.h"
#include "support/SignalAt.h"

// Designated initializers name only the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

Gaussian gaussian(double peak, double chisqr, double freq = 0, const char* name = "wu") {
    Gaussian g;
    g.name = name;
    g.peak = peak;
    g.freq = freq;
    g.chisqr = chisqr;
    return g;
}

Spike spike(double power, double freq = 0, const char* name = "wu") {
    Spike s;
    s.name = name;
    s.power = power;
    s.freq = freq;
    return s;
}

// Adds `base` and `variant` to a fresh list, then both again, and returns the count kept.
template <typename List, typename Signal>
std::size_t keptOf(const Signal& base, const Signal& variant) {
    List list;
    EXPECT_TRUE(list.add(base));
    list.add(variant);
    EXPECT_FALSE(list.add(variant));
    EXPECT_FALSE(list.add(base));
    return list.size();
}

// Copies of `base`, each with one field changed by `change`.
template <typename Signal, typename Field, typename Change>
void addVariants(std::vector<Signal>& out, const Signal& base,
                 std::initializer_list<Field Signal::*> fields, Change change) {
    for (Field Signal::*field : fields) {
        out.push_back(base);
        change(out.back().*field);
    }
}

}  // namespace

TEST(SignalLists, AddKeepsSignalsThatDifferInAnyOneField) {
    // Each variant differs from the base in one field only: the list must keep both, whatever
    // its hash index does with that field. Equal signals, even spelt otherwise, are refused.
    Gaussian base =
        at({.name = "wu", .ncfft = 8, .fft_len = 64, .dec = 12.25, .freq = 1420.5},
           Gaussian{.chirprate = -1.5, .peak = 5, .sigma = 3, .chisqr = 2, .maxpow = 9.5});
    base.time.setUtc(2000, 2, 29, 6, 0, 0);
    for (std::size_t i = 0; i < base.pot.size(); ++i) base.pot[i] = static_cast<int>(i * 3);
    std::vector<Gaussian> different;
    addVariants<Gaussian, double>(
        different, base,
        {&Gaussian::chirprate, &Gaussian::peak, &Gaussian::mean, &Gaussian::ra, &Gaussian::dec,
         &Gaussian::freq, &Gaussian::sigma, &Gaussian::chisqr, &Gaussian::maxpow},
        [](double& v) { v += 1e-6; });
    addVariants<Gaussian, std::int32_t>(different, base, {&Gaussian::ncfft, &Gaussian::fft_len},
                                        [](std::int32_t& v) { ++v; });
    addVariants<Gaussian, std::string>(different, base, {&Gaussian::name},
                                       [](std::string& v) { v = "wv"; });
    addVariants<Gaussian, ATime>(different, base, {&Gaussian::time},
                                 [](ATime& v) { v.setUtc(2000, 2, 29, 6, 0, 1); });
    for (std::size_t pot : {0, 63}) {
        different.push_back(base);
        different.back().pot[pot] = -1;
    }
    different.push_back(base);
    std::swap(different.back().pot[1], different.back().pot[2]);
    for (std::size_t i = 0; i < different.size(); ++i) {
        EXPECT_FALSE(base == different[i]) << "variant " << i;
        EXPECT_EQ((keptOf<GaussianList>(base, different[i])), 2u) << "variant " << i;
    }
    Gaussian equal = base;
    equal.mean = -0.0;     // equals 0.0
    equal.time.month = 3;  // 2000-03-00 is 2000-02-29; the zone offset plays no part
    equal.time.day = 0;
    equal.time.zoneOffset += 7200;
    EXPECT_EQ((keptOf<GaussianList>(base, equal)), 1u);

    const Spike spikeBase = spike(3);
    std::vector<Spike> spikes;
    addVariants<Spike, double>(
        spikes, spikeBase,
        {&Spike::chirp_rate, &Spike::power, &Spike::ra, &Spike::dec, &Spike::freq},
        [](double& v) { v += 0.5; });
    addVariants<Spike, std::int32_t>(spikes, spikeBase, {&Spike::ncfft, &Spike::fft_len},
                                     [](std::int32_t& v) { ++v; });
    addVariants<Spike, std::string>(spikes, spikeBase, {&Spike::name},
                                    [](std::string& v) { v = "wv"; });
    addVariants<Spike, ATime>(spikes, spikeBase, {&Spike::time},
                              [](ATime& v) { v.setJulian(2451544.5); });
    for (std::size_t i = 0; i < spikes.size(); ++i) {
        EXPECT_FALSE(spikeBase == spikes[i]) << "spike variant " << i;
        EXPECT_EQ((keptOf<SpikeList>(spikeBase, spikes[i])), 2u) << "spike variant " << i;
    }
    Spike negativeZero = spikeBase;
    negativeZero.chirp_rate = -0.0;
    negativeZero.time.zoneOffset = -3600;
    EXPECT_EQ((keptOf<SpikeList>(spikeBase, negativeZero)), 1u);

    // An empty name is never stored.
    EXPECT_FALSE(GaussianList().add(gaussian(5, 2, 0, "")));
    EXPECT_FALSE(SpikeList().add(spike(1, 0, "")));
}

TEST(SignalLists, SortIsStrongestFirstAndStableAndDuplicatesAreStillFound) {
    // Enough signals that an unstable sort would show: equal strengths keep file order, told
    // apart by freq, which holds the insertion number. After the sort moved them, the
    // duplicate index must still find each one.
    GaussianList gaussians;
    SpikeList spikes;
    const double strengths[] = {1, 3, 2, 3, 0, 1};
    const int count = 1200;
    for (int i = 0; i < count; ++i) {
        const double s = strengths[i % 6];
        // chisqr 0 gives score 0 even with a large peak.
        ASSERT_TRUE(gaussians.add(s == 0 ? gaussian(1000, 0, i) : gaussian(s * 2, 2, i)));
        ASSERT_TRUE(spikes.add(spike(s, i)));
    }
    gaussians.sort();
    spikes.sort();
    ASSERT_EQ(gaussians.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(gaussians[0].freq, 1);  // the first of the strongest in the file
    EXPECT_EQ(gaussians[count - 1].peak, 1000);
    for (std::size_t i = 1; i < gaussians.size(); ++i) {
        SCOPED_TRACE(i);
        const Gaussian& before = gaussians[i - 1];
        const Gaussian& after = gaussians[i];
        ASSERT_GE(before.score(), after.score());
        ASSERT_TRUE(before.score() != after.score() || before.freq < after.freq);
        ASSERT_GE(spikes[i - 1].power, spikes[i].power);
        ASSERT_TRUE(spikes[i - 1].power != spikes[i].power || spikes[i - 1].freq < spikes[i].freq);
    }
    for (std::size_t i = 0; i < gaussians.size(); ++i) {
        const Gaussian gaussianCopy = gaussians[i];
        const Spike spikeCopy = spikes[i];
        ASSERT_FALSE(gaussians.add(gaussianCopy)) << i;
        ASSERT_FALSE(spikes.add(spikeCopy)) << i;
    }
    EXPECT_TRUE(gaussians.add(gaussian(1, 1, count)));

    // Reset forgets the signals.
    gaussians.reset();
    EXPECT_EQ(gaussians.size(), 0u);
    EXPECT_TRUE(gaussians.add(gaussian(1, 1, count)));
    spikes.reset();
    EXPECT_TRUE(spikes.add(spike(1, 0)));
}

// The list keeps its signals packed: names by their place among the list's names, curves in
// bytes when every value fits one. Whatever the packing, each signal reads back as it was
// added, in both forms of access, and only an exact copy counts as a duplicate.
TEST(SignalLists, SignalsReadBackExactlyWhateverTheirNamesAndCurves) {
    struct Case {
        const char* name;
        std::int32_t first, last;  // pot[0] and pot[63]; the rest stay 0
    };
    const Case cases[] = {
        {"wu", 0, 255},         {"wu", 255, 0},      {"other", 0, 255},  // a name between names
        {"wu", 256, 0},         {"wu", -1, 7},       {"wu", INT_MIN, INT_MAX},
        {"wu", 0, 256},         {"other", 256, 0},   {"a name past the short-string size", 1, 2},
        {"wu", 0, 0x10000 + 1}, {"other", 255, 255},
    };
    GaussianList list;
    std::vector<Gaussian> added;
    for (const Case& c : cases) {
        Gaussian g = gaussian(static_cast<double>(added.size()), 1, 0.5);
        g.name = c.name;
        g.pot[0] = c.first;
        g.pot[63] = c.last;
        g.time.setJulian(2452133.313);
        ASSERT_TRUE(list.add(g)) << added.size();
        added.push_back(g);
    }
    ASSERT_EQ(list.size(), added.size());
    Gaussian reused;
    for (std::size_t i = 0; i < added.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i], added[i]);
        list.copyTo(i, reused);
        EXPECT_EQ(reused, added[i]);
        EXPECT_EQ(reused.name, added[i].name);
        EXPECT_EQ(reused.pot, added[i].pot);
        EXPECT_FALSE(list.add(added[i]));
    }
    // The same curve under the other name, or a wide value one off, is another signal.
    Gaussian renamed = added[4];
    renamed.name = "other";
    EXPECT_TRUE(list.add(renamed));
    Gaussian offByOne = added[5];
    offByOne.pot[0] += 1;
    EXPECT_TRUE(list.add(offByOne));

    // Sorting reorders what is read back, not what was stored: strongest first.
    list.sort();
    EXPECT_EQ(list[0], added.back());
    EXPECT_EQ(list[list.size() - 1], added[0]);

    SpikeList spikes;
    for (const char* name : {"wu", "other", "wu"}) {
        Spike s = spike(1);
        s.name = name;
        s.ra = static_cast<double>(spikes.size());
        ASSERT_TRUE(spikes.add(s));
    }
    EXPECT_EQ(spikes[0].name, "wu");
    EXPECT_EQ(spikes[1].name, "other");
    EXPECT_EQ(spikes[2].name, "wu");
    EXPECT_EQ(spikes[2].ra, 2.0);
}

TEST(SignalConversion, GaussianFromAndToWorkUnit) {
    WorkUnit w{.name = "wu",
               .start_ra = 12.25,
               .start_dec = -3.5,
               .subband_base = 1420.0,
               .bg_power = 3.5,
               .bg_chisq = 2.5,
               .bg_sigma = 4.5,
               .bg_pot = {2.0, 1.0, 0.5, -1.0, 1.999},
               .bg_true_mean = 0.75,
               .bg_fft_ind = 8,
               .bg_fft_len = 64,
               .bg_chirp_rate = 1.5};
    w.time_recorded.setJulian(2451544.5);
    // Each power value × 255 / maxpow, truncated toward zero.
    const Gaussian expected = at({.name = "wu",
                                  .ncfft = 8,
                                  .fft_len = 64,
                                  .ra = 12.25,
                                  .dec = -3.5,
                                  .time = w.time_recorded,
                                  .freq = 1420.0},
                                 Gaussian{.chirprate = 1.5,
                                          .peak = 3.5,
                                          .mean = 0.75,
                                          .sigma = 4.5,
                                          .chisqr = 2.5,
                                          .maxpow = 2.0,
                                          .pot = {255, 127, 63, -127, 254}});
    Gaussian g;
    g.fromWorkUnit(w);
    EXPECT_TRUE(g == expected);
    EXPECT_EQ(g.score(), 3.5 / 2.5);
    EXPECT_EQ(gaussian(6, 0).score(), 0.0);

    // Back into a record: steps of maxpow / 255; fields outside the group stay.
    WorkUnit back{.name = "wu", .bg_bin = 77};
    ASSERT_TRUE(g.applyAsBest(back));
    EXPECT_EQ(back.bg_score, 3.5 / 2.5);
    EXPECT_EQ(back.bg_power, 3.5);
    EXPECT_EQ(back.bg_chisq, 2.5);
    EXPECT_EQ(back.bg_sigma, 4.5);
    EXPECT_EQ(back.bg_true_mean, 0.75);
    EXPECT_EQ(back.bg_bin, 77);
    EXPECT_EQ(back.bg_fft_ind, 8);
    EXPECT_EQ(back.bg_fft_len, 64);
    EXPECT_EQ(back.bg_chirp_rate, 1.5);
    EXPECT_EQ(back.bg_pot[0], 2.0);
    EXPECT_DOUBLE_EQ(back.bg_pot[1], 127 * 2.0 / 255.0);
}

TEST(SignalConversion, GaussianEdgeValues) {
    struct Case {
        const char* label;
        double pots[2];  // the first power value, and the other 63
        std::int32_t fftLen, fftInd;
        double maxpow;
        std::int32_t pot[2];
        std::int32_t ncfft;
    };
    const Case cases[] = {
        {"all zero", {0, 0}, 64, 0, 0.0, {0, 0}, 0},
        {"all negative", {-2, -1}, 64, 8, 0.0, {0, 0}, 8},
        {"INT_MIN / -1", {1, 0}, INT_MIN, -1, 1.0, {255, 0}, INT_MAX},
        // The product with 255 would overflow to infinity at the largest values.
        {"near the largest double", {1.7e308, 0.85e308}, 1, 1, 1.7e308, {255, 127}, 1},
        // Far below the maximum the scaled value leaves the int32 range: clamped.
        {"huge negative", {1, -1e300}, 1, 1, 1.0, {255, INT_MIN}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WorkUnit w{.name = "wu", .bg_fft_ind = c.fftInd, .bg_fft_len = c.fftLen};
        w.bg_pot.fill(c.pots[1]);
        w.bg_pot[0] = c.pots[0];
        Gaussian g;
        g.fromWorkUnit(w);
        EXPECT_EQ(g.maxpow, c.maxpow);
        EXPECT_EQ(g.pot[0], c.pot[0]);
        EXPECT_EQ(g.pot[1], c.pot[1]);
        EXPECT_EQ(g.ncfft, c.ncfft);
    }

    // The way back: the largest value stays finite; ncfft 0 gives 0; INT_MIN / -1 is clamped.
    Gaussian big = at({.name = "wu", .fft_len = 64}, Gaussian{.maxpow = 1.7e308, .pot = {255}});
    WorkUnit w{.name = "wu"};
    ASSERT_TRUE(big.applyAsBest(w));
    EXPECT_DOUBLE_EQ(w.bg_pot[0], 1.7e308);
    EXPECT_EQ(w.bg_fft_ind, 0);
    big.fft_len = INT_MIN;
    big.ncfft = -1;
    ASSERT_TRUE(big.applyAsBest(w));
    EXPECT_EQ(w.bg_fft_ind, INT_MAX);
}

TEST(SignalConversion, SpikeFromAndToWorkUnit) {
    WorkUnit w{.name = "wu",
               .start_ra = 1,
               .start_dec = 2,
               .subband_base = 3,
               .bs_score = 9,
               .bs_power = 21.5,
               .bs_chirp_rate = -2.5,
               .bs_bin = 5,
               .bs_fft_len = 128};
    w.time_recorded.setJulian(2451544.75);
    w.TimeStamp.setJulian(2451600.5);
    Spike s;
    s.fromWorkUnit(w);
    // ncfft 0 as bs_fft_ind is 0; the time is the recording time, not the arrival.
    EXPECT_TRUE(
        s ==
        at({.name = "wu", .fft_len = 128, .ra = 1, .dec = 2, .time = w.time_recorded, .freq = 3},
           Spike{.chirp_rate = -2.5, .power = 21.5}));

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
    WorkUnit w{.name = "wu", .bs_power = 1, .bg_score = 2, .bg_pot = {3}};
    EXPECT_FALSE(spike(0, 0, "other").applyAsBest(w));
    Gaussian other = gaussian(10, 2, 0, "other");
    other.maxpow = 9;
    other.pot = {255};
    EXPECT_FALSE(other.applyAsBest(w));
    EXPECT_EQ(w.bs_power, 1);
    EXPECT_EQ(w.bg_score, 2);
    EXPECT_EQ(w.bg_pot[0], 3);
}
