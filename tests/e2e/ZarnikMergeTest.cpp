// End-to-end tests of the merge tool's merges: the built program runs in a temporary directory
// with its time zone set, and standard output, every standard-error line and the database
// bytes are compared with expectations written by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// Nine hours east of Greenwich, no summer time: local dates read as local are shifted by 9 h.
const std::string EastZone = "TZ=JST-9";

// Support data file lines: every line ends with a lone carriage return.
std::string crLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r";
    return out;
}

std::vector<std::string> errLines(const testsupport::RunResult& r) {
    return testsupport::lines(r.err);
}

void setModifiedUtc(const fs::path& file, int year, unsigned month, unsigned day, int hour,
                    int minute) {
    using namespace std::chrono;
    const sys_seconds when =
        sys_days{std::chrono::year{year} / month / day} + hours{hour} + minutes{minute};
    fs::last_write_time(file, fs::file_time_type::clock::from_sys(when));
}

const std::string NameA = "03ja04ab.1111.2222.3.4.5";
const std::string NameB = "05fe04ac.3333.4444.5.6.7";
const std::string NameC = "07mr04ad.5555.6666.7.8.9";
const std::string NameD = "09ap04ae.7777.8888.9.10.11";
const std::string NameE = "11my04af.9999.1010.11.12.13";
const std::string NameF = "13jn04ag.1212.1313.13.14.15";

// The finished result of work unit A: its header differs from the database's (start_ra), its
// progress is the furthest of all sources.
const std::string ResultA =
    "name=" + NameA +
    "\n"
    "start_ra=3.625\n"
    "start_dec=17.25\n"
    "end_ra=3.75\n"
    "end_dec=17.5\n"
    "subband_base=1418750000\n"
    "time_recorded=2453007.75 (Sat Jan 03 06:00:00 2004)\n"
    "cpu=36000.5\n"
    "bs_power=21.5\n"
    "bs_score=1.25\n"
    "bs_bin=4000\n"
    "bs_fft_ind=6\n"
    "bs_chirp_rate=-2.5\n"
    "bs_fft_len=131072\n"
    "bg_power=3.5\n"
    "bg_chisq=1.5\n"
    "bg_score=2.25\n"
    "bg_true_mean=0.5\n"
    "bg_sigma=6.5\n"
    "bg_bin=300\n"
    "bg_fft_ind=12\n"
    "bg_chirp_rate=1.75\n"
    "bg_fft_len=16384\n"
    "end_seti_header\n";

// Writes a client directory with A's result (last written 2004-01-20 12:00 UTC) and its work
// unit file (2004-01-10 08:30 UTC).
void writeClient(const TempDir& t, const std::string& dir) {
    t.write(dir + "/result.sah", ResultA);
    t.write(dir + "/work_unit.sah", "name=" + NameA + "\nstart_ra=3.625\nend_seti_header\n");
    setModifiedUtc(t.path() / dir / "result.sah", 2004, 1, 20, 12, 0);
    setModifiedUtc(t.path() / dir / "work_unit.sah", 2004, 1, 10, 8, 30);
}

// The starting database: D, then an early reading of A.
const std::string StartDatabase = crLines({
    "!",
    "name=" + NameD,
    "start_ra=20.125",
    "start_dec=-10.5",
    "end_ra=20.25",
    "end_dec=-10.75",
    "subband_base=1419000000.5",
    "time_recorded=(2004/02/27 13:14:15)",
    "bs_power=15.5",
    "bs_score=0.625",
    "bs_bin=1234",
    "bs_fft_ind=3",
    "bs_chirp_rate=4.25",
    "bs_fft_len=65536",
    "prog=1",
    "cpu=40000",
    "started_time=01/03/2004:00:00:00",
    "",
    "!",
    "name=" + NameA,
    "start_ra=3.5",
    "start_dec=17.25",
    "end_ra=3.75",
    "end_dec=17.5",
    "subband_base=1418750000",
    "time_recorded=(2004/01/03 06:00:00)",
    "prog=0.25",
    "cpu=9000",
    "started_time=08/01/2004:00:00:00",
    "",
});

