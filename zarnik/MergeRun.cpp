// The merge tool's run: the database read under its lock, the sources merged in, the database
// rewritten.
#include "zarnik/MergeRun.h"

#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "frontend/Console.h"
#include "frontend/RunLock.h"
#include "record/WorkUnitFields.h"

const char* databaseOf(Mode mode) {
    return mode == Mode::SupportData ? "ss_past_data.txt" : "WUInfo.csv";
}

MergeRun::MergeRun(Mode mode, std::string& file) : mode_(mode), file_(file) {}

void MergeRun::readDatabase() {
    const std::string database = databaseOf(mode_);
    file_ = database;
    locked_ = lockForRun(lock_, database);
    const bool present = platform::fileStatus(database) != platform::FileStatus::Missing;
    const bool read = readDatabaseFile(
        database, mode_ == Mode::SupportData ? InputType::Support : InputType::WuInfo, store_);
    import_.addDatabase(database, read);
    // A database that is there but would not read (no permission, a read error) holds
    // records this run never saw: rewriting it would throw them away.
    databaseUnreadable_ = !read && present;
}

void MergeRun::finish() {
    if (!import_.reportCount()) return;
    const char* database = databaseOf(mode_);
    file_ = database;
    store_.sort(WorkUnitFields[FieldIndex::TimeStamp].declaration);
    printMessage("Export All Data to File: ", database);
    const bool written = locked_ && !databaseUnreadable_ &&
                         (mode_ == Mode::SupportData ? SSExport::exportAll(database, store_)
                                                     : writeWuInfo(store_, database));
    if (!written) printFailure("Fail Export File: ", database);
}
