// Tests of WUInfo.csv: the exact bytes of the header and a row, a write and read that loses
// nothing, and headers in another order or with foreign columns.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "formats/WuInfo.h"
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

// Every field but end_dec, subband_base and TimeStamp set, each to its own value.
WorkUnit sampleRecord() {
    const std::vector<std::pair<const char*, const char*>> fields = {
        {"version", "3"},
        {"name", "a, b"},
        {"splitter_version", "3a"},
        {"start_ra", "12.5"},
        {"start_dec", "-4.5"},
        {"end_ra", "0.1234567"},
        {"subband_center", "1418984375"},
        {"subband_sample_rate", "9765.625"},
        {"nsamples", "1048576"},
        {"angle_range", "0.45"},
        {"fft_len", "2048"},
        {"ifft_len", "8"},
        {"subband_number", "-5"},
        {"receiver", "ao1420"},
        {"tape_version", "4.1"},
        {"cpu", "3725.5"},
        {"prog", "0.5"},
        {"bs_power", "20.5"},
        {"bs_score", "1.25"},
        {"bs_bin", "7"},
        {"bs_fft_ind", "3"},
        {"bs_chirp_rate", "-1.5"},
        {"bs_fft_len", "9"},
        {"bg_score", "0.75"},
        {"bg_sigma", "2"},
        {"bg_power", "3.25"},
        {"bg_true_mean", "0.25"},
        {"bg_chisq", "1.125"},
        {"bg_bin", "11"},
        {"bg_fft_ind", "12"},
        {"bg_chirp_rate", "0.375"},
        {"bg_fft_len", "16"},
        {"bg_pot 0", "1.5"},
        {"bg_pot 63", "-0.25"}};
    WorkUnit r;
    for (const auto& [key, value] : fields) r.setField(fieldIndex(key), value);
    r.Update.setJulian(2451545.25);
    r.time_recorded.setJulian(2451544.5);
    return r;
}

std::string sampleRow() {
    std::string row =
        "2451545.250000,,3,\"a, b\",0x3a,12.500000,-4.500000,0.123457,0.000000,2451544.50000,"
        "1418984375.000000,0.000000,9765.625000,1048576,0.450000,2048,8,-5,\"ao1420\",\"4.1\","
        "3725.500000,0.500000,20.500000,1.250000,7,3,-1.500000,9,0.750000,2.000000,3.250000,"
        "0.250000,1.125000,11,12,0.375000,16,1.500000";
    for (int i = 1; i < 63; ++i) row += ",0.000000";
    return row + ",-0.250000\r\n";
}

// Every number form of a row written by hand: empty unset dates, 0x0, quoted empty texts.
std::string zeroRow() {
    std::string row = ",,0,\"z\",0x0,0.000000,0.000000,0.000000,0.000000,";  // time_recorded
    row += ",0.000000,0.000000,0.000000,0,0.000000,0,0,0,\"\",\"\"";
    row += ",0.000000,0.000000,0.000000,0.000000,0,0,0.000000,0";
    row += ",0.000000,0.000000,0.000000,0.000000,0.000000,0,0,0.000000,0";
    for (int i = 0; i < 64; ++i) row += ",0.000000";
    return row + "\r\n";
}

WorkUnitList storeOf(const std::vector<WorkUnit>& records) {
    WorkUnitList store;
    for (const WorkUnit& r : records) store.add(r);
    return store;
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
        ASSERT_TRUE(writeWuInfo(storeOf(c.records), dir.file("WUInfo.csv")));
        EXPECT_EQ(dir.read("WUInfo.csv"), c.bytes);
    }
}

TEST(WuInfoTest, WrittenFileReadsBackAndRewritesByteIdentical) {
    // Each column reads back into the field it came from, extreme values included, so a second
    // write gives the same bytes.
    TempDir dir;
    WorkUnit odd;
    odd.name = "odd";
    odd.TimeStamp.setUtc(2049, 12, 31, 23, 59, 59);
    odd.Update.setUtc(1984, 1, 1, 0, 0, 1);
    odd.time_recorded.setUtc(2003, 7, 4, 13, 14, 15);
    odd.splitter_version = -1;  // the 32-bit pattern 0xffffffff
    odd.version = -2147483647 - 1;
    odd.start_ra = 1e300;
    odd.cpu = -0.0000004;             // prints as -0.000000
    odd.tape_version = "  padded  ";  // blanks inside the quotes survive
    for (std::size_t i = 0; i < 64; ++i) odd.bg_pot[i] = i * 1.000001;
    ASSERT_TRUE(writeWuInfo(storeOf({sampleRecord(), odd}), dir.file("first.csv")));

    WorkUnitList back;
    ASSERT_TRUE(readWuInfo(back, dir.file("first.csv")));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].name, "a, b");  // the quotes protect the comma
    EXPECT_FALSE(back[0].TimeStamp.isSet());
    EXPECT_EQ(back[1].TimeStamp, odd.TimeStamp);
    EXPECT_EQ(back[1].tape_version, "  padded  ");
    ASSERT_TRUE(writeWuInfo(back, dir.file("second.csv")));
    EXPECT_EQ(dir.read("second.csv"), dir.read("first.csv"));
}

