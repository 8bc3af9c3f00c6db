// The work-unit record: everything known of one work unit, its 101-key field table, the
// merge rule for a further-along reading, and ordering by one selected field.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "record/ATime.h"
#include "record/PowerKeys.h"

constexpr int WorkUnitFieldCount = 101;
constexpr int DeclarationCount = 37;  // the power values have no declaration number

// Field index of an exact, case-sensitive record key, or -1 ("none").
int fieldIndex(std::string_view key);
// The record key of a field index 0 to 100.
std::string_view fieldKey(int index);

class WorkUnit {
public:
    // Declaration order: the sort numbers these 0 to 36.
    ATime Update;
    ATime TimeStamp;
    std::string name;
    std::int32_t version = 0;
    std::int32_t splitter_version = 0;
    double start_ra = 0;
    double end_ra = 0;
    double start_dec = 0;
    double end_dec = 0;
    ATime time_recorded;
    std::int32_t nsamples = 0;
    double subband_sample_rate = 0;
    double subband_base = 0;
    double subband_center = 0;
    double angle_range = 0;
    std::int32_t fft_len = 0;
    std::int32_t ifft_len = 0;
    std::int32_t subband_number = 0;
    std::string receiver;
    std::string tape_version;
    double cpu = 0;
    double prog = 0;
    double bs_score = 0;
    double bs_power = 0;
    double bs_chirp_rate = 0;
    std::int32_t bs_bin = 0;
    std::int32_t bs_fft_ind = 0;
    std::int32_t bs_fft_len = 0;
    double bg_score = 0;
    double bg_power = 0;
    double bg_chisq = 0;
    double bg_sigma = 0;
    std::array<double, PowerCount> bg_pot{};
    double bg_true_mean = 0;
    std::int32_t bg_bin = 0;
    std::int32_t bg_fft_ind = 0;
    std::int32_t bg_fft_len = 0;
    double bg_chirp_rate = 0;

    void clear();
    // The receiver of the work units of that time, "ao1420", and an unknown tape, "?": for
    // the sources that record neither.
    void setDefaultReceiverAndTape();

    // Folds a newer reading of the same work unit into this one: false (nothing changed)
    // when the names differ; a source whose prog is not greater changes nothing; otherwise
    // Update, progress and best spike come from the source, and the best gaussian too unless
    // this record has one and the source has none.
    bool mergeFrom(const WorkUnit& source);

    bool hasGaussian() const;
    bool hasFullGaussian() const;

    // Stores a value text into the field of a field index by the field's kind:
    // decimal integer, hexadecimal for splitter_version, real number, or the whole text less
    // its NUL bytes.
    // A number that cannot be read leaves the field as it was. The date-times (0, 1, 9) are
    // read differently by every format, so they and indexes outside 0..100 are not handled
    // here: the call returns false for them and changes nothing. Every other index returns
    // true, whether or not its number could be read.
    bool setField(int index, std::string_view value);
};

// Strict ordering by one field, given by its declaration number 0 to 36 (not a field-table
// index): date-times by Julian Date, texts byte-wise, numbers numerically with NaN last. Any
// other number compares every record equal.
bool lessByField(const WorkUnit& a, const WorkUnit& b, int declarationNumber);
