// Fuzz target: a result file with its signal lines, and the result page written from it.
// A read result gives a page, its signal lists hold no duplicate and are sorted strongest
// first, its best signals are the first of each list, and its record survives the checks
// every record does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "clientfiles/ResFile.h"
#include "fuzz/Checks.h"
#include "present/ResultPage.h"

using fuzzcheck::require;

namespace {

void checkSignals(const ResFile& result) {
    for (std::size_t i = 0; i + 1 < result.spikes.size(); ++i) {
        require(!(result.spikes[i].power < result.spikes[i + 1].power), "spikes sorted by power");
    }
    for (std::size_t i = 0; i + 1 < result.gaussians.size(); ++i) {
        require(!(result.gaussians[i].score() < result.gaussians[i + 1].score()),
                "gaussians sorted by score");
    }
    for (std::size_t i = 0; i < result.spikes.size(); ++i) {
        for (std::size_t j = i + 1; j < result.spikes.size() && j < i + 8; ++j)
            require(!(result.spikes[i] == result.spikes[j]), "no spike twice");
    }
    if (result.spikes.size() > 0) {
        require(result.spike == result.spikes[0], "the best spike is the strongest");
        if (result.spike.name == result.record.name)
            require(result.record.bs_power == result.spike.power, "the best spike is the record's");
    }
    if (result.gaussians.size() > 0) {
        require(result.gaussian == result.gaussians[0], "the best gaussian is the strongest");
        if (result.gaussian.name == result.record.name)
            require(result.record.bg_power == result.gaussian.peak,
                    "the best gaussian is the record's");
    }
}

void checkPage(const ResFile& result) {
    const std::string page = resultPageBytes(result);
    const std::string end = "</HTML>\r\n";
    require(
        page.size() > end.size() && page.compare(page.size() - end.size(), end.size(), end) == 0,
        "a read result gives a whole page");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One reader for every input, so what one read leaves behind meets the next; open clears it.
    static ResFile result;
    result.openBytes(fuzzcheck::bytesOf(data, size));
    require(result.read(), "an open result reads");
    checkSignals(result);
    checkPage(result);
    WorkUnitList store;
    store.add(result.record);
    fuzzcheck::allRecordChecks(store);
    return 0;
}
