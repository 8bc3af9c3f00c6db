// The SETILog export reader: the date chain into TimeStamp, its own column names and the
// conversions of its cells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/SETILog.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

ATime localTime(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setLocal(year, month, day, hour, minute, second);
    return t;
}

// Every record the file gives, empty ones included.
std::vector<WorkUnit> readAll(const TempDir& dir, const std::string& text) {
    dir.write("SETILog.csv", text);
    SETILog reader(dir.file("SETILog.csv"));
    EXPECT_TRUE(reader.isOpen());
    std::vector<WorkUnit> out;
    while (reader.readRecord()) out.push_back(reader.record);
    return out;
}

}  // namespace

TEST(SETILog, DateChainsIntoTheNextRowsTimeStamp) {
    TempDir dir;
    const auto rows = readAll(dir,
                              "\"date\",\"name\",\"prog\"\n"
                              "2004/01/15 20:00:00,wu.1,0.5\n"
                              "\n"  // an empty line leaves the chain alone
                              // A row without a name still passes its date on.
                              "2004/02/10 06:15:00,,0.25\n"
                              "2004/03/01 00:00:30,wu.3,1\n");
    ASSERT_EQ(rows.size(), 4u);
    const ATime d1 = localTime(2004, 1, 15, 20, 0, 0);
    const ATime d2 = localTime(2004, 2, 10, 6, 15, 0);
    const ATime d3 = localTime(2004, 3, 1, 0, 0, 30);
    EXPECT_EQ(rows[0].Update.julianDate(), d1.julianDate());
    EXPECT_FALSE(rows[0].TimeStamp.isSet());
    EXPECT_EQ(rows[1].name, "");
    EXPECT_FALSE(rows[1].Update.isSet());
    EXPECT_EQ(rows[2].name, "");
    EXPECT_EQ(rows[2].Update.julianDate(), d2.julianDate());
    EXPECT_EQ(rows[2].TimeStamp.julianDate(), d1.julianDate());
    EXPECT_EQ(rows[3].Update.julianDate(), d3.julianDate());
    EXPECT_EQ(rows[3].TimeStamp.julianDate(), d2.julianDate());
    EXPECT_EQ(rows[3].prog, 1.0);
}

TEST(SETILog, BreaksInTheDateChain) {
    struct Case {
        const char* name;
        const char* secondRow;
        bool thirdRowStamped;  // the third row's TimeStamp is the first row's date
    };
    const Case cases[] = {
        // An unreadable date unsets the chain.
        {"unreadable date", "wu.2,0.5,nothing\n", false},
        // A row that ends exactly where its date cell stands resets the chain.
        {"row ends at the date", "wu.2,0.5\n", false},
        // A row that ends before its date cell keeps the date of the row before.
        {"row ends before the date", "wu.2\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto rows = readAll(dir, std::string("\"name\",\"prog\",\"date\"\n"
                                                   "wu.1,0.5,2004/01/15 20:00:00\n") +
                                           c.secondRow + "wu.3,0.5,2004/02/01 00:00:00\n");
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[2].TimeStamp.isSet(), c.thirdRowStamped);
        if (c.thirdRowStamped) {
            EXPECT_EQ(rows[2].TimeStamp.julianDate(), rows[0].Update.julianDate());
        }
    }
}

TEST(SETILog, ItsOwnColumnNames) {
    TempDir dir;
    const auto rows = readAll(dir,
                              "\"name\",\"version\",\"Update\",\"TimeStamp\",\"g_fft_ind\","
                              "\"bg_fft_ind\",\"prog\",\"note\",\"bg_pot 0\"\n"
                              "wu.1,303,2004/01/01 00:00:00,2004/01/01 00:00:00,7,,0.5,x,1.25\n"
                              "wu.2,303,2004/01/01 00:00:00,2004/01/01 00:00:00,,9,0.75\n");
    ASSERT_EQ(rows.size(), 2u);
    // "version" and "Update" are not SETILog's: skipped; "TimeStamp" is dropped.
    EXPECT_EQ(rows[0].version, 0);
    EXPECT_FALSE(rows[0].Update.isSet());
    EXPECT_FALSE(rows[0].TimeStamp.isSet());
    EXPECT_FALSE(rows[1].TimeStamp.isSet());
    // "g_fft_ind" and "bg_fft_ind" both fill bg_fft_ind.
    EXPECT_EQ(rows[0].bg_fft_ind, 7);
    EXPECT_EQ(rows[1].bg_fft_ind, 9);
    EXPECT_EQ(rows[0].prog, 0.5);
    EXPECT_EQ(rows[0].bg_pot[0], 1.25);
    EXPECT_EQ(rows[1].prog, 0.75);
    // Unlike I4WU, SETILog gives no receiver of its own.
    EXPECT_EQ(rows[0].receiver, "");
}

TEST(SETILog, TimeRecordedIsAJulianDate) {
    struct Case {
        const char* cell;
        bool set;
    };
    const Case cases[] = {{"2451544.5", true}, {"2451544.5 (Sat Jan 01 00:00:00 2000)", true},
                          {"0", false},        {"none", false},
                          {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        TempDir dir;
        const auto rows = readAll(dir, std::string("\"name\",\"time_recorded\"\nwu.1,") + c.cell + "\n");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].time_recorded.isSet(), c.set);
        if (c.set) {
            const ATime& t = rows[0].time_recorded;
            EXPECT_EQ(t.year, 2000);
            EXPECT_EQ(t.month, 1);
            EXPECT_EQ(t.day, 1);
            EXPECT_EQ(t.hour, 0);
        }
    }
}

TEST(SETILog, WithoutHeaderRowColumnsStandInFieldOrder) {
    TempDir dir;
    const auto rows =
        readAll(dir, "2004/05/05 17:57:39,2004/01/01 00:00:00,303,wu.1,a,1.5\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Update.julianDate(), localTime(2004, 5, 5, 17, 57, 39).julianDate());
    EXPECT_FALSE(rows[0].TimeStamp.isSet());  // the second cell is dropped
    EXPECT_EQ(rows[0].version, 303);
    EXPECT_EQ(rows[0].name, "wu.1");
    EXPECT_EQ(rows[0].splitter_version, 10);
    EXPECT_EQ(rows[0].start_ra, 1.5);
}

TEST(SETILog, ChainCarriesAcrossFilesOfOneReader) {
    // The merge tool makes a fresh reader per file; one reader keeps its chain.
    TempDir dir;
    dir.write("a.csv", "\"date\",\"name\"\n2004/01/15 20:00:00,wu.1\n");
    dir.write("b.csv", "\"name\",\"date\"\nwu.2,2004/01/20 00:00:00\n");
    SETILog reader(dir.file("a.csv"));
    ASSERT_TRUE(reader.readRecord());
    EXPECT_FALSE(reader.readRecord());
    ASSERT_TRUE(reader.open(dir.file("b.csv")));
    ASSERT_TRUE(reader.readRecord());
    EXPECT_EQ(reader.record.TimeStamp.julianDate(), localTime(2004, 1, 15, 20, 0, 0).julianDate());
    reader.close();
    EXPECT_FALSE(reader.readRecord());
    EXPECT_EQ(reader.lastDate.julianDate(), localTime(2004, 1, 20, 0, 0, 0).julianDate());
}

TEST(SETILog, MissingFile) {
    TempDir dir;
    SETILog reader;
    EXPECT_FALSE(reader.open(dir.file("missing.csv")));
    EXPECT_FALSE(reader.readRecord());
}