TEST(WuInfoTest, BytesThatStopReadingAreNotWritten) {
    // A NUL ends a row, byte 26 ends a text-mode file, and a double quote inside a text ends
    // its quotes, so that a comma after it splits the cell: a text holding one (from a support
    // data file or a result file) would cost the fields or the rows after it on the next run.
    TempDir dir;
    WorkUnit stops = sampleRecord();
    stops.name = "eof\x1a.unit";
    stops.receiver = std::string("a\0o", 3);
    WorkUnit quoted = sampleRecord();
    quoted.name = "ab\"c,d";
    quoted.receiver = "\"ao\",1420";
    quoted.tape_version = "4\"";
    WorkUnit later;
    later.name = "later.unit";
    ASSERT_TRUE(writeWuInfo(storeOf({stops, quoted, later}), dir.file("WUInfo.csv")));
    const std::string written = dir.read("WUInfo.csv");
    EXPECT_NE(written.find(",\"abc,d\",0x3a,"), std::string::npos);
    EXPECT_NE(written.find(",\"ao,1420\",\"4\",3725.500000,"), std::string::npos);
    WorkUnitList back;
    ASSERT_TRUE(readWuInfo(back, dir.file("WUInfo.csv")));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name, "eof.unit");
    EXPECT_EQ(back[0].receiver, "ao");
    EXPECT_DOUBLE_EQ(back[0].bg_pot[63], -0.25);  // the row's last field
    EXPECT_EQ(back[1].name, "abc,d");
    EXPECT_EQ(back[1].receiver, "ao,1420");
    EXPECT_EQ(back[1].tape_version, "4");
    EXPECT_DOUBLE_EQ(back[1].start_ra, 12.5);
    EXPECT_DOUBLE_EQ(back[1].prog, 0.5);
    EXPECT_DOUBLE_EQ(back[1].bg_pot[63], -0.25);
    EXPECT_EQ(back[2].name, "later.unit");
    // What was read back writes the same bytes again.
    ASSERT_TRUE(writeWuInfo(back, dir.file("again.csv")));
    EXPECT_EQ(dir.read("again.csv"), written);
}

TEST(WuInfoTest, HeadersInAnyOrderWithForeignColumns) {
    TempDir dir;
    // Names start with a digit: a line that starts with a quote and a letter is a header.
    dir.write("in.csv",
              "\"name\",\"prog\",\"Bogus column\",\"TimeStamp\",\"bg_pot 5\",\"splitter_version\"\n"
              "\"01aa\",0.25,ignored,2451545.0,7.5,1f\n"
              "\n"
              "\"02bb\",0.5\n"                        // short row: leading fields only
              "\"03cc\",abc,x,,1,0x10,extra,extra\n"  // unreadable and surplus fields
              ",0.9\n"                                // no name: dropped
              "\"prog\",\"name\"\r\n"                 // a second header changes the order
              "0.75,\"04dd\"\r\n");
    WorkUnitList store;
    ASSERT_TRUE(readWuInfo(store, dir.file("in.csv")));
    ASSERT_EQ(store.size(), 4u);
    ATime noon;
    noon.setUtc(2000, 1, 1, 12, 0, 0);
    EXPECT_EQ(store[0].TimeStamp, noon);
    EXPECT_DOUBLE_EQ(store[0].bg_pot[5], 7.5);
    EXPECT_EQ(store[0].splitter_version, 0x1f);
    EXPECT_FALSE(store[0].Update.isSet());  // a missing column keeps the default
    EXPECT_EQ(store[1].name, "02bb");
    EXPECT_FALSE(store[1].TimeStamp.isSet());
    EXPECT_DOUBLE_EQ(store[2].prog, 0.0);  // unreadable: the cleared row's 0, not 02bb's
    EXPECT_DOUBLE_EQ(store[2].bg_pot[5], 1.0);
    EXPECT_EQ(store[2].splitter_version, 0x10);
    EXPECT_EQ(store[3].name, "04dd");
    EXPECT_DOUBLE_EQ(store[3].prog, 0.75);

    // A file without a header uses the order of the last header the store has read.
    dir.write("plain.csv", "0.8,\"05ee\"\n");
    ASSERT_TRUE(readWuInfo(store, dir.file("plain.csv")));
    ASSERT_EQ(store.size(), 5u);
    EXPECT_DOUBLE_EQ(store[4].prog, 0.8);
}

