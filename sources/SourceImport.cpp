// Which message and which reader each kind of source gets.
#include "sources/SourceImport.h"

#include <cstdint>
#include <string_view>

#include "clientfiles/SHLog.h"
#include "formats/I4WU.h"
#include "formats/SETILog.h"
#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "frontend/Console.h"
#include "options/CmdParm.h"
#include "platform/platform.h"

namespace {

// The options of the sources: -ob, -i4wu, -sl, -ss and -sh, and -html, which names nothing
// here: its whole argument is a pattern.
constexpr std::uint16_t TakenOptions[] = {KindReport,  KindI4wu,   KindSetiLog,
                                          KindSupport, KindClient, KindHtml};

// When a file's message is printed: before the file is opened (the table is reported even
// when it does not open), or only once it opened.
enum class Told { BeforeOpen, OnceOpen };

// Adds every record of the file at `path` to the store with a Reader of its kind, after its
// message; false when it did not open. False too when a read failed partway: the records
// before it are kept, but the file does not count as read (a database then is never
// replaced).
template <class Reader, Told told>
bool readFile(const std::string& path, const char* message, WorkUnitList& store) {
    if (told == Told::BeforeOpen) printMessage(message, path);
    Reader reader;
    if (!reader.open(path)) return false;
    if (told == Told::OnceOpen) printMessage(message, path);
    const bool whole = reader.addAllTo(store);
    reader.close();
    return whole;
}

// Each kind of input file: its message and its reader, which is true when the file counts as
// read. A file of no known kind only gets its message.
struct ImportCase {
    InputType type;
    const char* message;
    bool (*read)(const std::string& path, const char* message, WorkUnitList& store);
};

constexpr ImportCase ImportCases[] = {
    {InputType::WuInfo, "Orbelle File: ", readFile<WuInfoReader, Told::BeforeOpen>},
    {InputType::I4wu, "Append I4WU Format File: ", readFile<I4WU, Told::OnceOpen>},
    {InputType::SetiLog, "Append SETILog Format File: ", readFile<SETILog, Told::OnceOpen>},
    {InputType::Support, "Append SETI@Supprt Format File: ", readFile<SSLog, Told::OnceOpen>},
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

bool readDatabaseFile(const std::string& path, InputType type, WorkUnitList& store) {
    return type == InputType::Support
               ? readFile<SSLog, Told::OnceOpen>(path, "Reading File: ", store)
               : readFile<WuInfoReader, Told::BeforeOpen>(path, "Reading File: ", store);
}

SourceImport::SourceImport(WorkUnitList& store, std::string& file) : store_(store), file_(file) {}

void SourceImport::importArgument(const std::string& argument) {
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

bool SourceImport::reportCount() const {
    if (importCount_ < 1) {
        printFailure("No Import File");
        return false;
    }
    printMessage(std::to_string(importCount_), " File(s) are done");
    return true;
}

bool SourceImport::isSource(const std::string& path) const {
    for (const std::string& file : filesRead_) {
        if (platform::sameFile(path, file)) return true;
    }
    const std::size_t start = lastPartStart(path);
    const std::string name = path.substr(start);
    constexpr std::string_view Sah = ".sah";
    if (name.size() < Sah.size() ||
        !platform::sameNameIgnoringCase(std::string_view(name).substr(name.size() - Sah.size()),
                                        Sah))
        return false;
    const std::string folder = start == 0 ? "." : path.substr(0, start);
    for (const std::string& client : clientFolders_) {
        if (platform::sameFile(folder, client.empty() ? "." : client)) return true;
    }
    return false;
}

void SourceImport::importClientDirectory(const std::string& directory) {
    const std::string files = directory + "*.sah";
    file_ = files;
    clientFolders_.push_back(directory);
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

void SourceImport::importReportDirectory(const std::string& directory) {
    const std::string path = directory + "WUInfo.csv";
    file_ = path;
    filesRead_.push_back(path);
    // Counted whether or not the file reads, as the tool always has.
    ++importCount_;
    if (!readFile<WuInfoReader, Told::BeforeOpen>(path, "Append Orbelle Format File: ", store_))
        printFailure("Fail Import File: ", path);
}

void SourceImport::importPattern(const std::string& argument, const std::string& pattern,
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

void SourceImport::importFile(const std::string& directory, const std::string& name,
                              InputType type) {
    file_ = directory + name;
    for (const ImportCase& kind : ImportCases) {
        if (kind.type != type) continue;
        if (kind.read == nullptr) {
            printMessage(kind.message, file_);
            return;
        }
        filesRead_.push_back(file_);
        if (kind.read(file_, kind.message, store_)) ++importCount_;
        return;
    }
}
