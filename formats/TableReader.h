// The walk that every exported table shares (I4WU and SETILog exports, WUInfo.csv): header
// rows that name the columns, data rows cut into cells, and empty lines. A reader derives
// from TableReader<itself> and gives its column titles and what a row and a cell mean.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "record/WorkUnit.h"
#include "store/Batches.h"
#include "store/WorkUnitList.h"
#include "text/KeyTable.h"
#include "text/TextFiles.h"

template <class Table>
class TableReader {
public:
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    WorkUnit record;  // the row the last readRecord produced
    // Field index of each column of the current header, -1 for a title the table does not
    // write. Starts as 0 to 100, so a file without a header row is read in field order; it is
    // replaced by every header row and kept across open and close.
    std::vector<int> columns;

    // Closes any open file, then takes a table's bytes held in memory. Always true.
    bool openBytes(std::string bytes) {
        close();
        return file_.openBytes(std::move(bytes));
    }
    bool isOpen() const { return file_.isOpen(); }
    // True once a read of the open file failed partway: the rows given so far are not all.
    bool failed() const { return file_.failed(); }
    // Reads up to the next data row into `record`, taking any header rows before it as the
    // new column order. An empty line gives an empty record, which the store refuses. False
    // at the end of the file or when no file is open.
    bool readRecord() {
        Table& table = static_cast<Table&>(*this);
        for (;;) {
            if (!file_.readLine()) return false;
            if (!file_.line.empty() && file_.atHeaderRow()) {
                columns.clear();
                while (file_.nextField(cell_)) columns.push_back(findKey(Table::Titles, cell_));
                continue;
            }
            break;
        }
        record.clear();
        if (file_.line.empty()) return true;
        table.beginRow();
        for (int column : columns) {
            if (!file_.nextField(cell_)) {
                table.rowEndsBefore(column);
                break;
            }
            table.storeCell(column, cell_);
        }
        return true;
    }
    static constexpr BatchSize DefaultBatch = ReadBatch;
    // Every row left in the open file, handed to take(WorkUnit&) in file order; the column
    // order is kept as readRecord keeps it. The rows are parsed in batches of whole rows under
    // one header, each ended once it holds `size` bytes, on two threads, each batch by a
    // reader of its own; they come out as readRecord gives them. False when a read failed
    // partway (the rows before it are taken).
    template <class Take>
    bool readAllRows(Take take, BatchSize size = DefaultBatch);
    // readAllRows into the store (merging by name). Every reader of a file that holds work
    // units reads it this way: open, then addAllTo.
    bool addAllTo(WorkUnitList& store, BatchSize size = DefaultBatch) {
        return readAllRows([&store](WorkUnit& row) { store.add(std::move(row)); }, size);
    }

    // Closes the file (when one is open) and clears `record`.
    void close() {
        if (file_.isOpen()) {
            file_.close();
            static_cast<Table&>(*this).closed();
        }
        record.clear();
    }

protected:
    TableReader() {
        for (int i = 0; i < WorkUnitFieldCount; ++i) columns.push_back(i);
    }
    ~TableReader() = default;

    // Closes any open file, then opens the path as text. True when it is open.
    bool openFile(const std::string& path) {
        close();
        return file_.open(path);
    }

    // What a reader may leave out: nothing to seed a row with, nothing when a row ends before
    // its last column, nothing to forget when the file closes.
    void beginRow() {}
    void rowEndsBefore(int /*column*/) {}
    void closed() {}
    // A reader whose rows take something from the rows before them (state that runs along
    // the file) gives takeState(record), what a row takes, and followState(later), which takes
    // over the state another reader's rows left; its rows call leaveState() when they leave
    // one of their own. A reader without such state has none of them.
    static constexpr bool CarriesState = false;
    void takeState(WorkUnit& /*record*/) const {}
    void followState(const Table& /*later*/) {}
    void leaveState() { stateLeft_ = true; }

private:
    struct Batch;
    bool fillBatch(Batch& batch, std::size_t bytes);
    void readHeader(std::vector<int>& into);

    CSVFile file_;
    std::string_view cell_;            // a view into the line: cells cost no copy
    std::vector<int> pendingColumns_;  // a header row that ended the last batch
    bool pending_ = false;
    bool stateLeft_ = false;  // a row read by this reader left a state (see leaveState)
};

// A run of data rows under one header, the records made of them, and the reader that made
// them, kept for what the next batch takes from it.
template <class Table>
struct TableReader<Table>::Batch {
    std::string text;  // whole lines, each ended by a line feed
    std::vector<int> columns;
    std::vector<WorkUnit> records;
    CarriedState carried;  // the rows read before the batch's own state
    std::unique_ptr<Table> reader;
};

template <class Table>
void TableReader<Table>::readHeader(std::vector<int>& into) {
    into.clear();
    while (file_.nextField(cell_)) into.push_back(findKey(Table::Titles, cell_));
}

// Header rows set the columns of the rows after them; one after some rows ends the batch, so
// that every batch lies under one header.
template <class Table>
bool TableReader<Table>::fillBatch(Batch& batch, std::size_t bytes) {
    batch.text.clear();
    batch.records.clear();
    if (pending_) {
        columns.swap(pendingColumns_);
        pending_ = false;
    }
    batch.columns = columns;
    while (batch.text.size() < bytes && file_.readLine()) {
        if (!file_.line.empty() && file_.atHeaderRow()) {
            if (batch.text.empty()) {
                readHeader(columns);
                batch.columns = columns;
                continue;
            }
            readHeader(pendingColumns_);
            pending_ = true;
            break;
        }
        batch.text.append(file_.line);
        batch.text += '\n';
    }
    return !batch.text.empty();
}

template <class Table>
template <class Take>
bool TableReader<Table>::readAllRows(Take take, BatchSize size) {
    Table& table = static_cast<Table&>(*this);
    auto parse = [](Batch& batch) {
        batch.reader = std::make_unique<Table>();
        Table& part = *batch.reader;
        TableReader& partBase = part;
        part.columns = batch.columns;
        part.openBytes(batch.text);
        batch.records.reserve(batch.text.size() / 256 + 1);
        batch.carried.clear();
        const auto leftState = [&partBase] { return !Table::CarriesState || partBase.stateLeft_; };
        for (bool left = leftState(); part.readRecord(); left = leftState()) {
            // An empty line gives an empty record without reading a row.
            if (!partBase.file_.line.empty()) batch.carried.note(left, batch.records.size());
            batch.records.push_back(std::move(part.record));
        }
        partBase.file_.close();
    };
    auto takeBatch = [&table, &take](Batch& batch) {
        batch.carried.handOn(batch.records, [&table](WorkUnit& row) { table.takeState(row); });
        for (WorkUnit& row : batch.records) take(row);
        const TableReader& later = *batch.reader;
        if (later.stateLeft_) table.followState(*batch.reader);
        batch.reader.reset();
    };
    readInBatches<Batch>(
        [this, bytes = size.bytes()](Batch& batch) { return fillBatch(batch, bytes); }, parse,
        takeBatch);
    if (pending_) {
        columns.swap(pendingColumns_);
        pending_ = false;
    }
    return !file_.failed();
}
