// Where the result page goes as it is made: a file being replaced, or a string in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

// The page is appended to block() with text-mode line ends ("\r\n") already in place. For a
// file, the block is handed on once it holds BlockSize bytes: a block that size goes to the file
// without another copy, and the one buffer is reused, so a page of any size holds little
// memory. In memory, block() is the string itself.
class PageSink {
public:
    explicit PageSink(platform::ReplacingFile& file);
    explicit PageSink(std::string& bytes) : bytes_(&bytes) {}

    std::string& block() { return bytes_ != nullptr ? *bytes_ : block_; }
    // Called after whole lines: hands the block on when it is full.
    void lineDone() {
        if (file_ != nullptr && block_.size() >= BlockSize) flush();
    }
    // Hands on what the block holds. False once a write to the file has failed.
    bool flush();
    // Hands on what the block holds, then `text`, without copying it into the block.
    bool write(std::string_view text);

    // The block the safe replace writes in: a smaller one would be copied into the file's block
    // before it is written.
    static constexpr std::size_t BlockSize = platform::ReplacingFile::BlockSize;

private:
    platform::ReplacingFile* file_ = nullptr;
    std::string* bytes_ = nullptr;
    std::string block_;
    bool failed_ = false;
};
