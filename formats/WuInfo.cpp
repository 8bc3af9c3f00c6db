// Writes the whole record store as WUInfo.csv and reads such tables back into the store.
#include "formats/WuInfo.h"

#include <cstdint>
#include <string_view>
#include <utility>

#include "platform/platform.h"
#include "record/Numbers.h"
#include "record/TextFiles.h"

namespace {

constexpr int UpdateField = 0;
constexpr int TimeStampField = 1;
constexpr int TimeRecordedField = 9;

// The file is a Windows text file on every OS. No field can hold a line feed (every reader
// ends its lines there), so writing CR LF directly equals text-mode output without a second
// copy of a file that can run to hundreds of megabytes.
constexpr std::string_view LineEnd = "\r\n";

// 101 fields of up to ~18 characters each: reserving once per row keeps writing a store of
// thousands of work units to a few allocations.
constexpr std::size_t BytesPerRow = 1600;

// A text between double quotes, as it is, except for the bytes that would not read back as
// this one cell: a double quote inside would end the quotes, so a comma after it splits the
// cell and the row's later fields go astray; a NUL ends its row; byte 26 ends the whole file
// in text mode. A text that came in holding one (from a support data file or a result file)
// would otherwise cost every field after it, or every row after it, on the next run.
void appendQuoted(std::string& out, std::string_view text) {
    static constexpr std::string_view Dropped("\"\0\x1a", 3);
    out += '"';
    for (std::size_t cut = text.find_first_of(Dropped); cut != std::string_view::npos;
         cut = text.find_first_of(Dropped)) {
        out.append(text.substr(0, cut));
        text.remove_prefix(cut + 1);
    }
    out.append(text);
    out += '"';
}

// The title row: every key in quotes, in field order.
const std::string& headerLine() {
    static const std::string line = [] {
        std::string text;
        for (int i = 0; i < WorkUnitFieldCount; ++i) {
            if (i > 0) text += ',';
            appendQuoted(text, WorkUnitFieldNames[i]);
        }
        text += LineEnd;
        return text;
    }();
    return line;
}

// Empty when unset, so an unset date-time reads back unset.
void appendJulian(std::string& out, const ATime& value, int decimals) {
    if (value.isSet()) appendFixed(out, value.julianDate(), decimals);
}

// "0x" and lower-case hex digits of the 32-bit pattern; 0 prints as "0x0".
void appendHex(std::string& out, std::int32_t value) {
    static const char digits[] = "0123456789abcdef";
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    char buffer[8];
    int n = 0;
    do {
        buffer[n++] = digits[bits & 0xF];
        bits >>= 4;
    } while (bits != 0);
    out += "0x";
    while (n > 0) out += buffer[--n];
}

void appendRow(std::string& out, const WorkUnit& r) {
    auto comma = [&out] { out += ','; };
    appendJulian(out, r.Update, 6);
    comma();
    appendJulian(out, r.TimeStamp, 6);
    comma();
    appendInt(out, r.version);
    comma();
    appendQuoted(out, r.name);
    comma();
    appendHex(out, r.splitter_version);
    for (double v : {r.start_ra, r.start_dec, r.end_ra, r.end_dec}) {
        comma();
        appendFixed(out, v, 6);
    }
    comma();
    appendJulian(out, r.time_recorded, 5);
    for (double v : {r.subband_center, r.subband_base, r.subband_sample_rate}) {
        comma();
        appendFixed(out, v, 6);
    }
    comma();
    appendInt(out, r.nsamples);
    comma();
    appendFixed(out, r.angle_range, 6);
    for (std::int32_t v : {r.fft_len, r.ifft_len, r.subband_number}) {
        comma();
        appendInt(out, v);
    }
    comma();
    appendQuoted(out, r.receiver);
    comma();
    appendQuoted(out, r.tape_version);
    for (double v : {r.cpu, r.prog, r.bs_power, r.bs_score}) {
        comma();
        appendFixed(out, v, 6);
    }
    for (std::int32_t v : {r.bs_bin, r.bs_fft_ind}) {
        comma();
        appendInt(out, v);
    }
    comma();
    appendFixed(out, r.bs_chirp_rate, 6);
    comma();
    appendInt(out, r.bs_fft_len);
    for (double v : {r.bg_score, r.bg_sigma, r.bg_power, r.bg_true_mean, r.bg_chisq}) {
        comma();
        appendFixed(out, v, 6);
    }
    for (std::int32_t v : {r.bg_bin, r.bg_fft_ind}) {
        comma();
        appendInt(out, v);
    }
    comma();
    appendFixed(out, r.bg_chirp_rate, 6);
    comma();
    appendInt(out, r.bg_fft_len);
    for (double v : r.bg_pot) {
        comma();
        appendFixed(out, v, 6);
    }
    out += LineEnd;
}

void readHeader(CSVFile& file, WorkUnitList& store) {
    store.columns.clear();
    std::string field;
    while (file.nextField(field)) store.columns.push_back(store.fieldIndex(field));
}

void readRow(CSVFile& file, WorkUnitList& store) {
    WorkUnit& record = store.working;
    record.clear();
    std::string field;
    for (int index : store.columns) {
        if (!file.nextField(field)) break;
        if (index == UpdateField || index == TimeStampField || index == TimeRecordedField) {
            // An empty or unreadable field gives 0.0, which leaves the date-time unset.
            double jd = 0.0;
            readReal(field, jd);
            ATime& target = index == UpdateField      ? record.Update
                            : index == TimeStampField ? record.TimeStamp
                                                      : record.time_recorded;
            target.setJulian(jd);
        } else if (index >= 0 && index < WorkUnitFieldCount) {
            // The record was just cleared, so an unreadable number stays at its default 0.
            record.setField(index, field);
        }
    }
    store.add(record);
}

// Every line of an open table into the store.
void readLines(CSVFile& file, WorkUnitList& store) {
    while (file.readLine()) {
        if (file.line.empty()) continue;
        if (file.atHeaderRow()) readHeader(file, store);
        else readRow(file, store);
    }
}

}  // namespace

bool writeWuInfo(const WorkUnitList& store, const std::string& path) {
    return platform::replaceFileContents(path, wuInfoBytes(store));
}

std::string wuInfoBytes(const WorkUnitList& store) {
    std::string text;
    text.reserve((store.size() + 1) * BytesPerRow);
    text += headerLine();
    for (const WorkUnit& record : store) appendRow(text, record);
    return text;
}

bool readWuInfo(WorkUnitList& store, const std::string& path) {
    CSVFile file;
    if (!file.open(path)) return false;
    readLines(file, store);
    return true;
}

void readWuInfoBytes(WorkUnitList& store, std::string bytes) {
    CSVFile file;
    file.openBytes(std::move(bytes));
    readLines(file, store);
}
