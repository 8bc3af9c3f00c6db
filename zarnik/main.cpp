// The merge tool: folds every work unit it can read from its arguments into its database in
// the current directory (ss_past_data.txt when named Zarnik, WUInfo.csv under any other name),
// merges the readings of each work unit and rewrites the database sorted by arrival time.
#include <string>
#include <string_view>

#include "clientfiles/SHLog.h"
#include "formats/I4WU.h"
#include "formats/SETILog.h"
#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "platform/platform.h"
#include "record/CmdParm.h"
#include "record/Console.h"
#include "record/FindFile.h"
#include "record/WorkUnitList.h"

namespace {

enum class Mode { SupportData, WuInfo };

constexpr const char* SupportDatabase = "ss_past_data.txt";
constexpr const char* WuInfoDatabase = "WUInfo.csv";
// Every option of the tool: -ob, -i4wu, -sl, -ss and -sh.
constexpr std::uint16_t AllowedKinds =
    KindReport | KindI4wu | KindSetiLog | KindSupport | KindClient;

// Input types, as detectInputType gives them.
constexpr int TypeUnknown = -1;
constexpr int TypeWuInfo = 0;
constexpr int TypeI4wu = 1;
constexpr int TypeSetiLog = 2;
constexpr int TypeSupport = 3;

// Support-data mode only under the tool's own name; on a platform whose programs carry no
// extension the bare name counts as well. Every other name, a copy called Korvath among
// them, keeps WUInfo.csv.
Mode modeOf(const std::string& programName) {
    if (programName == "Zarnik.exe") return Mode::SupportData;
    if (std::string_view(platform::ExecutableSuffix).empty() && programName == "Zarnik")
        return Mode::SupportData;
    return Mode::WuInfo;
}

const char* databaseOf(Mode mode) {
    return mode == Mode::SupportData ? SupportDatabase : WuInfoDatabase;
}

void printUsage(Mode mode) {
    const std::string program = mode == Mode::SupportData ? "Zarnik.exe" : "Korvath.exe";
    const std::string exportFile =
        mode == Mode::SupportData ? ".\\ss_past_data.txt" : ".\\Korvath.csv";
    std::string text;
    text += program + " for Win32\n";
    text += VersionLine;
    text += "Usage: " + program + " [[[-<opt>=]<datafile or Directory>]...]\n";
    text += "       -i4wu: I4WU Export File(s)        ex) -i4wu=..\\i4wu\\export*.csv\n";
    text += "         -sl: SETILog Export File(s)     ex) -sl=..\\SETILog.csv)\n";
    text += "         -ss: SETI@Support Data File(s)  ex) -ss=..\\ss_past_data.txt\n";
    text += "         -sh: SETI@home Directory        ex) -sh=\"C:\\Program Files\\SETI@home\"\n";
    text += "         -ob: Orbelle Directory ex) -ob=..\\\n";
    text += "\n";
    text += "       Export file is '" + exportFile + "'.\n";
    text += "\n";
    printUsageText(text);
}

// Adds every record of an open reader to the store, then closes the reader.
template <class Reader>
void addAll(Reader& reader, WorkUnitList& store) {
    while (reader.readRecord()) store.add(reader.record);
    reader.close();
}

// The state of one run: its mode, the store every source is merged into, and the number of
// sources read.
class MergeRun {
public:
    // `file` is kept naming the file being read or written, for the out-of-memory message.
    MergeRun(Mode mode, std::string& file) : mode_(mode), file_(file) { store_.reset(); }

    // Reads the database of the mode from the current directory; a missing one counts as no
    // source. Runs on one database take turns: the lock is taken before the database is read
    // and held until it is rewritten, so no run rewrites it from a reading that another run
    // has outdated in the meantime.
    void readDatabase() {
        file_ = databaseOf(mode_);
        locked_ = lock_.lock(databaseOf(mode_));
        bool read = false;
        if (mode_ == Mode::SupportData) {
            SSLog log(SupportDatabase);
            if (log.isOpen()) {
                read = true;
                ++importCount_;
                printMessage("Reading File: ", SupportDatabase);
                addAll(log, store_);
            }
        } else {
            printMessage("Reading File: ", WuInfoDatabase);
            read = readWuInfo(store_, WuInfoDatabase);
            if (read) ++importCount_;
        }
        // A database that is there but would not read (no permission, a read error) holds
        // records this run never saw: rewriting it would throw them away.
        databaseUnreadable_ = !read && exists(databaseOf(mode_));
    }

