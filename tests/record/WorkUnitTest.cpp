// Tests of the work-unit record: the 101-key field table and its lookup, storing values by
// field index, the merge rule, the gaussian tests and ordering by the selected field.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "record/WorkUnit.h"

namespace {

WorkUnit reading(const std::string& name, double prog) {
    WorkUnit w;
    w.name = name;
    w.prog = prog;
    return w;
}

// A best gaussian with score, chi-square, sigma and one power value set.
void giveFullGaussian(WorkUnit& w, double base) {
    w.bg_score = base + 1;
    w.bg_power = base + 2;
    w.bg_chisq = base + 3;
    w.bg_sigma = base + 4;
    w.bg_pot.fill(0.0);
    w.bg_pot[5] = base + 5;
    w.bg_true_mean = base + 6;
    w.bg_bin = static_cast<int>(base) + 7;
    w.bg_fft_ind = static_cast<int>(base) + 8;
    w.bg_fft_len = static_cast<int>(base) + 9;
    w.bg_chirp_rate = base + 10;
}

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
    const int saved = sortField();
    setSortField(declarationNumber);
    const bool same = !lessByField(a, b) && !lessByField(b, a);
    setSortField(saved);
    return same;
}

}  // namespace

TEST(WorkUnitFields, TableHoldsTheKeysInOrder) {
    EXPECT_EQ(WorkUnitFieldNames[WorkUnitFieldCount], nullptr);
    const char* const firstKeys[] = {
        "Update", "TimeStamp", "version", "name", "splitter_version", "start_ra", "start_dec",
        "end_ra", "end_dec", "time_recorded", "subband_center", "subband_base",
        "subband_sample_rate", "nsamples", "angle_range", "fft_len", "ifft_len",
        "subband_number", "receiver", "tape_version", "cpu", "prog", "bs_power", "bs_score",
        "bs_bin", "bs_fft_ind", "bs_chirp_rate", "bs_fft_len", "bg_score", "bg_sigma",
        "bg_power", "bg_true_mean", "bg_chisq", "bg_bin", "bg_fft_ind", "bg_chirp_rate",
        "bg_fft_len"};
    static_assert(sizeof firstKeys / sizeof firstKeys[0] == FirstPotField);
    std::set<std::string> seen;
    for (int i = 0; i < WorkUnitFieldCount; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(WorkUnitFieldNames[i], nullptr);
        std::string expected =
            i < FirstPotField ? firstKeys[i] : "bg_pot " + std::to_string(i - FirstPotField);
        EXPECT_EQ(WorkUnitFieldNames[i], expected);
        EXPECT_EQ(fieldIndex(expected), i);
        seen.insert(expected);
    }
    EXPECT_EQ(seen.size(), 101u);
}

