// The merge tool: folds every work unit it can read from its arguments into its database in
// the current directory (ss_past_data.txt when named Zarnik, WUInfo.csv under any other name),
// merges the readings of each work unit and rewrites the database sorted by arrival time.
#include <string>
#include <string_view>

#include "frontend/Console.h"
#include "platform/platform.h"
#include "sources/SourceImport.h"
#include "zarnik/MergeRun.h"

namespace {

// Support-data mode only under the tool's own name; on a platform whose programs carry no
// extension the bare name counts as well. Every other name, a copy called Korvath among
// them, keeps WUInfo.csv.
Mode modeOf(const std::string& programName) {
    if (programName == "Zarnik.exe") return Mode::SupportData;
    if (std::string_view(platform::ExecutableSuffix).empty() && programName == "Zarnik")
        return Mode::SupportData;
    return Mode::WuInfo;
}

void printUsage(Mode mode) {
    const std::string program = mode == Mode::SupportData ? "Zarnik.exe" : "Korvath.exe";
    const std::string exportFile =
        mode == Mode::SupportData ? ".\\ss_past_data.txt" : ".\\Korvath.csv";
    printUsageText(program + " for Win32\n" + std::string(VersionLine) + "Usage: " + program +
                   " [[[-<opt>=]<datafile or Directory>]...]\n" + std::string(SourceOptionsUsage) +
                   "\n"
                   "       Export file is '" +
                   exportFile + "'.\n\n");
}

// The database first, then every argument's sources, then the rewrite; `file` is kept naming
// the file being read or written, for the out-of-memory message.
void run(int argc, char** argv, std::string& file) {
    const Mode mode = modeOf(platform::programName(argc > 0 && argv[0] != nullptr ? argv[0] : ""));
    if (argc < 2) {
        printUsage(mode);
        return;
    }
    MergeRun merge(mode, file);
    merge.readDatabase();
    for (int i = 1; i < argc; ++i) merge.importArgument(argv[i]);
    merge.finish();
}

}  // namespace

int main(int argc, char** argv) { return runProgram(argc, argv, run); }
