// End-to-end tests of Brellow: the built program runs in a temporary directory, and its exit
// status, standard output, every standard-error line and every file it leaves are compared
// byte for byte with expectations written by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/ExitStatus.h"
#include "e2e/SupportRecord.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// The finished result of the hand-written page golden/nosignals.html, last written 2000-01-01
// 00:00:05 UTC. The golden page's name holds < > and ", which no name of an archived file may
// hold: the cases run with other names put in its place.
const std::string MarkupName = "21no04ab.2222.<i>&\"x\".7";
const std::string EscapedMarkupName = "21no04ab.2222.&lt;i&gt;&amp;&quot;x&quot;.7";
const std::string Name = "21no04ab.2222.i.x.7";

std::string resultFile(const std::string& nameLine = "name=" + Name) {
    return nameLine +
           "\ncpu=59.25\nstart_ra=0\nstart_dec=-0.5\nsubband_number=-3\nend_seti_header\n"
           "<ogh ncfft=8 cr=0.0 fl=2048>\nspike:\n<ogt ncfft=8 cr=0.0 fl=2048>\n";
}
constexpr long long ResultTime = 946684805;

// The golden page, for a work unit whose name the page prints as `printed`.
std::string pageFor(const std::string& printed) {
    std::string page =
        testsupport::readBytes(fs::path(SETI_SOURCE_DIR) / "tests/e2e/golden/nosignals.html");
    for (std::size_t at = page.find(EscapedMarkupName); at != std::string::npos;
         at = page.find(EscapedMarkupName, at + printed.size())) {
        page.replace(at, EscapedMarkupName.size(), printed);
    }
    return page;
}

std::string supportFor(const std::string& name) {
    return testsupport::supportRecord({{"name", name},
                                       {"start_dec", "-0.500000"},
                                       {"prog", "1.000000"},
                                       {"cpu", "59.250000"},
                                       {"started_time", "01/01/2000:00:00:05"}});
}

const std::string Page = pageFor(Name);
const std::string Support = supportFor(Name);
const std::string Copy = Name + ".result";

const std::string Usage =
    "Brellow.exe for Win32\n"
    "Version 1.00  Copyright (C) 2026 the authors\n"
    "Usage: Brellow.exe <result.sah path> <Dist. Directry> [-<opt>[=path]]\n"
    "         -ss: SETI@Support Data Path  ex) -ss=..\\ss_past_data.txt\n"
    "       -html: Export File (HTML)      ex) -html=result.html\n"
    "\n";

using Files = std::map<std::string, std::string>;

// Every regular file under the directory, by its relative path, with its bytes.
Files filesUnder(const fs::path& root) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(root).generic_string()] =
                testsupport::readBytes(entry.path());
    }
    return files;
}

struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string err;         // standard error, every line
    bool usage;              // standard output holds the usage text (else nothing)
    Files written;           // files the run adds or changes
    Files before = {};       // files beside in/result.sah and out/ before the run
    std::string setup = "";  // shell text run first (see testsupport::run)
    std::string result = resultFile();
};

// Runs each case in a fresh directory with the result at in/result.sah (last written at
// ResultTime) and an empty directory out/, and compares every file left under it, and the
// copy's time with the result's.
void runCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        dir.write("in/result.sah", c.result);
        const auto arrival = std::chrono::sys_seconds(std::chrono::seconds(ResultTime));
        fs::last_write_time(dir.file("in/result.sah"), std::chrono::file_clock::from_sys(arrival));
        fs::create_directory(dir.file("out"));
        for (const auto& [path, bytes] : c.before) dir.write(path, bytes);
        const auto r = testsupport::run(testsupport::programPath("Brellow"), c.args, dir.path(),
                                        "TZ=UTC", c.setup);
        EXPECT_EQ(r.status, testsupport::statusFor(c.err));
        EXPECT_EQ(r.out, c.usage ? Usage : "");
        EXPECT_EQ(r.err, c.err);
        Files expected = c.before;
        expected["in/result.sah"] = c.result;
        for (const auto& [path, bytes] : c.written) expected[path] = bytes;
        EXPECT_EQ(filesUnder(dir.path()), expected);
        // The copy keeps the result's time.
        for (const auto& [path, bytes] : c.written) {
            if (path.ends_with(".result") && dir.exists(path)) {
                EXPECT_EQ(fs::last_write_time(dir.path() / path),
                          fs::last_write_time(dir.path() / "in/result.sah"))
                    << path;
            }
        }
    }
}

