// Test helpers: a scoped temporary directory, whole-file read and write, and running a built
// program with its output captured. The tests are built on Linux only (see tests/CMakeLists.txt):
// programs run through /bin/sh.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / relative, as a string.
    std::string file(const std::string& relative) const;
    // Writes bytes as they are, creating parent directories.
    void write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

std::string readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::string& bytes);

struct RunResult {
    int status = -1;  // exit status
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `program` (a path) with `args` in directory `cwd` through the POSIX shell, with each
// argument single-quoted, and `env` (like "TZ=UTC") set for it. Standard input is empty.
// `setup` is shell text run first in the program's own subshell (like "ulimit -f 16").
// The status is the exit status as the shell reports it (128 + N after signal N), or -1 when
// the shell could not run the command at all.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const std::filesystem::path& cwd, const std::string& env = "TZ=UTC",
              const std::string& setup = "");

// A built program of this project: SETI_BIN_DIR / name.
std::string programPath(const std::string& name);

// Splits text into lines at "\n" (a final line without "\n" counts too).
std::vector<std::string> lines(const std::string& text);

}  // namespace testsupport
