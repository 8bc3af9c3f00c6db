// Fuzz target: the almanac page of the records a WUInfo.csv table gives. The page is made twice
// from the same records and must give the same bytes; every '<' opens markup (a record's text
// is always escaped); each chart holds as many marks as it says; the finished bars add up to
// the finished units with a usable arrival and the sky cells to the units on the sky.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/WuInfo.h"
#include "fuzz/Checks.h"
#include "present/AlmanacPage.h"
#include "present/AlmanacStats.h"

namespace {

// The whole number after `key` at `from`, or 0.
std::uint64_t numberAfter(const std::string& page, std::size_t from, std::string_view key) {
    std::uint64_t n = 0;
    for (std::size_t i = from + key.size(); i < page.size() && page[i] >= '0' && page[i] <= '9';
         ++i)
        n = n * 10 + static_cast<std::uint64_t>(page[i] - '0');
    return n;
}

// The chart `id`: its `data-marks`, the marks counted in it, and the sum of an attribute of
// the marks (`data-units`, or `data-value` for the month bars).
struct Chart {
    std::uint64_t said = 0, marks = 0, sum = 0;
};

Chart chartOf(const std::string& page, std::string_view id, std::string_view summed) {
    Chart chart;
    const std::size_t start = page.find("id=\"" + std::string(id) + "\"");
    fuzzcheck::require(start != std::string::npos, "a chart is missing");
    const std::size_t end = page.find("</svg>", start);
    fuzzcheck::require(end != std::string::npos, "a chart is not closed");
    chart.said = numberAfter(page, page.find("data-marks=\"", start), "data-marks=\"");
    for (std::size_t at = page.find("class=\"mark", start); at < end;
         at = page.find("class=\"mark", at + 1)) {
        ++chart.marks;
        const std::size_t value = page.find(summed, at);
        if (value < end) chart.sum += numberAfter(page, value, summed);
    }
    return chart;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WorkUnitList store;
    readWuInfoBytes(store, fuzzcheck::bytesOf(data, size));
    AlmanacInput input;
    input.sourcesRead = 1;
    // Every other name stands for one with a result page beside the almanac.
    input.hasResultPage = [](const std::string& name) { return name.size() % 2 == 0; };
    const std::string page = almanacPageBytes(store, input);
    fuzzcheck::requireSame(page, almanacPageBytes(store, input), "the same records, another page");

    for (std::size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        const char next = at + 1 < page.size() ? page[at + 1] : '\0';
        fuzzcheck::require((next >= 'a' && next <= 'z') || next == '/' || next == '!',
                           "a '<' that opens no markup: a record's text went out unescaped");
    }

    std::uint64_t finishedArrived = 0, onSky = 0;
    for (std::size_t i = 0; i < store.size(); ++i) {
        const WorkUnit& w = store[i];
        almanac::LocalSeconds arrival = 0;
        if (w.prog >= 1.0 && almanac::usableArrival(w.TimeStamp, arrival)) ++finishedArrived;
        if (almanac::usableSky(w.start_ra, w.start_dec)) ++onSky;
    }
    const Chart months = chartOf(page, "finished-per-month", "data-value=\"");
    const Chart hours = chartOf(page, "cpu-hours-per-month", "data-value=\"");
    const Chart cpu = chartOf(page, "cpu-vs-arrival", "data-units=\"");
    const Chart sky = chartOf(page, "sky-map", "data-units=\"");
    for (const Chart& chart : {months, hours, cpu, sky})
        fuzzcheck::require(chart.said == chart.marks, "a chart holds other marks than it says");
    fuzzcheck::require(months.marks == hours.marks, "the month charts count other months");
    fuzzcheck::require(months.sum == finishedArrived, "the month bars miss finished units");
    fuzzcheck::require(cpu.sum <= finishedArrived, "the CPU chart shows more units than finished");
    fuzzcheck::require(sky.sum == onSky, "the sky cells miss units on the sky");
    return 0;
}
