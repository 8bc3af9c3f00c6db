// The I4WU export reader: its column titles, header rows, conversions and the local and UTC
// date columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/I4WU.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

ATime localTime(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setLocal(year, month, day, hour, minute, second);
    return t;
}

ATime utcTime(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setUtc(year, month, day, hour, minute, second);
    return t;
}

// Every record the file gives, empty ones included.
std::vector<WorkUnit> readAll(const TempDir& dir, const std::string& name) {
    I4WU reader;
    EXPECT_TRUE(reader.open(dir.path().string() + "/", name));
    std::vector<WorkUnit> out;
    while (reader.readRecord()) out.push_back(reader.record);
    return out;
}

}  // namespace

TEST(I4WU, HeaderAndOneRow) {
    TempDir dir;
    dir.write("e.csv", "\"Unit Name\",\"Progress\"\n00ab12cd.1234.5678.9.10.11,0.5\n");
    const auto rows = readAll(dir, "e.csv");
    ASSERT_EQ(rows.size(), 1u);
    const WorkUnit& r = rows[0];
    EXPECT_EQ(r.name, "00ab12cd.1234.5678.9.10.11");
    EXPECT_EQ(r.prog, 0.5);
    // I4WU carries neither: every row gets the receiver of its time and an unknown tape.
    EXPECT_EQ(r.receiver, "ao1420");
    EXPECT_EQ(r.tape_version, "?");
    EXPECT_EQ(r.cpu, 0);
    EXPECT_FALSE(r.Update.isSet());
    EXPECT_FALSE(r.TimeStamp.isSet());
}

TEST(I4WU, SamplesTitleKeepsItsLeadingBlank) {
    struct Case {
        const char* title;
        std::int32_t nsamples;
    };
    const Case cases[] = {
        {"\" Samples\"", 1048576},  // the blank inside the quotes survives trimming
        {"\"Samples\"", 0},         // no such title
        {" Samples", 0},            // an outer blank is trimmed away
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TempDir dir;
        dir.write("e.csv", std::string("\"Unit Name\",") + c.title + "\nwu.1,1048576\n");
        const auto rows = readAll(dir, "e.csv");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].nsamples, c.nsamples);
    }
}

TEST(I4WU, ReorderedAndUnknownColumns) {
    TempDir dir;
    dir.write("e.csv",
              "\"Progress\",\"Comment\",\"Unit Name\",\"CPU Time\",\"t0(Gaussians)\",\"bg_pot 63\"\r\n"
              "0.75,\"late, but done\",wu.1,123.5,17,2.5\r\n"
              "0.25,none,wu.2,99\r\n");
    const auto rows = readAll(dir, "e.csv");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "wu.1");
    EXPECT_EQ(rows[0].prog, 0.75);
    EXPECT_EQ(rows[0].cpu, 123.5);
    EXPECT_EQ(rows[0].bg_fft_ind, 17);
    EXPECT_EQ(rows[0].bg_pot[63], 2.5);
    EXPECT_EQ(rows[0].receiver, "ao1420");
    // A short row fills what it has.
    EXPECT_EQ(rows[1].name, "wu.2");
    EXPECT_EQ(rows[1].cpu, 99);
    EXPECT_EQ(rows[1].bg_fft_ind, 0);
    EXPECT_EQ(rows[1].tape_version, "?");
}

TEST(I4WU, WithoutHeaderRowColumnsStandInTitleOrder) {
    TempDir dir;
    dir.write("e.csv",
              "2004/05/05 17:57:39,2004/05/01 06:00:00,303,wu.1,0x3,1.5,-2.25,1.75,-2.5,"
              "2004/04/30 23:00:00,1418.5,1418.25,9765.625,1048576\n");
    const auto rows = readAll(dir, "e.csv");
    ASSERT_EQ(rows.size(), 1u);
    const WorkUnit& r = rows[0];
    EXPECT_EQ(r.Update.julianDate(), localTime(2004, 5, 5, 17, 57, 39).julianDate());
    EXPECT_EQ(r.TimeStamp.julianDate(), localTime(2004, 5, 1, 6, 0, 0).julianDate());
    EXPECT_EQ(r.version, 303);
    EXPECT_EQ(r.name, "wu.1");
    EXPECT_EQ(r.splitter_version, 3);
    EXPECT_EQ(r.start_ra, 1.5);
    EXPECT_EQ(r.start_dec, -2.25);
    EXPECT_EQ(r.end_ra, 1.75);
    EXPECT_EQ(r.end_dec, -2.5);
    EXPECT_EQ(r.time_recorded.julianDate(), utcTime(2004, 4, 30, 23, 0, 0).julianDate());
    EXPECT_EQ(r.subband_center, 1418.5);
    EXPECT_EQ(r.subband_base, 1418.25);
    EXPECT_EQ(r.subband_sample_rate, 9765.625);
    EXPECT_EQ(r.nsamples, 1048576);
}

