// The result file reader: header conversions, the end of the header, token splitting,
// context lines, power curves, duplicates, the best-signal choice and the reader's lifecycle.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "clientfiles/ResFile.h"
#include "clientfiles/SHLog.h"
#include "support/TempDir.h"

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

void expectDate(const ATime& t, int y, int mo, int d, int h, int mi, int s) {
    EXPECT_EQ(t.year, y);
    EXPECT_EQ(t.month, mo);
    EXPECT_EQ(t.day, d);
    EXPECT_EQ(t.hour, h);
    EXPECT_EQ(t.minute, mi);
    EXPECT_EQ(t.second, s);
}

struct HeaderCase {
    const char* what;
    std::string header;  // lines before end_seti_header
    std::function<void(const WorkUnit&)> check;
};

}  // namespace

TEST_F(ResFileTest, HeaderValuesConvertByFieldType) {
    const std::vector<HeaderCase> cases = {
        {"hex splitter_version with 0x", "splitter_version=0x3\n",
         [](const WorkUnit& w) { EXPECT_EQ(w.splitter_version, 3); }},
        {"hex splitter_version without 0x", "splitter_version=10\n",
         [](const WorkUnit& w) { EXPECT_EQ(w.splitter_version, 16); }},
        {"Julian date with a bracketed date after it",
         "time_recorded=2451544.5 (Sat Jan 01 00:00:00 2000)\n",
         [](const WorkUnit& w) { expectDate(w.time_recorded, 2000, 1, 1, 0, 0, 0); }},
        {"time_recorded 0 leaves it unset", "time_recorded=0\n",
         [](const WorkUnit& w) { EXPECT_FALSE(w.time_recorded.isSet()); }},
        {"time_recorded that is no number keeps the earlier date",
         "time_recorded=2451544.5\ntime_recorded=(Sun Jan 02 00:00:00 2000)\n",
         [](const WorkUnit& w) { expectDate(w.time_recorded, 2000, 1, 1, 0, 0, 0); }},
        {"cpu_time sets cpu", "cpu_time=3600.5\n",
         [](const WorkUnit& w) { EXPECT_EQ(w.cpu, 3600.5); }},
        {"the later of cpu and cpu_time wins", "cpu_time=10\ncpu=3600.5\n",
         [](const WorkUnit& w) { EXPECT_EQ(w.cpu, 3600.5); }},
        {"names trimmed of blanks", "name = 04mr00aa.1234.5678.9.10.11 \n",
         [](const WorkUnit& w) { EXPECT_EQ(w.name, "04mr00aa.1234.5678.9.10.11"); }},
        {"three-digit exponent", "start_ra=1.25e+001\nangle_range=4.5e-001\n",
         [](const WorkUnit& w) {
             EXPECT_EQ(w.start_ra, 12.5);
             EXPECT_EQ(w.angle_range, 0.45);
         }},
        {"not a number keeps the earlier value", "version=3\nversion=abc\nstart_dec=x1\n",
         [](const WorkUnit& w) {
             EXPECT_EQ(w.version, 3);
             EXPECT_EQ(w.start_dec, 0.0);
         }},
        {"Update and TimeStamp lines are ignored",
         "Update=2451544.5\nTimeStamp=2451544.5\n",
         [](const WorkUnit& w) {
             EXPECT_NE(w.Update.year, 2000);
             EXPECT_NE(w.TimeStamp.year, 2000);
         }},
        {"prog from the header", "prog=0.25\n",
         [](const WorkUnit& w) { EXPECT_EQ(w.prog, 0.25); }},
        {"empty value skipped", "bs_power=5\nbs_power=\n",
         [](const WorkUnit& w) { EXPECT_EQ(w.bs_power, 5.0); }},
        {"bg_pot keys by exact index", "bg_pot 5=12.5\nbg_pot 64=1\nbg_pot 05=1\nbg_pot 63=2\n",
         [](const WorkUnit& w) {
             EXPECT_EQ(w.bg_pot[5], 12.5);
             EXPECT_EQ(w.bg_pot[63], 2.0);
             for (int i : {0, 4, 6, 62}) EXPECT_EQ(w.bg_pot[i], 0.0) << i;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResFile reader;
        readText(reader, c.header + "end_seti_header\n");
        c.check(reader.record);
    }
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
             "spike:\tpower=4 ra=1\n"
             "spike: power=\n"
             "spike:\n"
             "spike: name=other ncfft=99 power=6\n");
    ASSERT_EQ(reader.spikes.size(), 5u);
    // Sorted by power: 6, 3, 2, 1, 0.
    const Spike& named = reader.spikes[0];
    EXPECT_EQ(named.power, 6.0);
    EXPECT_EQ(named.name, "wu");
    EXPECT_EQ(named.ncfft, 0);
    const Spike& spaced = reader.spikes[1];
    EXPECT_EQ(spaced.power, 3.0);
    EXPECT_EQ(spaced.fft_len, 4096);
    EXPECT_EQ(spaced.chirp_rate, -2.5);
    const Spike& second = reader.spikes[2];
    EXPECT_EQ(second.freq, 1.5e9);
    expectDate(second.time, 2000, 1, 1, 0, 0, 0);
    const Spike& first = reader.spikes[3];
    EXPECT_EQ(first.power, 1.0);
    EXPECT_EQ(first.ra, 3.5);  // seeded from start_ra
    EXPECT_EQ(first.dec, 28.58);
    const Spike& empty = reader.spikes[4];  // "power=" with no value: all seeded
    EXPECT_EQ(empty.power, 0.0);
    EXPECT_EQ(empty.dec, 7.25);
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
             "gaussian: peak=1 chisqr=1 name=x ncfft=99\n"  // keys of no signal line
             "<ogh cr=-3.5e+000>\n"
             "spike: power=4\n");
    ASSERT_EQ(reader.spikes.size(), 4u);
    const Spike& s4 = reader.spikes[0];
    EXPECT_EQ(s4.ncfft, 0);
    EXPECT_EQ(s4.chirp_rate, -3.5);
    EXPECT_EQ(s4.fft_len, 0);
    const Spike& s3 = reader.spikes[1];
    EXPECT_EQ(s3.ncfft, 8);
    EXPECT_EQ(s3.fft_len, 512);
    EXPECT_EQ(s3.chirp_rate, 1.25);
    const Spike& s2 = reader.spikes[2];
    EXPECT_EQ(s2.ncfft, 8);
    EXPECT_EQ(s2.fft_len, 131072);
    EXPECT_EQ(s2.chirp_rate, 0.0);
    const Spike& s1 = reader.spikes[3];
    EXPECT_EQ(s1.ncfft, 0);
    EXPECT_EQ(s1.fft_len, 0);
    ASSERT_EQ(reader.gaussians.size(), 1u);
    EXPECT_EQ(reader.gaussians[0].name, "wu");
    EXPECT_EQ(reader.gaussians[0].ncfft, 4);
    EXPECT_EQ(reader.gaussians[0].fft_len, 2048);
    EXPECT_EQ(reader.gaussians[0].chirprate, 0.0);
    // The context stays where the last context line left it.
    EXPECT_EQ(reader.ncfft, 0);
    EXPECT_EQ(reader.cr, -3.5);
}

