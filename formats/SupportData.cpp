// Reads and writes the SETI@Support data file "ss_past_data.txt": key=value lines ended by a
// single carriage return, each record opened by a line "!".
#include "formats/SupportData.h"

#include <array>
#include <cmath>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "record/DateText.h"
#include "record/Numbers.h"
#include "record/WorkUnitFields.h"

namespace {

constexpr int TimeStampField = FieldIndex::TimeStamp;
constexpr int TimeRecordedField = FieldIndex::TimeRecorded;
constexpr int PosField = WorkUnitFieldCount;  // not a field index: the reader's own "pos" key

// A full record with every power value is about 2.2 KiB; reserving once per record keeps the
// export to a handful of allocations.
constexpr std::size_t BytesPerRecord = 2400;

// Reads up to six blank-separated integers: hours, minutes and seconds of right ascension,
// then degrees, minutes and seconds of declination. Parts that are missing count as 0; a
// value without a single readable integer changes nothing.
void applyPosition(std::string_view value, WorkUnit& record) {
    int parts[6] = {0, 0, 0, 0, 0, 0};
    int count = 0;
    std::size_t pos = 0;
    while (count < 6) {
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t')) ++pos;
        if (pos == value.size()) break;
        std::size_t end = pos;
        while (end < value.size() && value[end] != ' ' && value[end] != '\t') ++end;
        std::int32_t part = 0;
        if (!readInt(value.substr(pos, end - pos), part)) break;
        parts[count++] = part;
        pos = end;
    }
    if (count == 0) return;
    // Each part keeps its own sign, so "-5 30 0" is -5 + 0.5 = -4.5.
    record.start_ra = parts[0] + parts[1] / 60.0 + parts[2] / 3600.0;
    record.start_dec = parts[3] + parts[4] / 60.0 + parts[5] / 3600.0;
}

// True when the value, printed with six decimals, reads back as other than 0 ("-0.000000"
// reads back as 0 too).
bool printsNonZero(double value) {
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e-6) return true;
    if (magnitude < 1e-7) return false;
    std::string text;
    appendFixed(text, value, 6);
    return text.find_first_of("123456789") != std::string::npos;
}

// The power lines are written only for a gaussian that reads back as full: one whose sigma or
// power values print as zeros would lose its power lines on the next rewrite.
bool printsFullGaussian(const WorkUnit& r) {
    if (!r.hasFullGaussian()) return false;
    if (!printsNonZero(r.bg_chisq) || !printsNonZero(r.bg_score) || !printsNonZero(r.bg_sigma))
        return false;
    for (double value : r.bg_pot) {
        if (printsNonZero(value)) return true;
    }
    return false;
}

void appendLine(std::string& out, std::string_view key, double value) {
    out += key;
    appendFixed(out, value, 6);
    out += '\r';
}

void appendLine(std::string& out, std::string_view key, std::int32_t value) {
    out += key;
    appendInt(out, value);
    out += '\r';
}

// Key of a line to its field index: the record keys without "Update" and "TimeStamp" and
// the power values, "started_time" for TimeStamp, "pos" for a sky position, and the power
// values numbered from 1 as the writer numbers them ("bg_pot 1" is element 0).
constexpr auto LineKeys = [] {
    std::array<KeyEntry, WorkUnitFieldCount> keys{};
    std::size_t n = 0;
    for (int i = 0; i < FieldIndex::FirstPower; ++i) {
        if (i == FieldIndex::Update || i == TimeStampField) continue;
        keys[n++] = {WorkUnitFields[static_cast<std::size_t>(i)].key, i};
    }
    keys[n++] = {"started_time", TimeStampField};
    keys[n++] = {"pos", PosField};
    for (std::size_t i = 0; i < PowerCount; ++i)
        keys[n++] = {SupportPowerKeys[i].view(), FieldIndex::FirstPower + static_cast<int>(i)};
    return sortedKeys(keys);
}();
static_assert(uniqueKeys(LineKeys));

}  // namespace

SSLog::SSLog() { record.clear(); }

SSLog::SSLog(const std::string& path) : SSLog() { open(path); }

bool SSLog::open(const std::string& path) {
    close();
    openTime_.setNow();
    return file_.openBinary(path);
}

