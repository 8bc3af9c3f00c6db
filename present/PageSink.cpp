// Hands the result page on a block at a time, in text mode.
#include "present/PageSink.h"

#include "platform/platform.h"

bool PageSink::flush() {
    if (!block_.empty() && !failed_) {
        // Each "\n" becomes "\r\n" by itself, so block by block gives the whole page's bytes.
        const std::string bytes = platform::textModeBytes(block_);
        if (bytes_ != nullptr)
            bytes_->append(bytes);
        else if (file_ != nullptr)
            failed_ = !file_->write(bytes);
    }
    block_.clear();
    return !failed_;
}
