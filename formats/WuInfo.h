// WUInfo.csv: the whole store as one comma-separated table, every field in a column.
#pragma once

#include <string>

#include "formats/TableReader.h"
#include "store/Batches.h"
#include "store/WorkUnitList.h"

// The table's reader: the record's own keys as column titles, Julian Dates for date-times.
class WuInfoReader : public TableReader<WuInfoReader> {
public:
    ~WuInfoReader() { close(); }

    // Closes any open file, then opens the path as text. True when it is open.
    bool open(const std::string& path) { return openFile(path); }
    // Every row left into the store (merging by name); the column order carries over from one
    // table to the next as the store keeps it (store.columns), header rows setting it. False
    // when a read failed partway (the rows before it are in the store then).
    bool addAllTo(WorkUnitList& store, BatchSize size = DefaultBatch);
    // The same, a row at a time on this thread.
    bool addEachTo(WorkUnitList& store);

private:
    friend class TableReader<WuInfoReader>;
    static const KeyTable Titles;
    void storeCell(int column, std::string_view cell);
};

// Rewrites the file safely (temporary file renamed over the target); CR LF line ends. Texts
// are written without the bytes that would not read back as one cell (double quote, NUL,
// byte 26).
// False on any failure, and the old file then keeps its bytes.
bool writeWuInfo(const WorkUnitList& store, const std::string& path);
// Adds every row to the store (merging by name); header lines set store.columns.
// False when the file cannot be opened, or a read fails partway (the rows before it are
// in the store then).
bool readWuInfo(WorkUnitList& store, const std::string& path);
// The file's bytes as writeWuInfo writes them, made in one piece.
std::string wuInfoBytes(const WorkUnitList& store);
// The same bytes made as writeWuInfo makes them: in batches of `batch` bytes on two threads.
std::string wuInfoBytes(const WorkUnitList& store, BatchSize batch);
// readWuInfo on a file's bytes held in memory, a row at a time.
void readWuInfoBytes(WorkUnitList& store, std::string bytes);
// The same, read as readWuInfo reads a file: in batches of `batch` bytes on two threads.
void readWuInfoBytes(WorkUnitList& store, std::string bytes, BatchSize batch);
