// End-to-end runs that run out of memory under a 64 MiB address-space limit: each program once
// ended with an uncaught std::bad_alloc (abort, exit status 134). Now it prints one line,
// "Out of Memory: " and the file it was reading, and changes no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/ExitStatus.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

const std::string Limit = "ulimit -v 65536";

using Files = std::map<std::string, std::string>;

// Every file under the directory with its bytes; large inputs by their size only.
Files filesUnder(const fs::path& root) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().lexically_relative(root).generic_string();
        files[name] = entry.file_size() > 100000 ? std::to_string(entry.file_size())
                                                 : testsupport::readBytes(entry.path());
    }
    return files;
}

// Empty when the programs run under the limit here; else why not (a sanitizer build or a
// runner such as Wine reserves more address space than the limit allows).
std::string limitRefused() {
    TempDir dir;
    dir.write("result.sah", "name=wu.small\nend_seti_header\n");
    const auto r = testsupport::run(testsupport::programPath("Quillet"), {"result.sah"}, dir.path(),
                                    "TZ=UTC", Limit);
    if (r.status == 0 && r.err.empty() && dir.exists("wu.small.html")) return "";
    return "a small run fails under '" + Limit + "' (status " + std::to_string(r.status) + ", " +
           r.err + ")";
}

}  // namespace

TEST(OutOfMemory, OneMessageAndNoFileChanged) {
    if (const std::string why = limitRefused(); !why.empty()) GTEST_SKIP() << why;
    // Inputs that need far more than 64 MiB once read: 200000 support data records of 15
    // bytes each (about 1 KiB each in the store), a result with a million spikes, and a result
    // file of 1 GiB (a sparse file: no disk space, one allocation of its size).
    std::string records;
    for (int i = 0; i < 200000; ++i) records += "!\rname=r" + std::to_string(1000000 + i) + "\r";
    std::string spikes = "name=wu.big\nend_seti_header\n";
    for (int i = 0; i < 1000000; ++i) spikes += "spike: power=" + std::to_string(i) + "\n";
    const std::string database = "!\rname=keep.me\rprog=0.5\r\r";
    struct Case {
        const char* what;
        std::string program;
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {"merge tool, a source",
         "Zarnik",
         {"-ss=in/records.txt"},
         "Reading File: ss_past_data.txt\nAppend SETI@Supprt Format File: in/records.txt\n"
         "Out of Memory: in/records.txt\n"},
        {"merge tool in WUInfo mode",
         "Korvath",
         {"in/ss_past_data.txt"},
         "Reading File: WUInfo.csv\nAppend SETI@Supprt Format File: in/ss_past_data.txt\n"
         "Out of Memory: in/ss_past_data.txt\n"},
        {"result page tool",
         "Quillet",
         {"in/spikes.sah", "page.html"},
         "Out of Memory: in/spikes.sah\n"},
        {"result archiver",
         "Brellow",
         {"in/huge.sah", "out", "-ss", "-html"},
         "Out of Memory: in/huge.sah\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        dir.write("in/records.txt", records);
        dir.write("in/ss_past_data.txt", records);
        dir.write("in/spikes.sah", spikes);
        dir.write("in/huge.sah", "");
        fs::resize_file(dir.file("in/huge.sah"), 1ull << 30);
        dir.write("ss_past_data.txt", database);
        dir.write("page.html", "old page");
        fs::create_directory(dir.file("out"));
        const Files before = filesUnder(dir.path());
        const auto r = testsupport::run(testsupport::programPath(c.program), c.args, dir.path(),
                                        "TZ=UTC", Limit);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(filesUnder(dir.path()), before);
        EXPECT_TRUE(fs::is_empty(dir.file("out")));
    }
}
