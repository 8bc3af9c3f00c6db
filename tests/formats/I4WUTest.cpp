// The I4WU export reader: its column titles, header rows, and the local and UTC date columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/I4WU.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

double localJulian(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setLocal(year, month, day, hour, minute, second);
    return t.julianDate();
}

double utcJulian(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setUtc(year, month, day, hour, minute, second);
    return t.julianDate();
}

// Every record the text gives as a file, empty ones included.
std::vector<WorkUnit> readAll(const std::string& text) {
    TempDir dir;
    dir.write("e.csv", text);
    I4WU reader;
    EXPECT_TRUE(reader.open(dir.path().string() + "/", "e.csv"));
    std::vector<WorkUnit> out;
    while (reader.readRecord()) out.push_back(reader.record);
    return out;
}

}  // namespace

TEST(I4WU, SamplesTitleKeepsItsLeadingBlank) {
    struct Case {
        const char* title;
        std::int32_t nsamples;
    };
    const Case cases[] = {
        {"\" Samples\"", 1048576},  // the blank inside the quotes survives trimming
        {" Samples", 0},            // an outer blank is trimmed away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const auto rows = readAll(std::string("\"Unit Name\",") + c.title + "\nwu.1,1048576\n");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].nsamples, c.nsamples);
    }
}

TEST(I4WU, ReorderedAndUnknownColumns) {
    const auto rows = readAll(
        "\"Progress\",\"Comment\",\"Unit Name\",\"CPU Time\",\"t0(Gaussians)\",\"bg_pot 63\"\r\n"
        "0.75,\"late, but done\",wu.1,123.5,17,2.5\r\n"
        "0.25,none,wu.2,99\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "wu.1");
    EXPECT_EQ(rows[0].prog, 0.75);
    EXPECT_EQ(rows[0].cpu, 123.5);
    EXPECT_EQ(rows[0].bg_fft_ind, 17);
    EXPECT_EQ(rows[0].bg_pot[63], 2.5);
    // I4WU carries neither: every row gets the receiver of its time and an unknown tape.
    EXPECT_EQ(rows[0].receiver, "ao1420");
    EXPECT_EQ(rows[0].tape_version, "?");
    // A short row fills what it has.
    EXPECT_EQ(rows[1].name, "wu.2");
    EXPECT_EQ(rows[1].cpu, 99);
    EXPECT_EQ(rows[1].bg_fft_ind, 0);
}

TEST(I4WU, WithoutHeaderRowColumnsStandInTitleOrder) {
    const auto rows = readAll(",,303,wu.1,10,1.5,-2.25,1.75,-2.5,,1418.5,1418.25,9.5,1048576\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].version, 303);
    EXPECT_EQ(rows[0].name, "wu.1");
    EXPECT_EQ(rows[0].splitter_version, 16);  // hexadecimal without 0x
    EXPECT_EQ(rows[0].end_dec, -2.5);
    EXPECT_EQ(rows[0].nsamples, 1048576);
}

TEST(I4WU, LocalAndUtcDateColumns) {
    // "Update" and "Received" are the logging machine's local time, "Time(UT)" is UTC.
    const auto rows = readAll(
        "\"Unit Name\",\"Update\",\"Received\",\"Time(UT)\"\n"
        "wu.1,2004/01/12 09:00:00,2004/01/09 09:00:00,2004/01/03 06:00:00\n"
        "wu.2,no date,,(Sat Jan  3 06:00:00 2004)\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Update.julianDate(), localJulian(2004, 1, 12, 9, 0, 0));
    EXPECT_EQ(rows[0].TimeStamp.julianDate(), localJulian(2004, 1, 9, 9, 0, 0));
    EXPECT_EQ(rows[0].time_recorded.julianDate(), utcJulian(2004, 1, 3, 6, 0, 0));
    // The two differ exactly by the zone offset.
    EXPECT_NEAR(utcJulian(2004, 1, 12, 9, 0, 0) - rows[0].Update.julianDate(),
                rows[0].Update.zoneOffset / 86400.0, 1e-6);
    EXPECT_FALSE(rows[1].Update.isSet());
    EXPECT_FALSE(rows[1].TimeStamp.isSet());
    EXPECT_EQ(rows[1].time_recorded.julianDate(), utcJulian(2004, 1, 3, 6, 0, 0));
}

TEST(I4WU, EmptyLinesAndQuotedRowsAndSeveralHeaders) {
    const auto rows = readAll(
        "\"Unit Name\",\"Progress\"\n"
        "wu.1,0.5\n"
        "\n"
        // A data row whose first cell is a quoted text starting with a letter reads as a
        // header: its cells name no title, so the next row fills nothing.
        "\"wu.2\",0.25\n"
        "wu.3,0.75\n"
        // A second export appended to the first brings its own header.
        "\"Progress\",\"Unit Name\"\n"
        "0.125,wu.4\n");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, "wu.1");
    EXPECT_EQ(rows[1].name, "");  // the empty line
    EXPECT_EQ(rows[1].receiver, "");
    EXPECT_EQ(rows[2].name, "");
    EXPECT_EQ(rows[2].prog, 0);
    EXPECT_EQ(rows[3].name, "wu.4");
    EXPECT_EQ(rows[3].prog, 0.125);
}

TEST(I4WU, ReaderStatesAndColumnsThatOutliveTheFile) {
    // A file without a header row read after one with a header takes the earlier order.
    TempDir dir;
    const std::string directory = dir.path().string() + "/";
    dir.write("a.csv", "\"Progress\",\"Unit Name\"\n0.5,wu.1\n");
    dir.write("b.csv", "0.75,wu.2\n");
    I4WU reader;
    EXPECT_FALSE(reader.readRecord());
    EXPECT_FALSE(reader.open(directory, "missing.csv"));
    EXPECT_FALSE(reader.readRecord());
    ASSERT_TRUE(reader.open(directory, "a.csv"));
    while (reader.readRecord()) {
    }
    ASSERT_TRUE(reader.open(directory, "b.csv"));
    ASSERT_TRUE(reader.readRecord());
    EXPECT_EQ(reader.record.name, "wu.2");
    reader.close();
    EXPECT_EQ(reader.fileName, "");
    EXPECT_EQ(reader.record.name, "");
}
