// Fuzz target: an I4WU export. Every row the reader gives survives the checks every record
// does.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/I4WU.h"
#include "fuzz/Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One reader for every input, as a run keeps one from file to file; the column order
    // it keeps starts over for every input.
    static I4WU reader;
    static const std::vector<int> titleOrder = reader.columns;
    reader.columns = titleOrder;
    reader.openBytes(fuzzcheck::bytesOf(data, size));
    WorkUnitList store;
    while (reader.readRecord()) store.add(reader.record);
    fuzzcheck::allRecordChecks(store);
    return 0;
}
