// Writes the whole record store as WUInfo.csv and reads such tables back into the store.
#include "formats/WuInfo.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/StoreWriter.h"
#include "formats/TableReader.h"
#include "platform/platform.h"
#include "record/WorkUnitFields.h"
#include "text/Numbers.h"
#include "text/TextFiles.h"

namespace {

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
// would otherwise cost every field after it, or every row after it, on the next run. Written
// at `p`, which has room for the text and its quotes; returns the end.
char* writeQuoted(char* p, std::string_view text) {
    *p++ = '"';
    for (char c : text) {
        *p = c;
        p += c != '"' && c != '\0' && c != '\x1a';
    }
    *p++ = '"';
    return p;
}

// writeQuoted for a text of any length.
void appendQuoted(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out.resize(start + text.size() + 2);
    out.resize(static_cast<std::size_t>(writeQuoted(out.data() + start, text) - out.data()));
}

// The title row: every key in quotes, in field order.
const std::string& headerLine() {
    static const std::string line = [] {
        std::string text;
        for (int i = 0; i < WorkUnitFieldCount; ++i) {
            if (i > 0) text += ',';
            appendQuoted(text, fieldKey(i));
        }
        text += LineEnd;
        return text;
    }();
    return line;
}

// A row is put together in a buffer on the stack and appended whole: one append a row
// instead of two a field. A field is written only where a whole number of any size fits.
constexpr std::size_t RowRoom = 4096;

// Empty when unset, so an unset date-time reads back unset.
char* writeJulian(char* p, const ATime& value, int decimals) {
    const double jd = value.julianDate();
    return ATime::isSetJulian(jd) ? writeFixed(p, jd, decimals) : p;
}

void appendRow(std::string& out, const WorkUnit& r) {
    char row[RowRoom];
    char* p = row;
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        if (static_cast<std::size_t>(row + RowRoom - p) < FixedRoom + 1) {
            out.append(row, p);
            p = row;
        }
        if (i > 0) *p++ = ',';
        const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(i)];
        switch (def.kind) {
            // The recording time is kept to five decimals, the two times of the log to six.
            case FieldKind::Time:
                p = writeJulian(p, r.*def.time, i == FieldIndex::TimeRecorded ? 5 : 6);
                break;
            case FieldKind::Text: {
                // A text can be of any length: one that does not fit goes out on its own.
                const std::string& text = r.*def.text;
                if (text.size() + 2 + FixedRoom < static_cast<std::size_t>(row + RowRoom - p)) {
                    p = writeQuoted(p, text);
                } else {
                    out.append(row, p);
                    p = row;
                    appendQuoted(out, text);
                }
                break;
            }
            case FieldKind::Int: p = writeInt(p, r.*def.integer); break;
            case FieldKind::Hex: p = writeHex(p, r.*def.integer); break;
            case FieldKind::Real: p = writeFixed(p, r.*def.real, 6); break;
            case FieldKind::Power:
                p = writeFixed(p, r.bg_pot[static_cast<std::size_t>(i - FieldIndex::FirstPower)],
                               6);
                break;
        }
    }
    p = std::copy(LineEnd.begin(), LineEnd.end(), p);
    out.append(row, p);
}

constexpr auto ColumnTitles = fieldKeys<WorkUnitFieldCount>(false, [](int) { return false; });
static_assert(uniqueKeys(ColumnTitles));

}  // namespace

const KeyTable WuInfoReader::Titles = ColumnTitles;

void WuInfoReader::storeCell(int column, std::string_view cell) {
    if (column < 0) return;
    const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(column)];
    if (def.kind == FieldKind::Time) {
        // An empty or unreadable cell gives 0.0, which leaves the date-time unset.
        double jd = 0.0;
        readReal(cell, jd);
        (record.*def.time).setJulian(jd);
    } else {
        // The record was just cleared, so an unreadable number stays at its default 0.
        record.setField(column, cell);
    }
}

bool WuInfoReader::addAllTo(WorkUnitList& store, BatchSize size) {
    columns = store.columns;
    const bool whole = TableReader::addAllTo(store, size);
    store.columns = columns;
    return whole;
}

bool WuInfoReader::addEachTo(WorkUnitList& store) {
    columns = store.columns;
    while (readRecord()) store.add(std::move(record));
    store.columns = columns;
    return !failed();
}

bool writeWuInfo(const WorkUnitList& store, const std::string& path) {
    return writeStore(path, store, headerLine(), BytesPerRow, appendRow);
}

std::string wuInfoBytes(const WorkUnitList& store) {
    std::string text;
    text.reserve((store.size() + 1) * BytesPerRow);
    text += headerLine();
    for (const WorkUnit& record : store) appendRow(text, record);
    return text;
}

std::string wuInfoBytes(const WorkUnitList& store, BatchSize batch) {
    std::string text = headerLine();
    writeRecordsInBatches(
        store, BytesPerRow, appendRow,
        [&text](std::string_view part) {
            text += part;
            return true;
        },
        batch);
    return text;
}

bool readWuInfo(WorkUnitList& store, const std::string& path) {
    WuInfoReader table;
    return table.open(path) && table.addAllTo(store);
}

void readWuInfoBytes(WorkUnitList& store, std::string bytes) {
    WuInfoReader table;
    table.openBytes(std::move(bytes));
    table.addEachTo(store);
}

void readWuInfoBytes(WorkUnitList& store, std::string bytes, BatchSize batch) {
    WuInfoReader table;
    table.openBytes(std::move(bytes));
    table.addAllTo(store, batch);
}
