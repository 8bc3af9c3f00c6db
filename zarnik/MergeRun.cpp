// The merge tool's run: which message and which reader each kind of source gets.
#include "zarnik/MergeRun.h"

#include <cstdint>
#include <utility>

#include "clientfiles/SHLog.h"
#include "formats/I4WU.h"
#include "formats/SETILog.h"
#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "frontend/Console.h"
#include "record/CmdParm.h"
#include "record/WorkUnitFields.h"

namespace {

// The options the tool takes: -ob, -i4wu, -sl, -ss and -sh, and -html, which names nothing
// here: its whole argument is a pattern.
constexpr std::uint16_t TakenOptions[] = {KindReport,  KindI4wu,   KindSetiLog,
                                          KindSupport, KindClient, KindHtml};

// Every record a reader has left, into the store in file order.
template <class Reader>
void addRecords(Reader& reader, WorkUnitList& store) {
    reader.readAllRows([&store](WorkUnit& record) { store.add(std::move(record)); });
}

void addRecords(SSLog& log, WorkUnitList& store) { log.addAllTo(store); }

// Adds every record of a reader that opened to the store, after its message; false, with
// no message, when it did not open. False too when a read failed partway: the records before
// it are kept, but the file does not count as read (a database then is never replaced).
template <class Reader>
bool addAll(Reader& reader, bool opened, const std::string& path, const char* message,
            WorkUnitList& store) {
    if (!opened) return false;
    printMessage(message, path);
    addRecords(reader, store);
    const bool whole = !reader.failed();
    reader.close();
    return whole;
}

bool readWuInfoFile(const std::string& directory, const std::string& name, const char* message,
                    WorkUnitList& store) {
    // The message comes before the read: the table is reported even when it does not open.
    printMessage(message, directory + name);
    return readWuInfo(store, directory + name);
}

bool readI4wuFile(const std::string& directory, const std::string& name, const char* message,
                  WorkUnitList& store) {
    I4WU reader;
    return addAll(reader, reader.open(directory, name), directory + name, message, store);
}

bool readSetiLogFile(const std::string& directory, const std::string& name, const char* message,
                     WorkUnitList& store) {
    SETILog reader;
    return addAll(reader, reader.open(directory + name), directory + name, message, store);
}

bool readSupportFile(const std::string& directory, const std::string& name, const char* message,
                     WorkUnitList& store) {
    SSLog reader;
    return addAll(reader, reader.open(directory + name), directory + name, message, store);
}

// Each kind of input file: its message and its reader, which is true when the file counts as
// read. A file of no known kind only gets its message.
struct ImportCase {
    InputType type;
    const char* message;
    bool (*read)(const std::string& directory, const std::string& name, const char* message,
                 WorkUnitList& store);
};

constexpr ImportCase ImportCases[] = {
    {InputType::WuInfo, "Orbelle File: ", readWuInfoFile},
    {InputType::I4wu, "Append I4WU Format File: ", readI4wuFile},
    {InputType::SetiLog, "Append SETILog Format File: ", readSetiLogFile},
    {InputType::Support, "Append SETI@Supprt Format File: ", readSupportFile},
    {InputType::Unknown, "No kind of SETI@home Apprication data: ", nullptr},
};

// The options that name file patterns: the parser's bit, where it keeps the pattern, and the
// kind every file of the pattern is read as.
struct PatternOption {
    std::uint16_t kind;
    std::string CmdParm::*pattern;
    InputType type;
};

constexpr PatternOption PatternOptions[] = {
    {KindI4wu, &CmdParm::i4wuFiles, InputType::I4wu},
    {KindSetiLog, &CmdParm::setiLogFiles, InputType::SetiLog},
    {KindSupport, &CmdParm::supportFiles, InputType::Support},
};

}  // namespace

const char* databaseOf(Mode mode) {
    return mode == Mode::SupportData ? "ss_past_data.txt" : "WUInfo.csv";
}

MergeRun::MergeRun(Mode mode, std::string& file) : mode_(mode), file_(file) {}

void MergeRun::readDatabase() {
    const std::string database = databaseOf(mode_);
    file_ = database;
    locked_ = lock_.lock(database);
    const bool present = platform::fileStatus(database) != platform::FileStatus::Missing;
    bool read = false;
    if (mode_ == Mode::SupportData) {
        SSLog log;
        read = addAll(log, log.open(database), database, "Reading File: ", store_);
    } else {
        printMessage("Reading File: ", database);
        read = readWuInfo(store_, database);
    }
    if (read) ++importCount_;
    // A database that is there but would not read (no permission, a read error) holds
    // records this run never saw: rewriting it would throw them away.
    databaseUnreadable_ = !read && present;
}

void MergeRun::importArgument(const std::string& argument) {
    CmdParm options;
    const std::uint16_t kind = options.parse(argument, TakenOptions);
    if (kind == KindIllegal) {
        printFailure("Illegal Option: ", argument);
        return;
    }
    if (kind == KindClient) return importClientDirectory(directoryPrefix(options.clientDir));
    if (kind == KindReport) return importReportDirectory(directoryPrefix(options.reportDir));
    for (const PatternOption& option : PatternOptions) {
        if (kind == option.kind)
            return importPattern(argument, options.*option.pattern, option.type);
    }
    // A plain argument, and -html: the whole argument is a pattern, typed file by file.
    importPattern(argument, argument, InputType::Unknown);
}

void MergeRun::finish() {
    if (importCount_ < 1) {
        printFailure("No Import File");
        return;
    }
    printMessage(std::to_string(importCount_), " File(s) are done");
    const char* database = databaseOf(mode_);
    file_ = database;
    store_.sort(WorkUnitFields[FieldIndex::TimeStamp].declaration);
    printMessage("Export All Data to File: ", database);
    const bool written = locked_ && !databaseUnreadable_ &&
                         (mode_ == Mode::SupportData ? SSExport::exportAll(database, store_)
                                                     : writeWuInfo(store_, database));
    if (!written) printFailure("Fail Export File: ", database);
}

void MergeRun::importClientDirectory(const std::string& directory) {
    const std::string files = directory + "*.sah";
    file_ = files;
    printMessage("Append SETI@home System FIles: ", files);
    SHLog client(directory);
    if (client.read()) {
        ++importCount_;
        store_.add(client.record);
    } else {
        printFailure("Fail Import Files: ", files);
    }
    client.close();
}

void MergeRun::importReportDirectory(const std::string& directory) {
    const std::string path = directory + "WUInfo.csv";
    file_ = path;
    // Counted whether or not the file reads, as the tool always has.
    ++importCount_;
    printMessage("Append Orbelle Format File: ", path);
    if (!readWuInfo(store_, path)) printFailure("Fail Import File: ", path);
}

void MergeRun::importPattern(const std::string& argument, const std::string& pattern,
                             InputType forced) {
    file_ = pattern;
    std::string name = finder_.find(pattern);
    if (name.empty()) printFailure("Cannot Open File(s): ", argument);
    for (; !name.empty(); name = finder_.find()) {
        importFile(finder_.directory, name,
                   forced != InputType::Unknown ? forced : detectInputType(name));
    }
    finder_.close();
}

void MergeRun::importFile(const std::string& directory, const std::string& name, InputType type) {
    file_ = directory + name;
    for (const ImportCase& kind : ImportCases) {
        if (kind.type != type) continue;
        if (kind.read == nullptr)
            printMessage(kind.message, file_);
        else if (kind.read(directory, name, kind.message, store_))
            ++importCount_;
        return;
    }
}
