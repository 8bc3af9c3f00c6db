// The SETI@Support data file "ss_past_data.txt": reader (SSLog) and writers (SSExport).
// Lines end with a single carriage return; records open with a line "!".
#pragma once

#include <string>

#include "record/ATime.h"
#include "record/WorkUnit.h"
#include "store/Batches.h"
#include "store/WorkUnitList.h"
#include "text/KeyTable.h"
#include "text/TextFiles.h"

class SSLog {
public:
    SSLog();
    // Opens at once (see open).
    explicit SSLog(const std::string& path);
    WorkUnit record;  // the record the last readRecord produced

    // Closes any open file, takes the current time as the Update of every record it will
    // give, and opens the file in binary mode. True when it is open.
    bool open(const std::string& path);
    // open on a file's bytes held in memory. Always true.
    bool openBytes(std::string bytes);
    bool isOpen() const { return file_.isOpen(); }
    // True once a read of the open file failed partway: the records given so far are not all.
    bool failed() const { return file_.failed(); }
    // Reads the next record into `record`: the lines up to the "!" that opens the record
    // after it, or to the end of the file. Lines before the first "!" form a record of their
    // own. False when no file is open or nothing is left.
    bool readRecord();
    static constexpr BatchSize DefaultBatch = ReadBatch;
    // Reads every record left into the store, in file order; the records are parsed in
    // batches on two threads, each cut before a line "!" once it holds `batch` bytes. False
    // when a read failed partway (the records before it are in the store then).
    bool addAllTo(WorkUnitList& store, BatchSize batch = DefaultBatch);
    // Closes the file and clears `record`.
    void close();

private:
    LineSource file_;  // binary: lines end at CR, LF or CR LF
    ATime openTime_;
    KeyGuess keys_;  // records write their keys in one order
};

class SSExport {
public:
    // Rewrites the file safely: a temporary file renamed over the target only when every
    // byte was written; on failure the old file stays as it was. False on any failure.
    static bool exportAll(const std::string& path, const WorkUnitList& store);
    // Appends one record, creating the file when missing; on a failed write the file is
    // cut back to its former length. False on any failure.
    static bool appendRecord(const std::string& path, const WorkUnit& record);
    // Appends one record's bytes in the file's layout to `out`.
    static void writeRecord(std::string& out, const WorkUnit& record);
    // The bytes exportAll writes, made as it makes them: in batches of `batch` bytes on two
    // threads.
    static std::string exportBytes(const WorkUnitList& store, BatchSize batch);
};
