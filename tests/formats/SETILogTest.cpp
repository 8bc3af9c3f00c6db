// The SETILog export reader: the date chain into TimeStamp, its own column names and its
// Julian Date for time_recorded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/SETILog.h"
#include "formats/WuInfo.h"
#include "store/WorkUnitList.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

double localJulian(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setLocal(year, month, day, hour, minute, second);
    return t.julianDate();
}

// Every record the text gives as a file, empty ones included.
std::vector<WorkUnit> readAll(const std::string& text) {
    TempDir dir;
    dir.write("SETILog.csv", text);
    SETILog reader(dir.file("SETILog.csv"));
    EXPECT_TRUE(reader.isOpen());
    std::vector<WorkUnit> out;
    while (reader.readRecord()) out.push_back(reader.record);
    return out;
}

}  // namespace

TEST(SETILog, DateChainsIntoTheNextRowsTimeStamp) {
    const auto rows = readAll(
        "\"date\",\"name\",\"prog\"\n"
        "2004/01/15 20:00:00,wu.1,0.5\n"
        "\n"  // an empty line leaves the chain alone
        // A row without a name still passes its date on.
        "2004/02/10 06:15:00,,0.25\n"
        "2004/03/01 00:00:30,wu.3,1\n");
    ASSERT_EQ(rows.size(), 4u);
    const double d1 = localJulian(2004, 1, 15, 20, 0, 0);
    const double d2 = localJulian(2004, 2, 10, 6, 15, 0);
    EXPECT_EQ(rows[0].Update.julianDate(), d1);
    EXPECT_FALSE(rows[0].TimeStamp.isSet());
    EXPECT_FALSE(rows[1].Update.isSet());
    EXPECT_EQ(rows[2].Update.julianDate(), d2);
    EXPECT_EQ(rows[2].TimeStamp.julianDate(), d1);
    EXPECT_EQ(rows[3].Update.julianDate(), localJulian(2004, 3, 1, 0, 0, 30));
    EXPECT_EQ(rows[3].TimeStamp.julianDate(), d2);
    EXPECT_EQ(rows[3].prog, 1.0);
}

