// One run of the merge tool: its database read first, then every source an argument names
// merged into the store, then the database rewritten sorted by arrival time.
#pragma once

#include <string>

#include "platform/platform.h"
#include "sources/SourceImport.h"
#include "store/WorkUnitList.h"

enum class Mode { SupportData, WuInfo };

// The database a mode keeps in the current directory: "ss_past_data.txt" or "WUInfo.csv".
const char* databaseOf(Mode mode);

class MergeRun {
public:
    // `file` is kept naming the file being read or written, for the out-of-memory message.
    MergeRun(Mode mode, std::string& file);

    // Reads the database of the mode from the current directory; a missing one counts as no
    // source. Runs on one database take turns: the lock is taken before the database is read
    // and held until it is rewritten, so no run rewrites it from a reading that another run
    // has outdated in the meantime. A run that finds the lock held says so, then waits.
    void readDatabase();
    // Reads the sources one command-line argument names.
    void importArgument(const std::string& argument) { import_.importArgument(argument); }
    // Reports the count, sorts by arrival time and rewrites the database; with nothing read
    // at all the database is left alone, and one that is there but would not read is never
    // replaced (the export is reported as failed). Without the lock the export is refused as
    // well: a run at the same time could lose its records to it.
    void finish();

private:
    Mode mode_;
    std::string& file_;
    WorkUnitList store_;
    SourceImport import_{store_, file_};
    bool databaseUnreadable_ = false;  // there, but not read: never to be replaced
    platform::FileLock lock_;          // the database's, from before the read to the end
    bool locked_ = false;
};