TEST_F(ResFileTest, PowerCurveDecoding) {
    std::string pairs64;
    for (int i = 0; i < 64; ++i) pairs64 += "1F";
    struct Case {
        const char* what;
        std::string pot;
        std::vector<std::pair<int, int>> expected;  // (index, value)
    };
    const std::vector<Case> cases = {
        {"three pairs", "00FF80", {{0, 0}, {1, 255}, {2, 128}, {3, 0}, {63, 0}}},
        {"lower-case digits", "0aff", {{0, 10}, {1, 255}}},
        {"odd length: last character ignored", "0102F", {{0, 1}, {1, 2}, {2, 0}}},
        {"more than 64 pairs", pairs64 + "FFF", {{0, 31}, {63, 31}}},
        {"a pair that is not two hex digits keeps the seeded value", "10G0-1+5AB",
         {{0, 16}, {1, 0}, {2, 0}, {3, 0}, {4, 0xAB}}},
        {"0x is no prefix inside the curve", "0x1F", {{0, 0}, {1, 31}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResFile reader;
        readText(reader, "name=wu\nend_seti_header\ngaussian: peak=1 chisqr=1 pot=" + c.pot + "\n");
        ASSERT_EQ(reader.gaussians.size(), 1u);
        for (auto [index, value] : c.expected)
            EXPECT_EQ(reader.gaussians[0].pot[index], value) << "pot " << index;
    }
}

// Values the curve does not give keep what the header's bg_pot lines seeded (on the scale
// of their largest value), and "pot N" tokens are accepted but change nothing.
TEST_F(ResFileTest, PowerCurveKeepsSeededValues) {
    ResFile reader;
    readText(reader,
             "name=wu\nbg_pot 0=4.0\nbg_pot 3=2.0\nend_seti_header\n"
             "gaussian: peak=1 chisqr=1 pot=00FF pot 3=200\n");
    ASSERT_EQ(reader.gaussians.size(), 1u);
    const Gaussian& g = reader.gaussians[0];
    EXPECT_EQ(g.maxpow, 4.0);
    EXPECT_EQ(g.pot[0], 0);
    EXPECT_EQ(g.pot[1], 255);
    EXPECT_EQ(g.pot[3], 127);  // trunc(2.0 * 255 / 4.0)
}

TEST_F(ResFileTest, DuplicateSignalsAreStoredOnce) {
    ResFile reader;
    readText(reader,
             "name=wu\nend_seti_header\n"
             "spike: power=5 time=2451544.5\n"
             "spike: power=5 time=2451544.5\n"
             "spike: power=5 time=2451545.5\n"
             "gaussian: peak=2 chisqr=1 pot=10\n"
             "gaussian: peak=2 chisqr=1 pot=10\n"
             "gaussian: peak=2 chisqr=1 pot=11\n");
    EXPECT_EQ(reader.spikes.size(), 2u);
    EXPECT_EQ(reader.gaussians.size(), 2u);
}

// Without a name every signal is refused, and the header's best-signal fields stay.
TEST_F(ResFileTest, NamelessResultKeepsNoSignals) {
    ResFile reader;
    readText(reader,
             "bs_power=9.5\nbg_score=1.5\nend_seti_header\n"
             "spike: power=20\ngaussian: peak=3 chisqr=1\n");
    EXPECT_EQ(reader.spikes.size(), 0u);
    EXPECT_EQ(reader.gaussians.size(), 0u);
    EXPECT_EQ(reader.record.bs_power, 9.5);
    EXPECT_EQ(reader.record.bg_score, 1.5);
}

TEST_F(ResFileTest, StrongestSignalsBecomeTheBest) {
    ResFile reader;
    readText(reader,
             "name=wu\nbs_score=0.75\nbs_bin=60219\nbg_bin=7412\nend_seti_header\n"
             "<ogh ncfft=4 cr=1.5 fl=16384>\n"
             "gaussian: peak=4 chisqr=2 sigma=1 mean=0.5 pot=40\n"      // score 2.0
             "gaussian: peak=15 chisqr=2 sigma=2 mean=0.25 pot=FF\n"    // score 7.5
             "gaussian: peak=9 chisqr=0 pot=20\n"                       // score 0.0
             "spike: power=7 ra=1\n"
             "spike: power=12 ra=2\n"
             "spike: power=12 ra=3\n");  // equal to the one before: the first wins
    ASSERT_EQ(reader.gaussians.size(), 3u);
    EXPECT_EQ(reader.gaussians[0].score(), 7.5);
    EXPECT_EQ(reader.gaussians[1].score(), 2.0);
    EXPECT_EQ(reader.gaussians[2].score(), 0.0);
    EXPECT_EQ(reader.gaussian, reader.gaussians[0]);
    const WorkUnit& w = reader.record;
    EXPECT_EQ(w.bg_score, 7.5);
    EXPECT_EQ(w.bg_power, 15.0);
    EXPECT_EQ(w.bg_chisq, 2.0);
    EXPECT_EQ(w.bg_sigma, 2.0);
    EXPECT_EQ(w.bg_true_mean, 0.25);
    EXPECT_EQ(w.bg_fft_len, 16384);
    EXPECT_EQ(w.bg_fft_ind, 4096);
    EXPECT_EQ(w.bg_chirp_rate, 1.5);
    EXPECT_EQ(w.bg_bin, 7412);  // not touched by the best gaussian
    // maxpow came from the header's all-zero bg_pot: the curve scales to 0.
    EXPECT_EQ(w.bg_pot[0], 0.0);

    ASSERT_EQ(reader.spikes.size(), 3u);
    EXPECT_EQ(reader.spike.ra, 2.0);
    EXPECT_EQ(reader.spikes[1].ra, 3.0);
    EXPECT_EQ(w.bs_power, 12.0);
    EXPECT_EQ(w.bs_fft_ind, 4096);
    EXPECT_EQ(w.bs_score, 0.75);
    EXPECT_EQ(w.bs_bin, 60219);
}

// Extreme context values must not reach undefined behaviour when the best signals are
// written back (fft_len / ncfft).
TEST_F(ResFileTest, ExtremeContextValuesReadSafely) {
    ResFile reader;
    readText(reader,
             "name=wu\nbs_fft_len=-2147483648\nbs_fft_ind=-1\n"
             "bg_fft_len=-2147483648\nbg_fft_ind=-1\nend_seti_header\n"
             "<ogh ncfft=-1 cr=1e300 fl=-2147483648>\n"
             "spike: power=2\n"
             "gaussian: peak=1 chisqr=1e-300 time=1e300\n"
             "<ogh ncfft=-2147483648 fl=-2147483648>\n"
             "spike: power=1\n");
    ASSERT_EQ(reader.spikes.size(), 2u);
    EXPECT_EQ(reader.spikes[0].ncfft, -1);
    EXPECT_EQ(reader.spikes[1].ncfft, INT_MIN);
    EXPECT_EQ(reader.gaussians.size(), 1u);
    EXPECT_EQ(reader.record.bg_chirp_rate, 1e300);
}

// Traits of real client output in one file of our own: a bracketed date after
// time_recorded, exponent-form cr, blanks after "=", three-digit exponents, "<ogt" lines.
TEST_F(ResFileTest, RealClientTraits) {
    ResFile reader;
    readText(reader,
             "name=12my04ab.1234.5678.9.10.11\n"
             "time_recorded=2453131.24838 (Wed May  5 17:57:39 2004)\n"
             "end_seti_header\n"
             "<ogh ncfft=6497 cr=8.991199e+00 fl=16384>\n"
             "spike: power=2.378655e+001 ra= 14.856922 dec= 28.58 time= 2451606.85844 "
             "freq= 1.418919e+009\n"
             "<ogt ncfft=6497 cr=8.991199e+00 fl=16384>\n");
    expectDate(reader.record.time_recorded, 2004, 5, 5, 17, 57, 40);
    ASSERT_EQ(reader.spikes.size(), 1u);
    const Spike& s = reader.spikes[0];
    EXPECT_DOUBLE_EQ(s.power, 23.78655);
    EXPECT_EQ(s.ra, 14.856922);
    EXPECT_EQ(s.dec, 28.58);
    EXPECT_EQ(s.freq, 1.418919e9);
    EXPECT_EQ(s.chirp_rate, 8.991199);
    EXPECT_EQ(s.ncfft, 6497);
    EXPECT_EQ(s.fft_len, 16384);
    expectDate(s.time, 2000, 3, 3, 8, 36, 9);
}

// The later client's XML result is not our format: it reads without trouble, gives no
// name and so no signals.
TEST_F(ResFileTest, LaterClientXmlGivesNoNamedRecord) {
    const std::string xml = std::string(SETI_REALDATA_DIR) + "/later_xml_result.sah";
    if (!fs::exists(xml)) GTEST_SKIP() << "no real-data folder at " << xml;
    ResFile reader(xml);
    ASSERT_TRUE(reader.isOpen());
    EXPECT_TRUE(reader.read());
    EXPECT_EQ(reader.record.name, "");
    EXPECT_EQ(reader.spikes.size(), 0u);
    EXPECT_EQ(reader.gaussians.size(), 0u);
}

// Update and TimeStamp are the file's last-write time in UTC, whatever the local zone.
TEST_F(ResFileTest, OpenTakesTheFileTime) {
    dir.write("result.sah", "name=wu\nUpdate=2451544.5\n");
    const auto sys = std::chrono::sys_seconds(std::chrono::seconds(1083779859));
    fs::last_write_time(dir.file("result.sah"), std::chrono::file_clock::from_sys(sys));
    ResFile reader(dir.file("result.sah"));
    ASSERT_TRUE(reader.isOpen());
    expectDate(reader.record.Update, 2004, 5, 5, 17, 57, 39);
    ASSERT_TRUE(reader.read());
    expectDate(reader.record.Update, 2004, 5, 5, 17, 57, 39);
    expectDate(reader.record.TimeStamp, 2004, 5, 5, 17, 57, 39);
}

// A file that is found but cannot be read: open fails, yet the times are the file's. Without
// read permission where that bites; as root, a link whose target is gone.
TEST_F(ResFileTest, OpenFailureKeepsTheFileTime) {
    dir.write("locked.sah", "name=wu\n");
    fs::permissions(dir.file("locked.sah"), fs::perms::none);
    std::string path = dir.file("locked.sah");
    if (std::ifstream(path).is_open()) {
        fs::create_symlink(dir.path() / "gone.sah", dir.path() / "dangling.sah");
        path = dir.file("dangling.sah");
    }
    ResFile reader;
    EXPECT_FALSE(reader.open(path));
    EXPECT_FALSE(reader.read());
    EXPECT_TRUE(reader.record.Update.isSet());
    EXPECT_EQ(reader.record.TimeStamp, reader.record.Update);
}

TEST_F(ResFileTest, LifecycleOfOpenReadAndClose) {
    ResFile reader;
    EXPECT_FALSE(reader.read());
    EXPECT_FALSE(reader.open(dir.file("missing.sah")));
    EXPECT_FALSE(reader.read());
    EXPECT_FALSE(reader.record.Update.isSet());

    fs::create_directory(dir.path() / "result.sah.d");
    EXPECT_FALSE(reader.open(dir.file("result.sah.d")));

    readText(reader, "name=wu\nend_seti_header\nspike: power=1\n");
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.record.prog, 1.0);  // a result without a "prog" line is finished
    // A second read without a new open leaves the results alone.
    EXPECT_FALSE(reader.read());
    EXPECT_EQ(reader.record.name, "wu");
    EXPECT_EQ(reader.spikes.size(), 1u);

    reader.close();
    EXPECT_EQ(reader.record.name, "");
    EXPECT_EQ(reader.spikes.size(), 0u);
    EXPECT_FALSE(reader.record.Update.isSet());

    // A new open forgets the previous file's results.
    readText(reader, "name=wu2\nend_seti_header\n");
    EXPECT_EQ(reader.record.name, "wu2");
    EXPECT_EQ(reader.spikes.size(), 0u);
}

// Both client-file readers hold the same map: every field key but the two bookkeeping dates,
// plus "cpu_time" for cpu.
TEST(HeaderKeys, EveryFieldKeyButTheDatesPlusCpuTime) {
    const ResFile result;
    const SHLog client;
    EXPECT_EQ(client.HeaderKeys, result.HeaderKeys);
    const auto& keys = result.HeaderKeys;
    EXPECT_EQ(keys.size(), 100u);
    EXPECT_EQ(keys.count("Update"), 0u);
    EXPECT_EQ(keys.count("TimeStamp"), 0u);
    EXPECT_EQ(keys.at("cpu_time"), 20);
    EXPECT_EQ(keys.at("cpu"), 20);
    EXPECT_EQ(keys.at("version"), 2);
    EXPECT_EQ(keys.at("bg_pot 63"), 100);
}
