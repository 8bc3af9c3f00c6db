// Property checks shared by the fuzz targets: a failed one aborts, so libFuzzer reports the
// input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "record/WorkUnit.h"
#include "record/WorkUnitList.h"

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

}  // namespace fuzzcheck
