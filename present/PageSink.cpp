// Hands the result page on a block at a time.
#include "present/PageSink.h"

#include "platform/platform.h"

PageSink::PageSink(platform::ReplacingFile& file) : file_(&file) {
    // Room for a full block and the row that passes its end, so the buffer never grows.
    block_.reserve(BlockSize + 64 * 1024);
}

bool PageSink::flush() {
    if (file_ != nullptr && !block_.empty() && !failed_) failed_ = !file_->write(block_);
    block_.clear();
    return !failed_;
}

bool PageSink::write(std::string_view text) {
    if (bytes_ != nullptr) {
        bytes_->append(text);
        return true;
    }
    if (flush() && file_ != nullptr) failed_ = !file_->write(text);
    return !failed_;
}
