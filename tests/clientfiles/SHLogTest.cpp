// The client directory reader: which file gives which field for every combination of the
// client's three files, and a real client's state.sah.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "clientfiles/ResFile.h"
#include "clientfiles/SHLog.h"
#include "options/FindFile.h"
#include "platform/platform.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

std::string date(const ATime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

// Gives a file the last-write time of a UTC moment in seconds since 1970.
void setModified(const std::string& path, long long utcSeconds) {
    const auto sys = std::chrono::sys_seconds(std::chrono::seconds(utcSeconds));
    fs::last_write_time(path, std::chrono::file_clock::from_sys(sys));
}

const char* const ResultSah = "name=res.unit.1\nstart_ra=1.5\ncpu=100.25\nend_seti_header\n";
// The line after end_seti_header must never be read.
const char* const WorkUnitSah =
    "name=wu.unit.1\nstart_ra=2.5\nnsamples=1048576\nend_seti_header\ncpu=999\n";
const char* const StateSah = "cpu=300.5\nprog=0.4\nstart_ra=3.5\n";

// A result that names no work unit (an empty file, the later client's XML result) counts as
// none: it hid the work unit in progress, and the store then refused the nameless record.
constexpr int HasResult = 1, HasWorkUnit = 2, HasState = 4, HasNamelessResult = 8;

}  // namespace

