// Tests of WUInfo.csv: the exact bytes of the header and a row, a write and read that loses
// nothing, headers in another order or with foreign columns, and a failed rewrite that keeps
// the old file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/WuInfo.h"
#include "platform/platform.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

std::string header() {
    std::string h =
        "\"Update\",\"TimeStamp\",\"version\",\"name\",\"splitter_version\",\"start_ra\","
        "\"start_dec\",\"end_ra\",\"end_dec\",\"time_recorded\",\"subband_center\","
        "\"subband_base\",\"subband_sample_rate\",\"nsamples\",\"angle_range\",\"fft_len\","
        "\"ifft_len\",\"subband_number\",\"receiver\",\"tape_version\",\"cpu\",\"prog\","
        "\"bs_power\",\"bs_score\",\"bs_bin\",\"bs_fft_ind\",\"bs_chirp_rate\",\"bs_fft_len\","
        "\"bg_score\",\"bg_sigma\",\"bg_power\",\"bg_true_mean\",\"bg_chisq\",\"bg_bin\","
        "\"bg_fft_ind\",\"bg_chirp_rate\",\"bg_fft_len\"";
    for (int i = 0; i < 64; ++i) h += ",\"bg_pot " + std::to_string(i) + "\"";
    return h + "\r\n";
}

WorkUnit sampleRecord() {
    WorkUnit r;
    r.Update.setJulian(2451545.25);
    r.version = 3;
    r.name = "a, b";
    r.splitter_version = 0x3a;
    r.start_ra = 12.5;
    r.start_dec = -4.5;
    r.end_ra = 0.1234567;
    r.time_recorded.setJulian(2451544.5);
    r.subband_center = 1418984375.0;
    r.subband_sample_rate = 9765.625;
    r.nsamples = 1048576;
    r.angle_range = 0.45;
    r.fft_len = 2048;
    r.ifft_len = 8;
    r.subband_number = -5;
    r.receiver = "ao1420";
    r.tape_version = "4.1";
    r.cpu = 3725.5;
    r.prog = 0.5;
    r.bs_power = 20.5;
    r.bs_score = 1.25;
    r.bs_bin = 7;
    r.bs_fft_ind = 3;
    r.bs_chirp_rate = -1.5;
    r.bs_fft_len = 8;
    r.bg_score = 0.75;
    r.bg_sigma = 2.0;
    r.bg_power = 3.25;
    r.bg_true_mean = 0.25;
    r.bg_chisq = 1.5;
    r.bg_bin = 11;
    r.bg_fft_ind = 12;
    r.bg_chirp_rate = 0.125;
    r.bg_fft_len = 16;
    r.bg_pot[0] = 1.5;
    r.bg_pot[63] = -0.25;
    return r;
}

std::string sampleRow() {
    std::string row =
        "2451545.250000,,3,\"a, b\",0x3a,12.500000,-4.500000,0.123457,0.000000,2451544.50000,"
        "1418984375.000000,0.000000,9765.625000,1048576,0.450000,2048,8,-5,\"ao1420\",\"4.1\","
        "3725.500000,0.500000,20.500000,1.250000,7,3,-1.500000,8,0.750000,2.000000,3.250000,"
        "0.250000,1.500000,11,12,0.125000,16,1.500000";
    for (int i = 1; i < 63; ++i) row += ",0.000000";
    return row + ",-0.250000\r\n";
}

// Every number form of a row written by hand: empty unset dates, 0x0, quoted empty texts.
std::string zeroRow() {
    std::string row = ",,0,\"z\",0x0";
    for (int i = 5; i <= 8; ++i) row += ",0.000000";
    row += ",";  // time_recorded unset
    row += ",0.000000,0.000000,0.000000,0,0.000000,0,0,0,\"\",\"\"";
    row += ",0.000000,0.000000,0.000000,0.000000,0,0,0.000000,0";
    row += ",0.000000,0.000000,0.000000,0.000000,0.000000,0,0,0.000000,0";
    for (int i = 0; i < 64; ++i) row += ",0.000000";
    return row + "\r\n";
}

