// Tests of the store: one record per name in order of first insertion, merging on add (also
// from its own working record), and a stable sort that keeps the name index right.
#include <gtest/gtest.h>

#include <string>

#include "store/WorkUnitList.h"

namespace {

WorkUnit reading(const std::string& name, double prog, double timeStamp = 0) {
    WorkUnit w;
    w.name = name;
    w.prog = prog;
    if (timeStamp != 0) w.TimeStamp.setJulian(timeStamp);
    return w;
}

}  // namespace

TEST(WorkUnitList, AddMergesByExactNameInFirstInsertionOrder) {
    WorkUnitList store;
    EXPECT_FALSE(store.add(reading("", 0.9)));
    // Growth moves the stored records; every name must still find its own record.
    for (int i = 0; i < 2000; ++i) store.add(reading("wu" + std::to_string(i), 0.5));
    WorkUnit further = reading("wu8", 0.75, 2451600.5);
    further.bs_power = 12;
    EXPECT_TRUE(store.add(further));
    EXPECT_TRUE(store.add(reading("wu8", 0.1)));  // an older reading still counts as added
    EXPECT_TRUE(store.add(reading("WU8", 0.1)));
    for (int i = 1999; i >= 0; i -= 3) store.add(reading("wu" + std::to_string(i), 1.0 + i));

    ASSERT_EQ(store.size(), 2001u);
    for (int i = 0; i < 2000; ++i) {
        const WorkUnit& w = store[static_cast<std::size_t>(i)];
        ASSERT_EQ(w.name, "wu" + std::to_string(i));
        ASSERT_EQ(w.prog, (1999 - i) % 3 == 0 ? 1.0 + i : i == 8 ? 0.75 : 0.5) << w.name;
    }
    // The merge rule of the record: the first reading keeps its header.
    EXPECT_EQ(store[8].bs_power, 12);
    EXPECT_FALSE(store[8].TimeStamp.isSet());
    EXPECT_EQ(store[2000].name, "WU8");
}

TEST(WorkUnitList, MergesItsOwnRecordsAndResets) {
    WorkUnitList store;
    WorkUnit record = reading("wu", 0.25);
    EXPECT_TRUE(store.add(record));
    record.prog = 0.5;
    EXPECT_TRUE(store.add(record));
    EXPECT_TRUE(store.add(store[0]));  // a stored record handed back in merges with itself
    ASSERT_EQ(store.size(), 1u);
    EXPECT_EQ(store[0].prog, 0.5);

    store.columns = {3, -1};
    store.reset();
    EXPECT_EQ(store.size(), 0u);
    ASSERT_EQ(store.columns.size(), 101u);
    EXPECT_EQ(store.columns[0], 0);
    EXPECT_EQ(store.columns[100], 100);
    // The name index went too: the old name is new again and takes the new reading whole.
    EXPECT_TRUE(store.add(reading("wu", 0.25)));
    ASSERT_EQ(store.size(), 1u);
    EXPECT_EQ(store[0].prog, 0.25);
}

TEST(WorkUnitList, SortIsStableAndKeepsTheNameIndex) {
    WorkUnitList store;
    store.sort(1);  // empty: nothing to order
    EXPECT_EQ(store.size(), 0u);

    // Three set stamps and the unset one, in a mixed order; the insertion number is in cpu.
    const double stamps[] = {2451546.5, 0, 2451545.5, 2451544.5, 2451545.5, 0};
    for (int i = 0; i < 300; ++i) {
        WorkUnit w = reading("wu" + std::to_string(i), 0.5, stamps[i % 6]);
        w.cpu = i;
        store.add(w);
    }
    store.sort(1);
    ASSERT_EQ(store.size(), 300u);
    EXPECT_FALSE(store[0].TimeStamp.isSet());
    EXPECT_EQ(store[0].cpu, 1);
    for (std::size_t i = 1; i < store.size(); ++i) {
        const double before = store[i - 1].TimeStamp.julianDate();
        const double after = store[i].TimeStamp.julianDate();
        ASSERT_LE(before, after) << i;
        ASSERT_TRUE(before != after || store[i - 1].cpu < store[i].cpu) << i;
    }

    // Later readings merge into the right records.
    for (int i = 0; i < 300; i += 7) {
        WorkUnit later = reading("wu" + std::to_string(i), 0.9);
        later.cpu = 1000 + i;
        store.add(later);
    }
    EXPECT_EQ(store.size(), 300u);
    for (const WorkUnit& w : store) {
        const int number = std::stoi(w.name.substr(2));
        EXPECT_EQ(w.cpu, number % 7 == 0 ? 1000 + number : number) << w.name;
    }
    store.sort(2);  // by name, byte-wise
    EXPECT_EQ(store[2].name, "wu10");
    store.sort(1);
}