TEST(WuInfoTest, WithoutAHeaderAFreshStoreUsesTheTableOrder) {
    TempDir dir;
    dir.write("without.csv", sampleRow());
    WorkUnitList store;
    ASSERT_TRUE(readWuInfo(store, dir.file("without.csv")));
    ASSERT_TRUE(writeWuInfo(store, dir.file("again.csv")));
    EXPECT_EQ(dir.read("again.csv"), header() + sampleRow());
}

}  // namespace

// A store of many batches is formatted on two threads: the file holds the same bytes as the
// store formatted in one piece, rows in store order.
TEST(WuInfoTest, LargeStoreWritesTheBytesOfOnePiece) {
    WorkUnitList store;
    for (int i = 0; i < 5000; ++i) {
        WorkUnit w = sampleRecord();
        w.name = "unit" + std::to_string(i);
        w.prog = i / 5000.0;
        w.bg_pot[static_cast<std::size_t>(i % 64)] = i;
        store.add(w);
    }
    TempDir dir;
    ASSERT_TRUE(writeWuInfo(store, dir.file("WUInfo.csv")));
    const std::string written = dir.read("WUInfo.csv");
    EXPECT_EQ(written, wuInfoBytes(store));
    WorkUnitList reread;
    readWuInfo(reread, dir.file("WUInfo.csv"));
    ASSERT_EQ(reread.size(), store.size());
    EXPECT_EQ(reread[4999].name, "unit4999");
}

// A file is parsed in batches on two threads. Headers that change the columns between and
// inside batches, a header as the last line, readings of one unit in different batches and
// rows that are empty or nameless: the store ends as from the one-piece reader of the same
// bytes, records, merges and the column order the next table starts with.
TEST(WuInfoTest, BatchesReadAsOnePiece) {
    std::string bytes = header();
    for (int i = 0; i < 12000; ++i) {
        const std::string name = "\"u" + std::to_string(i % 7000) + "\"";
        if (i % 2500 == 1249) bytes += "\"prog\",\"name\",\"bg_pot 3\"\r\n";
        if (i % 2500 == 2499) bytes += header();
        if (i % 997 == 0) bytes += "\r\n,0.5\r\n";
        const bool short_ = (i % 2500) >= 1249;  // under the three-column header
        const std::string row = sampleRow();
        const std::string afterName = row.substr(row.find("\"a, b\"") + 6);
        bytes += short_
                     ? std::to_string(i / 12000.0) + "," + name + "," + std::to_string(i) + "\r\n"
                     : std::to_string(2451545 + i % 13) + ",,3," + name + afterName;
    }
    bytes += "\"name\",\"cpu\"\r\n";
    TempDir dir;
    dir.write("in.csv", bytes);
    WorkUnitList batched;
    ASSERT_TRUE(readWuInfo(batched, dir.file("in.csv")));
    WorkUnitList whole;
    readWuInfoBytes(whole, bytes);
    ASSERT_EQ(batched.size(), whole.size());
    EXPECT_GT(whole.size(), 6000u);
    EXPECT_EQ(wuInfoBytes(batched), wuInfoBytes(whole));
    EXPECT_EQ(batched.columns, whole.columns);
    EXPECT_EQ(batched.columns.size(), 2u);
}

// Batches of a few bytes hold a row or two: headers between any two of them, as the first
// and the last line, empty lines and readings of one unit in different batches read as the
// one-piece reader reads them; stores of every count up to some batches of a row or two write
// the bytes of one piece.
TEST(WuInfoTest, BatchesOfAFewBytesReadAndWriteAsOnePiece) {
    const std::string bytes = header() + "0.25,\"u1\"\r\n" + "\"prog\",\"name\"\r\n" +
                              "0.5,\"u1\"\r\n\r\n0.75,\"u2\"\r\n" + "\"name\",\"cpu\"\r\n" +
                              "u3,12.5\r\nu2,13\r\n" + header() + sampleRow() +
                              "\"prog\",\"name\",\"bg_pot 3\"\r\n";
    WorkUnitList whole;
    readWuInfoBytes(whole, bytes);
    ASSERT_EQ(whole.size(), 4u);
    for (std::size_t size : {0u, 1u, 2u, 30u, 200u, 1u << 20}) {
        SCOPED_TRACE(size);
        WorkUnitList batched;
        readWuInfoBytes(batched, bytes, BatchSize(size));
        EXPECT_EQ(wuInfoBytes(batched), wuInfoBytes(whole));
        EXPECT_EQ(batched.columns, whole.columns);
    }
    WorkUnitList store;
    for (int count = 0; count <= 5; ++count) {
        for (std::size_t size : {0u, 1600u, 3200u, 4800u, 1u << 20}) {
            SCOPED_TRACE(testing::Message() << count << " rows, " << size << " bytes");
            EXPECT_EQ(wuInfoBytes(store, BatchSize(size)), wuInfoBytes(store));
        }
        WorkUnit w = sampleRecord();
        w.name = "unit" + std::to_string(count);
        w.bg_pot[static_cast<std::size_t>(count)] = count + 0.5;
        store.add(w);
    }
}
