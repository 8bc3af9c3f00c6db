// Throughput of the store and of the readers and writers the merge tool spends its time in,
// at history sizes users hold (thousands to a hundred thousand work units).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/synthetic.h"
#include "clientfiles/ResFile.h"
#include "formats/I4WU.h"
#include "formats/SETILog.h"
#include "formats/SupportData.h"
#include "formats/WuInfo.h"
#include "platform/platform.h"
#include "store/WorkUnitList.h"
#include "text/Numbers.h"

namespace {

WorkUnitList makeStore(std::uint32_t n) {
    WorkUnitList store;
    for (std::uint32_t i = 0; i < n; ++i) store.add(syntheticWorkUnit(i));
    return store;
}

std::string scratchFile(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("seti-bench-" + name)).string();
}

void BM_StoreAddDistinct(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    std::vector<WorkUnit> units;
    for (std::uint32_t i = 0; i < n; ++i) units.push_back(syntheticWorkUnit(i));
    for (auto _ : state) {
        WorkUnitList store;
        for (const auto& w : units) store.add(w);
        benchmark::DoNotOptimize(store.size());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_StoreSortByTimeStamp(benchmark::State& state) {
    const WorkUnitList base = makeStore(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state) {
        WorkUnitList store = base;
        store.sort(1);
        benchmark::DoNotOptimize(store.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_WriteWuInfo(benchmark::State& state) {
    const WorkUnitList store = makeStore(static_cast<std::uint32_t>(state.range(0)));
    const std::string path = scratchFile("write.csv");
    for (auto _ : state) benchmark::DoNotOptimize(writeWuInfo(store, path));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::remove(path.c_str());
}

void BM_ReadWuInfo(benchmark::State& state) {
    const std::string path = scratchFile("read.csv");
    writeWuInfo(makeStore(static_cast<std::uint32_t>(state.range(0))), path);
    for (auto _ : state) {
        WorkUnitList store;
        benchmark::DoNotOptimize(readWuInfo(store, path));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::remove(path.c_str());
}

void BM_ExportSupportData(benchmark::State& state) {
    const WorkUnitList store = makeStore(static_cast<std::uint32_t>(state.range(0)));
    const std::string path = scratchFile("write.txt");
    for (auto _ : state) benchmark::DoNotOptimize(SSExport::exportAll(path, store));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::remove(path.c_str());
}

void BM_ReadSupportData(benchmark::State& state) {
    const std::string path = scratchFile("read.txt");
    SSExport::exportAll(path, makeStore(static_cast<std::uint32_t>(state.range(0))));
    for (auto _ : state) {
        WorkUnitList store;
        SSLog log(path);
        while (log.readRecord()) store.add(log.record);
        benchmark::DoNotOptimize(store.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::remove(path.c_str());
}

// Reads an export of n rows made by `makeExport` into a store.
template <class Reader, std::string (*makeExport)(std::uint32_t, std::uint32_t)>
void BM_ReadExport(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    const std::string bytes = makeExport(0, n);
    for (auto _ : state) {
        WorkUnitList store;
        Reader reader;
        reader.openBytes(bytes);
        while (reader.readRecord()) store.add(reader.record);
        benchmark::DoNotOptimize(store.size());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_ReadResultSignals(benchmark::State& state) {
    const auto m = static_cast<std::uint32_t>(state.range(0));
    const std::string bytes = syntheticResultFile(m);
    for (auto _ : state) {
        ResFile reader;
        reader.openBytes(bytes);
        benchmark::DoNotOptimize(reader.read());
        benchmark::DoNotOptimize(reader.spikes.size() + reader.gaussians.size());
    }
    state.SetItemsProcessed(state.iterations() * m);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_ReadReal(benchmark::State& state) {
    const std::string text = "  1418750000.123456";
    double v = 0;
    for (auto _ : state) benchmark::DoNotOptimize(readReal(text, v));
}

void BM_AppendFixed(benchmark::State& state) {
    std::string out;
    for (auto _ : state) {
        out.clear();
        appendFixed(out, 1418750000.123456, 6);
        benchmark::DoNotOptimize(out.data());
    }
}

}  // namespace

BENCHMARK(BM_StoreAddDistinct)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_StoreSortByTimeStamp)->Arg(10000)->Arg(100000);
BENCHMARK(BM_WriteWuInfo)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ReadWuInfo)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ExportSupportData)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ReadSupportData)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ReadExport<SETILog, syntheticSetiLogExport>)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ReadExport<I4WU, syntheticI4wuExport>)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ReadResultSignals)->Arg(20000)->Arg(200000);
BENCHMARK(BM_ReadReal);
BENCHMARK(BM_AppendFixed);

BENCHMARK_MAIN();
