// The client directory reader: which file gives which field for every combination of the
// client's three files, and a real client's state.sah.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "clientfiles/SHLog.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

ATime utc(int year, int month, int day, int hour, int minute, int second) {
    ATime t;
    t.setUtc(year, month, day, hour, minute, second);
    return t;
}

// Gives a file the last-write time of a UTC calendar time.
void setModified(const std::string& path, int year, unsigned month, unsigned day, int hour,
                 int minute) {
    using namespace std::chrono;
    const sys_seconds when = sys_days{std::chrono::year{year} / month / day} + hours{hour} +
                             minutes{minute};
    fs::last_write_time(path, fs::file_time_type::clock::from_sys(when));
}

const char* const ResultSah =
    "name=res.unit.1\n"
    "start_ra=1.5\n"
    "cpu=100.25\n"
    "bs_power=9.5\n"
    "end_seti_header\n";

// The line after end_seti_header must never be read.
const char* const WorkUnitSah =
    "name=wu.unit.1\n"
    "start_ra=2.5\n"
    "nsamples=1048576\n"
    "end_seti_header\n"
    "cpu=999\n";

const char* const StateSah =
    "cpu=300.5\n"
    "prog=0.4\n"
    "start_ra=3.5\n";

constexpr int HasResult = 1, HasWorkUnit = 2, HasState = 4;

}  // namespace

