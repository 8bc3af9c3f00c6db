// Writes the whole record store as WUInfo.csv and reads such tables back into the store.
#include "formats/WuInfo.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/BatchReader.h"
#include "formats/StoreWriter.h"
#include "formats/TableReader.h"
#include "platform/platform.h"
#include "record/Numbers.h"
#include "record/TextFiles.h"
#include "record/WorkUnitFields.h"

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
            appendQuoted(text, fieldKey(i));
        }
        text += LineEnd;
        return text;
    }();
    return line;
}

// Empty when unset, so an unset date-time reads back unset.
void appendJulian(std::string& out, const ATime& value, int decimals) {
    const double jd = value.julianDate();
    if (ATime::isSetJulian(jd)) appendFixed(out, jd, decimals);
}

void appendRow(std::string& out, const WorkUnit& r) {
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        if (i > 0) out += ',';
        const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(i)];
        switch (def.kind) {
            // The recording time is kept to five decimals, the two times of the log to six.
            case FieldKind::DateTime:
                appendJulian(out, r.*def.time, i == FieldIndex::TimeRecorded ? 5 : 6);
                break;
            case FieldKind::Text: appendQuoted(out, r.*def.text); break;
            case FieldKind::Int: appendInt(out, r.*def.integer); break;
            case FieldKind::Hex: appendHex(out, r.*def.integer); break;
            case FieldKind::Real: appendFixed(out, r.*def.real, 6); break;
            case FieldKind::Power:
                appendFixed(out, r.bg_pot[static_cast<std::size_t>(i - FieldIndex::FirstPower)], 6);
                break;
        }
    }
    out += LineEnd;
}

constexpr auto ColumnTitles = fieldKeys<WorkUnitFieldCount>(false, [](int) { return false; });
static_assert(uniqueKeys(ColumnTitles));

// The table's reader: the record's own keys as column titles, Julian Dates for date-times.
class WuInfoTable : public TableReader<WuInfoTable> {
public:
    bool open(const std::string& path) { return openFile(path); }

private:
    friend class TableReader<WuInfoTable>;
    static constexpr KeyTable Titles = ColumnTitles;

    void storeCell(int column, std::string_view cell) {
        if (column < 0) return;
        const FieldDef& def = WorkUnitFields[static_cast<std::size_t>(column)];
        if (def.kind == FieldKind::DateTime) {
            // An empty or unreadable cell gives 0.0, which leaves the date-time unset.
            double jd = 0.0;
            readReal(cell, jd);
            (record.*def.time).setJulian(jd);
        } else {
            // The record was just cleared, so an unreadable number stays at its default 0.
            record.setField(column, cell);
        }
    }
};

// Every row of an open table into the store. The column order carries over from one table
// to the next, as the store keeps it. False when a read failed partway.
bool readRows(WuInfoTable& table, WorkUnitList& store) {
    table.columns = store.columns;
    while (table.readRecord()) store.add(std::move(table.record));
    store.columns = table.columns;
    return !table.failed();
}

// A run of data rows of the table, all under one header, and the records made of them.
struct RowBatch {
    std::string text;  // whole lines, each ended by a line feed
    std::vector<int> columns;
    std::vector<WorkUnit> records;
};

// About a quarter of a megabyte of rows a batch: a few hundred rows, each batch's records
// a few hundred kilobytes.
constexpr std::size_t BatchBytes = 256 * 1024;

// Cuts an open table into batches: header rows set the columns of the rows after them, and a
// header after some rows ends the batch, so every batch lies under one header.
class RowBatcher {
public:
    RowBatcher(CSVFile& file, std::vector<int> columns)
        : file_(file), columns_(std::move(columns)) {}

    bool fill(RowBatch& batch) {
        batch.text.clear();
        batch.records.clear();
        if (pending_) {
            columns_.swap(pendingColumns_);
            pending_ = false;
        }
        batch.columns = columns_;
        while (batch.text.size() < BatchBytes && file_.readLine()) {
            if (!file_.line.empty() && file_.atHeaderRow()) {
                std::vector<int>& target = batch.text.empty() ? columns_ : pendingColumns_;
                readHeader(target);
                if (batch.text.empty()) {
                    batch.columns = columns_;
                    continue;
                }
                pending_ = true;
                break;
            }
            batch.text.append(file_.line);
            batch.text += '\n';
        }
        return !batch.text.empty();
    }

    // The header in force after the last row: the table's column order from here on.
    std::vector<int> columns() {
        if (pending_) columns_.swap(pendingColumns_);
        pending_ = false;
        return columns_;
    }

private:
    void readHeader(std::vector<int>& columns) {
        columns.clear();
        std::string_view cell;
        while (file_.nextField(cell)) columns.push_back(findKey(ColumnTitles, cell));
    }

    CSVFile& file_;
    std::vector<int> columns_;
    std::vector<int> pendingColumns_;  // a header row that ended the last batch
    bool pending_ = false;
};

// The rows of a batch as the table reader reads them, each row on its own.
void parseBatch(RowBatch& batch) {
    WuInfoTable table;
    table.columns = batch.columns;
    table.openBytes(batch.text);
    batch.records.reserve(batch.text.size() / 256 + 1);
    while (table.readRecord()) batch.records.push_back(std::move(table.record));
}

}  // namespace

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

bool readWuInfo(WorkUnitList& store, const std::string& path) {
    // Read in batches parsed on two threads; the store takes them in file order, so it ends
    // as after reading row by row.
    CSVFile file;
    if (!file.open(path)) return false;
    RowBatcher batcher(file, store.columns);
    readInBatches<RowBatch>([&batcher](RowBatch& batch) { return batcher.fill(batch); }, parseBatch,
                            [&store](RowBatch& batch) {
                                for (WorkUnit& record : batch.records) store.add(std::move(record));
                            });
    store.columns = batcher.columns();
    return !file.failed();
}

void readWuInfoBytes(WorkUnitList& store, std::string bytes) {
    WuInfoTable table;
    table.openBytes(std::move(bytes));
    readRows(table, store);
}
