// Tests of the support data file: the exact bytes the writer produces, a rewrite of what was
// read that gives the same bytes, and the reader's record, key and position rules.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "formats/SupportData.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

// A record with every written field set to a value whose printed form is easy to tell apart,
// and fields the file does not carry (version to nsamples), which must not show.
WorkUnit sampleRecord() {
    const std::vector<std::pair<const char*, const char*>> fields = {
        {"name", "21no99ab.1234.5678.9.10.11"},
        {"version", "3"},
        {"splitter_version", "3a"},
        {"receiver", "ao1420"},
        {"tape_version", "4.1"},
        {"nsamples", "1048576"},
        {"start_ra", "12.5"},
        {"start_dec", "-4.5"},
        {"end_ra", "12.625"},
        {"end_dec", "-4.375"},
        {"subband_base", "1418974609.375"},
        {"bs_power", "20.5"},
        {"bs_score", "1.25"},
        {"bs_bin", "7"},
        {"bs_fft_ind", "3"},
        {"bs_chirp_rate", "-1.5"},
        {"bs_fft_len", "8"},
        {"bg_power", "3.25"},
        {"bg_chisq", "1.5"},
        {"bg_score", "0.75"},
        {"bg_true_mean", "0.25"},
        {"bg_sigma", "2"},
        {"bg_bin", "11"},
        {"bg_fft_ind", "12"},
        {"bg_chirp_rate", "0.125"},
        {"bg_fft_len", "-16"},
        {"prog", "0.5"},
        {"cpu", "3725.5"}};
    WorkUnit r;
    for (const auto& [key, value] : fields) r.setField(fieldIndex(key), value);
    r.time_recorded.setUtc(2000, 6, 12, 8, 5, 9);
    r.TimeStamp.setUtc(2000, 6, 13, 23, 0, 1);
    return r;
}

const std::string goldenWithoutPot =
    "!\rname=21no99ab.1234.5678.9.10.11\r"
    "start_ra=12.500000\rstart_dec=-4.500000\rend_ra=12.625000\rend_dec=-4.375000\r"
    "subband_base=1418974609.375000\rtime_recorded=(2000/06/12 08:05:09)\r"
    "bs_power=20.500000\rbs_score=1.250000\rbs_bin=7\rbs_fft_ind=3\r"
    "bs_chirp_rate=-1.500000\rbs_fft_len=8\r"
    "bg_power=3.250000\rbg_chisq=1.500000\rbg_score=0.750000\rbg_true_mean=0.250000\r"
    "bg_sigma=2.000000\rbg_bin=11\rbg_fft_ind=12\rbg_chirp_rate=0.125000\rbg_fft_len=-16\r"
    "prog=0.500000\rcpu=3725.500000\rstarted_time=13/06/2000:23:00:01\r";

WorkUnit withPowerValues(WorkUnit r) {
    r.bg_pot[0] = 1.5;
    r.bg_pot[9] = 100.0625;
    r.bg_pot[63] = -0.25;
    return r;
}

// Keys count from 1: element 0 is "bg_pot 1", element 9 is "bg_pot 10".
std::string goldenPotLines() {
    std::string lines = "bg_pot 1=1.500000\r";
    for (int key = 2; key <= 63; ++key) {
        lines += key == 10 ? std::string("bg_pot 10=100.062500\r")
                           : "bg_pot " + std::to_string(key) + "=0.000000\r";
    }
    return lines + "bg_pot 64=-0.250000\r";
}

// A record with nothing but a name; its date-times are unset. TimeStamp's fields normalise to
// the default's Julian Date (as reading "(1984/01/00 00:00:00)" back leaves them), so it is
// unset too and must print the same, or every rewrite of a file would flip between two texts.
WorkUnit bareRecord() {
    WorkUnit r;
    r.name = "x";
    r.TimeStamp.year = 1983;
    r.TimeStamp.month = 12;
    r.TimeStamp.day = 31;
    return r;
}

// Every record the bytes give as a file.
std::vector<WorkUnit> readAll(const std::string& bytes) {
    TempDir dir;
    dir.write("ss.txt", bytes);
    std::vector<WorkUnit> records;
    SSLog log(dir.file("ss.txt"));
    while (log.readRecord()) records.push_back(log.record);
    return records;
}

