// Work on two threads whose result is the same as from one: a file read or written in
// batches, each batch parsed or formatted on its own, here or on a second thread, and the
// batches handed on in their order.
#pragma once

#include <cstddef>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

// How many bytes of text a batch holds, at least one. The programs keep the size each reader
// and writer is made for; tests and fuzzers give a few bytes, so that a short input is cut
// into many batches.
class BatchSize {
public:
    constexpr explicit BatchSize(std::size_t bytes) : bytes_(bytes > 0 ? bytes : 1) {}
    constexpr std::size_t bytes() const { return bytes_; }

private:
    std::size_t bytes_;
};

// What the readers' batches hold: about a quarter of a megabyte of text, some thousand table
// rows or a hundred support data records, so that parsing one on each thread takes long
// next to handing it on.
inline constexpr BatchSize ReadBatch = BatchSize(256 * 1024);

// Starts the second thread. Throws std::system_error where no thread can be started, as
// std::thread does; the work then runs on the first thread instead. Tests put a starter of
// their own in its place.
struct StartThread {
    template <class Run>
    std::thread operator()(Run run) const {
        return std::thread(std::move(run));
    }
};

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

// Runs work(batch) on the second thread; where no thread can be started, here and now. A
// batch the second thread could not finish for want of memory sets `outOfMemory`.
template <class Start, class Work, class Batch>
void startBeside(const Start& start, JoinedThread& beside, Work& work, Batch& batch,
                 bool& outOfMemory) {
    auto guarded = [&work, &batch, &outOfMemory] {
        try {
            work(batch);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    };
    try {
        beside.thread = start(guarded);
    } catch (const std::system_error&) {
        work(batch);
    }
}

}  // namespace detail

// `fill(batch)` takes the next batch of text from the file, false when none is left;
// `parse(batch)` turns a batch into records and may run on either thread; `take(batch)` hands
// its records on. fill and take run on this thread, in file order; batches 0, 2, 4, ... are
// parsed on the second thread (started by `start`), the ones between here. Running out of
// memory on the second thread ends the run as it would on this one.
template <class Batch, class Fill, class Parse, class Take, class Start = StartThread>
void readInBatches(Fill fill, Parse parse, Take take, Start start = {}) {
    Batch beside;                 // parsed on the second thread
    Batch here;                   // the batch after it, parsed on this one
    bool outOfMemory = false;     // set by the second thread, read after it is joined
    detail::JoinedThread worker;  // made after the batches, so joined before they go
    if (!fill(beside)) return;
    detail::startBeside(start, worker, parse, beside, outOfMemory);
    for (;;) {
        const bool more = fill(here);
        if (more) parse(here);
        worker.join();
        if (outOfMemory) throw std::bad_alloc();
        take(beside);
        if (!more) return;
        // The next pair starts on the second thread before this batch is handed on.
        const bool next = fill(beside);
        if (next) detail::startBeside(start, worker, parse, beside, outOfMemory);
        take(here);
        if (!next) return;
    }
}

// Text read in batches that end only where the format allows. `read(text, bytes)` appends up
// to `bytes` more of the file to `text`, false when nothing is left. `lastCut(text, from)` is
// the last place in `text` where a batch may end that lies at `from` or after, 0 for none;
// it moves `from` to where the next look may start (it looked at what lies before for good,
// so no byte is looked at twice, also when it goes on into the next batch). A batch is cut
// there once it holds `size` bytes, the text after the cut starting the next batch; with no
// place to cut it grows until there is one, or to the end. The batches, each with its
// `text`, then go through parse and take as in readInBatches.
template <class Batch, class Read, class LastCut, class Parse, class Take,
          class Start = StartThread>
void readCutInBatches(BatchSize size, Read read, LastCut lastCut, Parse parse, Take take,
                      Start start = {}) {
    const std::size_t bytes = size.bytes();
    std::string carried;          // the text after the last cut
    std::size_t carriedSeen = 0;  // how much of it was looked at for a cut
    auto fill = [&](Batch& batch) {
        batch.text.swap(carried);
        carried.clear();
        std::size_t seen = std::exchange(carriedSeen, 0);
        while (batch.text.size() < bytes && read(batch.text, bytes - batch.text.size())) {
        }
        if (batch.text.size() < bytes) return !batch.text.empty();  // the end
        for (;;) {
            const std::size_t cut = lastCut(std::string_view(batch.text), seen);
            if (cut > 0) {
                carried.assign(batch.text, cut);
                carriedSeen = seen > cut ? seen - cut : 0;
                batch.text.resize(cut);
                return true;
            }
            if (!read(batch.text, bytes)) return true;
        }
    };
    readInBatches<Batch>(fill, parse, take, start);
}

// State that runs along a file from record to record, as each SETILog row takes the date the
// row before left. Parsed in batches, each batch by a reader of its own, a batch's reader
// starts without what the batches before left: this notes the records it reads before one of
// its own records leaves a state, and gives them the state when the batch is handed on in
// file order, from the reader that takes the batches.
class CarriedState {
public:
    void clear() { waiting_.clear(); }
    // Before the batch's reader reads `record`: `left` tells whether one of its records left
    // a state yet.
    void note(bool left, std::size_t record) {
        if (!left) waiting_.push_back(record);
    }
    // give(record) for each record read before the batch's own state.
    template <class Records, class Give>
    void handOn(Records& records, Give give) const {
        for (std::size_t record : waiting_) give(records[record]);
    }

private:
    std::vector<std::size_t> waiting_;
};

// `format(text, batch)` puts batch 0 to batches - 1 into `text` (emptied first) and may run on
// either thread; `write(text)` takes them in order on this thread and is false when it
// failed, which stops the run. The even batches are formatted here, the odd ones beside.
// True when every batch was written.
template <class Format, class Write, class Start = StartThread>
bool writeInBatches(std::size_t batches, Format format, Write write, Start start = {}) {
    struct Text {
        std::string text;
        std::size_t batch = 0;
    };
    Text even;
    Text odd[2];  // the one being written, the one being formatted
    bool outOfMemory = false;
    auto formatText = [&format](Text& t) {
        t.text.clear();
        format(t.text, t.batch);
    };
    // Made after the texts and the work the second thread runs, so joined before they go,
    // also when a failed write returns early.
    detail::JoinedThread beside;
    auto startOdd = [&](Text& t, std::size_t batch) {
        t.batch = batch;
        detail::startBeside(start, beside, formatText, t, outOfMemory);
    };
    if (batches > 1) startOdd(odd[0], 1);
    for (std::size_t batch = 0; batch < batches; batch += 2) {
        even.batch = batch;
        formatText(even);
        if (!write(std::string_view(even.text))) return false;
        if (batch + 1 >= batches) break;
        beside.join();
        if (outOfMemory) throw std::bad_alloc();
        Text& done = odd[(batch / 2) % 2];
        if (batch + 3 < batches) startOdd(odd[(batch / 2 + 1) % 2], batch + 3);
        if (!write(std::string_view(done.text))) return false;
    }
    return true;
}
