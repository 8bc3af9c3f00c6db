// The walk that every exported table shares (I4WU and SETILog exports, WUInfo.csv): header
// rows that name the columns, data rows cut into cells, and empty lines. A reader derives
// from TableReader<itself> and gives its column titles and what a row and a cell mean.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "record/KeyTable.h"
#include "record/TextFiles.h"
#include "record/WorkUnit.h"

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

private:
    CSVFile file_;
    std::string_view cell_;  // a view into the line: cells cost no copy
};