TEST(SSExportTest, RecordBytes) {
    struct Case {
        const char* what;
        WorkUnit record;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"no power values: 26 lines and the empty one", sampleRecord(), goldenWithoutPot + "\r"},
        {"full gaussian: power values keyed from 1 to 64", withPowerValues(sampleRecord()),
         goldenWithoutPot + goldenPotLines() + "\r"},
        {"unset dates print from the default fields", bareRecord(),
         "!\rname=x\rstart_ra=0.000000\rstart_dec=0.000000\rend_ra=0.000000\r"
         "end_dec=0.000000\rsubband_base=0.000000\r"
         "time_recorded=(1984/01/00 00:00:00)\r"
         "bs_power=0.000000\rbs_score=0.000000\rbs_bin=0\rbs_fft_ind=0\r"
         "bs_chirp_rate=0.000000\rbs_fft_len=0\rbg_power=0.000000\rbg_chisq=0.000000\r"
         "bg_score=0.000000\rbg_true_mean=0.000000\rbg_sigma=0.000000\rbg_bin=0\r"
         "bg_fft_ind=0\rbg_chirp_rate=0.000000\rbg_fft_len=0\rprog=0.000000\r"
         "cpu=0.000000\rstarted_time=00/01/1984:00:00:00\r\r"},
    };
    ASSERT_FALSE(bareRecord().TimeStamp.isSet());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out;
        SSExport::writeRecord(out, c.record);
        EXPECT_EQ(out, c.bytes);
    }
}

TEST(SSExportTest, WhatWasReadRewritesToTheSameBytes) {
    // Each key the writer writes reads back into the field it came from: a wrong key, a pot
    // numbered from 0 or a date read in the wrong zone would change the second file.
    TempDir dir;
    WorkUnit full = withPowerValues(sampleRecord());
    full.bg_pot[6] = -1e-7;  // prints as -0.000000 and must keep doing so
    WorkUnitList store;
    store.add(full);
    store.add(bareRecord());
    ASSERT_TRUE(SSExport::exportAll(dir.file("first.txt"), store));

    const std::vector<WorkUnit> back = readAll(dir.read("first.txt"));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].TimeStamp, full.TimeStamp);
    EXPECT_FALSE(back[1].TimeStamp.isSet());
    EXPECT_FALSE(back[1].time_recorded.isSet());
    // What the file does not carry comes back as the reader's own values.
    EXPECT_EQ(back[0].version, 0);
    EXPECT_EQ(back[0].receiver, "ao1420");
    EXPECT_EQ(back[0].tape_version, "?");

    WorkUnitList reread;
    for (const WorkUnit& each : back) reread.add(each);
    ASSERT_TRUE(SSExport::exportAll(dir.file("second.txt"), reread));
    EXPECT_EQ(dir.read("first.txt"), dir.read("second.txt"));

    // An empty store empties the file.
    ASSERT_TRUE(SSExport::exportAll(dir.file("second.txt"), WorkUnitList()));
    EXPECT_EQ(dir.read("second.txt"), "");
}

// Thousands of records go out in batches formatted on two threads, in store order; read back
// through the streaming reader they are the same records.
TEST(SSExportTest, LargeStoreWritesEveryRecordInOrder) {
    WorkUnitList store;
    std::string expected;
    for (int i = 0; i < 3000; ++i) {
        WorkUnit w = i % 2 == 0 ? withPowerValues(sampleRecord()) : bareRecord();
        w.name = "unit" + std::to_string(i);
        store.add(w);
        SSExport::writeRecord(expected, w);
    }
    TempDir dir;
    ASSERT_TRUE(SSExport::exportAll(dir.file("ss_past_data.txt"), store));
    EXPECT_EQ(dir.read("ss_past_data.txt"), expected);
    SSLog log(dir.file("ss_past_data.txt"));
    int count = 0;
    while (log.readRecord()) ASSERT_EQ(log.record.name, "unit" + std::to_string(count++));
    EXPECT_EQ(count, 3000);
}

TEST(SSExportTest, RecordsFromTablesRewriteToTheSameBytes) {
    // Found by fuzzing: records read from WUInfo.csv or an I4WU export that the support data
    // file changed on their second rewrite.
    WorkUnit blankName = sampleRecord();
    blankName.name = " Samples ";  // a quoted cell keeps its blanks
    WorkUnit tinySigma = withPowerValues(sampleRecord());
    tinySigma.bg_sigma = 0.0000003;  // prints as 0.000000: no full gaussian when read back
    WorkUnit tinyPower = sampleRecord();
    tinyPower.bg_pot[5] = -0.0000004;  // the only power value, printed "-0.000000"
    struct Case {
        const char* what;
        WorkUnit record;
        const char* name;  // as read back
        bool powerLines;
    };
    const Case cases[] = {
        {"blanks around the name", blankName, "Samples", false},
        {"a sigma that prints as zero", tinySigma, "21no99ab.1234.5678.9.10.11", false},
        {"power values that print as zero", tinyPower, "21no99ab.1234.5678.9.10.11", false},
        {"a full gaussian keeps its power lines", withPowerValues(sampleRecord()),
         "21no99ab.1234.5678.9.10.11", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string first;
        SSExport::writeRecord(first, c.record);
        EXPECT_EQ(first.find("bg_pot 1=") != std::string::npos, c.powerLines);
        const std::vector<WorkUnit> back = readAll(first);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].name, c.name);
        std::string second;
        SSExport::writeRecord(second, back[0]);
        EXPECT_EQ(second, first);
    }
}

