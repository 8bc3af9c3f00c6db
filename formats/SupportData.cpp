// Reads and writes the SETI@Support data file "ss_past_data.txt": key=value lines ended by a
// single carriage return, each record opened by a line "!".
#include "formats/SupportData.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/StoreWriter.h"
#include "platform/platform.h"
#include "record/DateText.h"
#include "record/WorkUnitFields.h"
#include "store/Batches.h"
#include "text/Numbers.h"

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

// The arrival time's key: the file's own name for TimeStamp.
constexpr std::string_view StartedTimeKey = "started_time";

// The fields a record writes, one "key=value" line each, in the file's order; a full
// gaussian's power values follow them.
constexpr std::array<int, 25> WrittenFields = {
    fieldOf("name"),          fieldOf("start_ra"),     fieldOf("start_dec"),
    fieldOf("end_ra"),        fieldOf("end_dec"),      fieldOf("subband_base"),
    fieldOf("time_recorded"), fieldOf("bs_power"),     fieldOf("bs_score"),
    fieldOf("bs_bin"),        fieldOf("bs_fft_ind"),   fieldOf("bs_chirp_rate"),
    fieldOf("bs_fft_len"),    fieldOf("bg_power"),     fieldOf("bg_chisq"),
    fieldOf("bg_score"),      fieldOf("bg_true_mean"), fieldOf("bg_sigma"),
    fieldOf("bg_bin"),        fieldOf("bg_fft_ind"),   fieldOf("bg_chirp_rate"),
    fieldOf("bg_fft_len"),    fieldOf("prog"),         fieldOf("cpu"),
    FieldIndex::TimeStamp,
};
static_assert(std::all_of(WrittenFields.begin(), WrittenFields.end(), [](int index) {
    if (index < 0) return false;
    const FieldKind kind = WorkUnitFields[static_cast<std::size_t>(index)].kind;
    return kind != FieldKind::Hex && kind != FieldKind::Power;
}));

void appendLine(std::string& out, const WorkUnit& r, int index) {
    const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(index)];
    switch (def.kind) {
        case FieldKind::Text:
            // The reader trims the blanks around a value; a name from a quoted table cell may
            // have some, and written as it is it would read back as another work unit.
            out += def.key;
            out += '=';
            out += trimBlanks(std::string_view(r.*def.text));
            break;
        case FieldKind::Time:
            if (index == FieldIndex::TimeRecorded) {
                out += "time_recorded=(";
                appendDateTime(out, r.*def.time);
                out += ')';
            } else {
                out += StartedTimeKey;
                out += '=';
                appendDateFields(out, r.*def.time, "d/m/Y:H:M:S");
            }
            break;
        case FieldKind::Int:
            out += def.key;
            out += '=';
            appendInt(out, r.*def.integer);
            break;
        case FieldKind::Real:
            out += def.key;
            out += '=';
            appendFixed(out, r.*def.real, 6);
            break;
        case FieldKind::Hex:
        case FieldKind::Power: break;  // none written: see WrittenFields
    }
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
    keys[n++] = {StartedTimeKey, TimeStampField};
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
    return file_.open(path, false);
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

namespace {

// The line that opens a record: the reader ends a record at it, and a file is cut into batches
// just before it.
constexpr std::string_view OpenerLine = "!";

}  // namespace

