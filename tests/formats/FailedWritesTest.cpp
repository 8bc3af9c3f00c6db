// Every writer of formats/ under a failure at each step of its writing: it reports the
// failure, the old file keeps every byte, and nothing is left beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "platform/WriteFaults.h"
#include "platform/platform.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(FailedWrites, KeepTheOldFile) {
    WorkUnit record;
    record.name = "new.unit";
    WorkUnitList store;
    store.add(record);
    struct Case {
        const char* what;
        std::function<bool(const std::string&)> write;
    };
    const std::vector<Case> cases = {
        {"support data export",
         [&store](const std::string& path) { return SSExport::exportAll(path, store); }},
        {"support data append",
         [&record](const std::string& path) { return SSExport::appendRecord(path, record); }},
        {"WUInfo.csv", [&store](const std::string& path) { return writeWuInfo(store, path); }},
    };
    const std::string old = "!\rname=keep.me\rprog=0.9\r\r";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        // The n-th call of the write seam fails, for n = 1, 2, ... until the write succeeds.
        int failures = 0;
        for (int n = 1; n <= 50; ++n) {
            SCOPED_TRACE("failing seam call " + std::to_string(n));
            dir.write("target", old);
            platform::failWriteCallAfter(n);
            const bool ok = c.write(dir.file("target"));
            platform::failWriteCallAfter(0);
            if (ok) {
                EXPECT_NE(dir.read("target"), old);
                break;
            }
            ++failures;
            EXPECT_EQ(dir.read("target"), old);
            EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"target"});
        }
        // At least open and write failed before the run that succeeded.
        EXPECT_GE(failures, 2);
        EXPECT_LT(failures, 50);
        EXPECT_FALSE(c.write(dir.file("missing/target")));
        EXPECT_FALSE(dir.exists("missing"));
    }
}

}  // namespace
