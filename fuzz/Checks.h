// Property checks shared by the fuzz targets: a failed one aborts, so libFuzzer reports the
// input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "record/WorkUnit.h"
#include "store/Batches.h"
#include "store/WorkUnitList.h"

namespace fuzzcheck {

// Aborts with `what` on standard error when `holds` is false.
void require(bool holds, const char* what);

// The fuzzer's bytes as a text.
inline std::string bytesOf(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Aborts when the texts differ, showing both around the first byte where they part.
void requireSame(const std::string& first, const std::string& second, const char* what);

// Every record of `store` written to WUInfo.csv and read back writes the same bytes again.
void wuInfoRoundTrip(const WorkUnitList& store);
// Every record written to the support data file and read back writes the same bytes again.
void supportRoundTrip(const WorkUnitList& store);
// Adding every record a second time, right after itself, changes nothing in the store.
void mergeIntoItself(const WorkUnitList& store);
// The three above.
void allRecordChecks(const WorkUnitList& store);

// Aborts unless both hold the same records in the same order, every field alike (date-times
// by their Julian Date), `Update` too when `withUpdate` is set.
void requireSameRecords(const std::vector<WorkUnit>& first, const std::vector<WorkUnit>& second,
                        bool withUpdate, const char* what);
// The same for two stores, and their column orders alike.
void requireSameStores(const WorkUnitList& first, const WorkUnitList& second, bool withUpdate,
                       const char* what);

// The batch sizes a target of the batched readers and writers takes from the first byte of
// its input: the low six bits give the readers 1 to 64 bytes, so that an input is cut at
// nearly every place it may be; the two high bits give the writers 1 to 4 records a batch.
struct BatchSizes {
    BatchSize read;
    BatchSize write;
};
BatchSizes batchSizesOf(std::uint8_t knob);

// The store written as WUInfo.csv and as a support data file in batches of `batch` bytes
// gives the bytes of each writer made in one piece.
void batchedWritesMatch(const WorkUnitList& store, BatchSize batch);

}  // namespace fuzzcheck
