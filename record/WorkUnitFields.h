// The table of the work-unit fields: for each its key, I4WU column title, declaration number
// (the sort's numbering), group, kind and place in the record. Readers, writers, the merge, the
// sort and the key lookup all take their fields from here.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "record/MemberSlot.h"
#include "record/PowerKeys.h"
#include "record/WorkUnit.h"
#include "text/KeyTable.h"

enum class FieldKind : std::uint8_t { Time, Text, Int, Hex, Real, Power };

// What a field tells of its work unit, which decides its part in a merge: the header stays
// with the first reading; the progress (with its Update) and the best gaussian come from a
// reading further along.
enum class FieldGroup : std::uint8_t { Header, Progress, Gaussian };

struct FieldDef {
    std::string_view key;    // the record's own key, also the WUInfo.csv column title
    std::string_view title;  // the I4WU column title
    int declaration = -1;    // 0 to 36; -1 for the power values
    FieldGroup group = FieldGroup::Header;
    FieldKind kind = FieldKind::Real;
    // The one member of the field's kind; a power value's place is its index in bg_pot.
    ATime WorkUnit::*time = nullptr;
    std::string WorkUnit::*text = nullptr;
    std::int32_t WorkUnit::*integer = nullptr;
    double WorkUnit::*real = nullptr;
};

namespace detail {

// The field of `member`, its kind told by the member's type.
template <class T>
constexpr FieldDef field(std::string_view key, std::string_view title, int declaration,
                         FieldGroup group, T WorkUnit::*member) {
    FieldDef def;
    def.key = key;
    def.title = title;
    def.declaration = declaration;
    def.group = group;
    placeMember(def, member);
    return def;
}

// An integer field read and written in hexadecimal.
constexpr FieldDef hexField(std::string_view key, std::string_view title, int declaration,
                            FieldGroup group, std::int32_t WorkUnit::*member) {
    FieldDef def = field(key, title, declaration, group, member);
    def.kind = FieldKind::Hex;
    return def;
}

constexpr std::array<FieldDef, WorkUnitFieldCount> makeFields() {
    using W = WorkUnit;
    constexpr FieldGroup Head = FieldGroup::Header;
    constexpr FieldGroup Prog = FieldGroup::Progress;
    constexpr FieldGroup Gauss = FieldGroup::Gaussian;
    // Every field but the power values has a declaration number.
    const std::array<FieldDef, DeclarationCount> named = {{
        field("Update", "Update", 0, Prog, &W::Update),
        field("TimeStamp", "Received", 1, Head, &W::TimeStamp),
        field("version", "SETI Version", 3, Head, &W::version),
        field("name", "Unit Name", 2, Head, &W::name),
        hexField("splitter_version", "Splitter Version", 4, Head, &W::splitter_version),
        field("start_ra", "From(RA)", 5, Head, &W::start_ra),
        field("start_dec", "From(Dec)", 7, Head, &W::start_dec),
        field("end_ra", "To(RA)", 6, Head, &W::end_ra),
        field("end_dec", "To(Dec)", 8, Head, &W::end_dec),
        field("time_recorded", "Time(UT)", 9, Head, &W::time_recorded),
        field("subband_center", "Center Freq", 13, Head, &W::subband_center),
        field("subband_base", "Base Freq", 12, Head, &W::subband_base),
        field("subband_sample_rate", "Rate", 11, Head, &W::subband_sample_rate),
        field("nsamples", " Samples", 10, Head, &W::nsamples),
        field("angle_range", "angle_range", 14, Head, &W::angle_range),
        field("fft_len", "fft_len", 15, Head, &W::fft_len),
        field("ifft_len", "ifft_len", 16, Head, &W::ifft_len),
        field("subband_number", "subband_number", 17, Head, &W::subband_number),
        field("receiver", "receiver", 18, Head, &W::receiver),
        field("tape_version", "tape_version", 19, Head, &W::tape_version),
        field("cpu", "CPU Time", 20, Prog, &W::cpu),
        field("prog", "Progress", 21, Prog, &W::prog),
        field("bs_power", "Power(Spike)", 23, Prog, &W::bs_power),
        field("bs_score", "Score(Spike)", 22, Prog, &W::bs_score),
        field("bs_bin", "bs_bin", 25, Prog, &W::bs_bin),
        field("bs_fft_ind", "bs_fft_ind", 26, Prog, &W::bs_fft_ind),
        field("bs_chirp_rate", "Chirp Rate(Spike)", 24, Prog, &W::bs_chirp_rate),
        field("bs_fft_len", "bs_fft_len", 27, Prog, &W::bs_fft_len),
        field("bg_score", "Score(Gaussians)", 28, Gauss, &W::bg_score),
        field("bg_sigma", "Sigma(Gaussians)", 31, Gauss, &W::bg_sigma),
        field("bg_power", "Power(Gaussians)", 29, Gauss, &W::bg_power),
        field("bg_true_mean", "True Mean(Gaussians)", 32, Gauss, &W::bg_true_mean),
        field("bg_chisq", "Fit(Gaussians)", 30, Gauss, &W::bg_chisq),
        field("bg_bin", "bg_bin", 33, Gauss, &W::bg_bin),
        field("bg_fft_ind", "t0(Gaussians)", 34, Gauss, &W::bg_fft_ind),
        field("bg_chirp_rate", "Chirp Rate(Gaussians)", 36, Gauss, &W::bg_chirp_rate),
        field("bg_fft_len", "bg_fft_len", 35, Gauss, &W::bg_fft_len),
    }};
    std::array<FieldDef, WorkUnitFieldCount> all{};
    for (std::size_t i = 0; i < named.size(); ++i) all[i] = named[i];
    // The power values after them, in bg_pot's order.
    static_assert(DeclarationCount + PowerCount == WorkUnitFieldCount);
    for (std::size_t i = 0; i < PowerCount; ++i) {
        FieldDef& power = all[named.size() + i];
        power.key = power.title = RecordPowerKeys[i].view();
        power.group = Gauss;
        power.kind = FieldKind::Power;
    }
    return all;
}

}  // namespace detail

