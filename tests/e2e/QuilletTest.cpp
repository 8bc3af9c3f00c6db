// End-to-end runs of the built Quillet: usage text, messages, refusals, and result pages
// compared byte for byte with hand-written golden pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

const std::string Usage =
    "Quillet.exe for Win32\n"
    "Version 1.00  Copyright (C) 2026 the authors\n"
    "Usage: Quillet.exe <result.sah path> [Dist. path]\n"
    "\n";

RunResult runQuillet(const TempDir& dir, const std::vector<std::string>& args,
                     const std::string& env = "TZ=UTC") {
    return testsupport::run(testsupport::programPath("Quillet"), args, dir.path(), env);
}

std::string golden(const std::string& name) {
    return testsupport::readBytes(fs::path(SETI_SOURCE_DIR) / "tests/e2e/golden" / name);
}

// Sets a file's last-write time to a UTC moment given in seconds since 1970.
void setModified(const std::string& path, std::int64_t utcSeconds) {
    const auto sys = std::chrono::sys_seconds(std::chrono::seconds(utcSeconds));
    fs::last_write_time(path, std::chrono::file_clock::from_sys(sys));
}

std::vector<std::string> entries(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A result with two spikes under one context line, a group end, and two gaussians under
// another context, one with a full power curve and one whose short curve leaves the values
// seeded from the header's bg_pot lines.
const std::string SignalsResult =
    "type=result\n"
    "version=3\n"
    "name=03ja00ab.12345.6789.5.3.210\n"
    "splitter_version=0x3\n"
    "start_ra=14.853\n"
    "start_dec=-28.5711\n"
    "end_ra=14.911\n"
    "end_dec=-28.58\n"
    "time_recorded=2451606.85836 (Fri Mar  3 08:36:02 2000)\n"
    "subband_center=1418923828.125\n"
    "subband_base=1418915527.34375\n"
    "subband_sample_rate=9765.625\n"
    "nsamples=1048576\n"
    "angle_range=0.775\n"
    "fft_len=2048\n"
    "ifft_len=8\n"
    "subband_number=213\n"
    "receiver=ao1420\n"
    "tape_version=4.1\n"
    "cpu_time=30125.75\n"
    "bg_pot 10=2.0\n"
    "bg_pot 20=1.0\n"
    "end_seti_header\n"
    "<ogh ncfft=8 cr=-1.5 fl=131072>\n"
    "spike: power=24.5 ra=14.8621 dec=-28.5625 time=2451606.859 freq=1418918910.9886\n"
    "spike: power=31.25 ra= 14.875 dec= -28.5 time=2451606.75 freq=1418920000.004\n"
    "<ogt ncfft=8 cr=-1.5 fl=131072>\n"
    "<ogh ncfft=64 cr=2.25 fl=2048>\n"
    "gaussian: peak=3.5 mean=0.5 ra=14.9031 dec=-28.5897 time=2451606.8 "
    "freq=1418915821.9072 sigma=4.25 chisqr=1.25 maxpow=9.5 "
    "pot=00102030405060708090A0B0C0D0E0F000102030405060708090A0B0C0D0E0F0"
    "00102030405060708090A0B0C0D0E0F000102030405060708090A0B0C0D0E0F0\n"
    "gaussian: peak=2 mean=0.25 ra=14.8777 dec=-28.5733 time=2451606.85836 "
    "freq=1418916000.37 chirprate=-0.75 sigma=3 chisqr=0.5 pot=FF80037\n"
    "<ogt ncfft=64 cr=2.25 fl=2048>\n";

}  // namespace

// A wrong number of arguments prints only the usage text.
TEST(QuilletTest, WrongArgumentCountPrintsUsageOnly) {
    const std::vector<std::vector<std::string>> cases = {{}, {"a.sah", "b.html", "c"}};
    for (const auto& args : cases) {
        SCOPED_TRACE(std::to_string(args.size()) + " arguments");
        TempDir dir;
        const RunResult r = runQuillet(dir, args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, Usage);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(entries(dir).empty());
    }
}