TEST(SHLog, EveryCombinationOfTheClientFiles) {
    const ATime resultTime = utc(2004, 1, 20, 12, 0, 0);
    const ATime workUnitTime = utc(2004, 1, 10, 8, 30, 0);
    const ATime unset;

    struct Case {
        int files;
        bool read;
        const char* name;
        bool timeStampFromWorkUnit;  // else from the result, or unset without one
        bool updateFromResult;       // else the time of open
        double prog, cpu, startRa;
        std::int32_t nsamples;
    };
    const Case cases[] = {
        {0, false, "", false, false, 0, 0, 0, 0},
        {HasResult, true, "res.unit.1", false, true, 1.0, 100.25, 1.5, 0},
        {HasWorkUnit, true, "wu.unit.1", true, false, 0, 0, 2.5, 1048576},
        {HasResult | HasWorkUnit, true, "res.unit.1", true, true, 1.0, 100.25, 1.5, 0},
        {HasState, true, "", false, false, 0.4, 300.5, 3.5, 0},
        // No work_unit.sah: the state file's values overwrite the result's.
        {HasResult | HasState, true, "res.unit.1", false, true, 0.4, 300.5, 3.5, 0},
        {HasWorkUnit | HasState, true, "wu.unit.1", true, false, 0.4, 300.5, 3.5, 1048576},
        // The result with the work unit's arrival: state.sah is not read.
        {HasResult | HasWorkUnit | HasState, true, "res.unit.1", true, true, 1.0, 100.25, 1.5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("files " + std::string(c.files & HasResult ? "result " : "") +
                     (c.files & HasWorkUnit ? "work_unit " : "") +
                     (c.files & HasState ? "state" : ""));
        TempDir dir;
        if (c.files & HasResult) {
            dir.write("result.sah", ResultSah);
            setModified(dir.file("result.sah"), 2004, 1, 20, 12, 0);
        }
        if (c.files & HasWorkUnit) {
            dir.write("work_unit.sah", WorkUnitSah);
            setModified(dir.file("work_unit.sah"), 2004, 1, 10, 8, 30);
        }
        if (c.files & HasState) dir.write("state.sah", StateSah);

        SHLog client(dir.path().string() + "/");
        ASSERT_TRUE(client.openedAt.isSet());
        EXPECT_EQ(client.read(), c.read);
        const WorkUnit& r = client.record;
        EXPECT_EQ(r.name, c.name);
        const ATime& expectedStamp = c.timeStampFromWorkUnit ? workUnitTime
                                     : (c.files & HasResult) ? resultTime
                                                             : unset;
        EXPECT_EQ(r.TimeStamp.julianDate(), expectedStamp.julianDate());
        EXPECT_EQ(r.Update.julianDate(),
                  (c.updateFromResult ? resultTime : client.openedAt).julianDate());
        EXPECT_EQ(r.prog, c.prog);
        EXPECT_EQ(r.cpu, c.cpu);
        EXPECT_EQ(r.start_ra, c.startRa);
        EXPECT_EQ(r.nsamples, c.nsamples);
    }
}

TEST(SHLog, ResultWithoutANameCountsAsNoResult) {
    // Before, such a result hid the work unit in progress: the merge tool counted the
    // directory as read while its store refused the nameless record.
    const char* const results[] = {"", "<result>\n<header>\n</header>\n</result>\n"};
    for (const char* result : results) {
        SCOPED_TRACE(std::string("result.sah: ") + result);
        TempDir dir;
        dir.write("result.sah", result);
        dir.write("work_unit.sah", WorkUnitSah);
        dir.write("state.sah", StateSah);
        SHLog client(dir.path().string() + "/");
        ASSERT_TRUE(client.read());
        EXPECT_EQ(client.record.name, "wu.unit.1");
        EXPECT_EQ(client.record.nsamples, 1048576);
        EXPECT_EQ(client.record.prog, 0.4);
        EXPECT_EQ(client.record.Update.julianDate(), client.openedAt.julianDate());
    }
}

TEST(SHLog, RealLaterClientResultBesideOurWorkUnit) {
    const fs::path real = fs::path(SETI_REALDATA_DIR) / "later_xml_result.sah";
    if (!fs::exists(real)) GTEST_SKIP() << "no real client data at " << real;
    TempDir dir;
    fs::copy_file(real, dir.path() / "result.sah");
    dir.write("work_unit.sah", WorkUnitSah);
    SHLog client(dir.path().string() + "/");
    ASSERT_TRUE(client.read());
    EXPECT_EQ(client.record.name, "wu.unit.1");
    EXPECT_EQ(client.record.start_ra, 2.5);
}

TEST(SHLog, ReadsAgainAndForgetsOnClose) {
    TempDir dir;
    dir.write("state.sah", StateSah);
    SHLog client(dir.path().string() + "/");
    ASSERT_TRUE(client.read());
    ASSERT_TRUE(client.read());
    EXPECT_EQ(client.record.cpu, 300.5);
    client.close();
    EXPECT_EQ(client.dir, "");
    EXPECT_EQ(client.record.cpu, 0);
}

TEST(SHLog, DirectoryWithoutTrailingSeparatorFindsNothing) {
    // The file names are appended to the directory text as it stands.
    TempDir dir;
    dir.write("state.sah", StateSah);
    SHLog client(dir.path().string());
    EXPECT_FALSE(client.read());
}

TEST(SHLog, RealClientStateBesideOurWorkUnit) {
    const fs::path real = fs::path(SETI_REALDATA_DIR) / "state_prog22.sah";
    if (!fs::exists(real)) GTEST_SKIP() << "no real client data at " << real;
    TempDir dir;
    fs::copy_file(real, dir.path() / "state.sah");
    dir.write("work_unit.sah",
              "name=21ap04aa.9876.5432.10.11.12\n"
              "start_ra=14.25\n"
              "nsamples=1048576\n"
              "receiver=ao1420\n"
              "end_seti_header\n");
    setModified(dir.file("work_unit.sah"), 2004, 4, 21, 6, 15);

    SHLog client(dir.path().string() + "/");
    ASSERT_TRUE(client.read());
    const WorkUnit& r = client.record;
    // The work unit's header and arrival time.
    EXPECT_EQ(r.name, "21ap04aa.9876.5432.10.11.12");
    EXPECT_EQ(r.start_ra, 14.25);
    EXPECT_EQ(r.nsamples, 1048576);
    EXPECT_EQ(r.receiver, "ao1420");
    EXPECT_EQ(r.TimeStamp.julianDate(), utc(2004, 4, 21, 6, 15, 0).julianDate());
    // The client's progress and best signals.
    EXPECT_DOUBLE_EQ(r.prog, 0.22203413);
    EXPECT_DOUBLE_EQ(r.cpu, 963.091196);
    EXPECT_DOUBLE_EQ(r.bs_power, 172.206772);
    EXPECT_EQ(r.bs_fft_len, 131072);
    EXPECT_DOUBLE_EQ(r.bg_score, 0.185800);
    EXPECT_DOUBLE_EQ(r.bg_chirp_rate, 8.044757);
    EXPECT_EQ(r.bg_fft_len, 8192);
    EXPECT_DOUBLE_EQ(r.bg_pot[0], 0.610078);
    EXPECT_DOUBLE_EQ(r.bg_pot[63], 1.165366);
    EXPECT_TRUE(r.hasFullGaussian());
    // Keys the programs do not know (ncfft, fl, potfreq, bp_*, bt_* with their long hex
    // pots) are skipped: no field of the record takes them.
    EXPECT_EQ(r.fft_len, 0);
    EXPECT_EQ(r.ifft_len, 0);
    EXPECT_EQ(r.version, 0);
    EXPECT_EQ(r.splitter_version, 0);
    EXPECT_EQ(r.tape_version, "");
    EXPECT_FALSE(r.time_recorded.isSet());
}
