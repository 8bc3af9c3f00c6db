// The work-unit record: its field table and key lookup, the merge rule, value storing by field
// index, and ordering by the process-wide sort field.
#include "record/WorkUnit.h"

#include <cmath>

#include "record/Numbers.h"
#include "record/WorkUnitFields.h"

namespace {

constexpr auto RecordKeys = fieldKeys<WorkUnitFieldCount>(false, [](int) { return false; });
static_assert(uniqueKeys(RecordKeys));

}  // namespace

int fieldIndex(std::string_view key) { return findKey(RecordKeys, key); }

std::string_view fieldKey(int index) { return WorkUnitFields[static_cast<std::size_t>(index)].key; }

void WorkUnit::clear() { *this = WorkUnit(); }

void WorkUnit::setDefaultReceiverAndTape() {
    // Held as strings: assigning the literals trips a false -Wrestrict warning in GCC 12 at -O2.
    static const std::string Receiver = "ao1420";
    static const std::string TapeVersion = "?";
    receiver = Receiver;
    tape_version = TapeVersion;
}

bool WorkUnit::hasGaussian() const { return !name.empty() && bg_chisq != 0.0 && bg_score != 0.0; }

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
    if (index < 0 || index >= WorkUnitFieldCount) return false;
    const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(index)];
    switch (def.kind) {
        case FieldKind::DateTime: return false;  // each format reads its date-times its own way
        case FieldKind::Text: assignText(this->*def.text, value); break;
        case FieldKind::Int: readInt(value, this->*def.integer); break;
        case FieldKind::Hex: readHex(value, this->*def.integer); break;
        case FieldKind::Real: readReal(value, this->*def.real); break;
        case FieldKind::Power:
            readReal(value, bg_pot[static_cast<std::size_t>(index - FieldIndex::FirstPower)]);
            break;
    }
    return true;
}

namespace {

int selectedField = 0;

inline bool lessReal(double a, double b) { return lessNumber(a, b); }

inline bool lessTime(const ATime& a, const ATime& b) {
    return lessReal(a.julianDate(), b.julianDate());
}

}  // namespace

// NaN after every number, so a stray NaN cannot break the sort's ordering contract.
bool lessNumber(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

void setSortField(int declarationNumber) { selectedField = declarationNumber; }

int sortField() { return selectedField; }

bool lessByField(const WorkUnit& a, const WorkUnit& b) {
    // No such field: every record compares equal.
    if (selectedField < 0 || selectedField >= DeclarationCount) return false;
    const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(
        FieldByDeclaration[static_cast<std::size_t>(selectedField)])];
    switch (def.kind) {
        case FieldKind::DateTime: return lessTime(a.*def.time, b.*def.time);
        case FieldKind::Text: return a.*def.text < b.*def.text;
        case FieldKind::Int:
        case FieldKind::Hex: return a.*def.integer < b.*def.integer;
        case FieldKind::Real: return lessReal(a.*def.real, b.*def.real);
        case FieldKind::Power: break;
    }
    return false;
}
