// The result file reader: header conversions, the end of the header, token splitting,
// context lines, power curves, duplicates, the best-signal choice and the reader's lifecycle.
// (Ordinary signal rows and their order are pinned by the golden pages of the Quillet runs.)
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "clientfiles/ResFile.h"
#include "support/SignalAt.h"
#include "support/TempDir.h"

// Designated initializers name only the fields a case sets; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

class ResFileTest : public ::testing::Test {
protected:
    // Writes `text` as a result file and reads it into `reader`.
    void readText(ResFile& reader, const std::string& text) {
        dir.write("result.sah", text);
        ASSERT_TRUE(reader.open(dir.file("result.sah")));
        ASSERT_TRUE(reader.read());
    }
    TempDir dir;
};

std::string date(const ATime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

}  // namespace

// splitter_version is hexadecimal with or without 0x; a time_recorded that is no number keeps
// the earlier date. (cpu_time and a bracketed date after time_recorded are in the golden runs.)
TEST_F(ResFileTest, HeaderValuesConvertByFieldType) {
    ResFile reader;
    readText(reader,
             "splitter_version=10\ntime_recorded=2451544.5\n"
             "time_recorded=(Sun Jan 02 00:00:00 2000)\nprog=0.25\nend_seti_header\n");
    EXPECT_EQ(reader.record.splitter_version, 16);
    EXPECT_EQ(date(reader.record.time_recorded), "2000-01-01 00:00:00");
    EXPECT_EQ(reader.record.prog, 0.25);
    readText(reader, "splitter_version=0x1F\nend_seti_header\n");
    EXPECT_EQ(reader.record.splitter_version, 31);
}

// "end_seti_header" with or without "=" ends the header; "end_seti_header=1" is just a line.
TEST_F(ResFileTest, EndOfHeaderRules) {
    struct Case {
        const char* end;
        bool ends;
    };
    for (const Case& c : {Case{"end_seti_header", true}, Case{"end_seti_header=", true},
                          Case{"  end_seti_header  ", true}, Case{"end_seti_header=1", false},
                          Case{"End_Seti_Header", false}}) {
        SCOPED_TRACE(c.end);
        ResFile reader;
        readText(reader, std::string("name=wu\n") + c.end + "\nversion=7\nspike: power=2\n");
        // In the header the spike line is the unknown key "spike: power"; in the signal
        // section "version=7" has no blank and is skipped.
        EXPECT_EQ(reader.record.version, c.ends ? 0 : 7);
        EXPECT_EQ(reader.spikes.size(), c.ends ? 1u : 0u);
    }
}

TEST_F(ResFileTest, TokensSplitAtEqualsAndBlanks) {
    ResFile reader;
    readText(reader,
             "name=wu\nstart_ra=3.5\nstart_dec=7.25\nend_seti_header\n"
             // "ra " with its blank is no key; "dec= 28.58" skips the blank after "=".
             "spike: ra = 12.5 dec= 28.58 power=1\n"
             "spike: power=2 freq=1.5e+009junk time=2451544.5\n"
             "spike:  power=3   fft_len=4096   chirp_rate=-2.5\n"
             "spike: power= dec=\n"
             "spike:\n"
             "spike: name=other ncfft=99 power=6\n");  // keys no signal line takes
    ASSERT_EQ(reader.spikes.size(), 5u);
    // Sorted by power: 6, 3, 2, 1, 0.
    EXPECT_EQ(reader.spikes[0].name, "wu");
    EXPECT_EQ(reader.spikes[0].ncfft, 0);
    EXPECT_EQ(reader.spikes[1].fft_len, 4096);
    EXPECT_EQ(reader.spikes[1].chirp_rate, -2.5);
    EXPECT_EQ(reader.spikes[2].freq, 1.5e9);
    EXPECT_EQ(date(reader.spikes[2].time), "2000-01-01 00:00:00");
    EXPECT_EQ(reader.spikes[3].ra, 3.5);  // seeded from start_ra
    EXPECT_EQ(reader.spikes[3].dec, 28.58);
    EXPECT_EQ(reader.spikes[4].dec, 7.25);  // empty values keep the seeds
}

