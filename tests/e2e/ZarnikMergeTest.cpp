// End-to-end tests of the merge tool's merges: the built program runs in a temporary directory
// with its time zone set, and standard output, every standard-error line and the database
// bytes are compared with expectations written by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/SupportRecord.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::KeyValues;
using testsupport::supportRecord;
using testsupport::TempDir;

// Nine hours east of Greenwich, no summer time: local dates read as local are shifted by 9 h.
const std::string EastZone = "TZ=JST-9";

const std::string NameA = "03ja04ab.1111.2222.3.4.5";
const std::string NameB = "05fe04ac.3333.4444.5.6.7";
const std::string NameC = "07mr04ad.5555.6666.7.8.9";
const std::string NameD = "09ap04ae.7777.8888.9.10.11";
const std::string NameE = "11my04af.9999.1010.11.12.13";
const std::string NameF = "13jn04ag.1212.1313.13.14.15";

// A client directory holding the finished result of A, last written 2004-01-20 12:00 UTC: its
// start_ra differs from the database's, its progress is the furthest of all sources.
void writeClient(const TempDir& t, const std::string& dir) {
    t.write(dir + "/result.sah", "name=" + NameA +
                                     "\nstart_ra=3.625\ncpu=36000.5\nbs_power=21.5\n"
                                     "bs_score=1.25\nbg_score=2.25\nbg_chisq=1.5\n"
                                     "end_seti_header\n");
    using namespace std::chrono;
    const sys_seconds written = sys_days{year{2004} / 1 / 20} + hours{12};
    fs::last_write_time(t.path() / dir / "result.sah",
                        fs::file_time_type::clock::from_sys(written));
}

// The starting database: D, then an early reading of A (support data lines end with CR).
std::string startDatabase() {
    std::string out;
    const std::vector<std::string> lines = {"!",
                                            "name=" + NameD,
                                            "prog=1",
                                            "started_time=01/03/2004:00:00:00",
                                            "",
                                            "!",
                                            "name=" + NameA,
                                            "start_ra=3.5",
                                            "time_recorded=(2004/01/03 06:00:00)",
                                            "prog=0.25",
                                            "started_time=08/01/2004:00:00:00"};
    for (const std::string& line : lines) out += line + "\r";
    return out;
}

// I4WU: a later reading of A (not as far as the result) and B, with a column of comments.
// "Received" is local time, "Time(UT)" is UTC.
const std::string ExportI4wu =
    "\"Unit Name\",\"Received\",\"Time(UT)\",\"From(RA)\",\"Progress\",\"CPU Time\","
    "\"Power(Spike)\",\"Comment\"\r\n" +
    NameA + ",2004/01/09 09:00:00,2004/01/03 06:00:00,3.5,0.75,27000,30.5,\"late, yes\"\r\n" +
    NameB + ",2004/02/05 12:00:00,2004/01/28 16:30:00,7.125,0.875,31000.75,11.25,none\r\n";

// SETILog: another reading of A, then C, whose arrival is A's row date (local time).
const std::string ExportSetiLog =
    "\"date\",\"name\",\"prog\",\"time_recorded\",\"g_fft_ind\"\n"
    "2004/01/15 20:00:00," +
    NameA +
    ",0.5,2453007.75,7\n"
    "2004/02/10 06:15:00," +
    NameC + ",0.625,2453030.5,9\n";

// Another support data file holding E, with a full gaussian and no arrival time, written
// with CR LF line ends.
std::string otherSupportFile() {
    std::string out = "!\r\nname=" + NameE +
                      "\r\nbg_chisq=1.25\r\nbg_score=1.6\r\nbg_sigma=3\r\nprog=0.5\r\n"
                      "cpu=12345.678901\r\n";
    for (int i = 0; i < 64; ++i)
        out += "bg_pot " + std::to_string(i + 1) + "=" + std::to_string(i) + "\r\n";
    return out + "\r\n";
}

// An Orbelle table holding F, with a few columns only.
const std::string OrbelleTable =
    "\"TimeStamp\",\"name\",\"prog\",\"time_recorded\"\r\n"
    "2453036.5,\"" +
    NameF + "\",0.125,2453035.25\r\n";