TEST(WuInfoTest, WritesTheHeaderAndRowsAsCrLfLines) {
    WorkUnit zero;
    zero.name = "z";
    struct Case {
        const char* what;
        std::vector<WorkUnit> records;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty store: the header only", {}, header()},
        {"rows in store order", {sampleRecord(), zero}, header() + sampleRow() + zeroRow()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WorkUnitList store;
        for (const WorkUnit& r : c.records) store.add(r);
        ASSERT_TRUE(writeWuInfo(store, dir.file("WUInfo.csv")));
        EXPECT_EQ(dir.read("WUInfo.csv"), c.bytes);
    }
}

TEST(WuInfoTest, WrittenFileReadsBackAndRewritesByteIdentical) {
    TempDir dir;
    WorkUnitList store;
    store.add(sampleRecord());
    WorkUnit odd;
    odd.name = "odd";
    odd.TimeStamp.setUtc(2049, 12, 31, 23, 59, 59);
    odd.Update.setUtc(1984, 1, 1, 0, 0, 1);
    odd.time_recorded.setUtc(2003, 7, 4, 13, 14, 15);
    odd.splitter_version = -1;  // the 32-bit pattern 0xffffffff
    odd.version = -2147483647 - 1;
    odd.start_ra = 1e300;
    odd.cpu = -0.0000004;  // prints as -0.000000
    odd.receiver = "with \"quote\"";
    odd.tape_version = "  padded  ";
    for (std::size_t i = 0; i < 64; ++i) odd.bg_pot[i] = i * 1.000001;
    store.add(odd);
    ASSERT_TRUE(writeWuInfo(store, dir.file("first.csv")));

    WorkUnitList back;
    ASSERT_TRUE(readWuInfo(back, dir.file("first.csv")));
    ASSERT_EQ(back.size(), 2u);
    const WorkUnit& a = back[0];
    EXPECT_EQ(a.name, "a, b");  // the quotes protect the comma
    EXPECT_EQ(a.Update, sampleRecord().Update);
    EXPECT_FALSE(a.TimeStamp.isSet());
    EXPECT_EQ(a.time_recorded, sampleRecord().time_recorded);
    EXPECT_EQ(a.splitter_version, 0x3a);
    EXPECT_DOUBLE_EQ(a.end_ra, 0.123457);
    EXPECT_EQ(a.subband_number, -5);
    EXPECT_EQ(a.nsamples, 1048576);
    EXPECT_DOUBLE_EQ(a.bg_pot[0], 1.5);
    EXPECT_DOUBLE_EQ(a.bg_pot[63], -0.25);
    const WorkUnit& b = back[1];
    EXPECT_EQ(b.TimeStamp, odd.TimeStamp);
    EXPECT_EQ(b.Update, odd.Update);
    EXPECT_EQ(b.time_recorded, odd.time_recorded);
    EXPECT_EQ(b.splitter_version, -1);
    EXPECT_EQ(b.version, odd.version);
    EXPECT_DOUBLE_EQ(b.start_ra, 1e300);
    EXPECT_EQ(b.receiver, "with quote");  // a quote inside a text is lost on reading
    // Blanks inside the quotes survive: the field is trimmed before its quotes are removed.
    EXPECT_EQ(b.tape_version, "  padded  ");
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_NEAR(b.bg_pot[i], i * 1.000001, 5e-7) << "element " << i;

    ASSERT_TRUE(writeWuInfo(back, dir.file("second.csv")));
    // The row that reading loses nothing of comes back byte for byte.
    const std::string unchanged = header() + sampleRow();
    EXPECT_EQ(dir.read("second.csv").substr(0, unchanged.size()), unchanged);
    WorkUnitList again;
    ASSERT_TRUE(readWuInfo(again, dir.file("second.csv")));
    ASSERT_TRUE(writeWuInfo(again, dir.file("third.csv")));
    // The first rewrite drops what reading loses (the quote); from then on the file is stable.
    EXPECT_EQ(dir.read("second.csv"), dir.read("third.csv"));
}

TEST(WuInfoTest, BytesThatStopReadingAreNotWritten) {
    // A NUL ends a row and byte 26 ends a text-mode file: a text holding one (the support data
    // file is read in binary) would cost the fields or the rows after it on the next run.
    TempDir dir;
    WorkUnitList store;
    const std::vector<std::string> names = {std::string("eof\x1a.unit", 9),
                                            std::string("nul\0.unit", 9), "later.unit"};
    for (const std::string& name : names) {
        WorkUnit r = sampleRecord();
        r.name = name;
        r.receiver = std::string("ao\x1a\0", 4);
        store.add(r);
    }
    ASSERT_TRUE(writeWuInfo(store, dir.file("WUInfo.csv")));
    WorkUnitList back;
    ASSERT_TRUE(readWuInfo(back, dir.file("WUInfo.csv")));
    ASSERT_EQ(back.size(), 3u);
    const char* const expected[] = {"eof.unit", "nul.unit", "later.unit"};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(back[i].name, expected[i]);
        EXPECT_EQ(back[i].receiver, "ao");
        EXPECT_DOUBLE_EQ(back[i].bg_pot[63], -0.25);  // the row's last field
    }
}

