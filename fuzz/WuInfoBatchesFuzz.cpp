// Fuzz target: a WUInfo.csv table read and written in batches on two threads. The first byte
// sets the batch sizes (fuzzcheck::batchSizesOf), the rest is the table. Read in batches it
// gives the store and column order of reading it row by row, and the store written in
// batches gives the bytes of one piece.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/WuInfo.h"
#include "fuzz/Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const fuzzcheck::BatchSizes sizes = fuzzcheck::batchSizesOf(data[0]);
    const std::string bytes = fuzzcheck::bytesOf(data + 1, size - 1);
    WorkUnitList whole;
    readWuInfoBytes(whole, bytes);
    WorkUnitList batched;
    readWuInfoBytes(batched, bytes, sizes.read);
    fuzzcheck::requireSameStores(whole, batched, true,
                                 "WUInfo.csv read in batches holds the rows one by one");
    fuzzcheck::batchedWritesMatch(batched, sizes.write);
    return 0;
}