// I4WU: a later reading of A (not as far as the result) and B, with a column of comments
// and the leading-blank " Samples" title. "Received" is local time, "Time(UT)" is UTC.
const std::string ExportI4wu =
    "\"Unit Name\",\"Received\",\"Time(UT)\",\"From(RA)\",\"From(Dec)\",\"Base Freq\","
    "\"Progress\",\"CPU Time\",\"Power(Spike)\",\"Score(Spike)\",\"Score(Gaussians)\","
    "\"Fit(Gaussians)\",\"Comment\",\" Samples\"\r\n" +
    NameA + ",2004/01/09 09:00:00,2004/01/03 06:00:00,3.5,17.25,1418750000,0.75,27000,30.5,1.5,"
            "0,0,\"reading, late\",1048576\r\n" +
    NameB + ",2004/02/05 12:00:00,2004/01/28 16:30:00,7.125,33.5,1418800000.25,0.875,31000.75,"
            "11.25,0.8125,1.125,2.5,none,1048576\r\n";

// SETILog: another reading of A, then C, whose arrival is A's row date (local time).
const std::string ExportSetiLog =
    "\"date\",\"name\",\"prog\",\"cpu\",\"time_recorded\",\"g_fft_ind\",\"version\",\"start_ra\"\n"
    "2004/01/15 20:00:00," + NameA + ",0.5,18000,2453007.75,7,303,3.5\n"
    "2004/02/10 06:15:00," + NameC + ",0.625,22500.5,2453030.5,9,303,15.75\n";

std::string potValue(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", i * 0.25);
    return text;
}

// Another support data file holding E, with a full gaussian and no arrival time, written
// with CR LF line ends.
std::string otherSupportFile() {
    std::string out =
        "!\r\nname=" + NameE +
        "\r\nstart_ra=1.25\r\nstart_dec=2.5\r\nend_ra=1.5\r\nend_dec=2.75\r\n"
        "subband_base=1418760000\r\ntime_recorded=(2004/04/30 23:59:59)\r\n"
        "bs_power=5\r\nbs_score=0.5\r\nbs_bin=77\r\nbs_fft_ind=1\r\nbs_chirp_rate=0.125\r\n"
        "bs_fft_len=8\r\nbg_power=2\r\nbg_chisq=1.25\r\nbg_score=1.6\r\nbg_true_mean=0.25\r\n"
        "bg_sigma=3\r\nbg_bin=10\r\nbg_fft_ind=2\r\nbg_chirp_rate=-0.5\r\nbg_fft_len=1024\r\n"
        "prog=0.5\r\ncpu=12345.678901\r\n";
    for (int i = 0; i < 64; ++i) out += "bg_pot " + std::to_string(i + 1) + "=" + potValue(i) + "\r\n";
    return out + "\r\n";
}

// An Orbelle table holding F, with a few columns only.
const std::string OrbelleTable =
    "\"TimeStamp\",\"name\",\"prog\",\"cpu\",\"start_ra\",\"time_recorded\",\"bs_power\"\r\n"
    "2453036.5,\"" + NameF + "\",0.125,4500.5,22.5,2453035.25,3.75\r\n";

using Values = std::vector<std::pair<std::string, std::string>>;

