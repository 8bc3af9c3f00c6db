// Tests of the work-unit record: the 101-key field table and its lookup, storing values by
// field index, the merge rule, the gaussian tests and ordering by the selected field.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "record/WorkUnit.h"

namespace {

// A reading of "wu" with every other field set from `value`, and the three date-times set.
WorkUnit readingWith(const char* value, double julianDate) {
    WorkUnit w;
    for (int index = 2; index < WorkUnitFieldCount; ++index) w.setField(index, value);
    w.name = "wu";
    w.Update.setJulian(julianDate);
    w.TimeStamp.setJulian(julianDate + 1);
    w.time_recorded.setJulian(julianDate + 2);
    return w;
}

// True when a and b agree in the field of one declaration number.
bool sameField(const WorkUnit& a, const WorkUnit& b, int declarationNumber) {
    return !lessByField(a, b, declarationNumber) && !lessByField(b, a, declarationNumber);
}

}  // namespace

TEST(WorkUnitFields, TableAndExactLookup) {
    // 101 keys, each found at its own index; "bg_pot i" at 37 + i.
    for (int i = 0; i < WorkUnitFieldCount; ++i) EXPECT_EQ(fieldIndex(fieldKey(i)), i) << i;
    for (int i = 0; i < 64; ++i) EXPECT_EQ(fieldIndex("bg_pot " + std::to_string(i)), 37 + i);
    struct Case {
        const char* key;
        int index;
    };
    const Case cases[] = {
        {"bg_pot 0", 37},  {"bg_pot 63", 100}, {"name", 3},  {"bg_pot 64", -1},
        {"bg_pot 05", -1}, {"bg_pot 5 ", -1},  {"NAME", -1}, {"", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(fieldIndex(c.key), c.index) << c.key;
    // A key followed by other bytes in a longer buffer is no key.
    EXPECT_EQ(fieldIndex(std::string_view("name\0x", 6)), -1);
    EXPECT_EQ(fieldIndex(std::string_view("namex", 4)), 3);
}

TEST(WorkUnitFields, SetFieldKeepsUnreadableNumbersAndRefusesOtherIndexes) {
    WorkUnit w;
    w.version = 5;
    EXPECT_TRUE(w.setField(2, "x5"));  // still an index setField handles
    EXPECT_EQ(w.version, 5);
    EXPECT_TRUE(w.setField(4, "10"));  // splitter_version is always hexadecimal
    EXPECT_EQ(w.splitter_version, 16);
    // Texts lose their NUL bytes (no file but the support data file could carry them on), and
    // keep every other byte, a double quote among them.
    using namespace std::string_literals;
    EXPECT_TRUE(w.setField(3, "\0a\0\"b\0"s));
    EXPECT_EQ(w.name, "a\"b");
    EXPECT_TRUE(w.setField(18, "\0\0"s));
    EXPECT_EQ(w.receiver, "");
    EXPECT_TRUE(w.setField(19, "4\0.1\x1a"s));
    EXPECT_EQ(w.tape_version, "4.1\x1a");
    for (int i = 0; i < 64; ++i) EXPECT_TRUE(w.setField(37 + i, std::to_string(i) + ".5"));
    for (std::size_t i = 0; i < 64; ++i) EXPECT_EQ(w.bg_pot[i], static_cast<double>(i) + 0.5);
    // Date-times and indexes outside the table are not stored here.
    for (int index : {0, 1, 9, -1, 101, INT_MIN}) {
        EXPECT_FALSE(w.setField(index, "2451544.5")) << index;
    }
    EXPECT_FALSE(w.Update.isSet());
    EXPECT_FALSE(w.TimeStamp.isSet());
    EXPECT_FALSE(w.time_recorded.isSet());
    EXPECT_EQ(w.version, 5);
}

TEST(WorkUnit, GaussianTests) {
    struct Case {
        const char* label;
        void (*change)(WorkUnit&);
        bool has;
        bool full;
    };
    const Case cases[] = {
        {"full", [](WorkUnit&) {}, true, true},
        {"no name", [](WorkUnit& w) { w.name.clear(); }, false, false},
        {"chisq 0", [](WorkUnit& w) { w.bg_chisq = 0; }, false, false},
        {"score 0", [](WorkUnit& w) { w.bg_score = 0; }, false, false},
        {"sigma 0", [](WorkUnit& w) { w.bg_sigma = 0; }, true, false},
        {"pots 0", [](WorkUnit& w) { w.bg_pot.fill(0.0); }, true, false},
        {"last pot only",
         [](WorkUnit& w) {
             w.bg_pot.fill(0.0);
             w.bg_pot[63] = -1;
         },
         true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WorkUnit w = readingWith("1", 2451544.5);
        c.change(w);
        EXPECT_EQ(w.hasGaussian(), c.has);
        EXPECT_EQ(w.hasFullGaussian(), c.full);
    }
}

TEST(WorkUnitMerge, FurtherReadingBringsProgressSpikeGaussianAndUpdate) {
    // Two readings of one work unit that differ in every other field; the second is further
    // along. Field by field (declaration numbers), Update and 20 to 36 come from it, the
    // header stays the first's.
    const WorkUnit first = readingWith("1", 2451544.5);
    const WorkUnit second = readingWith("2", 2451600.5);
    WorkUnit merged = first;
    ASSERT_TRUE(merged.mergeFrom(second));
    for (int field = 0; field < 37; ++field) {
        const WorkUnit& expected = field == 0 || field >= 20 ? second : first;
        EXPECT_TRUE(sameField(merged, expected, field)) << "declaration number " << field;
    }
    EXPECT_EQ(merged.bg_pot, second.bg_pot);
}

TEST(WorkUnitMerge, GaussianGroupRule) {
    struct Case {
        const char* label;
        bool targetHas;
        void (*source)(WorkUnit&);  // changes a further reading with a full gaussian
        bool sourceGroup;           // the merged record holds the source's gaussian group
    };
    const Case cases[] = {
        // A source without a gaussian leaves the target's in place.
        {"source score 0", true, [](WorkUnit& s) { s.bg_score = 0; }, false},
        {"source chisq 0", true, [](WorkUnit& s) { s.bg_chisq = 0; }, false},
        // Score and chi-square set but every power value 0: the whole group replaces.
        {"source all-zero pots", true, [](WorkUnit& s) { s.bg_pot.fill(0.0); }, true},
        {"source full", true, [](WorkUnit&) {}, true},
        // A target without a gaussian always takes the source's group, even an empty one.
        {"target none, source none", false, [](WorkUnit& s) { s.bg_score = 0; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WorkUnit target = readingWith("1", 2451544.5);
        target.prog = 0.25;
        if (!c.targetHas) target.bg_chisq = 0;
        const WorkUnit before = target;
        WorkUnit source = readingWith("2", 2451600.5);
        c.source(source);
        ASSERT_TRUE(target.mergeFrom(source));
        EXPECT_EQ(target.prog, 2);
        for (int field = 28; field < 37; ++field) {
            const WorkUnit& owner = c.sourceGroup ? source : before;
            EXPECT_TRUE(sameField(target, owner, field)) << "declaration number " << field;
        }
        EXPECT_EQ(target.bg_pot, c.sourceGroup ? source.bg_pot : before.bg_pot);
    }
}

TEST(WorkUnitMerge, RefusalsChangeNothing) {
    // A reading that is not further along changes nothing, even Update; another name is
    // refused; the record itself merges as a no-op.
    WorkUnit target = readingWith("1", 2451544.5);
    target.prog = 0.5;
    const WorkUnit before = target;
    WorkUnit equal = readingWith("2", 2451600.5);
    equal.prog = 0.5;
    WorkUnit older = equal;
    older.prog = 0.25;
    WorkUnit other = readingWith("2", 2451600.5);
    other.name = "WU";
    EXPECT_TRUE(target.mergeFrom(equal));
    EXPECT_TRUE(target.mergeFrom(older));
    EXPECT_FALSE(target.mergeFrom(other));
    EXPECT_TRUE(target.mergeFrom(target));
    for (int field = 0; field < 37; ++field) {
        EXPECT_TRUE(sameField(target, before, field)) << "declaration number " << field;
    }
    EXPECT_EQ(target.bg_pot, before.bg_pot);
    EXPECT_EQ(other.name, "WU");
}

TEST(WorkUnitOrder, SelectorAndSetFieldAgreeOnEveryField) {
    // The field-table index of each declaration number: the two numberings differ (name is 2
    // in one and 3 in the other). For each number, b is made greater than a in that field
    // alone, through setField: so setField stores into the field of its key, and the selector
    // compares that field and no other.
    const int tableIndex[37] = {0,  1,  3,  2,  4,  5,  7,  6,  8,  9,  13, 12, 11,
                                10, 14, 15, 16, 17, 18, 19, 20, 21, 23, 22, 26, 24,
                                25, 27, 28, 30, 32, 29, 31, 33, 34, 36, 35};
    WorkUnit a = readingWith("1", 2451544.5);
    a.name = "1";
    for (int changed = 0; changed < 37; ++changed) {
        WorkUnit b = a;
        switch (tableIndex[changed]) {
            case 0: b.Update.setJulian(2451600.5); break;
            case 1: b.TimeStamp.setJulian(2451600.5); break;
            case 9: b.time_recorded.setJulian(2451600.5); break;
            default: ASSERT_TRUE(b.setField(tableIndex[changed], "2"));
        }
        for (int selected = 0; selected < 37; ++selected) {
            SCOPED_TRACE("field changed " + std::to_string(changed) + ", selector " +
                         std::to_string(selected));
            EXPECT_EQ(lessByField(a, b, selected), selected == changed);
            EXPECT_FALSE(lessByField(b, a, selected));
        }
    }
    // Texts byte-wise, bytes unsigned, a proper prefix first.
    WorkUnit z, accented, prefix;
    z.name = "z";
    accented.name = "\xe9";
    prefix.name = "zz";
    EXPECT_TRUE(lessByField(z, accented, 2));
    EXPECT_TRUE(lessByField(z, prefix, 2));
    // Unset time stamps compare equal whatever their fields, and come first.
    WorkUnit unset, set;
    unset.TimeStamp.setUtc(1984, 1, 0, 0, 0, 0);
    unset.TimeStamp.zoneOffset = 3600;
    set.TimeStamp.setJulian(2445700.5);
    EXPECT_FALSE(lessByField(unset, WorkUnit(), 1));
    EXPECT_FALSE(lessByField(WorkUnit(), unset, 1));
    EXPECT_TRUE(lessByField(unset, set, 1));
    // No such field: everything compares equal.
    for (int selector : {37, -1}) EXPECT_FALSE(lessByField(z, accented, selector));
}
