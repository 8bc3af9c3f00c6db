// End-to-end runs of the built Quillet: usage text, messages, refusals, and result pages
// compared byte for byte with hand-written golden pages.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/ExitStatus.h"
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

// How many entries a directory holds.
long entryCount(const fs::path& dir) {
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

// A result with two spikes under one context line, a group end, and two gaussians under
// another context, one with a full power curve and one whose short curve of odd length leaves
// the values seeded from the header's bg_pot lines. Traits of real clients: a bracketed date
// after time_recorded, blanks after "=", three-digit exponents, "<ogt" lines.
const std::string SignalsResult =
    "type=result\nversion=3\nname=03ja00ab.12345.6789.5.3.210\nsplitter_version=0x3\n"
    "start_ra=14.853\nstart_dec=-28.5711\nend_ra=14.911\nend_dec=-28.58\n"
    "time_recorded=2451606.85836 (Fri Mar  3 08:36:02 2000)\n"
    "subband_center=1418923828.125\nsubband_base=1418915527.34375\n"
    "subband_sample_rate=9765.625\nnsamples=1048576\nangle_range=0.775\nfft_len=2048\n"
    "ifft_len=8\nsubband_number=213\nreceiver=ao1420\ntape_version=4.1\ncpu_time=30125.75\n"
    "bg_pot 10=2.0\nbg_pot 20=1.0\nend_seti_header\n"
    "<ogh ncfft=8 cr=-1.5e+000 fl=131072>\n"
    "spike: power=24.5 ra=14.8621 dec=-28.5625 time=2451606.859 freq=1418918910.9886\n"
    "spike: power=3.125e+001 ra= 14.875 dec= -28.5 time=2451606.75 freq=1.418920000004e+009\n"
    "<ogt ncfft=8 cr=-1.5e+000 fl=131072>\n"
    "<ogh ncfft=64 cr=2.25 fl=2048>\n"
    "gaussian: peak=3.5 mean=0.5 ra=14.9031 dec=-28.5897 time=2451606.8 "
    "freq=1418915821.9072 sigma=4.25 chisqr=1.25 maxpow=9.5 "
    "pot=00102030405060708090A0B0C0D0E0F000102030405060708090A0B0C0D0E0F0"
    "00102030405060708090A0B0C0D0E0F000102030405060708090A0B0C0D0E0F0\n"
    "gaussian: peak=2 mean=0.25 ra=14.8777 dec=-28.5733 time=2451606.85836 "
    "freq=1418916000.37 chirprate=-0.75 sigma=3 chisqr=0.5 pot=FF80037\n"
    "<ogt ncfft=64 cr=2.25 fl=2048>\n";

}  // namespace

// The page of a result with signals, named after the work unit in the current directory, in
// a zone east of Greenwich and on summer time at the file's date, so the received time must
// come back to UTC through the standard offset. A result without signals, its name's markup
// escaped, to a page path given with a backslash, in a zone west of Greenwich.
TEST(QuilletTest, PagesMatchGolden) {
    struct Case {
        std::string result;
        std::int64_t modified;  // UTC seconds since 1970
        std::vector<std::string> args;
        const char* zone;
        const char* page;
        const char* golden;
    };
    const Case cases[] = {
        {SignalsResult,
         1083779859 /* 2004-05-05 17:57:39 */,
         {"result.sah"},
         "TZ=CET-1CEST,M3.5.0,M10.5.0/3",
         "03ja00ab.12345.6789.5.3.210.html",
         "signals.html"},
        {"name=21no04ab.2222.<i>&\"x\".7\ncpu=59.25\nstart_ra=0\nstart_dec=-0.5\n"
         "subband_number=-3\nend_seti_header\n"
         "<ogh ncfft=8 cr=0.0 fl=2048>\nspike:\n<ogt ncfft=8 cr=0.0 fl=2048>\n",
         946684805 /* 2000-01-01 00:00:05 */,
         {"result.sah", "pages\\nosignal.html"},
         "TZ=EST5",
         "pages/nosignal.html",
         "nosignals.html"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        TempDir dir;
        dir.write("result.sah", c.result);
        fs::create_directory(dir.path() / "pages");
        setModified(dir.file("result.sah"), c.modified);
        const RunResult r = runQuillet(dir, c.args, c.zone);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(dir.read(c.page), golden(c.golden));
    }
}

// Every refusal: the message on standard error, the usage text unless only the page failed,
// and no file written. Default page names from inside the file are checked (every unsafe name
// is in the SafeName tests); the same file with a page path of its own is fine. A result
// without a name is refused either way. A page that is written replaces an old one whole.
TEST(QuilletTest, RefusalsAndPagesWritten) {
    const std::string xml = std::string(SETI_REALDATA_DIR) + "/later_xml_result.sah";
    struct Case {
        const char* what;
        std::string content;  // of in.sah; "-" for no file
        std::vector<std::string> args;
        std::string err;
        bool usage;
        std::string page;  // the page the run writes, or "" for none
    };
    const auto named = [](const std::string& name) {
        return "name=" + name + "\nend_seti_header\n";
    };
    const std::string refused = "Illegal File: in.sah\n";
    std::vector<Case> cases = {
        {"no argument", "-", {}, "", true, ""},
        {"three arguments", "-", {"in.sah", "b.html", "c"}, "", true, ""},
        {"missing result",
         "-",
         {"client\\result.sah"},
         "File not found: client\\result.sah\n",
         true,
         ""},
        {"empty result", "", {"in.sah", "page.html"}, refused, true, ""},
        {"name ..", named(".."), {"in.sah"}, refused, true, ""},
        {"unsafe name, own page path",
         named("../evil"),
         {"in.sah", "page.html"},
         "",
         false,
         "page.html"},
        {"empty page path: named after the work unit",
         named("wu1"),
         {"in.sah", ""},
         "",
         false,
         "wu1.html"},
        {"page is a directory",
         named("wu1"),
         {"in.sah", "pages"},
         "Illegal File: pages\n",
         false,
         ""},
        {"page named as the result: the result stays",
         named("wu1"),
         {"in.sah", "sub/../in.sah"},
         "Illegal File: sub/../in.sah\n",
         false,
         ""},
        {"page in a missing directory",
         named("wu1"),
         {"in.sah", "missing\\page.html"},
         "Illegal File: missing\\page.html\n",
         false,
         ""},
    };
    if (fs::exists(xml)) {
        cases.push_back(
            {"later client's XML", "-", {xml}, "Illegal File: " + xml + "\n", true, ""});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        fs::create_directory(dir.path() / "pages");
        fs::create_directory(dir.path() / "sub");
        if (c.content != "-") dir.write("in.sah", c.content);
        if (!c.page.empty()) dir.write(c.page, std::string(20000, 'x'));
        const RunResult r = runQuillet(dir, c.args);
        if (c.content != "-") {
            EXPECT_EQ(dir.read("in.sah"), c.content);
        }
        EXPECT_EQ(r.status, testsupport::statusFor(c.err));
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, c.usage ? Usage : "");
        if (c.page.empty()) {
            EXPECT_EQ(entryCount(dir.path()), c.content == "-" ? 2 : 3);  // pages, sub, in.sah
            EXPECT_EQ(entryCount(dir.path() / "pages"), 0);
        } else {
            const std::string page = dir.read(c.page);
            EXPECT_LT(page.size(), 20000u);
            EXPECT_EQ(page.substr(page.size() - 9), "</HTML>\r\n");
        }
    }
}
