// Fuzz target: the client directory. The input is the three files, result.sah, work_unit.sah
// and state.sah, in that order, separated by byte 0x1f; a file whose part is missing is not
// there. A directory gives data exactly when one of its files does, a named result becomes
// the record as the result reader read it, and the record survives every record check.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "clientfiles/ResFile.h"
#include "clientfiles/SHLog.h"
#include "fuzz/Checks.h"

using fuzzcheck::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzzcheck::bytesOf(data, size);
    ClientFiles files;
    std::optional<std::string>* const parts[] = {&files.result, &files.workUnit, &files.state};
    std::size_t start = 0;
    for (std::optional<std::string>* part : parts) {
        if (start > input.size()) break;
        const std::size_t end = std::min(input.find('\x1f', start), input.size());
        *part = input.substr(start, end - start);
        start = end + 1;
    }
    files.resultModified = "Tue Jan 20 12:00:00 2004\n";
    files.workUnitModified = "Sat Jan 10 08:30:00 2004\n";

    // Both readers are built once and reused: open clears what a read leaves.
    static ResFile result;
    static SHLog client;
    bool namedResult = false;
    if (files.result) {
        result.openBytes(*files.result);
        result.read();
        namedResult = !result.record.name.empty();
    }

    client.open("");
    const bool read = client.readBytes(files);
    require(read == (namedResult || files.workUnit || files.state),
            "a directory gives data when one of its files does");
    if (namedResult) {
        require(client.record.name == result.record.name, "a named result names the work unit");
        require(client.record.prog == result.record.prog, "a named result gives the progress");
        require(client.record.bs_power == result.record.bs_power, "a named result gives the spike");
    }
    WorkUnitList store;
    store.add(client.record);
    fuzzcheck::allRecordChecks(store);
    return 0;
}
