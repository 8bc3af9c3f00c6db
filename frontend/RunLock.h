// The data file lock as the programs take it: a run that finds another holding it says so
// before it waits.
#pragma once

#include <string>

#include "platform/platform.h"

// Takes `lock` on the data file `path` (see platform::FileLock::lock). When another run holds
// it, prints "Waiting for Another Run: " and the lock file's path first, then waits.
bool lockForRun(platform::FileLock& lock, const std::string& path);