bool SSLog::readRecord() {
    if (!file_.isOpen()) return false;
    record.clear();
    record.Update = openTime_;
    record.setDefaultReceiverAndTape();
    bool seen = false;
    std::string_view line;
    for (std::size_t place = 0; file_.readCrLine(line); ++place) {
        std::string_view key;
        std::string_view value;
        INIFile::splitKeyValue(line, key, value);
        if (key.empty()) continue;
        if (value.empty()) {
            if (key != OpenerLine) continue;
            // The "!" that opens the next record ends this one; the first "!" of the file
            // only opens.
            if (seen) return true;
            seen = true;
            continue;
        }
        seen = true;
        const int index = keys_.find(LineKeys, key, place);
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

namespace {

// A run of whole records of the file, and the records made of them.
struct RecordBatch {
    std::string text;  // lines, each ended by a carriage return
    std::vector<WorkUnit> records;
};

// Where a record may be cut from the one before it: before the last line that is OpenerLine alone
// (it opens a record) and starts at `from` or later, found without splitting lines; 0 when
// there is none. The text is looked at forward up to its last byte but one, and `from` moved
// there: whether a "!" at the last byte stands alone depends on the byte after it.
std::size_t lastOpener(std::string_view text, std::size_t& from) {
    const auto endsLine = [](char c) { return c == '\r' || c == '\n'; };
    std::size_t last = 0;
    for (std::size_t at = std::max<std::size_t>(from, 1); at + 1 < text.size(); ++at) {
        static_assert(OpenerLine.size() == 1);
        const void* found = std::memchr(text.data() + at, OpenerLine[0], text.size() - 1 - at);
        if (found == nullptr) break;
        at = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        if (endsLine(text[at - 1]) && endsLine(text[at + 1])) last = at;
    }
    from = std::max(from, text.empty() ? 0 : text.size() - 1);
    return last;
}

}  // namespace

bool SSLog::addAllTo(WorkUnitList& store, BatchSize batchSize) {
    // Read from a line "!" on, each record reads as in the whole file. (Two "!" in a row
    // across a cut give a record without a name between them, which the store refuses, as
    // the whole file gives none.) A file without such lines is one piece.
    auto read = [this](std::string& text, std::size_t bytes) {
        return file_.readBytes(text, bytes);
    };
    auto parse = [this](RecordBatch& batch) {
        batch.records.clear();
        SSLog part;
        part.file_.openBytes(batch.text, false);
        part.openTime_ = openTime_;  // every record of the file gets the same Update
        batch.records.reserve(batch.text.size() / 1024 + 1);
        while (part.readRecord()) batch.records.push_back(std::move(part.record));
    };
    auto take = [&store](RecordBatch& batch) {
        for (WorkUnit& each : batch.records) store.add(std::move(each));
    };
    readCutInBatches<RecordBatch>(batchSize, read, lastOpener, parse, take);
    return !file_.failed();
}

void SSExport::writeRecord(std::string& out, const WorkUnit& r) {
    out += "!\r";
    for (int index : WrittenFields) appendLine(out, r, index);
    if (printsFullGaussian(r)) {
        // The power lines are most of a record: put together on the stack, a few lines at a
        // time, and appended in a few pieces.
        char lines[4096];
        char* p = lines;
        for (std::size_t i = 0; i < PowerCount; ++i) {
            const std::string_view key = SupportPowerKeys[i].view();
            if (static_cast<std::size_t>(lines + sizeof lines - p) < key.size() + FixedRoom + 2) {
                out.append(lines, p);
                p = lines;
            }
            p = std::copy(key.begin(), key.end(), p);
            *p++ = '=';
            p = writeFixed(p, r.bg_pot[i], 6);
            *p++ = '\r';
        }
        out.append(lines, p);
    }
    out += '\r';
}

bool SSExport::exportAll(const std::string& path, const WorkUnitList& store) {
    return writeStore(path, store, {}, BytesPerRecord, writeRecord);
}

std::string SSExport::exportBytes(const WorkUnitList& store, BatchSize batch) {
    std::string bytes;
    writeRecordsInBatches(
        store, BytesPerRecord, writeRecord,
        [&bytes](std::string_view part) {
            bytes += part;
            return true;
        },
        batch);
    return bytes;
}

bool SSExport::appendRecord(const std::string& path, const WorkUnit& record) {
    std::string bytes;
    bytes.reserve(BytesPerRecord);
    writeRecord(bytes, record);
    return platform::appendFileContents(path, bytes);
}
