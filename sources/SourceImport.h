// Reading the sources a command line names and merging them into a store: client and report
// directories, file patterns and plain files told by their names, each kind with its reader and
// its progress and failure messages, and the count of the files read.
#pragma once

#include <string>

#include "options/FindFile.h"
#include "store/WorkUnitList.h"

// Reads a database of the current directory's kind, InputType::Support (ss_past_data.txt) or
// InputType::WuInfo (WUInfo.csv), at `path` into the store after "Reading File: " and the path.
// True when the file was read whole; a failed read partway keeps the records before it.
bool readDatabaseFile(const std::string& path, InputType type, WorkUnitList& store);

class SourceImport {
public:
    // Merges into `store`; `file` is kept naming the file being read, for the out-of-memory
    // message.
    SourceImport(WorkUnitList& store, std::string& file);

    // Reads the sources one command-line argument names.
    void importArgument(const std::string& argument);
    // A file read outside the arguments (a database) counts as one of the files read.
    void countFile() { ++importCount_; }
    int count() const { return importCount_; }
    // Tells how many files were read: "No Import File" (a failure) when none, and then false.
    bool reportCount() const;

private:
    void importClientDirectory(const std::string& directory);
    void importReportDirectory(const std::string& directory);
    void importPattern(const std::string& argument, const std::string& pattern, InputType forced);
    void importFile(const std::string& directory, const std::string& name, InputType type);

    WorkUnitList& store_;
    std::string& file_;
    int importCount_ = 0;
    FindFile finder_;
};