// The merged database, sorted by arrival: E (no arrival time) first, D (the database's own
// record, first in the old file) last.
std::string mergedDatabase() {
    KeyValues e = {{"name", NameE},          {"bg_chisq", "1.250000"}, {"bg_score", "1.600000"},
                   {"bg_sigma", "3.000000"}, {"prog", "0.500000"},     {"cpu", "12345.678901"}};
    for (int i = 0; i < 64; ++i)
        e.emplace_back("bg_pot " + std::to_string(i + 1), std::to_string(i) + ".000000");
    // A: the database's header and arrival, the result's progress and best signals.
    const KeyValues a = {{"name", NameA},
                         {"start_ra", "3.500000"},
                         {"time_recorded", "(2004/01/03 06:00:00)"},
                         {"bs_power", "21.500000"},
                         {"bs_score", "1.250000"},
                         {"bg_chisq", "1.500000"},
                         {"bg_score", "2.250000"},
                         {"prog", "1.000000"},
                         {"cpu", "36000.500000"},
                         {"started_time", "08/01/2004:00:00:00"}};
    // C: SETILog's arrival is A's row date, 20:00 at nine hours east.
    const KeyValues c = {{"name", NameC},
                         {"time_recorded", "(2004/01/26 00:00:00)"},
                         {"bg_fft_ind", "9"},
                         {"prog", "0.625000"},
                         {"started_time", "15/01/2004:11:00:00"}};
    const KeyValues f = {{"name", NameF},
                         {"time_recorded", "(2004/01/30 18:00:00)"},
                         {"prog", "0.125000"},
                         {"started_time", "01/02/2004:00:00:00"}};
    // B: "Received" 12:00 local is 03:00 UTC; "Time(UT)" stays as it was.
    const KeyValues b = {{"name", NameB},
                         {"start_ra", "7.125000"},
                         {"time_recorded", "(2004/01/28 16:30:00)"},
                         {"bs_power", "11.250000"},
                         {"prog", "0.875000"},
                         {"cpu", "31000.750000"},
                         {"started_time", "05/02/2004:03:00:00"}};
    const KeyValues d = {
        {"name", NameD}, {"prog", "1.000000"}, {"started_time", "01/03/2004:00:00:00"}};
    return supportRecord(e) + supportRecord(a) + supportRecord(c) + supportRecord(f) +
           supportRecord(b) + supportRecord(d);
}

// Every source of the merge under in/, the database in run/.
struct MergeFixture {
    TempDir t;

    MergeFixture() {
        writeClient(t, "in/client");
        t.write("run/ss_past_data.txt", startDatabase());
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
        return testsupport::run(testsupport::programPath("Zarnik"), args, t.path() / "run",
                                EastZone);
    }
};

}  // namespace

