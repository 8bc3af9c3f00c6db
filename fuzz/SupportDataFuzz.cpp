// Fuzz target: the support data file. Its records, written again and read back, write the
// same bytes, and every record survives the checks every record does.
#include <cstddef>
#include <cstdint>

#include "formats/SupportData.h"
#include "fuzz/Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SSLog log;
    log.openBytes(fuzzcheck::bytesOf(data, size));
    WorkUnitList store;
    while (log.readRecord()) store.add(log.record);
    fuzzcheck::allRecordChecks(store);
    return 0;
}
