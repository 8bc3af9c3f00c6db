// Reading a large file on two threads: this thread cuts the text into batches of whole
// records and hands the records on in file order, and each batch is parsed here or on a
// second thread. Every batch is parsed on its own, so the records are the same as from one
// reader reading the whole file.
#pragma once

#include <new>
#include <system_error>
#include <thread>

#include "formats/StoreWriter.h"

// `fill(batch)` takes the next batch of text from the file, false when none is left;
// `parse(batch)` turns a batch into records and may run on either thread; `take(batch)` hands
// its records on. fill and take run on this thread, in file order.
template <class Batch, class Fill, class Parse, class Take>
void readInBatches(Fill fill, Parse parse, Take take) {
    Batch beside;  // parsed on the second thread
    Batch here;    // the batch after it, parsed on this one
    bool outOfMemory = false;
    detail::JoinedThread worker;  // made after the batches, so joined before they go
    auto parseBeside = [&] {
        try {
            parse(beside);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    };
    auto startBeside = [&] {
        try {
            worker.thread = std::thread(parseBeside);
        } catch (const std::system_error&) {
            parse(beside);  // no second thread to be had: parsed here instead
        }
    };

    if (!fill(beside)) return;
    startBeside();
    for (;;) {
        const bool more = fill(here);
        if (more) parse(here);
        worker.join();
        if (outOfMemory) throw std::bad_alloc();
        take(beside);
        if (!more) return;
        // The next pair starts on the second thread before this batch is handed on.
        const bool next = fill(beside);
        if (next) startBeside();
        take(here);
        if (!next) return;
    }
}
