// Almanac: reads what the merge tool reads, merges it in memory by the same rule, and writes
// one HTML page of the whole history with its charts. It writes no database and changes no
// source.
#include <string>
#include <string_view>

#include "frontend/Console.h"
#include "frontend/SafeName.h"
#include "options/FindFile.h"
#include "platform/platform.h"
#include "present/AlmanacPage.h"
#include "sources/SourceImport.h"
#include "store/WorkUnitList.h"
#include "text/TextFiles.h"

namespace {

constexpr std::string_view DefaultPage = "Almanac.html";
constexpr std::string_view PageOption = "-page";

void printUsage() {
    printUsageText("Almanac.exe for Win32\n" + std::string(VersionLine) +
                   "Usage: Almanac.exe [-page=FILE] [[-<opt>=]<datafile or Directory>]...\n"
                   "       -page: Page File (HTML)         ex) -page=..\\Almanac.html\n" +
                   std::string(SourceOptionsUsage) +
                   "\n"
                   "       Without a source, '.\\ss_past_data.txt' and '.\\WUInfo.csv' are read.\n"
                   "       Page file is '.\\Almanac.html'.\n\n");
}

// The value of a "-page=FILE" argument into `page`; false for any other argument.
bool pageArgument(const std::string& argument, std::string& page) {
    if (argument.compare(0, PageOption.size(), PageOption) != 0) return false;
    if (argument.size() > PageOption.size() && argument[PageOption.size()] != '=') return false;
    std::string value =
        argument.size() > PageOption.size() ? argument.substr(PageOption.size() + 1) : "";
    page = trimUnquote(value);
    return true;
}

// The databases of the current folder, whichever are there.
void readDatabases(SourceImport& import, WorkUnitList& store, std::string& file) {
    constexpr struct {
        const char* path;
        InputType type;
    } Databases[] = {{"ss_past_data.txt", InputType::Support}, {"WUInfo.csv", InputType::WuInfo}};
    for (const auto& database : Databases) {
        if (platform::fileStatus(database.path) == platform::FileStatus::Missing) continue;
        file = database.path;
        const bool read = readDatabaseFile(database.path, database.type, store);
        import.addDatabase(database.path, read);
        if (!read) printFailure("Fail Import File: ", database.path);
    }
}

// `file` is kept naming the file being read or written, for the out-of-memory message.
void run(int argc, char** argv, std::string& file) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "-help") {
            printUsage();
            return;
        }
    }
    std::string page(DefaultPage);
    WorkUnitList store;
    SourceImport import(store, file);
    bool sourceNamed = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (pageArgument(argument, page)) {
            if (page.empty()) return printFailure("Illegal Option: ", argument);
            continue;
        }
        sourceNamed = true;
        import.importArgument(argument);
    }
    if (!sourceNamed) readDatabases(import, store, file);
    if (!import.reportCount()) return;

    AlmanacInput input;
    input.sourcesRead = import.count();
    // A best signal's name links to its result page when one is there beside the page, under
    // the name the result pages are written by.
    const std::string folder = page.substr(0, lastPartStart(page));
    input.hasResultPage = [&folder](const std::string& name) {
        return isSafeFileName(name) &&
               platform::fileStatus(folder + name + ".html") == platform::FileStatus::Readable;
    };
    // The page never takes the place of a source: a page named as one of the files read
    // would throw its records away.
    if (import.isSource(page)) return printFailure("Illegal File: ", page);
    file = page;
    printMessage("Export Page to File: ", page);
    if (!writeAlmanacPage(store, input, page)) printFailure("Fail Export File: ", page);
}

}  // namespace

int main(int argc, char** argv) { return runProgram(argc, argv, run); }