// In field-index order: the WUInfo.csv column order, "Update" first, "bg_pot 63" last.
inline constexpr std::array<FieldDef, WorkUnitFieldCount> WorkUnitFields = detail::makeFields();

// Field indexes by declaration number.
inline constexpr std::array<int, DeclarationCount> FieldByDeclaration = [] {
    std::array<int, DeclarationCount> order{};
    for (int& index : order) index = -1;
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        const int number = WorkUnitFields[static_cast<std::size_t>(i)].declaration;
        if (number >= 0) order[static_cast<std::size_t>(number)] = i;
    }
    return order;
}();

// Key tables over the fields: each key to its field index. `skip` leaves fields out, `extra`
// adds a reader's own keys.
template <std::size_t N, typename Skip>
constexpr std::array<KeyEntry, N> fieldKeys(bool byTitle, Skip skip,
                                            std::initializer_list<KeyEntry> extra = {}) {
    std::array<KeyEntry, N> keys{};
    std::size_t n = 0;
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        if (skip(i)) continue;
        const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(i)];
        keys[n++] = {byTitle ? def.title : def.key, i};
    }
    for (const KeyEntry& entry : extra) keys[n++] = entry;
    return sortedKeys(keys);
}

// The field index of a record key, for tables built at compile time; -1 for no field.
constexpr int fieldOf(std::string_view key) {
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        if (WorkUnitFields[static_cast<std::size_t>(i)].key == key) return i;
    }
    return -1;
}

// The field indexes that readers and writers treat apart, found by their keys.
namespace FieldIndex {
inline constexpr int Update = fieldOf("Update");
inline constexpr int TimeStamp = fieldOf("TimeStamp");
inline constexpr int Version = fieldOf("version");
inline constexpr int TimeRecorded = fieldOf("time_recorded");
inline constexpr int Cpu = fieldOf("cpu");
inline constexpr int BgFftInd = fieldOf("bg_fft_ind");
// "bg_pot 0"; "bg_pot i" is FirstPower + i.
inline constexpr int FirstPower = fieldOf(RecordPowerKeys[0].view());
}  // namespace FieldIndex

// Calls f(x, y) on the members of field `index` (0 to 100) of the records a and b, each as its
// own type: ATime, std::string, std::int32_t or double (one bg_pot value). Returns what f does.
template <class A, class B, class F>
constexpr decltype(auto) onField(int index, A& a, B& b, F&& f) {
    const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(index)];
    switch (def.kind) {
        case FieldKind::Time: return f(a.*def.time, b.*def.time);
        case FieldKind::Text: return f(a.*def.text, b.*def.text);
        case FieldKind::Int:
        case FieldKind::Hex: return f(a.*def.integer, b.*def.integer);
        case FieldKind::Real: return f(a.*def.real, b.*def.real);
        case FieldKind::Power: break;
    }
    const auto power = static_cast<std::size_t>(index - FieldIndex::FirstPower);
    return f(a.bg_pot[power], b.bg_pot[power]);
}

// The field indexes of one group, in table order.
template <FieldGroup Group>
inline constexpr auto GroupFields = [] {
    constexpr auto count = static_cast<std::size_t>(
        std::count_if(WorkUnitFields.begin(), WorkUnitFields.end(),
                      [](const FieldDef& def) { return def.group == Group; }));
    std::array<int, count> indexes{};
    std::size_t n = 0;
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        if (WorkUnitFields[static_cast<std::size_t>(i)].group == Group) indexes[n++] = i;
    }
    return indexes;
}();

namespace detail {

// onField for one field known when compiling: its member is found then, not at run time.
template <int Index, class A, class B, class F>
void onFieldAt(A& a, B& b, F& f) {
    constexpr FieldDef def = WorkUnitFields[static_cast<std::size_t>(Index)];
    if constexpr (def.kind == FieldKind::Time) {
        f(a.*def.time, b.*def.time);
    } else if constexpr (def.kind == FieldKind::Text) {
        f(a.*def.text, b.*def.text);
    } else if constexpr (def.kind == FieldKind::Int || def.kind == FieldKind::Hex) {
        f(a.*def.integer, b.*def.integer);
    } else if constexpr (def.kind == FieldKind::Real) {
        f(a.*def.real, b.*def.real);
    } else {
        f(a.bg_pot[Index - FieldIndex::FirstPower], b.bg_pot[Index - FieldIndex::FirstPower]);
    }
}

template <FieldGroup Group, class A, class B, class F, std::size_t... I>
void forGroup(A& a, B& b, F& f, std::index_sequence<I...>) {
    (onFieldAt<GroupFields<Group>[I]>(a, b, f), ...);
}

}  // namespace detail

// onField for every field of a group, each member found when compiling: as fast as the
// members written out one by one.
template <FieldGroup Group, class A, class B, class F>
void forGroup(A& a, B& b, F&& f) {
    detail::forGroup<Group>(a, b, f, std::make_index_sequence<GroupFields<Group>.size()>());
}
