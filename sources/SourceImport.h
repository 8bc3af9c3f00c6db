// Reading the sources a command line names and merging them into a store: client and report
// directories, file patterns and plain files told by their names, each kind with its reader and
// its progress and failure messages, and the count of the files read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "options/FindFile.h"
#include "store/WorkUnitList.h"

// Reads a database of the current directory's kind, InputType::Support (ss_past_data.txt) or
// InputType::WuInfo (WUInfo.csv), at `path` into the store after "Reading File: " and the path.
// True when the file was read whole; a failed read partway keeps the records before it.
bool readDatabaseFile(const std::string& path, InputType type, WorkUnitList& store);

// The usage text's lines of the source options, one an option, as every program that reads
// sources prints them.
inline constexpr std::string_view SourceOptionsUsage =
    "       -i4wu: I4WU Export File(s)        ex) -i4wu=..\\i4wu\\export*.csv\n"
    "         -sl: SETILog Export File(s)     ex) -sl=..\\SETILog.csv)\n"
    "         -ss: SETI@Support Data File(s)  ex) -ss=..\\ss_past_data.txt\n"
    "         -sh: SETI@home Directory        ex) -sh=\"C:\\Program Files\\SETI@home\"\n"
    "         -ob: Orbelle Directory ex) -ob=..\\\n";

class SourceImport {
public:
    // Merges into `store`; `file` is kept naming the file being read, for the out-of-memory
    // message.
    SourceImport(WorkUnitList& store, std::string& file);

    // Reads the sources one command-line argument names.
    void importArgument(const std::string& argument);
    // A database read outside the arguments: a source whether or not it read, and one of the
    // files read when it did.
    void addDatabase(const std::string& path, bool read) {
        filesRead_.push_back(path);
        if (read) ++importCount_;
    }
    int count() const { return importCount_; }
    // Tells how many files were read: "No Import File" (a failure) when none, and then false.
    bool reportCount() const;
    // Whether `path` names a source this run read (by any name or link): a file given to a
    // reader, or a .sah file in a client directory read. Such a path is never to be written.
    bool isSource(const std::string& path) const;

private:
    void importClientDirectory(const std::string& directory);
    void importReportDirectory(const std::string& directory);
    void importPattern(const std::string& argument, const std::string& pattern, InputType forced);
    void importFile(const std::string& directory, const std::string& name, InputType type);

    WorkUnitList& store_;
    std::string& file_;
    int importCount_ = 0;
    std::vector<std::string> filesRead_;      // every file given to a reader, read or not
    std::vector<std::string> clientFolders_;  // every client directory read
    FindFile finder_;
};
