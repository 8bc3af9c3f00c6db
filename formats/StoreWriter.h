// The rewrite of a whole database: every record of the store in the file's layout, streamed
// through the safe replace a batch of about a megabyte at a time, so the file's bytes are
// never all in memory at once and a failure at any step keeps the old file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "store/Batches.h"
#include "store/WorkUnitList.h"

// Batches of about a megabyte: more than a block of the safe replace (256 KiB), so each goes
// to the file without another copy.
inline constexpr BatchSize StoreBatch = BatchSize(std::size_t{1} << 20);
static_assert(StoreBatch.bytes() >= platform::ReplacingFile::BlockSize);

// append(text, record) for each record of the store, in store order, handed to
// write(std::string_view) in batches of as many records as `batch` bytes hold at
// `bytesPerRecord` each (one at least). Formatting a record takes far longer than writing its
// bytes, so the batches are formatted on two threads and written in their order: the bytes
// are the same as from one. False when a write failed, which ends it.
template <class AppendRecord, class Write>
bool writeRecordsInBatches(const WorkUnitList& store, std::size_t bytesPerRecord,
                           AppendRecord append, Write write, BatchSize batch = StoreBatch) {
    const std::size_t perBatch = std::max<std::size_t>(batch.bytes() / bytesPerRecord, 1);
    const std::size_t reserved = batch.bytes() + bytesPerRecord;
    auto format = [&store, &append, perBatch, reserved](std::string& text, std::size_t number) {
        text.reserve(reserved);
        const std::size_t end = std::min(store.size(), (number + 1) * perBatch);
        for (std::size_t i = number * perBatch; i < end; ++i) append(text, store[i]);
    };
    return writeInBatches((store.size() + perBatch - 1) / perBatch, format, write);
}

// `head` first, then append(text, record) for each record, as writeRecordsInBatches hands
// them on. False on any failure.
template <class AppendRecord>
bool writeStore(const std::string& path, const WorkUnitList& store, std::string_view head,
                std::size_t bytesPerRecord, AppendRecord append, BatchSize batch = StoreBatch) {
    platform::ReplacingFile out;
    if (!out.open(path) || !out.write(head)) return false;
    return writeRecordsInBatches(
               store, bytesPerRecord, append,
               [&out](std::string_view text) { return out.write(text); }, batch) &&
           out.commit();
}