TEST(SSLogTest, RecordBoundaries) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"LF line ends", "!\nname=first\nprog=0.25\n\n!\nname=second\n", {"first", "second"}},
        {"CR LF line ends", "!\r\nname=first\r\n\r\n!\r\nname=second\r\n", {"first", "second"}},
        {"keys before the first \"!\" form a record of their own",
         "name=lead\r!\rname=a\r!\rname=b",
         {"lead", "a", "b"}},
        {"only \"!\" lines give records with empty names", "!\r!\r!\r", {"", ""}},
        {"an empty file holds no record", "", {}},
        {"keys without values do not start a record", "name=\rprog=\r!\rname=a\r", {"a"}},
        {"a value without a key does not start a record", "=lead\r!\rname=a\r", {"a"}},
        {"\"!\" with a value is a key line, not a record mark", "!\rname=a\r!=x\rprog=1\r", {"a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        for (const WorkUnit& r : readAll(c.bytes)) names.push_back(r.name);
        EXPECT_EQ(names, c.names);
    }
}

// Reads a single record made of the given lines (CR line ends).
WorkUnit readOne(const std::vector<std::string>& lines) {
    std::string bytes = "!\r";
    for (const std::string& line : lines) bytes += line + "\r";
    const std::vector<WorkUnit> records = readAll(bytes);
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? WorkUnit() : records[0];
}

TEST(SSLogTest, KeysOfTheFile) {
    ATime before;
    before.setNow();
    const WorkUnit r = readOne(
        {"name=k", "Prog=0.5", "bg_pot 0=9", "bg_pot 1=1.5", "bg_pot 64=-2", "bg_pot 65=3",
         "version=3", "receiver=other", "TimeStamp=(2001/02/03 04:05:06)", "Update=2451544.5",
         "started_time=12/06/2000:08:05:09", "time_recorded=(2000/06/12 08:05:09)"});
    ATime after;
    after.setNow();
    EXPECT_DOUBLE_EQ(r.prog, 0.0);  // keys are matched case by case
    // Power values count from 1: keys 0 and 65 name nothing.
    std::array<double, 64> pots{};
    pots[0] = 1.5;
    pots[63] = -2.0;
    EXPECT_EQ(r.bg_pot, pots);
    // Keys the writer leaves out are still read.
    EXPECT_EQ(r.version, 3);
    EXPECT_EQ(r.receiver, "other");
    // The arrival comes from started_time only; Update is when the file was opened.
    ATime expected;
    expected.setUtc(2000, 6, 12, 8, 5, 9);
    EXPECT_EQ(r.TimeStamp, expected);
    EXPECT_EQ(r.time_recorded, expected);
    EXPECT_FALSE(r.Update < before);
    EXPECT_FALSE(after < r.Update);
}

TEST(SSLogTest, PositionSetsTheStartCoordinates) {
    struct Case {
        const char* value;
        double ra;
        double dec;
    };
    const Case cases[] = {
        {" 12\t30 0 -5 30 0 ", 12.5, -4.5},  // each part keeps its own sign
        {"12 30", 12.5, 0.0},                // missing parts count as 0
        {"abc", 7.0, 8.0},                   // nothing readable: unchanged
        {"3 0 0 4 0 0 99", 3.0, 4.0},        // a seventh number is ignored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const WorkUnit r = readOne(
            {"name=p", "start_ra=7", "start_dec=8", "end_ra=9", std::string("pos=") + c.value});
        EXPECT_NEAR(r.start_ra, c.ra, 1e-12);
        EXPECT_NEAR(r.start_dec, c.dec, 1e-12);
        EXPECT_DOUBLE_EQ(r.end_ra, 9.0);
    }
}

TEST(SSLogTest, ReaderStates) {
    TempDir dir;
    SSLog log;
    EXPECT_FALSE(log.readRecord());
    EXPECT_FALSE(log.open(dir.file("missing.txt")));
    EXPECT_FALSE(log.readRecord());
    dir.write("a.txt", "!\rname=a\r");
    dir.write("b.txt", "!\rname=b\r");
    ASSERT_TRUE(log.open(dir.file("a.txt")));
    ASSERT_TRUE(log.open(dir.file("b.txt")));  // drops the first file
    ASSERT_TRUE(log.readRecord());
    EXPECT_EQ(log.record.name, "b");
    log.close();
    EXPECT_FALSE(log.readRecord());
    EXPECT_EQ(log.record.name, "");
}

}  // namespace