// Every key of a signal line sets its own field, and only its own: keys are exact, each kind
// spells the chirp rate its own way, and "name", "ncfft" and "pot N" change nothing.
TEST_F(ResFileTest, EachSignalKeySetsItsField) {
    ResFile reader;
    readText(reader,
             "name=wu\nstart_ra=8\nend_seti_header\n<ogh ncfft=4 cr=0.5 fl=16>\n"
             "gaussian: chirprate=1.5 fft_len=64 peak=7 mean=0.25 ra=2.5 dec=-4 time=2451544.5 "
             "freq=1420.25 sigma=3 chisqr=2 maxpow=9 pot=0A0B\n"
             "gaussian: peak=1 chisqr=4 chirp_rate=9 Peak=9 power=9 mean =9 name=x ncfft=9 "
             "pot 0=9 pot 64=9 pot07=9\n"
             "spike: chirp_rate=-2 fft_len=128 power=5 ra=1.5 dec=3.5 time=2451545 freq=1419.5\n"
             "spike: power=1 chirprate=9 Power=9 peak=9 pot=FF name=x ncfft=9\n");
    ATime jd1;
    jd1.setJulian(2451544.5);
    ATime jd2;
    jd2.setJulian(2451545);
    const Gaussian full = at({.name = "wu",
                              .ncfft = 4,
                              .fft_len = 64,
                              .ra = 2.5,
                              .dec = -4,
                              .time = jd1,
                              .freq = 1420.25},
                             Gaussian{.chirprate = 1.5,
                                      .peak = 7,
                                      .mean = 0.25,
                                      .sigma = 3,
                                      .chisqr = 2,
                                      .maxpow = 9,
                                      .pot = {10, 11}});
    const Gaussian seeded = at({.name = "wu", .ncfft = 4, .fft_len = 16, .ra = 8},
                               Gaussian{.chirprate = 0.5, .peak = 1, .chisqr = 4});
    const Spike spikeFull = at({.name = "wu",
                                .ncfft = 4,
                                .fft_len = 128,
                                .ra = 1.5,
                                .dec = 3.5,
                                .time = jd2,
                                .freq = 1419.5},
                               Spike{.chirp_rate = -2, .power = 5});
    const Spike spikeSeeded = at({.name = "wu", .ncfft = 4, .fft_len = 16, .ra = 8},
                                 Spike{.chirp_rate = 0.5, .power = 1});
    ASSERT_EQ(reader.gaussians.size(), 2u);
    EXPECT_TRUE(reader.gaussians[0] == full);
    EXPECT_TRUE(reader.gaussians[1] == seeded);
    ASSERT_EQ(reader.spikes.size(), 2u);
    EXPECT_TRUE(reader.spikes[0] == spikeFull);
    EXPECT_TRUE(reader.spikes[1] == spikeSeeded);
}

// Context lines set ncfft, cr and fl for the signal lines after them; a value missing from
// a context line is 0; "<ogt" lines change nothing; a signal's own tokens win.
TEST_F(ResFileTest, ContextLinesApplyToFollowingSignals) {
    ResFile reader;
    readText(reader,
             "name=wu\nend_seti_header\n"
             "spike: power=1\n"
             "<ogh ncfft=8 cr=0.0 fl=131072>\n"
             "spike: power=2\n"
             "<ogt ncfft=16 cr=5.0 fl=64>\n"
             "spike: power=3 fft_len=512 chirp_rate=1.25\n"
             "<ogh  ncfft=4 fl=2048>\n"
             "gaussian: peak=1 chisqr=1\n"
             "<ogh cr=-3.5e+000>\n"
             "spike: power=4\n");
    using Row = std::tuple<double, int, int, double>;  // power, ncfft, fft_len, chirp rate
    const Row expected[] = {{4, 0, 0, -3.5}, {3, 8, 512, 1.25}, {2, 8, 131072, 0}, {1, 0, 0, 0}};
    ASSERT_EQ(reader.spikes.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const Spike& s = reader.spikes[i];
        EXPECT_EQ(Row(s.power, s.ncfft, s.fft_len, s.chirp_rate), expected[i]) << i;
    }
    ASSERT_EQ(reader.gaussians.size(), 1u);
    const Gaussian& g = reader.gaussians[0];
    EXPECT_EQ(Row(g.peak, g.ncfft, g.fft_len, g.chirprate), Row(1, 4, 2048, 0));
}