TEST(SETILog, BreaksInTheDateChain) {
    struct Case {
        const char* name;
        const char* secondRow;
        bool thirdRowStamped;  // the third row's TimeStamp is the first row's date
    };
    const Case cases[] = {
        {"an unreadable date unsets the chain", "wu.2,0.5,nothing\n", false},
        {"a row that ends where its date stands unsets it", "wu.2,0.5\n", false},
        {"a row that ends before its date keeps it", "wu.2\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rows = readAll(std::string("\"name\",\"prog\",\"date\"\n"
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
    const auto rows = readAll(
        "\"name\",\"version\",\"Update\",\"TimeStamp\",\"g_fft_ind\",\"bg_fft_ind\",\"prog\","
        "\"note\",\"bg_pot 0\"\n"
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
    EXPECT_EQ(rows[0].bg_pot[0], 1.25);
    EXPECT_EQ(rows[1].prog, 0.75);
    // Unlike I4WU, SETILog gives no receiver of its own.
    EXPECT_EQ(rows[0].receiver, "");
}

TEST(SETILog, TimeRecordedIsAJulianDate) {
    const auto rows = readAll(
        "\"name\",\"time_recorded\"\n"
        "wu.1,2451544.5 (Sat Jan 01 00:00:00 2000)\n"
        "wu.2,(Sat Jan 01 00:00:00 2000)\n");
    ASSERT_EQ(rows.size(), 2u);
    ATime midnight;
    midnight.setUtc(2000, 1, 1, 0, 0, 0);
    EXPECT_EQ(rows[0].time_recorded, midnight);
    EXPECT_FALSE(rows[1].time_recorded.isSet());  // no number: unset
}

TEST(SETILog, WithoutHeaderRowColumnsStandInFieldOrder) {
    const auto rows = readAll("2004/05/05 17:57:39,,303,wu.1,a,1.5\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Update.julianDate(), localJulian(2004, 5, 5, 17, 57, 39));
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
    SETILog reader;
    EXPECT_FALSE(reader.open(dir.file("missing.csv")));
    EXPECT_FALSE(reader.readRecord());
    ASSERT_TRUE(reader.open(dir.file("a.csv")));
    while (reader.readRecord()) {
    }
    ASSERT_TRUE(reader.open(dir.file("b.csv")));
    ASSERT_TRUE(reader.readRecord());
    EXPECT_EQ(reader.record.TimeStamp.julianDate(), localJulian(2004, 1, 15, 20, 0, 0));
    reader.close();
    EXPECT_EQ(reader.lastDate.julianDate(), localJulian(2004, 1, 20, 0, 0, 0));
}

// A large export is parsed in batches on two threads. The date chain crosses every cut: rows
// whose header has no date column, rows that end before their date, empty lines, a header
// between batches, and a date carried in from the reader's file before. Every row comes out
// as from reading the rows one by one.
TEST(SETILog, BatchesReadAsRowByRow) {
    std::string text;
    for (int i = 0; i < 30000; ++i) {
        if (i % 9000 == 0) text += "\"date\",\"name\",\"prog\",\"cpu\"\n";
        if (i % 9000 == 4500) text += "\"name\",\"prog\",\"date\"\n";  // no date up front
        if (i % 9000 == 6000) text += "\"name\",\"prog\"\n";           // no date at all
        const std::string name = "wu." + std::to_string(i % 20000);
        const std::string date =
            "2004/01/" + std::to_string(1 + i % 28) + " 10:00:" + std::to_string(10 + i % 50);
        const int phase = i % 9000;
        if (i % 101 == 0) text += "\n";
        if (phase < 4500) {
            text += date + "," + name + "," + std::to_string(i / 30000.0) + ",12.5\n";
        } else if (phase < 6000) {
            // Every seventh row stops before its date.
            text +=
                name + "," + std::to_string(i / 30000.0) + (i % 7 == 0 ? "\n" : "," + date + "\n");
        } else {
            text += name + "," + std::to_string(i / 30000.0) + "\n";
        }
    }
    TempDir dir;
    dir.write("first.csv", "\"date\",\"name\"\n2003/12/31 23:59:59,wu.first\n");
    dir.write("SETILog.csv", text);

    std::vector<WorkUnit> batched;
    SETILog reader(dir.file("first.csv"));
    while (reader.readRecord()) {
    }
    ASSERT_TRUE(reader.open(dir.file("SETILog.csv")));
    ASSERT_TRUE(reader.readAllRows([&batched](WorkUnit& row) { batched.push_back(row); }));

    std::vector<WorkUnit> single;
    SETILog oneByOne(dir.file("first.csv"));
    while (oneByOne.readRecord()) {
    }
    ASSERT_TRUE(oneByOne.open(dir.file("SETILog.csv")));
    while (oneByOne.readRecord()) single.push_back(oneByOne.record);

    ASSERT_EQ(batched.size(), single.size());
    WorkUnitList left;
    WorkUnitList right;
    for (std::size_t i = 0; i < single.size(); ++i) {
        ASSERT_EQ(batched[i].name, single[i].name) << i;
        ASSERT_EQ(batched[i].TimeStamp.julianDate(), single[i].TimeStamp.julianDate()) << i;
        left.add(batched[i]);
        right.add(single[i]);
    }
    EXPECT_EQ(wuInfoBytes(left), wuInfoBytes(right));
    EXPECT_EQ(reader.lastDate.julianDate(), oneByOne.lastDate.julianDate());
    EXPECT_EQ(reader.columns, oneByOne.columns);
}

// Batches of a few bytes hold a row or two, so the date chain crosses nearly every row: rows
// without a date, rows that end before it, empty lines and headers with the date column in
// another place or none. Every size gives the rows, the column order and the date left for
// the next file of reading row by row.
TEST(SETILog, BatchesOfAFewBytesReadAsRowByRow) {
    const std::string text =
        "\"date\",\"name\",\"prog\"\n2004/01/20 12:00:00,wu.1,0.5\n2004/01/21 12:00:00,wu.2\n"
        ",wu.3,0.25\n\n2004/01/22 08:30:00,wu.4\n\"name\",\"date\"\nwu.5,2004/01/23 10:00:00\n"
        "wu.6\nwu.7,2004/01/24 11:00:00\n\"name\"\nwu.8\nwu.1\n\"prog\",\"name\",\"date\"\n"
        "0.75,wu.9,2004/01/25 09:15:00\n";
    SETILog oneByOne;
    oneByOne.openBytes(text);
    std::vector<WorkUnit> rows;
    while (oneByOne.readRecord()) rows.push_back(oneByOne.record);
    ASSERT_EQ(rows.size(), 11u);
    for (std::size_t size : {0u, 1u, 2u, 40u, 1u << 20}) {
        SCOPED_TRACE(size);
        SETILog reader;
        reader.openBytes(text);
        std::vector<WorkUnit> batched;
        ASSERT_TRUE(reader.readAllRows([&batched](WorkUnit& row) { batched.push_back(row); },
                                       BatchSize(size)));
        ASSERT_EQ(batched.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(batched[i].name, rows[i].name) << i;
            EXPECT_EQ(batched[i].TimeStamp.julianDate(), rows[i].TimeStamp.julianDate()) << i;
            EXPECT_EQ(batched[i].Update.julianDate(), rows[i].Update.julianDate()) << i;
        }
        EXPECT_EQ(reader.lastDate.julianDate(), oneByOne.lastDate.julianDate());
        EXPECT_EQ(reader.columns, oneByOne.columns);
    }
}
