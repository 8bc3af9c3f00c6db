// Tests of the store: one record per name in order of first insertion, merging on add (also
// from its own working record), and a stable sort that keeps the name index right.
#include <gtest/gtest.h>

#include <string>

#include "record/WorkUnitList.h"

namespace {

WorkUnit reading(const std::string& name, double prog, double timeStamp = 0) {
    WorkUnit w;
    w.name = name;
    w.prog = prog;
    if (timeStamp != 0) w.TimeStamp.setJulian(timeStamp);
    return w;
}

}  // namespace

TEST(WorkUnitList, ResetEmptiesEverything) {
    WorkUnitList store;
    ASSERT_EQ(store.columns.size(), 101u);
    for (int i = 0; i < 101; ++i) EXPECT_EQ(store.columns[static_cast<std::size_t>(i)], i);

    store.add(reading("a", 0.5));
    store.working = reading("w", 0.5);
    store.columns = {3, -1};
    store.reset();
    EXPECT_EQ(store.size(), 0u);
    EXPECT_TRUE(store.working.name.empty());
    EXPECT_EQ(store.columns.size(), 101u);
    EXPECT_EQ(store.columns.back(), 100);
    // The name index went too: the old name is new again and takes the new reading whole.
    EXPECT_TRUE(store.add(reading("a", 0.25)));
    ASSERT_EQ(store.size(), 1u);
    EXPECT_EQ(store[0].prog, 0.25);
    EXPECT_EQ(store.fieldIndex("bg_pot 63"), 100);
    EXPECT_EQ(store.fieldIndex("Name"), -1);
}

TEST(WorkUnitList, AddMergesByExactName) {
    WorkUnitList store;
    EXPECT_FALSE(store.add(reading("", 0.9)));
    EXPECT_EQ(store.size(), 0u);

    WorkUnit first = reading("wu", 0.25, 2451544.5);
    first.version = 3;
    first.Update.setJulian(2451545.5);
    WorkUnit second = reading("wu", 0.75, 2451600.5);
    second.version = 4;
    second.Update.setJulian(2451601.5);
    second.bs_power = 12;
    second.bg_score = 1;
    second.bg_chisq = 2;
    EXPECT_TRUE(store.add(first));
    EXPECT_TRUE(store.add(second));
    // An older reading still counts as added.
    EXPECT_TRUE(store.add(reading("wu", 0.1)));
    EXPECT_TRUE(store.add(reading("WU", 0.1)));

    ASSERT_EQ(store.size(), 2u);
    const WorkUnit& merged = store[0];
    EXPECT_EQ(merged.prog, 0.75);
    EXPECT_EQ(merged.bs_power, 12);
    EXPECT_EQ(merged.bg_score, 1);
    EXPECT_EQ(merged.Update.julianDate(), 2451601.5);
    EXPECT_EQ(merged.TimeStamp.julianDate(), 2451544.5);
    EXPECT_EQ(merged.version, 3);
    EXPECT_EQ(store[1].name, "WU");
}

TEST(WorkUnitList, KeepsFirstInsertionOrder) {
    WorkUnitList store;
    const char* names[] = {"m", "c", "x", "a", "c", "m", "b"};
    for (int i = 0; i < 7; ++i) store.add(reading(names[i], i));
    const char* expected[] = {"m", "c", "x", "a", "b"};
    ASSERT_EQ(store.size(), 5u);
    std::size_t i = 0;
    for (const WorkUnit& w : store) {
        SCOPED_TRACE(i);
        EXPECT_EQ(w.name, expected[i++]);
    }
    EXPECT_EQ(store[0].prog, 5);  // "m" merged the reading at position 5
    EXPECT_EQ(store[1].prog, 4);
}

TEST(WorkUnitList, AddsItsOwnWorkingRecord) {
    WorkUnitList store;
    store.working = reading("wu", 0.25);
    EXPECT_TRUE(store.add(store.working));
    store.working.prog = 0.5;
    store.working.cpu = 30;
    EXPECT_TRUE(store.add(store.working));
    store.working.clear();
    EXPECT_FALSE(store.add(store.working));
    ASSERT_EQ(store.size(), 1u);
    EXPECT_EQ(store[0].prog, 0.5);
    EXPECT_EQ(store[0].cpu, 30);
    // A stored record handed back in is merged with itself: nothing changes.
    EXPECT_TRUE(store.add(store[0]));
    EXPECT_EQ(store.size(), 1u);
}

TEST(WorkUnitList, AddsManyDistinctNames) {
    // Growth moves the stored records; every name must still find its own record.
    WorkUnitList store;
    const int count = 5000;
    for (int i = 0; i < count; ++i) store.add(reading("wu" + std::to_string(i), 0.5));
    for (int i = count - 1; i >= 0; --i) store.add(reading("wu" + std::to_string(i), 0.5 + i));
    ASSERT_EQ(store.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(store[static_cast<std::size_t>(i)].name, "wu" + std::to_string(i));
        ASSERT_EQ(store[static_cast<std::size_t>(i)].prog, i == 0 ? 0.5 : 0.5 + i);
    }
}

TEST(WorkUnitList, SortIsStableByTimeStamp) {
    WorkUnitList store;
    store.sort(1);  // empty: only the selector is set
    EXPECT_EQ(sortField(), 1);
    EXPECT_EQ(store.size(), 0u);

    // 300 records, three set stamps and the unset one, inserted in a mixed order; the
    // insertion number is in cpu.
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
        SCOPED_TRACE(i);
        double before = store[i - 1].TimeStamp.julianDate();
        double after = store[i].TimeStamp.julianDate();
        ASSERT_LE(before, after);
        if (before == after) {
            ASSERT_LT(store[i - 1].cpu, store[i].cpu);
        }
    }

    // The name index follows the records: later readings merge into the right one.
    for (int i = 0; i < 300; i += 7) {
        WorkUnit later = reading("wu" + std::to_string(i), 0.9);
        later.cpu = 1000 + i;
        store.add(later);
    }
    EXPECT_EQ(store.size(), 300u);
    for (const WorkUnit& w : store) {
        int number = std::stoi(w.name.substr(2));
        SCOPED_TRACE(w.name);
        EXPECT_EQ(w.cpu, number % 7 == 0 ? 1000 + number : number);
    }

    // Another field: by name, byte-wise.
    store.sort(2);
    EXPECT_EQ(sortField(), 2);
    EXPECT_EQ(store[0].name, "wu0");
    EXPECT_EQ(store[1].name, "wu1");
    EXPECT_EQ(store[2].name, "wu10");
    store.sort(1);
}
