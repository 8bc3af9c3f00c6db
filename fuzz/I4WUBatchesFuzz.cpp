// Fuzz target: an I4WU export read in batches on two threads. The first byte sets the batch
// sizes (fuzzcheck::batchSizesOf), the rest is the export. Read in batches it gives the rows
// and the column order of reading it row by row, and its rows written in batches give the
// bytes of one piece.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/I4WU.h"
#include "fuzz/Checks.h"

using fuzzcheck::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const fuzzcheck::BatchSizes sizes = fuzzcheck::batchSizesOf(data[0]);
    const std::string bytes = fuzzcheck::bytesOf(data + 1, size - 1);
    // One reader for every input, as a run keeps one from file to file; the column order
    // it keeps starts over for every read.
    static I4WU reader;
    static const std::vector<int> titleOrder = reader.columns;
    reader.columns = titleOrder;
    reader.openBytes(bytes);
    std::vector<WorkUnit> rows;
    while (reader.readRecord()) rows.push_back(reader.record);
    const std::vector<int> columns = reader.columns;
    reader.columns = titleOrder;
    reader.openBytes(bytes);
    std::vector<WorkUnit> batched;
    require(reader.readAllRows([&batched](WorkUnit& row) { batched.push_back(row); }, sizes.read),
            "bytes in memory read whole");
    fuzzcheck::requireSameRecords(rows, batched, true,
                                  "an I4WU export read in batches gives the rows one by one");
    require(reader.columns == columns, "read in batches, the last header sets the columns");
    WorkUnitList store;
    for (const WorkUnit& row : batched) store.add(row);
    fuzzcheck::batchedWritesMatch(store, sizes.write);
    return 0;
}
