// The work-unit record: its field table and key lookup, the merge rule, value storing by field
// index, and ordering by the process-wide sort field.
#include "record/WorkUnit.h"

#include <cmath>
#include <unordered_map>

#include "record/Numbers.h"

const char* const WorkUnitFieldNames[102] = {
    "Update", "TimeStamp", "version", "name", "splitter_version", "start_ra", "start_dec",
    "end_ra", "end_dec", "time_recorded", "subband_center", "subband_base",
    "subband_sample_rate", "nsamples", "angle_range", "fft_len", "ifft_len", "subband_number",
    "receiver", "tape_version", "cpu", "prog", "bs_power", "bs_score", "bs_bin", "bs_fft_ind",
    "bs_chirp_rate", "bs_fft_len", "bg_score", "bg_sigma", "bg_power", "bg_true_mean",
    "bg_chisq", "bg_bin", "bg_fft_ind", "bg_chirp_rate", "bg_fft_len",
    "bg_pot 0", "bg_pot 1", "bg_pot 2", "bg_pot 3", "bg_pot 4", "bg_pot 5", "bg_pot 6",
    "bg_pot 7", "bg_pot 8", "bg_pot 9", "bg_pot 10", "bg_pot 11", "bg_pot 12", "bg_pot 13",
    "bg_pot 14", "bg_pot 15", "bg_pot 16", "bg_pot 17", "bg_pot 18", "bg_pot 19", "bg_pot 20",
    "bg_pot 21", "bg_pot 22", "bg_pot 23", "bg_pot 24", "bg_pot 25", "bg_pot 26", "bg_pot 27",
    "bg_pot 28", "bg_pot 29", "bg_pot 30", "bg_pot 31", "bg_pot 32", "bg_pot 33", "bg_pot 34",
    "bg_pot 35", "bg_pot 36", "bg_pot 37", "bg_pot 38", "bg_pot 39", "bg_pot 40", "bg_pot 41",
    "bg_pot 42", "bg_pot 43", "bg_pot 44", "bg_pot 45", "bg_pot 46", "bg_pot 47", "bg_pot 48",
    "bg_pot 49", "bg_pot 50", "bg_pot 51", "bg_pot 52", "bg_pot 53", "bg_pot 54", "bg_pot 55",
    "bg_pot 56", "bg_pot 57", "bg_pot 58", "bg_pot 59", "bg_pot 60", "bg_pot 61", "bg_pot 62",
    "bg_pot 63", nullptr};

int fieldIndex(std::string_view key) {
    // Built once on first use; readers look up a key per value, millions of times a run.
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> map;
        map.reserve(WorkUnitFieldCount * 2);
        for (int i = 0; i < WorkUnitFieldCount; ++i) map.emplace(WorkUnitFieldNames[i], i);
        return map;
    }();
    auto found = index.find(key);
    return found == index.end() ? -1 : found->second;
}

void WorkUnit::clear() { *this = WorkUnit(); }

bool WorkUnit::hasGaussian() const {
    return !name.empty() && bg_chisq != 0.0 && bg_score != 0.0;
}

bool WorkUnit::hasFullGaussian() const {
    if (!hasGaussian() || bg_sigma == 0.0) return false;
    for (double value : bg_pot) {
        if (value != 0.0) return true;
    }
    return false;
}

bool WorkUnit::mergeFrom(const WorkUnit& source) {
    if (this == &source) return true;
    if (name != source.name) return false;
    // A reading that is not further along changes nothing, even where it knows more.
    if (prog >= source.prog) return true;

    Update = source.Update;
    cpu = source.cpu;
    prog = source.prog;
    bs_score = source.bs_score;
    bs_power = source.bs_power;
    bs_chirp_rate = source.bs_chirp_rate;
    bs_bin = source.bs_bin;
    bs_fft_ind = source.bs_fft_ind;
    bs_fft_len = source.bs_fft_len;

    // A gaussian already found is not thrown away for a reading that has none.
    if (hasGaussian() && !source.hasGaussian()) return true;
    bg_score = source.bg_score;
    bg_power = source.bg_power;
    bg_chisq = source.bg_chisq;
    bg_sigma = source.bg_sigma;
    bg_pot = source.bg_pot;
    bg_true_mean = source.bg_true_mean;
    bg_bin = source.bg_bin;
    bg_fft_ind = source.bg_fft_ind;
    bg_fft_len = source.bg_fft_len;
    bg_chirp_rate = source.bg_chirp_rate;
    return true;
}

namespace {

// A text field without its NUL bytes. Only the support data file, read in binary, can bring
// one in, and no other file keeps it: WUInfo.csv ends a row at a NUL. Dropped here, where every
// reader stores its texts, "a\0b" is the work unit "ab" from the first run on, and a name of
// NULs alone is no name, instead of either changing on the next run.
void assignText(std::string& field, std::string_view value) {
    field.clear();
    for (char c : value) {
        if (c != '\0') field += c;
    }
}

}  // namespace

