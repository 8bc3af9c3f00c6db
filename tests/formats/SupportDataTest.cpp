// Tests of the support data file: the exact bytes the writer produces, the reader's line and
// key rules, and that a failed rewrite or append never costs the old file a byte.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/SupportData.h"
#include "platform/platform.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

// A work unit with every written field set to a value whose printed form is easy to tell apart.
WorkUnit sampleRecord() {
    WorkUnit r;
    r.name = "21no99ab.1234.5678.9.10.11";
    r.version = 3;                 // not written
    r.splitter_version = 0x3a;     // not written
    r.receiver = "ao1420";         // not written
    r.tape_version = "4.1";        // not written
    r.nsamples = 1048576;          // not written
    r.start_ra = 12.5;
    r.start_dec = -4.5;
    r.end_ra = 12.625;
    r.end_dec = -4.375;
    r.subband_base = 1418974609.375;
    r.time_recorded.setUtc(2000, 6, 12, 8, 5, 9);
    r.bs_power = 20.5;
    r.bs_score = 1.25;
    r.bs_bin = 7;
    r.bs_fft_ind = 3;
    r.bs_chirp_rate = -1.5;
    r.bs_fft_len = 8;
    r.bg_power = 3.25;
    r.bg_chisq = 1.5;
    r.bg_score = 0.75;
    r.bg_true_mean = 0.25;
    r.bg_sigma = 2.0;
    r.bg_bin = 11;
    r.bg_fft_ind = 12;
    r.bg_chirp_rate = 0.125;
    r.bg_fft_len = -16;
    r.prog = 0.5;
    r.cpu = 3725.5;
    r.TimeStamp.setUtc(2000, 6, 13, 23, 0, 1);
    return r;
}

const std::string goldenWithoutPot =
    "!\r"
    "name=21no99ab.1234.5678.9.10.11\r"
    "start_ra=12.500000\r"
    "start_dec=-4.500000\r"
    "end_ra=12.625000\r"
    "end_dec=-4.375000\r"
    "subband_base=1418974609.375000\r"
    "time_recorded=(2000/06/12 08:05:09)\r"
    "bs_power=20.500000\r"
    "bs_score=1.250000\r"
    "bs_bin=7\r"
    "bs_fft_ind=3\r"
    "bs_chirp_rate=-1.500000\r"
    "bs_fft_len=8\r"
    "bg_power=3.250000\r"
    "bg_chisq=1.500000\r"
    "bg_score=0.750000\r"
    "bg_true_mean=0.250000\r"
    "bg_sigma=2.000000\r"
    "bg_bin=11\r"
    "bg_fft_ind=12\r"
    "bg_chirp_rate=0.125000\r"
    "bg_fft_len=-16\r"
    "prog=0.500000\r"
    "cpu=3725.500000\r"
    "started_time=13/06/2000:23:00:01\r";

