// Single signals of a result file (spikes and gaussians) and the per-work-unit lists that
// refuse exact duplicates and sort strongest first.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "memory/HashIndex.h"
#include "memory/LargeAllocator.h"
#include "record/ATime.h"
#include "record/MemberSlot.h"
#include "record/PowerKeys.h"
#include "record/WorkUnit.h"

// A gaussian's power curve: 64 values scaled so that maxpow is 255.
using PotCurve = std::array<std::int32_t, PowerCount>;

// What every signal of a result file tells of where and when it was seen. The name is its
// work unit's, from the file's header; ncfft comes from the context line before it.
struct SignalPlace {
    std::string name;
    std::int32_t ncfft = 0;
    std::int32_t fft_len = 0;
    double ra = 0;
    double dec = 0;
    ATime time;  // equal by Julian Date
    double freq = 0;

    bool operator==(const SignalPlace& other) const = default;
};

class Spike : public SignalPlace {
public:
    double chirp_rate = 0;
    double power = 0;

    void clear();
    bool operator==(const Spike& other) const = default;
    double strength() const { return power; }
    // Seeds every field from the record's best spike and header.
    void fromWorkUnit(const WorkUnit& w);
    // Writes this spike into w as its best spike; false (w unchanged) when names differ.
    bool applyAsBest(WorkUnit& w) const;
};

class Gaussian : public SignalPlace {
public:
    double chirprate = 0;
    double peak = 0;
    double mean = 0;
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

// The field of `member` (of the signal or of its place), its kind told by the member's type.
template <class S, class Owner, class T>
constexpr SignalField<S> signalField(std::string_view key, T Owner::*member) {
    SignalField<S> f;
    f.key = key;
    placeMember(f, member);
    return f;
}

}  // namespace detail

// Every field of a signal, in the order of its line, with its key on a signal line. The name comes
// from the header and ncfft from the context line, so no signal line sets them. The line
// reader, the duplicate hash and the packed form below take their fields from here.
template <class Signal>
struct SignalTable;

template <>
struct SignalTable<Spike> {
    static constexpr std::array<SignalField<Spike>, 9> fields{{
        detail::signalField<Spike>("", &Spike::name),
        detail::signalField<Spike>("", &Spike::ncfft),
        detail::signalField<Spike>("chirp_rate", &Spike::chirp_rate),
        detail::signalField<Spike>("fft_len", &Spike::fft_len),
        detail::signalField<Spike>("power", &Spike::power),
        detail::signalField<Spike>("ra", &Spike::ra),
        detail::signalField<Spike>("dec", &Spike::dec),
        detail::signalField<Spike>("time", &Spike::time),
        detail::signalField<Spike>("freq", &Spike::freq),
    }};
};

template <>
struct SignalTable<Gaussian> {
    // "pot" is the whole curve as hexadecimal pairs.
    static constexpr std::array<SignalField<Gaussian>, 14> fields{{
        detail::signalField<Gaussian>("", &Gaussian::name),
        detail::signalField<Gaussian>("", &Gaussian::ncfft),
        detail::signalField<Gaussian>("chirprate", &Gaussian::chirprate),
        detail::signalField<Gaussian>("fft_len", &Gaussian::fft_len),
        detail::signalField<Gaussian>("peak", &Gaussian::peak),
        detail::signalField<Gaussian>("mean", &Gaussian::mean),
        detail::signalField<Gaussian>("ra", &Gaussian::ra),
        detail::signalField<Gaussian>("dec", &Gaussian::dec),
        detail::signalField<Gaussian>("time", &Gaussian::time),
        detail::signalField<Gaussian>("freq", &Gaussian::freq),
        detail::signalField<Gaussian>("sigma", &Gaussian::sigma),
        detail::signalField<Gaussian>("chisqr", &Gaussian::chisqr),
        detail::signalField<Gaussian>("maxpow", &Gaussian::maxpow),
        detail::signalField<Gaussian>("pot", &Gaussian::pot),
    }};
};

// How many fields of the table before the i-th (all of them for i past the end) are of a kind.
template <class Signal>
constexpr std::size_t fieldsOfKind(SignalFieldKind kind,
                                   std::size_t before = SignalTable<Signal>::fields.size()) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < before; ++i) count += SignalTable<Signal>::fields[i].kind == kind;
    return count;
}

// A signal as a list keeps it: the name as a position in the list's names (one file's
// signals share theirs), and a power curve whose values all fit a byte in bytes (as the
// client writes them), so a long list holds less than half the memory of its signals. The
// numbers and times are held by kind, in the order of the signal's table.
template <class Signal>
struct PackedSignal {
    using Table = SignalTable<Signal>;
    static_assert(fieldsOfKind<Signal>(SignalFieldKind::Text) == 1 &&
                      fieldsOfKind<Signal>(SignalFieldKind::Curve) <= 1,
                  "a signal has one name and at most one curve");
    // The signal's curve, nullptr for a signal without one.
    static constexpr PotCurve Signal::*Curve = [] {
        for (const SignalField<Signal>& field : Table::fields) {
            if (field.kind == SignalFieldKind::Curve) return field.curve;
        }
        return static_cast<PotCurve Signal::*>(nullptr);
    }();

    std::uint32_t name = 0;
    // 0 when `pot` holds the curve, otherwise 1 + its place among the list's wide curves.
    std::uint32_t wideCurve = 0;
    std::array<std::int32_t, fieldsOfKind<Signal>(SignalFieldKind::Int)> integers{};
    std::array<double, fieldsOfKind<Signal>(SignalFieldKind::Real)> reals{};
    std::array<ATime, fieldsOfKind<Signal>(SignalFieldKind::Time)> times;
    std::array<std::uint8_t, Curve != nullptr ? PowerCount : 0> pot{};

    // Calls f(member, place) for every number and time of the signal with its place here;
    // the name and the curve are packed apart.
    template <class S, class P, class F>
    static void forEachPlace(S& signal, P& packed, F f) {
        forEachPlace(signal, packed, f, std::make_index_sequence<Table::fields.size()>());
    }

private:
    template <class S, class P, class F, std::size_t... I>
    static void forEachPlace(S& signal, P& packed, F& f, std::index_sequence<I...>) {
        (place<I>(signal, packed, f), ...);
    }
    // The I-th field of the table, when it is a number or a time.
    template <std::size_t I, class S, class P, class F>
    static void place(S& signal, P& packed, F& f) {
        constexpr SignalField<Signal> field = Table::fields[I];
        constexpr std::size_t at = fieldsOfKind<Signal>(field.kind, I);
        if constexpr (field.kind == SignalFieldKind::Int) {
            f(signal.*field.integer, packed.integers[at]);
        } else if constexpr (field.kind == SignalFieldKind::Real) {
            f(signal.*field.real, packed.reals[at]);
        } else if constexpr (field.kind == SignalFieldKind::Time) {
            f(signal.*field.time, packed.times[at]);
        }
    }
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

    // Each chunk is reserved to ChunkEntries at its making and never grows past it.
    std::vector<std::vector<Entry, LargeAllocator<Entry>>> chunks_;
    std::size_t count_ = 0;  // entries held, the next position
    std::vector<std::string> names_;
    std::vector<PotCurve> wideCurves_;  // curves with a value outside 0 to 255
    // Positions in the list's order.
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> order_;
    HashIndex index_;  // the positions by the hash of their signals
};

using SpikeList = SignalList<Spike>;
using GaussianList = SignalList<Gaussian>;
extern template class SignalList<Spike>;
extern template class SignalList<Gaussian>;
