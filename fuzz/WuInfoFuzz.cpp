// Fuzz target: a WUInfo.csv table. Its records, written again and read back, write the same
// bytes, and every record survives the checks every record does.
#include <cstddef>
#include <cstdint>

#include "formats/WuInfo.h"
#include "fuzz/Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WorkUnitList store;
    readWuInfoBytes(store, fuzzcheck::bytesOf(data, size));
    fuzzcheck::allRecordChecks(store);
    return 0;
}
