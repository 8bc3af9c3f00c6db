// Brellow, the result archiver: copies one result.sah into a destination directory under its
// work unit's name, and on request writes the result page and appends a support data record.
#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "clientfiles/ResFile.h"
#include "formats/SupportData.h"
#include "frontend/Console.h"
#include "frontend/RunLock.h"
#include "frontend/SafeName.h"
#include "options/CmdParm.h"
#include "options/FindFile.h"
#include "platform/platform.h"
#include "present/ResultPage.h"
#include "record/WorkUnit.h"

namespace {

// The options the archiver takes: "-ss" and "-html", and also "-sh" and "-ob", which name
// nothing here and, like "-html", ask for the result page.
constexpr std::uint16_t TakenOptions[] = {KindSupport, KindHtml, KindClient, KindReport};
constexpr std::uint16_t PageOptions[] = {KindHtml, KindClient, KindReport};

void printUsage() {
    std::string text = "Brellow.exe for Win32\n";
    text += VersionLine;
    text +=
        "Usage: Brellow.exe <result.sah path> <Dist. Directry> [-<opt>[=path]]\n"
        "         -ss: SETI@Support Data Path  ex) -ss=..\\ss_past_data.txt\n"
        "       -html: Export File (HTML)      ex) -html=result.html\n"
        "\n";
    printUsageText(text);
}

// A refusal: its failure message, then the usage text.
void reportWithUsage(std::string_view prefix, std::string_view subject = {}) {
    printFailure(prefix, subject);
    printUsage();
}

// The copy's path: the destination directory with a separator (a slash counts as one too),
// then the work unit's name and ".result". An empty directory means the current one.
std::string copyPathFor(const std::string& destDir, const std::string& name) {
    return (destDir.empty() ? std::string(".\\") : directoryPrefix(destDir)) + name + ".result";
}

// `file` is kept naming the file being read or written, for the out-of-memory message.
void run(int argc, char** argv, std::string& file) {
    if (argc < 3) {
        printUsage();
        return;
    }

    std::string resultPath;
    std::string destDir;
    int plainCount = 0;
    CmdParm parm;
    bool page = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::uint16_t kind = parm.parse(argument, TakenOptions);
        if (std::ranges::find(PageOptions, kind) != std::end(PageOptions)) page = true;
        if (kind == KindNone) {
            if (plainCount >= 2) return reportWithUsage("Too Many Parameter: ", argument);
            (plainCount == 0 ? resultPath : destDir) = argument;
            ++plainCount;
        } else if (kind == KindIllegal) {
            return reportWithUsage("Illegal Option: ", argument);
        }
    }
    if (plainCount < 2) return reportWithUsage("Too Few Parameter");

    file = resultPath;
    ResFile reader(resultPath);
    if (!reader.isOpen()) return reportWithUsage("File not found: ", resultPath);
    if (!reader.read()) return reportWithUsage("Illegal File: ", resultPath);
    const WorkUnit record = reader.record;
    // The name comes from inside the file and becomes part of every path written below.
    if (!isSafeFileName(record.name)) return reportWithUsage("Illegal File: ", resultPath);

    if (page) {
        const std::string htmlPath = parm.htmlFile.empty() ? record.name + ".html" : parm.htmlFile;
        file = htmlPath;
        // A page named as the result itself would replace the result, and then its copy, with
        // the page.
        if (platform::sameFile(htmlPath, resultPath) || !writeResultPage(reader, htmlPath))
            printFailure("Illegal File: ", htmlPath);
    }
    reader.close();

    // A copy that did not happen must not look like success: archiving is the point of the run.
    const std::string copyPath = copyPathFor(destDir, record.name);
    file = copyPath;
    if (!platform::copyFile(resultPath, copyPath)) printFailure("Illegal File: ", copyPath);

    if ((parm.kind & KindSupport) != 0) {
        const std::string supportPath =
            parm.supportFiles.empty() ? std::string("ss_past_data.txt") : parm.supportFiles;
        file = supportPath;
        // The merge tool's lock: an append during its rewrite would be lost with the old file.
        platform::FileLock lock;
        if (!lockForRun(lock, supportPath) || !SSExport::appendRecord(supportPath, record))
            printFailure("Illegal File: ", supportPath);
    }
}

}  // namespace

int main(int argc, char** argv) { return runProgram(argc, argv, run); }
