// Quillet: turns one result.sah of the SETI@home client into the HTML page of result details.
#include <string>
#include <string_view>

#include "clientfiles/ResFile.h"
#include "frontend/Console.h"
#include "frontend/SafeName.h"
#include "platform/platform.h"
#include "present/ResultPage.h"

namespace {

void printUsage() {
    std::string text = "Quillet.exe for Win32\n";
    text += VersionLine;
    text += "Usage: Quillet.exe <result.sah path> [Dist. path]\n\n";
    printUsageText(text);
}

// A refusal: its failure message, then the usage text.
void reportWithUsage(std::string_view prefix, std::string_view subject) {
    printFailure(prefix, subject);
    printUsage();
}

// Reads the result and writes its page; `file` is kept naming the file being read or written,
// for the out-of-memory message.
void run(int argc, char** argv, std::string& file) {
    if (argc < 2 || argc > 3) {
        printUsage();
        return;
    }
    const std::string resultPath = argv[1];
    std::string destPath = argc == 3 ? argv[2] : "";

    file = resultPath;
    ResFile reader(resultPath);
    if (!reader.isOpen()) return reportWithUsage("File not found: ", resultPath);
    // A file that gave no work-unit name (an empty file, the later client's XML result) is
    // no result this tool can show.
    if (!reader.read() || reader.record.name.empty())
        return reportWithUsage("Illegal File: ", resultPath);
    const WorkUnit workUnit = reader.record;

    if (destPath.empty()) {
        // The name comes from inside the file: unchecked it could point anywhere.
        if (!isSafeFileName(workUnit.name)) return reportWithUsage("Illegal File: ", resultPath);
        destPath = workUnit.name + ".html";
    }
    file = destPath;
    // A page named as the result itself would replace the result with its page.
    if (platform::sameFile(destPath, resultPath) || !writeResultPage(reader, destPath))
        printFailure("Illegal File: ", destPath);
    reader.close();
}

}  // namespace

int main(int argc, char** argv) { return runProgram(argc, argv, run); }
