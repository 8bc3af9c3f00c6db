// Reader of SETILog's comma-separated export: the record's own keys as column names, one work
// unit per row, each row's arrival time taken from the date of the row before it.
#pragma once

#include <string>
#include <vector>

#include "record/ATime.h"
#include "record/TextFiles.h"
#include "record/WorkUnit.h"

class SETILog {
public:
    SETILog();
    // Opens at once (see open).
    explicit SETILog(const std::string& path);
    SETILog(const SETILog&) = delete;
    SETILog& operator=(const SETILog&) = delete;
    ~SETILog() { close(); }

    // The Update of the row read before; it becomes the next row's TimeStamp. Unset at first,
    // untouched by open and close.
    ATime lastDate;
    WorkUnit record;  // the row the last readRecord produced
    // Field index of each column of the current header, -1 for a name SETILog does not write.
    // Starts as 0 to 100 (a file without a header row is read in field-index order)
    // and is replaced by every header row.
    std::vector<int> columns;

    // Closes any open file, then opens the path as text. True when it is open.
    bool open(const std::string& path);
    // open on a file's bytes held in memory. Always true.
    bool openBytes(std::string bytes);
    bool isOpen() const { return file_.isOpen(); }
    // Reads up to the next data row into `record`, taking any header rows before it as the
    // new column order. An empty line gives an empty record. False at the end of the file
    // or when no file is open.
    bool readRecord();
    // Closes the file if one is open and clears `record`.
    void close();

private:
    void storeCell(int column, const std::string& cell);

    CSVFile file_;
    std::string cell_;  // reused for every cell, so rows cost no allocation
};