// Keys count from 1: element 0 is "bg_pot 1", element 9 is "bg_pot 10".
std::string goldenPotLines() {
    std::string lines = "bg_pot 1=1.500000\r";
    for (int key = 2; key <= 63; ++key) {
        lines += key == 10 ? std::string("bg_pot 10=100.062500\r")
                           : "bg_pot " + std::to_string(key) + "=0.000000\r";
    }
    return lines + "bg_pot 64=-0.250000\r";
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

// Reads every record of a file through SSLog.
std::vector<WorkUnit> readAll(const std::string& path) {
    std::vector<WorkUnit> records;
    SSLog log(path);
    while (log.readRecord()) records.push_back(log.record);
    return records;
}

WorkUnit withPowerValues(WorkUnit r) {
    r.bg_pot[0] = 1.5;
    r.bg_pot[9] = 100.0625;
    r.bg_pot[63] = -0.25;
    return r;
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

TEST(SSExportTest, PowerValuesOnlyWithAFullGaussian) {
    struct Case {
        const char* what;
        double WorkUnit::*zeroed;  // a gaussian field set to 0, or none
        bool potLines;
    };
    const Case cases[] = {
        {"full gaussian", nullptr, true},
        {"no sigma", &WorkUnit::bg_sigma, false},
        {"no chisq", &WorkUnit::bg_chisq, false},
        {"no score", &WorkUnit::bg_score, false},
        {"power does not count", &WorkUnit::bg_power, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkUnit r = withPowerValues(sampleRecord());
        if (c.zeroed != nullptr) r.*c.zeroed = 0.0;
        std::string out;
        SSExport::writeRecord(out, r);
        EXPECT_EQ(out.find("bg_pot") != std::string::npos, c.potLines);
    }
}

TEST(SSExportTest, ExportReadsBackIntoTheSameFieldsAndRewritesIdentically) {
    TempDir dir;
    WorkUnit full = sampleRecord();
    for (std::size_t i = 0; i < 64; ++i) full.bg_pot[i] = static_cast<double>(i) + 0.5;
    full.bg_pot[5] = 0.1234567;
    full.bg_pot[6] = -1e-7;  // prints as -0.000000 and must keep doing so
    WorkUnitList store;
    store.add(full);
    store.add(bareRecord());
    const std::string first = dir.file("first.txt");
    ASSERT_TRUE(SSExport::exportAll(first, store));

    const std::vector<WorkUnit> back = readAll(first);
    ASSERT_EQ(back.size(), 2u);
    const WorkUnit& r = back[0];
    EXPECT_EQ(r.name, full.name);
    EXPECT_DOUBLE_EQ(r.start_ra, 12.5);
    EXPECT_DOUBLE_EQ(r.start_dec, -4.5);
    EXPECT_DOUBLE_EQ(r.end_ra, 12.625);
    EXPECT_DOUBLE_EQ(r.end_dec, -4.375);
    EXPECT_DOUBLE_EQ(r.subband_base, 1418974609.375);
    EXPECT_EQ(r.time_recorded, full.time_recorded);
    EXPECT_EQ(r.TimeStamp, full.TimeStamp);
    EXPECT_EQ(r.bs_bin, 7);
    EXPECT_EQ(r.bs_fft_ind, 3);
    EXPECT_EQ(r.bs_fft_len, 8);
    EXPECT_DOUBLE_EQ(r.bs_chirp_rate, -1.5);
    EXPECT_DOUBLE_EQ(r.bg_chisq, 1.5);
    EXPECT_EQ(r.bg_fft_len, -16);
    EXPECT_DOUBLE_EQ(r.cpu, 3725.5);
    // The same 64 power values in the same elements (keys bg_pot 1 to 64 on both sides).
    for (std::size_t i = 0; i < 64; ++i) {
        if (i != 5 && i != 6) {
            EXPECT_DOUBLE_EQ(r.bg_pot[i], i + 0.5) << "element " << i;
        }
    }
    EXPECT_DOUBLE_EQ(r.bg_pot[5], 0.123457);
    // Fields the file does not carry come back as the reader's defaults.
    EXPECT_EQ(r.version, 0);
    EXPECT_EQ(r.receiver, "ao1420");
    EXPECT_EQ(r.tape_version, "?");
    EXPECT_FALSE(back[1].TimeStamp.isSet());
    EXPECT_FALSE(back[1].time_recorded.isSet());

    WorkUnitList reread;
    for (const WorkUnit& each : back) reread.add(each);
    ASSERT_TRUE(SSExport::exportAll(dir.file("second.txt"), reread));
    EXPECT_EQ(dir.read("first.txt"), dir.read("second.txt"));
}

TEST(SSExportTest, EmptyStoreGivesAnEmptyFile) {
    TempDir dir;
    dir.write("ss.txt", "old contents\r");
    ASSERT_TRUE(SSExport::exportAll(dir.file("ss.txt"), WorkUnitList()));
    EXPECT_EQ(dir.read("ss.txt"), "");
}

TEST(SSExportTest, AppendCreatesTheFileOrAddsAfterTheOldBytes) {
    TempDir dir;
    std::string one;
    SSExport::writeRecord(one, sampleRecord());

    ASSERT_TRUE(SSExport::appendRecord(dir.file("new.txt"), sampleRecord()));
    EXPECT_EQ(dir.read("new.txt"), one);

    const std::string old = "!\rname=older\rcpu=1\r\r";
    dir.write("old.txt", old);
    ASSERT_TRUE(SSExport::appendRecord(dir.file("old.txt"), sampleRecord()));
    EXPECT_EQ(dir.read("old.txt"), old + one);
}

// Makes the n-th write-seam call fail, for n = 1, 2, ... until the operation succeeds; after
// every failure the target must hold its old bytes and no stray file may be left beside it.
void checkEveryFailurePoint(const std::function<bool(const std::string&)>& write) {
    TempDir dir;
    const std::string old = "!\rname=keep.me\rprog=0.9\r\r";
    int failures = 0;
    for (int n = 1; n <= 50; ++n) {
        SCOPED_TRACE("failing seam call " + std::to_string(n));
        dir.write("target.txt", old);
        platform::failWriteCallAfter(n);
        const bool ok = write(dir.file("target.txt"));
        platform::failWriteCallAfter(0);
        if (ok) {
            EXPECT_NE(dir.read("target.txt"), old);
            break;
        }
        ++failures;
        EXPECT_EQ(dir.read("target.txt"), old);
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"target.txt"});
    }
    // At least open and write failed before the run that succeeded.
    EXPECT_GE(failures, 2);
    EXPECT_LT(failures, 50);
}

TEST(SSExportTest, FailedExportKeepsTheOldFile) {
    WorkUnitList store;
    store.add(sampleRecord());
    checkEveryFailurePoint(
        [&store](const std::string& path) { return SSExport::exportAll(path, store); });
}

TEST(SSExportTest, FailedAppendCutsTheFileBack) {
    checkEveryFailurePoint(
        [](const std::string& path) { return SSExport::appendRecord(path, sampleRecord()); });
}

TEST(SSExportTest, ExportIntoAMissingDirectoryFails) {
    TempDir dir;
    WorkUnitList store;
    store.add(sampleRecord());
    EXPECT_FALSE(SSExport::exportAll(dir.file("missing/ss.txt"), store));
    EXPECT_FALSE(SSExport::appendRecord(dir.file("missing/ss.txt"), sampleRecord()));
    EXPECT_FALSE(dir.exists("missing"));
}


TEST(SSLogTest, LineEndStylesReadAlike) {
    const std::vector<std::string> lines = {"!", "name=first", "prog=0.25", "", "!",
                                            "name=second", "prog=0.75", ""};
    for (const std::string& end : {std::string("\r"), std::string("\r\n"), std::string("\n")}) {
        SCOPED_TRACE(end == "\r" ? "CR" : end == "\n" ? "LF" : "CR LF");
        TempDir dir;
        std::string bytes;
        for (const std::string& line : lines) bytes += line + end;
        dir.write("ss.txt", bytes);
        std::vector<WorkUnit> records = readAll(dir.file("ss.txt"));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].name, "first");
        EXPECT_DOUBLE_EQ(records[0].prog, 0.25);
        EXPECT_EQ(records[1].name, "second");
        EXPECT_DOUBLE_EQ(records[1].prog, 0.75);
    }
}

