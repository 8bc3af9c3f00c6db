// The SETI@Support data file "ss_past_data.txt": reader (SSLog) and writers (SSExport).
// Lines end with a single carriage return; records open with a line "!".
#pragma once

#include <map>
#include <string>

#include "record/ATime.h"
#include "record/TextFiles.h"
#include "record/WorkUnit.h"
#include "record/WorkUnitList.h"

class SSLog {
public:
    SSLog();
    explicit SSLog(const std::string& path);
    WorkUnit record;

    bool open(const std::string& path);  // binary mode; Update of every record = open time
    bool isOpen() const { return file_.isOpen(); }
    bool readRecord();
    void close();

private:
    INIFile file_;
    std::map<std::string, int> keyIndex_;
    ATime openTime_;
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
};
