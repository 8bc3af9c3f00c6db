// Property checks shared by the fuzz targets.
#include "fuzz/Checks.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "record/WorkUnitFields.h"

namespace fuzzcheck {

namespace {

// WUInfo.csv cannot hold a double quote, a NUL or byte 26 inside a text: the writer drops them
// (NUL is dropped on reading already), so a text holding one is written changed once and then
// stays. Records holding such texts are left out of the byte-for-byte round trip.
bool wuInfoKeepsTexts(const WorkUnit& r) {
    for (const std::string* text : {&r.name, &r.receiver, &r.tape_version}) {
        if (text->find_first_of(std::string_view("\"\0\x1a", 3)) != std::string::npos) return false;
    }
    return true;
}

// Text and Julian Dates are set only through the range check of 1984 to 2049, but the
// normalisation after it can leave that range: day 0 of January 1984 is 31 December 1983.
// Such a value is written and then read back unset. That is the setters' rule, not a fault,
// so these records are left out of the round trips rather than reported every time.
bool readableAgain(const ATime& value) {
    return !value.isSet() || ATime::inRange(value.year, value.month, value.hour, value.minute);
}

bool timesReadableAgain(const WorkUnit& r) {
    return readableAgain(r.Update) && readableAgain(r.TimeStamp) && readableAgain(r.time_recorded);
}

// Every field alike; date-times by their Julian Date, as they are compared everywhere.
bool sameRecord(const WorkUnit& a, const WorkUnit& b) {
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        if (!onField(i, a, b, [](const auto& x, const auto& y) { return x == y; })) return false;
    }
    return true;
}

}  // namespace

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

void requireSame(const std::string& first, const std::string& second, const char* what) {
    if (first == second) return;
    std::size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
    const std::size_t from = at < 60 ? 0 : at - 60;
    auto show = [from](const std::string& text) {
        std::string shown;
        for (std::size_t i = from; i < text.size() && i < from + 120; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c >= 32 && c < 127)
                shown += static_cast<char>(c);
            else
                shown +=
                    "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
        }
        return shown;
    };
    std::fprintf(stderr, "first:  %s\nsecond: %s\n", show(first).c_str(), show(second).c_str());
    require(false, what);
}

void wuInfoRoundTrip(const WorkUnitList& store) {
    WorkUnitList kept;
    for (const WorkUnit& record : store) {
        if (wuInfoKeepsTexts(record) && timesReadableAgain(record)) kept.add(record);
    }
    const std::string written = wuInfoBytes(kept);
    // Rows without the header read in the header's order: reading the 101 titles again would
    // cost more than the rows of a short input.
    const std::size_t headerEnd = written.find('\n');
    require(headerEnd != std::string::npos, "WUInfo.csv has a header line");
    WorkUnitList readBack;
    readWuInfoBytes(readBack, written.substr(headerEnd + 1));
    require(readBack.size() == kept.size(), "WUInfo.csv read back holds as many records");
    requireSame(written.substr(headerEnd + 1), wuInfoBytes(readBack).substr(headerEnd + 1),
                "WUInfo.csv read back writes the same bytes");
}

void supportRoundTrip(const WorkUnitList& store) {
    std::string written;
    std::size_t kept = 0;
    for (const WorkUnit& record : store) {
        if (!timesReadableAgain(record)) continue;
        SSExport::writeRecord(written, record);
        ++kept;
    }
    SSLog log;
    log.openBytes(written);
    std::string again;
    std::size_t count = 0;
    while (log.readRecord()) {
        SSExport::writeRecord(again, log.record);
        ++count;
    }
    require(count == kept, "support data read back holds as many records");
    requireSame(written, again, "support data read back writes the same bytes");
}

void mergeIntoItself(const WorkUnitList& store) {
    WorkUnitList twice;
    for (const WorkUnit& record : store) {
        twice.add(record);
        twice.add(record);
    }
    require(twice.size() == store.size(), "a record merged into itself adds no record");
    for (std::size_t i = 0; i < store.size(); ++i)
        require(sameRecord(twice[i], store[i]), "a record merged into itself changes nothing");
}

void allRecordChecks(const WorkUnitList& store) {
    wuInfoRoundTrip(store);
    supportRoundTrip(store);
    mergeIntoItself(store);
}

namespace {

bool sameRecordAsRead(const WorkUnit& a, const WorkUnit& b, bool withUpdate) {
    if (withUpdate) return sameRecord(a, b);
    WorkUnit withItsUpdate = b;
    withItsUpdate.Update = a.Update;
    return sameRecord(a, withItsUpdate);
}

}  // namespace

void requireSameRecords(const std::vector<WorkUnit>& first, const std::vector<WorkUnit>& second,
                        bool withUpdate, const char* what) {
    require(first.size() == second.size(), what);
    for (std::size_t i = 0; i < first.size(); ++i)
        require(sameRecordAsRead(first[i], second[i], withUpdate), what);
}

void requireSameStores(const WorkUnitList& first, const WorkUnitList& second, bool withUpdate,
                       const char* what) {
    require(first.size() == second.size(), what);
    for (std::size_t i = 0; i < first.size(); ++i)
        require(sameRecordAsRead(first[i], second[i], withUpdate), what);
    require(first.columns == second.columns, what);
}

BatchSizes batchSizesOf(std::uint8_t knob) {
    // 2400 bytes is about one record of either file, a little more than a WUInfo.csv row.
    return {BatchSize(1 + (knob & 63u)), BatchSize(1 + (knob >> 6) * 2400u)};
}

void batchedWritesMatch(const WorkUnitList& store, BatchSize batch) {
    requireSame(wuInfoBytes(store), wuInfoBytes(store, batch),
                "WUInfo.csv written in batches holds the bytes of one piece");
    std::string whole;
    for (const WorkUnit& record : store) SSExport::writeRecord(whole, record);
    requireSame(whole, SSExport::exportBytes(store, batch),
                "the support data file written in batches holds the bytes of one piece");
}

}  // namespace fuzzcheck