TEST(SHLog, EveryCombinationOfTheClientFiles) {
    const char* const resultTime = "2004-01-20 12:00:00";
    const char* const workUnitTime = "2004-01-10 08:30:00";
    const char* const unset = "1984-01-00 00:00:00";
    struct Case {
        int files;
        const char* name;
        const char* timeStamp;
        bool updateFromResult;  // else the time of open
        double prog, cpu, startRa;
        std::int32_t nsamples;
    };
    const Case cases[] = {
        {0, "", unset, false, 0, 0, 0, 0},
        {HasResult, "res.unit.1", resultTime, true, 1.0, 100.25, 1.5, 0},
        {HasWorkUnit, "wu.unit.1", workUnitTime, false, 0, 0, 2.5, 1048576},
        {HasResult | HasWorkUnit, "res.unit.1", workUnitTime, true, 1.0, 100.25, 1.5, 0},
        {HasState, "", unset, false, 0.4, 300.5, 3.5, 0},
        // No work_unit.sah: the state file's values overwrite the result's.
        {HasResult | HasState, "res.unit.1", resultTime, true, 0.4, 300.5, 3.5, 0},
        {HasWorkUnit | HasState, "wu.unit.1", workUnitTime, false, 0.4, 300.5, 3.5, 1048576},
        {HasNamelessResult | HasWorkUnit | HasState, "wu.unit.1", workUnitTime, false, 0.4, 300.5,
         3.5, 1048576},
        // The result with the work unit's arrival: state.sah is not read.
        {HasResult | HasWorkUnit | HasState, "res.unit.1", workUnitTime, true, 1.0, 100.25, 1.5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("files " + std::to_string(c.files));
        TempDir dir;
        if (c.files & HasResult) {
            dir.write("result.sah", ResultSah);
            setModified(dir.file("result.sah"), 1074600000);  // 2004-01-20 12:00:00
        }
        if (c.files & HasWorkUnit) {
            dir.write("work_unit.sah", WorkUnitSah);
            setModified(dir.file("work_unit.sah"), 1073723400);  // 2004-01-10 08:30:00
        }
        if (c.files & HasState) dir.write("state.sah", StateSah);
        if (c.files & HasNamelessResult) dir.write("result.sah", "");

        SHLog client(dir.path().string() + "/");
        ASSERT_TRUE(client.openedAt.isSet());
        EXPECT_EQ(client.read(), c.files != 0);
        const WorkUnit& r = client.record;
        EXPECT_EQ(r.name, c.name);
        EXPECT_EQ(date(r.TimeStamp), c.timeStamp);
        EXPECT_EQ(date(r.Update), c.updateFromResult ? resultTime : date(client.openedAt));
        EXPECT_EQ(r.prog, c.prog);
        EXPECT_EQ(r.cpu, c.cpu);
        EXPECT_EQ(r.start_ra, c.startRa);
        EXPECT_EQ(r.nsamples, c.nsamples);

        // The same files held in memory give the same record.
        ClientFiles files;
        if (c.files & HasResult) files.result = ResultSah;
        if (c.files & HasNamelessResult) files.result = "";
        if (c.files & HasWorkUnit) files.workUnit = WorkUnitSah;
        if (c.files & HasState) files.state = StateSah;
        files.resultModified = ATime::fileTimeText(1074600000, platform::zoneOffsetSeconds());
        files.workUnitModified = ATime::fileTimeText(1073723400, platform::zoneOffsetSeconds());
        SHLog inMemory;
        inMemory.openedAt = client.openedAt;
        EXPECT_EQ(inMemory.readBytes(files), c.files != 0);
        const WorkUnit& m = inMemory.record;
        EXPECT_EQ(m.name, r.name);
        EXPECT_EQ(date(m.TimeStamp), date(r.TimeStamp));
        EXPECT_EQ(date(m.Update), date(r.Update));
        EXPECT_EQ(m.prog, r.prog);
        EXPECT_EQ(m.cpu, r.cpu);
        EXPECT_EQ(m.start_ra, r.start_ra);
        EXPECT_EQ(m.nsamples, r.nsamples);
    }
}

// A file that is found but does not read: result.sah counts as none; work_unit.sah still
// gives the arrival time (and, beside a result, still keeps state.sah out), but no header.
TEST(SHLog, FilesFoundButUnreadable) {
    struct Case {
        int files;
        int unreadable;
        bool read;
        const char* name;
        double cpu;
        std::int32_t nsamples;  // only from a work_unit.sah that reads
    };
    const Case cases[] = {
        {HasResult | HasWorkUnit | HasState, HasWorkUnit, true, "res.unit.1", 100.25, 0},
        {HasWorkUnit | HasState, HasWorkUnit, true, "", 300.5, 0},
        {HasWorkUnit, HasWorkUnit, false, "", 0, 0},
        {HasResult | HasWorkUnit, HasResult, true, "wu.unit.1", 0, 1048576},
        {HasResult, HasResult, false, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("files " + std::to_string(c.files) + " unreadable " +
                     std::to_string(c.unreadable));
        TempDir dir;
        const std::pair<int, const char*> names[] = {{HasResult, "result.sah"},
                                                     {HasWorkUnit, "work_unit.sah"}};
        for (const auto& [bit, name] : names) {
            if (!(c.files & bit)) continue;
            dir.write(name, bit == HasResult ? ResultSah : WorkUnitSah);
            if (!(c.unreadable & bit)) continue;
            // Unreadable where permissions bite; as root, a link whose target is gone.
            fs::permissions(dir.file(name), fs::perms::none);
            std::string bytes;
            if (platform::readFile(dir.file(name), bytes)) {
                fs::remove(dir.file(name));
                fs::create_symlink(dir.path() / "gone.sah", dir.path() / name);
            }
        }
        if (c.files & HasState) dir.write("state.sah", StateSah);

        SHLog client(dir.path().string() + "/");
        EXPECT_EQ(client.read(), c.read);
        const WorkUnit& r = client.record;
        EXPECT_EQ(r.name, c.name);
        EXPECT_EQ(r.cpu, c.cpu);
        EXPECT_EQ(r.nsamples, c.nsamples);
        const bool result = (c.files & HasResult) && !(c.unreadable & HasResult);
        if (!result) {
            EXPECT_EQ(date(r.Update), date(client.openedAt));
        }
        FindFile finder;
        if (c.files & HasWorkUnit) {
            ASSERT_FALSE(finder.find(dir.file("work_unit.sah")).empty());
            ATime arrival;
            arrival.parseLocal(finder.modified);
            ASSERT_TRUE(arrival.isSet());
            EXPECT_EQ(date(r.TimeStamp), date(arrival));
        }

        // In memory: the found work unit without bytes.
        ClientFiles files;
        if (result) files.result = ResultSah;
        files.workUnitModified = finder.modified;
        if (c.unreadable & HasWorkUnit) {
            files.workUnitUnreadable = true;
        } else if (c.files & HasWorkUnit) {
            files.workUnit = WorkUnitSah;
        }
        if (c.files & HasState) files.state = StateSah;
        SHLog inMemory;
        inMemory.openedAt = client.openedAt;
        EXPECT_EQ(inMemory.readBytes(files), c.read);
        EXPECT_EQ(inMemory.record.name, r.name);
        EXPECT_EQ(inMemory.record.cpu, r.cpu);
        EXPECT_EQ(inMemory.record.nsamples, r.nsamples);
        EXPECT_EQ(date(inMemory.record.TimeStamp), date(r.TimeStamp));
    }
}

TEST(SHLog, RealClientStateBesideOurWorkUnit) {
    const fs::path real = fs::path(SETI_REALDATA_DIR) / "state_prog22.sah";
    if (!fs::exists(real)) GTEST_SKIP() << "no real client data at " << real;
    TempDir dir;
    fs::copy_file(real, dir.path() / "state.sah");
    dir.write("work_unit.sah",
              "name=21ap04aa.9876.5432.10.11.12\nreceiver=ao1420\nend_seti_header\n");
    setModified(dir.file("work_unit.sah"), 1082528100);  // 2004-04-21 06:15:00

    SHLog client(dir.path().string() + "/");
    ASSERT_TRUE(client.read());
    const WorkUnit& r = client.record;
    // The work unit's header and arrival time.
    EXPECT_EQ(r.name, "21ap04aa.9876.5432.10.11.12");
    EXPECT_EQ(r.receiver, "ao1420");
    EXPECT_EQ(date(r.TimeStamp), "2004-04-21 06:15:00");
    // The client's progress and best signals.
    EXPECT_DOUBLE_EQ(r.prog, 0.22203413);
    EXPECT_DOUBLE_EQ(r.cpu, 963.091196);
    EXPECT_DOUBLE_EQ(r.bg_chirp_rate, 8.044757);
    EXPECT_DOUBLE_EQ(r.bg_pot[63], 1.165366);
    EXPECT_TRUE(r.hasFullGaussian());
    // Keys the programs do not know (ncfft, fl, potfreq, bp_*, bt_* with their long hex
    // pots) are skipped: no field of the record takes them.
    EXPECT_EQ(r.fft_len, 0);
    EXPECT_EQ(r.tape_version, "");
}
