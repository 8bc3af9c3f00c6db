// The rewrite of a whole database: every record of the store in the file's layout, streamed
// through the safe replace a batch of about a megabyte at a time, so the file's bytes are
// never all in memory at once and a failure at any step keeps the old file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "record/Batches.h"
#include "record/WorkUnitList.h"

// `head` first, then append(text, record) for each record. False on any failure.
// Formatting a record takes far longer than writing its bytes, so the batches are formatted
// on two threads and written in their order: the file's bytes are the same as from one.
template <class AppendRecord>
bool writeStore(const std::string& path, const WorkUnitList& store, std::string_view head,
                std::size_t bytesPerRecord, AppendRecord append) {
    constexpr std::size_t BatchBytes = std::size_t{1} << 20;
    const std::size_t perBatch = bytesPerRecord < BatchBytes ? BatchBytes / bytesPerRecord : 1;
    platform::ReplacingFile out;
    if (!out.open(path) || !out.write(head)) return false;
    auto format = [&store, &append, perBatch, bytesPerRecord](std::string& text,
                                                              std::size_t batch) {
        text.reserve(BatchBytes + bytesPerRecord);
        const std::size_t end = std::min(store.size(), (batch + 1) * perBatch);
        for (std::size_t i = batch * perBatch; i < end; ++i) append(text, store[i]);
    };
    const std::size_t batches = (store.size() + perBatch - 1) / perBatch;
    return writeInBatches(batches, format,
                          [&out](std::string_view text) { return out.write(text); }) &&
           out.commit();
}
