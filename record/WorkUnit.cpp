// The work-unit record: its field table and key lookup, the merge rule, value storing by field
// index, and ordering by one field.
#include "record/WorkUnit.h"

#include "record/WorkUnitFields.h"
#include "text/Numbers.h"

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

    const auto copy = [](auto& to, const auto& from) { to = from; };
    forGroup<FieldGroup::Progress>(*this, source, copy);
    // A gaussian already found is not thrown away for a reading that has none.
    if (hasGaussian() && !source.hasGaussian()) return true;
    forGroup<FieldGroup::Gaussian>(*this, source, copy);
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
        case FieldKind::Time: return false;  // each format reads its date-times its own way
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

bool lessValue(const ATime& a, const ATime& b) {
    return lessNumber(a.julianDate(), b.julianDate());
}
bool lessValue(const std::string& a, const std::string& b) { return a < b; }
bool lessValue(std::int32_t a, std::int32_t b) { return a < b; }
bool lessValue(double a, double b) { return lessNumber(a, b); }

}  // namespace

bool lessByField(const WorkUnit& a, const WorkUnit& b, int declarationNumber) {
    if (declarationNumber < 0 || declarationNumber >= DeclarationCount) return false;
    return onField(FieldByDeclaration[static_cast<std::size_t>(declarationNumber)], a, b,
                   [](const auto& x, const auto& y) { return lessValue(x, y); });
}