// At most 64 pairs and no odd last character; a pair that is not two hex digits keeps the
// value seeded from the header's bg_pot lines; "pot N" tokens are accepted but change nothing.
TEST_F(ResFileTest, PowerCurveDecoding) {
    std::string pairs64;
    for (int i = 0; i < 64; ++i) pairs64 += "1F";
    ResFile reader;
    // Seeds: pot 0 is 255, pot 5 half the largest, trunc(2.0 * 255 / 4.0) = 127.
    readText(reader,
             "name=wu\nbg_pot 0=4.0\nbg_pot 5=2.0\nend_seti_header\n"
             "gaussian: peak=2 chisqr=1 pot=" +
                 pairs64 +
                 "FFF pot 2=200\n"
                 "gaussian: peak=1 chisqr=1 pot=10G0-1+5ab0x\n");
    ASSERT_EQ(reader.gaussians.size(), 2u);
    const auto& full = reader.gaussians[0].pot;
    EXPECT_EQ(std::vector<int>(full.begin(), full.end()), std::vector<int>(64, 31));
    const auto& odd = reader.gaussians[1].pot;
    EXPECT_EQ(std::vector<int>(odd.begin(), odd.begin() + 7),
              (std::vector<int>{16, 0, 0, 0, 0xAB, 127, 0}));
}

// A NUL byte ends its line, in the header and among the signals alike: what follows it on
// that line is not read, the next line is.
TEST_F(ResFileTest, NulBytesEndTheirLine) {
    ResFile reader;
    readText(reader, std::string("name=wu\0x\nbs_power=2\0=9\nend_seti_header\n"
                                 "spike: power=3\0 ra=4\nspike: power=5 ra=6\n"
                                 "gaussian: peak=1 chisqr=1 pot=10\0FF\n",
                                 117));
    EXPECT_EQ(reader.record.name, "wu");
    EXPECT_EQ(reader.record.bs_power, 5.0);  // the stronger spike's, read after the NUL line
    ASSERT_EQ(reader.spikes.size(), 2u);
    EXPECT_EQ(reader.spikes[1].power, 3.0);
    EXPECT_EQ(reader.spikes[1].ra, 0.0);
    EXPECT_EQ(reader.spikes[0].ra, 6.0);
    ASSERT_EQ(reader.gaussians.size(), 1u);
    EXPECT_EQ(reader.gaussians[0].pot[0], 16);
    EXPECT_EQ(reader.gaussians[0].pot[1], 0);
}

// A time token is read over the value before it: the header's time when the token is no
// number, the line's earlier time token when it has two. The same text read over another
// value therefore gives another time.
TEST_F(ResFileTest, TimeTokensReadOverTheValueBeforeThem) {
    ResFile reader;
    readText(reader,
             "name=wu\ntime_recorded=2452000.5\nend_seti_header\n"
             "spike: power=6 time=2451544.5\n"
             "spike: power=5 time=2451544.5\n"
             "spike: power=4 time=x\n"
             "spike: power=3 time=2451545.5 time=x\n"
             "spike: power=2 time=x\n"
             "spike: power=1 time=2451545.5 time=0\n"
             "gaussian: peak=1 chisqr=1 time=x\n");
    const double expected[] = {2451544.5, 2451544.5, 2452000.5, 2451545.5, 2452000.5, 2445699.5};
    ASSERT_EQ(reader.spikes.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reader.spikes[i].time.julianDate(), expected[i]);
    }
    ASSERT_EQ(reader.gaussians.size(), 1u);
    EXPECT_EQ(reader.gaussians[0].time.julianDate(), 2452000.5);
}

// Exact duplicates are stored once; without a name every signal is refused and the header's
// best-signal fields stay.
TEST_F(ResFileTest, DuplicateAndNamelessSignals) {
    ResFile reader;
    const std::string signals =
        "spike: power=5 time=2451544.5\nspike: power=5 time=2451544.5\n"
        "spike: power=5 time=2451545.5\n"
        "gaussian: peak=2 chisqr=1 pot=10\ngaussian: peak=2 chisqr=1 pot=10\n"
        "gaussian: peak=2 chisqr=1 pot=11\n";
    readText(reader, "name=wu\nend_seti_header\n" + signals);
    EXPECT_EQ(reader.spikes.size(), 2u);
    EXPECT_EQ(reader.gaussians.size(), 2u);

    readText(reader, "bs_power=9.5\nbg_score=1.5\nend_seti_header\n" + signals);
    EXPECT_EQ(reader.spikes.size(), 0u);
    EXPECT_EQ(reader.gaussians.size(), 0u);
    EXPECT_EQ(reader.record.bs_power, 9.5);
    EXPECT_EQ(reader.record.bg_score, 1.5);
}

