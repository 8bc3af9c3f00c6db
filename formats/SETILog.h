// Reader of SETILog's comma-separated export: the record's own keys as column names, one work
// unit per row, each row's arrival time taken from the date of the row before it.
#pragma once

#include <string>

#include "formats/TableReader.h"
#include "record/ATime.h"

class SETILog : public TableReader<SETILog> {
public:
    SETILog() = default;
    // Opens at once (see open).
    explicit SETILog(const std::string& path) { open(path); }
    ~SETILog() { close(); }

    // The Update of the row read before; it becomes the next row's TimeStamp. Unset at first,
    // untouched by open and close.
    ATime lastDate;

    // Closes any open file, then opens the path as text. True when it is open.
    bool open(const std::string& path) { return openFile(path); }

private:
    friend class TableReader<SETILog>;
    static const KeyTable Titles;
    void beginRow();
    void rowEndsBefore(int column);
    void storeCell(int column, std::string_view cell);
    // A row's arrival time is the date the row before left.
    static constexpr bool CarriesState = true;
    void takeState(WorkUnit& row) const { row.TimeStamp = lastDate; }
    void followState(const SETILog& later) { lastDate = later.lastDate; }
};
