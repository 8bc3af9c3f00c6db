// Single signals of a result file (spikes and gaussians) and the per-work-unit lists that
// refuse exact duplicates and sort strongest first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "record/ATime.h"
#include "record/WorkUnit.h"

// A gaussian's power curve: 64 values scaled so that maxpow is 255.
using PotCurve = std::array<std::int32_t, 64>;

class Spike {
public:
    std::string name;
    std::int32_t ncfft = 0;
    double chirp_rate = 0;
    std::int32_t fft_len = 0;
    double power = 0;
    double ra = 0;
    double dec = 0;
    ATime time;  // equal by Julian Date
    double freq = 0;

    void clear();
    bool operator==(const Spike& other) const = default;
    double strength() const { return power; }
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
    ATime time;  // equal by Julian Date
    double freq = 0;
    double sigma = 0;
    double chisqr = 0;
    double maxpow = 0;
    PotCurve pot{};

    void clear();
    bool operator==(const Gaussian& other) const = default;
    // peak / chisqr, 0 when chisqr is 0.
    double score() const;
    double strength() const { return score(); }
    void fromWorkUnit(const WorkUnit& w);
    bool applyAsBest(WorkUnit& w) const;
};

// The signals of one work unit, without exact duplicates. sort is stable: equal strength
// keeps file order.
// The duplicate check goes through a hash index beside the records, so reading n signals
// costs about n, not n squared, however many lines a result file holds.
template <class Signal>
class SignalList {
public:
    // Empties the list.
    void reset();
    // False, storing nothing, for an empty name or a signal equal in every field to one
    // already held; otherwise appends a copy.
    bool add(const Signal& signal);
    void sort();  // descending strength()
    std::size_t size() const { return items_.size(); }
    const Signal& operator[](std::size_t i) const { return items_[i]; }

private:
    // Finds the slot where a signal of this hash equal to `signal` sits, or the empty slot
    // where it would go.
    std::size_t slotOf(std::size_t hash, const Signal& signal) const;
    // Makes the table twice as large (or first made) and puts every position back in.
    void rebuildSlots(std::size_t size);

    std::vector<Signal> items_;
    std::vector<std::size_t> hashes_;  // the hash of each signal, beside it
    // Open addressing over the positions: position + 1 per slot, 0 for an empty slot; at most
    // half the slots are in use, so a probe soon ends.
    std::vector<std::uint32_t> slots_;
};

using SpikeList = SignalList<Spike>;
using GaussianList = SignalList<Gaussian>;
extern template class SignalList<Spike>;
extern template class SignalList<Gaussian>;
