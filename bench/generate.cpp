// Writes synthetic input for timing whole runs of the programs; see Usage.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "bench/synthetic.h"
#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "platform/platform.h"
#include "store/WorkUnitList.h"
#include "tests/platform/ReplaceWhole.h"

namespace {

const char* const Usage =
    "usage: seti_generate DIR N [--overlap FRACTION] [--signals M]\n"
    "Creates DIR (and its parents) when missing and writes into it:\n"
    "  WUInfo.csv, ss_past_data.txt  the same N work units, as the two databases: the first\n"
    "                                (1 - FRACTION) * N finished, the others in progress\n"
    "  SETILog.csv, I4WU.csv         N rows each of further readings: the last FRACTION * N\n"
    "                                units of the databases (default 0.5) and new ones\n"
    "  result.sah                    a client result file with M signal lines (default 2 N)\n"
    "A merge of a database with one export then holds N + (1 - FRACTION) * N units.\n";

bool parseCount(const char* text, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text, &end, 10);
    return *text != '\0' && *end == '\0' && out >= 0 && out <= 0xFFFFFFFFLL;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs(Usage, stderr);
        return 2;
    }
    long long n = 0;
    if (!parseCount(argv[2], n) || n == 0) {
        std::fprintf(stderr, "N must be a positive number\n%s", Usage);
        return 2;
    }
    double overlap = 0.5;
    long long signals = 2 * n;
    for (int a = 3; a < argc; ++a) {
        const bool hasValue = a + 1 < argc;
        if (std::strcmp(argv[a], "--overlap") == 0 && hasValue) {
            char* end = nullptr;
            overlap = std::strtod(argv[++a], &end);
            if (*end != '\0' || !(overlap >= 0.0 && overlap <= 1.0)) {
                std::fprintf(stderr, "FRACTION must lie between 0 and 1\n");
                return 2;
            }
        } else if (std::strcmp(argv[a], "--signals") == 0 && hasValue) {
            if (!parseCount(argv[++a], signals)) {
                std::fprintf(stderr, "M must be a number\n");
                return 2;
            }
        } else {
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    std::error_code error;
    std::filesystem::create_directories(argv[1], error);
    if (error) {
        std::fprintf(stderr, "could not create %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const auto count = static_cast<std::uint32_t>(n);
    const auto shared = static_cast<std::uint32_t>(std::llround(overlap * static_cast<double>(n)));
    const std::uint32_t first = count - shared;  // the exports' first unit

    bool ok = false;
    {
        WorkUnitList store;
        // A history as users keep it: the units the exports no longer carry are finished (their
        // last reading), the ones they carry further are in progress.
        for (std::uint32_t i = 0; i < count; ++i)
            store.add(syntheticWorkUnit(i, i < first ? 3 : 0));
        ok = writeWuInfo(store, dir + "WUInfo.csv") &&
             SSExport::exportAll(dir + "ss_past_data.txt", store);
    }
    ok = ok &&
         testsupport::replaceFileContents(dir + "SETILog.csv",
                                          syntheticSetiLogExport(first, count)) &&
         testsupport::replaceFileContents(dir + "I4WU.csv", syntheticI4wuExport(first, count)) &&
         testsupport::replaceFileContents(dir + "result.sah",
                                          syntheticResultFile(static_cast<std::uint32_t>(signals)));
    if (!ok) {
        std::fprintf(stderr, "could not write into %s\n", argv[1]);
        return 1;
    }
    std::printf(
        "wrote %s{WUInfo.csv,ss_past_data.txt,SETILog.csv,I4WU.csv,result.sah}: %u work "
        "units, %u of them again in the exports, %lld signals\n",
        dir.c_str(), count, shared, signals);
    return 0;
}
