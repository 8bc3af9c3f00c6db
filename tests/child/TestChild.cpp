// The child process that tests start when a step must run in a process of its own: under a
// file-size limit, as another user, holding a lock, or in another time zone. Run in the
// directory the test prepared, with the mode as its one argument; it prints what it found on
// lines that begin with "child: ".
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "platform/platform.h"
#include "record/ATime.h"

namespace {

void say(bool ok) { std::printf("child: %s\n", ok ? "true" : "false"); }

// Takes the lock of data.txt, notes "child" in log.txt, and holds the lock until "done" exists.
void holdLock() {
    platform::FileLock lock;
    const bool held = lock.lock("data.txt");
    std::ofstream("log.txt", std::ios::app) << "child\n";
    while (!std::filesystem::exists("done"))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    say(held);
}

// Each file time's local text, read back as local time, as the UTC time it came from.
void fileTimesReadBack() {
    for (std::int64_t utc : {993988800LL, 978305400LL, 951782400LL}) {
        ATime time;
        time.parseLocal(ATime::fileTimeText(utc, platform::zoneOffsetSeconds()));
        std::printf("child: %04d-%02d-%02d %02d:%02d:%02d\n", time.year, time.month, time.day,
                    time.hour, time.minute, time.second);
    }
}

}  // namespace

int main(int argc, char** argv) {
    platform::startProgram();
    const std::string_view mode = argc == 2 ? argv[1] : "";
    if (mode == "ReplaceData") {
        say(platform::replaceFileContents("data.txt", std::string(100000, 'n')));
    } else if (mode == "AppendData") {
        say(platform::appendFileContents("data.txt", std::string(100000, 'a')));
    } else if (mode == "CopySource") {
        say(platform::copyFile("source.bin", "data.txt"));
    } else if (mode == "HoldLock") {
        holdLock();
    } else if (mode == "FileTimes") {
        fileTimesReadBack();
    } else {
        std::fprintf(stderr,
                     "usage: test_child ReplaceData|AppendData|CopySource|HoldLock|FileTimes\n");
        return 2;
    }
    return 0;
}