TEST(WorkUnitFields, LookupIsExact) {
    struct Case {
        const char* key;
        int index;
    };
    const Case cases[] = {
        {"bg_pot 0", 37},  {"bg_pot 63", 100}, {"name", 3},         {"Update", 0},
        {"bg_pot 64", -1}, {"bg_pot 05", -1},  {"bg_pot 5 ", -1},   {"bg_pot", -1},
        {"update", -1},    {"NAME", -1},       {" name", -1},       {"", -1},
        {"bg_pot  1", -1}, {"bs_chirp", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(fieldIndex(c.key), c.index);
    }
    // A key followed by other bytes in a longer buffer is no key.
    EXPECT_EQ(fieldIndex(std::string_view("name\0x", 6)), -1);
    EXPECT_EQ(fieldIndex(std::string_view("namex", 4)), 3);
}

TEST(WorkUnitFields, SetFieldStoresIntoTheFieldOfTheSameName) {
    // Every key gets a value of its own (its index plus a half), so a value stored into a
    // neighbour's field shows as a missing one here.
    const std::pair<const char*, double WorkUnit::*> reals[] = {
        {"start_ra", &WorkUnit::start_ra},         {"start_dec", &WorkUnit::start_dec},
        {"end_ra", &WorkUnit::end_ra},             {"end_dec", &WorkUnit::end_dec},
        {"subband_center", &WorkUnit::subband_center},
        {"subband_base", &WorkUnit::subband_base},
        {"subband_sample_rate", &WorkUnit::subband_sample_rate},
        {"angle_range", &WorkUnit::angle_range},   {"cpu", &WorkUnit::cpu},
        {"prog", &WorkUnit::prog},                 {"bs_power", &WorkUnit::bs_power},
        {"bs_score", &WorkUnit::bs_score},         {"bs_chirp_rate", &WorkUnit::bs_chirp_rate},
        {"bg_score", &WorkUnit::bg_score},         {"bg_sigma", &WorkUnit::bg_sigma},
        {"bg_power", &WorkUnit::bg_power},         {"bg_true_mean", &WorkUnit::bg_true_mean},
        {"bg_chisq", &WorkUnit::bg_chisq},         {"bg_chirp_rate", &WorkUnit::bg_chirp_rate},
    };
    const std::pair<const char*, std::int32_t WorkUnit::*> integers[] = {
        {"version", &WorkUnit::version},       {"nsamples", &WorkUnit::nsamples},
        {"fft_len", &WorkUnit::fft_len},       {"ifft_len", &WorkUnit::ifft_len},
        {"subband_number", &WorkUnit::subband_number},
        {"bs_bin", &WorkUnit::bs_bin},         {"bs_fft_ind", &WorkUnit::bs_fft_ind},
        {"bs_fft_len", &WorkUnit::bs_fft_len}, {"bg_bin", &WorkUnit::bg_bin},
        {"bg_fft_ind", &WorkUnit::bg_fft_ind}, {"bg_fft_len", &WorkUnit::bg_fft_len},
    };
    const std::pair<const char*, std::string WorkUnit::*> texts[] = {
        {"name", &WorkUnit::name},
        {"receiver", &WorkUnit::receiver},
        {"tape_version", &WorkUnit::tape_version},
    };
    WorkUnit w;
    for (int index = 2; index < WorkUnitFieldCount; ++index) {
        if (index == 9) continue;  // time_recorded: a date-time, not stored here
        EXPECT_TRUE(w.setField(index, std::to_string(index) + ".5")) << index;
    }
    for (const auto& [key, field] : reals) {
        SCOPED_TRACE(key);
        EXPECT_EQ(w.*field, fieldIndex(key) + 0.5);
    }
    for (const auto& [key, field] : integers) {
        SCOPED_TRACE(key);
        EXPECT_EQ(w.*field, fieldIndex(key));
    }
    for (const auto& [key, field] : texts) {
        SCOPED_TRACE(key);
        EXPECT_EQ(w.*field, std::to_string(fieldIndex(key)) + ".5");
    }
    EXPECT_EQ(w.splitter_version, 0x4);  // hexadecimal, up to the point
    for (int i = 0; i < 64; ++i) EXPECT_EQ(w.bg_pot[static_cast<std::size_t>(i)], 37 + i + 0.5);
    EXPECT_EQ(std::size(reals) + std::size(integers) + std::size(texts), 33u);
}

TEST(WorkUnitFields, SetFieldConversionsAndRefusals) {
    WorkUnit w;
    w.version = 5;
    w.cpu = 1.25;
    w.splitter_version = 0x42;
    // Unreadable numbers keep the field; the index is still one setField handles.
    EXPECT_TRUE(w.setField(2, "x5"));
    EXPECT_TRUE(w.setField(20, ""));
    EXPECT_TRUE(w.setField(4, "zz"));
    EXPECT_EQ(w.version, 5);
    EXPECT_EQ(w.cpu, 1.25);
    EXPECT_EQ(w.splitter_version, 0x42);
    // Overflow is refused, too.
    EXPECT_TRUE(w.setField(2, "99999999999"));
    EXPECT_EQ(w.version, 5);
    // Stream reading: leading blanks, the numeric prefix, the rest ignored.
    EXPECT_TRUE(w.setField(2, "  12.9abc"));
    EXPECT_EQ(w.version, 12);
    EXPECT_TRUE(w.setField(20, " 1e3 s"));
    EXPECT_EQ(w.cpu, 1000.0);
    // splitter_version is always hexadecimal, with or without the prefix.
    EXPECT_TRUE(w.setField(4, "10"));
    EXPECT_EQ(w.splitter_version, 16);
    EXPECT_TRUE(w.setField(4, "0xffffffff"));
    EXPECT_EQ(w.splitter_version, -1);

    // Date-times and indexes outside the table are not stored here.
    WorkUnit before = w;
    for (int index : {0, 1, 9, -1, 101, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(w.setField(index, "2451544.5"));
    }
    EXPECT_FALSE(w.Update.isSet());
    EXPECT_FALSE(w.TimeStamp.isSet());
    EXPECT_FALSE(w.time_recorded.isSet());
    EXPECT_EQ(w.version, before.version);
    EXPECT_EQ(w.cpu, before.cpu);
}

TEST(WorkUnit, ClearRestoresDefaults) {
    WorkUnit w = readingWith("3", 2451544.5);
    w.clear();
    const WorkUnit fresh;
    for (int field = 0; field < 37; ++field) EXPECT_TRUE(sameField(w, fresh, field)) << field;
    EXPECT_EQ(w.bg_pot, fresh.bg_pot);
}

TEST(WorkUnit, GaussianTests) {
    struct Case {
        const char* label;
        std::function<void(WorkUnit&)> change;
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
        {"last pot only", [](WorkUnit& w) { w.bg_pot.fill(0.0); w.bg_pot[63] = -1; }, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WorkUnit w = reading("wu", 0.5);
        giveFullGaussian(w, 1);
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
    ASSERT_TRUE(second.hasFullGaussian());
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
        std::function<void(WorkUnit&)> source;
        double expectedScore;  // bg_score of the target afterwards
        double expectedPot5;
    };
    const Case cases[] = {
        // A source without a gaussian leaves the target's in place.
        {"source has none", true, [](WorkUnit& s) { s.bg_power = 99; }, 2, 6},
        {"source score 0", true,
         [](WorkUnit& s) { giveFullGaussian(s, 20); s.bg_score = 0; }, 2, 6},
        // Score and chi-square set but every power value 0: the whole group replaces.
        {"source all-zero pots", true,
         [](WorkUnit& s) { giveFullGaussian(s, 20); s.bg_pot.fill(0.0); }, 21, 0},
        {"source full", true, [](WorkUnit& s) { giveFullGaussian(s, 20); }, 21, 25},
        // A target without a gaussian always takes the source's group, even an empty one.
        {"target none, source none", false, [](WorkUnit& s) { s.bg_power = 99; }, 0, 0},
        {"target none, source full", false, [](WorkUnit& s) { giveFullGaussian(s, 20); }, 21,
         25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WorkUnit target = reading("wu", 0.25);
        if (c.targetHas) giveFullGaussian(target, 1);
        WorkUnit source = reading("wu", 0.5);
        c.source(source);
        ASSERT_TRUE(target.mergeFrom(source));
        EXPECT_EQ(target.prog, 0.5);
        EXPECT_EQ(target.bg_score, c.expectedScore);
        EXPECT_EQ(target.bg_pot[5], c.expectedPot5);
        bool kept = c.expectedScore == 2;
        EXPECT_EQ(target.bg_power, kept ? 3 : source.bg_power);
    }
}

TEST(WorkUnitMerge, RefusalsChangeNothing) {
    WorkUnit target = reading("wu", 0.5);
    target.Update.setJulian(2451544.5);
    target.cpu = 7;

    // Equal progress: the stored reading wins entirely, Update included.
    WorkUnit equal = reading("wu", 0.5);
    equal.Update.setJulian(2451600.5);
    equal.cpu = 8;
    giveFullGaussian(equal, 1);
    EXPECT_TRUE(target.mergeFrom(equal));
    WorkUnit older = reading("wu", 0.25);
    older.cpu = 9;
    EXPECT_TRUE(target.mergeFrom(older));
    // Another name: false.
    WorkUnit other = reading("WU", 0.9);
    other.cpu = 10;
    EXPECT_FALSE(target.mergeFrom(other));
    // Itself: true.
    EXPECT_TRUE(target.mergeFrom(target));

    EXPECT_EQ(target.prog, 0.5);
    EXPECT_EQ(target.cpu, 7);
    EXPECT_EQ(target.Update.julianDate(), 2451544.5);
    EXPECT_FALSE(target.hasGaussian());
    EXPECT_EQ(other.cpu, 10);
    EXPECT_EQ(other.name, "WU");
}

TEST(WorkUnitOrder, SelectorUsesDeclarationNumbers) {
    // For each declaration number, a change that makes record a smaller than b in that field
    // alone. Numbers and table indexes differ (name is 2 here and 3 in the table).
    using Change = std::function<void(WorkUnit&, WorkUnit&)>;
    const std::vector<Change> fields = {
        [](WorkUnit& a, WorkUnit& b) { a.Update.setJulian(2451544.5); b.Update.setJulian(2451545.5); },
        [](WorkUnit& a, WorkUnit& b) { a.TimeStamp.setJulian(2451544.5); b.TimeStamp.setJulian(2451545.5); },
        [](WorkUnit& a, WorkUnit& b) { a.name = "z"; b.name = "\xe9"; },  // bytes unsigned
        [](WorkUnit& a, WorkUnit& b) { a.version = -1; b.version = 1; },
        [](WorkUnit& a, WorkUnit& b) { a.splitter_version = -1; b.splitter_version = 0; },
        [](WorkUnit& a, WorkUnit& b) { a.start_ra = 1; b.start_ra = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.end_ra = 1; b.end_ra = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.start_dec = -2; b.start_dec = -1; },
        [](WorkUnit& a, WorkUnit& b) { a.end_dec = 1; b.end_dec = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.time_recorded.setJulian(2451544.5); b.time_recorded.setJulian(2451544.6); },
        [](WorkUnit& a, WorkUnit& b) { a.nsamples = 1; b.nsamples = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.subband_sample_rate = 1; b.subband_sample_rate = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.subband_base = 1; b.subband_base = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.subband_center = 1; b.subband_center = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.angle_range = 1; b.angle_range = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.fft_len = 1; b.fft_len = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.ifft_len = 1; b.ifft_len = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.subband_number = 1; b.subband_number = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.receiver = "a"; b.receiver = "a "; },  // prefix first
        [](WorkUnit& a, WorkUnit& b) { a.tape_version = "Z"; b.tape_version = "a"; },
        [](WorkUnit& a, WorkUnit& b) { a.cpu = 1; b.cpu = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.prog = 0.1; b.prog = 0.2; },
        [](WorkUnit& a, WorkUnit& b) { a.bs_score = 1; b.bs_score = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bs_power = 1; b.bs_power = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bs_chirp_rate = 1; b.bs_chirp_rate = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bs_bin = 1; b.bs_bin = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bs_fft_ind = 1; b.bs_fft_ind = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bs_fft_len = 1; b.bs_fft_len = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_score = 1; b.bg_score = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_power = 1; b.bg_power = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_chisq = 1; b.bg_chisq = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_sigma = 1; b.bg_sigma = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_true_mean = 1; b.bg_true_mean = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_bin = 1; b.bg_bin = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_fft_ind = 1; b.bg_fft_ind = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_fft_len = 1; b.bg_fft_len = 2; },
        [](WorkUnit& a, WorkUnit& b) { a.bg_chirp_rate = 1; b.bg_chirp_rate = 2; },
    };
    ASSERT_EQ(fields.size(), 37u);
    const int saved = sortField();
    for (int changed = 0; changed < 37; ++changed) {
        WorkUnit a, b;
        fields[static_cast<std::size_t>(changed)](a, b);
        for (int selected = 0; selected < 37; ++selected) {
            SCOPED_TRACE("field changed " + std::to_string(changed) + ", selector " +
                         std::to_string(selected));
            setSortField(selected);
            EXPECT_EQ(lessByField(a, b), selected == changed);
            EXPECT_FALSE(lessByField(b, a));
        }
    }
    // No such field: everything compares equal.
    WorkUnit a, b;
    fields[3](a, b);
    setSortField(37);
    EXPECT_FALSE(lessByField(a, b));
    setSortField(-1);
    EXPECT_FALSE(lessByField(a, b));
    setSortField(saved);
}

TEST(WorkUnitOrder, UnsetTimeStampsAreEqualAndFirst) {
    const int saved = sortField();
    setSortField(1);
    WorkUnit unset1, unset2, set;
    unset2.TimeStamp.setUtc(1984, 1, 0, 0, 0, 0);  // other fields, same Julian Date
    unset2.TimeStamp.zoneOffset = 3600;
    set.TimeStamp.setJulian(2445700.5);
    EXPECT_FALSE(lessByField(unset1, unset2));
    EXPECT_FALSE(lessByField(unset2, unset1));
    EXPECT_TRUE(lessByField(unset1, set));
    EXPECT_FALSE(lessByField(set, unset1));
    setSortField(saved);
}
