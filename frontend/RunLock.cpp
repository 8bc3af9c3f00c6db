// The data file lock as the programs take it.
#include "frontend/RunLock.h"

#include "frontend/Console.h"

bool lockForRun(platform::FileLock& lock, const std::string& path) {
    return lock.lock(path, [](const std::string& lockPath) {
        printMessage("Waiting for Another Run: ", lockPath);
    });
}
