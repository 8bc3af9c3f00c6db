// The rewrite of a whole database: every record of the store in the file's layout, streamed
// through the safe replace a block of about a megabyte at a time, so the file's bytes are
// never all in memory at once and a failure at any step keeps the old file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "record/WorkUnitList.h"

// `head` first, then append(block, record) for each record. False on any failure.
template <class AppendRecord>
bool writeStore(const std::string& path, const WorkUnitList& store, std::string_view head,
                std::size_t bytesPerRecord, AppendRecord append) {
    constexpr std::size_t BlockSize = std::size_t{1} << 20;
    platform::ReplacingFile out;
    if (!out.open(path)) return false;
    std::string block;
    block.reserve(BlockSize + bytesPerRecord);
    block += head;
    for (const WorkUnit& record : store) {
        append(block, record);
        if (block.size() >= BlockSize) {
            if (!out.write(block)) return false;
            block.clear();
        }
    }
    return out.write(block) && out.commit();
}