TEST(ZarnikMerge, EveryInputKind) {
    // One work unit met in the database, the client directory, I4WU and SETILog ends as one
    // record: the database's header with the result's progress; the export is sorted, and a
    // second run over the same sources changes nothing.
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::string> err;
    };
    const Case cases[] = {
        {"by option",
         {"-sh=../in/client/", "-i4wu=../in/i4wu/*.csv", "-sl=../in/log.txt", "-ss=../in/other.dat",
          "-ob=../in/orbelle/"},
         {"Reading File: ss_past_data.txt", "Append SETI@home System FIles: ../in/client/*.sah",
          "Append I4WU Format File: ../in/i4wu/export1.csv",
          "Append SETILog Format File: ../in/log.txt",
          "Append SETI@Supprt Format File: ../in/other.dat",
          "Append Orbelle Format File: ../in/orbelle/WUInfo.csv", "6 File(s) are done",
          "Export All Data to File: ss_past_data.txt"}},
        // Files come in name order, letters compared without regard to case (as NTFS keeps
        // them, on every OS), and the directory part is printed as the pattern gives it. The
        // client directory may end without a separator.
        {"by file name, with backslashes",
         {"-sh=..\\in\\client", "..\\in\\names\\*"},
         {"Reading File: ss_past_data.txt", "Append SETI@home System FIles: ..\\in\\client\\*.sah",
          "Append I4WU Format File: ..\\in\\names\\export1.csv",
          "No kind of SETI@home Apprication data: ..\\in\\names\\notes.txt",
          "Append SETILog Format File: ..\\in\\names\\SETILog.csv",
          "Append SETI@Supprt Format File: ..\\in\\names\\ss_past_data.txt",
          "No kind of SETI@home Apprication data: ..\\in\\names\\st_export.csv",
          "Orbelle File: ..\\in\\names\\WUInfo.csv", "6 File(s) are done",
          "Export All Data to File: ss_past_data.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MergeFixture m;
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE("run " + std::to_string(run));
            const auto r = m.zarnik(c.args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(testsupport::lines(r.err), c.err);
            EXPECT_EQ(m.t.read("run/ss_past_data.txt"), mergedDatabase());
        }
    }
}

TEST(ZarnikMerge, KorvathKeepsWUInfo) {
    // Under another name the tool keeps WUInfo.csv: the first reading (I4WU) keeps the header
    // and arrival, the result brings Update and progress; local and UTC columns are told apart.
    TempDir t;
    writeClient(t, "in/client");
    t.write("in/wu/export1.csv",
            "\"Update\",\"Received\",\"Unit Name\",\"Splitter Version\",\"Time(UT)\","
            "\"From(RA)\",\"Progress\",\"CPU Time\",\" Samples\"\n"
            "2004/01/12 09:00:00,2004/01/09 09:00:00," +
                NameA +
                ",0x3,2004/01/03 06:00:00,3.5,0.5,18000.25,1048576\n"
                "2004/01/05 18:00:00,2004/01/02 12:00:00," +
                NameB + ",3,2004/01/01 12:00:00,7.125,0.875,31000.75,1048576\n");
    fs::create_directories(t.path() / "run");
    const std::vector<std::string> args = {"-i4wu=../in/wu/export1.csv", "-sh=../in/client/"};
    std::vector<std::string> expectedErr = {
        "Reading File: WUInfo.csv", "Append I4WU Format File: ../in/wu/export1.csv",
        "Append SETI@home System FIles: ../in/client/*.sah", "2 File(s) are done",
        "Export All Data to File: WUInfo.csv"};
    const auto r =
        testsupport::run(testsupport::programPath("Korvath"), args, t.path() / "run", EastZone);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(testsupport::lines(r.err), expectedErr);

    // B, then A: sorted by arrival. At nine hours east B's Update 18:00 is 09:00 UTC, its
    // arrival 12:00 is 03:00 UTC; A arrived 2004-01-09 09:00 local, midnight UTC. A's Update,
    // progress and signals come from the result, last written 2004-01-20 12:00 UTC. The
    // header's bytes are the WUInfo.csv writer's own test.
    std::string zeroPots;
    for (int i = 0; i < 64; ++i) zeroPots += ",0.000000";
    const std::string rows =
        "2453009.875000,2453006.625000,0,\"" + NameB +
        "\",0x3,7.125000,0.000000,0.000000,0.000000,2453006.00000,0.000000,0.000000,0.000000,"
        "1048576,0.000000,0,0,0,\"ao1420\",\"?\",31000.750000,0.875000,0.000000,0.000000,0,0,"
        "0.000000,0,0.000000,0.000000,0.000000,0.000000,0.000000,0,0,0.000000,0" +
        zeroPots + "\r\n2453025.000000,2453013.500000,0,\"" + NameA +
        "\",0x3,3.500000,0.000000,0.000000,0.000000,2453007.75000,0.000000,0.000000,0.000000,"
        "1048576,0.000000,0,0,0,\"ao1420\",\"?\",36000.500000,1.000000,21.500000,1.250000,0,0,"
        "0.000000,0,2.250000,0.000000,0.000000,0.000000,1.500000,0,0,0.000000,0" +
        zeroPots + "\r\n";
    const std::string merged = t.read("run/WUInfo.csv");
    EXPECT_EQ(merged.rfind("\"Update\",\"TimeStamp\",\"version\",", 0), 0u);
    EXPECT_EQ(merged.substr(merged.find("\r\n") + 2), rows);
    EXPECT_FALSE(t.exists("run/ss_past_data.txt"));

    // The second run reads its own table back, counts it, and leaves it byte for byte.
    const auto again =
        testsupport::run(testsupport::programPath("Korvath"), args, t.path() / "run", EastZone);
    expectedErr[3] = "3 File(s) are done";
    EXPECT_EQ(testsupport::lines(again.err), expectedErr);
    EXPECT_EQ(t.read("run/WUInfo.csv"), merged);
}

TEST(ZarnikMerge, KorvathReadsBackWhatItStored) {
    // A double quote in a name from a result file once ended its cell's quotes, so the comma
    // after it split the cell and the next run lost the row's later fields; NULs in names from
    // a support data file were dropped only on writing, so a name of NULs alone vanished on
    // the next run and "a\0b" met "ab" only then. Now the second run rewrites the same bytes.
    TempDir t;
    t.write("in/client/result.sah",
            "name=ab\"c,d\nstart_ra=3.625\ncpu=36000.5\n"
            "receiver=ao\"1420\"\nend_seti_header\n");
    using namespace std::chrono;
    const sys_seconds written = sys_days{year{2004} / 1 / 20} + hours{12};
    fs::last_write_time(t.path() / "in/client/result.sah",
                        fs::file_time_type::clock::from_sys(written));
    using namespace std::string_literals;
    t.write("in/names.txt",
            "!\rname=a\0b\rprog=0.25\r\r!\rname=ab\rprog=0.5\r\r!\rname=\0\0\rprog=0.75\r\r"s);
    fs::create_directories(t.path() / "run");
    const auto first =
        testsupport::run(testsupport::programPath("Korvath"),
                         {"-sh=../in/client/", "-ss=../in/names.txt"}, t.path() / "run", EastZone);
    EXPECT_EQ(testsupport::lines(first.err),
              (std::vector<std::string>{
                  "Reading File: WUInfo.csv", "Append SETI@home System FIles: ../in/client/*.sah",
                  "Append SETI@Supprt Format File: ../in/names.txt", "2 File(s) are done",
                  "Export All Data to File: WUInfo.csv"}));
    // Every row after its Update (the support data file's is the time of the run): "ab" once,
    // with the further reading's progress, then the result's row whole.
    std::string zeroPots;
    for (int i = 0; i < 64; ++i) zeroPots += ",0.000000";
    const std::string zeroSignals =
        "0.000000,0.000000,0,0,0.000000,0,0.000000,0.000000,0.000000,0.000000,0.000000,0,0,"
        "0.000000,0" +
        zeroPots + "\r\n";
    const std::vector<std::string> rows = {
        ",,0,\"ab\",0x0,0.000000,0.000000,0.000000,0.000000,,0.000000,0.000000,0.000000,0,"
        "0.000000,0,0,0,\"ao1420\",\"?\",0.000000,0.500000," +
            zeroSignals,
        ",2453025.000000,0,\"abc,d\",0x0,3.625000,0.000000,0.000000,0.000000,,0.000000,"
        "0.000000,0.000000,0,0.000000,0,0,0,\"ao1420\",\"\",36000.500000,1.000000," +
            zeroSignals};
    const std::string stored = t.read("run/WUInfo.csv");
    std::vector<std::string> storedRows;
    for (std::size_t at = stored.find("\r\n") + 2; at < stored.size();) {
        const std::size_t end = stored.find("\r\n", at) + 2;
        const std::string row = stored.substr(at, end - at);
        storedRows.push_back(row.substr(row.find(',')));
        at = end;
    }
    EXPECT_EQ(storedRows, rows);

    const auto second = testsupport::run(testsupport::programPath("Korvath"), {"nomatch*.csv"},
                                         t.path() / "run", EastZone);
    EXPECT_EQ(
        testsupport::lines(second.err),
        (std::vector<std::string>{"Reading File: WUInfo.csv", "Cannot Open File(s): nomatch*.csv",
                                  "1 File(s) are done", "Export All Data to File: WUInfo.csv"}));
    EXPECT_EQ(t.read("run/WUInfo.csv"), stored);
}
