// The rewrite of a whole database: every record of the store in the file's layout, streamed
// through the safe replace a batch of about a megabyte at a time, so the file's bytes are
// never all in memory at once and a failure at any step keeps the old file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "record/WorkUnitList.h"

namespace detail {

// A second thread that is always joined, also when the caller's frame unwinds.
struct JoinedThread {
    std::thread thread;
    JoinedThread() = default;
    JoinedThread(const JoinedThread&) = delete;
    JoinedThread& operator=(const JoinedThread&) = delete;
    ~JoinedThread() { join(); }
    void join() {
        if (thread.joinable()) thread.join();
    }
};

}  // namespace detail

// `head` first, then append(text, record) for each record. False on any failure.
// Formatting a record takes far longer than writing its bytes, so the batches are formatted
// on two threads, the even ones here and the odd ones beside, and written in their order:
// the file's bytes are the same as from one thread. A batch the second thread could not
// format for want of memory ends the run as it would on this one.
template <class AppendRecord>
bool writeStore(const std::string& path, const WorkUnitList& store, std::string_view head,
                std::size_t bytesPerRecord, AppendRecord append) {
    constexpr std::size_t BatchBytes = std::size_t{1} << 20;
    const std::size_t perBatch = bytesPerRecord < BatchBytes ? BatchBytes / bytesPerRecord : 1;
    const std::size_t batches = (store.size() + perBatch - 1) / perBatch;
    platform::ReplacingFile out;
    if (!out.open(path)) return false;

    bool outOfMemory = false;  // set by the second thread, read after it is joined
    auto format = [&store, &append, perBatch](std::string& text, std::size_t batch) {
        text.clear();
        const std::size_t end = std::min(store.size(), (batch + 1) * perBatch);
        for (std::size_t i = batch * perBatch; i < end; ++i) append(text, store[i]);
    };
    auto formatBeside = [&format, &outOfMemory](std::string& text, std::size_t batch) {
        try {
            format(text, batch);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    };
    // Made before the thread, so they outlive it however the frame ends.
    std::string even;
    std::string odd[2];  // the one being written, the one being formatted
    even.reserve(BatchBytes + bytesPerRecord + head.size());
    for (std::string& text : odd) text.reserve(BatchBytes + bytesPerRecord);
    detail::JoinedThread beside;
    // Where no thread can be started the batch is formatted here and now.
    auto startBeside = [&](std::string& text, std::size_t batch) {
        try {
            beside.thread = std::thread(formatBeside, std::ref(text), batch);
        } catch (const std::system_error&) {
            format(text, batch);
        }
    };

    if (batches > 1) startBeside(odd[0], 1);
    bool written = true;
    for (std::size_t batch = 0; batch < batches || batch == 0; batch += 2) {
        format(even, batch);
        if (batch == 0) even.insert(0, head);
        written = written && out.write(even);
        if (batch + 1 >= batches) break;
        beside.join();
        if (outOfMemory) throw std::bad_alloc();
        std::string& done = odd[(batch / 2) % 2];
        if (batch + 3 < batches && written) startBeside(odd[(batch / 2 + 1) % 2], batch + 3);
        written = written && out.write(done);
        if (!written) break;
    }
    return written && out.commit();
}