// One record of the support data file as the tool writes it: every key in file order with the
// text an all-zero record carries, then the power values when given; `values` replaces the
// texts of the keys it names and adds the "bg_pot" lines.
std::string supportRecord(const Values& values) {
    Values lines = {
        {"name", ""}, {"start_ra", "0.000000"}, {"start_dec", "0.000000"},
        {"end_ra", "0.000000"}, {"end_dec", "0.000000"}, {"subband_base", "0.000000"},
        {"time_recorded", "(1984/01/00 00:00:00)"}, {"bs_power", "0.000000"},
        {"bs_score", "0.000000"}, {"bs_bin", "0"}, {"bs_fft_ind", "0"},
        {"bs_chirp_rate", "0.000000"}, {"bs_fft_len", "0"}, {"bg_power", "0.000000"},
        {"bg_chisq", "0.000000"}, {"bg_score", "0.000000"}, {"bg_true_mean", "0.000000"},
        {"bg_sigma", "0.000000"}, {"bg_bin", "0"}, {"bg_fft_ind", "0"},
        {"bg_chirp_rate", "0.000000"}, {"bg_fft_len", "0"}, {"prog", "0.000000"},
        {"cpu", "0.000000"}, {"started_time", "00/01/1984:00:00:00"}};
    for (const auto& [key, value] : values) {
        auto line = std::find_if(lines.begin(), lines.end(),
                                 [&key](const auto& l) { return l.first == key; });
        if (line != lines.end()) line->second = value;
        else lines.emplace_back(key, value);
    }
    std::string out = "!\r";
    for (const auto& [key, value] : lines) out += key + "=" + value + "\r";
    return out + "\r";
}

// The merged database: sorted by arrival, E (no arrival time) first.
std::string mergedDatabase() {
    Values e = {{"name", NameE}, {"start_ra", "1.250000"}, {"start_dec", "2.500000"},
                {"end_ra", "1.500000"}, {"end_dec", "2.750000"},
                {"subband_base", "1418760000.000000"}, {"time_recorded", "(2004/04/30 23:59:59)"},
                {"bs_power", "5.000000"}, {"bs_score", "0.500000"}, {"bs_bin", "77"},
                {"bs_fft_ind", "1"}, {"bs_chirp_rate", "0.125000"}, {"bs_fft_len", "8"},
                {"bg_power", "2.000000"}, {"bg_chisq", "1.250000"}, {"bg_score", "1.600000"},
                {"bg_true_mean", "0.250000"}, {"bg_sigma", "3.000000"}, {"bg_bin", "10"},
                {"bg_fft_ind", "2"}, {"bg_chirp_rate", "-0.500000"}, {"bg_fft_len", "1024"},
                {"prog", "0.500000"}, {"cpu", "12345.678901"}};
    for (int i = 0; i < 64; ++i) e.emplace_back("bg_pot " + std::to_string(i + 1), potValue(i));
    // A: the database's header and arrival, the result's progress and best signals.
    const Values a = {
        {"name", NameA}, {"start_ra", "3.500000"}, {"start_dec", "17.250000"},
        {"end_ra", "3.750000"}, {"end_dec", "17.500000"}, {"subband_base", "1418750000.000000"},
        {"time_recorded", "(2004/01/03 06:00:00)"}, {"bs_power", "21.500000"},
        {"bs_score", "1.250000"}, {"bs_bin", "4000"}, {"bs_fft_ind", "6"},
        {"bs_chirp_rate", "-2.500000"}, {"bs_fft_len", "131072"}, {"bg_power", "3.500000"},
        {"bg_chisq", "1.500000"}, {"bg_score", "2.250000"}, {"bg_true_mean", "0.500000"},
        {"bg_sigma", "6.500000"}, {"bg_bin", "300"}, {"bg_fft_ind", "12"},
        {"bg_chirp_rate", "1.750000"}, {"bg_fft_len", "16384"}, {"prog", "1.000000"},
        {"cpu", "36000.500000"}, {"started_time", "08/01/2004:00:00:00"}};
    // C: SETILog's arrival is A's row date, 20:00 at nine hours east.
    const Values c = {{"name", NameC}, {"start_ra", "15.750000"},
                      {"time_recorded", "(2004/01/26 00:00:00)"}, {"bg_fft_ind", "9"},
                      {"prog", "0.625000"}, {"cpu", "22500.500000"},
                      {"started_time", "15/01/2004:11:00:00"}};
    const Values f = {{"name", NameF}, {"start_ra", "22.500000"},
                      {"time_recorded", "(2004/01/30 18:00:00)"}, {"bs_power", "3.750000"},
                      {"prog", "0.125000"}, {"cpu", "4500.500000"},
                      {"started_time", "01/02/2004:00:00:00"}};
    // B: "Received" 12:00 local is 03:00 UTC; "Time(UT)" stays as it was.
    const Values b = {{"name", NameB}, {"start_ra", "7.125000"}, {"start_dec", "33.500000"},
                      {"subband_base", "1418800000.250000"},
                      {"time_recorded", "(2004/01/28 16:30:00)"}, {"bs_power", "11.250000"},
                      {"bs_score", "0.812500"}, {"bg_chisq", "2.500000"},
                      {"bg_score", "1.125000"}, {"prog", "0.875000"}, {"cpu", "31000.750000"},
                      {"started_time", "05/02/2004:03:00:00"}};
    const Values d = {{"name", NameD}, {"start_ra", "20.125000"}, {"start_dec", "-10.500000"},
                      {"end_ra", "20.250000"}, {"end_dec", "-10.750000"},
                      {"subband_base", "1419000000.500000"},
                      {"time_recorded", "(2004/02/27 13:14:15)"}, {"bs_power", "15.500000"},
                      {"bs_score", "0.625000"}, {"bs_bin", "1234"}, {"bs_fft_ind", "3"},
                      {"bs_chirp_rate", "4.250000"}, {"bs_fft_len", "65536"},
                      {"prog", "1.000000"}, {"cpu", "40000.000000"},
                      {"started_time", "01/03/2004:00:00:00"}};
    return supportRecord(e) + supportRecord(a) + supportRecord(c) + supportRecord(f) +
           supportRecord(b) + supportRecord(d);
}

