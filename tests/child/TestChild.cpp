// The child process that tests start when a step must run in a process of its own: under a
// file-size limit, as another user, holding a lock, writing one file with others at once, or in
// another time zone. Run in the directory the test prepared, with the mode as its argument (and
// for HoldLock the file to lock); it prints what it found on lines that begin with "child: ".
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <thread>

#include "platform/platform.h"
#include "record/ATime.h"
#include "tests/platform/ReplaceWhole.h"

namespace {

void say(bool ok) { std::printf("child: %s\n", ok ? "true" : "false"); }

void waitFor(const char* file) {
    while (!std::filesystem::exists(file))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Takes the lock of `path`, notes "child" in log.txt, and holds the lock until "done" exists.
void holdLock(const std::string& path) {
    platform::FileLock lock;
    const bool held = lock.lock(path);
    std::ofstream("log.txt", std::ios::app) << "child\n";
    waitFor("done");
    say(held);
}

// One run's whole output for data.txt: its own line over and over, 300000 bytes, more than
// one block of the safe replace, so a run is still writing while others begin.
constexpr std::size_t OutputSize = 300000;

std::string outputOf(const std::string& line) {
    std::string bytes;
    while (bytes.size() < OutputSize) bytes += line;
    bytes.resize(OutputSize);
    return bytes;
}

// Replaces data.txt with this run's own output, round after round, while other runs do the
// same: true when every replace reported success.
void replaceRounds() {
    const std::string output = outputOf("run " + std::to_string(std::random_device{}()) + "\n");
    bool all = true;
    for (int round = 0; round < 25; ++round)
        all = testsupport::replaceFileContents("data.txt", output) && all;
    say(all);
}

// Reads data.txt again and again until "done" exists, and once more after: true when every
// reading was one run's whole output (the first line of a reading tells whose).
void watchData() {
    int readings = 0;
    bool whole = true;
    for (bool last = false; !last;) {
        last = std::filesystem::exists("done");
        std::string bytes;
        if (!platform::readFile("data.txt", bytes)) continue;
        ++readings;
        const std::size_t lineEnd = bytes.find('\n');
        whole = whole && lineEnd != std::string::npos &&
                bytes == outputOf(bytes.substr(0, lineEnd + 1));
    }
    say(whole && readings > 0);
}

// Writes part of a new data.txt, makes "ready", and waits for "done" (or to be killed); given
// up, the replace removes its temporary file.
void holdTemporary() {
    platform::ReplacingFile out;
    const bool open = out.open("data.txt") && out.write("part of a new data.txt");
    std::ofstream("ready").flush();
    waitFor("done");
    say(open);
}

// Takes and releases the lock of data.txt round after round while other runs do the same, and
// checks each time it holds it that the lock file is there and that no other run holds it:
// "holder" is made exclusively while the lock is held and removed before it is released, and
// "count" gains one each time.
void lockRounds() {
    bool alone = true;
    for (int round = 0; round < 150; ++round) {
        platform::FileLock lock;
        if (!lock.lock("data.txt")) {
            alone = false;
            break;
        }
        alone = std::filesystem::exists("data.txt.lock") && alone;
        std::FILE* holder = std::fopen("holder", "wx");
        alone = holder != nullptr && alone;
        if (holder != nullptr) std::fclose(holder);
        long count = 0;
        if (std::FILE* in = std::fopen("count", "r")) {
            if (std::fscanf(in, "%ld", &count) != 1) count = 0;
            std::fclose(in);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::ofstream("count", std::ios::trunc) << count + 1 << "\n";
        alone = std::filesystem::exists("data.txt.lock") && alone;
        if (holder != nullptr) std::filesystem::remove("holder");
    }
    say(alone);
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
    const std::string_view mode = argc >= 2 ? argv[1] : "";
    if (mode == "ReplaceData") {
        say(testsupport::replaceFileContents("data.txt", std::string(100000, 'n')));
    } else if (mode == "AppendData") {
        say(platform::appendFileContents("data.txt", std::string(100000, 'a')));
    } else if (mode == "CopySource") {
        say(platform::copyFile("source.bin", "data.txt"));
    } else if (mode == "HoldLock") {
        holdLock(argc >= 3 ? argv[2] : "data.txt");
    } else if (mode == "ReplaceRounds") {
        replaceRounds();
    } else if (mode == "WatchData") {
        watchData();
    } else if (mode == "HoldTemporary") {
        holdTemporary();
    } else if (mode == "LockRounds") {
        lockRounds();
    } else if (mode == "FileTimes") {
        fileTimesReadBack();
    } else {
        std::fprintf(stderr,
                     "usage: test_child ReplaceData|AppendData|CopySource|HoldLock [FILE]|"
                     "ReplaceRounds|WatchData|HoldTemporary|LockRounds|FileTimes\n");
        return 2;
    }
    return 0;
}
