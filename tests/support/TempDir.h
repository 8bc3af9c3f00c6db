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
// A program of this project built for Windows (see windowsPrograms) runs through the runner,
// and its console output comes back with CR LF line ends turned into LF.
// `setup` is shell text run first in the program's own subshell (like "ulimit -f 16").
// The status is the exit status as the shell reports it (128 + N after signal N), or -1 when
// the shell could not run the command at all.
RunResult run(const std::string& program, const std::vector<std::string>& args,
              const std::filesystem::path& cwd, const std::string& env = "TZ=UTC",
              const std::string& setup = "");

// Runs a command line as typed at a prompt in `cwd`, where it finds the programs: cmd /c
// through the runner for the Windows programs, else /bin/sh -c with `cwd` first on the PATH.
RunResult runTyped(const std::string& commandLine, const std::filesystem::path& cwd);

// A built program of this project: the program directory / name, with the executable suffix.
// The environment chooses which build is tested: SETI_PROGRAM_DIR (default: this build's bin
// directory), SETI_EXE_SUFFIX (".exe" for the Windows programs) and SETI_RUNNER (a command put
// before each run of them, such as "wine").
std::string programPath(const std::string& name);

// A test program of this build, run natively: SETI_BIN_DIR / name.
std::string testProgramPath(const std::string& name);

// The executable suffix of the programs under test ("" or ".exe").
std::string programSuffix();

// True when the programs under test are the Windows build (SETI_EXE_SUFFIX is ".exe").
bool windowsPrograms();

// Splits text into lines at "\n" (a final line without "\n" counts too).
std::vector<std::string> lines(const std::string& text);

}  // namespace testsupport
