// Fuzz target: the support data file read and written in batches on two threads. The first
// byte sets the batch sizes (fuzzcheck::batchSizesOf), the rest is the file. Read in batches
// it gives the store of reading it record by record, every record with the one open time,
// and the store written in batches gives the bytes of one piece.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/SupportData.h"
#include "fuzz/Checks.h"

using fuzzcheck::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const fuzzcheck::BatchSizes sizes = fuzzcheck::batchSizesOf(data[0]);
    const std::string bytes = fuzzcheck::bytesOf(data + 1, size - 1);
    SSLog log;
    log.openBytes(bytes);
    WorkUnitList whole;
    while (log.readRecord()) whole.add(log.record);
    // Opened again, the file has an open time of its own: Update is compared on its own.
    log.openBytes(bytes);
    WorkUnitList batched;
    require(log.addAllTo(batched, sizes.read), "bytes in memory read whole");
    fuzzcheck::requireSameStores(whole, batched, false,
                                 "support data read in batches holds the records one by one");
    for (const WorkUnit& record : batched)
        require(record.Update == batched[0].Update, "one open time for every batch");
    fuzzcheck::batchedWritesMatch(batched, sizes.write);
    return 0;
}
