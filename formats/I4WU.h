// Reader of I4WU's comma-separated exports: a header row of I4WU's own column titles, then one
// work unit per row.
#pragma once

#include <string>
#include <vector>

#include "record/TextFiles.h"
#include "record/WorkUnit.h"

class I4WU {
public:
    I4WU();
    // Opens at once when both parts are given (see open).
    I4WU(const std::string& directory, const std::string& fileName);
    I4WU(const I4WU&) = delete;
    I4WU& operator=(const I4WU&) = delete;
    ~I4WU() { close(); }

    std::string directory;  // as given to open
    std::string fileName;   // as given to open
    WorkUnit record;        // the row the last readRecord produced
    // Field index of each column of the current header, -1 for a title I4WU does not write
    // (the titles are in record/WorkUnitFields.h).
    // Starts as 0 to 100, so a file without a header row is read in title-table order; it
    // is replaced by every header row and kept across open and close.
    std::vector<int> columns;

    // Closes any open file, then opens directory + fileName (no separator is inserted) as
    // text. True when it is open.
    bool open(const std::string& directory, const std::string& fileName);
    // Closes any open file, then reads an export's bytes held in memory (no names). Always true.
    bool openBytes(std::string bytes);
    bool isOpen() const { return file_.isOpen(); }
    // Reads up to the next data row into `record`, taking any header rows before it as the
    // new column order. An empty line gives an empty record. False at the end of the file
    // or when no file is open.
    bool readRecord();
    // Closes the file and forgets its names (when one is open); clears `record`.
    void close();

private:
    void storeCell(int column, const std::string& cell);

    CSVFile file_;
    std::string cell_;  // reused for every cell, so rows cost no allocation
};