TEST(I4WU, LocalAndUtcDateColumns) {
    // "Update" and "Received" are the logging machine's local time, "Time(UT)" is UTC.
    TempDir dir;
    dir.write("e.csv",
              "\"Unit Name\",\"Update\",\"Received\",\"Time(UT)\"\n"
              "wu.1,2004/01/12 09:00:00,2004/01/09 09:00:00,2004/01/03 06:00:00\n"
              "wu.2,no date,,(Sat Jan  3 06:00:00 2004)\n");
    const auto rows = readAll(dir, "e.csv");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Update.julianDate(), localTime(2004, 1, 12, 9, 0, 0).julianDate());
    EXPECT_EQ(rows[0].TimeStamp.julianDate(), localTime(2004, 1, 9, 9, 0, 0).julianDate());
    EXPECT_EQ(rows[0].time_recorded.julianDate(), utcTime(2004, 1, 3, 6, 0, 0).julianDate());
    // The two differ exactly by the zone offset.
    EXPECT_NEAR(utcTime(2004, 1, 12, 9, 0, 0).julianDate() - rows[0].Update.julianDate(),
                rows[0].Update.zoneOffset / 86400.0, 1e-6);
    EXPECT_FALSE(rows[1].Update.isSet());
    EXPECT_FALSE(rows[1].TimeStamp.isSet());
    EXPECT_EQ(rows[1].time_recorded.julianDate(), utcTime(2004, 1, 3, 6, 0, 0).julianDate());
}

TEST(I4WU, CellConversions) {
    struct Case {
        const char* title;
        const char* cell;
        double WorkUnit::*real;
        std::int32_t WorkUnit::*integer;
        double expected;
    };
    const Case cases[] = {
        {"Splitter Version", "0x5", nullptr, &WorkUnit::splitter_version, 5},
        {"Splitter Version", "5", nullptr, &WorkUnit::splitter_version, 5},
        {"Splitter Version", "10", nullptr, &WorkUnit::splitter_version, 16},
        {"SETI Version", "303abc", nullptr, &WorkUnit::version, 303},
        {"SETI Version", "abc", nullptr, &WorkUnit::version, 0},
        {"SETI Version", "99999999999", nullptr, &WorkUnit::version, 0},
        {"CPU Time", " 1.5e3 s", &WorkUnit::cpu, nullptr, 1500},
        {"CPU Time", "n/a", &WorkUnit::cpu, nullptr, 0},
        {"Power(Spike)", "-12.5", &WorkUnit::bs_power, nullptr, -12.5},
        {"t0(Gaussians)", "42", nullptr, &WorkUnit::bg_fft_ind, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.title) + " = " + c.cell);
        TempDir dir;
        dir.write("e.csv", std::string("\"Unit Name\",\"") + c.title + "\"\nwu.1," + c.cell + "\n");
        const auto rows = readAll(dir, "e.csv");
        ASSERT_EQ(rows.size(), 1u);
        if (c.real) EXPECT_EQ(rows[0].*c.real, c.expected);
        else EXPECT_EQ(rows[0].*c.integer, static_cast<std::int32_t>(c.expected));
    }
}

TEST(I4WU, EmptyLinesAndQuotedRowsAndSeveralHeaders) {
    TempDir dir;
    dir.write("e.csv",
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
    const auto rows = readAll(dir, "e.csv");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, "wu.1");
    EXPECT_EQ(rows[1].name, "");  // the empty line
    EXPECT_EQ(rows[1].receiver, "");
    EXPECT_EQ(rows[2].name, "");
    EXPECT_EQ(rows[2].prog, 0);
    EXPECT_EQ(rows[3].name, "wu.4");
    EXPECT_EQ(rows[3].prog, 0.125);
}

TEST(I4WU, ColumnsOutliveTheFile) {
    // A file without a header row read after one with a header takes the earlier order.
    TempDir dir;
    dir.write("a.csv", "\"Progress\",\"Unit Name\"\n0.5,wu.1\n");
    dir.write("b.csv", "0.75,wu.2\n");
    I4WU reader(dir.path().string() + "/", "a.csv");
    ASSERT_TRUE(reader.isOpen());
    EXPECT_EQ(reader.directory, dir.path().string() + "/");
    EXPECT_EQ(reader.fileName, "a.csv");
    ASSERT_TRUE(reader.readRecord());
    EXPECT_FALSE(reader.readRecord());
    ASSERT_TRUE(reader.open(dir.path().string() + "/", "b.csv"));
    ASSERT_TRUE(reader.readRecord());
    EXPECT_EQ(reader.record.name, "wu.2");
    EXPECT_EQ(reader.record.prog, 0.75);
    reader.close();
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.fileName, "");
    EXPECT_EQ(reader.record.name, "");
}

TEST(I4WU, MissingFileAndClosedReader) {
    TempDir dir;
    I4WU reader;
    EXPECT_FALSE(reader.readRecord());
    EXPECT_FALSE(reader.open(dir.path().string() + "/", "missing.csv"));
    EXPECT_FALSE(reader.readRecord());
}
