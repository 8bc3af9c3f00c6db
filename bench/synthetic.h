// Synthetic work units for the benchmarks and the data generator: plausible values, every
// field filled, repeatable from a seed.
#pragma once

#include <cstdint>
#include <string>

#include "record/WorkUnit.h"

// The i-th synthetic work unit; `reading` 0, 1, ... gives further-along readings of it.
WorkUnit syntheticWorkUnit(std::uint32_t i, int reading = 0);

// An I4WU export of work units first .. first + count - 1, with its header row.
std::string syntheticI4wuExport(std::uint32_t first, std::uint32_t count);
