// Where the result page goes as it is made: a file being replaced, or a string in memory.
#pragma once

#include <cstddef>
#include <string>

namespace platform {
class ReplacingFile;
}

// The page is appended to block() with "\n" line ends; once the block holds 64 KiB it is
// handed on with text-mode line ends ("\r\n"), so a page of any size holds little memory.
class PageSink {
public:
    explicit PageSink(platform::ReplacingFile& file) : file_(&file) {}
    explicit PageSink(std::string& bytes) : bytes_(&bytes) {}

    std::string& block() { return block_; }
    // Called after whole lines: hands the block on when it is full.
    void lineDone() {
        if (block_.size() >= BlockSize) flush();
    }
    // Hands on what the block holds. False once a write to the file has failed.
    bool flush();

private:
    static constexpr std::size_t BlockSize = 64 * 1024;

    platform::ReplacingFile* file_ = nullptr;
    std::string* bytes_ = nullptr;
    std::string block_;
    bool failed_ = false;
};