TEST(BrellowTest, RefusalsPrintTheUsageAndWriteNothing) {
    runCases({
        {"no argument", {}, "", true, {}},
        {"one argument", {"in/result.sah"}, "", true, {}},
        {"one plain argument", {"in/result.sah", "-ss"}, "Too Few Parameter\n", true, {}},
        {"three plain arguments",
         {"in/result.sah", "out", "extra", "-ss"},
         "Too Many Parameter: extra\n",
         true,
         {}},
        {"-i4wu is not allowed",
         {"in/result.sah", "out", "-i4wu=x"},
         "Illegal Option: -i4wu=x\n",
         true,
         {}},
        {"the first error ends the run",
         {"-bogus", "a", "b", "c", "-x"},
         "Illegal Option: -bogus\n",
         true,
         {}},
        {"missing result file",
         {"in/none.sah", "out", "-ss", "-html"},
         "File not found: in/none.sah\n",
         true,
         {}},
        {"a directory is no result file", {"in", "out", "-ss"}, "File not found: in\n", true, {}},
        // The work-unit name comes from inside the file and becomes part of every path written.
        {"no work-unit name",
         {"in/result.sah", "out", "-ss", "-html"},
         "Illegal File: in/result.sah\n",
         true,
         {},
         {},
         "",
         resultFile("version=3")},
        {"name \"..\"",
         {"in/result.sah", "out", "-ss", "-html"},
         "Illegal File: in/result.sah\n",
         true,
         {},
         {},
         "",
         resultFile("name=..")},
        {"name with a slash",
         {"in/result.sah", "out", "-ss", "-html"},
         "Illegal File: in/result.sah\n",
         true,
         {},
         {},
         "",
         resultFile("name=../escaped")},
    });
}

TEST(BrellowTest, CopiesAndWritesOnRequest) {
    const Files copy = {{"out/" + Copy, resultFile()}};
    auto with = [&copy](Files more) {
        more.insert(copy.begin(), copy.end());
        return more;
    };
    const std::string old = "!\rname=older.wu\rprog=1.000000\r\r";
    runCases({
        {"directory without separator", {"in/result.sah", "out"}, "", false, copy},
        {"page named as the result: the result and its copy stay",
         {"in/result.sah", "out", "-html=in/../in/result.sah"},
         "Illegal File: in/../in/result.sah\n",
         false,
         copy},
        {"directory with backslash", {"in/result.sah", "out\\"}, "", false, copy},
        {"directory with slash", {"in/result.sah", "out/"}, "", false, copy},
        {"empty directory means the current one",
         {"in/result.sah", ""},
         "",
         false,
         {{Copy, resultFile()}}},
        {"missing directory: the copy fails and the run goes on",
         {"in/result.sah", "nodir", "-ss"},
         "Illegal File: nodir\\" + Copy + "\n",
         false,
         {{"ss_past_data.txt", Support}}},
        {"missing directory with slash",
         {"in/result.sah", "nodir/"},
         "Illegal File: nodir/" + Copy + "\n",
         false,
         {}},
        {"-ss and -html without values, before the plain arguments",
         {"-ss", "-html", "in/result.sah", "out"},
         "",
         false,
         with({{"ss_past_data.txt", Support}, {Name + ".html", Page}})},
        {"-ss and -html with values",
         {"in/result.sah", "out", "-ss=out/s.txt", "-html=p.html"},
         "",
         false,
         with({{"out/s.txt", Support}, {"p.html", Page}})},
        {"-sh shares a bit with -html",
         {"in/result.sah", "out", "-sh=anything"},
         "",
         false,
         with({{Name + ".html", Page}})},
        {"page that cannot be written",
         {"in/result.sah", "out", "-html=nodir/p.html", "-ss"},
         "Illegal File: nodir/p.html\n",
         false,
         with({{"ss_past_data.txt", Support}})},
        {"support file that cannot be written",
         {"in/result.sah", "out", "-html", "-ss=nodir/s"},
         "Illegal File: nodir/s\n",
         false,
         with({{Name + ".html", Page}})},
        {"an old copy is replaced, old records are kept",
         {"in/result.sah", "out", "-ss"},
         "",
         false,
         with({{"ss_past_data.txt", old + Support}}),
         {{"out/" + Copy, "stale copy"}, {"ss_past_data.txt", old}}},
        // The disk fills in the middle of the copy: the copy archived before stays whole.
        {"disk full during the copy",
         {"in/result.sah", "out"},
         "Illegal File: out\\" + Copy + "\n",
         false,
         {},
         {{"out/" + Copy, "stale copy"}},
         "ulimit -f 2 && trap '' XFSZ",
         resultFile("pad=" + std::string(2000, 'p') + "\nname=" + Name)},
        // The disk fills in the middle of the appended record: the part that got written is
        // cut off again and the run says so.
        {"disk full during the append",
         {"in/result.sah", "out", "-ss"},
         "Illegal File: ss_past_data.txt\n",
         false,
         copy,
         {{"ss_past_data.txt", std::string(1000, '\r')}},
         "ulimit -f 2 && trap '' XFSZ"},
    });
}

