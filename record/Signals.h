// Single signals of a result file (spikes and gaussians) and the per-work-unit lists that
// refuse exact duplicates and sort strongest first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "record/ATime.h"
#include "record/WorkUnit.h"

// "name" "ncfft" "chirp_rate" "fft_len" "power" "ra" "dec" "time" "freq", then null.
extern const char* const SpikeKeys[10];
// "name" "ncfft" "chirprate" "fft_len" "peak" "mean" "ra" "dec" "time" "freq" "sigma"
// "chisqr" "maxpow", "pot 0" to "pot 63", then null.
extern const char* const GaussianKeys[78];

class Spike {
public:
    std::string name;
    std::int32_t ncfft = 0;
    double chirp_rate = 0;
    std::int32_t fft_len = 0;
    double power = 0;
    double ra = 0;
    double dec = 0;
    ATime time;
    double freq = 0;

    void clear();
    bool operator==(const Spike& other) const;
    // Seeds every field from the record's best spike and header.
    void fromWorkUnit(const WorkUnit& w);
    // Writes this spike into w as its best spike; false (w unchanged) when names differ.
    bool applyAsBest(WorkUnit& w) const;
};

class Gaussian {
public:
    std::string name;
    std::int32_t ncfft = 0;
    double chirprate = 0;
    std::int32_t fft_len = 0;
    double peak = 0;
    double mean = 0;
    double ra = 0;
    double dec = 0;
    ATime time;
    double freq = 0;
    double sigma = 0;
    double chisqr = 0;
    double maxpow = 0;
    std::array<std::int32_t, 64> pot{};

    void clear();
    bool operator==(const Gaussian& other) const;
    // peak / chisqr, 0 when chisqr is 0.
    double score() const;
    void fromWorkUnit(const WorkUnit& w);
    bool applyAsBest(WorkUnit& w) const;
};

// The signals of one work unit, without exact duplicates. `working` is the record a reader
// fills before handing it to add. sort is stable: equal strength keeps file order.
// The duplicate check goes through a hash index beside the records, so reading n signals
// costs about n, not n squared, however many lines a result file holds.
class SpikeList {
public:
    SpikeList();
    Spike working;
    // Empties the working record and the list; the key map stays.
    void reset();
    // False, storing nothing, for an empty name or a signal equal in every field to one
    // already held; otherwise appends a copy.
    bool add(const Spike& spike);
    void sort();  // descending power
    std::size_t size() const { return items_.size(); }
    const Spike& operator[](std::size_t i) const { return items_[i]; }
    int keyIndex(const std::string& key) const;  // index in SpikeKeys, or -1

private:
    std::vector<Spike> items_;
    std::unordered_multimap<std::size_t, std::size_t> byHash_;  // hash of a signal -> position
    std::map<std::string, int> keys_;
};

// The gaussians of one work unit, with the same contract as SpikeList.
class GaussianList {
public:
    GaussianList();
    Gaussian working;
    void reset();
    bool add(const Gaussian& gaussian);
    void sort();  // descending score
    std::size_t size() const { return items_.size(); }
    const Gaussian& operator[](std::size_t i) const { return items_[i]; }
    int keyIndex(const std::string& key) const;  // index in GaussianKeys, or -1

private:
    std::vector<Gaussian> items_;
    std::unordered_multimap<std::size_t, std::size_t> byHash_;  // hash of a signal -> position
    std::map<std::string, int> keys_;
};
