// Reader of I4WU's comma-separated exports: a header row of I4WU's own column titles (in
// record/WorkUnitFields.h), then one work unit per row.
#pragma once

#include <string>

#include "formats/TableReader.h"

class I4WU : public TableReader<I4WU> {
public:
    I4WU() = default;
    // Opens at once (see open).
    I4WU(const std::string& directoryPart, const std::string& namePart) {
        open(directoryPart, namePart);
    }
    ~I4WU() { close(); }

    std::string directory;  // as given to open, until the file closes
    std::string fileName;   // as given to open, until the file closes

    // Closes any open file, then opens directory + fileName (no separator is inserted) as
    // text. True when it is open.
    bool open(const std::string& directoryPart, const std::string& namePart);
    // open with the whole path as the file name, as every reader opens a path.
    bool open(const std::string& path) { return open(std::string(), path); }

private:
    friend class TableReader<I4WU>;
    static const KeyTable Titles;
    void beginRow();
    void storeCell(int column, std::string_view cell);
    void closed();
};