// Every source of the merge under in/, the database in run/.
struct MergeFixture {
    TempDir t;
    fs::path run;

    MergeFixture() : run(t.path() / "run") {
        fs::create_directories(run);
        writeClient(t, "in/client");
        t.write("run/ss_past_data.txt", StartDatabase);
        t.write("in/i4wu/export1.csv", ExportI4wu);
        t.write("in/log.txt", ExportSetiLog);
        t.write("in/other.dat", otherSupportFile());
        t.write("in/orbelle/WUInfo.csv", OrbelleTable);
        // The same sources under the names that tell their kinds, and two that tell none.
        t.write("in/names/export1.csv", ExportI4wu);
        t.write("in/names/SETILog.csv", ExportSetiLog);
        t.write("in/names/ss_past_data.txt", otherSupportFile());
        t.write("in/names/WUInfo.csv", OrbelleTable);
        t.write("in/names/notes.txt", "not a log\n");
        t.write("in/names/st_export.csv", "\"Unit Name\",\"Progress\"\r\nzz.never.read,1\r\n");
    }

    testsupport::RunResult zarnik(const std::vector<std::string>& args) {
        return testsupport::run(testsupport::programPath("Zarnik"), args, run, EastZone);
    }
};

}  // namespace

TEST(ZarnikMerge, EveryInputKindByOption) {
    // One work unit met in the database, the client directory, I4WU and SETILog ends as one
    // record: the database's header with the result's progress; the export is sorted.
    MergeFixture m;
    const std::vector<std::string> args = {"-sh=../in/client/", "-i4wu=../in/i4wu/*.csv",
                                           "-sl=../in/log.txt", "-ss=../in/other.dat",
                                           "-ob=../in/orbelle/"};
    const auto r = m.zarnik(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> expectedErr = {
        "Reading File: ss_past_data.txt",
        "Append SETI@home System FIles: ../in/client/*.sah",
        "Append I4WU Format File: ../in/i4wu/export1.csv",
        "Append SETILog Format File: ../in/log.txt",
        "Append SETI@Supprt Format File: ../in/other.dat",
        "Append Orbelle Format File: ../in/orbelle/WUInfo.csv",
        "6 File(s) are done",
        "Export All Data to File: ss_past_data.txt",
    };
    EXPECT_EQ(errLines(r), expectedErr);
    const std::string merged = m.t.read("run/ss_past_data.txt");
    EXPECT_EQ(merged, mergedDatabase());

    // A second run over the same sources changes nothing.
    const auto again = m.zarnik(args);
    EXPECT_EQ(errLines(again), expectedErr);
    EXPECT_EQ(m.t.read("run/ss_past_data.txt"), merged);
}

TEST(ZarnikMerge, EveryInputKindByFileName) {
    // The same sources, each kind told by its file name; files come in name order.
    MergeFixture m;
    const auto r = m.zarnik({"-sh=../in/client/", "../in/names/*"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> expectedErr = {
        "Reading File: ss_past_data.txt",
        "Append SETI@home System FIles: ../in/client/*.sah",
        "Append SETILog Format File: ../in/names/SETILog.csv",
        "Orbelle File: ../in/names/WUInfo.csv",
        "Append I4WU Format File: ../in/names/export1.csv",
        "No kind of SETI@home Apprication data: ../in/names/notes.txt",
        "Append SETI@Supprt Format File: ../in/names/ss_past_data.txt",
        "No kind of SETI@home Apprication data: ../in/names/st_export.csv",
        "6 File(s) are done",
        "Export All Data to File: ss_past_data.txt",
    };
    EXPECT_EQ(errLines(r), expectedErr);
    EXPECT_EQ(m.t.read("run/ss_past_data.txt"), mergedDatabase());
}

TEST(ZarnikMerge, PatternsWithBackslashesAndBareNames) {
    // A bare name is reported under ".\"; a pattern keeps its own directory text.
    MergeFixture m;
    fs::copy_file(m.t.path() / "in/i4wu/export1.csv", m.run / "export1.csv");
    fs::remove(m.run / "ss_past_data.txt");
    const auto r = m.zarnik({"export1.csv", "..\\in\\i4wu\\*.csv", "-sl=..\\in\\log.txt"});
    const std::vector<std::string> expectedErr = {
        "Append I4WU Format File: .\\export1.csv",
        "Append I4WU Format File: ..\\in\\i4wu\\export1.csv",
        "Append SETILog Format File: ..\\in\\log.txt",
        "3 File(s) are done",
        "Export All Data to File: ss_past_data.txt",
    };
    EXPECT_EQ(errLines(r), expectedErr);
    EXPECT_TRUE(m.t.exists("run/ss_past_data.txt"));
}

namespace {

// The 101 keys of a WUInfo.csv header, in table order.
std::string wuInfoHeader() {
    const char* const keys[] = {
        "Update", "TimeStamp", "version", "name", "splitter_version", "start_ra", "start_dec",
        "end_ra", "end_dec", "time_recorded", "subband_center", "subband_base",
        "subband_sample_rate", "nsamples", "angle_range", "fft_len", "ifft_len",
        "subband_number", "receiver", "tape_version", "cpu", "prog", "bs_power", "bs_score",
        "bs_bin", "bs_fft_ind", "bs_chirp_rate", "bs_fft_len", "bg_score", "bg_sigma",
        "bg_power", "bg_true_mean", "bg_chisq", "bg_bin", "bg_fft_ind", "bg_chirp_rate",
        "bg_fft_len"};
    std::string out;
    for (const char* k : keys) out += std::string(out.empty() ? "" : ",") + "\"" + k + "\"";
    for (int i = 0; i < 64; ++i) out += ",\"bg_pot " + std::to_string(i) + "\"";
    return out + "\r\n";
}

std::string zeroPots() {
    std::string out;
    for (int i = 0; i < 64; ++i) out += ",0.000000";
    return out;
}

// I4WU with the local "Update" and "Received" and the UTC "Time(UT)".
const std::string ExportWithDates =
    "\"Update\",\"Received\",\"Unit Name\",\"Splitter Version\",\"Time(UT)\",\"From(RA)\","
    "\"Progress\",\"CPU Time\",\" Samples\"\n"
    "2004/01/12 09:00:00,2004/01/09 09:00:00," + NameA +
    ",0x3,2004/01/03 06:00:00,3.5,0.5,18000.25,1048576\n"
    "2004/01/05 18:00:00,2004/01/02 12:00:00," + NameB +
    ",3,2004/01/01 12:00:00,7.125,0.875,31000.75,1048576\n";

// B, then A: sorted by arrival. Local times at nine hours east: B's Update 18:00 is 09:00
// UTC, its arrival 12:00 is 03:00 UTC; A arrived 2004-01-09 09:00 local, midnight UTC. A's
// Update and progress come from the result, last written 2004-01-20 12:00 UTC.
std::string mergedWuInfo() {
    return wuInfoHeader() +
           "2453009.875000,2453006.625000,0,\"" + NameB +
           "\",0x3,7.125000,0.000000,0.000000,0.000000,2453006.00000,0.000000,0.000000,"
           "0.000000,1048576,0.000000,0,0,0,\"ao1420\",\"?\",31000.750000,0.875000,0.000000,"
           "0.000000,0,0,0.000000,0,0.000000,0.000000,0.000000,0.000000,0.000000,0,0,0.000000,0" +
           zeroPots() + "\r\n" +
           "2453025.000000,2453013.500000,0,\"" + NameA +
           "\",0x3,3.500000,0.000000,0.000000,0.000000,2453007.75000,0.000000,0.000000,"
           "0.000000,1048576,0.000000,0,0,0,\"ao1420\",\"?\",36000.500000,1.000000,21.500000,"
           "1.250000,4000,6,-2.500000,131072,2.250000,6.500000,3.500000,0.500000,1.500000,300,"
           "12,1.750000,16384" +
           zeroPots() + "\r\n";
}

}  // namespace

TEST(ZarnikMerge, KorvathKeepsWUInfo) {
    // Under another name the tool keeps WUInfo.csv: the first reading (I4WU) keeps the header
    // and arrival, the result brings Update and progress; local and UTC columns are told apart.
    TempDir t;
    fs::create_directories(t.path() / "run");
    writeClient(t, "in/client");
    t.write("in/wu/export1.csv", ExportWithDates);
    const std::vector<std::string> args = {"-i4wu=../in/wu/export1.csv", "-sh=../in/client/"};
    const auto r =
        testsupport::run(testsupport::programPath("Korvath"), args, t.path() / "run", EastZone);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(errLines(r), (std::vector<std::string>{
                               "Reading File: WUInfo.csv",
                               "Append I4WU Format File: ../in/wu/export1.csv",
                               "Append SETI@home System FIles: ../in/client/*.sah",
                               "2 File(s) are done",
                               "Export All Data to File: WUInfo.csv",
                           }));
    const std::string merged = t.read("run/WUInfo.csv");
    EXPECT_EQ(merged, mergedWuInfo());
    EXPECT_FALSE(t.exists("run/ss_past_data.txt"));
    EXPECT_FALSE(t.exists("run/Korvath.csv"));

    // The second run reads its own table back and leaves it byte for byte.
    const auto again =
        testsupport::run(testsupport::programPath("Korvath"), args, t.path() / "run", EastZone);
    EXPECT_EQ(errLines(again), (std::vector<std::string>{
                                   "Reading File: WUInfo.csv",
                                   "Append I4WU Format File: ../in/wu/export1.csv",
                                   "Append SETI@home System FIles: ../in/client/*.sah",
                                   "3 File(s) are done",
                                   "Export All Data to File: WUInfo.csv",
                               }));
    EXPECT_EQ(t.read("run/WUInfo.csv"), merged);
}
