// Reader of a SETI@home client's working directory: one work unit made of its result.sah,
// work_unit.sah and state.sah.
#pragma once

#include <optional>
#include <string>

#include "record/ATime.h"
#include "record/WorkUnit.h"
#include "text/TextFiles.h"

// The client's three files held in memory: each one's bytes (none when it is not there or
// does not read) and, for the two whose time counts, the last-write time as local date text.
struct ClientFiles {
    std::optional<std::string> result;
    std::optional<std::string> workUnit;
    std::optional<std::string> state;
    std::string resultModified;
    std::string workUnitModified;
    // work_unit.sah is there but its bytes did not read: its time still counts.
    bool workUnitUnreadable = false;
};

class SHLog {
public:
    SHLog();
    // Opens the directory at once (see open).
    explicit SHLog(const std::string& directory);
    SHLog(const SHLog&) = delete;
    SHLog& operator=(const SHLog&) = delete;
    ~SHLog() { close(); }

    std::string dir;  // the client directory, expected to end in a separator; "" is the current one
    ATime openedAt;   // when open was last called; unset before that
    WorkUnit record;  // the work unit made by read

    // Forgets any earlier directory and remembers this one; the time of the call becomes the
    // Update of a record that has no result. Always true.
    bool open(const std::string& directory);
    // Makes `record` from the directory: the finished result when result.sah reads, with the
    // arrival time from work_unit.sah; otherwise the header lines of work_unit.sah, then
    // those of state.sah over them. True when any of the three files gave data.
    bool read();
    // read on the three files held in memory instead of those in `dir`.
    bool readBytes(const ClientFiles& files);
    // Closes any open file, forgets the directory and clears `record`.
    void close();
    // Applies the header lines of the file open in the line reader to `record` until its end
    // or an "end_seti_header" line; unknown keys are skipped. False when no file is open.
    bool readHeader();

private:
    // Reads the header lines of one of the files held in memory.
    bool readHeaderBytes(const std::string& bytes);

    INIFile file_;
};
