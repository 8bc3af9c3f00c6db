// Writes synthetic input for timing whole runs of the merge tool:
//   seti_generate DIR N
// gives DIR/WUInfo.csv and DIR/ss_past_data.txt with N work units each, and
// DIR/export1.csv, an I4WU export with further readings of the second half of them and N/2
// new ones.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/synthetic.h"
#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "platform/platform.h"
#include "record/WorkUnitList.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: seti_generate DIR N\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const long n = std::strtol(argv[2], nullptr, 10);
    if (n <= 0) {
        std::fprintf(stderr, "N must be a positive number\n");
        return 2;
    }
    const auto count = static_cast<std::uint32_t>(n);
    WorkUnitList store;
    for (std::uint32_t i = 0; i < count; ++i) store.add(syntheticWorkUnit(i));
    bool ok = writeWuInfo(store, dir + "WUInfo.csv") &&
              SSExport::exportAll(dir + "ss_past_data.txt", store) &&
              platform::replaceFileContents(dir + "export1.csv",
                                            syntheticI4wuExport(count / 2, count));
    if (!ok) {
        std::fprintf(stderr, "could not write into %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s{WUInfo.csv,ss_past_data.txt,export1.csv} with %u work units\n",
                dir.c_str(), count);
    return 0;
}
