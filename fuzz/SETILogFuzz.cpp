// Fuzz target: a SETILog export. Every row the reader gives survives the checks every record
// does.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/SETILog.h"
#include "fuzz/Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One reader for every input, as a run keeps one from file to file; the column order and
    // date it keeps start over for every input.
    static SETILog reader;
    static const std::vector<int> fieldOrder = reader.columns;
    reader.columns = fieldOrder;
    reader.lastDate.clear();
    reader.openBytes(fuzzcheck::bytesOf(data, size));
    WorkUnitList store;
    while (reader.readRecord()) store.add(reader.record);
    fuzzcheck::allRecordChecks(store);
    return 0;
}