TEST(SSLogTest, RecordBoundaries) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"keys before the first \"!\" form a record of their own",
         "name=lead\r!\rname=a\r!\rname=b\r", {"lead", "a", "b"}},
        {"only \"!\" lines give records with empty names", "!\r!\r!\r", {"", ""}},
        {"last line without a carriage return still counts", "!\rname=a\r!\rname=b",
         {"a", "b"}},
        {"an empty file holds no record", "", {}},
        {"a record without a name line is still returned", "!\rprog=0.5\r!\rname=b\r",
         {"", "b"}},
        {"keys without values do not start a record", "name=\rprog=\r!\rname=a\r", {"a"}},
        {"a value without a key does not start a record", "=lead\r!\rname=a\r", {"a"}},
        {"\"!\" with a value is a key line, not a record mark", "!\rname=a\r!=x\rprog=1\r",
         {"a"}},
        {"blanks around \"!\" still mark a record", "!\rname=a\r \t! \rname=b\r", {"a", "b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        dir.write("ss.txt", c.bytes);
        std::vector<std::string> names;
        for (const WorkUnit& r : readAll(dir.file("ss.txt"))) names.push_back(r.name);
        EXPECT_EQ(names, c.names);
    }
}

// Reads a single record made of the given lines (CR line ends).
WorkUnit readOne(const std::vector<std::string>& lines) {
    TempDir dir;
    std::string bytes = "!\r";
    for (const std::string& line : lines) bytes += line + "\r";
    dir.write("ss.txt", bytes);
    std::vector<WorkUnit> records = readAll(dir.file("ss.txt"));
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? WorkUnit() : records[0];
}

