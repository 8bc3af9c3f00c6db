// The table of the work-unit fields: for each its key, I4WU column title, declaration number
// (the sort selector's numbering), kind and place in the record. Readers, writers, the sort
// and the key lookup all take their fields from here.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "record/KeyTable.h"
#include "record/PowerKeys.h"
#include "record/WorkUnit.h"

enum class FieldKind : std::uint8_t { DateTime, Text, Int, Hex, Real, Power };

struct FieldDef {
    std::string_view key;    // the record's own key, also the WUInfo.csv column title
    std::string_view title;  // the I4WU column title
    int declaration = -1;    // 0 to 36; -1 for the power values
    FieldKind kind = FieldKind::Real;
    // The one member of the field's kind; a power value's place is its index in bg_pot.
    ATime WorkUnit::*time = nullptr;
    std::string WorkUnit::*text = nullptr;
    std::int32_t WorkUnit::*integer = nullptr;
    double WorkUnit::*real = nullptr;
};

namespace detail {

constexpr FieldDef field(std::string_view key, std::string_view title, int declaration,
                         ATime WorkUnit::*member) {
    return {key, title, declaration, FieldKind::DateTime, member, nullptr, nullptr, nullptr};
}
constexpr FieldDef field(std::string_view key, std::string_view title, int declaration,
                         std::string WorkUnit::*member) {
    return {key, title, declaration, FieldKind::Text, nullptr, member, nullptr, nullptr};
}
constexpr FieldDef field(std::string_view key, std::string_view title, int declaration,
                         std::int32_t WorkUnit::*member) {
    return {key, title, declaration, FieldKind::Int, nullptr, nullptr, member, nullptr};
}
constexpr FieldDef hexField(std::string_view key, std::string_view title, int declaration,
                            std::int32_t WorkUnit::*member) {
    return {key, title, declaration, FieldKind::Hex, nullptr, nullptr, member, nullptr};
}
constexpr FieldDef field(std::string_view key, std::string_view title, int declaration,
                         double WorkUnit::*member) {
    return {key, title, declaration, FieldKind::Real, nullptr, nullptr, nullptr, member};
}

constexpr std::array<FieldDef, WorkUnitFieldCount> makeFields() {
    using W = WorkUnit;
    const std::array<FieldDef, FieldIndex::FirstPower> named = {{
        field("Update", "Update", 0, &W::Update),
        field("TimeStamp", "Received", 1, &W::TimeStamp),
        field("version", "SETI Version", 3, &W::version),
        field("name", "Unit Name", 2, &W::name),
        hexField("splitter_version", "Splitter Version", 4, &W::splitter_version),
        field("start_ra", "From(RA)", 5, &W::start_ra),
        field("start_dec", "From(Dec)", 7, &W::start_dec),
        field("end_ra", "To(RA)", 6, &W::end_ra),
        field("end_dec", "To(Dec)", 8, &W::end_dec),
        field("time_recorded", "Time(UT)", 9, &W::time_recorded),
        field("subband_center", "Center Freq", 13, &W::subband_center),
        field("subband_base", "Base Freq", 12, &W::subband_base),
        field("subband_sample_rate", "Rate", 11, &W::subband_sample_rate),
        field("nsamples", " Samples", 10, &W::nsamples),
        field("angle_range", "angle_range", 14, &W::angle_range),
        field("fft_len", "fft_len", 15, &W::fft_len),
        field("ifft_len", "ifft_len", 16, &W::ifft_len),
        field("subband_number", "subband_number", 17, &W::subband_number),
        field("receiver", "receiver", 18, &W::receiver),
        field("tape_version", "tape_version", 19, &W::tape_version),
        field("cpu", "CPU Time", 20, &W::cpu),
        field("prog", "Progress", 21, &W::prog),
        field("bs_power", "Power(Spike)", 23, &W::bs_power),
        field("bs_score", "Score(Spike)", 22, &W::bs_score),
        field("bs_bin", "bs_bin", 25, &W::bs_bin),
        field("bs_fft_ind", "bs_fft_ind", 26, &W::bs_fft_ind),
        field("bs_chirp_rate", "Chirp Rate(Spike)", 24, &W::bs_chirp_rate),
        field("bs_fft_len", "bs_fft_len", 27, &W::bs_fft_len),
        field("bg_score", "Score(Gaussians)", 28, &W::bg_score),
        field("bg_sigma", "Sigma(Gaussians)", 31, &W::bg_sigma),
        field("bg_power", "Power(Gaussians)", 29, &W::bg_power),
        field("bg_true_mean", "True Mean(Gaussians)", 32, &W::bg_true_mean),
        field("bg_chisq", "Fit(Gaussians)", 30, &W::bg_chisq),
        field("bg_bin", "bg_bin", 33, &W::bg_bin),
        field("bg_fft_ind", "t0(Gaussians)", 34, &W::bg_fft_ind),
        field("bg_chirp_rate", "Chirp Rate(Gaussians)", 36, &W::bg_chirp_rate),
        field("bg_fft_len", "bg_fft_len", 35, &W::bg_fft_len),
    }};
    std::array<FieldDef, WorkUnitFieldCount> all{};
    for (std::size_t i = 0; i < named.size(); ++i) all[i] = named[i];
    for (std::size_t i = 0; i < PowerCount; ++i) {
        const std::string_view key = RecordPowerKeys[i].view();
        all[named.size() + i] = {key,     key,     -1,      FieldKind::Power,
                                 nullptr, nullptr, nullptr, nullptr};
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