bool SSLog::openBytes(std::string bytes) {
    close();
    openTime_.setNow();
    return file_.openBytes(std::move(bytes), false);
}

void SSLog::close() {
    file_.close();
    record.clear();
}

bool SSLog::readRecord() {
    if (!file_.isOpen()) return false;
    record.clear();
    record.Update = openTime_;
    record.setDefaultReceiverAndTape();
    bool seen = false;
    while (file_.readCrLine()) {
        const std::string& key = file_.key;
        const std::string& value = file_.value;
        if (key.empty()) continue;
        if (value.empty()) {
            if (key != "!") continue;
            // The "!" that opens the next record ends this one; the first "!" of the file
            // only opens.
            if (seen) return true;
            seen = true;
            continue;
        }
        seen = true;
        const int index = findKey(LineKeys, key);
        switch (index) {
            case -1: break;
            case TimeStampField: record.TimeStamp.parseUtc(value); break;
            case TimeRecordedField: record.time_recorded.parseUtc(value); break;
            case PosField: applyPosition(value, record); break;
            default: record.setField(index, value); break;
        }
    }
    return seen;
}

void SSExport::writeRecord(std::string& out, const WorkUnit& r) {
    out += "!\r";
    out += "name=";
    // The reader trims the blanks around a value; a name from a quoted table cell may have
    // some, and written as it is it would read back as another work unit.
    out += trimBlanks(std::string_view(r.name));
    out += '\r';
    appendLine(out, "start_ra=", r.start_ra);
    appendLine(out, "start_dec=", r.start_dec);
    appendLine(out, "end_ra=", r.end_ra);
    appendLine(out, "end_dec=", r.end_dec);
    appendLine(out, "subband_base=", r.subband_base);

    out += "time_recorded=(";
    appendDateTime(out, r.time_recorded);
    out += ")\r";

    appendLine(out, "bs_power=", r.bs_power);
    appendLine(out, "bs_score=", r.bs_score);
    appendLine(out, "bs_bin=", r.bs_bin);
    appendLine(out, "bs_fft_ind=", r.bs_fft_ind);
    appendLine(out, "bs_chirp_rate=", r.bs_chirp_rate);
    appendLine(out, "bs_fft_len=", r.bs_fft_len);
    appendLine(out, "bg_power=", r.bg_power);
    appendLine(out, "bg_chisq=", r.bg_chisq);
    appendLine(out, "bg_score=", r.bg_score);
    appendLine(out, "bg_true_mean=", r.bg_true_mean);
    appendLine(out, "bg_sigma=", r.bg_sigma);
    appendLine(out, "bg_bin=", r.bg_bin);
    appendLine(out, "bg_fft_ind=", r.bg_fft_ind);
    appendLine(out, "bg_chirp_rate=", r.bg_chirp_rate);
    appendLine(out, "bg_fft_len=", r.bg_fft_len);
    appendLine(out, "prog=", r.prog);
    appendLine(out, "cpu=", r.cpu);

    const ATime& started = printedFields(r.TimeStamp);
    out += "started_time=";
    appendPadded(out, started.day, 2);
    out += '/';
    appendPadded(out, started.month, 2);
    out += '/';
    appendInt(out, started.year);
    out += ':';
    appendPadded(out, started.hour, 2);
    out += ':';
    appendPadded(out, started.minute, 2);
    out += ':';
    appendPadded(out, started.second, 2);
    out += '\r';

    if (printsFullGaussian(r)) {
        for (int i = 0; i < 64; ++i) {
            out += "bg_pot ";
            appendInt(out, i + 1);
            out += '=';
            appendFixed(out, r.bg_pot[static_cast<std::size_t>(i)], 6);
            out += '\r';
        }
    }
    out += '\r';
}

bool SSExport::exportAll(const std::string& path, const WorkUnitList& store) {
    std::string bytes;
    bytes.reserve(store.size() * BytesPerRecord);
    for (const WorkUnit& record : store) writeRecord(bytes, record);
    return platform::replaceFileContents(path, bytes);
}

bool SSExport::appendRecord(const std::string& path, const WorkUnit& record) {
    std::string bytes;
    bytes.reserve(BytesPerRecord);
    writeRecord(bytes, record);
    return platform::appendFileContents(path, bytes);
}