    // Reads the sources one command-line argument names.
    void importArgument(const std::string& argument) {
        CmdParm options;
        options.reset();
        switch (options.parse(argument, AllowedKinds)) {
        case KindIllegal: printMessage("Illegal Option: ", argument); return;
        case KindClient: importClientDirectory(directoryPrefix(options.clientDir)); return;
        case KindReport: importReportDirectory(directoryPrefix(options.reportDir)); return;
        case KindI4wu: importPattern(argument, options.i4wuFiles, TypeI4wu); return;
        case KindSetiLog: importPattern(argument, options.setiLogFiles, TypeSetiLog); return;
        case KindSupport: importPattern(argument, options.supportFiles, TypeSupport); return;
        default:
            // A plain argument, and -html (not an option of this tool but let through by the
            // parser's shared bits): the whole argument is a pattern, typed file by file.
            importPattern(argument, argument, TypeUnknown);
            return;
        }
    }

    // Reports the count, sorts by arrival time and rewrites the database; with nothing read
    // at all the database is left alone, and one that is there but would not read is never
    // replaced (the export is reported as failed). Without the lock the export is refused as
    // well: a run at the same time could lose its records to it.
    void finish() {
        if (importCount_ < 1) {
            printMessage("No Import File");
            return;
        }
        std::string done;
        done += std::to_string(importCount_);
        printMessage(done, " File(s) are done");
        const char* database = databaseOf(mode_);
        file_ = database;
        store_.sort(1);  // TimeStamp
        printMessage("Export All Data to File: ", database);
        const bool written =
            locked_ && !databaseUnreadable_ &&
            (mode_ == Mode::SupportData ? SSExport::exportAll(database, store_)
                                        : writeWuInfo(store_, database));
        if (!written) printMessage("Fail Export File: ", database);
    }

private:
    // True when the name finds an entry that is not a directory.
    bool exists(const std::string& name) {
        const bool found = !finder_.find(name).empty();
        finder_.close();
        return found;
    }

    void importClientDirectory(const std::string& directory) {
        const std::string files = directory + "*.sah";
        file_ = files;
        printMessage("Append SETI@home System FIles: ", files);
        SHLog client(directory);
        if (client.read()) {
            ++importCount_;
            store_.add(client.record);
        } else {
            printMessage("Fail Import Files: ", files);
        }
        client.close();
    }

    void importReportDirectory(const std::string& directory) {
        const std::string path = directory + "WUInfo.csv";
        file_ = path;
        // Counted whether or not the file reads, as the tool always has.
        ++importCount_;
        printMessage("Append Orbelle Format File: ", path);
        if (!readWuInfo(store_, path)) printMessage("Fail Import File: ", path);
    }

    void importPattern(const std::string& argument, const std::string& pattern, int forcedType) {
        file_ = pattern;
        std::string name = finder_.find(pattern);
        if (name.empty()) {
            printMessage("Cannot Open File(s): ", argument);
            finder_.close();
            return;
        }
        while (!name.empty()) {
            const int type = forcedType != TypeUnknown ? forcedType : detectInputType(name);
            importFile(finder_.directory, name, type);
            name = finder_.find();
        }
        finder_.close();
    }

    void importFile(const std::string& directory, const std::string& name, int type) {
        const std::string path = directory + name;
        file_ = path;
        switch (type) {
        case TypeWuInfo:
            printMessage("Orbelle File: ", path);
            if (readWuInfo(store_, path)) ++importCount_;
            return;
        case TypeI4wu: {
            I4WU reader;
            if (!reader.open(directory, name)) return;
            ++importCount_;
            printMessage("Append I4WU Format File: ", path);
            addAll(reader, store_);
            return;
        }
        case TypeSetiLog: {
            SETILog reader;
            if (!reader.open(path)) return;
            ++importCount_;
            printMessage("Append SETILog Format File: ", path);
            addAll(reader, store_);
            return;
        }
        case TypeSupport: {
            SSLog reader;
            if (!reader.open(path)) return;
            ++importCount_;
            printMessage("Append SETI@Supprt Format File: ", path);
            addAll(reader, store_);
            return;
        }
        default: printMessage("No kind of SETI@home Apprication data: ", path); return;
        }
    }

    Mode mode_;
    std::string& file_;
    WorkUnitList store_;
    int importCount_ = 0;
    bool databaseUnreadable_ = false;  // there, but not read: never to be replaced
    platform::FileLock lock_;          // the database's, from before the read to the end
    bool locked_ = false;
    FindFile finder_;
};

}  // namespace

int main(int argc, char** argv) {
    platform::startProgram();
    const std::string programName =
        platform::programName(argc > 0 && argv[0] != nullptr ? argv[0] : "");
    const Mode mode = modeOf(programName);
    if (argc < 2) {
        printUsage(mode);
        return 0;
    }
    runReportingOutOfMemory([mode, argc, argv](std::string& file) {
        MergeRun run(mode, file);
        run.readDatabase();
        for (int i = 1; i < argc; ++i) run.importArgument(argv[i]);
        run.finish();
    });
    return 0;
}
