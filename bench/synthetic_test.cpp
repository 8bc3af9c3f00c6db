// The generated files read back, through the programs' own readers, as the units and signals
// they were made from: the benchmarks time what they claim to time.
#include "bench/synthetic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>

#include "clientfiles/ResFile.h"
#include "formats/I4WU.h"
#include "formats/SETILog.h"
#include "store/WorkUnitList.h"

namespace {

// Reads every row of an export into a store, the way the merge tool folds one in.
template <typename Reader>
std::size_t foldInto(WorkUnitList& store, Reader& reader, std::set<std::string>& names) {
    std::size_t rows = 0;
    while (reader.readRecord()) {
        if (reader.record.name.empty()) continue;
        ++rows;
        names.insert(reader.record.name);
        store.add(reader.record);
    }
    return rows;
}

struct Overlap {
    std::uint32_t units;  // in the database
    std::uint32_t first;  // the exports' first unit
};

void PrintTo(const Overlap& o, std::ostream* out) {
    *out << o.units << " units, exports from unit " << o.first;
}

class ExportMerge : public ::testing::TestWithParam<Overlap> {};

// Database units 0 .. units-1, export rows first .. first+units-1: the merge holds
// first + units distinct units, every row was read, and each row's values sit in their
// own fields.
TEST_P(ExportMerge, SetiLogAndI4wuRowsMergeIntoTheExpectedUnits) {
    const Overlap o = GetParam();
    for (int format = 0; format < 2; ++format) {
        SCOPED_TRACE(format == 0 ? "SETILog" : "I4WU");
        WorkUnitList store;
        for (std::uint32_t i = 0; i < o.units; ++i) store.add(syntheticWorkUnit(i));
        std::set<std::string> names;
        std::size_t rows = 0;
        if (format == 0) {
            SETILog reader;
            reader.openBytes(syntheticSetiLogExport(o.first, o.units));
            rows = foldInto(store, reader, names);
        } else {
            I4WU reader;
            reader.openBytes(syntheticI4wuExport(o.first, o.units));
            rows = foldInto(store, reader, names);
        }
        EXPECT_EQ(rows, o.units);
        EXPECT_EQ(names.size(), o.units);
        EXPECT_EQ(store.size(), static_cast<std::size_t>(o.first) + o.units);
        for (std::uint32_t i : {o.first, o.first + o.units / 2, o.first + o.units - 1}) {
            const WorkUnit want = syntheticWorkUnit(i, 1);
            const auto got = std::find_if(store.begin(), store.end(),
                                          [&](const WorkUnit& w) { return w.name == want.name; });
            ASSERT_NE(got, store.end()) << want.name;
            EXPECT_DOUBLE_EQ(got->prog, want.prog);
            EXPECT_NEAR(got->start_dec, want.start_dec, 1e-5);
            EXPECT_NEAR(got->bs_power, want.bs_power, 1e-6);
            EXPECT_NEAR(got->bg_chirp_rate, want.bg_chirp_rate, 1e-6);
            EXPECT_EQ(got->bg_fft_ind, want.bg_fft_ind);
            EXPECT_NEAR(got->subband_base, want.subband_base, 1e-3);
            EXPECT_NEAR(got->time_recorded.julianDate(), want.time_recorded.julianDate(),
                        2.0 / 86400);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExportMerge,
                         ::testing::Values(Overlap{1, 0}, Overlap{1, 1}, Overlap{10, 5},
                                           Overlap{3000, 1500}, Overlap{70000, 35000}));

// SETILog takes a row's arrival from the row before, so the rows must run in date order
// for the arrival times to be dates the unit was in the queue.
TEST(SyntheticSetiLog, RowsRunInDateOrder) {
    SETILog reader;
    reader.openBytes(syntheticSetiLogExport(0, 2000));
    double last = 0;
    int rows = 0;
    while (reader.readRecord()) {
        const double update = reader.record.Update.julianDate();
        EXPECT_GE(update, last) << reader.record.name;
        if (rows > 0) {
            EXPECT_LT(reader.record.TimeStamp.julianDate(), update + 1e-9);
        }
        last = update;
        ++rows;
    }
    EXPECT_EQ(rows, 2000);
}

class ResultSignals : public ::testing::TestWithParam<std::uint32_t> {};

// Every signal line becomes a signal (none is refused as equal to another), two in five are
// gaussians, and each takes its FFT length from a context line.
TEST_P(ResultSignals, EveryLineIsASignalOfItsKind) {
    const std::uint32_t m = GetParam();
    ResFile reader;
    reader.openBytes(syntheticResultFile(m));
    ASSERT_TRUE(reader.read());
    EXPECT_EQ(reader.record.name, syntheticWorkUnit(0).name);
    const std::uint32_t gaussians = 2 * (m / 5) + (m % 5 > 1) + (m % 5 > 3);
    EXPECT_EQ(reader.gaussians.size(), gaussians);
    EXPECT_EQ(reader.spikes.size(), m - gaussians);
    const std::set<int> lengths{131072, 16384, 4096, 65536};
    for (std::size_t i = 0; i < reader.gaussians.size(); i += 97) {
        const Gaussian& g = reader.gaussians[i];
        EXPECT_TRUE(lengths.count(g.fft_len)) << g.fft_len;
        EXPECT_GT(*std::max_element(g.pot.begin(), g.pot.end()), 200);
        EXPECT_GT(g.sigma, 0.0);
    }
    for (std::size_t i = 0; i < reader.spikes.size(); i += 97) {
        EXPECT_TRUE(lengths.count(reader.spikes[i].fft_len)) << reader.spikes[i].fft_len;
        EXPECT_GT(reader.spikes[i].power, 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, ResultSignals, ::testing::Values(0u, 1u, 4u, 41u, 200000u));

}  // namespace