// A large file is parsed in batches on two threads, cut before lines "!". Line ends of every
// kind, "!" that are not bare, two "!" in a row, text before the first record and a readings
// of one unit far apart: the store ends as from reading the whole bytes record by record.
TEST(SSLogTest, BatchesReadAsOnePiece) {
    std::string bytes = "prog=0.1\rname=before the first\r";
    static constexpr const char* Ends[] = {"\r", "\n", "\r\n"};
    for (int i = 0; i < 20000; ++i) {
        const char* end = Ends[i % 3];
        bytes += i % 11 == 0 ? std::string(" ! ") + end : std::string("!") + end;
        if (i % 13 == 0) bytes += std::string("!") + end;
        std::string record;
        WorkUnit w = i % 4 == 0 ? withPowerValues(sampleRecord()) : bareRecord();
        w.name = (i % 7 == 0 ? "unit!" : "unit") + std::to_string(i % 15000);
        w.prog = i / 20000.0;
        SSExport::writeRecord(record, w);
        record = record.substr(2);  // without its own "!"
        for (char& c : record) {
            if (c == '\r' && i % 3 == 1) c = '\n';
        }
        bytes += record;
    }
    TempDir dir;
    dir.write("ss_past_data.txt", bytes);
    WorkUnitList batched;
    SSLog log(dir.file("ss_past_data.txt"));
    ASSERT_TRUE(log.addAllTo(batched));
    WorkUnitList whole;
    SSLog memory;
    memory.openBytes(bytes);
    while (memory.readRecord()) whole.add(memory.record);
    ASSERT_EQ(batched.size(), whole.size());
    EXPECT_GT(whole.size(), 15000u);
    std::string batchedBytes;
    std::string wholeBytes;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        SSExport::writeRecord(batchedBytes, batched[i]);
        SSExport::writeRecord(wholeBytes, whole[i]);
        ASSERT_EQ(batched[i].Update, batched[0].Update);  // one open time for the whole file
    }
    EXPECT_EQ(batchedBytes, wholeBytes);
}

// Batches of a few bytes are cut before nearly every line "!" of a file that holds "!" in
// every other place: at a line's end and start, inside a long line, around blanks. Every size
// reads the file as the whole bytes read record by record.
TEST(SSLogTest, BatchesOfAFewBytesReadAsOnePiece) {
    const std::string bytes =
        "name=lead!\rprog=0.1\r!\rname=a1\rprog=0.5\r!x=1\r\r!\r\n" +
        std::string("name=a2\r ! \rname=a3\r!\nname=a!4\r!\r!\r") +
        "name=a5\rprog=0.25\r!\r\nname=a1\rprog=0.75\r!\rname=" + std::string(3000, '!') + "\r!\r" +
        "name=long" + std::string(5000, 'x') + "!y\r!\rname=last";
    TempDir dir;
    dir.write("ss_past_data.txt", bytes);
    WorkUnitList whole;
    SSLog memory;
    memory.openBytes(bytes);
    while (memory.readRecord()) whole.add(memory.record);
    ASSERT_EQ(whole.size(), 9u);
    std::string wholeBytes;
    for (const WorkUnit& record : whole) SSExport::writeRecord(wholeBytes, record);
    for (std::size_t size : {0u, 1u, 2u, 3u, 5u, 17u, 64u, 4096u}) {
        SCOPED_TRACE(size);
        WorkUnitList batched;
        SSLog log(dir.file("ss_past_data.txt"));
        ASSERT_TRUE(log.addAllTo(batched, BatchSize(size)));
        std::string batchedBytes;
        for (const WorkUnit& record : batched) SSExport::writeRecord(batchedBytes, record);
        EXPECT_EQ(batchedBytes, wholeBytes);
    }
}

// Stores of every count up to some batches of a record or two: written in batches, the
// bytes are those of the records written one after the other.
TEST(SSExportTest, BatchesOfAFewRecordsWriteTheBytesOfOnePiece) {
    WorkUnitList store;
    std::string whole;
    for (int count = 0; count <= 5; ++count) {
        for (std::size_t size : {0u, 2400u, 4800u, 7200u, 1u << 20}) {
            SCOPED_TRACE(testing::Message() << count << " records, " << size << " bytes");
            EXPECT_EQ(SSExport::exportBytes(store, BatchSize(size)), whole);
        }
        WorkUnit w = count % 2 == 0 ? withPowerValues(sampleRecord()) : bareRecord();
        w.name = "unit" + std::to_string(count);
        store.add(w);
        SSExport::writeRecord(whole, w);
    }
}
