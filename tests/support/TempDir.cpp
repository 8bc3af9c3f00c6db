// Test helpers: temporary directories, file bytes and running built programs.
#include "support/TempDir.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (;;) {
        fs::path p = fs::temp_directory_path() /
                     ("seti-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p;
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only directories behind; make them writable before removing.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& relative) const { return (path_ / relative).string(); }

void TempDir::write(const std::string& relative, const std::string& bytes) const {
    fs::path p = path_ / relative;
    fs::create_directories(p.parent_path());
    writeBytes(p, bytes);
}

std::string TempDir::read(const std::string& relative) const { return readBytes(path_ / relative); }

bool TempDir::exists(const std::string& relative) const { return fs::exists(path_ / relative); }

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

static std::string quote(const std::string& s) {
    std::string q(1, '\'');
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    q += '\'';
    return q;
}

namespace {

std::string environment(const char* name, const std::string& fallback = "") {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : fallback;
}

bool endsWith(const std::string& text, const std::string& end) {
    return !end.empty() && text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Console text as the Windows C runtime writes it in text mode has CR LF line ends.
std::string withUnixLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace

RunResult run(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd,
              const std::string& env, const std::string& setup) {
    TempDir capture;
    // The shell itself writes the exit status to a file, so nothing here depends on how the
    // C library encodes the value std::system returns.
    std::string cmd = "(cd ";
    cmd += quote(cwd.string());
    if (!setup.empty()) {
        cmd += " && ";
        cmd += setup;
    }
    cmd += " && env ";
    cmd += env;
    cmd += ' ';
    const std::string runner = environment("SETI_RUNNER");
    const bool windows =
        windowsPrograms() && (endsWith(program, programSuffix()) || program == runner);
    if (windows && !runner.empty() && program != runner) {
        cmd += runner;
        cmd += ' ';
    }
    cmd += quote(program);
    for (const auto& a : args) {
        cmd += ' ';
        cmd += quote(a);
    }
    cmd += " </dev/null >";
    cmd += quote(capture.file("out"));
    cmd += " 2>";
    cmd += quote(capture.file("err"));
    cmd += "); echo $? >";
    cmd += quote(capture.file("status"));
    RunResult r;
    if (std::system(cmd.c_str()) != -1) {
        const std::string status = capture.read("status");
        int value = 0;
        const auto [end, error] =
            std::from_chars(status.data(), status.data() + status.size(), value);
        if (error == std::errc() && end != status.data()) r.status = value;
    }
    r.out = capture.read("out");
    r.err = capture.read("err");
    if (windows) {
        r.out = withUnixLineEnds(r.out);
        r.err = withUnixLineEnds(r.err);
    }
    return r;
}

RunResult runTyped(const std::string& commandLine, const fs::path& cwd) {
    if (windowsPrograms()) return run(environment("SETI_RUNNER"), {"cmd", "/c", commandLine}, cwd);
    return run("/bin/sh", {"-c", commandLine}, cwd,
               "TZ=UTC PATH=" + quote(cwd.string()) + ":\"$PATH\"");
}

std::string testProgramPath(const std::string& name) {
    return std::string(SETI_BIN_DIR) + "/" + name;
}

std::string programSuffix() { return environment("SETI_EXE_SUFFIX"); }

bool windowsPrograms() { return programSuffix() == ".exe"; }

std::string programPath(const std::string& name) {
    return environment("SETI_PROGRAM_DIR", SETI_BIN_DIR) + "/" + name + programSuffix();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            out.push_back(text.substr(start));
            break;
        }
        out.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

}  // namespace testsupport