TEST(WuInfoTest, HeadersInAnyOrderWithForeignColumns) {
    TempDir dir;
    // Names start with a digit: a line that starts with a quote and a letter is a header.
    dir.write("in.csv",
              "\"name\",\"prog\",\"Bogus column\",\"TimeStamp\",\"bg_pot 5\",\"splitter_version\"\n"
              "\"01aa\",0.25,ignored,2451545.0,7.5,1f\n"
              "\n"
              "\"02bb\",0.5\n"                           // short row: leading fields only
              "\"03cc\",abc,x,,1,0x10,extra,extra\n"     // unreadable and surplus fields
              ",0.9\n"                                  // no name: dropped
              "\"prog\",\"name\"\r\n"                   // a second header changes the order
              "0.75,\"04dd\"\r\n");
    WorkUnitList store;
    ASSERT_TRUE(readWuInfo(store, dir.file("in.csv")));
    ASSERT_EQ(store.size(), 4u);

    EXPECT_EQ(store[0].name, "01aa");
    EXPECT_DOUBLE_EQ(store[0].prog, 0.25);
    ATime noon;
    noon.setUtc(2000, 1, 1, 12, 0, 0);
    EXPECT_EQ(store[0].TimeStamp, noon);
    EXPECT_DOUBLE_EQ(store[0].bg_pot[5], 7.5);
    EXPECT_EQ(store[0].splitter_version, 0x1f);
    EXPECT_FALSE(store[0].Update.isSet());  // a missing column keeps the default
    EXPECT_EQ(store[0].receiver, "");

    EXPECT_EQ(store[1].name, "02bb");
    EXPECT_DOUBLE_EQ(store[1].prog, 0.5);
    EXPECT_FALSE(store[1].TimeStamp.isSet());

    EXPECT_EQ(store[2].name, "03cc");
    EXPECT_DOUBLE_EQ(store[2].prog, 0.0);
    EXPECT_FALSE(store[2].TimeStamp.isSet());
    EXPECT_DOUBLE_EQ(store[2].bg_pot[5], 1.0);
    EXPECT_EQ(store[2].splitter_version, 0x10);

    EXPECT_EQ(store[3].name, "04dd");
    EXPECT_DOUBLE_EQ(store[3].prog, 0.75);

    // A file without a header uses the order of the last header the store has read.
    dir.write("plain.csv", "0.8,\"05ee\"\n");
    ASSERT_TRUE(readWuInfo(store, dir.file("plain.csv")));
    ASSERT_EQ(store.size(), 5u);
    EXPECT_EQ(store[4].name, "05ee");
    EXPECT_DOUBLE_EQ(store[4].prog, 0.8);
}

TEST(WuInfoTest, WithoutAHeaderAFreshStoreUsesTheTableOrder) {
    TempDir dir;
    WorkUnitList source;
    source.add(sampleRecord());
    ASSERT_TRUE(writeWuInfo(source, dir.file("with.csv")));
    const std::string bytes = dir.read("with.csv");
    dir.write("without.csv", bytes.substr(bytes.find('\n') + 1));

    WorkUnitList store;
    ASSERT_TRUE(readWuInfo(store, dir.file("without.csv")));
    ASSERT_EQ(store.size(), 1u);
    ASSERT_TRUE(writeWuInfo(store, dir.file("again.csv")));
    EXPECT_EQ(dir.read("again.csv"), bytes);
}

TEST(WuInfoTest, RowsMergeWithTheStoreAndASecondReadChangesNothing) {
    TempDir dir;
    WorkUnitList source;
    source.add(sampleRecord());
    ASSERT_TRUE(writeWuInfo(source, dir.file("WUInfo.csv")));

    WorkUnitList store;
    WorkUnit older = sampleRecord();
    older.prog = 0.1;
    older.cpu = 1.0;
    older.version = 9;
    store.add(older);
    ASSERT_TRUE(readWuInfo(store, dir.file("WUInfo.csv")));
    ASSERT_EQ(store.size(), 1u);
    EXPECT_DOUBLE_EQ(store[0].prog, 0.5);  // the row is further along
    EXPECT_DOUBLE_EQ(store[0].cpu, 3725.5);
    EXPECT_EQ(store[0].version, 9);        // the first header stays

    ASSERT_TRUE(writeWuInfo(store, dir.file("once.csv")));
    ASSERT_TRUE(readWuInfo(store, dir.file("WUInfo.csv")));
    ASSERT_TRUE(writeWuInfo(store, dir.file("twice.csv")));
    EXPECT_EQ(dir.read("once.csv"), dir.read("twice.csv"));
}

TEST(WuInfoTest, MissingFileLeavesTheStoreAlone) {
    TempDir dir;
    WorkUnitList store;
    store.add(sampleRecord());
    EXPECT_FALSE(readWuInfo(store, dir.file("missing.csv")));
    EXPECT_EQ(store.size(), 1u);
    EXPECT_EQ(store.columns.size(), 101u);
}

TEST(WuInfoTest, FailedRewriteKeepsTheOldFile) {
    TempDir dir;
    const std::string old = header() + sampleRow();
    WorkUnitList store;
    WorkUnit other = sampleRecord();
    other.name = "other";
    store.add(other);
    int failures = 0;
    for (int n = 1; n <= 50; ++n) {
        SCOPED_TRACE("failing seam call " + std::to_string(n));
        dir.write("WUInfo.csv", old);
        platform::failWriteCallAfter(n);
        const bool ok = writeWuInfo(store, dir.file("WUInfo.csv"));
        platform::failWriteCallAfter(0);
        if (ok) break;
        ++failures;
        EXPECT_EQ(dir.read("WUInfo.csv"), old);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"WUInfo.csv"});
    }
    EXPECT_GE(failures, 2);
    EXPECT_LT(failures, 50);
    EXPECT_FALSE(writeWuInfo(store, dir.file("missing/WUInfo.csv")));
}

}  // namespace