// A result file that does not exist: the message, then the usage text.
TEST(QuilletTest, MissingResultFile) {
    TempDir dir;
    const RunResult r = runQuillet(dir, {"client\\result.sah"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "File not found: client\\result.sah\n");
    EXPECT_EQ(r.out, Usage);
    EXPECT_TRUE(entries(dir).empty());
}

// The page of a result with signals, named after the work unit in the current directory.
// The zone is east of Greenwich and on summer time at the file's date, so the received time
// must come back to UTC through the standard offset.
TEST(QuilletTest, PageWithSignalsMatchesGolden) {
    TempDir dir;
    dir.write("result.sah", SignalsResult);
    setModified(dir.file("result.sah"), 1083779859);  // 2004-05-05 17:57:39 UTC
    const RunResult r = runQuillet(dir, {"result.sah"}, "TZ=CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("03ja00ab.12345.6789.5.3.210.html"), golden("signals.html"));
}

// A result without signals, written to a page path given with a backslash, in a zone west of
// Greenwich; the name's markup characters are escaped.
TEST(QuilletTest, PageWithoutSignalsMatchesGolden) {
    TempDir dir;
    dir.write("result.sah",
              "name=21no04ab.2222.<i>&\"x\".7\n"
              "cpu=59.25\n"
              "start_ra=0\n"
              "start_dec=-0.5\n"
              "subband_number=-3\n"
              "end_seti_header\n"
              "<ogh ncfft=8 cr=0.0 fl=2048>\n"
              "spike:\n"
              "<ogt ncfft=8 cr=0.0 fl=2048>\n");
    fs::create_directory(dir.path() / "pages");
    setModified(dir.file("result.sah"), 946684805);  // 2000-01-01 00:00:05 UTC
    const RunResult r = runQuillet(dir, {"result.sah", "pages\\nosignal.html"}, "TZ=EST5");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("pages/nosignal.html"), golden("nosignals.html"));
}

// An empty page argument counts as none, and an existing page is replaced whole.
TEST(QuilletTest, EmptyDestinationUsesNameAndReplacesOldPage) {
    TempDir dir;
    dir.write("result.sah", "name=wu1\nend_seti_header\n");
    dir.write("wu1.html", std::string(20000, 'x'));
    const RunResult r = runQuillet(dir, {"result.sah", ""});
    EXPECT_EQ(r.err, "");
    const std::string page = dir.read("wu1.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE", 0), 0u);
    EXPECT_EQ(page.find('x' + std::string(10, 'x')), std::string::npos);
    EXPECT_EQ(page.substr(page.size() - 9), "</HTML>\r\n");
}

// Names from inside the file that would make an unsafe default page name are refused, and
// nothing is written; with an explicit page path the same file is fine.
TEST(QuilletTest, UnsafeDefaultPageNameIsRefused) {
    const std::vector<std::string> names = {"..", ".", "..\\..\\evil", "../evil", "C:evil",
                                            "two\x01parts"};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        TempDir dir;
        dir.write("in.sah", "name=" + name + "\nend_seti_header\n");
        RunResult r = runQuillet(dir, {"in.sah"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "Illegal File: in.sah\n");
        EXPECT_EQ(r.out, Usage);
        EXPECT_EQ(entries(dir), std::vector<std::string>{"in.sah"});

        r = runQuillet(dir, {"in.sah", "page.html"});
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(dir.exists("page.html"));
    }
}

// A result that gives no work-unit name is refused even with a page path: an empty file, and
// the later client's XML result from the real-data folder.
TEST(QuilletTest, ResultWithoutNameIsRefused) {
    TempDir dir;
    dir.write("empty.sah", "");
    RunResult r = runQuillet(dir, {"empty.sah", "page.html"});
    EXPECT_EQ(r.err, "Illegal File: empty.sah\n");
    EXPECT_EQ(r.out, Usage);

    const std::string xml = std::string(SETI_REALDATA_DIR) + "/later_xml_result.sah";
    if (!fs::exists(xml)) GTEST_SKIP() << "no real-data folder at " << xml;
    r = runQuillet(dir, {xml});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Illegal File: " + xml + "\n");
    EXPECT_EQ(r.out, Usage);
    r = runQuillet(dir, {xml, "page.html"});
    EXPECT_EQ(r.err, "Illegal File: " + xml + "\n");
    EXPECT_EQ(entries(dir), std::vector<std::string>{"empty.sah"});
}

// A page path that cannot be written (a directory, a missing directory): the message with
// the page path, and no usage text.
TEST(QuilletTest, UnwritablePageIsReported) {
    const std::vector<std::string> targets = {"pages", "missing\\page.html"};
    for (const auto& target : targets) {
        SCOPED_TRACE(target);
        TempDir dir;
        dir.write("result.sah", "name=wu1\nend_seti_header\n");
        fs::create_directory(dir.path() / "pages");
        const RunResult r = runQuillet(dir, {"result.sah", target});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "Illegal File: " + target + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(fs::is_empty(dir.path() / "pages"));
    }
}
