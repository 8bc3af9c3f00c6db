// Single signals of a result file (spikes and gaussians) and the per-work-unit lists that
// refuse exact duplicates and sort strongest first.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "record/ATime.h"
#include "record/LargeAllocator.h"
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

// A signal as a list keeps it: the name as a position in the list's names (one file's
// signals share theirs), and a power curve whose values all fit a byte in bytes (as the
// client writes them), so a long list holds less than half the memory of its signals.
template <class Signal>
struct PackedSignal;

template <>
struct PackedSignal<Spike> {
    std::uint32_t name = 0;
    std::int32_t ncfft = 0;
    std::int32_t fft_len = 0;
    double chirp_rate = 0;
    double power = 0;
    double ra = 0;
    double dec = 0;
    double freq = 0;
    ATime time;
};

template <>
struct PackedSignal<Gaussian> {
    std::uint32_t name = 0;
    std::int32_t ncfft = 0;
    std::int32_t fft_len = 0;
    // 0 when `pot` holds the curve, otherwise 1 + its place among the list's wide curves.
    std::uint32_t wideCurve = 0;
    double chirprate = 0;
    double peak = 0;
    double mean = 0;
    double ra = 0;
    double dec = 0;
    double freq = 0;
    double sigma = 0;
    double chisqr = 0;
    double maxpow = 0;
    ATime time;
    std::array<std::uint8_t, 64> pot{};
};

// The signals of one work unit, without exact duplicates. sort is stable: equal strength
// keeps file order.
// The duplicate check goes through a hash index beside the records, so reading n signals
// costs about n, not n squared, however many lines a result file holds. The signals are kept
// packed in chunks of fixed capacity, so a growing list never copies the ones it holds, and
// a sort orders positions only: no signal moves once added.
template <class Signal>
class SignalList {
public:
    // Empties the list.
    void reset();
    // False, storing nothing, for an empty name or a signal equal in every field to one
    // already held; otherwise appends a copy.
    bool add(const Signal& signal);
    void sort();  // descending strength()
    std::size_t size() const { return order_.size(); }
    // The i-th signal: in the order of the last sort, those added since after them.
    Signal operator[](std::size_t i) const;
    // The same into `out`, whose name keeps its buffer: no allocation per signal in a loop.
    void copyTo(std::size_t i, Signal& out) const { unpack(entryAt(order_[i]).packed, out); }

private:
    struct Entry {
        PackedSignal<Signal> packed;
        double strength = 0;
        std::size_t hash = 0;
    };
    // About 2 MiB a chunk, from memory the OS backs with large pages, and a power of two of
    // entries so a position splits by shifting.
    static constexpr std::size_t ChunkEntries =
        std::bit_floor(std::max<std::size_t>(1, (2u << 20) / sizeof(Entry)));
    static constexpr int ChunkShift = std::countr_zero(ChunkEntries);

    const Entry& entryAt(std::size_t position) const {
        return chunks_[position >> ChunkShift][position & (ChunkEntries - 1)];
    }
    void pack(const Signal& signal, PackedSignal<Signal>& packed);
    void unpack(const PackedSignal<Signal>& packed, Signal& out) const;
    // Finds the slot where a signal of this hash equal to `signal` sits, or the empty slot
    // where it would go.
    std::size_t slotOf(std::size_t hash, const Signal& signal) const;
    // Makes the table twice as large (or first made) and puts every position back in.
    void rebuildSlots(std::size_t size);

    // Each chunk is reserved to ChunkEntries at its making and never grows past it.
    std::vector<std::vector<Entry, LargeAllocator<Entry>>> chunks_;
    std::size_t count_ = 0;  // entries held, the next position
    std::vector<std::string> names_;
    std::vector<PotCurve> wideCurves_;  // curves with a value outside 0 to 255
    // Positions in the list's order.
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> order_;
    // Open addressing over the positions: position + 1 per slot, 0 for an empty slot; at most
    // half the slots are in use, so a probe soon ends.
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> slots_;
};

using SpikeList = SignalList<Spike>;
using GaussianList = SignalList<Gaussian>;
extern template class SignalList<Spike>;
extern template class SignalList<Gaussian>;
