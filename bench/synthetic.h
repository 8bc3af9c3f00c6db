// Synthetic work units and the files they come in, for the benchmarks and the data generator:
// plausible values, every field filled, repeatable (the same arguments give the same bytes).
#pragma once

#include <cstdint>
#include <string>

#include "record/WorkUnit.h"

// The i-th synthetic work unit; `reading` 0, 1, ... gives further-along readings of it.
// Names are distinct for every i below 2^32; arrival times spread over about four years.
WorkUnit syntheticWorkUnit(std::uint32_t i, int reading = 0);

// An I4WU export of the second readings of work units first .. first + count - 1: the
// header row of I4WU's column titles, then one row per unit, CR LF line ends.
std::string syntheticI4wuExport(std::uint32_t first, std::uint32_t count);

// A SETILog export of the second readings of work units first .. first + count - 1: the
// header row of SETILog's column names, then one row per unit in the order they were logged
// (by date), CR LF line ends.
std::string syntheticSetiLogExport(std::uint32_t first, std::uint32_t count);

// A client result file of work unit 0 with `signals` signal lines, spikes and gaussians
// (about two in five, each with its power curve) in runs under context lines of the four
// FFT lengths the client searches. Every signal differs from every other one while
// `signals` stays below 976,000, so a reader keeps them all.
std::string syntheticResultFile(std::uint32_t signals);