bool WorkUnit::setField(int index, std::string_view value) {
    if (index >= FirstPotField && index < WorkUnitFieldCount) {
        readReal(value, bg_pot[static_cast<std::size_t>(index - FirstPotField)]);
        return true;
    }
    switch (index) {
        case 2: readInt(value, version); break;
        case 3: assignText(name, value); break;
        case 4: readHex(value, splitter_version); break;
        case 5: readReal(value, start_ra); break;
        case 6: readReal(value, start_dec); break;
        case 7: readReal(value, end_ra); break;
        case 8: readReal(value, end_dec); break;
        case 10: readReal(value, subband_center); break;
        case 11: readReal(value, subband_base); break;
        case 12: readReal(value, subband_sample_rate); break;
        case 13: readInt(value, nsamples); break;
        case 14: readReal(value, angle_range); break;
        case 15: readInt(value, fft_len); break;
        case 16: readInt(value, ifft_len); break;
        case 17: readInt(value, subband_number); break;
        case 18: assignText(receiver, value); break;
        case 19: assignText(tape_version, value); break;
        case 20: readReal(value, cpu); break;
        case 21: readReal(value, prog); break;
        case 22: readReal(value, bs_power); break;
        case 23: readReal(value, bs_score); break;
        case 24: readInt(value, bs_bin); break;
        case 25: readInt(value, bs_fft_ind); break;
        case 26: readReal(value, bs_chirp_rate); break;
        case 27: readInt(value, bs_fft_len); break;
        case 28: readReal(value, bg_score); break;
        case 29: readReal(value, bg_sigma); break;
        case 30: readReal(value, bg_power); break;
        case 31: readReal(value, bg_true_mean); break;
        case 32: readReal(value, bg_chisq); break;
        case 33: readInt(value, bg_bin); break;
        case 34: readInt(value, bg_fft_ind); break;
        case 35: readReal(value, bg_chirp_rate); break;
        case 36: readInt(value, bg_fft_len); break;
        default: return false;  // the date-times 0, 1, 9 and indexes outside the table
    }
    return true;
}

namespace {

int selectedField = 0;

// Numeric order with NaN after every number, so a stray NaN cannot break the sort's
// ordering contract.
inline bool lessReal(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

inline bool lessTime(const ATime& a, const ATime& b) {
    return lessReal(a.julianDate(), b.julianDate());
}

}  // namespace

void setSortField(int declarationNumber) { selectedField = declarationNumber; }

int sortField() { return selectedField; }

bool lessByField(const WorkUnit& a, const WorkUnit& b) {
    switch (selectedField) {
        case 0: return lessTime(a.Update, b.Update);
        case 1: return lessTime(a.TimeStamp, b.TimeStamp);
        case 2: return a.name < b.name;
        case 3: return a.version < b.version;
        case 4: return a.splitter_version < b.splitter_version;
        case 5: return lessReal(a.start_ra, b.start_ra);
        case 6: return lessReal(a.end_ra, b.end_ra);
        case 7: return lessReal(a.start_dec, b.start_dec);
        case 8: return lessReal(a.end_dec, b.end_dec);
        case 9: return lessTime(a.time_recorded, b.time_recorded);
        case 10: return a.nsamples < b.nsamples;
        case 11: return lessReal(a.subband_sample_rate, b.subband_sample_rate);
        case 12: return lessReal(a.subband_base, b.subband_base);
        case 13: return lessReal(a.subband_center, b.subband_center);
        case 14: return lessReal(a.angle_range, b.angle_range);
        case 15: return a.fft_len < b.fft_len;
        case 16: return a.ifft_len < b.ifft_len;
        case 17: return a.subband_number < b.subband_number;
        case 18: return a.receiver < b.receiver;
        case 19: return a.tape_version < b.tape_version;
        case 20: return lessReal(a.cpu, b.cpu);
        case 21: return lessReal(a.prog, b.prog);
        case 22: return lessReal(a.bs_score, b.bs_score);
        case 23: return lessReal(a.bs_power, b.bs_power);
        case 24: return lessReal(a.bs_chirp_rate, b.bs_chirp_rate);
        case 25: return a.bs_bin < b.bs_bin;
        case 26: return a.bs_fft_ind < b.bs_fft_ind;
        case 27: return a.bs_fft_len < b.bs_fft_len;
        case 28: return lessReal(a.bg_score, b.bg_score);
        case 29: return lessReal(a.bg_power, b.bg_power);
        case 30: return lessReal(a.bg_chisq, b.bg_chisq);
        case 31: return lessReal(a.bg_sigma, b.bg_sigma);
        case 32: return lessReal(a.bg_true_mean, b.bg_true_mean);
        case 33: return a.bg_bin < b.bg_bin;
        case 34: return a.bg_fft_ind < b.bg_fft_ind;
        case 35: return a.bg_fft_len < b.bg_fft_len;
        case 36: return lessReal(a.bg_chirp_rate, b.bg_chirp_rate);
        default: return false;  // no such field: every record compares equal
    }
}