TEST_F(ResFileTest, StrongestSignalsBecomeTheBest) {
    ResFile reader;
    readText(reader,
             "name=wu\nend_seti_header\n"
             "gaussian: peak=4 chisqr=2 pot=40\n"           // score 2.0
             "gaussian: peak=15 chisqr=2 sigma=2 pot=FF\n"  // score 7.5
             "gaussian: peak=9 chisqr=0 pot=20\n"           // score 0.0
             "spike: power=7 ra=1\n"
             "spike: power=12 ra=2\n"
             "spike: power=12 ra=3\n");  // equal to the one before: the first wins
    ASSERT_EQ(reader.gaussians.size(), 3u);
    EXPECT_EQ(reader.gaussians[0].score(), 7.5);
    EXPECT_EQ(reader.gaussian, reader.gaussians[0]);
    EXPECT_EQ(reader.record.bg_score, 7.5);
    EXPECT_EQ(reader.record.bg_sigma, 2.0);
    ASSERT_EQ(reader.spikes.size(), 3u);
    EXPECT_EQ(reader.spike.ra, 2.0);
    EXPECT_EQ(reader.record.bs_power, 12.0);
}

// Extreme context values read through to the best signals without undefined behaviour
// (fft_len / ncfft on the way back into the record).
TEST_F(ResFileTest, ExtremeContextValuesReadSafely) {
    ResFile reader;
    readText(reader,
             "name=wu\nbs_fft_len=-2147483648\nbs_fft_ind=-1\nend_seti_header\n"
             "<ogh ncfft=-1 cr=1e300 fl=-2147483648>\nspike: power=2\n"
             "gaussian: peak=1 chisqr=1e-300 time=1e300\n"
             "<ogh ncfft=-2147483648 fl=-2147483648>\nspike: power=1\n");
    ASSERT_EQ(reader.spikes.size(), 2u);
    EXPECT_EQ(reader.spikes[1].ncfft, INT_MIN);
    EXPECT_EQ(reader.record.bg_chirp_rate, 1e300);
}

// Update and TimeStamp are the file's last-write time in UTC whatever the zone, even when the
// file is found but does not open; no header line replaces them. A directory is no file.
TEST_F(ResFileTest, LifecycleOfOpenReadAndClose) {
    ResFile reader;
    EXPECT_FALSE(reader.read());
    fs::create_directory(dir.path() / "result.sah.d");
    EXPECT_FALSE(reader.open(dir.file("result.sah.d")));
    // Unreadable where permissions bite; as root, a link whose target is gone.
    dir.write("locked.sah", "name=wu\n");
    fs::permissions(dir.file("locked.sah"), fs::perms::none);
    std::string locked = dir.file("locked.sah");
    if (std::ifstream(locked).is_open()) {
        fs::create_symlink(dir.path() / "gone.sah", dir.path() / "dangling.sah");
        locked = dir.file("dangling.sah");
    }
    EXPECT_FALSE(reader.open(locked));
    EXPECT_FALSE(reader.read());
    EXPECT_TRUE(reader.record.Update.isSet());
    EXPECT_EQ(reader.record.TimeStamp, reader.record.Update);

    dir.write("result.sah",
              "name=wu\nUpdate=2451544.5\nTimeStamp=2451544.5\nend_seti_header\n"
              "spike: power=1\n");
    const auto sys = std::chrono::sys_seconds(std::chrono::seconds(1083779859));
    fs::last_write_time(dir.file("result.sah"), std::chrono::file_clock::from_sys(sys));
    ASSERT_TRUE(reader.open(dir.file("result.sah")));
    ASSERT_TRUE(reader.read());
    EXPECT_EQ(date(reader.record.Update), "2004-05-05 17:57:39");
    EXPECT_EQ(date(reader.record.TimeStamp), "2004-05-05 17:57:39");
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.record.prog, 1.0);  // a result without a "prog" line is finished
    // A second read without a new open leaves the results alone.
    EXPECT_FALSE(reader.read());
    EXPECT_EQ(reader.spikes.size(), 1u);
    // A new open forgets the previous file's results, even when it fails.
    EXPECT_FALSE(reader.open(dir.file("missing.sah")));
    EXPECT_EQ(reader.record.name, "");
    EXPECT_EQ(reader.spikes.size(), 0u);
    EXPECT_FALSE(reader.record.Update.isSet());
}