TEST(BrellowTest, FileSizeLimitWithItsSignalAtTheDefault) {
    // The signal of the file-size limit once ended the run in the middle of the append, before
    // the cut-back, and left a torn record; the write now fails and the record is cut off.
    if (testsupport::windowsPrograms())
        GTEST_SKIP() << "the file-size signal is POSIX: under Wine it ends Wine's own process";
    runCases({{"disk full during the append",
               {"in/result.sah", "out", "-ss"},
               "Illegal File: ss_past_data.txt\n",
               false,
               {{"out/" + Copy, resultFile()}},
               {{"ss_past_data.txt", std::string(1000, '\r')}},
               "ulimit -f 2"}});
}

TEST(BrellowTest, ALongWorkUnitNameGetsItsCopyAndItsPage) {
    // A name of 248 bytes makes a copy name of 255 bytes, the most a bare name can hold. The
    // temporary files "<copy>.tmp~" and "<page>.tmp~" once passed that limit, and neither the
    // copy nor the page could be written.
    if (testsupport::windowsPrograms())
        GTEST_SKIP() << "the Windows programs' paths end at 259 characters: no room for the name";
    const std::string name = "21no04ab.2222." + std::string(234, 'x');
    ASSERT_EQ(name.size(), 248u);
    const std::string result = resultFile("name=" + name);
    runCases({{"a 248-byte name",
               {"in/result.sah", "out", "-html", "-ss"},
               "",
               false,
               {{"out/" + name + ".result", result},
                {name + ".html", pageFor(name)},
                {"ss_past_data.txt", supportFor(name)}},
               {},
               "",
               result}});
}

TEST(BrellowTest, MarkupInTheNameIsEscapedOnThePageOnly) {
    // A name with & and ' is a file name on every OS: the copy, the default page name and the
    // support record carry its bytes as they are, the page escapes them.
    const std::string name = "21no04ab.2222.&'x'.7";
    const std::string result = resultFile("name=" + name);
    runCases({{"markup in the name",
               {"in/result.sah", "out", "-ss", "-html"},
               "",
               false,
               {{"out/" + name + ".result", result},
                {name + ".html", pageFor("21no04ab.2222.&amp;'x'.7")},
                {"ss_past_data.txt", supportFor(name)}},
               {},
               "",
               result}});
}

TEST(BrellowTest, NamesNoOsCanStoreAreRefusedEverywhere) {
    // The same result archives alike on every OS: a name Windows cannot store as a plain file
    // (a character it refuses, a device before the first dot) is refused on Linux too.
    const std::vector<std::string> names = {MarkupName, "NUL", "con.x.y", "Lpt3",
                                            "a|b",      "a?b", "a*b"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        runCases({{"refused name",
                   {"in/result.sah", "out", "-ss", "-html"},
                   "Illegal File: in/result.sah\n",
                   true,
                   {},
                   {},
                   "",
                   resultFile("name=" + name)}});
    }
}

}  // namespace
