// The check, shared by the POSIX and the Windows platform tests, that a second lock of a held
// data file tells its caller once before it waits, and is had once the first is released.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace testsupport {

inline std::vector<std::string> waitedOn;
inline void noteWait(const std::string& lockPath) { waitedOn.push_back(lockPath); }

inline void expectWaitToldOnceBeforeItWaits(const std::string& data) {
    waitedOn.clear();
    platform::FileLock first;
    ASSERT_TRUE(first.lock(data, noteWait));
    EXPECT_EQ(waitedOn, std::vector<std::string>{});  // free: no wait
    std::atomic<bool> held{false};
    std::thread second([&] {
        platform::FileLock lock;
        held = lock.lock(data, noteWait);
    });
    for (int i = 0; i < 500 && waitedOn.empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(held);
    first.release();
    second.join();
    EXPECT_TRUE(held);
    EXPECT_EQ(waitedOn, std::vector<std::string>{data + ".lock"});
}

}  // namespace testsupport