TEST(SSLogTest, KeysAndValuesAreTrimmedAndMatchedExactly) {
    WorkUnit r = readOne({" \t name \t= \t wu.1 \t", "Prog=0.5", "cpu = 12.5 seconds",
                          "bs_bin=abc", "bs_fft_len=7", "bs_fft_len=x", "bg_pot 0=9",
                          "bg_pot 1=1.5", "bg_pot 64=-2", "bg_pot 65=3", "splitter_version=0x1f",
                          "version=3.9", "receiver=other", "a=b=c"});
    EXPECT_EQ(r.name, "wu.1");
    EXPECT_DOUBLE_EQ(r.prog, 0.0);   // "Prog" is no key
    EXPECT_DOUBLE_EQ(r.cpu, 12.5);   // trailing text ignored
    EXPECT_EQ(r.bs_bin, 0);          // not a number: unchanged
    EXPECT_EQ(r.bs_fft_len, 7);      // a later unreadable value keeps the earlier one
    EXPECT_DOUBLE_EQ(r.bg_pot[0], 1.5);
    EXPECT_DOUBLE_EQ(r.bg_pot[63], -2.0);
    for (std::size_t i = 1; i < 63; ++i) EXPECT_EQ(r.bg_pot[i], 0.0) << "element " << i;
    EXPECT_EQ(r.splitter_version, 0x1f);
    EXPECT_EQ(r.version, 3);
    EXPECT_EQ(r.receiver, "other");
    EXPECT_EQ(r.tape_version, "?");
}

TEST(SSLogTest, DatesComeFromStartedTimeAndTheOpenTime) {
    ATime before;
    before.setNow();
    WorkUnit r = readOne({"name=d", "TimeStamp=(2001/02/03 04:05:06)", "Update=2451544.5",
                          "started_time=12/06/2000:08:05:09",
                          "time_recorded=(2000/06/12 08:05:09)"});
    ATime after;
    after.setNow();
    ATime expected;
    expected.setUtc(2000, 6, 12, 8, 5, 9);
    EXPECT_EQ(r.TimeStamp, expected);
    EXPECT_EQ(r.time_recorded, expected);
    // Update is when the file was opened, never a value from the file.
    EXPECT_FALSE(r.Update < before);
    EXPECT_FALSE(after < r.Update);

    WorkUnit unset = readOne({"name=u", "time_recorded=(1984/01/00 00:00:00)",
                              "started_time=00/01/1984:00:00:00"});
    EXPECT_FALSE(unset.time_recorded.isSet());
    EXPECT_FALSE(unset.TimeStamp.isSet());
}

TEST(SSLogTest, PositionSetsTheStartCoordinates) {
    struct Case {
        const char* value;
        double ra;
        double dec;
    };
    const std::vector<Case> cases = {
        {"12 30 0 -5 30 0", 12.5, -4.5},
        {"  1\t15 36  2 0 0 ", 1.26, 2.0},
        {"12 30", 12.5, 0.0},          // missing parts count as 0
        {"abc", 7.0, 8.0},             // nothing readable: unchanged
        {"3 0 0 4 0 0 99", 3.0, 4.0},  // a seventh number is ignored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        WorkUnit r = readOne({"name=p", "start_ra=7", "start_dec=8", "end_ra=9", "end_dec=10",
                              std::string("pos=") + c.value});
        EXPECT_NEAR(r.start_ra, c.ra, 1e-12);
        EXPECT_NEAR(r.start_dec, c.dec, 1e-12);
        EXPECT_DOUBLE_EQ(r.end_ra, 9.0);
        EXPECT_DOUBLE_EQ(r.end_dec, 10.0);
    }
}

TEST(SSLogTest, ReaderStates) {
    TempDir dir;
    SSLog log;
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.readRecord());
    EXPECT_FALSE(log.open(dir.file("missing.txt")));
    EXPECT_FALSE(log.readRecord());

    dir.write("a.txt", "!\rname=a\r");
    dir.write("b.txt", "!\rname=b\r");
    ASSERT_TRUE(log.open(dir.file("a.txt")));
    ASSERT_TRUE(log.readRecord());
    EXPECT_EQ(log.record.name, "a");
    // Opening another file drops the first one.
    ASSERT_TRUE(log.open(dir.file("b.txt")));
    ASSERT_TRUE(log.readRecord());
    EXPECT_EQ(log.record.name, "b");
    EXPECT_FALSE(log.readRecord());
    log.close();
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(log.record.name, "");
}

}  // namespace
