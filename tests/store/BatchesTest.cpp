// Tests of the two-thread batch step on its own: any number of batches comes out whole and in
// order, with the work shared between the threads; a thread that cannot be started leaves
// the work to the first one; memory that runs out on the second thread ends the run on the
// first with std::bad_alloc.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "store/Batches.h"

namespace {

// A starter for a system out of threads: every start fails as std::thread fails.
struct NoThread {
    template <class Run>
    std::thread operator()(Run) const {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
};

struct Numbered {
    int number = -1;
    int parsed = -1;  // number * 10 + 1 once parsed
    std::thread::id parsedOn;
};

// What a read of numbered batches handed on, and where.
struct ReadRun {
    std::vector<int> taken;    // `parsed` of each batch taken, in the order taken
    std::vector<bool> beside;  // whether it was parsed on another thread
    bool offThread = false;    // fill or take ran on another thread
};

// Reads `count` batches numbered from 0 into `run`; parsing batch `outOfMemoryAt` runs out
// of memory.
template <class Start = StartThread>
void readNumbers(ReadRun& run, int count, Start start = {}, int outOfMemoryAt = -1) {
    const std::thread::id first = std::this_thread::get_id();
    int next = 0;
    readInBatches<Numbered>(
        [&](Numbered& batch) {
            run.offThread |= std::this_thread::get_id() != first;
            if (next == count) return false;
            batch.number = next++;
            batch.parsed = -1;
            return true;
        },
        [outOfMemoryAt](Numbered& batch) {
            if (batch.number == outOfMemoryAt) throw std::bad_alloc();
            batch.parsed = batch.number * 10 + 1;
            batch.parsedOn = std::this_thread::get_id();
        },
        [&](Numbered& batch) {
            run.offThread |= std::this_thread::get_id() != first;
            run.taken.push_back(batch.parsed);
            run.beside.push_back(batch.parsedOn != first);
        },
        start);
}

template <class Start = StartThread>
ReadRun readNumbers(int count, Start start = {}) {
    ReadRun run;
    readNumbers(run, count, start);
    return run;
}

std::vector<int> parsedNumbers(int count) {
    std::vector<int> parsed;
    for (int i = 0; i < count; ++i) parsed.push_back(i * 10 + 1);
    return parsed;
}

TEST(ReadInBatches, EveryCountComesOutParsedAndInOrder) {
    for (int count : {0, 1, 2, 3, 4, 7}) {
        SCOPED_TRACE(count);
        const ReadRun run = readNumbers(count);
        EXPECT_EQ(run.taken, parsedNumbers(count));
        EXPECT_FALSE(run.offThread);
        // Batches 0, 2, 4, ... are parsed on the second thread while the next is parsed here.
        for (std::size_t i = 0; i < run.beside.size(); ++i)
            EXPECT_EQ(run.beside[i], i % 2 == 0) << "batch " << i;
    }
}

TEST(ReadInBatches, WithoutASecondThreadEveryBatchIsParsedHere) {
    for (int count : {0, 1, 2, 3, 6}) {
        SCOPED_TRACE(count);
        const ReadRun run = readNumbers(count, NoThread{});
        EXPECT_EQ(run.taken, parsedNumbers(count));
        EXPECT_EQ(run.beside, std::vector<bool>(static_cast<std::size_t>(count), false));
    }
}

TEST(ReadInBatches, OutOfMemoryEndsTheRunOnTheFirstThread) {
    // Batch 2 is parsed beside, batch 3 here; without a second thread both are parsed here.
    // Batches before the one that failed may have been handed on, in order; none after it.
    const struct {
        bool secondThread;
        int failing;
    } cases[] = {{true, 2}, {true, 3}, {true, 0}, {false, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.secondThread << " " << c.failing);
        ReadRun run;
        if (c.secondThread)
            EXPECT_THROW(readNumbers(run, 6, StartThread{}, c.failing), std::bad_alloc);
        else
            EXPECT_THROW(readNumbers(run, 6, NoThread{}, c.failing), std::bad_alloc);
        EXPECT_LE(run.taken.size(), static_cast<std::size_t>(c.failing));
        EXPECT_EQ(run.taken, parsedNumbers(static_cast<int>(run.taken.size())));
    }
}

// What a write of numbered batches wrote, and where each was formatted.
struct WriteRun {
    bool whole = false;
    std::string written;
    std::vector<bool> beside;  // batch i was formatted on another thread
};

// Writes `count` batches into `run`, batch i as "i,"; the write of batch `failAt` fails and
// formatting batch `outOfMemoryAt` runs out of memory.
template <class Start = StartThread>
void writeNumbers(WriteRun& run, std::size_t count, Start start = {}, std::size_t failAt = SIZE_MAX,
                  std::size_t outOfMemoryAt = SIZE_MAX) {
    const std::thread::id first = std::this_thread::get_id();
    // Where each batch was formatted: one element a batch, so the threads never share one.
    std::vector<std::thread::id> formattedOn(count, first);
    std::size_t writes = 0;
    run.whole = writeInBatches(
        count,
        [&formattedOn, outOfMemoryAt](std::string& text, std::size_t batch) {
            if (batch == outOfMemoryAt) throw std::bad_alloc();
            EXPECT_TRUE(text.empty());
            text += std::to_string(batch) + ",";
            formattedOn[batch] = std::this_thread::get_id();
        },
        [&](std::string_view text) {
            EXPECT_EQ(std::this_thread::get_id(), first);
            if (writes++ == failAt) return false;
            run.written += text;
            return true;
        },
        start);
    for (const std::thread::id& id : formattedOn) run.beside.push_back(id != first);
}

template <class Start = StartThread>
WriteRun writeNumbers(std::size_t count, Start start = {}, std::size_t failAt = SIZE_MAX) {
    WriteRun run;
    writeNumbers(run, count, start, failAt);
    return run;
}

std::string numbersUpTo(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += std::to_string(i) + ",";
    return text;
}

TEST(WriteInBatches, EveryCountIsWrittenInOrder) {
    for (std::size_t count : {0u, 1u, 2u, 3u, 4u, 5u, 8u}) {
        SCOPED_TRACE(count);
        const WriteRun run = writeNumbers(count);
        EXPECT_TRUE(run.whole);
        EXPECT_EQ(run.written, numbersUpTo(count));
        // The even batches are formatted here, the odd ones beside.
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(run.beside[i], i % 2 == 1) << i;
    }
}

TEST(WriteInBatches, WithoutASecondThreadEveryBatchIsFormattedHere) {
    for (std::size_t count : {0u, 1u, 2u, 3u, 6u}) {
        SCOPED_TRACE(count);
        const WriteRun run = writeNumbers(count, NoThread{});
        EXPECT_TRUE(run.whole);
        EXPECT_EQ(run.written, numbersUpTo(count));
        EXPECT_EQ(run.beside, std::vector<bool>(count, false));
    }
}

TEST(WriteInBatches, AFailedWriteStopsTheRun) {
    for (std::size_t failAt : {0u, 1u, 2u, 3u, 5u}) {
        SCOPED_TRACE(failAt);
        const WriteRun run = writeNumbers(6, StartThread{}, failAt);
        EXPECT_FALSE(run.whole);
        EXPECT_EQ(run.written, numbersUpTo(failAt));
    }
}

TEST(WriteInBatches, OutOfMemoryEndsTheRunOnTheFirstThread) {
    // Batches 1 and 3 are formatted beside, 2 here; without a second thread all are here.
    // Batches before the one that failed may have been written, in order; none after it.
    const struct {
        bool secondThread;
        std::size_t failing;
    } cases[] = {{true, 1}, {true, 3}, {true, 2}, {false, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.secondThread << " " << c.failing);
        WriteRun run;
        if (c.secondThread)
            EXPECT_THROW(writeNumbers(run, 6, StartThread{}, SIZE_MAX, c.failing), std::bad_alloc);
        else
            EXPECT_THROW(writeNumbers(run, 6, NoThread{}, SIZE_MAX, c.failing), std::bad_alloc);
        bool inOrder = false;
        for (std::size_t k = 0; k <= c.failing; ++k) inOrder |= run.written == numbersUpTo(k);
        EXPECT_TRUE(inOrder) << run.written;
    }
}

// Text cut in batches before a "|", read from a source that gives at most `piece` bytes a
// read; the batches and the bytes looked at in all.
struct CutRun {
    std::vector<std::string> batches;
    std::size_t looked = 0;  // bytes lastCut was asked to look at, over every call
};

CutRun cutAtBars(std::string_view text, std::size_t size, std::size_t piece) {
    struct TextBatch {
        std::string text;
    };
    CutRun run;
    std::size_t at = 0;
    auto read = [&](std::string& out, std::size_t bytes) {
        if (at == text.size()) return false;
        const std::size_t taken = std::min({bytes, piece, text.size() - at});
        out.append(text.substr(at, taken));
        at += taken;
        return true;
    };
    auto lastBar = [&run](std::string_view part, std::size_t& from) {
        std::size_t last = 0;
        for (std::size_t i = std::max<std::size_t>(from, 1); i < part.size(); ++i)
            if (part[i] == '|') last = i;
        run.looked += part.size() - std::min(from, part.size());
        from = part.size();
        return last;
    };
    readCutInBatches<TextBatch>(
        BatchSize(size), read, lastBar, [](TextBatch&) {},
        [&run](TextBatch& batch) { run.batches.push_back(batch.text); });
    return run;
}

TEST(ReadCutInBatches, BatchesEndOnlyWhereTheFormatAllowsAndLookAtEachByteOnce) {
    const std::string_view texts[] = {
        "",
        "abc",
        "|",
        "||||",
        "a|b|c|d|e|f",
        "|abcdef",
        "abcdef|",
        "ab||cd|||e",
        "abcdefghijklmnop|q",
        "x|yyyyyyyyyyyyyyyyyyyy|z|w",
    };
    for (std::string_view text : texts) {
        for (std::size_t size : {1u, 2u, 3u, 5u, 64u}) {
            for (std::size_t piece : {1u, 2u, 7u}) {
                SCOPED_TRACE(testing::Message() << text << " " << size << " " << piece);
                const CutRun run = cutAtBars(text, size, piece);
                std::string joined;
                for (const std::string& batch : run.batches) {
                    EXPECT_FALSE(batch.empty());
                    joined += batch;
                }
                EXPECT_EQ(joined, text);
                for (std::size_t i = 1; i < run.batches.size(); ++i) {
                    EXPECT_EQ(run.batches[i].front(), '|') << "batch " << i;
                }
                EXPECT_LE(run.looked, text.size());
            }
        }
    }
}

// A text without a place to cut is one batch, however small the size.
TEST(ReadCutInBatches, TextWithoutACutIsOneBatch) {
    const CutRun run = cutAtBars("abcdefghij", 2, 3);
    ASSERT_EQ(run.batches.size(), 1u);
    EXPECT_EQ(run.batches[0], "abcdefghij");
}

}  // namespace
